// Cached-font text of the raster library.
//
// LICE_CachedFont draws UTF-8 text into bitmaps in one of two ways: through
// the platform text call of lice_fontservice.h (native drawing), or from a
// cache of 8-bit coverage glyphs that it renders once per character with that
// same call into a scratch bitmap (white on black, coverage in the red byte)
// and then blends with the combiners of lice_combine.h. Native drawing is
// taken when the font asks for it (LICE_CF_NATIVE) and the request allows it;
// everything else (effects, rotation, colour alpha, non-copy modes) takes the
// glyph cache.
//
// Coverage layout: glyph records hold a 1-based offset into one growing
// coverage buffer (0: not rendered yet, -1: rendered, nothing to draw), the
// glyph's width and height (rows are stored back to back, width bytes each)
// and its advance. Codes 0-127 live in a fixed table, others in a sorted array.
//
// LICE_DrawGlyph and LICE_DrawGlyphEx stamp a caller's coverage bitmap.
//
// Threads: the scratch bitmaps are shared by all cached fonts; a process-wide
// lock serialises DrawText and DrawGlyph so that fonts shared between editors
// on different threads stay consistent. Nothing allocates once a font's
// glyphs are cached, except the native path's scratch growing to a new size.
#pragma once

#include <cstddef>
#include <vector>

#include "raster/lice_bitmap.h"
#include "raster/lice_fontservice.h"

/// Font flags given to SetFromHFont.
enum {
  LICE_CF_VERTICAL = 0x1,        // glyphs turned a quarter turn clockwise, text runs down
  LICE_CF_BOTTOM_UP = 0x2,       // with VERTICAL: counter-clockwise, text runs up
  LICE_CF_PRECACHE_ASCII = 0x4,  // render 0-127 at once; codes 128 and above are never cached
  LICE_CF_BLUR = 0x10,           // blur each glyph before capturing it
  LICE_CF_INVERT = 0x20,         // store 255 - coverage
  LICE_CF_MONO = 0x40,           // coverage 255 above 130, else 0
  LICE_CF_SHADOW = 0x80,         // mono plus a 128 shadow right and below
  LICE_CF_OUTLINE = 0x100,       // mono plus a 128 outline
  LICE_CF_OWNS_FONT = 0x200,     // delete the platform font when replaced or destroyed
  LICE_CF_NATIVE = 0x400         // draw through the platform text call when possible
};

/// Text-draw flags given to DrawText (the platform text call takes the same).
enum : unsigned int {
  DTF_CALCRECT = 0x1,
  DTF_VCENTER = 0x2,
  DTF_CENTER = 0x4,
  DTF_BOTTOM = 0x10,
  DTF_RIGHT = 0x20,
  DTF_SINGLELINE = 0x40,
  DTF_NOPREFIX = 0x80,
  DTF_NOCLIP = 0x100,
  LICE_TEXT_ALPHA_FROM_COLOR = 0x40000000u,
  LICE_TEXT_NO_NATIVE = 0x80000000u
};

/// Decodes one UTF-8 character of `text` into *out and returns its byte count
/// (1-4). Two- and three-byte sequences decode; a valid four-byte sequence
/// gives a space; any other byte (ASCII, stray or invalid) gives itself.
/// Never reads past a NUL. Null text gives 0 and *out = 0.
int utf8char(const char* text, unsigned short* out);

/// utf8char reading at most `avail` bytes (avail < 0: up to the NUL); a
/// sequence cut by the limit gives its lead byte alone. avail 0 gives 0.
int utf8charN(const char* text, int avail, unsigned short* out);

/// A font the raster library draws with.
class LICE_IFont {
 public:
  virtual ~LICE_IFont() {}
  /// Takes `font` with the LICE_CF_ flags and clears the glyph cache.
  virtual void SetFromHFont(HFONT font, int flags = 0) = 0;
  /// Colour setters (packed pixels) and background mode (1 opaque).
  virtual void SetTextColor(LICE_pixel color) = 0;
  virtual void SetBkColor(LICE_pixel color) = 0;
  virtual void SetEffectColor(LICE_pixel color) = 0;
  virtual void SetBkMode(int mode) = 0;
  /// Combine mode and alpha of glyph drawing.
  virtual void SetCombineMode(int mode, float alpha = 1.0f) = 0;
  /// Draws or measures (DTF_CALCRECT) `text`, len bytes or -1 up to the NUL,
  /// in rect; returns the text height (width for vertical fonts), 0 when
  /// nothing could be drawn.
  virtual int DrawText(LICE_IBitmap* bm, const char* text, int len, RECT* rect,
                       unsigned int dtFlags) = 0;
  virtual LICE_pixel GetTextColor() = 0;
  virtual HFONT GetHFont() = 0;
  /// Line height of the platform font in pixels (0 without one).
  virtual int GetLineHeight() = 0;
  /// Draws one cached glyph with its top-left at (x, y), cut to clip; false
  /// when the glyph is not cached or lies outside clip.
  virtual bool DrawGlyph(LICE_IBitmap* bm, unsigned short code, int x, int y, RECT* clip) = 0;
};

class LICE_CachedFont : public LICE_IFont {
 public:
  LICE_CachedFont();
  ~LICE_CachedFont() override;
  LICE_CachedFont(const LICE_CachedFont&) = delete;
  LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

  void SetFromHFont(HFONT font, int flags = 0) override;
  void SetTextColor(LICE_pixel color) override { m_fg = color; }
  void SetBkColor(LICE_pixel color) override { m_bg = color; }
  void SetEffectColor(LICE_pixel color) override { m_effectcol = color; }
  void SetBkMode(int mode) override { m_bgmode = mode; }
  void SetCombineMode(int mode, float alpha = 1.0f) override {
    m_comb = mode;
    m_alpha = alpha;
  }
  int DrawText(LICE_IBitmap* bm, const char* text, int len, RECT* rect, unsigned int dtFlags) override {
    return DrawTextImpl(bm, text, len, rect, dtFlags);
  }
  LICE_pixel GetTextColor() override { return m_fg; }
  HFONT GetHFont() override { return m_font; }
  int GetLineHeight() override { return m_line_height; }
  bool DrawGlyph(LICE_IBitmap* bm, unsigned short code, int x, int y, RECT* clip) override;

  /// Extra pixels added to the line height at each line feed.
  void SetLineSpacing(int spacing) { m_lsadj = spacing; }

  /// One cached glyph.
  struct charEnt {
    int base_offset;  // 1-based offset into the coverage buffer; 0 unrendered; -1 empty
    int width, height;
    int advance;
    unsigned short charid;
  };
  /// The record of `code`, or null (high codes not yet seen).
  const charEnt* findChar(unsigned short code) const;
  /// Coverage bytes of a rendered record (width * height), or null.
  const unsigned char* GetCoverage(const charEnt* ent) const;
  /// Number of records for codes 128 and above.
  int NumHighChars() const { return (int)m_extracharlist.size(); }
  /// High record at position i (sorted by code), or null.
  const charEnt* HighChar(int i) const {
    return i >= 0 && i < (int)m_extracharlist.size() ? &m_extracharlist[(size_t)i] : nullptr;
  }

 private:
  int DrawTextImpl(LICE_IBitmap* bm, const char* text, int len, RECT* rect, unsigned int dtFlags);
  int DrawNative(LICE_IBitmap* bm, const char* text, int len, RECT* rect, unsigned int dtFlags);
  int MeasureGlyphs(const char* text, int len, RECT* rect, unsigned int dtFlags);
  template <class OnGlyph>
  void walkGlyphs(const char* text, int len, unsigned int dtFlags, long long& x, long long& y, OnGlyph&& onGlyph);
  bool RenderGlyph(unsigned short code);
  charEnt* findCharMutable(unsigned short code);
  const charEnt* fetch(unsigned short code);
  bool drawGlyphAt(LICE_IBitmap* bm, const charEnt* ent, int x, int y, const RECT& clip, float alpha);

  LICE_pixel m_fg = 0;
  LICE_pixel m_bg = 0xFFFFFFFF;
  LICE_pixel m_effectcol = 0xFFFFFFFF;
  int m_bgmode = 0;
  int m_comb = 0;
  float m_alpha = 1.0f;
  int m_flags = 0;
  int m_line_height = 0;
  int m_lsadj = 0;
  charEnt m_lowchars[128];
  std::vector<charEnt> m_extracharlist;
  std::vector<unsigned char> m_cachestore;
  HFONT m_font = nullptr;
};

/// Stamps a glyph_w by glyph_h coverage bitmap (rows glyph_span bytes apart)
/// at (x, y) of dest: each non-zero coverage byte c combines `color` (all four
/// channels) with weight w * c / 256, w = alpha * 256 truncated, through the
/// operation mode & 0xFF (0-5; above 5 nothing; copy needs w >= 1). Cut to the
/// bitmap; flipped bitmaps are honoured.
void LICE_DrawGlyphEx(LICE_IBitmap* dest, int x, int y, LICE_pixel color,
                      const unsigned char* coverage, int glyph_w, int glyph_span, int glyph_h,
                      float alpha, int mode);

/// LICE_DrawGlyphEx with glyph_span = glyph_w.
void LICE_DrawGlyph(LICE_IBitmap* dest, int x, int y, LICE_pixel color,
                    const unsigned char* coverage, int glyph_w, int glyph_h, float alpha, int mode);
