#include "au/IPlugAU.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "au/AUSupport.h"

using au_support::Arg;
using au_support::GetUTF8;
using au_support::kPtrSize;

ComponentResult IPlugAUEntryDispatch(IPlugAU* plug, ComponentParameters* params);

// ---------------------------------------------------------------------------
// Construction

IPlugAU::IPlugAU(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
                 const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                 int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
                 int plugScChans)
  : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID, mfrID,
              latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIAU)
  , mBundleID(instanceInfo.mBundleID)
  , mCocoaViewFactoryClassName(instanceInfo.mCocoaViewFactoryClassName)
{
  memset(mParamValueString, 0, sizeof(mParamValueString));
  const int nInputs = NInChannels(), nOutputs = NOutChannels();

  auto addBus = [](WDL_PtrList<BusChannels>& list, int nPlugChannels, int startIdx) {
    BusChannels* bus = new BusChannels;
    bus->mNPlugChannels = nPlugChannels;
    bus->mPlugChannelStartIdx = startIdx;
    list.Add(bus);
  };

  if (plugScChans > 0 && nInputs > 0)
  {
    const int sc = plugScChans < nInputs ? plugScChans : nInputs;
    addBus(mInBuses, nInputs - sc, 0);
    addBus(mInBuses, sc, nInputs - sc);
    mInBusConnections.Add(new InputBusConnection);
    mInBusConnections.Add(new InputBusConnection);
    SetInputBusLabel(0, "main input");
    SetInputBusLabel(1, "aux input");
  }
  else if (nInputs > 0)
  {
    addBus(mInBuses, nInputs, 0);
    mInBusConnections.Add(new InputBusConnection);
    SetInputBusLabel(0, "input");
    SetInputBusLabel(1, "aux input");
  }

  if (plugIsInst)
  {
    const int nOutBuses = (nOutputs + 1) / 2;
    for (int i = 0; i < nOutBuses; ++i)
    {
      const int n = nOutputs - 2 * i < 2 ? nOutputs - 2 * i : 2;
      addBus(mOutBuses, n, 2 * i);
      char label[32];
      snprintf(label, sizeof(label), "output %i", i + 1);
      SetOutputBusLabel(i, label);
    }
  }
  else
  {
    addBus(mOutBuses, nOutputs, 0);
    SetOutputBusLabel(0, "output");
  }

  AssessInputConnections();
  SetBlockSize(1024);
}

IPlugAU::~IPlugAU()
{
  mRenderNotify.Empty(true);
  mInBuses.Empty(true);
  mOutBuses.Empty(true);
  mInBusConnections.Empty(true);
  mPropertyListeners.Empty(true);
}

// ---------------------------------------------------------------------------
// Component entry

extern "C" ComponentResult IPlugAUEntry(ComponentParameters* params, void* pPlug)
{
  if (!params) return badComponentSelector;
  const int select = params->what;
  ComponentInstance ci = reinterpret_cast<ComponentInstance>(params->params[0]);

  if (select == kComponentOpenSelect)
  {
    IPlugAU* plug = MakePlug();
    if (!plug) return kAudioUnitErr_FailedInitialization;
    plug->HostSpecificInit();
    plug->PruneUninitializedPresets();
    plug->mCI = ci;
    SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(plug));
    return noErr;
  }

  IPlugAU* plug = static_cast<IPlugAU*>(pPlug);
  if (select == kComponentCloseSelect)
  {
    if (plug)
    {
      plug->ClearConnections();
      delete plug;
    }
    return noErr;
  }
  // Every selector below needs the plug-in the open selector registered.
  if (!plug) return badComponentInstance;
  IMutexLock lock(plug);
  return IPlugAUEntryDispatch(plug, params);
}

ComponentResult IPlugAUEntryDispatch(IPlugAU* plug, ComponentParameters* params)
{
  switch (params->what)
  {
    case kComponentCanDoSelect:
    {
      const int s = Arg<SInt16>(params, 0);
      return (s >= kAudioUnitInitializeSelect && s <= kAudioUnitSetParameterSelect) ||
                     (s >= kAudioUnitResetSelect && s <= kAudioUnitRemovePropertyListenerSelect) ||
                     (s >= kAudioUnitRenderSelect && s <= kAudioUnitScheduleParametersSelect)
               ? 1
               : 0;
    }
    case kComponentVersionSelect: return plug->GetEffectVersion(false);
    case kAudioUnitInitializeSelect:
    {
      if (!plug->CheckLegalIO()) return kAudioUnitErr_FormatNotSupported;
      plug->mActive = true;
      plug->OnParamReset();
      plug->OnActivate(true);
      return noErr;
    }
    case kAudioUnitUninitializeSelect:
    {
      plug->mActive = false;
      plug->OnActivate(false);
      return noErr;
    }
    case kAudioUnitGetPropertyInfoSelect:
    {
      const AudioUnitPropertyID propID = Arg<AudioUnitPropertyID>(params, 0);
      const AudioUnitScope scope = Arg<AudioUnitScope>(params, 1);
      const AudioUnitElement element = Arg<AudioUnitElement>(params, 2);
      UInt32* pDataSize = Arg<UInt32*>(params, 3);
      Boolean* pWriteable = Arg<Boolean*>(params, 4);
      UInt32 dataSize = 0;
      Boolean writeable = false;
      if (!pDataSize) pDataSize = &dataSize;
      if (!pWriteable) pWriteable = &writeable;
      *pWriteable = false;
      return plug->GetProperty(propID, scope, element, pDataSize, pWriteable, nullptr);
    }
    case kAudioUnitGetPropertySelect:
    {
      const AudioUnitPropertyID propID = Arg<AudioUnitPropertyID>(params, 0);
      const AudioUnitScope scope = Arg<AudioUnitScope>(params, 1);
      const AudioUnitElement element = Arg<AudioUnitElement>(params, 2);
      void* pData = Arg<void*>(params, 3);
      UInt32* pDataSize = Arg<UInt32*>(params, 4);
      // Without a size the capacity of pData is unknown.
      if (!pDataSize) return kAudio_ParamError;
      Boolean writeable = false;
      return plug->GetProperty(propID, scope, element, pDataSize, &writeable, pData);
    }
    case kAudioUnitSetPropertySelect:
    {
      const AudioUnitPropertyID propID = Arg<AudioUnitPropertyID>(params, 0);
      const AudioUnitScope scope = Arg<AudioUnitScope>(params, 1);
      const AudioUnitElement element = Arg<AudioUnitElement>(params, 2);
      const void* pData = Arg<const void*>(params, 3);
      const UInt32 dataSize = Arg<UInt32>(params, 4);
      return plug->SetProperty(propID, scope, element, dataSize, pData);
    }
    case kAudioUnitGetParameterSelect:
      return IPlugAU::GetParamProc(plug, Arg<AudioUnitParameterID>(params, 0), Arg<AudioUnitScope>(params, 1),
                                   Arg<AudioUnitElement>(params, 2), Arg<AudioUnitParameterValue*>(params, 3));
    case kAudioUnitSetParameterSelect:
      return IPlugAU::SetParamProc(plug, Arg<AudioUnitParameterID>(params, 0), Arg<AudioUnitScope>(params, 1),
                                   Arg<AudioUnitElement>(params, 2), Arg<AudioUnitParameterValue>(params, 3),
                                   Arg<UInt32>(params, 4));
    case kAudioUnitResetSelect:
      plug->Reset();
      return noErr;
    case kAudioUnitAddPropertyListenerSelect:
    {
      IPlugAU::PropertyListener listener{Arg<AudioUnitPropertyID>(params, 0),
                                         Arg<AudioUnitPropertyListenerProc>(params, 1), Arg<void*>(params, 2)};
      plug->AddPropertyListener(listener);
      return noErr;
    }
    case kAudioUnitRemovePropertyListenerSelect:
      plug->RemovePropertyListener(Arg<AudioUnitPropertyID>(params, 0), Arg<AudioUnitPropertyListenerProc>(params, 1),
                                   false, nullptr);
      return noErr;
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      plug->RemovePropertyListener(Arg<AudioUnitPropertyID>(params, 0), Arg<AudioUnitPropertyListenerProc>(params, 1),
                                   true, Arg<void*>(params, 2));
      return noErr;
    case kAudioUnitRenderSelect:
      return IPlugAU::RenderProc(plug, Arg<AudioUnitRenderActionFlags*>(params, 0),
                                 Arg<const AudioTimeStamp*>(params, 1), Arg<UInt32>(params, 2), Arg<UInt32>(params, 3),
                                 Arg<AudioBufferList*>(params, 4));
    case kAudioUnitAddRenderNotifySelect:
    {
      AURenderCallback proc = Arg<AURenderCallback>(params, 0);
      if (!proc) return kAudio_ParamError;
      plug->mRenderNotify.Add(new IPlugAU::RenderNotify{proc, Arg<void*>(params, 1)});
      return noErr;
    }
    case kAudioUnitRemoveRenderNotifySelect:
    {
      AURenderCallback proc = Arg<AURenderCallback>(params, 0);
      void* refCon = Arg<void*>(params, 1);
      for (int i = 0, n = plug->mRenderNotify.GetSize(); i < n; ++i)
      {
        const IPlugAU::RenderNotify* r = plug->mRenderNotify.Get(i);
        if (r->mProc == proc && r->mRefCon == refCon)
        {
          plug->mRenderNotify.Delete(i, true);
          break;
        }
      }
      return noErr;
    }
    case kAudioUnitScheduleParametersSelect:
    {
      const AudioUnitParameterEvent* pEvent = Arg<const AudioUnitParameterEvent*>(params, 0);
      const UInt32 nEvents = Arg<UInt32>(params, 1);
      if (!pEvent && nEvents > 0) return kAudio_ParamError;
      for (UInt32 i = 0; i < nEvents; ++i, ++pEvent)
      {
        if (pEvent->eventType != kParameterEvent_Immediate) continue;
        OSStatus r = IPlugAU::SetParamProc(plug, pEvent->parameter, pEvent->scope, pEvent->element,
                                           pEvent->eventValues.immediate.value,
                                           pEvent->eventValues.immediate.bufferOffset);
        if (r != noErr) return r;
      }
      return noErr;
    }
    case kMusicDeviceMIDIEventSelect:
    {
      IMidiMsg msg;
      msg.mStatus = static_cast<uint8_t>(Arg<UInt32>(params, 0));
      msg.mData1 = static_cast<uint8_t>(Arg<UInt32>(params, 1));
      msg.mData2 = static_cast<uint8_t>(Arg<UInt32>(params, 2));
      msg.mOffset = static_cast<int>(Arg<UInt32>(params, 3));
      plug->ProcessMidiMsg(&msg);
      return noErr;
    }
    case kMusicDeviceSysExSelect:
    {
      const UInt8* pData = Arg<const UInt8*>(params, 0);
      const UInt32 length = Arg<UInt32>(params, 1);
      if (!pData && length > 0) return kAudio_ParamError;
      if (length > 0x7fffffffU) return kAudio_ParamError;
      ISysEx sysex(0, pData, static_cast<int>(length));
      plug->ProcessSysEx(&sysex);
      return noErr;
    }
    case kMusicDevicePrepareInstrumentSelect:
    case kMusicDeviceReleaseInstrumentSelect: return noErr;
    case kMusicDeviceStartNoteSelect:
    {
      NoteInstanceID* pNoteID = Arg<NoteInstanceID*>(params, 2);
      const UInt32 offset = Arg<UInt32>(params, 3);
      const MusicDeviceNoteParams* pNote = Arg<const MusicDeviceNoteParams*>(params, 4);
      if (!pNote) return kAudio_ParamError;
      // A NaN names no note; anything else outside the MIDI range is held
      // at its edge, since converting it to int as it is would be undefined.
      if (std::isnan(pNote->mPitch) || std::isnan(pNote->mVelocity)) return kAudio_ParamError;
      const int pitch = static_cast<int>(std::min(std::max(pNote->mPitch, 0.0f), 127.0f));
      const int velocity = static_cast<int>(std::min(std::max(pNote->mVelocity, 0.0f), 127.0f));
      if (pNoteID) *pNoteID = static_cast<NoteInstanceID>(pitch);
      IMidiMsg msg;
      msg.MakeNoteOnMsg(pitch, velocity, static_cast<int>(std::min<UInt32>(offset, 0x7fffffff)), 0);
      plug->ProcessMidiMsg(&msg);
      return noErr;
    }
    case kMusicDeviceStopNoteSelect:
    {
      const NoteInstanceID noteID = Arg<NoteInstanceID>(params, 1);
      const UInt32 offset = Arg<UInt32>(params, 2);
      IMidiMsg msg;
      msg.MakeNoteOffMsg(static_cast<int>(noteID), static_cast<int>(offset), 0);
      plug->ProcessMidiMsg(&msg);
      return noErr;
    }
    default: return badComponentSelector;
  }
}

// ---------------------------------------------------------------------------
// Listeners and notifications

void IPlugAU::AddPropertyListener(const PropertyListener& listener)
{
  for (int i = 0, n = mPropertyListeners.GetSize(); i < n; ++i)
  {
    const PropertyListener* p = mPropertyListeners.Get(i);
    if (p->mPropID == listener.mPropID && p->mListenerProc == listener.mListenerProc &&
        p->mProcArgs == listener.mProcArgs)
      return;
  }
  mPropertyListeners.Add(new PropertyListener(listener));
}

void IPlugAU::RemovePropertyListener(AudioUnitPropertyID propID, AudioUnitPropertyListenerProc proc,
                                     bool matchUserData, void* userData)
{
  for (int i = 0, n = mPropertyListeners.GetSize(); i < n; ++i)
  {
    const PropertyListener* p = mPropertyListeners.Get(i);
    if (p->mPropID == propID && p->mListenerProc == proc && (!matchUserData || p->mProcArgs == userData))
    {
      mPropertyListeners.Delete(i, true);
      return;
    }
  }
}

void IPlugAU::InformListeners(AudioUnitPropertyID propertyID, AudioUnitScope scope)
{
  IMutexLock lock(this);
  for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
  {
    const PropertyListener* p = mPropertyListeners.Get(i);
    if (p->mPropID == propertyID && p->mListenerProc) p->mListenerProc(p->mProcArgs, mCI, propertyID, scope, 0);
  }
}

void IPlugAU::InformHostOfProgramChange()
{
  InformListeners(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global);
}

void IPlugAU::SetLatency(int samples)
{
  InformListeners(kAudioUnitProperty_Latency, kAudioUnitScope_Global);
  IPlugBase::SetLatency(samples);
}

void IPlugAU::SendAUEvent(AudioUnitEventType type, int idx)
{
  if (!GetParam(idx)) return;
  AudioUnitEvent event;
  memset(&event, 0, sizeof(event));
  event.mEventType = type;
  event.mArgument.mParameter.mAudioUnit = mCI;
  event.mArgument.mParameter.mParameterID = static_cast<AudioUnitParameterID>(idx);
  event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
  event.mArgument.mParameter.mElement = 0;
  AUEventListenerNotify(nullptr, nullptr, &event);
}

void IPlugAU::BeginInformHostOfParamChange(int idx) { SendAUEvent(kAudioUnitEvent_BeginParameterChangeGesture, idx); }

void IPlugAU::InformHostOfParamChange(int idx, double /*normalizedValue*/)
{
  SendAUEvent(kAudioUnitEvent_ParameterValueChange, idx);
}

void IPlugAU::EndInformHostOfParamChange(int idx) { SendAUEvent(kAudioUnitEvent_EndParameterChangeGesture, idx); }

bool IPlugAU::SendMidiMsg(IMidiMsg*) { return false; }

void IPlugAU::ResizeGraphics(int, int)
{
  if (GetEditor()) OnWindowResize();
}

EHost IPlugAU::GetHost()
{
  if (mHost != kHostUninit) return mHost;
  std::string name;
  CFBundleRef mainBundle = CFBundleGetMainBundle();
  GetUTF8(mainBundle ? CFBundleGetIdentifier(mainBundle) : nullptr, &name);
  SetHost(name.c_str(), 0);
  if (mHost == kHostUninit) SetHost("", 0);
  return mHost;
}

void IPlugAU::HostSpecificInit()
{
  GetHost();
  OnHostIdentified();
}

// ---------------------------------------------------------------------------
// Parameters

OSStatus IPlugAU::GetParamProc(void* pPlug, AudioUnitParameterID paramID, AudioUnitScope scope, AudioUnitElement,
                               AudioUnitParameterValue* pValue)
{
  IPlugAU* plug = static_cast<IPlugAU*>(pPlug);
  if (!plug) return kAudio_ParamError;
  if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
  if (!pValue) return kAudio_ParamError;
  IMutexLock lock(plug);
  IParam* param = paramID <= 0x7fffffffU ? plug->GetParam(static_cast<int>(paramID)) : nullptr;
  if (!param) return kAudioUnitErr_InvalidParameter;
  *pValue = static_cast<AudioUnitParameterValue>(param->Value());
  return noErr;
}

OSStatus IPlugAU::SetParamProc(void* pPlug, AudioUnitParameterID paramID, AudioUnitScope scope, AudioUnitElement,
                               AudioUnitParameterValue value, UInt32)
{
  IPlugAU* plug = static_cast<IPlugAU*>(pPlug);
  if (!plug) return kAudio_ParamError;
  if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
  IMutexLock lock(plug);
  const int idx = paramID <= 0x7fffffffU ? static_cast<int>(paramID) : -1;
  IParam* param = plug->GetParam(idx);
  if (!param) return kAudioUnitErr_InvalidParameter;
  // NaN would pass every comparison of the clamp; refuse it.
  if (std::isnan(value)) return kAudioUnitErr_InvalidPropertyValue;
  param->Set(value);
  if (IPlugEditor* editor = plug->GetEditor()) editor->SetParameterFromPlug(idx, value, false);
  plug->OnParamChange(idx);
  return noErr;
}

ComponentResult IPlugAU::GetProc(SInt16 selector, UInt32* pDataSize, void* pData)
{
  void* proc = nullptr;
  switch (selector)
  {
    case kAudioUnitRenderSelect: proc = reinterpret_cast<void*>(&IPlugAU::RenderProc); break;
    case kAudioUnitSetParameterSelect: proc = reinterpret_cast<void*>(&IPlugAU::SetParamProc); break;
    case kAudioUnitGetParameterSelect: proc = reinterpret_cast<void*>(&IPlugAU::GetParamProc); break;
    default: return kAudioUnitErr_InvalidElement;
  }
  if (pDataSize) *pDataSize = kPtrSize;
  if (pData) memcpy(pData, &proc, sizeof(proc));
  return noErr;
}

