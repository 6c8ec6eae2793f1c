#include "MainDialog.h"

#include "vtkShapeTransform.h"

#include <string>

namespace selvane {

void MainDialog::BeginStep(const std::string& name) {
  if (StepDepth++ > 0)
    return;
  Pending = UndoStep();
  Pending.Name = name;
  Pending.Before = Walk.Now();
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
  Pending.After = Walk.Now();
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
  Scene.SwapTransform(step);
  Walk.Return(undo ? step.Before : step.After);
  RefreshScene();
  Windowing.HistoryChanged();
}

void MainDialog::TakeFit(vtkShapeTransform* fit, const std::string& stepName) {
  BeginStep(stepName);
  Scene.TakeFit(fit, Pending);
  EndStep();
}

void MainDialog::ClearTransform(const std::string& stepName) {
  const float fraction = Scene.State().ShapeTransform->GetFraction();
  if (fraction != 0.0f) {
    BeginStep(stepName);
    Pending.FractionChanged = true;
    Pending.OtherFraction = fraction;
    EndStep();
  }
  Scene.ShowUndeformed();
  Render();
}

} // namespace selvane
