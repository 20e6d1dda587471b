#include "engine/Exports.h"

#include <QFileInfo>

#include "db/Error.h"
#include "engine/Painter.h"

namespace svod::engine {

bool isExportPath(const QString& path) {
    static const QStringList known = {QStringLiteral("pdf"),  QStringLiteral("frp"), QStringLiteral("csv"),
                                      QStringLiteral("html"), QStringLiteral("htm"), QStringLiteral("rtf"),
                                      QStringLiteral("xlsx")};
    return known.contains(QFileInfo(path).suffix().toLower());
}

void exportPages(const PreparedPages& pages, const QString& path, const ExportOptions& options) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"pdf")
        writePdf(pages, path);
    else if (ext == u"frp")
        pages.saveToFile(path);
    else if (ext == u"csv")
        exportCsv(pages, path, options.csv);
    else if (ext == u"html" || ext == u"htm")
        exportHtml(pages, path);
    else if (ext == u"rtf")
        exportRtf(pages, path, options.rtf);
    else if (ext == u"xlsx")
        exportXlsx(pages, path, options.xlsx);
    else
        throw Error(QStringLiteral("Неизвестный формат файла отчета: ") + path +
                    QStringLiteral(" (ожидается .pdf, .xlsx, .rtf, .html, .csv или .frp)"));
}

} // namespace svod::engine
