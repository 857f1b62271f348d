// HostUnit: the tremolo opened and driven the way an Audio Unit host does.
//
// Everything goes through the component registry and the Audio Unit calls of
// the platform layer: the host loads the plug-in bundle (the one --plugin
// picks, else those on the component path; ComponentBundles.h), which
// registers its component as the system does on a Mac, opens an instance, sets sample rate, stream
// formats, block size and host callbacks, feeds the input through a render
// callback, initializes the unit, applies state, presets and parameters
// through properties and the set-parameter call, and renders block by block
// with sample-time stamps. The plug-in's own classes are never touched.
//
// One thread: a HostUnit is made, configured and rendered from the thread
// that owns it.
#pragma once

#include <QuillPlatform.h>

#include <string>
#include <vector>

#include "host/PresetFile.h"

// Where the host's timeline stands and how it moves.
struct HostTransport
{
  double tempoBpm = 120.0; // > 0
  double startBeat = 0.0;  // beat at the first frame, >= 0
  bool playing = true;
};

// What one parameter looks like to the host (from kAudioUnitProperty_ParameterInfo).
struct HostParameter
{
  AudioUnitParameterID id = 0;
  std::string name;
  float minValue = 0.0f;
  float maxValue = 0.0f;
  float defaultValue = 0.0f;
  AudioUnitParameterUnit unit = kAudioUnitParameterUnit_Generic;
  std::string unitName;    // custom unit label, "" when none
  bool writable = false;
};

struct HostPreset
{
  SInt32 number = 0;
  std::string name;
};

class HostUnit
{
public:
  HostUnit() = default;
  ~HostUnit();
  HostUnit(const HostUnit&) = delete;
  HostUnit& operator=(const HostUnit&) = delete;

  // Loads the plug-in bundles (once per process) and opens an instance of the
  // tremolo component. False with *error set when the picked bundle cannot
  // be loaded or the component cannot be found (the message lists the
  // folders searched and the bundles that failed) or opened.
  bool Open(std::string* error);

  // Step 1 of a run: sample rate (Hz, > 0), input and output stream formats of
  // `channels` (1 or 2) channels, maximum frames per slice = blockFrames
  // (1..65536), the three host callbacks, the input render callback; then
  // initializes the unit. False with *error set when the unit refuses any step.
  bool Configure(double sampleRate, int channels, int blockFrames, const HostTransport& transport,
                 std::string* error);

  // Identity the registry gave the component.
  PresetIdentity Identity() const;
  // Packed version the component reports (0xVVVVRRMM), or 0.
  long Version() const;

  // The parameters, in ID order (read once, then kept).
  const std::vector<HostParameter>& Parameters();
  // The factory presets in index order.
  std::vector<HostPreset> FactoryPresets() const;
  // Supported (inputs, outputs) channel pairs.
  std::vector<AUChannelInfo> ChannelConfigurations() const;

  // Applies a class-info dictionary through kAudioUnitProperty_ClassInfo.
  // False with *error set when the unit refuses it.
  bool ApplyClassInfo(CFDictionaryRef classInfo, std::string* error);
  // The unit's current class-info dictionary (caller releases), or null with
  // *error set.
  CFDictionaryRef CopyClassInfo(std::string* error) const;
  enum class PresetResult
  {
    kApplied,
    kUnknownName, // *error lists the valid names
    kRefused,     // the unit answered with an error status
  };
  // Selects the factory preset of that name (exact match) through
  // kAudioUnitProperty_PresentPreset.
  PresetResult ApplyPresetByName(const std::string& name, std::string* error);
  // Index of the parameter of that name (exact match), or -1.
  int FindParameter(const std::string& name);
  // Sets a parameter's plain value with the set-parameter call. False with
  // *error set when the unit refuses it.
  bool SetParameter(AudioUnitParameterID id, float value, std::string* error);

  // Renders `frames` (1..blockFrames) frames: in[c] and out[c] are planar
  // channels of the configured count. The time stamp's sample time is the
  // number of frames rendered so far by this unit. Returns the unit's status.
  OSStatus Render(const float* const* in, float* const* out, UInt32 frames);
  // The same with the input as interleaved frames of the configured channel
  // count: the unit's input callback splits them straight into the unit's
  // own buffers, which saves a pass over every sample.
  OSStatus RenderInterleaved(const float* in, float* const* out, UInt32 frames);

  // Frames rendered so far.
  double FramesRendered() const { return mFramesRendered; }

  // The opened instance (null before Open).
  AudioUnit Unit() const { return mUnit; }

private:
  static OSStatus InputProc(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp,
                            UInt32 bus, UInt32 frames, AudioBufferList* data);
  static OSStatus BeatAndTempo(void* userData, Float64* beat, Float64* tempo);
  static OSStatus MusicalTimeLocation(void* userData, UInt32* deltaSampleOffsetToNextBeat, Float32* numerator,
                                      UInt32* denominator, Float64* measureDownBeat);
  static OSStatus TransportState(void* userData, Boolean* playing, Boolean* changed, Float64* sampleInTimeLine,
                                 Boolean* cycling, Float64* cycleStart, Float64* cycleEnd);
  double CurrentBeat() const;
  double SamplesPerBeat() const;

  AudioUnit mUnit = nullptr;
  bool mInitialized = false;
  int mChannels = 0;
  UInt32 mBlockFrames = 0;
  double mSampleRate = 0.0;
  HostTransport mTransport;
  double mFramesRendered = 0.0;
  OSStatus RenderPending(float* const* out, UInt32 frames);

  const float* const* mPendingInput = nullptr; // the block being rendered, planar
  const float* mPendingInterleaved = nullptr;  // or interleaved
  std::vector<float> mSplitInput;             // planes for interleaved input, made by Configure
  UInt32 mPendingFrames = 0;
  // The unit's own render procedure (fast dispatch), which skips the
  // component lookup of every AudioUnitRender call; null when the unit
  // offers none.
  AudioUnitRenderProc mRenderProc = nullptr;
  void* mRenderObject = nullptr;
  std::vector<HostParameter> mParameters;
  bool mParametersRead = false;
};

// Picks the plug-in bundle (a .component folder) every later Open loads
// instead of searching the component path. Call it before the first Open.
void SetPluginBundle(const std::string& bundlePath);

// "Name1, Name2, ..." of a list of names, quoted.
std::string JoinNames(const std::vector<std::string>& names);
