// Saturating number conversions shared by the drawing functions (internal).
//
// Callers may pass any int or float; a plain cast of a float outside the
// target range is undefined behaviour, so every float-to-integer conversion
// of the library goes through these. NaN converts to 0.
#pragma once

#include <climits>

namespace lice_detail {

typedef long long i64;

/// (int)v truncated toward zero, saturated at the int range; NaN gives 0.
inline int satInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return (int)v;
}

/// (i64)v truncated toward zero, saturated at +-4e18 (well inside the 64-bit
/// range, so sums of two such values cannot overflow); NaN gives 0.
inline i64 satI64(double v) {
  const double lim = 4.0e18;
  if (!(v == v)) return 0;
  if (v >= lim) return (i64)lim;
  if (v <= -lim) return -(i64)lim;
  return (i64)v;
}

/// v saturated at the int range.
inline int clampToInt(i64 v) { return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : (int)v); }

}  // namespace lice_detail
