#include "engine/editing/Edits.h"

#include <algorithm>

namespace svod::engine::editing {

ReplaceObjects::ReplaceObjects(QString text, QList<ObjectRef> refs, QList<TemplateObject> before,
                               QList<TemplateObject> after)
    : Edit(std::move(text)), refs_(std::move(refs)), before_(std::move(before)), after_(std::move(after)) {}

void ReplaceObjects::apply(ReportTemplate& t) {
    for (qsizetype i = 0; i < refs_.size(); ++i)
        t.bands[refs_[i].band].objects[refs_[i].index] = after_[i];
}

void ReplaceObjects::revert(ReportTemplate& t) {
    for (qsizetype i = 0; i < refs_.size(); ++i)
        t.bands[refs_[i].band].objects[refs_[i].index] = before_[i];
}

bool ReplaceObjects::mergeWith(const Edit& later) {
    const auto* other = dynamic_cast<const ReplaceObjects*>(&later);
    if (!other || other->refs_ != refs_)
        return false;
    after_ = other->after_;
    return true;
}

InsertObjects::InsertObjects(QString text, QList<ObjectRef> refs, QList<TemplateObject> objects)
    : Edit(std::move(text)), refs_(std::move(refs)), objects_(std::move(objects)) {}

void InsertObjects::apply(ReportTemplate& t) {
    for (qsizetype i = 0; i < refs_.size(); ++i)
        t.bands[refs_[i].band].objects.insert(refs_[i].index, objects_[i]);
}

void InsertObjects::revert(ReportTemplate& t) {
    for (qsizetype i = refs_.size() - 1; i >= 0; --i)
        t.bands[refs_[i].band].objects.removeAt(refs_[i].index);
}

RemoveObjects::RemoveObjects(QString text, QList<ObjectRef> refs)
    : Edit(std::move(text)), refs_(std::move(refs)) {
    std::sort(refs_.begin(), refs_.end());
    refs_.erase(std::unique(refs_.begin(), refs_.end()), refs_.end());
}

void RemoveObjects::apply(ReportTemplate& t) {
    removed_.clear();
    for (const auto& r : refs_)
        removed_ << t.bands[r.band].objects[r.index];
    for (qsizetype i = refs_.size() - 1; i >= 0; --i)
        t.bands[refs_[i].band].objects.removeAt(refs_[i].index);
}

void RemoveObjects::revert(ReportTemplate& t) {
    for (qsizetype i = 0; i < refs_.size(); ++i)
        t.bands[refs_[i].band].objects.insert(refs_[i].index, removed_[i]);
}

InsertBand::InsertBand(QString text, int index, Band band, bool remove)
    : Edit(std::move(text)), index_(index), band_(std::move(band)), remove_(remove) {}

void InsertBand::insert(ReportTemplate& t) {
    t.bands.insert(index_, band_);
}

void InsertBand::take(ReportTemplate& t) {
    band_ = t.bands.takeAt(index_);
}

void InsertBand::apply(ReportTemplate& t) {
    remove_ ? take(t) : insert(t);
}

void InsertBand::revert(ReportTemplate& t) {
    remove_ ? insert(t) : take(t);
}

SetBand::SetBand(QString text, int index, Band before, Band after)
    : Edit(std::move(text)), index_(index), before_(std::move(before)), after_(std::move(after)) {}

namespace {
// Band properties without touching its objects, which other steps own.
void storeProperties(Band& target, const Band& source) {
    QList<TemplateObject> objects = std::move(target.objects);
    target = source;
    target.objects = std::move(objects);
}
} // namespace

void SetBand::apply(ReportTemplate& t) {
    storeProperties(t.bands[index_], after_);
}

void SetBand::revert(ReportTemplate& t) {
    storeProperties(t.bands[index_], before_);
}

bool SetBand::mergeWith(const Edit& later) {
    const auto* other = dynamic_cast<const SetBand*>(&later);
    if (!other || other->index_ != index_)
        return false;
    after_ = other->after_;
    return true;
}

MoveBand::MoveBand(QString text, int from, int to) : Edit(std::move(text)), from_(from), to_(to) {}

void MoveBand::apply(ReportTemplate& t) {
    t.bands.move(from_, to_);
}

void MoveBand::revert(ReportTemplate& t) {
    t.bands.move(to_, from_);
}

void Dictionary::store(ReportTemplate& t) const {
    t.datasets = datasets;
    t.variables = variables;
    t.script = script;
    t.page = page;
    t.dialogs = dialogs;
}

SetDictionary::SetDictionary(QString text, Dictionary before, Dictionary after)
    : Edit(std::move(text)), before_(std::move(before)), after_(std::move(after)) {}

void Sequence::add(ReportTemplate& t, EditPtr edit) {
    edit->apply(t);
    edits_.push_back(std::move(edit));
}

void Sequence::apply(ReportTemplate& t) {
    for (auto& e : edits_)
        e->apply(t);
}

void Sequence::revert(ReportTemplate& t) {
    for (auto it = edits_.rbegin(); it != edits_.rend(); ++it)
        (*it)->revert(t);
}

} // namespace svod::engine::editing
