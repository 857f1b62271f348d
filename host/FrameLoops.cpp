#include "host/FrameLoops.h"

#include <cmath>
#include <cstring>

#if defined(__SSE__)
#include <emmintrin.h>
#endif
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define QUILL_HOST_AVX2 1
#include <immintrin.h>
#else
#define QUILL_HOST_AVX2 0
#endif

namespace
{

#if defined(__SSE__)
// The largest lane of `acc` if above m, else m.
float MaxLane(__m128 acc, float m)
{
  float lanes[4];
  _mm_storeu_ps(lanes, acc);
  for (float v : lanes) m = v > m ? v : m;
  return m;
}
#endif

} // namespace

namespace
{

#if QUILL_HOST_AVX2
// Eight frames a step; only moves and a max per element, so the results
// equal the SSE loops' bit for bit.
__attribute__((target("avx2"))) size_t DeinterleaveAvx2(const float* frame, size_t frames, float* left,
                                                       float* right)
{
  size_t i = 0;
  for (; i + 8 <= frames; i += 8)
  {
    const __m256 a = _mm256_loadu_ps(frame + 2 * i);     // l0 r0 l1 r1 | l2 r2 l3 r3
    const __m256 b = _mm256_loadu_ps(frame + 2 * i + 8); // l4 r4 l5 r5 | l6 r6 l7 r7
    // Within each half: l0 l1 l4 l5 | l2 l3 l6 l7; the 64-bit permute puts
    // the pairs in order.
    const __m256 l = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
    const __m256 r = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    _mm256_storeu_ps(left + i, _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(l), 0xD8)));
    _mm256_storeu_ps(right + i, _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(r), 0xD8)));
  }
  return i;
}

// The largest lane of `acc` if above m, else m.
__attribute__((target("avx2"))) float MaxLane8(__m256 acc, float m)
{
  return MaxLane(_mm256_extractf128_ps(acc, 1), MaxLane(_mm256_castps256_ps128(acc), m));
}

__attribute__((target("avx2"))) size_t InterleaveAvx2(const float* left, const float* right, size_t frames,
                                                     float* frame, size_t nch, float* m0, float* m1)
{
  const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
  __m256 acc0 = _mm256_setzero_ps(), acc1 = _mm256_setzero_ps();
  size_t i = 0;
  if (nch == 2)
    for (; i + 8 <= frames; i += 8)
    {
      const __m256 l = _mm256_loadu_ps(left + i), r = _mm256_loadu_ps(right + i);
      const __m256 lo = _mm256_unpacklo_ps(l, r); // l0 r0 l1 r1 | l4 r4 l5 r5
      const __m256 hi = _mm256_unpackhi_ps(l, r); // l2 r2 l3 r3 | l6 r6 l7 r7
      _mm256_storeu_ps(frame + 2 * i, _mm256_permute2f128_ps(lo, hi, 0x20));
      _mm256_storeu_ps(frame + 2 * i + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
      acc0 = _mm256_max_ps(_mm256_and_ps(l, magnitude), acc0);
      acc1 = _mm256_max_ps(_mm256_and_ps(r, magnitude), acc1);
    }
  else
    for (; i + 8 <= frames; i += 8)
    {
      const __m256 l = _mm256_loadu_ps(left + i);
      _mm256_storeu_ps(frame + i, l);
      acc0 = _mm256_max_ps(_mm256_and_ps(l, magnitude), acc0);
    }
  *m0 = MaxLane8(acc0, *m0);
  *m1 = MaxLane8(acc1, *m1);
  return i;
}
#endif

} // namespace

bool FrameLoopsCanUseAvx2()
{
#if QUILL_HOST_AVX2
  // Also false when the operating system does not save the 256-bit registers.
  static const bool yes = __builtin_cpu_supports("avx2");
  return yes;
#else
  return false;
#endif
}

void DeinterleaveFrames(const float* frame, size_t nch, size_t frames, float* planes, size_t span)
{
  DeinterleaveFramesWith(FrameLoopsCanUseAvx2(), frame, nch, frames, planes, span);
}

void InterleaveFrames(const float* planes, size_t span, size_t frames, float* frame, size_t nch, float* peaks)
{
  InterleaveFramesWith(FrameLoopsCanUseAvx2(), planes, span, frames, frame, nch, peaks);
}

void DeinterleaveFramesWith(bool avx2, const float* frame, size_t nch, size_t frames, float* planes, size_t span)
{
  if (nch == 1)
    std::memcpy(planes, frame, frames * sizeof(float));
  else
    SplitStereoWith(avx2, frame, frames, planes, planes + span);
}

void SplitStereo(const float* frame, size_t frames, float* left, float* right)
{
  SplitStereoWith(FrameLoopsCanUseAvx2(), frame, frames, left, right);
}

void SplitStereoWith(bool avx2, const float* frame, size_t frames, float* left, float* right)
{
  size_t i = 0;
#if QUILL_HOST_AVX2
  if (avx2 && FrameLoopsCanUseAvx2()) i = DeinterleaveAvx2(frame, frames, left, right);
#else
  (void)avx2;
#endif
#if defined(__SSE__)
  // The compiler leaves this strided split scalar, one float per load and
  // store; two shuffles split four frames at once.
  for (; i + 4 <= frames; i += 4)
  {
    const __m128 a = _mm_loadu_ps(frame + 2 * i);      // l0 r0 l1 r1
    const __m128 b = _mm_loadu_ps(frame + 2 * i + 4);  // l2 r2 l3 r3
    _mm_storeu_ps(left + i, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    _mm_storeu_ps(right + i, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
  }
#endif
  for (; i < frames; ++i)
  {
    left[i] = frame[2 * i];
    right[i] = frame[2 * i + 1];
  }
}

// The reverse of DeinterleaveFrames, raising peaks[c] to the largest magnitude
// written to channel c (NaN skipped), so that the file writer need not scan
// the chunk again for its PEAK chunk.
void InterleaveFramesWith(bool avx2, const float* planes, size_t span, size_t frames, float* frame, size_t nch,
                          float* peaks)
{
  const float* left = planes;
  const float* right = planes + span;
  float m0 = peaks[0], m1 = nch == 2 ? peaks[1] : 0.0f;
  size_t i = 0;
#if QUILL_HOST_AVX2
  if (avx2 && FrameLoopsCanUseAvx2()) i = InterleaveAvx2(left, right, frames, frame, nch, &m0, &m1);
#else
  (void)avx2;
#endif
#if defined(__SSE__)
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  // maxps returns its second operand when either is NaN: NaN is skipped.
  __m128 acc0 = _mm_setzero_ps(), acc1 = _mm_setzero_ps();
  if (nch == 2)
    for (; i + 4 <= frames; i += 4)
    {
      const __m128 l = _mm_loadu_ps(left + i), r = _mm_loadu_ps(right + i);
      _mm_storeu_ps(frame + 2 * i, _mm_unpacklo_ps(l, r));
      _mm_storeu_ps(frame + 2 * i + 4, _mm_unpackhi_ps(l, r));
      acc0 = _mm_max_ps(_mm_and_ps(l, magnitude), acc0);
      acc1 = _mm_max_ps(_mm_and_ps(r, magnitude), acc1);
    }
  else
    for (; i + 4 <= frames; i += 4)
    {
      const __m128 l = _mm_loadu_ps(left + i);
      _mm_storeu_ps(frame + i, l);
      acc0 = _mm_max_ps(_mm_and_ps(l, magnitude), acc0);
    }
  m0 = MaxLane(acc0, m0);
  m1 = MaxLane(acc1, m1);
#endif
  for (; i < frames; ++i)
  {
    const float l = left[i], a = std::fabs(l);
    if (a > m0) m0 = a;
    if (nch == 1)
    {
      frame[i] = l;
      continue;
    }
    const float r = right[i], b = std::fabs(r);
    if (b > m1) m1 = b;
    frame[2 * i] = l;
    frame[2 * i + 1] = r;
  }
  peaks[0] = m0;
  if (nch == 2) peaks[1] = m1;
}
