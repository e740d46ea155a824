#include "search/ZORMtkBucketFrame.h"
#include "platform/impl/ZORHugePages.h"

#include <cmath>

// Cardano with p = -S2/(T - 1), q = -P/(T - 1), D = (q/2)^2 + (p/3)^3. With D < 0 there are three
// real roots 2 sqrt(-p/3) cos(phi/3 - 2 pi k/3), phi = acos((-q/2) / sqrt(-(p/3)^3)), of which
// k = 0 is the largest; otherwise the one real root is u - p/(3u) with
// u = -sign(q/2) cbrt(sqrt(D) + |q/2|).
double ZORMtkBucketFrame::LargestCubicRoot(double target, double S2, double P) {
  const double p = -S2 / (target - 1.0);
  const double q = -P / (target - 1.0);
  const double D = (q / 2.0) * (q / 2.0) + (p / 3.0) * (p / 3.0) * (p / 3.0);
  if (D < 0.0) {
    const double r = std::sqrt(-p / 3.0);
    const double phi = std::acos(std::max(-1.0, std::min(1.0, (-q / 2.0) / (r * r * r))));
    return 2.0 * r * std::cos(phi / 3.0);
  }
  const double halfQ = q / 2.0;
  const double sign = halfQ > 0.0 ? 1.0 : (halfQ < 0.0 ? -1.0 : 0.0);
  const double u = -sign * std::cbrt(std::sqrt(D) + std::fabs(halfQ));
  if (std::fabs(u) <= 1e-9 * std::fabs(p / 3.0)) return u;
  return u - p / (3.0 * u);
}

// The floating cube root of 1000000 is 99.999..., whose floor would cost the node grid a bucket
// per axis; the integer is corrected by cubing.
long long ZORMtkBucketFrame::IntegerCubeRoot(long long n) {
  long long k = static_cast<long long>(std::cbrt(static_cast<double>(n)));
  while ((k + 1) * (k + 1) * (k + 1) <= n) ++k;
  while (k > 0 && k * k * k > n) --k;
  return k;
}

int ZORMtkBucketFrame::LargestBucket() const {
  int largest = 0;
  for (std::size_t b = 0; b + 1 < offsets.size(); ++b)
    largest = std::max(largest, offsets[b + 1] - offsets[b]);
  return largest;
}

void ZORMtkBucketFrame::Place(const double* lower, double edge, const int* axisCounts) {
  h = edge;
  for (int a = 0; a < 3; ++a) {
    origin[a] = a < Axes() ? lower[a] : 0.0;
    counts[a] = a < Axes() ? axisCounts[a] : 1;
    upper[a] = a < Axes() ? origin[a] + counts[a] * h : 0.0;
  }
}

void ZORMtkBucketFrame::ClearOffsets(std::size_t count) {
  ZORHugePages::Reserve(offsets, count);
  offsets.assign(count, 0);
}

void ZORMtkBucketFrame::ClearEntries(std::size_t count) {
  ZORHugePages::Reserve(entries, count);
  entries.assign(count, 0);
}
