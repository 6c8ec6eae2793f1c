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
#include <random>
#include <string>
#include <vector>

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

TEST(SolverPaths, SparsePathRefusesANonPositivePivot) {
  // Duplicated centres given to the solver directly (the reader would merge them).
  vtkNew<vtkPoints> pts;
  const double c[5][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}};
  vtkNew<vtkIntArray> list;
  vtkNew<vtkFloatArray> bx, by, bz;
  for (int k = 0; k < 5; ++k) {
    pts->InsertNextPoint(c[k]);
    list->InsertNextValue(k);
    bx->InsertNextValue(0.1f * k);
    by->InsertNextValue(0.0f);
    bz->InsertNextValue(0.0f);
  }
  vtkNew<vtkMatrixSolver> s;
  s->SetRadius(2.0f);
  s->SetPointArray(pts);
  s->SetList(list);
  s->SetMax(4);
  s->SetBX(bx);
  s->SetBY(by);
  s->SetBZ(bz);
  s->SetPath(vtkMatrixSolver::SparsePath);
  testing::internal::CaptureStdout();
  EXPECT_EQ(s->Solve(), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(s->GetStatus(), vtkMatrixSolver::NotPositiveDefinite);
  // Point 1 or point 3: whichever of the two the ordering puts second.
  const std::string& m = s->GetStatusMessage();
  EXPECT_TRUE(m.find("(point 1 at 1 0 0)") != std::string::npos ||
              m.find("(point 3 at 1 0 0)") != std::string::npos)
      << m;
  EXPECT_EQ(s->GetSplineCoeffX(), nullptr);
}
