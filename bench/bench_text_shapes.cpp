// Text and shape drawing on the editor's back buffer (863 x 468): a
// 40-character string at 12 and 24 pixels (the editor's native path and the
// glyph-cache path), an anti-aliased filled circle of radius 30 and a 6-point
// filled polygon. BM_TextMeasure measures the text through the glyph cache
// (characters per second). The others report bytes processed as the drawn
// area's pixels * 4; BM_MemcpyArea copies the same areas row by row (within
// the 863-pixel rows) as the baseline.
//
// Run: build/bench/bench_text_shapes [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "raster/lice_bitmap.h"
#include "raster/lice_combine.h"
#include "raster/lice_shapes.h"
#include "raster/lice_text.h"

namespace {

const int kW = 863, kH = 468;
const char* const kText = "Rate 4.00 Hz  Depth 75%  Phase 1.50 Sync";  // 40 characters
const int kPolyX[6] = {300, 420, 480, 430, 310, 260};
const int kPolyY[6] = {100, 90, 170, 250, 240, 170};

// The text's box for a font of `height` pixels, measured once.
RECT textBox(int height) {
  LICE_CachedFont font;
  font.SetFromHFont(CreateFont(height, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, "Monaco"), LICE_CF_OWNS_FONT);
  RECT r = {20, 40, 20, 40};
  font.DrawText(nullptr, kText, -1, &r, DTF_CALCRECT);
  return r;
}

void BM_Text(benchmark::State& state) {
  const int height = (int)state.range(0);
  const int flags = state.range(1) ? LICE_CF_NATIVE : 0;
  LICE_SysBitmap back(kW, kH);
  LICE_Clear(&back, LICE_MakePixel(30, 30, 40, 255));
  LICE_CachedFont font;
  font.SetFromHFont(CreateFont(height, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, "Monaco"),
                    LICE_CF_OWNS_FONT | flags);
  font.SetTextColor(LICE_MakePixel(230, 230, 200, 255));
  RECT r = {20, 40, 843, 440};
  font.DrawText(&back, kText, -1, &r, DTF_NOCLIP);  // first use renders the glyphs
  for (auto _ : state) {
    RECT rr = r;
    benchmark::DoNotOptimize(font.DrawText(&back, kText, -1, &rr, DTF_NOCLIP));
    benchmark::ClobberMemory();
  }
  const RECT box = textBox(height);
  state.SetBytesProcessed((int64_t)state.iterations() * (box.right - box.left) * (box.bottom - box.top) * 4);
  state.SetLabel(std::to_string(box.right - box.left) + "x" + std::to_string(box.bottom - box.top) +
                 (flags ? " native" : " glyph cache"));
}
BENCHMARK(BM_Text)->Args({12, 1})->Args({24, 1})->Args({12, 0})->Args({24, 0});

// Measuring the same text through the glyph cache, as centred or
// right-aligned labels do before every draw.
void BM_TextMeasure(benchmark::State& state) {
  LICE_CachedFont font;
  font.SetFromHFont(CreateFont((int)state.range(0), 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, "Monaco"), LICE_CF_OWNS_FONT);
  RECT r = {20, 40, 20, 40};
  font.DrawText(nullptr, kText, -1, &r, DTF_CALCRECT);  // first use renders the glyphs
  for (auto _ : state) {
    RECT rr = {20, 40, 20, 40};
    benchmark::DoNotOptimize(font.DrawText(nullptr, kText, -1, &rr, DTF_CALCRECT));
    benchmark::DoNotOptimize(rr);
  }
  state.SetItemsProcessed((int64_t)state.iterations() * 40);
  state.SetLabel(std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + " glyph cache");
}
BENCHMARK(BM_TextMeasure)->Arg(12)->Arg(24);

void BM_FillCircleAA(benchmark::State& state) {
  LICE_SysBitmap back(kW, kH);
  LICE_Clear(&back, LICE_MakePixel(30, 30, 40, 255));
  for (auto _ : state) {
    LICE_FillCircle(&back, 400.0f, 200.0f, 30.0f, LICE_MakePixel(200, 120, 40, 255), 0.8f, LICE_COMBINE_COPY, true);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * 63 * 63 * 4);
}
BENCHMARK(BM_FillCircleAA);

void BM_FillPolygon6(benchmark::State& state) {
  LICE_SysBitmap back(kW, kH);
  LICE_Clear(&back, LICE_MakePixel(30, 30, 40, 255));
  for (auto _ : state) {
    LICE_FillConvexPolygon(&back, kPolyX, kPolyY, 6, LICE_MakePixel(40, 200, 120, 255), 0.8f, LICE_COMBINE_COPY);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * 221 * 161 * 4);  // bounding box
}
BENCHMARK(BM_FillPolygon6);

// Baseline: memcpy of a w x h area of the back buffer, row by row.
void BM_MemcpyArea(benchmark::State& state) {
  const int w = (int)state.range(0), h = (int)state.range(1);
  std::vector<LICE_pixel> a((size_t)kW * kH, 1), b((size_t)kW * kH, 2);
  for (auto _ : state) {
    for (int y = 0; y < h; ++y) std::memcpy(&b[(size_t)(y + 40) * kW + 20], &a[(size_t)(y + 40) * kW + 20], (size_t)w * 4);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * w * h * 4);
}
// The text boxes (12 and 24 px; see BM_Text's labels), the circle's and the polygon's areas.
BENCHMARK(BM_MemcpyArea)->Args({240, 12})->Args({520, 24})->Args({63, 63})->Args({221, 161});

}  // namespace
