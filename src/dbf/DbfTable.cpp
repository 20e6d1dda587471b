#include "dbf/DbfTable.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

#include "db/CodePages.h"
#include "db/Error.h"
#include "db/Formats.h"
#include "dbf/DbfFile.h"
#include "dbf/FieldDecoding.h"
#include "dbf/TablePath.h"

namespace svod::dbf {

namespace {

// One decoded value, without allocations except for memo contents.
struct Decoded {
    enum class Type { Null, Integer, Double, Date, DateTime, Boolean, Text, Memo, Bytes, BadDate };
    Type type = Type::Null;
    qint64 integer = 0;
    double number = 0.0; // Double; Date and DateTime as days since 30.12.1899
    QDate date;          // Date
    std::string_view text;
};

constexpr double MsecsPerDay = 86400000.0;
// Days from 1.1.0001 (day 1) to 30.12.1899.
constexpr double TimeStampDateDelta = 693594.0;
// Julian day number of 30.12.1899.
constexpr qint64 JulianEpoch = 2415019;

qint64 dateEpochJulian() {
    static const qint64 epoch = QDate(1899, 12, 30).toJulianDay();
    return epoch;
}

// The decoder switch: one case per stored encoding of a field, kept whole so that every format the
// reader accepts is read in one place.
Decoded decode(const DbfFieldDef& def, const RecordView& view, int nullFlagsOffset) {
    Decoded result;
    const char* record = view.data;
    if (!record)
        return result;
    if (def.nullBit >= 0 && nullFlagsOffset > 0) {
        const auto flags = static_cast<unsigned char>(record[nullFlagsOffset + def.nullBit / 8]);
        if (flags & (1u << (def.nullBit % 8)))
            return result;
    }
    const char* p = record + def.offset;
    const std::string_view bytes(p, size_t(std::min(def.keptLength, def.storedLength)));
    using T = Decoded::Type;
    switch (def.encoding) {
    case FieldEncoding::Text: {
        const std::string_view text = untilNul(stripBlanks(bytes));
        if (!text.empty()) {
            result.type = T::Text;
            result.text = text;
        }
        break;
    }
    case FieldEncoding::Integer: {
        const std::string_view text = stripBlanks(bytes);
        if (!text.empty()) {
            result.type = T::Integer;
            result.integer = parseInteger(text).value_or(0);
            // The kind promises 16 or 32 bits; a wider number in a short field reads 0.
            if ((def.kind == FieldKind::Int16 && (result.integer < -32768 || result.integer > 32767)) ||
                (def.kind == FieldKind::Int32 && (result.integer < INT32_MIN || result.integer > INT32_MAX)))
                result.integer = 0;
        }
        break;
    }
    case FieldEncoding::FloatText: {
        const std::string_view text = stripBlanks(bytes);
        if (!text.empty()) {
            result.type = T::Double;
            result.number = parseFloatText(text);
        }
        break;
    }
    case FieldEncoding::DateText: {
        const std::string_view text = stripBlanks(bytes);
        if (!text.empty()) {
            const DateParts parts = parseDateText(text, view.currentYear);
            if (parts.year >= 1 && parts.year <= 9999)
                result.date = QDate(parts.year, parts.month, parts.day);
            if (result.date.isValid()) {
                result.type = T::Date;
                result.number = double(result.date.toJulianDay() - dateEpochJulian());
            } else {
                result.type = T::BadDate;
            }
        }
        break;
    }
    case FieldEncoding::Logical: {
        const std::string_view text = stripBlanks(bytes);
        if (!text.empty()) {
            result.type = T::Boolean;
            result.integer = (text[0] == 'T' || text[0] == 't') ? 1 : 0;
        }
        break;
    }
    case FieldEncoding::MemoRef: {
        const std::string_view text = stripBlanks(bytes);
        const qint64 block = text.empty() ? 0 : parseInteger(text).value_or(0);
        if (block > 0) {
            result.type = T::Memo;
            result.integer = block;
        }
        break;
    }
    case FieldEncoding::MemoRefBin: {
        const qint64 block = littleEndian32(p);
        if (block > 0) {
            result.type = T::Memo;
            result.integer = block;
        }
        break;
    }
    case FieldEncoding::IntBigFlip:
        if (const auto value = decodeFlippedInt(p)) {
            result.type = T::Integer;
            result.integer = *value;
        }
        break;
    case FieldEncoding::DoubleBig:
        if (const auto value = decodeOrderedDouble(p)) {
            result.type = T::Double;
            result.number = *value;
        }
        break;
    case FieldEncoding::TimeStamp:
        if (const auto value = decodeOrderedDouble(p)) {
            const double days = *value / MsecsPerDay - TimeStampDateDelta;
            // Outside 1.1.0001 to 31.12.9999 the stamp is no date.
            if (!(days >= -693593.0 && days < 2958466.0)) {
                result.type = T::BadDate;
            } else {
                result.type = T::DateTime;
                result.number = days;
            }
        }
        break;
    case FieldEncoding::IntLittle:
        result.type = T::Integer;
        result.integer = qint32(littleEndian32(p));
        break;
    case FieldEncoding::DoubleLittle:
        result.type = T::Double;
        result.number = std::bit_cast<double>(littleEndian64(p));
        break;
    case FieldEncoding::Currency:
        result.type = T::Double;
        result.number = double(qint64(littleEndian64(p))) / 10000.0;
        break;
    case FieldEncoding::JulianTime: {
        const qint64 day = qint32(littleEndian32(p));
        const qint64 msecs = qint32(littleEndian32(p + 4));
        if (day == 0 && msecs == 0)
            break;
        if (stripBlanks(std::string_view(p, 8)).empty())
            break;
        if (day < 1721426 || day > 5373484 || msecs < 0 || msecs >= 86400000) {
            result.type = T::BadDate;
            break;
        }
        result.type = T::DateTime;
        result.number = double(day - JulianEpoch) + double(msecs) / MsecsPerDay;
        break;
    }
    case FieldEncoding::VarText:
    case FieldEncoding::VarBinary: {
        std::size_t length = std::size_t(def.storedLength);
        if (def.lengthBit >= 0 && nullFlagsOffset > 0) {
            const auto flags = static_cast<unsigned char>(record[nullFlagsOffset + def.lengthBit / 8]);
            if (flags & (1u << (def.lengthBit % 8)))
                length = std::min<std::size_t>(static_cast<unsigned char>(p[def.storedLength - 1]),
                                               std::size_t(def.storedLength - 1));
        }
        const std::string_view value(p, length);
        if (def.encoding == FieldEncoding::VarBinary) {
            result.type = T::Bytes;
            result.text = value;
        } else if (const std::string_view text = untilNul(stripBlanks(value)); !text.empty()) {
            result.type = T::Text;
            result.text = text;
        }
        break;
    }
    case FieldEncoding::NullFlags:
        break;
    }
    return result;
}

[[noreturn]] void badTimestamp() {
    throw InvalidDateError(QStringLiteral("'%1.%2' is not a valid timestamp").arg(0).arg(0));
}

// "dd.mm.yyyy" without parsing a format string for every value.
QString dateText(const QDate& date) {
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    if (year < 1000 || year > 9999)
        return formatDate(date);
    const char16_t text[10] = {char16_t(u'0' + day / 10),       char16_t(u'0' + day % 10),
                               formats::DateSeparator,          char16_t(u'0' + month / 10),
                               char16_t(u'0' + month % 10),     formats::DateSeparator,
                               char16_t(u'0' + year / 1000),    char16_t(u'0' + year / 100 % 10),
                               char16_t(u'0' + year / 10 % 10), char16_t(u'0' + year % 10)};
    return QString(reinterpret_cast<const QChar*>(text), 10);
}

QString memoText(const QByteArray& bytes) {
    // Memo text is handed on as stored: bytes in the Windows code page the system works in.
    return decodeCodePage(bytes, CodePage::Cp1251);
}

QString decodeText(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return decodeCodePage(text.data(), qsizetype(text.size()), CodePage::Cp866);
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

int nullFlagsOffset(const RecordView& view, const DbfFieldDef& def) {
    return def.nullBit >= 0 || def.lengthBit >= 0 ? view.nullFlagsOffset : 0;
}

QByteArray bytesOf(std::string_view bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

const QString& DbfField::cachedText(std::string_view bytes) const {
    if (bytes != std::string_view(cacheBytes_) || cacheText_.isNull()) {
        cacheBytes_.assign(bytes);
        cacheText_ = decodeText(bytes);
    }
    return cacheText_;
}

bool DbfField::isNull() const {
    return decode(*definition_, *record_, nullFlagsOffset(*record_, *definition_)).type ==
           Decoded::Type::Null;
}

QString DbfField::asText() const {
    const Decoded value = decode(*definition_, *record_, nullFlagsOffset(*record_, *definition_));
    using T = Decoded::Type;
    switch (value.type) {
    case T::Null:
        return {};
    case T::Integer:
        return QString::number(value.integer);
    case T::Double:
        return formatNumber(value.number);
    case T::Date:
        return dateText(value.date);
    case T::DateTime:
        return formatDateTime(DateValue(value.number));
    case T::Boolean:
        return value.integer ? QStringLiteral("True") : QStringLiteral("False");
    case T::Text:
        return cachedText(value.text);
    case T::Memo:
        return memoText(readMemo(value.integer));
    case T::Bytes:
        return memoText(bytesOf(value.text));
    case T::BadDate:
        badTimestamp();
    }
    return {};
}

QVariant DbfField::asValue() const {
    const Decoded value = decode(*definition_, *record_, nullFlagsOffset(*record_, *definition_));
    using T = Decoded::Type;
    switch (value.type) {
    case T::Null:
        if (definition_->kind == FieldKind::Memo)
            return QString();
        if (definition_->kind == FieldKind::Binary || definition_->kind == FieldKind::Graphic)
            return QByteArray();
        return {};
    case T::Integer:
        if (definition_->kind == FieldKind::Int64)
            return QVariant(value.integer);
        return QVariant(int(value.integer));
    case T::Double:
        return QVariant(value.number);
    case T::Date:
        return QVariant(value.date);
    case T::DateTime:
        return QVariant(DateValue(value.number).dateTime());
    case T::Boolean:
        return QVariant(value.integer != 0);
    case T::Text:
        return QVariant(cachedText(value.text));
    case T::Memo: {
        const QByteArray bytes = readMemo(value.integer);
        if (definition_->kind == FieldKind::Memo)
            return QVariant(memoText(bytes));
        return QVariant(bytes);
    }
    case T::Bytes:
        return QVariant(bytesOf(value.text));
    case T::BadDate:
        badTimestamp();
    }
    return {};
}

DateValue DbfField::asDate() const {
    const Decoded value = decode(*definition_, *record_, nullFlagsOffset(*record_, *definition_));
    switch (value.type) {
    case Decoded::Type::Date:
    case Decoded::Type::DateTime:
        return DateValue(value.number);
    case Decoded::Type::BadDate:
        badTimestamp();
    default:
        return DateValue();
    }
}

qint64 DbfField::asInt64() const {
    const Decoded value = decode(*definition_, *record_, nullFlagsOffset(*record_, *definition_));
    switch (value.type) {
    case Decoded::Type::Integer:
    case Decoded::Type::Boolean:
        return value.integer;
    case Decoded::Type::Double:
        return qint64(value.number);
    case Decoded::Type::BadDate:
        badTimestamp();
    default:
        return 0;
    }
}

double DbfField::asDouble() const {
    const Decoded value = decode(*definition_, *record_, nullFlagsOffset(*record_, *definition_));
    switch (value.type) {
    case Decoded::Type::Integer:
    case Decoded::Type::Boolean:
        return double(value.integer);
    case Decoded::Type::Double:
    case Decoded::Type::Date:
    case Decoded::Type::DateTime:
        return value.number;
    case Decoded::Type::BadDate:
        badTimestamp();
    default:
        return 0.0;
    }
}

QByteArray DbfField::memoBytes() const {
    const Decoded value = decode(*definition_, *record_, nullFlagsOffset(*record_, *definition_));
    if (value.type == Decoded::Type::Bytes)
        return bytesOf(value.text);
    if (value.type != Decoded::Type::Memo)
        return {};
    return readMemo(value.integer);
}

QByteArray DbfField::readMemo(qint64 block) const {
    if (!record_->memo)
        return {};
    try {
        return record_->memo->read(block);
    } catch (const Error& e) {
        throw Error(QStringLiteral("Поле '%1' таблицы \"%2\": %3")
                        .arg(definition_->name, record_->tableName, e.message()));
    }
}

DbfTable::DbfTable() : file_(std::make_unique<DbfFile>()), record_(std::make_unique<RecordView>()) {}
DbfTable::~DbfTable() = default;

void DbfTable::requireClosed() const {
    if (active_)
        throw Error(QStringLiteral("Операция невозможна для открытой таблицы"));
}

void DbfTable::setOpenMode(OpenMode mode) {
    requireClosed();
    openMode_ = mode;
}
void DbfTable::setShowDeleted(bool show) {
    requireClosed();
    showDeleted_ = show;
}
void DbfTable::setReadOnly(bool readOnly) {
    requireClosed();
    readOnly_ = readOnly;
}
void DbfTable::setFilePath(const QString& dir) {
    requireClosed();
    filePath_ = dir;
}
void DbfTable::setTableName(const QString& name) {
    requireClosed();
    tableName_ = name;
}

QString DbfTable::fileName() const {
    return resolveCaseInsensitive(tableFileName(filePath_, tableName_));
}

namespace {
QString notFound(const QString& path) {
    return QStringLiteral("Open: Table file not found : %1").arg(QDir::toNativeSeparators(path).toUpper());
}
} // namespace

void DbfTable::open() {
    if (active_)
        return;
    // Files are always opened read-only and shared: the reader never writes, whatever the
    // read-only setting says, and auto-create reads a missing file as an empty table
    // without creating one.
    const QString path = fileName();
    std::unique_ptr<DbfFile> file;
    std::unique_ptr<MemoFile> memo;
    if (QFileInfo(path).isFile()) {
        file = std::make_unique<DbfFile>(PagedFile::openFile(path));
    } else if (openMode_ == OpenMode::Normal) {
        throw Error(notFound(path));
    } else {
        file = std::make_unique<DbfFile>();
    }
    if (file->hasMemoFields()) {
        const QString memoPath = resolveCaseInsensitive(withExtension(path, file->memoExtension()));
        std::unique_ptr<PagedFile> memoFile;
        if (QFileInfo(memoPath).isFile())
            memoFile = PagedFile::openFile(memoPath);
        else if (openMode_ == OpenMode::Normal)
            throw Error(notFound(memoPath));
        memo = std::make_unique<MemoFile>(std::move(memoFile), file->layout().memoFormat);
    }

    file_ = std::move(file);
    memo_ = std::move(memo);
    *record_ = RecordView{};
    record_->memo = memo_.get();
    record_->currentYear = QDate::currentDate().year();
    record_->nullFlagsOffset = file_->nullFlagsOffset();
    record_->tableName = QDir::toNativeSeparators(path);
    fields_.clear();
    for (const auto& def : file_->fields()) {
        if (!def.hidden)
            fields_.emplace_back(&def, record_.get());
    }
    cursor_.reset(file_.get(), showDeleted_);
    active_ = true;
    first();
}

void DbfTable::close() {
    if (!active_)
        return;
    fields_.clear();
    memo_.reset();
    file_ = std::make_unique<DbfFile>();
    *record_ = RecordView{};
    cursor_.reset(nullptr, showDeleted_);
    active_ = false;
}

bool DbfTable::active() const {
    return active_;
}

bool DbfTable::isEmpty() const {
    return !active_ || firstLive_ == 0;
}

void DbfTable::first() {
    if (!active_)
        return;
    cursor_.first();
    record_->data = cursor_.data();
    firstLive_ = cursor_.eof() ? 0 : cursor_.current();
}

void DbfTable::next() {
    if (!active_ || cursor_.eof())
        return;
    cursor_.next();
    record_->data = cursor_.data();
}

bool DbfTable::eof() const {
    return !active_ || cursor_.eof();
}

qint64 DbfTable::recordCount() const {
    return active_ ? file_->recordCount() : 0;
}
qint64 DbfTable::promisedSize() const {
    if (!active_ || file_->recordLength() == 0)
        return fileSize();
    return file_->headerLength() + file_->headerRecordCount() * file_->recordLength();
}
qint64 DbfTable::fileSize() const {
    return active_ ? file_->fileSize() : 0;
}
qint64 DbfTable::recNo() const {
    return active_ ? cursor_.current() : 0;
}
bool DbfTable::isDeleted() const {
    return record_->data && record_->data[0] != ' ';
}
int DbfTable::fieldCount() const {
    return int(fields_.size());
}

const DbfField& DbfTable::field(int index) const {
    if (index < 0 || index >= fieldCount())
        throw Error(QStringLiteral("Номер поля вне допустимого диапазона"));
    return fields_[size_t(index)];
}

const DbfField* DbfTable::findField(const QString& name) const {
    for (const auto& f : fields_)
        if (f.name().compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

const DbfField& DbfTable::fieldByName(const QString& name) const {
    if (const DbfField* f = findField(name))
        return *f;
    throw Error(QStringLiteral("Field '%1' not found").arg(name));
}

int DbfTable::version() const {
    return file_->version();
}

QStringList DbfTable::warnings() const {
    return active_ ? file_->warnings() : QStringList();
}

} // namespace svod::dbf
