#pragma once

#include <QList>

#include "engine/Model.h"
#include "engine/Report.h"
#include "engine/TableData.h"

namespace svod::engine {

// The look of one section of a generated table report.
struct SectionStyle {
    FontSpec font;
    QColor background = Qt::white;
    int frame = FrameNone;
    int alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool printed = true;
};

// The settings of the print table: those of the error protocol by default.
struct DatasetReportSettings {
    PageSetup page;
    bool columnHeader = true;
    bool headerOnEveryPage = true;
    SectionStyle title, pageHeader, pageFooter, columnHeaderStyle, body, footer;
    QString pageHeaderText, pageFooterText; // empty: not printed
    DatasetReportSettings();
};

// A tabular report generated from a result set.
class DatasetReport {
public:
    DatasetReportSettings& settings() { return settings_; }
    Report& report() { return report_; }

    // The generated template with its data: title, column header, body.
    void buildReport(const TableData& table);
    // Build and prepare; the prepared pages are the report's.
    const PreparedPages& prepare(const TableData& table);
    // Build, prepare and hand the pages to the viewer.
    void showReport(const TableData& table, ReportViewer& viewer);

    // A column's width in points: characters times the width of "0" in the body font, plus 8 px.
    double columnWidth(int widthChars) const;
    // The columns' widths: from characters, widened where a title or a value would be cut off, as
    // far as `available` allows.
    QList<double> columnWidths(const TableData& table, double available) const;

private:
    DatasetReportSettings settings_;
    Report report_;
};

// Keeps the prepared pages of several reports, each as one stream, and joins them.
class EMFPagesStorage {
public:
    void addPages(const PreparedPages& pages);
    void clear() { streams_.clear(); }
    int getCount() const { return int(streams_.size()); }
    // Replaces the report's template and pages by all stored pages in order; true when there is a page.
    bool compositeReport(Report& report) const;

private:
    QList<QByteArray> streams_;
};

// Writes the error protocols composed into one document; the format follows the extension of
// `outPath`: .pdf, .html, .frp, .csv, .rtf, .xlsx. Throws svod::Error.
void writeProtocols(const QList<TableData>& protocols, const QString& outPath);

} // namespace svod::engine
