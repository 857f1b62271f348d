#include "editor/IStandardControls.h"

#include "editor/IGraphics.h"

IRECT FrameRECT(int x, int y, const IBitmap& bitmap)
{
  const int n = IBitmapFrames(bitmap);
  if (bitmap.mFramesAreHorizontal) return IRECT(x, y, x + bitmap.W / n, y + bitmap.H);
  return IRECT(x, y, x + bitmap.W, y + bitmap.H / n);
}

int FrameForValue(double value, int nFrames)
{
  if (nFrames < 2) return 1;
  const double scaled = 0.5 + value * double(nFrames - 1);
  // Compared in double first so that a wild value cannot overflow the int conversion.
  if (!(scaled >= 0.0)) return 1;
  if (scaled >= double(nFrames)) return nFrames;
  return static_cast<int>(scaled) + 1;
}

static IBitmap CopyBitmap(const IBitmap* bitmap) { return bitmap ? *bitmap : IBitmap(); }

// The value of the first of `rects` containing (x, y): i / (n - 1), 0 when
// there is only one; `current` when none contains the point.
static double ValueOfRECTAt(const std::vector<IRECT>& rects, int x, int y, double current)
{
  const int n = static_cast<int>(rects.size());
  for (int i = 0; i < n; ++i)
    if (rects[i].Contains(x, y)) return (n > 1) ? double(i) / double(n - 1) : 0.0;
  return current;
}

// Normalized change of `d` wheel steps: 0.01 each, 0.001 with Shift or Control.
static double WheelDelta(const IMouseMod* mod, int d)
{
  return double(d) * ((mod && (mod->C || mod->S)) ? 0.001 : 0.01);
}

// ---------------------------------------------------------------------------

IPanelControl::IPanelControl(IPlugBase* plug, IRECT rect, const IColor* color)
  : IControl(plug, rect), mColor(color ? *color : COLOR_TRANSPARENT)
{
}

bool IPanelControl::Draw(IGraphics* graphics)
{
  // Filled only inside the area being redrawn, as bitmaps are: a panel drawn
  // as the neighbour of a dirty control must not wipe the controls around it
  // that this pass does not redraw.
  IRECT drawRECT = graphics->GetDrawRECT();
  IRECT r = mRECT.Intersect(&drawRECT);
  if (r.W() > 0 && r.H() > 0) graphics->FillIRect(&mColor, &r, &mBlend);
  return true;
}

// ---------------------------------------------------------------------------

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, int blendMethod)
  : IControl(plug, FrameRECT(x, y, CopyBitmap(bitmap)), paramIdx, blendMethod), mBitmap(CopyBitmap(bitmap))
{
}

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, IBitmap* bitmap, int blendMethod)
  : IBitmapControl(plug, x, y, -1, bitmap, blendMethod)
{
}

bool IBitmapControl::Draw(IGraphics* graphics)
{
  return graphics->DrawBitmap(&mBitmap, &mRECT, FrameForValue(mValue, mBitmap.N), &mBlend);
}

// ---------------------------------------------------------------------------

ISwitchControl::ISwitchControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, int blendMethod)
  : IBitmapControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
}

void ISwitchControl::ToggleStep()
{
  mValue += (mBitmap.N > 1) ? 1.0 / double(mBitmap.N - 1) : 1.0;
  if (mValue > 1.001) mValue = 0.0;
  SetDirty(true);
}

void ISwitchControl::OnMouseDown(int, int, IMouseMod*) { ToggleStep(); }
void ISwitchControl::OnMouseDblClick(int x, int y, IMouseMod* mod) { OnMouseDown(x, y, mod); }

ISwitchPopUpControl::ISwitchPopUpControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                                         int blendMethod)
  : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
  // Prompting is this control's whole purpose; with prompts disabled a press would do nothing.
  mDisablePrompt = false;
}

void ISwitchPopUpControl::OnMouseDown(int, int, IMouseMod*)
{
  PromptUserInput();
  SetDirty(true);
}

IContactControl::IContactControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, int blendMethod)
  : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
}

void IContactControl::OnMouseUp(int, int, IMouseMod*)
{
  mValue = 0.0;
  SetDirty(true);
}

IBitmapOverlayControl::IBitmapOverlayControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                                             IRECT targetArea, int blendMethod)
  : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod), mTargetArea(targetArea)
{
}

bool IBitmapOverlayControl::Draw(IGraphics* graphics)
{
  if (mValue < 0.5)
  {
    mTargetRECT = mTargetArea;
    return true;
  }
  mTargetRECT = mRECT;
  return IBitmapControl::Draw(graphics);
}

ISwitchFramesControl::ISwitchFramesControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                                           bool horizontalLayout, int blendMethod)
  : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
  mDisablePrompt = false;
  const int n = IBitmapFrames(mBitmap);
  const int w = mRECT.W() / n, h = mRECT.H() / n;
  for (int i = 0; i < n; ++i)
  {
    if (horizontalLayout)
      mRECTs.emplace_back(mRECT.L + i * w, mRECT.T, mRECT.L + i * w + w, mRECT.B);
    else
      mRECTs.emplace_back(mRECT.L, mRECT.T + i * h, mRECT.R, mRECT.T + i * h + h);
  }
}

const IRECT* ISwitchFramesControl::GetFrameRECT(int i) const
{
  return (i >= 0 && i < NFrameRECTs()) ? &mRECTs[i] : nullptr;
}

void ISwitchFramesControl::OnMouseDown(int x, int y, IMouseMod*)
{
  mValue = ValueOfRECTAt(mRECTs, x, y, mValue);
  SetDirty(true);
}

void ISwitchFramesControl::OnMouseDblClick(int x, int y, IMouseMod* mod) { OnMouseDown(x, y, mod); }

// ---------------------------------------------------------------------------

IInvisibleSwitchControl::IInvisibleSwitchControl(IPlugBase* plug, IRECT rect, int paramIdx)
  : IControl(plug, rect, paramIdx, IChannelBlend::kBlendClobber)
{
}

void IInvisibleSwitchControl::OnMouseDown(int, int, IMouseMod*)
{
  mValue = (mValue < 0.5) ? 1.0 : 0.0;
  SetDirty(true);
}

// ---------------------------------------------------------------------------

IRadioButtonsControl::IRadioButtonsControl(IPlugBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                                           EDirection direction, bool reverse)
  : IControl(plug, rect, paramIdx), mBitmap(CopyBitmap(bitmap))
{
  const int n = nButtons < 1 ? 1 : nButtons;
  const int W = mBitmap.W;
  const int h = static_cast<int>(double(mBitmap.H) / double(IBitmapFrames(mBitmap)));
  mRECTs.resize(n);
  if (direction == kHorizontal)
  {
    const int dX = (n > 1) ? static_cast<int>(double(rect.W() - n * W) / double(n - 1)) : 0;
    // Reversed rows mirror the unreversed ones: button 0 touches the far edge.
    int x = reverse ? rect.R - W : rect.L;
    for (int i = 0; i < n; ++i)
    {
      mRECTs[i] = IRECT(x, rect.T, x + W, rect.T + h);
      x += reverse ? -(W + dX) : (W + dX);
    }
  }
  else
  {
    const int dY = (n > 1) ? static_cast<int>(double(rect.H() - n * h) / double(n - 1)) : 0;
    int y = reverse ? rect.B - h : rect.T;
    for (int i = 0; i < n; ++i)
    {
      mRECTs[i] = IRECT(rect.L, y, rect.L + W, y + h);
      y += reverse ? -(h + dY) : (h + dY);
    }
  }
}

const IRECT* IRadioButtonsControl::GetButtonRECT(int i) const
{
  return (i >= 0 && i < NButtons()) ? &mRECTs[i] : nullptr;
}

void IRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (mod && mod->R)
  {
    PromptUserInput();
    return;
  }
  mValue = ValueOfRECTAt(mRECTs, x, y, mValue);
  SetDirty(true);
}

bool IRadioButtonsControl::Draw(IGraphics* graphics)
{
  const int n = NButtons();
  const int active = FrameForValue(mValue, n) - 1;
  for (int i = 0; i < n; ++i)
  {
    graphics->DrawBitmap(&mBitmap, &mRECTs[i], i == active ? 2 : 1, &mBlend);
  }
  return true;
}

// ---------------------------------------------------------------------------

IKnobControl::IKnobControl(IPlugBase* plug, IRECT rect, int paramIdx, EDirection direction, double gearing)
  : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing)
{
}

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, IMouseMod* mod)
{
  double gearing = mGearing;
  if (mod && (mod->C || mod->S)) gearing *= 10.0;
  // A zero-sized knob or a zero gearing has no meaningful travel: ignore the drag.
  if (gearing == 0.0) return;
  if (mDirection == kVertical)
  {
    if (mRECT.T == mRECT.B) return;
    mValue += double(dY) / double(mRECT.T - mRECT.B) / gearing;
  }
  else
  {
    if (mRECT.R == mRECT.L) return;
    mValue += double(dX) / double(mRECT.R - mRECT.L) / gearing;
  }
  SetDirty(true);
}

void IKnobControl::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
  mValue += WheelDelta(mod, d);
  SetDirty(true);
}

IKnobLineControl::IKnobLineControl(IPlugBase* plug, IRECT rect, int paramIdx, const IColor* color,
                                   double innerRadius, double outerRadius, double minAngle, double maxAngle,
                                   EDirection direction, double gearing)
  : IKnobControl(plug, rect, paramIdx, direction, gearing),
    mColor(color ? *color : COLOR_BLACK),
    mMinAngle(float(minAngle)),
    mMaxAngle(float(maxAngle)),
    mInnerRadius(float(innerRadius)),
    mOuterRadius(float(outerRadius))
{
  if (mOuterRadius == 0.0f) mOuterRadius = 0.5f * float(rect.W());
  mBlend = IChannelBlend(IChannelBlend::kBlendClobber, 1.0f);
}

bool IKnobLineControl::Draw(IGraphics* graphics)
{
  const double angle = mMinAngle + mValue * (mMaxAngle - mMinAngle);
  const float cx = float(mRECT.L + mRECT.R) * 0.5f, cy = float(mRECT.T + mRECT.B) * 0.5f;
  return graphics->DrawRadialLine(&mColor, cx, cy, float(angle), mInnerRadius, mOuterRadius, &mBlend, true);
}

IKnobRotaterControl::IKnobRotaterControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                                         double minAngle, double maxAngle, int yOffsetZeroDeg, EDirection direction,
                                         double gearing)
  : IKnobControl(plug, FrameRECT(x, y, CopyBitmap(bitmap)), paramIdx, direction, gearing),
    mBitmap(CopyBitmap(bitmap)),
    mMinAngle(minAngle),
    mMaxAngle(maxAngle),
    mYOffset(yOffsetZeroDeg)
{
}

bool IKnobRotaterControl::Draw(IGraphics* graphics)
{
  const double angle = mMinAngle + mValue * (mMaxAngle - mMinAngle);
  return graphics->DrawRotatedBitmap(&mBitmap, (mRECT.L + mRECT.R) / 2, (mRECT.T + mRECT.B) / 2, angle, mYOffset,
                                     &mBlend);
}

IKnobMultiControl::IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                                     EDirection direction, double gearing)
  : IKnobControl(plug, FrameRECT(x, y, CopyBitmap(bitmap)), paramIdx, direction, gearing),
    mBitmap(CopyBitmap(bitmap))
{
}

bool IKnobMultiControl::Draw(IGraphics* graphics)
{
  return graphics->DrawBitmap(&mBitmap, &mRECT, FrameForValue(mValue, mBitmap.N), &mBlend);
}

IKnobRotatingMaskControl::IKnobRotatingMaskControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* base,
                                                   IBitmap* mask, IBitmap* top, double minAngle, double maxAngle,
                                                   EDirection direction, double gearing)
  : IKnobControl(plug, FrameRECT(x, y, CopyBitmap(base)), paramIdx, direction, gearing),
    mBase(CopyBitmap(base)),
    mMask(CopyBitmap(mask)),
    mTop(CopyBitmap(top)),
    mMinAngle(minAngle),
    mMaxAngle(maxAngle)
{
}

bool IKnobRotatingMaskControl::Draw(IGraphics* graphics)
{
  const double angle = mMinAngle + mValue * (mMaxAngle - mMinAngle);
  return graphics->DrawRotatedMask(&mBase, &mMask, &mTop, mRECT.L, mRECT.T, angle, &mBlend);
}

// ---------------------------------------------------------------------------

IFaderControl::IFaderControl(IPlugBase* plug, int x, int y, int len, int paramIdx, IBitmap* bitmap,
                             EDirection direction, bool onlyHandle)
  : IControl(plug, IRECT(), paramIdx),
    mLen(len),
    mHandleSize(0),
    mBitmap(CopyBitmap(bitmap)),
    mDirection(direction),
    mOnlyHandle(onlyHandle)
{
  if (direction == kHorizontal)
  {
    mHandleSize = mBitmap.W;
    mRECT = IRECT(x, y, x + len, y + mBitmap.H);
  }
  else
  {
    mHandleSize = mBitmap.H;
    mRECT = IRECT(x, y, x + mBitmap.W, y + len);
  }
  mTargetRECT = mRECT;
}

IRECT IFaderControl::GetHandleRECT(double value) const
{
  if (value < 0.0) value = mValue;
  // Outside 0..1 (or NaN, as a first value from the plug-in may be) the handle
  // would leave the track, and a wild value would overflow the int offset.
  value = (value >= 0.0) ? (value < 1.0 ? value : 1.0) : 0.0;
  IRECT r(mRECT.L, mRECT.T, mRECT.L + mBitmap.W, mRECT.T + mBitmap.H);
  const int travel = mLen - mHandleSize;
  if (mDirection == kHorizontal)
  {
    const int offset = static_cast<int>(value * travel);
    r.L += offset;
    r.R += offset;
  }
  else
  {
    const int offset = static_cast<int>((1.0 - value) * travel);
    r.T += offset;
    r.B += offset;
  }
  return r;
}

void IFaderControl::SnapToMouse(int x, int y)
{
  const int travel = mLen - mHandleSize;
  // A track no longer than the handle has no position to choose.
  if (travel != 0)
  {
    if (mDirection == kHorizontal)
      mValue = double(x - mRECT.L - mHandleSize / 2) / double(travel);
    else
      mValue = 1.0 - double(y - mRECT.T - mHandleSize / 2) / double(travel);
  }
  SetDirty(true);
}

void IFaderControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
  if (mod && mod->R)
  {
    PromptUserInput();
    return;
  }
  SnapToMouse(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int, int, IMouseMod*) { SnapToMouse(x, y); }

void IFaderControl::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
  mValue += WheelDelta(mod, d);
  SetDirty(true);
}

bool IFaderControl::Draw(IGraphics* graphics)
{
  IRECT handle = GetHandleRECT();
  return graphics->DrawBitmap(&mBitmap, &handle, 1, &mBlend);
}

bool IFaderControl::IsHit(int x, int y)
{
  if (mOnlyHandle) return GetHandleRECT().Contains(x, y);
  return mTargetRECT.Contains(x, y);
}
