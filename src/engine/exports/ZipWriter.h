#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <string_view>
#include <zlib.h>

namespace svod::engine::exports {

// Writes a zip archive of deflated entries to a seekable device, one entry at a time, each streamed
// through zlib so a large entry never sits whole in memory. Throws svod::Error when the device
// refuses to write.
class ZipWriter {
public:
    explicit ZipWriter(QIODevice& device, int level = Z_DEFAULT_COMPRESSION);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    void beginEntry(const QByteArray& name);
    void write(std::string_view data);
    void endEntry();
    // Writes the central directory; the device then holds the whole archive.
    void finish();

    void addEntry(const QByteArray& name, std::string_view data) {
        beginEntry(name);
        write(data);
        endEntry();
    }

private:
    struct Entry {
        QByteArray name;
        quint32 crc = 0, compressed = 0, size = 0;
        quint32 offset = 0;
    };
    void deflateInput(int flush);
    void put(const char* data, qint64 size);

    QIODevice& device_;
    int level_;
    z_stream zs_{};
    bool open_ = false;
    QList<Entry> entries_;
    QByteArray out_;
};

} // namespace svod::engine::exports
