// quill-stress: a plug-in validator's stress run against the tremolo's Audio
// Unit entry. One thread renders at random block sizes through the
// fast-dispatch render procedure (as hosts do) while others automate every
// parameter (NaN, infinities and extremes included), switch factory presets,
// save and restore the class info, and uninitialize, change the sample rate
// or the maximum frames and initialize again.
//
// Like a host, it stops its audio while it reconfigures (the render thread
// holds a shared engine lock per block, the reconfiguration takes it
// exclusively); everything else runs against rendering unguarded.
//
// Checks: every output sample is finite; every restore of a saved class info
// reads back what was saved (when no other change came in between); the
// render thread keeps making progress (a stall of 10 s counts as a deadlock).
// Data races are ThreadSanitizer's to find: scripts/test.sh runs it under
// ThreadSanitizer briefly, scripts/stress.sh for longer.
//
//   quill-stress [--seconds N] [--seed S]     exit 0 clean, 1 a check failed, 2 usage
#include <QuillPlatform.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "au/IPlugAU.h"
#include "tremolo/QuillbarTremolo.h"
#include "tremolo/QuillbarTremoloConfig.h"

namespace
{

ComponentResult Entry(ComponentParameters* params, Handle storage)
{
  return QuillbarTremolo_Entry(params, storage);
}

struct Shared
{
  AudioUnit unit = nullptr;
  std::shared_mutex engine;           // shared per rendered block, exclusive to reconfigure
  std::atomic<bool> stop{false};
  std::atomic<UInt32> maxFrames{1024};
  std::atomic<unsigned> changes{0};   // parameter and preset changes completed
  std::atomic<int> inFlight{0};       // parameter and preset changes under way
  std::atomic<long> blocks{0}, frames{0}, paramSets{0}, presetSwitches{0}, restores{0}, restoresChecked{0},
      reconfigurations{0};
  std::atomic<int> failures{0};
};

void Fail(Shared& s, const char* what)
{
  if (s.failures.fetch_add(1) < 10) fprintf(stderr, "quill-stress: FAILED: %s\n", what);
}

// The host's input: deterministic noise at a safe level.
OSStatus Source(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 nFrames,
                AudioBufferList* list)
{
  uint32_t* state = static_cast<uint32_t*>(refCon);
  for (UInt32 b = 0; b < list->mNumberBuffers; ++b)
  {
    float* out = static_cast<float*>(list->mBuffers[b].mData);
    if (!out) return kAudio_ParamError;
    for (UInt32 i = 0; i < nFrames; ++i)
    {
      *state = *state * 1664525u + 1013904223u;
      out[i] = 0.5f * (static_cast<float>(*state >> 8) / 8388608.0f - 1.0f);
    }
  }
  return noErr;
}

OSStatus SetStereo(AudioUnit unit, Float64 rate)
{
  AudioStreamBasicDescription asbd;
  MakeDefaultASBD(&asbd, rate, 2, false);
  OSStatus st = AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &asbd, sizeof asbd);
  if (st == noErr)
    st = AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &asbd, sizeof asbd);
  return st;
}

void RenderThread(Shared& s, unsigned seed)
{
  std::mt19937 rng(seed);
  AudioUnitRenderProc proc = nullptr;
  UInt32 size = sizeof proc;
  if (AudioUnitGetProperty(s.unit, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, kAudioUnitRenderSelect,
                           &proc, &size) != noErr || !proc)
  {
    Fail(s, "no fast-dispatch render procedure");
    return;
  }
  void* storage = GetComponentInstanceStorage(s.unit);
  std::vector<float> left(8192), right(8192);
  std::vector<unsigned char> listBytes(offsetof(AudioBufferList, mBuffers) + 2 * sizeof(AudioBuffer));
  AudioBufferList* list = reinterpret_cast<AudioBufferList*>(listBytes.data());
  Float64 sampleTime = 0.0;
  while (!s.stop)
  {
    std::shared_lock<std::shared_mutex> engine(s.engine);
    const UInt32 max = s.maxFrames;
    const UInt32 n = std::uniform_int_distribution<UInt32>(1, max)(rng);
    list->mNumberBuffers = 2;
    float* data[2] = {left.data(), right.data()};
    for (int b = 0; b < 2; ++b)
    {
      list->mBuffers[b].mNumberChannels = 1;
      list->mBuffers[b].mDataByteSize = n * sizeof(float);
      list->mBuffers[b].mData = data[b];
    }
    AudioTimeStamp ts;
    memset(&ts, 0, sizeof ts);
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    ts.mSampleTime = sampleTime;
    AudioUnitRenderActionFlags flags = 0;
    const OSStatus st = proc(storage, &flags, &ts, 0, n, list);
    if (st != noErr)
    {
      Fail(s, "render refused a block within the maximum frames");
      continue;
    }
    sampleTime += n;
    for (int b = 0; b < 2; ++b)
    {
      const float* out = static_cast<const float*>(list->mBuffers[b].mData);
      for (UInt32 i = 0; i < n; ++i)
        if (!std::isfinite(out[i]))
        {
          Fail(s, "a rendered sample is not finite");
          break;
        }
    }
    ++s.blocks;
    s.frames += n;
  }
}

void AutomationThread(Shared& s, unsigned seed)
{
  std::mt19937 rng(seed);
  const float kExtremes[] = {NAN, INFINITY, -INFINITY, 3.4e38f, -3.4e38f, 1e-40f, -1e-40f, 0.0f};
  while (!s.stop)
  {
    const AudioUnitParameterID id = std::uniform_int_distribution<UInt32>(0, kNumParams)(rng);
    float value;
    if (rng() % 8 == 0)
    {
      value = kExtremes[rng() % (sizeof kExtremes / sizeof kExtremes[0])];
    }
    else
    {
      const TremoloParamRow& row = kTremoloParams[id < kNumParams ? id : 0];
      value = static_cast<float>(std::uniform_real_distribution<double>(row.minVal, row.maxVal)(rng));
    }
    ++s.inFlight;
    AudioUnitSetParameter(s.unit, id, kAudioUnitScope_Global, 0, value, 0);
    ++s.changes;
    --s.inFlight;
    AudioUnitParameterValue back = 0.0f;
    AudioUnitGetParameter(s.unit, id, kAudioUnitScope_Global, 0, &back);
    ++s.paramSets;
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 200));
  }
}

void PresetThread(Shared& s, unsigned seed)
{
  std::mt19937 rng(seed);
  while (!s.stop)
  {
    AUPreset preset = {static_cast<SInt32>(rng() % 5), nullptr};
    ++s.inFlight;
    AudioUnitSetProperty(s.unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &preset, sizeof preset);
    ++s.changes;
    --s.inFlight;
    AUPreset now;
    UInt32 size = sizeof now;
    if (AudioUnitGetProperty(s.unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &now, &size) == noErr &&
        now.presetName)
      CFRelease(now.presetName);
    ++s.presetSwitches;
    std::this_thread::sleep_for(std::chrono::milliseconds(1 + rng() % 5));
  }
}

CFDictionaryRef CopyClassInfo(Shared& s)
{
  CFPropertyListRef plist = nullptr;
  UInt32 size = sizeof plist;
  if (AudioUnitGetProperty(s.unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &plist, &size) != noErr ||
      !plist)
  {
    Fail(s, "the class info could not be saved");
    return nullptr;
  }
  return static_cast<CFDictionaryRef>(plist);
}

// The preset name and parameter values of a class info, on stderr.
void Describe(const char* what, CFDictionaryRef info)
{
  CFStringRef nameKey = CFStringCreateWithCString(kCFAllocatorDefault, "name", kCFStringEncodingUTF8);
  CFStringRef dataKey = CFStringCreateWithCString(kCFAllocatorDefault, "data", kCFStringEncodingUTF8);
  char name[128] = "?";
  const void* nameValue = CFDictionaryGetValue(info, nameKey);
  if (nameValue && CFGetTypeID(nameValue) == CFStringGetTypeID())
    CFStringGetCString(static_cast<CFStringRef>(nameValue), name, sizeof name, kCFStringEncodingUTF8);
  fprintf(stderr, "  %s: \"%s\"", what, name);
  const void* dataValue = CFDictionaryGetValue(info, dataKey);
  if (dataValue && CFGetTypeID(dataValue) == CFDataGetTypeID())
  {
    CFDataRef data = static_cast<CFDataRef>(dataValue);
    for (CFIndex i = 0; i + 8 <= CFDataGetLength(data); i += 8)
    {
      double v;
      memcpy(&v, CFDataGetBytePtr(data) + i, sizeof v);
      fprintf(stderr, " %.17g", v);
    }
  }
  fprintf(stderr, "\n");
  CFRelease(nameKey);
  CFRelease(dataKey);
}

void StateThread(Shared& s, unsigned seed)
{
  std::mt19937 rng(seed);
  while (!s.stop)
  {
    // A change under way when the window opens, or completed or still under
    // way when it closes, voids the comparison.
    const bool quietStart = s.inFlight == 0;
    const unsigned before = s.changes;
    CFDictionaryRef saved = CopyClassInfo(s);
    if (!saved) return;
    CFPropertyListRef plist = saved;
    if (AudioUnitSetProperty(s.unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &plist, sizeof plist) !=
        noErr)
      Fail(s, "a saved class info was refused");
    CFDictionaryRef back = CopyClassInfo(s);
    // Only a window without other changes says the restore itself held.
    if (back && quietStart && s.inFlight == 0 && s.changes == before)
    {
      if (!CFEqual(saved, back))
      {
        Fail(s, "a restored class info does not read back as saved");
        Describe("saved", saved);
        Describe("read back", back);
      }
      ++s.restoresChecked;
    }
    ++s.restores;
    CFRelease(saved);
    if (back) CFRelease(back);
    std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 3));
  }
}

void ReconfigureThread(Shared& s, unsigned seed)
{
  std::mt19937 rng(seed);
  const Float64 kRates[] = {22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
  while (!s.stop)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + rng() % 40));
    std::unique_lock<std::shared_mutex> engine(s.engine);
    AudioUnitUninitialize(s.unit);
    if (rng() % 2)
    {
      if (SetStereo(s.unit, kRates[rng() % 5]) != noErr) Fail(s, "a sample rate change was refused");
    }
    else
    {
      const UInt32 frames = std::uniform_int_distribution<UInt32>(16, 4096)(rng);
      if (AudioUnitSetProperty(s.unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames,
                               sizeof frames) != noErr)
        Fail(s, "a maximum frames change was refused");
      else
        s.maxFrames = frames;
    }
    if (AudioUnitInitialize(s.unit) != noErr) Fail(s, "initialize failed after a reconfiguration");
    ++s.reconfigurations;
  }
}

bool ParseArgs(int argc, char** argv, double* seconds, unsigned* seed)
{
  for (int i = 1; i < argc; ++i)
  {
    const std::string a = argv[i];
    char* end = nullptr;
    if ((a == "--seconds" || a == "--seed") && i + 1 < argc)
    {
      const double v = strtod(argv[++i], &end);
      if (*end || !(v >= 0.0) || v > 1e6) return false;
      if (a == "--seconds") *seconds = v;
      else *seed = static_cast<unsigned>(v);
    }
    else
    {
      return false;
    }
  }
  return true;
}

} // namespace

int main(int argc, char** argv)
{
  double seconds = 10.0;
  unsigned seed = 1;
  if (!ParseArgs(argc, argv, &seconds, &seed))
  {
    fprintf(stderr, "usage: quill-stress [--seconds N] [--seed S]\n");
    return 2;
  }
  ComponentDescription cd;
  memset(&cd, 0, sizeof cd);
  cd.componentType = kAudioUnitType_Effect;
  cd.componentSubType = static_cast<OSType>(tremolo_config::kUniqueID);
  cd.componentManufacturer = static_cast<OSType>(tremolo_config::kMfrID);
  Component component = QuillRegisterComponent(&cd, Entry, "stress: QuillbarTremolo");
  Shared s;
  if (!component || OpenAComponent(component, &s.unit) != noErr)
  {
    fprintf(stderr, "quill-stress: cannot open the plug-in\n");
    return 1;
  }
  uint32_t noise = seed;
  AURenderCallbackStruct cb = {&Source, &noise};
  const UInt32 maxFrames = s.maxFrames;
  if (SetStereo(s.unit, 44100.0) != noErr ||
      AudioUnitSetProperty(s.unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &maxFrames,
                           sizeof maxFrames) != noErr ||
      AudioUnitSetProperty(s.unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &cb, sizeof cb) !=
          noErr ||
      AudioUnitInitialize(s.unit) != noErr)
  {
    fprintf(stderr, "quill-stress: cannot configure the plug-in\n");
    return 1;
  }

  std::vector<std::thread> threads;
  threads.emplace_back(RenderThread, std::ref(s), seed * 7 + 1);
  threads.emplace_back(AutomationThread, std::ref(s), seed * 7 + 2);
  threads.emplace_back(AutomationThread, std::ref(s), seed * 7 + 3);
  threads.emplace_back(PresetThread, std::ref(s), seed * 7 + 4);
  threads.emplace_back(StateThread, std::ref(s), seed * 7 + 5);
  threads.emplace_back(ReconfigureThread, std::ref(s), seed * 7 + 6);

  // Watchdog: the render thread must keep going.
  const auto start = std::chrono::steady_clock::now();
  long lastBlocks = -1;
  auto lastProgress = start;
  bool stalled = false;
  while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds) && s.failures == 0)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto now = std::chrono::steady_clock::now();
    if (s.blocks != lastBlocks)
    {
      lastBlocks = s.blocks;
      lastProgress = now;
    }
    else if (now - lastProgress > std::chrono::seconds(10))
    {
      fprintf(stderr, "quill-stress: FAILED: no block rendered for 10 s (deadlock?)\n");
      stalled = true;
      break;
    }
  }
  if (stalled) _Exit(1); // threads that never return cannot be joined
  s.stop = true;
  for (std::thread& t : threads) t.join();
  CloseComponent(s.unit);

  printf("quill-stress: %.0f s, seed %u: %ld blocks (%ld frames), %ld parameter changes, %ld preset switches, "
         "%ld class-info restores (%ld checked), %ld reconfigurations, %d failures\n",
         seconds, seed, s.blocks.load(), s.frames.load(), s.paramSets.load(), s.presetSwitches.load(),
         s.restores.load(), s.restoresChecked.load(), s.reconfigurations.load(), s.failures.load());
  if (s.blocks == 0) fprintf(stderr, "quill-stress: FAILED: nothing was rendered\n");
  return s.failures == 0 && s.blocks > 0 ? 0 : 1;
}
