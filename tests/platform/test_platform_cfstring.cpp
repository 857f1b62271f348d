// Strings: encodings, C-string conversion limits, lengths, comparison and
// formatting.
#include <QuillPlatform.h>
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace
{
std::string Text(CFStringRef s)
{
  const char* p = CFStringGetCStringPtr(s, kCFStringEncodingUTF8);
  return p ? p : "<null>";
}
} // namespace

TEST(CFString, Utf8RoundTripsThroughCreateAndGet)
{
  const char* text = "Grow Up \xC3\xA9\xE2\x82\xAC"; // e-acute, euro sign
  CFStringRef s = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
  ASSERT_NE(s, nullptr);
  char buf[64];
  ASSERT_TRUE(CFStringGetCString(s, buf, sizeof(buf), kCFStringEncodingUTF8));
  EXPECT_STREQ(buf, text);
  EXPECT_EQ(CFStringGetLength(s), 10);
  CFRelease(s);
}

TEST(CFString, InvalidBytesForTheEncodingGiveNoString)
{
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xC3", kCFStringEncodingUTF8), nullptr) << "truncated sequence";
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xC0\xAF", kCFStringEncodingUTF8), nullptr) << "overlong form";
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xED\xA0\x80", kCFStringEncodingUTF8), nullptr) << "surrogate";
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "caf\xE9", kCFStringEncodingASCII), nullptr);
  EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "abc", 0x1234), nullptr) << "unsupported encoding";
}

TEST(CFString, Latin1BytesBecomeTheirCodePoints)
{
  CFStringRef s = CFStringCreateWithCString(nullptr, "caf\xE9", kCFStringEncodingISOLatin1);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Text(s), "caf\xC3\xA9");
  char latin[8];
  ASSERT_TRUE(CFStringGetCString(s, latin, sizeof(latin), kCFStringEncodingISOLatin1));
  EXPECT_STREQ(latin, "caf\xE9");
  char ascii[8];
  EXPECT_FALSE(CFStringGetCString(s, ascii, sizeof(ascii), kCFStringEncodingASCII));
  EXPECT_STREQ(ascii, "");
  CFRelease(s);
}

TEST(CFString, GetCStringFailsWhenTheTextAndItsNulDoNotFit)
{
  CFStringRef s = CFSTR("Default");
  char exact[8];
  EXPECT_TRUE(CFStringGetCString(s, exact, 8, kCFStringEncodingUTF8));
  EXPECT_STREQ(exact, "Default");
  char shortBuf[8] = "xxxxxxx";
  EXPECT_FALSE(CFStringGetCString(s, shortBuf, 7, kCFStringEncodingUTF8));
  EXPECT_STREQ(shortBuf, "") << "a failed conversion leaves an empty string, not a partial one";
  EXPECT_FALSE(CFStringGetCString(s, nullptr, 8, kCFStringEncodingUTF8));
  EXPECT_FALSE(CFStringGetCString(nullptr, exact, 8, kCFStringEncodingUTF8));
}

TEST(CFString, GetBytesTakesWholeCharactersUpToTheBufferSize)
{
  // 70 characters: a caller keeping 63 of them gets exactly 63 bytes.
  std::string longName(70, 'n');
  CFStringRef s = CFStringCreateWithCString(nullptr, longName.c_str(), kCFStringEncodingUTF8);
  UInt8 buf[63];
  CFIndex used = 0;
  EXPECT_EQ(CFStringGetBytes(s, CFRange{0, CFStringGetLength(s)}, kCFStringEncodingUTF8, 0, false, buf, 63, &used),
            63);
  EXPECT_EQ(used, 63);
  CFRelease(s);

  // A two-byte character never gets split at the end of the buffer.
  CFStringRef e = CFStringCreateWithCString(nullptr, "ab\xC3\xA9", kCFStringEncodingUTF8);
  EXPECT_EQ(CFStringGetBytes(e, CFRange{0, 3}, kCFStringEncodingUTF8, 0, false, buf, 3, &used), 2);
  EXPECT_EQ(used, 2);
  EXPECT_EQ(CFStringGetBytes(e, CFRange{0, 3}, kCFStringEncodingASCII, '?', false, buf, 3, &used), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "ab?");
  EXPECT_EQ(CFStringGetBytes(e, CFRange{2, 5}, kCFStringEncodingUTF8, 0, false, buf, 3, &used), 0)
    << "a range past the end converts nothing";
  CFRelease(e);
}

TEST(CFString, LengthCountsUtf16UnitsSoAstralCharactersCountTwice)
{
  CFStringRef s = CFStringCreateWithCString(nullptr, "a\xF0\x9F\x8E\xB5", kCFStringEncodingUTF8); // a + U+1F3B5
  EXPECT_EQ(CFStringGetLength(s), 3);
  CFRelease(s);
}

TEST(CFString, CompareOrdersByCodePointAndCanIgnoreAsciiCase)
{
  EXPECT_EQ(CFStringCompare(CFSTR("Gated"), CFSTR("Gated"), 0), kCFCompareEqualTo);
  EXPECT_EQ(CFStringCompare(CFSTR("Gate"), CFSTR("Gated"), 0), kCFCompareLessThan);
  EXPECT_EQ(CFStringCompare(CFSTR("b"), CFSTR("a"), 0), kCFCompareGreaterThan);
  EXPECT_EQ(CFStringCompare(CFSTR("Soft Pan"), CFSTR("soft pan"), 0), kCFCompareLessThan);
  EXPECT_EQ(CFStringCompare(CFSTR("Soft Pan"), CFSTR("soft pan"), kCFCompareCaseInsensitive), kCFCompareEqualTo);
}

TEST(CFString, CopyIsAnIndependentEqualString)
{
  CFStringRef a = CFStringCreateWithCString(nullptr, "Hard Pan", kCFStringEncodingUTF8);
  CFStringRef b = CFStringCreateCopy(nullptr, a);
  CFRelease(a);
  EXPECT_EQ(Text(b), "Hard Pan");
  EXPECT_EQ(CFGetRetainCount(b), 1);
  CFRelease(b);
}

TEST(CFString, FormatInsertsDescriptionsOfObjectsForTheAtConversion)
{
  CFStringRef s = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("AUPreset:\npreset number = %d\npreset name = %@"),
                                           2, CFSTR("Soft"));
  EXPECT_EQ(Text(s), "AUPreset:\npreset number = 2\npreset name = Soft");
  CFRelease(s);
  CFStringRef n = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@|%@"), nullptr, CFSTR("x"));
  EXPECT_EQ(Text(n), "(null)|x");
  CFRelease(n);
}

TEST(CFString, FormatHandlesPrintfConversionsWithWidthsAndLengths)
{
  CFStringRef s = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%5.2f|%-4s|%*d|%ld|%llx|%%|%c"), 3.14159, "ab",
                                           3, 7, 1234567890123L, 255ULL, 'q');
  EXPECT_EQ(Text(s), " 3.14|ab  |  7|1234567890123|ff|%|q");
  CFRelease(s);
}

TEST(CFString, FormatRefusesPositionalArgumentsAndWritesThrough)
{
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%1$d"), 1), nullptr);
  int n = 0;
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("ab%n"), &n), nullptr);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, nullptr), nullptr);
}

TEST(CFString, FormatRefusesWideCharactersAndLengthsOnNonNumbers)
{
  const wchar_t wide[] = L"ab";
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%ls"), wide), nullptr);
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%lc"), static_cast<wint_t>(L'q')), nullptr);
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%hp"), static_cast<void*>(nullptr)), nullptr);
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%l@"), CFSTR("x")), nullptr);
}

TEST(CFString, FormatTakesStarWidthAndPrecisionFromTheArguments)
{
  CFStringRef s = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("[%*.*f][%.*s]"), 7, 2, 2.5, 2, "abc");
  EXPECT_EQ(Text(s), "[   2.50][ab]");
  CFRelease(s);
}

TEST(CFString, MaximumSizeCoversTheWorstCaseOfTheEncoding)
{
  CFStringRef s = CFStringCreateWithCString(nullptr, "\xE2\x82\xAC\xE2\x82\xAC", kCFStringEncodingUTF8);
  CFIndex max = CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8);
  CFIndex used = 0;
  CFStringGetBytes(s, CFRange{0, CFStringGetLength(s)}, kCFStringEncodingUTF8, 0, false, nullptr, 0, &used);
  EXPECT_EQ(used, 6);
  EXPECT_GE(max, used);
  EXPECT_EQ(CFStringGetMaximumSizeForEncoding(4, 0x1234), -1);
  CFRelease(s);
}
