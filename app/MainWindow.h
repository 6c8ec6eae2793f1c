#pragma once

#include "CommandTable.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>

class QAction;

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

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildMenu();
  void BindCommands();
  void BindListBoxes();
  void SetBusy(bool busy);
  // Names the steps beside Undo and Redo and greys them with nothing to act on.
  void UpdateUndoItems();

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
  // The menu items' enabled state before the window became busy.
  std::map<int, bool> EnabledBeforeBusy;
};

} // namespace selvane
