// Bundles and file URLs of the CoreFoundation stand-in. A bundle here is an
// identifier with a folder and a resource folder, registered by a host or
// the plug-in (QuillRegisterBundle); the main bundle stands for the host
// application. Bundles are never freed, as loaded bundles on the platform.
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <new>

#include "../standin/QuillPlatformHost.h"
#include "CFInternal.h"

namespace
{
std::mutex sRegistryMutex;

std::map<std::string, __CFBundle*>& Registry()
{
  static auto* sBundles = new std::map<std::string, __CFBundle*>();
  return *sBundles;
}

__CFBundle& MainBundle()
{
  static auto* sMain = new __CFBundle();
  return *sMain;
}

std::string UTF8Of(CFStringRef s)
{
  const __CFString* str = QuillString(s);
  return str ? str->mUTF8 : std::string();
}

bool IsRegularFile(const std::string& path)
{
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

CFURLRef NewURL(const std::string& path)
{
  if (path.empty())
    return nullptr;
  return new (std::nothrow) __CFURL(path);
}
} // namespace

CFBundleRef QuillRegisterBundle(const char* identifier, const char* bundlePath, const char* resourcesPath)
{
  if (!identifier || !*identifier || !bundlePath || !*bundlePath ||
      !QuillCheckUTF8(bundlePath, strlen(bundlePath), nullptr) ||
      (resourcesPath && !QuillCheckUTF8(resourcesPath, strlen(resourcesPath), nullptr)))
    return nullptr;
  // Identifiers are interned constants, so a Get-rule pointer handed out
  // earlier stays valid whatever the host registers later.
  CFStringRef id = __CFStringMakeConstantString(identifier);
  if (!id)
    return nullptr;
  std::lock_guard<std::mutex> lock(sRegistryMutex);
  __CFBundle*& bundle = Registry()[identifier];
  if (!bundle)
    bundle = new __CFBundle();
  std::lock_guard<std::mutex> bundleLock(bundle->mMutex);
  bundle->mIdentifier = id;
  bundle->mBundlePath = bundlePath;
  bundle->mResourcesPath = resourcesPath && *resourcesPath ? resourcesPath : bundlePath;
  return bundle;
}

CFBundleRef QuillSetMainBundle(const char* identifier, const char* bundlePath)
{
  __CFBundle& main = MainBundle();
  if (bundlePath && !QuillCheckUTF8(bundlePath, strlen(bundlePath), nullptr))
    return &main;
  CFStringRef id = identifier ? __CFStringMakeConstantString(identifier) : nullptr;
  std::lock_guard<std::mutex> lock(main.mMutex);
  main.mIdentifier = id;
  main.mBundlePath = bundlePath ? bundlePath : "";
  main.mResourcesPath = main.mBundlePath;
  return &main;
}

CFBundleRef CFBundleGetMainBundle(void)
{
  return &MainBundle();
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID)
{
  const __CFString* id = QuillString(bundleID);
  if (!id)
    return nullptr;
  std::lock_guard<std::mutex> lock(sRegistryMutex);
  auto it = Registry().find(id->mUTF8);
  return it == Registry().end() ? nullptr : it->second;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
{
  __CFBundle* b = QuillBundle(bundle);
  if (!b)
    return nullptr;
  std::lock_guard<std::mutex> lock(b->mMutex);
  return b->mIdentifier;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle)
{
  __CFBundle* b = QuillBundle(bundle);
  if (!b)
    return nullptr;
  std::lock_guard<std::mutex> lock(b->mMutex);
  return NewURL(b->mBundlePath);
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName)
{
  __CFBundle* b = QuillBundle(bundle);
  const __CFString* name = QuillString(resourceName);
  if (!b || !name || name->mUTF8.empty())
    return nullptr;
  std::string path;
  {
    std::lock_guard<std::mutex> lock(b->mMutex);
    path = b->mResourcesPath;
  }
  if (path.empty())
    return nullptr;
  std::string sub = UTF8Of(subDirName);
  if (!sub.empty())
    path += "/" + sub;
  path += "/" + name->mUTF8;
  std::string type = UTF8Of(resourceType);
  if (!type.empty())
    path += (type[0] == '.' ? "" : ".") + type;
  return IsRegularFile(path) ? NewURL(path) : nullptr;
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath, CFURLPathStyle pathStyle, Boolean)
{
  if (pathStyle != kCFURLPOSIXPathStyle)
    return nullptr;
  return NewURL(UTF8Of(filePath));
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle)
{
  const __CFURL* url = QuillURL(anURL);
  if (!url || pathStyle != kCFURLPOSIXPathStyle)
    return nullptr;
  return QuillCreateStringFromUTF8(url->mPath);
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef anURL, Boolean, UInt8* buffer, CFIndex maxBufLen)
{
  const __CFURL* url = QuillURL(anURL);
  if (!url || !buffer || maxBufLen < 1)
    return false;
  if (static_cast<CFIndex>(url->mPath.size()) >= maxBufLen)
  {
    buffer[0] = 0;
    return false;
  }
  memcpy(buffer, url->mPath.c_str(), url->mPath.size() + 1);
  return true;
}
