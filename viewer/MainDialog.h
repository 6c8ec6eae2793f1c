#pragma once

#include "AuxiliaryDialogs.h"
#include "PointMarker.h"
#include "Result.h"
#include "SelectionList.h"
#include "UndoStack.h"
#include "WindowingLayer.h"
#include "vtkHeldModelSource.h"

#include <vtkSmartPointer.h>
#include <vtkType.h>

#include <array>
#include <string>
#include <vector>

class vtkActor;
class vtkAlgorithmOutput;
class vtkCellArray;
class vtkCellLocator;
class vtkFollower;
class vtkCellPicker;
class vtkIdList;
class vtkLookupTable;
class vtkPoints;
class vtkPolyData;
class vtkPolyDataMapper;
class vtkRenderer;
class vtkRenderWindow;
class vtkScalarBarActor;
class vtkCallbackCommand;
class vtkScalarsToColors;
class vtkRenderWindowInteractor;
class vtkSphereSource;
class vtkTransformPolyDataFilter;

namespace selvane {

class vtkPointMarkerSource;
class vtkScaledAxes;
class vtkSelectedCellsSource;
class vtkShapeTransform;

// The main window's state: the model as read, its rendering pipeline, the pointing sphere,
// the current cell, the two selection lists (SelectionList) and the undo history. Command
// handlers of the other subsystems act on the selections only through its operations; every
// user-level change of a selection or of the transform is one undo step, named by the caller
// with the menu command's text.
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
  // The selected cells and the selected points, read only: change them through the
  // operations below.
  const SelectionList& SelectedCells() const { return Cells; }
  const SelectionList& SelectedPoints() const { return Points; }
  // Selects, withdraws or restores the current cell (one undo step "Select cell").
  void ToggleCurrentCell();
  // Selects, withdraws or restores the current point with the target typed in the fields (one
  // undo step "Select point").
  void ToggleCurrentPoint();
  // The marker of the current point with the current target and pointer radius.
  PointMarker BuildPointMarker() const;
  void OnClearSelectedPoints();
  // Replaces the selected cells by ids, as toggling each in order into an empty list would (an
  // ID given twice ends withdrawn), as one undo step named stepName; the current cell is
  // cleared as ClearSelectedCells does, then cell 0 becomes current, as after every import.
  // IDs outside the model are the caller's to leave out.
  void ReplaceSelectedCells(const std::vector<vtkIdType>& ids, const std::string& stepName);
  // Replaces the selected points by ids (toggled in order as above), as one undo step named
  // stepName (e.g. the menu text "Import points from IDs"). Each point's marker joins the
  // model point to targets[k], or to its own position when targets is empty, with the pointer
  // radius. The last ID becomes the current point, then cell 0 the current cell (as after
  // every import). Every ID must be a model point. The landmark imports call this one.
  void ReplaceSelectedPoints(const std::vector<vtkIdType>& ids,
                             const std::vector<std::array<float, 3>>& targets,
                             const std::string& stepName);
  // A new target for a selected point, as a re-selection with that target does (a withdrawn
  // point is restored with it): one undo step "Edit target".
  void SetSelectedPointTarget(int point, const float target[3]);
  // Withdraws or restores a selected point in its place (undo steps "Withdraw point",
  // "Restore point").
  void WithdrawSelectedPoint(int point);
  void RestoreSelectedPoint(int point);
  // The selected points with their targets as Export Points Transformations writes them (the
  // model's bounds block first); Refused, naming the point, when a selected point is not in the
  // model.
  Result FormatSelectedPointTransformations(std::string& text) const;
  // Index of the entry of id in a selection list, active or withdrawn; -1 when absent.
  vtkIdType FindSelectedCell(int cell) const;
  vtkIdType FindSelectedPoint(int point) const;

  // --- undo ---
  bool CanUndo() const { return History.CanUndo(); }
  bool CanRedo() const { return History.CanRedo(); }
  // The name of the step Undo / Redo would act on ("Import points from IDs"); "" when none.
  std::string UndoStepName() const { return History.UndoName(); }
  std::string RedoStepName() const { return History.RedoName(); }
  // Takes back the last step (or does again the last one taken back): the selection lists,
  // their markers and list boxes, the transform and the current cell and point return to what
  // they were. Like the other operations, they do not render: the command does.
  void Undo();
  void Redo();
  const UndoStack& UndoHistory() const { return History; }
  // Shows fit (taken over, as vtkShapeTransform::TakeFit) at fraction 0, as one undo step.
  void TakeFit(vtkShapeTransform* fit, const std::string& stepName);
  // Shows the model undeformed (fraction 0, the fit kept), as one undo step when it changes
  // what is shown; then renders.
  void ClearTransform(const std::string& stepName);

  // --- keys ---
  enum class Key { Space, Left, Up, Right, Down, W, X, Y, Z, Other };
  // Whether a key-down is taken from the focused control and handled here.
  bool InterceptsKey(Key key, bool viewFocused) const;
  // Acts on a key-down by the key table, then renders.
  void OnKeyDown(Key key);
  // Whether Ctrl is held: Space then selects the point instead of the cell.
  void SetCtrlDown(bool down) { CtrlDown = down ? 1 : 0; }
  bool IsCtrlDown() const { return CtrlDown != 0; }

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
  void MarkCellSelectionSaved() { Cells.MarkSaved(); }
  void MarkPointSelectionSaved() { Points.MarkSaved(); }

  // Shows the deformation of the last Transform at fraction (clamped to 0 to 1) of its full
  // displacement, from the cached displacements; nothing before a Transform.
  void ShowDeformation(float fraction);
  // --- seeing the deformation (DisplacementColours.cxx, FoldCheck.cxx) ---
  // Colours the model by how far each point moved at the share shown, with a legend; points
  // no centre reaches in grey, their count in the status bar. Off restores the cell-scalar
  // colours as they were. Without a Transform there is nothing to colour: a message says so.
  void SetDisplacementColours(bool on);
  bool DisplacementColoursShown() const { return DisplacementColours; }
  // Writes the displacement lengths of the shape the transform filter last made into its
  // output; runs after each execution of the filter while colouring by displacement.
  void UpdateDisplacementColours();
  // Counts the cells the shape shown has turned over against the model as read and says how
  // many in the status bar; the count replaces the folds known so far.
  void CheckFolds();
  // Takes folds found elsewhere (a Transform's check of its full deformation).
  void SetFoldedCells(std::vector<vtkIdType> cells, const std::string& where);
  // Makes the next folded cell the current cell, round and round.
  void NextFoldedCell();
  const std::vector<vtkIdType>& FoldedCells() const { return Folds; }
  // The frames and cycles the last Transform played: Export Animation writes those frames.
  int AnimationFrames = 0;
  int AnimationCycles = 0;

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

  vtkSmartPointer<vtkCellPicker> CellPicker;
  // Spatial index of the geometry as drawn, so a pick does not test every cell.
  vtkSmartPointer<vtkCellLocator> PickLocator;

  int CurrentCell = -1;
  int CurrentPoint = -1;
  float PointerRadius = 0.03f;
  int NoModel = 1;
  int ShowSolid = 1;
  double MinimumMarkerPixels = 0;

  // The auxiliary dialogs' values.
  MakeTransformDialog MakeTransformBox;
  SetRadiusDialog SetRadiusBox;
  AboutDialog AboutBox;

private:
  // Opens an undo step (nested calls join the outer one) and closes it: a step that changed
  // something goes to the history.
  void BeginStep(const std::string& name);
  void EndStep();
  class Step;
  // Undoes (undo) or redoes a step, then makes its cell and point current again.
  void ReplayStep(UndoStep& step, bool undo);
  void SwapTransform(UndoStep& step);
  UndoStep::Current CurrentNow() const;
  // Makes a step's cell and point current again, redrawing their highlight and fields.
  void ShowCurrent(const UndoStep::Current& current);
  void ClearHistory();

  void BuildModelPipeline();
  void UpdateUnreachedPoints();
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
  // The actors of the selections that are not empty, in drawing order.
  void AddSelectionActors();
  void UpdatePickLocator();
  void UpdateMarkerSizes();
  void RemoveHighlightIfActive();
  void ChooseHighlightedPointEntry();
  void BuildMarkers();
  void ConnectModel(vtkPolyData* model, const std::string& path);

  SelectionList Cells;
  SelectionList Points;
  UndoStack History;
  UndoStep Pending;
  int StepDepth = 0;
  int CtrlDown = 0;

public:
  // The selections' parts under the names they have always had, as read-only views into the
  // two lists; every change goes through the operations above.
  const vtkSmartPointer<vtkIdList>& SelectedCellIds = Cells.HeldIds();
  const vtkSmartPointer<vtkSelectedCellsSource>& SelectedCellsAppend = Cells.HeldCellsSource();
  const vtkSmartPointer<vtkIdList>& SelectedPointIds = Points.HeldIds();
  const std::vector<PointMarker>& PointMarkers = Points.Markers();
  const vtkSmartPointer<vtkPointMarkerSource>& PointMarkersAppend = Points.HeldMarkersSource();
  const vtkSmartPointer<vtkPointMarkerSource>& HighlightAppend = Points.HeldHighlightSource();
  const int& HighlightedPoint = Points.HeldHighlightedPoint();
};

} // namespace selvane
