#include <optional>

#include <gtest/gtest.h>
#include <QApplication>

#if defined(__SANITIZE_THREAD__)
// Qt is not built with ThreadSanitizer, so its thread pools' own locking is out of its sight:
// what Qt allocates on one thread and frees on another would be reported. Only the allocator
// calls Qt's libraries make themselves are ignored; every access of ours is still checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n";
}
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests happens at build time, where there may be no display.
  std::optional<QApplication> app;
  if (!GTEST_FLAG_GET(list_tests)) app.emplace(argc, argv);
  return RUN_ALL_TESTS();
}
