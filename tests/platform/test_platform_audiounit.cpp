// Host-facing Audio Unit calls: each selector's arguments land in the slots
// of the 64-bit order (instance first, then the public call's arguments in
// forward order); and Audio Unit events reach the host's observer.
#include <gtest/gtest.h>

#include "PlatformTestSupport.h"

namespace
{
class AudioUnitCallTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    gRecorder = Recorder();
    ComponentDescription d = EffectDescription(QUILL_FOUR_CC('R', 'e', 'c', '1'));
    mComponent = QuillRegisterComponent(&d, RecordingEntry, "recorder");
    mUnit = OpenComponent(mComponent);
    ASSERT_NE(mUnit, nullptr);
  }
  void TearDown() override
  {
    CloseComponent(mUnit);
    QuillUnregisterComponent(mComponent);
  }

  // The last block the unit received, checked for selector and slot count.
  const RecordedCall& Last(SInt16 what, size_t arguments)
  {
    const RecordedCall& call = gRecorder.calls.back();
    EXPECT_EQ(call.what, what);
    EXPECT_EQ(call.slots.size(), arguments + 1);
    EXPECT_EQ(call.slots[0], SlotOfPointer(mUnit)) << "the instance is always in slot 0";
    return call;
  }

  Component mComponent = nullptr;
  AudioUnit mUnit = nullptr;
};

OSStatus DummyRender(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
  return noErr;
}
void DummyListener(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {}
} // namespace

TEST_F(AudioUnitCallTest, InitializeAndUninitializeCarryNoArguments)
{
  AudioUnitInitialize(mUnit);
  Last(kAudioUnitInitializeSelect, 0);
  AudioUnitUninitialize(mUnit);
  Last(kAudioUnitUninitializeSelect, 0);
}

TEST_F(AudioUnitCallTest, PropertyCallsPlaceIdScopeElementThenThePointers)
{
  UInt32 size = 8;
  Boolean writable = 0;
  AudioUnitGetPropertyInfo(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Output, 3, &size, &writable);
  const RecordedCall& info = Last(kAudioUnitGetPropertyInfoSelect, 5);
  EXPECT_EQ(SlotAs<UInt32>(info.slots[1]), 0u);
  EXPECT_EQ(SlotAs<UInt32>(info.slots[2]), 2u);
  EXPECT_EQ(SlotAs<UInt32>(info.slots[3]), 3u);
  EXPECT_EQ(info.slots[4], SlotOfPointer(&size));
  EXPECT_EQ(info.slots[5], SlotOfPointer(&writable));

  AudioUnitGetPropertyInfo(mUnit, 2, 0, 0, nullptr, nullptr);
  EXPECT_EQ(gRecorder.calls.back().slots[4], 0) << "a NULL size pointer reaches the unit as NULL";

  double rate = 0;
  AudioUnitGetProperty(mUnit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate, &size);
  const RecordedCall& get = Last(kAudioUnitGetPropertySelect, 5);
  EXPECT_EQ(SlotAs<UInt32>(get.slots[1]), 2u);
  EXPECT_EQ(get.slots[4], SlotOfPointer(&rate));
  EXPECT_EQ(get.slots[5], SlotOfPointer(&size));

  CFDictionaryRef dict = nullptr;
  AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &dict, sizeof(dict));
  const RecordedCall& set = Last(kAudioUnitSetPropertySelect, 5);
  EXPECT_EQ(set.slots[4], SlotOfPointer(&dict));
  EXPECT_EQ(set.slots[5], 8) << "the size is a value, not a pointer";
}

TEST_F(AudioUnitCallTest, ParameterCallsKeepTheFloatBitsOfTheValue)
{
  AudioUnitParameterValue out = 0;
  AudioUnitGetParameter(mUnit, 7, kAudioUnitScope_Global, 0, &out);
  const RecordedCall& get = Last(kAudioUnitGetParameterSelect, 4);
  EXPECT_EQ(SlotAs<UInt32>(get.slots[1]), 7u);
  EXPECT_EQ(get.slots[4], SlotOfPointer(&out));

  AudioUnitSetParameter(mUnit, 4, kAudioUnitScope_Global, 0, 12.5f, 64);
  const RecordedCall& set = Last(kAudioUnitSetParameterSelect, 5);
  EXPECT_EQ(SlotAs<UInt32>(set.slots[1]), 4u);
  EXPECT_EQ(SlotAs<Float32>(set.slots[4]), 12.5f) << "not 12, and not an integer conversion";
  EXPECT_EQ(static_cast<unsigned long>(set.slots[4]) >> 32, 0ul);
  EXPECT_EQ(SlotAs<UInt32>(set.slots[5]), 64u);
}

TEST_F(AudioUnitCallTest, RenderPassesFlagsTimeStampBusFramesAndBuffersInOrder)
{
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp ts = {};
  AudioBufferList abl = {};
  AudioUnitRender(mUnit, &flags, &ts, 1, 512, &abl);
  const RecordedCall& r = Last(kAudioUnitRenderSelect, 5);
  EXPECT_EQ(r.slots[1], SlotOfPointer(&flags));
  EXPECT_EQ(r.slots[2], SlotOfPointer(&ts));
  EXPECT_EQ(SlotAs<UInt32>(r.slots[3]), 1u);
  EXPECT_EQ(SlotAs<UInt32>(r.slots[4]), 512u);
  EXPECT_EQ(r.slots[5], SlotOfPointer(&abl));
}

TEST_F(AudioUnitCallTest, ListenerAndNotifyCallsPassProcedureAndUserData)
{
  int user = 0;
  AudioUnitAddPropertyListener(mUnit, kAudioUnitProperty_SampleRate, DummyListener, &user);
  const RecordedCall& add = Last(kAudioUnitAddPropertyListenerSelect, 3);
  EXPECT_EQ(SlotAs<UInt32>(add.slots[1]), 2u);
  EXPECT_EQ(add.slots[2], reinterpret_cast<long>(&DummyListener));
  EXPECT_EQ(add.slots[3], SlotOfPointer(&user));

  AudioUnitRemovePropertyListener(mUnit, kAudioUnitProperty_SampleRate, DummyListener);
  Last(kAudioUnitRemovePropertyListenerSelect, 2);
  AudioUnitRemovePropertyListenerWithUserData(mUnit, kAudioUnitProperty_SampleRate, DummyListener, &user);
  EXPECT_EQ(Last(kAudioUnitRemovePropertyListenerWithUserDataSelect, 3).slots[3], SlotOfPointer(&user));

  AudioUnitAddRenderNotify(mUnit, DummyRender, &user);
  const RecordedCall& notify = Last(kAudioUnitAddRenderNotifySelect, 2);
  EXPECT_EQ(notify.slots[1], reinterpret_cast<long>(&DummyRender));
  EXPECT_EQ(notify.slots[2], SlotOfPointer(&user));
  AudioUnitRemoveRenderNotify(mUnit, DummyRender, &user);
  Last(kAudioUnitRemoveRenderNotifySelect, 2);
}

TEST_F(AudioUnitCallTest, ResetAndScheduleParametersPassTheirArguments)
{
  AudioUnitReset(mUnit, kAudioUnitScope_Global, 0);
  const RecordedCall& reset = Last(kAudioUnitResetSelect, 2);
  EXPECT_EQ(SlotAs<UInt32>(reset.slots[1]), 0u);

  AudioUnitParameterEvent events[2] = {};
  AudioUnitScheduleParameters(mUnit, events, 2);
  const RecordedCall& sched = Last(kAudioUnitScheduleParametersSelect, 2);
  EXPECT_EQ(sched.slots[1], SlotOfPointer(&events[0]));
  EXPECT_EQ(SlotAs<UInt32>(sched.slots[2]), 2u);
}

TEST_F(AudioUnitCallTest, MusicDeviceCallsFollowThePublicArgumentOrder)
{
  MusicDeviceMIDIEvent(mUnit, 0x90, 60, 100, 5);
  const RecordedCall& midi = Last(kMusicDeviceMIDIEventSelect, 4);
  EXPECT_EQ(SlotAs<UInt32>(midi.slots[1]), 0x90u);
  EXPECT_EQ(SlotAs<UInt32>(midi.slots[2]), 60u);
  EXPECT_EQ(SlotAs<UInt32>(midi.slots[3]), 100u);
  EXPECT_EQ(SlotAs<UInt32>(midi.slots[4]), 5u);

  NoteInstanceID note = 0;
  MusicDeviceStdNoteParams params = {2, 64.0f, 90.0f};
  MusicDeviceStartNote(mUnit, kMusicNoteEvent_Unused, 0, &note, 8,
                       reinterpret_cast<const MusicDeviceNoteParams*>(&params));
  const RecordedCall& start = Last(kMusicDeviceStartNoteSelect, 5);
  EXPECT_EQ(SlotAs<UInt32>(start.slots[1]), 0xFFFFFFFFu);
  EXPECT_EQ(start.slots[3], SlotOfPointer(&note));
  EXPECT_EQ(SlotAs<UInt32>(start.slots[4]), 8u);
  EXPECT_EQ(start.slots[5], SlotOfPointer(&params));

  MusicDeviceStopNote(mUnit, 0, 64, 9);
  const RecordedCall& stop = Last(kMusicDeviceStopNoteSelect, 3);
  EXPECT_EQ(SlotAs<UInt32>(stop.slots[2]), 64u);
  EXPECT_EQ(SlotAs<UInt32>(stop.slots[3]), 9u);

  const UInt8 sysex[3] = {0xF0, 0x01, 0xF7};
  MusicDeviceSysEx(mUnit, sysex, 3);
  const RecordedCall& sx = Last(kMusicDeviceSysExSelect, 2);
  EXPECT_EQ(sx.slots[1], SlotOfPointer(sysex));
  EXPECT_EQ(SlotAs<UInt32>(sx.slots[2]), 3u);
}

TEST_F(AudioUnitCallTest, TheUnitsAnswerIsReturnedUnchanged)
{
  gRecorder.answer = kAudioUnitErr_InvalidProperty;
  UInt32 size = 0;
  EXPECT_EQ(AudioUnitGetPropertyInfo(mUnit, 9999, 0, 0, &size, nullptr), kAudioUnitErr_InvalidProperty);
  gRecorder.answer = badComponentSelector;
  EXPECT_EQ(QuillCallComponent(mUnit, static_cast<SInt16>(0x7777)), badComponentSelector);
}

// ---- Audio Unit events --------------------------------------------------------

namespace
{
struct EventLog
{
  std::vector<AudioUnitEvent> events;
};
void Observe(void* refCon, const AudioUnitEvent* event)
{
  static_cast<EventLog*>(refCon)->events.push_back(*event);
}
} // namespace

TEST(AUEventListenerNotify, HandsEachEventToTheInstalledObserverInOrder)
{
  EventLog log;
  QuillSetAUEventObserver(Observe, &log);
  AudioUnit unit = reinterpret_cast<AudioUnit>(&log);
  for (AudioUnitEventType type : {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
                                  kAudioUnitEvent_EndParameterChangeGesture})
  {
    AudioUnitEvent e = {};
    e.mEventType = type;
    e.mArgument.mParameter = {unit, 3, kAudioUnitScope_Global, 0};
    EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &e), noErr);
  }
  QuillSetAUEventObserver(nullptr, nullptr);
  ASSERT_EQ(log.events.size(), 3u);
  EXPECT_EQ(log.events[0].mEventType, kAudioUnitEvent_BeginParameterChangeGesture);
  EXPECT_EQ(log.events[1].mEventType, kAudioUnitEvent_ParameterValueChange);
  EXPECT_EQ(log.events[2].mEventType, kAudioUnitEvent_EndParameterChangeGesture);
  EXPECT_EQ(log.events[1].mArgument.mParameter.mAudioUnit, unit);
  EXPECT_EQ(log.events[1].mArgument.mParameter.mParameterID, 3u);
}

TEST(AUEventListenerNotify, WithoutAnObserverEventsAreDroppedAndNullIsRefused)
{
  EventLog log;
  QuillSetAUEventObserver(Observe, &log);
  QuillSetAUEventObserver(nullptr, nullptr);
  AudioUnitEvent e = {};
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &e), noErr);
  EXPECT_TRUE(log.events.empty()) << "a removed observer is not called";
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, nullptr), paramErr);
}
