// The standard value controls: panel, bitmap, switches, radio buttons, knobs
// and fader. Each draws its value with the drawing API and turns the gestures
// input dispatch routes to it into a normalized value, reported to the plug-in
// through SetDirty(true).
//
// Bitmaps are copied by value (the pixels stay in the process-wide cache).
// A control "sized from a bitmap" at (x, y) covers one frame: (x, y, x + W,
// y + H / N) for vertical strips and (x, y, x + W / N, y + H) for horizontal ones.
#pragma once

#include "editor/IControl.h"

// Mouse travel, in control heights (or widths), for a knob's full range.
#define DEFAULT_GEARING 4.0

// The rectangle one frame of `bitmap` covers when drawn at (x, y).
IRECT FrameRECT(int x, int y, const IBitmap& bitmap);
// 1-based frame that shows `value` (0..1) on a bitmap of `nFrames` frames.
int FrameForValue(double value, int nFrames);

// A rectangle filled with one colour.
class IPanelControl : public IControl
{
public:
  // A null colour fills with transparent black.
  IPanelControl(IPlugBase* plug, IRECT rect, const IColor* color);
  bool Draw(IGraphics* graphics) override;

protected:
  IColor mColor;
};

// Shows the frame of a film strip that matches its value.
class IBitmapControl : public IControl
{
public:
  // `blendMethod` is an IChannelBlend method (0..3); a null bitmap gives an empty control.
  IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, int blendMethod = 0);
  // The same without a parameter.
  IBitmapControl(IPlugBase* plug, int x, int y, IBitmap* bitmap, int blendMethod = 0);
  // Draws the frame that matches the value.
  bool Draw(IGraphics* graphics) override;
  // The control's copy of the bitmap handle.
  IBitmap* GetBitmap() { return &mBitmap; }

protected:
  IBitmap mBitmap;
};

// Steps through its frames on each press: 0, 1/(N-1), ..., 1, then back to 0.
class ISwitchControl : public IBitmapControl
{
public:
  // Sized from the bitmap at (x, y).
  ISwitchControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, int blendMethod = 0);
  // A press, and a double click likewise, steps to the next frame.
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;

protected:
  // Advances the value by one frame, wrapping past 1 to 0, and reports it.
  void ToggleStep();
};

// A switch whose press opens a menu or text entry for its parameter.
class ISwitchPopUpControl : public ISwitchControl
{
public:
  ISwitchPopUpControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, int blendMethod = 0);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
};

// A momentary switch: steps on press, returns to 0 on release.
class IContactControl : public ISwitchControl
{
public:
  IContactControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, int blendMethod = 0);
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
};

// Hidden below 0.5 (then only `targetArea` is clickable); shown over its whole rectangle otherwise.
class IBitmapOverlayControl : public ISwitchControl
{
public:
  IBitmapOverlayControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, IRECT targetArea,
                        int blendMethod = 0);
  bool Draw(IGraphics* graphics) override;

protected:
  IRECT mTargetArea;
};

// A switch whose frames are laid out side by side (or stacked); a press picks the frame under the mouse.
class ISwitchFramesControl : public ISwitchControl
{
public:
  // `horizontalLayout`: the control's rectangle is divided into columns rather than rows.
  ISwitchFramesControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, bool horizontalLayout = false,
                       int blendMethod = 0);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  // Number of frame areas, and area `i` (null outside the list).
  int NFrameRECTs() const { return static_cast<int>(mRECTs.size()); }
  const IRECT* GetFrameRECT(int i) const;

protected:
  std::vector<IRECT> mRECTs;
};

// An area that toggles its parameter between 0 and 1 and draws nothing.
class IInvisibleSwitchControl : public IControl
{
public:
  IInvisibleSwitchControl(IPlugBase* plug, IRECT rect, int paramIdx);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics*) override { return true; }
};

// A row or column of buttons; button i stands for value i / (n - 1). The bitmap
// holds the "off" frame first and the "on" frame second.
class IRadioButtonsControl : public IControl
{
public:
  // `nButtons` >= 1 (smaller counts become 1). With `reverse`, button 0 sits at the far edge.
  IRadioButtonsControl(IPlugBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                       EDirection direction = kVertical, bool reverse = false);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;
  int NButtons() const { return static_cast<int>(mRECTs.size()); }
  // Rectangle of button `i`, or null outside the list.
  const IRECT* GetButtonRECT(int i) const;

protected:
  std::vector<IRECT> mRECTs;
  IBitmap mBitmap;
};

// Base of the knobs: vertical (or horizontal) drags and the wheel change the value.
class IKnobControl : public IControl
{
public:
  // `gearing`: mouse travel in control heights (widths) for the full range; > 0.
  IKnobControl(IPlugBase* plug, IRECT rect, int paramIdx, EDirection direction = kVertical,
               double gearing = DEFAULT_GEARING);
  // Shift or Control divides the movement by 10.
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  // 0.01 per step, 0.001 with Shift or Control.
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  // Mouse travel in control heights (widths) for the full range.
  void SetGearing(double gearing) { mGearing = gearing; }
  double GetGearing() const { return mGearing; }

protected:
  EDirection mDirection;
  double mGearing;
};

// A knob drawn as a line from the centre along its angle.
class IKnobLineControl : public IKnobControl
{
public:
  // Angles in radians (0 up, clockwise); an outer radius of 0 becomes half the width.
  IKnobLineControl(IPlugBase* plug, IRECT rect, int paramIdx, const IColor* color, double innerRadius = 0.0,
                   double outerRadius = 0.0, double minAngle = -0.75 * 3.14159265358979323846,
                   double maxAngle = 0.75 * 3.14159265358979323846, EDirection direction = kVertical,
                   double gearing = DEFAULT_GEARING);
  bool Draw(IGraphics* graphics) override;

protected:
  IColor mColor;
  float mMinAngle, mMaxAngle, mInnerRadius, mOuterRadius;
};

// A knob drawn as a bitmap rotated about the control's centre.
class IKnobRotaterControl : public IKnobControl
{
public:
  // Angles in radians (0 up, clockwise); the rectangle is the bitmap's, at (x, y).
  IKnobRotaterControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                      double minAngle = -0.75 * 3.14159265358979323846, double maxAngle = 0.75 * 3.14159265358979323846,
                      int yOffsetZeroDeg = 0, EDirection direction = kVertical, double gearing = DEFAULT_GEARING);
  bool Draw(IGraphics* graphics) override;

protected:
  IBitmap mBitmap;
  double mMinAngle, mMaxAngle;
  int mYOffset;
};

// A knob drawn from a film strip: the frame that matches the value.
class IKnobMultiControl : public IKnobControl
{
public:
  // Sized from the bitmap at (x, y).
  IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, EDirection direction = kVertical,
                    double gearing = DEFAULT_GEARING);
  bool Draw(IGraphics* graphics) override;
  // The control's copy of the bitmap handle.
  IBitmap* GetBitmap() { return &mBitmap; }

protected:
  IBitmap mBitmap;
};

// A knob drawn as a base image cut out by a rotated mask, with a rotated top layer.
class IKnobRotatingMaskControl : public IKnobControl
{
public:
  // Angles in degrees; the rectangle is the base bitmap's, at (x, y).
  IKnobRotatingMaskControl(IPlugBase* plug, int x, int y, int paramIdx, IBitmap* base, IBitmap* mask, IBitmap* top,
                           double minAngle = -120.0, double maxAngle = 120.0, EDirection direction = kVertical,
                           double gearing = DEFAULT_GEARING);
  bool Draw(IGraphics* graphics) override;

protected:
  IBitmap mBase, mMask, mTop;
  double mMinAngle, mMaxAngle;
};

// A handle moving along a track of `len` pixels; value 1 is the top (or right) end.
class IFaderControl : public IControl
{
public:
  IFaderControl(IPlugBase* plug, int x, int y, int len, int paramIdx, IBitmap* bitmap,
                EDirection direction = kVertical, bool onlyHandle = false);
  // Handle rectangle for value `value` (0..1; above 1 or NaN is clamped into
  // it); a negative value means the current one.
  IRECT GetHandleRECT(double value = -1.0) const;
  // Centres the handle on the mouse position and reports the value.
  virtual void SnapToMouse(int x, int y);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
  bool Draw(IGraphics* graphics) override;
  // Only the handle is hit when made with `onlyHandle`, else the whole track.
  bool IsHit(int x, int y) override;
  // Track length and handle size along the track, in pixels.
  int GetLength() const { return mLen; }
  int GetHandleSize() const { return mHandleSize; }

protected:
  int mLen, mHandleSize;
  IBitmap mBitmap;
  EDirection mDirection;
  bool mOnlyHandle;
};
