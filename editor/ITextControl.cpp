#include "editor/ITextControl.h"

#include <cstring>

#include "editor/IGraphics.h"

ITextControl::ITextControl(IPlugBase* plug, IRECT rect, IText* text, const char* str)
  : IControl(plug, rect)
{
  if (text) mText = *text;
  mStr.Set(str);
}

void ITextControl::SetTextFromPlug(const char* str)
{
  if (!str) str = "";
  if (std::strcmp(str, mStr.Get()) != 0)
  {
    SetDirty(false);
    mStr.Set(str);
  }
}

bool ITextControl::Draw(IGraphics* graphics)
{
  if (graphics && mStr.GetLength() > 0)
  {
    graphics->DrawIText(&mText, const_cast<char*>(mStr.Get()), &mRECT);
  }
  return true;
}
