#include "framework/SimdPath.h"

bool SimdPathSupported(SimdPath path)
{
  switch (path)
  {
    case SimdPath::kBaseline: return true;
    case SimdPath::kAvx2:
#if QUILL_HAVE_AVX2_PATH
    {
      // Also false when the operating system does not save the 256-bit
      // registers. The explicit detection makes the answer right even for a
      // first call from a static constructor that runs before the run-time's.
      static const bool yes = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
      return yes;
    }
#else
      return false;
#endif
  }
  return false;
}

SimdPath PreferredSimdPath()
{
  static const SimdPath path = SimdPathSupported(SimdPath::kAvx2) ? SimdPath::kAvx2 : SimdPath::kBaseline;
  return path;
}
