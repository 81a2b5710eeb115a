// The query window's 16-pixel field images, drawn in code: one per table
// (computer, volume, folder, file) and the overlay mark, image 4.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace korvane {

inline constexpr int kQueryOverlayImage = 4;

// Image 0 to 4; an index out of range gives the file image.
QPixmap QueryImage(int index);
// The image with the overlay mark drawn over its lower left corner.
QPixmap QueryImageWithOverlay(int index);

}  // namespace korvane
