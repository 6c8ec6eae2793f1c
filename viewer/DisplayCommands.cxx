#include "MainDialog.h"

#include <vtkActor.h>
#include <vtkProperty.h>
#include <vtkRenderer.h>
#include <vtkSphereSource.h>

namespace selvane {

void MainDialog::OnWireframeSolid() {
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

void MainDialog::OnScreenShot() {
  if (!Renderer)
    return;
  // Only the model and the selection markers stay until the next scene rebuild.
  Renderer->RemoveAllViewProps();
  Renderer->AddViewProp(ModelActor);
  AddSelectionActors();
  Render();
}

void MainDialog::OnSetPointer() {
  Windowing.ShowDialog(AuxiliaryDialog::SetRadius);
}

void MainDialog::ApplyPointerRadius() {
  PointerRadius = SetRadiusBox.SphereRadius;
  PointingSphere->SetRadius(PointerRadius);
  Render();
}

} // namespace selvane
