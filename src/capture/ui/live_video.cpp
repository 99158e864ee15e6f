#include "capture/ui/live_video.h"

#include <memory>
#include <mutex>

#include <immintrin.h>

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace glintvane {
namespace {

const QColor kLetterboxColor(12, 12, 16);

// The latest frame on its way from the capture thread to the screen.
struct FrameSlot {
  std::mutex mutex;
  cv::Mat frame;               // BGRA, which Qt paints unconverted; its memory is reused
  bool fresh = false;          // `frame` holds a frame not yet taken for display
  bool cleared = false;        // the session ended since the last take
  bool repaintQueued = false;  // a repaint is on its way; it takes whatever is latest
  QWidget* video = nullptr;    // null once the video area is gone
};

// Qt hands painting only to the widget itself.
class VideoArea : public QWidget {
 public:
  VideoArea() : slot(std::make_shared<FrameSlot>()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    slot->video = this;
  }
  ~VideoArea() override {
    // Once this returns, no repaint is asked of the area; those already queued go with it.
    std::lock_guard lock(slot->mutex);
    slot->video = nullptr;
  }

  const std::shared_ptr<FrameSlot> slot;
  // Only the GUI thread touches these: the frame on screen, and it scaled to the area, remade
  // when either changes. OpenCV scales it because Qt's smooth scaling costs several times more.
  cv::Mat shown, fitted;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Swaps rather than copies: the slot gets the old buffer back to copy the next frame into.
// True when a new frame was taken.
bool TakeLatestFrame(FrameSlot& slot, cv::Mat& shown) {
  std::lock_guard lock(slot.mutex);
  slot.repaintQueued = false;
  if (slot.cleared) shown.release();
  slot.cleared = false;
  bool taken = slot.fresh;
  if (taken) cv::swap(shown, slot.frame);
  slot.fresh = false;
  return taken;
}

QRect FittedRect(QSize frame, const QRect& area) {
  QSize fitted = frame.scaled(area.size(), Qt::KeepAspectRatio);
  QRect target(QPoint(), fitted);
  target.moveCenter(area.center());
  return target;
}

// Qt's painting leaves the upper halves of the AVX registers dirty, and the GUI thread keeps
// them so from one paint to the next; OpenCV's scaling then runs about three times slower.
// Clearing them first costs one instruction.
__attribute__((target("avx"))) void ClearUpperVectorState() { _mm256_zeroupper(); }

// Scales anew only for a new frame or a new area size.
void FitFrame(const cv::Mat& frame, const QRect& target, bool newFrame, cv::Mat& fitted) {
  cv::Size size(target.width(), target.height());
  if (!newFrame && fitted.size() == size) return;
  ClearUpperVectorState();
  cv::resize(frame, fitted, size, 0, 0, cv::INTER_LINEAR);
}

void VideoArea::paintEvent(QPaintEvent*) {
  bool taken = TakeLatestFrame(*slot, shown);
  if (shown.empty()) {
    QPainter(this).fillRect(rect(), palette().window());
    return;
  }
  QRect target = FittedRect(QSize(shown.cols, shown.rows), rect());
  // A window squeezed flat has no room for the frame.
  if (!target.isEmpty()) FitFrame(shown, target, taken, fitted);
  QPainter painter(this);
  for (const QRect& bar : QRegion(rect()).subtracted(target)) {
    painter.fillRect(bar, kLetterboxColor);
  }
  if (target.isEmpty()) return;
  painter.drawImage(target.topLeft(), QImage(fitted.data, fitted.cols, fitted.rows,
                                             int(fitted.step), QImage::Format_RGB32));
}

// Called with the slot locked.
void RequestRepaint(FrameSlot& slot) {
  if (slot.repaintQueued || !slot.video) return;
  slot.repaintQueued = true;
  QMetaObject::invokeMethod(slot.video, "update", Qt::QueuedConnection);
}

void ShowFrame(FrameSlot& slot, const cv::Mat& upright) {
  std::lock_guard lock(slot.mutex);
  if (!slot.video) return;
  cv::cvtColor(upright, slot.frame, cv::COLOR_BGR2BGRA);
  slot.fresh = true;
  RequestRepaint(slot);
}

void Clear(FrameSlot& slot) {
  std::lock_guard lock(slot.mutex);
  slot.frame.release();
  slot.fresh = false;
  slot.cleared = true;
  RequestRepaint(slot);
}

VideoArea* VideoAreaOf(QMainWindow* window) {
  if (auto* area = dynamic_cast<VideoArea*>(window->centralWidget())) return area;
  auto* area = new VideoArea;
  window->setCentralWidget(area);
  return area;
}

}  // namespace

CameraWindow LiveVideoWindow(QMainWindow* window) {
  std::shared_ptr<FrameSlot> slot = VideoAreaOf(window)->slot;
  return {[slot](const cv::Mat& upright) { ShowFrame(*slot, upright); }, [slot] { Clear(*slot); }};
}

}  // namespace glintvane
