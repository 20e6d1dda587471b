#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QVariant>

#include "engine/StoredReports.h"

namespace svod::db {
class Connection;
}

namespace svod::reports {

// Table REPORT as the catalogue's grid edits it: the rows in the order the server returns them,
// one row at a time in edit or insert state. Typed values stay in the row until they are posted;
// a post the server refuses keeps them and the state, so nothing typed is lost.
class ReportTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // The template column is never shown: templates are read when a command loads one.
    enum Column { IdColumn, NameColumn, ColumnCount };
    enum class State { Browse, Edit, Insert };

    explicit ReportTableModel(db::Connection& connection, QObject* parent = nullptr);

    // Reads the table again (ID and NAZV; templates are read when loaded). Throws DbError; the
    // rows then stay empty and isOpen() is false.
    void refresh();
    bool isOpen() const { return open_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    State state() const { return state_; }
    // The row in edit or insert state, or -1.
    int activeRow() const { return state_ == State::Browse ? -1 : activeRow_; }
    // The values the row was read or last posted with.
    engine::ReportRowKey key(int row) const;
    QString name(int row) const;

    // Puts `row` in edit state (posting another row being edited first).
    void edit(int row);
    // A new empty row before `row` (or appended when row == rowCount()) in insert state.
    void insertAt(int row);
    // Writes the active row; throws with the server's message and keeps the row as typed.
    void post();
    // Drops what was typed; an inserted row disappears.
    void cancel();
    // Deletes the row from the table (cancelling an insert just drops it).
    void remove(int row);
    // Re-reads the row's key after a template was stored into it elsewhere.
    int findRow(const QVariant& id, const QString& name) const;

Q_SIGNALS:
    void stateChanged();

private:
    struct Row {
        QVariant id, name;         // as read or posted
        QVariant editId, editName; // as typed
    };
    void setState(State state, int row);

    db::Connection& connection_;
    QList<Row> rows_;
    bool open_ = false;
    State state_ = State::Browse;
    int activeRow_ = -1;
};

} // namespace svod::reports
