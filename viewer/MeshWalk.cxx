#include "MainDialog.h"

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

// Point IDs of the current cell when it lies in the model and has points; else false.
bool CurrentCellPoints(MainDialog& dialog, vtkIdList* ids) {
  vtkPolyData* model = dialog.Model();
  if (!model || dialog.CurrentCell < 0 || dialog.CurrentCell >= model->GetNumberOfCells())
    return false;
  model->GetCellPoints(dialog.CurrentCell, ids);
  return ids->GetNumberOfIds() > 0;
}

// Makes the point `step` places after the current one in the current cell current (with the
// current point outside the cell, counting from just past the cell's end).
void StepInCell(MainDialog& dialog, vtkIdType step) {
  vtkNew<vtkIdList> ids;
  if (!CurrentCellPoints(dialog, ids))
    return;
  const vtkIdType n = ids->GetNumberOfIds();
  const vtkIdType j = PositionIn(ids, dialog.CurrentPoint);
  dialog.SetCurrentPoint(static_cast<int>(ids->GetId((n + j + step) % n)));
}

} // namespace

void MainDialog::NextPointInCell() {
  StepInCell(*this, 1);
}

void MainDialog::PreviousPointInCell() {
  StepInCell(*this, -1);
}

namespace {

// Crosses the edge after (forward) or before (backward) the current point into the
// neighbouring cell; the current point stays the same point.
void CrossEdge(MainDialog& dialog, bool forward) {
  vtkPolyData* model = dialog.Model();
  vtkNew<vtkIdList> ids;
  if (!CurrentCellPoints(dialog, ids) || dialog.CurrentPoint < 0 ||
      dialog.CurrentPoint >= model->GetNumberOfPoints())
    return;
  const vtkIdType n = ids->GetNumberOfIds();
  vtkIdType target = dialog.CurrentCell;
  vtkNew<vtkIdList> neighbors;
  for (vtkIdType step = 0; step < n; ++step) {
    const vtkIdType i = forward ? step : step + 1;
    if (ids->GetId(i % n) != dialog.CurrentPoint)
      continue;
    const vtkIdType from = forward ? ids->GetId(i) : ids->GetId(i - 1);
    const vtkIdType to = forward ? ids->GetId((i + 1) % n) : ids->GetId(i % n);
    model->GetCellEdgeNeighbors(dialog.CurrentCell, from, to, neighbors);
    if (neighbors->GetNumberOfIds() > 0) {
      target = neighbors->GetId(0);
      break;
    }
  }
  vtkNew<vtkIdList> targetIds;
  model->GetCellPoints(target, targetIds);
  dialog.SetCurrentCell(static_cast<int>(target),
                        static_cast<int>(PositionIn(targetIds, dialog.CurrentPoint)));
}

} // namespace

void MainDialog::CrossForwardEdge() {
  CrossEdge(*this, true);
}

void MainDialog::CrossBackwardEdge() {
  CrossEdge(*this, false);
}

} // namespace selvane
