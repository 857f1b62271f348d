// The program's output against the tremolo engine rendered directly with the
// same settings, block sizes and host timeline: they must agree exactly, so
// the host adds nothing and loses nothing on the way through the Audio Unit
// calls.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "HostTestSupport.h"
#include "tremolo/QuillbarTremolo.h"
#include "tests/support/HostTimeRecord.h"

using namespace hosttest;

namespace
{

struct Settings
{
  int preset = -1; // factory preset index, -1 none
  std::vector<std::pair<int, double>> values;
  double tempo = 120.0;
  double startBeat = 0.0;
  bool playing = true;
  int block = 512;
};

// What the host does through the unit's properties, done on the engine: rate
// and reset, block size and reset, initialize (parameter reset), preset, then
// parameters clamped into range; then block by block with the host time the
// program's callbacks report.
Audio RenderDirect(const Audio& in, const Settings& s)
{
  std::unique_ptr<QuillbarTremolo> plug(static_cast<QuillbarTremolo*>(MakePlug()));
  plug->SetSampleRate(in.rate);
  plug->Reset();
  plug->SetBlockSize(s.block);
  plug->Reset();
  plug->OnParamReset();
  {
    IMutexLock lock(plug.get());
    if (s.preset >= 0) plug->RestorePreset(s.preset);
    for (const auto& v : s.values)
    {
      // Values cross the Audio Unit interface as 32-bit floats.
      IParam* p = plug->GetParam(v.first);
      const double plain = static_cast<float>(v.second);
      p->Set(std::min(std::max(plain, p->GetMin()), p->GetMax()));
      plug->OnParamChange(v.first);
    }
  }
  Audio out = in;
  const size_t frames = in.Frames();
  const size_t block = static_cast<size_t>(s.block);
  std::vector<double> inBuf[2], outBuf[2];
  for (int c = 0; c < 2; ++c)
  {
    inBuf[c].assign(block, 0.0);
    outBuf[c].assign(block, 0.0);
  }
  const double spb = in.rate * 60.0 / s.tempo;
  HostTimeRecord hostTime;
  for (size_t start = 0; start < frames; start += block)
  {
    const size_t n = std::min(block, frames - start);
    for (size_t i = 0; i < n; ++i)
      for (int c = 0; c < in.channels; ++c) inBuf[c][i] = in.At(start + i, c);
    ITimeInfo t;
    const double beat = s.startBeat + static_cast<double>(start) / spb;
    t.mTempo = s.tempo;
    t.mPPQPos = beat;
    t.mSamplePos = s.startBeat * spb + static_cast<double>(start);
    t.mLastBar = std::floor(beat / 4.0) * 4.0;
    t.mNumerator = 4;
    t.mDenominator = 4;
    t.mTransportIsRunning = s.playing;
    t.mTransportLoopEnabled = false;
    t.mCycleStart = 0.0;
    t.mCycleEnd = 0.0;
    hostTime.Report(*plug, t);
    double* ins[2] = {inBuf[0].data(), inBuf[1].data()};
    double* outs[2] = {outBuf[0].data(), outBuf[1].data()};
    plug->ProcessDoubleReplacing(ins, outs, static_cast<int>(n));
    for (size_t i = 0; i < n; ++i)
      for (int c = 0; c < in.channels; ++c)
        out.samples[(start + i) * static_cast<size_t>(in.channels) + static_cast<size_t>(c)] =
            static_cast<float>(outBuf[c][i]);
  }
  return out;
}

void ExpectIdentical(const Audio& a, const Audio& b)
{
  ASSERT_EQ(a.channels, b.channels);
  ASSERT_EQ(a.Frames(), b.Frames());
  size_t mismatches = 0, first = 0;
  for (size_t i = 0; i < a.samples.size(); ++i)
    if (a.samples[i] != b.samples[i] && mismatches++ == 0) first = i;
  EXPECT_EQ(mismatches, 0u) << "first at sample " << first << ": " << a.samples[first] << " vs " << b.samples[first];
}

// Renders `in` through the program with `options` and directly with `s`.
void ExpectHostMatchesEngine(const Audio& in, const std::vector<std::string>& options, const Settings& s)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", in));
  std::vector<std::string> args = {"render", dir / "in.wav", dir / "out.wav"};
  args.insert(args.end(), options.begin(), options.end());
  const RunResult r = RunHost(dir, args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ExpectIdentical(ReadAudio(dir / "out.wav"), RenderDirect(in, s));
}

} // namespace

TEST(HostMatchesEngine, PresetWithParametersFreeRunningStereo)
{
  Settings s;
  s.preset = 1;
  s.values = {{kFrequency, 4.5}, {kSymmetry, 0.3}};
  ExpectHostMatchesEngine(Noise(2, 44100, 1.3),
                          {"--preset", "Gated", "--set", "Frequency=4.5", "--set", "Symmetry=0.3"}, s);
}

TEST(HostMatchesEngine, TempoSyncedPanFromInsideABarWithOddBlocks)
{
  Settings s;
  s.preset = 3;
  s.values = {{kTempoSync, 1}, {kNote, 4}, {kPrefix, 2}};
  s.tempo = 133.7;
  s.startBeat = 6.25;
  s.block = 300;
  // Two chunks of the file streaming, the second short.
  ExpectHostMatchesEngine(Noise(2, 48000, 2.2),
                          {"--preset", "Soft Pan", "--set", "TempoSync=1", "--set", "Note=4", "--set", "Prefix=2",
                           "--tempo", "133.7", "--start-beat", "6.25", "--block", "300"},
                          s);
}

TEST(HostMatchesEngine, MonoStoppedTransportWithAClampedValue)
{
  Settings s;
  s.values = {{kTempoSync, 1}, {kDepth, 1.7}};
  s.playing = false;
  s.block = 64;
  // Longer than one 64 k-frame chunk of the file streaming.
  ExpectHostMatchesEngine(Noise(1, 22050, 4.0),
                          {"--set", "TempoSync=1", "--set", "Depth=1.7", "--stopped", "--block", "64"}, s);
}
