#include "dbf/PagedFile.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstring>

#include "db/Error.h"

namespace svod::dbf {

namespace {
// Large enough that a walk makes few reads, small enough to stay well inside the memory budget.
constexpr qint64 ChunkBytes = 512 * 1024;
} // namespace

std::unique_ptr<PagedFile> PagedFile::openFile(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    // Read-only; Qt opens files shared for reading and writing by others.
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw Error(QStringLiteral("Cannot open file \"%1\". %2")
                        .arg(QDir::toNativeSeparators(path), file->errorString()));
    return std::make_unique<PagedFile>(std::move(file), path);
}

PagedFile::PagedFile(std::unique_ptr<QIODevice> device, QString name)
    : device_(std::move(device)), name_(std::move(name)), size_(device_->size()) {}

void PagedFile::setLayout(qint64 headerLength, qint64 blockLength) {
    headerLength_ = std::max<qint64>(0, headerLength);
    blockLength_ = std::max<qint64>(1, blockLength);
    bufferBlocks_ = 0;
}

qint64 PagedFile::blockCount() const {
    const qint64 rest = size_ - headerLength_;
    return rest <= 0 ? 0 : rest / blockLength_;
}

void PagedFile::readAt(qint64 offset, char* dest, qint64 size) {
    qint64 got = 0;
    if (offset >= 0 && offset < size_ && device_->seek(offset)) {
        while (got < size) {
            const qint64 n = device_->read(dest + got, size - got);
            if (n <= 0)
                break;
            got += n;
        }
    }
    if (got < size)
        std::memset(dest + got, 0, size_t(size - got));
}

QByteArray PagedFile::readAt(qint64 offset, qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    readAt(offset, bytes.data(), size);
    return bytes;
}

void PagedFile::fill(qint64 first) {
    const qint64 wanted = std::max<qint64>(1, ChunkBytes / blockLength_);
    const qint64 count = std::clamp<qint64>(blockCount() - first, 1, wanted);
    buffer_.resize(size_t(count * blockLength_));
    readAt(headerLength_ + first * blockLength_, buffer_.data(), count * blockLength_);
    bufferFirst_ = first;
    bufferBlocks_ = count;
}

const char* PagedFile::block(qint64 n) {
    if (n < bufferFirst_ || n >= bufferFirst_ + bufferBlocks_)
        fill(n);
    return buffer_.data() + (n - bufferFirst_) * blockLength_;
}

} // namespace svod::dbf
