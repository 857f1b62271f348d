// Audio file input and output for the command-line host, through libsndfile.
//
// Input: any format libsndfile reads, delivered as interleaved 32-bit float
// frames. Output: 32-bit float WAV, written through OutputFile so that only a
// complete file ever appears under the target name.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>

#include "host/OutputFile.h"

class AudioFileReader
{
public:
  AudioFileReader() = default;
  ~AudioFileReader();
  AudioFileReader(const AudioFileReader&) = delete;
  AudioFileReader& operator=(const AudioFileReader&) = delete;

  // Opens `path`. False with *error set ("cannot read <path>: <reason>")
  // for a missing, unreadable or unrecognised file or a sample rate of 0.
  // The channel count is not checked here.
  bool Open(const std::string& path, std::string* error);
  // Reads up to `frames` interleaved frames into `dest` (frames x Channels()
  // floats). Returns the frames read: 0 at the end, -1 on a read error
  // (with *error set).
  int64_t Read(float* dest, int64_t frames, std::string* error);

  int Channels() const { return mInfo.channels; }
  int SampleRate() const { return mInfo.samplerate; }
  // Length in frames as the header states it; may be 0 or wrong for
  // formats without one, so readers read to the end regardless.
  int64_t Frames() const { return mInfo.frames; }
  // Frames a RIFF WAV file's data chunk declares (libsndfile's Frames()
  // counts only what is there), for telling a cut-short file; -1 for other
  // formats, compressed data or a size left open by a streaming writer.
  int64_t DeclaredFrames() const { return mDeclaredFrames; }
  const std::string& Path() const { return mPath; }

private:
  SNDFILE* mFile = nullptr;
  SF_INFO mInfo{};
  std::string mPath;
  int64_t mDeclaredFrames = -1;
};

class AudioFileWriter
{
public:
  AudioFileWriter() = default;
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  // Starts a 32-bit float WAV file for `path` (1 or 2 channels, rate > 0),
  // reserving disk space for `expectedFrames` when that is known (> 0).
  // False with *error set when the folder cannot be written.
  bool Open(const std::string& path, int channels, int sampleRate, std::string* error, int64_t expectedFrames = 0);
  // Appends `frames` interleaved frames. `peaks`, when given, holds each
  // channel's largest magnitude in them (NaN skipped), which saves a scan.
  // False with *error set on failure.
  bool Write(const float* src, int64_t frames, std::string* error, const float* peaks = nullptr);
  // Completes the file and moves it to its name. False with *error set;
  // nothing is left behind then.
  bool Commit(std::string* error);

private:
  SNDFILE* mFile = nullptr;
  OutputFile mOut;
  int mChannels = 0;
  float mPeak[2] = {0.0f, 0.0f};  // the peaks libsndfile holds so far
  int64_t mWrittenBack = 0;  // bytes handed to the disk so far
};
