#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/IPlugBase.h"

namespace
{
// A plug-in whose adapter slots record what the base asks of the host.
class TestPlug : public IPlugBase
{
public:
  TestPlug(int nParams, const char* io, int nPresets = 0, int version = 0x10000, EAPI api = kAPIAU)
    : IPlugBase(nParams, io, nPresets, "TestPlug", "Product", "maker", version, 0x54737431, 0x4D6B7231, 0, false, false,
                false, api)
  {
  }

  struct Informed
  {
    int idx;
    double normalized;
    double plainAtThatTime;
  };

  std::vector<Informed> informed;
  std::vector<int> paramChanges;
  std::vector<IMidiMsg> sentMidi;
  bool midiResult = true;
  double tempo = 120.0;
  int hostQueries = 0;
  int presetsChanged = 0;
  std::vector<IPlugEditor*> replacedEditors; // the editor in place at each replacement

  void OnEditorAboutToBeReplaced() override { replacedEditors.push_back(GetEditor()); }
  void OnParamChange(int idx) override
  {
    IPlugBase::OnParamChange(idx);
    paramChanges.push_back(idx);
  }
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int idx, double normalized) override
  {
    informed.push_back({idx, normalized, GetParam(idx) ? GetParam(idx)->Value() : 0.0});
  }
  void EndInformHostOfParamChange(int) override {}
  void InformHostOfProgramChange() override {}
  int GetSamplePos() override { return 0; }
  double GetTempo() override { return tempo; }
  void GetTimeSig(int*, int*) override {}
  void GetTime(ITimeInfo*) override {}
  EHost GetHost() override
  {
    ++hostQueries;
    return IPlugBase::GetHost();
  }
  void ResizeGraphics(int, int) override {}
  bool SendMidiMsg(IMidiMsg* pMsg) override
  {
    sentMidi.push_back(*pMsg);
    return midiResult;
  }
  void PresetsChangedByHost() override { ++presetsChanged; }
};

// A plug-in that records what its processing routine sees and scribbles a
// marker into its first input, to observe scratch buffers.
class ProbePlug : public TestPlug
{
public:
  using TestPlug::TestPlug;
  std::vector<std::vector<double>> seenInputs;
  bool scribble = false;

  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override
  {
    seenInputs.clear();
    for (int c = 0; c < NInChannels(); ++c) seenInputs.emplace_back(inputs[c], inputs[c] + nFrames);
    IPlugBase::ProcessDoubleReplacing(inputs, outputs, nFrames);
    if (scribble && nFrames > 0) inputs[0][0] = 42.0;
  }
};

struct EditorLog
{
  std::vector<std::string> calls;
  bool deleted = false;
};

class FakeEditor : public IPlugEditor
{
public:
  explicit FakeEditor(EditorLog* log) : mLog(log) {}
  ~FakeEditor() override { mLog->deleted = true; }
  void SetParameterFromPlug(int idx, double value, bool normalized) override
  {
    char buf[64];
    snprintf(buf, sizeof(buf), "%d=%g%s", idx, value, normalized ? "n" : "p");
    mLog->calls.push_back(buf);
  }
  void PrepDraw() override { mLog->calls.push_back("prep"); }

private:
  EditorLog* mLog;
};

std::string ReadFile(const std::string& path)
{
  std::ifstream f(path);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::string TempPath(const char* name)
{
  return std::string(::testing::TempDir()) + name;
}

// One slot of a preset bank as the base writes it: name, filled flag and,
// when filled, the state (here one double).
void PutBankSlot(ByteChunk& bank, const char* name, uint8_t filled, double value)
{
  bank.PutStr(name);
  bank.Put(&filled);
  if (filled) bank.Put(&value);
}

// Sets the block size and connects the first nIn inputs and nOut outputs
// (or disconnects them).
void Wire(IPlugBase& p, int blockSize, int nIn, bool inConnected, int nOut, bool outConnected)
{
  p.SetBlockSize(blockSize);
  p.SetInputChannelConnections(0, nIn, inConnected);
  p.SetOutputChannelConnections(0, nOut, outConnected);
}

std::vector<double> ChunkDoubles(const ByteChunk& c)
{
  std::vector<double> v((size_t)c.Size() / 8);
  if (!v.empty()) memcpy(v.data(), c.GetBytes(), v.size() * 8);
  return v;
}
} // namespace

// ---------------------------------------------------------------------------
// Channel configuration

TEST(ChannelIO, ParsesEveryConfigurationInOrder)
{
  TestPlug p(0, "1-1 2-2");
  ASSERT_EQ(p.NChannelIO(), 2);
  int in = -1, out = -1;
  EXPECT_TRUE(p.GetChannelIO(1, &in, &out));
  EXPECT_EQ(in, 2);
  EXPECT_EQ(out, 2);
  EXPECT_EQ(p.NInChannels(), 2);
  EXPECT_EQ(p.NOutChannels(), 2);
  EXPECT_TRUE(p.LegalIO(1, 1));
  EXPECT_TRUE(p.LegalIO(2, 2));
  EXPECT_FALSE(p.LegalIO(1, 2));
  EXPECT_TRUE(p.LegalIO(-1, 2));
  EXPECT_TRUE(p.LegalIO(1, -1));
  EXPECT_FALSE(p.LegalIO(3, -1));
  EXPECT_FALSE(p.GetChannelIO(2, &in, &out));
}

TEST(ChannelIO, MissingCountsReadAsZeroAndDuplicatesStay)
{
  TestPlug one(0, "2-");
  ASSERT_EQ(one.NChannelIO(), 1);
  int in = -1, out = -1;
  one.GetChannelIO(0, &in, &out);
  EXPECT_EQ(in, 2);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(one.NOutChannels(), 0);

  TestPlug dup(0, "2-2 2-2 0-1");
  EXPECT_EQ(dup.NChannelIO(), 3);
  EXPECT_EQ(dup.NInChannels(), 2);
  EXPECT_TRUE(dup.LegalIO(0, 1));

  TestPlug none(0, nullptr);
  EXPECT_EQ(none.NChannelIO(), 1);
  EXPECT_EQ(none.NInChannels(), 0);
  none.ProcessBuffers(0.0, 16); // no channels at all: nothing to touch
}

TEST(ChannelIO, AChannelCountTooLargeToHoldLeavesThatSideWithoutChannels)
{
  // 300 million data pointers exceed what a buffer may hold
  TestPlug p(0, "300000000-2");
  EXPECT_EQ(p.NInChannels(), 0);
  EXPECT_EQ(p.NOutChannels(), 2);
  p.SetBlockSize(8);
  p.ProcessBuffers(0.0, 8);
}

TEST(ChannelIO, ConnectionsIgnoreChannelsThatDoNotExist)
{
  TestPlug p(0, "4-4");
  p.SetInputChannelConnections(0, 4, true);
  p.SetOutputChannelConnections(-3, 100, true);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(p.IsOutChannelConnected(i));
  EXPECT_FALSE(p.IsInChannelConnected(4));
  EXPECT_FALSE(p.IsInChannelConnected(-1));

  p.SetOutputChannelConnections(0, 4, false);
  p.LimitToStereoIO();
  EXPECT_TRUE(p.IsInChannelConnected(1));
  EXPECT_FALSE(p.IsInChannelConnected(2));
  EXPECT_FALSE(p.IsInChannelConnected(3));
  EXPECT_FALSE(p.IsOutChannelConnected(1));
  EXPECT_TRUE(p.IsOutChannelConnected(2));
  EXPECT_TRUE(p.IsOutChannelConnected(3));
}

TEST(ChannelIO, ACountReachingPastTheIntRangeStillCoversTheChannelsFromTheIndexOn)
{
  TestPlug p(0, "4-4");
  // "every channel from 1 on": idx + n does not fit an int
  p.SetInputChannelConnections(1, INT_MAX, true);
  p.SetOutputChannelConnections(2, INT_MAX, true);
  EXPECT_FALSE(p.IsInChannelConnected(0));
  for (int i = 1; i < 4; ++i) EXPECT_TRUE(p.IsInChannelConnected(i)) << i;
  EXPECT_FALSE(p.IsOutChannelConnected(1));
  for (int i = 2; i < 4; ++i) EXPECT_TRUE(p.IsOutChannelConnected(i)) << i;
}

TEST(ChannelIO, LabelsAndBusLabels)
{
  TestPlug p(0, "2-2");
  p.SetInputLabel(1, "R in");
  p.SetInputLabel(2, "ignored");
  p.SetOutputLabel(-1, "ignored");
  EXPECT_STREQ(p.GetInputLabel(1), "R in");
  EXPECT_STREQ(p.GetInputLabel(2), "");

  p.SetInputBusLabel(2, "side");
  EXPECT_EQ(p.NInputBusLabels(), 0) << "input bus labels exist only for buses 0 and 1";
  p.SetInputBusLabel(0, "input");
  p.SetInputBusLabel(0, "main");
  ASSERT_EQ(p.NInputBusLabels(), 1);
  EXPECT_STREQ(p.GetInputBusLabel(0)->Get(), "main");

  p.SetOutputBusLabel(5, "five");
  ASSERT_EQ(p.NOutputBusLabels(), 1) << "an index beyond the end appends";
  EXPECT_STREQ(p.GetOutputBusLabel(0)->Get(), "five");
  p.SetOutputBusLabel(0, "zero");
  p.SetOutputBusLabel(1, "one");
  EXPECT_STREQ(p.GetOutputBusLabel(0)->Get(), "zero");
  EXPECT_STREQ(p.GetOutputBusLabel(1)->Get(), "one");
  EXPECT_EQ(p.GetOutputBusLabel(2), nullptr);
}

// ---------------------------------------------------------------------------
// Buffers and processing

TEST(Processing, ADisconnectedInputReadsItsZeroedScratchBuffer)
{
  ProbePlug p(0, "2-2");
  Wire(p, 8, 1, true, 2, true);
  p.SetInputChannelConnections(1, 1, false);

  std::vector<double> in0(8, 0.25), out0(8, -1), out1(8, -1);
  double* ins[] = {in0.data()};
  double* outs[] = {out0.data(), out1.data()};
  p.AttachInputBuffers(0, 2, ins, 8); // the unconnected channel takes no pointer
  p.AttachOutputBuffers(0, 2, outs);
  p.ProcessBuffers(0.0, 8);

  ASSERT_EQ(p.seenInputs.size(), 2u);
  EXPECT_EQ(p.seenInputs[0], in0);
  EXPECT_EQ(p.seenInputs[1], std::vector<double>(8, 0.0));
  EXPECT_EQ(out0, in0);
  EXPECT_EQ(out1, std::vector<double>(8, 0.0));
}

TEST(Processing, ScratchBuffersAreZeroedOnlyWhenTheBlockSizeChanges)
{
  ProbePlug p(0, "1-1");
  Wire(p, 4, 1, false, 1, false);
  p.scribble = true;
  p.ProcessBuffers(0.0, 4); // writes 42 into the input scratch
  p.scribble = false;

  p.SetBlockSize(4);
  p.ProcessBuffers(0.0, 4);
  EXPECT_EQ(p.seenInputs[0][0], 42.0) << "the same block size must leave the scratch buffer alone";

  p.SetBlockSize(4096); // a new size, large enough to move the storage
  p.ProcessBuffers(0.0, 4096);
  ASSERT_EQ(p.seenInputs[0].size(), 4096u);
  EXPECT_EQ(p.seenInputs[0], std::vector<double>(4096, 0.0))
      << "a new block size must zero the scratch buffer the channel reads";

  // A connected channel fed floats reads them from its scratch as well; it
  // must follow the scratch too, not keep reading the freed one.
  ProbePlug q(0, "1-1");
  Wire(q, 4, 1, true, 1, false);
  std::vector<float> in(4, 0.5f);
  float* ins[] = {in.data()};
  q.AttachInputBuffers(0, 1, ins, 4);
  q.SetBlockSize(4096);
  q.ProcessBuffers(0.0, 4096);
  ASSERT_EQ(q.seenInputs[0].size(), 4096u);
  EXPECT_EQ(q.seenInputs[0], std::vector<double>(4096, 0.0));
}

TEST(Processing, FloatBuffersAreConvertedInAndOut)
{
  TestPlug p(0, "2-2");
  Wire(p, 16, 2, true, 2, true);
  std::vector<float> in0(16), in1(16), out0(16, 9.f), out1(16, 9.f);
  for (int i = 0; i < 16; ++i)
  {
    in0[(size_t)i] = 0.1f * (float)i;
    in1[(size_t)i] = -0.3f * (float)i;
  }
  float* ins[] = {in0.data(), in1.data()};
  float* outs[] = {out0.data(), out1.data()};
  p.AttachInputBuffers(0, 2, ins, 16);
  p.AttachOutputBuffers(0, 2, outs);
  p.ProcessBuffers(0.f, 16);
  EXPECT_EQ(out0, in0);
  EXPECT_EQ(out1, in1);

  std::vector<float> acc0(16, 1.f), acc1(16, 2.f);
  float* accs[] = {acc0.data(), acc1.data()};
  p.AttachInputBuffers(0, 2, ins, 16);
  p.AttachOutputBuffers(0, 2, accs);
  p.ProcessBuffersAccumulating(0.f, 16);
  for (int i = 0; i < 16; ++i)
  {
    EXPECT_FLOAT_EQ(acc0[(size_t)i], 1.f + in0[(size_t)i]);
    EXPECT_FLOAT_EQ(acc1[(size_t)i], 2.f + in1[(size_t)i]);
  }
}

TEST(Processing, FramesBeyondTheBlockSizeAreNotProcessed)
{
  TestPlug p(0, "1-1");
  Wire(p, 8, 1, true, 1, true);
  std::vector<float> in(32, 0.5f), out(32, -7.f);
  float* ins[] = {in.data()};
  float* outs[] = {out.data()};
  p.AttachInputBuffers(0, 1, ins, 32); // longer than the scratch buffer
  p.AttachOutputBuffers(0, 1, outs);
  p.ProcessBuffers(0.f, 32);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[(size_t)i], 0.5f);
  for (int i = 8; i < 32; ++i) EXPECT_EQ(out[(size_t)i], -7.f) << "frame " << i << " was written";
}

TEST(Processing, PassThroughCopiesMatchingChannelsAndSilencesTheRest)
{
  class Gain : public TestPlug
  {
  public:
    using TestPlug::TestPlug;
    void ProcessDoubleReplacing(double**, double** outputs, int n) override
    {
      for (int c = 0; c < NOutChannels(); ++c)
        for (int i = 0; i < n; ++i) outputs[c][i] = 99.0;
    }
  } p(0, "1-2");
  Wire(p, 4, 1, true, 2, true);
  std::vector<float> in{1, 2, 3, 4}, out0(4, -1), out1(4, -1);
  float* ins[] = {in.data()};
  float* outs[] = {out0.data(), out1.data()};
  p.AttachInputBuffers(0, 1, ins, 4);
  p.AttachOutputBuffers(0, 2, outs);
  p.PassThroughBuffers(0.f, 4);
  EXPECT_EQ(out0, in) << "pass-through must bypass the plug-in's own processing";
  EXPECT_EQ(out1, std::vector<float>(4, 0.f));

  p.ProcessBuffers(0.f, 4);
  EXPECT_EQ(out0, std::vector<float>(4, 99.f));
}

TEST(Processing, BaseSinglePrecisionCopiesAndZeroes)
{
  TestPlug p(0, "1-2");
  std::vector<float> in{1, 2, 3}, o0(3, 5), o1(3, 5);
  float* ins[] = {in.data()};
  float* outs[] = {o0.data(), o1.data()};
  p.ProcessSingleReplacing(ins, outs, 3);
  EXPECT_EQ(o0, in);
  EXPECT_EQ(o1, std::vector<float>(3, 0.f));
}

TEST(Processing, SamplesPerBeatFollowsTheHostTempo)
{
  TestPlug p(0, "1-1");
  p.SetSampleRate(48000.0);
  p.tempo = 120.0;
  EXPECT_DOUBLE_EQ(p.GetSamplesPerBeat(), 24000.0);
  p.tempo = 0.0;
  EXPECT_EQ(p.GetSamplesPerBeat(), 0.0);
  p.tempo = -5.0;
  EXPECT_EQ(p.GetSamplesPerBeat(), 0.0);
}

// ---------------------------------------------------------------------------
// Parameters and editor

TEST(Parameters, GuiChangesSetInformThenNotify)
{
  TestPlug p(2, "1-1");
  p.GetParam(1)->InitInt("i", 0, 0, 10);
  p.SetParameterFromGUI(1, 0.55);
  ASSERT_EQ(p.informed.size(), 1u);
  EXPECT_EQ(p.informed[0].idx, 1);
  EXPECT_EQ(p.informed[0].normalized, 0.55) << "the host gets the normalized value as given";
  EXPECT_EQ(p.informed[0].plainAtThatTime, 6.0) << "the parameter must be set before the host is told";
  EXPECT_EQ(p.paramChanges, std::vector<int>{1});

  p.SetParameterFromGUI(2, 0.5);
  p.SetParameterFromGUI(-1, 0.5);
  EXPECT_EQ(p.informed.size(), 1u) << "invalid indices are ignored";
  EXPECT_EQ(p.GetParam(2), nullptr);
}

TEST(Parameters, ResetAndDirtyVisitEveryParameterInOrder)
{
  TestPlug p(3, "1-1");
  p.GetParam(0)->InitDouble("a", 5, 0, 10, 0.1);
  p.GetParam(1)->InitDouble("b", 0, 0, 1, 0.1);
  p.GetParam(2)->InitDouble("c", 2, 0, 8, 0.1, "", "", 2.0);
  p.OnParamReset();
  EXPECT_EQ(p.paramChanges, (std::vector<int>{0, 1, 2}));
  p.DirtyParameters();
  ASSERT_EQ(p.informed.size(), 3u);
  EXPECT_DOUBLE_EQ(p.informed[0].normalized, 0.5);
  EXPECT_DOUBLE_EQ(p.informed[2].normalized, 0.5) << "normalized through the shape";
}

TEST(Editor, AttachingPushesNormalizedValuesThenPrepares)
{
  EditorLog log;
  {
    TestPlug p(2, "1-1");
    p.GetParam(0)->InitDouble("a", 2.5, 0, 10, 0.5);
    p.GetParam(1)->InitInt("b", 3, 0, 4);
    p.RedrawParamControls(); // no editor: nothing happens
    p.AttachGraphics(nullptr);
    EXPECT_EQ(p.GetEditor(), nullptr);

    FakeEditor* ed = new FakeEditor(&log);
    p.AttachGraphics(ed);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"0=0.25n", "1=0.75n", "prep"}));
    EXPECT_EQ(p.GetGUI<FakeEditor>(), ed);

    log.calls.clear();
    p.RedrawParamControls();
    EXPECT_EQ(log.calls, (std::vector<std::string>{"0=2.5p", "1=3p"})) << "redraw passes plain values";
    EXPECT_FALSE(log.deleted);
  }
  EXPECT_TRUE(log.deleted) << "the plug-in owns its editor";

  EditorLog first, second;
  TestPlug q(0, "1-1");
  FakeEditor* firstEditor = new FakeEditor(&first);
  q.AttachGraphics(firstEditor);
  EXPECT_TRUE(q.replacedEditors.empty()) << "nothing replaced by the first editor";
  q.AttachGraphics(new FakeEditor(&second));
  EXPECT_TRUE(first.deleted) << "a replaced editor must not leak";
  EXPECT_FALSE(second.deleted);
  EXPECT_EQ(q.replacedEditors, std::vector<IPlugEditor*>{firstEditor}) << "told while the old editor was in place";
}

// ---------------------------------------------------------------------------
// Identity

TEST(Identity, VersionsAndApiNames)
{
  TestPlug p(0, "1-1", 0, 0x10000);
  EXPECT_EQ(p.GetEffectVersion(true), 10000);
  EXPECT_EQ(p.GetEffectVersion(false), 0x10000);
  char buf[MAX_VERSION_STR_LEN];
  p.GetEffectVersionStr(buf);
  EXPECT_STREQ(buf, "v1.0.0");
  EXPECT_STREQ(p.GetAPIString(), "AU");
  EXPECT_STREQ(p.GetArchString(), "x64");

  const char* names[] = {"VST2", "VST3", "AU", "RTAS", "AAX", "Standalone", "LV2", ""};
  for (int api = 0; api <= 7; ++api)
  {
    TestPlug q(0, "1-1", 0, 0, (EAPI)api);
    EXPECT_STREQ(q.GetAPIString(), names[api]) << api;
  }

  std::string longName(300, 'N');
  class Named : public TestPlug
  {
  public:
    explicit Named(const char* n) : TestPlug(0, "1-1") { CopyTextToField(mEffectName, sizeof(mEffectName), n); }
  } named(longName.c_str());
  EXPECT_EQ(strlen(named.GetEffectName()), 127u);
}

TEST(Identity, HostVersionIdentifiesTheHostFirst)
{
  TestPlug p(0, "1-1");
  EXPECT_EQ(p.GetHost(), kHostUninit);
  p.SetHost("com.apple.logic10", 0x0A0203);
  EXPECT_EQ(p.GetHost(), kHostLogic);
  int before = p.hostQueries;
  EXPECT_EQ(p.GetHostVersion(true), 100203);
  EXPECT_GT(p.hostQueries, before);
  char buf[MAX_VERSION_STR_LEN];
  p.GetHostVersionStr(buf);
  EXPECT_STREQ(buf, "v10.2.3");
  p.SetHost(nullptr, 0);
  EXPECT_EQ(p.GetHost(), kHostUnknown);
}

TEST(Midi, MessagesAreForwardedAndListResultsCombined)
{
  TestPlug p(0, "1-1");
  IMidiMsg m;
  m.MakeNoteOnMsg(60, 100, 0);
  p.ProcessMidiMsg(&m);
  ASSERT_EQ(p.sentMidi.size(), 1u);
  EXPECT_EQ(p.sentMidi[0].NoteNumber(), 60);

  WDL_TypedBuf<IMidiMsg> list;
  list.Add(m);
  list.Add(m);
  EXPECT_TRUE(p.SendMidiMsgs(&list));
  p.midiResult = false;
  EXPECT_FALSE(p.SendMidiMsgs(&list));
  EXPECT_EQ(p.sentMidi.size(), 5u);

  char name[8] = "x";
  EXPECT_FALSE(p.MidiNoteName(60, name));
  EXPECT_STREQ(name, "");
  ISysEx sx;
  EXPECT_FALSE(p.SendSysEx(&sx));
}

// ---------------------------------------------------------------------------
// State

namespace
{
// Three parameters: -12..12 (0.5), 0..4 integer, and 1..5 (step 0.1).
void InitThree(IPlugBase& p)
{
  p.GetParam(0)->InitDouble("a", 0.5, -12, 12, 0.5);
  p.GetParam(1)->InitInt("b", 3, 0, 4);
  p.GetParam(2)->InitDouble("c", 2, 1, 5, 0.1);
}
} // namespace

TEST(State, ParameterBlockIsPlainDoublesInIndexOrder)
{
  TestPlug p(3, "1-1");
  p.GetParam(0)->InitDouble("a", 0.5, -20, 20, 0.5);
  p.GetParam(1)->InitInt("b", 3, 0, 4);
  p.GetParam(2)->InitDouble("c", -12, -20, 20, 0.5);
  ByteChunk c;
  EXPECT_TRUE(p.SerializeState(&c));
  ASSERT_EQ(c.Size(), 24);
  const uint8_t expected[24] = {0, 0, 0, 0, 0, 0, 0xE0, 0x3F,  // 0.5
                                0, 0, 0, 0, 0, 0, 0x08, 0x40,  // 3
                                0, 0, 0, 0, 0, 0, 0x28, 0xC0}; // -12
  EXPECT_EQ(0, memcmp(c.GetBytes(), expected, 24));
  EXPECT_FALSE(p.SerializeParams(nullptr));
}

TEST(State, AFullBlockRestoresEveryParameterAndNotifiesEach)
{
  TestPlug p(11, "1-1");
  for (int i = 0; i < 11; ++i) p.GetParam(i)->InitDouble("x", 0, -100, 100, 0.01);
  ByteChunk c;
  for (int i = 0; i < 11; ++i)
  {
    double v = i * 1.5 - 3;
    c.Put(&v);
  }
  ASSERT_EQ(c.Size(), 88);
  EXPECT_EQ(p.UnserializeState(&c, 0), 88);
  EXPECT_EQ(p.paramChanges.size(), 11u);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(p.GetParam(i)->Value(), i * 1.5 - 3);
}

TEST(State, RestoredValuesAreClampedAndAShortBlockStopsAtTheGap)
{
  TestPlug p(3, "1-1");
  InitThree(p);
  ByteChunk c;
  double vals[] = {-7.0, 7.0};
  c.Put(&vals[0]);
  c.Put(&vals[1]);
  c.PutBytes("\x01\x02\x03\x04", 4); // 20 bytes: the third value is cut
  p.GetParam(2)->Set(4.0);
  EXPECT_EQ(p.UnserializeParams(&c, 0), -1);
  EXPECT_EQ(p.GetParam(0)->Value(), -7.0);
  EXPECT_EQ(p.GetParam(1)->Value(), 4.0) << "7 must be clamped into 0..4";
  EXPECT_EQ(p.GetParam(2)->Value(), 1.0) << "the missing value is 0 clamped into 1..5";
  EXPECT_EQ(p.paramChanges.size(), 3u) << "every parameter is notified even after a short read";

  ByteChunk bad;
  double nan = std::nan("");
  bad.Put(&nan);
  p.UnserializeParams(&bad, 0);
  EXPECT_EQ(p.GetParam(0)->Value(), -12.0) << "a NaN in a corrupt state must not reach the parameter";
  EXPECT_EQ(p.UnserializeParams(nullptr, 0), -1);
}

TEST(State, CompareStateToleratesSinglePrecisionNoise)
{
  TestPlug p(2, "1-1");
  p.GetParam(0)->InitDouble("a", 0.1, 0, 1, 0.000001);
  p.GetParam(1)->InitDouble("b", 0.5, 0, 1, 0.000001);
  double same[] = {99.0, 0.100001, 0.5};
  double differs[] = {99.0, 0.1001, 0.5};
  EXPECT_TRUE(p.CompareState(reinterpret_cast<const unsigned char*>(same), 1)) << "start counted in doubles";
  EXPECT_FALSE(p.CompareState(reinterpret_cast<const unsigned char*>(same), 0));
  EXPECT_FALSE(p.CompareState(reinterpret_cast<const unsigned char*>(differs), 1));
  EXPECT_FALSE(p.CompareState(nullptr, 0));

  TestPlug none(0, "1-1");
  EXPECT_TRUE(none.CompareState(reinterpret_cast<const unsigned char*>(same), 0));
}

TEST(State, VersionHeaderIsWrittenAndFoundOnlyWhenComplete)
{
  ByteChunk c;
  c.PutStr("junk");
  IPlugBase::InitChunkWithIPlugVer(&c);
  const uint8_t expected[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  ASSERT_EQ(c.Size(), 8);
  EXPECT_EQ(0, memcmp(c.GetBytes(), expected, 8));

  int pos = 0;
  EXPECT_EQ(IPlugBase::GetIPlugVerFromChunk(&c, &pos), 0x10000);
  EXPECT_EQ(pos, 8);

  ByteChunk other;
  other.PutStr("abcd");
  pos = 0;
  EXPECT_EQ(IPlugBase::GetIPlugVerFromChunk(&other, &pos), 0);
  EXPECT_EQ(pos, 0) << "a chunk without the header keeps its position";

  ByteChunk cut;
  cut.PutBytes(expected, 6);
  pos = 0;
  EXPECT_EQ(IPlugBase::GetIPlugVerFromChunk(&cut, &pos), 0);
  EXPECT_EQ(pos, -1) << "magic without a version is a broken header";

  pos = 0;
  ByteChunk empty;
  EXPECT_EQ(IPlugBase::GetIPlugVerFromChunk(&empty, &pos), 0);
  EXPECT_EQ(pos, 0);
}

// ---------------------------------------------------------------------------
// Presets

TEST(Presets, MakePresetReadsArgumentsByParameterType)
{
  TestPlug p(3, "1-1", 5);
  p.GetParam(0)->InitDouble("a", 0, -10, 10, 0.1);
  p.GetParam(1)->InitInt("b", 0, 0, 10);
  p.GetParam(2)->InitBool("c", false);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(p.MakePreset("p", 0.25 * i, i, i % 2));
  EXPECT_FALSE(p.MakePreset("sixth", 9.0, 9, 1)) << "a sixth preset must not fit";
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(p.GetPresetName(i), "p");

  ASSERT_TRUE(p.RestorePreset(3));
  EXPECT_EQ(p.GetParam(0)->Value(), 0.75);
  EXPECT_EQ(p.GetParam(1)->Value(), 3.0);
  EXPECT_EQ(p.GetParam(2)->Value(), 1.0);
  EXPECT_EQ(p.GetCurrentPresetIdx(), 3);
  EXPECT_EQ(p.presetsChanged, 1);
}

TEST(Presets, NamedParamsFillTheRestWithCurrentValues)
{
  TestPlug p(3, "1-1", 1);
  p.GetParam(0)->InitDouble("a", 0.7, 0, 1, 0.1);
  p.GetParam(1)->InitInt("b", 2, 0, 4);
  p.GetParam(2)->InitDouble("c", 0.9, 0, 1, 0.01);
  EXPECT_TRUE(p.MakePresetFromNamedParams("p", 1, 2, 0.25));
  ByteChunk state;
  p.SerializeState(&state);
  EXPECT_EQ(ChunkDoubles(state), (std::vector<double>{0.7, 2, 0.9})) << "making a preset must not change parameters";

  ASSERT_TRUE(p.RestorePreset(0));
  EXPECT_EQ(p.GetParam(0)->Value(), 0.7);
  EXPECT_EQ(p.GetParam(1)->Value(), 2.0);
  EXPECT_EQ(p.GetParam(2)->Value(), 0.25);

  TestPlug q(2, "1-1", 1);
  q.GetParam(0)->InitInt("a", 1, 0, 4);
  q.GetParam(1)->InitDouble("b", 0.5, 0, 1, 0.1);
  EXPECT_TRUE(q.MakePresetFromNamedParams("q", 2, 0, 3, 7, 1.0)); // index 7 does not exist
  q.RestorePreset(0);
  EXPECT_EQ(q.GetParam(0)->Value(), 3.0);
  EXPECT_EQ(q.GetParam(1)->Value(), 0.5) << "pairs after an unknown index are ignored";
}

TEST(Presets, RestoringAnUnfilledSlotCapturesTheStateUnderAUserName)
{
  TestPlug p(1, "1-1", 4);
  p.GetParam(0)->InitDouble("a", 0.3, 0, 1, 0.1);
  p.MakePreset("factory", 0.9);
  EXPECT_STREQ(p.GetPresetName(1), "empty");

  EXPECT_TRUE(p.RestorePreset(2));
  EXPECT_STREQ(p.GetPresetName(2), "user preset 1");
  EXPECT_EQ(p.GetParam(0)->Value(), 0.3) << "an unfilled slot must not change the parameters";
  EXPECT_EQ(p.GetCurrentPresetIdx(), 2);
  EXPECT_TRUE(p.RestorePreset(1));
  EXPECT_STREQ(p.GetPresetName(1), "user preset 2");

  p.GetParam(0)->Set(0.6);
  EXPECT_TRUE(p.RestorePreset(2));
  EXPECT_EQ(p.GetParam(0)->Value(), 0.3) << "the captured state comes back";

  EXPECT_FALSE(p.RestorePreset(-1));
  EXPECT_FALSE(p.RestorePreset(4));
  EXPECT_FALSE(p.RestorePreset(""));
  EXPECT_FALSE(p.RestorePreset((const char*)nullptr));
  EXPECT_FALSE(p.RestorePreset("no such preset"));
  EXPECT_TRUE(p.RestorePreset("factory"));
  EXPECT_EQ(p.GetParam(0)->Value(), 0.9);
  EXPECT_EQ(p.GetCurrentPresetIdx(), 0);
  EXPECT_STREQ(p.GetPresetName(9), "");
}

TEST(Presets, RestoringRedrawsTheEditorWithPlainValues)
{
  EditorLog log;
  TestPlug p(1, "1-1", 1);
  p.GetParam(0)->InitDouble("a", 0, 0, 10, 0.5);
  p.MakePreset("x", 7.5);
  p.AttachGraphics(new FakeEditor(&log));
  log.calls.clear();
  p.RestorePreset(0);
  EXPECT_EQ(log.calls, std::vector<std::string>{"0=7.5p"});
}

TEST(Presets, PruningDropsUnfilledSlotsAndKeepsOrder)
{
  TestPlug p(1, "1-1", 5);
  p.GetParam(0)->InitDouble("a", 0, 0, 10, 1);
  // reload slots 1 and 3 as unfilled through a bank
  ByteChunk bank;
  for (int i = 0; i < 5; ++i)
  {
    const std::string name = "p" + std::to_string(i);
    p.MakePreset(name.c_str(), double(i));
    PutBankSlot(bank, name.c_str(), i != 1 && i != 3, i);
  }
  ASSERT_EQ(p.UnserializePresets(&bank, 0), bank.Size());
  p.PruneUninitializedPresets();
  ASSERT_EQ(p.NPresets(), 3);
  EXPECT_STREQ(p.GetPresetName(0), "p0");
  EXPECT_STREQ(p.GetPresetName(1), "p2");
  EXPECT_STREQ(p.GetPresetName(2), "p4");
  EXPECT_TRUE(p.RestorePreset(1));
  EXPECT_EQ(p.GetParam(0)->Value(), 2.0);

  EXPECT_TRUE(p.MakePreset("none left", 1.0) == false);
}

TEST(Presets, SlotsABankLeftUnfilledHoldOnlyTheirNewStateWhenFilledAgain)
{
  // Slot 0 comes with flag byte 2 (any non-zero byte means filled); slots 1
  // and 2 come unfilled but still hold the bytes of their earlier presets.
  TestPlug p(1, "1-1", 3);
  p.GetParam(0)->InitDouble("a", 0, 0, 10, 1);
  p.MakePreset("p0", 1.0);
  p.MakePreset("p1", 2.0);
  p.MakePreset("p2", 3.0);
  ByteChunk bank;
  for (uint8_t flag : {2, 0, 0}) PutBankSlot(bank, "slot", flag, 5.0);
  ASSERT_EQ(p.UnserializePresets(&bank, 0), bank.Size());
  EXPECT_EQ(p.GetParam(0)->Value(), 5.0) << "flag byte 2 reads as filled";

  p.GetParam(0)->Set(6.0);
  ASSERT_TRUE(p.RestorePreset(1)); // captures the current state
  ASSERT_TRUE(p.MakePreset("again", 7.0));
  ByteChunk out;
  ASSERT_TRUE(p.SerializePresets(&out));
  // Three slots, each a 4-byte length, its name, a flag and one double: no
  // old bytes left in front of the new states.
  EXPECT_EQ(out.Size(), (4 + 4 + 1 + 8) + (4 + 13 + 1 + 8) + (4 + 5 + 1 + 8));
  ASSERT_TRUE(p.RestorePreset(1));
  EXPECT_EQ(p.GetParam(0)->Value(), 6.0);
  ASSERT_TRUE(p.RestorePreset(2));
  EXPECT_EQ(p.GetParam(0)->Value(), 7.0);
}

TEST(Presets, DefaultPresetsHoldTheCurrentState)
{
  TestPlug p(1, "1-1", 4);
  p.GetParam(0)->InitDouble("a", 0.4, 0, 1, 0.1);
  p.MakeDefaultPreset(nullptr, 2);
  EXPECT_STREQ(p.GetPresetName(0), "Empty");
  EXPECT_STREQ(p.GetPresetName(1), "Empty");
  EXPECT_STREQ(p.GetPresetName(2), "empty");
  p.GetParam(0)->Set(0.8);
  p.EnsureDefaultPreset();
  EXPECT_STREQ(p.GetPresetName(3), "Empty");
  p.RestorePreset(0);
  EXPECT_EQ(p.GetParam(0)->Value(), 0.4);
  p.RestorePreset(3);
  EXPECT_EQ(p.GetParam(0)->Value(), 0.8);

  p.GetParam(0)->Set(0.1);
  p.ModifyCurrentPreset("mine");
  EXPECT_STREQ(p.GetPresetName(3), "mine");
  p.GetParam(0)->Set(0.9);
  p.ModifyCurrentPreset("");
  EXPECT_STREQ(p.GetPresetName(3), "mine") << "an empty name keeps the old one";
  p.GetParam(0)->Set(0.0);
  p.RestorePreset(3);
  EXPECT_EQ(p.GetParam(0)->Value(), 0.9);
}

TEST(Presets, BankRoundTripsNamesFlagsAndStates)
{
  TestPlug a(3, "1-1", 4);
  InitThree(a);
  a.MakePreset("first", 1.5, 2, 3.0);
  a.MakePreset("second", -2.0, 4, 4.5);
  a.MakePreset("third", 0.0, 0, 1.0);
  ByteChunk bank;
  ASSERT_TRUE(a.SerializePresets(&bank));
  // 3 x (4 + 5/6/5 name + 1 flag + 24 state) + (4 + 5 "empty" + 1)
  EXPECT_EQ(bank.Size(), (4 + 5 + 1 + 24) + (4 + 6 + 1 + 24) + (4 + 5 + 1 + 24) + (4 + 5 + 1));

  TestPlug b(3, "1-1", 4);
  InitThree(b);
  b.RestorePreset(1); // current preset 1, so the bank load ends with its state in force
  ASSERT_EQ(b.UnserializePresets(&bank, 0), bank.Size());
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(b.GetPresetName(i), a.GetPresetName(i)) << i;
  EXPECT_EQ(b.GetParam(0)->Value(), -2.0);
  EXPECT_EQ(b.GetParam(1)->Value(), 4.0);
  EXPECT_EQ(b.GetParam(2)->Value(), 4.5);

  ByteChunk again;
  ASSERT_TRUE(b.SerializePresets(&again));
  EXPECT_TRUE(again.IsEqual(bank)) << "a loaded bank must serialize to the same bytes";
}

TEST(Presets, ACutBankStopsAndKeepsWhatItRead)
{
  TestPlug a(3, "1-1", 2);
  InitThree(a);
  a.MakePreset("first", 1.5, 2, 3.0);
  a.MakePreset("second", -2.0, 4, 4.5);
  ByteChunk bank;
  a.SerializePresets(&bank);
  for (int cut = 0; cut < bank.Size(); ++cut)
  {
    ByteChunk part;
    part.PutBytes(bank.GetBytes(), cut);
    TestPlug b(3, "1-1", 2);
    InitThree(b);
    EXPECT_EQ(b.UnserializePresets(&part, 0), -1) << "a bank cut at " << cut << " bytes was read as complete";
  }
}

TEST(Presets, LongBankNamesAreCutToTheNameField)
{
  ByteChunk bank;
  std::string longName(400, 'L');
  PutBankSlot(bank, longName.c_str(), 1, 0.5);
  TestPlug p(1, "1-1", 1);
  p.GetParam(0)->InitDouble("a", 0, 0, 1, 0.1);
  EXPECT_EQ(p.UnserializePresets(&bank, 0), bank.Size());
  EXPECT_EQ(std::string(p.GetPresetName(0)), longName.substr(0, 255));
  EXPECT_EQ(p.GetParam(0)->Value(), 0.5);
}

TEST(Presets, BlobDecodesIntoExactlyTheRequestedSize)
{
  TestPlug p(1, "1-1", 3);
  p.GetParam(0)->InitDouble("a", 0, -10, 10, 0.1);
  ASSERT_TRUE(p.MakePresetFromBlob("zeros", "AAAA", 5));
  ASSERT_TRUE(p.MakePresetFromBlob("one", "AAAAAAAA8D8=", 8)); // 1.0 as a little-endian double
  EXPECT_FALSE(p.MakePresetFromBlob("bad", nullptr, 8));
  EXPECT_FALSE(p.MakePresetFromBlob("bad", "AAAA", -1));
  ASSERT_TRUE(p.RestorePreset("one"));
  EXPECT_EQ(p.GetParam(0)->Value(), 1.0);
  EXPECT_FALSE(p.RestorePreset("zeros")) << "five zero bytes hold no complete double";
  EXPECT_EQ(p.GetParam(0)->Value(), 0.0) << "the first missing value becomes 0 clamped into range";
  EXPECT_EQ(p.GetCurrentPresetIdx(), 1) << "a failed restore keeps the current preset";
}

TEST(Presets, DumpedBlobIsAcceptedUnchanged)
{
  TestPlug p(3, "1-1", 1);
  InitThree(p);
  p.MakePreset("src", -3.5, 1, 2.2);
  std::string path = TempPath("quill_preset_blob.txt");
  ASSERT_TRUE(p.DumpPresetBlob(path.c_str()));
  std::string text = ReadFile(path);
  const std::string head = "MakePresetFromBlob(\"name\", \"";
  ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
  size_t end = text.find('"', head.size());
  ASSERT_NE(end, std::string::npos);
  std::string blob = text.substr(head.size(), end - head.size());
  EXPECT_EQ(text.substr(end), "\", 24);\n");
  EXPECT_EQ(blob.size(), 32u);

  TestPlug q(3, "1-1", 1);
  InitThree(q);
  ASSERT_TRUE(q.MakePresetFromBlob("copy", blob.c_str(), 24));
  ASSERT_TRUE(q.RestorePreset(0));
  EXPECT_EQ(q.GetParam(0)->Value(), -3.5);
  EXPECT_EQ(q.GetParam(1)->Value(), 1.0);
  EXPECT_EQ(q.GetParam(2)->Value(), 2.2);
  std::remove(path.c_str());
}

TEST(Presets, DumpedBlobPadsToAMultipleOfFour)
{
  for (int size : {3, 4})
  {
    TestPlug p(0, "1-1", 1);
    ByteChunk c;
    c.PutBytes("\xFB\xFF\x01\x02", size);
    p.MakePresetFromChunk("c", &c);
    std::string path = TempPath("quill_preset_pad.txt");
    ASSERT_TRUE(p.DumpPresetBlob(path.c_str()));
    std::string text = ReadFile(path);
    size_t start = text.find("\", \"") + 4;
    std::string blob = text.substr(start, text.find('"', start) - start);
    if (size == 3)
      EXPECT_EQ(blob, "+/8B") << "three bytes encode to four characters without padding";
    else
      EXPECT_EQ(blob, "+/8BAg==");
    std::remove(path.c_str());
  }
  TestPlug none(0, "1-1", 0);
  EXPECT_FALSE(none.DumpPresetBlob(TempPath("quill_never.txt").c_str())) << "no current preset to dump";
}

TEST(Presets, SourceDumpWritesOneLinePerParameter)
{
  TestPlug p(4, "1-1", 0);
  p.GetParam(0)->InitDouble("gain", 0.125, 0, 1, 0.001);
  p.GetParam(1)->InitInt("count", 7, 0, 9);
  p.GetParam(2)->InitBool("on", true);
  p.GetParam(3)->InitEnum("mode", 2, 3);
  const char* ids[] = {"kGain", "kCount", "kOn", "kMode"};
  std::string path = TempPath("quill_preset_src.txt");
  ASSERT_TRUE(p.DumpPresetSrcCode(path.c_str(), ids));
  EXPECT_EQ(ReadFile(path),
            "  MakePresetFromNamedParams(\"name\", 4,\n"
            "    kGain, 0.125000,\n"
            "    kCount, 7,\n"
            "    kOn, true,\n"
            "    kMode, 2);\n");
  std::remove(path.c_str());
  EXPECT_FALSE(p.DumpPresetSrcCode("/nonexistent-dir/x.txt", ids));
  EXPECT_FALSE(p.DumpPresetSrcCode(path.c_str(), nullptr));
}

// ---------------------------------------------------------------------------
// Mutex

TEST(Mutex, SerializingNeverSeesAHalfAppliedGuiChange)
{
  // Parameter 1 mirrors parameter 0 from inside OnParamChange. A state taken
  // between the two steps of a GUI change would hold different values; the
  // plug-in mutex held by both paths must rule that out.
  class Mirror : public TestPlug
  {
  public:
    Mirror() : TestPlug(2, "1-1") {}
    void OnParamChange(int idx) override
    {
      IMutexLock lock(this);
      std::this_thread::yield(); // widen the window a missing lock would leave open
      if (idx == 0) GetParam(1)->Set(GetParam(0)->Value());
    }
    void InformHostOfParamChange(int, double) override {}
  } p;
  p.GetParam(0)->InitDouble("a", 0, 0, 1, 0.001);
  p.GetParam(1)->InitDouble("b", 0, 0, 1, 0.001);

  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop; ++i) p.SetParameterFromGUI(0, (i % 1000) / 1000.0);
  });
  int torn = 0;
  for (int i = 0; i < 20000; ++i)
  {
    ByteChunk c;
    p.SerializeParams(&c);
    std::vector<double> v = ChunkDoubles(c);
    if (v[0] != v[1]) ++torn;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(torn, 0) << "states captured in the middle of a parameter change";
}
