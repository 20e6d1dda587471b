#pragma once

#include <QHeaderView>

namespace svod::widgets {

// The model role that carries a column's raw title, "upper|lower" for a two-level title.
inline constexpr int TitleRole = Qt::UserRole + 41;

// A horizontal header that draws "upper|lower" titles in two rows: the upper part spans the
// adjacent visible columns that share it, the lower part belongs to its column. Titles without
// "|" fill the whole height. `titleMargin` is the vertical margin around each text row.
class MultiLevelHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit MultiLevelHeader(QWidget* parent = nullptr);

    void setTitleMargin(int margin);
    int titleMargin() const { return margin_; }
    // Whether any title has two levels (the header is then two rows high).
    bool hasTwoLevels() const;
    // The width that shows the title's longest level in full.
    int titleWidth(int logicalIndex) const;

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    QString title(int logicalIndex) const;
    // The rectangle of the upper part shared with the neighbours of `logicalIndex`.
    QRect upperRect(int logicalIndex, const QString& upper, const QRect& rect) const;
    void drawCell(QPainter* painter, const QRect& rect, const QString& text, int logicalIndex) const;

    int margin_ = 4;
};

} // namespace svod::widgets
