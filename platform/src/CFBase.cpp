// Object run-time of the CoreFoundation stand-in: reference counting, type
// IDs, equality, hashing, descriptions and the default allocator.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CFInternal.h"

const CFAllocatorRef kCFAllocatorDefault = nullptr;

namespace
{
CFHashCode HashBytes(const void* bytes, size_t n)
{
  // FNV-1a: cheap and good enough for the small keys of property lists.
  const UInt8* p = static_cast<const UInt8*>(bytes);
  UInt64 h = 1469598103934665603ULL;
  for (size_t i = 0; i < n; ++i)
    h = (h ^ p[i]) * 1099511628211ULL;
  return static_cast<CFHashCode>(h);
}

bool NumbersEqual(const __CFNumber* a, const __CFNumber* b)
{
  if (!a->mIsFloat && !b->mIsFloat)
    return a->mInt == b->mInt;
  if (a->mIsFloat && b->mIsFloat)
    return a->mFloat == b->mFloat;
  const __CFNumber* f = a->mIsFloat ? a : b;
  const __CFNumber* i = a->mIsFloat ? b : a;
  // Equal only when the float holds exactly that integer.
  if (!(f->mFloat >= -9223372036854775808.0 && f->mFloat < 9223372036854775808.0))
    return false;
  return static_cast<SInt64>(f->mFloat) == i->mInt && static_cast<Float64>(static_cast<SInt64>(f->mFloat)) == f->mFloat;
}

bool ValuesEqual(CFArrayEqualCallBack equal, const void* a, const void* b)
{
  return equal ? equal(a, b) != 0 : a == b;
}
} // namespace

CFTypeRef CFRetain(CFTypeRef cf)
{
  if (!cf)
    return nullptr;
  QuillCFObject* obj = static_cast<QuillCFObject*>(const_cast<void*>(cf));
  if (!obj->mConstant)
    obj->mRefCount.fetch_add(1, std::memory_order_relaxed);
  return cf;
}

void CFRelease(CFTypeRef cf)
{
  if (!cf)
    return;
  QuillCFObject* obj = static_cast<QuillCFObject*>(const_cast<void*>(cf));
  if (obj->mConstant)
    return;
  if (obj->mRefCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
    delete obj;
}

CFIndex CFGetRetainCount(CFTypeRef cf)
{
  if (!cf)
    return 0;
  const QuillCFObject* obj = static_cast<const QuillCFObject*>(cf);
  return obj->mConstant ? LONG_MAX : obj->mRefCount.load(std::memory_order_relaxed);
}

CFTypeID CFGetTypeID(CFTypeRef cf)
{
  return cf ? static_cast<const QuillCFObject*>(cf)->mTypeID : kQuillCFTypeNone;
}

CFTypeID CFStringGetTypeID(void) { return kQuillCFTypeString; }
CFTypeID CFNumberGetTypeID(void) { return kQuillCFTypeNumber; }
CFTypeID CFDataGetTypeID(void) { return kQuillCFTypeData; }
CFTypeID CFArrayGetTypeID(void) { return kQuillCFTypeArray; }
CFTypeID CFDictionaryGetTypeID(void) { return kQuillCFTypeDictionary; }
CFTypeID CFBundleGetTypeID(void) { return kQuillCFTypeBundle; }
CFTypeID CFURLGetTypeID(void) { return kQuillCFTypeURL; }

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2)
{
  if (!cf1 || !cf2)
    return false;
  if (cf1 == cf2)
    return true;
  CFTypeID type = CFGetTypeID(cf1);
  if (type != CFGetTypeID(cf2))
    return false;
  switch (type)
  {
  case kQuillCFTypeString:
    return QuillString(cf1)->mUTF8 == QuillString(cf2)->mUTF8;
  case kQuillCFTypeNumber:
    return NumbersEqual(QuillNumber(cf1), QuillNumber(cf2));
  case kQuillCFTypeData:
    return QuillData(cf1)->mBytes == QuillData(cf2)->mBytes;
  case kQuillCFTypeURL:
    return QuillURL(cf1)->mPath == QuillURL(cf2)->mPath;
  case kQuillCFTypeArray:
  {
    const __CFArray* a = QuillArray(cf1);
    const __CFArray* b = QuillArray(cf2);
    if (a->mValues.size() != b->mValues.size())
      return false;
    for (size_t i = 0; i < a->mValues.size(); ++i)
      if (!ValuesEqual(a->mCallBacks.equal, a->mValues[i], b->mValues[i]))
        return false;
    return true;
  }
  case kQuillCFTypeDictionary:
  {
    const __CFDictionary* a = QuillDictionary(cf1);
    if (a->mEntries.size() != static_cast<size_t>(CFDictionaryGetCount(static_cast<CFDictionaryRef>(cf2))))
      return false;
    for (const __CFDictionary::Entry& e : a->mEntries)
    {
      const void* other = nullptr;
      if (!CFDictionaryGetValueIfPresent(static_cast<CFDictionaryRef>(cf2), e.key, &other))
        return false;
      if (!ValuesEqual(a->mValueCallBacks.equal, e.value, other))
        return false;
    }
    return true;
  }
  default:
    return false;
  }
}

CFHashCode CFHash(CFTypeRef cf)
{
  switch (CFGetTypeID(cf))
  {
  case kQuillCFTypeNone:
    return 0;
  case kQuillCFTypeString:
  {
    const std::string& s = QuillString(cf)->mUTF8;
    return HashBytes(s.data(), s.size());
  }
  case kQuillCFTypeNumber:
  {
    // Equal numbers must hash alike, so an integral float hashes as its integer.
    const __CFNumber* n = QuillNumber(cf);
    if (!n->mIsFloat)
      return static_cast<CFHashCode>(n->mInt);
    if (n->mFloat >= -9223372036854775808.0 && n->mFloat < 9223372036854775808.0 &&
        static_cast<Float64>(static_cast<SInt64>(n->mFloat)) == n->mFloat)
      return static_cast<CFHashCode>(static_cast<SInt64>(n->mFloat));
    return HashBytes(&n->mFloat, sizeof(n->mFloat));
  }
  case kQuillCFTypeData:
  {
    const std::vector<UInt8>& b = QuillData(cf)->mBytes;
    return HashBytes(b.data(), b.size());
  }
  case kQuillCFTypeURL:
  {
    const std::string& p = QuillURL(cf)->mPath;
    return HashBytes(p.data(), p.size());
  }
  case kQuillCFTypeArray:
    return static_cast<CFHashCode>(QuillArray(cf)->mValues.size());
  case kQuillCFTypeDictionary:
    return static_cast<CFHashCode>(QuillDictionary(cf)->mEntries.size());
  default:
    return static_cast<CFHashCode>(reinterpret_cast<uintptr_t>(cf));
  }
}

CFStringRef CFCopyDescription(CFTypeRef cf)
{
  char text[96];
  switch (CFGetTypeID(cf))
  {
  case kQuillCFTypeNone:
    return nullptr;
  case kQuillCFTypeString:
    return static_cast<CFStringRef>(CFRetain(cf));
  case kQuillCFTypeNumber:
  {
    const __CFNumber* n = QuillNumber(cf);
    if (n->mIsFloat)
      snprintf(text, sizeof(text), "%.17g", n->mFloat);
    else
      snprintf(text, sizeof(text), "%lld", static_cast<long long>(n->mInt));
    break;
  }
  case kQuillCFTypeData:
    snprintf(text, sizeof(text), "<CFData length = %ld>", CFDataGetLength(static_cast<CFDataRef>(cf)));
    break;
  case kQuillCFTypeArray:
    snprintf(text, sizeof(text), "<CFArray count = %ld>", CFArrayGetCount(static_cast<CFArrayRef>(cf)));
    break;
  case kQuillCFTypeDictionary:
    snprintf(text, sizeof(text), "<CFDictionary count = %ld>",
             CFDictionaryGetCount(static_cast<CFDictionaryRef>(cf)));
    break;
  case kQuillCFTypeURL:
    return QuillCreateStringFromUTF8(QuillURL(cf)->mPath);
  case kQuillCFTypeBundle:
  {
    CFStringRef id = CFBundleGetIdentifier(static_cast<CFBundleRef>(const_cast<void*>(cf)));
    std::string d = "<CFBundle " + (id ? QuillString(id)->mUTF8 : std::string("(no identifier)")) + ">";
    return QuillCreateStringFromUTF8(d);
  }
  default:
    snprintf(text, sizeof(text), "<CFType %p>", cf);
    break;
  }
  return QuillCreateStringFromUTF8(text);
}

void* CFAllocatorAllocate(CFAllocatorRef, CFIndex size, CFOptionFlags)
{
  return size > 0 ? malloc(static_cast<size_t>(size)) : nullptr;
}

void CFAllocatorDeallocate(CFAllocatorRef, void* ptr)
{
  free(ptr);
}
