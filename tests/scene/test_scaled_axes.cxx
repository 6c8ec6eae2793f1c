// vtkScaledAxes: its output for the defaults, an origin, per-axis lengths and symmetry.
#include "vtkScaledAxes.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkDataArray.h>
#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

using namespace selvane;

namespace {

void ExpectAxesOutput(vtkPolyData* out, const double pts[6][3]) {
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->GetNumberOfPoints(), 6);
  for (int i = 0; i < 6; ++i) {
    double p[3];
    out->GetPoint(i, p);
    for (int c = 0; c < 3; ++c) {
      EXPECT_FLOAT_EQ(static_cast<float>(p[c]), static_cast<float>(pts[i][c]))
          << "point " << i << " component " << c;
    }
  }
  // Three lines (0,1), (2,3), (4,5), nothing else.
  EXPECT_EQ(out->GetNumberOfLines(), 3);
  EXPECT_EQ(out->GetNumberOfVerts(), 0);
  EXPECT_EQ(out->GetNumberOfPolys(), 0);
  EXPECT_EQ(out->GetNumberOfStrips(), 0);
  vtkCellArray* lines = out->GetLines();
  auto ids = vtkSmartPointer<vtkIdList>::New();
  lines->InitTraversal();
  for (int l = 0; l < 3; ++l) {
    ASSERT_TRUE(lines->GetNextCell(ids));
    ASSERT_EQ(ids->GetNumberOfIds(), 2);
    EXPECT_EQ(ids->GetId(0), 2 * l);
    EXPECT_EQ(ids->GetId(1), 2 * l + 1);
  }
  // Scalars "Axes": 0, 0, 0.25, 0.25, 0.5, 0.5, as a float array.
  vtkDataArray* scalars = out->GetPointData()->GetScalars();
  ASSERT_NE(scalars, nullptr);
  EXPECT_STREQ(scalars->GetName(), "Axes");
  EXPECT_NE(vtkFloatArray::SafeDownCast(scalars), nullptr);
  ASSERT_EQ(scalars->GetNumberOfTuples(), 6);
  ASSERT_EQ(scalars->GetNumberOfComponents(), 1);
  const double sv[6] = {0.0, 0.0, 0.25, 0.25, 0.5, 0.5};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(scalars->GetComponent(i, 0), sv[i]) << i;
  }
  // Normals "Normals": (0,1,0) for x, (0,0,1) for y, (1,0,0) for z.
  vtkDataArray* normals = out->GetPointData()->GetNormals();
  ASSERT_NE(normals, nullptr);
  EXPECT_STREQ(normals->GetName(), "Normals");
  EXPECT_NE(vtkFloatArray::SafeDownCast(normals), nullptr);
  ASSERT_EQ(normals->GetNumberOfTuples(), 6);
  ASSERT_EQ(normals->GetNumberOfComponents(), 3);
  const double nv[3][3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
  for (int i = 0; i < 6; ++i) {
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(normals->GetComponent(i, c), nv[i / 2][c]) << i << "," << c;
    }
  }
  // Exactly these two point arrays.
  EXPECT_EQ(out->GetPointData()->GetNumberOfArrays(), 2);
}

} // namespace

TEST(ScaledAxes, DefaultsAndOutput) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  EXPECT_EQ(axes->GetNumberOfInputPorts(), 0);
  EXPECT_EQ(axes->GetNumberOfOutputPorts(), 1);
  const float* o = axes->GetOrigin();
  const float* s = axes->GetScaleFactor();
  EXPECT_EQ(o[0], 0.0f);
  EXPECT_EQ(o[1], 0.0f);
  EXPECT_EQ(o[2], 0.0f);
  EXPECT_EQ(s[0], 1.0f);
  EXPECT_EQ(s[1], 1.0f);
  EXPECT_EQ(s[2], 1.0f);
  EXPECT_EQ(axes->GetSymmetric(), 0);
  axes->Update();
  const double pts[6][3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {0, 0, 0}, {0, 0, 1}};
  ExpectAxesOutput(axes->GetOutput(), pts);
}

TEST(ScaledAxes, OriginAndPerAxisLengths) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  axes->SetOrigin(1.0f, -2.0f, 3.0f);
  const float sf[3] = {5.0f, 2.0f, 0.5f};
  axes->SetScaleFactor(sf);
  axes->Update();
  const double pts[6][3] = {{1, -2, 3}, {6, -2, 3}, {1, -2, 3},
                            {1, 0, 3},  {1, -2, 3}, {1, -2, 3.5}};
  ExpectAxesOutput(axes->GetOutput(), pts);
}

TEST(ScaledAxes, Symmetric) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  axes->SetScaleFactor(2.0f, 3.0f, 4.0f);
  axes->SymmetricOn();
  EXPECT_EQ(axes->GetSymmetric(), 1);
  axes->Update();
  const double pts[6][3] = {{-2, 0, 0}, {2, 0, 0}, {0, -3, 0}, {0, 3, 0}, {0, 0, -4}, {0, 0, 4}};
  ExpectAxesOutput(axes->GetOutput(), pts);

  // Any non-zero value counts as symmetric; off again gives the one-sided axes.
  axes->SetSymmetric(7);
  axes->SetOrigin(1.0f, 1.0f, 1.0f);
  axes->Update();
  const double pts7[6][3] = {{-1, 1, 1}, {3, 1, 1}, {1, -2, 1}, {1, 4, 1}, {1, 1, -3}, {1, 1, 5}};
  ExpectAxesOutput(axes->GetOutput(), pts7);
  axes->SymmetricOff();
  axes->Update();
  const double pts0[6][3] = {{1, 1, 1}, {3, 1, 1}, {1, 1, 1}, {1, 4, 1}, {1, 1, 1}, {1, 1, 5}};
  ExpectAxesOutput(axes->GetOutput(), pts0);
}

TEST(ScaledAxes, ZeroAndNegativeLengths) {
  auto axes = vtkSmartPointer<vtkScaledAxes>::New();
  // Zero lengths put every point at the origin, symmetric or not.
  axes->SetOrigin(0.5f, 1.5f, -2.5f);
  axes->SetScaleFactor(0.0f, 0.0f, 0.0f);
  double atOrigin[6][3];
  for (auto& p : atOrigin) {
    p[0] = 0.5;
    p[1] = 1.5;
    p[2] = -2.5;
  }
  for (int symmetric : {0, 1}) {
    axes->SetSymmetric(symmetric);
    axes->Update();
    ExpectAxesOutput(axes->GetOutput(), atOrigin);
  }
  // Negative lengths reverse the axes.
  axes->SetOrigin(0.0f, 0.0f, 0.0f);
  axes->SetScaleFactor(-1.0f, -2.0f, -3.0f);
  axes->SymmetricOff();
  axes->Update();
  const double pts[6][3] = {{0, 0, 0}, {-1, 0, 0}, {0, 0, 0}, {0, -2, 0}, {0, 0, 0}, {0, 0, -3}};
  ExpectAxesOutput(axes->GetOutput(), pts);
}
