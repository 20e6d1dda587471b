#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include "engine/Model.h"

namespace svod::engine::editing {

// The properties of a band object that the property panel shows and edits.
enum class ObjectProperty {
    Name,
    X,
    Y,
    Width,
    Height,
    Text,
    DisplayFormat,
    Font,       // FontSpec
    FrameSides, // int of FrameSide
    FrameWidth, // double
    FrameColor, // QColor
    Fill,       // QColor, invalid: none
    Alignment,  // int of Qt::Alignment
    WordWrap,   // bool
    Stretch,    // bool
    Radius,     // double
    Picture,    // QByteArray
    // Chart
    ChartKind,        // int of ChartType
    ChartDataset,     // QString
    ChartCategory,    // QString: the category field
    ChartValues,      // QStringList: one value field per series
    ChartSeries,      // QStringList: legend texts, parallel to the values
    ChartTitle,       // QString
    ChartXTitle,      // QString
    ChartYTitle,      // QString
    ChartFormat,      // QString: the values' number format
    ChartLegend,      // bool
    ChartSeriesField, // QString: a series for each value of this field
};

// Every property, in the property panel's order.
const QList<ObjectProperty>& allObjectProperties();
// The Russian caption of a property.
QString objectPropertyCaption(ObjectProperty property);
// Whether the property means something for the kind.
bool propertyApplies(ObjectKind kind, ObjectProperty property);

QVariant objectProperty(const TemplateObject& o, ObjectProperty property);
// Converts `value` to the property's type; a value that does not convert leaves the object unchanged
// and returns false.
bool setObjectProperty(TemplateObject& o, ObjectProperty property, const QVariant& value);

// The Russian name of an object kind and of a band kind, as the palette and captions show them.
QString objectKindCaption(ObjectKind kind);
QString bandKindCaption(BandKind kind);
const QList<ObjectKind>& allObjectKinds();
const QList<BandKind>& allBandKinds();
inline bool isDataBand(BandKind kind) {
    return kind == BandKind::MasterData || kind == BandKind::DetailData;
}

// The Russian caption of a chart kind.
QString chartTypeCaption(ChartType type);
const QList<ChartType>& allChartTypes();

// A fresh object of the kind with the defaults the palette gives it.
TemplateObject newObject(ObjectKind kind, const QRectF& rect);

} // namespace svod::engine::editing

Q_DECLARE_METATYPE(svod::engine::FontSpec)
