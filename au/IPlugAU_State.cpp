// State: the class-info dictionary a host saves and restores, and the
// factory presets it lists.
#include "au/IPlugAU.h"

#include "au/AUSupport.h"
#include "au/CFAUPreset.h"

using au_support::MakeCFString;

namespace
{

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


ComponentResult IPlugAU::CopyFactoryPresets(CFArrayRef* pPresets)
{
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
  *pPresets = presetArray;
  return noErr;
}
