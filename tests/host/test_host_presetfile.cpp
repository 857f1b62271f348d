// .aupreset files: XML property lists <-> CoreFoundation objects, and the
// checks that decide whether a file is a preset of this unit.
#include "host/PresetFile.h"

#include <gtest/gtest.h>

#include <string>

#include "HostTestSupport.h"

using namespace hosttest;

namespace
{

const PresetIdentity kTremolo{QUILL_FOUR_CC('a', 'u', 'f', 'x'), QUILL_FOUR_CC('T', 'r', 'm', 'l'),
                              QUILL_FOUR_CC('Q', 'l', 'b', 'r')};

CFStringRef Str(const char* s)
{
  return CFStringCreateWithCString(kCFAllocatorDefault, s, kCFStringEncodingUTF8);
}

void SetNumber(CFMutableDictionaryRef d, const char* key, SInt32 v)
{
  CFStringRef k = Str(key);
  CFNumberRef n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &v);
  CFDictionarySetValue(d, k, n);
  CFRelease(k);
  CFRelease(n);
}

void SetValue(CFMutableDictionaryRef d, const char* key, CFTypeRef v)
{
  CFStringRef k = Str(key);
  CFDictionarySetValue(d, k, v);
  CFRelease(k);
  CFRelease(v);
}

CFTypeRef Get(CFDictionaryRef d, const char* key)
{
  CFStringRef k = Str(key);
  CFTypeRef v = CFDictionaryGetValue(d, k);
  CFRelease(k);
  return v;
}

// A class-info dictionary as the unit hands it out.
CFMutableDictionaryRef MakeClassInfo(const PresetIdentity& id, const char* name, size_t dataBytes)
{
  CFMutableDictionaryRef d = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                       &kCFTypeDictionaryValueCallBacks);
  SetNumber(d, "version", 0x10000);
  SetNumber(d, "type", static_cast<SInt32>(id.type));
  SetNumber(d, "subtype", static_cast<SInt32>(id.subtype));
  SetNumber(d, "manufacturer", static_cast<SInt32>(id.manufacturer));
  SetValue(d, "name", Str(name));
  std::vector<UInt8> bytes(dataBytes);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<UInt8>(i * 37 + 11);
  SetValue(d, "data", CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size())));
  return d;
}

SInt64 Int(CFTypeRef n)
{
  SInt64 v = 0;
  CFNumberGetValue(static_cast<CFNumberRef>(n), kCFNumberSInt64Type, &v);
  return v;
}

std::string Text(CFTypeRef s)
{
  char buffer[256] = "";
  CFStringGetCString(static_cast<CFStringRef>(s), buffer, sizeof buffer, kCFStringEncodingUTF8);
  return buffer;
}

std::string Plist(const std::string& body)
{
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

} // namespace

TEST(PresetFile, ClassInfoSurvivesWriteAndReadWithEveryValue)
{
  ScratchDir dir;
  CFMutableDictionaryRef info = MakeClassInfo(kTremolo, "Tom & <Jerry>", 88);
  std::string error;
  ASSERT_TRUE(WritePresetFile(dir / "p.aupreset", info, &error)) << error;
  CFDictionaryRef back = ReadPresetFile(dir / "p.aupreset", kTremolo, &error);
  ASSERT_NE(back, nullptr) << error;
  EXPECT_EQ(CFDictionaryGetCount(back), 6);
  for (const char* key : {"version", "type", "subtype", "manufacturer"})
    EXPECT_EQ(Int(Get(back, key)), Int(Get(info, key))) << key;
  EXPECT_EQ(Text(Get(back, "name")), "Tom & <Jerry>");
  EXPECT_TRUE(CFEqual(Get(back, "data"), Get(info, "data")));
  CFRelease(back);
  CFRelease(info);
}

TEST(PresetFile, WrittenXmlHasTheHeaderSortedKeysAndEscapedText)
{
  ScratchDir dir;
  CFMutableDictionaryRef info = MakeClassInfo(kTremolo, "A<B", 88);
  std::string error;
  ASSERT_TRUE(WritePresetFile(dir / "p.aupreset", info, &error)) << error;
  CFRelease(info);
  const std::string xml = ReadText(dir / "p.aupreset");
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << xml;
  EXPECT_NE(xml.find("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\""), std::string::npos);
  size_t last = 0;
  for (const char* key : {"data", "manufacturer", "name", "subtype", "type", "version"})
  {
    const size_t at = xml.find(std::string("<key>") + key + "</key>");
    ASSERT_NE(at, std::string::npos) << key;
    EXPECT_GT(at, last) << key << " out of order";
    last = at;
  }
  EXPECT_NE(xml.find("<string>A&lt;B</string>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<integer>1416785260</integer>"), std::string::npos) << xml;
}

TEST(PresetFile, ReaderTakesAnyKeyOrderAndWhitespaceInsideData)
{
  // Written by hand the way other tools lay it out: keys unsorted, the
  // base64 split over indented lines.
  ScratchDir dir;
  const std::string xml = Plist(
      "<dict>\n"
      "  <key>version</key> <integer>65536</integer>\n"
      "  <key>name</key> <string>Hand made</string>\n"
      "  <key>data</key>\n  <data>\n    AAECAwQF\n    BgcICQ==\n  </data>\n"
      "  <key>type</key> <integer>1635083896</integer>\n"
      "  <key>manufacturer</key> <integer>1366057586</integer>\n"
      "  <key>subtype</key> <integer>1416785260</integer>\n"
      "  <key>render-quality</key> <integer>127</integer>\n"
      "</dict>");
  std::ofstream(dir / "hand.aupreset") << xml;
  std::string error;
  CFDictionaryRef d = ReadPresetFile(dir / "hand.aupreset", kTremolo, &error);
  ASSERT_NE(d, nullptr) << error;
  EXPECT_EQ(CFDataGetLength(static_cast<CFDataRef>(Get(d, "data"))), 10);
  EXPECT_EQ(CFDataGetBytePtr(static_cast<CFDataRef>(Get(d, "data")))[9], 9);
  CFRelease(d);
}

TEST(PresetFile, CodesWithTheTopBitSetMatchWhetherWrittenSignedOrUnsigned)
{
  const PresetIdentity high{0xF0000001u, kTremolo.subtype, kTremolo.manufacturer};
  ScratchDir dir;
  for (const char* spelled : {"-268435455", "4026531841"})
  {
    const std::string xml = Plist(std::string("<dict><key>version</key><integer>0</integer>"
                                              "<key>type</key><integer>") +
                                  spelled +
                                  "</integer><key>subtype</key><integer>1416785260</integer>"
                                  "<key>manufacturer</key><integer>1366057586</integer>"
                                  "<key>name</key><string>x</string><key>data</key><data>AA==</data></dict>");
    std::ofstream(dir / "high.aupreset", std::ios::trunc) << xml;
    std::string error;
    CFDictionaryRef d = ReadPresetFile(dir / "high.aupreset", high, &error);
    EXPECT_NE(d, nullptr) << spelled << ": " << error;
    CFRelease(d);
  }
}

TEST(PresetFile, RefusalsSayWhatIsWrong)
{
  ScratchDir dir;
  struct Case
  {
    const char* name;
    std::string content;
    const char* says;
  };
  const std::string keys = "<key>version</key><integer>1</integer><key>type</key><integer>1635083896</integer>"
                           "<key>subtype</key><integer>1416785260</integer><key>manufacturer</key>"
                           "<integer>1366057586</integer>";
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<array>";
  const std::vector<Case> cases = {
      {"empty", "", "empty"},
      {"binary", std::string("bplist00\0\0\0", 11), "binary"},
      {"text", "hello", "not an XML property list"},
      {"string-root", Plist("<string>hi</string>"), "no dictionary"},
      {"no-name", Plist("<dict>" + keys + "<key>data</key><data>AA==</data></dict>"), "\"name\""},
      {"no-data", Plist("<dict>" + keys + "<key>name</key><string>n</string></dict>"), "\"data\""},
      {"real-type", Plist("<dict><key>version</key><integer>1</integer><key>type</key><real>1.5</real></dict>"),
       "\"type\""},
      {"data-as-string", Plist("<dict>" + keys + "<key>name</key><string>n</string><key>data</key><string>x</string></dict>"),
       "\"data\""},
      {"deep", Plist(deep), "nested too deeply"},
      // One corrupted byte in a saved name: libplist would keep it and assert.
      {"nul-in-name", Plist("<dict>" + keys + "<key>name</key><string>Ga" + std::string(1, '\0') +
                            "ted</string><key>data</key><data>AA==</data></dict>"),
       "NUL byte"},
      {"foreign", Plist("<dict><key>version</key><integer>1</integer><key>type</key><integer>1635083896</integer>"
                        "<key>subtype</key><integer>1</integer><key>manufacturer</key><integer>1366057586</integer>"
                        "<key>name</key><string>n</string><key>data</key><data>AA==</data></dict>"),
       "another plug-in"},
  };
  for (const Case& c : cases)
  {
    const std::string path = dir / (std::string(c.name) + ".aupreset");
    std::ofstream(path, std::ios::binary) << c.content;
    std::string error;
    CFDictionaryRef d = ReadPresetFile(path, kTremolo, &error);
    EXPECT_EQ(d, nullptr) << c.name;
    CFRelease(d);
    EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << c.name << ": " << error;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
  }
  std::string error;
  EXPECT_EQ(ReadPresetFile(dir / "missing.aupreset", kTremolo, &error), nullptr);
  EXPECT_NE(error.find("missing.aupreset"), std::string::npos);
  EXPECT_EQ(ReadPresetFile(dir.Path(), kTremolo, &error), nullptr);
  const std::string huge(3 << 20, ' ');
  std::ofstream(dir / "huge.aupreset") << huge;
  EXPECT_EQ(ReadPresetFile(dir / "huge.aupreset", kTremolo, &error), nullptr);
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

TEST(PresetFile, WriterRefusesWhatAPropertyListCannotHoldAndLeavesNoFile)
{
  ScratchDir dir;
  CFMutableDictionaryRef d = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                       &kCFTypeDictionaryValueCallBacks);
  // A number as a key: property-list dictionaries have string keys only.
  SInt32 one = 1;
  CFNumberRef key = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &one);
  CFStringRef value = Str("v");
  CFDictionarySetValue(d, key, value);
  CFRelease(key);
  CFRelease(value);
  std::string error;
  EXPECT_FALSE(WritePresetFile(dir / "bad.aupreset", d, &error));
  EXPECT_NE(error.find("bad.aupreset"), std::string::npos) << error;
  EXPECT_FALSE(WritePresetFile(dir / "null.aupreset", nullptr, &error));
  EXPECT_TRUE(dir.Entries().empty());
  CFRelease(d);
}

TEST(PresetFile, FourCharacterCodesPrintAsTextOrNumber)
{
  EXPECT_EQ(FourCCText(QUILL_FOUR_CC('a', 'u', 'f', 'x')), "aufx");
  EXPECT_EQ(FourCCText(QUILL_FOUR_CC('a', 'u', 'f', 'x'), true), "'aufx'");
  // A number is never quoted, so a message cannot pass it off as a code.
  EXPECT_EQ(FourCCText(1), "1");
  EXPECT_EQ(FourCCText(QUILL_FOUR_CC('a', 'u', 'f', 0x7F), true), "1635083903");
}
