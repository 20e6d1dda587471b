#pragma once

#include <QGraphicsView>
#include <QPointer>
#include <optional>

#include "engine/editing/Edits.h"
#include "reports/designer/InPlaceEditor.h"

namespace svod::reports::designer {

class DesignScene;
class ObjectItem;
class Ruler;

// The page view: zoom, rulers, placing objects from the palette, selecting, dragging and resizing
// with the mouse, moving and sizing with the keys. Every change it makes is one document step.
class DesignView final : public QGraphicsView {
    Q_OBJECT
public:
    static constexpr double RulerPixels = 18;

    explicit DesignView(DesignScene& scene, QWidget* parent = nullptr);

    DesignScene& designScene() { return scene_; }
    // The object kind the next click places; nothing: selecting.
    void setTool(std::optional<engine::ObjectKind> kind) { tool_ = kind; }
    std::optional<engine::ObjectKind> tool() const { return tool_; }

    // Scrolls to the paper's top left corner, where band captions and the first columns are (at the
    // first layout when the view is not shown yet).
    void showPageStart();

    // Zoom in percent (25 to 400).
    double zoom() const { return zoom_; }
    void setZoom(double percent);
    void zoomToPageWidth();
    void zoomToWholePage();

    // The drag steps of the mouse, for tests and the benchmark: press at a scene point, move, release.
    void dragSelection(QPointF from, QPointF to);
    // One move step of a drag in progress (items follow, the model waits for the release).
    void beginDrag(QPointF scenePos);
    void dragTo(QPointF scenePos);
    void endDrag();

    // Places an object of `kind` at a scene point; returns false outside the bands.
    bool placeObject(engine::ObjectKind kind, QPointF scenePos, const QString& text = {});

    // Edits an object's text: in place for text objects, else through the expression editor.
    void editText(engine::editing::ObjectRef ref);
    // The in-place editor while one is open.
    InPlaceEditor* inPlaceEditor() const { return editor_; }

    // What the palette drags onto the page: the object kind by its name.
    static const QString ObjectKindMimeType;

Q_SIGNALS:
    void zoomChanged(double percent);
    void editTextRequested(engine::editing::ObjectRef ref);
    void toolUsed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    enum class Mode { None, Move, Resize, BandHeight };
    double scale() const { return zoom_ / 100.0 * 96.0 / 72.0; }
    ObjectItem* objectAt(QPointF scenePos) const;
    void selectNext(bool forward);
    void finishResize();

    DesignScene& scene_;
    Ruler* top_ = nullptr;
    Ruler* left_ = nullptr;
    std::optional<engine::ObjectKind> tool_;
    double zoom_ = 100;
    Mode mode_ = Mode::None;
    QPointF pressPos_;
    QPointF lastDelta_;
    int handle_ = -1;
    int band_ = -1;
    double bandStartHeight_ = 0;
    int mergeKey_ = 1000;
    QList<ObjectItem*> dragged_;
    QList<QPointF> startPos_;
    QList<QRectF> startRects_;
    QPointer<InPlaceEditor> editor_;
    bool startPending_ = false;
};

} // namespace svod::reports::designer
