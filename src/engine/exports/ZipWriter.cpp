#include "engine/exports/ZipWriter.h"

#include <QtEndian>

#include "db/Error.h"

namespace svod::engine::exports {

namespace {

constexpr int OutChunk = 1 << 18;

void append16(QByteArray& b, quint16 v) {
    const quint16 le = qToLittleEndian(v);
    b.append(reinterpret_cast<const char*>(&le), 2);
}

void append32(QByteArray& b, quint32 v) {
    const quint32 le = qToLittleEndian(v);
    b.append(reinterpret_cast<const char*>(&le), 4);
}

// A fixed time stamp (1.1.2000): the same report gives the same bytes.
constexpr quint16 DosTime = 0, DosDate = (20 << 9) | (1 << 5) | 1;

QByteArray localHeader(const QByteArray& name, quint32 crc, quint32 compressed, quint32 size) {
    QByteArray h;
    append32(h, 0x04034b50);
    append16(h, 20);      // version needed
    append16(h, 1 << 11); // names in UTF-8
    append16(h, Z_DEFLATED);
    append16(h, DosTime);
    append16(h, DosDate);
    append32(h, crc);
    append32(h, compressed);
    append32(h, size);
    append16(h, quint16(name.size()));
    append16(h, 0);
    return h + name;
}

} // namespace

ZipWriter::ZipWriter(QIODevice& device, int level) : device_(device), level_(level) {
    out_.resize(OutChunk);
}

ZipWriter::~ZipWriter() {
    if (open_)
        deflateEnd(&zs_);
}

void ZipWriter::put(const char* data, qint64 size) {
    if (device_.write(data, size) != size)
        throw Error(QStringLiteral("Не удалось записать файл: ") + device_.errorString());
}

void ZipWriter::beginEntry(const QByteArray& name) {
    Entry e;
    e.name = name;
    e.offset = quint32(device_.pos());
    entries_ << e;
    const QByteArray header = localHeader(name, 0, 0, 0); // sizes follow once known
    put(header.constData(), header.size());
    zs_ = z_stream{};
    if (deflateInit2(&zs_, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw Error(QStringLiteral("Не удалось начать сжатие файла"));
    open_ = true;
}

void ZipWriter::deflateInput(int flush) {
    do {
        zs_.next_out = reinterpret_cast<Bytef*>(out_.data());
        zs_.avail_out = uInt(out_.size());
        deflate(&zs_, flush);
        const qint64 produced = out_.size() - zs_.avail_out;
        put(out_.constData(), produced);
        entries_.last().compressed += quint32(produced);
    } while (zs_.avail_out == 0);
}

void ZipWriter::write(std::string_view data) {
    Entry& e = entries_.last();
    e.crc = quint32(crc32_z(e.crc, reinterpret_cast<const Bytef*>(data.data()), data.size()));
    e.size += quint32(data.size());
    zs_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs_.avail_in = uInt(data.size());
    deflateInput(Z_NO_FLUSH);
}

void ZipWriter::endEntry() {
    zs_.next_in = nullptr;
    zs_.avail_in = 0;
    deflateInput(Z_FINISH);
    deflateEnd(&zs_);
    open_ = false;
    const Entry& e = entries_.last();
    const qint64 end = device_.pos();
    device_.seek(e.offset);
    const QByteArray header = localHeader(e.name, e.crc, e.compressed, e.size);
    put(header.constData(), header.size());
    device_.seek(end);
}

void ZipWriter::finish() {
    const quint32 start = quint32(device_.pos());
    QByteArray dir;
    for (const Entry& e : entries_) {
        append32(dir, 0x02014b50);
        append16(dir, 20); // made by
        append16(dir, 20);
        append16(dir, 1 << 11);
        append16(dir, Z_DEFLATED);
        append16(dir, DosTime);
        append16(dir, DosDate);
        append32(dir, e.crc);
        append32(dir, e.compressed);
        append32(dir, e.size);
        append16(dir, quint16(e.name.size()));
        append16(dir, 0); // extra
        append16(dir, 0); // comment
        append16(dir, 0); // disk
        append16(dir, 0); // internal attributes
        append32(dir, 0); // external attributes
        append32(dir, e.offset);
        dir += e.name;
    }
    append32(dir, 0x06054b50);
    append16(dir, 0);
    append16(dir, 0);
    append16(dir, quint16(entries_.size()));
    append16(dir, quint16(entries_.size()));
    append32(dir, quint32(dir.size() - 0)); // patched below
    append32(dir, start);
    append16(dir, 0);
    const quint32 dirSize = quint32(dir.size() - 22);
    const quint32 le = qToLittleEndian(dirSize);
    memcpy(dir.data() + dir.size() - 10, &le, 4);
    put(dir.constData(), dir.size());
}

} // namespace svod::engine::exports
