// The tests' eyes on an X display: find a window by its title, take a picture of it, press a
// key in it. Xlib stays inside the .cpp file, away from GoogleTest's names.
#pragma once

#include <functional>
#include <memory>
#include <string>

// A picture of a window, RGB, row by row.
struct Picture {
  int width = 0;
  int height = 0;
  std::string rgb;

  // Pixels darker than mid grey inside the box x0 <= x < x1, y0 <= y < y1.
  int dark_pixels(int x0, int y0, int x1, int y1) const;
  // Saves the picture as `name` in the screenshot folder and says where on standard output.
  bool save(const std::string& folder, const std::string& name) const;
};

class XScreen {
 public:
  XScreen();  // the display named by DISPLAY, waiting up to 20 s for it to answer
  ~XScreen();
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;

  bool open() const;
  // The first viewable window titled `title`, waiting up to `seconds` for it; 0 when none.
  unsigned long find(const std::string& title, int seconds = 20);
  Picture grab(unsigned long window);
  // Pictures of the window, taken again and again until `ready` says one shows what is awaited
  // (a window is mapped before its program has painted it) or `seconds` have passed; the last.
  Picture grab_when(unsigned long window, const std::function<bool(const Picture&)>& ready,
                    int seconds = 20);
  // The window's size as xwininfo reports it, "WIDTHxHEIGHT"; empty when xwininfo fails.
  static std::string xwininfo_size(unsigned long window, const std::string& scratch_folder);
  void press_return(unsigned long window);

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

// Whether the tests should see a display: DISPLAY names one. Whether it answers, XScreen::open()
// says (a named display that never answers is a failure, not a reason to skip).
bool display_available();
