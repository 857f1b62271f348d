// CoreFoundation subset: the object runtime (retain counting, type IDs,
// equality, descriptions), allocators, strings, numbers, data, arrays,
// dictionaries, bundles and file URLs.
//
// Ownership follows the platform's rule: a function whose name contains
// "Create" or "Copy" hands the caller a reference it must CFRelease; "Get"
// functions lend one that stays valid while its owner lives. Retain counts
// are atomic, so objects may be retained and released from any thread;
// mutating one collection from two threads at once is not supported (as on
// the platform).
//
// Where the platform would crash on bad input (a null object, an index out
// of range, a wrong object type), these functions do nothing and return
// NULL, 0 or false instead. CFRelease(NULL) in particular is ignored.
#pragma once

#include <stdarg.h>

#include "../MacTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef unsigned long CFHashCode;
typedef UInt32 CFStringEncoding;
typedef CFIndex CFNumberType;
typedef CFIndex CFComparisonResult;

typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFNumber* CFNumberRef;
typedef const struct __CFData* CFDataRef;
typedef const struct __CFArray* CFArrayRef;
typedef struct __CFArray* CFMutableArrayRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;
typedef struct __CFBundle* CFBundleRef;
typedef const struct __CFURL* CFURLRef;
typedef CFTypeRef CFPropertyListRef;

typedef struct
{
  CFIndex location;
  CFIndex length;
} CFRange;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

enum
{
  kCFCompareLessThan = -1,
  kCFCompareEqualTo = 0,
  kCFCompareGreaterThan = 1,
};
enum
{
  kCFCompareCaseInsensitive = 1, // ASCII letters only in this implementation
};
enum
{
  kCFNotFound = -1,
};

enum
{
  kCFStringEncodingMacRoman = 0, // accepted for its ASCII subset only
  kCFStringEncodingISOLatin1 = 0x0201,
  kCFStringEncodingASCII = 0x0600,
  kCFStringEncodingUTF8 = 0x08000100,
};

enum
{
  kCFNumberSInt8Type = 1,
  kCFNumberSInt16Type = 2,
  kCFNumberSInt32Type = 3,
  kCFNumberSInt64Type = 4,
  kCFNumberFloat32Type = 5,
  kCFNumberFloat64Type = 6,
  kCFNumberCharType = 7,
  kCFNumberShortType = 8,
  kCFNumberIntType = 9,
  kCFNumberLongType = 10,
  kCFNumberLongLongType = 11,
  kCFNumberFloatType = 12,
  kCFNumberDoubleType = 13,
  kCFNumberCFIndexType = 14,
  kCFNumberNSIntegerType = 15,
  kCFNumberCGFloatType = 16,
  kCFNumberMaxType = 16,
};

enum
{
  kCFURLPOSIXPathStyle = 0,
};
typedef CFIndex CFURLPathStyle;

// ---- Runtime ----------------------------------------------------------------

// NULL means the default allocator, which is the C heap.
extern const CFAllocatorRef kCFAllocatorDefault;

// Adds one reference. Returns cf; NULL is returned unchanged. Any thread.
CFTypeRef CFRetain(CFTypeRef cf);
// Drops one reference and destroys the object at 0. NULL is ignored. Constant
// strings (CFSTR) and bundles are never destroyed. Any thread.
void CFRelease(CFTypeRef cf);
// Current reference count (a very large number for constant objects); 0 for NULL.
CFIndex CFGetRetainCount(CFTypeRef cf);
// Run-time type of cf; 0 (no type) for NULL.
CFTypeID CFGetTypeID(CFTypeRef cf);
// True when both are the same object or have equal contents (strings,
// numbers by value, data bytes, arrays element-wise). False when either is NULL.
Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);
// Hash consistent with CFEqual; 0 for NULL.
CFHashCode CFHash(CFTypeRef cf);
// New string describing cf (a string describes itself, a number its value);
// NULL for NULL.
CFStringRef CFCopyDescription(CFTypeRef cf);

// size bytes from the allocator; NULL when size < 1 or memory is short.
void* CFAllocatorAllocate(CFAllocatorRef allocator, CFIndex size, CFOptionFlags hint);
// Frees memory from CFAllocatorAllocate; NULL is ignored.
void CFAllocatorDeallocate(CFAllocatorRef allocator, void* ptr);

// ---- Strings ----------------------------------------------------------------

// Run-time type of strings (compare with CFGetTypeID). Same for the other
// *GetTypeID functions below: fixed, distinct, non-zero numbers.
CFTypeID CFStringGetTypeID(void);

// Constant string from a literal: never freed, retain and release are harmless.
CFStringRef __CFStringMakeConstantString(const char* cStr);
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")

// New string from NUL-terminated bytes in the encoding (UTF-8, ASCII,
// ISO Latin 1, or the ASCII part of Mac Roman). NULL for a null pointer, an
// unsupported encoding or bytes not valid in it.
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
// New string from length bytes (no NUL needed); as above otherwise.
CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation);
// Copy of a string; NULL for NULL.
CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef str);
// Writes the string NUL-terminated into buffer. False when the string cannot
// be represented in the encoding or does not fit in bufferSize bytes (NUL
// included); the buffer then holds "" (when bufferSize > 0). Never writes
// more than bufferSize bytes.
Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
// The string's own NUL-terminated bytes when they are already in the encoding
// (UTF-8; ASCII when the string is pure ASCII), else NULL. Valid while str lives.
const char* CFStringGetCStringPtr(CFStringRef str, CFStringEncoding encoding);
// Converts the characters in range (UTF-16 units) into buffer, whole
// characters only, stopping when maxBufLen bytes are used. Returns the number
// of UTF-16 units converted and stores the bytes used in *usedBufLen (when
// not NULL). A NULL buffer only measures. Characters the encoding cannot hold
// become lossByte, or stop the conversion when lossByte is 0. No NUL is written.
CFIndex CFStringGetBytes(CFStringRef str, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8* buffer, CFIndex maxBufLen, CFIndex* usedBufLen);
// Length in UTF-16 units; 0 for NULL.
CFIndex CFStringGetLength(CFStringRef str);
// Most bytes length UTF-16 units can take in the encoding (no NUL); -1 for an
// unsupported encoding.
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
// Orders by Unicode code point (kCFCompareCaseInsensitive folds ASCII
// letters). A NULL string orders before any string.
CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFOptionFlags compareOptions);
// printf-like formatting; %@ inserts CFCopyDescription of a CF object
// ("(null)" for NULL). Positional arguments (%1$d), %n, wide characters
// (%lc, %ls) and length modifiers on %c, %s, %p and %@ are not supported and
// give NULL, as does a NULL format.
CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format, ...);
// As CFStringCreateWithFormat, with the arguments as a va_list (not consumed).
CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef alloc, CFDictionaryRef formatOptions,
                                                 CFStringRef format, va_list arguments);

// ---- Numbers ----------------------------------------------------------------

// Run-time type of numbers.
CFTypeID CFNumberGetTypeID(void);
// New number from *valuePtr read as theType; NULL for a null pointer or an
// unknown type.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType, const void* valuePtr);
// Stored type: a fixed-size type (SInt8..SInt64, Float32, Float64) standing
// for the type the number was created with; 0 for NULL.
CFNumberType CFNumberGetType(CFNumberRef number);
// True when the number was created from a floating-point type.
Boolean CFNumberIsFloatType(CFNumberRef number);
// Converts into theType at *valuePtr. Returns false when the conversion is
// lossy (fraction dropped, out of range: the value is then saturated, NaN
// becomes 0) and still writes that best effort; false without writing for a
// NULL number, a NULL pointer or an unknown type.
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);

// ---- Data -------------------------------------------------------------------

// Run-time type of data objects.
CFTypeID CFDataGetTypeID(void);
// New object holding a copy of length bytes; NULL when length < 0 or bytes
// is NULL with length > 0.
CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length);
// The bytes (NULL for NULL or empty data); valid while the object lives.
const UInt8* CFDataGetBytePtr(CFDataRef theData);
// Byte count; 0 for NULL.
CFIndex CFDataGetLength(CFDataRef theData);

// ---- Arrays -----------------------------------------------------------------

typedef const void* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFArrayCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFArrayEqualCallBack)(const void* value1, const void* value2);
typedef struct
{
  CFIndex version; // must be 0
  CFArrayRetainCallBack retain;
  CFArrayReleaseCallBack release;
  CFArrayCopyDescriptionCallBack copyDescription;
  CFArrayEqualCallBack equal;
} CFArrayCallBacks;

// Callbacks for arrays of CF objects: retain on insert, release on removal.
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

// Run-time type of arrays.
CFTypeID CFArrayGetTypeID(void);
// New empty array; the callbacks are copied (NULL = values not retained,
// compared by pointer). NULL when the callbacks' version is not 0.
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFArrayCallBacks* callBacks);
// New array holding numValues values (each retained through the callbacks).
CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks);
// Appends value after retaining it through the callbacks. NULL array ignored.
void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value);
// Number of values; 0 for NULL.
CFIndex CFArrayGetCount(CFArrayRef theArray);
// Value at idx (not retained); NULL when idx is out of range.
const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);
// Removes the value at idx, releasing it through the callbacks; out of range ignored.
void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx);
// Removes and releases every value.
void CFArrayRemoveAllValues(CFMutableArrayRef theArray);

// ---- Dictionaries -----------------------------------------------------------

typedef const void* (*CFDictionaryRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFDictionaryReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFDictionaryCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFDictionaryEqualCallBack)(const void* value1, const void* value2);
typedef CFHashCode (*CFDictionaryHashCallBack)(const void* value);
typedef struct
{
  CFIndex version; // must be 0
  CFDictionaryRetainCallBack retain;
  CFDictionaryReleaseCallBack release;
  CFDictionaryCopyDescriptionCallBack copyDescription;
  CFDictionaryEqualCallBack equal;
  CFDictionaryHashCallBack hash;
} CFDictionaryKeyCallBacks;
typedef struct
{
  CFIndex version; // must be 0
  CFDictionaryRetainCallBack retain;
  CFDictionaryReleaseCallBack release;
  CFDictionaryCopyDescriptionCallBack copyDescription;
  CFDictionaryEqualCallBack equal;
} CFDictionaryValueCallBacks;

// Keys and values that are CF objects: retained on insert, released on
// removal and destruction; keys compared with CFEqual and hashed with CFHash.
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

// Run-time type of dictionaries.
CFTypeID CFDictionaryGetTypeID(void);
// New empty dictionary; the callbacks are copied (NULL = not retained,
// compared by pointer). NULL when a callbacks' version is not 0.
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks);
// Inserts, or replaces the value of an equal key (the new value is retained
// and the old one released; the stored key is kept). NULL dictionary ignored.
void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
// Inserts only when no equal key is present.
void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
// Removes the key and its value, releasing both; an absent key is ignored.
void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key);
// Value of an equal key (not retained), or NULL.
const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);
// True and *value (when not NULL) set when the key is present.
Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key, const void** value);
// True when the key is present.
Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key);
// Number of entries; 0 for NULL.
CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
// Copies the keys and values, in insertion order, into the arrays (each
// NULL or of CFDictionaryGetCount entries).
void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values);

// ---- Bundles and URLs -------------------------------------------------------

// Run-time types of bundles and URLs.
CFTypeID CFBundleGetTypeID(void);
CFTypeID CFURLGetTypeID(void);
// The bundle of the running program (the host application); always a bundle,
// whose identifier is NULL until a host sets one (QuillSetMainBundle).
CFBundleRef CFBundleGetMainBundle(void);
// A bundle registered with that identifier (QuillRegisterBundle), or NULL.
// Bundles live until the process ends.
CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
// The bundle's identifier (Get rule), or NULL.
CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
// New file URL of the bundle's folder; NULL when it has none.
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
// New file URL of an existing resource file "<resources>/<subDir>/<name>.<type>"
// (subDir and resourceType may be NULL); NULL when no such file exists.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName);
// New file URL from a POSIX path; NULL for NULL or an empty path.
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory);
// New string of the URL's POSIX path; NULL for NULL.
CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle);
// Writes the URL's path NUL-terminated into buffer; false when it does not fit.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer, CFIndex maxBufLen);

#ifdef __cplusplus
}
#endif
