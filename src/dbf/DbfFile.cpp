#include "dbf/DbfFile.h"

#include <QDir>

#include "db/CodePages.h"
#include "db/Error.h"
#include "dbf/FieldDecoding.h"

namespace svod::dbf {

namespace {
constexpr int MaxFields = 4095;
constexpr unsigned char FieldTerminator = 0x0D;

bool isFoxProVersion(unsigned char version) {
    return version == 0x30 || version == 0x31 || version == 0x32 || version == 0xF5;
}

[[noreturn]] void badLength(const QString& name, int length) {
    throw Error(QStringLiteral("Поле '%1' имеет недопустимую длину %2").arg(name).arg(length));
}
} // namespace

DbfLayout layoutForVersion(unsigned char version) {
    DbfLayout layout;
    switch (version) {
    case 0x83:
        layout.level = 2;
        layout.memoFormat = MemoFile::Format::Short;
        break;
    case 0x04:
    case 0x8C:
        layout.level = 5;
        break;
    case 0xF5:
        layout.level = 6;
        break;
    case 0x30:
    case 0x31:
    case 0x32:
        layout.level = 7;
        break;
    default:
        layout.level = 3;
        break;
    }
    if (isFoxProVersion(version)) {
        layout.foxPro = true;
        layout.memoFormat = MemoFile::Format::FoxPro;
    } else if (layout.level >= 5) {
        layout.headerPart = 68;
        layout.descriptorLength = 48;
    }
    return layout;
}

namespace {
[[noreturn]] void unknownType(const QString& name) {
    throw Error(QStringLiteral("Field '%1' is of an unknown type").arg(name));
}

void describe(DbfFieldDef& def, FieldKind kind, FieldEncoding encoding, int keptLength) {
    def.kind = kind;
    def.encoding = encoding;
    def.keptLength = keptLength;
}

// A binary field of a fixed size: refused when the header gives it fewer bytes than it needs.
void describeBinary(DbfFieldDef& def, FieldKind kind, FieldEncoding encoding, int needed) {
    if (def.storedLength < needed)
        badLength(def.name, def.storedLength);
    describe(def, kind, encoding, needed);
}

// N and F: whole numbers sized by their width, the others read as floating text.
void describeNumber(DbfFieldDef& def) {
    def.keptLength = std::min(def.storedLength, 20);
    if (def.type == 'N' && def.decimals == 0) {
        def.encoding = FieldEncoding::Integer;
        def.kind = def.storedLength <= 4   ? FieldKind::Int16
                   : def.storedLength <= 9 ? FieldKind::Int32
                                           : FieldKind::Int64;
    } else {
        def.encoding = FieldEncoding::FloatText;
        def.kind = FieldKind::Float;
        def.decimals = std::max(0, std::min(def.decimals, def.keptLength - 2));
    }
}

// M, G, P and B: references into the memo file, except FoxPro's B, a double.
void describeMemo(DbfFieldDef& def, const DbfLayout& layout) {
    if (def.type == 'P' && !layout.foxPro)
        unknownType(def.name);
    if (def.type == 'B' && layout.foxPro) {
        describeBinary(def, FieldKind::Float, FieldEncoding::DoubleLittle, 8);
        return;
    }
    def.kind = def.type == 'M' ? FieldKind::Memo : def.type == 'B' ? FieldKind::Binary : FieldKind::Graphic;
    if (layout.foxPro && def.storedLength == 4)
        describe(def, def.kind, FieldEncoding::MemoRefBin, 4);
    else
        describe(def, def.kind, FieldEncoding::MemoRef, 10);
}

// V, Q, Y, T and the _NullFlags field (type '0'): FoxPro's own types.
void describeFoxProType(DbfFieldDef& def, const DbfLayout& layout) {
    if (!layout.foxPro)
        unknownType(def.name);
    switch (def.type) {
    case 'V':
    case 'Q':
        if (def.storedLength < 1)
            badLength(def.name, def.storedLength);
        if (def.type == 'V')
            describe(def, FieldKind::Text, FieldEncoding::VarText, def.storedLength);
        else
            describe(def, FieldKind::Binary, FieldEncoding::VarBinary, def.storedLength);
        break;
    case 'Y':
        describeBinary(def, FieldKind::Currency, FieldEncoding::Currency, 8);
        break;
    case 'T':
        describeBinary(def, FieldKind::DateTime, FieldEncoding::JulianTime, 8);
        break;
    default:
        describe(def, FieldKind::Binary, FieldEncoding::NullFlags, def.storedLength);
        def.hidden = true;
        break;
    }
}
} // namespace

DbfFieldDef makeFieldDef(const QString& name, char typeLetter, int length, int decimals,
                         const DbfLayout& layout, unsigned char foxFlags) {
    DbfFieldDef def;
    def.name = name;
    def.type = (typeLetter >= 'a' && typeLetter <= 'z') ? char(typeLetter - 'a' + 'A') : typeLetter;
    def.storedLength = length;
    def.decimals = decimals;
    switch (def.type) {
    case 'C':
        describe(def, FieldKind::Text, FieldEncoding::Text, std::min(length, 254));
        break;
    case 'N':
    case 'F':
        describeNumber(def);
        break;
    case 'D':
        describe(def, FieldKind::Date, FieldEncoding::DateText, 8);
        break;
    case 'L':
        describe(def, FieldKind::Boolean, FieldEncoding::Logical, 1);
        break;
    case 'M':
    case 'G':
    case 'P':
    case 'B':
        describeMemo(def, layout);
        break;
    case 'I':
        if (layout.foxPro)
            describeBinary(def, (foxFlags & 0x0C) == 0x0C ? FieldKind::AutoInc : FieldKind::Int32,
                           FieldEncoding::IntLittle, 4);
        else
            describeBinary(def, FieldKind::Int32, FieldEncoding::IntBigFlip, 4);
        break;
    case '+':
        describeBinary(def, FieldKind::AutoInc, FieldEncoding::IntBigFlip, 4);
        break;
    case 'O':
        describeBinary(def, FieldKind::Float, FieldEncoding::DoubleBig, 8);
        def.keptLength = length;
        break;
    case '@':
        describeBinary(def, FieldKind::DateTime, FieldEncoding::TimeStamp, 8);
        def.keptLength = length;
        break;
    case 'V':
    case 'Q':
    case 'Y':
    case 'T':
    case '0':
        describeFoxProType(def, layout);
        break;
    default:
        unknownType(name);
    }
    return def;
}

DbfFile::DbfFile(std::unique_ptr<PagedFile> file) : file_(std::move(file)) {
    char header[32];
    file_->readAt(0, header, sizeof header);
    version_ = static_cast<unsigned char>(header[0]);
    layout_ = layoutForVersion(version_);
    headerLength_ = littleEndian16(header + 8);
    headerRecordCount_ = qint64(littleEndian32(header + 4));
    if (headerLength_ == 0 || littleEndian16(header + 10) == 0)
        return;
    readDescriptors();
    qint64 offset = 1;
    for (auto& def : fields_) {
        def.offset = int(offset);
        offset += def.storedLength;
    }
    recordLength_ = offset;
    // The NULL bits live in the first _NullFlags field, the one checked to hold them all.
    if (nullFlagsField_ >= 0)
        nullFlagsOffset_ = fields_[size_t(nullFlagsField_)].offset;
    file_->setLayout(headerLength_, recordLength_);
    recordCount_ = file_->blockCount();
}

void DbfFile::readDescriptors() {
    const int descriptorLength = layout_.descriptorLength;
    qint64 count = 0;
    QByteArray bytes;
    if (layout_.foxPro) {
        // Descriptors run up to the 0x0D terminator inside the header.
        bytes = file_->readAt(layout_.headerPart, std::max<qint64>(0, headerLength_ - layout_.headerPart));
        while ((count + 1) * descriptorLength <= bytes.size() &&
               static_cast<unsigned char>(bytes[count * descriptorLength]) != FieldTerminator)
            ++count;
    } else {
        count = (headerLength_ - layout_.headerPart) / descriptorLength;
    }
    if (count < 1 || count > MaxFields)
        throw Error(QStringLiteral("Invalid field count : %1 (must be between 1 and 4095)").arg(count));
    if (!layout_.foxPro)
        bytes = file_->readAt(layout_.headerPart, count * descriptorLength);

    const bool longDescriptor = descriptorLength == 48;
    const int nameLength = longDescriptor ? 32 : 11;
    int nextNullBit = 0;
    fields_.reserve(size_t(count));
    for (qint64 i = 0; i < count; ++i) {
        const char* d = bytes.constData() + i * descriptorLength;
        const std::string_view rawName = untilNul(std::string_view(d, size_t(nameLength)));
        const QString name =
            decodeCodePage(rawName.data(), qsizetype(rawName.size()), CodePage::Cp866).toUpper();
        const auto* u = reinterpret_cast<const unsigned char*>(d);
        const char type = longDescriptor ? d[32] : d[11];
        const int length = longDescriptor ? u[33] : u[16];
        const int decimals = longDescriptor ? u[34] : u[17];
        const unsigned char flags = layout_.foxPro ? u[18] : 0;
        DbfFieldDef def = makeFieldDef(name, type, length, decimals, layout_, flags);
        // FoxPro: bits of _NullFlags in field order; a V or Q field owns one for its length, and
        // a nullable field (after that) one for NULL.
        if (def.encoding == FieldEncoding::VarText || def.encoding == FieldEncoding::VarBinary)
            def.lengthBit = nextNullBit++;
        if (layout_.foxPro && (flags & 0x02) && def.encoding != FieldEncoding::NullFlags)
            def.nullBit = nextNullBit++;
        fields_.push_back(std::move(def));
    }
    if (nextNullBit > 0) {
        const auto flagsField = std::find_if(fields_.begin(), fields_.end(), [](const DbfFieldDef& f) {
            return f.encoding == FieldEncoding::NullFlags;
        });
        const int available = flagsField == fields_.end() ? 0 : flagsField->storedLength * 8;
        if (available < nextNullBit) {
            // Bits the file does not hold read as clear: not NULL, and of full length.
            for (DbfFieldDef& f : fields_) {
                if (f.nullBit >= available)
                    f.nullBit = -1;
                if (f.lengthBit >= available)
                    f.lengthBit = -1;
            }
            warnings_
                << (flagsField == fields_.end()
                        ? QStringLiteral(
                              "В таблице \"%1\" есть поля, допускающие NULL или переменной длины, но "
                              "нет поля _NullFlags: они читаются как не NULL и полной длины")
                              .arg(QDir::toNativeSeparators(file_->name()))
                        : QStringLiteral(
                              "Таблица \"%1\": поле _NullFlags вмещает битов: %2, нужно: %3; поля сверх "
                              "этого читаются как не NULL и полной длины")
                              .arg(QDir::toNativeSeparators(file_->name()))
                              .arg(available)
                              .arg(nextNullBit));
        }
        if (flagsField != fields_.end())
            nullFlagsField_ = int(flagsField - fields_.begin());
    }
}

bool DbfFile::hasMemoFields() const {
    return std::any_of(fields_.begin(), fields_.end(), [](const DbfFieldDef& f) { return f.isMemoRef(); });
}

const char* DbfFile::record(qint64 n) {
    return file_->block(n - 1);
}

QByteArray DbfFile::recordCopy(qint64 n) {
    return file_->readAt(headerLength_ + (n - 1) * recordLength_, recordLength_);
}

} // namespace svod::dbf
