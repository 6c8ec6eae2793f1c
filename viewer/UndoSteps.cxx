#include "MainDialog.h"

#include "ControlIds.h"
#include "vtkShapeTransform.h"

#include <string>

namespace selvane {

void MainDialog::BeginStep(const std::string& name) {
  if (StepDepth++ > 0)
    return;
  Pending = UndoStep();
  Pending.Name = name;
  Pending.Before = CurrentNow();
  Cells.RecordInto(&Pending.CellChanges);
  Points.RecordInto(&Pending.PointChanges);
}

void MainDialog::EndStep() {
  if (--StepDepth > 0)
    return;
  Cells.RecordInto(nullptr);
  Points.RecordInto(nullptr);
  if (Pending.Empty())
    return;
  Pending.After = CurrentNow();
  History.Push(std::move(Pending));
  Pending = UndoStep();
  Windowing.HistoryChanged();
}

void MainDialog::ClearHistory() {
  History.Clear();
  Windowing.HistoryChanged();
}

void MainDialog::Undo() {
  if (StepDepth > 0)
    return;
  if (UndoStep* step = History.TakeUndo())
    ReplayStep(*step, true);
}

void MainDialog::Redo() {
  if (StepDepth > 0)
    return;
  if (UndoStep* step = History.TakeRedo())
    ReplayStep(*step, false);
}

void MainDialog::ReplayStep(UndoStep& step, bool undo) {
  const auto replay = [undo](SelectionList& list, const std::vector<SelectionChange>& changes) {
    if (changes.empty())
      return;
    list.CountChange();
    if (undo)
      for (auto change = changes.rbegin(); change != changes.rend(); ++change)
        list.Apply(*change, true);
    else
      for (const SelectionChange& change : changes)
        list.Apply(change, false);
  };
  replay(Cells, step.CellChanges);
  replay(Points, step.PointChanges);
  SwapTransform(step);
  ShowCurrent(undo ? step.Before : step.After);
  RefreshScene();
  Windowing.HistoryChanged();
}

void MainDialog::SwapTransform(UndoStep& step) {
  if (!step.FitChanged && !step.FractionChanged)
    return;
  if (step.FitChanged) {
    // The fits change places with their cached displacements: nothing is evaluated again.
    auto shown = vtkSmartPointer<vtkShapeTransform>::New();
    shown->TakeFit(ShapeTransform);
    ShapeTransform->TakeFit(step.OtherFit);
    step.OtherFit = shown;
  }
  const float fraction = ShapeTransform->GetFraction();
  ShapeTransform->SetFraction(step.OtherFraction);
  step.OtherFraction = fraction;
  ShapeTransform->Modified();
}

UndoStep::Current MainDialog::CurrentNow() const {
  UndoStep::Current current;
  current.Cell = CurrentCell;
  current.Point = CurrentPoint;
  for (int k = 0; k < 3; ++k) {
    current.Target[k] = TargetPosition[k];
    current.Position[k] = CurrentPosition[k];
  }
  return current;
}

void MainDialog::ShowCurrent(const UndoStep::Current& current) {
  const int cell = current.Cell, point = current.Point;
  vtkPolyData* model = Model();
  if (!model)
    return;
  if (cell != CurrentCell) {
    if (cell >= 0) {
      SetCurrentCell(cell, 0);
    } else {
      // As the clear of the selected cells left it.
      for (int list : {CellPointsList, CellNeighborsList}) {
        Windowing.SelectListBoxEntry(list, -1);
        Windowing.ClearListBox(list);
      }
      CurrentCell = -1;
    }
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

void MainDialog::TakeFit(vtkShapeTransform* fit, const std::string& stepName) {
  BeginStep(stepName);
  Pending.FitChanged = true;
  Pending.OtherFit = vtkSmartPointer<vtkShapeTransform>::New();
  Pending.OtherFit->TakeFit(ShapeTransform);
  Pending.OtherFraction = ShapeTransform->GetFraction();
  ShapeTransform->TakeFit(fit);
  ShapeTransform->SetFraction(0.0f);
  ShapeTransform->Modified();
  EndStep();
}

void MainDialog::ClearTransform(const std::string& stepName) {
  if (ShapeTransform->GetFraction() != 0.0f) {
    BeginStep(stepName);
    Pending.FractionChanged = true;
    Pending.OtherFraction = ShapeTransform->GetFraction();
    EndStep();
  }
  ShapeTransform->SetFraction(0.0f);
  ShapeTransform->Modified();
  Render();
}

} // namespace selvane
