// Which directions a set of centres spans: principal axes of the centres about their mean.
// The spline solver uses it to refuse centres on one line and to fit the polynomial part of
// centres in one plane over the two directions they span only.
#pragma once

#include <vector>

namespace selvane {

struct CentreSpan {
  int Rank = 0;           // 0 (one position), 1 (a line), 2 (a plane) or 3
  double Centre[3] = {};  // mean of the centres
  double Axis[3][3] = {}; // unit principal directions, largest spread first
  double Spread[3] = {};  // root-mean-square extent along each axis
};

// coords: 3 * n doubles (x y z per centre). A direction counts as spanned when its spread
// exceeds relativeTolerance times the largest spread.
CentreSpan ComputeCentreSpan(const std::vector<double>& coords, double relativeTolerance = 1e-5);

} // namespace selvane
