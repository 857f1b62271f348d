// The host's own pieces driven directly: the unit wrapper's configuration
// checks and the audio file reader.
#include <gtest/gtest.h>

#include "HostTestSupport.h"
#include "host/AudioFile.h"
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
