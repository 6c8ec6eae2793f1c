// Plain, left-to-right versions of the kernels, for the tests.
#include "DotKernels.h"

namespace selvane {

double DotFloatReference(const float* a, const float* b, int len) {
  double s = 0.0;
  for (int k = 0; k < len; ++k) {
    s += static_cast<double>(a[k]) * static_cast<double>(b[k]);
  }
  return s;
}

void DotRows4Reference(const float* a, const double* y0, const double* y1, const double* y2,
                       const double* y3, int len, double out[4]) {
  const double* y[4] = {y0, y1, y2, y3};
  for (int m = 0; m < 4; ++m) {
    double s = 0.0;
    for (int k = 0; k < len; ++k) {
      s += static_cast<double>(a[k]) * y[m][k];
    }
    out[m] = s;
  }
}

} // namespace selvane
