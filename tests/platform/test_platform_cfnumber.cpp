// Numbers: creation from every type and conversions that report loss.
#include <QuillPlatform.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
template <class T>
CFNumberRef Make(CFNumberType type, T v)
{
  return CFNumberCreate(nullptr, type, &v);
}

// Reads v, created as `from`, as `to` into *out: true when that was exact.
template <class In, class Out>
bool Convert(CFNumberType from, In v, CFNumberType to, Out* out)
{
  CFNumberRef n = Make(from, v);
  const bool exact = CFNumberGetValue(n, to, out);
  CFRelease(n);
  return exact;
}
} // namespace

TEST(CFNumber, EveryCreateTypeRoundTripsThroughItself)
{
  // Values chosen to be exact in every type they are created as.
  for (CFNumberType t = kCFNumberSInt8Type; t <= kCFNumberMaxType; ++t)
  {
    CFNumberRef n = nullptr;
    bool ok = false;
    switch (t)
    {
    case kCFNumberSInt8Type: case kCFNumberCharType: { SInt8 v = -100, o = 0; n = Make(t, v); ok = CFNumberGetValue(n, t, &o) && o == v; break; }
    case kCFNumberSInt16Type: case kCFNumberShortType: { SInt16 v = -30000, o = 0; n = Make(t, v); ok = CFNumberGetValue(n, t, &o) && o == v; break; }
    case kCFNumberSInt32Type: case kCFNumberIntType: { SInt32 v = 1635083896, o = 0; n = Make(t, v); ok = CFNumberGetValue(n, t, &o) && o == v; break; }
    case kCFNumberFloat32Type: case kCFNumberFloatType: { Float32 v = 0.1f, o = 0; n = Make(t, v); ok = CFNumberGetValue(n, t, &o) && o == v; break; }
    case kCFNumberFloat64Type: case kCFNumberDoubleType: case kCFNumberCGFloatType: { Float64 v = 0.1, o = 0; n = Make(t, v); ok = CFNumberGetValue(n, t, &o) && o == v; break; }
    default: { SInt64 v = -(SInt64(1) << 62), o = 0; n = Make(t, v); ok = CFNumberGetValue(n, t, &o) && o == v; break; }
    }
    ASSERT_NE(n, nullptr) << "type " << t;
    EXPECT_TRUE(ok) << "type " << t;
    CFRelease(n);
  }
}

TEST(CFNumber, UnknownTypesAndNullPointersAreRefused)
{
  SInt32 v = 1;
  EXPECT_EQ(CFNumberCreate(nullptr, 0, &v), nullptr);
  EXPECT_EQ(CFNumberCreate(nullptr, 17, &v), nullptr);
  EXPECT_EQ(CFNumberCreate(nullptr, kCFNumberSInt32Type, nullptr), nullptr);
  CFNumberRef n = Make(kCFNumberSInt32Type, v);
  EXPECT_FALSE(CFNumberGetValue(n, 17, &v));
  EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, nullptr));
  CFRelease(n);
}

TEST(CFNumber, FourCharCodesWithTheTopBitSetSurviveAsNegativeSInt32)
{
  SInt32 code = static_cast<SInt32>(0xE1756678u);
  CFNumberRef n = Make(kCFNumberSInt32Type, code);
  SInt64 wide = 0;
  EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt64Type, &wide));
  EXPECT_LT(wide, 0);
  SInt32 back = 0;
  EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt32Type, &back));
  EXPECT_EQ(static_cast<UInt32>(back), 0xE1756678u);
  CFRelease(n);
}

TEST(CFNumber, NarrowingOutOfRangeSaturatesAndReportsLoss)
{
  SInt32 s32 = 0;
  EXPECT_FALSE(Convert(kCFNumberSInt64Type, SInt64(1) << 40, kCFNumberSInt32Type, &s32));
  EXPECT_EQ(s32, std::numeric_limits<SInt32>::max());
  SInt8 s8 = 0;
  EXPECT_FALSE(Convert(kCFNumberSInt32Type, -1000, kCFNumberSInt8Type, &s8));
  EXPECT_EQ(s8, -128);
}

TEST(CFNumber, FloatToIntegerDropsTheFractionAndSaysSo)
{
  SInt32 v = 0;
  EXPECT_FALSE(Convert(kCFNumberFloat64Type, 2.75, kCFNumberSInt32Type, &v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(Convert(kCFNumberFloat64Type, -3.0, kCFNumberSInt32Type, &v));
  EXPECT_EQ(v, -3);
}

TEST(CFNumber, HugeAndNotANumberFloatsNeverProduceUndefinedIntegers)
{
  SInt64 v = 5;
  EXPECT_FALSE(Convert(kCFNumberFloat64Type, 1e300, kCFNumberSInt64Type, &v));
  EXPECT_EQ(v, std::numeric_limits<SInt64>::max());
  EXPECT_FALSE(Convert(kCFNumberFloat64Type, std::nan(""), kCFNumberSInt64Type, &v));
  EXPECT_EQ(v, 0);
  // 2^63, one past the range
  EXPECT_FALSE(Convert(kCFNumberFloat64Type, 9223372036854775808.0, kCFNumberSInt64Type, &v));
}

TEST(CFNumber, DoubleToFloatIsExactOnlyForRepresentableValues)
{
  Float32 f = 0;
  EXPECT_TRUE(Convert(kCFNumberFloat64Type, 0.5, kCFNumberFloat32Type, &f));
  EXPECT_EQ(f, 0.5f);
  EXPECT_FALSE(Convert(kCFNumberFloat64Type, 0.1, kCFNumberFloat32Type, &f));
  EXPECT_EQ(f, 0.1f);
}

TEST(CFNumber, LargeIntegersLoseExactnessInFloatTypes)
{
  Float64 d = 0;
  EXPECT_FALSE(Convert(kCFNumberSInt64Type, (SInt64(1) << 53) + 1, kCFNumberFloat64Type, &d));
  EXPECT_TRUE(Convert(kCFNumberSInt32Type, 65536, kCFNumberFloat64Type, &d));
  EXPECT_EQ(d, 65536.0);
}

TEST(CFNumber, StoredTypeIsTheFixedSizeTypeOfTheCreateType)
{
  CFNumberRef i = Make(kCFNumberIntType, 1);
  CFNumberRef l = Make(kCFNumberLongType, 1L);
  CFNumberRef d = Make(kCFNumberDoubleType, 1.0);
  EXPECT_EQ(CFNumberGetType(i), kCFNumberSInt32Type);
  EXPECT_EQ(CFNumberGetType(l), kCFNumberSInt64Type);
  EXPECT_EQ(CFNumberGetType(d), kCFNumberFloat64Type);
  EXPECT_FALSE(CFNumberIsFloatType(i));
  EXPECT_TRUE(CFNumberIsFloatType(d));
  CFRelease(i);
  CFRelease(l);
  CFRelease(d);
}
