#include "CentreSpan.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace selvane {

namespace {
// Cyclic Jacobi eigen-decomposition of a symmetric 3x3 matrix: a becomes diagonal, the
// columns of v are the eigenvectors.
void Jacobi3(double a[3][3], double v[3][3]) {
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      v[r][c] = r == c ? 1.0 : 0.0;
    }
  }
  for (int sweep = 0; sweep < 50; ++sweep) {
    const double off = std::fabs(a[0][1]) + std::fabs(a[0][2]) + std::fabs(a[1][2]);
    if (off == 0.0) {
      return;
    }
    for (int p = 0; p < 2; ++p) {
      for (int q = p + 1; q < 3; ++q) {
        if (a[p][q] == 0.0) {
          continue;
        }
        const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
        const double t =
            (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
        const double c = 1.0 / std::sqrt(t * t + 1.0);
        const double s = t * c;
        for (int k = 0; k < 3; ++k) { // a = a * J
          const double akp = a[k][p], akq = a[k][q];
          a[k][p] = c * akp - s * akq;
          a[k][q] = s * akp + c * akq;
        }
        for (int k = 0; k < 3; ++k) { // a = J^T * a
          const double apk = a[p][k], aqk = a[q][k];
          a[p][k] = c * apk - s * aqk;
          a[q][k] = s * apk + c * aqk;
        }
        for (int k = 0; k < 3; ++k) {
          const double vkp = v[k][p], vkq = v[k][q];
          v[k][p] = c * vkp - s * vkq;
          v[k][q] = s * vkp + c * vkq;
        }
      }
    }
  }
}
} // namespace

CentreSpan ComputeCentreSpan(const std::vector<double>& coords, double relativeTolerance) {
  CentreSpan span;
  const size_t n = coords.size() / 3;
  if (n == 0) {
    return span;
  }
  for (size_t k = 0; k < n; ++k) {
    for (int a = 0; a < 3; ++a) {
      span.Centre[a] += coords[3 * k + a];
    }
  }
  for (double& c : span.Centre) {
    c /= static_cast<double>(n);
  }
  double cov[3][3] = {};
  for (size_t k = 0; k < n; ++k) {
    double d[3];
    for (int a = 0; a < 3; ++a) {
      d[a] = coords[3 * k + a] - span.Centre[a];
    }
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) {
        cov[r][c] += d[r] * d[c];
      }
    }
  }
  for (auto& row : cov) {
    for (double& x : row) {
      x /= static_cast<double>(n);
    }
  }
  double vec[3][3];
  Jacobi3(cov, vec);
  int order[3] = {0, 1, 2};
  std::sort(order, order + 3, [&](int l, int r) { return cov[l][l] > cov[r][r]; });
  for (int j = 0; j < 3; ++j) {
    span.Spread[j] = std::sqrt(std::max(0.0, cov[order[j]][order[j]]));
    for (int a = 0; a < 3; ++a) {
      span.Axis[j][a] = vec[a][order[j]];
    }
  }
  span.Rank = 0;
  if (span.Spread[0] > 0.0) {
    span.Rank = 1;
    for (int j = 1; j < 3; ++j) {
      if (span.Spread[j] > relativeTolerance * span.Spread[0]) {
        span.Rank = j + 1;
      }
    }
  }
  return span;
}

} // namespace selvane
