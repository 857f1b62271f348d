// IFlushDenormals: flushes denormal numbers to zero on the calling thread for
// the lifetime of the object, then restores the caller's mode.
//
// A decaying signal (a reverb tail, a fade to silence) passes through values
// so small that the processor handles them in slow microcode; every multiply
// of such a value can cost a hundred times a normal one. A render sets this
// for its duration: results that small are inaudible, and the host's own
// floating-point mode is untouched once the render returns.
//
//   { IFlushDenormals flush; /* render */ }
//
// On x86-64 it sets the SSE control register's flush-to-zero and
// denormals-are-zero bits, on 64-bit ARM the FZ bit of FPCR; elsewhere it
// does nothing. Construction and destruction each cost a few cycles.
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

class IFlushDenormals
{
public:
  // Saves the calling thread's mode and turns flushing on. Any thread.
  IFlushDenormals() : mSaved(Read()) { Write(mSaved | kFlushBits); }
  // Puts the saved mode back. Same thread as the constructor.
  ~IFlushDenormals() { Write(mSaved); }
  IFlushDenormals(const IFlushDenormals&) = delete;
  IFlushDenormals& operator=(const IFlushDenormals&) = delete;

private:
#if defined(__x86_64__) || defined(_M_X64)
  static constexpr uint64_t kFlushBits = 0x8040; // FTZ (bit 15) and DAZ (bit 6)
  static uint64_t Read() { return _mm_getcsr(); }
  static void Write(uint64_t mode) { _mm_setcsr(static_cast<unsigned int>(mode)); }
#elif defined(__aarch64__)
  static constexpr uint64_t kFlushBits = uint64_t(1) << 24; // FPCR.FZ
  static uint64_t Read()
  {
    uint64_t v;
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(v));
    return v;
  }
  static void Write(uint64_t mode) { __asm__ __volatile__("msr fpcr, %0" : : "r"(mode)); }
#else
  static constexpr uint64_t kFlushBits = 0;
  static uint64_t Read() { return 0; }
  static void Write(uint64_t) {}
#endif

  uint64_t mSaved;
};
