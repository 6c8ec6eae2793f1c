#include "SelectionBatch.h"

#include <vtkAppendPolyData.h>

#include "MainDialog.h"

namespace selvane {

SelectionBatch::SelectionBatch(MainDialog& dialog) : Dialog(dialog) {
  Dialog.SelectedCellsInputs.Suspend();
  Dialog.PointMarkersInputs.Suspend();
  Dialog.HighlightInputs.Suspend();
}

SelectionBatch::~SelectionBatch() {
  Dialog.SelectedCellsInputs.Resume(Dialog.SelectedCellsAppend);
  Dialog.PointMarkersInputs.Resume(Dialog.PointMarkersAppend);
  Dialog.HighlightInputs.Resume(Dialog.HighlightAppend);
}

} // namespace selvane
