// Supernodal sparse Cholesky factorisation of a symmetric positive definite matrix in double
// precision, by CHOLMOD with its fill-reducing ordering and 64-bit indices. The CHOLMOD
// objects live in RAII holders; one SparseCholesky holds one factor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace selvane {

class SparseCholesky {
public:
  enum Outcome { Factored, NotPositiveDefinite, TooLarge, OutOfMemory, Failed };

  SparseCholesky();
  ~SparseCholesky();
  SparseCholesky(const SparseCholesky&) = delete;
  SparseCholesky& operator=(const SparseCholesky&) = delete;

  // The upper triangle by columns: column i holds rows Row[ColumnStart[i]] ..
  // Row[ColumnStart[i + 1] - 1], ascending, the last being the diagonal i. The arrays are
  // moved into CHOLMOD's matrix (released once copied). availableBytes: the
  // memory the factor may take; a factor needing more is refused (TooLarge) before it is
  // allocated, with the figure in RequiredBytes().
  Outcome Factor(std::int64_t n, std::vector<std::int64_t>&& columnStart,
                 std::vector<std::int64_t>&& row, std::vector<double>&& value,
                 std::uint64_t availableBytes);

  // Overwrites the columns of b (n rows each, column after column) by the solutions.
  bool Solve(double* b, int columns);

  // After NotPositiveDefinite: the column (in the caller's order) whose pivot was not
  // positive.
  std::int64_t BadColumn() const { return Bad; }
  // After analysis: the nonzeros of the factor, its flop count and the bytes the
  // factorisation needs (factor plus workspace, estimated before it is allocated).
  double FactorNonzeros() const { return Nonzeros; }
  double FactorFlops() const { return Flops; }
  std::uint64_t RequiredBytes() const { return Required; }
  // Seconds of the last Factor: the fill-reducing ordering and symbolic analysis, then the
  // numerical factorisation.
  double AnalyseSeconds() const { return Analyse; }
  double FactoriseSeconds() const { return Factorise; }

private:
  struct State;
  std::unique_ptr<State> S;
  std::int64_t Bad = -1;
  double Nonzeros = 0.0;
  double Flops = 0.0;
  std::uint64_t Required = 0;
  double Analyse = 0.0;
  double Factorise = 0.0;
};

// Memory this process may still take: MemAvailable of /proc/meminfo, bounded by the address
// space limit (RLIMIT_AS) less what is mapped already; the physical memory when unknown.
std::uint64_t AvailableMemoryBytes();

} // namespace selvane
