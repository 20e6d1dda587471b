#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "db/AppConfig.h"
#include "db/Error.h"
#include "db/ErrorExplanations.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::db;

TEST(ErrorExplanations, EverydayErrorsOfEachServer) {
    struct Case {
        const char* text;
        const char* code;
        ErrorKind kind;
    };
    const Case cases[] = {
        {"UNIQUE constraint failed: FILIALS.KOD", "19", ErrorKind::DuplicateKey},
        {"duplicate key value violates unique constraint \"filials_pkey\"", "23505", ErrorKind::DuplicateKey},
        {"Cannot insert duplicate key row in object 'dbo.FILIALS' with unique index 'IX'.", "2601",
         ErrorKind::DuplicateKey},
        {"Violation of PRIMARY KEY constraint 'PK_FILIALS'.", "2627", ErrorKind::DuplicateKey},
        {"database is locked", "5", ErrorKind::Locked},
        {"canceling statement due to lock timeout", "55P03", ErrorKind::Locked},
        {"Lock request time out period exceeded.", "1222", ErrorKind::Locked},
        {"database or disk is full", "13", ErrorKind::DiskFull},
        {"could not extend file \"base/16384/16385\": No space left on device", "53100", ErrorKind::DiskFull},
        {"Could not allocate space for object 'dbo.INV_OST' in database 'svod'.", "1105",
         ErrorKind::DiskFull},
        {"no such table: NO_SUCH_TABLE", "1", ErrorKind::Other},
        {"NOT NULL constraint failed: FILIALS.KOD", "19", ErrorKind::Other},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classifyDatabaseError(QString::fromUtf8(c.text), QString::fromLatin1(c.code)), c.kind)
            << c.text;
}

TEST(ErrorExplanations, SentenceThenTheServersText) {
    const QString server = QStringLiteral("database is locked");
    const QString shown = explainDatabaseError(server, QStringLiteral("5"));
    EXPECT_TRUE(
        shown.startsWith(QStringLiteral("База данных занята другой программой или другим пользователем. "
                                        "Подождите немного и повторите действие.\n")))
        << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(u'\n' + server));
    // Anything else is the server's text untouched.
    EXPECT_EQ(explainDatabaseError(QStringLiteral("syntax error"), QStringLiteral("1")),
              QStringLiteral("syntax error"));
}

class ErrorExplanationsBackendTest : public ::testing::TestWithParam<Backend> {};

TEST_P(ErrorExplanationsBackendTest, DuplicateKeyFromTheServer) {
    SVOD_REQUIRE_BACKEND(GetParam());
    test::TestDatabase db(GetParam());
    Connection& c = db.connection();
    c.execute(QStringLiteral("create table T_DUP (KOD varchar(2) primary key)"));
    c.execute(QStringLiteral("insert into T_DUP values ('01')"));
    try {
        c.execute(QStringLiteral("insert into T_DUP values ('01')"));
        FAIL() << "a second row with the same key was accepted";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Такая запись уже есть в базе данных")))
            << e.what();
        // The server's own words follow on the next line.
        EXPECT_GE(e.message().indexOf(u'\n'), 0) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("T_DUP"), Qt::CaseInsensitive) ||
                    e.message().contains(QStringLiteral("duplicate"), Qt::CaseInsensitive))
            << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ErrorExplanationsBackendTest,
                         ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });

TEST(ConfigurationFile, BesideTheExecutableOrInTheUsersFolder) {
    QTemporaryDir dir;
    const QString user = dir.filePath(QStringLiteral("config"));
    // A writable folder of a program run from where it was built or unpacked.
    const QString portable = dir.filePath(QStringLiteral("portable"));
    ASSERT_TRUE(QDir().mkpath(portable));
    EXPECT_EQ(iniPathFor(portable, user), portable + QStringLiteral("/pr_vt.ini"));
    // An installed program (its data in ../share/svod) keeps the file in the user's folder...
    const QString bin = dir.filePath(QStringLiteral("usr/bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("usr/share/svod/help"))));
    EXPECT_EQ(iniPathFor(bin, user), user + QStringLiteral("/svod/pr_vt.ini"));
    // ...unless a writable file was put beside it.
    QFile beside(bin + QStringLiteral("/pr_vt.ini"));
    ASSERT_TRUE(beside.open(QIODevice::WriteOnly));
    beside.close();
    EXPECT_EQ(iniPathFor(bin, user), bin + QStringLiteral("/pr_vt.ini"));
    // A folder that cannot be written to.
    EXPECT_EQ(iniPathFor(QStringLiteral("/nonexistent/bin"), user), user + QStringLiteral("/svod/pr_vt.ini"));
}

TEST(ConfigurationFile, InDirWrittenIntoAFolderNotYetMade) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("config/svod/pr_vt.ini"));
    writeInDir(ini, QStringLiteral("/data/packets"));
    EXPECT_EQ(readAppConfig(ini).inDir, QStringLiteral("/data/packets"));
}
