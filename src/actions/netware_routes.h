// The file actions' NetWare routes, served by a NetWare layer: compression,
// owners, owner changes and account lists of files on NetWare volumes.
#pragma once

#include "actions/file_actions.h"
#include "owners/netware_layer.h"

namespace korvane {

// The error a file action reports for a NetWare file the layer could not
// change (the layer's own answers are only success or failure).
inline constexpr int kNetWareActionError = 1;

// Routes that call the layer, which must outlive them.
NetWareRoutes NetWareRoutesThrough(NetWareLayer& layer);

}  // namespace korvane
