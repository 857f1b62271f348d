// Circles, arcs and polygons: stored small circles, the midpoint engine
// against independent references, arcs, rectangles, trapezoids, polygon
// decomposition, Bezier fills, flipped bitmaps and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <utility>

#include "raster/lice_combine.h"
#include "raster/lice_shapes.h"
#include "raster_test_util.h"

using rastertest::Guarded;

namespace {

const LICE_pixel kWhite = 0xFFFFFFFFu;
const LICE_pixel kOne = LICE_MakePixel(1, 1, 1, 1);  // add mode: counts writes per pixel
const double kPi = 3.14159265358979323846;

std::set<std::pair<int, int>> touched(const Guarded& g) {
  std::set<std::pair<int, int>> s;
  for (int y = 0; y < g.h(); ++y)
    for (int x = 0; x < g.w(); ++x)
      if (g.at(x, y)) s.insert({x, y});
  return s;
}

int maxWrites(const Guarded& g) {
  int m = 0;
  for (int y = 0; y < g.h(); ++y)
    for (int x = 0; x < g.w(); ++x) m = std::max(m, LICE_PixelR(g.at(x, y)));
  return m;
}

}  // namespace

TEST(RasterShapes, SmallCircleStampsItsStoredGlyph) {
  const unsigned char rows[5][5] = {{0, 0, 255, 0, 0},
                                    {0, 255, 0, 255, 0},
                                    {255, 0, 0, 0, 255},
                                    {0, 255, 0, 255, 0},
                                    {0, 0, 255, 0, 0}};
  Guarded g(20, 20);
  LICE_Circle(g.bm(), 10.3f, 10.3f, 2.0f, kWhite, 1.0f, LICE_COMBINE_COPY, false);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool in = x >= 8 && x < 13 && y >= 8 && y < 13 && rows[y - 8][x - 8];
      ASSERT_EQ(g.at(x, y), in ? kWhite : 0u) << x << "," << y;
    }
}

TEST(RasterShapes, PlainOutlineWritesEachPixelOnce) {
  Guarded g(21, 21);
  LICE_Circle(g.bm(), 10.0f, 10.0f, 5.0f, kOne, 1.0f, LICE_COMBINE_ADD, false);
  std::set<std::pair<int, int>> expect;
  const int pts[][2] = {{5, 0}, {1, 5}, {5, 1}, {2, 5}, {5, 2}, {3, 4}, {4, 3}};
  for (auto& p : pts)
    for (int sx : {-1, 1})
      for (int sy : {-1, 1}) {
        expect.insert({10 + sx * p[0], 10 + sy * p[1]});
        expect.insert({10 + sx * p[1], 10 + sy * p[0]});
      }
  EXPECT_EQ(expect.size(), 28u);
  EXPECT_EQ(touched(g), expect);
  EXPECT_EQ(maxWrites(g), 1);
}

TEST(RasterShapes, FilledCirclesMatchPixelCentreReference) {
  // The midpoint fill covers the pixels whose centres lie within R + 0.5 of
  // the centre, give or take the boundary pixels the integer error term
  // rounds the other way (at most 4 per octant row here), each written once.
  for (float r : {0.0f, 3.0f, 7.4f, 12.5f, 20.0f}) {
    Guarded g(50, 50);
    LICE_FillCircle(g.bm(), 24.0f, 25.0f, r, kOne, 1.0f, LICE_COMBINE_ADD, false);
    EXPECT_EQ(maxWrites(g), 1) << r;
    const double R = (int)(r + 0.5f) + 0.5;
    int mismatch = 0, inside = 0;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 50; ++x) {
        const bool ref = (x - 24) * (x - 24) + (y - 25) * (y - 25) <= R * R;
        inside += ref;
        if (ref != (g.at(x, y) != 0)) ++mismatch;
      }
    EXPECT_LE(mismatch, (int)(0.1 * 2 * kPi * R) + 1) << r << " of " << inside;
  }
  Guarded one(5, 5);
  LICE_FillCircle(one.bm(), 2.0f, 2.0f, 0.0f, kWhite, 1.0f, LICE_COMBINE_COPY, false);
  EXPECT_EQ(touched(one), (std::set<std::pair<int, int>>{{2, 2}}));
}

TEST(RasterShapes, AntiAliasedFillCoversTheCircleArea) {
  // Pixel centres sit on integer coordinates and every pixel whose centre
  // lies within r is covered fully, so the anti-aliased fill approximates the
  // disc of radius r + 0.5. Reference: that disc's exact coverage of each
  // pixel (16 x 16 samples). Stated tolerance: total area within 3 %, summed
  // per-pixel error below a tenth of the circumference.
  for (float r : {4.3f, 10.0f, 17.7f, 30.0f}) {
    Guarded g(80, 80);
    LICE_FillCircle(g.bm(), 40.0f, 40.0f, r, kWhite, 1.0f, LICE_COMBINE_ADD, true);
    const double R = r + 0.5;
    double area = 0.0, err = 0.0;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 80; ++x) {
        const double c = LICE_PixelR(g.at(x, y)) / 255.0;
        int in = 0;
        for (int j = 0; j < 16; ++j)
          for (int i = 0; i < 16; ++i) {
            const double px = x - 0.5 + (i + 0.5) / 16 - 40, py = y - 0.5 + (j + 0.5) / 16 - 40;
            in += px * px + py * py <= R * R;
          }
        area += c;
        err += std::fabs(c - in / 256.0);
      }
    EXPECT_NEAR(area, kPi * R * R, 0.03 * kPi * R * R) << r;
    EXPECT_LT(err, 0.1 * 2 * kPi * R) << r;
    EXPECT_TRUE(g.guardIntact());
  }
}

TEST(RasterShapes, LargeCopyFillsBlendLikeTheCopyCombiner) {
  // Each pixel's weight is read back from an add-mode drawing of full white
  // on black (255 * wt / 256 = wt - 1 for wt >= 1; weight 1 and 0 leave a
  // copy unchanged alike) and replayed through the copy combiner.
  for (bool aa : {false, true}) {
    Guarded weights(60, 60), drawn(60, 60), ref(60, 60);
    drawn.randomize(5);
    ref.randomize(5);
    const LICE_pixel colour = LICE_MakePixel(10, 240, 99, 70);
    LICE_FillCircle(weights.bm(), 29.6f, 30.2f, 21.3f, kWhite, 0.3f, LICE_COMBINE_ADD, aa);
    LICE_FillCircle(drawn.bm(), 29.6f, 30.2f, 21.3f, colour, 0.3f, LICE_COMBINE_COPY, aa);
    int covered = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 60; ++x)
        if (const int v = LICE_PixelR(weights.at(x, y))) {
          ++covered;
          LICE_CombinePixels2(&ref.at(x, y), 10, 240, 99, 70, v + 1, LICE_COMBINE_COPY);
        }
    EXPECT_GT(covered, 1300) << aa;
    EXPECT_EQ(drawn.pixels(), ref.pixels()) << aa;
  }
}

TEST(RasterShapes, ArcsDrawTheirQuartersOnly) {
  Guarded full(41, 41), circle(41, 41), quarter(41, 41);
  LICE_Circle(circle.bm(), 20.0f, 20.0f, 12.0f, kWhite, 1.0f, LICE_COMBINE_COPY, false);
  LICE_Arc(full.bm(), 20.0f, 20.0f, 12.0f, 0.0f, (float)(2 * kPi), kWhite, 1.0f, LICE_COMBINE_COPY, false);
  EXPECT_EQ(full.pixels(), circle.pixels());
  LICE_Arc(quarter.bm(), 20.0f, 20.0f, 12.0f, 0.0f, (float)(kPi / 2), kWhite, 1.0f, LICE_COMBINE_COPY, false);
  const auto q = touched(quarter);
  int expected = 0;
  for (auto& p : touched(circle)) expected += p.first >= 20 && p.second <= 20;
  EXPECT_EQ((int)q.size(), expected);
  for (auto& p : q) {
    EXPECT_GE(p.first, 20);
    EXPECT_LE(p.second, 20);
  }
  // Angles past a full turn are normalised: 2 pi .. 2.5 pi is the same quarter.
  Guarded shifted(41, 41);
  LICE_Arc(shifted.bm(), 20.0f, 20.0f, 12.0f, (float)(2 * kPi), (float)(2.5 * kPi), kWhite, 1.0f,
           LICE_COMBINE_COPY, false);
  EXPECT_EQ(shifted.pixels(), quarter.pixels());
}

TEST(RasterShapes, RectangleOutlines) {
  Guarded a(6, 5), b(6, 5);
  LICE_DrawRect(a.bm(), 0, 0, 3, 2, kOne, 1.0f, LICE_COMBINE_ADD);
  std::set<std::pair<int, int>> outline;
  for (int x = 0; x <= 3; ++x) outline.insert({x, 0}), outline.insert({x, 2});
  outline.insert({0, 1});
  outline.insert({3, 1});
  EXPECT_EQ(touched(a), outline);
  EXPECT_EQ(LICE_PixelR(a.at(0, 0)), 2);  // corners twice
  LICE_RoundRect(b.bm(), 0.0f, 0.0f, 3.0f, 2.0f, 1, kOne, 1.0f, LICE_COMBINE_ADD, false);
  EXPECT_EQ(a.pixels(), b.pixels());

  Guarded round(30, 30);
  LICE_RoundRect(round.bm(), 2.0f, 3.0f, 20.0f, 15.0f, 5, kWhite, 1.0f, LICE_COMBINE_COPY, false);
  EXPECT_EQ(round.at(2, 3), 0u);           // corner cut off
  EXPECT_EQ(round.at(12, 3), kWhite);      // top edge
  EXPECT_EQ(round.at(22, 10), kWhite);     // right edge
  EXPECT_EQ(round.at(12, 10), 0u);         // inside stays empty

  Guarded bordered(8, 8);
  LICE_BorderedRect(bordered.bm(), 1, 1, 5, 4, LICE_MakePixel(9, 9, 9, 9), kWhite, 1.0f, LICE_COMBINE_COPY);
  EXPECT_EQ(bordered.at(1, 1), kWhite);
  EXPECT_EQ(bordered.at(3, 3), LICE_MakePixel(9, 9, 9, 9));
  EXPECT_EQ(bordered.at(6, 5), kWhite);
}

TEST(RasterShapes, TrianglesAndDegeneratePolygons) {
  Guarded g(8, 8);
  LICE_FillTriangle(g.bm(), 0, 0, 4, 0, 0, 4, kOne, 1.0f, LICE_COMBINE_ADD);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(LICE_PixelR(g.at(x, y)), (y <= 4 && x <= 4 - y) ? 1 : 0) << x << "," << y;

  // A large fill at a weight without a packed mix gives, pixel for pixel,
  // what the copy combiner gives.
  Guarded big(100, 100), ref(100, 100), mask(100, 100);
  big.randomize(3);
  ref.randomize(3);
  const LICE_pixel colour = LICE_MakePixel(200, 17, 99, 140);
  LICE_FillTriangle(big.bm(), 0, 0, 99, 0, 0, 99, colour, 0.3f, LICE_COMBINE_COPY);
  LICE_FillTriangle(mask.bm(), 0, 0, 99, 0, 0, 99, kWhite, 1.0f, LICE_COMBINE_COPY);
  const auto covered = touched(mask);
  EXPECT_GT(covered.size(), 4900u);
  for (auto& p : covered) LICE_PutPixel(ref.bm(), p.first, p.second, colour, 0.3f, LICE_COMBINE_COPY);
  EXPECT_EQ(big.pixels(), ref.pixels());

  Guarded row(8, 4);
  LICE_FillTrapezoid(row.bm(), 2, 5, 1, 0, 7, 1, kOne, 1.0f, LICE_COMBINE_ADD);  // y1 == y2: first span only
  EXPECT_EQ(touched(row), (std::set<std::pair<int, int>>{{2, 1}, {3, 1}, {4, 1}, {5, 1}}));
  Guarded dot(8, 8), none(8, 8);
  const int px[3] = {3, 3, 3}, py[3] = {5, 5, 5};
  LICE_FillConvexPolygon(dot.bm(), px, py, 3, kWhite, 1.0f, LICE_COMBINE_COPY);
  EXPECT_EQ(touched(dot), (std::set<std::pair<int, int>>{{3, 5}}));
  LICE_FillConvexPolygon(none.bm(), px, py, 2, kWhite, 1.0f, LICE_COMBINE_COPY);
  EXPECT_TRUE(touched(none).empty());
}

TEST(RasterShapes, ConvexPolygonsMatchPixelCentreReference) {
  // Random convex polygons (hulls of random points) against a closed
  // point-in-polygon test on pixel centres: each edge may round one pixel
  // the other way per row, no pixel is written twice.
  std::mt19937 rng(7);
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<std::pair<int, int>> pts;
    for (int i = 0; i < 12; ++i) pts.push_back({(int)(rng() % 70) - 5, (int)(rng() % 70) - 5});
    std::sort(pts.begin(), pts.end());
    auto cross = [](std::pair<int, int> o, std::pair<int, int> a, std::pair<int, int> b) {
      return (long)(a.first - o.first) * (b.second - o.second) - (long)(a.second - o.second) * (b.first - o.first);
    };
    std::vector<std::pair<int, int>> hull;
    for (int pass = 0; pass < 2; ++pass) {
      const size_t start = hull.size();
      for (auto& p : pts) {
        while (hull.size() >= start + 2 && cross(hull[hull.size() - 2], hull.back(), p) <= 0) hull.pop_back();
        hull.push_back(p);
      }
      hull.pop_back();
      std::reverse(pts.begin(), pts.end());
    }
    if (hull.size() < 3) continue;
    std::vector<int> xs, ys;
    for (auto& p : hull) xs.push_back(p.first), ys.push_back(p.second);
    Guarded g(60, 60);
    LICE_FillConvexPolygon(g.bm(), xs.data(), ys.data(), (int)xs.size(), kOne, 1.0f, LICE_COMBINE_ADD);
    ASSERT_EQ(maxWrites(g), 1) << trial;
    ASSERT_TRUE(g.guardIntact());
    // Differences from the reference lie on the boundary: the row's start
    // and end come from a truncated edge x plus 16.16 stepping, so each may be
    // up to two pixels off the true edge.
    auto ref = [&](int x, int y) {
      for (size_t i = 0; i < hull.size(); ++i)
        if (cross(hull[i], hull[(i + 1) % hull.size()], {x, y}) < 0) return false;
      return true;
    };
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 60; ++x) {
        const bool in = ref(x, y);
        if (in == (g.at(x, y) != 0)) continue;
        bool boundary = false;
        for (int d = -2; d <= 2; ++d) boundary = boundary || ref(x + d, y) != in;
        ASSERT_TRUE(boundary) << "trial " << trial << " at " << x << "," << y;
      }
  }
}

TEST(RasterShapes, FlippedBitmapsDrawTheSameShapes) {
  // Circles are symmetric and come out identical; polygons and trapezoids are
  // walked from the other end, so only their edge rounding may differ (at most
  // two pixels per edge and row).
  const int xs[5] = {3, 20, 28, 15, 1}, ys[5] = {2, 4, 17, 25, 12};
  for (int shape = 0; shape < 3; ++shape) {
    Guarded up(32, 30), down(32, 30, true);
    for (Guarded* g : {&up, &down}) {
      if (shape == 0) LICE_FillCircle(g->bm(), 12.0f, 9.0f, 7.0f, kWhite, 0.5f, LICE_COMBINE_COPY, false);
      if (shape == 1) LICE_FillConvexPolygon(g->bm(), xs, ys, 5, kWhite, 1.0f, LICE_COMBINE_COPY);
      if (shape == 2) LICE_FillTrapezoid(g->bm(), 2, 5, 3, 10, 30, 20, kWhite, 1.0f, LICE_COMBINE_COPY);
    }
    if (shape == 0) {
      EXPECT_EQ(up.pixels(), down.pixels());
    }
    for (int y = 0; y < 30; ++y) {
      int diff = 0;
      for (int x = 0; x < 32; ++x) diff += up.at(x, y) != down.at(x, y);
      EXPECT_LE(diff, 4) << shape << " row " << y;
    }
    EXPECT_GT(touched(down).size(), 100u);
    EXPECT_TRUE(down.guardIntact());
  }
}

TEST(RasterShapes, BezierFillCoversTheAreaUnderTheCurveOnce) {
  Guarded g(20, 14);
  LICE_FillCBezier(g.bm(), 0.0f, 5.0f, 3.0f, 5.0f, 7.0f, 5.0f, 10.0f, 5.0f, 9, kOne, 1.0f, LICE_COMBINE_ADD);
  std::set<std::pair<int, int>> rect;
  for (int y = 5; y <= 9; ++y)
    for (int x = 0; x <= 10; ++x) rect.insert({x, y});
  EXPECT_EQ(touched(g), rect);
  EXPECT_EQ(maxWrites(g), 1);
  Guarded h(14, 20);
  LICE_FillCBezierX(h.bm(), 5.0f, 0.0f, 5.0f, 3.0f, 5.0f, 7.0f, 5.0f, 10.0f, 9, kOne, 1.0f, LICE_COMBINE_ADD);
  std::set<std::pair<int, int>> swapped;
  for (auto& p : rect) swapped.insert({p.second, p.first});
  EXPECT_EQ(touched(h), swapped);
}

TEST(RasterShapes, BadInputDrawsNothingAndStaysInside) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  Guarded g(16, 16);
  for (bool aa : {false, true}) {
    for (float bad : {nan, inf, -inf, 1e30f}) {
      LICE_Circle(g.bm(), bad, 5, 3.3f, kWhite, 1.0f, 0, aa);
      LICE_FillCircle(g.bm(), 5, 5, bad, kWhite, 1.0f, 0, aa);
      if (!std::isfinite(bad)) LICE_Arc(g.bm(), 5, 5, 4, 0.0f, bad, kWhite, 1.0f, 0, aa);
      LICE_RoundRect(g.bm(), bad, 0, 10, 10, 3, kWhite, 1.0f, 0, aa);
      LICE_FillCBezier(g.bm(), 0, 0, bad, 1, 2, 3, 4, 5, 9, kWhite, 1.0f, 0);
    }
    LICE_FillCircle(g.bm(), 5, 5, -2.0f, kWhite, 1.0f, 0, aa);
  }
  EXPECT_TRUE(touched(g).empty());
  // Huge but finite shapes are clipped, not refused.
  LICE_FillCircle(g.bm(), 8, 8, 1e6f, kOne, 1.0f, LICE_COMBINE_ADD, false);
  EXPECT_EQ((int)touched(g).size(), 16 * 16);
  const int hx[4] = {-2000000000, 2000000000, 2000000000, -2000000000};
  const int hy[4] = {-2000000000, -2000000000, 2000000000, 2000000000};
  LICE_FillConvexPolygon(g.bm(), hx, hy, 4, kOne, 1.0f, LICE_COMBINE_ADD);
  LICE_FillTrapezoid(g.bm(), -2147483647, 2147483647, -2147483647, 5, 6, 2147483647, kOne, 1.0f, LICE_COMBINE_ADD);
  LICE_FillConvexPolygon(g.bm(), hx, hy, 0, kOne, 1.0f, LICE_COMBINE_ADD);
  LICE_FillConvexPolygon(nullptr, hx, hy, 4, kOne, 1.0f, LICE_COMBINE_ADD);
  EXPECT_EQ(maxWrites(g), 3);
  EXPECT_TRUE(g.guardIntact());
}
