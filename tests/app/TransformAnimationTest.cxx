// The Transform animation in the real Qt window: every frame reaches the screen, so two
// grabs of the view during a short animation show the model in two places.
#include "AuxiliaryDialogWindows.h"
#include "ControlIds.h"
#include "MainDialog.h"
#include "MainWindow.h"
#include "QtWindowing.h"
#include "RenderHost.h"
#include "TestMeshes.h"

#include "QtTestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVTKOpenGLNativeWidget.h>

#include <vtkNew.h>
#include <vtkSphereSource.h>

using namespace selvane;

namespace {

// Mean column of the pixels that are not background, and their number.
std::pair<double, int> DrawnCentre(const QImage& view) {
  double sum = 0;
  int drawn = 0;
  for (int y = 0; y < view.height(); ++y)
    for (int x = 0; x < view.width(); ++x)
      if (view.pixelColor(x, y).lightness() < 240) {
        sum += x;
        ++drawn;
      }
  return {drawn ? sum / drawn : 0.0, drawn};
}

// Answers the next file dialog with path as soon as it is open.
void AnswerFileDialog(const QString& path) {
  QTimer::singleShot(100, [path] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      AnswerFileDialog(path);
      return;
    }
    // The name box is what the user types into; Qt's own dialog reads it on OK.
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(path);
    static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept, as its OK does
  });
}

TEST(TransformAnimationTest, EachFrameOfTheAnimationIsShown) {
  TempDir dir;
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(24);
  sphere->SetPhiResolution(24);
  sphere->SetRadius(1);
  sphere->Update();
  ASSERT_TRUE(WriteLegacyModel(sphere->GetOutput(), dir.File("sphere.vtk")));
  // Six points on the sphere, all moved 0.9 along x: the fit is a translation.
  WriteTextFile(dir.File("shift.ptt"), "1 0 0 1.9 0 0\n-1 0 0 -0.1 0 0\n0 1 0 0.9 1 0\n"
                                       "0 -1 0 0.9 -1 0\n0 0 1 0.9 0 1\n0 0 -1 0.9 0 -1\n");

  MainWindow window;
  // A message box would wait for a click that never comes.
  window.Windowing().MessagesToStandardError = true;
  window.show();
  Settle();
  ASSERT_TRUE(window.Dialog().OpenModelFile(dir.File("sphere.vtk")));
  Settle();

  std::vector<QImage> frames;
  window.Windowing().FramePresented = [&] {
    frames.push_back(window.Host()->View()->grabFramebuffer());
  };
  window.RunCommand(CmdTransform);
  MakeTransformWindow* box = window.MakeTransformBox();
  ASSERT_TRUE(box->isVisible());
  box->SupportRadiusField()->setText("2.5");
  box->FrameCountField()->setText("3");
  box->CycleCountField()->setText("1");
  AnswerFileDialog(QString::fromStdString(dir.File("shift.ptt")));
  box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  // The fit runs on a worker thread and the frames on a timer: wait for both.
  for (int turn = 0; turn < 600 && (window.Busy() || frames.size() < 2); ++turn)
    QTest::qWait(10);
  EXPECT_FALSE(window.Busy());

  ASSERT_TRUE(window.Windowing().Messages.empty()) << window.Windowing().Messages.front();
  EXPECT_FALSE(box->isVisible());
  ASSERT_EQ(frames.size(), 2u);
  const auto [first, firstDrawn] = DrawnCentre(frames[0]);
  const auto [second, secondDrawn] = DrawnCentre(frames[1]);
  EXPECT_GT(firstDrawn, 500);
  EXPECT_GT(secondDrawn, 500);
  // 0.3 and then 0.6 of the shift to the right: the model moves right on screen.
  EXPECT_GT(second - first, 5.0) << first << " -> " << second;
  EXPECT_TRUE(window.MenuItem(CmdClearTransform)->isEnabled());

  // Clear Transform shows it back where it was read.
  window.Windowing().FramePresented = nullptr;
  window.RunCommand(CmdClearTransform);
  Settle();
  const auto [cleared, clearedDrawn] = DrawnCentre(window.Host()->View()->grabFramebuffer());
  EXPECT_GT(clearedDrawn, 500);
  EXPECT_LT(cleared, first);
}

} // namespace
