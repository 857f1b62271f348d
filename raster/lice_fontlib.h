// FreeType and fontconfig bound at run time, for the platform font service.
//
// Hosts that only process audio never draw text, so the plug-in must not
// carry these libraries (and what they pull in) as load-time dependencies:
// they are opened the first time a font is made, and every function the font
// service calls is looked up into one table. The table is all or nothing: a
// missing library or function leaves no table, and font creation then fails
// the same way as when no font matches. Libraries once opened stay mapped for
// the life of the process (faces and fontconfig's caches may outlive any
// owner we could name).
//
// Internal to the raster library and its tests.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include "raster/lice_fontservice.h"

/// Shared-object names the process table is loaded from.
#define LICE_FREETYPE_SONAME "libfreetype.so.6"
#define LICE_FONTCONFIG_SONAME "libfontconfig.so.1"

// Every function the font service calls, per library. A function used
// without being listed here does not compile (the table has no such member).
#define LICE_FREETYPE_FUNCTIONS(X) \
  X(FT_Init_FreeType)              \
  X(FT_New_Face)                   \
  X(FT_Done_Face)                  \
  X(FT_Set_Char_Size)              \
  X(FT_Set_Transform)              \
  X(FT_Get_Sfnt_Table)             \
  X(FT_Load_Char)                  \
  X(FT_GlyphSlot_Embolden)         \
  X(FT_Render_Glyph)

#define LICE_FONTCONFIG_FUNCTIONS(X) \
  X(FcInit)                          \
  X(FcPatternCreate)                 \
  X(FcPatternDestroy)                \
  X(FcPatternAddString)              \
  X(FcPatternAddInteger)             \
  X(FcPatternAddBool)                \
  X(FcPatternGetString)              \
  X(FcPatternGetInteger)             \
  X(FcPatternGetBool)                \
  X(FcPatternGetMatrix)              \
  X(FcWeightFromOpenType)            \
  X(FcConfigSubstitute)              \
  X(FcDefaultSubstitute)             \
  X(FcFontMatch)

/// The bound functions, each typed from the library's own declaration, and
/// the FreeType library object made with them.
struct LICE_FontLib {
#define LICE_FONTLIB_MEMBER(name) decltype(&::name) name = nullptr;
  LICE_FREETYPE_FUNCTIONS(LICE_FONTLIB_MEMBER)
  LICE_FONTCONFIG_FUNCTIONS(LICE_FONTLIB_MEMBER)
#undef LICE_FONTLIB_MEMBER
  FT_Library library = nullptr;
};

/// Opens the two libraries by name, binds every listed function and starts
/// FreeType. True with *out filled when all of that worked; false with *out
/// untouched otherwise. Nothing opened is ever closed. Any thread; each call
/// starts a new FreeType library, so call it once per table kept.
bool LICE_LoadFontLib(const char* freetypeName, const char* fontconfigName, LICE_FontLib* out);

/// The process's table, loaded from the system libraries on the first call
/// (once, whichever thread gets there first); null when they cannot be
/// loaded. Any thread.
const LICE_FontLib* LICE_GetFontLib();

/// CreateFont (see lice_fontservice.h) with the given table; null when lib is
/// null. The font keeps lib, which must outlive it. Any thread.
HFONT LICE_CreateFontWithLib(const LICE_FontLib* lib, int height, int weight, int italic, int quality,
                             const char* face);
