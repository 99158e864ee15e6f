#include "capture/devices.h"

#include <gtest/gtest.h>

#include "fake_camera_tree.h"

namespace glintvane {
namespace {

TEST(CutUtf8, CutsOnlyBetweenCharacters) {
  const std::string acute = "\xC3\xA9";                 // 2 bytes
  const std::string euro = "\xE2\x82\xAC";              // 3 bytes
  const std::string shootingStar = "\xF0\x9F\x8C\xA0";  // 4 bytes
  EXPECT_EQ(CutUtf8("short", 51), "short");
  EXPECT_EQ(CutUtf8("abcdef", 3), "abc");
  EXPECT_EQ(CutUtf8("ab" + acute, 3), "ab");
  EXPECT_EQ(CutUtf8("a" + euro + "b", 3), "a");
  EXPECT_EQ(CutUtf8(shootingStar + "xyz", 4), shootingStar);
  EXPECT_EQ(CutUtf8(shootingStar + "xyz", 3), "");
}

class EnumerateCamerasTest : public ::testing::Test {
 protected:
  void SetUp() override { tree_ = MakeFakeCameraTree(); }
  void TearDown() override { RemoveFakeCameraTree(tree_); }

  std::vector<CameraEntry> Enumerate() const {
    return EnumerateCameras(tree_.sysfs(), tree_.dev(), FakeCapabilityQuery);
  }

  FakeCameraTree tree_;
};

TEST_F(EnumerateCamerasTest, KeepsCaptureNodesInNumericOrderThenTheSimulatedSky) {
  AddFakeNode(tree_, "video10", "Tenth", "capture");
  AddFakeNode(tree_, "video2", "Webcam", "capture");
  AddFakeNode(tree_, "video3", "Webcam", "metadata");
  AddFakeNode(tree_, "video4", "Old", "old-capture");
  AddFakeNode(tree_, "video5", "Out", "output");
  AddFakeNode(tree_, "video6", "Unplugged", "");  // listed in sysfs, but no device file
  AddFakeNode(tree_, "v4l-subdev0", "Sensor", "capture");
  AddFakeNode(tree_, "videox", "Odd", "capture");

  std::vector<CameraEntry> cameras = Enumerate();
  ASSERT_EQ(cameras.size(), 4u);
  EXPECT_EQ(cameras[0].description, "Webcam");
  EXPECT_EQ(cameras[0].devicePath, tree_.dev() + "/video2");
  EXPECT_EQ(cameras[1].description, "Old");
  EXPECT_EQ(cameras[2].devicePath, tree_.dev() + "/video10");
  EXPECT_EQ(cameras[3].description, kSimulatedCameraName);
  EXPECT_EQ(cameras[3].devicePath, "");
}

TEST_F(EnumerateCamerasTest, OnlyTheSimulatedSkyWithoutVideoNodes) {
  std::vector<CameraEntry> cameras = Enumerate();
  ASSERT_EQ(cameras.size(), 1u);
  EXPECT_EQ(cameras[0].description, kSimulatedCameraName);
  EXPECT_EQ(EnumerateCameras(tree_.sysfs() + "/missing", tree_.dev(), FakeCapabilityQuery).size(),
            1u);
}

TEST_F(EnumerateCamerasTest, LongNamesAreCutToTheDescriptionArea) {
  // 50 ASCII bytes, then a 2-byte character that would end at byte 52.
  std::string name = std::string(50, 'n') + "\xC3\xA9" + "tail";
  AddFakeNode(tree_, "video0", name, "capture");
  EXPECT_EQ(Enumerate()[0].description, std::string(50, 'n'));
}

}  // namespace
}  // namespace glintvane
