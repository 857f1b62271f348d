// Render throughput of the tremolo: ProcessDoubleReplacing on stereo blocks
// at 48 kHz, per LFO shape, free-running and tempo-synced, next to a baseline
// that only multiplies the same buffers by a constant gain. items_per_second
// is frames per second. BM_OpenInitializeCold times what a host does before
// its first render: open the component and initialize it, with no skin image
// in the process-wide cache. The editor figures time strict redraws of the
// 863 x 468 editor, of all of it and of the area of one knob; their bytes
// are the back buffer's, so each reads as a ratio to BM_MemcpyBackBuffer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "QuillPlatformHost.h"
#include "host/HostUnit.h"
#include "editor/IGraphics.h"
#include "raster/lice_png.h"
#include "tremolo/QuillbarTremolo.h"
#include "tremolo/QuillbarTremoloUIConfig.h"
#include "tremolo/TremoloKernels.h"
#include "framework/SampleConvert.h"
#include "tests/support/HostTimeRecord.h"

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
  HostTimeRecord hostTime;
  time.mTransportIsRunning = true;
  time.mSamplePos = 0.0;
  for (auto _ : state) {
    time.mPPQPos = time.mSamplePos / (kSampleRate * 60.0 / time.mTempo);
    time.mLastBar = std::floor(time.mPPQPos / 4.0) * 4.0;
    hostTime.Report(*plug, time);
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

ComponentResult TremoloEntry(ComponentParameters* params, Handle storage) {
  return QuillbarTremolo_Entry(params, storage);
}

// Forgets every skin image, so that the next open starts as in a new process.
void DropSkinImages() {
  BitmapStorage& cache = IGraphics::BitmapCache();
  std::vector<int> ids = {kTremoloBackgroundId};
  const QuillbarTremoloUIConfig config;
  for (int i = 0; i < config.Size(); ++i)
    for (int id : config.Get(i)->bitmapIds) ids.push_back(id);
  for (int id : ids)
    while (LICE_IBitmap* bitmap = cache.Find(id)) cache.Remove(bitmap);
}

void BM_OpenInitializeCold(benchmark::State& state) {
  ComponentDescription desc{kAudioUnitType_Effect, QUILL_FOUR_CC('T', 'r', 'm', 'l'),
                            QUILL_FOUR_CC('Q', 'l', 'b', 'r'), 0, 0};
  static Component component = QuillRegisterComponent(&desc, TremoloEntry, "bench: QuillbarTremolo");
  const long long decodesBefore = LICE_PNGDecodeCount();
  for (auto _ : state) {
    state.PauseTiming();
    DropSkinImages();
    state.ResumeTiming();
    ComponentInstance unit = nullptr;
    if (OpenAComponent(component, &unit) != noErr || AudioUnitInitialize(unit) != noErr) {
      state.SkipWithError("the component did not open");
      break;
    }
    benchmark::DoNotOptimize(unit);
    state.PauseTiming();
    CloseComponent(unit);
    state.ResumeTiming();
  }
  state.counters["decodes_per_open"] =
      state.iterations() ? double(LICE_PNGDecodeCount() - decodesBefore) / double(state.iterations()) : 0.0;
}

/// Strict redraws of `area` (null: the whole editor) with the Default preset.
void editorRedraw(benchmark::State& state, bool oneKnob) {
  std::unique_ptr<QuillbarTremolo> plug(static_cast<QuillbarTremolo*>(MakePlug()));
  plug->OnParamReset();
  IGraphics* gui = plug->GetGUI<IGraphics>();
  IRECT area(0, 0, gui->Width(), gui->Height());
  if (oneKnob) {
    for (int i = 0; i < gui->GetNControls(); ++i)
      if (gui->GetControl(i)->ParamIdx() == kDepth) area = *gui->GetControl(i)->GetRECT();
  }
  gui->Draw(&area);  // decodes the skin
  for (auto _ : state) {
    gui->SetAllControlsDirty();
    gui->Draw(&area);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * gui->Width() * gui->Height() * 4);
}

void BM_EditorStrictRedrawAll(benchmark::State& state) { editorRedraw(state, false); }
void BM_EditorStrictRedrawOneKnob(benchmark::State& state) { editorRedraw(state, true); }

void BM_MemcpyBackBuffer(benchmark::State& state) {
  std::vector<LICE_pixel> a((size_t)kTremoloEditorWidth * kTremoloEditorHeight, 1), b(a.size(), 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * sizeof(LICE_pixel));
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)a.size() * 4);
}

// Renders through the Audio Unit calls as the command-line host does, stereo
// blocks of 512 at 48 kHz. Arg: the input, 0 a normal signal, 1 denormal
// floats throughout, 2 a signal decaying into the denormal range within the
// block. Flushing denormals on the render thread keeps all three alike.
void BM_RenderThroughUnit(benchmark::State& state) {
  const int frames = 512;
  HostUnit unit;
  std::string error;
  HostTransport transport;
  if (!unit.Open(&error) || !unit.Configure(kSampleRate, 2, frames, transport, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<float> in(2 * frames), out(2 * frames);
  for (int i = 0; i < frames; ++i) {
    float v = std::sin(0.01f * i);
    if (state.range(0) == 1) v = 1e-39f * (1.0f + 0.5f * v);
    if (state.range(0) == 2) v *= std::pow(10.0f, -45.0f * i / frames);
    in[i] = v;
    in[frames + i] = -v;
  }
  const float* ins[2] = {in.data(), in.data() + frames};
  float* outs[2] = {out.data(), out.data() + frames};
  for (auto _ : state) {
    unit.Render(ins, outs, frames);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frames);
}

// One render loop on a 512-frame block, per vector path, so both paths are
// timed side by side on the same machine. Args: the loop (0 float to double,
// 1 double to float, 2 gain, 3 LFO ramp, 4 LFO cosine), the path (0 baseline,
// 1 AVX2).
void BM_RenderLoop(benchmark::State& state) {
  const SimdPath path = state.range(1) ? SimdPath::kAvx2 : SimdPath::kBaseline;
  if (!SimdPathSupported(path)) {
    state.SkipWithError("this processor lacks the instruction set");
    return;
  }
  const TremoloKernels& trem = TremoloKernelsFor(path);
  const SampleConvertKernels& conv = SampleConvertKernelsFor(path);
  const int n = 512;
  std::vector<double> a(n, 0.25), b(n, 0.5), c(n);
  std::vector<float> f(n, 0.75f);
  CosineRunArgs cosine;
  cosine.theta = 0.002;
  cosine.c1 = std::cos(cosine.theta);
  cosine.s1 = std::sin(cosine.theta);
  cosine.c8 = std::cos(8 * cosine.theta);
  cosine.s8 = std::sin(8 * cosine.theta);
  cosine.step = 0.001;
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0: conv.floatToDouble(f.data(), c.data(), n); break;
      case 1: conv.doubleToFloat(a.data(), f.data(), n); break;
      case 2: trem.applyGain(a.data(), c.data(), b.data(), n, 0.5, 0.4); break;
      case 3: trem.rampRun(c.data(), n, 0.1, 0.001, -0.6, 1.0); break;
      default: trem.cosineRun(c.data(), n, cosine); break;
    }
    benchmark::DoNotOptimize(c.data());
    benchmark::DoNotOptimize(f.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

BENCHMARK(BM_RenderThroughUnit)->ArgName("input")->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_EditorStrictRedrawAll)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditorStrictRedrawOneKnob)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyBackBuffer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenInitializeCold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TremoloProcess)
    ->ArgNames({"frames", "shape_x100", "sync"})
    ->ArgsProduct({{512}, {0, 100, 150, 200}, {0, 1}})
    ->ArgsProduct({{64, 4096}, {0, 100}, {0}});
BENCHMARK(BM_RenderLoop)->ArgNames({"loop", "avx2"})->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}});
BENCHMARK(BM_ConstantGainBaseline)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);
