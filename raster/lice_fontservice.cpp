#include "raster/lice_fontservice.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "raster/lice_fontlib.h"
#include "raster/lice_text.h"

namespace {

// FreeType's library object is not safe for concurrent face creation; every
// FT_New_Face / FT_Done_Face (and fontconfig matching) goes through this lock.
// Never destroyed, so that fonts freed by caches at process exit can still
// take it.
std::mutex& libraryLock() {
  static std::mutex* m = new std::mutex;
  return *m;
}

const int kMaxHeight = 2048;

// Faces a user would expect to be fixed-width; fontconfig's own rules send
// some of them to a proportional family.
bool isMonospaceFace(const char* face) {
  static const char* const known[] = {"monaco",       "menlo",       "courier",     "courier new",
                                      "consolas",     "lucida console", "andale mono", "sf mono",
                                      "fixedsys",     "terminal",    "monospace"};
  std::string f(face);
  for (char& c : f) c = (char)std::tolower((unsigned char)c);
  for (const char* k : known)
    if (f == k) return true;
  return f.size() > 5 && f.compare(f.size() - 5, 5, " mono") == 0;
}

struct Glyph {
  int advance = 0;
  int left = 0, top = 0;  // bitmap offset from the pen on the baseline
  int w = 0, h = 0;
  std::vector<unsigned char> cov;
};

}  // namespace

struct LICE_PlatformFont {
  std::mutex lock;
  const LICE_FontLib* lib = nullptr;
  FT_Face face = nullptr;
  std::string file;
  int faceIndex = 0;
  long em26 = 0;
  bool mono = false, embolden = false, slanted = false;
  int ascent = 0, descent = 0;
  std::unordered_map<unsigned, Glyph> glyphs;
  int aveCharWidth = 0;

  const Glyph& glyph(unsigned code);
};

const Glyph& LICE_PlatformFont::glyph(unsigned code) {
  auto it = glyphs.find(code);
  if (it != glyphs.end()) return it->second;
  Glyph g;
  FT_Int32 load = mono ? (FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) : FT_LOAD_TARGET_NORMAL;
  if (lib->FT_Load_Char(face, code, load) == 0) {
    FT_GlyphSlot slot = face->glyph;
    if (embolden) lib->FT_GlyphSlot_Embolden(slot);
    if (lib->FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0) {
      g.advance = (int)((slot->advance.x + 32) >> 6);
      const FT_Bitmap& b = slot->bitmap;
      g.left = slot->bitmap_left;
      g.top = slot->bitmap_top;
      g.w = (int)b.width;
      g.h = (int)b.rows;
      g.cov.assign((size_t)g.w * (size_t)g.h, 0);
      for (int y = 0; y < g.h; ++y) {
        const unsigned char* row = b.buffer + (ptrdiff_t)y * b.pitch;
        for (int x = 0; x < g.w; ++x) {
          unsigned char c;
          if (b.pixel_mode == FT_PIXEL_MODE_MONO)
            c = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
          else
            c = row[x];
          g.cov[(size_t)y * g.w + x] = c;
        }
      }
    }
  }
  return glyphs.emplace(code, std::move(g)).first->second;
}

HFONT CreateFont(int height, int, int, int, int weight, int italic, int, int, int, int, int,
                 int quality, int, const char* face) {
  return LICE_CreateFontWithLib(LICE_GetFontLib(), height, weight, italic, quality, face);
}

HFONT LICE_CreateFontWithLib(const LICE_FontLib* fl, int height, int weight, int italic, int quality,
                             const char* face) {
  if (!fl) return nullptr;
  if (height < -kMaxHeight || height > kMaxHeight) return nullptr;
  if (height == 0) height = 16;
  if (weight <= 0) weight = 400;
  if (weight > 1000) weight = 1000;

  std::string file;
  int index = 0;
  bool embolden = false;
  FcMatrix matrix;
  FcMatrixInit(&matrix);
  bool haveMatrix = false;
  {
    std::lock_guard<std::mutex> guard(libraryLock());
    if (!fl->FcInit()) return nullptr;
    FcPattern* pat = fl->FcPatternCreate();
    if (!pat) return nullptr;
    if (face && face[0]) {
      fl->FcPatternAddString(pat, FC_FAMILY, (const FcChar8*)face);
      if (isMonospaceFace(face)) fl->FcPatternAddString(pat, FC_FAMILY, (const FcChar8*)"monospace");
    }
    fl->FcPatternAddInteger(pat, FC_WEIGHT, fl->FcWeightFromOpenType(weight));
    fl->FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    fl->FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    fl->FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    fl->FcDefaultSubstitute(pat);
    FcResult res = FcResultNoMatch;
    FcPattern* match = fl->FcFontMatch(nullptr, pat, &res);
    fl->FcPatternDestroy(pat);
    if (!match) return nullptr;
    FcChar8* f = nullptr;
    if (fl->FcPatternGetString(match, FC_FILE, 0, &f) == FcResultMatch && f) file = (const char*)f;
    fl->FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcBool b = FcFalse;
    if (fl->FcPatternGetBool(match, FC_EMBOLDEN, 0, &b) == FcResultMatch) embolden = b != FcFalse;
    FcMatrix* m = nullptr;
    if (fl->FcPatternGetMatrix(match, FC_MATRIX, 0, &m) == FcResultMatch && m) {
      matrix = *m;
      haveMatrix = matrix.xy != 0.0 || matrix.yx != 0.0 || matrix.xx != 1.0 || matrix.yy != 1.0;
    }
    fl->FcPatternDestroy(match);
  }
  if (file.empty()) return nullptr;

  LICE_PlatformFont* font = new LICE_PlatformFont;
  font->lib = fl;
  {
    std::lock_guard<std::mutex> guard(libraryLock());
    if (fl->FT_New_Face(fl->library, file.c_str(), index, &font->face) != 0) font->face = nullptr;
  }
  if (!font->face || !FT_IS_SCALABLE(font->face) || font->face->units_per_EM == 0) {
    DeleteObject(font);
    return nullptr;
  }
  FT_Face fc = font->face;
  font->file = file;
  font->faceIndex = index;
  font->mono = quality == 3;
  font->embolden = embolden;

  // Cell metrics in font units: the Windows metrics of the OS/2 table where
  // present (what the desktop convention measures a cell height against),
  // else the horizontal header.
  double asc = fc->ascender, desc = -(double)fc->descender;
  if (TT_OS2* os2 = (TT_OS2*)fl->FT_Get_Sfnt_Table(fc, FT_SFNT_OS2)) {
    if (os2->usWinAscent + os2->usWinDescent > 0) {
      asc = os2->usWinAscent;
      desc = os2->usWinDescent;
    }
  }
  if (asc + desc <= 0) {
    asc = fc->units_per_EM * 0.8;
    desc = fc->units_per_EM * 0.2;
  }
  const double upem = fc->units_per_EM;
  const double em = height > 0 ? height * upem / (asc + desc) : -height;
  font->em26 = std::lround(em * 64.0);
  if (font->em26 < 64) font->em26 = 64;
  if (fl->FT_Set_Char_Size(fc, 0, font->em26, 72, 72) != 0) {
    DeleteObject(font);
    return nullptr;
  }
  const double px = font->em26 / 64.0 / upem;
  font->ascent = (int)std::lround(asc * px);
  font->descent = (int)std::lround(desc * px);
  if (font->ascent + font->descent < 1) font->ascent = 1;

  if (haveMatrix) {
    FT_Matrix ftm;
    ftm.xx = (FT_Fixed)(matrix.xx * 65536.0);
    ftm.xy = (FT_Fixed)(matrix.xy * 65536.0);
    ftm.yx = (FT_Fixed)(matrix.yx * 65536.0);
    ftm.yy = (FT_Fixed)(matrix.yy * 65536.0);
    fl->FT_Set_Transform(fc, &ftm, nullptr);
    font->slanted = true;
  }
  font->aveCharWidth = font->glyph('x').advance;
  return font;
}

void DeleteObject(HFONT font) {
  if (!font) return;
  if (font->face) {
    std::lock_guard<std::mutex> guard(libraryLock());
    font->lib->FT_Done_Face(font->face);
  }
  delete font;
}

bool GetTextMetrics(HFONT font, LICE_TEXTMETRIC* tm) {
  if (!tm) return false;
  std::memset(tm, 0, sizeof(*tm));
  if (!font) return false;
  tm->tmAscent = font->ascent;
  tm->tmDescent = font->descent;
  tm->tmHeight = font->ascent + font->descent;
  tm->tmAveCharWidth = font->aveCharWidth;
  return true;
}

bool LICE_GetPlatformFontInfo(HFONT font, LICE_PlatformFontInfo* info) {
  if (!font || !info) return false;
  info->file = font->file.c_str();
  info->faceIndex = font->faceIndex;
  info->emSize26_6 = font->em26;
  info->mono = font->mono;
  info->emboldened = font->embolden;
  info->slanted = font->slanted;
  return true;
}

namespace {

// Calls f(code) for each character of text (len bytes or up to the NUL), with
// line feeds reported as '\n' unless single-line turns them into spaces, and
// carriage returns dropped.
template <class F>
void forEachChar(const char* text, int len, bool singleLine, F&& f) {
  int pos = 0;
  while ((len < 0 || pos < len) && text[pos]) {
    unsigned short code = 0;
    pos += utf8charN(text + pos, len < 0 ? -1 : len - pos, &code);
    if (code == '\r') continue;
    if (code == '\n' && singleLine) code = ' ';
    f(code);
  }
}

// Blends coverage c of colour (r, g, b) into the pixel; alpha rises toward 255.
inline void blendCoverage(LICE_pixel* p, int r, int g, int b, int c) {
  LICE_pixel_chan* d = (LICE_pixel_chan*)p;
  const int ic = 255 - c;
  d[LICE_PIXEL_R] = (LICE_pixel_chan)((r * c + d[LICE_PIXEL_R] * ic + 127) / 255);
  d[LICE_PIXEL_G] = (LICE_pixel_chan)((g * c + d[LICE_PIXEL_G] * ic + 127) / 255);
  d[LICE_PIXEL_B] = (LICE_pixel_chan)((b * c + d[LICE_PIXEL_B] * ic + 127) / 255);
  d[LICE_PIXEL_A] = (LICE_pixel_chan)((255 * c + d[LICE_PIXEL_A] * ic + 127) / 255);
}

}  // namespace

int LICE_PlatformDrawText(HFONT font, LICE_IBitmap* dest, const char* text, int len, RECT* rect,
                          unsigned int flags, LICE_pixel color) {
  if (!font || !text || !rect) return 0;
  std::lock_guard<std::mutex> guard(font->lock);
  const bool single = (flags & DTF_SINGLELINE) != 0;
  const int lh = font->ascent + font->descent;

  // Line widths first: alignment needs them and measuring is all of it.
  int lines = 1, width = 0, cur = 0;
  forEachChar(text, len, single, [&](unsigned short code) {
    if (code == '\n') {
      if (cur > width) width = cur;
      cur = 0;
      ++lines;
      return;
    }
    cur += font->glyph(code).advance;
  });
  if (cur > width) width = cur;
  const int height = lines * lh;
  if (flags & DTF_CALCRECT) {
    rect->right = rect->left + width;
    rect->bottom = rect->top + height;
    return height;
  }
  if (!dest) return height;
  LICE_pixel* bits = dest->getBits();
  const int bw = dest->getWidth(), bh = dest->getHeight();
  if (!bits || bw < 1 || bh < 1) return height;

  RECT clip = {0, 0, bw, bh};
  if (!(flags & DTF_NOCLIP)) {
    if (rect->left > clip.left) clip.left = rect->left;
    if (rect->top > clip.top) clip.top = rect->top;
    if (rect->right < clip.right) clip.right = rect->right;
    if (rect->bottom < clip.bottom) clip.bottom = rect->bottom;
  }
  if (clip.left >= clip.right || clip.top >= clip.bottom) return height;

  long long y = rect->top;
  if (flags & DTF_BOTTOM)
    y = (long long)rect->bottom - height;
  else if (flags & DTF_VCENTER)
    y = ((long long)rect->top + rect->bottom - height) / 2;
  const int r = LICE_PixelR(color), g = LICE_PixelG(color), b = LICE_PixelB(color);

  // Second pass draws line by line; each line's start needs its own width.
  int pos = 0;
  while (true) {
    int lineEnd = pos, lineW = 0;
    bool more = false;
    while ((len < 0 || lineEnd < len) && text[lineEnd]) {
      unsigned short code = 0;
      const int n = utf8charN(text + lineEnd, len < 0 ? -1 : len - lineEnd, &code);
      if (code == '\n' && !single) {
        more = true;
        break;
      }
      lineEnd += n;
      if (code == '\r') continue;
      if (code == '\n') code = ' ';
      lineW += font->glyph(code).advance;
    }
    long long x = rect->left;
    if (flags & DTF_RIGHT)
      x = (long long)rect->right - lineW;
    else if (flags & DTF_CENTER)
      x = ((long long)rect->left + rect->right - lineW) / 2;
    const long long baseline = y + font->ascent;
    forEachChar(text + pos, lineEnd - pos, true, [&](unsigned short code) {
      const Glyph& gl = font->glyph(code);
      // 64-bit so that rectangles near the int range cannot overflow.
      const long long gx = (long long)x + gl.left, gy = (long long)baseline - gl.top;
      const long long x0 = gx > clip.left ? gx : clip.left;
      const long long x1 = gx + gl.w < clip.right ? gx + gl.w : clip.right;
      const long long y0 = gy > clip.top ? gy : clip.top;
      const long long y1 = gy + gl.h < clip.bottom ? gy + gl.h : clip.bottom;
      for (long long yy = y0; yy < y1; ++yy) {
        LICE_pixel* row = LICE_RowPtr(dest, bits, (int)yy);
        const unsigned char* cov = gl.cov.data() + (size_t)(yy - gy) * (size_t)gl.w;
        for (long long xx = x0; xx < x1; ++xx)
          if (const int c = cov[xx - gx]) blendCoverage(row + xx, r, g, b, c);
      }
      x += gl.advance;
    });
    if (!more) break;
    pos = lineEnd + 1;
    y += lh;
  }
  return height;
}
