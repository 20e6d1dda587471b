// Prepares a generated table report and writes it:
// report_bench ROWS OUT.pdf|OUT.xlsx [--csv FILE] [--total-pages]
// Prints pages, seconds (preparing, in all, exporting alone) and pages per second; --csv also
// writes the same rows as CSV for the peer. The processor seconds beside them change less with the
// load of a shared machine.
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "engine/DatasetReport.h"
#include "engine/Exports.h"

using namespace svod::engine;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: report_bench ROWS OUT [--csv FILE]\n");
        return 64;
    }
    const int rows = args[1].toInt();
    TableData table;
    table.title = QStringLiteral("Оборотная ведомость\r\n ");
    for (int c = 0; c < 12; ++c)
        table.columns << TableColumn{QStringLiteral("F%1").arg(c), QStringLiteral("Колонка %1").arg(c), 9,
                                     c >= 4};
    // Rows built as the protocol store builds them, each list reserved for its cells.
    table.rows.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QStringList cells;
        cells.reserve(12);
        for (int c = 0; c < 12; ++c)
            cells << (c >= 4 ? QStringLiteral("%1,%2").arg(r * 7 + c).arg(r % 100, 2, 10, QChar(u'0'))
                             : QStringLiteral("Текст %1-%2").arg(r).arg(c));
        table.rows << cells;
    }
    if (const qsizetype at = args.indexOf(QStringLiteral("--csv")); at > 0 && at + 1 < args.size()) {
        QFile csv(args[at + 1]);
        csv.open(QIODevice::WriteOnly);
        for (const auto& r : table.rows)
            csv.write(r.join(u';').toUtf8() + "\n");
    }
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuStart = std::clock();
    DatasetReport report;
    // "Page N of M" in the footer takes a counting pass first.
    if (args.contains(QStringLiteral("--total-pages")))
        report.settings().pageFooterText = QStringLiteral("Страница [PAGE] из [TOTALPAGES]");
    const PreparedPages& pages = report.prepare(table);
    const double prepared = timer.nsecsElapsed() / 1e9;
    const double preparedCpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    exportPages(pages, args[2]);
    const double total = timer.nsecsElapsed() / 1e9;
    const double totalCpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("rows=%d pages=%d prepare_s=%.3f total_s=%.3f pages_per_s=%.1f export_s=%.3f "
                "prepare_cpu_s=%.3f total_cpu_s=%.3f pages_per_cpu_s=%.1f\n",
                rows, pages.count(), prepared, total, pages.count() / total, total - prepared, preparedCpu,
                totalCpu, pages.count() / std::max(totalCpu, 1e-6));
    return 0;
}
