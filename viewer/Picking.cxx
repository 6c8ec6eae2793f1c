#include "MainDialog.h"

#include <vtkActor.h>
#include <vtkCellLocator.h>
#include <vtkCellPicker.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>

namespace selvane {

void MainDialog::UpdatePickLocator() {
  // The locator indexes the geometry as drawn (deformed after a Transform), and is built
  // again only when that geometry changed.
  ModelMapper->Update();
  vtkPolyData* shown = ModelMapper->GetInput();
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

void MainDialog::PickAt(int x, int y) {
  if (NoModel || !Renderer || !RenderWindow)
    return;
  PickCellAt(x, y);
  Render();
}

void MainDialog::PickCellAt(int x, int y) {
  if (NoModel || !Renderer || !RenderWindow)
    return;
  UpdatePickLocator();
  const int height = RenderWindow->GetSize()[1];
  // Only the model can be hit; the rest of the scene stays as it is.
  CellPicker->PickFromListOn();
  CellPicker->InitializePickList();
  CellPicker->AddPickList(ModelActor);
  CellPicker->Pick(x, height - y, 0, Renderer);
  // A pick brings back the whole scene after a screenshot left only the model and markers.
  if (!Renderer->HasViewProp(PointingSphereActor))
    RefreshScene();
  SetCurrentCell(static_cast<int>(CellPicker->GetCellId()), 0);
}

} // namespace selvane
