#include "engine/PreparedPages.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <vector>

#include "db/DateValue.h"
#include "db/Error.h"
#include "engine/TextLayout.h"

namespace svod::engine {

namespace {

constexpr quint32 Magic = 0x53465250; // "SFRP"

void readFont(QDataStream& s, FontSpec& f) {
    s >> f.family >> f.sizePt >> f.bold >> f.italic >> f.underline >> f.color;
}

void readObject(QDataStream& s, PreparedObject& o) {
    qint32 kind = 0, sides = 0, align = 0;
    quint8 valueKind = 0;
    s >> kind >> o.rect >> o.text;
    readFont(s, o.font);
    s >> sides >> o.frame.width >> o.frame.color >> o.fill >> align >> o.wordWrap >> o.checked >> o.radius >>
        o.picture >> valueKind >> o.number;
    if (kind < 0 || kind > int(ObjectKind::Chart) || valueKind > quint8(ValueKind::Date))
        s.setStatus(QDataStream::ReadCorruptData);
    o.kind = ObjectKind(kind);
    o.frame.sides = sides;
    o.alignment = align;
    o.valueKind = ValueKind(valueKind);
}

[[noreturn]] void damaged() {
    throw Error(QStringLiteral("Файл подготовленного отчета поврежден или имеет неизвестный формат"));
}

// Everything of an object but its place, text and value: a page has few of them.
struct Style {
    FontSpec font;
    FrameSpec frame;
    QColor fill;
    int alignment = 0;
    bool wordWrap = false;
    double radius = 0;
    bool operator==(const Style&) const = default;
    // Objects of one band share their family string: comparing its data pointer first is cheap.
    bool sameAs(const PreparedObject& o) const {
        const bool sameFamily = (font.family.constData() == o.font.family.constData() &&
                                 font.family.size() == o.font.family.size()) ||
                                font.family == o.font.family;
        return sameFamily && font.sizePt == o.font.sizePt && font.bold == o.font.bold &&
               font.italic == o.font.italic && font.underline == o.font.underline &&
               font.color == o.font.color && frame == o.frame && fill == o.fill && alignment == o.alignment &&
               wordWrap == o.wordWrap && radius == o.radius;
    }

    static Style of(const PreparedObject& o) {
        return {o.font, o.frame, o.fill, o.alignment, o.wordWrap, o.radius};
    }
    void applyTo(PreparedObject& o) const {
        o.font = font;
        o.frame = frame;
        o.fill = fill;
        o.alignment = alignment;
        o.wordWrap = wordWrap;
        o.radius = radius;
    }
};

class Writer {
public:
    explicit Writer(QByteArray& out) : out_(out) {}
    void byte(quint8 b) { out_.append(char(b)); }
    void varint(quint64 v) {
        while (v >= 0x80) {
            byte(quint8(v) | 0x80);
            v >>= 7;
        }
        byte(quint8(v));
    }
    void signedVarint(qint64 v) { varint((quint64(v) << 1) ^ quint64(v >> 63)); }
    void number(double v) {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        bits = qToLittleEndian(bits);
        out_.append(reinterpret_cast<const char*>(&bits), sizeof bits);
    }
    void bytes(QByteArrayView b) {
        varint(quint64(b.size()));
        out_.append(b.data(), b.size());
    }
    // UTF-8 written in place: a page's texts are most of its bytes. `s` is valid UTF-16.
    void string(QStringView s) {
        qsizetype length = 0;
        for (qsizetype i = 0; i < s.size(); ++i) {
            const char16_t c = s[i].unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode()))
                length += 4, ++i;
            else
                length += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        }
        varint(quint64(length));
        const qsizetype at = out_.size();
        out_.resize(at + length);
        auto* p = reinterpret_cast<uchar*>(out_.data() + at);
        for (qsizetype i = 0; i < s.size(); ++i) {
            char32_t c = s[i].unicode();
            if (c < 0x80) {
                *p++ = uchar(c);
            } else if (c < 0x800) {
                *p++ = uchar(0xc0 | c >> 6);
                *p++ = uchar(0x80 | (c & 0x3f));
            } else if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(char16_t(c), s[++i].unicode());
                *p++ = uchar(0xf0 | c >> 18);
                *p++ = uchar(0x80 | ((c >> 12) & 0x3f));
                *p++ = uchar(0x80 | ((c >> 6) & 0x3f));
                *p++ = uchar(0x80 | (c & 0x3f));
            } else {
                *p++ = uchar(0xe0 | c >> 12);
                *p++ = uchar(0x80 | ((c >> 6) & 0x3f));
                *p++ = uchar(0x80 | (c & 0x3f));
            }
        }
    }
    void color(const QColor& c) {
        if (!c.isValid()) {
            byte(0);
        } else if (c == c.toRgb()) { // plain RGB: most colours
            byte(1);
            const QRgba64 v = c.rgba64();
            for (quint16 part : {v.red(), v.green(), v.blue(), v.alpha()})
                varint(part);
        } else { // other colour models keep every detail
            byte(2);
            QByteArray data;
            QDataStream s(&data, QIODevice::WriteOnly);
            s.setVersion(QDataStream::Qt_6_4);
            s << c;
            bytes(data);
        }
    }

private:
    QByteArray& out_;
};

class Reader {
public:
    explicit Reader(QByteArrayView in) : p_(in.data()), end_(in.data() + in.size()) {}
    bool atEnd() const { return p_ == end_; }
    quint8 byte() {
        if (p_ == end_)
            damaged();
        return quint8(*p_++);
    }
    quint64 varint() {
        quint64 v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const quint8 b = byte();
            v |= quint64(b & 0x7f) << shift;
            if (!(b & 0x80))
                return v;
        }
        damaged();
    }
    qint64 signedVarint() {
        const quint64 v = varint();
        return qint64(v >> 1) ^ -qint64(v & 1);
    }
    int count() {
        const quint64 n = varint();
        if (n > quint64(end_ - p_)) // every item takes a byte at least
            damaged();
        return int(n);
    }
    double number() {
        if (end_ - p_ < 8)
            damaged();
        quint64 bits;
        std::memcpy(&bits, p_, sizeof bits);
        p_ += 8;
        bits = qFromLittleEndian(bits);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    QByteArrayView bytes() {
        const quint64 n = varint();
        if (n > quint64(end_ - p_))
            damaged();
        const QByteArrayView v(p_, qsizetype(n));
        p_ += n;
        return v;
    }
    QString string() { return QString::fromUtf8(bytes()); }
    QColor color() {
        switch (byte()) {
        case 0:
            return QColor();
        case 1: {
            quint16 parts[4];
            for (auto& part : parts) {
                const quint64 v = varint();
                if (v > 0xffff)
                    damaged();
                part = quint16(v);
            }
            return QColor(QRgba64::fromRgba64(parts[0], parts[1], parts[2], parts[3]));
        }
        case 2: {
            QByteArray data = bytes().toByteArray();
            QDataStream s(&data, QIODevice::ReadOnly);
            s.setVersion(QDataStream::Qt_6_4);
            QColor c;
            s >> c;
            if (s.status() != QDataStream::Ok)
                damaged();
            return c;
        }
        default:
            damaged();
        }
    }

private:
    const char* p_;
    const char* end_;
};

void writeStyle(Writer& w, const Style& s) {
    w.string(s.font.family);
    w.number(s.font.sizePt);
    w.byte(quint8(s.font.bold) | quint8(s.font.italic) << 1 | quint8(s.font.underline) << 2 |
           quint8(s.wordWrap) << 3);
    w.color(s.font.color);
    w.signedVarint(s.frame.sides);
    w.number(s.frame.width);
    w.color(s.frame.color);
    w.color(s.fill);
    w.signedVarint(s.alignment);
    w.number(s.radius);
}

Style readStyle(Reader& r) {
    Style s;
    s.font.family = r.string();
    s.font.sizePt = r.number();
    const quint8 flags = r.byte();
    s.font.bold = flags & 1;
    s.font.italic = flags & 2;
    s.font.underline = flags & 4;
    s.wordWrap = flags & 8;
    s.font.color = r.color();
    s.frame.sides = int(r.signedVarint());
    s.frame.width = r.number();
    s.frame.color = r.color();
    s.fill = r.color();
    s.alignment = int(r.signedVarint());
    s.radius = r.number();
    return s;
}

// A rectangle component: the previous object's, the previous one's far edge (x and y), a multiple of
// 1/64 point, or the raw number. Table cells mostly need no byte at all.
enum RectCode : quint8 { SameAsPrevious = 0, AfterPrevious = 1, Fixed = 2, Raw = 3 };
constexpr double FixedScale = 64;

quint8 rectCode(double v, double previous, double after, bool canFollow) {
    if (v == previous && std::signbit(v) == std::signbit(previous))
        return SameAsPrevious;
    if (canFollow && v == after && std::signbit(v) == std::signbit(after))
        return AfterPrevious;
    const double scaled = v * FixedScale;
    if (std::abs(scaled) < 1e15 && scaled == std::trunc(scaled) && !(v == 0 && std::signbit(v)))
        return Fixed;
    return Raw;
}

// Object header bits.
constexpr quint8 HasText = 0x40, HasExtra = 0x80, IsChecked = 0x20;
constexpr quint8 ExtraPicture = 1, ExtraUtf16 = 2, ExtraValueInText = 4;

// The last text of each column (objects at one left edge): a cell's text is stored as the length it
// shares with the cell above and the rest, since a column's values mostly start alike.
class ColumnTexts {
public:
    const QString* above(double x) {
        const qsizetype i = find(key(x));
        return i < 0 ? nullptr : &columns_[size_t(i)].second;
    }
    void remember(double x, const QString& text) {
        const quint64 k = key(x);
        if (const qsizetype i = find(k); i >= 0) {
            columns_[size_t(i)].second = text;
            return;
        }
        columns_.emplace_back(k, text);
        if (columns_.size() > Listed)
            index_.insert(k, qsizetype(columns_.size() - 1));
        else if (columns_.size() == Listed)
            for (qsizetype i = 0; i < qsizetype(Listed); ++i)
                index_.insert(columns_[size_t(i)].first, i);
    }
    // Shared UTF-16 units; a surrogate pair is never cut.
    static qsizetype shared(const QString* above, const QString& text) {
        if (!above)
            return 0;
        const qsizetype most = std::min(above->size(), text.size());
        qsizetype n = 0;
        while (n < most && (*above)[n] == text[n])
            ++n;
        if (n > 0 && text[n - 1].isHighSurrogate())
            --n;
        return n;
    }

private:
    static constexpr size_t Listed = 32; // more columns than this are looked up in index_

    static quint64 key(double x) {
        quint64 bits;
        std::memcpy(&bits, &x, sizeof bits);
        return bits;
    }
    // Cells come row by row: the column asked for is mostly the last one found or the next.
    qsizetype find(quint64 k) {
        const qsizetype n = qsizetype(columns_.size());
        if (n == 0)
            return -1;
        for (const qsizetype i : {hint_, hint_ + 1 < n ? hint_ + 1 : 0})
            if (columns_[size_t(i)].first == k)
                return hint_ = i;
        if (size_t(n) >= Listed) {
            const auto it = index_.constFind(k);
            return it == index_.cend() ? -1 : (hint_ = *it);
        }
        for (qsizetype i = 0; i < n; ++i)
            if (columns_[size_t(i)].first == k)
                return hint_ = i;
        return -1;
    }

    std::vector<std::pair<quint64, QString>> columns_;
    QHash<quint64, qsizetype> index_;
    qsizetype hint_ = 0;
};

bool sameNumber(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The value a cell's text reads as (a table's cells mostly), or false.
bool valueOfText(const QString& text, ValueKind kind, double& value) {
    QDate date;
    if (kind == ValueKind::Number)
        return parseDisplayNumber(text, value);
    if (kind == ValueKind::Date && parseDisplayDate(text, date)) {
        value = DateValue::fromDate(date).days();
        return true;
    }
    return false;
}

bool valueInText(const PreparedObject& o) {
    double value = 0;
    return o.valueKind != ValueKind::Text && valueOfText(o.text, o.valueKind, value) &&
           sameNumber(value, o.number);
}

} // namespace

namespace {

void writeText(Writer& w, ColumnTexts& columns, const PreparedObject& o, bool utf16) {
    const qsizetype shared = ColumnTexts::shared(columns.above(o.rect.x()), o.text);
    w.varint(quint64(shared));
    const QStringView rest = QStringView(o.text).mid(shared);
    if (utf16)
        w.bytes(QByteArrayView(reinterpret_cast<const char*>(rest.utf16()), rest.size() * 2));
    else
        w.string(rest);
    columns.remember(o.rect.x(), o.text);
}

QString readText(Reader& r, ColumnTexts* columns, double x, bool utf16) {
    qsizetype shared = 0;
    const QString* above = nullptr;
    if (columns) {
        const quint64 n = r.varint();
        above = columns->above(x);
        if (n > 0 && (!above || n > quint64(above->size())))
            damaged();
        shared = qsizetype(n);
    }
    const QByteArrayView b = r.bytes();
    if (utf16 && b.size() % 2)
        damaged();
    // One block for the shared start and the rest: UTF-8 takes at least a byte a UTF-16 unit.
    QString text(shared + (utf16 ? b.size() / 2 : b.size()), Qt::Uninitialized);
    QChar* out = text.data();
    if (shared)
        out = std::copy_n(above->constData(), shared, out);
    if (utf16) {
        std::memcpy(out, b.data(), size_t(b.size()));
        return text;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text.truncate(utf8.appendToBuffer(out, b) - text.constData());
    return text;
}

} // namespace

QByteArray encodePage(const PreparedPage& page) {
    // Written into a buffer kept from page to page and copied out at its size: thousands of pages
    // may be kept, and a grown and shrunk block per page leaves the heap full of holes.
    thread_local QByteArray out;
    out.resize(0);
    Writer w(out);
    w.number(page.size.width());
    w.number(page.size.height());
    w.byte(page.landscape ? 1 : 0);

    QList<Style> styles;
    QList<int> styleOf;
    styleOf.reserve(page.objects.size());
    int last = -1;
    for (const auto& o : page.objects) {
        if (last < 0 || !styles[last].sameAs(o)) {
            last = -1;
            for (qsizetype k = 0; k < styles.size() && last < 0; ++k)
                if (styles[k].sameAs(o))
                    last = int(k);
            if (last < 0) {
                styles << Style::of(o);
                last = int(styles.size() - 1);
            }
        }
        styleOf << last;
    }
    w.varint(quint64(styles.size()));
    for (const auto& s : styles)
        writeStyle(w, s);

    w.varint(quint64(page.objects.size()));
    QRectF previous;
    ColumnTexts columns;
    for (qsizetype i = 0; i < page.objects.size(); ++i) {
        const PreparedObject& o = page.objects[i];
        const bool utf16 = !o.text.isEmpty() && !QStringView(o.text).isValidUtf16();
        const bool inText = valueInText(o);
        const quint8 extra = (o.picture.isEmpty() ? 0 : ExtraPicture) | (utf16 ? ExtraUtf16 : 0) |
                             (inText ? ExtraValueInText : 0);
        w.byte(quint8(o.kind) | quint8(o.valueKind) << 3 | (o.checked ? IsChecked : 0) |
               (o.text.isEmpty() ? 0 : HasText) | (extra ? HasExtra : 0));
        if (extra)
            w.byte(extra);
        w.varint(quint64(styleOf[i]));
        const double now[4] = {o.rect.x(), o.rect.y(), o.rect.width(), o.rect.height()};
        const double before[4] = {previous.x(), previous.y(), previous.width(), previous.height()};
        const double after[2] = {previous.x() + previous.width(), previous.y() + previous.height()};
        quint8 codes = 0;
        quint8 code[4];
        for (int c = 0; c < 4; ++c) {
            code[c] = rectCode(now[c], before[c], c < 2 ? after[c] : 0, c < 2);
            codes |= quint8(code[c] << (2 * c));
        }
        w.byte(codes);
        for (int c = 0; c < 4; ++c)
            if (code[c] == Fixed)
                w.signedVarint(qint64(now[c] * FixedScale));
            else if (code[c] == Raw)
                w.number(now[c]);
        previous = o.rect;
        if (!o.text.isEmpty())
            writeText(w, columns, o, utf16);
        if (o.valueKind != ValueKind::Text && !inText)
            w.number(o.number);
        if (!o.picture.isEmpty())
            w.bytes(o.picture);
    }
    QByteArray bytes(out.constData(), out.size());
    if (out.capacity() > (1 << 20)) // a page with a large picture
        out = QByteArray();
    return bytes;
}

namespace {

Reader pageHeader(QByteArrayView bytes, PreparedPage& page) {
    Reader r(bytes);
    const double width = r.number();
    const double height = r.number();
    page.size = QSizeF(width, height);
    const quint8 landscape = r.byte();
    if (landscape > 1)
        damaged();
    page.landscape = landscape;
    return r;
}

} // namespace

PreparedPage decodePage(const QByteArray& bytes) {
    return decodePage(bytes, PreparedPages::FormatVersion);
}

PreparedPage decodePage(const QByteArray& bytes, int version) {
    PreparedPage page;
    Reader r = pageHeader(bytes, page);
    const int styleCount = r.count();
    QList<Style> styles;
    styles.reserve(styleCount);
    for (int i = 0; i < styleCount; ++i) {
        styles << readStyle(r);
        for (qsizetype k = 0; k + 1 < styles.size(); ++k)
            if (styles[k].font.family == styles.last().font.family) {
                styles.last().font.family = styles[k].font.family; // shared, cheap to compare later
                break;
            }
    }
    const int objects = r.count();
    page.objects.reserve(objects);
    QRectF previous;
    ColumnTexts columns;
    const bool sharedTexts = version >= 4;
    for (int i = 0; i < objects; ++i) {
        PreparedObject o;
        const quint8 head = r.byte();
        const quint8 extra = (head & HasExtra) ? r.byte() : 0;
        const int kind = head & 7;
        const int valueKind = (head >> 3) & 3;
        if (kind > int(ObjectKind::Chart) || valueKind > int(ValueKind::Date) || extra > 7)
            damaged();
        o.kind = ObjectKind(kind);
        o.valueKind = ValueKind(valueKind);
        o.checked = head & IsChecked;
        const quint64 style = r.varint();
        if (style >= quint64(styles.size()))
            damaged();
        styles[qsizetype(style)].applyTo(o);
        const quint8 codes = r.byte();
        const double before[4] = {previous.x(), previous.y(), previous.width(), previous.height()};
        const double after[2] = {previous.x() + previous.width(), previous.y() + previous.height()};
        double now[4];
        for (int c = 0; c < 4; ++c) {
            switch ((codes >> (2 * c)) & 3) {
            case SameAsPrevious:
                now[c] = before[c];
                break;
            case AfterPrevious:
                if (c >= 2)
                    damaged();
                now[c] = after[c];
                break;
            case Fixed:
                now[c] = double(r.signedVarint()) / FixedScale;
                break;
            default:
                now[c] = r.number();
            }
        }
        o.rect = QRectF(now[0], now[1], now[2], now[3]);
        previous = o.rect;
        if (head & HasText) {
            o.text = readText(r, sharedTexts ? &columns : nullptr, o.rect.x(), extra & ExtraUtf16);
            if (sharedTexts)
                columns.remember(o.rect.x(), o.text);
        }
        if (extra & ExtraValueInText) {
            if (!valueOfText(o.text, o.valueKind, o.number))
                damaged();
        } else if (o.valueKind != ValueKind::Text) {
            o.number = r.number();
        }
        if (extra & ExtraPicture)
            o.picture = r.bytes().toByteArray();
        page.objects.append(std::move(o));
    }
    if (!r.atEnd())
        damaged();
    return page;
}

QString objectClassName(ObjectKind kind) {
    return objectKindName(kind);
}

std::unique_ptr<PreparedObject> createReportObject(int typeCode, const QString& className) {
    if (typeCode < 0 || typeCode > int(ObjectKind::Chart))
        throw Error(QStringLiteral("Неизвестный тип объекта отчета: %1").arg(typeCode));
    const auto kind = ObjectKind(typeCode);
    if (!className.isEmpty() && className != objectClassName(kind))
        throw Error(QStringLiteral("Неизвестный класс объекта отчета: %1").arg(className));
    auto object = std::make_unique<PreparedObject>();
    object->kind = kind;
    return object;
}

void assignObject(PreparedObject& target, const PreparedObject& source) {
    target = source;
}

PreparedPage PreparedPages::page(int index) const {
    return decodePage(pages_.at(index));
}

QSizeF PreparedPages::pageSize(int index) const {
    PreparedPage header;
    pageHeader(pages_.at(index), header);
    return header.size;
}

QSizeF PreparedPages::orientedSize(int index) const {
    PreparedPage header;
    pageHeader(pages_.at(index), header);
    return header.orientedSize();
}

void PreparedPages::clear() {
    pages_.clear();
    editIndex_ = -1;
    edit_.clear();
}

void PreparedPages::add(const PreparedPage& like) {
    PreparedPage page;
    page.size = like.size;
    page.landscape = like.landscape;
    addPage(page);
}

void PreparedPages::addPage(const PreparedPage& page) {
    pages_.append(encodePage(page));
}

QList<PreparedObject>& PreparedPages::objectsToPage(int index) {
    if (editIndex_ != index) {
        storeEdit();
        edit_ = decodePage(pages_.at(index)).objects;
        editIndex_ = index;
    }
    return edit_;
}

void PreparedPages::pageToObjects(int index) {
    if (index < 0 || index >= count())
        throw Error(QStringLiteral("Нет страницы %1 в подготовленном отчете").arg(index + 1));
    if (editIndex_ == index)
        storeEdit();
}

void PreparedPages::storeEdit() {
    if (editIndex_ < 0)
        return;
    PreparedPage page;
    pageHeader(pages_.at(editIndex_), page);
    page.objects = std::move(edit_);
    pages_[editIndex_] = encodePage(page);
    editIndex_ = -1;
    edit_.clear();
}

void PreparedPages::saveToStream(QIODevice& device) const {
    QDataStream s(&device);
    s.setVersion(QDataStream::Qt_6_4);
    s << Magic << qint32(FormatVersion) << qint32(pages_.size());
    for (const auto& page : pages_)
        s << page;
    if (s.status() != QDataStream::Ok)
        throw Error(QStringLiteral("Не удалось записать подготовленный отчет"));
}

void PreparedPages::loadFromStream(QIODevice& device) {
    QDataStream s(&device);
    s.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    qint32 version = 0, count = 0;
    s >> magic >> version;
    if (magic != Magic || s.status() != QDataStream::Ok)
        damaged();
    if (version < 1 || version > FormatVersion)
        throw Error(QStringLiteral("Неподдерживаемая версия подготовленного отчета: %1").arg(version));
    s >> count;
    if (count < 0)
        damaged();
    QList<QByteArray> pages;
    for (qint32 i = 0; i < count && s.status() == QDataStream::Ok; ++i) {
        if (version == 1) { // objects one by one
            PreparedPage page;
            qint32 objects = 0;
            s >> page.size >> page.landscape >> objects;
            if (objects < 0)
                damaged();
            for (qint32 j = 0; j < objects && s.status() == QDataStream::Ok; ++j) {
                PreparedObject o;
                readObject(s, o);
                page.objects.append(std::move(o));
            }
            pages.append(encodePage(page));
        } else {
            QByteArray page;
            s >> page;
            if (s.status() != QDataStream::Ok)
                break;
            // A damaged page fails the load, not a later paint; older pages are stored anew.
            const PreparedPage decoded = decodePage(page, version);
            pages.append(version == FormatVersion ? std::move(page) : encodePage(decoded));
        }
    }
    if (s.status() != QDataStream::Ok)
        damaged();
    pages_ = std::move(pages);
    editIndex_ = -1;
    edit_.clear();
}

QByteArray PreparedPages::toBytes() const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    saveToStream(buffer);
    return bytes;
}

void PreparedPages::fromBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    loadFromStream(buffer);
}

void PreparedPages::saveToFile(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Не удалось создать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
    saveToStream(file);
    if (!file.commit())
        throw Error(QStringLiteral("Не удалось записать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
}

void PreparedPages::loadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Не удалось открыть файл ") + path + QStringLiteral(": ") +
                    file.errorString());
    loadFromStream(file);
}

} // namespace svod::engine
