#include "ui/splash_window.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

#include "ui/about_box.h"
#include "ui/icons.h"

namespace korvane {

QPixmap BuiltInSplashImage() {
    QPixmap picture(460, 280);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 460, 280);
    sky.setColorAt(0, QColor(22, 54, 104));
    sky.setColorAt(1, QColor(16, 110, 130));
    p.fillRect(picture.rect(), sky);
    p.drawPixmap(36, 60, ApplicationPixmap(112));
    p.setPen(Qt::white);
    QFont title;
    title.setPixelSize(46);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(170, 64, 280, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Korvane"));
    QFont body;
    body.setPixelSize(14);
    p.setFont(body);
    p.setPen(QColor(220, 234, 246));
    p.drawText(
        QRect(172, 124, 270, 60), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
        QStringLiteral("Catalogue your volumes, ask questions of every file, and act on the answers."));
    p.setPen(QColor(170, 200, 225));
    p.drawText(QRect(20, 240, 420, 24), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Version %1").arg(QString::fromLatin1(kProgramVersion)));
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawRect(picture.rect().adjusted(0, 0, -1, -1));
    return picture;
}

QPixmap LoadSplashImage(const std::string& install_folder) {
    QFile file(QFile::decodeName((install_folder + "Korvane.bmp").c_str()));
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (bytes.startsWith("BM")) {
            const QImage image = QImage::fromData(bytes, "BMP");
            if (!image.isNull())
                return QPixmap::fromImage(image);
        }
    }
    return BuiltInSplashImage();
}

SplashWindow::SplashWindow(const QPixmap& picture, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(picture) {
    QSize size = picture_.size();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        if (size.width() > available.width() || size.height() > available.height()) {
            size.scale(available.size(), Qt::KeepAspectRatio);
        }
        setFixedSize(size);
        move(available.center() - rect().center());
    } else {
        setFixedSize(size);
    }
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), picture_);
}

}  // namespace korvane
