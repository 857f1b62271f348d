#include "raster/lice_line.h"

#include <cmath>
#include <initializer_list>
#include <utility>

#include "raster/lice_combine.h"
#include "raster/lice_numeric.h"

// Lines work in storage rows: a flipped bitmap has its y coordinates mirrored
// before clipping, after which row y is simply bits + y * span. Clipping puts
// both ends inside the bitmap; the pixel writer still checks every position,
// because the anti-aliased neighbour of an edge pixel can lie one step out.

namespace {

using lice_detail::clampToInt;
using lice_detail::i64;
using lice_detail::satI64;
using lice_detail::satInt;

template <class C>
using Tag = LICE_CombinerTag<C>;

/// Storage view of a destination bitmap.
struct Target {
  LICE_pixel* bits;
  intptr_t span;
  int w, h;
};

bool makeTarget(LICE_IBitmap* dest, Target& t) {
  if (!dest || !dest->getBits() || dest->getRowSpan() <= 0 || dest->getWidth() < 1 ||
      dest->getHeight() < 1)
    return false;
  t.bits = dest->getBits();
  t.span = dest->getRowSpan();
  t.w = dest->getWidth();
  t.h = dest->getHeight();
  return true;
}

/// The colour split into channels for the per-channel combiners.
struct Colour {
  int r, g, b, a;
  LICE_pixel packed;
};

Colour splitColour(LICE_pixel c) {
  return Colour{LICE_PixelR(c), LICE_PixelG(c), LICE_PixelB(c), LICE_PixelA(c), c};
}

/// Combines the colour into (x, y) with weight w when (x, y) is inside.
template <class C>
inline void plot(const Target& t, i64 x, i64 y, const Colour& c, int w) {
  if ((unsigned long long)x < (unsigned long long)t.w &&
      (unsigned long long)y < (unsigned long long)t.h)
    C::doPix((LICE_pixel_chan*)(t.bits + y * t.span + x), c.r, c.g, c.b, c.a, w);
}

/// Anti-aliasing pixel: a zero coverage leaves the pixel alone.
template <class C>
inline void plotCover(const Target& t, i64 x, i64 y, const Colour& c, int w) {
  if (w != 0) plot<C>(t, x, y, c, w);
}

template <class F>
inline void plotFast(const Target& t, i64 x, i64 y, LICE_pixel prepared) {
  if ((unsigned long long)x < (unsigned long long)t.w &&
      (unsigned long long)y < (unsigned long long)t.h)
    F::doPix(t.bits + y * t.span + x, prepared);
}

/// Copy chooses by weight (half mix at 128, store at 256, the copy formula
/// for other positive weights, nothing below 1); operations 1-5 their own.
template <class Fn>
bool withLineCombiner(int mode, int w, Fn&& f) {
  if ((mode & LICE_COMBINE_OP_MASK) == LICE_COMBINE_COPY) {
    if (w == 128)
      f(Tag<_LICE_CombinePixelsHalfMixNoClamp>{});
    else if (w == 256)
      f(Tag<_LICE_CombinePixelsClobberNoClamp>{});
    else if (w > 0)
      f(Tag<_LICE_CombinePixelsCopyNoClamp>{});
    else
      return false;
    return true;
  }
  return LICE_WithOperationCombiner(mode, w, f);
}

/// Anti-aliased lines blend every pixel with the copy formula in copy mode.
template <class Fn>
bool withAACombiner(int mode, int w, Fn&& f) {
  if ((mode & LICE_COMBINE_OP_MASK) == LICE_COMBINE_COPY) {
    if (w <= 0) return false;
    f(Tag<_LICE_CombinePixelsCopyNoClamp>{});
    return true;
  }
  return LICE_WithOperationCombiner(mode, w, f);
}

// ---------------------------------------------------------------------------
// Clipping

enum { kLeft = 1, kRight = 2, kTop = 4, kBottom = 8 };

inline int outcode(i64 x, i64 y, i64 w, i64 h) {
  int c = 0;
  if (x < 0) c |= kLeft;
  if (x >= w) c |= kRight;
  if (y < 0) c |= kTop;
  if (y >= h) c |= kBottom;
  return c;
}

/// Cohen-Sutherland against 0 <= x < w, 0 <= y < h. Crossings are computed at
/// the outer edge (y = h, x = w) and the point is placed on the last row or
/// column. An iteration cap guards against truncation ping-pong.
bool clipInt(i64& x1, i64& y1, i64& x2, i64& y2, i64 w, i64 h) {
  int c1 = outcode(x1, y1, w, h), c2 = outcode(x2, y2, w, h);
  for (int guard = 0; (c1 | c2) != 0; ++guard) {
    if ((c1 & c2) != 0 || guard > 16) return false;
    const bool first = c1 != 0;
    const int c = first ? c1 : c2;
    const double dx = (double)(x2 - x1), dy = (double)(y2 - y1);
    i64 x, y;
    if (c & kBottom) {
      y = h - 1;
      x = x1 + satI64((double)(h - y1) * dx / dy);
    } else if (c & kTop) {
      y = 0;
      x = x1 + satI64((double)(0 - y1) * dx / dy);
    } else if (c & kRight) {
      x = w - 1;
      y = y1 + satI64(dy * (double)(w - x1) / dx);
    } else {
      x = 0;
      y = y1 + satI64(dy * (double)(0 - x1) / dx);
    }
    if (first) {
      x1 = x;
      y1 = y;
      c1 = outcode(x1, y1, w, h);
    } else {
      x2 = x;
      y2 = y;
      c2 = outcode(x2, y2, w, h);
    }
  }
  return true;
}

inline int foutcode(float x, float y, float w, float h) {
  int c = 0;
  if (x < 0.0f) c |= kLeft;
  if (x >= w - 1.0f) c |= kRight;
  if (y < 0.0f) c |= kTop;
  if (y >= h - 1.0f) c |= kBottom;
  return c;
}

/// Float Cohen-Sutherland against 0 <= x < w - 1, 0 <= y < h - 1: crossings
/// at y = h - 1 / x = w - 1, points placed one further in.
bool clipFloat(float& x1, float& y1, float& x2, float& y2, float w, float h) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
    return false;
  int c1 = foutcode(x1, y1, w, h), c2 = foutcode(x2, y2, w, h);
  for (int guard = 0; (c1 | c2) != 0; ++guard) {
    if ((c1 & c2) != 0 || guard > 16) return false;
    const bool first = c1 != 0;
    const int c = first ? c1 : c2;
    float x, y;
    if (c & kBottom) {
      y = h - 2.0f;
      x = x1 + (h - 1.0f - y1) * (x2 - x1) / (y2 - y1);
    } else if (c & kTop) {
      y = 0.0f;
      x = x1 + (0.0f - y1) * (x2 - x1) / (y2 - y1);
    } else if (c & kRight) {
      x = w - 2.0f;
      y = y1 + (y2 - y1) * (w - 1.0f - x1) / (x2 - x1);
    } else {
      x = 0.0f;
      y = y1 + (y2 - y1) * (0.0f - x1) / (x2 - x1);
    }
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    if (first) {
      x1 = x;
      y1 = y;
      c1 = foutcode(x1, y1, w, h);
    } else {
      x2 = x;
      y2 = y;
      c2 = foutcode(x2, y2, w, h);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Integer line pieces

/// count pixels from p, step apart, with a packed combiner.
template <class F>
void runFast(LICE_pixel* p, intptr_t step, int count, LICE_pixel colour) {
  const LICE_pixel cp = F::prepare(colour);
  for (int i = 0; i < count; ++i, p += step) F::doPix(p, cp);
}

template <class C>
void runComb(LICE_pixel* p, intptr_t step, int count, const Colour& c, int w) {
  for (int i = 0; i < count; ++i, p += step)
    C::doPix((LICE_pixel_chan*)p, c.r, c.g, c.b, c.a, w);
}

/// Straight run (horizontal or vertical) of count pixels from p.
void straightRun(LICE_pixel* p, intptr_t step, int count, LICE_pixel colour, float alpha,
                 int mode) {
  if ((mode & LICE_COMBINE_OP_MASK) == LICE_COMBINE_COPY) {
    if (alpha == 1.0f) return runFast<_LICE_CombinePixelsClobberFAST>(p, step, count, colour);
    if (alpha == 0.5f) return runFast<_LICE_CombinePixelsHalfMix2FAST>(p, step, count, colour);
    if (alpha == 0.25f) return runFast<_LICE_CombinePixelsQuarterMix2FAST>(p, step, count, colour);
    if (alpha == 0.75f)
      return runFast<_LICE_CombinePixelsThreeQuarterMix2FAST>(p, step, count, colour);
  }
  const int w = LICE_AlphaToWeight(alpha);
  const Colour c = splitColour(colour);
  withLineCombiner(mode, w, [&](auto tag) {
    using C = typename decltype(tag)::type;
    runComb<C>(p, step, count, c, w);
  });
}

/// Exact diagonal of n + 1 pixels from (x, y) stepping (sx, sy).
void diagonal(const Target& t, i64 x, i64 y, int sx, int sy, int n, LICE_pixel colour, float alpha,
              int mode, bool aa) {
  const bool copy = (mode & LICE_COMBINE_OP_MASK) == LICE_COMBINE_COPY;
  const Colour c = splitColour(colour);
  if (!aa) {
    if (copy && alpha == 1.0f) {
      for (int i = 0; i <= n; ++i)
        plotFast<_LICE_CombinePixelsClobberFAST>(t, x + (i64)i * sx, y + (i64)i * sy, colour);
      return;
    }
    const int w = LICE_AlphaToWeight(alpha);
    withLineCombiner(mode, w, [&](auto tag) {
      using C = typename decltype(tag)::type;
      for (int i = 0; i <= n; ++i) plot<C>(t, x + (i64)i * sx, y + (i64)i * sy, c, w);
    });
    return;
  }
  // Anti-aliased: three quarters on the diagonal, a quarter on the two
  // pixels the ideal line passes between toward the second end.
  if (copy && alpha == 1.0f) {
    const LICE_pixel c34 = _LICE_CombinePixelsThreeQuarterMix2FAST::prepare(colour);
    const LICE_pixel c14 = _LICE_CombinePixelsQuarterMix2FAST::prepare(colour);
    for (int i = 0; i <= n; ++i) {
      const i64 px = x + (i64)i * sx, py = y + (i64)i * sy;
      plotFast<_LICE_CombinePixelsThreeQuarterMix2FAST>(t, px, py, c34);
      if (i < n) {
        plotFast<_LICE_CombinePixelsQuarterMix2FAST>(t, px + sx, py, c14);
        plotFast<_LICE_CombinePixelsQuarterMix2FAST>(t, px, py + sy, c14);
      }
    }
    return;
  }
  const int w = LICE_AlphaToWeight(alpha);
  const int w34 = w * 3 / 4, w14 = w / 4;
  withAACombiner(mode, w, [&](auto tag) {
    using C = typename decltype(tag)::type;
    for (int i = 0; i <= n; ++i) {
      const i64 px = x + (i64)i * sx, py = y + (i64)i * sy;
      plotCover<C>(t, px, py, c, w34);
      if (i < n) {
        plotCover<C>(t, px + sx, py, c, w14);
        plotCover<C>(t, px, py + sy, c, w14);
      }
    }
  });
}

/// General slope, drawn from both ends toward the middle. (fx, fy) is the end
/// with the smaller major coordinate, (bx, by) the other; (mjx, mjy) the major
/// step, (mnx, mny) the minor step (sign included).
template <class C>
void slopeWalk(const Target& t, i64 fx, i64 fy, i64 bx, i64 by, int mjx, int mjy, int mnx, int mny,
               int n, int derr, const Colour& c, int w, bool aa) {
  const int passes = (n + 1) / 2;
  if (!aa) {
    int err = 0;
    for (int i = 0; i < passes; ++i) {
      plot<C>(t, fx, fy, c, w);
      plot<C>(t, bx, by, c, w);
      err += derr;
      fx += mjx;
      fy += mjy;
      bx -= mjx;
      by -= mjy;
      if (err >= 0x8000) {
        fx += mnx;
        fy += mny;
        bx -= mnx;
        by -= mny;
        err -= 0x10000;
      }
    }
    if ((n & 1) == 0) plot<C>(t, fx, fy, c, w);
    return;
  }
  auto cover = [w](int v) { return w == 256 ? v : (v * w) >> 8; };
  plot<C>(t, fx, fy, c, w);
  plot<C>(t, bx, by, c, w);
  int err = derr;
  fx += mjx;
  fy += mjy;
  bx -= mjx;
  by -= mjy;
  for (int i = 1; i < passes; ++i) {
    const int frac = (err >> 8) & 0xFF;
    const int wNear = cover(255 - frac), wFar = cover(frac);
    plotCover<C>(t, fx, fy, c, wNear);
    plotCover<C>(t, fx + mnx, fy + mny, c, wFar);
    plotCover<C>(t, bx, by, c, wNear);
    plotCover<C>(t, bx - mnx, by - mny, c, wFar);
    err += derr;
    if (err >= 0x10000) {
      fx += mnx;
      fy += mny;
      bx -= mnx;
      by -= mny;
      err -= 0x10000;
    }
    fx += mjx;
    fy += mjy;
    bx -= mjx;
    by -= mjy;
  }
  if ((n & 1) == 0) {
    const int frac = (err >> 8) & 0xFF;
    plotCover<C>(t, fx, fy, c, cover(255 - frac));
    plotCover<C>(t, fx + mnx, fy + mny, c, cover(frac));
  }
}

}  // namespace

bool LICE_ClipLine(int* x1, int* y1, int* x2, int* y2, int xlo, int ylo, int xhi, int yhi) {
  if (!x1 || !y1 || !x2 || !y2) return false;
  i64 a = (i64)*x1 - xlo, b = (i64)*y1 - ylo, c = (i64)*x2 - xlo, d = (i64)*y2 - ylo;
  const bool in = clipInt(a, b, c, d, (i64)xhi - xlo, (i64)yhi - ylo);
  auto back = [](i64 v, int lo) { return clampToInt(v + lo); };
  *x1 = back(a, xlo);
  *y1 = back(b, ylo);
  *x2 = back(c, xlo);
  *y2 = back(d, ylo);
  return in;
}

bool LICE_ClipFLine(float* x1, float* y1, float* x2, float* y2, float xlo, float ylo, float xhi,
                    float yhi) {
  if (!x1 || !y1 || !x2 || !y2) return false;
  float a = *x1 - xlo, b = *y1 - ylo, c = *x2 - xlo, d = *y2 - ylo;
  const bool in = clipFloat(a, b, c, d, xhi - xlo, yhi - ylo);
  *x1 = a + xlo;
  *y1 = b + ylo;
  *x2 = c + xlo;
  *y2 = d + ylo;
  return in;
}

void LICE_Line(LICE_IBitmap* dest, int x1_, int y1_, int x2_, int y2_, LICE_pixel color,
               float alpha, int mode, bool aa) {
  Target t;
  if (!makeTarget(dest, t)) return;
  if ((mode & LICE_COMBINE_OP_MASK) > LICE_COMBINE_HSV_ADJUST) return;
  i64 x1 = x1_, y1 = y1_, x2 = x2_, y2 = y2_;
  if (dest->isFlipped()) {
    y1 = t.h - 1 - y1;
    y2 = t.h - 1 - y2;
  }
  if (!clipInt(x1, y1, x2, y2, t.w, t.h)) return;

  if (y1 == y2) {
    if (x1 > x2) std::swap(x1, x2);
    straightRun(t.bits + y1 * t.span + x1, 1, (int)(x2 - x1 + 1), color, alpha, mode);
    return;
  }
  if (x1 == x2) {
    if (y1 > y2) std::swap(y1, y2);
    straightRun(t.bits + y1 * t.span + x1, t.span, (int)(y2 - y1 + 1), color, alpha, mode);
    return;
  }
  const i64 dx = x2 - x1, dy = y2 - y1;
  const i64 adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (adx == ady) {
    diagonal(t, x1, y1, dx < 0 ? -1 : 1, dy < 0 ? -1 : 1, (int)adx, color, alpha, mode, aa);
    return;
  }

  // General slope. Start at the end with the smaller major coordinate.
  const bool xMajor = adx > ady;
  if ((xMajor && x1 > x2) || (!xMajor && y1 > y2)) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const i64 major = xMajor ? x2 - x1 : y2 - y1;
  const i64 minor = xMajor ? y2 - y1 : x2 - x1;
  const int derr = (int)((double)(minor < 0 ? -minor : minor) / (double)major * 65536.0);
  const int mjx = xMajor ? 1 : 0, mjy = xMajor ? 0 : 1;
  const int sgn = minor < 0 ? -1 : 1;
  const int mnx = xMajor ? 0 : sgn, mny = xMajor ? sgn : 0;
  const int n = (int)major;
  const int w = LICE_AlphaToWeight(alpha);
  const Colour c = splitColour(color);
  auto run = [&](auto tag) {
    using C = typename decltype(tag)::type;
    slopeWalk<C>(t, x1, y1, x2, y2, mjx, mjy, mnx, mny, n, derr, c, w, aa);
  };
  if (aa)
    withAACombiner(mode, w, run);
  else
    withLineCombiner(mode, w, run);
}

void LICE_FLine(LICE_IBitmap* dest, float x1, float y1, float x2, float y2, LICE_pixel color,
                float alpha, int mode, bool aa) {
  if (!aa) {
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
      return;
    LICE_Line(dest, satInt(x1), satInt(y1), satInt(x2), satInt(y2), color, alpha, mode, false);
    return;
  }
  Target t;
  if (!makeTarget(dest, t)) return;
  const int w = LICE_AlphaToWeight(alpha);
  if (dest->isFlipped()) {
    y1 = (float)(t.h - 1) - y1;
    y2 = (float)(t.h - 1) - y2;
  }
  if (!clipFloat(x1, y1, x2, y2, (float)t.w, (float)t.h)) return;
  if (x1 == x2 && y1 == y2) return;

  const bool xMajor = std::fabs(x2 - x1) > std::fabs(y2 - y1);
  float a0 = xMajor ? x1 : y1, a1 = xMajor ? x2 : y2;  // major coordinates
  float b0 = xMajor ? y1 : x1, b1 = xMajor ? y2 : x2;  // minor coordinates
  if (a0 > a1) {
    std::swap(a0, a1);
    std::swap(b0, b1);
  }
  const float slope = (b1 - b0) / (a1 - a0);
  const float first = std::ceil(a0);
  const int n = (int)(std::floor(a1) - first);
  if (n < 0) return;
  const float m = (first - a0) * slope + b0;
  int frac16 = (int)((m - std::floor(m)) * 65536.0f);
  if (frac16 > 0xFFFF) frac16 = 0xFFFF;  // m just below an integer can round up
  int err;
  i64 minorPos;
  int minorStep;
  if (slope >= 0.0f) {
    err = frac16;
    minorPos = (i64)m;
    minorStep = 1;
  } else {
    err = 0xFFFF - frac16;
    minorPos = (i64)m + 1;
    minorStep = -1;
  }
  const int derr = (int)(std::fabs(slope) * 65536.0f);
  i64 majorPos = (i64)first;
  const Colour c = splitColour(color);
  withAACombiner(mode, w, [&](auto tag) {
    using C = typename decltype(tag)::type;
    auto cover = [w](int v) { return w == 256 ? v : (v * w) >> 8; };
    i64 mp = minorPos, jp = majorPos;
    int e = err;
    for (int i = 0; i <= n; ++i) {
      const int frac = (e >> 8) & 0xFF;
      const int wNear = cover(255 - frac), wFar = cover(frac);
      if (xMajor) {
        plotCover<C>(t, jp, mp, c, wNear);
        plotCover<C>(t, jp, mp + minorStep, c, wFar);
      } else {
        plotCover<C>(t, mp, jp, c, wNear);
        plotCover<C>(t, mp + minorStep, jp, c, wFar);
      }
      e += derr;
      if (e >= 0x10000) {
        mp += minorStep;
        e -= 0x10000;
      }
      ++jp;
    }
  });
}

void LICE_DashedLine(LICE_IBitmap* dest, int x1_, int y1_, int x2_, int y2_, int pxon, int pxoff,
                     LICE_pixel color, float alpha, int mode, bool aa) {
  (void)aa;
  Target t;
  if (!makeTarget(dest, t)) return;
  if (x1_ != x2_ && y1_ != y2_) return;  // only horizontal and vertical lines
  if (pxon < 1) return;
  if (pxoff < 0) pxoff = 0;
  if ((mode & LICE_COMBINE_OP_MASK) > LICE_COMBINE_HSV_ADJUST) return;
  // The pattern runs in visual order, from the visual top or left, so the
  // ends are ordered before a flipped bitmap's rows are mirrored: the visual
  // end point stays undrawn and a downward walk steps back through storage.
  i64 x1 = x1_, y1 = y1_, x2 = x2_, y2 = y2_;
  if (!clipInt(x1, y1, x2, y2, t.w, t.h)) return;
  if (y1 > y2) std::swap(y1, y2);
  if (x1 > x2) std::swap(x1, x2);
  const bool flipped = dest->isFlipped();
  LICE_pixel* first = t.bits + (flipped ? t.h - 1 - y1 : y1) * t.span + x1;
  const intptr_t down = flipped ? -t.span : t.span;
  const bool vertical = x1 == x2;
  const bool copy = (mode & LICE_COMBINE_OP_MASK) == LICE_COMBINE_COPY;
  if (pxon == 1 && pxoff == 1 && vertical && copy && alpha == 1.0f) {
    LICE_pixel* p = first;
    for (i64 i = 0, cnt = (y2 - y1 + 1) / 2; y2 > y1 && i < cnt; ++i, p += 2 * down) *p = color;
    return;
  }
  const int w = LICE_AlphaToWeight(alpha);
  const Colour c = splitColour(color);
  const i64 start = vertical ? y1 : x1, end = vertical ? y2 : x2;
  const intptr_t step = vertical ? down : 1;
  withLineCombiner(mode, w, [&](auto tag) {
    using C = typename decltype(tag)::type;
    i64 pos = start;
    for (; pos < end - pxon; pos += (i64)pxon + pxoff)
      runComb<C>(first + (pos - start) * step, step, pxon, c, w);
    const i64 tail = end - pos < pxon ? end - pos : pxon;
    if (tail > 0) runComb<C>(first + (pos - start) * step, step, (int)tail, c, w);
  });
}

namespace {

/// Parameter in [lo, hi] where x(t) crosses `limit`, by bisection; x(lo) is on
/// the `below` side of the limit.
template <class X>
double bisect(X&& xAt, double lo, double hi, double limit, bool lowBelow) {
  for (int i = 0; i < 40; ++i) {
    const double mid = 0.5 * (lo + hi);
    const bool below = xAt(mid) < limit;
    if (below == lowBelow)
      lo = mid;
    else
      hi = mid;
  }
  return lowBelow ? hi : lo;
}

/// Draws points(t) for t in the x-visible part of [0, 1] as LICE_FLine
/// segments; polyLen is the control-polygon length.
template <class P>
void drawCurve(LICE_IBitmap* dest, P&& point, double polyLen, bool cutRight, double rightLimit,
               LICE_pixel color, float alpha, int mode, bool aa, float tol) {
  double x0, y0, x1, y1;
  point(0.0, x0, y0);
  point(1.0, x1, y1);
  auto xAt = [&](double tt) {
    double x, y;
    point(tt, x, y);
    return x;
  };
  double t0 = 0.0, t1 = 1.0;
  if (x0 < 0.0) t0 = bisect(xAt, 0.0, 1.0, 0.0, true);
  if (cutRight) t1 = bisect(xAt, 0.0, 1.0, rightLimit, true);
  if (t0 > t1) return;
  const double tl = tol > 0.0f ? (double)tol : 1.0;
  // Enough segments to follow the curve, but never an unbounded number:
  // a curve of absurd size still finishes quickly.
  const double segs = polyLen * (t1 - t0) / tl;
  const int n = segs >= 65536.0 ? 65536 : (segs < 1.0 ? 1 : (int)segs);
  double px, py;
  point(t0, px, py);
  for (int i = 1; i <= n; ++i) {
    const double tt = i == n ? t1 : t0 + (t1 - t0) * i / n;
    double qx, qy;
    point(tt, qx, qy);
    LICE_FLine(dest, (float)px, (float)py, (float)qx, (float)qy, color, alpha, mode, aa);
    px = qx;
    py = qy;
  }
}

inline double dist(double ax, double ay, double bx, double by) {
  return std::sqrt((bx - ax) * (bx - ax) + (by - ay) * (by - ay));
}

bool allFinite(std::initializer_list<float> v) {
  for (float f : v)
    if (!std::isfinite(f)) return false;
  return true;
}

}  // namespace

void LICE_DrawQBezier(LICE_IBitmap* dest, float xstart, float ystart, float xctl, float yctl,
                      float xend, float yend, LICE_pixel color, float alpha, int mode, bool aa,
                      float tol) {
  if (!dest || !dest->getBits() || dest->getWidth() < 1) return;
  if (!allFinite({xstart, ystart, xctl, yctl, xend, yend})) return;
  if (xend < xstart) {
    std::swap(xstart, xend);
    std::swap(ystart, yend);
  }
  const double X0 = xstart, Y0 = ystart, X1 = xctl, Y1 = yctl, X2 = xend, Y2 = yend;
  auto point = [&](double t, double& x, double& y) {
    const double u = 1.0 - t;
    x = u * u * X0 + 2.0 * t * u * X1 + t * t * X2;
    y = u * u * Y0 + 2.0 * t * u * Y1 + t * t * Y2;
  };
  const double len = dist(X0, Y0, X1, Y1) + dist(X1, Y1, X2, Y2);
  const double wdt = dest->getWidth();
  // The quadratic stops at the last column: it is cut where x reaches w - 1.
  drawCurve(dest, point, len, X2 >= wdt, wdt - 1.0, color, alpha, mode, aa, tol);
}

void LICE_DrawCBezier(LICE_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1,
                      float xctl2, float yctl2, float xend, float yend, LICE_pixel color,
                      float alpha, int mode, bool aa, float tol) {
  if (!dest || !dest->getBits() || dest->getWidth() < 1) return;
  if (!allFinite({xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend})) return;
  if (xend < xstart) {
    std::swap(xstart, xend);
    std::swap(ystart, yend);
    std::swap(xctl1, xctl2);
    std::swap(yctl1, yctl2);
  }
  const double x0 = xstart, y0 = ystart;
  const double cx = 3.0 * ((double)xctl1 - x0), bx = 3.0 * ((double)xctl2 - xctl1) - cx,
               ax = (double)xend - x0 - cx - bx;
  const double cy = 3.0 * ((double)yctl1 - y0), by = 3.0 * ((double)yctl2 - yctl1) - cy,
               ay = (double)yend - y0 - cy - by;
  auto point = [&](double t, double& x, double& y) {
    x = ((ax * t + bx) * t + cx) * t + x0;
    y = ((ay * t + by) * t + cy) * t + y0;
  };
  const double len = dist(x0, y0, xctl1, yctl1) + dist(xctl1, yctl1, xctl2, yctl2) +
                     dist(xctl2, yctl2, xend, yend);
  const double wdt = dest->getWidth();
  drawCurve(dest, point, len, (double)xend > wdt, wdt, color, alpha, mode, aa, tol);
}
