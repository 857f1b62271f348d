// Platform font service: fonts created with the desktop convention and the
// text call that measures and draws UTF-8 strings with them.
//
// This is where the raster library meets the system's fonts. A requested face
// is matched through fontconfig (so faces missing here fall back to an
// installed family; known monospace faces fall back to a monospace family) and
// rasterised with FreeType 2. Glyphs are rendered once per font and kept in the
// font, so drawing a string again renders nothing.
//
// Conventions of the desktop font call this mirrors:
// - A positive height asks for that cell height (ascent + descent) in pixels, a
//   negative one for that em size; 0 means a default of 16 pixels. Heights
//   beyond 2048 pixels in either sense are refused.
// - Weight 0-1000 (400 regular, 700 bold; 0 means regular). A non-zero italic
//   asks for the italic or oblique face (slanted when the family has none).
// - Quality 3 renders without anti-aliasing (coverage 0 or 255), anything else
//   with it. Escapement, orientation, underline, strike-out, character set,
//   precisions and pitch are accepted and not used.
//
// Text call flags are the DTF_ values of lice_text.h (measure, centre, right,
// vertical centre, bottom, single line, no clip); lines break at line feeds
// unless single line is asked for, carriage returns are skipped, nothing wraps.
// Glyphs sit at whole-pixel pen positions: a line's width is the sum of its
// characters' advances and a text's height is its line count times the line
// height.
//
// Threads: every function may be called from any thread. Fonts carry their own
// lock, so one font may be used by several threads (one at a time inside it).
#pragma once

#include "raster/lice_bitmap.h"

/// Opaque platform font.
struct LICE_PlatformFont;
/// Handle of a platform font, as the desktop convention calls it.
typedef LICE_PlatformFont* HFONT;

/// Font metrics in pixels.
struct LICE_TEXTMETRIC {
  int tmHeight;   // line height: tmAscent + tmDescent
  int tmAscent;   // baseline to the top of the cell
  int tmDescent;  // baseline to the bottom of the cell
  int tmAveCharWidth;  // advance of 'x'
};

/// What a platform font was made from, for diagnostics and tests.
struct LICE_PlatformFontInfo {
  const char* file;    // font file fontconfig chose
  int faceIndex;       // face inside that file
  long emSize26_6;     // em size in 1/64 pixel given to FreeType
  bool mono;           // rendered without anti-aliasing
  bool emboldened;     // bold synthesised from a regular face
  bool slanted;        // slant synthesised from an upright face
};

/// Creates a font with the desktop font-creation convention (see above).
/// Returns null when fontconfig matches nothing, the font file cannot be read
/// or the height is out of range. Release with DeleteObject. Any thread.
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, int italic,
                 int underline, int strikeOut, int charSet, int outPrecision, int clipPrecision,
                 int quality, int pitchAndFamily, const char* face);

/// Frees a font made by CreateFont; null is ignored. The font must no longer
/// be in use. Any thread.
void DeleteObject(HFONT font);

/// Fills tm with the font's metrics; false (tm zeroed) for a null font.
bool GetTextMetrics(HFONT font, LICE_TEXTMETRIC* tm);

/// Describes the font; false for a null font.
bool LICE_GetPlatformFontInfo(HFONT font, LICE_PlatformFontInfo* info);

/// The platform text call. Measures (DTF_CALCRECT: rect's right and bottom
/// become left + width and top + height, nothing is drawn; dest may be null)
/// or draws `text` (len bytes, -1 up to the NUL) into dest in `color` (red,
/// green and blue of the packed pixel; the alpha of drawn pixels rises toward
/// 255 with the coverage). Drawing is clipped to rect unless DTF_NOCLIP, and
/// always to the bitmap. Returns the text height in pixels, 0 for a null font,
/// text or rect.
int LICE_PlatformDrawText(HFONT font, LICE_IBitmap* dest, const char* text, int len, RECT* rect,
                          unsigned int flags, LICE_pixel color);
