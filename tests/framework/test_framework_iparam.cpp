#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "framework/IParam.h"

namespace
{
std::string Display(const IParam& p, double value, bool normalized = false, bool texts = true)
{
  char buf[IParam::MAX_PARAM_DISPLAY_BUF];
  p.GetDisplayForHost(value, normalized, buf, (int)sizeof(buf), texts);
  return buf;
}
} // namespace

TEST(IParamInit, MaximumIsAtLeastOneStepAboveTheMinimum)
{
  IParam p;
  p.InitDouble("x", 0, 5, 5, 1);
  EXPECT_EQ(p.GetMax(), 6.0);
  IParam q;
  q.InitDouble("x", 0, 5, 5.5, 1);
  EXPECT_EQ(q.GetMax(), 6.0);
  IParam r;
  r.InitDouble("x", 0, 5, 9, 1);
  EXPECT_EQ(r.GetMax(), 9.0);
}

TEST(IParamInit, FirstInitDecidesTheType)
{
  IParam p;
  EXPECT_EQ(p.Type(), IParam::kTypeNone);
  p.InitBool("b", true);
  p.InitInt("i", 3, 0, 10);
  EXPECT_EQ(p.Type(), IParam::kTypeBool);
  EXPECT_EQ(p.GetMax(), 10.0) << "the later init still sets the range";

  IParam e;
  e.InitEnum("e", 2, 4);
  EXPECT_EQ(e.Type(), IParam::kTypeEnum);
  EXPECT_EQ(e.GetMin(), 0.0);
  EXPECT_EQ(e.GetMax(), 3.0);
  EXPECT_EQ(e.Value(), 2.0);
}

TEST(IParamInit, ShapeZeroKeepsThePreviousShape)
{
  IParam p;
  p.InitDouble("x", 0, 0, 1, 0.1, "", "", 0.0);
  EXPECT_EQ(p.GetShape(), 1.0);
  p.SetShape(3.0);
  p.SetShape(0.0);
  EXPECT_EQ(p.GetShape(), 3.0);
}

TEST(IParamInit, DisplayPrecisionFollowsTheStep)
{
  struct Case
  {
    double step;
    int digits;
  } cases[] = {{1, 0}, {0.1, 1}, {0.01, 2}, {0.25, 2}, {0.001, 3}, {0.5, 1}, {1e-7, 6}, {1.0 / 3.0, 6}, {5, 0}};
  for (const Case& c : cases)
  {
    IParam p;
    p.InitDouble("x", 0, 0, 100, c.step);
    EXPECT_EQ(p.GetPrecision(), c.digits) << "step " << c.step;
  }
}

TEST(IParamInit, TextsLongerThanTheFieldsAreCut)
{
  std::string longText(80, 'n');
  IParam p;
  p.InitDouble(longText.c_str(), 0, 0, 1, 0.1, longText.c_str(), longText.c_str());
  EXPECT_EQ(std::string(p.GetNameForHost()), longText.substr(0, 31));
  EXPECT_EQ(std::string(p.GetLabelForHost()), longText.substr(0, 31));
  EXPECT_EQ(std::string(p.GetParamGroupForHost()), longText.substr(0, 31));
  p.SetDisplayText(0, longText.c_str());
  EXPECT_EQ(std::string(p.GetDisplayText(0)), longText.substr(0, 31));

  IParam n;
  n.InitDouble(nullptr, 0, 0, 1, 0.1, nullptr, nullptr);
  EXPECT_STREQ(n.GetNameForHost(), "");
}

TEST(IParamNormalize, IntegerRoundsHalfUpDoubleDoesNot)
{
  IParam i;
  i.InitInt("i", 0, 0, 10);
  i.SetNormalized(0.55);
  EXPECT_EQ(i.Value(), 6.0);
  i.SetNormalized(1.0);
  EXPECT_EQ(i.Value(), 10.0);
  i.SetNormalized(0.0);
  EXPECT_EQ(i.Value(), 0.0);

  IParam d;
  d.InitDouble("d", 0, 0, 10, 1);
  d.SetNormalized(0.55);
  EXPECT_DOUBLE_EQ(d.Value(), 5.5);
}

TEST(IParamNormalize, StepRoundingCountsFromZeroNotFromTheMinimum)
{
  IParam half;
  half.InitInt("h", 0, 0, 10);
  half.InitDouble("h", 0, 0, 10, 0.5); // still integer-typed, now with step 0.5
  ASSERT_EQ(half.Type(), IParam::kTypeInt);
  for (double n = 0.0; n <= 1.0; n += 0.01)
  {
    half.SetNormalized(n);
    double v = half.Value();
    EXPECT_EQ(v * 2.0, std::floor(v * 2.0)) << "normalized " << n << " gave " << v;
    EXPECT_LE(std::fabs(v - n * 10.0), 0.25 + 1e-9);
  }

  IParam shifted;
  shifted.InitInt("s", 0, 0, 1);
  shifted.InitDouble("s", 0.3, 0.3, 10.3, 1.0);
  shifted.SetNormalized(0.5); // plain 5.3 before rounding
  EXPECT_EQ(shifted.Value(), 5.0) << "a grid counted from the minimum would give 5.3";
}

TEST(IParamNormalize, RoundingNeverOvershootsTheMaximum)
{
  IParam p;
  p.InitInt("p", 0, 0, 1);
  p.InitDouble("p", 0, 0, 9.6, 1.0);
  p.SetNormalized(1.0); // 9.6 rounds to 10
  EXPECT_EQ(p.Value(), 9.6);
  p.SetNormalized(0.99);
  EXPECT_LE(p.Value(), 9.6);
}

TEST(IParamNormalize, ShapeBendsTheCurveAndRoundTrips)
{
  IParam p;
  p.InitDouble("s", 0, 20, 20000, 0.01, "Hz", "", 3.0);
  p.SetNormalized(0.5);
  EXPECT_NEAR(p.Value(), 20 + 0.125 * 19980, 1e-9);
  for (double n = 0.0; n <= 1.0; n += 1.0 / 64)
  {
    p.SetNormalized(n);
    EXPECT_NEAR(p.GetNormalized(), n, 1e-12) << n;
  }
  double prev = -1.0;
  for (double v = 20; v <= 20000; v += 500)
  {
    double n = p.GetNormalized(v);
    EXPECT_GT(n, prev) << "normalization must be increasing";
    prev = n;
  }
}

TEST(IParamNormalize, OutOfRangePlainValuesClampToTheEnds)
{
  IParam p;
  p.InitDouble("x", 0, -5, 5, 0.1);
  EXPECT_EQ(p.GetNormalized(-100.0), 0.0);
  EXPECT_EQ(p.GetNormalized(100.0), 1.0);
  p.Set(17.0);
  EXPECT_EQ(p.Value(), 5.0);
  p.Set(-17.0);
  EXPECT_EQ(p.Value(), -5.0);
  p.Set(std::nan(""));
  EXPECT_EQ(p.Value(), -5.0) << "NaN must not get into the value";
}

TEST(IParamNormalize, AZeroStepDoesNotPoisonTheValue)
{
  IParam p;
  p.InitInt("z", 0, 0, 1);
  p.InitDouble("z", 0, 0, 4, 0.0);
  p.SetNormalized(0.5);
  EXPECT_EQ(p.Value(), 2.0);
  IParam flat;
  flat.InitDouble("f", 3, 3, 3, 0.0);
  EXPECT_EQ(flat.GetNormalized(), 0.0) << "an empty range must not divide by zero";
}

TEST(IParamDisplay, PrecisionRoundsAndZeroPrecisionTruncates)
{
  IParam p;
  p.InitDouble("x", 12.345, -100, 100, 0.01);
  EXPECT_EQ(Display(p, 12.345), "12.35");
  p.NegateDisplay();
  EXPECT_EQ(Display(p, 12.345), "-12.35");

  IParam q;
  q.InitDouble("q", 0, -10, 10, 1);
  EXPECT_EQ(Display(q, -0.7), "0") << "precision 0 truncates toward zero";
  EXPECT_EQ(Display(q, 3.99), "3");
  EXPECT_EQ(Display(q, -3.99), "-3");
  EXPECT_EQ(Display(q, 1e12), "2147483647") << "values beyond int saturate";
}

TEST(IParamDisplay, NormalizedInputIsConvertedWithoutStepRounding)
{
  IParam p;
  p.InitInt("i", 0, 0, 10);
  p.SetDisplayPrecision(2);
  EXPECT_EQ(Display(p, 0.55, true), "5.50") << "display must not snap to the step";
  IParam s;
  s.InitDouble("s", 0, 0, 1, 0.01, "", "", 2.0);
  EXPECT_EQ(Display(s, 0.5, true), "0.25");
}

TEST(IParamDisplay, BooleanShowsTextsAndNoUnit)
{
  IParam b;
  b.InitBool("Bypass", false, "dB");
  EXPECT_EQ(Display(b, 0), "off");
  EXPECT_EQ(Display(b, 1), "on");
  EXPECT_EQ(Display(b, 1, false, false), "1") << "texts can be turned off";
  EXPECT_STREQ(b.GetLabelForHost(), "");
  b.Set(1);
  EXPECT_STREQ(b.GetLabelForHost(), "");

  IParam d;
  d.InitDouble("Gain", 0, -60, 12, 0.1, "dB");
  EXPECT_STREQ(d.GetLabelForHost(), "dB");
}

TEST(IParamDisplay, AnEmptyTextFallsBackToTheNumber)
{
  IParam p;
  p.InitEnum("mode", 0, 3, "st");
  p.SetDisplayText(0, "");
  p.SetDisplayText(1, "one");
  EXPECT_EQ(Display(p, 0), "0");
  EXPECT_EQ(Display(p, 1.9), "one") << "the key is the value truncated to an int";
  EXPECT_EQ(Display(p, 2), "2");
  EXPECT_STREQ(p.GetLabelForHost(), "st") << "value 0 has an empty text, so the label shows";
}

TEST(IParamDisplay, BoundedOutputIsCutToFit)
{
  IParam p;
  p.InitDouble("x", 0, -1e9, 1e9, 0.000001);
  char small[6];
  p.GetDisplayForHost(123456.789, false, small, (int)sizeof(small));
  EXPECT_STREQ(small, "12345");
  p.SetDisplayText(123456, "a long display text");
  p.GetDisplayForHost(123456.789, false, small, (int)sizeof(small));
  EXPECT_STREQ(small, "a lon");
}

TEST(IParamTexts, LookupsFindTheFirstMatchInInsertionOrder)
{
  IParam p;
  p.InitEnum("e", 0, 3);
  p.SetDisplayText(1, "low");
  p.SetDisplayText(1, "shadowed");
  p.SetDisplayText(2, "high");
  EXPECT_EQ(p.GetNDisplayTexts(), 3);
  EXPECT_STREQ(p.GetDisplayText(1), "low");
  EXPECT_STREQ(p.GetDisplayText(7), "");

  int key = -99;
  EXPECT_TRUE(p.MapDisplayText("high", &key));
  EXPECT_EQ(key, 2);
  key = -99;
  EXPECT_FALSE(p.MapDisplayText("High", &key)) << "matching is case-sensitive";
  EXPECT_FALSE(p.MapDisplayText("hig", &key)) << "matching is whole-string";
  EXPECT_EQ(key, -99);

  EXPECT_STREQ(p.GetDisplayTextAtIdx(1, &key), "shadowed");
  EXPECT_EQ(key, 1);
  key = -99;
  EXPECT_STREQ(p.GetDisplayTextAtIdx(3, &key), "") << "an index past the table";
  EXPECT_STREQ(p.GetDisplayTextAtIdx(-1, &key), "");
  EXPECT_EQ(key, -99);
}

TEST(IParamValue, DecibelsConvertToGain)
{
  IParam p;
  p.InitDouble("g", 0, -60, 20, 0.1);
  p.Set(20.0);
  EXPECT_NEAR(p.DBToAmp(), 10.0, 1e-9);
  p.Set(-6.0);
  EXPECT_NEAR(p.DBToAmp(), std::pow(10.0, -6.0 / 20.0), 1e-12);
  p.Set(0.0);
  EXPECT_NEAR(p.DBToAmp(), 1.0, 1e-15);
}
