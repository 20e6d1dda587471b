#include "directory/EditableTable.h"

#include <QSqlQuery>

#include "db/Connection.h"
#include "db/Error.h"

namespace svod::directory {

namespace {
// SQLite reports every column of a table as text; its declared type tells dates and numbers.
ValueKind declaredKind(const QString& declared) {
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("DATE")) || type.contains(QLatin1String("TIME")))
        return ValueKind::Date;
    if (type.contains(QLatin1String("INT")))
        return ValueKind::Integer;
    if (type.contains(QLatin1String("DEC")) || type.contains(QLatin1String("NUM")) ||
        type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) ||
        type.contains(QLatin1String("DOUB")))
        return ValueKind::Number;
    return ValueKind::Text;
}
} // namespace

EditableTable::EditableTable(db::Connection& connection, QString table, QStringList keyColumns,
                             QString identityColumn, QObject* parent)
    : RowTable(parent), connection_(connection), table_(std::move(table)), keyColumns_(std::move(keyColumns)),
      identity_(std::move(identityColumn)) {}

void EditableTable::open(const QString& orderBy) {
    close();
    QSqlQuery query =
        connection_.query(QStringLiteral("select * from ") + table_ +
                          (orderBy.isEmpty() ? QString() : QStringLiteral(" order by ") + orderBy));
    load(query);
}

void EditableTable::load(QSqlQuery& query) {
    RowTable::load(query, connection_.dialect());
    if (connection_.backend() == db::Backend::SQLite) {
        QSqlQuery info = connection_.query(QStringLiteral("pragma table_info(") + table_ + u')');
        while (info.next()) {
            const int column = columnIndex(info.value(1).toString());
            if (column >= 0)
                kinds_[column] = declaredKind(info.value(2).toString());
        }
    }
    beginResetModel();
    original_ = rows_;
    edits_ = QList<QHash<int, QVariant>>(rows_.size());
    states_ = QList<RowState>(rows_.size(), RowState::Clean);
    endResetModel();
}

Qt::ItemFlags EditableTable::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = RowTable::flags(index);
    if (!readOnly_ && index.isValid())
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant EditableTable::data(const QModelIndex& index, int role) const {
    if (index.isValid() && index.row() < edits_.size() && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        const auto& edits = edits_[index.row()];
        const auto it = edits.constFind(index.column());
        if (it != edits.constEnd())
            return it->metaType().id() == QMetaType::QString ? *it : QVariant(displayText(*it));
        if (role == Qt::EditRole)
            return text(index.row(), index.column());
    }
    return RowTable::data(index, role);
}

bool EditableTable::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (readOnly_ || role != Qt::EditRole || !index.isValid() || index.row() >= rows_.size())
        return false;
    // An unchanged text is no edit: leaving a cell without typing must not make the row dirty.
    if (value.metaType().id() == QMetaType::QString && !edits_[index.row()].contains(index.column()) &&
        value.toString() == text(index.row(), index.column()))
        return true;
    edits_[index.row()][index.column()] = value;
    if (states_[index.row()] == RowState::Clean)
        states_[index.row()] = RowState::Modified;
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

EditableTable::RowState EditableTable::rowState(int row) const {
    return states_.value(row, RowState::Clean);
}

void EditableTable::setText(int row, const QString& column, const QString& text) {
    setCell(row, column, text);
}

void EditableTable::setCell(int row, const QString& column, const QVariant& value) {
    const int c = fieldByName(column);
    if (row < 0 || row >= rows_.size())
        return;
    edits_[row][c] = value;
    if (states_[row] == RowState::Clean)
        states_[row] = RowState::Modified;
    Q_EMIT dataChanged(index(row, c), index(row, c));
}

int EditableTable::appendRow() {
    const int row = static_cast<int>(rows_.size());
    beginInsertRows({}, row, row);
    rows_ << QVariantList(columns_.size());
    original_ << QVariantList();
    edits_ << QHash<int, QVariant>();
    states_ << RowState::Inserted;
    endInsertRows();
    return row;
}

QVariantList EditableTable::typedRow(int row) const {
    QVariantList values = rows_[row];
    const auto& edits = edits_[row];
    for (auto it = edits.constBegin(); it != edits.constEnd(); ++it) {
        const QVariant& typed = *it;
        values[it.key()] = typed.metaType().id() == QMetaType::QString
                               ? parseValue(typed.toString(), columnKind(it.key()))
                               : typed;
    }
    return values;
}

QString EditableTable::keyCondition(int row, QVariantList& bound) const {
    QStringList parts;
    for (const QString& key : keyColumns_) {
        const QVariant v = original_[row].value(fieldByName(key));
        if (v.isNull()) {
            parts << key + QStringLiteral(" is null");
        } else {
            parts << key + QStringLiteral(" = ?");
            bound << v;
        }
    }
    return parts.join(QStringLiteral(" and "));
}

void EditableTable::insert(int row, const QVariantList& values) {
    QStringList names;
    QVariantList bound;
    const int identity = identity_.isEmpty() ? -1 : columnIndex(identity_);
    for (int c = 0; c < columns_.size(); ++c) {
        if (c == identity && values[c].isNull())
            continue;
        names << columns_[c];
        bound << values[c];
    }
    QString sql = QStringLiteral("insert into ") + table_ + QStringLiteral(" (") + names.join(u',') +
                  QStringLiteral(") values (") + QStringList(names.size(), QStringLiteral("?")).join(u',') +
                  u')';
    const bool wantsIdentity = identity >= 0 && values[identity].isNull();
    if (wantsIdentity && connection_.backend() == db::Backend::PostgreSQL)
        sql += QStringLiteral(" returning ") + identity_;
    QSqlQuery query = connection_.prepare(sql);
    connection_.execPrepared(query, bound);
    if (!wantsIdentity)
        return;
    QVariant id;
    if (connection_.backend() == db::Backend::PostgreSQL) {
        if (query.next())
            id = query.value(0);
    } else if (connection_.backend() == db::Backend::SQLite) {
        id = query.lastInsertId();
    } else {
        id = connection_.scalar(QStringLiteral("select @@IDENTITY"));
    }
    rows_[row][identity] = id;
}

void EditableTable::update(int row, const QVariantList& values) {
    QStringList sets;
    QVariantList bound;
    for (auto it = edits_[row].constBegin(); it != edits_[row].constEnd(); ++it) {
        sets << columns_[it.key()] + QStringLiteral(" = ?");
        bound << values[it.key()];
    }
    if (sets.isEmpty())
        return;
    const QString where = keyCondition(row, bound);
    QSqlQuery query =
        connection_.prepare(QStringLiteral("update ") + table_ + QStringLiteral(" set ") +
                            sets.join(QStringLiteral(", ")) + QStringLiteral(" where ") + where);
    connection_.execPrepared(query, bound);
}

void EditableTable::post(int row) {
    if (row < 0 || row >= rows_.size() || states_[row] == RowState::Clean)
        return;
    const QVariantList values = typedRow(row);
    if (states_[row] == RowState::Inserted) {
        QVariantList before = rows_[row];
        rows_[row] = values;
        try {
            insert(row, values);
        } catch (...) {
            rows_[row] = before;
            throw;
        }
    } else {
        update(row, values);
        const int identity = identity_.isEmpty() ? -1 : columnIndex(identity_);
        for (int c = 0; c < columns_.size(); ++c)
            if (c != identity || !values[c].isNull())
                rows_[row][c] = values[c];
    }
    original_[row] = rows_[row];
    edits_[row].clear();
    states_[row] = RowState::Clean;
    Q_EMIT dataChanged(index(row, 0), index(row, static_cast<int>(columns_.size()) - 1));
    if (afterPost_)
        afterPost_(*this, row);
}

void EditableTable::cancel(int row) {
    if (row < 0 || row >= rows_.size() || states_[row] == RowState::Clean)
        return;
    if (states_[row] == RowState::Inserted) {
        removeRowAt(row);
        return;
    }
    edits_[row].clear();
    states_[row] = RowState::Clean;
    Q_EMIT dataChanged(index(row, 0), index(row, static_cast<int>(columns_.size()) - 1));
}

void EditableTable::deleteRow(int row) {
    if (row < 0 || row >= rows_.size())
        return;
    if (states_[row] != RowState::Inserted) {
        QVariantList bound;
        const QString where = keyCondition(row, bound);
        QSqlQuery query =
            connection_.prepare(QStringLiteral("delete from ") + table_ + QStringLiteral(" where ") + where);
        connection_.execPrepared(query, bound);
    }
    removeRowAt(row);
}

void EditableTable::removeRowAt(int row) {
    beginRemoveRows({}, row, row);
    rows_.removeAt(row);
    original_.removeAt(row);
    edits_.removeAt(row);
    states_.removeAt(row);
    endRemoveRows();
}

} // namespace svod::directory
