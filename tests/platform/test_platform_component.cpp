// Component registry: registration and lookup, open and close, instance
// storage, component information and the packing of parameter blocks.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "PlatformTestSupport.h"

namespace
{
class ComponentTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    gRecorder = Recorder();
    ComponentDescription d = EffectDescription(QUILL_FOUR_CC('T', 'r', 'm', 'l'));
    mComponent = QuillRegisterComponent(&d, RecordingEntry, "Quillbar: Tremolo");
    ASSERT_NE(mComponent, nullptr);
  }
  void TearDown() override { QuillUnregisterComponent(mComponent); }

  Component mComponent = nullptr;
};
} // namespace

TEST_F(ComponentTest, OpenCallsTheEntryWithTheNewInstanceAndNoStorage)
{
  int plugin = 0;
  gRecorder.storageToRegister = reinterpret_cast<Handle>(&plugin);
  ComponentInstance ci = nullptr;
  ASSERT_EQ(OpenAComponent(mComponent, &ci), noErr);
  ASSERT_NE(ci, nullptr);
  ASSERT_EQ(gRecorder.calls.size(), 1u);
  const RecordedCall& open = gRecorder.calls[0];
  EXPECT_EQ(open.what, kComponentOpenSelect);
  EXPECT_EQ(open.slots[0], SlotOfPointer(ci));
  EXPECT_EQ(open.storage, nullptr);
  EXPECT_EQ(GetComponentInstanceStorage(ci), reinterpret_cast<Handle>(&plugin));
  EXPECT_EQ(CloseComponent(ci), noErr);
}

TEST_F(ComponentTest, LaterCallsAndCloseReceiveTheRegisteredStorage)
{
  int plugin = 0;
  gRecorder.storageToRegister = reinterpret_cast<Handle>(&plugin);
  ComponentInstance ci = OpenComponent(mComponent);
  ASSERT_NE(ci, nullptr);
  EXPECT_EQ(AudioUnitInitialize(ci), noErr);
  EXPECT_EQ(CloseComponent(ci), noErr);
  ASSERT_EQ(gRecorder.calls.size(), 3u);
  EXPECT_EQ(gRecorder.calls[1].what, kAudioUnitInitializeSelect);
  EXPECT_EQ(gRecorder.calls[1].storage, reinterpret_cast<Handle>(&plugin));
  EXPECT_EQ(gRecorder.calls[2].what, kComponentCloseSelect);
  EXPECT_EQ(gRecorder.calls[2].slots[0], SlotOfPointer(ci));
  EXPECT_EQ(gRecorder.calls[2].storage, reinterpret_cast<Handle>(&plugin));
}

TEST_F(ComponentTest, AClosedInstanceIsRefusedAndNeverReachesTheEntry)
{
  ComponentInstance ci = OpenComponent(mComponent);
  ASSERT_EQ(CloseComponent(ci), noErr);
  size_t calls = gRecorder.calls.size();
  EXPECT_EQ(AudioUnitInitialize(ci), badComponentInstance);
  EXPECT_EQ(CloseComponent(ci), paramErr) << "a second close is refused";
  EXPECT_EQ(GetComponentInstanceStorage(ci), nullptr);
  EXPECT_EQ(gRecorder.calls.size(), calls);
}

TEST_F(ComponentTest, NullAndMadeUpInstancesGetBadComponentInstance)
{
  EXPECT_EQ(AudioUnitInitialize(nullptr), badComponentInstance);
  UInt32 size = 0;
  EXPECT_EQ(AudioUnitGetProperty(reinterpret_cast<AudioUnit>(&size), 0, 0, 0, nullptr, &size), badComponentInstance);
  EXPECT_EQ(CallComponentDispatch(nullptr), badComponentInstance);
  EXPECT_EQ(GetComponentVersion(nullptr), badComponentInstance);
  EXPECT_EQ(ComponentFunctionImplemented(nullptr, kAudioUnitRenderSelect), 0);
  SetComponentInstanceStorage(nullptr, reinterpret_cast<Handle>(&size)); // ignored
  EXPECT_TRUE(gRecorder.calls.empty());
}

TEST_F(ComponentTest, AFailedOpenLeavesNoInstanceBehind)
{
  gRecorder.openResult = kAudioUnitErr_FailedInitialization;
  ComponentInstance ci = reinterpret_cast<ComponentInstance>(&gRecorder);
  EXPECT_EQ(OpenAComponent(mComponent, &ci), kAudioUnitErr_FailedInitialization);
  EXPECT_EQ(ci, nullptr);
  ASSERT_EQ(gRecorder.calls.size(), 1u) << "close is not called after a failed open";
  ComponentInstance attempted = reinterpret_cast<ComponentInstance>(gRecorder.calls[0].slots[0]);
  EXPECT_EQ(AudioUnitInitialize(attempted), badComponentInstance);
  EXPECT_EQ(QuillUnregisterComponent(mComponent), noErr) << "no instance keeps the component registered";
  ComponentDescription d = EffectDescription(QUILL_FOUR_CC('T', 'r', 'm', 'l'));
  mComponent = QuillRegisterComponent(&d, RecordingEntry, "again");
}

TEST_F(ComponentTest, OpenRefusesUnknownComponentsAndNullOutputs)
{
  ComponentInstance ci = nullptr;
  EXPECT_EQ(OpenAComponent(reinterpret_cast<Component>(&ci), &ci), invalidComponentID);
  EXPECT_EQ(OpenAComponent(mComponent, nullptr), paramErr);
  EXPECT_EQ(OpenComponent(nullptr), nullptr);
  EXPECT_TRUE(gRecorder.calls.empty());
}

TEST_F(ComponentTest, RegistrationNeedsADescriptionAndAnEntry)
{
  ComponentDescription d = EffectDescription(1);
  EXPECT_EQ(QuillRegisterComponent(nullptr, RecordingEntry, "x"), nullptr);
  EXPECT_EQ(QuillRegisterComponent(&d, nullptr, "x"), nullptr);
}

TEST_F(ComponentTest, UnregisteringWaitsUntilNoInstanceIsOpen)
{
  ComponentInstance ci = OpenComponent(mComponent);
  EXPECT_EQ(QuillUnregisterComponent(mComponent), invalidComponentID);
  CloseComponent(ci);
  EXPECT_EQ(QuillUnregisterComponent(mComponent), noErr);
  EXPECT_EQ(OpenComponent(mComponent), nullptr);
  ComponentDescription d = EffectDescription(QUILL_FOUR_CC('T', 'r', 'm', 'l'));
  mComponent = QuillRegisterComponent(&d, RecordingEntry, "again");
}

TEST_F(ComponentTest, ComponentInfoAcceptsTheInstanceInPlaceOfTheComponent)
{
  ComponentInstance ci = OpenComponent(mComponent);
  ComponentDescription cd = {};
  EXPECT_EQ(GetComponentInfo(reinterpret_cast<Component>(ci), &cd, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(cd.componentType, 0x61756678u);
  EXPECT_EQ(cd.componentSubType, 0x54726D6Cu);
  EXPECT_EQ(cd.componentManufacturer, 0x516C6272u);
  ComponentDescription viaComponent = {};
  EXPECT_EQ(GetComponentInfo(mComponent, &viaComponent, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(memcmp(&cd, &viaComponent, sizeof cd), 0);
  CFStringRef name = QuillCopyComponentName(reinterpret_cast<Component>(ci));
  EXPECT_TRUE(CFEqual(name, CFSTR("Quillbar: Tremolo")));
  CFRelease(name);
  CloseComponent(ci);
}

TEST_F(ComponentTest, ComponentInfoRefusesUnknownHandlesAndHandlesToFill)
{
  ComponentDescription cd = {};
  EXPECT_EQ(GetComponentInfo(reinterpret_cast<Component>(&cd), &cd, nullptr, nullptr, nullptr), invalidComponentID);
  char* text = nullptr;
  EXPECT_EQ(GetComponentInfo(mComponent, &cd, &text, nullptr, nullptr), paramErr);
  EXPECT_EQ(GetComponentInfo(mComponent, nullptr, nullptr, nullptr, nullptr), noErr);
}

TEST_F(ComponentTest, FindNextTreatsZeroFieldsAsWildcardsAndHonoursTheFlagMask)
{
  ComponentDescription other = {kAudioUnitType_MusicDevice, 1, 2, 0x4, 0};
  Component inst = QuillRegisterComponent(&other, RecordingEntry, "instrument");
  ComponentDescription anyEffect = {kAudioUnitType_Effect, 0, 0, 0, 0};
  Component found = nullptr;
  int effects = 0;
  while ((found = FindNextComponent(found, &anyEffect)))
  {
    ComponentDescription cd;
    GetComponentInfo(found, &cd, nullptr, nullptr, nullptr);
    EXPECT_EQ(cd.componentType, kAudioUnitType_Effect);
    ++effects;
  }
  EXPECT_EQ(effects, CountComponents(&anyEffect));
  EXPECT_GE(effects, 1);
  ComponentDescription flagged = {0, 0, 0, 0x4, 0x4};
  EXPECT_EQ(FindNextComponent(nullptr, &flagged), inst);
  ComponentDescription unflagged = {kAudioUnitType_MusicDevice, 0, 0, 0, 0x4};
  EXPECT_EQ(FindNextComponent(nullptr, &unflagged), nullptr);
  QuillUnregisterComponent(inst);
}

TEST_F(ComponentTest, CanDoPutsTheQueriedSelectorInTheFirstArgumentSlot)
{
  ComponentInstance ci = OpenComponent(mComponent);
  gRecorder.answer = 1;
  EXPECT_EQ(ComponentFunctionImplemented(ci, -4), 1);
  const RecordedCall& call = gRecorder.calls.back();
  EXPECT_EQ(call.what, kComponentCanDoSelect);
  ASSERT_EQ(call.slots.size(), 2u);
  EXPECT_EQ(static_cast<SInt16>(call.slots[1]), -4);
  gRecorder.answer = 0x10000;
  EXPECT_EQ(GetComponentVersion(ci), 0x10000);
  EXPECT_EQ(gRecorder.calls.back().what, kComponentVersionSelect);
  EXPECT_EQ(gRecorder.calls.back().slots.size(), 1u) << "version takes no arguments";
  gRecorder.answer = noErr;
  CloseComponent(ci);
}

TEST_F(ComponentTest, PackingWritesEachArgumentAtTheStartOfItsOwnZeroedSlot)
{
  ComponentInstance ci = OpenComponent(mComponent);
  float value = -0.75f;
  SInt16 small = -2;
  EXPECT_EQ(QuillCallComponent(ci, 0x77, value, small, static_cast<UInt8>(0xAB), &value), noErr);
  const RecordedCall& call = gRecorder.calls.back();
  EXPECT_EQ(call.what, 0x77);
  EXPECT_EQ(call.paramSize, 4 * 8);
  ASSERT_EQ(call.slots.size(), 5u);
  UInt32 bits;
  memcpy(&bits, &value, 4);
  EXPECT_EQ(static_cast<unsigned long>(call.slots[1]), bits) << "float bits, upper half zero";
  EXPECT_EQ(static_cast<unsigned long>(call.slots[2]), 0xFFFEul) << "two bytes of -2, the rest zero";
  EXPECT_EQ(static_cast<unsigned long>(call.slots[3]), 0xABul);
  EXPECT_EQ(call.slots[4], SlotOfPointer(&value));
  CloseComponent(ci);
}

TEST(Gestalt, ReportsASystemOfTheTenSixLineAndRefusesOtherSelectors)
{
  SInt32 version = 0;
  EXPECT_EQ(Gestalt(gestaltSystemVersion, &version), noErr);
  EXPECT_GE(version, 0x1050);
  EXPECT_EQ(Gestalt(QUILL_FOUR_CC('x', 'x', 'x', 'x'), &version), gestaltUndefSelectorErr);
  EXPECT_EQ(Gestalt(gestaltSystemVersion, nullptr), paramErr);
}

namespace
{
std::atomic<long> gRenders{0};
std::atomic<long> gOpens{0};

ComponentResult CountingEntry(ComponentParameters* params, Handle)
{
  if (params->what == kAudioUnitRenderSelect)
    gRenders.fetch_add(1, std::memory_order_relaxed);
  else if (params->what == kComponentOpenSelect)
    gOpens.fetch_add(1, std::memory_order_relaxed);
  return noErr;
}
} // namespace

TEST(ComponentRegistryThreads, RendersOnOneThreadAreUnaffectedByOpensAndClosesOnAnother)
{
  ComponentDescription d = EffectDescription(QUILL_FOUR_CC('T', 'h', 'r', 'd'));
  Component c = QuillRegisterComponent(&d, CountingEntry, "threads");
  AudioUnit unit = OpenComponent(c);
  ASSERT_NE(unit, nullptr);
  const long kRenders = 20000;
  std::thread render([unit] {
    AudioTimeStamp ts = {};
    for (long i = 0; i < kRenders; ++i)
      EXPECT_EQ(AudioUnitRender(unit, nullptr, &ts, 0, 64, nullptr), noErr);
  });
  for (int i = 0; i < 500; ++i)
  {
    AudioUnit other = OpenComponent(c);
    ASSERT_NE(other, nullptr);
    CloseComponent(other);
  }
  render.join();
  EXPECT_EQ(gRenders.load(), kRenders);
  EXPECT_EQ(gOpens.load(), 501);
  CloseComponent(unit);
  EXPECT_EQ(QuillUnregisterComponent(c), noErr);
}
