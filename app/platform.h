// What the run needs from the operating system: where the executable lies, a window that says
// the program is working, a message box, a report of a fault, and the end of the process. Each
// platform has its own implementation, chosen when the program is built (POSIX with X11 on
// Linux, Win32 on Windows). Files go through common/file_io, over a FileSystem whose platform
// implementation lies in common/; windows, messages and the process are touched nowhere else.
#pragma once

#include <string>

namespace platform {

// Sizes and positions are in twips (1/1440 inch; 15 twips a pixel at 96 dpi), as the window was
// designed; each platform turns them into its own units.
struct WindowSpec {
  std::string title;
  std::string label;  // the only thing the window shows
  int client_width;
  int client_height;
  int label_left;
  int label_top;
  int label_width;
  int label_height;
  std::string font_family;
  int font_points;
  bool font_bold;
};

// Pixels at 96 dpi for a length in twips, to the nearest pixel.
inline int twips_to_pixels(int twips) {
  return (twips + 7) / 15;
}

// Shows the window, modeless, and paints it once before returning. Nothing repaints it
// afterwards: the run processes no events. Without a display the run goes on without a window.
void show_window(const WindowSpec& spec);

// Shows `text` in a modal message box with a single OK button and returns when the user closes
// it. Without a display the text is written to standard error instead.
void show_message(const std::string& caption, const std::string& text);

// Reports a fault that ends the run: one line, `caption: text`, on standard error, and the text
// in a message box as well when a display is available.
void report_fault(const std::string& caption, const std::string& text);

// Ends the process at once with `status`; every file still open is closed.
[[noreturn]] void end_process(int status);

}  // namespace platform
