#include "reports/designer/DesignScene.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include "db/Error.h"
#include "engine/BandLayout.h"
#include "engine/Chart.h"
#include "engine/Painter.h"
#include "engine/editing/ObjectProperties.h"
#include "reports/designer/DesignerDocument.h"

namespace svod::reports::designer {

using engine::editing::ObjectRef;

namespace {

// A chart at design time: its series over three sample rows, so its kind and legend show; with a
// series field, two sample series of its values.
QByteArray sampleChart(engine::ChartSettings c) {
    if (c.valueFields.isEmpty())
        c.valueFields << QStringLiteral("Ряд");
    engine::RowSet rows;
    rows.fields = c.valueFields;
    const bool category = !c.categoryField.isEmpty() && !rows.fields.contains(c.categoryField);
    if (category)
        rows.fields.prepend(c.categoryField);
    const bool series = !c.seriesField.isEmpty() && !rows.fields.contains(c.seriesField);
    if (series)
        rows.fields << c.seriesField;
    for (int r = 0; r < (series ? 6 : 3); ++r) {
        QVariantList row;
        if (category)
            row << QString::number(r % 3 + 1);
        for (qsizetype s = 0; s < c.valueFields.size(); ++s)
            row << 3.0 + double((r + s) % 3);
        if (series)
            row << QStringLiteral("%1 %2").arg(c.seriesField).arg(r / 3 + 1);
        rows.rows << row;
    }
    try {
        return engine::encodeChart(engine::chartData(c, rows));
    } catch (const Error&) {
        return {};
    }
}

// What the designer shows of an object: its text as written, with the [expressions].
engine::PreparedObject shownObject(const engine::TemplateObject& o, const QSizeF& size) {
    engine::PreparedObject p = engine::preparedFrom(o);
    p.rect = QRectF(QPointF(0, 0), size);
    p.text = o.kind == engine::ObjectKind::RichText ? o.text.toHtmlEscaped() : o.text;
    p.picture = o.kind == engine::ObjectKind::Chart ? sampleChart(o.chart) : o.picture;
    p.checked = o.kind == engine::ObjectKind::CheckBox;
    return p;
}

constexpr double HandlePixels = 6;

} // namespace

ObjectItem::ObjectItem(ObjectRef ref, const engine::TemplateObject& object)
    : ref_(ref), object_(object), size_(object.rect.size()) {
    setFlags(ItemIsSelectable | ItemIsFocusable);
}

void ObjectItem::setObject(const engine::TemplateObject& object) {
    prepareGeometryChange();
    object_ = object;
    size_ = object.rect.size();
    shown_.reset();
    update();
}

void ObjectItem::setPreviewSize(const QSizeF& size) {
    prepareGeometryChange();
    size_ = QSizeF(std::max(0.0, size.width()), std::max(0.0, size.height()));
    shown_.reset();
    update();
}

QRectF ObjectItem::boundingRect() const {
    return QRectF(QPointF(0, 0), size_).adjusted(-4, -4, 4, 4);
}

QPainterPath ObjectItem::shape() const {
    QPainterPath path;
    path.addRect(QRectF(QPointF(0, 0), size_).adjusted(-2, -2, 2, 2));
    return path;
}

QList<QRectF> ObjectItem::handles(double scale) const {
    const double s = HandlePixels / scale;
    const QRectF r(QPointF(0, 0), size_);
    const QList<QPointF> points = {r.topLeft(),     QPointF(r.center().x(), r.top()),
                                   r.topRight(),    QPointF(r.right(), r.center().y()),
                                   r.bottomRight(), QPointF(r.center().x(), r.bottom()),
                                   r.bottomLeft(),  QPointF(r.left(), r.center().y())};
    QList<QRectF> out;
    for (const auto& p : points)
        out << QRectF(p.x() - s / 2, p.y() - s / 2, s, s);
    return out;
}

void ObjectItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) {
    (void)widget;
    if (!shown_) // made when first painted: most of a long template is never in sight
        shown_ = shownObject(object_, size_);
    engine::paintObject(*shown_, *painter);
    const QRectF r(QPointF(0, 0), size_);
    const double scale = option->levelOfDetailFromTransform(painter->worldTransform());
    if (object_.frame.sides == engine::FrameAll || object_.kind == engine::ObjectKind::Line ||
        object_.kind == engine::ObjectKind::Rectangle || object_.kind == engine::ObjectKind::RoundRect) {
    } else {
        // Frameless objects get a faint outline, so they can be found on the page.
        QPen pen(QColor(150, 150, 150), 0, Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(r);
    }
    if (isSelected()) {
        painter->setPen(QPen(QColor(0, 90, 200), 0));
        painter->setBrush(QColor(0, 90, 200));
        for (const auto& h : handles(scale))
            painter->drawRect(h);
    }
}

BandItem::BandItem(DesignScene& scene, int index) : scene_(scene), index_(index) {
    setZValue(-1);
}

QRectF BandItem::boundingRect() const {
    return scene_.bandCaption(index_).united(scene_.bandArea(index_)).adjusted(-1, -1, 1, 1);
}

void BandItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) {
    (void)option;
    (void)widget;
    const engine::Band& band = scene_.reportTemplate().bands[index_];
    const QRectF caption = scene_.bandCaption(index_);
    const QRectF area = scene_.bandArea(index_);
    const bool current = scene_.currentBand() == index_;
    painter->fillRect(caption, current ? QColor(200, 220, 245) : QColor(232, 232, 232));
    QString title = engine::editing::bandKindCaption(band.kind);
    if (!band.name.isEmpty())
        title += QStringLiteral(" \"%1\"").arg(band.name);
    if (!band.dataset.isEmpty())
        title += QStringLiteral(": ") + band.dataset;
    if (!band.condition.isEmpty())
        title += QStringLiteral(": [%1]").arg(band.condition);
    if (!band.child.isEmpty())
        title += QStringLiteral(" → ") + band.child;
    const auto& captionFont = scene_.captionFont(painter->device() ? painter->device()->logicalDpiY() : 72);
    const QFontMetricsF& metrics = captionFont.metrics;
    painter->setFont(captionFont.font);
    painter->setPen(QColor(60, 60, 60));
    // Drawn at its baseline: a text in a rectangle is laid out anew each paint, ten times dearer.
    const QRectF room = caption.adjusted(3, 0, -3, 0);
    const QPointF baseline(room.left(),
                           room.top() + (room.height() - metrics.height()) / 2 + metrics.ascent());
    const bool clip = metrics.horizontalAdvance(title) > room.width();
    if (clip) {
        painter->save();
        painter->setClipRect(room, Qt::IntersectClip);
    }
    painter->drawText(baseline, title);
    if (clip)
        painter->restore();
    painter->setPen(QPen(QColor(170, 170, 170), 0, Qt::DashLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(area);
    if (scene_.gridVisible()) {
        const double step = scene_.gridStep() * 2;
        const double scale = option->levelOfDetailFromTransform(painter->worldTransform());
        if (step * scale >= 6) { // dots closer than that would only grey the band
            painter->setPen(QPen(QColor(190, 190, 190), 0));
            QList<QPointF> dots;
            for (double y = area.top() + step; y < area.bottom(); y += step)
                for (double x = area.left() + step; x < area.right(); x += step)
                    dots << QPointF(x, y);
            painter->drawPoints(dots.constData(), int(dots.size()));
        }
    }
}

DesignScene::DesignScene(DesignerDocument& document, QObject* parent)
    : QGraphicsScene(parent), document_(document) {
    setItemIndexMethod(QGraphicsScene::NoIndex);
    rebuild();
}

const engine::ReportTemplate& DesignScene::reportTemplate() const {
    return document_.reportTemplate();
}

QRectF DesignScene::paperRect() const {
    return QRectF(QPointF(0, 0), reportTemplate().page.orientedSize());
}

QRectF DesignScene::contentRect() const {
    const auto& p = reportTemplate().page;
    return paperRect().adjusted(p.marginLeft, p.marginTop, -p.marginRight, -p.marginBottom);
}

QRectF DesignScene::bandCaption(int band) const {
    const QRectF c = contentRect();
    return QRectF(c.left(), bandTops_.value(band), c.width(), CaptionHeight);
}

QRectF DesignScene::bandArea(int band) const {
    const QRectF c = contentRect();
    return QRectF(c.left(), bandTops_.value(band) + CaptionHeight, c.width(),
                  reportTemplate().bands.value(band).height);
}

int DesignScene::bandAt(double y) const {
    if (bandTops_.isEmpty())
        return -1;
    for (int b = int(bandTops_.size()) - 1; b >= 0; --b)
        if (y >= bandTops_[b])
            return b;
    return 0;
}

QList<ObjectRef> DesignScene::selectedRefs() const {
    QList<ObjectRef> refs;
    for (auto* item : objects_)
        if (item->isSelected())
            refs << item->ref();
    return refs;
}

void DesignScene::selectRefs(const QList<ObjectRef>& refs) {
    QSignalBlocker block(this);
    clearSelection();
    for (const auto& r : refs)
        if (auto* item = itemFor(r))
            item->setSelected(true);
    if (!refs.isEmpty())
        setCurrentBand(refs.first().band);
    block.unblock();
    Q_EMIT selectionChanged();
}

ObjectItem* DesignScene::itemFor(ObjectRef ref) const {
    const auto& bands = reportTemplate().bands;
    if (ref.band < 0 || ref.band >= bands.size() || ref.index < 0 ||
        ref.index >= bands[ref.band].objects.size())
        return nullptr;
    int offset = 0;
    for (int b = 0; b < ref.band; ++b)
        offset += int(bands[b].objects.size());
    return objects_.value(offset + ref.index);
}

void DesignScene::setCurrentBand(int band) {
    if (band == currentBand_)
        return;
    const int old = currentBand_;
    currentBand_ = band;
    if (auto* item = bands_.value(old))
        item->update();
    if (auto* item = bands_.value(band))
        item->update();
    Q_EMIT currentBandChanged(band);
}

const DesignScene::CaptionFont& DesignScene::captionFont(int dpi) {
    if (!captionFont_ || captionFont_->dpi != dpi) { // the dpi changes only with the screen
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPointSizeF(7 * 72.0 / dpi);
        font.setStyleStrategy(QFont::PreferNoShaping); // plain Cyrillic and Latin: shaping adds nothing
        captionFont_.emplace(CaptionFont{font, QFontMetricsF(font), dpi});
    }
    return *captionFont_;
}

void DesignScene::setGridVisible(bool on) {
    gridVisible_ = on;
    update();
}

double DesignScene::snap(double v) const {
    return snap_ ? std::round(v / gridStep_) * gridStep_ : v;
}

void DesignScene::layoutBands() {
    const auto& t = reportTemplate();
    bandTops_.clear();
    double y = t.page.marginTop;
    for (const auto& b : t.bands) {
        bandTops_ << y;
        y += CaptionHeight + b.height + BandGap;
    }
    const QRectF paper = paperRect();
    setSceneRect(
        QRectF(-40, -40, paper.width() + 80, std::max(paper.height(), y + t.page.marginBottom) + 80));
}

void DesignScene::rebuild() {
    const QList<ObjectRef> selected = selectedRefs();
    for (auto* item : objects_)
        delete item;
    for (auto* item : bands_)
        delete item;
    objects_.clear();
    bands_.clear();
    layoutBands();
    const auto& t = reportTemplate();
    for (int b = 0; b < t.bands.size(); ++b) {
        auto* band = new BandItem(*this, b);
        addItem(band);
        bands_ << band;
        const QPointF origin = bandArea(b).topLeft();
        for (int i = 0; i < t.bands[b].objects.size(); ++i) {
            const auto& o = t.bands[b].objects[i];
            auto* item = new ObjectItem(ObjectRef{b, i}, o);
            item->setPos(origin + o.rect.topLeft());
            addItem(item);
            objects_ << item;
        }
    }
    shownBands_.clear();
    for (const auto& b : t.bands) {
        engine::Band shown = b;
        shown.objects.clear();
        shownBands_ << shown;
    }
    shownPage_ = t.page;
    if (currentBand_ >= t.bands.size())
        currentBand_ = int(t.bands.size()) - 1;
    selectRefs(selected);
    update();
}

void DesignScene::sync() {
    const auto& t = reportTemplate();
    bool sameShape = t.bands.size() == shownBands_.size() && t.page == shownPage_;
    int count = 0;
    for (int b = 0; sameShape && b < t.bands.size(); ++b) {
        sameShape = t.bands[b].kind == shownBands_[b].kind;
        count += int(t.bands[b].objects.size());
    }
    if (!sameShape || count != objects_.size()) {
        rebuild();
        return;
    }
    bool relayout = false;
    for (int b = 0; b < t.bands.size(); ++b) {
        engine::Band shown = t.bands[b];
        shown.objects.clear();
        if (shown != shownBands_[b]) {
            relayout = relayout || shown.height != shownBands_[b].height;
            shownBands_[b] = shown;
            bands_[b]->update();
        }
    }
    if (relayout) {
        for (auto* band : bands_)
            band->relayout();
        layoutBands();
    }
    int k = 0;
    for (int b = 0; b < t.bands.size(); ++b) {
        const QPointF origin = bandArea(b).topLeft();
        for (const auto& o : t.bands[b].objects) {
            ObjectItem* item = objects_[k++];
            if (!(item->object() == o))
                item->setObject(o);
            const QPointF pos = origin + o.rect.topLeft();
            if (item->pos() != pos)
                item->setPos(pos);
        }
    }
    if (relayout)
        update();
}

void DesignScene::drawBackground(QPainter* painter, const QRectF& rect) {
    painter->fillRect(rect, QColor(128, 128, 128));
    const auto& t = reportTemplate();
    QRectF paper = paperRect();
    if (!bandTops_.isEmpty())
        paper.setBottom(
            std::max(paper.bottom(), bandArea(int(bandTops_.size()) - 1).bottom() + t.page.marginBottom));
    painter->fillRect(paper.translated(3, 3), QColor(0, 0, 0, 70));
    painter->fillRect(paper, Qt::white);
    painter->setPen(QPen(QColor(120, 160, 220), 0, Qt::DashLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(contentRect());
    if (paper.height() > paperRect().height()) {
        // Where the first sheet ends when the bands run longer.
        painter->setPen(QPen(QColor(220, 120, 120), 0, Qt::DashDotLine));
        painter->drawLine(QPointF(paper.left(), paperRect().bottom()),
                          QPointF(paper.right(), paperRect().bottom()));
    }
}

} // namespace svod::reports::designer
