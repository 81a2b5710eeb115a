#include "ui/schedule/command_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace korvane {
namespace {

QIcon Icon(const std::function<void(QPainter&)>& draw) {
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 32.0, size / 32.0);
        draw(painter);
        icon.addPixmap(pixmap);
    }
    return icon;
}

void Sheet(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(90, 90, 90), 1.6));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(QColor(150, 150, 150), 1.2));
    for (qreal y = r.top() + 5; y < r.bottom() - 2; y += 4)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::max(1.0, QLineF(from, to).length());
    const QPointF n(-d.y(), d.x());
    p.drawLine(to, to - d * 6 + n * 5);
    p.drawLine(to, to - d * 6 - n * 5);
}

void Letters(QPainter& p, const QColor& fill, const QString& text) {
    p.setPen(QPen(fill.darker(140), 1.4));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2, 6, 28, 20), 4, 4);
    QFont font;
    font.setBold(true);
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 6, 28, 20), Qt::AlignCenter, text);
}

void Clock(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 60), 1.8));
    p.setBrush(QColor(250, 250, 240));
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setPen(QPen(QColor(170, 40, 40), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 16), QPointF(16, 8));
    p.drawLine(QPointF(16, 16), QPointF(22, 19));
}

}  // namespace

// In the command table's order: Copy, Delete, Email, Move, Query, Link,
// Scan, Command, Print, Logfile, Export.
QIcon ScheduleCommandIcon(int index) {
    switch (index) {
        case 0:  // Copy
            return Icon([](QPainter& p) {
                Sheet(p, QRectF(3, 3, 16, 20));
                Sheet(p, QRectF(13, 9, 16, 20));
            });
        case 1:  // Delete
            return Icon([](QPainter& p) {
                Sheet(p, QRectF(6, 3, 18, 25));
                p.setPen(QPen(QColor(200, 30, 30), 3.5, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(8, 8), QPointF(24, 26));
                p.drawLine(QPointF(24, 8), QPointF(8, 26));
            });
        case 2:  // Email
            return Icon([](QPainter& p) {
                p.setPen(QPen(QColor(90, 90, 90), 1.6));
                p.setBrush(QColor(250, 245, 220));
                p.drawRect(QRectF(3, 8, 26, 17));
                p.drawLine(QPointF(3, 8), QPointF(16, 18));
                p.drawLine(QPointF(29, 8), QPointF(16, 18));
            });
        case 3:  // Move
            return Icon([](QPainter& p) {
                Sheet(p, QRectF(3, 3, 14, 18));
                Arrow(p, QPointF(12, 24), QPointF(28, 24), QColor(40, 120, 60));
            });
        case 4:  // Query
            return Icon([](QPainter& p) {
                p.setPen(QPen(QColor(40, 90, 170), 3, Qt::SolidLine, Qt::RoundCap));
                p.setBrush(QColor(220, 235, 255));
                p.drawEllipse(QRectF(4, 4, 16, 16));
                p.drawLine(QPointF(18, 18), QPointF(28, 28));
            });
        case 5:  // Link
            return Icon([](QPainter& p) {
                p.setPen(QPen(QColor(60, 60, 160), 3));
                p.setBrush(Qt::NoBrush);
                p.drawRoundedRect(QRectF(3, 11, 15, 10), 5, 5);
                p.drawRoundedRect(QRectF(14, 11, 15, 10), 5, 5);
            });
        case 6:  // Scan
            return Icon([](QPainter& p) {
                p.setPen(QPen(QColor(70, 70, 70), 1.5));
                p.setBrush(QColor(200, 205, 215));
                p.drawRoundedRect(QRectF(3, 9, 26, 14), 3, 3);
                p.setBrush(QColor(90, 200, 90));
                p.drawEllipse(QRectF(22, 14, 4, 4));
                Arrow(p, QPointF(6, 28), QPointF(20, 28), QColor(40, 90, 170));
            });
        case 7:  // Command
            return Icon([](QPainter& p) {
                p.setPen(QPen(QColor(40, 40, 40), 1.5));
                p.setBrush(QColor(30, 30, 30));
                p.drawRect(QRectF(3, 5, 26, 22));
                p.setPen(QPen(QColor(120, 230, 120), 2.2, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(8, 11), QPointF(13, 16));
                p.drawLine(QPointF(13, 16), QPointF(8, 21));
                p.drawLine(QPointF(15, 21), QPointF(23, 21));
            });
        case 8:  // Print
            return Icon([](QPainter& p) {
                Sheet(p, QRectF(9, 2, 14, 12));
                p.setPen(QPen(QColor(70, 70, 70), 1.5));
                p.setBrush(QColor(190, 190, 200));
                p.drawRoundedRect(QRectF(3, 13, 26, 12), 2, 2);
                p.setBrush(Qt::white);
                p.drawRect(QRectF(9, 21, 14, 8));
            });
        case 9:  // Logfile
            return Icon([](QPainter& p) {
                Sheet(p, QRectF(6, 3, 20, 26));
                p.setPen(QPen(QColor(40, 90, 170), 2));
                p.drawLine(QPointF(9, 8), QPointF(23, 8));
            });
        case 10:  // Export
            return Icon([](QPainter& p) { Letters(p, QColor(40, 140, 80), QStringLiteral("CSV")); });
        default:
            return {};
    }
}

QIcon ScheduleToolIcon(ScheduleGlyph glyph) {
    switch (glyph) {
        case ScheduleGlyph::Active:
            return Icon([](QPainter& p) {
                p.setPen(QPen(QColor(30, 110, 40), 1.5));
                p.setBrush(QColor(60, 180, 80));
                QPainterPath play;
                play.moveTo(8, 5);
                play.lineTo(27, 16);
                play.lineTo(8, 27);
                play.closeSubpath();
                p.drawPath(play);
            });
        case ScheduleGlyph::StartEvent:
            return Icon(Clock);
        case ScheduleGlyph::RunStatus:
            return Icon([](QPainter& p) {
                p.setPen(QPen(QColor(90, 90, 90), 1.5));
                p.setBrush(Qt::white);
                p.drawRect(QRectF(3, 4, 26, 24));
                for (int i = 0; i < 4; ++i) {
                    p.setBrush(i % 2 == 0 ? QColor(60, 180, 80) : QColor(200, 200, 200));
                    p.drawEllipse(QRectF(6, 7.5 + i * 5, 3.5, 3.5));
                    p.drawLine(QPointF(12, 9.5 + i * 5), QPointF(26, 9.5 + i * 5));
                }
            });
    }
    return {};
}

}  // namespace korvane
