#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>
#include <functional>

#include "engine/PreparedPages.h"

// Objects the table-like exports write other than as plain text: charts as pictures, shapes, rich
// text.
namespace svod::engine::exports {

// Lines, rectangles and rounded rectangles.
bool isShape(const PreparedObject& o);

// A page's rows of text objects with its charts and shapes among them by their tops: a chart joins
// the row of texts of its top, or makes a row with the charts of that top; shapes make rows of their
// own, before the row of their top.
QList<QList<const PreparedObject*>> rowsWithDrawings(const PreparedPage& page);

// The chart drawn as a PNG picture of `dpi` resolution.
QByteArray chartPng(const PreparedObject& chart, double dpi = 150);

// Text for RTF: control characters escaped, line breaks as \line, other than ASCII as \uN?.
QString rtfEscape(const QString& text);

// The chart as an RTF picture (PNG) of the object's size.
QString rtfChartPicture(const PreparedObject& chart);

// A line, rectangle or rounded rectangle as an RTF drawing object of `width` by `height` twips,
// anchored to its paragraph; `id` tells the document's drawing objects apart.
QString rtfShape(const PreparedObject& shape, int width, int height, int id);

// Rich text (HTML as the preview reads it) as RTF runs: paragraphs, bold, italic, underline,
// sizes and colours; `colorIndex` gives the colour table's entry of a colour.
QString richTextToRtf(const QString& html, const FontSpec& font,
                      const std::function<int(const QColor&)>& colorIndex);

} // namespace svod::engine::exports
