// The window and the message box on a real X display: run the tests under xvfb-run (the test
// script does). Without a display these tests skip. Screenshots land in the build tree, under
// screenshots/, for people to look at.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include "app/form1.h"
#include "test_support/png.h"
#include "test_support/process.h"

// Xlib's macros (None, Bool, Status...) clash with GoogleTest's names: it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

struct Picture {
  int width = 0;
  int height = 0;
  std::string rgb;

  int luminance(int x, int y) const {
    const size_t at = (size_t(y) * width + x) * 3;
    return (unsigned char)rgb[at] + (unsigned char)rgb[at + 1] + (unsigned char)rgb[at + 2];
  }
  // Pixels darker than mid grey inside the box x0 <= x < x1, y0 <= y < y1.
  int dark_pixels(int x0, int y0, int x1, int y1) const {
    int dark = 0;
    for (int y = y0; y < std::min(y1, height); ++y) {
      for (int x = x0; x < std::min(x1, width); ++x) dark += luminance(x, y) < 3 * 128;
    }
    return dark;
  }
};

class Screen {
 public:
  Screen() : dpy_(XOpenDisplay(nullptr)) {}
  ~Screen() {
    if (dpy_ != nullptr) XCloseDisplay(dpy_);
  }
  bool open() const { return dpy_ != nullptr; }

  // The first mapped top-level window titled `title`, waiting up to five seconds for it.
  Window find(const std::string& title) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
      const Window found = search(DefaultRootWindow(dpy_), title);
      if (found != 0) return found;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
  }

  Picture grab(Window window) {
    XWindowAttributes attributes;
    XGetWindowAttributes(dpy_, window, &attributes);
    Picture picture;
    picture.width = attributes.width;
    picture.height = attributes.height;
    XImage* image =
        XGetImage(dpy_, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr) return picture;
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        const unsigned long pixel = XGetPixel(image, x, y);
        picture.rgb.push_back(char(component(pixel, image->red_mask)));
        picture.rgb.push_back(char(component(pixel, image->green_mask)));
        picture.rgb.push_back(char(component(pixel, image->blue_mask)));
      }
    }
    XDestroyImage(image);
    return picture;
  }

  void press_key(Window window, KeySym key) {
    XEvent event = {};
    event.xkey.type = KeyPress;
    event.xkey.display = dpy_;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(dpy_);
    event.xkey.keycode = XKeysymToKeycode(dpy_, key);
    event.xkey.same_screen = True;
    XSendEvent(dpy_, window, True, KeyPressMask, &event);
    XFlush(dpy_);
  }

 private:
  static unsigned component(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    return unsigned((pixel & mask) >> shift) & 0xff;
  }

  Window search(Window parent, const std::string& title) {
    Window root, up, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy_, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
      char* name = nullptr;
      XWindowAttributes attributes;
      if (XFetchName(dpy_, children[i], &name) && name != nullptr) {
        if (title == name && XGetWindowAttributes(dpy_, children[i], &attributes) &&
            attributes.map_state == IsViewable) {
          found = children[i];
        }
        XFree(name);
      }
      if (found == 0) found = search(children[i], title);
    }
    if (children != nullptr) XFree(children);
    return found;
  }

  Display* dpy_;
};

std::string run_xwininfo(Window window) {
  const std::string output = std::string(SCREENSHOT_DIR) + "/xwininfo.txt";
  const std::string command = "xwininfo -id " + std::to_string(window) + " > '" + output + "'";
  if (std::system(command.c_str()) != 0) return "";
  std::ifstream in(output);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void save(const Picture& picture, const std::string& name) {
  const std::string path = std::string(SCREENSHOT_DIR) + "/" + name;
  EXPECT_TRUE(write_png(path, picture.width, picture.height, picture.rgb)) << path;
  std::printf("screenshot: %s\n", path.c_str());
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0' || !screen_.open()) {
      GTEST_SKIP() << "no X display: run the tests under xvfb-run to check the window";
    }
    std::filesystem::create_directories(SCREENSHOT_DIR);
  }
  Screen screen_;
};

}  // namespace

TEST_F(WindowTest, ShowsTheLabelInAWindowOfTheDesignedSize) {
  ChildProcess probe({WINDOW_PROBE_PATH, "30"}, {});
  const Window window = screen_.find(kApplicationTitle);
  ASSERT_NE(window, 0u) << "the window did not appear";

  if (std::system("command -v xwininfo > /dev/null") == 0) {
    const std::string info = run_xwininfo(window);
    std::smatch width, height;
    ASSERT_TRUE(std::regex_search(info, width, std::regex(R"(Width: (\d+))"))) << info;
    ASSERT_TRUE(std::regex_search(info, height, std::regex(R"(Height: (\d+))"))) << info;
    EXPECT_EQ(width[1], "280");
    EXPECT_EQ(height[1], "179");
  } else {
    ADD_FAILURE() << "xwininfo is missing (Debian package x11-utils)";
  }

  const Picture picture = screen_.grab(window);
  save(picture, "installer_window.png");
  // The label "Attendere" lies at 64,64 and is 177 x 53; nothing is drawn outside it.
  EXPECT_GT(picture.dark_pixels(64, 64, 64 + 177, 64 + 53), 500) << "the label is not painted";
  EXPECT_EQ(picture.dark_pixels(0, 0, 280, 64), 0);
  EXPECT_EQ(picture.dark_pixels(0, 64 + 53, 280, 179), 0);
  EXPECT_EQ(picture.dark_pixels(0, 0, 64, 179), 0);
  EXPECT_EQ(picture.dark_pixels(64 + 177, 0, 280, 179), 0);
}

TEST_F(WindowTest, ErrorReportWaitsForOkThenEndsTheRunWithAFailure) {
  ChildProcess probe({ERRORE_PROBE_PATH, "1250"}, {});
  const Window box = screen_.find(kApplicationTitle);
  ASSERT_NE(box, 0u) << "the message box did not appear";

  // It waits for the user: still running a moment later.
  ProcessResult result;
  EXPECT_FALSE(probe.wait(300, &result));
  const Picture picture = screen_.grab(box);
  save(picture, "errore_1250.png");
  EXPECT_GT(picture.dark_pixels(0, 0, picture.width, picture.height / 2), 50) << "no text drawn";

  screen_.press_key(box, XK_Return);
  ASSERT_TRUE(probe.wait(5000, &result)) << "Enter did not close the box";
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_EQ(result.err, "") << "the message belongs in the box";
}
