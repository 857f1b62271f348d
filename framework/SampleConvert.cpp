#include "framework/SampleConvert.h"

#if QUILL_HAVE_AVX2_PATH
#include <immintrin.h>
#endif

namespace
{

// Eight at a time with a fixed count, so the compiler converts them in
// vector registers.
template <class From, class To>
void convertBlock(const From* src, To* dst, int n)
{
  int s = 0;
  for (; s + 8 <= n; s += 8)
    for (int k = 0; k < 8; ++k) dst[s + k] = static_cast<To>(src[s + k]);
  for (; s < n; ++s) dst[s] = static_cast<To>(src[s]);
}

void floatToDoubleBaseline(const float* src, double* dst, int n) { convertBlock(src, dst, n); }
void doubleToFloatBaseline(const double* src, float* dst, int n) { convertBlock(src, dst, n); }

void addDoubleToFloatBaseline(const double* src, float* dst, int n)
{
  for (int s = 0; s < n; ++s) dst[s] += static_cast<float>(src[s]);
}

constexpr SampleConvertKernels kBaselineKernels = {floatToDoubleBaseline, doubleToFloatBaseline,
                                                   addDoubleToFloatBaseline};

#if QUILL_HAVE_AVX2_PATH

__attribute__((target("avx2"))) void floatToDoubleAvx2(const float* src, double* dst, int n)
{
  int s = 0;
  for (; s + 8 <= n; s += 8)
  {
    _mm256_storeu_pd(dst + s, _mm256_cvtps_pd(_mm_loadu_ps(src + s)));
    _mm256_storeu_pd(dst + s + 4, _mm256_cvtps_pd(_mm_loadu_ps(src + s + 4)));
  }
  for (; s < n; ++s) dst[s] = static_cast<double>(src[s]);
}

__attribute__((target("avx2"))) void doubleToFloatAvx2(const double* src, float* dst, int n)
{
  int s = 0;
  for (; s + 8 <= n; s += 8)
  {
    // Two halves joined into one 256-bit store: the stores, not the
    // conversions, set the pace.
    const __m128 lo = _mm256_cvtpd_ps(_mm256_loadu_pd(src + s));
    const __m128 hi = _mm256_cvtpd_ps(_mm256_loadu_pd(src + s + 4));
    _mm256_storeu_ps(dst + s, _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1));
  }
  for (; s < n; ++s) dst[s] = static_cast<float>(src[s]);
}

__attribute__((target("avx2"))) void addDoubleToFloatAvx2(const double* src, float* dst, int n)
{
  int s = 0;
  for (; s + 8 <= n; s += 8)
  {
    const __m128 lo = _mm256_cvtpd_ps(_mm256_loadu_pd(src + s));
    const __m128 hi = _mm256_cvtpd_ps(_mm256_loadu_pd(src + s + 4));
    const __m256 add = _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
    _mm256_storeu_ps(dst + s, _mm256_add_ps(_mm256_loadu_ps(dst + s), add));
  }
  for (; s < n; ++s) dst[s] += static_cast<float>(src[s]);
}

constexpr SampleConvertKernels kAvx2Kernels = {floatToDoubleAvx2, doubleToFloatAvx2, addDoubleToFloatAvx2};
constexpr const SampleConvertKernels* kAvx2Table = &kAvx2Kernels;

#else

constexpr const SampleConvertKernels* kAvx2Table = nullptr;

#endif

} // namespace

const SampleConvertKernels& SampleConvertKernelsFor(SimdPath path)
{
  return KernelsFor(path, kBaselineKernels, kAvx2Table);
}

const SampleConvertKernels& ActiveSampleConvertKernels()
{
  static const SampleConvertKernels& kernels = SampleConvertKernelsFor(PreferredSimdPath());
  return kernels;
}
