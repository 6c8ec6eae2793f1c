#include "Inspection.h"

#include "ControlIds.h"
#include "ModelScene.h"
#include "SelectionList.h"
#include "WindowingLayer.h"

#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <string>

namespace selvane {

namespace {

// The target stored with a selected point, which its marker is drawn to.
void ReadMarkerTarget(const PointMarker& marker, float target[3]) {
  for (int i = 0; i < 3; ++i)
    target[i] = marker.Target[i];
}

void FillListBox(WindowingLayer& windowing, int list, vtkIdList* ids) {
  windowing.ClearListBox(list);
  for (vtkIdType i = 0; i < ids->GetNumberOfIds(); ++i)
    windowing.AddListBoxText(list, std::to_string(ids->GetId(i)));
}

void SelectListBoxText(WindowingLayer& windowing, int list, int id) {
  windowing.SelectListBoxEntry(list, windowing.FindListBoxText(list, std::to_string(id)));
}

} // namespace

void Inspection::SetCurrentPoint(int p) {
  vtkPolyData* model = Scene.Model();
  if (!model || p == CurrentPoint || p < 0 || p >= model->GetNumberOfPoints())
    return;
  RemoveHighlightIfActive();

  CurrentPoint = p;
  double position[3];
  Scene.State().ModelPoints->GetPoint(p, position);
  Scene.PointAt(position);
  for (int i = 0; i < 3; ++i)
    CurrentPosition[i] = static_cast<float>(position[i]);

  const vtkIdType index = Points.Find(p);
  if (index >= 0 && Points.Entry(index) == p) {
    Points.MoveHighlightTo(p);
    Scene.RefreshScene();
    ReadMarkerTarget(Points.Markers()[index], TargetPosition);
  } else if (index >= 0) {
    // A withdrawn point shows its old target again, without the highlight.
    ReadMarkerTarget(Points.Markers()[index], TargetPosition);
  } else {
    for (int i = 0; i < 3; ++i)
      TargetPosition[i] = CurrentPosition[i];
  }
  Windowing.WriteCoordinateFields(TargetPosition, CurrentPosition);

  SelectListBoxText(Windowing, CellPointsList, p);
  vtkNew<vtkIdList> cells;
  model->GetPointCells(p, cells);
  FillListBox(Windowing, PointCellsList, cells);
  SelectListBoxText(Windowing, SelectedPointsList, Points.HighlightedPoint());
}

void Inspection::SetCurrentCell(int c, int k) {
  vtkPolyData* model = Scene.Model();
  if (c == CurrentCell)
    return;
  const bool inModel = model && c >= 0 && c < model->GetNumberOfCells();
  // A cell without points has no point to make current.
  if (inModel) {
    vtkIdType size = 0;
    const vtkIdType* points = nullptr;
    model->GetCellPoints(c, size, points);
    if (size == 0)
      return;
  }
  CurrentCell = c;
  if (!inModel)
    return;

  vtkNew<vtkIdList> ids;
  model->GetCellPoints(c, ids);
  const int type = model->GetCellType(c);
  Scene.OutlineCell(type, ids);

  SelectListBoxText(Windowing, SelectedCellsList, c);

  vtkNew<vtkIdList> neighbors;
  model->GetCellNeighbors(c, ids, neighbors);
  FillListBox(Windowing, CellNeighborsList, neighbors);
  FillListBox(Windowing, CellPointsList, ids);

  const vtkIdType n = ids->GetNumberOfIds();
  SetCurrentPoint(static_cast<int>(ids->GetId(k % n)));
}

void Inspection::RemoveHighlightIfActive() {
  if (Points.RemoveHighlightIfActive())
    Scene.RefreshScene();
}

void Inspection::OnListBoxSelection(int list) {
  const std::string text = Windowing.SelectedListBoxText(list);
  if (text.empty())
    return;
  const int id = std::atoi(text.c_str());
  switch (list) {
  case SelectedCellsList:
  case CellNeighborsList:
  case PointCellsList:
    SetCurrentCell(id, 0);
    break;
  case CellPointsList:
  case SelectedPointsList:
    SetCurrentPoint(id);
    break;
  default:
    return;
  }
  Scene.Render();
}

} // namespace selvane
