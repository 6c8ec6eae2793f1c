#include "Inspection.h"

#include "ControlIds.h"
#include "ModelScene.h"
#include "WindowingLayer.h"

#include <vtkCellPicker.h>

#include <string>

namespace selvane {

Inspection::Inspection(WindowingLayer& windowing, ModelScene& scene, SelectionList& points)
    : Windowing(windowing), Scene(scene), Points(points) {
  CellPicker = vtkSmartPointer<vtkCellPicker>::New();
}

void Inspection::ForgetCurrentCell() {
  for (int list : {CellPointsList, CellNeighborsList}) {
    Windowing.SelectListBoxEntry(list, -1);
    Windowing.ClearListBox(list);
  }
  CurrentCell = -1;
}

void Inspection::ReadFields() {
  Windowing.ReadCoordinateFields(TargetPosition, CurrentPosition);
}

void Inspection::ShowTarget(const float target[3]) {
  for (int k = 0; k < 3; ++k)
    TargetPosition[k] = target[k];
  Windowing.WriteCoordinateFields(TargetPosition, CurrentPosition);
}

PointMarker Inspection::BuildPointMarker() const {
  PointMarker marker;
  for (int k = 0; k < 3; ++k) {
    marker.Position[k] = CurrentPosition[k];
    marker.Target[k] = TargetPosition[k];
  }
  marker.Radius = Scene.State().PointerRadius;
  return marker;
}

UndoStep::Current Inspection::Now() const {
  UndoStep::Current current;
  current.Cell = CurrentCell;
  current.Point = CurrentPoint;
  for (int k = 0; k < 3; ++k) {
    current.Target[k] = TargetPosition[k];
    current.Position[k] = CurrentPosition[k];
  }
  return current;
}

void Inspection::Return(const UndoStep::Current& current) {
  const int cell = current.Cell, point = current.Point;
  if (!Scene.Model())
    return;
  if (cell != CurrentCell) {
    if (cell >= 0)
      SetCurrentCell(cell, 0);
    else
      ForgetCurrentCell(); // as the clear of the selected cells left it
  }
  RemoveHighlightIfActive();
  CurrentPoint = -1;
  if (point >= 0) {
    SetCurrentPoint(point); // with its highlight, fields and list-box entries
  } else {
    // No point is current: the fields show what they showed.
    for (int k = 0; k < 3; ++k) {
      TargetPosition[k] = current.Target[k];
      CurrentPosition[k] = current.Position[k];
    }
    Windowing.WriteCoordinateFields(TargetPosition, CurrentPosition);
    Windowing.SelectListBoxEntry(SelectedPointsList, -1);
  }
  Windowing.SelectListBoxEntry(
      SelectedCellsList, Windowing.FindListBoxText(SelectedCellsList, std::to_string(CurrentCell)));
}

} // namespace selvane
