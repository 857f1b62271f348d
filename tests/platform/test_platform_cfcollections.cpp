// Data, arrays and dictionaries: contents and the retain/release contract of
// their callbacks.
#include <QuillPlatform.h>
#include <gtest/gtest.h>

#include <vector>

namespace
{
struct CallLog
{
  std::vector<const void*> retained;
  std::vector<const void*> released;
};
CallLog gLog;

const void* LogRetain(CFAllocatorRef, const void* v)
{
  gLog.retained.push_back(v);
  return v;
}
void LogRelease(CFAllocatorRef, const void* v)
{
  gLog.released.push_back(v);
}

CFStringRef NewString(const char* s)
{
  return CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8);
}

CFMutableDictionaryRef NewTypeDictionary()
{
  return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
}
} // namespace

TEST(CFData, CopiesTheBytesAndRefusesImpossibleLengths)
{
  UInt8 bytes[88];
  for (int i = 0; i < 88; ++i)
    bytes[i] = static_cast<UInt8>(i * 3);
  CFDataRef d = CFDataCreate(nullptr, bytes, 88);
  bytes[0] = 0xFF;
  ASSERT_EQ(CFDataGetLength(d), 88);
  EXPECT_EQ(CFDataGetBytePtr(d)[0], 0);
  EXPECT_EQ(CFDataGetBytePtr(d)[87], static_cast<UInt8>(87 * 3));
  CFRelease(d);
  EXPECT_EQ(CFDataCreate(nullptr, bytes, -1), nullptr);
  EXPECT_EQ(CFDataCreate(nullptr, nullptr, 4), nullptr);
  CFDataRef empty = CFDataCreate(nullptr, nullptr, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(CFDataGetLength(empty), 0);
  CFRelease(empty);
}

TEST(CFArray, CallbacksRetainOnAppendAndReleaseOnRemoveAndDestroy)
{
  gLog = CallLog();
  CFArrayCallBacks cb = {0, LogRetain, LogRelease, nullptr, nullptr};
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &cb);
  int x, y, z;
  CFArrayAppendValue(a, &x);
  CFArrayAppendValue(a, &y);
  CFArrayAppendValue(a, &z);
  EXPECT_EQ(gLog.retained, (std::vector<const void*>{&x, &y, &z}));
  EXPECT_TRUE(gLog.released.empty());
  CFArrayRemoveValueAtIndex(a, 1);
  EXPECT_EQ(gLog.released, (std::vector<const void*>{&y}));
  EXPECT_EQ(CFArrayGetValueAtIndex(a, 1), &z);
  CFRelease(a);
  EXPECT_EQ(gLog.released, (std::vector<const void*>{&y, &x, &z}));
}

TEST(CFArray, TypeCallbacksKeepObjectsAliveWhileInTheArray)
{
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFStringRef s = NewString("Gated");
  CFArrayAppendValue(a, s);
  EXPECT_EQ(CFGetRetainCount(s), 2);
  CFRelease(s); // the array holds the only reference now
  EXPECT_TRUE(CFEqual(CFArrayGetValueAtIndex(a, 0), CFSTR("Gated")));
  CFRetain(s);
  CFArrayRemoveAllValues(a);
  EXPECT_EQ(CFArrayGetCount(a), 0);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFRelease(s);
  CFRelease(a);
}

TEST(CFArray, WithoutCallbacksValuesAreNotRetained)
{
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, nullptr);
  CFStringRef s = NewString("x");
  CFArrayAppendValue(a, s);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFRelease(a);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFRelease(s);
}

TEST(CFArray, OutOfRangeIndicesAndBadCallbackVersionsAreHarmless)
{
  CFArrayCallBacks bad = kCFTypeArrayCallBacks;
  bad.version = 1;
  EXPECT_EQ(CFArrayCreateMutable(nullptr, 0, &bad), nullptr);
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFArrayAppendValue(a, CFSTR("a"));
  EXPECT_EQ(CFArrayGetValueAtIndex(a, 1), nullptr);
  EXPECT_EQ(CFArrayGetValueAtIndex(a, -1), nullptr);
  CFArrayRemoveValueAtIndex(a, 5);
  EXPECT_EQ(CFArrayGetCount(a), 1);
  CFRelease(a);
}

TEST(CFArray, CreateFromValuesRetainsEachAndComparesByContent)
{
  CFStringRef s1 = NewString("Default");
  CFStringRef s2 = NewString("Gated");
  const void* values[] = {s1, s2};
  CFArrayRef a = CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks);
  EXPECT_EQ(CFGetRetainCount(s1), 2);
  const void* same[] = {CFSTR("Default"), CFSTR("Gated")};
  CFArrayRef b = CFArrayCreate(nullptr, same, 2, &kCFTypeArrayCallBacks);
  EXPECT_TRUE(CFEqual(a, b));
  CFRelease(a);
  CFRelease(b);
  EXPECT_EQ(CFGetRetainCount(s1), 1);
  CFRelease(s1);
  CFRelease(s2);
}

TEST(CFDictionary, TypeCallbacksRetainKeyAndValueOnInsert)
{
  CFMutableDictionaryRef d = NewTypeDictionary();
  CFStringRef key = NewString("name");
  CFStringRef value = NewString("Default");
  CFDictionarySetValue(d, key, value);
  EXPECT_EQ(CFGetRetainCount(key), 2);
  EXPECT_EQ(CFGetRetainCount(value), 2);
  CFRelease(d);
  EXPECT_EQ(CFGetRetainCount(key), 1) << "destroying the dictionary releases its key";
  EXPECT_EQ(CFGetRetainCount(value), 1) << "and its value";
  CFRelease(key);
  CFRelease(value);
}

TEST(CFDictionary, ReplacingAValueReleasesTheOldOneAndKeepsTheStoredKey)
{
  CFMutableDictionaryRef d = NewTypeDictionary();
  CFStringRef key1 = NewString("name");
  CFStringRef key2 = NewString("name");
  CFStringRef v1 = NewString("a");
  CFStringRef v2 = NewString("b");
  CFDictionarySetValue(d, key1, v1);
  CFDictionarySetValue(d, key2, v2);
  EXPECT_EQ(CFDictionaryGetCount(d), 1);
  EXPECT_EQ(CFDictionaryGetValue(d, CFSTR("name")), v2);
  EXPECT_EQ(CFGetRetainCount(v1), 1);
  EXPECT_EQ(CFGetRetainCount(key1), 2);
  EXPECT_EQ(CFGetRetainCount(key2), 1);
  CFDictionaryRemoveValue(d, CFSTR("name"));
  EXPECT_EQ(CFGetRetainCount(key1), 1);
  EXPECT_EQ(CFGetRetainCount(v2), 1);
  EXPECT_EQ(CFDictionaryGetCount(d), 0);
  CFRelease(d);
  for (CFTypeRef o : {static_cast<CFTypeRef>(key1), static_cast<CFTypeRef>(key2), static_cast<CFTypeRef>(v1),
                      static_cast<CFTypeRef>(v2)})
    CFRelease(o);
}

TEST(CFDictionary, SettingTheSameValueAgainDoesNotFreeIt)
{
  CFMutableDictionaryRef d = NewTypeDictionary();
  CFStringRef v = NewString("only in the dictionary");
  CFDictionarySetValue(d, CFSTR("k"), v);
  CFRelease(v);
  CFDictionarySetValue(d, CFSTR("k"), CFDictionaryGetValue(d, CFSTR("k")));
  EXPECT_TRUE(CFEqual(CFDictionaryGetValue(d, CFSTR("k")), CFSTR("only in the dictionary")));
  CFRelease(d);
}

TEST(CFDictionary, LookupsMatchKeysByContentAndReportAbsence)
{
  CFMutableDictionaryRef d = NewTypeDictionary();
  SInt32 version = 0x10000;
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &version);
  CFDictionarySetValue(d, CFSTR("version"), n);
  CFRelease(n);
  CFStringRef probe = NewString("version");
  const void* out = nullptr;
  EXPECT_TRUE(CFDictionaryGetValueIfPresent(d, probe, &out));
  SInt32 read = 0;
  EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(out), kCFNumberSInt32Type, &read));
  EXPECT_EQ(read, 0x10000);
  EXPECT_FALSE(CFDictionaryContainsKey(d, CFSTR("data")));
  EXPECT_EQ(CFDictionaryGetValue(d, CFSTR("data")), nullptr);
  CFDictionaryAddValue(d, CFSTR("version"), CFSTR("ignored"));
  EXPECT_EQ(CFGetTypeID(CFDictionaryGetValue(d, CFSTR("version"))), CFNumberGetTypeID()) << "add never replaces";
  CFRelease(probe);
  CFRelease(d);
}

TEST(CFDictionary, KeysAndValuesComeOutInInsertionOrder)
{
  CFMutableDictionaryRef d = NewTypeDictionary();
  const char* keys[] = {"version", "type", "subtype", "manufacturer", "name", "data"};
  for (const char* k : keys)
  {
    CFStringRef key = NewString(k);
    CFDictionarySetValue(d, key, key);
    CFRelease(key);
  }
  ASSERT_EQ(CFDictionaryGetCount(d), 6);
  const void* outKeys[6];
  const void* outValues[6];
  CFDictionaryGetKeysAndValues(d, outKeys, outValues);
  for (int i = 0; i < 6; ++i)
  {
    EXPECT_STREQ(CFStringGetCStringPtr(static_cast<CFStringRef>(outKeys[i]), kCFStringEncodingUTF8), keys[i]);
    EXPECT_EQ(outKeys[i], outValues[i]);
  }
  CFRelease(d);
}

TEST(CFDictionary, CustomCallbacksSeeEveryInsertAndRemoval)
{
  gLog = CallLog();
  CFDictionaryKeyCallBacks kcb = {0, LogRetain, LogRelease, nullptr, nullptr, nullptr};
  CFDictionaryValueCallBacks vcb = {0, LogRetain, LogRelease, nullptr, nullptr};
  CFMutableDictionaryRef d = CFDictionaryCreateMutable(nullptr, 0, &kcb, &vcb);
  int k1, k2, v1, v2;
  CFDictionarySetValue(d, &k1, &v1);
  CFDictionarySetValue(d, &k2, &v2);
  EXPECT_EQ(gLog.retained, (std::vector<const void*>{&k1, &v1, &k2, &v2}));
  CFDictionaryRemoveValue(d, &k1);
  EXPECT_EQ(gLog.released, (std::vector<const void*>{&k1, &v1}));
  CFRelease(d);
  EXPECT_EQ(gLog.released, (std::vector<const void*>{&k1, &v1, &k2, &v2}));
}

TEST(CFDictionary, EqualDictionariesCompareEqualWhateverTheirOrder)
{
  CFMutableDictionaryRef a = NewTypeDictionary();
  CFMutableDictionaryRef b = NewTypeDictionary();
  CFDictionarySetValue(a, CFSTR("x"), CFSTR("1"));
  CFDictionarySetValue(a, CFSTR("y"), CFSTR("2"));
  CFDictionarySetValue(b, CFSTR("y"), CFSTR("2"));
  CFDictionarySetValue(b, CFSTR("x"), CFSTR("1"));
  EXPECT_TRUE(CFEqual(a, b));
  CFDictionarySetValue(b, CFSTR("x"), CFSTR("other"));
  EXPECT_FALSE(CFEqual(a, b));
  CFRelease(a);
  CFRelease(b);
}
