#include "test_support/x_screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <regex>
#include <thread>

#include "test_support/png.h"

struct XScreen::Connection {
  Display* display = nullptr;
};

namespace {

unsigned component(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  return unsigned((pixel & mask) >> shift) & 0xff;
}

// Windows come and go while the display is looked at (Wine makes and drops windows of its own as
// a program starts): a window listed a moment ago may be gone when it is asked for its name, its
// size or its pixels. Such a request fails, and its caller sees the failure in what the call
// returns, instead of Xlib's default handler ending the test; any other error still ends it.
XErrorHandler xlib_handler = nullptr;
int pass_over_vanished_windows(Display* dpy, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable ||
      error->error_code == BadMatch) {
    return 0;
  }
  return xlib_handler != nullptr ? xlib_handler(dpy, error) : 0;
}

Window search(Display* dpy, Window parent, const std::string& title) {
  Window root, up, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(dpy, parent, &root, &up, &children, &count)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    XWindowAttributes attributes;
    if (XFetchName(dpy, children[i], &name) && name != nullptr) {
      if (title == name && XGetWindowAttributes(dpy, children[i], &attributes) &&
          attributes.map_state == IsViewable) {
        found = children[i];
      }
      XFree(name);
    }
    if (found == 0) found = search(dpy, children[i], title);
  }
  if (children != nullptr) XFree(children);
  return found;
}

}  // namespace

int Picture::dark_pixels(int x0, int y0, int x1, int y1) const {
  int dark = 0;
  for (int y = std::max(y0, 0); y < std::min(y1, height); ++y) {
    for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) {
      const size_t at = (size_t(y) * width + x) * 3;
      const int sum =
          (unsigned char)rgb[at] + (unsigned char)rgb[at + 1] + (unsigned char)rgb[at + 2];
      dark += sum < 3 * 128;
    }
  }
  return dark;
}

bool Picture::save(const std::string& folder, const std::string& name) const {
  const std::string path = folder + "/" + name;
  std::printf("screenshot: %s\n", path.c_str());
  return write_png(path, width, height, rgb);
}

XScreen::XScreen() : connection_(new Connection) {
  // A busy display server may refuse a connection for a moment: try again, for up to 20 s, when
  // a display is named at all.
  const char* name = std::getenv("DISPLAY");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    connection_->display = XOpenDisplay(nullptr);
    if (connection_->display != nullptr || name == nullptr || *name == '\0' ||
        std::chrono::steady_clock::now() >= deadline) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  static std::once_flag handler_set;
  std::call_once(handler_set, [] { xlib_handler = XSetErrorHandler(pass_over_vanished_windows); });
}

XScreen::~XScreen() {
  if (connection_->display != nullptr) XCloseDisplay(connection_->display);
}

bool XScreen::open() const {
  return connection_->display != nullptr;
}

unsigned long XScreen::find(const std::string& title, int seconds) {
  Display* dpy = connection_->display;
  if (dpy == nullptr) return 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  do {
    const Window found = search(dpy, DefaultRootWindow(dpy), title);
    if (found != 0) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  return 0;
}

Picture XScreen::grab_when(unsigned long window, const std::function<bool(const Picture&)>& ready,
                           int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    Picture picture = grab(window);
    if (ready(picture) || std::chrono::steady_clock::now() >= deadline) return picture;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

Picture XScreen::grab(unsigned long window) {
  Display* dpy = connection_->display;
  XWindowAttributes attributes;
  Picture picture;
  if (dpy == nullptr) return picture;
  if (!XGetWindowAttributes(dpy, window, &attributes)) return picture;
  XImage* image =
      XGetImage(dpy, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
  if (image == nullptr) return picture;
  picture.width = attributes.width;
  picture.height = attributes.height;
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

std::string XScreen::xwininfo_size(unsigned long window, const std::string& scratch_folder) {
  const std::string output = scratch_folder + "/xwininfo.txt";
  const std::string command = "xwininfo -id " + std::to_string(window) + " > '" + output + "'";
  if (std::system(command.c_str()) != 0) return "";
  std::ifstream in(output);
  const std::string info((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::smatch width, height;
  if (!std::regex_search(info, width, std::regex(R"(Width: (\d+))")) ||
      !std::regex_search(info, height, std::regex(R"(Height: (\d+))"))) {
    return "";
  }
  return width[1].str() + "x" + height[1].str();
}

void XScreen::press_return(unsigned long window) {
  Display* dpy = connection_->display;
  if (dpy == nullptr) return;
  XEvent event = {};
  event.xkey.type = KeyPress;
  event.xkey.display = dpy;
  event.xkey.window = window;
  event.xkey.root = DefaultRootWindow(dpy);
  event.xkey.keycode = XKeysymToKeycode(dpy, XK_Return);
  event.xkey.same_screen = True;
  XSendEvent(dpy, window, True, KeyPressMask, &event);
  XFlush(dpy);
}

bool display_available() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}
