// The selection sources on their own: the order they hold things in, and what they draw.
#include "HeldOrder.h"
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkCellType.h>
#include <vtkIdList.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <cmath>
#include <vector>

using namespace selvane;

namespace {

using Ids = std::vector<vtkIdType>;

Ids Keys(const selvane::HeldOrder<int>& held) {
  Ids keys;
  held.ForEach([&](vtkIdType key, int) { keys.push_back(key); });
  return keys;
}

Ids CellPoints(vtkPolyData* data, vtkIdType cell) {
  vtkNew<vtkIdList> ids;
  data->GetCellPoints(cell, ids);
  return Ids(ids->begin(), ids->end());
}

TEST(HeldOrder, RemovalTakesTheLatestHoldAndCompactionKeepsTheOrder) {
  selvane::HeldOrder<int> held;
  held.Add(5, 1);
  held.Add(7, 2);
  held.Add(5, 3);
  EXPECT_TRUE(held.Remove(5));
  EXPECT_FALSE(held.Remove(9));
  std::vector<int> values;
  held.ForEach([&](vtkIdType, int value) { values.push_back(value); });
  EXPECT_EQ(values, (std::vector<int>{1, 2}));

  // Enough removals to compact the slots several times over.
  held.Clear();
  Ids kept;
  for (vtkIdType key = 0; key < 300; ++key)
    held.Add(key, 0);
  for (vtkIdType key = 0; key < 300; ++key) {
    if (key % 5 == 0)
      kept.push_back(key);
    else
      held.Remove(key);
  }
  EXPECT_EQ(Keys(held), kept);
  held.Remove(0);
  held.Add(0, 0); // back at the end
  kept.erase(kept.begin());
  kept.push_back(0);
  EXPECT_EQ(Keys(held), kept);
  EXPECT_EQ(held.Size(), kept.size());
}

TEST(SelectedCellsSource, DrawsEachCellWithItsTypeOnTheModelsOwnPoints) {
  vtkNew<vtkPoints> points;
  for (int i = 0; i < 8; ++i)
    points->InsertNextPoint(i, i % 3, 0);
  vtkNew<vtkPolyData> model;
  model->SetPoints(points);
  model->AllocateExact(8, 20);
  const vtkIdType vertex[1] = {7}, line[2] = {1, 2}, triangle[3] = {0, 1, 2},
                  quad[4] = {2, 3, 4, 5}, strip[4] = {4, 5, 6, 7};
  model->InsertNextCell(VTK_TRIANGLE, 3, triangle);    // 0
  model->InsertNextCell(VTK_VERTEX, 1, vertex);        // 1
  model->InsertNextCell(VTK_QUAD, 4, quad);            // 2
  model->InsertNextCell(VTK_LINE, 2, line);            // 3
  model->InsertNextCell(VTK_TRIANGLE_STRIP, 4, strip); // 4

  vtkNew<vtkSelectedCellsSource> cells;
  cells->SetInputData(model);
  cells->Update();
  EXPECT_EQ(cells->GetOutput()->GetNumberOfCells(), 0);
  EXPECT_EQ(cells->GetOutput()->GetPoints(), points.Get()); // all points, even without a cell
  for (vtkIdType cell : {4, 2, 99, 3, 1, 0})
    cells->AddCell(cell);
  cells->Update();
  vtkPolyData* drawn = cells->GetOutput();
  EXPECT_EQ(drawn->GetPoints(), points.Get());
  // Vertices, lines, polygons, strips; in each, the order of choice. An ID outside the model
  // is drawn as nothing.
  ASSERT_EQ(drawn->GetNumberOfCells(), 5);
  EXPECT_EQ(drawn->GetCellType(0), VTK_VERTEX);
  EXPECT_EQ(drawn->GetCellType(1), VTK_LINE);
  EXPECT_EQ(drawn->GetCellType(2), VTK_QUAD);
  EXPECT_EQ(drawn->GetCellType(3), VTK_TRIANGLE);
  EXPECT_EQ(drawn->GetCellType(4), VTK_TRIANGLE_STRIP);
  EXPECT_EQ(CellPoints(drawn, 2), (Ids{2, 3, 4, 5}));
  EXPECT_EQ(CellPoints(drawn, 4), (Ids{4, 5, 6, 7}));

  // Withdrawing redraws; so does a change of the model on the input.
  cells->RemoveCell(2);
  cells->Update();
  EXPECT_EQ(drawn->GetNumberOfCells(), 4);
  vtkNew<vtkPoints> moved;
  moved->DeepCopy(points);
  model->SetPoints(moved);
  cells->Update();
  EXPECT_EQ(drawn->GetPoints(), moved.Get());

  // Without a model nothing is drawn.
  vtkNew<vtkSelectedCellsSource> alone;
  alone->AddCell(0);
  alone->Update();
  EXPECT_EQ(alone->GetOutput()->GetNumberOfCells(), 0);
}

TEST(PointMarkerSource, EachMarkerIsASphereAtItsTargetAndALineFromItsPoint) {
  vtkNew<vtkPointMarkerSource> markers;
  selvane::PointMarker near{{0, 0, 0}, {1, 2, 3}, 0.25f};
  selvane::PointMarker far{{5, 5, 5}, {-4, 0, 1}, 2.0f};
  markers->AddMarker(10, near);
  markers->AddMarker(11, far);
  markers->Update();
  vtkPolyData* drawn = markers->GetOutput();
  const vtkIdType each = 52; // VTK's default sphere has 50 points
  ASSERT_EQ(drawn->GetNumberOfPoints(), 2 * each);
  ASSERT_EQ(drawn->GetPointData()->GetNormals()->GetNumberOfTuples(), 2 * each);
  ASSERT_EQ(drawn->GetNumberOfLines(), 2);
  for (int m = 0; m < 2; ++m) {
    const selvane::PointMarker& marker = m == 0 ? near : far;
    const vtkIdType first = m * each;
    double target[3], point[3];
    drawn->GetPoint(first + each - 1, target);
    drawn->GetPoint(first + each - 2, point);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(target[k], marker.Target[k]);
      EXPECT_EQ(point[k], marker.Position[k]);
    }
    for (vtkIdType i = first; i < first + each - 2; ++i) {
      double p[3];
      drawn->GetPoint(i, p);
      ASSERT_NEAR(std::sqrt(vtkMath::Distance2BetweenPoints(p, target)), marker.Radius, 1e-5);
    }
  }
  // vtkPolyData numbers lines before triangles: each line joins its marker's point to its
  // target, and every triangle uses its own marker's sphere points.
  EXPECT_EQ(CellPoints(drawn, 0), (Ids{each - 2, each - 1}));
  EXPECT_EQ(CellPoints(drawn, 1), (Ids{2 * each - 2, 2 * each - 1}));
  ASSERT_EQ(drawn->GetNumberOfPolys(), 2 * 96);
  for (vtkIdType c = 0; c < 2 * 96; ++c)
    for (vtkIdType id : CellPoints(drawn, 2 + c))
      ASSERT_EQ(id / each, c / 96) << "triangle " << c;

  markers->RemoveMarker(10);
  markers->Update();
  EXPECT_EQ(markers->GetMarkerKeys(), (Ids{11}));
  double target[3];
  drawn->GetPoint(each - 1, target);
  EXPECT_EQ(target[0], -4);
  markers->RemoveAllMarkers();
  markers->Update();
  EXPECT_EQ(drawn->GetNumberOfPoints(), 0);
}

} // namespace
