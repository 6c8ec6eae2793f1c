// The two paths of the spline solver (envelope in single precision, sparse Cholesky in
// double) against each other, the automatic choice between them, the refusals of the sparse
// path, and the precision check after the solve.
#include "SplineFit.h"
#include "SplineTestSupport.h"
#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"

#include <gtest/gtest.h>

#include <vtkNew.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace selvane;

using namespace spline_test;

namespace {
struct SolverRun {
  vtkSmartPointer<vtkDatReader> reader;
  vtkSmartPointer<vtkMatrixSolver> solver;
  int result = -1;
  std::string out;
};

vtkSmartPointer<vtkDatReader> Read(const std::string& path, float radius) {
  auto reader = vtkSmartPointer<vtkDatReader>::New();
  reader->SetFileName(path.c_str());
  reader->SetRadius(radius);
  EXPECT_EQ(reader->ReadDatFile(), 0);
  return reader;
}

SolverRun Solve(vtkDatReader* reader, float radius, int path, double crossover = -1.0) {
  SolverRun r;
  r.reader = reader;
  r.solver = vtkSmartPointer<vtkMatrixSolver>::New();
  r.solver->SetRadius(radius);
  r.solver->SetInputsFromReader(reader);
  r.solver->SetPath(path);
  if (crossover >= 0.0) {
    r.solver->SetEnvelopeWorkCrossover(crossover);
  }
  testing::internal::CaptureStdout();
  r.result = r.solver->Solve();
  r.out = testing::internal::GetCapturedStdout();
  return r;
}

// Largest coefficient difference relative to the largest coefficient, over the three axes.
double RelativeDifference(const SolverRun& a, const SolverRun& b) {
  double worst = 0.0, scale = 0.0;
  vtkFloatArray* ca[3] = {a.solver->GetSplineCoeffX(), a.solver->GetSplineCoeffY(),
                          a.solver->GetSplineCoeffZ()};
  vtkFloatArray* cb[3] = {b.solver->GetSplineCoeffX(), b.solver->GetSplineCoeffY(),
                          b.solver->GetSplineCoeffZ()};
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(ca[axis]->GetNumberOfValues(), cb[axis]->GetNumberOfValues());
    for (vtkIdType k = 0; k < ca[axis]->GetNumberOfValues(); ++k) {
      worst = std::max(
          worst, std::fabs(static_cast<double>(ca[axis]->GetValue(k)) - cb[axis]->GetValue(k)));
      scale = std::max(scale, std::fabs(static_cast<double>(cb[axis]->GetValue(k))));
    }
  }
  return scale > 0.0 ? worst / scale : worst;
}

void ExpectPathsAgree(const std::string& path, float radius, int expectRank) {
  SCOPED_TRACE(path + ", R = " + std::to_string(radius));
  auto reader = Read(path, radius);
  const SolverRun envelope = Solve(reader, radius, vtkMatrixSolver::EnvelopePath);
  const SolverRun sparse = Solve(reader, radius, vtkMatrixSolver::SparsePath);
  ASSERT_EQ(envelope.result, 1) << envelope.solver->GetStatusMessage();
  ASSERT_EQ(sparse.result, 1) << sparse.solver->GetStatusMessage();
  EXPECT_EQ(envelope.solver->GetPathUsed(), vtkMatrixSolver::EnvelopePath);
  EXPECT_EQ(sparse.solver->GetPathUsed(), vtkMatrixSolver::SparsePath);
  EXPECT_EQ(sparse.solver->GetPolynomialRank(), expectRank);
  EXPECT_LT(RelativeDifference(envelope, sparse), 1e-6);
  EXPECT_LT(FitResidual(MakeSplineFit(sparse.reader, sparse.solver), reader->GetPointArrayN()),
            2e-5);
  EXPECT_TRUE(sparse.solver->GetWarningMessage().empty()) << sparse.solver->GetWarningMessage();
  EXPECT_TRUE(envelope.solver->GetWarningMessage().empty()) << envelope.solver->GetWarningMessage();
}
} // namespace

TEST(SolverPaths, SameCoefficientsOnRandomPlanarAndMergedSets) {
  std::mt19937 rng(211);
  for (int trial = 0; trial < 4; ++trial) {
    ExpectPathsAgree(WritePairs("paths_random.ptt", RandomPairs(100 + 150 * trial, rng)),
                     0.2f + 0.05f * trial, 3);
  }
  ExpectPathsAgree(WritePairs("paths_flat.ptt", RandomPairs(300, rng, true)), 0.2f, 2);
  // Duplicated sources: the reader merges them (the later target wins) before either path.
  auto pairs = RandomPairs(200, rng);
  for (int k = 0; k < 20; ++k) {
    Pair again = pairs[k];
    again.t[0] += 0.05;
    pairs.push_back(again);
  }
  ExpectPathsAgree(WritePairs("paths_merged.ptt", pairs), 0.25f, 3);
  // Centres far apart (no couplings): only the linear part.
  ExpectPathsAgree(WritePairs("paths_apart.ptt", RandomPairs(60, rng)), 0.001f, 3);
}

TEST(SolverPaths, AutomaticChoiceFollowsTheEnvelopeWork) {
  std::mt19937 rng(223);
  const float radius = 0.2f;
  auto reader = Read(WritePairs("paths_auto.ptt", RandomPairs(400, rng)), radius);
  const SolverRun small = Solve(reader, radius, vtkMatrixSolver::AutomaticPath);
  ASSERT_EQ(small.result, 1);
  EXPECT_EQ(small.solver->GetPathUsed(), vtkMatrixSolver::EnvelopePath);
  EXPECT_EQ(small.out.rfind("Solver: envelope", 0), 0u) << small.out;
  const SolverRun large = Solve(reader, radius, vtkMatrixSolver::AutomaticPath, 1000.0);
  ASSERT_EQ(large.result, 1);
  EXPECT_EQ(large.solver->GetPathUsed(), vtkMatrixSolver::SparsePath);
  EXPECT_EQ(large.out.rfind("Solver: sparse Cholesky", 0), 0u) << large.out;
  EXPECT_NE(large.out.find("Solving time: "), std::string::npos);
  EXPECT_LT(RelativeDifference(small, large), 1e-6);
}

TEST(SolverPaths, TooLargeOrOutOfRangeIsRefusedWithTheReason) {
  std::mt19937 rng(227);
  const float radius = 0.2f;
  auto reader = Read(WritePairs("paths_budget.ptt", RandomPairs(2000, rng)), radius);
  for (int path : {vtkMatrixSolver::EnvelopePath, vtkMatrixSolver::SparsePath}) {
    vtkNew<vtkMatrixSolver> s;
    s->SetRadius(radius);
    s->SetInputsFromReader(reader);
    s->SetPath(path);
    s->SetMemoryLimit(64.0 * 1024.0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(s->Solve(), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(s->GetStatus(), vtkMatrixSolver::TooLarge);
    const std::string& m = s->GetStatusMessage();
    EXPECT_NE(m.find(" needs "), std::string::npos) << m;
    EXPECT_NE(m.find(" MiB of memory and 1 MiB are available"), std::string::npos) << m;
  }
  // One source at 3e38 among 50: its square leaves the arithmetic's range, which is the cause
  // (not "one line", which the other centres collapse to beside it).
  auto pairs = RandomPairs(50, rng);
  pairs[19].s[0] = 3e38;
  pairs[19].t[0] = 3e38;
  std::string text = "# Points Transformations\n";
  const selvane::test::ClassicNumbers classic; // the file's numbers have a decimal point
  for (const Pair& p : pairs) {
    char line[512];
    std::snprintf(line, sizeof line, "%.9g %.9g %.9g %.9g %.9g %.9g\n", p.s[0], p.s[1], p.s[2],
                  p.t[0], p.t[1], p.t[2]);
    text += line;
  }
  auto huge = Read(WriteFile("paths_huge.ptt", text), 0.3f);
  const SolverRun run = Solve(huge, 0.3f, vtkMatrixSolver::AutomaticPath);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.solver->GetStatus(), vtkMatrixSolver::CoordinateTooLarge);
  EXPECT_NE(run.solver->GetStatusMessage().find("the source of pair 20 (3e+38 "), std::string::npos)
      << run.solver->GetStatusMessage();
  EXPECT_NE(run.solver->GetStatusMessage().find("too large for the arithmetic"), std::string::npos);
}

TEST(SolverPaths, NearCoincidentCentresAreSolvedAgainInDouble) {
  // 20 pairs of centres 1e-7 R apart whose targets differ by 1 (R = 100), among 300 pairs.
  std::mt19937 rng(229);
  std::uniform_real_distribution<double> u(-120.0, 120.0);
  std::vector<Pair> pairs;
  for (int k = 0; k < 300; ++k) {
    Pair p;
    for (int a = 0; a < 3; ++a) {
      p.s[a] = u(rng);
      p.t[a] = p.s[a] + 0.01 * u(rng);
    }
    pairs.push_back(p);
  }
  for (int k = 0; k < 20; ++k) {
    Pair twin = pairs[k];
    twin.s[0] += 1e-5;
    twin.t[1] += 1.0;
    pairs.push_back(twin);
  }
  const float radius = 100.0f;
  auto reader = Read(WritePairs("paths_twins.ptt", pairs), radius);
  ASSERT_EQ(reader->GetPointArray()->GetNumberOfPoints(), 320);
  const SolverRun single = Solve(reader, radius, vtkMatrixSolver::EnvelopePath);
  const SolverRun automatic = Solve(reader, radius, vtkMatrixSolver::AutomaticPath);
  ASSERT_EQ(single.result, 1) << single.solver->GetStatusMessage();
  ASSERT_EQ(automatic.result, 1) << automatic.solver->GetStatusMessage();
  const double before = FitResidual(MakeSplineFit(reader, single.solver), reader->GetPointArrayN());
  const double after =
      FitResidual(MakeSplineFit(reader, automatic.solver), reader->GetPointArrayN());
  // The envelope's float matrix misses the twins' targets by a third of their difference;
  // the double solve at least halves that, the rest is the rounding of the stored
  // coefficients, which the warning names.
  EXPECT_GT(before, 0.25);
  EXPECT_NE(automatic.out.find("solving again in double"), std::string::npos) << automatic.out;
  EXPECT_EQ(automatic.solver->GetPathUsed(), vtkMatrixSolver::SparsePath);
  EXPECT_LT(after, 0.6 * before);
  // The solver's own check agrees with an evaluation through the point locator.
  EXPECT_NEAR(automatic.solver->GetSourceResidual(), after, 1e-3 * after);
  EXPECT_NEAR(single.solver->GetSourceResidual(), before, 1e-3 * before);
  for (const SolverRun* run : {&single, &automatic}) {
    const std::string& w = run->solver->GetWarningMessage();
    EXPECT_EQ(w.rfind("warning: the fit misses its sources by up to ", 0), 0u) << w;
    const bool namesATwin = w.find("worst at pair ") != std::string::npos;
    EXPECT_TRUE(namesATwin) << w;
    const int pair = namesATwin ? std::atoi(w.c_str() + w.find("worst at pair ") + 14) : 0;
    EXPECT_TRUE((pair >= 1 && pair <= 20) || (pair >= 301 && pair <= 320)) << w;
  }
}
