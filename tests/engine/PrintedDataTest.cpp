// What prints is what the data says: nothing lost, nothing printed over other bands, one value per
// variable, every band of the template accounted for.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "db/Error.h"
#include "engine/Report.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::engine;
using namespace svod::engine::test;

namespace {

// 200 points between the margins (20 .. 220).
ReportTemplate smallPage() {
    ReportTemplate t;
    t.page.size = QSizeF(300, 240);
    t.page.marginLeft = t.page.marginRight = t.page.marginTop = t.page.marginBottom = 20;
    return t;
}

RowSet oneColumn(const QString& field, const QVariantList& values) {
    RowSet rows;
    rows.fields = {field};
    for (const auto& v : values)
        rows.rows << QVariantList{v};
    return rows;
}

RowSet numbers(int count) {
    RowSet rows;
    rows.fields = {QStringLiteral("N")};
    for (int i = 1; i <= count; ++i)
        rows.rows << QVariantList{double(i)};
    return rows;
}

QStringList allTexts(const PreparedPages& pages) {
    QStringList texts;
    for (int p = 0; p < pages.count(); ++p)
        texts << pageTexts(pages.page(p));
    return texts;
}

} // namespace

TEST(TallBand, TextTallerThanAPageIsSplitKeepsClearOfTheFooterAndIsNoted) {
    QStringList words;
    for (int i = 0; i < 400; ++i)
        words << QStringLiteral("слово%1").arg(i);
    ReportTemplate t = smallPage();
    t.bands << band(BandKind::PageHeader, 15, {textObject(QRectF(0, 0, 200, 15), QStringLiteral("Шапка"))});
    TemplateObject memo = textObject(QRectF(0, 0, 200, 12), QStringLiteral("[NAME]"));
    memo.stretch = memo.wordWrap = true;
    t.bands << band(BandKind::MasterData, 12, {memo}, QStringLiteral("DATA")); // keep together, no split
    t.bands << band(BandKind::PageFooter, 20,
                    {textObject(QRectF(0, 0, 200, 20), QStringLiteral("Подвал [PAGE]"))});
    Report report;
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), oneColumn(QStringLiteral("NAME"), {words.join(u' ')}));
    ASSERT_TRUE(report.prepareReport());
    const PreparedPages& pages = report.preparedPages();
    ASSERT_GE(pages.count(), 2);
    QStringList printed;
    for (int p = 0; p < pages.count(); ++p) {
        const PreparedPage page = pages.page(p);
        for (const auto& o : page.objects) {
            EXPECT_GE(o.rect.top(), 20 - 0.01);
            EXPECT_LE(o.rect.bottom(), 220 + 0.01);
            if (o.text.startsWith(QStringLiteral("слово"))) {
                EXPECT_GE(o.rect.top(), 35 - 0.01) << "over the page header on page " << p + 1;
                EXPECT_LE(o.rect.bottom(), 200 + 0.01) << "over the page footer on page " << p + 1;
                printed << o.text.split(u'\n');
            }
        }
        EXPECT_TRUE(pageTexts(page).contains(QStringLiteral("Подвал %1").arg(p + 1)));
    }
    EXPECT_EQ(printed.join(u' ').split(u' '), words); // nothing lost, nothing repeated
    ASSERT_EQ(report.warnings().size(), 1);
    EXPECT_TRUE(report.warnings().first().contains(QStringLiteral("masterData")) &&
                report.warnings().first().contains(QStringLiteral("выше страницы")))
        << report.warnings().first().toStdString();
}

TEST(TallBand, NoObjectIsPaintedOutsideThePrintableArea) {
    ReportTemplate t = smallPage();
    // An object reaching past the band, a band taller than a page without stretched text.
    t.bands << band(BandKind::ReportTitle, 20,
                    {textObject(QRectF(0, 0, 260, 600), QStringLiteral("Огромный")),
                     textObject(QRectF(150, 5, 200, 10), QStringLiteral("Широкий"))});
    Report report;
    report.setTemplate(t);
    ASSERT_TRUE(report.prepareReport());
    for (int p = 0; p < report.preparedPages().count(); ++p)
        for (const auto& o : report.preparedPages().page(p).objects) {
            EXPECT_GE(o.rect.left(), 20 - 0.01) << o.text.toStdString();
            EXPECT_LE(o.rect.right(), 280 + 0.01) << o.text.toStdString();
            EXPECT_GE(o.rect.top(), 20 - 0.01) << o.text.toStdString();
            EXPECT_LE(o.rect.bottom(), 220 + 0.01) << o.text.toStdString();
        }
    EXPECT_FALSE(report.warnings().isEmpty());
}

TEST(Variables, TheScriptsAssignmentIsWhatEveryExpressionAndQuerySees) {
    ReportTemplate t = smallPage();
    t.variables.insert(QStringLiteral("KOD_FIL"), QStringLiteral("'01'"));
    t.script = QStringLiteral("KOD_FIL = '02';");
    t.bands << band(BandKind::ReportTitle, 30,
                    {textObject(QRectF(0, 0, 200, 10), QStringLiteral("[KOD_FIL]")),
                     textObject(QRectF(0, 10, 200, 10), QStringLiteral("[KOD_FIL + '']")),
                     textObject(QRectF(0, 20, 200, 10), QStringLiteral("[kod_fil]"))});
    Report report;
    report.setTemplate(t);
    ASSERT_TRUE(report.prepareReport());
    EXPECT_EQ(pageTexts(report.preparedPages().page(0)), (QStringList{"02", "02", "02"}));
}

TEST(Variables, AnExpressionsAssignmentReachesLaterBandsAndQueryParameters) {
    for (const auto backend : svod::test::testBackends()) {
        if (backend == db::Backend::PostgreSQL && svod::test::postgresTestUrl().isEmpty())
            continue; // the SQLite run below checks the same
        svod::test::TestDatabase db(backend);
        db.connection().execute(QStringLiteral("create table T (K varchar(2), V int)"));
        db.connection().execute(QStringLiteral("insert into T values ('01', 1), ('02', 2)"));
        ReportTemplate t = smallPage();
        t.variables.insert(QStringLiteral("K"), QStringLiteral("'01'"));
        t.datasets << DatasetSpec{QStringLiteral("Q"), QStringLiteral("select V from T where K = :K"), {}};
        t.bands << band(BandKind::ReportTitle, 10,
                        {textObject(QRectF(0, 0, 200, 10), QStringLiteral("[(K = '02') ? '' : '']"))});
        t.bands << band(BandKind::MasterData, 10,
                        {textObject(QRectF(0, 0, 200, 10), QStringLiteral("[K]=[V]"))}, QStringLiteral("Q"));
        Report report;
        report.setConnection(&db.connection());
        report.setTemplate(t);
        ASSERT_TRUE(report.prepareReport());
        EXPECT_EQ(pageTexts(report.preparedPages().page(0)), (QStringList{"", "02=2"}))
            << svod::test::backendLabel(backend);
    }
}

TEST(GroupFooter, WithoutAGroupHeaderItPrintsAtTheEndOfItsDataBand) {
    ReportTemplate t = smallPage();
    t.bands << band(BandKind::MasterData, 10, {textObject(QRectF(0, 0, 100, 10), QStringLiteral("[N]"))},
                    QStringLiteral("DATA"));
    t.bands << band(BandKind::GroupFooter, 10,
                    {textObject(QRectF(0, 0, 100, 10), QStringLiteral("Итого [SUM(N)] из [COUNT()]"))});
    Report report;
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), numbers(4));
    ASSERT_TRUE(report.prepareReport());
    EXPECT_EQ(allTexts(report.preparedPages()), (QStringList{"1", "2", "3", "4", "Итого 10 из 4"}));
}

TEST(GroupFooter, OneWithNoDataBandBeforeItIsRefusedByName) {
    ReportTemplate t = smallPage();
    Band footer = band(BandKind::GroupFooter, 10, {textObject(QRectF(0, 0, 100, 10), QStringLiteral("x"))});
    footer.name = QStringLiteral("GroupFooter1");
    t.bands << footer;
    t.bands << band(BandKind::MasterData, 10, {textObject(QRectF(0, 0, 100, 10), QStringLiteral("[N]"))},
                    QStringLiteral("DATA"));
    Report report;
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), numbers(2));
    try {
        report.prepareReport();
        FAIL() << "a group footer that belongs to no data band must not be dropped silently";
    } catch (const svod::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("GroupFooter1"))) << e.what();
    }
}

TEST(DatasetError, TheMessageNamesReportDatasetAndServerText) {
    svod::test::TestDatabase db(db::Backend::SQLite);
    ReportTemplate t = smallPage();
    t.datasets << DatasetSpec{QStringLiteral("OSTATKI"), QStringLiteral("select * from NO_SUCH_TABLE"), {}};
    t.bands << band(BandKind::MasterData, 10, {textObject(QRectF(0, 0, 100, 10), QStringLiteral("[X]"))},
                    QStringLiteral("OSTATKI"));
    Report report;
    report.setFileName(QStringLiteral("/reports/Остатки по филиалам.frf"));
    report.setConnection(&db.connection());
    report.setTemplate(t);
    try {
        report.prepareReport();
        FAIL();
    } catch (const svod::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Остатки по филиалам"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("OSTATKI"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("no such table"), Qt::CaseInsensitive)) << e.what();
    }
}

TEST(DisplayFormat, AppliesToOneExpressionNotToEveryNumberOfTheText) {
    ReportTemplate t = smallPage();
    TemplateObject pages =
        textObject(QRectF(0, 0, 200, 10), QStringLiteral("Страница [PAGE] из [TOTALPAGES]"));
    pages.displayFormat = QStringLiteral("#0.00"); // meant for the sum beside it
    TemplateObject sum = textObject(QRectF(0, 10, 200, 10), QStringLiteral("Итого: [1234.5]"));
    sum.displayFormat = QStringLiteral("#,##0.00");
    TemplateObject inlineFormats =
        textObject(QRectF(0, 20, 200, 10), QStringLiteral("[1234.5 #\"#,##0.00\"] и [PAGE]"));
    t.bands << band(BandKind::ReportTitle, 30, {pages, sum, inlineFormats});
    Report report;
    report.setTemplate(t);
    ASSERT_TRUE(report.prepareReport());
    EXPECT_EQ(pageTexts(report.preparedPages().page(0)),
              (QStringList{"Страница 1 из 1", "Итого: 1 234,50", "1 234,50 и 1"}));
}
