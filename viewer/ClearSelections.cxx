#include "MainDialog.h"

#include "ControlIds.h"
#include "DeferredCollection.h"
#include "vtkAppendHeldPolyData.h"

#include <vtkIdList.h>

namespace selvane {

void MainDialog::ClearSelectedCells() {
  DeferredCollection batch;
  for (int list : {SelectedCellsList, CellPointsList, CellNeighborsList}) {
    Windowing.SelectListBoxEntry(list, -1);
    Windowing.ClearListBox(list);
  }
  SelectedCellsAppend->RemoveAllPolyData();
  SelectedCellPolys.clear();
  SelectedCellIds->Reset();
  SelectedCellIndex.clear();
  CurrentCell = -1;
}

void MainDialog::ClearSelectedPoints() {
  DeferredCollection batch;
  Windowing.SelectListBoxEntry(SelectedPointsList, -1);
  Windowing.ClearListBox(SelectedPointsList);
  PointMarkersAppend->RemoveAllPolyData();
  HighlightAppend->RemoveAllPolyData();
  PointMarkers.clear();
  SelectedPointIds->Reset();
  SelectedPointIndex.clear();
  CurrentPoint = -1;
  HighlightedPoint = -1;
}

} // namespace selvane
