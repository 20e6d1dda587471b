#include "reports/designer/DesignView.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

#include "engine/TextLayout.h"
#include "engine/editing/ObjectProperties.h"
#include "engine/editing/Operations.h"
#include "reports/designer/DesignScene.h"
#include "reports/designer/DesignerDocument.h"
#include "reports/designer/InPlaceEditor.h"

namespace svod::reports::designer {

using namespace engine::editing;

// A ruler in centimetres beside the page, from the paper's top left corner.
class Ruler final : public QWidget {
public:
    Ruler(DesignView& view, Qt::Orientation orientation)
        : QWidget(&view), view_(view), orientation_(orientation) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(240, 240, 240));
        p.setPen(QColor(90, 90, 90));
        QFont font = p.font();
        font.setPixelSize(9);
        p.setFont(font);
        const bool horizontal = orientation_ == Qt::Horizontal;
        const QPointF origin = view_.mapFromScene(QPointF(0, 0));
        const double perMm = view_.transform().m11() * engine::PointsPerMm;
        const double start = horizontal ? origin.x() : origin.y();
        const int length = horizontal ? width() : height();
        const int thick = horizontal ? height() : width();
        const int firstMm = int(std::floor(-start / perMm));
        for (int mm = firstMm; start + mm * perMm < length; ++mm) {
            const double at = start + mm * perMm;
            const int tick = mm % 10 == 0 ? thick - 2 : mm % 5 == 0 ? thick / 2 : thick / 4;
            if (perMm < 2 && mm % 5 != 0)
                continue;
            if (horizontal)
                p.drawLine(QPointF(at, thick), QPointF(at, thick - tick));
            else
                p.drawLine(QPointF(thick, at), QPointF(thick - tick, at));
            if (mm % 10 == 0 && mm >= 0) {
                const QString label = QString::number(mm / 10);
                if (horizontal)
                    p.drawText(QPointF(at + 2, 9), label);
                else
                    p.drawText(QPointF(1, at + 10), label);
            }
        }
    }

private:
    DesignView& view_;
    Qt::Orientation orientation_;
};

const QString DesignView::ObjectKindMimeType = QStringLiteral("application/x-svod-object-kind");

namespace {

const QString FieldMimeType = QStringLiteral("application/x-svod-field");

QSizeF defaultSize(engine::ObjectKind kind) {
    switch (kind) {
    case engine::ObjectKind::Line:
        return {100, 0};
    case engine::ObjectKind::CheckBox:
        return {12, 12};
    case engine::ObjectKind::Picture:
    case engine::ObjectKind::Rectangle:
    case engine::ObjectKind::RoundRect:
        return {60, 40};
    case engine::ObjectKind::Chart:
        return {240, 160};
    default:
        return {100, 16};
    }
}

} // namespace

DesignView::DesignView(DesignScene& scene, QWidget* parent) : QGraphicsView(&scene, parent), scene_(scene) {
    setObjectName(QStringLiteral("DesignView"));
    setAccessibleName(QStringLiteral("Страница отчета"));
    setViewportMargins(int(RulerPixels), int(RulerPixels), 0, 0);
    setRenderHint(QPainter::Antialiasing, false);
    setRenderHint(QPainter::TextAntialiasing, true);
    setViewportUpdateMode(QGraphicsView::MinimalViewportUpdate);
    // Every item sets the pen, brush and font it paints with, and none paints outside its bounds.
    setOptimizationFlags(QGraphicsView::DontSavePainterState | QGraphicsView::DontAdjustForAntialiasing);
    setDragMode(QGraphicsView::RubberBandDrag);
    setRubberBandSelectionMode(Qt::IntersectsItemShape);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    // The scene's background covers every pixel: no fill of the viewport before it.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    top_ = new Ruler(*this, Qt::Horizontal);
    left_ = new Ruler(*this, Qt::Vertical);
    top_->setObjectName(QStringLiteral("TopRuler"));
    left_->setObjectName(QStringLiteral("LeftRuler"));
    top_->setAccessibleName(QStringLiteral("Горизонтальная линейка"));
    left_->setAccessibleName(QStringLiteral("Вертикальная линейка"));
    setZoom(100);
}

void DesignView::setZoom(double percent) {
    zoom_ = std::clamp(percent, 25.0, 400.0);
    setTransform(QTransform::fromScale(scale(), scale()));
    viewport()->update();
    top_->update();
    left_->update();
    Q_EMIT zoomChanged(zoom_);
}

void DesignView::zoomToPageWidth() {
    const double available = viewport()->width() - 20;
    setZoom(available / (scene_.paperRect().width() * 96.0 / 72.0) * 100.0);
}

void DesignView::zoomToWholePage() {
    const QSizeF paper = scene_.paperRect().size() * (96.0 / 72.0);
    setZoom(
        std::min((viewport()->width() - 20) / paper.width(), (viewport()->height() - 20) / paper.height()) *
        100.0);
}

ObjectItem* DesignView::objectAt(QPointF scenePos) const {
    for (auto* item : scene_.items(scenePos, Qt::IntersectsItemShape, Qt::DescendingOrder))
        if (item->type() == ObjectItem::Type)
            return static_cast<ObjectItem*>(item);
    return nullptr;
}

bool DesignView::placeObject(engine::ObjectKind kind, QPointF scenePos, const QString& text) {
    const int band = scene_.bandAt(scenePos.y());
    if (band < 0)
        return false;
    const QRectF area = scene_.bandArea(band);
    QPointF at(scene_.snap(scenePos.x() - area.left()), scene_.snap(scenePos.y() - area.top()));
    at.setX(std::clamp(at.x(), 0.0, std::max(0.0, area.width() - defaultSize(kind).width())));
    at.setY(std::max(0.0, at.y()));
    engine::TemplateObject o = newObject(kind, QRectF(at, defaultSize(kind)));
    if (!text.isEmpty())
        o.text = text;
    auto& doc = scene_.document();
    if (kind == engine::ObjectKind::Chart) {
        // Bound to the band's dataset, else the template's first: a chart needs rows to draw.
        const auto& t = doc.reportTemplate();
        o.chart.dataset = t.bands[band].dataset;
        if (o.chart.dataset.isEmpty() && !t.datasets.isEmpty())
            o.chart.dataset = t.datasets.first().name;
    }
    // The band grows to hold the new object: one step with the object.
    auto step = std::make_unique<Sequence>(QStringLiteral("Новый объект: ") + objectKindCaption(kind));
    engine::ReportTemplate scratch = doc.reportTemplate();
    if (o.rect.bottom() > scratch.bands[band].height)
        step->add(scratch, resizeBand(scratch, band, o.rect.bottom()));
    step->add(scratch, addObjects(scratch, band, {o}, step->text()));
    doc.push(std::move(step));
    scene_.sync();
    scene_.selectRefs(appendedRefs(doc.reportTemplate(), band, 1));
    return true;
}

void DesignView::beginDrag(QPointF scenePos) {
    mode_ = Mode::Move;
    pressPos_ = scenePos;
    lastDelta_ = {};
    dragged_.clear();
    startPos_.clear();
    for (auto* item : scene_.objectItems())
        if (item->isSelected()) {
            dragged_ << item;
            startPos_ << item->pos();
        }
}

void DesignView::dragTo(QPointF scenePos) {
    const QPointF raw = scenePos - pressPos_;
    const QPointF delta(scene_.snap(raw.x()), scene_.snap(raw.y()));
    if (delta == lastDelta_)
        return;
    lastDelta_ = delta;
    for (qsizetype i = 0; i < dragged_.size(); ++i)
        dragged_[i]->setPos(startPos_[i] + delta);
}

void DesignView::endDrag() {
    mode_ = Mode::None;
    if (lastDelta_.isNull() || dragged_.isEmpty()) {
        dragged_.clear();
        return;
    }
    QList<ObjectRef> refs;
    QList<int> bands;
    QList<QRectF> rects;
    for (auto* item : dragged_) {
        const QPointF top = item->pos();
        int band = scene_.bandAt(top.y() + 0.01);
        // Objects stay in their band unless their top left was dragged into another one.
        if (band < 0 || scene_.bandCaption(band).contains(top))
            band = item->ref().band;
        const QPointF origin = scene_.bandArea(band).topLeft();
        refs << item->ref();
        bands << band;
        rects << QRectF(top - origin, item->object().rect.size());
    }
    dragged_.clear();
    auto& doc = scene_.document();
    auto edit = placeObjects(doc.reportTemplate(), refs, bands, rects);
    doc.push(std::move(edit));
    scene_.sync();
    // Objects that changed band are the last of their new band.
    QList<ObjectRef> selected;
    QMap<int, int> moved;
    for (qsizetype i = 0; i < refs.size(); ++i)
        if (bands[i] == refs[i].band)
            selected << refs[i];
        else
            moved[bands[i]]++;
    for (auto it = moved.cbegin(); it != moved.cend(); ++it)
        selected << appendedRefs(doc.reportTemplate(), it.key(), it.value());
    if (!moved.isEmpty()) {
        // Refs in the old bands shifted; select the moved ones only.
        selected.clear();
        for (auto it = moved.cbegin(); it != moved.cend(); ++it)
            selected << appendedRefs(doc.reportTemplate(), it.key(), it.value());
    }
    scene_.selectRefs(selected);
}

void DesignView::dragSelection(QPointF from, QPointF to) {
    beginDrag(from);
    dragTo(to);
    endDrag();
}

void DesignView::mousePressEvent(QMouseEvent* event) {
    const QPointF pos = mapToScene(event->position().toPoint());
    if (event->button() != Qt::LeftButton) {
        QGraphicsView::mousePressEvent(event);
        return;
    }
    if (tool_) {
        if (placeObject(*tool_, pos)) {
            tool_.reset();
            Q_EMIT toolUsed();
        }
        return;
    }
    // A handle of a selected object: resize every selected object.
    for (auto* item : scene_.objectItems()) {
        if (!item->isSelected())
            continue;
        const auto handles = item->handles(scale());
        for (int h = 0; h < handles.size(); ++h)
            if (handles[h].adjusted(-1, -1, 1, 1).contains(item->mapFromScene(pos))) {
                mode_ = Mode::Resize;
                handle_ = h;
                pressPos_ = pos;
                dragged_.clear();
                startRects_.clear();
                for (auto* other : scene_.objectItems())
                    if (other->isSelected()) {
                        dragged_ << other;
                        startRects_ << QRectF(other->pos(), other->object().rect.size());
                    }
                return;
            }
    }
    if (auto* item = objectAt(pos)) {
        if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
            item->setSelected(!item->isSelected());
            return;
        }
        if (!item->isSelected()) {
            scene_.clearSelection();
            item->setSelected(true);
        }
        scene_.setCurrentBand(item->ref().band);
        beginDrag(pos);
        return;
    }
    // The bottom edge of a band: its height.
    const int band = scene_.bandAt(pos.y());
    if (band >= 0) {
        const QRectF area = scene_.bandArea(band);
        if (std::abs(pos.y() - area.bottom()) * scale() <= 4 && pos.x() >= area.left() &&
            pos.x() <= area.right()) {
            mode_ = Mode::BandHeight;
            band_ = band;
            bandStartHeight_ = area.height();
            pressPos_ = pos;
            ++mergeKey_;
            return;
        }
        scene_.setCurrentBand(band);
    }
    QGraphicsView::mousePressEvent(event); // rubber band
}

void DesignView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = mapToScene(event->position().toPoint());
    switch (mode_) {
    case Mode::Move:
        dragTo(pos);
        return;
    case Mode::Resize: {
        const QPointF d(scene_.snap(pos.x() - pressPos_.x()), scene_.snap(pos.y() - pressPos_.y()));
        for (qsizetype i = 0; i < dragged_.size(); ++i) {
            QRectF r = startRects_[i];
            if (handle_ == 0 || handle_ == 6 || handle_ == 7)
                r.setLeft(std::min(r.left() + d.x(), r.right()));
            if (handle_ == 0 || handle_ == 1 || handle_ == 2)
                r.setTop(std::min(r.top() + d.y(), r.bottom()));
            if (handle_ == 2 || handle_ == 3 || handle_ == 4)
                r.setRight(std::max(r.right() + d.x(), r.left()));
            if (handle_ == 4 || handle_ == 5 || handle_ == 6)
                r.setBottom(std::max(r.bottom() + d.y(), r.top()));
            dragged_[i]->setPos(r.topLeft());
            dragged_[i]->setPreviewSize(r.size());
        }
        return;
    }
    case Mode::BandHeight: {
        auto& doc = scene_.document();
        auto edit =
            resizeBand(doc.reportTemplate(), band_, scene_.snap(bandStartHeight_ + pos.y() - pressPos_.y()));
        if (edit) {
            edit->setMergeKey(mergeKey_);
            doc.push(std::move(edit));
            scene_.sync();
        }
        return;
    }
    case Mode::None:
        break;
    }
    // The cursor tells what a press would do.
    const int band = scene_.bandAt(pos.y());
    const bool onEdge = band >= 0 && std::abs(pos.y() - scene_.bandArea(band).bottom()) * scale() <= 4;
    viewport()->setCursor(tool_ ? Qt::CrossCursor : onEdge ? Qt::SizeVerCursor : Qt::ArrowCursor);
    QGraphicsView::mouseMoveEvent(event);
}

void DesignView::finishResize() {
    mode_ = Mode::None;
    QList<ObjectRef> refs;
    QList<QRectF> rects;
    for (auto* item : dragged_) {
        refs << item->ref();
        const QPointF origin = scene_.bandArea(item->ref().band).topLeft();
        rects << QRectF(item->pos() - origin, item->boundingRect().adjusted(4, 4, -4, -4).size());
    }
    dragged_.clear();
    auto& doc = scene_.document();
    doc.push(setObjectRects(doc.reportTemplate(), refs, rects, QStringLiteral("Изменение размера")));
    scene_.sync();
    // A resize that changed nothing still shows the model's sizes.
    for (auto* item : scene_.objectItems())
        if (item->isSelected())
            item->setObject(item->object());
}

void DesignView::mouseReleaseEvent(QMouseEvent* event) {
    switch (mode_) {
    case Mode::Move:
        endDrag();
        return;
    case Mode::Resize:
        finishResize();
        return;
    case Mode::BandHeight:
        mode_ = Mode::None;
        return;
    case Mode::None:
        break;
    }
    QGraphicsView::mouseReleaseEvent(event);
}

void DesignView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (auto* item = objectAt(mapToScene(event->position().toPoint())))
        editText(item->ref());
}

void DesignView::editText(ObjectRef ref) {
    auto* item = scene_.itemFor(ref);
    if (!item)
        return;
    const engine::TemplateObject& o = item->object();
    if (o.kind != engine::ObjectKind::Text && o.kind != engine::ObjectKind::RichText) {
        Q_EMIT editTextRequested(ref);
        return;
    }
    if (editor_)
        editor_->commit();
    scene_.selectRefs({ref});
    ensureVisible(item);
    auto* editor = new InPlaceEditor(o.text, viewport());
    QRect at = mapFromScene(QRectF(item->scenePos(), o.rect.size())).boundingRect();
    at.setWidth(std::max(at.width(), 80));
    at.setHeight(std::max(at.height(), 24));
    editor->setGeometry(at);
    QFont font = engine::qfontFor(o.font, 72);
    font.setPointSizeF(std::max(6.0, o.font.sizePt * zoom_ / 100.0));
    editor->setFont(font);
    const QString name = o.name;
    editor->onCommit([this, ref, name](const QString& text) {
        auto& doc = scene_.document();
        const auto& t = doc.reportTemplate();
        // The object may have moved in the model meanwhile (an undo): it is found by its name.
        if (ref.band >= t.bands.size() || ref.index >= t.bands[ref.band].objects.size() ||
            t.bands[ref.band].objects[ref.index].name != name)
            return;
        doc.push(setObjectProperty(t, {ref}, ObjectProperty::Text, text));
        scene_.sync();
    });
    connect(editor, &InPlaceEditor::finished, this, [this] {
        editor_ = nullptr;
        setFocus();
    });
    editor_ = editor;
    editor->show();
    editor->setFocus();
}

void DesignView::selectNext(bool forward) {
    const auto items = scene_.objectItems();
    if (items.isEmpty())
        return;
    int current = -1;
    for (int i = 0; i < items.size(); ++i)
        if (items[i]->isSelected()) {
            current = i;
            if (!forward)
                break;
        }
    const int n = int(items.size());
    const int next = current < 0 ? (forward ? 0 : n - 1) : (current + (forward ? 1 : n - 1)) % n;
    scene_.selectRefs({items[next]->ref()});
    ensureVisible(items[next]);
}

bool DesignView::focusNextPrevChild(bool next) {
    // Tab walks the objects of the page; the window's other controls are reached with F6 or the mouse.
    if (scene_.objectItems().isEmpty())
        return QGraphicsView::focusNextPrevChild(next);
    selectNext(next);
    return true;
}

void DesignView::keyPressEvent(QKeyEvent* event) {
    auto& doc = scene_.document();
    const QList<ObjectRef> refs = scene_.selectedRefs();
    QPointF d;
    switch (event->key()) {
    case Qt::Key_Left:
        d = {-1, 0};
        break;
    case Qt::Key_Right:
        d = {1, 0};
        break;
    case Qt::Key_Up:
        d = {0, -1};
        break;
    case Qt::Key_Down:
        d = {0, 1};
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (tool_) { // a kind chosen from the palette with the keys: placed at the current band's top
            const int band = std::max(0, scene_.currentBand());
            if (band < scene_.reportTemplate().bands.size() &&
                placeObject(*tool_, scene_.bandArea(band).topLeft())) {
                tool_.reset();
                Q_EMIT toolUsed();
            }
        } else if (refs.size() == 1) {
            editText(refs.first());
        }
        return;
    case Qt::Key_Escape:
        tool_.reset();
        scene_.clearSelection();
        return;
    default:
        QGraphicsView::keyPressEvent(event);
        return;
    }
    if (refs.isEmpty())
        return;
    const double step = (event->modifiers() & Qt::ControlModifier) ? 1.0 : scene_.gridStep();
    if (event->modifiers() & Qt::ShiftModifier)
        doc.push(resizeObjects(doc.reportTemplate(), refs, QSizeF(d.x() * step, d.y() * step)));
    else
        doc.push(moveObjects(doc.reportTemplate(), refs, d * step));
    scene_.sync();
}

void DesignView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        setZoom(zoom_ * (event->angleDelta().y() > 0 ? 1.25 : 0.8));
        return;
    }
    QGraphicsView::wheelEvent(event);
}

void DesignView::showPageStart() {
    if (!isVisible()) {
        startPending_ = true;
        return;
    }
    startPending_ = false;
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
}

void DesignView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    if (startPending_)
        showPageStart();
    const int f = frameWidth();
    const int r = int(RulerPixels);
    top_->setGeometry(f + r, f, viewport()->width(), r);
    left_->setGeometry(f, f + r, r, viewport()->height());
}

void DesignView::scrollContentsBy(int dx, int dy) {
    QGraphicsView::scrollContentsBy(dx, dy);
    top_->update();
    left_->update();
}

void DesignView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(FieldMimeType) || event->mimeData()->hasFormat(ObjectKindMimeType))
        event->acceptProposedAction();
    else
        QGraphicsView::dragEnterEvent(event);
}

void DesignView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasFormat(FieldMimeType) || event->mimeData()->hasFormat(ObjectKindMimeType))
        event->acceptProposedAction();
    else
        QGraphicsView::dragMoveEvent(event);
}

void DesignView::dropEvent(QDropEvent* event) {
    const QPointF at = mapToScene(event->position().toPoint());
    if (event->mimeData()->hasFormat(ObjectKindMimeType)) {
        bool ok = false;
        const auto kind =
            engine::objectKindFromName(QString::fromUtf8(event->mimeData()->data(ObjectKindMimeType)), &ok);
        if (ok && placeObject(kind, at)) {
            event->acceptProposedAction();
            tool_.reset();
            Q_EMIT toolUsed();
        }
        return;
    }
    if (!event->mimeData()->hasFormat(FieldMimeType)) {
        QGraphicsView::dropEvent(event);
        return;
    }
    const QString field = QString::fromUtf8(event->mimeData()->data(FieldMimeType));
    if (placeObject(engine::ObjectKind::Text, mapToScene(event->position().toPoint()),
                    QStringLiteral("[%1]").arg(field)))
        event->acceptProposedAction();
}

} // namespace svod::reports::designer
