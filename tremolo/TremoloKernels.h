// TremoloKernels: the tremolo's per-sample loops, one set per SimdPath.
//
// The LFO (ExtLFO) fills its block in runs over one piece of the wave, a
// straight ramp or a cosine turned by rotation, and the gain stage
// multiplies each channel by the resulting envelope. Every variant does the
// same operations in the same order on each element as the baseline, so the
// output does not depend on the processor; they differ only in how many
// elements share a register. None allocates. Counts of 0 or less do nothing.
#pragma once

#include "framework/SimdPath.h"

// Values of one cosine run (see TremoloKernels::cosineRun).
struct CosineRunArgs
{
  double t0 = 0.0;    // angle of the first value, radians
  double theta = 0.0; // angle step per value, radians
  double c1 = 1.0, s1 = 0.0; // cos and sin of theta
  double c8 = 1.0, s8 = 0.0; // cos and sin of 8 * theta
  double x0 = 0.0;    // wave position of the first value, radians
  double step = 0.0;  // position step per value, radians
  double wc = 1.0;    // weight of the cosine
  double a = 0.0, b = 0.0; // straight piece a * x + b under the run
  double wl = 0.0;    // weight of the straight piece
};

struct TremoloKernels
{
  // out[j] = in[j] * (base + slope * amp[j]) for j < n. `in` and `out` may be
  // the same buffer; otherwise none may overlap.
  void (*applyGain)(const double* in, double* out, const double* amp, int n, double base, double slope);
  // dst[k] = unit(a * (x0 + k * step) + b) for k < n, where unit(v) limits v
  // to -1..1 and maps it to 0..1. Computed as v0 + k * dv with v0 = a * x0 + b
  // and dv = a * step.
  void (*rampRun)(double* dst, int n, double x0, double step, double a, double b);
  // dst[k] = unit(cos(t0 + k * theta) * wc + (v0 + k * dv)) for k < n, with
  // v0 = (a * x0 + b) * wl and dv = a * step * wl: eight lanes hold the
  // cosine and sine of eight consecutive angles and turn by 8 * theta
  // together; at the start and every 512 values lane 0 is re-seeded from an
  // exact cosine and sine and lanes 1..7 follow it by single turns.
  void (*cosineRun)(double* dst, int n, const CosineRunArgs& args);
};

// The loops of `path`; a path this processor cannot run gives the baseline's.
// Any thread.
const TremoloKernels& TremoloKernelsFor(SimdPath path);

// The loops of PreferredSimdPath(). Any thread; the render thread uses them.
const TremoloKernels& ActiveTremoloKernels();
