// Drawing API: translates the editor's value types into raster-library calls
// on the back buffer.
//
// Only the two bitmap blits honour the draw rectangle of the current pass; the
// other primitives draw where they are told and rely on the raster library to
// clip to the back buffer. Float coordinates are truncated toward zero.
#include <climits>
#include <cmath>

#include "editor/IGraphics.h"

// Float coordinates become ints truncated toward zero and saturated at the int
// range; NaN becomes 0. A plain cast of such a value is undefined.
static int TruncToInt(double v)
{
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return static_cast<int>(v);
}

LICE_PackedPixel IColorToPixel(const IColor& c) { return c.ToPixel(); }

IColor PixelToIColor(LICE_PackedPixel p)
{
  return IColor(LICE_PixelA(p), LICE_PixelR(p), LICE_PixelG(p), LICE_PixelB(p));
}

void BlendToLice(const IChannelBlend* blend, float* weight, int* mode)
{
  *weight = 1.0f;
  *mode = LICE_COMBINE_COPY | LICE_COMBINE_SOURCE_ALPHA;
  if (!blend) return;
  *weight = blend->mWeight;
  switch (blend->mMethod)
  {
    case IChannelBlend::kBlendClobber: *mode = LICE_COMBINE_COPY; break;
    case IChannelBlend::kBlendAdd: *mode = LICE_COMBINE_ADD | LICE_COMBINE_SOURCE_ALPHA; break;
    case IChannelBlend::kBlendColorDodge: *mode = LICE_COMBINE_DODGE | LICE_COMBINE_SOURCE_ALPHA; break;
    default: break;  // 0 and unknown methods: alpha-blended copy
  }
}

static LICE_IBitmap* BitmapData(const IBitmap* bitmap)
{
  return bitmap ? static_cast<LICE_IBitmap*>(bitmap->mData) : nullptr;
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend)
{
  LICE_IBitmap* src = BitmapData(bitmap);
  if (!src || !dest || !mDrawBitmap) return true;
  const IRECT r = dest->Intersect(&mDrawRECT);
  if (r.W() <= 0 || r.H() <= 0) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_Blit(mDrawBitmap, src, r.L, r.T, srcX + r.L - dest->L, srcY + r.T - dest->T, r.W(), r.H(), weight, mode);
  return true;
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame, const IChannelBlend* blend)
{
  if (!bitmap) return true;
  int srcX = 0, srcY = 0;
  if (bitmap->N > 1 && frame > 1)
  {
    if (bitmap->mFramesAreHorizontal)
      srcX = static_cast<int>(double(frame - 1) * double(bitmap->W) / double(bitmap->N) + 0.5);
    else
      srcY = static_cast<int>(double(frame - 1) * double(bitmap->H) / double(bitmap->N) + 0.5);
  }
  return DrawBitmap(bitmap, dest, srcX, srcY, blend);
}

bool IGraphics::DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg,
                                  const IChannelBlend* blend)
{
  LICE_IBitmap* src = BitmapData(bitmap);
  if (!src || !mDrawBitmap) return true;
  const int W = bitmap->W, H = bitmap->H;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_RotatedBlit(mDrawBitmap, src, destCtrX - W / 2, destCtrY - H / 2, W, H, 0.0f, 0.0f, (float)W, (float)H,
                   (float)angle, false, weight, mode | LICE_COMBINE_FILTER, 0.0f, (float)yOffsetZeroDeg);
  return true;
}

bool IGraphics::DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                                const IChannelBlend* blend)
{
  LICE_IBitmap* baseBitmap = BitmapData(base);
  if (!baseBitmap || !mDrawBitmap) return true;
  const int W = base->W, H = base->H;
  if (!mTmpBitmap) mTmpBitmap = new LICE_MemBitmap(0, 0, 4);

  LICE_Copy(mTmpBitmap, baseBitmap);
  // Keep the base's colours with alpha 0; the rotated mask then writes the alpha.
  LICE_ClearRect(mTmpBitmap, 0, 0, W, H, 0xFFFFFF00, 0);
  const float a = static_cast<float>(angle * 3.14159265358979323846 / 180.0);
  const float xOffset = (W % 2) ? -0.5f : 0.0f;
  LICE_RotatedBlit(mTmpBitmap, BitmapData(mask), 0, 0, W, H, 0.0f, 0.0f, (float)W, (float)H, a, true, 1.0f,
                   LICE_COMBINE_ADD | LICE_COMBINE_FILTER | LICE_COMBINE_SOURCE_ALPHA, xOffset, 0.0f);
  LICE_RotatedBlit(mTmpBitmap, BitmapData(top), 0, 0, W, H, 0.0f, 0.0f, (float)W, (float)H, a, true, 1.0f,
                   LICE_COMBINE_COPY | LICE_COMBINE_FILTER | LICE_COMBINE_SOURCE_ALPHA, xOffset, 0.0f);

  IRECT dest(x, y, x + W, y + H);
  const IRECT r = dest.Intersect(&mDrawRECT);
  if (r.W() <= 0 || r.H() <= 0) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_Blit(mDrawBitmap, mTmpBitmap, r.L, r.T, r.L - x, r.T - y, r.W(), r.H(), weight, mode);
  return true;
}

bool IGraphics::DrawPoint(const IColor* color, float x, float y, const IChannelBlend* blend, bool)
{
  if (!color) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_PutPixel(mDrawBitmap, TruncToInt(x + 0.5f), TruncToInt(y + 0.5f), IColorToPixel(*color), weight, mode);
  return true;
}

bool IGraphics::ForcePixel(const IColor* color, int x, int y)
{
  if (!color || !mDrawBitmap) return true;
  LICE_PackedPixel* bits = mDrawBitmap->getBits();
  // Unchecked in its original form; a stray coordinate must not write past the buffer.
  if (!bits || x < 0 || y < 0 || x >= mDrawBitmap->getWidth() || y >= mDrawBitmap->getHeight()) return true;
  bits[y * mDrawBitmap->getRowSpan() + x] = IColorToPixel(*color);
  return true;
}

IColor IGraphics::GetPoint(int x, int y) { return PixelToIColor(LICE_GetPixel(mDrawBitmap, x, y)); }

bool IGraphics::DrawLine(const IColor* color, float x1, float y1, float x2, float y2, const IChannelBlend* blend,
                         bool antiAlias)
{
  if (!color) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_Line(mDrawBitmap, TruncToInt(x1), TruncToInt(y1), TruncToInt(x2), TruncToInt(y2), IColorToPixel(*color),
            weight, mode, antiAlias);
  return true;
}

bool IGraphics::DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                               const IChannelBlend* blend, bool antiAlias)
{
  const float s = std::sin(angle), c = std::cos(angle);
  return DrawLine(color, cx + rMin * s, cy - rMin * c, cx + rMax * s, cy - rMax * c, blend, antiAlias);
}

bool IGraphics::DrawVerticalLine(const IColor* color, int xi, int yLo, int yHi)
{
  if (!color) return true;
  LICE_Line(mDrawBitmap, xi, yLo, xi, yHi, IColorToPixel(*color), 1.0f, LICE_COMBINE_COPY, false);
  return true;
}

bool IGraphics::DrawHorizontalLine(const IColor* color, int yi, int xLo, int xHi)
{
  if (!color) return true;
  LICE_Line(mDrawBitmap, xLo, yi, xHi, yi, IColorToPixel(*color), 1.0f, LICE_COMBINE_COPY, false);
  return true;
}

static float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// start + trunc(extent * fraction) in 64 bits, saturated to an int: a NaN
// fraction lands on the start edge and an extreme rectangle cannot overflow.
static int LineAt(int start, long long extent, float fraction)
{
  const long long v = (long long)start + TruncToInt(double(float(extent) * Clamp01(fraction)));
  return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
}

bool IGraphics::DrawVerticalLine(const IColor* color, IRECT* r, float x)
{
  if (!r) return true;
  return DrawVerticalLine(color, LineAt(r->L, (long long)r->R - r->L, x), r->T, r->B);
}

bool IGraphics::DrawHorizontalLine(const IColor* color, IRECT* r, float y)
{
  if (!r) return true;
  return DrawHorizontalLine(color, LineAt(r->B, -((long long)r->B - r->T), y), r->L, r->R);
}

bool IGraphics::DrawRect(const IColor* color, IRECT* r)
{
  if (!r) return true;
  DrawHorizontalLine(color, r->T, r->L, r->R);
  DrawHorizontalLine(color, r->B, r->L, r->R);
  DrawVerticalLine(color, r->L, r->T, r->B);
  DrawVerticalLine(color, r->R, r->T, r->B);
  return true;
}

bool IGraphics::FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend)
{
  if (!color || !r) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_FillRect(mDrawBitmap, r->L, r->T, r->W(), r->H(), IColorToPixel(*color), weight, mode);
  return true;
}
