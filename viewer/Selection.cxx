#include "MainDialog.h"

#include "ControlIds.h"

#include <vtkAppendPolyData.h>
#include <vtkCellArray.h>
#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataCollection.h>
#include <vtkSphereSource.h>

#include <string>

namespace selvane {

namespace {

// A withdrawn entry keeps its place in the list as -2 - id.
constexpr vtkIdType Withdrawn(vtkIdType id) {
  return -2 - id;
}

vtkPolyData* ItemAt(vtkPolyDataCollection* collection, vtkIdType index) {
  return vtkPolyData::SafeDownCast(collection->GetItemAsObject(static_cast<int>(index)));
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
    SelectedCellsAppend->AddInputData(ItemAt(SelectedCellPolys, i));
    RefreshScene();
    Windowing.AddListBoxText(SelectedCellsList, text);
    Windowing.SelectListBoxEntry(SelectedCellsList,
                                 Windowing.FindListBoxText(SelectedCellsList, text));
  } else if (i >= 0) {
    SelectedCellIds->SetId(i, Withdrawn(c));
    SelectedCellsAppend->RemoveInputData(ItemAt(SelectedCellPolys, i));
    RefreshScene();
    Windowing.DeleteListBoxEntry(SelectedCellsList,
                                 Windowing.FindListBoxText(SelectedCellsList, text));
  } else {
    SelectedCellIndex[c] = SelectedCellIds->GetNumberOfIds();
    SelectedCellIds->InsertNextId(c);
    vtkNew<vtkIdList> ids;
    model->GetCellPoints(c, ids);
    vtkNew<vtkPolyData> cell;
    cell->SetPoints(ModelPoints);
    cell->AllocateExact(1, ids->GetNumberOfIds());
    cell->InsertNextCell(model->GetCellType(c), ids);
    SelectedCellPolys->AddItem(cell);
    SelectedCellsAppend->AddInputData(cell);
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
    HighlightAppend->RemoveInputData(ItemAt(PointMarkers, old));
  }
  HighlightedPoint = point;
  HighlightAppend->AddInputData(ItemAt(PointMarkers, index));
}

void MainDialog::ToggleCurrentPoint() {
  if (ReadTargetFromFields)
    Windowing.ReadCoordinateFields(TargetPosition, CurrentPosition);
  const int p = CurrentPoint;
  if (p < 0)
    return;
  const vtkIdType i = FindSelectedPoint(p);
  if (i >= 0 && SelectedPointIds->GetId(i) == Withdrawn(p)) {
    vtkPolyData* marker = ItemAt(PointMarkers, i);
    double last[3];
    marker->GetPoints()->GetPoint(marker->GetNumberOfPoints() - 1, last);
    if (static_cast<float>(last[0]) != TargetPosition[0] ||
        static_cast<float>(last[1]) != TargetPosition[1] ||
        static_cast<float>(last[2]) != TargetPosition[2])
      PointMarkers->ReplaceItem(static_cast<int>(i), BuildPointMarker());
    SelectedPointIds->SetId(i, p);
    PointMarkersAppend->AddInputData(ItemAt(PointMarkers, i));
    MoveHighlightTo(i, p);
    RefreshScene();
  } else if (i >= 0) {
    SelectedPointIds->SetId(i, Withdrawn(p));
    PointMarkersAppend->RemoveInputData(ItemAt(PointMarkers, i));
    HighlightAppend->RemoveInputData(ItemAt(PointMarkers, i));
    RefreshScene();
  } else {
    const vtkIdType index = SelectedPointIds->GetNumberOfIds();
    SelectedPointIndex[p] = index;
    SelectedPointIds->InsertNextId(p);
    auto marker = BuildPointMarker();
    PointMarkers->AddItem(marker);
    PointMarkersAppend->AddInputData(marker);
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
  vtkNew<vtkSphereSource> sphere;
  sphere->SetRadius(PointerRadius);
  sphere->SetCenter(TargetPosition[0], TargetPosition[1], TargetPosition[2]);
  sphere->Update();
  auto marker = vtkSmartPointer<vtkPolyData>::New();
  marker->DeepCopy(sphere->GetOutput());
  vtkPoints* points = marker->GetPoints();
  points->InsertNextPoint(CurrentPosition[0], CurrentPosition[1], CurrentPosition[2]);
  points->InsertNextPoint(TargetPosition[0], TargetPosition[1], TargetPosition[2]);
  const vtkIdType n = points->GetNumberOfPoints();
  const vtkIdType line[2] = {n - 2, n - 1};
  vtkNew<vtkCellArray> lines;
  lines->InsertNextCell(2, line);
  marker->SetLines(lines);
  return marker;
}

void MainDialog::OnClearSelectedPoints() {
  ClearSelectedPoints();
  Render();
}

} // namespace selvane
