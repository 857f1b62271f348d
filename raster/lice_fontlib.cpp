#include "raster/lice_fontlib.h"

#include <dlfcn.h>

bool LICE_LoadFontLib(const char* freetypeName, const char* fontconfigName, LICE_FontLib* out) {
  if (!freetypeName || !fontconfigName || !out) return false;
  // Local binding keeps these copies from standing in for symbols of the
  // same name elsewhere in the host.
  void* ft = dlopen(freetypeName, RTLD_NOW | RTLD_LOCAL);
  if (!ft) return false;
  void* fc = dlopen(fontconfigName, RTLD_NOW | RTLD_LOCAL);
  if (!fc) return false;

  LICE_FontLib lib;
  bool all = true;
#define LICE_FONTLIB_BIND(handle, name)                                              \
  lib.name = reinterpret_cast<decltype(lib.name)>(dlsym(handle, #name)); \
  all = all && lib.name != nullptr;
#define LICE_FONTLIB_BIND_FT(name) LICE_FONTLIB_BIND(ft, name)
#define LICE_FONTLIB_BIND_FC(name) LICE_FONTLIB_BIND(fc, name)
  LICE_FREETYPE_FUNCTIONS(LICE_FONTLIB_BIND_FT)
  LICE_FONTCONFIG_FUNCTIONS(LICE_FONTLIB_BIND_FC)
#undef LICE_FONTLIB_BIND_FC
#undef LICE_FONTLIB_BIND_FT
#undef LICE_FONTLIB_BIND
  if (!all) return false;
  if (lib.FT_Init_FreeType(&lib.library) != 0 || !lib.library) return false;
  *out = lib;
  return true;
}

const LICE_FontLib* LICE_GetFontLib() {
  // Never destroyed: fonts freed by caches at process exit still use it.
  static const LICE_FontLib* const table = [] {
    static LICE_FontLib lib;
    return LICE_LoadFontLib(LICE_FREETYPE_SONAME, LICE_FONTCONFIG_SONAME, &lib) ? &lib : nullptr;
  }();
  return table;
}
