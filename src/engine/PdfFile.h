#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>

namespace svod::engine {

// A PDF file: objects written as they are ready, the cross-reference table at the end. Streams are
// compressed and written by a second thread while the caller draws the next page; the bytes are the
// same as written one after another. Throws svod::Error when the file cannot be written; a file
// not finished is removed.
class PdfFile {
public:
    explicit PdfFile(const QString& path);
    ~PdfFile();
    PdfFile(const PdfFile&) = delete;
    PdfFile& operator=(const PdfFile&) = delete;

    // The number of a new object, written later.
    int reserve();
    void object(int number, QByteArray body);
    void stream(int number, QByteArray dict, QByteArrayView data, bool compress);
    // Takes the drawing and leaves an empty buffer in its place, with room from earlier pages.
    void stream(int number, QByteArray dict, std::string& data, bool compress);
    void finish(int root, int info);

private:
    class Writer;
    std::unique_ptr<Writer> writer_;
    int reserved_ = 0;
};

} // namespace svod::engine
