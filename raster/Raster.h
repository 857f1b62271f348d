// The raster library in one include: bitmaps and pixels, combine modes, PNG
// loading and writing, blits and fills, lines and curves, shapes, fonts and
// cached-font text.
#pragma once

#include "raster/lice_bitmap.h"
#include "raster/lice_combine.h"
#include "raster/lice_png.h"
#include "raster/lice_png_write.h"
#include "raster/lice_blit.h"
#include "raster/lice_line.h"
#include "raster/lice_fontservice.h"
#include "raster/lice_text.h"
#include "raster/lice_shapes.h"
