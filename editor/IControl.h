// IControl: base class of every element of the editor.
//
// A control is a rectangle of the back buffer, optionally bound to one plug-in
// parameter whose normalized value (0..1) it keeps. IGraphics owns the controls,
// routes input events to them and asks them to draw themselves during a pass.
//
// Redraw protocol: `mDirty` means "draw on the next pass"; `mRedraw` (redraw
// pending) means "draw once more on the pass after that". SetClean(), called by
// IGraphics after each draw, moves redraw-pending into dirty. A value change sets
// both, so a changed control is drawn on two consecutive passes.
//
// Every method runs on the user-interface thread; the plug-in mutex is not held
// unless stated.
#pragma once

#include <vector>

#include "framework/IPlugStructs.h"
#include "framework/Containers.h"

class IPlugBase;
class IGraphics;
class IParam;
class ITextControl;

// Frame count never below 1, so that size arithmetic on a bitmap cannot divide by 0.
inline int IBitmapFrames(const IBitmap& bitmap) { return bitmap.N < 1 ? 1 : bitmap.N; }

// One further parameter shown by a control besides its own.
struct AuxParam
{
  double mValue = 0.0;  // normalized
  int mParamIdx = -1;

  AuxParam(double value, int paramIdx) : mValue(value), mParamIdx(paramIdx) {}
};

class IControl
{
public:
  // Binds the control to `paramIdx` (-1: none); `blendMethod` is an IChannelBlend method 0..3.
  IControl(IPlugBase* plug, IRECT rect, int paramIdx = -1, int blendMethod = 0);
  virtual ~IControl();

  // --- Event handlers (called by IGraphics input dispatch) ---
  // Base: a press with the R flag (right button) prompts for a value.
  virtual void OnMouseDown(int x, int y, IMouseMod* mod);
  // Base: nothing. A drag carries the movement dX, dY since the last event.
  virtual void OnMouseUp(int x, int y, IMouseMod* mod);
  virtual void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod);
  // Base: restores the default value when one is known (>= 0) and reports it.
  virtual void OnMouseDblClick(int x, int y, IMouseMod* mod);
  // `d` is the wheel step count from the platform.
  virtual void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
  // `key` is a platform-independent key code; returns true when consumed (base: false).
  virtual bool OnKeyDown(int x, int y, int key);
  // The pointer moved over / left the control. Base: nothing.
  virtual void OnMouseOver(int x, int y, IMouseMod* mod);
  virtual void OnMouseOut();

  // Draws the control into the graphics object's back buffer; returns true when drawn.
  virtual bool Draw(IGraphics* graphics) = 0;

  // The plug-in or host changed the parameter (normalized value). The first call
  // also fixes the default value used by double clicks.
  virtual void SetValueFromPlug(double value);
  // A menu or text entry produced a normalized value; reports it to the plug-in.
  virtual void SetValueFromUserInput(double value);
  // Text typed into an entry opened without a parameter. Base: ignored.
  virtual void TextFromTextEntry(const char* text);

  // Hides or shows the control; dirty with redraw pending, so the area under it is repainted.
  virtual void Hide(bool hide);
  // A grayed control is drawn at weight 0.25 and not hit by clicks.
  virtual void GrayOut(bool gray);
  // Whether (x, y) in editor pixels lies inside the target rectangle.
  virtual bool IsHit(int x, int y);
  // Clamps the value into [clamp low, clamp high] and marks the control dirty.
  // With `pushParamToPlug`, reports the value to the plug-in (IPlugBase::
  // SetParameterFromGUI, which takes the plug-in mutex) and refreshes the
  // value and name display controls.
  virtual void SetDirty(bool pushParamToPlug = true);
  // Called by IGraphics after a draw: dirty = redraw pending; redraw pending = false.
  virtual void SetClean();
  // True when the control is due to be drawn on the next pass.
  virtual bool IsDirty();
  // Idle tick from platforms that have one. Base: nothing.
  virtual void OnGUIIdle();
  // Stores a normalized auxiliary value; ignores an `auxIdx` outside the list.
  virtual void SetAuxParamValueFromPlug(int auxIdx, double value);

  // --- Prompts ---
  // Asks the graphics object for a menu or text entry over the control; nothing
  // when the control has no parameter or prompts are disabled.
  void PromptUserInput();
  // The same over the caller's rectangle; a null `r` does nothing.
  void PromptUserInput(IRECT* r);

  // --- Auxiliary parameters ---
  // Appends an auxiliary record for `paramIdx` with value 0.
  void AddAuxParam(int paramIdx);
  // Position of the first record bound to `paramIdx`, or -1.
  int AuxParamIdx(int paramIdx) const;
  // Record at `auxIdx`, or null when out of range.
  AuxParam* GetAuxParam(int auxIdx);
  // Number of auxiliary records.
  int NAuxParams() const { return static_cast<int>(mAuxParams.size()); }
  // Reports every auxiliary value to the plug-in (takes the plug-in mutex).
  void SetAllAuxParamsFromGUI();

  // --- Accessors (plain reads and writes of the fields) ---
  IPlugBase* GetPlug() const { return mPlug; }
  // The plug-in's attached editor, or null before AttachGraphics.
  IGraphics* GetGUI() const;
  IRECT* GetRECT() { return &mRECT; }
  IRECT* GetTargetRECT() { return &mTargetRECT; }
  void SetTargetArea(IRECT r) { mTargetRECT = r; }
  int ParamIdx() const { return mParamIdx; }
  // The bound parameter, or null when unbound or out of range.
  IParam* GetParam() const;
  double GetValue() const { return mValue; }
  double GetDefaultValue() const { return mDefaultValue; }
  void SetDefaultValue(double value) { mDefaultValue = value; }
  IText* GetText() { return &mText; }
  void SetText(const IText& text) { mText = text; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int len) { mTextEntryLength = len; }
  const IChannelBlend* GetBlend() const { return &mBlend; }
  void SetBlendWeight(float weight) { mBlend.mWeight = weight; }
  double GetClampLo() const { return mClampLo; }
  double GetClampHi() const { return mClampHi; }
  // Bounds of the normalized value; applied at the next SetDirty.
  void Clamp(double lo, double hi) { mClampLo = lo; mClampHi = hi; }
  bool IsHidden() const { return mHide; }
  bool IsGrayed() const { return mGrayed; }
  bool IsRedrawPending() const { return mRedraw; }
  void SetRedrawPending() { mRedraw = true; }
  bool IsPromptDisabled() const { return mDisablePrompt; }
  void DisablePrompt(bool disable) { mDisablePrompt = disable; }
  bool GetDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetDblAsSingleClick(bool on) { mDblAsSingleClick = on; }
  bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
  void SetMOWhenGrayed(bool on) { mMOWhenGrayed = on; }
  // Text controls that show the value with its unit and the parameter's name; not owned.
  void SetValDisplayControl(ITextControl* control) { mValDisplayControl = control; }
  void SetNameDisplayControl(ITextControl* control) { mNameDisplayControl = control; }
  const char* GetTooltip() const { return mTooltip.Get(); }
  // Copies `tooltip`; null clears it.
  void SetTooltip(const char* tooltip) { mTooltip.Set(tooltip ? tooltip : ""); }

protected:
  int mTextEntryLength = 7;
  IText mText;
  IPlugBase* mPlug;
  IRECT mRECT, mTargetRECT;
  int mParamIdx;
  std::vector<AuxParam> mAuxParams;
  double mValue = 0.0, mDefaultValue = -1.0, mClampLo = 0.0, mClampHi = 1.0;
  bool mDirty = true, mHide = false, mGrayed = false, mRedraw = false, mDisablePrompt = true,
       mDblAsSingleClick = false, mMOWhenGrayed = false;
  IChannelBlend mBlend;
  ITextControl* mValDisplayControl = nullptr;
  ITextControl* mNameDisplayControl = nullptr;
  WDL_String mTooltip;
};
