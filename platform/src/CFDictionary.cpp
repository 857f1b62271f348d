// Dictionaries of the CoreFoundation stand-in. Keys and values are retained
// and released through the callbacks the dictionary was created with; keys
// are compared with the key callbacks' equal (pointer identity without one).
#include <new>

#include "CFInternal.h"

namespace
{
CFHashCode HashKey(const __CFDictionary* d, const void* key)
{
  return d->mKeyCallBacks.hash ? d->mKeyCallBacks.hash(key) : static_cast<CFHashCode>(reinterpret_cast<uintptr_t>(key));
}

__CFDictionary::Entry* Find(const __CFDictionary* d, const void* key)
{
  const CFHashCode hash = HashKey(d, key);
  for (const __CFDictionary::Entry& e : d->mEntries)
  {
    if (e.hash != hash)
      continue;
    if (e.key == key || (d->mKeyCallBacks.equal && d->mKeyCallBacks.equal(e.key, key)))
      return const_cast<__CFDictionary::Entry*>(&e);
  }
  return nullptr;
}

const void* RetainKey(const __CFDictionary* d, const void* key)
{
  return d->mKeyCallBacks.retain ? d->mKeyCallBacks.retain(d->mAllocator, key) : key;
}
const void* RetainValue(const __CFDictionary* d, const void* value)
{
  return d->mValueCallBacks.retain ? d->mValueCallBacks.retain(d->mAllocator, value) : value;
}
void ReleaseKey(const __CFDictionary* d, const void* key)
{
  if (d->mKeyCallBacks.release)
    d->mKeyCallBacks.release(d->mAllocator, key);
}
void ReleaseValue(const __CFDictionary* d, const void* value)
{
  if (d->mValueCallBacks.release)
    d->mValueCallBacks.release(d->mAllocator, value);
}

void Insert(__CFDictionary* d, const void* key, const void* value)
{
  try
  {
    d->mEntries.reserve(d->mEntries.size() + 1);
  }
  catch (const std::bad_alloc&)
  {
    return; // nothing retained yet, nothing changed
  }
  d->mEntries.push_back({HashKey(d, key), RetainKey(d, key), RetainValue(d, value)});
}
} // namespace

__CFDictionary::~__CFDictionary()
{
  for (const Entry& e : mEntries)
  {
    ReleaseKey(this, e.key);
    ReleaseValue(this, e.value);
  }
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
  if ((keyCallBacks && keyCallBacks->version != 0) || (valueCallBacks && valueCallBacks->version != 0))
    return nullptr;
  __CFDictionary* d = new (std::nothrow) __CFDictionary();
  if (!d)
    return nullptr;
  if (keyCallBacks)
    d->mKeyCallBacks = *keyCallBacks;
  if (valueCallBacks)
    d->mValueCallBacks = *valueCallBacks;
  d->mAllocator = allocator;
  return d;
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
  __CFDictionary* d = QuillDictionary(theDict);
  if (!d)
    return;
  if (__CFDictionary::Entry* e = Find(d, key))
  {
    // Retain first: the new value may be the old one with a count of 1.
    const void* old = e->value;
    e->value = RetainValue(d, value);
    ReleaseValue(d, old);
    return;
  }
  Insert(d, key, value);
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
  __CFDictionary* d = QuillDictionary(theDict);
  if (d && !Find(d, key))
    Insert(d, key, value);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key)
{
  __CFDictionary* d = QuillDictionary(theDict);
  if (!d)
    return;
  __CFDictionary::Entry* e = Find(d, key);
  if (!e)
    return;
  __CFDictionary::Entry removed = *e;
  d->mEntries.erase(d->mEntries.begin() + (e - d->mEntries.data()));
  // Released after the entry is gone: the key passed in may be the stored one.
  ReleaseKey(d, removed.key);
  ReleaseValue(d, removed.value);
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key)
{
  const void* value = nullptr;
  CFDictionaryGetValueIfPresent(theDict, key, &value);
  return value;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key, const void** value)
{
  const __CFDictionary* d = QuillDictionary(theDict);
  const __CFDictionary::Entry* e = d ? Find(d, key) : nullptr;
  if (!e)
    return false;
  if (value)
    *value = e->value;
  return true;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key)
{
  return CFDictionaryGetValueIfPresent(theDict, key, nullptr);
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict)
{
  const __CFDictionary* d = QuillDictionary(theDict);
  return d ? static_cast<CFIndex>(d->mEntries.size()) : 0;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values)
{
  const __CFDictionary* d = QuillDictionary(theDict);
  if (!d)
    return;
  for (size_t i = 0; i < d->mEntries.size(); ++i)
  {
    if (keys)
      keys[i] = d->mEntries[i].key;
    if (values)
      values[i] = d->mEntries[i].value;
  }
}
