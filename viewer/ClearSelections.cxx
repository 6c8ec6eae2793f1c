#include "MainDialog.h"

#include "ControlIds.h"

namespace selvane {

bool MainDialog::HasUnsavedSelections() const {
  return Cells.HasUnsavedChanges() || Points.HasUnsavedChanges();
}

void MainDialog::ClearSelectedCells() {
  BeginStep("Clear Selected Cells");
  Cells.CountChange();
  for (int list : {CellPointsList, CellNeighborsList}) {
    Windowing.SelectListBoxEntry(list, -1);
    Windowing.ClearListBox(list);
  }
  Cells.Clear();
  CurrentCell = -1;
  EndStep();
}

void MainDialog::ClearSelectedPoints() {
  BeginStep("Clear Selected Points List");
  Points.CountChange();
  Points.Clear();
  CurrentPoint = -1;
  EndStep();
}

} // namespace selvane
