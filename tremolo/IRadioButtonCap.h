// IRadioButtonCap: a row or column of radio buttons with a caption image at
// a fixed offset from the control's top-left corner. Editor thread.
#pragma once

#include "editor/IStandardControls.h"

class IRadioButtonCap : public IRadioButtonsControl
{
public:
  // `nButtons` (>= 1) buttons of `button` (frame 1 off, frame 2 on) spread
  // over `rect`; the caption's top-left corner is (rect.L + captionDX,
  // rect.T + captionDY). A null `caption` draws no caption.
  IRadioButtonCap(IPlugBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* button, IBitmap* caption,
                  int captionDX, int captionDY, EDirection direction, bool reverse, bool hideCaption);
  ~IRadioButtonCap() override;

  // Caption (unless hidden), then the buttons. Always true.
  bool Draw(IGraphics* graphics) override;
  // Caption drawn or not from the next draw on; does not redraw by itself.
  void HideCaption(bool hide) { mHideCaption = hide; }

  // Where the caption is drawn; all zero without a caption.
  const IRECT& GetCaptionRECT() const { return mCaptionRECT; }
  // True while the caption is not drawn.
  bool IsCaptionHidden() const { return mHideCaption; }

private:
  IBitmap* mCaption = nullptr;
  IRECT mCaptionRECT;
  bool mHideCaption;
};
