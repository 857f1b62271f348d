#include "au/AUSupport.h"

#include <vector>

namespace au_support
{

CFStringRef MakeCFString(const char* cStr)
{
  return CFStringCreateWithCString(kCFAllocatorDefault, cStr ? cStr : "", kCFStringEncodingUTF8);
}

bool GetUTF8(CFStringRef str, std::string* pOut)
{
  pOut->clear();
  if (!str) return false;
  const CFIndex maxSize = CFStringGetMaximumSizeForEncoding(CFStringGetLength(str), kCFStringEncodingUTF8);
  if (maxSize < 0) return false;
  std::vector<char> buf(static_cast<size_t>(maxSize) + 1);
  if (!CFStringGetCString(str, buf.data(), static_cast<CFIndex>(buf.size()), kCFStringEncodingUTF8)) return false;
  pOut->assign(buf.data());
  return true;
}

} // namespace au_support
