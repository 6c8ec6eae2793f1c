#include "SmallSystem.h"

#include "VectorOps.h"

#include <algorithm>
#include <cmath>

namespace selvane {

void SmallSystemSolver::SolveSmallSystem() {
  HouseholderRows();
  LowerTriangularSolve();
  ApplyReflections();
}

void SmallSystemSolver::HouseholderRows() {
  float w[Order];
  for (int j = 0; j < Order - 1; ++j) {
    const int m = Order - j;
    float* x = M + Order * j + j;
    float sigma = VectorNorm(x, m);
    if (sigma == 0.0f) {
      q[j] = 0.0f;
      continue;
    }
    if (x[0] < 0.0f) {
      sigma = -sigma;
    }
    VectorScale(1.0f / sigma, x, m);
    x[0] = x[0] + 1.0f;
    for (int k = 0; k < m; ++k) {
      w[k] = x[k];
    }
    q[j] = x[0];
    x[0] = -sigma;
    for (int k = j + 1; k < Order; ++k) {
      float* y = M + Order * k + j;
      const float t = -VectorDot(w, y, m) / w[0];
      VectorAxpy(t, w, y, m);
    }
  }
  q[Order - 1] = 0.0f;
}

void SmallSystemSolver::LowerTriangularSolve() {
  for (int i = 0; i < Order; ++i) {
    b[i] = b[i] / M[Order * i + i];
    for (int k = i + 1; k < Order; ++k) {
      b[k] = b[k] - b[i] * M[Order * k + i];
    }
  }
}

void SmallSystemSolver::ApplyReflections() {
  float t[Order];
  t[Order - 1] = b[Order - 1];
  for (int i = Order - 2; i >= 0; --i) {
    t[i] = b[i];
    if (q[i] != 0.0f) {
      float v[Order];
      const int m = Order - i;
      v[0] = q[i];
      for (int k = 1; k < m; ++k) {
        v[k] = M[Order * i + i + k];
      }
      const float scale = VectorDot(v, t + i, m) / q[i];
      VectorAxpy(-scale, v, t + i, m);
    }
  }
  for (int i = 0; i < Order; ++i) {
    b[i] = t[i];
  }
}

float SmallSystemSolver::DiagonalRatio() const {
  float lo = INFINITY, hi = 0.0f;
  for (int i = 0; i < Order; ++i) {
    const float d = std::fabs(M[Order * i + i]);
    if (!(d == d)) {
      return 0.0f;
    }
    lo = std::min(lo, d);
    hi = std::max(hi, d);
  }
  return hi > 0.0f ? lo / hi : 0.0f;
}

} // namespace selvane
