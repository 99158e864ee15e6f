#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <linux/videodev2.h>

#include "capture/camera_device.h"

namespace glintvane {

// A V4L2 camera in memory that answers as a USB camera's driver would: values are clamped to
// their range, menus refuse their holes, read-only controls refuse to be set, and manual
// exposure makes the exposure time active.

struct FakeControl {
  std::uint32_t id, type;
  std::string name;
  std::int64_t minimum = 0, maximum = 0, defaultValue = 0;
  std::int32_t value = 0;
  std::uint32_t flags = 0;
  std::map<std::uint32_t, std::string> menu = {};  // items by index; an integer menu's are numbers
  std::int64_t step = 1;
};

struct FakeFormat {
  std::uint32_t pixelFormat;
  std::string description;
  std::vector<v4l2_frmsizeenum> sizes;      // index aside
  std::vector<v4l2_frmivalenum> intervals;  // offered at every size, index aside
};

struct FakeV4l2Device {
  std::vector<FakeControl> controls;  // in the order of their ids
  std::vector<FakeFormat> formats;
  bool knowsExtendedQuery = true;    // false: an old driver that answers only VIDIOC_QUERYCTRL
  std::uint32_t refusedControl = 0;  // setting it fails with EIO
  int goneError = 0;                 // what every request fails with once the camera has gone
  std::vector<std::pair<std::uint32_t, std::int32_t>> sets;  // every VIDIOC_S_CTRL taken
};

// Its controls are listed in ExampleCamera. Formats: YUYV at 640x480 and 1280x720 at 29.97 and
// 5 fps; MJPG stepwise from 160x120 to 1920x1080 at 1 to 60 fps; H.264.
std::shared_ptr<FakeV4l2Device> ExampleCamera();

FakeControl& FakeControlOf(FakeV4l2Device& device, std::uint32_t id);

DeviceIoctl FakeIoctl(std::shared_ptr<FakeV4l2Device> device);

}  // namespace glintvane
