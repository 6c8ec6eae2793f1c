#pragma once

#include "WindowingLayer.h"

#include <QHash>
#include <QString>

#include <functional>

#include <map>

class QAction;
class QListWidgetItem;
class QWidget;

namespace selvane {

class AboutWindow;
class ControlColumn;
class MakeTransformWindow;
class RenderHost;
class SetRadiusWindow;
class WorkRunner;

// The viewer's window operations on the Qt widgets of the main window.
class QtWindowing : public WindowingLayer {
public:
  QtWindowing(QWidget* window, ControlColumn* column, RenderHost* host,
              std::map<int, QAction*> menuItems);

  void SetDialogs(AboutWindow* about, SetRadiusWindow* setRadius, MakeTransformWindow* transform);

  // Messages go to standard error instead of a message box (screenshot runs).
  bool MessagesToStandardError = false;
  // Messages shown so far, newest last (the screenshot run reports the first failure).
  std::vector<std::string> Messages;

  void ClearListBox(int list) override;
  void AddListBoxText(int list, const std::string& text) override;
  int FindListBoxText(int list, const std::string& text) const override;
  void SelectListBoxEntry(int list, int index) override;
  void DeleteListBoxEntry(int list, int index) override;
  std::string SelectedListBoxText(int list) const override;
  void FillListBox(int list, const std::vector<std::string>& texts) override;
  void WriteCoordinateFields(const float target[3], const float current[3]) override;
  bool ReadCoordinateFields(float target[3], float current[3]) override;
  void EnableMenuItem(int command) override;
  void SetFocusTo(int control) override;
  void SelectAllText(int field) override;
  bool AskFileName(const FilePromptRequest& request, std::string& chosen) override;
  void ShowMessage(const std::string& text) override;
  bool Confirm(const std::string& question) override;
  void ShowStatus(const std::string& text) override;
  void ShowDialog(AuxiliaryDialog dialog) override;
  void RefreshDialog(AuxiliaryDialog dialog) override;
  vtkRenderWindow* ViewRenderWindow() override;
  vtkRenderWindowInteractor* ViewInteractor() override;
  void PresentFrame() override;
  void ViewRendered() override;
  void SelectionChanged(int list, long long index) override;
  void HistoryChanged() override;
  void ModelOpened(const std::string& path) override;
  void RunInBackground(BackgroundJob job) override;
  void PlayFrames(long long count, std::function<void(long long k)> frame,
                  std::function<void()> finished) override;
  void SetWorkRunner(WorkRunner* runner) { Runner = runner; }

  // Runs after every render of the view.
  std::function<void()> Rendered;
  // After every change of a selection list (list box number, entry index or -1: all).
  std::function<void(int list, long long index)> SelectionListChanged;
  // After every change of the undo history.
  std::function<void()> UndoHistoryChanged;
  // Runs after a model file opened, with its path.
  std::function<void(const std::string&)> ModelFileOpened;
  // Where file prompts start: the folder of the file last chosen or opened ("" for Qt's
  // choice). Runs after a file was chosen in a prompt, with its path.
  std::function<QString()> PromptFolder;
  std::function<void(const std::string&)> FileChosen;
  // Shows a command's note, and the first line of every message, on the status line.
  std::function<void(const std::string&)> StatusShown;

  // Runs after each presented frame, while the handler that draws the frames still runs
  // (for looking at the view between frames).
  std::function<void()> FramePresented;

private:
  QWidget* Window;
  ControlColumn* Column;
  RenderHost* Host;
  std::map<int, QAction*> MenuItems;
  // Entries by text per list box, so that finding one does not compare every row.
  std::map<int, QHash<QString, QListWidgetItem*>> ListEntries;
  AboutWindow* About = nullptr;
  SetRadiusWindow* SetRadius = nullptr;
  MakeTransformWindow* MakeTransform = nullptr;
  WorkRunner* Runner = nullptr;
};

// The property of a menu item's action that says the viewer has enabled it.
inline constexpr const char* EnabledByViewer = "enabledByViewer";

// Six significant digits, as the coordinate fields show numbers.
QString FormatCoordinate(float value);

} // namespace selvane
