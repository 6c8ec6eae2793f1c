// Vectorised kernels. Built with -ffp-contract=fast so that acc += x * y becomes a fused
// multiply-add; float values widened to double are multiplied exactly either way.
#include "DotKernels.h"

#include <cstring>

namespace {
typedef float v8f __attribute__((vector_size(32)));
typedef double v8d __attribute__((vector_size(64)));

inline v8d LoadFloat8(const float* p) {
  v8f v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_convertvector(v, v8d);
}

inline v8d LoadDouble8(const double* p) {
  v8d v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline double Sum(v8d v) {
  return ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
}
} // namespace

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) &&                             \
    !defined(__SANITIZE_ADDRESS__)
#define SELVANE_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define SELVANE_CLONES
#endif

namespace selvane {

SELVANE_CLONES
double DotFloat(const float* a, const float* b, int len) {
  v8d acc0 = {0, 0, 0, 0, 0, 0, 0, 0};
  v8d acc1 = acc0;
  int k = 0;
  for (; k + 16 <= len; k += 16) {
    acc0 += LoadFloat8(a + k) * LoadFloat8(b + k);
    acc1 += LoadFloat8(a + k + 8) * LoadFloat8(b + k + 8);
  }
  if (k + 8 <= len) {
    acc0 += LoadFloat8(a + k) * LoadFloat8(b + k);
    k += 8;
  }
  double s = Sum(acc0 + acc1);
  for (; k < len; ++k) {
    s += static_cast<double>(a[k]) * b[k];
  }
  return s;
}

SELVANE_CLONES
void DotRows4(const float* a, const double* y0, const double* y1, const double* y2,
              const double* y3, int len, double out[4]) {
  const v8d zero = {0, 0, 0, 0, 0, 0, 0, 0};
  v8d s0 = zero, s1 = zero, s2 = zero, s3 = zero;
  v8d t0 = zero, t1 = zero, t2 = zero, t3 = zero;
  int k = 0;
  for (; k + 16 <= len; k += 16) {
    const v8d a0 = LoadFloat8(a + k);
    const v8d a1 = LoadFloat8(a + k + 8);
    s0 += a0 * LoadDouble8(y0 + k);
    s1 += a0 * LoadDouble8(y1 + k);
    s2 += a0 * LoadDouble8(y2 + k);
    s3 += a0 * LoadDouble8(y3 + k);
    t0 += a1 * LoadDouble8(y0 + k + 8);
    t1 += a1 * LoadDouble8(y1 + k + 8);
    t2 += a1 * LoadDouble8(y2 + k + 8);
    t3 += a1 * LoadDouble8(y3 + k + 8);
  }
  if (k + 8 <= len) {
    const v8d a0 = LoadFloat8(a + k);
    s0 += a0 * LoadDouble8(y0 + k);
    s1 += a0 * LoadDouble8(y1 + k);
    s2 += a0 * LoadDouble8(y2 + k);
    s3 += a0 * LoadDouble8(y3 + k);
    k += 8;
  }
  double r0 = Sum(s0 + t0), r1 = Sum(s1 + t1), r2 = Sum(s2 + t2), r3 = Sum(s3 + t3);
  for (; k < len; ++k) {
    const double av = a[k];
    r0 += av * y0[k];
    r1 += av * y1[k];
    r2 += av * y2[k];
    r3 += av * y3[k];
  }
  out[0] = r0;
  out[1] = r1;
  out[2] = r2;
  out[3] = r3;
}

} // namespace selvane
