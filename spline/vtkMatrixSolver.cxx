#include "vtkMatrixSolver.h"

#include "CentreSpan.h"
#include "EnvelopeSolver.h"
#include "FloatMatrix.h"
#include "RadialNeighbours.h"
#include "SelvaneError.h"
#include "SmallSystem.h"
#include "SourceResidual.h"
#include "SparseCholesky.h"
#include "SparseRadialFit.h"
#include "StageEvent.h"
#include "vtkDatReader.h"

#include <vtkObjectFactory.h>

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <new>
#include <sstream>
#include <vector>

namespace selvane {

vtkObjectFactoryNewMacro(vtkMatrixSolver);

namespace {
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// Runs an allocation; turns std::bad_alloc into SelvaneError(message).
template <typename F> void Allocate(const char* message, F&& allocation) {
  try {
    allocation();
  } catch (const std::bad_alloc&) {
    throw SelvaneError(message);
  }
}

vtkSmartPointer<vtkFloatArray> NewCoefficients(int size) {
  vtkSmartPointer<vtkFloatArray> a;
  Allocate("allocation faliture for the SplineCoeff", [&] {
    a = vtkSmartPointer<vtkFloatArray>::New();
    if (!a->SetNumberOfValues(size)) {
      throw std::bad_alloc();
    }
  });
  return a;
}

// The largest coordinate whose square stays inside the single-precision range.
const double CoordinateLimit = std::sqrt(static_cast<double>(FLT_MAX));

std::uint64_t MiB(std::uint64_t bytes) {
  return (bytes + (1u << 20) - 1) >> 20;
}

const char* PathName(int path) {
  return path == vtkMatrixSolver::SparsePath ? "sparse Cholesky (CHOLMOD, supernodal, double)"
                                             : "envelope (single precision)";
}
} // namespace

vtkMatrixSolver::vtkMatrixSolver() = default;

vtkMatrixSolver::~vtkMatrixSolver() {
  // Outputs held elsewhere stay alive: these are reference counts only.
  this->SetSplineCoeffX(nullptr);
  this->SetSplineCoeffY(nullptr);
  this->SetSplineCoeffZ(nullptr);
  this->SetPointArray(nullptr);
  this->SetList(nullptr);
  this->SetBX(nullptr);
  this->SetBY(nullptr);
  this->SetBZ(nullptr);
}

void vtkMatrixSolver::SetInputsFromReader(vtkDatReader* reader) {
  this->SetPointArray(reader->GetPointArray());
  this->SetList(reader->GetList());
  this->SetMax(reader->GetMax());
  this->SetBX(reader->GetBX());
  this->SetBY(reader->GetBY());
  this->SetBZ(reader->GetBZ());
}

void vtkMatrixSolver::PrintSelf(ostream& os, vtkIndent indent) {
  this->Superclass::PrintSelf(os, indent);
  os << indent << "PointArray: " << this->PointArray.GetPointer() << "\n";
  os << indent << "SplineCoeffX: " << this->SplineCoeffX.GetPointer() << "\n";
  os << indent << "SplineCoeffY: " << this->SplineCoeffY.GetPointer() << "\n";
  os << indent << "SplineCoeffZ: " << this->SplineCoeffZ.GetPointer() << "\n";
  os << indent << "List: " << this->List.GetPointer() << "\n";
  os << indent << "BX: " << this->BX.GetPointer() << "\n";
  os << indent << "BY: " << this->BY.GetPointer() << "\n";
  os << indent << "BZ: " << this->BZ.GetPointer() << "\n";
  os << indent << "Radius: " << this->Radius << "\n";
  os << indent << "Max: " << this->Max << "\n";
  os << indent << "Path: " << this->Path << " (used: " << this->PathUsed << ")\n";
  os << indent << "EnvelopeWorkCrossover: " << this->EnvelopeWorkCrossover << "\n";
  os << indent << "ResidualTolerance: " << this->ResidualTolerance << "\n";
  os << indent << "MemoryLimit: " << this->MemoryLimit << "\n";
  os << indent << "Status: " << this->Status << " " << this->StatusMessage << "\n";
}

std::uint64_t vtkMatrixSolver::MemoryForFactor() const {
  return this->MemoryLimit > 0.0 ? static_cast<std::uint64_t>(this->MemoryLimit)
                                 : AvailableMemoryBytes();
}

int vtkMatrixSolver::Refuse(int status, const std::string& message) {
  this->Status = status;
  this->StatusMessage = message;
  this->SplineCoeffX = nullptr;
  this->SplineCoeffY = nullptr;
  this->SplineCoeffZ = nullptr;
  this->Centres = nullptr;
  return 0;
}

namespace {

// Why the centres look like one line: truly so, or one centre so far from the others that
// their spread vanishes beside its distance (the rest then merge into one point).
std::string CollinearReason(const std::vector<double>& x, const int* list) {
  const size_t n = x.size() / 3;
  double median[3];
  for (int a = 0; a < 3; ++a) {
    std::vector<double> c(n);
    for (size_t k = 0; k < n; ++k)
      c[k] = x[3 * k + a];
    std::nth_element(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(n / 2), c.end());
    median[a] = c[n / 2];
  }
  size_t far = 0;
  double farthest = -1, nextFarthest = 0;
  for (size_t k = 0; k < n; ++k) {
    const double d =
        std::hypot(x[3 * k] - median[0], x[3 * k + 1] - median[1], x[3 * k + 2] - median[2]);
    if (d > farthest) {
      nextFarthest = std::max(nextFarthest, farthest);
      farthest = d;
      far = k;
    } else {
      nextFarthest = std::max(nextFarthest, d);
    }
  }
  if (!(farthest > 1e4 * nextFarthest))
    return "the centres lie on one line";
  std::ostringstream msg;
  msg << "the source of pair " << list[far] + 1 << " (" << x[3 * far] << " " << x[3 * far + 1]
      << " " << x[3 * far + 2] << ") lies " << farthest << " from the others, which spread "
      << nextFarthest << ": beside it they fall on one line";
  return msg.str();
}

} // namespace

int vtkMatrixSolver::Solve() {
  this->Status = NotSolved;
  this->StatusMessage.clear();
  this->PolynomialRank = 0;
  this->PathUsed = AutomaticPath;
  this->WarningMessage.clear();
  this->SourceResidual = 0.0;
  this->ResidualLimit = 0.0;

  // Inputs.
  if (!this->PointArray || !this->List || !this->BX || !this->BY || !this->BZ) {
    return this->Refuse(MissingInput, "the centres, the order or the differences are not set");
  }
  const int n = static_cast<int>(this->PointArray->GetNumberOfPoints());
  if (this->List->GetNumberOfValues() != n || this->BX->GetNumberOfValues() != n ||
      this->BY->GetNumberOfValues() != n || this->BZ->GetNumberOfValues() != n) {
    return this->Refuse(MissingInput, "the order or the differences do not have one entry "
                                      "per centre");
  }
  if (!(this->Radius > 0.0f) || !std::isfinite(this->Radius)) {
    return this->Refuse(MissingInput, "the radius of support is not a positive number");
  }
  const int* list = this->List->GetPointer(0);
  for (int k = 0; k < n; ++k) {
    if (list[k] < 0 || list[k] >= n) {
      return this->Refuse(MissingInput, "the order is not a permutation of the centres");
    }
  }
  if (n < 3) {
    std::ostringstream msg;
    msg << "fewer than three distinct centres (" << n << ")";
    return this->Refuse(TooFewCentres, msg.str());
  }

  // Centres by position, as doubles of the single-precision coordinates.
  std::vector<double> x;
  Allocate("Not enough memory to allocate Diag", [&] { x.resize(3 * static_cast<size_t>(n)); });
  for (int k = 0; k < n; ++k) {
    double p[3];
    this->PointArray->GetPoint(list[k], p);
    for (int a = 0; a < 3; ++a) {
      x[3 * k + a] = static_cast<float>(p[a]);
    }
  }
  // A coordinate whose square leaves the single-precision range makes every distance and
  // every principal direction meaningless (the other centres collapse onto one line).
  for (int k = 0; k < n; ++k) {
    for (int a = 0; a < 3; ++a) {
      if (!(std::fabs(x[3 * static_cast<size_t>(k) + a]) <= CoordinateLimit)) {
        std::ostringstream msg;
        msg << "the source of pair " << list[k] + 1 << " (" << x[3 * static_cast<size_t>(k)] << " "
            << x[3 * static_cast<size_t>(k) + 1] << " " << x[3 * static_cast<size_t>(k) + 2]
            << ") has a coordinate too large for the arithmetic (beyond " << CoordinateLimit << ")";
        return this->Refuse(CoordinateTooLarge, msg.str());
      }
    }
  }
  const CentreSpan span = ComputeCentreSpan(x);
  if (span.Rank == 0) {
    return this->Refuse(TooFewCentres, "fewer than three distinct centres (all at one position)");
  }
  if (span.Rank == 1) {
    return this->Refuse(CollinearCentres, CollinearReason(x, list));
  }
  this->PolynomialRank = span.Rank;

  RadialNeighbours neighbours;
  Allocate("Not enough memory to find the neighbours of the centres",
           [&] { FindRadialNeighbours(x, this->Radius, this->Max, neighbours); });
  int path = this->Path;
  std::ostringstream reason;
  if (path == AutomaticPath) {
    path = neighbours.EnvelopeWork <= this->EnvelopeWorkCrossover ? EnvelopePath : SparsePath;
    reason << "automatic: envelope work " << neighbours.EnvelopeWork
           << (path == EnvelopePath ? " <= " : " > ") << this->EnvelopeWorkCrossover;
  } else {
    reason << "forced";
  }
  std::cout << "Solver: " << PathName(path) << " (" << reason.str() << ")." << std::endl;

  vtkSmartPointer<vtkFloatArray> coefficients[3];
  const int solved = path == EnvelopePath ? this->SolveByEnvelope(x, span, coefficients)
                                          : this->SolveBySparse(x, span, neighbours, coefficients);
  if (!solved) {
    return 0;
  }
  this->PathUsed = path;

  // The residual at the sources, against the extent of the model.
  double lo[3] = {x[0], x[1], x[2]}, hi[3] = {x[0], x[1], x[2]};
  for (size_t k = 0; k < x.size(); k += 3) {
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], x[k + a]);
      hi[a] = std::max(hi[a], x[k + a]);
    }
  }
  const double extent =
      std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                (hi[2] - lo[2]) * (hi[2] - lo[2]));
  this->ResidualLimit = this->ResidualTolerance * extent;
  const float* differences[3] = {this->BX->GetPointer(0), this->BY->GetPointer(0),
                                 this->BZ->GetPointer(0)};
  auto check = [&]() {
    const float* c[3] = {coefficients[0]->GetPointer(0), coefficients[1]->GetPointer(0),
                         coefficients[2]->GetPointer(0)};
    return ComputeSourceResidual(x, neighbours, this->Radius, c, differences);
  };
  selvane::SourceResidual residual = check();
  if (!(residual.Worst <= this->ResidualLimit) && path == EnvelopePath &&
      this->Path == AutomaticPath) {
    std::cout << "Residual at the sources " << residual.Worst << " exceeds " << this->ResidualLimit
              << ": solving again in double." << std::endl;
    std::cout << "Solver: " << PathName(SparsePath) << " (precision)." << std::endl;
    if (!this->SolveBySparse(x, span, neighbours, coefficients)) {
      return 0;
    }
    this->PathUsed = SparsePath;
    residual = check();
  }
  this->SourceResidual = residual.Worst;
  if (!(residual.Worst <= this->ResidualLimit)) {
    const size_t k = static_cast<size_t>(residual.WorstPosition);
    std::ostringstream msg;
    msg << "warning: the fit misses its sources by up to " << residual.Worst << " (tolerance "
        << this->ResidualLimit << "), worst at pair " << list[k] + 1 << " (source " << x[3 * k]
        << " " << x[3 * k + 1] << " " << x[3 * k + 2]
        << "); centres too close together for their different targets?";
    this->WarningMessage = msg.str();
  }

  auto centres = vtkSmartPointer<vtkPoints>::New();
  centres->SetDataTypeToFloat();
  centres->SetNumberOfPoints(n);
  for (int k = 0; k < n; ++k) {
    centres->SetPoint(k, x[3 * static_cast<size_t>(k)], x[3 * static_cast<size_t>(k) + 1],
                      x[3 * static_cast<size_t>(k) + 2]);
  }
  this->Centres = centres;
  this->SplineCoeffX = coefficients[0];
  this->SplineCoeffY = coefficients[1];
  this->SplineCoeffZ = coefficients[2];
  this->Status = Ok;
  this->StatusMessage = "ok";
  this->Modified();
  return 1;
}

int vtkMatrixSolver::SolveByEnvelope(const std::vector<double>& x, const CentreSpan& span,
                                     vtkSmartPointer<vtkFloatArray> out[3]) {
  const int n = static_cast<int>(x.size() / 3);
  const int* list = this->List->GetPointer(0);
  const int rank = span.Rank;
  const int columns = rank + 1; // polynomial columns used: 1 and the spanned directions
  EnvelopeSolver solver;
  solver.N = n;
  Allocate("Not enough memory to allocate Diag", [&] { solver.Diag.assign(n, 1.0f); });
  Allocate("Not enough memory to allocate Xenv", [&] { solver.Xenv.assign(n + 1, 1); });
  // Polynomial block in the principal basis of the centres: 1, then (x - mean) . axis / spread.
  FloatMatrix P(0, 4, 0, n);
  FloatMatrix S(0, 4, 0, 4);
  FloatMatrix W(0, n, 0, 4);
  for (int k = 0; k < n; ++k) {
    P[0][k] = 1.0f;
    for (int j = 0; j < 3; ++j) {
      double v = 0.0;
      if (j < rank) {
        for (int a = 0; a < 3; ++a) {
          v += (x[3 * k + a] - span.Centre[a]) * span.Axis[j][a];
        }
        v /= span.Spread[j];
      }
      P[j + 1][k] = static_cast<float>(v);
    }
  }
  for (int r = 0; r < 4; ++r) {
    for (int q = 0; q < 4; ++q) {
      S[r][q] = 0.0f;
    }
  }
  std::vector<float> fff;
  Allocate("allocation faliture for the FFF", [&] { fff.resize(n); });

  // Assembly of the lower triangle of A, window of Max positions.
  const auto constructionStart = Clock::now();
  const int window = this->Max;
  const double radius = this->Radius;
  const double radius2 = radius * radius;
  auto distance2 = [&x](int i, int j) {
    return SquaredDistance(&x[3 * static_cast<size_t>(i)], &x[3 * static_cast<size_t>(j)]);
  };
  // Pass 1: first coupled column of every row, hence the exact envelope size.
  std::vector<int> firstColumn;
  Allocate("Not enough memory to allocate Env", [&] { firstColumn.resize(n); });
  std::int64_t count = 0;
  for (int i = 0; i < n; ++i) {
    int j0 = i;
    for (int j = i - window < 0 ? 0 : i - window; j < i; ++j) {
      if (distance2(i, j) < radius2) {
        j0 = j;
        break;
      }
    }
    firstColumn[i] = j0;
    count += i - j0;
    solver.Xenv[i + 1] = count + 1;
  }
  {
    // The envelope, the factor's shadow rows and the polynomial blocks, before any of it is
    // allocated.
    const std::uint64_t need = 4ull * static_cast<std::uint64_t>(count) + 80ull * n;
    const std::uint64_t available = this->MemoryForFactor();
    if (need > available) {
      std::ostringstream msg;
      msg << "the envelope factor of " << n << " centres needs " << MiB(need)
          << " MiB of memory and " << MiB(available) << " MiB are available";
      return this->Refuse(TooLarge, msg.str());
    }
  }
  // Pass 2: the entries, phi(r) = (1 - r/R)^2 for r < R, 0.0 otherwise (branch-free over
  // coordinate arrays, so that the compiler vectorises it).
  Allocate("Not enough memory to allocate Env", [&] { solver.Env.resize(count); });
  float* env = solver.Env.data();
  std::vector<double> xs, ys, zs;
  Allocate("Not enough memory to allocate Env", [&] {
    xs.resize(n);
    ys.resize(n);
    zs.resize(n);
  });
  for (int k = 0; k < n; ++k) {
    xs[k] = x[3 * k];
    ys[k] = x[3 * k + 1];
    zs[k] = x[3 * k + 2];
  }
  for (int i = 0; i < n; ++i) {
    const int j0 = firstColumn[i];
    if (j0 == i) {
      continue;
    }
    float* row = env + (solver.Xenv[i] - 1);
    const double xi = xs[i], yi = ys[i], zi = zs[i];
    const double* px = xs.data() + j0;
    const double* py = ys.data() + j0;
    const double* pz = zs.data() + j0;
    const int len = i - j0;
    for (int k = 0; k < len; ++k) {
      const double dx = xi - px[k], dy = yi - py[k], dz = zi - pz[k];
      const double d2 = dx * dx + dy * dy + dz * dz;
      const double t = 1.0 - std::sqrt(d2) / radius;
      row[k] = d2 < radius2 ? static_cast<float>(t * t) : 0.0f;
    }
  }
  const int relocations = 0;
  this->ConstructionTime = Seconds(constructionStart);
  this->EnvelopeSize = count;
  const std::uint64_t bytesEnvelope = 4ull * (static_cast<std::uint64_t>(count) + 2ull * n);
  const std::uint64_t bytesFull = 4ull * static_cast<std::uint64_t>(n) * n;
  std::cout << "Constructing time: " << this->ConstructionTime << " sec., (" << relocations
            << " relocations)." << std::endl;
  std::cout << "Size of matrix A is (" << n << "*" << n << "): " << bytesEnvelope << " bytes "
            << "(" << (bytesEnvelope >> 20) << " MiB) <= " << bytesFull << " bytes ("
            << (bytesFull >> 20) << " MiB) if stored as full matrix." << std::endl;

  // Solution.
  const auto solvingStart = Clock::now();
  solver.ErrorFlag = 0;
  this->InvokeEvent(StageEvent, const_cast<char*>("Factoring"));
  if (solver.EnvelopeSolve(1, nullptr) != 0) {
    const int row = solver.FirstBadPivot;
    std::ostringstream msg;
    msg << "the radial-function matrix is not positive definite: the pivot of row " << row
        << " (point " << list[row] << " at " << x[3 * row] << " " << x[3 * row + 1] << " "
        << x[3 * row + 2] << ") is not positive; centres closer together than single "
        << "precision can separate at radius " << radius << "?";
    return this->Refuse(NotPositiveDefinite, msg.str());
  }
  for (int q = 0; q < columns; ++q) {
    for (int k = 0; k < n; ++k) {
      fff[k] = P[q][k];
    }
    solver.EnvelopeSolve(2, fff.data());
    for (int k = 0; k < n; ++k) {
      W[k][q] = fff[k];
    }
  }
  for (int r = 0; r < columns; ++r) {
    for (int q = 0; q < columns; ++q) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) {
        s += static_cast<double>(W[k][q]) * P[r][k];
      }
      S[r][q] = static_cast<float>(S[r][q] - s);
    }
  }
  if (rank == 2) {
    S[3][3] = 1.0f; // the missing direction: its coefficient is 0
  }

  vtkSmartPointer<vtkFloatArray>* coefficients = out;
  vtkFloatArray* differences[3] = {this->BX, this->BY, this->BZ};
  for (int axis = 0; axis < 3; ++axis) {
    coefficients[axis] = NewCoefficients(n + 4);
    float* f = coefficients[axis]->GetPointer(0);
    const float* b = differences[axis]->GetPointer(0);
    for (int k = 0; k < n; ++k) {
      f[k] = b[k];
    }
    solver.EnvelopeSolve(2, f);
    float fright[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int r = 0; r < columns; ++r) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) {
        s += static_cast<double>(P[r][k]) * f[k];
      }
      fright[r] = static_cast<float>(fright[r] - s);
    }
    SmallSystemSolver small;
    for (int r = 0; r < 4; ++r) {
      for (int q = 0; q < 4; ++q) {
        small.M[4 * r + q] = S[r][q];
      }
      small.b[r] = fright[r];
    }
    small.HouseholderRows();
    if (!(small.DiagonalRatio() > 1e-6f)) {
      return this->Refuse(SingularPolynomial, "the 4x4 system of the linear part is singular");
    }
    small.LowerTriangularSolve();
    small.ApplyReflections();
    double d[4] = {small.b[0], small.b[1], small.b[2], small.b[3]};
    if (rank == 2) {
      d[3] = 0.0;
    }
    for (int k = 0; k < n; ++k) {
      double s = 0.0;
      for (int q = 0; q < columns; ++q) {
        s += static_cast<double>(W[k][q]) * static_cast<float>(d[q]);
      }
      f[k] = static_cast<float>(f[k] - s);
    }
    // Back from the principal basis to d0 + d1 x + d2 y + d3 z.
    double linear[3] = {0.0, 0.0, 0.0};
    for (int j = 0; j < rank; ++j) {
      for (int a = 0; a < 3; ++a) {
        linear[a] +=
            static_cast<double>(static_cast<float>(d[j + 1])) * span.Axis[j][a] / span.Spread[j];
      }
    }
    double constant = static_cast<float>(d[0]);
    for (int a = 0; a < 3; ++a) {
      constant -= linear[a] * span.Centre[a];
    }
    f[n] = static_cast<float>(constant);
    for (int a = 0; a < 3; ++a) {
      f[n + 1 + a] = static_cast<float>(linear[a]);
    }
    for (int k = 0; k < n + 4; ++k) {
      if (!std::isfinite(f[k])) {
        return this->Refuse(NotFinite, "a spline coefficient is not a finite number");
      }
    }
  }
  this->SolvingTime = Seconds(solvingStart);
  std::cout << "Solving time: " << this->SolvingTime << " sec." << std::endl;
  return 1;
}

int vtkMatrixSolver::SolveBySparse(const std::vector<double>& x, const CentreSpan& span,
                                   const RadialNeighbours& neighbours,
                                   vtkSmartPointer<vtkFloatArray> out[3]) {
  const std::int64_t n = static_cast<std::int64_t>(x.size() / 3);
  const int* list = this->List->GetPointer(0);
  RadialSystem system;
  system.Coords = &x;
  system.Neighbours = &neighbours;
  system.Span = &span;
  system.Differences[0] = this->BX->GetPointer(0);
  system.Differences[1] = this->BY->GetPointer(0);
  system.Differences[2] = this->BZ->GetPointer(0);
  system.Radius = this->Radius;
  system.AvailableBytes = this->MemoryForFactor();
  system.Factoring = [this] { this->InvokeEvent(StageEvent, const_cast<char*>("Factoring")); };
  const SparseFitResult fit = SolveRadialSystemSparse(system);
  this->ConstructionTime = fit.AssemblyTime;
  this->EnvelopeSize = neighbours.EnvelopeEntries;
  switch (fit.Result) {
  case SparseFitResult::Ok:
    break;
  case SparseFitResult::NotPositiveDefinite: {
    const size_t k = static_cast<size_t>(fit.BadPosition);
    std::ostringstream msg;
    msg << "the radial-function matrix is not positive definite: the pivot of row "
        << fit.BadPosition << " (point " << list[k] << " at " << x[3 * k] << " " << x[3 * k + 1]
        << " " << x[3 * k + 2] << ") is not positive; centres closer together than the "
        << "arithmetic can separate at radius " << this->Radius << "?";
    return this->Refuse(NotPositiveDefinite, msg.str());
  }
  case SparseFitResult::SingularPolynomial:
    return this->Refuse(SingularPolynomial, "the 4x4 system of the linear part is singular");
  case SparseFitResult::TooLarge: {
    std::ostringstream msg;
    msg << "the sparse factor of " << n << " centres (" << fit.FactorNonzeros << " nonzeros) needs "
        << MiB(fit.RequiredBytes) << " MiB of memory and " << MiB(fit.AvailableBytes)
        << " MiB are available";
    return this->Refuse(TooLarge, msg.str());
  }
  case SparseFitResult::OutOfMemory: {
    std::ostringstream msg;
    msg << "not enough memory for the sparse factor of " << n << " centres (" << fit.FactorNonzeros
        << " nonzeros, about " << MiB(fit.RequiredBytes) << " MiB)";
    throw SelvaneError(msg.str());
  }
  default:
    return this->Refuse(NotPositiveDefinite, "the sparse factorisation failed");
  }
  std::cout << "Constructing time: " << fit.AssemblyTime << " sec." << std::endl;
  std::cout << "Size of matrix A is (" << n << "*" << n << "): " << fit.MatrixNonzeros
            << " nonzeros in the upper triangle; factor: " << fit.FactorNonzeros << " nonzeros, "
            << fit.FactorFlops << " flops, " << MiB(fit.RequiredBytes) << " MiB; ordering "
            << fit.AnalyseTime << " sec., factor " << fit.FactorTime << " sec." << std::endl;
  for (int axis = 0; axis < 3; ++axis) {
    out[axis] = NewCoefficients(static_cast<int>(n + 4));
    float* f = out[axis]->GetPointer(0);
    const std::vector<double>& c = fit.Coefficients[axis];
    for (std::int64_t k = 0; k < n + 4; ++k) {
      f[k] = static_cast<float>(c[k]);
      if (!std::isfinite(f[k])) {
        return this->Refuse(NotFinite, "a spline coefficient is not a finite number");
      }
    }
  }
  this->SolvingTime = fit.AnalyseTime + fit.FactorTime + fit.SolveTime;
  std::cout << "Solving time: " << this->SolvingTime << " sec." << std::endl;
  return 1;
}

} // namespace selvane
