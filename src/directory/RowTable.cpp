#include "directory/RowTable.h"

#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include "db/Dialect.h"
#include "db/Error.h"

namespace svod::directory {

int RowTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RowTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant RowTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= columns_.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::EditRole:
        return value(index.row(), index.column());
    case Qt::TextAlignmentRole: {
        const ValueKind kind = columnKind(index.column());
        const bool number =
            (kind == ValueKind::Number || kind == ValueKind::Integer) && !display_.value(index.column());
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    default:
        return {};
    }
}

QVariant RowTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 && section < columns_.size())
        return columns_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

int RowTable::columnIndex(const QString& name) const {
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int RowTable::fieldByName(const QString& name) const {
    const int index = columnIndex(name);
    if (index < 0)
        throw DbError(QStringLiteral("Field '%1' not found").arg(name));
    return index;
}

QVariant RowTable::value(int row, int column) const {
    if (row < 0 || row >= rows_.size() || column < 0 || column >= rows_[row].size())
        return {};
    return rows_[row][column];
}

QString RowTable::text(int row, int column) const {
    const QVariant v = value(row, column);
    if (const DisplayFunction& f = display_.value(column))
        return f(v);
    return displayText(v);
}

void RowTable::setDisplayFunction(const QString& name, DisplayFunction function) {
    const int column = fieldByName(name);
    display_.resize(columns_.size());
    display_[column] = std::move(function);
    if (!rows_.isEmpty())
        Q_EMIT dataChanged(index(0, column), index(static_cast<int>(rows_.size()) - 1, column));
}

void RowTable::close() {
    beginResetModel();
    columns_.clear();
    kinds_.clear();
    rows_.clear();
    display_.clear();
    open_ = false;
    endResetModel();
}

void RowTable::setColumns(const QStringList& names, const QList<ValueKind>& kinds) {
    columns_ = names;
    kinds_ = kinds;
    display_.clear();
    display_.resize(columns_.size());
}

void RowTable::load(QSqlQuery& query, const db::Dialect& dialect) {
    beginResetModel();
    const QSqlRecord record = query.record();
    QStringList names;
    QList<ValueKind> kinds;
    for (int i = 0; i < record.count(); ++i) {
        names << record.fieldName(i);
        kinds << kindOf(QVariant(record.field(i).metaType()));
    }
    setColumns(names, kinds);
    rows_.clear();
    const int count = static_cast<int>(names.size());
    QList<bool> kindFromValue(count, true);
    while (query.next()) {
        QVariantList row;
        row.reserve(count);
        for (int i = 0; i < count; ++i) {
            QVariant v = dialect.fromDbValue(query.value(i));
            // SQLite keeps dates as text: the first value tells the column's kind.
            if (kindFromValue[i] && !v.isNull()) {
                if (kindOf(v) == ValueKind::Date)
                    kinds_[i] = ValueKind::Date;
                kindFromValue[i] = false;
            }
            row << std::move(v);
        }
        rows_ << std::move(row);
    }
    open_ = true;
    endResetModel();
}

} // namespace svod::directory
