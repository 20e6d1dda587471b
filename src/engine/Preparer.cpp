#include "engine/Preparer.h"

#include "db/Error.h"
#include "engine/Aggregates.h"
#include "engine/BandLayout.h"
#include "engine/DatasetCursors.h"
#include "engine/ExpressionScope.h"
#include "engine/PageComposer.h"
#include "engine/SectionRunner.h"

namespace svod::engine {

QStringList splitExpressions(const QString& text) {
    QStringList parts;
    QString literal;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'[') {
            literal += text[i++];
            continue;
        }
        int depth = 0;
        qsizetype j = i;
        QChar quote;
        for (; j < text.size(); ++j) {
            const QChar c = text[j];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == u'\'' || c == u'"') {
                quote = c;
            } else if (c == u'[') {
                ++depth;
            } else if (c == u']' && --depth == 0) {
                break;
            }
        }
        if (j >= text.size()) { // no closing bracket: the rest is literal
            literal += text.mid(i);
            break;
        }
        parts << literal << text.mid(i + 1, j - i - 1);
        literal.clear();
        i = j + 1;
    }
    parts << literal;
    return parts;
}

bool usesTotalPages(const ReportTemplate& report) {
    for (const auto& b : report.bands)
        for (const auto& o : b.objects)
            if (o.text.contains(QStringLiteral("TOTALPAGES")))
                return true;
    return false;
}

namespace {

// One pass over the template: the parts that evaluate, count, lay out and place, wired together.
class PreparationRun {
public:
    PreparationRun(const PrepareInput& in, QueryCache& cache, PageComposer::PageSink sink, int totalPages)
        : in_(in), template_(*in.report), sections_(sectionsOf(template_)),
          cursors_({in.report, in.connection, &in.memoryDatasets, in.reportName, &cache}), scope_(cursors_),
          aggregates_(template_, sections_, scope_), layout_(template_, scope_),
          pages_(template_, layout_, scope_, aggregates_, std::move(sink), totalPages),
          sectionRunner_(template_, cursors_, scope_, aggregates_, pages_) {
        scope_.setAggregates([this](const QString& source, const QString& owner,
                                    int band) { return aggregates_.extract(source, owner, band); },
                             [this](int slot) { return aggregates_.value(slot); },
                             aggregates_.countPointer());
    }

    // False when cancelled.
    bool run() {
        scope_.defineVariables(in_.engineVariables, template_.variables);
        scope_.runScript(template_.script, in_.noteStrings);
        layout_.setChartRows([this](const QString& dataset) {
            return cursors_.rows(
                dataset, {}, [this](const QString& name, QVariant& v) { return scope_.variable(name, v); });
        });
        layout_.compileAll(); // every aggregate exists before the first row is counted
        pages_.startReport();
        for (int b = 0; b < template_.bands.size(); ++b)
            if (template_.bands[b].kind == BandKind::ReportTitle && template_.bands[b].belowPageHeader)
                pages_.print(b);
        for (int s = 0; s < sections_.size() && !pages_.cancelled(); ++s)
            sectionRunner_.run(sections_[s], s);
        if (!pages_.cancelled())
            for (int b = 0; b < template_.bands.size(); ++b)
                if (template_.bands[b].kind == BandKind::ReportSummary)
                    pages_.print(b);
        pages_.finish();
        return !pages_.cancelled();
    }
    const QStringList& warnings() const { return pages_.warnings(); }

private:
    const PrepareInput& in_;
    const ReportTemplate& template_;
    const QList<Section> sections_;
    DatasetCursors cursors_;
    ExpressionScope scope_;
    Aggregates aggregates_;
    BandLayout layout_;
    PageComposer pages_;
    SectionRunner sectionRunner_;
};

} // namespace

bool prepareReport(const PrepareInput& input, PreparedPages& out) {
    if (!input.report)
        throw Error(QStringLiteral("Шаблон отчета не задан"));
    QueryCache localCache;
    QueryCache& cache = input.queries ? *input.queries : localCache;
    const bool twoPasses = usesTotalPages(*input.report);
    cache.setKeeping(twoPasses);
    int totalPages = 0;
    if (twoPasses) {
        // The first pass only counts the pages; its rows are kept for the second.
        const QStringList notesBefore = input.noteStrings ? *input.noteStrings : QStringList();
        PreparationRun counting(
            input, cache,
            [&](PreparedPage&) {
                ++totalPages;
                return !input.progress || input.progress(totalPages);
            },
            0);
        if (!counting.run())
            return false;
        if (input.noteStrings)
            *input.noteStrings = notesBefore; // the script runs again on the second pass
    }
    PreparedPages pages;
    PreparationRun final(
        input, cache,
        [&](PreparedPage& page) {
            if (input.finishObject)
                for (auto& o : page.objects)
                    input.finishObject(o);
            pages.addPage(page);
            return !input.progress || input.progress(pages.count());
        },
        totalPages);
    if (!final.run())
        return false;
    if (input.warnings)
        *input.warnings = final.warnings();
    out = std::move(pages);
    return true;
}

} // namespace svod::engine
