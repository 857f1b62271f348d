// Saving and restoring through the class-info dictionary, the factory
// presets and the current preset, through the registry.
#include "AUTestHost.h"

#include <initializer_list>
#include <string>
#include <utility>

#include "au/CFAUPreset.h"

using namespace tremolo_config;

namespace
{

const void* Value(CFDictionaryRef dict, const char* key)
{
  CFStringRef k = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
  const void* v = CFDictionaryGetValue(dict, k);
  CFRelease(k);
  return v;
}

SInt32 IntValue(CFDictionaryRef dict, const char* key)
{
  const void* v = Value(dict, key);
  SInt32 n = -1;
  EXPECT_TRUE(v && CFGetTypeID(v) == CFNumberGetTypeID()) << key;
  if (v) CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt32Type, &n);
  return n;
}

// A mutable copy of dict.
CFMutableDictionaryRef Copy(CFDictionaryRef dict)
{
  CFMutableDictionaryRef copy =
    CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  const CFIndex n = CFDictionaryGetCount(dict);
  std::vector<const void*> keys(n), values(n);
  CFDictionaryGetKeysAndValues(dict, keys.data(), values.data());
  for (CFIndex i = 0; i < n; ++i) CFDictionarySetValue(copy, keys[i], values[i]);
  return copy;
}

void Put(CFMutableDictionaryRef dict, const char* key, CFTypeRef value)
{
  CFStringRef k = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
  if (value) CFDictionarySetValue(dict, k, value);
  else CFDictionaryRemoveValue(dict, k);
  CFRelease(k);
}

CFDataRef Bytes(size_t n)
{
  std::vector<UInt8> bytes(n, 0);
  return CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(n));
}

} // namespace

class AUStateTest : public AUHostTest
{
protected:
  CFDictionaryRef saved = nullptr;

  void TearDown() override
  {
    if (saved) CFRelease(saved);
    AUHostTest::TearDown();
  }

  CFDictionaryRef GetClassInfo()
  {
    CFPropertyListRef dict = nullptr;
    EXPECT_EQ(GetProp(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, dict), noErr);
    return static_cast<CFDictionaryRef>(dict);
  }
  OSStatus SetClassInfo(CFPropertyListRef dict)
  {
    return SetProp(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, dict);
  }
  std::vector<float> Values()
  {
    std::vector<float> v;
    for (int i = 0; i < kNumParams; ++i) v.push_back(GetParam(i));
    return v;
  }
  AUPreset CurrentPreset()
  {
    AUPreset p = {-1, nullptr};
    EXPECT_EQ(GetProp(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, p), noErr);
    return p;
  }
  std::string CurrentPresetName()
  {
    AUPreset p = CurrentPreset();
    std::string name = ToStd(p.presetName);
    if (p.presetName) CFRelease(p.presetName);
    return name;
  }
  // Moves every parameter away from the saved state and selects another preset.
  void Disturb()
  {
    AUPreset p = {3, nullptr};
    ASSERT_EQ(SetProp(kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, p), noErr);
    ASSERT_EQ(SetParam(kFrequency, 21.0f), noErr);
  }
  // Sets a copy of `saved` with these keys changed (a null value removes
  // the key) as the class info.
  OSStatus SetSavedWith(std::initializer_list<std::pair<const char*, CFTypeRef>> changes)
  {
    CFMutableDictionaryRef changed = Copy(saved);
    for (const auto& c : changes) Put(changed, c.first, c.second);
    const OSStatus status = SetClassInfo(changed);
    CFRelease(changed);
    return status;
  }
};

// ---- factory and current presets --------------------------------------------------------

TEST_F(AUStateTest, FactoryPresetsAreTheFivePresetsInOrder)
{
  CFArrayRef presets = nullptr;
  ASSERT_EQ(GetProp(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, presets), noErr);
  ASSERT_NE(presets, nullptr);
  ASSERT_EQ(CFArrayGetCount(presets), kNumPresets);
  for (int i = 0; i < kNumPresets; ++i)
  {
    // Hosts read the values as AUPreset records.
    const AUPreset* p = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i));
    EXPECT_EQ(p->presetNumber, i);
    EXPECT_EQ(ToStd(p->presetName), kTremoloPresets[i].name);
    EXPECT_EQ(static_cast<const CFAUPreset*>(static_cast<const void*>(p))->retainCount, 1) << "the array's reference";
  }
  CFRelease(presets);
}

TEST_F(AUStateTest, TheCurrentPresetIsSelectedAndReportedByNumber)
{
  EXPECT_EQ(CurrentPresetName(), "Default");
  AUPreset p = {1, nullptr};
  ASSERT_EQ(SetProp(kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, p), noErr);
  AUPreset now = CurrentPreset();
  EXPECT_EQ(now.presetNumber, 1);
  EXPECT_EQ(ToStd(now.presetName), "Gated");
  CFRelease(now.presetName);
  const TremoloPreset& gated = kTremoloPresets[1];
  EXPECT_FLOAT_EQ(GetParam(kDepth), static_cast<float>(gated.depth));
  EXPECT_FLOAT_EQ(GetParam(kNote), static_cast<float>(gated.note));
  EXPECT_FLOAT_EQ(GetParam(kTempoSync), static_cast<float>(gated.tempoSync));

  // A preset that does not exist changes nothing and is not an error.
  const std::vector<float> before = Values();
  p.presetNumber = 99;
  EXPECT_EQ(SetProp(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, p), noErr);
  EXPECT_EQ(Values(), before);
  EXPECT_EQ(CurrentPresetName(), "Gated");
}

// ---- class info -----------------------------------------------------------------------------------

TEST_F(AUStateTest, ClassInfoHoldsTheIdentityThePresetNameAndTheParameterBlock)
{
  ASSERT_EQ(SetParam(kFrequency, 9.5f), noErr);
  saved = GetClassInfo();
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(CFDictionaryGetCount(saved), 6);
  EXPECT_EQ(IntValue(saved, "version"), kVendorVersion);
  EXPECT_EQ(static_cast<UInt32>(IntValue(saved, "type")), static_cast<UInt32>(kAudioUnitType_Effect));
  EXPECT_EQ(IntValue(saved, "subtype"), kUniqueID);
  EXPECT_EQ(IntValue(saved, "manufacturer"), kMfrID);
  const void* name = Value(saved, "name");
  ASSERT_TRUE(name && CFGetTypeID(name) == CFStringGetTypeID());
  EXPECT_EQ(ToStd(static_cast<CFStringRef>(name)), "Default");
  const void* data = Value(saved, "data");
  ASSERT_TRUE(data && CFGetTypeID(data) == CFDataGetTypeID());
  CFDataRef block = static_cast<CFDataRef>(data);
  ASSERT_EQ(CFDataGetLength(block), 8 * kNumParams);
  for (int i = 0; i < kNumParams; ++i)
  {
    double v;
    memcpy(&v, CFDataGetBytePtr(block) + 8 * i, 8);
    EXPECT_FLOAT_EQ(static_cast<float>(v), GetParam(i)) << "parameter " << i;
  }
  EXPECT_EQ(CFGetRetainCount(saved), 1) << "the caller holds the only reference";
}

TEST_F(AUStateTest, ClassInfoRoundTripRestoresTheNameAndTheValues)
{
  ASSERT_EQ(SetParam(kFrequency, 9.5f), noErr);
  ASSERT_EQ(SetParam(kMode, 1.0f), noErr);
  const std::vector<float> expected = Values();
  saved = GetClassInfo();
  Disturb();
  ASSERT_NE(Values(), expected);
  ASSERT_EQ(CurrentPresetName(), "Soft Pan");

  ASSERT_EQ(SetClassInfo(saved), noErr);
  EXPECT_EQ(Values(), expected);
  EXPECT_EQ(CurrentPresetName(), "Default");
}

TEST_F(AUStateTest, ADictionaryWithoutANameRestoresTheValuesAndKeepsThePreset)
{
  ASSERT_EQ(SetParam(kFrequency, 9.5f), noErr);
  const std::vector<float> expected = Values();
  saved = GetClassInfo();
  Disturb();
  EXPECT_EQ(SetSavedWith({{"name", nullptr}}), noErr);
  EXPECT_EQ(Values(), expected);
  EXPECT_EQ(CurrentPresetName(), "Soft Pan");
}

TEST_F(AUStateTest, DictionariesWithMissingOrWronglyTypedKeysChangeNothing)
{
  saved = GetClassInfo();
  Disturb();
  const std::vector<float> before = Values();
  CFStringRef text = CFSTR("not a number");
  SInt32 seven = 7;
  CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &seven);
  struct Case
  {
    const char* key;
    CFTypeRef value; // null: key removed
  };
  const Case cases[] = {
    {"version", nullptr},     {"type", nullptr},   {"subtype", nullptr},      {"manufacturer", nullptr},
    {"version", text},   {"manufacturer", text},    {"name", number},
    {"subtype", number},      {"data", text},
  };
  for (const Case& c : cases)
  {
    EXPECT_EQ(SetSavedWith({{c.key, c.value}}), kAudioUnitErr_InvalidPropertyValue) << c.key;
    EXPECT_EQ(Values(), before) << c.key;
    EXPECT_EQ(CurrentPresetName(), "Soft Pan") << c.key;
  }
  CFRelease(number);
}

TEST_F(AUStateTest, ShortOrOversizedDataBlocksAreRefusedWhole)
{
  saved = GetClassInfo();
  Disturb();
  const std::vector<float> before = Values();
  for (size_t n : {size_t(0), size_t(8), size_t(8 * kNumParams - 1), size_t(8 * kNumParams + 8), size_t(4096)})
  {
    CFDataRef data = Bytes(n);
    EXPECT_EQ(SetSavedWith({{"data", data}}), kAudioUnitErr_InvalidPropertyValue) << n << " bytes";
    EXPECT_EQ(Values(), before) << n << " bytes";
    EXPECT_EQ(CurrentPresetName(), "Soft Pan") << n << " bytes";
    CFRelease(data);
  }
}

TEST_F(AUStateTest, WithoutDataTheNamedPresetIsStillRestoredButTheAnswerIsAnError)
{
  saved = GetClassInfo();
  EXPECT_EQ(SetSavedWith({{"data", nullptr}, {"name", CFSTR("Gated")}}), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(CurrentPresetName(), "Gated");
  EXPECT_FLOAT_EQ(GetParam(kDepth), static_cast<float>(kTremoloPresets[1].depth));
}

TEST_F(AUStateTest, ANameThatMatchesNoPresetRestoresOnlyTheData)
{
  ASSERT_EQ(SetParam(kVolume, 0.4f), noErr);
  const std::vector<float> expected = Values();
  saved = GetClassInfo();
  Disturb();
  const CFStringRef ownName = CFSTR("A name of a user's own that is longer than sixty-four bytes in all, for sure");
  EXPECT_EQ(SetSavedWith({{"name", ownName}}), noErr);
  EXPECT_EQ(Values(), expected);
  EXPECT_EQ(CurrentPresetName(), "Soft Pan");
}

TEST_F(AUStateTest, AnotherUnitsDictionaryIsRefused)
{
  saved = GetClassInfo();
  Disturb();
  const std::vector<float> before = Values();
  SInt32 code = QUILL_FOUR_CC('O', 't', 'h', 'r');
  CFNumberRef n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &code);
  EXPECT_EQ(SetSavedWith({{"subtype", n}}), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(Values(), before);
  CFRelease(n);
}

TEST_F(AUStateTest, ClassInfoWritesThatAreNotDictionariesAreRefused)
{
  EXPECT_EQ(SetClassInfo(nullptr), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(SetClassInfo(CFSTR("a string")), kAudioUnitErr_InvalidPropertyValue);
  CFPropertyListRef none = nullptr;
  EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &none, 4),
            kAudio_ParamError);
  EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, nullptr, 8),
            kAudio_ParamError);
}
