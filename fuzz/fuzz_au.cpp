// The Audio Unit boundary driven as a careless host would: any property,
// scope, element and size, with bytes from the input for plain values and
// well-formed structures for the ones that carry pointers; parameters with
// NaN, infinite and huge values; initialize, reset and render with any
// frame count and buffer list; listeners and render notifications that call
// back into the unit. Oracle beyond "no crash": finite audio in gives finite
// audio out, whatever was set.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "FuzzUnit.h"

namespace
{

// What the callbacks need; one input at a time.
struct Session
{
  AudioUnit unit = nullptr;
  FuzzedDataProvider* in = nullptr;
  int depth = 0; // re-entry guard: a host's own callbacks do not recurse forever
  Float64 beat = 0.0, tempo = 120.0;
  float inputLevel = 0.5f;
  bool trace = false;
};
Session gSession;

float AnyFloat(FuzzedDataProvider& in)
{
  static const float kSpecial[] = {NAN, INFINITY, -INFINITY, 3.4e38f, -3.4e38f, 1e-45f, -0.0f, 0.0f, 1.0f, 1e9f};
  if (in.ConsumeBool()) return kSpecial[in.ConsumeIntegralInRange<size_t>(0, sizeof kSpecial / sizeof kSpecial[0] - 1)];
  return in.ConsumeFloatingPoint<float>();
}

UInt32 AnyIndex(FuzzedDataProvider& in)
{
  return in.ConsumeBool() ? in.ConsumeIntegralInRange<UInt32>(0, 16) : in.ConsumeIntegral<UInt32>();
}

AudioUnitScope AnyScope(FuzzedDataProvider& in)
{
  return in.ConsumeBool() ? in.ConsumeIntegralInRange<UInt32>(0, 4) : in.ConsumeIntegral<UInt32>();
}

void Release(CFTypeRef ref)
{
  if (ref) CFRelease(ref);
}

OSStatus Source(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                AudioBufferList* list)
{
  for (UInt32 b = 0; b < list->mNumberBuffers; ++b)
  {
    float* out = static_cast<float*>(list->mBuffers[b].mData);
    if (!out || list->mBuffers[b].mDataByteSize < frames * sizeof(float)) return kAudio_ParamError;
    for (UInt32 i = 0; i < frames; ++i) out[i] = gSession.inputLevel * ((i & 1) ? 1.0f : -1.0f);
  }
  return noErr;
}

OSStatus BeatAndTempo(void*, Float64* beat, Float64* tempo)
{
  if (beat) *beat = gSession.beat;
  if (tempo) *tempo = gSession.tempo;
  return noErr;
}

OSStatus Transport(void*, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling, Float64* cycleStart,
                   Float64* cycleEnd)
{
  if (playing) *playing = true;
  if (changed) *changed = false;
  if (sample) *sample = gSession.beat * 1000.0;
  if (cycling) *cycling = false;
  if (cycleStart) *cycleStart = -gSession.beat;
  if (cycleEnd) *cycleEnd = gSession.tempo;
  return noErr;
}

OSStatus TimeLocation(void*, UInt32* delta, Float32* num, UInt32* den, Float64* downBeat)
{
  if (delta) *delta = 0;
  if (num) *num = static_cast<Float32>(gSession.tempo);
  if (den) *den = 0;
  if (downBeat) *downBeat = gSession.beat;
  return noErr;
}

// A listener that reads and writes the unit it hears from.
void Listener(void*, AudioUnit unit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
{
  if (gSession.depth > 2) return;
  ++gSession.depth;
  Float64 rate = 0.0;
  UInt32 size = sizeof rate;
  AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate, &size);
  AudioUnitSetParameter(unit, 0, kAudioUnitScope_Global, 0, 1.0f, 0);
  --gSession.depth;
}

// A render notification that asks for a parameter, and one that removes
// itself while the notifications run.
OSStatus Notify(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
  AudioUnitParameterValue v = 0.0f;
  AudioUnitGetParameter(static_cast<AudioUnit>(refCon), 1, kAudioUnitScope_Global, 0, &v);
  return noErr;
}
OSStatus NotifyOnce(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                    AudioBufferList*)
{
  AudioUnitRemoveRenderNotify(static_cast<AudioUnit>(refCon), &NotifyOnce, refCon);
  return noErr;
}

// Properties whose answers hold objects the caller owns, or pointers in
// what the host passes: built and released by hand below.
bool CarriesPointers(AudioUnitPropertyID id)
{
  switch (id)
  {
  case kAudioUnitProperty_ClassInfo:
  case kAudioUnitProperty_MakeConnection:
  case kAudioUnitProperty_ParameterInfo:
  case kAudioUnitProperty_ParameterValueStrings:
  case kAudioUnitProperty_SetRenderCallback:
  case kAudioUnitProperty_FactoryPresets:
  case kAudioUnitProperty_HostCallbacks:
  case kAudioUnitProperty_CurrentPreset:
  case kAudioUnitProperty_ElementName:
  case kAudioUnitProperty_CocoaUI:
  case kAudioUnitProperty_ParameterStringFromValue:
  case kAudioUnitProperty_ParameterIDName:
  case kAudioUnitProperty_ParameterClumpName:
  case kAudioUnitProperty_PresentPreset:
  case kAudioUnitProperty_ParameterValueFromString:
  case kAudioUnitProperty_AUHostIdentifier:
  case kAudioUnitProperty_ClassInfoFromDocument: return true;
  default: return false;
  }
}

// Any property with a buffer of any size (plain properties only).
void GetPlainProperty(FuzzedDataProvider& in, AudioUnit unit)
{
  AudioUnitPropertyID id = in.ConsumeIntegralInRange<UInt32>(0, 60);
  if (CarriesPointers(id)) id = kAudioUnitProperty_StreamFormat;
  const AudioUnitScope scope = AnyScope(in);
  const AudioUnitElement element = AnyIndex(in);
  UInt32 size = in.ConsumeIntegralInRange<UInt32>(0, 256);
  std::vector<uint8_t> buffer(size);
  Boolean writable = false;
  if (in.ConsumeBool())
  {
    AudioUnitGetPropertyInfo(unit, id, scope, element, in.ConsumeBool() ? &size : nullptr,
                             in.ConsumeBool() ? &writable : nullptr);
    return;
  }
  AudioUnitGetProperty(unit, id, scope, element, size ? buffer.data() : nullptr, &size);
}

// The properties that answer with owned objects, with a structure of the
// right size or a short buffer.
void GetObjectProperty(FuzzedDataProvider& in, AudioUnit unit)
{
  const AudioUnitScope scope = in.ConsumeBool() ? kAudioUnitScope_Global : AnyScope(in);
  const AudioUnitElement element = AnyIndex(in);
  const bool shortBuffer = in.ConsumeIntegralInRange(0, 7) == 0;
  union {
    CFTypeRef ref;
    AudioUnitParameterInfo info;
    AUPreset preset;
    AudioUnitCocoaViewInfo cocoa;
    AudioUnitParameterStringFromValue fromValue;
    AudioUnitParameterIDName idName;
    AudioUnitParameterNameInfo clump;
    AudioUnitParameterValueFromString fromString;
  } u;
  memset(&u, 0, sizeof u);
  const AudioUnitParameterValue value = AnyFloat(in);
  CFStringRef text = nullptr;
  AudioUnitPropertyID id = 0;
  UInt32 size = 0;
  switch (in.ConsumeIntegralInRange(0, 10))
  {
  case 0: id = kAudioUnitProperty_ClassInfo; size = sizeof u.ref; break;
  case 1: id = kAudioUnitProperty_ParameterInfo; size = sizeof u.info; break;
  case 2: id = kAudioUnitProperty_ParameterValueStrings; size = sizeof u.ref; break;
  case 3: id = kAudioUnitProperty_FactoryPresets; size = sizeof u.ref; break;
  case 4: id = in.ConsumeBool() ? kAudioUnitProperty_CurrentPreset : kAudioUnitProperty_PresentPreset; size = sizeof u.preset; break;
  case 5: id = kAudioUnitProperty_ElementName; size = sizeof u.ref; break;
  case 6: id = kAudioUnitProperty_CocoaUI; size = sizeof u.cocoa; break;
  case 7:
    id = kAudioUnitProperty_ParameterStringFromValue;
    size = sizeof u.fromValue;
    u.fromValue.inParamID = AnyIndex(in);
    u.fromValue.inValue = in.ConsumeBool() ? &value : nullptr;
    break;
  case 8:
    id = kAudioUnitProperty_ParameterIDName;
    size = sizeof u.idName;
    u.idName.inID = AnyIndex(in);
    u.idName.inDesiredLength = in.ConsumeIntegral<SInt32>();
    break;
  case 9:
    id = kAudioUnitProperty_ParameterClumpName;
    size = sizeof u.clump;
    u.clump.inID = AnyIndex(in);
    u.clump.inDesiredLength = in.ConsumeIntegral<SInt32>();
    break;
  default:
  {
    id = kAudioUnitProperty_ParameterValueFromString;
    size = sizeof u.fromString;
    u.fromString.inParamID = AnyIndex(in);
    const std::string s = in.ConsumeRandomLengthString(40);
    text = CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(s.data()),
                                   static_cast<CFIndex>(s.size()), kCFStringEncodingUTF8, false);
    u.fromString.inString = text;
    break;
  }
  }
  // A short buffer lives on the heap at its exact size, so that a write
  // past it is caught.
  std::vector<uint8_t> small;
  void* data = &u;
  if (shortBuffer)
  {
    size = in.ConsumeIntegralInRange<UInt32>(0, size - 1);
    small.assign(reinterpret_cast<uint8_t*>(&u), reinterpret_cast<uint8_t*>(&u) + size);
    data = small.empty() ? nullptr : small.data();
  }
  const OSStatus st = AudioUnitGetProperty(unit, id, scope, element, data, &size);
  Release(text);
  if (st != noErr || shortBuffer) return;
  switch (id)
  {
  case kAudioUnitProperty_ParameterInfo:
    if (u.info.flags & kAudioUnitParameterFlag_CFNameRelease)
    {
      Release(u.info.cfNameString);
      Release(u.info.unitName);
    }
    break;
  case kAudioUnitProperty_CurrentPreset:
  case kAudioUnitProperty_PresentPreset: Release(u.preset.presetName); break;
  case kAudioUnitProperty_CocoaUI:
    Release(u.cocoa.mCocoaAUViewBundleLocation);
    Release(u.cocoa.mCocoaAUViewClass[0]);
    break;
  case kAudioUnitProperty_ParameterStringFromValue: Release(u.fromValue.outString); break;
  case kAudioUnitProperty_ParameterIDName: Release(u.idName.outName); break;
  case kAudioUnitProperty_ParameterClumpName: Release(u.clump.outName); break;
  case kAudioUnitProperty_ParameterValueFromString: break;
  default: Release(u.ref); break;
  }
}

void SetProperty(FuzzedDataProvider& in, AudioUnit unit, AudioUnit other)
{
  const AudioUnitScope scope = in.ConsumeBool() ? in.ConsumeIntegralInRange<UInt32>(0, 2) : AnyScope(in);
  const AudioUnitElement element = in.ConsumeBool() ? 0 : AnyIndex(in);
  const int kind = in.ConsumeIntegralInRange(0, 8);
  if (gSession.trace) fprintf(stderr, "  set property kind %d, scope %u, element %u\n", kind, scope, element);
  switch (kind)
  {
  case 0:
  {
    // Plain values: bytes from the input, of any size.
    AudioUnitPropertyID id = in.ConsumeIntegralInRange<UInt32>(0, 60);
    if (CarriesPointers(id)) id = kAudioUnitProperty_SampleRate;
    std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 64));
    const OSStatus st = AudioUnitSetProperty(unit, id, scope, element, bytes.empty() ? nullptr : bytes.data(),
                                             static_cast<UInt32>(bytes.size()));
    if (gSession.trace) fprintf(stderr, "  property %u, %zu bytes: status %d\n", id, bytes.size(), static_cast<int>(st));
    break;
  }
  case 1:
  {
    const Float64 rate = in.ConsumeBool() ? static_cast<Float64>(AnyFloat(in)) : in.ConsumeFloatingPoint<double>();
    AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, scope, element, &rate, sizeof rate);
    break;
  }
  case 2:
  {
    AudioStreamBasicDescription asbd;
    MakeDefaultASBD(&asbd, in.ConsumeBool() ? 44100.0 : in.ConsumeFloatingPoint<double>(),
                    in.ConsumeIntegralInRange(0, 9), false);
    if (in.ConsumeBool()) asbd.mChannelsPerFrame = in.ConsumeIntegral<UInt32>();
    if (in.ConsumeBool()) asbd.mFormatFlags = in.ConsumeIntegral<UInt32>();
    AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, element, &asbd, sizeof asbd);
    break;
  }
  case 3:
  {
    const UInt32 frames = in.ConsumeBool() ? in.ConsumeIntegralInRange<UInt32>(0, 4096) : in.ConsumeIntegral<UInt32>();
    AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, scope, element, &frames, sizeof frames);
    break;
  }
  case 4:
  {
    CFStringRef name = in.ConsumeBool() ? CFStringCreateWithCString(kCFAllocatorDefault, "Gated", kCFStringEncodingUTF8)
                                        : nullptr;
    AUPreset preset = {in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, 6) : in.ConsumeIntegral<SInt32>(), name};
    AudioUnitSetProperty(unit, in.ConsumeBool() ? kAudioUnitProperty_CurrentPreset : kAudioUnitProperty_PresentPreset,
                         scope, element, &preset, sizeof preset);
    Release(name);
    break;
  }
  case 5:
  {
    HostCallbackInfo info = {nullptr, in.ConsumeBool() ? &BeatAndTempo : nullptr,
                             in.ConsumeBool() ? &TimeLocation : nullptr, in.ConsumeBool() ? &Transport : nullptr};
    AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks, scope, element, &info, sizeof info);
    break;
  }
  case 6:
  {
    AURenderCallbackStruct cb = {in.ConsumeBool() ? &Source : nullptr, nullptr};
    AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, scope, element, &cb, sizeof cb);
    break;
  }
  case 7:
  {
    // Another unit upstream, the unit itself, or none; sometimes the other
    // unit is fed back from this one, closing a cycle.
    const int pick = in.ConsumeIntegralInRange(0, 3);
    AudioUnitConnection conn = {pick == 0 ? nullptr : pick == 1 ? unit : other, AnyIndex(in),
                                in.ConsumeIntegralInRange<UInt32>(0, 2)};
    AudioUnitSetProperty(unit, kAudioUnitProperty_MakeConnection, scope, element, &conn, sizeof conn);
    if (pick == 3)
    {
      AudioUnitConnection back = {unit, 0, 0};
      AudioUnitSetProperty(other, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, &back, sizeof back);
    }
    break;
  }
  default:
  {
    const std::string s = in.ConsumeRandomLengthString(40);
    AUHostIdentifier id;
    memset(&id, 0, sizeof id);
    id.hostName = in.ConsumeBool() ? CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(s.data()),
                                                             static_cast<CFIndex>(s.size()), kCFStringEncodingUTF8, false)
                                   : nullptr;
    id.hostVersion.majorRev = in.ConsumeIntegral<UInt8>();
    id.hostVersion.minorAndBugRev = in.ConsumeIntegral<UInt8>();
    AudioUnitSetProperty(unit, kAudioUnitProperty_AUHostIdentifier, scope, element, &id, sizeof id);
    Release(id.hostName);
    break;
  }
  }
}

bool Finite(const float* p, UInt32 n)
{
  for (UInt32 i = 0; i < n; ++i)
    if (!std::isfinite(p[i])) return false;
  return true;
}

void Render(FuzzedDataProvider& in, AudioUnit unit, Float64* sampleTime)
{
  const UInt32 frames = in.ConsumeBool() ? in.ConsumeIntegralInRange<UInt32>(0, 1100) : in.ConsumeIntegral<UInt32>();
  const int nBuffers = in.ConsumeIntegralInRange(0, 3);
  const UInt32 capacity = frames <= 4096 ? frames : 4096;
  std::vector<std::vector<float>> storage(static_cast<size_t>(nBuffers), std::vector<float>(capacity, 7.0f));
  std::vector<uint8_t> listBytes(offsetof(AudioBufferList, mBuffers) + sizeof(AudioBuffer) * (nBuffers ? nBuffers : 1));
  AudioBufferList* list = reinterpret_cast<AudioBufferList*>(listBytes.data());
  list->mNumberBuffers = static_cast<UInt32>(nBuffers);
  for (int b = 0; b < nBuffers; ++b)
  {
    const bool own = in.ConsumeIntegralInRange(0, 3) != 0;
    list->mBuffers[b].mNumberChannels = 1;
    list->mBuffers[b].mData = own ? storage[static_cast<size_t>(b)].data() : nullptr;
    list->mBuffers[b].mDataByteSize = own ? capacity * sizeof(float) : in.ConsumeIntegral<UInt32>();
  }
  AudioTimeStamp ts;
  memset(&ts, 0, sizeof ts);
  ts.mFlags = in.ConsumeIntegralInRange(0, 7) ? kAudioTimeStampSampleTimeValid : in.ConsumeIntegral<UInt32>();
  if (in.ConsumeIntegralInRange(0, 7) == 0) *sampleTime = in.ConsumeFloatingPoint<double>();
  ts.mSampleTime = *sampleTime;
  *sampleTime += frames;
  AudioUnitRenderActionFlags flags = 0;
  const UInt32 bus = in.ConsumeIntegralInRange(0, 7) ? 0 : AnyIndex(in);
  OSStatus st;
  if (in.ConsumeBool())
  {
    // Through the fast-dispatch procedure, as most hosts render.
    AudioUnitRenderProc proc = nullptr;
    UInt32 size = sizeof proc;
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, kAudioUnitRenderSelect,
                             &proc, &size) != noErr || !proc)
      abort();
    st = proc(GetComponentInstanceStorage(unit), &flags, &ts, bus, frames, list);
  }
  else
  {
    st = AudioUnitRender(unit, &flags, &ts, bus, frames, list);
  }
  if (gSession.trace) fprintf(stderr, "  render %u frames, %d buffers, bus %u: status %d\n", frames, nBuffers, bus, static_cast<int>(st));
  if (st != noErr) return;
  for (int b = 0; b < nBuffers; ++b)
  {
    const float* out = static_cast<const float*>(list->mBuffers[b].mData);
    if (out && !Finite(out, frames)) // finite in, finite out
    {
      fprintf(stderr, "non-finite output: %u frames, input level %g, tempo %g, beat %g; parameters:", frames,
              static_cast<double>(gSession.inputLevel), gSession.tempo, gSession.beat);
      for (AudioUnitParameterID id = 0; id < kNumParams; ++id)
      {
        AudioUnitParameterValue v = 0.0f;
        AudioUnitGetParameter(unit, id, kAudioUnitScope_Global, 0, &v);
        fprintf(stderr, " %g", static_cast<double>(v));
      }
      fprintf(stderr, "\n");
      abort();
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  FuzzedDataProvider in(data, size);
  // The upstream unit lives across inputs (opening costs more than most
  // inputs); its input is cut from this one when the input ends.
  static fuzzunit::OpenUnit upstream;
  fuzzunit::OpenUnit open;
  AudioUnit unit = open.unit;
  gSession = Session();
  gSession.unit = unit;
  gSession.in = &in;
  Float64 sampleTime = 0.0;
  // QUILL_FUZZ_TRACE=1 lists the steps of an input, for reading a crash.
  const bool trace = gSession.trace = getenv("QUILL_FUZZ_TRACE") != nullptr;
  for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step)
  {
    const int op = in.ConsumeIntegralInRange(0, 15);
    if (trace) fprintf(stderr, "step %d: operation %d\n", step, op);
    switch (op)
    {
    case 0: GetPlainProperty(in, unit); break;
    case 1: GetObjectProperty(in, unit); break;
    case 2:
    case 3: SetProperty(in, unit, upstream.unit); break;
    case 4:
    {
      const AudioUnitParameterID id = AnyIndex(in);
      AudioUnitSetParameter(unit, id, in.ConsumeBool() ? kAudioUnitScope_Global : AnyScope(in), AnyIndex(in),
                            AnyFloat(in), in.ConsumeIntegral<UInt32>());
      break;
    }
    case 5:
    {
      AudioUnitParameterValue v = 0.0f;
      AudioUnitGetParameter(unit, AnyIndex(in), AnyScope(in), AnyIndex(in), in.ConsumeBool() ? &v : nullptr);
      break;
    }
    case 6: AudioUnitInitialize(unit); break;
    case 7: AudioUnitUninitialize(unit); break;
    case 8: AudioUnitReset(unit, AnyScope(in), AnyIndex(in)); break;
    case 9:
    case 10: Render(in, unit, &sampleTime); break;
    case 11:
    {
      const AudioUnitPropertyID id = in.ConsumeIntegralInRange<UInt32>(0, 60);
      if (in.ConsumeBool()) AudioUnitAddPropertyListener(unit, id, &Listener, nullptr);
      else AudioUnitRemovePropertyListenerWithUserData(unit, id, &Listener, nullptr);
      break;
    }
    case 12:
    {
      const bool once = in.ConsumeBool();
      AURenderCallback proc = once ? &NotifyOnce : &Notify;
      if (in.ConsumeBool()) AudioUnitAddRenderNotify(unit, proc, unit);
      else AudioUnitRemoveRenderNotify(unit, proc, unit);
      break;
    }
    case 13:
    {
      std::vector<AudioUnitParameterEvent> events(in.ConsumeIntegralInRange<size_t>(0, 4));
      for (AudioUnitParameterEvent& e : events)
      {
        memset(&e, 0, sizeof e);
        e.scope = in.ConsumeBool() ? kAudioUnitScope_Global : AnyScope(in);
        e.element = AnyIndex(in);
        e.parameter = AnyIndex(in);
        e.eventType = in.ConsumeBool() ? kParameterEvent_Immediate : in.ConsumeIntegral<UInt32>();
        e.eventValues.immediate.value = AnyFloat(in);
        e.eventValues.immediate.bufferOffset = in.ConsumeIntegral<UInt32>();
      }
      // A count up to the events there are; none with no array.
      const UInt32 count = in.ConsumeIntegralInRange<UInt32>(0, static_cast<UInt32>(events.size()));
      AudioUnitScheduleParameters(unit, events.empty() ? nullptr : events.data(), count);
      break;
    }
    case 14:
    {
      // MIDI as an instrument host would send it, to an effect.
      switch (in.ConsumeIntegralInRange(0, 3))
      {
      case 0:
        MusicDeviceMIDIEvent(unit, in.ConsumeIntegral<UInt32>(), in.ConsumeIntegral<UInt32>(), in.ConsumeIntegral<UInt32>(),
                             in.ConsumeIntegral<UInt32>());
        break;
      case 1:
      {
        const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 64));
        MusicDeviceSysEx(unit, bytes.empty() ? nullptr : bytes.data(), static_cast<UInt32>(bytes.size()));
        break;
      }
      case 2:
      {
        MusicDeviceNoteParams note;
        memset(&note, 0, sizeof note);
        note.argCount = 2;
        note.mPitch = AnyFloat(in);
        note.mVelocity = AnyFloat(in);
        NoteInstanceID id = 0;
        MusicDeviceStartNote(unit, 0, 0, in.ConsumeBool() ? &id : nullptr, in.ConsumeIntegral<UInt32>(),
                             in.ConsumeBool() ? &note : nullptr);
        break;
      }
      default: MusicDeviceStopNote(unit, 0, in.ConsumeIntegral<UInt32>(), in.ConsumeIntegral<UInt32>()); break;
      }
      break;
    }
    default:
    {
      // Host timing and the level of the audio it feeds: extremes included.
      gSession.tempo = in.ConsumeBool() ? static_cast<Float64>(AnyFloat(in)) : in.ConsumeFloatingPoint<double>();
      gSession.beat = in.ConsumeFloatingPoint<double>();
      // Any level a gain of a few times cannot overflow, or a denormal.
      gSession.inputLevel = in.ConsumeBool() ? in.ConsumeFloatingPointInRange<float>(-1e30f, 1e30f) : 1e-39f;
      break;
    }
    }
  }
  AudioUnitConnection none = {nullptr, 0, 0};
  AudioUnitSetProperty(upstream.unit, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, &none, sizeof none);
  return 0;
}
