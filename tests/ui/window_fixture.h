// The real main window on the test's display, made fresh for every test,
// with xdg-open replaced by a recorder on the PATH.
//
//   TEST_F(MainWindowTest, Something) {
//     ClickControl(window->supportButton);
//     EXPECT_TRUE(WaitForOuterWidth(853));
//   }
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/toolkit.h"
#include "platform/toolkit_testing.h"
#include "platform/window.h"
#include "fake_opener.h"
#include "ui/main_window.h"

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Waits until the frame's outer width is `width`.
  bool WaitForOuterWidth(int width);
  // Widens the window with the support button and waits for the start page.
  bool ShowLoadedBrowser();
  // Rows of the list, each as its four cells.
  std::vector<std::vector<std::string>> Rows();

  MainWindow* window = nullptr;
  bool closed = false;
};
