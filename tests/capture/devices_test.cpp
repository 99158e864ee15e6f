#include "capture/devices.h"

#include <gtest/gtest.h>

#include "fake_camera_tree.h"

namespace glintvane {
namespace {

TEST(EnumerateCameras, ListsCaptureNodesInNumericOrderThenTheSimulatedSky) {
  FakeCameraTree tree = MakeFakeCameraTree();
  EXPECT_EQ(EnumerateCameras(tree.sysfs() + "/missing", tree.dev(), FakeCapabilityQuery).size(),
            1u);
  AddFakeNode(tree, "video10", "Tenth", "capture");
  AddFakeNode(tree, "video2", "Webcam", "capture");
  AddFakeNode(tree, "video3", "Webcam", "metadata");
  AddFakeNode(tree, "video4", "Old", "old-capture");
  AddFakeNode(tree, "video6", "Unplugged", "");
  AddFakeNode(tree, "v4l-subdev0", "Sensor", "capture");
  // 50 ASCII bytes, then a 2-byte character that would end past the description area.
  AddFakeNode(tree, "video7", std::string(50, 'n') + "\xC3\xA9" + "tail", "capture");
  std::vector<CameraEntry> cameras =
      EnumerateCameras(tree.sysfs(), tree.dev(), FakeCapabilityQuery);
  RemoveFakeCameraTree(tree);

  ASSERT_EQ(cameras.size(), 5u);
  EXPECT_EQ(cameras[0].description, "Webcam");
  EXPECT_EQ(cameras[0].devicePath, tree.dev() + "/video2");
  EXPECT_EQ(cameras[1].description, "Old");
  EXPECT_EQ(cameras[2].description, std::string(50, 'n'));
  EXPECT_EQ(cameras[3].devicePath, tree.dev() + "/video10");
  EXPECT_EQ(cameras[4].description, kSimulatedCameraName);
  EXPECT_EQ(cameras[4].devicePath, "");
  EXPECT_EQ(CutUtf8("a\xE2\x82\xAC", 3), "a");  // not into a 3-byte character either
}

}  // namespace
}  // namespace glintvane
