// PNG image loading into raster bitmaps.
//
// Decodes any valid PNG (palette, grey, grey+alpha, RGB, RGBA; 1 to 16 bits;
// interlaced or not) into pixels of the library's layout: bytes alpha, red,
// green, blue, colours straight (not premultiplied). Palettes and grey expand
// to RGB, a tRNS chunk becomes alpha, 16-bit channels keep their high byte,
// images without alpha get alpha 255. No gamma or colour-space conversion.
//
//   LICE_IBitmap* img = LICE_LoadPNG("knob.png", nullptr);   // caller owns img
//   if (!img) { /* missing, unreadable or corrupt */ }
//
// Failure contract: every failure (missing file, no PNG signature, decoding
// error, image larger than LICE_PNG_MAX_PIXELS, failed allocation) returns
// null, logs nothing and leaks nothing. When the caller passes its own bitmap
// it has possibly been resized and may hold a partial image after a failure;
// a bitmap created by the call is deleted.
//
// Threads: the loaders keep no state and may run on any thread; the resource
// folder set by LICE_SetResourceBundlePath is guarded by its own lock.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "raster/lice_bitmap.h"

/// Images with more pixels than this are refused before any pixel storage is
/// allocated (a 8192 x 8192 image is the largest square accepted).
constexpr long long LICE_PNG_MAX_PIXELS = 1LL << 26;

/// Decodes the PNG file at path into bmp (resized to the image) and returns
/// bmp, or, when bmp is null, into a new LICE_MemBitmap the caller owns.
/// Returns null on any failure (null path included).
LICE_IBitmap* LICE_LoadPNG(const char* path, LICE_IBitmap* bmp = nullptr);

/// As LICE_LoadPNG from len bytes at data. Returns null without touching bmp
/// when data is null, len < 8 or the bytes lack the PNG signature. Reads past
/// the end see zero bytes, so truncation surfaces as a decoding error.
LICE_IBitmap* LICE_LoadPNGFromMemory(const void* data, int len, LICE_IBitmap* bmp = nullptr);

/// Loads <bundle>/Contents/Resources/<name> with LICE_LoadPNG. Null when name
/// is null or longer than 400 characters, or no bundle path is known.
LICE_IBitmap* LICE_LoadPNGFromNamedResource(const char* name, LICE_IBitmap* bmp = nullptr);

/// Number of image decodes started in this process (every LICE_LoadPNG*
/// call that reaches the decoder, successful or not). Any thread.
long long LICE_PNGDecodeCount();

/// A PNG file whose size comes from its header and whose pixels are decoded
/// on first use: the first getBits(), getRowSpan() or resize() decodes the
/// whole file with LICE_LoadPNG. Opening a skin therefore costs one small
/// read, and an editor that is never drawn never pays for decoding it.
///
/// The pixels are those LICE_LoadPNG gives. A file that fails to decode then
/// (or decodes to another size than its header said) leaves the bitmap with
/// its header size and null bits, which every drawing function skips.
/// Threads: any; the first decode is serialised by the bitmap's own lock.
class LICE_LazyPNGBitmap : public LICE_IBitmap {
 public:
  /// Reads the header of the PNG at path. Null when the file is missing, has
  /// no PNG signature and IHDR chunk, or states an empty size or one above
  /// LICE_PNG_MAX_PIXELS. The caller owns the result.
  static LICE_LazyPNGBitmap* Open(const char* path);

  LICE_PackedPixel* getBits() const override;
  int getWidth() const override { return m_width; }
  int getHeight() const override { return m_height; }
  int getRowSpan() const override;
  /// Decodes first, then resizes the decoded image (contents undefined).
  bool resize(int w, int h) override;

  /// True once the pixels have been decoded (or the decode has failed).
  bool isDecoded() const { return m_decoded.load(std::memory_order_acquire); }

 private:
  LICE_LazyPNGBitmap(std::string path, int w, int h);
  /// The decoded image, decoding it on the first call; null when it failed.
  LICE_MemBitmap* image() const;

  std::string m_path;
  int m_width, m_height;
  mutable std::mutex m_lock;
  mutable std::atomic<bool> m_decoded{false};
  mutable std::unique_ptr<LICE_MemBitmap> m_image;
};

/// Compiled-in resources are not supported on this platform: always null.
LICE_IBitmap* LICE_LoadPNGFromResource(void* module, int resid, LICE_IBitmap* bmp = nullptr);

/// Sets the bundle folder that LICE_LoadPNGFromNamedResource resolves names
/// against (at most 1536 bytes; longer or null clears it). Platforms without
/// a bundle interface call this once at start-up.
void LICE_SetResourceBundlePath(const char* path);

/// One entry of the image-loader list: a load function (path, check the file
/// name's extension first, target bitmap or null) and a function returning
/// its extension list (description/pattern pairs, each NUL-terminated, ended
/// by an empty string).
struct _LICE_ImageLoader_rec {
  LICE_IBitmap* (*loadfunc)(const char* filename, bool checkFileName, LICE_IBitmap* bmpbase);
  const char* (*get_extlist)();
  _LICE_ImageLoader_rec* _next;
};

/// Head of the loader list; the PNG loader puts itself first at start-up.
extern _LICE_ImageLoader_rec* LICE_ImageLoader_list;

/// The PNG entry of the loader list.
class LICE_PNGLoader {
 public:
  /// With checkFileName the path must end in ".png" (any letter case) after
  /// its last '.', '/' or '\\', else null; then LICE_LoadPNG.
  static LICE_IBitmap* loadfunc(const char* filename, bool checkFileName, LICE_IBitmap* bmpbase);
  /// "PNG files (*.PNG)\0*.PNG\0\0".
  static const char* get_extlist();
  LICE_PNGLoader();

  _LICE_ImageLoader_rec rec;
};

/// The registered PNG loader record.
extern LICE_PNGLoader LICE_pngldr;
