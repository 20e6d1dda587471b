// A report of one page per row with a chart on every page, prepared and written to PDF, against the
// same report without its chart, in the same run:
// chart_bench PAGES OUT_DIR [--charts-only | --plain-only | --distinct-only]
// Prints each kind's pages, seconds and pages per second (the fastest of five runs), and the ratio
// of the speeds; also the same with a different chart on every page.
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <cstdio>

#include "engine/Chart.h"
#include "engine/Exports.h"
#include "engine/Report.h"

using namespace svod::engine;

namespace {

TemplateObject text(const QRectF& rect, const QString& value, double size = 10) {
    TemplateObject o;
    o.rect = rect;
    o.text = value;
    o.font.sizePt = size;
    return o;
}

// One master row a page: a heading, a few figures and, when asked, a bar chart of twelve months
// in three series under them.
ReportTemplate pageTemplate(bool withChart) {
    ReportTemplate t;
    Band band;
    band.kind = BandKind::MasterData;
    band.dataset = QStringLiteral("PAGES");
    band.height = 700;
    band.newPageAfter = true;
    band.objects << text(QRectF(0, 0, 500, 24), QStringLiteral("Филиал [NAME]"), 14)
                 << text(QRectF(0, 30, 250, 16), QStringLiteral("Остаточная стоимость: [VALUE]"))
                 << text(QRectF(260, 30, 250, 16), QStringLiteral("Износ: [WEAR]"));
    if (withChart) {
        TemplateObject chart;
        chart.kind = ObjectKind::Chart;
        chart.rect = QRectF(0, 60, 520, 360);
        chart.chart.type = ChartType::Bar;
        chart.chart.dataset = QStringLiteral("MONTHS");
        chart.chart.categoryField = QStringLiteral("MONTH");
        chart.chart.valueFields = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
        chart.chart.seriesTitles = {QStringLiteral("Здания"), QStringLiteral("Машины"),
                                    QStringLiteral("Прочие")};
        chart.chart.title = QStringLiteral("Остаточная стоимость по месяцам");
        chart.chart.numberFormat = QStringLiteral("#,##0");
        band.objects << chart;
    }
    t.bands << band;
    return t;
}

RowSet pagesRows(int pages) {
    RowSet rows;
    rows.fields = {QStringLiteral("NAME"), QStringLiteral("VALUE"), QStringLiteral("WEAR")};
    for (int i = 0; i < pages; ++i)
        rows.rows << QVariantList{QStringLiteral("№%1").arg(i + 1), 1000.0 * i + 0.5, 10.0 * i};
    return rows;
}

RowSet monthRows() {
    RowSet rows;
    rows.fields = {QStringLiteral("MONTH"), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    for (int m = 1; m <= 12; ++m)
        rows.rows << QVariantList{QStringLiteral("%1.2005").arg(m, 2, 10, QChar(u'0')), 1000.0 * m,
                                  700.0 + 50 * m, 300.0 - 10 * m};
    return rows;
}

struct Timing {
    int pages = 0;
    double prepare = 0, total = 0;
};

// Seconds to prepare and to write the report, and the pages made.
Timing run(bool withChart, int pages, const QString& path) {
    QElapsedTimer timer;
    timer.start();
    Report report;
    report.setTemplate(pageTemplate(withChart));
    report.setMemoryDataset(QStringLiteral("PAGES"), pagesRows(pages));
    report.setMemoryDataset(QStringLiteral("MONTHS"), monthRows());
    report.prepareReport();
    Timing t;
    t.prepare = timer.nsecsElapsed() / 1e9;
    exportPages(report.preparedPages(), path);
    t.total = timer.nsecsElapsed() / 1e9;
    t.pages = report.preparedPages().count();
    return t;
}

// The worst case for the PDF writer: no two pages' charts alike. The prepared charts get values of
// their own page (not timed), then the pages are written.
Timing runDistinct(int pages, const QString& path) {
    Report report;
    report.setTemplate(pageTemplate(true));
    report.setMemoryDataset(QStringLiteral("PAGES"), pagesRows(pages));
    report.setMemoryDataset(QStringLiteral("MONTHS"), monthRows());
    QElapsedTimer timer;
    timer.start();
    report.prepareReport();
    Timing t;
    t.prepare = timer.nsecsElapsed() / 1e9;
    PreparedPages distinct;
    for (int p = 0; p < report.preparedPages().count(); ++p) {
        PreparedPage page = report.preparedPages().page(p);
        for (auto& o : page.objects)
            if (o.kind == ObjectKind::Chart) {
                ChartData data = decodeChart(o.picture);
                for (auto& series : data.values)
                    for (double& v : series)
                        v *= 1 + p / 997.0;
                o.picture = encodeChart(data);
            }
        distinct.addPage(page);
    }
    timer.restart();
    exportPages(distinct, path);
    t.total = t.prepare + timer.nsecsElapsed() / 1e9;
    t.pages = distinct.count();
    return t;
}

void print(const char* name, const Timing& t) {
    std::printf("%s pages=%d prepare_s=%.3f pdf_s=%.3f total_s=%.3f pages_per_s=%.1f\n", name, t.pages,
                t.prepare, t.total - t.prepare, t.total, t.pages / t.total);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: chart_bench PAGES OUT_DIR\n");
        return 64;
    }
    const int pages = args[1].toInt();
    const QDir out(args[2]);
    // Alone, for the peak memory of the run with charts.
    if (args.contains(QStringLiteral("--charts-only"))) {
        print("with_charts", run(true, pages, out.filePath(QStringLiteral("charts.pdf"))));
        return 0;
    }
    // One kind alone, for a profiler.
    if (args.contains(QStringLiteral("--plain-only"))) {
        print("without_charts", run(false, pages, out.filePath(QStringLiteral("plain.pdf"))));
        return 0;
    }
    if (args.contains(QStringLiteral("--distinct-only"))) {
        print("with_distinct_charts", runDistinct(pages, out.filePath(QStringLiteral("distinct.pdf"))));
        return 0;
    }
    // Each kind five times in turn, the fastest kept: the machine is shared.
    Timing plain, charts, distinct;
    for (int i = 0; i < 5; ++i) {
        const Timing p = run(false, pages, out.filePath(QStringLiteral("plain.pdf")));
        const Timing c = run(true, pages, out.filePath(QStringLiteral("charts.pdf")));
        const Timing d = runDistinct(pages, out.filePath(QStringLiteral("distinct.pdf")));
        if (i == 0 || p.total < plain.total)
            plain = p;
        if (i == 0 || c.total < charts.total)
            charts = c;
        if (i == 0 || d.total < distinct.total)
            distinct = d;
    }
    print("without_charts", plain);
    print("with_charts", charts);
    print("with_distinct_charts", distinct);
    const double plainSpeed = plain.pages / plain.total;
    std::printf("speed_ratio=%.2f (goal: at least 0.50)\n", (charts.pages / charts.total) / plainSpeed);
    std::printf("distinct_speed_ratio=%.2f (every page's chart different: no chart drawn once for many "
                "pages)\n",
                (distinct.pages / distinct.total) / plainSpeed);
    return 0;
}
