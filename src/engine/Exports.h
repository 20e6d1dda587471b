#pragma once

#include <QString>

#include "engine/PreparedPages.h"

namespace svod::engine {

struct RtfOptions {
    double scaleX = 1.3;
    double scaleY = 1.0;
};

struct CsvOptions {
    QChar delimiter = u';';
};

void exportCsv(const PreparedPages& pages, const QString& path, const CsvOptions& options = {});
void exportHtml(const PreparedPages& pages, const QString& path);
void exportRtf(const PreparedPages& pages, const QString& path, const RtfOptions& options = {});
void exportXlsx(const PreparedPages& pages, const QString& path);
// By the extension: .pdf, .frp, .csv, .html/.htm, .rtf, .xlsx. Throws svod::Error for others.
void exportPages(const PreparedPages& pages, const QString& path);
// Whether exportPages knows the extension of `path`.
bool isExportPath(const QString& path);

// A page's text objects as rows (same top), each row's cells from left to right.
QList<QList<const PreparedObject*>> pageRows(const PreparedPage& page);

} // namespace svod::engine
