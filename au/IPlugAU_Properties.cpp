// The property protocol. Every property the adapter knows has one row in
// kProperties: the scopes it answers in, its size, whether a host may write
// it, and the routines that read and write its value. GetProperty and
// SetProperty check the row (scope, size, buffer) before a routine runs, so
// a routine only deals with its own elements and values.
#include "au/IPlugAU.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "au/AUSupport.h"

using au_support::GetUTF8;
using au_support::kPtrSize;
using au_support::MakeCFString;

namespace
{

// Scopes a property answers in, as bits.
enum : unsigned
{
  kGlobal = 1u << 0,
  kInput = 1u << 1,
  kOutput = 1u << 2,
  kOtherScopes = 1u << 3, // group, part, note, layer, ...
  kAnyScope = kGlobal | kInput | kOutput | kOtherScopes,
};

unsigned ScopeBit(AudioUnitScope scope)
{
  switch (scope)
  {
    case kAudioUnitScope_Global: return kGlobal;
    case kAudioUnitScope_Input: return kInput;
    case kAudioUnitScope_Output: return kOutput;
    default: return kOtherScopes;
  }
}

enum class Writable
{
  kNo,
  kYes,
  kWhenTail, // only while the plug-in has a tail
};

} // namespace

// A read: the property's size is already in *pDataSize; pData is null when
// the host asks only for size and writability, else it holds at least that
// many bytes.
struct AUPropertyRead
{
  AudioUnitScope scope;
  AudioUnitElement element;
  UInt32* pDataSize;
  void* pData;

  // Writes a plain value when there is a buffer; noErr.
  template <class T>
  ComponentResult Answer(const T& value) const
  {
    if (pData) memcpy(pData, &value, sizeof(value));
    return noErr;
  }

  // Lets get(&value) make the answer and writes it when get returns noErr;
  // a size query (no buffer) does not call get.
  template <class T, class Get>
  ComponentResult AnswerFrom(Get get) const
  {
    if (!pData) return noErr;
    T value{};
    const ComponentResult result = get(&value);
    if (result == noErr) memcpy(pData, &value, sizeof(value));
    return result;
  }
};

// A write: pData holds at least the property's size in bytes.
struct AUPropertyWrite
{
  AudioUnitScope scope;
  AudioUnitElement element;
  const void* pData;
  UInt32 dataSize;

  template <class T>
  T Value() const
  {
    T v;
    memcpy(&v, pData, sizeof(v));
    return v;
  }
};

// The routines behind the table; a friend of IPlugAU.
struct AUProperties
{
  using Getter = ComponentResult (*)(IPlugAU&, const AUPropertyRead&);
  using Setter = ComponentResult (*)(IPlugAU&, const AUPropertyWrite&);
  using Available = bool (*)(IPlugAU&);

  struct Row
  {
    AudioUnitPropertyID id;
    unsigned scopes;     // others: kAudioUnitErr_InvalidScope
    UInt32 size;         // bytes; 0: the getter sets it
    Writable writable;
    bool readable;       // false: reads answer kAudioUnitErr_InvalidProperty
    Available available; // null: always; false: kAudioUnitErr_InvalidProperty
    Getter get;          // null: nothing to read (noErr)
    Setter set;          // null: writes answer kAudioUnitErr_InvalidProperty
  };

  static const Row kRows[];
  static const Row* Find(AudioUnitPropertyID id);

  // ---- availability ----
  static bool HasEditor(IPlugAU& p) { return p.GetEditor() != nullptr; }
  static bool HasCocoaEditor(IPlugAU& p);
  static bool IsInstrument(IPlugAU& p) { return p.IsInst(); }
  static bool HasLayoutTags(IPlugAU& p) { return p.IsInst() && p.mOutBuses.GetSize() != 1; }

  // ---- reads ----
  static ComponentResult GetClassInfo(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetSampleRate(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetParameterList(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetParameterInfo(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetFastDispatch(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetStreamFormat(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetElementCount(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetLatency(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetSupportedNumChannels(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetMaximumFrames(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetParameterValueStrings(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetUIComponentList(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetAudioChannelLayout(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetTailTime(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetBypass(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetLastRenderError(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetRenderCallback(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetFactoryPresets(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetCurrentPreset(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetElementName(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetCocoaUI(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetLayoutTags(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetStringFromValue(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetParameterIDName(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetClumpName(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetValueFromString(IPlugAU& p, const AUPropertyRead& r);
  static ComponentResult GetInstrumentCount(IPlugAU& p, const AUPropertyRead& r);

  // ---- writes ----
  static ComponentResult SetClassInfo(IPlugAU& p, const AUPropertyWrite& w);
  static ComponentResult SetConnection(IPlugAU& p, const AUPropertyWrite& w);
  static ComponentResult SetSampleRate(IPlugAU& p, const AUPropertyWrite& w);
  static ComponentResult SetStreamFormat(IPlugAU& p, const AUPropertyWrite& w);
  static ComponentResult SetMaximumFrames(IPlugAU& p, const AUPropertyWrite& w);
  static ComponentResult SetBypass(IPlugAU& p, const AUPropertyWrite& w);
  static ComponentResult SetRenderCallback(IPlugAU& p, const AUPropertyWrite& w);
  static ComponentResult SetHostCallbacks(IPlugAU& p, const AUPropertyWrite& w);
  static ComponentResult SetCurrentPreset(IPlugAU& p, const AUPropertyWrite& w);
  static ComponentResult SetOfflineRender(IPlugAU& p, const AUPropertyWrite& w);
  static ComponentResult SetHostIdentifier(IPlugAU& p, const AUPropertyWrite& w);
};

// clang-format off
const AUProperties::Row AUProperties::kRows[] = {
  // id                                            scopes            size                                        writable          read   available        get                        set
  {kAudioUnitProperty_ClassInfo,                   kAnyScope,        kPtrSize,                                   Writable::kYes,   true,  nullptr,         GetClassInfo,              SetClassInfo},
  {kAudioUnitProperty_MakeConnection,              kGlobal | kInput, sizeof(AudioUnitConnection),                Writable::kYes,   true,  nullptr,         nullptr,                   SetConnection},
  {kAudioUnitProperty_SampleRate,                  kAnyScope,        sizeof(Float64),                            Writable::kYes,   true,  nullptr,         GetSampleRate,             SetSampleRate},
  {kAudioUnitProperty_ParameterList,               kAnyScope,        0,                                          Writable::kNo,    true,  nullptr,         GetParameterList,          nullptr},
  {kAudioUnitProperty_ParameterInfo,               kGlobal,          sizeof(AudioUnitParameterInfo),             Writable::kNo,    true,  nullptr,         GetParameterInfo,          nullptr},
  {kAudioUnitProperty_FastDispatch,                kAnyScope,        kPtrSize,                                   Writable::kNo,    true,  nullptr,         GetFastDispatch,           nullptr},
  {kAudioUnitProperty_StreamFormat,                kGlobal | kInput | kOutput, sizeof(AudioStreamBasicDescription), Writable::kYes, true, nullptr,      GetStreamFormat,           SetStreamFormat},
  {kAudioUnitProperty_ElementCount,                kAnyScope,        sizeof(UInt32),                             Writable::kNo,    true,  nullptr,         GetElementCount,           nullptr},
  {kAudioUnitProperty_Latency,                     kGlobal,          sizeof(Float64),                            Writable::kNo,    true,  nullptr,         GetLatency,                nullptr},
  {kAudioUnitProperty_SupportedNumChannels,        kGlobal,          0,                                          Writable::kNo,    true,  nullptr,         GetSupportedNumChannels,   nullptr},
  {kAudioUnitProperty_MaximumFramesPerSlice,       kGlobal,          sizeof(UInt32),                             Writable::kYes,   true,  nullptr,         GetMaximumFrames,          SetMaximumFrames},
  {kAudioUnitProperty_ParameterValueStrings,       kGlobal,          kPtrSize,                                   Writable::kNo,    true,  nullptr,         GetParameterValueStrings,  nullptr},
  {kAudioUnitProperty_GetUIComponentList,          kAnyScope,        sizeof(ComponentDescription),               Writable::kNo,    true,  HasEditor,       GetUIComponentList,        nullptr},
  {kAudioUnitProperty_AudioChannelLayout,          kAnyScope,        0,                                          Writable::kNo,    true,  nullptr,         GetAudioChannelLayout,     nullptr},
  {kAudioUnitProperty_TailTime,                    kGlobal,          sizeof(Float64),                            Writable::kWhenTail, true, nullptr,       GetTailTime,               nullptr},
  {kAudioUnitProperty_BypassEffect,                kGlobal,          sizeof(UInt32),                             Writable::kYes,   true,  nullptr,         GetBypass,                 SetBypass},
  {kAudioUnitProperty_LastRenderError,             kGlobal,          sizeof(OSStatus),                           Writable::kNo,    true,  nullptr,         GetLastRenderError,        nullptr},
  {kAudioUnitProperty_SetRenderCallback,           kGlobal | kInput, sizeof(AURenderCallbackStruct),             Writable::kYes,   true,  nullptr,         GetRenderCallback,         SetRenderCallback},
  {kAudioUnitProperty_FactoryPresets,              kAnyScope,        kPtrSize,                                   Writable::kNo,    true,  nullptr,         GetFactoryPresets,         nullptr},
  {kAudioUnitProperty_HostCallbacks,               kGlobal,          sizeof(HostCallbackInfo),                   Writable::kYes,   true,  nullptr,         nullptr,                   SetHostCallbacks},
  {kAudioUnitProperty_CurrentPreset,               kAnyScope,        sizeof(AUPreset),                           Writable::kYes,   true,  nullptr,         GetCurrentPreset,          SetCurrentPreset},
  {kAudioUnitProperty_ElementName,                 kInput | kOutput, kPtrSize,                                   Writable::kNo,    true,  nullptr,         GetElementName,            nullptr},
  {kAudioUnitProperty_CocoaUI,                     kAnyScope,        sizeof(AudioUnitCocoaViewInfo),             Writable::kNo,    true,  HasCocoaEditor,  GetCocoaUI,                nullptr},
  {kAudioUnitProperty_SupportedChannelLayoutTags,  kInput | kOutput, sizeof(AudioChannelLayoutTag),              Writable::kYes,   true,  HasLayoutTags,   GetLayoutTags,             nullptr},
  {kAudioUnitProperty_ParameterStringFromValue,    kGlobal,          sizeof(AudioUnitParameterStringFromValue),  Writable::kNo,    true,  nullptr,         GetStringFromValue,        nullptr},
  {kAudioUnitProperty_ParameterIDName,             kGlobal,          sizeof(AudioUnitParameterIDName),           Writable::kNo,    true,  nullptr,         GetParameterIDName,        nullptr},
  {kAudioUnitProperty_ParameterClumpName,          kGlobal,          sizeof(AudioUnitParameterNameInfo),         Writable::kNo,    true,  nullptr,         GetClumpName,              nullptr},
  {kAudioUnitProperty_PresentPreset,               kAnyScope,        sizeof(AUPreset),                           Writable::kYes,   true,  nullptr,         GetCurrentPreset,          SetCurrentPreset},
  {kAudioUnitProperty_OfflineRender,               kAnyScope,        sizeof(UInt32),                             Writable::kYes,   false, nullptr,         nullptr,                   SetOfflineRender},
  {kAudioUnitProperty_ParameterValueFromString,    kGlobal,          sizeof(AudioUnitParameterValueFromString),  Writable::kNo,    true,  nullptr,         GetValueFromString,        nullptr},
  {kAudioUnitProperty_AUHostIdentifier,            kAnyScope,        sizeof(AUHostIdentifier),                   Writable::kYes,   false, nullptr,         nullptr,                   SetHostIdentifier},
  {kMusicDeviceProperty_InstrumentCount,           kGlobal,          sizeof(UInt32),                             Writable::kNo,    true,  IsInstrument,    GetInstrumentCount,        nullptr},
};
// clang-format on

const AUProperties::Row* AUProperties::Find(AudioUnitPropertyID id)
{
  for (const Row& row : kRows)
    if (row.id == id) return &row;
  return nullptr;
}

// ---------------------------------------------------------------------------
// The protocol

ComponentResult IPlugAU::GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                     UInt32* pDataSize, Boolean* pWriteable, void* pData)
{
  const AUProperties::Row* row = AUProperties::Find(propID);
  if (!row || !row->readable || (row->available && !row->available(*this))) return kAudioUnitErr_InvalidProperty;
  // An instrument-only property is unknown to an effect whatever the scope;
  // any other property known here answers for the wrong scope.
  if (!(row->scopes & ScopeBit(scope))) return kAudioUnitErr_InvalidScope;
  *pWriteable = row->writable == Writable::kYes || (row->writable == Writable::kWhenTail && GetTailSize() > 0);
  const UInt32 capacity = pData ? *pDataSize : 0;
  if (row->size)
  {
    *pDataSize = row->size;
    if (pData && capacity < row->size) return kAudio_ParamError;
  }
  if (!row->get) return noErr; // nothing to read
  return row->get(*this, AUPropertyRead{scope, element, pDataSize, pData});
}

ComponentResult IPlugAU::SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                     UInt32 dataSize, const void* pData)
{
  InformListeners(propID, scope);

  const AUProperties::Row* row = AUProperties::Find(propID);
  if (!row || !row->set) return kAudioUnitErr_InvalidProperty;
  if (!(row->scopes & ScopeBit(scope))) return kAudioUnitErr_InvalidScope;
  if (!pData || dataSize < row->size) return kAudio_ParamError;
  return row->set(*this, AUPropertyWrite{scope, element, pData, dataSize});
}

// ---------------------------------------------------------------------------
// Reads

namespace
{

// The parameter an element or a text record names, or null.
IParam* ParamOf(IPlugAU& p, UInt32 id)
{
  return id <= 0x7fffffffU ? p.GetParam(static_cast<int>(id)) : nullptr;
}

// The shape of the reads that answer through a record naming one parameter:
// a size query has nothing to fill, a parameter that does not exist is
// refused, and fill writes the answer into the record.
template <class Record, class Fill>
ComponentResult AnswerParamRecord(IPlugAU& p, const AUPropertyRead& r, UInt32 Record::*id, Fill fill)
{
  if (!r.pData) return noErr;
  Record& record = *static_cast<Record*>(r.pData);
  IParam* param = ParamOf(p, record.*id);
  if (!param) return kAudioUnitErr_InvalidParameter;
  return fill(record, *param);
}

} // namespace

bool AUProperties::HasCocoaEditor(IPlugAU& p)
{
  SInt32 systemVersion = 0;
  return p.GetEditor() && Gestalt(gestaltSystemVersion, &systemVersion) == noErr && systemVersion >= 0x1050;
}

ComponentResult AUProperties::GetClassInfo(IPlugAU& p, const AUPropertyRead& r)
{
  return r.AnswerFrom<CFPropertyListRef>([&p](CFPropertyListRef* dict) { return p.GetState(dict); });
}

ComponentResult AUProperties::GetSampleRate(IPlugAU& p, const AUPropertyRead& r)
{
  return r.Answer(static_cast<Float64>(p.GetSampleRate()));
}

ComponentResult AUProperties::GetParameterList(IPlugAU& p, const AUPropertyRead& r)
{
  // Parameters live in the global scope; the others have none.
  const UInt32 n = r.scope == kAudioUnitScope_Global ? static_cast<UInt32>(p.NParams()) : 0;
  const UInt32 capacity = *r.pDataSize;
  *r.pDataSize = n * sizeof(AudioUnitParameterID);
  if (!r.pData) return noErr;
  if (capacity < *r.pDataSize) return kAudio_ParamError;
  AudioUnitParameterID* ids = static_cast<AudioUnitParameterID*>(r.pData);
  for (UInt32 i = 0; i < n; ++i) ids[i] = i;
  return noErr;
}

ComponentResult AUProperties::GetParameterInfo(IPlugAU& p, const AUPropertyRead& r)
{
  if (r.element >= static_cast<AudioUnitElement>(p.NParams())) return kAudioUnitErr_InvalidElement;
  return r.AnswerFrom<AudioUnitParameterInfo>(
      [&](AudioUnitParameterInfo* info) { return p.GetParamInfo(static_cast<int>(r.element), info); });
}

ComponentResult AUProperties::GetFastDispatch(IPlugAU&, const AUPropertyRead& r)
{
  return IPlugAU::GetProc(static_cast<SInt16>(r.element), r.pDataSize, r.pData);
}

ComponentResult AUProperties::GetStreamFormat(IPlugAU& p, const AUPropertyRead& r)
{
  if (!p.GetBus(r.scope, r.element)) return kAudioUnitErr_InvalidElement;
  return r.AnswerFrom<AudioStreamBasicDescription>(
      [&](AudioStreamBasicDescription* asbd) { return p.GetStreamFormat(r.scope, r.element, asbd); });
}

ComponentResult AUProperties::GetElementCount(IPlugAU& p, const AUPropertyRead& r)
{
  UInt32 n = 0;
  if (r.scope == kAudioUnitScope_Global) n = 1;
  else if (r.scope == kAudioUnitScope_Input) n = static_cast<UInt32>(p.mInBuses.GetSize());
  else if (r.scope == kAudioUnitScope_Output) n = static_cast<UInt32>(p.mOutBuses.GetSize());
  return r.Answer(n);
}

ComponentResult AUProperties::GetLatency(IPlugAU& p, const AUPropertyRead& r)
{
  const Float64 sr = p.GetSampleRate();
  return r.Answer(static_cast<Float64>(sr > 0.0 ? p.GetLatency() / sr : 0.0));
}

ComponentResult AUProperties::GetSupportedNumChannels(IPlugAU& p, const AUPropertyRead& r)
{
  const int n = p.NChannelIO();
  const UInt32 capacity = *r.pDataSize;
  *r.pDataSize = static_cast<UInt32>(n) * sizeof(AUChannelInfo);
  if (!r.pData) return noErr;
  if (capacity < *r.pDataSize) return kAudio_ParamError;
  AUChannelInfo* info = static_cast<AUChannelInfo*>(r.pData);
  for (int i = 0; i < n; ++i)
  {
    int nIn = 0, nOut = 0;
    p.GetChannelIO(i, &nIn, &nOut);
    info[i].inChannels = static_cast<SInt16>(nIn);
    info[i].outChannels = static_cast<SInt16>(nOut);
  }
  return noErr;
}

ComponentResult AUProperties::GetMaximumFrames(IPlugAU& p, const AUPropertyRead& r)
{
  return r.Answer(static_cast<UInt32>(p.GetBlockSize()));
}

ComponentResult AUProperties::GetParameterValueStrings(IPlugAU& p, const AUPropertyRead& r)
{
  IParam* param = ParamOf(p, r.element);
  if (!param) return kAudioUnitErr_InvalidElement;
  const int n = param->GetNDisplayTexts();
  if (n <= 0)
  {
    *r.pDataSize = 0;
    return kAudioUnitErr_InvalidProperty;
  }
  if (!r.pData) return noErr;
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
  memcpy(r.pData, &out, sizeof(out));
  return noErr;
}

ComponentResult AUProperties::GetUIComponentList(IPlugAU& p, const AUPropertyRead& r)
{
  ComponentDescription cd;
  memset(&cd, 0, sizeof(cd));
  cd.componentType = kAudioUnitCarbonViewComponentType;
  cd.componentSubType = static_cast<OSType>(p.GetUniqueID());
  cd.componentManufacturer = static_cast<OSType>(p.GetMfrID());
  return r.Answer(cd);
}

ComponentResult AUProperties::GetAudioChannelLayout(IPlugAU&, const AUPropertyRead&)
{
  return kAudioUnitErr_InvalidPropertyValue;
}

ComponentResult AUProperties::GetTailTime(IPlugAU& p, const AUPropertyRead& r)
{
  const Float64 sr = p.GetSampleRate();
  return r.Answer(static_cast<Float64>(sr > 0.0 ? p.GetTailSize() / sr : 0.0));
}

ComponentResult AUProperties::GetBypass(IPlugAU& p, const AUPropertyRead& r)
{
  return r.Answer(static_cast<UInt32>(p.IsBypassed() ? 1 : 0));
}

ComponentResult AUProperties::GetLastRenderError(IPlugAU& p, const AUPropertyRead& r)
{
  return r.Answer(static_cast<OSStatus>(p.mLastRenderError.load()));
}

ComponentResult AUProperties::GetRenderCallback(IPlugAU& p, const AUPropertyRead& r)
{
  // Nothing to read, but only for a bus that exists.
  if (r.element >= static_cast<AudioUnitElement>(p.mInBuses.GetSize())) return kAudioUnitErr_InvalidElement;
  return noErr;
}

ComponentResult AUProperties::GetFactoryPresets(IPlugAU& p, const AUPropertyRead& r)
{
  return r.AnswerFrom<CFArrayRef>([&p](CFArrayRef* presets) { return p.CopyFactoryPresets(presets); });
}

ComponentResult AUProperties::GetCurrentPreset(IPlugAU& p, const AUPropertyRead& r)
{
  if (!r.pData) return noErr;
  AUPreset preset;
  preset.presetNumber = p.GetCurrentPresetIdx();
  preset.presetName = MakeCFString(p.GetPresetName(preset.presetNumber));
  return r.Answer(preset);
}

ComponentResult AUProperties::GetElementName(IPlugAU& p, const AUPropertyRead& r)
{
  if (!r.pData) return kAudioUnitErr_InvalidProperty;
  const WDL_String* label = nullptr;
  if (r.scope == kAudioUnitScope_Input)
  {
    if (r.element >= 2) return kAudioUnitErr_InvalidElement;
    label = p.GetInputBusLabel(static_cast<int>(r.element));
  }
  else
  {
    label = r.element <= 0x7fffffffU ? p.GetOutputBusLabel(static_cast<int>(r.element)) : nullptr;
  }
  if (!label) return kAudioUnitErr_InvalidElement;
  return r.Answer(MakeCFString(label->Get()));
}

ComponentResult AUProperties::GetCocoaUI(IPlugAU& p, const AUPropertyRead& r)
{
  if (!r.pData) return noErr;
  CFStringRef bundleID = MakeCFString(p.GetBundleID());
  CFBundleRef bundle = bundleID ? CFBundleGetBundleWithIdentifier(bundleID) : nullptr;
  if (bundleID) CFRelease(bundleID);
  CFURLRef url = bundle ? CFBundleCopyBundleURL(bundle) : nullptr;
  // A host cannot load a view class from an unknown place.
  if (!url) return kAudioUnitErr_InvalidProperty;
  AudioUnitCocoaViewInfo info;
  info.mCocoaAUViewBundleLocation = url;
  info.mCocoaAUViewClass[0] = MakeCFString(p.GetViewFactoryClassName());
  return r.Answer(info);
}

ComponentResult AUProperties::GetLayoutTags(IPlugAU& p, const AUPropertyRead& r)
{
  if (!p.GetBus(r.scope, r.element)) return kAudioUnitErr_InvalidElement;
  if (!r.pData) return noErr;
  if (p.GetChannelLayoutTags(r.scope, r.element, static_cast<AudioChannelLayoutTag*>(r.pData)) > 0) return noErr;
  return kAudioUnitErr_InvalidProperty;
}

ComponentResult AUProperties::GetStringFromValue(IPlugAU& p, const AUPropertyRead& r)
{
  auto fill = [&p](AudioUnitParameterStringFromValue& sfv, IParam& param) -> ComponentResult {
    const double value = sfv.inValue ? *sfv.inValue : param.Value();
    param.GetDisplayForHost(value, false, p.mParamValueString, sizeof(p.mParamValueString), true);
    sfv.outString = MakeCFString(p.mParamValueString);
    return noErr;
  };
  return AnswerParamRecord(p, r, &AudioUnitParameterStringFromValue::inParamID, fill);
}

ComponentResult AUProperties::GetParameterIDName(IPlugAU& p, const AUPropertyRead& r)
{
  auto fill = [](AudioUnitParameterIDName& idName, IParam& param) -> ComponentResult {
    char cStr[MAX_PARAM_NAME_LEN];
    snprintf(cStr, sizeof(cStr), "%s", param.GetNameForHost());
    if (idName.inDesiredLength != kAudioUnitParameterName_Full)
    {
      int n = idName.inDesiredLength < MAX_PARAM_NAME_LEN - 1 ? idName.inDesiredLength : MAX_PARAM_NAME_LEN - 1;
      if (n < 0) n = 0;
      cStr[n] = '\0';
    }
    idName.outName = MakeCFString(cStr);
    return noErr;
  };
  return AnswerParamRecord(p, r, &AudioUnitParameterIDName::inID, fill);
}

ComponentResult AUProperties::GetClumpName(IPlugAU& p, const AUPropertyRead& r)
{
  if (!r.pData) return noErr;
  AudioUnitParameterNameInfo* pClumpInfo = static_cast<AudioUnitParameterNameInfo*>(r.pData);
  const UInt32 clumpID = pClumpInfo->inID;
  if (clumpID < 1 || clumpID > static_cast<UInt32>(p.NParamGroups())) return kAudioUnitErr_PropertyNotInUse;
  pClumpInfo->outName = MakeCFString(p.GetParamGroupName(static_cast<int>(clumpID) - 1));
  return noErr;
}

ComponentResult AUProperties::GetValueFromString(IPlugAU& p, const AUPropertyRead& r)
{
  auto fill = [](AudioUnitParameterValueFromString& vfs, IParam& param) -> ComponentResult {
    if (!vfs.inString) return kAudio_ParamError;
    std::string text;
    if (!GetUTF8(vfs.inString, &text)) return kAudioUnitErr_InvalidPropertyValue;
    if (param.GetNDisplayTexts())
    {
      // A text that names no entry leaves the host's value as it was.
      int key = 0;
      if (param.MapDisplayText(text.c_str(), &key)) vfs.outValue = static_cast<AudioUnitParameterValue>(key);
    }
    else
    {
      double v = atof(text.c_str());
      if (param.GetNegateDisplay()) v = -v;
      vfs.outValue = static_cast<AudioUnitParameterValue>(v);
    }
    return noErr;
  };
  return AnswerParamRecord(p, r, &AudioUnitParameterValueFromString::inParamID, fill);
}

ComponentResult AUProperties::GetInstrumentCount(IPlugAU&, const AUPropertyRead& r)
{
  return r.Answer(static_cast<UInt32>(1));
}

// ---------------------------------------------------------------------------
// Writes

ComponentResult AUProperties::SetClassInfo(IPlugAU& p, const AUPropertyWrite& w)
{
  return p.SetState(w.Value<CFPropertyListRef>());
}

ComponentResult AUProperties::SetConnection(IPlugAU& p, const AUPropertyWrite& w)
{
  return p.MakeConnection(w.scope, w.Value<AudioUnitConnection>());
}

ComponentResult AUProperties::SetSampleRate(IPlugAU& p, const AUPropertyWrite& w)
{
  const Float64 sr = w.Value<Float64>();
  if (!au_support::UsableSampleRate(sr)) return kAudioUnitErr_InvalidPropertyValue;
  p.SetSampleRate(sr);
  p.Reset();
  return noErr;
}

ComponentResult AUProperties::SetStreamFormat(IPlugAU& p, const AUPropertyWrite& w)
{
  const AudioStreamBasicDescription asbd = w.Value<AudioStreamBasicDescription>();
  return p.SetStreamFormat(w.scope, w.element, &asbd);
}

ComponentResult AUProperties::SetMaximumFrames(IPlugAU& p, const AUPropertyWrite& w)
{
  const UInt32 n = w.Value<UInt32>();
  // The scratch is block size x channels floats; keep it addressable.
  if (n < 1 || n > (1U << 20)) return kAudioUnitErr_InvalidPropertyValue;
  p.SetBlockSize(static_cast<int>(n));
  if (p.GetBlockSize() != static_cast<int>(n)) return kAudioUnitErr_InvalidPropertyValue;
  p.Reset();
  return noErr;
}

ComponentResult AUProperties::SetBypass(IPlugAU& p, const AUPropertyWrite& w)
{
  const bool bypassed = w.Value<UInt32>() != 0;
  p.SetBypassed(bypassed);
  p.OnActivate(!bypassed);
  p.Reset();
  return noErr;
}

ComponentResult AUProperties::SetRenderCallback(IPlugAU& p, const AUPropertyWrite& w)
{
  if (w.scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidProperty;
  return p.SetInputCallback(w.element, w.Value<AURenderCallbackStruct>());
}

ComponentResult AUProperties::SetHostCallbacks(IPlugAU& p, const AUPropertyWrite& w)
{
  p.SetHostCallbacks(w.Value<HostCallbackInfo>());
  return noErr;
}

ComponentResult AUProperties::SetCurrentPreset(IPlugAU& p, const AUPropertyWrite& w)
{
  // A preset that does not exist changes nothing and is not an error.
  p.RestorePreset(w.Value<AUPreset>().presetNumber);
  return noErr;
}

ComponentResult AUProperties::SetOfflineRender(IPlugAU& p, const AUPropertyWrite& w)
{
  p.mIsOffline = w.Value<UInt32>() != 0;
  return noErr;
}

ComponentResult AUProperties::SetHostIdentifier(IPlugAU& p, const AUPropertyWrite& w)
{
  const AUHostIdentifier hostID = w.Value<AUHostIdentifier>();
  std::string name;
  GetUTF8(hostID.hostName, &name);
  const int version = (hostID.hostVersion.majorRev << 16) + ((hostID.hostVersion.minorAndBugRev & 0xF0) << 4) +
                      (hostID.hostVersion.minorAndBugRev & 0x0F);
  p.SetHost(name.c_str(), version);
  p.OnHostIdentified();
  return noErr;
}

// ---------------------------------------------------------------------------
// Parameter information

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

