#pragma once

#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <optional>

#include "engine/PreparedPages.h"
#include "engine/editing/Edits.h"

namespace svod::reports::designer {

class DesignerDocument;
class DesignScene;

// An object of the template as the scene shows it, painted by the engine's painter.
class ObjectItem final : public QGraphicsItem {
public:
    ObjectItem(engine::editing::ObjectRef ref, const engine::TemplateObject& object);
    enum { Type = UserType + 1 };
    int type() const override { return Type; }

    engine::editing::ObjectRef ref() const { return ref_; }
    const engine::TemplateObject& object() const { return object_; }
    void setObject(const engine::TemplateObject& object);
    // A size shown while a resize is dragged; the model changes when the mouse is released.
    void setPreviewSize(const QSizeF& size);

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // The eight resize handles in item coordinates for a view scale; index 0 top-left, clockwise.
    QList<QRectF> handles(double scale) const;

private:
    engine::editing::ObjectRef ref_;
    engine::TemplateObject object_;
    std::optional<engine::PreparedObject> shown_; // made when first painted, dropped on a change
    QSizeF size_;
};

// A band: its caption strip and its area.
class BandItem final : public QGraphicsItem {
public:
    BandItem(DesignScene& scene, int index);
    enum { Type = UserType + 2 };
    int type() const override { return Type; }
    int index() const { return index_; }
    // Before the band moves or changes height.
    void relayout() { prepareGeometryChange(); }
    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    DesignScene& scene_;
    int index_;
};

// The page at true scale (points): paper, margins, bands as strips, objects; rebuilt or updated
// from the document after each change.
class DesignScene final : public QGraphicsScene {
    Q_OBJECT
public:
    static constexpr double CaptionHeight = 14;
    static constexpr double BandGap = 4;

    explicit DesignScene(DesignerDocument& document, QObject* parent = nullptr);

    DesignerDocument& document() { return document_; }
    const engine::ReportTemplate& reportTemplate() const;

    // Scene rectangle of a band's area (below its caption) and of its caption.
    QRectF bandArea(int band) const;
    QRectF bandCaption(int band) const;
    // The band whose caption or area holds the scene y, the nearest one otherwise; -1 without bands.
    int bandAt(double y) const;
    QRectF paperRect() const;
    QRectF contentRect() const; // inside the margins

    QList<engine::editing::ObjectRef> selectedRefs() const;
    void selectRefs(const QList<engine::editing::ObjectRef>& refs);
    ObjectItem* itemFor(engine::editing::ObjectRef ref) const;
    QList<ObjectItem*> objectItems() const { return objects_; }
    int currentBand() const { return currentBand_; }
    void setCurrentBand(int band);

    bool gridVisible() const { return gridVisible_; }
    void setGridVisible(bool on);
    bool snapToGrid() const { return snap_; }
    void setSnapToGrid(bool on) { snap_ = on; }
    double gridStep() const { return gridStep_; }
    double snap(double v) const;
    // The font of the band captions on a device of `dpi`, with its metrics.
    struct CaptionFont {
        QFont font;
        QFontMetricsF metrics;
        int dpi;
    };
    const CaptionFont& captionFont(int dpi);

    // Brings the items in line with the document.
    void sync();

Q_SIGNALS:
    void currentBandChanged(int band);

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;

private:
    void rebuild();
    void layoutBands();

    DesignerDocument& document_;
    QList<BandItem*> bands_;
    QList<ObjectItem*> objects_;     // band by band, in model order
    QList<double> bandTops_;         // scene y of each caption
    QList<engine::Band> shownBands_; // band properties as last shown (objects left out)
    engine::PageSetup shownPage_;
    int currentBand_ = -1;
    bool gridVisible_ = true;
    bool snap_ = true;
    double gridStep_ = 4;
    std::optional<CaptionFont> captionFont_;
};

} // namespace svod::reports::designer
