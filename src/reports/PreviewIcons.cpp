#include "reports/PreviewIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace svod::reports {

namespace {
const char* themeName(PreviewIcon icon) {
    switch (icon) {
    case PreviewIcon::FirstPage:
        return "go-first";
    case PreviewIcon::PreviousPage:
        return "go-previous";
    case PreviewIcon::NextPage:
        return "go-next";
    case PreviewIcon::LastPage:
        return "go-last";
    case PreviewIcon::Find:
        return "edit-find";
    case PreviewIcon::FindNext:
        return "go-down";
    case PreviewIcon::FindPrevious:
        return "go-up";
    case PreviewIcon::Thumbnails:
        return "view-preview";
    case PreviewIcon::Print:
        return "document-print";
    case PreviewIcon::Save:
        return "document-save";
    case PreviewIcon::Open:
        return "document-open";
    case PreviewIcon::Help:
        return "help-contents";
    case PreviewIcon::Close:
        return "window-close";
    }
    return "";
}

// A triangle pointing left or right at x, for the page arrows.
void arrow(QPainter& p, double x, bool right) {
    QPainterPath path;
    const double tip = right ? x + 5 : x - 5;
    path.moveTo(x, 3);
    path.lineTo(tip, 8);
    path.lineTo(x, 13);
    path.closeSubpath();
    p.drawPath(path);
}

void verticalArrow(QPainter& p, bool down) {
    QPainterPath path;
    if (down) {
        path.moveTo(3, 5);
        path.lineTo(13, 5);
        path.lineTo(8, 12);
    } else {
        path.moveTo(3, 11);
        path.lineTo(13, 11);
        path.lineTo(8, 4);
    }
    path.closeSubpath();
    p.drawPath(path);
}

void magnifier(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.drawEllipse(QRectF(2, 2, 8, 8));
    p.setPen(QPen(QColor(40, 40, 40), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
}

void draw(QPainter& p, PreviewIcon icon) {
    const QColor ink(45, 85, 150);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (icon) {
    case PreviewIcon::FirstPage:
        p.drawRect(QRectF(3, 3, 2, 10));
        arrow(p, 11, false);
        break;
    case PreviewIcon::PreviousPage:
        arrow(p, 10.5, false);
        break;
    case PreviewIcon::NextPage:
        arrow(p, 5.5, true);
        break;
    case PreviewIcon::LastPage:
        arrow(p, 5, true);
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case PreviewIcon::Find:
        magnifier(p);
        break;
    case PreviewIcon::FindNext:
        verticalArrow(p, true);
        break;
    case PreviewIcon::FindPrevious:
        verticalArrow(p, false);
        break;
    case PreviewIcon::Thumbnails:
        p.setBrush(Qt::white);
        p.setPen(QPen(ink, 1));
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(2.5, 1.5 + i * 4.7, 4, 3.7));
        p.setBrush(ink.lighter(160));
        p.drawRect(QRectF(8.5, 1.5, 6, 13));
        break;
    case PreviewIcon::Print:
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5)); // paper going in
        p.setBrush(QColor(120, 120, 120));
        p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.5, 1.5); // body
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4.5)); // printed sheet
        p.setPen(QPen(QColor(60, 60, 60), 0.8));
        p.drawLine(QPointF(6, 12.5), QPointF(10, 12.5));
        break;
    case PreviewIcon::Save:
        p.drawRoundedRect(QRectF(2, 2, 12, 12), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 2.5, 7, 4.5));
        p.drawRect(QRectF(4.5, 9.5, 7, 4.5));
        break;
    case PreviewIcon::Open:
        p.setBrush(QColor(220, 170, 60));
        p.drawRect(QRectF(1.5, 4, 6, 2));
        p.drawRoundedRect(QRectF(1.5, 5, 13, 9), 1, 1);
        break;
    case PreviewIcon::Help: {
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(Qt::white);
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(11);
        p.setFont(font);
        p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case PreviewIcon::Close:
        p.setPen(QPen(QColor(170, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    }
}
} // namespace

QIcon bundledPreviewIcon(PreviewIcon icon) {
    QIcon result;
    for (const int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 16.0, size / 16.0);
        draw(painter, icon);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

QIcon previewIcon(PreviewIcon icon) {
    const QString name = QString::fromLatin1(themeName(icon));
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return bundledPreviewIcon(icon);
}

} // namespace svod::reports
