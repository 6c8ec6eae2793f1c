// Finds the model point that a position from a point file stands for.
#ifndef SELVANE_MODEL_POINT_MATCHER_H
#define SELVANE_MODEL_POINT_MATCHER_H

#include <vtkType.h>

#include <cstdint>
#include <utility>
#include <vector>

class vtkPoints;

namespace selvane {

// A position matches a model point when their squared distance, computed in double precision
// from the stored coordinates, is at most 9e-7 (about 0.00095 model units). Among several
// matching points the lowest index wins, as a scan of the points in index order would find it,
// so coincident model points always give the same answer whichever of them was exported.
//
// The points are hashed into a uniform grid of cells wider than the tolerance, so a lookup
// tests only the points of the few cells around the position instead of the whole model: at
// most three cells per axis, whatever the position's magnitude, and none for a position beyond
// the cells that hold points.
class ModelPointMatcher {
public:
  static constexpr double SquaredTolerance = 9e-07;

  explicit ModelPointMatcher(vtkPoints* points);

  // The lowest index of a matching point, or -1.
  vtkIdType Find(const float position[3]) const;
  // The same for a position read in double precision (landmark files).
  vtkIdType Find(const double position[3]) const;

private:
  std::int64_t CellOf(double coordinate) const;
  static std::uint64_t Hash(std::int64_t i, std::int64_t j, std::int64_t k);

  vtkPoints* Points;
  double CellSize;
  // The lowest and highest cell numbers of the points, per axis.
  std::int64_t GridLow[3] = {0, 0, 0};
  std::int64_t GridHigh[3] = {-1, -1, -1};
  // (hash of the grid cell, point index), sorted: a cell's points are contiguous and in
  // index order. Distinct cells may share a hash; the distance test sorts them out.
  std::vector<std::pair<std::uint64_t, vtkIdType>> Cells;
};

} // namespace selvane

#endif
