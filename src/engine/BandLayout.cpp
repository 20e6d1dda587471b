#include "engine/BandLayout.h"

#include <QTextDocument>

#include "engine/Chart.h"

#include "db/DateValue.h"
#include "engine/ExpressionScope.h"
#include "engine/Preparer.h"
#include "engine/TextLayout.h"

namespace svod::engine {

namespace {

bool hasText(ObjectKind kind) {
    return kind == ObjectKind::Text || kind == ObjectKind::RichText || kind == ObjectKind::CheckBox;
}

// A cell whose text is one value keeps the value for the exports.
void keepValue(const QVariant& v, PreparedObject& p) {
    if (v.isNull())
        return;
    const int type = v.metaType().id();
    if (type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong) {
        p.valueKind = ValueKind::Number;
        p.number = v.toDouble();
    } else if (type == QMetaType::QDate || type == QMetaType::QDateTime) {
        p.valueKind = ValueKind::Date;
        p.number = DateValue::fromVariant(v).days();
    }
}

} // namespace

PreparedObject preparedFrom(const TemplateObject& o) {
    PreparedObject p;
    p.kind = o.kind;
    p.rect = o.rect;
    p.font = o.font;
    p.frame = o.frame;
    p.fill = o.fill;
    p.alignment = o.alignment;
    p.wordWrap = o.wordWrap;
    p.radius = o.radius;
    return p;
}

bool LaidOutBand::canSplitLines() const {
    for (const auto& item : objects)
        if (item.lines.size() > 1)
            return true;
    return false;
}

std::pair<LaidOutBand, LaidOutBand> splitBand(const LaidOutBand& laid, double available) {
    LaidOutBand first{laid.band, available, {}};
    LaidOutBand rest{laid.band, 0, {}};
    for (const auto& item : laid.objects) {
        const QRectF rect = item.object.rect;
        if (rect.bottom() <= available + 0.01) {
            first.objects << item;
            continue;
        }
        if (rect.top() >= available) { // wholly below the cut: moves up with the rest
            LaidOutObject moved = item;
            moved.object.rect.translate(0, -available);
            rest.height = std::max(rest.height, moved.object.rect.bottom());
            rest.objects << moved;
            continue;
        }
        if (item.lines.isEmpty()) { // cut at the line, the rest of it continues below
            LaidOutObject head = item, tail = item;
            head.object.rect.setBottom(available);
            tail.object.rect = QRectF(rect.left(), 0, rect.width(), rect.bottom() - available);
            first.objects << head;
            if (item.object.kind != ObjectKind::Text && item.object.kind != ObjectKind::RichText) {
                rest.height = std::max(rest.height, tail.object.rect.bottom());
                rest.objects << tail;
            }
            continue;
        }
        const double lineH = measuresFor(item.object.font).lineSpacing;
        const int fit =
            std::clamp(int((available - rect.top() - 2 * TextPadding) / lineH), 0, int(item.lines.size()));
        LaidOutObject head = item;
        head.lines = item.lines.mid(0, fit);
        head.object.text = head.lines.join(u'\n');
        head.object.rect.setHeight(available - rect.top());
        if (fit > 0)
            first.objects << head;
        LaidOutObject tail = item;
        tail.lines = item.lines.mid(fit);
        tail.object.text = tail.lines.join(u'\n');
        tail.object.rect =
            QRectF(rect.left(), 0, rect.width(), textHeight(int(tail.lines.size()), item.object.font));
        rest.height = std::max(rest.height, tail.object.rect.bottom());
        rest.objects << tail;
    }
    return {first, rest};
}

BandLayout::BandLayout(const ReportTemplate& report, ExpressionScope& scope)
    : template_(report), scope_(scope) {
    for (const auto& band : report.bands) {
        texts_.append(QList<CompiledText>(band.objects.size()));
        compiledFlags_.append(QList<bool>(band.objects.size(), false));
    }
}

void BandLayout::compileAll() {
    for (int b = 0; b < template_.bands.size(); ++b)
        for (int o = 0; o < template_.bands[b].objects.size(); ++o)
            if (hasText(template_.bands[b].objects[o].kind))
                compiled(b, o);
}

bool BandLayout::hasExpressions(int band) const {
    for (const auto& o : template_.bands[band].objects)
        if ((hasText(o.kind) && o.text.contains(u'[')) || o.kind == ObjectKind::Chart)
            return true;
    return false;
}

const BandLayout::CompiledText& BandLayout::compiled(int band, int object) {
    CompiledText& c = texts_[band][object];
    if (compiledFlags_[band][object])
        return c;
    const TemplateObject& o = template_.bands[band].objects[object];
    const QStringList parts = splitExpressions(o.text);
    const QString owner = o.name.isEmpty() ? objectKindName(o.kind) : o.name;
    for (int i = 0; i < parts.size(); ++i) {
        if (i % 2 == 0)
            c.literals << parts[i];
        else
            c.expressions << scope_.compile(parts[i], owner, band);
    }
    // The object's display format is for its one expression; several expressions carry their own.
    if (c.expressions.size() == 1 && c.expressions[0]->format.isEmpty())
        c.expressions[0]->format = o.displayFormat;
    compiledFlags_[band][object] = true;
    return c;
}

QString BandLayout::evaluateText(int band, int object, PreparedObject& p) {
    const CompiledText& c = compiled(band, object);
    if (c.expressions.isEmpty())
        return c.literals.value(0);
    const bool richText = template_.bands[band].objects[object].kind == ObjectKind::RichText;
    QString text = c.literals[0];
    for (int i = 0; i < c.expressions.size(); ++i) {
        const QVariant v = scope_.evaluate(*c.expressions[i]);
        const QString shown = displayText(v, c.expressions[i]->format);
        text += richText ? shown.toHtmlEscaped() : shown;
        text += c.literals[i + 1];
        if (c.expressions.size() == 1 && c.literals[0].isEmpty() && c.literals[1].isEmpty())
            keepValue(v, p);
    }
    return text;
}

void BandLayout::stretch(const TemplateObject& o, LaidOutObject& item) const {
    PreparedObject& p = item.object;
    if (o.kind == ObjectKind::Text) {
        item.lines = layoutLines(p.text, o.font, o.rect.width(), o.wordWrap);
        p.text = item.lines.join(u'\n');
        p.wordWrap = false;
        p.rect.setHeight(std::max(o.rect.height(), textHeight(int(item.lines.size()), o.font)));
    } else if (o.kind == ObjectKind::RichText) {
        QTextDocument doc;
        doc.setDefaultFont(qfontFor(o.font, 72));
        doc.setHtml(p.text);
        doc.setTextWidth(o.rect.width());
        p.rect.setHeight(std::max(o.rect.height(), doc.size().height()));
    }
}

namespace {

// The very rows, not equal ones: rows are shared until changed, so these cannot differ.
bool sameRows(const RowSet& a, const RowSet& b) {
    return a.rows.constData() == b.rows.constData() && a.rows.size() == b.rows.size() &&
           a.texts.constData() == b.texts.constData() && a.texts.size() == b.texts.size() &&
           a.fields == b.fields;
}

} // namespace

// A dataset not bound to the master row gives the same rows page after page: its chart is made once.
QByteArray BandLayout::chartBytes(const ChartSettings& chart) {
    // A chart not bound to a dataset yet draws empty.
    RowSet rows = chartRows_ && !chart.dataset.isEmpty() ? chartRows_(chart.dataset) : RowSet();
    for (const auto& made : std::as_const(charts_))
        if (sameRows(made.rows, rows) && made.settings == chart)
            return made.bytes;
    QByteArray bytes = encodeChart(chartData(chart, rows));
    if (charts_.size() >= 8)
        charts_.removeFirst();
    charts_.append({chart, std::move(rows), bytes});
    return bytes;
}

LaidOutBand BandLayout::layOut(int index) {
    const Band& band = template_.bands[index];
    LaidOutBand laid;
    laid.band = index;
    laid.height = band.height;
    laid.objects.reserve(band.objects.size());
    for (int i = 0; i < band.objects.size(); ++i) {
        const TemplateObject& o = band.objects[i];
        LaidOutObject item;
        PreparedObject& p = item.object;
        p = preparedFrom(o);
        switch (o.kind) {
        case ObjectKind::Text:
        case ObjectKind::RichText:
            p.text = evaluateText(index, i, p);
            break;
        case ObjectKind::CheckBox: {
            PreparedObject ignored;
            const QString value = evaluateText(index, i, ignored).trimmed();
            p.checked =
                !(value.isEmpty() || value == u"0" || value == u"false" || value == QStringLiteral("Нет"));
            break;
        }
        case ObjectKind::Picture:
            p.picture = o.picture;
            break;
        case ObjectKind::Chart:
            p.picture = chartBytes(o.chart);
            break;
        default:
            break;
        }
        if (o.stretch) {
            stretch(o, item);
            laid.height = std::max(laid.height, p.rect.bottom());
        }
        laid.objects.append(std::move(item));
    }
    return laid;
}

} // namespace svod::engine
