#include "DeformationInsight.h"

#include "vtkShapeTransform.h"

#include <vtkCellArray.h>
#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkMath.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSMPThreadLocal.h>
#include <vtkSMPTools.h>
#include <vtkStaticPointLocator.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <locale>
#include <sstream>

namespace selvane {

namespace {

constexpr vtkIdType Grain = 16384;

// Raw coordinates when the points are stored as contiguous floats.
const float* FloatCoordinates(vtkPoints* points) {
  auto* data = vtkFloatArray::FastDownCast(points->GetData());
  return data ? data->GetPointer(0) : nullptr;
}

void Resize(vtkFloatArray* lengths, vtkIdType n) {
  lengths->SetNumberOfComponents(1);
  lengths->SetNumberOfTuples(n);
}

// Centres sorted into a uniform grid of cells of edge >= R, for "is any centre within R".
// The grid is coarsened when the centres are spread thinly, as SplineField's is.
class CentreGrid {
public:
  CentreGrid(vtkPoints* centres, double radius) : Radius2(radius * radius) {
    const vtkIdType n = centres->GetNumberOfPoints();
    std::vector<std::array<double, 3>> all(static_cast<size_t>(n));
    for (vtkIdType j = 0; j < n; ++j) {
      centres->GetPoint(j, all[static_cast<size_t>(j)].data());
      for (int a = 0; a < 3; ++a) {
        const double v = all[static_cast<size_t>(j)][a];
        Lo[a] = j == 0 ? v : std::min(Lo[a], v);
        Hi[a] = j == 0 ? v : std::max(Hi[a], v);
      }
    }
    const double limit = std::max<double>(512.0, 8.0 * static_cast<double>(n));
    Size = radius;
    for (;;) {
      double cells = 1.0;
      for (int a = 0; a < 3; ++a)
        cells *= std::floor((Hi[a] - Lo[a]) / Size) + 1.0;
      if (cells <= limit)
        break;
      Size *= 2.0;
    }
    for (int a = 0; a < 3; ++a)
      Dims[a] = static_cast<int>(std::floor((Hi[a] - Lo[a]) / Size)) + 1;
    const size_t cellCount = static_cast<size_t>(Dims[0]) * Dims[1] * Dims[2];
    Start.assign(cellCount + 1, 0);
    std::vector<size_t> cellOf(all.size());
    for (size_t j = 0; j < all.size(); ++j) {
      cellOf[j] = Index(Cell(all[j][0], 0), Cell(all[j][1], 1), Cell(all[j][2], 2));
      ++Start[cellOf[j] + 1];
    }
    for (size_t c = 0; c < cellCount; ++c)
      Start[c + 1] += Start[c];
    Sorted.resize(all.size());
    std::vector<size_t> fill(Start.begin(), Start.end() - 1);
    for (size_t j = 0; j < all.size(); ++j)
      Sorted[fill[cellOf[j]]++] = all[j];
  }

  // The field's own test: some centre at squared distance <= R^2.
  bool Reaches(const double x[3]) const {
    if (Sorted.empty())
      return false;
    const double radius = std::sqrt(Radius2);
    int from[3], to[3];
    for (int a = 0; a < 3; ++a) {
      if (!(x[a] + radius >= Lo[a] && x[a] - radius <= Hi[a]))
        return false;
      from[a] = Cell(x[a] - radius, a);
      to[a] = Cell(x[a] + radius, a);
    }
    for (int l = from[2]; l <= to[2]; ++l)
      for (int k = from[1]; k <= to[1]; ++k) {
        const size_t first = Start[Index(from[0], k, l)];
        const size_t last = Start[Index(to[0], k, l) + 1];
        for (size_t j = first; j < last; ++j) {
          const auto& c = Sorted[j];
          const double dx = x[0] - c[0], dy = x[1] - c[1], dz = x[2] - c[2];
          if (dx * dx + dy * dy + dz * dz <= Radius2)
            return true;
        }
      }
    return false;
  }

private:
  int Cell(double v, int a) const {
    const double t = std::floor((v - Lo[a]) / Size);
    if (t < 0)
      return 0;
    return t >= Dims[a] - 1 ? Dims[a] - 1 : static_cast<int>(t);
  }
  size_t Index(int i, int k, int l) const {
    return (static_cast<size_t>(l) * Dims[1] + k) * Dims[0] + i;
  }

  double Radius2;
  double Size = 1.0;
  double Lo[3] = {0, 0, 0};
  double Hi[3] = {0, 0, 0};
  int Dims[3] = {1, 1, 1};
  std::vector<size_t> Start;
  std::vector<std::array<double, 3>> Sorted;
};

// Newell normal of a polygon given by point ids (for a triangle, the cross product of two
// edges).
template <typename IdType>
void NewellNormal(const float* x, const IdType* ids, vtkIdType count, double n[3]) {
  n[0] = n[1] = n[2] = 0.0;
  if (count == 3) {
    const float* a = x + 3 * ids[0];
    const float* b = x + 3 * ids[1];
    const float* c = x + 3 * ids[2];
    const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double v[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    n[0] = u[1] * v[2] - u[2] * v[1];
    n[1] = u[2] * v[0] - u[0] * v[2];
    n[2] = u[0] * v[1] - u[1] * v[0];
    return;
  }
  for (vtkIdType k = 0; k < count; ++k) {
    const float* p = x + 3 * ids[k];
    const float* q = x + 3 * ids[(k + 1) % count];
    n[0] += (double(p[1]) - q[1]) * (double(p[2]) + q[2]);
    n[1] += (double(p[2]) - q[2]) * (double(p[0]) + q[0]);
    n[2] += (double(p[0]) - q[0]) * (double(p[1]) + q[1]);
  }
}

// A cell that keeps less than this share of its normal's length (twice its area) has
// collapsed: single-precision coordinates rarely give an exact zero.
constexpr double CollapsedShare = 1e-6;

bool Flipped(const double a[3], const double b[3]) {
  const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  const double la2 = a[0] * a[0] + a[1] * a[1] + a[2] * a[2];
  const double lb2 = b[0] * b[0] + b[1] * b[1] + b[2] * b[2];
  if (!(la2 > 0.0))
    return false; // no orientation to lose
  return dot < 0.0 || !(lb2 > CollapsedShare * CollapsedShare * la2);
}

// Points as contiguous floats; a copy when they are stored otherwise.
const float* FloatPoints(vtkPoints* points, std::vector<float>& copy) {
  if (const float* x = FloatCoordinates(points))
    return x;
  const vtkIdType n = points->GetNumberOfPoints();
  copy.resize(static_cast<size_t>(3 * n));
  for (vtkIdType i = 0; i < n; ++i) {
    double p[3];
    points->GetPoint(i, p);
    for (int a = 0; a < 3; ++a)
      copy[static_cast<size_t>(3 * i + a)] = static_cast<float>(p[a]);
  }
  return copy.data();
}

// Folded polygons of one cell array, by cell id offset + index, appended to folded.
template <typename IdType>
void FoldedPolygons(const IdType* offsets, const IdType* connectivity, vtkIdType cells,
                    const float* before, const float* after, vtkIdType firstId,
                    std::vector<vtkIdType>& folded) {
  // Each thread keeps its ranges' hits; ranges come back in any order and are sorted below.
  vtkSMPThreadLocal<std::vector<vtkIdType>> hits;
  vtkSMPTools::For(0, cells, Grain, [&](vtkIdType first, vtkIdType last) {
    auto& mine = hits.Local();
    for (vtkIdType c = first; c < last; ++c) {
      const IdType* ids = connectivity + offsets[c];
      const vtkIdType count = static_cast<vtkIdType>(offsets[c + 1] - offsets[c]);
      if (count < 3)
        continue;
      double a[3], b[3];
      NewellNormal(before, ids, count, a);
      NewellNormal(after, ids, count, b);
      if (Flipped(a, b))
        mine.push_back(firstId + c);
    }
  });
  const size_t start = folded.size();
  for (auto& mine : hits)
    folded.insert(folded.end(), mine.begin(), mine.end());
  std::sort(folded.begin() + static_cast<std::ptrdiff_t>(start), folded.end());
}

template <typename IdType>
void FoldedStripTriangles(const IdType* offsets, const IdType* connectivity, vtkIdType cells,
                          const float* before, const float* after, vtkIdType firstId,
                          std::vector<vtkIdType>& folded) {
  for (vtkIdType c = 0; c < cells; ++c) {
    const IdType* ids = connectivity + offsets[c];
    const vtkIdType count = static_cast<vtkIdType>(offsets[c + 1] - offsets[c]);
    for (vtkIdType k = 0; k + 2 < count; ++k) {
      // Every other triangle of a strip runs the other way round.
      IdType tri[3] = {ids[k], ids[k + 1], ids[k + 2]};
      if (k % 2)
        std::swap(tri[0], tri[1]);
      double a[3], b[3];
      NewellNormal(before, tri, 3, a);
      NewellNormal(after, tri, 3, b);
      if (Flipped(a, b)) {
        folded.push_back(firstId + c);
        break;
      }
    }
  }
}

template <typename Visit> void WithStorage(vtkCellArray* cells, Visit visit) {
  if (cells->IsStorage64Bit())
    visit(cells->GetOffsetsArray64()->GetPointer(0),
          cells->GetConnectivityArray64()->GetPointer(0));
  else
    visit(cells->GetOffsetsArray32()->GetPointer(0),
          cells->GetConnectivityArray32()->GetPointer(0));
}

} // namespace

bool DisplacementLengths(vtkPoints* before, vtkPoints* after, vtkFloatArray* lengths) {
  const vtkIdType n = before->GetNumberOfPoints();
  if (after->GetNumberOfPoints() != n) {
    lengths->SetNumberOfTuples(0);
    return false;
  }
  Resize(lengths, n);
  float* out = lengths->GetPointer(0);
  const float* a = FloatCoordinates(before);
  const float* b = FloatCoordinates(after);
  vtkSMPTools::For(0, n, Grain, [&](vtkIdType first, vtkIdType last) {
    if (a && b) {
      for (vtkIdType i = first; i < last; ++i) {
        const float dx = b[3 * i] - a[3 * i];
        const float dy = b[3 * i + 1] - a[3 * i + 1];
        const float dz = b[3 * i + 2] - a[3 * i + 2];
        out[i] = std::sqrt(dx * dx + dy * dy + dz * dz);
      }
      return;
    }
    for (vtkIdType i = first; i < last; ++i) {
      double p[3], q[3];
      before->GetPoint(i, p);
      after->GetPoint(i, q);
      out[i] = static_cast<float>(std::sqrt(vtkMath::Distance2BetweenPoints(p, q)));
    }
  });
  return true;
}

bool CachedDisplacementLengths(const vtkShapeTransform* transform, vtkIdType numberOfPoints,
                               float fraction, vtkFloatArray* lengths) {
  if (!transform->GetDisplacementsValid() ||
      transform->GetNumberOfDisplacements() != numberOfPoints) {
    lengths->SetNumberOfTuples(0);
    return false;
  }
  Resize(lengths, numberOfPoints);
  float* out = lengths->GetPointer(0);
  const float f = std::fabs(fraction);
  vtkSMPTools::For(0, numberOfPoints, Grain, [&](vtkIdType first, vtkIdType last) {
    for (vtkIdType i = first; i < last; ++i) {
      float d[3];
      transform->GetDisplacement(i, d);
      out[i] = f * std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    }
  });
  return true;
}

std::vector<unsigned char> UnreachedPointMask(vtkShapeTransform* transform, vtkPoints* points) {
  if (!transform->GetParametersSet() || !transform->GetPointArray())
    return {};
  const CentreGrid grid(transform->GetPointArray(), transform->GetRadius());
  const vtkIdType n = points->GetNumberOfPoints();
  std::vector<unsigned char> mask(static_cast<size_t>(n), 0);
  const float* x = FloatCoordinates(points);
  vtkSMPTools::For(0, n, 4096, [&](vtkIdType first, vtkIdType last) {
    for (vtkIdType i = first; i < last; ++i) {
      double p[3];
      if (x) {
        p[0] = x[3 * i];
        p[1] = x[3 * i + 1];
        p[2] = x[3 * i + 2];
      } else {
        points->GetPoint(i, p);
      }
      mask[static_cast<size_t>(i)] = grid.Reaches(p) ? 0 : 1;
    }
  });
  return mask;
}

vtkIdType CountUnreachedPoints(vtkShapeTransform* transform, vtkPoints* points) {
  const auto mask = UnreachedPointMask(transform, points);
  return static_cast<vtkIdType>(std::count(mask.begin(), mask.end(), 1));
}

std::vector<vtkIdType> FindFoldedCells(const vtkPolyData* modelData, vtkPoints* beforePoints,
                                       vtkPoints* afterPoints) {
  // VTK's getters are not const; nothing below modifies the model.
  auto* model = const_cast<vtkPolyData*>(modelData);
  std::vector<vtkIdType> folded;
  if (!model || !beforePoints || !afterPoints ||
      beforePoints->GetNumberOfPoints() != afterPoints->GetNumberOfPoints() ||
      beforePoints->GetNumberOfPoints() < model->GetNumberOfPoints())
    return folded;
  vtkCellArray* polys = model->GetPolys();
  vtkCellArray* strips = model->GetStrips();
  std::vector<float> copyBefore, copyAfter;
  const float* a = FloatPoints(beforePoints, copyBefore);
  const float* b = FloatPoints(afterPoints, copyAfter);
  const vtkIdType firstPoly = model->GetNumberOfVerts() + model->GetNumberOfLines();
  WithStorage(polys, [&](const auto* offsets, const auto* connectivity) {
    FoldedPolygons(offsets, connectivity, polys->GetNumberOfCells(), a, b, firstPoly, folded);
  });
  WithStorage(strips, [&](const auto* offsets, const auto* connectivity) {
    FoldedStripTriangles(offsets, connectivity, strips->GetNumberOfCells(), a, b,
                         firstPoly + polys->GetNumberOfCells(), folded);
  });
  return folded;
}

std::vector<vtkIdType> FindFoldedCells(const vtkPolyData* beforeData,
                                       const vtkPolyData* afterData) {
  auto* before = const_cast<vtkPolyData*>(beforeData);
  auto* after = const_cast<vtkPolyData*>(afterData);
  if (!before || !after || !before->GetPoints() || !after->GetPoints() ||
      before->GetPolys()->GetNumberOfCells() != after->GetPolys()->GetNumberOfCells() ||
      before->GetStrips()->GetNumberOfCells() != after->GetStrips()->GetNumberOfCells())
    return {};
  return FindFoldedCells(before, before->GetPoints(), after->GetPoints());
}

CentreSpacing MeasureCentreSpacing(vtkPoints* centres) {
  CentreSpacing spacing;
  const vtkIdType n = centres ? centres->GetNumberOfPoints() : 0;
  spacing.Centres = n;
  if (n < 2)
    return spacing;
  auto data = vtkSmartPointer<vtkPolyData>::New();
  data->SetPoints(centres);
  auto locator = vtkSmartPointer<vtkStaticPointLocator>::New();
  locator->SetDataSet(data);
  locator->BuildLocator();
  std::vector<double> nearest(static_cast<size_t>(n));
  auto ids = vtkSmartPointer<vtkIdList>::New();
  for (vtkIdType j = 0; j < n; ++j) {
    double x[3], y[3];
    centres->GetPoint(j, x);
    // The closest point of all is the centre itself (or a duplicate, at distance 0).
    locator->FindClosestNPoints(2, x, ids);
    double best = 0.0;
    for (vtkIdType k = 0; k < ids->GetNumberOfIds(); ++k)
      if (ids->GetId(k) != j) {
        centres->GetPoint(ids->GetId(k), y);
        best = std::sqrt(vtkMath::Distance2BetweenPoints(x, y));
        break;
      }
    nearest[static_cast<size_t>(j)] = best;
  }
  std::sort(nearest.begin(), nearest.end());
  spacing.Smallest = nearest.front();
  spacing.Median = nearest[nearest.size() / 2];
  spacing.Largest = nearest.back();
  return spacing;
}

namespace {

double Diagonal(const double b[6]) {
  const double dx = b[1] - b[0], dy = b[3] - b[2], dz = b[5] - b[4];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Each centre couples with its neighbours two or three spacings away: smooth between the
// centres, still local.
constexpr double SpacingsPerRadius = 4.0;

// The automatic solver path takes the envelope while the sum of squared row bandwidths stays
// under vtkMatrixSolver's crossover; a dense system's sum is about n^3 / 3.
constexpr double EnvelopeWorkCrossover = 3.0e8;
// A dense solve's pace, ordering included: selvane-fit on 3,008 centres all within R of one
// another factored 9.1e9 flops in 5.1 s and took 8.7 s for the whole solve on this two-core
// machine under load (about 1e9 flops a second).
constexpr double DenseFlopsPerSecond = 1.0e9;

std::string Megabytes(std::uint64_t bytes) {
  std::ostringstream s;
  s << (bytes + (1u << 20) - 1) / (1u << 20) << " MiB";
  return s.str();
}

std::string Duration(double seconds) {
  char text[64];
  if (seconds < 1.0)
    return "under a second";
  if (seconds < 120.0)
    std::snprintf(text, sizeof text, "about %.0f s", seconds);
  else if (seconds < 7200.0)
    std::snprintf(text, sizeof text, "about %.0f minutes", seconds / 60.0);
  else
    std::snprintf(text, sizeof text, "about %.0f hours", seconds / 3600.0);
  return text;
}

std::string Number(double v) {
  std::ostringstream s;
  s.imbue(std::locale::classic());
  s.precision(6);
  s << v;
  return s.str();
}

} // namespace

double SuggestRadius(const CentreSpacing& spacing, const double modelBounds[6]) {
  if (spacing.Centres < 2 || !(spacing.Median > 0.0 || spacing.Largest > 0.0))
    return 0.0;
  double r = SpacingsPerRadius * spacing.Median;
  r = std::max(r, 0.5 * spacing.Largest);
  const double half = 0.5 * Diagonal(modelBounds);
  if (half > 0.0)
    r = std::min(r, half);
  return r;
}

double SuggestRadius(vtkPoints* centres, const double modelBounds[6]) {
  return SuggestRadius(MeasureCentreSpacing(centres), modelBounds);
}

DenseSolveEstimate EstimateDenseSolve(vtkIdType centres) {
  const double n = static_cast<double>(centres);
  const double work = n * n * n / 3.0;
  const std::uint64_t triangle =
      static_cast<std::uint64_t>(centres) * static_cast<std::uint64_t>(centres + 1) / 2;
  DenseSolveEstimate estimate;
  // The envelope path stores single precision; the sparse path double, and its dense
  // supernodes as much again in workspace (70 MiB reported for the 3,008 centres above).
  estimate.Bytes = work <= EnvelopeWorkCrossover
                       ? 4 * triangle + 80 * static_cast<std::uint64_t>(centres)
                       : 16 * triangle;
  estimate.Seconds = work / DenseFlopsPerSecond;
  return estimate;
}

std::vector<std::string> CheckRadius(double radius, const CentreSpacing& spacing,
                                     const double modelBounds[6]) {
  std::vector<std::string> warnings;
  if (spacing.Centres < 2 || !(radius > 0.0))
    return warnings;
  if (radius <= spacing.Smallest)
    warnings.push_back("The radius " + Number(radius) +
                       " is not larger than the nearest centre spacing (" +
                       Number(spacing.Smallest) +
                       "): no two centres are coupled, each moves its own neighbourhood alone.");
  const double diagonal = Diagonal(modelBounds);
  if (diagonal > 0.0 && radius >= diagonal) {
    const DenseSolveEstimate cost = EstimateDenseSolve(spacing.Centres);
    warnings.push_back("The radius " + Number(radius) + " covers the whole model (diagonal " +
                       Number(diagonal) + "): every centre is coupled with every other; the " +
                       "solve of " + std::to_string(spacing.Centres) + " centres needs about " +
                       Megabytes(cost.Bytes) + " of memory and takes " + Duration(cost.Seconds) +
                       ".");
  }
  return warnings;
}

} // namespace selvane
