#pragma once

#include <QMainWindow>
#include <functional>

#include "engine/PreparedPages.h"
#include "engine/editing/Edits.h"
#include "engine/editing/TemplateCheck.h"
#include "reports/designer/DictionaryPanel.h"

class QAction;
class QKeySequence;
class QListWidget;
class QMenu;
class QToolBar;
class QTimer;

namespace svod::reports::designer {

class DesignScene;
class DesignView;
class DesignerDocument;
class DialogPanel;
class LazyPanel;
class PropertyPanel;

// What the designer asks the user; tests answer by script.
class DesignerPrompts {
public:
    enum class Answer { Yes, No, Cancel };
    virtual ~DesignerPrompts() = default;
    virtual Answer askSaveChanges(const QString& documentName) = 0;
    virtual bool askRestoreAutosave(const QString& text) = 0;
    virtual void showError(const QString& text) = 0;
    virtual QString openFileName(const QString& folder) = 0;
    virtual QString saveFileName(const QString& proposed) = 0;
};

// Message boxes and file dialogs.
class DialogPrompts final : public DesignerPrompts {
public:
    explicit DialogPrompts(QWidget* parent) : parent_(parent) {}
    Answer askSaveChanges(const QString& documentName) override;
    bool askRestoreAutosave(const QString& text) override;
    void showError(const QString& text) override;
    QString openFileName(const QString& folder) override;
    QString saveFileName(const QString& proposed) override;

private:
    QWidget* parent_;
};

// What the designer borrows from the program.
struct DesignerServices {
    DatasetRunner runDataset; // queries on the program's connection; empty: none
    // Prepares a template as it stands; false when cancelled. Throws svod::Error.
    std::function<bool(const engine::ReportTemplate&, engine::PreparedPages&)> prepare;
    std::function<void(const engine::PreparedPages&)> showPreview;
    QString autosaveFolder; // empty: the user's data folder
    int autosaveSeconds = 60;
};

// The report designer: the page with its bands and objects, the palette, the property panel, the data
// dictionary, the check panel, files, preview and undo.
class DesignerWindow final : public QMainWindow {
    Q_OBJECT
public:
    static inline const QString FileFilter = QStringLiteral("Шаблон отчета (*.frf)");

    DesignerWindow(DesignerServices services, QWidget* parent = nullptr);
    ~DesignerWindow() override;

    DesignerDocument& document() { return *document_; }
    DesignScene& scene() { return *scene_; }
    DesignView& view() { return *view_; }
    PropertyPanel& properties() { return *properties_; }
    DictionaryPanel& dictionary() { return *dictionary_; }
    DialogPanel& dialogPanel(); // built on first use
    void setPrompts(DesignerPrompts* prompts) { prompts_ = prompts; }

    // Opens a template as the document (no question about the one open); offers an autosaved copy.
    void openTemplate(engine::ReportTemplate t, const QString& documentName);
    // File commands; false when cancelled or failed (the message shown).
    bool newFile();
    bool openFile(const QString& path = {});
    bool save();
    bool saveAs(const QString& path = {});

    // Edit commands on the selection.
    void copy();
    void cut();
    bool paste();
    void deleteSelection();
    void insertBand(engine::BandKind kind);
    enum class Arrange {
        Left,
        Right,
        Top,
        Bottom,
        HorizontalCentres,
        VerticalCentres,
        SameWidth,
        SameHeight,
        DistributeAcross,
        DistributeDown,
        Front,
        Back
    };
    void arrange(Arrange how);

    // Runs the template check; the findings fill the check panel.
    QList<engine::editing::Finding> checkTemplate();
    QListWidget& checkList() { return *checkList_; }
    void preview();
    void editObjectText(engine::editing::ObjectRef ref);
    void editPageSetup();
    // F6 and Shift+F6: the focus to the next or previous panel (page, palette, properties,
    // dictionary, check list).
    void focusPanel(bool forward);
    QList<QWidget*> panels();
    // Writes the autosave copy now (the timer does it every minute while modified).
    void autosave();
    QString autosavePath() const;

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    void buildFileMenu();
    void buildEditMenu();
    void buildInsertMenuAndPalette();
    void buildArrangeMenu();
    void buildViewMenu();
    void buildCommandBar();
    void addUndoButtons(QToolBar* tools);
    QAction* addMenuAction(QMenu* menu, const QString& text, const QString& name, const QKeySequence& key,
                           const std::function<void()>& run);
    void updateCaption();
    void removeAutosave();
    void offerAutosave();

    DesignerServices services_;
    DialogPrompts dialogs_;
    DesignerPrompts* prompts_;
    DesignerDocument* document_;
    DesignScene* scene_;
    DesignView* view_;
    PropertyPanel* properties_;
    DictionaryPanel* dictionary_;
    QListWidget* checkList_;
    QToolBar* palette_ = nullptr;
    DialogPanel* dialogPanel_ = nullptr;
    LazyPanel* dialogHolder_ = nullptr;
    QTimer* autosaveTimer_;
};

} // namespace svod::reports::designer
