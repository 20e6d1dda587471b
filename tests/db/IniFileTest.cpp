#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "db/AppConfig.h"
#include "db/CodePages.h"
#include "db/IniFile.h"

using namespace svod;

namespace {
void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
QByteArray readBytes(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}
} // namespace

TEST(AppConfig, MissingFileReadsAsEmpty) {
    QTemporaryDir dir;
    const AppConfig config = readAppConfig(dir.filePath(QStringLiteral("pr_vt.ini")));
    EXPECT_TRUE(config.connectionString.isEmpty());
    EXPECT_TRUE(config.inDir.isEmpty());
    EXPECT_TRUE(config.tablesOwnerPrefix().isEmpty());
    EXPECT_TRUE(config.loginPrompt());
}

TEST(AppConfig, KeysAndTheirRules) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pr_vt.ini"));
    writeBytes(path, "[connect]\r\nstring=Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=MSFO\r\n"
                     "[DIRECTLOAD]\r\nTablesOwner=dbo\r\n[setup]\r\ndontlogindialog=1\r\n");
    AppConfig config = readAppConfig(path);
    EXPECT_EQ(config.connectionString,
              QStringLiteral("Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=MSFO"));
    EXPECT_EQ(config.tablesOwnerPrefix(), QStringLiteral("dbo."));
    EXPECT_FALSE(config.loginPrompt());

    for (const char* value : {"0", "", "yes", "1 "}) {
        writeBytes(path, QByteArray("[setup]\r\ndontlogindialog=") + value + "\r\n");
        config = readAppConfig(path);
        // The value is trimmed as Windows does, so "1 " switches the prompt off too.
        EXPECT_EQ(config.loginPrompt(), QByteArray(value).trimmed() != "1") << value;
    }
}

TEST(IniFile, InDirRoundTripKeepsOtherLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pr_vt.ini"));
    const QByteArray original =
        encodeCodePage(QStringLiteral("; настройки\r\n[connect]\r\nstring=x.db\r\n\r\n"
                                      "[PATH]\r\nin_dir=C:\\Старое\r\n\r\n[setup]\r\nfoo=bar\r\n"),
                       CodePage::Cp1251);
    writeBytes(path, original);
    writeInDir(path, QStringLiteral("D:\\Пакеты\\2005"));
    const AppConfig config = readAppConfig(path);
    EXPECT_EQ(config.inDir, QStringLiteral("D:\\Пакеты\\2005"));
    QByteArray expected = original;
    expected.replace(encodeCodePage(QStringLiteral("C:\\Старое"), CodePage::Cp1251),
                     encodeCodePage(QStringLiteral("D:\\Пакеты\\2005"), CodePage::Cp1251));
    EXPECT_EQ(readBytes(path), expected);
}

TEST(IniFile, AddsMissingSectionAndKeepsUtf8) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pr_vt.ini"));
    writeBytes(path, "[connect]\nstring=sqlite:/tmp/база.db\n");
    writeInDir(path, QStringLiteral("/home/бух/in"));
    EXPECT_EQ(
        readBytes(path),
        QStringLiteral("[connect]\nstring=sqlite:/tmp/база.db\n\n[PATH]\nin_dir=/home/бух/in\n").toUtf8());
    EXPECT_EQ(readAppConfig(path).connectionString, QStringLiteral("sqlite:/tmp/база.db"));
}

TEST(IniFile, SectionsAndKeysIgnoreCase) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.ini"));
    writeBytes(path, "[Path]\r\nIN_DIR=c:\\a\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.value(QStringLiteral("PATH"), QStringLiteral("in_dir")), QStringLiteral("c:\\a"));
    ini.setValue(QStringLiteral("PATH"), QStringLiteral("in_dir"), QStringLiteral("c:\\b"));
    ini.save();
    EXPECT_EQ(readBytes(path), QByteArray("[Path]\r\nin_dir=c:\\b\r\n"));
}
