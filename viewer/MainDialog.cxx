#include "MainDialog.h"

#include "ControlIds.h"
#include "SceneColors.h"
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

#include <vtkActor.h>
#include <vtkCellPicker.h>
#include <vtkIdList.h>
#include <vtkLookupTable.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>
#include <vtkShapeTransform.h>
#include <vtkSphereSource.h>
#include <vtkTransformPolyDataFilter.h>

namespace selvane {

namespace {

template <typename T> vtkSmartPointer<T> Make() {
  return vtkSmartPointer<T>::New();
}

// A selection source drawn through its own mapper and actor.
void MakeSelectionActor(vtkAlgorithm* source, vtkSmartPointer<vtkPolyDataMapper>& mapper,
                        vtkSmartPointer<vtkActor>& actor) {
  mapper = Make<vtkPolyDataMapper>();
  mapper->SetInputConnection(source->GetOutputPort());
  mapper->ScalarVisibilityOff();
  actor = Make<vtkActor>();
  actor->SetMapper(mapper);
}

} // namespace

MainDialog::MainDialog(WindowingLayer& windowing)
    : Windowing(windowing), Cells(SelectionList::Kind::Cells, windowing, SelectedCellsList),
      Points(SelectionList::Kind::Points, windowing, SelectedPointsList) {
  ModelReader = Make<vtkHeldModelSource>();
  ShapeTransform = Make<vtkShapeTransform>();
  TransformFilter = Make<vtkTransformPolyDataFilter>();
  TransformFilter->SetTransform(ShapeTransform);
  TransformFilter->SetInputConnection(ModelReader->GetOutputPort());
  MakeTransformBox.Owner = this;
  SetRadiusBox.Owner = this;
  AboutBox.Owner = this;
  BuildModelPipeline();
  BuildMarkers();
  CellPicker = Make<vtkCellPicker>();
}

MainDialog::~MainDialog() {
  // The renderer may outlive us inside the window system's render window; leave it empty.
  if (Renderer) {
    if (LabelPlacerTag)
      Renderer->RemoveObserver(LabelPlacerTag);
    Renderer->RemoveAllViewProps();
    if (RenderWindow)
      RenderWindow->RemoveRenderer(Renderer);
  }
}

void MainDialog::BuildModelPipeline() {
  ModelMapper = Make<vtkPolyDataMapper>();
  ModelLookupTable = MakeModelLookupTable();
  ModelMapper->SetInputConnection(ModelPipelineEnd());
  ModelMapper->SetScalarModeToUseCellData();
  ModelMapper->SetScalarRange(0, 256);
  ModelMapper->SetLookupTable(ModelLookupTable);
  ModelActor = Make<vtkActor>();
  ModelActor->SetMapper(ModelMapper);
  SetActorColors(ModelActor, 0.9804, 0.9216, 0.8431, 0.8275, 0.8275, 0.8275);
}

void MainDialog::BuildMarkers() {
  PointerRadius = 0.03f;
  PointingSphere = Make<vtkSphereSource>();
  PointingSphere->SetRadius(PointerRadius);
  PointingSphere->SetCenter(0, 0, 0);
  PointingSphereMapper = Make<vtkPolyDataMapper>();
  PointingSphereMapper->SetInputConnection(PointingSphere->GetOutputPort());
  PointingSphereActor = Make<vtkActor>();
  PointingSphereActor->SetMapper(PointingSphereMapper);
  SetActorColors(PointingSphereActor, 1, 0, 0, 1, 0, 0);

  MakeSelectionActor(Points.MarkersSource(), PointMarkersMapper, PointMarkersActor);
  SetActorColors(PointMarkersActor, 0, 1, 0, 0, 1, 0);
  MakeSelectionActor(Points.HighlightSource(), HighlightMapper, HighlightActor);
  SetActorColors(HighlightActor, 0, 0.5, 1, 0, 0.5, 1);

  CurrentCellPoly = Make<vtkPolyData>();
  CurrentCellPoly->AllocateExact(1, 1);
  CurrentCellMapper = Make<vtkPolyDataMapper>();
  CurrentCellMapper->SetInputData(CurrentCellPoly);
  CurrentCellMapper->ScalarVisibilityOff();
  CurrentCellActor = Make<vtkActor>();
  CurrentCellActor->SetMapper(CurrentCellMapper);
  SetActorColors(CurrentCellActor, 0, 0, 1, 0, 0, 1);

  MakeSelectionActor(Cells.CellsSource(), SelectedCellsMapper, SelectedCellsActor);
  SetActorColors(SelectedCellsActor, 0, 1, 1, 1, 0, 0);
}

vtkPolyData* MainDialog::Model() const {
  return ModelPoints ? ModelReader->GetOutput() : nullptr;
}

vtkAlgorithmOutput* MainDialog::ModelPipelineEnd() const {
  return TransformFilter->GetOutputPort();
}

void MainDialog::ConnectModel(vtkPolyData* model, const std::string& path) {
  // A fresh source per model, as there was a fresh reader per file.
  ModelReader = Make<vtkHeldModelSource>();
  ModelReader->SetModel(model);
  ModelFileName = path;
  TransformFilter->SetInputConnection(ModelReader->GetOutputPort());
  ModelReader->Update();
}

void MainDialog::Render() {
  if (RenderWindow)
    RenderWindow->Render();
  Windowing.ViewRendered();
}

} // namespace selvane
