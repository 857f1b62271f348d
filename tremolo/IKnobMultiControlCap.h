// IKnobMultiControlCap: a film-strip knob with a caption (scale) image,
// optionally centred on its anchor point so that the scale lies around the
// knob. Editor thread.
#pragma once

#include "editor/IStandardControls.h"

class IKnobMultiControlCap : public IKnobMultiControl
{
public:
  // Knob strip `knob` at (x, y): its top-left corner, or its centre with
  // kAlignCentred (then the caption is centred there too). A null `caption`
  // draws no caption; `gearing` > 0 is the drag travel in control heights.
  IKnobMultiControlCap(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* knob, IBitmap* caption,
                       EAlignment alignment, EDirection direction, double gearing, bool hideCaption);
  ~IKnobMultiControlCap() override;

  // Stores the alignment and places the knob, its hit area and the caption
  // for it; values other than kAlignTopLeft / kAlignCentred only store it.
  void SetAlignment(EAlignment alignment);
  // Caption drawn or not from the next draw on; does not redraw by itself.
  void HideCaption(bool hide) { mHideCaption = hide; }
  // Caption, then the knob frame for the value: 1 + (N - 1) * value,
  // truncated, within 1..N. Always true.
  bool Draw(IGraphics* graphics) override;

  // 1-based knob frame this control draws for a normalized `value` on a strip
  // of `nFrames` frames (truncating, as the strips are made for).
  static int KnobFrame(double value, int nFrames);

  // Where the caption is drawn; all zero without a caption.
  const IRECT& GetCaptionRECT() const { return mCaptionRECT; }
  // The alignment last given, as stored (also values it does not act on).
  EAlignment GetAlignment() const { return mAlignment; }
  // True while the caption is not drawn.
  bool IsCaptionHidden() const { return mHideCaption; }

private:
  IBitmap* mCaption = nullptr;
  int mAnchorX, mAnchorY;
  IRECT mCaptionRECT;
  EAlignment mAlignment = kAlignTopLeft;
  bool mHideCaption;
};
