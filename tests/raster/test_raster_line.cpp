// Lines and curves: exact pixels and coverage where the rules fix them,
// geometric properties (one pixel per major step, closeness to the ideal
// line, mirror symmetry) for random lines, and clipping into guarded bitmaps.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "raster/lice_combine.h"
#include "raster/lice_line.h"
#include "raster_test_util.h"

using rastertest::Guarded;

namespace {

const LICE_pixel kWhite = LICE_MakePixel(255, 255, 255, 255);

/// The copy formula of the combine modes for one channel.
int copyMix(int d, int s, int w) { return s + (d - s) * (256 - w) / 256; }

std::set<std::pair<int, int>> changed(const Guarded& g, LICE_pixel background) {
  std::set<std::pair<int, int>> s;
  for (int y = 0; y < g.h(); ++y)
    for (int x = 0; x < g.w(); ++x)
      if (g.at(x, y) != background) s.insert({x, y});
  return s;
}

}  // namespace

TEST(RasterLine, ZeroLengthLineDrawsExactlyOnePixel) {
  Guarded img(8, 8);
  LICE_Line(img.bm(), 2, 5, 2, 5, kWhite, 1.0f, LICE_COMBINE_COPY, false);
  EXPECT_EQ(changed(img, 0), (std::set<std::pair<int, int>>{{2, 5}}));
}

TEST(RasterLine, HorizontalLineIsCutAtBothEdges) {
  Guarded img(5, 3);
  LICE_Line(img.bm(), -10, 0, 10, 0, kWhite, 1.0f, LICE_COMBINE_COPY, false);
  EXPECT_EQ(changed(img, 0),
            (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}));
  EXPECT_TRUE(img.guardIntact());
}

TEST(RasterLine, LinesOutsideTheBitmapDrawNothing) {
  Guarded img(6, 6);
  for (bool aa : {false, true}) {
    LICE_Line(img.bm(), 7, 0, 20, 5, kWhite, 1.0f, 0, aa);
    LICE_Line(img.bm(), -3, -9, 40, -1, kWhite, 1.0f, 0, aa);
    LICE_Line(img.bm(), INT_MIN, INT_MAX, INT_MAX, INT_MAX, kWhite, 1.0f, 0, aa);
    LICE_Line(nullptr, 0, 0, 3, 3, kWhite, 1.0f, 0, aa);
    LICE_Line(img.bm(), 0, 0, 5, 3, kWhite, 0.001f, 0, aa);  // weight 0
    LICE_Line(img.bm(), 0, 0, 5, 3, kWhite, 1.0f, 6, aa);    // no such operation
  }
  EXPECT_TRUE(changed(img, 0).empty());
  EXPECT_TRUE(img.guardIntact());
}

TEST(RasterLine, HugeCoordinatesAreClippedWithoutOverflow) {
  Guarded img(7, 5);
  LICE_Line(img.bm(), INT_MIN, 3, INT_MAX, 3, kWhite, 1.0f, 0, false);
  LICE_Line(img.bm(), 1, INT_MIN, 1, INT_MAX, kWhite, 1.0f, 0, true);
  LICE_Line(img.bm(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, kWhite, 1.0f, 0, true);
  LICE_Line(img.bm(), INT_MAX, INT_MIN, INT_MIN, INT_MAX, kWhite, 0.4f, 1, true);
  for (int x = 0; x < 7; ++x) EXPECT_EQ(img.at(x, 3), kWhite);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(img.at(1, y), kWhite);
  EXPECT_TRUE(img.guardIntact());
}

TEST(RasterLine, HalfAlphaHorizontalLineIsThePackedHalfMix) {
  Guarded img(4, 1);
  img.randomize(40);
  std::vector<LICE_pixel> before = img.pixels();
  const LICE_pixel c = 0x9F3E01C7u;
  LICE_Line(img.bm(), 3, 0, 0, 0, c, 0.5f, LICE_COMBINE_COPY, false);
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(img.at(x, 0), ((before[x] >> 1) & 0x7F7F7F7Fu) + ((c >> 1) & 0x7F7F7F7Fu));
}

TEST(RasterLine, ShallowLineHalvesAreMirrorImages) {
  Guarded img(8, 4);
  LICE_Line(img.bm(), 0, 0, 5, 1, kWhite, 1.0f, 0, false);
  EXPECT_EQ(changed(img, 0), (std::set<std::pair<int, int>>{
                                 {0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 1}}));
}

TEST(RasterLine, AntiAliasedLineCoverageFollowsTheFixedPointFraction) {
  Guarded img(6, 4);
  LICE_Line(img.bm(), 0, 0, 4, 2, kWhite, 1.0f, 0, true);
  // Weight per pixel: full at the ends, 127/128 split beside them, 255 in the
  // middle with a zero-weight partner below it.
  const struct {
    int x, y, w;
  } expect[] = {{0, 0, 256}, {4, 2, 256}, {1, 0, 127}, {3, 2, 127},
                {1, 1, 128}, {3, 1, 128}, {2, 1, 255}};
  std::set<std::pair<int, int>> want;
  for (const auto& e : expect) {
    const int v = copyMix(0, 255, e.w);
    EXPECT_EQ(img.at(e.x, e.y), LICE_MakePixel(v, v, v, v)) << e.x << "," << e.y;
    want.insert({e.x, e.y});
  }
  EXPECT_EQ(changed(img, 0), want);  // (2, 2) had weight 0 and is untouched
}

TEST(RasterLine, AntiAliasedDiagonalPutsAQuarterOnEachSideTowardTheEnd) {
  Guarded img(5, 5);
  img.fill(0);
  LICE_Line(img.bm(), 0, 0, 3, 3, kWhite, 1.0f, 0, true);
  const LICE_pixel q = (kWhite >> 2) & 0x3F3F3F3Fu;
  const LICE_pixel tq = ((kWhite >> 1) & 0x7F7F7F7Fu) + q;
  for (int i = 0; i <= 3; ++i) EXPECT_EQ(img.at(i, i), tq) << i;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(img.at(i + 1, i), q) << i;
    EXPECT_EQ(img.at(i, i + 1), q) << i;
  }
  EXPECT_EQ(changed(img, 0).size(), 10u);
}

TEST(RasterLine, RandomLinesTouchOnePixelPerMajorStepNearTheIdealLine) {
  std::mt19937 rng(41);
  std::uniform_int_distribution<int> c(0, 39);
  for (int i = 0; i < 500; ++i) {
    const int x1 = c(rng), y1 = c(rng), x2 = c(rng), y2 = c(rng);
    Guarded fwd(40, 40), rev(40, 40);
    LICE_Line(fwd.bm(), x1, y1, x2, y2, kWhite, 1.0f, 0, false);
    LICE_Line(rev.bm(), x2, y2, x1, y1, kWhite, 1.0f, 0, false);
    const auto px = changed(fwd, 0);
    ASSERT_EQ(px, changed(rev, 0)) << "direction matters for " << x1 << "," << y1 << " " << x2
                                   << "," << y2;
    const int dx = x2 - x1, dy = y2 - y1;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    ASSERT_EQ((int)px.size(), 1 + (xMajor ? std::abs(dx) : std::abs(dy)));
    ASSERT_TRUE(px.count({x1, y1}) && px.count({x2, y2}));
    for (const auto& p : px) {
      double off;
      if (dx == 0 && dy == 0)
        off = 0;
      else if (xMajor)
        off = std::fabs(p.second - (y1 + (double)(p.first - x1) * dy / dx));
      else
        off = std::fabs(p.first - (x1 + (double)(p.second - y1) * dx / dy));
      ASSERT_LE(off, 0.51) << "pixel " << p.first << "," << p.second;
    }
  }
}

TEST(RasterLine, EveryModeAndEndpointNearTheEdgesStaysInside) {
  const int modes[] = {0, 1, 2, 3, 4, 5};
  const float alphas[] = {1.0f, 0.5f, 0.25f, 0.75f, 0.6f};
  Guarded img(9, 7);
  int n = 0;
  for (int mode : modes)
    for (float alpha : alphas)
      for (int x1 = -3; x1 <= 11; x1 += 2)
        for (int y1 = -3; y1 <= 9; y1 += 3)
          for (int x2 = -2; x2 <= 12; x2 += 3)
            for (int y2 = -4; y2 <= 10; y2 += 2) {
              LICE_Line(img.bm(), x1, y1, x2, y2, 0x80C040FFu, alpha, mode, (n & 1) != 0);
              LICE_FLine(img.bm(), x1 + 0.3f, y1 - 0.6f, x2 - 0.2f, y2 + 0.7f, 0x80C040FFu, alpha,
                         mode, (n & 2) != 0);
              ++n;
            }
  EXPECT_TRUE(img.guardIntact());
}

TEST(RasterLine, FlippedBitmapDrawsInVisualRows) {
  Guarded flipped(8, 6, true), upright(8, 6);
  const int lines[][4] = {{1, 1, 6, 1}, {2, 0, 2, 5}, {0, 0, 5, 5}, {7, 1, 3, 5}};
  for (const auto& l : lines)
    for (bool aa : {false, true}) {
      LICE_Line(flipped.bm(), l[0], l[1], l[2], l[3], 0x11223344u, 0.7f, 0, aa);
      LICE_Line(upright.bm(), l[0], l[1], l[2], l[3], 0x11223344u, 0.7f, 0, aa);
    }
  EXPECT_EQ(flipped.pixels(), upright.pixels());
}

TEST(RasterFLine, WithoutAntiAliasingTheEndsAreTruncated) {
  Guarded a(6, 3), b(6, 3);
  LICE_FLine(a.bm(), 0.9f, 0.9f, 3.9f, 0.9f, kWhite, 1.0f, 0, false);
  LICE_Line(b.bm(), 0, 0, 3, 0, kWhite, 1.0f, 0, false);
  EXPECT_EQ(a.pixels(), b.pixels());
  EXPECT_EQ(changed(a, 0).size(), 4u);
}

TEST(RasterFLine, AntiAliasedCoverageOfEachColumnAddsUpToTheColour) {
  std::mt19937 rng(42);
  std::uniform_real_distribution<float> c(1.0f, 28.0f);
  for (int i = 0; i < 200; ++i) {
    Guarded img(30, 30);
    float x1 = c(rng), y1 = c(rng), x2 = c(rng), y2 = c(rng);
    if (std::fabs(x2 - x1) < std::fabs(y2 - y1)) std::swap(y2, x2);  // keep it x-major
    if (std::fabs(x2 - x1) <= std::fabs(y2 - y1)) continue;
    LICE_FLine(img.bm(), x1, y1, x2, y2, kWhite, 1.0f, 0, true);
    const int lo = (int)std::ceil(std::min(x1, x2)), hi = (int)std::floor(std::max(x1, x2));
    for (int x = 0; x < 30; ++x) {
      int sum = 0, count = 0;
      double moment = 0.0;
      for (int y = 0; y < 30; ++y) {
        const int r = LICE_PixelR(img.at(x, y));
        sum += r;
        moment += (double)r * y;
        count += r != 0;
      }
      if (x < lo || x > hi) {
        ASSERT_EQ(sum, 0) << "column " << x << " outside the line";
      } else {
        ASSERT_LE(count, 2) << "column " << x;
        ASSERT_NEAR(sum, 255, 2) << "column " << x;
        // The coverage-weighted row is the ideal line's height there.
        const double ideal = y1 + (x - x1) * (double)(y2 - y1) / (x2 - x1);
        ASSERT_NEAR(moment / sum, ideal, 0.03) << "column " << x;
      }
    }
  }
}

TEST(RasterFLine, PixelCentredHorizontalLineCoversOneRowFractionalSplitsTwo) {
  Guarded a(8, 5), b(8, 5);
  LICE_FLine(a.bm(), 1.0f, 2.0f, 6.0f, 2.0f, kWhite, 1.0f, 0, true);
  for (int x = 1; x <= 6; ++x) EXPECT_EQ(LICE_PixelR(a.at(x, 2)), copyMix(0, 255, 255)) << x;
  EXPECT_EQ(changed(a, 0).size(), 6u);
  LICE_FLine(b.bm(), 1.0f, 2.5f, 6.0f, 2.5f, kWhite, 1.0f, 0, true);
  for (int x = 1; x <= 6; ++x) {
    EXPECT_EQ(LICE_PixelR(b.at(x, 2)), copyMix(0, 255, 127)) << x;
    EXPECT_EQ(LICE_PixelR(b.at(x, 3)), copyMix(0, 255, 128)) << x;
  }
}

TEST(RasterFLine, NonFiniteOrDegenerateLinesDrawNothing) {
  Guarded img(6, 6);
  for (bool aa : {false, true}) {
    LICE_FLine(img.bm(), NAN, 1, 3, 3, kWhite, 1.0f, 0, aa);
    LICE_FLine(img.bm(), 1, INFINITY, 3, 3, kWhite, 1.0f, 0, aa);
    LICE_FLine(img.bm(), 1, 1, 3, -INFINITY, kWhite, 1.0f, 0, aa);
  }
  LICE_FLine(img.bm(), 2.5f, 2.5f, 2.5f, 2.5f, kWhite, 1.0f, 0, true);
  EXPECT_TRUE(changed(img, 0).empty());
  for (bool aa : {false, true}) {
    LICE_FLine(img.bm(), 1e30f, -1e30f, -1e30f, 1e30f, kWhite, 1.0f, 0, aa);
    LICE_FLine(img.bm(), -3e9f, 2.0f, 3e9f, 2.5f, kWhite, 1.0f, 0, aa);
  }
  EXPECT_TRUE(img.guardIntact());
}

TEST(RasterDashedLine, PatternRepeatsAndTheEndIsNeverDrawn) {
  Guarded img(12, 3);
  LICE_DashedLine(img.bm(), 0, 0, 10, 0, 2, 3, kWhite, 1.0f, 0);
  EXPECT_EQ(changed(img, 0), (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {5, 0}, {6, 0}}));
  Guarded tail(12, 1);
  // 0-1 on, 2-4 off, 5-6 on, 7-9 off, then a tail of min(2, 11 - 10) = 1.
  LICE_DashedLine(tail.bm(), 11, 0, 0, 0, 2, 3, kWhite, 1.0f, 0);
  EXPECT_EQ(changed(tail, 0),
            (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {5, 0}, {6, 0}, {10, 0}}));
}

TEST(RasterDashedLine, DottedVerticalLineMarksEverySecondPixel) {
  for (int len : {9, 10}) {
    Guarded img(3, 12), ref(3, 12);
    LICE_DashedLine(img.bm(), 1, 0, 1, len, 1, 1, kWhite, 1.0f, 0);  // special case
    LICE_DashedLine(ref.bm(), 1, 0, 1, len, 1, 1, kWhite, 0.999f, 0);  // general loop
    std::set<std::pair<int, int>> want;
    for (int y = 0; y < len; y += 2) want.insert({1, y});
    EXPECT_EQ(changed(img, 0), want) << len;
    EXPECT_EQ(changed(ref, 0), want) << len;
  }
}

TEST(RasterDashedLine, FlippedBitmapRunsThePatternFromTheVisualTop) {
  // Both directions, the dotted special case and a clipped end.
  const int lines[][6] = {{2, 1, 2, 9, 2, 3}, {3, 9, 3, 0, 2, 1}, {1, 0, 1, 8, 1, 1},
                          {4, -3, 4, 20, 3, 2}, {0, 4, 6, 4, 2, 1}};
  for (const auto& l : lines) {
    Guarded flipped(7, 11, true), upright(7, 11);
    LICE_DashedLine(flipped.bm(), l[0], l[1], l[2], l[3], l[4], l[5], kWhite, 1.0f, 0);
    LICE_DashedLine(upright.bm(), l[0], l[1], l[2], l[3], l[4], l[5], kWhite, 1.0f, 0);
    EXPECT_EQ(flipped.pixels(), upright.pixels()) << l[0] << "," << l[1] << "-" << l[2] << "," << l[3];
    EXPECT_TRUE(flipped.guardIntact());
  }
}

TEST(RasterDashedLine, DiagonalsAndBadPatternsDrawNothing) {
  Guarded img(10, 10);
  LICE_DashedLine(img.bm(), 0, 0, 5, 5, 2, 2, kWhite, 1.0f, 0);
  LICE_DashedLine(img.bm(), 0, 1, 9, 1, 0, 2, kWhite, 1.0f, 0);
  LICE_DashedLine(img.bm(), 0, 1, 9, 1, 1, 0, kWhite, 0.0f, 0);
  LICE_DashedLine(nullptr, 0, 1, 9, 1, 1, 1, kWhite, 1.0f, 0);
  EXPECT_TRUE(changed(img, 0).empty());
  // A negative gap counts as none: a solid line, and the call returns.
  LICE_DashedLine(img.bm(), 0, 2, 9, 2, 3, -7, kWhite, 1.0f, 0);
  EXPECT_EQ(changed(img, 0).size(), 9u);
  LICE_DashedLine(img.bm(), INT_MIN, 4, INT_MAX, 4, 1, INT_MAX, kWhite, 1.0f, 0);
  EXPECT_EQ(img.at(0, 4), kWhite);
  EXPECT_TRUE(img.guardIntact());
}

TEST(RasterClipLine, ClipsToTheBoxAndReportsWhetherAnythingRemains) {
  int x1 = 0, y1 = 15, x2 = 15, y2 = 15;
  EXPECT_TRUE(LICE_ClipLine(&x1, &y1, &x2, &y2, 10, 10, 20, 20));
  EXPECT_EQ(x1, 10);
  EXPECT_EQ(y1, 15);
  EXPECT_EQ(x2, 15);
  EXPECT_EQ(y2, 15);
  int a = 0, b = 0, c = 5, d = 5;
  EXPECT_FALSE(LICE_ClipLine(&a, &b, &c, &d, 10, 10, 20, 20));
  EXPECT_FALSE(LICE_ClipLine(nullptr, &b, &c, &d, 10, 10, 20, 20));
  // Diagonal through the box: the ends land on the last row and column.
  int p = -5, q = -5, r = 30, s = 30;
  EXPECT_TRUE(LICE_ClipLine(&p, &q, &r, &s, 0, 0, 10, 10));
  EXPECT_EQ(p, 0);
  EXPECT_EQ(q, 0);
  EXPECT_EQ(r, 9);
  EXPECT_EQ(s, 9);
}

TEST(RasterClipLine, FloatClipKeepsOneSpareColumnAndRow) {
  float x1 = -4.0f, y1 = 2.0f, x2 = 20.0f, y2 = 2.0f;
  EXPECT_TRUE(LICE_ClipFLine(&x1, &y1, &x2, &y2, 0.0f, 0.0f, 10.0f, 10.0f));
  EXPECT_FLOAT_EQ(x1, 0.0f);
  EXPECT_FLOAT_EQ(x2, 8.0f);  // w - 2, so x + 1 is still inside
  EXPECT_FLOAT_EQ(y2, 2.0f);
  float a = 1.0f, b = 9.5f, c = 5.0f, d = 9.2f;  // entirely in the spare row
  EXPECT_FALSE(LICE_ClipFLine(&a, &b, &c, &d, 0.0f, 0.0f, 10.0f, 10.0f));
  float n = NAN, m = 1.0f, o = 2.0f, pp = 2.0f;
  EXPECT_FALSE(LICE_ClipFLine(&n, &m, &o, &pp, 0.0f, 0.0f, 10.0f, 10.0f));
}

namespace {
/// Pixels changed by a curve must lie within the control points' bounding box
/// (one pixel of slack for anti-aliasing).
void expectInsideHull(const Guarded& img, std::initializer_list<std::pair<float, float>> pts) {
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (const auto& p : pts) {
    x0 = std::min(x0, p.first);
    x1 = std::max(x1, p.first);
    y0 = std::min(y0, p.second);
    y1 = std::max(y1, p.second);
  }
  for (const auto& p : changed(img, 0)) {
    EXPECT_GE(p.first, (int)std::floor(x0) - 1);
    EXPECT_LE(p.first, (int)std::ceil(x1) + 1);
    EXPECT_GE(p.second, (int)std::floor(y0) - 1);
    EXPECT_LE(p.second, (int)std::ceil(y1) + 1);
  }
}
}  // namespace

TEST(RasterBezier, CurvesStartAndEndAtTheirEndPointsInsideTheHull) {
  Guarded q(40, 30), c(40, 30);
  LICE_DrawQBezier(q.bm(), 30, 4, 10, 28, 2, 3, kWhite, 1.0f, 0, false, 1.0f);
  EXPECT_EQ(q.at(30, 4), kWhite);
  EXPECT_EQ(q.at(2, 3), kWhite);
  expectInsideHull(q, {{30, 4}, {10, 28}, {2, 3}});
  LICE_DrawCBezier(c.bm(), 3, 25, 10, 0, 25, 29, 37, 2, kWhite, 1.0f, 0, false, 0.5f);
  EXPECT_EQ(c.at(3, 25), kWhite);
  EXPECT_EQ(c.at(37, 2), kWhite);
  expectInsideHull(c, {{3, 25}, {10, 0}, {25, 29}, {37, 2}});
  // A connected chain: every column between the ends holds a pixel.
  for (int x = 3; x <= 37; ++x) {
    bool any = false;
    for (int y = 0; y < 30; ++y) any = any || c.at(x, y) != 0;
    EXPECT_TRUE(any) << "column " << x;
  }
}

TEST(RasterBezier, CurvesReachingPastTheSidesAreCutAndStayInside) {
  Guarded img(20, 20);
  LICE_DrawQBezier(img.bm(), -30, 5, 10, 10, 50, 5, kWhite, 1.0f, 0, true, 1.0f);
  LICE_DrawCBezier(img.bm(), -1e6f, 3, 0, 30, 20, -30, 1e6f, 10, kWhite, 0.5f, 1, true, 0.0f);
  LICE_DrawCBezier(img.bm(), -100, 3, -50, 30, -20, -30, -10, 10, kWhite, 1.0f, 0, false, 1.0f);
  LICE_DrawQBezier(img.bm(), NAN, 3, 0, 30, 20, -30, kWhite, 1.0f, 0, false, 1.0f);
  LICE_DrawQBezier(nullptr, 0, 3, 0, 30, 20, -30, kWhite, 1.0f, 0, false, 1.0f);
  EXPECT_TRUE(img.guardIntact());
  // The first curve crosses the whole width: something is drawn at both sides.
  bool left = false, right = false;
  for (int y = 0; y < 20; ++y) {
    left = left || img.at(0, y) != 0 || img.at(1, y) != 0;
    right = right || img.at(18, y) != 0 || img.at(19, y) != 0;
  }
  EXPECT_TRUE(left);
  EXPECT_TRUE(right);
}
