// Envelope Cholesky solver.
#include "DotKernels.h"
#include "EnvelopeSolver.h"
#include "SplineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace selvane;

using namespace spline_test;

namespace {
EnvelopeSolver Load(const EnvelopeMatrix& m) {
  EnvelopeSolver s;
  s.N = m.n;
  s.Diag = m.diag;
  s.Xenv = m.xenv;
  s.Env = m.env;
  return s;
}

// Largest relative difference between the envelope factor and the dense double one.
double FactorError(const EnvelopeMatrix& m, const EnvelopeSolver& s) {
  std::vector<double> l;
  EXPECT_TRUE(DenseCholesky(m.n, m.dense, l));
  double worst = 0.0;
  for (int i = 0; i < m.n; ++i) {
    const double scale = l[static_cast<size_t>(i) * m.n + i];
    worst = std::max(worst, std::fabs(s.Diag[i] - scale) / scale);
    const int b = s.Xenv[i + 1] - s.Xenv[i];
    for (int k = 0; k < b; ++k) {
      const int j = i - b + k;
      worst = std::max(
          worst, std::fabs(s.Env[s.Xenv[i] - 1 + k] - l[static_cast<size_t>(i) * m.n + j]) / scale);
    }
  }
  return worst;
}

void CheckSolve(const EnvelopeMatrix& m, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> b(m.n);
  std::vector<float> r(m.n);
  for (int i = 0; i < m.n; ++i) {
    r[i] = static_cast<float>(u(rng));
    b[i] = r[i];
  }
  const std::vector<double> x = DenseSolve(m.n, m.dense, b);
  EnvelopeSolver s = Load(m);
  ASSERT_EQ(s.EnvelopeSolve(0, r.data()), 0);
  double xmax = 0.0;
  for (double v : x) {
    xmax = std::max(xmax, std::fabs(v));
  }
  for (int i = 0; i < m.n; ++i) {
    EXPECT_NEAR(r[i], x[i], 2e-5 * std::max(1.0, xmax)) << "component " << i << " of " << m.n;
  }
  EXPECT_LT(FactorError(m, s), 2e-5);
}
} // namespace

TEST(Envelope, WorkedExample) {
  EnvelopeSolver s;
  s.N = 3;
  s.Xenv = {1, 1, 2, 3};
  s.Env = {2.0f, 1.0f};
  s.Diag = {4.0f, 5.0f, 3.0f};
  EnvelopeSolver f = s;
  EXPECT_EQ(f.EnvelopeSolve(1, nullptr), 0);
  EXPECT_FLOAT_EQ(f.Env[0], 1.0f);
  EXPECT_FLOAT_EQ(f.Env[1], 0.5f);
  EXPECT_FLOAT_EQ(f.Diag[0], 2.0f);
  EXPECT_FLOAT_EQ(f.Diag[1], 2.0f);
  EXPECT_FLOAT_EQ(f.Diag[2], std::sqrt(2.75f));
  float r[3] = {6.0f, 8.0f, 4.0f};
  EXPECT_EQ(s.EnvelopeSolve(0, r), 0);
  EXPECT_FLOAT_EQ(r[0], 1.0f);
  EXPECT_FLOAT_EQ(r[1], 1.0f);
  EXPECT_FLOAT_EQ(r[2], 1.0f);
}

TEST(Envelope, ZeroRightSideStaysZero) {
  // The forward substitution skips the leading zeros of the right side; all zeros is the end
  // case of that skip. (Sizes from 1 and diagonal matrices are in the random comparison.)
  std::mt19937 rng(3);
  EnvelopeSolver t = Load(RandomEnvelopeSpd(40, -1, rng));
  std::vector<float> zero(40, 0.0f);
  EXPECT_EQ(t.EnvelopeSolve(0, zero.data()), 0);
  for (float v : zero) {
    EXPECT_EQ(v, 0.0f);
  }
}

TEST(Envelope, ModesOneTwoThree) {
  std::mt19937 rng(5);
  const EnvelopeMatrix m = RandomEnvelopeSpd(30, 10, rng);
  EnvelopeSolver s = Load(m);
  std::vector<float> r(30, 1.0f);
  EXPECT_EQ(s.EnvelopeSolve(3, r.data()), 0);
  EXPECT_EQ(s.Diag, m.diag);
  EXPECT_EQ(s.Env, m.env);
  for (float v : r) {
    EXPECT_EQ(v, 1.0f);
  }
  EXPECT_EQ(s.EnvelopeSolve(1, r.data()), 0); // factor only: r untouched
  for (float v : r) {
    EXPECT_EQ(v, 1.0f);
  }
  EXPECT_NE(s.Diag, m.diag);
  std::vector<float> r0(30, 1.0f);
  EnvelopeSolver s0 = Load(m);
  s0.EnvelopeSolve(0, r0.data());
  s.EnvelopeSolve(2, r.data());
  EXPECT_EQ(r, r0);
  s.ErrorFlag = 1; // never cleared
  EXPECT_EQ(s.EnvelopeSolve(3, nullptr), 1);
}

TEST(Envelope, RandomAgainstDenseReference) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 30; ++trial) {
    const int n = 1 + trial * 7;
    CheckSolve(RandomEnvelopeSpd(n, -1, rng), rng);        // full envelope
    CheckSolve(RandomEnvelopeSpd(n, 0, rng), rng);         // diagonal only
    CheckSolve(RandomEnvelopeSpd(n, 1 + trial, rng), rng); // banded profile
  }
}

TEST(Envelope, BlockedFactorEqualsPlainUpToRounding) {
  std::mt19937 rng(17);
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 33, 64, 200, 517}) {
    for (int band : {-1, 0, 1, 3, 20}) {
      const EnvelopeMatrix m = RandomEnvelopeSpd(n, band, rng, 0.4);
      EnvelopeSolver fast = Load(m), plain = Load(m);
      int firstFast = -1, firstPlain = -1;
      EnvelopeFactor(n, fast.Xenv.data(), fast.Env.data(), fast.Diag.data(), fast.ErrorFlag,
                     &firstFast);
      EnvelopeFactorPlain(n, plain.Xenv.data(), plain.Env.data(), plain.Diag.data(),
                          plain.ErrorFlag, &firstPlain);
      EXPECT_EQ(fast.ErrorFlag, 0);
      EXPECT_EQ(plain.ErrorFlag, 0);
      for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(fast.Diag[i], plain.Diag[i], 1e-5f * std::fabs(plain.Diag[i]));
      }
      for (size_t k = 0; k < m.env.size(); ++k) {
        EXPECT_NEAR(fast.Env[k], plain.Env[k], 1e-5f * (1.0f + std::fabs(plain.Env[k])));
      }
    }
  }
}

TEST(Envelope, NonPositiveFirstPivotStopsAtOnce) {
  std::mt19937 rng(23);
  EnvelopeMatrix m = RandomEnvelopeSpd(20, -1, rng);
  for (float bad : {0.0f, -1.0f, NAN}) {
    m.diag[0] = bad;
    for (int plain = 0; plain < 2; ++plain) {
      EnvelopeSolver s = Load(m);
      int first = -1;
      if (plain) {
        EnvelopeFactorPlain(s.N, s.Xenv.data(), s.Env.data(), s.Diag.data(), s.ErrorFlag, &first);
      } else {
        EnvelopeFactor(s.N, s.Xenv.data(), s.Env.data(), s.Diag.data(), s.ErrorFlag, &first);
      }
      EXPECT_EQ(s.ErrorFlag, 1);
      EXPECT_EQ(first, 0);
      EXPECT_EQ(s.Env, m.env);
      for (int i = 1; i < 20; ++i) {
        EXPECT_EQ(s.Diag[i], m.diag[i]);
      }
    }
  }
}

TEST(Envelope, NonPositiveLaterPivotFlagsAndGoesOn) {
  std::mt19937 rng(29);
  for (int trial = 0; trial < 10; ++trial) {
    const int n = 25;
    EnvelopeMatrix m = RandomEnvelopeSpd(n, -1, rng);
    int bad = 5 + trial; // the first row from there whose envelope is not empty
    while (m.xenv[bad + 1] - m.xenv[bad] == 0) {
      ++bad;
    }
    ASSERT_LT(bad, n - 1);
    m.diag[bad] = -1.0f; // t = -1 - (sum of squares) < 0
    EnvelopeSolver fast = Load(m), plain = Load(m);
    int firstFast = -1, firstPlain = -1;
    EnvelopeFactor(n, fast.Xenv.data(), fast.Env.data(), fast.Diag.data(), fast.ErrorFlag,
                   &firstFast);
    EnvelopeFactorPlain(n, plain.Xenv.data(), plain.Env.data(), plain.Diag.data(), plain.ErrorFlag,
                        &firstPlain);
    EXPECT_EQ(fast.ErrorFlag, 1);
    EXPECT_EQ(plain.ErrorFlag, 1);
    EXPECT_EQ(firstFast, bad);
    EXPECT_EQ(firstPlain, bad);
    EXPECT_EQ(fast.Diag[bad], -1.0f); // keeps its assembled value
    // The rows after it are still factored (their envelope rows are replaced), identically
    // to the plain algorithm up to rounding.
    bool changed = false;
    for (int k = m.xenv[bad + 1] - 1; k < m.xenv[n] - 1; ++k) {
      changed = changed || fast.Env[k] != m.env[k];
      EXPECT_NEAR(fast.Env[k], plain.Env[k], 1e-4f * (1.0f + std::fabs(plain.Env[k])));
    }
    EXPECT_TRUE(changed);
    for (int i = bad + 1; i < n; ++i) {
      EXPECT_NEAR(fast.Diag[i], plain.Diag[i], 1e-4f * (1.0f + std::fabs(plain.Diag[i])));
    }
    // Rows before it equal the dense factor of the leading block.
    std::vector<double> l;
    std::vector<double> lead(static_cast<size_t>(bad) * bad);
    for (int r = 0; r < bad; ++r) {
      for (int c = 0; c < bad; ++c) {
        lead[r * bad + c] = m.dense[r * n + c];
      }
    }
    ASSERT_TRUE(DenseCholesky(bad, lead, l));
    for (int i = 0; i < bad; ++i) {
      EXPECT_NEAR(fast.Diag[i], l[i * bad + i], 1e-5 * l[i * bad + i]);
    }
  }
}

TEST(Envelope, SubstitutionsClipWideRows) {
  // A bandwidth larger than i is clipped to i by the substitutions.
  EnvelopeSolver s;
  s.N = 2;
  s.Xenv = {1, 1, 2};
  s.Env = {99.0f, 0.5f}; // row 1 claims two columns; only the last one is inside
  s.Diag = {1.0f, 1.0f};
  float r[2] = {1.0f, 1.0f};
  std::vector<std::int64_t> wide = {1, 1, 3};
  EnvelopeLowerSolve(2, wide.data(), s.Env.data(), s.Diag.data(), r);
  EXPECT_FLOAT_EQ(r[0], 1.0f);
  EXPECT_FLOAT_EQ(r[1], 0.5f);
  EnvelopeUpperSolve(2, wide.data(), s.Env.data(), s.Diag.data(), r);
  EXPECT_FLOAT_EQ(r[1], 0.5f);
  EXPECT_FLOAT_EQ(r[0], 0.75f);
}

TEST(Kernels, VectorisedDotsEqualPlainUpToRounding) {
  std::mt19937 rng(31);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int len = 0; len < 300; len += (len < 40 ? 1 : 37)) {
    std::vector<float> a(len + 1), b(len + 1);
    std::vector<double> y[4];
    for (auto& v : y) {
      v.resize(len + 1);
    }
    double scale = 0.0;
    for (int k = 0; k < len; ++k) {
      a[k] = static_cast<float>(u(rng));
      b[k] = static_cast<float>(u(rng));
      for (auto& v : y) {
        v[k] = static_cast<float>(u(rng));
      }
      scale += std::fabs(a[k]);
    }
    const double tol = 1e-14 * (1.0 + scale);
    EXPECT_NEAR(DotFloat(a.data(), b.data(), len), DotFloatReference(a.data(), b.data(), len), tol);
    double fast[4], plain[4];
    DotRows4(a.data(), y[0].data(), y[1].data(), y[2].data(), y[3].data(), len, fast);
    DotRows4Reference(a.data(), y[0].data(), y[1].data(), y[2].data(), y[3].data(), len, plain);
    for (int m = 0; m < 4; ++m) {
      EXPECT_NEAR(fast[m], plain[m], tol) << "len " << len;
    }
  }
  // Products are formed in double: float products would lose these low bits.
  const float a[1] = {1.0f + 1.0f / 4096.0f};
  EXPECT_EQ(DotFloat(a, a, 1), static_cast<double>(a[0]) * a[0]);
}
