#include "Inspection.h"

#include "ModelScene.h"

#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPolyData.h>

namespace selvane {

namespace {

// Position of point among ids, or the number of ids when it is not there.
vtkIdType PositionIn(vtkIdList* ids, vtkIdType point) {
  const vtkIdType n = ids->GetNumberOfIds();
  for (vtkIdType i = 0; i < n; ++i)
    if (ids->GetId(i) == point)
      return i;
  return n;
}

// Point IDs of cell when it lies in the model and has points; else false.
bool CellPoints(vtkPolyData* model, int cell, vtkIdList* ids) {
  if (!model || cell < 0 || cell >= model->GetNumberOfCells())
    return false;
  model->GetCellPoints(cell, ids);
  return ids->GetNumberOfIds() > 0;
}

} // namespace

// Makes the point `step` places after the current one in the current cell current (with the
// current point outside the cell, counting from just past the cell's end).
void Inspection::StepInCell(int step) {
  vtkNew<vtkIdList> ids;
  if (!CellPoints(Scene.Model(), CurrentCell, ids))
    return;
  const vtkIdType n = ids->GetNumberOfIds();
  const vtkIdType j = PositionIn(ids, CurrentPoint);
  SetCurrentPoint(static_cast<int>(ids->GetId((n + j + step) % n)));
}

void Inspection::NextPointInCell() {
  StepInCell(1);
}

void Inspection::PreviousPointInCell() {
  StepInCell(-1);
}

// Crosses the edge after (forward) or before (backward) the current point into the
// neighbouring cell; the current point stays the same point.
void Inspection::CrossEdge(bool forward) {
  vtkPolyData* model = Scene.Model();
  vtkNew<vtkIdList> ids;
  if (!CellPoints(model, CurrentCell, ids) || CurrentPoint < 0 ||
      CurrentPoint >= model->GetNumberOfPoints())
    return;
  const vtkIdType n = ids->GetNumberOfIds();
  vtkIdType target = CurrentCell;
  vtkNew<vtkIdList> neighbors;
  for (vtkIdType step = 0; step < n; ++step) {
    const vtkIdType i = forward ? step : step + 1;
    if (ids->GetId(i % n) != CurrentPoint)
      continue;
    const vtkIdType from = forward ? ids->GetId(i) : ids->GetId(i - 1);
    const vtkIdType to = forward ? ids->GetId((i + 1) % n) : ids->GetId(i % n);
    model->GetCellEdgeNeighbors(CurrentCell, from, to, neighbors);
    if (neighbors->GetNumberOfIds() > 0) {
      target = neighbors->GetId(0);
      break;
    }
  }
  vtkNew<vtkIdList> targetIds;
  model->GetCellPoints(target, targetIds);
  SetCurrentCell(static_cast<int>(target), static_cast<int>(PositionIn(targetIds, CurrentPoint)));
}

void Inspection::CrossForwardEdge() {
  CrossEdge(true);
}

void Inspection::CrossBackwardEdge() {
  CrossEdge(false);
}

} // namespace selvane
