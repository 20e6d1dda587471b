#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "dbf/DbfFieldDef.h"
#include "dbf/MemoFile.h"
#include "dbf/PagedFile.h"

namespace svod::dbf {

// The layout a version byte selects.
struct DbfLayout {
    int level = 3;
    bool foxPro = false; // 0x30-0x32, 0xF5: 32-byte descriptors up to 0x0D, .fpt memo
    int headerPart = 32; // bytes before the first descriptor
    int descriptorLength = 32;
    MemoFile::Format memoFormat = MemoFile::Format::Long;
};
DbfLayout layoutForVersion(unsigned char version);

// Builds one descriptor's definition: kind, kept length, encoding. Fails with
// "Field '%s' is of an unknown type" and on lengths a binary type cannot hold.
DbfFieldDef makeFieldDef(const QString& name, char typeLetter, int length, int decimals,
                         const DbfLayout& layout, unsigned char foxFlags = 0);

// A DBF table file: version, layout, field list, record reading.
class DbfFile {
public:
    // A table without fields or records (a 0-byte file, or a missing one in auto-create mode).
    DbfFile() = default;
    explicit DbfFile(std::unique_ptr<PagedFile> file);

    unsigned char version() const { return version_; }
    const DbfLayout& layout() const { return layout_; }
    const std::vector<DbfFieldDef>& fields() const { return fields_; }
    qint64 headerLength() const { return headerLength_; }
    qint64 recordLength() const { return recordLength_; }
    qint64 recordCount() const { return recordCount_; }
    // The record count the header promises (not used for reading: the file size wins).
    qint64 headerRecordCount() const { return headerRecordCount_; }
    qint64 fileSize() const { return file_ ? file_->fileSize() : 0; }
    bool hasMemoFields() const;
    // What was read in a way the file does not say outright (a missing _NullFlags).
    const QStringList& warnings() const { return warnings_; }
    // FoxPro: offset of the _NullFlags bytes in a record, 0 when the table has none.
    int nullFlagsOffset() const { return nullFlagsOffset_; }
    // ".dbt" or ".fpt".
    QString memoExtension() const { return layout_.foxPro ? QStringLiteral(".fpt") : QStringLiteral(".dbt"); }

    // Record n (from 1); valid until the next read.
    const char* record(qint64 n);
    // A private copy of record n, for keeping it past later reads.
    QByteArray recordCopy(qint64 n);

private:
    void readDescriptors();

    std::unique_ptr<PagedFile> file_;
    unsigned char version_ = 0;
    DbfLayout layout_;
    std::vector<DbfFieldDef> fields_;
    qint64 headerLength_ = 0;
    qint64 recordLength_ = 0;
    qint64 recordCount_ = 0;
    qint64 headerRecordCount_ = 0;
    int nullFlagsOffset_ = 0;
    int nullFlagsField_ = -1;
    QStringList warnings_;
};

// What the fields of a table read from: the current record and the memo file.
struct RecordView {
    const char* data = nullptr; // nullptr: no current record, every field is NULL
    MemoFile* memo = nullptr;
    int currentYear = 2000;  // for the century window of two-digit years
    int nullFlagsOffset = 0; // FoxPro _NullFlags in the record, 0 when absent
    QString tableName;       // for messages
};

} // namespace svod::dbf
