#include "EnvelopeSolver.h"

#include "DotKernels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace selvane {

namespace {
inline int Bandwidth(const std::int64_t* xenv, int i) {
  const std::int64_t b = xenv[i + 1] - xenv[i];
  return b > i ? i : static_cast<int>(b);
}

inline void MarkBad(int& errorFlag, int* firstBadRow, int row) {
  if (errorFlag == 0 && firstBadRow) {
    *firstBadRow = row;
  }
  errorFlag = 1;
}

// Row 0 of either factorization: its pivot is the square root of the diagonal, and a
// non-positive one stops the factorization at once. True when later rows are to be factored.
bool FactorFirstRow(int n, float* diag, int& errorFlag, int* firstBadRow) {
  if (n <= 0) {
    return false;
  }
  if (!(diag[0] > 0.0f)) {
    MarkBad(errorFlag, firstBadRow, 0);
    return false;
  }
  diag[0] = std::sqrt(diag[0]);
  return n > 1;
}
} // namespace

void EnvelopeLowerSolve(int n, const std::int64_t* xenv, const float* env, const float* diag,
                        float* r) {
  if (n <= 0) {
    return;
  }
  int p = 0;
  while (p < n - 1 && r[p] == 0.0f) {
    ++p;
  }
  int h = 0;
  for (int i = p; i < n; ++i) {
    const int b = Bandwidth(xenv, i);
    const int l = i - b;
    double s = r[i];
    r[i] = 0.0f;
    if (b > 0 && h >= l) {
      s -= DotFloat(env + (xenv[i + 1] - 1 - b), r + l, b);
    }
    if (s != 0.0) {
      r[i] = static_cast<float>(s / diag[i]);
      h = i;
    }
  }
}

void EnvelopeUpperSolve(int n, const std::int64_t* xenv, const float* env, const float* diag,
                        float* r) {
  for (int i = n - 1; i >= 0; --i) {
    if (r[i] == 0.0f) {
      continue;
    }
    const float s = r[i] / diag[i];
    r[i] = s;
    const int b = Bandwidth(xenv, i);
    const float* row = env + (xenv[i + 1] - 1 - b);
    float* target = r + (i - b);
    for (int k = 0; k < b; ++k) {
      target[k] = target[k] - s * row[k];
    }
  }
}

void EnvelopeFactorPlain(int n, const std::int64_t* xenv, float* env, float* diag, int& errorFlag,
                         int* firstBadRow) {
  if (!FactorFirstRow(n, diag, errorFlag, firstBadRow)) {
    return;
  }
  for (int i = 1; i < n; ++i) {
    const int b = static_cast<int>(xenv[i + 1] - xenv[i]);
    double t = diag[i];
    if (b > 0) {
      const int f = i - b;
      float* segment = env + (xenv[i] - 1);
      EnvelopeLowerSolve(b, xenv + f, env, diag + f, segment);
      double squares = 0.0;
      for (int k = 0; k < b; ++k) {
        squares += static_cast<double>(segment[k]) * segment[k];
      }
      t -= squares;
    }
    if (!(t > 0.0)) {
      MarkBad(errorFlag, firstBadRow, i);
      continue;
    }
    diag[i] = static_cast<float>(std::sqrt(t));
  }
}

// Blocked bordering: rows i0 .. i0 + 3 are solved together. For every earlier row k the four
// right sides are updated with one pass over row k's envelope (DotRows4), so the factor is
// read once per four rows instead of once per row. The solved segments are mirrored in double
// shadow vectors (exact copies of the stored floats, zero outside the segment), which makes
// every inner product the plain algorithm's up to the order of the additions.
void EnvelopeFactor(int n, const std::int64_t* xenv, float* env, float* diag, int& errorFlag,
                    int* firstBadRow) {
  if (!FactorFirstRow(n, diag, errorFlag, firstBadRow)) {
    return;
  }
  constexpr int Rows = 4;
  std::vector<double> shadow(static_cast<size_t>(Rows) * n, 0.0);
  double* y[Rows];
  for (int m = 0; m < Rows; ++m) {
    y[m] = shadow.data() + static_cast<size_t>(m) * n;
  }
  for (int i0 = 1; i0 < n; i0 += Rows) {
    const int count = std::min(Rows, n - i0);
    int first[Rows];
    std::ptrdiff_t segment[Rows]; // env[segment[m] + c] is column c of row i0 + m
    int f = i0;
    for (int m = 0; m < count; ++m) {
      const int i = i0 + m;
      first[m] = i - Bandwidth(xenv, i);
      segment[m] = static_cast<std::ptrdiff_t>(xenv[i] - 1 - first[m]);
      f = std::min(f, first[m]);
    }
    // Columns before the block: all four rows at once.
    for (int k = f; k < i0; ++k) {
      const int lo = std::max(k - Bandwidth(xenv, k), f);
      const int len = k - lo;
      double d[Rows] = {0.0, 0.0, 0.0, 0.0};
      if (len > 0) {
        DotRows4(env + (xenv[k + 1] - 1 - len), y[0] + lo, y[1] + lo, y[2] + lo, y[3] + lo, len, d);
      }
      for (int m = 0; m < count; ++m) {
        if (k >= first[m]) {
          const double s = static_cast<double>(env[segment[m] + k]) - d[m];
          const float v = s != 0.0 ? static_cast<float>(s / diag[k]) : 0.0f;
          env[segment[m] + k] = v;
          y[m][k] = v;
        }
      }
    }
    // Columns inside the block, then the pivot, row after row.
    for (int m = 0; m < count; ++m) {
      const int i = i0 + m;
      for (int k = std::max(i0, first[m]); k < i; ++k) {
        const int lo = std::max(k - Bandwidth(xenv, k), first[m]);
        const int len = k - lo;
        double d[Rows] = {0.0, 0.0, 0.0, 0.0};
        if (len > 0) {
          DotRows4(env + (xenv[k + 1] - 1 - len), y[m] + lo, y[m] + lo, y[m] + lo, y[m] + lo, len,
                   d);
        }
        const double s = static_cast<double>(env[segment[m] + k]) - d[0];
        const float v = s != 0.0 ? static_cast<float>(s / diag[k]) : 0.0f;
        env[segment[m] + k] = v;
        y[m][k] = v;
      }
      double squares = 0.0;
      for (int c = first[m]; c < i; ++c) {
        squares += y[m][c] * y[m][c];
      }
      const double t = static_cast<double>(diag[i]) - squares;
      if (!(t > 0.0)) {
        MarkBad(errorFlag, firstBadRow, i);
      } else {
        diag[i] = static_cast<float>(std::sqrt(t));
      }
    }
    for (int m = 0; m < count; ++m) {
      std::fill(y[m] + first[m], y[m] + i0 + m, 0.0);
    }
  }
}

int EnvelopeSolver::EnvelopeSolve(int mode, float* r) {
  switch (mode) {
  case 0:
    EnvelopeFactor(N, Xenv.data(), Env.data(), Diag.data(), ErrorFlag, &FirstBadPivot);
    EnvelopeLowerSolve(N, Xenv.data(), Env.data(), Diag.data(), r);
    EnvelopeUpperSolve(N, Xenv.data(), Env.data(), Diag.data(), r);
    break;
  case 1:
    EnvelopeFactor(N, Xenv.data(), Env.data(), Diag.data(), ErrorFlag, &FirstBadPivot);
    break;
  case 2:
    EnvelopeLowerSolve(N, Xenv.data(), Env.data(), Diag.data(), r);
    EnvelopeUpperSolve(N, Xenv.data(), Env.data(), Diag.data(), r);
    break;
  default:
    break;
  }
  return ErrorFlag;
}

} // namespace selvane
