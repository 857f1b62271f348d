// IPlugAU: the Audio Unit (version 2) adapter of the plug-in base.
//
// The host reaches a plug-in through one component entry (IPlugAUEntry,
// forwarded to by the plug-in's exported entry function) with a selector and
// a parameter block. The open selector builds the plug-in with MakePlug and
// registers it as the instance's storage; every later selector finds it
// there. The adapter answers and applies Audio Unit properties, exchanges
// parameters as plain values, maps the host's buses onto the plug-in base's
// channels, pulls input and renders, reads the host's tempo and transport,
// and saves and restores the plug-in state as a class-info dictionary.
//
// Threads and the mutex: every selector except open and close runs with the
// plug-in mutex held. The fast-dispatch parameter procedures take it
// themselves; the fast-dispatch render procedure runs without it, on the
// host's render thread.
//
// The adapter's files follow its concerns: IPlugAU.cpp the entry, selector
// dispatch, notifications and parameter procedures; IPlugAU_Properties.cpp
// the property protocol, one table row per property; IPlugAU_Render.cpp
// buses, formats, connections, rendering and host time; IPlugAU_State.cpp
// the class-info dictionary and the factory presets.
//
// Bad input from the host (null pointers, short buffers, unknown scopes,
// elements and parameter IDs, malformed dictionaries, oversized renders,
// buffer lists that do not fit the bus) is answered with an Audio Unit
// status code; nothing is thrown across the entry.
#pragma once

#include <QuillPlatform.h>

#include <atomic>

#include "framework/IPlugBase.h"

// How an input bus gets its audio.
enum EAUInputType
{
  eNotConnected = 0,
  eDirectFastProc = 1,   // an upstream unit whose render procedure we call directly
  eDirectNoFastProc = 2, // an upstream unit pulled through AudioUnitRender
  eRenderCallback = 3,   // a host render callback
};

// "NotConnected", "DirectFastProc", "DirectNoFastProc", "RenderCallback";
// "" for any other value.
const char* AUInputTypeStr(int type);

// The Audio Unit component entry the plug-in's exported entry forwards to.
// pPlug is the instance storage (null at open). Never throws.
extern "C" ComponentResult IPlugAUEntry(ComponentParameters* params, void* pPlug);

class IPlugAU : public IPlugBase
{
public:
  // One host bus mapped onto a run of plug-in base channels.
  struct BusChannels
  {
    bool mConnected = false;
    int mNHostChannels = -1; // set by a stream-format write; -1 = not set
    int mNPlugChannels = 0;
    int mPlugChannelStartIdx = 0;
  };

  // What feeds one input bus; zero-filled when created or cleared.
  struct InputBusConnection
  {
    void* mUpstreamObj = nullptr; // upstream instance storage (fast render only)
    AudioUnit mUpstreamUnit = nullptr;
    int mUpstreamBusIdx = 0;
    AudioUnitRenderProc mUpstreamRenderProc = nullptr;
    AURenderCallbackStruct mUpstreamRenderCallback = {nullptr, nullptr};
    EAUInputType mInputType = eNotConnected;
  };

  // instanceInfo: the plug-in bundle identifier and the view factory class
  // name. The other arguments are the plug-in base's; plugScChans is the
  // number of side-chain input channels (0: none). Builds the buses and sets
  // the block size to 1024.
  IPlugAU(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
          const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
          int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
          int plugScChans);
  ~IPlugAU() override;

  // ---- host notifications (any thread but the render thread) ----

  // Post a begin-gesture / value-change / end-gesture event for parameter
  // idx through AUEventListenerNotify; the host reads the value back.
  // Ignored for an index outside the parameter list.
  void BeginInformHostOfParamChange(int idx) override;
  void InformHostOfParamChange(int idx, double normalizedValue) override;
  void EndInformHostOfParamChange(int idx) override;
  // Calls the listeners of kAudioUnitProperty_PresentPreset.
  void InformHostOfProgramChange() override;
  // Calls every listener registered for propertyID with (scope, element 0).
  void InformListeners(AudioUnitPropertyID propertyID, AudioUnitScope scope);

  // ---- host time (render thread; the host callbacks may only answer there) ----

  // Current sample in the time line, rounded to the nearest integer; 0
  // without a transport-state callback or when it fails.
  int GetSamplePos() override;
  // The last positive tempo the host reported, in BPM (120 until then).
  double GetTempo() override;
  // Time signature from the musical-time callback; nothing is written
  // without it. Null pointers are skipped.
  void GetTimeSig(int* pNum, int* pDenom) override;
  // Fills what the host reports: positions (beats, samples, bar start, cycle)
  // when 0 or more, the tempo when above 0, the flags and time signature
  // always; everything else keeps the caller's value. Null is ignored.
  void GetTime(ITimeInfo* pTimeInfo) override;
  // True while the host renders offline (kAudioUnitProperty_OfflineRender).
  bool IsRenderingOffline() override { return mIsOffline; }

  // ---- other host-facing operations ----

  // Identifies the host from the main bundle's identifier on first use.
  EHost GetHost() override;
  // Identifies the host, then OnHostIdentified. Called once at open.
  void HostSpecificInit() override;
  // Calls the latency listeners, then stores the latency in samples.
  void SetLatency(int samples) override;
  // An Audio Unit effect sends no MIDI: always false.
  bool SendMidiMsg(IMidiMsg* pMsg) override;
  // With an editor, calls OnWindowResize.
  void ResizeGraphics(int w, int h) override;
  // Resizes and zeroes the input and output float scratch (block size x
  // channels), then the base's buffers. Allocates: not on the render path.
  void SetBlockSize(int blockSize) override;

  // Installs the host's transport callbacks (what a write of
  // kAudioUnitProperty_HostCallbacks does); null procedures report nothing.
  // Not while a block renders.
  void SetHostCallbacks(const HostCallbackInfo& info);

  // ---- state ----

  // A new class-info dictionary (the caller releases it) into *ppPropList.
  // The GetComponentInfo error, or kAudio_ParamError for a null pointer.
  // Plug-in mutex held.
  ComponentResult GetState(CFPropertyListRef* ppPropList);
  // Restores a class-info dictionary: kAudioUnitErr_InvalidPropertyValue for
  // missing or wrongly typed keys, another unit's codes or a data block of
  // the wrong size (nothing changed then); a dictionary without "data"
  // selects the named preset and still answers that error. Plug-in mutex held.
  ComponentResult SetState(CFPropertyListRef pPropList);

  // ---- fast dispatch (the host calls these directly) ----

  // pPlug is the instance storage (the IPlugAU). Global scope only
  // (kAudioUnitErr_InvalidProperty otherwise); kAudioUnitErr_InvalidParameter
  // for an ID outside the list; kAudio_ParamError for a null out-pointer.
  // Take the plug-in mutex. Any thread.
  static OSStatus GetParamProc(void* pPlug, AudioUnitParameterID paramID, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* pValue);
  // Stores the value clamped into the parameter's range, hands the editor the
  // unclamped value, then OnParamChange. Errors as GetParamProc.
  static OSStatus SetParamProc(void* pPlug, AudioUnitParameterID paramID, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value, UInt32 offsetFrames);
  // Renders nFrames (at most the block size) of output bus outputBusIdx into
  // pBufferList, pulling the inputs once per time stamp. Takes no lock and
  // allocates nothing. kAudioUnitErr_InvalidPropertyValue for a time stamp
  // without sample time, an unknown bus or too many frames; kAudio_ParamError
  // for null pointers or a buffer list that does not fit the bus; an
  // upstream error unchanged. Render thread.
  static OSStatus RenderProc(void* pPlug, AudioUnitRenderActionFlags* pFlags, const AudioTimeStamp* pTimestamp,
                             UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* pBufferList);
  // The fast-dispatch procedure for selector 6, 7 or 14 into *(void**)pData
  // (when not null) and 8 into *pDataSize (when not null);
  // kAudioUnitErr_InvalidElement for any other selector.
  static ComponentResult GetProc(SInt16 selector, UInt32* pDataSize, void* pData);

  // ---- inspection ----

  // Plug-in bundle identifier and view factory class name (never null).
  const char* GetBundleID() const { return mBundleID.Get(); }
  const char* GetViewFactoryClassName() const { return mCocoaViewFactoryClassName.Get(); }
  // The component instance the host opened (null before open).
  ComponentInstance GetComponentInstance() const { return mCI; }
  // Between the initialize and uninitialize selectors.
  bool IsActive() const { return mActive; }
  // Bus counts and buses; null for an index outside the list.
  int NInputBuses() const { return mInBuses.GetSize(); }
  int NOutputBuses() const { return mOutBuses.GetSize(); }
  const BusChannels* GetInputBus(int idx) const { return mInBuses.Get(idx); }
  const BusChannels* GetOutputBus(int idx) const { return mOutBuses.Get(idx); }
  // Input type of bus idx; eNotConnected for an index outside the list.
  EAUInputType GetInputType(int idx) const;

private:
  friend ComponentResult IPlugAUEntryDispatch(IPlugAU* pPlug, ComponentParameters* params);
  friend ComponentResult IPlugAUEntry(ComponentParameters* params, void* pPlug);
  friend struct AUProperties; // the property table's routines

  struct PropertyListener
  {
    AudioUnitPropertyID mPropID;
    AudioUnitPropertyListenerProc mListenerProc;
    void* mProcArgs;
  };
  struct RenderNotify
  {
    AURenderCallback mProc;
    void* mRefCon;
  };

  // Properties. pDataSize is in-out: in, the capacity of pData when pData
  // is not null; out, the property's size.
  ComponentResult GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                              UInt32* pDataSize, Boolean* pWriteable, void* pData);
  ComponentResult SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                              UInt32 dataSize, const void* pData);
  ComponentResult GetParamInfo(int paramIdx, AudioUnitParameterInfo* pInfo);
  // A new array of the presets as CFAUPreset records into *pPresets.
  ComponentResult CopyFactoryPresets(CFArrayRef* pPresets);

  // Buses and connections.
  BusChannels* GetBus(AudioUnitScope scope, AudioUnitElement element);
  int NHostChannelsConnected(WDL_PtrList<BusChannels>* pBuses, int excludeIdx = -1);
  bool CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels);
  bool CheckLegalIO();
  void AssessInputConnections();
  void ClearConnections();
  ComponentResult GetStreamFormat(AudioUnitScope scope, AudioUnitElement element, AudioStreamBasicDescription* pASBD);
  ComponentResult SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                  const AudioStreamBasicDescription* pASBD);
  // kAudioUnitProperty_MakeConnection and kAudioUnitProperty_SetRenderCallback
  // writes of input bus element.
  ComponentResult MakeConnection(AudioUnitScope scope, const AudioUnitConnection& conn);
  ComponentResult SetInputCallback(AudioUnitElement element, const AURenderCallbackStruct& cb);
  int GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element, AudioChannelLayoutTag* pTags);

  // Selectors with arguments.
  void AddPropertyListener(const PropertyListener& listener);
  void RemovePropertyListener(AudioUnitPropertyID propID, AudioUnitPropertyListenerProc proc, bool matchUserData,
                              void* userData);
  void SendAUEvent(AudioUnitEventType type, int idx);
  // Calls every render notification with `phase` as its flags; allocates
  // nothing. Render thread.
  OSStatus Render(AudioUnitRenderActionFlags* pFlags, const AudioTimeStamp* pTimestamp, UInt32 outputBusIdx,
                  UInt32 nFrames, AudioBufferList* pBufferList);
  void CallRenderNotifications(AudioUnitRenderActionFlags phase, const AudioTimeStamp* pTimestamp,
                               UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* pBufferList);

  WDL_String mBundleID;
  WDL_String mCocoaViewFactoryClassName;
  char mParamValueString[32];
  ComponentInstance mCI = nullptr;
  bool mActive = false;
  bool mIsOffline = false;
  double mLastRenderSampleTime = -1.0;
  bool mPullingInput = false;              // render thread: an input pull is under way
  std::atomic<OSStatus> mLastRenderError{noErr}; // of the last render that failed
  double mTempo = 120.0;
  HostCallbackInfo mHostCallbacks = {nullptr, nullptr, nullptr, nullptr};
  WDL_TypedBuf<float> mInScratchBuf;
  WDL_TypedBuf<float> mOutScratchBuf;
  WDL_PtrList<RenderNotify> mRenderNotify;
  WDL_PtrList<BusChannels> mInBuses;
  WDL_PtrList<BusChannels> mOutBuses;
  WDL_PtrList<InputBusConnection> mInBusConnections;
  WDL_PtrList<PropertyListener> mPropertyListeners;
};

// The plug-in's factory: a new plug-in built under a process-wide mutex, or
// null when construction fails. Defined by the plug-in.
IPlugAU* MakePlug();


// Builds the "MakeDefaultASBD" description: 32-bit float linear PCM at
// sampleRate with nChannels channels, non-interleaved unless interleaved.
// Null pASBD is ignored.
void MakeDefaultASBD(AudioStreamBasicDescription* pASBD, double sampleRate, int nChannels, bool interleaved);

// Layout tag for a channel count: mono, stereo, or unknown.
AudioChannelLayoutTag GetTagForNumChannels(int numChannels);
