#include "capture/ui/camera_pages.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

#include "capture/cvcam.h"
#include "capture/cvcam_library.h"
#include "capture/ui/property_pages.h"
#include "capture_ui_test_support.h"
#include "fake_v4l2_device.h"

namespace glintvane {
namespace {

template <typename Widget>
Widget* Find(QWidget& pages, const char* name) {
  return pages.findChild<Widget*>(QString::fromUtf8(name));
}

QStringList ItemsOf(QComboBox* comboBox) {
  QStringList items;
  for (int row = 0; row < comboBox->count(); ++row) items << comboBox->itemText(row);
  return items;
}

QString ProblemOf(QWidget& pages) {
  QLabel* problem = Find<QLabel>(pages, "problem");
  return problem->isVisibleTo(&pages) ? problem->text() : QString();
}

void RestoreDefaultsIn(QWidget& pages) {
  pages.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::RestoreDefaults)->click();
}

class CameraPagesTest : public ::testing::Test {
 protected:
  std::unique_ptr<QDialog> Open() {
    return CreateCameraPages(0, CameraDevice{FakeIoctl(camera_)}, nullptr);
  }

  CameraTreeForTest cameras_;
  std::shared_ptr<FakeV4l2Device> camera_ = ExampleCamera();
};

TEST_F(CameraPagesTest, EachControlClassIsATabAndEachControlItsWidget) {
  std::unique_ptr<QDialog> pages = Open();
  auto* tabs = pages->findChild<QTabWidget*>();
  ASSERT_TRUE(tabs);
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(0), "User Controls");
  EXPECT_EQ(tabs->tabText(1), "Camera Controls");

  auto* brightness = Find<QSlider>(*pages, "Brightness");
  ASSERT_TRUE(brightness);
  EXPECT_EQ(brightness->minimum(), -64);
  EXPECT_EQ(brightness->maximum(), 64);
  EXPECT_EQ(brightness->value(), 10);
  EXPECT_EQ(Find<QSpinBox>(*pages, "Brightness")->value(), 10);
  EXPECT_EQ(Find<QSpinBox>(*pages, "Contrast")->singleStep(), 5);
  EXPECT_TRUE(Find<QCheckBox>(*pages, "White Balance, Automatic")->isChecked());
  EXPECT_TRUE(Find<QPushButton>(*pages, "Do White Balance"));

  auto* powerLine = Find<QComboBox>(*pages, "Power Line Frequency");
  EXPECT_EQ(ItemsOf(powerLine), (QStringList{"Disabled", "50 Hz", "Auto"}));
  EXPECT_EQ(powerLine->currentText(), "50 Hz");
  EXPECT_EQ(ItemsOf(Find<QComboBox>(*pages, "Link Frequency")),
            (QStringList{"456000000", "8000000000"}));

  // Read-only and inactive controls are shown but cannot be changed; disabled ones are not shown.
  EXPECT_FALSE(Find<QComboBox>(*pages, "Link Frequency")->isEnabled());
  EXPECT_FALSE(Find<QSlider>(*pages, "Focus, Absolute")->isEnabledTo(pages.get()));
  EXPECT_FALSE(Find<QSlider>(*pages, "Exposure Time, Absolute")->isEnabledTo(pages.get()));
  EXPECT_TRUE(Find<QSlider>(*pages, "Brightness")->isEnabledTo(pages.get()));
  EXPECT_FALSE(Find<QWidget>(*pages, "Hidden"));
  EXPECT_FALSE(Find<QWidget>(*pages, "Pixel Rate"));
  EXPECT_EQ(ProblemOf(*pages), "");
}

TEST_F(CameraPagesTest, ChangesReachTheDeviceAtOnce) {
  std::unique_ptr<QDialog> pages = Open();
  Find<QSpinBox>(*pages, "Brightness")->setValue(20);
  EXPECT_EQ(FakeControlOf(*camera_, V4L2_CID_BRIGHTNESS).value, 20);
  EXPECT_EQ(Find<QSlider>(*pages, "Brightness")->value(), 20);
  Find<QSlider>(*pages, "Brightness")->setValue(-30);
  EXPECT_EQ(FakeControlOf(*camera_, V4L2_CID_BRIGHTNESS).value, -30);

  Find<QCheckBox>(*pages, "White Balance, Automatic")->setChecked(false);
  EXPECT_EQ(FakeControlOf(*camera_, V4L2_CID_AUTO_WHITE_BALANCE).value, 0);

  // The item's own value goes to the device, not its row.
  Find<QComboBox>(*pages, "Power Line Frequency")->setCurrentIndex(2);
  EXPECT_EQ(FakeControlOf(*camera_, V4L2_CID_POWER_LINE_FREQUENCY).value, 3);

  // Manual exposure makes the exposure time changeable.
  Find<QComboBox>(*pages, "Auto Exposure")->setCurrentIndex(0);
  EXPECT_EQ(FakeControlOf(*camera_, V4L2_CID_EXPOSURE_AUTO).value, V4L2_EXPOSURE_MANUAL);
  EXPECT_TRUE(Find<QSlider>(*pages, "Exposure Time, Absolute")->isEnabledTo(pages.get()));

  Find<QPushButton>(*pages, "Do White Balance")->click();
  EXPECT_EQ(camera_->sets.back().first, std::uint32_t(V4L2_CID_DO_WHITE_BALANCE));
}

TEST_F(CameraPagesTest, AFailedChangeShowsTheDevicesValueAndSaysWhy) {
  std::unique_ptr<QDialog> pages = Open();
  camera_->refusedControl = V4L2_CID_CONTRAST;
  Find<QSpinBox>(*pages, "Contrast")->setValue(80);
  EXPECT_EQ(Find<QSpinBox>(*pages, "Contrast")->value(), 50);
  EXPECT_EQ(Find<QSlider>(*pages, "Contrast")->value(), 50);
  EXPECT_TRUE(ProblemOf(*pages).contains("Input/output error"));

  Find<QSpinBox>(*pages, "Brightness")->setValue(0);
  EXPECT_EQ(ProblemOf(*pages), "");

  camera_->goneError = ENODEV;
  Find<QSpinBox>(*pages, "Brightness")->setValue(5);
  EXPECT_EQ(ProblemOf(*pages), "The camera is not available.");
}

TEST_F(CameraPagesTest, RestoreDefaultsSetsTheDeviceAndTheWidgets) {
  std::unique_ptr<QDialog> pages = Open();
  Find<QSpinBox>(*pages, "Brightness")->setValue(33);
  Find<QComboBox>(*pages, "Power Line Frequency")->setCurrentIndex(0);
  RestoreDefaultsIn(*pages);
  EXPECT_EQ(FakeControlOf(*camera_, V4L2_CID_BRIGHTNESS).value, 0);
  EXPECT_EQ(Find<QSpinBox>(*pages, "Brightness")->value(), 0);
  EXPECT_EQ(Find<QComboBox>(*pages, "Power Line Frequency")->currentText(), "50 Hz");
}

TEST_F(CameraPagesTest, TheSimulatedCamerasPagesTurnItsKnobs) {
  InstallPropertyPages();
  SimulationSettings& settings = SimulatedCameraSettings();
  EXPECT_TRUE(ActOnModal([&] { cvcamShowCameraPages(cameras_.simulated); },
                         [](QDialog& pages) {
                           auto* tabs = pages.findChild<QTabWidget*>();
                           EXPECT_EQ(tabs->tabText(0), "Simulated sky");
                           EXPECT_EQ(Find<QSpinBox>(pages, "Gain")->value(), 100);
                           Find<QSpinBox>(pages, "Gain")->setValue(250);
                           Find<QSlider>(pages, "Meteors per minute")->setValue(30);
                         }));
  EXPECT_FLOAT_EQ(settings.gain, 2.5f);
  EXPECT_FLOAT_EQ(settings.meteorsPerMinute, 30.0f);

  EXPECT_TRUE(ActOnModal([&] { cvcamShowCameraPages(cameras_.simulated); },
                         [](QDialog& pages) {
                           EXPECT_EQ(Find<QSpinBox>(pages, "Gain")->value(), 250);
                           RestoreDefaultsIn(pages);
                         }));
  EXPECT_FLOAT_EQ(settings.gain, 1.0f);
  EXPECT_FLOAT_EQ(settings.meteorsPerMinute, 4.0f);
  cvcamSetPropertyPages({});
}

TEST_F(CameraPagesTest, ACameraThatHasGoneIsSaidToBeSo) {
  InstallPropertyPages();
  std::filesystem::remove(cameras_.tree.dev() + "/video0");  // unplugged since it was listed
  auto saysGone = [](QDialog& pages) {
    EXPECT_EQ(ProblemOf(pages), "The camera is not available.");
  };
  EXPECT_TRUE(ActOnModal([] { cvcamShowCameraPages(0); }, saysGone));
  EXPECT_TRUE(ActOnModal([] { cvcamShowVideoPages(0); }, saysGone));
  cvcamSetPropertyPages({});

  std::unique_ptr<QDialog> pages = CreateCameraPages(0, CameraDevice{{}, ENODEV}, nullptr);
  EXPECT_EQ(ProblemOf(*pages), "The camera is not available.");
}

}  // namespace
}  // namespace glintvane
