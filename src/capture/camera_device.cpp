#include "capture/camera_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "capture/simulated_device.h"

namespace glintvane {

int RetryIoctl(int fd, unsigned long request, void* argument) {
  int result;
  do {
    result = ioctl(fd, request, argument);
  } while (result < 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

DeviceIoctl FileIoctl(int fd) {
  return [fd](unsigned long request, void* argument) { return RetryIoctl(fd, request, argument); };
}

CameraDevice OpenCameraDevice(const CameraEntry& camera, SimulationSettings& settings) {
  if (camera.devicePath.empty()) return {SimulatedDeviceIoctl(settings)};
  int fd = open(camera.devicePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {{}, errno};
  std::shared_ptr<int> node(new int(fd), [](int* open) {
    close(*open);
    delete open;
  });
  return {[node](unsigned long request, void* argument) {
    return RetryIoctl(*node, request, argument);
  }};
}

std::string DeviceErrorText(int error) {
  switch (error) {
    case 0:
      return {};
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "The camera is not available.";
    case EBUSY:
      return "The camera is in use by another program.";
    case EACCES:
    case EPERM:
      return "Glintvane is not allowed to use the camera.";
    default:
      return "The camera reported an error: " + std::string(std::strerror(error)) + ".";
  }
}

}  // namespace glintvane
