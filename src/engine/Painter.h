#pragma once

#include <QRectF>
#include <QString>

#include "engine/PreparedPages.h"

class QPainter;

namespace svod::engine {

// Paints a prepared page scaled into `target` (device coordinates) on any paint device.
void paintPage(const PreparedPage& page, QPainter& painter, const QRectF& target);

// Paints an object on a painter whose units are points (the designer's scene); text needing no
// shaping is drawn unshaped, the same glyphs faster.
void paintObject(const PreparedObject& object, QPainter& painter);

// Writes all pages to a PDF file; throws svod::Error when the file cannot be written.
void writePdf(const PreparedPages& pages, const QString& path);

// Rectangles of the text objects on a page whose text contains `text`.
QList<QRectF> findText(const PreparedPage& page, const QString& text, Qt::CaseSensitivity cs);

} // namespace svod::engine
