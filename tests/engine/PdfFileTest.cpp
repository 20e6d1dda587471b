#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <zlib.h>

#include "db/Error.h"
#include "engine/PdfFile.h"

using namespace svod::engine;

namespace {

// A stream's data that compresses poorly, so the file grows past any buffer of the writer.
std::string noise(int seed, size_t size) {
    std::string s(size, '\0');
    quint32 x = quint32(seed) * 2654435761u + 1;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    return s;
}

QByteArray inflate(const QByteArray& packed, size_t size) {
    QByteArray out(qsizetype(size), '\0');
    uLongf length = uLongf(size);
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                   reinterpret_cast<const Bytef*>(packed.constData()), uLong(packed.size())) != Z_OK)
        return {};
    out.truncate(qsizetype(length));
    return out;
}

// The offsets the cross-reference table gives, by object number.
QList<qint64> xrefOffsets(const QByteArray& pdf) {
    const qint64 xref = pdf.mid(pdf.lastIndexOf("startxref\n") + 10).split('\n').first().toLongLong();
    const QList<QByteArray> lines = pdf.mid(xref).split('\n');
    const int count = lines.at(1).split(' ').at(1).toInt();
    QList<qint64> offsets;
    for (int i = 1; i < count; ++i)
        offsets << lines.at(2 + i).left(10).toLongLong();
    return offsets;
}

// The limit on the size of the files this process writes, for the test's length.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN); // a failing write, not a killed process
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace

// Many streams, some larger than the writer's buffers, compressed and written by its thread: every
// object is where the table says, and every stream reads back as it was given.
TEST(PdfFile, ObjectsLandWhereTheTableSaysAndStreamsReadBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.pdf"));
    std::vector<std::string> given;
    {
        PdfFile pdf(path);
        const int root = pdf.reserve(), info = pdf.reserve();
        for (int i = 0; i < 60; ++i) {
            const int number = pdf.reserve();
            std::string data = noise(i, i % 7 == 0 ? 300'000 : 20'000 + size_t(i) * 1000);
            given.push_back(data);
            if (i % 2)
                pdf.stream(number, "/Index " + QByteArray::number(i), data, true);
            else
                pdf.stream(number, "/Index " + QByteArray::number(i),
                           QByteArrayView(data.data(), qsizetype(data.size())), i % 4 == 0);
        }
        pdf.object(info, "<< /Producer (svod) >>");
        pdf.object(root, "<< /Type /Catalog >>");
        pdf.finish(root, info);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    const QList<qint64> offsets = xrefOffsets(pdf);
    ASSERT_EQ(offsets.size(), 62);
    for (int n = 1; n <= 62; ++n)
        EXPECT_TRUE(pdf.mid(offsets[n - 1]).startsWith(QByteArray(QByteArray::number(n) + " 0 obj\n"))) << n;
    for (int i = 0; i < 60; ++i) {
        const QByteArray object = pdf.mid(offsets[i + 2]);
        const qsizetype lengthAt = object.indexOf("/Length ") + 8;
        const qsizetype length = object.mid(lengthAt, 12).split(' ').first().toLongLong();
        const QByteArray bytes = object.mid(object.indexOf("stream\n") + 7, length);
        const bool compressed = i % 2 || i % 4 == 0;
        EXPECT_EQ(object.left(object.indexOf("stream\n")).contains("/Filter /FlateDecode"), compressed) << i;
        const QByteArray data = compressed ? inflate(bytes, given[size_t(i)].size()) : bytes;
        EXPECT_EQ(data.toStdString(), given[size_t(i)]) << i;
        EXPECT_TRUE(object.mid(7 + length + object.indexOf("stream\n")).startsWith("\nendstream\nendobj\n"))
            << i;
    }
}

// A file that cannot be written whole (here: larger than the process may write) ends with the
// user's message, whichever thread met the failure, and leaves no file behind.
TEST(PdfFile, AWriteThatFailsIsReportedAndLeavesNoFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.pdf"));
    bool failed = false;
    {
        const FileSizeLimit limit(256 * 1024);
        try {
            PdfFile pdf(path);
            const int root = pdf.reserve(), info = pdf.reserve();
            for (int i = 0; i < 100; ++i) {
                std::string data = noise(i, 50'000);
                pdf.stream(pdf.reserve(), {}, data, true);
            }
            pdf.object(info, "<< >>");
            pdf.object(root, "<< /Type /Catalog >>");
            pdf.finish(root, info);
        } catch (const svod::Error& e) {
            failed = true;
            EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
        }
    }
    EXPECT_TRUE(failed);
    EXPECT_FALSE(QFile::exists(path));
}

// A document given up halfway (the writer found something only the painter draws) leaves no file,
// however much its thread still had queued.
TEST(PdfFile, ADocumentGivenUpLeavesNoFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("half.pdf"));
    {
        PdfFile pdf(path);
        for (int i = 0; i < 40; ++i) {
            std::string data = noise(i, 60'000);
            pdf.stream(pdf.reserve(), {}, data, true);
        }
    }
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}
