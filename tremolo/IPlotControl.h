// IPlotControl: one LFO cycle drawn as a soft glowing line.
//
// The plug-in hands the control a vector of values in 0..1 (AddData); each
// draw turns them into a polyline of thick anti-aliased segments in a private
// bitmap, blurs that five times and adds the result onto the editor's back
// buffer. The sharp line itself never reaches the screen.
//
// Threads: drawing runs on the editor thread; AddData and the writes to the
// borrowed vector come from whichever thread changes a parameter, under the
// plug-in mutex. DrawLine reads the vector under that same mutex, so a curve
// being rewritten is never drawn half old, half new. Both bitmaps are
// allocated at construction; a redraw allocates nothing.
#pragma once

#include <vector>

#include "editor/IControl.h"
#include "raster/Raster.h"

class IPlotControl : public IControl
{
public:
  // A plot filling `rect` (working area (0, 0, rect width, rect height)).
  // `background` (copied; may be null) is drawn under the curve in
  // `lineColor`. `paramIdx` is -1 for a plot bound to no parameter.
  IPlotControl(IPlugBase* plug, IRECT rect, IBitmap* background, IColor lineColor, int paramIdx = -1);
  // The same with an explicit working area, in coordinates local to the
  // control; its size is the size of the private bitmaps.
  IPlotControl(IPlugBase* plug, IRECT rect, IRECT workingRect, IBitmap* background, IColor lineColor,
               int paramIdx = -1);
  ~IPlotControl() override;

  // Forgets the data, sets the blends (glow: add at 1.0; intermediate
  // copies: alpha-blended at 1.0) and sizes both private bitmaps to the
  // working area (a negative size counts as 0). Called by the constructors.
  void init();
  // Plots `values` (borrowed: it must outlive the control or the next
  // AddData, and is read again at every draw) and marks the control dirty.
  // Caller holds the plug-in mutex when the plug-in owns the vector.
  void AddData(std::vector<double>& values);
  // New working area; the private bitmaps (and so the blit) keep their size.
  void SetWorkingRect(IRECT& r) { mWorkingRECT = r; }

  // Background, then the glowing curve when there is data; true when
  // something was drawn. Editor thread.
  bool Draw(IGraphics* graphics) override;
  // Clears both bitmaps, draws the curve, blurs it five times and adds it to
  // the back buffer, clipped to the area being redrawn. Always true.
  bool DrawBlurLine(IGraphics* graphics);
  // The curve into lineBitmap (nothing cleared first). False without data;
  // true, drawing nothing, for fewer than two values. Takes the plug-in mutex
  // while it reads the values.
  bool DrawLine(IGraphics* graphics);
  // Four anti-aliased lines offset by half a pixel to the left and up, so the
  // segment is about 1.5 pixels thick, in the line colour with `blend`.
  void DrawSmoothLine(float x1, float y1, float x2, float y2, IChannelBlend& blend);

  // The private bitmap DrawLine draws the sharp curve into; a full draw
  // leaves the blur's last intermediate copy there. Never null. Editor
  // thread.
  LICE_IBitmap* GetLineBitmap() { return &mLineBitmap; }
  // The blurred image of the last draw, as added to the screen (never null).
  // Editor thread.
  LICE_IBitmap* GetBlurTarget() { return &mBlurTarget; }
  // The plotting area, local to the control.
  const IRECT& GetWorkingRECT() const { return mWorkingRECT; }
  // True once AddData has given the control values to plot.
  bool HasData() const { return mData != nullptr; }

private:
  IBitmap* mBackground = nullptr;
  std::vector<double>* mData = nullptr;
  IRECT mWorkingRECT;
  IColor mLineColor;
  IChannelBlend mGlowBlend;
  IChannelBlend mCopyBlend;
  LICE_MemBitmap mBlurTarget;
  LICE_MemBitmap mLineBitmap;
};
