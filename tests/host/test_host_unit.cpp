// The host's own pieces driven directly: the unit wrapper's configuration
// checks and the audio file reader.
#include <gtest/gtest.h>

#include <cstring>

#include "HostTestSupport.h"
#include "host/AudioFile.h"
#include "host/FrameLoops.h"
#include "host/HostUnit.h"

using namespace hosttest;

TEST(HostUnit, ConfigureRefusesWhatRenderCannotCarryAndKeepsTheGoodSetup)
{
  HostUnit unit;
  std::string error;
  ASSERT_TRUE(unit.Open(&error)) << error;
  ASSERT_TRUE(unit.Configure(44100.0, 2, 256, HostTransport{}, &error)) << error;

  error.clear();
  EXPECT_FALSE(unit.Configure(44100.0, 3, 256, HostTransport{}, &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(unit.Configure(44100.0, 0, 256, HostTransport{}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(unit.Configure(44100.0, 2, 0, HostTransport{}, &error));
  EXPECT_FALSE(unit.Configure(0.0, 2, 256, HostTransport{}, &error));

  // The refused calls changed nothing: two channels of 256 frames render,
  // and more frames than the block are refused.
  std::vector<float> in(2 * 256, 0.25f), out(2 * 256, -9.0f);
  const float* inPlanes[2] = {in.data(), in.data() + 256};
  float* outPlanes[2] = {out.data(), out.data() + 256};
  EXPECT_EQ(unit.Render(inPlanes, outPlanes, 256), noErr);
  for (float v : out) EXPECT_LE(std::fabs(v), 1.0f);
  EXPECT_NE(unit.Render(inPlanes, outPlanes, 257), noErr);
}

// Interleaved input split straight into the unit's buffers renders what
// planar input does, for both channel counts, block after block.
TEST(HostUnit, InterleavedInputRendersAsPlanarInputDoes)
{
  for (int nch : {1, 2})
  {
    SCOPED_TRACE(nch);
    HostUnit planar, interleaved;
    std::string error;
    for (HostUnit* u : {&planar, &interleaved})
      ASSERT_TRUE(u->Open(&error) && u->Configure(48000.0, nch, 64, HostTransport{}, &error)) << error;
    std::vector<float> frames(64 * nch), in(2 * 64), a(2 * 64), b(2 * 64);
    const float* inPlanes[2] = {in.data(), in.data() + 64};
    float* aPlanes[2] = {a.data(), a.data() + 64};
    float* bPlanes[2] = {b.data(), b.data() + 64};
    for (int block = 0; block < 20; ++block)
    {
      const UInt32 n = block % 3 ? 64 : 37;
      for (UInt32 i = 0; i < n; ++i)
        for (int c = 0; c < nch; ++c)
          frames[i * nch + c] = in[c * 64 + i] = std::sin(0.05f * (block * 64 + i) + c) * (c ? -0.5f : 0.8f);
      ASSERT_EQ(planar.Render(inPlanes, aPlanes, n), noErr);
      ASSERT_EQ(interleaved.RenderInterleaved(frames.data(), bPlanes, n), noErr);
      for (int c = 0; c < nch; ++c)
        ASSERT_EQ(std::memcmp(aPlanes[c], bPlanes[c], n * sizeof(float)), 0) << "block " << block << " channel " << c;
    }
  }
}

TEST(HostAudioFile, AReaderOpenedAgainReadsTheNewFile)
{
  ScratchDir dir;
  const Audio first = Constant(1, 22050, 0.1, 0.5f);
  const Audio second = Noise(2, 48000, 0.05);
  ASSERT_TRUE(WriteAudio(dir / "first.wav", first));
  ASSERT_TRUE(WriteAudio(dir / "second.wav", second));

  AudioFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(dir / "first.wav", &error)) << error;
  ASSERT_TRUE(reader.Open(dir / "second.wav", &error)) << error;
  EXPECT_EQ(reader.Channels(), 2);
  EXPECT_EQ(reader.SampleRate(), 48000);
  std::vector<float> got(second.samples.size() + 8);
  const int64_t frames = reader.Read(got.data(), static_cast<int64_t>(second.Frames()) + 4, &error);
  ASSERT_EQ(frames, static_cast<int64_t>(second.Frames()));
  got.resize(second.samples.size());
  EXPECT_EQ(got, second.samples);

  // A failed open leaves nothing half open behind.
  EXPECT_FALSE(reader.Open(dir / "missing.wav", &error));
  EXPECT_NE(error.find("missing.wav"), std::string::npos);
}

// The writer hands libsndfile the chunks that cannot raise a peak as raw
// bytes; the file, PEAK chunk included, must equal what libsndfile writes
// when it scans every chunk itself (only the PEAK time stamp may differ).
TEST(HostAudioFile, WriterKeepsThePeakChunkLibsndfileWouldWrite)
{
  struct Case
  {
    const char* name;
    int channels;
    float (*sample)(size_t frame, int channel);
  };
  const Case cases[] = {
    {"steady stereo", 2, [](size_t i, int c) { return std::sin(0.01f * i + c) * 0.5f; }},
    {"rising stereo", 2, [](size_t i, int c) { return (c ? -1.0f : 1.0f) * 0.0001f * i; }},
    // Only the right channel decides which chunks are scanned.
    {"right rising alone", 2, [](size_t i, int c) { return c ? 0.0001f * i : 0.5f; }},
    {"rising mono", 1, [](size_t i, int) { return 0.0001f * i * (i % 2 ? 1.0f : -1.0f); }},
    // A NaN first sample makes libsndfile keep no peak from that chunk (the
    // second), so the smaller values of the third chunk still raise it.
    {"NaN at a chunk start", 2,
     [](size_t i, int c) {
       if (c == 1) return 0.1f;
       if (i == 1000) return std::nanf("");
       return i < 1000 ? 0.0002f * i : i < 2000 ? 0.9f : 0.5f * (i % 7) / 7.0f;
     }},
  };
  ScratchDir dir;
  const size_t chunk = 1000, chunks = 5;
  for (const Case& k : cases)
  {
    SCOPED_TRACE(k.name);
    std::vector<float> samples(chunk * chunks * static_cast<size_t>(k.channels));
    for (size_t i = 0; i < chunk * chunks; ++i)
      for (int c = 0; c < k.channels; ++c) samples[i * k.channels + c] = k.sample(i, c);

    std::string error;
    // "ours.wav" finds the peaks itself; "given.wav" takes them from
    // InterleaveFrames, as the render does, which also has to give back the
    // very samples it was split from.
    AudioFileWriter writer, given;
    ASSERT_TRUE(writer.Open(dir / "ours.wav", k.channels, 48000, &error)) << error;
    ASSERT_TRUE(given.Open(dir / "given.wav", k.channels, 48000, &error)) << error;
    const size_t nch = static_cast<size_t>(k.channels);
    std::vector<float> planes(2 * chunk), joined(chunk * nch);
    SF_INFO info{};
    info.channels = k.channels;
    info.samplerate = 48000;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* reference = sf_open((dir / "reference.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(reference, nullptr);
    for (size_t n = 0; n < chunks; ++n)
    {
      const float* p = samples.data() + n * chunk * k.channels;
      ASSERT_TRUE(writer.Write(p, chunk, &error)) << error;
      float peaks[2] = {0.0f, 0.0f};
      DeinterleaveFrames(p, nch, chunk, planes.data(), chunk);
      InterleaveFrames(planes.data(), chunk, chunk, joined.data(), nch, peaks);
      ASSERT_EQ(std::memcmp(joined.data(), p, joined.size() * sizeof(float)), 0);
      ASSERT_TRUE(given.Write(joined.data(), chunk, &error, peaks)) << error;
      ASSERT_EQ(sf_writef_float(reference, p, chunk), static_cast<sf_count_t>(chunk));
    }
    ASSERT_TRUE(writer.Commit(&error)) << error;
    ASSERT_TRUE(given.Commit(&error)) << error;
    ASSERT_EQ(sf_close(reference), 0);

    std::string theirs = ReadText(dir / "reference.wav");
    const size_t peak = theirs.find("PEAK");
    ASSERT_NE(peak, std::string::npos);
    theirs.replace(peak + 12, 4, 4, '\0');  // version, then the time stamp
    for (const char* name : {"ours.wav", "given.wav"})
    {
      SCOPED_TRACE(name);
      std::string ours = ReadText(dir / name);
      ASSERT_EQ(ours.size(), theirs.size());
      ASSERT_EQ(ours.compare(peak, 4, "PEAK"), 0);
      ours.replace(peak + 12, 4, 4, '\0');
      EXPECT_TRUE(ours == theirs);
    }
  }
}

// Space reserved for the frames an input declares is given back when fewer
// arrive (an input cut short and rendered with --allow-short), instead of
// staying allocated past the end of the finished file.
TEST(HostAudioFile, WriterGivesBackReservedSpaceItDidNotUse)
{
  ScratchDir dir;
  std::string error;
  AudioFileWriter writer;
  ASSERT_TRUE(writer.Open(dir / "short.wav", 2, 48000, &error, 4 << 20)) << error;  // 32 MiB of samples
  const std::vector<float> samples(2 * 1000, 0.25f);
  ASSERT_TRUE(writer.Write(samples.data(), 1000, &error)) << error;
  ASSERT_TRUE(writer.Commit(&error)) << error;
  struct stat st;
  ASSERT_EQ(stat((dir / "short.wav").c_str(), &st), 0);
  EXPECT_GT(st.st_size, 8000);
  EXPECT_LT(static_cast<int64_t>(st.st_blocks) * 512, 1 << 20);
}

// Both loops of each frame helper (the 256-bit one where the processor has
// it) against plain code, at lengths around their step widths and from
// unaligned addresses, NaN and negative zero included.
TEST(HostAudioFile, FrameHelpersMatchPlainLoopsOnEveryPath)
{
  for (bool avx2 : {false, true})
  {
    if (avx2 && !FrameLoopsCanUseAvx2()) continue;
    for (size_t nch : {1, 2})
      for (size_t frames : {0, 1, 3, 4, 7, 8, 9, 15, 16, 17, 1001})
      {
        SCOPED_TRACE(testing::Message() << (avx2 ? "avx2" : "baseline") << " nch " << nch << " frames " << frames);
        std::vector<float> joined(1 + frames * nch), planes(1 + 2 * frames, 7.0f), back(1 + frames * nch);
        for (size_t i = 0; i < frames * nch; ++i) joined[1 + i] = std::sin(0.37f * i) * (i % 5 ? 1.0f : -2.0f);
        if (frames > 2) joined[1 + nch] = std::nanf("");  // frame 1, left
        if (frames > 3) joined[1 + 3 * nch] = -0.0f;
        float* split = planes.data() + 1;
        DeinterleaveFramesWith(avx2, joined.data() + 1, nch, frames, split, frames);
        if (nch == 2)
        {
          std::vector<float> left(frames + 1), right(frames + 1);
          SplitStereoWith(avx2, joined.data() + 1, frames, left.data() + 1, right.data() + 1);
          EXPECT_EQ(std::memcmp(left.data() + 1, split, frames * sizeof(float)), 0);
          EXPECT_EQ(std::memcmp(right.data() + 1, split + frames, frames * sizeof(float)), 0);
        }
        float expect[2] = {0.5f, 0.0f};  // a running peak carried in, below some samples
        for (size_t i = 0; i < frames; ++i)
          for (size_t c = 0; c < nch; ++c)
          {
            const float v = joined[1 + i * nch + c];
            ASSERT_EQ(std::memcmp(&split[c * frames + i], &v, sizeof v), 0) << "split frame " << i;
            if (std::fabs(v) > expect[c]) expect[c] = std::fabs(v);
          }
        float peaks[2] = {0.5f, 0.0f};
        InterleaveFramesWith(avx2, split, frames, frames, back.data() + 1, nch, peaks);
        EXPECT_EQ(std::memcmp(back.data() + 1, joined.data() + 1, frames * nch * sizeof(float)), 0);
        for (size_t c = 0; c < nch; ++c) EXPECT_EQ(peaks[c], expect[c]) << "channel " << c;
      }
  }
}
