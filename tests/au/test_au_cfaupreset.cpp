// The reference-counted preset records that carry factory presets through
// arrays.
#include "AUTestHost.h"

#include <string>

#include "au/CFAUPreset.h"

namespace
{
CFStringRef Make(const char* s) { return CFStringCreateWithCString(kCFAllocatorDefault, s, kCFStringEncodingUTF8); }
} // namespace

TEST(CFAUPreset, CreateKeepsTheNumberAndItsOwnCopyOfTheName)
{
  CFStringRef name = Make("Soft");
  CFAUPresetRef p = CFAUPresetCreate(kCFAllocatorDefault, 2, name);
  CFRelease(name);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->auPreset.presetNumber, 2);
  EXPECT_EQ(ToStd(p->auPreset.presetName), "Soft");
  EXPECT_EQ(p->version, 0u);
  EXPECT_EQ(p->retainCount, 1);
  CFAUPresetRelease(p);
}

TEST(CFAUPreset, RetainAndReleaseCountTheRecordAndItsName)
{
  CFStringRef name = Make("Gated");
  CFAUPresetRef p = CFAUPresetCreate(kCFAllocatorDefault, 1, name);
  CFRelease(name);
  const CFIndex nameRefs = CFGetRetainCount(p->auPreset.presetName);
  EXPECT_EQ(CFAUPresetRetain(p), p);
  EXPECT_EQ(p->retainCount, 2);
  EXPECT_EQ(CFGetRetainCount(p->auPreset.presetName), nameRefs + 1);
  CFAUPresetRelease(p);
  EXPECT_EQ(p->retainCount, 1);
  EXPECT_EQ(CFGetRetainCount(p->auPreset.presetName), nameRefs);
  CFAUPresetRelease(p); // frees it
}

TEST(CFAUPreset, NullAndSpentRecordsAreIgnored)
{
  EXPECT_EQ(CFAUPresetRetain(nullptr), nullptr);
  CFAUPresetRelease(nullptr);
  EXPECT_EQ(CFAUPresetCopyDescription(nullptr), nullptr);
  // A record whose count is gone is left alone, name included.
  CFStringRef name = Make("x");
  CFAUPreset spent = {{4, name}, 0, kCFAllocatorDefault, 0};
  CFAUPresetRelease(&spent);
  EXPECT_EQ(spent.retainCount, 0);
  EXPECT_EQ(spent.auPreset.presetName, name);
  EXPECT_EQ(CFGetRetainCount(name), 1);
  CFRelease(name);
}

TEST(CFAUPreset, DescriptionIsThreeLines)
{
  CFStringRef name = Make("Soft");
  CFAUPresetRef p = CFAUPresetCreate(kCFAllocatorDefault, 2, name);
  CFRelease(name);
  CFStringRef d = CFAUPresetCopyDescription(p);
  EXPECT_EQ(ToStd(d), "AUPreset:\npreset number = 2\npreset name = Soft");
  CFRelease(d);
  CFAUPresetRelease(p);
}

TEST(CFAUPreset, EqualMeansSameNumberAndEqualName)
{
  CFStringRef a = Make("Hard Pan"), b = Make("Hard Pan"), c = Make("Soft Pan");
  CFAUPresetRef p1 = CFAUPresetCreate(kCFAllocatorDefault, 4, a);
  CFAUPresetRef p2 = CFAUPresetCreate(kCFAllocatorDefault, 4, b);
  CFAUPresetRef p3 = CFAUPresetCreate(kCFAllocatorDefault, 4, c);
  CFAUPresetRef p4 = CFAUPresetCreate(kCFAllocatorDefault, 3, a);
  EXPECT_TRUE(CFAUPresetEqual(p1, p2));
  EXPECT_FALSE(CFAUPresetEqual(p1, p3));
  EXPECT_FALSE(CFAUPresetEqual(p1, p4));
  EXPECT_FALSE(CFAUPresetEqual(p1, nullptr));
  for (CFAUPresetRef p : {p1, p2, p3, p4}) CFAUPresetRelease(p);
  for (CFStringRef s : {a, b, c}) CFRelease(s);
}

TEST(CFAUPreset, ArraysWithThePresetCallbacksRetainWhatTheyHold)
{
  CFArrayCallBacks callbacks;
  CFAUPresetArrayCallBacks_Init(&callbacks);
  EXPECT_EQ(callbacks.version, 0);
  EXPECT_EQ(callbacks.retain, kCFAUPresetArrayCallBacks.retain);
  EXPECT_EQ(callbacks.equal, kCFAUPresetArrayCallBacks.equal);
  CFAUPresetArrayCallBacks_Init(nullptr);

  CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &callbacks);
  ASSERT_NE(array, nullptr);
  CFAUPresetRef p = CFAUPresetCreate(kCFAllocatorDefault, 0, nullptr);
  CFArrayAppendValue(array, p);
  EXPECT_EQ(p->retainCount, 2);
  CFAUPresetRetain(p);
  CFArrayRemoveValueAtIndex(array, 0);
  EXPECT_EQ(p->retainCount, 2);
  CFAUPresetRelease(p);
  CFAUPresetRelease(p);
  CFRelease(array);
}
