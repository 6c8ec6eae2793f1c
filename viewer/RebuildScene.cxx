#include "ModelScene.h"

#include "SelectionList.h"
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

#include <vtkActor.h>
#include <vtkFollower.h>
#include <vtkRenderer.h>
#include <vtkScalarBarActor.h>

namespace selvane {

void ModelScene::RebuildScene(bool includeModel) {
  if (!Renderer)
    return;
  if (includeModel)
    Renderer->AddViewProp(ModelActor);
  if (HasAxes) {
    Renderer->AddViewProp(AxesActor);
    for (vtkFollower* label : {OriginLabel.Get(), XLabel.Get(), YLabel.Get(), ZLabel.Get()})
      Renderer->AddViewProp(label);
  }
  AddSelectionActors();
  Renderer->AddViewProp(PointingSphereActor);
  Renderer->AddViewProp(CurrentCellActor);
  if (DisplacementColours && DisplacementLegend)
    Renderer->AddViewProp(DisplacementLegend);
}

void ModelScene::AddSelectionActors() {
  // An empty selection is never drawn: its actor is left out.
  if (Cells.CellsSource()->GetNumberOfSelectedCells() > 0)
    Renderer->AddViewProp(SelectedCellsActor);
  if (Points.MarkersSource()->GetNumberOfMarkers() > 0)
    Renderer->AddViewProp(PointMarkersActor);
  if (Points.HighlightSource()->GetNumberOfMarkers() > 0)
    Renderer->AddViewProp(HighlightActor);
}

void ModelScene::RefreshScene() {
  if (!Renderer)
    return;
  Renderer->RemoveAllViewProps();
  RebuildScene(true);
}

} // namespace selvane
