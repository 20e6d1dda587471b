// Master and detail bands with their headers and footers, totals over named bands, running totals,
// and page N of M without asking the server twice.
#include <QSqlQuery>
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "db/Error.h"
#include "engine/DatasetCursors.h"
#include "engine/Preparer.h"
#include "engine/Report.h"
#include "engine/TextLayout.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::engine;
using namespace svod::engine::test;

namespace {

Band named(Band b, const QString& name) {
    b.name = name;
    return b;
}

Band line(BandKind kind, const QString& text, const QString& dataset = {}) {
    return band(kind, 10, {textObject(QRectF(0, 0, 250, 10), text)}, dataset);
}

QStringList allTexts(const PreparedPages& pages) {
    QStringList texts;
    for (int p = 0; p < pages.count(); ++p)
        texts << pageTexts(pages.page(p));
    return texts;
}

// Branches with their items' amounts; one branch has no items.
void fillBranches(db::Connection& c) {
    c.execute(QStringLiteral("create table M (ID int, NAME varchar(20))"));
    c.execute(QStringLiteral("create table D (MID int, AMOUNT numeric(19,4))"));
    c.execute(QStringLiteral("insert into M values (1, 'Москва'), (2, 'Пустой'), (3, 'Тверь')"));
    c.execute(
        QStringLiteral("insert into D values (1, 10.10), (1, 0.70), (1, 1234.56), (3, 0.10), (3, 0.20), "
                       "(3, -0.30), (3, 99999.99)"));
}

ReportTemplate branchesReport() {
    ReportTemplate t;
    t.page.size = QSizeF(300, 2000);
    t.datasets << DatasetSpec{QStringLiteral("M"), QStringLiteral("select ID, NAME from M order by ID"), {}};
    t.datasets << DatasetSpec{
        QStringLiteral("D"), QStringLiteral("select AMOUNT from D where MID = :ID order by AMOUNT"), {}};
    t.bands << line(BandKind::MasterHeader, QStringLiteral("Филиалы"));
    t.bands << line(BandKind::MasterData, QStringLiteral("[NAME]"), QStringLiteral("M"));
    t.bands << line(BandKind::DetailHeader, QStringLiteral("Суммы [NAME]"));
    t.bands << named(line(BandKind::DetailData, QStringLiteral("[AMOUNT #\"#0.00\"]"), QStringLiteral("D")),
                     QStringLiteral("DetailData1"));
    t.bands << line(BandKind::DetailFooter, QStringLiteral("Итого [NAME]: [SUM([D.AMOUNT]) #\"#0.00\"]"));
    t.bands << line(BandKind::MasterFooter,
                    QStringLiteral("Всего: [SUM([D.AMOUNT], DetailData1) #\"#0.00\"]"));
    return t;
}

class MasterDetailTest : public ::testing::TestWithParam<db::Backend> {
protected:
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(GetParam());
        db_ = std::make_unique<svod::test::TestDatabase>(GetParam());
        fillBranches(db_->connection());
    }
    std::unique_ptr<svod::test::TestDatabase> db_;
};

} // namespace

TEST_P(MasterDetailTest, FootersTotalEachMastersDetailsAsTheServerSumsThem) {
    Report report;
    report.setConnection(&db_->connection());
    report.setTemplate(branchesReport());
    ASSERT_TRUE(report.prepareReport());
    const QStringList texts = allTexts(report.preparedPages());

    QSqlQuery sums = db_->connection().query(QStringLiteral(
        "select M.NAME, coalesce(sum(D.AMOUNT), 0) from M left join D on D.MID = M.ID group by M.ID, M.NAME "
        "order by M.ID"));
    QStringList expectedFooters;
    double total = 0;
    while (sums.next()) {
        const double sum = sums.value(1).toDouble();
        total += sum;
        expectedFooters << QStringLiteral("Итого %1: %2")
                               .arg(sums.value(0).toString(),
                                    formatNumberPattern(sum, QStringLiteral("#0.00")));
    }
    QStringList footers;
    for (const auto& t : texts)
        if (t.startsWith(QStringLiteral("Итого")))
            footers << t;
    EXPECT_EQ(footers, expectedFooters);
    EXPECT_EQ(texts.first(), QStringLiteral("Филиалы"));
    EXPECT_EQ(texts.count(QStringLiteral("Филиалы")), 1);
    EXPECT_EQ(texts.last(), QStringLiteral("Всего: ") + formatNumberPattern(total, QStringLiteral("#0.00")));
    // Each master's details sit between its header and footer.
    const qsizetype moscow = texts.indexOf(QStringLiteral("Суммы Москва"));
    ASSERT_GE(moscow, 0);
    EXPECT_EQ(texts.mid(moscow + 1, 4), (QStringList{"0,70", "10,10", "1234,56", "Итого Москва: 1245,36"}));
    EXPECT_EQ(texts.mid(texts.indexOf(QStringLiteral("Пустой")), 3),
              (QStringList{"Пустой", "Суммы Пустой", "Итого Пустой: 0,00"}));
}

TEST_P(MasterDetailTest, PageNOfMRunsEveryQueryOnce) {
    ReportTemplate t = branchesReport();
    t.page.size = QSizeF(300, 100); // 8 lines a page between the margins of 10
    t.page.marginTop = t.page.marginBottom = 10;
    t.bands << line(BandKind::PageFooter, QStringLiteral("Страница [PAGE] из [TOTALPAGES]"));
    for (const bool withTotal : {false, true}) {
        ReportTemplate run = t;
        if (!withTotal)
            run.bands.last().objects[0].text = QStringLiteral("Страница [PAGE]");
        QueryCache queries;
        PrepareInput input;
        input.report = &run;
        input.connection = &db_->connection();
        input.queries = &queries;
        PreparedPages pages;
        ASSERT_TRUE(prepareReport(input, pages));
        EXPECT_EQ(queries.queriesRun(), 4) << "the masters once, each master's details once";
        ASSERT_EQ(pages.count(), 3);
        for (int p = 0; p < pages.count(); ++p)
            EXPECT_EQ(pageTexts(pages.page(p)).last(), withTotal
                                                           ? QStringLiteral("Страница %1 из 3").arg(p + 1)
                                                           : QStringLiteral("Страница %1").arg(p + 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, MasterDetailTest, ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });

namespace {

RowSet grouped(int count) {
    RowSet rows;
    rows.fields = {QStringLiteral("GRP"), QStringLiteral("N")};
    for (int i = 1; i <= count; ++i)
        rows.rows << QVariantList{QStringLiteral("G%1").arg((i - 1) / 3), double(i)};
    return rows;
}

} // namespace

TEST(RunningTotals, ContinueAcrossPagesAndRestartPerGroupAsChosen) {
    ReportTemplate t;
    t.page.size = QSizeF(300, 90); // 70 points: 5 rows and the footer
    t.page.marginTop = t.page.marginBottom = 10;
    Band header = line(BandKind::GroupHeader, QStringLiteral("[GRP]"));
    header.height = 0; // conditions only
    header.objects.clear();
    header.condition = QStringLiteral("GRP");
    t.bands << header;
    t.bands << line(BandKind::MasterData, QStringLiteral("[N]: [SUM(N, 'group')] [SUM(N, 'report')]"),
                    QStringLiteral("DATA"));
    t.bands << line(BandKind::PageFooter, QStringLiteral("стр. [SUM(N)] с начала [SUM(N, 'report')]"));
    Report report;
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), grouped(8));
    ASSERT_TRUE(report.prepareReport());
    const PreparedPages& pages = report.preparedPages();
    ASSERT_EQ(pages.count(), 2);
    EXPECT_EQ(pageTexts(pages.page(0)), (QStringList{"1: 1 1", "2: 3 3", "3: 6 6", "4: 4 10", "5: 9 15",
                                                     "6: 15 21", "стр. 21 с начала 21"}));
    EXPECT_EQ(pageTexts(pages.page(1)), (QStringList{"7: 7 28", "8: 15 36", "стр. 15 с начала 36"}));
}

TEST(RunningTotals, ARowMovedToTheNextPageCountsThereNotInTheFooterBefore) {
    ReportTemplate t;
    t.page.size = QSizeF(300, 70); // 50 points: the footer and 4 rows
    t.page.marginTop = t.page.marginBottom = 10;
    t.bands << line(BandKind::MasterData, QStringLiteral("[N] [SUM(N, 'page')]"), QStringLiteral("DATA"));
    t.bands << line(BandKind::PageFooter, QStringLiteral("[SUM(N)]"));
    Report report;
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"), grouped(6));
    ASSERT_TRUE(report.prepareReport());
    const PreparedPages& pages = report.preparedPages();
    ASSERT_EQ(pages.count(), 2);
    EXPECT_EQ(pageTexts(pages.page(0)), (QStringList{"1 1", "2 3", "3 6", "4 10", "10"}));
    EXPECT_EQ(pageTexts(pages.page(1)), (QStringList{"5 5", "6 11", "11"}));
}

TEST(DetailHeader, RepeatsOnANewPageWhereTheAuthorAsks) {
    ReportTemplate t;
    t.page.size = QSizeF(300, 70); // 50 points: 5 lines
    t.page.marginTop = t.page.marginBottom = 10;
    t.bands << line(BandKind::MasterData, QStringLiteral("[NAME]"), QStringLiteral("MASTER"));
    Band header = line(BandKind::DetailHeader, QStringLiteral("шапка [NAME]"));
    header.repeatOnNewPage = true;
    t.bands << header;
    t.bands << line(BandKind::DetailData, QStringLiteral("[N]"), QStringLiteral("DATA"));
    t.bands << line(BandKind::DetailFooter, QStringLiteral("итог [SUM(N)]"));
    Report report;
    report.setTemplate(t);
    RowSet master;
    master.fields = {QStringLiteral("NAME")};
    master.rows << QVariantList{QStringLiteral("A")};
    report.setMemoryDataset(QStringLiteral("MASTER"), master);
    report.setMemoryDataset(QStringLiteral("DATA"), grouped(6));
    ASSERT_TRUE(report.prepareReport());
    EXPECT_EQ(allTexts(report.preparedPages()),
              (QStringList{"A", "шапка A", "1", "2", "3", "шапка A", "4", "5", "6", "итог 21"}));
}

TEST(Bands, HeadersAndFootersWithoutTheirDataBandAreRefusedByName) {
    for (const BandKind kind : {BandKind::DetailFooter, BandKind::MasterFooter, BandKind::DetailData}) {
        ReportTemplate t;
        t.bands << named(line(kind, QStringLiteral("x")), QStringLiteral("Сирота"));
        t.bands << line(BandKind::MasterData, QStringLiteral("[N]"), QStringLiteral("DATA"));
        Report report;
        report.setTemplate(t);
        report.setMemoryDataset(QStringLiteral("DATA"), grouped(1));
        try {
            report.prepareReport();
            ADD_FAILURE() << bandKindName(kind).toStdString() << " before any data band was accepted";
        } catch (const svod::Error& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("Сирота"))) << e.what();
        }
    }
}
