// A recording component for the platform tests: its entry keeps a copy of
// every parameter block it receives, so tests can check what a host call put
// in which slot.
#pragma once

#include <QuillPlatform.h>

#include <cstring>
#include <vector>

struct RecordedCall
{
  SInt16 what = 0;
  UInt8 paramSize = 0;
  Handle storage = nullptr;
  std::vector<long> slots; // params[0] .. params[paramSize / 8]
};

struct Recorder
{
  std::vector<RecordedCall> calls;
  Handle storageToRegister = nullptr; // registered during open
  ComponentResult openResult = noErr;
  ComponentResult answer = noErr; // for every other selector
};

inline Recorder gRecorder;

inline ComponentResult RecordingEntry(ComponentParameters* params, Handle storage)
{
  RecordedCall call;
  call.what = params->what;
  call.paramSize = params->paramSize;
  call.storage = storage;
  const long* slots = &params->params[0];
  call.slots.assign(slots, slots + 1 + params->paramSize / sizeof(long));
  gRecorder.calls.push_back(call);
  if (params->what == kComponentOpenSelect)
  {
    if (gRecorder.openResult == noErr)
      SetComponentInstanceStorage(reinterpret_cast<ComponentInstance>(params->params[0]), gRecorder.storageToRegister);
    return gRecorder.openResult;
  }
  return gRecorder.answer;
}

// The first bytes of a slot read as T, the way a unit's entry reads them.
template <class T>
T SlotAs(long slot)
{
  T v;
  memcpy(&v, &slot, sizeof(T));
  return v;
}

template <class T>
long SlotOfPointer(T* p)
{
  return reinterpret_cast<long>(p);
}

inline ComponentDescription EffectDescription(OSType subtype)
{
  return ComponentDescription{kAudioUnitType_Effect, subtype, QUILL_FOUR_CC('Q', 'l', 'b', 'r'), 0, 0};
}
