// The four single-precision vector routines. Sums are accumulated in double
// precision and rounded once. m <= 0 means an empty vector.
#pragma once

namespace selvane {

float VectorNorm(const float* x, int m);
float VectorDot(const float* x, const float* y, int m);
void VectorScale(float a, float* x, int m);
void VectorAxpy(float a, const float* x, float* y, int m);

} // namespace selvane
