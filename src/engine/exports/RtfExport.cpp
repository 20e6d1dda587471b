#include "engine/Exports.h"

#include "engine/exports/ExportObjects.h"
#include "engine/exports/ExportRows.h"

namespace svod::engine {

using namespace exports;

void exportRtf(const PreparedPages& pages, const QString& path, const RtfOptions& options) {
    // Twips, scaled: RTF readers lay text wider than we do, so columns get room.
    auto tx = [&](double pt) { return qRound(pt * 20 * options.scaleX); };
    auto ty = [&](double pt) { return qRound(pt * 20 * options.scaleY); };
    QList<QColor> colors{Qt::black};
    auto colorIndex = [&](const QColor& c) {
        const QColor rgb = c.toRgb();
        qsizetype i = colors.indexOf(rgb);
        if (i < 0) {
            colors << rgb;
            i = colors.size() - 1;
        }
        return int(i) + 1;
    };
    QString body;
    for (int p = 0; p < pages.count(); ++p) {
        const PreparedPage page = pages.page(p);
        if (p > 0)
            body += QStringLiteral("\\page\n");
        const QSizeF size = page.orientedSize();
        body += QStringLiteral("\\pgwsxn%1\\pghsxn%2%3\\margl0\\margr0\\margt0\\margb0\n")
                    .arg(tx(size.width()))
                    .arg(ty(size.height()))
                    .arg(page.landscape ? QStringLiteral("\\lndscpsxn") : QString());
        for (const auto& row : rowsWithCharts(page)) {
            double height = 0;
            for (const auto* o : row)
                height = std::max(height, o->rect.height());
            QString defs = QStringLiteral("\\trowd\\trgaph0\\trrh%1").arg(ty(height));
            QString cells;
            double edge = 0;
            for (const auto* o : row) {
                if (o->rect.left() > edge + 0.5) { // a gap: an empty cell
                    defs += QStringLiteral("\\cellx%1").arg(tx(o->rect.left()));
                    cells += QStringLiteral("\\pard\\intbl\\cell");
                }
                if (o->frame.sides & FrameTop)
                    defs += QStringLiteral("\\clbrdrt\\brdrs\\brdrw10");
                if (o->frame.sides & FrameLeft)
                    defs += QStringLiteral("\\clbrdrl\\brdrs\\brdrw10");
                if (o->frame.sides & FrameBottom)
                    defs += QStringLiteral("\\clbrdrb\\brdrs\\brdrw10");
                if (o->frame.sides & FrameRight)
                    defs += QStringLiteral("\\clbrdrr\\brdrs\\brdrw10");
                if (o->fill.isValid())
                    defs += QStringLiteral("\\clcbpat%1").arg(colorIndex(o->fill));
                defs += QStringLiteral("\\clvertalc\\cellx%1").arg(tx(o->rect.right()));
                edge = o->rect.right();
                const QString align = (o->alignment & Qt::AlignRight)     ? QStringLiteral("\\qr")
                                      : (o->alignment & Qt::AlignHCenter) ? QStringLiteral("\\qc")
                                                                          : QStringLiteral("\\ql");
                QString fmt = QStringLiteral("\\f0\\fs%1\\cf%2")
                                  .arg(qRound(o->font.sizePt * 2))
                                  .arg(colorIndex(o->font.color));
                if (o->font.bold)
                    fmt += QStringLiteral("\\b");
                if (o->font.italic)
                    fmt += QStringLiteral("\\i");
                const QString text = o->kind == ObjectKind::RichText
                                         ? richTextToRtf(o->text, o->font, colorIndex)
                                     : o->kind == ObjectKind::Chart ? rtfChartPicture(*o)
                                                                    : rtfEscape(cellText(*o));
                cells += QStringLiteral("\\pard\\intbl%1{%2 %3}\\cell").arg(align, fmt, text);
            }
            body += defs + u'\n' + cells + QStringLiteral("\\row\n");
        }
    }
    QString out = QStringLiteral(
        "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1\n{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}\n"
        "{\\colortbl;");
    for (const auto& c : colors)
        out += QStringLiteral("\\red%1\\green%2\\blue%3;").arg(c.red()).arg(c.green()).arg(c.blue());
    out += QStringLiteral("}\n") + body + QStringLiteral("}\n");
    writeTextFile(path, out.toLatin1());
}

} // namespace svod::engine
