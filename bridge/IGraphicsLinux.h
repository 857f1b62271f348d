// IGraphicsLinux: the editor in a live X11 window.
//
// The headless layer plus a window: while no window is open every operation
// behaves exactly as IGraphicsHeadless (skin lookup, paths, scripted answers).
// Xlib is used directly, with a connection of the view's own, so the view can
// live inside another program's window without a toolkit of its own.
//
// No thread of its own. Whoever shows the view calls Idle() often (a plug-in
// UI from its host's idle callback, a program from a poll() loop on
// ConnectionFd() with MillisecondsToNextFrame() as timeout); Idle() handles
// the pending X events and runs the redraw timer at the editor's frame rate.
//
// Embedding in a host's window (a plug-in UI given a parent window id):
//
//   IGraphicsLinux* g = dynamic_cast<IGraphicsLinux*>(plug->GetGUI());
//   void* view = g->OpenWindow(IGraphicsLinux::ParentFromXID(parentXid));
//   Window xid = IGraphicsLinux::XIDFromView(view);   // 0: no display
//   ... host idle:  if (!g->Idle()) { /* the window is gone */ }
//   g->CloseWindow();
//
// A window of its own (a program):
//
//   void* view = g->OpenWindow(nullptr);     // made unmapped
//   g->ShowTopLevel("QuillbarTremolo");
//   while (g->Idle()) poll({g->ConnectionFd(), POLLIN}, 1, g->MillisecondsToNextFrame());
//
// Scale: editor pixels show as 2 x 2 blocks when the host asks for it
// (SetPreferredScale), else when QUILL_UI_SCALE=2, or when the X resource
// Xft.dpi is 192 or more (QUILL_UI_SCALE=1 forces 1x). Mouse positions are
// mapped back, so controls behave the same.
//
// Input: a window pixel (x, y) reaches the editor as (x / scale - 2,
// y / scale - 2), the point the editor has always been given; Super with a
// left click adds the right-button flag. A click takes the keyboard focus;
// keys the editor does not use go back to the parent window (XSendEvent), as
// a host would have received them.
//
// Menus, message boxes and tooltips are override-redirect windows named
// "quill-menu" (and "quill-submenu"), "quill-message" and "quill-tooltip";
// menus and boxes are modal and hold the pointer and keyboard while open.
//
// Everything runs on the thread that opened the window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "editor/IGraphicsHeadless.h"

struct IGraphicsLinuxView;

class IGraphicsLinux : public IGraphicsHeadless
{
public:
  // As IGraphics: `width` x `height` pixels, frame rate <= 0 becomes 25. Opens
  // no connection: that happens in OpenWindow.
  IGraphicsLinux(IPlugBase* plug, int width, int height, int fps = 0);
  // Closes an open window.
  ~IGraphicsLinux() override;

  // ---- Window handles ----
  // The OpenWindow argument that makes the view a child of X window `xid`.
  static void* ParentFromXID(unsigned long xid) { return reinterpret_cast<void*>(static_cast<uintptr_t>(xid)); }
  // The X window id a view handle stands for (0 for null).
  static unsigned long XIDFromView(void* view) { return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(view)); }
  // True when $DISPLAY names a display (not whether it can be reached) and
  // the X11 libraries load (the first call with a display named loads them).
  static bool DisplayNamed();

  // ---- IGraphics platform operations ----
  // Closes an open view, connects to $DISPLAY and makes the view: a mapped
  // child of the window `parent` stands for (ParentFromXID), or an unmapped
  // top-level window when `parent` is null. Returns the view's window id as
  // a handle, or null when no display can be opened or `parent` is not a
  // window (the reason is in LastError()).
  void* OpenWindow(void* parent) override;
  using IGraphicsHeadless::OpenWindow;
  // Closes an open text field, destroys the view (unless its parent took it
  // away already) and closes the connection. Safe to call when closed.
  void CloseWindow() override;
  // The view handle, or null while closed.
  void* GetWindow() override;
  // For hosts that hand over a window of their own rather than a place in
  // it: opens the view as a child of `hostWindow` (ParentFromXID), centred
  // horizontally when the host window is wider; RemoveSubWindow closes it.
  void AttachSubWindow(void* hostWindow) override;
  void RemoveSubWindow() override;
  // Copies the area `r` (editor pixels, clipped to the editor) of the back
  // buffer to the window; null copies everything. Headless count when closed.
  bool DrawScreen(IRECT* r) override;
  // Closes an open text field without committing it.
  void ForceEndUserEdit() override;
  // A new editor size (> 0): the surfaces as IGraphics resizes them, then
  // the window (scaled) and its image. Nothing when the size is the same.
  void Resize(int w, int h) override;
  // "X11" while a window is open, else as headless.
  const char* GetGUIAPI() override;
  // Modal box over the view; 1 for the first button, 7 for the second, 2 for
  // the third, 0 when closed otherwise. Types: 1 OK/Cancel, 3 Yes/No/Cancel,
  // 4 Yes/No, others OK.
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  // Modal menu below `area`; the chosen menu (or submenu) with its chosen
  // index set, or null when cancelled (Escape or a click outside).
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* area) override;
  // A text field over `area` inside the view, its text selected. It edits as
  // a desktop field: Left/Right, Home/End and clicks move the caret (Ctrl
  // with an arrow by words; Shift or a drag selects, Ctrl+A selects all),
  // Backspace/Delete erase before and after it (Ctrl: up to the word
  // boundary), Ctrl+C/Ctrl+X copy/cut the selection to CLIPBOARD and Ctrl+V
  // pastes its text. Return or leaving it commits, Escape cancels. With a
  // parameter only the characters a value can hold are accepted (typed or
  // pasted), up to the control's text-entry length.
  void CreateTextEntry(IControl* control, IText* text, IRECT* area, const char* initial, IParam* param) override;
  // Runs zenity or kdialog (whichever is on PATH); without either, or on
  // cancel, `file` becomes empty.
  void PromptForFile(WDL_String* file, EFileAction action = kFileOpen, WDL_String* dir = 0,
                     char* extensions = 0) override;
  // Asks xdg-open; true when it reports success.
  bool OpenURL(const char* url, const char* windowTitle = 0, const char* confirmText = 0,
               const char* errorText = 0) override;
  // The CLIPBOARD selection as UTF-8 text (waits up to half a second for its
  // owner; false and "" on no answer). Main thread.
  bool GetTextFromClipboard(WDL_String* text) override;
  // Hide the pointer over the view, and bring it back where it was hidden.
  void HideMouseCursor() override;
  void ShowMouseCursor() override;
  // Re-reads the tooltip areas (shown after the pointer rests 0.6 s).
  void UpdateTooltips() override;

  // ---- Driving the view ----
  // Handles pending X events and, when due, the redraw timer. False when no
  // window is open, the user asked to close it (CloseRequested), or its
  // parent destroyed it, in which case the view has closed itself.
  bool Idle();
  // The connection's file descriptor to poll(), or -1 while closed.
  int ConnectionFd() const;
  // Milliseconds until the redraw timer is due (0..1000).
  int MillisecondsToNextFrame() const;
  // Maps an unmapped top-level view with `title`; false for a child view.
  bool ShowTopLevel(const char* title);
  // True once the window manager's close, Ctrl+Q (top-level only) or the
  // parent's destruction ended the view.
  bool CloseRequested() const;
  // Device pixels per editor pixel (1 or 2) of the open view, or what the
  // next one would use.
  int Scale() const;
  // A scale the embedding host asks for (1 or 2; anything else: decide as
  // usual), used from the next OpenWindow on.
  void SetPreferredScale(int scale);
  // True when the view ended because the X server went away (the view
  // closed itself; the process carries on).
  bool LostDisplay() const { return mLostDisplay; }
  // Why the last OpenWindow failed ("" after a success).
  const char* LastError() const { return mLastError.c_str(); }
  // Whether frames go through MIT-SHM (false: XPutImage) in the open view.
  bool UsesSharedMemory() const;

private:
  friend struct IGraphicsLinuxView;
  std::unique_ptr<IGraphicsLinuxView> mView;
  std::string mLastError;
  int mPreferredScale = 0;
  bool mTakenAway = false, mLostDisplay = false;
  // The view last registered with the platform for hosts to drive; it stays
  // registered after the window goes, so a host can still learn why.
  void* mRegisteredView = nullptr;
};
