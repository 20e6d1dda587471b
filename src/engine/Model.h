#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QMap>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include "engine/ChartModel.h"
#include "engine/DialogModel.h"

namespace svod::engine {

// Every length of the engine is in points (1/72 inch); screen pixels count 96 per inch.
inline constexpr double PointsPerPixel = 0.75;
inline constexpr double PointsPerMm = 72.0 / 25.4;

struct FontSpec {
    QString family = QStringLiteral("Liberation Sans");
    double sizePt = 8.0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QColor color = Qt::black;
    bool operator==(const FontSpec&) const = default;
};

// Sides of a frame, combinable.
enum FrameSide : int {
    FrameNone = 0,
    FrameLeft = 1,
    FrameTop = 2,
    FrameRight = 4,
    FrameBottom = 8,
    FrameAll = 15
};

struct FrameSpec {
    int sides = FrameNone;
    double width = 1.0;
    QColor color = Qt::black;
    bool operator==(const FrameSpec&) const = default;
};

enum class ObjectKind { Text, Line, Rectangle, RoundRect, Picture, CheckBox, RichText, Chart };

// A band object of the template: its position is relative to its band.
struct TemplateObject {
    ObjectKind kind = ObjectKind::Text;
    QString name;
    QRectF rect;
    QString text;          // Text/RichText: with [expressions]; CheckBox: the expression of its state
    QString displayFormat; // "#0.00", "dd.MM.yyyy", ...
    FontSpec font;
    FrameSpec frame;
    QColor fill; // invalid: transparent
    int alignment = Qt::AlignLeft | Qt::AlignTop;
    bool wordWrap = false;
    bool stretch = false; // the object grows with its text, and its band with it
    double radius = 0;    // RoundRect
    QByteArray picture;   // Picture: encoded image (PNG, JPEG ...)
    ChartSettings chart;      // Chart
    bool operator==(const TemplateObject&) const = default;
};

enum class BandKind {
    ReportTitle,
    PageHeader,
    ColumnHeader,
    MasterData,
    DetailData,
    GroupHeader,
    GroupFooter,
    ColumnFooter,
    PageFooter,
    ReportSummary,
    Child,
    MasterHeader, // before the rows of the master data band that follows it
    MasterFooter, // after the rows of the master data band before it
    DetailHeader, // before each master row's rows of the detail data band that follows it
    DetailFooter, // after each master row's rows of the detail data band before it
};

struct Band {
    BandKind kind = BandKind::MasterData;
    QString name;
    double height = 0;
    QString dataset;          // data bands: the dataset they walk
    QString condition;        // group header: the expression whose change starts a new group
    QString child;            // name of a child band printed right after this one
    bool keepTogether = true; // a band that does not fit moves whole to the next page
    bool allowSplit = false;  // a stretched band may continue on the next page
    bool newPageAfter = false;
    bool repeatOnNewPage = false; // headers: printed again on each new page while their rows go on
    bool belowPageHeader = false; // report title: under the page header instead of above it
    QList<TemplateObject> objects;
    bool operator==(const Band&) const = default;
};

// A query carried by the template; ":NAME" parameters come from the master's current row, then
// from the variables.
struct DatasetSpec {
    QString name;
    QString sql;
    QString master; // dataset whose current row parametrises this one
    bool operator==(const DatasetSpec&) const = default;
};

struct PageSetup {
    QSizeF size{595.28, 841.89}; // A4 portrait
    bool landscape = false;
    double marginLeft = 28.35, marginTop = 28.35, marginRight = 28.35, marginBottom = 28.35;
    bool operator==(const PageSetup&) const = default;
    // The paper as it lies: width and height swapped for landscape.
    QSizeF orientedSize() const { return landscape ? size.transposed() : size; }
};

// A report template: what a .frf file and a REPORT blob hold.
struct ReportTemplate {
    static constexpr int FormatVersion = 1;

    PageSetup page;
    QList<Band> bands;
    QList<DatasetSpec> datasets;
    QMap<QString, QString> variables; // the dictionary: name -> value expression
    QString script;                   // run once before the report starts
    QList<DialogPage> dialogs;        // shown in order before preparation
    bool operator==(const ReportTemplate&) const = default;
    bool isEmpty() const {
        return bands.isEmpty() && datasets.isEmpty() && variables.isEmpty() && script.isEmpty() &&
               dialogs.isEmpty();
    }
};

QString bandKindName(BandKind kind);
BandKind bandKindFromName(const QString& name, bool* ok = nullptr);
QString objectKindName(ObjectKind kind);
ObjectKind objectKindFromName(const QString& name, bool* ok = nullptr);

} // namespace svod::engine
