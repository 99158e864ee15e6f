#include "fake_v4l2_device.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace glintvane {
namespace {

FakeControl* Find(FakeV4l2Device& device, std::uint32_t asked) {
  std::uint32_t id = asked & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
  for (FakeControl& control : device.controls) {
    if ((asked & V4L2_CTRL_FLAG_NEXT_CTRL) ? control.id > id : control.id == id) return &control;
  }
  return nullptr;
}

template <std::size_t N, typename Char>
void CopyText(Char (&field)[N], const std::string& text) {
  std::snprintf(reinterpret_cast<char*>(field), N, "%s", text.c_str());
}

// Answers VIDIOC_QUERY_EXT_CTRL or VIDIOC_QUERYCTRL, whose fields share their names.
template <typename Query>
int Describe(const FakeControl* control, Query& query) {
  if (!control) return EINVAL;
  query.id = control->id;
  query.type = control->type;
  CopyText(query.name, control->name);
  query.minimum = control->minimum;
  query.maximum = control->maximum;
  query.step = control->step;
  query.default_value = control->defaultValue;
  query.flags = control->flags;
  return 0;
}

int SetControl(FakeV4l2Device& device, FakeControl& control, std::int32_t value) {
  if (control.flags & V4L2_CTRL_FLAG_READ_ONLY) return EACCES;
  if (control.id == device.refusedControl) return EIO;
  if (!control.menu.empty() && !control.menu.count(value)) return EINVAL;
  control.value = std::int32_t(std::clamp<std::int64_t>(value, control.minimum, control.maximum));
  device.sets.emplace_back(control.id, control.value);
  if (control.id == V4L2_CID_EXPOSURE_AUTO) {
    std::uint32_t& flags = FakeControlOf(device, V4L2_CID_EXPOSURE_ABSOLUTE).flags;
    flags = control.value == V4L2_EXPOSURE_MANUAL ? flags & ~V4L2_CTRL_FLAG_INACTIVE
                                                  : flags | V4L2_CTRL_FLAG_INACTIVE;
  }
  return 0;
}

// Answers with the format's `index`th size or interval, keeping the fields it was asked with.
template <typename Entry>
int Enumerate(FakeV4l2Device& device, Entry& asked, std::vector<Entry> FakeFormat::*entries) {
  for (const FakeFormat& format : device.formats) {
    if (format.pixelFormat != asked.pixel_format) continue;
    if (asked.index >= (format.*entries).size()) return EINVAL;
    const Entry& answer = (format.*entries)[asked.index];
    asked.type = answer.type;
    std::memcpy(&asked.stepwise, &answer.stepwise, sizeof asked.stepwise);  // or discrete
    return 0;
  }
  return EINVAL;
}

template <typename T>
T& As(void* argument) {
  return *static_cast<T*>(argument);
}

int Answer(FakeV4l2Device& device, unsigned long request, void* argument) {
  if (device.goneError) return device.goneError;
  // Every control request begins with the control's id.
  FakeControl* control = Find(device, As<std::uint32_t>(argument));
  switch (request) {
    case VIDIOC_QUERY_EXT_CTRL:
      if (!device.knowsExtendedQuery) return ENOTTY;
      return Describe(control, As<v4l2_query_ext_ctrl>(argument));
    case VIDIOC_QUERYCTRL:
      return Describe(control, As<v4l2_queryctrl>(argument));
    case VIDIOC_QUERYMENU: {
      auto& item = As<v4l2_querymenu>(argument);
      if (!control || !control->menu.count(item.index)) return EINVAL;
      const std::string& text = control->menu[item.index];
      if (control->type == V4L2_CTRL_TYPE_INTEGER_MENU) {
        item.value = std::stoll(text);
      } else {
        std::snprintf(reinterpret_cast<char*>(item.name), sizeof item.name, "%s", text.c_str());
      }
      return 0;
    }
    case VIDIOC_G_CTRL:
      if (!control) return EINVAL;
      As<v4l2_control>(argument).value = control->value;
      return 0;
    case VIDIOC_S_CTRL:
      return control ? SetControl(device, *control, As<v4l2_control>(argument).value) : EINVAL;
    case VIDIOC_ENUM_FMT: {
      auto& format = As<v4l2_fmtdesc>(argument);
      if (format.index >= device.formats.size()) return EINVAL;
      format.pixelformat = device.formats[format.index].pixelFormat;
      CopyText(format.description, device.formats[format.index].description);
      return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES:
      return Enumerate(device, As<v4l2_frmsizeenum>(argument), &FakeFormat::sizes);
    case VIDIOC_ENUM_FRAMEINTERVALS:
      return Enumerate(device, As<v4l2_frmivalenum>(argument), &FakeFormat::intervals);
    default:
      return ENOTTY;
  }
}

std::vector<FakeFormat> ExampleFormats() {
  v4l2_frmsizeenum vga{}, hd{}, sizes{};
  vga.type = hd.type = V4L2_FRMSIZE_TYPE_DISCRETE;
  vga.discrete = {640, 480};
  hd.discrete = {1280, 720};
  sizes.type = V4L2_FRMSIZE_TYPE_STEPWISE;
  sizes.stepwise = {160, 1920, 16, 120, 1080, 8};
  v4l2_frmivalenum ntsc{}, slow{}, rates{};
  ntsc.type = slow.type = V4L2_FRMIVAL_TYPE_DISCRETE;
  ntsc.discrete = {1001, 30000};
  slow.discrete = {1, 5};
  rates.type = V4L2_FRMIVAL_TYPE_STEPWISE;
  rates.stepwise = {{1, 60}, {1, 1}, {1, 60}};
  return {{V4L2_PIX_FMT_YUYV, "YUYV 4:2:2", {vga, hd}, {ntsc, slow}},
          {V4L2_PIX_FMT_MJPEG, "Motion-JPEG", {sizes}, {rates}},
          {V4L2_PIX_FMT_H264, "H.264", {hd}, {ntsc}}};
}

}  // namespace

std::shared_ptr<FakeV4l2Device> ExampleCamera() {
  constexpr std::uint32_t kClass = V4L2_CTRL_TYPE_CTRL_CLASS, kInteger = V4L2_CTRL_TYPE_INTEGER,
                          kMenu = V4L2_CTRL_TYPE_MENU, kReadOnly = V4L2_CTRL_FLAG_READ_ONLY;
  auto device = std::make_shared<FakeV4l2Device>();
  device->controls = {
      {V4L2_CID_USER_CLASS, kClass, "User Controls"},
      {V4L2_CID_BRIGHTNESS, kInteger, "Brightness", -64, 64, 0, 10},
      {V4L2_CID_CONTRAST, kInteger, "Contrast", 0, 100, 50, 50, 0, {}, 5},
      {V4L2_CID_SATURATION, kInteger, "Hidden", 0, 1, 0, 0, V4L2_CTRL_FLAG_DISABLED},
      {V4L2_CID_AUTO_WHITE_BALANCE, V4L2_CTRL_TYPE_BOOLEAN, "White Balance, Automatic", 0, 1, 1, 1},
      {V4L2_CID_DO_WHITE_BALANCE, V4L2_CTRL_TYPE_BUTTON, "Do White Balance", 0, 0, 0, 0,
       V4L2_CTRL_FLAG_WRITE_ONLY},
      {V4L2_CID_POWER_LINE_FREQUENCY, kMenu, "Power Line Frequency", 0, 3, 1, 1},
      {V4L2_CID_CAMERA_CLASS, kClass, "Camera Controls"},
      {V4L2_CID_EXPOSURE_AUTO, kMenu, "Auto Exposure", 0, 3, 3, 3},
      {V4L2_CID_EXPOSURE_ABSOLUTE, kInteger, "Exposure Time, Absolute", 3, 2047, 250, 250,
       V4L2_CTRL_FLAG_INACTIVE},
      {V4L2_CID_FOCUS_ABSOLUTE, kInteger, "Focus, Absolute", 0, 255, 0, 40, kReadOnly},
      {V4L2_CID_IMAGE_PROC_CLASS, kClass, "Image Processing Controls"},
      {V4L2_CID_LINK_FREQ, V4L2_CTRL_TYPE_INTEGER_MENU, "Link Frequency", 0, 1, 0, 0, kReadOnly},
      {V4L2_CID_PIXEL_RATE, V4L2_CTRL_TYPE_INTEGER64, "Pixel Rate", 0, 1LL << 40, 1LL << 33, 0,
       kReadOnly},
  };
  FakeControlOf(*device, V4L2_CID_POWER_LINE_FREQUENCY).menu = {
      {0, "Disabled"}, {1, "50 Hz"}, {3, "Auto"}};
  FakeControlOf(*device, V4L2_CID_EXPOSURE_AUTO).menu = {{1, "Manual"}, {3, "Aperture Priority"}};
  FakeControlOf(*device, V4L2_CID_LINK_FREQ).menu = {{0, "456000000"}, {1, "8000000000"}};
  device->formats = ExampleFormats();
  return device;
}

FakeControl& FakeControlOf(FakeV4l2Device& device, std::uint32_t id) { return *Find(device, id); }

DeviceIoctl FakeIoctl(std::shared_ptr<FakeV4l2Device> device) {
  return [device](unsigned long request, void* argument) {
    return Answer(*device, request, argument);
  };
}

}  // namespace glintvane
