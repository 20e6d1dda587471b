#pragma once

#include <QPointF>
#include <QSet>

#include "engine/editing/Edits.h"
#include "engine/editing/ObjectProperties.h"

namespace svod::engine::editing {

// The editing operations of the designer. Each builds an edit from the template as it stands,
// without applying it; null when the operation would change nothing.

EditPtr addBand(const ReportTemplate& t, int index, Band band);
EditPtr removeBand(const ReportTemplate& t, int index);
EditPtr moveBand(const ReportTemplate& t, int from, int to);
// Every property of `properties` except its objects.
EditPtr setBandProperties(const ReportTemplate& t, int index, const Band& properties);
EditPtr resizeBand(const ReportTemplate& t, int index, double height);

// Appends objects to a band; names that are empty or taken get a free name.
EditPtr addObjects(const ReportTemplate& t, int band, QList<TemplateObject> objects,
                   const QString& text = QStringLiteral("Вставка объектов"));
EditPtr removeObjects(const ReportTemplate& t, const QList<ObjectRef>& refs);
EditPtr moveObjects(const ReportTemplate& t, const QList<ObjectRef>& refs, QPointF delta);
EditPtr resizeObjects(const ReportTemplate& t, const QList<ObjectRef>& refs, QSizeF delta);
EditPtr setObjectRects(const ReportTemplate& t, const QList<ObjectRef>& refs, const QList<QRectF>& rects,
                       const QString& text);
EditPtr setObjectProperty(const ReportTemplate& t, const QList<ObjectRef>& refs, ObjectProperty property,
                          const QVariant& value);
// Moves objects into another band, keeping their page position when `delta` says so.
EditPtr transferObjects(const ReportTemplate& t, const QList<ObjectRef>& refs, int toBand, QPointF delta);

// Objects put at new rectangles, each in the band given for it (a drag across bands).
EditPtr placeObjects(const ReportTemplate& t, const QList<ObjectRef>& refs, const QList<int>& bands,
                     const QList<QRectF>& rects);

enum class Alignment { Left, Right, Top, Bottom, HorizontalCentres, VerticalCentres };
// Aligns to the first object of `refs`.
EditPtr alignObjects(const ReportTemplate& t, const QList<ObjectRef>& refs, Alignment how);
EditPtr sameSize(const ReportTemplate& t, const QList<ObjectRef>& refs, bool width, bool height);
// Equal gaps between the objects, the outer two staying.
EditPtr distributeObjects(const ReportTemplate& t, const QList<ObjectRef>& refs, Qt::Orientation orientation);
EditPtr bringToFront(const ReportTemplate& t, const QList<ObjectRef>& refs);
EditPtr sendToBack(const ReportTemplate& t, const QList<ObjectRef>& refs);

EditPtr addDataset(const ReportTemplate& t, DatasetSpec dataset);
EditPtr removeDataset(const ReportTemplate& t, int index);
EditPtr setDataset(const ReportTemplate& t, int index, DatasetSpec dataset);
EditPtr setVariable(const ReportTemplate& t, const QString& name, const QString& expression);
EditPtr removeVariable(const ReportTemplate& t, const QString& name);
EditPtr setScript(const ReportTemplate& t, const QString& script);
EditPtr setPageSetup(const ReportTemplate& t, const PageSetup& page);
// The dialog pages replaced whole (they are small); `text` names the step.
EditPtr setDialogs(const ReportTemplate& t, const QList<DialogPage>& dialogs, const QString& text);

// Where a band of `kind` goes so that the engine takes it for what it is: headers before the data
// band of the section holding `current` (or the first section), footers after it, page bands at the
// head or the tail. -1 with `error` set when the kind has no place (a detail header without a detail
// band ...).
int bandInsertPosition(const ReportTemplate& t, BandKind kind, int current, QString* error = nullptr);

// Names of every object of the template.
QSet<QString> objectNames(const ReportTemplate& t);
// `base` when free, else base followed by the first free number; the result is added to `taken`.
QString freeName(const QString& base, QSet<QString>& taken);
// The refs of objects after an addObjects to `band` of `count` objects.
QList<ObjectRef> appendedRefs(const ReportTemplate& t, int band, int count);

} // namespace svod::engine::editing
