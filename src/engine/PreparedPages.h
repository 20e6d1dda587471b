#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <memory>

#include "engine/Model.h"

namespace svod::engine {

// What a prepared text cell holds besides its text, so exports can keep numbers and dates.
enum class ValueKind : quint8 { Text, Number, Date };

// A drawing object placed absolutely on a prepared page (points from the page's top left).
struct PreparedObject {
    ObjectKind kind = ObjectKind::Text;
    QRectF rect;
    QString text;
    FontSpec font;
    FrameSpec frame;
    QColor fill;
    int alignment = Qt::AlignLeft | Qt::AlignTop;
    bool wordWrap = false;
    bool checked = false; // CheckBox
    double radius = 0;    // RoundRect
    QByteArray picture;   // Picture
    ValueKind valueKind = ValueKind::Text;
    double number = 0; // Number: the value; Date: days since 30.12.1899
    bool operator==(const PreparedObject&) const = default;
};

// Makes an empty object of the kind a type code and class name name (as stored in .frp).
std::unique_ptr<PreparedObject> createReportObject(int typeCode, const QString& className);
// Copies every property of `source` into `target`.
void assignObject(PreparedObject& target, const PreparedObject& source);
QString objectClassName(ObjectKind kind);

struct PreparedPage {
    QSizeF size{595.28, 841.89}; // unoriented paper size
    bool landscape = false;
    QList<PreparedObject> objects;
    QSizeF orientedSize() const { return landscape ? size.transposed() : size; }
    bool operator==(const PreparedPage&) const = default;
};

// The pages a preparation produced; serialisable as one block (the .frp file). Each page is kept
// encoded (a compact byte stream with its own style table) and decoded when asked for, so large
// reports stay small in memory.
class PreparedPages {
public:
    // 3: a value a cell's text reads as is not stored twice; 4: a text shares its start with the one
    // above it
    static constexpr int FormatVersion = 4;

    int count() const { return int(pages_.size()); }
    bool isEmpty() const { return pages_.isEmpty(); }
    // Decodes one page.
    PreparedPage page(int index) const;
    QSizeF pageSize(int index) const;     // unoriented, without decoding the objects
    QSizeF orientedSize(int index) const; // the paper as it lies
    void clear();

    // Appends an empty page of `like`'s size and orientation.
    void add(const PreparedPage& like);
    void addPage(const PreparedPage& page);
    // Editing one page: its object list, stored back with pageToObjects. Opening another page stores
    // a pending edit first.
    QList<PreparedObject>& objectsToPage(int index);
    void pageToObjects(int index);

    void saveToStream(QIODevice& device) const;
    // Replaces the pages by the stream's; throws svod::Error on a damaged or foreign stream.
    void loadFromStream(QIODevice& device);
    QByteArray toBytes() const;
    void fromBytes(const QByteArray& bytes);
    void saveToFile(const QString& path) const;
    // LoadPreparedReport.
    void loadFromFile(const QString& path);

    // Stored pages only: a pending edit counts once stored back.
    bool operator==(const PreparedPages& other) const { return pages_ == other.pages_; }

private:
    void storeEdit();

    QList<QByteArray> pages_;
    int editIndex_ = -1;
    QList<PreparedObject> edit_;
};

// The encoded form of one page, as PreparedPages keeps it; decodePage throws svod::Error on damaged
// bytes.
QByteArray encodePage(const PreparedPage& page);
PreparedPage decodePage(const QByteArray& bytes);
// A page as an .frp of `version` (2 and later) stored it.
PreparedPage decodePage(const QByteArray& bytes, int version);

} // namespace svod::engine
