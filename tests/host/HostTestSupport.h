// Shared helpers of the command-line host tests: a scratch folder, running
// the built binary, and reading and writing audio files with libsndfile.
#pragma once

#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <dirent.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace hosttest
{

// A fresh folder under /tmp, removed with everything in it at the end.
class ScratchDir
{
public:
  ScratchDir()
  {
    char pattern[] = "/tmp/quill-host-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    mPath = made ? made : "/tmp";
  }
  ~ScratchDir()
  {
    const std::string cmd = "rm -rf '" + mPath + "'";
    if (std::system(cmd.c_str()) != 0) {}
  }
  std::string operator/(const std::string& name) const { return mPath + "/" + name; }
  const std::string& Path() const { return mPath; }
  // Names of the entries in the folder (without . and ..).
  std::vector<std::string> Entries() const
  {
    std::vector<std::string> names;
    if (DIR* d = opendir(mPath.c_str()))
    {
      while (dirent* e = readdir(d))
      {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
      }
      closedir(d);
    }
    return names;
  }

private:
  std::string mPath;
};

struct RunResult
{
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string Quote(const std::string& s)
{
  std::string q = "'";
  for (char c : s)
  {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

inline std::string ReadText(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline bool FileExists(const std::string& path)
{
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Runs the built quillbar-tremolo with `args`; stdout and stderr are captured
// through files in `dir`, stdin is empty.
inline RunResult RunHost(const ScratchDir& dir, const std::vector<std::string>& args)
{
  std::string cmd = Quote(QUILL_HOST_BINARY);
  for (const std::string& a : args) cmd += " " + Quote(a);
  const std::string outPath = dir / ".stdout", errPath = dir / ".stderr";
  cmd += " </dev/null >" + Quote(outPath) + " 2>" + Quote(errPath);
  RunResult r;
  const int status = std::system(cmd.c_str());
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadText(outPath);
  r.err = ReadText(errPath);
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  return r;
}

struct Audio
{
  int channels = 0;
  int rate = 0;
  int format = 0;
  std::vector<float> samples; // interleaved
  size_t Frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
  float At(size_t frame, int channel) const { return samples[frame * static_cast<size_t>(channels) + static_cast<size_t>(channel)]; }
};

inline bool WriteAudio(const std::string& path, const Audio& a, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT)
{
  SF_INFO info{};
  info.channels = a.channels;
  info.samplerate = a.rate;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  const sf_count_t frames = static_cast<sf_count_t>(a.Frames());
  const bool ok = sf_writef_float(f, a.samples.data(), frames) == frames;
  return sf_close(f) == 0 && ok;
}

inline Audio ReadAudio(const std::string& path)
{
  Audio a;
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return a;
  a.channels = info.channels;
  a.rate = info.samplerate;
  a.format = info.format;
  a.samples.resize(static_cast<size_t>(info.frames * info.channels));
  const sf_count_t got = sf_readf_float(f, a.samples.data(), info.frames);
  a.samples.resize(static_cast<size_t>(got * info.channels));
  sf_close(f);
  return a;
}

// Deterministic noise in [-amp, amp] (a linear congruential generator, so the
// files are the same on every machine).
inline Audio Noise(int channels, int rate, double seconds, float amp = 0.5f, uint32_t seed = 12345)
{
  Audio a;
  a.channels = channels;
  a.rate = rate;
  const size_t n = static_cast<size_t>(seconds * rate) * static_cast<size_t>(channels);
  a.samples.resize(n);
  uint32_t s = seed;
  for (float& v : a.samples)
  {
    s = s * 1664525u + 1013904223u;
    v = amp * (static_cast<float>(s >> 8) / 8388608.0f - 1.0f);
  }
  return a;
}

inline Audio Constant(int channels, int rate, double seconds, float value)
{
  Audio a;
  a.channels = channels;
  a.rate = rate;
  a.samples.assign(static_cast<size_t>(seconds * rate) * static_cast<size_t>(channels), value);
  return a;
}

} // namespace hosttest
