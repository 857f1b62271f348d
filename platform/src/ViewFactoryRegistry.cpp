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
