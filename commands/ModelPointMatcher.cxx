#include "ModelPointMatcher.h"

#include <vtkPoints.h>

#include <algorithm>
#include <cmath>

namespace selvane {

namespace {
// Grid cells are kept within this range so that huge coordinates cannot overflow the cell
// numbers; clamping keeps the cell number monotonic, so no match is lost.
constexpr double CellLimit = 4.0e18;
} // namespace

ModelPointMatcher::ModelPointMatcher(vtkPoints* points)
    : Points(points), CellSize(4.0 * std::sqrt(SquaredTolerance)) {
  const vtkIdType n = points ? points->GetNumberOfPoints() : 0;
  Cells.reserve(static_cast<std::size_t>(n));
  double p[3];
  for (vtkIdType i = 0; i < n; ++i) {
    points->GetPoint(i, p);
    const std::int64_t cell[3] = {CellOf(p[0]), CellOf(p[1]), CellOf(p[2])};
    for (int a = 0; a < 3; ++a) {
      GridLow[a] = i == 0 ? cell[a] : std::min(GridLow[a], cell[a]);
      GridHigh[a] = i == 0 ? cell[a] : std::max(GridHigh[a], cell[a]);
    }
    Cells.emplace_back(Hash(cell[0], cell[1], cell[2]), i);
  }
  std::sort(Cells.begin(), Cells.end());
}

std::int64_t ModelPointMatcher::CellOf(double coordinate) const {
  const double cell = std::floor(coordinate / CellSize);
  if (std::isnan(cell))
    return 0; // a NaN point never matches; any cell will do
  return static_cast<std::int64_t>(std::clamp(cell, -CellLimit, CellLimit));
}

std::uint64_t ModelPointMatcher::Hash(std::int64_t i, std::int64_t j, std::int64_t k) {
  std::uint64_t h = static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ULL;
  h ^= static_cast<std::uint64_t>(j) * 0xC2B2AE3D27D4EB4FULL + (h << 6) + (h >> 2);
  h ^= static_cast<std::uint64_t>(k) * 0x165667B19E3779F9ULL + (h << 6) + (h >> 2);
  return h;
}

vtkIdType ModelPointMatcher::Find(const float position[3]) const {
  const double s[3] = {position[0], position[1], position[2]};
  return Find(s);
}

vtkIdType ModelPointMatcher::Find(const double s[3]) const {
  if (Cells.empty())
    return -1;
  // The radius is a little more than the tolerance, so that a point whose computed distance
  // passes the test lies within it. Rounding is monotonic and every stored point is a double,
  // so a point m >= s - radius also has m >= fl(s - radius), and its cell number is at least
  // that of fl(s - radius) (likewise above): the box of the two rounded ends holds every
  // matching point. It spans at most three cells per axis whatever the magnitude of s (2 *
  // radius is half a cell, and where the rounding of s -+ radius exceeds the radius both round
  // to s). Cells beyond those that hold points are empty and are cut off.
  const double radius = std::sqrt(SquaredTolerance) * 1.01;
  std::int64_t lo[3], hi[3];
  for (int a = 0; a < 3; ++a) {
    lo[a] = std::max(CellOf(s[a] - radius), GridLow[a]);
    hi[a] = std::min(CellOf(s[a] + radius), GridHigh[a]);
    if (lo[a] > hi[a])
      return -1;
  }
  vtkIdType best = -1;
  double m[3];
  for (std::int64_t i = lo[0]; i <= hi[0]; ++i)
    for (std::int64_t j = lo[1]; j <= hi[1]; ++j)
      for (std::int64_t k = lo[2]; k <= hi[2]; ++k) {
        const std::uint64_t h = Hash(i, j, k);
        auto it = std::lower_bound(Cells.begin(), Cells.end(), std::make_pair(h, vtkIdType(0)));
        for (; it != Cells.end() && it->first == h; ++it) {
          if (best >= 0 && it->second >= best)
            break; // this cell's remaining points come later in index order
          Points->GetPoint(it->second, m);
          const double dx = s[0] - m[0], dy = s[1] - m[1], dz = s[2] - m[2];
          if (dx * dx + dy * dy + dz * dz <= SquaredTolerance) {
            best = it->second;
            break;
          }
        }
      }
  return best;
}

} // namespace selvane
