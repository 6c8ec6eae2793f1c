// The 4x4 solver, the vector routines and the index-range matrix.
#include "FloatMatrix.h"
#include "SelvaneError.h"
#include "SmallSystem.h"
#include "SplineTestSupport.h"
#include "VectorOps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace selvane;

using namespace spline_test;

TEST(SmallSystem, RandomNonSingularBothSigns) {
  std::mt19937 rng(41);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  int checked = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    std::vector<double> a(16), b(4);
    SmallSystemSolver s;
    for (int k = 0; k < 16; ++k) {
      s.M[k] = static_cast<float>(u(rng));
      a[k] = s.M[k];
    }
    // Leading entries of every sign, including zero, and symmetric matrices.
    if (trial % 5 == 1) {
      s.M[0] = 0.0f;
      a[0] = 0.0;
    }
    if (trial % 3 == 0) {
      for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < r; ++c) {
          s.M[4 * r + c] = s.M[4 * c + r];
          a[4 * r + c] = a[4 * c + r];
        }
      }
    }
    for (int k = 0; k < 4; ++k) {
      s.b[k] = static_cast<float>(u(rng));
      b[k] = s.b[k];
    }
    // Skip badly conditioned draws: compare only where single precision can be accurate.
    const std::vector<double> x = DenseSolve(4, a, b);
    double xmax = 0;
    for (double v : x) {
      xmax = std::max(xmax, std::fabs(v));
    }
    if (!(xmax < 20.0)) {
      continue;
    }
    s.SolveSmallSystem();
    ++checked;
    for (int k = 0; k < 4; ++k) {
      EXPECT_NEAR(s.b[k], x[k], 2e-4 * std::max(1.0, xmax)) << "trial " << trial;
    }
  }
  EXPECT_GT(checked, 1000);
}

TEST(SmallSystem, IdentityAndDiagonal) {
  SmallSystemSolver s;
  const float d[4] = {-2.0f, 4.0f, -0.5f, 1.0f};
  for (int k = 0; k < 4; ++k) {
    s.M[5 * k] = d[k];
    s.b[k] = 1.0f;
  }
  s.SolveSmallSystem();
  for (int k = 0; k < 4; ++k) {
    EXPECT_FLOAT_EQ(s.b[k], 1.0f / d[k]);
  }
}

TEST(SmallSystem, SingularMatrixShowsInDiagonalRatio) {
  SmallSystemSolver s;
  for (int k = 0; k < 16; ++k) {
    s.M[k] = static_cast<float>(k % 4 + 1); // all rows equal
  }
  s.HouseholderRows();
  EXPECT_LT(s.DiagonalRatio(), 1e-6f);
}

TEST(VectorOps, Routines) {
  const float x[3] = {3.0f, 4.0f, 12.0f};
  float y[3] = {1.0f, 2.0f, 3.0f};
  EXPECT_FLOAT_EQ(VectorNorm(x, 3), 13.0f);
  EXPECT_EQ(VectorNorm(x, 0), 0.0f);
  EXPECT_EQ(VectorNorm(x, -1), 0.0f);
  EXPECT_FLOAT_EQ(VectorDot(x, y, 3), 47.0f);
  EXPECT_EQ(VectorDot(x, y, 0), 0.0f);
  VectorAxpy(2.0f, x, y, 3);
  EXPECT_FLOAT_EQ(y[0], 7.0f);
  EXPECT_FLOAT_EQ(y[2], 27.0f);
  VectorScale(0.5f, y, 2);
  EXPECT_FLOAT_EQ(y[0], 3.5f);
  EXPECT_FLOAT_EQ(y[1], 5.0f);
  EXPECT_FLOAT_EQ(y[2], 27.0f);
  // Double accumulation: the 1 is not lost against 1e8 in the sum of squares.
  const float big[3] = {1e4f, 1.0f, 0.0f};
  EXPECT_FLOAT_EQ(VectorNorm(big, 3), static_cast<float>(std::sqrt(1e8 + 1.0)));
}

TEST(FloatMatrix, IndexRanges) {
  FloatMatrix a(0, 4, 0, 4);
  FloatMatrix b(0, 7, 0, 4); // n + 1 rows of 5 floats, n = 7
  FloatMatrix c(1, 3, -2, 2);
  for (int r = 0; r <= 4; ++r) {
    for (int col = 0; col <= 4; ++col) {
      a[r][col] = static_cast<float>(10 * r + col);
    }
  }
  for (int r = 0; r <= 7; ++r) {
    for (int col = 0; col <= 4; ++col) {
      b[r][col] = static_cast<float>(r - col);
    }
  }
  for (int r = 1; r <= 3; ++r) {
    for (int col = -2; col <= 2; ++col) {
      c[r][col] = static_cast<float>(r * col);
    }
  }
  EXPECT_EQ(a[4][4], 44.0f);
  EXPECT_EQ(a[2][3], 23.0f);
  EXPECT_EQ(b[7][0], 7.0f);
  EXPECT_EQ(c[3][-2], -6.0f);
  EXPECT_EQ(c[1][2], 2.0f);
  FloatMatrix empty(3, 2, 0, 4);
  EXPECT_TRUE(empty.Empty());
}

TEST(FloatMatrix, AllocationFailureCarriesTheMessage) {
  try {
    FloatMatrix huge(0, std::numeric_limits<int>::max() - 1, 0,
                     std::numeric_limits<int>::max() - 1);
    FAIL() << "an allocation of 2^62 floats succeeded";
  } catch (const SelvaneError& e) {
    EXPECT_STREQ(e.what(), "allocation faliture for the rows of matrix in allocate_matrix");
  }
}
