// Matching file positions to model points: the grid must give exactly what a scan of the
// points in index order gives.
#include "ModelPointMatcher.h"

#include <gtest/gtest.h>

#include <vtkNew.h>
#include <vtkPoints.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using selvane::ModelPointMatcher;

namespace {

// The first point in index order within the tolerance, as the plain scan finds it.
vtkIdType ScanForMatch(vtkPoints* points, const float s[3]) {
  double m[3];
  for (vtkIdType i = 0; i < points->GetNumberOfPoints(); ++i) {
    points->GetPoint(i, m);
    const double dx = s[0] - m[0], dy = s[1] - m[1], dz = s[2] - m[2];
    if (dx * dx + dy * dy + dz * dz <= ModelPointMatcher::SquaredTolerance)
      return i;
  }
  return -1;
}

} // namespace

TEST(ModelPointMatcher, AgreesWithAScanInIndexOrder) {
  // A dense cloud with coincident and near-coincident points around the tolerance.
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> coord(-0.02f, 0.02f);
  std::uniform_real_distribution<float> jitter(-0.0012f, 0.0012f);
  vtkNew<vtkPoints> points;
  for (int i = 0; i < 3000; ++i) {
    const float p[3] = {coord(rng), coord(rng), coord(rng)};
    points->InsertNextPoint(p[0], p[1], p[2]);
    if (i % 5 == 0)
      points->InsertNextPoint(p[0], p[1], p[2]); // a coincident point with a higher index
  }
  const ModelPointMatcher matcher(points);
  int matched = 0, unmatched = 0;
  for (int q = 0; q < 4000; ++q) {
    double m[3];
    points->GetPoint(static_cast<vtkIdType>(rng() % points->GetNumberOfPoints()), m);
    const float s[3] = {static_cast<float>(m[0]) + jitter(rng),
                        static_cast<float>(m[1]) + jitter(rng),
                        static_cast<float>(m[2]) + jitter(rng)};
    const vtkIdType expected = ScanForMatch(points, s);
    ASSERT_EQ(matcher.Find(s), expected) << q;
    (expected >= 0 ? matched : unmatched) += 1;
  }
  // Both outcomes were exercised.
  EXPECT_GT(matched, 100);
  EXPECT_GT(unmatched, 100);
}

TEST(ModelPointMatcher, ToleranceBoundaryAndCoincidentPoints) {
  vtkNew<vtkPoints> points;
  points->InsertNextPoint(5, 5, 5);
  points->InsertNextPoint(1, 2, 3); // 1
  points->InsertNextPoint(1, 2, 3); // 2: coincident with 1
  points->InsertNextPoint(0, 0, 0); // 3
  const ModelPointMatcher matcher(points);
  const float exact[3] = {1, 2, 3};
  EXPECT_EQ(matcher.Find(exact), 1);
  const float inside[3] = {1.0009f, 2, 3}; // d = 0.0009: d^2 below 9e-7
  EXPECT_EQ(matcher.Find(inside), 1);
  const float outside[3] = {1.00096f, 2, 3}; // d^2 just above 9e-7
  EXPECT_EQ(matcher.Find(outside), -1);
  const float between[3] = {0.5f, 1, 1.5f};
  EXPECT_EQ(matcher.Find(between), -1);
  const float nearOrigin[3] = {-0.0005f, 0.0005f, -0.0005f}; // across cell borders at 0
  EXPECT_EQ(matcher.Find(nearOrigin), 3);
}

TEST(ModelPointMatcher, HugeCoordinatesAndEmptyModels) {
  vtkNew<vtkPoints> points;
  points->InsertNextPoint(3.0e38, -3.0e38, 1e30);
  points->InsertNextPoint(2.9e38, -3.0e38, 1e30);
  points->InsertNextPoint(1e9, 1e9, 1e9);
  const ModelPointMatcher matcher(points);
  const float far[3] = {2.9e38f, -3.0e38f, 1e30f};
  EXPECT_EQ(matcher.Find(far), 1);
  const float big[3] = {1e9f, 1e9f, 1e9f};
  EXPECT_EQ(matcher.Find(big), 2);
  const float origin[3] = {0, 0, 0};
  EXPECT_EQ(matcher.Find(origin), -1);

  vtkNew<vtkPoints> none;
  EXPECT_EQ(ModelPointMatcher(none).Find(origin), -1);
  EXPECT_EQ(ModelPointMatcher(nullptr).Find(origin), -1);
}

TEST(ModelPointMatcher, PositionsOfAnyMagnitudeAgreeWithTheScan) {
  // Model points at very different magnitudes; queries on them, one float step beside them,
  // and far away from all of them. Each lookup must give the scan's answer (and return at once:
  // a search box that grew with the magnitude would walk billions of grid cells here).
  vtkNew<vtkPoints> points;
  const float magnitudes[] = {0.5f, 3.0e3f, 7.0e6f, 1.0e12f, 1.0e16f, -3.0e30f, 3.0e38f};
  for (float m : magnitudes)
    points->InsertNextPoint(m, -m, 0.25f * m);
  points->InsertNextPoint(1.0, 1.0, 1.0);
  const ModelPointMatcher matcher(points);
  std::vector<std::array<float, 3>> queries;
  for (float m : magnitudes) {
    queries.push_back({m, -m, 0.25f * m});
    queries.push_back({std::nextafter(m, 0.0f), -m, 0.25f * m});
    queries.push_back({std::nextafter(m, std::numeric_limits<float>::infinity()), -m, 0.25f * m});
    queries.push_back({m, m, m});
  }
  for (float wild : {1e16f, -1e30f, 3e38f, -3.4e38f, 1e-30f})
    queries.push_back({wild, wild, wild});
  int matched = 0;
  for (const auto& q : queries) {
    const vtkIdType expected = ScanForMatch(points, q.data());
    EXPECT_EQ(matcher.Find(q.data()), expected) << q[0] << " " << q[1] << " " << q[2];
    matched += expected >= 0;
  }
  EXPECT_GE(matched, 7);
}
