#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "db/Dialect.h"

namespace svod::db {

class Connection;

struct ColumnDef {
    QString name;
    ColumnType type;
    int width = 0;
    bool notNull = false;
};

struct TableDef {
    QString name;
    QList<ColumnDef> columns;
    QString primaryKey; // column list, may be empty
};

// The 29 columns of INV in their order.
const TableDef& invTable();
// ID, KOD_F, DD, TYP, SALDO, DELTA: INV_OST, INV_OST3, INV_INFL and their temporary copies.
const TableDef& balanceTable(const QString& name);
QStringList invColumnNames();
QStringList balanceColumnNames();

// The by-branch index of INV_OST, INV_OST3 or INV_INFL: the data actuality view and the deletion
// of a branch's rows look them up by KOD_F.
QStringList branchIndexStatements(const Dialect& dialect, const QString& table);

// Every statement that creates the central tables, indexes and OSTAT where missing.
QStringList schemaStatements(const Dialect& dialect);
QString columnsSql(const Dialect& dialect, const TableDef& table);

// Creates the schema inside one transaction where the backend allows DDL in transactions.
void createSchema(Connection& connection);

} // namespace svod::db
