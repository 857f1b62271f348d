// Raster bitmaps and the packed pixel format.
//
// Every drawing function of the raster library works on an LICE_IBitmap: a
// rectangle of 32-bit pixels that the library reads and writes directly.
//
// Pixel layout: one LICE_PackedPixel per pixel, native (little-endian) order,
// colours NOT premultiplied by alpha. In memory byte 0 is alpha, 1 red,
// 2 green, 3 blue; read as a 32-bit value alpha is bits 0-7, red 8-15,
// green 16-23, blue 24-31.
//
// Geometry: pixel (x, y) of a bitmap that is not flipped lives at index
// y * getRowSpan() + x from getBits(); the row span is counted in pixels and
// is at least the width. A flipped bitmap stores visual row y at row index
// height - 1 - y; every function that addresses rows honours isFlipped().
//
// Failure contract: raster functions never report errors. A null bitmap, a
// bitmap without bits or with a size below 1 makes them do nothing (or return
// 0 where they return a value). A failed allocation leaves a bitmap 0 by 0
// with null bits, so drawing into it is silently skipped.
//
// Threads: bitmaps carry no lock; one thread at a time may use a bitmap.
#pragma once

#include <cstdint>

/// One pixel: alpha in bits 0-7, red 8-15, green 16-23, blue 24-31.
typedef uint32_t LICE_PackedPixel;
/// Shorter spelling of LICE_PackedPixel used by the drawing loops.
typedef LICE_PackedPixel LICE_pixel;
/// One channel byte of a pixel.
typedef unsigned char LICE_pixel_chan;

/// Byte offsets of the channels inside a pixel in memory.
enum {
  LICE_PIXEL_A = 0,
  LICE_PIXEL_R = 1,
  LICE_PIXEL_G = 2,
  LICE_PIXEL_B = 3
};

/// The raster library's rectangle: right and bottom are exclusive.
struct RECT {
  int left;
  int top;
  int right;
  int bottom;
};

/// Packs four channels (each taken modulo 256) into a pixel.
inline constexpr LICE_PackedPixel LICE_MakePixel(int r, int g, int b, int a) {
  return (LICE_PackedPixel)(a & 0xFF) | ((LICE_PackedPixel)(r & 0xFF) << 8) |
         ((LICE_PackedPixel)(g & 0xFF) << 16) | ((LICE_PackedPixel)(b & 0xFF) << 24);
}
/// Alpha channel of a pixel, 0-255.
inline constexpr int LICE_PixelA(LICE_PackedPixel p) { return (int)(p & 0xFF); }
/// Red channel of a pixel, 0-255.
inline constexpr int LICE_PixelR(LICE_PackedPixel p) { return (int)((p >> 8) & 0xFF); }
/// Green channel of a pixel, 0-255.
inline constexpr int LICE_PixelG(LICE_PackedPixel p) { return (int)((p >> 16) & 0xFF); }
/// Blue channel of a pixel, 0-255.
inline constexpr int LICE_PixelB(LICE_PackedPixel p) { return (int)(p >> 24); }

/// Abstract bitmap: the only way drawing functions reach pixels.
class LICE_IBitmap {
 public:
  virtual ~LICE_IBitmap() {}
  /// Pixel at row index 0, column 0; null when the bitmap has no storage.
  virtual LICE_PackedPixel* getBits() const = 0;
  /// Width in pixels (0 when empty).
  virtual int getWidth() const = 0;
  /// Height in pixels (0 when empty).
  virtual int getHeight() const = 0;
  /// Distance between row starts, in pixels (not bytes); at least the width.
  virtual int getRowSpan() const = 0;
  /// True when rows are stored bottom-up.
  virtual bool isFlipped() const { return false; }
  /// Changes the dimensions (pixels); true when they changed. Contents are
  /// undefined afterwards. On allocation failure the bitmap becomes 0 by 0.
  virtual bool resize(int w, int h) = 0;
  /// Platform drawing context sharing these pixels, or null (always null on
  /// platforms without a drawing-context layer).
  virtual void* getDC() const { return nullptr; }
  /// Extension hook; returns 0 for every id unless a subclass knows it.
  virtual intptr_t Extended(int id, void* data) {
    (void)id;
    (void)data;
    return 0;
  }
};

/// Bitmap in a plain heap block. Rows are aligned to the line alignment and
/// getBits() to 64 bytes. The block only grows; shrinking keeps it.
class LICE_MemBitmap : public LICE_IBitmap {
 public:
  /// w, h in pixels (nothing is allocated unless both are above 0);
  /// lineAlignPixels: row span granularity, 4 everywhere in this system;
  /// below 2 means none, otherwise its lowest set bit counts, capped at 16.
  explicit LICE_MemBitmap(int w = 0, int h = 0, int lineAlignPixels = 4);
  ~LICE_MemBitmap() override;
  LICE_MemBitmap(const LICE_MemBitmap&) = delete;
  LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

  LICE_PackedPixel* getBits() const override;
  int getWidth() const override { return m_width; }
  int getHeight() const override { return m_height; }
  int getRowSpan() const override;
  /// Returns false when w, h are the current size. Sizes not above 0 free the
  /// block; a block too large to allocate (or above 2 GB) leaves the bitmap
  /// 0 by 0 with null bits. Returns true in both cases.
  bool resize(int w, int h) override;

  /// Capacity of the block in bytes of pixel data (alignment slack excluded).
  int getAllocatedSize() const { return m_allocsize; }

 private:
  int rowSpanFor(int w) const { return (w + m_linealign) & ~m_linealign; }

  void* m_fb = nullptr;
  int m_width = 0;
  int m_height = 0;
  int m_allocsize = 0;
  int m_linealign = 0;
};

/// Bitmap whose pixels would belong to a platform memory drawing context.
/// On this platform the "context" is a plain heap frame buffer; getDC()
/// returns null. The row span is the allocated width, a multiple of 4, and it
/// is kept when the bitmap shrinks.
class LICE_SysBitmap : public LICE_IBitmap {
 public:
  /// w, h in pixels; 0 by 0 allocates nothing.
  explicit LICE_SysBitmap(int w = 0, int h = 0);
  ~LICE_SysBitmap() override;
  LICE_SysBitmap(const LICE_SysBitmap&) = delete;
  LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

  LICE_PackedPixel* getBits() const override { return m_bits; }
  int getWidth() const override { return m_width; }
  int getHeight() const override { return m_height; }
  int getRowSpan() const override { return m_allocw; }
  /// Returns false when the size is unchanged or when the new size is empty
  /// (negative sizes count as 0). Shrinking keeps the frame buffer; growing
  /// beyond it replaces the buffer and discards the pixels. A failed
  /// allocation leaves the bitmap 0 by 0 with null bits (returns true).
  bool resize(int w, int h) override;

 private:
  struct MemoryContext;

  int m_width = 0;
  int m_height = 0;
  MemoryContext* m_dc = nullptr;
  LICE_PackedPixel* m_bits = nullptr;
  int m_allocw = 0;
  int m_alloch = 0;
};

/// Resizes dest to src's size and copies every pixel (visual rows, so a
/// flipped source lands upright). Does nothing when either is null.
void LICE_Copy(LICE_IBitmap* dest, LICE_IBitmap* src);

/// Writes color into every pixel of dest (row padding untouched). Does nothing
/// for a null bitmap, null bits or a size below 1.
void LICE_Clear(LICE_IBitmap* dest, LICE_PackedPixel color);

/// Pixel at visual (x, y); 0 for a null bitmap, null bits or (x, y) outside.
LICE_PackedPixel LICE_GetPixel(LICE_IBitmap* bmp, int x, int y);

/// Combines color into the pixel at visual (x, y) with weight alpha * 256
/// (truncated) and the operation bits of mode (mode & 0xFF; the source-alpha
/// flag is ignored). Copy at weights 64, 128, 192 uses the packed quarter,
/// half and three-quarter mixes, 256 replaces the pixel. Writes nothing for a
/// null bitmap, (x, y) outside, a zero weight (or a non-positive one in copy
/// mode) or an operation above 5.
void LICE_PutPixel(LICE_IBitmap* bmp, int x, int y, LICE_PackedPixel color, float alpha, int mode);

/// LICE_BitmapCmpEx with a mask of 0xFFFFFFFF.
int LICE_BitmapCmp(LICE_IBitmap* a, LICE_IBitmap* b, int* coordsOut = nullptr);

/// Compares a and b pixel by pixel, counting pixels equal when
/// ((pa ^ pb) & mask) == 0. Returns -1/1 when only a/only b is null, the width
/// difference (b - a), then the height difference, when sizes differ. With
/// coordsOut (int[4]) it writes the bounding box {left, top, width, height}
/// of all differences and returns 1, or writes zeros and returns 0. Without
/// coordsOut and a full mask it returns the first non-zero byte comparison of
/// a row (negative when a's byte is lower); with another mask 1 at the first
/// difference. 0 means equal.
int LICE_BitmapCmpEx(LICE_IBitmap* a, LICE_IBitmap* b, LICE_PackedPixel mask, int* coordsOut = nullptr);

/// Visual row y of bmp (0 <= y < height), honouring isFlipped(); the caller
/// has checked bits and bounds.
inline LICE_PackedPixel* LICE_RowPtr(const LICE_IBitmap* bmp, LICE_PackedPixel* bits, int y) {
  const int span = bmp->getRowSpan();
  const int row = bmp->isFlipped() ? bmp->getHeight() - 1 - y : y;
  return bits + (intptr_t)row * span;
}
