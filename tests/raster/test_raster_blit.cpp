// Blits and rectangle fills: clipping at every edge into guarded bitmaps,
// optimised loops against slow per-pixel references, and the exact numbers the
// library promises (packed mixes, box and bilinear filters, blur shares).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "raster/lice_blit.h"
#include "raster/lice_combine.h"
#include "raster/lice_line.h"
#include "raster_test_util.h"

using rastertest::Guarded;

namespace {

const float kPi = 3.14159265358979f;

LICE_pixel halfMix(LICE_pixel d, LICE_pixel s) {
  return ((d >> 1) & 0x7F7F7F7Fu) + ((s >> 1) & 0x7F7F7F7Fu);
}

/// One pixel as LICE_Blit must combine it.
LICE_pixel refBlitPixel(LICE_pixel d, LICE_pixel s, float alpha, int mode) {
  if ((mode & 0xF0) == 0xF0) {
    LICE_pixel_chan* db = (LICE_pixel_chan*)&d;
    db[(mode >> 2) & 3] = ((const LICE_pixel_chan*)&s)[mode & 3];
    return d;
  }
  if ((mode & LICE_COMBINE_SELECT_MASK) == 0 && alpha == 1.0f) return s;
  if ((mode & LICE_COMBINE_SELECT_MASK) == 0 && alpha == 0.5f) return halfMix(d, s);
  return LICE_CombinePixels(d, s, alpha, mode);
}

/// Slow LICE_Blit: every source pixel of the source rectangle that exists is
/// mapped to dstx + (sx - left), dsty + (sy - top) and drawn when inside.
void refBlit(Guarded& d, const Guarded& s, int dstx, int dsty, RECT r, float alpha, int mode) {
  for (int sy = r.top; sy < r.bottom; ++sy)
    for (int sx = r.left; sx < r.right; ++sx) {
      if (sx < 0 || sy < 0 || sx >= s.w() || sy >= s.h()) continue;
      const long long dx = (long long)dstx + sx - r.left, dy = (long long)dsty + sy - r.top;
      if (dx < 0 || dy < 0 || dx >= d.w() || dy >= d.h()) continue;
      d.at((int)dx, (int)dy) = refBlitPixel(d.at((int)dx, (int)dy), s.at(sx, sy), alpha, mode);
    }
}

int chan(LICE_pixel p, int k) { return (int)((p >> (8 * k)) & 0xFF); }

LICE_pixel fromChannels(const int c[4]) {
  return (LICE_pixel)c[0] | ((LICE_pixel)c[1] << 8) | ((LICE_pixel)c[2] << 16) |
         ((LICE_pixel)c[3] << 24);
}

}  // namespace

// ---------------------------------------------------------------------------
// LICE_Blit

TEST(RasterBlit, NegativeSourceLeftMovesTheDestinationRight) {
  Guarded src(20, 10), dst(30, 10);
  src.randomize(1);
  const RECT r = {-5, 0, 10, 10};
  LICE_Blit(dst.bm(), src.bm(), 0, 0, &r, 1.0f, LICE_COMBINE_COPY);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(dst.at(x, y), 0u);
    for (int x = 0; x < 10; ++x) EXPECT_EQ(dst.at(x + 5, y), src.at(x, y));
    for (int x = 15; x < 30; ++x) EXPECT_EQ(dst.at(x, y), 0u);
  }
  EXPECT_TRUE(dst.guardIntact());
}

TEST(RasterBlit, NegativeDestinationXSkipsLeadingSourceColumns) {
  Guarded src(10, 4), dst(20, 4);
  src.randomize(2);
  LICE_Blit(dst.bm(), src.bm(), -3, 0, nullptr, 1.0f, LICE_COMBINE_COPY);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x <= 6; ++x) EXPECT_EQ(dst.at(x, y), src.at(x + 3, y));
    for (int x = 7; x < 20; ++x) EXPECT_EQ(dst.at(x, y), 0u);
  }
}

TEST(RasterBlit, HalfAlphaCopyIsThePackedHalfMixNotTheGeneralFormula) {
  Guarded src(1, 1), dst(1, 1);
  src.at(0, 0) = LICE_MakePixel(255, 1, 3, 255);
  dst.at(0, 0) = LICE_MakePixel(1, 255, 3, 1);
  LICE_Blit(dst.bm(), src.bm(), 0, 0, nullptr, 0.5f, LICE_COMBINE_COPY);
  // byte-wise (d >> 1) + (s >> 1): 127 + 0, 0 + 127, 1 + 1, 0 + 127
  EXPECT_EQ(dst.at(0, 0), LICE_MakePixel(127, 127, 2, 127));
}

TEST(RasterBlit, ChannelCopyModeMovesSourceAlphaIntoDestinationRed) {
  Guarded src(3, 2), dst(3, 2);
  src.randomize(3);
  dst.randomize(4);
  std::vector<LICE_pixel> before = dst.pixels();
  LICE_Blit(dst.bm(), src.bm(), 0, 0, nullptr, 1.0f, 0xF4);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const LICE_pixel old = before[(size_t)y * 3 + x];
      EXPECT_EQ(dst.at(x, y), (old & 0xFFFF00FFu) | ((src.at(x, y) & 0xFFu) << 8));
    }
}

TEST(RasterBlit, MatchesThePerPixelReferenceForEveryModeAndPlacement) {
  const int modes[] = {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005,
                       0x100, 6, 0x10006, 0xF4, 0xFB};
  const float alphas[] = {1.0f, 0.5f, 0.25f, 0.75f, 0.3f, -0.5f, 2.0f};
  const RECT rects[] = {{0, 0, 9, 7}, {-3, -2, 5, 4}, {2, 1, 50, 50}, {4, 4, 4, 9}, {7, 5, 3, 2}};
  Guarded src(9, 7);
  src.randomize(5);
  for (int i = 0; i < 9; ++i) src.at(i % 9, i % 7) &= 0xFFFFFF00u;  // some alpha 0
  src.at(1, 1) |= 0xFF;
  int cases = 0;
  for (int mode : modes)
    for (float alpha : alphas)
      for (const RECT& r : rects)
        for (int dy = -9; dy <= 8; dy += 3)
          for (int dx = -11; dx <= 12; dx += 4) {
            Guarded got(8, 6), want(8, 6);
            got.randomize(6);
            want.randomize(6);
            LICE_Blit(got.bm(), src.bm(), dx, dy, &r, alpha, mode);
            refBlit(want, src, dx, dy, r, alpha, mode);
            ASSERT_EQ(got.pixels(), want.pixels())
                << "mode " << mode << " alpha " << alpha << " at " << dx << "," << dy << " rect "
                << r.left << "," << r.top << "," << r.right << "," << r.bottom;
            ASSERT_TRUE(got.guardIntact());
            ++cases;
          }
  EXPECT_GT(cases, 1000);
}

TEST(RasterBlit, FlippedBitmapsAreAddressedInVisualRows) {
  Guarded src(6, 5, true), dst(7, 6, true), srcUp(6, 5), dstUp(7, 6);
  srcUp.randomize(7);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) src.at(x, y) = srcUp.at(x, y);
  const RECT r = {1, 1, 6, 4};
  LICE_Blit(dst.bm(), src.bm(), 2, -1, &r, 0.3f, LICE_COMBINE_ADD);
  LICE_Blit(dstUp.bm(), srcUp.bm(), 2, -1, &r, 0.3f, LICE_COMBINE_ADD);
  EXPECT_EQ(dst.pixels(), dstUp.pixels());
  EXPECT_TRUE(dst.guardIntact());
}

TEST(RasterBlit, BadArgumentsDrawNothing) {
  Guarded src(5, 5), dst(5, 5);
  src.randomize(8);
  const RECT huge = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  LICE_Blit(nullptr, src.bm(), 0, 0, nullptr, 1.0f, 0);
  LICE_Blit(dst.bm(), nullptr, 0, 0, nullptr, 1.0f, 0);
  LICE_Blit(dst.bm(), src.bm(), 0, 0, nullptr, 0.0f, 0);
  LICE_Blit(dst.bm(), src.bm(), 0, 0, nullptr, 0.001f, 0);  // weight truncates to 0
  LICE_Blit(dst.bm(), src.bm(), INT_MAX, INT_MAX, nullptr, 1.0f, 0);
  LICE_Blit(dst.bm(), src.bm(), INT_MIN, INT_MIN, nullptr, 1.0f, 0);
  LICE_Blit(dst.bm(), src.bm(), INT_MAX, 0, &huge, 1.0f, 0);
  LICE_Blit(dst.bm(), src.bm(), 0, 0, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 1.0f, 0);
  for (LICE_pixel p : dst.pixels()) EXPECT_EQ(p, 0u);
  LICE_Blit(dst.bm(), src.bm(), INT_MIN, INT_MIN, &huge, 1.0f, 0);  // source fits at 0,0
  EXPECT_EQ(dst.pixels(), src.pixels());
  EXPECT_TRUE(dst.guardIntact());
}

// ---------------------------------------------------------------------------
// LICE_ScaledBlit

TEST(RasterScaledBlit, NearlyEqualSizesAreAnIntegerBlitAtTheRoundedPosition) {
  Guarded src(12, 8), a(6, 5), b(6, 5);
  src.randomize(9);
  LICE_ScaledBlit(a.bm(), src.bm(), 0, 0, 6, 5, 2.6f, 1.4f, 6.0005f, 5.0f, 1.0f, 0);
  LICE_Blit(b.bm(), src.bm(), 0, 0, 3, 1, 6, 5, 1.0f, 0);
  EXPECT_EQ(a.pixels(), b.pixels());
}

TEST(RasterScaledBlit, DoublingWithoutFilterRepeatsEveryPixel) {
  Guarded src(5, 4), dst(10, 8);
  src.randomize(10);
  for (int mode : {0, 1, 0x10000}) {
    for (float alpha : {1.0f, 0.5f, 0.7f}) {
      Guarded want(10, 8);
      dst.fill(0x11223344u);
      want.fill(0x11223344u);
      LICE_ScaledBlit(dst.bm(), src.bm(), 0, 0, 10, 8, 0, 0, 5, 4, alpha, mode);
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x)
          want.at(x, y) = refBlitPixel(want.at(x, y), src.at(x / 2, y / 2), alpha, mode);
      EXPECT_EQ(dst.pixels(), want.pixels()) << "mode " << mode << " alpha " << alpha;
    }
  }
}

namespace {
/// Box average of src around (cx, cy) with radius r, taps cut at the edges.
LICE_pixel boxAverage(const Guarded& src, int cx, int cy, int r) {
  int sum[4] = {0, 0, 0, 0}, n = 0;
  for (int y = cy - r; y <= cy + r; ++y)
    for (int x = cx - r; x <= cx + r; ++x) {
      if (x < 0 || y < 0 || x >= src.w() || y >= src.h()) continue;
      for (int k = 0; k < 4; ++k) sum[k] += chan(src.at(x, y), k);
      ++n;
    }
  int avg[4];
  for (int k = 0; k < 4; ++k) avg[k] = sum[k] / n;
  return fromChannels(avg);
}
}  // namespace

TEST(RasterScaledBlit, FilteredHalvingAveragesThreeByThreeAndQuarteringFiveByFive) {
  Guarded src(16, 16);
  src.randomize(11);
  for (int factor : {2, 4}) {
    const int n = 16 / factor;
    Guarded dst(n, n);
    LICE_ScaledBlit(dst.bm(), src.bm(), 0, 0, n, n, 0, 0, 16, 16, 1.0f, LICE_COMBINE_FILTER);
    const int radius = factor == 2 ? 1 : 2;
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x)
        ASSERT_EQ(dst.at(x, y), boxAverage(src, x * factor, y * factor, radius))
            << "factor " << factor << " at " << x << "," << y;
  }
}

TEST(RasterScaledBlit, BilinearAtTheLastRowAndColumnInterpolatesOneWayOnly) {
  Guarded src(2, 2), dst(4, 4);
  auto grey = [](int v) { return LICE_MakePixel(v, v, v, v); };
  src.at(0, 0) = grey(0);
  src.at(1, 0) = grey(100);
  src.at(0, 1) = grey(200);
  src.at(1, 1) = grey(50);
  LICE_ScaledBlit(dst.bm(), src.bm(), 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, LICE_COMBINE_FILTER);
  // Samples at 0, 0.5, 1, 1.5 in each direction.
  EXPECT_EQ(dst.at(0, 0), grey(0));
  EXPECT_EQ(dst.at(1, 0), grey(50));   // (0 + 100) / 2
  EXPECT_EQ(dst.at(1, 1), grey(87));   // (0 + 100 + 200 + 50) / 4, truncated
  EXPECT_EQ(dst.at(3, 0), grey(100));  // last column: only vertical mixing, fy = 0
  EXPECT_EQ(dst.at(3, 1), grey(75));   // (100 + 50) / 2
  EXPECT_EQ(dst.at(1, 3), grey(125));  // last row: (200 + 50) / 2
  EXPECT_EQ(dst.at(3, 3), grey(50));   // last corner: the pixel itself
}

TEST(RasterScaledBlit, MirroredBlitIsTheExactReverseOfTheSource) {
  Guarded src(7, 3), dst(7, 3), dst2(7, 3);
  src.randomize(12);
  dst.fill(0x01020304u);
  LICE_ScaledBlit(dst.bm(), src.bm(), 7, 0, -7, 3, 0, 0, 7, 3, 1.0f, 0);
  LICE_ScaledBlit(dst2.bm(), src.bm(), 0, 3, 7, -3, 0, 0, 7, 3, 0.7f, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) {
      EXPECT_EQ(dst.at(x, y), src.at(6 - x, y)) << x << "," << y;
      EXPECT_EQ(dst2.at(x, y), refBlitPixel(0, src.at(x, 2 - y), 0.7f, 0)) << x << "," << y;
    }
}

TEST(RasterScaledBlit, SourceRectanglePastTheSourceDrawsEveryExistingSample) {
  Guarded src(10, 1), dst(10, 1);
  src.randomize(13);
  dst.fill(7);
  // Step 2 from column 5: samples 5, 7, 9 exist, 11 and on do not.
  LICE_ScaledBlit(dst.bm(), src.bm(), 0, 0, 10, 1, 5, 0, 20, 1, 0.6f, 0);
  EXPECT_EQ(dst.at(0, 0), refBlitPixel(7, src.at(5, 0), 0.6f, 0));
  EXPECT_EQ(dst.at(1, 0), refBlitPixel(7, src.at(7, 0), 0.6f, 0));
  EXPECT_EQ(dst.at(2, 0), refBlitPixel(7, src.at(9, 0), 0.6f, 0));
  for (int x = 3; x < 10; ++x) EXPECT_EQ(dst.at(x, 0), 7u);
}

TEST(RasterScaledBlit, RandomAndHostileGeometryNeverWritesOutside) {
  std::mt19937 rng(14);
  Guarded src(13, 9), dst(11, 7);
  src.randomize(15);
  const float extremes[] = {0.0f, -1e30f, 1e30f, 3e9f, -3e9f, 1e-30f, NAN, INFINITY};
  std::uniform_int_distribution<int> pos(-30, 30);
  std::uniform_real_distribution<float> fpos(-20.0f, 30.0f);
  for (int i = 0; i < 4000; ++i) {
    const int mode = (int)(rng() % 6) | ((rng() & 1) ? LICE_COMBINE_FILTER : 0) |
                     ((rng() & 1) ? LICE_COMBINE_SOURCE_ALPHA : 0);
    float f[4];
    for (float& v : f) v = (rng() % 10 == 0) ? extremes[rng() % 8] : fpos(rng);
    int d[4] = {pos(rng), pos(rng), pos(rng), pos(rng)};
    if (rng() % 10 == 0) d[rng() % 4] = (rng() & 1) ? INT_MAX : INT_MIN;
    const float alpha = (rng() % 4 == 0) ? 1.0f : 0.1f + (rng() % 9) * 0.1f;
    LICE_ScaledBlit(dst.bm(), src.bm(), d[0], d[1], d[2], d[3], f[0], f[1], f[2], f[3], alpha, mode);
    ASSERT_TRUE(dst.guardIntact()) << "case " << i;
  }
}

// ---------------------------------------------------------------------------
// LICE_RotatedBlit, LICE_DeltaBlit, transform blits

TEST(RasterRotatedBlit, AngleZeroAtEqualSizeReproducesTheSource) {
  Guarded src(9, 6), dst(9, 6);
  src.randomize(16);
  LICE_RotatedBlit(dst.bm(), src.bm(), 0, 0, 9, 6, 0, 0, 9, 6, 0.0f, false, 1.0f, 0);
  EXPECT_EQ(dst.pixels(), src.pixels());
}

TEST(RasterRotatedBlit, UprightNearestSamplingTruncatesTheCornerPosition) {
  // Halving reads the even columns and rows, as LICE_ScaledBlit does.
  Guarded src(8, 8), half(4, 4);
  src.randomize(15);
  LICE_RotatedBlit(half.bm(), src.bm(), 0, 0, 4, 4, 0, 0, 8, 8, 0.0f, false, 1.0f, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) ASSERT_EQ(half.at(x, y), src.at(2 * x, 2 * y)) << x << "," << y;
  // Half a pixel of source origin truncates away: same row, last column painted.
  Guarded shifted(8, 8);
  LICE_RotatedBlit(shifted.bm(), src.bm(), 0, 0, 8, 8, 0.5f, 0.5f, 8, 8, 0.0f, false, 1.0f, 0);
  EXPECT_EQ(shifted.pixels(), src.pixels());
}

TEST(RasterRotatedBlit, RightAnglesMapPixelsOneToOne) {
  for (int n : {5, 8}) {
    Guarded src(n, n);
    src.randomize(17 + n);
    Guarded quarter(n, n), half(n, n), back(n, n);
    LICE_RotatedBlit(quarter.bm(), src.bm(), 0, 0, n, n, 0, 0, n, n, kPi / 2, false, 1.0f, 0);
    LICE_RotatedBlit(half.bm(), src.bm(), 0, 0, n, n, 0, 0, n, n, kPi, false, 1.0f, 0);
    LICE_RotatedBlit(back.bm(), src.bm(), 0, 0, n, n, 0, 0, n, n, -kPi / 2, false, 1.0f, 0);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        ASSERT_EQ(quarter.at(x, y), src.at(y, n - 1 - x)) << n << ": " << x << "," << y;
        ASSERT_EQ(half.at(x, y), src.at(n - 1 - x, n - 1 - y)) << n << ": " << x << "," << y;
        ASSERT_EQ(back.at(x, y), src.at(n - 1 - y, x)) << n << ": " << x << "," << y;
      }
  }
}

TEST(RasterRotatedBlit, ClippingToTheSourceRectangleReadsOnlyInsideIt) {
  Guarded src(8, 8), dst(8, 8);
  src.fill(LICE_MakePixel(255, 0, 0, 255));
  for (int y = 2; y < 6; ++y)
    for (int x = 2; x < 6; ++x) src.at(x, y) = LICE_MakePixel(0, 0, 255, 255);
  LICE_RotatedBlit(dst.bm(), src.bm(), 0, 0, 8, 8, 2, 2, 4, 4, 0.3f, true, 1.0f, LICE_COMBINE_FILTER);
  for (LICE_pixel p : dst.pixels()) EXPECT_EQ(LICE_PixelR(p), 0) << std::hex << p;
}

TEST(RasterRotatedBlit, HostileGeometryNeverWritesOutside) {
  std::mt19937 rng(18);
  Guarded src(10, 10), dst(9, 8);
  src.randomize(19);
  std::uniform_int_distribution<int> pos(-25, 25);
  std::uniform_real_distribution<float> fpos(-15.0f, 25.0f);
  for (int i = 0; i < 3000; ++i) {
    const int mode = (int)(rng() % 6) | ((rng() & 1) ? LICE_COMBINE_FILTER : 0);
    int d[4] = {pos(rng), pos(rng), pos(rng), pos(rng)};
    if (rng() % 8 == 0) d[rng() % 4] = (rng() & 1) ? INT_MAX : INT_MIN;
    float f[4] = {fpos(rng), fpos(rng), fpos(rng), fpos(rng)};
    if (rng() % 8 == 0) f[rng() % 4] = (rng() & 1) ? 1e30f : -1e30f;
    const float angle = fpos(rng);
    LICE_RotatedBlit(dst.bm(), src.bm(), d[0], d[1], d[2], d[3], f[0], f[1], f[2], f[3], angle,
                     rng() & 1, 0.8f, mode, fpos(rng), fpos(rng));
    const double big = (rng() & 1) ? 1e12 : 3.0;
    LICE_DeltaBlit(dst.bm(), src.bm(), d[0], d[1], d[2], d[3], f[0], f[1], f[2], f[3], big, -1.0,
                   0.5, big, 1e-3 * big, -0.01, rng() & 1, 0.8f, mode);
    LICE_DeltaBlitAlpha(dst.bm(), src.bm(), d[0], d[1], d[2], d[3], f[0], f[1], f[2], f[3], 1.0,
                        0.2, 0.1, 1.0, 0.0, 0.0, rng() & 1, 0.5f, mode, big, -0.3, 0.01);
    ASSERT_TRUE(dst.guardIntact()) << "case " << i;
  }
}

TEST(RasterDeltaBlit, ClippedWarpSamplesTheSamePixelsAsTheUnclipped) {
  Guarded src(16, 16);
  src.randomize(20);
  for (int mode : {0, (int)LICE_COMBINE_FILTER}) {
    // Whole warp drawn at (10, 10) of a big bitmap, and the same warp drawn
    // at (-5, -4) of a view that starts at (15, 14) of an identical bitmap.
    Guarded whole(40, 40), part(40, 40);
    whole.fill(0x55555555u);
    part.fill(0x55555555u);
    // Steps are multiples of 1/65536 so that both walks are exact.
    LICE_DeltaBlit(whole.bm(), src.bm(), 10, 10, 20, 18, 1.5f, 0.5f, 16, 16, 0.5, 0.125, -0.0625,
                   0.75, 1.0 / 128, 1.0 / 256, false, 0.8f, mode);
    rastertest::ViewBitmap view(&part.at(15, 14), 25, 26, part.bm()->getRowSpan(), false);
    LICE_DeltaBlit(&view, src.bm(), -5, -4, 20, 18, 1.5f, 0.5f, 16, 16, 0.5, 0.125, -0.0625, 0.75,
                   1.0 / 128, 1.0 / 256, false, 0.8f, mode);
    for (int y = 14; y < 40; ++y)
      for (int x = 15; x < 40; ++x) ASSERT_EQ(part.at(x, y), whole.at(x, y)) << x << "," << y;
  }
}

TEST(RasterDeltaBlit, MovingWeightRampsAcrossTheRow) {
  Guarded src(8, 1), dst(8, 1);
  src.fill(LICE_MakePixel(200, 200, 200, 200));
  // Weight 0 at column 0 rising by 1/8 per column (32 per column).
  LICE_DeltaBlitAlpha(dst.bm(), src.bm(), 0, 0, 8, 1, 0, 0, 8, 1, 1, 0, 0, 1, 0, 0, false, 0.0f, 0,
                      0.125, 0, 0);
  for (int x = 0; x < 8; ++x) {
    const int w = 32 * x;
    const int want = 200 + (0 - 200) * (256 - w) / 256;
    EXPECT_EQ(LICE_PixelR(dst.at(x, 0)), want) << x;
  }
}

TEST(RasterTransformBlit, IdentityGridReproducesTheSource) {
  Guarded src(12, 9);
  src.randomize(21);
  const float pts[] = {0, 0, 6, 0, 12, 0, 0, 9, 6, 9, 12, 9};
  const double pts2[] = {0, 0, 12, 0, 0, 9, 12, 9};
  const double pts3[] = {0, 0, 1, 12, 0, 1, 0, 9, 1, 12, 9, 1};
  Guarded a(12, 9), b(12, 9), c(12, 9);
  LICE_TransformBlit(a.bm(), src.bm(), 0, 0, 12, 9, pts, 3, 2, 1.0f, 0);
  LICE_TransformBlit2(b.bm(), src.bm(), 0, 0, 12, 9, pts2, 2, 2, 1.0f, 0);
  LICE_TransformBlit2Alpha(c.bm(), src.bm(), 0, 0, 12, 9, pts3, 2, 2, 0);
  EXPECT_EQ(a.pixels(), src.pixels());
  EXPECT_EQ(b.pixels(), src.pixels());
  EXPECT_EQ(c.pixels(), src.pixels());
  LICE_TransformBlit(a.bm(), src.bm(), 0, 0, 12, 9, nullptr, 3, 2, 1.0f, 0);
  LICE_TransformBlit(a.bm(), src.bm(), 0, 0, 12, 9, pts, 1, 2, 1.0f, 0);
  EXPECT_TRUE(a.guardIntact());
}

// ---------------------------------------------------------------------------
// LICE_Blur

namespace {
/// Direct blur of one pixel of the w by h region read through get(x, y):
/// centre 1/2, neighbours 1/8, a missing neighbour's share to the other side.
template <class Get>
LICE_pixel refBlur(Get get, int x, int y, int w, int h) {
  int out[4];
  for (int k = 0; k < 4; ++k) {
    const int c = chan(get(x, y), k);
    int v = c / 2;
    if (x == 0)
      v += chan(get(x + 1, y), k) / 4;
    else if (x == w - 1)
      v += chan(get(x - 1, y), k) / 4;
    else
      v += chan(get(x - 1, y), k) / 8 + chan(get(x + 1, y), k) / 8;
    if (y == 0)
      v += chan(get(x, y + 1), k) / 4;
    else if (y == h - 1)
      v += chan(get(x, y - 1), k) / 4;
    else
      v += chan(get(x, y - 1), k) / 8 + chan(get(x, y + 1), k) / 8;
    out[k] = v;
  }
  return fromChannels(out);
}

void checkBlur(int w, int h, bool inPlace, uint32_t seed) {
  Guarded src(w, h), dst(w, h);
  src.randomize(seed);
  std::vector<LICE_pixel> orig = src.pixels();
  auto get = [&](int x, int y) { return orig[(size_t)y * w + x]; };
  Guarded& out = inPlace ? src : dst;
  LICE_Blur(out.bm(), src.bm(), 0, 0, 0, 0, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(out.at(x, y), refBlur(get, x, y, w, h))
          << w << "x" << h << (inPlace ? " in place" : "") << " at " << x << "," << y;
  ASSERT_TRUE(out.guardIntact());
}
}  // namespace

TEST(RasterBlur, MatchesTheDirectFivePointBlurIncludingBordersAndCorners) {
  checkBlur(2, 2, false, 22);
  checkBlur(7, 5, false, 23);
  checkBlur(2, 9, false, 24);
  checkBlur(23, 6, false, 29);  // rows of whole groups of four and a tail
  checkBlur(7, 5, true, 25);
  checkBlur(3, 2, true, 26);
}

TEST(RasterBlur, InPlaceBlurOfWideAndHugeRegionsUsesUnblurredNeighbours) {
  checkBlur(2100, 3, true, 27);   // wider than the line buffer: walks columns
  checkBlur(2050, 2050, true, 28);  // both sides long: heap line
}

TEST(RasterBlur, RegionsUnderTwoByTwoAreLeftAlone) {
  Guarded img(6, 6);
  img.randomize(29);
  std::vector<LICE_pixel> before = img.pixels();
  LICE_Blur(img.bm(), img.bm(), 0, 2, 0, 2, 6, 1);
  LICE_Blur(img.bm(), img.bm(), 3, 0, 3, 0, 1, 6);
  LICE_Blur(img.bm(), img.bm(), 5, 5, 5, 5, 4, 4);  // clipped to 1 by 1
  LICE_Blur(nullptr, img.bm(), 0, 0, 0, 0, 6, 6);
  EXPECT_EQ(img.pixels(), before);
}

TEST(RasterBlur, ClippedRegionIsBlurredOnItsOwn) {
  Guarded src(8, 8), dst(8, 8), expect(8, 8);
  src.randomize(30);
  // Source rectangle (-2, 1)-(4, 6) at (3, -1): the part from source (0, 2)
  // lands at (5, 0), cut to 3 wide by the destination, and 4 high.
  LICE_Blur(dst.bm(), src.bm(), 3, -1, -2, 1, 6, 5);
  auto get = [&](int x, int y) { return src.at(x, y + 2); };
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool in = x >= 5 && y < 4;
      EXPECT_EQ(dst.at(x, y), in ? refBlur(get, x - 5, y, 3, 4) : 0u) << x << "," << y;
    }
}

// ---------------------------------------------------------------------------
// Fills

TEST(RasterFillRect, QuarterAlphaCopyIsThePackedQuarterMix) {
  Guarded img(3, 3);
  img.randomize(31);
  std::vector<LICE_pixel> before = img.pixels();
  const LICE_pixel c = 0x8040C0FFu;
  LICE_FillRect(img.bm(), 0, 0, 3, 3, c, 0.25f, LICE_COMBINE_COPY);
  for (size_t i = 0; i < before.size(); ++i) {
    const LICE_pixel d = before[i];
    EXPECT_EQ(img.pixels()[i],
              ((c >> 2) & 0x3F3F3F3Fu) + ((d >> 2) & 0x3F3F3F3Fu) + ((d >> 1) & 0x7F7F7F7Fu));
  }
}

TEST(RasterFillRect, EveryPixelMatchesPutPixelAndClippingIsExact) {
  const int modes[] = {0, 1, 2, 3, 4, 5, 6, 0x10000, 0x10003};
  const float alphas[] = {1.0f, 0.75f, 0.5f, 0.25f, 0.4f, -0.3f};
  for (int mode : modes)
    for (float alpha : alphas)
      for (int y = -4; y <= 6; y += 2)
        for (int x = -5; x <= 7; x += 3)
          for (int wh : {0, 1, 3, 9, -2}) {
            Guarded got(6, 5), want(6, 5);
            got.randomize(32);
            want.randomize(32);
            const LICE_pixel c = 0x7F3A19C4u;
            LICE_FillRect(got.bm(), x, y, wh, wh + 1, c, alpha, mode);
            float a = alpha;
            if (mode & LICE_COMBINE_SOURCE_ALPHA) a *= 0xC4 / 255.0f;
            for (int yy = y; yy < y + wh + 1; ++yy)
              for (int xx = x; xx < x + wh; ++xx) LICE_PutPixel(want.bm(), xx, yy, c, a, mode);
            ASSERT_EQ(got.pixels(), want.pixels()) << mode << " " << alpha << " " << x << "," << y;
            ASSERT_TRUE(got.guardIntact());
          }
}

TEST(RasterFillRect, HugeRectanglesAreCutToTheBitmap) {
  Guarded img(4, 3);
  LICE_FillRect(img.bm(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1, 1.0f, 0);
  for (LICE_pixel p : img.pixels()) EXPECT_EQ(p, 0u);  // ends at -1
  LICE_FillRect(img.bm(), -5, -5, INT_MAX, INT_MAX, 9, 1.0f, 0);
  for (LICE_pixel p : img.pixels()) EXPECT_EQ(p, 9u);
  LICE_FillRect(img.bm(), INT_MAX, 0, INT_MAX, 3, 1, 1.0f, 0);
  LICE_FillRect(nullptr, 0, 0, 3, 3, 1, 1.0f, 0);
  for (LICE_pixel p : img.pixels()) EXPECT_EQ(p, 9u);
  EXPECT_TRUE(img.guardIntact());
}

TEST(RasterClearRect, MaskedClearMakesTransparentAndKeepsColours) {
  Guarded img(5, 4);
  img.randomize(33);
  std::vector<LICE_pixel> before = img.pixels();
  LICE_ClearRect(img.bm(), 1, -1, 3, 3, 0xFFFFFF00u, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      const LICE_pixel b = before[(size_t)y * 5 + x];
      const bool in = x >= 1 && x < 4 && y < 2;
      EXPECT_EQ(img.at(x, y), in ? (b & 0xFFFFFF00u) : b);
    }
  EXPECT_TRUE(img.guardIntact());
}

TEST(RasterGradRect, HorizontalRampRisesFromStartToEndAndIgnoresLeftClip) {
  Guarded a(64, 2), b(64, 2);
  // Red from 0 to 1 over 256 columns, full alpha: column x gets red x (clamped).
  LICE_GradRect(a.bm(), 0, 0, 64, 2, 0, 0, 0, 1, 1.0f / 255, 0, 0, 0, 0, 0, 0, 0, 0);
  for (int x = 0; x < 64; ++x) EXPECT_NEAR(LICE_PixelR(a.at(x, 0)), x, 1) << x;
  for (int x = 1; x < 64; ++x) EXPECT_GE(LICE_PixelR(a.at(x, 0)), LICE_PixelR(a.at(x - 1, 0)));
  // Starting left of and above the bitmap continues exactly the same ramp in
  // every channel: the cut-off part advances the start in 16.16 steps.
  // Slopes whose 16.16 steps carry large fractions, and a long cut-off part,
  // make any rounding of the advanced start visible.
  const int cutX = 20000, cutY = 3;
  Guarded whole(cutX + 64, cutY + 2);
  auto ramp = [](LICE_IBitmap* d, int x, int y) {
    LICE_GradRect(d, x, y, cutX + 64, cutY + 2, 0.1f, 0.9f, 0.3f, 0.5f, 4e-5f, -3.3e-5f, 1.7e-5f,
                  1e-5f, 0.0137f, -0.0091f, 0.0213f, 0.0071f, 0);
  };
  ramp(whole.bm(), 0, 0);
  ramp(b.bm(), -cutX, -cutY);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 64; ++x)
      ASSERT_EQ(b.at(x, y), whole.at(x + cutX, y + cutY)) << x << "," << y;
  EXPECT_TRUE(b.guardIntact());
}

TEST(RasterGradRect, ExtremeSlopesClampAndStayInside) {
  Guarded img(8, 8);
  img.fill(0x80808080u);
  for (int op = 0; op < 7; ++op)
    LICE_GradRect(img.bm(), -3, -3, 20, 20, 0.5f, 2.0f, -1.0f, 0.5f, 1e9f, -1e9f, 1e20f, 1e5f,
                  -1e9f, 3.0f, 0.0f, -1e5f, op);
  EXPECT_TRUE(img.guardIntact());
}

TEST(RasterZeroWeight, PixelsWhoseOwnWeightIsZeroAreLeftAlone) {
  // The HSV adjustment rewrites a pixel even at weight 0 (its alpha becomes the
  // source's, its colour takes a lossy round trip), so it shows a skip.
  const LICE_pixel colour = LICE_MakePixel(200, 40, 90, 30), backdrop = LICE_MakePixel(13, 177, 91, 222);
  LICE_pixel probe = backdrop;
  _LICE_CombinePixelsHSVAdjust::doPix((LICE_pixel_chan*)&probe, 200, 40, 90, 30, 0);
  ASSERT_NE(probe, backdrop);
  Guarded src(4, 3);
  src.fill(colour);
  const int hsv = LICE_COMBINE_HSV_ADJUST;
  const struct {
    const char* what;
    int x, y;  // the pixel of weight 0; (x + 1, y) has a positive weight
    void (*draw)(LICE_IBitmap* dest, LICE_IBitmap* src, LICE_pixel c, int mode);
  } cases[] = {
      {"anti-aliased line, far side at coverage 0", 2, 2,
       [](LICE_IBitmap* d, LICE_IBitmap*, LICE_pixel c, int mode) { LICE_Line(d, 0, 0, 4, 2, c, 1.0f, mode, true); }},
      {"moving-weight blit starting at 0", 0, 1,
       [](LICE_IBitmap* d, LICE_IBitmap* s, LICE_pixel, int mode) {
         LICE_DeltaBlitAlpha(d, s, 0, 0, 4, 3, 0, 0, 4, 3, 1, 0, 0, 1, 0, 0, false, 0.001f, mode, 0.5, 0, 0);
       }},
      {"gradient whose alpha starts at 0", 0, 1,
       [](LICE_IBitmap* d, LICE_IBitmap*, LICE_pixel, int mode) {
         LICE_GradRect(d, 0, 0, 4, 3, 0.8f, 0.2f, 0.3f, 0.001f, 0, 0, 0, 0.5f, 0, 0, 0, 0, mode);
       }},
  };
  for (const auto& c : cases) {
    Guarded img(5, 3);
    img.fill(backdrop);
    c.draw(img.bm(), src.bm(), colour, hsv);
    EXPECT_EQ(img.at(c.x, c.y), backdrop) << c.what;
    EXPECT_NE(img.at(c.x + 1, c.y), backdrop) << c.what;
  }
}

TEST(RasterMultiplyAddRect, ScalesAddsAndClampsEachChannel) {
  Guarded img(2, 1);
  img.at(0, 0) = LICE_MakePixel(100, 200, 0, 255);
  img.at(1, 0) = LICE_MakePixel(1, 2, 3, 4);
  LICE_MultiplyAddRect(img.bm(), 0, 0, 1, 1, 0.5f, 2.0f, 1.0f, 0.5f, 10.0f, 0.0f, -5.0f, 0.0f);
  // red 100 * 0.5 + 10, green 400 clamps, blue -5 clamps, alpha 127.5 -> 127
  EXPECT_EQ(img.at(0, 0), LICE_MakePixel(60, 255, 0, 127));
  EXPECT_EQ(img.at(1, 0), LICE_MakePixel(1, 2, 3, 4));
}

TEST(RasterProcessRect, VisitsEveryClippedPixelOnceInRowOrder) {
  Guarded img(5, 4);
  struct Visit {
    std::vector<LICE_pixel*> seen;
  } v;
  LICE_ProcessRect(img.bm(), 3, -1, 9, 3,
                   [](LICE_pixel* p, void* parm) { static_cast<Visit*>(parm)->seen.push_back(p); },
                   &v);
  std::vector<LICE_pixel*> want = {&img.at(3, 0), &img.at(4, 0), &img.at(3, 1), &img.at(4, 1)};
  EXPECT_EQ(v.seen, want);
  LICE_ProcessRect(img.bm(), 0, 0, 5, 4, nullptr, nullptr);
}

TEST(RasterSetAlphaFromColorMask, MatchingColoursBecomeTransparentOthersOpaque) {
  Guarded img(3, 1);
  img.at(0, 0) = 0x10203040u;
  img.at(1, 0) = 0x10203099u;
  img.at(2, 0) = 0x10203140u;
  LICE_SetAlphaFromColorMask(img.bm(), 0x10203000u);
  EXPECT_EQ(img.at(0, 0), 0x10203000u);
  EXPECT_EQ(img.at(1, 0), 0x10203000u);
  EXPECT_EQ(img.at(2, 0), 0x102031FFu);
  LICE_SetAlphaFromColorMask(img.bm(), 0x10203001u);  // an alpha byte never matches
  EXPECT_EQ(img.at(0, 0), 0x102030FFu);
}

TEST(RasterSimpleFill, FillsOnlyRowsWhoseAnchorColumnMatches) {
  // Rows 0-4 of a 6-wide bitmap; 1 = wall.
  const int map[5][6] = {{0, 0, 1, 0, 0, 0},
                         {0, 0, 0, 0, 1, 0},
                         {1, 0, 0, 1, 0, 0},
                         {0, 1, 0, 0, 0, 0},
                         {0, 0, 1, 0, 0, 0}};
  Guarded img(6, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) img.at(x, y) = map[y][x] ? 0xFFu : 0x12345600u;
  LICE_SimpleFill(img.bm(), 1, 2, 0xAB000000u, 0xFFFFFFFFu, 0x000000FFu);
  // Anchor column 1: rows 2, 1, 0 match (upward), row 3 is a wall there.
  const int filled[5][6] = {{1, 1, 0, 0, 0, 0},
                            {1, 1, 1, 1, 0, 0},
                            {0, 1, 1, 0, 0, 0},
                            {0, 0, 0, 0, 0, 0},
                            {0, 0, 0, 0, 0, 0}};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const LICE_pixel orig = map[y][x] ? 0xFFu : 0x12345600u;
      EXPECT_EQ(img.at(x, y), filled[y][x] ? 0xAB000000u : orig) << x << "," << y;
    }
  LICE_SimpleFill(img.bm(), 6, 0, 1, 0xFFFFFFFFu, 0);  // outside: nothing
  LICE_SimpleFill(img.bm(), -1, 0, 1, 0xFFFFFFFFu, 0);
  EXPECT_TRUE(img.guardIntact());
}

TEST(RasterHalveBlitAA, EachPixelIsTheQuarterSumOfItsBlock) {
  Guarded src(7, 5), dst(5, 5);
  src.randomize(34);
  dst.fill(3);
  LICE_HalveBlitAA(dst.bm(), src.bm());
  auto q = [](LICE_pixel p) { return (p >> 2) & 0x3F3F3F3Fu; };
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      if (x < 3 && y < 2)
        EXPECT_EQ(dst.at(x, y), q(src.at(2 * x, 2 * y)) + q(src.at(2 * x + 1, 2 * y)) +
                                    q(src.at(2 * x, 2 * y + 1)) + q(src.at(2 * x + 1, 2 * y + 1)));
      else
        EXPECT_EQ(dst.at(x, y), 3u);
    }
  EXPECT_TRUE(dst.guardIntact());
}

TEST(RasterBlit, FullWeightAddAndSourceAlphaBlitsMatchTheirCombinersForEveryAlpha) {
  // Every source alpha with random colours, over random destinations; a width
  // that leaves pixels over at the end of each row; a blit of a bitmap onto
  // itself, shifted by one pixel.
  Guarded src(259, 3), base(259, 3);
  src.randomize(21);
  base.randomize(22);
  for (int x = 0; x < 259; ++x) src.at(x, 1) = (src.at(x, 1) & 0xFFFFFF00u) | (LICE_pixel)(x & 0xFF);
  src.at(0, 0) |= 0xFF;
  src.at(1, 0) &= 0xFFFFFF00u;
  for (int mode : {LICE_COMBINE_ADD, LICE_COMBINE_ADD | LICE_COMBINE_SOURCE_ALPHA,
                   LICE_COMBINE_COPY | LICE_COMBINE_SOURCE_ALPHA}) {
    Guarded got(259, 3), want(259, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 259; ++x) got.at(x, y) = want.at(x, y) = base.at(x, y);
    LICE_Blit(got.bm(), src.bm(), 0, 0, nullptr, 1.0f, mode);
    refBlit(want, src, 0, 0, RECT{0, 0, 259, 3}, 1.0f, mode);
    EXPECT_EQ(got.pixels(), want.pixels()) << "mode " << mode;
    LICE_Blit(got.bm(), got.bm(), 1, 0, nullptr, 1.0f, mode);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 258; ++x) want.at(x + 1, y) = refBlitPixel(want.at(x + 1, y), want.at(x, y), 1.0f, mode);
    EXPECT_EQ(got.pixels(), want.pixels()) << "onto itself, mode " << mode;
  }
}
