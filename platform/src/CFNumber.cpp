// Numbers of the CoreFoundation stand-in. A number keeps either a 64-bit
// integer or a double, plus the fixed-size type it was created as.
// Conversions follow one rule: the best value is always written, and the
// answer is false whenever that value differs from the stored one.
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "CFInternal.h"

namespace
{
// The fixed-size type a C type stands for on LP64, or 0 for an unknown type.
CFNumberType Canonical(CFNumberType type)
{
  switch (type)
  {
  case kCFNumberSInt8Type:
  case kCFNumberCharType:
    return kCFNumberSInt8Type;
  case kCFNumberSInt16Type:
  case kCFNumberShortType:
    return kCFNumberSInt16Type;
  case kCFNumberSInt32Type:
  case kCFNumberIntType:
    return kCFNumberSInt32Type;
  case kCFNumberSInt64Type:
  case kCFNumberLongType:
  case kCFNumberLongLongType:
  case kCFNumberCFIndexType:
  case kCFNumberNSIntegerType:
    return kCFNumberSInt64Type;
  case kCFNumberFloat32Type:
  case kCFNumberFloatType:
    return kCFNumberFloat32Type;
  case kCFNumberFloat64Type:
  case kCFNumberDoubleType:
  case kCFNumberCGFloatType:
    return kCFNumberFloat64Type;
  default:
    return 0;
  }
}

template <class T>
bool StoreInt(SInt64 v, void* out)
{
  T t;
  bool exact = v >= static_cast<SInt64>(std::numeric_limits<T>::min()) &&
               v <= static_cast<SInt64>(std::numeric_limits<T>::max());
  if (exact)
    t = static_cast<T>(v);
  else
    t = v < 0 ? std::numeric_limits<T>::min() : std::numeric_limits<T>::max();
  memcpy(out, &t, sizeof(T));
  return exact;
}

// Saturating conversion of a double to an integer type (NaN gives 0); a
// plain cast of an out-of-range double is undefined behaviour.
template <class T>
bool StoreIntFromDouble(double d, void* out)
{
  T t;
  bool exact;
  if (std::isnan(d))
  {
    t = 0;
    exact = false;
  }
  else if (d <= static_cast<double>(std::numeric_limits<T>::min()))
  {
    t = std::numeric_limits<T>::min();
    exact = d == static_cast<double>(std::numeric_limits<T>::min());
  }
  else if (d >= static_cast<double>(std::numeric_limits<T>::max()))
  {
    // For 64 bits max() rounds up to 2^63 as a double, which is out of range.
    t = std::numeric_limits<T>::max();
    exact = static_cast<long double>(d) == static_cast<long double>(std::numeric_limits<T>::max());
  }
  else
  {
    t = static_cast<T>(d);
    exact = static_cast<double>(t) == d;
  }
  memcpy(out, &t, sizeof(T));
  return exact;
}
} // namespace

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr)
{
  CFNumberType canonical = Canonical(theType);
  if (!valuePtr || !canonical)
    return nullptr;
  __CFNumber* n = new (std::nothrow) __CFNumber();
  if (!n)
    return nullptr;
  n->mType = canonical;
  switch (theType)
  {
  case kCFNumberSInt8Type: { SInt8 v; memcpy(&v, valuePtr, sizeof v); n->mInt = v; break; }
  case kCFNumberCharType: { char v; memcpy(&v, valuePtr, sizeof v); n->mInt = static_cast<SInt8>(v); break; }
  case kCFNumberSInt16Type:
  case kCFNumberShortType: { SInt16 v; memcpy(&v, valuePtr, sizeof v); n->mInt = v; break; }
  case kCFNumberSInt32Type:
  case kCFNumberIntType: { SInt32 v; memcpy(&v, valuePtr, sizeof v); n->mInt = v; break; }
  case kCFNumberFloat32Type:
  case kCFNumberFloatType: { Float32 v; memcpy(&v, valuePtr, sizeof v); n->mIsFloat = true; n->mFloat = v; break; }
  case kCFNumberFloat64Type:
  case kCFNumberDoubleType:
  case kCFNumberCGFloatType: { Float64 v; memcpy(&v, valuePtr, sizeof v); n->mIsFloat = true; n->mFloat = v; break; }
  default: { SInt64 v; memcpy(&v, valuePtr, sizeof v); n->mInt = v; break; } // the 64-bit integer types
  }
  return n;
}

CFNumberType CFNumberGetType(CFNumberRef number)
{
  const __CFNumber* n = QuillNumber(number);
  return n ? n->mType : 0;
}

Boolean CFNumberIsFloatType(CFNumberRef number)
{
  const __CFNumber* n = QuillNumber(number);
  return n && n->mIsFloat;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr)
{
  const __CFNumber* n = QuillNumber(number);
  const CFNumberType canonical = Canonical(theType);
  if (!n || !valuePtr || !canonical)
    return false;
  switch (canonical)
  {
  case kCFNumberSInt8Type:
    return n->mIsFloat ? StoreIntFromDouble<SInt8>(n->mFloat, valuePtr) : StoreInt<SInt8>(n->mInt, valuePtr);
  case kCFNumberSInt16Type:
    return n->mIsFloat ? StoreIntFromDouble<SInt16>(n->mFloat, valuePtr) : StoreInt<SInt16>(n->mInt, valuePtr);
  case kCFNumberSInt32Type:
    return n->mIsFloat ? StoreIntFromDouble<SInt32>(n->mFloat, valuePtr) : StoreInt<SInt32>(n->mInt, valuePtr);
  case kCFNumberSInt64Type:
    return n->mIsFloat ? StoreIntFromDouble<SInt64>(n->mFloat, valuePtr) : StoreInt<SInt64>(n->mInt, valuePtr);
  case kCFNumberFloat32Type:
  {
    if (n->mIsFloat)
    {
      Float32 f = static_cast<Float32>(n->mFloat);
      memcpy(valuePtr, &f, sizeof f);
      return std::isnan(n->mFloat) || static_cast<Float64>(f) == n->mFloat;
    }
    Float32 f = static_cast<Float32>(n->mInt);
    memcpy(valuePtr, &f, sizeof f);
    return static_cast<long double>(f) == static_cast<long double>(n->mInt);
  }
  default: // Float64
  {
    if (n->mIsFloat)
    {
      memcpy(valuePtr, &n->mFloat, sizeof n->mFloat);
      return true;
    }
    Float64 d = static_cast<Float64>(n->mInt);
    memcpy(valuePtr, &d, sizeof d);
    return static_cast<long double>(d) == static_cast<long double>(n->mInt);
  }
  }
}
