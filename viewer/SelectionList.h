#pragma once

#include "PointMarker.h"
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

#include <vtkIdList.h>
#include <vtkSmartPointer.h>
#include <vtkType.h>

#include <memory>
#include <unordered_map>
#include <vector>

class vtkPolyData;

namespace selvane {

class WindowingLayer;

// One entry of a selection list: the ID, -2 - ID while withdrawn, and for a point its marker.
struct SelectionEntry {
  vtkIdType Id = 0;
  PointMarker Marker;
};

// What a selection list holds at one moment. Immutable once made: the undo steps that refer
// to the same moment share one.
struct SelectionState {
  std::vector<vtkIdType> Entries;   // withdrawn entries as -2 - ID
  std::vector<PointMarker> Markers; // points: one per entry; cells: empty
};
using SelectionSnapshot = std::shared_ptr<const SelectionState>;

// One recorded change of a list, which an undo step replays backwards or forwards: either one
// entry changed in place (or was appended), or the whole list was replaced.
struct SelectionChange {
  vtkIdType Index = -1; // -1: the whole list (WholeBefore -> WholeAfter)
  bool Appended = false;
  SelectionEntry Before, After;
  SelectionSnapshot WholeBefore, WholeAfter;
};

// A selection list: the selected cells or the selected points. It owns the IDs in selection
// order with the withdrawn ones in their place, the index of each ID in the list, the points'
// markers (position, target, radius), the source that draws the active entries, and (points)
// the highlighted marker of the current point. Every operation leaves its list box (through
// the WindowingLayer: one entry per active ID) and the drawing source consistent with the
// IDs, and tells the window that the list changed (WindowingLayer::SelectionChanged).
//
// Nothing outside the list writes its state: the viewer's MainDialog calls these operations
// and records them for undo.
class SelectionList {
public:
  enum class Kind { Cells, Points };

  SelectionList(Kind kind, WindowingLayer& windowing, int listBox);
  ~SelectionList();
  SelectionList(const SelectionList&) = delete;
  SelectionList& operator=(const SelectionList&) = delete;

  static constexpr vtkIdType WithdrawnEntry(vtkIdType id) { return -2 - id; }
  static constexpr vtkIdType IdOf(vtkIdType entry) { return entry >= 0 ? entry : -2 - entry; }

  // --- reading ---
  Kind ListKind() const { return ListKindValue; }
  int ListBox() const { return ListBoxId; }
  // The entries in selection order, withdrawn ones as -2 - ID (read only).
  vtkIdList* Ids() const { return IdList; }
  vtkIdType Size() const;
  // Where id stands in the list, active or withdrawn; -1 when absent.
  vtkIdType Find(vtkIdType id) const;
  bool IsActive(vtkIdType id) const;
  bool IsWithdrawn(vtkIdType id) const;
  vtkIdType Entry(vtkIdType index) const;
  // Points: the marker of each entry, same index.
  const std::vector<PointMarker>& Markers() const { return MarkerList; }
  // Cells: draws the active entries' cells with the model's points.
  vtkSelectedCellsSource* CellsSource() const { return Cells; }
  // Points: draws the markers of the active entries, each held under its index.
  vtkPointMarkerSource* MarkersSource() const { return MarkerDrawing; }
  // Points: draws the marker of the highlighted (current, active) point.
  vtkPointMarkerSource* HighlightSource() const { return Highlight; }
  // The point last highlighted; keeps its value when that point is withdrawn.
  int HighlightedPoint() const { return Highlighted; }
  // The same parts as held, for views that outlive a Replace (the dialog's named members).
  const vtkSmartPointer<vtkIdList>& HeldIds() const { return IdList; }
  const vtkSmartPointer<vtkSelectedCellsSource>& HeldCellsSource() const { return Cells; }
  const vtkSmartPointer<vtkPointMarkerSource>& HeldMarkersSource() const { return MarkerDrawing; }
  const vtkSmartPointer<vtkPointMarkerSource>& HeldHighlightSource() const { return Highlight; }
  const int& HeldHighlightedPoint() const { return Highlighted; }

  // --- operations (each keeps list box and drawing consistent) ---
  // Appends id as a new active entry with its marker (points); nothing when id is listed.
  void Select(vtkIdType id, const PointMarker& marker = {});
  // Withdraws an active entry in its place; nothing otherwise.
  void Withdraw(vtkIdType id);
  // Restores a withdrawn entry in its place with its old marker; nothing otherwise.
  void Restore(vtkIdType id);
  // Gives a listed entry a new marker (a re-selection with another target): an active entry is
  // drawn again with it, a withdrawn one is restored with it.
  void SetMarker(vtkIdType id, const PointMarker& marker);
  // Empties the list.
  void Clear();
  // Makes the list what toggling ids in order into an empty list gives: an ID given twice ends
  // withdrawn, a third time restored (with the marker of its last occurrence when that
  // marker's target differs). markers: one per id for points, ignored for cells. One change,
  // however many IDs.
  void Replace(const std::vector<vtkIdType>& ids, const std::vector<PointMarker>& markers = {});
  // The list as it is now; shared until the list changes.
  SelectionSnapshot Snapshot() const;
  // Makes the list what snapshot holds.
  void Restore(const SelectionSnapshot& snapshot);

  // --- the highlighted point (points) ---
  // Highlights the active point id, removing the highlight of the previous one.
  void MoveHighlightTo(vtkIdType id);
  // Removes the highlight when it is on an active point; false when there was none.
  bool RemoveHighlightIfActive();
  // Drops the highlight altogether (and forgets the highlighted point).
  void ClearHighlight();

  // The model whose cells the cells source draws.
  void SetModel(vtkPolyData* model);

  // --- changes since the last export or import ---
  void CountChange() { ++Changes; }
  void MarkSaved() { Saved = Changes; }
  // Changed since it was last saved, and holds entries.
  bool HasUnsavedChanges() const;

  // --- undo ---
  // While journal is set, every change is appended to it.
  void RecordInto(std::vector<SelectionChange>* journal) { Journal = journal; }
  // Replays a recorded change backwards (undo) or forwards (redo).
  void Apply(const SelectionChange& change, bool undo);

private:
  void AppendEntry(const SelectionEntry& entry);
  void PopEntry();
  void SetEntry(vtkIdType index, const SelectionEntry& entry);
  void SetAll(const SelectionState& state, const std::vector<vtkIdType>* drawOrder = nullptr);
  void Draw(vtkIdType index);
  void Undraw(vtkIdType index);
  void Changed(vtkIdType index);
  SelectionEntry EntryAt(vtkIdType index) const;

  Kind ListKindValue;
  WindowingLayer& Windowing;
  int ListBoxId;
  vtkSmartPointer<vtkIdList> IdList;
  std::vector<PointMarker> MarkerList;
  std::unordered_map<vtkIdType, vtkIdType> Index;
  vtkSmartPointer<vtkSelectedCellsSource> Cells;
  vtkSmartPointer<vtkPointMarkerSource> MarkerDrawing;
  vtkSmartPointer<vtkPointMarkerSource> Highlight;
  int Highlighted = -1;
  mutable SelectionSnapshot Cached;
  std::vector<SelectionChange>* Journal = nullptr;
  unsigned long Changes = 0, Saved = 0;
};

} // namespace selvane
