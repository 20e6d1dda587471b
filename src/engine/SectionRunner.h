#pragma once

#include <QList>

#include "engine/Model.h"

namespace svod::engine {

class Aggregates;
class DatasetCursors;
class ExpressionScope;
class PageComposer;

// A detail data band with its own header and footer, printed for each master row.
struct DetailBands {
    int header = -1;
    int data = -1;
    int footer = -1;
};

// A master data band with everything printed around its rows. Band indexes into the template.
struct Section {
    int masterHeader = -1;
    int master = -1;
    int masterFooter = -1;
    QList<int> groupHeaders;   // outermost first
    QList<int> groupFooters;   // by level, like the headers; -1 where a level has none
    QList<int> closingFooters; // group footers without a header: after all the rows
    QList<DetailBands> details;
    // The section and level a group band belongs to (level -1: a closing footer); false for others.
    bool groupOf(int band, int& level) const;
};

// The sections of a template in order; throws svod::Error naming a band that belongs to no data band
// (it would otherwise be dropped without a word).
QList<Section> sectionsOf(const ReportTemplate& report);

// Prints one section: group headers and footers as the group conditions change, the master rows,
// and for each of them the detail bands with their headers and footers.
class SectionRunner {
public:
    SectionRunner(const ReportTemplate& report, DatasetCursors& cursors, ExpressionScope& scope,
                  Aggregates& aggregates, PageComposer& pages)
        : template_(report), cursors_(cursors), scope_(scope), aggregates_(aggregates), pages_(pages) {}

    void run(const Section& section, int sectionIndex);

private:
    void printRows(const Section& section, int sectionIndex);
    void printDetails(const Section& section);
    void printDetail(const DetailBands& detail, const QString& master);
    void printRow(int band);
    void printOptional(int band);

    const ReportTemplate& template_;
    DatasetCursors& cursors_;
    ExpressionScope& scope_;
    Aggregates& aggregates_;
    PageComposer& pages_;
};

} // namespace svod::engine
