#include "vtkAppendHeldPolyData.h"

#include <gtest/gtest.h>

#include <vtkAppendPolyData.h>
#include <vtkCellArray.h>
#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkSphereSource.h>

#include <vector>

namespace {

// A small sphere at x with a line from its first to its last point, and normals when asked:
// the shape of a selected point's marker.
vtkSmartPointer<vtkPolyData> Piece(double x, bool normals = true) {
  vtkNew<vtkSphereSource> sphere;
  sphere->SetCenter(x, 0, 0);
  sphere->SetRadius(0.25);
  sphere->SetThetaResolution(5);
  sphere->SetPhiResolution(4);
  sphere->Update();
  auto piece = vtkSmartPointer<vtkPolyData>::New();
  piece->DeepCopy(sphere->GetOutput());
  vtkNew<vtkCellArray> line;
  const vtkIdType ends[2] = {0, piece->GetNumberOfPoints() - 1};
  line->InsertNextCell(2, ends);
  piece->SetLines(line);
  if (!normals)
    piece->GetPointData()->Initialize();
  return piece;
}

std::vector<vtkIdType> CellPoints(vtkPolyData* data, vtkIdType cell) {
  vtkNew<vtkIdList> ids;
  data->GetCellPoints(cell, ids);
  return std::vector<vtkIdType>(ids->begin(), ids->end());
}

// Same points, same point arrays, same cells with the same types, in the same order.
void ExpectSameGeometry(vtkPolyData* got, vtkPolyData* want) {
  ASSERT_EQ(got->GetNumberOfPoints(), want->GetNumberOfPoints());
  ASSERT_EQ(got->GetNumberOfCells(), want->GetNumberOfCells());
  for (vtkIdType i = 0; i < want->GetNumberOfPoints(); ++i) {
    double a[3], b[3];
    got->GetPoint(i, a);
    want->GetPoint(i, b);
    for (int k = 0; k < 3; ++k)
      ASSERT_FLOAT_EQ(a[k], b[k]) << "point " << i;
  }
  vtkDataArray* wantNormals = want->GetPointData()->GetNormals();
  vtkDataArray* gotNormals = got->GetPointData()->GetNormals();
  ASSERT_EQ(gotNormals != nullptr, wantNormals != nullptr);
  if (wantNormals) {
    for (vtkIdType i = 0; i < want->GetNumberOfPoints(); ++i)
      for (int k = 0; k < 3; ++k)
        ASSERT_FLOAT_EQ(gotNormals->GetComponent(i, k), wantNormals->GetComponent(i, k));
  }
  for (vtkIdType c = 0; c < want->GetNumberOfCells(); ++c) {
    ASSERT_EQ(got->GetCellType(c), want->GetCellType(c)) << "cell " << c;
    ASSERT_EQ(CellPoints(got, c), CellPoints(want, c)) << "cell " << c;
  }
}

vtkSmartPointer<vtkPolyData> AppendedByVtk(const std::vector<vtkPolyData*>& pieces) {
  vtkNew<vtkAppendPolyData> append;
  for (vtkPolyData* piece : pieces)
    append->AddInputData(piece);
  append->Update();
  return append->GetOutput();
}

TEST(AppendHeldPolyData, AppendsLikeVtkForOneLayoutAndForMixedLayouts) {
  const auto a = Piece(0), b = Piece(1), c = Piece(2), bare = Piece(3, false);
  vtkNew<vtkAppendHeldPolyData> held;
  held->Update();
  EXPECT_EQ(held->GetOutput()->GetNumberOfPoints(), 0);

  for (vtkPolyData* piece : {a.Get(), b.Get(), c.Get()})
    held->AddPolyData(piece);
  held->Update();
  ExpectSameGeometry(held->GetOutput(), AppendedByVtk({a, b, c}));

  // A polydata without the others' normals: still every point and cell.
  held->AddPolyData(bare);
  held->Update();
  EXPECT_EQ(held->GetOutput()->GetNumberOfPoints(), 4 * a->GetNumberOfPoints());
  EXPECT_EQ(held->GetOutput()->GetNumberOfCells(), 4 * a->GetNumberOfCells());
}

TEST(AppendHeldPolyData, RemovingTakesTheLatestHoldAndKeepsTheOrderThroughCompaction) {
  const auto a = Piece(0), b = Piece(1);
  vtkNew<vtkAppendHeldPolyData> held;
  held->AddPolyData(a);
  held->AddPolyData(b);
  held->AddPolyData(a);
  held->RemovePolyData(a);
  EXPECT_EQ(held->GetHeldPolyData(), (std::vector<vtkPolyData*>{a, b}));
  const vtkMTimeType before = held->GetMTime();
  held->RemovePolyData(Piece(5)); // never held
  EXPECT_EQ(held->GetMTime(), before);
  held->RemoveAllPolyData();
  EXPECT_EQ(held->GetNumberOfPolyData(), 0);

  // Enough removals to compact the slots several times over.
  std::vector<vtkSmartPointer<vtkPolyData>> pieces;
  for (int i = 0; i < 300; ++i) {
    pieces.push_back(Piece(i, false));
    held->AddPolyData(pieces.back());
  }
  std::vector<vtkPolyData*> kept;
  for (int i = 0; i < 300; ++i) {
    if (i % 5 == 0)
      kept.push_back(pieces[i]);
    else
      held->RemovePolyData(pieces[i]);
  }
  EXPECT_EQ(held->GetHeldPolyData(), kept);
  held->RemovePolyData(kept.front());
  held->AddPolyData(kept.front()); // back at the end
  kept.push_back(kept.front());
  kept.erase(kept.begin());
  EXPECT_EQ(held->GetHeldPolyData(), kept);
  held->Update();
  ExpectSameGeometry(held->GetOutput(), AppendedByVtk(kept));
}

TEST(AppendHeldPolyData, SharedPointsAreNotCopiedAndChangesToHeldDataReachTheOutput) {
  vtkNew<vtkPoints> points;
  for (int i = 0; i < 6; ++i)
    points->InsertNextPoint(i, i % 2, 0);
  std::vector<vtkSmartPointer<vtkPolyData>> cells;
  vtkNew<vtkAppendHeldPolyData> held;
  for (vtkIdType first : {3, 0, 2}) {
    auto cell = vtkSmartPointer<vtkPolyData>::New();
    cell->SetPoints(points);
    vtkNew<vtkCellArray> polys;
    const vtkIdType ids[3] = {first, first + 1, first + 2};
    polys->InsertNextCell(3, ids);
    cell->SetPolys(polys);
    held->AddPolyData(cell);
    cells.push_back(cell);
  }
  held->Update();
  vtkPolyData* out = held->GetOutput();
  EXPECT_EQ(out->GetPoints(), points.Get());
  ASSERT_EQ(out->GetNumberOfCells(), 3);
  EXPECT_EQ(CellPoints(out, 0), (std::vector<vtkIdType>{3, 4, 5}));
  EXPECT_EQ(CellPoints(out, 1), (std::vector<vtkIdType>{0, 1, 2}));

  // Editing a held polydata in place is seen on the next update.
  vtkNew<vtkCellArray> other;
  const vtkIdType ids[3] = {1, 2, 3};
  other->InsertNextCell(3, ids);
  cells[1]->SetPolys(other);
  held->Update();
  EXPECT_EQ(CellPoints(out, 1), (std::vector<vtkIdType>{1, 2, 3}));
}

} // namespace
