#include <string>
#include <vector>

#include "capture/session.h"
#include "shared/session_state.h"
#include "stacking/stacking.h"
#include "test_support.h"

namespace glintvane {
namespace {

// A capture library that records the session's calls in order.
struct Recording {
  std::vector<std::string> calls;
  int initResult = 1;
  int processingDuringPages = -1;
};
Recording gRecording;

void Record(const std::string& call) { gRecording.calls.push_back(call); }

int RecordOk(const std::string& call) {
  Record(call);
  return 1;
}

int RecordPages(const std::string& call) {
  gRecording.processingDuringPages = gSession.processingEnabled;
  return RecordOk(call);
}

std::string Numbered(const char* call, int camera) { return call + (" " + std::to_string(camera)); }

CvcamCalls RecordingCalls() {
  return {
      [] {
        Record("count");
        return 3;
      },
      [](int camera, char(&)[kDescriptionAreaSize]) {
        return RecordOk(Numbered("description", camera));
      },
      [](int camera, const VideoFormat& f) {
        return RecordOk(Numbered("format", camera) + " " + std::to_string(f.width) + "x" +
                        std::to_string(f.height) + "@" + std::to_string(f.frameRate));
      },
      [](int camera, int on) {
        return RecordOk(Numbered("enable", camera) + " " + std::to_string(on));
      },
      [](int camera, FrameHandler handler) {
        return RecordOk(Numbered("callback", camera) + (handler == &OnFrame ? " OnFrame" : ""));
      },
      [](int camera, const CameraWindow&) { return RecordOk(Numbered("window", camera)); },
      [] {
        Record("init");
        return gRecording.initResult;
      },
      [] { return RecordOk("start"); },
      [] { return RecordOk("stop"); },
      [] { return RecordOk("pause"); },
      [] { return RecordOk("resume"); },
      [] { return RecordOk("exit"); },
      [](int camera) { return RecordPages(Numbered("camera_pp", camera)); },
      [](int camera) { return RecordPages(Numbered("video_pp", camera)); },
  };
}

class SessionTest : public ArchiveTest {
 protected:
  void SetUp() override {
    ArchiveTest::SetUp();
    gRecording = {};
    SetCvcamCallsForTesting(RecordingCalls());
    now_ = AtLocal(2008, 8, 1, 21, 30, 0);
  }
  void TearDown() override {
    SetCvcamCallsForTesting(LibraryCvcamCalls());
    ArchiveTest::TearDown();
  }

  // Gives every session image some content, as a running session would have.
  static void FillSessionImages() {
    gSession.outputImage.create(4, 4, CV_8UC3);
    gFilter1.accumulator.create(4, 4, CV_8UC3);
    gFilter2.accumulator.create(4, 4, CV_8UC3);
  }
  static bool SessionImagesReleased() {
    return gSession.outputImage.empty() && gFilter1.accumulator.empty() &&
           gFilter2.accumulator.empty();
  }
};

TEST_F(SessionTest, StartRunsTheLibrarysSequenceAndCreatesTodaysFolders) {
  EXPECT_EQ(StartCapture(CameraWindow{}, 2, 640, 480, 20.0f), 1);
  EXPECT_EQ(gRecording.calls,
            (std::vector<std::string>{"count", "format 2 640x480@20.000000", "enable 2 1",
                                      "callback 2 OnFrame", "window 2", "init", "start"}));
  EXPECT_EQ(gSession.sessionCamera, 2);
  EXPECT_EQ(gSession.captureRunning, 1);
  EXPECT_EQ(gSession.processingEnabled, 1);
  EXPECT_TRUE(std::filesystem::is_directory(root_ / "2008/08/01/Cam3"));

  // A second start while running is refused without a library call.
  gRecording.calls.clear();
  EXPECT_EQ(StartCapture(CameraWindow{}, 0, 640, 480, 20.0f), 0);
  EXPECT_TRUE(gRecording.calls.empty());
  EXPECT_EQ(gSession.sessionCamera, 2);
}

TEST_F(SessionTest, FailedInitEndsTheLibraryAndChangesNothingElse) {
  gRecording.initResult = 0;
  EXPECT_EQ(StartCapture(CameraWindow{}, 1, 640, 480, 20.0f), 0);
  EXPECT_EQ(gRecording.calls.back(), "exit");
  EXPECT_EQ(gRecording.calls[gRecording.calls.size() - 2], "init");
  EXPECT_EQ(gSession.captureRunning, 0);
  EXPECT_EQ(gSession.processingEnabled, 0);
  EXPECT_TRUE(ArchivedFiles().empty());
  EXPECT_FALSE(std::filesystem::exists(root_));
}

TEST_F(SessionTest, StopEndsTheLibraryAndDropsTheStacksWhetherOrNotRunning) {
  // Nothing running: the calls are still made and nothing breaks.
  EXPECT_EQ(StopCapture(), 1);
  EXPECT_EQ(gRecording.calls, (std::vector<std::string>{"stop", "exit"}));

  StartCapture(CameraWindow{}, 0, 640, 480, 20.0f);
  FillSessionImages();
  gSession.snapshotRequested = 1;
  gRecording.calls.clear();
  EXPECT_EQ(StopCapture(), 1);
  EXPECT_EQ(gRecording.calls, (std::vector<std::string>{"stop", "exit"}));
  EXPECT_TRUE(SessionImagesReleased());
  EXPECT_EQ(gSession.captureRunning, 0);
  EXPECT_EQ(gSession.processingEnabled, 0);
  EXPECT_EQ(gSession.snapshotRequested, 1);  // served by the next session
  EXPECT_TRUE(ArchivedFiles().empty());      // stacks in progress are not written
}

TEST_F(SessionTest, PropertyPagesSuspendProcessingAndBeginNewStacks) {
  StartCapture(CameraWindow{}, 1, 640, 480, 20.0f);
  FillSessionImages();
  gRecording.calls.clear();
  EXPECT_EQ(ShowCameraProperties(1), 1);
  EXPECT_EQ(gRecording.processingDuringPages, 0);
  EXPECT_TRUE(SessionImagesReleased());
  EXPECT_EQ(gSession.processingEnabled, 1);

  FillSessionImages();
  EXPECT_EQ(ShowVideoProperties(1), 1);
  EXPECT_EQ(gRecording.calls, (std::vector<std::string>{"camera_pp 1", "video_pp 1"}));
  EXPECT_TRUE(SessionImagesReleased());
  EXPECT_TRUE(ArchivedFiles().empty());

  // With nothing running the pages still leave processing switched on; the
  // next start clears it again before the library is touched.
  StopCapture();
  ShowVideoProperties(0);
  EXPECT_EQ(gSession.processingEnabled, 1);
  EXPECT_EQ(gSession.captureRunning, 0);
}

}  // namespace
}  // namespace glintvane
