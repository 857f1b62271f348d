// The bundle in real LV2 hosts: lv2file renders files offline (it sends no
// host time), jalv runs it live on a JACK server with the transport rolling.
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/lv2/LV2TestHost.h"

namespace
{

struct Audio
{
  int rate = 0;
  std::vector<std::vector<float>> channels;
};

bool WriteWav(const std::string& path, const Audio& a)
{
  SF_INFO info = {};
  info.samplerate = a.rate;
  info.channels = static_cast<int>(a.channels.size());
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  const size_t n = a.channels[0].size();
  std::vector<float> interleaved(n * info.channels);
  for (size_t i = 0; i < n; ++i)
    for (int c = 0; c < info.channels; ++c) interleaved[i * info.channels + c] = a.channels[c][i];
  const bool ok = sf_writef_float(f, interleaved.data(), n) == static_cast<sf_count_t>(n);
  return sf_close(f) == 0 && ok;
}

Audio ReadWav(const std::string& path)
{
  Audio a;
  SF_INFO info = {};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return a;
  std::vector<float> interleaved(info.frames * info.channels);
  sf_readf_float(f, interleaved.data(), info.frames);
  sf_close(f);
  a.rate = info.samplerate;
  a.channels.assign(info.channels, std::vector<float>(info.frames));
  for (sf_count_t i = 0; i < info.frames; ++i)
    for (int c = 0; c < info.channels; ++c) a.channels[c][i] = interleaved[i * info.channels + c];
  return a;
}

// The rate of the amplitude modulation of a tone, in Hz: the peak envelope
// in 5 ms windows, then the shortest lag whose autocorrelation comes close
// to the best one between 1 and 20 Hz. 0 when there is no modulation.
double ModulationHz(const std::vector<float>& x, int rate)
{
  const int win = rate / 200;
  std::vector<double> env;
  for (size_t i = 0; i + win <= x.size(); i += win)
  {
    double peak = 0.0;
    for (int j = 0; j < win; ++j) peak = std::max(peak, double(std::fabs(x[i + j])));
    env.push_back(peak);
  }
  double mean = 0.0;
  for (double e : env) mean += e;
  mean /= env.size();
  for (double& e : env) e -= mean;
  const int minLag = 200 / 20, maxLag = 200 / 1;
  std::vector<double> corr(maxLag + 1, 0.0);
  double best = 0.0;
  for (int lag = minLag; lag <= maxLag && lag < static_cast<int>(env.size()); ++lag)
  {
    double s = 0.0, n0 = 0.0, n1 = 0.0;
    for (size_t i = 0; i + lag < env.size(); ++i)
    {
      s += env[i] * env[i + lag];
      n0 += env[i] * env[i];
      n1 += env[i + lag] * env[i + lag];
    }
    corr[lag] = n0 > 0 && n1 > 0 ? s / std::sqrt(n0 * n1) : 0.0;
    best = std::max(best, corr[lag]);
  }
  if (best < 0.5) return 0.0;
  for (int lag = minLag; lag <= maxLag; ++lag)
    if (corr[lag] >= 0.9 * best)
    {
      // Refine to the local maximum, then interpolate between windows.
      while (lag < maxLag && corr[lag + 1] > corr[lag]) ++lag;
      const double a = corr[lag - 1], b = corr[lag], c = corr[lag + 1];
      const double shift = (a - 2 * b + c) != 0.0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0.0;
      return 200.0 / (lag + shift);
    }
  return 0.0;
}

std::string Shell(const std::string& command)
{
  const int rc = std::system(command.c_str());
  return rc == 0 ? "" : command + " exited with " + std::to_string(rc);
}

const std::string kLV2Dir = QUILL_LV2_BUNDLE "/..";

TEST(LV2File, RendersAFileLikeTheLilvHostAndAppliesPresetsByName)
{
  const std::string dir = testing::TempDir();
  Audio in;
  in.rate = 44100;
  in.channels.assign(2, std::vector<float>(in.rate * 3 / 2));
  for (size_t i = 0; i < in.channels[0].size(); ++i)
    in.channels[0][i] = in.channels[1][i] = 0.5f * std::sin(2 * M_PI * 440.0 * i / in.rate);
  ASSERT_TRUE(WriteWav(dir + "lv2file_in.wav", in));

  const std::string lv2file = "LV2_PATH=" + kLV2Dir + " lv2file -b 512 -i " + dir + "lv2file_in.wav ";
  ASSERT_EQ(Shell(lv2file + "-o " + dir + "free.wav -p depth:1 -p frequency:4 -p shape:0 " QUILL_LV2_URI
                " >/dev/null 2>&1"),
            "");
  const Audio free = ReadWav(dir + "free.wav");
  ASSERT_EQ(free.channels.size(), 2u);
  ASSERT_EQ(free.channels[0].size(), in.channels[0].size());
  EXPECT_NEAR(ModulationHz(free.channels[0], free.rate), 4.0, 0.1);

  // The same render through our own host, block by block.
  UridMap map;
  LV2Instance inst(World(), map, in.rate);
  ASSERT_NE(inst.instance, nullptr);
  inst.control[kDepth] = 1;
  inst.control[kFrequency] = 4;
  inst.control[kShape] = 0;
  double worst = 0.0;
  for (size_t start = 0; start < in.channels[0].size(); start += 512)
  {
    const size_t n = std::min<size_t>(512, in.channels[0].size() - start);
    for (int c = 0; c < 2; ++c) std::copy_n(&in.channels[c][start], n, inst.in[c].begin());
    inst.Run(static_cast<uint32_t>(n));
    for (int c = 0; c < 2; ++c)
      for (size_t i = 0; i < n; ++i) worst = std::max(worst, double(std::fabs(inst.out[c][i] - free.channels[c][start + i])));
  }
  EXPECT_LT(worst, 1e-6);

  // "Gated" is synced to sixteenths; lv2file sends no time, so the tempo is
  // 120 and the gate opens 8 times a second.
  ASSERT_EQ(Shell(lv2file + "-o " + dir + "gated.wav -P Gated " QUILL_LV2_URI " >/dev/null 2>&1"), "");
  const Audio gated = ReadWav(dir + "gated.wav");
  ASSERT_EQ(gated.channels.size(), 2u);
  EXPECT_NEAR(ModulationHz(gated.channels[0], gated.rate), 8.0, 0.2);
}

TEST(Jalv, FollowsTheJackTransportTempo)
{
  // Sixteenths at 90 BPM are 6 Hz; the free rate (2.3 Hz) and the rate
  // without host time (8 Hz at 120) are both far from it.
  const std::string out = testing::TempDir() + "jalv.wav";
  ASSERT_EQ(Shell("timeout -k 5 90 bash " QUILL_SOURCE_DIR "/tests/lv2/jalv_transport.sh " + kLV2Dir + " " QUILL_LV2_URI " 90 4 " +
                out + " tempo_sync=1 depth=1 note=4 shape=0 frequency=2.3"),
            "");
  const Audio a = ReadWav(out);
  ASSERT_EQ(a.channels.size(), 2u);
  ASSERT_GT(a.channels[0].size(), static_cast<size_t>(a.rate * 3));
  // Recorded in real time on a shared machine, where a late cycle can drop a
  // few milliseconds: the tolerance allows that, not the other rates.
  for (int c = 0; c < 2; ++c) EXPECT_NEAR(ModulationHz(a.channels[c], a.rate), 6.0, 0.4) << "channel " << c;
}

} // namespace
