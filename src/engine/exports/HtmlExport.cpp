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

QString pt(double v) {
    return QString::number(v, 'f', 1) + QStringLiteral("pt");
}

// A shape as a box of its size: its outline, fill and corners as the page draws them.
QString shapeCell(const PreparedObject& o, const QString& span) {
    const QString pen = o.frame.color.alpha() > 0 ? pt(o.frame.width * PointsPerPixel) +
                                                        QStringLiteral(" solid ") + htmlColor(o.frame.color)
                                                  : QStringLiteral("none");
    QString style;
    if (o.kind == ObjectKind::Line) {
        // A line runs along the longer side of its rectangle.
        style = o.rect.width() >= o.rect.height()
                    ? QStringLiteral("width:%1;height:0;border-top:%2;").arg(pt(o.rect.width()), pen)
                    : QStringLiteral("width:0;height:%1;border-left:%2;").arg(pt(o.rect.height()), pen);
    } else {
        style = QStringLiteral("width:%1;height:%2;box-sizing:border-box;border:%3;")
                    .arg(pt(o.rect.width()), pt(o.rect.height()), pen);
        if (o.fill.isValid() && o.fill.alpha() > 0)
            style += QStringLiteral("background:%1;").arg(htmlColor(o.fill));
        if (o.kind == ObjectKind::RoundRect)
            style += QStringLiteral("border-radius:%1;").arg(pt(o.radius));
    }
    const QString kind = o.kind == ObjectKind::Line        ? QStringLiteral("line")
                         : o.kind == ObjectKind::RoundRect ? QStringLiteral("roundrect")
                                                           : QStringLiteral("rect");
    return QStringLiteral("<td%1 style=\"padding:0\"><div class=\"%2\" style=\"%3\"></div></td>")
        .arg(span, kind, style);
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
        const auto rows = rowsWithDrawings(page);
        int maxCells = 1;
        for (const auto& row : rows)
            maxCells = std::max(maxCells, int(row.size()));
        out += QStringLiteral("<table class=\"page\">\n");
        for (const auto& row : rows) {
            out += QStringLiteral("<tr>");
            for (const auto* o : row) {
                const QString span = (row.size() == 1 && maxCells > 1)
                                         ? QStringLiteral(" colspan=\"%1\"").arg(maxCells)
                                         : QString();
                if (o->kind == ObjectKind::Chart) {
                    out += chartCell(*o);
                    continue;
                }
                if (isShape(*o)) {
                    out += shapeCell(*o, span);
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
