// The 16-pixel pictures of the volume list: 0 fixed, 1 removable, 2 optical,
// 3 remote, 4 memory, 5 unknown, 10 disconnected or FTP.
#pragma once

#include <QIcon>

namespace korvane {

QIcon DriveIcon(int image);

}  // namespace korvane
