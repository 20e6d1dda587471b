#include "engine/Exports.h"

#include "engine/exports/ExportObjects.h"
#include "engine/exports/ExportRows.h"

namespace svod::engine {

using namespace exports;

namespace {

QString htmlColor(const QColor& c) {
    return c.name(QColor::HexRgb);
}

// A chart as a picture inside the file, at the size it has on the page.
QString chartCell(const PreparedObject& o) {
    return QStringLiteral("<td><img alt=\"Диаграмма\" style=\"width:%1pt;height:%2pt\" "
                          "src=\"data:image/png;base64,%3\"></td>")
        .arg(o.rect.width(), 0, 'f', 1)
        .arg(o.rect.height(), 0, 'f', 1)
        .arg(QString::fromLatin1(chartPng(o).toBase64()));
}

} // namespace

void exportHtml(const PreparedPages& pages, const QString& path) {
    QString out = QStringLiteral(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Отчет</title>\n<style>\n"
        "table.page { border-collapse: collapse; margin-bottom: 24pt; page-break-after: always; }\n"
        "td { padding: 1pt 2pt; vertical-align: middle; white-space: pre-wrap; "
        "}\n</style>\n</head>\n<body>\n");
    for (int p = 0; p < pages.count(); ++p) {
        const PreparedPage page = pages.page(p);
        const auto rows = rowsWithCharts(page);
        int maxCells = 1;
        for (const auto& row : rows)
            maxCells = std::max(maxCells, int(row.size()));
        out += QStringLiteral("<table class=\"page\">\n");
        for (const auto& row : rows) {
            out += QStringLiteral("<tr>");
            for (const auto* o : row) {
                if (o->kind == ObjectKind::Chart) {
                    out += chartCell(*o);
                    continue;
                }
                QString style = QStringLiteral("width:%1pt;font-family:'%2';font-size:%3pt;")
                                    .arg(o->rect.width(), 0, 'f', 1)
                                    .arg(o->font.family)
                                    .arg(o->font.sizePt, 0, 'f', 1);
                if (o->font.bold)
                    style += QStringLiteral("font-weight:bold;");
                if (o->font.italic)
                    style += QStringLiteral("font-style:italic;");
                if (o->font.color != QColor(Qt::black))
                    style += QStringLiteral("color:%1;").arg(htmlColor(o->font.color));
                if (o->fill.isValid())
                    style += QStringLiteral("background:%1;").arg(htmlColor(o->fill));
                if (o->frame.sides == FrameAll)
                    style += QStringLiteral("border:1px solid %1;").arg(htmlColor(o->frame.color));
                if (o->alignment & Qt::AlignRight)
                    style += QStringLiteral("text-align:right;");
                else if (o->alignment & Qt::AlignHCenter)
                    style += QStringLiteral("text-align:center;");
                const QString span = (row.size() == 1 && maxCells > 1)
                                         ? QStringLiteral(" colspan=\"%1\"").arg(maxCells)
                                         : QString();
                const QString text =
                    o->kind == ObjectKind::RichText
                        ? o->text
                        : cellText(*o).toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
                out += QStringLiteral("<td%1 style=\"%2\">%3</td>").arg(span, style, text);
            }
            out += QStringLiteral("</tr>\n");
        }
        out += QStringLiteral("</table>\n");
    }
    out += QStringLiteral("</body>\n</html>\n");
    writeTextFile(path, out.toUtf8());
}

} // namespace svod::engine
