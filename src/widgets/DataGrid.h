#pragma once

#include <QIdentityProxyModel>
#include <QList>
#include <QTableView>
#include <functional>

namespace svod::widgets {

class MultiLevelHeader;

// How the grid shows one column: its title ("upper|lower" for two levels), its width in
// characters (0: wide enough for the title) and whether it is hidden.
struct GridColumn {
    QString name;
    QString title;
    int width = 0;
    bool hidden = false;
};

// The grid's view of its data: the source model's headers replaced by the columns' titles.
class TitledModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    void setTitles(const QHash<int, QString>& titles);
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QHash<int, QString> titles_;
};

// The data grid of every window: multi-level titles, widths in characters, hidden columns, a
// flat look, its own colours and font. An editable grid posts a row when the user leaves it or
// confirms it (Enter); a post that fails is shown and the row stays current, in edit state, with
// what the user typed. Insert (or Down on the last row) appends a row, Escape drops the current
// row's edits, Ctrl+Delete deletes the row.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    // What an editable source model offers; every function takes a row of the source model.
    struct RowEditing {
        std::function<bool(int row)> isEditing;
        std::function<void(int row)> post; // throws with the message the user sees
        std::function<void(int row)> cancel;
        std::function<int()> append;
        std::function<void(int row)> remove; // asks and deletes; throws on failure
    };

    explicit DataGrid(QWidget* parent = nullptr);

    void setSourceModel(QAbstractItemModel* model);
    QAbstractItemModel* sourceModel() const { return titled_->sourceModel(); }
    // Titles, widths and visibility by column name (case-insensitive); other columns keep their
    // names and a width that fits them.
    void setColumns(const QList<GridColumn>& columns);
    void setTitleMargin(int margin);
    MultiLevelHeader* multiLevelHeader() const { return header_; }

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return readOnly_; }
    void setRowEditing(RowEditing editing) { editing_ = std::move(editing); }
    // Shows a failed post or deletion.
    void setErrorHandler(std::function<void(const QString&)> handler) { error_ = std::move(handler); }

    // The current row of the source model, or -1.
    int currentRow() const;
    // Commits an open editor and posts the current row. False when the post failed (shown).
    bool postCurrentRow();
    // The pixel width of `characters` characters of the grid's font.
    int characterWidth(int characters) const;

Q_SIGNALS:
    // A double click on a row.
    void rowActivated(int row);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool post(int row);
    void showError(const QString& message);
    void appendRow();

    TitledModel* titled_;
    MultiLevelHeader* header_;
    RowEditing editing_;
    std::function<void(const QString&)> error_;
    bool readOnly_ = true;
    bool reverting_ = false;
};

} // namespace svod::widgets
