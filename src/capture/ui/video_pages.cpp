#include "capture/ui/video_pages.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardItemModel>

#include "capture/cvcam_library.h"
#include "capture/ui/page_frame.h"
#include "capture/video_formats.h"

namespace glintvane {
namespace {

const QString kPagesName = QStringLiteral("Video properties");

// What the open pages work on, shared by the handlers of their widgets.
struct VideoPages {
  int camera;
  DeviceIoctl device;
  std::vector<PixelFormatEntry> formats;
  std::vector<FrameSizeRange> sizes;          // of the chosen format
  std::vector<FrameIntervalRange> intervals;  // of the chosen size
  // Made with the pages; the dialog's layouts take them over.
  QComboBox* format = new QComboBox;
  QComboBox* sizeList = new QComboBox;  // discrete sizes
  QWidget* sizeRange = new QWidget;     // a stepwise or continuous range: width x height
  QSpinBox* width = new QSpinBox;
  QSpinBox* height = new QSpinBox;
  QComboBox* rateList = new QComboBox;             // discrete intervals
  QDoubleSpinBox* rateRange = new QDoubleSpinBox;  // a range of intervals, in frames per second
  QLabel* problem = nullptr;
};
using SharedPages = std::shared_ptr<VideoPages>;

bool IsSizeRange(const std::vector<FrameSizeRange>& sizes) {
  return sizes.size() == 1 && sizes[0].min != sizes[0].max;
}

bool IsRateRange(const std::vector<FrameIntervalRange>& intervals) {
  return intervals.size() == 1 && FrameRate(intervals[0].min) != FrameRate(intervals[0].max);
}

QString SizeLabel(cv::Size size) {
  return QStringLiteral("%1 \u00d7 %2").arg(size.width).arg(size.height);
}

QString FormatLabel(const PixelFormatEntry& format) {
  QString label =
      QStringLiteral("%1 (%2)").arg(QString::fromStdString(format.description),
                                    QString::fromStdString(FourccText(format.pixelFormat)));
  return format.usable ? label : label + QStringLiteral(" - not usable");
}

std::uint32_t ChosenPixelFormat(const VideoPages& pages) {
  return pages.format->currentData().toUInt();
}

cv::Size ChosenSize(const VideoPages& pages) {
  if (IsSizeRange(pages.sizes)) {
    return NearestFrameSize(pages.sizes, {pages.width->value(), pages.height->value()});
  }
  QSize size = pages.sizeList->currentData().toSize();
  return {size.width(), size.height()};
}

// 0, the device's own rate, when it lists none.
double ChosenRate(const VideoPages& pages) {
  if (IsRateRange(pages.intervals)) return pages.rateRange->value();
  return pages.rateList->currentData().toDouble();
}

CaptureMode ChosenMode(const VideoPages& pages) {
  return {ChosenPixelFormat(pages), ChosenSize(pages), ChosenRate(pages)};
}

void ListRates(VideoPages& pages, double wantedRate) {
  pages.intervals = ListFrameIntervals(pages.device, ChosenPixelFormat(pages), ChosenSize(pages));
  bool range = IsRateRange(pages.intervals);
  pages.rateList->setVisible(!range);
  pages.rateRange->setVisible(range);
  if (range) {
    pages.rateRange->setRange(FrameRate(pages.intervals[0].max), FrameRate(pages.intervals[0].min));
    pages.rateRange->setValue(wantedRate);
    return;
  }
  pages.rateList->clear();
  for (const FrameIntervalRange& interval : pages.intervals) {
    double rate = FrameRate(interval.min);
    pages.rateList->addItem(QString::fromStdString(FrameRateLabel(rate)), rate);
  }
  if (pages.intervals.empty()) return;
  double nearest = FrameRate(NearestFrameInterval(pages.intervals, wantedRate));
  pages.rateList->setCurrentIndex(pages.rateList->findData(nearest));
}

// A device that lists no sizes is offered the size it has.
void ListSizes(VideoPages& pages, cv::Size wantedSize, double wantedRate) {
  pages.sizes = ListFrameSizes(pages.device, ChosenPixelFormat(pages));
  if (pages.sizes.empty()) pages.sizes = {{wantedSize, wantedSize, {1, 1}}};
  cv::Size nearest = NearestFrameSize(pages.sizes, wantedSize);
  bool range = IsSizeRange(pages.sizes);
  pages.sizeList->setVisible(!range);
  pages.sizeRange->setVisible(range);
  QSignalBlocker quietList(pages.sizeList), quietWidth(pages.width), quietHeight(pages.height);
  if (range) {
    const FrameSizeRange& sizes = pages.sizes[0];
    pages.width->setRange(sizes.min.width, sizes.max.width);
    pages.height->setRange(sizes.min.height, sizes.max.height);
    pages.width->setSingleStep(sizes.step.width);
    pages.height->setSingleStep(sizes.step.height);
    pages.width->setValue(nearest.width);
    pages.height->setValue(nearest.height);
  } else {
    pages.sizeList->clear();
    for (const FrameSizeRange& size : pages.sizes) {
      pages.sizeList->addItem(SizeLabel(size.min), QSize(size.min.width, size.min.height));
    }
    pages.sizeList->setCurrentIndex(pages.sizeList->findData(QSize(nearest.width, nearest.height)));
  }
  ListRates(pages, wantedRate);
}

// Formats Glintvane cannot convert are shown but cannot be chosen.
void ListFormats(VideoPages& pages, std::uint32_t wanted) {
  auto* model = static_cast<QStandardItemModel*>(pages.format->model());
  int wantedRow = -1;
  for (const PixelFormatEntry& format : pages.formats) {
    pages.format->addItem(FormatLabel(format), format.pixelFormat);
    int row = pages.format->count() - 1;
    model->item(row)->setEnabled(format.usable);
    if (format.usable && (wantedRow < 0 || format.pixelFormat == wanted)) wantedRow = row;
  }
  pages.format->setCurrentIndex(wantedRow);
}

std::string ModeProblem(ModeChange change, int deviceError) {
  switch (change) {
    case ModeChange::kSwitched:
      return {};
    case ModeChange::kRefused:
      return "The camera did not take this format: it carries on in the one it had.";
    case ModeChange::kLost:
    case ModeChange::kNoCamera:
      return DeviceErrorText(ENODEV);
    case ModeChange::kRemembered:
      if (deviceError == EBUSY) {
        return "The camera is in use by another program: its format cannot be set now. "
               "Glintvane asks for this one when it starts capturing.";
      }
      return DeviceErrorText(deviceError);
  }
  return {};
}

bool Apply(VideoPages& pages) {
  CaptureMode mode = ChosenMode(pages);
  ModeChange change = SetCaptureMode(pages.camera, mode);
  int deviceError = change == ModeChange::kRemembered ? ApplyCaptureMode(pages.device, mode) : 0;
  std::string problem = ModeProblem(change, deviceError);
  ShowProblem(pages.problem, problem);
  return problem.empty();
}

QWidget* SizeField(VideoPages& pages) {
  auto* field = new QWidget;
  auto* row = new QHBoxLayout(field);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(pages.sizeList, 1);
  auto* range = new QHBoxLayout(pages.sizeRange);
  range->setContentsMargins(0, 0, 0, 0);
  range->addWidget(pages.width, 1);
  range->addWidget(new QLabel(QStringLiteral("\u00d7")));
  range->addWidget(pages.height, 1);
  row->addWidget(pages.sizeRange, 1);
  return field;
}

QWidget* RateField(VideoPages& pages) {
  auto* field = new QWidget;
  auto* row = new QHBoxLayout(field);
  row->setContentsMargins(0, 0, 0, 0);
  pages.rateList->setPlaceholderText(QStringLiteral("The camera's own"));
  pages.rateRange->setSuffix(QStringLiteral(" fps"));
  pages.rateRange->setDecimals(2);
  row->addWidget(pages.rateList, 1);
  row->addWidget(pages.rateRange, 1);
  return field;
}

void NameWidgets(VideoPages& pages) {
  pages.format->setObjectName("pixelFormat");
  pages.sizeList->setObjectName("frameSize");
  pages.width->setObjectName("frameWidth");
  pages.height->setObjectName("frameHeight");
  pages.rateList->setObjectName("frameRate");
  pages.rateRange->setObjectName("frameRateRange");
}

void ConnectWidgets(const SharedPages& pages, QDialog* dialog) {
  QObject::connect(pages->format, &QComboBox::currentIndexChanged, dialog, [pages] {
    // Read before the new format's lists replace the ones it is read from.
    cv::Size size = ChosenSize(*pages);
    ListSizes(*pages, size, ChosenRate(*pages));
  });
  auto listRates = [pages] { ListRates(*pages, ChosenRate(*pages)); };
  QObject::connect(pages->sizeList, &QComboBox::currentIndexChanged, dialog, listRates);
  QObject::connect(pages->width, &QSpinBox::valueChanged, dialog, listRates);
  QObject::connect(pages->height, &QSpinBox::valueChanged, dialog, listRates);
}

}  // namespace

std::unique_ptr<QDialog> CreateVideoPages(int camera, CameraDevice device, QWidget* parent) {
  if (!device.ioctl) {
    return MessagePages(camera, kPagesName, DeviceErrorText(device.openError), parent);
  }
  std::vector<PixelFormatEntry> formats = ListPixelFormats(device.ioctl);
  if (std::none_of(formats.begin(), formats.end(), [](const auto& f) { return f.usable; })) {
    return MessagePages(camera, kPagesName, "The camera offers no video format Glintvane can use.",
                        parent);
  }
  PagesFrame frame = CreatePagesFrame(
      camera, kPagesName, QDialogButtonBox::Ok | QDialogButtonBox::Apply | QDialogButtonBox::Cancel,
      parent);
  auto pages = std::make_shared<VideoPages>();
  pages->camera = camera;
  pages->device = std::move(device.ioctl);
  pages->formats = std::move(formats);
  pages->problem = frame.problem;
  NameWidgets(*pages);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Pixel format"), pages->format);
  form->addRow(QStringLiteral("Frame size"), SizeField(*pages));
  form->addRow(QStringLiteral("Frame rate"), RateField(*pages));
  frame.content->addLayout(form);
  frame.content->addStretch(1);

  std::optional<CaptureMode> start = CaptureModeOf(camera);
  if (!start) start = CurrentDeviceMode(pages->device);
  CaptureMode wanted = start.value_or(CaptureMode{0, {0, 0}, 0});
  ListFormats(*pages, wanted.pixelFormat);
  ListSizes(*pages, wanted.size, wanted.frameRate);
  ConnectWidgets(pages, frame.dialog.get());

  QDialog* dialog = frame.dialog.get();
  QObject::connect(frame.buttons, &QDialogButtonBox::accepted, dialog, [pages, dialog] {
    if (Apply(*pages)) dialog->accept();
  });
  QObject::connect(frame.buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, dialog,
                   [pages] { Apply(*pages); });
  return std::move(frame.dialog);
}

}  // namespace glintvane
