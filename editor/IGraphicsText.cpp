// Text drawing: the process-wide font cache and the IText operations of
// IGraphics.
#include <cstring>

#include "editor/IGraphics.h"

// ---------------------------------------------------------------------------
// FontStorage

FontStorage::~FontStorage()
{
  WDL_MutexLock lock(&mMutex);
  for (int i = mRecords.GetSize() - 1; i >= 0; --i) delete mRecords.Get(i)->font;
  mRecords.Empty(true);
}

LICE_CachedFont* FontStorage::Find(IText* text)
{
  if (!text) return nullptr;
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < mRecords.GetSize(); ++i)
  {
    const Record* r = mRecords.Get(i);
    if (r->size == text->mSize && r->orientation == text->mOrientation && r->style == (int)text->mStyle &&
        std::strcmp(r->face, text->mFont) == 0)
      return r->font;
  }
  return nullptr;
}

void FontStorage::Add(LICE_IFont* font, IText* text)
{
  LICE_CachedFont* cached = dynamic_cast<LICE_CachedFont*>(font);
  if (!cached || !text) return;
  WDL_MutexLock lock(&mMutex);
  Record* record = new Record{text->mSize, text->mOrientation, (int)text->mStyle, {}, cached};
  const size_t n = strnlen(text->mFont, sizeof(record->face) - 1);
  std::memcpy(record->face, text->mFont, n);
  record->face[n] = 0;
  if (!mRecords.Add(record)) delete record;  // out of memory: the font is leaked, never freed twice
}

int FontStorage::Count()
{
  WDL_MutexLock lock(&mMutex);
  return mRecords.GetSize();
}

FontStorage& IGraphics::FontCache()
{
  static FontStorage s_fontCache;
  return s_fontCache;
}

// ---------------------------------------------------------------------------
// Fonts

static HFONT CreatePlatformFont(const IText& text, int h)
{
  const int angle = text.mOrientation * 10;
  const int weight = text.mStyle == IText::kStyleBold ? 700 : 400;
  const int italic = text.mStyle == IText::kStyleItalic ? 1 : 0;
  int quality = 0;
  if (text.mQuality == IText::kQualityNonAntiAliased)
    quality = 3;
  else if (text.mQuality == IText::kQualityAntiAliased || text.mQuality == IText::kQualityClearType)
    quality = 4;
  return CreateFont(h, 0, angle, angle, weight, italic, 0, 0, 0, 0, 0, quality, 0, text.mFont);
}

LICE_CachedFont* IGraphics::CacheFont(IText* text)
{
  if (!text) return nullptr;
  FontStorage& cache = FontCache();
  // Held across look-up, creation and insertion, so that two threads asking
  // for the same new key end up with one font.
  WDL_MutexLock lock(cache.Mutex());
  if (LICE_CachedFont* found = cache.Find(text))
  {
    text->mCached = found;
    return found;
  }
  int h = text->mSize < 2 ? 2 : text->mSize;
  HFONT hf = CreatePlatformFont(*text, h);
  if (!hf) return nullptr;
  LICE_CachedFont* font = new LICE_CachedFont;
  font->SetFromHFont(hf, LICE_CF_OWNS_FONT | LICE_CF_NATIVE);
  const int lh = font->GetLineHeight();
  if (lh > 0 && lh != h)
  {
    // One correction toward a line height of the text's size; a second
    // mismatch is accepted.
    int corrected = (int)((double)h * (double)h / (double)lh + 0.5);
    if (corrected < 2) corrected = 2;
    if (HFONT again = CreatePlatformFont(*text, corrected)) font->SetFromHFont(again, LICE_CF_OWNS_FONT | LICE_CF_NATIVE);
  }
  cache.Add(font, text);
  text->mCached = font;
  return font;
}

bool IGraphics::DrawIText(IText* text, char* str, IRECT* r, bool measure)
{
  if (!str || !str[0]) return true;
  if (!text || !r) return false;
  LICE_IFont* font = text->mCached;
  if (!font) font = CacheFont(text);
  if (!font) return false;

  font->SetTextColor(IColorToPixel(text->mColor));
  unsigned int flags = DTF_NOCLIP;
  if (text->mColor.A != 255) flags |= LICE_TEXT_ALPHA_FROM_COLOR;
  if (text->mAlign == IText::kAlignCenter)
    flags |= DTF_CENTER;
  else if (text->mAlign == IText::kAlignFar)
    flags |= DTF_RIGHT;

  if (measure)
  {
    RECT m = {0, 0, 0, 0};
    font->DrawText(mDrawBitmap, str, -1, &m, flags | DTF_CALCRECT);
    const int w = m.right, h = m.bottom;
    if (text->mAlign == IText::kAlignCenter)
    {
      r->L = (int)((float)((long long)r->L + r->R) * 0.5f) - w / 2;
      r->R = r->L + w;
    }
    else if (text->mAlign == IText::kAlignFar)
    {
      r->L = r->R - w;
    }
    else
    {
      r->R = r->L + w;
    }
    r->B = r->T + h;
    return true;
  }
  if (!mDrawBitmap) return true;
  RECT rr = {r->L, r->T, r->R, r->B};
  font->DrawText(mDrawBitmap, str, -1, &rr, flags);
  return true;
}
