#include "engine/SectionRunner.h"

#include "db/Error.h"
#include "engine/Aggregates.h"
#include "engine/DatasetCursors.h"
#include "engine/ExpressionScope.h"
#include "engine/PageComposer.h"

namespace svod::engine {

namespace {

QString bandName(const ReportTemplate& t, int band) {
    const Band& b = t.bands[band];
    return b.name.isEmpty() ? QStringLiteral("%1 (%2-я в шаблоне)").arg(bandKindName(b.kind)).arg(band + 1)
                            : b.name;
}

[[noreturn]] void orphan(const ReportTemplate& t, int band, const QString& what) {
    throw Error(QStringLiteral("Ошибка в шаблоне отчета: полоса «%1» %2").arg(bandName(t, band), what));
}

// Collects the bands that belong to data bands, in template order.
class SectionBuilder {
public:
    explicit SectionBuilder(const ReportTemplate& t) : t_(t) {}

    QList<Section> build() {
        for (int i = 0; i < t_.bands.size(); ++i)
            add(i);
        if (!pendingGroups_.isEmpty())
            orphan(t_, pendingGroups_.first(),
                   QStringLiteral("(заголовок группы) не стоит перед полосой данных"));
        if (pendingMasterHeader_ >= 0)
            orphan(t_, pendingMasterHeader_,
                   QStringLiteral("(заголовок данных) не стоит перед полосой данных"));
        if (pendingDetailHeader_ >= 0)
            orphan(t_, pendingDetailHeader_,
                   QStringLiteral("(заголовок подчиненных данных) не стоит перед подчиненной полосой"));
        for (auto& s : sections_)
            finishGroups(s);
        return sections_;
    }

private:
    Section* current() { return sections_.isEmpty() ? nullptr : &sections_.last(); }
    void add(int i);
    void finishGroups(Section& s);

    const ReportTemplate& t_;
    QList<Section> sections_;
    QList<int> pendingGroups_;
    QList<QList<int>> footers_; // by section, in template order
    int pendingMasterHeader_ = -1;
    int pendingDetailHeader_ = -1;
    bool sectionClosed_ = false;
};

void SectionBuilder::add(int i) {
    Section* s = sectionClosed_ ? nullptr : current();
    switch (t_.bands[i].kind) {
    case BandKind::GroupHeader:
        if (s && !footers_.last().isEmpty())
            sectionClosed_ = true;
        pendingGroups_ << i;
        break;
    case BandKind::MasterHeader:
        pendingMasterHeader_ = i;
        break;
    case BandKind::MasterData:
        sections_.append(Section{});
        footers_.append(QList<int>());
        sections_.last().master = i;
        sections_.last().masterHeader = std::exchange(pendingMasterHeader_, -1);
        sections_.last().groupHeaders = std::exchange(pendingGroups_, {});
        sectionClosed_ = false;
        break;
    case BandKind::DetailHeader:
        if (!s)
            orphan(t_, i,
                   QStringLiteral("(заголовок подчиненных данных) не относится ни к одной полосе данных"));
        pendingDetailHeader_ = i;
        break;
    case BandKind::DetailData:
        if (!s)
            orphan(t_, i, QStringLiteral("(подчиненные данные) стоит раньше главной полосы данных"));
        s->details << DetailBands{std::exchange(pendingDetailHeader_, -1), i, -1};
        break;
    case BandKind::DetailFooter:
        if (!s || s->details.isEmpty() || s->details.last().footer >= 0)
            orphan(t_, i,
                   QStringLiteral("(итог подчиненных данных) не стоит после подчиненной полосы данных"));
        s->details.last().footer = i;
        break;
    case BandKind::GroupFooter:
        if (!s)
            orphan(t_, i, QStringLiteral("(итог группы) не относится ни к одной полосе данных"));
        footers_.last() << i;
        break;
    case BandKind::MasterFooter:
        if (!s || s->masterFooter >= 0)
            orphan(t_, i, QStringLiteral("(итог данных) не стоит после полосы данных"));
        s->masterFooter = i;
        break;
    default:
        break;
    }
}

// Footers close the groups innermost first; those beyond the headers close the whole band.
void SectionBuilder::finishGroups(Section& s) {
    const QList<int>& footers = footers_[int(&s - sections_.data())];
    const int levels = int(s.groupHeaders.size());
    s.groupFooters = QList<int>(levels, -1);
    for (int f = 0; f < footers.size(); ++f) {
        if (f < levels)
            s.groupFooters[levels - 1 - f] = footers[f];
        else
            s.closingFooters << footers[f];
    }
}

} // namespace

bool Section::groupOf(int band, int& level) const {
    for (int l = 0; l < groupHeaders.size(); ++l)
        if (groupHeaders[l] == band || groupFooters.value(l, -1) == band) {
            level = l;
            return true;
        }
    if (closingFooters.contains(band)) {
        level = -1;
        return true;
    }
    return false;
}

QList<Section> sectionsOf(const ReportTemplate& report) {
    return SectionBuilder(report).build();
}

void SectionRunner::printOptional(int band) {
    if (band >= 0)
        pages_.print(band);
}

void SectionRunner::printRow(int band) {
    aggregates_.stage(band);
    pages_.print(band);
}

void SectionRunner::printDetail(const DetailBands& detail, const QString& master) {
    const Band& band = template_.bands[detail.data];
    aggregates_.resetBand(detail.data);
    if (band.dataset.isEmpty()) {
        printOptional(detail.header);
        printRow(detail.data);
        printOptional(detail.footer);
        return;
    }
    const QString key = band.dataset.toUpper();
    const int rows =
        int(cursors_
                .open(band.dataset, master,
                      [this](const QString& name, QVariant& v) { return scope_.variable(name, v); })
                .rows.count());
    const int masterLine = scope_.line();
    printOptional(detail.header);
    const bool repeat = detail.header >= 0 && template_.bands[detail.header].repeatOnNewPage;
    if (repeat)
        pages_.holdHeader(detail.header);
    for (int r = 0; r < rows && !pages_.cancelled(); ++r) {
        cursors_.moveTo(key, r);
        scope_.setLine(r + 1);
        printRow(detail.data);
    }
    if (repeat)
        pages_.releaseHeader(detail.header);
    printOptional(detail.footer);
    scope_.setLine(masterLine);
}

void SectionRunner::printDetails(const Section& section) {
    const QString master = template_.bands[section.master].dataset;
    for (const auto& detail : section.details)
        printDetail(detail, master);
}

void SectionRunner::printRows(const Section& s, int sectionIndex) {
    const Band& master = template_.bands[s.master];
    const QString key = master.dataset.toUpper();
    const int rows =
        int(cursors_
                .open(master.dataset, {},
                      [this](const QString& name, QVariant& v) { return scope_.variable(name, v); })
                .rows.count());
    const int levels = int(s.groupHeaders.size());
    QList<CompiledExpression*> conditions;
    for (int h : s.groupHeaders)
        conditions << scope_.compile(template_.bands[h].condition, template_.bands[h].name, -1);
    const auto closeGroups = [&](int from) {
        for (int level = levels - 1; level >= from; --level) {
            if (template_.bands[s.groupHeaders[level]].repeatOnNewPage)
                pages_.releaseHeader(s.groupHeaders[level]);
            printOptional(s.groupFooters[level]);
        }
    };
    QStringList previous;
    for (int r = 0; r < rows && !pages_.cancelled(); ++r) {
        cursors_.moveTo(key, r);
        scope_.setLine(r + 1);
        QStringList keys;
        for (auto* c : conditions)
            keys << (c->source.isEmpty() ? QString() : scope_.evaluate(*c).toString());
        int changed = levels;
        for (int l = 0; l < levels; ++l)
            if (r == 0 || keys[l] != previous[l]) {
                changed = l;
                break;
            }
        if (r > 0 && changed < levels) {
            cursors_.moveTo(key, r - 1); // footers show the group that ends
            closeGroups(changed);
            cursors_.moveTo(key, r);
        }
        for (int l = changed; l < levels; ++l) {
            aggregates_.resetGroups(sectionIndex, l);
            pages_.print(s.groupHeaders[l]);
            if (template_.bands[s.groupHeaders[l]].repeatOnNewPage)
                pages_.holdHeader(s.groupHeaders[l]);
        }
        previous = keys;
        printRow(s.master);
        printDetails(s);
    }
    if (rows > 0 && !pages_.cancelled()) {
        cursors_.moveTo(key, rows - 1);
        closeGroups(0);
    }
    for (int footer : s.closingFooters)
        pages_.print(footer);
}

void SectionRunner::run(const Section& s, int sectionIndex) {
    pages_.enterData();
    aggregates_.resetSection(sectionIndex);
    aggregates_.resetBand(s.master);
    printOptional(s.masterHeader);
    const bool repeat = s.masterHeader >= 0 && template_.bands[s.masterHeader].repeatOnNewPage;
    if (repeat)
        pages_.holdHeader(s.masterHeader);
    if (template_.bands[s.master].dataset.isEmpty()) {
        printRow(s.master);
        printDetails(s);
    } else {
        printRows(s, sectionIndex);
    }
    if (repeat)
        pages_.releaseHeader(s.masterHeader);
    printOptional(s.masterFooter);
    pages_.leaveData();
}

} // namespace svod::engine
