#include "ModelScene.h"

#include <vtkActor.h>
#include <vtkProperty.h>
#include <vtkRenderer.h>

namespace selvane {

void ModelScene::OnWireframeSolid() {
  ModelActor->VisibilityOff();
  if (ShowSolid) {
    ModelActor->GetProperty()->SetRepresentationToWireframe();
    ShowSolid = 0;
  } else {
    ModelActor->GetProperty()->SetRepresentationToSurface();
    ShowSolid = 1;
  }
  ModelActor->VisibilityOn();
  Render();
}

void ModelScene::OnScreenShot() {
  if (!Renderer)
    return;
  // Only the model and the selection markers stay until the next scene rebuild.
  Renderer->RemoveAllViewProps();
  Renderer->AddViewProp(ModelActor);
  AddSelectionActors();
  Render();
}

} // namespace selvane
