#include "tremolo/IPlotControl.h"

#include "editor/IGraphics.h"
#include "framework/IPlugBase.h"

namespace
{
// Blur passes: five widen the 1.5-pixel line into a soft glow a few pixels
// across without washing it out.
constexpr int kBlurPasses = 5;
} // namespace

IPlotControl::IPlotControl(IPlugBase* plug, IRECT rect, IBitmap* background, IColor lineColor, int paramIdx)
  : IPlotControl(plug, rect, IRECT(0, 0, rect.W(), rect.H()), background, lineColor, paramIdx)
{
}

IPlotControl::IPlotControl(IPlugBase* plug, IRECT rect, IRECT workingRect, IBitmap* background, IColor lineColor,
                           int paramIdx)
  : IControl(plug, rect, paramIdx), mWorkingRECT(workingRect), mLineColor(lineColor)
{
  if (background) mBackground = new IBitmap(*background);
  init();
}

IPlotControl::~IPlotControl() { delete mBackground; }

void IPlotControl::init()
{
  mData = nullptr;
  mGlowBlend = IChannelBlend(IChannelBlend::kBlendAdd, 1.0f);
  mCopyBlend = IChannelBlend(IChannelBlend::kBlendNone, 1.0f);
  // A negative working size makes empty bitmaps, which every raster call
  // below treats as nothing to draw.
  const int w = mWorkingRECT.W() > 0 ? mWorkingRECT.W() : 0;
  const int h = mWorkingRECT.H() > 0 ? mWorkingRECT.H() : 0;
  mBlurTarget.resize(w, h);
  mLineBitmap.resize(w, h);
}

void IPlotControl::AddData(std::vector<double>& values)
{
  mData = &values;
  SetDirty(true);
}

bool IPlotControl::Draw(IGraphics* graphics)
{
  if (mBackground) graphics->DrawBitmap(mBackground, &mRECT, 1, nullptr);
  if (!mData) return false;
  return DrawBlurLine(graphics);
}

bool IPlotControl::DrawBlurLine(IGraphics* graphics)
{
  const int w = mBlurTarget.getWidth(), h = mBlurTarget.getHeight();
  // The glow is added only inside the area being redrawn: there the
  // background has just been laid down again. Adding outside it would stack
  // glow on glow each pass until the curve saturates. A pass that does not
  // reach the plot (a knob being redrawn) skips the curve and its blur.
  const int x0 = mRECT.L + mWorkingRECT.L, y0 = mRECT.T + mWorkingRECT.T;
  const IRECT target(x0, y0, x0 + w, y0 + h);
  LICE_IBitmap* backBuffer = graphics ? graphics->GetDrawBitmap() : nullptr;
  IRECT r;
  if (backBuffer)
  {
    const IRECT drawRECT = graphics->GetDrawRECT();
    r = target.Intersect(&drawRECT);
    if (r.W() <= 0 || r.H() <= 0) return true;
  }
  LICE_ClearRect(&mBlurTarget, 0, 0, w, h);
  LICE_ClearRect(&mLineBitmap, 0, 0, w, h);
  DrawLine(graphics);

  float copyWeight;
  int copyMode;
  BlendToLice(&mCopyBlend, &copyWeight, &copyMode);
  for (int pass = 0; pass < kBlurPasses; ++pass)
  {
    LICE_Blur(&mBlurTarget, &mLineBitmap, 0, 0, 0, 0, w, h);
    if (pass < kBlurPasses - 1) LICE_Blit(&mLineBitmap, &mBlurTarget, 0, 0, 0, 0, w, h, copyWeight, copyMode);
  }

  if (!backBuffer) return true;
  float glowWeight;
  int glowMode;
  BlendToLice(&mGlowBlend, &glowWeight, &glowMode);
  LICE_Blit(backBuffer, &mBlurTarget, r.L, r.T, r.L - x0, r.T - y0, r.W(), r.H(), glowWeight, glowMode);
  return true;
}

bool IPlotControl::DrawLine(IGraphics*)
{
  // The plug-in rewrites the vector under its mutex from the thread that
  // changed a parameter; reading it under the same (recursive) mutex keeps
  // the editor from drawing a half-written curve.
  IMutexLock lock(mPlug);
  if (!mData) return false;
  const std::vector<double>& values = *mData;
  if (values.size() < 2) return true;

  const double w = mWorkingRECT.W(), h = mWorkingRECT.H();
  const double n = static_cast<double>(values.size());
  // Divided by n, not n - 1: the curve stops short of the right edge, where
  // the next cycle's first value would be.
  const double xStep = (w - 4.0) / n;
  auto yOf = [&](double v) { return h - v * (h - 10.0) - 5.0; };

  double x1 = 2.0, y1 = yOf(values[0]);
  for (size_t i = 1; i < values.size(); ++i)
  {
    const double x2 = static_cast<double>(i) * xStep + 2.0;
    const double y2 = yOf(values[i]);
    DrawSmoothLine(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2), static_cast<float>(y2),
                   mGlowBlend);
    x1 = x2;
    y1 = y2;
  }
  return true;
}

void IPlotControl::DrawSmoothLine(float x1, float y1, float x2, float y2, IChannelBlend& blend)
{
  float weight;
  int mode;
  BlendToLice(&blend, &weight, &mode);
  const LICE_pixel color = mLineColor.ToPixel();
  LICE_FLine(&mLineBitmap, x1, y1, x2, y2, color, weight, mode, true);
  LICE_FLine(&mLineBitmap, x1 - 0.5f, y1, x2 - 0.5f, y2, color, weight, mode, true);
  LICE_FLine(&mLineBitmap, x1, y1 - 0.5f, x2, y2 - 0.5f, color, weight, mode, true);
  LICE_FLine(&mLineBitmap, x1 - 0.5f, y1 - 0.5f, x2 - 0.5f, y2 - 0.5f, color, weight, mode, true);
}
