#include "MainDialog.h"

#include "vtkShapeTransform.h"

#include <algorithm>

namespace selvane {

void MainDialog::ShowDeformation(float fraction) {
  if (!ShapeTransform->GetParametersSet() || !(fraction == fraction))
    return;
  ShapeTransform->SetFraction(std::clamp(fraction, 0.0f, 1.0f));
  Render();
  // The render brought the shown shape up to date.
  CheckFolds();
}

} // namespace selvane
