#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QRectF>
#include <QStringList>
#include <QVariant>

#include "engine/Model.h"

namespace svod::engine {

// Padding between a text object's frame and its text, in points.
inline constexpr double TextPadding = 2.0;

// A font whose sizes read in points when painting on a device of `dpi` in point coordinates.
QFont qfontFor(const FontSpec& style, double dpi);

// Metrics in points for a font; cached, so measuring many cells stays cheap.
const QFontMetricsF& metricsFor(const FontSpec& style);
// What every text cell asks of its font, read once: each QFontMetricsF call takes the font engine's
// lock.
struct FontMeasures {
    double ascent = 0;
    double lineSpacing = 0;
};
const FontMeasures& measuresFor(const FontSpec& style);

// The lines a text takes in `width` points: explicit breaks always, words wrapped when `wrap`.
QStringList layoutLines(const QString& text, const FontSpec& font, double width, bool wrap);
// Height in points of `lines` lines with the padding.
double textHeight(int lines, const FontSpec& font);

// Where the lines of a text object go, the same for every device that draws it.
struct TextBlock {
    QStringList lines;
    QRectF inner; // the object's rectangle less the padding
    double lineHeight = 0;
    double top = 0;       // of the first line, after vertical alignment
    bool tooTall = false; // the lines need more height than the object has
};
TextBlock layoutTextBlock(const QString& text, const FontSpec& font, const QRectF& rect, int alignment,
                          bool wordWrap);
// The left edge of a line `width` wide inside `inner` under the horizontal `alignment`.
double alignedLeft(const QRectF& inner, double width, int alignment);

// A value as the user sees it: numbers with ",", dates "dd.MM.yyyy"; `format` as the object's
// display format ("#0.00", "#,##0.00", "0", "dd.MM.yyyy", "%d"...).
QString displayText(const QVariant& value, const QString& format);
// A number in a "#0.00"-style format with "," as decimal separator.
QString formatNumberPattern(double value, const QString& pattern);

// A display text that reads as a number ("1234,50", "-3") or date ("31.12.2000"), for exports.
bool parseDisplayNumber(const QString& text, double& value);
bool parseDisplayDate(const QString& text, QDate& date);

} // namespace svod::engine
