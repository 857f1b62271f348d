// Raster drawing speed on the editor's surface (863 x 468) and a control-sized
// one (275 x 165). Every surface benchmark reports bytes processed as
// width * height * 4, the same as BM_MemcpySurface, so each figure reads as a
// ratio to a plain memory copy of the surface.
//
// Run: build/bench/bench_raster [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "raster/lice_bitmap.h"
#include "raster/lice_blit.h"
#include "raster/lice_combine.h"
#include "raster/lice_line.h"
#include "raster/lice_png.h"

namespace {

void fillRandom(LICE_IBitmap* bm, uint32_t seed) {
  std::mt19937 rng(seed);
  LICE_pixel* bits = bm->getBits();
  for (int y = 0; y < bm->getHeight(); ++y)
    for (int x = 0; x < bm->getWidth(); ++x) bits[y * bm->getRowSpan() + x] = rng();
}

struct Surfaces {
  LICE_MemBitmap src, dst;
  Surfaces(int w, int h) : src(w, h), dst(w, h) {
    fillRandom(&src, 1);
    fillRandom(&dst, 2);
  }
};

void setBytes(benchmark::State& state, int w, int h) {
  state.SetBytesProcessed((int64_t)state.iterations() * w * h * 4);
}

#define SURFACE_SIZES ->Args({863, 468})->Args({275, 165})

void BM_MemcpySurface(benchmark::State& state) {
  const int w = (int)state.range(0), h = (int)state.range(1);
  std::vector<LICE_pixel> a((size_t)w * h, 1), b((size_t)w * h, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * sizeof(LICE_pixel));
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  setBytes(state, w, h);
}
BENCHMARK(BM_MemcpySurface) SURFACE_SIZES;

/// Runs draw(surfaces, w, h) on fresh random surfaces of the state's size and
/// reports the surface's bytes per iteration.
template <class Draw>
void surfaceBench(benchmark::State& state, Draw draw) {
  const int w = (int)state.range(0), h = (int)state.range(1);
  Surfaces s(w, h);
  for (auto _ : state) {
    draw(s, w, h);
    benchmark::ClobberMemory();
  }
  setBytes(state, w, h);
}

void blitBench(benchmark::State& state, float alpha, int mode) {
  surfaceBench(state, [&](Surfaces& s, int, int) {
    LICE_Blit(&s.dst, &s.src, 0, 0, nullptr, alpha, mode);
  });
}

void BM_BlitCopy(benchmark::State& state) { blitBench(state, 1.0f, LICE_COMBINE_COPY); }
BENCHMARK(BM_BlitCopy) SURFACE_SIZES;

// The editor's default blend: copy weighted by each source pixel's alpha.
void BM_BlitSourceAlpha(benchmark::State& state) {
  blitBench(state, 1.0f, LICE_COMBINE_COPY | LICE_COMBINE_SOURCE_ALPHA);
}
BENCHMARK(BM_BlitSourceAlpha) SURFACE_SIZES;

void BM_BlitCopyWeighted(benchmark::State& state) { blitBench(state, 0.7f, LICE_COMBINE_COPY); }
BENCHMARK(BM_BlitCopyWeighted) SURFACE_SIZES;

void BM_BlitAdd(benchmark::State& state) { blitBench(state, 1.0f, LICE_COMBINE_ADD); }
BENCHMARK(BM_BlitAdd) SURFACE_SIZES;

// A source 1.5 times larger in each direction, reduced with bilinear samples.
void BM_ScaledBlitFilter(benchmark::State& state) {
  const int w = (int)state.range(0), h = (int)state.range(1);
  LICE_MemBitmap src(w * 3 / 2, h * 3 / 2), dst(w, h);
  fillRandom(&src, 3);
  for (auto _ : state) {
    LICE_ScaledBlit(&dst, &src, 0, 0, w, h, 0, 0, (float)src.getWidth(), (float)src.getHeight(),
                    1.0f, LICE_COMBINE_COPY | LICE_COMBINE_FILTER);
    benchmark::ClobberMemory();
  }
  setBytes(state, w, h);
}
BENCHMARK(BM_ScaledBlitFilter) SURFACE_SIZES;

void BM_BlurInPlace(benchmark::State& state) {
  surfaceBench(state, [](Surfaces& s, int w, int h) { LICE_Blur(&s.dst, &s.dst, 0, 0, 0, 0, w, h); });
}
BENCHMARK(BM_BlurInPlace) SURFACE_SIZES;

void BM_BlurToOther(benchmark::State& state) {
  surfaceBench(state, [](Surfaces& s, int w, int h) { LICE_Blur(&s.dst, &s.src, 0, 0, 0, 0, w, h); });
}
BENCHMARK(BM_BlurToOther) SURFACE_SIZES;

void BM_FillRectAlpha(benchmark::State& state) {
  surfaceBench(state, [](Surfaces& s, int w, int h) {
    LICE_FillRect(&s.dst, 0, 0, w, h, LICE_MakePixel(40, 90, 200, 255), 0.7f, LICE_COMBINE_COPY);
  });
}
BENCHMARK(BM_FillRectAlpha) SURFACE_SIZES;

// 1,000 anti-aliased segments with random fractional end points inside the
// surface (the LFO plot draws its curve this way). Bytes are the surface's.
void BM_FLineAA1000(benchmark::State& state) {
  const int w = (int)state.range(0), h = (int)state.range(1);
  std::mt19937 rng(4);
  std::uniform_real_distribution<float> fx(0.0f, (float)w), fy(0.0f, (float)h);
  std::vector<float> pts(4000);
  for (size_t i = 0; i < pts.size(); i += 2) {
    pts[i] = fx(rng);
    pts[i + 1] = fy(rng);
  }
  surfaceBench(state, [&](Surfaces& s, int, int) {
    for (size_t i = 0; i < pts.size(); i += 4)
      LICE_FLine(&s.dst, pts[i], pts[i + 1], pts[i + 2], pts[i + 3], 0xFFFFFFFFu, 0.8f,
                 LICE_COMBINE_COPY, true);
  });
}
BENCHMARK(BM_FLineAA1000) SURFACE_SIZES;

/// The knob strip: 150 frames of 60 x 60 stacked vertically.
std::string knobStripPath() {
  std::string here = __FILE__;
  const size_t slash = here.find_last_of('/');
  here = slash == std::string::npos ? std::string(".") : here.substr(0, slash);
  return here + "/../tremolo/resources/img/Depth_base_knob6.png";
}

void BM_LoadPNGKnobStrip150(benchmark::State& state) {
  const std::string path = knobStripPath();
  std::unique_ptr<LICE_IBitmap> probe(LICE_LoadPNG(path.c_str()));
  if (!probe) {
    state.SkipWithError("knob strip PNG not found");
    return;
  }
  const int w = probe->getWidth(), h = probe->getHeight();
  LICE_MemBitmap reuse;
  for (auto _ : state) {
    LICE_IBitmap* bm = LICE_LoadPNG(path.c_str(), &reuse);
    benchmark::DoNotOptimize(bm);
  }
  setBytes(state, w, h);
  state.counters["pixels"] = (double)w * h;
}
BENCHMARK(BM_LoadPNGKnobStrip150);

// Baseline for the PNG figure: a memcpy of the decoded strip's bytes.
void BM_MemcpyKnobStrip(benchmark::State& state) {
  const int w = 60, h = 9000;
  std::vector<LICE_pixel> a((size_t)w * h, 1), b((size_t)w * h, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * sizeof(LICE_pixel));
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  setBytes(state, w, h);
}
BENCHMARK(BM_MemcpyKnobStrip);

}  // namespace
