#include "MainDialog.h"

#include "vtkAppendHeldPolyData.h"

#include <vtkActor.h>
#include <vtkFollower.h>
#include <vtkRenderer.h>

namespace selvane {

namespace {
bool HasInputs(vtkAppendHeldPolyData* append) {
  return append->GetNumberOfPolyData() > 0;
}
} // namespace

void MainDialog::RebuildScene(bool includeModel) {
  if (!Renderer)
    return;
  if (includeModel)
    Renderer->AddViewProp(ModelActor);
  if (HasAxes) {
    Renderer->AddViewProp(AxesActor);
    for (vtkFollower* label : {OriginLabel.Get(), XLabel.Get(), YLabel.Get(), ZLabel.Get()})
      Renderer->AddViewProp(label);
  }
  // An append filter without inputs is never drawn: its actor is left out.
  if (HasInputs(SelectedCellsAppend))
    Renderer->AddViewProp(SelectedCellsActor);
  if (HasInputs(PointMarkersAppend))
    Renderer->AddViewProp(PointMarkersActor);
  if (HasInputs(HighlightAppend))
    Renderer->AddViewProp(HighlightActor);
  Renderer->AddViewProp(PointingSphereActor);
  Renderer->AddViewProp(CurrentCellActor);
}

void MainDialog::RefreshScene() {
  if (!Renderer)
    return;
  Renderer->RemoveAllViewProps();
  RebuildScene(true);
}

} // namespace selvane
