// OutputFile: a file that appears under its final name only when complete.
//
// The data goes to a temporary file in the same folder (so the final rename
// stays on one file system and is atomic); Commit() renames it over the
// target, and destroying an uncommitted OutputFile removes the temporary.
// A failed run therefore never leaves a half-written output behind, and an
// existing file of that name stays as it was until the new one is complete
// and on disk.
#pragma once

#include <cstdint>
#include <string>

class OutputFile
{
public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the temporary beside `path`. False with *error set ("cannot
  // write <path>: <reason>") when the folder is missing or not writable.
  bool Open(const std::string& path, std::string* error);
  // Descriptor of the temporary (-1 when not open). Whoever writes through it
  // may close it; Commit() does not rely on it being open.
  int Descriptor() const { return mFd; }
  // Hands the descriptor over: the caller (e.g. a library that closes it)
  // becomes its owner. -1 when not open.
  int ReleaseDescriptor();
  // Reserves disk space for about `bytes` bytes of the file without
  // changing its size, so the writes that follow land in blocks already
  // chosen instead of each page claiming its own. Only a hint: no effect
  // when the file system cannot, and Commit() gives back what was not used.
  void Reserve(int64_t bytes);
  // Writes all `size` bytes; false with *error set on a short write.
  bool Write(const void* data, size_t size, std::string* error);
  // Asks the kernel to start writing `length` bytes from `offset` to disk
  // now, without waiting, so that the data sync in Commit() finds little
  // left to do. Any thread that writes the file may call it; no effect
  // when not open or not supported.
  void StartWriteback(int64_t offset, int64_t length);
  // Syncs the data to disk (when the descriptor is still ours), closes and
  // renames the temporary to the target. False with *error set (and the
  // temporary removed, any existing target untouched) on failure.
  bool Commit(std::string* error);
  // Removes the temporary; no effect once committed.
  void Discard();

  const std::string& Path() const { return mPath; }
  // Name of the temporary ("" when not open), for writers that take a path.
  const std::string& TempPath() const { return mTempPath; }

private:
  std::string mPath;
  std::string mTempPath;
  int mFd = -1;
  bool mOwnsFd = false;
  bool mReserved = false;
};

// True when the two paths name one file: the same device and inode for
// files that exist, the same folder and name for ones yet to be made (so
// "out.wav" and "./out.wav" match, and so do two links to one file).
bool SameFile(const std::string& a, const std::string& b);

// Whole-file write through OutputFile. False with *error set on failure.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error);
