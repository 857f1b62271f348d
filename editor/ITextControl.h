// ITextControl: a control that shows a string in an IText style. It is what
// IControl::SetDirty expects as a value display or name display control.
#pragma once

#include "editor/IControl.h"

class ITextControl : public IControl
{
public:
  // Copies the whole `text` style (null keeps the default style) and `str` (null: empty).
  ITextControl(IPlugBase* plug, IRECT rect, IText* text, const char* str = "");

  // Replaces the text and marks the control dirty when it differs byte for byte.
  void SetTextFromPlug(const char* str);
  // Replaces the text without marking anything dirty.
  void SetTextString(const char* str) { mStr.Set(str); }
  // The current text; never null.
  const char* GetTextForPlug() const { return mStr.Get(); }

  // Draws the text with IGraphics::DrawIText when it is not empty; returns true.
  bool Draw(IGraphics* graphics) override;

protected:
  WDL_String mStr;
};
