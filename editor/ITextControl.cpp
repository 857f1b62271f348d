#include "editor/ITextControl.h"

#include <cstring>

#include "framework/IParam.h"

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

// ---------------------------------------------------------------------------

ICaptionControl::ICaptionControl(IPlugBase* plug, IRECT rect, int paramIdx, IText* text, bool showParamLabel)
  : ITextControl(plug, rect, text, ""), mShowParamLabel(showParamLabel)
{
  mParamIdx = paramIdx;
}

void ICaptionControl::OnMouseDown(int, int, IMouseMod* mod)
{
  if (mod && (mod->L || mod->R)) PromptUserInput();
}

void ICaptionControl::OnMouseDblClick(int, int, IMouseMod*) { PromptUserInput(); }

bool ICaptionControl::Draw(IGraphics* graphics)
{
  if (IParam* param = GetParam())
  {
    char display[IParam::MAX_PARAM_DISPLAY_BUF];
    display[0] = 0;
    param->GetDisplayForHost(param->Value(), false, display, sizeof(display), true);
    mStr.Set(display);
    if (mShowParamLabel)
    {
      mStr.Append(" ");
      mStr.Append(param->GetLabelForHost());
    }
  }
  return ITextControl::Draw(graphics);
}

// ---------------------------------------------------------------------------

// Copies at most size - 1 bytes and terminates: callers' texts are not
// trusted to fit.
static void CopyBounded(char* dest, size_t size, const char* src)
{
  std::memset(dest, 0, size);
  if (src && src[0]) std::strncpy(dest, src, size - 1);
}

IURLControl::IURLControl(IPlugBase* plug, IRECT rect, const char* url, const char* backupURL,
                         const char* errMsgOnFailure)
  : IControl(plug, rect)
{
  CopyBounded(mURL, sizeof(mURL), url);
  CopyBounded(mBackupURL, sizeof(mBackupURL), backupURL);
  CopyBounded(mErrMsg, sizeof(mErrMsg), errMsgOnFailure);
}

void IURLControl::OnMouseDown(int, int, IMouseMod*)
{
  IGraphics* g = GetGUI();
  if (!g) return;
  bool opened = false;
  if (mURL[0]) opened = g->OpenURL(mURL, mErrMsg, nullptr, nullptr);
  if (!opened && mBackupURL[0]) g->OpenURL(mBackupURL, mErrMsg, nullptr, nullptr);
}

// ---------------------------------------------------------------------------

IFileSelectorControl::IFileSelectorControl(IPlugBase* plug, IRECT rect, int paramIdx, IBitmap* bitmap,
                                           EFileAction action, const char* dir, const char* extensions)
  : IControl(plug, rect, paramIdx), mFileAction(action)
{
  if (bitmap) mBitmap = *bitmap;
  mDir.Set(dir);
  mExtensions.Set(extensions);
}

void IFileSelectorControl::OnMouseDown(int, int, IMouseMod*)
{
  IGraphics* g = GetGUI();
  if (!g) return;
  mState = kFSSelecting;
  SetDirty(false);
  g->PromptForFile(&mFile, mFileAction, &mDir, const_cast<char*>(mExtensions.Get()));
  mValue += 1.0;
  if (mValue > 1.0) mValue = 0.0;
  mState = kFSDone;
  SetDirty(true);
}

bool IFileSelectorControl::Draw(IGraphics* graphics)
{
  if (graphics && mState == kFSSelecting) graphics->DrawBitmap(&mBitmap, &mRECT, 0, 0, nullptr);
  return true;
}

bool IFileSelectorControl::IsDirty()
{
  if (mDirty) return true;
  if (mState == kFSDone)
  {
    mState = kFSNone;
    return true;
  }
  return false;
}

void IFileSelectorControl::GetLastSelectedFileForPlug(WDL_String* out) const
{
  if (out) out->Set(mFile.Get());
}

void IFileSelectorControl::SetLastSelectedFileFromPlug(const char* file) { mFile.Set(file); }

// ---------------------------------------------------------------------------

void DrawBitmapedText(IGraphics* g, IBitmap* fontBitmap, IRECT* r, IText* text, IChannelBlend* blend,
                      const char* str, bool vCenter, bool multiline, int charWidth, int charHeight,
                      int charOffset)
{
  if (!g || !fontBitmap || !r || !str || !str[0]) return;
  const long long n = (long long)std::strlen(str);
  const int width = r->W();
  if (charWidth <= 0 || width <= 0) return;
  const long long y0 = vCenter ? r->T + ((long long)r->B - ((long long)r->T + charHeight)) / 2 : r->T;
  const long long w1 = n * charWidth;
  const int align = text ? (int)text->mAlign : (int)IText::kAlignCenter;
  long long x0 = r->L;
  if (align == IText::kAlignFar)
    x0 = r->R - w1;
  else if (align == IText::kAlignCenter)
    x0 = r->L + ((long long)r->R - (w1 + r->L)) / 2;

  long long perLine, lines = 1;
  if (multiline && w1 > width)
  {
    perLine = width / charWidth;
    lines = w1 / width + 1;
  }
  else if (multiline)
  {
    perLine = n;
  }
  else
  {
    perLine = width / charWidth;
  }
  if (perLine <= 0) return;

  long long i = 0;
  for (long long k = 0; k < lines; ++k)
  {
    long long x = x0;
    for (long long c = 0; c < perLine; ++c, ++i)
    {
      if (i >= n) return;
      // Bytes above 127 read as signed, like codes below 32, select frame 0
      // or less, which shows the first frame.
      const int code = (signed char)str[i];
      const long long top = y0 + k * charHeight;
      IRECT cell((int)x, (int)top, (int)(x + charWidth), (int)(top + charHeight));
      g->DrawBitmap(fontBitmap, &cell, code - 31, blend);
      x += charWidth + charOffset;
    }
  }
}

IBitmapTextControl::IBitmapTextControl(IPlugBase* plug, IRECT rect, IBitmap* fontBitmap, const char* str,
                                       IText* text, int charWidth, int charHeight, int charOffset, bool multiLine,
                                       bool vCenter)
  : IControl(plug, rect), mCharWidth(charWidth), mCharHeight(charHeight), mCharOffset(charOffset),
    mMultiLine(multiLine), mVCentre(vCenter)
{
  if (fontBitmap) mFontBitmap = *fontBitmap;
  if (text) mText = *text;
  mStr.Set(str);
}

void IBitmapTextControl::SetTextFromPlug(const char* str)
{
  if (!str) str = "";
  if (std::strcmp(str, mStr.Get()) != 0)
  {
    SetDirty(false);
    mStr.Set(str);
  }
}

bool IBitmapTextControl::Draw(IGraphics* graphics)
{
  if (graphics && mStr.GetLength() > 0)
  {
    DrawBitmapedText(graphics, &mFontBitmap, &mRECT, &mText, &mBlend, mStr.Get(), mVCentre, mMultiLine,
                     mCharWidth, mCharHeight, mCharOffset);
  }
  return true;
}
