#include "checks/HistoryChecks.h"

#include "checks/ResidualCandidates.h"

#include <QDateTime>
#include <cmath>

#include "db/Connection.h"
#include "db/Dialect.h"
#include "db/Formats.h"

namespace svod::checks {

namespace {

bool isSqlServer(const db::Dialect& d) {
    return d.backend() == db::Backend::SqlServer;
}

QString temp1(const db::Dialect& d) {
    return d.tempTable(QStringLiteral("TEMP1"));
}

QString temp2(const db::Dialect& d) {
    return d.tempTable(QStringLiteral("TEMP2"));
}

// The packet's turnovers of a plane up to a date column of the outer row, NULL read as 0.
QString packetTurnovers(const db::Dialect& d, const QString& plane, const QString& upTo) {
    return d.isnull(QStringLiteral("(Select SUM(B.DELTA) From ") + temp2(d) +
                        QStringLiteral(" B WHERE A.ID=B.ID AND B.TYP='") + plane +
                        QStringLiteral("' AND B.DD<=") + upTo + u')',
                    QStringLiteral("0"), true);
}

bool isPostgres(const db::Dialect& d) {
    return d.backend() == db::Backend::PostgreSQL;
}

// PostgreSQL sums the packet's turnovers of a plane up to each row's date in one pass over the
// packet sorted by item and date instead of one look-up per row, so TEMP2 needs no index: the
// window's frame (up to the row's date, rows of that same date included) holds exactly the rows
// B.DD <= A.DD of the same item; a row without an item or a date gets none, as the comparison
// with NULL gives. `source` holds the turnover rows (DELTA) and the rows the sum is wanted for
// (KEEP = 1, DELTA NULL) with the columns ID, DD, DELTA, KEEP and `rows`; the result is W.
QString runningTurnovers(const QString& source, const QString& rows) {
    return QStringLiteral("(select ") + rows +
           QStringLiteral(",case when R.ID is not null and R.DD is not null then sum(R.DELTA) over "
                          "(partition by R.ID order by R.DD) end as TURNOVER from (") +
           source + QStringLiteral(") R) W");
}

// The depreciation rows of plane `plane` (one pass over TEMP2) with the turnovers of plane
// `turnoverPlane` up to their date and the accepted balance OPENING before `from`, looked up once
// per item of the packet: rows of other items never pass the join with TEMP1 that ends the check.
// Only rows that can fall below `threshold` come out: OPENING + TURNOVER - SALDO < threshold needs
// TURNOVER - SALDO below threshold minus the packet's lowest opening, which leaves out nearly every
// row before the openings are joined.
QString depreciationWithTurnovers(const db::Dialect& d, const QString& turnoverPlane, const QString& plane,
                                  const DateValue& from, const QString& threshold, bool candidatesOnly) {
    // The items of the rows ResidualCandidates found; the others' rows never fall below.
    const QString items = candidatesOnly
                              ? QString(QStringLiteral(" and B.ID in (select C.ID from ") +
                                        d.tempTable(ResidualCandidatesTable) + QStringLiteral(" C)"))
                              : QString();
    const QString source = QStringLiteral("select B.ID,B.DD,case when B.TYP='") + turnoverPlane +
                           QStringLiteral("' then B.DELTA end as DELTA,case when B.TYP='") + plane +
                           QStringLiteral("' then 1 else 0 end as KEEP,B.TYP,B.SALDO from ") + temp2(d) +
                           QStringLiteral(" B where B.TYP in ('") + turnoverPlane + QStringLiteral("','") +
                           plane + QStringLiteral("')") + items;
    const QString opening = d.ostat(QStringLiteral("I.ID"), from, turnoverPlane.toInt());
    const QString packetItems =
        QStringLiteral(" from (select distinct ID from ") + temp1(d) + QStringLiteral(") I");
    return QStringLiteral("(select W.ID,W.DD,W.TYP,W.SALDO,W.TURNOVER,O.OPENING from ") +
           runningTurnovers(source, QStringLiteral("R.ID,R.DD,R.TYP,R.SALDO,R.KEEP")) +
           QStringLiteral(" left join (select I.ID,") + opening + QStringLiteral(" as OPENING") +
           packetItems +
           QStringLiteral(
               ") O on O.ID = W.ID where W.KEEP = 1 and coalesce(W.TURNOVER,0) - coalesce(W.SALDO,0) < ") +
           threshold + QStringLiteral(" - (select coalesce(min(") + opening + QStringLiteral("),0)") +
           packetItems + QStringLiteral("))");
}

// The packet's items with the turnovers of plane `turnoverPlane` up to their BEG_DATE.
QString itemsWithTurnovers(const db::Dialect& d, const QString& turnoverPlane) {
    const QString item = QStringLiteral("TYPEM,KARD_NUM,INV_NUM,NAME,BEG_DATE,END_DATE");
    const QString source = QStringLiteral("select B.ID,B.DD,B.DELTA,0 as KEEP,null as TYPEM,null as KARD_NUM,"
                                          "null as INV_NUM,null as NAME,null as BEG_DATE,null as END_DATE "
                                          "from ") +
                           temp2(d) + QStringLiteral(" B where B.TYP='") + turnoverPlane +
                           QStringLiteral("' union all select A.ID,A.BEG_DATE,null,1,A.") +
                           QString(item).replace(u',', QStringLiteral(",A.")) + QStringLiteral(" from ") +
                           temp1(d) + QStringLiteral(" A");
    return QStringLiteral("(select W.ID,W.") + QString(item).replace(u',', QStringLiteral(",W.")) +
           QStringLiteral(",W.TURNOVER from ") +
           runningTurnovers(source, QStringLiteral("R.ID,R.DD,R.KEEP,R.") +
                                        QString(item).replace(u',', QStringLiteral(",R."))) +
           QStringLiteral(" where W.KEEP = 1)");
}

} // namespace

namespace statements {

QString filialVarDate(const db::Dialect& d, const QString& column, const QString& code) {
    return QStringLiteral("select A.") + column + QStringLiteral(" from FILIALS A where A.KOD = ") +
           d.quote(code);
}

QString varNum(const db::Dialect& d, const QString& label, const DateValue& date) {
    return QStringLiteral("select A.NVARVALUE from CLT A where A.LABEL = ") + d.quote(label) +
           QStringLiteral(" and DD = ") +
           QStringLiteral(" (select MAX(B.DD) from CLT B where B.LABEL = A.LABEL and B.DD <= ") +
           d.dateLiteral(date) + u')';
}

QString deletedInInvalidPeriod(const db::Dialect& d, const QString& code, const BranchLimits& limits) {
    return QStringLiteral("select A.ID, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE   "
                          "from INV A   where (A.KOD_F = ") +
           d.quote(code) + QStringLiteral(") and (A.END_DATE is NULL) ") +
           QStringLiteral("   and (not exists(select TA.ID from ") + temp1(d) +
           QStringLiteral(" TA where TA.ID = A.ID)) ") +
           QStringLiteral("   and (exists(select B1.ID from INV_OST B1 where B1.ID = A.ID and B1.DD < ") +
           d.dateLiteral(limits.CurrencyLimit) + QStringLiteral(") ") +
           QStringLiteral("        or exists(select B3.ID from INV_OST3 B3 where B3.ID = A.ID and B3.DD < ") +
           d.dateLiteral(limits.RoublesLimit) + QStringLiteral(")) ");
}

QString bstNotZero(const db::Dialect& d, const DateValue& currencyFrom, const DateValue& roublesFrom) {
    const QString beg = QStringLiteral("A.BEG_DATE");
    const bool onePass = isPostgres(d);
    const auto items = [&](const QString& plane) {
        return onePass ? itemsWithTurnovers(d, plane) : temp1(d);
    };
    const auto turnovers = [&](const QString& plane) {
        return onePass ? d.isnull(QStringLiteral("A.TURNOVER"), QStringLiteral("0"), true)
                       : packetTurnovers(d, plane, beg);
    };
    return QStringLiteral(
               "select * from (  Select A.ID,1 AS TYP2,A.TYPEM,A.KARD_NUM,A.INV_NUM,A.NAME,A.BEG_DATE,"
               "A.END_DATE,    ") +
           d.ostat(QStringLiteral("A.ID"), currencyFrom, 1) + QStringLiteral(" ") + QStringLiteral("  +") +
           turnovers(QStringLiteral("1")) + QStringLiteral(" AS BST ") + QStringLiteral(" from ") +
           items(QStringLiteral("1")) + QStringLiteral(" A ") + QStringLiteral(" Union all ") +
           QStringLiteral(
               " Select A.ID,3 AS TYP2,A.TYPEM,A.KARD_NUM,A.INV_NUM,A.NAME,A.BEG_DATE,A.END_DATE,  ") +
           QStringLiteral("  ") + d.ostat(QStringLiteral("A.ID"), roublesFrom, 3) + QStringLiteral(" ") +
           QStringLiteral("  +") + turnovers(QStringLiteral("3")) + QStringLiteral(" AS BST ") +
           QStringLiteral(" from ") + items(QStringLiteral("3")) + QStringLiteral(" A ) MAIN ") +
           QStringLiteral("where (") +
           d.exactAmount(d.isnull(QStringLiteral("MAIN.BST"), QStringLiteral("0"))) +
           QStringLiteral(" <= 0) ") +
           QStringLiteral("  and ((MAIN.END_DATE is null)or(MAIN.END_DATE > MAIN.BEG_DATE)) ");
}

QString negativeOstst(const db::Dialect& d, const DateValue& currencyFrom, const DateValue& roublesFrom,
                      const QString& currencyThreshold, const QString& roublesThreshold,
                      bool candidatesOnly) {
    const QString dd = QStringLiteral("A.DD");
    const QString nakopl = QStringLiteral("       ") +
                           d.isnull(QStringLiteral("A.SALDO"), QStringLiteral("0"), true) +
                           QStringLiteral(" AS NAKOPL ");
    const bool onePass = isPostgres(d);
    const auto rows = [&](const QString& turnoverPlane, const QString& plane, const DateValue& from,
                          const QString& threshold) {
        return onePass ? depreciationWithTurnovers(d, turnoverPlane, plane, from, threshold, candidatesOnly)
                       : temp2(d);
    };
    const auto opening = [&](const DateValue& from, int plane) {
        return onePass ? d.isnull(QStringLiteral("A.OPENING"), QStringLiteral("0"), true)
                       : d.ostat(QStringLiteral("A.ID"), from, plane);
    };
    const auto turnovers = [&](const QString& plane) {
        return onePass ? d.isnull(QStringLiteral("A.TURNOVER"), QStringLiteral("0"), true)
                       : packetTurnovers(d, plane, dd);
    };
    // Only the rows found while copying can fall below the threshold (ResidualCandidates; SQLite
    // names them by row id, PostgreSQL by item inside the one-pass sums).
    const QString candidates = candidatesOnly && !onePass
                                   ? QString(QStringLiteral(" and A.rowid in (select C.RID from ") +
                                             d.tempTable(ResidualCandidatesTable) + QStringLiteral(" C)"))
                                   : QString();
    return QStringLiteral(
               "Select MAIN.ID,MAIN.DD,MAIN.TYP AS TYP2,MAIN.OST,MAIN.BST,MAIN.NAKOPL,AI.TYPEM,"
               "AI.KARD_NUM,AI.INV_NUM,AI.NAME,AI.BEG_DATE,AI.END_DATE From (Select F.ID,F.DD,F.TYP,"
               "F.BST,F.NAKOPL,(F.BST - F.NAKOPL) as OST from (       Select A.ID,A.DD,A.TYP,        ") +
           opening(currencyFrom, 1) + QStringLiteral(" ") + QStringLiteral("       +") +
           turnovers(QStringLiteral("1")) + QStringLiteral(" AS BST, ") + nakopl +
           QStringLiteral("      from ") +
           rows(QStringLiteral("1"), QStringLiteral("2"), currencyFrom, currencyThreshold) +
           QStringLiteral(" A Where TYP='2'") + candidates + QStringLiteral(" ) F where (") +
           d.exactAmount(QStringLiteral("F.BST - F.NAKOPL")) + QStringLiteral(") < ") + currencyThreshold +
           QStringLiteral("      Union all ") +
           QStringLiteral("      Select G.ID,G.DD,G.TYP,G.BST,G.NAKOPL,(G.BST - G.NAKOPL) as OST from ( ") +
           QStringLiteral("      Select A.ID,A.DD,A.TYP, ") + QStringLiteral("       ") +
           opening(roublesFrom, 3) + QStringLiteral(" ") + QStringLiteral("       +") +
           turnovers(QStringLiteral("3")) + QStringLiteral(" AS BST, ") + nakopl +
           QStringLiteral("      from ") +
           rows(QStringLiteral("3"), QStringLiteral("4"), roublesFrom, roublesThreshold) +
           QStringLiteral(" A Where TYP='4'") + candidates + QStringLiteral(" ) G where (") +
           d.exactAmount(QStringLiteral("G.BST - G.NAKOPL")) + QStringLiteral(") < ") + roublesThreshold +
           QStringLiteral("     ) MAIN ") + QStringLiteral("left join ") + temp1(d) +
           QStringLiteral(" AI on AI.ID = MAIN.ID ") + QStringLiteral("where (MAIN.DD >= AI.BEG_DATE) ") +
           QStringLiteral("  and ((AI.END_DATE is null) or (MAIN.DD <> AI.END_DATE)) ");
}

QString checkType(const db::Dialect& d, const QString& code) {
    // The central tables belong to dbo on SQL Server; the other backends keep them unqualified.
    const QString table = isSqlServer(d) ? QStringLiteral("dbo.FILIALS") : QStringLiteral("FILIALS");
    return QStringLiteral("select CHECK_TYPE from ") + table + QStringLiteral(" where KOD = ") +
           d.quote(code);
}

QString latestRowOnly(const db::Dialect& d) {
    if (isPostgres(d))
        // The latest dates of every item and depreciation plane in one grouping instead of one look-up
        // per row (TEMP2 has no index there); MAIN holds planes 2 and 4 only, and NULLs match nothing
        // either way.
        return QStringLiteral("  and ((MAIN.ID, MAIN.TYP, MAIN.DD) in (select D.ID, D.TYP, max(D.DD) from ") +
               temp2(d) + QStringLiteral(" D where D.TYP in ('2','4') group by D.ID, D.TYP))");
    return QStringLiteral("  and (MAIN.DD = (select max(D.DD) from ") + temp2(d) +
           QStringLiteral(" D where D.ID = MAIN.ID and D.TYP = MAIN.TYP group by D.ID, D.TYP))");
}

} // namespace statements

bool GetFilialVarDate(db::Connection& connection, const QString& column, const QString& code,
                      DateValue& value) {
    QSqlQuery query = connection.query(statements::filialVarDate(connection.dialect(), column, code));
    if (!query.next() || query.value(0).isNull())
        return false;
    value = DateValue::fromVariant(query.value(0));
    return true;
}

bool GetVarNum(db::Connection& connection, const QString& label, double& value, const DateValue& date) {
    QSqlQuery query = connection.query(statements::varNum(connection.dialect(), label, date));
    if (!query.next() || query.value(0).isNull())
        return false;
    // A currency amount keeps four decimals.
    value = std::round(query.value(0).toString().toDouble() * 10000.0) / 10000.0;
    return true;
}

BranchLimits loadBranchLimits(db::Connection& connection, const QString& code) {
    BranchLimits limits;
    DateValue value;
    if (GetFilialVarDate(connection, QStringLiteral("D_MIN_VAL"), code, value))
        limits.CurrencyLimit = DateValue(std::trunc(value.days()));
    if (GetFilialVarDate(connection, QStringLiteral("D_MIN_RUB"), code, value))
        limits.RoublesLimit = DateValue(std::trunc(value.days()));
    return limits;
}

QString invalidPeriodsHeadline() {
    return QStringLiteral("В принимаемых данных есть движения в датах ранее разрешенного периода приема\r\n");
}

QString invalidPeriodsText(const BranchLimits& limits, const DateValue& currencyFrom,
                           const DateValue& roublesFrom) {
    QString text;
    const auto line = [&text](const QString& family, const DateValue& from, const DateValue& limit) {
        text += family + QStringLiteral(" (мин.дата движений в пакете = ") + formatDate(from) +
                QStringLiteral(", ограничение = ") + formatDate(limit) + QStringLiteral(")\r\n");
    };
    if (limits.CurrencyLimit.days() > 0 && currencyFrom.isPresent() && currencyFrom < limits.CurrencyLimit)
        line(QStringLiteral(" ПО ВАЛЮТЕ"), currencyFrom, limits.CurrencyLimit);
    if (limits.RoublesLimit.days() > 0 && roublesFrom.isPresent() && roublesFrom < limits.RoublesLimit)
        line(QStringLiteral(" ПО РУБЛЯМ"), roublesFrom, limits.RoublesLimit);
    return text;
}

QString thresholdText(double amount) {
    QString text = formatNumber(std::round(amount * 10000.0) / 10000.0);
    const qsizetype comma = text.indexOf(u',');
    if (comma >= 0)
        text[comma] = u'.';
    return text;
}

HistoryChecks::HistoryChecks(db::Connection& connection, ProtocolStore& store, HistoryContext context,
                             InfoFunction info, AskFunction ask)
    : connection_(connection), store_(store), context_(std::move(context)), info_(std::move(info)),
      ask_(std::move(ask)) {}

void HistoryChecks::indexBalanceRows() {
    if (context_.indexBalanceRows) {
        context_.indexBalanceRows();
        context_.indexBalanceRows = {};
    }
}

void HistoryChecks::protocolOf(const QString& sql, const QString& title) {
    QSqlQuery result = connection_.query(sql);
    if (result.next())
        NewShowErr(store_, context_.header, title, result);
}

void HistoryChecks::CheckDeletedInInvalidPeriod() {
    info_(QStringLiteral("Проверка удаленных в закрытом периоде."));
    QSqlQuery result = connection_.query(
        statements::deletedInInvalidPeriod(connection_.dialect(), context_.FilialCode, context_.limits));
    if (!result.next())
        return;
    const QString title = QStringLiteral(
        "Обнаружены удаленные позиции по которым присылались данные в период, раньше даты запрета отката.");
    if (ask_(title + QStringLiteral("\r\nПрервать прием и выдать протокол позиций ?")))
        NewShowErr(store_, context_.header, title, result);
}

void HistoryChecks::CheckBSTnotZero() {
    double value = 0;
    if (!GetVarNum(connection_, QStringLiteral("CHECK_ZERO_BST"), value,
                   DateValue::fromDateTime(QDateTime::currentDateTime())) ||
        value != 1.0)
        return;
    info_(QStringLiteral("Проверка наличия балансовой стоимости"));
    indexBalanceRows();
    protocolOf(statements::bstNotZero(connection_.dialect(), context_.CurrencyFrom, context_.RoublesFrom),
               QStringLiteral("Обнаружены позиции не имеющие балансовой стоимости на дату оприходования."));
}

void HistoryChecks::CheckHasNegativeOSTST() {
    // Both families accept no residual value below zero.
    const QString currencyThreshold = thresholdText(ResidualThreshold);
    const QString roublesThreshold = thresholdText(ResidualThreshold);
    info_(QStringLiteral("Проверка на отрицательную остаточную стоимость"));
    const db::Dialect& d = connection_.dialect();
    QString sql = statements::negativeOstst(d, context_.CurrencyFrom, context_.RoublesFrom, currencyThreshold,
                                            roublesThreshold, context_.residualCandidates);
    {
        QSqlQuery mode = connection_.query(statements::checkType(d, context_.FilialCode));
        if (mode.next() && mode.value(0).toInt() == 1) {
            sql += statements::latestRowOnly(d);
            indexBalanceRows(); // the latest row of each item and plane is looked up
        }
    }
    protocolOf(sql, QStringLiteral("Обнаружены позиции с отрицательной остаточной стоимостью."));
}

} // namespace svod::checks
