// The window and the message box on a real X display: run the tests under xvfb-run (the test
// script does). Without a display these tests skip. Screenshots land in the build tree, under
// screenshots/, for people to look at.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/form1.h"
#include "test_support/process.h"
#include "test_support/x_screen.h"

namespace {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!display_available()) {
      GTEST_SKIP() << "no X display: run the tests under xvfb-run to check the window";
    }
    ASSERT_TRUE(screen_.open()) << "the display named by DISPLAY does not answer";
    std::filesystem::create_directories(SCREENSHOT_DIR);
  }
  XScreen screen_;
};

// The label "Attendere" lies at 64,64 and is 177 x 53, on a light window. A window not painted
// yet may be all black: the light around the label tells a painted one.
bool label_painted(const Picture& picture) {
  return picture.dark_pixels(64, 64, 64 + 177, 64 + 53) > 500 &&
         picture.dark_pixels(0, 0, 280, 64) == 0;
}

// A message box's text lies in its upper half, dark on light.
bool text_drawn(const Picture& picture) {
  const int dark = picture.dark_pixels(0, 0, picture.width, picture.height / 2);
  return dark > 50 && dark < picture.width * (picture.height / 2) / 2;
}

}  // namespace

TEST_F(WindowTest, ShowsTheLabelInAWindowOfTheDesignedSize) {
  ChildProcess probe({WINDOW_PROBE_PATH, "30"}, {});
  const unsigned long window = screen_.find(kApplicationTitle);
  ASSERT_NE(window, 0u) << "the window did not appear";
  EXPECT_EQ(XScreen::xwininfo_size(window, SCREENSHOT_DIR), "280x179")
      << "xwininfo (Debian package x11-utils) is needed";

  const Picture picture = screen_.grab_when(window, label_painted);
  picture.save(SCREENSHOT_DIR, "installer_window.png");
  // Nothing is drawn outside the label.
  EXPECT_TRUE(label_painted(picture)) << "the label is not painted";
  EXPECT_EQ(picture.dark_pixels(0, 0, 280, 64), 0);
  EXPECT_EQ(picture.dark_pixels(0, 64 + 53, 280, 179), 0);
  EXPECT_EQ(picture.dark_pixels(0, 0, 64, 179), 0);
  EXPECT_EQ(picture.dark_pixels(64 + 177, 0, 280, 179), 0);
}

TEST_F(WindowTest, ErrorReportWaitsForOkThenEndsTheRunWithAFailure) {
  ChildProcess probe({ERRORE_PROBE_PATH, "1250"}, {});
  const unsigned long box = screen_.find(kApplicationTitle);
  ASSERT_NE(box, 0u) << "the message box did not appear";

  // It waits for the user: still running a moment later.
  ProcessResult result;
  EXPECT_FALSE(probe.wait(300, &result));
  const Picture picture = screen_.grab_when(box, text_drawn);
  picture.save(SCREENSHOT_DIR, "errore_1250.png");
  EXPECT_TRUE(text_drawn(picture)) << "no text drawn";

  screen_.press_return(box);
  ASSERT_TRUE(probe.wait(20000, &result)) << "Enter did not close the box";
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_EQ(result.err, "") << "the message belongs in the box";
}
