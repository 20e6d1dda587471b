#pragma once

#include <QIODevice>
#include <QString>
#include <memory>
#include <vector>

namespace svod::dbf {

// A file of fixed-size blocks behind a header. Blocks are read ahead in large chunks, so a
// sequential walk costs one system call per chunk, not one per block.
class PagedFile {
public:
    // Opens the file read-only and shared; fails with "Cannot open file "%s". %s".
    static std::unique_ptr<PagedFile> openFile(const QString& path);
    // Over any open device (tests and fuzzing read from memory).
    PagedFile(std::unique_ptr<QIODevice> device, QString name);

    const QString& name() const { return name_; }
    // Taken once when opened: another program may append while we read.
    qint64 fileSize() const { return size_; }

    void setLayout(qint64 headerLength, qint64 blockLength);
    qint64 headerLength() const { return headerLength_; }
    qint64 blockLength() const { return blockLength_; }
    // Whole blocks after the header; trailing bytes shorter than a block do not count.
    qint64 blockCount() const;

    // Block n (from 0); the pointer stays valid until the next call that reads.
    const char* block(qint64 n);
    // Reads up to size bytes at offset; bytes past the end of the file read as 0.
    void readAt(qint64 offset, char* dest, qint64 size);
    QByteArray readAt(qint64 offset, qint64 size);

private:
    void fill(qint64 first);

    std::unique_ptr<QIODevice> device_;
    QString name_;
    qint64 size_ = 0;
    qint64 headerLength_ = 0;
    qint64 blockLength_ = 1;
    std::vector<char> buffer_;
    qint64 bufferFirst_ = 0;
    qint64 bufferBlocks_ = 0;
};

} // namespace svod::dbf
