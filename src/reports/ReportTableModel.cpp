#include "reports/ReportTableModel.h"

#include <QSqlQuery>

#include "db/Connection.h"

namespace svod::reports {

ReportTableModel::ReportTableModel(db::Connection& connection, QObject* parent)
    : QAbstractTableModel(parent), connection_(connection) {}

void ReportTableModel::refresh() {
    beginResetModel();
    rows_.clear();
    state_ = State::Browse;
    activeRow_ = -1;
    open_ = false;
    try {
        QSqlQuery query = connection_.query(QStringLiteral("SELECT ID,NAZV FROM REPORT"));
        while (query.next()) {
            const QVariant id = query.value(0).isNull() ? QVariant() : QVariant(query.value(0).toLongLong());
            rows_.append({id, query.value(1), id, query.value(1)});
        }
        open_ = true;
    } catch (...) {
        endResetModel();
        Q_EMIT stateChanged();
        throw;
    }
    endResetModel();
    Q_EMIT stateChanged();
}

int ReportTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int ReportTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ReportTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    const Row& row = rows_[index.row()];
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
        case IdColumn:
            return row.editId;
        case NameColumn:
            return row.editName;
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() == IdColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool ReportTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid())
        return false;
    if (activeRow() != index.row())
        edit(index.row());
    Row& row = rows_[index.row()];
    const QVariant typed = value.toString().isEmpty() ? QVariant() : value;
    (index.column() == IdColumn ? row.editId : row.editName) = typed;
    Q_EMIT dataChanged(index, index);
    return true;
}

Qt::ItemFlags ReportTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid())
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant ReportTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    // Field names: the grid titles them.
    switch (section) {
    case IdColumn:
        return QStringLiteral("ID");
    case NameColumn:
        return QStringLiteral("NAZV");
    default:
        return {};
    }
}

engine::ReportRowKey ReportTableModel::key(int row) const {
    if (row < 0 || row >= rows_.size())
        return {};
    return {rows_[row].id, rows_[row].name};
}

QString ReportTableModel::name(int row) const {
    return row < 0 || row >= rows_.size() ? QString() : rows_[row].editName.toString();
}

void ReportTableModel::setState(State state, int row) {
    state_ = state;
    activeRow_ = row;
    Q_EMIT stateChanged();
}

void ReportTableModel::edit(int row) {
    if (row < 0 || row >= rows_.size() || activeRow() == row)
        return;
    if (state_ != State::Browse)
        post();
    setState(State::Edit, row);
}

void ReportTableModel::insertAt(int row) {
    if (state_ != State::Browse)
        post();
    row = std::clamp(row, 0, int(rows_.size()));
    beginInsertRows({}, row, row);
    rows_.insert(row, Row{});
    endInsertRows();
    setState(State::Insert, row);
}

void ReportTableModel::post() {
    if (state_ == State::Browse)
        return;
    Row& row = rows_[activeRow_];
    if (state_ == State::Insert)
        engine::insertReportRow(connection_, row.editId, row.editName);
    else
        engine::updateReportRow(connection_, {row.id, row.name}, row.editId, row.editName);
    // Stored as the server keeps it: the number as a whole number.
    row.editId = row.editId.isNull() ? QVariant() : QVariant(row.editId.toString().trimmed().toLongLong());
    row.id = row.editId;
    row.name = row.editName;
    const int posted = activeRow_;
    setState(State::Browse, -1);
    Q_EMIT dataChanged(index(posted, 0), index(posted, ColumnCount - 1));
}

void ReportTableModel::cancel() {
    if (state_ == State::Browse)
        return;
    const int row = activeRow_;
    if (state_ == State::Insert) {
        setState(State::Browse, -1);
        beginRemoveRows({}, row, row);
        rows_.removeAt(row);
        endRemoveRows();
        return;
    }
    rows_[row].editId = rows_[row].id;
    rows_[row].editName = rows_[row].name;
    setState(State::Browse, -1);
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void ReportTableModel::remove(int row) {
    if (row < 0 || row >= rows_.size())
        return;
    if (state_ == State::Insert && row == activeRow_) {
        cancel();
        return;
    }
    engine::deleteReportRow(connection_, key(row));
    if (activeRow() == row)
        setState(State::Browse, -1);
    else if (activeRow() > row)
        --activeRow_;
    beginRemoveRows({}, row, row);
    rows_.removeAt(row);
    endRemoveRows();
}

int ReportTableModel::findRow(const QVariant& id, const QString& name) const {
    for (int i = 0; i < rows_.size(); ++i)
        if (rows_[i].id.toString() == id.toString() && rows_[i].name.toString() == name)
            return i;
    return -1;
}

} // namespace svod::reports
