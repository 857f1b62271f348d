// Small helpers the adapter's files share: reading the arguments of a
// component call and converting strings. Internal to the adapter.
#pragma once

#include <QuillPlatform.h>

#include <cstring>
#include <string>

namespace au_support
{

// Argument k (0-based) of a component call. The arguments of the public call
// sit one per 8-byte slot after the instance slot, each in the first bytes
// of its slot.
template <class T>
T Arg(const ComponentParameters* params, int k)
{
  T v;
  memcpy(&v, &params->params[k + 1], sizeof(T));
  return v;
}

// Size of the properties that hand over one pointer or object reference.
constexpr UInt32 kPtrSize = sizeof(void*);

// True for the sample rates the time computations stay finite at, 1 Hz to
// 10 MHz: a denormal or astronomically large rate, finite and positive though
// it is, turns the tremolo's output into NaN.
inline bool UsableSampleRate(double sr)
{
  return sr >= 1.0 && sr <= 1e7;
}

// A new UTF-8 string (null text counts as ""); null when memory is short.
CFStringRef MakeCFString(const char* cStr);

// The UTF-8 text of a string, whatever its length, into *pOut; false
// (*pOut emptied) for null or text that does not convert. Allocates.
bool GetUTF8(CFStringRef str, std::string* pOut);

} // namespace au_support
