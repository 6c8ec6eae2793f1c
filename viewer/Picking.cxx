#include "Inspection.h"

#include "ModelScene.h"

#include <vtkActor.h>
#include <vtkCellLocator.h>
#include <vtkCellPicker.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>

namespace selvane {

void Inspection::UpdatePickLocator() {
  // The locator indexes the geometry as drawn (deformed after a Transform), and is built
  // again only when that geometry changed.
  vtkPolyDataMapper* mapper = Scene.State().ModelMapper;
  mapper->Update();
  vtkPolyData* shown = mapper->GetInput();
  if (!shown)
    return;
  if (!PickLocator) {
    PickLocator = vtkSmartPointer<vtkCellLocator>::New();
    CellPicker->AddLocator(PickLocator);
  }
  if (PickLocator->GetDataSet() != shown || PickLocator->GetBuildTime() < shown->GetMTime()) {
    PickLocator->SetDataSet(shown);
    PickLocator->BuildLocator();
  }
}

void Inspection::PickAt(int x, int y) {
  const ModelSceneState& scene = Scene.State();
  if (scene.NoModel || !scene.Renderer || !scene.RenderWindow)
    return;
  PickCellAt(x, y);
  Scene.Render();
}

void Inspection::PickCellAt(int x, int y) {
  const ModelSceneState& scene = Scene.State();
  if (scene.NoModel || !scene.Renderer || !scene.RenderWindow)
    return;
  UpdatePickLocator();
  const int height = scene.RenderWindow->GetSize()[1];
  // Only the model can be hit; the rest of the scene stays as it is.
  CellPicker->PickFromListOn();
  CellPicker->InitializePickList();
  CellPicker->AddPickList(scene.ModelActor);
  CellPicker->Pick(x, height - y, 0, scene.Renderer);
  // A pick brings back the whole scene after a screenshot left only the model and markers.
  if (!scene.Renderer->HasViewProp(scene.PointingSphereActor))
    Scene.RefreshScene();
  SetCurrentCell(static_cast<int>(CellPicker->GetCellId()), 0);
}

} // namespace selvane
