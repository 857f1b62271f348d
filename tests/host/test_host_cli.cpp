// quillbar-tremolo end to end: the built program on generated files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "HostTestSupport.h"

using namespace hosttest;

namespace
{

const std::vector<std::string> kPresets = {"Default", "Gated", "Grow Up", "Soft Pan", "Hard Pan"};

// Renders `in` with extra arguments into `outName`; expects success.
Audio RenderOk(const ScratchDir& dir, const std::string& in, const std::string& outName,
               std::vector<std::string> extra = {})
{
  std::vector<std::string> args = {"render", in, dir / outName};
  args.insert(args.end(), extra.begin(), extra.end());
  const RunResult r = RunHost(dir, args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return ReadAudio(dir / outName);
}

bool SameSamples(const Audio& a, const Audio& b)
{
  return a.channels == b.channels && a.samples == b.samples;
}

double MaxAbsDiff(const Audio& a, const Audio& b, size_t fromFrame = 0)
{
  double worst = 0.0;
  const size_t n = std::min(a.samples.size(), b.samples.size());
  for (size_t i = fromFrame * static_cast<size_t>(a.channels); i < n; ++i)
    worst = std::max(worst, std::fabs(static_cast<double>(a.samples[i]) - b.samples[i]));
  return worst;
}

// Temporary files of the host start with a dot; none may stay behind.
void ExpectNoLeftovers(const ScratchDir& dir, const std::vector<std::string>& allowed)
{
  for (const std::string& name : dir.Entries())
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), name), allowed.end()) << "left behind: " << name;
}

} // namespace

TEST(HostRender, EveryFactoryPresetRendersAFullDistinctFile)
{
  ScratchDir dir;
  const Audio in = Noise(2, 44100, 1.5);
  ASSERT_TRUE(WriteAudio(dir / "in.wav", in));
  std::vector<Audio> outs;
  for (const std::string& preset : kPresets)
  {
    const Audio out = RenderOk(dir, dir / "in.wav", preset + ".wav", {"--preset", preset});
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.rate, 44100);
    EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT) << preset;
    EXPECT_EQ(out.Frames(), in.Frames()) << preset;
    EXPECT_TRUE(std::all_of(out.samples.begin(), out.samples.end(), [](float v) { return std::isfinite(v); }));
    EXPECT_FALSE(SameSamples(out, in)) << preset << " left the signal untouched";
    for (size_t k = 0; k < outs.size(); ++k)
      EXPECT_FALSE(SameSamples(out, outs[k])) << preset << " sounds like " << kPresets[k];
    outs.push_back(out);
  }
}

TEST(HostRender, SetAfterPresetWinsWhateverTheOrderOnTheCommandLine)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Constant(2, 48000, 1.0, 0.5f)));
  const Audio gated = RenderOk(dir, dir / "in.wav", "gated.wav", {"--preset", "Gated"});
  const Audio presetThenSet =
      RenderOk(dir, dir / "in.wav", "a.wav", {"--preset", "Gated", "--set", "Depth=0"});
  const Audio setThenPreset =
      RenderOk(dir, dir / "in.wav", "b.wav", {"--set", "Depth=0", "--preset", "Gated"});
  EXPECT_TRUE(SameSamples(presetThenSet, setThenPreset));
  EXPECT_FALSE(SameSamples(presetThenSet, gated));
  // Without depth the tremolo is a plain gain: a constant input stays
  // constant once the start-up smoothing is over.
  const float settled = presetThenSet.At(presetThenSet.Frames() / 2, 0);
  for (size_t i = 48000 / 10; i < presetThenSet.Frames(); ++i)
    ASSERT_NEAR(presetThenSet.At(i, 0), settled, 1e-6) << "frame " << i;
}

TEST(HostRender, TempoSyncFollowsTheTimelineAtAnOddTempoFromInsideABar)
{
  // At 97.3 BPM and 48 kHz a beat is 29599.18 frames. Rendering from beat
  // 5.5 must give what a render from beat 0 gives 5.5 beats in: the LFO is
  // locked to the host's timeline, not to the start of the file.
  ScratchDir dir;
  const int rate = 48000;
  const double tempo = 97.3;
  const double spb = rate * 60.0 / tempo;
  ASSERT_TRUE(WriteAudio(dir / "long.wav", Constant(1, rate, 8.0, 0.5f)));
  ASSERT_TRUE(WriteAudio(dir / "short.wav", Constant(1, rate, 3.0, 0.5f)));
  const std::vector<std::string> sync = {"--set", "TempoSync=1", "--set", "Depth=1", "--set", "Note=2",
                                         "--tempo", "97.3", "--block", "256"};
  std::vector<std::string> fromZero = sync;
  const Audio whole = RenderOk(dir, dir / "long.wav", "whole.wav", fromZero);
  std::vector<std::string> fromInside = sync;
  fromInside.insert(fromInside.end(), {"--start-beat", "5.5"});
  const Audio part = RenderOk(dir, dir / "short.wav", "part.wav", fromInside);
  ASSERT_EQ(whole.Frames(), static_cast<size_t>(8 * rate));
  ASSERT_EQ(part.Frames(), static_cast<size_t>(3 * rate));

  const double offset = 5.5 * spb;
  double worst = 0.0;
  for (size_t i = rate / 10; i < part.Frames(); ++i)
  {
    // Linear interpolation between the two frames around the same beat.
    const double pos = offset + static_cast<double>(i);
    const size_t k = static_cast<size_t>(pos);
    const double frac = pos - static_cast<double>(k);
    const double expected = whole.At(k, 0) * (1.0 - frac) + whole.At(k + 1, 0) * frac;
    worst = std::max(worst, std::fabs(expected - part.At(i, 0)));
  }
  EXPECT_LT(worst, 2e-3);

  // And the modulation repeats once per quarter note (Note 2).
  const size_t period = static_cast<size_t>(std::lround(spb));
  double periodic = 0.0;
  for (size_t i = rate / 10; i + period < part.Frames(); ++i)
    periodic = std::max(periodic, std::fabs(static_cast<double>(part.At(i, 0)) - part.At(i + period, 0)));
  EXPECT_LT(periodic, 2e-3);
  // ... and it does modulate.
  const auto range = std::minmax_element(part.samples.begin() + rate / 10, part.samples.end());
  EXPECT_GT(*range.second - *range.first, 0.2f);
}

TEST(HostRender, BypassGivesTheInputBackBitForBit)
{
  ScratchDir dir;
  const Audio in = Noise(2, 44100, 1.0, 0.9f);
  ASSERT_TRUE(WriteAudio(dir / "in.wav", in));
  const Audio out = RenderOk(dir, dir / "in.wav", "out.wav", {"--preset", "Hard Pan", "--set", "OnOff=1"});
  ASSERT_EQ(out.Frames(), in.Frames());
  EXPECT_TRUE(SameSamples(out, in)) << "largest difference " << MaxAbsDiff(out, in);
}

TEST(HostRender, MonoInputGivesMonoOutputLikeTheLeftOfStereo)
{
  ScratchDir dir;
  const Audio mono = Noise(1, 44100, 1.0);
  Audio stereo = mono;
  stereo.channels = 2;
  stereo.samples.clear();
  for (float v : mono.samples) stereo.samples.insert(stereo.samples.end(), {v, v});
  ASSERT_TRUE(WriteAudio(dir / "mono.wav", mono));
  ASSERT_TRUE(WriteAudio(dir / "stereo.wav", stereo));
  const Audio m = RenderOk(dir, dir / "mono.wav", "m.wav", {"--preset", "Gated"});
  const Audio s = RenderOk(dir, dir / "stereo.wav", "s.wav", {"--preset", "Gated"});
  ASSERT_EQ(m.channels, 1);
  ASSERT_EQ(m.Frames(), mono.Frames());
  ASSERT_EQ(s.Frames(), mono.Frames());
  for (size_t i = 0; i < m.Frames(); ++i) ASSERT_EQ(m.At(i, 0), s.At(i, 0)) << "frame " << i;
}

TEST(HostRender, SmallAndLargeBlocksRenderTheSameSound)
{
  ScratchDir dir;
  const Audio in = Noise(2, 44100, 2.0);
  ASSERT_TRUE(WriteAudio(dir / "in.wav", in));
  const Audio standard = RenderOk(dir, dir / "in.wav", "512.wav", {"--preset", "Soft Pan"});
  const Audio small = RenderOk(dir, dir / "in.wav", "64.wav", {"--preset", "Soft Pan", "--block", "64"});
  const Audio large = RenderOk(dir, dir / "in.wav", "4096.wav", {"--preset", "Soft Pan", "--block", "4096"});
  ASSERT_EQ(small.Frames(), in.Frames());
  ASSERT_EQ(large.Frames(), in.Frames());
  // The last block of 2 s at 4096 frames is short (88200 = 21 x 4096 + 2184).
  EXPECT_LT(MaxAbsDiff(small, standard), 1e-4);
  EXPECT_LT(MaxAbsDiff(large, standard), 1e-4);
}

TEST(HostRender, SavedStateRestoresTheSameOutput)
{
  ScratchDir dir;
  const Audio in = Noise(2, 48000, 1.0);
  ASSERT_TRUE(WriteAudio(dir / "in.wav", in));
  const Audio first = RenderOk(dir, dir / "in.wav", "first.wav",
                               {"--preset", "Grow Up", "--set", "Frequency=3.3", "--set", "Shape=2",
                                "--save-state", dir / "saved.aupreset"});
  const std::string xml = ReadText(dir / "saved.aupreset");
  EXPECT_NE(xml.find("<?xml"), std::string::npos);
  EXPECT_NE(xml.find("<key>data</key>"), std::string::npos);
  EXPECT_NE(xml.find("<string>Grow Up</string>"), std::string::npos);
  // 'aufx' as a signed decimal, as the platform's tools write it.
  EXPECT_NE(xml.find("<integer>1635083896</integer>"), std::string::npos);
  const Audio second = RenderOk(dir, dir / "in.wav", "second.wav", {"--state", dir / "saved.aupreset"});
  EXPECT_TRUE(SameSamples(first, second));
  const Audio plain = RenderOk(dir, dir / "in.wav", "plain.wav", {"--preset", "Grow Up"});
  EXPECT_FALSE(SameSamples(first, plain));
}

TEST(HostRender, OutOfRangeValueIsClampedWithAWarning)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 44100, 0.5)));
  const RunResult r = RunHost(dir, {"render", dir / "in.wav", dir / "high.wav", "--set", "Frequency=50"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Frequency"), std::string::npos) << r.err;
  const Audio atMax = RenderOk(dir, dir / "in.wav", "max.wav", {"--set", "Frequency=32"});
  EXPECT_TRUE(SameSamples(ReadAudio(dir / "high.wav"), atMax));
}

TEST(HostRender, AnyFormatLibsndfileReadsIsAccepted)
{
  ScratchDir dir;
  Audio in = Noise(2, 32000, 0.5);
  ASSERT_TRUE(WriteAudio(dir / "in.flac", in, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
  const Audio out = RenderOk(dir, dir / "in.flac", "out.wav", {"--set", "OnOff=1"});
  EXPECT_EQ(out.rate, 32000);
  EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  // Bypassed, the output is the decoded input.
  EXPECT_TRUE(SameSamples(out, ReadAudio(dir / "in.flac")));
}

TEST(HostErrors, UnknownPresetListsTheValidNamesAndExitsWith2)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 44100, 0.2)));
  const RunResult r = RunHost(dir, {"render", dir / "in.wav", dir / "out.wav", "--preset", "Nope"});
  EXPECT_EQ(r.exitCode, 2);
  for (const std::string& p : kPresets) EXPECT_NE(r.err.find(p), std::string::npos) << r.err;
  EXPECT_FALSE(FileExists(dir / "out.wav"));
  ExpectNoLeftovers(dir, {"in.wav"});
}

TEST(HostErrors, UnknownParameterListsTheValidNamesAndExitsWith2)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 44100, 0.2)));
  const RunResult r = RunHost(dir, {"render", dir / "in.wav", dir / "out.wav", "--set", "Speed=3"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("Speed"), std::string::npos);
  for (const char* p : {"Volume", "Frequency", "TempoSync", "Mode"}) EXPECT_NE(r.err.find(p), std::string::npos) << r.err;
  EXPECT_FALSE(FileExists(dir / "out.wav"));
}

TEST(HostErrors, UnreadableInputNamesTheFileAndExitsWith1)
{
  ScratchDir dir;
  const RunResult missing = RunHost(dir, {"render", dir / "absent.wav", dir / "out.wav"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("absent.wav"), std::string::npos);
  EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;

  std::ofstream(dir / "junk.wav") << "RIFF....WAVEthis is no audio file at all";
  const RunResult junk = RunHost(dir, {"render", dir / "junk.wav", dir / "out.wav"});
  EXPECT_EQ(junk.exitCode, 1);
  EXPECT_NE(junk.err.find("junk.wav"), std::string::npos);
  EXPECT_FALSE(FileExists(dir / "out.wav"));
  ExpectNoLeftovers(dir, {"junk.wav"});
}

TEST(HostErrors, MoreThanTwoChannelsAreRefused)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "six.wav", Noise(6, 44100, 0.1)));
  const RunResult r = RunHost(dir, {"render", dir / "six.wav", dir / "out.wav"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("six.wav"), std::string::npos);
  EXPECT_NE(r.err.find("6 channels"), std::string::npos) << r.err;
  EXPECT_FALSE(FileExists(dir / "out.wav"));
}

TEST(HostErrors, UnwritableOutputLeavesNothingAndKeepsAnOldFile)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 44100, 0.2)));
  const RunResult noFolder = RunHost(dir, {"render", dir / "in.wav", dir / "no/such/folder/out.wav"});
  EXPECT_EQ(noFolder.exitCode, 1);
  EXPECT_NE(noFolder.err.find("no/such/folder/out.wav"), std::string::npos) << noFolder.err;

  // A failing run (unknown parameter) must not touch an existing output.
  std::ofstream(dir / "keep.wav") << "previous";
  const RunResult failed = RunHost(dir, {"render", dir / "in.wav", dir / "keep.wav", "--set", "Bogus=1"});
  EXPECT_EQ(failed.exitCode, 2);
  EXPECT_EQ(ReadText(dir / "keep.wav"), "previous");
  ExpectNoLeftovers(dir, {"in.wav", "keep.wav"});
}

TEST(HostErrors, BrokenOrForeignPresetFilesAreRefusedWithoutOutput)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 44100, 0.2)));
  // A good one to derive broken ones from.
  RenderOk(dir, dir / "in.wav", "ok.wav", {"--save-state", dir / "good.aupreset"});
  const std::string good = ReadText(dir / "good.aupreset");
  ASSERT_FALSE(good.empty());
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
  };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"empty", ""},
      {"garbage", "\x01\x02 not a plist at all"},
      {"truncated", good.substr(0, good.size() / 2)},
      {"binary", std::string("bplist00") + std::string(40, '\0')},
      {"array", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer></array></plist>"},
      {"no-type", replaced("<key>type</key>", "<key>kind</key>")},
      {"name-not-string", replaced("<string>Default</string>", "<integer>3</integer>")},
      {"no-data", replaced("<key>data</key>", "<key>payload</key>")},
      // 'Trml' -> 'Trmm': another plug-in's preset.
      {"foreign", replaced("<integer>1416785260</integer>", "<integer>1416785261</integer>")},
      // Every key right, but a data block of 3 bytes: the unit refuses it.
      {"short-data", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                     "<key>version</key><integer>65536</integer><key>type</key><integer>1635083896</integer>"
                     "<key>subtype</key><integer>1416785260</integer><key>manufacturer</key>"
                     "<integer>1366057586</integer><key>name</key><string>Default</string>"
                     "<key>data</key><data>AAAA</data></dict></plist>"},
  };
  for (const auto& c : cases)
  {
    const std::string preset = dir / (c.first + ".aupreset");
    std::ofstream(preset, std::ios::binary) << c.second;
    const RunResult r = RunHost(dir, {"render", dir / "in.wav", dir / "out.wav", "--state", preset});
    EXPECT_EQ(r.exitCode, 1) << c.first << ": " << r.err;
    EXPECT_NE(r.err.find(c.first + ".aupreset"), std::string::npos) << c.first << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.first << ": " << r.err;
    EXPECT_FALSE(FileExists(dir / "out.wav")) << c.first;
  }
  const RunResult foreign = RunHost(dir, {"render", dir / "in.wav", dir / "out.wav", "--state", dir / "foreign.aupreset"});
  EXPECT_NE(foreign.err.find("another plug-in"), std::string::npos) << foreign.err;
}

TEST(HostErrors, FilesNamingOneFileTwiceAreRefusedAndLeftAlone)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 44100, 0.1)));
  const std::string original = ReadText(dir / "in.wav");
  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0777), 0);
  ASSERT_EQ(link((dir / "in.wav").c_str(), (dir / "hard.wav").c_str()), 0);
  // Each pair spelled differently: identity, not text, decides.
  const std::vector<std::vector<std::string>> cases = {
      {"render", dir / "in.wav", dir / "sub/../in.wav"},
      {"render", dir / "in.wav", dir / "hard.wav"},
      {"render", dir / "in.wav", dir / "out.wav", "--save-state", dir / "./in.wav"},
      {"render", dir / "in.wav", dir / "out.wav", "--save-state", dir / "sub/../out.wav"},
      {"render", dir / "in.wav", dir / "out.wav", "--save-fxb", dir / "out.wav"},
      {"edit", "--save-state", dir / "s.aupreset", "--save-fxp", dir / "sub/../s.aupreset"},
      {"presets", "import", dir / "in.wav", "--save-state", dir / "hard.wav"},
  };
  for (const auto& args : cases)
  {
    const RunResult r = RunHost(dir, args);
    EXPECT_EQ(r.exitCode, 2) << args[0] << " " << args[2] << "\n" << r.err;
    EXPECT_NE(r.err.find("the same file"), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadText(dir / "in.wav"), original);
  ExpectNoLeftovers(dir, {"in.wav", "hard.wav", "sub"});
}

TEST(HostErrors, CutShortWavIsAnErrorUnlessAllowed)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "full.wav", Noise(2, 44100, 0.1), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  // The header still declares 4410 frames; 1000 remain.
  const std::string full = ReadText(dir / "full.wav");
  const size_t dataAt = full.find("data") + 8;
  std::ofstream(dir / "short.wav", std::ios::binary) << full.substr(0, dataAt + 1000 * 4);

  const RunResult refused = RunHost(dir, {"render", dir / "short.wav", dir / "out.wav"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("cut short"), std::string::npos) << refused.err;
  EXPECT_FALSE(FileExists(dir / "out.wav"));

  const RunResult allowed = RunHost(dir, {"render", dir / "short.wav", dir / "out.wav", "--allow-short"});
  EXPECT_EQ(allowed.exitCode, 0) << allowed.err;
  EXPECT_NE(allowed.err.find("warning"), std::string::npos) << allowed.err;
  EXPECT_EQ(ReadAudio(dir / "out.wav").Frames(), 1000u);
}

TEST(HostErrors, UsageMistakesExitWith2)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 44100, 0.1)));
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"transmogrify"},
      {"render", dir / "in.wav"},
      {"render", dir / "in.wav", dir / "out.wav", "--block", "0"},
      {"render", dir / "in.wav", dir / "out.wav", "--block", "100000"},
      {"render", dir / "in.wav", dir / "out.wav", "--tempo", "-5"},
      {"render", dir / "in.wav", dir / "out.wav", "--set", "Depth"},
      {"render", dir / "in.wav", dir / "out.wav", "--set", "Depth=lots"},
      {"render", dir / "in.wav", dir / "out.wav", "--frobnicate"},
      {"info", "extra"},
  };
  for (const auto& args : cases)
  {
    const RunResult r = RunHost(dir, args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(r.exitCode, 2) << joined << "\n" << r.err;
  }
  EXPECT_FALSE(FileExists(dir / "out.wav"));
}

TEST(HostCommands, HelpAndVersionAnswerOnStdout)
{
  ScratchDir dir;
  for (const char* command : {"render", "info", "snapshot", "demo"})
  {
    const RunResult r = RunHost(dir, {command, "--help"});
    EXPECT_EQ(r.exitCode, 0) << command;
    EXPECT_NE(r.out.find(std::string("quillbar-tremolo ") + command), std::string::npos) << r.out;
  }
  const RunResult v = RunHost(dir, {"--version"});
  EXPECT_EQ(v.exitCode, 0);
  EXPECT_EQ(v.out.rfind("quillbar-tremolo v", 0), 0u) << v.out;
}

TEST(HostCommands, InfoReportsWhatTheUnitPublishes)
{
  ScratchDir dir;
  const RunResult text = RunHost(dir, {"info"});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  for (const std::string& p : kPresets) EXPECT_NE(text.out.find(p), std::string::npos);
  EXPECT_NE(text.out.find("v1.0.0"), std::string::npos);
  EXPECT_NE(text.out.find("'Trml'"), std::string::npos);
  EXPECT_NE(text.out.find("1-1 2-2"), std::string::npos) << text.out;

  const RunResult json = RunHost(dir, {"info", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(json.out.front(), '{');
  EXPECT_NE(json.out.find("{\"index\": 2, \"name\": \"Frequency\", \"minimum\": 0.1, \"maximum\": 32, \"default\": 6"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"subtype\": \"Trml\""), std::string::npos);
  EXPECT_NE(json.out.find("{\"inputs\": 2, \"outputs\": 2}"), std::string::npos);
  EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '{'), std::count(json.out.begin(), json.out.end(), '}'));
}

TEST(HostCommands, DemoWritesEveryPresetFile)
{
  ScratchDir dir;
  const RunResult r = RunHost(dir, {"demo", dir / "demo"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const std::string& p : kPresets)
  {
    const Audio a = ReadAudio(dir / ("demo/" + p + ".wav"));
    EXPECT_EQ(a.channels, 2) << p;
    EXPECT_EQ(a.rate, 48000) << p;
    EXPECT_EQ(a.Frames(), 8u * 48000u) << p;
    EXPECT_NE(r.out.find(p + ".wav"), std::string::npos) << r.out;
    EXPECT_TRUE(FileExists(dir / ("demo/" + p + ".png"))) << p;
  }
  EXPECT_TRUE(FileExists(dir / "demo/editor.png"));
  // The same demo twice gives the same files: the signal is deterministic.
  ScratchDir again;
  ASSERT_EQ(RunHost(again, {"demo", again / "demo"}).exitCode, 0);
  EXPECT_TRUE(ReadAudio(dir / "demo/Gated.wav").samples == ReadAudio(again / "demo/Gated.wav").samples);
}

namespace
{

// Width and height from a PNG's IHDR chunk; 0 x 0 when the file is no PNG.
std::pair<uint32_t, uint32_t> PngSize(const std::string& bytes)
{
  static const char kSignature[] = "\x89PNG\r\n\x1a\n";
  if (bytes.size() < 24 || bytes.compare(0, 8, kSignature, 8) != 0 || bytes.compare(12, 4, "IHDR") != 0) return {0, 0};
  auto be32 = [&](size_t at) {
    return (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) << 24) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8) |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
  };
  return {be32(16), be32(20)};
}

} // namespace

TEST(HostSnapshot, WritesTheEditorAsAPngThatFollowsTheSettings)
{
  ScratchDir dir;
  const RunResult plain = RunHost(dir, {"snapshot", dir / "plain.png"});
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  const RunResult synced =
      RunHost(dir, {"snapshot", dir / "synced.png", "--preset", "Hard Pan", "--set", "TempoSync=1"});
  ASSERT_EQ(synced.exitCode, 0) << synced.err;
  const std::string a = ReadText(dir / "plain.png"), b = ReadText(dir / "synced.png");
  EXPECT_EQ(PngSize(a), std::make_pair(863u, 468u));
  EXPECT_EQ(PngSize(b), std::make_pair(863u, 468u));
  EXPECT_NE(a, b) << "the settings did not change the picture";
  // The same settings again draw the same picture.
  ASSERT_EQ(RunHost(dir, {"snapshot", dir / "again.png"}).exitCode, 0);
  EXPECT_EQ(ReadText(dir / "again.png"), a);
}

TEST(HostSnapshot, RefusesUnknownNamesAndUnwritableFilesWithoutLeftovers)
{
  ScratchDir dir;
  const RunResult preset = RunHost(dir, {"snapshot", dir / "x.png", "--preset", "Loud"});
  EXPECT_EQ(preset.exitCode, 2);
  EXPECT_NE(preset.err.find("Soft Pan"), std::string::npos) << preset.err;
  const RunResult folder = RunHost(dir, {"snapshot", dir / "missing/x.png"});
  EXPECT_EQ(folder.exitCode, 1);
  EXPECT_NE(folder.err.find("missing/x.png"), std::string::npos) << folder.err;
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(HostProgress, ShowsOnATerminalForLongInputsOnlyAndNotWhenQuiet)
{
  // `script` gives the program a terminal for stderr; without one no bar
  // is ever drawn, which the other tests already see.
  if (!FileExists("/usr/bin/script")) GTEST_SKIP() << "no /usr/bin/script to provide a terminal";
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "long.wav", Constant(1, 8000, 11.0, 0.25f)));
  ASSERT_TRUE(WriteAudio(dir / "short.wav", Constant(1, 8000, 9.0, 0.25f)));
  auto onTerminal = [&](const std::string& in, const std::string& extra) {
    const std::string inner = Quote(QUILL_HOST_BINARY) + " render " + Quote(in) + " " + Quote(dir / "o.wav") + extra;
    const std::string cmd =
        "script -qec " + Quote(inner) + " /dev/null < /dev/null > " + Quote(dir / ".tty") + " 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const std::string text = ReadText(dir / ".tty");
    unlink((dir / ".tty").c_str());
    return text;
  };
  const std::string longRun = onTerminal(dir / "long.wav", "");
  EXPECT_NE(longRun.find("100%"), std::string::npos) << longRun;
  EXPECT_NE(longRun.find("real time"), std::string::npos) << longRun;
  EXPECT_EQ(onTerminal(dir / "long.wav", " --quiet").find('%'), std::string::npos);
  EXPECT_EQ(onTerminal(dir / "short.wav", "").find('%'), std::string::npos);
}
