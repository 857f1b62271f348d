// PNG writing: what is written loads back to the same pixels, in visual row
// order, and every bad input is refused without leaving a file behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "raster/lice_bitmap.h"
#include "raster/lice_png.h"
#include "raster/lice_png_write.h"
#include "raster_test_util.h"

namespace {

std::string TempPath(const char* name) {
  return std::string(::testing::TempDir()) + "/pngwrite_" + std::to_string(getpid()) + "_" + name;
}

bool FileExists(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return f.good();
}

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void FillRandom(rastertest::Guarded& g, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < g.h(); ++y)
    for (int x = 0; x < g.w(); ++x) g.at(x, y) = rng();
}

}  // namespace

TEST(PngWrite, RgbaRoundTripKeepsEveryByteOfStraightColourAndAlpha) {
  // Width 13 leaves padding at the end of each row of the guarded view.
  rastertest::Guarded src(13, 7);
  FillRandom(src, 1);
  const std::string path = TempPath("rgba.png");
  ASSERT_TRUE(LICE_WritePNG(path.c_str(), src.bm(), true));
  std::unique_ptr<LICE_IBitmap> back(LICE_LoadPNG(path.c_str()));
  ASSERT_TRUE(back);
  ASSERT_EQ(back->getWidth(), 13);
  ASSERT_EQ(back->getHeight(), 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 13; ++x)
      ASSERT_EQ(back->getBits()[y * back->getRowSpan() + x], src.at(x, y)) << "at " << x << "," << y;
  std::remove(path.c_str());
}

TEST(PngWrite, RgbDropsAlphaAndLoadsBackOpaque) {
  rastertest::Guarded src(9, 4);
  FillRandom(src, 2);
  const std::string path = TempPath("rgb.png");
  ASSERT_TRUE(LICE_WritePNG(path.c_str(), src.bm(), false));
  std::unique_ptr<LICE_IBitmap> back(LICE_LoadPNG(path.c_str()));
  ASSERT_TRUE(back);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 9; ++x) {
      const LICE_pixel p = back->getBits()[y * back->getRowSpan() + x];
      EXPECT_EQ(p, (src.at(x, y) & 0xFFFFFF00u) | 0xFFu) << "at " << x << "," << y;
    }
  std::remove(path.c_str());
}

TEST(PngWrite, FlippedBitmapIsWrittenTopRowFirst) {
  rastertest::Guarded src(5, 6, true);
  FillRandom(src, 3);
  std::vector<unsigned char> png;
  ASSERT_TRUE(LICE_WritePNGToMemory(png, src.bm(), true));
  std::unique_ptr<LICE_IBitmap> back(LICE_LoadPNGFromMemory(png.data(), static_cast<int>(png.size())));
  ASSERT_TRUE(back);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(back->getBits()[y * back->getRowSpan() + x], src.at(x, y));
}

TEST(PngWrite, MemoryAndFileOutputAreTheSameBytes) {
  rastertest::Guarded src(17, 3);
  FillRandom(src, 4);
  const std::string path = TempPath("same.png");
  std::vector<unsigned char> png;
  ASSERT_TRUE(LICE_WritePNGToMemory(png, src.bm(), true));
  ASSERT_TRUE(LICE_WritePNG(path.c_str(), src.bm(), true));
  EXPECT_EQ(ReadFile(path), png);
  std::remove(path.c_str());
}

TEST(PngWrite, NullEmptyOrUnwritableTargetsAreRefusedWithoutAFile) {
  LICE_MemBitmap empty;
  LICE_MemBitmap one(1, 1);
  const std::string path = TempPath("never.png");
  EXPECT_FALSE(LICE_WritePNG(path.c_str(), nullptr));
  EXPECT_FALSE(LICE_WritePNG(path.c_str(), &empty));
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(LICE_WritePNG(nullptr, &one));
  EXPECT_FALSE(LICE_WritePNG("", &one));
  EXPECT_FALSE(LICE_WritePNG("/nonexistent-folder/x/y.png", &one));

  std::vector<unsigned char> png{1, 2, 3};
  EXPECT_FALSE(LICE_WritePNGToMemory(png, &empty));
  EXPECT_TRUE(png.empty());
}

TEST(PngWrite, APathThatCannotBeOpenedIsLeftAsItWas) {
  // An empty directory is a path fopen refuses for writing even for root;
  // a failed write must not remove what it never wrote.
  const std::string dir = TempPath("a-folder.png");
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  LICE_MemBitmap one(1, 1);
  EXPECT_FALSE(LICE_WritePNG(dir.c_str(), &one));
  struct stat st;
  EXPECT_EQ(stat(dir.c_str(), &st), 0) << "the folder was removed";
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  rmdir(dir.c_str());
}

TEST(PngWrite, BitmapWhoseRowsAreNarrowerThanItsWidthIsRefused) {
  std::vector<LICE_pixel> mem(16, 0);
  rastertest::ViewBitmap bad(mem.data(), 4, 4, 2, false);
  std::vector<unsigned char> png;
  EXPECT_FALSE(LICE_WritePNGToMemory(png, &bad));
}
