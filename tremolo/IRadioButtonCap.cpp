#include "tremolo/IRadioButtonCap.h"

#include "editor/IGraphics.h"

IRadioButtonCap::IRadioButtonCap(IPlugBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* button,
                                 IBitmap* caption, int captionDX, int captionDY, EDirection direction,
                                 bool reverse, bool hideCaption)
  : IRadioButtonsControl(plug, rect, paramIdx, nButtons, button, direction, reverse),
    mHideCaption(hideCaption)
{
  // Without a caption the control is a plain radio row, not a crash.
  if (!caption) return;
  mCaption = new IBitmap(*caption);
  const int l = rect.L + captionDX, t = rect.T + captionDY;
  mCaptionRECT = IRECT(l, t, l + mCaption->W, t + mCaption->H / IBitmapFrames(*mCaption));
}

IRadioButtonCap::~IRadioButtonCap() { delete mCaption; }

bool IRadioButtonCap::Draw(IGraphics* graphics)
{
  if (mCaption && !mHideCaption) graphics->DrawBitmap(mCaption, &mCaptionRECT, 1, nullptr);
  return IRadioButtonsControl::Draw(graphics);
}
