#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <linux/videodev2.h>

namespace glintvane {

// One entry of the camera list.
struct CameraEntry {
  std::string description;  // the display name, cut to fit the description area
  std::string devicePath;   // empty for the simulated sky camera
};

constexpr char kSimulatedCameraName[] = "Simulated sky";

// Fills `caps` for the device node; false when the node cannot be asked.
using CapabilityQuery = bool (*)(const std::string& devicePath, v4l2_capability& caps);

// The real query: opens the node and asks VIDIOC_QUERYCAP.
bool QueryDeviceCapability(const std::string& devicePath, v4l2_capability& caps);

// What the node itself can do: its device caps, or the whole device's where the driver is too
// old to tell them apart.
std::uint32_t NodeCapabilities(const v4l2_capability& caps);

// True for a node that captures video (which metadata nodes do not).
bool CanCaptureVideo(const v4l2_capability& caps);

// The longest prefix of `text` of at most `maxBytes` that ends on a UTF-8 character boundary.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);

// Every video-capture node of `<sysfsRoot>/class/video4linux`, opened as `<devRoot>/videoN`,
// in the order of N, then the simulated sky camera.
std::vector<CameraEntry> EnumerateCameras(const std::string& sysfsRoot, const std::string& devRoot,
                                          CapabilityQuery query = QueryDeviceCapability);

}  // namespace glintvane
