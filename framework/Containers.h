// Container and threading utilities shared by every subsystem: a growable
// NUL-terminated string, an ordered pointer list, growable byte and typed
// buffers, and a recursive mutex.
//
// None of them throws. Allocation goes through malloc/realloc so that a
// failed growth is reported as a null pointer (buffers) or a false return
// (strings) and leaves the previous contents intact.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

// Growable, contiguous block of bytes. Capacity grows in multiples of the
// granularity, so repeated one-record appends do not reallocate every time.
class WDL_HeapBuf
{
public:
  // granularity: capacity step in bytes (values below 1 become 1).
  explicit WDL_HeapBuf(int granularity = 4096) : mGranularity(granularity > 0 ? granularity : 1) {}
  WDL_HeapBuf(const WDL_HeapBuf& other) : mGranularity(other.mGranularity) { CopyFrom(other); }
  WDL_HeapBuf& operator=(const WDL_HeapBuf& other)
  {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  ~WDL_HeapBuf() { free(mBuf); }

  // Pointer to the first byte; null while nothing was ever allocated.
  void* Get() const { return mBuf; }
  // Number of bytes in use.
  int GetSize() const { return mSize; }

  // Sets the size in bytes (negative counts as 0). Growing keeps the old
  // bytes; new bytes are undefined. Returns the buffer, or null when growing
  // failed (the old contents and size are then kept). Shrinking never
  // releases memory, so a size that goes down and up again does not allocate.
  void* Resize(int newSize)
  {
    if (newSize < 0) newSize = 0;
    if (newSize > mAlloc || !mBuf)
    {
      // even an empty buffer gets storage, so success is always a real pointer
      long long need = newSize > 0 ? newSize : 1;
      long long want = (need + mGranularity - 1) / mGranularity * mGranularity;
      if (want > 0x7fffffffLL) return nullptr;
      void* p = realloc(mBuf, (size_t)want);
      if (!p) return nullptr;
      mBuf = p;
      mAlloc = (int)want;
    }
    mSize = newSize;
    return mBuf;
  }

  // Frees the storage; size becomes 0.
  void Free()
  {
    free(mBuf);
    mBuf = nullptr;
    mSize = mAlloc = 0;
  }

private:
  void CopyFrom(const WDL_HeapBuf& other)
  {
    if (Resize(other.mSize) && other.mSize > 0) memcpy(mBuf, other.mBuf, (size_t)other.mSize);
  }

  void* mBuf = nullptr;
  int mSize = 0;
  int mAlloc = 0;
  int mGranularity;
};

// Growable array of trivially copyable elements of type T.
template <class T>
class WDL_TypedBuf
{
public:
  // granularity: capacity step in bytes.
  explicit WDL_TypedBuf(int granularity = 4096) : mHeap(granularity) {}

  // First element, or null while empty and never allocated.
  T* Get() const { return static_cast<T*>(mHeap.Get()); }
  // Number of elements.
  int GetSize() const { return mHeap.GetSize() / (int)sizeof(T); }

  // Sets the element count (negative counts as 0); new elements are
  // undefined. Returns the first element, or null when growing failed (the
  // buffer is then unchanged).
  T* Resize(int count)
  {
    if (count < 0) count = 0;
    if ((long long)count * (long long)sizeof(T) > 0x7fffffffLL) return nullptr;
    if (!mHeap.Resize(count * (int)sizeof(T))) return nullptr;
    return Get();
  }

  // Appends one element; returns a pointer to it, or null when growing failed.
  T* Add(const T& value)
  {
    int n = GetSize();
    if (!Resize(n + 1)) return nullptr;
    T* p = Get() + n;
    *p = value;
    return p;
  }

  // Frees the storage.
  void Free() { mHeap.Free(); }

private:
  WDL_HeapBuf mHeap;
};

// Growable NUL-terminated byte string. Get() never returns null.
class WDL_String
{
public:
  // text: initial contents (null means empty); maxLen > 0 keeps at most
  // maxLen bytes of it.
  explicit WDL_String(const char* text = nullptr, int maxLen = 0) { Set(text, maxLen); }
  WDL_String(const WDL_String& other) { Set(other.Get()); }
  WDL_String& operator=(const WDL_String& other)
  {
    if (this != &other) Set(other.Get());
    return *this;
  }

  // The text; "" when empty.
  const char* Get() const { return mBuf.GetSize() ? static_cast<const char*>(mBuf.Get()) : ""; }
  // Length in bytes, without the NUL.
  int GetLength() const { return mBuf.GetSize() ? (int)strlen(Get()) : 0; }

  // Replaces the text (null means empty); maxLen > 0 keeps at most maxLen
  // bytes. Returns false (text unchanged) when memory ran out.
  bool Set(const char* text, int maxLen = 0)
  {
    if (!text) text = "";
    // with a limit, text need not be NUL-terminated within it
    size_t n = maxLen > 0 ? strnlen(text, (size_t)maxLen) : strlen(text);
    return Assign(text, n, 0);
  }

  // Appends text (null appends nothing); maxLen > 0 appends at most maxLen
  // bytes. Returns false (text unchanged) when memory ran out.
  bool Append(const char* text, int maxLen = 0)
  {
    if (!text) return true;
    // with a limit, text need not be NUL-terminated within it
    size_t n = maxLen > 0 ? strnlen(text, (size_t)maxLen) : strlen(text);
    return Assign(text, n, (size_t)GetLength());
  }

  // Replaces the text with printf output, at most maxLen bytes long
  // (maxLen <= 0 means no limit). Returns false when memory ran out.
  bool SetFormatted(int maxLen, const char* fmt, ...)
  {
    va_list ap;
    va_start(ap, fmt);
    bool ok = FormatAt(0, maxLen, fmt, ap);
    va_end(ap);
    return ok;
  }

  // Appends printf output of at most maxLen bytes (maxLen <= 0: no limit).
  bool AppendFormatted(int maxLen, const char* fmt, ...)
  {
    va_list ap;
    va_start(ap, fmt);
    bool ok = FormatAt((size_t)GetLength(), maxLen, fmt, ap);
    va_end(ap);
    return ok;
  }

  // Cuts the text to at most len bytes (no effect when already shorter).
  void SetLen(int len)
  {
    if (len >= 0 && len < GetLength()) static_cast<char*>(mBuf.Get())[len] = 0;
  }

private:
  bool Assign(const char* text, size_t n, size_t at)
  {
    if (at + n + 1 > 0x7fffffffu) return false;
    // text may point into our own buffer; copy it out before a realloc can move it
    const char* base = static_cast<const char*>(mBuf.Get());
    bool aliased = base && text >= base && text < base + mBuf.GetSize();
    size_t offset = aliased ? (size_t)(text - base) : 0;
    if (!mBuf.Resize((int)(at + n + 1))) return false;
    char* p = static_cast<char*>(mBuf.Get());
    memmove(p + at, aliased ? p + offset : text, n);
    p[at + n] = 0;
    return true;
  }

  bool FormatAt(size_t at, int maxLen, const char* fmt, va_list ap)
  {
    va_list ap2;
    va_copy(ap2, ap);
    int n = vsnprintf(nullptr, 0, fmt, ap2);
    va_end(ap2);
    if (n < 0) return false;
    if (maxLen > 0 && n > maxLen) n = maxLen;
    if (at + (size_t)n + 1 > 0x7fffffffu) return false;
    if (!mBuf.Resize((int)(at + (size_t)n + 1))) return false;
    char* p = static_cast<char*>(mBuf.Get());
    vsnprintf(p + at, (size_t)n + 1, fmt, ap);
    p[at + n] = 0;
    return true;
  }

  WDL_HeapBuf mBuf{64};
};

// Ordered list of pointers. The list never deletes its elements by itself:
// the owner passes wantDelete (or calls Empty(true)) where it owns them.
template <class T>
class WDL_PtrList
{
public:
  WDL_PtrList() : mBuf(64) {}
  WDL_PtrList(const WDL_PtrList&) = delete;
  WDL_PtrList& operator=(const WDL_PtrList&) = delete;

  // Number of pointers.
  int GetSize() const { return mBuf.GetSize(); }
  // Pointer at index, or null for an index outside the list.
  T* Get(int index) const { return (index >= 0 && index < GetSize()) ? mBuf.Get()[index] : nullptr; }
  // The whole array (null while empty and never allocated).
  T** GetList() const { return mBuf.Get(); }

  // Appends p; returns p, or null when memory ran out.
  T* Add(T* p) { return mBuf.Add(p) ? p : nullptr; }

  // Inserts p at index (clamped into 0..size); returns p, or null when
  // memory ran out.
  T* Insert(int index, T* p)
  {
    int n = GetSize();
    if (index < 0) index = 0;
    if (index > n) index = n;
    if (!mBuf.Resize(n + 1)) return nullptr;
    T** a = mBuf.Get();
    memmove(a + index + 1, a + index, (size_t)(n - index) * sizeof(T*));
    a[index] = p;
    return p;
  }

  // Index of the first occurrence of p, or -1.
  int Find(const T* p) const
  {
    for (int i = 0; i < GetSize(); ++i)
      if (mBuf.Get()[i] == p) return i;
    return -1;
  }

  // Removes the pointer at index (ignored outside the list); deletes the
  // element too when wantDelete is true.
  void Delete(int index, bool wantDelete = false)
  {
    int n = GetSize();
    if (index < 0 || index >= n) return;
    T** a = mBuf.Get();
    T* p = a[index];
    memmove(a + index, a + index + 1, (size_t)(n - index - 1) * sizeof(T*));
    mBuf.Resize(n - 1);
    if (wantDelete) delete p;
  }

  // Removes every pointer, deleting the elements when wantDelete is true
  // (last to first).
  void Empty(bool wantDelete = false)
  {
    if (wantDelete)
      for (int i = GetSize() - 1; i >= 0; --i) delete mBuf.Get()[i];
    mBuf.Resize(0);
  }

private:
  WDL_TypedBuf<T*> mBuf;
};

// Recursive mutex: the thread that holds it may take it again.
class WDL_Mutex
{
public:
  // Takes the mutex (blocking; again by the holder is fine) / releases one hold.
  void Enter() { mMutex.lock(); }
  void Leave() { mMutex.unlock(); }

private:
  std::recursive_mutex mMutex;
};

// Holds a WDL_Mutex for the lifetime of the object; a null mutex is allowed
// and locks nothing.
class WDL_MutexLock
{
public:
  explicit WDL_MutexLock(WDL_Mutex* m) : mMutex(m)
  {
    if (mMutex) mMutex->Enter();
  }
  ~WDL_MutexLock()
  {
    if (mMutex) mMutex->Leave();
  }
  WDL_MutexLock(const WDL_MutexLock&) = delete;
  WDL_MutexLock& operator=(const WDL_MutexLock&) = delete;

private:
  WDL_Mutex* mMutex;
};
