#pragma once

#include <QString>
#include <QVariant>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/DateValue.h"
#include "db/Error.h"
#include "dbf/DbfCursor.h"
#include "dbf/DbfFieldDef.h"

namespace svod::dbf {

class DbfFile;
class MemoFile;
struct RecordView;

// A stored date that is no calendar date ("'0.0' is not a valid timestamp"); the row's other
// fields stay readable.
class InvalidDateError : public Error {
public:
    using Error::Error;
};

// One field of an open table; its values refer to the table's current record.
class DbfField {
public:
    DbfField(const DbfFieldDef* def, const RecordView* record) : definition_(def), record_(record) {}

    const QString& name() const { return definition_->name; }
    FieldKind kind() const { return definition_->kind; }
    int size() const { return definition_->keptLength; }
    int decimals() const { return definition_->decimals; }
    bool readOnly() const { return definition_->kind == FieldKind::AutoInc; }
    const DbfFieldDef& def() const { return *definition_; }

    bool isNull() const;
    // The reader's text form: cp866 text decoded, numbers with ",", dates "dd.MM.yyyy",
    // booleans "True"/"False"; NULL gives the empty text.
    QString asText() const;
    // Typed value or a NULL QVariant, for copying into a server column.
    QVariant asValue() const;
    // Day 0 (30.12.1899) when NULL.
    svod::DateValue asDate() const;
    // Numbers without a QVariant; 0 when NULL.
    qint64 asInt64() const;
    double asDouble() const;
    // Stored bytes of a memo, binary or graphic field, or of a FoxPro Q field.
    QByteArray memoBytes() const;

private:
    const QString& cachedText(std::string_view bytes) const;
    // A memo's bytes; a damaged memo fails naming the table and the field.
    QByteArray readMemo(qint64 block) const;

    const DbfFieldDef* definition_;
    const RecordView* record_;
    // The last text decoded: codes and identifiers repeat row after row, so most rows reuse
    // the shared string instead of allocating one.
    mutable std::string cacheBytes_;
    mutable QString cacheText_;
};

// Reads one DBF table by directory and name, walking its live rows in file order.
// Opening is always read-only and shared; nothing is ever written to the files.
class DbfTable {
public:
    enum class OpenMode { Normal, AutoCreate };

    DbfTable();
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    // Settings; they may change only while the table is closed.
    void setOpenMode(OpenMode mode);
    void setShowDeleted(bool show);
    void setReadOnly(bool readOnly);
    void setFilePath(const QString& dir);
    void setTableName(const QString& name);
    OpenMode openMode() const { return openMode_; }
    bool showDeleted() const { return showDeleted_; }
    bool readOnly() const { return readOnly_; }
    const QString& filePath() const { return filePath_; }
    const QString& tableName() const { return tableName_; }
    // The full name of the table file that open() reads (after the case-insensitive lookup).
    QString fileName() const;

    void open();
    void close();
    bool active() const;
    bool isEmpty() const;

    void first();
    void next();
    bool eof() const;

    // Records in the file, deleted ones included.
    qint64 recordCount() const;
    // The size the header promises: header length + its record count × record length (the end
    // mark is optional); a file shorter than that is still being written or was cut off.
    qint64 promisedSize() const;
    // The size of the open file, taken when it was opened.
    qint64 fileSize() const;
    // Physical number (from 1) of the current record; 0 when there is none.
    qint64 recNo() const;
    // The current record is marked deleted (only visible with show deleted on).
    bool isDeleted() const;

    int fieldCount() const;
    const DbfField& field(int index) const;
    const DbfField* findField(const QString& name) const;
    const DbfField& fieldByName(const QString& name) const;

    // The version byte of the open file.
    int version() const;
    // How the open file was read where it does not say outright (a missing _NullFlags).
    QStringList warnings() const;

private:
    void requireClosed() const;

    OpenMode openMode_ = OpenMode::AutoCreate;
    bool showDeleted_ = false;
    bool readOnly_ = false;
    QString filePath_;
    QString tableName_;

    std::unique_ptr<DbfFile> file_;
    std::unique_ptr<MemoFile> memo_;
    std::unique_ptr<RecordView> record_;
    std::vector<DbfField> fields_;
    DbfCursor cursor_;
    qint64 firstLive_ = 0;
    bool active_ = false;
};

} // namespace svod::dbf
