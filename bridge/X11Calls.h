// Sends the view's Xlib calls through the loaded table, so the code reads as
// plain Xlib. Include it after every other header (a system header declaring
// an Xlib function after it would no longer compile), and only in the view's
// own sources. Reached only once a display is open, i.e. with the table
// loaded.
#pragma once

#include "bridge/X11Library.h"

inline const X11Functions& QuillX11() { return *X11Library(); }

#define XAllocClassHint (QuillX11().XAllocClassHint)
#define XAllocSizeHints (QuillX11().XAllocSizeHints)
#define XChangeProperty (QuillX11().XChangeProperty)
#define XCheckIfEvent (QuillX11().XCheckIfEvent)
#define XCloseDisplay (QuillX11().XCloseDisplay)
#define XConvertSelection (QuillX11().XConvertSelection)
#define XCreateBitmapFromData (QuillX11().XCreateBitmapFromData)
#define XCreateGC (QuillX11().XCreateGC)
#define XCreateImage (QuillX11().XCreateImage)
#define XCreatePixmapCursor (QuillX11().XCreatePixmapCursor)
#define XCreateWindow (QuillX11().XCreateWindow)
#define XDefineCursor (QuillX11().XDefineCursor)
#define XDestroyWindow (QuillX11().XDestroyWindow)
#define XEventsQueued (QuillX11().XEventsQueued)
#define XExtendedMaxRequestSize (QuillX11().XExtendedMaxRequestSize)
#define XFlush (QuillX11().XFlush)
#define XFree (QuillX11().XFree)
#define XFreeCursor (QuillX11().XFreeCursor)
#define XFreeGC (QuillX11().XFreeGC)
#define XFreePixmap (QuillX11().XFreePixmap)
#define XGetSelectionOwner (QuillX11().XGetSelectionOwner)
#define XGetWindowAttributes (QuillX11().XGetWindowAttributes)
#define XGetWindowProperty (QuillX11().XGetWindowProperty)
#define XGrabKeyboard (QuillX11().XGrabKeyboard)
#define XGrabPointer (QuillX11().XGrabPointer)
#define XInternAtom (QuillX11().XInternAtom)
#define XLookupString (QuillX11().XLookupString)
#define XMapRaised (QuillX11().XMapRaised)
#define XMaxRequestSize (QuillX11().XMaxRequestSize)
#define XMoveWindow (QuillX11().XMoveWindow)
#define XNextEvent (QuillX11().XNextEvent)
#define XOpenDisplay (QuillX11().XOpenDisplay)
#define XPeekEvent (QuillX11().XPeekEvent)
#define XPending (QuillX11().XPending)
#define XPutImage (QuillX11().XPutImage)
#define XQueryPointer (QuillX11().XQueryPointer)
#define XRaiseWindow (QuillX11().XRaiseWindow)
#define XRefreshKeyboardMapping (QuillX11().XRefreshKeyboardMapping)
#define XResizeWindow (QuillX11().XResizeWindow)
#define XResourceManagerString (QuillX11().XResourceManagerString)
#define XSendEvent (QuillX11().XSendEvent)
#define XSetClassHint (QuillX11().XSetClassHint)
#define XSetErrorHandler (QuillX11().XSetErrorHandler)
#define XSetIOErrorExitHandler (QuillX11().XSetIOErrorExitHandler)
#define XSetIOErrorHandler (QuillX11().XSetIOErrorHandler)
#define XSetInputFocus (QuillX11().XSetInputFocus)
#define XSetSelectionOwner (QuillX11().XSetSelectionOwner)
#define XSetWMNormalHints (QuillX11().XSetWMNormalHints)
#define XSetWMProtocols (QuillX11().XSetWMProtocols)
#define XStoreName (QuillX11().XStoreName)
#define XSync (QuillX11().XSync)
#define XTranslateCoordinates (QuillX11().XTranslateCoordinates)
#define XUndefineCursor (QuillX11().XUndefineCursor)
#define XUngrabKeyboard (QuillX11().XUngrabKeyboard)
#define XUngrabPointer (QuillX11().XUngrabPointer)
#define XWarpPointer (QuillX11().XWarpPointer)
#define XShmAttach (QuillX11().XShmAttach)
#define XShmCreateImage (QuillX11().XShmCreateImage)
#define XShmDetach (QuillX11().XShmDetach)
#define XShmPutImage (QuillX11().XShmPutImage)
#define XShmQueryExtension (QuillX11().XShmQueryExtension)

// A function added to the table but not above would quietly bind to the
// linked library again: each table name must expand to a table call.
namespace x11_calls_check
{
constexpr bool Redirected(const char* expansion) { return expansion[0] == '('; }
#define QUILL_X11_SPELL(expansion) #expansion
#define QUILL_X11_EXPANDED(name) QUILL_X11_SPELL(name)
#define QUILL_X11_CHECK(name) static_assert(Redirected(QUILL_X11_EXPANDED(name)), "no redirect for " #name);
QUILL_X11_FUNCTIONS(QUILL_X11_CHECK)
QUILL_XEXT_FUNCTIONS(QUILL_X11_CHECK)
#undef QUILL_X11_CHECK
#undef QUILL_X11_EXPANDED
#undef QUILL_X11_SPELL
}  // namespace x11_calls_check
