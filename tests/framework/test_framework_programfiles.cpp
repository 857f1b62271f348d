#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

#include "framework/IPlugBase.h"
#include "tests/support/ByteBuilder.h"

namespace
{
constexpr int kTst1 = 0x54737431; // 'Tst1'

// Two parameters: gain 0..1 and pan -2..2; version 1.2.3 (10203 in decimal).
class FilePlug : public IPlugBase
{
public:
  explicit FilePlug(bool chunks, int nPresets = 2)
    : IPlugBase(2, "1-1", nPresets, "FilePlug", "Product", "maker", 0x10203, kTst1, 0x4D6B7231, 0, false, chunks,
                false, kAPIAU)
  {
    GetParam(0)->InitDouble("gain", 0.5, 0.0, 1.0, 0.001);
    GetParam(1)->InitDouble("pan", 0.0, -2.0, 2.0, 0.001);
  }
  int programChanges = 0;

  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int) override {}
  void InformHostOfProgramChange() override { ++programChanges; }
  int GetSamplePos() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSig(int*, int*) override {}
  void GetTime(ITimeInfo*) override {}
  void ResizeGraphics(int, int) override {}
  bool SendMidiMsg(IMidiMsg*) override { return true; }

  std::vector<double> Values() const { return {GetParam(0)->Value(), GetParam(1)->Value()}; }
  // Everything a load may change, as one comparable text.
  std::string Fingerprint()
  {
    ByteChunk bank;
    SerializePresets(&bank);
    char text[96];
    snprintf(text, sizeof text, "%.17g %.17g cur %d presets ", GetParam(0)->Value(), GetParam(1)->Value(),
             GetCurrentPresetIdx());
    return text + std::string(reinterpret_cast<const char*>(bank.GetBytes()), (size_t)bank.Size());
  }
};

// Two presets: "Warm" (gain 0.25, pan 1.0; current) and "Cold" (1.0, -2.0).
void MakeTwo(FilePlug& p)
{
  p.MakePreset("Cold", 1.0, -2.0);
  p.MakePreset("Warm", 0.25, 1.0);
  p.RestorePreset(1);
}

// The bytes of an image as a chunk.
ByteChunk ChunkOf(const Bytes& bytes)
{
  ByteChunk c;
  c.PutBytes(bytes.b.data(), (int)bytes.b.size());
  return c;
}

Bytes ProgramHeader(const char* fx, uint32_t byteSize, const char* name)
{
  return Bytes().text("CcnK").be(byteSize).text(fx).be(1).be(kTst1).be(10203).be(2).text(name, 28);
}
Bytes BankHeader(const char* fx, uint32_t byteSize, uint32_t count, uint32_t current)
{
  return Bytes().text("CcnK").be(byteSize).text(fx).be(2).be(kTst1).be(10203).be(count).be(current).text("", 124);
}
Bytes VersionHeader() { return Bytes().text("tffp").le("\x00\x00\x01\x00", 4); }
Bytes ParamRecord(const char* name, float a, float b) { return ProgramHeader("FxCk", 0, name).fl(a).fl(b); }

// The four images of MakeTwo's plug-in, assembled by hand.
Bytes ExpectedProgram(bool chunks)
{
  if (!chunks) return ProgramHeader("FxCk", 0, "Warm").fl(0.25f).fl(0.75f);
  return ProgramHeader("FPCh", 24 + 60, "Warm").be(24).add(VersionHeader()).d(0.25).d(1.0);
}
Bytes ExpectedBank(bool chunks)
{
  if (!chunks) return BankHeader("FxBk", 0, 2, 1).add(ParamRecord("Cold", 1.0f, 0.0f)).add(ParamRecord("Warm", 0.25f, 0.75f));
  Bytes presets = VersionHeader();
  presets.le("\x04\x00\x00\x00", 4).text("Cold").le("\x01", 1).d(1.0).d(-2.0);
  presets.le("\x04\x00\x00\x00", 4).text("Warm").le("\x01", 1).d(0.25).d(1.0);
  return BankHeader("FBCh", (uint32_t)presets.b.size() + 160, 2, 1).be((uint32_t)presets.b.size()).add(presets);
}

std::string Hex(const ByteChunk& c)
{
  std::string s;
  char h[4];
  for (int i = 0; i < c.Size(); ++i)
  {
    snprintf(h, sizeof h, "%02x%s", c.GetBytes()[i], (i % 4 == 3) ? " " : "");
    s += h;
  }
  return s;
}

TEST(ProgramFiles, ImagesMatchThePublishedLayoutsByteForByteAndLoadIntoAFreshPlugin)
{
  for (bool chunks : {false, true})
  {
    FilePlug writer(chunks);
    MakeTwo(writer);
    ByteChunk program, bank;
    ASSERT_TRUE(writer.MakeProgramImage(&program));
    ASSERT_TRUE(writer.MakeBankImage(&bank));
    EXPECT_EQ(Hex(program), Hex(ChunkOf(ExpectedProgram(chunks)))) << "program, chunks " << chunks;
    EXPECT_EQ(Hex(bank), Hex(ChunkOf(ExpectedBank(chunks)))) << "bank, chunks " << chunks;

    // the hand-made bytes, as another program would write them, load
    FilePlug p(chunks);
    ASSERT_TRUE(p.LoadProgramImage(ChunkOf(ExpectedProgram(chunks)))) << chunks;
    EXPECT_EQ(p.Values(), (std::vector<double>{0.25, 1.0}));
    EXPECT_STREQ(p.GetPresetName(0), "Warm");
    EXPECT_EQ(p.programChanges, 1);

    // a parameter bank selects its current program; a chunk bank leaves the
    // current preset where it was
    FilePlug q(chunks);
    ASSERT_TRUE(q.LoadBankImage(ChunkOf(ExpectedBank(chunks)))) << chunks;
    EXPECT_STREQ(q.GetPresetName(0), "Cold");
    EXPECT_STREQ(q.GetPresetName(1), "Warm");
    EXPECT_EQ(q.GetCurrentPresetIdx(), chunks ? 0 : 1);
    EXPECT_EQ(q.Values(), chunks ? (std::vector<double>{1.0, -2.0}) : (std::vector<double>{0.25, 1.0}));
    ASSERT_TRUE(q.RestorePreset(1));
    EXPECT_EQ(q.Values(), (std::vector<double>{0.25, 1.0}));
  }
}

TEST(ProgramFiles, FilesWrittenAndReadBackRestoreNamesValuesAndCurrentPreset)
{
  const std::string dir = testing::TempDir();
  for (bool chunks : {false, true})
  {
    FilePlug a(chunks, 3);
    MakeTwo(a);
    a.MakePreset("", 0.5, 0.5); // an empty name is a name too
    a.GetParam(0)->Set(0.125);  // current values differ from the stored preset
    const WDL_String fxp((dir + "/rt.fxp").c_str()), fxb((dir + "/rt.fxb").c_str());
    ASSERT_TRUE(a.SaveProgramAsFXP(fxp));
    ASSERT_TRUE(a.SaveBankAsFXB(fxb));

    FilePlug b(chunks, 3);
    b.RestorePreset(1);
    ASSERT_TRUE(b.LoadBankFromFXB(fxb)) << chunks;
    for (int i = 0; i < 3; ++i) EXPECT_STREQ(b.GetPresetName(i), a.GetPresetName(i)) << i << " chunks " << chunks;
    EXPECT_EQ(b.GetCurrentPresetIdx(), 1);
    EXPECT_EQ(b.Values(), (std::vector<double>{0.25, 1.0}));
    ASSERT_TRUE(b.LoadProgramFromFXP(fxp));
    EXPECT_EQ(b.Values(), (std::vector<double>{0.125, 1.0}));
    EXPECT_STREQ(b.GetPresetName(1), "Warm");

    ByteChunk again, original;
    b.MakeBankImage(&again);
    a.ModifyCurrentPreset();
    a.MakeBankImage(&original);
    EXPECT_EQ(Hex(again), Hex(original)) << "a bank read back must write the same bytes, chunks " << chunks;
  }
  FilePlug p(false);
  EXPECT_FALSE(p.SaveProgramAsFXP(WDL_String("")));
  EXPECT_FALSE(p.LoadProgramFromFXP(WDL_String((dir + "/no such file.fxp").c_str())));
  EXPECT_FALSE(p.SaveBankAsFXB(WDL_String((dir + "/no such folder/x.fxb").c_str())));
}

TEST(ProgramFiles, PresetBankKeepsAnEmptyNameInsteadOfRepeatingThePreviousOne)
{
  FilePlug a(false, 3);
  a.MakePreset("first", 0.1, 0.0);
  a.MakePreset("", 0.2, 0.0);
  a.MakePreset("third", 0.3, 0.0);
  ByteChunk bank;
  ASSERT_TRUE(a.SerializePresets(&bank));
  FilePlug b(false, 3);
  ASSERT_EQ(b.UnserializePresets(&bank, 0), bank.Size());
  EXPECT_STREQ(b.GetPresetName(1), "");
  EXPECT_STREQ(b.GetPresetName(2), "third");
}

// One refused image: how it is made from a good one.
struct BadCase
{
  const char* what;
  std::function<Bytes(Bytes)> make;
};

Bytes Cut(Bytes b, size_t n)
{
  b.b.resize(n);
  return b;
}
Bytes Poke(Bytes b, size_t at, const Bytes& with)
{
  std::copy(with.b.begin(), with.b.end(), b.b.begin() + (long)at);
  return b;
}

void ExpectRefusedAndUnchanged(bool chunks, bool bank, const Bytes& good, const std::vector<BadCase>& cases)
{
  {
    FilePlug p(chunks);
    MakeTwo(p);
    ASSERT_TRUE(bank ? p.LoadBankImage(ChunkOf(good)) : p.LoadProgramImage(ChunkOf(good))) << "exactly full";
  }
  for (const BadCase& c : cases)
  {
    FilePlug p(chunks);
    MakeTwo(p);
    p.GetParam(0)->Set(0.75);
    const std::string before = p.Fingerprint();
    const Bytes bad = c.make(good);
    EXPECT_FALSE(bank ? p.LoadBankImage(ChunkOf(bad)) : p.LoadProgramImage(ChunkOf(bad))) << c.what << " was accepted";
    EXPECT_EQ(p.Fingerprint(), before) << c.what << " changed the plug-in although refused";
    EXPECT_EQ(p.programChanges, 0) << c.what;
  }
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

TEST(ProgramFiles, BadProgramFilesAreRefusedAndChangeNothing)
{
  const Bytes good = ProgramHeader("FxCk", 0, "Other").fl(0.5f).fl(0.5f);
  ExpectRefusedAndUnchanged(false, false, good,
                            {{"an empty file", [](Bytes b) { return Cut(b, 0); }},
                             {"a header one byte short", [](Bytes b) { return Cut(b, 55); }},
                             {"the header only", [](Bytes b) { return Cut(b, 56); }},
                             {"values one byte short", [](Bytes b) { return Cut(b, 63); }},
                             {"a wrong chunk magic", [](Bytes b) { return Poke(b, 0, Bytes().text("CcnX")); }},
                             {"an unknown program magic", [](Bytes b) { return Poke(b, 8, Bytes().text("FxXk")); }},
                             {"format version 2", [](Bytes b) { return Poke(b, 12, Bytes().be(2)); }},
                             {"a foreign unique ID", [](Bytes b) { return Poke(b, 16, Bytes().text("Othr")); }},
                             {"three parameters", [](Bytes b) { return Poke(b, 24, Bytes().be(3)); }},
                             {"a name without a NUL", [](Bytes b) { return Poke(b, 28, Bytes().text(std::string(28, 'n').c_str())); }},
                             {"a NaN value", [](Bytes b) { return Poke(b, 60, Bytes().fl(kNaN)); }},
                             {"an infinite value", [](Bytes b) { return Poke(b, 56, Bytes().fl(-kInf)); }},
                             {"a chunk program for a plug-in without chunks",
                              [](Bytes b) { return Poke(b, 8, Bytes().text("FPCh")); }}});
}

TEST(ProgramFiles, BadChunkProgramsAreRefusedAndLeaveTheStateAsItWas)
{
  // 16 state bytes without the version header are read from offset 60
  const Bytes good = ProgramHeader("FPCh", 76, "Other").be(16).d(0.5).d(0.5);
  ExpectRefusedAndUnchanged(true, false, good,
                            {{"a chunk length past the end", [](Bytes b) { return Poke(b, 56, Bytes().be(17)); }},
                             {"a negative chunk length", [](Bytes b) { return Poke(b, 56, Bytes().be(0xFFFFFFFF)); }},
                             {"a state one value short", [](Bytes b) { return Poke(Cut(b, 68), 56, Bytes().be(8)); }},
                             {"a version header cut short",
                              [](Bytes b) { return Poke(Cut(b, 60), 56, Bytes().be(4)).text("tffp"); }}});
}

TEST(ProgramFiles, BadBankFilesAreRefusedAndChangeNothing)
{
  const Bytes good = BankHeader("FxBk", 0, 2, 0).add(ParamRecord("A", 0.5f, 0.5f)).add(ParamRecord("B", 0.1f, 0.9f));
  const size_t second = 156 + 64;
  ExpectRefusedAndUnchanged(
    false, true, good,
    {{"a header one byte short", [](Bytes b) { return Cut(b, 155); }},
     {"the header only", [](Bytes b) { return Cut(b, 156); }},
     {"the last record one byte short", [](Bytes b) { return Cut(b, b.b.size() - 1); }},
     {"a foreign unique ID", [](Bytes b) { return Poke(b, 16, Bytes().text("Othr")); }},
     {"an unknown bank magic", [](Bytes b) { return Poke(b, 8, Bytes().text("FxBx")); }},
     {"a negative program count", [](Bytes b) { return Poke(b, 24, Bytes().be(0xFFFFFFFF)); }},
     {"a huge program count", [](Bytes b) { return Poke(b, 24, Bytes().be(0x7FFFFFFF)); }},
     {"more programs than presets", [](Bytes b) { return Poke(b, 24, Bytes().be(3)).add(ParamRecord("C", 0, 0)); }},
     // the first record is fine: it must not be applied before the second is found broken
     {"a second record with a wrong magic", [=](Bytes b) { return Poke(b, second + 8, Bytes().text("FPCh")); }},
     {"a second record with another parameter count", [=](Bytes b) { return Poke(b, second + 24, Bytes().be(1)); }},
     {"a second record name without a NUL", [=](Bytes b) { return Poke(b, second + 28, Bytes().text(std::string(28, 'x').c_str())); }},
     {"a NaN in the second record", [=](Bytes b) { return Poke(b, second + 56, Bytes().fl(kNaN)); }},
     {"a chunk bank for a plug-in without chunks", [](Bytes b) { return Poke(b, 8, Bytes().text("FBCh")); }}});

  Bytes chunkGood = VersionHeader();
  chunkGood.le("\x01\x00\x00\x00", 4).text("A").le("\x01", 1).d(0.5).d(0.5);
  chunkGood.le("\x01\x00\x00\x00", 4).text("B").le("\x01", 1).d(0.1).d(0.9);
  const uint32_t len = (uint32_t)chunkGood.b.size();
  ExpectRefusedAndUnchanged(
    true, true, BankHeader("FBCh", len + 160, 2, 0).be(len).add(chunkGood),
    {{"a chunk length past the end", [=](Bytes b) { return Poke(b, 156, Bytes().be(len + 1)); }},
     {"a chunk length cut inside the header", [](Bytes b) { return Cut(b, 158); }},
     // the first preset reads fully; the second stops short
     {"a preset bank cut inside the second state", [=](Bytes b) { return Poke(Cut(b, b.b.size() - 4), 156, Bytes().be(len - 4)); }}});
}

TEST(ProgramFiles, OutOfRangeValuesAreClampedAndAnInvalidCurrentProgramKeepsTheCurrentPreset)
{
  FilePlug p(false);
  MakeTwo(p);
  p.RestorePreset(0);
  ASSERT_TRUE(p.LoadBankImage(ChunkOf(BankHeader("FxBk", 0, 1, 7).add(ParamRecord("A", -0.5f, 1.5f)))));
  EXPECT_EQ(p.GetCurrentPresetIdx(), 0);
  EXPECT_EQ(p.Values(), (std::vector<double>{0.0, 2.0}));
  EXPECT_STREQ(p.GetPresetName(0), "A");
  EXPECT_STREQ(p.GetPresetName(1), "Warm") << "a preset the bank does not hold stays";
}

} // namespace
