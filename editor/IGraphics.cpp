// Graphics core: control list, surfaces, bitmap cache, parameter plumbing and
// the redraw cycle. Drawing primitives live in IGraphicsDrawing.cpp and input
// dispatch in IGraphicsInput.cpp.
#include "editor/IGraphics.h"

#include <cstdio>

#include "editor/IStandardControls.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"


// ---------------------------------------------------------------------------
// BitmapStorage

BitmapStorage::~BitmapStorage()
{
  WDL_MutexLock lock(&mMutex);
  for (int i = mRecords.GetSize() - 1; i >= 0; --i)
  {
    delete mRecords.Get(i)->bitmap;
  }
  mRecords.Empty(true);
}

LICE_IBitmap* BitmapStorage::Find(int id)
{
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < mRecords.GetSize(); ++i)
  {
    if (mRecords.Get(i)->id == id) return mRecords.Get(i)->bitmap;
  }
  return nullptr;
}

void BitmapStorage::Add(LICE_IBitmap* bitmap, int id)
{
  if (!bitmap) return;
  WDL_MutexLock lock(&mMutex);
  Record* record = new Record{id, bitmap};
  if (!mRecords.Add(record)) delete record;  // out of memory: the bitmap is leaked, not freed twice
}

void BitmapStorage::Remove(LICE_IBitmap* bitmap)
{
  if (!bitmap) return;
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < mRecords.GetSize(); ++i)
  {
    Record* record = mRecords.Get(i);
    if (record->bitmap == bitmap)
    {
      mRecords.Delete(i, true);
      delete bitmap;
      return;
    }
  }
}

int BitmapStorage::Count()
{
  WDL_MutexLock lock(&mMutex);
  return mRecords.GetSize();
}

BitmapStorage& IGraphics::BitmapCache()
{
  // Constructed on first use so that editors built during static
  // initialisation still find it; destroyed at process exit.
  static BitmapStorage s_bitmapCache;
  return s_bitmapCache;
}

// ---------------------------------------------------------------------------
// Construction

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int fps)
  : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps > 0 ? fps : 25)
{
}

IGraphics::~IGraphics()
{
  delete mKeyCatcher;
  mKeyCatcher = nullptr;
  mControls.Empty(true);  // last to first
  delete mDrawBitmap;
  delete mTmpBitmap;
}

void IGraphics::PrepDraw()
{
  if (!mDrawBitmap) mDrawBitmap = new LICE_SysBitmap(mWidth, mHeight);
  if (!mTmpBitmap) mTmpBitmap = new LICE_MemBitmap(0, 0, 4);
}

LICE_PackedPixel* IGraphics::GetBits() { return mDrawBitmap ? mDrawBitmap->getBits() : nullptr; }

bool IGraphics::MeasureIText(IText* text, char* str, IRECT* r) { return DrawIText(text, str, r, true); }

void IGraphics::Resize(int w, int h)
{
  if (w <= 0 || h <= 0) return;
  mWidth = w;
  mHeight = h;
  if (mDrawBitmap) mDrawBitmap->resize(w, h);
  if (mTmpBitmap) mTmpBitmap->resize(w, h);
  if (mPlug) mPlug->ResizeGraphics(w, h);
}

bool IGraphics::WindowIsOpen() { return GetWindow() != nullptr; }
const char* IGraphics::GetGUIAPI() { return ""; }
void* IGraphics::OpenWindow(void*, void*, short, short) { return nullptr; }
void IGraphics::AttachSubWindow(void*) {}
void IGraphics::RemoveSubWindow() {}
void IGraphics::HideMouseCursor() {}
void IGraphics::ShowMouseCursor() {}

// ---------------------------------------------------------------------------
// Controls

int IGraphics::AttachControl(IControl* control)
{
  if (!control || !mControls.Add(control)) return -1;
  return mControls.GetSize() - 1;
}

void IGraphics::AttachKeyCatcher(IControl* control)
{
  if (control == mKeyCatcher) return;
  delete mKeyCatcher;
  mKeyCatcher = control;
}

void IGraphics::InsertBackground(IControl* control)
{
  if (!mControls.Insert(0, control)) delete control;
}

void IGraphics::AttachBackground(int id, const char* name)
{
  IBitmap bitmap = LoadIBitmap(id, name, 1, false);
  InsertBackground(new IBitmapControl(mPlug, 0, 0, -1, &bitmap, IChannelBlend::kBlendClobber));
}

void IGraphics::AttachPanelBackground(const IColor* color)
{
  if (!color) return;
  InsertBackground(new IPanelControl(mPlug, IRECT(0, 0, mWidth, mHeight), color));
}

// ---------------------------------------------------------------------------
// Bitmaps

IBitmap IGraphics::LoadIBitmap(int id, const char* name, int nStates, bool framesAreHorizontal)
{
  BitmapStorage& cache = BitmapCache();
  LICE_IBitmap* bitmap = cache.Find(id);
  if (!bitmap)
  {
    bitmap = OSLoadBitmap(id, name);
    if (!bitmap)
    {
      // A missing skin image must not take the editor down: say which file it
      // was and carry on with an empty bitmap, which draws nothing.
      std::fprintf(stderr, "IGraphics: cannot load skin image \"%s\" (resource id %d)\n", name ? name : "",
                   id);
      bitmap = new LICE_MemBitmap(0, 0, 4);
    }
    cache.Add(bitmap, id);
  }
  return IBitmap(bitmap, bitmap->getWidth(), bitmap->getHeight(), nStates < 1 ? 1 : nStates,
                 framesAreHorizontal);
}

IBitmap IGraphics::ScaleBitmap(IBitmap* src, int destW, int destH)
{
  if (!src || !src->mData || destW <= 0 || destH <= 0) return IBitmap();
  LICE_IBitmap* srcBitmap = static_cast<LICE_IBitmap*>(src->mData);
  LICE_MemBitmap* dest = new LICE_MemBitmap(destW, destH, 4);
  LICE_ScaledBlit(dest, srcBitmap, 0, 0, destW, destH, 0.0f, 0.0f, (float)srcBitmap->getWidth(),
                  (float)srcBitmap->getHeight(), 1.0f, LICE_COMBINE_COPY | LICE_COMBINE_FILTER);
  BitmapCache().Add(dest, -1);
  return IBitmap(dest, destW, destH, src->N, false);
}

IBitmap IGraphics::CropBitmap(IBitmap* src, IRECT* r)
{
  if (!src || !src->mData || !r || r->W() <= 0 || r->H() <= 0) return IBitmap();
  LICE_IBitmap* srcBitmap = static_cast<LICE_IBitmap*>(src->mData);
  LICE_MemBitmap* dest = new LICE_MemBitmap(r->W(), r->H(), 4);
  LICE_Blit(dest, srcBitmap, 0, 0, r->L, r->T, r->W(), r->H(), 1.0f, LICE_COMBINE_COPY);
  BitmapCache().Add(dest, -1);
  return IBitmap(dest, r->W(), r->H(), src->N, false);
}

void IGraphics::RetainBitmap(IBitmap* bitmap)
{
  if (bitmap && bitmap->mData) BitmapCache().Add(static_cast<LICE_IBitmap*>(bitmap->mData), -1);
}

void IGraphics::ReleaseBitmap(IBitmap* bitmap)
{
  if (bitmap && bitmap->mData) BitmapCache().Remove(static_cast<LICE_IBitmap*>(bitmap->mData));
}

// ---------------------------------------------------------------------------
// Parameter and control state

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
  if (!normalized)
  {
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    value = param->GetNormalized(value);
  }
  for (int i = 0; i < mControls.GetSize(); ++i)
  {
    IControl* control = mControls.Get(i);
    if (control->ParamIdx() == paramIdx) control->SetValueFromPlug(value);
    const int auxIdx = control->AuxParamIdx(paramIdx);
    if (auxIdx >= 0) control->SetAuxParamValueFromPlug(auxIdx, value);
  }
}

void IGraphics::SetControlFromPlug(int controlIdx, double normalizedValue)
{
  IControl* control = mControls.Get(controlIdx);
  if (control) control->SetValueFromPlug(normalizedValue);
}

void IGraphics::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
  ForEachControlOf(paramIdx, [=](IControl* control) { control->SetValueFromUserInput(normalizedValue); });
}

void IGraphics::ClampControl(int paramIdx, double lo, double hi, bool normalized)
{
  if (!normalized)
  {
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    lo = param->GetNormalized(lo);
    hi = param->GetNormalized(hi);
  }
  ForEachControlOf(paramIdx, [=](IControl* control) { control->Clamp(lo, hi); });
}

void IGraphics::HideControl(int paramIdx, bool hide)
{
  ForEachControlOf(paramIdx, [=](IControl* control) { control->Hide(hide); });
}

void IGraphics::GrayOutControl(int paramIdx, bool gray)
{
  ForEachControlOf(paramIdx, [=](IControl* control) { control->GrayOut(gray); });
}

void IGraphics::SetAllControlsDirty()
{
  for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->SetDirty(false);
}

void IGraphics::SetStrictDrawing(bool strict)
{
  mStrict = strict;
  SetAllControlsDirty();
}

void IGraphics::AssignParamNameToolTips()
{
  for (int i = 0; i < mControls.GetSize(); ++i)
  {
    IControl* control = mControls.Get(i);
    IParam* param = control->GetParam();
    if (param) control->SetTooltip(param->GetNameForHost());
  }
}

// ---------------------------------------------------------------------------
// Redraw cycle

bool IGraphics::IsDirty(IRECT* r)
{
  if (!r) return false;
  bool dirty = false;
  for (int i = 0; i < mControls.GetSize(); ++i)
  {
    IControl* control = mControls.Get(i);
    if (control->IsDirty())
    {
      *r = r->Union(control->GetRECT());
      dirty = true;
    }
  }
  return dirty;
}

// A neighbour that merely touches the dirty area on its left or top edge is
// drawn as well: controls outline themselves on their own right and bottom
// columns (DrawRect draws on R and B), and those pixels lie inside the area.
static bool TouchesDrawArea(const IRECT& c, const IRECT& d)
{
  return !c.Empty() && !d.Empty() && c.R >= d.L && c.L < d.R && c.B >= d.T && c.T < d.B;
}

bool IGraphics::Draw(IRECT* r)
{
  const int n = mControls.GetSize();
  if (!n || !r) return true;

  if (mStrict)
  {
    mDrawRECT = *r;
    for (int i = 0; i < n; ++i)
    {
      IControl* control = mControls.Get(i);
      if (!control->IsHidden()) control->Draw(this);
      control->SetClean();
    }
  }
  else
  {
    IControl* background = mControls.Get(0);
    if (background->IsDirty())
    {
      mDrawRECT = *background->GetRECT();
      for (int i = 0; i < n; ++i)
      {
        IControl* control = mControls.Get(i);
        // The background is drawn even when hidden; hidden ones above it are skipped.
        if (i > 0 && control->IsHidden()) continue;
        control->Draw(this);
        control->SetClean();
      }
    }
    else
    {
      for (int i = 1; i < n; ++i)
      {
        IControl* dirtyControl = mControls.Get(i);
        if (!dirtyControl->IsDirty()) continue;
        mDrawRECT = *dirtyControl->GetRECT();
        for (int j = 0; j < n; ++j)
        {
          IControl* control = mControls.Get(j);
          if (control->IsHidden()) continue;
          if (j == i || TouchesDrawArea(*control->GetRECT(), mDrawRECT)) control->Draw(this);
        }
        dirtyControl->SetClean();
      }
    }
  }
  // Outside a pass bitmap drawing copies nothing.
  mDrawRECT = IRECT();
  return DrawScreen(r);
}

void IGraphics::OnGUIIdle()
{
  for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->OnGUIIdle();
}
