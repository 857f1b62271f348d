#include "raster/lice_text.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "raster/lice_blit.h"
#include "raster/lice_combine.h"

namespace {

// The scratch bitmaps are shared by every cached font. Fonts are drawn from
// the user-interface thread, but two editors on two threads share fonts
// through the editor's font cache, so the shared state takes one lock.
// Never destroyed: fonts held by process-wide caches are freed at exit and
// still take it then.
std::recursive_mutex& textLock() {
  static std::recursive_mutex* m = new std::recursive_mutex;
  return *m;
}

LICE_SysBitmap* s_tempbitmap = nullptr;
LICE_SysBitmap* s_nativerender_tempbitmap = nullptr;
int s_tempbitmap_refcnt = 0;

const int kNativeExtendedId = 0x59555678;
const size_t kCoverageStep = 65536;
const size_t kHighStep = 4096 / sizeof(LICE_CachedFont::charEnt);

// Grows bm to at least w by h (never shrinks).
void ensureSize(LICE_SysBitmap*& bm, int w, int h) {
  if (!bm) bm = new LICE_SysBitmap(0, 0);
  const int cw = bm->getWidth(), ch = bm->getHeight();
  if (cw < w || ch < h) bm->resize(std::max(cw, w), std::max(ch, h));
}

int encodeUtf8(unsigned short code, char* out) {
  if (code < 0x80) {
    out[0] = (char)code;
    out[1] = 0;
    return 1;
  }
  if (code < 0x800) {
    out[0] = (char)(0xC0 | (code >> 6));
    out[1] = (char)(0x80 | (code & 0x3F));
    out[2] = 0;
    return 2;
  }
  out[0] = (char)(0xE0 | (code >> 12));
  out[1] = (char)(0x80 | ((code >> 6) & 0x3F));
  out[2] = (char)(0x80 | (code & 0x3F));
  out[3] = 0;
  return 3;
}

}  // namespace

int utf8char(const char* text, unsigned short* out) {
  if (!text) {
    if (out) *out = 0;
    return 0;
  }
  const unsigned char* s = (const unsigned char*)text;
  auto cont = [](unsigned char c) { return c >= 0x80 && c <= 0xBF; };
  unsigned short v = s[0];
  int n = 1;
  if (s[0] >= 0xC2 && s[0] <= 0xDF && cont(s[1])) {
    v = (unsigned short)(((s[0] & 0x1F) << 6) | (s[1] & 0x3F));
    n = 2;
  } else if (s[0] >= 0xE0 && s[0] <= 0xEF && cont(s[1]) && cont(s[2])) {
    v = (unsigned short)(((s[0] & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
    n = 3;
  } else if (s[0] >= 0xF0 && s[0] <= 0xF4 && cont(s[1]) && cont(s[2]) && cont(s[3])) {
    v = ' ';
    n = 4;
  }
  if (out) *out = v;
  return n;
}

int utf8charN(const char* text, int avail, unsigned short* out) {
  if (avail < 0 || avail >= 4 || !text) return utf8char(text, out);
  if (avail == 0) {
    if (out) *out = 0;
    return 0;
  }
  char buf[5] = {0};
  for (int i = 0; i < avail && text[i]; ++i) buf[i] = text[i];
  return utf8char(buf, out);
}

// ---------------------------------------------------------------------------
// Glyph stamping.

void LICE_DrawGlyphEx(LICE_IBitmap* dest, int x, int y, LICE_pixel color,
                      const unsigned char* coverage, int glyph_w, int glyph_span, int glyph_h,
                      float alpha, int mode) {
  if (!dest || !coverage || glyph_w < 1 || glyph_h < 1) return;
  if (!(x > -glyph_w && y > -glyph_h)) return;
  LICE_pixel* bits = dest->getBits();
  const int bw = dest->getWidth(), bh = dest->getHeight();
  if (!bits || bw < 1 || bh < 1) return;
  const int w = LICE_AlphaToWeight(alpha);
  if (w == 0) return;
  int sx = 0, sy = 0;
  if (x < 0) {
    sx = -x;
    x = 0;
  }
  if (y < 0) {
    sy = -y;
    y = 0;
  }
  const int cw = std::min(glyph_w - sx, bw - x), ch = std::min(glyph_h - sy, bh - y);
  if (cw < 1 || ch < 1) return;
  const int r = LICE_PixelR(color), g = LICE_PixelG(color), b = LICE_PixelB(color),
            a = LICE_PixelA(color);
  auto loop = [&](auto tag) {
    using C = typename decltype(tag)::type;
    for (int j = 0; j < ch; ++j) {
      LICE_pixel* row = LICE_RowPtr(dest, bits, y + j) + x;
      const unsigned char* cov = coverage + (size_t)(sy + j) * (size_t)glyph_span + sx;
      for (int i = 0; i < cw; ++i)
        if (cov[i]) C::doPix((LICE_pixel_chan*)(row + i), r, g, b, a, w * cov[i] / 256);
    }
  };
  if ((mode & LICE_COMBINE_OP_MASK) == LICE_COMBINE_COPY) {
    if (w >= 1) loop(LICE_CombinerTag<_LICE_CombinePixelsCopyNoClamp>{});
  } else {
    LICE_WithOperationCombiner(mode, w, loop);
  }
}

void LICE_DrawGlyph(LICE_IBitmap* dest, int x, int y, LICE_pixel color,
                    const unsigned char* coverage, int glyph_w, int glyph_h, float alpha, int mode) {
  LICE_DrawGlyphEx(dest, x, y, color, coverage, glyph_w, glyph_w, glyph_h, alpha, mode);
}

// ---------------------------------------------------------------------------
// LICE_CachedFont

LICE_CachedFont::LICE_CachedFont() {
  std::lock_guard<std::recursive_mutex> guard(textLock());
  ++s_tempbitmap_refcnt;
  for (int i = 0; i < 128; ++i) m_lowchars[i] = charEnt{0, 0, 0, 0, (unsigned short)i};
}

LICE_CachedFont::~LICE_CachedFont() {
  std::lock_guard<std::recursive_mutex> guard(textLock());
  if ((m_flags & LICE_CF_OWNS_FONT) && m_font) DeleteObject(m_font);
  m_font = nullptr;
  if (--s_tempbitmap_refcnt == 0) {
    delete s_tempbitmap;
    s_tempbitmap = nullptr;
    delete s_nativerender_tempbitmap;
    s_nativerender_tempbitmap = nullptr;
  }
}

void LICE_CachedFont::SetFromHFont(HFONT font, int flags) {
  std::lock_guard<std::recursive_mutex> guard(textLock());
  if ((m_flags & LICE_CF_OWNS_FONT) && m_font && m_font != font) DeleteObject(m_font);
  m_flags = flags;
  m_font = font;
  if (font) {
    ensureSize(s_tempbitmap, 256, 256);
    LICE_TEXTMETRIC tm;
    GetTextMetrics(font, &tm);
    m_line_height = tm.tmHeight;
  } else {
    m_line_height = 0;
  }
  for (int i = 0; i < 128; ++i) m_lowchars[i] = charEnt{0, 0, 0, 0, (unsigned short)i};
  m_extracharlist.clear();
  m_cachestore.clear();
  if (font && (flags & LICE_CF_PRECACHE_ASCII))
    for (int i = 0; i < 128; ++i) RenderGlyph((unsigned short)i);
}

LICE_CachedFont::charEnt* LICE_CachedFont::findCharMutable(unsigned short code) {
  if (code < 128) return &m_lowchars[code];
  auto it = std::lower_bound(m_extracharlist.begin(), m_extracharlist.end(), code,
                             [](const charEnt& e, unsigned short c) { return e.charid < c; });
  return it != m_extracharlist.end() && it->charid == code ? &*it : nullptr;
}

const LICE_CachedFont::charEnt* LICE_CachedFont::findChar(unsigned short code) const {
  return const_cast<LICE_CachedFont*>(this)->findCharMutable(code);
}

const unsigned char* LICE_CachedFont::GetCoverage(const charEnt* ent) const {
  if (!ent || ent->base_offset <= 0) return nullptr;
  const size_t start = (size_t)ent->base_offset - 1;
  if (start + (size_t)ent->width * (size_t)ent->height > m_cachestore.size()) return nullptr;
  return m_cachestore.data() + start;
}

const LICE_CachedFont::charEnt* LICE_CachedFont::fetch(unsigned short code) {
  charEnt* e = findCharMutable(code);
  if (!e || e->base_offset == 0) {
    RenderGlyph(code);
    e = findCharMutable(code);
  }
  return e;
}

bool LICE_CachedFont::RenderGlyph(unsigned short code) {
  if (!m_font || m_line_height > 1023) return false;
  charEnt* ent;
  if (code < 128) {
    ent = &m_lowchars[code];
  } else {
    ent = findCharMutable(code);
    if (!ent) {
      if (m_flags & LICE_CF_PRECACHE_ASCII) return false;
      try {
        if (m_extracharlist.size() == m_extracharlist.capacity())
          m_extracharlist.reserve(m_extracharlist.size() + kHighStep);
        m_extracharlist.push_back(charEnt{0, 0, 0, 0, code});
      } catch (const std::bad_alloc&) {
        return false;
      }
      ent = &m_extracharlist.back();
    }
  }

  const int s = m_line_height < 1 ? 10 : m_line_height * 2 + 8;
  ensureSize(s_tempbitmap, s, s);
  LICE_SysBitmap* tmp = s_tempbitmap;
  if (tmp->getWidth() < s || tmp->getHeight() < s) return false;

  char utf[4];
  encodeUtf8(code, utf);
  RECT mr = {0, 0, 0, 0};
  LICE_PlatformDrawText(m_font, tmp, utf, -1, &mr, DTF_CALCRECT | DTF_SINGLELINE | DTF_NOPREFIX,
                        0xFFFFFFFF);
  int advance = mr.right, height = mr.bottom;
  int cellw = m_line_height < 16 ? advance + 2 : advance + m_line_height / 16 + 2;
  advance = std::min(advance, s);
  cellw = std::min(cellw, s);
  height = std::min(height, s);

  if (advance < 1 || height < 1) {
    *ent = charEnt{-1, 0, 0, 0, code};
  } else {
    LICE_FillRect(tmp, 0, 0, cellw, height, 0, 1.0f, LICE_COMBINE_COPY);
    RECT dr = {0, 0, cellw, height};
    LICE_PlatformDrawText(m_font, tmp, utf, -1, &dr, DTF_SINGLELINE | DTF_NOPREFIX, 0xFFFFFFFF);
    if (m_flags & LICE_CF_BLUR) LICE_Blur(tmp, tmp, 0, 0, 0, 0, cellw, height);

    LICE_pixel* bits = tmp->getBits();
    int width = advance;
    for (int y = 0; y < height; ++y) {
      const LICE_pixel* row = LICE_RowPtr(tmp, bits, y);
      for (int x = cellw - 1; x >= width; --x)
        if (LICE_PixelR(row[x])) {
          width = x + 1;
          break;
        }
    }
    const size_t start = m_cachestore.size();
    const size_t need = (size_t)width * (size_t)height;
    try {
      if (start + need > m_cachestore.capacity())
        m_cachestore.reserve((start + need + kCoverageStep - 1) / kCoverageStep * kCoverageStep);
      m_cachestore.resize(start + need);
    } catch (const std::bad_alloc&) {
      *ent = charEnt{-1, 0, 0, 0, code};
      return false;
    }
    unsigned char* cov = m_cachestore.data() + start;
    const bool invert = (m_flags & LICE_CF_INVERT) != 0;
    for (int y = 0; y < height; ++y) {
      const LICE_pixel* row = LICE_RowPtr(tmp, bits, y);
      for (int x = 0; x < width; ++x) {
        const int c = LICE_PixelR(row[x]);
        cov[(size_t)y * width + x] = (unsigned char)(invert ? 255 - c : c);
      }
    }
    int gw = width, gh = height;
    if (m_flags & LICE_CF_VERTICAL) {
      std::vector<unsigned char> rot(cov, cov + need);
      const bool ccw = (m_flags & LICE_CF_BOTTOM_UP) != 0;
      // New size is height wide and width tall.
      for (int i = 0; i < width; ++i)
        for (int j = 0; j < height; ++j)
          cov[(size_t)i * height + j] = ccw ? rot[(size_t)j * width + (width - 1 - i)]
                                            : rot[(size_t)(height - 1 - j) * width + i];
      gw = height;
      gh = width;
    }
    if (m_flags & (LICE_CF_MONO | LICE_CF_SHADOW | LICE_CF_OUTLINE)) {
      for (size_t k = 0; k < need; ++k) cov[k] = cov[k] > 130 ? 255 : 0;
      if (m_flags & (LICE_CF_SHADOW | LICE_CF_OUTLINE)) {
        const bool shadow = (m_flags & LICE_CF_SHADOW) != 0;
        auto at = [&](int x, int y) {
          return x >= 0 && y >= 0 && x < gw && y < gh && cov[(size_t)y * gw + x] == 255;
        };
        for (int y = 0; y < gh; ++y)
          for (int x = 0; x < gw; ++x) {
            unsigned char& c = cov[(size_t)y * gw + x];
            if (c) continue;
            const bool mark = shadow ? (at(x - 1, y) || at(x - 1, y - 1) || at(x, y - 1))
                                     : (at(x, y - 1) || at(x, y + 1) || at(x - 1, y) || at(x + 1, y));
            if (mark) c = 128;
          }
      }
    }
    *ent = charEnt{(int)start + 1, gw, gh, advance, code};
  }
  if (code >= 128 && m_extracharlist.size() >= 2)
    std::sort(m_extracharlist.begin(), m_extracharlist.end(),
              [](const charEnt& a, const charEnt& b) { return a.charid < b.charid; });
  return ent->base_offset > 0;
}

bool LICE_CachedFont::DrawGlyph(LICE_IBitmap* bm, unsigned short code, int x, int y, RECT* clip) {
  if (!clip) return false;
  std::lock_guard<std::recursive_mutex> guard(textLock());
  const charEnt* e = findChar(code);
  return e && drawGlyphAt(bm, e, x, y, *clip, m_alpha);
}

bool LICE_CachedFont::drawGlyphAt(LICE_IBitmap* bm, const charEnt* ent, int x, int y,
                                  const RECT& clipIn, float alpha) {
  const unsigned char* cov = GetCoverage(ent);
  if (!bm || !cov || ent->width < 1 || ent->height < 1) return false;
  LICE_pixel* bits = bm->getBits();
  const int bw = bm->getWidth(), bh = bm->getHeight();
  if (!bits || bw < 1 || bh < 1) return false;
  const long long cl = std::max(clipIn.left, 0), ct = std::max(clipIn.top, 0);
  const long long cr = std::min(clipIn.right, bw), cb = std::min(clipIn.bottom, bh);
  const long long x0 = std::max<long long>(x, cl), y0 = std::max<long long>(y, ct);
  const long long x1 = std::min<long long>((long long)x + ent->width, cr);
  const long long y1 = std::min<long long>((long long)y + ent->height, cb);
  if (x0 >= x1 || y0 >= y1) return false;

  if (m_bgmode == 1)
    LICE_FillRect(bm, (int)x0, (int)y0, (int)(x1 - x0), (int)(y1 - y0), m_bg, alpha,
                  m_comb & ~LICE_COMBINE_SOURCE_ALPHA);

  const int w = LICE_AlphaToWeight(alpha);
  const bool effect = (m_flags & (LICE_CF_SHADOW | LICE_CF_OUTLINE)) != 0;
  const bool mono = effect || (m_flags & LICE_CF_MONO);
  const int op = m_comb & LICE_COMBINE_OP_MASK;
  const LICE_pixel fg = m_fg, fx = m_effectcol;

  if (mono && alpha == 1.0f && op == LICE_COMBINE_COPY) {
    for (long long yy = y0; yy < y1; ++yy) {
      LICE_pixel* row = LICE_RowPtr(bm, bits, (int)yy);
      const unsigned char* c = cov + (size_t)(yy - y) * ent->width;
      for (long long xx = x0; xx < x1; ++xx) {
        const unsigned char v = c[xx - x];
        if (v) row[xx] = (effect && v != 255) ? fx : fg;
      }
    }
    return true;
  }

  const int mw = std::min(w, 256);
  auto loop = [&](auto tag) {
    using C = typename decltype(tag)::type;
    for (long long yy = y0; yy < y1; ++yy) {
      LICE_pixel* row = LICE_RowPtr(bm, bits, (int)yy);
      const unsigned char* c = cov + (size_t)(yy - y) * ent->width;
      for (long long xx = x0; xx < x1; ++xx) {
        const int v = c[xx - x];
        if (!v) continue;
        LICE_pixel col = fg;
        int wt;
        if (mono) {
          if (effect && v != 255) col = fx;
          wt = mw;
        } else if (w == 256) {
          wt = v + 1;
        } else {
          wt = w * v >= 65792 ? 256 : w * v / 256;
        }
        C::doPix((LICE_pixel_chan*)(row + xx), LICE_PixelR(col), LICE_PixelG(col),
                 LICE_PixelB(col), 255, wt);
      }
    }
  };
  if (op == LICE_COMBINE_COPY) {
    if (w >= 1) loop(LICE_CombinerTag<_LICE_CombinePixelsCopyNoClamp>{});
  } else {
    LICE_WithOperationCombiner(op, w, loop);
  }
  return true;
}

int LICE_CachedFont::DrawNative(LICE_IBitmap* bm, const char* text, int len, RECT* rect,
                                unsigned int dtFlags) {
  ensureSize(s_nativerender_tempbitmap, 4, 4);
  RECT mr = {0, 0, 0, 0};
  LICE_PlatformDrawText(m_font, nullptr, text, len, &mr, (dtFlags & ~0xB7u) | 0x81u, m_fg);
  const int tw = mr.right, th = mr.bottom;
  if (dtFlags & DTF_CALCRECT) {
    rect->right = rect->left + tw;
    rect->bottom = rect->top + th;
    return th;
  }
  if (!bm) return 0;
  const long long x = (dtFlags & DTF_RIGHT)    ? (long long)rect->right - tw
                      : (dtFlags & DTF_CENTER) ? ((long long)rect->left + rect->right - tw) / 2
                                               : rect->left;
  const long long y = (dtFlags & DTF_BOTTOM)    ? (long long)rect->bottom - th
                      : (dtFlags & DTF_VCENTER) ? ((long long)rect->top + rect->bottom - th) / 2
                                                : rect->top;
  long long l = std::max<long long>(x, 0), t = std::max<long long>(y, 0);
  long long r = std::min<long long>(x + tw, bm->getWidth());
  long long b = std::min<long long>(y + th, bm->getHeight());
  if (!(dtFlags & DTF_NOCLIP)) {
    l = std::max<long long>(l, std::max(rect->left, 0));
    t = std::max<long long>(t, std::max(rect->top, 0));
    r = std::min<long long>(r, rect->right);
    b = std::min<long long>(b, rect->bottom);
  }
  if (l >= r || t >= b) return th;
  const int boxw = (int)(r - l), boxh = (int)(b - t);
  ensureSize(s_nativerender_tempbitmap, boxw, boxh);
  LICE_SysBitmap* tmp = s_nativerender_tempbitmap;
  if (tmp->getWidth() < boxw || tmp->getHeight() < boxh) return th;
  LICE_Blit(tmp, bm, 0, 0, (int)l, (int)t, boxw, boxh, 1.0f, LICE_COMBINE_COPY);
  RECT tr = {(int)(x - l), (int)(y - t), (int)(x - l) + tw, (int)(y - t) + th};
  // The box is the text's own extent, so vertical alignment and the no-clip
  // bit have done their work; horizontal alignment stays so that the lines of
  // a multi-line text keep their places relative to each other.
  LICE_PlatformDrawText(m_font, tmp, text, len, &tr, (dtFlags & ~0x112u) | DTF_NOPREFIX, m_fg);
  LICE_Blit(bm, tmp, (int)l, (int)t, 0, 0, boxw, boxh, m_alpha, LICE_COMBINE_COPY);
  return th;
}

// The one walk over a text that measuring and drawing share: decodes UTF-8
// (len < 0: up to the NUL), skips '\r', and at '\n' moves the pen (x, y) to
// the start of the next line (a space instead under DTF_SINGLELINE). Glyphs
// the font cannot render are passed over; for each other one onGlyph(entry)
// places it and advances the pen.
template <class OnGlyph>
inline void LICE_CachedFont::walkGlyphs(const char* text, int len, unsigned int dtFlags, long long& x,
                                        long long& y, OnGlyph&& onGlyph) {
  const bool vertical = (m_flags & LICE_CF_VERTICAL) != 0;
  const long long sx = x, sy = y;
  int pos = 0;
  while ((len < 0 || pos < len) && text[pos]) {
    unsigned short code = 0;
    pos += utf8charN(text + pos, len < 0 ? -1 : len - pos, &code);
    if (code == '\r') continue;
    if (code == '\n') {
      if (!(dtFlags & DTF_SINGLELINE)) {
        if (vertical) {
          y = sy;
          x += m_line_height + m_lsadj;
        } else {
          x = sx;
          y += m_line_height + m_lsadj;
        }
        continue;
      }
      code = ' ';
    }
    const charEnt* e = fetch(code);
    if (!e || e->base_offset <= 0) continue;
    onGlyph(e);
  }
}

int LICE_CachedFont::MeasureGlyphs(const char* text, int len, RECT* rect, unsigned int dtFlags) {
  const bool vertical = (m_flags & LICE_CF_VERTICAL) != 0;
  long long x = 0, y = 0, w = 0, h = 0;
  walkGlyphs(text, len, dtFlags, x, y, [&](const charEnt* e) {
    if (vertical) {
      h = std::max({h, y + e->advance, y + e->height});
      w = std::max(w, x + e->width);
      y += e->advance;
    } else {
      w = std::max({w, x + e->advance, x + e->width});
      h = std::max(h, y + e->height);
      x += e->advance;
    }
  });
  rect->right = (int)std::min<long long>((long long)rect->left + w, 0x7FFFFFFF);
  rect->bottom = (int)std::min<long long>((long long)rect->top + h, 0x7FFFFFFF);
  return (int)(vertical ? w : h);
}

int LICE_CachedFont::DrawTextImpl(LICE_IBitmap* bm, const char* text, int len, RECT* rect,
                                  unsigned int dtFlags) {
  if (!text || !rect) return 0;
  std::lock_guard<std::recursive_mutex> guard(textLock());
  const bool forceGlyphs = bm && bm->Extended(kNativeExtendedId, nullptr) != 0;
  if (!bm && !(dtFlags & DTF_CALCRECT)) return 0;

  const bool nativeAllowed = (m_flags & LICE_CF_NATIVE) && m_font &&
                             !(dtFlags & (LICE_TEXT_NO_NATIVE | LICE_TEXT_ALPHA_FROM_COLOR)) &&
                             !(m_flags & 0x1F7) && (m_lsadj == 0 || (dtFlags & DTF_SINGLELINE));
  if (!forceGlyphs && m_font && (nativeAllowed || m_line_height >= 256))
    return DrawNative(bm, text, len, rect, dtFlags);

  if (dtFlags & DTF_CALCRECT) return MeasureGlyphs(text, len, rect, dtFlags);

  float alpha = m_alpha;
  if (dtFlags & LICE_TEXT_ALPHA_FROM_COLOR) alpha *= (float)LICE_PixelA(m_fg) / 255.0f;
  if (alpha == 0.0f) return 0;

  const bool vertical = (m_flags & LICE_CF_VERTICAL) != 0;
  const bool bottomUp = vertical && (m_flags & LICE_CF_BOTTOM_UP);
  long long x = rect->left, y = rect->top;
  if ((dtFlags & 0x36) || bottomUp) {
    RECT mr = {0, 0, 0, 0};
    MeasureGlyphs(text, len, &mr, (dtFlags & (DTF_SINGLELINE | LICE_TEXT_NO_NATIVE)) | DTF_CALCRECT);
    const long long mw = mr.right, mh = mr.bottom;
    if (dtFlags & DTF_CENTER) x = rect->left + ((long long)rect->right - rect->left - mw) / 2;
    else if (dtFlags & DTF_RIGHT) x = rect->right - mw;
    if (dtFlags & DTF_VCENTER) y = rect->top + ((long long)rect->bottom - rect->top - mh) / 2;
    else if (dtFlags & DTF_BOTTOM) y = rect->bottom - mh;
    if (bottomUp) y += mh;
  }

  RECT clip = {0, 0, bm->getWidth(), bm->getHeight()};
  if (!(dtFlags & DTF_NOCLIP)) {
    clip.left = std::max(clip.left, rect->left);
    clip.top = std::max(clip.top, rect->top);
    clip.right = std::min(clip.right, rect->right);
    clip.bottom = std::min(clip.bottom, rect->bottom);
  }
  if (clip.left >= clip.right || clip.top >= clip.bottom) return 0;

  const long long sx = x, sy = y;
  long long extent = 0;
  walkGlyphs(text, len, dtFlags, x, y, [&](const charEnt* e) {
    if (!GetCoverage(e)) return;
    if (bottomUp) y -= e->height;
    // Pen positions far outside the int range cannot reach the bitmap.
    if (x > -0x40000000LL && x < 0x40000000LL && y > -0x40000000LL && y < 0x40000000LL)
      drawGlyphAt(bm, e, (int)x, (int)y, clip, alpha);
    if (vertical) {
      extent = std::max(extent, x + e->width - sx);
      y += bottomUp ? e->height - e->advance : e->advance;
    } else {
      extent = std::max(extent, y + e->height - sy);
      x += e->advance;
    }
  });
  return (int)std::min<long long>(extent, 0x7FFFFFFF);
}
