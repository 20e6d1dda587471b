#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <functional>

#include "directory/TableValues.h"

class QSqlQuery;

namespace svod::db {
class Dialect;
}

namespace svod::directory {

// Rows of a result set held in memory, shown through the item-model interface. Column headers
// are the column names; a view gives them titles of its own.
class RowTable : public QAbstractTableModel {
    Q_OBJECT
public:
    using DisplayFunction = std::function<QString(const QVariant&)>;

    explicit RowTable(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QStringList& columnNames() const { return columns_; }
    // The column's position by name (case-insensitive, as the servers fold names), or -1.
    int columnIndex(const QString& name) const;
    // The column's position; throws "Field '<name>' not found" when there is none.
    int fieldByName(const QString& name) const;
    ValueKind columnKind(int column) const { return kinds_.value(column, ValueKind::Text); }
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString& name) const { return value(row, fieldByName(name)); }
    // The cell as the grid shows it.
    QString text(int row, int column) const;
    // Shows a column's values through `function` (the status texts of the reception log).
    void setDisplayFunction(const QString& name, DisplayFunction function);
    bool isOpen() const { return open_; }
    // Empties the table (no columns) as a closed query has none.
    void close();

protected:
    // Replaces columns and rows from an executed query; values converted by the dialect.
    void load(QSqlQuery& query, const db::Dialect& dialect);
    void setColumns(const QStringList& names, const QList<ValueKind>& kinds);

    QStringList columns_;
    QList<ValueKind> kinds_;
    QList<QVariantList> rows_;
    QList<DisplayFunction> display_;
    bool open_ = false;
};

} // namespace svod::directory
