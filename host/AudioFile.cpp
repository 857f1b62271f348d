#include "host/AudioFile.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#if defined(__SSE__)
#include <emmintrin.h>
#endif

namespace
{

uint32_t Le32(const unsigned char* p)
{
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Bytes per sample of the uncompressed encodings; 0 for any other.
int SampleBytes(int format)
{
  switch (format & SF_FORMAT_SUBMASK)
  {
  case SF_FORMAT_PCM_U8:
  case SF_FORMAT_PCM_S8:
  case SF_FORMAT_ULAW:
  case SF_FORMAT_ALAW: return 1;
  case SF_FORMAT_PCM_16: return 2;
  case SF_FORMAT_PCM_24: return 3;
  case SF_FORMAT_PCM_32:
  case SF_FORMAT_FLOAT: return 4;
  case SF_FORMAT_DOUBLE: return 8;
  default: return 0;
  }
}

// The size the "data" chunk of a RIFF WAVE file states, or -1.
int64_t WavDataBytes(const std::string& path)
{
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return -1;
  int64_t result = -1;
  unsigned char head[12];
  if (fread(head, 1, 12, f) == 12 && memcmp(head, "RIFF", 4) == 0 && memcmp(head + 8, "WAVE", 4) == 0)
  {
    unsigned char chunk[8];
    // A handful of chunks precede the data in any real file.
    for (int i = 0; i < 64 && fread(chunk, 1, 8, f) == 8; ++i)
    {
      const uint32_t size = Le32(chunk + 4);
      if (memcmp(chunk, "data", 4) == 0)
      {
        result = size;
        break;
      }
      if (fseek(f, static_cast<long>(size) + (size & 1), SEEK_CUR) != 0) break;
    }
  }
  fclose(f);
  return result;
}


} // namespace

AudioFileReader::~AudioFileReader()
{
  if (mFile) sf_close(mFile);
}

bool AudioFileReader::Open(const std::string& path, std::string* error)
{
  if (mFile) sf_close(mFile);
  mFile = nullptr;
  mPath = path;
  mInfo = SF_INFO{};
  mDeclaredFrames = -1;
  mFile = sf_open(path.c_str(), SFM_READ, &mInfo);
  if (!mFile)
  {
    *error = "cannot read " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  if (mInfo.samplerate <= 0 || mInfo.channels <= 0)
  {
    *error = "cannot read " + path + ": the file states no sample rate or no channels";
    sf_close(mFile);
    mFile = nullptr;
    return false;
  }
  const int sampleBytes = SampleBytes(mInfo.format);
  if ((mInfo.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV && sampleBytes > 0)
  {
    const int64_t bytes = WavDataBytes(path);
    // 0 and 0xFFFFFFFF are what streaming writers leave when they cannot seek back.
    if (bytes > 0 && bytes != 0xFFFFFFFFLL) mDeclaredFrames = bytes / (static_cast<int64_t>(sampleBytes) * mInfo.channels);
  }
  return true;
}

int64_t AudioFileReader::Read(float* dest, int64_t frames, std::string* error)
{
  const sf_count_t got = sf_readf_float(mFile, dest, frames);
  if (got < frames && sf_error(mFile) != SF_ERR_NO_ERROR)
  {
    *error = "cannot read " + mPath + ": " + sf_strerror(mFile);
    return -1;
  }
  return got;
}

AudioFileWriter::~AudioFileWriter()
{
  if (mFile) sf_close(mFile);
  // mOut's destructor removes the unfinished temporary.
}

bool AudioFileWriter::Open(const std::string& path, int channels, int sampleRate, std::string* error,
                           int64_t expectedFrames)
{
  if (!mOut.Open(path, error)) return false;
  // The samples plus room for the header and its PEAK chunk.
  const int64_t frameBytes = static_cast<int64_t>(sizeof(float)) * channels;
  if (expectedFrames > 0 && channels > 0 && expectedFrames <= (INT64_MAX - 4096) / frameBytes)
    mOut.Reserve(expectedFrames * frameBytes + 4096);
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  // The descriptor stays ours: it outlives sf_close(), which writes the
  // final header, so that Commit() syncs the complete file before renaming.
  mFile = sf_open_fd(mOut.Descriptor(), SFM_WRITE, &info, SF_FALSE);
  if (!mFile)
  {
    *error = "cannot write " + path + ": " + sf_strerror(nullptr);
    mOut.Discard();
    return false;
  }
  mChannels = channels;
  return true;
}

namespace
{

// Largest magnitude of each of two channels (interleaved frames, or a mono
// stream split alternately, which the caller folds back), NaN skipped.
void PeakPair(const float* src, size_t samples, float* peaks)
{
  size_t i = 0;
  float m0 = 0.0f, m1 = 0.0f;
#if defined(__SSE__)
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  __m128 acc = _mm_setzero_ps();
  for (; i + 4 <= samples; i += 4)
    // maxps returns its second operand when either is NaN: NaN is skipped.
    acc = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(src + i), magnitude), acc);
  float lanes[4];
  _mm_storeu_ps(lanes, acc);
  m0 = lanes[0] > lanes[2] ? lanes[0] : lanes[2];
  m1 = lanes[1] > lanes[3] ? lanes[1] : lanes[3];
#endif
  for (; i < samples; ++i)
  {
    const float a = std::fabs(src[i]);
    float& m = (i & 1) ? m1 : m0;
    if (a > m) m = a;
  }
  peaks[0] = m0;
  peaks[1] = m1;
}

} // namespace

bool AudioFileWriter::Write(const float* src, int64_t frames, std::string* error, const float* peaks)
{
  // libsndfile keeps the PEAK chunk of a float file by scanning every
  // sample it is given, one at a time, which costs as much as the render.
  // A chunk that cannot raise any channel's peak goes in as raw bytes (the
  // file's own little-endian floats, exactly what the scan would have let
  // through) and skips the scan; a chunk that can goes through the scan, so
  // the peaks and their positions come out exactly as libsndfile finds them.
  bool raw = false;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  if (mChannels <= 2 && frames > 0)
  {
    float chunkPeak[2];
    if (peaks)
    {
      chunkPeak[0] = peaks[0];
      chunkPeak[1] = mChannels == 2 ? peaks[1] : 0.0f;
    }
    else
    {
      float pair[2];
      PeakPair(src, static_cast<size_t>(frames) * static_cast<size_t>(mChannels), pair);
      chunkPeak[0] = pair[0];
      chunkPeak[1] = pair[1];
      if (mChannels == 1) chunkPeak[0] = pair[0] > pair[1] ? pair[0] : pair[1];
    }
    raw = true;
    for (int c = 0; c < mChannels; ++c)
      if (chunkPeak[c] > mPeak[c])
      {
        raw = false;
        // libsndfile starts each channel's scan at the chunk's first sample
        // and so keeps no peak from a chunk whose first sample is NaN.
        if (!std::isnan(src[c])) mPeak[c] = chunkPeak[c];
      }
  }
#endif
  const int64_t bytes = frames * mChannels * static_cast<int64_t>(sizeof(float));
  if (raw ? sf_write_raw(mFile, src, bytes) != bytes : sf_writef_float(mFile, src, frames) != frames)
  {
    *error = "cannot write " + mOut.Path() + ": " + sf_strerror(mFile);
    return false;
  }
  // The disk writes what came so far while the rest is rendered, instead
  // of all of it while Commit() waits: the disk, not the render, is the
  // slower side, so it should start early. Every 2 MiB, not every chunk:
  // each request costs the machine a round trip to the disk driver, which
  // on a busy machine cost more than the overlap saved.
  constexpr off_t kWritebackBytes = 2 << 20;
  const off_t end = lseek(mOut.Descriptor(), 0, SEEK_CUR);
  if (end >= mWrittenBack + kWritebackBytes)
  {
    mOut.StartWriteback(mWrittenBack, end - mWrittenBack);
    mWrittenBack = end;
  }
  return true;
}

bool AudioFileWriter::Commit(std::string* error)
{
  const int err = sf_error(mFile);
  const std::string reason = sf_strerror(mFile);
  // Closing writes the final header (the descriptor stays open); a full
  // disk can fail here too. The data sync follows in mOut.Commit().
  const int closeErr = sf_close(mFile);
  mFile = nullptr;
  if (err != SF_ERR_NO_ERROR || closeErr != 0)
  {
    *error = "cannot write " + mOut.Path() + ": " + reason;
    mOut.Discard();
    return false;
  }
  return mOut.Commit(error);
}
