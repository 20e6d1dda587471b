#include "reports/ReportCatalogueWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QVBoxLayout>

#include "db/Error.h"
#include "engine/Report.h"
#include "engine/StoredReports.h"
#include "reports/RecordNavigator.h"
#include "reports/ReportTableModel.h"
#include "widgets/DataGrid.h"

namespace svod::reports {

namespace {

bool folderWritable(const QString& folder) {
    if (!QDir().mkpath(folder))
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("probe-XXXXXX")));
    return probe.open();
}

// The hourglass for as long as a command walks the table.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Grid updates suspended while a command moves the current row about.
struct SuspendedUpdates {
    explicit SuspendedUpdates(QWidget* w) : widget(w) { widget->setUpdatesEnabled(false); }
    ~SuspendedUpdates() { widget->setUpdatesEnabled(true); }
    SuspendedUpdates(const SuspendedUpdates&) = delete;
    SuspendedUpdates& operator=(const SuspendedUpdates&) = delete;
    QWidget* widget;
};

} // namespace

QString reportsFolder(const QString& executableDir, const QString& userDataDir) {
    const QString besideProgram = QDir(executableDir).filePath(QStringLiteral("REPORTS"));
    if (folderWritable(besideProgram))
        return QDir::toNativeSeparators(besideProgram);
    const QString inUserData = QDir(userDataDir).filePath(QStringLiteral("REPORTS"));
    QDir().mkpath(inUserData);
    return QDir::toNativeSeparators(inUserData);
}

ReportCatalogueWindow::ReportCatalogueWindow(Services services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Отчеты"));
    setAccessibleName(QStringLiteral("Отчеты"));
    model_ = new ReportTableModel(*services_.connection, this);
    buildLayout();
    resize(607, 391);
    connect(model_, &ReportTableModel::stateChanged, this, [this] { updateCommands(); });
    openTable();
}

ReportCatalogueWindow::~ReportCatalogueWindow() = default;

QPushButton* ReportCatalogueWindow::addButton(const QString& objectName, const QString& caption) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(objectName);
    // The three-line caption of the import button is written with LF CR; a reader hears it once.
    button->setAccessibleName(QString(caption).remove(u'\r').replace(u'\n', u' ').simplified());
    button->setFixedWidth(137);
    return button;
}

void ReportCatalogueWindow::buildLayout() {
    grid_ = new widgets::DataGrid(this);
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    grid_->setAccessibleName(QStringLiteral("Отчеты"));
    grid_->setSourceModel(model_);
    grid_->setReadOnly(false);
    grid_->setColumns({{QStringLiteral("ID"), QStringLiteral("Номер"), 6},
                       {QStringLiteral("NAZV"), QStringLiteral("Наименование"), 50}});
    widgets::DataGrid::RowEditing editing;
    editing.isEditing = [this](int row) { return model_->activeRow() == row; };
    editing.post = [this](int) { model_->post(); };
    editing.cancel = [this](int) { model_->cancel(); };
    editing.append = [this] {
        model_->insertAt(model_->rowCount());
        return model_->activeRow();
    };
    editing.remove = [this](int row) {
        if (services_.dialogs->confirm(QStringLiteral("Удалить запись?")))
            model_->remove(row);
    };
    grid_->setRowEditing(std::move(editing));
    grid_->setErrorHandler([this](const QString& message) { services_.dialogs->showError(message); });

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    const auto wire = [this](QPushButton* b, void (ReportCatalogueWindow::*command)()) {
        connect(b, &QPushButton::clicked, this,
                [this, command] { runGuarded([this, command] { (this->*command)(); }); });
        return b;
    };
    buttons->addWidget(wire(addButton(QStringLiteral("Button1"), QStringLiteral("Новый")),
                            &ReportCatalogueWindow::createNew));
    buttons->addWidget(wire(addButton(QStringLiteral("Button2"), QStringLiteral("Открыть из файла")),
                            &ReportCatalogueWindow::openFromFile));
    buttons->addWidget(wire(addButton(QStringLiteral("Button3"), QStringLiteral("Сохранить в файл")),
                            &ReportCatalogueWindow::saveToFile));
    buttons->addWidget(wire(addButton(QStringLiteral("Button4"), QStringLiteral("Сохранить все в файлы")),
                            &ReportCatalogueWindow::saveAllToFiles));
    buttons->addWidget(wire(addButton(QStringLiteral("Button5"), QStringLiteral("Загрузить с сервера")),
                            &ReportCatalogueWindow::loadFromServer));
    buttons->addWidget(wire(addButton(QStringLiteral("Button6"), QStringLiteral("Сохранить на сервере")),
                            &ReportCatalogueWindow::saveOnServer));
    buttons->addWidget(wire(addButton(QStringLiteral("Button7"), QStringLiteral("Редактировать текущий")),
                            &ReportCatalogueWindow::editCurrent));
    QPushButton* import = wire(addButton(QStringLiteral("Button8"),
                                         QStringLiteral("Автоматическая \n\rзагрузка/обновление \n\rотчета")),
                               &ReportCatalogueWindow::importFromFile);
    // Twice an ordinary button, and never less than its three lines need.
    const int single = findChild<QPushButton*>(QStringLiteral("Button1"))->sizeHint().height();
    import->setFixedHeight(std::max(2 * single, 3 * import->fontMetrics().lineSpacing() + 10));
    buttons->addWidget(import);
    buttons->addStretch(1);

    navigator_ = new RecordNavigator(this);
    navigator_->setObjectName(QStringLiteral("DBNavigator1"));
    connect(navigator_, &RecordNavigator::commandChosen, this,
            [this](RecordNavigator::Command c) { onNavigator(int(c)); });
    templateLabel_ = new QLabel(QString::fromUtf8(NotLoadedText), this);
    templateLabel_->setObjectName(QStringLiteral("Label1"));
    // A screen reader reads the label's text; this says what it is.
    templateLabel_->setAccessibleDescription(QStringLiteral("Текущий отчет"));
    templateLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(2, 2, 2, 2);
    bottom->addWidget(navigator_);
    bottom->addSpacing(8);
    bottom->addWidget(templateLabel_, 1);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(grid_, 1);
    top->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
}

void ReportCatalogueWindow::openTable() {
    try {
        model_->refresh();
        if (model_->rowCount() > 0)
            setCurrentRow(0);
    } catch (const Error& e) {
        // The window opens all the same, with the table closed.
        services_.dialogs->showError(e.message());
    }
    updateCommands();
}

void ReportCatalogueWindow::runGuarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const Error& e) {
        services_.dialogs->showError(e.message());
    }
    updateCommands();
}

QString ReportCatalogueWindow::templateLabelText() const {
    return templateLabel_->text();
}

void ReportCatalogueWindow::setTemplateLabel(const QString& text) {
    templateLabel_->setText(text);
}

int ReportCatalogueWindow::currentRow() const {
    return grid_->currentRow();
}

void ReportCatalogueWindow::setCurrentRow(int row) {
    if (row < 0 || row >= model_->rowCount())
        return;
    const int column =
        grid_->currentIndex().isValid() ? grid_->currentIndex().column() : int(ReportTableModel::IdColumn);
    grid_->setCurrentIndex(grid_->model()->index(row, column));
}

void ReportCatalogueWindow::onNavigator(int command) {
    runGuarded([this, command] {
        const int row = currentRow();
        const int last = model_->rowCount() - 1;
        switch (RecordNavigator::Command(command)) {
        case RecordNavigator::Command::First:
            setCurrentRow(0);
            break;
        case RecordNavigator::Command::Prior:
            setCurrentRow(std::max(0, row - 1));
            break;
        case RecordNavigator::Command::Next:
            setCurrentRow(std::min(last, row + 1));
            break;
        case RecordNavigator::Command::Last:
            setCurrentRow(last);
            break;
        case RecordNavigator::Command::Insert:
            model_->insertAt(row < 0 ? 0 : row);
            setCurrentRow(model_->activeRow());
            grid_->edit(grid_->model()->index(model_->activeRow(), ReportTableModel::IdColumn));
            break;
        case RecordNavigator::Command::Delete:
            if (row >= 0 && services_.dialogs->confirm(QStringLiteral("Удалить запись?")))
                model_->remove(row);
            break;
        case RecordNavigator::Command::Edit:
            if (row >= 0) {
                model_->edit(row);
                grid_->edit(grid_->currentIndex());
            }
            break;
        case RecordNavigator::Command::Post:
            // What the open editor holds belongs to the row being posted; a refusal is shown.
            grid_->postCurrentRow();
            break;
        case RecordNavigator::Command::Cancel:
            model_->cancel();
            break;
        case RecordNavigator::Command::Refresh: {
            const int keep = currentRow();
            model_->post();
            model_->refresh();
            setCurrentRow(std::min(keep, model_->rowCount() - 1));
            break;
        }
        }
    });
}

void ReportCatalogueWindow::updateCommands() {
    using C = RecordNavigator::Command;
    const bool open = model_->isOpen();
    const bool editing = model_->state() != ReportTableModel::State::Browse;
    const bool hasRows = model_->rowCount() > 0;
    for (C c : {C::First, C::Prior, C::Next, C::Last})
        navigator_->setCommandEnabled(c, open && hasRows);
    navigator_->setCommandEnabled(C::Insert, open);
    navigator_->setCommandEnabled(C::Delete, open && hasRows);
    navigator_->setCommandEnabled(C::Edit, open && hasRows && !editing);
    navigator_->setCommandEnabled(C::Post, editing);
    navigator_->setCommandEnabled(C::Cancel, editing);
    navigator_->setCommandEnabled(C::Refresh, true);
}

QString ReportCatalogueWindow::defaultTemplateName() const {
    return services_.reportsFolder + QDir::separator() + QStringLiteral("Untitled");
}

void ReportCatalogueWindow::clearForDesign() {
    services_.report->setFileName(defaultTemplateName());
    services_.report->clear();
}

void ReportCatalogueWindow::createNew() {
    clearForDesign();
    if (services_.designReport)
        services_.designReport();
    setTemplateLabel(QDir::toNativeSeparators(services_.report->fileName()));
}

void ReportCatalogueWindow::openFromFile() {
    clearForDesign();
    openDialogFolder_ = services_.reportsFolder + QDir::separator();
    const QString path = services_.dialogs->openTemplateFile(openDialogFolder_);
    if (path.isEmpty())
        return;
    if (!services_.report->loadFromFile(path))
        return;
    setTemplateLabel(QDir::toNativeSeparators(services_.report->fileName()));
    if (services_.designReport)
        services_.designReport();
}

void ReportCatalogueWindow::saveToFile() {
    const QString path =
        services_.dialogs->saveTemplateFile(services_.reportsFolder + QDir::separator(), templateLabelText());
    if (!path.isEmpty())
        services_.report->saveToFile(path);
}

void ReportCatalogueWindow::saveAllToFiles() {
    const QString folder = services_.dialogs->chooseFolder(QStringLiteral("Choose path to save"));
    if (folder.isEmpty())
        return;
    engine::ExportAllResult result;
    {
        const SuspendedUpdates suspended(grid_);
        const WaitCursor wait;
        const auto backToFirst = qScopeGuard([this] { setCurrentRow(0); });
        services_.report->clear();
        result = engine::exportAllTemplates(*services_.connection, folder);
        // The walk leaves the last template in the shared object, as loading each row does.
        if (model_->rowCount() > 0)
            engine::loadTemplateFromRow(*services_.connection, model_->key(model_->rowCount() - 1),
                                        *services_.report);
    }
    if (!result.skipped.isEmpty()) {
        services_.dialogs->showError(result.skipped.join(u'\n'));
        return;
    }
    services_.dialogs->inform(QStringLiteral("All done"));
}

void ReportCatalogueWindow::loadFromServer() {
    const int row = currentRow();
    if (!model_->isOpen() || row < 0)
        return;
    model_->post();
    clearForDesign();
    engine::loadTemplateFromRow(*services_.connection, model_->key(row), *services_.report);
    setTemplateLabel(model_->name(row));
    if (services_.designReport)
        services_.designReport();
}

void ReportCatalogueWindow::saveOnServer() {
    const int row = currentRow();
    if (!model_->isOpen() || row < 0)
        return;
    if (!services_.dialogs->askYesNo(
            QStringLiteral("Вы уверены, что хотите сохранить текущий отчет\r\nкак ") + model_->name(row) +
            QStringLiteral(" на сервере ?")))
        return;
    model_->post();
    engine::saveTemplateToRow(*services_.connection, model_->key(row), *services_.report);
}

void ReportCatalogueWindow::editCurrent() {
    if (services_.designReport)
        services_.designReport();
}

void ReportCatalogueWindow::importFromFile() {
    const QString path = services_.dialogs->openTemplateFile(openDialogFolder_);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    model_->post();
    const int remembered = currentRow();
    engine::ImportDialog dialog;
    dialog.confirm = [this](const QString& question) { return services_.dialogs->confirm(question); };
    dialog.inform = [this](const QString& text) { services_.dialogs->inform(text); };
    const SuspendedUpdates suspended(grid_);
    const engine::ImportResult result =
        engine::importTemplateFile(*services_.connection, path, *services_.report, dialog);
    setTemplateLabel(QDir::toNativeSeparators(services_.report->fileName()));
    switch (result.outcome) {
    case engine::ImportOutcome::Added:
        model_->refresh();
        setCurrentRow(model_->findRow(result.id, result.name));
        if (services_.reportAdded)
            services_.reportAdded(result.id, result.name);
        break;
    case engine::ImportOutcome::Updated:
        setCurrentRow(remembered);
        break;
    case engine::ImportOutcome::Declined:
        // Declining an update returns to the remembered row; declining an addition leaves the
        // grid at the end of the table.
        if (result.matched)
            setCurrentRow(remembered);
        else
            setCurrentRow(model_->rowCount() - 1);
        break;
    case engine::ImportOutcome::NoFile:
        break;
    }
}

void ReportCatalogueWindow::closeEvent(QCloseEvent* event) {
    // Closing the window closes the table: what was typed is posted first, as leaving a row does.
    try {
        model_->post();
    } catch (const Error& e) {
        services_.dialogs->showError(e.message());
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace svod::reports
