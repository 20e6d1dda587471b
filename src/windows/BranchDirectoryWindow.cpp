#include "windows/BranchDirectoryWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStackedLayout>
#include <QStatusBar>
#include <QVBoxLayout>

#include "db/Connection.h"
#include "db/Error.h"
#include "directory/Actuality.h"
#include "directory/BranchList.h"
#include "directory/EditableTable.h"
#include "directory/QueryTable.h"
#include "directory/ReceptionLog.h"
#include "reception/Interaction.h"
#include "widgets/DataGrid.h"
#include "widgets/MultiLevelHeader.h"

namespace svod::windows {

namespace {
const QString WaitText = QStringLiteral("Подождите, идет выборка данных ...");

QList<widgets::GridColumn> gridColumns(const directory::ViewColumns& viewColumns) {
    QList<widgets::GridColumn> columns;
    for (const directory::ViewColumn& c : viewColumns)
        columns << widgets::GridColumn{c.name, c.title, c.width, c.hidden};
    return columns;
}

QLabel* filterLabel(const QString& text, const QString& name, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}
} // namespace

BranchDirectoryWindow::BranchDirectoryWindow(db::Connection& connection, reception::Interaction& interaction,
                                             ErrorDisplay errorDisplay, QWidget* parent)
    : QWidget(parent), connection_(connection), interaction_(interaction),
      showError_(std::move(errorDisplay)), query_(std::make_unique<directory::QueryTable>()) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Список филиалов"));
    resize(632, 365);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    buildFilterBar();
    layout->addWidget(filterBar_);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Panel2"));
    clientLayout_ = new QStackedLayout(client);
    panel_ = new QLabel(WaitText, client);
    panel_->setObjectName(QStringLiteral("Panel2Caption"));
    panel_->setAlignment(Qt::AlignCenter);
    panel_->setWordWrap(true);
    panel_->setAutoFillBackground(true);
    QPalette workspace = panel_->palette();
    workspace.setColor(QPalette::Window, palette().color(QPalette::Dark));
    workspace.setColor(QPalette::WindowText, Qt::white);
    panel_->setPalette(workspace);
    grid_ = new widgets::DataGrid(client);
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    grid_->setAccessibleName(QStringLiteral("Таблица данных"));
    grid_->setTitleMargin(4);
    grid_->setErrorHandler([this](const QString& message) { showError(message); });
    clientLayout_->addWidget(panel_);
    clientLayout_->addWidget(grid_);
    clientLayout_->setCurrentWidget(grid_);
    layout->addWidget(client, 1);

    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar_->setAccessibleName(QStringLiteral("Строка состояния"));
    statusBar_->setSizeGripEnabled(false);
    layout->addWidget(statusBar_);

    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* refresh = contextMenu_->addAction(QStringLiteral("Обновить"));
    refresh->setObjectName(QStringLiteral("RefreshItem"));
    contextMenu_->addSeparator();
    QAction* remove = contextMenu_->addAction(QStringLiteral("Удалить данные по филиалу"));
    remove->setObjectName(QStringLiteral("DeleteBranchItem"));
    connect(refresh, &QAction::triggered, this, [this] { RunAKT(); });
    connect(remove, &QAction::triggered, this, [this] { deleteCurrentBranchData(); });
    connect(grid_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (view_ == DirectoryView::Actuality)
            contextMenu_->popup(grid_->viewport()->mapToGlobal(at));
    });
    connect(grid_, &widgets::DataGrid::rowActivated, this, [this](int row) { LOGClick(row); });
}

BranchDirectoryWindow::~BranchDirectoryWindow() {
    // The grid lets go of the models before they go.
    grid_->setSourceModel(nullptr);
}

void BranchDirectoryWindow::closeEvent(QCloseEvent* event) {
    if (table_ && grid_->sourceModel() == table_.get() && !grid_->postCurrentRow()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void BranchDirectoryWindow::buildFilterBar() {
    filterBar_ = new QWidget(this);
    filterBar_->setObjectName(QStringLiteral("Panel1"));
    auto* bar = new QHBoxLayout(filterBar_);
    bar->setContentsMargins(6, 4, 6, 4);
    fromPicker_ = new QDateEdit(filterBar_);
    fromPicker_->setObjectName(QStringLiteral("DateTimePicker1"));
    fromPicker_->setAccessibleName(QStringLiteral("Период с"));
    toPicker_ = new QDateEdit(filterBar_);
    toPicker_->setObjectName(QStringLiteral("DateTimePicker2"));
    toPicker_->setAccessibleName(QStringLiteral("Период по"));
    for (QDateEdit* picker : {fromPicker_, toPicker_}) {
        picker->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        picker->setCalendarPopup(true);
    }
    branchList_ = new QComboBox(filterBar_);
    branchList_->setObjectName(QStringLiteral("ComboBox1"));
    branchList_->setAccessibleName(QStringLiteral("Филиалы"));
    branchList_->setMinimumContentsLength(24);
    branchList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    applyButton_ = new QPushButton(QStringLiteral("Применить"), filterBar_);
    applyButton_->setObjectName(QStringLiteral("Button1"));
    connect(applyButton_, &QPushButton::clicked, this, [this] { ApplyLOG(); });
    bar->addWidget(
        filterLabel(QStringLiteral("Период с:"), QStringLiteral("Label1"), fromPicker_, filterBar_));
    bar->addWidget(fromPicker_);
    bar->addWidget(filterLabel(QStringLiteral("по:"), QStringLiteral("Label2"), toPicker_, filterBar_));
    bar->addWidget(toPicker_);
    bar->addSpacing(8);
    bar->addWidget(filterLabel(QStringLiteral("Филиалы"), QStringLiteral("Label3"), branchList_, filterBar_));
    bar->addWidget(branchList_, 1);
    bar->addWidget(applyButton_);
    filterBar_->hide();
}

QString BranchDirectoryWindow::panelText() const {
    return panel_->text();
}

bool BranchDirectoryWindow::gridShown() const {
    return clientLayout_->currentWidget() == grid_;
}

void BranchDirectoryWindow::showGrid(bool shown) {
    clientLayout_->setCurrentWidget(shown ? static_cast<QWidget*>(grid_) : panel_);
}

void BranchDirectoryWindow::showError(const QString& message) {
    if (showError_)
        showError_(message);
    else
        interaction_.message(reception::MessageKind::Error, message);
}

void BranchDirectoryWindow::updateStatus() {
    const auto* model = grid_->sourceModel();
    statusBar_->showMessage(model ? QStringLiteral("Записей: %1").arg(model->rowCount()) : QString());
}

bool BranchDirectoryWindow::readWithWaitPanel(const std::function<void()>& read) {
    interaction_.setBusy(true);
    showGrid(false);
    interaction_.processEvents();
    bool ok = true;
    try {
        read();
    } catch (const std::exception& e) {
        ok = false;
        interaction_.setBusy(false);
        showGrid(true);
        showError(QString::fromUtf8(e.what()));
    }
    if (ok) {
        interaction_.setBusy(false);
        showGrid(true);
    }
    updateStatus();
    return ok;
}

void BranchDirectoryWindow::run(DirectoryView view) {
    switch (view) {
    case DirectoryView::Filials:
        RunFILIALS();
        break;
    case DirectoryView::Actuality:
        RunAKT();
        break;
    case DirectoryView::Variables:
        RunCLT();
        break;
    case DirectoryView::Log:
        RunLOG();
        break;
    }
}

void BranchDirectoryWindow::showEditable(directory::EditableTable* table, const QString& caption) {
    filterBar_->hide();
    setWindowTitle(caption);
    grid_->setSourceModel(table);
    grid_->setReadOnly(false);
    grid_->setContextMenuPolicy(Qt::DefaultContextMenu);
    widgets::DataGrid::RowEditing editing;
    editing.isEditing = [table](int row) { return table->isEditing(row); };
    editing.post = [this, table](int row) {
        table->post(row);
        updateStatus();
    };
    editing.cancel = [table](int row) { table->cancel(row); };
    editing.append = [table] { return table->appendRow(); };
    editing.remove = [this, table](int row) {
        if (interaction_.question(reception::MessageKind::Question, QStringLiteral("Удалить запись?"),
                                  reception::Buttons::OkCancel) != reception::Answer::Ok)
            return;
        table->deleteRow(row);
        updateStatus();
    };
    grid_->setRowEditing(std::move(editing));
}

void BranchDirectoryWindow::RunFILIALS() {
    view_ = DirectoryView::Filials;
    table_ = directory::makeFilialsTable(connection_);
    showEditable(table_.get(), QStringLiteral("Список филиалов"));
    try {
        directory::openFilials(*table_);
        grid_->setColumns(gridColumns(directory::filialsColumns()));
    } catch (const Error& e) {
        showError(e.message());
    }
    updateStatus();
}

void BranchDirectoryWindow::RunCLT() {
    view_ = DirectoryView::Variables;
    table_ = directory::makeCltTable(connection_);
    showEditable(table_.get(), QStringLiteral("Переменные программы"));
    try {
        directory::openClt(*table_);
        grid_->setColumns(gridColumns(directory::cltColumns()));
    } catch (const Error& e) {
        showError(e.message());
    }
    updateStatus();
}

void BranchDirectoryWindow::RunAKT() {
    view_ = DirectoryView::Actuality;
    filterBar_->hide();
    query_->close();
    connection_.setCommandTimeout(directory::LongCommandTimeout);
    setWindowTitle(QStringLiteral("Актуальность данных по филиалам"));
    grid_->setSourceModel(query_.get());
    grid_->setReadOnly(true);
    grid_->setRowEditing({});
    const QString sql = directory::actualityQuery(connection_.dialect());
    readWithWaitPanel([&] { query_->open(connection_, sql); });
    grid_->setColumns(gridColumns(directory::actualityColumns()));
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
}

void BranchDirectoryWindow::deleteCurrentBranchData() {
    if (view_ != DirectoryView::Actuality || !query_->isOpen() || query_->rowCount() == 0)
        return;
    const int row = std::max(0, grid_->currentRow());
    const int kod = query_->columnIndex(QStringLiteral("KOD"));
    const int name = query_->columnIndex(QStringLiteral("NAZVANIE"));
    if (kod < 0 || name < 0)
        return;
    const QString code = query_->value(row, kod).toString();
    try {
        if (directory::deleteBranchCommand(connection_, interaction_, code,
                                           query_->value(row, name).toString()))
            RunAKT();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

void BranchDirectoryWindow::RunLOG() {
    view_ = DirectoryView::Log;
    filterBar_->show();
    panel_->setText(directory::LogChooseParametersText);
    connection_.setCommandTimeout(directory::LongCommandTimeout);
    setWindowTitle(QStringLiteral("Протокол работы автоматического приема"));
    SetupLOG();
    query_->close();
    grid_->setSourceModel(query_.get());
    grid_->setReadOnly(true);
    grid_->setRowEditing({});
    grid_->setContextMenuPolicy(Qt::DefaultContextMenu);
    showGrid(false);
}

void BranchDirectoryWindow::SetupLOG() {
    const QDate today = QDate::currentDate();
    fromPicker_->setDate(today);
    toPicker_->setDate(today);
    branchList_->clear();
    branchCodes_.clear();
    QList<directory::BranchChoice> choices{{QString(), QStringLiteral("Все")}};
    try {
        choices = directory::readBranchChoices(connection_);
    } catch (const Error& e) {
        showError(e.message());
    }
    for (const directory::BranchChoice& choice : choices) {
        branchList_->addItem(choice.name);
        branchCodes_ << choice.code;
    }
    branchList_->setCurrentIndex(0);
}

void BranchDirectoryWindow::ApplyLOG() {
    directory::LogFilter filter{fromPicker_->date(), toPicker_->date(), {}};
    const int choice = branchList_->currentIndex();
    if (choice > 0)
        filter.branchCode = branchCodes_.value(choice);
    try {
        directory::checkLogPeriod(filter);
    } catch (const Error& e) {
        showError(e.message());
        return;
    }
    const QString sql = directory::logQuery(connection_.dialect(), filter);
    if (readWithWaitPanel([&] { query_->open(connection_, sql); })) {
        query_->setDisplayFunction(QStringLiteral("STATUS"), &directory::StatusGetText);
        grid_->setColumns(gridColumns(directory::logColumns()));
    }
}

void BranchDirectoryWindow::LOGClick(int row) {
    if (view_ != DirectoryView::Log || !query_->isOpen() || !openDetail_)
        return;
    const int id = query_->columnIndex(QStringLiteral("ID"));
    const QString text = query_->value(row, id).toString();
    if (id < 0 || text.trimmed().isEmpty())
        return;
    openDetail_(text);
}

} // namespace svod::windows
