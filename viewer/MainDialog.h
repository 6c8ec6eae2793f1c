#pragma once

#include "AuxiliaryDialogs.h"
#include "Inspection.h"
#include "ModelScene.h"
#include "PointMarker.h"
#include "Result.h"
#include "SelectionList.h"
#include "UndoStack.h"
#include "WindowingLayer.h"

#include <vtkSmartPointer.h>
#include <vtkType.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

class vtkActor;
class vtkAlgorithmOutput;
class vtkCellLocator;
class vtkCellPicker;
class vtkFollower;
class vtkIdList;
class vtkLookupTable;
class vtkPoints;
class vtkPolyData;
class vtkPolyDataMapper;
class vtkRenderer;
class vtkRenderWindow;
class vtkRenderWindowInteractor;
class vtkSphereSource;
class vtkTransformPolyDataFilter;

namespace selvane {

class vtkPointMarkerSource;
class vtkScaledAxes;
class vtkSelectedCellsSource;
class vtkShapeTransform;

// The main window's state, as a facade over its owners: the model and everything drawn of it
// (ModelScene), the current cell and point (Inspection), the two selection lists
// (SelectionList) and the undo history. Command handlers of the other subsystems act on that
// state only through its operations; every user-level change of a selection or of the
// transform is one undo step, named by the caller with the menu command's text.
class MainDialog {
public:
  explicit MainDialog(WindowingLayer& windowing);
  ~MainDialog();
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // --- scene and model (model scene) ---
  void InitializeView() { Scene.InitializeView(); }
  void ShowNoData() { Scene.ShowNoData(); }
  void OpenModel();
  // Opens the model at path as Open Model does after its prompt; false if it was refused.
  bool OpenModelFile(const std::string& path);
  void RebuildScene(bool includeModel) { Scene.RebuildScene(includeModel); }
  void ClearSelectedCells();
  void ClearSelectedPoints();
  // Empties the renderer's props and rebuilds the scene with the model.
  void RefreshScene() { Scene.RefreshScene(); }
  void Render() { Scene.Render(); }

  // --- current cell and point, picking, list-box choices ---
  void SetCurrentPoint(int point) { Walk.SetCurrentPoint(point); }
  void SetCurrentCell(int cell, int position) { Walk.SetCurrentCell(cell, position); }
  void PickAt(int x, int y) { Walk.PickAt(x, y); }
  // PickAt without its closing render.
  void PickCellAt(int x, int y) { Walk.PickCellAt(x, y); }
  void NextPointInCell() { Walk.NextPointInCell(); }
  void PreviousPointInCell() { Walk.PreviousPointInCell(); }
  void CrossForwardEdge() { Walk.CrossForwardEdge(); }
  void CrossBackwardEdge() { Walk.CrossBackwardEdge(); }
  // A user's choice in one of the five list boxes.
  void OnListBoxSelection(int list) { Walk.OnListBoxSelection(list); }

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
  PointMarker BuildPointMarker() const { return Walk.BuildPointMarker(); }
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
  void SetCtrlDown(bool down) { Walk.SetCtrlDown(down); }
  bool IsCtrlDown() const { return Walk.IsCtrlDown(); }

  // --- axes and display commands ---
  // Builds the axes along the model's bounding box and their four labels.
  void BuildAxes(const double bounds[6]) { Scene.BuildAxes(bounds); }
  void OnWireframeSolid() { Scene.OnWireframeSolid(); }
  void OnScreenShot() { Scene.OnScreenShot(); }
  void OnSetPointer();
  void ApplyPointerRadius();
  // From now on markers and the pointing sphere are drawn at least this many pixels wide
  // (their radii are kept), and the current and selected cells are outlined. The window turns
  // it on; the scene without it is the plain one.
  void KeepMarkersVisible(double pixels) { Scene.KeepMarkersVisible(pixels); }
  // Whether a selection list was changed since it was last written to or read from a file
  // (only a list that holds entries counts): the window asks before it closes on such
  // changes. The file commands mark a list saved after a successful export or an import.
  bool HasUnsavedSelections() const;
  void MarkCellSelectionSaved() { Cells.MarkSaved(); }
  void MarkPointSelectionSaved() { Points.MarkSaved(); }

  // Shows the deformation of the last Transform at fraction (clamped to 0 to 1) of its full
  // displacement, from the cached displacements; nothing before a Transform.
  void ShowDeformation(float fraction) { Scene.ShowDeformation(fraction); }
  // --- seeing the deformation (DisplacementColours.cxx, FoldCheck.cxx) ---
  // Colours the model by how far each point moved at the share shown, with a legend; points
  // no centre reaches in grey, their count in the status bar. Off restores the cell-scalar
  // colours as they were. Without a Transform there is nothing to colour: a message says so.
  void SetDisplacementColours(bool on) { Scene.SetDisplacementColours(on); }
  bool DisplacementColoursShown() const { return Scene.DisplacementColoursShown(); }
  // Writes the displacement lengths of the shape the transform filter last made into its
  // output; runs after each execution of the filter while colouring by displacement.
  void UpdateDisplacementColours() { Scene.UpdateDisplacementColours(); }
  // Counts the cells the shape shown has turned over against the model as read and says how
  // many in the status bar; the count replaces the folds known so far.
  void CheckFolds() { Scene.CheckFolds(); }
  // Takes folds found elsewhere (a Transform's check of its full deformation).
  void SetFoldedCells(std::vector<vtkIdType> cells, const std::string& where) {
    Scene.SetFoldedCells(std::move(cells), where);
  }
  // Makes the next folded cell the current cell, round and round.
  void NextFoldedCell();
  const std::vector<vtkIdType>& FoldedCells() const { return Scene.FoldedCells(); }
  // The frames and cycles the last Transform played: Export Animation writes those frames.
  void RememberAnimation(int frames, int cycles) { Scene.RememberAnimation(frames, cycles); }
  // One frame of an animation: the deformation at fraction, rendered, without a fold check.
  void ShowAnimationFrame(float fraction) { Scene.ShowFraction(fraction); }

  // Frames everything shown, from the current viewing direction.
  void ResetCamera() { Scene.ResetCamera(); }
  // Looks at everything shown from the +axis (sign > 0) or -axis side; axis 0, 1, 2: X, Y, Z.
  void ViewAlong(int axis, int sign) { Scene.ViewAlong(axis, sign); }

  // --- file prompt ---
  bool PromptFileName(std::string& path, const std::string& title, unsigned flags,
                      const std::vector<FileFilter>& filter, const std::string& defaultExtension,
                      bool openMode);

  // The model as read (the reader's output); null before the first model.
  vtkPolyData* Model() const { return Scene.Model(); }
  // The end of the model pipeline, which the model's mapper draws.
  vtkAlgorithmOutput* ModelPipelineEnd() const { return Scene.ModelPipelineEnd(); }

  WindowingLayer& Windowing;

  // Shows the Make Transform box, whose OK fits the selected points (fromSelectedPoints) or
  // the pairs of a file.
  void ShowMakeTransform(bool fromSelectedPoints);
  // A support radius the box offers, with a note saying where it comes from.
  void SuggestSupportRadius(float radius, const std::string& note);

  // The auxiliary dialogs' values, which the window system exchanges with their fields.
  MakeTransformDialog MakeTransformBox;
  SetRadiusDialog SetRadiusBox;
  AboutDialog AboutBox;

private:
  // Opens an undo step (nested calls join the outer one) and closes it: a step that changed
  // something goes to the history.
  void BeginStep(const std::string& name);
  void EndStep();
  // Undoes (undo) or redoes a step, then makes its cell and point current again.
  void ReplayStep(UndoStep& step, bool undo);
  void ClearHistory();
  void ChooseHighlightedPointEntry();

  SelectionList Cells;
  SelectionList Points;
  ModelScene Scene;
  Inspection Walk;
  UndoStack History;
  UndoStep Pending;
  int StepDepth = 0;

public:
  // Each piece of the state under the name it has always had, as a read-only view into its
  // owner; every change goes through the operations above.
  const vtkSmartPointer<vtkIdList>& SelectedCellIds = Cells.HeldIds();
  const vtkSmartPointer<vtkSelectedCellsSource>& SelectedCellsAppend = Cells.HeldCellsSource();
  const vtkSmartPointer<vtkIdList>& SelectedPointIds = Points.HeldIds();
  const std::vector<PointMarker>& PointMarkers = Points.Markers();
  const vtkSmartPointer<vtkPointMarkerSource>& PointMarkersAppend = Points.HeldMarkersSource();
  const vtkSmartPointer<vtkPointMarkerSource>& HighlightAppend = Points.HeldHighlightSource();
  const int& HighlightedPoint = Points.HeldHighlightedPoint();

  const int& CurrentCell = Walk.State().CurrentCell;
  const int& CurrentPoint = Walk.State().CurrentPoint;
  const float (&TargetPosition)[3] = Walk.State().TargetPosition;
  const float (&CurrentPosition)[3] = Walk.State().CurrentPosition;
  const vtkSmartPointer<vtkCellPicker>& CellPicker = Walk.State().CellPicker;
  const vtkSmartPointer<vtkCellLocator>& PickLocator = Walk.State().PickLocator;

  const vtkSmartPointer<vtkRenderer>& Renderer = Scene.State().Renderer;
  vtkRenderWindow* const& RenderWindow = Scene.State().RenderWindow;
  vtkRenderWindowInteractor* const& Interactor = Scene.State().Interactor;
  const vtkSmartPointer<vtkHeldModelSource>& ModelReader = Scene.State().ModelReader;
  const std::string& ModelFileName = Scene.State().ModelFileName;
  const vtkSmartPointer<vtkShapeTransform>& ShapeTransform = Scene.State().ShapeTransform;
  const vtkSmartPointer<vtkTransformPolyDataFilter>& TransformFilter =
      Scene.State().TransformFilter;
  const vtkSmartPointer<vtkPolyDataMapper>& ModelMapper = Scene.State().ModelMapper;
  const vtkSmartPointer<vtkLookupTable>& ModelLookupTable = Scene.State().ModelLookupTable;
  const vtkSmartPointer<vtkActor>& ModelActor = Scene.State().ModelActor;
  const vtkSmartPointer<vtkPoints>& ModelPoints = Scene.State().ModelPoints;
  const vtkSmartPointer<vtkSphereSource>& PointingSphere = Scene.State().PointingSphere;
  const vtkSmartPointer<vtkPolyDataMapper>& PointingSphereMapper =
      Scene.State().PointingSphereMapper;
  const vtkSmartPointer<vtkActor>& PointingSphereActor = Scene.State().PointingSphereActor;
  const vtkSmartPointer<vtkPolyData>& CurrentCellPoly = Scene.State().CurrentCellPoly;
  const vtkSmartPointer<vtkPolyDataMapper>& CurrentCellMapper = Scene.State().CurrentCellMapper;
  const vtkSmartPointer<vtkActor>& CurrentCellActor = Scene.State().CurrentCellActor;
  const vtkSmartPointer<vtkPolyDataMapper>& PointMarkersMapper = Scene.State().PointMarkersMapper;
  const vtkSmartPointer<vtkActor>& PointMarkersActor = Scene.State().PointMarkersActor;
  const vtkSmartPointer<vtkPolyDataMapper>& HighlightMapper = Scene.State().HighlightMapper;
  const vtkSmartPointer<vtkActor>& HighlightActor = Scene.State().HighlightActor;
  const vtkSmartPointer<vtkPolyDataMapper>& SelectedCellsMapper = Scene.State().SelectedCellsMapper;
  const vtkSmartPointer<vtkActor>& SelectedCellsActor = Scene.State().SelectedCellsActor;
  const vtkSmartPointer<vtkScaledAxes>& Axes = Scene.State().Axes;
  const vtkSmartPointer<vtkActor>& AxesActor = Scene.State().AxesActor;
  const vtkSmartPointer<vtkFollower>& OriginLabel = Scene.State().OriginLabel;
  const vtkSmartPointer<vtkFollower>& XLabel = Scene.State().XLabel;
  const vtkSmartPointer<vtkFollower>& YLabel = Scene.State().YLabel;
  const vtkSmartPointer<vtkFollower>& ZLabel = Scene.State().ZLabel;
  const int& HasAxes = Scene.State().HasAxes;
  const unsigned long& LabelPlacerTag = Scene.State().LabelPlacerTag;
  const float& PointerRadius = Scene.State().PointerRadius;
  const int& NoModel = Scene.State().NoModel;
  const int& ShowSolid = Scene.State().ShowSolid;
  const double& MinimumMarkerPixels = Scene.State().MinimumMarkerPixels;
  const int& AnimationFrames = Scene.State().AnimationFrames;
  const int& AnimationCycles = Scene.State().AnimationCycles;
};

} // namespace selvane
