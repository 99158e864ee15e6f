#include "fake_camera_tree.h"

#include <stdlib.h>

#include <fstream>

namespace glintvane {

FakeCameraTree MakeFakeCameraTree() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "glintvane-cameras-XXXXXX").string();
  FakeCameraTree tree{mkdtemp(pattern.data())};
  std::filesystem::create_directories(tree.root / "sys" / "class" / "video4linux");
  std::filesystem::create_directories(tree.root / "dev");
  return tree;
}

void AddFakeNode(const FakeCameraTree& tree, const std::string& entry, const std::string& name,
                 const std::string& kind) {
  std::filesystem::path node =
      std::filesystem::path(tree.sysfs()) / "class" / "video4linux" / entry;
  std::filesystem::create_directories(node);
  std::ofstream(node / "name") << name << "\n";
  if (!kind.empty()) std::ofstream(tree.dev() + "/" + entry) << kind;
}

void RemoveFakeCameraTree(const FakeCameraTree& tree) { std::filesystem::remove_all(tree.root); }

bool FakeCapabilityQuery(const std::string& devicePath, v4l2_capability& caps) {
  std::string kind;
  if (!(std::ifstream(devicePath) >> kind)) return false;
  // The whole device can capture video and metadata; each node tells its own part.
  caps.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_DEVICE_CAPS;
  if (kind == "capture") caps.device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
  if (kind == "metadata") caps.device_caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
  if (kind == "old-capture") caps.capabilities = V4L2_CAP_VIDEO_CAPTURE;
  return true;
}

}  // namespace glintvane
