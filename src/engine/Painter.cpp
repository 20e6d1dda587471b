#include "engine/Painter.h"

#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTextDocument>
#include <QVarLengthArray>
#include <list>
#include <optional>

#include "db/Error.h"
#include "engine/Chart.h"
#include "engine/PdfWriter.h"
#include "engine/TextLayout.h"

namespace svod::engine {

namespace {

// Fonts resolved for one device resolution, reused across objects. `plain` (the designer): text
// drawn and measured without OpenType shaping where its script needs none; the template fonts have
// no default ligatures and kerning is off, so the glyphs are the same at a fraction of the cost.
class FontCache {
public:
    FontCache(double dpi, bool plain) : dpi_(dpi), plain_(plain) {}
    double dpi() const { return dpi_; }
    size_t size() const { return fonts_.size(); }
    // For painting on `device`, whose resolution is the cache's.
    const QFont& font(const FontSpec& style, const QPaintDevice* device) { return entry(style, device).font; }
    // A line's width in points.
    double advance(const FontSpec& style, const QString& line, const QPaintDevice* device) {
        const Entry& e = entry(style, device);
        return e.metrics ? e.metrics->horizontalAdvance(line) : metricsFor(style).horizontalAdvance(line);
    }

private:
    struct Entry {
        FontSpec style;
        QFont font;
        std::optional<QFontMetricsF> metrics; // plain fonts only
    };
    const Entry& entry(const FontSpec& style, const QPaintDevice* device) {
        if (last_ && last_->style == style)
            return *last_;
        for (auto& e : fonts_)
            if (e.style == style) {
                last_ = &e;
                return e;
            }
        QFont font = qfontFor(style, dpi_);
        std::optional<QFontMetricsF> metrics;
        if (plain_) {
            font.setStyleStrategy(QFont::PreferNoShaping);
            if (device) // in points: the font's size is scaled for the device's dpi
                metrics.emplace(font, device);
        }
        fonts_.push_back({style, font, metrics});
        last_ = nullptr;
        return fonts_.back();
    }

    double dpi_;
    bool plain_;
    std::list<Entry> fonts_;
    Entry* last_ = nullptr;
};

void drawFrame(QPainter& p, const PreparedObject& o) {
    if (o.frame.sides == FrameNone)
        return;
    QPen pen(o.frame.color);
    pen.setWidthF(o.frame.width * PointsPerPixel);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF r = o.rect;
    if (o.frame.sides == FrameAll) {
        p.drawRect(r);
        return;
    }
    if (o.frame.sides & FrameLeft)
        p.drawLine(r.topLeft(), r.bottomLeft());
    if (o.frame.sides & FrameTop)
        p.drawLine(r.topLeft(), r.topRight());
    if (o.frame.sides & FrameRight)
        p.drawLine(r.topRight(), r.bottomRight());
    if (o.frame.sides & FrameBottom)
        p.drawLine(r.bottomLeft(), r.bottomRight());
}

void drawText(QPainter& p, const PreparedObject& o, FontCache& fonts) {
    if (o.text.isEmpty())
        return;
    const TextBlock block = layoutTextBlock(o.text, o.font, o.rect, o.alignment, o.wordWrap);
    p.setFont(fonts.font(o.font, p.device()));
    p.setPen(o.font.color);
    // Each line measured once: shaping is the dearest part of painting text.
    QVarLengthArray<double, 8> widths;
    bool clipped = block.tooTall;
    for (const auto& line : block.lines) {
        widths.append(fonts.advance(o.font, line, p.device()));
        clipped = clipped || widths.last() > block.inner.width() + 0.5;
    }
    if (clipped) {
        p.save();
        p.setClipRect(o.rect);
    }
    const double ascent = measuresFor(o.font).ascent;
    double y = block.top;
    for (qsizetype i = 0; i < block.lines.size(); ++i) {
        const double x = alignedLeft(block.inner, widths[i], o.alignment);
        p.drawText(QPointF(x, y + ascent), block.lines[i]);
        y += block.lineHeight;
    }
    if (clipped)
        p.restore();
}

void drawObject(QPainter& p, const PreparedObject& o, FontCache& fonts) {
    if (o.fill.isValid() && o.fill.alpha() > 0 && o.kind != ObjectKind::Line &&
        o.kind != ObjectKind::RoundRect)
        p.fillRect(o.rect, o.fill);
    switch (o.kind) {
    case ObjectKind::Text:
        drawText(p, o, fonts);
        break;
    case ObjectKind::RichText: {
        QTextDocument doc;
        doc.setDefaultFont(fonts.font(o.font, p.device()));
        doc.setHtml(o.text);
        doc.setTextWidth(o.rect.width());
        p.save();
        p.translate(o.rect.topLeft());
        doc.drawContents(&p, QRectF(QPointF(0, 0), o.rect.size()));
        p.restore();
        break;
    }
    case ObjectKind::Line: {
        QPen pen(o.frame.color);
        pen.setWidthF(o.frame.width * PointsPerPixel);
        p.setPen(pen);
        // A line runs along the longer side of its rectangle.
        if (o.rect.width() >= o.rect.height())
            p.drawLine(o.rect.topLeft(), o.rect.topRight());
        else
            p.drawLine(o.rect.topLeft(), o.rect.bottomLeft());
        return;
    }
    case ObjectKind::Rectangle: {
        QPen pen(o.frame.color);
        pen.setWidthF(o.frame.width * PointsPerPixel);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(o.rect);
        return;
    }
    case ObjectKind::RoundRect: {
        QPen pen(o.frame.color);
        pen.setWidthF(o.frame.width * PointsPerPixel);
        p.setPen(pen);
        p.setBrush(o.fill.isValid() ? QBrush(o.fill) : QBrush(Qt::NoBrush));
        p.drawRoundedRect(o.rect, o.radius, o.radius);
        return;
    }
    case ObjectKind::Picture: {
        QImage image;
        if (image.loadFromData(o.picture))
            p.drawImage(o.rect, image);
        break;
    }
    case ObjectKind::Chart: {
        ChartDrawing drawing;
        try {
            drawing = layoutChart(decodeChart(o.picture), o.rect, o.font);
        } catch (const Error&) {
            break; // a damaged chart draws nothing but its frame
        }
        paintChartShapes(p, drawing);
        for (const auto& label : drawing.labels)
            drawText(p, label, fonts);
        break;
    }
    case ObjectKind::CheckBox: {
        const double side = std::min(o.rect.width(), o.rect.height());
        const QRectF box(o.rect.topLeft(), QSizeF(side, side));
        QPen pen(o.font.color);
        pen.setWidthF(0.75);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(box);
        if (o.checked) {
            QPainterPath tick;
            tick.moveTo(box.left() + side * 0.2, box.top() + side * 0.5);
            tick.lineTo(box.left() + side * 0.42, box.top() + side * 0.75);
            tick.lineTo(box.left() + side * 0.8, box.top() + side * 0.25);
            p.drawPath(tick);
        }
        return;
    }
    }
    drawFrame(p, o);
}

} // namespace

void paintPage(const PreparedPage& page, QPainter& painter, const QRectF& target) {
    const QSizeF size = page.orientedSize();
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / size.width(), target.height() / size.height());
    const double dpi = painter.device() ? painter.device()->logicalDpiY() : 72.0;
    FontCache fonts(dpi, false);
    for (const auto& o : page.objects)
        drawObject(painter, o, fonts);
    painter.restore();
}

void paintObject(const PreparedObject& object, QPainter& painter) {
    // Kept between calls: the designer paints its objects one at a time.
    const double dpi = painter.device() ? painter.device()->logicalDpiY() : 72.0;
    thread_local std::optional<FontCache> fonts;
    if (!fonts || fonts->dpi() != dpi || fonts->size() > 64)
        fonts.emplace(dpi, true);
    drawObject(painter, object, *fonts);
}

void writePdf(const PreparedPages& pages, const QString& path) {
    if (writeDirectPdf(pages, path))
        return;
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Не удалось создать файл ") + path + QStringLiteral(": ") +
                    probe.errorString());
    probe.close();
    QPdfWriter writer(path);
    writer.setResolution(300);
    writer.setCreator(QStringLiteral("svod"));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    auto setPage = [&](const PreparedPage& page) {
        writer.setPageSize(QPageSize(page.size, QPageSize::Point));
        writer.setPageOrientation(page.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    };
    if (pages.isEmpty()) {
        QPainter painter(&writer); // an empty document still opens
        return;
    }
    PreparedPage page = pages.page(0);
    setPage(page);
    QPainter painter(&writer);
    if (!painter.isActive())
        throw Error(QStringLiteral("Не удалось записать файл ") + path);
    for (int i = 0; i < pages.count(); ++i) {
        if (i > 0) {
            page = pages.page(i);
            setPage(page);
            writer.newPage();
        }
        const QRectF target(0, 0, writer.width(), writer.height());
        paintPage(page, painter, target);
    }
    painter.end();
}

QList<QRectF> findText(const PreparedPage& page, const QString& text, Qt::CaseSensitivity cs) {
    QList<QRectF> found;
    if (text.isEmpty())
        return found;
    for (const auto& o : page.objects)
        if ((o.kind == ObjectKind::Text || o.kind == ObjectKind::RichText) && o.text.contains(text, cs))
            found << o.rect;
    return found;
}

} // namespace svod::engine
