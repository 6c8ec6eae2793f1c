// Inner-product kernels of the envelope solver: single-precision values, products and sums
// in double precision. The fast versions are vectorised (several double
// accumulators, one clone per instruction set chosen at run time) and differ from the plain
// references only by the order of the additions.
#pragma once

namespace selvane {

// Sum of a[k] * b[k], k = 0 .. len - 1.
double DotFloat(const float* a, const float* b, int len);
// out[m] = sum of a[k] * y_m[k] for the four vectors y0 .. y3, reading a once.
void DotRows4(const float* a, const double* y0, const double* y1, const double* y2,
              const double* y3, int len, double out[4]);

// Plain left-to-right references (DotReference.cxx), used by the tests.
double DotFloatReference(const float* a, const float* b, int len);
void DotRows4Reference(const float* a, const double* y0, const double* y1, const double* y2,
                       const double* y3, int len, double out[4]);

} // namespace selvane
