// Archiving accepted packet files never loses a file.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "db/Error.h"
#include "reception/PacketFiles.h"
#include "support/RecordingInteraction.h"

using namespace svod;

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ArchiveTest, MovesBothFilesAndOverwritesOlderCopies) {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("A0105X.DBF")), "new A");
    writeFile(dir.filePath(QStringLiteral("B0105X.DBF")), QByteArray(3 << 20, 'b'));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("RECEIVED")));
    writeFile(dir.filePath(QStringLiteral("RECEIVED/A0105X.DBF")), "old A, longer than the new one");
    test::RecordingInteraction ui;
    EXPECT_EQ(reception::MoveFilesToRECIVED(ui, dir.path(), dir.filePath(QStringLiteral("A0105X.DBF")),
                                            dir.filePath(QStringLiteral("B0105X.DBF"))),
              QString());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("A0105X.DBF"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("B0105X.DBF"))));
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("RECEIVED/A0105X.DBF"))), QByteArray("new A"));
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("RECEIVED/B0105X.DBF"))).size(), 3 << 20);
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("RECEIVED"))).entryList(QDir::Files).size(),
              2); // no leftovers
    EXPECT_EQ(ui.texts(QStringLiteral("status")),
              QStringList({QStringLiteral("Подождите, идет перенос принятых файлов ..."), QStringLiteral(" "),
                           QString()}));
}

TEST(ArchiveTest, OneFileOfAnInflationPacket) {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("I0105X.DBF")), "i");
    test::RecordingInteraction ui;
    reception::MoveFilesToRECIVED(ui, dir.path(), dir.filePath(QStringLiteral("I0105X.DBF")), QString());
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("RECEIVED/I0105X.DBF"))), QByteArray("i"));
}

TEST(ArchiveTest, FailingCopyKeepsTheSourceAndLeavesNoPartialTarget) {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("A0105X.DBF")), "payload");
    const QString archive = dir.filePath(QStringLiteral("RECEIVED"));
    // A non-empty directory under the target name: no copy can land there, whatever the rights.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("RECEIVED/A0105X.DBF/keep")));
    EXPECT_THROW(reception::filemove(dir.filePath(QStringLiteral("A0105X.DBF")), archive), Error);
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("A0105X.DBF"))), QByteArray("payload"));
    EXPECT_TRUE(QDir(archive).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(ArchiveTest, UncreatableArchiveDirectoryIsReportedAndNothingMoves) {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("A0105X.DBF")), "a");
    // A file where the directory should be.
    writeFile(dir.filePath(QStringLiteral("RECEIVED")), "not a directory");
    test::RecordingInteraction ui;
    const QString warning =
        reception::MoveFilesToRECIVED(ui, dir.path(), dir.filePath(QStringLiteral("A0105X.DBF")), QString());
    EXPECT_TRUE(
        warning.contains(QStringLiteral("Не удается создать каталог для сохранения принятых файлов ") +
                         dir.filePath(QStringLiteral("RECEIVED"))))
        << warning.toStdString();
    EXPECT_TRUE(ui.texts(QStringLiteral("error")).isEmpty());
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("A0105X.DBF"))));
    EXPECT_EQ(ui.status(), QString());
}

} // namespace
