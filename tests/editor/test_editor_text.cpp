// Text drawing through IGraphics: measuring and alignment, the process-wide
// font cache (its key, the height correction, sharing across threads) and the
// platform font matching behind it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "EditorTestSupport.h"
#include "editor/ITextControl.h"

namespace
{

struct TextTest : ::testing::Test
{
  TestPlug plug;
  MemoryGraphics* g = new MemoryGraphics(&plug, 240, 80);

  TextTest()
  {
    g->AttachControl(new RecordingControl(&plug, IRECT(0, 0, 240, 80)));
    plug.AttachGraphics(g);
    LICE_Clear(g->GetDrawBitmap(), LICE_MakePixel(0, 0, 0, 255));
  }

  // Width of `s` in the style, measured by the font itself.
  static int FontWidth(IText* text, const char* s, int* height = nullptr)
  {
    LICE_CachedFont* font = IGraphics::CacheFont(text);
    RECT m = {0, 0, 0, 0};
    font->DrawText(nullptr, s, -1, &m, DTF_CALCRECT);
    if (height) *height = m.bottom;
    return m.right;
  }
  // Bounding box of the pixels that are no longer black.
  IRECT Inked()
  {
    IRECT box(1 << 20, 1 << 20, -1, -1);
    for (int y = 0; y < g->Height(); ++y)
      for (int x = 0; x < g->Width(); ++x)
      {
        const IColor c = g->GetPoint(x, y);
        if (c.R || c.G || c.B)
        {
          box.L = std::min(box.L, x);
          box.T = std::min(box.T, y);
          box.R = std::max(box.R, x + 1);
          box.B = std::max(box.B, y + 1);
        }
      }
    return box;
  }
};

}  // namespace

TEST_F(TextTest, MeasuringPlacesTheBoxByAlignment)
{
  char str[] = "Depth 50%";
  struct Case
  {
    IText::EAlign align;
    int left;  // expected left edge, given width w
  };
  IText text(14, &COLOR_WHITE, "DejaVu Sans");
  int h = 0;
  const int w = FontWidth(&text, str, &h);
  ASSERT_GT(w, 40);
  const Case cases[] = {{IText::kAlignNear, 10}, {IText::kAlignCenter, 105 - w / 2}, {IText::kAlignFar, 200 - w}};
  for (const Case& c : cases)
  {
    text.mAlign = c.align;
    IRECT r(10, 5, 200, 30);
    ASSERT_TRUE(g->MeasureIText(&text, str, &r));
    EXPECT_EQ(r, IRECT(c.left, 5, c.left + w, 5 + h)) << c.align;
  }
}

TEST_F(TextTest, DrawnTextSitsWhereItsMeasureSays)
{
  char str[] = "Hz";
  for (IText::EAlign align : {IText::kAlignNear, IText::kAlignCenter, IText::kAlignFar})
  {
    LICE_Clear(g->GetDrawBitmap(), LICE_MakePixel(0, 0, 0, 255));
    IText text(16, &COLOR_WHITE, "DejaVu Sans", IText::kStyleNormal, align);
    IRECT area(20, 10, 220, 60), measured = area;
    ASSERT_TRUE(g->DrawIText(&text, str, &area));
    g->MeasureIText(&text, str, &measured);
    const IRECT ink = Inked();
    // Ink lies inside the measured box (a glyph may overhang by a pixel).
    EXPECT_GE(ink.L, measured.L - 1) << align;
    EXPECT_LE(ink.R, measured.R + 1) << align;
    EXPECT_GE(ink.T, measured.T) << align;
    EXPECT_LE(ink.B, measured.B) << align;
  }
}

TEST_F(TextTest, StylesDifferingOnlyInColourShareOneFont)
{
  IText red(17, &COLOR_RED, "DejaVu Sans"), blue(17, &COLOR_BLUE, "DejaVu Sans");
  red.mQuality = IText::kQualityNonAntiAliased;  // quality is not part of the key either
  char str[] = "M";
  IRECT left(0, 0, 100, 40), right(120, 0, 220, 40);
  const int before = IGraphics::FontCache().Count();
  g->DrawIText(&red, str, &left);
  g->DrawIText(&blue, str, &right);
  EXPECT_EQ(IGraphics::FontCache().Count(), before + 1);
  ASSERT_NE(red.mCached, nullptr);
  EXPECT_EQ(red.mCached, blue.mCached);
  // Each draw set its own colour: red ink on the left, blue on the right.
  bool sawRed = false, sawBlue = false;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 240; ++x)
    {
      const IColor c = g->GetPoint(x, y);
      if (x < 100 && c.R > 200) sawRed = true;
      if (x >= 120 && c.B > 200) sawBlue = true;
      ASSERT_FALSE(x < 100 && c.B > 0);
      ASSERT_FALSE(x >= 120 && c.R > 0);
    }
  EXPECT_TRUE(sawRed);
  EXPECT_TRUE(sawBlue);
}

TEST_F(TextTest, EmptyOrNullStringsNeitherDrawNorCreateFonts)
{
  IText text(23, &COLOR_WHITE, "DejaVu Serif");
  const int before = IGraphics::FontCache().Count();
  char empty[] = "";
  IRECT r(0, 0, 100, 20);
  EXPECT_TRUE(g->DrawIText(&text, empty, &r));
  EXPECT_TRUE(g->DrawIText(&text, nullptr, &r));
  EXPECT_TRUE(g->MeasureIText(&text, empty, &r));
  EXPECT_EQ(r, IRECT(0, 0, 100, 20));
  EXPECT_EQ(IGraphics::FontCache().Count(), before);
  EXPECT_EQ(text.mCached, nullptr);
  // A size no font can have: false, nothing cached, and the next call tries again.
  IText huge(100000, &COLOR_WHITE, "DejaVu Sans");
  char str[] = "x";
  EXPECT_FALSE(g->DrawIText(&huge, str, &r));
  EXPECT_FALSE(g->MeasureIText(&huge, str, &r));
  EXPECT_EQ(huge.mCached, nullptr);
  EXPECT_EQ(IGraphics::FontCache().Count(), before);
  EXPECT_EQ(Inked().R, -1);
}

TEST(FontCache, LineHeightsComeWithinAPixelOfTheSize)
{
  for (int size = 6; size <= 48; size += 3)
  {
    IText text(size, &COLOR_WHITE, "DejaVu Sans Mono");
    LICE_CachedFont* font = IGraphics::CacheFont(&text);
    ASSERT_NE(font, nullptr);
    EXPECT_NEAR(font->GetLineHeight(), size, 1) << size;
  }
  IText tiny(0, &COLOR_WHITE, "DejaVu Sans");  // heights below 2 ask for 2
  ASSERT_NE(IGraphics::CacheFont(&tiny), nullptr);
  EXPECT_LE(tiny.mCached->GetLineHeight(), 3);
}

TEST(FontCache, FacesStylesAndQualitiesReachTheRightPlatformFont)
{
  auto info = [](const char* face, IText::EStyle style, IText::EQuality q) {
    IText text(20, &COLOR_WHITE, face, style);
    text.mQuality = q;
    LICE_PlatformFontInfo i = {};
    LICE_CachedFont* font = IGraphics::CacheFont(&text);
    EXPECT_TRUE(font && LICE_GetPlatformFontInfo(font->GetHFont(), &i)) << face;
    return std::make_pair(font, i);
  };
  // The default face is missing on Linux and must fall back to a fixed-width family.
  auto monaco = info("Monaco", IText::kStyleNormal, IText::kQualityDefault);
  ASSERT_NE(monaco.first, nullptr);
  RECT wi = {0, 0, 0, 0}, ww = {0, 0, 0, 0};
  monaco.first->DrawText(nullptr, "iiii", -1, &wi, DTF_CALCRECT);
  monaco.first->DrawText(nullptr, "WWWW", -1, &ww, DTF_CALCRECT);
  EXPECT_EQ(wi.right, ww.right);
  EXPECT_FALSE(monaco.second.mono);

  auto bold = info("DejaVu Sans", IText::kStyleBold, IText::kQualityDefault);
  EXPECT_TRUE(bold.second.emboldened || std::strstr(bold.second.file, "Bold")) << bold.second.file;
  auto italic = info("DejaVu Serif", IText::kStyleItalic, IText::kQualityDefault);
  EXPECT_TRUE(italic.second.slanted || std::strstr(italic.second.file, "Italic") ||
              std::strstr(italic.second.file, "Oblique"))
    << italic.second.file;
  auto mono = info("Liberation Mono Unheard Of", IText::kStyleNormal, IText::kQualityNonAntiAliased);
  ASSERT_NE(mono.first, nullptr);  // an unknown face still finds a family
  EXPECT_TRUE(mono.second.mono);
}

TEST(FontCache, ConcurrentFirstUseCreatesOneFontPerKey)
{
  const int before = IGraphics::FontCache().Count();
  const int kThreads = 8;
  std::vector<LICE_CachedFont*> got(kThreads, nullptr);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      IText text(31, &COLOR_BLACK, "DejaVu Sans", IText::kStyleBold);
      text.mColor.G = i;  // colours differ; the key does not
      ++ready;
      while (ready < kThreads) std::this_thread::yield();
      got[i] = IGraphics::CacheFont(&text);
      // Each thread also draws with the shared font into its own bitmap.
      LICE_MemBitmap bm(80, 40);
      RECT r = {0, 0, 80, 40};
      got[i]->DrawText(&bm, "Sync", -1, &r, LICE_TEXT_NO_NATIVE);
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(IGraphics::FontCache().Count(), before + 1);
  for (LICE_CachedFont* f : got) EXPECT_EQ(f, got[0]);
  EXPECT_NE(got[0], nullptr);
}

TEST_F(TextTest, TextControlDrawsItsString)
{
  IText style(12, &COLOR_WHITE, "DejaVu Sans", IText::kStyleNormal, IText::kAlignNear);
  ITextControl* label = new ITextControl(&plug, IRECT(30, 40, 200, 60), &style, "Frequency");
  g->AttachControl(label);
  IRECT all = Whole(*g);
  g->SetAllControlsDirty();
  g->Draw(&all);
  const IRECT ink = Inked();
  EXPECT_GE(ink.L, 30);
  EXPECT_GE(ink.T, 40);
  EXPECT_LT(ink.B, 60);
  EXPECT_GT(ink.W(), 40);
}
