// Program and bank files: the host's reader and writer against hand-made
// bytes, then the command line round trips through them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "HostTestSupport.h"
#include "host/ProgramFile.h"
#include "tests/support/ByteBuilder.h"

using namespace hosttest;

namespace
{

const ProgramFileIdentity kId{0x54737431 /* 'Tst1' */, 10203, 2, 2};


Bytes Record(const std::string& name, float a, float b)
{
  return Bytes().text("CcnK").be(0).text("FxCk").be(1).text("Tst1").be(10203).be(2).text(name, 28).fl(a).fl(b);
}
Bytes Bank(uint32_t count, uint32_t current)
{
  return Bytes().text("CcnK").be(0).text("FxBk").be(2).text("Tst1").be(10203).be(count).be(current).text("", 124);
}

TEST(ProgramFileFormat, WritesThePublishedLayoutAndReadsItBack)
{
  const HostProgram warm{"Warm", {0.25f, 0.75f}};
  const Bytes program = Record("Warm", 0.25f, 0.75f);
  EXPECT_EQ(ProgramFileBytes(kId, warm), program.b);
  HostProgram read;
  std::string reason;
  ASSERT_TRUE(ParseProgramFile(program.b.data(), program.b.size(), kId, &read, &reason)) << reason;
  EXPECT_EQ(read.name, "Warm");
  EXPECT_EQ(read.values, warm.values);

  // an empty name is kept; a 40-character one is cut to 27 bytes
  const HostBank bank{{{"", {1.0f, 0.0f}}, {std::string(40, 'n'), {0.5f, 0.125f}}}, 1};
  const Bytes expected = Bank(2, 1).add(Record("", 1.0f, 0.0f)).add(Record(std::string(27, 'n'), 0.5f, 0.125f));
  EXPECT_EQ(BankFileBytes(kId, bank), expected.b);
  HostBank back;
  ASSERT_TRUE(ParseBankFile(expected.b.data(), expected.b.size(), kId, &back, &reason)) << reason;
  ASSERT_EQ(back.programs.size(), 2u);
  EXPECT_EQ(back.programs[0].name, "");
  EXPECT_EQ(back.programs[1].name, std::string(27, 'n'));
  EXPECT_EQ(back.programs[1].values, bank.programs[1].values);
  EXPECT_EQ(back.current, 1);
}

struct BadFile
{
  const char* what;
  Bytes bytes;
  const char* reason; // part of the message
};

Bytes Cut(Bytes b, size_t n)
{
  b.b.resize(n);
  return b;
}
Bytes Poke(Bytes b, size_t at, const Bytes& with)
{
  std::copy(with.b.begin(), with.b.end(), b.b.begin() + static_cast<long>(at));
  return b;
}

TEST(ProgramFileFormat, BadFilesAreRefusedWithTheReason)
{
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const Bytes good = Record("A", 0.5f, 0.5f);
  const std::vector<BadFile> programs = {
    {"empty", Bytes(), "0 bytes"},
    {"header one byte short", Cut(good, 55), "shorter than the 56-byte"},
    {"header only", Cut(good, 56), "shorter than the 64 bytes"},
    {"values one byte short", Cut(good, 63), "shorter than the 64 bytes"},
    {"wrong magic", Poke(good, 0, Bytes().text("RIFF")), "'CcnK'"},
    {"chunk variant", Poke(good, 8, Bytes().text("FPCh")), "opaque chunk"},
    {"a bank", Bank(0, 0), "bank file"},
    {"format version", Poke(good, 12, Bytes().be(2)), "format version 2"},
    {"foreign ID", Poke(good, 16, Bytes().text("Othr")), "another plug-in (unique ID 'Othr'"},
    {"parameter count", Poke(good, 24, Bytes().be(3)), "holds 3 parameters"},
    {"name without NUL", Poke(good, 28, Bytes().text(std::string(28, 'x'))), "name"},
    {"NaN", Poke(good, 60, Bytes().fl(nan)), "value 1, which is not a finite"},
    {"infinity", Poke(good, 56, Bytes().fl(-inf)), "value 0, which is not a finite"},
  };
  for (const BadFile& f : programs)
  {
    HostProgram out{"untouched", {}};
    std::string reason;
    EXPECT_FALSE(ParseProgramFile(f.bytes.b.data(), f.bytes.b.size(), kId, &out, &reason)) << f.what;
    EXPECT_NE(reason.find(f.reason), std::string::npos) << f.what << ": " << reason;
    EXPECT_EQ(out.name, "untouched") << f.what;
  }

  const Bytes bank = Bank(2, 0).add(good).add(Record("B", 0.1f, 0.9f));
  const size_t second = 156 + 64;
  const std::vector<BadFile> banks = {
    {"header one byte short", Cut(bank, 155), "shorter than the 156-byte bank header"},
    {"header only", Cut(bank, 156), "program 0 is 0 bytes"},
    {"last record one byte short", Cut(bank, bank.b.size() - 1), "program 1 is 63 bytes"},
    {"a program", good, "program file"},
    {"chunk variant", Poke(bank, 8, Bytes().text("FBCh")), "opaque chunk"},
    {"foreign ID", Poke(bank, 16, Bytes().text("Othr")), "another plug-in"},
    {"negative count", Poke(bank, 24, Bytes().be(0xFFFFFFFF)), "claims -1 programs"},
    {"huge count", Poke(bank, 24, Bytes().be(0x7FFFFFFF)), "claims 2147483647 programs"},
    {"more programs than presets", Poke(bank, 24, Bytes().be(3)).add(good), "claims 3 programs"},
    {"broken second record", Poke(bank, second + 24, Bytes().be(1)), "program 1 holds 1 parameters"},
    {"NaN in the second record", Poke(bank, second + 56, Bytes().fl(nan)), "program 1 holds value 0,"},
  };
  for (const BadFile& f : banks)
  {
    HostBank out;
    out.current = 42;
    std::string reason;
    EXPECT_FALSE(ParseBankFile(f.bytes.b.data(), f.bytes.b.size(), kId, &out, &reason)) << f.what;
    EXPECT_NE(reason.find(f.reason), std::string::npos) << f.what << ": " << reason;
    EXPECT_EQ(out.current, 42) << f.what;
  }
}

// Renders dir/in.wav into outName with extra arguments; expects success.
Audio RenderOk(const ScratchDir& dir, const std::string& outName, std::vector<std::string> extra)
{
  std::vector<std::string> args = {"render", dir / "in.wav", dir / outName};
  args.insert(args.end(), extra.begin(), extra.end());
  const RunResult r = RunHost(dir, args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return ReadAudio(dir / outName);
}

// Values pass through 32-bit normalized floats in these files, so a sound
// read back is close to the original, not bit-identical.
double MaxAbsDiff(const Audio& a, const Audio& b)
{
  if (a.samples.size() != b.samples.size() || a.samples.empty()) return 1e9;
  double worst = 0.0;
  for (size_t i = 0; i < a.samples.size(); ++i)
    worst = std::max(worst, std::fabs(static_cast<double>(a.samples[i]) - b.samples[i]));
  return worst;
}

TEST(HostProgramFiles, ExportedPresetsLoadAsTheSameSounds)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 44100, 1.0)));
  const RunResult r = RunHost(dir, {"presets", "export", dir / "out"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* name : {"Default", "Gated", "Grow Up", "Soft Pan", "Hard Pan"})
  {
    const std::string file = dir / ("out/" + std::string(name) + ".fxp");
    EXPECT_EQ(ReadText(file).size(), 56u + 4 * 11) << name;
    EXPECT_NE(r.out.find(file), std::string::npos) << "the listing misses " << file;
  }
  EXPECT_EQ(ReadText(dir / "out/QuillbarTremolo.fxb").size(), 156u + 5 * (56 + 4 * 11));

  const Audio gated = RenderOk(dir, "gated.wav", {"--preset", "Gated"});
  EXPECT_LT(MaxAbsDiff(gated, RenderOk(dir, "fxp.wav", {"--fxp", dir / "out/Gated.fxp"})), 1e-3);
  // a bank then a preset name picks the bank's program of that name
  EXPECT_LT(MaxAbsDiff(gated, RenderOk(dir, "fxb.wav", {"--fxb", dir / "out/QuillbarTremolo.fxb", "--preset", "Gated"})),
            1e-3);
}

TEST(HostProgramFiles, SavedProgramBankAndImportedStateKeepTheEditedSoundAndName)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 44100, 1.0)));
  const Audio edited = RenderOk(dir, "edited.wav",
                                {"--preset", "Soft Pan", "--set", "Depth=0.8", "--save-fxp", dir / "p.fxp",
                                 "--save-fxb", dir / "b.fxb"});
  const Audio plain = RenderOk(dir, "plain.wav", {"--preset", "Soft Pan"});
  ASSERT_GT(MaxAbsDiff(edited, plain), 1e-2) << "the edit must be audible for this test to mean anything";

  EXPECT_LT(MaxAbsDiff(edited, RenderOk(dir, "p.wav", {"--fxp", dir / "p.fxp", "--save-state", dir / "p.aupreset"})),
            1e-3);
  EXPECT_NE(ReadText(dir / "p.aupreset").find("<string>Soft Pan</string>"), std::string::npos)
    << "a loaded program brings its name";
  // the bank's current program is the edited one
  EXPECT_LT(MaxAbsDiff(edited, RenderOk(dir, "b.wav", {"--fxb", dir / "b.fxb"})), 1e-3);

  const RunResult r = RunHost(dir, {"presets", "import", dir / "b.fxb", "--save-state", dir / "i.aupreset"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(ReadText(dir / "i.aupreset").find("<string>Soft Pan</string>"), std::string::npos);
  EXPECT_LT(MaxAbsDiff(edited, RenderOk(dir, "i.wav", {"--state", dir / "i.aupreset"})), 1e-3);
}

TEST(HostProgramFiles, RefusedFilesNameTheFileAndTheReasonAndWriteNothing)
{
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 44100, 0.2)));
  ASSERT_EQ(RunHost(dir, {"presets", "export", dir.Path()}).exitCode, 0);
  std::string foreign = ReadText(dir / "Gated.fxp");
  foreign.replace(16, 4, "Othr");
  {
    std::ofstream out(dir / "foreign.fxp", std::ios::binary);
    out << foreign;
  }
  struct Case
  {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
    {{"--fxp", dir / "foreign.fxp"}, dir / "foreign.fxp" + ": the file belongs to another plug-in"},
    {{"--fxb", dir / "Gated.fxp"}, dir / "Gated.fxp" + ": this is a program file"},
    {{"--fxp", dir / "missing.fxp"}, dir / "missing.fxp" + ": No such file"},
    {{"--save-fxb", dir / "no/such/folder.fxb"}, "no/such/folder.fxb"},
  };
  for (const Case& c : cases)
  {
    std::vector<std::string> args = {"render", dir / "in.wav", dir / "out.wav"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = RunHost(dir, args);
    EXPECT_EQ(r.exitCode, 1) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(FileExists(dir / "out.wav")) << c.message;
  }
}

} // namespace
