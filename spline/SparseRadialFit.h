// The spline system solved in double precision through a sparse Cholesky factor of the
// radial matrix (SparseCholesky), for systems where the envelope grows too wide. Gives the
// same coefficients as the envelope path, in the same layout (n radial weights by position,
// then d0 d1 d2 d3 of d0 + d1 x + d2 y + d3 z).
#pragma once

#include "CentreSpan.h"
#include "RadialNeighbours.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace selvane {

struct RadialSystem {
  const std::vector<double>* Coords = nullptr; // 3 per centre, by position
  const RadialNeighbours* Neighbours = nullptr;
  const CentreSpan* Span = nullptr; // Rank 2 or 3
  const float* Differences[3] = {nullptr, nullptr, nullptr};
  double Radius = 0.0;
  std::uint64_t AvailableBytes = 0; // the factor may take this much
  std::function<void()> Factoring;  // called when the assembly is done and factoring starts
  std::int64_t Size() const { return static_cast<std::int64_t>(Coords->size() / 3); }
};

struct SparseFitResult {
  enum Outcome { Ok, NotPositiveDefinite, SingularPolynomial, TooLarge, OutOfMemory, Failed };
  Outcome Result = Failed;
  std::int64_t BadPosition = -1;    // NotPositiveDefinite: the centre whose pivot failed
  std::uint64_t RequiredBytes = 0;  // TooLarge: what the factor would need
  std::uint64_t AvailableBytes = 0; // and what there is
  double MatrixNonzeros = 0.0;      // upper triangle with the diagonal
  double FactorNonzeros = 0.0;
  double FactorFlops = 0.0;
  double AssemblyTime = 0.0, AnalyseTime = 0.0, FactorTime = 0.0, SolveTime = 0.0;
  std::vector<double> Coefficients[3]; // n + 4 each
};

SparseFitResult SolveRadialSystemSparse(const RadialSystem& system);

} // namespace selvane
