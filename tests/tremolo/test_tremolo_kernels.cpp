// Every vector path of the render loops against plain scalar loops, bit for
// bit: odd lengths leave tails of every size, offset pointers break the
// vector alignment, and the element after the last must stay untouched.
#include "framework/SampleConvert.h"
#include "tremolo/TremoloKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

// How test names and messages show a path.
void PrintTo(SimdPath path, std::ostream* os) { *os << (path == SimdPath::kAvx2 ? "AVX2" : "baseline"); }

namespace {

constexpr double kGuard = 12345.0;
const int kLengths[] = {1, 3, 7, 9, 13, 515, 1031};
const int kOffsets[] = {0, 1, 3};

double unit(double v) { return ((v > 1.0 ? 1.0 : (v < -1.0 ? -1.0 : v)) + 1.0) * 0.5; }

// The cosine run as a scalar loop over the same eight rotating lanes.
void cosineReference(double* dst, int n, const CosineRunArgs& r) {
  const double v0 = (r.a * r.x0 + r.b) * r.wl, dv = r.a * r.step * r.wl;
  for (int start = 0; start < n; start += 512) {
    double c[8], s[8];
    c[0] = std::cos(r.t0 + start * r.theta);
    s[0] = std::sin(r.t0 + start * r.theta);
    for (int j = 1; j < 8; ++j) {
      c[j] = c[j - 1] * r.c1 - s[j - 1] * r.s1;
      s[j] = s[j - 1] * r.c1 + c[j - 1] * r.s1;
    }
    for (int k = start; k < n && k < start + 512; ++k) {
      const int j = (k - start) % 8;
      dst[k] = unit(c[j] * r.wc + (v0 + k * dv));
      if (j == 7)
        for (int l = 0; l < 8; ++l) {
          const double cn = c[l] * r.c8 - s[l] * r.s8;
          s[l] = s[l] * r.c8 + c[l] * r.s8;
          c[l] = cn;
        }
    }
  }
}

// Random values over many magnitudes: float conversions overflow, round and
// go subnormal among them.
std::vector<double> randomValues(int n, unsigned seed, double lo, double hi, bool wideExponents) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> value(lo, hi);
  std::uniform_int_distribution<int> exponent(-48, 40);
  std::vector<double> v(n);
  for (double& x : v) x = value(rng) * (wideExponents ? std::pow(10.0, exponent(rng)) : 1.0);
  return v;
}

// Compares `got` with `want` over [0, n) by their bits and checks the guard
// element after them.
template <class T>
void expectSameBits(const T* got, const T* want, int n, T guard, const std::string& what) {
  for (int i = 0; i < n; ++i)
    if (std::memcmp(&got[i], &want[i], sizeof(T)) != 0) {
      ADD_FAILURE() << what << ": element " << i << " is " << got[i] << ", the scalar loop gives " << want[i];
      return;
    }
  EXPECT_EQ(got[n], guard) << what << ": wrote past the end";
}

class DispatchedLoops : public testing::TestWithParam<SimdPath> {
 protected:
  void SetUp() override {
    if (!SimdPathSupported(GetParam())) GTEST_SKIP() << "this processor lacks the instruction set";
  }
};

TEST_P(DispatchedLoops, ChoosesItsOwnLoops) {
  const bool baseline = GetParam() == SimdPath::kBaseline;
  EXPECT_EQ(&TremoloKernelsFor(GetParam()) == &TremoloKernelsFor(SimdPath::kBaseline), baseline);
  EXPECT_EQ(&SampleConvertKernelsFor(GetParam()) == &SampleConvertKernelsFor(SimdPath::kBaseline), baseline);
}

TEST_P(DispatchedLoops, MatchPlainScalarLoopsBitForBitAtEveryLengthAndAlignment) {
  const TremoloKernels& trem = TremoloKernelsFor(GetParam());
  const SampleConvertKernels& conv = SampleConvertKernelsFor(GetParam());
  const double base = 0.37, slope = -0.81;
  CosineRunArgs cosine;
  cosine.t0 = 0.4;
  cosine.theta = 0.0123;
  cosine.c1 = std::cos(cosine.theta);
  cosine.s1 = std::sin(cosine.theta);
  cosine.c8 = std::cos(8 * cosine.theta);
  cosine.s8 = std::sin(8 * cosine.theta);
  cosine.x0 = 0.3;
  cosine.step = 0.0017;
  cosine.wc = 0.6;
  cosine.a = -0.5;
  cosine.b = 0.8;
  cosine.wl = 0.4;

  for (int n : kLengths) {
    for (int off : kOffsets) {
      const std::string at = "n " + std::to_string(n) + ", offset " + std::to_string(off);
      const std::vector<double> in = randomValues(n + off, 1u + n, -1.5, 1.5, false);
      const std::vector<double> amp = randomValues(n + off, 2u + n, 0.0, 1.0, false);
      const std::vector<double> wide = randomValues(n + off, 3u + n, -2.0, 2.0, true);
      std::vector<double> want(n + 1, kGuard), got(n + off + 1, kGuard);

      for (int j = 0; j < n; ++j) want[j] = in[off + j] * (base + slope * amp[off + j]);
      trem.applyGain(in.data() + off, got.data() + off, amp.data() + off, n, base, slope);
      expectSameBits(got.data() + off, want.data(), n, kGuard, "gain, " + at);
      std::vector<double> inPlace = in;
      inPlace.push_back(kGuard);
      trem.applyGain(inPlace.data() + off, inPlace.data() + off, amp.data() + off, n, base, slope);
      expectSameBits(inPlace.data() + off, want.data(), n, kGuard, "gain in place, " + at);

      // Ramps that start above +1 and end below -1 at the longest length.
      const double x0 = 0.3, step = 0.0017, a = -2.1, b = 2.0;
      for (int k = 0; k < n; ++k) want[k] = unit((a * x0 + b) + k * (a * step));
      std::fill(got.begin(), got.end(), kGuard);
      trem.rampRun(got.data() + off, n, x0, step, a, b);
      expectSameBits(got.data() + off, want.data(), n, kGuard, "ramp, " + at);

      cosineReference(want.data(), n, cosine);
      std::fill(got.begin(), got.end(), kGuard);
      trem.cosineRun(got.data() + off, n, cosine);
      expectSameBits(got.data() + off, want.data(), n, kGuard, "cosine, " + at);

      std::vector<float> floats(n + off + 1, 0.0f), wantFloats(n + 1, 0.0f);
      for (int j = 0; j < n; ++j) wantFloats[j] = static_cast<float>(wide[off + j]);
      wantFloats[n] = floats[n + off] = 7.0f;
      conv.doubleToFloat(wide.data() + off, floats.data() + off, n);
      expectSameBits(floats.data() + off, wantFloats.data(), n, 7.0f, "to float, " + at);

      std::vector<float> sums(floats);
      for (int j = 0; j < n; ++j) wantFloats[j] += static_cast<float>(in[off + j]);
      conv.addDoubleToFloat(in.data() + off, sums.data() + off, n);
      expectSameBits(sums.data() + off, wantFloats.data(), n, 7.0f, "added to float, " + at);

      for (int j = 0; j < n; ++j) want[j] = static_cast<double>(floats[off + j]);
      std::fill(got.begin(), got.end(), kGuard);
      conv.floatToDouble(floats.data() + off, got.data() + off, n);
      expectSameBits(got.data() + off, want.data(), n, kGuard, "to double, " + at);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, DispatchedLoops, testing::Values(SimdPath::kBaseline, SimdPath::kAvx2),
                         [](const testing::TestParamInfo<SimdPath>& info) {
                           return std::string(info.param == SimdPath::kAvx2 ? "Avx2" : "Baseline");
                         });

}  // namespace
