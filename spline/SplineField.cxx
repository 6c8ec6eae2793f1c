#include "SplineField.h"

#include <vtkFloatArray.h>
#include <vtkIntArray.h>
#include <vtkPoints.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace selvane {

namespace {
// Grids larger than this many cells per centre are coarsened: a thin spread of centres with a
// small radius must not allocate a huge, nearly empty grid.
constexpr std::int64_t CellsPerCentre = 8;
constexpr std::int64_t MinimumCells = 512;

int CellOf(double v, double lo, double size, int dims) {
  const double t = std::floor((v - lo) / size);
  if (t < 0)
    return 0;
  return t >= dims - 1 ? dims - 1 : static_cast<int>(t);
}
} // namespace

Result SplineField::Build(float radius, vtkPoints* centres, vtkFloatArray* coeffX,
                          vtkFloatArray* coeffY, vtkFloatArray* coeffZ, vtkIntArray* unList) {
  if (!(radius > 0.0f) || !std::isfinite(radius)) {
    return Result::Failure(ErrorCode::Refused, "the radius of support is not a positive number");
  }
  if (!centres || !coeffX || !coeffY || !coeffZ || !unList) {
    return Result::Failure(ErrorCode::Refused, "the fit is incomplete");
  }
  const vtkIdType n = centres->GetNumberOfPoints();
  vtkFloatArray* coeffs[3] = {coeffX, coeffY, coeffZ};
  for (vtkFloatArray* c : coeffs)
    if (c->GetNumberOfComponents() != 1 || c->GetNumberOfTuples() < n + 4) {
      return Result::Failure(ErrorCode::Refused,
                             "a coefficient array is shorter than the centres need");
    }
  if (unList->GetNumberOfComponents() != 1 || unList->GetNumberOfTuples() != n) {
    return Result::Failure(ErrorCode::Refused, "the row index does not match the centres");
  }
  for (vtkIdType j = 0; j < n; ++j) {
    const int row = unList->GetValue(j);
    if (row < 0 || row >= n) {
      return Result::Failure(ErrorCode::Refused, "the row index holds a row outside the system");
    }
  }

  std::vector<Centre> all(static_cast<size_t>(n));
  double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  for (vtkIdType j = 0; j < n; ++j) {
    Centre& c = all[static_cast<size_t>(j)];
    centres->GetPoint(j, c.X);
    const int row = unList->GetValue(j);
    for (int a = 0; a < 3; ++a) {
      c.Coeff[a] = coeffs[a]->GetValue(row);
      if (!std::isfinite(c.X[a]) || !std::isfinite(c.Coeff[a])) {
        return Result::Failure(ErrorCode::Refused,
                               "a centre or a coefficient is not a finite number");
      }
      lo[a] = j == 0 ? c.X[a] : std::min(lo[a], c.X[a]);
      hi[a] = j == 0 ? c.X[a] : std::max(hi[a], c.X[a]);
    }
  }
  double linear[3][4];
  for (int a = 0; a < 3; ++a)
    for (int k = 0; k < 4; ++k) {
      linear[a][k] = coeffs[a]->GetValue(n + k);
      if (!std::isfinite(linear[a][k])) {
        return Result::Failure(ErrorCode::Refused, "a coefficient is not a finite number");
      }
    }

  // Cell edge R, coarsened until the grid is small enough.
  double size = radius;
  int dims[3] = {1, 1, 1};
  const std::int64_t limit = std::max<std::int64_t>(MinimumCells, CellsPerCentre * n);
  for (;;) {
    std::int64_t cells = 1;
    for (int a = 0; a < 3; ++a) {
      const double span = std::floor((hi[a] - lo[a]) / size) + 1.0;
      dims[a] =
          span > static_cast<double>(limit) ? static_cast<int>(limit + 1) : static_cast<int>(span);
      cells *= dims[a];
      if (cells > limit)
        break;
    }
    if (cells <= limit)
      break;
    size *= 2.0;
  }

  const size_t cellCount = static_cast<size_t>(dims[0]) * dims[1] * dims[2];
  std::vector<int> start(cellCount + 1, 0);
  std::vector<size_t> cellOfCentre(all.size());
  for (size_t j = 0; j < all.size(); ++j) {
    const int i = CellOf(all[j].X[0], lo[0], size, dims[0]);
    const int k = CellOf(all[j].X[1], lo[1], size, dims[1]);
    const int l = CellOf(all[j].X[2], lo[2], size, dims[2]);
    cellOfCentre[j] = (static_cast<size_t>(l) * dims[1] + k) * dims[0] + i;
    ++start[cellOfCentre[j] + 1];
  }
  for (size_t c = 0; c < cellCount; ++c)
    start[c + 1] += start[c];
  std::vector<Centre> sorted(all.size());
  std::vector<int> fill(start.begin(), start.end() - 1);
  for (size_t j = 0; j < all.size(); ++j)
    sorted[static_cast<size_t>(fill[cellOfCentre[j]]++)] = all[j];

  Radius = radius;
  Radius2 = Radius * Radius;
  CellSize = size;
  std::copy(lo, lo + 3, Lo);
  std::copy(hi, hi + 3, Hi);
  std::copy(dims, dims + 3, Dims);
  Centres = std::move(sorted);
  CellStart = std::move(start);
  for (int a = 0; a < 3; ++a)
    std::copy(linear[a], linear[a] + 4, Linear[a]);
  return Result::Success();
}

template <bool WithDerivative>
bool SplineField::Sum(const double x[3], double d[3], double jacobian[3][3]) const {
  d[0] = d[1] = d[2] = 0.0;
  if constexpr (WithDerivative)
    for (int i = 0; i < 3; ++i)
      jacobian[i][0] = jacobian[i][1] = jacobian[i][2] = 0.0;
  if (Centres.empty())
    return false;
  int from[3], to[3];
  for (int a = 0; a < 3; ++a) {
    // Written so that a coordinate that is not a number reaches no centre.
    if (!(x[a] + Radius >= Lo[a] && x[a] - Radius <= Hi[a]))
      return false;
    from[a] = CellOf(x[a] - Radius, Lo[a], CellSize, Dims[a]);
    to[a] = CellOf(x[a] + Radius, Lo[a], CellSize, Dims[a]);
  }
  bool reached = false;
  double s0 = 0.0, s1 = 0.0, s2 = 0.0;
  const double inverseRadius = 1.0 / Radius;
  for (int l = from[2]; l <= to[2]; ++l)
    for (int k = from[1]; k <= to[1]; ++k) {
      const size_t row = (static_cast<size_t>(l) * Dims[1] + k) * Dims[0];
      const Centre* c = Centres.data() + CellStart[row + from[0]];
      const Centre* end = Centres.data() + CellStart[row + to[0] + 1];
      for (; c != end; ++c) {
        const double dx = x[0] - c->X[0], dy = x[1] - c->X[1], dz = x[2] - c->X[2];
        const double r2 = dx * dx + dy * dy + dz * dz;
        if (r2 > Radius2)
          continue;
        reached = true;
        const double r = std::sqrt(r2);
        const double u = 1.0 - r * inverseRadius;
        const double w = u * u;
        s0 += w * c->Coeff[0];
        s1 += w * c->Coeff[1];
        s2 += w * c->Coeff[2];
        if constexpr (WithDerivative) {
          if (r > 0.0) {
            // dw/dx = -2 u / (R r) (x - c); at the centre itself the cone has no slope.
            const double g = -2.0 * u * inverseRadius / r;
            const double grad[3] = {g * dx, g * dy, g * dz};
            for (int i = 0; i < 3; ++i)
              for (int a = 0; a < 3; ++a)
                jacobian[i][a] += c->Coeff[i] * grad[a];
          }
        }
      }
    }
  if (!reached)
    return false;
  const double s[3] = {s0, s1, s2};
  for (int i = 0; i < 3; ++i) {
    d[i] = s[i] + Linear[i][0] + Linear[i][1] * x[0] + Linear[i][2] * x[1] + Linear[i][3] * x[2];
    if constexpr (WithDerivative)
      for (int a = 0; a < 3; ++a)
        jacobian[i][a] += Linear[i][1 + a];
  }
  return true;
}

bool SplineField::Evaluate(const double x[3], double d[3]) const {
  return Sum<false>(x, d, nullptr);
}

bool SplineField::EvaluateWithDerivative(const double x[3], double d[3],
                                         double jacobian[3][3]) const {
  return Sum<true>(x, d, jacobian);
}

} // namespace selvane
