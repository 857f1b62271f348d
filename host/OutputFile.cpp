#include "host/OutputFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::string FolderOf(const std::string& path)
{
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string CannotWrite(const std::string& path, const char* reason)
{
  return "cannot write " + path + ": " + reason;
}

} // namespace

OutputFile::~OutputFile()
{
  Discard();
}

bool OutputFile::Open(const std::string& path, std::string* error)
{
  Discard();
  if (path.empty())
  {
    *error = "cannot write an output with an empty name";
    return false;
  }
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
  {
    *error = CannotWrite(path, "it is a folder");
    return false;
  }
  const std::string folder = FolderOf(path);
  std::string pattern = folder + "/.quillbar-tremolo-XXXXXX";
  int fd = mkstemp(&pattern[0]);
  if (fd < 0)
  {
    *error = CannotWrite(path, strerror(errno));
    return false;
  }
  // mkstemp makes the file private; give it the permissions a plain create
  // would, so the renamed output looks like any other file the user writes.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  mPath = path;
  mTempPath = pattern;
  mFd = fd;
  mOwnsFd = true;
  return true;
}

int OutputFile::ReleaseDescriptor()
{
  mOwnsFd = false;
  return mFd;
}

bool OutputFile::Write(const void* data, size_t size, std::string* error)
{
  const char* p = static_cast<const char*>(data);
  while (size > 0)
  {
    ssize_t n = write(mFd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
    {
      *error = CannotWrite(mPath, n < 0 ? strerror(errno) : "nothing written");
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void OutputFile::Reserve(int64_t bytes)
{
  if (mFd < 0 || bytes <= 0) return;
#ifdef FALLOC_FL_KEEP_SIZE
  mReserved = fallocate(mFd, FALLOC_FL_KEEP_SIZE, 0, bytes) == 0;
#endif
}

void OutputFile::StartWriteback(int64_t offset, int64_t length)
{
  if (mFd < 0 || length <= 0) return;
#ifdef SYNC_FILE_RANGE_WRITE
  // Only a hint: a file system without it (or an error) leaves the pages
  // for the data sync in Commit(), which is what durability rests on.
  sync_file_range(mFd, offset, length, SYNC_FILE_RANGE_WRITE);
#else
  (void)offset;
#endif
}

bool OutputFile::Commit(std::string* error)
{
  if (mTempPath.empty())
  {
    *error = CannotWrite(mPath, "nothing was opened");
    return false;
  }
  if (mOwnsFd && mFd >= 0)
  {
    // Blocks reserved beyond what was written (an input shorter than its
    // header said) would stay allocated past the end of the file; cutting
    // the file at its own length gives them back.
    struct stat st;
    if (mReserved && fstat(mFd, &st) == 0 && ftruncate(mFd, st.st_size) != 0)
      mReserved = false; // the file itself is whole; only the spare space stays

    // The data reaches the disk before the name moves: after a crash the
    // target holds either its old contents or the complete new file, never
    // a renamed file whose blocks were not yet written. fdatasync covers
    // the length and the blocks, which is all a reader needs.
    int synced;
    do
      synced = fdatasync(mFd);
    while (synced != 0 && errno == EINTR);
    if (synced != 0)
    {
      *error = CannotWrite(mPath, strerror(errno));
      Discard();
      return false;
    }
    const bool closedCleanly = close(mFd) == 0;
    mFd = -1;
    mOwnsFd = false;
    if (!closedCleanly)
    {
      *error = CannotWrite(mPath, strerror(errno));
      Discard();
      return false;
    }
  }
  if (rename(mTempPath.c_str(), mPath.c_str()) != 0)
  {
    *error = CannotWrite(mPath, strerror(errno));
    Discard();
    return false;
  }
  mTempPath.clear();
  mFd = -1;
  return true;
}

void OutputFile::Discard()
{
  if (mOwnsFd && mFd >= 0) close(mFd);
  mFd = -1;
  mOwnsFd = false;
  mReserved = false;
  if (!mTempPath.empty()) unlink(mTempPath.c_str());
  mTempPath.clear();
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error)
{
  OutputFile out;
  return out.Open(path, error) && out.Write(data, size, error) && out.Commit(error);
}

bool SameFile(const std::string& a, const std::string& b)
{
  struct stat sa, sb;
  const bool hasA = stat(a.c_str(), &sa) == 0, hasB = stat(b.c_str(), &sb) == 0;
  if (hasA || hasB) return hasA && hasB && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  // Neither exists yet: the same name in the same folder.
  const size_t slashA = a.rfind('/'), slashB = b.rfind('/');
  const std::string nameA = slashA == std::string::npos ? a : a.substr(slashA + 1);
  const std::string nameB = slashB == std::string::npos ? b : b.substr(slashB + 1);
  if (nameA != nameB) return false;
  struct stat fa, fb;
  return stat(FolderOf(a).c_str(), &fa) == 0 && stat(FolderOf(b).c_str(), &fb) == 0 && fa.st_dev == fb.st_dev &&
         fa.st_ino == fb.st_ino;
}
