// Scenario tests of Transform and Clear Transform on the fake window system: the animation's
// frames, the cache, a model opened after a Transform, and every refusal.
#include "TransformCommand.h"
#include "ControlIds.h"
#include "FakeWindowing.h"
#include "FileCommands.h"
#include "Locales.h"
#include "MainDialog.h"
#include "ShapeFit.h"
#include "TestMeshes.h"
#include "vtkShapeTransform.h"

#include <gtest/gtest.h>

#include <vtkCallbackCommand.h>
#include <vtkCommand.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkRenderWindow.h>
#include <vtkSphereSource.h>
#include <vtkTransformPolyDataFilter.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace selvane;

namespace {

vtkSmartPointer<vtkPolyData> MakeSphere(double cx, int resolution) {
  vtkNew<vtkSphereSource> sphere;
  sphere->SetCenter(cx, 0, 0);
  sphere->SetRadius(1);
  sphere->SetThetaResolution(resolution);
  sphere->SetPhiResolution(resolution);
  sphere->Update();
  auto model = vtkSmartPointer<vtkPolyData>::New();
  model->DeepCopy(sphere->GetOutput());
  return model;
}

// The corners of the box around the unit sphere fixed, the north pole moved up by lift and
// the point (1, 0, 0) moved outwards.
std::string PairsText(double lift) {
  std::string text = "# corners\n";
  for (int c = 0; c < 8; ++c) {
    const char* x = (c & 1) ? "1.5" : "-1.5";
    const char* y = (c & 2) ? "1.5" : "-1.5";
    const char* z = (c & 4) ? "1.5" : "-1.5";
    text += std::string(x) + " " + y + " " + z + " " + x + " " + y + " " + z + "\n";
  }
  const test::ClassicNumbers classic; // the file's numbers have a decimal point
  text += "0 0 1 0 0 " + std::to_string(1 + lift) + "\n";
  text += "1 0 0 1.2 0 0\n";
  return text;
}

bool SameBits(vtkPoints* a, vtkPoints* b) {
  return a->GetNumberOfPoints() == b->GetNumberOfPoints() &&
         std::memcmp(a->GetVoidPointer(0), b->GetVoidPointer(0),
                     static_cast<size_t>(a->GetNumberOfPoints()) * 3 * sizeof(float)) == 0;
}

class TransformCommandTest : public ::testing::Test {
protected:
  TransformCommandTest() : Dialog(Windowing) {
    Dialog.InitializeView();
    Recorder->SetClientData(this);
    Recorder->SetCallback([](vtkObject*, unsigned long, void* self, void*) {
      auto* test = static_cast<TransformCommandTest*>(self);
      test->Fractions.push_back(test->Dialog.ShapeTransform->GetFraction());
    });
    Windowing.ViewRenderWindow()->AddObserver(vtkCommand::StartEvent, Recorder);
    WriteTextFile(Dir.File("lift.ptt"), PairsText(0.3));
    WriteTextFile(Dir.File("lift2.ptt"), PairsText(0.6));
  }
  ~TransformCommandTest() override { Windowing.ViewRenderWindow()->RemoveObserver(Recorder); }

  void Open(vtkPolyData* model) {
    const std::string path = Dir.File("model" + std::to_string(++Models) + ".vtk");
    ASSERT_TRUE(WriteLegacyModel(model, path));
    Windowing.QueueFileAnswer(path);
    Dialog.OpenModel();
    ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  }
  void Run(const std::string& file, int frames, int cycles, float radius = 1.5f) {
    Dialog.MakeTransformBox.SupportRadius = radius;
    Dialog.MakeTransformBox.FrameCount = frames;
    Dialog.MakeTransformBox.CycleCount = cycles;
    Windowing.QueueFileAnswer(file);
    Fractions.clear();
    Windowing.PresentedFrames.clear();
    RendersBefore = Windowing.RenderCount();
    RunTransform(Dialog);
  }
  int RendersDuring() const { return Windowing.RenderCount() - RendersBefore; }
  // The points the view shows, brought up to date.
  vtkPoints* Shown() {
    Dialog.TransformFilter->Update();
    return Dialog.TransformFilter->GetOutput()->GetPoints();
  }
  vtkIdType NorthPole() {
    vtkPoints* points = Dialog.Model()->GetPoints();
    for (vtkIdType i = 0; i < points->GetNumberOfPoints(); ++i)
      if (points->GetPoint(i)[2] == 1.0)
        return i;
    return -1;
  }

  FakeWindowing Windowing;
  MainDialog Dialog;
  TempDir Dir;
  int Models = 0;
  int RendersBefore = 0;
  std::vector<float> Fractions;
  vtkNew<vtkCallbackCommand> Recorder;
};

TEST_F(TransformCommandTest, DefaultsPlayFortyNineFramesOfTheTriangleWave) {
  Open(MakeSphere(0, 16));
  EXPECT_FALSE(Windowing.EnabledMenuItems.count(CmdClearTransform));
  Run(Dir.File("lift.ptt"), 25, 2);
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();

  const FilePromptRequest& prompt = Windowing.Prompts.back();
  EXPECT_EQ(prompt.Title, "Open Data File");
  ASSERT_EQ(prompt.Filters.size(), 3u);
  EXPECT_EQ(prompt.Filters[0].Description, "PTT formated Files");
  EXPECT_EQ(prompt.Filters[0].Pattern, "*.PTT");
  EXPECT_EQ(prompt.Filters[1].Description, "DAT formated Files");
  EXPECT_EQ(prompt.Filters[1].Pattern, "*.DAT");
  EXPECT_EQ(prompt.Filters[2].Pattern, "*.*");
  EXPECT_EQ(prompt.InitialName, ".ptt");
  EXPECT_TRUE(prompt.OpenMode);
  EXPECT_TRUE(prompt.Flags & HideReadOnly);
  EXPECT_FALSE(prompt.Flags & FileMustExist);

  ASSERT_EQ(RendersDuring(), 49);
  ASSERT_EQ(Fractions.size(), 49u);
  for (int k = 1; k <= 49; ++k) {
    const int step = k <= 24 ? k : (k <= 48 ? 48 - k : k - 48);
    EXPECT_NEAR(Fractions[k - 1], step / 25.0, 1e-6) << "frame " << k;
  }
  EXPECT_EQ(Fractions[47], 0.0f);
  // Each frame is put on the screen right after its render.
  ASSERT_EQ(Windowing.PresentedFrames.size(), 49u);
  for (int k = 0; k < 49; ++k)
    EXPECT_EQ(Windowing.PresentedFrames[k], RendersBefore + k + 1);
  EXPECT_FLOAT_EQ(Dialog.ShapeTransform->GetFraction(), 0.04f);
  EXPECT_TRUE(Windowing.EnabledMenuItems.count(CmdClearTransform));
  // One evaluation of the field, then only the cache.
  EXPECT_EQ(Dialog.ShapeTransform->GetCacheFills(), 1);

  // The pole is shown 0.04 of the way to its target; the model as read is untouched.
  const vtkIdType pole = NorthPole();
  ASSERT_GE(pole, 0);
  EXPECT_NEAR(Shown()->GetPoint(pole)[2], 1 + 0.04 * 0.3, 1e-5);
  EXPECT_EQ(Dialog.Model()->GetPoints()->GetPoint(pole)[2], 1.0);
}

TEST_F(TransformCommandTest, OneCycleEndsAtTheTopAndClearShowsTheModelAsRead) {
  Open(MakeSphere(0, 16));
  Run(Dir.File("lift.ptt"), 5, 1);
  ASSERT_EQ(RendersDuring(), 4);
  EXPECT_FLOAT_EQ(Dialog.ShapeTransform->GetFraction(), 0.8f);
  const vtkIdType pole = NorthPole();
  EXPECT_NEAR(Shown()->GetPoint(pole)[2], 1 + 0.8 * 0.3, 1e-5);

  const int renders = Windowing.RenderCount();
  CommandTable commands;
  AddTransformCommands(commands);
  commands.at(CmdClearTransform)(Dialog);
  EXPECT_EQ(Windowing.RenderCount(), renders + 1);
  EXPECT_EQ(Dialog.ShapeTransform->GetFraction(), 0.0f);
  EXPECT_TRUE(SameBits(Shown(), Dialog.Model()->GetPoints()));
  EXPECT_TRUE(Windowing.EnabledMenuItems.count(CmdClearTransform));

  // Transform after Clear computes everything anew from the chosen file.
  Run(Dir.File("lift2.ptt"), 5, 1);
  EXPECT_EQ(Dialog.ShapeTransform->GetCacheFills(), 2);
  EXPECT_NEAR(Shown()->GetPoint(pole)[2], 1 + 0.8 * 0.6, 1e-5);

  commands.at(CmdTransform)(Dialog);
  ASSERT_FALSE(Windowing.ShownDialogs.empty());
  EXPECT_EQ(Windowing.ShownDialogs.back(), AuxiliaryDialog::MakeTransform);
}

TEST_F(TransformCommandTest, NoFramesWhenFramesTimesCyclesIsAtMostOne) {
  Open(MakeSphere(0, 16));
  for (auto [frames, cycles] : {std::pair{1, 1}, std::pair{0, 5}, std::pair{3, 0}}) {
    Run(Dir.File("lift.ptt"), frames, cycles);
    EXPECT_TRUE(Windowing.Messages.empty());
    EXPECT_EQ(RendersDuring(), 0) << frames << " x " << cycles;
    EXPECT_TRUE(Windowing.PresentedFrames.empty());
    // The first evaluation of the model's points ran with the fit, off the window's thread.
    EXPECT_EQ(Dialog.ShapeTransform->GetState(), vtkShapeTransform::Evaluated);
  }
  Dialog.Render();
  EXPECT_EQ(Dialog.ShapeTransform->GetState(), vtkShapeTransform::Evaluated);
  EXPECT_TRUE(SameBits(Shown(), Dialog.Model()->GetPoints()));
  float d[3];
  ASSERT_TRUE(Dialog.ShapeTransform->GetDisplacement(NorthPole(), d));
  EXPECT_NEAR(d[2], -0.3, 1e-5);
}

TEST_F(TransformCommandTest, AModelOpenedAfterATransformIsDeformedByTheField) {
  Open(MakeSphere(0, 8));
  Run(Dir.File("lift.ptt"), 3, 1);
  // A model with more points, elsewhere in space: the old cache's indices mean nothing.
  auto second = MakeSphere(0.25, 24);
  Open(second);
  Dialog.Render();
  vtkNew<vtkShapeTransform> fresh;
  ASSERT_TRUE(FitShapeTransform(Dir.File("lift.ptt"), 1.5f, fresh).Ok());
  fresh->SetFraction(Dialog.ShapeTransform->GetFraction());
  vtkNew<vtkTransformPolyDataFilter> expected;
  expected->SetTransform(fresh);
  expected->SetInputData(Dialog.Model());
  expected->Update();
  EXPECT_EQ(Shown()->GetNumberOfPoints(), second->GetNumberOfPoints());
  EXPECT_TRUE(SameBits(Shown(), expected->GetOutput()->GetPoints()));
  EXPECT_FALSE(SameBits(Shown(), Dialog.Model()->GetPoints()));
}

TEST_F(TransformCommandTest, RefusalsAndFailuresShowOneMessageAndChangeNothing) {
  Open(MakeSphere(0, 16));
  Run(Dir.File("lift.ptt"), 5, 1);
  const float fraction = Dialog.ShapeTransform->GetFraction();
  vtkNew<vtkPoints> shown;
  shown->DeepCopy(Shown());
  const size_t prompts = Windowing.Prompts.size();

  // Values the animation cannot use: refused before any file is asked for.
  struct Values {
    float Radius;
    int Frames, Cycles;
  };
  for (const Values v : {Values{0.0f, 25, 2}, Values{-1.0f, 25, 2}, Values{std::nanf(""), 25, 2},
                         Values{1.5f, 1, 2}, Values{1.5f, -3, 2}, Values{1.5f, 25, -1}}) {
    Windowing.Messages.clear();
    Dialog.MakeTransformBox.SupportRadius = v.Radius;
    Dialog.MakeTransformBox.FrameCount = v.Frames;
    Dialog.MakeTransformBox.CycleCount = v.Cycles;
    RendersBefore = Windowing.RenderCount();
    RunTransform(Dialog);
    EXPECT_EQ(Windowing.Messages.size(), 1u) << v.Radius << " " << v.Frames << " " << v.Cycles;
    EXPECT_EQ(Windowing.Prompts.size(), prompts);
    EXPECT_EQ(RendersDuring(), 0);
  }

  // Files that cannot be used.
  WriteTextFile(Dir.File("empty.ptt"), "# nothing here\n1 2 3\n");
  WriteTextFile(Dir.File("line.ptt"), "0 0 0 0 0 1\n1 0 0 1 0 1\n2 0 0 2 0 1\n3 0 0 3 0 1\n");
  WriteTextFile(Dir.File("nan.ptt"), "0 0 0 0 0 1\nnan 0 0 1 0 1\n");
  const std::pair<std::string, std::string> files[] = {
      {Dir.File("missing.ptt"), "Cannot open PTT file for reading!"},
      {Dir.File("empty.ptt"), "empty.ptt"},
      {Dir.File("line.ptt"), "line.ptt"},
      {Dir.File("nan.ptt"), "nan.ptt"}};
  for (const auto& [file, expected] : files) {
    Windowing.Messages.clear();
    Run(file, 5, 1);
    ASSERT_EQ(Windowing.Messages.size(), 1u) << file;
    EXPECT_NE(Windowing.Messages[0].find(expected), std::string::npos) << Windowing.Messages[0];
    EXPECT_EQ(RendersDuring(), 0);
  }
  EXPECT_EQ(Windowing.Messages[0].find("Cannot open PTT"), std::string::npos);

  // Cancelling the prompt: nothing at all.
  Windowing.Messages.clear();
  Dialog.MakeTransformBox = MakeTransformDialog{&Dialog, 1.5f, 5, 1};
  Windowing.QueueFileAnswer(std::nullopt);
  RunTransform(Dialog);
  EXPECT_TRUE(Windowing.Messages.empty());

  EXPECT_EQ(Dialog.ShapeTransform->GetFraction(), fraction);
  EXPECT_EQ(Dialog.ShapeTransform->GetCacheFills(), 1);
  EXPECT_TRUE(SameBits(Shown(), shown));
}

TEST_F(TransformCommandTest, AFailedFirstTransformLeavesClearTransformGreyedAndTheModelAsRead) {
  Open(MakeSphere(0, 16));
  Run(Dir.File("missing.ptt"), 25, 2);
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0], "Cannot open PTT file for reading!\nCannot read \"" +
                                       Dir.File("missing.ptt") +
                                       "\": cannot open the file: " + std::strerror(ENOENT) + ".");
  EXPECT_FALSE(Windowing.EnabledMenuItems.count(CmdClearTransform));
  EXPECT_EQ(Dialog.ShapeTransform->GetState(), vtkShapeTransform::Identity);
  EXPECT_TRUE(SameBits(Shown(), Dialog.Model()->GetPoints()));
}

TEST_F(TransformCommandTest, HostileCorrespondenceFilesAreRefusedAtOnceWithTheirCause) {
  Open(MakeSphere(0, 16));
  Run(Dir.File("lift.ptt"), 5, 1);
  vtkNew<vtkPoints> shown;
  shown->DeepCopy(Shown());
  const std::string fifo = Dir.File("pipe.ptt");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string overlong = Dir.File("overlong.ptt");
  WriteTextFile(overlong, PairsText(0.3) + std::string((1 << 20) + 1, ' ') + "\n");
  const std::pair<std::string, std::string> files[] = {
      {Dir.Path(), "Cannot open PTT file for reading!\nCannot read \"" + Dir.Path() +
                       "\": it is a folder, not a file."},
      {fifo, "Cannot open PTT file for reading!\nCannot read \"" + fifo +
                 "\": it is a pipe (FIFO), not a file."},
      {"/dev/zero",
       "Cannot open PTT file for reading!\nCannot read \"/dev/zero\": it is a character device, "
       "not a file."},
      {overlong,
       "Cannot read PTT file \"" + overlong + "\": line 12 is longer than 1048576 bytes."}};
  for (const auto& [file, expected] : files) {
    Windowing.Messages.clear();
    ::alarm(20); // a blocking open or an endless read ends the test instead of hanging it
    Run(file, 5, 1);
    ::alarm(0);
    EXPECT_EQ(Windowing.Messages, std::vector<std::string>{expected});
    EXPECT_EQ(RendersDuring(), 0);
  }
  EXPECT_TRUE(SameBits(Shown(), shown));

  // A byte-order mark before the first pair, the lift of the pole: the pair still counts.
  const std::string pairs = PairsText(0.3);
  const std::size_t poleLine = pairs.find("\n0 0 1 ") + 1;
  WriteTextFile(Dir.File("bom.ptt"),
                "\xEF\xBB\xBF" + pairs.substr(poleLine) + pairs.substr(0, poleLine));
  Windowing.Messages.clear();
  Run(Dir.File("bom.ptt"), 5, 1);
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  const vtkIdType pole = NorthPole();
  ASSERT_GE(pole, 0);
  const double lifted = shown->GetPoint(pole)[2];
  ASSERT_GT(lifted, 1.1); // the lift shows in the last frame
  EXPECT_NEAR(Shown()->GetPoint(pole)[2], lifted, 1e-4);
}

TEST(AnimationFractionTest, TriangleWaveForSeveralFrameCounts) {
  EXPECT_FLOAT_EQ(AnimationFraction(1, 2), 0.5f);
  EXPECT_FLOAT_EQ(AnimationFraction(2, 2), 0.0f);
  EXPECT_FLOAT_EQ(AnimationFraction(3, 2), 0.5f);
  EXPECT_FLOAT_EQ(AnimationFraction(4, 4), 2.0f / 4);
  EXPECT_FLOAT_EQ(AnimationFraction(6, 4), 0.0f);
  EXPECT_FLOAT_EQ(AnimationFraction(7, 4), 1.0f / 4);
  EXPECT_EQ(CheckTransformValues(0.5f, 25, 2), "");
  EXPECT_EQ(CheckTransformValues(0.5f, 1, 1), "");
  EXPECT_NE(CheckTransformValues(INFINITY, 25, 2), "");
}

// The fit and the first evaluation run as a background job in stages; Cancel at any stage
// leaves the model, the transform, its Fraction and the menu exactly as before.
TEST_F(TransformCommandTest, CancelAtAnyStageLeavesEverythingAsBefore) {
  Open(MakeSphere(0, 16));
  Run(Dir.File("lift.ptt"), 3, 1);
  const std::vector<std::string> stages = {"Reading", "Ordering", "Assembling", "Factoring",
                                           "Evaluating"};
  EXPECT_EQ(Windowing.Stages, stages);
  vtkShapeTransform* transform = Dialog.ShapeTransform;
  const float fraction = transform->GetFraction();
  vtkPoints* centres = transform->GetPointArray();
  const std::set<int> menu = Windowing.EnabledMenuItems;
  vtkNew<vtkPoints> before;
  before->DeepCopy(Shown());

  for (const std::string& stage : stages) {
    Windowing.CancelAtStage = stage;
    Run(Dir.File("lift2.ptt"), 5, 2);
    EXPECT_TRUE(Windowing.Messages.empty()) << stage;
    EXPECT_EQ(RendersDuring(), 0) << stage;
    EXPECT_EQ(transform->GetFraction(), fraction) << stage;
    EXPECT_EQ(transform->GetPointArray(), centres) << stage;
    EXPECT_EQ(transform->GetState(), vtkShapeTransform::Evaluated) << stage;
    EXPECT_EQ(Windowing.EnabledMenuItems, menu) << stage;
    EXPECT_TRUE(SameBits(Shown(), before)) << stage;
  }
  // Not cancelled, the same file now takes effect.
  Windowing.CancelAtStage.clear();
  Run(Dir.File("lift2.ptt"), 5, 1);
  EXPECT_NE(transform->GetPointArray(), centres);
  EXPECT_EQ(Windowing.PresentedFrames.size(), 4u);
}

// Transform Selected Points fits what Export Points Transformations would write, without the
// file: the same displacements, bit for bit, as exporting and choosing File > Transform.
TEST_F(TransformCommandTest, TransformingTheSelectedPointsEqualsExportingThemFirst) {
  Open(MakeSphere(0, 16));
  const struct {
    int Point;
    const char *X, *Y, *Z;
  } picks[] = {{static_cast<int>(NorthPole()), "0", "0.1", "1.4"},
               {40, "0.3", "-0.2", "0.5"},
               {77, "1", "1", "0"}};
  for (const auto& pick : picks) {
    Dialog.SetCurrentPoint(pick.Point);
    Windowing.FieldTexts[TargetXField] = pick.X;
    Windowing.FieldTexts[TargetYField] = pick.Y;
    Windowing.FieldTexts[TargetZField] = pick.Z;
    Dialog.ToggleCurrentPoint();
  }
  CommandTable commands;
  AddFileCommands(commands);
  AddTransformCommands(commands);
  const std::string ptt = Dir.File("selected.ptt");
  Windowing.QueueFileAnswer(ptt);
  commands.at(CmdExportPointTransformations)(Dialog);
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();

  auto displacements = [this] {
    std::vector<float> all;
    float d[3];
    for (vtkIdType i = 0; i < Dialog.Model()->GetNumberOfPoints(); ++i) {
      EXPECT_TRUE(Dialog.ShapeTransform->GetDisplacement(i, d));
      all.insert(all.end(), d, d + 3);
    }
    return all;
  };
  Run(ptt, 4, 1, 0.8f);
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  const std::vector<float> fromFile = displacements();
  vtkNew<vtkPoints> shownFromFile;
  shownFromFile->DeepCopy(Shown());
  const std::size_t prompts = Windowing.Prompts.size();

  commands.at(CmdClearTransform)(Dialog);
  commands.at(CmdTransformSelectedPoints)(Dialog);
  EXPECT_EQ(Windowing.ShownDialogs.back(), AuxiliaryDialog::MakeTransform);
  Dialog.MakeTransformBox.SupportRadius = 0.8f;
  Dialog.MakeTransformBox.FrameCount = 4;
  Dialog.MakeTransformBox.CycleCount = 1;
  RendersBefore = Windowing.RenderCount();
  RunTransform(Dialog); // the box's OK
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  EXPECT_EQ(Windowing.Prompts.size(), prompts) << "no file is asked for";
  EXPECT_EQ(RendersDuring(), 3);
  const std::vector<float> direct = displacements();
  ASSERT_EQ(direct.size(), fromFile.size());
  EXPECT_EQ(std::memcmp(direct.data(), fromFile.data(), direct.size() * sizeof(float)), 0);
  EXPECT_TRUE(SameBits(Shown(), shownFromFile));

  // File > Transform asks for its file again.
  commands.at(CmdTransform)(Dialog);
  EXPECT_FALSE(Dialog.MakeTransformBox.FromSelectedPoints);
}

// A fit that misses its sources (two sources a millionth apart with different targets) is
// still shown, and the window says so in its message box, naming the worst pair.
TEST_F(TransformCommandTest, AnImpreciseFitIsShownWithAWarning) {
  Open(MakeSphere(0, 8));
  WriteTextFile(Dir.File("twins.ptt"), "0 0 0 0 0 0\n10 0 0 10 0 0\n0 10 0 0 10 0\n"
                                       "0 0 10 0 0 10\n3 3 3 3 3 3\n3.000001 3 3 3 4 3\n");
  Run(Dir.File("twins.ptt"), 3, 1, 10.0f);
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0].rfind(
                "The transformation from \"" + Dir.File("twins.ptt") + "\" is imprecise: ", 0),
            0u)
      << Windowing.Messages[0];
  EXPECT_NE(Windowing.Messages[0].find("pair "), std::string::npos);
  EXPECT_EQ(Windowing.PresentedFrames.size(), 2u) << "the fit is still shown";
}

// After a Transform any share of the deformation can be shown from the cached displacements,
// and Save Model As writes the shape shown with that share in its title line.
TEST_F(TransformCommandTest, AnyShareOfTheDeformationIsShownAndSavedAsShown) {
  Open(MakeSphere(0, 16));
  Dialog.ShowDeformation(0.5f); // before a Transform: nothing to show
  EXPECT_EQ(Dialog.ShapeTransform->GetFraction(), 0.0f);
  Run(Dir.File("lift.ptt"), 3, 1);
  const int fills = Dialog.ShapeTransform->GetCacheFills();
  Dialog.ShowDeformation(0.4f);
  EXPECT_EQ(Dialog.ShapeTransform->GetCacheFills(), fills) << "from the cache";
  float d[3];
  const vtkIdType pole = NorthPole();
  ASSERT_TRUE(Dialog.ShapeTransform->GetDisplacement(pole, d));
  EXPECT_NEAR(Shown()->GetPoint(pole)[2], 1 - 0.4 * d[2], 1e-6);
  Dialog.ShowDeformation(7.0f); // clamped
  EXPECT_EQ(Dialog.ShapeTransform->GetFraction(), 1.0f);

  Dialog.ShowDeformation(0.4f);
  CommandTable commands;
  AddFileCommands(commands);
  const std::string saved = Dir.File("saved.vtk");
  Windowing.QueueFileAnswer(saved);
  commands.at(CmdSaveModelAs)(Dialog);
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  std::ifstream in(saved);
  std::string header, title;
  std::getline(in, header);
  std::getline(in, title);
  EXPECT_EQ(title, "Selvane model, deformation 40%");
}

} // namespace

TEST_F(TransformCommandTest, TransformAndClearTransformAreUndoneAndRedoneWithTheirCaches) {
  Open(MakeSphere(0, 16));
  vtkNew<vtkPoints> asRead, first, second;
  asRead->DeepCopy(Dialog.Model()->GetPoints());
  Run(Dir.File("lift.ptt"), 5, 1);
  EXPECT_EQ(Dialog.UndoStepName(), "Transform");
  first->DeepCopy(Shown());
  Run(Dir.File("lift2.ptt"), 5, 1);
  second->DeepCopy(Shown());
  CommandTable commands;
  AddTransformCommands(commands);
  commands.at(CmdClearTransform)(Dialog);
  EXPECT_EQ(Dialog.UndoStepName(), "Clear Transform");
  ASSERT_TRUE(SameBits(Shown(), asRead));

  // Each undo shows the shape before the step, from displacements already computed.
  Dialog.Undo();
  EXPECT_TRUE(SameBits(Shown(), second));
  Dialog.Undo();
  EXPECT_TRUE(Dialog.ShapeTransform->GetDisplacementsValid()) << "the first fit's cache came back";
  EXPECT_FLOAT_EQ(Dialog.ShapeTransform->GetFraction(), 0.8f);
  EXPECT_TRUE(SameBits(Shown(), first));
  Dialog.Undo();
  EXPECT_FALSE(Dialog.ShapeTransform->GetParametersSet());
  EXPECT_TRUE(SameBits(Shown(), asRead));
  EXPECT_FALSE(Dialog.CanUndo());

  Dialog.Redo();
  EXPECT_TRUE(Dialog.ShapeTransform->GetDisplacementsValid());
  EXPECT_TRUE(SameBits(Shown(), first));
  Dialog.Redo();
  EXPECT_TRUE(SameBits(Shown(), second));
  Dialog.Redo();
  EXPECT_TRUE(SameBits(Shown(), asRead));
  EXPECT_FALSE(Dialog.CanRedo());

  // The selection's own Transform names its step after its command.
  Dialog.SetCurrentPoint(static_cast<int>(NorthPole()));
  Windowing.FieldTexts[TargetZField] = "1.25";
  Dialog.ToggleCurrentPoint();
  Dialog.MakeTransformBox.FromSelectedPoints = true;
  Run("", 3, 1);
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  EXPECT_EQ(Dialog.UndoStepName(), "Transform Selected Points");
  Dialog.Undo();
  EXPECT_TRUE(SameBits(Shown(), asRead));
  EXPECT_EQ(Dialog.UndoStepName(), "Select point");
}
