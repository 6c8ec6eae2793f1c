// What a deformation did to a model, for the user to see before trusting it: how far each
// point moved, which points no centre reaches (the warp leaves them where they were), which
// cells the warp turned over, and whether a radius of support suits the centres at all.
//
// Everything here works on whole point sets and cell arrays in one pass, with every core, so
// that it can follow the Deformation slider on a model of millions of points.
#pragma once

#include <vtkType.h>

#include <cstdint>
#include <string>
#include <vector>

class vtkFloatArray;
class vtkPoints;
class vtkPolyData;

namespace selvane {

class vtkShapeTransform;

// |after_i - before_i| for every point, into lengths (one component, resized to the number of
// points). False, with lengths left empty, when the two point sets differ in size.
bool DisplacementLengths(vtkPoints* before, vtkPoints* after, vtkFloatArray* lengths);

// The same from the transform's cached displacements: fraction * |d_i|, without the shown
// points. False when the cache does not hold one displacement per point of numberOfPoints.
bool CachedDisplacementLengths(const vtkShapeTransform* transform, vtkIdType numberOfPoints,
                               float fraction, vtkFloatArray* lengths);

// For each point: 1 when no centre of the transform's fit lies within its radius (the field
// leaves such a point where it is), else 0. Empty when the transform holds no fit.
std::vector<unsigned char> UnreachedPointMask(vtkShapeTransform* transform, vtkPoints* points);
// The number of ones in that mask.
vtkIdType CountUnreachedPoints(vtkShapeTransform* transform, vtkPoints* points);

// Cells whose orientation flips between before and after (same cells, moved points): the
// dot product of their normals (Newell normals for polygons) is below zero, or the cell
// collapses to (practically) no area while it had some. Polygons and triangle strips (each
// triangle of a strip); vertices and lines have no orientation. Cell ids are those of the
// polydata (vertices and lines first), ascending. Empty when the two do not share their cells.
// Normals are compared as they stand, not after a best-fitting rotation: a warp that turns the
// whole model by more than a quarter turn counts every cell (the fitted warps move parts of
// a model; they do not turn it round).
std::vector<vtkIdType> FindFoldedCells(const vtkPolyData* before, const vtkPolyData* after);
// The same for the cells of model with its points at before and at after (neither need be
// the model's own points): a shape computed elsewhere is checked without a polydata of its own.
std::vector<vtkIdType> FindFoldedCells(const vtkPolyData* model, vtkPoints* before,
                                       vtkPoints* after);

// Spacing of a set of centres: each centre's distance to its nearest other centre.
struct CentreSpacing {
  vtkIdType Centres = 0;
  double Smallest = 0.0; // the closest pair
  double Median = 0.0;
  double Largest = 0.0; // the most isolated centre
};
CentreSpacing MeasureCentreSpacing(vtkPoints* centres);

// A radius of support from the centres' spacing: a few median spacings, so that each centre
// couples with its neighbours, at least the largest spacing's half and never more than half
// the diagonal of modelBounds (xmin xmax ymin ymax zmin zmax, the model with the centres).
// 0 when there are fewer than two distinct centres.
double SuggestRadius(vtkPoints* centres, const double modelBounds[6]);
double SuggestRadius(const CentreSpacing& spacing, const double modelBounds[6]);

// What a solve at radius would cost when every centre couples with every other (a dense
// system): the factor's bytes and a rough time from the dense Cholesky flop count.
struct DenseSolveEstimate {
  std::uint64_t Bytes = 0;
  double Seconds = 0.0;
};
DenseSolveEstimate EstimateDenseSolve(vtkIdType centres);

// Warnings about radius for these centres and this model, one sentence each (none: empty):
// not above the nearest centre spacing (no two centres coupled), or as
// large as the whole model (every centre coupled with every other; the estimated memory and
// time of the solve).
std::vector<std::string> CheckRadius(double radius, const CentreSpacing& spacing,
                                     const double modelBounds[6]);

} // namespace selvane
