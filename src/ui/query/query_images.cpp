#include "ui/query/query_images.h"

#include <QPainter>
#include <QPainterPath>

namespace korvane {
namespace {

constexpr int kSize = 16;

void DrawComputer(QPainter& painter) {
    painter.setPen(QColor(64, 64, 64));
    painter.setBrush(QColor(200, 200, 200));
    painter.drawRect(1, 1, 13, 9);
    painter.setBrush(QColor(0, 96, 160));
    painter.drawRect(3, 3, 9, 5);
    painter.setBrush(QColor(160, 160, 160));
    painter.drawRect(4, 12, 7, 2);
}

void DrawVolume(QPainter& painter) {
    painter.setPen(QColor(64, 64, 64));
    painter.setBrush(QColor(190, 190, 190));
    painter.drawRect(0, 5, 15, 7);
    painter.setBrush(QColor(0, 200, 0));
    painter.setPen(Qt::NoPen);
    painter.drawRect(11, 9, 2, 2);
}

void DrawFolder(QPainter& painter) {
    painter.setPen(QColor(128, 96, 0));
    painter.setBrush(QColor(255, 216, 96));
    QPainterPath path;
    path.moveTo(0.5, 3.5);
    path.lineTo(5.5, 3.5);
    path.lineTo(7.5, 5.5);
    path.lineTo(14.5, 5.5);
    path.lineTo(14.5, 13.5);
    path.lineTo(0.5, 13.5);
    path.closeSubpath();
    painter.drawPath(path);
}

void DrawFile(QPainter& painter) {
    painter.setPen(QColor(64, 64, 64));
    painter.setBrush(Qt::white);
    QPainterPath path;
    path.moveTo(2.5, 0.5);
    path.lineTo(9.5, 0.5);
    path.lineTo(13.5, 4.5);
    path.lineTo(13.5, 15.5);
    path.lineTo(2.5, 15.5);
    path.closeSubpath();
    painter.drawPath(path);
    painter.drawLine(QPointF(9.5, 0.5), QPointF(9.5, 4.5));
    painter.drawLine(QPointF(9.5, 4.5), QPointF(13.5, 4.5));
    painter.setPen(QColor(128, 128, 128));
    for (int y = 7; y <= 13; y += 2)
        painter.drawLine(5, y, 11, y);
}

// A small arrow in the lower left corner, as desktop shortcuts mark theirs.
void DrawOverlay(QPainter& painter) {
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(0, 8, 7, 7);
    painter.setPen(QPen(QColor(0, 0, 192), 1.5));
    painter.drawLine(QPointF(2, 13), QPointF(5.5, 9.5));
    painter.drawLine(QPointF(3, 9.5), QPointF(5.5, 9.5));
    painter.drawLine(QPointF(5.5, 9.5), QPointF(5.5, 12));
}

}  // namespace

QPixmap QueryImage(int index) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    switch (index) {
        case 0:
            DrawComputer(painter);
            break;
        case 1:
            DrawVolume(painter);
            break;
        case 2:
            DrawFolder(painter);
            break;
        case kQueryOverlayImage:
            DrawOverlay(painter);
            break;
        default:
            DrawFile(painter);
            break;
    }
    return pixmap;
}

QPixmap QueryImageWithOverlay(int index) {
    QPixmap pixmap = QueryImage(index);
    QPainter painter(&pixmap);
    painter.drawPixmap(0, 0, QueryImage(kQueryOverlayImage));
    return pixmap;
}

}  // namespace korvane
