#include "engine/Exports.h"

#include "engine/exports/ExportObjects.h"
#include "engine/exports/ExportRows.h"

namespace svod::engine {

using namespace exports;

namespace {

// The document's body as rows of cells, and the colours it used.
class RtfBody {
public:
    explicit RtfBody(const RtfOptions& options) : options_(options) {}

    // Twips, scaled: RTF readers lay text wider than we do, so columns get room.
    int tx(double pt) const { return qRound(pt * 20 * options_.scaleX); }
    int ty(double pt) const { return qRound(pt * 20 * options_.scaleY); }

    int colorIndex(const QColor& c) {
        const QColor rgb = c.toRgb();
        qsizetype i = colors_.indexOf(rgb);
        if (i < 0) {
            colors_ << rgb;
            i = colors_.size() - 1;
        }
        return int(i) + 1;
    }

    void page(const PreparedPage& page, bool first) {
        if (!first)
            body_ += QStringLiteral("\\page\n");
        const QSizeF size = page.orientedSize();
        body_ += QStringLiteral("\\pgwsxn%1\\pghsxn%2%3\\margl0\\margr0\\margt0\\margb0\n")
                     .arg(tx(size.width()))
                     .arg(ty(size.height()))
                     .arg(page.landscape ? QStringLiteral("\\lndscpsxn") : QString());
        for (const auto& row : rowsWithDrawings(page))
            this->row(row);
    }

    QString document() const {
        QString out = QStringLiteral(
            "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1\n{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}\n"
            "{\\colortbl;");
        for (const auto& c : colors_)
            out += QStringLiteral("\\red%1\\green%2\\blue%3;").arg(c.red()).arg(c.green()).arg(c.blue());
        return out + QStringLiteral("}\n") + body_ + QStringLiteral("}\n");
    }

private:
    void row(const QList<const PreparedObject*>& row) {
        double height = 0;
        for (const auto* o : row)
            height = std::max(height, o->rect.height());
        defs_ = QStringLiteral("\\trowd\\trgaph0\\trrh%1").arg(ty(height));
        cells_.clear();
        edge_ = 0;
        for (const auto* o : row) {
            if (o->rect.left() > edge_ + 0.5) { // a gap: an empty cell
                defs_ += QStringLiteral("\\cellx%1").arg(tx(o->rect.left()));
                cells_ += QStringLiteral("\\pard\\intbl\\cell");
            }
            if (isShape(*o))
                shapeCell(*o);
            else
                cell(*o);
        }
        body_ += defs_ + u'\n' + cells_ + QStringLiteral("\\row\n");
    }

    // The shape draws its own outline and fill; a vertical line's cell gets some width too.
    void shapeCell(const PreparedObject& o) {
        edge_ = std::max(o.rect.right(), o.rect.left() + 1);
        defs_ += QStringLiteral("\\cellx%1").arg(tx(edge_));
        cells_ += QStringLiteral("\\pard\\intbl%1\\cell")
                      .arg(rtfShape(o, tx(o.rect.width()), ty(o.rect.height()), ++shapes_));
    }

    void cell(const PreparedObject& o) {
        if (o.frame.sides & FrameTop)
            defs_ += QStringLiteral("\\clbrdrt\\brdrs\\brdrw10");
        if (o.frame.sides & FrameLeft)
            defs_ += QStringLiteral("\\clbrdrl\\brdrs\\brdrw10");
        if (o.frame.sides & FrameBottom)
            defs_ += QStringLiteral("\\clbrdrb\\brdrs\\brdrw10");
        if (o.frame.sides & FrameRight)
            defs_ += QStringLiteral("\\clbrdrr\\brdrs\\brdrw10");
        if (o.fill.isValid())
            defs_ += QStringLiteral("\\clcbpat%1").arg(colorIndex(o.fill));
        defs_ += QStringLiteral("\\clvertalc\\cellx%1").arg(tx(o.rect.right()));
        edge_ = o.rect.right();
        const QString align = (o.alignment & Qt::AlignRight)     ? QStringLiteral("\\qr")
                              : (o.alignment & Qt::AlignHCenter) ? QStringLiteral("\\qc")
                                                                 : QStringLiteral("\\ql");
        QString fmt =
            QStringLiteral("\\f0\\fs%1\\cf%2").arg(qRound(o.font.sizePt * 2)).arg(colorIndex(o.font.color));
        if (o.font.bold)
            fmt += QStringLiteral("\\b");
        if (o.font.italic)
            fmt += QStringLiteral("\\i");
        const QString text =
            o.kind == ObjectKind::RichText
                ? richTextToRtf(o.text, o.font, [this](const QColor& c) { return colorIndex(c); })
            : o.kind == ObjectKind::Chart ? rtfChartPicture(o)
                                          : rtfEscape(cellText(o));
        cells_ += QStringLiteral("\\pard\\intbl%1{%2 %3}\\cell").arg(align, fmt, text);
    }

    const RtfOptions& options_;
    QList<QColor> colors_{Qt::black};
    QString body_, defs_, cells_;
    double edge_ = 0;
    int shapes_ = 0;
};

} // namespace

void exportRtf(const PreparedPages& pages, const QString& path, const RtfOptions& options) {
    RtfBody body(options);
    for (int p = 0; p < pages.count(); ++p)
        body.page(pages.page(p), p == 0);
    writeTextFile(path, body.document().toLatin1());
}

} // namespace svod::engine
