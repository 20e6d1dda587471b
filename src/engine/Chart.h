#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPainterPath>

#include "engine/ChartModel.h"
#include "engine/Datasets.h"
#include "engine/PreparedPages.h"

class QPainter;

namespace svod::engine {

// The chart's data from a dataset's rows: one category per row, one series per value field.
// Throws svod::Error naming a field the dataset does not have.
ChartData chartData(const ChartSettings& settings, const RowSet& rows);

// A prepared chart keeps its data in the object's bytes.
QByteArray encodeChart(const ChartData& data);
// Throws svod::Error on damaged bytes.
ChartData decodeChart(const QByteArray& bytes);

// A filled or stroked outline of a chart.
struct ChartShape {
    QPainterPath path;
    QColor fill;   // invalid: not filled
    QColor stroke; // invalid: not stroked
    double width = 0.75;
    QList<QRectF> rects; // upright rectangles of the same shape (bars): no path to build and read back
};

// What a chart draws in `rect` (points): shapes first, then the texts as text objects, so every
// device draws them as it draws any text. The frame (title, legend, grid, axes and their labels)
// comes first in both lists; it never overlaps the values' bars, lines, slices and their labels.
struct ChartDrawing {
    QList<ChartShape> shapes;
    QList<PreparedObject> labels;
    qsizetype frameShapes = 0, frameLabels = 0;
};
// All of a chart, or only the parts its values draw (no frame) for a writer that has the frame.
enum class ChartParts { All, Values };
ChartDrawing layoutChart(const ChartData& data, const QRectF& rect, const FontSpec& font,
                         ChartParts parts = ChartParts::All);
// Charts of equal keys laid out in the same rectangle and font have the same frame. `bytes`, when
// given, must be encodeChart(data) (a prepared chart's own): the key is cut from them.
QByteArray chartFrameKey(const ChartData& data, const QByteArray& bytes = {});

// The shapes of a drawing on a painter (the labels are the caller's, as text objects).
void paintChartShapes(QPainter& painter, const ChartDrawing& drawing);
// The chart of a prepared object as an image of `dpi` resolution, for exports that embed pictures.
QImage chartImage(const PreparedObject& chart, double dpi = 150);

} // namespace svod::engine
