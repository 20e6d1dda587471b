#pragma once

#include <QRectF>
#include <QString>

#include "engine/Model.h"

namespace svod::test {

// A template of one report title band holding one text.
inline engine::ReportTemplate titledTemplate(const QString& title, qreal width) {
    engine::ReportTemplate t;
    engine::Band band;
    band.kind = engine::BandKind::ReportTitle;
    band.height = 20;
    engine::TemplateObject text;
    text.rect = QRectF(0, 0, width, 20);
    text.text = title;
    band.objects << text;
    t.bands << band;
    return t;
}

} // namespace svod::test
