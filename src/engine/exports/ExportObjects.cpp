#include "engine/exports/ExportObjects.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/Chart.h"
#include "engine/Exports.h"
#include "engine/TextLayout.h"

namespace svod::engine::exports {

namespace {

double rowKey(const PreparedObject* o) {
    return std::round(o->rect.top() * 2);
}

QByteArray pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

QString rtfEscape(const QString& text) {
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'{' || u == u'}')
            out += u'\\' + QString(c);
        else if (u == u'\n' || u == QChar::LineSeparator)
            out += QStringLiteral("\\line ");
        else if (u == u'\r')
            continue;
        else if (u < 128)
            out += c;
        else
            out += QStringLiteral("\\u%1?").arg(qint16(u));
    }
    return out;
}

bool isShape(const PreparedObject& o) {
    return o.kind == ObjectKind::Line || o.kind == ObjectKind::Rectangle || o.kind == ObjectKind::RoundRect;
}

namespace {

// Shapes of one top side by side make a row; one overlapping another starts a row of its own.
QList<QList<const PreparedObject*>> shapeRows(const PreparedPage& page) {
    QList<const PreparedObject*> shapes;
    for (const auto& o : page.objects)
        if (isShape(o))
            shapes << &o;
    std::stable_sort(shapes.begin(), shapes.end(), [](const PreparedObject* a, const PreparedObject* b) {
        return rowKey(a) != rowKey(b) ? rowKey(a) < rowKey(b) : a->rect.left() < b->rect.left();
    });
    QList<QList<const PreparedObject*>> rows;
    for (const auto* o : shapes) {
        if (rows.isEmpty() || rowKey(rows.last().last()) != rowKey(o) ||
            o->rect.left() < rows.last().last()->rect.right() - 0.5)
            rows.append(QList<const PreparedObject*>{});
        rows.last() << o;
    }
    return rows;
}

} // namespace

QList<QList<const PreparedObject*>> rowsWithDrawings(const PreparedPage& page) {
    QList<const PreparedObject*> charts;
    for (const auto& o : page.objects)
        if (o.kind == ObjectKind::Chart)
            charts << &o;
    auto rows = pageRows(page);
    std::stable_sort(charts.begin(), charts.end(), [](const PreparedObject* a, const PreparedObject* b) {
        return rowKey(a) != rowKey(b) ? rowKey(a) < rowKey(b) : a->rect.left() < b->rect.left();
    });
    qsizetype next = 0;
    const auto takeChartRow = [&] {
        QList<const PreparedObject*> chartRow{charts[next++]};
        while (next < charts.size() && rowKey(charts[next]) == rowKey(chartRow.first()))
            chartRow << charts[next++];
        return chartRow;
    };
    const auto shapes = shapeRows(page);
    qsizetype nextShape = 0;
    // Shapes come before the texts and charts of their top: a frame or a rule above its row.
    const auto takeShapesUpTo = [&](double key, QList<QList<const PreparedObject*>>& out) {
        while (nextShape < shapes.size() && rowKey(shapes[nextShape].first()) <= key)
            out << shapes[nextShape++];
    };
    QList<QList<const PreparedObject*>> merged;
    for (auto row : rows) {
        while (next < charts.size() && rowKey(charts[next]) < rowKey(row.first())) {
            takeShapesUpTo(rowKey(charts[next]), merged);
            merged << takeChartRow();
        }
        takeShapesUpTo(rowKey(row.first()), merged);
        // A chart beside texts of its top shares their row.
        if (next < charts.size() && rowKey(charts[next]) == rowKey(row.first())) {
            row << takeChartRow();
            std::stable_sort(row.begin(), row.end(), [](const PreparedObject* a, const PreparedObject* b) {
                return a->rect.left() < b->rect.left();
            });
        }
        merged << row;
    }
    while (next < charts.size()) {
        takeShapesUpTo(rowKey(charts[next]), merged);
        merged << takeChartRow();
    }
    takeShapesUpTo(std::numeric_limits<double>::infinity(), merged);
    return merged;
}

QByteArray chartPng(const PreparedObject& chart, double dpi) {
    return pngBytes(chartImage(chart, dpi));
}

QString rtfChartPicture(const PreparedObject& chart) {
    const QImage image = chartImage(chart);
    return QStringLiteral("{\\pict\\pngblip\\picw%1\\pich%2\\picwgoal%3\\pichgoal%4\n%5}")
        .arg(image.width())
        .arg(image.height())
        .arg(qRound(chart.rect.width() * 20))
        .arg(qRound(chart.rect.height() * 20))
        .arg(QString::fromLatin1(pngBytes(image).toHex()));
}

namespace {

QString shapeProperty(const char* name, qint64 value) {
    return QStringLiteral("{\\sp{\\sn %1}{\\sv %2}}").arg(QLatin1String(name)).arg(value);
}

// Colours of drawing objects are 0x00BBGGRR.
qint64 shapeColor(const QColor& c) {
    const QColor rgb = c.toRgb();
    return rgb.red() + (rgb.green() << 8) + (qint64(rgb.blue()) << 16);
}

} // namespace

QString rtfShape(const PreparedObject& o, int width, int height, int id) {
    int type = 1, right = width, bottom = height; // a rectangle
    if (o.kind == ObjectKind::RoundRect)
        type = 2;
    if (o.kind == ObjectKind::Line) {
        type = 20;
        // A line runs along the longer side of its rectangle.
        if (o.rect.width() >= o.rect.height())
            bottom = 0;
        else
            right = 0;
    }
    QString out = QStringLiteral("{\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright%1\\shpbottom%2"
                                 "\\shpfhdr0\\shpbxcolumn\\shpbxignore\\shpbypara\\shpbyignore"
                                 "\\shpwr3\\shpwrk0\\shpfblwtxt0\\shpz%3\\shplid%4")
                      .arg(right)
                      .arg(bottom)
                      .arg(id)
                      .arg(1025 + id);
    out += shapeProperty("shapeType", type);
    const bool filled = o.kind != ObjectKind::Line && o.fill.isValid() && o.fill.alpha() > 0;
    out += shapeProperty("fFilled", filled);
    if (filled)
        out += shapeProperty("fillColor", shapeColor(o.fill));
    const bool stroked = o.frame.color.alpha() > 0;
    out += shapeProperty("fLine", stroked);
    if (stroked) {
        out += shapeProperty("lineColor", shapeColor(o.frame.color));
        out += shapeProperty("lineWidth", qRound64(o.frame.width * PointsPerPixel * 12700)); // EMU
    }
    if (o.kind == ObjectKind::RoundRect) {
        // The corner as a share of the shorter side, in 1/21600.
        const double side = std::max(1.0, std::min(o.rect.width(), o.rect.height()));
        out += shapeProperty("adjustValue", qRound64(std::min(0.5, o.radius / side) * 21600));
    }
    out += shapeProperty("fLayoutInCell", 1);
    return out + QStringLiteral("}}");
}

QString richTextToRtf(const QString& html, const FontSpec& font,
                      const std::function<int(const QColor&)>& colorIndex) {
    QTextDocument doc;
    doc.setDefaultFont(qfontFor(font, 72));
    doc.setHtml(html);
    QString out;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block != doc.begin())
            out += QStringLiteral("\\par ");
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat f = fragment.charFormat();
            const QFont qf = f.font();
            const double size = qf.pointSizeF() > 0 ? qf.pointSizeF() : font.sizePt;
            QString fmt = QStringLiteral("\\fs%1").arg(qRound(size * 2));
            if (qf.bold())
                fmt += QStringLiteral("\\b");
            if (qf.italic())
                fmt += QStringLiteral("\\i");
            if (qf.underline())
                fmt += QStringLiteral("\\ul");
            const QColor color = f.foreground().style() != Qt::NoBrush ? f.foreground().color() : font.color;
            fmt += QStringLiteral("\\cf%1").arg(colorIndex(color));
            out += u'{' + fmt + u' ' + rtfEscape(fragment.text()) + u'}';
        }
    }
    return out;
}

} // namespace svod::engine::exports
