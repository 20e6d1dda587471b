// Opening, walking and the text field rules of the table reader.
#include <QDir>
#include <QFileInfo>

#include "DbfTestUtil.h"

namespace svod::dbf::test {
namespace {

class ReaderTest : public DbfTest {};

TEST_F(ReaderTest, ZeroByteFileIsATableWithoutFieldsOrRecords) {
    writeFile("EMPTY.DBF", {});
    auto t = open("EMPTY.DBF");
    EXPECT_TRUE(t->active());
    EXPECT_EQ(t->fieldCount(), 0);
    EXPECT_EQ(t->recordCount(), 0);
    EXPECT_TRUE(t->isEmpty());
    EXPECT_TRUE(t->eof());
    EXPECT_EQ(t->recNo(), 0);
}

TEST_F(ReaderTest, FileSizeDecidesTheRecordCount) {
    {
        DbfWriter w(path("T.DBF"), 0x03, {{"A", 'C', 5}});
        for (int i = 0; i < 3; ++i)
            w.addRow({QString::number(i)});
        w.setHeaderRecordCount(10);
        w.finish(true); // ends in 0x1A
    }
    EXPECT_EQ(open("T.DBF")->recordCount(), 3);

    // A partial record at the end is not a record.
    writeFile("T.DBF", readFile("T.DBF") + "  xx");
    auto t = open("T.DBF");
    EXPECT_EQ(t->recordCount(), 3);
    int rows = 0;
    for (t->first(); !t->eof(); t->next())
        EXPECT_EQ(t->field(0).asText(), QString::number(rows++));
    EXPECT_EQ(rows, 3);
}

TEST_F(ReaderTest, TextFieldsAreStrippedAndBlankIsNull) {
    write("T.DBF", 0x03, {{"A", 'C', 7}, {"B", 'C', 7}},
          {{QByteArray("  ABC  "), QByteArray("       ")},
           {QByteArray("\tAB\0CD "), QByteArray("\x01 x \x1f")}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).asText(), "ABC");
    EXPECT_TRUE(t->field(1).isNull());
    EXPECT_EQ(t->field(1).asText(), "");
    EXPECT_FALSE(t->field(1).asValue().isValid());
    t->next();
    EXPECT_EQ(t->field(0).asText(), "AB");
    EXPECT_EQ(t->field(1).asValue(), QVariant(QStringLiteral("x")));
}

TEST_F(ReaderTest, RepeatedTextFollowsEveryRow) {
    write("T.DBF", 0x03, {{"A", 'C', 4}}, {{"AB"}, {"AB"}, {QStringLiteral("Щ")}, {QVariant()}, {"AB"}});
    auto t = open("T.DBF");
    QStringList seen;
    for (; !t->eof(); t->next())
        seen << t->field(0).asValue().toString() + "|" + t->field(0).asText();
    EXPECT_EQ(seen, QStringList({"AB|AB", "AB|AB", "Щ|Щ", "|", "AB|AB"}));
}

TEST_F(ReaderTest, Cp866TextBecomesUnicode) {
    write("T.DBF", 0x03, {{"NAME", 'C', 20}}, {{QStringLiteral("Ёлка Щётка №5")}});
    auto t = open("T.DBF");
    // The file holds cp866 bytes, not UTF-8.
    EXPECT_TRUE(readFile("T.DBF").contains("\xf0\xab\xaa\xa0"));
    EXPECT_EQ(t->field(0).asText(), QStringLiteral("Ёлка Щётка №5"));
}

TEST_F(ReaderTest, LongTextFieldKeeps254ButRecordOffsetsUseTheStoredLength) {
    write("T.DBF", 0x03, {{"LONG", 'C', 255}, {"AFTER", 'C', 3}},
          {{QByteArray(255, 'x'), QStringLiteral("END")}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).size(), 254);
    EXPECT_EQ(t->field(0).asText(), QString(254, u'x'));
    EXPECT_EQ(t->field(1).asText(), "END");
}

TEST_F(ReaderTest, DeletedRecordsAreSkipped) {
    write("ALL.DBF", 0x03, {{"A", 'C', 2}}, {{"1"}, {"2"}, {"3"}}, {true, true, true});
    auto all = open("ALL.DBF");
    EXPECT_TRUE(all->isEmpty());
    EXPECT_TRUE(all->eof());
    EXPECT_EQ(all->recordCount(), 3);

    write("SOME.DBF", 0x03, {{"A", 'C', 2}}, {{"1"}, {"2"}, {"3"}}, {true, false, true});
    auto some = open("SOME.DBF");
    EXPECT_FALSE(some->isEmpty());
    EXPECT_EQ(some->recNo(), 2);
    EXPECT_EQ(some->field(0).asText(), "2");
    some->next();
    EXPECT_TRUE(some->eof());
    // Past the end the last row stays current, as in any dataset.
    EXPECT_EQ(some->field(0).asText(), "2");

    // Any flag byte but a space marks a deleted record.
    QByteArray bytes = readFile("SOME.DBF");
    DbfWriter probe(path("PROBE.DBF"), 0x03, {{"A", 'C', 2}});
    const qint64 header = probe.headerLength();
    probe.finish();
    bytes[header + 3] = 'X'; // flag of record 2
    writeFile("SOME.DBF", bytes);
    EXPECT_TRUE(open("SOME.DBF")->isEmpty());
}

TEST_F(ReaderTest, ShowDeletedWalksEveryRecord) {
    write("T.DBF", 0x03, {{"A", 'C', 2}}, {{"1"}, {"2"}, {"3"}}, {true, false, true});
    DbfTable t;
    t.setShowDeleted(true);
    t.setTableName(path("T.DBF"));
    t.open();
    QStringList seen;
    for (; !t.eof(); t.next())
        seen << t.field(0).asText() + (t.isDeleted() ? "*" : "");
    EXPECT_EQ(seen, QStringList({"1*", "2", "3*"}));
}

TEST_F(ReaderTest, FieldLookupIgnoresCase) {
    write("T.DBF", 0x03, {{"kod_f", 'c', 2}, {"Id", 'C', 5}}, {{"01", "X"}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).name(), "KOD_F");
    EXPECT_EQ(t->field(0).kind(), FieldKind::Text); // lower-case type letter
    ASSERT_NE(t->findField("kod_f"), nullptr);
    EXPECT_EQ(t->findField("kod_f")->asText(), "01");
    EXPECT_EQ(t->fieldByName("id").name(), "ID");
    EXPECT_EQ(t->findField("NOPE"), nullptr);
    EXPECT_EQ(errorOf([&] { t->fieldByName("nope"); }), "Field 'nope' not found");
}

TEST_F(ReaderTest, TableNameAndDirectoryMatchWithoutRegardToCase) {
    QDir(dir_.path()).mkdir("Packets");
    write("Packets/A000001.dbf", 0x03, {{"KOD_F", 'C', 2}}, {{"07"}});
    DbfTable t;
    t.setOpenMode(DbfTable::OpenMode::Normal);
    t.setFilePath(dir_.path() + "/PACKETS");
    t.setTableName("a000001.DBF");
    t.open();
    EXPECT_EQ(t.field(0).asText(), "07");
    EXPECT_EQ(QFileInfo(t.fileName()).fileName(), "A000001.dbf");

    // A directory given with the table name replaces the file path; the extension is replaced.
    DbfTable u;
    u.setFilePath("/nonexistent");
    u.setTableName(dir_.path() + "/packets/a000001.txt");
    u.open();
    EXPECT_EQ(u.recordCount(), 1);
}

TEST_F(ReaderTest, MissingTableFailsInNormalModeAndReadsEmptyInAutoCreate) {
    const QString expected =
        "Open: Table file not found : " + QDir::toNativeSeparators(path("b0105.dbf")).toUpper();
    EXPECT_EQ(errorOf([&] { open("b0105.dbf"); }), expected);

    auto t = open("b0105.dbf", DbfTable::OpenMode::AutoCreate);
    EXPECT_TRUE(t->active());
    EXPECT_TRUE(t->isEmpty());
    EXPECT_EQ(t->fieldCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(path("b0105.dbf"))); // nothing is written
}

TEST_F(ReaderTest, SettingsChangeOnlyWhileClosed) {
    write("T.DBF", 0x03, {{"A", 'C', 2}}, {{"1"}});
    auto t = open("T.DBF");
    EXPECT_THROW(t->setTableName("X"), Error);
    t->close();
    EXPECT_FALSE(t->active());
    t->close(); // no effect when closed
    t->setTableName("T.DBF");
    t->open();
    EXPECT_EQ(t->field(0).asText(), "1");
}

TEST_F(ReaderTest, OpeningNeverWritesToTheFile) {
    write("T.DBF", 0x8B, {{"A", 'C', 2}, {"M", 'M', 10}}, {{"1", "memo"}});
    const QByteArray before = readFile("T.DBF");
    const QByteArray memoBefore = readFile("T.dbt");
    QFile::setPermissions(path("T.DBF"), QFile::ReadOwner);
    QFile::setPermissions(path("T.dbt"), QFile::ReadOwner);
    {
        DbfTable t;
        t.setReadOnly(false);
        t.setTableName(path("T.DBF"));
        t.open();
        EXPECT_EQ(t.field(1).asText(), "memo");
    }
    EXPECT_EQ(readFile("T.DBF"), before);
    EXPECT_EQ(readFile("T.dbt"), memoBefore);
}

TEST_F(ReaderTest, WalkAcrossReadAheadChunksSeesEveryRecordOnce) {
    // 30-byte records: chunks of 512 KiB do not end on a record boundary of the file.
    const int rows = 60000;
    {
        DbfWriter w(path("BIG.DBF"), 0x03, {{"N", 'N', 9}, {"PAD", 'C', 20}});
        for (int i = 0; i < rows; ++i)
            w.addRow({i, QStringLiteral("row")}, i % 7 == 3);
    }
    auto t = open("BIG.DBF");
    EXPECT_EQ(t->recordCount(), rows);
    qint64 expected = 0;
    int seen = 0;
    for (; !t->eof(); t->next()) {
        if (expected % 7 == 3)
            ++expected;
        ASSERT_EQ(t->field(0).asInt64(), expected);
        ASSERT_EQ(t->recNo(), expected + 1);
        ++expected;
        ++seen;
    }
    EXPECT_EQ(seen, rows - rows / 7 - (rows % 7 > 3 ? 1 : 0));
}

} // namespace
} // namespace svod::dbf::test
