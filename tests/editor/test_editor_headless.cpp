// Headless platform layer: skin images found by file name in the resource
// folder, and window operations that report failure without a view.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include <QuillPlatform.h>

#include "EditorTestSupport.h"

namespace fs = std::filesystem;

namespace
{

struct HeadlessTest : ::testing::Test
{
  TestPlug plug;
  IGraphicsHeadless* g = new IGraphicsHeadless(&plug, 50, 40);
  fs::path dir;

  HeadlessTest()
  {
    dir = fs::temp_directory_path() / ("quill_editor_headless_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::copy_file(fs::path(QUILL_TESTDATA_DIR) / "png" / "pngsuite" / "basn6a08.png", dir / "knob.png",
                  fs::copy_options::overwrite_existing);
    std::ofstream(dir / "broken.png") << "not a png at all";
  }
  ~HeadlessTest() override
  {
    if (!plug.GetEditor()) delete g;
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

TEST_F(HeadlessTest, ImagesAreFoundByTheLastPathComponentOfTheirName)
{
  g->SetResourceFolder(dir.c_str());
  EXPECT_EQ((dir / "knob.png").string(), g->ResolveResource("resources/img/knob.png"));
  EXPECT_EQ((dir / "knob.png").string(), g->ResolveResource("knob.png"));
  EXPECT_EQ("", g->ResolveResource("resources/img/"));
  EXPECT_EQ("", g->ResolveResource(nullptr));
  EXPECT_EQ("", g->ResolveResource("missing.png"));

  IBitmap knob = g->LoadIBitmap(9101, "resources/img/knob.png", 2);
  ASSERT_NE(nullptr, knob.mData);
  EXPECT_EQ(32, knob.W);
  EXPECT_EQ(32, knob.H);
  EXPECT_EQ(2, knob.N);
}

TEST_F(HeadlessTest, AnUnreadableImageIsReportedByNameAndLeavesAnEmptyBitmap)
{
  g->SetResourceFolder(dir.c_str());
  for (const char* name : {"resources/img/broken.png", "resources/img/absent.png"})
  {
    testing::internal::CaptureStderr();
    IBitmap b = g->LoadIBitmap(name[14] == 'b' ? 9102 : 9103, name);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find(name)) << err;
    ASSERT_NE(nullptr, b.mData);
    EXPECT_EQ(0, b.W);
  }
}

TEST_F(HeadlessTest, TheProcessWideFolderServesEditorsWithoutTheirOwn)
{
  IGraphicsHeadless::SetDefaultResourceFolder(dir.c_str());
  EXPECT_EQ((dir / "knob.png").string(), g->ResolveResource("img/knob.png"));
  IGraphicsHeadless::SetDefaultResourceFolder(nullptr);
  EXPECT_EQ("", g->ResolveResource("img/knob.png")) << "the folder beside the test binary has no such image";
}

TEST_F(HeadlessTest, TheViewHandsItsPictureToTheHostUntilClosed)
{
  plug.AttachGraphics(g);
  NSView* view = static_cast<NSView*>(g->OpenWindow(nullptr));
  ASSERT_NE(nullptr, view);
  EXPECT_EQ(view, g->OpenWindow(nullptr)) << "one view while open";
  EXPECT_TRUE(g->WindowIsOpen());
  int w = 0, h = 0;
  ASSERT_TRUE(QuillGetOffscreenViewSize(view, &w, &h));
  EXPECT_EQ(50, w);
  EXPECT_EQ(40, h);
  LICE_Clear(g->GetDrawBitmap(), LICE_MakePixel(10, 20, 30, 255));
  std::vector<uint32_t> pixels(50 * 40, 0);
  EXPECT_FALSE(QuillDrawOffscreenView(view, pixels.data(), pixels.size() - 1)) << "a short buffer";
  ASSERT_TRUE(QuillDrawOffscreenView(view, pixels.data(), pixels.size()));
  EXPECT_EQ(0xFF0A141Eu, pixels[0]) << "0xAARRGGBB";
  EXPECT_EQ(0xFF0A141Eu, pixels.back());
  g->CloseWindow();
  EXPECT_FALSE(g->WindowIsOpen());
  EXPECT_FALSE(QuillGetOffscreenViewSize(view, &w, &h)) << "a closed view is no view";
}

TEST_F(HeadlessTest, OtherWindowOperationsFailAsWithoutAWindowSystem)
{
  EXPECT_EQ(nullptr, g->OpenWindow(nullptr, nullptr, 0, 0));
  EXPECT_FALSE(g->WindowIsOpen());
  EXPECT_FALSE(g->OpenURL("http://example.invalid"));
  IColor color;
  EXPECT_FALSE(g->PromptForColor(&color));
  WDL_String file("old");
  g->PromptForFile(&file);
  EXPECT_STREQ("", file.Get());
  WDL_String clip("x");
  EXPECT_FALSE(g->GetTextFromClipboard(&clip));
  EXPECT_EQ(0, g->ShowMessageBox("Save?", "Quit", 0));
  EXPECT_STREQ("Save?", g->LastMessageBoxText());
  g->QueueMessageBoxAnswer(6);
  EXPECT_EQ(6, g->ShowMessageBox("Again?", "Quit", 0));
}

TEST_F(HeadlessTest, PathsPointAtTheRunningModule)
{
  WDL_String plugin, host;
  g->PluginPath(&plugin);
  g->HostPath(&host);
  EXPECT_TRUE(fs::is_directory(plugin.Get())) << plugin.Get();
  EXPECT_TRUE(fs::exists(fs::path(host.Get()) / "test_editor_headless")) << host.Get();
}

TEST_F(HeadlessTest, AMenuShowsItsNumberingPrefixAndRefusesDisabledChoices)
{
  IPopupMenu menu;
  menu.SetPrefix(2);
  menu.AddItem("first");
  menu.AddSeparator();
  menu.AddItem("third", -1, IPopupMenuItem::kDisabled);
  IRECT r;
  g->QueueMenuChoice(2);
  EXPECT_EQ(nullptr, g->CreateIPopupMenu(&menu, &r));
  ASSERT_EQ(3u, g->LastMenu().size());
  EXPECT_EQ("01: first", g->LastMenu()[0].title);
  EXPECT_EQ("", g->LastMenu()[1].title);
  EXPECT_EQ("03: third", g->LastMenu()[2].title);
  g->QueueMenuChoice(1);
  EXPECT_EQ(nullptr, g->CreateIPopupMenu(&menu, &r)) << "a separator cannot be chosen";
  g->QueueMenuChoice(0);
  EXPECT_EQ(&menu, g->CreateIPopupMenu(&menu, &r));
  EXPECT_EQ(0, menu.GetChosenItemIdx());
}

}  // namespace
