#include "MainDialog.h"

#include "SelectionFiles.h"

#include "ControlIds.h"
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

#include <vtkIdList.h>
#include <vtkPolyData.h>

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
  ++CellSelectionChanges;
  if (i >= 0 && SelectedCellIds->GetId(i) == c) {
    SelectedCellIds->SetId(i, Withdrawn(c));
    SelectedCellsAppend->RemoveCell(c);
    RefreshScene();
    Windowing.DeleteListBoxEntry(SelectedCellsList,
                                 Windowing.FindListBoxText(SelectedCellsList, text));
    return;
  }
  if (i >= 0) {
    SelectedCellIds->SetId(i, c); // restored in its place
  } else {
    SelectedCellIndex[c] = SelectedCellIds->GetNumberOfIds();
    SelectedCellIds->InsertNextId(c);
  }
  SelectedCellsAppend->AddCell(c);
  RefreshScene();
  Windowing.AddListBoxText(SelectedCellsList, text);
  Windowing.SelectListBoxEntry(SelectedCellsList,
                               Windowing.FindListBoxText(SelectedCellsList, text));
}

void MainDialog::MoveHighlightTo(vtkIdType index, int point) {
  const vtkIdType old = FindSelectedPoint(HighlightedPoint);
  if (old >= 0 && SelectedPointIds->GetId(old) == HighlightedPoint) {
    HighlightedPoint = -1;
    HighlightAppend->RemoveMarker(old);
  }
  HighlightedPoint = point;
  HighlightAppend->AddMarker(index, PointMarkers[index]);
}

void MainDialog::ToggleCurrentPoint() {
  if (ReadTargetFromFields)
    Windowing.ReadCoordinateFields(TargetPosition, CurrentPosition);
  const int p = CurrentPoint;
  if (p < 0)
    return;
  ++PointSelectionChanges;
  const vtkIdType i = FindSelectedPoint(p);
  if (i >= 0 && SelectedPointIds->GetId(i) == Withdrawn(p)) {
    // The old marker comes back unless the target changed meanwhile.
    const float* target = PointMarkers[i].Target;
    if (target[0] != TargetPosition[0] || target[1] != TargetPosition[1] ||
        target[2] != TargetPosition[2])
      PointMarkers[i] = BuildPointMarker();
    SelectedPointIds->SetId(i, p);
    PointMarkersAppend->AddMarker(i, PointMarkers[i]);
    MoveHighlightTo(i, p);
    RefreshScene();
  } else if (i >= 0) {
    SelectedPointIds->SetId(i, Withdrawn(p));
    PointMarkersAppend->RemoveMarker(i);
    HighlightAppend->RemoveMarker(i);
    RefreshScene();
  } else {
    const vtkIdType index = SelectedPointIds->GetNumberOfIds();
    SelectedPointIndex[p] = index;
    SelectedPointIds->InsertNextId(p);
    PointMarkers.push_back(BuildPointMarker());
    PointMarkersAppend->AddMarker(index, PointMarkers.back());
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

PointMarker MainDialog::BuildPointMarker() const {
  PointMarker marker;
  for (int k = 0; k < 3; ++k) {
    marker.Position[k] = CurrentPosition[k];
    marker.Target[k] = TargetPosition[k];
  }
  marker.Radius = PointerRadius;
  return marker;
}

void MainDialog::OnClearSelectedPoints() {
  ClearSelectedPoints();
  Render();
}

bool MainDialog::FormatSelectedPointTransformations(std::string& text) const {
  std::vector<formats::Point3> targets;
  targets.reserve(PointMarkers.size());
  for (const PointMarker& marker : PointMarkers)
    targets.push_back({marker.Target[0], marker.Target[1], marker.Target[2]});
  return formats::FormatPointTransformationsFile(text, formats::EntriesOf(SelectedPointIds),
                                                 targets, ModelPoints);
}

} // namespace selvane
