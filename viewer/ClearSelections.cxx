#include "MainDialog.h"

#include "ControlIds.h"
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

#include <vtkIdList.h>

namespace selvane {

void MainDialog::ClearSelectedCells() {
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
