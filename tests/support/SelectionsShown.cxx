#include "SelectionsShown.h"

#include "ControlIds.h"
#include "FakeWindowing.h"
#include "MainDialog.h"

#include <algorithm>
#include <tuple>

namespace selvane {

namespace {

template <typename T> std::vector<T> Sorted(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values;
}

auto Tied(const SelectionsShown& s) {
  return std::tie(s.CellEntries, s.PointEntries, s.Markers, s.DrawnCells, s.DrawnMarkers,
                  s.HighlightedMarkers, s.CellBox, s.PointBox, s.CellBoxChoice, s.PointBoxChoice,
                  s.CurrentCell, s.CurrentPoint, s.TargetFields);
}

template <typename T> void PrintList(std::ostream& os, const char* name, const std::vector<T>& v) {
  os << name << " {";
  for (const T& value : v)
    os << ' ' << value;
  os << " } ";
}

} // namespace

SelectionsShown SelectionsShown::Of(const MainDialog& dialog, const FakeWindowing& windowing) {
  SelectionsShown shown;
  const SelectionList& cells = dialog.SelectedCells();
  const SelectionList& points = dialog.SelectedPoints();
  shown.CellEntries.assign(cells.Ids()->begin(), cells.Ids()->end());
  shown.PointEntries.assign(points.Ids()->begin(), points.Ids()->end());
  for (const PointMarker& m : points.Markers())
    shown.Markers.push_back({m.Position[0], m.Position[1], m.Position[2], m.Target[0], m.Target[1],
                             m.Target[2], m.Radius});
  shown.DrawnCells = Sorted(cells.CellsSource()->GetSelectedCells());
  shown.DrawnMarkers = Sorted(points.MarkersSource()->GetMarkerKeys());
  shown.HighlightedMarkers = Sorted(points.HighlightSource()->GetMarkerKeys());
  shown.CellBox = windowing.ListBoxes.at(SelectedCellsList);
  shown.PointBox = windowing.ListBoxes.at(SelectedPointsList);
  shown.CellBoxChoice = windowing.SelectedListBoxText(SelectedCellsList);
  shown.PointBoxChoice = windowing.SelectedListBoxText(SelectedPointsList);
  shown.CurrentCell = dialog.CurrentCell;
  shown.CurrentPoint = dialog.CurrentPoint;
  for (int k = 0; k < 3; ++k)
    shown.TargetFields[k] = windowing.FieldTexts.at(TargetXField + k);
  return shown;
}

bool SelectionsShown::operator==(const SelectionsShown& other) const {
  return Tied(*this) == Tied(other);
}

void PrintTo(const SelectionsShown& s, std::ostream* os) {
  PrintList(*os, "cells", s.CellEntries);
  PrintList(*os, "points", s.PointEntries);
  *os << "targets {";
  for (const auto& m : s.Markers)
    *os << " (" << m[3] << ' ' << m[4] << ' ' << m[5] << " r" << m[6] << ')';
  *os << " } ";
  PrintList(*os, "drawn cells", s.DrawnCells);
  PrintList(*os, "drawn markers", s.DrawnMarkers);
  PrintList(*os, "highlight", s.HighlightedMarkers);
  PrintList(*os, "cell box", s.CellBox);
  PrintList(*os, "point box", s.PointBox);
  *os << "chosen '" << s.CellBoxChoice << "' '" << s.PointBoxChoice << "' current " << s.CurrentCell
      << '/' << s.CurrentPoint << " fields " << s.TargetFields[0] << ' ' << s.TargetFields[1] << ' '
      << s.TargetFields[2];
}

} // namespace selvane
