#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "db/Error.h"
#include "engine/Chart.h"
#include "engine/Painter.h"
#include "engine/Report.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::engine;
using namespace svod::engine::test;

namespace {

RowSet rowsOf(QList<QVariantList> rows) {
    RowSet set;
    set.fields = {QStringLiteral("KOD"), QStringLiteral("A"), QStringLiteral("B")};
    set.rows = std::move(rows);
    return set;
}

ChartSettings settings(ChartType type) {
    ChartSettings s;
    s.type = type;
    s.dataset = QStringLiteral("DATA");
    s.categoryField = QStringLiteral("KOD");
    s.valueFields = {QStringLiteral("A"), QStringLiteral("B")};
    s.seriesTitles = {QStringLiteral("Доллары"), QString()};
    s.title = QStringLiteral("Остаточная стоимость");
    s.xAxisTitle = QStringLiteral("Филиал");
    s.yAxisTitle = QStringLiteral("Сумма");
    return s;
}

// Bars are rectangles beside the path.
QRectF boundsOf(const ChartShape& shape) {
    QRectF r = shape.path.boundingRect();
    for (const QRectF& bar : shape.rects)
        r = r.isNull() ? bar : r | bar;
    return r;
}

bool finite(const ChartDrawing& d) {
    for (const auto& shape : d.shapes) {
        const QRectF r = boundsOf(shape);
        if (!std::isfinite(r.x()) || !std::isfinite(r.y()) || !std::isfinite(r.width()) ||
            !std::isfinite(r.height()))
            return false;
    }
    for (const auto& l : d.labels)
        if (!std::isfinite(l.rect.x()) || !std::isfinite(l.rect.y()))
            return false;
    return true;
}

QStringList labelTexts(const ChartDrawing& d) {
    QStringList texts;
    for (const auto& l : d.labels)
        texts << l.text;
    return texts;
}

// The outlines filled with the colour of the first series (bars, slices): a series draws all its
// bars as one shape.
QList<QRectF> filledWithFirstColour(const ChartDrawing& d) {
    QList<QRectF> rects;
    const QColor first = d.shapes.isEmpty() ? QColor() : QColor(0x4e, 0x79, 0xa7);
    for (const auto& shape : d.shapes)
        if (shape.fill == first) {
            for (const QPolygonF& outline : shape.path.toSubpathPolygons())
                rects << outline.boundingRect();
            rects << shape.rects;
        }
    return rects;
}

const QRectF Area(0, 0, 400, 240);

} // namespace

TEST(ChartData, TakesOneCategoryPerRowAndOneSeriesPerField) {
    const ChartData d =
        chartData(settings(ChartType::Bar), rowsOf({{QStringLiteral("01"), 10.5, QStringLiteral("2,5")},
                                                    {QStringLiteral("02"), QVariant(), -4}}));
    EXPECT_EQ(d.categories, (QStringList{QStringLiteral("01"), QStringLiteral("02")}));
    EXPECT_EQ(d.seriesTitles, (QStringList{QStringLiteral("Доллары"), QStringLiteral("B")}));
    EXPECT_EQ(d.values, (QList<QList<double>>{{10.5, 0}, {2.5, -4}}));
    EXPECT_EQ(decodeChart(encodeChart(d)), d);
}

TEST(ChartData, BytesComeBackAsTheyWereAndDamagedOnesAreRefused) {
    ChartData d;
    d.type = ChartType::StackedBar;
    d.title = QStringLiteral("Структура «по категориям» 𝄞");
    d.yAxisTitle = QStringLiteral(""); // empty, the others null
    d.numberFormat = QStringLiteral("#,##0.00");
    d.legend = false;
    d.categories = {QStringLiteral("Январь"), QString(), QStringLiteral("Март")};
    d.seriesTitles = {QStringLiteral("Здания"), QStringLiteral("Машины")};
    d.values = {{1.5, -2e9, 0}, {std::nextafter(1.0, 2.0), -0.0, 1e-300}};
    const QByteArray bytes = encodeChart(d);
    // Prepared reports saved before keep the bytes QDataStream wrote: the same bytes still.
    QByteArray streamed;
    QDataStream s(&streamed, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_4);
    s << quint8(1) << qint32(d.type) << d.title << d.xAxisTitle << d.yAxisTitle << d.numberFormat << d.legend
      << d.categories << d.seriesTitles << d.values;
    EXPECT_EQ(bytes, streamed);
    const ChartData back = decodeChart(bytes);
    EXPECT_EQ(back, d);
    EXPECT_TRUE(back.xAxisTitle.isNull());
    EXPECT_FALSE(back.yAxisTitle.isNull());
    EXPECT_TRUE(std::signbit(back.values[1][1]));
    // Cut anywhere, or with bytes after its end, the chart is damaged.
    for (qsizetype n = 0; n < bytes.size(); ++n)
        EXPECT_THROW(decodeChart(bytes.left(n)), Error) << n;
    EXPECT_THROW(decodeChart(bytes + '\0'), Error);
    QByteArray huge = encodeChart(ChartData{});
    huge.chop(4); // the series count
    huge += QByteArray("\x7f\xff\xff\xff", 4);
    EXPECT_THROW(decodeChart(huge), Error) << "a count the bytes cannot hold";
}

TEST(ChartData, ChartsOfTheSameTextsDecodeTheirOwnValues) {
    ChartData a;
    a.title = QStringLiteral("Остатки");
    a.categories = {QStringLiteral("Январь"), QStringLiteral("Февраль")};
    a.seriesTitles = {QStringLiteral("Здания")};
    a.values = {{1, 2}};
    ChartData b = a;
    b.values = {{3, 4, 5}};
    ChartData c = a;
    c.type = ChartType::Pie;
    c.categories << QStringLiteral("Март");
    for (const ChartData* d : {&a, &b, &a, &c, &b, &c})
        EXPECT_EQ(decodeChart(encodeChart(*d)), *d);
    const QByteArray bytes = encodeChart(b);
    decodeChart(bytes);
    EXPECT_THROW(decodeChart(bytes.chopped(1)), Error) << "values cut after texts read before";
    EXPECT_THROW(decodeChart(bytes + '\0'), Error);
    EXPECT_EQ(decodeChart(bytes), b);
}

TEST(ChartData, AMissingFieldIsNamed) {
    ChartSettings s = settings(ChartType::Bar);
    s.valueFields << QStringLiteral("NO_SUCH");
    try {
        chartData(s, rowsOf({}));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("NO_SUCH")));
    }
    EXPECT_THROW(decodeChart(QByteArray("\x07garbage")), Error);
}

TEST(ChartLayout, ZeroRowsDrawAxesAndSayThereIsNoData) {
    for (ChartType type : {ChartType::Bar, ChartType::StackedBar, ChartType::Line, ChartType::Pie}) {
        const ChartDrawing d = layoutChart(chartData(settings(type), rowsOf({})), Area, FontSpec());
        EXPECT_TRUE(finite(d));
        EXPECT_TRUE(labelTexts(d).contains(QStringLiteral("Нет данных"))) << int(type);
        EXPECT_TRUE(labelTexts(d).contains(QStringLiteral("Остаточная стоимость")));
    }
}

TEST(ChartLayout, OneRowAndManyRowsGiveABarEach) {
    const ChartDrawing one =
        layoutChart(chartData(settings(ChartType::Bar), rowsOf({{QStringLiteral("01"), 5, 1}})), Area, {});
    EXPECT_EQ(filledWithFirstColour(one).size(), 1 + 1) << "one bar and its legend box";
    QList<QVariantList> rows;
    for (int i = 0; i < 30; ++i)
        rows << QVariantList{QString::number(i), i + 1, 2};
    const ChartDrawing many = layoutChart(chartData(settings(ChartType::Bar), rowsOf(rows)), Area, {});
    EXPECT_EQ(filledWithFirstColour(many).size(), 30 + 1);
    for (const auto& r : filledWithFirstColour(many))
        EXPECT_TRUE(Area.contains(r)) << "every bar inside the object";
}

TEST(ChartLayout, NegativeValuesGoBelowTheZeroLine) {
    ChartSettings s = settings(ChartType::Bar);
    s.legend = false;
    const ChartDrawing d = layoutChart(
        chartData(s, rowsOf({{QStringLiteral("01"), 10, 0}, {QStringLiteral("02"), -10, 0}})), Area, {});
    const QList<QRectF> bars = filledWithFirstColour(d);
    ASSERT_EQ(bars.size(), 2);
    EXPECT_NEAR(bars[0].bottom(), bars[1].top(), 0.01) << "both bars meet at the zero line";
    EXPECT_NEAR(bars[0].height(), bars[1].height(), 0.01);
    EXPECT_TRUE(labelTexts(d).contains(QStringLiteral("-10,00")));
}

TEST(ChartLayout, StackedBarsAddUp) {
    ChartSettings s = settings(ChartType::StackedBar);
    s.legend = false;
    const ChartDrawing d = layoutChart(chartData(s, rowsOf({{QStringLiteral("01"), 30, 10}})), Area, {});
    ASSERT_EQ(d.shapes.size(), 2 + 2) << "grid, axes and two stacked parts";
    const QRectF lower = boundsOf(d.shapes[2]), upper = boundsOf(d.shapes[3]);
    EXPECT_NEAR(lower.top(), upper.bottom(), 0.01);
    EXPECT_NEAR(lower.height(), 3 * upper.height(), 0.01);
}

TEST(ChartLayout, APieOfZerosDividesNothing) {
    const ChartDrawing zeros =
        layoutChart(chartData(settings(ChartType::Pie),
                              rowsOf({{QStringLiteral("01"), 0, 0}, {QStringLiteral("02"), 0, 0}})),
                    Area, {});
    EXPECT_TRUE(finite(zeros));
    EXPECT_TRUE(labelTexts(zeros).contains(QStringLiteral("Нет данных")));
    const ChartDrawing pie =
        layoutChart(chartData(settings(ChartType::Pie), rowsOf({{QStringLiteral("01"), 3, 0},
                                                                {QStringLiteral("02"), -1, 0},
                                                                {QStringLiteral("03"), 1, 0}})),
                    Area, {});
    EXPECT_TRUE(finite(pie));
    int slices = 0;
    for (const auto& shape : pie.shapes)
        slices += shape.stroke == QColor(Qt::white);
    EXPECT_EQ(slices, 2) << "a negative share gets no slice";
}

TEST(ChartLayout, TheFrameComesFirstAndIsTheSameForValuesOnTheSameScale) {
    for (ChartType type : {ChartType::Bar, ChartType::StackedBar, ChartType::Line, ChartType::Pie}) {
        const ChartData low = chartData(
            settings(type), rowsOf({{QStringLiteral("01"), 10, 20}, {QStringLiteral("02"), 30, 5}}));
        ChartData other = low; // other values on the same round scale (0 to 30, stacked 0 to 40)
        other.values = {{11, 28}, {19, 6}};
        ChartData higher = low;
        higher.values = {{10, 200}, {30, 5}};
        const ChartDrawing all = layoutChart(low, Area, {});
        const ChartDrawing values = layoutChart(other, Area, {}, ChartParts::Values);
        const ChartDrawing otherAll = layoutChart(other, Area, {});
        EXPECT_EQ(values.frameShapes + values.frameLabels, 0) << int(type);
        // The frame of one and the values of the other make the other whole.
        EXPECT_EQ(chartFrameKey(low), chartFrameKey(other)) << int(type);
        EXPECT_EQ(labelTexts(all).mid(0, all.frameLabels) + labelTexts(values), labelTexts(otherAll));
        ASSERT_EQ(all.frameShapes + values.shapes.size(), otherAll.shapes.size()) << int(type);
        for (qsizetype i = 0; i < otherAll.shapes.size(); ++i) {
            const ChartShape& shape =
                i < all.frameShapes ? all.shapes[i] : values.shapes[i - all.frameShapes];
            EXPECT_EQ(boundsOf(shape), boundsOf(otherAll.shapes[i])) << int(type) << ' ' << i;
            EXPECT_EQ(shape.fill, otherAll.shapes[i].fill);
        }
        EXPECT_GT(all.frameLabels, 0) << "title, legend and axes";
        if (type == ChartType::Pie)
            EXPECT_EQ(chartFrameKey(low), chartFrameKey(higher)) << "a pie has no value axis";
        else
            EXPECT_NE(chartFrameKey(low), chartFrameKey(higher)) << int(type) << " a scale of its own";
        ChartData renamed = low;
        renamed.categories[1] = QStringLiteral("03");
        EXPECT_NE(chartFrameKey(low), chartFrameKey(renamed));
    }
}

TEST(ChartReport, PreparedChartPaintsOnScreenAndInPdf) {
    ReportTemplate t;
    TemplateObject chart;
    chart.kind = ObjectKind::Chart;
    chart.rect = QRectF(0, 0, 400, 240);
    chart.chart = settings(ChartType::Line);
    t.bands << band(BandKind::ReportTitle, 250, {chart});
    Report report;
    report.setTemplate(t);
    report.setMemoryDataset(QStringLiteral("DATA"),
                            rowsOf({{QStringLiteral("01"), 1, 2}, {QStringLiteral("02"), 3, 4}}));
    ASSERT_TRUE(report.prepareReport());
    const PreparedPage page = report.preparedPages().page(0);
    ASSERT_EQ(page.objects.size(), 1);
    EXPECT_EQ(page.objects[0].kind, ObjectKind::Chart);
    EXPECT_EQ(decodeChart(page.objects[0].picture).categories,
              (QStringList{QStringLiteral("01"), QStringLiteral("02")}));

    const QImage image = chartImage(page.objects[0]);
    int coloured = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            coloured += QColor(image.pixel(x, y)).saturation() > 80;
    EXPECT_GT(coloured, 20) << "the series lines are drawn";

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.pdf"));
    writePdf(report.preparedPages(), path);
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF"));
}

TEST(ChartReport, AChartOfTheMasterRowsDataDiffersPageByPageOneOfFixedRowsStaysTheSame) {
    svod::test::TestDatabase db(db::Backend::SQLite);
    db.connection().execute(
        QStringList{QStringLiteral("CREATE TABLE VALS (KOD TEXT, MES TEXT, A REAL, B REAL)"),
                    QStringLiteral("INSERT INTO VALS VALUES ('01', 'Январь', 1, 2), ('01', 'Февраль', 3, 4), "
                                   "('02', 'Январь', 50, 60)")});
    ReportTemplate t;
    t.datasets << DatasetSpec{QStringLiteral("VALS"),
                              QStringLiteral("SELECT MES, A, B FROM VALS WHERE KOD = :KOD ORDER BY A"),
                              QStringLiteral("FIL")};
    TemplateObject own, fixed;
    own.kind = fixed.kind = ObjectKind::Chart;
    own.rect = QRectF(0, 0, 300, 200);
    fixed.rect = QRectF(0, 200, 300, 200);
    own.chart = fixed.chart = settings(ChartType::Bar);
    own.chart.dataset = QStringLiteral("VALS");
    own.chart.categoryField = QStringLiteral("MES");
    Band master = band(BandKind::MasterData, 400, {own, fixed}, QStringLiteral("FIL"));
    master.newPageAfter = true;
    t.bands << master;
    Report report;
    report.setConnection(&db.connection());
    report.setTemplate(t);
    RowSet branches;
    branches.fields = {QStringLiteral("KOD")};
    branches.rows = {{QStringLiteral("01")}, {QStringLiteral("02")}, {QStringLiteral("01")}};
    report.setMemoryDataset(QStringLiteral("FIL"), branches);
    report.setMemoryDataset(QStringLiteral("DATA"),
                            rowsOf({{QStringLiteral("x"), 7, 8}, {QStringLiteral("y"), 9, 10}}));
    ASSERT_TRUE(report.prepareReport());
    const PreparedPages& pages = report.preparedPages();
    ASSERT_EQ(pages.count(), 3);
    QList<ChartData> owns;
    for (int p = 0; p < 3; ++p) {
        const PreparedPage page = pages.page(p);
        ASSERT_EQ(page.objects.size(), 2);
        owns << decodeChart(page.objects[0].picture);
        const ChartData f = decodeChart(page.objects[1].picture);
        EXPECT_EQ(f.categories, (QStringList{QStringLiteral("x"), QStringLiteral("y")})) << p;
        EXPECT_EQ(f.values, (QList<QList<double>>{{7, 9}, {8, 10}})) << p;
    }
    EXPECT_EQ(owns[0].categories, (QStringList{QStringLiteral("Январь"), QStringLiteral("Февраль")}));
    EXPECT_EQ(owns[0].values, (QList<QList<double>>{{1, 3}, {2, 4}}));
    EXPECT_EQ(owns[1].categories, QStringList{QStringLiteral("Январь")});
    EXPECT_EQ(owns[1].values, (QList<QList<double>>{{50}, {60}}));
    EXPECT_EQ(owns[2], owns[0]);
}

TEST(ChartData, SeriesFromAFieldSumPerCategoryInTheOrderTheyCome) {
    ChartSettings s = settings(ChartType::StackedBar);
    s.categoryField = QStringLiteral("DD");
    s.valueFields = {QStringLiteral("SUMMA")};
    s.seriesField = QStringLiteral("KOD");
    RowSet rows;
    rows.fields = {QStringLiteral("DD"), QStringLiteral("KOD"), QStringLiteral("SUMMA")};
    // Dates as SQLite gives them (text) and as a server gives them.
    rows.rows = {{QStringLiteral("2005-01-31 00:00:00"), QStringLiteral("02"), 5},
                 {QStringLiteral("2005-01-31 00:00:00"), QStringLiteral("01"), 7},
                 {QStringLiteral("2005-01-31 00:00:00"), QStringLiteral("01"), 1},
                 {QDateTime(QDate(2005, 2, 28), QTime(0, 0)), QStringLiteral("01"), -3}};
    const ChartData d = chartData(s, rows);
    EXPECT_EQ(d.categories, (QStringList{QStringLiteral("31.01.2005"), QStringLiteral("28.02.2005")}));
    EXPECT_EQ(d.seriesTitles, (QStringList{QStringLiteral("02"), QStringLiteral("01")}));
    EXPECT_EQ(d.values, (QList<QList<double>>{{5, 0}, {8, -3}})) << "a branch missing in a month is 0";
    EXPECT_TRUE(finite(layoutChart(d, Area, FontSpec())));

    s.seriesField = QStringLiteral("NO_SUCH");
    EXPECT_THROW(chartData(s, rows), Error);
    rows.rows.clear();
    s.seriesField = QStringLiteral("KOD");
    EXPECT_TRUE(chartData(s, rows).categories.isEmpty());
}
