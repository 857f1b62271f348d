// Arrays of the CoreFoundation stand-in. Values are retained and released
// through the callbacks the array was created with.
#include <new>

#include "CFInternal.h"

namespace
{
const void* RetainCFType(CFAllocatorRef, const void* value)
{
  return CFRetain(value);
}
void ReleaseCFType(CFAllocatorRef, const void* value)
{
  CFRelease(value);
}
CFStringRef DescribeCFType(const void* value)
{
  return CFCopyDescription(value);
}
Boolean EqualCFType(const void* a, const void* b)
{
  return CFEqual(a, b);
}
CFHashCode HashCFType(const void* value)
{
  return CFHash(value);
}

void ReleaseValue(const __CFArray* a, const void* value)
{
  if (a->mCallBacks.release)
    a->mCallBacks.release(a->mAllocator, value);
}

// Appends after growing the storage, so a failed growth leaves the array and
// the value's count as they were. Returns false when memory is short.
bool Append(__CFArray* a, const void* value)
{
  try
  {
    a->mValues.reserve(a->mValues.size() + 1);
  }
  catch (const std::bad_alloc&)
  {
    return false;
  }
  a->mValues.push_back(a->mCallBacks.retain ? a->mCallBacks.retain(a->mAllocator, value) : value);
  return true;
}

__CFArray* NewArray(CFAllocatorRef allocator, const CFArrayCallBacks* callBacks)
{
  if (callBacks && callBacks->version != 0)
    return nullptr;
  __CFArray* a = new (std::nothrow) __CFArray();
  if (!a)
    return nullptr;
  if (callBacks)
    a->mCallBacks = *callBacks;
  a->mAllocator = allocator;
  return a;
}
} // namespace

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, RetainCFType, ReleaseCFType, DescribeCFType, EqualCFType};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {0,           RetainCFType, ReleaseCFType,
                                                                DescribeCFType, EqualCFType, HashCFType};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, RetainCFType, ReleaseCFType, DescribeCFType,
                                                                    EqualCFType};

__CFArray::~__CFArray()
{
  for (const void* v : mValues)
    ReleaseValue(this, v);
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex, const CFArrayCallBacks* callBacks)
{
  return NewArray(allocator, callBacks);
}

CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks)
{
  if (numValues < 0 || (!values && numValues > 0))
    return nullptr;
  __CFArray* a = NewArray(allocator, callBacks);
  if (!a)
    return nullptr;
  for (CFIndex i = 0; i < numValues; ++i)
  {
    if (!Append(a, values[i]))
    {
      delete a;
      return nullptr;
    }
  }
  return a;
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value)
{
  __CFArray* a = QuillArray(theArray);
  if (a)
    Append(a, value);
}

CFIndex CFArrayGetCount(CFArrayRef theArray)
{
  const __CFArray* a = QuillArray(theArray);
  return a ? static_cast<CFIndex>(a->mValues.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx)
{
  const __CFArray* a = QuillArray(theArray);
  if (!a || idx < 0 || idx >= static_cast<CFIndex>(a->mValues.size()))
    return nullptr;
  return a->mValues[static_cast<size_t>(idx)];
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx)
{
  __CFArray* a = QuillArray(theArray);
  if (!a || idx < 0 || idx >= static_cast<CFIndex>(a->mValues.size()))
    return;
  const void* v = a->mValues[static_cast<size_t>(idx)];
  a->mValues.erase(a->mValues.begin() + idx);
  ReleaseValue(a, v);
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray)
{
  __CFArray* a = QuillArray(theArray);
  if (!a)
    return;
  std::vector<const void*> values;
  values.swap(a->mValues);
  for (const void* v : values)
    ReleaseValue(a, v);
}
