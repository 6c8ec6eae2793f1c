#pragma once

#include "PointMarker.h"
#include "UndoStack.h"

#include <vtkSmartPointer.h>

class vtkCellLocator;
class vtkCellPicker;

namespace selvane {

class ModelScene;
class SelectionList;
class WindowingLayer;

// What the inspection holds, readable by everyone (MainDialog shows it under its familiar
// names); only Inspection's operations change it.
struct InspectionState {
  int CurrentCell = -1;
  int CurrentPoint = -1;
  // The target and position the coordinate fields show for the current point.
  float TargetPosition[3] = {0, 0, 0};
  float CurrentPosition[3] = {0, 0, 0};
  vtkSmartPointer<vtkCellPicker> CellPicker;
  // Spatial index of the geometry as drawn, so a pick does not test every cell.
  vtkSmartPointer<vtkCellLocator> PickLocator;
  // Whether Ctrl is held: Space then selects the point instead of the cell.
  int CtrlDown = 0;
};

// Walking the model: the current cell and point, shown by the scene's pointing sphere and cell
// outline, by the highlighted marker of a selected current point, by the coordinate fields and
// by the list boxes of the cell's points and neighbours and the point's cells; picking in the
// view, stepping through a cell's points and across its edges.
class Inspection : private InspectionState {
public:
  Inspection(WindowingLayer& windowing, ModelScene& scene, SelectionList& points);
  Inspection(const Inspection&) = delete;
  Inspection& operator=(const Inspection&) = delete;

  const InspectionState& State() const { return *this; }

  void SetCurrentPoint(int point);
  void SetCurrentCell(int cell, int position);
  void PickAt(int x, int y);
  // PickAt without its closing render.
  void PickCellAt(int x, int y);
  void NextPointInCell();
  void PreviousPointInCell();
  void CrossForwardEdge();
  void CrossBackwardEdge();
  // A user's choice in one of the five list boxes.
  void OnListBoxSelection(int list);

  // No cell is current any more: its points and neighbours leave their list boxes.
  void ForgetCurrentCell();
  // No point is current any more (the fields keep what they show).
  void ForgetCurrentPoint() { CurrentPoint = -1; }
  // Removes the highlighted marker when it is on a selected point, redrawing the scene.
  void RemoveHighlightIfActive();
  // Takes what the user typed in the coordinate fields.
  void ReadFields();
  // The current point's new target, shown in the fields.
  void ShowTarget(const float target[3]);
  // The marker of the current point with the current target and pointer radius.
  PointMarker BuildPointMarker() const;

  // The current cell and point with what the fields show, for an undo step, and back.
  UndoStep::Current Now() const;
  void Return(const UndoStep::Current& current);

  void SetCtrlDown(bool down) { CtrlDown = down ? 1 : 0; }
  bool IsCtrlDown() const { return CtrlDown != 0; }

private:
  void StepInCell(int step);
  void CrossEdge(bool forward);
  void UpdatePickLocator();

  WindowingLayer& Windowing;
  ModelScene& Scene;
  SelectionList& Points;
};

} // namespace selvane
