// Bitmaps and whole-bitmap utilities: storage geometry and growth, bounds of
// pixel access, the exact weights of LICE_PutPixel, and comparison.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "raster/lice_bitmap.h"
#include "raster/lice_combine.h"

namespace {

// Rows stored bottom-up: visual row y lives at stored row height - 1 - y.
class FlippedBitmap : public LICE_MemBitmap {
 public:
  FlippedBitmap(int w, int h) : LICE_MemBitmap(w, h) {}
  bool isFlipped() const override { return true; }
};

void FillPattern(LICE_IBitmap* b, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < b->getHeight(); ++y)
    for (int x = 0; x < b->getWidth(); ++x) b->getBits()[y * b->getRowSpan() + x] = rng();
}

// Every stored word, padding included, to check that nothing outside the
// visible area is written.
std::vector<LICE_PackedPixel> Storage(const LICE_IBitmap& b) {
  return std::vector<LICE_PackedPixel>(b.getBits(), b.getBits() + b.getRowSpan() * b.getHeight());
}

// ---------------------------------------------------------------------------
// LICE_MemBitmap

TEST(MemBitmap, AnEmptyBitmapHasNoBitsAndResizingToTheSameEmptySizeReportsNoChange) {
  LICE_MemBitmap a(0, 10);
  EXPECT_EQ(a.getBits(), nullptr);
  EXPECT_EQ(a.getWidth(), 0);
  EXPECT_FALSE(a.resize(0, 0));
  LICE_MemBitmap b;
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_EQ(b.getRowSpan(), 0);
}

TEST(MemBitmap, RowsRoundUpToFourPixelsAndTheBlockGrowsWithAQuarterOfSlack) {
  LICE_MemBitmap b(5, 3);
  EXPECT_EQ(b.getRowSpan(), 8);
  EXPECT_EQ(b.getAllocatedSize(), 96);
  LICE_PackedPixel* before = b.getBits();
  EXPECT_TRUE(b.resize(8, 3));
  EXPECT_EQ(b.getAllocatedSize(), 96) << "96 bytes fit: no reallocation";
  EXPECT_EQ(b.getBits(), before);
  EXPECT_TRUE(b.resize(9, 3));
  EXPECT_EQ(b.getRowSpan(), 12);
  EXPECT_EQ(b.getAllocatedSize(), 144 + 36);
  EXPECT_FALSE(b.resize(9, 3));
}

TEST(MemBitmap, ShrinkingKeepsTheBlock) {
  LICE_MemBitmap b(100, 100);
  LICE_PackedPixel* bits = b.getBits();
  const int cap = b.getAllocatedSize();
  EXPECT_TRUE(b.resize(10, 10));
  EXPECT_EQ(b.getBits(), bits);
  EXPECT_EQ(b.getAllocatedSize(), cap);
  EXPECT_EQ(b.getWidth(), 10);
}

TEST(MemBitmap, BitsAreAlwaysOn64ByteBoundaries) {
  LICE_MemBitmap b;
  for (int w = 1; w < 200; w += 7)
    for (int h = 1; h < 50; h += 11) {
      b.resize(w, h);
      ASSERT_NE(b.getBits(), nullptr);
      EXPECT_EQ((uintptr_t)b.getBits() % 64, 0u) << w << "x" << h;
      // The whole visible area is writable (AddressSanitizer checks the end).
      b.getBits()[(h - 1) * b.getRowSpan() + w - 1] = 1;
    }
}

TEST(MemBitmap, LineAlignmentUsesItsLowestBitAndCapsAtSixteenPixels) {
  struct Case {
    int align;
    int width, span;
  } cases[] = {{-4, 5, 5}, {0, 5, 5}, {1, 5, 5}, {2, 5, 6}, {4, 5, 8}, {6, 5, 6}, {8, 5, 8}, {16, 17, 32}, {64, 17, 32}, {64, 16, 16}};
  for (const Case& c : cases) {
    LICE_MemBitmap b(c.width, 2, c.align);
    EXPECT_EQ(b.getRowSpan(), c.span) << "alignment " << c.align << " width " << c.width;
  }
}

TEST(MemBitmap, NegativeOrUnaddressableSizesLeaveAnEmptyBitmapThatCanGrowAgain) {
  LICE_MemBitmap b(10, 10);
  EXPECT_TRUE(b.resize(-5, 10));
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_EQ(b.getWidth(), 0);
  EXPECT_EQ(b.getHeight(), 0);
  EXPECT_TRUE(b.resize(100000, 100000));
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_EQ(b.getWidth(), 0);
  EXPECT_TRUE(b.resize(INT_MAX, 2));
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_TRUE(b.resize(4, 4));
  ASSERT_NE(b.getBits(), nullptr);
  EXPECT_EQ(b.getWidth(), 4);
}

// ---------------------------------------------------------------------------
// LICE_SysBitmap

TEST(SysBitmap, RowSpanIsAMultipleOfFourAndIsKeptWhenShrinking) {
  LICE_SysBitmap b(5, 4);
  EXPECT_EQ(b.getRowSpan(), 8);
  LICE_PackedPixel* bits = b.getBits();
  ASSERT_NE(bits, nullptr);
  EXPECT_TRUE(b.resize(3, 4));
  EXPECT_EQ(b.getRowSpan(), 8);
  EXPECT_EQ(b.getBits(), bits);
  EXPECT_EQ(b.getWidth(), 3);
  EXPECT_FALSE(b.resize(3, 4));
  EXPECT_TRUE(b.resize(9, 4));  // beyond the allocation: a new buffer
  EXPECT_EQ(b.getRowSpan(), 12);
  EXPECT_EQ(b.getDC(), nullptr);
}

TEST(SysBitmap, EmptyNegativeAndHugeSizesHaveNoBits) {
  LICE_SysBitmap b;
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_TRUE(b.resize(4, 4));
  EXPECT_FALSE(b.resize(0, 4)) << "an empty size frees and reports false";
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_EQ(b.getHeight(), 4) << "the requested size stays recorded";
  EXPECT_FALSE(b.resize(5, 0));
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_EQ(b.getRowSpan(), 8) << "the row span follows the recorded width";
  b.resize(-3, -3);
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_GE(b.getWidth(), 0);
  EXPECT_TRUE(b.resize(200000, 200000));
  EXPECT_EQ(b.getBits(), nullptr);
  EXPECT_EQ(b.getWidth(), 0);
  EXPECT_TRUE(b.resize(2, 2));
  EXPECT_NE(b.getBits(), nullptr);
}

// ---------------------------------------------------------------------------
// Pixel access

TEST(PixelAccess, ChannelHelpersPackAlphaLowAndBlueHigh) {
  const LICE_PackedPixel p = LICE_MakePixel(0x12, 0x34, 0x56, 0x78);
  EXPECT_EQ(p, 0x56341278u);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&p);
  EXPECT_EQ(bytes[LICE_PIXEL_A], 0x78);
  EXPECT_EQ(bytes[LICE_PIXEL_R], 0x12);
  EXPECT_EQ(bytes[LICE_PIXEL_G], 0x34);
  EXPECT_EQ(bytes[LICE_PIXEL_B], 0x56);
  EXPECT_EQ(LICE_PixelR(p), 0x12);
  EXPECT_EQ(LICE_PixelG(p), 0x34);
  EXPECT_EQ(LICE_PixelB(p), 0x56);
  EXPECT_EQ(LICE_PixelA(p), 0x78);
  EXPECT_EQ(LICE_MakePixel(0x112, -1, 256, 0x1FF), LICE_MakePixel(0x12, 0xFF, 0, 0xFF));
}

TEST(PixelAccess, ReadsAndWritesOutsideTheBitmapDoNothing) {
  LICE_MemBitmap b(5, 3);  // row span 8: columns 5-7 are padding
  LICE_Clear(&b, 0);
  const std::vector<LICE_PackedPixel> before = Storage(b);
  const int outside[][2] = {{5, 0}, {-1, 0}, {0, -1}, {0, 3}, {INT_MAX, 1}, {INT_MIN, INT_MIN}, {7, 2}};
  for (auto& p : outside) {
    LICE_PutPixel(&b, p[0], p[1], 0xFFFFFFFFu, 1.0f, LICE_COMBINE_COPY);
    LICE_PutPixel(&b, p[0], p[1], 0xFFFFFFFFu, 1.0f, LICE_COMBINE_ADD);
    EXPECT_EQ(LICE_GetPixel(&b, p[0], p[1]), 0u);
  }
  EXPECT_EQ(Storage(b), before);
  LICE_PutPixel(nullptr, 0, 0, 1, 1.0f, 0);
  EXPECT_EQ(LICE_GetPixel(nullptr, 0, 0), 0u);
  LICE_MemBitmap empty;
  LICE_PutPixel(&empty, 0, 0, 1, 1.0f, 0);
  EXPECT_EQ(LICE_GetPixel(&empty, 0, 0), 0u);
  b.getBits()[2 * 8 + 4] = 0xABCDEF01u;
  EXPECT_EQ(LICE_GetPixel(&b, 4, 2), 0xABCDEF01u);
}

TEST(PixelAccess, FlippedBitmapsAreAddressedInVisualRows) {
  FlippedBitmap b(3, 4);
  LICE_Clear(&b, 0);
  LICE_PutPixel(&b, 1, 0, 0x11111111u, 1.0f, 0);
  EXPECT_EQ(b.getBits()[3 * b.getRowSpan() + 1], 0x11111111u) << "visual row 0 is the last stored row";
  EXPECT_EQ(LICE_GetPixel(&b, 1, 0), 0x11111111u);
  EXPECT_EQ(LICE_GetPixel(&b, 1, 3), 0u);
}

TEST(PutPixel, CopyAtExactWeightsUsesThePackedMixes) {
  const LICE_PackedPixel d = LICE_MakePixel(201, 13, 255, 77), c = LICE_MakePixel(3, 250, 128, 255);
  LICE_MemBitmap b(1, 1);
  struct Case {
    float alpha;
    LICE_PackedPixel want;
  } cases[] = {
      {0.25f, ((c >> 2) & 0x3F3F3F3Fu) + ((d >> 1) & 0x7F7F7F7Fu) + ((d >> 2) & 0x3F3F3F3Fu)},
      {0.5f, ((c >> 1) & 0x7F7F7F7Fu) + ((d >> 1) & 0x7F7F7F7Fu)},
      {0.75f, ((c >> 1) & 0x7F7F7F7Fu) + ((c >> 2) & 0x3F3F3F3Fu) + ((d >> 2) & 0x3F3F3F3Fu)},
      {1.0f, c},
  };
  for (const Case& k : cases) {
    b.getBits()[0] = d;
    LICE_PutPixel(&b, 0, 0, c, k.alpha, LICE_COMBINE_COPY);
    EXPECT_EQ(b.getBits()[0], k.want) << "alpha " << k.alpha;
  }
}

TEST(PutPixel, OtherWeightsAndOperationsUseTheGeneralCombiners) {
  std::mt19937 rng(5);
  LICE_MemBitmap b(1, 1);
  for (int i = 0; i < 3000; ++i) {
    const LICE_PackedPixel d = rng(), c = rng();
    const float alpha = (float)(rng() % 300) / 256.0f;
    const int op = (int)(rng() % 6);
    const int w = (int)(alpha * 256);
    b.getBits()[0] = d;
    LICE_PutPixel(&b, 0, 0, c, alpha, op);
    LICE_PackedPixel want = d;
    if (op == 0 && (w == 64 || w == 128 || w == 192 || w == 256)) continue;  // covered above
    if (w != 0 && (op != 0 || w > 0)) {
      LICE_pixel_chan* px = (LICE_pixel_chan*)&want;
      const int r = LICE_PixelR(c), g = LICE_PixelG(c), bl = LICE_PixelB(c), a = LICE_PixelA(c);
      switch (op) {
        case 0: _LICE_CombinePixelsCopyNoClamp::doPix(px, r, g, bl, a, w); break;
        case 1: _LICE_CombinePixelsAdd::doPix(px, r, g, bl, a, w); break;
        case 2: _LICE_CombinePixelsColorDodge::doPix(px, r, g, bl, a, w); break;
        case 3: _LICE_CombinePixelsMulNoClamp::doPix(px, r, g, bl, a, w); break;
        case 4: _LICE_CombinePixelsOverlay::doPix(px, r, g, bl, a, w); break;
        case 5: _LICE_CombinePixelsHSVAdjust::doPix(px, r, g, bl, a, w); break;
      }
    }
    ASSERT_EQ(b.getBits()[0], want) << "op " << op << " w " << w;
  }
}

TEST(PutPixel, SourceAlphaFlagIsIgnoredAndZeroNegativeOrUnknownWritesNothing) {
  LICE_MemBitmap b(1, 1);
  b.getBits()[0] = 0x01020304u;
  LICE_PutPixel(&b, 0, 0, LICE_MakePixel(9, 9, 9, 0), 1.0f, LICE_COMBINE_COPY | LICE_COMBINE_SOURCE_ALPHA);
  EXPECT_EQ(b.getBits()[0], LICE_MakePixel(9, 9, 9, 0)) << "a transparent colour still replaces the pixel";
  const LICE_PackedPixel keep = b.getBits()[0];
  LICE_PutPixel(&b, 0, 0, 0xFFFFFFFFu, 0.0f, LICE_COMBINE_ADD);
  LICE_PutPixel(&b, 0, 0, 0xFFFFFFFFu, 0.002f, LICE_COMBINE_COPY);
  LICE_PutPixel(&b, 0, 0, 0xFFFFFFFFu, -0.5f, LICE_COMBINE_COPY);
  LICE_PutPixel(&b, 0, 0, 0xFFFFFFFFu, 1.0f, 6);
  LICE_PutPixel(&b, 0, 0, 0xFFFFFFFFu, 1.0f, 0xFF);
  EXPECT_EQ(b.getBits()[0], keep);
  LICE_PutPixel(&b, 0, 0, LICE_MakePixel(200, 200, 200, 200), -0.5f, LICE_COMBINE_ADD);
  EXPECT_EQ(b.getBits()[0], LICE_MakePixel(0, 0, 0, 0));
  EXPECT_NE(b.getBits()[0], keep) << "a negative weight still applies the non-copy operations";
}

// ---------------------------------------------------------------------------
// Clear and copy

TEST(ClearAndCopy, ClearFillsEveryVisiblePixelAndLeavesRowPaddingAlone) {
  LICE_MemBitmap b(5, 3);
  for (int i = 0; i < 8 * 3; ++i) b.getBits()[i] = 0xDEADBEEFu;
  LICE_Clear(&b, 0x12345678u);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(b.getBits()[y * 8 + x], x < 5 ? 0x12345678u : 0xDEADBEEFu) << x << "," << y;
  LICE_Clear(nullptr, 0);
  LICE_MemBitmap empty;
  LICE_Clear(&empty, 0);
}

TEST(ClearAndCopy, CopyResizesTheDestinationAndReproducesTheSourceUpright) {
  LICE_MemBitmap src(7, 5);
  FillPattern(&src, 9);
  LICE_SysBitmap dst(2, 2);
  LICE_Copy(&dst, &src);
  EXPECT_EQ(dst.getWidth(), 7);
  EXPECT_EQ(dst.getHeight(), 5);
  EXPECT_EQ(LICE_BitmapCmp(&src, &dst), 0);

  FlippedBitmap flipped(7, 5);
  LICE_Copy(&flipped, &src);
  EXPECT_EQ(LICE_GetPixel(&flipped, 3, 0), LICE_GetPixel(&src, 3, 0));
  EXPECT_EQ(flipped.getBits()[4 * flipped.getRowSpan()], src.getBits()[0]);
  LICE_MemBitmap back;
  LICE_Copy(&back, &flipped);
  EXPECT_EQ(LICE_BitmapCmp(&back, &src), 0);

  LICE_Copy(nullptr, &src);
  LICE_Copy(&dst, nullptr);
  LICE_Copy(&src, &src);
  LICE_MemBitmap empty;
  LICE_Copy(&dst, &empty);
  EXPECT_EQ(dst.getBits(), nullptr);
}

// ---------------------------------------------------------------------------
// Comparison

TEST(BitmapCmp, NullsAndSizesDecideBeforeAnyPixelIsRead) {
  LICE_MemBitmap a(10, 4), b(12, 4), c(10, 7);
  EXPECT_EQ(LICE_BitmapCmp(nullptr, nullptr), 0);
  EXPECT_EQ(LICE_BitmapCmp(nullptr, &a), -1);
  EXPECT_EQ(LICE_BitmapCmp(&a, nullptr), 1);
  EXPECT_EQ(LICE_BitmapCmp(&a, &b), 2);
  EXPECT_EQ(LICE_BitmapCmp(&b, &a), -2);
  EXPECT_EQ(LICE_BitmapCmp(&a, &c), 3);
}

TEST(BitmapCmp, EqualBitmapsCompareZeroAndWriteAnEmptyBox) {
  LICE_MemBitmap a(9, 6), b(9, 6);
  FillPattern(&a, 1);
  LICE_Copy(&b, &a);
  int box[4] = {7, 7, 7, 7};
  EXPECT_EQ(LICE_BitmapCmp(&a, &b, box), 0);
  EXPECT_EQ(box[0] | box[1] | box[2] | box[3], 0);
  EXPECT_EQ(LICE_BitmapCmp(&a, &b), 0);
}

TEST(BitmapCmp, WithoutCoordinatesTheSignFollowsTheFirstDifferingByte) {
  LICE_MemBitmap a(3, 2), b(3, 2);
  LICE_Clear(&a, 0x80808080u);
  LICE_Clear(&b, 0x80808080u);
  a.getBits()[a.getRowSpan() + 1] = 0x80808070u;  // lower alpha byte in a
  EXPECT_LT(LICE_BitmapCmp(&a, &b), 0);
  EXPECT_GT(LICE_BitmapCmp(&b, &a), 0);
  EXPECT_EQ(LICE_BitmapCmpEx(&a, &b, 0xFFFFFF00u), 0) << "alpha-only difference masked out";
  EXPECT_EQ(LICE_BitmapCmpEx(&a, &b, 0x000000FFu), 1);
  a.getBits()[0] = 0x81808080u;  // a blue difference is not masked
  EXPECT_EQ(LICE_BitmapCmpEx(&a, &b, 0xFFFFFF00u), 1);
}

TEST(BitmapCmp, DifferenceBoxMatchesABruteForceBoundingBox) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    const int w = 1 + (int)(rng() % 40), h = 1 + (int)(rng() % 30);
    LICE_MemBitmap a(w, h);
    FlippedBitmap b(w, h);
    FillPattern(&a, round);
    LICE_Copy(&b, &a);
    const int n = (int)(rng() % 5);
    const LICE_PackedPixel mask = (round % 3) ? 0xFFFFFFFFu : 0xFFFFFF00u;
    for (int k = 0; k < n; ++k) {
      const int x = (int)(rng() % w), y = (int)(rng() % h);
      const LICE_PackedPixel flip = (rng() % 2) ? 0x00000001u : 0x00010000u;
      LICE_PutPixel(&b, x, y, LICE_GetPixel(&b, x, y) ^ flip, 1.0f, 0);
    }
    int L = w, T = h, R = -1, B = -1;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if ((LICE_GetPixel(&a, x, y) ^ LICE_GetPixel(&b, x, y)) & mask)
          L = std::min(L, x), T = std::min(T, y), R = std::max(R, x), B = std::max(B, y);
    int box[4];
    const int result = LICE_BitmapCmpEx(&a, &b, mask, box);
    if (R < 0) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(box[0] | box[1] | box[2] | box[3], 0);
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(box[0], L) << "round " << round;
      EXPECT_EQ(box[1], T) << "round " << round;
      EXPECT_EQ(box[2], R - L + 1) << "round " << round;
      EXPECT_EQ(box[3], B - T + 1) << "round " << round;
    }
  }
}

}  // namespace
