#include "capture/devices.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "capture/camera_device.h"
#include "capture/cvcam.h"

namespace glintvane {
namespace {

struct VideoNode {
  int number;
  std::string name;
};

// N of a "videoN" entry; none for anything else (such as "vbi0" or "v4l-subdev0").
std::optional<int> VideoNodeNumber(std::string_view entryName) {
  constexpr std::string_view kPrefix = "video";
  if (!entryName.starts_with(kPrefix) || entryName.size() == kPrefix.size()) return std::nullopt;
  std::string_view digits = entryName.substr(kPrefix.size());
  int number = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return number;
}

std::string ReadFirstLine(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

std::vector<VideoNode> ListVideoNodes(const std::string& sysfsRoot) {
  std::vector<VideoNode> nodes;
  std::error_code error;
  std::filesystem::directory_iterator entries(
      std::filesystem::path(sysfsRoot) / "class" / "video4linux", error);
  if (error) return nodes;
  for (const auto& entry : entries) {
    if (auto number = VideoNodeNumber(entry.path().filename().string())) {
      nodes.push_back({*number, ReadFirstLine(entry.path() / "name")});
    }
  }
  std::sort(nodes.begin(), nodes.end(),
            [](const VideoNode& a, const VideoNode& b) { return a.number < b.number; });
  return nodes;
}

std::string CardName(const VideoNode& node, const v4l2_capability& caps) {
  if (!node.name.empty()) return node.name;
  const auto* card = reinterpret_cast<const char*>(caps.card);
  std::string fromCaps(card, strnlen(card, sizeof caps.card));
  return fromCaps.empty() ? "video" + std::to_string(node.number) : fromCaps;
}

}  // namespace

bool QueryDeviceCapability(const std::string& devicePath, v4l2_capability& caps) {
  int fd = open(devicePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool answered = RetryIoctl(fd, VIDIOC_QUERYCAP, &caps) == 0;
  close(fd);
  return answered;
}

std::uint32_t NodeCapabilities(const v4l2_capability& caps) {
  return (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
}

bool CanCaptureVideo(const v4l2_capability& caps) {
  return (NodeCapabilities(caps) & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
}

std::string CutUtf8(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  std::size_t end = maxBytes;
  // A byte 10xxxxxx continues a character begun earlier: cutting before it would split one.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

std::vector<CameraEntry> EnumerateCameras(const std::string& sysfsRoot, const std::string& devRoot,
                                          CapabilityQuery query) {
  std::vector<CameraEntry> cameras;
  for (const VideoNode& node : ListVideoNodes(sysfsRoot)) {
    std::string devicePath = devRoot + "/video" + std::to_string(node.number);
    v4l2_capability caps{};
    if (!query(devicePath, caps) || !CanCaptureVideo(caps)) continue;
    cameras.push_back({CutUtf8(CardName(node, caps), kDescriptionAreaSize - 1), devicePath});
  }
  cameras.push_back({kSimulatedCameraName, ""});
  return cameras;
}

}  // namespace glintvane
