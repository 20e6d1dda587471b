#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDirIterator>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <gtest/gtest.h>

#include "db/Error.h"
#include "engine/Report.h"
#include "engine/TemplateStorage.h"
#include "engine/editing/DialogEditing.h"
#include "engine/editing/ObjectProperties.h"
#include "reports/designer/DesignReport.h"
#include "reports/designer/DesignScene.h"
#include "reports/designer/DesignView.h"
#include "reports/designer/DesignerDocument.h"
#include "reports/designer/DesignerWindow.h"
#include "reports/designer/DialogPanel.h"
#include "reports/designer/DictionaryPanel.h"
#include "reports/designer/InPlaceEditor.h"

using namespace svod;
using namespace svod::reports::designer;
using engine::editing::ObjectRef;

namespace {

// Answers as a script says and records what was asked.
class ScriptedPrompts final : public DesignerPrompts {
public:
    Answer save = Answer::No;
    bool restore = true;
    QString saveName;
    QStringList errors, asked;
    Answer askSaveChanges(const QString& name) override {
        asked << name;
        return save;
    }
    bool askRestoreAutosave(const QString& text) override {
        asked << text;
        return restore;
    }
    void showError(const QString& text) override { errors << text; }
    QString openFileName(const QString&) override { return {}; }
    QString saveFileName(const QString&) override { return saveName; }
};

engine::ReportTemplate demoTemplate() {
    QFile file(QStringLiteral(":/demo-reports/Остатки по филиалам на дату.frf"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return engine::templateFromXml(file.readAll());
}

// A designer with its own autosave folder, its dataset queries answered from memory.
struct Designer {
    explicit Designer(const QString& autosave) {
        DesignerServices s;
        s.autosaveFolder = autosave;
        s.runDataset = [](const engine::DatasetSpec& d) {
            if (d.sql.contains(QStringLiteral("FAIL")))
                throw Error(QStringLiteral("no such table: NET"));
            engine::RowSet rows;
            rows.fields =
                QStringLiteral("KOD NAZVANIE BST_VAL IZN_VAL OST_VAL BST_RUB IZN_RUB OST_RUB").split(u' ');
            return rows;
        };
        window = std::make_unique<DesignerWindow>(s);
        window->setPrompts(&prompts);
        window->resize(1280, 860);
        window->show();
    }
    ~Designer() {
        if (!window)
            return;
        window->document().undoStack().setClean(); // no question at the end of a test
        window->close();
    }
    QAction* action(const char* name) { return window->findChild<QAction*>(QLatin1String(name)); }
    // The window in front with the keyboard, so that its shortcuts (F6, F9) work.
    void activate() {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }
    // Which panel of the window holds the keyboard focus, by its object name.
    QString focusedPanel() {
        QWidget* f = QApplication::focusWidget();
        for (QWidget* panel : window->panels())
            if (f && (panel == f || panel->isAncestorOf(f)))
                return panel->objectName();
        return {};
    }
    QPoint viewPoint(QPointF scenePos) { return window->view().mapFromScene(scenePos); }
    const engine::ReportTemplate& model() { return window->document().reportTemplate(); }
    ScriptedPrompts prompts;
    std::unique_ptr<DesignerWindow> window;
};

class DesignerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString autosave() const { return dir.filePath(QStringLiteral("autosave")); }
};

TEST_F(DesignerTest, PlaceDragAlignUndoSaveAndReload) {
    Designer d(autosave());
    ASSERT_TRUE(d.window->newFile());
    DesignView& view = d.window->view();
    DesignScene& scene = d.window->scene();
    const QRectF data = scene.bandArea(1);

    // Place two text objects from the palette with the mouse.
    d.action("Tool_text")->trigger();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, d.viewPoint(data.topLeft() + QPointF(40, 2)));
    d.action("Tool_text")->trigger();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, d.viewPoint(data.topLeft() + QPointF(200, 2)));
    ASSERT_EQ(d.model().bands[1].objects.size(), 2);
    EXPECT_EQ(d.model().bands[1].objects[0].rect.topLeft(), QPointF(40, 0));

    // Drag the second one 20 points right and 4 down: one step however many mouse moves.
    const int before = d.window->document().undoStack().count();
    const QPointF grab = scene.itemFor(ObjectRef{1, 1})->scenePos() + QPointF(10, 8);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, d.viewPoint(grab));
    for (int step = 1; step <= 5; ++step) {
        QMouseEvent move(QEvent::MouseMove, d.viewPoint(grab + QPointF(4 * step, 0.8 * step)),
                         view.viewport()->mapToGlobal(d.viewPoint(grab + QPointF(4 * step, 0.8 * step))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &move);
    }
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, d.viewPoint(grab + QPointF(20, 4)));
    EXPECT_EQ(d.window->document().undoStack().count(), before + 1);
    EXPECT_EQ(d.model().bands[1].objects[1].rect.topLeft(), QPointF(220, 4));

    // Align both to the top of the first.
    scene.selectRefs({ObjectRef{1, 0}, ObjectRef{1, 1}});
    d.action("AlignTop")->trigger();
    EXPECT_EQ(d.model().bands[1].objects[1].rect.top(), 0);
    EXPECT_EQ(d.action("EditUndo")->text(), QStringLiteral("Отменить Выравнивание"));

    // Undo twice: the alignment and the drag.
    d.action("EditUndo")->trigger();
    d.action("EditUndo")->trigger();
    EXPECT_EQ(d.model().bands[1].objects[1].rect.topLeft(), QPointF(200, 0));
    EXPECT_TRUE(d.window->windowTitle().contains(QStringLiteral("[*]")));
    EXPECT_TRUE(d.window->isWindowModified());

    const QString path = dir.filePath(QStringLiteral("отчет.frf"));
    ASSERT_TRUE(d.window->saveAs(path));
    EXPECT_FALSE(d.window->isWindowModified());
    EXPECT_EQ(d.window->document().fileName(), path);
    const engine::ReportTemplate saved = d.model();

    Designer other(autosave());
    ASSERT_TRUE(other.window->openFile(path));
    EXPECT_EQ(other.model(), saved);
    EXPECT_TRUE(other.window->windowTitle().startsWith(QStringLiteral("Дизайнер отчетов - отчет.frf")));
}

TEST_F(DesignerTest, CopyAndPasteBetweenTwoDesigners) {
    Designer a(autosave());
    Designer b(autosave());
    a.window->openTemplate(demoTemplate(), QStringLiteral("a.frf"));
    ASSERT_TRUE(b.window->newFile());
    // The whole data row of the demo report.
    const int dataBand = 2;
    QList<ObjectRef> row;
    for (int i = 0; i < a.model().bands[dataBand].objects.size(); ++i)
        row << ObjectRef{dataBand, i};
    a.window->scene().selectRefs(row);
    a.action("EditCopy")->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().contains(QStringLiteral("[NAZVANIE]")));

    b.window->scene().setCurrentBand(1);
    b.action("EditPaste")->trigger();
    ASSERT_EQ(b.model().bands[1].objects.size(), row.size());
    EXPECT_EQ(b.model().bands[1].objects[1].text, QStringLiteral("[NAZVANIE]"));
    EXPECT_EQ(b.window->scene().selectedRefs().size(), row.size());
    // Pasting again into the same designer renames the copies.
    b.action("EditPaste")->trigger();
    QSet<QString> names;
    for (const auto& o : b.model().bands[1].objects)
        names.insert(o.name);
    EXPECT_EQ(names.size(), 2 * row.size());
}

TEST_F(DesignerTest, CheckPanelFlagsAFieldTheDatasetLacksAndSelectsIt) {
    Designer d(autosave());
    engine::ReportTemplate t = demoTemplate();
    ObjectRef target;
    for (int b = 0; b < t.bands.size(); ++b)
        for (int i = 0; i < t.bands[b].objects.size(); ++i)
            if (t.bands[b].objects[i].text == u"[IZN_VAL]")
                target = ObjectRef{b, i};
    ASSERT_GE(target.band, 0);
    t.bands[target.band].objects[target.index].text = QStringLiteral("[IZN_VALUTA]");
    d.window->openTemplate(t, QStringLiteral("x.frf"));
    for (int i = 0; i < t.datasets.size(); ++i) {
        d.window->dictionary().selectDataset(i);
        ASSERT_TRUE(d.window->dictionary().checkSelectedDataset());
    }
    d.action("CheckTemplate")->trigger();
    QListWidget& list = d.window->checkList();
    QListWidgetItem* flagged = nullptr;
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->text().contains(QStringLiteral("IZN_VALUTA")))
            flagged = list.item(i);
    ASSERT_TRUE(flagged);
    Q_EMIT list.itemActivated(flagged);
    EXPECT_EQ(d.window->scene().selectedRefs(), (QList<ObjectRef>{target}));
}

TEST_F(DesignerTest, DatasetCheckShowsTheServersMessage) {
    Designer d(autosave());
    engine::ReportTemplate t;
    t.datasets << engine::DatasetSpec{QStringLiteral("D"), QStringLiteral("SELECT * FROM FAIL"), {}};
    d.window->openTemplate(t, {});
    d.window->dictionary().selectDataset(0);
    EXPECT_FALSE(d.window->dictionary().checkSelectedDataset());
    EXPECT_TRUE(d.window->dictionary().lastMessage().contains(QStringLiteral("no such table: NET")));
}

TEST_F(DesignerTest, BadFilesLeaveTheDocumentAsItWas) {
    Designer d(autosave());
    d.window->openTemplate(demoTemplate(), QStringLiteral("demo.frf"));
    const engine::ReportTemplate before = d.model();
    const QString notTemplate = dir.filePath(QStringLiteral("text.frf"));
    QFile f(notTemplate);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html>not a template</html>");
    f.close();
    const QString newer = dir.filePath(QStringLiteral("newer.frf"));
    QFile g(newer);
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("<?xml version=\"1.0\"?><svod-report version=\"99\"/>");
    g.close();
    EXPECT_FALSE(d.window->openFile(notTemplate));
    EXPECT_FALSE(d.window->openFile(newer));
    ASSERT_EQ(d.prompts.errors.size(), 2);
    EXPECT_TRUE(d.prompts.errors[0].contains(notTemplate));
    EXPECT_TRUE(d.prompts.errors[0].contains(QStringLiteral("не является шаблоном")));
    EXPECT_TRUE(d.prompts.errors[1].contains(QStringLiteral("версия")));
    EXPECT_EQ(d.model(), before);
    EXPECT_EQ(d.window->document().fileName(), QStringLiteral("demo.frf"));
    // Saving where it cannot write leaves no file and says so.
    EXPECT_FALSE(d.window->saveAs(dir.filePath(QStringLiteral("нет/такой/папки.frf"))));
    EXPECT_EQ(d.prompts.errors.size(), 3);
}

TEST_F(DesignerTest, AnAutosavedCopyIsOfferedBackAfterACrash) {
    const QString name = dir.filePath(QStringLiteral("crash.frf"));
    engine::ReportTemplate edited;
    {
        Designer d(autosave());
        d.window->openTemplate(demoTemplate(), name);
        d.window->scene().selectRefs({ObjectRef{0, 0}});
        d.action("EditDelete")->trigger();
        edited = d.model();
        d.window->autosave();
        ASSERT_TRUE(QFile::exists(d.window->autosavePath()));
        // The crash: the window goes without closing.
        d.window->document().undoStack().setClean();
        d.window.reset();
    }
    Designer again(autosave());
    again.window->openTemplate(demoTemplate(), name);
    ASSERT_EQ(again.prompts.asked.size(), 1);
    EXPECT_EQ(again.model(), edited);
    EXPECT_TRUE(again.window->isWindowModified());
    again.action("EditUndo")->trigger();
    EXPECT_EQ(again.model(), demoTemplate());
}

TEST_F(DesignerTest, DesignReportReturnsWhenTheDesignerClosesWithItsDocumentName) {
    engine::Report report;
    report.setTemplate(demoTemplate());
    report.setFileName(QStringLiteral("Остатки.frf"));
    const QString savedAs = dir.filePath(QStringLiteral("копия.frf"));
    ScriptedPrompts prompts;
    prompts.save = DesignerPrompts::Answer::Yes;
    prompts.saveName = savedAs;
    DesignerServices services;
    services.autosaveFolder = autosave();
    QString caption;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<DesignerWindow*>(w); window && window->isVisible()) {
                caption = window->windowTitle();
                window->scene().selectRefs({ObjectRef{0, 1}});
                window->deleteSelection();
                window->close(); // asks, saves under the new name, closes
            }
    });
    designReport(report, services, nullptr, &prompts);
    EXPECT_EQ(caption, QStringLiteral("Дизайнер отчетов - Остатки.frf[*]"));
    EXPECT_EQ(report.fileName(), savedAs);
    EXPECT_EQ(report.reportTemplate().bands[0].objects.size(), 1);
    EXPECT_TRUE(QFile::exists(savedAs));
}

TEST_F(DesignerTest, KeyboardMovesResizesAndWalksObjects) {
    Designer d(autosave());
    d.window->openTemplate(demoTemplate(), {});
    DesignView& view = d.window->view();
    view.setFocus();
    d.window->scene().selectRefs({ObjectRef{0, 0}});
    const QRectF start = d.model().bands[0].objects[0].rect;
    QTest::keyClick(view.viewport(), Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
    const QRectF end = d.model().bands[0].objects[0].rect;
    EXPECT_EQ(end.topLeft(), start.topLeft() + QPointF(4, 1));
    EXPECT_EQ(end.width(), start.width() - 4);
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(d.window->scene().selectedRefs(), (QList<ObjectRef>{{0, 1}}));
}

TEST_F(DesignerTest, ScreenshotWithADemoTemplate) {
    Designer d(autosave());
    d.window->resize(1280, 800);
    d.window->openTemplate(demoTemplate(), QStringLiteral("Остатки по филиалам на дату.frf"));
    d.window->dictionary().selectDataset(0);
    d.window->dictionary().checkSelectedDataset();
    d.window->scene().selectRefs({ObjectRef{2, 1}});
    QApplication::processEvents();
    d.window->view().setZoom(100);
    engine::ReportTemplate broken = d.model();
    broken.bands[2].objects[3].text = QStringLiteral("[IZN_VALUTA]");
    d.window->document().replaceAsChange(broken, QStringLiteral("Изменение текста"));
    d.window->checkTemplate();
    QApplication::processEvents();
    const QImage shot = d.window->grab().toImage();
    EXPECT_GT(shot.width(), 1000);
    const QString out = qEnvironmentVariable("SVOD_SCREENSHOT_DIR");
    if (!out.isEmpty()) {
        EXPECT_TRUE(shot.save(out + QStringLiteral("/designer.png")));
    }
}

TEST_F(DesignerTest, TextIsEditedInPlaceAsOneStepAndEscCancels) {
    Designer d(autosave());
    ASSERT_TRUE(d.window->newFile());
    DesignView& view = d.window->view();
    ASSERT_TRUE(view.placeObject(engine::ObjectKind::Text, d.window->scene().bandArea(1).topLeft()));
    const ObjectRef ref{1, 0};
    const QPointF at = d.window->scene().itemFor(ref)->scenePos() + QPointF(20, 6);
    const int steps = d.window->document().undoStack().count();

    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, d.viewPoint(at));
    InPlaceEditor* editor = view.inPlaceEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->objectName(), QStringLiteral("InPlaceEditor"));
    EXPECT_EQ(editor->parentWidget(), view.viewport());
    QTest::keyClicks(editor, QStringLiteral("Total: [SUM([OST_VAL])]"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_FALSE(view.inPlaceEditor());
    EXPECT_EQ(d.model().bands[1].objects[0].text, QStringLiteral("Total: [SUM([OST_VAL])]"));
    EXPECT_EQ(d.window->document().undoStack().count(), steps + 1);
    EXPECT_EQ(d.action("EditUndo")->text(), QStringLiteral("Отменить Свойство \"Текст\""));

    // Enter from the keyboard opens it again; Shift+Enter is a new line; Esc leaves the text as it was.
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Return);
    editor = view.inPlaceEditor();
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("other"));
    QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("other\n"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(view.inPlaceEditor());
    EXPECT_EQ(d.model().bands[1].objects[0].text, QStringLiteral("Total: [SUM([OST_VAL])]"));
    EXPECT_EQ(d.window->document().undoStack().count(), steps + 1);
}

TEST_F(DesignerTest, PaletteKindsAreDroppedOntoABand) {
    Designer d(autosave());
    engine::ReportTemplate t = demoTemplate();
    d.window->openTemplate(t, {});
    // Every kind of the model is in the palette, each button draggable.
    for (engine::ObjectKind kind : engine::editing::allObjectKinds()) {
        const QString name = engine::objectKindName(kind);
        EXPECT_TRUE(d.window->findChild<QAction*>(QStringLiteral("Tool_") + name)) << name.toStdString();
        EXPECT_TRUE(d.window->findChild<QWidget*>(QStringLiteral("PaletteButton_") + name))
            << name.toStdString();
    }
    const int band = 2; // the demo's data band
    const QRectF area = d.window->scene().bandArea(band);
    QMimeData data;
    data.setData(DesignView::ObjectKindMimeType, "chart");
    const QPoint drop = d.viewPoint(area.topLeft() + QPointF(100, 2));
    QWidget* target = d.window->view().viewport();
    QDragEnterEvent enter(drop, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(drop, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
    QDropEvent dropped(drop, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &dropped);
    const auto& objects = d.model().bands[band].objects;
    ASSERT_EQ(objects.size(), t.bands[band].objects.size() + 1);
    const engine::TemplateObject& chart = objects.last();
    EXPECT_EQ(chart.kind, engine::ObjectKind::Chart);
    EXPECT_EQ(chart.rect.left(), 100);
    EXPECT_EQ(chart.chart.dataset, t.bands[band].dataset);
    EXPECT_GE(d.model().bands[band].height, chart.rect.bottom()); // the band grew to hold it
    EXPECT_EQ(d.window->scene().selectedRefs(), (QList<ObjectRef>{{band, int(objects.size()) - 1}}));
    // One step: the band's growth goes with the object.
    d.action("EditUndo")->trigger();
    EXPECT_EQ(d.model(), t);
}

TEST_F(DesignerTest, EveryToolBarCommandIsShownAt1280By800) {
    Designer d(autosave());
    d.window->resize(1280, 800);
    d.window->openTemplate(demoTemplate(), {});
    // A long step name must not widen the bar: the undo button keeps its caption.
    d.window->view().placeObject(engine::ObjectKind::RoundRect, d.window->scene().bandArea(2).topLeft());
    QApplication::processEvents();
    const auto bars = d.window->findChildren<QToolBar*>();
    ASSERT_EQ(bars.size(), 2);
    for (QToolBar* bar : bars) {
        EXPECT_TRUE(bar->isVisible());
        for (QAction* a : bar->actions()) {
            QWidget* button = bar->widgetForAction(a);
            ASSERT_TRUE(button) << a->objectName().toStdString();
            EXPECT_TRUE(button->isVisible()) << a->objectName().toStdString();
            EXPECT_TRUE(bar->rect().contains(button->geometry())) << a->objectName().toStdString();
        }
        // Qt hides what does not fit behind this button.
        auto* more = bar->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button"));
        EXPECT_TRUE(!more || !more->isVisible()) << bar->objectName().toStdString();
        EXPECT_TRUE(!more || !more->accessibleName().isEmpty()) << bar->objectName().toStdString();
    }
    QAction* undo = d.action("ToolUndo");
    ASSERT_TRUE(undo);
    EXPECT_EQ(undo->text(), QStringLiteral("Отменить"));
    EXPECT_TRUE(undo->toolTip().startsWith(QStringLiteral("Отменить: ")));
    const engine::ReportTemplate before = d.model();
    undo->trigger();
    EXPECT_NE(d.model(), before);
    d.action("ToolRedo")->trigger();
    EXPECT_EQ(d.model(), before);
    // The alignment commands from the bar's menu button.
    auto* arrange = d.window->findChild<QToolButton*>(QStringLiteral("ArrangeButton"));
    ASSERT_TRUE(arrange && arrange->menu());
    EXPECT_TRUE(arrange->isVisible());
    EXPECT_TRUE(arrange->menu()->actions().contains(d.action("AlignLeft")));
}

TEST_F(DesignerTest, PanelsBehindTabsAreBuiltWhenFirstShown) {
    Designer d(autosave());
    engine::ReportTemplate t = demoTemplate();
    t.variables.insert(QStringLiteral("ITOG"), QStringLiteral("[SUM([OST_VAL])]"));
    d.window->openTemplate(t, {});
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    EXPECT_FALSE(d.window->findChild<DialogPanel*>());
    EXPECT_FALSE(d.window->findChild<QWidget*>(QStringLiteral("UndoHistory")));
    EXPECT_FALSE(d.window->findChild<QWidget*>(QStringLiteral("VariableTable")));

    // A dock's tab chosen: its panel is there at once with the template's state.
    d.window->findChild<QDockWidget*>(QStringLiteral("DialogDock"))->raise();
    d.window->findChild<QDockWidget*>(QStringLiteral("HistoryDock"))->raise();
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    auto* dialogs = d.window->findChild<DialogPanel*>();
    ASSERT_TRUE(dialogs);
    EXPECT_TRUE(dialogs->isVisible());
    EXPECT_TRUE(d.window->findChild<QWidget*>(QStringLiteral("UndoHistory")));
    auto* tabs = d.window->findChild<QTabWidget*>(QStringLiteral("DictionaryTabs"));
    ASSERT_TRUE(tabs);
    d.window->findChild<QDockWidget*>(QStringLiteral("DictionaryDock"))->raise();
    tabs->setCurrentIndex(1);
    auto* variables = d.window->findChild<QTableWidget*>(QStringLiteral("VariableTable"));
    ASSERT_TRUE(variables);
    ASSERT_EQ(variables->rowCount(), t.variables.size());
    const auto found = variables->findItems(QStringLiteral("ITOG"), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(variables->item(found.first()->row(), 1)->text(), QStringLiteral("[SUM([OST_VAL])]"));
    // Built late, it follows the document like the others.
    engine::ReportTemplate more = d.model();
    more.variables.insert(QStringLiteral("NOL"), QStringLiteral("0"));
    d.window->document().replaceAsChange(more, QStringLiteral("test"));
    EXPECT_EQ(variables->rowCount(), t.variables.size() + 1);
}

TEST_F(DesignerTest, F6CyclesThePanelsAndTheKeyboardPlacesAndEditsObjects) {
    Designer d(autosave());
    ASSERT_TRUE(d.window->newFile());
    d.activate();
    d.window->view().setFocus();
    const QStringList order = {QStringLiteral("Palette"),         QStringLiteral("PropertyPanel"),
                               QStringLiteral("DictionaryPanel"), QStringLiteral("DialogPanel"),
                               QStringLiteral("CheckList"),       QStringLiteral("DesignView")};
    for (const auto& panel : order) {
        d.press(Qt::Key_F6);
        EXPECT_EQ(d.focusedPanel(), panel);
    }
    d.press(Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(d.focusedPanel(), QStringLiteral("CheckList"));

    // The palette from the keyboard: its button, Space, back to the page, Enter places the object.
    d.window->scene().setCurrentBand(1);
    d.window->view().setFocus();
    d.press(Qt::Key_F6);
    auto* button = d.window->findChild<QWidget*>(QStringLiteral("PaletteButton_text"));
    ASSERT_TRUE(button);
    button->setFocus();
    d.press(Qt::Key_Space);
    d.press(Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(d.focusedPanel(), QStringLiteral("DesignView"));
    d.press(Qt::Key_Return);
    ASSERT_EQ(d.model().bands[1].objects.size(), 1);
    EXPECT_EQ(d.window->scene().selectedRefs(), (QList<ObjectRef>{{1, 0}}));
    d.press(Qt::Key_Return);
    ASSERT_TRUE(d.window->view().inPlaceEditor());
    EXPECT_EQ(d.focusedPanel(), QStringLiteral("DesignView")); // the editor sits on the page
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Total"));
    d.press(Qt::Key_Return);
    EXPECT_EQ(d.model().bands[1].objects[0].text, QStringLiteral("Total"));
    d.press(Qt::Key_Right);
    EXPECT_EQ(d.model().bands[1].objects[0].rect.left(), 4);
}

TEST_F(DesignerTest, F9PreviewsTheTemplateAsItStandsWithTheDialogDefaults) {
    DesignerServices s;
    s.autosaveFolder = autosave();
    s.prepare = [](const engine::ReportTemplate& t, engine::PreparedPages& pages) {
        engine::Report report;
        report.setTemplate(t);
        const bool ok = report.prepareReport();
        pages = report.preparedPages();
        return ok;
    };
    QList<engine::PreparedPages> shown;
    s.showPreview = [&](const engine::PreparedPages& pages) { shown << pages; };
    DesignerWindow window(s);
    ScriptedPrompts prompts;
    window.setPrompts(&prompts);
    window.show();
    ASSERT_TRUE(window.newFile());
    window.dialogPanel().addControl(engine::ControlKind::DateEdit);
    auto* fallback = window.findChild<QLineEdit*>(QStringLiteral("ControlDefault"));
    ASSERT_TRUE(fallback);
    fallback->setText(QStringLiteral("new Date(2006, 11, 31)"));
    Q_EMIT fallback->editingFinished();
    QApplication::processEvents();
    ASSERT_EQ(window.document().reportTemplate().dialogs.size(), 1);
    EXPECT_EQ(window.document().reportTemplate().dialogs[0].controls[0].defaultValue,
              QStringLiteral("new Date(2006, 11, 31)"));
    ASSERT_TRUE(window.view().placeObject(engine::ObjectKind::Text, window.scene().bandArea(0).topLeft(),
                                          QStringLiteral("На [DateEdit1.Date]")));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.view().setFocus();
    QTest::keyClick(&window.view(), Qt::Key_F9); // prepares at once: no dialog waits
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(u'\n').toStdString();
    bool found = false;
    for (const auto& o : shown[0].page(0).objects)
        found = found || o.text.contains(QStringLiteral("31.12.2006"));
    EXPECT_TRUE(found);
    EXPECT_TRUE(window.isWindowModified()); // previewing saves nothing
    window.document().undoStack().setClean();
}

TEST_F(DesignerTest, DialogPagesAreDesignedWithEveryControlKind) {
    Designer d(autosave());
    ASSERT_TRUE(d.window->newFile());
    DialogPanel& panel = d.window->dialogPanel();
    for (engine::ControlKind kind : engine::editing::allControlKinds()) {
        QAction* a =
            d.window->findChild<QAction*>(QStringLiteral("Control_") + engine::controlKindName(kind));
        ASSERT_TRUE(a);
        a->trigger();
    }
    ASSERT_EQ(d.model().dialogs.size(), 1);
    const auto& controls = d.model().dialogs[0].controls;
    ASSERT_EQ(controls.size(), engine::editing::allControlKinds().size());
    for (int i = 1; i < controls.size(); ++i)
        EXPECT_GE(controls[i].rect.top(), controls[i - 1].rect.bottom()); // one below the other
    // The check-list box is the last one added and the one shown.
    QApplication::processEvents();
    EXPECT_EQ(panel.currentControl(), controls.size() - 1);
    auto* dataset = d.window->findChild<QComboBox*>(QStringLiteral("ControlDataset"));
    ASSERT_TRUE(dataset);
    auto* height = d.window->findChild<QDoubleSpinBox*>(QStringLiteral("ControlHeight"));
    ASSERT_TRUE(height);
    height->setValue(200);
    QApplication::processEvents();
    EXPECT_EQ(d.model().dialogs[0].controls.last().rect.height(), 200);
    EXPECT_EQ(d.action("EditUndo")->text(), QStringLiteral("Отменить Свойства элемента формы"));
    d.action("EditUndo")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(d.model().dialogs[0].controls.last().rect.height(), 120);
    panel.removeControl();
    EXPECT_EQ(d.model().dialogs[0].controls.size(), engine::editing::allControlKinds().size() - 1);
    panel.removePage();
    EXPECT_TRUE(d.model().dialogs.isEmpty());
}

TEST_F(DesignerTest, DemoTemplatesOpenAndSaveToAnEqualModel) {
    int seen = 0;
    for (QDirIterator it(QStringLiteral(":/demo-reports")); it.hasNext();) {
        const QString source = it.next();
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const engine::ReportTemplate t = engine::templateFromXml(file.readAll());
        Designer d(autosave());
        d.window->openTemplate(t, QStringLiteral("demo.frf"));
        QApplication::processEvents();
        const QString path = dir.filePath(QStringLiteral("copy%1.frf").arg(seen++));
        ASSERT_TRUE(d.window->saveAs(path));
        EXPECT_EQ(DesignerDocument::readFile(path), t) << source.toStdString();
    }
    EXPECT_GE(seen, 4);
}

TEST_F(DesignerTest, ScreenshotWithTheAddOnKinds) {
    Designer d(autosave());
    QFile file(QStringLiteral(":/demo-reports/Остаточная стоимость по филиалам (диаграмма).frf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    d.window->openTemplate(engine::templateFromXml(file.readAll()), QStringLiteral("диаграмма.frf"));
    for (const auto& b : d.model().bands)
        for (int i = 0; i < b.objects.size(); ++i)
            if (b.objects[i].kind == engine::ObjectKind::Chart) {
                d.window->scene().selectRefs({ObjectRef{int(&b - d.model().bands.data()), i}});
                break;
            }
    d.window->findChild<QDockWidget*>(QStringLiteral("DialogDock"))->raise();
    d.window->dialogPanel().selectPage(0);
    d.window->dialogPanel().selectControl(1);
    for (int i = 0; i < 3; ++i) // the queued refresh, then the layouts it asked for
        QApplication::processEvents();
    const QImage shot = d.window->grab().toImage();
    EXPECT_GT(shot.width(), 1000);
    const QString out = qEnvironmentVariable("SVOD_SCREENSHOT_DIR");
    if (!out.isEmpty()) {
        EXPECT_TRUE(shot.save(out + QStringLiteral("/designer-addons.png")));
    }
}

TEST_F(DesignerTest, ChartSeriesFieldIsChosenFromTheDatasetsFields) {
    Designer d(autosave());
    QFile file(QStringLiteral(":/demo-reports/Остаточная стоимость по филиалам (диаграмма).frf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    d.window->openTemplate(engine::templateFromXml(file.readAll()), QStringLiteral("диаграмма.frf"));
    const engine::ReportTemplate before = d.model();
    for (int i = 0; i < before.datasets.size(); ++i) { // its fields known
        d.window->dictionary().selectDataset(i);
        ASSERT_TRUE(d.window->dictionary().checkSelectedDataset());
    }
    ObjectRef chart{-1, -1};
    for (int b = 0; b < before.bands.size() && chart.band < 0; ++b)
        for (int i = 0; i < before.bands[b].objects.size(); ++i)
            if (before.bands[b].objects[i].kind == engine::ObjectKind::Chart) {
                chart = {b, i};
                break;
            }
    ASSERT_GE(chart.band, 0);
    d.window->scene().selectRefs({chart});
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    auto* combo = d.window->findChild<QComboBox*>(QStringLiteral("PropChartSeriesField"));
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->accessibleName(), QStringLiteral("Поле рядов"));
    EXPECT_GE(combo->findText(QStringLiteral("NAZVANIE")), 0) << "offers the dataset's fields";
    combo->setCurrentIndex(combo->findText(QStringLiteral("NAZVANIE")));
    Q_EMIT combo->activated(combo->currentIndex());
    const auto& edited = d.model().bands[chart.band].objects[chart.index];
    EXPECT_EQ(edited.chart.seriesField, QStringLiteral("NAZVANIE"));
    // Saved with the template and one step to undo.
    EXPECT_EQ(engine::templateFromXml(engine::templateToXml(d.model())), d.model());
    d.action("EditUndo")->trigger();
    EXPECT_EQ(d.model(), before);
}

} // namespace
