#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVariant>
#include <vector>

namespace svod::demo {

// One field of a table to write.
struct FieldSpec {
    QString name;
    char type = 'C';
    int length = 10;
    int decimals = 0;
    bool nullable = false; // FoxPro: the field gets a bit in _NullFlags
};

// Writes DBF tables of any shape (the demo's sample packets, and the odd layouts the reader is tested on):
// dBase III (0x03, 0x83), dBase IV (0x8B), dBase VII (0x04, 0x8C) and FoxPro (0x30, 0xF5) layouts, memo
// files, deleted records, code page 866 text. Records are streamed to the file, so tables of millions of rows
// are cheap.
class DbfWriter {
public:
    // FoxPro: nullFlagsLength -1 gives _NullFlags the bytes its bits need; 0 leaves it out and a
    // smaller number cuts it short (bits beyond it are not written), as damaged files have it.
    DbfWriter(const QString& path, unsigned char version, std::vector<FieldSpec> fields,
              int nullFlagsLength = -1);
    ~DbfWriter();
    DbfWriter(const DbfWriter&) = delete;
    DbfWriter& operator=(const DbfWriter&) = delete;

    // Values by field type: C text (QString in cp866, QByteArray as is), N/F numbers or raw text,
    // D QDate or raw text, L bool, M/B/G memo text or bytes, I/+ int, O double, @ and T QDateTime,
    // Y and FoxPro B double, FoxPro V text (cp866) and Q bytes: a value shorter than the field keeps
    // its length in the field's last byte and sets its length bit in _NullFlags. An invalid
    // QVariant writes blanks (or sets the NULL bit).
    void addRow(const QVariantList& values, bool deleted = false);
    // Already stored bytes of each field; shorter values are padded with blanks.
    void addRecord(const QList<QByteArray>& stored, bool deleted = false);
    // The whole record including the deletion flag, as stored.
    void addRawRecord(const QByteArray& record);

    // Writes the header with the record count (or the given one) and the memo file.
    void finish(bool endMark = true);
    void setHeaderRecordCount(qint64 count) { headerCount_ = count; }

    int recordLength() const { return recordLength_; }
    qint64 headerLength() const { return headerLength_; }
    static QString memoPath(const QString& tablePath, unsigned char version);

private:
    struct Field {
        FieldSpec def;
        int offset = 0;
        int nullBit = -1;
        int lengthBit = -1; // FoxPro V and Q: set when the value is shorter than the field
    };
    void setFlag(char* record, int bit) const;
    bool foxPro() const;
    bool longLayout() const;
    QByteArray header(qint64 count) const;
    QByteArray memoRef(const Field& field, const QByteArray& text);
    void storeValue(char* record, const Field& field, const QVariant& value);
    // Blanks, zeroes for the binary types, and the NULL bit.
    void storeNull(char* record, const Field& field) const;
    // FoxPro V and Q: a shorter value keeps its length in the last byte.
    void storeVarying(char* record, const Field& field, const QVariant& value) const;
    // A value by the field's type, at the field's first byte.
    void storeTyped(char* p, const Field& field, const QVariant& value);
    void flush();

    QFile file_;
    QString path_;
    unsigned char version_;
    std::vector<Field> fields_;
    int nullFlagsOffset_ = 0;
    int nullFlagsLength_ = 0;
    int recordLength_ = 1;
    qint64 headerLength_ = 0;
    qint64 count_ = 0;
    qint64 headerCount_ = -1;
    QByteArray buffer_;
    QByteArray memo_;
    bool finished_ = false;
};

// Encodings of the binary field types, for building records by hand.
QByteArray flippedInt(qint32 value);
QByteArray orderedDouble(double value);

} // namespace svod::demo
