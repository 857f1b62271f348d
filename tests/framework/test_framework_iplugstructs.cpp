#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "framework/IPlugStructs.h"

// ---------------------------------------------------------------------------
// ByteChunk

TEST(ByteChunk, StoresValuesLittleEndianWithoutGaps)
{
  ByteChunk c;
  int32_t i = 0x01020304;
  double d = 1.0; // 0x3FF0000000000000
  bool b = true;
  EXPECT_EQ(c.Put(&i), 4);
  EXPECT_EQ(c.Put(&d), 12);
  EXPECT_EQ(c.Put(&b), 13);
  const uint8_t expected[] = {0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0x01};
  ASSERT_EQ(c.Size(), (int)sizeof(expected));
  EXPECT_EQ(0, memcmp(c.GetBytes(), expected, sizeof(expected)));
}

TEST(ByteChunk, ReadsSucceedExactlyAtTheEndAndFailOneByteShort)
{
  ByteChunk c;
  double values[3] = {0.5, -2.0, 1e10};
  for (double& v : values) c.Put(&v);

  double got = 0.0;
  EXPECT_EQ(c.Get(&got, 16), 24) << "a value ending exactly at the end must be readable";
  EXPECT_EQ(got, 1e10);

  got = 123.0;
  EXPECT_EQ(c.Get(&got, 17), -1) << "a value one byte past the end was read";
  EXPECT_EQ(got, 123.0) << "a failed read must leave its output alone";
  EXPECT_EQ(c.Get(&got, -1), -1) << "a negative position must fail";
  EXPECT_EQ(c.Get(&got, 24), -1);
  EXPECT_EQ(c.Get(&got, 0x7FFFFFFF), -1) << "a huge position must not wrap around";

  uint8_t raw[4] = {9, 9, 9, 9};
  EXPECT_EQ(c.GetBytes(raw, 0, 24), 24) << "reading nothing at the end is fine";
  EXPECT_EQ(c.GetBytes(nullptr, 4, 0), -1);
  EXPECT_EQ(c.GetBytes(raw, -4, 0), -1);
}

TEST(ByteChunk, StringsRoundTripAndBadLengthsNeverReadPastTheEnd)
{
  ByteChunk c;
  c.PutStr("hello");
  c.PutStr("");
  c.PutStr(nullptr);
  EXPECT_EQ(c.Size(), 9 + 4 + 4);

  WDL_String s("previous");
  int pos = c.GetStr(&s, 0);
  EXPECT_EQ(pos, 9);
  EXPECT_STREQ(s.Get(), "hello");
  pos = c.GetStr(&s, pos);
  EXPECT_EQ(pos, 13) << "an empty string still advances past its length";
  EXPECT_STREQ(s.Get(), "hello") << "a zero length must leave the string as it was";

  // a length that runs past the end: the text is not taken, yet the
  // position after the claimed text is returned
  ByteChunk bad;
  int32_t len = 100;
  bad.Put(&len);
  bad.PutBytes("abc", 3);
  WDL_String t("keep");
  EXPECT_EQ(bad.GetStr(&t, 0), 104);
  EXPECT_STREQ(t.Get(), "keep");

  ByteChunk negative;
  int32_t neg = -8;
  negative.Put(&neg);
  EXPECT_EQ(negative.GetStr(&t, 0), -1) << "a negative length must not move the position backwards";

  ByteChunk shortLen;
  shortLen.PutBytes("\x01\x00", 2);
  EXPECT_EQ(shortLen.GetStr(&t, 0), -1) << "a length cut short must fail";
}

TEST(ByteChunk, AppendingItselfDoublesTheContents)
{
  ByteChunk c;
  for (int i = 0; i < 3000; ++i)
  {
    uint8_t b = (uint8_t)i;
    c.Put(&b);
  }
  ByteChunk copy;
  copy.PutChunk(&c);
  c.PutChunk(&c); // the growth moves the storage the source points into
  ASSERT_EQ(c.Size(), 6000);
  EXPECT_EQ(0, memcmp(c.GetBytes(), copy.GetBytes(), 3000));
  EXPECT_EQ(0, memcmp(c.GetBytes() + 3000, copy.GetBytes(), 3000));
  EXPECT_FALSE(c.IsEqual(copy));
  c.Resize(3000);
  EXPECT_TRUE(c.IsEqual(copy));
}

// ---------------------------------------------------------------------------
// Base64

TEST(Base64, DecodesKnownTextAndStopsAtPadding)
{
  uint8_t out[6];
  EXPECT_EQ(Base64Decode("TWFu", out, 3), 3);
  EXPECT_EQ(0, memcmp(out, "Man", 3));

  memset(out, 0xAA, sizeof(out));
  EXPECT_EQ(Base64Decode("TWE=", out, 6), 2) << "decoding must stop at '='";
  EXPECT_EQ(out[0], 'M');
  EXPECT_EQ(out[1], 'a');
  for (int i = 2; i < 6; ++i) EXPECT_EQ(out[i], 0) << "byte " << i << " must stay zero";
}

TEST(Base64, FourAsGiveZerosAndMissingBytesStayZero)
{
  uint8_t three[3] = {1, 2, 3};
  EXPECT_EQ(Base64Decode("AAAA", three, 3), 3);
  EXPECT_EQ(three[0] | three[1] | three[2], 0);

  uint8_t five[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(Base64Decode("AAAA", five, 5), 3) << "four characters carry only three bytes";
  for (uint8_t b : five) EXPECT_EQ(b, 0);
}

TEST(Base64, EncodeThenDecodeRoundTripsEveryLength)
{
  std::mt19937 rng(12345);
  for (int n = 0; n <= 70; ++n)
  {
    std::vector<uint8_t> data((size_t)n);
    for (auto& b : data) b = (uint8_t)rng();
    std::vector<char> text((size_t)((n + 2) / 3 * 4 + 1));
    int len = Base64Encode(data.data(), n, text.data(), (int)text.size());
    ASSERT_EQ(len, (n + 2) / 3 * 4) << "length " << n;
    EXPECT_EQ(len % 4, 0);
    int pad = (3 - n % 3) % 3;
    for (int i = 0; i < pad; ++i) EXPECT_EQ(text[(size_t)(len - 1 - i)], '=');
    std::vector<uint8_t> back((size_t)n + 1, 0xEE);
    EXPECT_EQ(Base64Decode(text.data(), back.data(), n), n);
    EXPECT_EQ(0, n ? memcmp(back.data(), data.data(), (size_t)n) : 0) << "length " << n;
    EXPECT_EQ(back[(size_t)n], 0xEE) << "decoding wrote past the requested size";
  }
}

TEST(Base64, EncodeRefusesATooSmallBuffer)
{
  const uint8_t data[4] = {1, 2, 3, 4};
  char text[8];
  EXPECT_EQ(Base64Encode(data, 4, text, sizeof(text)), -1) << "8 characters need 9 bytes with the NUL";
  EXPECT_STREQ(text, "");
}

// ---------------------------------------------------------------------------
// MIDI

TEST(IMidiMsg, PitchWheelCentresAndClampsTheFourteenBitRange)
{
  IMidiMsg m;
  m.MakePitchWheelMsg(0.0, 0);
  EXPECT_EQ(m.mStatus, 0xE0);
  EXPECT_EQ(m.mData1, 0);
  EXPECT_EQ(m.mData2, 64);
  EXPECT_EQ(m.PitchWheel(), 0.0);

  m.MakePitchWheelMsg(1.0, 3);
  EXPECT_EQ(m.Channel(), 3);
  EXPECT_EQ(m.mData1, 127);
  EXPECT_EQ(m.mData2, 127);
  EXPECT_DOUBLE_EQ(m.PitchWheel(), 8191.0 / 8192.0);

  m.MakePitchWheelMsg(-1.0, 0);
  EXPECT_EQ(m.mData1, 0);
  EXPECT_EQ(m.mData2, 0);
  EXPECT_EQ(m.PitchWheel(), -1.0);

  m.MakePitchWheelMsg(-7.5, 0); // far below the range still clamps to 0
  EXPECT_EQ(m.PitchWheel(), -1.0);

  // every in-range value survives the 14-bit trip within one step
  for (double v = -1.0; v < 1.0; v += 0.01)
  {
    m.MakePitchWheelMsg(v, 0);
    EXPECT_NEAR(m.PitchWheel(), v, 1.0 / 8192.0 + 1e-12) << v;
  }
}

TEST(IMidiMsg, QueriesAnswerOnlyForTheirMessageKinds)
{
  IMidiMsg cc;
  cc.MakeControlChangeMsg(IMidiMsg::kModWheel, 0.5, 2);
  EXPECT_EQ(cc.mStatus, 0xB2);
  EXPECT_EQ(cc.mData2, 63);
  EXPECT_EQ(cc.NoteNumber(), -1);
  EXPECT_EQ(cc.Velocity(), -1);
  EXPECT_DOUBLE_EQ(cc.ControlChange(IMidiMsg::kModWheel), 63.0 / 127.0);
  EXPECT_EQ(cc.ControlChange(IMidiMsg::kPan), -1.0);
  EXPECT_EQ(cc.ControlChangeIdx(), IMidiMsg::kModWheel);
  EXPECT_EQ(cc.PitchWheel(), 0.0);

  IMidiMsg at(5, 0xA1, 60, 99);
  EXPECT_EQ(at.NoteNumber(), 60);
  EXPECT_EQ(at.Velocity(), -1);
  EXPECT_EQ(at.PolyAfterTouch(), 99);

  IMidiMsg on;
  on.MakeNoteOnMsg(64, 100, 12, 15);
  EXPECT_EQ(on.mStatus, 0x9F);
  EXPECT_EQ(on.mOffset, 12);
  EXPECT_EQ(on.StatusMsg(), IMidiMsg::kNoteOn);
  EXPECT_EQ(on.Velocity(), 100);
  EXPECT_EQ(on.Program(), -1);

  IMidiMsg off;
  off.MakeNoteOffMsg(64, 3, 0);
  EXPECT_EQ(off.mStatus, 0x80);
  EXPECT_EQ(off.Velocity(), 0);

  EXPECT_EQ(IMidiMsg(0, 0xC4, 7, 0).Program(), 7);
  EXPECT_EQ(IMidiMsg(0, 0xD0, 33, 0).ChannelAfterTouch(), 33);
  EXPECT_EQ(IMidiMsg(0, 0xF8, 0, 0).StatusMsg(), IMidiMsg::kNone) << "system messages are not channel messages";
  EXPECT_EQ(IMidiMsg(0, 0x45, 0, 0).StatusMsg(), IMidiMsg::kNone) << "a data byte is not a status";
}

TEST(IMidiMsg, StatusTextsCoverEveryKind)
{
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kNone), "none");
  for (int i = 1; i <= 7; ++i) EXPECT_STREQ(IMidiMsg::StatusMsgStr((IMidiMsg::EStatusMsg)i), "unknown");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kNoteOff), "noteoff");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kNoteOn), "noteon");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kPolyAftertouch), "aftertouch");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kControlChange), "controlchange");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kProgramChange), "programchange");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kChannelAftertouch), "channelaftertouch");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr(IMidiMsg::kPitchWheel), "pitchwheel");
  EXPECT_STREQ(IMidiMsg::StatusMsgStr((IMidiMsg::EStatusMsg)15), "unknown");
}

TEST(SysExStr, PrintsOnlyWhatFitsWithoutATrailingSpace)
{
  const uint8_t data[4] = {0xF0, 0x7E, 0x01, 0xF7};
  char buf[16];
  memset(buf, 'x', sizeof(buf));
  SysExStr(buf, 7, data, 4);
  EXPECT_STREQ(buf, "F0 7E");

  SysExStr(buf, 12, data, 4);
  EXPECT_STREQ(buf, "F0 7E 01 F7") << "four bytes need exactly 12 bytes with the NUL";

  SysExStr(buf, 16, nullptr, 4);
  EXPECT_STREQ(buf, "");
  SysExStr(buf, 16, data, 0);
  EXPECT_STREQ(buf, "");
  SysExStr(buf, 2, data, 4);
  EXPECT_STREQ(buf, "") << "too small for one byte";

  ISysEx sx(10, data, 4);
  sx.Clear();
  EXPECT_EQ(sx.mData, nullptr);
  EXPECT_EQ(sx.mSize, 0);
}

// ---------------------------------------------------------------------------
// Editor value types

TEST(IRECT, HitTestsExcludeTheRightAndBottomEdges)
{
  IRECT r(10, 20, 30, 40);
  EXPECT_TRUE(r.Contains(10, 20));
  EXPECT_TRUE(r.Contains(29, 39));
  EXPECT_FALSE(r.Contains(30, 39));
  EXPECT_FALSE(r.Contains(29, 40));
  EXPECT_FALSE(IRECT().Contains(0, 0)) << "an empty rectangle contains nothing";
}

TEST(IRECT, UnionAndIntersectHandleEmptyAndDisjointRectangles)
{
  IRECT a(0, 0, 10, 10), b(5, 5, 20, 15), far(50, 50, 60, 60), empty;
  EXPECT_EQ(a.Union(&empty), a);
  EXPECT_EQ(empty.Union(&a), a);
  EXPECT_EQ(a.Union(&b), IRECT(0, 0, 20, 15));
  EXPECT_EQ(a.Intersect(&b), IRECT(5, 5, 10, 10));
  EXPECT_TRUE(a.Intersect(&far).Empty());
  IRECT touching(10, 0, 20, 10);
  EXPECT_TRUE(a.Intersect(&touching).Empty()) << "rectangles touching at an edge do not overlap";
}

TEST(IRECT, ABitmapRectangleCoversOneFrame)
{
  IBitmap bmp(nullptr, 48, 480, 10);
  IRECT r(7, 9, &bmp);
  EXPECT_EQ(r, IRECT(7, 9, 55, 57));
  IBitmap broken(nullptr, 48, 480, 0);
  EXPECT_EQ(IRECT(0, 0, &broken), IRECT(0, 0, 48, 480)) << "zero frames must not divide by zero";
}

TEST(IColor, PacksAlphaIntoTheLowByte)
{
  EXPECT_EQ(IColor(0x11, 0x22, 0x33, 0x44).ToPixel(), 0x44332211u);
  EXPECT_EQ(IColor(300, -5, 255, 0).ToPixel(), 0x00FF00FFu) << "channels outside 0..255 are clamped";
}

TEST(IText, LongFaceNamesAreCutToTheField)
{
  std::string longFace(100, 'f');
  IText t(12, &COLOR_RED, longFace.c_str());
  EXPECT_EQ(strlen(t.mFont), (size_t)MAX_PARAM_NAME_LEN - 1);
}
