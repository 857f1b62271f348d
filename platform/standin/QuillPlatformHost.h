// Host-side extensions of the platform stand-in. On a Mac the operating
// system registers components and bundles and the Objective-C run-time knows
// the view factory classes; here a test or a command-line host (and, for its
// view factory class, the plug-in) does it through these calls. Nothing in
// this header exists on the platform, so code meant for both guards its use
// with QUILL_PLATFORM_STANDIN (QuillPlatform.h).
#pragma once

#include "AudioToolbox/AudioToolbox.h"
#include "AudioUnit/AUCocoaUIView.h"
#include "AudioUnit/AudioUnit.h"
#include "CoreFoundation/CoreFoundation.h"
#include "CoreServices/CoreServices.h"

#include <stddef.h>
#include <stdint.h>

// ---- Components -------------------------------------------------------------

// Registers a component: its description, entry and display name (copied;
// NULL counts as ""). Returns the component, or NULL for a NULL description
// or entry. Any thread.
Component QuillRegisterComponent(const ComponentDescription* description, ComponentRoutineProcPtr entry,
                                 const char* name);
// Removes a registration. Refused (invalidComponentID) for an unknown
// component or one that still has open instances.
OSErr QuillUnregisterComponent(Component component);
// New string with the registered name of a component or of an open
// instance's component; NULL for an unknown handle.
CFStringRef QuillCopyComponentName(Component component);

// ---- Bundles ----------------------------------------------------------------

// Registers (or updates) the bundle with that identifier: bundlePath is its
// folder, resourcesPath where CFBundleCopyResourceURL looks (NULL: the
// bundle folder). Returns the bundle, which lives until the process ends;
// NULL for a NULL or empty identifier or bundle path.
CFBundleRef QuillRegisterBundle(const char* identifier, const char* bundlePath, const char* resourcesPath);
// Sets the identifier and folder of the main (host application) bundle;
// NULL identifier: none. Returns the main bundle.
CFBundleRef QuillSetMainBundle(const char* identifier, const char* bundlePath);

// ---- Audio Unit events ------------------------------------------------------

// What AUEventListenerNotify hands on: the event and the observer's refCon.
typedef void (*QuillAUEventObserver)(void* refCon, const AudioUnitEvent* event);
// Installs the one observer (NULL removes it). Once this returns, the old
// observer is no longer called. The observer must not install another one
// from inside the call. Any thread.
void QuillSetAUEventObserver(QuillAUEventObserver observer, void* refCon);

// ---- Editor views without a window system -----------------------------------

// Draws a view into `pixels`: width x height pixels, row after row, each
// 0xAARRGGBB. False when it cannot draw.
typedef bool (*QuillViewDrawProc)(void* refCon, uint32_t* pixels, int width, int height);
// Registers (or updates) a view that no window system shows, so that a host
// can take its picture: its size in pixels (> 0) and how it draws. False for
// a NULL view or procedure, a size not above 0, or when memory is short.
// Any thread; the view unregisters before it goes away.
bool QuillRegisterOffscreenView(NSView* view, int width, int height, QuillViewDrawProc draw, void* refCon);
// Forgets a view (unknown views are ignored).
void QuillUnregisterOffscreenView(NSView* view);
// Size of a registered view into *width and *height; false (nothing
// written) for a view that is not registered, such as a window's.
bool QuillGetOffscreenViewSize(NSView* view, int* width, int* height);
// Has a registered view draw itself into `pixels`, which holds `count`
// pixels (at least its width x height). False for an unknown view, a short
// buffer or a failed drawing. Call it from the thread that owns the view.
bool QuillDrawOffscreenView(NSView* view, uint32_t* pixels, size_t count);

// ---- Editor views in windows of their own -----------------------------------

// What a view that lives in a window of the window system offers a host
// without a run loop of its own (a command-line host): show it as a
// top-level window, let it handle its events and redraws, tell the host
// which file descriptor to wait on and for how long, close it.
struct QuillWindowViewProcs
{
  bool (*showTopLevel)(void* refCon, const char* title); // false: cannot be shown
  bool (*idle)(void* refCon);                            // false: the window is gone
  int (*connectionFd)(void* refCon);                     // -1: none
  int (*millisecondsToNextFrame)(void* refCon);          // >= 0
  void (*close)(void* refCon);
  bool (*lostConnection)(void* refCon); // the window system went away
};
// Registers (or updates) a window view; the procedures are copied. False
// for a NULL view or procedures, or when memory is short. The view
// unregisters before it goes away.
bool QuillRegisterWindowView(NSView* view, const QuillWindowViewProcs* procs, void* refCon);
// Forgets a view (unknown views are ignored).
void QuillUnregisterWindowView(NSView* view);
// The calls a host makes on a window view, from the thread that owns it.
// Unknown views: false, false, -1, -1, nothing and false.
bool QuillWindowViewShowTopLevel(NSView* view, const char* title);
bool QuillWindowViewIdle(NSView* view);
int QuillWindowViewConnectionFd(NSView* view);
int QuillWindowViewMillisecondsToNextFrame(NSView* view);
void QuillWindowViewClose(NSView* view);
bool QuillWindowViewLostConnection(NSView* view);

// ---- View factory classes ---------------------------------------------------

// Creates a new, initialised factory object; the caller deletes it.
typedef AUCocoaUIBase* (*QuillViewFactoryCreateProc)();
// Registers (or replaces) the class with that name. False for a NULL or
// empty name or a NULL procedure. Any thread.
bool QuillRegisterViewFactoryClass(const char* className, QuillViewFactoryCreateProc create);
// The procedure registered under the name, or NULL (NULL name included).
QuillViewFactoryCreateProc QuillViewFactoryClassFromString(const char* className);
// A new object of the named class (the caller deletes it), or NULL when the
// class is unknown or its creation fails.
AUCocoaUIBase* QuillCreateViewFactory(const char* className);
