// Scenario tests of the current cell and point, the mesh walk, the selection lists with
// their markers, list-box choices, keys and picking, on small hand-made meshes.
#include "ControlIds.h"
#include "FakeWindowing.h"
#include "Locales.h"
#include "MainDialog.h"
#include "TestMeshes.h"
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkCoordinate.h>
#include <vtkIdList.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>
#include <vtkSphereSource.h>
#include <vtkUnsignedCharArray.h>

#include <cmath>

using namespace selvane;

namespace {

using Texts = std::vector<std::string>;

// Ten points; cell 0 is the triangle (5, 9, 2). Across its edge 9-2 lies cell 1, across
// 5-9 cell 2; its edge 2-5 is a boundary. Cell 3 stands apart.
vtkSmartPointer<vtkPolyData> MakeWalkMesh() {
  vtkNew<vtkPoints> points;
  const double xy[10][2] = {{5, 5}, {6, 5}, {2, 0},  {1, 2}, {5, 6},
                            {0, 0}, {0, 3}, {-1, 1}, {9, 9}, {1, 1}};
  for (const auto& p : xy)
    points->InsertNextPoint(p[0], p[1], 0);
  const vtkIdType cells[4][3] = {{5, 9, 2}, {9, 3, 2}, {5, 7, 9}, {0, 1, 4}};
  vtkNew<vtkCellArray> polys;
  for (const auto& c : cells)
    polys->InsertNextCell(3, c);
  auto mesh = vtkSmartPointer<vtkPolyData>::New();
  mesh->SetPoints(points);
  mesh->SetPolys(polys);
  return mesh;
}

class SelectionTest : public ::testing::Test {
protected:
  SelectionTest() : Dialog(Windowing) { Dialog.InitializeView(); }

  void Open(vtkPolyData* mesh) {
    const std::string path = Dir.File("mesh" + std::to_string(++Files) + ".vtk");
    ASSERT_TRUE(WriteLegacyModel(mesh, path));
    Windowing.QueueFileAnswer(path);
    Dialog.OpenModel();
    ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  }
  // The user chooses an entry of a list box.
  void Choose(int list, const std::string& text) {
    const int index = Windowing.FindListBoxText(list, text);
    ASSERT_GE(index, 0) << text;
    Windowing.SelectListBoxEntry(list, index);
    Dialog.OnListBoxSelection(list);
  }
  void TypeTarget(float x, float y, float z) {
    const test::ClassicNumbers classic; // the fields take a decimal point
    Windowing.FieldTexts[TargetXField] = std::to_string(x);
    Windowing.FieldTexts[TargetYField] = std::to_string(y);
    Windowing.FieldTexts[TargetZField] = std::to_string(z);
  }
  // The user sets the pointer's radius in the Set Radius box.
  void SetPointerRadius(float radius) {
    Dialog.SetRadiusBox.SphereRadius = radius;
    Dialog.ApplyPointerRadius();
  }
  std::vector<vtkIdType> Entries(vtkIdList* list) {
    return std::vector<vtkIdType>(list->begin(), list->end());
  }
  // What a selection source draws now.
  template <typename Source> vtkPolyData* Drawn(Source* source) {
    source->Update();
    return source->GetOutput();
  }
  std::string Selected(int list) { return Windowing.SelectedListBoxText(list); }

  TempDir Dir;
  int Files = 0;
  FakeWindowing Windowing;
  MainDialog Dialog;
};

TEST_F(SelectionTest, OpenModelMakesCellZeroAndItsFirstPointCurrent) {
  Open(MakeWalkMesh());
  EXPECT_EQ(Dialog.CurrentCell, 0);
  EXPECT_EQ(Dialog.CurrentPoint, 5);
  EXPECT_EQ(Windowing.ListBoxes[CellPointsList], (Texts{"5", "9", "2"})); // cell order
  EXPECT_EQ(Selected(CellPointsList), "5");
  EXPECT_EQ(Windowing.ListBoxes[PointCellsList], (Texts{"0", "2"}));
  EXPECT_TRUE(Windowing.ListBoxes[CellNeighborsList].empty()); // no cell uses all 3 points
  EXPECT_EQ(Dialog.CurrentCellPoly->GetNumberOfCells(), 1);
  double center[3];
  Dialog.PointingSphere->GetCenter(center);
  EXPECT_EQ(center[0], 0);
  EXPECT_EQ(center[1], 0);
  EXPECT_EQ(Windowing.FieldTexts[CurrentXField], "0");
  EXPECT_EQ(Windowing.FieldTexts[TargetYField], "0");
}

TEST_F(SelectionTest, ArrowsWalkInsideTheCellAndAcrossItsEdges) {
  Open(MakeWalkMesh());
  Choose(CellPointsList, "9");
  ASSERT_EQ(Dialog.CurrentPoint, 9);
  Dialog.NextPointInCell();
  EXPECT_EQ(Dialog.CurrentPoint, 2);
  Dialog.NextPointInCell();
  EXPECT_EQ(Dialog.CurrentPoint, 5);
  Dialog.PreviousPointInCell();
  EXPECT_EQ(Dialog.CurrentPoint, 2);

  // Down from 9 crosses the edge 9-2; the current point stays 9, so no entry of the
  // refilled cell-points list is selected.
  Choose(CellPointsList, "9");
  Dialog.CrossForwardEdge();
  EXPECT_EQ(Dialog.CurrentCell, 1);
  EXPECT_EQ(Dialog.CurrentPoint, 9);
  EXPECT_EQ(Windowing.ListBoxes[CellPointsList], (Texts{"9", "3", "2"}));
  EXPECT_EQ(Selected(CellPointsList), "");

  // Back in cell 0, Up from 9 crosses the edge 5-9.
  Choose(PointCellsList, "0");
  ASSERT_EQ(Dialog.CurrentCell, 0);
  Choose(CellPointsList, "9");
  Dialog.CrossBackwardEdge();
  EXPECT_EQ(Dialog.CurrentCell, 2);
  EXPECT_EQ(Dialog.CurrentPoint, 9);

  // Down from 2 in cell 0 meets the boundary edge 2-5: nothing changes.
  Choose(PointCellsList, "0");
  Choose(CellPointsList, "2");
  Dialog.CrossForwardEdge();
  EXPECT_EQ(Dialog.CurrentCell, 0);
  EXPECT_EQ(Dialog.CurrentPoint, 2);

  // With the current point outside the cell, Next goes to its second point.
  Choose(PointCellsList, "0");
  Dialog.SetCurrentPoint(4);
  Dialog.NextPointInCell();
  EXPECT_EQ(Dialog.CurrentPoint, 9);
}

TEST_F(SelectionTest, ChoosingACellFromAnyListMakesItsFirstPointCurrent) {
  Open(MakeWalkMesh());
  Choose(PointCellsList, "2");
  EXPECT_EQ(Dialog.CurrentCell, 2);
  EXPECT_EQ(Dialog.CurrentPoint, 5);
  // Choosing a point never changes the current cell.
  Choose(CellPointsList, "7");
  EXPECT_EQ(Dialog.CurrentCell, 2);
  EXPECT_EQ(Dialog.CurrentPoint, 7);
  // The current cell again: nothing moves.
  Dialog.SetCurrentCell(2, 0);
  EXPECT_EQ(Dialog.CurrentPoint, 7);
}

TEST_F(SelectionTest, CellsAreSelectedWithdrawnAndRestoredInPlace) {
  Open(MakeGrid(4));
  const int before = Windowing.RenderCount();
  for (int cell : {7, 3, 9}) {
    Dialog.SetCurrentCell(cell, 0);
    Dialog.ToggleCurrentCell();
  }
  Dialog.SetCurrentCell(3, 0);
  Dialog.ToggleCurrentCell();
  EXPECT_EQ(Entries(Dialog.SelectedCells().Ids()), (std::vector<vtkIdType>{7, -5, 9}));
  EXPECT_EQ(Windowing.ListBoxes[SelectedCellsList], (Texts{"7", "9"}));
  EXPECT_EQ(Dialog.SelectedCells().CellsSource()->GetSelectedCells(),
            (std::vector<vtkIdType>{7, 9}));

  Dialog.ToggleCurrentCell(); // restore 3 at its place
  EXPECT_EQ(Entries(Dialog.SelectedCells().Ids()), (std::vector<vtkIdType>{7, 3, 9}));
  EXPECT_EQ(Windowing.ListBoxes[SelectedCellsList], (Texts{"3", "7", "9"}));
  EXPECT_EQ(Selected(SelectedCellsList), "3");
  EXPECT_EQ(Dialog.SelectedCells().CellsSource()->GetSelectedCells(),
            (std::vector<vtkIdType>{7, 9, 3}));
  // The restored cell is drawn, last, with its own points.
  vtkPolyData* drawn = Drawn(Dialog.SelectedCells().CellsSource());
  ASSERT_EQ(drawn->GetNumberOfCells(), 3);
  vtkNew<vtkIdList> expected, actual;
  Dialog.Model()->GetCellPoints(3, expected);
  drawn->GetCellPoints(2, actual);
  EXPECT_EQ(Entries(actual), Entries(expected));
  EXPECT_EQ(Windowing.RenderCount(), before); // the operations themselves do not render

  Dialog.SetCurrentCell(0, 0);
  Dialog.ToggleCurrentCell();
  Dialog.ToggleCurrentCell();
  EXPECT_EQ(Dialog.SelectedCells().Ids()->GetId(3), -2); // cell 0 withdrawn
}

TEST_F(SelectionTest, TheFiltersHoldExactlyTheActiveEntriesAndDrawTheModelsPointsOnce) {
  Open(MakeGrid(4));
  for (int item : {4, 9, 4, 12, 9, 7, 4}) { // 4 ends active, 9 withdrawn
    Dialog.SetCurrentCell(item, 0);
    Dialog.ToggleCurrentCell();
    Dialog.SetCurrentPoint(item);
    Dialog.ToggleCurrentPoint();
  }
  Dialog.SetCurrentCell(20, 0);
  Dialog.ToggleCurrentCell();
  EXPECT_EQ(Entries(Dialog.SelectedCells().Ids()), (std::vector<vtkIdType>{4, -11, 12, 7, 20}));
  // A restored entry is drawn last, as it was added last.
  EXPECT_EQ(Dialog.SelectedCells().CellsSource()->GetSelectedCells(),
            (std::vector<vtkIdType>{12, 7, 4, 20}));
  // Markers are held under their index in the list.
  EXPECT_EQ(Dialog.SelectedPoints().MarkersSource()->GetMarkerKeys(),
            (std::vector<vtkIdType>{2, 3, 0}));

  // The selected cells share the model's points instead of bringing a copy each.
  vtkPolyData* cells = Drawn(Dialog.SelectedCells().CellsSource());
  EXPECT_EQ(cells->GetPoints(), Dialog.ModelPoints.Get());
  EXPECT_EQ(cells->GetNumberOfCells(), 4);

  Dialog.SetCurrentCell(12, 0);
  Dialog.ToggleCurrentCell();
  EXPECT_EQ(Dialog.SelectedCells().CellsSource()->GetSelectedCells(),
            (std::vector<vtkIdType>{7, 4, 20}));
  EXPECT_EQ(Drawn(Dialog.SelectedCells().CellsSource())->GetNumberOfCells(), 3);
  Dialog.ClearSelectedCells();
  EXPECT_EQ(Dialog.SelectedCells().CellsSource()->GetNumberOfSelectedCells(), 0);
}

TEST_F(SelectionTest, ACellOutsideTheModelIsNeverSelectedOrWalked) {
  Open(MakeGrid(2));
  Dialog.SetCurrentCell(999, 0);
  EXPECT_EQ(Dialog.CurrentCell, 999);
  const int point = Dialog.CurrentPoint;
  Dialog.ToggleCurrentCell();
  Dialog.NextPointInCell();
  Dialog.CrossForwardEdge();
  EXPECT_EQ(Dialog.SelectedCells().Ids()->GetNumberOfIds(), 0);
  EXPECT_EQ(Dialog.CurrentPoint, point);
  EXPECT_EQ(Dialog.CurrentCell, 999);
}

TEST_F(SelectionTest, PointsSortAsTextAndWithdrawingDeletesTheirEntry) {
  Open(MakeGrid(4));
  for (int point : {10, 1}) {
    Dialog.SetCurrentPoint(point);
    Dialog.ToggleCurrentPoint();
  }
  EXPECT_EQ(Windowing.ListBoxes[SelectedPointsList], (Texts{"1", "10"}));
  Dialog.SetCurrentPoint(1);
  Dialog.ToggleCurrentPoint();
  EXPECT_EQ(Windowing.ListBoxes[SelectedPointsList], (Texts{"10"}));
  EXPECT_EQ(Entries(Dialog.SelectedPoints().Ids()), (std::vector<vtkIdType>{10, -3}));
  EXPECT_EQ(Dialog.SelectedPoints().MarkersSource()->GetNumberOfMarkers(), 1);
}

TEST_F(SelectionTest, MarkerJoinsThePointToItsTypedTarget) {
  // How a marker is drawn is the marker source's own test; here, what the command gives it.
  Open(MakeGrid(4));
  SetPointerRadius(0.25f);
  Dialog.SetCurrentPoint(6); // (1, 1, 0)
  TypeTarget(3, 2, 1);
  Dialog.ToggleCurrentPoint();
  EXPECT_EQ(Dialog.SelectedPoints().HighlightedPoint(), 6);
  EXPECT_EQ(Dialog.SelectedPoints().HighlightSource()->GetMarkerKeys(),
            (std::vector<vtkIdType>{0}));
  const auto xyz = [](const float(&v)[3]) { return std::vector<float>(v, v + 3); };
  const PointMarker& marker = Dialog.SelectedPoints().Markers()[0];
  EXPECT_EQ(xyz(marker.Position), (std::vector<float>{1, 1, 0}));
  EXPECT_EQ(xyz(marker.Target), (std::vector<float>{3, 2, 1}));
  EXPECT_EQ(marker.Radius, 0.25f);
  EXPECT_EQ(Drawn(Dialog.SelectedPoints().HighlightSource())->GetNumberOfLines(), 1);

  // Unchanged fields give a zero-length line.
  Dialog.SetCurrentPoint(7);
  Dialog.ToggleCurrentPoint();
  EXPECT_EQ(xyz(Dialog.SelectedPoints().Markers()[1].Target),
            xyz(Dialog.SelectedPoints().Markers()[1].Position));
}

TEST_F(SelectionTest, RestoringReusesTheMarkerUnlessTheTargetChanged) {
  Open(MakeGrid(4));
  Dialog.SetCurrentPoint(3);
  TypeTarget(1, 1, 1);
  Dialog.ToggleCurrentPoint();
  const float firstRadius = Dialog.SelectedPoints().Markers()[0].Radius;
  Dialog.ToggleCurrentPoint(); // withdraw
  EXPECT_EQ(Dialog.SelectedPoints().HighlightSource()->GetNumberOfMarkers(), 0);
  EXPECT_EQ(Dialog.SelectedPoints().HighlightedPoint(), 3); // keeps its value
  SetPointerRadius(0.5f);
  Dialog.ToggleCurrentPoint(); // restore, same target: the old marker, old radius
  EXPECT_EQ(Dialog.SelectedPoints().Markers()[0].Radius, firstRadius);
  EXPECT_EQ(Dialog.SelectedPoints().HighlightSource()->GetMarkerKeys(),
            (std::vector<vtkIdType>{0}));
  double first[3], target[3];
  vtkPolyData* drawn = Drawn(Dialog.SelectedPoints().MarkersSource());
  drawn->GetPoint(0, first);
  drawn->GetPoint(drawn->GetNumberOfPoints() - 1, target);
  EXPECT_NEAR(std::sqrt(vtkMath::Distance2BetweenPoints(first, target)), firstRadius, 1e-6);

  Dialog.ToggleCurrentPoint(); // withdraw
  TypeTarget(2, 1, 1);
  Dialog.ToggleCurrentPoint(); // restore with a new target: a new marker
  EXPECT_EQ(Dialog.SelectedPoints().Markers()[0].Target[0], 2);
  EXPECT_EQ(Dialog.SelectedPoints().Markers()[0].Radius, 0.5f);
  drawn = Drawn(Dialog.SelectedPoints().MarkersSource());
  drawn->GetPoint(drawn->GetNumberOfPoints() - 1, target);
  EXPECT_EQ(target[0], 2);
  EXPECT_EQ(Dialog.SelectedPoints().Ids()->GetNumberOfIds(), 1);
}

TEST_F(SelectionTest, HighlightFollowsTheCurrentSelectedPoint) {
  Open(MakeGrid(4));
  Dialog.SetCurrentPoint(2);
  TypeTarget(5, 5, 5);
  Dialog.ToggleCurrentPoint();
  Dialog.SetCurrentPoint(8);
  TypeTarget(6, 6, 6);
  Dialog.ToggleCurrentPoint();
  EXPECT_EQ(Dialog.SelectedPoints().HighlightedPoint(), 8);
  EXPECT_EQ(Selected(SelectedPointsList), "8");

  Choose(SelectedPointsList, "2");
  EXPECT_EQ(Dialog.SelectedPoints().HighlightedPoint(), 2);
  EXPECT_EQ(Dialog.SelectedPoints().HighlightSource()->GetMarkerKeys(),
            (std::vector<vtkIdType>{0}));
  EXPECT_EQ(Windowing.FieldTexts[TargetXField], "5");

  // A withdrawn point shows its old target when it becomes current, without a highlight.
  Dialog.ToggleCurrentPoint();
  Dialog.SetCurrentPoint(0);
  Dialog.SetCurrentPoint(2);
  EXPECT_EQ(Windowing.FieldTexts[TargetXField], "5");
  EXPECT_EQ(Dialog.SelectedPoints().HighlightSource()->GetNumberOfMarkers(), 0);

  // Withdrawing every point leaves no green actor in the scene.
  Dialog.SetCurrentPoint(8);
  Dialog.ToggleCurrentPoint();
  EXPECT_EQ(Dialog.SelectedPoints().MarkersSource()->GetNumberOfMarkers(), 0);
  EXPECT_FALSE(Dialog.Renderer->HasViewProp(Dialog.PointMarkersActor));

  Dialog.OnClearSelectedPoints();
  EXPECT_EQ(Dialog.SelectedPoints().Ids()->GetNumberOfIds(), 0);
  EXPECT_EQ(Dialog.CurrentPoint, -1);
}

TEST_F(SelectionTest, KeysAreTakenOnlyWithAModelAndArrowsOnlyInTheView) {
  using K = MainDialog::Key;
  EXPECT_FALSE(Dialog.InterceptsKey(K::Space, true));
  EXPECT_FALSE(Dialog.InterceptsKey(K::Left, true));
  Open(MakeGrid(2));
  for (K key : {K::Space, K::W, K::X, K::Y, K::Z})
    EXPECT_TRUE(Dialog.InterceptsKey(key, false));
  for (K key : {K::Left, K::Up, K::Right, K::Down}) {
    EXPECT_TRUE(Dialog.InterceptsKey(key, true));
    EXPECT_FALSE(Dialog.InterceptsKey(key, false));
  }
  EXPECT_FALSE(Dialog.InterceptsKey(K::Other, true));

  Dialog.OnKeyDown(K::Y);
  EXPECT_EQ(Windowing.FocusedControl, TargetYField);
  EXPECT_EQ(Windowing.TextSelectedField, TargetYField);
  Dialog.OnKeyDown(K::W);
  EXPECT_EQ(Windowing.FocusedControl, RenderHostControl);

  const int renders = Windowing.RenderCount();
  Dialog.OnKeyDown(K::Space); // Space alone selects the cell
  EXPECT_EQ(Dialog.SelectedCells().Ids()->GetNumberOfIds(), 1);
  EXPECT_EQ(Dialog.SelectedPoints().Ids()->GetNumberOfIds(), 0);
  Dialog.SetCtrlDown(true);
  Dialog.OnKeyDown(K::Space); // Ctrl+Space the point
  EXPECT_EQ(Dialog.SelectedPoints().Ids()->GetNumberOfIds(), 1);
  EXPECT_EQ(Windowing.RenderCount(), renders + 2); // every key renders
}

// Pixels of the rendered view close to a colour.
int PixelsOf(vtkRenderWindow* window, int r, int g, int b) {
  const int* size = window->GetSize();
  vtkNew<vtkUnsignedCharArray> rgb;
  window->GetPixelData(0, 0, size[0] - 1, size[1] - 1, 0, rgb);
  int count = 0;
  for (vtkIdType i = 0; i < rgb->GetNumberOfTuples(); ++i)
    if (std::abs(rgb->GetValue(3 * i) - r) < 40 && std::abs(rgb->GetValue(3 * i + 1) - g) < 40 &&
        std::abs(rgb->GetValue(3 * i + 2) - b) < 40)
      ++count;
  return count;
}

TEST_F(SelectionTest, SelectedCellsAndMarkersAreDrawnInTheirColours) {
  Open(MakeGrid(4));
  Dialog.Render();
  vtkRenderWindow* window = Dialog.RenderWindow;
  const int cyanBefore = PixelsOf(window, 0, 255, 255);
  const int azureBefore = PixelsOf(window, 0, 128, 255);
  for (int cell : {5, 6, 21}) {
    Dialog.SetCurrentCell(cell, 0);
    Dialog.ToggleCurrentCell();
  }
  // A large marker; the pointing sphere is made small again so it does not hide it.
  const float openedRadius = Dialog.PointerRadius;
  SetPointerRadius(0.3f);
  Dialog.SetCurrentPoint(12); // the middle of the grid
  TypeTarget(2, 2, 0.5f);
  Dialog.ToggleCurrentPoint();
  SetPointerRadius(openedRadius);
  Dialog.Render();
  const int cyan = PixelsOf(window, 0, 255, 255);
  const int azure = PixelsOf(window, 0, 128, 255);
  EXPECT_GT(cyan, cyanBefore + 200) << "selected cells";
  EXPECT_GT(azure, azureBefore + 50) << "the highlighted marker";

  // Withdrawn, they are gone again.
  for (int cell : {5, 6, 21}) {
    Dialog.SetCurrentCell(cell, 0);
    Dialog.ToggleCurrentCell();
  }
  Dialog.SetCurrentPoint(12);
  Dialog.ToggleCurrentPoint();
  Dialog.Render();
  EXPECT_LT(PixelsOf(window, 0, 255, 255), cyan / 4);
  EXPECT_LT(PixelsOf(window, 0, 128, 255), azure / 4);
}

TEST_F(SelectionTest, PickingHitsTheCellUnderThePosition) {
  Open(MakeGrid(4));
  Dialog.Render();
  vtkRenderWindow* window = Dialog.RenderWindow;
  const int height = window->GetSize()[1];
  for (int cell : {0, 13, 31}) {
    SCOPED_TRACE(cell);
    // The display position of the cell's centre.
    vtkNew<vtkIdList> ids;
    Dialog.Model()->GetCellPoints(cell, ids);
    double centre[3] = {0, 0, 0};
    for (vtkIdType i = 0; i < 3; ++i) {
      double p[3];
      Dialog.Model()->GetPoint(ids->GetId(i), p);
      for (int k = 0; k < 3; ++k)
        centre[k] += p[k] / 3;
    }
    Dialog.Renderer->SetWorldPoint(centre[0], centre[1], centre[2], 1);
    Dialog.Renderer->WorldToDisplay();
    const double* display = Dialog.Renderer->GetDisplayPoint();
    Dialog.PickAt(static_cast<int>(std::lround(display[0])),
                  height - static_cast<int>(std::lround(display[1])));
    EXPECT_EQ(Dialog.CurrentCell, cell);
  }
  // Only the model can be hit, and the scene stays as it was; a pick after a screenshot
  // brings it all back. A miss leaves no current cell.
  const std::vector<vtkProp*> scene = PropsOf(Dialog.Renderer);
  Dialog.OnScreenShot();
  Dialog.PickAt(1, 1);
  EXPECT_EQ(PropsOf(Dialog.Renderer), scene);
  EXPECT_EQ(Dialog.CurrentCell, -1);
}

} // namespace
