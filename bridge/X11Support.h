// Pieces of the X11 view that need no window of their own to be checked:
// the copy of editor pixels into an X image (MIT-SHM when the server allows
// it, else XPutImage), and the rules that map keys, scale and typed text.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <string>

#include "framework/IPlugStructs.h"
#include "raster/Raster.h"

// An image the size of one window, for presenting raster bitmaps in it.
class X11Presenter
{
public:
  X11Presenter() = default;
  X11Presenter(const X11Presenter&) = delete;
  X11Presenter& operator=(const X11Presenter&) = delete;
  ~X11Presenter() { Release(); }

  // Makes the image for a window of w x h device pixels on `visual`; tries
  // shared memory first unless QUILL_X11_NO_SHM is set. False when no image
  // can be made at all. Releases an earlier image first.
  bool Init(Display* dpy, Visual* visual, int depth, int w, int h);
  // Converts the area `r` (source pixels) of `src` into the image, each pixel
  // as a scale x scale block, and puts it into `win` at (dx + r.L * scale,
  // dy + r.T * scale). Waits for the server to have read shared memory.
  void Put(Window win, GC gc, LICE_IBitmap* src, IRECT r, int scale, int dx, int dy);
  // Frees the image and detaches shared memory (without telling the server
  // when `connectionLost`). Safe to call twice.
  void Release(bool connectionLost = false);
  // Whether the image lives in shared memory.
  bool Shared() const { return mShared; }

private:
  void Convert(LICE_IBitmap* src, IRECT r, int scale);

  Display* mDpy = nullptr;
  XImage* mImage = nullptr;
  XShmSegmentInfo mShm = {};
  bool mShared = false;
  bool mFastPath = false;  // 32-bit pixels 0x00RRGGBB in host order
};

// Device pixels per editor pixel: QUILL_UI_SCALE ("1" or "2") when set to one
// of those, else 2 when the resource string holds Xft.dpi >= 192, else 1.
int X11ScaleFor(const char* envScale, const char* resources);

// The editor key code of a key: space and arrows by key symbol, digits and
// letters (either case) by the one character the key types with modifiers
// other than Shift ignored; -1 for any other key.
int X11KeyCode(unsigned long keysym, const std::string& unmodifiedText);

// Whether a text field may hold `text`: every character in `allowed` (null:
// any) and no longer than maxLength (<= 0: any length).
bool TextFieldAccepts(const char* allowed, int maxLength, const std::string& text);
