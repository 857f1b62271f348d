#include "tremolo/ExtLFO.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Brings a position into [0, cycle). fmod is exact, so for the usual case of
// one cycle too far this equals a single subtraction; unlike a subtraction
// loop it also terminates for huge or non-finite input, and it folds negative
// positions (a negative sync phase) back into the cycle instead of letting the
// ramps run past +-1.
inline double wrapCycle(double x, double cycle) {
  if (x >= cycle) {
    x = std::fmod(x, cycle);
  } else if (x < 0.0) {
    x = std::fmod(x, cycle) + cycle;
    if (x >= cycle) x = 0.0;
  }
  return x;
}

}  // namespace

ExtLFO::ExtLFO()
    : pi(3.141592653589793),
      frequency(8.0),
      sampleRate(44100.0),
      symmetry(0.5),
      form(0.0),
      internalPhase(0.0),
      phase(0.0),
      syncPhase(0.0),
      increment(0.0),
      edgeTime(0.008),
      triFallSlope(0.0),
      triRiseSlope(0.0),
      triFallOffset(1.0),
      triRiseOffset(0.0),
      sqrFallSlope(0.0),
      sqrRiseSlope(0.0),
      sqrFallOffset(0.0),
      sqrRiseOffset(0.0),
      sqrFallStart(0.0),
      sqrRiseEnd(0.0),
      effSymmetry(0.5) {
  updateIncrement();
  // The owner sets every shape value before the first block anyway; computing
  // them here keeps a bare instance usable too.
  updateShape();
}

double ExtLFO::edgeFraction() const {
  return std::min(edgeTime * frequency, 0.5);
}

double ExtLFO::offset(bool running) const {
  const double sym = std::fabs(symmetry - 0.5);
  return running ? pi * (sym + 2.0 * syncPhase + phase) : pi * (sym + phase);
}

void ExtLFO::setFrequency(double hz) {
  if (!(hz > 0.0) || !std::isfinite(hz)) return;  // keep the last valid rate
  frequency = hz;
  updateIncrement();
  // The edge time is a fixed duration, so both the triangle and the square
  // depend on the rate.
  updateShape();
}

double ExtLFO::updateIncrement() {
  increment = frequency * 2.0 * pi / sampleRate;
  return increment;
}

void ExtLFO::setSampleRate(double sr) {
  if (!(sr > 0.0) || !std::isfinite(sr)) return;
  sampleRate = sr;
  updateIncrement();
}

void ExtLFO::setSymmetry(double s) {
  // Outside 0..1 the effective symmetry could reach 0 or 1 and the ramp
  // slopes would divide by zero.
  symmetry = std::isfinite(s) ? std::clamp(s, 0.0, 1.0) : 0.5;
  correctSymmetry();
}

void ExtLFO::setForm(double f) {
  form = std::isfinite(f) ? std::clamp(f, 0.0, 2.0) : 0.0;
  correctSqrAmp();
}

void ExtLFO::correctSymmetry() {
  updateTriangle();
  if (form > 1.0) correctSqrAmp();
}

void ExtLFO::updateShape() {
  updateTriangle();
  correctSqrAmp();
}

void ExtLFO::updateTriangle() {
  const double t = edgeFraction();
  // d runs from t to 1 - t: neither half of the cycle gets shorter than one
  // edge time.
  const double d = symmetry * (1.0 - 2.0 * t) + t;
  effSymmetry = d;
  triFallSlope = -1.0 / (pi * d);
  triRiseSlope = 1.0 / (pi * (1.0 - d));
  triFallOffset = 1.0;
  triRiseOffset = (-1.0 - d) / (1.0 - d);
}

void ExtLFO::correctSqrAmp() {
  // The square is built from two edge lines that widen from the triangle's
  // ramps (s = 0) to edges exactly w wide (s = 1); generate clips them to +-1,
  // which makes the plateaus.
  const double Q = 2.0 * pi;
  const double d = effSymmetry;
  const double s = form - 1.0;
  const double w = edgeFraction() * Q;
  const double A = (Q - 2.0 * w) * (1.0 - d);
  const double B = Q * d;
  sqrRiseEnd = Q - (Q - (A * (1.0 - d) + B + w)) * s;
  sqrFallStart = (B - d * A - w) * s;
  const double C = A * (1.0 - d) * s + B;  // where the rising edge leaves -1
  const double D = B - d * A * s;          // where the falling edge reaches -1
  sqrRiseSlope = -2.0 / (C - sqrRiseEnd);
  sqrRiseOffset = (C + sqrRiseEnd) / (C - sqrRiseEnd);
  sqrFallSlope = -2.0 / (D - sqrFallStart);
  sqrFallOffset = (sqrFallStart + D) / (D - sqrFallStart);
}

namespace {

constexpr int kLanes = 8;       // values computed side by side
constexpr int kReseedEvery = 64; // rotations of eight before an exact re-seed

// Number of samples k = 0, 1, ... (at most `most`) whose position x0 + k *
// step lies before `end`, given x0 < end: the positions are computed exactly
// as the run computes them, so the count and the run agree at the edge.
int samplesBefore(double x0, double step, double end, int most) {
  const double r = (end - x0) / step;
  int n = r >= most ? most : static_cast<int>(std::ceil(r));
  if (n < 1) n = 1;
  while (n > 1 && x0 + (n - 1) * step >= end) --n;
  while (n < most && x0 + n * step < end) ++n;
  return n;
}

// Two doubles side by side; the compiler keeps them in one vector register.
typedef double Pair __attribute__((vector_size(16)));

inline Pair pairOf(double a, double b) { return Pair{a, b}; }
inline void store(double* dst, Pair v) { std::memcpy(dst, &v, sizeof v); }

// (v + 1) / 2 with v limited to +-1: the square's edge lines run beyond it,
// and rounding can take a ramp's or a rotation's end a few ulps past it.
inline double toUnit(double v) { return ((v > 1.0 ? 1.0 : (v < -1.0 ? -1.0 : v)) + 1.0) * 0.5; }
inline Pair toUnit(Pair v) {
  const Pair one = pairOf(1.0, 1.0), minusOne = pairOf(-1.0, -1.0), half = pairOf(0.5, 0.5);
#if defined(__SSE2__)
  v = _mm_max_pd(_mm_min_pd(v, one), minusOne);
#else
  v = v > one ? one : v;
  v = v < minusOne ? minusOne : v;
#endif
  return (v + one) * half;
}

// One value pair of a cosine run: its output, then the turn of its angles.
inline void cosinePair(double* dst, Pair& c, Pair& s, Pair& k, Pair C, Pair S, Pair W, Pair v0, Pair dv,
                       Pair eight) {
  store(dst, toUnit(c * W + (v0 + k * dv)));
  const Pair cn = c * C - s * S;
  s = s * C + c * S;
  c = cn;
  k += eight;
}

// dst[k] = toUnit(a * (x0 + k * step) + b).
void rampRun(double* dst, int n, double x0, double step, double a, double b) {
  const double v0 = a * x0 + b, dv = a * step;
  const Pair dv2 = pairOf(dv, dv), v02 = pairOf(v0, v0), two = pairOf(2.0, 2.0);
  Pair k2 = pairOf(0.0, 1.0);
  int k = 0;
  for (; k + 2 <= n; k += 2, k2 += two) store(dst + k, toUnit(v02 + k2 * dv2));
  if (k < n) dst[k] = toUnit(v0 + k * dv);
}

// dst[k] = toUnit(cos(t0 + k * theta) * wc + (a * x + b) * wl) with
// x = x0 + k * step. Eight lanes hold the cosine and sine of eight
// consecutive angles and turn by 8 * theta together. Each turn adds at most a
// few ulps of error; an exact re-seed every 512 values keeps the total below
// 1e-13.
void cosineRun(double* dst, int n, double t0, double theta, double c1, double s1, double c8, double s8,
               double x0, double step, double wc, double a, double b, double wl) {
  const double v0 = (a * x0 + b) * wl, dv = a * step * wl;
  const Pair C = pairOf(c8, c8), S = pairOf(s8, s8), W = pairOf(wc, wc), dv2 = pairOf(dv, dv),
             v02 = pairOf(v0, v0), eight = pairOf(8.0, 8.0);
  int k = 0;
  while (k < n) {
    double c[kLanes], s[kLanes];
    c[0] = std::cos(t0 + k * theta);
    s[0] = std::sin(t0 + k * theta);
    for (int j = 1; j < kLanes; ++j) {
      c[j] = c[j - 1] * c1 - s[j - 1] * s1;
      s[j] = s[j - 1] * c1 + c[j - 1] * s1;
    }
    // Four named pairs rather than an array, so that they stay in registers.
    Pair c0 = pairOf(c[0], c[1]), c1p = pairOf(c[2], c[3]), c2 = pairOf(c[4], c[5]), c3 = pairOf(c[6], c[7]);
    Pair s0 = pairOf(s[0], s[1]), s1p = pairOf(s[2], s[3]), s2 = pairOf(s[4], s[5]), s3 = pairOf(s[6], s[7]);
    Pair k0 = pairOf(k, k + 1), k1 = pairOf(k + 2, k + 3), k2 = pairOf(k + 4, k + 5), k3 = pairOf(k + 6, k + 7);
    const int stop = n - k < kLanes * kReseedEvery ? n : k + kLanes * kReseedEvery;
    for (; k + kLanes <= stop; k += kLanes) {
      cosinePair(dst + k, c0, s0, k0, C, S, W, v02, dv2, eight);
      cosinePair(dst + k + 2, c1p, s1p, k1, C, S, W, v02, dv2, eight);
      cosinePair(dst + k + 4, c2, s2, k2, C, S, W, v02, dv2, eight);
      cosinePair(dst + k + 6, c3, s3, k3, C, S, W, v02, dv2, eight);
    }
    // Fewer than eight left before the stop: the lanes hold their angles.
    const double lane[kLanes] = {c0[0], c0[1], c1p[0], c1p[1], c2[0], c2[1], c3[0], c3[1]};
    for (int j = 0; k < stop; ++j, ++k) dst[k] = toUnit(lane[j] * wc + (v0 + k * dv));
  }
}

}  // namespace

void ExtLFO::updateRotation(Rotation& r, double scale, double step) {
  if (r.scale == scale && r.step == step) return;
  r.scale = scale;
  r.step = step;
  const double theta = step * scale;
  r.c1 = std::cos(theta);
  r.s1 = std::sin(theta);
  r.c8 = std::cos(kLanes * theta);
  r.s8 = std::sin(kLanes * theta);
}

void ExtLFO::generate(std::vector<double>& out, int count, bool running) {
  if (!running || count <= 0 || out.size() < static_cast<size_t>(count)) {
    generateExact(out, count, running);
    return;
  }
  generateRuns(out.data(), count);
}

void ExtLFO::generateRuns(double* dst, int count) {
  const double Q = 2.0 * pi;
  const double d = effSymmetry;
  const double trough = Q * d;
  const double start = offset(true);
  const double step = increment;
  double x = wrapCycle(start + internalPhase, Q);

  enum { kCosine, kBlend, kTriangle, kSquare };
  const int rule = form <= 0.01 ? kCosine : form < 0.99 ? kBlend : form <= 1.01 ? kTriangle : kSquare;
  const bool curved = rule == kCosine || rule == kBlend;
  // The falling half's cosine runs over angles x / (2d), the rising half's
  // over (Q - 2dQ + x) / (2 - 2d).
  const double fallScale = 0.5 / d, riseScale = 1.0 / (2.0 - 2.0 * d), riseShift = Q - 2.0 * d * Q;
  if (curved) {
    updateRotation(fallRotation, fallScale, step);
    updateRotation(riseRotation, riseScale, step);
  }
  const double wc = rule == kBlend ? 1.0 - form : 1.0, wl = rule == kBlend ? form : 0.0;

  // Positions are the last wrap point plus a whole number of steps, as in
  // generateExact.
  double base = x;
  long long k = 0;
  int i = 0;
  while (i < count) {
    const bool falling = x < trough;
    double end = falling ? trough : Q;
    // The straight piece under x as a * x + b.
    double a, b;
    if (rule == kSquare) {
      if (falling && x < sqrRiseEnd - Q) {
        end = std::min(end, sqrRiseEnd - Q);
        a = sqrRiseSlope;
        b = Q * sqrRiseSlope + sqrRiseOffset;
      } else if (falling) {
        a = sqrFallSlope;
        b = sqrFallOffset;
      } else if (x < sqrFallStart + Q) {
        end = std::min(end, sqrFallStart + Q);
        a = sqrRiseSlope;
        b = sqrRiseOffset;
      } else {
        a = sqrFallSlope;
        b = sqrFallOffset - Q * sqrFallSlope;
      }
    } else {
      a = falling ? triFallSlope : triRiseSlope;
      b = falling ? triFallOffset : triRiseOffset;
    }
    const int n = samplesBefore(x, step, end, count - i);
    if (rule == kSquare || rule == kTriangle) {
      rampRun(dst + i, n, x, step, a, b);
    } else {
      const Rotation& r = falling ? fallRotation : riseRotation;
      const double t0 = falling ? x * fallScale : (riseShift + x) * riseScale;
      cosineRun(dst + i, n, t0, step * r.scale, r.c1, r.s1, r.c8, r.s8, x, step, wc, a, b, wl);
    }
    i += n;
    k += n;
    x = base + k * step;
    if (x >= Q) {
      base = x = wrapCycle(x, Q);
      k = 0;
    }
  }
  internalPhase = wrapCycle(x - start, Q);
}

void ExtLFO::generateExact(std::vector<double>& out, int count, bool running) {
  if (count <= 0 || out.size() < static_cast<size_t>(count)) return;
  if (!running && count < 2) return;

  const double Q = 2.0 * pi;
  const double d = effSymmetry;
  const double trough = Q * d;
  const double start = offset(running);
  double x = wrapCycle(start + (running ? internalPhase : 0.0), Q);
  const double step = running ? increment : Q / (count - 1);

  // The form picks one of four value rules; only the ones it needs are
  // computed (the cosine is the expensive part).
  enum { kCosine, kBlend, kTriangle, kSquare };
  const int rule = form <= 0.01 ? kCosine : form < 0.99 ? kBlend : form <= 1.01 ? kTriangle : kSquare;
  const double riseCosScale = 1.0 / (2.0 - 2.0 * d);
  const double riseCosShift = Q - 2.0 * d * Q;
  const double fallCosScale = 0.5 / d;

  // The position is the last wrap point plus a whole number of steps, not a
  // running sum: adding the step sample after sample would round every time
  // and drift over a long stream.
  double base = x;
  long long k = 0;
  double* dst = out.data();
  for (int i = 0; i < count; ++i, ++k) {
    x = base + k * step;
    if (x >= Q) {
      base = x = wrapCycle(x, Q);
      k = 0;
    }
    const bool falling = x < trough;
    double v;
    if (rule == kSquare) {
      double e;
      if (falling) {
        e = x < sqrRiseEnd - Q ? (Q + x) * sqrRiseSlope + sqrRiseOffset : sqrFallSlope * x + sqrFallOffset;
      } else {
        e = x < sqrFallStart + Q ? sqrRiseSlope * x + sqrRiseOffset : (x - Q) * sqrFallSlope + sqrFallOffset;
      }
      v = std::fabs(e) <= 1.0 ? e : (e > 0.0 ? 1.0 : -1.0);
    } else {
      const double h = falling ? triFallSlope * x + triFallOffset : triRiseSlope * x + triRiseOffset;
      if (rule == kTriangle) {
        v = h;
      } else {
        const double g = falling ? std::cos(x * fallCosScale) : std::cos((riseCosShift + x) * riseCosScale);
        v = rule == kCosine ? g : g * (1.0 - form) + h * form;
      }
    }
    dst[i] = (v + 1.0) * 0.5;
  }
  x = base + k * step;
  if (running) internalPhase = wrapCycle(wrapCycle(x, Q) - start, Q);
}
