#include "checks/PacketChecks.h"

#include "db/Connection.h"
#include "db/Dialect.h"
#include "db/Formats.h"
#include "db/SqlHelpers.h"

namespace svod::checks {

namespace {

bool isSqlServer(const db::Dialect& d) {
    return d.backend() == db::Backend::SqlServer;
}

QString itemColumnsFromTemp1(const db::Dialect& d) {
    return QStringLiteral(
               "select A.ID, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE  from  ") +
           d.tempTable(QStringLiteral("TEMP1")) + QStringLiteral(" A  ");
}

// The control rows of two planes not dated the day before the selection date.
QString controlDates(const db::Dialect& d, const QString& planeA, const QString& planeB,
                     const QString& dayBefore) {
    return QStringLiteral("select B.ID, B.TYP, B.DD, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, "
                          "A.END_DATE  from  ") +
           d.tempTable(QStringLiteral("TEMP2")) + QStringLiteral(" B   left join ") +
           d.tempTable(QStringLiteral("TEMP1")) + QStringLiteral(" A on A.ID = B.ID  where ((B.TYP = '") +
           planeA + QStringLiteral("')or(B.TYP = '") + planeB + QStringLiteral("'))    and (B.DD <> ") +
           dayBefore + QStringLiteral(" ) ");
}

// PostgreSQL hashes the balance rows for the test of group 9 (TEMP2 has no index there): a
// condition that the correlation implies already keeps the other items' rows out of the hash.
QString groupNineOnly(const db::Dialect& d) {
    if (d.backend() != db::Backend::PostgreSQL)
        return {};
    return QStringLiteral("and B.ID in (select G.ID from ") + d.tempTable(QStringLiteral("TEMP1")) +
           QStringLiteral(" G where rtrim(G.GROUP1) = '9') ");
}

} // namespace

namespace statements {

QString doubleIdInA(const db::Dialect& d) {
    return itemColumnsFromTemp1(d) + QStringLiteral(" where (select count(*) from ") +
           d.tempTable(QStringLiteral("TEMP1")) + QStringLiteral(" B where B.ID = A.ID) > 1 ");
}

QString noRequiredFields(const db::Dialect& d) {
    return itemColumnsFromTemp1(d) +
           QStringLiteral(" where (A.BEG_DATE is null) or (A.TYPEM is null) or (A.KARD_NUM is null) or "
                          "(A.INV_NUM is null) or (A.NAME is null)");
}

QString bExistsInA(const db::Dialect& d) {
    if (d.backend() == db::Backend::SQLite) {
        // SQLite would probe TEMP1 once per row of B; its distinct items are fewer by far. The rows
        // keep the order of the file.
        const QString temp2 = d.tempTable(QStringLiteral("TEMP2"));
        return QStringLiteral("select B.ID,B.TYP,B.DD,B.SALDO,B.DELTA  from  ") + temp2 +
               QStringLiteral(" B   where B.KOD_F <> '**' and (B.ID is null or B.ID in (select X.ID from "
                              "(select distinct ID from ") +
               temp2 + QStringLiteral(") X where not exists (select * from ") +
               d.tempTable(QStringLiteral("TEMP1")) +
               QStringLiteral(" A where A.ID = X.ID))) order by B.rowid");
    }
    return QStringLiteral("select B.ID,B.TYP,B.DD,B.SALDO,B.DELTA  from  ") +
           d.tempTable(QStringLiteral("TEMP2")) +
           QStringLiteral(" B   where B.KOD_F <> '**' and not exists (select * from ") +
           d.tempTable(QStringLiteral("TEMP1")) + QStringLiteral(" A where A.ID = B.ID) ");
}

QString controlDatesCurrency(const db::Dialect& d, const DateValue& currencyFrom) {
    // SQL Server: (CONVERT(...)-1)
    return controlDates(d, QStringLiteral("5"), QStringLiteral("6"),
                        u'(' + d.dateLiteralPlusDays(currencyFrom, -1) + u')');
}

QString controlDatesRoubles(const db::Dialect& d, const DateValue& roublesFrom) {
    // SQL Server: (CONVERT(...))-1
    const QString dayBefore = isSqlServer(d)
                                  ? QString(u'(' + d.dateLiteral(roublesFrom) + QStringLiteral(")-1"))
                                  : QString(u'(' + d.dateLiteralPlusDays(roublesFrom, -1) + u')');
    return controlDates(d, QStringLiteral("7"), QStringLiteral("8"), dayBefore);
}

QString noGroup(const db::Dialect& d) {
    // SQL Server ignores trailing blanks when it compares texts; the others need rtrim for that.
    const QString blank =
        isSqlServer(d)
            ? QStringLiteral("isnull(A.GROUP1,' ') = ' ' ")
            : QString(QStringLiteral("rtrim(") + d.isnull(QStringLiteral("A.GROUP1"), QStringLiteral("' '")) +
                      QStringLiteral(") = '' "));
    return itemColumnsFromTemp1(d) + QStringLiteral(" where ") + blank;
}

QString noShifr(const db::Dialect& d) {
    const QString group =
        isSqlServer(d) ? QStringLiteral("(A.GROUP1 <> '9')") : QStringLiteral("(rtrim(A.GROUP1) <> '9')");
    return itemColumnsFromTemp1(d) + QStringLiteral(" where ") + group + QStringLiteral(" and (rtrim(") +
           d.isnull(QStringLiteral("A.AMKOD"), QStringLiteral("''")) + QStringLiteral(")) = '' ");
}

QString hasAmortIn9Group(const db::Dialect& d) {
    // The plane is text: only SQL Server converts it for a comparison with a number.
    const QString planes = isSqlServer(d) ? QStringLiteral("(B.TYP = 2 or B.TYP = 4)")
                                          : QStringLiteral("(B.TYP = '2' or B.TYP = '4')");
    const QString group =
        isSqlServer(d) ? QStringLiteral("(A.GROUP1 = '9')") : QStringLiteral("(rtrim(A.GROUP1) = '9')");
    return QStringLiteral(
               "select A.ID, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE  from  ") +
           d.tempTable(QStringLiteral("TEMP1")) + QStringLiteral(" A  where ") + group +
           QStringLiteral("  and exists(select B.ID from ") + d.tempTable(QStringLiteral("TEMP2")) +
           QStringLiteral(" B where B.ID = A.ID and (B.DD > A.BEG_DATE) and ") + planes +
           QStringLiteral(" and (B.SALDO <> 0) and (B.DELTA > 0) ") + groupNineOnly(d) + u')';
}

QString hasAmortIn9GroupByScan(const db::Dialect& d) {
    // The same rows in the same order as hasAmortIn9Group: each item row of TEMP1 judged by its
    // own BEG_DATE, found through TEMP1's index on ID while TEMP2 is read once.
    const QString temp1 = d.tempTable(QStringLiteral("TEMP1"));
    return QStringLiteral(
               "select A.ID, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE  from  ") +
           temp1 + QStringLiteral(" A  where (rtrim(A.GROUP1) = '9')  and A.rowid in (select G.rowid from ") +
           d.tempTable(QStringLiteral("TEMP2")) + QStringLiteral(" B cross join ") + temp1 +
           QStringLiteral(" G on G.ID = B.ID where (rtrim(G.GROUP1) = '9') and (B.DD > G.BEG_DATE) and "
                          "(B.TYP = '2' or B.TYP = '4') and (B.SALDO <> 0) and (B.DELTA > 0))");
}

} // namespace statements

PacketChecks::PacketChecks(db::Connection& connection, ProtocolStore& store, CheckContext context,
                           InfoFunction info)
    : connection_(connection), store_(store), context_(std::move(context)), info_(std::move(info)) {}

void PacketChecks::run(const QString& sql, const QString& title) {
    QSqlQuery result = connection_.query(sql);
    if (!result.next())
        return;
    NewShowErr(store_, context_.header, title, result);
}

void PacketChecks::CheckDouble_ID_In_A() {
    info_(QStringLiteral("Проверка задвоенных ID в пакете данных"));
    run(statements::doubleIdInA(connection_.dialect()),
        QStringLiteral("Обнаружены задвоенные идентификаторы (ID) в файле \"A\" принимаемого пакета."));
}

void PacketChecks::CheckNoRequredFields() {
    info_(QStringLiteral("Проверка заполнения обязательных полей"));
    run(statements::noRequiredFields(connection_.dialect()),
        QStringLiteral("Обнаружены позиции с незаполненными обязательными полями."));
}

void PacketChecks::CheckBExistsInA() {
    info_(QStringLiteral("Проверка полноты номенклатуры в пакете данных"));
    run(statements::bExistsInA(connection_.dialect()),
        QStringLiteral("В файле \"A\" не обнаружены идентификаторы (ID), содержащиеся в файле \"B\" "
                       "принимаемого пакета."));
}

void PacketChecks::CheckCorrectDateAndPL() {
    if (!context_.HasControlPlanes)
        return;
    info_(QStringLiteral("Проверка корректности контрольных остатков"));
    const db::Dialect& d = connection_.dialect();
    if (context_.CurrencyFrom.isPresent())
        run(statements::controlDatesCurrency(d, context_.CurrencyFrom),
            QStringLiteral("Ошибка формата контрольных остатков (валюта). Дата остатка не равна ") +
                formatDate(context_.CurrencyFrom.dayOnly().addDays(-1)));
    if (context_.RoublesFrom.isPresent())
        run(statements::controlDatesRoubles(d, context_.RoublesFrom),
            QStringLiteral("Ошибка формата контрольных остатков (рубли). Дата остатка не равна ") +
                formatDate(context_.RoublesFrom.dayOnly().addDays(-1)));
}

void PacketChecks::CheckNoGroup() {
    info_(QStringLiteral("Проверка заполнения кода группы по МСФО"));
    run(statements::noGroup(connection_.dialect()),
        QStringLiteral("Обнаружены позиции с пустым кодом группы по МСФО."));
}

void PacketChecks::CheckNoShifr() {
    info_(QStringLiteral("Проверка заполнения шифра"));
    run(statements::noShifr(connection_.dialect()), QStringLiteral("Обнаружены позиции с пустым шифром."));
}

void PacketChecks::CheckHasAMORT_In9Group() {
    info_(QStringLiteral("Проверка на наличие износа по 9 группе"));
    const db::Dialect& d = connection_.dialect();
    run(context_.balanceRowsUnindexed && d.backend() == db::Backend::SQLite
            ? statements::hasAmortIn9GroupByScan(d)
            : statements::hasAmortIn9Group(d),
        QStringLiteral("Обнаружены позиции из 9-ой группы с движениями по износу."));
}

} // namespace svod::checks
