#include "SelectionList.h"

#include "WindowingLayer.h"
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

#include <vtkIdList.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace selvane {

namespace {

bool SameTarget(const PointMarker& a, const PointMarker& b) {
  return a.Target[0] == b.Target[0] && a.Target[1] == b.Target[1] && a.Target[2] == b.Target[2];
}

} // namespace

SelectionList::SelectionList(Kind kind, WindowingLayer& windowing, int listBox)
    : ListKindValue(kind), Windowing(windowing), ListBoxId(listBox),
      IdList(vtkSmartPointer<vtkIdList>::New()) {
  if (kind == Kind::Cells) {
    Cells = vtkSmartPointer<vtkSelectedCellsSource>::New();
  } else {
    MarkerDrawing = vtkSmartPointer<vtkPointMarkerSource>::New();
    Highlight = vtkSmartPointer<vtkPointMarkerSource>::New();
  }
}

SelectionList::~SelectionList() = default;

vtkIdType SelectionList::Size() const {
  return IdList->GetNumberOfIds();
}

vtkIdType SelectionList::Find(vtkIdType id) const {
  auto found = Index.find(id);
  return found == Index.end() ? -1 : found->second;
}

vtkIdType SelectionList::Entry(vtkIdType index) const {
  return IdList->GetId(index);
}

bool SelectionList::IsActive(vtkIdType id) const {
  const vtkIdType i = Find(id);
  return i >= 0 && IdList->GetId(i) == id;
}

bool SelectionList::IsWithdrawn(vtkIdType id) const {
  const vtkIdType i = Find(id);
  return i >= 0 && IdList->GetId(i) != id;
}

SelectionEntry SelectionList::EntryAt(vtkIdType index) const {
  SelectionEntry entry;
  entry.Id = IdList->GetId(index);
  if (ListKindValue == Kind::Points)
    entry.Marker = MarkerList[index];
  return entry;
}

void SelectionList::SetModel(vtkPolyData* model) {
  if (Cells)
    Cells->SetInputData(model);
}

bool SelectionList::HasUnsavedChanges() const {
  return Changes != Saved && Size() > 0;
}

// ------------------------------------------------------------------ drawing and list box ----

void SelectionList::Draw(vtkIdType index) {
  const vtkIdType id = IdList->GetId(index);
  if (Cells)
    Cells->AddCell(id);
  else
    MarkerDrawing->AddMarker(index, MarkerList[index]);
  const std::string text = std::to_string(id);
  Windowing.AddListBoxText(ListBoxId, text);
  Windowing.SelectListBoxEntry(ListBoxId, Windowing.FindListBoxText(ListBoxId, text));
}

void SelectionList::Undraw(vtkIdType index) {
  const vtkIdType id = IdList->GetId(index);
  if (Cells) {
    Cells->RemoveCell(id);
  } else {
    MarkerDrawing->RemoveMarker(index);
    Highlight->RemoveMarker(index);
  }
  const int entry = Windowing.FindListBoxText(ListBoxId, std::to_string(id));
  if (entry >= 0)
    Windowing.DeleteListBoxEntry(ListBoxId, entry);
}

void SelectionList::Changed(vtkIdType index) {
  Windowing.SelectionChanged(ListBoxId, index);
}

// ------------------------------------------------------------------------ entry changes ----

void SelectionList::AppendEntry(const SelectionEntry& entry) {
  const vtkIdType index = Size();
  if (Journal)
    Journal->push_back({index, true, {}, entry, nullptr, nullptr});
  Cached.reset();
  Index[IdOf(entry.Id)] = index;
  IdList->InsertNextId(entry.Id);
  if (ListKindValue == Kind::Points)
    MarkerList.push_back(entry.Marker);
  if (entry.Id >= 0)
    Draw(index);
  Changed(index);
}

void SelectionList::PopEntry() {
  const vtkIdType index = Size() - 1;
  if (index < 0)
    return;
  Cached.reset();
  const vtkIdType entry = IdList->GetId(index);
  if (entry >= 0)
    Undraw(index);
  if (Highlighted == IdOf(entry))
    Highlighted = -1;
  Index.erase(IdOf(entry));
  // Keeps the memory: only the count shrinks.
  IdList->SetNumberOfIds(index);
  if (ListKindValue == Kind::Points)
    MarkerList.pop_back();
  Changed(index);
}

void SelectionList::SetEntry(vtkIdType index, const SelectionEntry& entry) {
  if (Journal)
    Journal->push_back({index, false, EntryAt(index), entry, nullptr, nullptr});
  Cached.reset();
  if (IdList->GetId(index) >= 0)
    Undraw(index);
  IdList->SetId(index, entry.Id);
  if (ListKindValue == Kind::Points)
    MarkerList[index] = entry.Marker;
  if (entry.Id >= 0)
    Draw(index);
  Changed(index);
}

void SelectionList::Select(vtkIdType id, const PointMarker& marker) {
  if (id < 0 || Find(id) >= 0)
    return;
  AppendEntry({id, marker});
}

void SelectionList::Withdraw(vtkIdType id) {
  const vtkIdType i = Find(id);
  if (i < 0 || IdList->GetId(i) != id)
    return;
  SelectionEntry entry = EntryAt(i);
  entry.Id = WithdrawnEntry(id);
  SetEntry(i, entry);
}

void SelectionList::Restore(vtkIdType id) {
  const vtkIdType i = Find(id);
  if (i < 0 || IdList->GetId(i) == id)
    return;
  SelectionEntry entry = EntryAt(i);
  entry.Id = id;
  SetEntry(i, entry);
}

void SelectionList::SetMarker(vtkIdType id, const PointMarker& marker) {
  const vtkIdType i = Find(id);
  if (i < 0 || ListKindValue != Kind::Points)
    return;
  SetEntry(i, {id, marker});
}

// ------------------------------------------------------------------------- whole lists ----

SelectionSnapshot SelectionList::Snapshot() const {
  if (!Cached) {
    auto state = std::make_shared<SelectionState>();
    state->Entries.assign(IdList->begin(), IdList->end());
    state->Markers = MarkerList;
    Cached = std::move(state);
  }
  return Cached;
}

void SelectionList::SetAll(const SelectionState& state, const std::vector<vtkIdType>* drawOrder) {
  const vtkIdType n = static_cast<vtkIdType>(state.Entries.size());
  IdList->SetNumberOfIds(n);
  std::copy(state.Entries.begin(), state.Entries.end(), IdList->begin());
  MarkerList = state.Markers;
  Index.clear();
  Index.reserve(state.Entries.size());
  for (vtkIdType i = 0; i < n; ++i)
    Index[IdOf(state.Entries[i])] = i;

  std::vector<std::string> texts;
  const auto drawEntry = [&](vtkIdType i) {
    const vtkIdType id = state.Entries[i];
    if (id < 0)
      return;
    if (Cells)
      Cells->AddCell(id);
    else
      MarkerDrawing->AddMarker(i, MarkerList[i]);
  };
  if (Cells) {
    Cells->RemoveAllCells();
  } else {
    MarkerDrawing->RemoveAllMarkers();
    Highlight->RemoveAllMarkers();
  }
  Highlighted = -1;
  if (drawOrder) {
    for (vtkIdType i : *drawOrder)
      drawEntry(i);
  } else {
    for (vtkIdType i = 0; i < n; ++i)
      drawEntry(i);
  }
  texts.reserve(state.Entries.size());
  for (vtkIdType id : state.Entries)
    if (id >= 0)
      texts.push_back(std::to_string(id));
  Windowing.SelectListBoxEntry(ListBoxId, -1);
  Windowing.FillListBox(ListBoxId, texts);
  Changed(-1);
}

void SelectionList::Clear() {
  if (Size() == 0) {
    // Nothing to record; the list box and the drawing are emptied all the same.
    Windowing.SelectListBoxEntry(ListBoxId, -1);
    Windowing.ClearListBox(ListBoxId);
    if (Cells) {
      Cells->RemoveAllCells();
    } else {
      MarkerDrawing->RemoveAllMarkers();
      Highlight->RemoveAllMarkers();
    }
    Highlighted = -1;
    return;
  }
  static const SelectionSnapshot empty = std::make_shared<SelectionState>();
  if (Journal)
    Journal->push_back({-1, false, {}, {}, Snapshot(), empty});
  SetAll(*empty);
  Cached = empty;
}

void SelectionList::Replace(const std::vector<vtkIdType>& ids,
                            const std::vector<PointMarker>& markers) {
  const bool points = ListKindValue == Kind::Points;
  auto state = std::make_shared<SelectionState>();
  std::unordered_map<vtkIdType, vtkIdType> where;
  where.reserve(ids.size());
  // When each entry was last made active: a restored entry is drawn last, as a toggle does.
  std::vector<std::uint64_t> activated;
  std::uint64_t clock = 0;
  for (std::size_t k = 0; k < ids.size(); ++k) {
    const vtkIdType id = ids[k];
    if (id < 0)
      continue;
    const PointMarker marker = points && k < markers.size() ? markers[k] : PointMarker{};
    auto [found, added] = where.emplace(id, static_cast<vtkIdType>(state->Entries.size()));
    if (added) {
      state->Entries.push_back(id);
      if (points)
        state->Markers.push_back(marker);
      activated.push_back(clock++);
      continue;
    }
    vtkIdType& entry = state->Entries[found->second];
    if (entry >= 0) {
      entry = WithdrawnEntry(id);
    } else {
      entry = id;
      if (points && !SameTarget(state->Markers[found->second], marker))
        state->Markers[found->second] = marker;
      activated[found->second] = clock++;
    }
  }
  std::vector<vtkIdType> order;
  for (vtkIdType i = 0; i < static_cast<vtkIdType>(state->Entries.size()); ++i)
    if (state->Entries[i] >= 0)
      order.push_back(i);
  std::sort(order.begin(), order.end(),
            [&](vtkIdType a, vtkIdType b) { return activated[a] < activated[b]; });

  SelectionSnapshot after = std::move(state);
  if (Journal)
    Journal->push_back({-1, false, {}, {}, Snapshot(), after});
  SetAll(*after, &order);
  Cached = after;
}

void SelectionList::Restore(const SelectionSnapshot& snapshot) {
  if (!snapshot)
    return;
  if (Journal)
    Journal->push_back({-1, false, {}, {}, Snapshot(), snapshot});
  SetAll(*snapshot);
  Cached = snapshot;
}

void SelectionList::Apply(const SelectionChange& change, bool undo) {
  std::vector<SelectionChange>* journal = Journal;
  Journal = nullptr;
  if (change.Index < 0) {
    const SelectionSnapshot& state = undo ? change.WholeBefore : change.WholeAfter;
    SetAll(*state);
    Cached = state;
  } else if (change.Appended) {
    if (undo)
      PopEntry();
    else
      AppendEntry(change.After);
  } else {
    SetEntry(change.Index, undo ? change.Before : change.After);
  }
  Journal = journal;
}

// ------------------------------------------------------------------- highlighted point ----

void SelectionList::MoveHighlightTo(vtkIdType id) {
  if (!Highlight)
    return;
  const vtkIdType old = Find(Highlighted);
  if (old >= 0 && IdList->GetId(old) == Highlighted) {
    Highlighted = -1;
    Highlight->RemoveMarker(old);
  }
  const vtkIdType i = Find(id);
  if (i < 0 || IdList->GetId(i) != id)
    return;
  Highlighted = static_cast<int>(id);
  Highlight->AddMarker(i, MarkerList[i]);
}

bool SelectionList::RemoveHighlightIfActive() {
  if (!Highlight)
    return false;
  const vtkIdType index = Find(Highlighted);
  if (index < 0 || IdList->GetId(index) != Highlighted)
    return false;
  Highlighted = -1;
  Highlight->RemoveMarker(index);
  return true;
}

void SelectionList::ClearHighlight() {
  if (Highlight)
    Highlight->RemoveAllMarkers();
  Highlighted = -1;
}

} // namespace selvane
