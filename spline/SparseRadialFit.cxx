#include "SparseRadialFit.h"

#include "SparseCholesky.h"

#include <chrono>
#include <cmath>
#include <new>

namespace selvane {

namespace {
using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// Gaussian elimination with partial pivoting on a small dense system (row major, order m).
// False when a pivot is below 1e-12 of the largest: the polynomial part is then not
// determined by the centres.
bool SolveDense(int m, double* a, double* b) {
  double largest = 0.0;
  for (int k = 0; k < m * m; ++k) {
    largest = std::max(largest, std::fabs(a[k]));
  }
  for (int c = 0; c < m; ++c) {
    int p = c;
    for (int r = c + 1; r < m; ++r) {
      if (std::fabs(a[r * m + c]) > std::fabs(a[p * m + c])) {
        p = r;
      }
    }
    if (!(std::fabs(a[p * m + c]) > 1e-12 * largest)) {
      return false;
    }
    if (p != c) {
      for (int k = 0; k < m; ++k) {
        std::swap(a[p * m + k], a[c * m + k]);
      }
      std::swap(b[p], b[c]);
    }
    for (int r = c + 1; r < m; ++r) {
      const double f = a[r * m + c] / a[c * m + c];
      for (int k = c; k < m; ++k) {
        a[r * m + k] -= f * a[c * m + k];
      }
      b[r] -= f * b[c];
    }
  }
  for (int c = m - 1; c >= 0; --c) {
    double s = b[c];
    for (int k = c + 1; k < m; ++k) {
      s -= a[c * m + k] * b[k];
    }
    b[c] = s / a[c * m + c];
  }
  return true;
}
} // namespace

SparseFitResult SolveRadialSystemSparse(const RadialSystem& system) {
  SparseFitResult result;
  const std::vector<double>& x = *system.Coords;
  const RadialNeighbours& nb = *system.Neighbours;
  const CentreSpan& span = *system.Span;
  const std::int64_t n = system.Size();
  const int rank = span.Rank;
  const int columns = rank + 1;
  const double radius = system.Radius;

  try {
    // The upper triangle by columns: column i holds its earlier neighbours, then i itself.
    const auto assemblyStart = Clock::now();
    std::vector<std::int64_t> start(n + 1);
    std::vector<std::int64_t> row(nb.Index.size() + n);
    std::vector<double> value(row.size());
    std::int64_t at = 0;
    for (std::int64_t i = 0; i < n; ++i) {
      start[i] = at;
      for (std::int64_t k = nb.Start[i]; k < nb.Start[i + 1]; ++k) {
        const std::int64_t j = nb.Index[k];
        row[at] = j;
        value[at] = RadialWeight(SquaredDistance(&x[3 * i], &x[3 * j]), radius);
        ++at;
      }
      row[at] = i;
      value[at] = 1.0;
      ++at;
    }
    start[n] = at;
    result.MatrixNonzeros = static_cast<double>(at);
    result.AssemblyTime = Seconds(assemblyStart);

    if (system.Factoring)
      system.Factoring();
    const auto factorStart = Clock::now();
    SparseCholesky cholesky;
    result.AvailableBytes = system.AvailableBytes;
    const SparseCholesky::Outcome outcome = cholesky.Factor(
        n, std::move(start), std::move(row), std::move(value), result.AvailableBytes);
    result.FactorNonzeros = cholesky.FactorNonzeros();
    result.FactorFlops = cholesky.FactorFlops();
    result.RequiredBytes = cholesky.RequiredBytes();
    result.AnalyseTime = cholesky.AnalyseSeconds();
    result.FactorTime = Seconds(factorStart) - result.AnalyseTime;
    switch (outcome) {
    case SparseCholesky::Factored:
      break;
    case SparseCholesky::NotPositiveDefinite:
      result.Result = SparseFitResult::NotPositiveDefinite;
      result.BadPosition = cholesky.BadColumn();
      return result;
    case SparseCholesky::TooLarge:
      result.Result = SparseFitResult::TooLarge;
      return result;
    case SparseCholesky::OutOfMemory:
      result.Result = SparseFitResult::OutOfMemory;
      return result;
    default:
      result.Result = SparseFitResult::Failed;
      return result;
    }

    // Right sides: the polynomial columns in the principal basis, then the differences.
    const auto solveStart = Clock::now();
    const int sides = columns + 3;
    std::vector<double> y(static_cast<size_t>(n) * sides);
    for (std::int64_t k = 0; k < n; ++k) {
      y[k] = 1.0;
      for (int j = 0; j < rank; ++j) {
        double v = 0.0;
        for (int a = 0; a < 3; ++a) {
          v += (x[3 * k + a] - span.Centre[a]) * span.Axis[j][a];
        }
        y[(j + 1) * n + k] = v / span.Spread[j];
      }
      for (int axis = 0; axis < 3; ++axis) {
        y[(columns + axis) * n + k] = system.Differences[axis][k];
      }
    }
    std::vector<double> p(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(columns) * n);
    if (!cholesky.Solve(y.data(), sides)) {
      result.Result = SparseFitResult::OutOfMemory;
      return result;
    }
    // S = P^T A^-1 P; for each axis S d = P^T A^-1 b, then c = A^-1 b - A^-1 P d.
    double s[16] = {};
    for (int r = 0; r < columns; ++r) {
      for (int q = 0; q < columns; ++q) {
        double sum = 0.0;
        for (std::int64_t k = 0; k < n; ++k) {
          sum += p[r * n + k] * y[q * n + k];
        }
        s[r * columns + q] = sum;
      }
    }
    for (int axis = 0; axis < 3; ++axis) {
      const double* f = y.data() + static_cast<size_t>(columns + axis) * n;
      double a[16], d[4] = {0.0, 0.0, 0.0, 0.0};
      std::copy(s, s + 16, a);
      for (int r = 0; r < columns; ++r) {
        double sum = 0.0;
        for (std::int64_t k = 0; k < n; ++k) {
          sum += p[r * n + k] * f[k];
        }
        d[r] = sum;
      }
      if (!SolveDense(columns, a, d)) {
        result.Result = SparseFitResult::SingularPolynomial;
        return result;
      }
      std::vector<double>& c = result.Coefficients[axis];
      c.resize(n + 4);
      for (std::int64_t k = 0; k < n; ++k) {
        double v = f[k];
        for (int q = 0; q < columns; ++q) {
          v -= y[q * n + k] * d[q];
        }
        c[k] = v;
      }
      // Back from the principal basis to d0 + d1 x + d2 y + d3 z.
      double linear[3] = {0.0, 0.0, 0.0};
      for (int j = 0; j < rank; ++j) {
        for (int a2 = 0; a2 < 3; ++a2) {
          linear[a2] += d[j + 1] * span.Axis[j][a2] / span.Spread[j];
        }
      }
      double constant = d[0];
      for (int a2 = 0; a2 < 3; ++a2) {
        constant -= linear[a2] * span.Centre[a2];
      }
      c[n] = constant;
      for (int a2 = 0; a2 < 3; ++a2) {
        c[n + 1 + a2] = linear[a2];
      }
    }
    result.SolveTime = Seconds(solveStart);
  } catch (const std::bad_alloc&) {
    result.Result = SparseFitResult::OutOfMemory;
    return result;
  }
  result.Result = SparseFitResult::Ok;
  return result;
}

} // namespace selvane
