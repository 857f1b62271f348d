// Cached-font text: UTF-8 decoding, glyph capture against FreeType's own
// rendering, measuring, the glyph cache's records, the draw paths and clipping.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "raster/lice_blit.h"
#include "raster/lice_combine.h"
#include "raster/lice_fontlib.h"
#include "raster/lice_text.h"
#include "raster_test_util.h"

using rastertest::Guarded;

namespace {

struct FontDeleter {
  void operator()(HFONT f) const { DeleteObject(f); }
};

HFONT makeFont(int height, int quality = 4, int weight = 400, const char* face = "DejaVu Sans") {
  return CreateFont(height, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, quality, 0, face);
}

// An independent FreeType face for the font's file and size.
class RefFace {
 public:
  explicit RefFace(HFONT font) {
    LICE_PlatformFontInfo info;
    if (!LICE_GetPlatformFontInfo(font, &info)) return;
    mono_ = info.mono;
    if (FT_Init_FreeType(&lib_) != 0) return;
    if (FT_New_Face(lib_, info.file, info.faceIndex, &face_) != 0) face_ = nullptr;
    if (face_) FT_Set_Char_Size(face_, 0, info.emSize26_6, 72, 72);
  }
  ~RefFace() {
    if (face_) FT_Done_Face(face_);
    if (lib_) FT_Done_FreeType(lib_);
  }
  FT_GlyphSlot render(unsigned code) {
    if (!face_) return nullptr;
    const FT_Int32 load = FT_LOAD_RENDER | (mono_ ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    return FT_Load_Char(face_, code, load) == 0 ? face_->glyph : nullptr;
  }
  int advance(unsigned code) {
    FT_GlyphSlot s = render(code);
    return s ? (int)((s->advance.x + 32) >> 6) : -1;
  }

 private:
  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
  bool mono_ = false;
};

int measureWidth(LICE_CachedFont& f, const char* s, unsigned flags = 0, int* height = nullptr) {
  RECT r = {0, 0, 0, 0};
  f.DrawText(nullptr, s, -1, &r, flags | DTF_CALCRECT);
  if (height) *height = r.bottom;
  return r.right;
}

}  // namespace

TEST(RasterText, Utf8DecodingFollowsTheByteRules) {
  struct Case {
    const char* bytes;
    unsigned short code;
    int len;
  } cases[] = {
      {"A", 'A', 1},
      {"\xC3\xA9", 0xE9, 2},
      {"\xE2\x82\xAC", 0x20AC, 3},
      {"\xF0\x9F\x98\x80", ' ', 4},
      {"\x80", 0x80, 1},          // stray continuation byte
      {"\xC3", 0xC3, 1},          // lead byte followed by the NUL
      {"\xC0\x80", 0xC0, 1},      // overlong lead
      {"\xE2\x82", 0xE2, 1},      // cut three-byte sequence
      {"\xF5\x80\x80\x80", 0xF5, 1},
  };
  for (const Case& c : cases) {
    unsigned short code = 0;
    EXPECT_EQ(utf8char(c.bytes, &code), c.len) << c.bytes;
    EXPECT_EQ(code, c.code) << c.bytes;
  }
}

TEST(RasterText, CachedCoverageEqualsFreeTypeRendering) {
  // Anti-aliased and mono, a small and a larger size, letters with and
  // without descenders: the cache must not change a single coverage value.
  struct Case {
    int height, quality;
    unsigned short code;
  } cases[] = {{12, 4, 'a'}, {24, 4, 'g'}, {24, 4, 0xE9}, {16, 3, 'R'}, {13, 4, '%'}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.height << " q" << c.quality << " code " << c.code);
    HFONT hf = makeFont(c.height, c.quality);
    ASSERT_NE(hf, nullptr);
    LICE_CachedFont font;
    font.SetFromHFont(hf, LICE_CF_OWNS_FONT);
    char utf[4] = {0};
    if (c.code < 128) {
      utf[0] = (char)c.code;
    } else {
      utf[0] = (char)(0xC0 | (c.code >> 6));
      utf[1] = (char)(0x80 | (c.code & 0x3F));
    }
    measureWidth(font, utf);
    const LICE_CachedFont::charEnt* e = font.findChar(c.code);
    ASSERT_NE(e, nullptr);
    const unsigned char* cov = font.GetCoverage(e);
    ASSERT_NE(cov, nullptr);
    LICE_TEXTMETRIC tm;
    GetTextMetrics(hf, &tm);
    EXPECT_EQ(e->height, tm.tmHeight);

    RefFace ref(hf);
    FT_GlyphSlot s = ref.render(c.code);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(e->advance, (int)((s->advance.x + 32) >> 6));
    const FT_Bitmap& b = s->bitmap;
    ASSERT_GE(s->bitmap_left, 0);
    for (int y = 0; y < e->height; ++y)
      for (int x = 0; x < e->width; ++x) {
        const int by = y - (tm.tmAscent - s->bitmap_top), bx = x - s->bitmap_left;
        int expect = 0;
        if (by >= 0 && bx >= 0 && by < (int)b.rows && bx < (int)b.width) {
          const unsigned char* row = b.buffer + by * b.pitch;
          expect = b.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[bx >> 3] & (0x80 >> (bx & 7))) ? 255 : 0)
                                                      : row[bx];
        }
        ASSERT_EQ(cov[y * e->width + x], expect) << "at " << x << "," << y;
      }
  }
}

TEST(RasterText, MeasuredWidthIsTheSumOfAdvancesOnBothPaths) {
  HFONT hf = makeFont(14);
  ASSERT_NE(hf, nullptr);
  RefFace ref(hf);
  const char* text = "Rate 0.50 Hz, Wave/Tri";
  int sum = 0;
  for (const char* p = text; *p; ++p) sum += ref.advance((unsigned char)*p);
  for (int flags : {(int)LICE_CF_NATIVE, 0}) {
    LICE_CachedFont font;
    font.SetFromHFont(hf, flags);
    int h = 0;
    EXPECT_EQ(measureWidth(font, text, 0, &h), sum) << "flags " << flags;
    EXPECT_GT(h, 0);
    EXPECT_LE(h, font.GetLineHeight());
  }
  DeleteObject(hf);
}

TEST(RasterText, GlyphRecordsAreReusedAndHighCodesStaySorted) {
  LICE_CachedFont font;
  font.SetFromHFont(makeFont(16), LICE_CF_OWNS_FONT);
  measureWidth(font, "A");
  const LICE_CachedFont::charEnt* a = font.findChar('A');
  ASSERT_NE(a, nullptr);
  const int offset = a->base_offset;
  EXPECT_GT(offset, 0);
  measureWidth(font, "AA");
  EXPECT_EQ(font.findChar('A')->base_offset, offset);
  measureWidth(font, "B");
  EXPECT_GT(font.findChar('B')->base_offset, offset);

  measureWidth(font, "\xE2\x82\xAC \xC3\xA9 \xD0\x96 \xC2\xB0");  // euro, e acute, zhe, degree
  ASSERT_EQ(font.NumHighChars(), 4);
  const unsigned short sorted[] = {0xB0, 0xE9, 0x416, 0x20AC};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(font.HighChar(i)->charid, sorted[i]);
    EXPECT_GT(font.HighChar(i)->base_offset, 0);
  }
}

TEST(RasterText, LineFeedsFourByteSequencesAndPrecache) {
  LICE_CachedFont font;
  font.SetFromHFont(makeFont(16), LICE_CF_OWNS_FONT);
  const int lh = font.GetLineHeight();
  int h1 = 0, h2 = 0, hs = 0;
  EXPECT_EQ(measureWidth(font, "a\xF0\x9F\x98\x80" "b"), measureWidth(font, "a b"));
  EXPECT_EQ(measureWidth(font, "A\nB", DTF_SINGLELINE, &hs), measureWidth(font, "A B"));
  const int w2 = measureWidth(font, "A\nB", 0, &h2);
  measureWidth(font, "A", 0, &h1);
  EXPECT_EQ(hs, h1);
  EXPECT_EQ(h2, lh + h1);
  EXPECT_EQ(w2, std::max(measureWidth(font, "A"), measureWidth(font, "B")));

  LICE_CachedFont ascii;
  ascii.SetFromHFont(makeFont(16), LICE_CF_OWNS_FONT | LICE_CF_PRECACHE_ASCII);
  EXPECT_GT(ascii.findChar('z')->base_offset, 0);  // rendered up front
  EXPECT_EQ(measureWidth(ascii, "\xE2\x82\xAC"), 0);
  EXPECT_EQ(ascii.NumHighChars(), 0);
}

TEST(RasterText, DrawGlyphWeightsFollowTheGlyphKind) {
  const LICE_pixel colour = LICE_MakePixel(200, 40, 10, 77);
  for (int flags : {(int)LICE_CF_MONO, 0}) {
    LICE_CachedFont font;
    font.SetFromHFont(makeFont(40), LICE_CF_OWNS_FONT | flags);
    font.SetTextColor(colour);
    measureWidth(font, "H");
    const LICE_CachedFont::charEnt* e = font.findChar('H');
    const unsigned char* cov = font.GetCoverage(e);
    ASSERT_NE(cov, nullptr);
    Guarded g(e->width, e->height);
    RECT clip = {0, 0, g.w(), g.h()};
    ASSERT_TRUE(font.DrawGlyph(g.bm(), 'H', 0, 0, &clip));
    int solid = 0;
    for (int y = 0; y < e->height; ++y)
      for (int x = 0; x < e->width; ++x) {
        if (cov[y * e->width + x] != 255) continue;
        ++solid;
        // Mono stores the colour as is; plain coverage 255 blends at weight
        // 256 with alpha 255.
        const LICE_pixel expect = flags ? colour : LICE_MakePixel(200, 40, 10, 255);
        ASSERT_EQ(g.at(x, y), expect) << x << "," << y;
      }
    EXPECT_GT(solid, 20);
    EXPECT_TRUE(g.guardIntact());
  }
}

TEST(RasterText, NativePathBlendsBackAtTheFontAlpha) {
  const LICE_pixel bg = LICE_MakePixel(10, 200, 30, 255);
  auto draw = [&](float alpha, Guarded& g) {
    LICE_CachedFont font;
    font.SetFromHFont(makeFont(20), LICE_CF_OWNS_FONT | LICE_CF_NATIVE);
    font.SetTextColor(LICE_MakePixel(250, 250, 250, 255));
    font.SetCombineMode(LICE_COMBINE_COPY, alpha);
    g.fill(bg);
    RECT r = {2, 2, 120, 30};
    font.DrawText(g.bm(), "Wave", -1, &r, 0);
    EXPECT_EQ(font.findChar('W')->base_offset, 0);  // nothing went through the glyph cache
  };
  Guarded full(120, 30), half(120, 30);
  draw(1.0f, full);
  draw(0.5f, half);
  int changed = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const LICE_pixel f = full.at(x, y), h = half.at(x, y);
      if (f != bg) ++changed;
      EXPECT_NEAR(LICE_PixelR(h), (LICE_PixelR(f) + LICE_PixelR(bg)) / 2, 1);
      EXPECT_NEAR(LICE_PixelG(h), (LICE_PixelG(f) + LICE_PixelG(bg)) / 2, 1);
    }
  EXPECT_GT(changed, 30);
}

TEST(RasterText, TallFontsAlwaysDrawNatively) {
  LICE_CachedFont font;
  font.SetFromHFont(makeFont(300), LICE_CF_OWNS_FONT);  // no native flag
  ASSERT_GE(font.GetLineHeight(), 256);
  Guarded g(200, 320);
  RECT r = {0, 0, 200, 320};
  EXPECT_GT(font.DrawText(g.bm(), "A", -1, &r, 0), 0);
  EXPECT_EQ(font.findChar('A')->base_offset, 0);
  EXPECT_NE(g.pixels(), std::vector<LICE_pixel>(200 * 320, 0));
}

TEST(RasterText, DrawingStaysInsideTheBitmapOnEveryPath) {
  // Rectangles hanging over every edge, with and without clipping to them,
  // through the native path, the glyph path and a flipped bitmap.
  const RECT rects[] = {{-30, -9, 60, 20}, {40, 10, 400, 60}, {-5, 25, 90, 35}, {70, -40, 200, 8}};
  for (int flags : {(int)LICE_CF_NATIVE, 0, (int)LICE_CF_SHADOW})
    for (bool flipped : {false, true})
      for (unsigned dt : {0u, (unsigned)DTF_NOCLIP, (unsigned)(DTF_CENTER | DTF_VCENTER | DTF_NOCLIP),
                          (unsigned)(DTF_RIGHT | DTF_BOTTOM)})
        for (const RECT& rc : rects) {
          LICE_CachedFont font;
          font.SetFromHFont(makeFont(18), LICE_CF_OWNS_FONT | flags);
          font.SetTextColor(0xFFFFFFFF);
          font.SetBkMode(1);
          Guarded g(80, 30, flipped);
          RECT r = rc;
          font.DrawText(g.bm(), "Wg\n\xC3\xA9jQ", -1, &r, dt);
          ASSERT_TRUE(g.guardIntact()) << flags << " " << dt << " " << rc.left << "," << rc.top;
        }
}

TEST(RasterText, BadInputDrawsNothing) {
  EXPECT_EQ(makeFont(5000), nullptr);
  EXPECT_EQ(makeFont(-5000), nullptr);
  HFONT defaultSize = makeFont(0);
  ASSERT_NE(defaultSize, nullptr);
  DeleteObject(defaultSize);
  DeleteObject(nullptr);

  LICE_CachedFont empty;  // no platform font
  Guarded g(40, 20);
  RECT r = {0, 0, 40, 20};
  EXPECT_EQ(empty.DrawText(g.bm(), "abc", -1, &r, 0), 0);
  LICE_CachedFont font;
  font.SetFromHFont(makeFont(12), LICE_CF_OWNS_FONT);
  font.SetTextColor(0xFFFFFFFF);
  EXPECT_EQ(font.DrawText(g.bm(), nullptr, -1, &r, 0), 0);
  EXPECT_EQ(font.DrawText(g.bm(), "abc", -1, nullptr, 0), 0);
  EXPECT_EQ(font.DrawText(g.bm(), "abc", 0, &r, 0), 0);
  EXPECT_EQ(font.DrawText(nullptr, "abc", -1, &r, 0), 0);
  font.DrawText(g.bm(), "\xFF\xFE\xC3\xE2\x82", -1, &r, 0);  // invalid UTF-8 still draws bytes as codes
  // A length that cuts a sequence: its lead byte stands alone and the byte
  // beyond the length is never read.
  for (int flags : {0, (int)LICE_CF_NATIVE}) {
    font.SetFromHFont(font.GetHFont(), LICE_CF_OWNS_FONT | flags);
    RECT cut = {0, 0, 0, 0};
    font.DrawText(nullptr, "ab\xC3\xA9", 3, &cut, DTF_CALCRECT);
    EXPECT_EQ(cut.right, measureWidth(font, "ab\xC3"));
    EXPECT_GT(cut.right, measureWidth(font, "ab"));
  }
  EXPECT_TRUE(g.guardIntact());
}

TEST(RasterText, UnloadableFontLibrariesGiveNoTableAndNoFont) {
  const struct {
    const char* freetype;
    const char* fontconfig;
  } cases[] = {
      {"libquill-no-such-freetype.so.6", LICE_FONTCONFIG_SONAME},
      {LICE_FREETYPE_SONAME, "libquill-no-such-fontconfig.so.1"},
      {"libz.so.1", LICE_FONTCONFIG_SONAME},  // opens, but has none of the functions
  };
  for (const auto& c : cases) {
    LICE_FontLib lib;
    EXPECT_FALSE(LICE_LoadFontLib(c.freetype, c.fontconfig, &lib)) << c.freetype << " " << c.fontconfig;
    EXPECT_EQ(lib.FT_Init_FreeType, nullptr) << c.freetype << " " << c.fontconfig;
    EXPECT_EQ(lib.FcInit, nullptr) << c.freetype << " " << c.fontconfig;
  }
  EXPECT_EQ(LICE_CreateFontWithLib(nullptr, 16, 400, 0, 4, "DejaVu Sans"), nullptr);
}

TEST(RasterText, DrawGlyphExCutsToTheBitmap) {
  const unsigned char cov[3 * 2] = {255, 128, 0, 0, 255, 255};
  Guarded g(4, 4);
  LICE_DrawGlyph(g.bm(), 2, 3, LICE_MakePixel(100, 100, 100, 100), cov, 3, 2, 1.0f, LICE_COMBINE_ADD);
  // Weight 256 * c / 256 = c: add mode gives 100 * 255 / 256 = 99 and 100 * 128 / 256 = 50.
  EXPECT_EQ(LICE_PixelR(g.at(2, 3)), 99);
  EXPECT_EQ(LICE_PixelR(g.at(3, 3)), 50);
  LICE_DrawGlyphEx(g.bm(), -1, -1, 0xFFFFFFFF, cov, 3, 3, 2, 1.0f, LICE_COMBINE_COPY);
  // Only the second coverage row, from its second column, lands inside.
  EXPECT_EQ(g.at(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(g.at(1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(g.at(2, 0), 0u);
  EXPECT_EQ(g.at(0, 1), 0u);
  EXPECT_TRUE(g.guardIntact());
}

TEST(RasterText, FontFlagsTransformTheCapturedCoverage) {
  // Each flag's glyph is derived from the plain glyph independently here.
  LICE_CachedFont plain;
  plain.SetFromHFont(makeFont(20), LICE_CF_OWNS_FONT);
  measureWidth(plain, "R");
  const LICE_CachedFont::charEnt* p = plain.findChar('R');
  const unsigned char* pc = plain.GetCoverage(p);
  ASSERT_NE(pc, nullptr);
  const int W = p->width, H = p->height;
  auto P = [&](int x, int y) -> int {
    return x >= 0 && y >= 0 && x < W && y < H ? pc[y * W + x] : -1;
  };
  auto mono = [&](int x, int y) { return P(x, y) > 130 ? 255 : (P(x, y) < 0 ? -1 : 0); };
  struct Case {
    int flags;
    bool turned;
    std::function<int(int, int)> expect;  // coverage at (x, y) of the flagged glyph
  } cases[] = {
      {LICE_CF_VERTICAL, true, [&](int x, int y) { return P(y, H - 1 - x); }},
      {LICE_CF_VERTICAL | LICE_CF_BOTTOM_UP, true, [&](int x, int y) { return P(W - 1 - y, x); }},
      {LICE_CF_INVERT, false, [&](int x, int y) { return 255 - P(x, y); }},
      {LICE_CF_MONO, false, mono},
      {LICE_CF_SHADOW, false,
       [&](int x, int y) {
         if (mono(x, y)) return mono(x, y);
         return mono(x - 1, y) == 255 || mono(x - 1, y - 1) == 255 || mono(x, y - 1) == 255 ? 128 : 0;
       }},
      {LICE_CF_OUTLINE, false,
       [&](int x, int y) {
         if (mono(x, y)) return mono(x, y);
         return mono(x, y - 1) == 255 || mono(x, y + 1) == 255 || mono(x - 1, y) == 255 || mono(x + 1, y) == 255
                    ? 128
                    : 0;
       }},
  };
  for (const Case& c : cases) {
    LICE_CachedFont font;
    font.SetFromHFont(makeFont(20), LICE_CF_OWNS_FONT | c.flags);
    measureWidth(font, "R");
    const LICE_CachedFont::charEnt* e = font.findChar('R');
    const unsigned char* cov = font.GetCoverage(e);
    ASSERT_NE(cov, nullptr) << c.flags;
    ASSERT_EQ(e->width, c.turned ? H : W) << c.flags;
    ASSERT_EQ(e->height, c.turned ? W : H) << c.flags;
    for (int y = 0; y < e->height; ++y)
      for (int x = 0; x < e->width; ++x)
        ASSERT_EQ(cov[y * e->width + x], c.expect(x, y)) << "flags " << c.flags << " at " << x << "," << y;
  }
}
