#include "editor/IControl.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>

#include "editor/IGraphics.h"
#include "editor/ITextControl.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"

IControl::IControl(IPlugBase* plug, IRECT rect, int paramIdx, int blendMethod)
  : mPlug(plug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx)
{
  // mText starts as the default style: "Monaco" 10, default colours, centred.
  // Unknown methods draw as the default alpha-blended copy.
  const bool known = blendMethod >= IChannelBlend::kBlendNone && blendMethod <= IChannelBlend::kBlendColorDodge;
  mBlend = IChannelBlend(known ? static_cast<IChannelBlend::EBlendMethod>(blendMethod) : IChannelBlend::kBlendNone,
                         1.0f);
}

IControl::~IControl() {}

void IControl::OnMouseDown(int, int, IMouseMod* mod)
{
  if (mod && mod->R) PromptUserInput();
}

void IControl::OnMouseUp(int, int, IMouseMod*) {}
void IControl::OnMouseDrag(int, int, int, int, IMouseMod*) {}

void IControl::OnMouseDblClick(int, int, IMouseMod*)
{
  if (mDefaultValue >= 0.0)
  {
    mValue = mDefaultValue;
    SetDirty(true);
  }
}

void IControl::OnMouseWheel(int, int, IMouseMod*, int) {}
bool IControl::OnKeyDown(int, int, int) { return false; }
void IControl::OnMouseOver(int, int, IMouseMod*) {}
void IControl::OnMouseOut() {}

void IControl::SetValueFromPlug(double value)
{
  if (mDefaultValue < 0.0)
  {
    mDefaultValue = mValue = value;
  }
  if (mValue != value)
  {
    mValue = value;
    SetDirty(false);
    mRedraw = true;
  }
}

void IControl::SetValueFromUserInput(double value)
{
  if (mValue != value)
  {
    mValue = value;
    SetDirty(true);
    mRedraw = true;
  }
}

void IControl::TextFromTextEntry(const char*) {}

void IControl::Hide(bool hide)
{
  mHide = hide;
  mRedraw = true;
  SetDirty(false);
}

void IControl::GrayOut(bool gray)
{
  mGrayed = gray;
  mBlend.mWeight = gray ? 0.25f : 1.0f;
  SetDirty(false);
}

bool IControl::IsHit(int x, int y) { return mTargetRECT.Contains(x, y); }

void IControl::SetDirty(bool pushParamToPlug)
{
  // Written so that a NaN value also lands on the low bound.
  mValue = (mValue >= mClampLo) ? std::min(mValue, mClampHi) : mClampLo;
  mDirty = true;
  if (!pushParamToPlug || !mPlug || mParamIdx < 0) return;

  mPlug->SetParameterFromGUI(mParamIdx, mValue);
  IParam* param = GetParam();
  if (!param) return;

  if (mValDisplayControl)
  {
    char display[64] = "";
    // bounded: a huge value printed with decimals is longer than this buffer
    param->GetDisplayForHost(param->Value(), false, display, (int)sizeof(display), true);
    char text[80];
    std::snprintf(text, sizeof(text), "%.32s %.32s", display, param->GetLabelForHost());
    if (std::strcmp(text, mValDisplayControl->GetTextForPlug()) != 0)
    {
      mValDisplayControl->SetDirty(false);
      mValDisplayControl->SetTextString(text);
    }
  }
  if (mNameDisplayControl)
  {
    const char* name = param->GetNameForHost();
    if (std::strcmp(name, mNameDisplayControl->GetTextForPlug()) != 0)
    {
      mNameDisplayControl->SetDirty(false);
      mNameDisplayControl->SetTextString(name);
    }
  }
}

void IControl::SetClean()
{
  mDirty = mRedraw;
  mRedraw = false;
}

bool IControl::IsDirty() { return mDirty; }
void IControl::OnGUIIdle() {}

void IControl::SetAuxParamValueFromPlug(int auxIdx, double value)
{
  AuxParam* aux = GetAuxParam(auxIdx);
  if (aux && aux->mValue != value)
  {
    aux->mValue = value;
    SetDirty(false);
    mRedraw = true;
  }
}

void IControl::PromptUserInput()
{
  IParam* param = GetParam();
  if (param && param->GetNDisplayTexts() > 0)
  {
    PromptUserInput(&mRECT);
    return;
  }
  // A small entry field centred on the control.
  const int cx = static_cast<int>((mRECT.L + mRECT.R) * 0.5f);
  const int cy = static_cast<int>((mRECT.T + mRECT.B) * 0.5f);
  IRECT field(cx - 20, cy - 8, cx + 20, cy + 8);
  PromptUserInput(&field);
}

void IControl::PromptUserInput(IRECT* r)
{
  if (mParamIdx < 0 || mDisablePrompt || !r) return;
  IParam* param = GetParam();
  IGraphics* graphics = GetGUI();
  if (!param || !graphics) return;
  graphics->PromptUserInput(this, param, r);
  mRedraw = true;
}

void IControl::AddAuxParam(int paramIdx) { mAuxParams.emplace_back(0.0, paramIdx); }

int IControl::AuxParamIdx(int paramIdx) const
{
  for (size_t i = 0; i < mAuxParams.size(); ++i)
  {
    if (mAuxParams[i].mParamIdx == paramIdx) return static_cast<int>(i);
  }
  return -1;
}

AuxParam* IControl::GetAuxParam(int auxIdx)
{
  if (auxIdx < 0 || auxIdx >= NAuxParams()) return nullptr;
  return &mAuxParams[auxIdx];
}

void IControl::SetAllAuxParamsFromGUI()
{
  if (!mPlug) return;
  for (const AuxParam& aux : mAuxParams) mPlug->SetParameterFromGUI(aux.mParamIdx, aux.mValue);
}

IGraphics* IControl::GetGUI() const
{
  return mPlug ? mPlug->GetGUI<IGraphics>() : nullptr;
}

IParam* IControl::GetParam() const
{
  return (mPlug && mParamIdx >= 0) ? mPlug->GetParam(mParamIdx) : nullptr;
}
