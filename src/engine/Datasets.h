#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

#include "engine/TableData.h"

namespace svod::db {
class Connection;
}

namespace svod::engine {

// Rows of one dataset, read whole when the dataset is opened (groups look one row ahead).
struct RowSet {
    QStringList fields; // upper case
    QList<QVariantList> rows;
    // Instead of rows: a table's cells, shared rather than copied (a protocol may hold millions),
    // read as texts without blanks and control characters at their ends.
    QList<QStringList> texts;
    int fieldIndex(const QString& name) const;
    qsizetype count() const { return texts.isEmpty() ? rows.size() : texts.size(); }
    QVariant value(qsizetype row, int field) const;
};

// A cell's text without blanks and control characters at its ends.
QString trimmedCell(const QString& text);

// Gives a parameter's value by name; false when unknown.
using ParameterLookup = std::function<bool(const QString& name, QVariant& value)>;

// Runs `sql` on the connection; ":NAME" parameters (outside quotes) are bound from `lookup`, never
// pasted into the text. A list value binds one placeholder per element, for "IN (:NAME)"; an empty
// list binds one null, which matches nothing. A dialog control binds its value. Throws svod::Error
// for an unknown parameter, DbError from the server.
RowSet runSqlDataset(db::Connection& connection, const QString& sql, const ParameterLookup& lookup);

// The names of the ":NAME" parameters in order of appearance, and the text with "?" instead.
QString positionalSql(const QString& sql, QStringList& names);

// What a parameter binds for a value: a dialog control (an object with a "Value" property) gives
// its value.
QVariant parameterValue(const QVariant& value);

// A TableData as a dataset: display texts, fields named after the columns.
RowSet rowSetFromTable(const TableData& table);

} // namespace svod::engine
