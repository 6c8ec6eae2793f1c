#pragma once

#include <vtkType.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

namespace selvane {

class FakeWindowing;
class MainDialog;

// Everything a user can see of the two selection lists: the entries, the markers, what the
// sources draw, the list boxes with their chosen entries, the current cell and point and the
// target fields. Undo tests compare it before a change and after its undo.
struct SelectionsShown {
  std::vector<vtkIdType> CellEntries, PointEntries;
  std::vector<std::array<float, 7>> Markers;                           // position, target, radius
  std::vector<vtkIdType> DrawnCells, DrawnMarkers, HighlightedMarkers; // sorted
  std::vector<std::string> CellBox, PointBox;
  std::string CellBoxChoice, PointBoxChoice;
  int CurrentCell = -1, CurrentPoint = -1;
  std::array<std::string, 3> TargetFields;

  static SelectionsShown Of(const MainDialog& dialog, const FakeWindowing& windowing);
  bool operator==(const SelectionsShown& other) const;
  bool operator!=(const SelectionsShown& other) const { return !(*this == other); }
};

// For test failure messages.
void PrintTo(const SelectionsShown& shown, std::ostream* os);

} // namespace selvane
