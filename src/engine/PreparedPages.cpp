#include "engine/PreparedPages.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QSaveFile>

#include "db/Error.h"

namespace svod::engine {

namespace {

constexpr quint32 Magic = 0x53465250; // "SFRP"

void writeFont(QDataStream& s, const FontSpec& f) {
    s << f.family << f.sizePt << f.bold << f.italic << f.underline << f.color;
}

void readFont(QDataStream& s, FontSpec& f) {
    s >> f.family >> f.sizePt >> f.bold >> f.italic >> f.underline >> f.color;
}

void writeObject(QDataStream& s, const PreparedObject& o) {
    s << qint32(o.kind) << o.rect << o.text;
    writeFont(s, o.font);
    s << qint32(o.frame.sides) << o.frame.width << o.frame.color << o.fill << qint32(o.alignment)
      << o.wordWrap << o.checked << o.radius << o.picture << quint8(o.valueKind) << o.number;
}

void readObject(QDataStream& s, PreparedObject& o) {
    qint32 kind = 0, sides = 0, align = 0;
    quint8 valueKind = 0;
    s >> kind >> o.rect >> o.text;
    readFont(s, o.font);
    s >> sides >> o.frame.width >> o.frame.color >> o.fill >> align >> o.wordWrap >> o.checked >> o.radius >>
        o.picture >> valueKind >> o.number;
    if (kind < 0 || kind > int(ObjectKind::RichText) || valueKind > quint8(ValueKind::Date))
        s.setStatus(QDataStream::ReadCorruptData);
    o.kind = ObjectKind(kind);
    o.frame.sides = sides;
    o.alignment = align;
    o.valueKind = ValueKind(valueKind);
}

[[noreturn]] void damaged() {
    throw Error(QStringLiteral("Файл подготовленного отчета поврежден или имеет неизвестный формат"));
}

} // namespace

QString objectClassName(ObjectKind kind) {
    return objectKindName(kind);
}

std::unique_ptr<PreparedObject> createReportObject(int typeCode, const QString& className) {
    if (typeCode < 0 || typeCode > int(ObjectKind::RichText))
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

void PreparedPages::add(const PreparedPage& like) {
    PreparedPage page;
    page.size = like.size;
    page.landscape = like.landscape;
    pages_.append(std::move(page));
}

QList<PreparedObject>& PreparedPages::objectsToPage(int index) {
    return pages_[index].objects;
}

void PreparedPages::pageToObjects(int index) {
    // Pages keep their objects in memory already; this only validates the index.
    (void)pages_.at(index);
}

void PreparedPages::saveToStream(QIODevice& device) const {
    QDataStream s(&device);
    s.setVersion(QDataStream::Qt_6_4);
    s << Magic << qint32(FormatVersion) << qint32(pages_.size());
    for (const auto& page : pages_) {
        s << page.size << page.landscape << qint32(page.objects.size());
        for (const auto& o : page.objects)
            writeObject(s, o);
    }
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
    QList<PreparedPage> pages;
    for (qint32 i = 0; i < count && s.status() == QDataStream::Ok; ++i) {
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
        pages.append(std::move(page));
    }
    if (s.status() != QDataStream::Ok)
        damaged();
    pages_ = std::move(pages);
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
