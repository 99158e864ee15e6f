#include "capture/ui/video_pages.h"

#include <atomic>
#include <mutex>

#include <gtest/gtest.h>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>

#include "capture/cvcam.h"
#include "capture/cvcam_library.h"
#include "capture/ui/property_pages.h"
#include "capture_ui_test_support.h"
#include "fake_v4l2_device.h"
#include "test_support.h"

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

void Choose(QWidget& pages, const char* comboBox, const QString& item) {
  QComboBox* box = Find<QComboBox>(pages, comboBox);
  int row = box->findText(item);
  ASSERT_GE(row, 0) << item.toStdString();
  box->setCurrentIndex(row);
}

void Press(QWidget& pages, QDialogButtonBox::StandardButton button) {
  pages.findChild<QDialogButtonBox*>()->button(button)->click();
}

bool Shown(QWidget& pages, const char* name) {
  return Find<QWidget>(pages, name)->isVisibleTo(&pages);
}

class VideoPagesTest : public ::testing::Test {
 protected:
  std::unique_ptr<QDialog> Open() {
    return CreateVideoPages(0, CameraDevice{FakeIoctl(camera_)}, nullptr);
  }

  CameraTreeForTest cameras_;
  std::shared_ptr<FakeV4l2Device> camera_ = ExampleCamera();
};

TEST_F(VideoPagesTest, TheDevicesFormatsSizesAndRatesAreOfferedFromItsPresentMode) {
  std::unique_ptr<QDialog> pages = Open();
  auto* format = Find<QComboBox>(*pages, "pixelFormat");
  EXPECT_EQ(ItemsOf(format),
            (QStringList{"YUYV 4:2:2 (YUYV)", "Motion-JPEG (MJPG)", "H.264 (H264) - not usable"}));
  auto* model = static_cast<QStandardItemModel*>(format->model());
  EXPECT_FALSE(model->item(2)->isEnabled());
  EXPECT_EQ(format->currentIndex(), 0);

  EXPECT_TRUE(Shown(*pages, "frameSize"));
  EXPECT_FALSE(Shown(*pages, "frameWidth"));
  EXPECT_EQ(ItemsOf(Find<QComboBox>(*pages, "frameSize")),
            (QStringList{"640 \u00d7 480", "1280 \u00d7 720", "320 \u00d7 240"}));
  EXPECT_EQ(Find<QComboBox>(*pages, "frameSize")->currentText(), "640 \u00d7 480");
  EXPECT_EQ(ItemsOf(Find<QComboBox>(*pages, "frameRate")),
            (QStringList{"29.97 fps", "15 fps", "5 fps"}));
  EXPECT_EQ(Find<QComboBox>(*pages, "frameRate")->currentText(), "29.97 fps");
}

TEST_F(VideoPagesTest, AStepwiseFormatOffersSpinBoxesOnItsSteps) {
  std::unique_ptr<QDialog> pages = Open();
  Choose(*pages, "pixelFormat", "Motion-JPEG (MJPG)");
  EXPECT_FALSE(Shown(*pages, "frameSize"));
  auto* width = Find<QSpinBox>(*pages, "frameWidth");
  auto* height = Find<QSpinBox>(*pages, "frameHeight");
  ASSERT_TRUE(Shown(*pages, "frameWidth"));
  EXPECT_EQ(width->minimum(), 160);
  EXPECT_EQ(width->maximum(), 1920);
  EXPECT_EQ(width->singleStep(), 16);
  EXPECT_EQ(width->value(), 640);  // the size chosen before carries over
  EXPECT_EQ(height->value(), 480);
  auto* rate = Find<QDoubleSpinBox>(*pages, "frameRateRange");
  ASSERT_TRUE(Shown(*pages, "frameRateRange"));
  EXPECT_DOUBLE_EQ(rate->minimum(), 1.0);
  EXPECT_DOUBLE_EQ(rate->maximum(), 60.0);
  EXPECT_NEAR(rate->value(), 29.97, 0.01);

  width->setValue(1000);  // off the steps: the nearest on them is set
  height->setValue(500);
  rate->setValue(12.5);
  Press(*pages, QDialogButtonBox::Apply);
  EXPECT_EQ(camera_->format.pixelformat, std::uint32_t(V4L2_PIX_FMT_MJPEG));
  EXPECT_EQ(camera_->format.width, 1008u);
  EXPECT_EQ(camera_->format.height, 504u);
  EXPECT_DOUBLE_EQ(FrameRate(camera_->interval), 12.5);
}

TEST_F(VideoPagesTest, OkSetsTheDeviceAndTheChoiceIsKeptForTheCamera) {
  std::unique_ptr<QDialog> pages = Open();
  Choose(*pages, "frameSize", "1280 \u00d7 720");
  Choose(*pages, "frameRate", "15 fps");
  Press(*pages, QDialogButtonBox::Ok);
  EXPECT_EQ(pages->result(), QDialog::Accepted);
  EXPECT_EQ(camera_->format.width, 1280u);
  EXPECT_EQ(camera_->interval.denominator, 15u);
  std::optional<CaptureMode> kept = CaptureModeOf(0);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->size, cv::Size(1280, 720));
  EXPECT_DOUBLE_EQ(kept->frameRate, 15.0);

  // Opened again, the pages start from the kept choice.
  camera_->format.width = 640;
  std::unique_ptr<QDialog> again = Open();
  EXPECT_EQ(Find<QComboBox>(*again, "frameSize")->currentText(), "1280 \u00d7 720");
}

TEST_F(VideoPagesTest, ACameraBusyInAnotherProgramSaysSoAndStaysOpen) {
  camera_->formatError = EBUSY;
  std::unique_ptr<QDialog> pages = Open();
  pages->show();
  Press(*pages, QDialogButtonBox::Ok);
  EXPECT_TRUE(pages->isVisible());
  QLabel* problem = Find<QLabel>(*pages, "problem");
  EXPECT_TRUE(problem->isVisible());
  EXPECT_TRUE(problem->text().contains("in use by another program"));
}

std::mutex gSizeMutex;
cv::Size gLastSize;

void RecordSize(const cv::Mat& frame) {
  std::lock_guard lock(gSizeMutex);
  gLastSize = frame.size();
}

bool FramesArriveAt(cv::Size size) {
  return WaitUntil([&] {
    std::lock_guard lock(gSizeMutex);
    return gLastSize == size;
  });
}

// As the program runs it: 640x480 at 20 fps asked for at every start.
int StartSky(int camera) {
  cvcamSetVideoFormat(camera, {640, 480, 20});
  cvcamEnable(camera, 1);
  cvcamSetCallback(camera, RecordSize);
  return cvcamInit() && cvcamStart();
}

TEST_F(VideoPagesTest, TheRunningSimulatedCameraSwitchesToTheChosenSizeAndKeepsIt) {
  const int sky = cameras_.simulated;
  ASSERT_TRUE(StartSky(sky));
  ASSERT_TRUE(FramesArriveAt({640, 480}));
  InstallPropertyPages();
  EXPECT_TRUE(ActOnModal([&] { cvcamShowVideoPages(sky); },
                         [](QDialog& pages) {
                           EXPECT_EQ(Find<QComboBox>(pages, "frameSize")->currentText(),
                                     "640 \u00d7 480");
                           EXPECT_EQ(Find<QComboBox>(pages, "frameRate")->currentText(), "20 fps");
                           Choose(pages, "frameSize", "800 \u00d7 600");
                           Choose(pages, "frameRate", "30 fps");
                           Press(pages, QDialogButtonBox::Ok);
                         }));
  cvcamSetPropertyPages({});
  EXPECT_TRUE(FramesArriveAt({800, 600}));
  EXPECT_DOUBLE_EQ(CaptureModeOf(sky)->frameRate, 30.0);

  cvcamExit();
  ASSERT_TRUE(StartSky(sky));
  EXPECT_TRUE(FramesArriveAt({800, 600}));
}

}  // namespace
}  // namespace glintvane
