#include "ui/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace korvane {
namespace {

// Glyphs are drawn on a 32-point grid and scaled to the size asked for.
QPixmap Paint(int size, const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    draw(painter);
    return pixmap;
}

QIcon Icon(const std::function<void(QPainter&)>& draw) {
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(Paint(size, draw));
    return icon;
}

void Page(QPainter& p, const QRectF& r, const QColor& fill = Qt::white) {
    QPainterPath path;
    const qreal fold = r.width() * 0.3;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1.6));
    p.setBrush(fill);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

void Badge(QPainter& p, const QColor& fill, const QString& mark) {
    p.setPen(QPen(fill.darker(140), 1.5));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setPen(Qt::white);
    QFont font;
    font.setBold(true);
    font.setPixelSize(20);
    p.setFont(font);
    p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, mark);
}

void Folder(QPainter& p) {
    p.setPen(QPen(QColor(150, 110, 20), 1.6));
    p.setBrush(QColor(240, 196, 80));
    QPainterPath back;
    back.moveTo(3, 8);
    back.lineTo(12, 8);
    back.lineTo(15, 11);
    back.lineTo(27, 11);
    back.lineTo(27, 26);
    back.lineTo(3, 26);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(252, 218, 120));
    QPainterPath front;
    front.moveTo(3, 26);
    front.lineTo(7, 15);
    front.lineTo(30, 15);
    front.lineTo(27, 26);
    front.closeSubpath();
    p.drawPath(front);
}

void DrawApplication(QPainter& p) {
    QLinearGradient fill(0, 0, 0, 32);
    fill.setColorAt(0, QColor(38, 98, 170));
    fill.setColorAt(1, QColor(20, 52, 100));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    // Three catalogued volumes...
    p.setBrush(QColor(220, 232, 246));
    for (int i = 0; i < 3; ++i)
        p.drawRoundedRect(QRectF(5, 6 + i * 7, 15, 5), 1.5, 1.5);
    p.setBrush(QColor(120, 220, 120));
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QRectF(16.5, 7.5 + i * 7, 2, 2));
    // ...and the question put to them.
    p.setPen(QPen(QColor(255, 210, 90), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(15, 13, 10, 10));
    p.drawLine(QPointF(23.5, 21.5), QPointF(28, 26));
}

}  // namespace

QPixmap ApplicationPixmap(int size) {
    return Paint(size, DrawApplication);
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(ApplicationPixmap(size));
    return icon;
}

QIcon ToolIcon(ToolGlyph glyph) {
    switch (glyph) {
        case ToolGlyph::New:
            return QIcon::fromTheme(QStringLiteral("document-new"),
                                    Icon([](QPainter& p) { Page(p, QRectF(7, 3, 18, 26)); }));
        case ToolGlyph::Open:
            return QIcon::fromTheme(QStringLiteral("document-open"), Icon(Folder));
        case ToolGlyph::Save:
            return QIcon::fromTheme(QStringLiteral("document-save"), Icon([](QPainter& p) {
                                        p.setPen(QPen(QColor(30, 50, 100), 1.6));
                                        p.setBrush(QColor(60, 100, 180));
                                        p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
                                        p.setBrush(Qt::white);
                                        p.drawRect(QRectF(9, 4, 14, 9));
                                        p.setBrush(QColor(200, 200, 200));
                                        p.drawRect(QRectF(9, 18, 14, 10));
                                    }));
        case ToolGlyph::Cut:
            return QIcon::fromTheme(QStringLiteral("edit-cut"), Icon([](QPainter& p) {
                                        p.setPen(QPen(QColor(70, 70, 70), 2.2, Qt::SolidLine, Qt::RoundCap));
                                        p.drawLine(QPointF(10, 4), QPointF(20, 21));
                                        p.drawLine(QPointF(22, 4), QPointF(12, 21));
                                        p.setPen(QPen(QColor(170, 30, 30), 2.4));
                                        p.setBrush(Qt::NoBrush);
                                        p.drawEllipse(QRectF(5, 20, 8, 8));
                                        p.drawEllipse(QRectF(19, 20, 8, 8));
                                    }));
        case ToolGlyph::Copy:
            return QIcon::fromTheme(QStringLiteral("edit-copy"), Icon([](QPainter& p) {
                                        Page(p, QRectF(4, 3, 15, 20));
                                        Page(p, QRectF(13, 9, 15, 20));
                                    }));
        case ToolGlyph::Paste:
            return QIcon::fromTheme(QStringLiteral("edit-paste"), Icon([](QPainter& p) {
                                        p.setPen(QPen(QColor(100, 70, 30), 1.6));
                                        p.setBrush(QColor(190, 140, 70));
                                        p.drawRoundedRect(QRectF(4, 5, 18, 24), 2, 2);
                                        p.setBrush(QColor(160, 160, 160));
                                        p.drawRoundedRect(QRectF(9, 2, 8, 6), 1.5, 1.5);
                                        Page(p, QRectF(14, 11, 14, 18));
                                    }));
        case ToolGlyph::Delete:
            return QIcon::fromTheme(QStringLiteral("edit-delete"), Icon([](QPainter& p) {
                                        p.setPen(QPen(QColor(200, 30, 30), 4.5, Qt::SolidLine, Qt::RoundCap));
                                        p.drawLine(QPointF(8, 8), QPointF(24, 24));
                                        p.drawLine(QPointF(24, 8), QPointF(8, 24));
                                    }));
        case ToolGlyph::Print:
            return QIcon::fromTheme(QStringLiteral("document-print"), Icon([](QPainter& p) {
                                        Page(p, QRectF(9, 2, 14, 12));
                                        p.setPen(QPen(QColor(60, 60, 60), 1.6));
                                        p.setBrush(QColor(170, 170, 170));
                                        p.drawRoundedRect(QRectF(3, 12, 26, 12), 2, 2);
                                        p.setBrush(Qt::white);
                                        p.drawRect(QRectF(9, 20, 14, 9));
                                        p.setBrush(QColor(80, 200, 80));
                                        p.drawEllipse(QRectF(24, 15, 3, 3));
                                    }));
        case ToolGlyph::About:
            return QIcon::fromTheme(QStringLiteral("help-about"), Icon([](QPainter& p) {
                                        Badge(p, QColor(40, 110, 200), QStringLiteral("?"));
                                    }));
        case ToolGlyph::ContextHelp:
            return QIcon::fromTheme(QStringLiteral("help-contextual"), Icon([](QPainter& p) {
                                        QPainterPath arrow;
                                        arrow.moveTo(3, 3);
                                        arrow.lineTo(3, 22);
                                        arrow.lineTo(8, 17);
                                        arrow.lineTo(12, 25);
                                        arrow.lineTo(15, 23);
                                        arrow.lineTo(11, 16);
                                        arrow.lineTo(17, 16);
                                        arrow.closeSubpath();
                                        p.setPen(QPen(Qt::black, 1.4));
                                        p.setBrush(Qt::white);
                                        p.drawPath(arrow);
                                        p.setPen(QColor(40, 110, 200));
                                        QFont font;
                                        font.setBold(true);
                                        font.setPixelSize(18);
                                        p.setFont(font);
                                        p.drawText(QRectF(16, 8, 16, 22), Qt::AlignCenter,
                                                   QStringLiteral("?"));
                                    }));
    }
    return {};
}

QIcon DocumentIcon(DocumentKind kind) {
    switch (kind) {
        case DocumentKind::Query:
            return Icon([](QPainter& p) {
                Page(p, QRectF(4, 2, 20, 27));
                p.setPen(QPen(QColor(40, 90, 170), 3, Qt::SolidLine, Qt::RoundCap));
                p.setBrush(QColor(220, 235, 255));
                p.drawEllipse(QRectF(12, 12, 11, 11));
                p.drawLine(QPointF(21.5, 21.5), QPointF(28, 28));
            });
        case DocumentKind::Result:
            return Icon([](QPainter& p) {
                Page(p, QRectF(4, 2, 22, 27));
                p.setPen(Qt::NoPen);
                const QColor colours[3] = {QColor(60, 130, 210), QColor(230, 150, 40), QColor(70, 170, 90)};
                const int heights[3] = {10, 16, 7};
                for (int i = 0; i < 3; ++i) {
                    p.setBrush(colours[i]);
                    p.drawRect(QRectF(8 + i * 5.5, 26 - heights[i], 4, heights[i]));
                }
            });
        case DocumentKind::Schedule:
            return Icon([](QPainter& p) {
                p.setPen(QPen(QColor(60, 60, 60), 1.8));
                p.setBrush(QColor(250, 250, 240));
                p.drawEllipse(QRectF(3, 3, 26, 26));
                p.setPen(QPen(QColor(170, 40, 40), 2.6, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(16, 16), QPointF(16, 8));
                p.drawLine(QPointF(16, 16), QPointF(22, 19));
            });
    }
    return {};
}

QIcon EventTypeIcon(int index) {
    switch (index) {
        case 0:
            return Icon([](QPainter& p) { Badge(p, QColor(40, 110, 200), QStringLiteral("i")); });
        case 1:
            return Icon([](QPainter& p) {
                p.setPen(QPen(QColor(150, 20, 20), 1.5));
                p.setBrush(QColor(210, 40, 40));
                p.drawEllipse(QRectF(2, 2, 28, 28));
                p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(11, 11), QPointF(21, 21));
                p.drawLine(QPointF(21, 11), QPointF(11, 21));
            });
        case 2:
            return Icon([](QPainter& p) {
                QPainterPath triangle;
                triangle.moveTo(16, 2);
                triangle.lineTo(30, 28);
                triangle.lineTo(2, 28);
                triangle.closeSubpath();
                p.setPen(QPen(QColor(150, 110, 0), 1.5));
                p.setBrush(QColor(250, 200, 40));
                p.drawPath(triangle);
                p.setPen(Qt::black);
                QFont font;
                font.setBold(true);
                font.setPixelSize(18);
                p.setFont(font);
                p.drawText(QRectF(2, 8, 28, 20), Qt::AlignCenter, QStringLiteral("!"));
            });
        default:
            return Icon([](QPainter& p) { Badge(p, QColor(130, 130, 130), QStringLiteral("?")); });
    }
}

}  // namespace korvane
