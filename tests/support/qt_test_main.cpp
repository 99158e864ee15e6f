#include <optional>

#include <gtest/gtest.h>
#include <QApplication>

// The Qt suites' entry: one QApplication for all tests.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests happens at build time, where there may be no display.
  std::optional<QApplication> app;
  if (!GTEST_FLAG_GET(list_tests)) app.emplace(argc, argv);
  return RUN_ALL_TESTS();
}
