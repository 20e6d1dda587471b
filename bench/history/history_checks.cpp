// history_checks DB A.DBF B.DBF: loads a packet into the temporary tables as the reception does and
// times each check against the accepted history. Prints "name seconds rows" per check.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

#include "checks/HistoryChecks.h"
#include "db/Connection.h"
#include "db/Error.h"
#include "db/Schema.h"
#include "dbf/DbfTable.h"
#include "reception/DbCopy.h"
#include "reception/Interaction.h"
#include "reception/Replacement.h"

using namespace svod;

namespace {

class QuietInteraction : public reception::Interaction {
public:
    void message(reception::MessageKind, const QString&) override {}
    reception::Answer question(reception::MessageKind, const QString&, reception::Buttons) override {
        return reception::Answer::Yes;
    }
    QString chooseFile(const QString&, const QString&) override { return {}; }
    reception::PriemMode askPriemMode(QString&, bool) override { return reception::PriemMode::FromFile; }
    void showProtocol(const engine::TableData&) override {}
    void showProtocols(const QList<engine::TableData>&) override {}
};

void openTable(dbf::DbfTable& table, const QString& path) {
    const QFileInfo info(path);
    table.setReadOnly(true);
    table.setFilePath(info.absolutePath());
    table.setTableName(info.fileName());
    table.open();
}

int rowsOf(const checks::ProtocolStore& store, int before) {
    return store.count() > before ? int(store.protocols().last().rows.size()) : 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: history_checks DB A.DBF B.DBF\n");
        return 64;
    }
    try {
        db::Connection connection;
        connection.open(args[0]);
        const db::Dialect& d = connection.dialect();
        QuietInteraction ui;
        dbf::DbfTable a;
        dbf::DbfTable b;
        openTable(a, args[1]);
        openTable(b, args[2]);
        connection.execute(reception::statements::createTemp1(d));
        reception::DBCopy(a, connection, d.tempTable(QStringLiteral("TEMP1")), db::invColumnNames(), {}, ui,
                          {});
        connection.execute(reception::statements::createTemp2(d));
        reception::DBCopy(b, connection, d.tempTable(QStringLiteral("TEMP2")), db::balanceColumnNames(), {},
                          ui, {});
        connection.execute(d.indexTempTable(QStringLiteral("TEMP1"), {QStringLiteral("ID")}));
        connection.execute(d.indexLookupTemp(QStringLiteral("TEMP2"), reception::statements::temp2Key(),
                                             {QStringLiteral("DELTA"), QStringLiteral("SALDO")}));
        const QString code = a.fieldByName(QStringLiteral("KOD_F")).asText();
        a.first();

        checks::HistoryContext context;
        context.FilialCode = code;
        context.CurrencyFrom = DateValue::fromVariant(
            connection.scalar(QStringLiteral("select min(DD) from ") + d.tempTable(QStringLiteral("TEMP2")) +
                              QStringLiteral(" where KOD_F = '**'")));
        context.RoublesFrom = context.CurrencyFrom;
        checks::ProtocolStore store;
        QElapsedTimer timer;
        const auto report = [&](const char* name, int rows) {
            std::printf("%-28s %8.3f s %8d rows\n", name, double(timer.nsecsElapsed()) / 1e9, rows);
            std::fflush(stdout);
        };

        timer.start();
        context.limits = checks::loadBranchLimits(connection, code);
        const QString text =
            checks::invalidPeriodsText(context.limits, context.CurrencyFrom, context.RoublesFrom);
        report("ConfirmInvalidPeriods", text.isEmpty() ? 0 : 1);

        checks::HistoryChecks history(
            connection, store, context, [](const QString&) {}, [](const QString&) { return true; });
        int before = store.count();
        timer.start();
        history.CheckDeletedInInvalidPeriod();
        report("CheckDeletedInInvalidPeriod", rowsOf(store, before));
        before = store.count();
        timer.start();
        history.CheckBSTnotZero();
        report("CheckBSTnotZero", rowsOf(store, before));
        before = store.count();
        timer.start();
        history.CheckHasNegativeOSTST();
        report("CheckHasNegativeOSTST", rowsOf(store, before));
        connection.execute(QStringLiteral("update FILIALS set CHECK_TYPE = 1 where KOD = ") + d.quote(code));
        before = store.count();
        timer.start();
        history.CheckHasNegativeOSTST();
        report("CheckHasNegativeOSTST mode1", rowsOf(store, before));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 4;
    }
    return 0;
}
