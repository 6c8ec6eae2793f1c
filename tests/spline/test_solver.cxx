// Spline system, with the refusals of issue 4.
#include "SelvaneError.h"
#include "SplineFit.h"
#include "SplineTestSupport.h"
#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"

#include <gtest/gtest.h>

#include <vtkNew.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

using namespace selvane;

using namespace spline_test;

namespace {
struct Fitted {
  vtkSmartPointer<vtkDatReader> reader;
  vtkSmartPointer<vtkMatrixSolver> solver;
  int result = -1;
  std::string out;
};

Fitted FitFile(const std::string& file, float radius, int maxOverride = -1,
               int path = vtkMatrixSolver::AutomaticPath) {
  Fitted f;
  f.reader = vtkSmartPointer<vtkDatReader>::New();
  f.reader->SetFileName(file.c_str());
  f.reader->SetRadius(radius);
  EXPECT_EQ(f.reader->ReadDatFile(), 0);
  f.solver = vtkSmartPointer<vtkMatrixSolver>::New();
  f.solver->SetRadius(radius);
  f.solver->SetPointArray(f.reader->GetPointArray());
  f.solver->SetList(f.reader->GetList());
  f.solver->SetMax(maxOverride >= 0 ? maxOverride : f.reader->GetMax());
  f.solver->SetBX(f.reader->GetBX());
  f.solver->SetBY(f.reader->GetBY());
  f.solver->SetBZ(f.reader->GetBZ());
  f.solver->SetPath(path);
  testing::internal::CaptureStdout();
  f.result = f.solver->Solve();
  f.out = testing::internal::GetCapturedStdout();
  return f;
}

Fitted FitPairs(const std::string& name, const std::vector<Pair>& pairs, float radius,
                int maxOverride = -1, int path = vtkMatrixSolver::AutomaticPath) {
  return FitFile(WritePairs(name, pairs), radius, maxOverride, path);
}

double Residual(const Fitted& f) {
  return FitResidual(MakeSplineFit(f.reader, f.solver), f.reader->GetPointArrayN());
}

// Least-squares affine fit of the differences by position, in double (normal equations).
void LeastSquaresAffine(const Fitted& f, int axis, double d[4]) {
  vtkPoints* pts = f.reader->GetPointArray();
  vtkFloatArray* b[3] = {f.reader->GetBX(), f.reader->GetBY(), f.reader->GetBZ()};
  const int n = static_cast<int>(pts->GetNumberOfPoints());
  std::vector<double> ata(16, 0.0), atb(4, 0.0);
  for (int k = 0; k < n; ++k) {
    double p[3];
    pts->GetPoint(f.reader->GetList()->GetValue(k), p);
    const double row[4] = {1.0, static_cast<float>(p[0]), static_cast<float>(p[1]),
                           static_cast<float>(p[2])};
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        ata[4 * r + c] += row[r] * row[c];
      }
      atb[r] += row[r] * b[axis]->GetValue(k);
    }
  }
  const std::vector<double> x = DenseSolve(4, ata, atb);
  for (int r = 0; r < 4; ++r) {
    d[r] = x[r];
  }
}
} // namespace

TEST(Solver, RandomFitsReproduceTargets) {
  std::mt19937 rng(101);
  for (int trial = 0; trial < 8; ++trial) {
    const int n = 50 + 60 * trial;
    const float radius = 0.25f + 0.05f * (trial % 4);
    const Fitted f = FitPairs("random.ptt", RandomPairs(n, rng), radius);
    ASSERT_EQ(f.result, 1) << f.solver->GetStatusMessage();
    EXPECT_EQ(f.solver->GetStatus(), vtkMatrixSolver::Ok);
    EXPECT_EQ(f.solver->GetSplineCoeffX()->GetNumberOfValues(), n + 4);
    // Single-precision accuracy against differences of size 0.1 and coordinates of size 1.
    EXPECT_LT(Residual(f), 2e-5) << "n = " << n << ", R = " << radius;
  }
}

TEST(Solver, PairAtOffsetMaxIsCoupled) {
  // Ordering 0, 2, 1 with Max 1 plus off-line points far away: the
  // pairs at offset exactly Max must be in the matrix or the fit cannot interpolate.
  const std::vector<Pair> pairs = {{{0, 0, 0}, {0.1, 0, 0}}, {{2, 0, 0}, {2, 0.2, 0}},
                                   {{1, 0, 0}, {1, 0, 0.3}}, {{10, 0, 0}, {10, 0, 0}},
                                   {{0, 10, 0}, {0, 10, 0}}, {{0, 0, 10}, {0, 0, 10}}};
  const Fitted f = FitPairs("offset.ptt", pairs, 1.5f);
  EXPECT_EQ(f.reader->GetMax(), 1);
  ASSERT_EQ(f.result, 1) << f.solver->GetStatusMessage();
  EXPECT_LT(Residual(f), 1e-5);
}

TEST(Solver, ZeroDifferencesGiveZeroCoefficients) {
  std::mt19937 rng(103);
  auto pairs = RandomPairs(200, rng);
  for (Pair& p : pairs) {
    for (int a = 0; a < 3; ++a) {
      p.t[a] = p.s[a];
    }
  }
  const Fitted f = FitPairs("zero.ptt", pairs, 0.3f);
  ASSERT_EQ(f.result, 1);
  for (vtkFloatArray* c :
       {f.solver->GetSplineCoeffX(), f.solver->GetSplineCoeffY(), f.solver->GetSplineCoeffZ()}) {
    for (vtkIdType k = 0; k < c->GetNumberOfValues(); ++k) {
      ASSERT_EQ(c->GetValue(k), 0.0f) << k;
    }
  }
}

TEST(Solver, MaxZeroGivesTheLeastSquaresLinearFit) {
  std::mt19937 rng(107);
  const auto pairs = RandomPairs(60, rng, false, 0.3);
  // Max 0 from the reader (no two centres within R) and Max 0 forced on coupled centres.
  for (int forced : {0, 1}) {
    const Fitted f =
        forced ? FitPairs("ls2.ptt", pairs, 0.5f, 0) : FitPairs("ls1.ptt", pairs, 0.001f);
    EXPECT_EQ(f.solver->GetMax(), 0);
    ASSERT_EQ(f.result, 1) << f.solver->GetStatusMessage();
    const int n = 60;
    vtkFloatArray* coeff[3] = {f.solver->GetSplineCoeffX(), f.solver->GetSplineCoeffY(),
                               f.solver->GetSplineCoeffZ()};
    vtkFloatArray* b[3] = {f.reader->GetBX(), f.reader->GetBY(), f.reader->GetBZ()};
    for (int axis = 0; axis < 3; ++axis) {
      double d[4];
      LeastSquaresAffine(f, axis, d);
      for (int r = 0; r < 4; ++r) {
        EXPECT_NEAR(coeff[axis]->GetValue(n + r), d[r], 2e-5);
      }
      // c holds the residuals of that fit: c + P d = f, and P^T c = 0.
      double sums[4] = {0, 0, 0, 0};
      for (int k = 0; k < n; ++k) {
        double p[3];
        f.reader->GetPointArray()->GetPoint(f.reader->GetList()->GetValue(k), p);
        const double c = coeff[axis]->GetValue(k);
        const double fit = d[0] + d[1] * p[0] + d[2] * p[1] + d[3] * p[2];
        EXPECT_NEAR(c, b[axis]->GetValue(k) - fit, 2e-5);
        sums[0] += c;
        for (int a = 0; a < 3; ++a) {
          sums[a + 1] += c * p[a];
        }
      }
      for (double s : sums) {
        EXPECT_NEAR(s, 0.0, 1e-4);
      }
    }
  }
}

TEST(Solver, PlanarCentresStillDeform) {
  std::mt19937 rng(109);
  // The plane z = 0.25, then a tilted plane.
  for (int tilted = 0; tilted < 2; ++tilted) {
    auto pairs = RandomPairs(300, rng, true);
    const double normal[3] = {tilted ? -0.6 : 0.0, 0.0, tilted ? 0.8 : 1.0};
    if (tilted) {
      for (Pair& p : pairs) { // rotate about the y axis: (x, z) -> (0.8 x + 0.6 z', ...)
        const double x = p.s[0], z = p.s[2] - 0.25;
        p.s[0] = 0.8 * x - 0.6 * z;
        p.s[2] = 0.6 * x + 0.8 * z;
      }
    }
    const Fitted f = FitPairs("flat.ptt", pairs, 0.2f);
    ASSERT_EQ(f.result, 1) << f.solver->GetStatusMessage();
    EXPECT_EQ(f.solver->GetPolynomialRank(), 2);
    EXPECT_LT(Residual(f), 2e-5);
    const int n = 300;
    for (vtkFloatArray* c :
         {f.solver->GetSplineCoeffX(), f.solver->GetSplineCoeffY(), f.solver->GetSplineCoeffZ()}) {
      const double across = c->GetValue(n + 1) * normal[0] + c->GetValue(n + 2) * normal[1] +
                            c->GetValue(n + 3) * normal[2];
      if (tilted) {
        EXPECT_NEAR(across, 0.0, 1e-5);
      } else {
        EXPECT_EQ(c->GetValue(n + 3), 0.0f);
      }
    }
  }
}

TEST(Solver, DegenerateCentresAreRefused) {
  // Two distinct centres (a duplicate source merged by the reader).
  Fitted f = FitFile(WriteFile("two.ptt", "0 0 0 1 1 1\n1 0 0 1 0 0\n0 0 0 2 2 2\n"), 2.0f);
  EXPECT_EQ(f.result, 0);
  EXPECT_EQ(f.solver->GetStatus(), vtkMatrixSolver::TooFewCentres);
  EXPECT_NE(f.solver->GetStatusMessage().find("fewer than three"), std::string::npos);
  EXPECT_EQ(f.solver->GetSplineCoeffX(), nullptr);
  // Centres on one line.
  f = FitFile(WriteFile("line.ptt", "0 0 0 1 1 1\n1 1 1 1 0 0\n2 2 2 2 2 3\n3 3 3 0 0 0\n"), 2.0f);
  EXPECT_EQ(f.result, 0);
  EXPECT_EQ(f.solver->GetStatus(), vtkMatrixSolver::CollinearCentres);
  EXPECT_NE(f.solver->GetStatusMessage().find("one line"), std::string::npos);
  // One centre so far out that beside it the others merge into one point: named as the cause.
  f = FitFile(WriteFile("far.ptt", "0 0 0 0 0 0\n1 0 0 1 0 0\n0 1 0 0 1 0\n0 0 1 0 0 1\n"
                                   "1e10 1 1 1e10 1 1\n"),
              2.0f);
  EXPECT_EQ(f.solver->GetStatus(), vtkMatrixSolver::CollinearCentres);
  EXPECT_NE(f.solver->GetStatusMessage().find("the source of pair 5 (1e+10 1 1) lies"),
            std::string::npos)
      << f.solver->GetStatusMessage();
  // No centres.
  f = FitFile(WriteFile("none.ptt", "# nothing\n"), 2.0f);
  EXPECT_EQ(f.result, 0);
  EXPECT_EQ(f.solver->GetStatus(), vtkMatrixSolver::TooFewCentres);
}

// Duplicated centres given to the solver directly (the reader would merge them): both paths
// refuse the pivot that is not positive, naming where.
TEST(Solver, NonPositivePivotIsRefusedOnEitherPath) {
  vtkNew<vtkPoints> pts;
  const double c[5][3] = {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  vtkNew<vtkIntArray> list;
  vtkNew<vtkFloatArray> bx, by, bz;
  for (int k = 0; k < 5; ++k) {
    pts->InsertNextPoint(c[k]);
    list->InsertNextValue(k);
    bx->InsertNextValue(0.1f * k);
    by->InsertNextValue(0.0f);
    bz->InsertNextValue(0.0f);
  }
  for (int path : {vtkMatrixSolver::EnvelopePath, vtkMatrixSolver::SparsePath}) {
    vtkNew<vtkMatrixSolver> s;
    s->SetRadius(2.0f);
    s->SetPointArray(pts);
    s->SetList(list);
    s->SetMax(4);
    s->SetBX(bx);
    s->SetBY(by);
    s->SetBZ(bz);
    s->SetPath(path);
    testing::internal::CaptureStdout();
    EXPECT_EQ(s->Solve(), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(s->GetStatus(), vtkMatrixSolver::NotPositiveDefinite) << path;
    const std::string& m = s->GetStatusMessage();
    // Row 1 in the envelope's order; the sparse path names the second twin it met.
    EXPECT_TRUE(path == vtkMatrixSolver::EnvelopePath ? m.find("row 1") != std::string::npos
                                                      : m.find(" at 0 0 0)") != std::string::npos)
        << m;
    EXPECT_EQ(s->GetSplineCoeffX(), nullptr);
  }
}

TEST(Solver, MissingInputsAreRefused) {
  vtkNew<vtkMatrixSolver> s;
  EXPECT_EQ(s->Solve(), 0);
  EXPECT_EQ(s->GetStatus(), vtkMatrixSolver::MissingInput);
}

TEST(Solver, ReportLines) {
  std::mt19937 rng(113);
  const Fitted f =
      FitPairs("report.ptt", RandomPairs(300, rng), 0.2f, -1, vtkMatrixSolver::EnvelopePath);
  ASSERT_EQ(f.result, 1);
  const long long n = 300;
  const long long e = 4 * (f.solver->GetEnvelopeSize() + 2 * n);
  const std::string line2 = "Size of matrix A is (300*300): " + std::to_string(e) + " bytes (" +
                            std::to_string(e >> 20) +
                            " MiB) <= 360000 bytes (0 MiB) if stored "
                            "as full matrix.\n";
  // The path, then three lines: "Constructing time: T sec., (0 relocations).", line 2,
  // "Solving time: T sec."
  std::vector<std::string> lines;
  std::istringstream in(f.out);
  for (std::string l; std::getline(in, l);) {
    lines.push_back(l + "\n");
  }
  ASSERT_EQ(lines.size(), 4u) << f.out;
  EXPECT_EQ(lines[0], "Solver: envelope (single precision) (forced).\n");
  lines.erase(lines.begin());
  const auto isTime = [](const std::string& t) {
    return !t.empty() && t.find_first_not_of("0123456789.e+-") == std::string::npos;
  };
  const std::string head1 = "Constructing time: ", tail1 = " sec., (0 relocations).\n";
  ASSERT_EQ(lines[0].compare(0, head1.size(), head1), 0) << lines[0];
  ASSERT_GT(lines[0].size(), head1.size() + tail1.size());
  EXPECT_EQ(lines[0].substr(lines[0].size() - tail1.size()), tail1);
  EXPECT_TRUE(isTime(lines[0].substr(head1.size(), lines[0].size() - head1.size() - tail1.size())));
  EXPECT_EQ(lines[1], line2);
  const std::string head3 = "Solving time: ", tail3 = " sec.\n";
  ASSERT_EQ(lines[2].compare(0, head3.size(), head3), 0) << lines[2];
  EXPECT_EQ(lines[2].substr(lines[2].size() - tail3.size()), tail3);
  EXPECT_TRUE(isTime(lines[2].substr(head3.size(), lines[2].size() - head3.size() - tail3.size())));
}

TEST(Solver, LargeSizesUseSixtyFourBitByteCounts) {
  // 4 n^2 overflows 32 bits from n = 32768 on; the report must not wrap.
  std::mt19937 rng(127);
  const Fitted f =
      FitPairs("big.ptt", RandomPairs(40000, rng), 0.02f, -1, vtkMatrixSolver::EnvelopePath);
  ASSERT_EQ(f.result, 1) << f.solver->GetStatusMessage();
  EXPECT_NE(f.out.find("<= 6400000000 bytes (6103 MiB)"), std::string::npos) << f.out;
  EXPECT_LT(Residual(f), 2e-5);
}

TEST(Solver, InputsUntouchedAndOutputsOutliveTheSolver) {
  std::mt19937 rng(131);
  Fitted f = FitPairs("outlive.ptt", RandomPairs(100, rng), 0.3f);
  ASSERT_EQ(f.result, 1);
  vtkFloatArray* bx = f.reader->GetBX();
  double p[3], t[3];
  const int id = f.reader->GetList()->GetValue(0);
  f.reader->GetPointArray()->GetPoint(id, p);
  f.reader->GetPointArrayN()->GetPoint(id, t);
  EXPECT_EQ(bx->GetValue(0), static_cast<float>(p[0]) - static_cast<float>(t[0]));
  const SplineFit fit = MakeSplineFit(f.reader, f.solver);
  vtkSmartPointer<vtkPoints> targets = f.reader->GetPointArrayN();
  f.solver = nullptr;
  f.reader = nullptr;
  ASSERT_TRUE(fit.Valid());
  EXPECT_EQ(fit.OrderedCentres->GetNumberOfPoints(), 100);
  EXPECT_LT(FitResidual(fit, targets), 2e-5);
  // Far from every centre, nothing moves.
  double far[3] = {50, 50, 50}, d[3];
  EvaluateSpline(fit, far, d);
  EXPECT_EQ(d[0], 0.0);
  EXPECT_EQ(d[2], 0.0);
}
