#pragma once

#include <QSet>
#include <functional>

#include "directory/RowTable.h"

namespace svod::db {
class Connection;
}

namespace svod::directory {

// A server table open for editing, the editable table object of a view. Edits stay in the row
// until the row is posted (the grid posts when the user leaves the row or confirms it); a failed
// post keeps the row in edit state with the user's values. Rows are keyed by `keyColumns` (their
// values as read, so that a changed key still finds its row); an identity column left empty is
// filled by the server.
class EditableTable : public RowTable {
    Q_OBJECT
public:
    enum class RowState { Clean, Modified, Inserted };
    using AfterPost = std::function<void(EditableTable& table, int row)>;

    EditableTable(db::Connection& connection, QString table, QStringList keyColumns,
                  QString identityColumn = {}, QObject* parent = nullptr);

    // Reads the whole table in the given order ("select * from TABLE order by ORDER").
    void open(const QString& orderBy);
    const QString& tableName() const { return table_; }

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Keeps what was typed: EditRole takes text and parses it for the column when posting.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool readOnly() const { return readOnly_; }

    RowState rowState(int row) const;
    bool isEditing(int row) const { return rowState(row) != RowState::Clean; }
    // Sets a cell by column name (what svod-cli and tests type).
    void setText(int row, const QString& column, const QString& text);
    void setCell(int row, const QString& column, const QVariant& value);
    // A new empty row at the end, in insert state; returns its position.
    int appendRow();
    // Writes the row to the server; does nothing for a clean row. Throws on failure with the row
    // left as it was. After a successful post the after-post handler runs; its error propagates
    // with the row posted.
    void post(int row);
    // Drops the row's edits (a new row disappears).
    void cancel(int row);
    // Deletes the row on the server and from the table.
    void deleteRow(int row);
    void setAfterPost(AfterPost handler) { afterPost_ = std::move(handler); }

private:
    void load(QSqlQuery& query);
    QVariantList typedRow(int row) const;
    QString keyCondition(int row, QVariantList& bound) const;
    void insert(int row, const QVariantList& values);
    void update(int row, const QVariantList& values);
    // Takes a row out of the model only.
    void removeRowAt(int row);

    db::Connection& connection_;
    QString table_;
    QStringList keyColumns_;
    QString identity_;
    bool readOnly_ = false;
    // Per row: the values as read (empty for new rows), the typed texts not yet posted.
    QList<QVariantList> original_;
    QList<QHash<int, QVariant>> edits_;
    QList<RowState> states_;
    AfterPost afterPost_;
};

} // namespace svod::directory
