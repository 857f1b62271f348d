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
  // A strip without frames counts as one frame rather than dividing by zero.
  const int n = mBitmap.N < 1 ? 1 : mBitmap.N;
  const int w = mBitmap.W, h = mBitmap.H;
  const int cn = (mCaption && mCaption->N >= 1) ? mCaption->N : 1;

  if (alignment == kAlignCentred)
  {
    if (mBitmap.mFramesAreHorizontal)
      mRECT = IRECT(x - w / (2 * n), y - h / 2, x - w / (2 * n) + w / n, y - h / 2 + h);
    else
      mRECT = IRECT(x - w / 2, y - h / (2 * n), x - w / 2 + w, y - h / (2 * n) + h / n);
    // The hit area as the base made it (top-left at the anchor), centred too.
    // Starting from the base's rectangle each time keeps a repeated call from
    // walking the hit area further up and left.
    const IRECT base = FrameRECT(x, y, mBitmap);
    mTargetRECT = base.GetShifted(-base.W() / 2, -base.H() / 2);
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
