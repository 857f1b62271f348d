#include "tremolo/TremoloKernels.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if QUILL_HAVE_AVX2_PATH
#include <immintrin.h>
#endif

namespace
{

constexpr int kLanes = 8;        // cosine values computed side by side
constexpr int kReseedEvery = 64; // turns of eight before an exact re-seed

// (v + 1) / 2 with v limited to +-1: the square's edge lines run beyond it,
// and rounding can take a ramp's or a rotation's end a few ulps past it.
inline double toUnit(double v) { return ((v > 1.0 ? 1.0 : (v < -1.0 ? -1.0 : v)) + 1.0) * 0.5; }

// Lane 0 from an exact cosine and sine of `angle`, lanes 1..7 each one turn
// by (c1, s1) further.
inline void seedLanes(double* c, double* s, double angle, double c1, double s1)
{
  c[0] = std::cos(angle);
  s[0] = std::sin(angle);
  for (int j = 1; j < kLanes; ++j)
  {
    c[j] = c[j - 1] * c1 - s[j - 1] * s1;
    s[j] = s[j - 1] * c1 + c[j - 1] * s1;
  }
}

// ---------------------------------------------------------------------------
// Baseline: two doubles side by side, which the compiler keeps in one SSE2
// register.

typedef double Pair __attribute__((vector_size(16)));

inline Pair pairOf(double a, double b) { return Pair{a, b}; }
inline void store(double* dst, Pair v) { std::memcpy(dst, &v, sizeof v); }

inline Pair toUnit(Pair v)
{
  const Pair one = pairOf(1.0, 1.0), minusOne = pairOf(-1.0, -1.0), half = pairOf(0.5, 0.5);
#if defined(__SSE2__)
  v = _mm_max_pd(_mm_min_pd(v, one), minusOne);
#else
  v = v > one ? one : v;
  v = v < minusOne ? minusOne : v;
#endif
  return (v + one) * half;
}

void applyGainBaseline(const double* in, double* out, const double* amp, int n, double base, double slope)
{
  // Each pair is loaded before it is stored, so in and out may be the same
  // buffer.
  const Pair b2 = {base, base}, s2 = {slope, slope};
  int j = 0;
  for (; j + 2 <= n; j += 2)
  {
    Pair x, a;
    std::memcpy(&x, in + j, sizeof x);
    std::memcpy(&a, amp + j, sizeof a);
    const Pair y = x * (b2 + s2 * a);
    std::memcpy(out + j, &y, sizeof y);
  }
  if (j < n) out[j] = in[j] * (base + slope * amp[j]);
}

void rampRunBaseline(double* dst, int n, double x0, double step, double a, double b)
{
  const double v0 = a * x0 + b, dv = a * step;
  const Pair dv2 = pairOf(dv, dv), v02 = pairOf(v0, v0), two = pairOf(2.0, 2.0);
  Pair k2 = pairOf(0.0, 1.0);
  int k = 0;
  for (; k + 2 <= n; k += 2, k2 += two) store(dst + k, toUnit(v02 + k2 * dv2));
  if (k < n) dst[k] = toUnit(v0 + k * dv);
}

// One value pair of a cosine run: its output, then the turn of its angles.
inline void cosinePair(double* dst, Pair& c, Pair& s, Pair& k, Pair C, Pair S, Pair W, Pair v0, Pair dv, Pair eight)
{
  store(dst, toUnit(c * W + (v0 + k * dv)));
  const Pair cn = c * C - s * S;
  s = s * C + c * S;
  c = cn;
  k += eight;
}

void cosineRunBaseline(double* dst, int n, const CosineRunArgs& r)
{
  const double v0 = (r.a * r.x0 + r.b) * r.wl, dv = r.a * r.step * r.wl;
  const Pair C = pairOf(r.c8, r.c8), S = pairOf(r.s8, r.s8), W = pairOf(r.wc, r.wc), dv2 = pairOf(dv, dv),
             v02 = pairOf(v0, v0), eight = pairOf(8.0, 8.0);
  int k = 0;
  while (k < n)
  {
    double c[kLanes], s[kLanes];
    seedLanes(c, s, r.t0 + k * r.theta, r.c1, r.s1);
    // Four named pairs rather than an array, so that they stay in registers.
    Pair c0 = pairOf(c[0], c[1]), c1 = pairOf(c[2], c[3]), c2 = pairOf(c[4], c[5]), c3 = pairOf(c[6], c[7]);
    Pair s0 = pairOf(s[0], s[1]), s1 = pairOf(s[2], s[3]), s2 = pairOf(s[4], s[5]), s3 = pairOf(s[6], s[7]);
    Pair k0 = pairOf(k, k + 1), k1 = pairOf(k + 2, k + 3), k2 = pairOf(k + 4, k + 5), k3 = pairOf(k + 6, k + 7);
    const int stop = n - k < kLanes * kReseedEvery ? n : k + kLanes * kReseedEvery;
    for (; k + kLanes <= stop; k += kLanes)
    {
      cosinePair(dst + k, c0, s0, k0, C, S, W, v02, dv2, eight);
      cosinePair(dst + k + 2, c1, s1, k1, C, S, W, v02, dv2, eight);
      cosinePair(dst + k + 4, c2, s2, k2, C, S, W, v02, dv2, eight);
      cosinePair(dst + k + 6, c3, s3, k3, C, S, W, v02, dv2, eight);
    }
    // Fewer than eight left before the stop: the lanes hold their angles.
    const double lane[kLanes] = {c0[0], c0[1], c1[0], c1[1], c2[0], c2[1], c3[0], c3[1]};
    for (int j = 0; k < stop; ++j, ++k) dst[k] = toUnit(lane[j] * r.wc + (v0 + k * dv));
  }
}

constexpr TremoloKernels kBaselineKernels = {applyGainBaseline, rampRunBaseline, cosineRunBaseline};

// ---------------------------------------------------------------------------
// AVX2: four doubles per register. Intrinsics rather than the compiler's
// vector types, so that no 256-bit value crosses a function boundary
// compiled for the baseline.

#if QUILL_HAVE_AVX2_PATH

#define QUILL_AVX2 __attribute__((target("avx2")))

QUILL_AVX2 inline __m256d toUnit4(__m256d v)
{
  const __m256d one = _mm256_set1_pd(1.0);
  // min, then max, with the operands in the baseline's order: the same
  // result for every input.
  v = _mm256_max_pd(_mm256_min_pd(v, one), _mm256_set1_pd(-1.0));
  return _mm256_mul_pd(_mm256_add_pd(v, one), _mm256_set1_pd(0.5));
}

QUILL_AVX2 void applyGainAvx2(const double* in, double* out, const double* amp, int n, double base, double slope)
{
  const __m256d b4 = _mm256_set1_pd(base), s4 = _mm256_set1_pd(slope);
  int j = 0;
  for (; j + 8 <= n; j += 8)
  {
    // Both quads are loaded before either is stored: in and out may be the
    // same buffer.
    const __m256d x0 = _mm256_loadu_pd(in + j), x1 = _mm256_loadu_pd(in + j + 4);
    const __m256d a0 = _mm256_loadu_pd(amp + j), a1 = _mm256_loadu_pd(amp + j + 4);
    _mm256_storeu_pd(out + j, _mm256_mul_pd(x0, _mm256_add_pd(b4, _mm256_mul_pd(s4, a0))));
    _mm256_storeu_pd(out + j + 4, _mm256_mul_pd(x1, _mm256_add_pd(b4, _mm256_mul_pd(s4, a1))));
  }
  for (; j < n; ++j) out[j] = in[j] * (base + slope * amp[j]);
}

QUILL_AVX2 void rampRunAvx2(double* dst, int n, double x0, double step, double a, double b)
{
  const double v0 = a * x0 + b, dv = a * step;
  const __m256d dv4 = _mm256_set1_pd(dv), v04 = _mm256_set1_pd(v0), eight = _mm256_set1_pd(8.0);
  // Two counters, so that consecutive quads do not wait for each other's add.
  __m256d k0 = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0), k1 = _mm256_setr_pd(4.0, 5.0, 6.0, 7.0);
  int k = 0;
  for (; k + 8 <= n; k += 8)
  {
    _mm256_storeu_pd(dst + k, toUnit4(_mm256_add_pd(v04, _mm256_mul_pd(k0, dv4))));
    _mm256_storeu_pd(dst + k + 4, toUnit4(_mm256_add_pd(v04, _mm256_mul_pd(k1, dv4))));
    k0 = _mm256_add_pd(k0, eight);
    k1 = _mm256_add_pd(k1, eight);
  }
  for (; k < n; ++k) dst[k] = toUnit(v0 + k * dv);
}

QUILL_AVX2 inline void cosineQuad(double* dst, __m256d& c, __m256d& s, __m256d& k, __m256d C, __m256d S, __m256d W,
                                  __m256d v0, __m256d dv, __m256d eight)
{
  _mm256_storeu_pd(dst, toUnit4(_mm256_add_pd(_mm256_mul_pd(c, W), _mm256_add_pd(v0, _mm256_mul_pd(k, dv)))));
  const __m256d cn = _mm256_sub_pd(_mm256_mul_pd(c, C), _mm256_mul_pd(s, S));
  s = _mm256_add_pd(_mm256_mul_pd(s, C), _mm256_mul_pd(c, S));
  c = cn;
  k = _mm256_add_pd(k, eight);
}

QUILL_AVX2 void cosineRunAvx2(double* dst, int n, const CosineRunArgs& r)
{
  const double v0 = (r.a * r.x0 + r.b) * r.wl, dv = r.a * r.step * r.wl;
  const __m256d C = _mm256_set1_pd(r.c8), S = _mm256_set1_pd(r.s8), W = _mm256_set1_pd(r.wc),
                dv4 = _mm256_set1_pd(dv), v04 = _mm256_set1_pd(v0), eight = _mm256_set1_pd(8.0);
  int k = 0;
  while (k < n)
  {
    double c[kLanes], s[kLanes];
    seedLanes(c, s, r.t0 + k * r.theta, r.c1, r.s1);
    __m256d c0 = _mm256_loadu_pd(c), c1 = _mm256_loadu_pd(c + 4);
    __m256d s0 = _mm256_loadu_pd(s), s1 = _mm256_loadu_pd(s + 4);
    __m256d k0 = _mm256_setr_pd(k, k + 1, k + 2, k + 3), k1 = _mm256_setr_pd(k + 4, k + 5, k + 6, k + 7);
    const int stop = n - k < kLanes * kReseedEvery ? n : k + kLanes * kReseedEvery;
    for (; k + kLanes <= stop; k += kLanes)
    {
      cosineQuad(dst + k, c0, s0, k0, C, S, W, v04, dv4, eight);
      cosineQuad(dst + k + 4, c1, s1, k1, C, S, W, v04, dv4, eight);
    }
    double lane[kLanes];
    _mm256_storeu_pd(lane, c0);
    _mm256_storeu_pd(lane + 4, c1);
    for (int j = 0; k < stop; ++j, ++k) dst[k] = toUnit(lane[j] * r.wc + (v0 + k * dv));
  }
}

#undef QUILL_AVX2

constexpr TremoloKernels kAvx2Kernels = {applyGainAvx2, rampRunAvx2, cosineRunAvx2};
constexpr const TremoloKernels* kAvx2Table = &kAvx2Kernels;

#else

constexpr const TremoloKernels* kAvx2Table = nullptr;

#endif

} // namespace

const TremoloKernels& TremoloKernelsFor(SimdPath path)
{
  return KernelsFor(path, kBaselineKernels, kAvx2Table);
}

const TremoloKernels& ActiveTremoloKernels()
{
  static const TremoloKernels& kernels = TremoloKernelsFor(PreferredSimdPath());
  return kernels;
}
