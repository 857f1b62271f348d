// Shape drawing: each operation is one raster shape call on the back buffer
// (FillRoundRect is seven), with the colour and blend translated as for the
// other primitives.
#include "editor/IGraphics.h"

bool IGraphics::DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
                        const IChannelBlend* blend, bool antiAlias)
{
  if (!color) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_Arc(mDrawBitmap, cx, cy, r, minAngle, maxAngle, IColorToPixel(*color), weight, mode, antiAlias);
  return true;
}

bool IGraphics::DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend,
                           bool antiAlias)
{
  if (!color) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_Circle(mDrawBitmap, cx, cy, r, IColorToPixel(*color), weight, mode, antiAlias);
  return true;
}

bool IGraphics::RoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius,
                          bool antiAlias)
{
  if (!color || !r) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_RoundRect(mDrawBitmap, (float)r->L, (float)r->T, (float)r->W(), (float)r->H(), cornerRadius,
                 IColorToPixel(*color), weight, mode, antiAlias);
  return true;
}

bool IGraphics::FillRoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius,
                              bool antiAlias)
{
  if (!color || !r) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  const LICE_PackedPixel c = IColorToPixel(*color);
  const int x1 = r->L, y1 = r->T, w = r->W(), h = r->H(), cr = cornerRadius;
  LICE_FillRect(mDrawBitmap, x1 + cr, y1, w - 2 * cr, h, c, weight, mode);
  LICE_FillRect(mDrawBitmap, x1, y1 + cr, cr, h - 2 * cr, c, weight, mode);
  LICE_FillRect(mDrawBitmap, x1 + w - cr, y1 + cr, cr, h - 2 * cr, c, weight, mode);
  const float rad = (float)cr;
  LICE_FillCircle(mDrawBitmap, (float)(x1 + cr), (float)(y1 + cr), rad, c, weight, mode, antiAlias);
  LICE_FillCircle(mDrawBitmap, (float)(x1 + w - cr - 1), (float)(y1 + h - cr - 1), rad, c, weight, mode, antiAlias);
  LICE_FillCircle(mDrawBitmap, (float)(x1 + w - cr - 1), (float)(y1 + cr), rad, c, weight, mode, antiAlias);
  LICE_FillCircle(mDrawBitmap, (float)(x1 + cr), (float)(y1 + h - cr - 1), rad, c, weight, mode, antiAlias);
  return true;
}

bool IGraphics::FillCircle(const IColor* color, int cx, int cy, float r, const IChannelBlend* blend, bool antiAlias)
{
  if (!color) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_FillCircle(mDrawBitmap, (float)cx, (float)cy, r, IColorToPixel(*color), weight, mode, antiAlias);
  return true;
}

bool IGraphics::FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3,
                             IChannelBlend* blend)
{
  if (!color) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_FillTriangle(mDrawBitmap, x1, y1, x2, y2, x3, y3, IColorToPixel(*color), weight, mode);
  return true;
}

bool IGraphics::FillIConvexPolygon(const IColor* color, int* x, int* y, int npoints, const IChannelBlend* blend)
{
  if (!color) return true;
  float weight;
  int mode;
  BlendToLice(blend, &weight, &mode);
  LICE_FillConvexPolygon(mDrawBitmap, x, y, npoints, IColorToPixel(*color), weight, mode);
  return true;
}
