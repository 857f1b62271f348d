#include "tremolo/ExtLFO.h"

#include <algorithm>
#include <cmath>

#include "tremolo/TremoloKernels.h"

namespace {

// Brings a position into [0, cycle). Within one cycle of the range (the
// case of every block) a single subtraction or addition does it, and it is
// exact there, so it gives fmod's result bit for bit without its cost
// (Sterbenz: x - cycle is exact for cycle <= x < 2 * cycle, and fmod(x,
// cycle) is x itself for -cycle < x < 0). Further out fmod folds the
// position; unlike a subtraction loop it also terminates for huge or
// non-finite input, and it folds negative positions (a negative sync phase)
// back into the cycle instead of letting the ramps run past +-1.
inline double wrapCycle(double x, double cycle) {
  if (x >= cycle) {
    x = x < 2.0 * cycle ? x - cycle : std::fmod(x, cycle);
  } else if (x < 0.0) {
    x = (x > -cycle ? x : std::fmod(x, cycle)) + cycle;
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

constexpr int kLanes = 8;  // cosine values the kernels turn side by side

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

  const TremoloKernels& kernels = ActiveTremoloKernels();
  CosineRunArgs cosine;
  cosine.step = step;
  cosine.wc = wc;
  cosine.wl = wl;

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
      kernels.rampRun(dst + i, n, x, step, a, b);
    } else {
      const Rotation& r = falling ? fallRotation : riseRotation;
      cosine.t0 = falling ? x * fallScale : (riseShift + x) * riseScale;
      cosine.theta = step * r.scale;
      cosine.c1 = r.c1;
      cosine.s1 = r.s1;
      cosine.c8 = r.c8;
      cosine.s8 = r.s8;
      cosine.x0 = x;
      cosine.a = a;
      cosine.b = b;
      kernels.cosineRun(dst + i, n, cosine);
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
