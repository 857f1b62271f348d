#include "raster/lice_blit.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define LICE_HAVE_AVX2_PATH 1
#endif

#include "raster/lice_combine.h"
#include "raster/lice_numeric.h"

// Design notes shared by everything in this file.
//
// Rows: every loop walks visual rows with a signed row step (minus the row
// span for a flipped bitmap), starting from LICE_RowPtr of the first visual
// row, so no loop body knows about flipping.
//
// Integer safety: callers may pass any int or float. Rectangle arithmetic is
// done in 64 bits and only narrowed once the result lies inside a bitmap;
// float-to-int conversions saturate (a plain cast of an out-of-range float is
// undefined). Fixed-point source positions are 64-bit; the per-pixel walks of
// the rotated and delta blits add with wrap-around (unsigned arithmetic) so a
// hostile step can produce a wrong position but never undefined behaviour,
// and every sample is bounds-checked before it is read.

namespace {

using lice_detail::clampToInt;
using lice_detail::i64;
using lice_detail::satI64;
using lice_detail::satInt;

template <class C>
using Tag = LICE_CombinerTag<C>;

/// 16.16 fixed point from a value in pixels, truncated toward zero.
inline i64 toFixed(double v) { return satI64(v * 65536.0); }

/// a + b with two's-complement wrap-around instead of overflow.
inline i64 wrapAdd(i64 a, i64 b) { return (i64)((unsigned long long)a + (unsigned long long)b); }

/// Usable bitmap: non-null with bits, a row span and a positive size.
inline bool usable(LICE_IBitmap* bm) {
  return bm && bm->getBits() && bm->getRowSpan() > 0 && bm->getWidth() > 0 && bm->getHeight() > 0;
}

/// Signed distance between visual rows y and y + 1.
inline intptr_t rowStep(const LICE_IBitmap* bm) {
  return bm->isFlipped() ? -(intptr_t)bm->getRowSpan() : (intptr_t)bm->getRowSpan();
}

/// Pointer to visual pixel (x, y); the caller has bounds-checked.
inline LICE_pixel* pixelAt(const LICE_IBitmap* bm, int x, int y) {
  return LICE_RowPtr(bm, bm->getBits(), y) + x;
}

template <class C>
inline void combinePixel(LICE_pixel* d, LICE_pixel s, int w) {
  C::doPix((LICE_pixel_chan*)d, LICE_PixelR(s), LICE_PixelG(s), LICE_PixelB(s), LICE_PixelA(s), w);
}

/// A destination rectangle cut to a bitmap: first pixel, row step, size.
struct ClippedRect {
  LICE_pixel* first;
  intptr_t step;
  int x, y, w, h;
};

/// The common rectangle clip of the fill functions: a negative x or y eats
/// into the size, the rest is cut at the bitmap's edges. False when nothing
/// remains.
bool clipRect(LICE_IBitmap* dest, int x, int y, int w, int h, ClippedRect& out) {
  if (!usable(dest)) return false;
  i64 x0 = x, y0 = y, w0 = w, h0 = h;
  if (x0 < 0) {
    w0 += x0;
    x0 = 0;
  }
  if (y0 < 0) {
    h0 += y0;
    y0 = 0;
  }
  const i64 dw = dest->getWidth(), dh = dest->getHeight();
  if (w0 <= 0 || h0 <= 0 || x0 >= dw || y0 >= dh) return false;
  if (w0 > dw - x0) w0 = dw - x0;
  if (h0 > dh - y0) h0 = dh - y0;
  out.x = (int)x0;
  out.y = (int)y0;
  out.w = (int)w0;
  out.h = (int)h0;
  out.step = rowStep(dest);
  out.first = pixelAt(dest, out.x, out.y);
  return true;
}

/// A source rectangle and destination point clipped for a straight copy:
/// first source and destination pixels, row steps and the common size.
struct ClippedBlit {
  LICE_pixel* d;
  LICE_pixel* s;
  intptr_t dstep, sstep;
  int cols, rows;
};

/// The clip of LICE_Blit: the source rectangle is cut to the source (a
/// negative left or top moves the destination point instead), then a
/// negative destination point eats into the source, then the size is cut to
/// the destination. False when nothing remains or a bitmap has no pixels.
bool clipBlit(LICE_IBitmap* dest, LICE_IBitmap* src, i64 dx, i64 dy, i64 left, i64 top, i64 right,
              i64 bottom, ClippedBlit& out) {
  const i64 sw = src->getWidth(), sh = src->getHeight();
  if (right > sw) right = sw;
  if (bottom > sh) bottom = sh;
  if (left < 0) {
    dx -= left;
    left = 0;
  }
  if (top < 0) {
    dy -= top;
    top = 0;
  }
  if (dx < 0) {
    left -= dx;
    dx = 0;
  }
  if (dy < 0) {
    top -= dy;
    dy = 0;
  }
  const i64 dw = dest->getWidth(), dh = dest->getHeight();
  if (left >= right || top >= bottom || dx >= dw || dy >= dh) return false;
  if (!usable(dest) || !usable(src)) return false;
  out.cols = (int)((right < left + dw - dx ? right : left + dw - dx) - left);
  out.rows = (int)((bottom < top + dh - dy ? bottom : top + dh - dy) - top);
  if (out.cols < 1 || out.rows < 1) return false;
  out.d = pixelAt(dest, (int)dx, (int)dy);
  out.s = pixelAt(src, (int)left, (int)top);
  out.dstep = rowStep(dest);
  out.sstep = rowStep(src);
  return true;
}

// ---------------------------------------------------------------------------
// Straight blit

template <class C>
void blitRows(LICE_pixel* d, intptr_t dstep, const LICE_pixel* s, intptr_t sstep, int cols,
              int rows, int w) {
  for (int j = 0; j < rows; ++j, d += dstep, s += sstep)
    for (int i = 0; i < cols; ++i) combinePixel<C>(d + i, s[i], w);
}

// ---------------------------------------------------------------------------
// Four pixels at a time for the editor's common full-weight blends. Each
// computes exactly what its combiner computes (see lice_combine.h); the
// pixels left over at the end of a row go through the combiner itself.

#if defined(__SSE2__)

/// _LICE_CombinePixelsAdd at w = 256: clamp(d + s) in every channel.
struct AddFull {
  using Scalar = _LICE_CombinePixelsAdd;
  static inline __m128i four(__m128i d, __m128i s) { return _mm_adds_epu8(d, s); }
};

/// _LICE_CombinePixelsAddSourceAlpha at w = 256: a = 0 leaves d; otherwise
/// clamp(d + s * (a + 1) / 256) in every channel, alpha included.
struct AddSourceAlphaFull {
  using Scalar = _LICE_CombinePixelsAddSourceAlpha;
  static inline __m128i half(__m128i d16, __m128i s16) {
    // a + 1 in all four channels of each of the two pixels
    __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0), 0);
    a = _mm_add_epi16(a, _mm_set1_epi16(1));
    // s * (a + 1) <= 255 * 256 fits in 16 unsigned bits
    return _mm_add_epi16(d16, _mm_srli_epi16(_mm_mullo_epi16(s16, a), 8));
  }
  static inline __m128i four(__m128i d, __m128i s) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero));
    const __m128i hi = half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero));
    const __m128i sum = _mm_packus_epi16(lo, hi);  // the clamp to 255
    const __m128i none = _mm_cmpeq_epi32(_mm_and_si128(s, _mm_set1_epi32(0xFF)), zero);
    return _mm_or_si128(_mm_and_si128(none, d), _mm_andnot_si128(none, sum));
  }
};

/// _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp: a = 0 leaves
/// d; otherwise colour s + (d - s) * (255 - a) / 256, the division truncating
/// toward zero, and alpha min(255, d + a). (a = 255 gives s with alpha 255.)
struct CopySourceAlphaFull {
  using Scalar = _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp;
  static inline __m128i half(__m128i d16, __m128i s16) {
    const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0), 0);
    const __m128i ia = _mm_sub_epi16(_mm_set1_epi16(255), a);
    const __m128i diff = _mm_sub_epi16(d16, s16);
    // diff * ia lies in -65025..65025: its high half is 0 or -1, and the
    // floor of its 256th is (high << 8) | (low >> 8) in 16 bits.
    const __m128i lo = _mm_mullo_epi16(diff, ia), hi = _mm_mulhi_epi16(diff, ia);
    __m128i q = _mm_or_si128(_mm_slli_epi16(hi, 8), _mm_srli_epi16(lo, 8));
    // toward zero: a negative product with a remainder rounds up by one
    const __m128i negative = _mm_cmplt_epi16(hi, _mm_setzero_si128());
    const __m128i remainder = _mm_andnot_si128(
        _mm_cmpeq_epi16(_mm_and_si128(lo, _mm_set1_epi16(0xFF)), _mm_setzero_si128()), _mm_set1_epi16(-1));
    q = _mm_sub_epi16(q, _mm_and_si128(negative, remainder));
    return _mm_add_epi16(s16, q);
  }
  static inline __m128i four(__m128i d, __m128i s) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero));
    const __m128i hi = half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero));
    // Every colour result lies between s and d, so the pack keeps it as is.
    const __m128i colour = _mm_packus_epi16(lo, hi);
    const __m128i alphaMask = _mm_set1_epi32(0xFF);
    const __m128i alpha = _mm_adds_epu8(_mm_and_si128(d, alphaMask), _mm_and_si128(s, alphaMask));
    const __m128i out = _mm_or_si128(_mm_andnot_si128(alphaMask, colour), alpha);
    const __m128i none = _mm_cmpeq_epi32(_mm_and_si128(s, alphaMask), zero);
    return _mm_or_si128(_mm_and_si128(none, d), _mm_andnot_si128(none, out));
  }
};

#if LICE_HAVE_AVX2_PATH
// The same source-alpha copy eight pixels at a time, on processors with AVX2
// (chosen at run time). The 256-bit unpack, shuffle and pack instructions work
// on each 128-bit half as the SSE2 ones do, so each half computes exactly
// what CopySourceAlphaFull::four computes.
__attribute__((target("avx2"))) inline __m256i copySourceAlphaHalf8(__m256i d16, __m256i s16) {
  const __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s16, 0), 0);
  const __m256i ia = _mm256_sub_epi16(_mm256_set1_epi16(255), a);
  const __m256i diff = _mm256_sub_epi16(d16, s16);
  const __m256i lo = _mm256_mullo_epi16(diff, ia), hi = _mm256_mulhi_epi16(diff, ia);
  __m256i q = _mm256_or_si256(_mm256_slli_epi16(hi, 8), _mm256_srli_epi16(lo, 8));
  const __m256i negative = _mm256_cmpgt_epi16(_mm256_setzero_si256(), hi);
  const __m256i remainder = _mm256_andnot_si256(
      _mm256_cmpeq_epi16(_mm256_and_si256(lo, _mm256_set1_epi16(0xFF)), _mm256_setzero_si256()),
      _mm256_set1_epi16(-1));
  q = _mm256_sub_epi16(q, _mm256_and_si256(negative, remainder));
  return _mm256_add_epi16(s16, q);
}

__attribute__((target("avx2"))) void copySourceAlphaRows8(LICE_pixel* d, intptr_t dstep, const LICE_pixel* s,
                                                           intptr_t sstep, int cols, int rows) {
  const __m256i zero = _mm256_setzero_si256(), alphaMask = _mm256_set1_epi32(0xFF);
  for (int j = 0; j < rows; ++j, d += dstep, s += sstep) {
    int i = 0;
    for (; i + 8 <= cols; i += 8) {
      const __m256i dv = _mm256_loadu_si256((const __m256i*)(d + i));
      const __m256i sv = _mm256_loadu_si256((const __m256i*)(s + i));
      const __m256i lo = copySourceAlphaHalf8(_mm256_unpacklo_epi8(dv, zero), _mm256_unpacklo_epi8(sv, zero));
      const __m256i hi = copySourceAlphaHalf8(_mm256_unpackhi_epi8(dv, zero), _mm256_unpackhi_epi8(sv, zero));
      const __m256i colour = _mm256_packus_epi16(lo, hi);
      const __m256i alpha = _mm256_adds_epu8(_mm256_and_si256(dv, alphaMask), _mm256_and_si256(sv, alphaMask));
      const __m256i out = _mm256_or_si256(_mm256_andnot_si256(alphaMask, colour), alpha);
      const __m256i none = _mm256_cmpeq_epi32(_mm256_and_si256(sv, alphaMask), zero);
      _mm256_storeu_si256((__m256i*)(d + i),
                          _mm256_or_si256(_mm256_and_si256(none, dv), _mm256_andnot_si256(none, out)));
    }
    for (; i < cols; ++i)
      combinePixel<_LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>(d + i, s[i], 256);
  }
}

bool haveAvx2() {
  static const bool yes = __builtin_cpu_supports("avx2");
  return yes;
}
#endif

template <class F>
void blitRowsFour(LICE_pixel* d, intptr_t dstep, const LICE_pixel* s, intptr_t sstep, int cols,
                  int rows) {
  for (int j = 0; j < rows; ++j, d += dstep, s += sstep) {
    int i = 0;
    for (; i + 4 <= cols; i += 4) {
      const __m128i dv = _mm_loadu_si128((const __m128i*)(d + i));
      const __m128i sv = _mm_loadu_si128((const __m128i*)(s + i));
      _mm_storeu_si128((__m128i*)(d + i), F::four(dv, sv));
    }
    for (; i < cols; ++i) combinePixel<typename F::Scalar>(d + i, s[i], 256);
  }
}

/// Whether the rows of two blit areas can share any memory.
bool sharesMemory(const LICE_pixel* d, intptr_t dstep, const LICE_pixel* s, intptr_t sstep, int cols, int rows) {
  auto span = [&](const LICE_pixel* p, intptr_t step, uintptr_t& lo, uintptr_t& hi) {
    const uintptr_t first = (uintptr_t)p, last = (uintptr_t)(p + step * (intptr_t)(rows - 1));
    lo = first < last ? first : last;
    hi = (first < last ? last : first) + (uintptr_t)cols * sizeof(LICE_pixel);
  };
  uintptr_t dlo, dhi, slo, shi;
  span(d, dstep, dlo, dhi);
  span(s, sstep, slo, shi);
  return dlo < shi && slo < dhi;
}

/// The four-pixel loop for mode at full weight, if there is one.
bool blitFour(int mode, int w, LICE_pixel* d, intptr_t dstep, const LICE_pixel* s, intptr_t sstep,
              int cols, int rows) {
  if (w != 256) return false;
  switch (mode & LICE_COMBINE_SELECT_MASK) {
    case LICE_COMBINE_ADD: blitRowsFour<AddFull>(d, dstep, s, sstep, cols, rows); return true;
    case LICE_COMBINE_SOURCE_ALPHA | LICE_COMBINE_ADD:
      blitRowsFour<AddSourceAlphaFull>(d, dstep, s, sstep, cols, rows);
      return true;
    case LICE_COMBINE_SOURCE_ALPHA | LICE_COMBINE_COPY:
#if LICE_HAVE_AVX2_PATH
      if (haveAvx2()) {
        copySourceAlphaRows8(d, dstep, s, sstep, cols, rows);
        return true;
      }
#endif
      blitRowsFour<CopySourceAlphaFull>(d, dstep, s, sstep, cols, rows);
      return true;
    default: return false;
  }
}

#else

bool sharesMemory(const LICE_pixel*, intptr_t, const LICE_pixel*, intptr_t, int, int) { return true; }
bool blitFour(int, int, LICE_pixel*, intptr_t, const LICE_pixel*, intptr_t, int, int) { return false; }

#endif

// ---------------------------------------------------------------------------
// Source sampling for the scaled, rotated and delta blits. Positions are 16.16
// relative to the top-left of a readable window of cw by ch pixels whose
// top-left pixel is `top`; rows are `step` pixels apart.

struct Window {
  const LICE_pixel* top;
  intptr_t step;
  int cw, ch;
};

struct Sample {
  int r, g, b, a;
};

inline void unpack(LICE_pixel p, Sample& s) {
  s.r = LICE_PixelR(p);
  s.g = LICE_PixelG(p);
  s.b = LICE_PixelB(p);
  s.a = LICE_PixelA(p);
}

inline bool sampleNearest(const Window& win, i64 x, i64 y, Sample& out) {
  if (x < 0 || y < 0) return false;
  const i64 sx = x >> 16, sy = y >> 16;
  if (sx >= win.cw || sy >= win.ch) return false;
  unpack(win.top[sy * win.step + sx], out);
  return true;
}

/// Weighted mix of two pixels per channel; weights sum to 65536.
inline void mix2(LICE_pixel p0, int w0, LICE_pixel p1, int w1, Sample& out) {
  out.r = (LICE_PixelR(p0) * w0 + LICE_PixelR(p1) * w1) >> 16;
  out.g = (LICE_PixelG(p0) * w0 + LICE_PixelG(p1) * w1) >> 16;
  out.b = (LICE_PixelB(p0) * w0 + LICE_PixelB(p1) * w1) >> 16;
  out.a = (LICE_PixelA(p0) * w0 + LICE_PixelA(p1) * w1) >> 16;
}

/// Bilinear sample; at the last column or row of the window the missing
/// neighbours drop out and their weight goes to the pixels that remain.
inline bool sampleBilinear(const Window& win, i64 x, i64 y, Sample& out) {
  if (x < 0 || y < 0) return false;
  const i64 sx = x >> 16, sy = y >> 16;
  if (sx >= win.cw || sy >= win.ch) return false;
  const int fx = (int)(x & 0xFFFF), fy = (int)(y & 0xFFFF);
  const LICE_pixel* p = win.top + sy * win.step + sx;
  const bool hasRight = sx < win.cw - 1, hasBelow = sy < win.ch - 1;
  if (hasRight && hasBelow) {
    const int w11 = (int)(((unsigned)fx * (unsigned)fy) >> 16);
    const int w01 = fx - w11, w10 = fy - w11, w00 = 65536 - fx - fy + w11;
    const LICE_pixel p00 = p[0], p01 = p[1], p10 = p[win.step], p11 = p[win.step + 1];
    out.r = (LICE_PixelR(p00) * w00 + LICE_PixelR(p01) * w01 + LICE_PixelR(p10) * w10 +
             LICE_PixelR(p11) * w11) >> 16;
    out.g = (LICE_PixelG(p00) * w00 + LICE_PixelG(p01) * w01 + LICE_PixelG(p10) * w10 +
             LICE_PixelG(p11) * w11) >> 16;
    out.b = (LICE_PixelB(p00) * w00 + LICE_PixelB(p01) * w01 + LICE_PixelB(p10) * w10 +
             LICE_PixelB(p11) * w11) >> 16;
    out.a = (LICE_PixelA(p00) * w00 + LICE_PixelA(p01) * w01 + LICE_PixelA(p10) * w10 +
             LICE_PixelA(p11) * w11) >> 16;
  } else if (hasBelow) {
    mix2(p[0], 65536 - fy, p[win.step], fy, out);
  } else if (hasRight) {
    mix2(p[0], 65536 - fx, p[1], fx, out);
  } else {
    unpack(p[0], out);
  }
  return true;
}

/// Box average of the (2R+1) square window centred on the sample's pixel;
/// taps outside the window are left out of both sums.
template <int R>
inline bool sampleBox(const Window& win, i64 x, i64 y, Sample& out) {
  if (x < 0 || y < 0) return false;
  const i64 sx = x >> 16, sy = y >> 16;
  if (sx >= win.cw || sy >= win.ch) return false;
  const int cx = (int)sx, cy = (int)sy;
  const int x0 = cx - R < 0 ? 0 : cx - R, x1 = cx + R >= win.cw ? win.cw - 1 : cx + R;
  const int y0 = cy - R < 0 ? 0 : cy - R, y1 = cy + R >= win.ch ? win.ch - 1 : cy + R;
  int r = 0, g = 0, b = 0, a = 0;
  for (int yy = y0; yy <= y1; ++yy) {
    const LICE_pixel* row = win.top + yy * win.step;
    for (int xx = x0; xx <= x1; ++xx) {
      const LICE_pixel p = row[xx];
      r += LICE_PixelR(p);
      g += LICE_PixelG(p);
      b += LICE_PixelB(p);
      a += LICE_PixelA(p);
    }
  }
  const int n = (x1 - x0 + 1) * (y1 - y0 + 1);
  out.r = r / n;
  out.g = g / n;
  out.b = b / n;
  out.a = a / n;
  return true;
}

enum SampleKind { kNearest, kBilinear, kBox3, kBox5 };

template <SampleKind K>
inline bool sampleAt(const Window& win, i64 x, i64 y, Sample& out) {
  if (K == kNearest) return sampleNearest(win, x, y, out);
  if (K == kBilinear) return sampleBilinear(win, x, y, out);
  if (K == kBox3) return sampleBox<1>(win, x, y, out);
  return sampleBox<2>(win, x, y, out);
}

/// Scaled walk: column i of row j samples (x0 + i * dx, y0 + j * dy).
template <SampleKind K, class C>
void scaledLoop(LICE_pixel* d, intptr_t dstep, int cols, int rows, const Window& win, i64 x0,
                i64 dx, i64 y0, i64 dy, int w) {
  i64 y = y0;
  for (int j = 0; j < rows; ++j, d += dstep, y += dy) {
    i64 x = x0;
    for (int i = 0; i < cols; ++i, x += dx) {
      Sample s;
      if (sampleAt<K>(win, x, y, s)) C::doPix((LICE_pixel_chan*)(d + i), s.r, s.g, s.b, s.a, w);
    }
  }
}

/// Nearest-sample walk with a packed combiner (clobber or half mix).
template <class F>
void scaledLoopFast(LICE_pixel* d, intptr_t dstep, int cols, int rows, const Window& win, i64 x0,
                    i64 dx, i64 y0, i64 dy) {
  i64 y = y0;
  for (int j = 0; j < rows; ++j, d += dstep, y += dy) {
    if (y < 0 || (y >> 16) >= win.ch) continue;
    const LICE_pixel* srow = win.top + (y >> 16) * win.step;
    i64 x = x0;
    for (int i = 0; i < cols; ++i, x += dx) {
      if (x < 0 || (x >> 16) >= win.cw) continue;
      F::doPix(d + i, srow[x >> 16]);
    }
  }
}

// ---------------------------------------------------------------------------
// Delta walk (rotated, delta and transform blits). All positions and steps are
// 16.16 relative to the window's top-left pixel.

struct DeltaWalk {
  i64 x, y;          // position of the first pixel
  i64 dxc, dyc;      // per-column step
  i64 dxr, dyr;      // per-row step of the row origin
  i64 ddxc, ddyc;    // per-row change of the column step
};

template <SampleKind K>
void deltaLoop(LICE_pixel* d, intptr_t dstep, int cols, int rows, const Window& win, DeltaWalk wk,
               int w, LICE_CombineFunc fn) {
  for (int j = 0; j < rows; ++j, d += dstep) {
    i64 x = wk.x, y = wk.y;
    for (int i = 0; i < cols; ++i) {
      Sample s;
      if (sampleAt<K>(win, x, y, s)) fn((LICE_pixel_chan*)(d + i), s.r, s.g, s.b, s.a, w);
      x = wrapAdd(x, wk.dxc);
      y = wrapAdd(y, wk.dyc);
    }
    wk.x = wrapAdd(wk.x, wk.dxr);
    wk.y = wrapAdd(wk.y, wk.dyr);
    wk.dxc = wrapAdd(wk.dxc, wk.ddxc);
    wk.dyc = wrapAdd(wk.dyc, wk.ddyc);
  }
}

/// The same walk with a 16.16 weight that moves across the rectangle.
template <SampleKind K>
void deltaLoopAlpha(LICE_pixel* d, intptr_t dstep, int cols, int rows, const Window& win,
                    DeltaWalk wk, i64 a0, i64 dac, i64 dar, i64 ddac, LICE_CombineFunc fn) {
  const i64 lim = (i64)LICE_WEIGHT_LIMIT << 8;
  for (int j = 0; j < rows; ++j, d += dstep) {
    i64 x = wk.x, y = wk.y, a = a0;
    for (int i = 0; i < cols; ++i) {
      Sample s;
      const i64 ac = a > lim ? lim : (a < -lim ? -lim : a);
      const int w = (int)(ac >> 8);
      if (w != 0 && sampleAt<K>(win, x, y, s)) fn((LICE_pixel_chan*)(d + i), s.r, s.g, s.b, s.a, w);
      x = wrapAdd(x, wk.dxc);
      y = wrapAdd(y, wk.dyc);
      a = wrapAdd(a, dac);
    }
    wk.x = wrapAdd(wk.x, wk.dxr);
    wk.y = wrapAdd(wk.y, wk.dyr);
    wk.dxc = wrapAdd(wk.dxc, wk.ddxc);
    wk.dyc = wrapAdd(wk.dyc, wk.ddyc);
    a0 = wrapAdd(a0, dar);
    dac = wrapAdd(dac, ddac);
  }
}

/// Parameters of one delta blit in source pixels, before destination clipping.
struct DeltaParams {
  i64 dstx, dsty, dstw, dsth;
  double sx, sy;                    // source position of destination (dstx, dsty)
  double dsdx, dtdx, dsdy, dtdy;    // per-column and per-row steps
  double dsdxdy, dtdxdy;            // per-row change of the column step
  int left, top, right, bottom;     // readable source window
  // moving weight (only with hasAlpha): alpha * 65536 and its steps
  bool hasAlpha;
  double a, dadx, dady, dadxdy;
};

/// Clips the destination rectangle, converts to 16.16 and runs the walk.
/// Skipping k columns and r rows moves the start by k column steps (the
/// column step already advanced by r rows) and r row steps, and moves the
/// row step by k changes of the column step, so a clipped warp samples the
/// same source positions as an unclipped one.
void runDelta(LICE_IBitmap* dest, LICE_IBitmap* src, DeltaParams p, int w, LICE_CombineFunc fn,
              bool bilinear) {
  if (!fn) return;
  if (p.dsty < 0) {
    const double r = (double)-p.dsty;
    p.sx += r * p.dsdy;
    p.sy += r * p.dtdy;
    p.dsdx += r * p.dsdxdy;
    p.dtdx += r * p.dtdxdy;
    if (p.hasAlpha) {
      p.a += r * p.dady;
      p.dadx += r * p.dadxdy;
    }
    p.dsth += p.dsty;
    p.dsty = 0;
  }
  if (p.dstx < 0) {
    const double k = (double)-p.dstx;
    p.sx += k * p.dsdx;
    p.sy += k * p.dtdx;
    p.dsdy += k * p.dsdxdy;
    p.dtdy += k * p.dtdxdy;
    if (p.hasAlpha) {
      p.a += k * p.dadx;
      p.dady += k * p.dadxdy;
    }
    p.dstw += p.dstx;
    p.dstx = 0;
  }
  const i64 dw = dest->getWidth(), dh = dest->getHeight();
  if (p.dstw < 1 || p.dsth < 1 || p.dstx >= dw || p.dsty >= dh) return;
  const int cols = (int)(p.dstw < dw - p.dstx ? p.dstw : dw - p.dstx);
  const int rows = (int)(p.dsth < dh - p.dsty ? p.dsth : dh - p.dsty);
  if ((i64)p.right - p.left < 1 || (i64)p.bottom - p.top < 1) return;

  Window win;
  win.step = rowStep(src);
  win.top = pixelAt(src, p.left, p.top);
  win.cw = p.right - p.left;
  win.ch = p.bottom - p.top;

  DeltaWalk wk;
  wk.x = toFixed(p.sx - p.left);
  wk.y = toFixed(p.sy - p.top);
  wk.dxc = toFixed(p.dsdx);
  wk.dyc = toFixed(p.dtdx);
  wk.dxr = toFixed(p.dsdy);
  wk.dyr = toFixed(p.dtdy);
  wk.ddxc = toFixed(p.dsdxdy);
  wk.ddyc = toFixed(p.dtdxdy);

  LICE_pixel* d = pixelAt(dest, (int)p.dstx, (int)p.dsty);
  const intptr_t dstep = rowStep(dest);
  if (p.hasAlpha) {
    const i64 a0 = satI64(p.a), dac = satI64(p.dadx), dar = satI64(p.dady),
              ddac = satI64(p.dadxdy);
    if (bilinear)
      deltaLoopAlpha<kBilinear>(d, dstep, cols, rows, win, wk, a0, dac, dar, ddac, fn);
    else
      deltaLoopAlpha<kNearest>(d, dstep, cols, rows, win, wk, a0, dac, dar, ddac, fn);
  } else if (bilinear) {
    deltaLoop<kBilinear>(d, dstep, cols, rows, win, wk, w, fn);
  } else {
    deltaLoop<kNearest>(d, dstep, cols, rows, win, wk, w, fn);
  }
}

/// Source window of the rotated and delta blits: the whole source, or with
/// cliptosourcerect the source rectangle cut to it (edges truncated).
void sourceWindow(LICE_IBitmap* src, bool clip, double sx, double sy, double sw, double sh,
                  DeltaParams& p) {
  p.left = 0;
  p.top = 0;
  p.right = src->getWidth();
  p.bottom = src->getHeight();
  if (clip) {
    p.left = satInt(sx > 0 ? sx : 0.0);
    p.top = satInt(sy > 0 ? sy : 0.0);
    const int r = satInt(sx + sw), b = satInt(sy + sh);
    if (r < p.right) p.right = r;
    if (b < p.bottom) p.bottom = b;
  }
}

bool isBilinear(int mode) { return (mode & LICE_COMBINE_FILTER_MASK) == LICE_COMBINE_FILTER; }

/// Combiners of the moving-weight blit, by operation (all clamping).
LICE_CombineFunc alphaWalkCombiner(int mode) {
  switch (mode & LICE_COMBINE_OP_MASK) {
    case LICE_COMBINE_COPY: return &_LICE_CombinePixelsCopyClamp::doPix;
    case LICE_COMBINE_ADD: return &_LICE_CombinePixelsAdd::doPix;
    case LICE_COMBINE_DODGE: return &_LICE_CombinePixelsColorDodge::doPix;
    case LICE_COMBINE_MULTIPLY: return &_LICE_CombinePixelsMulClamp::doPix;
    case LICE_COMBINE_OVERLAY: return &_LICE_CombinePixelsOverlay::doPix;
    case LICE_COMBINE_HSV_ADJUST: return &_LICE_CombinePixelsHSVAdjust::doPix;
    default: return nullptr;
  }
}

// ---------------------------------------------------------------------------
// Blur

inline LICE_pixel half(LICE_pixel p) { return (p >> 1) & 0x7F7F7F7Fu; }
inline LICE_pixel quarter(LICE_pixel p) { return (p >> 2) & 0x3F3F3F3Fu; }
inline LICE_pixel eighth(LICE_pixel p) { return (p >> 3) & 0x1F1F1F1Fu; }

/// Blurs one line of n >= 2 pixels. cur and below step by cs, out by os,
/// above by as. V: 0 both vertical neighbours, 1 only below (first line),
/// 2 only above (last line). The centre and right neighbour are read before
/// out[x] is written and the left neighbour is carried in a register, so
/// out may be cur. With save non-null, the unblurred line is stored there
/// (stride 1) right after above[x] has been read, so save may be above.
template <int V>
void blurLine(LICE_pixel* out, intptr_t os, const LICE_pixel* cur, intptr_t cs,
              const LICE_pixel* above, intptr_t as, const LICE_pixel* below, LICE_pixel* save,
              int n) {
  auto vert = [&](int x) -> LICE_pixel {
    if (V == 0) return eighth(above[x * as]) + eighth(below[x * cs]);
    if (V == 1) return quarter(below[x * cs]);
    return quarter(above[x * as]);
  };
  LICE_pixel l = 0, c = cur[0], r = cur[cs];
  // first pixel: the right neighbour takes the missing left one's share
  {
    const LICE_pixel v = vert(0);
    if (save) save[0] = c;
    out[0] = half(c) + quarter(r) + v;
  }
  int x = 1;
#if defined(__SSE2__)
  // Separate rows laid out pixel by pixel (the plot's glow): four interior
  // pixels at a time. Every byte of the sum stays below 256, so adding 32-bit
  // lanes adds the bytes exactly as the packed formula does.
  if (V == 0 && !save && os == 1 && cs == 1 && as == 1 && out != cur) {
    const __m128i m1 = _mm_set1_epi32(0x7F7F7F7F), m3 = _mm_set1_epi32(0x1F1F1F1F);
    auto eighth4 = [&](const LICE_pixel* p) {
      return _mm_and_si128(_mm_srli_epi32(_mm_loadu_si128((const __m128i*)p), 3), m3);
    };
    for (; x + 4 <= n - 1; x += 4) {
      const __m128i centre = _mm_and_si128(_mm_srli_epi32(_mm_loadu_si128((const __m128i*)(cur + x)), 1), m1);
      const __m128i sides = _mm_add_epi32(eighth4(cur + x - 1), eighth4(cur + x + 1));
      const __m128i vertical = _mm_add_epi32(eighth4(above + x), eighth4(below + x));
      _mm_storeu_si128((__m128i*)(out + x), _mm_add_epi32(_mm_add_epi32(centre, sides), vertical));
    }
    if (x > 1) {
      c = cur[x - 1];
      r = cur[x];
    }
  }
#endif
  for (; x < n - 1; ++x) {
    l = c;
    c = r;
    r = cur[(x + 1) * cs];
    const LICE_pixel v = vert(x);
    if (save) save[x] = c;
    out[x * os] = half(c) + eighth(l) + eighth(r) + v;
  }
  // last pixel
  {
    l = c;
    c = r;
    const LICE_pixel v = vert(n - 1);
    if (save) save[n - 1] = c;
    out[(n - 1) * os] = half(c) + quarter(l) + v;
  }
}

/// Blurs L lines of n pixels where line j starts at base + j * ls and its
/// pixels are es apart, in place, with buf (n pixels) holding the unblurred
/// previous line. Without buf the previous line is read already blurred.
void blurInPlace(LICE_pixel* base, intptr_t ls, intptr_t es, int L, int n, LICE_pixel* buf) {
  for (int j = 0; j < L; ++j) {
    LICE_pixel* cur = base + j * ls;
    const LICE_pixel* above = buf ? buf : cur - ls;
    const intptr_t as = buf ? 1 : es;
    if (j == 0)
      blurLine<1>(cur, es, cur, es, nullptr, 1, cur + ls, buf, n);
    else if (j == L - 1)
      blurLine<2>(cur, es, cur, es, above, as, nullptr, buf, n);
    else
      blurLine<0>(cur, es, cur, es, above, as, cur + ls, buf, n);
  }
}

}  // namespace

// ---------------------------------------------------------------------------

void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, const RECT* srcrect,
               float alpha, int mode) {
  if (!dest || !src || alpha == 0.0f) return;
  ClippedBlit cb;
  const bool any =
      srcrect ? clipBlit(dest, src, dstx, dsty, srcrect->left, srcrect->top, srcrect->right,
                         srcrect->bottom, cb)
              : clipBlit(dest, src, dstx, dsty, 0, 0, src->getWidth(), src->getHeight(), cb);
  if (!any) return;
  LICE_pixel* d = cb.d;
  const LICE_pixel* s = cb.s;
  const intptr_t dstep = cb.dstep, sstep = cb.sstep;
  const int cols = cb.cols, rows = cb.rows;

  if ((mode & 0xF0) == 0xF0) {
    // channel copy: one byte of each source pixel into one byte of the dest
    const int sb = mode & 3, db = (mode >> 2) & 3;
    for (int j = 0; j < rows; ++j, d += dstep, s += sstep)
      for (int i = 0; i < cols; ++i)
        ((LICE_pixel_chan*)(d + i))[db] = ((const LICE_pixel_chan*)(s + i))[sb];
    return;
  }
  if ((mode & LICE_COMBINE_SELECT_MASK) == LICE_COMBINE_COPY) {
    if (alpha == 1.0f) {
      for (int j = 0; j < rows; ++j, d += dstep, s += sstep)
        std::memmove(d, s, (size_t)cols * sizeof(LICE_pixel));
      return;
    }
    if (alpha == 0.5f) {
      for (int j = 0; j < rows; ++j, d += dstep, s += sstep)
        for (int i = 0; i < cols; ++i) _LICE_CombinePixelsHalfMixFAST::doPix(d + i, s[i]);
      return;
    }
  }
  const int w = LICE_AlphaToWeightD(alpha);
  // The four-pixel loops read four source pixels before writing four: when
  // the two areas share memory (a bitmap blitted onto itself) the pixel
  // loop keeps its order of reads and writes.
  if (!sharesMemory(d, dstep, s, sstep, cols, rows) && blitFour(mode, w, d, dstep, s, sstep, cols, rows))
    return;
  LICE_WithBlitCombiner(mode, w, [&](auto tag) {
    using C = typename decltype(tag)::type;
    blitRows<C>(d, dstep, s, sstep, cols, rows, w);
  });
}

void LICE_Blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
               int srcw, int srch, float alpha, int mode) {
  const RECT r = {srcx, srcy, clampToInt((i64)srcx + srcw), clampToInt((i64)srcy + srch)};
  LICE_Blit(dest, src, dstx, dsty, &r, alpha, mode);
}

void LICE_ScaledBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx_, int dsty_, int dstw_,
                     int dsth_, float srcx_, float srcy_, float srcw_, float srch_, float alpha,
                     int mode) {
  if (!dest || !src || dstw_ == 0 || dsth_ == 0 || alpha == 0.0f) return;
  const bool filter = isBilinear(mode);

  // One-to-one: a plain blit from the rounded source position. Bilinear
  // sampling only gives the same picture when the source sits on whole pixels.
  if (std::fabs((double)srcw_ - dstw_) < 0.001 && std::fabs((double)srch_ - dsth_) < 0.001) {
    auto onGrid = [](double v) { return std::fabs(v - std::floor(v + 0.5)) < 0.03; };
    if (!filter || (onGrid(srcx_) && onGrid(srcy_))) {
      const int sx = satInt(srcx_ + 0.5), sy = satInt(srcy_ + 0.5);
      const RECT r = {sx, sy, clampToInt((i64)sx + dstw_), clampToInt((i64)sy + dsth_)};
      LICE_Blit(dest, src, dstx_, dsty_, &r, alpha, mode);
      return;
    }
  }
  if (!usable(dest) || !usable(src)) return;

  i64 dstx = dstx_, dsty = dsty_, dstw = dstw_, dsth = dsth_;
  double srcx = srcx_, srcy = srcy_, srcw = srcw_, srch = srch_;
  if (dstw < 0) {
    dstw = -dstw;
    dstx -= dstw;
    srcx += srcw;
    srcw = -srcw;
  }
  if (dsth < 0) {
    dsth = -dsth;
    dsty -= dsth;
    srcy += srch;
    srch = -srch;
  }
  const double xstep = (double)((float)srcw / (float)dstw);
  const double ystep = (double)((float)srch / (float)dsth);

  // Source clip (before any destination clipping moves srcx/srcy).
  const int srcW = src->getWidth(), srcH = src->getHeight();
  int clipright = satInt((srcw > 0 ? srcw : 0.0) + srcx + 0.999999);
  int clipbottom = satInt((srch > 0 ? srch : 0.0) + srcy + 0.999999);
  if (clipright > srcW) clipright = srcW;
  if (clipbottom > srcH) clipbottom = srcH;
  if (clipright < 1 || clipbottom < 1) return;

  // A mirrored walk runs leftward from the exclusive right edge of the
  // source rectangle; its first sample belongs one step inside that edge so
  // that the mirror is exact and no source column is lost.
  if (xstep < 0) srcx += xstep;
  if (ystep < 0) srcy += ystep;

  if (dstx < 0) {
    srcx -= dstx * xstep;
    dstw += dstx;
    dstx = 0;
  }
  if (dsty < 0) {
    srcy -= dsty * ystep;
    dsth += dsty;
    dsty = 0;
  }
  const i64 dw = dest->getWidth(), dh = dest->getHeight();
  if (dstw < 1 || dsth < 1 || dstx >= dw || dsty >= dh) return;

  const i64 idx = satInt(xstep * 65536.0), idy = satInt(ystep * 65536.0);
  i64 icurx = toFixed(srcx), icury = toFixed(srcy);
  i64 cols = dw - dstx < dstw ? dw - dstx : dstw;
  i64 rows = dh - dsty < dsth ? dh - dsty : dsth;

  // Trim leading and trailing columns/rows whose samples fall outside the
  // source; the count keeps every position whose pixel exists.
  auto trim = [](i64& pos, i64 step, i64& dpos, i64& count, i64 size) {
    if (step < 1) return;
    if (pos < 0) {
      const i64 k = (step - pos - 1) / step;
      dpos += k;
      pos += k * step;
      count -= k;
    }
    if (count >= 1 && (pos + step * (count - 1)) / 65536 >= size) {
      const i64 room = size * 65536 - 1 - pos;
      const i64 fit = room < 0 ? 0 : room / step + 1;
      if (fit < count) count = fit;
    }
  };
  trim(icurx, idx, dstx, cols, srcW);
  trim(icury, idy, dsty, rows, srcH);
  if (cols < 1 || rows < 1) return;

  Window win;
  win.step = rowStep(src);
  win.top = pixelAt(src, 0, 0);
  win.cw = clipright;
  win.ch = clipbottom;
  LICE_pixel* d = pixelAt(dest, (int)dstx, (int)dsty);
  const intptr_t dstep = rowStep(dest);
  const int nc = (int)cols, nr = (int)rows;

  const int w = LICE_AlphaToWeightD(alpha);
  if (w == 0) return;
  if ((mode & 0x1FFFF) == 0 && (w == 256 || w == 128)) {
    if (w == 256)
      scaledLoopFast<_LICE_CombinePixelsClobberFAST>(d, dstep, nc, nr, win, icurx, idx, icury, idy);
    else
      scaledLoopFast<_LICE_CombinePixelsHalfMixFAST>(d, dstep, nc, nr, win, icurx, idx, icury, idy);
    return;
  }
  SampleKind kind = kNearest;
  if (filter) {
    kind = kBilinear;
    if (xstep >= 1.7 && ystep >= 1.7) kind = (idx > idy ? idx : idy) <= 0x30000 ? kBox3 : kBox5;
  }
  LICE_WithBlitCombiner(mode, w, [&](auto tag) {
    using C = typename decltype(tag)::type;
    auto run = [&](auto loop) { loop(d, dstep, nc, nr, win, icurx, idx, icury, idy, w); };
    switch (kind) {
      case kNearest: run(scaledLoop<kNearest, C>); break;
      case kBilinear: run(scaledLoop<kBilinear, C>); break;
      case kBox3: run(scaledLoop<kBox3, C>); break;
      case kBox5: run(scaledLoop<kBox5, C>); break;
    }
  });
}

namespace {

void deltaCommon(LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx, float srcy,
                 float srcw, float srch, double dsdx, double dtdx, double dsdy, double dtdy,
                 double dsdxdy, double dtdxdy, bool clip, DeltaParams& p) {
  sourceWindow(src, clip, srcx, srcy, srcw, srch, p);
  p.dstx = dstx;
  p.dsty = dsty;
  p.dstw = dstw;
  p.dsth = dsth;
  p.sx = srcx;
  p.sy = srcy;
  if (p.dstw < 0) {
    p.dstx += p.dstw;
    p.dstw = -p.dstw;
    p.sx += srcw;
  }
  if (p.dsth < 0) {
    p.dsty += p.dsth;
    p.dsth = -p.dsth;
    p.sy += srch;
  }
  p.dsdx = dsdx;
  p.dtdx = dtdx;
  p.dsdy = dsdy;
  p.dtdy = dtdy;
  p.dsdxdy = dsdxdy;
  p.dtdxdy = dtdxdy;
  p.hasAlpha = false;
  p.a = p.dadx = p.dady = p.dadxdy = 0.0;
}

}  // namespace

void LICE_RotatedBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw,
                      int dsth, float srcx, float srcy, float srcw, float srch, float angle,
                      bool cliptosourcerect, float alpha, int mode, float rotxcent,
                      float rotycent) {
  if (dstw == 0 || dsth == 0 || !usable(dest) || !usable(src)) return;
  DeltaParams p;
  deltaCommon(src, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0,
              cliptosourcerect, p);
  // A mirrored destination walks the source rectangle backwards.
  double sx = p.sx, sy = p.sy;
  const double sw = dstw < 0 ? -(double)srcw : srcw, sh = dsth < 0 ? -(double)srch : srch;
  const double xsc = (double)((float)sw / (float)p.dstw);
  const double ysc = (double)((float)sh / (float)p.dsth);
  const double ca = std::cos((double)angle), sa = std::sin((double)angle);
  p.dsdx = ca * xsc;
  p.dtdx = -sa * ysc;
  p.dsdy = sa * xsc;
  p.dtdy = ca * ysc;
  // Centre the destination rectangle on the (displaced) source centre.
  sx -= ((double)p.dstw * p.dsdx + (double)p.dsth * p.dsdy - sw) * 0.5 - rotxcent;
  sy -= ((double)p.dsth * p.dtdy + (double)p.dstw * p.dtdx - sh) * 0.5 - rotycent;
  // Nearest sampling of a turned or mirrored walk takes the source pixel under
  // the centre of each destination pixel (half a column step and half a row
  // step in): sampling at the corner would read, after a quarter or half turn,
  // the pixel one past the image and shift every row by one. An upright walk
  // keeps the corner, like LICE_ScaledBlit: scaling 8 to 4 reads columns 0, 2,
  // 4, 6 and a fractional source origin is truncated, not rounded. Bilinear
  // samples keep the corner position.
  const bool upright = p.dtdx == 0.0 && p.dsdy == 0.0 && p.dsdx > 0.0 && p.dtdy > 0.0;
  if (!isBilinear(mode) && !upright) {
    sx += 0.5 * (p.dsdx + p.dsdy);
    sy += 0.5 * (p.dtdx + p.dtdy);
  }
  p.sx = sx;
  p.sy = sy;
  const int w = LICE_AlphaToWeightD(alpha);
  runDelta(dest, src, p, w, LICE_GetBlitCombineFunc(mode, w), isBilinear(mode));
}


void LICE_DeltaBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                    float srcx, float srcy, float srcw, float srch, double dsdx, double dtdx,
                    double dsdy, double dtdy, double dsdxdy, double dtdxdy, bool cliptosourcerect,
                    float alpha, int mode) {
  if (dstw == 0 || dsth == 0 || !usable(dest) || !usable(src)) return;
  DeltaParams p;
  deltaCommon(src, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch, dsdx, dtdx, dsdy, dtdy,
              dsdxdy, dtdxdy, cliptosourcerect, p);
  const int w = LICE_AlphaToWeightD(alpha);
  runDelta(dest, src, p, w, LICE_GetBlitCombineFunc(mode, w), isBilinear(mode));
}

void LICE_DeltaBlitAlpha(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw,
                         int dsth, float srcx, float srcy, float srcw, float srch, double dsdx,
                         double dtdx, double dsdy, double dtdy, double dsdxdy, double dtdxdy,
                         bool cliptosourcerect, float alpha, int mode, double dadx, double dady,
                         double dadxdy) {
  if (std::fabs(dstw * dadx) < 0.0001 && std::fabs(dsth * dady) < 0.0001 &&
      std::fabs(dsth * dadxdy) < 0.0001) {
    LICE_DeltaBlit(dest, src, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch, dsdx, dtdx, dsdy,
                   dtdy, dsdxdy, dtdxdy, cliptosourcerect, alpha, mode);
    return;
  }
  if (dstw == 0 || dsth == 0 || !usable(dest) || !usable(src)) return;
  DeltaParams p;
  deltaCommon(src, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch, dsdx, dtdx, dsdy, dtdy,
              dsdxdy, dtdxdy, cliptosourcerect, p);
  p.hasAlpha = true;
  p.a = (double)alpha * 65536.0;
  p.dadx = dadx * 65536.0;
  p.dady = dady * 65536.0;
  p.dadxdy = dadxdy * 65536.0;
  runDelta(dest, src, p, 0, alphaWalkCombiner(mode), isBilinear(mode));
}

namespace {

/// Draws a grid of warped cells; `stride` values per grid point (x, y and,
/// with alpha, the weight).
template <class T>
void transformGrid(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                   const T* pts, int div_w, int div_h, float alpha, int mode, bool withAlpha) {
  if (!dest || !src || !pts || dstw <= 0 || dsth <= 0 || div_w < 2 || div_h < 2) return;
  if (!usable(dest) || !usable(src)) return;
  const size_t stride = withAlpha ? 3 : 2;
  const double ystepD = (double)dsth / (div_h - 1), xstepD = (double)dstw / (div_w - 1);
  double ypos = dsty;
  for (int row = 0; row < div_h - 1; ++row) {
    const double ynext = ypos + ystepD;
    const i64 y0 = (i64)ypos, y1 = (i64)ynext;
    ypos = ynext;
    if (y1 <= y0) continue;
    const T* r0 = pts + (size_t)row * (size_t)div_w * stride;
    const T* r1 = r0 + (size_t)div_w * stride;
    double xpos = dstx;
    for (int col = 0; col < div_w - 1; ++col) {
      const double xnext = xpos + xstepD;
      const i64 x0 = (i64)xpos, x1 = (i64)xnext;
      xpos = xnext;
      if (x1 <= x0) continue;
      const T* p00 = r0 + (size_t)col * stride;
      const T* p01 = p00 + stride;
      const T* p10 = r1 + (size_t)col * stride;
      const T* p11 = p10 + stride;
      const double cw = (double)(x1 - x0), ch = (double)(y1 - y0);
      const double dsdx = (p01[0] - p00[0]) / cw, dtdx = (p01[1] - p00[1]) / cw;
      const double dsdy = (p10[0] - p00[0]) / ch, dtdy = (p10[1] - p00[1]) / ch;
      const double dsdxdy = ((p11[0] - p10[0]) / cw - dsdx) / ch;
      const double dtdxdy = ((p11[1] - p10[1]) / cw - dtdx) / ch;
      if (withAlpha) {
        const double dadx = (p01[2] - p00[2]) / cw, dady = (p10[2] - p00[2]) / ch;
        const double dadxdy = ((p11[2] - p10[2]) / cw - dadx) / ch;
        LICE_DeltaBlitAlpha(dest, src, (int)x0, (int)y0, (int)(x1 - x0), (int)(y1 - y0),
                            (float)p00[0], (float)p00[1], (float)src->getWidth(),
                            (float)src->getHeight(), dsdx, dtdx, dsdy, dtdy, dsdxdy, dtdxdy, false,
                            (float)p00[2], mode, dadx, dady, dadxdy);
      } else {
        LICE_DeltaBlit(dest, src, (int)x0, (int)y0, (int)(x1 - x0), (int)(y1 - y0), (float)p00[0],
                       (float)p00[1], (float)src->getWidth(), (float)src->getHeight(), dsdx, dtdx,
                       dsdy, dtdy, dsdxdy, dtdxdy, false, alpha, mode);
      }
    }
  }
}

}  // namespace

void LICE_TransformBlit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw,
                        int dsth, const float* srcpoints, int div_w, int div_h, float alpha,
                        int mode) {
  transformGrid(dest, src, dstx, dsty, dstw, dsth, srcpoints, div_w, div_h, alpha, mode, false);
}

void LICE_TransformBlit2(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw,
                         int dsth, const double* srcpoints, int div_w, int div_h, float alpha,
                         int mode) {
  transformGrid(dest, src, dstx, dsty, dstw, dsth, srcpoints, div_w, div_h, alpha, mode, false);
}

void LICE_TransformBlit2Alpha(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int dstw,
                              int dsth, const double* srcpoints, int div_w, int div_h, int mode) {
  transformGrid(dest, src, dstx, dsty, dstw, dsth, srcpoints, div_w, div_h, 1.0f, mode, true);
}

void LICE_Blur(LICE_IBitmap* dest, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
               int srcw, int srch) {
  if (!dest || !src) return;
  ClippedBlit cb;
  if (!clipBlit(dest, src, dstx, dsty, srcx, srcy, (i64)srcx + srcw, (i64)srcy + srch, cb)) return;
  if (cb.cols < 2 || cb.rows < 2) return;
  const int n = cb.cols, L = cb.rows;
  LICE_pixel* d = cb.d;
  LICE_pixel* s = cb.s;
  const intptr_t ds = cb.dstep, ss = cb.sstep;

  if (dest != src || d != s) {
    // Separate source: every neighbour is read unblurred straight from it.
    // (The same bitmap at another position is treated alike; overlapping
    // regions then read some pixels already blurred, but never outside.)
    for (int j = 0; j < L; ++j) {
      LICE_pixel* o = d + j * ds;
      const LICE_pixel* c = s + j * ss;
      if (j == 0)
        blurLine<1>(o, 1, c, 1, nullptr, 1, c + ss, nullptr, n);
      else if (j == L - 1)
        blurLine<2>(o, 1, c, 1, c - ss, 1, nullptr, nullptr, n);
      else
        blurLine<0>(o, 1, c, 1, c - ss, 1, c + ss, nullptr, n);
    }
    return;
  }

  // In place: one line buffer keeps the previous line unblurred. The kernel
  // is symmetric in x and y, so a region too wide for the stack buffer but
  // short enough is blurred column by column instead.
  enum { kStackLine = 2048 };
  LICE_pixel stackBuf[kStackLine];
  if (n <= kStackLine) {
    blurInPlace(d, ds, 1, L, n, stackBuf);
  } else if (L <= kStackLine) {
    blurInPlace(d, 1, ds, n, L, stackBuf);
  } else {
    // Both sides over 2048 pixels: a heap line, or the degraded walk that
    // reads the previous line already blurred if even that fails.
    LICE_pixel* heap = (LICE_pixel*)std::malloc((size_t)n * sizeof(LICE_pixel));
    blurInPlace(d, ds, 1, L, n, heap);
    std::free(heap);
  }
}

void LICE_HalveBlitAA(LICE_IBitmap* dest, LICE_IBitmap* src) {
  // In place works too: each pixel is read no later than it is overwritten.
  if (!usable(dest) || !usable(src)) return;
  const int w = dest->getWidth() < src->getWidth() / 2 ? dest->getWidth() : src->getWidth() / 2;
  const int h = dest->getHeight() < src->getHeight() / 2 ? dest->getHeight() : src->getHeight() / 2;
  if (w < 1 || h < 1) return;
  LICE_pixel* d = pixelAt(dest, 0, 0);
  const LICE_pixel* s = pixelAt(src, 0, 0);
  const intptr_t ds = rowStep(dest), ss = rowStep(src);
  for (int y = 0; y < h; ++y, d += ds, s += 2 * ss) {
    const LICE_pixel* s1 = s + ss;
    for (int x = 0; x < w; ++x)
      d[x] = quarter(s[2 * x]) + quarter(s[2 * x + 1]) + quarter(s1[2 * x]) +
             quarter(s1[2 * x + 1]);
  }
}

namespace {

template <class F>
void fillFast(const ClippedRect& r, LICE_pixel c) {
  const LICE_pixel cp = F::prepare(c);
  LICE_pixel* row = r.first;
  for (int j = 0; j < r.h; ++j, row += r.step)
    for (int i = 0; i < r.w; ++i) F::doPix(row + i, cp);
}

template <class C>
void fillComb(const ClippedRect& r, LICE_pixel c, int w) {
  const int cr = LICE_PixelR(c), cg = LICE_PixelG(c), cb = LICE_PixelB(c), ca = LICE_PixelA(c);
  LICE_pixel* row = r.first;
  for (int j = 0; j < r.h; ++j, row += r.step)
    for (int i = 0; i < r.w; ++i) C::doPix((LICE_pixel_chan*)(row + i), cr, cg, cb, ca, w);
}

}  // namespace

void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float alpha,
                   int mode) {
  if (mode & LICE_COMBINE_SOURCE_ALPHA) alpha *= LICE_PixelA(color) / 255.0f;
  ClippedRect r;
  if (!clipRect(dest, x, y, w, h, r)) return;
  const int wt = LICE_AlphaToWeightD(alpha);
  if (wt == 0) return;
  if ((mode & LICE_COMBINE_OP_MASK) == LICE_COMBINE_COPY) {
    switch (wt) {
      case 64: fillFast<_LICE_CombinePixelsQuarterMix2FAST>(r, color); return;
      case 128: fillFast<_LICE_CombinePixelsHalfMix2FAST>(r, color); return;
      case 192: fillFast<_LICE_CombinePixelsThreeQuarterMix2FAST>(r, color); return;
      case 256: fillFast<_LICE_CombinePixelsClobberFAST>(r, color); return;
      default:
        if (wt > 0) fillComb<_LICE_CombinePixelsCopyNoClamp>(r, color, wt);
        return;
    }
  }
  LICE_WithOperationCombiner(mode, wt, [&](auto tag) {
    using C = typename decltype(tag)::type;
    fillComb<C>(r, color, wt);
  });
}

void LICE_ClearRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel mask,
                    LICE_pixel orbits) {
  ClippedRect r;
  if (!clipRect(dest, x, y, w, h, r)) return;
  LICE_pixel* row = r.first;
  for (int j = 0; j < r.h; ++j, row += r.step)
    for (int i = 0; i < r.w; ++i) row[i] = (row[i] & mask) | orbits;
}

namespace {

/// Gradient walk: channels in 16.16 channel units (alpha in weight units).
struct Grad {
  i64 r, g, b, a;
};

/// Channel value handed to a combiner: copy forms clamp their result and
/// take any int; the other operations need 0..255 input.
inline int gradChannel(i64 v, bool anyRange) {
  const i64 c = v >> 16;
  if (anyRange) return c < -(1 << 20) ? -(1 << 20) : (c > (1 << 20) ? (1 << 20) : (int)c);
  return c < 0 ? 0 : (c > 255 ? 255 : (int)c);
}

/// v + step * n, saturated at the +-4e18 range of satI64.
inline i64 gradAdvance(i64 v, i64 step, i64 n) {
  const i64 lim = 4000000000000000000LL;
  i64 moved;
  if (__builtin_mul_overflow(step, n, &moved) || moved > lim || moved < -lim)
    moved = (step < 0) != (n < 0) ? -lim : lim;
  const i64 r = v + moved;  // both within +-4e18: no overflow
  return r > lim ? lim : (r < -lim ? -lim : r);
}

template <class C, bool AnyRange>
void gradLoop(const ClippedRect& r, Grad start, const Grad& dx, const Grad& dy) {
  LICE_pixel* row = r.first;
  for (int j = 0; j < r.h; ++j, row += r.step) {
    Grad c = start;
    for (int i = 0; i < r.w; ++i) {
      i64 wv = c.a >> 16;
      if (wv > LICE_WEIGHT_LIMIT) wv = LICE_WEIGHT_LIMIT;
      if (wv < -LICE_WEIGHT_LIMIT) wv = -LICE_WEIGHT_LIMIT;
      if (wv != 0)
        C::doPix((LICE_pixel_chan*)(row + i), gradChannel(c.r, AnyRange),
                 gradChannel(c.g, AnyRange), gradChannel(c.b, AnyRange),
                 gradChannel(c.a, AnyRange), (int)wv);
      c.r = wrapAdd(c.r, dx.r);
      c.g = wrapAdd(c.g, dx.g);
      c.b = wrapAdd(c.b, dx.b);
      c.a = wrapAdd(c.a, dx.a);
    }
    start.r = wrapAdd(start.r, dy.r);
    start.g = wrapAdd(start.g, dy.g);
    start.b = wrapAdd(start.b, dy.b);
    start.a = wrapAdd(start.a, dy.a);
  }
}

}  // namespace

void LICE_GradRect(LICE_IBitmap* dest, int x, int y, int w, int h, float ir, float ig, float ib,
                   float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy, float dgdy,
                   float dbdy, float dady, int mode) {
  const int op = mode & LICE_COMBINE_OP_MASK;
  if (op > LICE_COMBINE_HSV_ADJUST) return;
  const double cs = 255.0 * 65536.0, as = 256.0 * 65536.0;
  const Grad dx = {satI64(drdx * cs), satI64(dgdx * cs), satI64(dbdx * cs), satI64(dadx * as)};
  const Grad dy = {satI64(drdy * cs), satI64(dgdy * cs), satI64(dbdy * cs), satI64(dady * as)};
  // The start colour is advanced past the columns and rows cut off at the left
  // and top in 16.16 by the same slopes the walk uses, so a clipped gradient
  // continues exactly the ramp of an unclipped one.
  const i64 ox = x < 0 ? -(i64)x : 0, oy = y < 0 ? -(i64)y : 0;
  auto advance = [&](double v, double scale, i64 sx, i64 sy) {
    return gradAdvance(gradAdvance(satI64(v * scale), sx, ox), sy, oy);
  };
  const Grad start = {advance(ir, cs, dx.r, dy.r), advance(ig, cs, dx.g, dy.g),
                      advance(ib, cs, dx.b, dy.b), advance(ia, as, dx.a, dy.a)};
  ClippedRect r;
  if (!clipRect(dest, x, y, w, h, r)) return;
  switch (op) {
    case LICE_COMBINE_COPY:
      if (ia == 1.0f && dadx == 0.0f && dady == 0.0f)
        gradLoop<_LICE_CombinePixelsClobberClamp, true>(r, start, dx, dy);
      else
        gradLoop<_LICE_CombinePixelsCopyClamp, true>(r, start, dx, dy);
      break;
    case LICE_COMBINE_ADD:
      gradLoop<_LICE_CombinePixelsAdd, false>(r, start, dx, dy);
      break;
    case LICE_COMBINE_DODGE:
      gradLoop<_LICE_CombinePixelsColorDodge, false>(r, start, dx, dy);
      break;
    case LICE_COMBINE_MULTIPLY:
      gradLoop<_LICE_CombinePixelsMulClamp, false>(r, start, dx, dy);
      break;
    case LICE_COMBINE_OVERLAY:
      gradLoop<_LICE_CombinePixelsOverlay, false>(r, start, dx, dy);
      break;
    default:
      gradLoop<_LICE_CombinePixelsHSVAdjust, false>(r, start, dx, dy);
      break;
  }
}

void LICE_MultiplyAddRect(LICE_IBitmap* dest, int x, int y, int w, int h, float rsc, float gsc,
                          float bsc, float asc, float radd, float gadd, float badd, float aadd) {
  ClippedRect r;
  if (!clipRect(dest, x, y, w, h, r)) return;
  // Per byte offset: scale and addend in 24.8, as 64-bit so no factor overflows.
  i64 sc[4], ad[4];
  sc[LICE_PIXEL_A] = satInt(asc * 256.0);
  sc[LICE_PIXEL_R] = satInt(rsc * 256.0);
  sc[LICE_PIXEL_G] = satInt(gsc * 256.0);
  sc[LICE_PIXEL_B] = satInt(bsc * 256.0);
  ad[LICE_PIXEL_A] = satInt(aadd * 256.0);
  ad[LICE_PIXEL_R] = satInt(radd * 256.0);
  ad[LICE_PIXEL_G] = satInt(gadd * 256.0);
  ad[LICE_PIXEL_B] = satInt(badd * 256.0);
  LICE_pixel* row = r.first;
  for (int j = 0; j < r.h; ++j, row += r.step) {
    for (int i = 0; i < r.w; ++i) {
      LICE_pixel_chan* p = (LICE_pixel_chan*)(row + i);
      for (int k = 0; k < 4; ++k) {
        const i64 v = ad[k] + sc[k] * p[k];
        p[k] = (LICE_pixel_chan)(v < 0 ? 0 : (v >= 65536 ? 255 : (int)(v >> 8)));
      }
    }
  }
}

void LICE_ProcessRect(LICE_IBitmap* dest, int x, int y, int w, int h,
                      void (*callback)(LICE_pixel* px, void* parm), void* parm) {
  if (!callback) return;
  ClippedRect r;
  if (!clipRect(dest, x, y, w, h, r)) return;
  LICE_pixel* row = r.first;
  for (int j = 0; j < r.h; ++j, row += r.step)
    for (int i = 0; i < r.w; ++i) callback(row + i, parm);
}

void LICE_SetAlphaFromColorMask(LICE_IBitmap* dest, LICE_pixel color) {
  if (!usable(dest)) return;
  const int w = dest->getWidth(), h = dest->getHeight();
  const intptr_t step = rowStep(dest);
  LICE_pixel* row = pixelAt(dest, 0, 0);
  for (int j = 0; j < h; ++j, row += step)
    for (int i = 0; i < w; ++i)
      row[i] = (row[i] & 0xFFFFFF00u) | ((row[i] & 0xFFFFFF00u) == color ? 0u : 0xFFu);
}

void LICE_SimpleFill(LICE_IBitmap* dest, int x, int y, LICE_pixel newcolor, LICE_pixel comparemask,
                     LICE_pixel keepmask) {
  if (!usable(dest)) return;
  const int w = dest->getWidth(), h = dest->getHeight();
  if (x < 0 || y < 0 || x >= w || y >= h) return;
  const LICE_pixel target = *pixelAt(dest, x, y) & comparemask;
  auto matches = [&](LICE_pixel p) { return (p & comparemask) == target; };
  // A replaced pixel may still match (newcolor can fall in the compare
  // class); each row is therefore scanned from column x in both directions
  // over its original extent, found before any pixel of it changes.
  auto fillRow = [&](int yy) -> bool {
    LICE_pixel* row = pixelAt(dest, 0, yy);
    if (!matches(row[x])) return false;
    int l = x, r = x;
    while (l > 0 && matches(row[l - 1])) --l;
    while (r < w - 1 && matches(row[r + 1])) ++r;
    for (int i = l; i <= r; ++i) row[i] = newcolor | (row[i] & keepmask);
    return true;
  };
  for (int yy = y; yy < h && fillRow(yy); ++yy) {
  }
  for (int yy = y - 1; yy >= 0 && fillRow(yy); --yy) {
  }
}
