// Object run-time: reference counting, type IDs, equality and hashing.
#include <QuillPlatform.h>
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace
{
CFNumberRef MakeInt(SInt32 v)
{
  return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &v);
}
} // namespace

TEST(CFRuntime, NewObjectsStartWithOneReferenceAndCountRetainsAndReleases)
{
  CFStringRef s = CFStringCreateWithCString(nullptr, "abc", kCFStringEncodingUTF8);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  EXPECT_EQ(CFRetain(s), s);
  EXPECT_EQ(CFRetain(s), s);
  EXPECT_EQ(CFGetRetainCount(s), 3);
  CFRelease(s);
  CFRelease(s);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFRelease(s);
}

TEST(CFRuntime, NullIsAcceptedEverywhereWithoutCrashing)
{
  CFRelease(nullptr);
  EXPECT_EQ(CFRetain(nullptr), nullptr);
  EXPECT_EQ(CFGetRetainCount(nullptr), 0);
  EXPECT_EQ(CFGetTypeID(nullptr), 0u);
  EXPECT_FALSE(CFEqual(nullptr, nullptr));
  EXPECT_EQ(CFCopyDescription(nullptr), nullptr);
}

TEST(CFRuntime, ConstantStringsSurviveAnyNumberOfReleases)
{
  CFStringRef k = CFSTR("version");
  for (int i = 0; i < 5; ++i)
    CFRelease(k);
  EXPECT_EQ(CFStringGetLength(k), 7);
  EXPECT_EQ(CFSTR("version"), k) << "equal literals are one interned object";
}

TEST(CFRuntime, EveryTypeHasItsOwnNonZeroTypeID)
{
  std::set<CFTypeID> ids = {CFStringGetTypeID(), CFNumberGetTypeID(),     CFDataGetTypeID(), CFArrayGetTypeID(),
                            CFDictionaryGetTypeID(), CFBundleGetTypeID(), CFURLGetTypeID()};
  EXPECT_EQ(ids.size(), 7u);
  EXPECT_EQ(ids.count(0), 0u);
}

TEST(CFRuntime, ObjectsReportTheTypeIDOfTheirKind)
{
  CFStringRef s = CFSTR("x");
  CFNumberRef n = MakeInt(1);
  UInt8 b = 1;
  CFDataRef d = CFDataCreate(nullptr, &b, 1);
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFMutableDictionaryRef m =
    CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  EXPECT_EQ(CFGetTypeID(s), CFStringGetTypeID());
  EXPECT_EQ(CFGetTypeID(n), CFNumberGetTypeID());
  EXPECT_EQ(CFGetTypeID(d), CFDataGetTypeID());
  EXPECT_EQ(CFGetTypeID(a), CFArrayGetTypeID());
  EXPECT_EQ(CFGetTypeID(m), CFDictionaryGetTypeID());
  EXPECT_EQ(CFGetTypeID(CFBundleGetMainBundle()), CFBundleGetTypeID());
  CFRelease(n);
  CFRelease(d);
  CFRelease(a);
  CFRelease(m);
}

TEST(CFRuntime, FunctionsGivenAnObjectOfTheWrongTypeAnswerAsForNull)
{
  CFNumberRef n = MakeInt(42);
  CFStringRef s = CFSTR("not a number");
  SInt32 out = 7;
  EXPECT_FALSE(CFNumberGetValue(reinterpret_cast<CFNumberRef>(s), kCFNumberSInt32Type, &out));
  EXPECT_EQ(out, 7);
  EXPECT_EQ(CFStringGetLength(reinterpret_cast<CFStringRef>(n)), 0);
  EXPECT_EQ(CFDataGetLength(reinterpret_cast<CFDataRef>(n)), 0);
  EXPECT_EQ(CFDictionaryGetCount(reinterpret_cast<CFDictionaryRef>(n)), 0);
  CFArrayAppendValue(reinterpret_cast<CFMutableArrayRef>(const_cast<void*>(static_cast<const void*>(n))), s);
  EXPECT_EQ(CFGetRetainCount(n), 1);
  CFRelease(n);
}

TEST(CFRuntime, EqualObjectsHashAlike)
{
  CFStringRef a = CFStringCreateWithCString(nullptr, "name", kCFStringEncodingUTF8);
  SInt32 i = 3;
  double d = 3.0;
  CFNumberRef ni = CFNumberCreate(nullptr, kCFNumberSInt32Type, &i);
  CFNumberRef nd = CFNumberCreate(nullptr, kCFNumberFloat64Type, &d);
  EXPECT_TRUE(CFEqual(a, CFSTR("name")));
  EXPECT_EQ(CFHash(a), CFHash(CFSTR("name")));
  EXPECT_TRUE(CFEqual(ni, nd)) << "3 and 3.0 are the same number";
  EXPECT_EQ(CFHash(ni), CFHash(nd));
  EXPECT_FALSE(CFEqual(a, ni));
  double frac = 3.5;
  CFNumberRef nf = CFNumberCreate(nullptr, kCFNumberFloat64Type, &frac);
  EXPECT_FALSE(CFEqual(ni, nf));
  CFRelease(a);
  CFRelease(ni);
  CFRelease(nd);
  CFRelease(nf);
}

TEST(CFRuntime, DescriptionsOfStringsAndNumbersAreTheirText)
{
  CFNumberRef n = MakeInt(-12);
  CFStringRef d = CFCopyDescription(n);
  EXPECT_STREQ(CFStringGetCStringPtr(d, kCFStringEncodingUTF8), "-12");
  CFStringRef s = CFCopyDescription(CFSTR("Soft"));
  EXPECT_TRUE(CFEqual(s, CFSTR("Soft")));
  CFRelease(d);
  CFRelease(s);
  CFRelease(n);
}

TEST(CFRuntime, RetainAndReleaseFromSeveralThreadsKeepTheCountExact)
{
  CFNumberRef n = MakeInt(5);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([n] {
      for (int i = 0; i < 100000; ++i)
      {
        CFRetain(n);
        CFRelease(n);
      }
    });
  for (std::thread& t : threads)
    t.join();
  EXPECT_EQ(CFGetRetainCount(n), 1);
  CFRelease(n);
}

TEST(CFRuntime, AllocatorGivesWritableMemoryAndRefusesEmptySizes)
{
  void* p = CFAllocatorAllocate(kCFAllocatorDefault, 40, 0);
  ASSERT_NE(p, nullptr);
  memset(p, 0xAB, 40);
  CFAllocatorDeallocate(kCFAllocatorDefault, p);
  EXPECT_EQ(CFAllocatorAllocate(kCFAllocatorDefault, 0, 0), nullptr);
  EXPECT_EQ(CFAllocatorAllocate(kCFAllocatorDefault, -8, 0), nullptr);
  CFAllocatorDeallocate(kCFAllocatorDefault, nullptr);
}
