#include "raster/lice_shapes.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "raster/lice_blit.h"
#include "raster/lice_combine.h"
#include "raster/lice_line.h"
#include "raster/lice_numeric.h"
#include "raster/lice_text.h"

using lice_detail::i64;

namespace {

const double kPi = 3.14159265358979323846;
// Beyond this, coordinates and radii are bad input: drawing them would only
// spin through pixels that cannot be on the bitmap.
const double kCoordLimit = 16777216.0;

bool usable(double v) { return std::isfinite(v) && std::fabs(v) <= kCoordLimit; }

// Pixels addressed by memory row (callers have already turned visual rows of a
// flipped bitmap into memory rows).
struct Surface {
  LICE_pixel* bits = nullptr;
  intptr_t span = 0;
  int w = 0, h = 0;
  bool flipped = false;
};

bool surfaceOf(LICE_IBitmap* dest, Surface& s) {
  if (!dest) return false;
  s.bits = dest->getBits();
  s.w = dest->getWidth();
  s.h = dest->getHeight();
  s.span = dest->getRowSpan();
  s.flipped = dest->isFlipped();
  return s.bits && s.w >= 1 && s.h >= 1;
}

struct Box {
  i64 l, t, r, b;  // right and bottom exclusive
};

// Writes single pixels and spans through combiner C, cut to a box.
template <class C>
struct Painter {
  Surface s;
  Box c;
  int r, g, b, a;

  void put(i64 x, i64 y, int w) const {
    if (x < c.l || x >= c.r || y < c.t || y >= c.b) return;
    C::doPix((LICE_pixel_chan*)(s.bits + y * s.span + x), r, g, b, a, w);
  }
  void hspan(i64 y, i64 x0, i64 x1, int w) const {  // x1 inclusive
    if (y < c.t || y >= c.b) return;
    x0 = std::max(x0, c.l);
    x1 = std::min(x1, c.r - 1);
    LICE_pixel* row = s.bits + y * s.span;
    for (i64 x = x0; x <= x1; ++x) C::doPix((LICE_pixel_chan*)(row + x), r, g, b, a, w);
  }
  void vspan(i64 x, i64 y0, i64 y1, int w) const {  // y1 inclusive
    if (x < c.l || x >= c.r) return;
    y0 = std::max(y0, c.t);
    y1 = std::min(y1, c.b - 1);
    for (i64 y = y0; y <= y1; ++y) C::doPix((LICE_pixel_chan*)(s.bits + y * s.span + x), r, g, b, a, w);
  }
};

// Copy at one weight w through 256-entry tables per channel (the result
// depends only on the destination byte); other weights, which the
// anti-aliased edge points use, go through the copy combiner. Same results as
// Painter<_LICE_CombinePixelsCopyNoClamp>.
struct CopyTablePainter {
  Surface s;
  Box c;
  int r, g, b, a, w;
  unsigned char lut[4][256];

  void init() {
    const int cs[4] = {a, r, g, b};  // LICE_PIXEL_A .. LICE_PIXEL_B
    for (int k = 0; k < 4; ++k)
      for (int d = 0; d < 256; ++d) lut[k][d] = (unsigned char)_LICE_CombinePixelsCopyNoClamp::mix(d, cs[k], w);
  }
  void apply(LICE_pixel* px) const {
    LICE_pixel_chan* p = (LICE_pixel_chan*)px;
    for (int k = 0; k < 4; ++k) p[k] = lut[k][p[k]];
  }
  void put(i64 x, i64 y, int wt) const {
    if (x < c.l || x >= c.r || y < c.t || y >= c.b) return;
    if (wt == w)
      apply(s.bits + y * s.span + x);
    else
      _LICE_CombinePixelsCopyNoClamp::doPix((LICE_pixel_chan*)(s.bits + y * s.span + x), r, g, b, a, wt);
  }
  void hspan(i64 y, i64 x0, i64 x1, int) const {  // spans are always at weight w
    if (y < c.t || y >= c.b) return;
    x0 = std::max(x0, c.l);
    x1 = std::min(x1, c.r - 1);
    LICE_pixel* row = s.bits + y * s.span;
    for (i64 x = x0; x <= x1; ++x) apply(row + x);
  }
  void vspan(i64 x, i64 y0, i64 y1, int) const {
    if (x < c.l || x >= c.r) return;
    y0 = std::max(y0, c.t);
    y1 = std::min(y1, c.b - 1);
    for (i64 y = y0; y <= y1; ++y) apply(s.bits + y * s.span + x);
  }
};

// Midpoint engine without anti-aliasing.
template <class P>
void circlePlain(const P& p, i64 cx, i64 cy, i64 R, bool fill, int w) {
  if (fill) {
    p.vspan(cx, cy - R, cy - 1, w);
    p.vspan(cx, cy + 1, cy + R, w);
    p.hspan(cy, cx - R, cx + R, w);
  } else {
    p.put(cx, cy - R, w);
    p.put(cx + R, cy, w);
    p.put(cx, cy + R, w);
    p.put(cx - R, cy, w);
  }
  i64 x = 1, y = R, err = -R;
  while (x < y) {
    const i64 ny = err >= 0 ? y - 1 : y;
    if (fill) {
      for (i64 col : {cx - x, cx + x}) {
        p.vspan(col, cy - ny, cy - x - 1, w);
        p.vspan(col, cy + x + 1, cy + ny, w);
      }
      for (i64 row : {cy - x, cy + x}) {
        p.hspan(row, cx - ny, cx - x, w);
        p.hspan(row, cx + x, cx + ny, w);
      }
    } else {
      p.put(cx - x, cy - ny, w);
      p.put(cx + x, cy - ny, w);
      p.put(cx - x, cy + ny, w);
      p.put(cx + x, cy + ny, w);
      if (x != ny) {
        p.put(cx - ny, cy - x, w);
        p.put(cx + ny, cy - x, w);
        p.put(cx - ny, cy + x, w);
        p.put(cx + ny, cy + x, w);
      }
    }
    err += err < 0 ? 2 * x + 1 : 2 * (x - y) + 1;
    y = ny;
    ++x;
  }
}

inline double frac(double v) { return v - std::floor(v); }

// Midpoint engine with anti-aliased edges.
template <class P>
void circleAA(const P& p, i64 cx, i64 cy, float r, bool fill, int w) {
  const i64 R = (i64)r;
  const int A = lice_detail::satInt(frac(r) * w);
  p.put(cx, cy - R - 1, A);
  p.put(cx, cy + R + 1, A);
  p.put(cx - R - 1, cy, A);
  p.put(cx + R + 1, cy, A);
  if (fill) {
    p.vspan(cx, cy - R, cy - 1, w);
    p.vspan(cx, cy + 1, cy + R, w);
    p.hspan(cy, cx - R, cx + R, w);
  } else {
    p.put(cx, cy - R, w - A);
    p.put(cx + R, cy, w - A);
    p.put(cx, cy + R, w - A);
    p.put(cx - R, cy, w - A);
  }
  const float r2 = r * r;
  i64 x = 1;
  double D = std::sqrt((double)r2 - 1.0);
  while (std::isfinite(D) && (i64)(D + 0.5) >= x) {
    const i64 H = (i64)D;
    const int I = lice_detail::satInt(frac(D) * w);
    const bool corner = x == (i64)(D + 0.5);
    p.put(cx - x, cy - (H + 1), I);
    p.put(cx + x, cy - (H + 1), I);
    p.put(cx - x, cy + (H + 1), I);
    p.put(cx + x, cy + (H + 1), I);
    if (!corner) {
      p.put(cx - (H + 1), cy - x, I);
      p.put(cx + (H + 1), cy - x, I);
      p.put(cx - (H + 1), cy + x, I);
      p.put(cx + (H + 1), cy + x, I);
    }
    if (fill) {
      for (i64 col : {cx - x, cx + x}) {
        p.vspan(col, cy - H, cy - x - 1, w);
        p.vspan(col, cy + x + 1, cy + H, w);
      }
      for (i64 row : {cy - x, cy + x}) {
        p.hspan(row, cx - H, cx - x, w);
        p.hspan(row, cx + x, cx + H, w);
      }
    } else {
      p.put(cx - H, cy - x, w - I);
      p.put(cx + H, cy - x, w - I);
      p.put(cx - x, cy + H, w - I);
      p.put(cx + x, cy + H, w - I);
      if (!corner) {
        p.put(cx - x, cy - H, w - I);
        p.put(cx + x, cy - H, w - I);
        p.put(cx - H, cy + x, w - I);
        p.put(cx + H, cy + x, w - I);
      }
    }
    ++x;
    D = std::sqrt((double)r2 - (double)x * (double)x);
  }
}

// Runs the engine with the combiner the circle functions use. cy is already a
// memory row; box is in memory rows.
void runCircle(const Surface& s, const Box& box, float cx, float cy, float r, LICE_pixel color,
               int w, int mode, bool aa, bool fill) {
  const i64 icx = (i64)(cx + 0.5f), icy = (i64)(cy + 0.5f);
  auto run = [&](auto tag) {
    using C = typename decltype(tag)::type;
    Painter<C> p{s, box, LICE_PixelR(color), LICE_PixelG(color), LICE_PixelB(color), LICE_PixelA(color)};
    if (aa)
      circleAA(p, icx, icy, r, fill, w);
    else
      circlePlain(p, icx, icy, (i64)(r + 0.5f), fill, w);
  };
  const int op = mode & LICE_COMBINE_OP_MASK;
  if (op != LICE_COMBINE_COPY) {
    LICE_WithOperationCombiner(op, w, run);
  } else if (!aa && w == 128) {
    run(LICE_CombinerTag<_LICE_CombinePixelsHalfMixNoClamp>{});
  } else if (!aa && w == 256) {
    run(LICE_CombinerTag<_LICE_CombinePixelsClobberNoClamp>{});
  } else if (fill && w >= 1 && w < 256 && r >= 16.0f) {
    // Large fills: the tables pay for themselves many times over.
    CopyTablePainter p{s, box, LICE_PixelR(color), LICE_PixelG(color), LICE_PixelB(color), LICE_PixelA(color), w, {}};
    p.init();
    if (aa)
      circleAA(p, icx, icy, r, fill, w);
    else
      circlePlain(p, icx, icy, (i64)(r + 0.5f), fill, w);
  } else if (w >= 1) {
    run(LICE_CombinerTag<_LICE_CombinePixelsCopyNoClamp>{});
  }
}

// Coverage glyphs of the small outline circles, r = 1.5, 2, ... 4.
const unsigned char kSmall15[2][16] = {
    {0x00, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0xFF, 0x00},
    {0x4F, 0xFF, 0xFF, 0x4F, 0xFF, 0x0F, 0x0F, 0xFF, 0xFF, 0x0F, 0x0F, 0xFF, 0x4F, 0xFF, 0xFF, 0x4F}};
const unsigned char kSmall2[2][25] = {
    {0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00,
     0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00},
    {0x0F, 0xBF, 0xFF, 0xBF, 0x0F, 0xBF, 0xD1, 0x4F, 0xD1, 0xBF, 0xFF, 0x4F, 0x00,
     0x4F, 0xFF, 0xBF, 0xD1, 0x4F, 0xD1, 0xBF, 0x0F, 0xBF, 0xFF, 0xBF, 0x0F}};
const unsigned char kSmall25[2][36] = {
    {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00,
     0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF,
     0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00},
    {0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F, 0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF,
     0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF, 0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF,
     0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF, 0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F}};
const unsigned char kSmall3[2][49] = {
    {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF,
     0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00,
     0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00,
     0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00},
    {0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00, 0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF,
     0x8F, 0xFF, 0x70, 0x00, 0x00, 0x00, 0x70, 0xFF, 0xFF, 0x30, 0x00, 0x00, 0x00,
     0x30, 0xFF, 0xFF, 0x70, 0x00, 0x00, 0x00, 0x70, 0xFF, 0x8F, 0xFF, 0x61, 0x40,
     0x61, 0xFF, 0x8F, 0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00}};
const unsigned char kSmall35[2][64] = {
    {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00,
     0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00,
     0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
     0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x00,
     0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00},
    {0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00, 0x4F, 0xFF, 0xB0, 0x40, 0x40,
     0xB0, 0xFF, 0x4F, 0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE, 0xFF, 0x40,
     0x00, 0x00, 0x00, 0x00, 0x40, 0xFF, 0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40,
     0xFF, 0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE, 0x4F, 0xFF, 0xB0, 0x40,
     0x40, 0xB0, 0xFF, 0x4F, 0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00}};
const unsigned char kSmall4[2][81] = {
    {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00,
     0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00,
     0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
     0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF,
     0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00},
    {0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00, 0x1F, 0xF0, 0xD1, 0x4F, 0x40,
     0x4F, 0xD1, 0xF0, 0x1F, 0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0, 0xFF,
     0x4F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4F, 0xFF, 0xFF, 0x30, 0x00, 0x00, 0x00, 0x00,
     0x00, 0x30, 0xFF, 0xFF, 0x4F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4F, 0xFF, 0xB0, 0xD1,
     0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0, 0x1F, 0xF0, 0xD1, 0x4F, 0x40, 0x4F, 0xD1,
     0xF0, 0x1F, 0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00}};

// The stored glyph for radius r, or null; *size receives its side.
const unsigned char* smallCircle(float r, bool aa, int* size) {
  const int k = aa ? 1 : 0;
  if (r == 1.5f) return *size = 4, kSmall15[k];
  if (r == 2.0f) return *size = 5, kSmall2[k];
  if (r == 2.5f) return *size = 6, kSmall25[k];
  if (r == 3.0f) return *size = 7, kSmall3[k];
  if (r == 3.5f) return *size = 8, kSmall35[k];
  if (r == 4.0f) return *size = 9, kSmall4[k];
  return nullptr;
}

void circle(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color, float alpha,
            int mode, bool aa, bool fill) {
  Surface s;
  if (!surfaceOf(dest, s)) return;
  if (!usable(cx) || !usable(cy) || !usable(r) || r < 0.0f) return;
  if (s.flipped) cy = (float)(s.h - 1) - cy;
  const int w = LICE_AlphaToWeight(alpha);
  if (w == 0) return;
  runCircle(s, Box{0, 0, s.w, s.h}, cx, cy, r, color, w, mode, aa, fill);
}

}  // namespace

void LICE_Circle(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color, float alpha,
                 int mode, bool aa) {
  int size = 0;
  if (const unsigned char* glyph = smallCircle(r, aa, &size)) {
    if (!usable(cx) || !usable(cy)) return;
    LICE_DrawGlyph(dest, (int)(cx - r), (int)(cy - r), color, glyph, size, size, alpha, mode);
    return;
  }
  circle(dest, cx, cy, r, color, alpha, mode, aa, false);
}

void LICE_FillCircle(LICE_IBitmap* dest, float cx, float cy, float r, LICE_pixel color,
                     float alpha, int mode, bool aa) {
  circle(dest, cx, cy, r, color, alpha, mode, aa, true);
}

void LICE_Arc(LICE_IBitmap* dest, float cx, float cy, float r, float minAngle, float maxAngle,
              LICE_pixel color, float alpha, int mode, bool aa) {
  Surface s;
  if (!surfaceOf(dest, s)) return;
  if (!usable(cx) || !usable(cy) || !usable(r) || r < 0.0f) return;
  if (!std::isfinite(minAngle) || !std::isfinite(maxAngle)) return;
  double lo = std::min(minAngle, maxAngle), hi = std::max(minAngle, maxAngle);
  const double twoPi = 6.2831855;
  if (hi - lo >= twoPi) {
    LICE_Circle(dest, cx, cy, r, color, alpha, mode, aa);
    return;
  }
  if (s.flipped) {
    cy = (float)(s.h - 1) - cy;
    const double a = kPi - lo, b = kPi - hi;
    lo = std::min(a, b);
    hi = std::max(a, b);
  }
  if (hi >= twoPi) {
    const double m = std::fmod(hi, twoPi);
    lo -= hi - m;
    hi = m;
  } else if (lo <= -twoPi) {
    const double m = std::fmod(lo, twoPi);
    hi -= lo - m;
    lo = m;
  }
  const int w = LICE_AlphaToWeight(alpha);
  if (w == 0) return;
  const double a = lo + twoPi, b = hi + twoPi;
  if (b <= a) return;
  const double quarter = kPi / 2.0;
  double a0 = a, a1 = std::min(b, a - std::fmod(a, quarter) + quarter);
  // At most five quarter-turn pieces fit in a span below 2 pi.
  for (int piece = 0; piece < 6 && a0 < b; ++piece) {
    const i64 x0 = (i64)(cx + std::sin(a0) * r + 0.5), y0 = (i64)(cy - std::cos(a0) * r + 0.5);
    const i64 x1 = (i64)(cx + std::sin(a1) * r + 0.5), y1 = (i64)(cy - std::cos(a1) * r + 0.5);
    const i64 minx = std::min(x0, x1), maxx = std::max(x0, x1);
    const i64 miny = std::min(y0, y1), maxy = std::max(y0, y1);
    Box box;
    box.l = std::max<i64>(0, minx);
    box.t = std::max<i64>(0, miny);
    box.r = std::min<i64>(s.w, maxx + ((double)maxx == (double)cx ? 1 : 2));
    box.b = std::min<i64>(s.h, maxy + ((double)maxy == (double)cy ? 1 : 2));
    if (box.l < box.r && box.t < box.b) runCircle(s, box, cx, cy, r, color, w, mode, aa, false);
    a0 = a1;
    a1 = std::min(b, a1 + quarter);
  }
}

void LICE_DrawRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float alpha,
                   int mode) {
  const int x2 = lice_detail::clampToInt((i64)x + w), y2 = lice_detail::clampToInt((i64)y + h);
  LICE_Line(dest, x, y, x2, y, color, alpha, mode, false);
  LICE_Line(dest, x2, y, x2, y2, color, alpha, mode, false);
  LICE_Line(dest, x2, y2, x, y2, color, alpha, mode, false);
  LICE_Line(dest, x, y2, x, y, color, alpha, mode, false);
}

void LICE_BorderedRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel bgcolor,
                       LICE_pixel fgcolor, float alpha, int mode) {
  LICE_FillRect(dest, lice_detail::clampToInt((i64)x + 1), lice_detail::clampToInt((i64)y + 1),
                lice_detail::clampToInt((i64)w - 1), lice_detail::clampToInt((i64)h - 1), bgcolor,
                alpha, mode);
  LICE_DrawRect(dest, x, y, w, h, fgcolor, alpha, mode);
}

void LICE_RoundRect(LICE_IBitmap* dest, float x, float y, float w, float h, int cornerradius,
                    LICE_pixel color, float alpha, int mode, bool aa) {
  if (!usable(x) || !usable(y) || !usable(w) || !usable(h)) return;
  using lice_detail::satInt;
  if (cornerradius > 0) {
    const float r = std::floor(std::min({(float)cornerradius, w / 2.0f, h / 2.0f}));
    if (r >= 2.0f) {
      LICE_Line(dest, satInt(x + r), satInt(y), satInt(x + w - r), satInt(y), color, alpha, mode, aa);
      LICE_Line(dest, satInt(x + r - 1), satInt(y + h), satInt(x + w - r), satInt(y + h), color, alpha,
                mode, aa);
      LICE_Line(dest, satInt(x + w), satInt(y + r), satInt(x + w), satInt(y + h - r), color, alpha,
                mode, aa);
      LICE_Line(dest, satInt(x), satInt(y + r - 1), satInt(x), satInt(y + h - r), color, alpha, mode,
                aa);
      const float hp = (float)(kPi / 2.0), p = (float)kPi;
      LICE_Arc(dest, x + r, y + r, r, -hp, 0.0f, color, alpha, mode, aa);
      LICE_Arc(dest, x + w - r, y + r, r, 0.0f, hp, color, alpha, mode, aa);
      LICE_Arc(dest, x + w - r, y + h - r, r, hp, p, color, alpha, mode, aa);
      LICE_Arc(dest, x + r, y + h - r, r, p, p + hp, color, alpha, mode, aa);
      return;
    }
  }
  LICE_DrawRect(dest, satInt(x), satInt(y), satInt(w), satInt(h), color, alpha, mode);
}

// ---------------------------------------------------------------------------
// Trapezoids and polygons

namespace {

// Fills memory rows; (x1a, x1b, y1) .. (x2a, x2b, y2) as LICE_FillTrapezoid.
void trapezoid(const Surface& s, i64 x1a, i64 x1b, i64 y1, i64 x2a, i64 x2b, i64 y2,
               LICE_pixel color, int w, int mode) {
  if (y2 < y1) {
    std::swap(x1a, x2a);
    std::swap(x1b, x2b);
    std::swap(y1, y2);
  }
  if ((x1b < 0 && x2b < 0) || (x1a >= s.w && x2a >= s.w) || y2 < 0 || y1 >= s.h) return;
  if (x1b > s.w - 1 && x2b > s.w - 1) x1b = x2b = s.w - 1;
  if (x1a < 1 && x2a < 1) x1a = x2a = 0;
  const i64 lim = (i64)1 << 29;
  const i64 k = y2 == y1 ? 0 : 65536 / (y2 - y1);
  const i64 dxa = std::max(-lim, std::min(lim, (x2a - x1a) * k));
  const i64 dxb = std::max(-lim, std::min(lim, (x2b - x1b) * k));

  // Each edge keeps an integer x and a 16-bit fraction of |dx| per row.
  struct Edge {
    i64 x, f, d;
    int dir;
    void step(i64 rows) {
      f += d * rows;
      if (f >= 0x10000) {
        x += dir * (f >> 16);
        f &= 0xFFFF;
      }
    }
  } ea{x1a, 0, dxa < 0 ? -dxa : dxa, dxa < 0 ? -1 : 1}, eb{x1b, 0, dxb < 0 ? -dxb : dxb, dxb < 0 ? -1 : 1};
  if (y1 < 0) {
    ea.step(-y1);
    eb.step(-y1);
    y1 = 0;
  }
  if (y2 > s.h - 1) y2 = s.h - 1;

  auto rows = [&](auto&& spanFill) {
    for (i64 y = y1; y <= y2; ++y) {
      const i64 xa = std::max<i64>(ea.x, 0), xe = std::min<i64>(s.w, eb.x + 1);
      if (xa < xe) spanFill(s.bits + y * s.span, xa, xe);
      ea.step(1);
      eb.step(1);
    }
  };
  const int op = mode & LICE_COMBINE_OP_MASK;
  auto fast = [&](auto tag) {
    using F = typename decltype(tag)::type;
    const LICE_PackedPixel cp = F::prepare(color);
    rows([&](LICE_pixel* row, i64 x0, i64 x1) {
      for (i64 x = x0; x < x1; ++x) F::doPix(row + x, cp);
    });
  };
  auto general = [&](auto tag) {
    using C = typename decltype(tag)::type;
    const int r = LICE_PixelR(color), g = LICE_PixelG(color), b = LICE_PixelB(color), a = LICE_PixelA(color);
    rows([&](LICE_pixel* row, i64 x0, i64 x1) {
      for (i64 x = x0; x < x1; ++x) C::doPix((LICE_pixel_chan*)(row + x), r, g, b, a, w);
    });
  };
  // With one colour and one weight, the copy combiner's result for a channel
  // depends only on the destination byte: four 256-entry tables (built in
  // about a microsecond) replace the per-channel arithmetic on fills of more
  // than 4096 pixels; the results are the same.
  auto copySpans = [&]() {
    const int cs[4] = {LICE_PixelA(color), LICE_PixelR(color), LICE_PixelG(color), LICE_PixelB(color)};
    unsigned char lut[4][256];
    for (int k = 0; k < 4; ++k)
      for (int d = 0; d < 256; ++d) lut[k][d] = (unsigned char)_LICE_CombinePixelsCopyNoClamp::mix(d, cs[k], w);
    rows([&](LICE_pixel* row, i64 x0, i64 x1) {
      LICE_pixel_chan* p = (LICE_pixel_chan*)(row + x0);
      for (i64 i = 0, n = x1 - x0; i < n; ++i, p += 4) {
        p[LICE_PIXEL_A] = lut[0][p[LICE_PIXEL_A]];
        p[LICE_PIXEL_R] = lut[1][p[LICE_PIXEL_R]];
        p[LICE_PIXEL_G] = lut[2][p[LICE_PIXEL_G]];
        p[LICE_PIXEL_B] = lut[3][p[LICE_PIXEL_B]];
      }
    });
  };
  if (op == LICE_COMBINE_COPY) {
    if (w == 256)
      fast(LICE_CombinerTag<_LICE_CombinePixelsClobberFAST>{});
    else if (w == 128)
      fast(LICE_CombinerTag<_LICE_CombinePixelsHalfMix2FAST>{});
    else if (w == 64)
      fast(LICE_CombinerTag<_LICE_CombinePixelsQuarterMix2FAST>{});
    else if (w == 192)
      fast(LICE_CombinerTag<_LICE_CombinePixelsThreeQuarterMix2FAST>{});
    else if (w > 0 && w < 256 && (y2 - y1 + 1) * (std::max(x1b, x2b) - std::min(x1a, x2a) + 1) > 4096)
      copySpans();
    else if (w > 0)
      general(LICE_CombinerTag<_LICE_CombinePixelsCopyNoClamp>{});
  } else {
    LICE_WithOperationCombiner(op, w, general);
  }
}

struct Pt {
  i64 x, y;
};

// X of the segment a-b at row y, held at the end points outside it.
i64 edgeX(const Pt& a, const Pt& b, i64 y) {
  const Pt& top = a.y <= b.y ? a : b;
  const Pt& bot = a.y <= b.y ? b : a;
  if (y <= top.y) return top.x;
  if (y >= bot.y) return bot.x;
  return top.x + (i64)((float)(y - top.y) * ((float)(bot.x - top.x) / (float)(bot.y - top.y)));
}

// The next vertex of the left (smallest dx/dy) or right (largest) chain from i.
int nextVertex(const Pt* p, int n, int i, bool left) {
  int best = i;
  float bestSlope = 0.0f;
  for (int j = i + 1; j < n; ++j) {
    if (p[j].y == p[i].y) continue;
    const float slope = (float)(p[j].x - p[i].x) / (float)(p[j].y - p[i].y);
    if (best == i || (left ? slope <= bestSlope : slope >= bestSlope)) {
      best = j;
      bestSlope = slope;
    }
  }
  return best;
}

void polygon(const Surface& s, Pt* p, int n, LICE_pixel color, int w, int mode) {
  i64 minx = s.w, maxx = 0;
  for (int i = 0; i < n; ++i) {
    if (s.flipped) p[i].y = s.h - 1 - p[i].y;
    minx = std::min(minx, p[i].x);
    maxx = std::max(maxx, p[i].x);
  }
  std::sort(p, p + n, [](const Pt& a, const Pt& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
  if (p[0].y == p[n - 1].y) {
    if (p[0].y >= 0 && p[0].y < s.h && minx <= maxx)
      trapezoid(s, minx, maxx, p[0].y, minx, maxx, p[0].y, color, w, mode);
    return;
  }
  int left = 0, right = 0;
  for (int i = 0; i < n && p[i].y == p[0].y; ++i) {
    if (p[i].x == p[0].x) left = i;
    right = i;
  }
  int nl = nextVertex(p, n, left, true), nr = nextVertex(p, n, right, false);
  if (nl == left && nr == right) return;
  i64 y = p[0].y;
  // Every pass advances at least one chain, so 2n passes bound the loop.
  for (int guard = 0; guard < 2 * n + 2; ++guard) {
    const i64 bottom = std::min(p[nl].y, p[nr].y);
    trapezoid(s, edgeX(p[left], p[nl], y), edgeX(p[right], p[nr], y), y, edgeX(p[left], p[nl], bottom),
              edgeX(p[right], p[nr], bottom), bottom, color, w, mode);
    bool moved = false;
    if (nl != left && p[nl].y == bottom) {
      left = nl;
      nl = nextVertex(p, n, left, true);
      moved = true;
    }
    if (nr != right && p[nr].y == bottom) {
      right = nr;
      nr = nextVertex(p, n, right, false);
      moved = true;
    }
    if (!moved || (nl == left && nr == right)) break;
    y = bottom + 1;
  }
}

}  // namespace

void LICE_FillTrapezoid(LICE_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2,
                        LICE_pixel color, float alpha, int mode) {
  Surface s;
  if (!surfaceOf(dest, s)) return;
  const int w = LICE_AlphaToWeight(alpha);
  if (w == 0) return;
  i64 r1 = y1, r2 = y2;
  if (s.flipped) {
    r1 = s.h - 1 - r1;
    r2 = s.h - 1 - r2;
  }
  trapezoid(s, x1a, x1b, r1, x2a, x2b, r2, color, w, mode);
}

void LICE_FillConvexPolygon(LICE_IBitmap* dest, const int* x, const int* y, int npoints,
                            LICE_pixel color, float alpha, int mode) {
  if (!x || !y || npoints < 3) return;
  Surface s;
  if (!surfaceOf(dest, s)) return;
  const int w = LICE_AlphaToWeight(alpha);
  if (w == 0) return;
  Pt stackPts[512];
  std::vector<Pt> heapPts;
  Pt* p = stackPts;
  if (npoints > 512) {
    heapPts.resize((size_t)npoints);
    p = heapPts.data();
  }
  for (int i = 0; i < npoints; ++i) p[i] = Pt{x[i], y[i]};
  polygon(s, p, npoints, color, w, mode);
}

void LICE_FillTriangle(LICE_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3,
                       LICE_pixel color, float alpha, int mode) {
  const int x[3] = {x1, x2, x3}, y[3] = {y1, y2, y3};
  LICE_FillConvexPolygon(dest, x, y, 3, color, alpha, mode);
}

// ---------------------------------------------------------------------------
// Bezier fills

namespace {

// Samples the cubic (in the axes given: u along the fill direction's
// perpendicular, v toward the fill line) as the curve drawing does, and fills
// each advancing range of u toward vfill. put(u0, v0, u1, v1) fills one range.
template <class Fill>
void sampleCubic(double u0, double v0, double u1c, double v1c, double u2c, double v2c, double u3,
                 double v3, double limit, float tol, Fill&& fill) {
  if (u3 < u0) {
    std::swap(u0, u3);
    std::swap(v0, v3);
    std::swap(u1c, u2c);
    std::swap(v1c, v2c);
  }
  const double cu = 3.0 * (u1c - u0), bu = 3.0 * (u2c - u1c) - cu, au = u3 - u0 - cu - bu;
  const double cv = 3.0 * (v1c - v0), bv = 3.0 * (v2c - v1c) - cv, av = v3 - v0 - cv - bv;
  auto uAt = [&](double t) { return ((au * t + bu) * t + cu) * t + u0; };
  auto vAt = [&](double t) { return ((av * t + bv) * t + cv) * t + v0; };
  auto bisect = [&](double target) {
    double lo = 0.0, hi = 1.0;
    for (int i = 0; i < 40; ++i) {
      const double mid = 0.5 * (lo + hi);
      (uAt(mid) < target ? lo : hi) = mid;
    }
    return hi;
  };
  double t0 = 0.0, t1 = 1.0;
  if (u0 < 0.0) t0 = bisect(0.0);
  if (u3 > limit) t1 = bisect(limit);
  if (t0 > t1) return;
  auto dist = [](double a, double b, double c, double d) { return std::sqrt((c - a) * (c - a) + (d - b) * (d - b)); };
  const double len = dist(u0, v0, u1c, v1c) + dist(u1c, v1c, u2c, v2c) + dist(u2c, v2c, u3, v3);
  const double tl = tol > 0.0f ? (double)tol : 1.0;
  const double segs = len * (t1 - t0) / tl;
  const int n = segs >= 65536.0 ? 65536 : (segs < 1.0 ? 1 : (int)segs);
  i64 pu = (i64)uAt(t0), pv = (i64)(vAt(t0) + 0.5);
  bool first = true;
  for (int i = 1; i <= n; ++i) {
    const double t = i == n ? t1 : t0 + (t1 - t0) * i / n;
    const i64 iu = (i64)uAt(t), iv = (i64)(vAt(t) + 0.5);
    if (iu <= pu) continue;
    // Ranges after the first start one past the previous one, so no column
    // is filled twice.
    fill(first ? pu : pu + 1, pv, iu, iv);
    first = false;
    pu = iu;
    pv = iv;
  }
  if (first) fill(pu, pv, pu, pv);
}

// Fills one range [u0, u1] between the curve (v0 .. v1) and vfill; emit
// receives polygons in (u, v) and does the axis mapping.
template <class Emit>
void fillRange(i64 u0, i64 v0, i64 u1, i64 v1, i64 vfill, Emit&& emit) {
  if (u0 == u1) {
    const i64 u[2] = {u0, u0}, v[2] = {v1, vfill};
    emit(u, v, 2);
    return;
  }
  if ((v0 - vfill) * (v1 - vfill) >= 0) {
    const i64 u[4] = {u0, u1, u1, u0}, v[4] = {v0, v1, vfill, vfill};
    emit(u, v, 4);
    return;
  }
  const i64 uc = u0 + (i64)((double)(u1 - u0) * (double)(vfill - v0) / (double)(v1 - v0));
  const i64 ua[3] = {u0, uc, u0}, va[3] = {v0, vfill, vfill};
  emit(ua, va, 3);
  if (uc < u1) {
    const i64 ub[3] = {uc + 1, u1, u1}, vb[3] = {vfill, v1, vfill};
    emit(ub, vb, 3);
  }
}

bool bezierUsable(std::initializer_list<float> v) {
  for (float f : v)
    if (!usable(f)) return false;
  return true;
}

}  // namespace

void LICE_FillCBezier(LICE_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                      float xctl2, float yctl2, float xend, float yend, int yfill,
                      LICE_pixel color, float alpha, int mode, float tol) {
  if (!dest || !dest->getBits() || dest->getWidth() < 1) return;
  if (!bezierUsable({xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend})) return;
  auto emit = [&](const i64* u, const i64* v, int n) {
    int xs[4], ys[4];
    for (int i = 0; i < n; ++i) {
      xs[i] = lice_detail::clampToInt(u[i]);
      ys[i] = lice_detail::clampToInt(v[i]);
    }
    if (n == 2)
      LICE_Line(dest, xs[0], ys[0], xs[1], ys[1], color, alpha, mode, false);
    else
      LICE_FillConvexPolygon(dest, xs, ys, n, color, alpha, mode);
  };
  sampleCubic(xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, dest->getWidth(), tol,
              [&](i64 u0, i64 v0, i64 u1, i64 v1) { fillRange(u0, v0, u1, v1, yfill, emit); });
}

void LICE_FillCBezierX(LICE_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                       float xctl2, float yctl2, float xend, float yend, int xfill,
                       LICE_pixel color, float alpha, int mode, float tol) {
  if (!dest || !dest->getBits() || dest->getHeight() < 1) return;
  if (!bezierUsable({xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend})) return;
  auto emit = [&](const i64* u, const i64* v, int n) {
    int xs[4], ys[4];
    for (int i = 0; i < n; ++i) {
      xs[i] = lice_detail::clampToInt(v[i]);
      ys[i] = lice_detail::clampToInt(u[i]);
    }
    if (n == 2)
      LICE_Line(dest, xs[0], ys[0], xs[1], ys[1], color, alpha, mode, false);
    else
      LICE_FillConvexPolygon(dest, xs, ys, n, color, alpha, mode);
  };
  sampleCubic(ystart, xstart, yctl1, xctl1, yctl2, xctl2, yend, xend, dest->getHeight(), tol,
              [&](i64 u0, i64 v0, i64 u1, i64 v1) { fillRange(u0, v0, u1, v1, xfill, emit); });
}
