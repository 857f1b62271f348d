// Xlib and its MIT-SHM extension, loaded when a window is first wanted rather
// than linked: a plug-in that only renders audio maps no X libraries, and it
// still loads on a machine that has none installed.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

// Every Xlib function the view calls, once. Xlib's macros (DefaultScreen,
// XDestroyImage, XPutPixel and the like) reach the library through the
// display and image structures and need no entry.
#define QUILL_X11_FUNCTIONS(X)                                                                              \
  X(XAllocClassHint) X(XAllocSizeHints) X(XChangeProperty) X(XCheckIfEvent) X(XCloseDisplay)              \
  X(XConvertSelection) X(XCreateBitmapFromData) X(XCreateGC) X(XCreateImage) X(XCreatePixmapCursor)        \
  X(XCreateWindow) X(XDefineCursor) X(XDestroyWindow) X(XEventsQueued) X(XExtendedMaxRequestSize) X(XFlush) \
  X(XFree) X(XFreeCursor) X(XFreeGC) X(XFreePixmap) X(XGetSelectionOwner) X(XGetWindowAttributes)          \
  X(XGetWindowProperty) X(XGrabKeyboard) X(XGrabPointer) X(XInternAtom) X(XLookupString) X(XMapRaised)      \
  X(XMaxRequestSize) X(XMoveWindow) X(XNextEvent) X(XOpenDisplay) X(XPeekEvent) X(XPending) X(XPutImage)   \
  X(XQueryPointer) X(XRaiseWindow) X(XRefreshKeyboardMapping) X(XResizeWindow) X(XResourceManagerString)   \
  X(XSendEvent) X(XSetClassHint) X(XSetErrorHandler) X(XSetIOErrorExitHandler) X(XSetIOErrorHandler)       \
  X(XSetInputFocus) X(XSetSelectionOwner) X(XSetWMNormalHints) X(XSetWMProtocols) X(XStoreName) X(XSync)   \
  X(XTranslateCoordinates) X(XUndefineCursor) X(XUngrabKeyboard) X(XUngrabPointer) X(XWarpPointer)

// The same for libXext.
#define QUILL_XEXT_FUNCTIONS(X) \
  X(XShmAttach) X(XShmCreateImage) X(XShmDetach) X(XShmPutImage) X(XShmQueryExtension)

// One pointer per function, typed from the library's own declaration.
struct X11Functions
{
#define QUILL_X11_POINTER(name) decltype(&::name) name = nullptr;
  QUILL_X11_FUNCTIONS(QUILL_X11_POINTER)
  QUILL_XEXT_FUNCTIONS(QUILL_X11_POINTER)
#undef QUILL_X11_POINTER
};

// Opens the libraries named `x11` and `xext` (sonames or paths) and fills
// `table` with every function; false with `table` untouched when either
// library or any function is missing. Libraries it opened stay loaded. Any
// thread.
bool LoadX11Library(const char* x11, const char* xext, X11Functions* table);

// The process's table, loaded by the first call (from `x11` and `xext`; the
// names of later calls are ignored, so a test can make the first load fail);
// null when the libraries cannot be loaded. Any thread.
const X11Functions* X11Library(const char* x11 = "libX11.so.6", const char* xext = "libXext.so.6");
