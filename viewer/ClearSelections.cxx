#include "MainDialog.h"

namespace selvane {

bool MainDialog::HasUnsavedSelections() const {
  return Cells.HasUnsavedChanges() || Points.HasUnsavedChanges();
}

void MainDialog::ClearSelectedCells() {
  BeginStep("Clear Selected Cells");
  Cells.CountChange();
  Walk.ForgetCurrentCell();
  Cells.Clear();
  EndStep();
}

void MainDialog::ClearSelectedPoints() {
  BeginStep("Clear Selected Points List");
  Points.CountChange();
  Points.Clear();
  Walk.ForgetCurrentPoint();
  EndStep();
}

} // namespace selvane
