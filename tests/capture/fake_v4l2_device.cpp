#include "fake_v4l2_device.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace glintvane {
namespace {

constexpr std::uint32_t kNextFlags = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;

FakeControl Control(std::uint32_t id, std::uint32_t type, const char* name, std::int64_t minimum,
                    std::int64_t maximum, std::uint64_t step, std::int64_t defaultValue,
                    std::int32_t value, std::uint32_t flags = 0) {
  FakeControl control{};
  control.description.id = id;
  control.description.type = type;
  std::strncpy(control.description.name, name, sizeof control.description.name - 1);
  control.description.minimum = minimum;
  control.description.maximum = maximum;
  control.description.step = step;
  control.description.default_value = defaultValue;
  control.description.flags = flags;
  control.value = value;
  return control;
}

FakeControl ClassEntry(std::uint32_t id, const char* name) {
  return Control(id, V4L2_CTRL_TYPE_CTRL_CLASS, name, 0, 0, 0, 0, 0,
                 V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY);
}

v4l2_frmsizeenum DiscreteSize(std::uint32_t width, std::uint32_t height) {
  v4l2_frmsizeenum size{};
  size.type = V4L2_FRMSIZE_TYPE_DISCRETE;
  size.discrete = {width, height};
  return size;
}

v4l2_frmivalenum DiscreteInterval(std::uint32_t numerator, std::uint32_t denominator) {
  v4l2_frmivalenum interval{};
  interval.type = V4L2_FRMIVAL_TYPE_DISCRETE;
  interval.discrete = {numerator, denominator};
  return interval;
}

FakeControl* Find(FakeV4l2Device& device, std::uint32_t requestedId) {
  std::uint32_t id = requestedId & ~kNextFlags;
  auto found = std::find_if(device.controls.begin(), device.controls.end(), [&](auto& control) {
    return (requestedId & V4L2_CTRL_FLAG_NEXT_CTRL) ? control.description.id > id
                                                    : control.description.id == id;
  });
  return found == device.controls.end() ? nullptr : &*found;
}

FakeFormat* FindFormat(FakeV4l2Device& device, std::uint32_t pixelFormat) {
  auto found = std::find_if(device.formats.begin(), device.formats.end(),
                            [&](const FakeFormat& f) { return f.pixelFormat == pixelFormat; });
  return found == device.formats.end() ? nullptr : &*found;
}

int QueryExtended(FakeV4l2Device& device, v4l2_query_ext_ctrl& query) {
  if (!device.knowsExtendedQuery) return ENOTTY;
  FakeControl* control = Find(device, query.id);
  if (!control) return EINVAL;
  query = control->description;
  return 0;
}

int QueryOld(FakeV4l2Device& device, v4l2_queryctrl& query) {
  FakeControl* control = Find(device, query.id);
  if (!control) return EINVAL;
  const v4l2_query_ext_ctrl& d = control->description;
  query.id = d.id;
  query.type = d.type;
  std::memcpy(query.name, d.name, sizeof query.name);
  query.minimum = std::int32_t(d.minimum);
  query.maximum = std::int32_t(d.maximum);
  query.step = std::int32_t(d.step);
  query.default_value = std::int32_t(d.default_value);
  query.flags = d.flags;
  return 0;
}

int QueryMenu(FakeV4l2Device& device, v4l2_querymenu& item) {
  FakeControl* control = Find(device, item.id);
  if (!control) return EINVAL;
  if (auto name = control->menuNames.find(item.index); name != control->menuNames.end()) {
    std::strncpy(reinterpret_cast<char*>(item.name), name->second.c_str(), sizeof item.name - 1);
    return 0;
  }
  if (auto value = control->menuValues.find(item.index); value != control->menuValues.end()) {
    item.value = value->second;
    return 0;
  }
  return EINVAL;
}

int GetControl(FakeV4l2Device& device, v4l2_control& value) {
  FakeControl* control = Find(device, value.id);
  if (!control) return EINVAL;
  if (control->description.flags & V4L2_CTRL_FLAG_WRITE_ONLY) return EACCES;
  value.value = control->value;
  return 0;
}

std::int32_t Clamped(const v4l2_query_ext_ctrl& d, std::int32_t value) {
  std::int64_t clamped = std::clamp<std::int64_t>(value, d.minimum, d.maximum);
  std::int64_t step = std::max<std::int64_t>(1, std::int64_t(d.step));
  return std::int32_t(d.minimum + (clamped - d.minimum) / step * step);
}

int SetControl(FakeV4l2Device& device, const v4l2_control& value) {
  FakeControl* control = Find(device, value.id);
  if (!control) return EINVAL;
  if (control->description.flags & V4L2_CTRL_FLAG_READ_ONLY) return EACCES;
  if (value.id == device.refusedControl) return EIO;
  bool isMenu = !control->menuNames.empty() || !control->menuValues.empty();
  if (isMenu && !control->menuNames.count(value.value) && !control->menuValues.count(value.value)) {
    return EINVAL;
  }
  control->value = Clamped(control->description, value.value);
  device.sets.emplace_back(value.id, control->value);
  if (value.id == V4L2_CID_EXPOSURE_AUTO) {
    std::uint32_t& flags = FakeControlOf(device, V4L2_CID_EXPOSURE_ABSOLUTE).description.flags;
    flags = control->value == V4L2_EXPOSURE_MANUAL ? flags & ~V4L2_CTRL_FLAG_INACTIVE
                                                   : flags | V4L2_CTRL_FLAG_INACTIVE;
  }
  return 0;
}

int EnumerateFormat(FakeV4l2Device& device, v4l2_fmtdesc& format) {
  if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || format.index >= device.formats.size()) {
    return EINVAL;
  }
  const FakeFormat& fake = device.formats[format.index];
  format.pixelformat = fake.pixelFormat;
  std::strncpy(reinterpret_cast<char*>(format.description), fake.description.c_str(),
               sizeof format.description - 1);
  return 0;
}

int EnumerateSize(FakeV4l2Device& device, v4l2_frmsizeenum& size) {
  FakeFormat* format = FindFormat(device, size.pixel_format);
  if (!format || size.index >= format->sizes.size()) return EINVAL;
  std::uint32_t index = size.index;
  size = format->sizes[index];
  size.index = index;
  size.pixel_format = format->pixelFormat;
  return 0;
}

int EnumerateInterval(FakeV4l2Device& device, v4l2_frmivalenum& interval) {
  FakeFormat* format = FindFormat(device, interval.pixel_format);
  if (!format || interval.index >= format->intervals.size()) return EINVAL;
  v4l2_frmivalenum asked = interval;
  interval = format->intervals[asked.index];
  interval.index = asked.index;
  interval.pixel_format = asked.pixel_format;
  interval.width = asked.width;
  interval.height = asked.height;
  return 0;
}

int SetFormat(FakeV4l2Device& device, v4l2_format& format) {
  if (device.formatError) return device.formatError;
  if (!FindFormat(device, format.fmt.pix.pixelformat)) return EINVAL;
  device.format = format.fmt.pix;
  return 0;
}

int StreamParameters(FakeV4l2Device& device, v4l2_streamparm& parameters, bool set) {
  if (set) device.interval = parameters.parm.capture.timeperframe;
  parameters.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
  parameters.parm.capture.timeperframe = device.interval;
  return 0;
}

int Answer(FakeV4l2Device& device, unsigned long request, void* argument) {
  if (device.goneError) return device.goneError;
  switch (request) {
    case VIDIOC_QUERY_EXT_CTRL:
      return QueryExtended(device, *static_cast<v4l2_query_ext_ctrl*>(argument));
    case VIDIOC_QUERYCTRL:
      return QueryOld(device, *static_cast<v4l2_queryctrl*>(argument));
    case VIDIOC_QUERYMENU:
      return QueryMenu(device, *static_cast<v4l2_querymenu*>(argument));
    case VIDIOC_G_CTRL:
      return GetControl(device, *static_cast<v4l2_control*>(argument));
    case VIDIOC_S_CTRL:
      return SetControl(device, *static_cast<v4l2_control*>(argument));
    case VIDIOC_ENUM_FMT:
      return EnumerateFormat(device, *static_cast<v4l2_fmtdesc*>(argument));
    case VIDIOC_ENUM_FRAMESIZES:
      return EnumerateSize(device, *static_cast<v4l2_frmsizeenum*>(argument));
    case VIDIOC_ENUM_FRAMEINTERVALS:
      return EnumerateInterval(device, *static_cast<v4l2_frmivalenum*>(argument));
    case VIDIOC_G_FMT:
      static_cast<v4l2_format*>(argument)->fmt.pix = device.format;
      return 0;
    case VIDIOC_S_FMT:
      return SetFormat(device, *static_cast<v4l2_format*>(argument));
    case VIDIOC_G_PARM:
      return StreamParameters(device, *static_cast<v4l2_streamparm*>(argument), false);
    case VIDIOC_S_PARM:
      return StreamParameters(device, *static_cast<v4l2_streamparm*>(argument), true);
    default:
      return ENOTTY;
  }
}

std::vector<FakeControl> ExampleControls() {
  FakeControl powerLine = Control(V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CTRL_TYPE_MENU,
                                  "Power Line Frequency", 0, 3, 1, 1, 1);
  powerLine.menuNames = {{0, "Disabled"}, {1, "50 Hz"}, {3, "Auto"}};
  FakeControl autoExposure =
      Control(V4L2_CID_EXPOSURE_AUTO, V4L2_CTRL_TYPE_MENU, "Auto Exposure", 0, 3, 1, 3, 3);
  autoExposure.menuNames = {{1, "Manual Mode"}, {3, "Aperture Priority Mode"}};
  FakeControl linkFrequency = Control(V4L2_CID_LINK_FREQ, V4L2_CTRL_TYPE_INTEGER_MENU,
                                      "Link Frequency", 0, 1, 1, 0, 0, V4L2_CTRL_FLAG_READ_ONLY);
  linkFrequency.menuValues = {{0, 456000000}, {1, 8000000000}};
  return {
      ClassEntry(V4L2_CID_USER_CLASS, "User Controls"),
      Control(V4L2_CID_BRIGHTNESS, V4L2_CTRL_TYPE_INTEGER, "Brightness", -64, 64, 1, 0, 10),
      Control(V4L2_CID_CONTRAST, V4L2_CTRL_TYPE_INTEGER, "Contrast", 0, 100, 5, 50, 50),
      Control(V4L2_CID_SATURATION, V4L2_CTRL_TYPE_INTEGER, "Hidden", 0, 1, 1, 0, 0,
              V4L2_CTRL_FLAG_DISABLED),
      Control(V4L2_CID_AUTO_WHITE_BALANCE, V4L2_CTRL_TYPE_BOOLEAN, "White Balance, Automatic", 0, 1,
              1, 1, 1),
      Control(V4L2_CID_DO_WHITE_BALANCE, V4L2_CTRL_TYPE_BUTTON, "Do White Balance", 0, 0, 0, 0, 0,
              V4L2_CTRL_FLAG_WRITE_ONLY),
      powerLine,
      ClassEntry(V4L2_CID_CAMERA_CLASS, "Camera Controls"),
      autoExposure,
      Control(V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, "Exposure Time, Absolute", 3,
              2047, 1, 250, 250, V4L2_CTRL_FLAG_INACTIVE),
      Control(V4L2_CID_FOCUS_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, "Focus, Absolute", 0, 255, 1, 0, 40,
              V4L2_CTRL_FLAG_READ_ONLY),
      ClassEntry(V4L2_CID_IMAGE_PROC_CLASS, "Image Processing Controls"),
      linkFrequency,
      Control(V4L2_CID_PIXEL_RATE, V4L2_CTRL_TYPE_INTEGER64, "Pixel Rate", 0, 1LL << 40, 1,
              1LL << 33, 0, V4L2_CTRL_FLAG_READ_ONLY),
  };
}

std::vector<FakeFormat> ExampleFormats() {
  v4l2_frmsizeenum stepwise{};
  stepwise.type = V4L2_FRMSIZE_TYPE_STEPWISE;
  stepwise.stepwise = {160, 1920, 16, 120, 1080, 8};
  v4l2_frmivalenum rateRange{};
  rateRange.type = V4L2_FRMIVAL_TYPE_STEPWISE;
  rateRange.stepwise = {{1, 60}, {1, 1}, {1, 60}};
  return {
      {V4L2_PIX_FMT_YUYV,
       "YUYV 4:2:2",
       {DiscreteSize(640, 480), DiscreteSize(1280, 720), DiscreteSize(320, 240)},
       {DiscreteInterval(1001, 30000), DiscreteInterval(1, 15), DiscreteInterval(1, 5)}},
      {V4L2_PIX_FMT_MJPEG, "Motion-JPEG", {stepwise}, {rateRange}},
      {V4L2_PIX_FMT_H264, "H.264", {DiscreteSize(1920, 1080)}, {DiscreteInterval(1, 30)}},
  };
}

}  // namespace

std::shared_ptr<FakeV4l2Device> ExampleCamera() {
  auto device = std::make_shared<FakeV4l2Device>();
  device->controls = ExampleControls();
  device->formats = ExampleFormats();
  device->format.width = 640;
  device->format.height = 480;
  device->format.pixelformat = V4L2_PIX_FMT_YUYV;
  return device;
}

FakeControl& FakeControlOf(FakeV4l2Device& device, std::uint32_t id) { return *Find(device, id); }

DeviceIoctl FakeIoctl(std::shared_ptr<FakeV4l2Device> device) {
  return [device](unsigned long request, void* argument) {
    return Answer(*device, request, argument);
  };
}

}  // namespace glintvane
