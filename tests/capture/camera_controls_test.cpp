#include "capture/camera_controls.h"

#include <cerrno>
#include <sstream>

#include <gtest/gtest.h>

#include "fake_v4l2_device.h"

namespace glintvane {
namespace {

using Items = std::vector<std::pair<std::int64_t, std::string>>;

Items ItemsOf(const CameraControl& control) {
  Items items;
  for (const MenuItem& item : control.menu) items.emplace_back(item.index, item.label);
  return items;
}

// Everything the property pages show of the controls, for comparing two listings.
std::string Summary(const std::vector<ControlGroup>& groups) {
  std::ostringstream out;
  for (const ControlGroup& group : groups) {
    out << group.name << ":";
    for (const CameraControl& c : group.controls) {
      out << " " << c.name << " " << int(c.widget) << " " << c.minimum << ".." << c.maximum << "/"
          << c.step << " " << c.defaultValue << " " << c.value << " " << c.flags;
      for (const MenuItem& item : c.menu) out << " " << item.index << "=" << item.label;
    }
  }
  return out.str();
}

class CameraControlsTest : public ::testing::Test {
 protected:
  const CameraControl& Named(const std::string& name) const {
    for (const ControlGroup& group : groups_) {
      for (const CameraControl& control : group.controls) {
        if (control.name == name) return control;
      }
    }
    ADD_FAILURE() << name << " is not listed";
    static const CameraControl kMissing;
    return kMissing;
  }

  std::shared_ptr<FakeV4l2Device> camera_ = ExampleCamera();
  DeviceIoctl device_ = FakeIoctl(camera_);
  std::vector<ControlGroup> groups_ = ListCameraControls(device_);
};

TEST_F(CameraControlsTest, ListsEachClassesControlsWithWidgetRangeMenuAndState) {
  ASSERT_EQ(groups_.size(), 3u);
  EXPECT_EQ(groups_[1].name, "Camera Controls");
  std::vector<std::string> user;
  for (const CameraControl& control : groups_[0].controls) user.push_back(control.name);
  // Neither the disabled control nor the 64-bit one is shown.
  EXPECT_EQ(user, (std::vector<std::string>{"Brightness", "Contrast", "White Balance, Automatic",
                                            "Do White Balance", "Power Line Frequency"}));
  EXPECT_EQ(groups_[2].controls.size(), 1u);

  const CameraControl& brightness = Named("Brightness");
  EXPECT_EQ(brightness.widget, ControlWidget::kSlider);
  EXPECT_EQ(brightness.minimum, -64);
  EXPECT_EQ(brightness.maximum, 64);
  EXPECT_EQ(brightness.value, 10);
  EXPECT_EQ(Named("Contrast").step, 5);
  EXPECT_EQ(Named("White Balance, Automatic").widget, ControlWidget::kCheckBox);
  EXPECT_EQ(Named("Do White Balance").widget, ControlWidget::kPushButton);

  // Menus hold only the items the driver answers for, each with its own value.
  EXPECT_EQ(Named("Power Line Frequency").widget, ControlWidget::kComboBox);
  EXPECT_EQ(ItemsOf(Named("Power Line Frequency")),
            (Items{{0, "Disabled"}, {1, "50 Hz"}, {3, "Auto"}}));
  EXPECT_EQ(Named("Auto Exposure").value, 3);  // the item's value, not its row
  EXPECT_EQ(Named("Link Frequency").widget, ControlWidget::kComboBox);
  EXPECT_EQ(ItemsOf(Named("Link Frequency")), (Items{{0, "456000000"}, {1, "8000000000"}}));

  // Read-only and inactive controls are listed with their values but cannot be changed.
  EXPECT_TRUE(IsChangeable(brightness));
  EXPECT_FALSE(IsChangeable(Named("Exposure Time, Absolute")));
  EXPECT_FALSE(IsChangeable(Named("Focus, Absolute")));
  EXPECT_EQ(Named("Focus, Absolute").value, 40);

  // A driver too old for the extended query is asked with the old one, to the same listing.
  camera_->knowsExtendedQuery = false;
  EXPECT_EQ(Summary(ListCameraControls(device_)), Summary(groups_));
}

// After every change all controls are read anew: the device may have adjusted or refused the
// value, and one control may have made another active.
TEST_F(CameraControlsTest, AChangeOrARestoreShowsWhatTheDeviceKept) {
  EXPECT_EQ(ChangeControl(device_, groups_, V4L2_CID_BRIGHTNESS, 100), 0);
  EXPECT_EQ(Named("Brightness").value, 64);
  EXPECT_EQ(ChangeControl(device_, groups_, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL), 0);
  EXPECT_TRUE(IsChangeable(Named("Exposure Time, Absolute")));
  EXPECT_EQ(ChangeControl(device_, groups_, V4L2_CID_EXPOSURE_ABSOLUTE, 500), 0);
  EXPECT_EQ(ChangeControl(device_, groups_, V4L2_CID_DO_WHITE_BALANCE, 1), 0);
  EXPECT_EQ(camera_->sets.back().first, std::uint32_t(V4L2_CID_DO_WHITE_BALANCE));
  camera_->refusedControl = V4L2_CID_CONTRAST;
  EXPECT_EQ(ChangeControl(device_, groups_, V4L2_CID_CONTRAST, 80), EIO);
  EXPECT_EQ(Named("Contrast").value, 50);
  EXPECT_EQ(ChangeControl(device_, groups_, V4L2_CID_POWER_LINE_FREQUENCY, 2), EINVAL);
  EXPECT_EQ(Named("Power Line Frequency").value, 1);

  // Restoring goes on past a refusal and presses no button; automatic exposure, restored first,
  // leaves the exposure time inactive and as it was.
  camera_->sets.clear();
  EXPECT_EQ(RestoreDefaults(device_, groups_), EIO);
  EXPECT_EQ(Named("Brightness").value, 0);
  EXPECT_EQ(Named("Auto Exposure").value, 3);
  EXPECT_EQ(Named("Exposure Time, Absolute").value, 500);
  for (const auto& set : camera_->sets) EXPECT_NE(set.first, V4L2_CID_DO_WHITE_BALANCE);
}

}  // namespace
}  // namespace glintvane
