#include "raster/lice_bitmap.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "raster/lice_blit.h"
#include "raster/lice_combine.h"

namespace {

// Pixel blocks are capped at 2 GB: sizes are ints throughout the library and
// row offsets are computed as rowSpan * row.
constexpr long long kMaxBitmapBytes = INT_MAX - 64;

}  // namespace

// ---------------------------------------------------------------------------
// LICE_MemBitmap

LICE_MemBitmap::LICE_MemBitmap(int w, int h, int lineAlignPixels) {
  if (lineAlignPixels >= 2) {
    // Only the lowest set bit counts, so an alignment that is not a power of
    // two degrades to the power of two it is a multiple of. Alignment is
    // capped at 16 pixels (mask 15): beyond that rows gain nothing.
    const unsigned int lowest = (unsigned int)lineAlignPixels & (0u - (unsigned int)lineAlignPixels);
    m_linealign = lowest > 16 ? 15 : (int)lowest - 1;
  }
  if (w > 0 && h > 0) resize(w, h);
}

LICE_MemBitmap::~LICE_MemBitmap() { free(m_fb); }

LICE_PackedPixel* LICE_MemBitmap::getBits() const {
  // Rows start on a 64-byte boundary so that whole cache lines move together;
  // the block carries 63 bytes of slack for this.
  const uintptr_t p = ((uintptr_t)m_fb + 63) & ~(uintptr_t)63;
  return (LICE_PackedPixel*)p;
}

int LICE_MemBitmap::getRowSpan() const { return rowSpanFor(m_width); }

bool LICE_MemBitmap::resize(int w, int h) {
  if (w == m_width && h == m_height) return false;
  m_width = w;
  m_height = h;

  long long needed = 0;
  if (w > 0 && h > 0) needed = (long long)h * (((long long)w + m_linealign) & ~(long long)m_linealign) * 4;

  if (needed <= 0 || needed > kMaxBitmapBytes) {
    // Empty, or too large to address: no storage. A size we refuse counts
    // as a failed allocation, so the bitmap reports 0 by 0.
    free(m_fb);
    m_fb = nullptr;
    m_allocsize = 0;
    m_width = m_height = 0;
    return true;
  }

  if (!m_fb) {
    m_allocsize = (int)needed;
    m_fb = malloc((size_t)needed + 63);
  } else if (needed <= m_allocsize) {
    return true;  // the block never shrinks
  } else {
    // Grow with a quarter of slack so that a bitmap resized step by step
    // does not reallocate every time.
    long long grown = needed + needed / 4;
    if (grown > kMaxBitmapBytes) grown = needed;
    void* p = realloc(m_fb, (size_t)grown + 63);
    if (p) {
      m_fb = p;
      m_allocsize = (int)grown;
    } else {
      free(m_fb);
      m_allocsize = (int)needed;
      m_fb = malloc((size_t)needed + 63);
    }
  }
  if (!m_fb) {
    m_allocsize = 0;
    m_width = m_height = 0;
  }
  return true;
}

// ---------------------------------------------------------------------------
// LICE_SysBitmap
//
// Without a platform drawing-context layer the context is a heap frame buffer
// of allocated width by allocated height pixels with a stride of exactly the
// allocated width, which is all the bitmap needs of a context.

struct LICE_SysBitmap::MemoryContext {
  LICE_PackedPixel* frameBuffer;
};

LICE_SysBitmap::LICE_SysBitmap(int w, int h) { resize(w, h); }

LICE_SysBitmap::~LICE_SysBitmap() {
  if (m_dc) {
    free(m_dc->frameBuffer);
    delete m_dc;
  }
}

bool LICE_SysBitmap::resize(int w, int h) {
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  if (w == m_width && h == m_height) return false;
  m_width = w;
  m_height = h;

  if (w && h && m_allocw >= w && m_alloch >= h && m_bits) {
    // Shrinking inside the frame buffer keeps it, and with it the row span.
    // A bottom-up bitmap would move its first row here; this one is top-down.
    if (isFlipped()) m_bits = m_dc->frameBuffer + (intptr_t)(m_alloch - h) * m_allocw;
    return true;
  }

  const long long allocw = ((long long)w + 3) & ~3LL;
  if (m_dc) {
    free(m_dc->frameBuffer);
    delete m_dc;
  }
  m_dc = nullptr;
  m_bits = nullptr;
  if (allocw <= 0 || h <= 0) {
    // An empty bitmap still reports the row span its width asks for.
    m_allocw = allocw > (INT_MAX & ~3) ? (INT_MAX & ~3) : (int)allocw;
    m_alloch = h;
    return false;
  }

  const long long bytes = allocw * h * 4;
  void* fb = bytes <= kMaxBitmapBytes ? malloc((size_t)bytes) : nullptr;
  MemoryContext* dc = fb ? new (std::nothrow) MemoryContext{(LICE_PackedPixel*)fb} : nullptr;
  if (!dc) {
    free(fb);
    m_allocw = m_alloch = 0;
    m_width = m_height = 0;
    return true;
  }
  m_dc = dc;
  m_allocw = (int)allocw;
  m_alloch = h;
  m_bits = dc->frameBuffer;
  return true;
}

// ---------------------------------------------------------------------------
// Whole-bitmap utilities

void LICE_Copy(LICE_IBitmap* dest, LICE_IBitmap* src) {
  if (!dest || !src || dest == src) return;
  dest->resize(src->getWidth(), src->getHeight());
  // The blit clips to both bitmaps, so a dest that could not take src's size
  // gets what fits.
  LICE_Blit(dest, src, 0, 0, nullptr, 1.0f, LICE_COMBINE_COPY);
}

void LICE_Clear(LICE_IBitmap* dest, LICE_PackedPixel color) {
  if (!dest) return;
  LICE_PackedPixel* p = dest->getBits();
  const int w = dest->getWidth(), h = dest->getHeight(), span = dest->getRowSpan();
  if (!p || w < 1 || h < 1 || span == 0) return;
  for (int y = 0; y < h; ++y, p += span)
    for (int x = 0; x < w; ++x) p[x] = color;
}

LICE_PackedPixel LICE_GetPixel(LICE_IBitmap* bmp, int x, int y) {
  if (!bmp) return 0;
  LICE_PackedPixel* bits = bmp->getBits();
  if (!bits || x < 0 || y < 0 || x >= bmp->getWidth() || y >= bmp->getHeight()) return 0;
  return LICE_RowPtr(bmp, bits, y)[x];
}

void LICE_PutPixel(LICE_IBitmap* bmp, int x, int y, LICE_PackedPixel color, float alpha, int mode) {
  // A one-pixel fill makes the same choice of combiner by weight; only the
  // source-alpha flag, which the fill would honour, is dropped.
  LICE_FillRect(bmp, x, y, 1, 1, color, alpha, mode & LICE_COMBINE_OP_MASK);
}

int LICE_BitmapCmp(LICE_IBitmap* a, LICE_IBitmap* b, int* coordsOut) {
  return LICE_BitmapCmpEx(a, b, 0xFFFFFFFFu, coordsOut);
}

int LICE_BitmapCmpEx(LICE_IBitmap* a, LICE_IBitmap* b, LICE_PackedPixel mask, int* coordsOut) {
  if (!a) return b ? -1 : 0;
  if (!b) return 1;
  const int w = a->getWidth(), h = a->getHeight();
  if (w != b->getWidth()) return b->getWidth() - w;
  if (h != b->getHeight()) return b->getHeight() - h;
  if (coordsOut) memset(coordsOut, 0, 4 * sizeof(int));
  LICE_PackedPixel* pa = a->getBits();
  LICE_PackedPixel* pb = b->getBits();
  if (w < 1 || h < 1) return 0;
  // Same size but storage missing on one side: order by presence.
  if (!pa || !pb) return pa == pb ? 0 : (pa ? 1 : -1);

  if (!coordsOut) {
    for (int y = 0; y < h; ++y) {
      const LICE_PackedPixel* ra = LICE_RowPtr(a, pa, y);
      const LICE_PackedPixel* rb = LICE_RowPtr(b, pb, y);
      if (mask == 0xFFFFFFFFu) {
        const int c = memcmp(ra, rb, (size_t)w * sizeof(LICE_PackedPixel));
        if (c) return c;
      } else {
        for (int x = 0; x < w; ++x)
          if ((ra[x] ^ rb[x]) & mask) return 1;
      }
    }
    return 0;
  }

  // Extent of the differences in one row: first and last differing column.
  auto rowExtent = [&](int y, int& lo, int& hi) {
    const LICE_PackedPixel* ra = LICE_RowPtr(a, pa, y);
    const LICE_PackedPixel* rb = LICE_RowPtr(b, pb, y);
    lo = 0;
    while (lo < w && !((ra[lo] ^ rb[lo]) & mask)) ++lo;
    if (lo == w) return false;
    hi = w - 1;
    while (!((ra[hi] ^ rb[hi]) & mask)) --hi;
    return true;
  };

  int top = 0, left = 0, right = 0;
  while (top < h && !rowExtent(top, left, right)) ++top;
  if (top == h) return 0;
  int bottom = h - 1, lo = 0, hi = 0;
  while (!rowExtent(bottom, lo, hi)) --bottom;
  if (lo < left) left = lo;
  if (hi > right) right = hi;
  for (int y = top + 1; y < bottom && (left > 0 || right < w - 1); ++y) {
    if (rowExtent(y, lo, hi)) {
      if (lo < left) left = lo;
      if (hi > right) right = hi;
    }
  }
  coordsOut[0] = left;
  coordsOut[1] = top;
  coordsOut[2] = right - left + 1;
  coordsOut[3] = bottom - top + 1;
  return 1;
}
