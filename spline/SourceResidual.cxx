#include "SourceResidual.h"

#include <cmath>

namespace selvane {

SourceResidual ComputeSourceResidual(const std::vector<double>& coords,
                                     const RadialNeighbours& neighbours, double radius,
                                     const float* const coeff[3],
                                     const float* const differences[3]) {
  const std::int64_t n = static_cast<std::int64_t>(coords.size() / 3);
  std::vector<double> r(3 * static_cast<size_t>(n), 0.0);
  // Each coupling once: it adds to both of its centres.
  for (std::int64_t i = 0; i < n; ++i) {
    for (std::int64_t k = neighbours.Start[i]; k < neighbours.Start[i + 1]; ++k) {
      const std::int64_t j = neighbours.Index[k];
      const double w = RadialWeight(SquaredDistance(&coords[3 * i], &coords[3 * j]), radius);
      for (int a = 0; a < 3; ++a) {
        r[3 * i + a] += w * coeff[a][j];
        r[3 * j + a] += w * coeff[a][i];
      }
    }
  }
  SourceResidual result;
  for (std::int64_t i = 0; i < n; ++i) {
    double e2 = 0.0;
    for (int a = 0; a < 3; ++a) {
      const float* c = coeff[a];
      const double s = r[3 * i + a] + c[i] + c[n] + c[n + 1] * coords[3 * i] +
                       c[n + 2] * coords[3 * i + 1] + c[n + 3] * coords[3 * i + 2];
      const double e = s - differences[a][i];
      e2 += e * e;
    }
    const double e = std::sqrt(e2);
    if (!(e <= result.Worst)) { // a NaN counts as the worst
      result.Worst = e;
      result.WorstPosition = i;
    }
  }
  return result;
}

} // namespace selvane
