#include "UndoStack.h"

#include "vtkShapeTransform.h"

#include <unordered_set>

namespace selvane {

void UndoStack::Push(UndoStep step) {
  Steps.resize(Done);
  Steps.push_back(std::move(step));
  while (Steps.size() > Limit)
    Steps.pop_front();
  Done = Steps.size();
}

void UndoStack::Clear() {
  Steps.clear();
  Done = 0;
}

std::string UndoStack::UndoName() const {
  return CanUndo() ? Steps[Done - 1].Name : std::string();
}

std::string UndoStack::RedoName() const {
  return CanRedo() ? Steps[Done].Name : std::string();
}

UndoStep* UndoStack::TakeUndo() {
  return CanUndo() ? &Steps[--Done] : nullptr;
}

UndoStep* UndoStack::TakeRedo() {
  return CanRedo() ? &Steps[Done++] : nullptr;
}

std::size_t UndoStack::KeptEntries() const {
  std::size_t kept = 0;
  std::unordered_set<const SelectionState*> seen;
  for (const UndoStep& step : Steps)
    for (const auto* changes : {&step.CellChanges, &step.PointChanges})
      for (const SelectionChange& change : *changes) {
        if (change.Index >= 0) {
          ++kept;
          continue;
        }
        for (const SelectionState* state : {change.WholeBefore.get(), change.WholeAfter.get()})
          if (state && seen.insert(state).second)
            kept += state->Entries.size();
      }
  return kept;
}

} // namespace selvane
