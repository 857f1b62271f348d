#include "host/AudioFile.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

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

bool AudioFileWriter::Open(const std::string& path, int channels, int sampleRate, std::string* error)
{
  if (!mOut.Open(path, error)) return false;
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

bool AudioFileWriter::Write(const float* src, int64_t frames, std::string* error)
{
  if (sf_writef_float(mFile, src, frames) != frames)
  {
    *error = "cannot write " + mOut.Path() + ": " + sf_strerror(mFile);
    return false;
  }
  // The disk writes this chunk while the next one is rendered, instead of
  // all of it at once while Commit() waits.
  const off_t end = lseek(mOut.Descriptor(), 0, SEEK_CUR);
  if (end > mWrittenBack)
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
