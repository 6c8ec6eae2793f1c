#pragma once

#include "WindowingLayer.h"
#include "XDisplayConnection.h"

#include <vtkSmartPointer.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class vtkCallbackCommand;

namespace selvane {

// A scriptable window system for driving the viewer without a real window: answers for
// file prompts are queued in advance; list boxes, fields, menu state, focus and messages
// are recorded. The 3-D view renders off screen.
class FakeWindowing : public WindowingLayer {
public:
  FakeWindowing(int width = 400, int height = 300);
  ~FakeWindowing() override;

  // The next file prompt answers with this path, or cancels with std::nullopt.
  void QueueFileAnswer(std::optional<std::string> path) { FileAnswers.push_back(std::move(path)); }

  std::map<int, std::vector<std::string>> ListBoxes;
  std::map<int, int> ListSelection; // -1: nothing selected
  std::map<int, std::string> FieldTexts;
  std::set<int> EnabledMenuItems;
  int FocusedControl = 0;
  int TextSelectedField = 0;
  std::vector<FilePromptRequest> Prompts;
  std::vector<std::string> Messages;
  std::vector<std::string> Statuses;
  std::vector<AuxiliaryDialog> ShownDialogs;
  std::vector<AuxiliaryDialog> RefreshedDialogs;
  int RenderCount() const { return Renders; }
  // RenderCount() at each presented frame.
  std::vector<int> PresentedFrames;

  void ClearListBox(int list) override;
  void AddListBoxText(int list, const std::string& text) override;
  int FindListBoxText(int list, const std::string& text) const override;
  void SelectListBoxEntry(int list, int index) override;
  void DeleteListBoxEntry(int list, int index) override;
  std::string SelectedListBoxText(int list) const override;
  void FillListBox(int list, const std::vector<std::string>& texts) override;
  void WriteCoordinateFields(const float target[3], const float current[3]) override;
  bool ReadCoordinateFields(float target[3], float current[3]) override;
  void EnableMenuItem(int command) override { EnabledMenuItems.insert(command); }
  void SetFocusTo(int control) override { FocusedControl = control; }
  void SelectAllText(int field) override { TextSelectedField = field; }
  bool AskFileName(const FilePromptRequest& request, std::string& chosen) override;
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void ShowStatus(const std::string& text) override { Statuses.push_back(text); }
  void ShowDialog(AuxiliaryDialog dialog) override { ShownDialogs.push_back(dialog); }
  void RefreshDialog(AuxiliaryDialog dialog) override { RefreshedDialogs.push_back(dialog); }
  vtkRenderWindow* ViewRenderWindow() override;
  vtkRenderWindowInteractor* ViewInteractor() override;
  void PresentFrame() override { PresentedFrames.push_back(Renders); }
  // Runs the work at once on this thread, then Done; cancels when the work reaches the stage
  // CancelAtStage names.
  void RunInBackground(BackgroundJob job) override;

  std::string CancelAtStage;
  // Stages the jobs reported, in order.
  std::vector<std::string> Stages;

private:
  std::deque<std::optional<std::string>> FileAnswers;
  // Declared before the window, which draws on it, so that it is closed after it.
  std::unique_ptr<test::XDisplayConnection> Display;
  vtkSmartPointer<vtkRenderWindow> Window;
  vtkSmartPointer<vtkRenderWindowInteractor> Interactor;
  vtkSmartPointer<vtkCallbackCommand> RenderCounter;
  int Renders = 0;
};

// The items a fresh main window offers enabled.
std::set<int> StartUpMenuItems();

} // namespace selvane
