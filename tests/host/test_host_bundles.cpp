// Plug-in bundles as the host finds and loads them: the built bundle
// registers its component and its resources; a missing, broken or foreign
// bundle is refused with its path and the reason.
#include <gtest/gtest.h>

#include <QuillPlatform.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "HostTestSupport.h"
#include "host/ComponentBundles.h"
#include "host/HostUnit.h"
#include "host/Snapshot.h"

using namespace hosttest;

namespace
{

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// A bundle folder with an Info.plist listing one component whose library
// and factory function are given.
std::string MakeBundle(const ScratchDir& dir, const std::string& name, const std::string& executable,
                       const std::string& factory, bool withComponents = true)
{
  const std::string bundle = dir / name;
  mkdir(bundle.c_str(), 0755);
  mkdir((bundle + "/Contents").c_str(), 0755);
  mkdir((bundle + "/Contents/MacOS").c_str(), 0755);
  std::string plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                      "<key>CFBundleExecutable</key><string>" + executable + "</string>"
                      "<key>CFBundleIdentifier</key><string>com.example.test." + name + "</string>";
  if (withComponents)
    plist += "<key>AudioComponents</key><array><dict><key>type</key><string>aufx</string>"
             "<key>subtype</key><string>Tst1</string><key>manufacturer</key><string>Exmp</string>"
             "<key>name</key><string>test</string><key>factoryFunction</key><string>" + factory +
             "</string></dict></array>";
  plist += "</dict></plist>\n";
  WriteFile(bundle + "/Contents/Info.plist", plist);
  return bundle;
}

} // namespace

TEST(HostBundles, TheBuiltBundleRegistersItsComponentAndItsResources)
{
  std::string error;
  ASSERT_TRUE(LoadComponentBundle(QUILL_COMPONENT_BUNDLE, &error)) << error;
  ASSERT_TRUE(LoadComponentBundle(QUILL_COMPONENT_BUNDLE, &error)) << "a second load is no error";

  ComponentDescription looking{kAudioUnitType_Effect, QUILL_FOUR_CC('T', 'r', 'm', 'l'),
                               QUILL_FOUR_CC('Q', 'l', 'b', 'r'), 0, 0};
  Component component = FindNextComponent(nullptr, &looking);
  ASSERT_NE(component, nullptr);
  EXPECT_EQ(FindNextComponent(component, &looking), nullptr) << "registered once";
  CFStringRef name = QuillCopyComponentName(component);
  char text[128] = "";
  CFStringGetCString(name, text, sizeof text, kCFStringEncodingUTF8);
  CFRelease(name);
  EXPECT_STREQ(text, "quillbarfx: QuillbarTremolo");

  // The editor's images come from the bundle's resources: its picture is the
  // skin, not an empty editor.
  HostUnit unit;
  ASSERT_TRUE(unit.Open(&error)) << error;
  NSView* view = OpenEditorView(unit, &error);
  ASSERT_NE(view, nullptr) << error;
  int w = 0, h = 0;
  ASSERT_TRUE(QuillGetOffscreenViewSize(view, &w, &h));
  EXPECT_EQ(w, 863);
  EXPECT_EQ(h, 468);
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
  ASSERT_TRUE(QuillDrawOffscreenView(view, pixels.data(), pixels.size()));
  size_t distinct = 0;
  for (size_t i = 1; i < pixels.size(); ++i) distinct += pixels[i] != pixels[i - 1];
  EXPECT_GT(distinct, 10000u) << "the skin images were not found in the bundle";
}

TEST(HostBundles, MissingBrokenOrForeignBundlesAreRefusedWithThePathAndTheReason)
{
  ScratchDir dir;
  const std::string library = dir / "lib.so";
  WriteFile(library, "not a shared library");
  const std::string noPlistBundle = dir / "empty.component";
  mkdir(noPlistBundle.c_str(), 0755);
  const std::string garbled = MakeBundle(dir, "garbled.component", "x", "f");
  WriteFile(garbled + "/Contents/Info.plist", "<plist><dict><key>");
  const std::string builtLibrary = std::string(QUILL_COMPONENT_BUNDLE) + "/Contents/MacOS/QuillbarTremolo";
  const std::string noFactory = MakeBundle(dir, "nofactory.component", "lib", "NoSuchEntry");
  symlink(builtLibrary.c_str(), (noFactory + "/Contents/MacOS/lib").c_str());
  const std::string badLibrary = MakeBundle(dir, "badlib.component", "lib", "Entry");
  WriteFile(badLibrary + "/Contents/MacOS/lib", "not a shared library");

  const struct
  {
    std::string path;
    const char* reason;
  } cases[] = {
    {dir / "missing.component", "no such folder"},
    {noPlistBundle, "no Contents/Info.plist"},
    {garbled, "not a property list"},
    {MakeBundle(dir, "foreign.component", "lib", "Entry", false), "no AudioComponents"},
    {badLibrary, "does not load"},
    {noFactory, "no factory function NoSuchEntry"},
  };
  for (const auto& c : cases)
  {
    std::string error;
    EXPECT_FALSE(LoadComponentBundle(c.path, &error)) << c.path;
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }

  // Scanning a folder reports each broken bundle and loads the others.
  std::vector<std::string> problems;
  EXPECT_EQ(LoadComponentBundles({dir.Path(), dir / "no such folder"}, &problems), 0);
  EXPECT_EQ(problems.size(), 5u);
}

TEST(HostBundles, ThePluginOptionPicksTheBundleAndABadOneIsNamed)
{
  ScratchDir dir;
  RunResult r = RunHost(dir, {"info", "--plugin", QUILL_COMPONENT_BUNDLE});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Trml"), std::string::npos);

  r = RunHost(dir, {"--plugin", dir / "nowhere.component", "info"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(dir / "nowhere.component"), std::string::npos) << r.err;

  // Without --plugin the host searches QUILL_COMPONENT_PATH first; a folder
  // holding only a broken bundle still leaves the build tree's to be found.
  MakeBundle(dir, "broken.component", "lib", "Entry");
  setenv("QUILL_COMPONENT_PATH", dir.Path().c_str(), 1);
  r = RunHost(dir, {"info"});
  unsetenv("QUILL_COMPONENT_PATH");
  EXPECT_EQ(r.exitCode, 0) << r.err;
}
