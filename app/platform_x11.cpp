// The window and the message box on X11, drawn with Xlib and Xft (for a scalable bold sans font
// that every desktop has through fontconfig). Without a display both fall back quietly: the
// window is skipped and messages go to standard error.
//
// Xlib and Xft are not linked in: they are loaded when a display is named, at the first call
// that needs one. A run without a display then never maps them (nor fontconfig, freetype and
// the rest they pull in), which would otherwise cost more than the run's own work.
#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <poll.h>
// Xlib names its own int result type Status; this program has a Status class of its own.
#undef Status

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/platform.h"

namespace platform {
namespace {

// The face colour of Windows dialogs, which the window was designed with.
const char kFaceColour[] = "#F0F0F0";
// Points to pixels: the window's measures assume 96 dpi.
int points_to_pixels(int points) {
  return (points * 96 + 36) / 72;
}

// Every Xlib and Xft function this file calls, with the type its header declares.
#define XLIB_FUNCTIONS(F) \
  F(XAllocClassHint)      \
  F(XAllocColor)          \
  F(XAllocSizeHints)      \
  F(XAllocWMHints)        \
  F(XChangeProperty)      \
  F(XClearWindow)         \
  F(XCreateSimpleWindow)  \
  F(XDestroyWindow)       \
  F(XDrawLine)            \
  F(XFlush)               \
  F(XFree)                \
  F(XInternAtom)          \
  F(XLookupKeysym)        \
  F(XMapRaised)           \
  F(XMapWindow)           \
  F(XNextEvent)           \
  F(XOpenDisplay)         \
  F(XParseColor)          \
  F(XPending)             \
  F(XSelectInput)         \
  F(XSetClassHint)        \
  F(XSetForeground)       \
  F(XSetTransientForHint) \
  F(XSetWMHints)          \
  F(XSetWMNormalHints)    \
  F(XSetWMProtocols)      \
  F(XStoreName)           \
  F(XSync)
#define XFT_FUNCTIONS(F)      \
  F(XftColorAllocName)        \
  F(XftColorFree)             \
  F(XftDrawCreate)            \
  F(XftDrawDestroy)           \
  F(XftDrawSetClipRectangles) \
  F(XftDrawString8)           \
  F(XftFontClose)             \
  F(XftFontOpenName)          \
  F(XftTextExtents8)

// The two libraries' functions, resolved at run time: x11.XOpenDisplay(...) and so on.
struct XFunctions {
#define DECLARE_POINTER(name) decltype(&::name) name = nullptr;
  XLIB_FUNCTIONS(DECLARE_POINTER)
  XFT_FUNCTIONS(DECLARE_POINTER)
#undef DECLARE_POINTER
};
XFunctions x11;

// Points `pointer` at the function `name` of `library`; false when the library has none.
template <typename Pointer>
bool resolve(void* library, const char* name, Pointer* pointer) {
  *pointer = reinterpret_cast<Pointer>(dlsym(library, name));
  return *pointer != nullptr;
}

// Loads libX11 and libXft and resolves every function in the table. When either library or
// any function is missing, nothing stays loaded and the run goes on as without a display.
bool load_x_libraries() {
  void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  void* xft = xlib != nullptr ? dlopen("libXft.so.2", RTLD_NOW | RTLD_LOCAL) : nullptr;
  bool complete = xft != nullptr;
#define RESOLVE_XLIB(name) complete = complete && resolve(xlib, #name, &x11.name);
#define RESOLVE_XFT(name) complete = complete && resolve(xft, #name, &x11.name);
  XLIB_FUNCTIONS(RESOLVE_XLIB)
  XFT_FUNCTIONS(RESOLVE_XFT)
#undef RESOLVE_XLIB
#undef RESOLVE_XFT
  if (complete) return true;
  x11 = XFunctions();
  if (xft != nullptr) dlclose(xft);
  if (xlib != nullptr) dlclose(xlib);
  return false;
}

// One connection for the whole run, opened at first use; null when there is no display. With
// no display named, Xlib could not open one either: the libraries are not even loaded then.
Display* display() {
  static bool tried = false;
  static Display* connection = nullptr;
  if (!tried) {
    tried = true;
    const char* name = std::getenv("DISPLAY");
    if (name != nullptr && name[0] != '\0' && load_x_libraries()) {
      connection = x11.XOpenDisplay(nullptr);
    }
  }
  return connection;
}

Window g_main_window = 0;

unsigned long colour_pixel(Display* dpy, const char* name) {
  XColor colour;
  const Colormap map = DefaultColormap(dpy, DefaultScreen(dpy));
  if (x11.XParseColor(dpy, map, name, &colour) && x11.XAllocColor(dpy, map, &colour))
    return colour.pixel;
  return WhitePixel(dpy, DefaultScreen(dpy));
}

// A top-level window of a fixed client size, centred on the screen, with its title set.
Window create_fixed_window(Display* dpy, int width, int height, const std::string& title) {
  const int screen = DefaultScreen(dpy);
  const int x = std::max(0, (DisplayWidth(dpy, screen) - width) / 2);
  const int y = std::max(0, (DisplayHeight(dpy, screen) - height) / 2);
  const Window window =
      x11.XCreateSimpleWindow(dpy, RootWindow(dpy, screen), x, y, width, height, 0,
                              BlackPixel(dpy, screen), colour_pixel(dpy, kFaceColour));
  XSizeHints* size = x11.XAllocSizeHints();
  size->flags = PPosition | PMinSize | PMaxSize;
  size->x = x;
  size->y = y;
  size->min_width = size->max_width = width;
  size->min_height = size->max_height = height;
  x11.XSetWMNormalHints(dpy, window, size);
  x11.XFree(size);
  x11.XStoreName(dpy, window, title.c_str());
  x11.XChangeProperty(dpy, window, x11.XInternAtom(dpy, "_NET_WM_NAME", False),
                      x11.XInternAtom(dpy, "UTF8_STRING", False), 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
  XClassHint* hint = x11.XAllocClassHint();
  std::string name = title;
  hint->res_name = name.data();
  hint->res_class = name.data();
  x11.XSetClassHint(dpy, window, hint);
  x11.XFree(hint);
  return window;
}

// Waits for the window's first Expose event, so that what is drawn next is seen. Gives up after
// two seconds: a window manager that never maps the window must not stop the run.
void wait_for_first_expose(Display* dpy, Window window) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  XEvent event;
  for (;;) {
    while (x11.XPending(dpy) > 0) {
      x11.XNextEvent(dpy, &event);
      if (event.type == Expose && event.xexpose.window == window) return;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd connection = {ConnectionNumber(dpy), POLLIN, 0};
    poll(&connection, 1, int(left.count()));
  }
}

// Text drawing with one Xft font and colour in one window.
class TextPainter {
 public:
  TextPainter(Display* dpy, Window window, const std::string& font_pattern) : dpy_(dpy) {
    const int screen = DefaultScreen(dpy);
    font_ = x11.XftFontOpenName(dpy, screen, font_pattern.c_str());
    draw_ =
        x11.XftDrawCreate(dpy, window, DefaultVisual(dpy, screen), DefaultColormap(dpy, screen));
    x11.XftColorAllocName(dpy, DefaultVisual(dpy, screen), DefaultColormap(dpy, screen), "black",
                          &colour_);
  }
  ~TextPainter() {
    const int screen = DefaultScreen(dpy_);
    x11.XftColorFree(dpy_, DefaultVisual(dpy_, screen), DefaultColormap(dpy_, screen), &colour_);
    if (draw_ != nullptr) x11.XftDrawDestroy(draw_);
    if (font_ != nullptr) x11.XftFontClose(dpy_, font_);
  }
  TextPainter(const TextPainter&) = delete;
  TextPainter& operator=(const TextPainter&) = delete;

  bool ready() const { return font_ != nullptr && draw_ != nullptr; }
  int ascent() const { return font_->ascent; }
  int height() const { return font_->ascent + font_->descent; }
  int width(const std::string& text) const {
    XGlyphInfo extents;
    x11.XftTextExtents8(dpy_, font_, reinterpret_cast<const FcChar8*>(text.data()),
                        int(text.size()), &extents);
    return extents.xOff;
  }
  // Draws `text` with its top-left corner at x, y, clipped to the box x, y, width, height.
  void draw(const std::string& text, int x, int y, int width, int height) {
    XRectangle clip = {short(x), short(y), (unsigned short)width, (unsigned short)height};
    x11.XftDrawSetClipRectangles(draw_, 0, 0, &clip, 1);
    x11.XftDrawString8(draw_, &colour_, font_, x, y + font_->ascent,
                       reinterpret_cast<const FcChar8*>(text.data()), int(text.size()));
  }

 private:
  Display* dpy_;
  XftFont* font_ = nullptr;
  XftDraw* draw_ = nullptr;
  XftColor colour_;
};

std::string font_pattern(const std::string& family, int pixels, bool bold) {
  // The designed face first, then its usual stand-ins; fontconfig always finds some sans.
  return family + ",Microsoft Sans Serif,sans-serif:pixelsize=" + std::to_string(pixels) +
         (bold ? ":bold" : "");
}

// The message box: its text, and one OK button under it.
class MessageBox {
 public:
  MessageBox(Display* dpy, const std::string& caption, const std::string& text)
      : dpy_(dpy), text_(text) {
    // Measure with a throwaway painter on the root window before the box exists.
    {
      TextPainter measure(dpy, DefaultRootWindow(dpy), font_pattern("MS Sans Serif", 13, false));
      if (measure.ready()) {
        text_width_ = measure.width(text_);
        text_height_ = measure.height();
      }
    }
    width_ = std::max(text_width_ + 2 * kMargin, kButtonWidth + 2 * kMargin);
    width_ = std::max(width_, 200);
    height_ = kMargin + text_height_ + kMargin + kButtonHeight + 12;
    button_x_ = (width_ - kButtonWidth) / 2;
    button_y_ = height_ - 12 - kButtonHeight;
    window_ = create_fixed_window(dpy, width_, height_, caption);
    if (g_main_window != 0) x11.XSetTransientForHint(dpy, window_, g_main_window);
    const Atom type = x11.XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", False);
    const Atom dialog = x11.XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    x11.XChangeProperty(dpy, window_, type, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&dialog), 1);
    delete_window_ = x11.XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    x11.XSetWMProtocols(dpy, window_, &delete_window_, 1);
    XWMHints* hints = x11.XAllocWMHints();
    hints->flags = InputHint;
    hints->input = True;
    x11.XSetWMHints(dpy, window_, hints);
    x11.XFree(hints);
    x11.XSelectInput(dpy, window_,
                     ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask);
    painter_ =
        std::make_unique<TextPainter>(dpy, window_, font_pattern("MS Sans Serif", 13, false));
  }
  ~MessageBox() {
    painter_.reset();
    x11.XDestroyWindow(dpy_, window_);
    x11.XSync(dpy_, False);
  }
  MessageBox(const MessageBox&) = delete;
  MessageBox& operator=(const MessageBox&) = delete;

  // Shows the box and handles its events until the user closes it by OK, Enter, Escape, the
  // space bar or the window manager's close button.
  void run() {
    x11.XMapRaised(dpy_, window_);
    bool pressed_on_button = false;
    XEvent event;
    for (;;) {
      x11.XNextEvent(dpy_, &event);
      switch (event.type) {
        case Expose:
          if (event.xexpose.count == 0) paint();
          break;
        case KeyPress: {
          const KeySym key = x11.XLookupKeysym(&event.xkey, 0);
          if (key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space) return;
          break;
        }
        case ButtonPress:
          pressed_on_button =
              event.xbutton.button == Button1 && on_button(event.xbutton.x, event.xbutton.y);
          break;
        case ButtonRelease:
          if (pressed_on_button && on_button(event.xbutton.x, event.xbutton.y)) return;
          pressed_on_button = false;
          break;
        case ClientMessage:
          if (Atom(event.xclient.data.l[0]) == delete_window_) return;
          break;
        default:
          break;
      }
    }
  }

 private:
  static constexpr int kMargin = 20;
  static constexpr int kButtonWidth = 75;
  static constexpr int kButtonHeight = 23;

  bool on_button(int x, int y) const {
    return x >= button_x_ && x < button_x_ + kButtonWidth && y >= button_y_ &&
           y < button_y_ + kButtonHeight;
  }

  void paint() {
    x11.XClearWindow(dpy_, window_);
    const GC gc = DefaultGC(dpy_, DefaultScreen(dpy_));
    // The button: a raised frame, white on the top and left, dark on the bottom and right.
    x11.XSetForeground(dpy_, gc, colour_pixel(dpy_, "#FFFFFF"));
    x11.XDrawLine(dpy_, window_, gc, button_x_, button_y_, button_x_ + kButtonWidth - 1, button_y_);
    x11.XDrawLine(dpy_, window_, gc, button_x_, button_y_, button_x_,
                  button_y_ + kButtonHeight - 1);
    x11.XSetForeground(dpy_, gc, colour_pixel(dpy_, "#404040"));
    x11.XDrawLine(dpy_, window_, gc, button_x_, button_y_ + kButtonHeight - 1,
                  button_x_ + kButtonWidth - 1, button_y_ + kButtonHeight - 1);
    x11.XDrawLine(dpy_, window_, gc, button_x_ + kButtonWidth - 1, button_y_,
                  button_x_ + kButtonWidth - 1, button_y_ + kButtonHeight - 1);
    if (painter_->ready()) {
      painter_->draw(text_, kMargin, kMargin, width_ - 2 * kMargin, text_height_);
      const int ok_width = painter_->width("OK");
      painter_->draw("OK", button_x_ + (kButtonWidth - ok_width) / 2,
                     button_y_ + (kButtonHeight - text_height_) / 2, kButtonWidth, kButtonHeight);
    }
    x11.XFlush(dpy_);
  }

  Display* dpy_;
  std::string text_;
  int text_width_ = 0;
  int text_height_ = 16;
  int width_ = 0;
  int height_ = 0;
  int button_x_ = 0;
  int button_y_ = 0;
  Window window_ = 0;
  Atom delete_window_ = 0;
  std::unique_ptr<TextPainter> painter_;
};

}  // namespace

void show_window(const WindowSpec& spec) {
  Display* dpy = display();
  if (dpy == nullptr) return;
  const Window window = create_fixed_window(dpy, twips_to_pixels(spec.client_width),
                                            twips_to_pixels(spec.client_height), spec.title);
  g_main_window = window;
  x11.XSelectInput(dpy, window, ExposureMask);
  x11.XMapWindow(dpy, window);
  wait_for_first_expose(dpy, window);
  const int label_width = twips_to_pixels(spec.label_width);
  int pixels = points_to_pixels(spec.font_points);
  auto painter = std::make_unique<TextPainter>(
      dpy, window, font_pattern(spec.font_family, pixels, spec.font_bold));
  // The designed face is rarely installed, and its stand-in may run wider: scale the stand-in
  // down so that the whole label shows rather than a clipped one.
  if (painter->ready() && painter->width(spec.label) > label_width) {
    pixels = pixels * label_width / painter->width(spec.label);
    painter = std::make_unique<TextPainter>(dpy, window,
                                            font_pattern(spec.font_family, pixels, spec.font_bold));
  }
  if (painter->ready()) {
    painter->draw(spec.label, twips_to_pixels(spec.label_left), twips_to_pixels(spec.label_top),
                  label_width, twips_to_pixels(spec.label_height));
  }
  // Nothing reads the window's events from here on: stop the server from queueing them.
  x11.XSelectInput(dpy, window, NoEventMask);
  x11.XSync(dpy, False);
}

void show_message(const std::string& caption, const std::string& text) {
  Display* dpy = display();
  if (dpy == nullptr) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return;
  }
  MessageBox box(dpy, caption, text);
  box.run();
}

void report_fault(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  if (display() != nullptr) show_message(caption, text);
}

}  // namespace platform
