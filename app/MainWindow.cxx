#include "MainWindow.h"

#include "AuxiliaryDialogWindows.h"
#include "ControlColumn.h"
#include "ControlIds.h"
#include "InputInterceptor.h"
#include "KeysHelp.h"
#include "LandmarkTable.h"
#include "MainDialog.h"
#include "MenuLayout.h"
#include "QtWindowing.h"
#include "RenderHost.h"
#include "StatusLine.h"
#include "TransformCommand.h"
#include "WorkRunner.h"
#include "vtkShapeTransform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QUrl>

#include <vector>

namespace selvane {

MainWindow::MainWindow() {
  setWindowTitle("Selvane");
  // A model file dropped anywhere on the window opens as if chosen in Open Model.
  setAcceptDrops(true);
  auto* central = new QWidget(this);
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(0, 0, 3, 3);
  layout->setSpacing(0);
  // The column can be widened against the view; neither can be folded away.
  auto* splitter = new QSplitter(Qt::Horizontal, central);
  splitter->setChildrenCollapsible(false);
  splitter->setHandleWidth(3);
  Controls = new ControlColumn(splitter);
  ViewHost = new RenderHost(splitter);
  splitter->addWidget(Controls);
  splitter->addWidget(ViewHost);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  layout->addWidget(splitter);
  setCentralWidget(central);
  BuildMenu();
  setMinimumSize(500, 380);
  // About two thirds of the screen, centred; never less than the original window.
  const int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
  QSize size(522, 387 + bars);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect free = screen->availableGeometry();
    size = size.expandedTo(free.size() * 2 / 3);
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, free));
  } else {
    resize(size);
  }

  Platform = std::make_unique<QtWindowing>(this, Controls, ViewHost, MenuItems);
  Viewer = std::make_unique<MainDialog>(*Platform);
  MakeTransform = new MakeTransformWindow(Viewer->MakeTransformBox, this);
  MakeTransform->Accepted = [this] { RunTransform(*Viewer); };
  SetRadius = new SetRadiusWindow(Viewer->SetRadiusBox, this);
  SetRadius->Accepted = [this] { Viewer->ApplyPointerRadius(); };
  About = new AboutWindow(this);
  Platform->SetDialogs(About, SetRadius, MakeTransform);
  Platform->WriteCoordinateFields(Viewer->TargetPosition, Viewer->CurrentPosition);
  StatusBarLine = new StatusLine(statusBar(), *Viewer);
  LandmarkTable = new LandmarkDock(*Viewer, this);
  LandmarkTable->Model()->Busy = [this] { return Busy(); };
  addDockWidget(Qt::BottomDockWidgetArea, LandmarkTable);
  LandmarkTable->hide();
  Platform->SelectionListChanged = [this](int list, long long index) {
    if (list == SelectedPointsList)
      LandmarkTable->Model()->ListChanged(index);
  };
  Platform->Rendered = [this] {
    StatusBarLine->Refresh();
    // A new fit (or its undo) changes the residuals; a new share of it does not.
    vtkShapeTransform* fit = Viewer->ShapeTransform;
    const void* points = fit->GetParametersSet() ? fit->GetPointArray() : nullptr;
    if (points != ResidualFit || fit->GetDisplacementsValid() != ResidualCache) {
      ResidualFit = points;
      ResidualCache = fit->GetDisplacementsValid();
      LandmarkTable->Model()->FitChanged();
    }
  };
  Platform->StatusShown = [this](const std::string& text) {
    StatusBarLine->ShowNote(QFile::decodeName(text.c_str()));
  };
  Platform->UndoHistoryChanged = [this] { UpdateUndoItems(); };
  Platform->ModelFileOpened = [this](const std::string& path) {
    OnModelOpened(QFile::decodeName(path.c_str()));
  };
  Platform->PromptFolder = [this] { return RememberModels ? Recent.LastFolder() : QString(); };
  Platform->FileChosen = [this](const std::string& path) {
    if (RememberModels)
      Recent.SetLastFolder(QFileInfo(QFile::decodeName(path.c_str())).absolutePath());
  };
  Runner = new WorkRunner(statusBar());
  Platform->SetWorkRunner(Runner);
  connect(Runner, &WorkRunner::BusyChanged, this, &MainWindow::SetBusy);
  BindCommands();
  BindListBoxes();
  Viewer->InitializeView();
  Viewer->KeepMarkersVisible(8);
  qApp->installEventFilter(new InputInterceptor(*this));
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::MenuItem(int command) const {
  auto found = MenuItems.find(command);
  return found == MenuItems.end() ? nullptr : found->second;
}

void MainWindow::BuildMenu() {
  std::vector<QMenu*> open;
  for (const MenuRow& row : MainMenuLayout()) {
    switch (row.RowKind) {
    case MenuRow::SubMenu:
      open.push_back(open.empty() ? menuBar()->addMenu(row.Text) : open.back()->addMenu(row.Text));
      break;
    case MenuRow::EndSubMenu:
      open.pop_back();
      break;
    case MenuRow::Separator:
      open.back()->addSeparator();
      break;
    case MenuRow::Item: {
      QAction* action = open.back()->addAction(QString::fromLatin1(row.Text));
      action->setEnabled(!row.Greyed);
      // Accelerators with Ctrl work as they read; bare keys (Space, R) stay labels, since
      // those keys belong to the focused field or the view.
      const QString label = QString::fromLatin1(row.Text).section('\t', 1);
      if (label.startsWith("Ctrl-") && label != "Ctrl-Space")
        action->setShortcut(QKeySequence(QString(label).replace('-', '+')));
      const int command = row.Command;
      // Redo answers to both of its usual keys.
      if (command == CmdRedo)
        action->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
      connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
      // A display mode: its tick shows whether it is on.
      action->setCheckable(command == CmdColourByDisplacement);
      MenuItems[command] = action;
      // The window's own list of the models opened last, right under Open Model.
      if (command == CmdOpenModel) {
        RecentMenu = open.back()->addMenu("Recent &Models");
        RefreshRecentModelsMenu();
      }
      break;
    }
    }
  }
}

void MainWindow::UpdateUndoItems() {
  QAction* undo = MenuItem(CmdUndo);
  QAction* redo = MenuItem(CmdRedo);
  if (!undo || !redo || Busy())
    return;
  const auto text = [](const char* verb, const std::string& step, const char* key) {
    return QString(verb) + (step.empty() ? QString() : ' ' + QString::fromStdString(step)) + '\t' +
           key;
  };
  undo->setText(text("&Undo", Viewer->UndoStepName(), "Ctrl-Z"));
  undo->setEnabled(Viewer->CanUndo());
  redo->setText(text("&Redo", Viewer->RedoStepName(), "Ctrl-Shift-Z"));
  redo->setEnabled(Viewer->CanRedo());
}

void MainWindow::BindCommands() {
  AddCommandHandlers(Commands);
  // The items the window carries out itself.
  Commands[CmdExit] = [this](MainDialog&) { close(); };
  Commands[CmdKeysAndMouse] = [this](MainDialog&) { ShowKeysAndMouse(this); };
  Commands[CmdLandmarkTable] = [this](MainDialog&) {
    LandmarkTable->show();
    LandmarkTable->raise();
  };
  // The tick follows the mode, also when the viewer refused to turn it on.
  Commands[CmdColourByDisplacement] =
      [this, toggle = Commands[CmdColourByDisplacement]](MainDialog& dialog) {
        toggle(dialog);
        if (QAction* item = MenuItem(CmdColourByDisplacement))
          item->setChecked(dialog.DisplacementColoursShown());
      };
}

void MainWindow::BindListBoxes() {
  for (const auto& [id, box] : Controls->ListBoxes()) {
    const int list = id;
    // Queued: the handler refills list boxes, possibly the one whose signal is running.
    connect(
        box, &QListWidget::itemSelectionChanged, this,
        [this, list] { Viewer->OnListBoxSelection(list); }, Qt::QueuedConnection);
  }
}

namespace {

bool RunsWhileBusy(int command) {
  const CommandRow* row = FindCommandRow(command);
  return row && row->RunsWhileBusy;
}

} // namespace

bool MainWindow::Busy() const {
  return Runner && Runner->Busy();
}

void MainWindow::SetBusy(bool busy) {
  StatusBarLine->SetBusy(busy);
  if (busy) {
    if (!EnabledBeforeBusy.empty())
      return;
    for (const auto& [command, action] : MenuItems) {
      EnabledBeforeBusy[command] = action->isEnabled();
      if (!RunsWhileBusy(command))
        action->setEnabled(false);
    }
    RecentMenu->setEnabled(false);
    return;
  }
  RefreshRecentModelsMenu();
  // Items the viewer enabled meanwhile (Clear Transform after a fit) come back enabled.
  for (const auto& [command, enabled] : EnabledBeforeBusy)
    if (auto* action = MenuItem(command); action && !RunsWhileBusy(command))
      action->setEnabled(enabled || action->property(EnabledByViewer).toBool());
  EnabledBeforeBusy.clear();
  // A Transform that ended meanwhile is a step.
  UpdateUndoItems();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (Viewer->HasUnsavedSelections() &&
      QMessageBox::question(this, windowTitle(),
                            "The selections have changed since they were last exported.\n"
                            "Leave without exporting them?",
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No) != QMessageBox::Yes) {
    event->ignore();
    return;
  }
  // A job still running is cancelled and waited for: it holds the viewer's data.
  if (Runner)
    Runner->CancelAndWait();
  QMainWindow::closeEvent(event);
}

bool MainWindow::OpenModelFromWindow(const QString& path) {
  if (Busy())
    return false;
  const bool opened = Viewer->OpenModelFile(QFile::encodeName(path).toStdString());
  // As after Open Model: the axes and labels of a new model show at once.
  Viewer->Render();
  return opened;
}

void MainWindow::OnModelOpened(const QString& path) {
  setWindowTitle(QFileInfo(path).fileName() + " - Selvane");
  if (!RememberModels)
    return;
  Recent.Add(path);
  Recent.SetLastFolder(QFileInfo(path).absolutePath());
  RefreshRecentModelsMenu();
}

void MainWindow::RefreshRecentModelsMenu() {
  RecentMenu->clear();
  const QStringList paths = Recent.Paths();
  for (int i = 0; i < paths.size(); ++i) {
    const QString path = paths[i];
    QAction* action =
        RecentMenu->addAction(QString("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
    action->setToolTip(path);
    action->setStatusTip(path);
    action->setData(path);
    connect(action, &QAction::triggered, this, [this, path] { OpenModelFromWindow(path); });
  }
  RecentMenu->setToolTipsVisible(true);
  RecentMenu->setEnabled(!paths.isEmpty() && !Busy());
}

namespace {

// The one local file a drag carries, or "".
QString DraggedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
    return QString();
  return data->urls().front().toLocalFile();
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!Busy() && !DraggedFile(event->mimeData()).isEmpty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = DraggedFile(event->mimeData());
  if (path.isEmpty() || Busy()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  OpenModelFromWindow(path);
}

void MainWindow::RunCommand(int command) {
  if (Busy() && !RunsWhileBusy(command))
    return;
  auto found = Commands.find(command);
  if (found != Commands.end())
    found->second(*Viewer);
}

} // namespace selvane
