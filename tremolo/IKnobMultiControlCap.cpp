#include "tremolo/IKnobMultiControlCap.h"

#include "editor/IGraphics.h"

IKnobMultiControlCap::IKnobMultiControlCap(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* knob,
                                           IBitmap* caption, EAlignment alignment, EDirection direction,
                                           double gearing, bool hideCaption)
  : IKnobMultiControl(plug, x, y, paramIdx, knob, direction, gearing),
    mAnchorX(x),
    mAnchorY(y),
    mHideCaption(hideCaption)
{
  if (caption) mCaption = new IBitmap(*caption);
  SetAlignment(alignment);
}

IKnobMultiControlCap::~IKnobMultiControlCap() { delete mCaption; }

void IKnobMultiControlCap::SetAlignment(EAlignment alignment)
{
  mAlignment = alignment;
  const int x = mAnchorX, y = mAnchorY;
  const int cn = mCaption ? IBitmapFrames(*mCaption) : 1;

  if (alignment == kAlignCentred)
  {
    // One frame's rectangle with its top-left at the anchor, moved up and
    // left by half its size: knob and hit area are then both centred on the
    // anchor. (Halving the frame size equals halving the strip and dividing
    // by the frame count, as sizes are never negative.) Starting from the
    // anchor each time keeps a repeated call from walking the control.
    const IRECT frame = FrameRECT(x, y, mBitmap);
    mRECT = mTargetRECT = frame.GetShifted(-frame.W() / 2, -frame.H() / 2);
    if (mCaption)
    {
      const int cw = mCaption->W, ch = mCaption->H;
      mCaptionRECT = IRECT(x - cw / 2, y - ch / 2, x - cw / 2 + cw, y - ch / 2 + ch / cn);
    }
  }
  else if (alignment == kAlignTopLeft)
  {
    mRECT = mTargetRECT = FrameRECT(x, y, mBitmap);
    if (mCaption) mCaptionRECT = IRECT(x, y, x + mCaption->W, y + mCaption->H / cn);
  }
}

int IKnobMultiControlCap::KnobFrame(double value, int nFrames)
{
  if (nFrames < 2) return 1;
  const double scaled = double(nFrames - 1) * value;
  // Compared in double first so that a wild value cannot overflow the int.
  if (!(scaled >= 0.0)) return 1;
  if (scaled >= double(nFrames - 1)) return nFrames;
  return 1 + static_cast<int>(scaled);
}

bool IKnobMultiControlCap::Draw(IGraphics* graphics)
{
  if (mCaption && !mHideCaption) graphics->DrawBitmap(mCaption, &mCaptionRECT, 1, nullptr);
  return graphics->DrawBitmap(&mBitmap, &mRECT, KnobFrame(mValue, mBitmap.N), &mBlend);
}
