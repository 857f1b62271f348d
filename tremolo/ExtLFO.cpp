#include "tremolo/ExtLFO.h"

#include <algorithm>
#include <cmath>

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

void ExtLFO::generate(std::vector<double>& out, int count, bool running) {
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

  double* dst = out.data();
  for (int i = 0; i < count; ++i) {
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
    x += step;
    if (x >= Q) x = wrapCycle(x, Q);
  }

  if (running) internalPhase = wrapCycle(x - start, Q);
}
