// Input dispatch: picks the control that receives each mouse and key event,
// keeps the mouse captured by the pressed control until release, tells the
// host when a user gesture on a parameter begins and ends, and carries out
// prompts for typed or menu input.
#include <cstdlib>
#include <cstring>

#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"

void IGraphics::ReleaseMouseCapture()
{
  mMouseCapture = mMouseX = mMouseY = -1;
}

int IGraphics::GetMouseControlIdx(int x, int y, bool mouseOver)
{
  if (mMouseCapture >= 0 && mMouseCapture < mControls.GetSize()) return mMouseCapture;
  for (int i = mControls.GetSize() - 1; i >= 0; --i)
  {
    IControl* control = mControls.Get(i);
    if (control->IsHidden()) continue;
    if (control->IsGrayed() && !(mouseOver && control->GetMOWhenGrayed())) continue;
    if (control->IsHit(x, y)) return i;
  }
  return -1;
}

void IGraphics::OnMouseDown(int x, int y, IMouseMod* mod)
{
  ReleaseMouseCapture();
  const int c = GetMouseControlIdx(x, y);
  if (c < 0) return;
  mMouseCapture = c;
  mMouseX = x;
  mMouseY = y;
  IControl* control = mControls.Get(c);
  const int paramIdx = control->ParamIdx();
  if (paramIdx >= 0 && mPlug) mPlug->BeginInformHostOfParamChange(paramIdx);
  control->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y, IMouseMod* mod)
{
  const int c = GetMouseControlIdx(x, y);
  ReleaseMouseCapture();
  if (c < 0) return;
  IControl* control = mControls.Get(c);
  control->OnMouseUp(x, y, mod);
  const int paramIdx = control->ParamIdx();
  if (paramIdx >= 0 && mPlug) mPlug->EndInformHostOfParamChange(paramIdx);
}

void IGraphics::OnMouseDrag(int x, int y, IMouseMod* mod)
{
  if (mMouseCapture < 0 || mMouseCapture >= mControls.GetSize()) return;
  if (x == mMouseX && y == mMouseY) return;
  const int dX = x - mMouseX, dY = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  mControls.Get(mMouseCapture)->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, IMouseMod* mod)
{
  ReleaseMouseCapture();
  const int c = GetMouseControlIdx(x, y);
  if (c < 0) return false;
  IControl* control = mControls.Get(c);
  if (control->GetDblAsSingleClick())
  {
    mMouseCapture = c;
    mMouseX = x;
    mMouseY = y;
    control->OnMouseDown(x, y, mod);
    return true;
  }
  control->OnMouseDblClick(x, y, mod);
  return false;
}

void IGraphics::OnMouseWheel(int x, int y, IMouseMod* mod, int d)
{
  const int c = GetMouseControlIdx(x, y);
  if (c >= 0) mControls.Get(c)->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::OnMouseOver(int x, int y, IMouseMod* mod)
{
  if (!mHandleMouseOver) return false;
  const int c = GetMouseControlIdx(x, y, true);
  if (c < 0) return true;
  mMouseX = x;
  mMouseY = y;
  mControls.Get(c)->OnMouseOver(x, y, mod);
  if (mMouseOver >= 0 && mMouseOver != c)
  {
    IControl* previous = mControls.Get(mMouseOver);
    if (previous) previous->OnMouseOut();
  }
  mMouseOver = c;
  return true;
}

void IGraphics::OnMouseOut()
{
  for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->OnMouseOut();
  mMouseOver = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key)
{
  const int c = GetMouseControlIdx(x, y);
  if (c > 0) return mControls.Get(c)->OnKeyDown(x, y, key);
  if (mKeyCatcher) return mKeyCatcher->OnKeyDown(x, y, key);
  return false;
}

int IGraphics::GetParamIdxForPTAutomation(int x, int y)
{
  const int c = GetMouseControlIdx(x, y);
  mLastClickedParam = (c > 0) ? mControls.Get(c)->ParamIdx() : -1;
  return mLastClickedParam;
}

int IGraphics::GetLastClickedParamForPTAutomation()
{
  const int last = mLastClickedParam;
  mLastClickedParam = -1;
  return last;
}

void IGraphics::PromptUserInput(IControl* control, IParam* param, IRECT* r)
{
  if (!control || !param || !r) return;
  const int nTexts = param->GetNDisplayTexts();
  const IParam::EParamType type = param->Type();
  char current[128] = "";

  if (type == IParam::kTypeEnum || (type == IParam::kTypeBool && nTexts > 0))
  {
    param->GetDisplayForHost(param->Value(), false, current, (int)sizeof(current), true);
    IPopupMenu menu;
    for (int i = 0; i < nTexts; ++i)
    {
      const char* text = param->GetDisplayText(i);
      const bool checked = std::strcmp(text, current) == 0;
      menu.AddItem(text, -1, checked ? IPopupMenuItem::kChecked : 0);
    }
    IPopupMenu* chosen = CreateIPopupMenu(&menu, r);
    if (chosen)
    {
      const int item = chosen->GetChosenItemIdx();
      // A platform that returns a menu without a valid choice changes nothing.
      if (item >= 0 && item < nTexts) control->SetValueFromUserInput(param->GetNormalized((double)item));
    }
    return;
  }

  param->GetDisplayForHost(param->Value(), false, current, (int)sizeof(current), false);
  CreateTextEntry(control, control->GetText(), r, current, param);
}

void IGraphics::SetFromStringAfterPrompt(IControl* control, IParam* param, char* text)
{
  if (!control || !param) return;
  if (!text) text = const_cast<char*>("");
  double value = 0.0;
  const IParam::EParamType type = param->Type();
  if (type == IParam::kTypeBool || type == IParam::kTypeEnum)
  {
    int key = 0;
    if (param->MapDisplayText(text, &key)) value = key;
  }
  else
  {
    value = std::atof(text);
    if (param->GetNegateDisplay()) value = -value;
  }
  control->SetValueFromUserInput(param->GetNormalized(value));
}
