#include "engine/Chart.h"

#include <QDate>
#include <QHash>
#include <QIODevice>
#include <QPainter>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "db/Error.h"
#include "engine/Painter.h"
#include "engine/TextLayout.h"

namespace svod::engine {

namespace {

constexpr quint8 ChartFormat = 1;
constexpr double Gap = 4.0;

const QList<QColor>& palette() {
    static const QList<QColor> colors = {
        QColor(0x4e, 0x79, 0xa7), QColor(0xf2, 0x8e, 0x2b), QColor(0x59, 0xa1, 0x4f),
        QColor(0xe1, 0x57, 0x59), QColor(0x76, 0xb7, 0xb2), QColor(0xed, 0xc9, 0x48),
        QColor(0xb0, 0x7a, 0xa1), QColor(0x9c, 0x75, 0x5f), QColor(0xba, 0xb0, 0xac),
        QColor(0x2f, 0x4b, 0x7c), QColor(0xff, 0x9d, 0xa7), QColor(0x8c, 0xd1, 0x7d)};
    return colors;
}

QColor colorOf(qsizetype index) {
    return palette()[index % palette().size()];
}

double numberOf(const QVariant& v) {
    if (v.isNull() || !v.isValid())
        return 0;
    if (v.metaType().id() == QMetaType::QString) {
        double d = 0;
        return parseDisplayNumber(v.toString(), d) ? d : v.toString().toDouble();
    }
    return v.toDouble();
}

PreparedObject label(const QRectF& rect, const QString& text, const FontSpec& font, int alignment) {
    PreparedObject o;
    o.kind = ObjectKind::Text;
    o.rect = rect;
    o.text = text;
    o.font = font;
    o.alignment = alignment;
    return o;
}

// The same labels (months, series titles, axis numbers) come back chart after chart: each is shaped
// once a font, not once a chart.
double textWidth(const QString& text, const FontSpec& font) {
    struct Widths {
        FontSpec style;
        QHash<QString, double> byText;
    };
    thread_local std::vector<Widths> cache;
    auto it = std::find_if(cache.begin(), cache.end(), [&](const Widths& w) {
        return w.style.sizePt == font.sizePt && w.style.bold == font.bold && w.style.italic == font.italic &&
               w.style.family == font.family;
    });
    if (it == cache.end())
        it = cache.insert(cache.end(), Widths{font, {}});
    QHash<QString, double>& widths = it->byText;
    if (const auto found = widths.constFind(text); found != widths.cend())
        return *found;
    if (widths.size() >= 4096) // a report of ever new numbers does not grow it without end
        widths.clear();
    const double width = metricsFor(font).horizontalAdvance(text) + 2 * TextPadding;
    widths.insert(text, width);
    return width;
}

double lineHeight(const FontSpec& font) {
    return textHeight(1, font);
}

// A step of 1, 2 or 5 times a power of ten giving about `ticks` intervals over `range`.
double niceStep(double range, int ticks) {
    const double raw = range / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / power;
    return (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * power;
}

// A category as text; a date stored as ISO text (SQLite) is shown as a date too.
QString categoryText(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QString) {
        static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}( 00:00:00(\\.0+)?)?$"));
        const QString text = value.toString();
        // The expression only for what can be one: most categories are names or months.
        const bool dashes = text.size() >= 10 && text[4] == u'-' && text[7] == u'-';
        if (dashes && iso.match(text).hasMatch()) {
            const QDate date = QDate::fromString(value.toString().left(10), Qt::ISODate);
            if (date.isValid())
                return displayText(date, QString());
        }
    }
    return displayText(value, QString());
}

// Categories and series in the order they first appear; values summed per pair.
void pivot(ChartData& d, const RowSet& rows, int category, int series, int value) {
    for (qsizetype r = 0; r < rows.count(); ++r) {
        const QString c = category >= 0 ? categoryText(rows.value(r, category)) : QString();
        const QString s = displayText(rows.value(r, series), QString());
        qsizetype ci = d.categories.indexOf(c);
        if (ci < 0) {
            d.categories << c;
            for (auto& list : d.values)
                list << 0.0;
            ci = d.categories.size() - 1;
        }
        qsizetype si = d.seriesTitles.indexOf(s);
        if (si < 0) {
            d.seriesTitles << s;
            d.values << QList<double>(d.categories.size(), 0.0);
            si = d.seriesTitles.size() - 1;
        }
        if (value >= 0)
            d.values[si][ci] += numberOf(rows.value(r, value));
    }
}

// The value axis: from the lowest to the highest value (of the stacks, when stacked), with zero on
// it, in round steps.
struct Scale {
    double low = 0, high = 0, step = 1;
    double y(const QRectF& plot, double v) const {
        return plot.bottom() - (v - low) / (high - low) * plot.height();
    }
};

Scale valueScale(const ChartData& d) {
    const bool stacked = d.type == ChartType::StackedBar;
    Scale scale;
    for (qsizetype c = 0; c < d.categories.size(); ++c) {
        double up = 0, down = 0;
        for (const auto& series : d.values) {
            const double v = series.value(c);
            if (stacked)
                (v >= 0 ? up : down) += v;
            else
                scale.low = std::min(scale.low, v), scale.high = std::max(scale.high, v);
        }
        if (stacked)
            scale.low = std::min(scale.low, down), scale.high = std::max(scale.high, up);
    }
    if (scale.high - scale.low <= 0)
        scale.high = scale.low + 1; // no rows or all zero: an empty scale, no division by zero
    scale.step = niceStep(scale.high - scale.low, 5);
    scale.low = std::floor(scale.low / scale.step) * scale.step;
    scale.high = std::ceil(scale.high / scale.step) * scale.step;
    return scale;
}

struct Ticks {
    QStringList texts;
    double width = 0; // the widest
};

// The labels of a scale's ticks. Charts of their own page after page mostly have the same scale:
// the last one is kept.
const Ticks& tickLabels(const Scale& scale, const QString& format, const FontSpec& font) {
    thread_local struct {
        Scale scale;
        QString format;
        FontSpec font;
        Ticks ticks;
    } last{{0, 0, 0}, {}, {}, {}};
    if (last.scale.low == scale.low && last.scale.high == scale.high && last.scale.step == scale.step &&
        last.format == format && last.font == font)
        return last.ticks;
    last = {scale, format, font, {}};
    for (double v = scale.low; v <= scale.high + scale.step / 2; v += scale.step) {
        last.ticks.texts << displayText(std::abs(v) < scale.step / 1e6 ? 0.0 : v, format);
        last.ticks.width = std::max(last.ticks.width, textWidth(last.ticks.texts.last(), font));
    }
    return last.ticks;
}

class ChartLayout {
public:
    ChartLayout(const ChartData& data, const QRectF& rect, const FontSpec& font, ChartParts parts)
        : d_(data), area_(rect.adjusted(Gap, Gap, -Gap, -Gap)), font_(font),
          frame_(parts == ChartParts::All) {
        small_ = font;
        titleFont_ = font;
        titleFont_.bold = true;
        titleFont_.sizePt = font.sizePt + 2;
        smallHeight_ = lineHeight(small_);
    }

    ChartDrawing run() {
        // A label a category, series and tick, a shape a series: grown once, not label by label.
        const qsizetype parts = d_.categories.size() + d_.seriesTitles.size();
        out_.labels.reserve(parts + 16);
        out_.shapes.reserve(parts + 4);
        if (!d_.title.isEmpty()) {
            const double h = lineHeight(titleFont_);
            if (frame_)
                out_.labels << label(QRectF(area_.left(), area_.top(), area_.width(), h), d_.title,
                                     titleFont_, Qt::AlignHCenter | Qt::AlignTop);
            area_.setTop(area_.top() + h + Gap);
        }
        const bool pie = d_.type == ChartType::Pie;
        const QStringList entries = pie ? d_.categories : d_.seriesTitles;
        if (d_.legend && !entries.isEmpty())
            legend(entries);
        if (pie) {
            frameEnds();
            this->pie();
        } else {
            axes();
        }
        return std::move(out_);
    }

private:
    void legend(const QStringList& entries) {
        const double h = smallHeight_;
        double width = 0;
        for (const auto& e : entries)
            width = std::max(width, textWidth(e, small_));
        width = std::min(width + h, area_.width() / 3);
        const double left = area_.right() - width;
        double y = area_.top();
        for (qsizetype i = 0; frame_ && i < entries.size() && y + h <= area_.bottom() + 0.01; ++i, y += h) {
            out_.shapes << ChartShape{{}, colorOf(i), {}, 0, {QRectF(left, y + h * 0.25, h * 0.5, h * 0.5)}};
            out_.labels << label(QRectF(left + h * 0.6, y, width - h * 0.6, h), entries[i], small_,
                                 Qt::AlignLeft | Qt::AlignVCenter);
        }
        area_.setRight(left - Gap);
    }

    void noData(const QRectF& r) {
        out_.labels << label(r, QStringLiteral("Нет данных"), small_, Qt::AlignCenter);
    }
    // What is drawn so far is the frame.
    void frameEnds() {
        out_.frameShapes = out_.shapes.size();
        out_.frameLabels = out_.labels.size();
    }

    void pie() {
        const QList<double> values = d_.values.value(0);
        double total = 0;
        for (double v : values)
            total += std::max(0.0, v); // a negative share has no slice
        const double side = std::max(0.0, std::min(area_.width(), area_.height()));
        const QRectF circle(area_.center().x() - side / 2, area_.center().y() - side / 2, side, side);
        QPainterPath outline;
        outline.addEllipse(circle);
        if (total <= 0) {
            out_.shapes << ChartShape{outline, {}, Qt::gray, 0.75, {}};
            noData(circle);
            return;
        }
        double angle = 90;
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (values[i] <= 0)
                continue;
            const double sweep = -360.0 * values[i] / total;
            QPainterPath slice;
            slice.moveTo(circle.center());
            slice.arcTo(circle, angle, sweep);
            slice.closeSubpath();
            out_.shapes << ChartShape{slice, colorOf(i), Qt::white, 0.75, {}};
            const double mid = (angle + sweep / 2) * M_PI / 180.0;
            const QPointF at(circle.center().x() + std::cos(mid) * side * 0.33,
                             circle.center().y() - std::sin(mid) * side * 0.33);
            const QString text = displayText(values[i], d_.numberFormat);
            const double w = textWidth(text, small_), h = smallHeight_;
            if (-sweep >= 12)
                out_.labels << label(QRectF(at.x() - w / 2, at.y() - h / 2, w, h), text, small_,
                                     Qt::AlignCenter);
            angle += sweep;
        }
    }

    // The axis titles around the area; returns where the category labels start.
    double axisTitles(double h) {
        if (!d_.yAxisTitle.isEmpty()) {
            if (frame_)
                out_.labels << label(QRectF(area_.left(), area_.top(), area_.width(), h), d_.yAxisTitle,
                                     small_, Qt::AlignLeft | Qt::AlignTop);
            area_.setTop(area_.top() + h);
        }
        double bottom = area_.bottom() - h; // category labels
        if (!d_.xAxisTitle.isEmpty()) {
            if (frame_)
                out_.labels << label(QRectF(area_.left(), area_.bottom() - h, area_.width(), h),
                                     d_.xAxisTitle, small_, Qt::AlignHCenter | Qt::AlignBottom);
            bottom -= h;
        }
        return bottom;
    }

    // The tick labels, the grid and the two axes; returns the plot's rectangle.
    QRectF gridAndAxes(const Scale& scale, double bottom, double h) {
        const auto& [ticks, tickWidth] = tickLabels(scale, d_.numberFormat, small_);
        const QRectF plot(area_.left() + tickWidth + Gap, area_.top() + h / 2,
                          std::max(1.0, area_.right() - area_.left() - tickWidth - Gap),
                          std::max(1.0, bottom - area_.top() - h / 2));
        if (!frame_)
            return plot;
        QPainterPath grid;
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            const double y = scale.y(plot, scale.low + double(i) * scale.step);
            grid.moveTo(plot.left(), y);
            grid.lineTo(plot.right(), y);
            out_.labels << label(QRectF(area_.left(), y - h / 2, tickWidth, h), ticks[i], small_,
                                 Qt::AlignRight | Qt::AlignVCenter);
        }
        out_.shapes << ChartShape{grid, {}, QColor(0xd0, 0xd0, 0xd0), 0.5, {}};
        QPainterPath axis;
        axis.moveTo(plot.topLeft());
        axis.lineTo(plot.bottomLeft());
        axis.moveTo(plot.left(), scale.y(plot, 0));
        axis.lineTo(plot.right(), scale.y(plot, 0));
        out_.shapes << ChartShape{axis, {}, Qt::black, 0.75, {}};
        return plot;
    }

    void axes() {
        const Scale scale = valueScale(d_);
        const double h = smallHeight_;
        const double bottom = axisTitles(h);
        const QRectF plot = gridAndAxes(scale, bottom, h);
        const qsizetype n = d_.categories.size();
        if (n == 0) {
            if (frame_)
                noData(plot);
            frameEnds();
            return;
        }
        const double group = plot.width() / double(n);
        for (qsizetype c = 0; frame_ && c < n; ++c)
            out_.labels << label(QRectF(plot.left() + group * double(c), bottom, group, h), d_.categories[c],
                                 small_, Qt::AlignHCenter | Qt::AlignTop);
        frameEnds();
        if (d_.type == ChartType::Line)
            lines(scale, plot, group);
        else
            bars(scale, plot, group);
    }

    void lines(const Scale& scale, const QRectF& plot, double group) {
        for (qsizetype s = 0; s < d_.values.size(); ++s) {
            QPainterPath line, marks;
            for (qsizetype c = 0; c < d_.categories.size(); ++c) {
                const QPointF at(plot.left() + group * (double(c) + 0.5),
                                 scale.y(plot, d_.values[s].value(c)));
                c == 0 ? line.moveTo(at) : line.lineTo(at);
                marks.addRect(QRectF(at.x() - 1.5, at.y() - 1.5, 3, 3));
            }
            out_.shapes << ChartShape{line, {}, colorOf(s), 1.5, {}}
                        << ChartShape{marks, colorOf(s), {}, 0, {}};
        }
    }

    // One path a series: its bars never overlap, and a colour set once draws them all.
    void bars(const Scale& scale, const QRectF& plot, double group) {
        const bool stacked = d_.type == ChartType::StackedBar;
        const qsizetype seriesCount = d_.values.size();
        QList<QList<QRectF>> rects(seriesCount);
        for (auto& list : rects)
            list.reserve(d_.categories.size());
        for (qsizetype c = 0; c < d_.categories.size(); ++c) {
            const double left = plot.left() + group * (double(c) + 0.15);
            const double width = group * 0.7;
            double up = 0, down = 0;
            for (qsizetype s = 0; s < seriesCount; ++s) {
                const double v = d_.values[s].value(c);
                QRectF bar;
                if (stacked) {
                    double& base = v >= 0 ? up : down;
                    bar = QRectF(QPointF(left, scale.y(plot, base)),
                                 QPointF(left + width, scale.y(plot, base + v)))
                              .normalized();
                    base += v;
                } else {
                    const double w = width / double(seriesCount);
                    bar = QRectF(QPointF(left + w * double(s), scale.y(plot, 0)),
                                 QPointF(left + w * double(s + 1), scale.y(plot, v)))
                              .normalized();
                }
                if (bar.height() > 0)
                    rects[s] << bar;
            }
        }
        for (qsizetype s = 0; s < seriesCount; ++s)
            if (!rects[s].isEmpty())
                out_.shapes << ChartShape{{}, colorOf(s), {}, 0, rects[s]};
    }

    const ChartData& d_;
    QRectF area_;
    FontSpec font_, small_, titleFont_;
    double smallHeight_ = 0;
    bool frame_;
    ChartDrawing out_;
};

} // namespace

ChartData chartData(const ChartSettings& settings, const RowSet& rows) {
    ChartData d;
    d.type = settings.type;
    d.title = settings.title;
    d.xAxisTitle = settings.xAxisTitle;
    d.yAxisTitle = settings.yAxisTitle;
    d.numberFormat = settings.numberFormat;
    d.legend = settings.legend;
    const auto fieldOf = [&](const QString& name) {
        const int f = rows.fieldIndex(name);
        if (f < 0)
            throw Error(QStringLiteral("В наборе данных %1 нет поля %2").arg(settings.dataset, name));
        return f;
    };
    const int category = settings.categoryField.isEmpty() ? -1 : fieldOf(settings.categoryField);
    if (!settings.seriesField.isEmpty()) {
        pivot(d, rows, category, fieldOf(settings.seriesField),
              settings.valueFields.isEmpty() ? -1 : fieldOf(settings.valueFields.first()));
        return d;
    }
    QList<int> fields;
    for (qsizetype s = 0; s < settings.valueFields.size(); ++s) {
        fields << fieldOf(settings.valueFields[s]);
        d.seriesTitles << (settings.seriesTitles.value(s).isEmpty() ? settings.valueFields[s]
                                                                    : settings.seriesTitles[s]);
        d.values << QList<double>();
    }
    for (qsizetype r = 0; r < rows.count(); ++r) {
        d.categories << (category >= 0 ? categoryText(rows.value(r, category)) : QString());
        for (qsizetype s = 0; s < fields.size(); ++s)
            d.values[s] << numberOf(rows.value(r, fields[s]));
    }
    return d;
}

namespace {

// Writes the bytes QDataStream (big-endian, Qt 6.4 layout) wrote for a chart, which prepared reports
// keep: without a buffer device, as every page with a chart encodes one, into bytes sized first.
class ChartWriter {
public:
    explicit ChartWriter(qsizetype size) : out_(size, Qt::Uninitialized), p_(out_.data()) {}
    void byte(quint8 v) { *p_++ = char(v); }
    void u32(quint32 v) {
        qToBigEndian(v, p_);
        p_ += 4;
    }
    void string(const QString& s) {
        if (s.isNull())
            return u32(0xffffffff);
        u32(quint32(s.size() * 2));
        qToBigEndian<char16_t>(s.utf16(), s.size(), p_);
        p_ += s.size() * 2;
    }
    void strings(const QStringList& list) {
        u32(quint32(list.size()));
        for (const auto& s : list)
            string(s);
    }
    void doubles(const QList<double>& list) {
        u32(quint32(list.size()));
        for (double v : list) {
            qToBigEndian(std::bit_cast<quint64>(v), p_);
            p_ += 8;
        }
    }
    QByteArray take() {
        Q_ASSERT(p_ == out_.constData() + out_.size());
        return std::move(out_);
    }

private:
    QByteArray out_;
    char* p_;
};

} // namespace

QByteArray encodeChart(const ChartData& d) {
    qsizetype size = 1 + 4 + 4 * 4 + 1 + 4 + 4 + 4;
    for (const QString* s : {&d.title, &d.xAxisTitle, &d.yAxisTitle, &d.numberFormat})
        size += s->size() * 2;
    for (const QStringList* list : {&d.categories, &d.seriesTitles})
        for (const auto& s : *list)
            size += 4 + s.size() * 2;
    for (const auto& series : d.values)
        size += 4 + series.size() * 8;
    ChartWriter out(size);
    out.byte(ChartFormat);
    out.u32(quint32(d.type));
    for (const QString* s : {&d.title, &d.xAxisTitle, &d.yAxisTitle, &d.numberFormat})
        out.string(*s);
    out.byte(d.legend ? 1 : 0);
    out.strings(d.categories);
    out.strings(d.seriesTitles);
    out.u32(quint32(d.values.size()));
    for (const auto& series : d.values)
        out.doubles(series);
    return out.take();
}

namespace {

// Reads what encodeChart wrote (QDataStream's big-endian, Qt 6.4 layout) straight from the bytes: a
// report with a chart on every page decodes one a page, and a QBuffer costs a virtual call a value.
class ChartReader {
public:
    explicit ChartReader(const QByteArray& bytes)
        : start_(bytes.constData()), p_(start_), end_(p_ + bytes.size()) {}
    bool ok() const { return ok_ && p_ == end_; }
    qsizetype position() const { return p_ - start_; }
    void skip(qsizetype n) {
        if (need(n))
            p_ += n;
    }

    quint8 byte() { return need(1) ? quint8(*p_++) : 0; }
    quint32 u32() {
        if (!need(4))
            return 0;
        const quint32 v = qFromBigEndian<quint32>(p_);
        p_ += 4;
        return v;
    }
    QString string() {
        const quint32 bytes = u32();
        if (bytes == 0xffffffff)
            return QString();
        if (bytes % 2 || !need(bytes))
            return fail(), QString();
        QString s(qsizetype(bytes / 2), Qt::Uninitialized);
        qFromBigEndian<char16_t>(p_, s.size(), s.data());
        p_ += bytes;
        return s;
    }
    // A list's length, no more than the bytes left could hold.
    qsizetype count(qsizetype itemBytes) {
        const quint32 n = u32();
        if (n >= 0xfffffffe || qsizetype(n) * itemBytes > end_ - p_)
            return fail(), 0;
        return qsizetype(n);
    }
    QStringList strings() {
        QStringList list(count(4));
        for (auto& s : list)
            s = string();
        return list;
    }
    QList<double> doubles() {
        QList<double> list(count(8));
        for (double& v : list) {
            v = std::bit_cast<double>(qFromBigEndian<quint64>(p_));
            p_ += 8;
        }
        return list;
    }

    void fail() {
        ok_ = false;
        p_ = end_;
    }

private:
    bool need(qsizetype n) {
        if (ok_ && end_ - p_ >= n)
            return true;
        return fail(), false;
    }

    const char* start_;
    const char* p_;
    const char* end_;
    bool ok_ = true;
};

} // namespace

// Charts of their own on many pages mostly differ in their values alone: the texts read last are
// kept with their bytes, and a chart that starts with the same bytes shares them.
ChartData decodeChart(const QByteArray& bytes) {
    thread_local struct {
        QByteArray bytes; // up to the values
        ChartData texts;
    } last;
    ChartData d;
    ChartReader in(bytes);
    const bool known = !last.bytes.isEmpty() && bytes.startsWith(last.bytes);
    if (known) {
        d = last.texts;
        in.skip(last.bytes.size());
    } else {
        const quint8 format = in.byte();
        const qint32 type = qint32(in.u32());
        d.title = in.string();
        d.xAxisTitle = in.string();
        d.yAxisTitle = in.string();
        d.numberFormat = in.string();
        d.legend = in.byte() != 0;
        d.categories = in.strings();
        d.seriesTitles = in.strings();
        if (format != ChartFormat || type < 0 || type > int(ChartType::Pie))
            in.fail();
        d.type = ChartType(type);
    }
    const qsizetype textBytes = in.position();
    d.values.resize(in.count(4));
    for (auto& series : d.values)
        series = in.doubles();
    if (!in.ok())
        throw Error(QStringLiteral("Файл отчета поврежден: неверные данные диаграммы"));
    if (!known) {
        last.bytes = bytes.left(textBytes);
        last.texts = d;
        last.texts.values.clear();
    }
    return d;
}

ChartDrawing layoutChart(const ChartData& data, const QRectF& rect, const FontSpec& font, ChartParts parts) {
    return ChartLayout(data, rect, font, parts).run();
}

// The frame depends on the values only through the value scale (a pie's not at all). The chart's
// bytes hold the values last: the key is what comes before them.
QByteArray chartFrameKey(const ChartData& data, const QByteArray& bytes) {
    qsizetype valuesBytes = 4;
    for (const auto& series : data.values)
        valuesBytes += 4 + series.size() * 8;
    QByteArray key;
    if (!bytes.isEmpty() && bytes.size() > valuesBytes) {
        key = bytes.left(bytes.size() - valuesBytes);
    } else {
        ChartData texts = data;
        texts.values.clear();
        key = encodeChart(texts).chopped(4);
    }
    if (data.type != ChartType::Pie) {
        const Scale scale = valueScale(data);
        for (double v : {scale.low, scale.high, scale.step})
            key.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    return key;
}

void paintChartShapes(QPainter& p, const ChartDrawing& drawing) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    for (const auto& shape : drawing.shapes) {
        if (shape.stroke.isValid()) {
            QPen pen(shape.stroke);
            pen.setWidthF(shape.width);
            p.setPen(pen);
        } else {
            p.setPen(Qt::NoPen);
        }
        p.setBrush(shape.fill.isValid() ? QBrush(shape.fill) : QBrush(Qt::NoBrush));
        if (!shape.rects.isEmpty())
            p.drawRects(shape.rects.constData(), int(shape.rects.size()));
        if (!shape.path.isEmpty())
            p.drawPath(shape.path);
    }
    p.restore();
}

QImage chartImage(const PreparedObject& chart, double dpi) {
    const double scale = dpi / 72.0;
    QImage image(std::max(1, int(std::ceil(chart.rect.width() * scale))),
                 std::max(1, int(std::ceil(chart.rect.height() * scale))), QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(int(dpi / 0.0254));
    image.setDotsPerMeterY(int(dpi / 0.0254));
    PreparedPage page;
    page.size = chart.rect.size();
    PreparedObject alone = chart;
    alone.rect.moveTopLeft(QPointF(0, 0));
    page.objects << alone;
    QPainter painter(&image);
    paintPage(page, painter, QRectF(0, 0, image.width(), image.height()));
    return image;
}

} // namespace svod::engine
