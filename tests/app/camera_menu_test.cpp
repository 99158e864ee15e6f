#include <QMessageBox>
#include <QPushButton>

#include "app/main_window.h"
#include "app_test_support.h"
#include "shared/session_state.h"

namespace glintvane {
namespace {

using CameraMenuTest = AppTest;

TEST_F(CameraMenuTest, ChoosingACameraMovesTheCheckAndTheTitle) {
  OpenWindow({"Cam A", "Cam B", "Cam C", std::string(80, 'x'), "Sky & Co"});
  QMenu* menu = CameraMenu(window_.get());
  EXPECT_EQ(CheckedPositions(menu), std::vector<int>{0});
  EXPECT_EQ(window_->windowTitle(), "Glintvane Cam A");

  ItemFor(window_.get(), 202)->trigger();
  EXPECT_EQ(gSession.selectedCamera, 2);
  EXPECT_EQ(CheckedPositions(menu), std::vector<int>{2});
  EXPECT_EQ(window_->windowTitle(), "Glintvane Cam C");

  // Choosing the selected camera keeps its check and reads its description again.
  gFakeLibrary.cameraNames[2] = "Cam C, renamed";
  ItemFor(window_.get(), 202)->trigger();
  EXPECT_EQ(CheckedPositions(menu), std::vector<int>{2});
  EXPECT_EQ(window_->windowTitle(), "Glintvane Cam C, renamed");

  // A description that fills the whole area is cut to fit it.
  ItemFor(window_.get(), 203)->trigger();
  EXPECT_EQ(CheckedPositions(menu), std::vector<int>{3});
  EXPECT_EQ(window_->windowTitle(), "Glintvane " + QString(51, 'x'));

  // An & in a name is shown as written, not taken as a mnemonic.
  EXPECT_EQ(menu->actions().at(4)->text(), "Sky && Co");
  ItemFor(window_.get(), 204)->trigger();
  EXPECT_EQ(window_->windowTitle(), "Glintvane Sky & Co");
}

TEST_F(CameraMenuTest, ChoosingACameraDuringCaptureOnlyWarns) {
  OpenWindow({"Cam A", "Cam B"});
  ItemFor(window_.get(), 32771)->trigger();
  QString text, caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  const auto watch = WhenModalShown([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->parentWidget(), window_.get());
    text = box->text();
    caption = box->windowTitle();
    icon = box->icon();
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons().at(0)), QMessageBox::Ok);
    box->buttons().at(0)->click();
  });
  ItemFor(window_.get(), 201)->trigger();
  EXPECT_EQ(text, "Camera is running!         ");
  EXPECT_EQ(caption, "Glintvane");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(gSession.selectedCamera, 0);
  EXPECT_EQ(CheckedPositions(CameraMenu(window_.get())), std::vector<int>{0});
  EXPECT_EQ(window_->windowTitle(), "Glintvane Cam A");
  EXPECT_EQ(gSession.captureRunning, 1);
}

TEST_F(CameraMenuTest, EveryCameraIsListedButOnlyTheFirstTenCanBeChosen) {
  OpenWindow({});
  EXPECT_TRUE(CameraMenu(window_.get())->actions().isEmpty());
  EXPECT_EQ(gSession.selectedCamera, 0);
  EXPECT_EQ(window_->windowTitle(), "Glintvane");

  OpenWindow(CameraNames(12));
  QMenu* menu = CameraMenu(window_.get());
  ASSERT_EQ(menu->actions().size(), 12);
  EXPECT_EQ(menu->actions().at(11)->text(), "Camera 11");
  EXPECT_EQ(menu->actions().at(11)->data().toInt(), 211);
  ItemFor(window_.get(), 209)->trigger();
  ItemFor(window_.get(), 210)->trigger();
  ItemFor(window_.get(), 211)->trigger();
  EXPECT_EQ(gSession.selectedCamera, 9);
  EXPECT_EQ(CheckedPositions(menu), std::vector<int>{9});
  EXPECT_EQ(window_->windowTitle(), "Glintvane Camera 9");
}

}  // namespace
}  // namespace glintvane
