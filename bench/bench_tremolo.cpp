// Render throughput of the tremolo: ProcessDoubleReplacing on stereo blocks
// at 48 kHz, per LFO shape, free-running and tempo-synced, next to a baseline
// that only multiplies the same buffers by a constant gain. items_per_second
// is frames per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "tremolo/QuillbarTremolo.h"

namespace {

const double kSampleRate = 48000.0;

struct StereoBlock {
  std::vector<double> inL, inR, outL, outR;
  double* in[2];
  double* out[2];
  explicit StereoBlock(int n) : inL(n), inR(n), outL(n), outR(n) {
    for (int i = 0; i < n; ++i) {
      inL[i] = std::sin(0.01 * i);
      inR[i] = std::cos(0.013 * i);
    }
    in[0] = inL.data();
    in[1] = inR.data();
    out[0] = outL.data();
    out[1] = outR.data();
  }
};

void setParam(QuillbarTremolo& plug, int idx, double plain) {
  IMutexLock lock(&plug);
  plug.GetParam(idx)->Set(plain);
  plug.OnParamChange(idx);
}

// Args: frames per block, shape x 100, tempo sync (0 or 1).
void BM_TremoloProcess(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  std::unique_ptr<QuillbarTremolo> plug(static_cast<QuillbarTremolo*>(MakePlug()));
  plug->SetSampleRate(kSampleRate);
  plug->Reset();
  plug->OnParamReset();
  setParam(*plug, kShape, state.range(1) / 100.0);
  setParam(*plug, kDepth, 0.8);
  setParam(*plug, kTempoSync, static_cast<double>(state.range(2)));
  StereoBlock block(frames);
  ITimeInfo time;
  time.mTransportIsRunning = true;
  time.mSamplePos = 0.0;
  for (auto _ : state) {
    time.mPPQPos = time.mSamplePos / (kSampleRate * 60.0 / time.mTempo);
    time.mLastBar = std::floor(time.mPPQPos / 4.0) * 4.0;
    plug->SetHostTime(time);
    plug->ProcessDoubleReplacing(block.in, block.out, frames);
    time.mSamplePos += frames;
    benchmark::DoNotOptimize(block.outL.data());
    benchmark::DoNotOptimize(block.outR.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frames);
}

void BM_ConstantGainBaseline(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  StereoBlock block(frames);
  double gain = 0.8;
  benchmark::DoNotOptimize(gain);
  for (auto _ : state) {
    for (int c = 0; c < 2; ++c)
      for (int j = 0; j < frames; ++j) block.out[c][j] = block.in[c][j] * gain;
    benchmark::DoNotOptimize(block.outL.data());
    benchmark::DoNotOptimize(block.outR.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frames);
}

}  // namespace

BENCHMARK(BM_TremoloProcess)
    ->ArgNames({"frames", "shape_x100", "sync"})
    ->ArgsProduct({{64, 512, 4096}, {0, 100, 150, 200}, {0}})
    ->ArgsProduct({{64, 512, 4096}, {100}, {1}});
BENCHMARK(BM_ConstantGainBaseline)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);
