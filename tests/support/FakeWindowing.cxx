#include "FakeWindowing.h"

#include "ControlIds.h"
#include "Locales.h"

#include <vtkCallbackCommand.h>
#include <vtkCommand.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace selvane {

namespace {
bool IsSorted(int list) {
  return list != CellPointsList;
}

std::string FormatField(float value) {
  // As the Qt fields show numbers: with a decimal point, whatever the locale.
  const test::ClassicNumbers classic;
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}
} // namespace

std::set<int> StartUpMenuItems() {
  return {CmdOpenModel, CmdExit, CmdClearSelectedPoints, CmdSetPointer, CmdAbout};
}

FakeWindowing::FakeWindowing(int width, int height) : EnabledMenuItems(StartUpMenuItems()) {
  for (int list :
       {SelectedCellsList, CellPointsList, SelectedPointsList, CellNeighborsList, PointCellsList}) {
    ListBoxes[list];
    ListSelection[list] = -1;
  }
  for (int field = CurrentXField; field <= TargetZField; ++field)
    FieldTexts[field] = "0";
  Display = std::make_unique<test::XDisplayConnection>();
  Window = vtkSmartPointer<vtkRenderWindow>::New();
  Window->SetDisplayId(Display->Handle());
  Window->SetOffScreenRendering(1);
  Window->SetSize(width, height);
  Interactor = vtkSmartPointer<vtkRenderWindowInteractor>::New();
  Interactor->SetRenderWindow(Window);
  RenderCounter = vtkSmartPointer<vtkCallbackCommand>::New();
  RenderCounter->SetClientData(&Renders);
  RenderCounter->SetCallback(
      [](vtkObject*, unsigned long, void* count, void*) { ++*static_cast<int*>(count); });
  Window->AddObserver(vtkCommand::EndEvent, RenderCounter);
}

FakeWindowing::~FakeWindowing() {
  Window->RemoveObserver(RenderCounter);
  // The window may outlive this fake in a test's hands; it lets go of the connection closed
  // next, and would open one of its own if drawn again.
  Window->Finalize();
  Window->SetDisplayId(nullptr);
}

void FakeWindowing::ClearListBox(int list) {
  ListBoxes.at(list).clear();
  ListSelection[list] = -1;
}

void FakeWindowing::AddListBoxText(int list, const std::string& text) {
  auto& entries = ListBoxes.at(list);
  if (IsSorted(list))
    entries.insert(std::upper_bound(entries.begin(), entries.end(), text), text);
  else
    entries.push_back(text);
}

void FakeWindowing::FillListBox(int list, const std::vector<std::string>& texts) {
  auto& entries = ListBoxes.at(list);
  entries = texts;
  if (IsSorted(list))
    std::stable_sort(entries.begin(), entries.end());
  ListSelection[list] = -1;
}

int FakeWindowing::FindListBoxText(int list, const std::string& text) const {
  const auto& entries = ListBoxes.at(list);
  auto found = std::find(entries.begin(), entries.end(), text);
  return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
}

void FakeWindowing::SelectListBoxEntry(int list, int index) {
  const int count = static_cast<int>(ListBoxes.at(list).size());
  ListSelection[list] = (index >= 0 && index < count) ? index : -1;
}

void FakeWindowing::DeleteListBoxEntry(int list, int index) {
  auto& entries = ListBoxes.at(list);
  if (index < 0 || index >= static_cast<int>(entries.size()))
    return;
  entries.erase(entries.begin() + index);
  int& selected = ListSelection[list];
  if (selected == index)
    selected = -1;
  else if (selected > index)
    --selected;
}

std::string FakeWindowing::SelectedListBoxText(int list) const {
  const int selected = ListSelection.at(list);
  return selected < 0 ? std::string() : ListBoxes.at(list)[selected];
}

void FakeWindowing::WriteCoordinateFields(const float target[3], const float current[3]) {
  for (int i = 0; i < 3; ++i) {
    FieldTexts[TargetXField + i] = FormatField(target[i]);
    FieldTexts[CurrentXField + i] = FormatField(current[i]);
  }
}

bool FakeWindowing::ReadCoordinateFields(float target[3], float current[3]) {
  const int fields[6] = {TargetXField,  TargetYField,  TargetZField,
                         CurrentXField, CurrentYField, CurrentZField};
  float* destinations[6] = {&target[0],  &target[1],  &target[2],
                            &current[0], &current[1], &current[2]};
  for (int i = 0; i < 6; ++i) {
    // As the Qt fields read numbers: with a decimal point, whatever the locale, blanks
    // around the number ignored; a field without one is focused with its text selected.
    const std::string& text = FieldTexts[fields[i]];
    const char* first = text.c_str();
    const char* last = first + text.size();
    while (first != last && std::isspace(static_cast<unsigned char>(*first)))
      ++first;
    while (last != first && std::isspace(static_cast<unsigned char>(last[-1])))
      --last;
    if (first != last && *first == '+')
      ++first;
    float value = 0;
    const auto read = std::from_chars(first, last, value);
    if (first == last || read.ec != std::errc() || read.ptr != last) {
      Messages.push_back("Please enter a number.");
      FocusedControl = fields[i];
      TextSelectedField = fields[i];
      return false;
    }
    *destinations[i] = value;
  }
  return true;
}

bool FakeWindowing::AskFileName(const FilePromptRequest& request, std::string& chosen) {
  Prompts.push_back(request);
  if (FileAnswers.empty() || !FileAnswers.front()) {
    if (!FileAnswers.empty())
      FileAnswers.pop_front();
    return false;
  }
  chosen = *FileAnswers.front();
  FileAnswers.pop_front();
  return true;
}

vtkRenderWindow* FakeWindowing::ViewRenderWindow() {
  return Window;
}

vtkRenderWindowInteractor* FakeWindowing::ViewInteractor() {
  return Interactor;
}

namespace {

class FakeProgress : public WorkProgress {
public:
  FakeProgress(std::vector<std::string>& stages, const std::string& cancelAt)
      : Stages(stages), CancelAt(cancelAt) {}
  void Stage(const std::string& stage) override {
    Stages.push_back(stage);
    Cancelled = Cancelled || (!CancelAt.empty() && stage == CancelAt);
  }
  bool CancelRequested() const override { return Cancelled; }
  bool Cancelled = false;

private:
  std::vector<std::string>& Stages;
  const std::string& CancelAt;
};

} // namespace

void FakeWindowing::RunInBackground(BackgroundJob job) {
  FakeProgress progress(Stages, CancelAtStage);
  job.Work(progress);
  job.Done(!progress.Cancelled);
}

} // namespace selvane
