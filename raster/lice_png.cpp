#include "raster/lice_png.h"

#include <png.h>

#include <atomic>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <utility>

// Decoding runs under libpng's longjmp error return. Everything that must be
// released after a jump lives in a DecodeJob reached through a pointer that
// libpng also holds (as its error pointer), so its fields are in memory, not
// registers, when control comes back to setjmp. No object with a destructor
// lives in the frames that a longjmp crosses.

namespace {

struct MemorySource {
  const unsigned char* next;
  size_t left;
  size_t overrun;  // zero bytes handed out past the end so far
};

// A damaged chunk length can make libpng skip a gigabyte of "data" past the
// end of a buffer of a few dozen bytes. Zero bytes past the end are granted
// up to this much, then the read fails: no valid image needs them.
constexpr size_t kMaxOverrunBytes = 1 << 20;

struct DecodeJob {
  png_structp png;
  png_infop info;
  png_bytep* rows;
  LICE_IBitmap* created;  // bitmap made by this call, deleted on failure
};

void SilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void SilentWarning(png_structp, png_const_charp) {}

// Zero-fills the request first so that reading past the end yields zero
// bytes; libpng's own checks (CRCs, zlib) then report the truncation.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  MemorySource* src = static_cast<MemorySource*>(png_get_io_ptr(png));
  const size_t n = count < src->left ? count : src->left;
  src->overrun += count - n;
  if (src->overrun > kMaxOverrunBytes) png_error(png, "read past the end of the data");
  memset(out, 0, count);
  if (n) {
    memcpy(out, src->next, n);
    src->next += n;
    src->left -= n;
  }
}

void ReleaseJob(DecodeJob* job) {
  png_destroy_read_struct(&job->png, &job->info, nullptr);
  free(job->rows);
  job->rows = nullptr;
  delete job->created;
  job->created = nullptr;
}

// Requests the transformations that make every row 4 bytes per pixel in the
// order alpha, red, green, blue: the library's pixel layout.
void RequestArgbRows(png_structp png, png_infop info) {
  int colorType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(png);
    colorType |= PNG_COLOR_MASK_ALPHA;
  }
  if (bitDepth == 16) png_set_strip_16(png);
  if (bitDepth < 8) png_set_packing(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (colorType & PNG_COLOR_MASK_ALPHA)
    png_set_swap_alpha(png);
  else
    png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

// The decode proper. Returns the bitmap or null; on null everything the job
// holds has been released (a caller's bitmap is left as it is).
std::atomic<long long> gDecodeCount{0};

LICE_IBitmap* Decode(DecodeJob* job, FILE* fp, MemorySource* mem, LICE_IBitmap* bmp) {
  gDecodeCount.fetch_add(1, std::memory_order_relaxed);
  job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, SilentError, SilentWarning);
  if (!job->png) return nullptr;
  job->info = png_create_info_struct(job->png);
  if (!job->info) {
    ReleaseJob(job);
    return nullptr;
  }
  if (setjmp(png_jmpbuf(job->png))) {
    ReleaseJob(job);
    return nullptr;
  }
  // None of the ancillary chunks changes the pixels we produce (there is no
  // gamma or colour management), so they are skipped unread rather than
  // parsed: a damaged length field in a text or profile chunk would otherwise
  // make libpng allocate and clear up to 2 GB before noticing the damage.
  // A count of -1 means every chunk but IHDR, PLTE, tRNS, IDAT and IEND.
  png_set_keep_unknown_chunks(job->png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  if (fp)
    png_init_io(job->png, fp);
  else
    png_set_read_fn(job->png, mem, ReadFromMemory);

  png_read_info(job->png, job->info);
  const png_uint_32 width = png_get_image_width(job->png, job->info);
  const png_uint_32 height = png_get_image_height(job->png, job->info);
  // The header alone decides the allocation; refuse absurd sizes before
  // committing memory to a file that may be a few bytes long.
  if ((long long)width * (long long)height > LICE_PNG_MAX_PIXELS || width > (png_uint_32)INT32_MAX ||
      height > (png_uint_32)INT32_MAX)
    png_longjmp(job->png, 1);
  RequestArgbRows(job->png, job->info);
  if (png_get_rowbytes(job->png, job->info) != (png_size_t)width * 4) png_longjmp(job->png, 1);

  LICE_IBitmap* target = bmp;
  if (target) {
    target->resize((int)width, (int)height);
  } else {
    target = job->created = new (std::nothrow) LICE_MemBitmap((int)width, (int)height, 4);
    if (!target) png_longjmp(job->png, 1);
  }
  LICE_PackedPixel* bits = target->getBits();
  // A bitmap whose rows are narrower than its width (a foreign subclass)
  // would have rows overlap or overrun; refuse it.
  if (!bits || target->getWidth() != (int)width || target->getHeight() != (int)height ||
      target->getRowSpan() < (int)width)
    png_longjmp(job->png, 1);

  job->rows = (png_bytep*)malloc(sizeof(png_bytep) * height);
  if (!job->rows) png_longjmp(job->png, 1);
  for (png_uint_32 y = 0; y < height; ++y) job->rows[y] = (png_bytep)LICE_RowPtr(target, bits, (int)y);
  png_read_image(job->png, job->rows);

  job->created = nullptr;  // handed to the caller
  ReleaseJob(job);
  return target;
}

std::mutex& BundleLock() {
  static std::mutex m;
  return m;
}
std::string& BundlePath() {
  static std::string path;
  return path;
}

}  // namespace

LICE_IBitmap* LICE_LoadPNG(const char* path, LICE_IBitmap* bmp) {
  if (!path) return nullptr;
  FILE* fp = fopen(path, "rb");
  if (!fp) return nullptr;
  DecodeJob job = {nullptr, nullptr, nullptr, nullptr};
  LICE_IBitmap* out = Decode(&job, fp, nullptr, bmp);
  fclose(fp);
  return out;
}

LICE_IBitmap* LICE_LoadPNGFromMemory(const void* data, int len, LICE_IBitmap* bmp) {
  if (!data || len < 8 || png_sig_cmp((png_const_bytep)data, 0, 8)) return nullptr;
  MemorySource src = {(const unsigned char*)data, (size_t)len, 0};
  DecodeJob job = {nullptr, nullptr, nullptr, nullptr};
  return Decode(&job, nullptr, &src, bmp);
}

void LICE_SetResourceBundlePath(const char* path) {
  std::lock_guard<std::mutex> lock(BundleLock());
  if (path && strlen(path) <= 1536)
    BundlePath() = path;
  else
    BundlePath().clear();
}

LICE_IBitmap* LICE_LoadPNGFromNamedResource(const char* name, LICE_IBitmap* bmp) {
  if (!name || strlen(name) > 400) return nullptr;
  std::string path;
  {
    std::lock_guard<std::mutex> lock(BundleLock());
    path = BundlePath();
  }
  if (path.empty()) return nullptr;
  path += "/Contents/Resources/";
  path += name;
  return LICE_LoadPNG(path.c_str(), bmp);
}

LICE_IBitmap* LICE_LoadPNGFromResource(void*, int, LICE_IBitmap*) { return nullptr; }

long long LICE_PNGDecodeCount() { return gDecodeCount.load(std::memory_order_relaxed); }

// ---------------------------------------------------------------------------
// Lazily decoded PNG

LICE_LazyPNGBitmap* LICE_LazyPNGBitmap::Open(const char* path) {
  if (!path) return nullptr;
  FILE* fp = fopen(path, "rb");
  if (!fp) return nullptr;
  // Signature (8 bytes), then the IHDR chunk: length, type, width, height,
  // the two sizes big-endian.
  unsigned char head[24];
  const size_t got = fread(head, 1, sizeof head, fp);
  fclose(fp);
  if (got != sizeof head || png_sig_cmp(head, 0, 8) || memcmp(head + 12, "IHDR", 4) != 0) return nullptr;
  auto be32 = [](const unsigned char* b) {
    return ((unsigned long)b[0] << 24) | ((unsigned long)b[1] << 16) | ((unsigned long)b[2] << 8) | b[3];
  };
  const unsigned long w = be32(head + 16), h = be32(head + 20);
  if (w == 0 || h == 0 || w > (unsigned long)INT32_MAX || h > (unsigned long)INT32_MAX ||
      (long long)w * (long long)h > LICE_PNG_MAX_PIXELS)
    return nullptr;
  return new (std::nothrow) LICE_LazyPNGBitmap(path, (int)w, (int)h);
}

LICE_LazyPNGBitmap::LICE_LazyPNGBitmap(std::string path, int w, int h)
    : m_path(std::move(path)), m_width(w), m_height(h) {}

LICE_MemBitmap* LICE_LazyPNGBitmap::image() const {
  if (!m_decoded.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_decoded.load(std::memory_order_relaxed)) {
      std::unique_ptr<LICE_MemBitmap> img(new (std::nothrow) LICE_MemBitmap(0, 0, 4));
      // Drawing code sized its work from the header; pixels of another size
      // would be read out of bounds, so they count as a failed decode.
      if (img && (!LICE_LoadPNG(m_path.c_str(), img.get()) || img->getWidth() != m_width ||
                  img->getHeight() != m_height))
        img.reset();
      m_image = std::move(img);
      m_decoded.store(true, std::memory_order_release);
    }
  }
  return m_image.get();
}

LICE_PackedPixel* LICE_LazyPNGBitmap::getBits() const {
  LICE_MemBitmap* img = image();
  return img ? img->getBits() : nullptr;
}

int LICE_LazyPNGBitmap::getRowSpan() const {
  LICE_MemBitmap* img = image();
  return img ? img->getRowSpan() : 0;
}

bool LICE_LazyPNGBitmap::resize(int w, int h) {
  if (w == m_width && h == m_height) return false;
  image();
  std::lock_guard<std::mutex> guard(m_lock);
  if (!m_image) m_image.reset(new (std::nothrow) LICE_MemBitmap(0, 0, 4));
  if (m_image) m_image->resize(w, h);
  m_width = m_image ? m_image->getWidth() : 0;
  m_height = m_image ? m_image->getHeight() : 0;
  return true;
}

// ---------------------------------------------------------------------------
// Loader list

_LICE_ImageLoader_rec* LICE_ImageLoader_list = nullptr;

LICE_IBitmap* LICE_PNGLoader::loadfunc(const char* filename, bool checkFileName, LICE_IBitmap* bmpbase) {
  if (!filename) return nullptr;
  if (checkFileName) {
    // The extension starts at the last '.', '/' or '\'; the first character
    // is never taken as that separator, so ".png" alone has no extension
    // boundary and is compared whole.
    const char* p = filename;
    while (*p) ++p;
    while (p > filename + 1 && p[-1] != '.' && p[-1] != '/' && p[-1] != '\\') --p;
    const char* ext = p > filename + 1 ? p - 1 : filename;
    if (strcasecmp(ext, ".png") != 0) return nullptr;
  }
  return LICE_LoadPNG(filename, bmpbase);
}

const char* LICE_PNGLoader::get_extlist() { return "PNG files (*.PNG)\0*.PNG\0\0"; }

LICE_PNGLoader::LICE_PNGLoader() {
  rec.loadfunc = loadfunc;
  rec.get_extlist = get_extlist;
  rec._next = LICE_ImageLoader_list;
  LICE_ImageLoader_list = &rec;
}

LICE_PNGLoader LICE_pngldr;
