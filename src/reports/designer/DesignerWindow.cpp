#include "reports/designer/DesignerWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QDrag>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUndoView>
#include <QVBoxLayout>

#include "db/Error.h"
#include "engine/FunctionLibrary.h"
#include "engine/Preparer.h"
#include "engine/TemplateStorage.h"
#include "engine/editing/Clipboard.h"
#include "engine/editing/ObjectProperties.h"
#include "engine/editing/Operations.h"
#include "reports/designer/DesignScene.h"
#include "reports/designer/DesignView.h"
#include "reports/designer/DesignerDocument.h"
#include "reports/designer/DialogPanel.h"
#include "reports/designer/LazyPanel.h"
#include "reports/designer/PropertyPanel.h"

namespace svod::reports::designer {

using namespace engine::editing;

DesignerPrompts::Answer DialogPrompts::askSaveChanges(const QString& documentName) {
    const auto b =
        QMessageBox::question(parent_, QStringLiteral("Дизайнер отчетов"),
                              QStringLiteral("Сохранить изменения в шаблоне %1?").arg(documentName),
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    return b == QMessageBox::Yes ? Answer::Yes : b == QMessageBox::No ? Answer::No : Answer::Cancel;
}

bool DialogPrompts::askRestoreAutosave(const QString& text) {
    return QMessageBox::question(parent_, QStringLiteral("Дизайнер отчетов"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void DialogPrompts::showError(const QString& text) {
    QMessageBox::critical(parent_, QStringLiteral("Дизайнер отчетов"), text);
}

QString DialogPrompts::openFileName(const QString& folder) {
    return QFileDialog::getOpenFileName(parent_, QStringLiteral("Открыть шаблон"), folder,
                                        DesignerWindow::FileFilter);
}

QString DialogPrompts::saveFileName(const QString& proposed) {
    QFileDialog dialog(parent_, QStringLiteral("Сохранить шаблон"), proposed, DesignerWindow::FileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("frf"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

namespace {

QDockWidget* dock(QMainWindow* window, const QString& title, const QString& name, QWidget* content,
                  Qt::DockWidgetArea area) {
    auto* d = new QDockWidget(title, window);
    d->setObjectName(name);
    d->setAccessibleName(title);
    d->setWidget(content);
    window->addDockWidget(area, d);
    if (auto* lazy = dynamic_cast<LazyPanel*>(content))
        QObject::connect(d, &QDockWidget::visibilityChanged, lazy, [lazy](bool visible) {
            if (visible) // after the dock layout has put it in place
                QMetaObject::invokeMethod(
                    lazy, [lazy] { lazy->buildIfInSight(); }, Qt::QueuedConnection);
        });
    return d;
}

// Lets a palette button be dragged onto a band: the drop places an object of its kind there.
class PaletteDrag final : public QObject {
public:
    PaletteDrag(engine::ObjectKind kind, QObject* parent) : QObject(parent), kind_(kind) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* button = qobject_cast<QWidget*>(watched);
        if (!button)
            return false;
        if (event->type() == QEvent::MouseButtonPress) {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::LeftButton)
                pressed_ = e->position().toPoint();
        } else if (event->type() == QEvent::MouseMove && pressed_) {
            auto* e = static_cast<QMouseEvent*>(event);
            if ((e->position().toPoint() - *pressed_).manhattanLength() < QApplication::startDragDistance())
                return false;
            pressed_.reset();
            auto* drag = new QDrag(button);
            auto* data = new QMimeData;
            data->setData(DesignView::ObjectKindMimeType, engine::objectKindName(kind_).toUtf8());
            drag->setMimeData(data);
            drag->setPixmap(button->grab());
            drag->exec(Qt::CopyAction);
            return true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            pressed_.reset();
        }
        return false;
    }

private:
    engine::ObjectKind kind_;
    std::optional<QPoint> pressed_;
};

QString shownName(const QString& fileName) {
    return fileName.isEmpty() ? QStringLiteral("Без имени") : QFileInfo(fileName).fileName();
}

// The expression editor: the text of an object with lists of what its [expressions] may name.
class ExpressionEditor final : public QDialog {
public:
    ExpressionEditor(const QString& text, const engine::ReportTemplate& t, const DictionaryPanel& dictionary,
                     QWidget* parent)
        : QDialog(parent) {
        setObjectName(QStringLiteral("ExpressionEditor"));
        setWindowTitle(QStringLiteral("Редактор выражений"));
        resize(640, 420);
        auto* layout = new QVBoxLayout(this);
        edit_ = new QPlainTextEdit(text);
        edit_->setObjectName(QStringLiteral("ExpressionText"));
        edit_->setAccessibleName(QStringLiteral("Текст объекта"));
        auto* names = new QListWidget;
        names->setObjectName(QStringLiteral("ExpressionNames"));
        names->setAccessibleName(QStringLiteral("Поля, переменные и функции"));
        for (const auto& d : t.datasets)
            if (auto fields = dictionary.knownFields(d.name))
                for (const auto& f : *fields)
                    names->addItem(QStringLiteral("[%1.%2]").arg(d.name, f));
        for (auto it = t.variables.cbegin(); it != t.variables.cend(); ++it)
            names->addItem(QStringLiteral("[%1]").arg(it.key()));
        for (const char* n : {"PAGE", "TOTALPAGES", "LINE", "DATE"})
            names->addItem(QStringLiteral("[%1]").arg(QLatin1String(n)));
        for (const char* n : {"SUM", "COUNT", "AVG", "MIN", "MAX"})
            names->addItem(QStringLiteral("[%1()]").arg(QLatin1String(n)));
        for (const auto& f : engine::functionLibraryNames())
            names->addItem(QStringLiteral("[%1()]").arg(f));
        connect(names, &QListWidget::itemDoubleClicked, this,
                [this](QListWidgetItem* item) { edit_->insertPlainText(item->text()); });
        message_ = new QLabel;
        message_->setObjectName(QStringLiteral("ExpressionMessage"));
        message_->setWordWrap(true);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ОК"));
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
        auto* check = buttons->addButton(QStringLiteral("Проверить"), QDialogButtonBox::ActionRole);
        check->setObjectName(QStringLiteral("CheckExpression"));
        connect(check, &QPushButton::clicked, this, [this] { this->check(); });
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* row = new QHBoxLayout;
        row->addWidget(edit_, 2);
        row->addWidget(names, 1);
        layout->addLayout(row);
        layout->addWidget(message_);
        layout->addWidget(buttons);
    }
    QString text() const { return edit_->toPlainText(); }
    bool check() {
        const QStringList parts = engine::splitExpressions(edit_->toPlainText());
        for (int i = 1; i < parts.size(); i += 2) {
            const QString error = expressionSyntaxError(parts[i]);
            if (!error.isEmpty()) {
                message_->setText(QStringLiteral("[%1]: %2").arg(parts[i], error));
                return false;
            }
        }
        message_->setText(QStringLiteral("Выражения без ошибок."));
        return true;
    }

private:
    QPlainTextEdit* edit_;
    QLabel* message_;
};

} // namespace

DesignerWindow::DesignerWindow(DesignerServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)), dialogs_(this), prompts_(&dialogs_) {
    setObjectName(QStringLiteral("ReportDesigner"));
    setAccessibleName(QStringLiteral("Дизайнер отчетов"));
    setWindowFlag(Qt::Window);
    // Captions are Cyrillic and Latin, which need no shaping: measured and drawn faster unshaped.
    QFont plain = font();
    plain.setStyleStrategy(QFont::PreferNoShaping);
    setFont(plain);
    document_ = new DesignerDocument(this);
    scene_ = new DesignScene(*document_, this);
    view_ = new DesignView(*scene_, this);
    setCentralWidget(view_);
    // Made inside the window, so that its font reaches them as they are built, not afterwards.
    properties_ = new PropertyPanel(*document_, *scene_, this);
    dictionary_ = new DictionaryPanel(*document_, services_.runDataset, this);
    checkList_ = new QListWidget(this);
    checkList_->setObjectName(QStringLiteral("CheckList"));
    checkList_->setAccessibleName(QStringLiteral("Проверка шаблона"));
    // Panels behind tabs are built when first shown.
    auto* history = new LazyPanel([this] {
        auto* view = new QUndoView(&document_->undoStack());
        view->setObjectName(QStringLiteral("UndoHistory"));
        view->setAccessibleName(QStringLiteral("История изменений"));
        view->setEmptyLabel(QStringLiteral("<исходный шаблон>"));
        return view;
    });
    dock(this, QStringLiteral("Инспектор объектов"), QStringLiteral("PropertyDock"), properties_,
         Qt::RightDockWidgetArea);
    auto* dictionaryDock = dock(this, QStringLiteral("Словарь данных"), QStringLiteral("DictionaryDock"),
                                dictionary_, Qt::LeftDockWidgetArea);
    dialogHolder_ = new LazyPanel([this] {
        dialogPanel_ = new DialogPanel(*document_);
        return dialogPanel_;
    });
    auto* dialogDock = dock(this, QStringLiteral("Диалоговые формы"), QStringLiteral("DialogDock"),
                            dialogHolder_, Qt::LeftDockWidgetArea);
    tabifyDockWidget(dictionaryDock, dialogDock);
    dictionaryDock->raise();
    auto* checkDock = dock(this, QStringLiteral("Проверка шаблона"), QStringLiteral("CheckDock"), checkList_,
                           Qt::BottomDockWidgetArea);
    auto* historyDock = dock(this, QStringLiteral("История изменений"), QStringLiteral("HistoryDock"),
                             history, Qt::BottomDockWidgetArea);
    tabifyDockWidget(checkDock, historyDock);
    checkDock->raise();
    // The page gets the height; the side panels room for their editors.
    resizeDocks({checkDock}, {110}, Qt::Vertical);
    properties_->setMinimumWidth(350); // the widest choice, "Столбцы с накоплением", shown whole
    dictionaryDock->setMinimumWidth(360);

    connect(document_, &DesignerDocument::changed, scene_, &DesignScene::sync);
    connect(document_, &DesignerDocument::modifiedChanged, this, &DesignerWindow::updateCaption);
    connect(document_, &DesignerDocument::fileNameChanged, this, &DesignerWindow::updateCaption);
    connect(view_, &DesignView::editTextRequested, this, &DesignerWindow::editObjectText);
    properties_->setFieldSource([this](const QString& dataset) { return dictionary_->knownFields(dataset); });
    connect(checkList_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const int band = item->data(Qt::UserRole).toInt();
        const int object = item->data(Qt::UserRole + 1).toInt();
        if (object >= 0)
            scene_->selectRefs({ObjectRef{band, object}});
        else if (band >= 0) {
            scene_->clearSelection();
            scene_->setCurrentBand(band);
        }
        if (auto* target = scene_->itemFor(ObjectRef{band, object}))
            view_->ensureVisible(target);
        view_->setFocus();
    });
    buildActions();
    autosaveTimer_ = new QTimer(this);
    autosaveTimer_->setInterval(services_.autosaveSeconds * 1000);
    connect(autosaveTimer_, &QTimer::timeout, this, &DesignerWindow::autosave);
    autosaveTimer_->start();
    statusBar()->showMessage(QStringLiteral("Tab: следующий объект, стрелки: сдвиг (Ctrl: на 1 пт), "
                                            "Shift+стрелки: размер, Enter: текст, F9: просмотр"));
    resize(1200, 800);
    updateCaption();
}

DesignerWindow::~DesignerWindow() = default;

void DesignerWindow::buildActions() {
    buildFileMenu();
    buildEditMenu();
    buildInsertMenuAndPalette();
    buildArrangeMenu();
    buildViewMenu();
    buildCommandBar();
    // Qt's own overflow button of a bar has no name; screen readers list it even while hidden.
    for (auto* bar : findChildren<QToolBar*>())
        if (auto* more = bar->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button")))
            more->setAccessibleName(QStringLiteral("Другие команды"));
}

QAction* DesignerWindow::addMenuAction(QMenu* menu, const QString& text, const QString& name,
                                       const QKeySequence& key, const std::function<void()>& run) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    if (!key.isEmpty())
        a->setShortcut(key);
    connect(a, &QAction::triggered, this, run);
    menu->addAction(a);
    return a;
}

void DesignerWindow::buildFileMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    file->setObjectName(QStringLiteral("FileMenu"));
    addMenuAction(file, QStringLiteral("Новый"), QStringLiteral("FileNew"), QKeySequence::New,
                  [this] { newFile(); });
    addMenuAction(file, QStringLiteral("Открыть…"), QStringLiteral("FileOpen"), QKeySequence::Open,
                  [this] { openFile(); });
    addMenuAction(file, QStringLiteral("Сохранить"), QStringLiteral("FileSave"), QKeySequence::Save,
                  [this] { save(); });
    addMenuAction(file, QStringLiteral("Сохранить как…"), QStringLiteral("FileSaveAs"),
                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { saveAs(); });
    file->addSeparator();
    addMenuAction(file, QStringLiteral("Параметры страницы…"), QStringLiteral("PageSetup"), {},
                  [this] { editPageSetup(); });
    addMenuAction(file, QStringLiteral("Предварительный просмотр"), QStringLiteral("Preview"),
                  QKeySequence(Qt::Key_F9), [this] { preview(); });
    file->addSeparator();
    addMenuAction(file, QStringLiteral("Закрыть"), QStringLiteral("FileClose"),
                  QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); });
}

void DesignerWindow::buildEditMenu() {
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Правка"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    QAction* undo = document_->undoStack().createUndoAction(this, QStringLiteral("Отменить"));
    undo->setObjectName(QStringLiteral("EditUndo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = document_->undoStack().createRedoAction(this, QStringLiteral("Повторить"));
    redo->setObjectName(QStringLiteral("EditRedo"));
    redo->setShortcuts({QKeySequence::Redo, QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    addMenuAction(edit, QStringLiteral("Вырезать"), QStringLiteral("EditCut"), QKeySequence::Cut,
                  [this] { cut(); });
    addMenuAction(edit, QStringLiteral("Копировать"), QStringLiteral("EditCopy"), QKeySequence::Copy,
                  [this] { copy(); });
    addMenuAction(edit, QStringLiteral("Вставить"), QStringLiteral("EditPaste"), QKeySequence::Paste,
                  [this] { paste(); });
    addMenuAction(edit, QStringLiteral("Удалить"), QStringLiteral("EditDelete"), QKeySequence::Delete,
                  [this] { deleteSelection(); });
    addMenuAction(edit, QStringLiteral("Выделить все"), QStringLiteral("EditSelectAll"),
                  QKeySequence::SelectAll, [this] {
                      QList<ObjectRef> all;
                      for (auto* item : scene_->objectItems())
                          all << item->ref();
                      scene_->selectRefs(all);
                  });
    addMenuAction(edit, QStringLiteral("Текст объекта…"), QStringLiteral("EditText"),
                  QKeySequence(Qt::CTRL | Qt::Key_E), [this] {
                      const auto refs = scene_->selectedRefs();
                      if (refs.size() == 1)
                          editObjectText(refs.first());
                  });
}

// The insert menu and the palette share the object kinds' actions: the next click on a band places
// an object of the chosen kind.
void DesignerWindow::buildInsertMenuAndPalette() {
    QMenu* insert = menuBar()->addMenu(QStringLiteral("&Вставка"));
    insert->setObjectName(QStringLiteral("InsertMenu"));
    QMenu* bands = insert->addMenu(QStringLiteral("Полоса"));
    bands->setObjectName(QStringLiteral("InsertBandMenu"));
    for (auto kind : allBandKinds())
        addMenuAction(bands, bandKindCaption(kind),
                      QStringLiteral("InsertBand_") + engine::bandKindName(kind), {},
                      [this, kind] { insertBand(kind); });

    QToolBar* palette = addToolBar(QStringLiteral("Объекты"));
    palette_ = palette;
    palette->setObjectName(QStringLiteral("Palette"));
    palette->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* group = new QActionGroup(this);
    QAction* select = palette->addAction(QStringLiteral("Выбор"));
    select->setObjectName(QStringLiteral("ToolSelect"));
    select->setCheckable(true);
    select->setChecked(true);
    group->addAction(select);
    connect(select, &QAction::triggered, this, [this] { view_->setTool(std::nullopt); });
    for (auto kind : allObjectKinds()) {
        QAction* a = palette->addAction(objectKindCaption(kind));
        a->setObjectName(QStringLiteral("Tool_") + engine::objectKindName(kind));
        a->setCheckable(true);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, kind] { view_->setTool(kind); });
        insert->addAction(a);
        if (QWidget* button = palette->widgetForAction(a)) {
            button->setAccessibleName(objectKindCaption(kind));
            button->setObjectName(QStringLiteral("PaletteButton_") + engine::objectKindName(kind));
            button->installEventFilter(new PaletteDrag(kind, button));
        }
    }
    connect(view_, &DesignView::toolUsed, select, [select] { select->setChecked(true); });
}

void DesignerWindow::buildArrangeMenu() {
    QMenu* arrangeMenu = menuBar()->addMenu(QStringLiteral("&Расположение"));
    arrangeMenu->setObjectName(QStringLiteral("ArrangeMenu"));
    const QList<std::tuple<Arrange, QString, QString, QKeySequence>> arrangements = {
        {Arrange::Left, QStringLiteral("Выровнять по левому краю"), QStringLiteral("AlignLeft"), {}},
        {Arrange::Right, QStringLiteral("Выровнять по правому краю"), QStringLiteral("AlignRight"), {}},
        {Arrange::Top, QStringLiteral("Выровнять по верхнему краю"), QStringLiteral("AlignTop"), {}},
        {Arrange::Bottom, QStringLiteral("Выровнять по нижнему краю"), QStringLiteral("AlignBottom"), {}},
        {Arrange::HorizontalCentres,
         QStringLiteral("Центры по горизонтали"),
         QStringLiteral("AlignHCentres"),
         {}},
        {Arrange::VerticalCentres,
         QStringLiteral("Центры по вертикали"),
         QStringLiteral("AlignVCentres"),
         {}},
        {Arrange::SameWidth, QStringLiteral("Одинаковая ширина"), QStringLiteral("SameWidth"), {}},
        {Arrange::SameHeight, QStringLiteral("Одинаковая высота"), QStringLiteral("SameHeight"), {}},
        {Arrange::DistributeAcross,
         QStringLiteral("Распределить по горизонтали"),
         QStringLiteral("DistributeAcross"),
         {}},
        {Arrange::DistributeDown,
         QStringLiteral("Распределить по вертикали"),
         QStringLiteral("DistributeDown"),
         {}},
        {Arrange::Front, QStringLiteral("На передний план"), QStringLiteral("BringToFront"),
         QKeySequence(Qt::CTRL | Qt::Key_BracketRight)},
        {Arrange::Back, QStringLiteral("На задний план"), QStringLiteral("SendToBack"),
         QKeySequence(Qt::CTRL | Qt::Key_BracketLeft)},
    };
    for (const auto& [how, text, name, key] : arrangements) {
        const Arrange h = how;
        addMenuAction(arrangeMenu, text, name, key, [this, h] { arrange(h); });
        if (h == Arrange::VerticalCentres || h == Arrange::SameHeight || h == Arrange::DistributeDown)
            arrangeMenu->addSeparator();
    }
}

void DesignerWindow::buildViewMenu() {
    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&Вид"));
    viewMenu->setObjectName(QStringLiteral("ViewMenu"));
    QAction* grid = addMenuAction(viewMenu, QStringLiteral("Сетка"), QStringLiteral("ShowGrid"), {}, [] {});
    grid->setCheckable(true);
    grid->setChecked(true);
    connect(grid, &QAction::toggled, scene_, &DesignScene::setGridVisible);
    QAction* snap =
        addMenuAction(viewMenu, QStringLiteral("Привязка к сетке"), QStringLiteral("SnapToGrid"), {}, [] {});
    snap->setCheckable(true);
    snap->setChecked(true);
    connect(snap, &QAction::toggled, scene_, &DesignScene::setSnapToGrid);
    viewMenu->addSeparator();
    addMenuAction(viewMenu, QStringLiteral("Крупнее"), QStringLiteral("ZoomIn"), QKeySequence::ZoomIn,
                  [this] { view_->setZoom(view_->zoom() * 1.25); });
    addMenuAction(viewMenu, QStringLiteral("Мельче"), QStringLiteral("ZoomOut"), QKeySequence::ZoomOut,
                  [this] { view_->setZoom(view_->zoom() * 0.8); });
    for (int percent : {25, 50, 100, 200, 400})
        addMenuAction(viewMenu, QStringLiteral("%1 %").arg(percent), QStringLiteral("Zoom%1").arg(percent),
                      {}, [this, percent] { view_->setZoom(percent); });
    addMenuAction(viewMenu, QStringLiteral("По ширине страницы"), QStringLiteral("ZoomPageWidth"), {},
                  [this] { view_->zoomToPageWidth(); });
    addMenuAction(viewMenu, QStringLiteral("Страница целиком"), QStringLiteral("ZoomWholePage"), {},
                  [this] { view_->zoomToWholePage(); });
    viewMenu->addSeparator();
    addMenuAction(viewMenu, QStringLiteral("Проверить шаблон"), QStringLiteral("CheckTemplate"),
                  QKeySequence(Qt::SHIFT | Qt::Key_F9), [this] { checkTemplate(); });
    viewMenu->addSeparator();
    addMenuAction(viewMenu, QStringLiteral("Следующая панель"), QStringLiteral("NextPanel"),
                  QKeySequence(Qt::Key_F6), [this] { focusPanel(true); });
    addMenuAction(viewMenu, QStringLiteral("Предыдущая панель"), QStringLiteral("PreviousPanel"),
                  QKeySequence(Qt::SHIFT | Qt::Key_F6), [this] { focusPanel(false); });
}

// The commands used most, on a tool bar of their own in a second row, so that neither bar is cut
// off at 1280 pixels (the actions are the menus').
void DesignerWindow::buildCommandBar() {
    addToolBarBreak();
    QToolBar* tools = addToolBar(QStringLiteral("Команды"));
    tools->setObjectName(QStringLiteral("Commands"));
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    if (auto* a = findChild<QAction*>(QStringLiteral("FileSave")))
        tools->addAction(a);
    addUndoButtons(tools);
    for (const char* name : {"Preview", "CheckTemplate"})
        if (auto* a = findChild<QAction*>(QLatin1String(name)))
            tools->addAction(a);
    if (auto* arrangeMenu = findChild<QMenu*>(QStringLiteral("ArrangeMenu"))) {
        auto* arrangeButton = new QToolButton;
        arrangeButton->setObjectName(QStringLiteral("ArrangeButton"));
        arrangeButton->setText(QStringLiteral("Расположение"));
        arrangeButton->setAccessibleName(QStringLiteral("Расположение"));
        arrangeButton->setMenu(arrangeMenu);
        arrangeButton->setPopupMode(QToolButton::InstantPopup);
        // Room for the menu arrow, which the style draws over the caption's end otherwise.
        arrangeButton->setStyleSheet(QStringLiteral("QToolButton { padding-right: 14px; }"));
        tools->addWidget(arrangeButton);
    }
    auto* zoomBox = new QComboBox;
    zoomBox->setObjectName(QStringLiteral("ZoomBox"));
    zoomBox->setAccessibleName(QStringLiteral("Масштаб"));
    zoomBox->setEditable(true);
    zoomBox->lineEdit()->setAccessibleName(QStringLiteral("Масштаб"));
    for (int percent : {25, 50, 75, 100, 150, 200, 400})
        zoomBox->addItem(QStringLiteral("%1 %").arg(percent));
    zoomBox->setCurrentText(QStringLiteral("100 %"));
    connect(zoomBox, &QComboBox::textActivated, this, [this](const QString& text) {
        bool ok = false;
        const double v = QString(text).remove(u'%').trimmed().toDouble(&ok);
        if (ok)
            view_->setZoom(v);
    });
    connect(view_, &DesignView::zoomChanged, zoomBox, [zoomBox](double percent) {
        zoomBox->setCurrentText(QStringLiteral("%1 %").arg(qRound(percent)));
    });
    tools->addWidget(zoomBox);
}

// Undo and redo with short captions: the menu's actions carry the step's name, which would widen
// the bar with every step; here the name is the tool tip.
void DesignerWindow::addUndoButtons(QToolBar* tools) {
    QUndoStack& stack = document_->undoStack();
    auto* undo = tools->addAction(QStringLiteral("Отменить"), &stack, &QUndoStack::undo);
    undo->setObjectName(QStringLiteral("ToolUndo"));
    auto* redo = tools->addAction(QStringLiteral("Повторить"), &stack, &QUndoStack::redo);
    redo->setObjectName(QStringLiteral("ToolRedo"));
    const auto update = [&stack, undo, redo] {
        undo->setEnabled(stack.canUndo());
        redo->setEnabled(stack.canRedo());
        undo->setToolTip(stack.canUndo() ? QStringLiteral("Отменить: ") + stack.undoText()
                                         : QStringLiteral("Отменить"));
        redo->setToolTip(stack.canRedo() ? QStringLiteral("Повторить: ") + stack.redoText()
                                         : QStringLiteral("Повторить"));
    };
    connect(&stack, &QUndoStack::indexChanged, this, update);
    connect(&stack, &QUndoStack::cleanChanged, this, update);
    update();
}

DialogPanel& DesignerWindow::dialogPanel() {
    dialogHolder_->content();
    return *dialogPanel_;
}

QList<QWidget*> DesignerWindow::panels() {
    return {view_, palette_, properties_, dictionary_, &dialogPanel(), checkList_};
}

void DesignerWindow::focusPanel(bool forward) {
    const QList<QWidget*> all = panels();
    const int n = int(all.size());
    QWidget* focused = QApplication::focusWidget();
    int current = -1;
    for (int i = 0; i < n; ++i)
        if (focused && (all[i] == focused || all[i]->isAncestorOf(focused)))
            current = i;
    const int next = current < 0 ? 0 : (current + (forward ? 1 : n - 1)) % n;
    QWidget* panel = all[next];
    for (QWidget* w = panel; w; w = w->parentWidget())
        if (auto* d = qobject_cast<QDockWidget*>(w)) {
            d->show();
            d->raise();
        }
    if (panel == palette_) {
        // The chosen tool's button, so that arrows and Space pick another.
        for (QAction* a : palette_->actions())
            if (a->isChecked())
                if (QWidget* button = palette_->widgetForAction(a)) {
                    button->setFocus(Qt::ShortcutFocusReason);
                    return;
                }
    }
    if (panel->focusPolicy() & Qt::TabFocus) {
        panel->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    for (QWidget* w : panel->findChildren<QWidget*>())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()) {
            w->setFocus(Qt::ShortcutFocusReason);
            return;
        }
    panel->setFocus(Qt::ShortcutFocusReason);
}

void DesignerWindow::updateCaption() {
    setWindowTitle(QStringLiteral("Дизайнер отчетов - %1[*]").arg(shownName(document_->fileName())));
    setWindowModified(document_->isModified());
}

void DesignerWindow::openTemplate(engine::ReportTemplate t, const QString& documentName) {
    document_->reset(std::move(t), documentName); // the scene follows through changed()
    view_->showPageStart();
    offerAutosave();
}

bool DesignerWindow::newFile() {
    if (document_->isModified()) {
        const auto answer = prompts_->askSaveChanges(shownName(document_->fileName()));
        if (answer == DesignerPrompts::Answer::Cancel || (answer == DesignerPrompts::Answer::Yes && !save()))
            return false;
    }
    removeAutosave();
    engine::ReportTemplate t;
    engine::Band title;
    title.kind = engine::BandKind::ReportTitle;
    title.height = 40;
    engine::Band data;
    data.kind = engine::BandKind::MasterData;
    data.height = 20;
    t.bands << title << data;
    openTemplate(t, QString());
    return true;
}

bool DesignerWindow::openFile(const QString& given) {
    if (document_->isModified()) {
        const auto answer = prompts_->askSaveChanges(shownName(document_->fileName()));
        if (answer == DesignerPrompts::Answer::Cancel || (answer == DesignerPrompts::Answer::Yes && !save()))
            return false;
    }
    const QString path =
        given.isEmpty() ? prompts_->openFileName(QFileInfo(document_->fileName()).absolutePath()) : given;
    if (path.isEmpty())
        return false;
    try {
        engine::ReportTemplate t = DesignerDocument::readFile(path);
        removeAutosave();
        openTemplate(std::move(t), path);
        return true;
    } catch (const Error& e) {
        prompts_->showError(e.message());
        return false;
    }
}

bool DesignerWindow::save() {
    if (document_->fileName().isEmpty() || !QFileInfo(document_->fileName()).isAbsolute())
        return saveAs();
    try {
        document_->saveAs(document_->fileName());
        removeAutosave();
        return true;
    } catch (const Error& e) {
        prompts_->showError(e.message());
        return false;
    }
}

bool DesignerWindow::saveAs(const QString& given) {
    QString path = given.isEmpty() ? prompts_->saveFileName(document_->fileName()) : given;
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".frf");
    try {
        removeAutosave();
        document_->saveAs(path);
        return true;
    } catch (const Error& e) {
        prompts_->showError(e.message());
        return false;
    }
}

void DesignerWindow::copy() {
    const auto refs = scene_->selectedRefs();
    if (refs.isEmpty())
        return;
    QList<engine::TemplateObject> objects;
    for (const auto& r : refs)
        objects << document_->reportTemplate().bands[r.band].objects[r.index];
    const QByteArray xml = objectsToXml(objects);
    auto* data = new QMimeData;
    data->setData(ClipboardMimeType, xml);
    data->setText(QString::fromUtf8(xml));
    QApplication::clipboard()->setMimeData(data);
}

void DesignerWindow::cut() {
    copy();
    deleteSelection();
}

bool DesignerWindow::paste() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data)
        return false;
    const QByteArray xml =
        data->hasFormat(ClipboardMimeType) ? data->data(ClipboardMimeType) : data->text().toUtf8();
    QList<engine::TemplateObject> objects;
    try {
        objects = objectsFromXml(xml);
    } catch (const Error&) {
        return false; // not ours: nothing to paste
    }
    const auto& t = document_->reportTemplate();
    if (objects.isEmpty() || t.bands.isEmpty())
        return false;
    int band = scene_->currentBand();
    if (band < 0 || band >= t.bands.size())
        band = 0;
    document_->push(addObjects(t, band, objects, QStringLiteral("Вставка")));
    scene_->sync();
    scene_->selectRefs(appendedRefs(document_->reportTemplate(), band, int(objects.size())));
    return true;
}

void DesignerWindow::deleteSelection() {
    const auto refs = scene_->selectedRefs();
    if (!refs.isEmpty()) {
        document_->push(removeObjects(document_->reportTemplate(), refs));
    } else if (scene_->currentBand() >= 0) {
        document_->push(removeBand(document_->reportTemplate(), scene_->currentBand()));
        scene_->setCurrentBand(-1);
    }
    scene_->sync();
}

void DesignerWindow::insertBand(engine::BandKind kind) {
    const auto& t = document_->reportTemplate();
    QString error;
    const int at = bandInsertPosition(t, kind, scene_->currentBand(), &error);
    if (at < 0) {
        prompts_->showError(error);
        return;
    }
    engine::Band band;
    band.kind = kind;
    band.height = 20;
    if (isDataBand(kind) && !t.datasets.isEmpty())
        band.dataset = t.datasets.first().name;
    if (kind == engine::BandKind::Child) {
        QSet<QString> taken;
        for (const auto& b : t.bands)
            taken.insert(b.name);
        band.name = freeName(QStringLiteral("Child"), taken);
    }
    document_->push(addBand(t, at, band));
    scene_->sync();
    scene_->clearSelection();
    scene_->setCurrentBand(at);
}

void DesignerWindow::arrange(Arrange how) {
    const auto refs = scene_->selectedRefs();
    const auto& t = document_->reportTemplate();
    EditPtr edit;
    switch (how) {
    case Arrange::Left:
        edit = alignObjects(t, refs, Alignment::Left);
        break;
    case Arrange::Right:
        edit = alignObjects(t, refs, Alignment::Right);
        break;
    case Arrange::Top:
        edit = alignObjects(t, refs, Alignment::Top);
        break;
    case Arrange::Bottom:
        edit = alignObjects(t, refs, Alignment::Bottom);
        break;
    case Arrange::HorizontalCentres:
        edit = alignObjects(t, refs, Alignment::HorizontalCentres);
        break;
    case Arrange::VerticalCentres:
        edit = alignObjects(t, refs, Alignment::VerticalCentres);
        break;
    case Arrange::SameWidth:
        edit = sameSize(t, refs, true, false);
        break;
    case Arrange::SameHeight:
        edit = sameSize(t, refs, false, true);
        break;
    case Arrange::DistributeAcross:
        edit = distributeObjects(t, refs, Qt::Horizontal);
        break;
    case Arrange::DistributeDown:
        edit = distributeObjects(t, refs, Qt::Vertical);
        break;
    case Arrange::Front:
    case Arrange::Back: {
        edit = how == Arrange::Front ? bringToFront(t, refs) : sendToBack(t, refs);
        if (!edit)
            return;
        // The objects keep being selected at their new places.
        QList<engine::TemplateObject> chosen;
        for (const auto& r : refs)
            chosen << t.bands[r.band].objects[r.index];
        document_->push(std::move(edit));
        scene_->sync();
        QList<ObjectRef> selected;
        const auto& after = document_->reportTemplate();
        for (int b = 0; b < after.bands.size(); ++b)
            for (int i = 0; i < after.bands[b].objects.size(); ++i)
                if (chosen.contains(after.bands[b].objects[i]))
                    selected << ObjectRef{b, i};
        scene_->selectRefs(selected);
        return;
    }
    }
    document_->push(std::move(edit));
    scene_->sync();
}

QList<Finding> DesignerWindow::checkTemplate() {
    const auto findings =
        engine::editing::checkTemplate(document_->reportTemplate(), [this](const engine::DatasetSpec& d) {
            return dictionary_->knownFields(d.name);
        });
    checkList_->clear();
    for (const auto& f : findings) {
        auto* item = new QListWidgetItem(f.message, checkList_);
        item->setData(Qt::UserRole, f.band);
        item->setData(Qt::UserRole + 1, f.object);
    }
    if (findings.isEmpty())
        new QListWidgetItem(QStringLiteral("Ошибок не найдено."), checkList_);
    if (auto* d = findChild<QDockWidget*>(QStringLiteral("CheckDock")))
        d->raise();
    return findings;
}

void DesignerWindow::preview() {
    if (!services_.prepare || !services_.showPreview) {
        prompts_->showError(QStringLiteral("Просмотр недоступен: нет соединения с базой данных."));
        return;
    }
    engine::PreparedPages pages;
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool prepared = services_.prepare(document_->reportTemplate(), pages);
        QApplication::restoreOverrideCursor();
        if (prepared)
            services_.showPreview(pages);
    } catch (const Error& e) {
        QApplication::restoreOverrideCursor();
        prompts_->showError(e.message());
    }
}

void DesignerWindow::editObjectText(ObjectRef ref) {
    const auto& t = document_->reportTemplate();
    if (ref.band < 0 || ref.band >= t.bands.size() || ref.index < 0 ||
        ref.index >= t.bands[ref.band].objects.size())
        return;
    const auto& o = t.bands[ref.band].objects[ref.index];
    if (!propertyApplies(o.kind, ObjectProperty::Text))
        return;
    ExpressionEditor editor(o.text, t, *dictionary_, this);
    if (editor.exec() != QDialog::Accepted)
        return;
    document_->push(
        setObjectProperty(document_->reportTemplate(), {ref}, ObjectProperty::Text, editor.text()));
    scene_->sync();
}

void DesignerWindow::editPageSetup() {
    engine::PageSetup page = document_->reportTemplate().page;
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("PageSetupDialog"));
    dialog.setWindowTitle(QStringLiteral("Параметры страницы"));
    auto* form = new QFormLayout(&dialog);
    auto* paper = new QComboBox;
    paper->setObjectName(QStringLiteral("PaperSize"));
    paper->setAccessibleName(QStringLiteral("Размер бумаги"));
    const QList<std::pair<QString, QSizeF>> sizes = {{QStringLiteral("A4 (210 × 297 мм)"), {595.28, 841.89}},
                                                     {QStringLiteral("A3 (297 × 420 мм)"), {841.89, 1190.55}},
                                                     {QStringLiteral("A5 (148 × 210 мм)"), {419.53, 595.28}},
                                                     {QStringLiteral("Letter (216 × 279 мм)"), {612, 792}}};
    for (const auto& [name, size] : sizes)
        paper->addItem(name, size);
    for (int i = 0; i < sizes.size(); ++i)
        if (std::abs(sizes[i].second.width() - page.size.width()) < 1 &&
            std::abs(sizes[i].second.height() - page.size.height()) < 1)
            paper->setCurrentIndex(i);
    auto* orientation = new QComboBox;
    orientation->setObjectName(QStringLiteral("Orientation"));
    orientation->setAccessibleName(QStringLiteral("Ориентация"));
    orientation->addItems({QStringLiteral("Книжная"), QStringLiteral("Альбомная")});
    orientation->setCurrentIndex(page.landscape ? 1 : 0);
    form->addRow(QStringLiteral("Бумага:"), paper);
    form->addRow(QStringLiteral("Ориентация:"), orientation);
    QList<QDoubleSpinBox*> margins;
    const QList<std::pair<QString, double>> sides = {{QStringLiteral("Поле слева, мм:"), page.marginLeft},
                                                     {QStringLiteral("Поле сверху, мм:"), page.marginTop},
                                                     {QStringLiteral("Поле справа, мм:"), page.marginRight},
                                                     {QStringLiteral("Поле снизу, мм:"), page.marginBottom}};
    for (const auto& [label, value] : sides) {
        auto* spin = new QDoubleSpinBox;
        spin->setRange(0, 100);
        spin->setDecimals(1);
        spin->setValue(value / engine::PointsPerMm);
        spin->setAccessibleName(label);
        spin->setObjectName(QStringLiteral("Margin%1").arg(margins.size()));
        margins << spin;
        form->addRow(label, spin);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ОК"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    page.size = paper->currentData().toSizeF();
    page.landscape = orientation->currentIndex() == 1;
    page.marginLeft = margins[0]->value() * engine::PointsPerMm;
    page.marginTop = margins[1]->value() * engine::PointsPerMm;
    page.marginRight = margins[2]->value() * engine::PointsPerMm;
    page.marginBottom = margins[3]->value() * engine::PointsPerMm;
    document_->push(setPageSetup(document_->reportTemplate(), page));
}

QString DesignerWindow::autosavePath() const {
    QString folder = services_.autosaveFolder;
    if (folder.isEmpty())
        folder =
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/autosave");
    const QString key = document_->fileName().isEmpty() ? QStringLiteral("<новый>") : document_->fileName();
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return folder + QStringLiteral("/") + QString::fromLatin1(hash) + QStringLiteral(".frf");
}

void DesignerWindow::autosave() {
    if (!document_->isModified())
        return;
    const QString path = autosavePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    try {
        DesignerDocument::writeFile(document_->reportTemplate(), path);
    } catch (const Error& e) {
        statusBar()->showMessage(QStringLiteral("Автосохранение не удалось: ") + e.message());
    }
}

void DesignerWindow::removeAutosave() {
    QFile::remove(autosavePath());
}

void DesignerWindow::offerAutosave() {
    const QString path = autosavePath();
    const QFileInfo info(path);
    if (!info.exists())
        return;
    const QString text = QStringLiteral("Найдена автоматически сохраненная копия шаблона %1 от %2: работа "
                                        "дизайнера была прервана. Восстановить ее?")
                             .arg(shownName(document_->fileName()),
                                  info.lastModified().toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    if (!prompts_->askRestoreAutosave(text)) {
        removeAutosave();
        return;
    }
    try {
        document_->replaceAsChange(DesignerDocument::readFile(path),
                                   QStringLiteral("Восстановление автосохранения"));
        scene_->sync();
    } catch (const Error& e) {
        prompts_->showError(e.message());
    }
}

void DesignerWindow::closeEvent(QCloseEvent* event) {
    if (document_->isModified()) {
        const auto answer = prompts_->askSaveChanges(shownName(document_->fileName()));
        if (answer == DesignerPrompts::Answer::Cancel ||
            (answer == DesignerPrompts::Answer::Yes && !save())) {
            event->ignore();
            return;
        }
    }
    removeAutosave();
    event->accept();
    Q_EMIT closed();
}

} // namespace svod::reports::designer
