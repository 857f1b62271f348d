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
