#include "ModelScene.h"

#include "SceneColors.h"
#include "SelectionList.h"
#include "WindowingLayer.h"

#include <vtkActor.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
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

#include <algorithm>

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

ModelScene::ModelScene(WindowingLayer& windowing, const SelectionList& cells,
                       const SelectionList& points)
    : Windowing(windowing), Cells(cells), Points(points) {
  ModelReader = Make<vtkHeldModelSource>();
  ShapeTransform = Make<vtkShapeTransform>();
  TransformFilter = Make<vtkTransformPolyDataFilter>();
  TransformFilter->SetTransform(ShapeTransform);
  TransformFilter->SetInputConnection(ModelReader->GetOutputPort());
  BuildModelPipeline();
  BuildMarkers();
}

ModelScene::~ModelScene() {
  // The renderer may outlive us inside the window system's render window; leave it empty.
  if (Renderer) {
    if (LabelPlacerTag)
      Renderer->RemoveObserver(LabelPlacerTag);
    Renderer->RemoveAllViewProps();
    if (RenderWindow)
      RenderWindow->RemoveRenderer(Renderer);
  }
}

void ModelScene::BuildModelPipeline() {
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

void ModelScene::BuildMarkers() {
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

vtkPolyData* ModelScene::Model() const {
  return ModelPoints ? ModelReader->GetOutput() : nullptr;
}

vtkAlgorithmOutput* ModelScene::ModelPipelineEnd() const {
  return TransformFilter->GetOutputPort();
}

bool ModelScene::Shows(const std::string& path) const {
  return !NoModel && path == ModelFileName;
}

void ModelScene::ConnectModel(vtkPolyData* model, const std::string& path) {
  // A fresh source per model, as there was a fresh reader per file.
  ModelReader = Make<vtkHeldModelSource>();
  ModelReader->SetModel(model);
  ModelFileName = path;
  TransformFilter->SetInputConnection(ModelReader->GetOutputPort());
  ModelReader->Update();
}

vtkPolyData* ModelScene::TakeModel() {
  vtkPolyData* model = ModelReader->GetOutput();
  if (vtkDataArray* scalars = model->GetCellData()->GetScalars()) {
    double range[2];
    scalars->GetRange(range, 0);
    ModelMapper->SetScalarRange(range);
  }
  // The previous model's axes and labels leave the scene now: the camera is framed on what is
  // in view, which must be the new model alone. BuildAxes sets HasAxes again.
  HasAxes = 0;
  if (Renderer)
    Renderer->RemoveAllViewProps();
  ModelPoints = model->GetPoints();
  CurrentCellPoly->SetPoints(ModelPoints);
  model->BuildLinks();
  return model;
}

void ModelScene::FrameScene() {
  if (Renderer)
    Renderer->ResetCamera();
}

void ModelScene::MarkModelShown(double bounds[6]) {
  NoModel = 0;
  ModelPoints->GetBounds(bounds);
  const double largest =
      std::max({bounds[1] - bounds[0], bounds[3] - bounds[2], bounds[5] - bounds[4]});
  const double labelScale = largest * 0.03571428571428571;
  SetPointerRadius(static_cast<float>(labelScale * 0.056));
}

void ModelScene::SetPointerRadius(float radius) {
  PointerRadius = radius;
  PointingSphere->SetRadius(PointerRadius);
}

void ModelScene::PointAt(const double position[3]) {
  PointingSphere->SetCenter(position);
}

void ModelScene::OutlineCell(int type, vtkIdList* ids) {
  CurrentCellPoly->Initialize();
  CurrentCellPoly->AllocateExact(1, 1);
  CurrentCellPoly->SetPoints(ModelPoints);
  CurrentCellPoly->InsertNextCell(type, ids);
  CurrentCellPoly->Modified();
}

void ModelScene::Render() {
  if (RenderWindow)
    RenderWindow->Render();
  Windowing.ViewRendered();
}

} // namespace selvane
