#include "engine/TextLayout.h"

#include <QDate>
#include <QDateTime>
#include <QGuiApplication>
#include <QScreen>
#include <charconv>
#include <memory>
#include <vector>

#include "db/Formats.h"

namespace svod::engine {

namespace {

double screenDpi() {
    static const double dpi = [] {
        if (auto* screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInchY();
        return 96.0;
    }();
    return dpi;
}

struct CachedMetrics {
    FontSpec style;
    std::unique_ptr<QFontMetricsF> metrics;
    FontMeasures measures;
};

const CachedMetrics& cachedMetrics(const FontSpec& style) {
    thread_local std::vector<CachedMetrics> cache;
    for (const auto& entry : cache)
        if (entry.style.sizePt == style.sizePt && entry.style.bold == style.bold &&
            entry.style.italic == style.italic && entry.style.family == style.family)
            return entry;
    auto metrics = std::make_unique<QFontMetricsF>(qfontFor(style, screenDpi()));
    const FontMeasures measures{metrics->ascent(), metrics->lineSpacing()};
    cache.push_back({style, std::move(metrics), measures});
    return cache.back();
}

} // namespace

QFont qfontFor(const FontSpec& style, double dpi) {
    QFont font(style.family);
    font.setPointSizeF(style.sizePt * 72.0 / dpi);
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

const QFontMetricsF& metricsFor(const FontSpec& style) {
    return *cachedMetrics(style).metrics;
}

const FontMeasures& measuresFor(const FontSpec& style) {
    return cachedMetrics(style).measures;
}

QStringList layoutLines(const QString& text, const FontSpec& font, double width, bool wrap) {
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalized.replace(u'\r', u'\n');
    const QStringList paragraphs = normalized.split(u'\n');
    if (!wrap)
        return paragraphs;
    const QFontMetricsF& fm = metricsFor(font);
    const double avail = std::max(1.0, width - 2 * TextPadding);
    QStringList lines;
    for (const auto& paragraph : paragraphs) {
        if (fm.horizontalAdvance(paragraph) <= avail) {
            lines << paragraph;
            continue;
        }
        QString line;
        const QStringList words = paragraph.split(u' ');
        for (const auto& word : words) {
            const QString candidate = line.isEmpty() ? word : line + u' ' + word;
            if (fm.horizontalAdvance(candidate) <= avail) {
                line = candidate;
                continue;
            }
            if (!line.isEmpty())
                lines << line;
            // A word longer than the line is cut by characters.
            line = word;
            while (line.size() > 1 && fm.horizontalAdvance(line) > avail) {
                qsizetype n = line.size() - 1;
                while (n > 1 && fm.horizontalAdvance(line.left(n)) > avail)
                    --n;
                lines << line.left(n);
                line = line.mid(n);
            }
        }
        lines << line;
    }
    return lines;
}

double textHeight(int lines, const FontSpec& font) {
    return lines * measuresFor(font).lineSpacing + 2 * TextPadding;
}

TextBlock layoutTextBlock(const QString& text, const FontSpec& font, const QRectF& rect, int alignment,
                          bool wordWrap) {
    TextBlock block;
    block.inner = rect.adjusted(TextPadding, TextPadding, -TextPadding, -TextPadding);
    block.lines = (wordWrap || text.contains(u'\n') || text.contains(u'\r'))
                      ? layoutLines(text, font, rect.width(), wordWrap)
                      : QStringList{text};
    block.lineHeight = measuresFor(font).lineSpacing;
    const double height = block.lineHeight * block.lines.size();
    block.top = block.inner.top();
    if (alignment & Qt::AlignVCenter)
        block.top = block.inner.top() + (block.inner.height() - height) / 2;
    else if (alignment & Qt::AlignBottom)
        block.top = block.inner.bottom() - height;
    block.tooTall = height > block.inner.height() + 0.5;
    return block;
}

double alignedLeft(const QRectF& inner, double width, int alignment) {
    if (alignment & Qt::AlignRight)
        return inner.right() - width;
    if (alignment & Qt::AlignHCenter)
        return inner.left() + (inner.width() - width) / 2;
    return inner.left();
}

QString formatNumberPattern(double value, const QString& pattern) {
    const qsizetype dot = pattern.indexOf(u'.');
    int decimals = 0;
    if (dot >= 0)
        for (qsizetype i = dot + 1; i < pattern.size() && (pattern[i] == u'0' || pattern[i] == u'#'); ++i)
            ++decimals;
    const bool grouping = pattern.left(dot < 0 ? pattern.size() : dot).contains(u',');
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith(u'-') && text.count(u'0') + 1 + (decimals > 0 ? 1 : 0) == text.size())
        text.remove(0, 1); // no "-0,00"
    const bool negative = text.startsWith(u'-');
    if (negative)
        text.remove(0, 1);
    qsizetype point = text.indexOf(u'.');
    if (point >= 0)
        text[point] = formats::DecimalSeparator;
    else
        point = text.size();
    if (grouping)
        for (qsizetype i = point - 3; i > 0; i -= 3)
            text.insert(i, u' ');
    return negative ? u'-' + text : text;
}

QString displayText(const QVariant& value, const QString& format) {
    if (value.isNull() || !value.isValid())
        return {};
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: {
        const double v = value.toDouble();
        if (format.startsWith(u'#') || format.startsWith(u'0'))
            return formatNumberPattern(v, format);
        if (format.startsWith(u'%'))
            return QString::asprintf(format.toLatin1().constData(), value.toLongLong());
        return formatNumber(v);
    }
    case QMetaType::QDate:
        return value.toDate().toString(format.isEmpty() ? formats::ShortDate : format);
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (!format.isEmpty())
            return dt.toString(format);
        return dt.time() == QTime(0, 0) ? dt.date().toString(formats::ShortDate)
                                        : dt.toString(formats::ShortDate + u' ' + formats::ShortTime);
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("Да") : QStringLiteral("Нет");
    default:
        break;
    }
    const QString text = value.toString();
    if (!format.isEmpty() && (format.startsWith(u'#') || format.startsWith(u'0'))) {
        double v = 0;
        if (parseDisplayNumber(text, v))
            return formatNumberPattern(v, format);
    }
    return text;
}

bool parseDisplayNumber(const QString& text, double& value) {
    // -?digit[digits and blanks]*([.,]digits)?, blanks at both ends allowed
    const QStringView t = QStringView(text).trimmed();
    if (t.isEmpty() || t.size() > 24)
        return false;
    char buf[32];
    int n = 0;
    qsizetype i = 0;
    if (t[0] == u'-')
        buf[n++] = '-', ++i;
    auto digit = [&](qsizetype k) { return k < t.size() && t[k] >= u'0' && t[k] <= u'9'; };
    if (!digit(i))
        return false;
    for (; i < t.size() && (digit(i) || t[i] == u' '); ++i)
        if (t[i] != u' ')
            buf[n++] = char(t[i].unicode());
    if (i < t.size()) {
        if ((t[i] != u'.' && t[i] != u',') || !digit(i + 1))
            return false;
        buf[n++] = '.';
        for (++i; digit(i); ++i)
            buf[n++] = char(t[i].unicode());
        if (i < t.size())
            return false;
    }
    const auto result = std::from_chars(buf, buf + n, value);
    return result.ec == std::errc() && result.ptr == buf + n;
}

bool parseDisplayDate(const QString& text, QDate& date) {
    if (text.size() != 10 || text[2] != u'.' || text[5] != u'.')
        return false;
    date = QDate::fromString(text, formats::ShortDate);
    return date.isValid();
}

} // namespace svod::engine
