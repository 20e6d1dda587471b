#include "dbf/MemoFile.h"

#include <QDir>

#include "db/Error.h"
#include "dbf/FieldDecoding.h"

namespace svod::dbf {

MemoFile::MemoFile(std::unique_ptr<PagedFile> file, Format format) : file_(std::move(file)), format_(format) {
    if (!file_)
        return;
    char header[32];
    file_->readAt(0, header, sizeof header);
    if (format_ == Format::FoxPro) {
        // Block size 0 means memos packed byte by byte.
        const quint16 size = bigEndian16(header + 6);
        blockLength_ = size == 0 ? 1 : size;
    } else if (format_ == Format::Long) {
        const quint16 size = littleEndian16(header + 20);
        blockLength_ = (size == 0 || size % 128 != 0) ? 512 : size;
    }
    file_->setLayout(0, blockLength_);
}

QByteArray MemoFile::read(qint64 block) {
    if (!file_ || block <= 0)
        return {};
    if (block > (file_->fileSize() - 1) / blockLength_)
        throw Error(QStringLiteral("Блок %1 лежит за пределами memo-файла \"%2\"")
                        .arg(block)
                        .arg(QDir::toNativeSeparators(file_->name())));
    const qint64 start = block * blockLength_;
    if (format_ == Format::Short)
        return readShort(start);
    char head[8];
    file_->readAt(start, head, sizeof head);
    if (format_ == Format::FoxPro)
        return readSized(start + 8, qint64(bigEndian32(head + 4)), block);
    const auto* u = reinterpret_cast<const unsigned char*>(head);
    if (u[0] != 0xFF || u[1] != 0xFF || u[2] != 0x08 || u[3] != 0x00)
        return {};
    return readSized(start + 8, qint64(littleEndian32(head + 4)) - 8, block);
}

QByteArray MemoFile::readSized(qint64 start, qint64 length, qint64 block) {
    if (length <= 0)
        return {};
    if (length > file_->fileSize() - start)
        throw Error(QStringLiteral("Memo в блоке %1 выходит за конец memo-файла \"%2\"")
                        .arg(block)
                        .arg(QDir::toNativeSeparators(file_->name())));
    return file_->readAt(start, length);
}

namespace {
// A dBase III memo runs to its end mark; one without a mark longer than this is no memo text
// but a damaged file, and is not read into memory.
constexpr qint64 MaxUnmarkedMemo = qint64(16) << 20;
} // namespace

QByteArray MemoFile::readShort(qint64 start) {
    // The text ends before a NUL or before a 1A followed by another 1A; a block without an
    // end mark is taken whole. A pair split over two blocks ends the text before its first 1A.
    QByteArray text;
    const qint64 size = blockLength_;
    QByteArray blockBytes(size, Qt::Uninitialized);
    bool previousEndedWith1A = false;
    for (qint64 offset = start; offset < file_->fileSize(); offset += size) {
        file_->readAt(offset, blockBytes.data(), size);
        const qint64 available = std::min(size, file_->fileSize() - offset);
        if (previousEndedWith1A && blockBytes[0] == '\x1A') {
            text.chop(1);
            return text;
        }
        for (qint64 i = 0; i + 1 < size; ++i) {
            const char c = blockBytes[i];
            if (c == '\0' || (c == '\x1A' && blockBytes[i + 1] == '\x1A')) {
                text.append(blockBytes.constData(), std::min(i, available));
                return text;
            }
        }
        text.append(blockBytes.constData(), available);
        if (text.size() > MaxUnmarkedMemo)
            throw Error(QStringLiteral("Memo со смещения %1 не имеет метки конца в пределах %2 байт в \"%3\"")
                            .arg(start)
                            .arg(MaxUnmarkedMemo)
                            .arg(QDir::toNativeSeparators(file_->name())));
        previousEndedWith1A = blockBytes[size - 1] == '\x1A';
    }
    return text;
}

} // namespace svod::dbf
