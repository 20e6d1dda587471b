#pragma once

#include <QObject>
#include <QUndoStack>

#include "engine/Model.h"
#include "engine/editing/Edits.h"

namespace svod::reports::designer {

// The template a designer window edits, its document name and its undo history. Every change goes
// through push(), so each one is a step of the Edit menu.
class DesignerDocument final : public QObject {
    Q_OBJECT
public:
    explicit DesignerDocument(QObject* parent = nullptr);

    const engine::ReportTemplate& reportTemplate() const { return template_; }
    const QString& fileName() const { return fileName_; }
    void setFileName(const QString& name);
    bool isModified() const { return !undo_.isClean(); }
    QUndoStack& undoStack() { return undo_; }

    // Applies the edit as one undoable step; a null edit changes nothing.
    void push(engine::editing::EditPtr edit);
    // A new template without history (new, open).
    void reset(engine::ReportTemplate t, const QString& fileName);
    // A template taken over as an unsaved change (a restored autosave).
    void replaceAsChange(engine::ReportTemplate t, const QString& text);

    // Reads a template file: plain or compressed template stream. Throws svod::Error naming the file.
    static engine::ReportTemplate readFile(const QString& path);
    // Writes through a temporary file renamed over the target, so a failure leaves the old file.
    static void writeFile(const engine::ReportTemplate& t, const QString& path);
    // Saves under `path`, which becomes the document name; throws svod::Error.
    void saveAs(const QString& path);

Q_SIGNALS:
    void changed();
    void fileNameChanged();
    void modifiedChanged(bool modified);

private:
    friend class EditCommand;
    engine::ReportTemplate template_;
    QString fileName_;
    QUndoStack undo_;
};

} // namespace svod::reports::designer
