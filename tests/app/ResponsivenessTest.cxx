// The window during a long Transform: the fit runs on a worker thread, so the event loop keeps
// turning (the longest gap between two ticks of a 5 ms timer is measured), and Cancel leaves
// the model and its transform exactly as they were.
#include "ControlIds.h"
#include "MainDialog.h"
#include "MainWindow.h"
#include "QtWindowing.h"
#include "StatusLine.h"
#include "TestMeshes.h"
#include "TransformCommand.h"
#include "WorkRunner.h"
#include "vtkShapeTransform.h"

#include "QtTestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <vtkNew.h>
#include <vtkSphereSource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>

using namespace selvane;

namespace {

// Pairs on a bumpy unit sphere, each moved a little outwards, with about 30 neighbours per
// centre within the returned radius of support.
double WritePairs(const std::string& path, int pairs) {
  std::mt19937 random(7);
  std::normal_distribution<double> normal;
  std::string text = "# Points Transformations\n";
  char line[200];
  for (int i = 0; i < pairs; ++i) {
    double p[3] = {normal(random), normal(random), normal(random)};
    const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    const double bump = 1 + 0.05 * std::sin(7 * p[0] / length) * std::cos(5 * p[1] / length);
    for (double& c : p)
      c *= bump / length;
    std::snprintf(line, sizeof line, "%.7f %.7f %.7f %.7f %.7f %.7f\n", p[0], p[1], p[2],
                  1.02 * p[0], 1.02 * p[1], 1.02 * p[2]);
    text += line;
  }
  WriteTextFile(path, text);
  return std::sqrt(120.0 / pairs);
}

int PairCount() {
  // SELVANE_RESPONSIVE_PAIRS sets a larger fit for a measurement by hand.
  const char* text = std::getenv("SELVANE_RESPONSIVE_PAIRS");
  return text ? std::atoi(text) : 20000;
}

class ResponsivenessTest : public ::testing::Test {
protected:
  ResponsivenessTest() {
    vtkNew<vtkSphereSource> sphere;
    sphere->SetThetaResolution(120);
    sphere->SetPhiResolution(120);
    sphere->Update();
    EXPECT_TRUE(WriteLegacyModel(sphere->GetOutput(), Dir.File("sphere.vtk")));
    Radius = WritePairs(Dir.File("pairs.ptt"), PairCount());
    Window.Windowing().MessagesToStandardError = true;
    Window.show();
    Settle();
    EXPECT_TRUE(Window.Dialog().OpenModelFile(Dir.File("sphere.vtk")));
    Settle();
  }

  // Starts a Transform of the pairs without its prompt (the fake path answers it).
  void StartTransform() {
    MainDialog& dialog = Window.Dialog();
    dialog.MakeTransformBox.SupportRadius = static_cast<float>(Radius);
    dialog.MakeTransformBox.FrameCount = 3;
    dialog.MakeTransformBox.CycleCount = 1;
    QTimer::singleShot(0, [this] { AnswerPrompt(); });
    RunTransform(dialog);
  }
  void AnswerPrompt();

  TempDir Dir;
  double Radius = 0;
  // Runs when the prompt has been answered: the fit starts right after.
  std::function<void()> Answered;
  MainWindow Window;
};

// The file prompt of the Transform is a modal Qt dialog: answer it with the pairs file.
void ResponsivenessTest::AnswerPrompt() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal) {
    QTimer::singleShot(20, [this] { AnswerPrompt(); });
    return;
  }
  auto* name = modal->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(name, nullptr);
  name->setText(QString::fromStdString(Dir.File("pairs.ptt")));
  static_cast<QDialog*>(modal)->accept();
  if (Answered)
    Answered();
}

TEST_F(ResponsivenessTest, TheEventLoopKeepsTurningDuringALongFit) {
  QElapsedTimer clock;
  qint64 last = 0, longest = 0, busyFor = 0;
  bool measuring = false;
  // Gaps count from the moment the prompt is answered to the first frame: a fit run on the
  // window's thread shows as one long gap there.
  Answered = [&] {
    measuring = true;
    last = clock.elapsed();
  };
  QTimer ticks;
  ticks.setInterval(5);
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    if (measuring)
      longest = std::max(longest, now - last);
    last = now;
  });
  // The fit ends where the animation's first frame is shown; frames are renders of their own.
  Window.Windowing().FramePresented = [&] {
    if (measuring)
      longest = std::max(longest, clock.elapsed() - last);
    measuring = false;
  };
  clock.start();
  ticks.start();
  StartTransform();
  const qint64 started = clock.elapsed();
  // Until the fit has run and the animation has played.
  while (!Window.Busy() && clock.elapsed() - started < 2000)
    QTest::qWait(5);
  while (Window.Busy() && clock.elapsed() - started < 300000)
    QTest::qWait(5);
  QTest::qWait(20); // one more tick after the end
  busyFor = clock.elapsed() - started;
  ticks.stop();
  std::printf("%d pairs: busy for %lld ms, longest gap between events during the fit %lld ms\n",
              PairCount(), static_cast<long long>(busyFor), static_cast<long long>(longest));
  EXPECT_FALSE(Window.Busy());
  EXPECT_TRUE(Window.Windowing().Messages.empty());
  EXPECT_TRUE(Window.MenuItem(CmdClearTransform)->isEnabled());
  // A frozen window shows gaps of the whole fit; a turning one of a frame or two.
  EXPECT_LT(longest, 250) << "the window stopped answering for " << longest << " ms";
}

TEST_F(ResponsivenessTest, CancelLeavesTheModelTheTransformAndTheMenuAsBefore) {
  vtkShapeTransform* transform = Window.Dialog().ShapeTransform;
  const bool clearEnabled = Window.MenuItem(CmdClearTransform)->isEnabled();
  StartTransform();
  ASSERT_TRUE(Window.Busy());
  EXPECT_FALSE(Window.MenuItem(CmdOpenModel)->isEnabled()) << "Open waits while work runs";
  EXPECT_TRUE(Window.MenuItem(CmdResetCamera)->isEnabled()) << "the view still turns";
  Window.Work()->CancelButton()->click();
  for (int turn = 0; turn < 30000 && Window.Busy(); ++turn)
    QTest::qWait(10);
  ASSERT_FALSE(Window.Busy());
  EXPECT_EQ(transform->GetState(), vtkShapeTransform::Identity);
  EXPECT_EQ(transform->GetFraction(), 0.0f);
  EXPECT_EQ(Window.MenuItem(CmdClearTransform)->isEnabled(), clearEnabled);
  EXPECT_TRUE(Window.MenuItem(CmdOpenModel)->isEnabled());
  EXPECT_TRUE(Window.Windowing().Messages.empty());
}

// The animation plays on a timer: Pause holds it at its frame with the window answering,
// Resume goes on, Stop ends it where it is.
TEST_F(ResponsivenessTest, PauseResumeAndStopTheAnimation) {
  MainDialog& dialog = Window.Dialog();
  int frames = 0;
  Window.Windowing().FramePresented = [&] { ++frames; };
  dialog.MakeTransformBox.SupportRadius = static_cast<float>(Radius);
  dialog.MakeTransformBox.FrameCount = 200;
  dialog.MakeTransformBox.CycleCount = 2;
  QTimer::singleShot(0, [this] { AnswerPrompt(); });
  RunTransform(dialog);
  for (int turn = 0; turn < 30000 && frames < 3; ++turn)
    QTest::qWait(5);
  ASSERT_GE(frames, 3);
  Window.Work()->PauseButton()->click();
  const int paused = frames;
  const float fraction = dialog.ShapeTransform->GetFraction();
  QTest::qWait(200);
  EXPECT_EQ(frames, paused);
  EXPECT_EQ(dialog.ShapeTransform->GetFraction(), fraction);
  EXPECT_TRUE(Window.Busy());
  Window.Work()->PauseButton()->click(); // resume
  for (int turn = 0; turn < 30000 && frames < paused + 3; ++turn)
    QTest::qWait(5);
  EXPECT_GE(frames, paused + 3);
  Window.Work()->StopButton()->click();
  Settle();
  const int stopped = frames;
  EXPECT_FALSE(Window.Busy());
  EXPECT_LT(stopped, 399);
  QTest::qWait(100);
  EXPECT_EQ(frames, stopped);
  EXPECT_TRUE(Window.MenuItem(CmdClearTransform)->isEnabled());

  // The slider shows any share of the deformation once the work is done.
  QSlider* slider = Window.Status()->DeformationSlider();
  ASSERT_TRUE(slider->isEnabled());
  slider->setValue(50);
  EXPECT_FLOAT_EQ(dialog.ShapeTransform->GetFraction(), 0.5f);
  EXPECT_EQ(Window.Status()->FractionText(), "deformation 50%");
}

} // namespace
