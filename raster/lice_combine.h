// Pixel combine modes: the single definition of how colours mix.
//
// Every drawing function takes a float alpha and a combine-mode word and
// writes each pixel through one of the per-pixel combiners below. The pixel
// loops are templates over the combiner type, so the inner loops carry no
// per-pixel mode tests (the rotated and delta blits call through
// LICE_CombineFunc pointers instead).
//
// Mode word: bits 0-7 the operation (LICE_COMBINE_COPY .. HSV_ADJUST; 6-255
// draw nothing), bits 8-15 the filter field (value 1 = bilinear sampling in
// the scaled, rotated, delta and transform blits), bit 16 source alpha.
// (mode & 0xF0) == 0xF0 is the channel-copy form of LICE_Blit.
//
// Weight: w = alpha * 256 truncated toward zero (1.0 -> 256, 0.5 -> 128);
// w == 0 draws nothing anywhere. Weights outside 0..256 are not rejected, the
// formulas extrapolate; LICE_AlphaToWeight saturates them at
// +-LICE_WEIGHT_LIMIT so that no intermediate product can overflow.
//
// Arithmetic conventions shared by every combiner:
// - d is the destination channel byte, s the source channel (s = a for the
//   alpha channel); unless stated, a formula applies to all four channels.
// - Divisions by 256, 128, 1024, 16384 are C++ integer divisions (truncate
//   toward zero, so -1 / 256 == 0), not shifts. Right shifts only ever see
//   values kept non-negative or range-checked first.
// - "Clamp" stores 0 below 0 and 255 above 255; the NoClamp forms store the
//   low 8 bits. Inside 0..256 and with channel values 0..255 the copy and
//   multiply results never leave 0..255, so NoClamp is exact there.
// - Combiner inputs: channel arguments 0..255 (the *Clamp copy/clobber forms
//   accept any int), weight within +-LICE_WEIGHT_LIMIT.
//
// The packed (FAST) combiners work on whole 32-bit pixels with byte-wise
// shift-and-mask arithmetic. They drop low bits, so their results differ from
// the general copy formula by rounding; callers use them exactly at copy
// weights 64, 128, 192 and 256 so that output is bit-exact to that rule.
#pragma once

#include <array>
#include <cstdint>

#include "raster/lice_bitmap.h"

/// Operation values (mode & LICE_COMBINE_OP_MASK).
constexpr int LICE_COMBINE_COPY = 0;
constexpr int LICE_COMBINE_ADD = 1;
constexpr int LICE_COMBINE_DODGE = 2;
constexpr int LICE_COMBINE_MULTIPLY = 3;
constexpr int LICE_COMBINE_OVERLAY = 4;
constexpr int LICE_COMBINE_HSV_ADJUST = 5;
constexpr int LICE_COMBINE_OP_MASK = 0xFF;
/// Filter field value asking for bilinear sampling.
constexpr int LICE_COMBINE_FILTER = 0x100;
constexpr int LICE_COMBINE_FILTER_MASK = 0xFF00;
/// Weight each source pixel additionally by its own alpha.
constexpr int LICE_COMBINE_SOURCE_ALPHA = 0x10000;
/// Bits that select a blit combiner: operation plus source-alpha flag.
constexpr int LICE_COMBINE_SELECT_MASK = 0x100FF;

/// Largest weight magnitude the combiners accept (alpha +-64).
constexpr int LICE_WEIGHT_LIMIT = 1 << 14;

/// Weight from alpha in single precision: (int)(alpha * 256) truncated,
/// saturated to +-LICE_WEIGHT_LIMIT; NaN gives 0.
inline int LICE_AlphaToWeight(float alpha) {
  const float v = alpha * 256.0f;
  if (!(v == v)) return 0;
  if (v >= (float)LICE_WEIGHT_LIMIT) return LICE_WEIGHT_LIMIT;
  if (v <= -(float)LICE_WEIGHT_LIMIT) return -LICE_WEIGHT_LIMIT;
  return (int)v;
}

/// Weight from alpha in double precision, (int)(double(alpha) * 256.0), with
/// the same saturation; used by the blits.
inline int LICE_AlphaToWeightD(double alpha) {
  const double v = alpha * 256.0;
  if (!(v == v)) return 0;
  if (v >= (double)LICE_WEIGHT_LIMIT) return LICE_WEIGHT_LIMIT;
  if (v <= -(double)LICE_WEIGHT_LIMIT) return -LICE_WEIGHT_LIMIT;
  return (int)v;
}

/// 0 below 0, 255 above 255, else v.
inline constexpr int LICE_ClampChannel(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

/// Effective weight of a source pixel with alpha byte a under source alpha.
inline constexpr int LICE_SourceAlphaWeight(int w, int a) { return w * (a + 1) / 256; }

/// Per-channel combiner signature: dest points at the 4 bytes of one pixel
/// (offsets LICE_PIXEL_A..B), r g b a are the source channels, w the weight.
typedef void (*LICE_CombineFunc)(LICE_pixel_chan* dest, int r, int g, int b, int a, int w);

/// Base of the combiners that apply one formula to each channel in turn:
/// Mix::mix(d, s, w) gives the new value of channel byte d from source
/// channel s (s = a for alpha); the low 8 bits are stored.
template <class Mix>
struct LICE_ChannelwiseCombiner {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int w) {
    d[LICE_PIXEL_R] = (LICE_pixel_chan)Mix::mix(d[LICE_PIXEL_R], r, w);
    d[LICE_PIXEL_G] = (LICE_pixel_chan)Mix::mix(d[LICE_PIXEL_G], g, w);
    d[LICE_PIXEL_B] = (LICE_pixel_chan)Mix::mix(d[LICE_PIXEL_B], b, w);
    d[LICE_PIXEL_A] = (LICE_pixel_chan)Mix::mix(d[LICE_PIXEL_A], a, w);
  }
};

// ---------------------------------------------------------------------------
// Plain combiners (weight w).

/// d = s; the weight is ignored.
struct _LICE_CombinePixelsClobberNoClamp : LICE_ChannelwiseCombiner<_LICE_CombinePixelsClobberNoClamp> {
  static inline int mix(int, int s, int) { return s; }
};

/// d = clamp(s); the weight is ignored. Accepts any int channel value.
struct _LICE_CombinePixelsClobberClamp : LICE_ChannelwiseCombiner<_LICE_CombinePixelsClobberClamp> {
  static inline int mix(int, int s, int) { return LICE_ClampChannel(s); }
};

/// d = s + (d - s) * (256 - w) / 256, low 8 bits stored.
struct _LICE_CombinePixelsCopyNoClamp : LICE_ChannelwiseCombiner<_LICE_CombinePixelsCopyNoClamp> {
  static inline int mix(int d, int s, int w) { return s + (d - s) * (256 - w) / 256; }
};

/// The copy formula with every result clamped. Computed in 64 bits so that
/// any int channel value (gradient colours run outside 0..255) is safe.
struct _LICE_CombinePixelsCopyClamp : LICE_ChannelwiseCombiner<_LICE_CombinePixelsCopyClamp> {
  static inline int mix(int d, int s, int w) {
    const long long v = (long long)s + (long long)(d - (long long)s) * (256 - w) / 256;
    return v < 0 ? 0 : (v > 255 ? 255 : (int)v);
  }
};

/// d = (d + s) >> 1; the weight is ignored.
struct _LICE_CombinePixelsHalfMixNoClamp : LICE_ChannelwiseCombiner<_LICE_CombinePixelsHalfMixNoClamp> {
  static inline int mix(int d, int s, int) { return (d + s) >> 1; }
};

/// d = clamp(d + s * w / 256).
struct _LICE_CombinePixelsAdd : LICE_ChannelwiseCombiner<_LICE_CombinePixelsAdd> {
  static inline int mix(int d, int s, int w) { return LICE_ClampChannel(d + s * w / 256); }
};

/// v = s * w / 256; d = clamp(d * 256 / (256 - v)) for v <= 254, else
/// clamp(d * 256) (every non-zero channel saturates, 0 stays 0).
struct _LICE_CombinePixelsColorDodge : LICE_ChannelwiseCombiner<_LICE_CombinePixelsColorDodge> {
  static inline int mix(int d, int s, int w) {
    const int v = s * w / 256;
    return LICE_ClampChannel(v <= 254 ? (d * 256) / (256 - v) : d * 256);
  }
};

/// d = (d * (s * w + (256 - w) * 256)) >> 16: multiply with 256 as one, so
/// a channel of 255 darkens by 1/256. Low 8 bits stored.
struct _LICE_CombinePixelsMulNoClamp : LICE_ChannelwiseCombiner<_LICE_CombinePixelsMulNoClamp> {
  static inline int mix(int d, int s, int w) { return (d * (s * w + (256 - w) * 256)) >> 16; }
};

/// The multiply with the product range-checked before the shift.
struct _LICE_CombinePixelsMulClamp : LICE_ChannelwiseCombiner<_LICE_CombinePixelsMulClamp> {
  static inline int mix(int d, int s, int w) {
    const int t = d * (s * w + (256 - w) * 256);
    return t < 0 ? 0 : (t >= 0x1000000 ? 255 : (t >> 16));
  }
};

/// k = s * w + (256 - w) * 128 (the source pulled toward neutral 128 by the
/// weight, scaled by 256); t = ((32768 - k) * d / 256 + k) * d is the overlay
/// curve scaled by 2^15. s = 128 leaves d unchanged.
struct _LICE_CombinePixelsOverlay : LICE_ChannelwiseCombiner<_LICE_CombinePixelsOverlay> {
  static inline int mix(int d, int s, int w) {
    const int k = s * w + (256 - w) * 128;
    const int t = ((32768 - k) * d / 256 + k) * d;
    return t < 0 ? 0 : (t >= 0x800000 ? 255 : (t >> 15));
  }
};

namespace lice_detail {
constexpr std::array<uint16_t, 256> MakeInvTab() {
  std::array<uint16_t, 256> t{};
  for (int k = 1; k < 256; ++k) t[k] = (uint16_t)(65536 / k - 1);
  return t;
}
}  // namespace lice_detail

/// Reciprocal table of the RGB-to-HSV conversion: entry 0 is 0, entry k is
/// floor(65536 / k) - 1 (entry 1 = 65535, entry 255 = 256).
inline constexpr std::array<uint16_t, 256> _LICE_RGB2HSV_invtab = lice_detail::MakeInvTab();

/// HSV adjust. The source channels are adjustments, not colours: r shifts
/// hue (r + r/2 - 192 scaled by w/256, about half a turn either way), g
/// saturation and b value (128 neutral, scaled by w/128). Hue runs 0..383 in
/// six sectors of 64. The destination alpha becomes a (not blended). Even a
/// tiny weight round-trips the pixel through HSV, which can change it.
struct _LICE_CombinePixelsHSVAdjust {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int w) {
    const int R = d[LICE_PIXEL_R], G = d[LICE_PIXEL_G], B = d[LICE_PIXEL_B];
    int mx, mn, base, n;
    if (G > R && G > B) {
      mx = G;
      mn = R < B ? R : B;
      base = 128;
      n = B - R;
    } else if (R > B) {
      mx = R;
      mn = G < B ? G : B;
      n = G - B;
      base = G < B ? 383 : 0;
    } else {
      mx = B;
      mn = R < G ? R : G;
      base = 256;
      n = R - G;
    }
    const int delta = mx - mn;
    int H = base + n * ((int)_LICE_RGB2HSV_invtab[delta] + 1) / 1024;
    int S = delta * (int)_LICE_RGB2HSV_invtab[mx] / 256;
    int V = mx;

    H += ((r + r / 2 - 192) * w) / 256;
    // Within the weight range 0..256 one wrap suffices; a larger weight can
    // shift further, so wrap fully rather than leave the hue table's range.
    if (H < 0 || H > 383) {
      H %= 384;
      if (H < 0) H += 384;
    }
    S = LICE_ClampChannel(S + ((g - 128) * w) / 128);
    V = LICE_ClampChannel(V + ((b - 128) * w) / 128);

    const int p = (256 - S) * V / 256;
    int oR, oG, oB;
    switch (H >> 6) {
      case 0: oR = V; oG = q(V, S, 64 - H); oB = p; break;
      case 1: oR = q(V, S, H - 64); oG = V; oB = p; break;
      case 2: oR = p; oG = V; oB = q(V, S, 192 - H); break;
      case 3: oR = p; oG = q(V, S, H - 192); oB = V; break;
      case 4: oR = q(V, S, 320 - H); oG = p; oB = V; break;
      default: oR = V; oG = p; oB = q(V, S, H - 320); break;
    }
    d[LICE_PIXEL_R] = (LICE_pixel_chan)oR;
    d[LICE_PIXEL_G] = (LICE_pixel_chan)oG;
    d[LICE_PIXEL_B] = (LICE_pixel_chan)oB;
    d[LICE_PIXEL_A] = (LICE_pixel_chan)a;
  }

 private:
  // Rising or falling channel of a sector, x in 0..64.
  static inline int q(int V, int S, int x) { return V * (16384 - x * S) / 16384; }
};

// ---------------------------------------------------------------------------
// Source-alpha combiners: the source alpha byte a scales the weight to
// w' = w * (a + 1) / 256. The copy forms keep the destination alpha and add
// the effective weight to it (saturating at 255), so a translucent image on an
// opaque buffer leaves it opaque while a transparent buffer builds coverage;
// the other operations treat alpha as a fourth colour channel.

/// a = 0: nothing. RGB: d = s + (d - s) * (256 - w') / 256; alpha:
/// d = min(255, d + w').
struct _LICE_CombinePixelsCopySourceAlphaNoClamp {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int w) {
    if (a == 0) return;
    const int ws = LICE_SourceAlphaWeight(w, a);
    d[LICE_PIXEL_R] = (LICE_pixel_chan)_LICE_CombinePixelsCopyNoClamp::mix(d[LICE_PIXEL_R], r, ws);
    d[LICE_PIXEL_G] = (LICE_pixel_chan)_LICE_CombinePixelsCopyNoClamp::mix(d[LICE_PIXEL_G], g, ws);
    d[LICE_PIXEL_B] = (LICE_pixel_chan)_LICE_CombinePixelsCopyNoClamp::mix(d[LICE_PIXEL_B], b, ws);
    const int da = d[LICE_PIXEL_A] + ws;
    d[LICE_PIXEL_A] = (LICE_pixel_chan)(da > 255 ? 255 : da);
  }
};

/// As CopySourceAlphaNoClamp with every stored value clamped.
struct _LICE_CombinePixelsCopySourceAlphaClamp {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int w) {
    if (a == 0) return;
    const int ws = LICE_SourceAlphaWeight(w, a);
    d[LICE_PIXEL_R] = (LICE_pixel_chan)_LICE_CombinePixelsCopyClamp::mix(d[LICE_PIXEL_R], r, ws);
    d[LICE_PIXEL_G] = (LICE_pixel_chan)_LICE_CombinePixelsCopyClamp::mix(d[LICE_PIXEL_G], g, ws);
    d[LICE_PIXEL_B] = (LICE_pixel_chan)_LICE_CombinePixelsCopyClamp::mix(d[LICE_PIXEL_B], b, ws);
    d[LICE_PIXEL_A] = (LICE_pixel_chan)LICE_ClampChannel(d[LICE_PIXEL_A] + ws);
  }
};

/// Source alpha at full weight (w = 256, the weight argument is ignored):
/// a = 0 nothing; a = 255 stores the colour with alpha 255; otherwise RGB
/// d = s + (d - s) * (255 - a) / 256 and alpha d = min(255, d + a).
struct _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int) {
    if (a == 0) return;
    if (a == 255) {
      d[LICE_PIXEL_R] = (LICE_pixel_chan)r;
      d[LICE_PIXEL_G] = (LICE_pixel_chan)g;
      d[LICE_PIXEL_B] = (LICE_pixel_chan)b;
      d[LICE_PIXEL_A] = 255;
      return;
    }
    const int ia = 255 - a;
    d[LICE_PIXEL_R] = (LICE_pixel_chan)(r + (d[LICE_PIXEL_R] - r) * ia / 256);
    d[LICE_PIXEL_G] = (LICE_pixel_chan)(g + (d[LICE_PIXEL_G] - g) * ia / 256);
    d[LICE_PIXEL_B] = (LICE_pixel_chan)(b + (d[LICE_PIXEL_B] - b) * ia / 256);
    const int da = d[LICE_PIXEL_A] + a;
    d[LICE_PIXEL_A] = (LICE_pixel_chan)(da > 255 ? 255 : da);
  }
};

/// As the previous one with every stored value clamped.
struct _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmClamp {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int) {
    if (a == 0) return;
    if (a == 255) {
      d[LICE_PIXEL_R] = (LICE_pixel_chan)LICE_ClampChannel(r);
      d[LICE_PIXEL_G] = (LICE_pixel_chan)LICE_ClampChannel(g);
      d[LICE_PIXEL_B] = (LICE_pixel_chan)LICE_ClampChannel(b);
      d[LICE_PIXEL_A] = 255;
      return;
    }
    const int ia = 255 - a;
    d[LICE_PIXEL_R] = (LICE_pixel_chan)LICE_ClampChannel(r + (d[LICE_PIXEL_R] - r) * ia / 256);
    d[LICE_PIXEL_G] = (LICE_pixel_chan)LICE_ClampChannel(g + (d[LICE_PIXEL_G] - g) * ia / 256);
    d[LICE_PIXEL_B] = (LICE_pixel_chan)LICE_ClampChannel(b + (d[LICE_PIXEL_B] - b) * ia / 256);
    d[LICE_PIXEL_A] = (LICE_pixel_chan)LICE_ClampChannel(d[LICE_PIXEL_A] + a);
  }
};

/// a = 0: nothing; otherwise Add with w' on all four channels.
struct _LICE_CombinePixelsAddSourceAlpha {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int w) {
    if (a == 0) return;
    _LICE_CombinePixelsAdd::doPix(d, r, g, b, a, LICE_SourceAlphaWeight(w, a));
  }
};

/// Dodge with w' (no test of a = 0).
struct _LICE_CombinePixelsColorDodgeSourceAlpha {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int w) {
    _LICE_CombinePixelsColorDodge::doPix(d, r, g, b, a, LICE_SourceAlphaWeight(w, a));
  }
};

/// a = 0: nothing; otherwise MulNoClamp with w'.
struct _LICE_CombinePixelsMulSourceAlphaNoClamp {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int w) {
    if (a == 0) return;
    _LICE_CombinePixelsMulNoClamp::doPix(d, r, g, b, a, LICE_SourceAlphaWeight(w, a));
  }
};

/// Overlay with w' (no test of a = 0).
struct _LICE_CombinePixelsOverlaySourceAlpha {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int w) {
    _LICE_CombinePixelsOverlay::doPix(d, r, g, b, a, LICE_SourceAlphaWeight(w, a));
  }
};

/// HSV adjust with w'.
struct _LICE_CombinePixelsHSVAdjustSourceAlpha {
  static inline void doPix(LICE_pixel_chan* d, int r, int g, int b, int a, int w) {
    _LICE_CombinePixelsHSVAdjust::doPix(d, r, g, b, a, LICE_SourceAlphaWeight(w, a));
  }
};

// ---------------------------------------------------------------------------
// Packed (FAST) combiners on whole pixels. Each takes the colour argument c'
// already prepared by prepare() once per call, so the loop body is one or two
// shift-and-mask steps.

/// d = c' (w = 256).
struct _LICE_CombinePixelsClobberFAST {
  static inline LICE_PackedPixel prepare(LICE_PackedPixel c) { return c; }
  static inline void doPix(LICE_PackedPixel* d, LICE_PackedPixel cp) { *d = cp; }
};

/// d = d/2 + src/2 byte-wise, with src a source pixel (w = 128).
struct _LICE_CombinePixelsHalfMixFAST {
  static inline LICE_PackedPixel prepare(LICE_PackedPixel c) { return c; }
  static inline void doPix(LICE_PackedPixel* d, LICE_PackedPixel src) {
    *d = ((*d >> 1) & 0x7F7F7F7Fu) + ((src >> 1) & 0x7F7F7F7Fu);
  }
};

/// d = c' + d/2 with c' = c/2 (w = 128).
struct _LICE_CombinePixelsHalfMix2FAST {
  static inline LICE_PackedPixel prepare(LICE_PackedPixel c) { return (c >> 1) & 0x7F7F7F7Fu; }
  static inline void doPix(LICE_PackedPixel* d, LICE_PackedPixel cp) {
    *d = cp + ((*d >> 1) & 0x7F7F7F7Fu);
  }
};

/// d = c' + d/4 + d/2 with c' = c/4 (w = 64).
struct _LICE_CombinePixelsQuarterMix2FAST {
  static inline LICE_PackedPixel prepare(LICE_PackedPixel c) { return (c >> 2) & 0x3F3F3F3Fu; }
  static inline void doPix(LICE_PackedPixel* d, LICE_PackedPixel cp) {
    const LICE_PackedPixel v = *d;
    *d = cp + ((v >> 2) & 0x3F3F3F3Fu) + ((v >> 1) & 0x7F7F7F7Fu);
  }
};

/// d = c' + d/4 with c' = c/2 + c/4 (w = 192).
struct _LICE_CombinePixelsThreeQuarterMix2FAST {
  static inline LICE_PackedPixel prepare(LICE_PackedPixel c) {
    return ((c >> 1) & 0x7F7F7F7Fu) + ((c >> 2) & 0x3F3F3F3Fu);
  }
  static inline void doPix(LICE_PackedPixel* d, LICE_PackedPixel cp) {
    *d = cp + ((*d >> 2) & 0x3F3F3F3Fu);
  }
};

// ---------------------------------------------------------------------------
// Selection helpers for the drawing loops.

/// Carries a combiner type into a generic lambda: `[&](auto tag) { using C =
/// typename decltype(tag)::type; loop<C>(...); }`.
template <class C>
struct LICE_CombinerTag {
  typedef C type;
};

/// Calls f(LICE_CombinerTag<C>{}) with the combiner LICE_Blit uses for mode
/// (operation and source-alpha bits) and weight w: copy is Clobber at 256,
/// CopyNoClamp for other w > 0 and nothing for w < 0; 1-5 Add, ColorDodge,
/// MulNoClamp, Overlay, HSVAdjust; with source alpha, copy is the
/// IgnoreAlphaParm form at 256 and CopySourceAlphaNoClamp otherwise, 1-5 the
/// source-alpha forms. Returns false (f not called) for w == 0 or a mode that
/// draws nothing. The filter field and the channel-copy form are not handled.
template <class F>
inline bool LICE_WithBlitCombiner(int mode, int w, F&& f) {
  if (w == 0) return false;
  switch (mode & LICE_COMBINE_SELECT_MASK) {
    case LICE_COMBINE_COPY:
      if (w == 256) {
        f(LICE_CombinerTag<_LICE_CombinePixelsClobberNoClamp>{});
        return true;
      }
      if (w < 0) return false;
      f(LICE_CombinerTag<_LICE_CombinePixelsCopyNoClamp>{});
      return true;
    case LICE_COMBINE_ADD: f(LICE_CombinerTag<_LICE_CombinePixelsAdd>{}); return true;
    case LICE_COMBINE_DODGE: f(LICE_CombinerTag<_LICE_CombinePixelsColorDodge>{}); return true;
    case LICE_COMBINE_MULTIPLY: f(LICE_CombinerTag<_LICE_CombinePixelsMulNoClamp>{}); return true;
    case LICE_COMBINE_OVERLAY: f(LICE_CombinerTag<_LICE_CombinePixelsOverlay>{}); return true;
    case LICE_COMBINE_HSV_ADJUST: f(LICE_CombinerTag<_LICE_CombinePixelsHSVAdjust>{}); return true;
    case LICE_COMBINE_SOURCE_ALPHA | LICE_COMBINE_COPY:
      if (w == 256)
        f(LICE_CombinerTag<_LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>{});
      else
        f(LICE_CombinerTag<_LICE_CombinePixelsCopySourceAlphaNoClamp>{});
      return true;
    case LICE_COMBINE_SOURCE_ALPHA | LICE_COMBINE_ADD:
      f(LICE_CombinerTag<_LICE_CombinePixelsAddSourceAlpha>{});
      return true;
    case LICE_COMBINE_SOURCE_ALPHA | LICE_COMBINE_DODGE:
      f(LICE_CombinerTag<_LICE_CombinePixelsColorDodgeSourceAlpha>{});
      return true;
    case LICE_COMBINE_SOURCE_ALPHA | LICE_COMBINE_MULTIPLY:
      f(LICE_CombinerTag<_LICE_CombinePixelsMulSourceAlphaNoClamp>{});
      return true;
    case LICE_COMBINE_SOURCE_ALPHA | LICE_COMBINE_OVERLAY:
      f(LICE_CombinerTag<_LICE_CombinePixelsOverlaySourceAlpha>{});
      return true;
    case LICE_COMBINE_SOURCE_ALPHA | LICE_COMBINE_HSV_ADJUST:
      f(LICE_CombinerTag<_LICE_CombinePixelsHSVAdjustSourceAlpha>{});
      return true;
    default: return false;
  }
}

/// Calls f(LICE_CombinerTag<C>{}) for operations 1-5 only (Add, ColorDodge,
/// MulNoClamp, Overlay, HSVAdjust), the choice every single-colour function
/// (pixels, lines, fills, shapes) makes after handling copy itself. Returns
/// false for copy, for operations above 5 and for w == 0.
template <class F>
inline bool LICE_WithOperationCombiner(int op, int w, F&& f) {
  if (w == 0) return false;
  switch (op & LICE_COMBINE_OP_MASK) {
    case LICE_COMBINE_ADD: f(LICE_CombinerTag<_LICE_CombinePixelsAdd>{}); return true;
    case LICE_COMBINE_DODGE: f(LICE_CombinerTag<_LICE_CombinePixelsColorDodge>{}); return true;
    case LICE_COMBINE_MULTIPLY: f(LICE_CombinerTag<_LICE_CombinePixelsMulNoClamp>{}); return true;
    case LICE_COMBINE_OVERLAY: f(LICE_CombinerTag<_LICE_CombinePixelsOverlay>{}); return true;
    case LICE_COMBINE_HSV_ADJUST: f(LICE_CombinerTag<_LICE_CombinePixelsHSVAdjust>{}); return true;
    default: return false;
  }
}

/// Function-pointer form of LICE_WithBlitCombiner for the rotated and delta
/// blits; null when nothing is to be drawn.
LICE_CombineFunc LICE_GetBlitCombineFunc(int mode, int w);

/// Combines src into dest as LICE_Blit would for one pixel and returns the
/// result: weight alpha * 256 truncated; w = 0 or a mode that draws nothing
/// returns dest; plain copy returns dest for w < 0 and src for w = 256.
LICE_PackedPixel LICE_CombinePixels(LICE_PackedPixel dest, LICE_PackedPixel src, float alpha, int mode);

/// Combines the channels r g b a (0..255) into *dest in place with integer
/// weight w (0 does nothing) and LICE_CombinePixels' selection. Null dest is
/// ignored.
void LICE_CombinePixels2(LICE_PackedPixel* dest, int r, int g, int b, int a, int w, int mode);

/// As LICE_CombinePixels2 with the clamping copy combiners (ClobberClamp,
/// CopyClamp, and the clamping source-alpha copies), so channel values
/// outside 0..255 are safe in copy mode.
void LICE_CombinePixels2Clamp(LICE_PackedPixel* dest, int r, int g, int b, int a, int w, int mode);
