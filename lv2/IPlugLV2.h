// IPlugLV2: the LV2 adapter of the plug-in base (the DSP side).
//
// A host finds the plug-in through the bundle's description and calls the
// descriptor's functions: instantiate (MakePlug, then Instantiate), connect
// ports, activate, run, deactivate, cleanup, and the state extension. Ports
// follow LV2PortLayout: audio in, audio out, an atom input for host time,
// one control input per parameter.
//
// Parameters live in the control ports. At the start of every run() each
// port that changed is applied as host automation is (stored clamped, the
// editor told, then OnParamChange, all changed values stored before the
// first OnParamChange as a parameter reset does). Host time comes from the
// time:Position messages on the atom port (LV2HostTime); run() is split at
// each message's frame so that a new tempo or position lands on its sample.
//
// Threads: instantiate, activate, deactivate, state restore and cleanup run
// where LV2 says (never during run()); run() is the audio thread. run()
// allocates nothing, takes only the plug-in mutex, which nothing else takes
// while it may run, and never waits. State save may run during run(): it
// reads only the current preset index and the constant preset names.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <vector>

#include "framework/IPlugBase.h"
#include "lv2/LV2HostTime.h"
#include "lv2/LV2Ports.h"

class IPlugLV2 : public IPlugBase
{
public:
  // Longest stretch handed to the processing routine at once; longer runs
  // are cut into pieces of this size.
  static constexpr int kMaxChunk = 4096;

  // Same arguments as the other adapters; instanceInfo and plugScChans are
  // not used by LV2 (the bundle names the plug-in, the ports the channels).
  IPlugLV2(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
           const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
           int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
           int plugScChans);
  ~IPlugLV2() override;

  // The descriptor for plug-in `uri` (a static string), its functions
  // creating instances with MakePlug. Main thread.
  static const LV2_Descriptor* Descriptor(const char* uri);

  // ---- the descriptor's calls (made public for the descriptor and tests) ----

  // Sets the rate (Hz, > 0), maps URIDs through the host's urid:map (which
  // must be given, with data) and reads the host's maximum block length
  // from options when it offers one. False when rate or map are missing.
  bool Instantiate(const char* pluginURI, double sampleRate, const LV2_Feature* const* features);
  // Stores the buffer of `port`; unknown ports are ignored.
  void ConnectPort(uint32_t port, void* data);
  // Reset, then every control port is applied at the next run.
  void Activate();
  // Renders nFrames; 0 does nothing. Audio thread.
  void Run(uint32_t nFrames);
  // The state extension: store / retrieve the current preset name under
  // LV2PresetStateKey. Restoring selects that preset (its values are then
  // overwritten by the ports, which the host restores itself).
  LV2_State_Status SaveState(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status RestoreState(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  // The port layout of this plug-in.
  const LV2PortLayout& Ports() const { return mPorts; }
  // The time the processing currently sees (what GetTime reports).
  const LV2HostTime& HostTime() const { return mTime; }

  // ---- IPlugBase ----

  // A DSP instance cannot tell the host about parameter changes (hosts read
  // input ports, plug-ins cannot write them). The plug-in object a UI keeps
  // as its editor's model can: once SetUIHost gave it the host's port-write
  // function, a change writes the parameter's plain value to its port, and
  // the gesture calls go to ui:touch when the host offered it. UI thread.
  void BeginInformHostOfParamChange(int idx) override;
  void InformHostOfParamChange(int idx, double normalizedValue) override;
  void EndInformHostOfParamChange(int idx) override;
  void InformHostOfProgramChange() override {}
  // Where the UI's changes go; write null to stop. touch may be null.
  void SetUIHost(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch);
  // Host time from the last time:Position, moved on to the current sample.
  // Render thread.
  int GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* pNum, int* pDenom) override;
  void GetTime(ITimeInfo* pTimeInfo) override;
  // The editor of an LV2 plug-in lives in its UI; nothing to do here.
  void ResizeGraphics(int, int) override {}
  // No MIDI output port: false.
  bool SendMidiMsg(IMidiMsg*) override { return false; }

  // Applies a plain parameter value as a host change: clamped into range,
  // handed to the editor (if any), then OnParamChange. Non-finite values and
  // unknown indices are ignored (false).
  bool SetParameterFromHost(int idx, double value);

private:
  void ApplyControlPorts();
  void ProcessSpan(uint32_t offset, uint32_t nFrames);

  LV2PortLayout mPorts;
  std::vector<float*> mAudioIn, mAudioOut;
  const void* mControlPort = nullptr;
  std::vector<const float*> mParamPorts;
  std::vector<float> mLastPortValue; // as last applied
  std::vector<char> mChanged;        // per run: the port changed
  bool mApplyAllPorts = true;
  std::vector<float> mSilence, mDiscard; // for audio ports left unconnected
  std::vector<float*> mInPtrs, mOutPtrs;  // per-chunk pointer tables

  LV2UI_Write_Function mUIWrite = nullptr;
  LV2UI_Controller mUIController = nullptr;
  const LV2UI_Touch* mUITouch = nullptr;

  LV2_URID_Map* mMap = nullptr;
  LV2TimeURIDs mTimeURIDs;
  LV2_URID mAtomSequence = 0, mAtomString = 0, mPresetKey = 0;
  LV2HostTime mTime;
};

// The plug-in's factory (defined by the plug-in): a new plug-in, or null.
IPlugLV2* MakePlug();
