#pragma once

#include <string>

#include <opencv2/core/mat.hpp>

namespace glintvane {

// The archive: root/yyyy/mm/dd/CamN/ holding peak pictures and snapshots,
// N being the camera index plus 1.

// For tests; the program uses the platform's root.
void SetArchiveRoot(const std::string& root);
const std::string& ArchiveRoot();

// Reads the clock and creates today's folders for the camera, one level at a
// time, ignoring failures (folders that exist are the usual case). The name
// builders below take their date and time from this reading. Returns 1.
int EnsureArchiveDirs(int camera);

// Names under the latest EnsureArchiveDirs reading of the calling thread, for
// the session's camera.
std::string BuildPeakName(int frameCount);
std::string BuildSnapshotName();

// Flips the stack about its horizontal axis into the session's output image
// and writes that as a JPEG. A failed write is not reported: the picture is lost.
void WriteStack(const cv::Mat& image, const std::string& fileName);

}  // namespace glintvane
