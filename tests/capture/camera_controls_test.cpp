#include "capture/camera_controls.h"

#include <cerrno>

#include <gtest/gtest.h>

#include "fake_v4l2_device.h"

namespace glintvane {
namespace {

const CameraControl* Named(const std::vector<ControlGroup>& groups, const std::string& name) {
  for (const ControlGroup& group : groups) {
    for (const CameraControl& control : group.controls) {
      if (control.name == name) return &control;
    }
  }
  return nullptr;
}

std::vector<std::string> NamesOf(const ControlGroup& group) {
  std::vector<std::string> names;
  for (const CameraControl& control : group.controls) names.push_back(control.name);
  return names;
}

std::vector<std::pair<std::int64_t, std::string>> ItemsOf(const CameraControl& control) {
  std::vector<std::pair<std::int64_t, std::string>> items;
  for (const MenuItem& item : control.menu) items.emplace_back(item.index, item.label);
  return items;
}

// What the pages would show, for comparing two listings.
std::vector<std::string> Summary(const std::vector<ControlGroup>& groups) {
  std::vector<std::string> lines;
  for (const ControlGroup& group : groups) {
    for (const CameraControl& c : group.controls) {
      lines.push_back(group.name + "/" + c.name + " " + std::to_string(int(c.widget)) + " " +
                      std::to_string(c.minimum) + ".." + std::to_string(c.maximum) + " step " +
                      std::to_string(c.step) + " default " + std::to_string(c.defaultValue) +
                      " = " + std::to_string(c.value) + " items " + std::to_string(c.menu.size()) +
                      " changeable " + std::to_string(IsChangeable(c)));
    }
  }
  return lines;
}

class CameraControlsTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeV4l2Device> camera_ = ExampleCamera();
  DeviceIoctl device_ = FakeIoctl(camera_);
};

TEST_F(CameraControlsTest, ControlsAreGroupedByClassEachWithItsWidgetAndValue) {
  std::vector<ControlGroup> groups = ListCameraControls(device_);
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0].name, "User Controls");
  EXPECT_EQ(groups[1].name, "Camera Controls");
  EXPECT_EQ(groups[2].name, "Image Processing Controls");
  // Neither the disabled control nor the 64-bit one is shown.
  EXPECT_EQ(NamesOf(groups[0]),
            (std::vector<std::string>{"Brightness", "Contrast", "White Balance, Automatic",
                                      "Do White Balance", "Power Line Frequency"}));
  EXPECT_EQ(NamesOf(groups[2]), std::vector<std::string>{"Link Frequency"});

  const CameraControl& brightness = groups[0].controls[0];
  EXPECT_EQ(brightness.widget, ControlWidget::kSlider);
  EXPECT_EQ(brightness.minimum, -64);
  EXPECT_EQ(brightness.maximum, 64);
  EXPECT_EQ(brightness.defaultValue, 0);
  EXPECT_EQ(brightness.value, 10);
  EXPECT_EQ(Named(groups, "Contrast")->step, 5);
  EXPECT_EQ(Named(groups, "White Balance, Automatic")->widget, ControlWidget::kCheckBox);
  EXPECT_EQ(Named(groups, "Do White Balance")->widget, ControlWidget::kPushButton);
  EXPECT_EQ(Named(groups, "Auto Exposure")->widget, ControlWidget::kComboBox);
  EXPECT_EQ(Named(groups, "Link Frequency")->widget, ControlWidget::kComboBox);
}

TEST_F(CameraControlsTest, MenusHoldOnlyTheItemsTheDriverAcceptsWithTheirOwnValues) {
  std::vector<ControlGroup> groups = ListCameraControls(device_);
  using Items = std::vector<std::pair<std::int64_t, std::string>>;
  EXPECT_EQ(ItemsOf(*Named(groups, "Power Line Frequency")),
            (Items{{0, "Disabled"}, {1, "50 Hz"}, {3, "Auto"}}));
  const CameraControl& autoExposure = *Named(groups, "Auto Exposure");
  EXPECT_EQ(ItemsOf(autoExposure), (Items{{1, "Manual Mode"}, {3, "Aperture Priority Mode"}}));
  EXPECT_EQ(autoExposure.value, 3);  // the item's value, not its row
  // An integer menu shows its values, even those past 32 bits.
  EXPECT_EQ(ItemsOf(*Named(groups, "Link Frequency")),
            (Items{{0, "456000000"}, {1, "8000000000"}}));
}

TEST_F(CameraControlsTest, ReadOnlyInactiveAndGrabbedControlsCannotBeChanged) {
  FakeControlOf(*camera_, V4L2_CID_CONTRAST).description.flags |= V4L2_CTRL_FLAG_GRABBED;
  std::vector<ControlGroup> groups = ListCameraControls(device_);
  EXPECT_TRUE(IsChangeable(*Named(groups, "Brightness")));
  EXPECT_FALSE(IsChangeable(*Named(groups, "Contrast")));
  EXPECT_FALSE(IsChangeable(*Named(groups, "Exposure Time, Absolute")));
  EXPECT_FALSE(IsChangeable(*Named(groups, "Focus, Absolute")));
  EXPECT_EQ(Named(groups, "Focus, Absolute")->value, 40);  // read-only values are still read
}

TEST_F(CameraControlsTest, AnOldDriverIsAskedWithTheOldQueryAndShowsTheSame) {
  std::vector<ControlGroup> extended = ListCameraControls(device_);
  camera_->knowsExtendedQuery = false;
  std::vector<ControlGroup> old = ListCameraControls(device_);
  // The old query cannot describe a 64-bit control, which is not shown either way.
  EXPECT_EQ(Summary(old), Summary(extended));
  EXPECT_FALSE(old.empty());
}

TEST_F(CameraControlsTest, AChangeReachesTheDeviceAndEveryControlIsReadAnew) {
  std::vector<ControlGroup> groups = ListCameraControls(device_);
  EXPECT_EQ(ChangeControl(device_, groups, V4L2_CID_BRIGHTNESS, 20), 0);
  EXPECT_EQ(FakeControlOf(*camera_, V4L2_CID_BRIGHTNESS).value, 20);
  EXPECT_EQ(Named(groups, "Brightness")->value, 20);

  // Manual exposure makes the exposure time active.
  EXPECT_EQ(ChangeControl(device_, groups, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL), 0);
  EXPECT_TRUE(IsChangeable(*Named(groups, "Exposure Time, Absolute")));

  // The device keeps values in its range and on its steps.
  EXPECT_EQ(ChangeControl(device_, groups, V4L2_CID_BRIGHTNESS, 100), 0);
  EXPECT_EQ(Named(groups, "Brightness")->value, 64);
  EXPECT_EQ(ChangeControl(device_, groups, V4L2_CID_CONTRAST, 73), 0);
  EXPECT_EQ(Named(groups, "Contrast")->value, 70);

  EXPECT_EQ(ChangeControl(device_, groups, V4L2_CID_DO_WHITE_BALANCE, 1), 0);
  EXPECT_EQ(camera_->sets.back().first, std::uint32_t(V4L2_CID_DO_WHITE_BALANCE));
}

TEST_F(CameraControlsTest, AFailedSetShowsWhatTheDeviceKept) {
  std::vector<ControlGroup> groups = ListCameraControls(device_);
  camera_->refusedControl = V4L2_CID_CONTRAST;
  EXPECT_EQ(ChangeControl(device_, groups, V4L2_CID_CONTRAST, 80), EIO);
  EXPECT_EQ(Named(groups, "Contrast")->value, 50);
  // A menu refuses its holes.
  EXPECT_EQ(ChangeControl(device_, groups, V4L2_CID_POWER_LINE_FREQUENCY, 2), EINVAL);
  EXPECT_EQ(Named(groups, "Power Line Frequency")->value, 1);

  camera_->goneError = ENODEV;
  EXPECT_EQ(ChangeControl(device_, groups, V4L2_CID_BRIGHTNESS, 5), ENODEV);
  EXPECT_EQ(Named(groups, "Brightness")->value, 10);
}

TEST_F(CameraControlsTest, RestoreDefaultsSetsEveryChangeableControlDespiteARefusal) {
  std::vector<ControlGroup> groups = ListCameraControls(device_);
  ChangeControl(device_, groups, V4L2_CID_AUTO_WHITE_BALANCE, 0);
  ChangeControl(device_, groups, V4L2_CID_POWER_LINE_FREQUENCY, 3);
  ChangeControl(device_, groups, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL);
  ChangeControl(device_, groups, V4L2_CID_EXPOSURE_ABSOLUTE, 500);
  camera_->refusedControl = V4L2_CID_CONTRAST;
  camera_->sets.clear();

  EXPECT_EQ(RestoreDefaults(device_, groups), EIO);
  EXPECT_EQ(Named(groups, "Brightness")->value, 0);
  EXPECT_EQ(Named(groups, "White Balance, Automatic")->value, 1);
  EXPECT_EQ(Named(groups, "Power Line Frequency")->value, 1);
  EXPECT_EQ(Named(groups, "Auto Exposure")->value, 3);
  // Automatic exposure, restored first, made the exposure time inactive: it is left alone.
  EXPECT_EQ(Named(groups, "Exposure Time, Absolute")->value, 500);
  EXPECT_FALSE(IsChangeable(*Named(groups, "Exposure Time, Absolute")));
  for (const auto& [id, value] : camera_->sets) {
    EXPECT_NE(id, std::uint32_t(V4L2_CID_DO_WHITE_BALANCE)) << "a restore presses no button";
    EXPECT_NE(id, std::uint32_t(V4L2_CID_FOCUS_ABSOLUTE));
  }
}

}  // namespace
}  // namespace glintvane
