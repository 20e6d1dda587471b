// svod-cli dbf: a table as CSV.
#include <QDir>
#include <cstdio>

#include "DbfTestUtil.h"
#include "cli/CliContext.h"
#include "cli/DbfCommand.h"

namespace svod::dbf::test {
namespace {

class DbfCommandTest : public DbfTest {
protected:
    // Runs the command and returns what it printed.
    QString run(const QStringList& args) {
        std::FILE* file = std::tmpfile();
        cli::CliOutput out(false, file);
        cli::CliContext context{{}, {}, {}, false, out};
        cli::dbfCommand(context, args);
        std::fflush(file);
        std::rewind(file);
        QByteArray bytes;
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
            bytes.append(chunk, qsizetype(n));
        std::fclose(file);
        return QString::fromUtf8(bytes);
    }
};

TEST_F(DbfCommandTest, PrintsHeaderAndLiveRowsAsText) {
    write("B0105.dbf", 0x03,
          {{"kod_f", 'C', 2}, {"NAME", 'C', 12}, {"DD", 'D', 8}, {"SALDO", 'N', 10, 2}, {"OK", 'L', 1}},
          {{"01", QStringLiteral("Дом; сад"), QDate(2005, 1, 31), 12.5, true},
           {"02", "gone", QVariant(), 1.0, false},
           {"03", QStringLiteral("\"Кот\""), QVariant(), QVariant(), QVariant()}},
          {false, true, false});
    EXPECT_EQ(run({path("B0105.dbf")}), QStringLiteral("KOD_F;NAME;DD;SALDO;OK\n"
                                                       "01;\"Дом; сад\";31.01.2005;12,5;True\n"
                                                       "03;\"\"\"Кот\"\"\";;;\n"));
}

TEST_F(DbfCommandTest, LongTablesLoseNoRow) {
    QList<QVariantList> rows;
    for (int i = 0; i < 2001; ++i)
        rows << QVariantList{i};
    write("T.dbf", 0x03, {{"N", 'N', 6}}, rows);
    const QStringList lines = run({path("T.dbf")}).split(u'\n');
    ASSERT_EQ(lines.size(), 2003); // header, 2001 rows, empty after the last newline
    EXPECT_EQ(lines[1000], "999");
    EXPECT_EQ(lines[1001], "1000");
    EXPECT_EQ(lines[2001], "2000");
    EXPECT_EQ(lines[2002], "");
}

TEST_F(DbfCommandTest, ErrorsAndWrongArguments) {
    EXPECT_THROW(run({}), cli::UsageError);
    EXPECT_THROW(run({"a.dbf", "b.dbf"}), cli::UsageError);
    EXPECT_EQ(errorOf([&] { run({path("none.dbf")}); }),
              "Open: Table file not found : " + QDir::toNativeSeparators(path("none.dbf")).toUpper());
}

} // namespace
} // namespace svod::dbf::test
