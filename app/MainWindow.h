#pragma once

#include "CommandTable.h"
#include "RecentModels.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>

class QAction;
class QMenu;

namespace selvane {

class AboutWindow;
class LandmarkDock;
class ControlColumn;
class MakeTransformWindow;
class SetRadiusWindow;
class StatusLine;
class WorkRunner;
class MainDialog;
class QtWindowing;
class RenderHost;

// The one window of the application: the control column, the 3-D view and the menu bar.
class MainWindow : public QMainWindow {
  Q_OBJECT
public:
  MainWindow();
  ~MainWindow() override;

  MainDialog& Dialog() { return *Viewer; }
  QtWindowing& Windowing() { return *Platform; }
  ControlColumn* Column() const { return Controls; }
  RenderHost* Host() const { return ViewHost; }
  QAction* MenuItem(int command) const;
  AboutWindow* AboutBox() const { return About; }
  SetRadiusWindow* SetRadiusBox() const { return SetRadius; }
  MakeTransformWindow* MakeTransformBox() const { return MakeTransform; }
  StatusLine* Status() const { return StatusBarLine; }
  WorkRunner* Work() const { return Runner; }
  LandmarkDock* Landmarks() const { return LandmarkTable; }
  // True while a background job or an animation runs: commands that would change the model
  // or the selections wait, the view still turns.
  bool Busy() const;

  // Runs a menu command as if its item had been chosen.
  void RunCommand(int command);

  // Opens a model file as Open Model does once its prompt closed (messages included); a
  // dropped file and a recent model come this way. Nothing happens while the window is busy.
  bool OpenModelFromWindow(const QString& path);
  // File > Recent Models, filled from the settings: one item per model, newest first.
  QMenu* RecentModelsMenu() const { return RecentMenu; }
  // Whether opened models go into the recent list and their folder becomes the prompts'
  // starting folder (not for screenshot runs).
  bool RememberModels = true;

protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void BuildMenu();
  void BindCommands();
  void BindListBoxes();
  void SetBusy(bool busy);
  // Names the steps beside Undo and Redo and greys them with nothing to act on.
  void UpdateUndoItems();
  void RefreshRecentModelsMenu();
  void OnModelOpened(const QString& path);

  ControlColumn* Controls;
  RenderHost* ViewHost;
  std::map<int, QAction*> MenuItems;
  CommandTable Commands;
  std::unique_ptr<QtWindowing> Platform;
  std::unique_ptr<MainDialog> Viewer;
  AboutWindow* About = nullptr;
  SetRadiusWindow* SetRadius = nullptr;
  MakeTransformWindow* MakeTransform = nullptr;
  StatusLine* StatusBarLine = nullptr;
  WorkRunner* Runner = nullptr;
  LandmarkDock* LandmarkTable = nullptr;
  // The fit the landmark table's residuals were computed from.
  const void* ResidualFit = nullptr;
  bool ResidualCache = false;
  QMenu* RecentMenu = nullptr;
  RecentModels Recent;
  // The menu items' enabled state before the window became busy.
  std::map<int, bool> EnabledBeforeBusy;
};

} // namespace selvane
