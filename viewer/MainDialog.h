#pragma once

#include "AuxiliaryDialogs.h"
#include "PointMarker.h"
#include "WindowingLayer.h"

#include <vtkSmartPointer.h>

#include <string>
#include <unordered_map>
#include <vector>

class vtkActor;
class vtkAlgorithmOutput;
class vtkCellArray;
class vtkCellLocator;
class vtkFollower;
class vtkScaledAxes;
class vtkCellPicker;
class vtkIdList;
class vtkLookupTable;
class vtkPoints;
class vtkPolyData;
class vtkPolyDataMapper;
class vtkPolyDataReader;
class vtkPointMarkerSource;
class vtkSelectedCellsSource;
class vtkRenderer;
class vtkRenderWindow;
class vtkRenderWindowInteractor;
class vtkShapeTransform;
class vtkSphereSource;
class vtkTransformPolyDataFilter;

namespace selvane {

// The main window's state: the model as read, its rendering pipeline, the pointing sphere,
// the current cell, and the two selection lists with their markers. Command handlers of
// the other subsystems act on it through its public members and operations.
class MainDialog {
public:
  explicit MainDialog(WindowingLayer& windowing);
  ~MainDialog();
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // --- scene and model (model scene) ---
  void InitializeView();
  void ShowNoData();
  void OpenModel();
  // Opens the model at path as Open Model does after its prompt; false if it was refused.
  bool OpenModelFile(const std::string& path);
  void RebuildScene(bool includeModel);
  void ClearSelectedCells();
  void ClearSelectedPoints();
  // Empties the renderer's props and rebuilds the scene with the model.
  void RefreshScene();
  void Render();

  // --- current cell and point, picking, list-box choices ---
  void SetCurrentPoint(int point);
  void SetCurrentCell(int cell, int position);
  void PickAt(int x, int y);
  // PickAt without its closing render.
  void PickCellAt(int x, int y);
  void NextPointInCell();
  void PreviousPointInCell();
  void CrossForwardEdge();
  void CrossBackwardEdge();
  // A user's choice in one of the five list boxes.
  void OnListBoxSelection(int list);

  // --- selection lists ---
  void ToggleCurrentCell();
  void ToggleCurrentPoint();
  // The marker of the current point with the current target and pointer radius.
  PointMarker BuildPointMarker() const;
  void OnClearSelectedPoints();
  // The selected points with their targets as Export Points Transformations writes them (the
  // model's bounds block first); false when a selected point is not in the model.
  bool FormatSelectedPointTransformations(std::string& text) const;
  // Index of the entry of id in a selection list, active or withdrawn; -1 when absent.
  vtkIdType FindSelectedCell(int cell) const;
  vtkIdType FindSelectedPoint(int point) const;

  // --- keys ---
  enum class Key { Space, Left, Up, Right, Down, W, X, Y, Z, Other };
  // Whether a key-down is taken from the focused control and handled here.
  bool InterceptsKey(Key key, bool viewFocused) const;
  // Acts on a key-down by the key table, then renders.
  void OnKeyDown(Key key);

  // --- axes and display commands ---
  // Builds the axes along the model's bounding box and their four labels.
  void BuildAxes(const double bounds[6]);
  void OnWireframeSolid();
  void OnScreenShot();
  void OnSetPointer();
  void ApplyPointerRadius();
  // From now on markers and the pointing sphere are drawn at least this many pixels wide
  // (their radii are kept), and the current and selected cells are outlined. The window turns
  // it on; the scene without it is the plain one.
  void KeepMarkersVisible(double pixels);
  // Whether a selection list was changed since it was last written to or read from a file
  // (only a list that holds entries counts): the window asks before it closes on such
  // changes. The file commands mark a list saved after a successful export or an import.
  bool HasUnsavedSelections() const;
  void MarkCellSelectionSaved() { CellSelectionSaved = CellSelectionChanges; }
  void MarkPointSelectionSaved() { PointSelectionSaved = PointSelectionChanges; }

  // Shows the deformation of the last Transform at fraction (clamped to 0 to 1) of its full
  // displacement, from the cached displacements; nothing before a Transform.
  void ShowDeformation(float fraction);
  // Frames everything shown, from the current viewing direction.
  void ResetCamera();
  // Looks at everything shown from the +axis (sign > 0) or -axis side; axis 0, 1, 2: X, Y, Z.
  void ViewAlong(int axis, int sign);

  // --- file prompt ---
  bool PromptFileName(std::string& path, const std::string& title, unsigned flags,
                      const std::vector<FileFilter>& filter, const std::string& defaultExtension,
                      bool openMode);

  // The model as read (the reader's output); null before the first model.
  vtkPolyData* Model() const;
  // The end of the model pipeline, which the model's mapper draws.
  vtkAlgorithmOutput* ModelPipelineEnd() const;

  WindowingLayer& Windowing;

  // Window-side state.
  float TargetPosition[3] = {0, 0, 0};
  float CurrentPosition[3] = {0, 0, 0};

  // VTK members.
  vtkSmartPointer<vtkRenderer> Renderer;
  vtkRenderWindow* RenderWindow = nullptr;         // owned by the window system
  vtkRenderWindowInteractor* Interactor = nullptr; // owned by the window system
  vtkSmartPointer<vtkPolyDataReader> ModelReader;
  // The file the model was read from (the reader reads from memory and keeps no file name).
  std::string ModelFileName;
  // The deformation stage between the reader and the mapper; the identity until a Transform.
  vtkSmartPointer<vtkShapeTransform> ShapeTransform;
  vtkSmartPointer<vtkTransformPolyDataFilter> TransformFilter;
  vtkSmartPointer<vtkPolyDataMapper> ModelMapper;
  vtkSmartPointer<vtkLookupTable> ModelLookupTable;
  vtkSmartPointer<vtkActor> ModelActor;
  vtkSmartPointer<vtkPoints> ModelPoints;

  vtkSmartPointer<vtkSphereSource> PointingSphere;
  vtkSmartPointer<vtkPolyDataMapper> PointingSphereMapper;
  vtkSmartPointer<vtkActor> PointingSphereActor;

  vtkSmartPointer<vtkPolyData> CurrentCellPoly;
  vtkSmartPointer<vtkPolyDataMapper> CurrentCellMapper;
  vtkSmartPointer<vtkActor> CurrentCellActor;

  vtkSmartPointer<vtkIdList> SelectedPointIds;
  // One marker per SelectedPointIds entry, same index.
  std::vector<PointMarker> PointMarkers;
  // Draws the markers of the active entries, each held under its index in the list.
  vtkSmartPointer<vtkPointMarkerSource> PointMarkersAppend;
  vtkSmartPointer<vtkPolyDataMapper> PointMarkersMapper;
  vtkSmartPointer<vtkActor> PointMarkersActor;
  vtkSmartPointer<vtkPointMarkerSource> HighlightAppend;
  vtkSmartPointer<vtkPolyDataMapper> HighlightMapper;
  vtkSmartPointer<vtkActor> HighlightActor;

  vtkSmartPointer<vtkIdList> SelectedCellIds;
  // Draws the active entries' cells with the model's points.
  vtkSmartPointer<vtkSelectedCellsSource> SelectedCellsAppend;
  vtkSmartPointer<vtkPolyDataMapper> SelectedCellsMapper;
  vtkSmartPointer<vtkActor> SelectedCellsActor;

  // The axes of the loaded model's bounding box and their labels (absent before a model).
  vtkSmartPointer<vtkScaledAxes> Axes;
  vtkSmartPointer<vtkActor> AxesActor;
  vtkSmartPointer<vtkFollower> OriginLabel, XLabel, YLabel, ZLabel;
  int HasAxes = 0;
  // The renderer's observer that lays the labels out before each render (0: none).
  unsigned long LabelPlacerTag = 0;

  vtkSmartPointer<vtkCellPicker> CellPicker;
  // Spatial index of the geometry as drawn, so a pick does not test every cell.
  vtkSmartPointer<vtkCellLocator> PickLocator;

  int CurrentCell = -1;
  int CurrentPoint = -1;
  int HighlightedPoint = -1;
  float PointerRadius = 0.03f;
  int NoModel = 1;
  int CtrlDown = 0;
  int ShowSolid = 1;
  int ReadTargetFromFields = 1;
  double MinimumMarkerPixels = 0;
  // Changes of each selection list, and their count at its last export or import.
  unsigned long CellSelectionChanges = 0, CellSelectionSaved = 0;
  unsigned long PointSelectionChanges = 0, PointSelectionSaved = 0;

  // The auxiliary dialogs' values.
  MakeTransformDialog MakeTransformBox;
  SetRadiusDialog SetRadiusBox;
  AboutDialog AboutBox;

  // Where each ID stands in its selection list (active or withdrawn), kept beside the lists
  // by the toggles and the clear operations so that lookups do not scan the lists.
  std::unordered_map<int, vtkIdType> SelectedCellIndex;
  std::unordered_map<int, vtkIdType> SelectedPointIndex;

private:
  void BuildModelPipeline();
  // The actors of the selections that are not empty, in drawing order.
  void AddSelectionActors();
  void UpdatePickLocator();
  void UpdateMarkerSizes();
  void MoveHighlightTo(vtkIdType index, int point);
  void RemoveHighlightIfActive();
  void BuildMarkers();
  void ConnectModel(vtkPolyDataReader* reader, const std::string& path);
};

} // namespace selvane
