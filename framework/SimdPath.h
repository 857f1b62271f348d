// SimdPath: which vector instructions the render loops run with.
//
// The build targets every x86-64 processor, so its own code uses SSE2 at
// most. Loops that gain from wider registers also come in an AVX2 variant,
// compiled for that instruction set alone and chosen at run time when the
// processor (and the operating system) supports it. Each variant performs
// the same operations in the same order on every element, so a render gives
// the same bits on every machine; AVX2 variants never use fused
// multiply-adds, which would round differently.
//
// On other processors only the baseline exists.
#pragma once

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define QUILL_HAVE_AVX2_PATH 1
#else
#define QUILL_HAVE_AVX2_PATH 0
#endif

enum class SimdPath
{
  kBaseline, // SSE2 on x86-64, plain code elsewhere
  kAvx2,     // 256-bit registers, without FMA
};

// Whether this build and this processor can run `path`; kBaseline always
// can. Any thread.
bool SimdPathSupported(SimdPath path);

// The widest supported path, found once per process. Any thread.
SimdPath PreferredSimdPath();

// The kernel table for `path`: *avx2 when that path is asked for, built
// (non-null) and supported here, the baseline table otherwise. Any thread.
template <class Kernels>
const Kernels& KernelsFor(SimdPath path, const Kernels& baseline, const Kernels* avx2)
{
  return path == SimdPath::kAvx2 && avx2 && SimdPathSupported(path) ? *avx2 : baseline;
}
