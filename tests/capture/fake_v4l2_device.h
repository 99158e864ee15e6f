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

// A V4L2 camera in memory that answers the requests of the property pages as a USB camera's
// driver would: values are clamped to their range, menus refuse their holes, read-only controls
// refuse to be set, and choosing manual exposure makes the exposure time active.

struct FakeControl {
  v4l2_query_ext_ctrl description;
  std::int32_t value;
  std::map<std::uint32_t, std::string> menuNames;    // a menu's items by index
  std::map<std::uint32_t, std::int64_t> menuValues;  // an integer menu's items by index
};

struct FakeFormat {
  std::uint32_t pixelFormat;
  std::string description;
  std::vector<v4l2_frmsizeenum> sizes;      // as VIDIOC_ENUM_FRAMESIZES answers, index aside
  std::vector<v4l2_frmivalenum> intervals;  // offered at every size, index aside
};

struct FakeV4l2Device {
  std::vector<FakeControl> controls;  // in the order of their ids
  bool knowsExtendedQuery = true;     // false: an old driver that answers only VIDIOC_QUERYCTRL
  std::uint32_t refusedControl = 0;   // setting it fails with EIO and leaves it as it was
  std::vector<FakeFormat> formats;
  v4l2_pix_format format{};  // the present format
  v4l2_fract interval{1, 30};
  int formatError = 0;  // what VIDIOC_S_FMT fails with, such as EBUSY
  int goneError = 0;    // what every request fails with once the camera has gone
  std::vector<std::pair<std::uint32_t, std::int32_t>> sets;  // every VIDIOC_S_CTRL taken
};

// User controls: Brightness (-64..64, 10), Contrast (0..100 in steps of 5, 50), White Balance
// Automatic (on), Power Line Frequency (items 0, 1 and 3), Do White Balance (a button), a
// disabled control and a 64-bit Pixel Rate. Camera controls: Auto Exposure (items 1, manual,
// and 3, automatic: 3), Exposure Time (inactive while automatic), a read-only Focus and an
// integer menu Link Frequency (456000000 and 8000000000). Formats: YUYV at three discrete sizes
// at 29.97, 15 and 5 fps; MJPG stepwise from 160x120 to 1920x1080 at 1 to 60 fps; H.264, which
// Glintvane cannot use. It is in YUYV 640x480 at 30 fps.
std::shared_ptr<FakeV4l2Device> ExampleCamera();

FakeControl& FakeControlOf(FakeV4l2Device& device, std::uint32_t id);

DeviceIoctl FakeIoctl(std::shared_ptr<FakeV4l2Device> device);

}  // namespace glintvane
