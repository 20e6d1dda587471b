#include "dbf/DbfCursor.h"

#include "dbf/DbfFile.h"

namespace svod::dbf {

void DbfCursor::reset(DbfFile* file, bool showDeleted) {
    file_ = file;
    showDeleted_ = showDeleted;
    position_ = current_ = 0;
    eof_ = true;
    data_ = nullptr;
    keptRecord_.clear();
}

bool DbfCursor::first() {
    current_ = 0;
    data_ = nullptr;
    return seek(1);
}

bool DbfCursor::next() {
    if (eof_)
        return false;
    return seek(position_ + 1);
}

bool DbfCursor::seek(qint64 from) {
    const qint64 count = file_ ? file_->recordCount() : 0;
    for (qint64 position = from; position <= count; ++position) {
        const char* data = file_->record(position);
        if (showDeleted_ || data[0] == ' ') {
            position_ = current_ = position;
            data_ = data;
            eof_ = false;
            return true;
        }
    }
    position_ = count + 1;
    eof_ = true;
    // The last shown record stays current, as in any dataset; its bytes may have left the
    // read-ahead buffer, so keep a copy of them.
    if (current_ > 0) {
        keptRecord_ = file_->recordCopy(current_);
        data_ = keptRecord_.constData();
    }
    return false;
}

} // namespace svod::dbf
