#include "directory/Administration.h"

#include <QSqlQuery>

#include "db/Connection.h"
#include "db/Error.h"
#include "directory/QueryTable.h"

namespace svod::directory {

std::optional<AdminPage> pageForCode(const QString& typed) {
    const std::pair<int, AdminPage> pages[] = {{CommandPageCode, AdminPage::Command},
                                               {TableCreationPageCode, AdminPage::TableCreation},
                                               {QueryPageCode, AdminPage::Query}};
    for (const auto& [code, page] : pages)
        if (QString::number(code) == typed)
            return page;
    return std::nullopt;
}

bool isCreatableTable(const QString& table) {
    return table == QLatin1String("INV_INFL") || table == QLatin1String("INV_OST3");
}

QStringList createTableBatch(const db::Dialect& dialect, const QString& table) {
    if (!isCreatableTable(table))
        throw Error(QStringLiteral("Неизвестная таблица: ") + table);
    return dialect.createBalanceTableCopy(table, QStringLiteral("INV_OST"), QStringLiteral("IX_") + table);
}

void createBalanceTable(db::Connection& connection, const QString& table) {
    const QStringList batch = createTableBatch(connection.dialect(), table);
    if (connection.backend() == db::Backend::SqlServer) {
        connection.execute(batch); // one batch as it stands
        return;
    }
    db::Transaction transaction(connection);
    connection.execute(batch);
    transaction.commit();
}

AdminQueryResult runAdminQuery(db::Connection& connection, const QString& text, QueryTable& rows) {
    rows.close();
    QSqlQuery query = connection.query(text);
    AdminQueryResult result;
    if (query.isSelect()) {
        rows.fill(query, connection.dialect());
        result.hasRows = true;
    } else {
        result.rowsAffected = query.numRowsAffected();
    }
    return result;
}

QString rowsChangedMessage(int rowsAffected) {
    if (rowsAffected < 0)
        return QStringLiteral("Запрос выполнен.");
    return QStringLiteral("Запрос выполнен. Изменено строк: %1").arg(rowsAffected);
}

} // namespace svod::directory
