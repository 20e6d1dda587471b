#pragma once

#include <QByteArray>
#include <memory>

#include "dbf/PagedFile.h"

namespace svod::dbf {

// The memo file of a table: a paged file whose blocks are memo blocks.
class MemoFile {
public:
    enum class Format {
        Short,  // dBase III .dbt: text runs until a NUL or 1A 1A
        Long,   // dBase IV and later .dbt: FF FF 08 00 + length
        FoxPro, // .fpt: block size big-endian at 6; type and length big-endian per memo
    };

    // file may be null: a memo file that does not exist reads every memo as empty.
    MemoFile(std::unique_ptr<PagedFile> file, Format format);

    Format format() const { return format_; }
    qint64 blockLength() const { return blockLength_; }
    // The stored bytes of the memo that starts at block n; empty for block 0 or none.
    // A block outside the file, or a memo running past its end, fails with a clear message.
    QByteArray read(qint64 block);

private:
    QByteArray readShort(qint64 start);
    QByteArray readSized(qint64 start, qint64 length, qint64 block);

    std::unique_ptr<PagedFile> file_;
    Format format_;
    qint64 blockLength_ = 512;
};

} // namespace svod::dbf
