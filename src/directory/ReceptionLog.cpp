#include "directory/ReceptionLog.h"

#include <QSqlQuery>

#include "db/Connection.h"
#include "db/Error.h"

namespace svod::directory {

QString StatusGetText(const QVariant& status) {
    if (status.isNull() || !status.isValid())
        return {};
    const QString code = status.toString();
    if (code.isEmpty())
        return {};
    if (code == QLatin1String("0"))
        return QStringLiteral("Удачный прием");
    if (code == QLatin1String("10"))
        return QStringLiteral("Не пройдена проверка данных");
    if (code == QLatin1String("20"))
        return QStringLiteral("Не пройдена проверка пакета");
    if (code == QLatin1String("30"))
        return QStringLiteral("Критическая ошибка");
    if (code == QLatin1String("40"))
        return QStringLiteral("Ошибка разархивации данных");
    return QStringLiteral("Неопознанная ошибка");
}

void checkLogPeriod(const LogFilter& filter) {
    if (filter.to < filter.from)
        throw Error(PeriodOrderMessage);
}

QString logQuery(const db::Dialect& d, const LogFilter& filter) {
    const QString branch = filter.branchCode.isEmpty()
                               ? QString()
                               : QStringLiteral("and A.KODFIL = ") + d.quote(filter.branchCode);
    return QStringLiteral(
               "select A.ID,A.DD,A.STATUS,B.NAZVANIE  from LOG_ACCEPT A left join FILIALS B on B.KOD = "
               "A.KODFIL  where (DD >= ") +
           d.dateLiteral(DateValue::fromDate(filter.from)) + QStringLiteral(") and (DD <= ") +
           d.dateLiteralPlusDays(DateValue::fromDate(filter.to), 1) + QStringLiteral(") ") + branch +
           QStringLiteral(" order by DD desc");
}

ViewColumns logColumns() {
    return {{QStringLiteral("ID"), QString(), 0, true},
            {QStringLiteral("DD"), QStringLiteral("Дата/время"), 22},
            {QStringLiteral("STATUS"), QStringLiteral("Статус"), 30},
            {QStringLiteral("NAZVANIE"), QStringLiteral("Филиал"), 50}};
}

QString branchChoicesQuery() {
    return QStringLiteral("select KOD,NAZVANIE from FILIALS");
}

QList<BranchChoice> readBranchChoices(db::Connection& connection) {
    QList<BranchChoice> choices{{QString(), QStringLiteral("Все")}};
    QSqlQuery query = connection.query(branchChoicesQuery());
    while (query.next())
        choices << BranchChoice{query.value(0).toString(), query.value(1).toString()};
    return choices;
}

QString missingBranchText(const QString& code) {
    return QStringLiteral("Не найден филиал с номером \"") + code + QStringLiteral("\"!");
}

QString logDetailQuery(const db::Dialect& d, const QString& id) {
    bool ok = false;
    id.trimmed().toLongLong(&ok);
    if (!ok)
        throw Error(QStringLiteral("Неправильный внутренний код строки протокола: ") + id);
    const QString name = d.isnull(QStringLiteral("B.NAZVANIE"),
                                  d.concat({QStringLiteral("'Не найден филиал с номером \"'"),
                                            QStringLiteral("A.KODFIL"), QStringLiteral("'\"!'")}));
    return QStringLiteral("select A.ID,A.DD,A.STATUS ,") + name +
           QStringLiteral(
               " AS NAZVANIE,A.MES  from LOG_ACCEPT A left join FILIALS B on B.KOD = A.KODFIL  where (ID= ") +
           id + QStringLiteral(")");
}

std::optional<LogDetail> readLogDetail(db::Connection& connection, const QString& id) {
    QSqlQuery query = connection.query(logDetailQuery(connection.dialect(), id));
    if (!query.next())
        return std::nullopt;
    const db::Dialect& d = connection.dialect();
    return LogDetail{query.value(0), d.fromDbValue(query.value(1)), query.value(2), query.value(3).toString(),
                     query.value(4).toString()};
}

} // namespace svod::directory
