// Whole-pixel entry points to the combiners; the drawing loops use the
// inline combiners of the header directly.
#include "raster/lice_combine.h"

namespace {

template <class C>
void CallCombiner(LICE_pixel_chan* dest, int r, int g, int b, int a, int w) {
  C::doPix(dest, r, g, b, a, w);
}

// Selection shared by LICE_CombinePixels2 and its clamping twin. Plain copy
// at w <= 0 writes nothing; everything else follows LICE_Blit's choice.
template <class Clobber, class Copy, class SourceCopyFull, class SourceCopy>
void CombineInPlace(LICE_PackedPixel* dest, int r, int g, int b, int a, int w, int mode) {
  if (!dest || w == 0) return;
  if (w > LICE_WEIGHT_LIMIT) w = LICE_WEIGHT_LIMIT;
  if (w < -LICE_WEIGHT_LIMIT) w = -LICE_WEIGHT_LIMIT;
  LICE_pixel_chan* d = reinterpret_cast<LICE_pixel_chan*>(dest);
  switch (mode & LICE_COMBINE_SELECT_MASK) {
    case LICE_COMBINE_COPY:
      if (w == 256)
        Clobber::doPix(d, r, g, b, a, w);
      else if (w > 0)
        Copy::doPix(d, r, g, b, a, w);
      return;
    case LICE_COMBINE_SOURCE_ALPHA | LICE_COMBINE_COPY:
      if (w == 256)
        SourceCopyFull::doPix(d, r, g, b, a, w);
      else
        SourceCopy::doPix(d, r, g, b, a, w);
      return;
    default:
      LICE_WithBlitCombiner(mode, w, [&](auto tag) {
        using C = typename decltype(tag)::type;
        C::doPix(d, r, g, b, a, w);
      });
      return;
  }
}

}  // namespace

LICE_CombineFunc LICE_GetBlitCombineFunc(int mode, int w) {
  LICE_CombineFunc fn = nullptr;
  LICE_WithBlitCombiner(mode, w, [&](auto tag) {
    using C = typename decltype(tag)::type;
    fn = &CallCombiner<C>;
  });
  return fn;
}

LICE_PackedPixel LICE_CombinePixels(LICE_PackedPixel dest, LICE_PackedPixel src, float alpha, int mode) {
  // Plain copy at w = 256 is the clobber combiner, which yields src exactly.
  LICE_PackedPixel out = dest;
  LICE_CombinePixels2(&out, LICE_PixelR(src), LICE_PixelG(src), LICE_PixelB(src), LICE_PixelA(src),
                      LICE_AlphaToWeight(alpha), mode);
  return out;
}

void LICE_CombinePixels2(LICE_PackedPixel* dest, int r, int g, int b, int a, int w, int mode) {
  CombineInPlace<_LICE_CombinePixelsClobberNoClamp, _LICE_CombinePixelsCopyNoClamp,
                 _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp,
                 _LICE_CombinePixelsCopySourceAlphaNoClamp>(dest, r, g, b, a, w, mode);
}

void LICE_CombinePixels2Clamp(LICE_PackedPixel* dest, int r, int g, int b, int a, int w, int mode) {
  CombineInPlace<_LICE_CombinePixelsClobberClamp, _LICE_CombinePixelsCopyClamp,
                 _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmClamp,
                 _LICE_CombinePixelsCopySourceAlphaClamp>(dest, r, g, b, a, w, mode);
}
