#pragma once

#include <QString>
#include <QVariant>
#include <vector>

#include "engine/Model.h"
#include "engine/SectionRunner.h"

namespace svod::engine {

class ExpressionScope;
struct CompiledExpression;

enum class AggregateFunction { Sum, Count, Avg, Min, Max };
// When an aggregate starts again from nothing.
enum class AggregateReset {
    Band,   // when the data band it prints with starts over (a detail band: for each master row)
    Group,  // when its group starts (a group footer's own group, elsewhere the innermost one)
    Page,   // on each page
    Report, // never: a running total over the whole report
};

struct Accumulator {
    double sum = 0, min = 0, max = 0;
    qint64 count = 0;
    void add(double value);
    void merge(const Accumulator& other);
};

struct Aggregate {
    AggregateFunction function = AggregateFunction::Sum;
    AggregateReset reset = AggregateReset::Report;
    CompiledExpression* argument = nullptr; // null: COUNT()
    int dataBand = -1;                      // the band whose rows it counts
    int restartBand = -1;                   // Band: the data band whose start resets it
    int groupSection = -1, groupLevel = -1; // Group: the section and level that reset it
    Accumulator committed;
    Accumulator staged; // the row being printed
    bool hasStaged = false;
    QVariant value(bool withStaged) const;
};

// SUM, COUNT, AVG, MIN and MAX of a template: SUM(expr[, band name][, 'band'|'group'|'page'|'report']).
// A row counts as soon as its band is laid out, so a running total in the row includes it; when the
// row moves on to the next page, the footers of the page it left do not count it.
class Aggregates {
public:
    Aggregates(const ReportTemplate& report, const QList<Section>& sections, ExpressionScope& scope)
        : template_(report), sections_(sections), scope_(scope) {}

    // Replaces every aggregate call of an expression of band `band` by its slot "__aN".
    QString extract(const QString& source, const QString& owner, int band);
    const int* countPointer() const { return &count_; }
    QVariant value(int slot) const { return aggregates_[size_t(slot)].value(stagedVisible_); }

    // The current row of `dataBand` counted, not yet for good.
    void stage(int dataBand);
    void commit();
    // Footers and headers printed at a page break do not see the row that moved on.
    void setStagedVisible(bool visible) { stagedVisible_ = visible; }

    void resetBand(int dataBand);
    void resetGroups(int section, int fromLevel);
    void resetSection(int section);
    void resetPage();

private:
    void place(Aggregate& a, int band, const QString& bandName, const QString& resetName,
               const QString& owner, const QString& source);
    int sectionOf(int band) const;
    // The data band a band prints with (a header or footer: the band it belongs to), else `counted`.
    int ownDataBand(int band, int counted) const;

    const ReportTemplate& template_;
    const QList<Section>& sections_;
    ExpressionScope& scope_;
    std::vector<Aggregate> aggregates_;
    int count_ = 0;
    bool stagedVisible_ = true;
};

} // namespace svod::engine
