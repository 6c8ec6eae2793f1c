// Envelope (skyline) Cholesky solver: A = L * L^T by the bordering method, then
// forward and back substitution. Values are floats; inner products are accumulated in double
// precision and rounded once when stored. Positions are zero-based; the values stored in
// Xenv are one-based (Xenv[0] = 1, Xenv[i + 1] - Xenv[i] = bandwidth of row i).
#pragma once

#include <cstdint>
#include <vector>

namespace selvane {

// Factors in place (vectorised, four rows at a time). Sets errorFlag to 1 on a pivot that is
// not positive; a non-positive first pivot stops at once, a later one leaves that Diag entry
// at its assembled value and the remaining rows are still factored. firstBadRow, when given,
// receives the first row whose pivot was not positive (left unchanged otherwise).
void EnvelopeFactor(int n, const std::int64_t* xenv, float* env, float* diag, int& errorFlag,
                    int* firstBadRow = nullptr);
// The same factorisation in its plain row-by-row form (one EnvelopeLowerSolve per row). Reference
// for the tests; results equal EnvelopeFactor's up to rounding.
void EnvelopeFactorPlain(int n, const std::int64_t* xenv, float* env, float* diag, int& errorFlag,
                         int* firstBadRow = nullptr);
// Overwrites r by the solution y of L * y = r.
void EnvelopeLowerSolve(int n, const std::int64_t* xenv, const float* env, const float* diag,
                        float* r);
// Overwrites r by the solution x of L^T * x = r.
void EnvelopeUpperSolve(int n, const std::int64_t* xenv, const float* env, const float* diag,
                        float* r);

// The solver state: owned by its caller (no static storage).
class EnvelopeSolver {
public:
  int N = 0;
  std::vector<float> Diag;        // N floats
  std::vector<std::int64_t> Xenv; // N + 1 offsets, one-based values
  std::vector<float> Env;         // Xenv[N] - 1 floats
  int ErrorFlag = 0;
  int FirstBadPivot = -1; // first row whose pivot was not positive, -1 if none

  // Mode 0: factor, then both substitutions on r; 1: factor only; 2: both substitutions on r
  // with the factor in place; any other: nothing. Never clears ErrorFlag; returns it.
  int EnvelopeSolve(int mode, float* r);
};

} // namespace selvane
