#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "db/Error.h"
#include "engine/DatasetReport.h"
#include "engine/Exports.h"

using namespace svod::engine;

namespace {

TableData sample() {
    TableData t;
    t.title = QStringLiteral("Протокол; \"проверки\"\r\n ");
    t.columns = {{QStringLiteral("NAME"), QStringLiteral("Наименование"), 20, false},
                 {QStringLiteral("DD"), QStringLiteral("Дата"), 10, false},
                 {QStringLiteral("SALDO"), QStringLiteral("Остаток"), 12, true}};
    for (int i = 0; i < 80; ++i)
        t.rows << QStringList{QStringLiteral("Станок №%1").arg(i), QStringLiteral("31.12.2000"),
                              QStringLiteral("-1234,50")};
    return t;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

class Export : public ::testing::Test {
protected:
    void SetUp() override {
        DatasetReport table;
        pages = table.prepare(sample());
        ASSERT_GE(pages.count(), 2);
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
    PreparedPages pages;
};

} // namespace

TEST_F(Export, CsvRowsWithSemicolonsQuotingAndNoRepeatedHeader) {
    exportPages(pages, path("r.csv"));
    const QStringList lines =
        QString::fromUtf8(readAll(path("r.csv")).mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2 + 1 + 80);
    EXPECT_EQ(lines[0], QStringLiteral("\"Протокол; \"\"проверки\"\"\""));
    EXPECT_EQ(lines[2], QStringLiteral("Наименование;Дата;Остаток"));
    EXPECT_EQ(lines[3], QStringLiteral("Станок №0;31.12.2000;-1234,50"));
    EXPECT_EQ(lines.last(), QStringLiteral("Станок №79;31.12.2000;-1234,50"));
}

TEST_F(Export, CsvStartsWithAByteOrderMarkOrIsWindows1251) {
    exportPages(pages, path("u.csv"));
    const QByteArray utf8 = readAll(path("u.csv"));
    EXPECT_TRUE(utf8.startsWith("\xEF\xBB\xBF\"\xD0\x9F\xD1\x80"))
        << utf8.left(8).toHex().toStdString(); // "Пр
    EXPECT_EQ(utf8.count("\xEF\xBB\xBF"), 1);

    ExportOptions options;
    options.csv.encoding = CsvEncoding::Windows1251;
    exportPages(pages, path("w.csv"), options);
    const QByteArray ansi = readAll(path("w.csv"));
    EXPECT_TRUE(ansi.startsWith("\"\xCF\xF0\xEE\xF2\xEE\xEA\xEE\xEB;")) << ansi.left(8).toHex().toStdString();
    EXPECT_TRUE(ansi.contains("\xD1\xF2\xE0\xED\xEE\xEA \xB9"
                              "79;31.12.2000;-1234,50\r\n")); // "Станок №79"
}

TEST_F(Export, HtmlTableKeepsCyrillicAndEveryRow) {
    exportPages(pages, path("r.html"));
    const QString html = QString::fromUtf8(readAll(path("r.html")));
    EXPECT_TRUE(html.contains(QStringLiteral("<meta charset=\"utf-8\">")));
    EXPECT_EQ(html.count(QStringLiteral("<table")), pages.count());
    EXPECT_EQ(html.count(QStringLiteral(">Станок №")), 80);
    EXPECT_TRUE(html.contains(QStringLiteral("text-align:right;\">-1234,50</td>")));
    EXPECT_TRUE(html.contains(QStringLiteral("Протокол; &quot;проверки&quot;")));
    EXPECT_EQ(html.count(QStringLiteral(">Наименование</td>")), pages.count()); // header on each page
}

TEST_F(Export, RtfControlWordsScaleAndUnicode) {
    exportPages(pages, path("r.rtf"));
    const QByteArray rtf = readAll(path("r.rtf"));
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1251"));
    EXPECT_EQ(rtf.count("\\page\n"), pages.count() - 1);
    EXPECT_EQ(rtf.count("\\row\n"), 2 + 80 + pages.count()); // header row on every page
    EXPECT_TRUE(rtf.contains("\\lndscpsxn"));
    // "Станок" as \uN? escapes.
    EXPECT_TRUE(rtf.contains("\\u1057?\\u1090?\\u1072?\\u1085?\\u1086?\\u1082?"));
    // ScaleX 1.3: the first column's right edge in twips is 1.3 * 20 * its width in points.
    const QRegularExpression cellx(QStringLiteral("\\\\cellx(\\d+)"));
    const auto m =
        cellx.match(QString::fromLatin1(rtf), rtf.indexOf("\\trowd\\trgaph0\\trrh", rtf.indexOf("\\u1053?")));
    ASSERT_TRUE(m.hasMatch());
    double width = 0;
    for (const auto& o : pages.page(0).objects)
        if (o.text == u"Наименование")
            width = o.rect.width();
    EXPECT_NEAR(m.captured(1).toDouble(), width * 20 * 1.3, 1.0);
}

TEST_F(Export, XlsxSheetHasNumbersAndDates) {
    exportPages(pages, path("r.xlsx"));
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
        << "unzip is needed to read the sheet back (scripts/install-deps.sh installs it)";
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
                {QStringLiteral("-p"), path("r.xlsx"), QStringLiteral("xl/worksheets/sheet1.xml")});
    ASSERT_TRUE(unzip.waitForFinished());
    const QString sheet = QString::fromUtf8(unzip.readAllStandardOutput());
    // Row 4 (first body row): inline string, a date serial and a number.
    const QRegularExpression row4(QStringLiteral("<row r=\"4\"[^>]*>(.*?)</row>"));
    const auto m = row4.match(sheet);
    ASSERT_TRUE(m.hasMatch()) << sheet.left(500).toStdString();
    EXPECT_TRUE(m.captured(1).contains(QStringLiteral("<v>36891</v>"))) << m.captured(1).toStdString();
    EXPECT_TRUE(m.captured(1).contains(QStringLiteral("<v>-1234.5</v>"))) << m.captured(1).toStdString();
    EXPECT_TRUE(sheet.contains(QStringLiteral("Станок №79")) || sheet.contains(QStringLiteral("t=\"s\"")));
    EXPECT_EQ(sheet.count(QStringLiteral("<row ")), 2 + 1 + 80);
}

TEST_F(Export, PdfAndFrpAndUnknownExtension) {
    exportPages(pages, path("r.pdf"));
    const QByteArray pdf = readAll(path("r.pdf"));
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_EQ(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "),
              pages.count());
    exportPages(pages, path("r.frp"));
    PreparedPages back;
    back.loadFromFile(path("r.frp"));
    EXPECT_EQ(back, pages);
    EXPECT_THROW(exportPages(pages, path("r.doc")), svod::Error);
}

TEST(WriteProtocols, ComposesAllProtocolsIntoOneFile) {
    QTemporaryDir dir;
    TableData a = sample(), b = sample();
    b.title = QStringLiteral("Вторая проверка\r\n ");
    writeProtocols({a, b}, dir.filePath(QStringLiteral("p.csv")));
    const QString csv = QString::fromUtf8(readAll(dir.filePath(QStringLiteral("p.csv"))));
    EXPECT_LT(csv.indexOf(QStringLiteral("Протокол")), csv.indexOf(QStringLiteral("Вторая проверка")));
    EXPECT_EQ(csv.count(QStringLiteral("Станок №0;")), 2);
}
