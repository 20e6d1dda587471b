#pragma once

#include <QByteArray>

namespace svod::dbf {

class DbfFile;

// The position of a reader in its table file: a physical record number from 0 (before the
// first record) to record count + 1 (after the last), and the record its fields show. Each
// record is read once as the cursor lands on it.
class DbfCursor {
public:
    void reset(DbfFile* file, bool showDeleted);
    // Positions on the first record that shows (live ones, or all with show deleted); false at the end.
    bool first();
    bool next();

    bool eof() const { return eof_; }
    qint64 position() const { return position_; }
    // The record the fields show, from 1; past the end the last one stays current; 0 when none.
    qint64 current() const { return current_; }
    const char* data() const { return data_; }

private:
    bool seek(qint64 from);

    DbfFile* file_ = nullptr;
    bool showDeleted_ = false;
    qint64 position_ = 0;
    qint64 current_ = 0;
    bool eof_ = true;
    const char* data_ = nullptr;
    QByteArray keptRecord_; // the last shown record once the walk went past it
};

} // namespace svod::dbf
