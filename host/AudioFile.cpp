#include "host/AudioFile.h"

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
  // libsndfile closes the descriptor with the file.
  mFile = sf_open_fd(mOut.ReleaseDescriptor(), SFM_WRITE, &info, SF_TRUE);
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
  return true;
}

bool AudioFileWriter::Commit(std::string* error)
{
  sf_write_sync(mFile);
  const int err = sf_error(mFile);
  const std::string reason = sf_strerror(mFile);
  // Closing writes the final header; a full disk can fail here too.
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
