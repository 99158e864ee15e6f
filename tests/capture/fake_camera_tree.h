#pragma once

#include <filesystem>
#include <string>

#include "capture/devices.h"

namespace glintvane {

// A temporary sysfs and /dev tree. Each device file holds one word that FakeCapabilityQuery
// turns into capabilities: "capture", "metadata" or "old-capture" (no device caps). An empty
// kind makes no device file, as for a camera unplugged since sysfs listed it.
struct FakeCameraTree {
  std::filesystem::path root;
  std::string sysfs() const { return (root / "sys").string(); }
  std::string dev() const { return (root / "dev").string(); }
};

FakeCameraTree MakeFakeCameraTree();
void AddFakeNode(const FakeCameraTree& tree, const std::string& entry, const std::string& name,
                 const std::string& kind);
void RemoveFakeCameraTree(const FakeCameraTree& tree);

bool FakeCapabilityQuery(const std::string& devicePath, v4l2_capability& caps);

}  // namespace glintvane
