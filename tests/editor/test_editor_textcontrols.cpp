// Text, caption, link, file-selector and bitmap-text controls, and the bitmap
// font drawing they use.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "EditorTestSupport.h"
#include "editor/ITextControl.h"

namespace
{

// Records the platform calls the link and file controls make.
class PlatformGraphics : public MemoryGraphics
{
public:
  using MemoryGraphics::MemoryGraphics;
  std::vector<std::string> urls;
  std::vector<std::string> errors;
  bool urlResult = false;
  int fileDialogs = 0;
  std::string nextFile = "/tmp/chosen.wav";

  bool OpenURL(const char* url, const char* windowTitle, const char*, const char*) override
  {
    urls.push_back(url);
    errors.push_back(windowTitle ? windowTitle : "");
    return urlResult;
  }
  void PromptForFile(WDL_String* file, EFileAction, WDL_String*, char*) override
  {
    ++fileDialogs;
    file->Set(nextFile.c_str());
  }
};

struct TextControlsTest : ::testing::Test
{
  TestPlug plug;
  PlatformGraphics* g = new PlatformGraphics(&plug, 80, 60);
  RecordingControl* canvas = new RecordingControl(&plug, IRECT(0, 0, 80, 60));
  // A bitmap font of 96 frames of 8 x 10 pixels; every pixel of frame f has red f.
  std::unique_ptr<LICE_MemBitmap> fontPixels{new LICE_MemBitmap(8, 960)};
  IBitmap font{fontPixels.get(), 8, 960, 96};

  TextControlsTest()
  {
    for (int y = 0; y < 960; ++y)
      for (int x = 0; x < 8; ++x) LICE_PutPixel(fontPixels.get(), x, y, LICE_MakePixel(y / 10 + 1, 0, 0, 255), 1.0f, 0);
    g->AttachControl(canvas);
    plug.AttachGraphics(g);
  }
  void DrawAll(std::function<void(IGraphics*)> routine)
  {
    LICE_Clear(g->GetDrawBitmap(), 0);
    canvas->routine = std::move(routine);
    IRECT all = Whole(*g);
    g->Draw(&all);
    canvas->routine = nullptr;
  }
  // Frame shown at (x, y): 0 for none.
  int FrameAt(int x, int y) { return g->GetPoint(x, y).R; }
  // Runs IsDirty/SetClean the way a drawing pass does until the control settles.
  static void Settle(IControl* c)
  {
    for (int i = 0; i < 4; ++i) c->SetClean();
  }
};

}  // namespace

TEST_F(TextControlsTest, SetTextFromPlugDirtiesOnlyOnChange)
{
  ITextControl* text = new ITextControl(&plug, IRECT(0, 0, 40, 10), nullptr, "abc");
  IBitmapTextControl* bitmapText = new IBitmapTextControl(&plug, IRECT(0, 20, 40, 30), &font, "abc");
  g->AttachControl(text);
  g->AttachControl(bitmapText);
  struct Case
  {
    const char* str;
    bool dirty;
  } cases[] = {{"abc", false}, {"abd", true}, {"abd", false}, {"", true}};
  for (const Case& c : cases)
  {
    Settle(text);
    Settle(bitmapText);
    text->SetTextFromPlug(c.str);
    bitmapText->SetTextFromPlug(c.str);
    EXPECT_EQ(text->IsDirty(), c.dirty) << c.str;
    EXPECT_EQ(bitmapText->IsDirty(), c.dirty) << c.str;
    EXPECT_STREQ(text->GetTextForPlug(), c.str);
    EXPECT_STREQ(bitmapText->GetTextForPlug(), c.str);
  }
}

TEST_F(TextControlsTest, CaptionFollowsItsParameterAndPromptsWhenEnabled)
{
  IText style(10, &COLOR_WHITE, "DejaVu Sans");
  ICaptionControl* mode = new ICaptionControl(&plug, IRECT(0, 0, 80, 12), kMode, &style, true);
  ICaptionControl* gain = new ICaptionControl(&plug, IRECT(0, 20, 80, 32), kGain, &style, true);
  ICaptionControl* plain = new ICaptionControl(&plug, IRECT(0, 40, 80, 52), kGain, &style, false);
  g->AttachControl(mode);
  g->AttachControl(gain);
  g->AttachControl(plain);
  plug.GetParam(kMode)->Set(1.0);
  plug.GetParam(kGain)->Set(25.0);
  DrawAll([&](IGraphics* gr) {
    mode->Draw(gr);
    gain->Draw(gr);
    plain->Draw(gr);
  });
  // A value with a display text has an empty label: the text and one space.
  EXPECT_STREQ(mode->GetTextForPlug(), "Tri ");
  EXPECT_STREQ(gain->GetTextForPlug(), "25.0 %");
  EXPECT_STREQ(plain->GetTextForPlug(), "25.0");
  int inked = 0;
  for (int x = 0; x < 80; ++x)
    for (int y = 20; y < 32; ++y) inked += FrameAt(x, y) > 0;
  EXPECT_GT(inked, 10);

  IMouseMod left;
  left.L = true;
  mode->OnMouseDown(1, 1, &left);
  mode->OnMouseDblClick(1, 1, &left);
  EXPECT_EQ(g->MenusShown(), 0);  // prompts start disabled
  mode->DisablePrompt(false);
  g->QueueMenuChoice(2);
  mode->OnMouseDown(1, 1, &left);
  EXPECT_EQ(g->MenusShown(), 1);
  EXPECT_DOUBLE_EQ(mode->GetValue(), 1.0);
  IMouseMod none;
  mode->OnMouseDown(1, 1, &none);  // no button flag: nothing
  mode->OnMouseDblClick(1, 1, &none);
  EXPECT_EQ(g->MenusShown(), 2);
}

TEST_F(TextControlsTest, LinkFallsBackToItsBackupAndCutsLongTexts)
{
  const std::string longURL(400, 'u');
  IURLControl* link = new IURLControl(&plug, IRECT(0, 0, 10, 10), "https://example.org/a", "https://example.org/b",
                                      "could not open");
  IURLControl* empty = new IURLControl(&plug, IRECT(0, 0, 10, 10), "", "https://example.org/c");
  IURLControl* huge = new IURLControl(&plug, IRECT(0, 0, 10, 10), longURL.c_str(), nullptr, nullptr);
  g->AttachControl(link);
  g->AttachControl(empty);
  g->AttachControl(huge);
  link->OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(g->urls, (std::vector<std::string>{"https://example.org/a", "https://example.org/b"}));
  EXPECT_EQ(g->errors[1], "could not open");
  g->urls.clear();
  g->urlResult = true;
  link->OnMouseDown(0, 0, nullptr);
  empty->OnMouseDown(0, 0, nullptr);
  EXPECT_EQ(g->urls, (std::vector<std::string>{"https://example.org/a", "https://example.org/c"}));
  EXPECT_EQ(std::string(huge->GetURL()), longURL.substr(0, 255));
  EXPECT_STREQ(huge->GetBackupURL(), "");
}

TEST_F(TextControlsTest, FileSelectorTogglesItsValueAndRedrawsOnceAfterwards)
{
  IFileSelectorControl* files = new IFileSelectorControl(&plug, IRECT(0, 0, 8, 10), kBypass, &font, kFileOpen,
                                                         "/tmp", "wav aif");
  g->AttachControl(files);
  Settle(files);
  for (double expect : {1.0, 0.0, 1.0})
  {
    files->OnMouseDown(1, 1, nullptr);
    EXPECT_DOUBLE_EQ(files->GetValue(), expect);
    EXPECT_EQ(files->GetState(), IFileSelectorControl::kFSDone);
    Settle(files);
    EXPECT_TRUE(files->IsDirty());  // once for the finished selection
    EXPECT_FALSE(files->IsDirty());
  }
  EXPECT_EQ(g->fileDialogs, 3);
  WDL_String chosen;
  files->GetLastSelectedFileForPlug(&chosen);
  EXPECT_STREQ(chosen.Get(), "/tmp/chosen.wav");
  files->SetLastSelectedFileFromPlug("/x.wav");
  files->GetLastSelectedFileForPlug(&chosen);
  EXPECT_STREQ(chosen.Get(), "/x.wav");
  // Idle: the control draws nothing.
  DrawAll([&](IGraphics* gr) { files->Draw(gr); });
  EXPECT_EQ(FrameAt(1, 1), 0);
}

TEST_F(TextControlsTest, BitmapTextBreaksLinesAndAlignsByTheStyle)
{
  IText near(10, &COLOR_WHITE, nullptr, IText::kStyleNormal, IText::kAlignNear);
  IText centre(10, &COLOR_WHITE, nullptr, IText::kStyleNormal, IText::kAlignCenter);
  // 10 characters of width 8 in 32 pixels: lines of 4, 4 and 2.
  DrawAll([&](IGraphics* gr) {
    IRECT r(0, 0, 32, 40);
    DrawBitmapedText(gr, &font, &r, &near, nullptr, "ABCDEFGHIJ", false, true, 8, 10, 0);
  });
  const char* expect = "ABCDEFGHIJ";
  for (int i = 0; i < 10; ++i) EXPECT_EQ(FrameAt((i % 4) * 8 + 1, (i / 4) * 10 + 1), expect[i] - 31) << i;
  EXPECT_EQ(FrameAt(17, 21), 0);
  EXPECT_EQ(FrameAt(1, 31), 0);

  // A centred single line wider than its rectangle starts left of it and is
  // cut after width / charWidth characters.
  DrawAll([&](IGraphics* gr) {
    IRECT r(10, 0, 30, 10);
    DrawBitmapedText(gr, &font, &r, &centre, nullptr, "UVWXYZ", false, false, 8, 10, 0);
  });
  EXPECT_EQ(FrameAt(0, 5), 'U' - 31);   // the cell at x = -4 .. 3
  EXPECT_EQ(FrameAt(4, 5), 'V' - 31);
  EXPECT_EQ(FrameAt(12, 5), 0);         // third character not drawn

  // Vertical centring and the control itself; bytes above 127 show the first frame.
  IBitmapTextControl* label = new IBitmapTextControl(&plug, IRECT(40, 20, 80, 50), &font, "a\xE9", &near, 8, 10, 2,
                                                     false, true);
  g->AttachControl(label);
  DrawAll([&](IGraphics* gr) { label->Draw(gr); });
  EXPECT_EQ(FrameAt(41, 30), 'a' - 31);  // top at 20 + (50 - 30) / 2 = 30
  EXPECT_EQ(FrameAt(41, 29), 0);
  EXPECT_EQ(FrameAt(51, 30), 1);
  DrawAll([&](IGraphics* gr) {
    IRECT r(0, 0, 32, 40);
    DrawBitmapedText(gr, &font, &r, &near, nullptr, "", false, true, 8, 10, 0);
    DrawBitmapedText(gr, nullptr, &r, &near, nullptr, "AB", false, true, 8, 10, 0);
    DrawBitmapedText(gr, &font, &r, &near, nullptr, "AB", false, true, 0, 10, 0);
  });
  EXPECT_EQ(FrameAt(1, 1), 0);
}
