#include "au/IPlugAU.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "au/CFAUPreset.h"
#include "framework/IFlushDenormals.h"

namespace
{

// Arguments of the public call sit one per 8-byte slot after the instance
// slot, each in the first bytes of its slot.
template <class T>
T Arg(const ComponentParameters* params, int k)
{
  T v;
  memcpy(&v, &params->params[k + 1], sizeof(T));
  return v;
}

// Property sizes the host must leave room for.
constexpr UInt32 kPtrSize = sizeof(void*);

// Largest channel count of one bus the render path handles; the buffer
// lists it builds live on the stack.
constexpr int kMaxBusChannels = 64;

// Marks an input pull in progress for as long as it lives.
struct PullGuard
{
  explicit PullGuard(bool* pFlag) : mFlag(pFlag) { *mFlag = true; }
  ~PullGuard() { *mFlag = false; }
  bool* mFlag;
};

// Stack storage for a buffer list of up to kMaxBusChannels buffers.
struct StackBufferList
{
  alignas(AudioBufferList) unsigned char bytes[offsetof(AudioBufferList, mBuffers) +
                                               kMaxBusChannels * sizeof(AudioBuffer)];
  AudioBufferList* Get() { return reinterpret_cast<AudioBufferList*>(bytes); }
};

// The UTF-8 text of a string, whatever its length, into *pOut; false
// (*pOut emptied) for null or text that does not convert.
bool GetUTF8(CFStringRef str, std::string* pOut)
{
  pOut->clear();
  if (!str) return false;
  const CFIndex maxSize = CFStringGetMaximumSizeForEncoding(CFStringGetLength(str), kCFStringEncodingUTF8);
  if (maxSize < 0) return false;
  std::vector<char> buf(static_cast<size_t>(maxSize) + 1);
  if (!CFStringGetCString(str, buf.data(), static_cast<CFIndex>(buf.size()), kCFStringEncodingUTF8)) return false;
  pOut->assign(buf.data());
  return true;
}

CFStringRef MakeCFString(const char* cStr)
{
  return CFStringCreateWithCString(kCFAllocatorDefault, cStr ? cStr : "", kCFStringEncodingUTF8);
}

// The dictionary's value under a C-string key, or null.
const void* GetDictValue(CFDictionaryRef dict, const char* key)
{
  CFStringRef cfKey = MakeCFString(key);
  const void* value = cfKey ? CFDictionaryGetValue(dict, cfKey) : nullptr;
  if (cfKey) CFRelease(cfKey);
  return value;
}

// A number of the dictionary read as SInt32; false when the key is missing
// or holds something other than a number.
bool GetDictInt(CFDictionaryRef dict, const char* key, SInt32* pValue)
{
  const void* value = GetDictValue(dict, key);
  if (!value || CFGetTypeID(value) != CFNumberGetTypeID()) return false;
  return CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, pValue);
}

void PutDictInt(CFMutableDictionaryRef dict, const char* key, SInt32 value)
{
  CFStringRef cfKey = MakeCFString(key);
  CFNumberRef num = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
  if (cfKey && num) CFDictionarySetValue(dict, cfKey, num);
  if (num) CFRelease(num);
  if (cfKey) CFRelease(cfKey);
}

} // namespace

ComponentResult IPlugAUEntryDispatch(IPlugAU* plug, ComponentParameters* params);

const char* AUInputTypeStr(int type)
{
  switch (type)
  {
    case eNotConnected: return "NotConnected";
    case eDirectFastProc: return "DirectFastProc";
    case eDirectNoFastProc: return "DirectNoFastProc";
    case eRenderCallback: return "RenderCallback";
    default: return "";
  }
}

void MakeDefaultASBD(AudioStreamBasicDescription* pASBD, double sampleRate, int nChannels, bool interleaved)
{
  if (!pASBD) return;
  memset(pASBD, 0, sizeof(AudioStreamBasicDescription));
  pASBD->mSampleRate = sampleRate;
  pASBD->mFormatID = kAudioFormatLinearPCM;
  pASBD->mFormatFlags = kAudioFormatFlagsNativeFloatPacked;
  pASBD->mBitsPerChannel = 8 * sizeof(float);
  pASBD->mChannelsPerFrame = nChannels > 0 ? nChannels : 0;
  pASBD->mFramesPerPacket = 1;
  const UInt32 bytesPerSample = sizeof(float);
  if (interleaved)
  {
    pASBD->mBytesPerPacket = pASBD->mBytesPerFrame = bytesPerSample * pASBD->mChannelsPerFrame;
  }
  else
  {
    pASBD->mBytesPerPacket = pASBD->mBytesPerFrame = bytesPerSample;
    pASBD->mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
  }
}

AudioChannelLayoutTag GetTagForNumChannels(int numChannels)
{
  switch (numChannels)
  {
    case 1: return kAudioChannelLayoutTag_Mono;
    case 2: return kAudioChannelLayoutTag_Stereo;
    default: return kAudioChannelLayoutTag_Unknown;
  }
}

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

ComponentResult IPlugAU::GetParamInfo(int paramIdx, AudioUnitParameterInfo* pInfo)
{
  IParam* param = GetParam(paramIdx);
  if (!param) return kAudioUnitErr_InvalidElement;
  memset(pInfo, 0, sizeof(AudioUnitParameterInfo));
  pInfo->flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_HasCFNameString |
                 kAudioUnitParameterFlag_CFNameRelease;
  if (param->GetCanAutomate()) pInfo->flags |= kAudioUnitParameterFlag_IsWritable;
  if (param->GetIsMeta()) pInfo->flags |= kAudioUnitParameterFlag_IsElementMeta;

  const char* name = param->GetNameForHost();
  pInfo->cfNameString = MakeCFString(name);
  snprintf(pInfo->name, sizeof(pInfo->name), "%s", name ? name : "");

  switch (param->Type())
  {
    case IParam::kTypeInt:
    case IParam::kTypeEnum: pInfo->unit = kAudioUnitParameterUnit_Indexed; break;
    case IParam::kTypeBool: pInfo->unit = kAudioUnitParameterUnit_Boolean; break;
    default:
    {
      const char* label = param->GetLabelForHost();
      if (label && *label)
      {
        pInfo->unit = kAudioUnitParameterUnit_CustomUnit;
        pInfo->unitName = MakeCFString(label);
      }
      else
      {
        pInfo->unit = kAudioUnitParameterUnit_Generic;
      }
    }
  }

  pInfo->minValue = static_cast<AudioUnitParameterValue>(param->GetMin());
  pInfo->maxValue = static_cast<AudioUnitParameterValue>(param->GetMax());
  pInfo->defaultValue = static_cast<AudioUnitParameterValue>(param->GetDefault());

  const char* group = param->GetParamGroupForHost();
  if (group && *group)
  {
    int clumpID = 0;
    for (int i = NParamGroups() - 1; i >= 0; --i)
    {
      const char* g = GetParamGroupName(i);
      if (g && !strcmp(g, group))
      {
        clumpID = i + 1;
        break;
      }
    }
    if (!clumpID) clumpID = AddParamGroup(group) + 1;
    if (clumpID > 0)
    {
      pInfo->flags |= kAudioUnitParameterFlag_HasClump;
      pInfo->clumpID = static_cast<UInt32>(clumpID);
    }
  }
  return noErr;
}

// ---------------------------------------------------------------------------
// Properties

ComponentResult IPlugAU::GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                     UInt32* pDataSize, Boolean* pWriteable, void* pData)
{
  const UInt32 capacity = pData ? *pDataSize : 0;
  // Sets the size; false (answer kAudio_ParamError) when the host's buffer
  // cannot hold it.
  auto fits = [&](UInt32 size) {
    *pDataSize = size;
    return !pData || capacity >= size;
  };
  // Answers a plain value: its size always, the value itself when asked for.
  auto answer = [&](const auto& value) -> ComponentResult {
    if (!fits(sizeof(value))) return kAudio_ParamError;
    if (pData) memcpy(pData, &value, sizeof(value));
    return noErr;
  };
  const bool global = scope == kAudioUnitScope_Global;

  switch (propID)
  {
    case kAudioUnitProperty_ClassInfo:
    {
      *pWriteable = true;
      if (!fits(kPtrSize)) return kAudio_ParamError;
      if (!pData) return noErr;
      CFPropertyListRef dict = nullptr;
      ComponentResult r = GetState(&dict);
      if (r == noErr) memcpy(pData, &dict, sizeof(dict));
      return r;
    }
    case kAudioUnitProperty_MakeConnection:
    {
      if (!global && scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
      *pWriteable = true;
      *pDataSize = sizeof(AudioUnitConnection);
      return noErr; // nothing to read
    }
    case kAudioUnitProperty_SampleRate:
      *pWriteable = true;
      return answer(static_cast<Float64>(GetSampleRate()));
    case kAudioUnitProperty_ParameterList:
    {
      if (!global)
      {
        *pDataSize = 0;
        return noErr;
      }
      const int n = NParams();
      if (!fits(static_cast<UInt32>(n) * sizeof(AudioUnitParameterID))) return kAudio_ParamError;
      if (pData)
      {
        AudioUnitParameterID* ids = static_cast<AudioUnitParameterID*>(pData);
        for (int i = 0; i < n; ++i) ids[i] = static_cast<AudioUnitParameterID>(i);
      }
      return noErr;
    }
    case kAudioUnitProperty_ParameterInfo:
    {
      if (!global) return kAudioUnitErr_InvalidScope;
      if (element >= static_cast<AudioUnitElement>(NParams())) return kAudioUnitErr_InvalidElement;
      if (!fits(sizeof(AudioUnitParameterInfo))) return kAudio_ParamError;
      if (!pData) return noErr;
      AudioUnitParameterInfo info;
      ComponentResult r = GetParamInfo(static_cast<int>(element), &info);
      if (r == noErr) memcpy(pData, &info, sizeof(info));
      return r;
    }
    case kAudioUnitProperty_FastDispatch:
    {
      if (!fits(kPtrSize)) return kAudio_ParamError;
      return GetProc(static_cast<SInt16>(element), pDataSize, pData);
    }
    case kAudioUnitProperty_StreamFormat:
    {
      if (!global && scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
        return kAudioUnitErr_InvalidScope;
      if (!GetBus(scope, element)) return kAudioUnitErr_InvalidElement;
      *pWriteable = true;
      if (!fits(sizeof(AudioStreamBasicDescription))) return kAudio_ParamError;
      if (!pData) return noErr;
      AudioStreamBasicDescription asbd;
      ComponentResult r = GetStreamFormat(scope, element, &asbd);
      if (r == noErr) memcpy(pData, &asbd, sizeof(asbd));
      return r;
    }
    case kAudioUnitProperty_ElementCount:
    {
      UInt32 n = 0;
      if (global) n = 1;
      else if (scope == kAudioUnitScope_Input) n = static_cast<UInt32>(mInBuses.GetSize());
      else if (scope == kAudioUnitScope_Output) n = static_cast<UInt32>(mOutBuses.GetSize());
      return answer(n);
    }
    case kAudioUnitProperty_Latency:
    {
      if (!global) return kAudioUnitErr_InvalidScope;
      const Float64 sr = GetSampleRate();
      return answer(static_cast<Float64>(sr > 0.0 ? GetLatency() / sr : 0.0));
    }
    case kAudioUnitProperty_SupportedNumChannels:
    {
      if (!global) return kAudioUnitErr_InvalidScope;
      const int n = NChannelIO();
      if (!fits(static_cast<UInt32>(n) * sizeof(AUChannelInfo))) return kAudio_ParamError;
      if (pData)
      {
        AUChannelInfo* info = static_cast<AUChannelInfo*>(pData);
        for (int i = 0; i < n; ++i)
        {
          int nIn = 0, nOut = 0;
          GetChannelIO(i, &nIn, &nOut);
          info[i].inChannels = static_cast<SInt16>(nIn);
          info[i].outChannels = static_cast<SInt16>(nOut);
        }
      }
      return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
      if (!global) return kAudioUnitErr_InvalidScope;
      *pWriteable = true;
      return answer(static_cast<UInt32>(GetBlockSize()));
    case kAudioUnitProperty_ParameterValueStrings:
    {
      if (!global) return kAudioUnitErr_InvalidScope;
      if (element >= static_cast<AudioUnitElement>(NParams())) return kAudioUnitErr_InvalidElement;
      IParam* param = GetParam(static_cast<int>(element));
      const int n = param->GetNDisplayTexts();
      if (n <= 0)
      {
        *pDataSize = 0;
        return kAudioUnitErr_InvalidProperty;
      }
      if (!fits(kPtrSize)) return kAudio_ParamError;
      if (!pData) return noErr;
      CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, n, &kCFTypeArrayCallBacks);
      if (!array) return coreFoundationUnknownErr;
      for (int i = 0; i < n; ++i)
      {
        CFStringRef s = MakeCFString(param->GetDisplayText(i));
        if (s)
        {
          CFArrayAppendValue(array, s);
          CFRelease(s);
        }
      }
      CFArrayRef out = array;
      memcpy(pData, &out, sizeof(out));
      return noErr;
    }
    case kAudioUnitProperty_GetUIComponentList:
    {
      if (!GetEditor()) return kAudioUnitErr_InvalidProperty;
      ComponentDescription cd;
      memset(&cd, 0, sizeof(cd));
      cd.componentType = kAudioUnitCarbonViewComponentType;
      cd.componentSubType = static_cast<OSType>(GetUniqueID());
      cd.componentManufacturer = static_cast<OSType>(GetMfrID());
      return answer(cd);
    }
    case kAudioUnitProperty_AudioChannelLayout: return kAudioUnitErr_InvalidPropertyValue;
    case kAudioUnitProperty_TailTime:
    {
      if (!global) return kAudioUnitErr_InvalidScope;
      *pWriteable = GetTailSize() > 0;
      const Float64 sr = GetSampleRate();
      return answer(static_cast<Float64>(sr > 0.0 ? GetTailSize() / sr : 0.0));
    }
    case kAudioUnitProperty_BypassEffect:
      if (!global) return kAudioUnitErr_InvalidScope;
      *pWriteable = true;
      return answer(static_cast<UInt32>(IsBypassed() ? 1 : 0));
    case kAudioUnitProperty_LastRenderError:
      if (!global) return kAudioUnitErr_InvalidScope;
      return answer(static_cast<OSStatus>(mLastRenderError));
    case kAudioUnitProperty_SetRenderCallback:
    {
      if (!global && scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
      if (element >= static_cast<AudioUnitElement>(mInBuses.GetSize())) return kAudioUnitErr_InvalidElement;
      *pWriteable = true;
      *pDataSize = sizeof(AURenderCallbackStruct);
      return noErr; // nothing to read
    }
    case kAudioUnitProperty_FactoryPresets:
    {
      if (!fits(kPtrSize)) return kAudio_ParamError;
      if (!pData) return noErr;
      CFMutableArrayRef presetArray = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFAUPresetArrayCallBacks);
      if (!presetArray) return coreFoundationUnknownErr;
      for (int i = 0, n = NPresets(); i < n; ++i)
      {
        CFStringRef name = MakeCFString(GetPresetName(i));
        CFAUPresetRef preset = CFAUPresetCreate(kCFAllocatorDefault, i, name);
        if (name) CFRelease(name);
        if (!preset)
        {
          CFRelease(presetArray);
          return coreFoundationUnknownErr;
        }
        CFArrayAppendValue(presetArray, preset);
        CFAUPresetRelease(preset);
      }
      CFArrayRef out = presetArray;
      memcpy(pData, &out, sizeof(out));
      return noErr;
    }
    case kAudioUnitProperty_HostCallbacks:
    {
      if (!global) return kAudioUnitErr_InvalidScope;
      *pWriteable = true;
      *pDataSize = sizeof(HostCallbackInfo);
      return noErr; // nothing to read
    }
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    {
      *pWriteable = true;
      if (!fits(sizeof(AUPreset))) return kAudio_ParamError;
      if (pData)
      {
        AUPreset preset;
        preset.presetNumber = GetCurrentPresetIdx();
        preset.presetName = MakeCFString(GetPresetName(preset.presetNumber));
        memcpy(pData, &preset, sizeof(preset));
      }
      return noErr;
    }
    case kAudioUnitProperty_ElementName:
    {
      *pDataSize = kPtrSize;
      if (!pData) return kAudioUnitErr_InvalidProperty;
      if (capacity < kPtrSize) return kAudio_ParamError;
      const WDL_String* label = nullptr;
      if (scope == kAudioUnitScope_Input)
      {
        if (element >= 2) return kAudioUnitErr_InvalidElement;
        label = GetInputBusLabel(static_cast<int>(element));
      }
      else if (scope == kAudioUnitScope_Output)
      {
        label = element <= 0x7fffffffU ? GetOutputBusLabel(static_cast<int>(element)) : nullptr;
      }
      else
      {
        return kAudioUnitErr_InvalidScope;
      }
      if (!label) return kAudioUnitErr_InvalidElement;
      CFStringRef s = MakeCFString(label->Get());
      memcpy(pData, &s, sizeof(s));
      return noErr;
    }
    case kAudioUnitProperty_CocoaUI:
    {
      SInt32 systemVersion = 0;
      if (!GetEditor() || Gestalt(gestaltSystemVersion, &systemVersion) != noErr || systemVersion < 0x1050)
        return kAudioUnitErr_InvalidProperty;
      if (!fits(sizeof(AudioUnitCocoaViewInfo))) return kAudio_ParamError;
      if (!pData) return noErr;
      CFStringRef bundleID = MakeCFString(GetBundleID());
      CFBundleRef bundle = bundleID ? CFBundleGetBundleWithIdentifier(bundleID) : nullptr;
      if (bundleID) CFRelease(bundleID);
      CFURLRef url = bundle ? CFBundleCopyBundleURL(bundle) : nullptr;
      // A host cannot load a view class from an unknown place.
      if (!url) return kAudioUnitErr_InvalidProperty;
      AudioUnitCocoaViewInfo info;
      info.mCocoaAUViewBundleLocation = url;
      info.mCocoaAUViewClass[0] = MakeCFString(GetViewFactoryClassName());
      memcpy(pData, &info, sizeof(info));
      return noErr;
    }
    case kAudioUnitProperty_SupportedChannelLayoutTags:
    {
      if (!IsInst() || mOutBuses.GetSize() == 1) return kAudioUnitErr_InvalidProperty;
      if (!GetBus(scope, element) || (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output))
        return kAudioUnitErr_InvalidProperty;
      *pWriteable = true;
      if (!fits(sizeof(AudioChannelLayoutTag))) return kAudio_ParamError;
      if (!pData) return noErr;
      if (GetChannelLayoutTags(scope, element, static_cast<AudioChannelLayoutTag*>(pData)) > 0) return noErr;
      return kAudioUnitErr_InvalidProperty;
    }
    case kAudioUnitProperty_ParameterStringFromValue:
    {
      if (!fits(sizeof(AudioUnitParameterStringFromValue))) return kAudio_ParamError;
      if (!global) return kAudioUnitErr_InvalidScope;
      if (!pData) return noErr;
      AudioUnitParameterStringFromValue* pSFV = static_cast<AudioUnitParameterStringFromValue*>(pData);
      IParam* param = pSFV->inParamID <= 0x7fffffffU ? GetParam(static_cast<int>(pSFV->inParamID)) : nullptr;
      if (!param) return kAudioUnitErr_InvalidParameter;
      const double value = pSFV->inValue ? *pSFV->inValue : param->Value();
      param->GetDisplayForHost(value, false, mParamValueString, sizeof(mParamValueString), true);
      pSFV->outString = MakeCFString(mParamValueString);
      return noErr;
    }
    case kAudioUnitProperty_ParameterIDName:
    {
      if (!fits(sizeof(AudioUnitParameterIDName))) return kAudio_ParamError;
      if (!global) return kAudioUnitErr_InvalidScope;
      if (!pData) return noErr;
      AudioUnitParameterIDName* pIDName = static_cast<AudioUnitParameterIDName*>(pData);
      IParam* param = pIDName->inID <= 0x7fffffffU ? GetParam(static_cast<int>(pIDName->inID)) : nullptr;
      if (!param) return kAudioUnitErr_InvalidParameter;
      char cStr[MAX_PARAM_NAME_LEN];
      snprintf(cStr, sizeof(cStr), "%s", param->GetNameForHost());
      if (pIDName->inDesiredLength != kAudioUnitParameterName_Full)
      {
        int n = pIDName->inDesiredLength < MAX_PARAM_NAME_LEN - 1 ? pIDName->inDesiredLength : MAX_PARAM_NAME_LEN - 1;
        if (n < 0) n = 0;
        cStr[n] = '\0';
      }
      pIDName->outName = MakeCFString(cStr);
      return noErr;
    }
    case kAudioUnitProperty_ParameterClumpName:
    {
      if (!fits(sizeof(AudioUnitParameterNameInfo))) return kAudio_ParamError;
      if (!global) return kAudioUnitErr_InvalidScope;
      if (!pData) return noErr;
      AudioUnitParameterNameInfo* pClumpInfo = static_cast<AudioUnitParameterNameInfo*>(pData);
      const UInt32 clumpID = pClumpInfo->inID;
      if (clumpID < 1 || clumpID > static_cast<UInt32>(NParamGroups())) return kAudioUnitErr_PropertyNotInUse;
      pClumpInfo->outName = MakeCFString(GetParamGroupName(static_cast<int>(clumpID) - 1));
      return noErr;
    }
    case kAudioUnitProperty_ParameterValueFromString:
    {
      if (!fits(sizeof(AudioUnitParameterValueFromString))) return kAudio_ParamError;
      if (!global) return kAudioUnitErr_InvalidScope;
      if (!pData) return noErr;
      AudioUnitParameterValueFromString* pVFS = static_cast<AudioUnitParameterValueFromString*>(pData);
      IParam* param = pVFS->inParamID <= 0x7fffffffU ? GetParam(static_cast<int>(pVFS->inParamID)) : nullptr;
      if (!param) return kAudioUnitErr_InvalidParameter;
      if (!pVFS->inString) return kAudio_ParamError;
      std::string text;
      if (!GetUTF8(pVFS->inString, &text)) return kAudioUnitErr_InvalidPropertyValue;
      const char* cStr = text.c_str();
      if (param->GetNDisplayTexts())
      {
        int key = 0;
        if (param->MapDisplayText(cStr, &key)) pVFS->outValue = static_cast<AudioUnitParameterValue>(key);
      }
      else
      {
        double v = atof(cStr);
        if (param->GetNegateDisplay()) v = -v;
        pVFS->outValue = static_cast<AudioUnitParameterValue>(v);
      }
      return noErr;
    }
    case kMusicDeviceProperty_InstrumentCount:
    {
      if (!IsInst()) return kAudioUnitErr_InvalidProperty;
      if (!global) return kAudioUnitErr_InvalidScope;
      return answer(static_cast<UInt32>(1));
    }
    default: return kAudioUnitErr_InvalidProperty;
  }
}

ComponentResult IPlugAU::SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                     UInt32 dataSize, const void* pData)
{
  InformListeners(propID, scope);

  // Every property written below carries a value.
  switch (propID)
  {
    case kAudioUnitProperty_ClassInfo:
    case kAudioUnitProperty_MakeConnection:
    case kAudioUnitProperty_SampleRate:
    case kAudioUnitProperty_StreamFormat:
    case kAudioUnitProperty_MaximumFramesPerSlice:
    case kAudioUnitProperty_BypassEffect:
    case kAudioUnitProperty_SetRenderCallback:
    case kAudioUnitProperty_HostCallbacks:
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    case kAudioUnitProperty_OfflineRender:
    case kAudioUnitProperty_AUHostIdentifier:
      if (!pData) return kAudio_ParamError;
      break;
    default: return kAudioUnitErr_InvalidProperty;
  }
  auto tooSmall = [&](UInt32 size) { return dataSize < size; };

  switch (propID)
  {
    case kAudioUnitProperty_ClassInfo:
    {
      if (tooSmall(kPtrSize)) return kAudio_ParamError;
      CFPropertyListRef dict;
      memcpy(&dict, pData, sizeof(dict));
      return SetState(dict);
    }
    case kAudioUnitProperty_MakeConnection:
    {
      if (tooSmall(sizeof(AudioUnitConnection))) return kAudio_ParamError;
      AudioUnitConnection conn;
      memcpy(&conn, pData, sizeof(conn));
      if ((scope != kAudioUnitScope_Global && scope != kAudioUnitScope_Input) ||
          conn.destInputNumber >= static_cast<UInt32>(mInBusConnections.GetSize()))
        return kAudioUnitErr_InvalidProperty;
      // A unit fed by itself would pull its own output while producing it.
      if (conn.sourceAudioUnit && (conn.sourceAudioUnit == mCI ||
                                   GetComponentInstanceStorage(conn.sourceAudioUnit) == static_cast<void*>(this)))
        return kAudioUnitErr_InvalidPropertyValue;
      InputBusConnection* pInBusConn = mInBusConnections.Get(static_cast<int>(conn.destInputNumber));
      *pInBusConn = InputBusConnection();
      bool ok = true;
      if (conn.sourceAudioUnit)
      {
        AudioStreamBasicDescription srcASBD;
        UInt32 size = sizeof(srcASBD);
        ok = AudioUnitGetProperty(conn.sourceAudioUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output,
                                  conn.sourceOutputNumber, &srcASBD, &size) == noErr &&
             SetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, conn.destInputNumber, size,
                         &srcASBD) == noErr;
        if (ok)
        {
          pInBusConn->mUpstreamUnit = conn.sourceAudioUnit;
          pInBusConn->mUpstreamBusIdx = static_cast<int>(conn.sourceOutputNumber);
          AudioUnitRenderProc srcRenderProc = nullptr;
          size = sizeof(srcRenderProc);
          if (AudioUnitGetProperty(conn.sourceAudioUnit, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                                   kAudioUnitRenderSelect, &srcRenderProc, &size) == noErr &&
              srcRenderProc)
          {
            pInBusConn->mUpstreamRenderProc = srcRenderProc;
            pInBusConn->mUpstreamObj = GetComponentInstanceStorage(conn.sourceAudioUnit);
          }
        }
      }
      AssessInputConnections();
      return ok ? static_cast<ComponentResult>(noErr) : static_cast<ComponentResult>(kAudioUnitErr_InvalidProperty);
    }
    case kAudioUnitProperty_SampleRate:
    {
      if (tooSmall(sizeof(Float64))) return kAudio_ParamError;
      Float64 sr;
      memcpy(&sr, pData, sizeof(sr));
      // A rate of zero, below or NaN would divide every time computation.
      if (!(sr > 0.0) || std::isinf(sr)) return kAudioUnitErr_InvalidPropertyValue;
      SetSampleRate(sr);
      Reset();
      return noErr;
    }
    case kAudioUnitProperty_StreamFormat:
    {
      if (tooSmall(sizeof(AudioStreamBasicDescription))) return kAudio_ParamError;
      AudioStreamBasicDescription asbd;
      memcpy(&asbd, pData, sizeof(asbd));
      return SetStreamFormat(scope, element, &asbd);
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
    {
      if (tooSmall(sizeof(UInt32))) return kAudio_ParamError;
      UInt32 n;
      memcpy(&n, pData, sizeof(n));
      // The scratch is block size x channels floats; keep it addressable.
      if (n < 1 || n > (1U << 20)) return kAudioUnitErr_InvalidPropertyValue;
      SetBlockSize(static_cast<int>(n));
      if (GetBlockSize() != static_cast<int>(n)) return kAudioUnitErr_InvalidPropertyValue;
      Reset();
      return noErr;
    }
    case kAudioUnitProperty_BypassEffect:
    {
      if (tooSmall(sizeof(UInt32))) return kAudio_ParamError;
      UInt32 b;
      memcpy(&b, pData, sizeof(b));
      const bool bypassed = b != 0;
      SetBypassed(bypassed);
      OnActivate(!bypassed);
      Reset();
      return noErr;
    }
    case kAudioUnitProperty_SetRenderCallback:
    {
      if (tooSmall(sizeof(AURenderCallbackStruct))) return kAudio_ParamError;
      if (scope != kAudioUnitScope_Input || element >= static_cast<AudioUnitElement>(mInBusConnections.GetSize()))
        return kAudioUnitErr_InvalidProperty;
      AURenderCallbackStruct cb;
      memcpy(&cb, pData, sizeof(cb));
      InputBusConnection* pInBusConn = mInBusConnections.Get(static_cast<int>(element));
      *pInBusConn = InputBusConnection();
      if (cb.inputProc) pInBusConn->mUpstreamRenderCallback = cb;
      AssessInputConnections();
      return noErr;
    }
    case kAudioUnitProperty_HostCallbacks:
    {
      if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
      if (tooSmall(sizeof(HostCallbackInfo))) return kAudio_ParamError;
      HostCallbackInfo info;
      memcpy(&info, pData, sizeof(info));
      SetHostCallbacks(info);
      return noErr;
    }
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    {
      if (tooSmall(sizeof(AUPreset))) return kAudio_ParamError;
      AUPreset preset;
      memcpy(&preset, pData, sizeof(preset));
      RestorePreset(preset.presetNumber);
      return noErr;
    }
    case kAudioUnitProperty_OfflineRender:
    {
      if (tooSmall(sizeof(UInt32))) return kAudio_ParamError;
      UInt32 v;
      memcpy(&v, pData, sizeof(v));
      mIsOffline = v != 0;
      return noErr;
    }
    case kAudioUnitProperty_AUHostIdentifier:
    {
      if (tooSmall(sizeof(AUHostIdentifier))) return kAudio_ParamError;
      AUHostIdentifier hostID;
      memcpy(&hostID, pData, sizeof(hostID));
      std::string name;
      GetUTF8(hostID.hostName, &name);
      const int version = (hostID.hostVersion.majorRev << 16) + ((hostID.hostVersion.minorAndBugRev & 0xF0) << 4) +
                          (hostID.hostVersion.minorAndBugRev & 0x0F);
      SetHost(name.c_str(), version);
      OnHostIdentified();
      return noErr;
    }
    default: return kAudioUnitErr_InvalidProperty;
  }
}

void IPlugAU::SetHostCallbacks(const HostCallbackInfo& info) { mHostCallbacks = info; }

namespace
{
// Host callbacks answering from an ITimeInfo record (SetHostTime).
OSStatus RecordBeatAndTempo(void* userData, Float64* pBeat, Float64* pTempo)
{
  const ITimeInfo* t = static_cast<const ITimeInfo*>(userData);
  if (pBeat) *pBeat = t->mPPQPos;
  if (pTempo) *pTempo = t->mTempo;
  return noErr;
}

OSStatus RecordMusicalTime(void* userData, UInt32* pDeltaSampleOffsetToNextBeat, Float32* pNumerator,
                           UInt32* pDenominator, Float64* pMeasureDownBeat)
{
  const ITimeInfo* t = static_cast<const ITimeInfo*>(userData);
  if (pDeltaSampleOffsetToNextBeat) *pDeltaSampleOffsetToNextBeat = 0;
  if (pNumerator) *pNumerator = static_cast<Float32>(t->mNumerator);
  if (pDenominator) *pDenominator = t->mDenominator > 0 ? static_cast<UInt32>(t->mDenominator) : 0;
  if (pMeasureDownBeat) *pMeasureDownBeat = t->mLastBar;
  return noErr;
}

OSStatus RecordTransport(void* userData, Boolean* pPlaying, Boolean* pChanged, Float64* pSample, Boolean* pCycling,
                         Float64* pCycleStart, Float64* pCycleEnd)
{
  const ITimeInfo* t = static_cast<const ITimeInfo*>(userData);
  if (pPlaying) *pPlaying = t->mTransportIsRunning;
  if (pChanged) *pChanged = false;
  if (pSample) *pSample = t->mSamplePos;
  if (pCycling) *pCycling = t->mTransportLoopEnabled;
  if (pCycleStart) *pCycleStart = t->mCycleStart;
  if (pCycleEnd) *pCycleEnd = t->mCycleEnd;
  return noErr;
}
} // namespace

void IPlugAU::SetHostTime(const ITimeInfo& timeInfo)
{
  mHostTimeRecord = timeInfo;
  mHostCallbacks = HostCallbackInfo{&mHostTimeRecord, RecordBeatAndTempo, RecordMusicalTime, RecordTransport};
}

// ---------------------------------------------------------------------------
// Buses, formats and connections

EAUInputType IPlugAU::GetInputType(int idx) const
{
  const InputBusConnection* c = mInBusConnections.Get(idx);
  return c ? c->mInputType : eNotConnected;
}

IPlugAU::BusChannels* IPlugAU::GetBus(AudioUnitScope scope, AudioUnitElement element)
{
  if (element > 0x7fffffffU) return nullptr;
  const int idx = static_cast<int>(element);
  if (scope == kAudioUnitScope_Input) return mInBuses.Get(idx);
  if (scope == kAudioUnitScope_Output || scope == kAudioUnitScope_Global) return mOutBuses.Get(idx);
  return nullptr;
}

int IPlugAU::NHostChannelsConnected(WDL_PtrList<BusChannels>* pBuses, int excludeIdx)
{
  bool init = false;
  int nCh = 0;
  for (int i = 0, n = pBuses->GetSize(); i < n; ++i)
  {
    if (i == excludeIdx) continue;
    const int nHostChannels = pBuses->Get(i)->mNHostChannels;
    if (nHostChannels >= 0)
    {
      nCh += nHostChannels;
      init = true;
    }
  }
  return init ? nCh : -1;
}

bool IPlugAU::CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels)
{
  if (scope == kAudioUnitScope_Input)
  {
    const int nIn = std::max(NHostChannelsConnected(&mInBuses, busIdx), 0) + nChannels;
    const int nOut = mActive ? NHostChannelsConnected(&mOutBuses) : -1;
    return LegalIO(nIn, nOut);
  }
  const int nIn = mActive ? NHostChannelsConnected(&mInBuses) : -1;
  const int nOut = std::max(NHostChannelsConnected(&mOutBuses, busIdx), 0) + nChannels;
  return LegalIO(nIn, nOut);
}

bool IPlugAU::CheckLegalIO()
{
  const int nIn = NHostChannelsConnected(&mInBuses);
  const int nOut = NHostChannelsConnected(&mOutBuses);
  return (!nIn && !nOut) || LegalIO(nIn, nOut);
}

void IPlugAU::AssessInputConnections()
{
  IMutexLock lock(this);
  SetInputChannelConnections(0, NInChannels(), false);
  for (int i = 0, n = mInBuses.GetSize(); i < n; ++i)
  {
    BusChannels* pInBus = mInBuses.Get(i);
    InputBusConnection* pInBusConn = mInBusConnections.Get(i);
    if (!pInBusConn) continue;
    if (pInBusConn->mUpstreamRenderProc && pInBusConn->mUpstreamObj) pInBusConn->mInputType = eDirectFastProc;
    else if (pInBusConn->mUpstreamUnit) pInBusConn->mInputType = eDirectNoFastProc;
    else if (pInBusConn->mUpstreamRenderCallback.inputProc) pInBusConn->mInputType = eRenderCallback;
    else pInBusConn->mInputType = eNotConnected;

    pInBus->mConnected = pInBusConn->mInputType != eNotConnected;
    if (pInBus->mConnected)
    {
      if (pInBus->mNHostChannels < 0) pInBus->mNHostChannels = pInBus->mNPlugChannels;
      const int nConnected = std::min(pInBus->mNHostChannels, pInBus->mNPlugChannels);
      const int startChannelIdx = pInBus->mPlugChannelStartIdx;
      SetInputChannelConnections(startChannelIdx, nConnected, true);
      SetInputChannelConnections(startChannelIdx + nConnected, pInBus->mNPlugChannels - nConnected, false);
    }
  }
}

void IPlugAU::ClearConnections()
{
  for (int i = 0, n = mInBuses.GetSize(); i < n; ++i)
  {
    mInBuses.Get(i)->mConnected = false;
    mInBuses.Get(i)->mNHostChannels = -1;
  }
  for (int i = 0, n = mOutBuses.GetSize(); i < n; ++i)
  {
    mOutBuses.Get(i)->mConnected = false;
    mOutBuses.Get(i)->mNHostChannels = -1;
  }
  for (int i = 0, n = mInBusConnections.GetSize(); i < n; ++i) *mInBusConnections.Get(i) = InputBusConnection();
}

ComponentResult IPlugAU::GetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                         AudioStreamBasicDescription* pASBD)
{
  BusChannels* pBus = GetBus(scope, element);
  if (!pBus) return kAudioUnitErr_InvalidElement;
  const int nChannels = pBus->mNHostChannels >= 0 ? pBus->mNHostChannels : pBus->mNPlugChannels;
  MakeDefaultASBD(pASBD, GetSampleRate(), nChannels, false);
  return noErr;
}

ComponentResult IPlugAU::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                         const AudioStreamBasicDescription* pASBD)
{
  if (scope != kAudioUnitScope_Global && scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
    return kAudioUnitErr_InvalidScope;
  BusChannels* pBus = GetBus(scope, element);
  if (!pBus) return kAudioUnitErr_InvalidElement;
  const int nHostChannels = static_cast<int>(std::min<UInt32>(pASBD->mChannelsPerFrame, 0x7fff));
  // The render path reads and writes one buffer of native 32-bit floats per
  // channel; any other layout accepted here would be misread.
  const UInt32 flags = pASBD->mFormatFlags;
  const bool processed = pASBD->mFormatID == kAudioFormatLinearPCM && (flags & kAudioFormatFlagIsFloat) &&
                         (flags & kAudioFormatFlagIsNonInterleaved) && !(flags & kAudioFormatFlagIsBigEndian) &&
                         pASBD->mBitsPerChannel == 32 && pASBD->mBytesPerFrame == sizeof(float) &&
                         pASBD->mBytesPerPacket == sizeof(float) && pASBD->mFramesPerPacket == 1;
  const bool accepted = processed && nHostChannels > 0 && nHostChannels <= pBus->mNPlugChannels &&
                        CheckLegalIO(scope, static_cast<int>(element), nHostChannels);
  // A refused format changes nothing: the bus keeps the format it had.
  if (!accepted) return kAudioUnitErr_FormatNotSupported;
  pBus->mNHostChannels = nHostChannels;
  const double sr = pASBD->mSampleRate;
  if (sr > 0.0 && !std::isinf(sr) && sr != GetSampleRate())
  {
    SetSampleRate(sr);
    // What a write of the sample-rate property does, so that whatever runs
    // at the rate follows it before the next render.
    Reset();
  }
  AssessInputConnections();
  return noErr;
}

int IPlugAU::GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element, AudioChannelLayoutTag* pTags)
{
  if (scope == kAudioUnitScope_Output || (scope == kAudioUnitScope_Input && mInBuses.GetSize() > 0))
  {
    BusChannels* pBus = GetBus(scope, element);
    if (!pBus) return 0;
    if (pTags) *pTags = GetTagForNumChannels(pBus->mNPlugChannels);
    return 1;
  }
  return 0;
}

void IPlugAU::SetBlockSize(int blockSize)
{
  if (blockSize < 0) blockSize = 0;
  const int nIn = blockSize * NInChannels(), nOut = blockSize * NOutChannels();
  if (mInScratchBuf.Resize(nIn) && nIn) memset(mInScratchBuf.Get(), 0, nIn * sizeof(float));
  if (mOutScratchBuf.Resize(nOut) && nOut) memset(mOutScratchBuf.Get(), 0, nOut * sizeof(float));
  IPlugBase::SetBlockSize(blockSize);
}

// ---------------------------------------------------------------------------
// Render

OSStatus IPlugAU::RenderProc(void* pPlug, AudioUnitRenderActionFlags* pFlags, const AudioTimeStamp* pTimestamp,
                             UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* pBufferList)
{
  IPlugAU* plug = static_cast<IPlugAU*>(pPlug);
  if (!plug) return kAudio_ParamError;
  // A unit that reaches itself again through its own input (a cycle of
  // connections) would recurse until the stack runs out.
  if (plug->mPullingInput) return plug->mLastRenderError = kAudioUnitErr_CannotDoInCurrentContext;
  // Denormals (a decaying input, a fade) are flushed for the render only.
  IFlushDenormals flush;
  const OSStatus r = plug->Render(pFlags, pTimestamp, outputBusIdx, nFrames, pBufferList);
  if (r != noErr) plug->mLastRenderError = r;
  return r;
}

OSStatus IPlugAU::Render(AudioUnitRenderActionFlags* pFlags, const AudioTimeStamp* pTimestamp, UInt32 outputBusIdx,
                         UInt32 nFrames, AudioBufferList* pBufferList)
{
  IPlugAU* plug = this;
  if (!pTimestamp) return kAudio_ParamError;
  if (!(pTimestamp->mFlags & kAudioTimeStampSampleTimeValid)) return kAudioUnitErr_InvalidPropertyValue;
  if (outputBusIdx >= static_cast<UInt32>(mOutBuses.GetSize())) return kAudioUnitErr_InvalidElement;
  if (nFrames > static_cast<UInt32>(GetBlockSize())) return kAudioUnitErr_TooManyFramesToProcess;
  if (!pBufferList) return kAudio_ParamError;

  BusChannels* pOutBus = plug->mOutBuses.Get(static_cast<int>(outputBusIdx));
  const int nBuffers = static_cast<int>(std::min<UInt32>(pBufferList->mNumberBuffers, 0x7fffffff));
  // Each buffer becomes one plug-in channel of the bus; more buffers than
  // the bus has channels, or buffers shorter than the frames, would be
  // written past their ends.
  if (nBuffers > pOutBus->mNPlugChannels) return kAudio_ParamError;
  for (int i = 0; i < nBuffers; ++i)
  {
    const AudioBuffer& b = pBufferList->mBuffers[i];
    if (b.mData && b.mDataByteSize < nFrames * sizeof(float)) return kAudio_ParamError;
  }

  (void)pFlags; // the notifications get their own pre- and post-render flags
  plug->CallRenderNotifications(kAudioUnitRenderAction_PreRender, pTimestamp, outputBusIdx, nFrames, pBufferList);

  const double renderSampleTime = pTimestamp->mSampleTime;
  if (renderSampleTime != plug->mLastRenderSampleTime)
  {
    PullGuard guard(&mPullingInput);
    for (int i = 0, n = plug->mInBuses.GetSize(); i < n; ++i)
    {
      BusChannels* pInBus = plug->mInBuses.Get(i);
      InputBusConnection* pInBusConn = plug->mInBusConnections.Get(i);
      if (!pInBus->mConnected || !pInBusConn) continue;

      const int nConnected = std::min(std::min(pInBus->mNHostChannels, pInBus->mNPlugChannels), kMaxBusChannels);
      const int chIdx = pInBus->mPlugChannelStartIdx;
      StackBufferList stackList;
      AudioBufferList* pInBufList = stackList.Get();
      pInBufList->mNumberBuffers = static_cast<UInt32>(nConnected);
      for (int b = 0; b < nConnected; ++b)
      {
        pInBufList->mBuffers[b].mNumberChannels = 1;
        pInBufList->mBuffers[b].mDataByteSize = nFrames * sizeof(float);
        pInBufList->mBuffers[b].mData = nullptr;
      }

      OSStatus r = noErr;
      AudioUnitRenderActionFlags flags = 0;
      switch (pInBusConn->mInputType)
      {
        case eRenderCallback:
        {
          for (int b = 0; b < nConnected; ++b)
            pInBufList->mBuffers[b].mData = plug->mInScratchBuf.Get() + (chIdx + b) * static_cast<int>(nFrames);
          const AURenderCallbackStruct& cb = pInBusConn->mUpstreamRenderCallback;
          r = cb.inputProc(cb.inputProcRefCon, &flags, pTimestamp, static_cast<UInt32>(i), nFrames, pInBufList);
          break;
        }
        case eDirectNoFastProc:
          r = AudioUnitRender(pInBusConn->mUpstreamUnit, &flags, pTimestamp,
                              static_cast<UInt32>(pInBusConn->mUpstreamBusIdx), nFrames, pInBufList);
          break;
        case eDirectFastProc:
          r = pInBusConn->mUpstreamRenderProc(pInBusConn->mUpstreamObj, &flags, pTimestamp,
                                              static_cast<UInt32>(pInBusConn->mUpstreamBusIdx), nFrames, pInBufList);
          break;
        default: break;
      }
      if (r != noErr) return r;

      // The upstream side may have pointed the buffers at its own memory;
      // take at most what we handed out.
      const int nGot = std::min(nConnected, static_cast<int>(std::min<UInt32>(pInBufList->mNumberBuffers, kMaxBusChannels)));
      float* channels[kMaxBusChannels];
      for (int b = 0; b < nConnected; ++b)
      {
        const AudioBuffer& buf = pInBufList->mBuffers[b];
        const bool usable = b < nGot && buf.mData && buf.mDataByteSize >= nFrames * sizeof(float);
        channels[b] = usable ? static_cast<float*>(buf.mData) : nullptr;
      }
      plug->AttachInputBuffers(chIdx, nConnected, channels, static_cast<int>(nFrames));
    }
    plug->mLastRenderSampleTime = renderSampleTime;
  }

  // The connections follow this call's buffer count every time: a host that
  // once rendered fewer buffers than the bus has must get all of them back
  // when it hands them again. Setting flags allocates nothing.
  {
    const int startChannelIdx = pOutBus->mPlugChannelStartIdx;
    const int nHost = pOutBus->mNHostChannels >= 0 ? pOutBus->mNHostChannels : pOutBus->mNPlugChannels;
    const int nConnected = std::max(std::min(nHost, nBuffers), 0);
    const int nUnconnected = std::max(pOutBus->mNPlugChannels - nConnected, 0);
    plug->SetOutputChannelConnections(startChannelIdx, nConnected, true);
    plug->SetOutputChannelConnections(startChannelIdx + nConnected, nUnconnected, false);
    pOutBus->mConnected = true;
  }

  for (int i = 0; i < nBuffers; ++i)
  {
    AudioBuffer& b = pBufferList->mBuffers[i];
    if (!b.mData)
    {
      b.mData = plug->mOutScratchBuf.Get() + (pOutBus->mPlugChannelStartIdx + i) * static_cast<int>(nFrames);
      b.mDataByteSize = nFrames * sizeof(float);
    }
    float* pData = static_cast<float*>(b.mData);
    plug->AttachOutputBuffers(pOutBus->mPlugChannelStartIdx + i, 1, &pData);
  }

  int lastConnectedOutputBus = -1;
  for (int i = 0, n = plug->mOutBuses.GetSize(); i < n; ++i)
  {
    if (!plug->mOutBuses.Get(i)->mConnected) break;
    lastConnectedOutputBus = i;
  }
  if (lastConnectedOutputBus < 0) lastConnectedOutputBus = plug->mOutBuses.GetSize() - 1;

  if (static_cast<int>(outputBusIdx) == lastConnectedOutputBus)
  {
    // Channels of the buses after this one are not being rendered. They start
    // where this bus ends (not at two channels per bus, which would cut off
    // a single bus of more than two channels).
    const int lastChannel = pOutBus->mPlugChannelStartIdx + pOutBus->mNPlugChannels;
    if (plug->NOutChannels() > lastChannel)
      plug->SetOutputChannelConnections(lastChannel, plug->NOutChannels() - lastChannel, false);
    if (plug->IsBypassed()) plug->PassThroughBuffers(0.0f, static_cast<int>(nFrames));
    else plug->ProcessBuffers(0.0f, static_cast<int>(nFrames));
  }

  plug->CallRenderNotifications(kAudioUnitRenderAction_PostRender, pTimestamp, outputBusIdx, nFrames, pBufferList);
  return noErr;
}

void IPlugAU::CallRenderNotifications(AudioUnitRenderActionFlags phase, const AudioTimeStamp* pTimestamp,
                                      UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* pBufferList)
{
  // The count is read on every step: a notification may remove itself (or
  // another) through the entry, and a count taken before would then reach
  // past the end of the list.
  for (int i = 0; i < mRenderNotify.GetSize(); ++i)
  {
    const RenderNotify* r = mRenderNotify.Get(i);
    AudioUnitRenderActionFlags flags = phase;
    r->mProc(r->mRefCon, &flags, pTimestamp, outputBusIdx, nFrames, pBufferList);
  }
}

// ---------------------------------------------------------------------------
// Host time

double IPlugAU::GetTempo()
{
  if (mHostCallbacks.beatAndTempoProc)
  {
    Float64 currentBeat = 0.0, tempo = 0.0;
    if (mHostCallbacks.beatAndTempoProc(mHostCallbacks.hostUserData, &currentBeat, &tempo) == noErr && tempo > 0.0)
      mTempo = tempo;
  }
  return mTempo;
}

int IPlugAU::GetSamplePos()
{
  if (!mHostCallbacks.transportStateProc) return 0;
  Boolean playing = false, changed = false, looping = false;
  Float64 samplePos = 0.0, loopStart = 0.0, loopEnd = 0.0;
  if (mHostCallbacks.transportStateProc(mHostCallbacks.hostUserData, &playing, &changed, &samplePos, &looping,
                                        &loopStart, &loopEnd) != noErr)
    return 0;
  const double rounded = samplePos + 0.5;
  // A position no int can hold is not one the plug-in can use.
  if (!(rounded >= -2147483648.0 && rounded < 2147483648.0)) return 0;
  return static_cast<int>(rounded);
}

void IPlugAU::GetTimeSig(int* pNum, int* pDenom)
{
  if (!mHostCallbacks.musicalTimeLocationProc) return;
  UInt32 sampleOffsetToNextBeat = 0, tsDenom = 0;
  Float32 tsNum = 0.0f;
  Float64 currentMeasureDownBeat = 0.0;
  if (mHostCallbacks.musicalTimeLocationProc(mHostCallbacks.hostUserData, &sampleOffsetToNextBeat, &tsNum, &tsDenom,
                                             &currentMeasureDownBeat) != noErr)
    return;
  if (pNum) *pNum = (tsNum > -2147483648.0f && tsNum < 2147483648.0f) ? static_cast<int>(tsNum) : 0;
  if (pDenom) *pDenom = static_cast<int>(std::min<UInt32>(tsDenom, 0x7fffffff));
}

void IPlugAU::GetTime(ITimeInfo* pTimeInfo)
{
  if (!pTimeInfo) return;
  // Positions are taken from 0 on: 0 is the start of the song, not "unknown".
  if (mHostCallbacks.beatAndTempoProc)
  {
    Float64 currentBeat = -1.0, tempo = 0.0;
    if (mHostCallbacks.beatAndTempoProc(mHostCallbacks.hostUserData, &currentBeat, &tempo) == noErr)
    {
      if (tempo > 0.0)
      {
        pTimeInfo->mTempo = tempo;
      }
      if (currentBeat >= 0.0) pTimeInfo->mPPQPos = currentBeat;
    }
  }
  if (mHostCallbacks.transportStateProc)
  {
    Boolean playing = false, changed = false, looping = false;
    Float64 samplePos = -1.0, loopStart = -1.0, loopEnd = -1.0;
    if (mHostCallbacks.transportStateProc(mHostCallbacks.hostUserData, &playing, &changed, &samplePos, &looping,
                                          &loopStart, &loopEnd) == noErr)
    {
      if (samplePos >= 0.0) pTimeInfo->mSamplePos = samplePos;
      if (loopStart >= 0.0) pTimeInfo->mCycleStart = loopStart;
      if (loopEnd >= 0.0) pTimeInfo->mCycleEnd = loopEnd;
      pTimeInfo->mTransportIsRunning = playing;
      pTimeInfo->mTransportLoopEnabled = looping;
    }
  }
  if (mHostCallbacks.musicalTimeLocationProc)
  {
    UInt32 sampleOffsetToNextBeat = 0, tsDenom = 4;
    Float32 tsNum = 4.0f;
    Float64 currentMeasureDownBeat = -1.0;
    if (mHostCallbacks.musicalTimeLocationProc(mHostCallbacks.hostUserData, &sampleOffsetToNextBeat, &tsNum, &tsDenom,
                                               &currentMeasureDownBeat) == noErr)
    {
      pTimeInfo->mNumerator = (tsNum > -2147483648.0f && tsNum < 2147483648.0f) ? static_cast<int>(tsNum) : 0;
      pTimeInfo->mDenominator = static_cast<int>(std::min<UInt32>(tsDenom, 0x7fffffff));
      if (currentMeasureDownBeat >= 0.0) pTimeInfo->mLastBar = currentMeasureDownBeat;
    }
  }
}

// ---------------------------------------------------------------------------
// State

ComponentResult IPlugAU::GetState(CFPropertyListRef* ppPropList)
{
  if (!ppPropList) return kAudio_ParamError;
  ComponentDescription cd;
  ComponentResult r = GetComponentInfo(reinterpret_cast<Component>(mCI), &cd, nullptr, nullptr, nullptr);
  if (r != noErr) return r;

  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                          &kCFTypeDictionaryValueCallBacks);
  if (!dict) return coreFoundationUnknownErr;
  PutDictInt(dict, kAUPresetVersionKey, GetEffectVersion(false));
  PutDictInt(dict, kAUPresetTypeKey, static_cast<SInt32>(cd.componentType));
  PutDictInt(dict, kAUPresetSubtypeKey, static_cast<SInt32>(cd.componentSubType));
  PutDictInt(dict, kAUPresetManufacturerKey, static_cast<SInt32>(cd.componentManufacturer));

  CFStringRef nameKey = MakeCFString(kAUPresetNameKey);
  CFStringRef name = MakeCFString(GetPresetName(GetCurrentPresetIdx()));
  if (nameKey && name) CFDictionarySetValue(dict, nameKey, name);
  if (name) CFRelease(name);
  if (nameKey) CFRelease(nameKey);

  ByteChunk chunk;
  if (SerializeState(&chunk))
  {
    CFStringRef dataKey = MakeCFString(kAUPresetDataKey);
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, chunk.GetBytes(), chunk.Size());
    if (dataKey && data) CFDictionarySetValue(dict, dataKey, data);
    if (data) CFRelease(data);
    if (dataKey) CFRelease(dataKey);
  }
  *ppPropList = dict;
  return noErr;
}

ComponentResult IPlugAU::SetState(CFPropertyListRef pPropList)
{
  ComponentDescription cd;
  ComponentResult r = GetComponentInfo(reinterpret_cast<Component>(mCI), &cd, nullptr, nullptr, nullptr);
  if (r != noErr) return r;
  if (!pPropList || CFGetTypeID(pPropList) != CFDictionaryGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
  CFDictionaryRef dict = static_cast<CFDictionaryRef>(pPropList);

  SInt32 version, type, subtype, mfr;
  if (!GetDictInt(dict, kAUPresetVersionKey, &version) || !GetDictInt(dict, kAUPresetTypeKey, &type) ||
      !GetDictInt(dict, kAUPresetSubtypeKey, &subtype) || !GetDictInt(dict, kAUPresetManufacturerKey, &mfr))
    return kAudioUnitErr_InvalidPropertyValue;

  // Hosts write class-info dictionaries without a name; the state is still
  // restored and the current preset stays as it is.
  const void* nameValue = GetDictValue(dict, kAUPresetNameKey);
  if (nameValue && CFGetTypeID(nameValue) != CFStringGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
  char presetName[64] = "";
  // A name longer than the buffer is cut, as the host's own name field is.
  if (nameValue && !CFStringGetCString(static_cast<CFStringRef>(nameValue), presetName, sizeof(presetName), kCFStringEncodingUTF8))
  {
    CFIndex len = CFStringGetLength(static_cast<CFStringRef>(nameValue));
    CFIndex used = 0;
    CFRange all = {0, len};
    CFStringGetBytes(static_cast<CFStringRef>(nameValue), all, kCFStringEncodingUTF8, 0, false,
                     reinterpret_cast<UInt8*>(presetName), sizeof(presetName) - 1, &used);
    presetName[used >= 0 && used < 64 ? used : 0] = '\0';
  }

  if (static_cast<OSType>(type) != cd.componentType || static_cast<OSType>(subtype) != cd.componentSubType ||
      static_cast<OSType>(mfr) != cd.componentManufacturer)
    return kAudioUnitErr_InvalidPropertyValue;

  // A "data" block is checked before anything changes: it must be data of
  // exactly the size this plug-in's state has, so a short or foreign block
  // is refused whole instead of being half applied.
  const void* dataValue = GetDictValue(dict, kAUPresetDataKey);
  if (dataValue)
  {
    if (CFGetTypeID(dataValue) != CFDataGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
    ByteChunk current;
    if (!SerializeState(&current) || CFDataGetLength(static_cast<CFDataRef>(dataValue)) != current.Size())
      return kAudioUnitErr_InvalidPropertyValue;
  }

  if (nameValue) RestorePreset(presetName);

  if (!dataValue) return kAudioUnitErr_InvalidPropertyValue;
  CFDataRef data = static_cast<CFDataRef>(dataValue);
  ByteChunk chunk;
  const int n = static_cast<int>(CFDataGetLength(data));
  if (chunk.PutBytes(CFDataGetBytePtr(data), n) != n && n > 0) return kAudioUnitErr_InvalidPropertyValue;
  // -1 is a failed read, not a position: it must not count as success.
  const int pos = UnserializeState(&chunk, 0);
  if (pos <= 0) return kAudioUnitErr_InvalidPropertyValue;
  RedrawParamControls();
  return noErr;
}
