// PNG decoding from memory. Oracle: an accepted image has a size within the
// loader's limit, and decoding the same bytes into an existing bitmap gives
// the same pixels (nothing depends on what was in memory before).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "raster/lice_png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (1u << 20)) return 0;
  const int len = static_cast<int>(size);
  std::unique_ptr<LICE_IBitmap> fresh(LICE_LoadPNGFromMemory(data, len));
  if (!fresh) return 0;
  const int w = fresh->getWidth(), h = fresh->getHeight();
  if (w <= 0 || h <= 0 || static_cast<long long>(w) * h > LICE_PNG_MAX_PIXELS) abort();

  LICE_MemBitmap reused(3, 5);
  memset(reused.getBits(), 0xA5, sizeof(LICE_PackedPixel) * 15);
  if (LICE_LoadPNGFromMemory(data, len, &reused) != &reused) abort();
  if (reused.getWidth() != w || reused.getHeight() != h) abort();
  for (int y = 0; y < h; ++y)
  {
    const LICE_PackedPixel* a = fresh->getBits() + static_cast<size_t>(y) * fresh->getRowSpan();
    const LICE_PackedPixel* b = reused.getBits() + static_cast<size_t>(y) * reused.getRowSpan();
    if (memcmp(a, b, sizeof(LICE_PackedPixel) * static_cast<size_t>(w)) != 0) abort();
  }
  return 0;
}
