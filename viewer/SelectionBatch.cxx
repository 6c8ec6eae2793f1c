#include "SelectionBatch.h"

#include <vtkAppendPolyData.h>

#include "MainDialog.h"

namespace selvane {

SelectionBatch::SelectionBatch(MainDialog& dialog) : Dialog(dialog) {
  Dialog.SelectedCellsInputs.Suspend();
  Dialog.PointMarkersInputs.Suspend();
}

SelectionBatch::~SelectionBatch() {
  Dialog.SelectedCellsInputs.Resume(Dialog.SelectedCellsAppend);
  Dialog.PointMarkersInputs.Resume(Dialog.PointMarkersAppend);
}

} // namespace selvane
