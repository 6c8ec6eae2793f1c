#include "ModelScene.h"

#include <vtkCamera.h>
#include <vtkRenderer.h>

namespace selvane {

void ModelScene::ResetCamera() {
  if (!Renderer)
    return;
  Renderer->ResetCamera();
  Render();
}

void ModelScene::ViewAlong(int axis, int sign) {
  if (!Renderer || axis < 0 || axis > 2 || sign == 0)
    return;
  double bounds[6];
  Renderer->ComputeVisiblePropBounds(bounds);
  if (bounds[0] > bounds[1]) // nothing visible
    return;
  const double centre[3] = {(bounds[0] + bounds[1]) / 2, (bounds[2] + bounds[3]) / 2,
                            (bounds[4] + bounds[5]) / 2};
  // The camera sits on the chosen side and looks back at the centre; Z is up except when
  // looking along Z, where Y is.
  double position[3] = {centre[0], centre[1], centre[2]};
  position[axis] += sign > 0 ? 1.0 : -1.0;
  vtkCamera* camera = Renderer->GetActiveCamera();
  camera->SetFocalPoint(centre);
  camera->SetPosition(position);
  camera->SetViewUp(0, axis == 2 ? 1 : 0, axis == 2 ? 0 : 1);
  Renderer->ResetCamera();
  Render();
}

} // namespace selvane
