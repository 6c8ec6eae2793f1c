#include "MainDialog.h"

#include "ControlIds.h"
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

#include <vtkIdList.h>

namespace selvane {

bool MainDialog::HasUnsavedSelections() const {
  return (CellSelectionChanges != CellSelectionSaved && SelectedCellIds->GetNumberOfIds() > 0) ||
         (PointSelectionChanges != PointSelectionSaved && SelectedPointIds->GetNumberOfIds() > 0);
}

void MainDialog::ClearSelectedCells() {
  ++CellSelectionChanges;
  for (int list : {SelectedCellsList, CellPointsList, CellNeighborsList}) {
    Windowing.SelectListBoxEntry(list, -1);
    Windowing.ClearListBox(list);
  }
  SelectedCellsAppend->RemoveAllCells();
  SelectedCellIds->Reset();
  SelectedCellIndex.clear();
  CurrentCell = -1;
}

void MainDialog::ClearSelectedPoints() {
  ++PointSelectionChanges;
  Windowing.SelectListBoxEntry(SelectedPointsList, -1);
  Windowing.ClearListBox(SelectedPointsList);
  PointMarkersAppend->RemoveAllMarkers();
  HighlightAppend->RemoveAllMarkers();
  PointMarkers.clear();
  SelectedPointIds->Reset();
  SelectedPointIndex.clear();
  CurrentPoint = -1;
  HighlightedPoint = -1;
}

} // namespace selvane
