// The real volume probe with network mounts laid over folders of a test's
// tree, so that a scan sees those folders as NetWare volumes.
#pragma once

#include <optional>
#include <vector>

#include "platform/volume_probe.h"

namespace korvane::testing {

class NetWareMountProbe : public LinuxVolumeProbe {
  public:
    std::vector<MountEntry> extra;
    std::vector<MountEntry> Mounts() override {
        std::vector<MountEntry> mounts = LinuxVolumeProbe::Mounts();
        mounts.insert(mounts.end(), extra.begin(), extra.end());
        return mounts;
    }
    std::optional<BlockDevice> BlockDeviceOf(const MountEntry& mount) override {
        for (const MountEntry& added : extra) {
            if (added.mount_point == mount.mount_point)
                return std::nullopt;
        }
        return LinuxVolumeProbe::BlockDeviceOf(mount);
    }
};

}  // namespace korvane::testing
