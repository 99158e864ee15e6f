#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/camera_device.h"

namespace glintvane {

// The widget a device control becomes in the camera's property pages.
enum class ControlWidget {
  kNone,        // not shown: 64-bit integers, strings, bitmasks, compound controls
  kSlider,      // an integer, with a spin box beside it
  kCheckBox,    // a boolean
  kComboBox,    // a menu or an integer menu
  kPushButton,  // a button: setting it makes the device do something
};

struct MenuItem {
  std::int64_t index;  // the value the control takes
  std::string label;   // the item's name, or an integer menu's value as text
};

// A control as the device describes it, with its value as last read.
struct CameraControl {
  std::uint32_t id = 0;
  std::string name;
  ControlWidget widget = ControlWidget::kNone;
  std::int64_t minimum = 0, maximum = 0, step = 1, defaultValue = 0;
  std::uint32_t flags = 0;     // V4L2_CTRL_FLAG_*
  std::vector<MenuItem> menu;  // the items the device accepts, in index order; combo boxes only
  std::int64_t value = 0;      // the default for controls that cannot be read
};

// The controls of one control class, named by the class's own entry.
struct ControlGroup {
  std::uint32_t controlClass = 0;
  std::string name;
  std::vector<CameraControl> controls;
};

ControlWidget WidgetForControlType(std::uint32_t type);

// Every shown control of the device, grouped by control class in the device's order. Asks with
// VIDIOC_QUERY_EXT_CTRL, or VIDIOC_QUERYCTRL from a driver too old to know it. Disabled
// controls are left out.
std::vector<ControlGroup> ListCameraControls(const DeviceIoctl& device);

// False for read-only, inactive, grabbed and disabled controls.
bool IsChangeable(const CameraControl& control);

// Sets the control to `value`, then reads every control anew: the device may have kept or
// adjusted the value, and a change to one control may make others inactive or active again.
// Returns the error of the set, else of the reading.
int ChangeControl(const DeviceIoctl& device, std::vector<ControlGroup>& groups, std::uint32_t id,
                  std::int64_t value);

// Sets every changeable control to its default, in the device's order (an automatic mode
// going back to its default may make the control it governs inactive), then reads every
// control anew. Returns the first error.
int RestoreDefaults(const DeviceIoctl& device, std::vector<ControlGroup>& groups);

}  // namespace glintvane
