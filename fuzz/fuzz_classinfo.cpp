// Class-info restore through the Audio Unit property, with dictionaries
// built from the input: the unit's own saved state with entries replaced,
// removed or added (numbers, strings, data, arrays, dictionaries).
// Oracles: a refused restore changes nothing the unit would save (but for a
// dictionary without "data", which still selects the preset it names); an
// accepted one saves a dictionary that restores to itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzUnit.h"

namespace
{

CFStringRef MakeString(const std::string& s)
{
  CFStringRef str = CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(s.data()),
                                            static_cast<CFIndex>(s.size()), kCFStringEncodingUTF8, false);
  return str ? str : CFStringCreateWithCString(kCFAllocatorDefault, "", kCFStringEncodingUTF8);
}

CFTypeRef MakeValue(FuzzedDataProvider& in, int depth)
{
  switch (in.ConsumeIntegralInRange(0, depth < 2 ? 7 : 5))
  {
  case 0:
  {
    const SInt32 v = in.ConsumeIntegral<SInt32>();
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &v);
  }
  case 1:
  {
    const SInt64 v = in.ConsumeIntegral<SInt64>();
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &v);
  }
  case 2:
  {
    const double v = in.ConsumeFloatingPoint<double>();
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &v);
  }
  case 3: return MakeString(in.ConsumeRandomLengthString(80));
  case 4:
  {
    // Mostly blocks of whole doubles, the size a state has.
    const size_t n = in.ConsumeBool() ? 8 * in.ConsumeIntegralInRange<size_t>(0, 13) : in.ConsumeIntegralInRange<size_t>(0, 200);
    const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(n);
    return CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size()));
  }
  case 5:
  {
    // A state block of chosen doubles, extremes and NaN included.
    std::vector<double> values(in.ConsumeIntegralInRange<size_t>(10, 12));
    for (double& v : values) v = in.ConsumeFloatingPoint<double>();
    return CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(values.data()),
                        static_cast<CFIndex>(values.size() * sizeof(double)));
  }
  case 6:
  {
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    for (int i = in.ConsumeIntegralInRange(0, 3); i > 0; --i)
    {
      CFTypeRef item = MakeValue(in, depth + 1);
      if (item) CFArrayAppendValue(array, item);
      if (item) CFRelease(item);
    }
    return array;
  }
  default:
  {
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                            &kCFTypeDictionaryValueCallBacks);
    for (int i = in.ConsumeIntegralInRange(0, 3); i > 0; --i)
    {
      CFStringRef key = MakeString(in.ConsumeRandomLengthString(16));
      CFTypeRef value = MakeValue(in, depth + 1);
      if (value) CFDictionarySetValue(dict, key, value);
      if (value) CFRelease(value);
      CFRelease(key);
    }
    return dict;
  }
  }
}

const char* const kKeys[] = {"version", "type", "subtype", "manufacturer", "name", "data"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  FuzzedDataProvider in(data, size);
  fuzzunit::OpenUnit open;
  AudioUnit unit = open.unit;
  // Some inputs first move the unit away from its defaults.
  if (in.ConsumeBool())
  {
    AUPreset preset = {in.ConsumeIntegralInRange<SInt32>(-1, 5), nullptr};
    AudioUnitSetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, &preset, sizeof preset);
    AudioUnitSetParameter(unit, in.ConsumeIntegralInRange<UInt32>(0, 11), kAudioUnitScope_Global, 0,
                          in.ConsumeFloatingPoint<float>(), 0);
  }
  CFDictionaryRef before = fuzzunit::CopyClassInfo(unit);

  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                          &kCFTypeDictionaryValueCallBacks);
  {
    const CFIndex n = CFDictionaryGetCount(before);
    std::vector<const void*> keys(static_cast<size_t>(n)), values(static_cast<size_t>(n));
    CFDictionaryGetKeysAndValues(before, keys.data(), values.data());
    for (CFIndex i = 0; i < n; ++i) CFDictionarySetValue(dict, keys[i], values[i]);
  }
  for (int edits = in.ConsumeIntegralInRange(0, 6); edits > 0 && in.remaining_bytes() > 0; --edits)
  {
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, sizeof kKeys / sizeof kKeys[0]);
    CFStringRef key = pick < sizeof kKeys / sizeof kKeys[0]
                          ? CFStringCreateWithCString(kCFAllocatorDefault, kKeys[pick], kCFStringEncodingUTF8)
                          : MakeString(in.ConsumeRandomLengthString(16));
    if (in.ConsumeIntegralInRange(0, 3) == 0)
    {
      CFDictionaryRemoveValue(dict, key);
    }
    else
    {
      CFTypeRef value = MakeValue(in, 0);
      if (value) CFDictionarySetValue(dict, key, value);
      if (value) CFRelease(value);
    }
    CFRelease(key);
  }
  CFPropertyListRef plist = dict;
  const OSStatus st =
      AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &plist, sizeof plist);

  CFDictionaryRef after = fuzzunit::CopyClassInfo(unit);
  if (st != noErr && !CFEqual(before, after))
  {
    // The one refusal that changes something, kept on purpose: a dictionary
    // without "data" still selects the preset it names.
    CFStringRef dataKey = CFStringCreateWithCString(kCFAllocatorDefault, "data", kCFStringEncodingUTF8);
    CFStringRef nameKey = CFStringCreateWithCString(kCFAllocatorDefault, "name", kCFStringEncodingUTF8);
    const bool presetByName = !CFDictionaryGetValue(dict, dataKey) &&
                              CFEqual(CFDictionaryGetValue(dict, nameKey), CFDictionaryGetValue(after, nameKey));
    CFRelease(dataKey);
    CFRelease(nameKey);
    if (!presetByName) abort();
  }
  CFRelease(dict);
  if (st == noErr)
  {
    plist = after;
    if (AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &plist, sizeof plist) !=
        noErr)
      abort();
    CFDictionaryRef again = fuzzunit::CopyClassInfo(unit);
    if (!CFEqual(after, again)) abort();
    CFRelease(again);
  }
  CFRelease(before);
  CFRelease(after);
  return 0;
}
