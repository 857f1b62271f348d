// Bundles and file URLs: the registry a host or the plug-in fills, resource
// lookup and path conversions.
#include <QuillPlatform.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string PathOf(CFURLRef url)
{
  char buf[1024];
  return CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(buf), sizeof(buf)) ? buf : "<none>";
}

class BundleTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    char tmpl[] = "/tmp/quill_bundle_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    mDir = tmpl;
    mkdir((mDir + "/img").c_str(), 0700);
    FILE* f = fopen((mDir + "/img/knob.png").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("png", f);
    fclose(f);
  }
  void TearDown() override
  {
    unlink((mDir + "/img/knob.png").c_str());
    rmdir((mDir + "/img").c_str());
    rmdir(mDir.c_str());
  }
  std::string mDir;
};
} // namespace

TEST_F(BundleTest, ARegisteredBundleIsFoundByItsIdentifier)
{
  CFBundleRef b = QuillRegisterBundle("com.quillbar.audiounit.Tremolo", "/plugins/Tremolo.component", mDir.c_str());
  ASSERT_NE(b, nullptr);
  CFStringRef id = CFStringCreateWithCString(nullptr, "com.quillbar.audiounit.Tremolo", kCFStringEncodingUTF8);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(id), b);
  EXPECT_TRUE(CFEqual(CFBundleGetIdentifier(b), id));
  CFURLRef url = CFBundleCopyBundleURL(b);
  EXPECT_EQ(PathOf(url), "/plugins/Tremolo.component");
  CFRelease(url);
  CFRelease(id);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.example.unknown")), nullptr);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(nullptr), nullptr);
}

TEST_F(BundleTest, ResourceUrlsExistOnlyForFilesThatExist)
{
  CFBundleRef b = QuillRegisterBundle("com.quillbar.test.resources", mDir.c_str(), nullptr);
  CFURLRef found = CFBundleCopyResourceURL(b, CFSTR("knob"), CFSTR("png"), CFSTR("img"));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(PathOf(found), mDir + "/img/knob.png");
  CFRelease(found);
  EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR("knob"), CFSTR("png"), nullptr), nullptr);
  EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR("missing"), CFSTR("png"), CFSTR("img")), nullptr);
  EXPECT_EQ(CFBundleCopyResourceURL(b, nullptr, CFSTR("png"), nullptr), nullptr);
  EXPECT_EQ(CFBundleCopyResourceURL(nullptr, CFSTR("knob"), CFSTR("png"), CFSTR("img")), nullptr);
}

TEST_F(BundleTest, ReRegisteringMovesTheBundleButKeepsEarlierReferencesValid)
{
  CFBundleRef first = QuillRegisterBundle("com.quillbar.test.moved", "/old", nullptr);
  CFStringRef id = CFBundleGetIdentifier(first);
  CFBundleRef second = QuillRegisterBundle("com.quillbar.test.moved", mDir.c_str(), nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(CFStringGetLength(id), 23);
  CFURLRef url = CFBundleCopyBundleURL(second);
  EXPECT_EQ(PathOf(url), mDir);
  CFRelease(url);
}

TEST(Bundle, RegistrationRefusesMissingIdentifiersAndPaths)
{
  EXPECT_EQ(QuillRegisterBundle(nullptr, "/x", nullptr), nullptr);
  EXPECT_EQ(QuillRegisterBundle("", "/x", nullptr), nullptr);
  EXPECT_EQ(QuillRegisterBundle("com.quillbar.x", nullptr, nullptr), nullptr);
  EXPECT_EQ(QuillRegisterBundle("com.quillbar.x", "/bad\xFF", nullptr), nullptr);
}

TEST(Bundle, TheMainBundleHasNoIdentifierUntilAHostSetsOne)
{
  CFBundleRef main = CFBundleGetMainBundle();
  ASSERT_NE(main, nullptr);
  QuillSetMainBundle(nullptr, nullptr);
  EXPECT_EQ(CFBundleGetIdentifier(main), nullptr);
  EXPECT_EQ(QuillSetMainBundle("com.example.host", "/Applications/Host.app"), main);
  EXPECT_TRUE(CFEqual(CFBundleGetIdentifier(main), CFSTR("com.example.host")));
  CFRelease(main); // bundles are never freed
  EXPECT_EQ(CFGetTypeID(CFBundleGetMainBundle()), CFBundleGetTypeID());
  QuillSetMainBundle(nullptr, nullptr);
}

TEST(CFURL, PathsConvertBothWaysAndShortBuffersFail)
{
  CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, CFSTR("/tmp/a b.png"), kCFURLPOSIXPathStyle, false);
  ASSERT_NE(url, nullptr);
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  EXPECT_TRUE(CFEqual(path, CFSTR("/tmp/a b.png")));
  CFRelease(path);
  char small[12] = "xxxxxxxxxxx";
  EXPECT_FALSE(CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(small), 12));
  EXPECT_STREQ(small, "");
  char exact[13];
  EXPECT_TRUE(CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(exact), 13));
  EXPECT_STREQ(exact, "/tmp/a b.png");
  CFRelease(url);
  EXPECT_EQ(CFURLCreateWithFileSystemPath(nullptr, CFSTR(""), kCFURLPOSIXPathStyle, false), nullptr);
}
