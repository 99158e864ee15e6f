#include <mutex>

#include <QTest>

#include "app/main_window.h"
#include "app_test_support.h"
#include "capture/session.h"
#include "shared/session_state.h"
#include "stacking/stacking.h"

namespace glintvane {
namespace {

bool HasStack() {
  std::lock_guard lock(gSessionImagesLock);
  return !gFilter1.accumulator.empty();
}

// The real window on the real capture library, whose last camera is the simulated sky.
using EndToEndTest = ArchiveTest;

TEST_F(EndToEndTest, SnapshotOfTheSimulatedSky) {
  now_ = AtLocal(2008, 8, 1, 21, 29, 10);
  const std::unique_ptr<QMainWindow> window = CreateMainWindow();
  ASSERT_NE(window, nullptr);
  const QList<QAction*> cameras = CameraMenu(window.get())->actions();
  ASSERT_EQ(cameras.last()->text(), "Simulated sky");
  cameras.last()->trigger();
  ASSERT_EQ(gSession.selectedCamera, cameras.size() - 1);

  ItemFor(window.get(), 32771)->trigger();
  const bool stacked = QTest::qWaitFor(HasStack, 5000);
  ItemFor(window.get(), 32802)->trigger();
  const bool snapped = QTest::qWaitFor([] { return gSession.snapshotRequested == 0; }, 5000);
  ItemFor(window.get(), 32772)->trigger();
  ASSERT_TRUE(stacked);
  ASSERT_TRUE(snapped);
  EXPECT_EQ(gSession.captureRunning, 0);
  EXPECT_EQ(ArchivedFiles(),
            std::vector<std::string>{"2008/08/01/Cam" + std::to_string(cameras.size()) +
                                     "/Snap20080801_212910.jpg"});
}

}  // namespace
}  // namespace glintvane
