#include "widgets/DataGrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <exception>

#include "widgets/MultiLevelHeader.h"

namespace svod::widgets {

void TitledModel::setTitles(const QHash<int, QString>& titles) {
    titles_ = titles;
    if (columnCount() > 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

QVariant TitledModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        const auto it = titles_.constFind(section);
        if (it != titles_.constEnd()) {
            if (role == TitleRole)
                return *it;
            // Read aloud and shown as one line: "Данные в долларах с".
            if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
                return QString(*it).replace(u'|', u' ');
        }
    }
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return {};
    return QIdentityProxyModel::headerData(section, orientation, role);
}

DataGrid::DataGrid(QWidget* parent)
    : QTableView(parent), titled_(new TitledModel(this)), header_(new MultiLevelHeader(this)) {
    setHorizontalHeader(header_);
    QTableView::setModel(titled_);
    // Its own colours and font, not those of the panel around it.
    setPalette(QApplication::palette());
    setFont(QApplication::font());
    setAutoFillBackground(true);
    // Flat: a plain frame, no raised cells.
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(fontMetrics().averageCharWidth() * 2);
    verticalHeader()->setResizeContentsPrecision(100);
    horizontalHeader()->setResizeContentsPrecision(100);
    setReadOnly(true);
}

void DataGrid::setSourceModel(QAbstractItemModel* model) {
    titled_->setSourceModel(model);
    if (model)
        connect(model, &QAbstractItemModel::modelReset, this, [this] { header_->updateGeometry(); });
}

int DataGrid::characterWidth(int characters) const {
    // A character is the width of a digit "0", as grids have always counted display widths.
    return characters * fontMetrics().horizontalAdvance(u'0') + 8;
}

void DataGrid::setColumns(const QList<GridColumn>& columns) {
    QAbstractItemModel* source = titled_->sourceModel();
    if (!source)
        return;
    QHash<int, QString> titles;
    QHash<int, const GridColumn*> byIndex;
    for (int c = 0; c < source->columnCount(); ++c) {
        const QString name = source->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        for (const GridColumn& column : columns)
            if (column.name.compare(name, Qt::CaseInsensitive) == 0) {
                byIndex.insert(c, &column);
                if (!column.title.isEmpty())
                    titles.insert(c, column.title);
            }
    }
    titled_->setTitles(titles);
    for (int c = 0; c < source->columnCount(); ++c) {
        const GridColumn* column = byIndex.value(c);
        setColumnHidden(c, column && column->hidden);
        if (column && column->width > 0) {
            setColumnWidth(c, std::max(characterWidth(column->width), 24));
            continue;
        }
        // Without a width of its own a column fits its title and, up to 50 characters, the values
        // of its first rows.
        setColumnWidth(c, std::max({header_->titleWidth(c), characterWidth(10),
                                    std::min(sizeHintForColumn(c), characterWidth(50))}));
    }
    header_->updateGeometry();
    header_->viewport()->update();
}

void DataGrid::setTitleMargin(int margin) {
    header_->setTitleMargin(margin);
}

void DataGrid::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
}

int DataGrid::currentRow() const {
    const QModelIndex index = currentIndex();
    return index.isValid() ? titled_->mapToSource(index).row() : -1;
}

void DataGrid::showError(const QString& message) {
    if (error_)
        error_(message);
}

bool DataGrid::post(int row) {
    if (readOnly_ || row < 0 || !editing_.post || (editing_.isEditing && !editing_.isEditing(row)))
        return true;
    try {
        editing_.post(row);
        return true;
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
    return false;
}

bool DataGrid::postCurrentRow() {
    if (QWidget* editor = indexWidget(currentIndex()); editor)
        commitData(editor);
    if (state() == QAbstractItemView::EditingState)
        if (QWidget* focus = QApplication::focusWidget(); focus && isAncestorOf(focus)) {
            commitData(focus);
            closeEditor(focus, QAbstractItemDelegate::NoHint);
        }
    return post(currentRow());
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (reverting_ || !previous.isValid() || (current.isValid() && current.row() == previous.row()))
        return;
    const int row = titled_->mapToSource(previous).row();
    if (post(row) || (editing_.isEditing && !editing_.isEditing(row)))
        return;
    // The row stays current and in edit state with what the user typed (a row that was posted
    // before a later step failed is left).
    const QPersistentModelIndex back(previous);
    QTimer::singleShot(0, this, [this, back] {
        if (!back.isValid())
            return;
        reverting_ = true;
        setCurrentIndex(back);
        reverting_ = false;
    });
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTableView::closeEditor(editor, hint);
    // Enter in a cell confirms the row.
    if (hint == QAbstractItemDelegate::SubmitModelCache)
        post(currentRow());
}

void DataGrid::appendRow() {
    if (readOnly_ || !editing_.append)
        return;
    if (!post(currentRow()))
        return;
    const int row = editing_.append();
    const int column = std::max(0, currentIndex().column());
    setCurrentIndex(titled_->index(row, column));
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
    if (!readOnly_ && state() != QAbstractItemView::EditingState) {
        const int row = currentRow();
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            post(row);
            return;
        case Qt::Key_Escape:
            if (editing_.cancel && row >= 0)
                editing_.cancel(row);
            return;
        case Qt::Key_Insert:
            appendRow();
            return;
        case Qt::Key_Down:
            if (row < 0 || row == model()->rowCount() - 1) {
                appendRow();
                return;
            }
            break;
        case Qt::Key_Delete:
            if ((event->modifiers() & Qt::ControlModifier) && editing_.remove && row >= 0) {
                try {
                    editing_.remove(row);
                } catch (const std::exception& e) {
                    showError(QString::fromUtf8(e.what()));
                }
                return;
            }
            break;
        default:
            break;
        }
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    const QModelIndex index = currentIndex();
    if (index.isValid())
        Q_EMIT rowActivated(titled_->mapToSource(index).row());
}

} // namespace svod::widgets
