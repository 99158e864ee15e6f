#include "capture/camera_controls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <linux/videodev2.h>

namespace glintvane {
namespace {

constexpr char kUnnamedGroup[] = "Controls";
// A menu's range comes from the driver: a bogus one must not stall the pages.
constexpr std::int64_t kMostMenuItems = 256;
constexpr std::uint32_t kUnchangeable = V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_INACTIVE |
                                        V4L2_CTRL_FLAG_GRABBED | V4L2_CTRL_FLAG_DISABLED;

template <std::size_t N>
std::string Text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

template <std::size_t N>
std::string Text(const std::uint8_t (&field)[N]) {
  return Text(reinterpret_cast<const char(&)[N]>(field));
}

// The extended query, or the old one where the driver does not know the extended one.
// Compound controls are never asked for: without V4L2_CTRL_FLAG_NEXT_COMPOUND drivers skip them.
int QueryControl(const DeviceIoctl& device, v4l2_query_ext_ctrl& query) {
  std::uint32_t id = query.id;
  int error = device(VIDIOC_QUERY_EXT_CTRL, &query);
  if (error != ENOTTY) return error;
  v4l2_queryctrl old{};
  old.id = id;
  error = device(VIDIOC_QUERYCTRL, &old);
  if (error) return error;
  query = {};
  query.id = old.id;
  query.type = old.type;
  std::memcpy(query.name, old.name, sizeof query.name);
  query.minimum = old.minimum;
  query.maximum = old.maximum;
  query.step = std::uint32_t(old.step);
  query.default_value = old.default_value;
  query.flags = old.flags;
  return 0;
}

// Drivers may leave holes in a menu: the indices they refuse are no items.
std::vector<MenuItem> ReadMenu(const DeviceIoctl& device, const v4l2_query_ext_ctrl& query) {
  std::vector<MenuItem> items;
  std::int64_t last = std::min(query.maximum, query.minimum + kMostMenuItems - 1);
  for (std::int64_t index = query.minimum; index <= last; ++index) {
    v4l2_querymenu item{};
    item.id = query.id;
    item.index = std::uint32_t(index);
    if (device(VIDIOC_QUERYMENU, &item) != 0) continue;
    items.push_back({index, query.type == V4L2_CTRL_TYPE_INTEGER_MENU ? std::to_string(item.value)
                                                                      : Text(item.name)});
  }
  return items;
}

bool HasValue(const CameraControl& control) {
  return control.widget != ControlWidget::kPushButton &&
         !(control.flags & V4L2_CTRL_FLAG_WRITE_ONLY);
}

void ReadValue(const DeviceIoctl& device, CameraControl& control) {
  v4l2_control current{control.id, 0};
  if (HasValue(control) && device(VIDIOC_G_CTRL, &current) == 0) control.value = current.value;
}

int WriteValue(const DeviceIoctl& device, std::uint32_t id, std::int64_t value) {
  v4l2_control wanted{id, std::int32_t(value)};
  return device(VIDIOC_S_CTRL, &wanted);
}

CameraControl DescribeControl(const DeviceIoctl& device, const v4l2_query_ext_ctrl& query) {
  CameraControl control;
  control.id = query.id;
  control.name = Text(query.name);
  control.widget = WidgetForControlType(query.type);
  control.minimum = query.minimum;
  control.maximum = query.maximum;
  control.step = std::max<std::int64_t>(1, std::int64_t(query.step));
  control.defaultValue = control.value = query.default_value;
  control.flags = query.flags;
  if (control.widget == ControlWidget::kComboBox) control.menu = ReadMenu(device, query);
  ReadValue(device, control);
  return control;
}

void AddControl(const DeviceIoctl& device, const v4l2_query_ext_ctrl& query,
                std::vector<ControlGroup>& groups) {
  std::uint32_t controlClass = V4L2_CTRL_ID2CLASS(query.id);
  if (query.type == V4L2_CTRL_TYPE_CTRL_CLASS) {
    groups.push_back({controlClass, Text(query.name), {}});
    return;
  }
  if ((query.flags & V4L2_CTRL_FLAG_DISABLED) ||
      WidgetForControlType(query.type) == ControlWidget::kNone) {
    return;
  }
  // Old drivers give no class entries.
  if (groups.empty() || groups.back().controlClass != controlClass) {
    groups.push_back({controlClass, kUnnamedGroup, {}});
  }
  groups.back().controls.push_back(DescribeControl(device, query));
}

int RefreshControl(const DeviceIoctl& device, CameraControl& control) {
  v4l2_query_ext_ctrl query{};
  query.id = control.id;
  int error = QueryControl(device, query);
  if (error) return error;
  control.flags = query.flags;
  ReadValue(device, control);
  return 0;
}

int RefreshControls(const DeviceIoctl& device, std::vector<ControlGroup>& groups) {
  for (ControlGroup& group : groups) {
    for (CameraControl& control : group.controls) {
      if (int error = RefreshControl(device, control)) return error;
    }
  }
  return 0;
}

}  // namespace

ControlWidget WidgetForControlType(std::uint32_t type) {
  switch (type) {
    case V4L2_CTRL_TYPE_INTEGER:
      return ControlWidget::kSlider;
    case V4L2_CTRL_TYPE_BOOLEAN:
      return ControlWidget::kCheckBox;
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
      return ControlWidget::kComboBox;
    case V4L2_CTRL_TYPE_BUTTON:
      return ControlWidget::kPushButton;
    default:
      return ControlWidget::kNone;
  }
}

std::vector<ControlGroup> ListCameraControls(const DeviceIoctl& device) {
  std::vector<ControlGroup> groups;
  v4l2_query_ext_ctrl query{};
  query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
  while (QueryControl(device, query) == 0) {
    AddControl(device, query, groups);
    std::uint32_t next = query.id | V4L2_CTRL_FLAG_NEXT_CTRL;
    query = {};
    query.id = next;
  }
  std::erase_if(groups, [](const ControlGroup& group) { return group.controls.empty(); });
  return groups;
}

bool IsChangeable(const CameraControl& control) { return !(control.flags & kUnchangeable); }

int ChangeControl(const DeviceIoctl& device, std::vector<ControlGroup>& groups, std::uint32_t id,
                  std::int64_t value) {
  int error = WriteValue(device, id, value);
  int readError = RefreshControls(device, groups);
  return error ? error : readError;
}

int RestoreDefaults(const DeviceIoctl& device, std::vector<ControlGroup>& groups) {
  int firstError = 0;
  for (ControlGroup& group : groups) {
    for (CameraControl& control : group.controls) {
      int error = RefreshControl(device, control);
      if (!error && IsChangeable(control) && HasValue(control)) {
        error = WriteValue(device, control.id, control.defaultValue);
      }
      if (!firstError) firstError = error;
    }
  }
  int readError = RefreshControls(device, groups);
  return firstError ? firstError : readError;
}

}  // namespace glintvane
