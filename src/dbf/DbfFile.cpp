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

DbfFieldDef makeFieldDef(const QString& name, char typeLetter, int length, int decimals,
                         const DbfLayout& layout, unsigned char foxFlags) {
    DbfFieldDef def;
    def.name = name;
    def.type = (typeLetter >= 'a' && typeLetter <= 'z') ? char(typeLetter - 'a' + 'A') : typeLetter;
    def.storedLength = length;
    def.decimals = decimals;
    auto binary = [&](FieldKind kind, FieldEncoding encoding, int needed) {
        if (length < needed)
            badLength(name, length);
        def.kind = kind;
        def.encoding = encoding;
        def.keptLength = needed;
    };
    switch (def.type) {
    case 'C':
        def.kind = FieldKind::Text;
        def.encoding = FieldEncoding::Text;
        def.keptLength = length >= 254 ? 254 : length;
        break;
    case 'N':
    case 'F':
        def.keptLength = std::min(length, 20);
        if (def.type == 'N' && decimals == 0) {
            def.encoding = FieldEncoding::Integer;
            def.kind = length <= 4 ? FieldKind::Int16 : length <= 9 ? FieldKind::Int32 : FieldKind::Int64;
        } else {
            def.encoding = FieldEncoding::FloatText;
            def.kind = FieldKind::Float;
            def.decimals = std::max(0, std::min(decimals, def.keptLength - 2));
        }
        break;
    case 'D':
        def.kind = FieldKind::Date;
        def.encoding = FieldEncoding::DateText;
        def.keptLength = 8;
        break;
    case 'L':
        def.kind = FieldKind::Boolean;
        def.encoding = FieldEncoding::Logical;
        def.keptLength = 1;
        break;
    case 'M':
    case 'G':
    case 'P':
    case 'B':
        if (def.type == 'P' && !layout.foxPro)
            throw Error(QStringLiteral("Field '%1' is of an unknown type").arg(name));
        if (def.type == 'B' && layout.foxPro) {
            binary(FieldKind::Float, FieldEncoding::DoubleLittle, 8);
            break;
        }
        def.kind = def.type == 'M'   ? FieldKind::Memo
                   : def.type == 'B' ? FieldKind::Binary
                                     : FieldKind::Graphic;
        if (layout.foxPro && length == 4) {
            def.encoding = FieldEncoding::MemoRefBin;
            def.keptLength = 4;
        } else {
            def.encoding = FieldEncoding::MemoRef;
            def.keptLength = 10;
        }
        break;
    case 'I':
        if (layout.foxPro)
            binary((foxFlags & 0x0C) == 0x0C ? FieldKind::AutoInc : FieldKind::Int32,
                   FieldEncoding::IntLittle, 4);
        else
            binary(FieldKind::Int32, FieldEncoding::IntBigFlip, 4);
        break;
    case '+':
        binary(FieldKind::AutoInc, FieldEncoding::IntBigFlip, 4);
        break;
    case 'O':
        binary(FieldKind::Float, FieldEncoding::DoubleBig, 8);
        def.keptLength = length;
        break;
    case '@':
        binary(FieldKind::DateTime, FieldEncoding::TimeStamp, 8);
        def.keptLength = length;
        break;
    case 'V':
    case 'Q':
        if (!layout.foxPro)
            throw Error(QStringLiteral("Field '%1' is of an unknown type").arg(name));
        if (length < 1)
            badLength(name, length);
        def.kind = def.type == 'V' ? FieldKind::Text : FieldKind::Binary;
        def.encoding = def.type == 'V' ? FieldEncoding::VarText : FieldEncoding::VarBinary;
        def.keptLength = length;
        break;
    case 'Y':
    case 'T':
    case '0':
        if (!layout.foxPro)
            throw Error(QStringLiteral("Field '%1' is of an unknown type").arg(name));
        if (def.type == 'Y')
            binary(FieldKind::Currency, FieldEncoding::Currency, 8);
        else if (def.type == 'T')
            binary(FieldKind::DateTime, FieldEncoding::JulianTime, 8);
        else {
            def.kind = FieldKind::Binary;
            def.encoding = FieldEncoding::NullFlags;
            def.keptLength = length;
            def.hidden = true;
        }
        break;
    default:
        throw Error(QStringLiteral("Field '%1' is of an unknown type").arg(name));
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
