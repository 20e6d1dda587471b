#include "directory/Administration.h"

#include <QSqlQuery>

#include "db/Connection.h"
#include "db/Error.h"
#include "db/Schema.h"
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
    // The batch makes the table and its unique key; the by-branch index the schema gives the same
    // table follows, so that a table made here is looked up as fast as one made by init-db.
    const QStringList indexes = db::branchIndexStatements(connection.dialect(), table);
    if (connection.backend() == db::Backend::SqlServer) {
        connection.execute(batch); // one batch as it stands
        connection.execute(indexes);
        return;
    }
    db::Transaction transaction(connection);
    connection.execute(batch);
    connection.execute(indexes);
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
