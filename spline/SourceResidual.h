// The check after every solve: how far the stored spline misses the differences at its own
// sources, evaluated in double from the stored (single-precision) coefficients, as the
// transform will evaluate them.
#pragma once

#include "RadialNeighbours.h"

#include <cstdint>
#include <vector>

namespace selvane {

struct SourceResidual {
  double Worst = 0.0;              // largest |s(source) - (source - target)|
  std::int64_t WorstPosition = -1; // the centre (by position) where it occurs
};

// coeff[axis]: n + 4 values (radial weights by position, then d0 d1 d2 d3); differences[axis]:
// n values by position.
SourceResidual ComputeSourceResidual(const std::vector<double>& coords,
                                     const RadialNeighbours& neighbours, double radius,
                                     const float* const coeff[3],
                                     const float* const differences[3]);

} // namespace selvane
