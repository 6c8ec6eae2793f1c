#include "Inspection.h"

#include "ControlIds.h"
#include "ModelScene.h"
#include "WindowingLayer.h"

#include <string>

namespace selvane {

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
