#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <memory>

class QPainter;

namespace svod::reports {

// The export settings the user chose when saving.
struct SaveOptions {
    bool csvWindows1251 = false; // CSV: Windows-1251 instead of UTF-8 with a byte-order mark
    bool sheetPerPage = false;   // Excel: a sheet for each page instead of one for the report
};

// What the preview needs of prepared pages; the report engine's pages are one such document.
// Page sizes and rectangles are in points (1/72 inch).
class PreviewDocument {
public:
    virtual ~PreviewDocument() = default;
    virtual int pageCount() const = 0;
    virtual QSizeF pageSize(int page) const = 0;
    // Paints page `page` scaled into `target` (device coordinates).
    virtual void paintPage(int page, QPainter& painter, const QRectF& target) const = 0;
    // Rectangles of the text objects on the page that contain `text`.
    virtual QList<QRectF> findText(int page, const QString& text, Qt::CaseSensitivity cs) const = 0;
    // File filters for saving, e.g. "Подготовленный отчет (*.frp)"; the first is the default.
    virtual QStringList saveFilters() const = 0;
    // Writes the document in the format the file's extension names; throws svod::Error.
    virtual void save(const QString& path, const SaveOptions& options) const = 0;
};

// Opens a prepared report file as a document; throws svod::Error.
using PreviewLoader = std::unique_ptr<PreviewDocument> (*)(const QString& path);

} // namespace svod::reports
