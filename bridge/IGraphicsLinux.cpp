// The X11 view's window: connection, embedding, events, the redraw timer,
// presenting and the pointer.
#include "bridge/IGraphicsLinuxView.h"

#include <QuillPlatform.h>

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "bridge/X11Calls.h"

using namespace x11_view;

namespace
{
constexpr int kDoubleClickMs = 500;
constexpr int kDoubleClickSlop = 4;
constexpr int kTooltipDelayMs = 600;

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
}  // namespace

namespace x11_view
{
ErrorScope::ErrorScope(Display* d) : mOuter(sTrapDisplay != nullptr)
{
  if (mOuter) return;  // nested: the outer scope holds the handler
  sTrapDisplay = d;
  sTrappedError = 0;
  sPreviousHandler = XSetErrorHandler(TrapError);
}

ErrorScope::~ErrorScope()
{
  if (mOuter) return;
  XSync(sTrapDisplay, False);
  XSetErrorHandler(sPreviousHandler);
  sTrapDisplay = nullptr;
}

std::string LookupText(XKeyEvent* ev, KeySym* sym)
{
  char buf[16];
  const int n = XLookupString(ev, buf, sizeof(buf), sym, nullptr);
  return std::string(buf, static_cast<size_t>(std::max(n, 0)));
}
}  // namespace x11_view

// ---------------------------------------------------------------------------

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

bool IGraphicsLinuxView::Open(void* parentHandle, std::string* error)
{
  const char* name = std::getenv("DISPLAY");
  if (!X11Library())
  {
    *error = std::string("cannot open the X display \"") + (name ? name : "") +
             "\": the X11 libraries (libX11.so.6, libXext.so.6) cannot be loaded";
    return false;
  }
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
  targets = XInternAtom(dpy, "TARGETS", False);

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
void IGraphicsLinuxView::Fit()
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

void IGraphicsLinuxView::Map()
{
  XMapRaised(dpy, win);
  mapped = true;
  XFlush(dpy);
}

void IGraphicsLinuxView::ConnectionLost(Display*, void* view)
{
  IGraphicsLinuxView* v = static_cast<IGraphicsLinuxView*>(view);
  v->connectionLost = v->gone = true;
}

void IGraphicsLinuxView::Close()
{
  if (!dpy) return;
  LoseClipboard();  // the window that owns it goes
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

// ---- Presenting ----
void IGraphicsLinuxView::Present(IRECT r)
{
  const IRECT all(0, 0, g->Width(), g->Height());
  r = r.Intersect(&all);
  if (r.Empty() || !win || gone || !g->GetDrawBitmap()) return;
  presenter.Put(win, gc, g->GetDrawBitmap(), r, scale, 0, 0);
}

// ---- The idle call ----
bool IGraphicsLinuxView::Idle()
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
void IGraphicsLinuxView::Pump(const std::function<bool(XEvent&)>& modal)
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

void IGraphicsLinuxView::Tick()
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

int IGraphicsLinuxView::MsToNextTick() const
{
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now()).count();
  return static_cast<int>(std::max<long long>(0, std::min<long long>(1000, left)));
}

// Waits for X input or the next tick, for the modal loops.
void IGraphicsLinuxView::Wait()
{
  XFlush(dpy);
  if (XPending(dpy)) return;
  pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
  poll(&p, 1, std::max(1, MsToNextTick()));
}

// ---- Events ----
void IGraphicsLinuxView::Dispatch(XEvent& ev, bool inModal)
{
  if (ev.type == MappingNotify)
  {
    // A new keyboard layout (or a program that types through a key it
    // remaps): without this, key lookups keep answering from the old map.
    XRefreshKeyboardMapping(&ev.xmapping);
    return;
  }
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
    // Served in modal loops too: another program pasting must not wait on a menu.
    case SelectionRequest: AnswerSelection(ev.xselectionrequest); break;
    case SelectionClear:
      if (ev.xselectionclear.selection == clipboard) LoseClipboard();
      break;
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

void IGraphicsLinuxView::TakeFocus(Window w)
{
  XWindowAttributes a;
  if (XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable)
    XSetInputFocus(dpy, w, RevertToParent, CurrentTime);
}

void IGraphicsLinuxView::ButtonDown(XButtonEvent& b)
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

void IGraphicsLinuxView::ButtonUp(XButtonEvent& b)
{
  if (b.button != Button1 && b.button != Button3) return;
  IMouseMod m = Mods(b.state, b.button == Button1);
  prevX = EdX(b.x);
  prevY = EdY(b.y);
  g->OnMouseUp(prevX, prevY, &m);
}

void IGraphicsLinuxView::Motion(XMotionEvent& mo)
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

void IGraphicsLinuxView::KeyDown(XKeyEvent& k)
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
void IGraphicsLinuxView::PassToParent(XKeyEvent& k)
{
  if (!embedded) return;
  if (k.type == KeyPress && k.keycode < 256) forwarded[k.keycode] = true;
  XEvent out;
  out.xkey = k;
  out.xkey.window = parent;
  out.xkey.subwindow = None;
  XSendEvent(dpy, parent, True, k.type == KeyPress ? KeyPressMask : KeyReleaseMask, &out);
}

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
  // Only now, with a display to show on, is Xlib worth loading; without it
  // the headless layer is all a window could ever be.
  return d && d[0] && X11Library();
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

void IGraphicsLinux::Resize(int w, int h)
{
  if (w <= 0 || h <= 0 || (w == Width() && h == Height())) return;
  IGraphicsHeadless::Resize(w, h);
  if (!mView || mView->gone) return;
  ErrorScope trap(mView->dpy);
  mView->Fit();
}

const char* IGraphicsLinux::GetGUIAPI() { return mView ? "X11" : IGraphicsHeadless::GetGUIAPI(); }

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
