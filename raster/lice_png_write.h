// PNG image writing from raster bitmaps: the counterpart of lice_png.h.
//
// Writes 8-bit RGBA (or RGB) PNG files from any LICE_IBitmap, honouring
// flipped bitmaps, so what was drawn can be saved and compared or looked at.
//
//   if (!LICE_WritePNG("editor.png", bitmap)) { /* bad bitmap or I/O error */ }
//
// Failure contract: a null or empty bitmap, a null path, an image larger than
// LICE_PNG_MAX_PIXELS, a failed allocation or an I/O error returns false and
// leaves no partial file behind. Any thread; no shared state.
#pragma once

#include <vector>

#include "raster/lice_bitmap.h"
#include "raster/lice_png.h"

/// Writes bmp to the file at path as a PNG (colour type RGBA with
/// wantAlpha, else RGB with the alpha byte dropped). Colours are written as
/// stored (straight, not premultiplied). Returns true on success.
bool LICE_WritePNG(const char* path, LICE_IBitmap* bmp, bool wantAlpha = true);

/// The same into `out` (replaced). Returns false, leaving `out` empty, on
/// any failure.
bool LICE_WritePNGToMemory(std::vector<unsigned char>& out, LICE_IBitmap* bmp, bool wantAlpha = true);
