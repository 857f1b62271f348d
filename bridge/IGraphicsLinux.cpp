#include "bridge/IGraphicsLinux.h"

#include <QuillPlatform.h>

// Our headers before Xlib's, whose macros (Bool, Status) clash with names in them.
#include "editor/IPopupMenu.h"
#include "framework/IParam.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "bridge/X11Support.h"

extern char** environ;

namespace
{
using Clock = std::chrono::steady_clock;

constexpr int kDoubleClickMs = 500;
constexpr int kDoubleClickSlop = 4;
constexpr int kTooltipDelayMs = 600;
// Menus, boxes and tooltips speak in the desktop's plain face.
const char* const kPopupFace = "Sans";
constexpr int kMenuItemH = 18, kMenuSeparatorH = 7, kMenuTextLeft = 22, kMenuPadRight = 14;

const IColor kMenuBack(255, 240, 240, 240), kMenuHover(255, 60, 110, 200), kMenuFrame(255, 120, 120, 120),
    kMenuText(255, 0, 0, 0), kMenuTextDisabled(255, 150, 150, 150), kMenuTextHover(255, 255, 255, 255),
    kTooltipBack(255, 255, 255, 220), kButtonFace(255, 225, 225, 225), kSelection(255, 180, 210, 255);

// Errors on the view's own connection are remembered instead of ending the
// process (Xlib's default); the handler is restored afterwards, because a
// host may have its own.
Display* sTrapDisplay = nullptr;
int sTrappedError = 0;
XErrorHandler sPreviousHandler = nullptr;
int TrapError(Display* d, XErrorEvent* e)
{
  if (d == sTrapDisplay)
  {
    sTrappedError = e->error_code;
    return 0;
  }
  return sPreviousHandler ? sPreviousHandler(d, e) : 0;
}

class ErrorScope
{
public:
  explicit ErrorScope(Display* d) : mOuter(sTrapDisplay != nullptr)
  {
    if (mOuter) return;  // nested: the outer scope holds the handler
    sTrapDisplay = d;
    sTrappedError = 0;
    sPreviousHandler = XSetErrorHandler(TrapError);
  }
  ~ErrorScope()
  {
    if (mOuter) return;
    XSync(sTrapDisplay, False);
    XSetErrorHandler(sPreviousHandler);
    sTrapDisplay = nullptr;
  }

private:
  bool mOuter;
};

// Xlib's own handler for a broken connection ends the process. Ours lets a
// view's connection break without that (its exit handler then ends just the
// view) and leaves every other connection to the handler that was there.
std::vector<Display*> sViewDisplays;
XIOErrorHandler sPreviousIOHandler = nullptr;
bool sIOHandlerInstalled = false;
int ConnectionBroke(Display* d)
{
  if (std::find(sViewDisplays.begin(), sViewDisplays.end(), d) != sViewDisplays.end()) return 0;
  return sPreviousIOHandler ? sPreviousIOHandler(d) : 0;
}

void WatchConnection(Display* d, XIOErrorExitHandler onLost, void* view)
{
  if (!sIOHandlerInstalled)
  {
    sPreviousIOHandler = XSetIOErrorHandler(ConnectionBroke);
    sIOHandlerInstalled = true;
  }
  sViewDisplays.push_back(d);
  XSetIOErrorExitHandler(d, onLost, view);
}

void UnwatchConnection(Display* d)
{
  sViewDisplays.erase(std::remove(sViewDisplays.begin(), sViewDisplays.end(), d), sViewDisplays.end());
}

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

std::string LookupText(XKeyEvent* ev, KeySym* sym)
{
  char buf[16];
  const int n = XLookupString(ev, buf, sizeof(buf), sym, nullptr);
  return std::string(buf, static_cast<size_t>(std::max(n, 0)));
}

// Runs `argv` (found on PATH) with stdout captured; the exit status or -1.
int RunCapture(const std::vector<std::string>& argv, std::string* out)
{
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int fds[2];
  if (pipe(fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0)
  {
    close(fds[0]);
    return -1;
  }
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof(buf))) > 0 || (n < 0 && errno == EINTR))
    if (n > 0 && out) out->append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool OnPath(const char* name)
{
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs(path);
  size_t start = 0;
  while (start <= dirs.size())
  {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    if (access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

std::string ExpandHome(const std::string& path)
{
  const char* home = std::getenv("HOME");
  if (home && path.compare(0, 1, "~") == 0) return home + path.substr(1);
  return path;
}

// The characters a typed value may hold, by parameter type (none: nothing).
const char* AllowedCharacters(const IParam* param)
{
  switch (param->Type())
  {
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum: return "0123456789-+";
    case IParam::kTypeDouble: return "0123456789.-+";
    default: return "";
  }
}
}  // namespace

// ---------------------------------------------------------------------------

bool TextFieldAccepts(const char* allowed, int maxLength, const std::string& text)
{
  if (allowed)
    for (char c : text)
      if (!c || !std::strchr(allowed, c)) return false;
  return maxLength <= 0 || static_cast<int>(text.size()) <= maxLength;
}

int X11ScaleFor(const char* envScale, const char* resources)
{
  if (envScale && (!std::strcmp(envScale, "1") || !std::strcmp(envScale, "2"))) return envScale[0] - '0';
  if (!resources) return 1;
  for (const char* p = resources; (p = std::strstr(p, "Xft.dpi:")); p += 8)
  {
    if (p != resources && p[-1] != '\n') continue;
    return std::atof(p + 8) >= 192.0 ? 2 : 1;
  }
  return 1;
}

int X11KeyCode(unsigned long keysym, const std::string& unmodifiedText)
{
  switch (keysym)
  {
    case XK_space: return KEY_SPACE;
    case XK_Up: case XK_KP_Up: return KEY_UPARROW;
    case XK_Down: case XK_KP_Down: return KEY_DOWNARROW;
    case XK_Left: case XK_KP_Left: return KEY_LEFTARROW;
    case XK_Right: case XK_KP_Right: return KEY_RIGHTARROW;
    default: break;
  }
  if (unmodifiedText.size() != 1) return -1;
  const char c = unmodifiedText[0];
  if (c >= '0' && c <= '9') return KEY_DIGIT_0 + (c - '0');
  if (c >= 'a' && c <= 'z') return KEY_ALPHA_A + (c - 'a');
  if (c >= 'A' && c <= 'Z') return KEY_ALPHA_A + (c - 'A');
  return -1;
}

// ---------------------------------------------------------------------------

struct IGraphicsLinuxView
{
  IGraphicsLinux* g;
  Display* dpy = nullptr;
  int screen = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Window root = 0, parent = 0, win = 0;
  GC gc = nullptr;
  int scale = 1;
  bool embedded = false, gone = false, closeRequested = false, mapped = false;
  bool connectionLost = false;  // the server went away: no more requests
  Atom wmProtocols = 0, wmDelete = 0, xembedInfo = 0, clipboard = 0, utf8 = 0, clipProp = 0, netWmName = 0;
  X11Presenter presenter;
  Clock::time_point nextTick;
  Clock::duration period;
  int prevX = 0, prevY = 0;
  // Click counting for double clicks.
  Time lastPressTime = 0;
  int lastPressX = -1000, lastPressY = -1000, lastButton = 0, clickCount = 0;
  // Keys passed on to the parent whose releases must follow.
  bool forwarded[256] = {};
  // Pending screen copy (editor pixels), from exposures.
  IRECT exposed;
  Cursor blankCursor = 0;

  // Text field.
  struct Entry
  {
    Window w = 0;
    IControl* control = nullptr;
    IParam* param = nullptr;
    IText text;
    IRECT r;
    std::string value, allowed;
    bool hasAllowed = false;
    bool selected = false;  // the initial text, replaced by the first key
    int maxLength = 0;
    LICE_SysBitmap bitmap;
    X11Presenter presenter;
  } entry;

  // Tooltip.
  Window tipWin = 0;
  LICE_SysBitmap tipBitmap;
  X11Presenter tipPresenter;
  Clock::time_point lastMotion;
  bool tipPending = false;
  int tipX = 0, tipY = 0, tipRootX = 0, tipRootY = 0;

  explicit IGraphicsLinuxView(IGraphicsLinux* graphics) : g(graphics) {}

  // ---- Set-up and tear-down ----
  bool Open(void* parentHandle, std::string* error)
  {
    const char* name = std::getenv("DISPLAY");
    // A server still tearing down a connection we just closed may turn the
    // next one away for a moment: a few short retries ride that out.
    dpy = XOpenDisplay(nullptr);
    for (int wait = 10; !dpy && wait <= 640; wait *= 2)
    {
      usleep(static_cast<useconds_t>(wait) * 1000);
      dpy = XOpenDisplay(nullptr);
    }
    if (!dpy)
    {
      *error = std::string("cannot open the X display \"") + (name ? name : "") + "\"";
      return false;
    }
    // Xlib ends the process when a connection breaks; this one's loss only
    // ends the view, so a host (or the edit command's saving) carries on.
    WatchConnection(dpy, ConnectionLost, this);
    ErrorScope trap(dpy);
    screen = DefaultScreen(dpy);
    visual = DefaultVisual(dpy, screen);
    depth = DefaultDepth(dpy, screen);
    root = RootWindow(dpy, screen);
    scale = g->mPreferredScale ? g->mPreferredScale
                               : X11ScaleFor(std::getenv("QUILL_UI_SCALE"), XResourceManagerString(dpy));
    embedded = parentHandle != nullptr;
    parent = embedded ? IGraphicsLinux::XIDFromView(parentHandle) : root;
    if (embedded)
    {
      XWindowAttributes attrs;
      if (!XGetWindowAttributes(dpy, parent, &attrs) || sTrappedError)
      {
        *error = "the parent window does not exist";
        return false;
      }
    }
    wmProtocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    wmDelete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    xembedInfo = XInternAtom(dpy, "_XEMBED_INFO", False);
    clipboard = XInternAtom(dpy, "CLIPBOARD", False);
    utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    clipProp = XInternAtom(dpy, "QUILL_CLIPBOARD", False);
    netWmName = XInternAtom(dpy, "_NET_WM_NAME", False);

    const int w = g->Width() * scale, h = g->Height() * scale;
    XSetWindowAttributes sa = {};
    sa.background_pixel = BlackPixel(dpy, screen);
    sa.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                    KeyReleaseMask | FocusChangeMask | StructureNotifyMask | LeaveWindowMask;
    win = XCreateWindow(dpy, parent, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, CopyFromParent,
                        InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &sa);
    XSync(dpy, False);
    if (!win || sTrappedError)
    {
      *error = "cannot create the editor window";
      win = 0;
      return false;
    }
    gc = XCreateGC(dpy, win, 0, nullptr);
    // XEmbed protocol version 0, flags: mapped.
    const long info[2] = {0, embedded ? 1 : 0};
    XChangeProperty(dpy, win, xembedInfo, xembedInfo, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(info), 2);
    if (!embedded) XSetWMProtocols(dpy, win, &wmDelete, 1);
    Fit();
    period = std::chrono::microseconds(1000000 / std::max(1, g->FPS()));
    nextTick = Clock::now();
    if (embedded) Map();
    return true;
  }

  // Window, size hints and image for the editor's current size.
  void Fit()
  {
    const int w = g->Width() * scale, h = g->Height() * scale;
    if (!embedded)
    {
      XSizeHints* hints = XAllocSizeHints();
      hints->flags = PMinSize | PMaxSize;
      hints->min_width = hints->max_width = w;
      hints->min_height = hints->max_height = h;
      XSetWMNormalHints(dpy, win, hints);
      XFree(hints);
    }
    XResizeWindow(dpy, win, static_cast<unsigned>(w), static_cast<unsigned>(h));
    presenter.Init(dpy, visual, depth, w, h);
    const IRECT all(0, 0, g->Width(), g->Height());
    exposed = exposed.Union(&all);
  }

  void Map()
  {
    XMapRaised(dpy, win);
    mapped = true;
    XFlush(dpy);
  }

  static void ConnectionLost(Display*, void* view)
  {
    IGraphicsLinuxView* v = static_cast<IGraphicsLinuxView*>(view);
    v->connectionLost = v->gone = true;
  }

  void Close()
  {
    if (!dpy) return;
    if (connectionLost)
    {
      // Nothing can be asked of the server any more: free what is ours.
      presenter.Release(true);
      entry.presenter.Release(true);
      tipPresenter.Release(true);
      entry.w = tipWin = 0;
      g->mCursorHidden = false;
      if (gc) XFreeGC(dpy, gc);  // client memory; the request goes nowhere
    }
    else
    {
      ErrorScope trap(dpy);
      CloseEntry(false);
      HideTooltip();
      if (g->mCursorHidden) g->ShowMouseCursor();
      presenter.Release();
      entry.presenter.Release();
      tipPresenter.Release();
      if (blankCursor) XFreeCursor(dpy, blankCursor);
      if (gc) XFreeGC(dpy, gc);
      if (win && !gone) XDestroyWindow(dpy, win);
    }
    XCloseDisplay(dpy);
    UnwatchConnection(dpy);
    dpy = nullptr;
    win = 0;
  }

  // ---- Coordinates ----
  // The editor's point for a window pixel: two pixels up and left of it, as
  // the editor has always been given positions (its bottom-left pixel is
  // (-2, height - 3)).
  int EdX(int px) const { return FloorDiv(px, scale) - 2; }
  int EdY(int py) const { return FloorDiv(py, scale) - 2; }

  // Left-button events: L, with R for the Super key (as Command on a Mac);
  // right-button events: R alone. Shift, Control and Alt as they are.
  IMouseMod Mods(unsigned state, bool leftButton) const
  {
    IMouseMod m;
    m.L = leftButton;
    m.R = !leftButton || (state & Mod4Mask);
    m.S = (state & ShiftMask) != 0;
    m.C = (state & ControlMask) != 0;
    m.A = (state & Mod1Mask) != 0;
    return m;
  }

  // ---- Presenting ----
  void Present(IRECT r)
  {
    const IRECT all(0, 0, g->Width(), g->Height());
    r = r.Intersect(&all);
    if (r.Empty() || !win || gone || !g->GetDrawBitmap()) return;
    presenter.Put(win, gc, g->GetDrawBitmap(), r, scale, 0, 0);
  }

  // ---- The idle call ----
  bool Idle()
  {
    if (!dpy || gone) return false;
    ErrorScope trap(dpy);
    Pump(nullptr);
    if (gone || closeRequested) return false;
    Tick();
    return !gone && !closeRequested;
  }

  // Handles every pending event; `modal` (when set) sees each event first and
  // returns true for the ones it consumed.
  void Pump(const std::function<bool(XEvent&)>& modal)
  {
    while (XPending(dpy))
    {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (modal && modal(ev)) continue;
      Dispatch(ev, modal != nullptr);
    }
    if (!exposed.Empty())
    {
      Present(exposed);
      exposed = IRECT();
    }
  }

  void Tick()
  {
    const Clock::time_point now = Clock::now();
    if (now < nextTick) return;
    nextTick += period;
    if (nextTick < now) nextTick = now + period;
    IRECT r;
    // The area asked for is the dirty rectangle one pixel larger to the right
    // and downward, as the view rectangle of it covers.
    if (g->IsDirty(&r))
    {
      IRECT area(r.L, r.T, r.R + 1, r.B + 1);
      g->Draw(&area);
    }
    if (tipPending && g->TooltipsEnabled() &&
        now - lastMotion >= std::chrono::milliseconds(kTooltipDelayMs))
      ShowTooltip();
    XFlush(dpy);
  }

  int MsToNextTick() const
  {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, std::min<long long>(1000, left)));
  }

  // Waits for X input or the next tick, for the modal loops.
  void Wait()
  {
    XFlush(dpy);
    if (XPending(dpy)) return;
    pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
    poll(&p, 1, std::max(1, MsToNextTick()));
  }

  // ---- Events ----
  void Dispatch(XEvent& ev, bool inModal)
  {
    if (entry.w && ev.xany.window == entry.w)
    {
      EntryEvent(ev);
      return;
    }
    if (tipWin && ev.xany.window == tipWin && ev.type == Expose)
    {
      tipPresenter.Put(tipWin, gc, &tipBitmap, IRECT(0, 0, tipBitmap.getWidth(), tipBitmap.getHeight()), scale, 0, 0);
      return;
    }
    if (ev.xany.window != win) return;
    switch (ev.type)
    {
      case Expose:
      {
        const IRECT r(FloorDiv(ev.xexpose.x, scale), FloorDiv(ev.xexpose.y, scale),
                      FloorDiv(ev.xexpose.x + ev.xexpose.width + scale - 1, scale),
                      FloorDiv(ev.xexpose.y + ev.xexpose.height + scale - 1, scale));
        exposed = exposed.Union(&r);
        break;
      }
      case DestroyNotify: gone = true; break;
      case ClientMessage:
        if (ev.xclient.message_type == wmProtocols && static_cast<Atom>(ev.xclient.data.l[0]) == wmDelete)
          closeRequested = true;
        break;
      case ButtonPress: if (!inModal) ButtonDown(ev.xbutton); break;
      case ButtonRelease: if (!inModal) ButtonUp(ev.xbutton); break;
      case MotionNotify: if (!inModal) Motion(ev.xmotion); break;
      case LeaveNotify: HideTooltip(); tipPending = false; break;
      case KeyPress: if (!inModal) KeyDown(ev.xkey); break;
      case KeyRelease:
        if (ev.xkey.keycode < 256 && forwarded[ev.xkey.keycode])
        {
          forwarded[ev.xkey.keycode] = false;
          PassToParent(ev.xkey);
        }
        break;
      default: break;
    }
  }

  void TakeFocus(Window w)
  {
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable)
      XSetInputFocus(dpy, w, RevertToParent, CurrentTime);
  }

  void ButtonDown(XButtonEvent& b)
  {
    HideTooltip();
    tipPending = false;
    if (b.button == Button4 || b.button == Button5)
    {
      // A wheel turn ends an open text field without applying it.
      CloseEntry(false);
      IMouseMod m = Mods(b.state, true);
      m.L = m.R = false;
      prevX = EdX(b.x);
      prevY = EdY(b.y);
      g->OnMouseWheel(prevX, prevY, &m, b.button == Button4 ? 1 : -1);
      return;
    }
    if (b.button != Button1 && b.button != Button3) return;
    TakeFocus(win);
    IMouseMod m = Mods(b.state, b.button == Button1);
    prevX = EdX(b.x);
    prevY = EdY(b.y);
    const bool sameSpot = std::abs(b.x - lastPressX) <= kDoubleClickSlop * scale &&
                          std::abs(b.y - lastPressY) <= kDoubleClickSlop * scale;
    if (static_cast<int>(b.button) == lastButton && sameSpot && b.time - lastPressTime <= kDoubleClickMs)
      ++clickCount;
    else
      clickCount = 1;
    lastPressTime = b.time;
    lastPressX = b.x;
    lastPressY = b.y;
    lastButton = static_cast<int>(b.button);
    if (clickCount >= 2 && !m.R)
      g->OnMouseDblClick(prevX, prevY, &m);
    else
      g->OnMouseDown(prevX, prevY, &m);
  }

  void ButtonUp(XButtonEvent& b)
  {
    if (b.button != Button1 && b.button != Button3) return;
    IMouseMod m = Mods(b.state, b.button == Button1);
    prevX = EdX(b.x);
    prevY = EdY(b.y);
    g->OnMouseUp(prevX, prevY, &m);
  }

  void Motion(XMotionEvent& mo)
  {
    // Only the latest position of a burst of movements matters; a press or
    // release between them keeps its place.
    XEvent next;
    while (XEventsQueued(dpy, QueuedAlready) && (XPeekEvent(dpy, &next), next.type == MotionNotify) &&
           next.xmotion.window == win && next.xmotion.state == mo.state)
    {
      XNextEvent(dpy, &next);
      mo = next.xmotion;
    }
    prevX = EdX(mo.x);
    prevY = EdY(mo.y);
    const bool left = mo.state & Button1Mask, right = mo.state & Button3Mask;
    if (left || right)
    {
      if (entry.w) return;
      IMouseMod m = Mods(mo.state, !right);
      g->OnMouseDrag(prevX, prevY, &m);
      return;
    }
    IMouseMod m = Mods(mo.state, true);
    m.L = m.R = false;
    g->OnMouseOver(prevX, prevY, &m);
    if (tipWin && (std::abs(mo.x_root - tipRootX) > 2 || std::abs(mo.y_root - tipRootY) > 2)) HideTooltip();
    tipPending = true;
    tipX = prevX;
    tipY = prevY;
    tipRootX = mo.x_root;
    tipRootY = mo.y_root;
    lastMotion = Clock::now();
  }

  void KeyDown(XKeyEvent& k)
  {
    KeySym sym = NoSymbol;
    LookupText(&k, &sym);
    if (!embedded && (k.state & ControlMask) && (sym == XK_q || sym == XK_Q))
    {
      closeRequested = true;
      return;
    }
    // The character with the modifiers other than Shift ignored.
    XKeyEvent plain = k;
    plain.state &= ShiftMask | LockMask;
    KeySym plainSym = NoSymbol;
    const std::string text = LookupText(&plain, &plainSym);
    if (text.size() > 1) return;  // more than one character: dropped
    const int code = X11KeyCode(plainSym, text);
    if (code >= 0 && g->OnKeyDown(prevX, prevY, code)) return;
    PassToParent(k);
  }

  // Keys the editor does not use go to the window that holds it, as a
  // host would have received them.
  void PassToParent(XKeyEvent& k)
  {
    if (!embedded) return;
    if (k.type == KeyPress && k.keycode < 256) forwarded[k.keycode] = true;
    XEvent out;
    out.xkey = k;
    out.xkey.window = parent;
    out.xkey.subwindow = None;
    XSendEvent(dpy, parent, True, k.type == KeyPress ? KeyPressMask : KeyReleaseMask, &out);
  }

  // ---- Drawing into a bitmap of our own with the editor's text drawing ----
  void DrawInto(LICE_SysBitmap* target, const std::function<void()>& draw)
  {
    LICE_SysBitmap* saved = g->mDrawBitmap;
    const IRECT savedRect = g->mDrawRECT;
    g->mDrawBitmap = target;
    g->mDrawRECT = IRECT(0, 0, target->getWidth(), target->getHeight());
    draw();
    g->mDrawBitmap = saved;
    g->mDrawRECT = savedRect;
  }

  // Width of `s` in the style, or an estimate while no font answers.
  int TextWidth(IText* style, const std::string& s)
  {
    if (s.empty()) return 0;
    IRECT r;
    std::string copy = s;
    if (g->MeasureIText(style, &copy[0], &r) && r.W() > 0) return r.W();
    return static_cast<int>(s.size()) * std::max(1, style->mSize * 6 / 10);
  }

  // Text in r, centred vertically (the editor's text starts at the top).
  void DrawText(IText* style, const std::string& s, IRECT r)
  {
    if (s.empty()) return;
    std::string copy = s;
    IRECT m = r;
    if (g->MeasureIText(style, &copy[0], &m) && m.H() > 0 && m.H() < r.H()) r.T += (r.H() - m.H()) / 2;
    g->DrawIText(style, &copy[0], &r);
  }

  void Fill(const IColor& c, IRECT r) { g->FillIRect(&c, &r); }

  // ---- Text field ----
  void OpenEntry(IControl* control, IText* text, IRECT* area, const char* initial, IParam* param)
  {
    if (!control || entry.w || !area) return;
    IRECT r = *area;
    if (r.W() <= 0 || r.H() <= 0) return;
    entry.control = control;
    entry.param = param;
    entry.text = text ? *text : IText();
    entry.text.mSize = static_cast<int>(std::trunc(entry.text.mSize * 0.9));
    entry.text.mColor = entry.text.mTextEntryFGColor;
    entry.r = r;
    entry.value = initial ? initial : "";
    entry.selected = !entry.value.empty();
    entry.hasAllowed = param != nullptr;
    entry.allowed = param ? AllowedCharacters(param) : "";
    entry.maxLength = param ? control->GetTextEntryLength() : 0;
    entry.bitmap.resize(r.W(), r.H());
    XSetWindowAttributes sa = {};
    sa.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | FocusChangeMask;
    sa.background_pixel = WhitePixel(dpy, screen);
    entry.w = XCreateWindow(dpy, win, r.L * scale, r.T * scale, static_cast<unsigned>(r.W() * scale),
                            static_cast<unsigned>(r.H() * scale), 0, CopyFromParent, InputOutput, CopyFromParent,
                            CWEventMask | CWBackPixel, &sa);
    entry.presenter.Init(dpy, visual, depth, r.W() * scale, r.H() * scale);
    XMapRaised(dpy, entry.w);
    if (!mapped && !embedded) Map();
    XRaiseWindow(dpy, win);
    XSync(dpy, False);
    TakeFocus(entry.w);
    DrawEntry();
  }

  void DrawEntry()
  {
    if (!entry.w) return;
    DrawInto(&entry.bitmap, [&] {
      const IRECT all(0, 0, entry.r.W(), entry.r.H());
      Fill(entry.text.mTextEntryBGColor, all);
      IRECT textRect(2, 0, all.R - 2, all.B);
      const int w = TextWidth(&entry.text, entry.value);
      int x = 2 + w;
      if (entry.text.mAlign == IText::kAlignCenter) x = (all.R + w) / 2;
      if (entry.text.mAlign == IText::kAlignFar) x = all.R - 3;
      x = std::min(std::max(x, 1), all.R - 2);
      const int pad = std::max(2, all.B / 6);
      if (entry.selected)
        Fill(kSelection, IRECT(std::max(1, x - w), pad, x + 1, all.B - pad));
      DrawText(&entry.text, entry.value, textRect);
      // The caret after the text.
      g->DrawVerticalLine(&entry.text.mTextEntryFGColor, x, pad, all.B - 1 - pad);
    });
    entry.presenter.Put(entry.w, gc, &entry.bitmap, IRECT(0, 0, entry.r.W(), entry.r.H()), scale, 0, 0);
  }

  void EntryEvent(XEvent& ev)
  {
    switch (ev.type)
    {
      case Expose: DrawEntry(); break;
      case ButtonPress: TakeFocus(entry.w); break;
      case FocusOut:
        // Focus moving to our own window because of a grab is not leaving.
        if (ev.xfocus.mode == NotifyNormal && ev.xfocus.detail != NotifyInferior &&
            ev.xfocus.detail != NotifyPointer)
          CloseEntry(true);
        break;
      case KeyPress:
      {
        KeySym sym = NoSymbol;
        const std::string typed = LookupText(&ev.xkey, &sym);
        if (sym == XK_Return || sym == XK_KP_Enter)
          CloseEntry(true);
        else if (sym == XK_Escape)
          CloseEntry(false);
        else if (sym == XK_BackSpace)
        {
          if (entry.selected) entry.value.clear();
          if (!entry.value.empty()) entry.value.pop_back();
          entry.selected = false;
          DrawEntry();
        }
        else if (typed.size() == 1 && static_cast<unsigned char>(typed[0]) >= 0x20 && typed[0] != 0x7f)
        {
          // The field opens with its text selected: the first key replaces it.
          const std::string next = (entry.selected ? std::string() : entry.value) + typed;
          if (TextFieldAccepts(entry.hasAllowed ? entry.allowed.c_str() : nullptr, entry.maxLength, next))
          {
            entry.value = next;
            entry.selected = false;
            DrawEntry();
          }
        }
        break;
      }
      default: break;
    }
  }

  void CloseEntry(bool commit)
  {
    if (!entry.w) return;
    IControl* control = entry.control;
    IParam* param = entry.param;
    std::string value = entry.value;
    XDestroyWindow(dpy, entry.w);
    entry.presenter.Release();
    entry.w = 0;
    entry.control = nullptr;
    entry.param = nullptr;
    if (!gone) TakeFocus(win);
    if (commit && control)
    {
      if (param)
        g->SetFromStringAfterPrompt(control, param, &value[0]);
      else
        control->TextFromTextEntry(value.c_str());
    }
    const IRECT all(0, 0, g->Width(), g->Height());
    exposed = exposed.Union(&all);
  }

  // ---- Override-redirect windows for menus, boxes and tooltips ----
  // `name` (null: none yet) lets tests and window lists tell the popups
  // apart; modal ones get theirs once they hold the pointer.
  Window MakePopup(const char* name, int x, int y, int w, int h, long mask)
  {
    XSetWindowAttributes sa = {};
    sa.override_redirect = True;
    sa.save_under = True;
    sa.event_mask = mask;
    sa.background_pixel = WhitePixel(dpy, screen);
    Window p = XCreateWindow(dpy, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWOverrideRedirect | CWSaveUnder | CWEventMask | CWBackPixel,
                             &sa);
    if (name) XStoreName(dpy, p, name);
    XMapRaised(dpy, p);
    return p;
  }

  // Root position of the editor point (x, y).
  void ToRoot(int x, int y, int* rx, int* ry)
  {
    Window child;
    if (!XTranslateCoordinates(dpy, win, root, x * scale, y * scale, rx, ry, &child))
    {
      *rx = x * scale;
      *ry = y * scale;
    }
  }

  // Keeps a popup of w x h device pixels on the screen.
  void KeepOnScreen(int* x, int* y, int w, int h)
  {
    const int sw = DisplayWidth(dpy, screen), sh = DisplayHeight(dpy, screen);
    *x = std::max(0, std::min(*x, sw - w));
    *y = std::max(0, std::min(*y, sh - h));
  }

  bool Grab(Window w)
  {
    const unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    for (int tries = 0; tries < 20; ++tries)
    {
      if (XGrabPointer(dpy, w, True, mask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess)
      {
        XGrabKeyboard(dpy, w, True, GrabModeAsync, GrabModeAsync, CurrentTime);
        return true;
      }
      usleep(5000);  // the click that opened us may still hold a grab
    }
    return false;
  }

  void Ungrab()
  {
    XUngrabPointer(dpy, CurrentTime);
    XUngrabKeyboard(dpy, CurrentTime);
    XFlush(dpy);
  }

  // ---- Popup menus ----
  struct MenuWin
  {
    IPopupMenu* menu = nullptr;
    Window w = 0;
    int x = 0, y = 0, width = 0, height = 0;  // root position; size in editor pixels
    std::vector<int> tops;                    // item tops, plus the bottom
    int hover = -1;
    LICE_SysBitmap bitmap;
    X11Presenter presenter;
  };

  IText MenuStyle(const IColor& c) { return IText(12, &c, kPopupFace, IText::kStyleNormal, IText::kAlignNear); }

  std::string ItemTitle(IPopupMenu* menu, int i)
  {
    const IPopupMenuItem* item = menu->GetItem(i);
    std::string title;
    const char* prefix = menu->GetPrefixFormat();
    if (prefix && !item->GetIsSeparator())
    {
      char number[16];
      std::snprintf(number, sizeof(number), prefix, i + 1);
      title = number;
    }
    return title + (item->GetText() ? item->GetText() : "");
  }

  void LayoutMenu(MenuWin& m)
  {
    IText style = MenuStyle(kMenuText);
    int widest = 0, y = 2;
    m.tops.clear();
    for (int i = 0; i < m.menu->GetNItems(); ++i)
    {
      const IPopupMenuItem* item = m.menu->GetItem(i);
      m.tops.push_back(y);
      if (item->GetIsSeparator())
      {
        y += kMenuSeparatorH;
        continue;
      }
      int w = TextWidth(&style, ItemTitle(m.menu, i)) + (item->GetIsTitle() ? 12 : 0);
      if (item->GetSubmenu()) w += 12;
      widest = std::max(widest, w);
      y += kMenuItemH;
    }
    m.tops.push_back(y);
    m.width = std::max(80, widest + kMenuTextLeft + kMenuPadRight);
    m.height = y + 2;
    m.bitmap.resize(m.width, m.height);
  }

  void DrawMenu(MenuWin& m)
  {
    DrawInto(&m.bitmap, [&] {
      IRECT all(0, 0, m.width, m.height);
      Fill(kMenuBack, all);
      IRECT frame(0, 0, m.width - 1, m.height - 1);
      g->DrawRect(&kMenuFrame, &frame);
      for (int i = 0; i < m.menu->GetNItems(); ++i)
      {
        const IPopupMenuItem* item = m.menu->GetItem(i);
        const int top = m.tops[static_cast<size_t>(i)], bottom = m.tops[static_cast<size_t>(i) + 1];
        if (item->GetIsSeparator())
        {
          g->DrawHorizontalLine(&kMenuFrame, (top + bottom) / 2, 4, m.width - 5);
          continue;
        }
        const bool hot = i == m.hover && item->GetEnabled();
        if (hot) Fill(kMenuHover, IRECT(1, top, m.width - 1, bottom));
        const IColor& c = !item->GetEnabled() ? kMenuTextDisabled : hot ? kMenuTextHover : kMenuText;
        if (item->GetChecked())
        {
          // A tick: two strokes.
          const int cy = (top + bottom) / 2;
          g->DrawLine(&c, 7, static_cast<float>(cy), 10, static_cast<float>(cy + 3));
          g->DrawLine(&c, 10, static_cast<float>(cy + 3), 15, static_cast<float>(cy - 4));
        }
        IText style = MenuStyle(c);
        const int indent = item->GetIsTitle() ? 12 : 0;
        DrawText(&style, ItemTitle(m.menu, i), IRECT(kMenuTextLeft + indent, top, m.width - kMenuPadRight, bottom));
        if (item->GetSubmenu())
        {
          const int cy = (top + bottom) / 2;
          for (int k = 0; k < 4; ++k) g->DrawVerticalLine(&c, m.width - 10 + k, cy - 3 + k, cy + 3 - k);
        }
      }
    });
    m.presenter.Put(m.w, gc, &m.bitmap, IRECT(0, 0, m.width, m.height), scale, 0, 0);
  }

  std::unique_ptr<MenuWin> OpenMenu(IPopupMenu* menu, int rx, int ry)
  {
    std::unique_ptr<MenuWin> m(new MenuWin);
    m->menu = menu;
    LayoutMenu(*m);
    int x = rx, y = ry;
    KeepOnScreen(&x, &y, m->width * scale, m->height * scale);
    m->x = x;
    m->y = y;
    m->w = MakePopup(nullptr, x, y, m->width * scale, m->height * scale, ExposureMask);
    m->presenter.Init(dpy, visual, depth, m->width * scale, m->height * scale);
    DrawMenu(*m);
    return m;
  }

  void CloseMenu(MenuWin& m)
  {
    m.presenter.Release();
    XDestroyWindow(dpy, m.w);
  }

  // The item under root point (rx, ry) of menu m, or -1.
  int ItemAt(const MenuWin& m, int rx, int ry) const
  {
    const int x = FloorDiv(rx - m.x, scale), y = FloorDiv(ry - m.y, scale);
    if (x < 0 || x >= m.width || y < 0 || y >= m.height) return -1;
    for (size_t i = 0; i + 1 < m.tops.size(); ++i)
      if (y >= m.tops[i] && y < m.tops[i + 1]) return static_cast<int>(i);
    return -1;
  }

  IPopupMenu* RunMenu(IPopupMenu* menu, IRECT* area)
  {
    if (!menu || menu->GetNItems() == 0) return nullptr;
    g->ReleaseMouseCapture();
    HideTooltip();
    const IRECT r = area ? *area : IRECT();
    int rx = 0, ry = 0;
    ToRoot(r.L, r.B + 1 + 4, &rx, &ry);
    std::vector<std::unique_ptr<MenuWin>> open;
    open.push_back(OpenMenu(menu, rx, ry));
    XSync(dpy, False);
    if (!Grab(open[0]->w))
    {
      CloseMenu(*open[0]);
      return nullptr;
    }
    XStoreName(dpy, open[0]->w, "quill-menu");
    XFlush(dpy);
    bool done = false;
    IPopupMenu* result = nullptr;
    bool pressedInside = false;

    auto hit = [&](int rootX, int rootY, int* level) {
      for (int l = static_cast<int>(open.size()) - 1; l >= 0; --l)
      {
        const int item = ItemAt(*open[static_cast<size_t>(l)], rootX, rootY);
        if (item >= 0)
        {
          *level = l;
          return item;
        }
      }
      *level = -1;
      return -1;
    };
    auto hover = [&](int level, int item) {
      // Leaving a submenu's item closes the menus below it.
      while (static_cast<int>(open.size()) > level + 1)
      {
        CloseMenu(*open.back());
        open.pop_back();
      }
      MenuWin& m = *open[static_cast<size_t>(level)];
      if (m.hover != item)
      {
        m.hover = item;
        DrawMenu(m);
      }
      const IPopupMenuItem* it = m.menu->GetItem(item);
      if (it && it->GetEnabled() && it->GetSubmenu() && it->GetSubmenu()->GetNItems() > 0)
      {
        open.push_back(OpenMenu(it->GetSubmenu(), m.x + m.width * scale - 2,
                                m.y + m.tops[static_cast<size_t>(item)] * scale));
        XStoreName(dpy, open.back()->w, "quill-submenu");
      }
    };
    auto choose = [&](int level, int item) {
      MenuWin& m = *open[static_cast<size_t>(level)];
      const IPopupMenuItem* it = m.menu->GetItem(item);
      if (!it || !it->GetEnabled() || it->GetIsSeparator() || it->GetSubmenu()) return;
      m.menu->SetChosenItemIdx(item);
      result = m.menu;
      done = true;
    };

    auto modal = [&](XEvent& ev) -> bool {
      for (auto& m : open)
        if (ev.xany.window == m->w)
        {
          if (ev.type == Expose) DrawMenu(*m);
        }
      switch (ev.type)
      {
        case MotionNotify:
        {
          int level;
          const int item = hit(ev.xmotion.x_root, ev.xmotion.y_root, &level);
          if (item >= 0 && !(open[static_cast<size_t>(level)]->hover == item &&
                             static_cast<int>(open.size()) > level + 1))
            hover(level, item);
          return true;
        }
        case ButtonPress:
        {
          int level;
          const int item = hit(ev.xbutton.x_root, ev.xbutton.y_root, &level);
          if (ev.xbutton.button == Button4 || ev.xbutton.button == Button5) return true;
          if (item < 0)
          {
            // A click outside every menu closes them all with no choice.
            bool inside = false;
            for (auto& m : open)
              inside |= FloorDiv(ev.xbutton.x_root - m->x, scale) >= 0 &&
                        FloorDiv(ev.xbutton.x_root - m->x, scale) < m->width &&
                        FloorDiv(ev.xbutton.y_root - m->y, scale) >= 0 &&
                        FloorDiv(ev.xbutton.y_root - m->y, scale) < m->height;
            if (!inside) done = true;
            return true;
          }
          pressedInside = true;
          return true;
        }
        case ButtonRelease:
        {
          int level;
          const int item = hit(ev.xbutton.x_root, ev.xbutton.y_root, &level);
          if (item >= 0 && pressedInside) choose(level, item);
          return true;
        }
        case KeyPress:
        {
          KeySym sym = NoSymbol;
          LookupText(&ev.xkey, &sym);
          MenuWin& m = *open.back();
          const int n = m.menu->GetNItems();
          if (sym == XK_Escape) done = true;
          else if (sym == XK_Down || sym == XK_Up)
          {
            int i = m.hover;
            for (int step = 0; step < n; ++step)
            {
              i = sym == XK_Down ? (i + 1) % n : (i - 1 + n) % n;
              if (!m.menu->GetItem(i)->GetIsSeparator()) break;
            }
            m.hover = i;
            DrawMenu(m);
          }
          else if ((sym == XK_Return || sym == XK_KP_Enter) && m.hover >= 0)
            choose(static_cast<int>(open.size()) - 1, m.hover);
          return true;
        }
        case KeyRelease: return true;
        default: return false;
      }
    };

    while (!done && !gone)
    {
      Pump(modal);
      if (done || gone) break;
      Tick();
      Wait();
    }
    Ungrab();
    while (!open.empty())
    {
      CloseMenu(*open.back());
      open.pop_back();
    }
    XSync(dpy, False);
    return result;
  }

  // ---- Message boxes ----
  int RunMessageBox(const char* text, const char* caption, int type)
  {
    struct Button
    {
      const char* label;
      int result;
      IRECT r;
    };
    std::vector<Button> buttons;
    switch (type)
    {
      case 1: buttons = {{"OK", 1, {}}, {"Cancel", 7, {}}}; break;
      case 3: buttons = {{"Yes", 1, {}}, {"No", 7, {}}, {"Cancel", 2, {}}}; break;
      case 4: buttons = {{"Yes", 1, {}}, {"No", 7, {}}}; break;
      default: buttons = {{"OK", 1, {}}}; break;
    }
    HideTooltip();
    g->ReleaseMouseCapture();
    IText body(12, &kMenuText, kPopupFace, IText::kStyleNormal, IText::kAlignNear);
    IText head(13, &kMenuText, kPopupFace, IText::kStyleBold, IText::kAlignNear);
    // Lines broken at spaces to fit the box.
    const int w = 360, textW = w - 32, lineH = 17;
    std::vector<std::string> lines;
    std::string all = text ? text : "";
    size_t start = 0;
    while (start <= all.size())
    {
      size_t nl = all.find('\n', start);
      if (nl == std::string::npos) nl = all.size();
      std::string para = all.substr(start, nl - start), line;
      size_t p = 0;
      while (p <= para.size())
      {
        size_t sp = para.find(' ', p);
        if (sp == std::string::npos) sp = para.size();
        const std::string word = para.substr(p, sp - p);
        const std::string tryLine = line.empty() ? word : line + " " + word;
        if (!line.empty() && TextWidth(&body, tryLine) > textW)
        {
          lines.push_back(line);
          line = word;
        }
        else
          line = tryLine;
        p = sp + 1;
      }
      lines.push_back(line);
      start = nl + 1;
    }
    const int h = 16 + 22 + static_cast<int>(lines.size()) * lineH + 16 + 26 + 12;
    int bx = w - 16;
    for (int i = static_cast<int>(buttons.size()) - 1; i >= 0; --i)
    {
      buttons[static_cast<size_t>(i)].r = IRECT(bx - 80, h - 12 - 26, bx, h - 12);
      bx -= 88;
    }
    // Centred over the view.
    int vx = 0, vy = 0;
    ToRoot(0, 0, &vx, &vy);
    int x = vx + (g->Width() * scale - w * scale) / 2, y = vy + (g->Height() * scale - h * scale) / 2;
    KeepOnScreen(&x, &y, w * scale, h * scale);
    LICE_SysBitmap bitmap(w, h);
    X11Presenter boxPresenter;
    boxPresenter.Init(dpy, visual, depth, w * scale, h * scale);
    Window box = MakePopup(nullptr, x, y, w * scale, h * scale, ExposureMask);
    int hot = -1;
    auto draw = [&] {
      DrawInto(&bitmap, [&] {
        Fill(kMenuBack, IRECT(0, 0, w, h));
        IRECT frame(0, 0, w - 1, h - 1);
        g->DrawRect(&kMenuFrame, &frame);
        DrawText(&head, caption ? caption : "", IRECT(16, 14, w - 16, 36));
        for (size_t i = 0; i < lines.size(); ++i)
          DrawText(&body, lines[i], IRECT(16, 40 + static_cast<int>(i) * lineH, w - 16, 40 + (static_cast<int>(i) + 1) * lineH));
        for (size_t i = 0; i < buttons.size(); ++i)
        {
          IRECT b = buttons[i].r;
          Fill(static_cast<int>(i) == hot ? kMenuHover : kButtonFace, b);
          IRECT edge(b.L, b.T, b.R - 1, b.B - 1);
          g->DrawRect(&kMenuFrame, &edge);
          IText label(12, static_cast<int>(i) == hot ? &kMenuTextHover : &kMenuText, kPopupFace,
                      i == 0 ? IText::kStyleBold : IText::kStyleNormal, IText::kAlignCenter);
          DrawText(&label, buttons[i].label, b);
        }
      });
      boxPresenter.Put(box, gc, &bitmap, IRECT(0, 0, w, h), scale, 0, 0);
    };
    XSync(dpy, False);
    draw();
    int result = -1;
    if (!Grab(box))
      result = 0;
    else
      XStoreName(dpy, box, "quill-message");
    XFlush(dpy);
    auto buttonAt = [&](int rootX, int rootY) {
      const int px = FloorDiv(rootX - x, scale), py = FloorDiv(rootY - y, scale);
      for (size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i].r.Contains(px, py)) return static_cast<int>(i);
      return -1;
    };
    auto modal = [&](XEvent& ev) -> bool {
      if (ev.xany.window == box && ev.type == Expose) draw();
      switch (ev.type)
      {
        case MotionNotify:
        {
          const int b = buttonAt(ev.xmotion.x_root, ev.xmotion.y_root);
          if (b != hot)
          {
            hot = b;
            draw();
          }
          return true;
        }
        case ButtonRelease:
        {
          const int b = buttonAt(ev.xbutton.x_root, ev.xbutton.y_root);
          if (b >= 0) result = buttons[static_cast<size_t>(b)].result;
          return true;
        }
        case ButtonPress: return true;
        case KeyPress:
        {
          KeySym sym = NoSymbol;
          LookupText(&ev.xkey, &sym);
          if (sym == XK_Return || sym == XK_KP_Enter) result = 1;
          if (sym == XK_Escape)
          {
            result = 0;
            for (const Button& b : buttons)
              if (!std::strcmp(b.label, "Cancel")) result = b.result;
          }
          return true;
        }
        case KeyRelease: return true;
        default: return false;
      }
    };
    while (result < 0 && !gone)
    {
      Pump(modal);
      if (result >= 0 || gone) break;
      Tick();
      Wait();
    }
    Ungrab();
    boxPresenter.Release();
    XDestroyWindow(dpy, box);
    XSync(dpy, False);
    return std::max(result, 0);
  }

  // ---- Tooltips ----
  const char* TooltipAt(int x, int y)
  {
    for (int i = g->GetNControls() - 1; i > 0; --i)
    {
      IControl* c = g->GetControl(i);
      IRECT* t = c->GetTargetRECT();
      if (c->IsHidden() || t->Empty() || !t->Contains(x, y)) continue;
      return c->GetTooltip() && c->GetTooltip()[0] ? c->GetTooltip() : nullptr;
    }
    return nullptr;
  }

  void ShowTooltip()
  {
    tipPending = false;
    if (tipWin) return;
    const char* tip = TooltipAt(tipX, tipY);
    if (!tip) return;
    IText style(11, &kMenuText, kPopupFace, IText::kStyleNormal, IText::kAlignNear);
    const int w = TextWidth(&style, tip) + 10, h = 18;
    tipBitmap.resize(w, h);
    DrawInto(&tipBitmap, [&] {
      Fill(kTooltipBack, IRECT(0, 0, w, h));
      IRECT frame(0, 0, w - 1, h - 1);
      g->DrawRect(&kMenuFrame, &frame);
      DrawText(&style, tip, IRECT(5, 0, w - 5, h));
    });
    int x = tipRootX + 12, y = tipRootY + 18;
    KeepOnScreen(&x, &y, w * scale, h * scale);
    tipWin = MakePopup("quill-tooltip", x, y, w * scale, h * scale, ExposureMask);
    tipPresenter.Init(dpy, visual, depth, w * scale, h * scale);
    XSync(dpy, False);
    tipPresenter.Put(tipWin, gc, &tipBitmap, IRECT(0, 0, w, h), scale, 0, 0);
  }

  void HideTooltip()
  {
    if (!tipWin) return;
    tipPresenter.Release();
    XDestroyWindow(dpy, tipWin);
    tipWin = 0;
  }

  // ---- Clipboard ----
  bool ReadClipboard(std::string* out)
  {
    if (XGetSelectionOwner(dpy, clipboard) == None) return false;
    XConvertSelection(dpy, clipboard, utf8, clipProp, win, CurrentTime);
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(500);
    bool answered = false, ok = false;
    auto modal = [&](XEvent& ev) -> bool {
      if (ev.type != SelectionNotify || ev.xselection.requestor != win) return false;
      answered = true;
      if (ev.xselection.property == None) return true;
      Atom type;
      int format;
      unsigned long n, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(dpy, win, clipProp, 0, 1 << 20, True, AnyPropertyType, &type, &format, &n, &after,
                             &data) == Success &&
          data && format == 8 && (type == utf8 || type == XA_STRING))
      {
        out->assign(reinterpret_cast<char*>(data), n);
        ok = true;
      }
      if (data) XFree(data);
      return true;
    };
    while (!answered && !gone && Clock::now() < end)
    {
      Pump(modal);
      if (answered) break;
      XFlush(dpy);
      pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
      poll(&p, 1, 20);
    }
    return ok;
  }
};

// ---------------------------------------------------------------------------

IGraphicsLinux::IGraphicsLinux(IPlugBase* plug, int width, int height, int fps)
  : IGraphicsHeadless(plug, width, height, fps)
{
}

IGraphicsLinux::~IGraphicsLinux()
{
  CloseWindow();
  if (mRegisteredView) QuillUnregisterWindowView(static_cast<NSView*>(mRegisteredView));
}

bool IGraphicsLinux::DisplayNamed()
{
  const char* d = std::getenv("DISPLAY");
  return d && d[0];
}

void* IGraphicsLinux::OpenWindow(void* parent)
{
  CloseWindow();
  mLastError.clear();
  mTakenAway = mLostDisplay = false;
  std::unique_ptr<IGraphicsLinuxView> view(new IGraphicsLinuxView(this));
  if (!view->Open(parent, &mLastError))
  {
    view->Close();
    return nullptr;
  }
  mView = std::move(view);
  UpdateTooltips();
  // A host reaches the view through the platform alone: it can drive the
  // window and take the editor's picture without holding this object.
  static const QuillWindowViewProcs kProcs = {
    [](void* g, const char* title) { return static_cast<IGraphicsLinux*>(g)->ShowTopLevel(title); },
    [](void* g) { return static_cast<IGraphicsLinux*>(g)->Idle(); },
    [](void* g) { return static_cast<IGraphicsLinux*>(g)->ConnectionFd(); },
    [](void* g) { return static_cast<IGraphicsLinux*>(g)->MillisecondsToNextFrame(); },
    [](void* g) { static_cast<IGraphicsLinux*>(g)->CloseWindow(); },
    [](void* g) { return static_cast<IGraphicsLinux*>(g)->LostDisplay(); },
  };
  NSView* hostView = static_cast<NSView*>(GetWindow());
  if (mRegisteredView) QuillUnregisterWindowView(static_cast<NSView*>(mRegisteredView));
  mRegisteredView = QuillRegisterWindowView(hostView, &kProcs, this) ? hostView : nullptr;
  QuillRegisterOffscreenView(hostView, Width(), Height(), &DrawView, this);
  return GetWindow();
}

void IGraphicsLinux::CloseWindow()
{
  if (!mView) return;
  QuillUnregisterOffscreenView(static_cast<NSView*>(GetWindow()));
  std::unique_ptr<IGraphicsLinuxView> view = std::move(mView);
  view->Close();
}

void IGraphicsLinux::AttachSubWindow(void* hostWindow)
{
  if (!hostWindow || !OpenWindow(hostWindow)) return;
  IGraphicsLinuxView& v = *mView;
  ErrorScope trap(v.dpy);
  XWindowAttributes host;
  const int w = Width() * v.scale;
  if (XGetWindowAttributes(v.dpy, v.parent, &host) && host.width > w) XMoveWindow(v.dpy, v.win, (host.width - w) / 2, 0);
  XRaiseWindow(v.dpy, v.win);
}

void IGraphicsLinux::RemoveSubWindow() { CloseWindow(); }

void* IGraphicsLinux::GetWindow() { return mView ? ParentFromXID(mView->win) : nullptr; }

bool IGraphicsLinux::DrawScreen(IRECT* r)
{
  if (!mView) return IGraphicsHeadless::DrawScreen(r);
  if (mView->gone) return false;
  ErrorScope trap(mView->dpy);
  mView->Present(r ? *r : IRECT(0, 0, Width(), Height()));
  return true;
}

void IGraphicsLinux::ForceEndUserEdit()
{
  if (!mView) return IGraphicsHeadless::ForceEndUserEdit();
  ErrorScope trap(mView->dpy);
  mView->CloseEntry(false);
}

void IGraphicsLinux::Resize(int w, int h)
{
  if (w <= 0 || h <= 0 || (w == Width() && h == Height())) return;
  IGraphicsHeadless::Resize(w, h);
  if (!mView || mView->gone) return;
  ErrorScope trap(mView->dpy);
  mView->Fit();
}

const char* IGraphicsLinux::GetGUIAPI() { return mView ? "X11" : IGraphicsHeadless::GetGUIAPI(); }

int IGraphicsLinux::ShowMessageBox(const char* text, const char* caption, int type)
{
  if (!mView || mView->gone) return IGraphicsHeadless::ShowMessageBox(text, caption, type);
  ErrorScope trap(mView->dpy);
  return mView->RunMessageBox(text, caption, type);
}

IPopupMenu* IGraphicsLinux::CreateIPopupMenu(IPopupMenu* menu, IRECT* area)
{
  if (!mView || mView->gone) return IGraphicsHeadless::CreateIPopupMenu(menu, area);
  ErrorScope trap(mView->dpy);
  return mView->RunMenu(menu, area);
}

void IGraphicsLinux::CreateTextEntry(IControl* control, IText* text, IRECT* area, const char* initial,
                                     IParam* param)
{
  if (!mView || mView->gone) return IGraphicsHeadless::CreateTextEntry(control, text, area, initial, param);
  ErrorScope trap(mView->dpy);
  mView->OpenEntry(control, text, area, initial, param);
}

void IGraphicsLinux::PromptForFile(WDL_String* file, EFileAction action, WDL_String* dir, char* extensions)
{
  if (!file) return;
  if (!mView)
  {
    file->Set("");
    return;
  }
  const std::string name = file->Get();
  std::string folder = dir && dir->Get()[0] ? dir->Get() : "~/Desktop";
  if (dir && !dir->Get()[0]) dir->Set(folder.c_str());
  file->Set("");
  folder = ExpandHome(folder);
  if (!folder.empty() && folder.back() != '/') folder += '/';

  std::vector<std::string> types;
  if (extensions)
  {
    std::string all(extensions);
    size_t start = 0;
    while (start < all.size())
    {
      size_t sp = all.find(' ', start);
      if (sp == std::string::npos) sp = all.size();
      if (sp > start) types.push_back(all.substr(start, sp - start));
      start = sp + 1;
    }
  }
  std::string patterns;
  for (const std::string& t : types) patterns += (patterns.empty() ? "*." : " *.") + t;

  std::vector<std::string> argv;
  const bool save = action == kFileSave;
  if (OnPath("zenity"))
  {
    argv = {"zenity", "--file-selection", "--filename=" + folder + name};
    if (save) argv.push_back("--save"), argv.push_back("--confirm-overwrite");
    if (!patterns.empty()) argv.push_back("--file-filter=" + patterns);
  }
  else if (OnPath("kdialog"))
  {
    argv = {"kdialog", save ? "--getsavefilename" : "--getopenfilename", folder + name};
    if (!patterns.empty()) argv.push_back(patterns);
  }
  else
  {
    return;  // no dialog program: as if cancelled
  }
  std::string chosen;
  if (RunCapture(argv, &chosen) != 0) return;
  while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
  if (chosen.empty()) return;
  if (save && !types.empty())
  {
    // A saved file gets one of the allowed extensions.
    bool known = false;
    const size_t dot = chosen.rfind('.');
    for (const std::string& t : types)
      known |= dot != std::string::npos && chosen.find('/', dot) == std::string::npos && chosen.substr(dot + 1) == t;
    if (!known) chosen += "." + types[0];
  }
  file->Set(chosen.c_str());
  if (dir)
  {
    const size_t slash = chosen.rfind('/');
    dir->Set(slash == std::string::npos ? "./" : chosen.substr(0, slash + 1).c_str());
  }
}

bool IGraphicsLinux::OpenURL(const char* url, const char*, const char*, const char*)
{
  if (!url || !url[0]) return false;
  const bool web = std::strstr(url, "http") != nullptr;
  // A web address with spaces or control characters cannot be formed.
  if (web)
    for (const char* p = url; *p; ++p)
      if (static_cast<unsigned char>(*p) <= 0x20) return false;
  return RunCapture({"xdg-open", url}, nullptr) == 0;
}

bool IGraphicsLinux::GetTextFromClipboard(WDL_String* text)
{
  if (!mView || mView->gone) return IGraphicsHeadless::GetTextFromClipboard(text);
  ErrorScope trap(mView->dpy);
  std::string value;
  const bool ok = mView->ReadClipboard(&value);
  if (text) text->Set(ok ? value.c_str() : "");
  return ok;
}

void IGraphicsLinux::HideMouseCursor()
{
  if (!mView || mCursorHidden) return;
  IGraphicsLinuxView& v = *mView;
  ErrorScope trap(v.dpy);
  Window rootRet, child;
  int rx, ry, wx, wy;
  unsigned mask;
  if (!XQueryPointer(v.dpy, v.win, &rootRet, &child, &rx, &ry, &wx, &wy, &mask)) return;
  if (!v.blankCursor)
  {
    static const char empty[1] = {0};
    Pixmap p = XCreateBitmapFromData(v.dpy, v.win, empty, 1, 1);
    XColor black = {};
    v.blankCursor = XCreatePixmapCursor(v.dpy, p, p, &black, &black, 0, 0);
    XFreePixmap(v.dpy, p);
  }
  XDefineCursor(v.dpy, v.win, v.blankCursor);
  mHiddenCursorX = rx;
  mHiddenCursorY = ry;
  mCursorHidden = true;
}

void IGraphicsLinux::ShowMouseCursor()
{
  if (!mView || !mCursorHidden) return;
  IGraphicsLinuxView& v = *mView;
  ErrorScope trap(v.dpy);
  XWarpPointer(v.dpy, None, v.root, 0, 0, 0, 0, mHiddenCursorX, mHiddenCursorY);
  XUndefineCursor(v.dpy, v.win);
  XFlush(v.dpy);
  mCursorHidden = false;
}

void IGraphicsLinux::UpdateTooltips()
{
  if (!mView) return;
  ErrorScope trap(mView->dpy);
  mView->HideTooltip();
}

bool IGraphicsLinux::Idle()
{
  if (!mView) return false;
  if (mView->Idle()) return true;
  // A view whose parent took it away is finished: it lets go of everything.
  if (mView->gone)
  {
    mLostDisplay = mView->connectionLost;
    CloseWindow();
    mTakenAway = true;
  }
  return false;
}

int IGraphicsLinux::ConnectionFd() const { return mView ? ConnectionNumber(mView->dpy) : -1; }

int IGraphicsLinux::MillisecondsToNextFrame() const { return mView ? mView->MsToNextTick() : 1000 / FPS(); }

bool IGraphicsLinux::ShowTopLevel(const char* title)
{
  if (!mView || mView->embedded || mView->gone) return false;
  IGraphicsLinuxView& v = *mView;
  ErrorScope trap(v.dpy);
  const char* name = title ? title : "";
  XStoreName(v.dpy, v.win, name);
  XChangeProperty(v.dpy, v.win, v.netWmName, v.utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(name), static_cast<int>(std::strlen(name)));
  // Lets window lists (and tests) find the program's window by its process.
  const long pid = static_cast<long>(getpid());
  XChangeProperty(v.dpy, v.win, XInternAtom(v.dpy, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  XClassHint* cls = XAllocClassHint();
  cls->res_name = const_cast<char*>("quillbar-tremolo");
  cls->res_class = const_cast<char*>("QuillbarTremolo");
  XSetClassHint(v.dpy, v.win, cls);
  XFree(cls);
  v.Map();
  return true;
}

bool IGraphicsLinux::CloseRequested() const { return mTakenAway || (mView && (mView->closeRequested || mView->gone)); }

void IGraphicsLinux::SetPreferredScale(int scale) { mPreferredScale = scale == 1 || scale == 2 ? scale : 0; }

int IGraphicsLinux::Scale() const
{
  if (mView) return mView->scale;
  return mPreferredScale ? mPreferredScale : X11ScaleFor(std::getenv("QUILL_UI_SCALE"), nullptr);
}

bool IGraphicsLinux::UsesSharedMemory() const { return mView && mView->presenter.Shared(); }
