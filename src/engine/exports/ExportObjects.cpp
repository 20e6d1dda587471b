#include "engine/exports/ExportObjects.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

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

QList<QList<const PreparedObject*>> rowsWithCharts(const PreparedPage& page) {
    QList<const PreparedObject*> charts;
    for (const auto& o : page.objects)
        if (o.kind == ObjectKind::Chart)
            charts << &o;
    auto rows = pageRows(page);
    if (charts.isEmpty())
        return rows;
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
    QList<QList<const PreparedObject*>> merged;
    for (auto row : rows) {
        while (next < charts.size() && rowKey(charts[next]) < rowKey(row.first()))
            merged << takeChartRow();
        // A chart beside texts of its top shares their row.
        if (next < charts.size() && rowKey(charts[next]) == rowKey(row.first())) {
            row << takeChartRow();
            std::stable_sort(row.begin(), row.end(), [](const PreparedObject* a, const PreparedObject* b) {
                return a->rect.left() < b->rect.left();
            });
        }
        merged << row;
    }
    while (next < charts.size())
        merged << takeChartRow();
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
