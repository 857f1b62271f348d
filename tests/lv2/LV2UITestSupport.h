// What the UI tests share: where the editor's "sync" switch sits, how the
// view scale is chosen, idle driving and xdotool clicks. Each test is run
// under xvfb-run on a private X server with the parent window at the root's
// origin, so window pixels are screen pixels.
#pragma once

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <lv2/ui/ui.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

namespace lv2ui_test
{

// The "sync" switch: two buttons stacked at (43, 62)-(67, 110) of the editor,
// "off" above and "on" below; these are editor points inside each.
constexpr int kSyncX = 55;
constexpr int kSyncOnY = 98;
constexpr int kSyncOffY = 74;

// A mapped 1800 x 1000 parent window at the root's origin, destroyed with
// its display connection when the test ends (also when it ends early).
struct ParentWindow
{
  Display* dpy = XOpenDisplay(nullptr);
  Window window = dpy ? XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1800, 1000, 0, 0, 0) : 0;

  ParentWindow()
  {
    if (!dpy) return;
    XMapWindow(dpy, window);
    XSync(dpy, False);
  }
  ~ParentWindow()
  {
    if (!dpy) return;
    XDestroyWindow(dpy, window);
    XCloseDisplay(dpy);
  }
  // The ui:parent feature naming this window.
  LV2_Feature Feature() const { return {LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(window))}; }
};

// The view scale the run asks for through QUILL_UI_SCALE: 2 for "2", else 1.
inline int UIScale()
{
  const char* v = std::getenv("QUILL_UI_SCALE");
  return v && std::string(v) == "2" ? 2 : 1;
}

// Calls the UI's idle function every 10 ms until done() holds or about `ms`
// milliseconds have passed; each call must report the UI still open. Returns
// done()'s last answer, so a loaded machine only makes the wait longer.
template <typename Done>
bool SpinIdleUntil(const LV2UI_Idle_Interface* idle, LV2UI_Handle ui, Done done, int ms)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done() && std::chrono::steady_clock::now() < end)
  {
    EXPECT_EQ(idle->idle(ui), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// Drives the UI's idle function for about `ms` milliseconds.
inline void SpinIdle(const LV2UI_Idle_Interface* idle, LV2UI_Handle ui, int ms)
{
  SpinIdleUntil(idle, ui, [] { return false; }, ms);
}

// Left-clicks editor point (x, y) as a user would; the view shows it at
// window pixel ((x + 2) * scale, (y + 2) * scale). True when xdotool did it.
inline bool ClickEditor(int x, int y, int scale)
{
  const std::string cmd = "timeout 20 xdotool mousemove --sync " + std::to_string((x + 2) * scale) + " " +
                          std::to_string((y + 2) * scale) + " click 1";
  return std::system(cmd.c_str()) == 0;
}

} // namespace lv2ui_test
