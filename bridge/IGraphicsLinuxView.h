// The X11 view behind IGraphicsLinux, shared by the files it is made of and
// private to the bridge library:
//   IGraphicsLinux.cpp           the window: set-up, embedding, events, the
//                                redraw timer, presenting, the pointer
//   IGraphicsLinuxPopups.cpp     menus, message boxes, tooltips and the
//                                drawing into popup bitmaps they share
//   IGraphicsLinuxTextEntry.cpp  the text field
//   IGraphicsLinuxServices.cpp   desktop services: file dialogs, URLs, clipboard
#pragma once

#include "bridge/IGraphicsLinux.h"

// Our headers before Xlib's, whose macros (Bool, Status) clash with names in them.
#include "editor/IPopupMenu.h"
#include "framework/IParam.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/X11Support.h"

namespace x11_view
{
using Clock = std::chrono::steady_clock;

// Errors on the view's own connection are remembered instead of ending the
// process (Xlib's default) while a scope lives; scopes nest.
class ErrorScope
{
public:
  explicit ErrorScope(Display* d);
  ~ErrorScope();

private:
  bool mOuter;
};

inline int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The text a key event types (Latin-1, as XLookupString gives it) and its key symbol.
std::string LookupText(XKeyEvent* ev, KeySym* sym);
}  // namespace x11_view

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
  Atom wmProtocols = 0, wmDelete = 0, xembedInfo = 0, clipboard = 0, utf8 = 0, clipProp = 0, netWmName = 0,
       targets = 0;
  // The text the view holds in CLIPBOARD while it owns that selection.
  std::string clipText;
  bool ownsClipboard = false;
  X11Presenter presenter;
  x11_view::Clock::time_point nextTick;
  x11_view::Clock::duration period;
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
    TextFieldEdit edit;
    int scroll = 0;  // pixels of a long text scrolled out on the left
    std::string allowed;
    bool hasAllowed = false;
    int maxLength = 0;
    LICE_SysBitmap bitmap;
    X11Presenter presenter;
  } entry;

  // Tooltip.
  Window tipWin = 0;
  LICE_SysBitmap tipBitmap;
  X11Presenter tipPresenter;
  x11_view::Clock::time_point lastMotion;
  bool tipPending = false;
  int tipX = 0, tipY = 0, tipRootX = 0, tipRootY = 0;

  explicit IGraphicsLinuxView(IGraphicsLinux* graphics) : g(graphics) {}

  // ---- Set-up and tear-down (IGraphicsLinux.cpp) ----
  bool Open(void* parentHandle, std::string* error);
  void Fit();
  void Map();
  static void ConnectionLost(Display*, void* view);
  void Close();

  // ---- Coordinates ----
  // The editor's point for a window pixel: two pixels up and left of it, as
  // the editor has always been given positions (its bottom-left pixel is
  // (-2, height - 3)).
  int EdX(int px) const { return x11_view::FloorDiv(px, scale) - 2; }
  int EdY(int py) const { return x11_view::FloorDiv(py, scale) - 2; }

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

  // ---- Presenting, the idle call, events (IGraphicsLinux.cpp) ----
  void Present(IRECT r);
  bool Idle();
  void Pump(const std::function<bool(XEvent&)>& modal);
  void Tick();
  int MsToNextTick() const;
  void Wait();
  void Dispatch(XEvent& ev, bool inModal);
  void TakeFocus(Window w);
  void ButtonDown(XButtonEvent& b);
  void ButtonUp(XButtonEvent& b);
  void Motion(XMotionEvent& mo);
  void KeyDown(XKeyEvent& k);
  void PassToParent(XKeyEvent& k);

  // ---- Drawing into popup bitmaps (IGraphicsLinuxPopups.cpp) ----
  void DrawInto(LICE_SysBitmap* target, const std::function<void()>& draw);
  int TextWidth(IText* style, const std::string& s);
  void DrawText(IText* style, const std::string& s, IRECT r);
  void Fill(const IColor& c, IRECT r) { g->FillIRect(&c, &r); }

  // ---- Text field (IGraphicsLinuxTextEntry.cpp) ----
  void OpenEntry(IControl* control, IText* text, IRECT* area, const char* initial, IParam* param);
  void DrawEntry();
  // Left edge of the text in the field (its pixels), scrolling a text too
  // long for the field so that the caret stays in view.
  int EntryTextLeft();
  // The caret offset a click at x (field pixels) puts the caret at.
  size_t EntryOffsetAt(int x);
  void EntryEvent(XEvent& ev);
  void CloseEntry(bool commit);

  // ---- Popup windows, menus, message boxes, tooltips (IGraphicsLinuxPopups.cpp) ----
  Window MakePopup(const char* name, int x, int y, int w, int h, long mask);
  void ToRoot(int x, int y, int* rx, int* ry);
  void KeepOnScreen(int* x, int* y, int w, int h);
  bool Grab(Window w);
  void Ungrab();

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

  IText MenuStyle(const IColor& c);
  std::string ItemTitle(IPopupMenu* menu, int i);
  void LayoutMenu(MenuWin& m);
  void DrawMenu(MenuWin& m);
  std::unique_ptr<MenuWin> OpenMenu(IPopupMenu* menu, int rx, int ry);
  void CloseMenu(MenuWin& m);
  int ItemAt(const MenuWin& m, int rx, int ry) const;
  IPopupMenu* RunMenu(IPopupMenu* menu, IRECT* area);
  int RunMessageBox(const char* text, const char* caption, int type);
  const char* TooltipAt(int x, int y);
  void ShowTooltip();
  void HideTooltip();

  // ---- Clipboard (IGraphicsLinuxServices.cpp) ----
  // The CLIPBOARD selection's text as UTF-8 into `out`; false when nobody
  // holds it, it holds no text, or its owner has not answered within half a
  // second. Other events stay queued meanwhile. `time`: of the user's action.
  bool ReadClipboard(std::string* out, Time time = CurrentTime);
  // Makes the view the owner of CLIPBOARD, holding `text`; false when the
  // server refuses (an owner set after `time`).
  bool WriteClipboard(const std::string& text, Time time);
  // Answers another program's request for the selection the view holds, and
  // lets it go when another program takes it.
  void AnswerSelection(const XSelectionRequestEvent& rq);
  void LoseClipboard();
};
