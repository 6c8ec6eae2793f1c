// Models opened from the window itself: a file dropped on it, File > Recent Models (kept in the
// settings across runs), the file prompt starting in the folder last used, and the window title
// naming the model.
#include "ControlIds.h"
#include "MainDialog.h"
#include "MainWindow.h"
#include "QtWindowing.h"
#include "TestMeshes.h"

#include "QtTestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <string>

using namespace selvane;

namespace {

// Whether the window takes the drag, and after a drop of it, whether it took the drop.
struct DragOutcome {
  bool Entered = false;
  bool Dropped = false;
};

DragOutcome Drag(MainWindow& window, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint at = window.rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  DragOutcome outcome;
  outcome.Entered = enter.isAccepted();
  if (outcome.Entered) {
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    outcome.Dropped = drop.isAccepted();
  }
  Settle();
  return outcome;
}

QUrl FileUrl(const std::string& path) {
  return QUrl::fromLocalFile(QFile::decodeName(path.c_str()));
}

std::string CopyOfSample(const TempDir& dir, const std::string& name) {
  const std::string path = dir.File(name);
  std::filesystem::copy_file(SampleModel, path);
  return path;
}

QStringList RecentTexts(MainWindow& window) {
  QStringList texts;
  for (QAction* action : window.RecentModelsMenu()->actions())
    texts << action->text();
  return texts;
}

class OpenFromWindowTest : public ::testing::Test {
protected:
  void SetUp() override { QSettings().clear(); }
  void TearDown() override { QSettings().clear(); }
};

TEST_F(OpenFromWindowTest, ADroppedModelOpensAsOpenModelOpensIt) {
  const TempDir dir;
  const std::string femur = CopyOfSample(dir, "femur.vtk");
  MainWindow window;
  window.Windowing().MessagesToStandardError = true; // no modal box in a test
  window.show();
  Settle();
  EXPECT_EQ(window.windowTitle(), "Selvane");
  EXPECT_TRUE(window.acceptDrops());

  // Several files, or what is not a local file, are not taken.
  EXPECT_FALSE(Drag(window, {FileUrl(femur), FileUrl(SampleModel)}).Entered);
  EXPECT_FALSE(Drag(window, {QUrl("https://example.org/femur.vtk")}).Entered);
  EXPECT_FALSE(window.MenuItem(CmdSaveModelAs)->isEnabled());

  const DragOutcome dropped = Drag(window, {FileUrl(femur)});
  EXPECT_TRUE(dropped.Entered);
  EXPECT_TRUE(dropped.Dropped);
  EXPECT_EQ(window.windowTitle(), "femur.vtk - Selvane");
  for (int item : ModelMenuItems)
    EXPECT_TRUE(window.MenuItem(item)->isEnabled()) << item;
  EXPECT_EQ(RecentTexts(window), QStringList{"&1 femur.vtk"});

  // A file that is not a model gets Open Model's message; the model shown stays.
  const std::string notes = dir.File("notes.vtk");
  QFile(QFile::decodeName(notes.c_str())).open(QIODevice::WriteOnly);
  const std::size_t messages = window.Windowing().Messages.size();
  EXPECT_TRUE(Drag(window, {FileUrl(notes)}).Dropped);
  ASSERT_EQ(window.Windowing().Messages.size(), messages + 1);
  EXPECT_EQ(window.Windowing().Messages.back().rfind("Cannot open model \"" + notes + "\": ", 0),
            0u)
      << window.Windowing().Messages.back();
  EXPECT_EQ(window.windowTitle(), "femur.vtk - Selvane");
  EXPECT_EQ(RecentTexts(window), QStringList{"&1 femur.vtk"});
}

TEST_F(OpenFromWindowTest, RecentModelsKeepTheLastEightNewestFirstAcrossRuns) {
  const TempDir dir;
  std::vector<std::string> paths;
  {
    MainWindow window;
    window.show();
    Settle();
    EXPECT_FALSE(window.RecentModelsMenu()->isEnabled()) << "no model opened yet";
    for (int i = 1; i <= 9; ++i) {
      paths.push_back(CopyOfSample(dir, "model" + std::to_string(i) + ".vtk"));
      ASSERT_TRUE(window.Dialog().OpenModelFile(paths.back()));
    }
    // The window's own Open Model path, as the command line uses it, counts too; a model
    // opened again moves to the top once.
    ASSERT_TRUE(window.OpenModelFromWindow(QFile::decodeName(paths[4].c_str())));
    EXPECT_TRUE(window.RecentModelsMenu()->isEnabled());
    EXPECT_EQ(RecentTexts(window),
              (QStringList{"&1 model5.vtk", "&2 model9.vtk", "&3 model8.vtk", "&4 model7.vtk",
                           "&5 model6.vtk", "&6 model4.vtk", "&7 model3.vtk", "&8 model2.vtk"}));
    EXPECT_EQ(window.RecentModelsMenu()->actions().front()->toolTip(),
              QFile::decodeName(paths[4].c_str()));
  }
  // The next run shows the same list; choosing an entry opens that model.
  MainWindow window;
  window.show();
  Settle();
  ASSERT_EQ(RecentTexts(window).size(), RecentModels::Limit);
  QAction* third = window.RecentModelsMenu()->actions()[2];
  EXPECT_EQ(third->text(), "&3 model8.vtk");
  third->trigger();
  Settle();
  EXPECT_EQ(window.windowTitle(), "model8.vtk - Selvane");
  EXPECT_TRUE(window.MenuItem(CmdSaveModelAs)->isEnabled());
  EXPECT_EQ(RecentTexts(window).front(), "&1 model8.vtk");
}

TEST_F(OpenFromWindowTest, TheFilePromptStartsInTheFolderLastUsed) {
  const TempDir dir;
  const std::string model = CopyOfSample(dir, "last.vtk");
  MainWindow window;
  window.show();
  Settle();
  ASSERT_TRUE(window.OpenModelFromWindow(QFile::decodeName(model.c_str())));

  QString shownFolder;
  QTimer::singleShot(50, [&shownFolder] {
    if (auto* prompt = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      shownFolder = prompt->directory().absolutePath();
      prompt->reject();
    }
  });
  window.RunCommand(CmdOpenModel);
  Settle();
  EXPECT_EQ(shownFolder, QFile::decodeName(dir.Path().c_str()));
  EXPECT_EQ(window.windowTitle(), "last.vtk - Selvane") << "a cancelled prompt changes nothing";
}

} // namespace
