#include "bridge/X11Library.h"

#include <dlfcn.h>

bool LoadX11Library(const char* x11, const char* xext, X11Functions* table)
{
  // Local binding keeps the libraries' symbols out of the host's namespace;
  // a host that links Xlib itself gets its own copy back from dlopen.
  void* x11Handle = dlopen(x11, RTLD_NOW | RTLD_LOCAL);
  void* xextHandle = x11Handle ? dlopen(xext, RTLD_NOW | RTLD_LOCAL) : nullptr;
  if (!xextHandle) return false;
  // Never closed: Xlib keeps state (displays, handlers, locale) that outlives
  // any one view, and unloading it under a live connection would crash.
  X11Functions loaded;
  bool complete = true;
#define QUILL_X11_LOOKUP(handle, name)                                           \
  loaded.name = reinterpret_cast<decltype(loaded.name)>(dlsym(handle, #name)); \
  complete = complete && loaded.name;
#define QUILL_X11_FROM_X11(name) QUILL_X11_LOOKUP(x11Handle, name)
#define QUILL_X11_FROM_XEXT(name) QUILL_X11_LOOKUP(xextHandle, name)
  QUILL_X11_FUNCTIONS(QUILL_X11_FROM_X11)
  QUILL_XEXT_FUNCTIONS(QUILL_X11_FROM_XEXT)
#undef QUILL_X11_FROM_XEXT
#undef QUILL_X11_FROM_X11
#undef QUILL_X11_LOOKUP
  if (!complete) return false;
  *table = loaded;
  return true;
}

const X11Functions* X11Library(const char* x11, const char* xext)
{
  static X11Functions table;
  static const bool loaded = LoadX11Library(x11, xext, &table);
  return loaded ? &table : nullptr;
}
