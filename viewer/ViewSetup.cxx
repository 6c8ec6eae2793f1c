#include "ModelScene.h"

#include "ViewKeys.h"
#include "WindowingLayer.h"

#include <vtkActor.h>
#include <vtkDataSetMapper.h>
#include <vtkNew.h>
#include <vtkProperty.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>
#include <vtkVectorText.h>

namespace selvane {

void ModelScene::InitializeView() {
  if (RenderWindow)
    return;
  Renderer = vtkSmartPointer<vtkRenderer>::New();
  Renderer->SetBackground(1, 1, 1);
  // The window system owns the render window and its interactor and sizes them with the
  // view's host control.
  RenderWindow = Windowing.ViewRenderWindow();
  Interactor = Windowing.ViewInteractor();
  KeepOnlyCameraResetKey(Interactor);
  RenderWindow->AddRenderer(Renderer);
  RenderWindow->Render();
  if (NoModel)
    ShowNoData();
}

void ModelScene::ShowNoData() {
  vtkNew<vtkVectorText> text;
  text->SetText("... no data ... ");
  vtkNew<vtkDataSetMapper> mapper;
  mapper->SetInputConnection(text->GetOutputPort());
  vtkNew<vtkActor> actor;
  actor->SetMapper(mapper);
  // Dark text: the default white would vanish on the white background.
  actor->GetProperty()->SetColor(0.2, 0.2, 0.2);
  Renderer->AddActor(actor);
  Renderer->ResetCamera();
  Render();
}

} // namespace selvane
