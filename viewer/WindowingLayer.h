#pragma once

#include <functional>
#include <string>
#include <vector>

class vtkRenderWindow;
class vtkRenderWindowInteractor;

namespace selvane {

// One description/pattern pair of a file prompt's filter list.
struct FileFilter {
  std::string Description;
  std::string Pattern; // e.g. "*.VTK"; "*.*" means every file
};

// Option flags of a file prompt (the values of the classic file dialog).
enum FilePromptFlags : unsigned {
  HideReadOnly = 0x0004,
  OverwritePrompt = 0x0002,
  FileMustExist = 0x1000,
};

struct FilePromptRequest {
  std::string Title;
  unsigned Flags = 0;
  std::vector<FileFilter> Filters;
  std::string InitialName;
  bool OpenMode = true;
};

enum class AuxiliaryDialog { MakeTransform, SetRadius, About };

// What long work sees of the window while it runs on a worker thread.
class WorkProgress {
public:
  virtual ~WorkProgress() = default;
  // Names the stage now running, e.g. "Reading" or "Factoring".
  virtual void Stage(const std::string& stage) = 0;
  // True once the user asked to cancel; the work stops at its next check.
  virtual bool CancelRequested() const = 0;
};

// Long work: Work runs off the window's thread and touches no viewer state; Done runs on the
// window's thread afterwards, with completed false when the work was cancelled.
struct BackgroundJob {
  std::string Title;
  std::function<void(WorkProgress&)> Work;
  std::function<void(bool completed)> Done;
};

// Everything the viewer logic needs from the window system. The Qt shell implements it
// for the real window; the tests implement it with a scriptable fake.
class WindowingLayer {
public:
  virtual ~WindowingLayer() = default;

  // List boxes, by control number. Sorted boxes insert in text order.
  virtual void ClearListBox(int list) = 0;
  virtual void AddListBoxText(int list, const std::string& text) = 0;
  virtual int FindListBoxText(int list, const std::string& text) const = 0; // -1: none
  virtual void SelectListBoxEntry(int list, int index) = 0;                 // -1 clears
  virtual void DeleteListBoxEntry(int list, int index) = 0;
  virtual std::string SelectedListBoxText(int list) const = 0; // "" when none
  // Replaces a list box's entries by texts at once (a sorted box sorts them), without
  // selecting any. By default: ClearListBox, then AddListBoxText for each.
  virtual void FillListBox(int list, const std::vector<std::string>& texts);

  // The six coordinate fields: target X, Y, Z (1018-1020) and current X, Y, Z (1015-1017).
  virtual void WriteCoordinateFields(const float target[3], const float current[3]) = 0;
  // Reads the fields back in the order target X, Y, Z, current X, Y, Z. Stops at the first
  // field that does not hold a number (the window system reports it) and returns false;
  // the values read before it are kept.
  virtual bool ReadCoordinateFields(float target[3], float current[3]) = 0;

  virtual void EnableMenuItem(int command) = 0;
  virtual void SetFocusTo(int control) = 0;
  virtual void SelectAllText(int field) = 0;

  // Modal file-path prompt; true with the chosen path when the user confirmed.
  virtual bool AskFileName(const FilePromptRequest& request, std::string& chosen) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  // A question the user answers with Yes or No (a warning before long work). Without a
  // window there is nobody to ask: the answer is Yes, so the work goes on as asked.
  virtual bool Confirm(const std::string&) { return true; }
  // A short note of what a command did ("Exported 12 point IDs to ..."), for a status line;
  // no box, nothing to answer.
  virtual void ShowStatus(const std::string&) {}

  virtual void ShowDialog(AuxiliaryDialog dialog) = 0;
  // Refreshes a dialog's fields from its values (also while it is shown).
  virtual void RefreshDialog(AuxiliaryDialog dialog) = 0;

  // The render window of the 3-D view and its interactor; owned by the window system.
  virtual vtkRenderWindow* ViewRenderWindow() = 0;
  virtual vtkRenderWindowInteractor* ViewInteractor() = 0;
  // Puts what the view's last render drew on the screen now, inside a running handler
  // (an animation frame), without handling user input.
  virtual void PresentFrame() = 0;
  // After every render of the view: the window may show what changed (status line).
  virtual void ViewRendered() {}
  // After a model file opened (from the menu, the command line or the window itself): the
  // window may show its name and remember it.
  virtual void ModelOpened(const std::string& /*path*/) {}
  // A selection list changed (list: its list box's number): its entry at index changed, was
  // appended, or was removed from the end (index == the new size); index -1: the whole list.
  // Views of the list (the landmark table) follow it from here.
  virtual void SelectionChanged(int /*list*/, long long /*index*/) {}
  // The undo history changed: a step was done, undone or redone, or the history was cleared.
  virtual void HistoryChanged() {}

  // Runs a job as BackgroundJob says. While it runs, the window keeps answering (the view
  // can be turned) but commands that would change the model or the selections wait. Without
  // a window the work runs at once on this thread.
  virtual void RunInBackground(BackgroundJob job);
  // Plays an animation: for k = 1 .. count - 1, frame(k) renders frame k, which the window
  // then presents. The window paces the frames on its event loop (input is handled
  // between them, and the user may pause or stop); finished runs after the last one, or
  // after a stop. Without a window every frame is played at once.
  virtual void PlayFrames(long long count, std::function<void(long long k)> frame,
                          std::function<void()> finished);
};

} // namespace selvane
