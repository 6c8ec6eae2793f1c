#include "MainDialog.h"

#include "ControlIds.h"
#include "vtkAppendHeldPolyData.h"

#include <vtkCellArray.h>
#include <vtkCellType.h>
#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSphereSource.h>

#include <string>

namespace selvane {

namespace {

// A withdrawn entry keeps its place in the list as -2 - id.
constexpr vtkIdType Withdrawn(vtkIdType id) {
  return -2 - id;
}

vtkIdType Find(const std::unordered_map<int, vtkIdType>& index, int id) {
  auto found = index.find(id);
  return found == index.end() ? -1 : found->second;
}

} // namespace

vtkIdType MainDialog::FindSelectedCell(int cell) const {
  return Find(SelectedCellIndex, cell);
}

vtkIdType MainDialog::FindSelectedPoint(int point) const {
  return Find(SelectedPointIndex, point);
}

void MainDialog::ToggleCurrentCell() {
  const int c = CurrentCell;
  vtkPolyData* model = Model();
  // CurrentCell keeps a missed pick's ID; a cell outside the model is never selected.
  if (c < 0 || !model || c >= model->GetNumberOfCells())
    return;
  const std::string text = std::to_string(c);
  const vtkIdType i = FindSelectedCell(c);
  if (i >= 0 && SelectedCellIds->GetId(i) == Withdrawn(c)) {
    SelectedCellIds->SetId(i, c);
    SelectedCellsAppend->AddPolyData(SelectedCellPolys[i]);
    RefreshScene();
    Windowing.AddListBoxText(SelectedCellsList, text);
    Windowing.SelectListBoxEntry(SelectedCellsList,
                                 Windowing.FindListBoxText(SelectedCellsList, text));
  } else if (i >= 0) {
    SelectedCellIds->SetId(i, Withdrawn(c));
    SelectedCellsAppend->RemovePolyData(SelectedCellPolys[i]);
    RefreshScene();
    Windowing.DeleteListBoxEntry(SelectedCellsList,
                                 Windowing.FindListBoxText(SelectedCellsList, text));
  } else {
    SelectedCellIndex[c] = SelectedCellIds->GetNumberOfIds();
    SelectedCellIds->InsertNextId(c);
    vtkNew<vtkIdList> ids;
    model->GetCellPoints(c, ids);
    auto cell = vtkSmartPointer<vtkPolyData>::New();
    cell->SetPoints(ModelPoints);
    // Only the one cell array the cell needs: most of a toggle's cost is allocation.
    vtkNew<vtkCellArray> cells;
    cells->InsertNextCell(ids);
    switch (model->GetCellType(c)) {
    case VTK_VERTEX:
    case VTK_POLY_VERTEX:
      cell->SetVerts(cells);
      break;
    case VTK_LINE:
    case VTK_POLY_LINE:
      cell->SetLines(cells);
      break;
    case VTK_TRIANGLE_STRIP:
      cell->SetStrips(cells);
      break;
    default:
      cell->SetPolys(cells);
      break;
    }
    SelectedCellPolys.push_back(std::move(cell));
    SelectedCellsAppend->AddPolyData(SelectedCellPolys.back());
    RefreshScene();
    Windowing.AddListBoxText(SelectedCellsList, text);
    Windowing.SelectListBoxEntry(SelectedCellsList,
                                 Windowing.FindListBoxText(SelectedCellsList, text));
  }
}

void MainDialog::MoveHighlightTo(vtkIdType index, int point) {
  const vtkIdType old = FindSelectedPoint(HighlightedPoint);
  if (old >= 0 && SelectedPointIds->GetId(old) == HighlightedPoint) {
    HighlightedPoint = -1;
    HighlightAppend->RemovePolyData(PointMarkers[old]);
  }
  HighlightedPoint = point;
  HighlightAppend->AddPolyData(PointMarkers[index]);
}

void MainDialog::ToggleCurrentPoint() {
  if (ReadTargetFromFields)
    Windowing.ReadCoordinateFields(TargetPosition, CurrentPosition);
  const int p = CurrentPoint;
  if (p < 0)
    return;
  const vtkIdType i = FindSelectedPoint(p);
  if (i >= 0 && SelectedPointIds->GetId(i) == Withdrawn(p)) {
    vtkPolyData* marker = PointMarkers[i];
    double last[3];
    marker->GetPoints()->GetPoint(marker->GetNumberOfPoints() - 1, last);
    if (static_cast<float>(last[0]) != TargetPosition[0] ||
        static_cast<float>(last[1]) != TargetPosition[1] ||
        static_cast<float>(last[2]) != TargetPosition[2])
      PointMarkers[i] = BuildPointMarker();
    SelectedPointIds->SetId(i, p);
    PointMarkersAppend->AddPolyData(PointMarkers[i]);
    MoveHighlightTo(i, p);
    RefreshScene();
  } else if (i >= 0) {
    SelectedPointIds->SetId(i, Withdrawn(p));
    PointMarkersAppend->RemovePolyData(PointMarkers[i]);
    HighlightAppend->RemovePolyData(PointMarkers[i]);
    RefreshScene();
  } else {
    const vtkIdType index = SelectedPointIds->GetNumberOfIds();
    SelectedPointIndex[p] = index;
    SelectedPointIds->InsertNextId(p);
    PointMarkers.push_back(BuildPointMarker());
    PointMarkersAppend->AddPolyData(PointMarkers.back());
    MoveHighlightTo(index, p);
    RefreshScene();
  }
  const std::string text = std::to_string(p);
  const int entry = Windowing.FindListBoxText(SelectedPointsList, text);
  if (entry >= 0) {
    Windowing.DeleteListBoxEntry(SelectedPointsList, entry);
  } else {
    Windowing.AddListBoxText(SelectedPointsList, text);
    Windowing.SelectListBoxEntry(SelectedPointsList,
                                 Windowing.FindListBoxText(SelectedPointsList, text));
  }
}

vtkSmartPointer<vtkPolyData> MainDialog::BuildPointMarker() {
  if (!MarkerSphere || MarkerSphereRadius != PointerRadius) {
    vtkNew<vtkSphereSource> sphere;
    sphere->SetRadius(PointerRadius);
    sphere->SetCenter(0, 0, 0);
    sphere->SetOutputPointsPrecision(vtkAlgorithm::DOUBLE_PRECISION);
    sphere->Update();
    MarkerSphere = sphere->GetOutput();
    MarkerSphereRadius = PointerRadius;
    const vtkIdType n = MarkerSphere->GetNumberOfPoints();
    const vtkIdType line[2] = {n, n + 1};
    MarkerLine = vtkSmartPointer<vtkCellArray>::New();
    MarkerLine->InsertNextCell(2, line);
  }
  vtkPoints* spherePoints = MarkerSphere->GetPoints();
  const vtkIdType n = spherePoints->GetNumberOfPoints();
  vtkNew<vtkPoints> points;
  points->SetNumberOfPoints(n + 2);
  for (vtkIdType i = 0; i < n; ++i) {
    double p[3];
    spherePoints->GetPoint(i, p);
    points->SetPoint(i, TargetPosition[0] + p[0], TargetPosition[1] + p[1],
                     TargetPosition[2] + p[2]);
  }
  // The point itself, then its target: the marker's last point is the target.
  points->SetPoint(n, CurrentPosition[0], CurrentPosition[1], CurrentPosition[2]);
  points->SetPoint(n + 1, TargetPosition[0], TargetPosition[1], TargetPosition[2]);

  auto marker = vtkSmartPointer<vtkPolyData>::New();
  marker->SetPoints(points);
  // Every marker of one radius has the same triangles and line; they are shared, not copied.
  marker->SetPolys(MarkerSphere->GetPolys());
  marker->SetLines(MarkerLine);
  // Normals for every point, the line's two included, so appended markers stay consistent.
  if (vtkDataArray* sphereNormals = MarkerSphere->GetPointData()->GetNormals()) {
    vtkNew<vtkFloatArray> normals;
    normals->SetNumberOfComponents(3);
    normals->SetNumberOfTuples(n + 2);
    for (vtkIdType i = 0; i < n; ++i)
      normals->SetTuple(i, sphereNormals->GetTuple(i));
    const float up[3] = {0, 0, 1};
    normals->SetTypedTuple(n, up);
    normals->SetTypedTuple(n + 1, up);
    normals->SetName(sphereNormals->GetName());
    marker->GetPointData()->SetNormals(normals);
  }
  return marker;
}

void MainDialog::OnClearSelectedPoints() {
  ClearSelectedPoints();
  Render();
}

} // namespace selvane
