#include "VectorOps.h"

#include <cmath>

namespace selvane {

float VectorNorm(const float* x, int m) {
  double s = 0.0;
  for (int k = 0; k < m; ++k) {
    s += static_cast<double>(x[k]) * x[k];
  }
  return static_cast<float>(std::sqrt(s));
}

float VectorDot(const float* x, const float* y, int m) {
  double s = 0.0;
  for (int k = 0; k < m; ++k) {
    s += static_cast<double>(x[k]) * y[k];
  }
  return static_cast<float>(s);
}

void VectorScale(float a, float* x, int m) {
  for (int k = 0; k < m; ++k) {
    x[k] = a * x[k];
  }
}

void VectorAxpy(float a, const float* x, float* y, int m) {
  for (int k = 0; k < m; ++k) {
    y[k] = y[k] + a * x[k];
  }
}

} // namespace selvane
