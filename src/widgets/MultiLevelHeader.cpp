#include "widgets/MultiLevelHeader.h"

#include <QPainter>
#include <QStyleOptionHeader>

namespace svod::widgets {

namespace {
QString upperOf(const QString& title) {
    const qsizetype bar = title.indexOf(u'|');
    return bar < 0 ? QString() : title.left(bar);
}
QString lowerOf(const QString& title) {
    const qsizetype bar = title.indexOf(u'|');
    return bar < 0 ? title : title.mid(bar + 1);
}
} // namespace

MultiLevelHeader::MultiLevelHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignCenter);
}

void MultiLevelHeader::setTitleMargin(int margin) {
    margin_ = margin;
    updateGeometry();
    viewport()->update();
}

QString MultiLevelHeader::title(int logicalIndex) const {
    if (!model())
        return {};
    const QVariant raw = model()->headerData(logicalIndex, orientation(), TitleRole);
    return raw.isValid() ? raw.toString()
                         : model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
}

bool MultiLevelHeader::hasTwoLevels() const {
    if (!model())
        return false;
    for (int i = 0; i < count(); ++i)
        if (!isSectionHidden(i) && title(i).contains(u'|'))
            return true;
    return false;
}

int MultiLevelHeader::titleWidth(int logicalIndex) const {
    const QFontMetrics fm(font());
    const QString t = title(logicalIndex);
    // An upper part shared by several columns needs no width of its own in each.
    return fm.horizontalAdvance(lowerOf(t)) + 2 * fm.averageCharWidth() + 2;
}

QSize MultiLevelHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    const int line = fontMetrics().height() + 2 * margin_;
    size.setHeight(hasTwoLevels() ? 2 * line : line);
    return size;
}

QRect MultiLevelHeader::upperRect(int logicalIndex, const QString& upper, const QRect& rect) const {
    int first = visualIndex(logicalIndex);
    int last = first;
    auto sameUpper = [&](int visual) {
        const int logical = this->logicalIndex(visual);
        return logical >= 0 && !isSectionHidden(logical) && title(logical).contains(u'|') &&
               upperOf(title(logical)) == upper;
    };
    auto hiddenAt = [&](int visual) { return isSectionHidden(this->logicalIndex(visual)); };
    for (int v = first - 1; v >= 0; --v) {
        if (hiddenAt(v))
            continue;
        if (!sameUpper(v))
            break;
        first = v;
    }
    for (int v = last + 1; v < count(); ++v) {
        if (hiddenAt(v))
            continue;
        if (!sameUpper(v))
            break;
        last = v;
    }
    const int left = sectionViewportPosition(this->logicalIndex(first));
    const int lastLogical = this->logicalIndex(last);
    const int right = sectionViewportPosition(lastLogical) + sectionSize(lastLogical);
    return QRect(left, rect.top(), right - left, rect.height() / 2);
}

void MultiLevelHeader::drawCell(QPainter* painter, const QRect& rect, const QString& text,
                                int logicalIndex) const {
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.text = text;
    option.textAlignment = Qt::AlignCenter;
    option.position = QStyleOptionHeader::Middle;
    option.state |= QStyle::State_Enabled;
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
}

void MultiLevelHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid())
        return;
    const QString t = title(logicalIndex);
    painter->save();
    if (!t.contains(u'|')) {
        drawCell(painter, rect, t, logicalIndex);
        painter->restore();
        return;
    }
    const int half = rect.height() / 2;
    drawCell(painter, QRect(rect.left(), rect.top() + half, rect.width(), rect.height() - half), lowerOf(t),
             logicalIndex);
    // Every column of the group paints the same shared cell; each shows its own part of it.
    painter->setClipRect(QRect(rect.left(), rect.top(), rect.width(), half));
    drawCell(painter, upperRect(logicalIndex, upperOf(t), rect), upperOf(t), logicalIndex);
    painter->restore();
}

} // namespace svod::widgets
