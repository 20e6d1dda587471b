#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "engine/Painter.h"

using namespace svod::engine;

namespace {

PreparedObject text(const QRectF& rect, const QString& value, int alignment, const QString& family,
                    bool bold = false) {
    PreparedObject o;
    o.rect = rect;
    o.text = value;
    o.alignment = alignment;
    o.font.family = family;
    o.font.sizePt = 9;
    o.font.bold = bold;
    o.frame.sides = FrameAll;
    return o;
}

// The page as the preview paints it, or object by object as the designer does, at `scale`.
QImage painted(const PreparedPage& page, double scale, bool designer) {
    const QSizeF size = page.orientedSize() * scale;
    QImage image(size.toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (designer) {
        painter.scale(scale, scale);
        for (const auto& o : page.objects)
            paintObject(o, painter);
    } else {
        paintPage(page, painter, QRectF(QPointF(0, 0), size));
    }
    return image;
}

} // namespace

// The designer draws text without shaping where the script needs none; what it shows must be
// what the preview and the printout show: the same glyphs at the same places, whatever the
// alignment, weight, family or clipping.
TEST(Painting, DesignerDrawsTheTextsThePreviewDraws) {
    PreparedPage page;
    page.size = QSizeF(300, 150); // whole pixels at both scales, so both paint at the same scale
    const QString sans = QStringLiteral("Liberation Sans");
    page.objects << text({10, 10, 120, 16}, QStringLiteral("Остаток на 01.01.2024"), Qt::AlignLeft, sans)
                 << text({10, 30, 120, 16}, QStringLiteral("Office fit [SUM(A)]"), Qt::AlignRight, sans)
                 << text({10, 50, 120, 16}, QStringLiteral("Итого: 1 234,50"), Qt::AlignHCenter, sans, true)
                 << text({10, 70, 60, 16}, QStringLiteral("Слишком длинный текст для поля"), Qt::AlignLeft,
                         sans)
                 << text({10, 90, 140, 30}, QStringLiteral("Две строки\nтекста ёЁйЙ"), Qt::AlignVCenter,
                         QStringLiteral("Liberation Serif"))
                 << text({10, 130, 140, 16}, QStringLiteral("Ширина = 42 fi fl"), Qt::AlignLeft,
                         QStringLiteral("Liberation Mono"));
    for (double scale : {96.0 / 72.0, 2.0}) {
        const QImage preview = painted(page, scale, false);
        const QImage designer = painted(page, scale, true);
        EXPECT_EQ(preview, designer) << "scale " << scale;
    }
}
