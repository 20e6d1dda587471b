#include <QDate>
#include <QJSEngine>
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "db/Error.h"
#include "engine/ExpressionScope.h"
#include "engine/FunctionLibrary.h"
#include "engine/Preparer.h"
#include "engine/Report.h"
#include "engine/TextLayout.h"

using namespace svod::engine;
using namespace svod::engine::test;

namespace {

RowSet numbers(int count) {
    RowSet rows;
    rows.fields = {QStringLiteral("GRP"), QStringLiteral("N"), QStringLiteral("NAME")};
    for (int i = 1; i <= count; ++i)
        rows.rows << QVariantList{QStringLiteral("G%1").arg((i - 1) / 3), double(i),
                                  QStringLiteral("Строка %1").arg(i)};
    return rows;
}

// A small page: 200 points of content between margins.
ReportTemplate smallPage() {
    ReportTemplate t;
    t.page.size = QSizeF(300, 240);
    t.page.marginLeft = t.page.marginRight = t.page.marginTop = t.page.marginBottom = 20;
    return t;
}

PreparedPages run(Report& report) {
    report.prepareReport();
    return report.preparedPages();
}

} // namespace

TEST(Splitting, ExpressionsInBracketsAndNesting) {
    EXPECT_EQ(splitExpressions(QStringLiteral("Итого [SUM([N])] руб.")),
              (QStringList{QStringLiteral("Итого "), QStringLiteral("SUM([N])"), QStringLiteral(" руб.")}));
    EXPECT_EQ(splitExpressions(QStringLiteral("[A][B]")).size(), 5);
    EXPECT_EQ(splitExpressions(QStringLiteral("no [close")), QStringList{QStringLiteral("no [close")});
}

TEST(Splitting, DisplayFormatOnlyAfterTheWholeExpression) {
    QString expression, format;
    splitDisplayFormat(QStringLiteral("SUM([N]) #\"#,##0.00\""), expression, format);
    EXPECT_EQ(expression, QStringLiteral("SUM([N])"));
    EXPECT_EQ(format, QStringLiteral("#,##0.00"));
    // A "#" in quotes or brackets belongs to the expression.
    splitDisplayFormat(QStringLiteral("IIF(A = ' #', F(B #1), 'x') #0"), expression, format);
    EXPECT_EQ(expression, QStringLiteral("IIF(A = ' #', F(B #1), 'x')"));
    EXPECT_EQ(format, QStringLiteral("0"));
    splitDisplayFormat(QStringLiteral("'a #b'"), expression, format);
    EXPECT_EQ(expression, QStringLiteral("'a #b'"));
    EXPECT_TRUE(format.isEmpty());
}

TEST(Preparation, PageHeaderColumnHeaderAndFooterOnEveryPageTitleOnceAboveTheHeader) {
    Report report;
    ReportTemplate t = smallPage();
    t.bands << band(BandKind::ReportTitle, 20,
                    {textObject(QRectF(0, 0, 200, 20), QStringLiteral("Заголовок"))});
    t.bands << band(BandKind::PageHeader, 10, {textObject(QRectF(0, 0, 200, 10), QStringLiteral("Шапка"))});
    t.bands << band(BandKind::ColumnHeader, 10,
                    {textObject(QRectF(0, 0, 200, 10), QStringLiteral("Колонки"))});
    t.bands << band(BandKind::MasterData, 20, {textObject(QRectF(0, 0, 200, 20), QStringLiteral("[NAME]"))},
                    QStringLiteral("DATA"));
    t.bands << band(BandKind::PageFooter, 10,
                    {textObject(QRectF(0, 0, 200, 10), QStringLiteral("Стр. [PAGE] из [TOTALPAGES]"))});
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("data"), numbers(20));
    const PreparedPages pages = run(report);
    // 200 points: header 10 + footer 10 leave 180; page 1 also has the title (20) and column header.
    ASSERT_EQ(pages.count(), 3);
    const QStringList first = pageTexts(pages.page(0));
    EXPECT_EQ(first.mid(0, 4), (QStringList{QStringLiteral("Заголовок"), QStringLiteral("Шапка"),
                                            QStringLiteral("Колонки"), QStringLiteral("Строка 1")}));
    EXPECT_EQ(first.last(), QStringLiteral("Стр. 1 из 3"));
    EXPECT_EQ(first.count(QStringLiteral("Колонки")), 1);
    for (int p = 1; p < 3; ++p) {
        const QStringList texts = pageTexts(pages.page(p));
        EXPECT_EQ(texts.first(), QStringLiteral("Шапка"));
        EXPECT_EQ(texts.at(1), QStringLiteral("Колонки"));
        EXPECT_FALSE(texts.contains(QStringLiteral("Заголовок")));
        EXPECT_EQ(texts.last(), QStringLiteral("Стр. %1 из 3").arg(p + 1));
    }
    // Every row printed once, in order, and nothing below the footer's top.
    QStringList all;
    for (int p = 0; p < pages.count(); ++p) {
        const PreparedPage page = pages.page(p);
        for (const auto& o : page.objects)
            EXPECT_LE(o.rect.bottom(), 220.01);
        for (const auto& text : pageTexts(page))
            if (text.startsWith(QStringLiteral("Строка")))
                all << text;
    }
    ASSERT_EQ(all.size(), 20);
    EXPECT_EQ(all.last(), QStringLiteral("Строка 20"));

    // The author may put the title under the page header.
    t.bands[0].belowPageHeader = true;
    report.setTemplate(t);
    EXPECT_EQ(pageTexts(run(report).page(0)).mid(0, 3),
              (QStringList{QStringLiteral("Шапка"), QStringLiteral("Заголовок"), QStringLiteral("Колонки")}));
}

TEST(Preparation, GroupsBreakWithHeadersFootersAndGroupTotals) {
    Report report;
    ReportTemplate t = smallPage();
    t.page.size = QSizeF(300, 2000);
    Band header =
        band(BandKind::GroupHeader, 10, {textObject(QRectF(0, 0, 100, 10), QStringLiteral("Группа [GRP]"))});
    header.condition = QStringLiteral("GRP");
    t.bands << header;
    t.bands << band(BandKind::MasterData, 10, {textObject(QRectF(0, 0, 100, 10), QStringLiteral("[N]"))},
                    QStringLiteral("DATA"));
    t.bands << band(
        BandKind::GroupFooter, 10,
        {textObject(QRectF(0, 0, 100, 10), QStringLiteral("Итог [GRP]: [SUM(N)] [COUNT()] [MAX(N)]"))});
    t.bands << band(
        BandKind::ReportSummary, 10,
        {textObject(QRectF(0, 0, 100, 10), QStringLiteral("Всего [SUM(N)] ср. [AVG(N)] мин. [MIN(N)]"))});
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), numbers(7));
    const QStringList texts = pageTexts(run(report).page(0));
    EXPECT_EQ(texts,
              (QStringList{"Группа G0", "1", "2", "3", "Итог G0: 6 3 3", "Группа G1", "4", "5", "6",
                           "Итог G1: 15 3 6", "Группа G2", "7", "Итог G2: 7 1 7", "Всего 28 ср. 4 мин. 1"}));
}

TEST(Preparation, NewPageAfterARowStartsOneOnlyWhenSomethingFollows) {
    ReportTemplate t = smallPage();
    t.bands << band(BandKind::PageFooter, 10,
                    {textObject(QRectF(0, 0, 100, 10), QStringLiteral("Стр. [PAGE]"))});
    Band master = band(BandKind::MasterData, 10, {textObject(QRectF(0, 0, 100, 10), QStringLiteral("[N]"))},
                       QStringLiteral("DATA"));
    master.newPageAfter = true;
    t.bands << master;
    {
        Report report;
        report.setTemplate(t);
        report.setMemoryDataset(QStringLiteral("DATA"), numbers(3));
        const PreparedPages pages = run(report);
        ASSERT_EQ(pages.count(), 3) << "no empty page after the last row";
        EXPECT_EQ(pageTexts(pages.page(2)), (QStringList{"3", "Стр. 3"}));
    }
    t.bands << band(BandKind::ReportSummary, 10,
                    {textObject(QRectF(0, 0, 100, 10), QStringLiteral("Всего [SUM(N)]"))});
    Report report;
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), numbers(3));
    const PreparedPages pages = run(report);
    ASSERT_EQ(pages.count(), 4) << "the summary follows the last row on a page of its own";
    EXPECT_EQ(pageTexts(pages.page(3)), (QStringList{"Всего 6", "Стр. 4"}));
}

TEST(Preparation, PageTotalsAndBandTotalsOfDetailRows) {
    Report report;
    ReportTemplate t = smallPage(); // 200 points: footer 20 leaves 9 rows of 20
    t.bands << band(BandKind::MasterData, 20, {textObject(QRectF(0, 0, 100, 20), QStringLiteral("[N]"))},
                    QStringLiteral("DATA"));
    t.bands << band(
        BandKind::PageFooter, 20,
        {textObject(QRectF(0, 0, 100, 20), QStringLiteral("Стр: [SUM(N)] Отчет: [SUM(N, 'report')]"))});
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), numbers(12));
    const PreparedPages pages = run(report);
    ASSERT_EQ(pages.count(), 2);
    EXPECT_EQ(pageTexts(pages.page(0)).last(), QStringLiteral("Стр: 45 Отчет: 45"));
    EXPECT_EQ(pageTexts(pages.page(1)).last(), QStringLiteral("Стр: 33 Отчет: 78"));
}

TEST(Preparation, BandThatDoesNotFitMovesWholeAndLongTextSplits) {
    ReportTemplate t = smallPage();
    t.bands << band(BandKind::MasterData, 150, {textObject(QRectF(0, 0, 200, 150), QStringLiteral("[NAME]"))},
                    QStringLiteral("DATA"));
    Report whole;
    whole.setTemplate(t);
    whole.setMemoryDataset(QStringLiteral("DATA"), numbers(2));
    const PreparedPages moved = run(whole);
    ASSERT_EQ(moved.count(), 2);
    EXPECT_EQ(pageTexts(moved.page(1)), QStringList{QStringLiteral("Строка 2")});
    EXPECT_DOUBLE_EQ(moved.page(1).objects[0].rect.top(), 20);

    QStringList words;
    for (int i = 0; i < 300; ++i)
        words << QStringLiteral("слово%1").arg(i);
    ReportTemplate s = smallPage();
    TemplateObject memo = textObject(QRectF(0, 0, 200, 12), QStringLiteral("[NAME]"));
    memo.stretch = memo.wordWrap = true;
    Band body = band(BandKind::MasterData, 12, {memo}, QStringLiteral("DATA"));
    body.allowSplit = true;
    s.bands << body;
    Report split;
    split.setTemplate(s);
    RowSet rows;
    rows.fields = {QStringLiteral("NAME")};
    rows.rows << QVariantList{words.join(u' ')};
    split.setMemoryDataset(QStringLiteral("DATA"), rows);
    const PreparedPages pages = run(split);
    ASSERT_GE(pages.count(), 2);
    QStringList printed;
    for (int p = 0; p < pages.count(); ++p)
        for (const auto& o : pages.page(p).objects) {
            EXPECT_LE(o.rect.bottom(), 220.01);
            printed << o.text.split(u'\n');
        }
    EXPECT_EQ(printed.join(u' ').split(u' '), words); // nothing lost, nothing repeated
}

TEST(Preparation, DetailRowsFollowTheirMasterAndChildBands) {
    ReportTemplate t = smallPage();
    t.page.size = QSizeF(300, 2000);
    Band master = band(BandKind::MasterData, 10, {textObject(QRectF(0, 0, 100, 10), QStringLiteral("M[N]"))},
                       QStringLiteral("DATA"));
    master.child = QStringLiteral("C");
    t.bands << master;
    t.bands << band(BandKind::DetailData, 10, {textObject(QRectF(0, 0, 100, 10), QStringLiteral("d[NAME]"))},
                    QStringLiteral("DET"));
    Band child = band(BandKind::Child, 10, {textObject(QRectF(0, 0, 100, 10), QStringLiteral("child"))});
    child.name = QStringLiteral("C");
    t.bands << child;
    Report report;
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), numbers(2));
    RowSet det;
    det.fields = {QStringLiteral("NAME")};
    det.rows << QVariantList{QStringLiteral("x")} << QVariantList{QStringLiteral("y")};
    report.setMemoryDataset(QStringLiteral("DET"), det);
    EXPECT_EQ(pageTexts(run(report).page(0)),
              (QStringList{"M1", "child", "dx", "dy", "M2", "child", "dx", "dy"}));
}

TEST(Preparation, VariablesScriptNoteStringsAndFormats) {
    ReportTemplate t = smallPage();
    t.variables.insert(QStringLiteral("RATE"), QStringLiteral("2"));
    t.script = QStringLiteral("NoteStrings.push('из сценария'); var K = RATE * 10;");
    TemplateObject amount = textObject(QRectF(0, 0, 200, 10), QStringLiteral("[N * K + 0.5]"));
    amount.displayFormat = QStringLiteral("#,##0.00");
    t.bands << band(BandKind::MasterData, 10,
                    {amount, textObject(QRectF(0, 0, 10, 10), QStringLiteral("[ATDATE]"))},
                    QStringLiteral("DATA"));
    Report report;
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), numbers(1));
    Report::engineVariables().insert(QStringLiteral("ATDATE"), QDate(2000, 1, 31));
    Report::engineVariables().insert(QStringLiteral("RATE"), 100); // the engine-wide value wins
    const PreparedPages pages = run(report);
    EXPECT_EQ(pageTexts(pages.page(0)),
              (QStringList{QStringLiteral("1 000,50"), QStringLiteral("31.01.2000")}));
    EXPECT_EQ(pages.page(0).objects[0].valueKind, ValueKind::Number);
    EXPECT_EQ(report.noteStrings(), QStringList{QStringLiteral("из сценария")});

    report.clearVariables();
    EXPECT_TRUE(Report::engineVariables().isEmpty());
    EXPECT_TRUE(report.reportTemplate().variables.isEmpty());
    try {
        report.prepareReport();
        FAIL() << "a variable cleared between runs must not be found";
    } catch (const svod::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("RATE"))) << e.what();
    }
}

// Without a script the script engine starts only for an expression that needs it: the values set
// before (variables, notes) are there when it does, and [PAGE] and [LINE] read as numbers without it.
TEST(Preparation, TheScriptEngineStartedLateSeesWhatWasSetBefore) {
    ReportTemplate t = smallPage();
    t.variables.insert(QStringLiteral("RATE"), QString());
    t.bands << band(BandKind::MasterData, 10,
                    {textObject(QRectF(0, 0, 10, 10), QStringLiteral("[ATDATE]")),
                     textObject(QRectF(0, 0, 10, 10), QStringLiteral("[LINE]/[PAGE]")),
                     textObject(QRectF(0, 0, 10, 10), QStringLiteral("[RATE]"))},
                    QStringLiteral("DATA"));
    t.bands << band(BandKind::ReportSummary, 10,
                    {textObject(QRectF(0, 0, 10, 10),
                                QStringLiteral("[ATDATE.getFullYear() + ' ' + NoteStrings.join('+') + ' ' + "
                                               "(RATE === undefined)]"))});
    Report report;
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), numbers(2));
    report.noteStrings() << QStringLiteral("а") << QStringLiteral("б");
    Report::engineVariables().insert(QStringLiteral("ATDATE"), QDate(2024, 2, 29));
    const PreparedPages pages = run(report);
    Report::engineVariables().clear();
    EXPECT_EQ(pageTexts(pages.page(0)),
              (QStringList{QStringLiteral("29.02.2024"), QStringLiteral("1/1"), QString(),
                           QStringLiteral("29.02.2024"), QStringLiteral("2/1"), QString(),
                           QStringLiteral("2024 а+б true")}));
    EXPECT_EQ(report.noteStrings(), (QStringList{QStringLiteral("а"), QStringLiteral("б")}));
}

TEST(Preparation, ScriptErrorNamesObjectAndExpression) {
    ReportTemplate t = smallPage();
    t.bands << band(BandKind::ReportTitle, 10,
                    {textObject(QRectF(0, 0, 100, 10), QStringLiteral("[1 +* 2]"), "Memo7")});
    Report report;
    report.setTemplate(t);
    try {
        report.prepareReport();
        FAIL();
    } catch (const svod::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Memo7"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("[1 +* 2]"))) << e.what();
    }
}

TEST(FunctionLibrary, EveryNameIsRegisteredAndBehaves) {
    QJSEngine js;
    installFunctionLibrary(js);
    for (const auto& name : functionLibraryNames())
        EXPECT_TRUE(js.globalObject().property(name).isCallable()) << name.toStdString();
    auto eval = [&](const char* code) { return js.evaluate(QString::fromUtf8(code)).toString(); };
    EXPECT_EQ(eval("PR_DATE('01.01.2000')"), QStringLiteral("1 января 2000"));
    EXPECT_EQ(eval("PR_DATE(new Date(2024, 1, 29))"), QStringLiteral("29 февраля 2024"));
    EXPECT_EQ(eval("DATETOSTR(INCMONTH('31.01.2001', 1))"), QStringLiteral("28.02.2001"));
    EXPECT_EQ(eval("DATETOSTR(LASTDAYOFPREVMONTH('15.03.2000'))"), QStringLiteral("29.02.2000"));
    EXPECT_EQ(eval("DATETOSTR(FIRSTDAYOFNEXTMONTH('15.12.2000'))"), QStringLiteral("01.01.2001"));
    EXPECT_EQ(eval("DATEDIFF('01.01.2000', '01.03.2000')"), QStringLiteral("60"));
    EXPECT_EQ(eval("DAYSPERMONTH(2100, 2)"), QStringLiteral("28"));
    EXPECT_EQ(eval("ISLEAPYEAR(2000) && !ISLEAPYEAR(1900)"), QStringLiteral("true"));
    EXPECT_EQ(eval("X_FOR_DATE('05.03.2001')"), QStringLiteral("март 2001"));
    EXPECT_EQ(eval("STRTOFLOAT('1 234,5') + 1"), QStringLiteral("1235.5"));
    EXPECT_EQ(eval("STRTOINTDEF('x', -1)"), QStringLiteral("-1"));
    EXPECT_EQ(eval("VALIDINT('12') && !VALIDFLOAT('1,2,3') && VALIDDATE('29.02.2000')"),
              QStringLiteral("true"));
    EXPECT_EQ(eval("EXTRACTWORD(2, 'раз два три', ' ') + WORDCOUNT('a  b c') + WORDPOSITION(2, 'ab cd')"),
              QStringLiteral("два34"));
    EXPECT_EQ(eval("PADLEFT('7', 3, '0') + PADRIGHT('a', 3, '.') + PADCENTER('x', 3, '-')"),
              QStringLiteral("007a..-x-"));
    EXPECT_EQ(
        eval("DELETE('abcdef', 2, 3) + INSERT('XY', 'abc', 2) + LEFTCOPY('abc', 2) + RIGHTCOPY('abc', 2)"),
        QStringLiteral("aefaXYbcabbc"));
    EXPECT_EQ(eval("NPOS('a', 'banana', 2) + ENDPOS('banana', 'an')"), QStringLiteral("8"));
    EXPECT_EQ(eval("QUOTEDSTR(\"д'Артаньян\") + CREATEDATE('31.12.2000') + CREATENUM('1,5')"),
              QStringLiteral("'д''Артаньян''2000-12-31'1.5"));
    EXPECT_EQ(eval("REPLACESTR('a-b-c', '-', '+') + REPLICATE('ab', 2) + TRIMLEFT('  x') + TRIMRIGHT('y  ')"),
              QStringLiteral("a+b+cababxy"));
    EXPECT_EQ(eval("SWAP(1 > 2, 'a', 'b') + COMPARESTR('a', 'b') + CHR(1046)"), QStringLiteral("b-1Ж"));
    EXPECT_EQ(eval("ISRANGEDATE('10.01.2000', '01.01.2000', '31.01.2000') && ISRANGENUM(5, 1, 10)"),
              QStringLiteral("true"));
    EXPECT_EQ(eval("DATETOSTR(INCDATE('31.12.1999', 1, 1, 1)) + DATETOSTR(INCYEAR('29.02.2000', 1))"),
              QStringLiteral("01.02.200128.02.2001"));
    EXPECT_TRUE(js.evaluate(QStringLiteral("STRTOFLOAT('abc')")).isError());
}

TEST(DisplayValues, NumbersReadBackOnlyInTheShapesCellsShow) {
    double v = 0;
    EXPECT_TRUE(parseDisplayNumber(QStringLiteral("-1 234,50"), v));
    EXPECT_DOUBLE_EQ(v, -1234.5);
    EXPECT_TRUE(parseDisplayNumber(QStringLiteral("  42 "), v));
    EXPECT_DOUBLE_EQ(v, 42);
    EXPECT_TRUE(parseDisplayNumber(QStringLiteral("0.125"), v));
    EXPECT_DOUBLE_EQ(v, 0.125);
    for (const char* text :
         {"", "-", ",5", "1,", "1,2,3", "1e5", "12a", "- 1", "１２", "+1", "1234567890123456789012345"})
        EXPECT_FALSE(parseDisplayNumber(QString::fromUtf8(text), v)) << text;
}
