#pragma once

#include <QString>

#include "engine/PreparedPages.h"

namespace svod::engine {

struct RtfOptions {
    double scaleX = 1.3;
    double scaleY = 1.0;
};

// CSV for Excel on a Russian Windows: UTF-8 with a byte-order mark, or the ANSI code page.
enum class CsvEncoding { Utf8WithBom, Windows1251 };

struct CsvOptions {
    QChar delimiter = u';';
    CsvEncoding encoding = CsvEncoding::Utf8WithBom;
};

struct XlsxOptions {
    bool sheetPerPage = false; // otherwise one sheet for the whole report, headers once
};

// The export filters' settings, as the save command passes them on.
struct ExportOptions {
    CsvOptions csv;
    RtfOptions rtf;
    XlsxOptions xlsx;
};

void exportCsv(const PreparedPages& pages, const QString& path, const CsvOptions& options = {});
void exportHtml(const PreparedPages& pages, const QString& path);
void exportRtf(const PreparedPages& pages, const QString& path, const RtfOptions& options = {});
void exportXlsx(const PreparedPages& pages, const QString& path, const XlsxOptions& options = {});
// By the extension: .pdf, .frp, .csv, .html/.htm, .rtf, .xlsx. Throws svod::Error for others.
void exportPages(const PreparedPages& pages, const QString& path, const ExportOptions& options = {});
// Whether exportPages knows the extension of `path`.
bool isExportPath(const QString& path);

// A page's text objects as rows (same top), each row's cells from left to right.
QList<QList<const PreparedObject*>> pageRows(const PreparedPage& page);

} // namespace svod::engine
