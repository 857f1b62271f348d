// The render path, buses and connections, and the host's transport,
// driven through the registry.
#include "AUTestHost.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "tests/support/CountingAllocator.h"

using namespace tremolo_config;

namespace
{

// Components that forward to the tremolo's entry and count render selectors;
// the second one also hides its fast-dispatch procedures, as a unit without
// them would.
int gRenderSelects = 0;

ComponentResult CountingEntry(ComponentParameters* params, Handle storage)
{
  if (params->what == kAudioUnitRenderSelect) ++gRenderSelects;
  return QuillbarTremolo_Entry(params, storage);
}

ComponentResult NoFastDispatchEntry(ComponentParameters* params, Handle storage)
{
  if (params->what == kAudioUnitGetPropertySelect || params->what == kAudioUnitGetPropertyInfoSelect)
  {
    AudioUnitPropertyID id;
    memcpy(&id, &params->params[1], sizeof(id));
    if (id == kAudioUnitProperty_FastDispatch) return kAudioUnitErr_InvalidProperty;
  }
  return CountingEntry(params, storage);
}

Component RegisterWrapped(ComponentRoutineProcPtr entry, const char* name)
{
  ComponentDescription cd = TremoloDescription();
  return QuillRegisterComponent(&cd, entry, name);
}

Component CountingComponent()
{
  static Component c = RegisterWrapped(&CountingEntry, "counting tremolo");
  return c;
}

Component NoFastDispatchComponent()
{
  static Component c = RegisterWrapped(&NoFastDispatchEntry, "tremolo without fast dispatch");
  return c;
}

// A failing input.
OSStatus FailingSource(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
  return -12345;
}

// Render notifications: flags seen, in order.
std::vector<AudioUnitRenderActionFlags> gNotified;
OSStatus Notify(void*, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
  gNotified.push_back(*flags);
  return noErr;
}

} // namespace

class AURenderTest : public AUHostTest
{
protected:
  SignalSource source;

  // Stereo in and out, the test signal as input, initialized.
  void Prepare() { PrepareUnit(&source); }
  // Depth 0 at volume 1: the tremolo passes its input unchanged.
  void Transparent(AudioUnit u = nullptr) { ASSERT_EQ(SetParam(kDepth, 0.0f, u), noErr); }

  static void ExpectIsTestSignal(BufferList& out, double from, UInt32 frames, int nChannels = 2)
  {
    for (int c = 0; c < nChannels; ++c)
      for (UInt32 i = 0; i < frames; ++i)
        ASSERT_NEAR(out.channel(c)[i], TestSignal(c, from + i), 1e-6) << "channel " << c << " frame " << i;
  }
  static void ExpectSilence(BufferList& out, int frames)
  {
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < frames; ++i) ASSERT_EQ(out.channel(c)[i], 0.0f) << "channel " << c << " frame " << i;
  }
  AudioUnitRenderProc FastRenderProc(AudioUnit u)
  {
    AudioUnitRenderProc proc = nullptr;
    EXPECT_EQ(GetProp(kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, kAudioUnitRenderSelect, proc, u),
              noErr);
    EXPECT_NE(proc, nullptr);
    return proc;
  }
  // Opens an upstream unit of the given component fed by `source`, both
  // transparent, and connects the fixture's unit to it through `scope`;
  // the fixture's unit is initialized with its input type checked.
  AudioUnit ConnectUpstream(Component component, AudioUnitScope scope, EAUInputType expected)
  {
    AudioUnit upstream = OpenPrepared(&source, component);
    Transparent(upstream);
    Transparent();
    EXPECT_EQ(Connect(upstream, unit, scope), noErr);
    EXPECT_EQ(Plug()->GetInputType(0), expected);
    EXPECT_EQ(SetStereo(kAudioUnitScope_Output), noErr);
    EXPECT_EQ(AudioUnitInitialize(unit), noErr);
    return upstream;
  }
};

// ---- formats and initialization ------------------------------------------------------

TEST_F(AURenderTest, StereoIsAcceptedAndThreeChannelsRefusedChangingNothing)
{
  EXPECT_EQ(SetStereo(kAudioUnitScope_Input, 2), noErr);
  AudioStreamBasicDescription asbd;
  ASSERT_EQ(GetProp(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, asbd), noErr);
  EXPECT_EQ(asbd.mChannelsPerFrame, 2u);
  EXPECT_EQ(asbd.mFormatID, static_cast<UInt32>(kAudioFormatLinearPCM));
  EXPECT_EQ(asbd.mFormatFlags, 0x29u);
  EXPECT_EQ(asbd.mBytesPerFrame, 4u);

  EXPECT_EQ(SetStereo(kAudioUnitScope_Input, 3), kAudioUnitErr_FormatNotSupported);
  ASSERT_EQ(GetProp(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, asbd), noErr);
  EXPECT_EQ(asbd.mChannelsPerFrame, 2u) << "a probe with a refused count keeps the format";
  ASSERT_EQ(SetStereo(kAudioUnitScope_Output, 2), noErr);
  EXPECT_EQ(AudioUnitInitialize(unit), noErr);
}

TEST_F(AURenderTest, FormatsTheRenderPathDoesNotProcessAreRefused)
{
  // Every accepted format is rendered as one buffer of native 32-bit floats
  // per channel; anything else must be refused, not misread.
  struct Case
  {
    const char* what;
    void (*change)(AudioStreamBasicDescription&);
  };
  const Case cases[] = {
    {"neither float nor packed", [](AudioStreamBasicDescription& a) { a.mFormatFlags = kAudioFormatFlagIsNonInterleaved; }},
    {"not linear PCM", [](AudioStreamBasicDescription& a) { a.mFormatID = QUILL_FOUR_CC('a', 'a', 'c', ' '); }},
    {"interleaved", [](AudioStreamBasicDescription& a) { MakeDefaultASBD(&a, 44100.0, 2, true); }},
    {"16-bit integer",
     [](AudioStreamBasicDescription& a) {
       a.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
       a.mBitsPerChannel = 16;
       a.mBytesPerFrame = a.mBytesPerPacket = 2;
     }},
    {"64-bit float",
     [](AudioStreamBasicDescription& a) {
       a.mBitsPerChannel = 64;
       a.mBytesPerFrame = a.mBytesPerPacket = 8;
     }},
    {"big-endian", [](AudioStreamBasicDescription& a) { a.mFormatFlags |= kAudioFormatFlagIsBigEndian; }},
  };
  for (const Case& c : cases)
  {
    AudioStreamBasicDescription asbd;
    MakeDefaultASBD(&asbd, 48000.0, 2, false);
    c.change(asbd);
    EXPECT_EQ(SetProp(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, asbd),
              kAudioUnitErr_FormatNotSupported) << c.what;
    EXPECT_EQ(Plug()->GetOutputBus(0)->mNHostChannels, -1) << c.what;
    EXPECT_EQ(Plug()->GetSampleRate(), 44100.0) << c.what;
  }
  AudioStreamBasicDescription asbd;
  MakeDefaultASBD(&asbd, 48000.0, 2, false);
  EXPECT_EQ(SetProp(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 1, asbd), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(SetProp(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Group, 0, asbd), kAudioUnitErr_InvalidScope);
  EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &asbd, 20),
            kAudio_ParamError);
  ASSERT_EQ(SetProp(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, asbd), noErr);
  EXPECT_EQ(Plug()->GetSampleRate(), 48000.0) << "an accepted format brings its rate";
}

TEST_F(AURenderTest, InitializeChecksTheLayout)
{
  ASSERT_EQ(SetStereo(kAudioUnitScope_Input, 1), noErr);
  ASSERT_EQ(SetStereo(kAudioUnitScope_Output, 2), noErr);
  EXPECT_EQ(AudioUnitInitialize(unit), kAudioUnitErr_FormatNotSupported) << "1 in, 2 out is no declared layout";
  EXPECT_FALSE(Plug()->IsActive());

  ASSERT_EQ(SetStereo(kAudioUnitScope_Input, 2), noErr);
  EXPECT_EQ(AudioUnitInitialize(unit), noErr);
  EXPECT_TRUE(Plug()->IsActive());
  // Once active, the other side's count is checked too.
  EXPECT_EQ(SetStereo(kAudioUnitScope_Input, 1), kAudioUnitErr_FormatNotSupported);
  EXPECT_EQ(AudioUnitUninitialize(unit), noErr);
  EXPECT_FALSE(Plug()->IsActive());
}

// ---- rendering -----------------------------------------------------------------------------

TEST_F(AURenderTest, RenderCallbackFeedsTheProcessing)
{
  Prepare();
  Transparent();
  BufferList out(2, 512);
  ASSERT_EQ(Render(out, 0, 512), noErr);
  EXPECT_EQ(source.calls, 1);
  EXPECT_EQ(source.lastBus, 0u);
  ExpectIsTestSignal(out, 0, 512);
}

TEST_F(AURenderTest, OutputMatchesThePlugInProcessingTheSameInputDirectly)
{
  Prepare();
  ASSERT_EQ(SetParam(kDepth, 0.8f), noErr);
  ASSERT_EQ(SetParam(kFrequency, 11.0f), noErr);

  std::unique_ptr<IPlugAU> reference(MakePlug());
  ASSERT_NE(reference, nullptr);
  reference->GetParam(kDepth)->Set(0.8f);
  reference->GetParam(kFrequency)->Set(11.0f);
  reference->SetSampleRate(44100.0);
  reference->Reset();
  reference->OnParamReset();

  const UInt32 n = 300;
  for (int block = 0; block < 4; ++block)
  {
    const double t = block * n;
    BufferList out(2, n);
    ASSERT_EQ(Render(out, t, n), noErr);
    std::vector<double> in[2], ref[2];
    double* ip[2];
    double* op[2];
    for (int c = 0; c < 2; ++c)
    {
      in[c].resize(n);
      ref[c].resize(n);
      for (UInt32 i = 0; i < n; ++i) in[c][i] = TestSignal(c, t + i);
      ip[c] = in[c].data();
      op[c] = ref[c].data();
    }
    reference->ProcessDoubleReplacing(ip, op, static_cast<int>(n));
    for (int c = 0; c < 2; ++c)
      for (UInt32 i = 0; i < n; ++i) ASSERT_NEAR(out.channel(c)[i], ref[c][i], 1e-6) << "block " << block;
  }
}

TEST_F(AURenderTest, TwoRendersWithOneTimeStampPullTheInputOnce)
{
  Prepare();
  BufferList out(2, 256);
  ASSERT_EQ(Render(out, 1000, 256), noErr);
  ASSERT_EQ(Render(out, 1000, 256), noErr);
  EXPECT_EQ(source.calls, 1);
  ASSERT_EQ(Render(out, 1256, 256), noErr);
  EXPECT_EQ(source.calls, 2);
}

TEST_F(AURenderTest, BypassCopiesInputToOutput)
{
  Prepare();
  ASSERT_EQ(SetParam(kDepth, 1.0f), noErr);
  ASSERT_EQ(SetBypass(true), noErr);
  UInt32 b = 0;
  ASSERT_EQ(GetProp(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, b), noErr);
  EXPECT_EQ(b, 1u);
  BufferList out(2, 400);
  ASSERT_EQ(Render(out, 0, 400), noErr);
  ExpectIsTestSignal(out, 0, 400);
}

TEST_F(AURenderTest, NullOutputBuffersReceiveTheAdaptersOwnMemory)
{
  Prepare();
  Transparent();
  BufferList out(2, 128, false);
  ASSERT_EQ(Render(out, 0, 128), noErr);
  ASSERT_NE(out.list()->mBuffers[0].mData, nullptr);
  ASSERT_NE(out.list()->mBuffers[1].mData, nullptr);
  EXPECT_NE(out.list()->mBuffers[0].mData, out.list()->mBuffers[1].mData);
  ExpectIsTestSignal(out, 0, 128);
}

TEST_F(AURenderTest, AnUnconnectedInputRendersSilence)
{
  ASSERT_EQ(SetStereo(kAudioUnitScope_Input, 2), noErr);
  ASSERT_EQ(SetStereo(kAudioUnitScope_Output, 2), noErr);
  ASSERT_EQ(AudioUnitInitialize(unit), noErr);
  BufferList out(2, 64);
  ASSERT_EQ(Render(out, 0, 64), noErr);
  ExpectSilence(out, 64);
}

TEST_F(AURenderTest, AnInputThatGoesAwayReadsSilenceNotItsLastBlock)
{
  // Bypassed, the output is the input exactly: an old block replayed would
  // show as anything but silence.
  for (bool byConnection : {false, true})
  {
    SCOPED_TRACE(byConnection ? "connection removed" : "render callback removed");
    SignalSource src;
    AudioUnit u = OpenPrepared(&src);
    ASSERT_EQ(SetBypass(true, u), noErr);
    BufferList first(2, 256);
    ASSERT_EQ(Render(first, 0, 256, u), noErr);
    const AURenderCallbackStruct none = {nullptr, nullptr};
    ASSERT_EQ(byConnection ? Connect(nullptr, u)
                           : SetProp(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, none, u),
              noErr);
    BufferList later(2, 256);
    ASSERT_EQ(Render(later, 256, 256, u), noErr);
    ExpectSilence(later, 256);
    EXPECT_EQ(CloseComponent(u), noErr);
  }

  // A format refused while initialized leaves the input as it was: still
  // live, still pulled.
  Prepare();
  ASSERT_EQ(SetBypass(true), noErr);
  BufferList first(2, 256);
  ASSERT_EQ(Render(first, 0, 256), noErr);
  ASSERT_EQ(SetStereo(kAudioUnitScope_Input, 1), kAudioUnitErr_FormatNotSupported);
  BufferList later(2, 256);
  ASSERT_EQ(Render(later, 256, 256), noErr);
  ExpectIsTestSignal(later, 256, 256);
}

TEST_F(AURenderTest, EveryWayOfSettingTheRateReachesTheLfoBeforeTheNextRender)
{
  struct Case
  {
    const char* what;
    AudioUnitPropertyID id;
    AudioUnitScope scope;
  };
  const Case cases[] = {
    {"sample-rate property", kAudioUnitProperty_SampleRate, kAudioUnitScope_Global},
    {"input stream format", kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input},
    {"output stream format", kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output},
  };
  for (const Case& c : cases)
  {
    SignalSource src;
    AudioUnit u = OpenPrepared(&src);
    AudioStreamBasicDescription asbd;
    MakeDefaultASBD(&asbd, 96000.0, 2, false);
    ASSERT_EQ(c.id == kAudioUnitProperty_SampleRate ? SetProp(c.id, c.scope, 0, asbd.mSampleRate, u)
                                                    : SetProp(c.id, c.scope, 0, asbd, u),
              noErr) << c.what;
    BufferList out(2, 64);
    ASSERT_EQ(Render(out, 0, 64, u), noErr);
    const QuillbarTremolo* tremolo = static_cast<const QuillbarTremolo*>(
      reinterpret_cast<IPlugAU*>(GetComponentInstanceStorage(u)));
    // At 44.1 kHz bookkeeping a 96 kHz stream would modulate at 2.18 times the rate.
    EXPECT_EQ(tremolo->GetRenderLFO().getSampleRate(), 96000.0) << c.what;
    EXPECT_EQ(tremolo->GetControlLFO().getSampleRate(), 96000.0) << c.what;
    EXPECT_EQ(CloseComponent(u), noErr);
  }
}

TEST_F(AURenderTest, SampleRatesTheTimingCannotUseAreRefusedAndTheAudioStaysFinite)
{
  Prepare();
  AudioStreamBasicDescription asbd;
  for (Float64 sr : {0.0, -44100.0, std::nan(""), HUGE_VAL, 4.5e-317, 0.001, 1e300})
  {
    EXPECT_EQ(SetProp(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, sr), kAudioUnitErr_InvalidPropertyValue)
        << sr;
    // A stream format carrying such a rate keeps the rate the unit has.
    MakeDefaultASBD(&asbd, sr, 2, false);
    EXPECT_EQ(SetProp(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, asbd), noErr);
  }
  Float64 now = 0.0;
  ASSERT_EQ(GetProp(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, now), noErr);
  EXPECT_EQ(now, 44100.0);
  BufferList out(2, 512);
  ASSERT_EQ(Render(out, 0, 512), noErr);
  for (int c = 0; c < 2; ++c)
    for (UInt32 i = 0; i < 512; ++i) ASSERT_TRUE(std::isfinite(out.channel(c)[i])) << c << " " << i;
}

TEST_F(AURenderTest, ACycleOfConnectionsIsRefusedOrFailsInsteadOfRecursing)
{
  Prepare();
  EXPECT_EQ(Connect(unit), kAudioUnitErr_InvalidPropertyValue);

  // Two units feeding each other: each connection alone is sound, so both
  // are accepted; the render that comes back round to its start fails.
  SignalSource otherSource;
  AudioUnit other = OpenPrepared(&otherSource);
  ASSERT_EQ(Connect(other), noErr);
  ASSERT_EQ(Connect(unit, other), noErr);
  BufferList out(2, 64);
  EXPECT_EQ(Render(out, 0, 64), kAudioUnitErr_CannotDoInCurrentContext);
  // Once the cycle is broken both render again.
  ASSERT_EQ(SetCallback(&otherSource, other), noErr);
  EXPECT_EQ(Render(out, 64, 64), noErr);
  EXPECT_EQ(CloseComponent(other), noErr);
}

TEST_F(AURenderTest, TheFastDispatchRenderProcedureRendersLikeTheSelector)
{
  SignalSource otherSource;
  Prepare();
  AudioUnit other = OpenPrepared(&otherSource);

  const AudioUnitRenderProc renderProc = FastRenderProc(other);
  ASSERT_NE(renderProc, nullptr);
  for (int block = 0; block < 3; ++block)
  {
    BufferList a(2, 512), b(2, 512);
    ASSERT_EQ(Render(a, block * 512, 512), noErr);
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp ts = SampleTime(block * 512);
    ASSERT_EQ(renderProc(GetComponentInstanceStorage(other), &flags, &ts, 0, 512, b.list()), noErr);
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 512; ++i) ASSERT_EQ(a.channel(c)[i], b.channel(c)[i]);
  }
  EXPECT_EQ(CloseComponent(other), noErr);
}

TEST_F(AURenderTest, AnUpstreamUnitWithFastDispatchIsRenderedDirectly)
{
  AudioUnit upstream = ConnectUpstream(CountingComponent(), kAudioUnitScope_Input, eDirectFastProc);
  gRenderSelects = 0;
  BufferList out(2, 256);
  ASSERT_EQ(Render(out, 0, 256), noErr);
  EXPECT_EQ(gRenderSelects, 0) << "the upstream procedure is called without its entry";
  EXPECT_EQ(source.calls, 1);
  ExpectIsTestSignal(out, 0, 256);
  EXPECT_EQ(CloseComponent(upstream), noErr);
}

TEST_F(AURenderTest, AnUpstreamUnitWithoutFastDispatchIsPulledThroughItsEntry)
{
  AudioUnit upstream = ConnectUpstream(NoFastDispatchComponent(), kAudioUnitScope_Global, eDirectNoFastProc);
  gRenderSelects = 0;
  BufferList out(2, 256);
  ASSERT_EQ(Render(out, 0, 256), noErr);
  ASSERT_EQ(Render(out, 256, 256), noErr);
  EXPECT_EQ(gRenderSelects, 2);
  ExpectIsTestSignal(out, 256, 256);

  // Disconnecting: a connection without a source unit.
  ASSERT_EQ(Connect(nullptr), noErr);
  EXPECT_EQ(Plug()->GetInputType(0), eNotConnected);
  EXPECT_EQ(CloseComponent(upstream), noErr);
}

TEST_F(AURenderTest, ConnectionsToUnknownInputsOrScopesAreRefused)
{
  const AudioUnitConnection toInput1 = {nullptr, 0, 1};
  EXPECT_EQ(SetProp(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, toInput1),
            kAudioUnitErr_InvalidElement);
  EXPECT_EQ(Connect(nullptr, unit, kAudioUnitScope_Output), kAudioUnitErr_InvalidScope);
  const AURenderCallbackStruct cb = {&SignalSource::Render, &source};
  EXPECT_EQ(SetProp(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 1, cb), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(SetProp(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Global, 0, cb),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(Plug()->GetInputType(0), eNotConnected);
}

TEST_F(AURenderTest, RenderingAllocatesNothing)
{
  Prepare();
  const AudioUnitRenderProc renderProc = FastRenderProc(unit);
  ASSERT_NE(renderProc, nullptr);
  BufferList out(2, 1024), nullOut(2, 1024, false);
  ASSERT_EQ(Render(out, 0, 1024), noErr); // first block: whatever warms up
  AudioUnitRenderActionFlags flags = 0;
  const long before = gAllocations.load();
  for (int b = 1; b < 20; ++b)
  {
    AudioTimeStamp ts = SampleTime(b * 1024.0);
    ASSERT_EQ(renderProc(Storage(), &flags, &ts, 0, b % 3 ? 1024 : 100, b % 2 ? out.list() : nullOut.list()), noErr);
  }
  EXPECT_EQ(gAllocations.load(), before);
}

TEST_F(AURenderTest, AConnectionToAUnitThatIsNotOpenIsRefusedAndLeavesTheInputUnconnected)
{
  AudioUnit gone = nullptr;
  ASSERT_EQ(OpenAComponent(TremoloComponent(), &gone), noErr);
  ASSERT_EQ(CloseComponent(gone), noErr);
  ASSERT_EQ(SetCallback(&source), noErr);
  EXPECT_EQ(Connect(gone), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(Plug()->GetInputType(0), eNotConnected) << "the old callback was replaced by the failed connection";
}

TEST_F(AURenderTest, BadRendersAreRefused)
{
  Prepare();
  BufferList out(2, 2048);
  EXPECT_EQ(Render(out, 0, 1025), kAudioUnitErr_TooManyFramesToProcess) << "more frames than the block size";

  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp ts = SampleTime(0);
  ts.mFlags = kAudioTimeStampHostTimeValid;
  EXPECT_EQ(AudioUnitRender(unit, &flags, &ts, 0, 64, out.list()), kAudioUnitErr_InvalidPropertyValue);
  ts = SampleTime(0);
  EXPECT_EQ(AudioUnitRender(unit, &flags, &ts, 1, 64, out.list()), kAudioUnitErr_InvalidElement);
  OSStatus lastError = noErr;
  ASSERT_EQ(GetProp(kAudioUnitProperty_LastRenderError, kAudioUnitScope_Global, 0, lastError), noErr);
  EXPECT_EQ(lastError, kAudioUnitErr_InvalidElement) << "the last failed render's error";
  EXPECT_EQ(AudioUnitRender(unit, &flags, nullptr, 0, 64, out.list()), kAudio_ParamError);
  EXPECT_EQ(AudioUnitRender(unit, &flags, &ts, 0, 64, nullptr), kAudio_ParamError);

  BufferList three(3, 64);
  EXPECT_EQ(Render(three, 0, 64), kAudio_ParamError) << "more buffers than the bus has channels";
  for (int c = 0; c < 3; ++c) EXPECT_EQ(three.data[c][0], -99.0f) << "nothing written";

  BufferList shortBuffers(2, 64);
  shortBuffers.list()->mBuffers[1].mDataByteSize = 32 * sizeof(float);
  EXPECT_EQ(Render(shortBuffers, 0, 64), kAudio_ParamError);
  EXPECT_EQ(source.calls, 0) << "refused before pulling";
}

TEST_F(AURenderTest, FewerBuffersThanTheBusRenderOnlyThoseChannels)
{
  Prepare();
  Transparent();
  BufferList one(1, 128);
  ASSERT_EQ(Render(one, 0, 128), noErr);
  ExpectIsTestSignal(one, 0, 128, 1);
  BufferList two(2, 128);
  ASSERT_EQ(Render(two, 128, 128), noErr);
  ExpectIsTestSignal(two, 128, 128);
}

TEST_F(AURenderTest, AnUpstreamErrorIsReturnedUnchanged)
{
  ASSERT_EQ(SetStereo(kAudioUnitScope_Input), noErr);
  const AURenderCallbackStruct cb = {&FailingSource, nullptr};
  ASSERT_EQ(SetProp(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, cb), noErr);
  BufferList out(2, 64);
  EXPECT_EQ(Render(out, 0, 64), -12345);
}

TEST_F(AURenderTest, RenderNotificationsRunBeforeAndAfterEachRender)
{
  Prepare();
  gNotified.clear();
  ASSERT_EQ(AudioUnitAddRenderNotify(unit, &Notify, nullptr), noErr);
  BufferList out(2, 64);
  ASSERT_EQ(Render(out, 0, 64), noErr);
  ASSERT_EQ(gNotified.size(), 2u);
  EXPECT_EQ(gNotified[0], static_cast<AudioUnitRenderActionFlags>(kAudioUnitRenderAction_PreRender));
  EXPECT_EQ(gNotified[1], static_cast<AudioUnitRenderActionFlags>(kAudioUnitRenderAction_PostRender));
  ASSERT_EQ(AudioUnitRemoveRenderNotify(unit, &Notify, nullptr), noErr);
  ASSERT_EQ(Render(out, 64, 64), noErr);
  EXPECT_EQ(gNotified.size(), 2u);
}

// Whether a denormal float reads as zero on this thread right now.
bool DenormalsFlushed()
{
  volatile float tiny = 1e-40f, one = 1.0f;
  return tiny * one == 0.0f;
}

OSStatus RecordFlushing(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                        AudioBufferList*)
{
  *static_cast<bool*>(refCon) = DenormalsFlushed();
  return noErr;
}

TEST_F(AURenderTest, DenormalsAreFlushedDuringARenderAndTheCallersModeComesBack)
{
  Prepare();
  ASSERT_FALSE(DenormalsFlushed());
  bool flushedInside = false;
  ASSERT_EQ(AudioUnitAddRenderNotify(unit, &RecordFlushing, &flushedInside), noErr);
  BufferList out(2, 64);
  ASSERT_EQ(Render(out, 0, 64), noErr);
  EXPECT_TRUE(flushedInside);
  EXPECT_FALSE(DenormalsFlushed());
  ASSERT_EQ(AudioUnitRemoveRenderNotify(unit, &RecordFlushing, &flushedInside), noErr);
}

TEST_F(AURenderTest, NotificationsWithOneProcedureAreToldApartByTheirReference)
{
  Prepare();
  struct Counter
  {
    int calls = 0;
    static OSStatus Proc(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                         AudioBufferList*)
    {
      ++static_cast<Counter*>(refCon)->calls;
      return noErr;
    }
  } a, b;
  ASSERT_EQ(AudioUnitAddRenderNotify(unit, &Counter::Proc, &a), noErr);
  ASSERT_EQ(AudioUnitAddRenderNotify(unit, &Counter::Proc, &b), noErr);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(unit, &Counter::Proc, &b), noErr);
  BufferList out(2, 64);
  ASSERT_EQ(Render(out, 0, 64), noErr);
  EXPECT_EQ(a.calls, 2) << "before and after";
  EXPECT_EQ(b.calls, 0) << "removed: its reference may already be freed";
}

namespace
{
int gSelfRemovingCalls = 0;
// Takes itself off the unit (its refCon) the first time it is called.
OSStatus RemoveSelf(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                    AudioBufferList*)
{
  ++gSelfRemovingCalls;
  return AudioUnitRemoveRenderNotify(static_cast<AudioUnit>(refCon), &RemoveSelf, refCon);
}
} // namespace

TEST_F(AURenderTest, ANotificationThatRemovesItselfDuringARenderLeavesTheOthersWorking)
{
  Prepare();
  gNotified.clear();
  gSelfRemovingCalls = 0;
  ASSERT_EQ(AudioUnitAddRenderNotify(unit, &RemoveSelf, unit), noErr);
  ASSERT_EQ(AudioUnitAddRenderNotify(unit, &Notify, nullptr), noErr);
  BufferList out(2, 64);
  ASSERT_EQ(Render(out, 0, 64), noErr);
  EXPECT_EQ(gSelfRemovingCalls, 1);
  ASSERT_FALSE(gNotified.empty());
  EXPECT_EQ(gNotified.back(), static_cast<AudioUnitRenderActionFlags>(kAudioUnitRenderAction_PostRender));

  gNotified.clear();
  ASSERT_EQ(Render(out, 64, 64), noErr);
  EXPECT_EQ(gSelfRemovingCalls, 1);
  ASSERT_EQ(gNotified.size(), 2u);
  EXPECT_EQ(gNotified[0], static_cast<AudioUnitRenderActionFlags>(kAudioUnitRenderAction_PreRender));
  EXPECT_EQ(gNotified[1], static_cast<AudioUnitRenderActionFlags>(kAudioUnitRenderAction_PostRender));
  ASSERT_EQ(AudioUnitRemoveRenderNotify(unit, &Notify, nullptr), noErr);
}

// ---- the host's transport ------------------------------------------------------------------

namespace
{
// A host transport: playing from a sample position at a fixed tempo in 4/4.
struct Transport
{
  double tempo = 120.0;
  double sampleRate = 44100.0;
  double samplePos = 0.0;
  bool playing = true;
  double cycleStart = 0.0, cycleEnd = 8.0;

  double Beat() const { return samplePos / (sampleRate * 60.0 / tempo); }

  static OSStatus BeatAndTempo(void* user, Float64* beat, Float64* tempo)
  {
    const Transport* t = static_cast<const Transport*>(user);
    if (beat) *beat = t->Beat();
    if (tempo) *tempo = t->tempo;
    return noErr;
  }
  static OSStatus MusicalTime(void* user, UInt32* toNextBeat, Float32* num, UInt32* denom, Float64* downBeat)
  {
    const Transport* t = static_cast<const Transport*>(user);
    if (toNextBeat) *toNextBeat = 0;
    if (num) *num = 4.0f;
    if (denom) *denom = 4;
    if (downBeat) *downBeat = std::floor(t->Beat() / 4.0) * 4.0;
    return noErr;
  }
  static OSStatus State(void* user, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling,
                        Float64* cycleStart, Float64* cycleEnd)
  {
    const Transport* t = static_cast<const Transport*>(user);
    if (playing) *playing = t->playing;
    if (changed) *changed = false;
    if (sample) *sample = t->samplePos;
    if (cycling) *cycling = true;
    if (cycleStart) *cycleStart = t->cycleStart;
    if (cycleEnd) *cycleEnd = t->cycleEnd;
    return noErr;
  }
  HostCallbackInfo Callbacks() { return HostCallbackInfo{this, &BeatAndTempo, &MusicalTime, &State}; }
};

// Hands the unit the transport's callbacks, or takes them away for null.
OSStatus UseTransport(AudioUnit u, Transport* t)
{
  const HostCallbackInfo cb = t ? t->Callbacks() : HostCallbackInfo{nullptr, nullptr, nullptr, nullptr};
  return AudioUnitSetProperty(u, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &cb, sizeof(cb));
}
} // namespace

TEST_F(AURenderTest, SongStartPositionsAreReportedAsZeroNotUnknown)
{
  Transport transport;
  transport.cycleStart = 0.0;
  ASSERT_EQ(UseTransport(unit, &transport), noErr);
  ITimeInfo t;
  Plug()->GetTime(&t);
  EXPECT_EQ(t.mPPQPos, 0.0);
  EXPECT_EQ(t.mSamplePos, 0.0);
  EXPECT_EQ(t.mLastBar, 0.0);
  EXPECT_EQ(t.mCycleStart, 0.0);
  EXPECT_EQ(t.mCycleEnd, 8.0);
  EXPECT_EQ(t.mTempo, 120.0);
  EXPECT_TRUE(t.mTransportIsRunning);
  EXPECT_TRUE(t.mTransportLoopEnabled);
  EXPECT_EQ(t.mNumerator, 4);
  EXPECT_EQ(t.mDenominator, 4);
}

TEST_F(AURenderTest, NegativePositionsAndTemposAreNotTaken)
{
  Transport transport;
  transport.tempo = 0.0; // Beat() is then infinite: report a bad position instead
  transport.samplePos = -10.0;
  ASSERT_EQ(UseTransport(unit, &transport), noErr);
  ITimeInfo t;
  Plug()->GetTime(&t);
  EXPECT_EQ(t.mTempo, 120.0);
  EXPECT_EQ(t.mSamplePos, -1.0);
  EXPECT_EQ(Plug()->GetTempo(), 120.0);
}

TEST_F(AURenderTest, SamplePositionTempoAndTimeSignatureComeFromTheHost)
{
  Transport transport;
  transport.samplePos = 99.6;
  transport.tempo = 93.5;
  ASSERT_EQ(UseTransport(unit, &transport), noErr);
  EXPECT_EQ(Plug()->GetSamplePos(), 100);
  EXPECT_EQ(Plug()->GetTempo(), 93.5);
  int num = 0, denom = 0;
  Plug()->GetTimeSig(&num, &denom);
  EXPECT_EQ(num, 4);
  EXPECT_EQ(denom, 4);
}

TEST_F(AURenderTest, OnlyGetTempoKeepsTheHostTempo)
{
  Transport transport;
  transport.tempo = 93.5;
  ASSERT_EQ(UseTransport(unit, &transport), noErr);
  ITimeInfo t;
  Plug()->GetTime(&t);
  EXPECT_EQ(t.mTempo, 93.5);
  ASSERT_EQ(UseTransport(unit, nullptr), noErr);
  EXPECT_EQ(Plug()->GetTempo(), 120.0) << "GetTime reports the tempo without keeping it";
}

TEST_F(AURenderTest, WithoutHostCallbacksTheTimeIsTheDefault)
{
  ITimeInfo t;
  t.mPPQPos = 3.0;
  Plug()->GetTime(&t);
  EXPECT_EQ(t.mPPQPos, 3.0) << "nothing reported, nothing written";
  EXPECT_EQ(Plug()->GetSamplePos(), 0);
  EXPECT_EQ(Plug()->GetTempo(), 120.0);
}

namespace
{
// Renders `blocks` blocks of DC 1 through a tempo-synced tremolo whose host
// transport starts at startBeat, and returns the left channel.
std::vector<float> SyncedRender(double startBeat, int blocks)
{
  AudioUnit unit = nullptr;
  EXPECT_EQ(OpenAComponent(TremoloComponent(), &unit), noErr);
  Transport transport;
  transport.samplePos = startBeat * (transport.sampleRate * 60.0 / transport.tempo);
  UseTransport(unit, &transport);
  AudioUnitSetParameter(unit, kTempoSync, kAudioUnitScope_Global, 0, 1.0f, 0);
  AudioUnitSetParameter(unit, kNote, kAudioUnitScope_Global, 0, 1.0f, 0); // half notes
  AudioUnitSetParameter(unit, kDepth, kAudioUnitScope_Global, 0, 1.0f, 0);
  AudioUnitInitialize(unit);

  struct Dc
  {
    static OSStatus Render(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                           AudioBufferList* list)
    {
      for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
        for (UInt32 i = 0; i < frames; ++i) static_cast<float*>(list->mBuffers[c].mData)[i] = 1.0f;
      return noErr;
    }
  };
  AURenderCallbackStruct input = {&Dc::Render, nullptr};
  AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input, sizeof(input));

  std::vector<float> left;
  const UInt32 n = 512;
  for (int b = 0; b < blocks; ++b)
  {
    BufferList out(2, n);
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp ts = SampleTime(transport.samplePos);
    EXPECT_EQ(AudioUnitRender(unit, &flags, &ts, 0, n, out.list()), noErr);
    left.insert(left.end(), out.channel(0), out.channel(0) + n);
    transport.samplePos += n;
  }
  EXPECT_EQ(CloseComponent(unit), noErr);
  return left;
}

double MaxDiff(const std::vector<float>& a, const std::vector<float>& b)
{
  double d = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) d = std::max(d, std::fabs(double(a[i]) - b[i]));
  return d;
}
} // namespace

TEST(AUTempoSync, TheLfoAlignsToTheBarFromTheFirstBarOfTheSongOn)
{
  // The same place in the bar, in the first and in the second bar, gives the
  // same wave; a quarter note later (half a cycle of a half-note LFO) does not.
  const std::vector<float> firstBar = SyncedRender(0.0, 24);
  const std::vector<float> secondBar = SyncedRender(4.0, 24);
  const std::vector<float> quarterLater = SyncedRender(1.0, 24);
  EXPECT_LT(MaxDiff(firstBar, secondBar), 1e-4);
  EXPECT_GT(MaxDiff(firstBar, quarterLater), 0.5);
  // Within the first bar, starting a half note in is a whole cycle on.
  EXPECT_LT(MaxDiff(firstBar, SyncedRender(2.0, 24)), 1e-4);
}

// ---- a wider effect than the tremolo ----------------------------------------------------

namespace
{
// One bus of four channels; writes 1 into every output it is handed.
class FourChannelEffect : public IPlugAU
{
public:
  FourChannelEffect()
    : IPlugAU(IPlugInstanceInfo(), 0, "4-4", 0, "Four", "", "test", 0x10000, 'Four', 'Test', 0, false, false, false,
              0)
  {
  }
  void ProcessDoubleReplacing(double**, double** outputs, int nFrames) override
  {
    for (int c = 0; c < 4; ++c)
      for (int i = 0; i < nFrames; ++i) outputs[c][i] = 1.0;
  }
};
} // namespace

TEST(AUWideBus, AllChannelsOfASingleBusWiderThanStereoAreRendered)
{
  FourChannelEffect plug;
  ASSERT_EQ(plug.NOutputBuses(), 1);
  BufferList out(4, 64);
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp ts = SampleTime(0);
  ASSERT_EQ(IPlugAU::RenderProc(&plug, &flags, &ts, 0, 64, out.list()), noErr);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(out.channel(c)[63], 1.0f) << "channel " << c;
}
