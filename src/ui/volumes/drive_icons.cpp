#include "ui/volumes/drive_icons.h"

#include <QPainter>
#include <QPixmap>

namespace korvane {
namespace {

// A drive box with a light; each kind of drive adds its own mark.
QPixmap DrivePixmap(int image) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body = image == 10  ? QColor(170, 170, 170)
                        : image == 3 ? QColor(120, 150, 200)
                                     : QColor(200, 200, 190);
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(image == 10 ? QColor(120, 120, 120) : QColor(40, 190, 60));
    p.drawEllipse(QRectF(11, 8.5, 2, 2));
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    switch (image) {
        case 1:  // removable: a slot
            p.drawLine(QPointF(3.5, 9.5), QPointF(9, 9.5));
            break;
        case 2:  // optical: a disc above the box
            p.setBrush(QColor(220, 220, 250));
            p.drawEllipse(QRectF(4, 0.5, 8, 8));
            p.drawEllipse(QRectF(7.2, 3.7, 1.6, 1.6));
            break;
        case 3:  // remote: a cable below
        case 10:
            p.drawLine(QPointF(8, 12.5), QPointF(8, 15));
            p.drawLine(QPointF(3, 15), QPointF(13, 15));
            if (image == 10) {
                p.setPen(QPen(QColor(200, 30, 30), 1.6));
                p.drawLine(QPointF(2, 1), QPointF(7, 6));
                p.drawLine(QPointF(7, 1), QPointF(2, 6));
            }
            break;
        case 4:  // memory: chip legs
            for (int x = 3; x <= 11; x += 2)
                p.drawLine(QPointF(x, 3.5), QPointF(x, 6));
            break;
        case 5: {  // unknown: a question mark
            QFont font;
            font.setPixelSize(8);
            font.setBold(true);
            p.setFont(font);
            p.drawText(QRectF(0, -1, 16, 8), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
        default:
            break;
    }
    return pixmap;
}

}  // namespace

QIcon DriveIcon(int image) {
    return QIcon(DrivePixmap(image));
}

}  // namespace korvane
