#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// Small fixed-size vector helpers shared by the geometry kernels.

namespace zor_geom {

inline double Dot3(const double* a, const double* b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

inline void Sub3(const double* a, const double* b, double* out) {
  out[0] = a[0] - b[0], out[1] = a[1] - b[1], out[2] = a[2] - b[2];
}

inline void Cross3(const double* a, const double* b, double* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

inline double Norm3(const double* a) { return std::sqrt(Dot3(a, a)); }

// std::fmax without the library call it compiles to, which the facet tests make a dozen times a
// point: the larger value, or the other one when one is a NaN.
inline double Larger(double a, double b) {
  if (std::isnan(a)) return b;
  return a < b ? b : a;
}

// Whether the axes' bounds of a box (lower corner, then upper corner at +3) are all finite: a box
// over a node at infinity, or over a coordinate that is not a number, bounds no place.
inline bool FiniteBox(const double* box, int axes) {
  for (int a = 0; a < axes; ++a)
    if (!std::isfinite(box[a]) || !std::isfinite(box[3 + a])) return false;
  return true;
}

// The float next below a finite one, by a step of its bit pattern: a library call per bound
// costs more than the rest of the rounding.
inline float NextFloatDown(float value) {
  if (value == 0.0f) return -std::numeric_limits<float>::denorm_min();
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = value > 0.0f ? bits - 1 : bits + 1;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The nearest float at or below (FloatBelow) or at or above (FloatAbove) a value, so that bounds
// kept in floats hold the exact ones. A value beyond the float range goes to an infinity on the
// safe side or to the largest float; a NaN stays one.
inline float FloatBelow(double value) {
  constexpr float kLargest = std::numeric_limits<float>::max();
  if (value > kLargest) return kLargest;
  if (value < -kLargest) return -std::numeric_limits<float>::infinity();
  const float rounded = static_cast<float>(value);
  return rounded > value ? NextFloatDown(rounded) : rounded;
}

inline float FloatAbove(double value) { return -FloatBelow(-value); }

// x and y agree within a relative tolerance of the larger magnitude. Equal values agree, zeros
// included.
inline bool AgreeRelative(double x, double y, double relative) {
  return std::fabs(x - y) <= relative * std::fmax(std::fabs(x), std::fabs(y));
}

// Determinant of the 3 x 3 matrix with columns c0, c1, c2.
inline double Det3(const double* c0, const double* c1, const double* c2) {
  double c1xc2[3];
  Cross3(c1, c2, c1xc2);
  return Dot3(c0, c1xc2);
}

}  // namespace zor_geom
