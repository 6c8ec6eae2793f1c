#pragma once

#include "SelectionList.h"

#include <vtkSmartPointer.h>

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace selvane {

class vtkShapeTransform;

// One undoable step: what a user's command changed in the two selection lists (entry changes,
// or shared snapshots of whole lists), in the shape transform (the fit and the fraction shown
// that the step replaced), and which cell and point were current before and after it.
struct UndoStep {
  std::string Name; // the command's menu text, e.g. "Import points from IDs"
  std::vector<SelectionChange> CellChanges, PointChanges;
  // The transform's other state: before the step while it is done, after it while undone.
  // Undo and redo swap it with the transform's own.
  bool FitChanged = false;
  bool FractionChanged = false;
  vtkSmartPointer<vtkShapeTransform> OtherFit;
  float OtherFraction = 0;
  // The current cell and point, with the target and position the fields showed.
  struct Current {
    int Cell = -1, Point = -1;
    float Target[3] = {0, 0, 0}, Position[3] = {0, 0, 0};
  };
  Current Before, After;

  bool Empty() const {
    return CellChanges.empty() && PointChanges.empty() && !FitChanged && !FractionChanged;
  }
};

// The undo history: the steps done, oldest first, and those undone, ready to be redone. Holds
// at most Limit steps; the oldest are dropped beyond it. A new step drops the undone ones.
// Knows nothing of the window: the viewer applies the steps, the window shows the names.
class UndoStack {
public:
  static constexpr std::size_t DefaultLimit = 128;
  explicit UndoStack(std::size_t limit = DefaultLimit) : Limit(limit) {}

  void Push(UndoStep step);
  void Clear();

  bool CanUndo() const { return Done > 0; }
  bool CanRedo() const { return Done < Steps.size(); }
  // The name of the step Undo / Redo would act on; "" when there is none.
  std::string UndoName() const;
  std::string RedoName() const;
  // The step to undo (moves it to the undone ones) or to redo; null when there is none.
  UndoStep* TakeUndo();
  UndoStep* TakeRedo();

  std::size_t Count() const { return Steps.size(); }
  std::size_t UndoCount() const { return Done; }
  // How many list entries the history keeps: one per entry change, and the size of each
  // distinct snapshot (a snapshot shared by several steps counts once).
  std::size_t KeptEntries() const;

private:
  std::size_t Limit;
  std::deque<UndoStep> Steps;
  std::size_t Done = 0; // Steps[0 .. Done) are done, the rest undone
};

} // namespace selvane
