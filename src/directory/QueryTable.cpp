#include "directory/QueryTable.h"

#include <QSqlQuery>

#include "db/Connection.h"

namespace svod::directory {

void QueryTable::open(db::Connection& connection, const QString& sql) {
    close();
    sql_ = sql;
    QSqlQuery query = connection.query(sql);
    load(query, connection.dialect());
}

} // namespace svod::directory
