// What a deformation did: displacement lengths against the transform's own output, points
// no centre reaches, folded cells, and the radius suggestion and warnings.
#include "DeformationInsight.h"
#include "ShapeFit.h"
#include "vtkShapeTransform.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkFloatArray.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>

using namespace selvane;

namespace {

// Pairs on a 5 x 5 grid in the plane z = 0 with spacing 1, each source moved by a smooth
// amount; the grid spans [0, 4] x [0, 4].
std::string GridPairs() {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j)
      text << i << " " << j << " 0 " << i + 0.1 * std::sin(j) << " " << j + 0.05 * i << " "
           << 0.2 * std::cos(i + j) << "\n";
  return text.str();
}

// n points with x, y in [lo, hi] and z in [0, height].
vtkSmartPointer<vtkPoints> RandomPoints(int n, double lo, double hi, double height, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> u(lo, hi), z(0.0, height);
  auto points = vtkSmartPointer<vtkPoints>::New();
  for (int i = 0; i < n; ++i)
    points->InsertNextPoint(u(random), u(random), z(random));
  return points;
}

// A square from (0,0) to (1,1) cut into four triangles around its centre (point 4), after a
// vertex cell; the triangles are cells 1 .. 4, all facing +z.
vtkSmartPointer<vtkPolyData> Fan() {
  auto data = vtkSmartPointer<vtkPolyData>::New();
  vtkNew<vtkPoints> points;
  const double corners[5][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5, 0.5, 0}};
  for (const auto& p : corners)
    points->InsertNextPoint(p);
  data->SetPoints(points);
  vtkNew<vtkCellArray> verts, polys;
  const vtkIdType vertex[1] = {0};
  verts->InsertNextCell(1, vertex);
  const vtkIdType tris[4][3] = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}};
  for (const auto& t : tris)
    polys->InsertNextCell(3, t);
  data->SetVerts(verts);
  data->SetPolys(polys);
  return data;
}

vtkSmartPointer<vtkPolyData> Moved(vtkPolyData* data, vtkIdType point, const double to[3]) {
  auto copy = vtkSmartPointer<vtkPolyData>::New();
  copy->DeepCopy(data);
  copy->GetPoints()->SetPoint(point, to);
  return copy;
}

} // namespace

TEST(DeformationInsightTest, LengthsMatchTheTransformsOutputAndItsField) {
  vtkNew<vtkShapeTransform> transform;
  ASSERT_TRUE(FitShapeTransformToText(GridPairs(), 1.8f, transform).Ok());
  auto model = RandomPoints(2000, -1.0, 5.0, 2.0, 7);
  const float fraction = 0.6f;
  transform->SetFraction(fraction);
  vtkNew<vtkPoints> shown;
  transform->TransformPoints(model, shown);

  vtkNew<vtkFloatArray> fromPoints, fromCache;
  ASSERT_TRUE(DisplacementLengths(model, shown, fromPoints));
  ASSERT_TRUE(
      CachedDisplacementLengths(transform, model->GetNumberOfPoints(), fraction, fromCache));
  ASSERT_EQ(fromPoints->GetNumberOfTuples(), 2000);
  ASSERT_EQ(fromCache->GetNumberOfTuples(), 2000);
  int moved = 0;
  for (vtkIdType i = 0; i < 2000; ++i) {
    // The field evaluated afresh at the point, in double.
    double x[3], y[3];
    model->GetPoint(i, x);
    transform->TransformPoint(x, y);
    const double expected = std::sqrt(vtkMath::Distance2BetweenPoints(x, y));
    EXPECT_NEAR(fromPoints->GetValue(i), expected, 1e-5 + 1e-4 * expected) << "point " << i;
    EXPECT_NEAR(fromCache->GetValue(i), expected, 1e-5 + 1e-4 * expected) << "point " << i;
    moved += expected > 1e-3;
  }
  EXPECT_GT(moved, 1000); // the case does move most points

  vtkNew<vtkPoints> fewer;
  fewer->SetNumberOfPoints(3);
  EXPECT_FALSE(DisplacementLengths(model, fewer, fromPoints));
  EXPECT_FALSE(CachedDisplacementLengths(transform, 3, fraction, fromCache));
}

TEST(DeformationInsightTest, UnreachedPointsAreThoseTheFieldLeavesInPlace) {
  vtkNew<vtkShapeTransform> transform;
  vtkNew<vtkPoints> model;
  EXPECT_TRUE(UnreachedPointMask(transform, model).empty()); // no fit yet
  const float radius = 1.5f;
  ASSERT_TRUE(FitShapeTransformToText(GridPairs(), radius, transform).Ok());
  // The grid's neighbourhood, and 40 points placed beyond the reach of every centre.
  auto near = RandomPoints(500, 0.0, 4.0, 0.5, 11);
  model->DeepCopy(near);
  for (int k = 0; k < 40; ++k)
    model->InsertNextPoint(4.0 + radius + 0.01 + 0.1 * k, 2.0, 0.0);
  // Just within and just beyond the radius of the corner centre (4, 4, 0).
  model->InsertNextPoint(4.0 + 0.999 * radius, 4.0, 0.0);
  model->InsertNextPoint(4.0, 4.0 + 1.001 * radius, 0.0);

  const auto mask = UnreachedPointMask(transform, model);
  ASSERT_EQ(mask.size(), static_cast<size_t>(model->GetNumberOfPoints()));
  EXPECT_EQ(CountUnreachedPoints(transform, model), 41);
  transform->SetFraction(1.0f);
  for (vtkIdType i = 0; i < model->GetNumberOfPoints(); ++i) {
    double x[3], y[3];
    model->GetPoint(i, x);
    transform->TransformPoint(x, y);
    const bool stays = x[0] == y[0] && x[1] == y[1] && x[2] == y[2];
    EXPECT_EQ(mask[static_cast<size_t>(i)] == 1, stays) << "point " << i;
  }
}

TEST(DeformationInsightTest, FoldsAreFoundAndRigidMovesHaveNone) {
  auto fan = Fan();
  // The centre pulled out past the right edge turns the right triangle (cell 2) over.
  const double outside[3] = {1.5, 0.5, 0.0};
  EXPECT_EQ(FindFoldedCells(fan, Moved(fan, 4, outside)), std::vector<vtkIdType>{2});
  // Onto the right edge: the right triangle collapses to nothing.
  const double onEdge[3] = {1.0, 0.5, 0.0};
  EXPECT_EQ(FindFoldedCells(fan, Moved(fan, 4, onEdge)), std::vector<vtkIdType>{2});
  // Within the square, or lifted out of its plane: nothing turns over.
  const double inside[3] = {0.8, 0.3, 0.0}, lifted[3] = {0.5, 0.5, 3.0};
  EXPECT_TRUE(FindFoldedCells(fan, Moved(fan, 4, inside)).empty());
  EXPECT_TRUE(FindFoldedCells(fan, Moved(fan, 4, lifted)).empty());

  // A turn of the whole model by less than a quarter turn, and a shift: none.
  auto rigid = vtkSmartPointer<vtkPolyData>::New();
  rigid->DeepCopy(fan);
  for (vtkIdType i = 0; i < 5; ++i) {
    double p[3];
    fan->GetPoint(i, p);
    const double c = std::cos(1.2), s = std::sin(1.2);
    const double q[3] = {c * p[0] - s * p[2] + 10, p[1] - 3, s * p[0] + c * p[2] + 1};
    rigid->GetPoints()->SetPoint(i, q);
  }
  EXPECT_TRUE(FindFoldedCells(fan, rigid).empty());

  // A mirror turns every triangle over; a quad is judged by its Newell normal.
  auto mirrored = vtkSmartPointer<vtkPolyData>::New();
  mirrored->DeepCopy(fan);
  for (vtkIdType i = 0; i < 5; ++i) {
    double p[3];
    fan->GetPoint(i, p);
    p[0] = -p[0];
    mirrored->GetPoints()->SetPoint(i, p);
  }
  EXPECT_EQ(FindFoldedCells(fan, mirrored), (std::vector<vtkIdType>{1, 2, 3, 4}));
  const vtkIdType quad[4] = {0, 1, 2, 3};
  fan->GetPolys()->InsertNextCell(4, quad);
  mirrored->GetPolys()->InsertNextCell(4, quad);
  EXPECT_EQ(FindFoldedCells(fan, mirrored), (std::vector<vtkIdType>{1, 2, 3, 4, 5}));
  // Different cells: nothing to compare.
  EXPECT_TRUE(FindFoldedCells(fan, rigid).empty());
}

TEST(DeformationInsightTest, RadiusSuggestionAndWarningsFollowTheCentreSpacing) {
  // Centres on a 10 x 10 x 2 lattice of spacing 2, one pair 0.5 apart.
  vtkNew<vtkPoints> centres;
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 10; ++j)
      for (int k = 0; k < 2; ++k)
        centres->InsertNextPoint(2.0 * i, 2.0 * j, 2.0 * k);
  centres->InsertNextPoint(0.5, 0.0, 0.0);
  const CentreSpacing spacing = MeasureCentreSpacing(centres);
  EXPECT_EQ(spacing.Centres, 201);
  EXPECT_DOUBLE_EQ(spacing.Smallest, 0.5);
  EXPECT_DOUBLE_EQ(spacing.Median, 2.0);
  EXPECT_DOUBLE_EQ(spacing.Largest, 2.0);

  const double model[6] = {-1, 19, -1, 19, -1, 3};
  EXPECT_DOUBLE_EQ(SuggestRadius(centres, model), 8.0);
  const double small[6] = {0, 6, 0, 8, 0, 0}; // half its diagonal is 5
  EXPECT_DOUBLE_EQ(SuggestRadius(spacing, small), 5.0);

  EXPECT_TRUE(CheckRadius(8.0, spacing, model).empty());
  auto warnings = CheckRadius(0.4, spacing, model);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("no two centres are coupled"), std::string::npos) << warnings[0];
  EXPECT_TRUE(CheckRadius(0.6, spacing, model).empty()) << "the close pair is coupled";
  warnings = CheckRadius(100.0, spacing, model);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("covers the whole model"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find("201 centres needs about 1 MiB"), std::string::npos) << warnings[0];

  // The dense estimate grows with the square (memory) and the cube (time) of the centres.
  const DenseSolveEstimate a = EstimateDenseSolve(20000), b = EstimateDenseSolve(40000);
  EXPECT_NEAR(static_cast<double>(b.Bytes) / a.Bytes, 4.0, 0.01);
  EXPECT_NEAR(b.Seconds / a.Seconds, 8.0, 0.01);

  vtkNew<vtkPoints> one;
  one->InsertNextPoint(1, 2, 3);
  EXPECT_EQ(SuggestRadius(one, model), 0.0);
}
