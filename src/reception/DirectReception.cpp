#include "reception/DirectReception.h"

#include <QSqlQuery>
#include <QStringList>

#include "checks/HistoryChecks.h"
#include "db/Branches.h"
#include "db/Connection.h"
#include "db/Dialect.h"
#include "reception/Interaction.h"
#include "reception/PacketScan.h"
#include "reception/ReceptionService.h"
#include "reception/Replacement.h"

namespace svod::reception {

namespace {

const QString ItemColumns = QStringLiteral(
    "ID,KOD_F,TYPEM,KARD_NUM,INV_NUM,VNESH_NUM,BEG_DATE,END_DATE,NAME,PRICEVAL,LOSS,NDS,S_NALOG,AMKOD,"
    "NORM_KOD,REMARK,N_A,KOD_OKOF,GROUP1,GROUP2,GROUP3,GROUP4,GROUP5,SROK_DATE,POLUCH,VIBIV,BSN,FACT_DATE,"
    "SROK_DATE2");

// Values of the first column of every row.
QStringList firstColumn(db::Connection& connection, const QString& sql) {
    QSqlQuery query = connection.query(sql);
    QStringList values;
    while (query.next())
        values << query.value(0).toString();
    return values;
}

// The one branch code of a staging table, or a PacketError with the table's messages.
QString uniqueCode(db::Connection& connection, const QString& sql, const QString& emptyTable,
                   const QString& notUnique, const QString& emptyCode) {
    const QStringList codes = firstColumn(connection, sql);
    if (codes.isEmpty())
        throw PacketError(emptyTable);
    if (codes.size() > 1)
        throw PacketError(notUnique);
    if (trimControl(codes.front()).isEmpty())
        throw PacketError(emptyCode);
    return codes.front();
}

void requireStaging(db::Connection& connection, const QString& prefix, const QString& table) {
    const QVariant exists = connection.scalar(statements::stagingExists(connection.dialect(), prefix, table));
    if (!exists.isValid() || exists.toInt() == 0)
        throw PacketError(QStringLiteral("Данные для приема отсутствуют (") + table + QStringLiteral(")."));
}

} // namespace

namespace statements {

QString stagingExists(const db::Dialect& d, const QString& prefix, const QString& table) {
    return d.tableExistsQuery(prefix + table);
}

QString stagingItemCodes(const QString& prefix) {
    return QStringLiteral("select distinct KOD_F from ") + prefix + StagingItems + u' ';
}

QString stagingDuplicateIds(const QString& prefix) {
    return QStringLiteral("select ID,count(*) from ") + prefix + StagingItems +
           QStringLiteral(" where KOD_F <>'**' group by ID having count(*) > 1");
}

QString stagingMovementCodes(const QString& prefix) {
    return QStringLiteral("select distinct KOD_F from ") + prefix + StagingMovements +
           QStringLiteral(" where KOD_F <> '**'");
}

QString stagingHeaderDate(const QString& prefix, const QString& plane) {
    return QStringLiteral("select DD from ") + prefix + StagingMovements +
           QStringLiteral(" where KOD_F = '**' and TYP = '") + plane + u'\'';
}

QString stagingPlaneDates(const QString& prefix, const QString& plane) {
    return QStringLiteral("select MAX(DD) AS MAXDD,MIN(DD) AS MINDD from ") + prefix + StagingMovements +
           QStringLiteral(" where KOD_F <> '**' and TYP = '") + plane + u'\'';
}

QString fillTemp1FromStaging(const db::Dialect& d, const QString& prefix) {
    return QStringLiteral("insert into ") + d.tempTable(QStringLiteral("TEMP1")) + QStringLiteral(" (") +
           ItemColumns + QStringLiteral(") select ") + ItemColumns + QStringLiteral(" from ") + prefix +
           StagingItems + u' ';
}

QString fillTemp2FromStaging(const db::Dialect& d, const QString& prefix) {
    return QStringLiteral("insert into ") + d.tempTable(QStringLiteral("TEMP2")) +
           QStringLiteral(" (ID,KOD_F,DD,TYP,SALDO,DELTA) select ID,KOD_F,DD,TYP,SALDO,DELTA from ") +
           prefix + StagingMovements + QStringLiteral(" where KOD_F <> '**'");
}

QString dropStaging(const QString& prefix, const QString& table) {
    return QStringLiteral("drop table ") + prefix + table;
}

} // namespace statements

QString trimControl(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] <= u' ')
        ++begin;
    while (end > begin && text[end - 1] <= u' ')
        --end;
    return text.mid(begin, end - begin);
}

void AssignDates(db::Connection& connection, const QString& prefix, const QString& plane, DateValue& minimum,
                 DateValue& maximum) {
    QSqlQuery query = connection.query(statements::stagingPlaneDates(prefix, plane));
    if (!query.next())
        return;
    if (!query.value(0).isNull())
        maximum = DateValue::fromVariant(query.value(0)).dayOnly();
    if (!query.value(1).isNull())
        minimum = DateValue::fromVariant(query.value(1)).dayOnly();
}

void GetPeriodNew(db::Connection& connection, const QString& prefix, ReceptionState& state,
                  Interaction& interaction) {
    state.resetPeriods();
    // Staging tables come from the newer program's export.
    state.FromKvaro = true;
    showStage(interaction, QStringLiteral("Определение периода движений"));
    const auto headerDate = [&](const QString& plane, DateValue& from) {
        QSqlQuery query = connection.query(statements::stagingHeaderDate(prefix, plane));
        if (!query.next())
            return;
        state.NewFormat = true;
        from = DateValue::fromVariant(query.value(0)).dayOnly();
    };
    headerDate(QStringLiteral("1"), state.CurrencyFrom);
    headerDate(QStringLiteral("3"), state.RoublesFrom);
    for (int plane = 1; plane <= 4; ++plane)
        AssignDates(connection, prefix, QString::number(plane), state.MinDD[plane - 1],
                    state.MaxDD[plane - 1]);
}

void fillTempTablesFromStaging(db::Connection& connection, const QString& prefix, Interaction& interaction) {
    const db::Dialect& d = connection.dialect();
    showStage(interaction, QStringLiteral("Создание таблиц приема"));
    connection.execute(d.selectTop0IntoTemp(QStringLiteral("TEMP1"), QStringLiteral("INV")));
    connection.execute(statements::createTemp2(d));
    showStage(interaction, QStringLiteral("Перенос номенклатуры в таблицу приема"));
    connection.execute(statements::fillTemp1FromStaging(d, prefix));
    showStage(interaction, QStringLiteral("Перенос оборотов в таблицу приема"));
    connection.execute(statements::fillTemp2FromStaging(d, prefix));
}

void dropStagingTables(db::Connection& connection, const QString& prefix) {
    for (const QString& table : {StagingItems, StagingMovements}) {
        try {
            connection.execute(statements::dropStaging(prefix, table));
        } catch (const Error&) {
            // The reception is committed; a table left behind is dropped by its next filling.
        }
    }
}

void LoadPacketDirect(ReceptionService& service, db::Connection& connection, Interaction& interaction) {
    ReceptionState& state = service.state();
    const QString& prefix = service.tablesOwnerPrefix();
    requireStaging(connection, prefix, StagingItems);
    requireStaging(connection, prefix, StagingMovements);
    state.FilialCode = uniqueCode(connection, statements::stagingItemCodes(prefix),
                                  QStringLiteral("Таблица номенклатуры пуста."),
                                  QStringLiteral("Неуникальный код филиала в таблице номенклатуры."),
                                  QStringLiteral("Пустой код филиала в таблице номенклатуры."));
    {
        QSqlQuery duplicates = connection.query(statements::stagingDuplicateIds(prefix));
        if (duplicates.next())
            throw PacketError(QStringLiteral("Неуникальный ID в таблице номенклатуры."));
    }
    // The movements decide the branch; the items' code is not compared with it.
    state.FilialCode = uniqueCode(connection, statements::stagingMovementCodes(prefix),
                                  QStringLiteral("Таблица оборотов пуста."),
                                  QStringLiteral("Неуникальный код филиала в таблице оборотов."),
                                  QStringLiteral("Пустой код филиала в таблице оборотов."));
    state.FilialName = db::GetFilName(connection, state.FilialCode);
    // Deleted items are judged against the branch's own limits, as in a file-mode reception.
    const checks::BranchLimits limits = checks::loadBranchLimits(connection, state.FilialCode);
    state.CurrencyLimit = limits.CurrencyLimit;
    state.RoublesLimit = limits.RoublesLimit;
    GetPeriodNew(connection, prefix, state, interaction);

    const QString confirmation = QStringLiteral("Подтвердите прием данных по филиалу:\r\n ") +
                                 state.FilialCode + QStringLiteral(" ") + state.FilialName +
                                 QStringLiteral("\r\n") + GetPeriodsTexts(state);
    if (interaction.question(MessageKind::Question, confirmation, Buttons::OkCancel) == Answer::Ok) {
        state.ReceptionOk = false;
        try {
            interaction.execute([&service] { service.priemNEW(); });
        } catch (...) {
            service.dropTempTables();
            throw;
        }
        service.dropTempTables();
        if (state.ReceptionOk)
            interaction.message(MessageKind::Info, QStringLiteral("Прием данных успешно завершен."));
    }
    interaction.setStatus(QStringLiteral(" "));
}

} // namespace svod::reception
