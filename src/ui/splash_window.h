// The splash shown while the main window comes up: Korvane.bmp from the
// installation folder when it is a bitmap file, else the built-in picture.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <string>

namespace korvane {

inline constexpr int kSplashMilliseconds = 2500;

QPixmap BuiltInSplashImage();
// The folder's Korvane.bmp when it starts with "BM" and decodes as a bitmap;
// otherwise the built-in picture.
QPixmap LoadSplashImage(const std::string& install_folder);

// A borderless window of the picture's size (made smaller, keeping its
// shape, when the screen is smaller), centred on the screen.
class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    SplashWindow(const QPixmap& picture, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap picture_;
};

}  // namespace korvane
