#include "MainDialog.h"

#include "SelectionFiles.h"

#include "ControlIds.h"

#include <vtkIdList.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <string>

namespace selvane {

vtkIdType MainDialog::FindSelectedCell(int cell) const {
  return Cells.Find(cell);
}

vtkIdType MainDialog::FindSelectedPoint(int point) const {
  return Points.Find(point);
}

void MainDialog::ToggleCurrentCell() {
  const int c = CurrentCell;
  vtkPolyData* model = Model();
  // CurrentCell keeps a missed pick's ID; a cell outside the model is never selected.
  if (c < 0 || !model || c >= model->GetNumberOfCells())
    return;
  BeginStep("Select cell");
  Cells.CountChange();
  if (Cells.IsActive(c))
    Cells.Withdraw(c);
  else if (Cells.IsWithdrawn(c))
    Cells.Restore(c); // in its place
  else
    Cells.Select(c);
  RefreshScene();
  EndStep();
}

void MainDialog::ToggleCurrentPoint() {
  Walk.ReadFields();
  const int p = CurrentPoint;
  if (p < 0)
    return;
  BeginStep("Select point");
  Points.CountChange();
  const vtkIdType i = Points.Find(p);
  if (i >= 0 && Points.Entry(i) != p) {
    // The old marker comes back unless the target changed meanwhile.
    const float* target = Points.Markers()[i].Target;
    if (target[0] != TargetPosition[0] || target[1] != TargetPosition[1] ||
        target[2] != TargetPosition[2])
      Points.SetMarker(p, BuildPointMarker());
    else
      Points.Restore(p);
    Points.MoveHighlightTo(p);
  } else if (i >= 0) {
    Points.Withdraw(p);
  } else {
    Points.Select(p, BuildPointMarker());
    Points.MoveHighlightTo(p);
  }
  RefreshScene();
  EndStep();
}

void MainDialog::OnClearSelectedPoints() {
  ClearSelectedPoints();
  Render();
}

void MainDialog::ReplaceSelectedCells(const std::vector<vtkIdType>& ids,
                                      const std::string& stepName) {
  BeginStep(stepName);
  Cells.CountChange();
  Walk.ForgetCurrentCell();
  Cells.Replace(ids);
  SetCurrentCell(0, 0);
  // The emptied or filled selection is drawn or left out from now on.
  RefreshScene();
  EndStep();
}

void MainDialog::ReplaceSelectedPoints(const std::vector<vtkIdType>& ids,
                                       const std::vector<std::array<float, 3>>& targets,
                                       const std::string& stepName) {
  if (!ModelPoints)
    return;
  std::vector<PointMarker> markers(ids.size());
  const vtkIdType count = ModelPoints->GetNumberOfPoints();
  for (std::size_t k = 0; k < ids.size(); ++k) {
    if (ids[k] < 0 || ids[k] >= count)
      continue;
    double position[3];
    ModelPoints->GetPoint(ids[k], position);
    PointMarker& marker = markers[k];
    for (int axis = 0; axis < 3; ++axis) {
      marker.Position[axis] = static_cast<float>(position[axis]);
      marker.Target[axis] = targets.empty() ? marker.Position[axis] : targets[k][axis];
    }
    marker.Radius = PointerRadius;
  }
  BeginStep(stepName);
  Points.CountChange();
  Points.Replace(ids, markers);
  Walk.RemoveHighlightIfActive();
  Walk.ForgetCurrentPoint();
  // The last point of the list becomes current, as the last selection of a user does.
  if (!ids.empty())
    SetCurrentPoint(static_cast<int>(ids.back()));
  SetCurrentCell(0, 0);
  RefreshScene();
  EndStep();
}

void MainDialog::SetSelectedPointTarget(int point, const float target[3]) {
  if (Points.Find(point) < 0 || !ModelPoints || point >= ModelPoints->GetNumberOfPoints())
    return;
  double position[3];
  ModelPoints->GetPoint(point, position);
  PointMarker marker;
  for (int k = 0; k < 3; ++k) {
    marker.Position[k] = static_cast<float>(position[k]);
    marker.Target[k] = target[k];
  }
  marker.Radius = PointerRadius;
  BeginStep("Edit target");
  Points.CountChange();
  Points.SetMarker(point, marker);
  if (point == CurrentPoint) {
    Walk.ShowTarget(target);
    Points.MoveHighlightTo(point);
  }
  ChooseHighlightedPointEntry();
  RefreshScene();
  EndStep();
}

void MainDialog::WithdrawSelectedPoint(int point) {
  if (!Points.IsActive(point))
    return;
  BeginStep("Withdraw point");
  Points.CountChange();
  Points.Withdraw(point);
  RefreshScene();
  EndStep();
}

void MainDialog::RestoreSelectedPoint(int point) {
  if (!Points.IsWithdrawn(point))
    return;
  BeginStep("Restore point");
  Points.CountChange();
  Points.Restore(point);
  if (point == CurrentPoint)
    Points.MoveHighlightTo(point);
  ChooseHighlightedPointEntry();
  RefreshScene();
  EndStep();
}

void MainDialog::ChooseHighlightedPointEntry() {
  // The list box shows the current point's entry chosen, whichever entry a change redrew.
  Windowing.SelectListBoxEntry(
      SelectedPointsList,
      Windowing.FindListBoxText(SelectedPointsList, std::to_string(Points.HighlightedPoint())));
}

Result MainDialog::FormatSelectedPointTransformations(std::string& text) const {
  std::vector<formats::Point3> targets;
  targets.reserve(Points.Markers().size());
  for (const PointMarker& marker : Points.Markers())
    targets.push_back({marker.Target[0], marker.Target[1], marker.Target[2]});
  return formats::FormatPointTransformationsFile(text, formats::EntriesOf(Points.Ids()), targets,
                                                 ModelPoints);
}

} // namespace selvane
