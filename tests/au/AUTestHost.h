// A host for the adapter's tests: registers the tremolo's component entry
// once and opens instances through the registry, the way an Audio Unit host
// does. Everything reaches the plug-in through the platform calls.
#pragma once

#include <QuillPlatform.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "au/IPlugAU.h"
#include "tremolo/QuillbarTremolo.h"
#include "tremolo/QuillbarTremoloConfig.h"

// The registered codes; the subtype and manufacturer are the plug-in's own.
inline ComponentDescription TremoloDescription()
{
  ComponentDescription cd;
  memset(&cd, 0, sizeof(cd));
  cd.componentType = kAudioUnitType_Effect;
  cd.componentSubType = static_cast<OSType>(tremolo_config::kUniqueID);
  cd.componentManufacturer = static_cast<OSType>(tremolo_config::kMfrID);
  return cd;
}

// The exported entry takes its storage as void*, the registry's type says
// Handle. Calling a function through a pointer of another type is undefined,
// so the registry gets this forwarder of the right type.
inline ComponentResult TremoloEntry(ComponentParameters* params, Handle storage)
{
  return QuillbarTremolo_Entry(params, storage);
}

inline Component TremoloComponent()
{
  static Component sComponent = [] {
    ComponentDescription cd = TremoloDescription();
    return QuillRegisterComponent(&cd, &TremoloEntry, "quillbarfx: QuillbarTremolo");
  }();
  return sComponent;
}

// A mono buffer list of n channels on the heap, frames floats each.
struct BufferList
{
  std::vector<unsigned char> bytes;
  std::vector<std::vector<float>> data;

  BufferList(int nBuffers, UInt32 frames, bool withData = true)
    : bytes(offsetof(AudioBufferList, mBuffers) + (nBuffers > 0 ? nBuffers : 1) * sizeof(AudioBuffer)),
      data(nBuffers, std::vector<float>(frames, -99.0f))
  {
    list()->mNumberBuffers = static_cast<UInt32>(nBuffers);
    for (int i = 0; i < nBuffers; ++i)
    {
      list()->mBuffers[i].mNumberChannels = 1;
      list()->mBuffers[i].mDataByteSize = frames * sizeof(float);
      list()->mBuffers[i].mData = withData ? data[i].data() : nullptr;
    }
  }
  AudioBufferList* list() { return reinterpret_cast<AudioBufferList*>(bytes.data()); }
  const float* channel(int i) { return static_cast<const float*>(list()->mBuffers[i].mData); }
};

// The UTF-8 text of a string; "" for null or for text of 511 bytes or more.
inline std::string ToStd(CFStringRef s)
{
  char buf[512] = "";
  if (s) CFStringGetCString(s, buf, sizeof(buf), kCFStringEncodingUTF8);
  return buf;
}

inline AudioTimeStamp SampleTime(double t)
{
  AudioTimeStamp ts;
  memset(&ts, 0, sizeof(ts));
  ts.mSampleTime = t;
  ts.mFlags = kAudioTimeStampSampleTimeValid;
  return ts;
}

// The test signal of channel ch at frame i (distinct per channel).
inline float TestSignal(int ch, double frame)
{
  return static_cast<float>(0.5 * std::sin(0.01 * frame * (ch + 1)) + 0.1 * ch);
}

// A host render callback that fills its buffers with TestSignal from the
// time stamp's sample time and counts its calls.
struct SignalSource
{
  int calls = 0;
  UInt32 lastBus = 99;
  static OSStatus Render(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp* ts, UInt32 bus,
                         UInt32 frames, AudioBufferList* list)
  {
    SignalSource* self = static_cast<SignalSource*>(refCon);
    ++self->calls;
    self->lastBus = bus;
    for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
    {
      float* out = static_cast<float*>(list->mBuffers[c].mData);
      if (!out) return kAudio_ParamError;
      for (UInt32 i = 0; i < frames; ++i) out[i] = TestSignal(static_cast<int>(c), ts->mSampleTime + i);
    }
    return noErr;
  }
};

// Test fixture: one open instance of the tremolo.
class AUHostTest : public ::testing::Test
{
protected:
  AudioUnit unit = nullptr;

  void SetUp() override
  {
    ASSERT_NE(TremoloComponent(), nullptr);
    ASSERT_EQ(OpenAComponent(TremoloComponent(), &unit), noErr);
  }
  void TearDown() override
  {
    if (unit)
    {
      EXPECT_EQ(CloseComponent(unit), noErr);
    }
  }

  // The instance storage a host hands to the fast-dispatch procedures.
  void* Storage() const { return GetComponentInstanceStorage(unit); }
  // The plug-in behind the storage, for looking at what the host cannot see.
  IPlugAU* Plug() const { return reinterpret_cast<IPlugAU*>(GetComponentInstanceStorage(unit)); }

  OSStatus SetStereo(AudioUnitScope scope, int channels = 2, AudioUnit u = nullptr)
  {
    AudioStreamBasicDescription asbd;
    MakeDefaultASBD(&asbd, 44100.0, channels, false);
    return AudioUnitSetProperty(u ? u : unit, kAudioUnitProperty_StreamFormat, scope, 0, &asbd, sizeof(asbd));
  }
  OSStatus SetParam(AudioUnitParameterID id, float value, AudioUnit u = nullptr)
  {
    return AudioUnitSetParameter(u ? u : unit, id, kAudioUnitScope_Global, 0, value, 0);
  }
  float GetParam(AudioUnitParameterID id, AudioUnit u = nullptr)
  {
    AudioUnitParameterValue v = -1234.0f;
    EXPECT_EQ(AudioUnitGetParameter(u ? u : unit, id, kAudioUnitScope_Global, 0, &v), noErr);
    return v;
  }
  OSStatus SetCallback(SignalSource* src, AudioUnit u = nullptr)
  {
    AURenderCallbackStruct cb = {&SignalSource::Render, src};
    return AudioUnitSetProperty(u ? u : unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &cb,
                                sizeof(cb));
  }
  OSStatus SetBypass(bool on, AudioUnit u = nullptr)
  {
    UInt32 v = on ? 1 : 0;
    return AudioUnitSetProperty(u ? u : unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &v,
                                sizeof(v));
  }
  // A property set or read through the registry, its size that of the value.
  template <class T>
  OSStatus SetProp(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, const T& value,
                   AudioUnit u = nullptr)
  {
    return AudioUnitSetProperty(u ? u : unit, id, scope, element, &value, sizeof(value));
  }
  template <class T>
  OSStatus GetProp(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, T& value,
                   AudioUnit u = nullptr)
  {
    UInt32 size = sizeof(value);
    return AudioUnitGetProperty(u ? u : unit, id, scope, element, &value, &size);
  }
  // Connects the input bus 0 of u (the fixture's unit by default) to bus 0 of
  // source; a null source disconnects.
  OSStatus Connect(AudioUnit source, AudioUnit u = nullptr, AudioUnitScope scope = kAudioUnitScope_Input)
  {
    AudioUnitConnection conn = {source, 0, 0};
    return SetProp(kAudioUnitProperty_MakeConnection, scope, 0, conn, u);
  }
  // Stereo in and out, `src` as the input callback, initialized: unit u, or
  // the fixture's.
  void PrepareUnit(SignalSource* src, AudioUnit u = nullptr)
  {
    ASSERT_EQ(SetStereo(kAudioUnitScope_Input, 2, u), noErr);
    ASSERT_EQ(SetStereo(kAudioUnitScope_Output, 2, u), noErr);
    ASSERT_EQ(SetCallback(src, u), noErr);
    ASSERT_EQ(AudioUnitInitialize(u ? u : unit), noErr);
  }
  // Another instance of `component`, prepared as above; the caller closes it.
  AudioUnit OpenPrepared(SignalSource* src, Component component = TremoloComponent())
  {
    AudioUnit u = nullptr;
    EXPECT_EQ(OpenAComponent(component, &u), noErr);
    if (u) PrepareUnit(src, u);
    return u;
  }
  OSStatus Render(BufferList& out, double sampleTime, UInt32 frames, AudioUnit u = nullptr)
  {
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp ts = SampleTime(sampleTime);
    return AudioUnitRender(u ? u : unit, &flags, &ts, 0, frames, out.list());
  }
};
