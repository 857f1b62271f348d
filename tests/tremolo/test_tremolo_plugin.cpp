#include "tremolo/QuillbarTremolo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "TremoloTestSupport.h"
#include "editor/IGraphicsHeadless.h"
#include "tremolo/IPlotControl.h"
#include "tests/support/HostTimeRecord.h"

using tremolotest::MakeTremolo;
using tremolotest::SetParam;
using tremolotest::SetParams;

namespace {

const double kPi = 3.141592653589793;

struct Stereo {
  std::vector<double> left, right;
};

// Renders n frames of constant input (both channels).
Stereo renderDC(QuillbarTremolo& plug, int n, double dc = 1.0) {
  std::vector<double> inL(n, dc), inR(n, dc);
  Stereo out{std::vector<double>(n), std::vector<double>(n)};
  double* in[2] = {inL.data(), inR.data()};
  double* o[2] = {out.left.data(), out.right.data()};
  plug.ProcessDoubleReplacing(in, o, n);
  return out;
}

// A transport that plays from a position at a fixed tempo and reports
// consistent sample, quarter-note and bar positions.
struct Transport {
  double sampleRate = 44100.0;
  double tempo = 120.0;
  double samplePos = 0.0;
  bool running = true;
  bool reportBar = true;
  HostTimeRecord hostTime;

  ITimeInfo at() const {
    ITimeInfo t;
    t.mTempo = tempo;
    t.mTransportIsRunning = running;
    t.mSamplePos = samplePos;
    t.mPPQPos = samplePos / (sampleRate * 60.0 / tempo);
    if (reportBar) t.mLastBar = std::floor(t.mPPQPos / 4.0) * 4.0;
    return t;
  }
  // Renders one block at the current position, then advances.
  Stereo play(QuillbarTremolo& plug, int n) {
    hostTime.Report(plug, at());
    Stereo s = renderDC(plug, n);
    if (running) samplePos += n;
    return s;
  }
};

double wrapCycle(double x) {
  x = std::fmod(x, 2 * kPi);
  return x < 0 ? x + 2 * kPi : x;
}

// Angular distance between two positions on the cycle.
double cycleDistance(double a, double b) {
  double d = std::fabs(wrapCycle(a) - wrapCycle(b));
  return std::min(d, 2 * kPi - d);
}

}  // namespace

// --- identity, parameters, presets -----------------------------------------

TEST(TremoloIdentity, FactoryBuildsTheDeclaredPlugIn) {
  std::unique_ptr<IPlugAU> plug(MakePlug());
  ASSERT_NE(plug, nullptr);
  EXPECT_STREQ(plug->GetEffectName(), "QuillbarTremolo");
  EXPECT_STREQ(plug->GetProductName(), "");
  EXPECT_STREQ(plug->GetMfrName(), "quillbarfx");
  EXPECT_EQ(plug->GetUniqueID(), 0x54726D6C);
  EXPECT_EQ(plug->GetMfrID(), 0x516C6272);  // 'Q' 'l' 'b' 'r'
  EXPECT_EQ(plug->GetEffectVersion(true), 10000);
  EXPECT_EQ(plug->GetAPI(), kAPIAU);
  EXPECT_FALSE(plug->DoesMIDI());
  EXPECT_FALSE(plug->IsInst());
  EXPECT_FALSE(plug->DoesStateChunks());
  EXPECT_EQ(plug->GetLatency(), 0);
  EXPECT_TRUE(plug->LegalIO(1, 1));
  EXPECT_TRUE(plug->LegalIO(2, 2));
  EXPECT_FALSE(plug->LegalIO(1, 2));
  EXPECT_EQ(plug->NInChannels(), 2);
  EXPECT_EQ(plug->NOutChannels(), 2);
  EXPECT_STREQ(plug->GetViewFactoryClassName(), "QuillbarTremolo_View");
  EXPECT_GT(std::string(plug->GetBundleID()).size(), 0u);
  ASSERT_EQ(plug->NParams(), 11);
  ASSERT_EQ(plug->NPresets(), 5);
}

TEST(TremoloIdentity, OnOffAndModeAreIntegersTheRestDoubles) {
  std::unique_ptr<IPlugAU> plug(MakePlug());
  for (int i = 0; i < 11; ++i) {
    bool isInt = i == kOnOff || i == kMode;
    EXPECT_EQ(plug->GetParam(i)->Type(), isInt ? IParam::kTypeInt : IParam::kTypeDouble) << "parameter " << i;
  }
  // Host automation in normalized form: the integer switch snaps, the double
  // TempoSync keeps the raw value (non-zero counts as on).
  plug->GetParam(kOnOff)->SetNormalized(0.6);
  EXPECT_EQ(plug->GetParam(kOnOff)->Value(), 1.0);
  plug->GetParam(kTempoSync)->SetNormalized(0.3);
  EXPECT_DOUBLE_EQ(plug->GetParam(kTempoSync)->Value(), 0.3);
  // Frequency 0.1..32 Hz at normalized 0.5 (shape 1).
  plug->GetParam(kFrequency)->SetNormalized(0.5);
  EXPECT_DOUBLE_EQ(plug->GetParam(kFrequency)->Value(), 16.05);
}

TEST(TremoloIdentity, ParametersCarryTheirNamesDefaultsRangesAndSteps) {
  // Written out independently of the plug-in's table: the editor's records
  // take their definitions from that table, so this is the one check of it.
  struct Row {
    const char* name;
    double def, min, max, step;
  };
  const Row rows[11] = {
      {"Volume", 1.0, 0.0, 2.0, 0.01},   {"Depth", 0.5, 0.0, 1.0, 0.01},  {"Frequency", 6.0, 0.1, 32.0, 0.1},
      {"Note", 3.0, 0.0, 6.0, 1.0},      {"Phase", 1.5, 0.5, 2.5, 0.01},  {"Symmetry", 0.5, 0.0, 1.0, 0.01},
      {"Shape", 1.0, 0.0, 2.0, 0.01},    {"Prefix", 0.0, 0.0, 2.0, 1.0},  {"TempoSync", 0.0, 0.0, 1.0, 1.0},
      {"OnOff", 0.0, 0.0, 1.0, 1.0},     {"Mode", 0.0, 0.0, 1.0, 1.0},
  };
  std::unique_ptr<IPlugAU> plug(MakePlug());
  for (int i = 0; i < 11; ++i) {
    const IParam* p = plug->GetParam(i);
    ASSERT_NE(p, nullptr) << i;
    EXPECT_STREQ(p->GetNameForHost(), rows[i].name);
    EXPECT_DOUBLE_EQ(p->GetDefault(), rows[i].def) << rows[i].name;
    EXPECT_DOUBLE_EQ(p->GetMin(), rows[i].min) << rows[i].name;
    EXPECT_DOUBLE_EQ(p->GetMax(), rows[i].max) << rows[i].name;
    EXPECT_DOUBLE_EQ(p->GetStep(), rows[i].step) << rows[i].name;
    EXPECT_DOUBLE_EQ(p->GetShape(), 1.0) << rows[i].name;
  }
}

TEST(TremoloPresets, FactoryPresetsCarryTheirNamesInOrder) {
  std::unique_ptr<IPlugAU> plug(MakePlug());
  const char* names[] = {"Default", "Gated", "Grow Up", "Soft Pan", "Hard Pan"};
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(plug->GetPresetName(i), names[i]);
  // Every slot is filled: a sixth preset has nowhere to go.
  EXPECT_FALSE(plug->MakePreset("extra", 1.0, 0.5, 6.0, 3.0, 1.5, 0.5, 0.0, 0.0, 0.0, 0, 0));
}

TEST(TremoloPresets, EachPresetRunsAtItsEffectiveRate) {
  // At 120 BPM: sixteenths 8 Hz, eighths 4 Hz. "Soft Pan" names quarter
  // triplets but runs free at its Frequency, also right after a synced preset.
  struct Expect {
    int preset;
    double rateHz, form, symmetry;
    bool syncedPhase;
  } cases[] = {{1, 8.0, 2.0, 0.5, true}, {3, 3.7, 1.0, 0.5, false}, {2, 4.0, 1.0, 0.0, true},
               {0, 6.0, 0.0, 0.5, false}, {4, 8.0, 1.5, 0.5, true}, {3, 3.7, 1.0, 0.5, false}};
  auto plug = MakeTremolo();
  Transport transport;
  for (const Expect& e : cases) {
    ASSERT_TRUE(plug->RestorePreset(e.preset));
    transport.play(*plug, 256);
    const ExtLFO& lfo = plug->GetRenderLFO();
    EXPECT_NEAR(lfo.getFrequency(), e.rateHz, 1e-12) << plug->GetPresetName(e.preset);
    EXPECT_DOUBLE_EQ(lfo.getform(), e.form) << plug->GetPresetName(e.preset);
    EXPECT_DOUBLE_EQ(lfo.getSymmetry(), e.symmetry) << plug->GetPresetName(e.preset);
    if (!e.syncedPhase) {
      EXPECT_EQ(lfo.getSyncPhase(), 0.0) << plug->GetPresetName(e.preset);
    }
  }
}

TEST(TremoloPresets, SoftPanSwingsBetweenTheChannelsAt3Point7Hz) {
  auto plug = MakeTremolo();
  ASSERT_TRUE(plug->RestorePreset("Soft Pan"));
  renderDC(*plug, 512);  // past the start-up ramp
  Stereo s = renderDC(*plug, 30000);
  const double period = 44100.0 / 3.7;  // 11918.9 samples
  for (int i = 0; i < 15000; i += 97) {
    // The gains are 1 - (1 - v) * 0.3 and 1 - v * 0.3: always 1.7 together.
    EXPECT_NEAR(s.left[i] + s.right[i], 1.7, 1e-12);
    // One period later the envelope repeats (to within a fraction of a sample).
    double later = s.left[i + 11919] + (s.left[i + 11920] - s.left[i + 11919]) * (period - 11919);
    EXPECT_NEAR(s.left[i], later, 2e-4) << "sample " << i;
  }
  // Depth 0.3: the left gain spans 0.7..1.0.
  auto [lo, hi] = std::minmax_element(s.left.begin(), s.left.end());
  EXPECT_NEAR(*lo, 0.7, 1e-3);
  EXPECT_NEAR(*hi, 1.0, 1e-3);
}

TEST(TremoloPresets, GatedChopsASineIntoSixteenthNotes) {
  // 1 kHz sine through "Gated" at 120 BPM from the song start: a square LFO
  // of 8 Hz, open for the first half of every sixteenth note, shut for the
  // second.
  auto plug = MakeTremolo();
  ASSERT_TRUE(plug->RestorePreset("Gated"));
  Transport transport;
  const int n = 44100, block = 441;
  std::vector<double> in(n), outL(n), outR(n);
  for (int i = 0; i < n; ++i) in[i] = std::sin(2 * kPi * 1000.0 * i / 44100.0);
  for (int at = 0; at < n; at += block) {
    transport.hostTime.Report(*plug, transport.at());
    double* ip[2] = {in.data() + at, in.data() + at};
    double* op[2] = {outL.data() + at, outR.data() + at};
    plug->ProcessDoubleReplacing(ip, op, block);
    transport.samplePos += block;
  }
  auto rms = [&](double from, double to) {
    double sum = 0;
    int a = static_cast<int>(from), b = static_cast<int>(to);
    for (int i = a; i < b; ++i) sum += outL[i] * outL[i];
    return std::sqrt(sum / (b - a));
  };
  const double sixteenth = 44100.0 / 8.0;
  for (int k = 0; k < 7; ++k) {
    double start = k * sixteenth;
    EXPECT_NEAR(rms(start + 0.1 * sixteenth, start + 0.4 * sixteenth), std::sqrt(0.5), 0.01) << "note " << k;
    EXPECT_LT(rms(start + 0.6 * sixteenth, start + 0.9 * sixteenth), 1e-9) << "note " << k;
  }
}

// --- parameter changes ---------------------------------------------------------

TEST(TremoloParams, FreshInstanceRunsAFreeSymmetricTriangleAt6Hz) {
  auto plug = MakeTremolo();
  renderDC(*plug, 64);
  const ExtLFO& lfo = plug->GetRenderLFO();
  EXPECT_DOUBLE_EQ(lfo.getFrequency(), 6.0);
  EXPECT_DOUBLE_EQ(lfo.getform(), 1.0);
  EXPECT_DOUBLE_EQ(lfo.getSymmetry(), 0.5);
  // The plot holds one cycle of that wave from the 1.5 half-cycle offset:
  // the triangle |1 - x / pi| at x = 1.5 pi .. 3.5 pi.
  const std::vector<double>& curve = plug->GetPlotBuffer();
  ASSERT_EQ(curve.size(), 200u);
  for (int i = 0; i < 200; i += 11) {
    double x = wrapCycle(1.5 * kPi + i * 2 * kPi / 199);
    EXPECT_NEAR(curve[i], std::fabs(1.0 - x / kPi), 1e-9) << "point " << i;
  }
}

TEST(TremoloParams, TempoSyncSwitchesBetweenNoteRateAndFrequency) {
  auto plug = MakeTremolo();
  Transport transport;
  SetParam(*plug, kTempoSync, 1.0);
  transport.play(*plug, 128);
  EXPECT_DOUBLE_EQ(plug->GetRenderLFO().getFrequency(), 4.0);  // 120 / 240 * 8
  EXPECT_DOUBLE_EQ(plug->GetControlLFO().getFrequency(), 4.0);

  SetParam(*plug, kTempoSync, 0.0);
  transport.play(*plug, 128);
  EXPECT_DOUBLE_EQ(plug->GetRenderLFO().getFrequency(), 6.0);
  EXPECT_EQ(plug->GetRenderLFO().getSyncPhase(), 0.0);
  EXPECT_DOUBLE_EQ(plug->GetControlLFO().getFrequency(), 6.0);
}

TEST(TremoloParams, FrequencyChangesWhileSyncedChangeNothing) {
  auto a = MakeTremolo(), b = MakeTremolo();
  SetParam(*a, kTempoSync, 1.0);
  SetParam(*b, kTempoSync, 1.0);
  Transport ta, tb;
  ta.play(*a, 300);
  tb.play(*b, 300);
  std::vector<double> plotBefore = a->GetPlotBuffer();
  SetParam(*a, kFrequency, 25.0);
  EXPECT_EQ(a->GetPlotBuffer(), plotBefore);
  Stereo sa = ta.play(*a, 300), sb = tb.play(*b, 300);
  EXPECT_EQ(sa.left, sb.left);
  // Switching sync off takes the value over.
  SetParam(*a, kTempoSync, 0.0);
  ta.play(*a, 16);
  EXPECT_DOUBLE_EQ(a->GetRenderLFO().getFrequency(), 25.0);
}

TEST(TremoloParams, NoteAndPrefixChangeTheRateOnlyWhileSynced) {
  auto plug = MakeTremolo({{kNote, 6.0}, {kPrefix, 2.0}});
  renderDC(*plug, 64);
  EXPECT_DOUBLE_EQ(plug->GetRenderLFO().getFrequency(), 6.0);
  EXPECT_DOUBLE_EQ(plug->GetControlLFO().getFrequency(), 6.0);
  // The stored note length is the one sync then uses: 64th triplets at 120.
  SetParam(*plug, kTempoSync, 1.0);
  Transport transport;
  transport.play(*plug, 64);
  EXPECT_DOUBLE_EQ(plug->GetRenderLFO().getFrequency(), 48.0);
  SetParam(*plug, kNote, 2.0);  // quarters, still triplets: 3 Hz
  transport.play(*plug, 64);
  EXPECT_DOUBLE_EQ(plug->GetRenderLFO().getFrequency(), 3.0);
}

TEST(TremoloParams, ShapeChangesRedrawThePlotAndOthersDoNot) {
  auto plug = MakeTremolo();
  std::vector<double> triangle = plug->GetPlotBuffer();
  SetParams(*plug, {{kVolume, 0.3}, {kDepth, 0.9}, {kMode, 1}});
  EXPECT_EQ(plug->GetPlotBuffer(), triangle);
  SetParam(*plug, kShape, 2.0);
  std::vector<double> square = plug->GetPlotBuffer();
  EXPECT_NE(square, triangle);
  for (double v : square) ASSERT_TRUE(v >= 0.0 && v <= 1.0);
  SetParam(*plug, kSymmetry, 0.1);
  EXPECT_NE(plug->GetPlotBuffer(), square);
}

TEST(TremoloParams, OutOfRangeIndexDoesNothingAndReleasesTheLock) {
  auto plug = MakeTremolo();
  std::vector<double> before = plug->GetPlotBuffer();
  plug->OnParamChange(11);
  plug->OnParamChange(-1);
  plug->OnParamChange(1000);
  EXPECT_EQ(plug->GetPlotBuffer(), before);
  // Another thread must be able to take the mutex now.
  auto locked = std::make_shared<std::atomic<bool>>(false);
  QuillbarTremolo* raw = plug.get();
  std::thread other([raw, locked] {
    raw->Lock();
    raw->Unlock();
    *locked = true;
  });
  for (int i = 0; i < 200 && !*locked; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(*locked) << "the plug-in mutex stayed held after OnParamChange(11)";
  if (*locked)
    other.join();
  else
    other.detach();
}

// --- gain stage -----------------------------------------------------------------

TEST(TremoloGain, SamplesFollowTheCosineEnvelopeWorkedOutByHand) {
  // Cosine, symmetric, phase 1.5: the running wave is (cos x + 1) / 2 with
  // x = 1.5 pi + 2 pi * 6 Hz * n / 44100. Depth 0.5, volume 0.8 on a DC of
  // 0.25 gives 0.25 * 0.8 * (1 - (1 - v) / 2).
  auto plug = MakeTremolo({{kShape, 0.0}, {kVolume, 0.8}});
  renderDC(*plug, 1000, 0.25);  // the start-up ramp lives here
  Stereo s = renderDC(*plug, 1000, 0.25);
  for (int j : {0, 1, 137, 500, 999}) {
    double x = 1.5 * kPi + 2 * kPi * 6.0 * (1000 + j) / 44100.0;
    double v = (std::cos(x) + 1) / 2;
    double expected = 0.25 * 0.8 * (1 - (1 - v) * 0.5);
    EXPECT_NEAR(s.left[j], expected, 1e-10) << "sample " << j;
    EXPECT_NEAR(s.right[j], expected, 1e-10) << "sample " << j;
  }
}

TEST(TremoloGain, DepthZeroIsPlainVolume) {
  auto plug = MakeTremolo({{kDepth, 0.0}, {kVolume, 1.7}, {kShape, 2.0}});
  for (int block = 0; block < 4; ++block) {
    Stereo s = renderDC(*plug, 2048, 0.5);
    for (double x : s.left) ASSERT_DOUBLE_EQ(x, 0.85);
    for (double x : s.right) ASSERT_DOUBLE_EQ(x, 0.85);
  }
}

TEST(TremoloGain, FullDepthSilencesTheTroughAndPassesTheTop) {
  // Square at 0.1 Hz: phase 1 puts the start on the low plateau, phase 0 on
  // the high one.
  auto plug = MakeTremolo({{kFrequency, 0.1}, {kShape, 2.0}, {kDepth, 1.0}, {kPhase, 1.0}});
  Stereo low = renderDC(*plug, 256);
  for (double x : low.left) ASSERT_EQ(x, 0.0);
  SetParam(*plug, kPhase, 2.0);  // a full cycle from phase 0: the top
  renderDC(*plug, 256);          // the jump is softened here
  Stereo high = renderDC(*plug, 256);
  for (double x : high.left) ASSERT_EQ(x, 1.0);
}

TEST(TremoloGain, PanModeChannelGainsAddUpToTheVolume) {
  auto plug = MakeTremolo({{kMode, 1}, {kDepth, 1.0}, {kVolume, 0.8}, {kShape, 0.4}, {kSymmetry, 0.2}});
  renderDC(*plug, 100);
  Stereo s = renderDC(*plug, 8000);
  double spread = 0;
  for (int j = 0; j < 8000; ++j) {
    ASSERT_NEAR(s.left[j] + s.right[j], 0.8, 1e-12) << "sample " << j;
    spread = std::max(spread, std::fabs(s.left[j] - s.right[j]));
  }
  EXPECT_GT(spread, 0.7);  // it does pan
}

TEST(TremoloGain, BypassIsBitIdenticalEvenAtVolumeTwo) {
  auto plug = MakeTremolo({{kVolume, 2.0}, {kDepth, 1.0}, {kOnOff, 1}});
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> inL(777), inR(777), outL(777, 9.0), outR(777, 9.0);
  for (int i = 0; i < 777; ++i) {
    inL[i] = dist(rng);
    inR[i] = dist(rng);
  }
  double* in[2] = {inL.data(), inR.data()};
  double* out[2] = {outL.data(), outR.data()};
  plug->ProcessDoubleReplacing(in, out, 777);
  EXPECT_EQ(outL, inL);
  EXPECT_EQ(outR, inR);
  // In place too.
  std::vector<double> copy = inL;
  double* inplace[2] = {inL.data(), inR.data()};
  plug->ProcessDoubleReplacing(inplace, inplace, 777);
  EXPECT_EQ(inL, copy);
}

TEST(TremoloGain, BypassKeepsTheWaveRunning) {
  auto a = MakeTremolo(), b = MakeTremolo();
  renderDC(*a, 500);
  renderDC(*b, 500);
  SetParam(*a, kOnOff, 1);
  renderDC(*a, 1234);
  renderDC(*b, 1234);
  SetParam(*a, kOnOff, 0);
  EXPECT_EQ(renderDC(*a, 300).left, renderDC(*b, 300).left);
}

TEST(TremoloGain, EmptyBlocksAndMissingBuffersAreHarmless) {
  auto a = MakeTremolo(), b = MakeTremolo();
  renderDC(*a, 64);
  renderDC(*b, 64);
  double* none[2] = {nullptr, nullptr};
  a->ProcessDoubleReplacing(nullptr, nullptr, 0);
  a->ProcessDoubleReplacing(none, none, 0);
  a->ProcessDoubleReplacing(none, none, -5);
  // Nothing moved: the next block matches an instance that saw none of this.
  EXPECT_EQ(renderDC(*a, 64).left, renderDC(*b, 64).left);
  // Null tables or channels with frames: the wave advances, nothing is written.
  std::vector<double> inL(32, 1.0), outL(32, 3.0);
  double* in[2] = {inL.data(), nullptr};
  double* out[2] = {outL.data(), nullptr};
  a->ProcessDoubleReplacing(nullptr, nullptr, 32);
  a->ProcessDoubleReplacing(in, out, 32);
  EXPECT_NE(outL[0], 3.0);
}

TEST(TremoloGain, AMonoHostThroughTheBaseRoutingGetsItsChannelProcessed) {
  // Only channel 0 connected, as a host with the "1-1" layout leaves it: the
  // second channel reads and writes the base's scratch buffers.
  auto plug = MakeTremolo({{kDepth, 0.0}, {kVolume, 0.5}});
  plug->SetInputChannelConnections(0, 1, true);
  plug->SetInputChannelConnections(1, 1, false);
  plug->SetOutputChannelConnections(0, 1, true);
  plug->SetOutputChannelConnections(1, 1, false);
  std::vector<float> in(300, 0.5f), out(300, 7.0f);
  float* inp[1] = {in.data()};
  float* outp[1] = {out.data()};
  plug->AttachInputBuffers(0, 2, inp, 300);
  plug->AttachOutputBuffers(0, 2, outp);
  plug->ProcessBuffers(0.0f, 300);
  for (float x : out) ASSERT_FLOAT_EQ(x, 0.25f);
  plug->ProcessBuffers(0.0f, 0);  // an empty render
  for (float x : out) ASSERT_FLOAT_EQ(x, 0.25f);
}

// --- smoothing ------------------------------------------------------------------

TEST(TremoloSmoothing, AHalfStepJumpBecomesTwelveStepsOfFourHundredths) {
  auto plug = MakeTremolo({{kFrequency, 0.1}, {kShape, 2.0}});
  SetParam(*plug, kPhase, 1.0);  // low plateau: lastAmp becomes 0
  renderDC(*plug, 64);
  std::vector<double> amp(64, 0.5);
  plug->MergeTremAmp(amp);
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(amp[i], 0.04 * (i + 1), 1e-12) << "sample " << i;
  for (int i = 12; i < 64; ++i) EXPECT_EQ(amp[i], 0.5) << "sample " << i;
}

TEST(TremoloSmoothing, TheLastSampleOfABlockIsNeverReplaced) {
  auto plug = MakeTremolo({{kFrequency, 0.1}, {kShape, 2.0}, {kPhase, 1.0}});
  renderDC(*plug, 8);
  std::vector<double> amp(8, 1.0);
  plug->MergeTremAmp(amp);
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(amp[i], 0.04 * (i + 1), 1e-12);
  EXPECT_EQ(amp[7], 1.0);
}

TEST(TremoloSmoothing, APhaseJumpIsWalkedTowardTheNewWave) {
  // a and b run the same wave; b had its new phase from the start, so its
  // second block is a's second block without softening. The reference walk
  // below is the rule stated independently.
  auto a = MakeTremolo(), b = MakeTremolo();
  SetParam(*b, kPhase, 0.7);
  Stereo firstA = renderDC(*a, 400);
  renderDC(*b, 400);
  SetParam(*a, kPhase, 0.7);
  Stereo secondA = renderDC(*a, 400), secondB = renderDC(*b, 400);
  // Depth 0.5, volume 1 on DC 1: gain = 0.5 + v / 2.
  auto toWave = [](double gain) { return (gain - 0.5) * 2.0; };
  std::vector<double> expected(400);
  double cur = toWave(firstA.left[399]);
  bool walking = true;
  int walked = 0;
  for (int i = 0; i < 400; ++i) {
    double target = toWave(secondB.left[i]);
    if (walking && i < 399 && std::fabs(target - cur) > 0.04) {
      cur += target > cur ? 0.04 : -0.04;
      expected[i] = cur;
      ++walked;
    } else {
      walking = false;
      expected[i] = target;
    }
  }
  EXPECT_GT(walked, 5);
  for (int i = 0; i < 400; ++i) EXPECT_NEAR(toWave(secondA.left[i]), expected[i], 1e-9) << "sample " << i;
}

// --- tempo and transport ----------------------------------------------------------

namespace {

// A synced tremolo whose transport reports the song start forever, so that
// a re-alignment shows as the phase going back to the bar start.
struct SyncedRig {
  std::unique_ptr<QuillbarTremolo> plug = MakeTremolo();
  ITimeInfo time;
  HostTimeRecord hostTime;
  SyncedRig() {
    SetParam(*plug, kTempoSync, 1.0);
    time.mTempo = 120.0;
    time.mTransportIsRunning = true;
    time.mSamplePos = 0.0;
    time.mPPQPos = 0.0;
    time.mLastBar = 0.0;
  }
  // Plays n frames at the reported position, then moves the position on by
  // n (the quarter-note position stays, which a re-alignment reveals).
  void play(int n) {
    hostTime.Report(*plug, time);
    renderDC(*plug, n);
    time.mSamplePos += n;
  }
  // True when the last block of n frames started from phase 0.
  bool restarted(int n) const {
    const ExtLFO& lfo = plug->GetRenderLFO();
    double inc = 2 * kPi * lfo.getFrequency() / lfo.getSampleRate();
    return cycleDistance(lfo.InternalPhase(), n * inc) < 1e-9;
  }
  // Plays n frames; true when they started from phase 0.
  bool playRestarts(int n) {
    play(n);
    return restarted(n);
  }
};

}  // namespace

TEST(TremoloTempo, TransportStartAlignsThePhaseToTheBar) {
  SyncedRig rig;
  rig.time.mTransportIsRunning = false;
  rig.play(300);
  EXPECT_FALSE(rig.playRestarts(300));
  rig.time.mTransportIsRunning = true;
  rig.time.mPPQPos = 4.5;  // half a quarter into the second bar: eighth notes
  rig.time.mLastBar = 4.0;
  SetParam(*rig.plug, kNote, 2.0);  // quarters: half a cycle
  EXPECT_TRUE(rig.playRestarts(300));
  EXPECT_DOUBLE_EQ(rig.plug->GetRenderLFO().getSyncPhase(), 0.5);
}

TEST(TremoloTempo, BlockLengthChangesDoNotRealign) {
  SyncedRig rig;
  rig.play(512);
  EXPECT_FALSE(rig.playRestarts(512));
  EXPECT_FALSE(rig.playRestarts(256));  // a loop point or the last block of a file
  EXPECT_FALSE(rig.playRestarts(1024));
  EXPECT_FALSE(rig.playRestarts(100));
}

TEST(TremoloTempo, PositionJumpsRealign) {
  SyncedRig rig;
  rig.play(512);
  rig.play(512);
  rig.time.mSamplePos += 44100;  // the user moved the play head
  EXPECT_TRUE(rig.playRestarts(512));
  EXPECT_FALSE(rig.playRestarts(512));
  rig.time.mSamplePos -= 2048;  // a loop back
  EXPECT_TRUE(rig.playRestarts(512));
}

TEST(TremoloTempo, AHostWithoutSamplePositionsIsNotTakenToJump) {
  SyncedRig rig;
  rig.time.mSamplePos = -1.0;
  rig.play(512);  // transport start
  rig.time.mSamplePos = -1.0;
  EXPECT_FALSE(rig.playRestarts(512));
  rig.time.mSamplePos = -1.0;
  EXPECT_FALSE(rig.playRestarts(512));
}

TEST(TremoloTempo, SmallTempoChangesMoveTheRateWithoutRealigning) {
  SyncedRig rig;
  rig.play(512);
  rig.play(512);
  EXPECT_DOUBLE_EQ(rig.plug->GetRenderLFO().getFrequency(), 4.0);
  rig.time.mTempo = 120.6;
  EXPECT_FALSE(rig.playRestarts(512));
  EXPECT_DOUBLE_EQ(rig.plug->GetRenderLFO().getFrequency(), 120.6 / 240.0 * 8.0);
  rig.time.mTempo = 121.5;  // 0.9 more: still below a whole BPM
  EXPECT_FALSE(rig.playRestarts(512));
  rig.time.mTempo = 122.5;  // a whole BPM
  EXPECT_TRUE(rig.playRestarts(512));
  EXPECT_DOUBLE_EQ(rig.plug->GetRenderLFO().getFrequency(), 122.5 / 240.0 * 8.0);
  rig.time.mTempo = 100.0;
  EXPECT_TRUE(rig.playRestarts(512));
}

TEST(TremoloTempo, TheHostTempoReachesTheControlSideForLaterNoteChanges) {
  SyncedRig rig;
  rig.time.mTempo = 90.0;
  rig.play(64);
  SetParam(*rig.plug, kNote, 4.0);  // sixteenths at 90: 6 Hz
  EXPECT_DOUBLE_EQ(rig.plug->GetControlLFO().getFrequency(), 6.0);
  rig.play(64);
  EXPECT_DOUBLE_EQ(rig.plug->GetRenderLFO().getFrequency(), 6.0);
}

TEST(TremoloTempo, InvalidHostTempoIsIgnored) {
  SyncedRig rig;
  rig.play(64);
  rig.time.mTempo = 0.0;
  rig.play(64);
  rig.time.mTempo = -10.0;
  rig.play(64);
  EXPECT_DOUBLE_EQ(rig.plug->GetRenderLFO().getFrequency(), 4.0);
}

TEST(TremoloTempo, FirstBarWithoutAReportedBarStartCountsFromZero) {
  // Hosts report the bar start only above 0, so in the first bar it stays
  // -1. Half notes at a quarter into the song are half a cycle in.
  SyncedRig rig;
  SetParam(*rig.plug, kNote, 1.0);
  rig.time.mPPQPos = 1.0;
  rig.time.mLastBar = -1.0;
  rig.time.mSamplePos = 22050.0;
  rig.play(128);
  EXPECT_DOUBLE_EQ(rig.plug->GetRenderLFO().getSyncPhase(), 0.5);
}

TEST(TremoloTempo, SwitchingSyncOnAtATransportInMotionAligns) {
  auto plug = MakeTremolo();
  Transport transport;
  for (int i = 0; i < 10; ++i) transport.play(*plug, 441);
  SetParam(*plug, kTempoSync, 1.0);
  transport.play(*plug, 441);
  // 4410 samples at 120 BPM are 0.1 s = 0.2 quarters = 0.4 eighth-note
  // cycles; then the block itself moves on by 441 samples at 4 Hz.
  const ExtLFO& lfo = plug->GetRenderLFO();
  EXPECT_NEAR(lfo.getSyncPhase(), 0.4, 1e-9);
  EXPECT_NEAR(lfo.InternalPhase(), 2 * kPi * 4.0 * 441 / 44100.0, 1e-9);
}

// --- editor -------------------------------------------------------------------------

namespace {

struct StubControl : IControl {
  using IControl::IControl;
  bool Draw(IGraphics*) override { return true; }
};

}  // namespace

TEST(TremoloEditor, TempoSyncSwapsTheFrequencyKnobForNoteAndPrefix) {
  auto plug = MakeTremolo();
  IGraphicsHeadless* gui = new IGraphicsHeadless(plug.get(), 863, 468, 30);
  IControl* freq = new StubControl(plug.get(), IRECT{0, 0, 10, 10}, kFrequency);
  IControl* note = new StubControl(plug.get(), IRECT{0, 0, 10, 10}, kNote);
  IControl* prefixA = new StubControl(plug.get(), IRECT{20, 0, 30, 10}, kPrefix);
  IControl* prefixB = new StubControl(plug.get(), IRECT{30, 0, 40, 10}, kPrefix);
  IControl* cover = new StubControl(plug.get(), IRECT{20, 0, 40, 10});
  IPlotControl* plotControl = new IPlotControl(plug.get(), IRECT{50, 0, 90, 40}, nullptr, COLOR_WHITE);
  for (IControl* c : {freq, note, prefixA, prefixB, cover, static_cast<IControl*>(plotControl)}) gui->AttachControl(c);
  plug->AttachGraphics(gui);
  {
    IMutexLock lock(plug.get());
    plug->SetPrefixCover(cover);
    plug->SetPlotControl(plotControl);
  }
  plug->OnParamReset();
  // Which of frequency, note, the two prefix buttons and the cover are hidden
  // with sync off, on, and off again.
  IControl* const swapped[] = {freq, note, prefixA, prefixB, cover};
  const struct {
    double sync;
    bool hidden[5];
  } states[] = {{-1, {false, true, true, true, false}}, {1.0, {true, false, false, false, true}},
                {0.0, {false, true, true, true, false}}};
  for (const auto& state : states) {
    if (state.sync >= 0) SetParam(*plug, kTempoSync, state.sync);
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(swapped[i]->IsHidden(), state.hidden[i]) << "sync " << state.sync << " control " << i;
  }
}
