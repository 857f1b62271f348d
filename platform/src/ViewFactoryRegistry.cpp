// The class registry through which a host finds a unit's view factory by
// the class name the unit reports.
#include <map>
#include <mutex>
#include <new>
#include <string>

#include "../standin/QuillPlatformHost.h"

namespace
{
std::mutex sMutex;

std::map<std::string, QuillViewFactoryCreateProc>& Classes()
{
  static auto* sClasses = new std::map<std::string, QuillViewFactoryCreateProc>();
  return *sClasses;
}
} // namespace

bool QuillRegisterViewFactoryClass(const char* className, QuillViewFactoryCreateProc create)
{
  if (!className || !*className || !create)
    return false;
  std::lock_guard<std::mutex> lock(sMutex);
  try
  {
    Classes()[className] = create;
  }
  catch (const std::bad_alloc&)
  {
    return false;
  }
  return true;
}

QuillViewFactoryCreateProc QuillViewFactoryClassFromString(const char* className)
{
  if (!className)
    return nullptr;
  std::lock_guard<std::mutex> lock(sMutex);
  auto it = Classes().find(className);
  return it == Classes().end() ? nullptr : it->second;
}

AUCocoaUIBase* QuillCreateViewFactory(const char* className)
{
  QuillViewFactoryCreateProc create = QuillViewFactoryClassFromString(className);
  return create ? create() : nullptr;
}

namespace
{
struct OffscreenView
{
  int width, height;
  QuillViewDrawProc draw;
  void* refCon;
};

std::mutex sViewMutex;

std::map<NSView*, OffscreenView>& Views()
{
  static auto* sViews = new std::map<NSView*, OffscreenView>();
  return *sViews;
}
} // namespace

bool QuillRegisterOffscreenView(NSView* view, int width, int height, QuillViewDrawProc draw, void* refCon)
{
  if (!view || !draw || width <= 0 || height <= 0)
    return false;
  std::lock_guard<std::mutex> lock(sViewMutex);
  try
  {
    Views()[view] = OffscreenView{width, height, draw, refCon};
  }
  catch (const std::bad_alloc&)
  {
    return false;
  }
  return true;
}

void QuillUnregisterOffscreenView(NSView* view)
{
  std::lock_guard<std::mutex> lock(sViewMutex);
  Views().erase(view);
}

bool QuillGetOffscreenViewSize(NSView* view, int* width, int* height)
{
  std::lock_guard<std::mutex> lock(sViewMutex);
  auto it = Views().find(view);
  if (it == Views().end())
    return false;
  if (width)
    *width = it->second.width;
  if (height)
    *height = it->second.height;
  return true;
}

bool QuillDrawOffscreenView(NSView* view, uint32_t* pixels, size_t count)
{
  OffscreenView v;
  {
    std::lock_guard<std::mutex> lock(sViewMutex);
    auto it = Views().find(view);
    if (it == Views().end())
      return false;
    v = it->second;
  }
  // Drawn outside the lock: the view may take its own locks while drawing.
  if (!pixels || count < static_cast<size_t>(v.width) * static_cast<size_t>(v.height))
    return false;
  return v.draw(v.refCon, pixels, v.width, v.height);
}

namespace
{
struct WindowView
{
  QuillWindowViewProcs procs;
  void* refCon;
};

std::map<NSView*, WindowView>& WindowViews()
{
  static auto* sViews = new std::map<NSView*, WindowView>();
  return *sViews;
}

// The registration of a view, copied out so that its procedures run
// without the lock (they may open or close views themselves).
bool FindWindowView(NSView* view, WindowView* out)
{
  std::lock_guard<std::mutex> lock(sViewMutex);
  auto it = WindowViews().find(view);
  if (it == WindowViews().end())
    return false;
  *out = it->second;
  return true;
}
} // namespace

bool QuillRegisterWindowView(NSView* view, const QuillWindowViewProcs* procs, void* refCon)
{
  if (!view || !procs || !procs->showTopLevel || !procs->idle || !procs->connectionFd ||
      !procs->millisecondsToNextFrame || !procs->close || !procs->lostConnection)
    return false;
  std::lock_guard<std::mutex> lock(sViewMutex);
  try
  {
    WindowViews()[view] = WindowView{*procs, refCon};
  }
  catch (const std::bad_alloc&)
  {
    return false;
  }
  return true;
}

void QuillUnregisterWindowView(NSView* view)
{
  std::lock_guard<std::mutex> lock(sViewMutex);
  WindowViews().erase(view);
}

bool QuillWindowViewShowTopLevel(NSView* view, const char* title)
{
  WindowView v;
  return FindWindowView(view, &v) && v.procs.showTopLevel(v.refCon, title ? title : "");
}

bool QuillWindowViewIdle(NSView* view)
{
  WindowView v;
  return FindWindowView(view, &v) && v.procs.idle(v.refCon);
}

int QuillWindowViewConnectionFd(NSView* view)
{
  WindowView v;
  return FindWindowView(view, &v) ? v.procs.connectionFd(v.refCon) : -1;
}

int QuillWindowViewMillisecondsToNextFrame(NSView* view)
{
  WindowView v;
  return FindWindowView(view, &v) ? v.procs.millisecondsToNextFrame(v.refCon) : -1;
}

bool QuillWindowViewLostConnection(NSView* view)
{
  WindowView v;
  return FindWindowView(view, &v) && v.procs.lostConnection(v.refCon);
}

void QuillWindowViewClose(NSView* view)
{
  WindowView v;
  if (FindWindowView(view, &v))
    v.procs.close(v.refCon);
}
