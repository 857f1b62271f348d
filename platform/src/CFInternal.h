// Object layouts of the CoreFoundation stand-in, shared by its source files.
//
// Every object derives from QuillCFObject: an atomic reference count, the
// run-time type ID and a flag for objects that are never freed (constant
// strings, bundles). The opaque types of the public header (__CFString, ...)
// are defined here as subclasses, so a reference converts to its object by
// a plain cast; every public function checks the type ID before using an
// object, so a wrongly typed reference is answered like a NULL one.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "../standin/CoreFoundation/CoreFoundation.h"

enum QuillCFTypeID : CFTypeID
{
  kQuillCFTypeNone = 0,
  kQuillCFTypeString = 7,
  kQuillCFTypeNumber = 22,
  kQuillCFTypeData = 20,
  kQuillCFTypeArray = 19,
  kQuillCFTypeDictionary = 18,
  kQuillCFTypeBundle = 31,
  kQuillCFTypeURL = 29,
};

struct QuillCFObject
{
  explicit QuillCFObject(CFTypeID typeID, bool constant = false) : mTypeID(typeID), mConstant(constant) {}
  virtual ~QuillCFObject() = default;
  QuillCFObject(const QuillCFObject&) = delete;
  QuillCFObject& operator=(const QuillCFObject&) = delete;

  std::atomic<long> mRefCount{1};
  const CFTypeID mTypeID;
  const bool mConstant;
};

struct __CFString : QuillCFObject
{
  explicit __CFString(std::string utf8, bool constant = false);
  std::string mUTF8;     // valid UTF-8, no NUL inside
  CFIndex mUTF16Length;  // length in UTF-16 units
};

struct __CFNumber : QuillCFObject
{
  __CFNumber() : QuillCFObject(kQuillCFTypeNumber) {}
  CFNumberType mType = 0; // fixed-size type it stands for
  bool mIsFloat = false;
  SInt64 mInt = 0;      // when !mIsFloat
  Float64 mFloat = 0.0; // when mIsFloat
};

struct __CFData : QuillCFObject
{
  __CFData() : QuillCFObject(kQuillCFTypeData) {}
  std::vector<UInt8> mBytes;
};

struct __CFArray : QuillCFObject
{
  __CFArray() : QuillCFObject(kQuillCFTypeArray) {}
  ~__CFArray() override;
  CFArrayCallBacks mCallBacks{};
  CFAllocatorRef mAllocator = nullptr;
  std::vector<const void*> mValues;
};

struct __CFDictionary : QuillCFObject
{
  struct Entry
  {
    CFHashCode hash;
    const void* key;
    const void* value;
  };
  __CFDictionary() : QuillCFObject(kQuillCFTypeDictionary) {}
  ~__CFDictionary() override;
  CFDictionaryKeyCallBacks mKeyCallBacks{};
  CFDictionaryValueCallBacks mValueCallBacks{};
  CFAllocatorRef mAllocator = nullptr;
  // Insertion order; the class-info dictionaries here hold a handful of keys,
  // so a linear scan with a hash pre-check is all a lookup needs.
  std::vector<Entry> mEntries;
};

struct __CFURL : QuillCFObject
{
  explicit __CFURL(std::string path) : QuillCFObject(kQuillCFTypeURL), mPath(std::move(path)) {}
  std::string mPath; // POSIX path
};

struct __CFBundle : QuillCFObject
{
  __CFBundle() : QuillCFObject(kQuillCFTypeBundle, true) {}
  std::mutex mMutex; // guards the fields below, which a host may update
  CFStringRef mIdentifier = nullptr;
  std::string mBundlePath;
  std::string mResourcesPath;
};

// The object behind a reference when it has the given type, else nullptr.
template <class T>
inline T* QuillCFCast(CFTypeRef cf, CFTypeID typeID)
{
  if (!cf)
    return nullptr;
  QuillCFObject* obj = static_cast<QuillCFObject*>(const_cast<void*>(cf));
  return obj->mTypeID == typeID ? static_cast<T*>(obj) : nullptr;
}
inline __CFString* QuillString(CFTypeRef cf) { return QuillCFCast<__CFString>(cf, kQuillCFTypeString); }
inline __CFNumber* QuillNumber(CFTypeRef cf) { return QuillCFCast<__CFNumber>(cf, kQuillCFTypeNumber); }
inline __CFData* QuillData(CFTypeRef cf) { return QuillCFCast<__CFData>(cf, kQuillCFTypeData); }
inline __CFArray* QuillArray(CFTypeRef cf) { return QuillCFCast<__CFArray>(cf, kQuillCFTypeArray); }
inline __CFDictionary* QuillDictionary(CFTypeRef cf) { return QuillCFCast<__CFDictionary>(cf, kQuillCFTypeDictionary); }
inline __CFURL* QuillURL(CFTypeRef cf) { return QuillCFCast<__CFURL>(cf, kQuillCFTypeURL); }
inline __CFBundle* QuillBundle(CFTypeRef cf) { return QuillCFCast<__CFBundle>(cf, kQuillCFTypeBundle); }

// New string from UTF-8 that is known to be valid.
CFStringRef QuillCreateStringFromUTF8(const std::string& utf8);
// True when bytes[0, n) are valid UTF-8 without NUL; counts UTF-16 units.
bool QuillCheckUTF8(const char* bytes, size_t n, CFIndex* utf16Length);
