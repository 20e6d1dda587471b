#include "engine/PdfFile.h"

#include <QSaveFile>
#include <algorithm>
#include <charconv>
#include <libdeflate.h>
#include <mutex>
#include <vector>

#include "db/Error.h"
#include "engine/SerialWorker.h"

namespace svod::engine {

namespace {

void appendInt(QByteArray& out, qint64 v) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr - buf);
}

// Compresses stream after stream with one compressor: setting one up for every page costs more
// than compressing the page. libdeflate at its fastest level takes about half zlib's time.
class Deflater {
public:
    Deflater() : compressor_(libdeflate_alloc_compressor(1)) {
        if (!compressor_)
            throw Error(QStringLiteral("Не удалось сжать страницу PDF"));
    }
    ~Deflater() { libdeflate_free_compressor(compressor_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    void compress(QByteArrayView data, QByteArray& out) {
        out.resize(qsizetype(libdeflate_zlib_compress_bound(compressor_, size_t(data.size()))));
        const size_t written = libdeflate_zlib_compress(compressor_, data.constData(), size_t(data.size()),
                                                        out.data(), size_t(out.size()));
        if (written == 0)
            throw Error(QStringLiteral("Не удалось сжать страницу PDF"));
        out.truncate(qsizetype(written));
    }

private:
    libdeflate_compressor* compressor_;
};

// An object to write: its dictionary (a plain object's whole body) and a stream's data.
struct Piece {
    int number = 0;
    QByteArray dict;
    std::string data;
    bool isStream = false, compress = false;
};

// The bytes of the file in order: objects at their offsets, the cross-reference table at the end.
class Output {
public:
    explicit Output(const QString& path) : file_(path), path_(path) {
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw Error(QStringLiteral("Не удалось создать файл ") + path + QStringLiteral(": ") +
                        file_.errorString());
        buffer_.reserve(2 * BufferBytes);
        buffer_ += "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
    }
    ~Output() {
        if (!committed_)
            file_.cancelWriting();
    }

    void write(const Piece& piece) {
        if (!piece.isStream) {
            begin(piece.number);
            buffer_ += piece.dict;
            buffer_ += "\nendobj\n";
            flushIfLarge();
            return;
        }
        const QByteArrayView data(piece.data.data(), qsizetype(piece.data.size()));
        if (piece.compress)
            deflater_.compress(data, compressed_);
        const QByteArrayView bytes = piece.compress ? QByteArrayView(compressed_) : data;
        begin(piece.number);
        buffer_ += "<< ";
        buffer_ += piece.dict;
        if (piece.compress)
            buffer_ += " /Filter /FlateDecode";
        buffer_ += " /Length ";
        appendInt(buffer_, bytes.size());
        buffer_ += " >>\nstream\n";
        buffer_.append(bytes);
        buffer_ += "\nendstream\nendobj\n";
        flushIfLarge();
    }

    void finish(int root, int info, int objects) {
        offsets_.resize(size_t(objects), -1);
        const qint64 xref = written_ + buffer_.size();
        buffer_ += "xref\n0 ";
        appendInt(buffer_, qint64(offsets_.size()) + 1);
        buffer_ += "\n0000000000 65535 f \n";
        for (qint64 offset : offsets_)
            buffer_ +=
                QByteArray::number(std::max<qint64>(offset, 0)).rightJustified(10, '0') + " 00000 n \n";
        buffer_ += "trailer\n<< /Size ";
        appendInt(buffer_, qint64(offsets_.size()) + 1);
        buffer_ += " /Root " + QByteArray::number(root) + " 0 R /Info " + QByteArray::number(info) +
                   " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
        flush();
        if (!file_.commit())
            throw Error(QStringLiteral("Не удалось записать файл ") + path_ + QStringLiteral(": ") +
                        file_.errorString());
        committed_ = true;
    }

private:
    // Written in pieces of this size: a larger buffer costs more in memory faults than the calls save.
    static constexpr qsizetype BufferBytes = 64 * 1024;

    void begin(int number) {
        if (size_t(number) > offsets_.size())
            offsets_.resize(size_t(number), -1);
        offsets_[size_t(number) - 1] = written_ + buffer_.size();
        appendInt(buffer_, number);
        buffer_ += " 0 obj\n";
    }
    void flushIfLarge() {
        if (buffer_.size() >= BufferBytes)
            flush();
    }
    void flush() {
        // Written from the bytes, not the array: Qt would keep a reference to the array, and the
        // next megabyte would then be allocated and faulted in anew.
        if (file_.write(buffer_.constData(), buffer_.size()) != buffer_.size())
            throw Error(QStringLiteral("Не удалось записать файл ") + path_ + QStringLiteral(": ") +
                        file_.errorString());
        written_ += buffer_.size();
        buffer_.resize(0); // keeps the capacity
    }

    QSaveFile file_;
    QString path_;
    QByteArray buffer_;
    Deflater deflater_;
    QByteArray compressed_;
    qint64 written_ = 0;
    std::vector<qint64> offsets_;
    bool committed_ = false;
};

} // namespace

// Hands the pieces to a thread of its own in batches of a few pages: a thread woken for every page
// costs more than compressing it. At most two batches wait, so the memory a document takes does not
// depend on its length.
class PdfFile::Writer {
public:
    explicit Writer(const QString& path) : output_(path) {}

    // Queued with the pieces before it; a failure of the thread is thrown here.
    void push(Piece piece) {
        batchBytes_ += piece.data.size() + size_t(piece.dict.size());
        batch_.push_back(std::move(piece));
        if (batchBytes_ >= BatchBytes)
            handOver();
    }

    std::string spare() { return spare_.take(); }

    void finish(int root, int info, int objects) {
        handOver();
        worker_.finish();
        output_.finish(root, info, objects);
    }

private:
    using Batch = std::vector<Piece>;
    static constexpr size_t BatchBytes = 128 * 1024;

    void handOver() {
        Batch batch;
        batch.swap(batch_);
        batchBytes_ = 0;
        worker_.push(std::move(batch));
    }

    void write(Batch& batch) {
        for (Piece& piece : batch) {
            output_.write(piece);
            spare_.give(piece.data);
        }
    }

    Output output_;
    Batch batch_; // the caller's, not yet handed over
    size_t batchBytes_ = 0;
    SpareBuffers spare_;
    SerialWorker<Batch> worker_{[this](Batch& batch) { write(batch); }, 2}; // last: stops first
};

PdfFile::PdfFile(const QString& path) : writer_(std::make_unique<Writer>(path)) {}

PdfFile::~PdfFile() = default;

int PdfFile::reserve() {
    return ++reserved_;
}

void PdfFile::object(int number, QByteArray body) {
    Piece piece;
    piece.number = number;
    piece.dict = std::move(body);
    writer_->push(std::move(piece));
}

void PdfFile::stream(int number, QByteArray dict, QByteArrayView data, bool compress) {
    Piece piece{number, std::move(dict), writer_->spare(), true, compress};
    piece.data.assign(data.data(), size_t(data.size()));
    writer_->push(std::move(piece));
}

void PdfFile::stream(int number, QByteArray dict, std::string& data, bool compress) {
    Piece piece{number, std::move(dict), writer_->spare(), true, compress};
    piece.data.swap(data);
    writer_->push(std::move(piece));
}

void PdfFile::finish(int root, int info) {
    writer_->finish(root, info, reserved_);
}

} // namespace svod::engine
