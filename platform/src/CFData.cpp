// Immutable byte blocks of the CoreFoundation stand-in.
#include <new>

#include "CFInternal.h"

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
{
  if (length < 0 || (!bytes && length > 0))
    return nullptr;
  __CFData* d = new (std::nothrow) __CFData();
  if (!d)
    return nullptr;
  try
  {
    d->mBytes.assign(bytes, bytes + length);
  }
  catch (const std::bad_alloc&)
  {
    delete d;
    return nullptr;
  }
  return d;
}

const UInt8* CFDataGetBytePtr(CFDataRef theData)
{
  const __CFData* d = QuillData(theData);
  return d && !d->mBytes.empty() ? d->mBytes.data() : nullptr;
}

CFIndex CFDataGetLength(CFDataRef theData)
{
  const __CFData* d = QuillData(theData);
  return d ? static_cast<CFIndex>(d->mBytes.size()) : 0;
}
