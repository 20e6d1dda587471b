#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <memory>
#include <vector>

#include "engine/Model.h"

namespace svod::engine::editing {

// An object of a template by position: band index and index in the band's object list.
struct ObjectRef {
    int band = -1;
    int index = -1;
    auto operator<=>(const ObjectRef&) const = default;
};

// One undoable change of a template. apply() after revert() gives back the same template, and
// revert() after apply() the template as it was before.
class Edit {
public:
    explicit Edit(QString text) : text_(std::move(text)) {}
    virtual ~Edit() = default;
    Edit(const Edit&) = delete;
    Edit& operator=(const Edit&) = delete;

    virtual void apply(ReportTemplate& t) = 0;
    virtual void revert(ReportTemplate& t) = 0;
    // The step's name as the Edit menu shows it.
    const QString& text() const { return text_; }
    // Edits of one gesture (a drag) share a non-zero key and merge into one step.
    int mergeKey() const { return mergeKey_; }
    void setMergeKey(int key) { mergeKey_ = key; }
    // Takes over `later` (already applied after this one); false when they cannot merge.
    virtual bool mergeWith(const Edit& later) {
        (void)later;
        return false;
    }

private:
    QString text_;
    int mergeKey_ = 0;
};

using EditPtr = std::unique_ptr<Edit>;

// New values for objects that stay where they are (geometry, properties, text).
class ReplaceObjects final : public Edit {
public:
    ReplaceObjects(QString text, QList<ObjectRef> refs, QList<TemplateObject> before,
                   QList<TemplateObject> after);
    void apply(ReportTemplate& t) override;
    void revert(ReportTemplate& t) override;
    bool mergeWith(const Edit& later) override;
    const QList<ObjectRef>& refs() const { return refs_; }

private:
    QList<ObjectRef> refs_;
    QList<TemplateObject> before_, after_;
};

// Objects inserted at their positions (refs ascending after the insertion).
class InsertObjects final : public Edit {
public:
    InsertObjects(QString text, QList<ObjectRef> refs, QList<TemplateObject> objects);
    void apply(ReportTemplate& t) override;
    void revert(ReportTemplate& t) override;

private:
    QList<ObjectRef> refs_;
    QList<TemplateObject> objects_;
};

// Objects taken out of their bands.
class RemoveObjects final : public Edit {
public:
    RemoveObjects(QString text, QList<ObjectRef> refs);
    void apply(ReportTemplate& t) override;
    void revert(ReportTemplate& t) override;

private:
    QList<ObjectRef> refs_; // ascending
    QList<TemplateObject> removed_;
};

// A band inserted at or removed from a position, with its objects.
class InsertBand final : public Edit {
public:
    InsertBand(QString text, int index, Band band, bool remove);
    void apply(ReportTemplate& t) override;
    void revert(ReportTemplate& t) override;

private:
    void insert(ReportTemplate& t);
    void take(ReportTemplate& t);
    int index_;
    Band band_;
    bool remove_;
};

// A band's properties (its objects stay).
class SetBand final : public Edit {
public:
    SetBand(QString text, int index, Band before, Band after);
    void apply(ReportTemplate& t) override;
    void revert(ReportTemplate& t) override;
    bool mergeWith(const Edit& later) override;

private:
    int index_;
    Band before_, after_;
};

// A band moved to another position in the band list.
class MoveBand final : public Edit {
public:
    MoveBand(QString text, int from, int to);
    void apply(ReportTemplate& t) override;
    void revert(ReportTemplate& t) override;

private:
    int from_, to_;
};

// The parts of a template outside the bands, replaced whole: they are small.
struct Dictionary {
    QList<DatasetSpec> datasets;
    QMap<QString, QString> variables;
    QString script;
    PageSetup page;
    QList<DialogPage> dialogs;
    bool operator==(const Dictionary&) const = default;
    static Dictionary of(const ReportTemplate& t) {
        return {t.datasets, t.variables, t.script, t.page, t.dialogs};
    }
    void store(ReportTemplate& t) const;
};

class SetDictionary final : public Edit {
public:
    SetDictionary(QString text, Dictionary before, Dictionary after);
    void apply(ReportTemplate& t) override { after_.store(t); }
    void revert(ReportTemplate& t) override { before_.store(t); }

private:
    Dictionary before_, after_;
};

// Several edits as one step: applied in order, reverted in reverse order.
class Sequence final : public Edit {
public:
    explicit Sequence(QString text) : Edit(std::move(text)) {}
    // Applies `edit` to `t` and keeps it.
    void add(ReportTemplate& t, EditPtr edit);
    void apply(ReportTemplate& t) override;
    void revert(ReportTemplate& t) override;
    bool isEmpty() const { return edits_.empty(); }

private:
    std::vector<EditPtr> edits_;
};

} // namespace svod::engine::editing
