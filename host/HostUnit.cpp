#include "host/HostUnit.h"

#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <mutex>

#include "host/ComponentBundles.h"
#include "host/FrameLoops.h"

namespace
{

// The tremolo is mono or stereo.
constexpr int kMaxChannels = 2;

// What the plug-in bundle's description tells the system on a Mac: the
// component's codes and name, and the bundle that holds its resources.
constexpr OSType kComponentType = kAudioUnitType_Effect;
constexpr OSType kComponentSubtype = QUILL_FOUR_CC('T', 'r', 'm', 'l');
constexpr OSType kComponentManufacturer = QUILL_FOUR_CC('Q', 'l', 'b', 'r');
constexpr const char* kHostBundleID = "com.quillbarfx.quillbar-tremolo";

// The bundle --plugin picked; empty: search the component path.
std::string& PluginBundle()
{
  static std::string path;
  return path;
}

std::string ExecutableFolder()
{
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  path[n] = 0;
  char* slash = strrchr(path, '/');
  if (!slash) return ".";
  *slash = 0;
  return path[0] ? path : "/";
}

// Loads the plug-in bundles once per process: the one --plugin picked, or
// every bundle on the component path. False with *error when the picked
// bundle cannot be loaded; *problems lists the bundles of the path that
// could not.
bool LoadBundlesOnce(std::string* error, std::vector<std::string>* problems)
{
  static std::once_flag once;
  static bool ok = true;
  static std::string firstError;
  static std::vector<std::string> found;
  std::call_once(once, [] {
    QuillSetMainBundle(kHostBundleID, ExecutableFolder().c_str());
    if (!PluginBundle().empty()) ok = LoadComponentBundle(PluginBundle(), &firstError);
    else LoadComponentBundles(ComponentSearchPath(), &found);
  });
  *error = firstError;
  *problems = found;
  return ok;
}

std::string StatusText(OSStatus status)
{
  return "status " + std::to_string(status);
}

std::string StringOf(CFStringRef s)
{
  if (!s) return "";
  if (const char* p = CFStringGetCStringPtr(s, kCFStringEncodingUTF8)) return p;
  char buffer[512];
  if (!CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8)) return "";
  return buffer;
}

} // namespace

std::string JoinNames(const std::vector<std::string>& names)
{
  std::string text;
  for (const std::string& name : names)
  {
    if (!text.empty()) text += ", ";
    text += "\"" + name + "\"";
  }
  return text;
}

HostUnit::~HostUnit()
{
  if (!mUnit) return;
  if (mInitialized) AudioUnitUninitialize(mUnit);
  CloseComponent(mUnit);
}

void SetPluginBundle(const std::string& bundlePath) { PluginBundle() = bundlePath; }

bool HostUnit::Open(std::string* error)
{
  std::vector<std::string> problems;
  if (!LoadBundlesOnce(error, &problems)) return false;
  ComponentDescription looking{kComponentType, kComponentSubtype, kComponentManufacturer, 0, 0};
  Component component = FindNextComponent(nullptr, &looking);
  if (!component)
  {
    if (!PluginBundle().empty())
    {
      *error = "the plug-in bundle " + PluginBundle() + " holds no tremolo component (aufx Trml Qlbr)";
      return false;
    }
    std::string where;
    for (const std::string& folder : ComponentSearchPath()) where += (where.empty() ? "" : ", ") + folder;
    *error = "no tremolo component (aufx Trml Qlbr) in the component path (" +
             (where.empty() ? std::string("empty") : where) + "; set QUILL_COMPONENT_PATH or use --plugin)";
    for (const std::string& p : problems) *error += "\n  " + p;
    return false;
  }
  const OSErr err = OpenAComponent(component, &mUnit);
  if (err != noErr || !mUnit)
  {
    mUnit = nullptr;
    *error = "the tremolo component cannot be opened (" + StatusText(err) + ")";
    return false;
  }
  return true;
}

bool HostUnit::Configure(double sampleRate, int channels, int blockFrames, const HostTransport& transport,
                         std::string* error)
{
  // Render builds its buffer list for at most two channels; a count the unit
  // would refuse must not reach it through an earlier, good configuration.
  if (channels < 1 || channels > kMaxChannels || blockFrames < 1 || blockFrames > 65536 || !(sampleRate > 0.0))
  {
    *error = "cannot configure " + std::to_string(channels) + " channels, " + std::to_string(blockFrames) +
             "-frame blocks at " + std::to_string(sampleRate) + " Hz";
    return false;
  }
  mSampleRate = sampleRate;
  mChannels = channels;
  mBlockFrames = static_cast<UInt32>(blockFrames);
  mSplitInput.assign(2 * static_cast<size_t>(blockFrames), 0.0f);
  mTransport = transport;

  auto fail = [&](const char* what, OSStatus status) {
    *error = std::string("the plug-in refused ") + what + " (" + StatusText(status) + ")";
    return false;
  };

  Float64 rate = sampleRate;
  OSStatus st = AudioUnitSetProperty(mUnit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate,
                                     sizeof rate);
  if (st != noErr) return fail("the sample rate", st);

  AudioStreamBasicDescription format{};
  format.mSampleRate = sampleRate;
  format.mFormatID = kAudioFormatLinearPCM;
  format.mFormatFlags = kAudioFormatFlagsAudioUnitCanonical;
  format.mBytesPerPacket = 4;
  format.mFramesPerPacket = 1;
  format.mBytesPerFrame = 4;
  format.mChannelsPerFrame = static_cast<UInt32>(channels);
  format.mBitsPerChannel = 32;
  st = AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format,
                            sizeof format);
  if (st != noErr) return fail("the input format", st);
  st = AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format,
                            sizeof format);
  if (st != noErr) return fail("the output format", st);

  UInt32 maxFrames = mBlockFrames;
  st = AudioUnitSetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &maxFrames,
                            sizeof maxFrames);
  if (st != noErr) return fail("the block size", st);

  HostCallbackInfo callbacks{};
  callbacks.hostUserData = this;
  callbacks.beatAndTempoProc = BeatAndTempo;
  callbacks.musicalTimeLocationProc = MusicalTimeLocation;
  callbacks.transportStateProc = TransportState;
  st = AudioUnitSetProperty(mUnit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &callbacks,
                            sizeof callbacks);
  if (st != noErr) return fail("the host callbacks", st);

  AURenderCallbackStruct input{InputProc, this};
  st = AudioUnitSetProperty(mUnit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input,
                            sizeof input);
  if (st != noErr) return fail("the input callback", st);

  st = AudioUnitInitialize(mUnit);
  if (st != noErr) return fail("to initialize", st);
  mInitialized = true;
  AudioUnitRenderProc proc = nullptr;
  UInt32 procSize = sizeof proc;
  if (AudioUnitGetProperty(mUnit, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, kAudioUnitRenderSelect,
                           &proc, &procSize) == noErr &&
      procSize == sizeof proc && proc)
  {
    mRenderProc = proc;
    mRenderObject = GetComponentInstanceStorage(mUnit);
  }
  return true;
}

PresetIdentity HostUnit::Identity() const
{
  PresetIdentity id;
  ComponentDescription desc{};
  if (mUnit && GetComponentInfo(reinterpret_cast<Component>(mUnit), &desc, nullptr, nullptr, nullptr) == noErr)
  {
    id.type = desc.componentType;
    id.subtype = desc.componentSubType;
    id.manufacturer = desc.componentManufacturer;
  }
  return id;
}

long HostUnit::Version() const
{
  return mUnit ? GetComponentVersion(mUnit) : 0;
}

const std::vector<HostParameter>& HostUnit::Parameters()
{
  if (mParametersRead || !mUnit) return mParameters;
  mParametersRead = true;
  UInt32 size = 0;
  if (AudioUnitGetPropertyInfo(mUnit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size,
                               nullptr) != noErr)
    return mParameters;
  std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
  if (ids.empty()) return mParameters;
  size = static_cast<UInt32>(ids.size() * sizeof(AudioUnitParameterID));
  if (AudioUnitGetProperty(mUnit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids.data(),
                           &size) != noErr)
    return mParameters;
  ids.resize(size / sizeof(AudioUnitParameterID));
  for (AudioUnitParameterID id : ids)
  {
    AudioUnitParameterInfo info{};
    UInt32 infoSize = sizeof info;
    if (AudioUnitGetProperty(mUnit, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &info,
                             &infoSize) != noErr)
      continue;
    HostParameter p;
    p.id = id;
    p.name = info.cfNameString ? StringOf(info.cfNameString) : std::string(info.name, strnlen(info.name, sizeof info.name));
    if (info.cfNameString && (info.flags & kAudioUnitParameterFlag_CFNameRelease)) CFRelease(info.cfNameString);
    p.minValue = info.minValue;
    p.maxValue = info.maxValue;
    p.defaultValue = info.defaultValue;
    p.unit = info.unit;
    // Whether the host owns unitName is not settled on the platform; a copy
    // of its text is all the host keeps, and the string is left alone.
    if (info.unit == kAudioUnitParameterUnit_CustomUnit) p.unitName = StringOf(info.unitName);
    p.writable = (info.flags & kAudioUnitParameterFlag_IsWritable) != 0;
    mParameters.push_back(p);
  }
  return mParameters;
}

std::vector<HostPreset> HostUnit::FactoryPresets() const
{
  std::vector<HostPreset> presets;
  CFArrayRef array = nullptr;
  UInt32 size = sizeof array;
  if (!mUnit || AudioUnitGetProperty(mUnit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &array,
                                     &size) != noErr || !array)
    return presets;
  for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
  {
    const AUPreset* preset = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(array, i));
    if (!preset) continue;
    presets.push_back(HostPreset{preset->presetNumber, StringOf(preset->presetName)});
  }
  CFRelease(array);
  return presets;
}

std::vector<AUChannelInfo> HostUnit::ChannelConfigurations() const
{
  std::vector<AUChannelInfo> configs;
  UInt32 size = 0;
  if (!mUnit || AudioUnitGetPropertyInfo(mUnit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0,
                                         &size, nullptr) != noErr)
    return configs;
  configs.resize(size / sizeof(AUChannelInfo));
  if (configs.empty()) return configs;
  size = static_cast<UInt32>(configs.size() * sizeof(AUChannelInfo));
  if (AudioUnitGetProperty(mUnit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, configs.data(),
                           &size) != noErr)
    return {};
  configs.resize(size / sizeof(AUChannelInfo));
  return configs;
}

bool HostUnit::ApplyClassInfo(CFDictionaryRef classInfo, std::string* error)
{
  CFPropertyListRef value = classInfo;
  const OSStatus st = AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &value,
                                           sizeof value);
  if (st != noErr)
  {
    *error = "the plug-in refused the saved state (" + StatusText(st) + ")";
    return false;
  }
  return true;
}

CFDictionaryRef HostUnit::CopyClassInfo(std::string* error) const
{
  CFPropertyListRef value = nullptr;
  UInt32 size = sizeof value;
  const OSStatus st = AudioUnitGetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &value,
                                           &size);
  if (st != noErr || !value || CFGetTypeID(value) != CFDictionaryGetTypeID())
  {
    if (value) CFRelease(value);
    *error = "the plug-in gave no saved state (" + StatusText(st) + ")";
    return nullptr;
  }
  return static_cast<CFDictionaryRef>(value);
}

HostUnit::PresetResult HostUnit::ApplyPresetByName(const std::string& name, std::string* error)
{
  const std::vector<HostPreset> presets = FactoryPresets();
  std::vector<std::string> names;
  for (const HostPreset& p : presets)
  {
    if (p.name == name)
    {
      CFStringRef cfName = CFStringCreateWithCString(kCFAllocatorDefault, p.name.c_str(), kCFStringEncodingUTF8);
      AUPreset preset{p.number, cfName};
      const OSStatus st = AudioUnitSetProperty(mUnit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0,
                                               &preset, sizeof preset);
      CFRelease(cfName);
      if (st != noErr)
      {
        *error = "the plug-in refused preset \"" + name + "\" (" + StatusText(st) + ")";
        return PresetResult::kRefused;
      }
      return PresetResult::kApplied;
    }
    names.push_back(p.name);
  }
  *error = "unknown preset \"" + name + "\"; the presets are " + JoinNames(names);
  return PresetResult::kUnknownName;
}

int HostUnit::FindParameter(const std::string& name)
{
  const std::vector<HostParameter>& params = Parameters();
  for (size_t i = 0; i < params.size(); ++i)
    if (params[i].name == name) return static_cast<int>(i);
  return -1;
}

bool HostUnit::SetParameter(AudioUnitParameterID id, float value, std::string* error)
{
  const OSStatus st = AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, 0);
  if (st != noErr)
  {
    *error = "the plug-in refused parameter " + std::to_string(id) + " (" + StatusText(st) + ")";
    return false;
  }
  return true;
}

OSStatus HostUnit::Render(const float* const* in, float* const* out, UInt32 frames)
{
  if (!mInitialized || frames == 0 || frames > mBlockFrames) return kAudio_ParamError;
  mPendingInput = in;
  return RenderPending(out, frames);
}

OSStatus HostUnit::RenderInterleaved(const float* in, float* const* out, UInt32 frames)
{
  if (!mInitialized || frames == 0 || frames > mBlockFrames || !in) return kAudio_ParamError;
  mPendingInterleaved = in;
  return RenderPending(out, frames);
}

OSStatus HostUnit::RenderPending(float* const* out, UInt32 frames)
{
  mPendingFrames = frames;

  // Room for every channel Configure accepts.
  alignas(AudioBufferList) unsigned char
      listBytes[offsetof(AudioBufferList, mBuffers) + kMaxChannels * sizeof(AudioBuffer)];
  AudioBufferList* list = reinterpret_cast<AudioBufferList*>(listBytes);
  list->mNumberBuffers = static_cast<UInt32>(mChannels);
  for (int c = 0; c < mChannels; ++c)
  {
    list->mBuffers[c].mNumberChannels = 1;
    list->mBuffers[c].mDataByteSize = frames * sizeof(float);
    list->mBuffers[c].mData = out[c];
  }
  AudioTimeStamp stamp{};
  stamp.mSampleTime = mFramesRendered;
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  AudioUnitRenderActionFlags flags = 0;
  const OSStatus st = mRenderProc ? mRenderProc(mRenderObject, &flags, &stamp, 0, frames, list)
                                  : AudioUnitRender(mUnit, &flags, &stamp, 0, frames, list);
  // A unit that answers with its own buffers instead of ours: copy them over.
  if (st == noErr)
  {
    for (int c = 0; c < mChannels; ++c)
    {
      const void* produced = list->mBuffers[c].mData;
      if (produced && produced != out[c]) memcpy(out[c], produced, frames * sizeof(float));
    }
  }
  mPendingInput = nullptr;
  mPendingInterleaved = nullptr;
  mPendingFrames = 0;
  mFramesRendered += frames;
  return st;
}

OSStatus HostUnit::InputProc(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32 bus,
                             UInt32 frames, AudioBufferList* data)
{
  HostUnit* host = static_cast<HostUnit*>(refCon);
  if (!host || !data || bus != 0 || (!host->mPendingInput && !host->mPendingInterleaved) ||
      frames > host->mPendingFrames)
    return kAudio_ParamError;
  const float* const* input = host->mPendingInput;
  const float* planes[2] = {host->mPendingInterleaved, nullptr};
  if (host->mPendingInterleaved && host->mChannels == 2)
  {
    AudioBuffer* b = data->mBuffers;
    const UInt32 bytes = frames * sizeof(float);
    if (data->mNumberBuffers == 2 && b[0].mData && b[1].mData && b[0].mDataByteSize >= bytes &&
        b[1].mDataByteSize >= bytes)
    {
      // The usual case: straight from the file's frames into the unit's buffers.
      SplitStereo(host->mPendingInterleaved, frames, static_cast<float*>(b[0].mData), static_cast<float*>(b[1].mData));
      b[0].mDataByteSize = b[1].mDataByteSize = bytes;
      return noErr;
    }
    // Any other request goes the planar way, through planes of our own.
    float* split = host->mSplitInput.data();
    DeinterleaveFrames(host->mPendingInterleaved, 2, frames, split, host->mBlockFrames);
    planes[0] = split;
    planes[1] = split + host->mBlockFrames;
  }
  if (!input) input = planes; // mono frames are already a plane
  for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
  {
    AudioBuffer& buffer = data->mBuffers[c];
    // More buffers than the file has channels would be the unit's mistake;
    // silence is the safe answer.
    const float* src = c < static_cast<UInt32>(host->mChannels) ? input[c] : nullptr;
    if (!buffer.mData)
    {
      if (!src) return kAudio_ParamError;
      buffer.mData = const_cast<float*>(src);
    }
    else if (buffer.mDataByteSize < frames * sizeof(float))
    {
      return kAudio_ParamError;
    }
    else if (src)
    {
      memcpy(buffer.mData, src, frames * sizeof(float));
    }
    else
    {
      memset(buffer.mData, 0, frames * sizeof(float));
    }
    buffer.mDataByteSize = frames * sizeof(float);
  }
  return noErr;
}

double HostUnit::SamplesPerBeat() const
{
  return mSampleRate * 60.0 / mTransport.tempoBpm;
}

double HostUnit::CurrentBeat() const
{
  return mTransport.startBeat + mFramesRendered / SamplesPerBeat();
}

OSStatus HostUnit::BeatAndTempo(void* userData, Float64* beat, Float64* tempo)
{
  const HostUnit* host = static_cast<const HostUnit*>(userData);
  if (!host) return kAudioUnitErr_CannotDoInCurrentContext;
  if (beat) *beat = host->CurrentBeat();
  if (tempo) *tempo = host->mTransport.tempoBpm;
  return noErr;
}

OSStatus HostUnit::MusicalTimeLocation(void* userData, UInt32* deltaSampleOffsetToNextBeat, Float32* numerator,
                                       UInt32* denominator, Float64* measureDownBeat)
{
  const HostUnit* host = static_cast<const HostUnit*>(userData);
  if (!host) return kAudioUnitErr_CannotDoInCurrentContext;
  const double beat = host->CurrentBeat();
  if (deltaSampleOffsetToNextBeat)
  {
    const double toNext = (std::ceil(beat) - beat) * host->SamplesPerBeat();
    *deltaSampleOffsetToNextBeat = static_cast<UInt32>(std::llround(toNext));
  }
  if (numerator) *numerator = 4.0f;
  if (denominator) *denominator = 4;
  if (measureDownBeat) *measureDownBeat = std::floor(beat / 4.0) * 4.0;
  return noErr;
}

OSStatus HostUnit::TransportState(void* userData, Boolean* playing, Boolean* changed, Float64* sampleInTimeLine,
                                  Boolean* cycling, Float64* cycleStart, Float64* cycleEnd)
{
  const HostUnit* host = static_cast<const HostUnit*>(userData);
  if (!host) return kAudioUnitErr_CannotDoInCurrentContext;
  if (playing) *playing = host->mTransport.playing ? 1 : 0;
  if (changed) *changed = 0;
  if (sampleInTimeLine) *sampleInTimeLine = host->mTransport.startBeat * host->SamplesPerBeat() + host->mFramesRendered;
  if (cycling) *cycling = 0;
  if (cycleStart) *cycleStart = 0.0;
  if (cycleEnd) *cycleEnd = 0.0;
  return noErr;
}
