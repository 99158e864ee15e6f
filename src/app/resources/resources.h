#pragma once

#include <span>
#include <string_view>

namespace glintvane {

// The program's resources: every command number, resource number and text the
// window and its dialogs are built from. Objects made from a resource carry its
// number as their Qt object name.

// Strings.
constexpr int STR_APP_TITLE = 103;
constexpr int STR_WINDOW_CLASS = 109;  // the window-system class (WM_CLASS on X11)

// Icons, shipped as PNG renderings in the program's Qt resources.
constexpr int ICON_MAIN = 107;
constexpr int ICON_SMALL = 108;

constexpr int MENU_MAIN = 109;
constexpr int ACCEL_MAIN = 109;
constexpr int DLG_ABOUT = 103;
constexpr int DLG_FILTER = 106;

// Commands.
constexpr int CMD_ABOUT = 104;
constexpr int CMD_EXIT = 105;
constexpr int CMD_CAMERA_BASE = 200;  // camera i of the Cameras menu sends CMD_CAMERA_BASE + i
constexpr int CMD_CAMERA_COUNT = 10;  // only the first ten camera items are handled
constexpr int CMD_START = 32771;
constexpr int CMD_STOP = 32772;
constexpr int CMD_CAMERA_PROPERTIES = 32774;
constexpr int CMD_VIDEO_PROPERTIES = 32775;
constexpr int CMD_PAUSE = 32776;
constexpr int CMD_RESUME = 32777;
constexpr int CMD_NO_CAMERAS = 32789;
constexpr int CMD_SNAPSHOT = 32802;
constexpr int CMD_FILTER_SETTINGS = 32805;
constexpr int CMD_DETECTION_SETTINGS = 32808;

// Controls of the filter settings dialog.
constexpr int IDC_FILTER2_FRAME_COUNT = 1011;
constexpr int IDC_FILTER2_PERIOD = 1012;
constexpr int IDC_FILTER_OK = 1013;
constexpr int IDC_FILTER1_ENABLED = 1014;
constexpr int IDC_FILTER1_FRAME_COUNT = 1015;
constexpr int IDC_FILTER1_PERIOD = 1016;
constexpr int IDC_FILTER2_ENABLED = 1017;
constexpr int IDC_FILTER_CANCEL = 1018;

struct NumberedText {
  int id;
  const char* text;
};

inline constexpr NumberedText kStringTable[] = {
    {STR_APP_TITLE, "Glintvane"},
    {STR_WINDOW_CLASS, "GLINTVANE"},
};

inline constexpr NumberedText kIconTable[] = {
    {ICON_MAIN, ":/icons/glintvane-48.png"},
    {ICON_SMALL, ":/icons/glintvane-16.png"},
};

// The entry of `table` numbered `id`; "" for a number the table lacks.
constexpr const char* LookupResource(std::span<const NumberedText> table, int id) {
  for (const NumberedText& entry : table) {
    if (entry.id == id) return entry.text;
  }
  return "";
}

constexpr const char* ResourceString(int id) { return LookupResource(kStringTable, id); }
constexpr const char* ResourceIconPath(int id) { return LookupResource(kIconTable, id); }

// MENU_MAIN: the menu bar's pop-ups left to right, each with its items in order.
struct MenuItem {
  const char* text;
  int command;
};

struct MenuPopup {
  const char* title;
  std::span<const MenuItem> items;
};

inline constexpr MenuItem kFileItems[] = {{"E&xit", CMD_EXIT}};
// The placeholder is replaced by one item per camera at start-up.
inline constexpr MenuItem kCameraItems[] = {{"No cameras!", CMD_NO_CAMERAS}};
inline constexpr MenuItem kOptionItems[] = {
    {"Camera properties...", CMD_CAMERA_PROPERTIES},
    {"Video properties...", CMD_VIDEO_PROPERTIES},
    {"Filter settings...", CMD_FILTER_SETTINGS},
    {"Detection settings...", CMD_DETECTION_SETTINGS},
};
inline constexpr MenuItem kRunItems[] = {
    {"Start", CMD_START},   {"Stop", CMD_STOP},         {"Pause", CMD_PAUSE},
    {"Resume", CMD_RESUME}, {"Snapshot", CMD_SNAPSHOT},
};
inline constexpr MenuItem kHelpItems[] = {{"&About ...", CMD_ABOUT}};

inline constexpr MenuPopup kMainMenu[] = {
    {"&File", kFileItems}, {"&Cameras", kCameraItems}, {"&Options", kOptionItems},
    {"&Run", kRunItems},   {"&Help", kHelpItems},
};
constexpr int kCamerasPopup = 1;
static_assert(std::string_view(kMainMenu[kCamerasPopup].title) == "&Cameras");

// ACCEL_MAIN: key sequences in QKeySequence's portable text form.
struct Accelerator {
  const char* keys;
  int command;
};

inline constexpr Accelerator kMainAccelerators[] = {
    {"Alt+?", CMD_ABOUT},
    {"Alt+/", CMD_ABOUT},
};

// DLG_ABOUT.
inline constexpr const char* kAboutTitle = "About";
inline constexpr const char* kAboutText = "Glintvane Version 0.04";
inline constexpr const char* kOkText = "OK";

// DLG_FILTER: one group box per filter, then the OK and Cancel buttons.
struct FilterGroupTemplate {
  const char* title;
  int enabledId, frameCountId, periodId;
};

inline constexpr const char* kFilterDialogTitle = "Glintvane Filter Settings";
inline constexpr FilterGroupTemplate kFilterGroups[] = {
    {"Filter 1", IDC_FILTER1_ENABLED, IDC_FILTER1_FRAME_COUNT, IDC_FILTER1_PERIOD},
    {"Filter 2", IDC_FILTER2_ENABLED, IDC_FILTER2_FRAME_COUNT, IDC_FILTER2_PERIOD},
};
inline constexpr const char* kFilterEnabledText = "Filter enabled";
inline constexpr const char* kFrameCountText = "Frame count";
inline constexpr const char* kFilterPeriodText = "Filter period [min]";
inline constexpr const char* kCancelText = "Cancel";

// The warning shown when a camera is chosen during capture; the trailing spaces
// are part of the text.
inline constexpr const char* kCameraRunningText = "Camera is running!         ";

}  // namespace glintvane
