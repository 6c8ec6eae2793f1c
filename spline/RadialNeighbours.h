// The couplings of the radial system: for every centre i (by position) the earlier centres
// j < i, at most `window` positions back, that lie closer than the radius. Found through a
// grid of cells (edge R, larger for thinly spread centres), so the cost grows with the number
// of couplings, not with the window. Distances are taken as the envelope assembly takes them
// (double differences of the single-precision coordinates), so both solver paths see one matrix.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace selvane {

struct RadialNeighbours {
  // Neighbours of centre i: Index[Start[i]] .. Index[Start[i + 1] - 1], ascending, all < i.
  std::vector<std::int64_t> Start;
  std::vector<std::int64_t> Index;
  // Entries of the envelope in this order (lower triangle, diagonal excluded), and the sum of
  // the squared row bandwidths, which the envelope factorisation's time follows.
  std::int64_t EnvelopeEntries = 0;
  double EnvelopeWork = 0.0;

  std::int64_t Couplings() const { return static_cast<std::int64_t>(Index.size()); }
};

// coords: 3 * n finite doubles by position.
void FindRadialNeighbours(const std::vector<double>& coords, double radius, std::int64_t window,
                          RadialNeighbours& out);

inline double SquaredDistance(const double* a, const double* b) {
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return dx * dx + dy * dy + dz * dz;
}

// phi = (1 - r/R)^2 for r < R, 0 from R on.
inline double RadialWeight(double distance2, double radius) {
  if (!(distance2 < radius * radius)) {
    return 0.0;
  }
  const double t = 1.0 - std::sqrt(distance2) / radius;
  return t * t;
}

} // namespace selvane
