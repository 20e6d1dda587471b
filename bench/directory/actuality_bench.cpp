// The data actuality view over many branches and balance rows: the time from the command to the
// rows in the grid, measured on the window itself (offscreen).
// Usage: actuality_bench CONNECTION generate BRANCHES ROWS   fills an empty database (SQL-side)
//        actuality_bench CONNECTION query                    prints the view's statement
//        actuality_bench CONNECTION show [RUNS]              best time of RUNS openings after a first
//                                                            one, seconds
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "db/Connection.h"
#include "db/Schema.h"
#include "directory/Actuality.h"
#include "directory/QueryTable.h"
#include "reception/Interaction.h"
#include "widgets/DataGrid.h"
#include "windows/BranchDirectoryWindow.h"

using namespace svod;

namespace {
class SilentInteraction final : public reception::Interaction {
public:
    void message(reception::MessageKind, const QString& text) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    reception::Answer question(reception::MessageKind, const QString&, reception::Buttons) override {
        return reception::Answer::Cancel;
    }
    QString chooseFile(const QString&, const QString&) override { return {}; }
    reception::PriemMode askPriemMode(QString&, bool) override { return reception::PriemMode::Cancelled; }
    void showProtocol(const engine::TableData&) override {}
    void showProtocols(const QList<engine::TableData>&) override {}
};

// Branch number N as a two-character code: 00 … ZZ.
QString codeExpression(db::Backend backend, const QString& n) {
    const QString alphabet = QStringLiteral("'0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ'");
    if (backend == db::Backend::SQLite)
        return QStringLiteral("substr(%1, %2 / 36 + 1, 1) || substr(%1, %2 % 36 + 1, 1)").arg(alphabet, n);
    return QStringLiteral("substr(%1, (%2 / 36)::int + 1, 1) || substr(%1, (%2 % 36)::int + 1, 1)")
        .arg(alphabet, n);
}

// Balance rows of one table: each item has 12 month-end rows on two planes; items go round the
// branches.
QString balanceInsert(db::Backend backend, const QString& table, int firstPlane, qint64 rows, int branches) {
    // Built by concatenation: printf's "%02d" would read as a placeholder of QString::arg.
    const QString item = QStringLiteral("(n / 24)");
    const QString branch = codeExpression(backend, item + QStringLiteral(" % ") + QString::number(branches));
    const QString plane = QString::number(firstPlane) + QStringLiteral(" + (n / 12) % 2");
    if (backend == db::Backend::SQLite)
        return QStringLiteral("insert into ") + table +
               QStringLiteral(
                   " (ID, KOD_F, DD, TYP, SALDO, DELTA) with recursive s(n) as (select 0 union all "
                   "select n + 1 from s where n + 1 < ") +
               QString::number(rows) + QStringLiteral(") select printf('I%08d', ") + item +
               QStringLiteral("), ") + branch +
               QStringLiteral(", printf('2005-%02d-01 00:00:00', n % 12 + 1), cast(") + plane +
               QStringLiteral(" as text), 1000.5, -10.25 from s");
    return QStringLiteral("insert into ") + table +
           QStringLiteral(" (ID, KOD_F, DD, TYP, SALDO, DELTA) select 'I' || lpad(") + item +
           QStringLiteral("::text, 8, '0'), ") + branch +
           QStringLiteral(", timestamp '2005-01-01' + make_interval(months => (n % 12)::int), (") + plane +
           QStringLiteral(")::text, 1000.5, -10.25 from generate_series(0::bigint, ") +
           QString::number(rows - 1) + QStringLiteral(") as g(n)");
}

void generate(db::Connection& c, int branches, qint64 rows) {
    db::createSchema(c);
    const db::Backend b = c.backend();
    QElapsedTimer timer;
    timer.start();
    db::Transaction transaction(c);
    c.execute(QStringLiteral("delete from FILIALS"));
    const QString series =
        b == db::Backend::SQLite
            ? QStringLiteral("with recursive s(n) as (select 0 union all select n + 1 from s "
                             "where n + 1 < %1) select %2, 'Филиал ' || n from s")
            : QStringLiteral("select %2, 'Филиал ' || n from generate_series(0, %1 - 1) as g(n)");
    c.execute(QStringLiteral("insert into FILIALS (KOD, NAZVANIE) ") +
              series.arg(branches).arg(codeExpression(b, QStringLiteral("n"))));
    c.execute(balanceInsert(b, QStringLiteral("INV_OST"), 1, rows / 2, branches));
    c.execute(balanceInsert(b, QStringLiteral("INV_OST3"), 3, rows - rows / 2, branches));
    // Inflation revaluations for a tenth of the items.
    c.execute(balanceInsert(b, QStringLiteral("INV_INFL"), 5, rows / 20, branches));
    transaction.commit();
    c.execute(QStringLiteral("analyze"));
    std::printf("generated %d branches, %lld balance rows in %.1f s\n", branches,
                static_cast<long long>(rows), timer.elapsed() / 1000.0);
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 64;
    db::Connection connection;
    connection.open(args[1]);
    if (args[2] == QLatin1String("generate") && args.size() == 5) {
        generate(connection, args[3].toInt(), args[4].toLongLong());
        return 0;
    }
    if (args[2] == QLatin1String("query")) {
        std::printf("%s;\n", qPrintable(directory::actualityQuery(connection.dialect())));
        return 0;
    }
    if (args[2] == QLatin1String("read")) {
        // The statement and the rows into the view's table, without a window.
        QElapsedTimer timer;
        timer.start();
        directory::QueryTable table;
        table.open(connection, directory::actualityQuery(connection.dialect()));
        std::printf("%.3f %d\n", timer.nsecsElapsed() / 1e9, table.rowCount());
        return 0;
    }
    if (args[2] != QLatin1String("show"))
        return 64;
    const int runs = args.size() > 3 ? args[3].toInt() : 3;
    SilentInteraction interaction;
    double best = 1e9;
    int rows = 0;
    // The first opening loads fonts and styles once per process; the program has done that long
    // before a user opens the view.
    for (int i = -1; i < runs; ++i) {
        windows::BranchDirectoryWindow window(connection, interaction, {});
        window.show();
        QElapsedTimer timer;
        timer.start();
        window.RunAKT();
        QApplication::processEvents(); // the rows painted
        if (i >= 0)
            best = std::min(best, timer.nsecsElapsed() / 1e9);
        rows = window.grid()->model()->rowCount();
    }
    std::printf("%.3f %d\n", best, rows);
    return 0;
}
