#include "demo/DbfWriter.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "db/CodePages.h"

namespace svod::demo {

namespace {
void putLe16(char* p, quint32 v) {
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
}
void putLe32(char* p, quint32 v) {
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}
void putBe32(char* p, quint32 v) {
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * (3 - i))) & 0xFF);
}
void putBe64(char* p, quint64 v) {
    putBe32(p, quint32(v >> 32));
    putBe32(p + 4, quint32(v));
}
void putLe64(char* p, quint64 v) {
    putLe32(p, quint32(v));
    putLe32(p + 4, quint32(v >> 32));
}
constexpr int FoxMemoBlock = 64;
constexpr int DbaseMemoBlock = 512;
} // namespace

QByteArray flippedInt(qint32 value) {
    QByteArray bytes(4, '\0');
    putBe32(bytes.data(), std::bit_cast<quint32>(value) ^ 0x80000000u);
    return bytes;
}

QByteArray orderedDouble(double value) {
    quint64 bits = std::bit_cast<quint64>(value);
    constexpr quint64 top = quint64(1) << 63;
    bits = (bits & top) ? ~bits : (bits | top);
    QByteArray bytes(8, '\0');
    putBe64(bytes.data(), bits);
    return bytes;
}

QString DbfWriter::memoPath(const QString& tablePath, unsigned char version) {
    const bool fox = version == 0x30 || version == 0x31 || version == 0x32 || version == 0xF5;
    const qsizetype dot = tablePath.lastIndexOf(u'.');
    return (dot > tablePath.lastIndexOf(u'/') ? tablePath.left(dot) : tablePath) +
           (fox ? QStringLiteral(".fpt") : QStringLiteral(".dbt"));
}

bool DbfWriter::foxPro() const {
    return version_ == 0x30 || version_ == 0x31 || version_ == 0x32 || version_ == 0xF5;
}
bool DbfWriter::longLayout() const {
    return version_ == 0x04 || version_ == 0x8C;
}

DbfWriter::DbfWriter(const QString& path, unsigned char version, std::vector<FieldSpec> fields,
                     int nullFlagsLength)
    : file_(path), path_(path), version_(version) {
    int nullBits = 0;
    for (auto& def : fields) {
        Field field{def, recordLength_, -1, -1};
        // A variable-length field's length bit comes first, its NULL bit after it.
        if (foxPro() && (def.type == 'V' || def.type == 'Q'))
            field.lengthBit = nullBits++;
        if (foxPro() && def.nullable)
            field.nullBit = nullBits++;
        recordLength_ += def.length;
        fields_.push_back(field);
    }
    const int length = nullFlagsLength < 0 ? (nullBits + 7) / 8 : nullFlagsLength;
    if (nullBits > 0 && length > 0) {
        nullFlagsOffset_ = recordLength_;
        nullFlagsLength_ = length;
        fields_.push_back(
            Field{FieldSpec{QStringLiteral("_NullFlags"), '0', length, 0, false}, recordLength_, -1, -1});
        recordLength_ += length;
    }
    const int part = longLayout() ? 68 : 32;
    const int descriptor = longLayout() ? 48 : 32;
    headerLength_ = part + qint64(fields_.size()) * descriptor + 1;
    if (version_ == 0x30 || version_ == 0x31 || version_ == 0x32)
        headerLength_ += 263;
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    file_.write(header(0));
    // Memo block 0 is the header; FoxPro's 512-byte header fills its first blocks.
    memo_ = QByteArray(foxPro() ? 512 : DbaseMemoBlock, '\0');
}

DbfWriter::~DbfWriter() {
    if (!finished_)
        finish();
}

QByteArray DbfWriter::header(qint64 count) const {
    QByteArray bytes(headerLength_, '\0');
    char* h = bytes.data();
    h[0] = char(version_);
    h[1] = char(124);
    h[2] = 1;
    h[3] = 5;
    putLe32(h + 4, quint32(count));
    putLe16(h + 8, quint32(headerLength_));
    putLe16(h + 10, quint32(recordLength_));
    h[29] = char(0x65); // language driver: cp866
    const int part = longLayout() ? 68 : 32;
    const int descriptor = longLayout() ? 48 : 32;
    for (size_t i = 0; i < fields_.size(); ++i) {
        char* d = h + part + qsizetype(i) * descriptor;
        const QByteArray name =
            encodeCodePage(fields_[i].def.name, CodePage::Cp866).left(longLayout() ? 31 : 10);
        std::memcpy(d, name.constData(), size_t(name.size()));
        const FieldSpec& def = fields_[i].def;
        if (longLayout()) {
            d[32] = def.type;
            d[33] = char(def.length);
            d[34] = char(def.decimals);
        } else {
            d[11] = def.type;
            putLe32(d + 12, quint32(fields_[i].offset));
            d[16] = char(def.length);
            d[17] = char(def.decimals);
            if (foxPro()) {
                if (def.type == '0')
                    d[18] = 0x05;
                else if (def.nullable)
                    d[18] = 0x02;
            }
        }
    }
    h[part + qsizetype(fields_.size()) * descriptor] = 0x0D;
    return bytes;
}

QByteArray DbfWriter::memoRef(const Field& field, const QByteArray& text) {
    const bool fox = foxPro();
    const int block = fox ? FoxMemoBlock : DbaseMemoBlock;
    const qint64 number = memo_.size() / block;
    QByteArray stored;
    if (fox) {
        stored.resize(8);
        putBe32(stored.data(), 1);
        putBe32(stored.data() + 4, quint32(text.size()));
        stored += text;
    } else if (version_ == 0x83) {
        stored = text + "\x1A\x1A";
    } else {
        stored.resize(8);
        stored[0] = char(0xFF);
        stored[1] = char(0xFF);
        stored[2] = 0x08;
        stored[3] = 0x00;
        putLe32(stored.data() + 4, quint32(text.size() + 8));
        stored += text;
    }
    if (stored.size() % block)
        stored.append(block - stored.size() % block, '\0');
    memo_ += stored;
    if (fox && field.def.length == 4) {
        QByteArray ref(4, '\0');
        putLe32(ref.data(), quint32(number));
        return ref;
    }
    return QByteArray::number(number).rightJustified(field.def.length, ' ');
}

void DbfWriter::setFlag(char* record, int bit) const {
    if (bit >= 0 && bit < nullFlagsLength_ * 8)
        record[nullFlagsOffset_ + bit / 8] |= char(1 << (bit % 8));
}

namespace {
// Bytes into a field, cut to its length; numbers are aligned to the right.
void putBytes(char* p, int length, const QByteArray& bytes, bool rightAlign) {
    const QByteArray cut = bytes.left(length);
    std::memcpy(p + (rightAlign ? length - cut.size() : 0), cut.constData(), size_t(cut.size()));
}

// The FoxPro DateTime: Julian day and milliseconds since midnight.
void putJulianTime(char* p, const QDateTime& dt) {
    putLe32(p, quint32(dt.date().toJulianDay()));
    putLe32(p + 4, quint32(dt.time().msecsSinceStartOfDay()));
}

// dBase VII's timestamp: milliseconds since 1 January of year 1, as an ordered double.
QByteArray timeStamp(const QDateTime& dt) {
    const double days = double(QDate(1, 1, 1).daysTo(dt.date()) + 1);
    return orderedDouble(days * 86400000.0 + dt.time().msecsSinceStartOfDay());
}
} // namespace

void DbfWriter::storeValue(char* record, const Field& field, const QVariant& value) {
    const FieldSpec& def = field.def;
    if (!value.isValid() || value.isNull())
        storeNull(record, field);
    else if (def.type == 'V' || def.type == 'Q')
        storeVarying(record, field, value);
    else if (value.typeId() == QMetaType::QByteArray && def.type != 'M' && def.type != 'B' && def.type != 'G')
        putBytes(record + field.offset, def.length, value.toByteArray(), false);
    else
        storeTyped(record + field.offset, field, value);
}

void DbfWriter::storeNull(char* record, const Field& field) const {
    const FieldSpec& def = field.def;
    char* p = record + field.offset;
    setFlag(record, field.nullBit);
    if (foxPro() && (def.type == 'I' || def.type == 'B' || def.type == 'Y' || def.type == 'T' ||
                     ((def.type == 'M' || def.type == 'G') && def.length == 4)))
        std::memset(p, 0, size_t(def.length));
    if (def.type == 'I' || def.type == '+' || def.type == 'O' || def.type == '@')
        std::memset(p, 0, size_t(def.length));
}

void DbfWriter::storeVarying(char* record, const Field& field, const QVariant& value) const {
    const FieldSpec& def = field.def;
    char* p = record + field.offset;
    const QByteArray bytes = value.typeId() == QMetaType::QByteArray
                                 ? value.toByteArray()
                                 : encodeCodePage(value.toString(), CodePage::Cp866);
    std::memset(p, def.type == 'V' ? ' ' : '\0', size_t(def.length));
    if (bytes.size() >= def.length) {
        std::memcpy(p, bytes.constData(), size_t(def.length));
    } else {
        std::memcpy(p, bytes.constData(), size_t(bytes.size()));
        p[def.length - 1] = char(bytes.size());
        setFlag(record, field.lengthBit);
    }
}

void DbfWriter::storeTyped(char* p, const Field& field, const QVariant& value) {
    const FieldSpec& def = field.def;
    const bool asText = value.typeId() == QMetaType::QString;
    auto put = [&](const QByteArray& bytes, bool rightAlign) { putBytes(p, def.length, bytes, rightAlign); };
    switch (def.type) {
    case 'C':
        put(encodeCodePage(value.toString(), CodePage::Cp866), false);
        break;
    case 'N':
    case 'F':
        if (asText)
            put(value.toString().toLatin1(), true);
        else if (def.decimals == 0)
            put(QByteArray::number(value.toLongLong()), true);
        else
            put(QByteArray::number(value.toDouble(), 'f', def.decimals), true);
        break;
    case 'D':
        put(asText ? value.toString().toLatin1()
                   : value.toDate().toString(QStringLiteral("yyyyMMdd")).toLatin1(),
            false);
        break;
    case 'L':
        put(asText ? value.toString().toLatin1() : QByteArray(value.toBool() ? "T" : "F"), false);
        break;
    case 'M':
    case 'G':
    case 'B':
        if (def.type == 'B' && foxPro())
            putLe64(p, std::bit_cast<quint64>(value.toDouble()));
        else
            put(memoRef(field, value.typeId() == QMetaType::QByteArray
                                   ? value.toByteArray()
                                   : encodeCodePage(value.toString(), CodePage::Cp1251)),
                false);
        break;
    case 'I':
    case '+':
        if (foxPro())
            putLe32(p, quint32(value.toInt()));
        else
            put(flippedInt(value.toInt()), false);
        break;
    case 'O':
        put(orderedDouble(value.toDouble()), false);
        break;
    case '@':
        put(timeStamp(value.toDateTime()), false);
        break;
    case 'T':
        putJulianTime(p, value.toDateTime());
        break;
    case 'Y':
        putLe64(p, quint64(qint64(std::llround(value.toDouble() * 10000.0))));
        break;
    default:
        put(value.toString().toLatin1(), false);
        break;
    }
}

void DbfWriter::addRow(const QVariantList& values, bool deleted) {
    QByteArray record(recordLength_, ' ');
    record[0] = deleted ? '*' : ' ';
    if (nullFlagsOffset_ > 0)
        std::memset(record.data() + nullFlagsOffset_, 0, size_t(recordLength_ - nullFlagsOffset_));
    for (qsizetype i = 0; i < values.size() && size_t(i) < fields_.size(); ++i)
        storeValue(record.data(), fields_[size_t(i)], values[i]);
    addRawRecord(record);
}

void DbfWriter::addRecord(const QList<QByteArray>& stored, bool deleted) {
    QByteArray record(recordLength_, ' ');
    record[0] = deleted ? '*' : ' ';
    for (qsizetype i = 0; i < stored.size() && size_t(i) < fields_.size(); ++i) {
        const Field& field = fields_[size_t(i)];
        const QByteArray cut = stored[i].left(field.def.length);
        std::memcpy(record.data() + field.offset, cut.constData(), size_t(cut.size()));
    }
    addRawRecord(record);
}

void DbfWriter::addRawRecord(const QByteArray& record) {
    buffer_ += record;
    ++count_;
    if (buffer_.size() >= 1 << 20)
        flush();
}

void DbfWriter::flush() {
    file_.write(buffer_);
    buffer_.clear();
}

void DbfWriter::finish(bool endMark) {
    if (finished_)
        return;
    finished_ = true;
    flush();
    if (endMark)
        file_.write("\x1A", 1);
    file_.seek(0);
    file_.write(header(headerCount_ >= 0 ? headerCount_ : count_));
    file_.close();
    const bool hasMemo = std::any_of(fields_.begin(), fields_.end(), [&](const Field& f) {
        return f.def.type == 'M' || f.def.type == 'G' || (f.def.type == 'B' && !foxPro());
    });
    if (hasMemo) {
        const int block = foxPro() ? FoxMemoBlock : DbaseMemoBlock;
        if (foxPro()) {
            putBe32(memo_.data(), quint32(memo_.size() / block));
            memo_[6] = char(block >> 8);
            memo_[7] = char(block & 0xFF);
        } else {
            putLe32(memo_.data(), quint32(memo_.size() / block));
            if (version_ != 0x83)
                putLe16(memo_.data() + 20, quint32(block));
        }
        QFile memo(memoPath(path_, version_));
        if (!memo.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write memo file");
        memo.write(memo_);
    }
}

} // namespace svod::demo
