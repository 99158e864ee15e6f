#include "archive/archive.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include "shared/local_time.h"
#include "shared/session_state.h"

namespace glintvane {
namespace {

__attribute__((format(printf, 1, 2))) std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list sizing;
  va_copy(sizing, args);
  const int length = std::vsnprintf(nullptr, 0, format, sizing);
  va_end(sizing);
  std::string text(length > 0 ? length : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return text;
}

std::string PlatformRoot() {
#ifdef _WIN32
  return "c:/Glintvane";
#else
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    const passwd* user = getpwuid(getuid());
    home = user != nullptr ? user->pw_dir : "";
  }
  return std::string(home) + "/Glintvane";
#endif
}

std::string& Root() {
  static std::string root = PlatformRoot();
  return root;
}

void CreateFolder(const std::string& path) {
  std::error_code ignored;
  std::filesystem::create_directory(path, ignored);
}

std::string MonthPath(const LocalTime& time) {
  return FormatText("%s/%04d/%02d", ArchiveRoot().c_str(), time.year, time.month);
}

}  // namespace

void SetArchiveRoot(const std::string& root) { Root() = root; }

const std::string& ArchiveRoot() { return Root(); }

int EnsureArchiveDirs(int camera) {
  const LocalTime time = ReadLocalTime();
  const std::string& root = ArchiveRoot();
  const std::string year = FormatText("%04d", time.year);
  const std::string month = FormatText("%02d", time.month);
  const std::string day = FormatText("%02d", time.day);
  const std::string cameraFolder = FormatText("Cam%d", camera + 1);
  CreateFolder(FormatText("%s", root.c_str()));
  CreateFolder(FormatText("%s/%s", root.c_str(), year.c_str()));
  CreateFolder(FormatText("%s/%s/%s", root.c_str(), year.c_str(), month.c_str()));
  CreateFolder(FormatText("%s/%s/%s/%s", root.c_str(), year.c_str(), month.c_str(), day.c_str()));
  CreateFolder(FormatText("%s/%s/%s/%s/%s", root.c_str(), year.c_str(), month.c_str(), day.c_str(),
                          cameraFolder.c_str()));
  return 1;
}

std::string BuildPeakName(int frameCount) {
  const LocalTime t = LatestLocalTime();
  return FormatText("%s/%02d/Cam%d/Met%d_%d%02d%02d_%02d%02d%02d.jpg", MonthPath(t).c_str(), t.day,
                    gSession.sessionCamera + 1, frameCount, t.year, t.month, t.day, t.hour,
                    t.minute, t.second);
}

std::string BuildSnapshotName() {
  const LocalTime t = LatestLocalTime();
  return FormatText("%s/%02d/Cam%d/Snap%d%02d%02d_%02d%02d%02d.jpg", MonthPath(t).c_str(), t.day,
                    gSession.sessionCamera + 1, t.year, t.month, t.day, t.hour, t.minute, t.second);
}

void WriteStack(const cv::Mat& image, const std::string& fileName) {
  try {
    cv::flip(image, gSession.outputImage, 0);
    cv::imwrite(fileName, gSession.outputImage);
  } catch (const cv::Exception&) {
    // An encoder or file error loses this picture only; capture goes on.
  }
}

}  // namespace glintvane
