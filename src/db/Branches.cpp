#include "db/Branches.h"

#include <QSqlQuery>

#include "db/Connection.h"

namespace svod::db {

QString branchNameQuery(const Dialect& dialect, const QString& code) {
    return QStringLiteral("SELECT NAZVANIE FROM FILIALS WHERE KOD =") + dialect.quote(code);
}

QString branchNotFoundText(const QString& code) {
    return QStringLiteral(" !Не найден филиал с номером ") + code + QStringLiteral(" ! ");
}

QString GetFilName(Connection& connection, const QString& code) {
    QSqlQuery query = connection.query(branchNameQuery(connection.dialect(), code));
    if (query.next())
        return query.value(0).toString();
    return branchNotFoundText(code);
}

} // namespace svod::db
