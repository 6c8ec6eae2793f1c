#pragma once

#include "UndoStack.h"
#include "vtkHeldModelSource.h"

#include <vtkSmartPointer.h>
#include <vtkType.h>

#include <string>
#include <vector>

class vtkActor;
class vtkAlgorithmOutput;
class vtkCallbackCommand;
class vtkFollower;
class vtkIdList;
class vtkLookupTable;
class vtkPoints;
class vtkPolyData;
class vtkPolyDataMapper;
class vtkRenderer;
class vtkRenderWindow;
class vtkRenderWindowInteractor;
class vtkScalarBarActor;
class vtkScalarsToColors;
class vtkSphereSource;
class vtkTransformPolyDataFilter;

namespace selvane {

class SelectionList;
class WindowingLayer;
class vtkScaledAxes;
class vtkShapeTransform;

// What makes up the scene, readable by everyone (MainDialog shows it under its familiar
// names); only ModelScene's operations change it.
struct ModelSceneState {
  vtkSmartPointer<vtkRenderer> Renderer;
  vtkRenderWindow* RenderWindow = nullptr;         // owned by the window system
  vtkRenderWindowInteractor* Interactor = nullptr; // owned by the window system
  // The model as read, in whatever format, at the start of the pipeline.
  vtkSmartPointer<vtkHeldModelSource> ModelReader;
  // The file the model was read from (the source keeps no file name).
  std::string ModelFileName;
  // The deformation stage between the reader and the mapper; the identity until a Transform.
  vtkSmartPointer<vtkShapeTransform> ShapeTransform;
  vtkSmartPointer<vtkTransformPolyDataFilter> TransformFilter;
  vtkSmartPointer<vtkPolyDataMapper> ModelMapper;
  vtkSmartPointer<vtkLookupTable> ModelLookupTable;
  vtkSmartPointer<vtkActor> ModelActor;
  vtkSmartPointer<vtkPoints> ModelPoints;

  // The sphere at the current point and the outline of the current cell.
  vtkSmartPointer<vtkSphereSource> PointingSphere;
  vtkSmartPointer<vtkPolyDataMapper> PointingSphereMapper;
  vtkSmartPointer<vtkActor> PointingSphereActor;
  vtkSmartPointer<vtkPolyData> CurrentCellPoly;
  vtkSmartPointer<vtkPolyDataMapper> CurrentCellMapper;
  vtkSmartPointer<vtkActor> CurrentCellActor;

  // Draw the selected points' markers, the highlighted marker and the selected cells, from
  // the selection lists' sources.
  vtkSmartPointer<vtkPolyDataMapper> PointMarkersMapper;
  vtkSmartPointer<vtkActor> PointMarkersActor;
  vtkSmartPointer<vtkPolyDataMapper> HighlightMapper;
  vtkSmartPointer<vtkActor> HighlightActor;
  vtkSmartPointer<vtkPolyDataMapper> SelectedCellsMapper;
  vtkSmartPointer<vtkActor> SelectedCellsActor;

  // The axes of the loaded model's bounding box and their labels (absent before a model).
  vtkSmartPointer<vtkScaledAxes> Axes;
  vtkSmartPointer<vtkActor> AxesActor;
  vtkSmartPointer<vtkFollower> OriginLabel, XLabel, YLabel, ZLabel;
  int HasAxes = 0;
  // The renderer's observer that lays the labels out before each render (0: none).
  unsigned long LabelPlacerTag = 0;

  // The radius of the pointing sphere and of new markers.
  float PointerRadius = 0.03f;
  int NoModel = 1;
  int ShowSolid = 1;
  double MinimumMarkerPixels = 0;
  // The frames and cycles the last Transform played: Export Animation writes those frames.
  int AnimationFrames = 0;
  int AnimationCycles = 0;
};

// The model and everything drawn of it: the pipeline from the model as read through the shape
// transform to its actor, the axes and labels, the actors of the pointing sphere, the current
// cell and the two selection lists (whose sources the lists own), the renderer, the camera,
// the colouring by displacement and the fold check. Renders through the window system's render
// window and tells the window each render.
class ModelScene : private ModelSceneState {
public:
  ModelScene(WindowingLayer& windowing, const SelectionList& cells, const SelectionList& points);
  ~ModelScene();
  ModelScene(const ModelScene&) = delete;
  ModelScene& operator=(const ModelScene&) = delete;

  const ModelSceneState& State() const { return *this; }

  // --- the view ---
  // Takes the window system's render window and interactor and shows "no data" until a model.
  void InitializeView();
  void ShowNoData();
  void Render();
  void RebuildScene(bool includeModel);
  // Empties the renderer's props and rebuilds the scene with the model.
  void RefreshScene();
  void ResetCamera();
  void ViewAlong(int axis, int sign);
  void OnWireframeSolid();
  void OnScreenShot();
  void KeepMarkersVisible(double pixels);

  // --- the model ---
  vtkPolyData* Model() const;
  vtkAlgorithmOutput* ModelPipelineEnd() const;
  // Whether path is the model shown now (it is not read again).
  bool Shows(const std::string& path) const;
  // Puts model at the start of the pipeline, as read from path.
  void ConnectModel(vtkPolyData* model, const std::string& path);
  // Leaves the connected model alone in an empty scene, coloured over its cell scalars' range;
  // returns it.
  vtkPolyData* TakeModel();
  // Frames what is shown without rendering.
  void FrameScene();
  // From now on a model is shown: the pointer takes a radius from its size, and its bounds
  // go to bounds.
  void MarkModelShown(double bounds[6]);
  void BuildAxes(const double bounds[6]);

  // --- the pointer and the current cell ---
  void SetPointerRadius(float radius);
  void PointAt(const double position[3]);
  // Outlines one cell of the model (of type with ids) as the current cell.
  void OutlineCell(int type, vtkIdList* ids);

  // --- the deformation ---
  void ShowDeformation(float fraction);
  // A frame of the animation: the deformation at fraction, rendered; no fold check.
  void ShowFraction(float fraction);
  // Shows fit (taken over) at fraction 0; the fit and fraction shown so far go to step.
  void TakeFit(vtkShapeTransform* fit, UndoStep& step);
  // Exchanges the fit and fraction shown with those step keeps, as its undo or redo.
  void SwapTransform(UndoStep& step);
  // Shows the model undeformed (the fit kept), without rendering.
  void ShowUndeformed();
  void RememberAnimation(int frames, int cycles);

  void SetDisplacementColours(bool on);
  bool DisplacementColoursShown() const { return DisplacementColours; }
  void UpdateDisplacementColours();

  void CheckFolds();
  void SetFoldedCells(std::vector<vtkIdType> cells, const std::string& where);
  const std::vector<vtkIdType>& FoldedCells() const { return Folds; }
  // The next folded cell, round and round, and the status that names it; -1 (and the status
  // said) when there is none.
  vtkIdType TakeNextFold(std::string& status);

private:
  void BuildModelPipeline();
  void BuildMarkers();
  // The actors of the selections that are not empty, in drawing order.
  void AddSelectionActors();
  void UpdateMarkerSizes();
  void UpdateUnreachedPoints();

  WindowingLayer& Windowing;
  const SelectionList& Cells;
  const SelectionList& Points;

  bool DisplacementColours = false;
  vtkSmartPointer<vtkLookupTable> DisplacementTable;
  vtkSmartPointer<vtkScalarBarActor> DisplacementLegend;
  vtkSmartPointer<vtkCallbackCommand> DisplacementObserver;
  unsigned long DisplacementObserverTag = 0;
  // The mapper's colouring as it was before colouring by displacement.
  struct MapperColouring {
    int ScalarMode = 0, ColorMode = 0, ScalarVisibility = 1, UseTableRange = 0;
    int ArrayAccessMode = 0, ArrayComponent = 0, ArrayId = 0, Interpolate = 0;
    bool HasArrayName = false;
    std::string ArrayName;
    double Range[2] = {0, 1};
    vtkSmartPointer<vtkScalarsToColors> Table;
  } SavedColouring;
  // Points no centre of the current fit reaches (1) and the fit and points they belong to.
  std::vector<unsigned char> Unreached;
  const void* UnreachedFit = nullptr;
  const void* UnreachedPoints = nullptr;
  vtkMTimeType UnreachedTime = 0;
  double LargestDisplacement = 0.0;
  std::vector<vtkIdType> Folds;
  size_t NextFold = 0;
};

} // namespace selvane
