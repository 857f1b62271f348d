// SampleConvert: the render path's conversions between the host's float
// buffers and the plug-in's double buffers.
//
// One set of loops per SimdPath. Every variant converts (or converts and
// adds) each element exactly as a plain loop would, under the calling
// thread's rounding and flush-to-zero mode, so they differ only in speed.
// None allocates; source and destination must not overlap. A count of 0 or
// less does nothing.
#pragma once

#include "framework/SimdPath.h"

struct SampleConvertKernels
{
  // dst[i] = src[i] for i < n (exact).
  void (*floatToDouble)(const float* src, double* dst, int n);
  // dst[i] = (float)src[i] for i < n, rounded in the current mode.
  void (*doubleToFloat)(const double* src, float* dst, int n);
  // dst[i] += (float)src[i] for i < n: the double is rounded to float first,
  // the sum is a float sum.
  void (*addDoubleToFloat)(const double* src, float* dst, int n);
};

// The loops of `path`; a path this processor cannot run gives the baseline's.
// Any thread.
const SampleConvertKernels& SampleConvertKernelsFor(SimdPath path);

// The loops of PreferredSimdPath(). Any thread; the render thread uses them.
const SampleConvertKernels& ActiveSampleConvertKernels();
