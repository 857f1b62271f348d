// PNG loading: the conformance corpus (every valid file decodes, every broken
// one is refused, file and memory loaders agree), pixel values checked against
// PNGs encoded here from known samples, and hostile input (truncation, bit
// flips, absurd headers) that must come back as null without leaks.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "raster/lice_bitmap.h"
#include "raster/lice_png.h"

namespace {

typedef std::vector<uint8_t> Bytes;

std::string CorpusDir() { return std::string(QUILL_TESTDATA_DIR) + "/png/"; }

Bytes ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// ---------------------------------------------------------------------------
// A minimal PNG writer: stored (uncompressed) deflate blocks, filter 0 rows.
// It lets each test state the exact samples and expect exact pixels.

uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutBE32(Bytes& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back((uint8_t)(v >> s));
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  PutBE32(out, (uint32_t)data.size());
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBE32(out, Crc32(body.data(), body.size()));
}

Bytes ZlibStored(const Bytes& raw) {
  Bytes z = {0x78, 0x01};
  size_t pos = 0;
  do {
    const size_t n = std::min<size_t>(65535, raw.size() - pos);
    z.push_back(pos + n == raw.size() ? 1 : 0);
    z.push_back((uint8_t)n);
    z.push_back((uint8_t)(n >> 8));
    z.push_back((uint8_t)~n);
    z.push_back((uint8_t)(~n >> 8));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutBE32(z, (b << 16) | a);
  return z;
}

struct PngSpec {
  int width = 0, height = 0;
  int colorType = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  int bitDepth = 8;
  std::vector<int> samples;  // row-major, channels per pixel interleaved
  Bytes plte;                // palette RGB triples
  Bytes trns;                // raw tRNS chunk body
};

int ChannelsOf(int colorType) {
  switch (colorType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
  }
}

Bytes EncodePng(const PngSpec& s) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  PutBE32(ihdr, (uint32_t)s.width);
  PutBE32(ihdr, (uint32_t)s.height);
  ihdr.push_back((uint8_t)s.bitDepth);
  ihdr.push_back((uint8_t)s.colorType);
  ihdr.push_back(0);
  ihdr.push_back(0);
  ihdr.push_back(0);
  PutChunk(out, "IHDR", ihdr);
  if (!s.plte.empty()) PutChunk(out, "PLTE", s.plte);
  if (!s.trns.empty()) PutChunk(out, "tRNS", s.trns);
  const int ch = ChannelsOf(s.colorType);
  Bytes raw;
  size_t k = 0;
  for (int y = 0; y < s.height; ++y) {
    raw.push_back(0);  // filter: none
    int acc = 0, bits = 0;
    for (int i = 0; i < s.width * ch; ++i) {
      const int v = s.samples[k++];
      if (s.bitDepth == 16) {
        raw.push_back((uint8_t)(v >> 8));
        raw.push_back((uint8_t)v);
      } else {
        acc = (acc << s.bitDepth) | v;
        bits += s.bitDepth;
        if (bits == 8) {
          raw.push_back((uint8_t)acc);
          acc = bits = 0;
        }
      }
    }
    if (bits) raw.push_back((uint8_t)(acc << (8 - bits)));
  }
  PutChunk(out, "IDAT", ZlibStored(raw));
  PutChunk(out, "IEND", Bytes());
  return out;
}

std::vector<int> RandomSamples(size_t n, int bitDepth, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(0, (1 << bitDepth) - 1);
  std::vector<int> v(n);
  for (int& x : v) x = d(rng);
  return v;
}

/// An image of width by height random samples of the given colour type and
/// bit depth, seeded so each test sees the same picture every run.
PngSpec RandomImage(int width, int height, int colorType, int bitDepth, unsigned seed) {
  return {width, height, colorType, bitDepth,
          RandomSamples((size_t)width * height * ChannelsOf(colorType), bitDepth, seed), {}, {}};
}

std::unique_ptr<LICE_IBitmap> LoadMem(const Bytes& png) {
  return std::unique_ptr<LICE_IBitmap>(LICE_LoadPNGFromMemory(png.data(), (int)png.size(), nullptr));
}

// 1, 2 and 4-bit grey scale up so that the top code is 255.
int ScaleTo8(int v, int bitDepth) { return bitDepth >= 8 ? v : v * 255 / ((1 << bitDepth) - 1); }

// ---------------------------------------------------------------------------
// Corpus table in the README: "| dir/file.png | bytes | WxH | ... | Expected | ... |".

struct CorpusEntry {
  std::string file;
  bool decode = false;
  int width = 0, height = 0;
};

std::vector<std::string> SplitCells(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, '|')) {
    const size_t a = cell.find_first_not_of(' ');
    const size_t b = cell.find_last_not_of(' ');
    cells.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
  }
  return cells;
}

std::vector<CorpusEntry> ReadCorpusTable() {
  std::vector<CorpusEntry> out;
  std::ifstream f(CorpusDir() + "README.md");
  std::string line;
  while (std::getline(f, line)) {
    if (line.rfind("| ", 0) != 0) continue;
    const std::vector<std::string> c = SplitCells(line);
    // c[0] is the empty text before the first bar.
    if (c.size() < 12 || c[1].size() < 5 || c[1].compare(c[1].size() - 4, 4, ".png") != 0) continue;
    CorpusEntry e;
    e.file = c[1];
    e.decode = c[11] == "decode";
    if (!e.decode && c[11].find("reject") == std::string::npos) continue;
    sscanf(c[3].c_str(), "%dx%d", &e.width, &e.height);
    out.push_back(e);
  }
  return out;
}

// A bitmap that stores rows bottom-up, to check that loading honours it.
class FlippedBitmap : public LICE_MemBitmap {
 public:
  bool isFlipped() const override { return true; }
};

// A foreign bitmap that reports rows narrower than its width.
class NarrowRowsBitmap : public LICE_MemBitmap {
 public:
  int getRowSpan() const override { return 1; }
};

// ---------------------------------------------------------------------------

TEST(PngCorpus, EveryValidFileDecodesAndEveryBrokenOneIsRefused) {
  const std::vector<CorpusEntry> table = ReadCorpusTable();
  ASSERT_EQ(table.size(), 346u) << "README table not found or changed under " << CorpusDir();
  int decoded = 0, refused = 0;
  for (const CorpusEntry& e : table) {
    const std::string path = CorpusDir() + e.file;
    std::unique_ptr<LICE_IBitmap> fromFile(LICE_LoadPNG(path.c_str(), nullptr));
    const Bytes bytes = ReadFile(path);
    ASSERT_FALSE(bytes.empty()) << path;
    std::unique_ptr<LICE_IBitmap> fromMem(LICE_LoadPNGFromMemory(bytes.data(), (int)bytes.size(), nullptr));
    if (e.decode) {
      ++decoded;
      ASSERT_TRUE(fromFile) << e.file << " should decode from its file";
      ASSERT_TRUE(fromMem) << e.file << " should decode from memory";
      EXPECT_EQ(fromFile->getWidth(), e.width) << e.file;
      EXPECT_EQ(fromFile->getHeight(), e.height) << e.file;
      EXPECT_EQ(LICE_BitmapCmp(fromFile.get(), fromMem.get()), 0) << e.file << ": file and memory decodes differ";
    } else {
      ++refused;
      EXPECT_FALSE(fromFile) << e.file << " is broken but decoded from its file";
      EXPECT_FALSE(fromMem) << e.file << " is broken but decoded from memory";
    }
  }
  EXPECT_EQ(decoded, 310);
  EXPECT_EQ(refused, 36);
}

TEST(PngCorpus, InterlacedFilesDecodeToTheSamePixelsAsTheirPlainTwins) {
  const char* pairs[][2] = {
      {"pngsuite/basi0g01.png", "pngsuite/basn0g01.png"}, {"pngsuite/basi0g02.png", "pngsuite/basn0g02.png"},
      {"pngsuite/basi0g04.png", "pngsuite/basn0g04.png"}, {"pngsuite/basi0g08.png", "pngsuite/basn0g08.png"},
      {"pngsuite/basi0g16.png", "pngsuite/basn0g16.png"}, {"pngsuite/basi2c08.png", "pngsuite/basn2c08.png"},
      {"pngsuite/basi2c16.png", "pngsuite/basn2c16.png"}, {"pngsuite/basi3p01.png", "pngsuite/basn3p01.png"},
      {"pngsuite/basi3p02.png", "pngsuite/basn3p02.png"}, {"pngsuite/basi3p04.png", "pngsuite/basn3p04.png"},
      {"pngsuite/basi3p08.png", "pngsuite/basn3p08.png"}, {"pngsuite/basi4a08.png", "pngsuite/basn4a08.png"},
      {"pngsuite/basi4a16.png", "pngsuite/basn4a16.png"}, {"pngsuite/basi6a08.png", "pngsuite/basn6a08.png"},
      {"pngsuite/basi6a16.png", "pngsuite/basn6a16.png"},
  };
  for (auto& p : pairs) {
    std::unique_ptr<LICE_IBitmap> a(LICE_LoadPNG((CorpusDir() + p[0]).c_str()));
    std::unique_ptr<LICE_IBitmap> b(LICE_LoadPNG((CorpusDir() + p[1]).c_str()));
    ASSERT_TRUE(a && b) << p[0];
    int box[4];
    EXPECT_EQ(LICE_BitmapCmp(a.get(), b.get(), box), 0) << p[0] << " differs from " << p[1] << " in a box at " << box[0]
                                                       << "," << box[1];
  }
}

TEST(PngCorpus, GreyFilesDecodeToEqualChannelsAndOpaqueWhenWithoutAlpha) {
  for (const char* f : {"pngsuite/basn0g01.png", "pngsuite/basn0g04.png", "pngsuite/basn0g16.png",
                        "pngsuite/basn4a08.png", "pngsuite/basn4a16.png"}) {
    std::unique_ptr<LICE_IBitmap> b(LICE_LoadPNG((CorpusDir() + f).c_str()));
    ASSERT_TRUE(b) << f;
    const bool hasAlpha = strstr(f, "4a") != nullptr;
    bool sawTranslucent = false;
    for (int y = 0; y < b->getHeight(); ++y)
      for (int x = 0; x < b->getWidth(); ++x) {
        const LICE_PackedPixel p = LICE_GetPixel(b.get(), x, y);
        ASSERT_EQ(LICE_PixelR(p), LICE_PixelG(p)) << f << " at " << x << "," << y;
        ASSERT_EQ(LICE_PixelR(p), LICE_PixelB(p)) << f << " at " << x << "," << y;
        if (!hasAlpha) {
          ASSERT_EQ(LICE_PixelA(p), 255) << f;
        }
        if (strstr(f, "g01")) {
          ASSERT_TRUE(LICE_PixelR(p) == 0 || LICE_PixelR(p) == 255) << f;
        }
        sawTranslucent |= LICE_PixelA(p) != 255;
      }
    EXPECT_EQ(sawTranslucent, hasAlpha) << f;
  }
}

// Walks the chunks of a PNG file for the palette and its transparency.
void ReadPaletteChunks(const Bytes& png, Bytes& plte, Bytes& trns) {
  size_t pos = 8;
  while (pos + 8 <= png.size()) {
    const uint32_t len = (uint32_t)png[pos] << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3];
    const std::string type(png.begin() + pos + 4, png.begin() + pos + 8);
    if (pos + 12 + len > png.size()) break;
    const Bytes body(png.begin() + pos + 8, png.begin() + pos + 8 + len);
    if (type == "PLTE") plte = body;
    if (type == "tRNS") trns = body;
    pos += 12 + len;
  }
}

TEST(PngCorpus, PaletteFilesWithTransparencyDecodeToPaletteColoursWithTheirAlpha) {
  for (const char* f : {"pngsuite/tbbn3p08.png", "pngsuite/tp1n3p08.png", "pngsuite/basn3p04.png",
                        "testpngs/palette-4-tRNS.png"}) {
    const Bytes bytes = ReadFile(CorpusDir() + f);
    Bytes plte, trns;
    ReadPaletteChunks(bytes, plte, trns);
    ASSERT_GE(plte.size(), 3u) << f;
    std::vector<LICE_PackedPixel> allowed;
    for (size_t i = 0; i + 2 < plte.size(); i += 3)
      allowed.push_back(LICE_MakePixel(plte[i], plte[i + 1], plte[i + 2], i / 3 < trns.size() ? trns[i / 3] : 255));
    std::unique_ptr<LICE_IBitmap> b(LICE_LoadPNG((CorpusDir() + f).c_str()));
    ASSERT_TRUE(b) << f;
    for (int y = 0; y < b->getHeight(); ++y)
      for (int x = 0; x < b->getWidth(); ++x) {
        const LICE_PackedPixel p = LICE_GetPixel(b.get(), x, y);
        ASSERT_NE(std::find(allowed.begin(), allowed.end(), p), allowed.end())
            << f << ": pixel " << std::hex << p << " at " << std::dec << x << "," << y << " is no palette entry";
      }
  }
}

// ---------------------------------------------------------------------------
// Exact pixel values from encoded samples.

TEST(PngPixels, RgbWithoutAlphaGetsOpaqueAlphaAndExactColours) {
  PngSpec s = RandomImage(7, 3, 2, 8, 1);
  std::unique_ptr<LICE_IBitmap> b = LoadMem(EncodePng(s));
  ASSERT_TRUE(b);
  ASSERT_EQ(b->getWidth(), 7);
  ASSERT_EQ(b->getHeight(), 3);
  for (int i = 0; i < 21; ++i) {
    const int* px = &s.samples[i * 3];
    EXPECT_EQ(LICE_GetPixel(b.get(), i % 7, i / 7), LICE_MakePixel(px[0], px[1], px[2], 255)) << "pixel " << i;
  }
}

TEST(PngPixels, RgbaKeepsStraightColoursAndAlphaInTheFirstByte) {
  PngSpec s = RandomImage(5, 4, 6, 8, 2);
  s.samples[0] = 200, s.samples[1] = 100, s.samples[2] = 50, s.samples[3] = 10;  // faint but not premultiplied
  std::unique_ptr<LICE_IBitmap> b = LoadMem(EncodePng(s));
  ASSERT_TRUE(b);
  const uint8_t* first = reinterpret_cast<const uint8_t*>(b->getBits());
  EXPECT_EQ(first[0], 10);
  EXPECT_EQ(first[1], 200);
  EXPECT_EQ(first[2], 100);
  EXPECT_EQ(first[3], 50);
  for (int i = 0; i < 20; ++i) {
    const int* px = &s.samples[i * 4];
    EXPECT_EQ(LICE_GetPixel(b.get(), i % 5, i / 5), LICE_MakePixel(px[0], px[1], px[2], px[3])) << "pixel " << i;
  }
}

TEST(PngPixels, LowDepthGreyExpandsToTheFullRangeAndOneBitIsBlackOrWhite) {
  for (int depth : {1, 2, 4, 8}) {
    // Odd width: the last byte of each row is partly padding.
    PngSpec s = RandomImage(13, 3, 0, depth, 10 + depth);
    std::unique_ptr<LICE_IBitmap> b = LoadMem(EncodePng(s));
    ASSERT_TRUE(b) << "depth " << depth;
    for (int i = 0; i < 39; ++i) {
      const int v = ScaleTo8(s.samples[i], depth);
      EXPECT_EQ(LICE_GetPixel(b.get(), i % 13, i / 13), LICE_MakePixel(v, v, v, 255)) << "depth " << depth << " pixel " << i;
    }
    if (depth == 1)
      for (int i = 0; i < 39; ++i) {
        const LICE_PackedPixel p = LICE_GetPixel(b.get(), i % 13, i / 13);
        EXPECT_TRUE(p == 0x000000FFu || p == 0xFFFFFFFFu) << std::hex << p;
      }
  }
}

TEST(PngPixels, SixteenBitChannelsKeepTheirHighByte) {
  PngSpec s = RandomImage(6, 2, 6, 16, 3);
  s.samples[0] = 0x12FF;  // a low byte of 0xFF must not round the high byte up
  std::unique_ptr<LICE_IBitmap> b = LoadMem(EncodePng(s));
  ASSERT_TRUE(b);
  for (int i = 0; i < 12; ++i) {
    const int* px = &s.samples[i * 4];
    EXPECT_EQ(LICE_GetPixel(b.get(), i % 6, i / 6),
              LICE_MakePixel(px[0] >> 8, px[1] >> 8, px[2] >> 8, px[3] >> 8))
        << "pixel " << i;
  }
  EXPECT_EQ(LICE_PixelR(LICE_GetPixel(b.get(), 0, 0)), 0x12);
}

TEST(PngPixels, GreyWithAlphaAtEightAndSixteenBitsSpreadsGreyToAllColours) {
  for (int depth : {8, 16}) {
    PngSpec s = RandomImage(4, 4, 4, depth, 4 + depth);
    std::unique_ptr<LICE_IBitmap> b = LoadMem(EncodePng(s));
    ASSERT_TRUE(b);
    const int shift = depth == 16 ? 8 : 0;
    for (int i = 0; i < 16; ++i) {
      const int g = s.samples[i * 2] >> shift, a = s.samples[i * 2 + 1] >> shift;
      EXPECT_EQ(LICE_GetPixel(b.get(), i % 4, i / 4), LICE_MakePixel(g, g, g, a)) << "depth " << depth;
    }
  }
}

TEST(PngPixels, PaletteTransparencyAppliesPerEntryAndEntriesPastItAreOpaque) {
  PngSpec s{9, 3, 3, 4, RandomSamples(9 * 3, 4, 5), {}, {}};
  for (int i = 0; i < 16; ++i) {
    s.plte.push_back((uint8_t)(i * 16));
    s.plte.push_back((uint8_t)(255 - i * 3));
    s.plte.push_back((uint8_t)(i * 7));
  }
  s.trns = {0, 64, 128, 200, 255};  // entries 5..15 carry no transparency
  std::unique_ptr<LICE_IBitmap> b = LoadMem(EncodePng(s));
  ASSERT_TRUE(b);
  for (int i = 0; i < 27; ++i) {
    const int k = s.samples[i];
    const int a = k < 5 ? s.trns[k] : 255;
    EXPECT_EQ(LICE_GetPixel(b.get(), i % 9, i / 9), LICE_MakePixel(k * 16, 255 - k * 3, k * 7, a)) << "index " << k;
  }
}

TEST(PngPixels, ColourKeyTransparencyClearsAlphaOnlyWhereTheKeyMatches) {
  // Grey 8-bit with key 77, RGB 16-bit with key (0x1234, 0x5678, 0x9ABC).
  const PngSpec g{8, 2, 0, 8, {77, 78, 76, 77, 0, 255, 77, 1, 77, 77, 2, 3, 4, 5, 6, 77}, {}, {0, 77}};
  std::unique_ptr<LICE_IBitmap> gb = LoadMem(EncodePng(g));
  ASSERT_TRUE(gb);
  for (int i = 0; i < 16; ++i) {
    const int v = g.samples[i];
    EXPECT_EQ(LICE_GetPixel(gb.get(), i % 8, i / 8), LICE_MakePixel(v, v, v, v == 77 ? 0 : 255)) << i;
  }

  // Matching key; same high bytes but a different low byte; unrelated.
  const PngSpec c{3, 1, 2, 16, {0x1234, 0x5678, 0x9ABC, 0x1234, 0x5678, 0x9ABD, 0xFFFF, 0, 0x8000}, {},
                  {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}};
  std::unique_ptr<LICE_IBitmap> cb = LoadMem(EncodePng(c));
  ASSERT_TRUE(cb);
  EXPECT_EQ(LICE_GetPixel(cb.get(), 0, 0), LICE_MakePixel(0x12, 0x56, 0x9A, 0));
  EXPECT_EQ(LICE_GetPixel(cb.get(), 1, 0), LICE_MakePixel(0x12, 0x56, 0x9A, 255));
  EXPECT_EQ(LICE_GetPixel(cb.get(), 2, 0), LICE_MakePixel(0xFF, 0x00, 0x80, 255));
}

// ---------------------------------------------------------------------------
// Targets and entry points.

TEST(PngTargets, LoadingIntoAnExistingBitmapResizesItAndReturnsIt) {
  PngSpec s = RandomImage(20, 5, 2, 8, 6);
  const Bytes png = EncodePng(s);
  LICE_MemBitmap bmp(10, 10);
  EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), (int)png.size(), &bmp), &bmp);
  EXPECT_EQ(bmp.getWidth(), 20);
  EXPECT_EQ(bmp.getHeight(), 5);
  EXPECT_EQ(LICE_GetPixel(&bmp, 19, 4), LICE_MakePixel(s.samples[297], s.samples[298], s.samples[299], 255));
}

TEST(PngTargets, AFlippedTargetReceivesImageRowZeroAsItsVisualTopRow) {
  PngSpec s = RandomImage(4, 6, 6, 8, 7);
  const Bytes png = EncodePng(s);
  std::unique_ptr<LICE_IBitmap> plain = LoadMem(png);
  ASSERT_TRUE(plain);
  for (int viaFile = 0; viaFile < 2; ++viaFile) {
    FlippedBitmap flipped;
    LICE_IBitmap* got = nullptr;
    if (viaFile) {
      const std::string path = testing::TempDir() + "flip.png";
      std::ofstream(path, std::ios::binary).write((const char*)png.data(), (std::streamsize)png.size());
      got = LICE_LoadPNG(path.c_str(), &flipped);
    } else {
      got = LICE_LoadPNGFromMemory(png.data(), (int)png.size(), &flipped);
    }
    ASSERT_EQ(got, &flipped);
    EXPECT_EQ(LICE_BitmapCmp(plain.get(), &flipped), 0) << (viaFile ? "file" : "memory");
    // Stored row 0 of the flipped bitmap is the image's bottom row.
    EXPECT_EQ(flipped.getBits()[0], LICE_GetPixel(plain.get(), 0, 5));
  }
}

TEST(PngLazy, TheHeaderGivesTheSizeAndTheFirstPixelAccessDecodesOnceWithTheSamePixels) {
  const PngSpec s = RandomImage(13, 7, 6, 8, 11);
  Bytes png = EncodePng(s);
  const std::string path = testing::TempDir() + "lazy.png";
  auto save = [&](const Bytes& b) {
    std::ofstream(path, std::ios::binary).write((const char*)b.data(), (std::streamsize)b.size());
  };
  save(png);
  const long long before = LICE_PNGDecodeCount();
  std::unique_ptr<LICE_LazyPNGBitmap> lazy(LICE_LazyPNGBitmap::Open(path.c_str()));
  ASSERT_TRUE(lazy);
  EXPECT_EQ(lazy->getWidth(), 13);
  EXPECT_EQ(lazy->getHeight(), 7);
  EXPECT_FALSE(lazy->isDecoded());
  EXPECT_EQ(LICE_PNGDecodeCount(), before);
  std::unique_ptr<LICE_IBitmap> eager = LoadMem(png);
  ASSERT_TRUE(eager);
  EXPECT_EQ(LICE_BitmapCmp(lazy.get(), eager.get()), 0);
  EXPECT_EQ(lazy->getRowSpan(), eager->getRowSpan());
  EXPECT_EQ(LICE_PNGDecodeCount(), before + 2) << "one lazy decode, one direct";
  lazy->getBits();
  EXPECT_EQ(LICE_PNGDecodeCount(), before + 2);

  // A body that fails to decode later leaves the header size with no pixels.
  png[png.size() - 20] ^= 0x55;
  save(png);
  std::unique_ptr<LICE_LazyPNGBitmap> broken(LICE_LazyPNGBitmap::Open(path.c_str()));
  ASSERT_TRUE(broken);
  EXPECT_EQ(broken->getWidth(), 13);
  EXPECT_EQ(broken->getBits(), nullptr);
  // No signature, a missing file or an empty size: nothing to open.
  save(Bytes(png.begin() + 1, png.end()));
  EXPECT_FALSE(LICE_LazyPNGBitmap::Open(path.c_str()));
  EXPECT_FALSE(LICE_LazyPNGBitmap::Open((path + ".missing").c_str()));
  EXPECT_FALSE(LICE_LazyPNGBitmap::Open(nullptr));
  PngSpec empty = s;
  empty.width = 0;
  empty.samples.clear();
  save(EncodePng(empty));
  EXPECT_FALSE(LICE_LazyPNGBitmap::Open(path.c_str()));
}

TEST(PngTargets, MemoryLoaderRefusesShortOrUnsignedDataWithoutTouchingTheBitmap) {
  Bytes png = EncodePng({2, 2, 0, 8, {1, 2, 3, 4}, {}, {}});
  LICE_MemBitmap bmp(3, 3);
  LICE_Clear(&bmp, 0x11223344u);
  EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), 7, &bmp), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromMemory(nullptr, 100, &bmp), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), -5, &bmp), nullptr);
  png[1] = 'Q';
  EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), 8, &bmp), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), (int)png.size(), &bmp), nullptr);
  EXPECT_EQ(bmp.getWidth(), 3);
  EXPECT_EQ(bmp.getHeight(), 3);
  EXPECT_EQ(LICE_GetPixel(&bmp, 2, 2), 0x11223344u);
}

TEST(PngTargets, ABitmapWhoseRowsAreNarrowerThanItsWidthIsRefused) {
  const Bytes png = ReadFile(CorpusDir() + "pngsuite/basn6a08.png");
  NarrowRowsBitmap narrow;
  EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), (int)png.size(), &narrow), nullptr);
}

TEST(PngTargets, MissingFilesAndNullPathsGiveNull) {
  EXPECT_EQ(LICE_LoadPNG(nullptr), nullptr);
  EXPECT_EQ(LICE_LoadPNG((CorpusDir() + "no-such-file.png").c_str()), nullptr);
  EXPECT_EQ(LICE_LoadPNG(CorpusDir().c_str()), nullptr);  // a directory
  EXPECT_EQ(LICE_LoadPNGFromResource(nullptr, 101, nullptr), nullptr);
}

TEST(PngTargets, NamedResourcesResolveUnderTheBundleResourceFolder) {
  const std::string bundle = testing::TempDir() + "QuillTest.bundle";
  const std::string folder = bundle + "/Contents/Resources/img";
  std::filesystem::create_directories(folder);
  const Bytes knob = ReadFile(CorpusDir() + "pngsuite/basn6a08.png");
  std::ofstream(folder + "/knob.png", std::ios::binary).write((const char*)knob.data(), (std::streamsize)knob.size());

  LICE_SetResourceBundlePath(nullptr);
  EXPECT_EQ(LICE_LoadPNGFromNamedResource("img/knob.png"), nullptr) << "no bundle path known yet";
  LICE_SetResourceBundlePath(bundle.c_str());
  std::unique_ptr<LICE_IBitmap> b(LICE_LoadPNGFromNamedResource("img/knob.png"));
  ASSERT_TRUE(b);
  EXPECT_EQ(b->getWidth(), 32);
  EXPECT_EQ(LICE_LoadPNGFromNamedResource(nullptr), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromNamedResource(std::string(401, 'a').c_str()), nullptr);
  LICE_SetResourceBundlePath(std::string(1537, '/').c_str());
  EXPECT_EQ(LICE_LoadPNGFromNamedResource("img/knob.png"), nullptr) << "an over-long bundle path is dropped";
  LICE_SetResourceBundlePath(nullptr);
}

TEST(PngLoaderList, ThePngLoaderIsRegisteredAndChecksTheExtension) {
  bool found = false;
  for (_LICE_ImageLoader_rec* r = LICE_ImageLoader_list; r; r = r->_next) found |= r == &LICE_pngldr.rec;
  EXPECT_TRUE(found);

  const char* ext = LICE_PNGLoader::get_extlist();
  EXPECT_STREQ(ext, "PNG files (*.PNG)");
  ext += strlen(ext) + 1;
  EXPECT_STREQ(ext, "*.PNG");
  ext += strlen(ext) + 1;
  EXPECT_STREQ(ext, "");

  const std::string dir = testing::TempDir();
  const Bytes png = ReadFile(CorpusDir() + "pngsuite/basn0g08.png");
  for (const char* name : {"a.PNG", "b.png", "c.PnG", "d.png.bak", "epng", "f.png.", "g"}) {
    std::ofstream(dir + name, std::ios::binary).write((const char*)png.data(), (std::streamsize)png.size());
  }
  auto accepts = [&](const char* name) {
    std::unique_ptr<LICE_IBitmap> b(LICE_PNGLoader::loadfunc((dir + name).c_str(), true, nullptr));
    return b != nullptr;
  };
  EXPECT_TRUE(accepts("a.PNG"));
  EXPECT_TRUE(accepts("b.png"));
  EXPECT_TRUE(accepts("c.PnG"));
  EXPECT_FALSE(accepts("d.png.bak"));
  EXPECT_FALSE(accepts("f.png."));
  // Without the check the content decides.
  std::unique_ptr<LICE_IBitmap> b(LICE_PNGLoader::loadfunc((dir + "d.png.bak").c_str(), false, nullptr));
  EXPECT_TRUE(b);
  // A bare name has no separator at all: the whole name is the "extension".
  EXPECT_EQ(LICE_PNGLoader::loadfunc("g", true, nullptr), nullptr);
  EXPECT_EQ(LICE_PNGLoader::loadfunc("epng", true, nullptr), nullptr);
  EXPECT_EQ(LICE_PNGLoader::loadfunc(nullptr, true, nullptr), nullptr);
}

// ---------------------------------------------------------------------------
// Hostile input. Run under AddressSanitizer these also prove the error path
// frees everything.

TEST(PngHostile, EveryTruncationEitherFailsOrYieldsTheFullSizedImage) {
  const Bytes png = ReadFile(CorpusDir() + "pngsuite/basi3p08.png");
  ASSERT_FALSE(png.empty());
  size_t firstIdat = 0;
  for (size_t i = 8; i + 4 <= png.size(); ++i)
    if (!memcmp(&png[i], "IDAT", 4)) {
      firstIdat = i - 4;
      break;
    }
  ASSERT_GT(firstIdat, 0u);
  LICE_MemBitmap target;
  for (size_t n = 0; n < png.size(); ++n) {
    std::unique_ptr<LICE_IBitmap> b(LICE_LoadPNGFromMemory(png.data(), (int)n, nullptr));
    if (n <= firstIdat + 8) {
      EXPECT_FALSE(b) << "cut at " << n << " leaves no image data";
    }
    if (b) {
      EXPECT_EQ(b->getWidth(), 32);
      EXPECT_EQ(b->getHeight(), 32);
    }
    // A caller's bitmap survives a failed load and stays usable.
    LICE_IBitmap* r = LICE_LoadPNGFromMemory(png.data(), (int)n, &target);
    EXPECT_TRUE(r == nullptr || r == &target);
  }
}

TEST(PngHostile, RandomByteDamageNeverCrashesAndNeverMisreportsTheSize) {
  const Bytes orig = ReadFile(CorpusDir() + "pngsuite/basn2c16.png");
  ASSERT_FALSE(orig.empty());
  std::mt19937 rng(1234);
  int refused = 0;
  for (int round = 0; round < 600; ++round) {
    Bytes png = orig;
    const int hits = 1 + (int)(rng() % 4);
    for (int h = 0; h < hits; ++h) png[8 + rng() % (png.size() - 8)] ^= (uint8_t)(1 + rng() % 255);
    std::unique_ptr<LICE_IBitmap> b(LICE_LoadPNGFromMemory(png.data(), (int)png.size(), nullptr));
    if (!b)
      ++refused;
    else
      EXPECT_TRUE(b->getWidth() > 0 && b->getHeight() > 0 && b->getBits());
  }
  // CRCs cover every chunk, so nearly all damage must be caught.
  EXPECT_GT(refused, 500);
}

TEST(PngHostile, AbsurdHeaderSizesAreRefusedBeforeAllocating) {
  struct Case {
    uint32_t w, h;
  } cases[] = {{100000, 100000}, {1u << 30, 1}, {0x7FFFFFFF, 2}, {0, 10}, {10, 0}, {9000, 9000}, {0x80000000u, 1}};
  for (const Case& c : cases) {
    Bytes png = EncodePng({1, 1, 6, 8, {1, 2, 3, 4}, {}, {}});
    // Patch the header's size and fix its CRC so only the size is wrong.
    for (int i = 0; i < 4; ++i) {
      png[16 + i] = (uint8_t)(c.w >> (24 - 8 * i));
      png[20 + i] = (uint8_t)(c.h >> (24 - 8 * i));
    }
    const uint32_t crc = Crc32(&png[12], 17);
    for (int i = 0; i < 4; ++i) png[29 + i] = (uint8_t)(crc >> (24 - 8 * i));
    LICE_MemBitmap target(2, 2);
    EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), (int)png.size(), &target), nullptr) << c.w << "x" << c.h;
    EXPECT_EQ(LICE_LoadPNGFromMemory(png.data(), (int)png.size(), nullptr), nullptr) << c.w << "x" << c.h;
    EXPECT_LE((long long)target.getWidth() * target.getHeight(), LICE_PNG_MAX_PIXELS);
  }
}

}  // namespace
