// What the Audio Unit fuzz targets share: the tremolo registered in the
// component registry and opened through it, as a host does.
#pragma once

#include <QuillPlatform.h>

#include <cstdlib>
#include <cstring>

#include "tremolo/QuillbarTremolo.h"
#include "tremolo/QuillbarTremoloConfig.h"

namespace fuzzunit
{

// The registry calls entries with Handle storage; the exported entry takes
// void*. Calling it through a pointer of the other type is undefined.
inline ComponentResult Entry(ComponentParameters* params, Handle storage)
{
  return QuillbarTremolo_Entry(params, storage);
}

inline Component TremoloComponent()
{
  static Component component = [] {
    ComponentDescription cd;
    memset(&cd, 0, sizeof cd);
    cd.componentType = kAudioUnitType_Effect;
    cd.componentSubType = static_cast<OSType>(tremolo_config::kUniqueID);
    cd.componentManufacturer = static_cast<OSType>(tremolo_config::kMfrID);
    return QuillRegisterComponent(&cd, Entry, "fuzz: QuillbarTremolo");
  }();
  return component;
}

// One open instance, closed at the end of the scope.
struct OpenUnit
{
  AudioUnit unit = nullptr;
  OpenUnit()
  {
    if (OpenAComponent(TremoloComponent(), &unit) != noErr || !unit) abort();
  }
  ~OpenUnit() { CloseComponent(unit); }
  OpenUnit(const OpenUnit&) = delete;
  OpenUnit& operator=(const OpenUnit&) = delete;
};

// The unit's class-info dictionary (the caller releases it); aborts when the
// unit cannot give one, which no host input may cause.
inline CFDictionaryRef CopyClassInfo(AudioUnit unit)
{
  CFPropertyListRef plist = nullptr;
  UInt32 size = sizeof plist;
  if (AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &plist, &size) != noErr ||
      !plist || CFGetTypeID(plist) != CFDictionaryGetTypeID())
    abort();
  return static_cast<CFDictionaryRef>(plist);
}

} // namespace fuzzunit
