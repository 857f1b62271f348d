// The component entry and the property protocol, through the registry.
#include "AUTestHost.h"

#include <string>

using namespace tremolo_config;

namespace
{

struct InfoAnswer
{
  OSStatus status;
  UInt32 size;
  Boolean writable;
};

InfoAnswer Info(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element = 0)
{
  InfoAnswer a{0, 0xDEAD, 7};
  a.status = AudioUnitGetPropertyInfo(unit, id, scope, element, &a.size, &a.writable);
  return a;
}

} // namespace

// ---- open, can-do, version, close ----------------------------------------------

TEST_F(AUHostTest, CanDoAnswersOneExactlyForTheImplementedSelectors)
{
  for (int s = -4; s <= 20; ++s)
  {
    const bool expected = (s >= 1 && s <= 7) || (s >= 9 && s <= 11) || (s >= 14 && s <= 17);
    EXPECT_EQ(ComponentFunctionImplemented(unit, static_cast<SInt16>(s)), expected ? 1 : 0) << "selector " << s;
  }
  EXPECT_EQ(ComponentFunctionImplemented(unit, kMusicDeviceMIDIEventSelect), 0);
}

TEST_F(AUHostTest, VersionIsThePackedPlugInVersion)
{
  EXPECT_EQ(GetComponentVersion(unit), kVendorVersion);
}

TEST_F(AUHostTest, OpenRegistersThePlugInAsStorageAndDropsUnfilledPresets)
{
  ASSERT_NE(Plug(), nullptr);
  EXPECT_EQ(Plug()->GetComponentInstance(), unit);
  EXPECT_EQ(Plug()->NPresets(), kNumPresets);
  EXPECT_EQ(Plug()->GetHost(), kHostUnknown) << "identified at open from the main bundle";
}

TEST_F(AUHostTest, InstrumentSelectorsAreAnsweredWithoutEffect)
{
  EXPECT_EQ(MusicDeviceMIDIEvent(unit, 0x90, 60, 100, 0), noErr);
  const UInt8 sysex[] = {0xF0, 0x7E, 0xF7};
  EXPECT_EQ(MusicDeviceSysEx(unit, sysex, sizeof(sysex)), noErr);
  EXPECT_EQ(MusicDeviceSysEx(unit, nullptr, 3), kAudio_ParamError);
  MusicDeviceStdNoteParams note = {2, 64.0f, 90.0f};
  NoteInstanceID id = 0;
  EXPECT_EQ(MusicDeviceStartNote(unit, 0, 0, &id, 0, reinterpret_cast<const MusicDeviceNoteParams*>(&note)), noErr);
  EXPECT_EQ(id, 64u);
  EXPECT_EQ(MusicDeviceStopNote(unit, 0, id, 0), noErr);
  EXPECT_EQ(MusicDeviceStartNote(unit, 0, 0, &id, 0, nullptr), kAudio_ParamError);

  // Pitches and velocities no note number can hold are held at the edge of
  // the range; a NaN is refused.
  const struct
  {
    float pitch, velocity;
    OSStatus status;
    NoteInstanceID id;
  } cases[] = {
    {1e30f, 1e30f, noErr, 127},
    {-INFINITY, 64.0f, noErr, 0},
    {INFINITY, -1e30f, noErr, 127},
    {NAN, 64.0f, kAudio_ParamError, 99},
    {60.0f, NAN, kAudio_ParamError, 99},
  };
  for (const auto& c : cases)
  {
    MusicDeviceStdNoteParams odd = {2, c.pitch, c.velocity};
    id = 99;
    EXPECT_EQ(MusicDeviceStartNote(unit, 0, 0, &id, 0, reinterpret_cast<const MusicDeviceNoteParams*>(&odd)),
              c.status)
      << c.pitch << " " << c.velocity;
    EXPECT_EQ(id, c.id) << c.pitch << " " << c.velocity;
  }
}

TEST_F(AUHostTest, UnknownSelectorsAreRefused)
{
  EXPECT_EQ(QuillCallComponent(unit, 8), badComponentSelector);
  EXPECT_EQ(QuillCallComponent(unit, 0x200), badComponentSelector);
}

TEST(AUHostLifecycle, CloseDestroysThePlugInAndTheHandleGoesStale)
{
  AudioUnit unit = nullptr;
  ASSERT_EQ(OpenAComponent(TremoloComponent(), &unit), noErr);
  EXPECT_EQ(CloseComponent(unit), noErr);
  Float64 sr = 0;
  UInt32 size = sizeof(sr);
  EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &sr, &size),
            badComponentInstance);
}

TEST(AUHostLifecycle, EntryWithoutStorageRefusesEverythingButOpenAndClose)
{
  unsigned char block[offsetof(ComponentParameters, params) + 4 * sizeof(long)] = {};
  ComponentParameters* cp = reinterpret_cast<ComponentParameters*>(block);
  cp->what = kAudioUnitGetPropertySelect;
  EXPECT_EQ(QuillbarTremolo_Entry(cp, nullptr), badComponentInstance);
  cp->what = kComponentCloseSelect;
  EXPECT_EQ(QuillbarTremolo_Entry(cp, nullptr), noErr);
  EXPECT_EQ(QuillbarTremolo_Entry(nullptr, nullptr), badComponentSelector);
}

// ---- property information ----------------------------------------------------------

TEST_F(AUHostTest, PropertyInfoReportsTheSizesAndWritableFlagsOfEveryProperty)
{
  struct Row
  {
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    OSStatus status;
    UInt32 size;
    bool writable;
  };
  const Row rows[] = {
    {kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, noErr, 8, true},
    {kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, noErr, 16, true},
    {kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, noErr, 8, true},
    {kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, noErr, 4 * kNumParams, false},
    {kAudioUnitProperty_ParameterList, kAudioUnitScope_Input, noErr, 0, false},
    {kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, noErr, 104, false},
    {kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, kAudioUnitErr_InvalidElement, 8, false},
    {kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, noErr, 40, true},
    {kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, noErr, 40, true},
    {kAudioUnitProperty_ElementCount, kAudioUnitScope_Input, noErr, 4, false},
    {kAudioUnitProperty_Latency, kAudioUnitScope_Global, noErr, 8, false},
    {kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, noErr, 8, false},
    {kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, noErr, 4, true},
    {kAudioUnitProperty_TailTime, kAudioUnitScope_Global, noErr, 8, false},
    {kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, noErr, 4, true},
    {kAudioUnitProperty_LastRenderError, kAudioUnitScope_Global, noErr, 4, false},
    {kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, noErr, 16, true},
    {kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, noErr, 8, false},
    {kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, noErr, 32, true},
    {kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, noErr, 16, true},
    {kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, noErr, 16, true},
    {kAudioUnitProperty_ElementName, kAudioUnitScope_Input, kAudioUnitErr_InvalidProperty, 8, false},
    {kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, noErr, 24, false},
    {kAudioUnitProperty_ParameterIDName, kAudioUnitScope_Global, noErr, 16, false},
    {kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, noErr, 16, false},
    {kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, noErr, 24, false},
  };
  for (const Row& r : rows)
  {
    InfoAnswer a = Info(unit, r.id, r.scope);
    EXPECT_EQ(a.status, r.status) << "property " << r.id << " scope " << r.scope;
    EXPECT_EQ(a.size, r.size) << "property " << r.id << " scope " << r.scope;
    EXPECT_EQ(a.writable != 0, r.writable) << "property " << r.id << " scope " << r.scope;
  }
}

TEST_F(AUHostTest, RefusedPropertiesAnswerInvalidPropertyOrValue)
{
  for (AudioUnitPropertyID id : {6u, 7u, 9u, 10u, 15u, 17u, 25u, 26u, 29u, 37u, 39u, 46u, 1000u, 123456u})
    EXPECT_EQ(Info(unit, id, kAudioUnitScope_Global).status, kAudioUnitErr_InvalidProperty) << "property " << id;
  EXPECT_EQ(Info(unit, kAudioUnitProperty_AudioChannelLayout, kAudioUnitScope_Output).status,
            kAudioUnitErr_InvalidPropertyValue);
  // An effect with one output bus publishes no layout tags.
  EXPECT_EQ(Info(unit, kAudioUnitProperty_SupportedChannelLayoutTags, kAudioUnitScope_Output).status,
            kAudioUnitErr_InvalidProperty);
}

TEST_F(AUHostTest, PropertyInfoAcceptsNullOutPointers)
{
  EXPECT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, nullptr, nullptr),
            noErr);
}

// ---- reading properties ------------------------------------------------------------

TEST_F(AUHostTest, ReadsWithoutSizeOrWithTooSmallABufferAreRefused)
{
  Float64 sr = 0;
  EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &sr, nullptr),
            kAudio_ParamError);
  unsigned char small[4] = {1, 2, 3, 4};
  UInt32 size = sizeof(small);
  EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, small, &size),
            kAudio_ParamError);
  EXPECT_EQ(small[0], 1) << "nothing written into a short buffer";
  UInt32 ids[3];
  size = sizeof(ids);
  EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids, &size),
            kAudio_ParamError);
}

TEST_F(AUHostTest, ParameterListHoldsTheIdsInOrder)
{
  UInt32 ids[kNumParams + 1];
  UInt32 size = sizeof(ids);
  ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids, &size),
            noErr);
  ASSERT_EQ(size, 4u * kNumParams);
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(ids[i], static_cast<UInt32>(i));
}

TEST_F(AUHostTest, ParameterInfoMatchesTheParameterTable)
{
  ASSERT_EQ(SetParam(kDepth, 0.9f), noErr);
  ASSERT_EQ(SetParam(kFrequency, 21.0f), noErr);
  for (int i = 0; i < kNumParams; ++i)
  {
    AudioUnitParameterInfo info;
    ASSERT_EQ(GetProp(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, i, info), noErr);
    const TremoloParamRow& row = kTremoloParams[i];
    EXPECT_STREQ(info.name, row.name);
    EXPECT_EQ(ToStd(info.cfNameString), row.name);
    EXPECT_FLOAT_EQ(info.minValue, static_cast<float>(row.minVal));
    EXPECT_FLOAT_EQ(info.maxValue, static_cast<float>(row.maxVal));
    EXPECT_FLOAT_EQ(info.defaultValue, static_cast<float>(row.defaultVal)) << "the default, whatever the value";
    EXPECT_EQ(info.flags & 0x48000010u, 0x48000010u);
    EXPECT_EQ(info.unit, TremoloParamIsInt(i) ? kAudioUnitParameterUnit_Indexed : kAudioUnitParameterUnit_Generic)
      << row.name;
    if (info.cfNameString) CFRelease(info.cfNameString);
    if (info.unitName) CFRelease(info.unitName);
  }
}

TEST_F(AUHostTest, ParameterInfoRefusesOtherScopesAndUnknownParameters)
{
  AudioUnitParameterInfo info;
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, kNumParams, info),
            kAudioUnitErr_InvalidElement);
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, 0xFFFFFFFF, info),
            kAudioUnitErr_InvalidElement);
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Input, 0, info), kAudioUnitErr_InvalidScope);
}

TEST_F(AUHostTest, ElementCountsSampleRateBlockSizeLatencyAndChannelPairs)
{
  UInt32 n = 0;
  const std::pair<AudioUnitScope, UInt32> counts[] = {{kAudioUnitScope_Global, 1},
                                                      {kAudioUnitScope_Input, 1},
                                                      {kAudioUnitScope_Output, 1},
                                                      {kAudioUnitScope_Group, 0}};
  for (auto [scope, expected] : counts)
  {
    ASSERT_EQ(GetProp(kAudioUnitProperty_ElementCount, scope, 0, n), noErr);
    EXPECT_EQ(n, expected) << "scope " << scope;
  }
  ASSERT_EQ(GetProp(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, n), noErr);
  EXPECT_EQ(n, 1024u);

  Float64 latency = -1;
  ASSERT_EQ(GetProp(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, latency), noErr);
  EXPECT_EQ(latency, 0.0);

  AUChannelInfo pairs[4];
  UInt32 size = sizeof(pairs);
  ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, pairs,
                                 &size),
            noErr);
  ASSERT_EQ(size, 2 * sizeof(AUChannelInfo));
  EXPECT_EQ(pairs[0].inChannels, 1);
  EXPECT_EQ(pairs[0].outChannels, 1);
  EXPECT_EQ(pairs[1].inChannels, 2);
  EXPECT_EQ(pairs[1].outChannels, 2);
}

TEST_F(AUHostTest, ElementNamesAreTheBusLabels)
{
  CFStringRef name = nullptr;
  ASSERT_EQ(GetProp(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, name), noErr);
  EXPECT_EQ(ToStd(name), "input");
  CFRelease(name);
  ASSERT_EQ(GetProp(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 1, name), noErr);
  EXPECT_EQ(ToStd(name), "aux input");
  CFRelease(name);
  ASSERT_EQ(GetProp(kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 0, name), noErr);
  EXPECT_EQ(ToStd(name), "output");
  CFRelease(name);
  EXPECT_EQ(GetProp(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 2, name), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(GetProp(kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 1, name), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(GetProp(kAudioUnitProperty_ElementName, kAudioUnitScope_Global, 0, name), kAudioUnitErr_InvalidScope);
}

TEST_F(AUHostTest, ParameterTextsConvertBothWays)
{
  // Value to text through the parameter's own display.
  AudioUnitParameterValue v = 0.25f;
  AudioUnitParameterStringFromValue sfv = {kDepth, &v, nullptr};
  ASSERT_EQ(GetProp(kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, sfv), noErr);
  char expected[64];
  Plug()->GetParam(kDepth)->GetDisplayForHost(0.25, false, expected, sizeof(expected), true);
  EXPECT_EQ(ToStd(sfv.outString), expected);
  CFRelease(sfv.outString);

  // Text to value: a number parameter reads the number.
  AudioUnitParameterValueFromString vfs = {kVolume, CFSTR("1.5"), -7.0f};
  ASSERT_EQ(GetProp(kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, vfs), noErr);
  EXPECT_FLOAT_EQ(vfs.outValue, 1.5f);

  // Names cut to the desired length.
  AudioUnitParameterIDName idName = {kFrequency, 4, nullptr};
  ASSERT_EQ(GetProp(kAudioUnitProperty_ParameterIDName, kAudioUnitScope_Global, 0, idName), noErr);
  EXPECT_EQ(ToStd(idName.outName), "Freq");
  CFRelease(idName.outName);
  idName = {kFrequency, kAudioUnitParameterName_Full, nullptr};
  ASSERT_EQ(GetProp(kAudioUnitProperty_ParameterIDName, kAudioUnitScope_Global, 0, idName), noErr);
  EXPECT_EQ(ToStd(idName.outName), "Frequency");
  CFRelease(idName.outName);
}

TEST_F(AUHostTest, ParameterTextsOutsideTheGlobalScopeAreRefusedAndWriteNothing)
{
  // A host that trusted noErr would read whatever its field held.
  CFStringRef untouched = CFSTR("untouched");
  AudioUnitParameterValue v = 0.25f;
  AudioUnitParameterStringFromValue sfv = {kDepth, &v, untouched};
  AudioUnitParameterIDName idName = {kDepth, kAudioUnitParameterName_Full, untouched};
  AudioUnitParameterNameInfo clump = {1, -1, untouched};
  AudioUnitParameterValueFromString vfs = {kDepth, CFSTR("0.5"), -7.0f};
  struct Case
  {
    AudioUnitPropertyID id;
    void* data;
    UInt32 size;
  };
  const Case cases[] = {
    {kAudioUnitProperty_ParameterStringFromValue, &sfv, sizeof(sfv)},
    {kAudioUnitProperty_ParameterIDName, &idName, sizeof(idName)},
    {kAudioUnitProperty_ParameterClumpName, &clump, sizeof(clump)},
    {kAudioUnitProperty_ParameterValueFromString, &vfs, sizeof(vfs)},
  };
  for (const Case& c : cases)
  {
    UInt32 size = c.size;
    EXPECT_EQ(AudioUnitGetProperty(unit, c.id, kAudioUnitScope_Input, 0, c.data, &size), kAudioUnitErr_InvalidScope)
      << "property " << c.id;
  }
  EXPECT_EQ(sfv.outString, untouched);
  EXPECT_EQ(idName.outName, untouched);
  EXPECT_EQ(clump.outName, untouched);
  EXPECT_EQ(vfs.outValue, -7.0f);
}

TEST_F(AUHostTest, LongTextsAreReadWhole)
{
  // A number followed by 300 spaces is still that number.
  const std::string text = "1.5" + std::string(300, ' ');
  CFStringRef cf = CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
  AudioUnitParameterValueFromString vfs = {kVolume, cf, -7.0f};
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, vfs), noErr);
  EXPECT_FLOAT_EQ(vfs.outValue, 1.5f);
  CFRelease(cf);

  // A host name longer than any fixed buffer is still recognised.
  const std::string name = "reaper" + std::string(300, 'x');
  cf = CFStringCreateWithCString(kCFAllocatorDefault, name.c_str(), kCFStringEncodingUTF8);
  AUHostIdentifier id;
  id.hostName = cf;
  id.hostVersion = AUNumVersion{0, 0, 0, 1};
  ASSERT_EQ(SetProp(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, id), noErr);
  EXPECT_EQ(Plug()->GetHost(), kHostReaper);
  CFRelease(cf);
}

TEST_F(AUHostTest, ParameterTextsForUnknownParametersAreRefused)
{
  AudioUnitParameterStringFromValue sfv = {kNumParams, nullptr, nullptr};
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, sfv),
            kAudioUnitErr_InvalidParameter);
  AudioUnitParameterIDName idName = {0xFFFFFFFF, 3, nullptr};
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterIDName, kAudioUnitScope_Global, 0, idName),
            kAudioUnitErr_InvalidParameter);
  AudioUnitParameterValueFromString vfs = {kNumParams, CFSTR("1"), 0.0f};
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, vfs),
            kAudioUnitErr_InvalidParameter);
  // No groups: every clump ID is out of use.
  AudioUnitParameterNameInfo clump = {1, -1, nullptr};
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0, clump),
            kAudioUnitErr_PropertyNotInUse);
}

TEST_F(AUHostTest, FastDispatchHandsOutTheThreeProcedures)
{
  for (AudioUnitElement sel : {6u, 7u, 14u})
  {
    void* proc = nullptr;
    UInt32 size = sizeof(proc);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, sel, &proc, &size),
              noErr);
    EXPECT_NE(proc, nullptr);
    EXPECT_EQ(size, 8u);
  }
  void* proc = nullptr;
  EXPECT_EQ(GetProp(kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, 5, proc), kAudioUnitErr_InvalidElement);
}

// ---- parameters ---------------------------------------------------------------------------

TEST_F(AUHostTest, ParametersTravelAsPlainValuesAndAreClamped)
{
  EXPECT_EQ(SetParam(kFrequency, 12.5f), noErr);
  EXPECT_FLOAT_EQ(GetParam(kFrequency), 12.5f);
  EXPECT_EQ(SetParam(kFrequency, 1000.0f), noErr);
  EXPECT_FLOAT_EQ(GetParam(kFrequency), 32.0f);
  EXPECT_EQ(SetParam(kVolume, -3.0f), noErr);
  EXPECT_FLOAT_EQ(GetParam(kVolume), 0.0f);
}

TEST_F(AUHostTest, FastDispatchParameterProceduresMatchTheSelectors)
{
  AudioUnitGetParameterProc getProc = nullptr;
  AudioUnitSetParameterProc setProc = nullptr;
  ASSERT_EQ(GetProp(kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, 6, getProc), noErr);
  ASSERT_EQ(GetProp(kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, 7, setProc), noErr);
  ASSERT_EQ(setProc(Storage(), kDepth, kAudioUnitScope_Global, 0, 0.75f, 0), noErr);
  AudioUnitParameterValue v = 0;
  ASSERT_EQ(getProc(Storage(), kDepth, kAudioUnitScope_Global, 0, &v), noErr);
  EXPECT_FLOAT_EQ(v, 0.75f);
  EXPECT_FLOAT_EQ(GetParam(kDepth), 0.75f);
}

TEST_F(AUHostTest, ParameterCallsRefuseBadIdsScopesAndPointers)
{
  AudioUnitParameterValue v = 5.0f;
  EXPECT_EQ(AudioUnitGetParameter(unit, kNumParams, kAudioUnitScope_Global, 0, &v), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitGetParameter(unit, 0xFFFFFFFF, kAudioUnitScope_Global, 0, &v), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(v, 5.0f);
  EXPECT_EQ(AudioUnitSetParameter(unit, kNumParams, kAudioUnitScope_Global, 0, 1.0f, 0),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitGetParameter(unit, kDepth, kAudioUnitScope_Input, 0, &v), kAudioUnitErr_InvalidScope);
  EXPECT_EQ(AudioUnitSetParameter(unit, kDepth, kAudioUnitScope_Output, 0, 1.0f, 0), kAudioUnitErr_InvalidScope);
  EXPECT_EQ(AudioUnitGetParameter(unit, kDepth, kAudioUnitScope_Global, 0, nullptr), kAudio_ParamError);
  EXPECT_EQ(AudioUnitSetParameter(unit, kDepth, kAudioUnitScope_Global, 0, std::nanf(""), 0),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_FLOAT_EQ(GetParam(kDepth), 0.5f);
}

TEST_F(AUHostTest, ScheduledImmediateEventsApplyInOrderAndRampsAreIgnored)
{
  AudioUnitParameterEvent events[3];
  memset(events, 0, sizeof(events));
  events[0].parameter = kDepth;
  events[0].eventType = kParameterEvent_Immediate;
  events[0].eventValues.immediate.value = 0.2f;
  events[1].parameter = kVolume;
  events[1].eventType = kParameterEvent_Ramped;
  events[1].eventValues.ramp.endValue = 0.1f;
  events[2].parameter = kDepth;
  events[2].eventType = kParameterEvent_Immediate;
  events[2].eventValues.immediate.value = 0.9f;
  ASSERT_EQ(AudioUnitScheduleParameters(unit, events, 3), noErr);
  EXPECT_FLOAT_EQ(GetParam(kDepth), 0.9f);
  EXPECT_FLOAT_EQ(GetParam(kVolume), 1.0f);

  events[0].parameter = kNumParams; // the first error is answered
  EXPECT_EQ(AudioUnitScheduleParameters(unit, events, 1), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitScheduleParameters(unit, nullptr, 2), kAudio_ParamError);
}

// ---- writing properties and listeners -------------------------------------------------

namespace
{
struct SampleRateWatch
{
  AudioUnit unit = nullptr;
  int calls = 0;
  Float64 seen = 0;
  static void Listener(void* refCon, AudioUnit unit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
  {
    SampleRateWatch* self = static_cast<SampleRateWatch*>(refCon);
    ++self->calls;
    UInt32 size = sizeof(self->seen);
    AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &self->seen, &size);
  }
};
} // namespace

TEST_F(AUHostTest, ListenersAreCalledBeforeTheSampleRateChanges)
{
  SampleRateWatch watch;
  ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_SampleRate, &SampleRateWatch::Listener, &watch),
            noErr);
  // The same procedure twice is kept once.
  ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_SampleRate, &SampleRateWatch::Listener, &watch),
            noErr);
  Float64 sr = 96000.0;
  ASSERT_EQ(SetProp(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, sr), noErr);
  EXPECT_EQ(watch.calls, 1);
  EXPECT_EQ(watch.seen, 44100.0);
  Float64 now = 0;
  ASSERT_EQ(GetProp(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, now), noErr);
  EXPECT_EQ(now, 96000.0);

  ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(unit, kAudioUnitProperty_SampleRate,
                                                        &SampleRateWatch::Listener, &watch),
            noErr);
  sr = 48000.0;
  SetProp(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, sr);
  EXPECT_EQ(watch.calls, 1) << "removed";
}

TEST_F(AUHostTest, ListenersWithOneProcedureAreToldApartByTheirUserData)
{
  SampleRateWatch a, b;
  for (SampleRateWatch* w : {&a, &b})
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_SampleRate, &SampleRateWatch::Listener, w), noErr);
  Float64 sr = 96000.0;
  ASSERT_EQ(SetProp(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, sr), noErr);
  EXPECT_EQ(a.calls, 1);
  EXPECT_EQ(b.calls, 1) << "a second listener with the same procedure";

  ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(unit, kAudioUnitProperty_SampleRate,
                                                        &SampleRateWatch::Listener, &b),
            noErr);
  ASSERT_EQ(SetProp(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, sr), noErr);
  EXPECT_EQ(a.calls, 2) << "the other registration stays";
  EXPECT_EQ(b.calls, 1) << "the removed one is never called again";
}

TEST_F(AUHostTest, WritesWithoutDataOrWithTooLittleAreRefusedAndChangeNothing)
{
  EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, nullptr, 8),
            kAudio_ParamError);
  Float64 sr = 22050.0;
  EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &sr, 4),
            kAudio_ParamError);
  sr = 0.0;
  EXPECT_EQ(SetProp(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, sr), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(Plug()->GetSampleRate(), 44100.0);

  UInt32 frames = 0;
  EXPECT_EQ(SetProp(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, frames),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(Plug()->GetBlockSize(), 1024);

  HostCallbackInfo callbacks = {};
  EXPECT_EQ(SetProp(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Input, 0, callbacks), kAudioUnitErr_InvalidScope);
  EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &callbacks, 16),
            kAudio_ParamError);
  EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &callbacks, 4),
            kAudioUnitErr_InvalidProperty);
}

TEST_F(AUHostTest, MaximumFramesPerSliceSetsTheBlockSize)
{
  UInt32 frames = 256;
  ASSERT_EQ(SetProp(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, frames), noErr);
  UInt32 now = 0;
  ASSERT_EQ(GetProp(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, now), noErr);
  EXPECT_EQ(now, 256u);
}

TEST_F(AUHostTest, HostIdentifierPacksTheVersion)
{
  AUHostIdentifier id;
  id.hostName = CFSTR("Some Host");
  id.hostVersion = AUNumVersion{0, 0, 0x21, 3};
  ASSERT_EQ(SetProp(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, id), noErr);
  EXPECT_EQ(Plug()->GetHostVersion(false), 0x30201);
  char str[32];
  Plug()->GetHostVersionStr(str);
  EXPECT_STREQ(str, "v3.2.1");
}

TEST_F(AUHostTest, OfflineRenderFlagFollowsTheHost)
{
  UInt32 on = 1;
  ASSERT_EQ(SetProp(kAudioUnitProperty_OfflineRender, kAudioUnitScope_Global, 0, on), noErr);
  EXPECT_TRUE(Plug()->IsRenderingOffline());
}

// ---- gesture and value notifications -------------------------------------------------

namespace
{
std::vector<AudioUnitEvent> gEvents;
void RecordEvent(void*, const AudioUnitEvent* e) { gEvents.push_back(*e); }
} // namespace

TEST_F(AUHostTest, EditorChangesReachTheHostAsGestureAndValueEvents)
{
  gEvents.clear();
  QuillSetAUEventObserver(&RecordEvent, nullptr);
  Plug()->BeginInformHostOfParamChange(kDepth);
  Plug()->SetParameterFromGUI(kDepth, 0.3);
  Plug()->EndInformHostOfParamChange(kDepth);
  Plug()->BeginInformHostOfParamChange(kNumParams); // not a parameter: nothing sent
  QuillSetAUEventObserver(nullptr, nullptr);

  ASSERT_EQ(gEvents.size(), 3u);
  const AudioUnitEventType types[] = {kAudioUnitEvent_BeginParameterChangeGesture,
                                      kAudioUnitEvent_ParameterValueChange, kAudioUnitEvent_EndParameterChangeGesture};
  for (int i = 0; i < 3; ++i)
  {
    EXPECT_EQ(gEvents[i].mEventType, types[i]);
    EXPECT_EQ(gEvents[i].mArgument.mParameter.mAudioUnit, unit);
    EXPECT_EQ(gEvents[i].mArgument.mParameter.mParameterID, static_cast<UInt32>(kDepth));
    EXPECT_EQ(gEvents[i].mArgument.mParameter.mScope, static_cast<UInt32>(kAudioUnitScope_Global));
  }
  EXPECT_FLOAT_EQ(GetParam(kDepth), 0.3f) << "the host reads the value back";
}

namespace
{
int gPresetListenerCalls = 0;
void PresetListener(void*, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
  if (id == kAudioUnitProperty_PresentPreset) ++gPresetListenerCalls;
}
} // namespace

TEST_F(AUHostTest, ProgramChangeCallsThePresentPresetListeners)
{
  gPresetListenerCalls = 0;
  ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_PresentPreset, &PresetListener, nullptr), noErr);
  Plug()->InformHostOfProgramChange();
  EXPECT_EQ(gPresetListenerCalls, 1);
  ASSERT_EQ(AudioUnitRemovePropertyListener(unit, kAudioUnitProperty_PresentPreset, &PresetListener), noErr);
  Plug()->InformHostOfProgramChange();
  EXPECT_EQ(gPresetListenerCalls, 1);
}

// ---- parameter information of a plug-in with groups, labels and texts -----------------

namespace
{
// Parameters: Time (ms, group Delay), Count (int, group Delay), Mix (group
// Out), Raw (no label, no group), Mode (enum with texts).
class GroupedEffect : public IPlugAU
{
public:
  GroupedEffect() : IPlugAU(IPlugInstanceInfo(), 5, "2-2", 0, "Grouped", "", "test", 0x10000, 'Grpd', 'Test', 0,
                            false, false, false, 0)
  {
    GetParam(0)->InitDouble("Time", 10.0, 0.0, 100.0, 0.1, "ms", "Delay");
    GetParam(1)->InitInt("Count", 2, 1, 8, "", "Delay");
    GetParam(2)->InitDouble("Mix", 0.5, 0.0, 1.0, 0.01, "", "Out");
    GetParam(3)->InitDouble("Raw", 0.0, -1.0, 1.0, 0.01);
    GetParam(4)->InitEnum("Mode", 0, 3);
    GetParam(4)->SetDisplayText(0, "Soft");
    GetParam(4)->SetDisplayText(1, "Medium");
    GetParam(4)->SetDisplayText(2, "Hard");
  }
};

// An entry that opens a GroupedEffect and leaves everything else to the
// adapter's entry.
ComponentResult GroupedEntry(ComponentParameters* params, Handle storage)
{
  if (params->what == kComponentOpenSelect)
  {
    ComponentInstance ci = reinterpret_cast<ComponentInstance>(params->params[0]);
    SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(static_cast<IPlugAU*>(new GroupedEffect)));
    return noErr;
  }
  return IPlugAUEntry(params, storage);
}

// The host owns the strings of an answer: they are released here, with the
// unit name's text kept in *unitName.
AudioUnitParameterInfo ParamInfo(AudioUnit unit, AudioUnitElement i, std::string* unitName = nullptr)
{
  AudioUnitParameterInfo info;
  memset(&info, 0, sizeof(info));
  UInt32 size = sizeof(info);
  EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, i, &info, &size),
            noErr);
  if (unitName) *unitName = ToStd(info.unitName);
  for (CFStringRef* s : {&info.unitName, &info.cfNameString})
  {
    if (*s) CFRelease(*s);
    *s = nullptr;
  }
  return info;
}
} // namespace

// The fixture's unit is a GroupedEffect instead of the tremolo.
class AUGroupedTest : public AUHostTest
{
protected:
  void SetUp() override
  {
    static Component c = [] {
      ComponentDescription cd = TremoloDescription();
      cd.componentSubType = 'Grpd';
      return QuillRegisterComponent(&cd, &GroupedEntry, "grouped");
    }();
    ASSERT_EQ(OpenAComponent(c, &unit), noErr);
  }
};

TEST_F(AUGroupedTest, UnitsFollowTheParameterKindAndLabel)
{
  std::string unitName;
  AudioUnitParameterInfo time = ParamInfo(unit, 0, &unitName);
  EXPECT_EQ(time.unit, static_cast<UInt32>(kAudioUnitParameterUnit_CustomUnit));
  EXPECT_EQ(unitName, "ms");
  EXPECT_EQ(ParamInfo(unit, 1).unit, static_cast<UInt32>(kAudioUnitParameterUnit_Indexed));
  EXPECT_EQ(ParamInfo(unit, 3).unit, static_cast<UInt32>(kAudioUnitParameterUnit_Generic));
  EXPECT_EQ(ParamInfo(unit, 4).unit, static_cast<UInt32>(kAudioUnitParameterUnit_Indexed));
}

TEST_F(AUGroupedTest, ParametersOfOneGroupShareAClump)
{
  const UInt32 hasClump = kAudioUnitParameterFlag_HasClump;
  AudioUnitParameterInfo time = ParamInfo(unit, 0), count = ParamInfo(unit, 1), mix = ParamInfo(unit, 2),
                         raw = ParamInfo(unit, 3);
  EXPECT_EQ(time.clumpID, 1u);
  EXPECT_EQ(count.clumpID, 1u);
  EXPECT_EQ(mix.clumpID, 2u);
  EXPECT_TRUE(time.flags & hasClump);
  EXPECT_FALSE(raw.flags & hasClump);
  // Asking again does not add the group twice.
  EXPECT_EQ(ParamInfo(unit, 2).clumpID, 2u);

  for (UInt32 id : {1u, 2u})
  {
    AudioUnitParameterNameInfo clump = {id, kAudioUnitParameterName_Full, nullptr};
    ASSERT_EQ(GetProp(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0, clump), noErr);
    EXPECT_EQ(ToStd(clump.outName), id == 1 ? "Delay" : "Out");
    CFRelease(clump.outName);
  }
  AudioUnitParameterNameInfo clump = {3, kAudioUnitParameterName_Full, nullptr};
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0, clump),
            kAudioUnitErr_PropertyNotInUse);
}

TEST_F(AUGroupedTest, ValueStringsListTheDisplayTexts)
{
  CFArrayRef texts = nullptr;
  ASSERT_EQ(GetProp(kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, 4, texts), noErr);
  ASSERT_EQ(CFArrayGetCount(texts), 3);
  EXPECT_EQ(ToStd(static_cast<CFStringRef>(CFArrayGetValueAtIndex(texts, 1))), "Medium");
  CFRelease(texts);
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, 0, texts),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(GetProp(kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, 5, texts),
            kAudioUnitErr_InvalidElement);
}

TEST_F(AUGroupedTest, TextsMapToKeysAndUnknownTextsLeaveTheValue)
{
  AudioUnitParameterValueFromString vfs = {4, CFSTR("Hard"), -1.0f};
  ASSERT_EQ(GetProp(kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, vfs), noErr);
  EXPECT_EQ(vfs.outValue, 2.0f);
  vfs = {4, CFSTR("Loud"), -1.0f};
  ASSERT_EQ(GetProp(kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, vfs), noErr);
  EXPECT_EQ(vfs.outValue, -1.0f);
}
