#pragma once

#include "CommandTable.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>

class QAction;

namespace selvane {

class ControlColumn;
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

  // Runs a menu command as if its item had been chosen.
  void RunCommand(int command);

private:
  void BuildMenu();
  void BindCommands();
  void BindListBoxes();

  ControlColumn* Controls;
  RenderHost* ViewHost;
  std::map<int, QAction*> MenuItems;
  CommandTable Commands;
  std::unique_ptr<QtWindowing> Platform;
  std::unique_ptr<MainDialog> Viewer;
};

} // namespace selvane
