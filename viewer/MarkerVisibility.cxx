#include "ModelScene.h"

#include "SelectionList.h"
#include "vtkPointMarkerSource.h"

#include <vtkActor.h>
#include <vtkCallbackCommand.h>
#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkProperty.h>
#include <vtkRenderer.h>
#include <vtkSphereSource.h>

#include <algorithm>
#include <cmath>

namespace selvane {

namespace {

// The length one pixel of the view covers at the camera's focal point.
double WorldPerPixel(vtkRenderer* renderer) {
  const int* size = renderer->GetSize();
  if (!size || size[1] <= 0)
    return 0;
  vtkCamera* camera = renderer->GetActiveCamera();
  const double height =
      camera->GetParallelProjection()
          ? 2 * camera->GetParallelScale()
          : 2 * camera->GetDistance() * std::tan(camera->GetViewAngle() * M_PI / 360.0);
  return height / size[1];
}

} // namespace

void ModelScene::KeepMarkersVisible(double pixels) {
  MinimumMarkerPixels = pixels;
  if (!Renderer)
    return;
  // The current cell and the selected cells get outlines and corner dots of fixed pixel
  // sizes, so that a cell far smaller than a pixel still shows.
  for (vtkActor* actor : {CurrentCellActor.GetPointer(), SelectedCellsActor.GetPointer()}) {
    vtkProperty* property = actor->GetProperty();
    property->EdgeVisibilityOn();
    property->VertexVisibilityOn();
    property->SetLineWidth(actor == CurrentCellActor ? 3 : 2);
    property->SetPointSize(actor == CurrentCellActor ? 7 : 5);
  }
  CurrentCellActor->GetProperty()->SetEdgeColor(0, 0, 0.45);
  CurrentCellActor->GetProperty()->SetVertexColor(0, 0, 0.45);
  SelectedCellsActor->GetProperty()->SetEdgeColor(0, 0.45, 0.45);
  SelectedCellsActor->GetProperty()->SetVertexColor(0, 0.45, 0.45);

  // The sphere's growth is for the eye only: framing the camera must not see it, nor an
  // origin it kept from the previous model.
  PointingSphereActor->UseBoundsOff();

  auto update = vtkSmartPointer<vtkCallbackCommand>::New();
  update->SetClientData(this);
  update->SetCallback([](vtkObject*, unsigned long, void* self, void*) {
    static_cast<ModelScene*>(self)->UpdateMarkerSizes();
  });
  Renderer->AddObserver(vtkCommand::StartEvent, update);
}

void ModelScene::UpdateMarkerSizes() {
  const double perPixel = WorldPerPixel(Renderer);
  if (!(perPixel > 0) || !std::isfinite(perPixel))
    return;
  const float minimum = static_cast<float>(MinimumMarkerPixels / 2 * perPixel);
  // Markers are drawn again only when the minimum moved by more than a sixth: a small zoom
  // step does not rebuild 100,000 markers.
  const float current = Points.MarkersSource()->GetMinimumRadius();
  if (!(current > 0) || std::fabs(minimum - current) > current / 6) {
    Points.MarkersSource()->SetMinimumRadius(minimum);
    Points.HighlightSource()->SetMinimumRadius(minimum);
  }
  // The pointing sphere keeps its radius and grows around its centre instead.
  const double scale = std::max(1.0, minimum / std::max(PointingSphere->GetRadius(), 1e-30));
  PointingSphereActor->SetOrigin(PointingSphere->GetCenter());
  PointingSphereActor->SetScale(scale);
}

} // namespace selvane
