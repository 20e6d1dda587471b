#include "reports/designer/DesignerDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "db/Error.h"
#include "engine/TemplateStorage.h"

namespace svod::reports::designer {

using engine::editing::EditPtr;

// One step of the undo stack around an edit of the template.
class EditCommand final : public QUndoCommand {
public:
    EditCommand(DesignerDocument& doc, EditPtr edit) : doc_(doc), edit_(std::move(edit)) {
        setText(edit_->text());
    }
    void redo() override {
        edit_->apply(doc_.template_);
        Q_EMIT doc_.changed();
    }
    void undo() override {
        edit_->revert(doc_.template_);
        Q_EMIT doc_.changed();
    }
    int id() const override { return edit_->mergeKey() ? edit_->mergeKey() : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* later = dynamic_cast<const EditCommand*>(other);
        return later && edit_->mergeWith(*later->edit_);
    }

private:
    DesignerDocument& doc_;
    EditPtr edit_;
};

namespace {

// A whole template replaced as one step.
class ReplaceTemplate final : public engine::editing::Edit {
public:
    ReplaceTemplate(const QString& text, engine::ReportTemplate before, engine::ReportTemplate after)
        : Edit(text), before_(std::move(before)), after_(std::move(after)) {}
    void apply(engine::ReportTemplate& t) override { t = after_; }
    void revert(engine::ReportTemplate& t) override { t = before_; }

private:
    engine::ReportTemplate before_, after_;
};

} // namespace

DesignerDocument::DesignerDocument(QObject* parent) : QObject(parent) {
    connect(&undo_, &QUndoStack::cleanChanged, this, [this](bool clean) { Q_EMIT modifiedChanged(!clean); });
}

void DesignerDocument::setFileName(const QString& name) {
    if (name == fileName_)
        return;
    fileName_ = name;
    Q_EMIT fileNameChanged();
}

void DesignerDocument::push(EditPtr edit) {
    if (edit)
        undo_.push(new EditCommand(*this, std::move(edit)));
}

void DesignerDocument::reset(engine::ReportTemplate t, const QString& fileName) {
    undo_.clear();
    template_ = std::move(t);
    setFileName(fileName);
    undo_.setClean();
    Q_EMIT changed();
}

void DesignerDocument::replaceAsChange(engine::ReportTemplate t, const QString& text) {
    push(std::make_unique<ReplaceTemplate>(text, template_, std::move(t)));
}

engine::ReportTemplate DesignerDocument::readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Не удалось открыть файл %1: %2").arg(path, file.errorString()));
    try {
        return engine::templateFromBlob(file.readAll());
    } catch (const Error& e) {
        throw Error(QStringLiteral("Файл %1 не открыт. %2").arg(path, e.message()));
    }
}

void DesignerDocument::writeFile(const engine::ReportTemplate& t, const QString& path) {
    QSaveFile file(path);
    const QByteArray bytes = engine::templateToXml(t);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(
            QStringLiteral("Не удалось сохранить шаблон в файл %1: %2").arg(path, file.errorString()));
}

void DesignerDocument::saveAs(const QString& path) {
    writeFile(template_, path);
    setFileName(path);
    undo_.setClean();
}

} // namespace svod::reports::designer
