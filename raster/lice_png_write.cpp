#include "raster/lice_png_write.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <new>

// Written through libpng's simplified interface, which reports errors by
// return value instead of longjmp; the pixels are first converted into the
// byte order it takes (R, G, B[, A] per pixel), row by row in visual order.

namespace {

bool PrepareImage(LICE_IBitmap* bmp, bool wantAlpha, png_image* image, std::vector<unsigned char>* bytes) {
  LICE_PackedPixel* bits = bmp ? bmp->getBits() : nullptr;
  if (!bits) return false;
  const int w = bmp->getWidth(), h = bmp->getHeight();
  if (w <= 0 || h <= 0 || bmp->getRowSpan() < w) return false;
  if (static_cast<long long>(w) * h > LICE_PNG_MAX_PIXELS) return false;

  const int channels = wantAlpha ? 4 : 3;
  try {
    bytes->resize(static_cast<size_t>(w) * h * channels);
  } catch (const std::bad_alloc&) {
    return false;
  }
  unsigned char* out = bytes->data();
  for (int y = 0; y < h; ++y) {
    const LICE_PackedPixel* row = LICE_RowPtr(bmp, bits, y);
    for (int x = 0; x < w; ++x) {
      const LICE_PackedPixel p = row[x];
      *out++ = static_cast<unsigned char>(LICE_PixelR(p));
      *out++ = static_cast<unsigned char>(LICE_PixelG(p));
      *out++ = static_cast<unsigned char>(LICE_PixelB(p));
      if (wantAlpha) *out++ = static_cast<unsigned char>(LICE_PixelA(p));
    }
  }

  std::memset(image, 0, sizeof(*image));
  image->version = PNG_IMAGE_VERSION;
  image->width = static_cast<png_uint_32>(w);
  image->height = static_cast<png_uint_32>(h);
  image->format = wantAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  return true;
}

}  // namespace

bool LICE_WritePNG(const char* path, LICE_IBitmap* bmp, bool wantAlpha) {
  if (!path || !path[0]) return false;
  png_image image;
  std::vector<unsigned char> bytes;
  if (!PrepareImage(bmp, wantAlpha, &image, &bytes)) return false;
  // The file is opened here rather than by libpng so that a path that cannot
  // be opened (a directory, a read-only file) is left alone: only a file this
  // call created or truncated is removed after a failure.
  FILE* fp = std::fopen(path, "wb");
  if (!fp) {
    png_image_free(&image);
    return false;
  }
  const int ok = png_image_write_to_stdio(&image, fp, 0, bytes.data(), 0, nullptr);
  png_image_free(&image);
  const bool closed = std::fclose(fp) == 0;
  if (!ok || !closed) {
    // A half-written file would load as a corrupt image later; drop it.
    std::remove(path);
    return false;
  }
  return true;
}

bool LICE_WritePNGToMemory(std::vector<unsigned char>& out, LICE_IBitmap* bmp, bool wantAlpha) {
  out.clear();
  png_image image;
  std::vector<unsigned char> bytes;
  if (!PrepareImage(bmp, wantAlpha, &image, &bytes)) return false;
  // First call measures, second writes.
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, bytes.data(), 0, nullptr) || size == 0) {
    png_image_free(&image);
    return false;
  }
  try {
    out.resize(size);
  } catch (const std::bad_alloc&) {
    png_image_free(&image);
    return false;
  }
  const int ok = png_image_write_to_memory(&image, out.data(), &size, 0, bytes.data(), 0, nullptr);
  png_image_free(&image);
  if (!ok) {
    out.clear();
    return false;
  }
  out.resize(size);
  return true;
}
