// Scenario tests of the main window's state around Open Model, driven through the fake
// window system.
#include "ControlIds.h"
#include "FakeWindowing.h"
#include "FilePrompt.h"
#include "MainDialog.h"
#include "TestMeshes.h"
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

#include <gtest/gtest.h>

#include <vtkActor.h>
#include <vtkCallbackCommand.h>
#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkFollower.h>
#include <vtkIdList.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkPolyDataReader.h>
#include <vtkProp.h>
#include <vtkPropCollection.h>
#include <vtkRenderer.h>
#include <vtkSphereSource.h>

#include <algorithm>
#include <array>
#include <vector>

using namespace selvane;

namespace {

// A snapshot of everything a refused Open Model must leave as it was.
struct ViewerState {
  int NoModel;
  vtkPolyData* Model;
  vtkPoints* Points;
  double ScalarRange[2];
  float PointerRadius;
  std::set<int> Menu;
  std::vector<vtkProp*> Props;
  vtkIdType SelectedCells;

  static ViewerState Of(MainDialog& dialog, FakeWindowing& windowing) {
    ViewerState state{dialog.NoModel,           dialog.Model(),
                      dialog.ModelPoints.Get(), {0, 0},
                      dialog.PointerRadius,     windowing.EnabledMenuItems,
                      PropsOf(dialog.Renderer), dialog.SelectedCells().Ids()->GetNumberOfIds()};
    dialog.ModelMapper->GetScalarRange(state.ScalarRange);
    return state;
  }
  void ExpectEqual(const ViewerState& other) const {
    EXPECT_EQ(NoModel, other.NoModel);
    EXPECT_EQ(Model, other.Model);
    EXPECT_EQ(Points, other.Points);
    EXPECT_EQ(ScalarRange[0], other.ScalarRange[0]);
    EXPECT_EQ(ScalarRange[1], other.ScalarRange[1]);
    EXPECT_EQ(PointerRadius, other.PointerRadius);
    EXPECT_EQ(Menu, other.Menu);
    EXPECT_EQ(Props, other.Props);
    EXPECT_EQ(SelectedCells, other.SelectedCells);
  }
};

class OpenModelTest : public ::testing::Test {
protected:
  OpenModelTest() : Dialog(Windowing) { Dialog.InitializeView(); }

  std::string WriteBox(const std::string& name, double dx, double dy, double dz, bool scalars) {
    const std::string path = Dir.File(name);
    EXPECT_TRUE(WriteLegacyModel(MakeBoxModel(0, 0, 0, dx, dy, dz, scalars), path));
    return path;
  }
  bool Open(const std::string& path) {
    Windowing.QueueFileAnswer(path);
    const auto before = Windowing.Messages.size();
    Dialog.OpenModel();
    return Windowing.Messages.size() == before;
  }
  // Selects one cell as a user does.
  void SelectCell(vtkIdType cell) {
    Dialog.SetCurrentCell(static_cast<int>(cell), 0);
    Dialog.ToggleCurrentCell();
  }

  TempDir Dir;
  FakeWindowing Windowing;
  MainDialog Dialog;
};

TEST_F(OpenModelTest, StartsWithPlaceholderAndNoModel) {
  EXPECT_EQ(Dialog.NoModel, 1);
  EXPECT_EQ(Dialog.Model(), nullptr);
  EXPECT_EQ(Dialog.CurrentCell, -1);
  EXPECT_EQ(Dialog.CurrentPoint, -1);
  EXPECT_FLOAT_EQ(Dialog.PointerRadius, 0.03f);
  // Only the placeholder text is in view.
  const auto props = PropsOf(Dialog.Renderer);
  ASSERT_EQ(props.size(), 1u);
  EXPECT_NE(props[0], Dialog.ModelActor.Get());
  EXPECT_GT(Windowing.RenderCount(), 0);
}

TEST_F(OpenModelTest, PromptAsksForAVtkFileAndCancelChangesNothing) {
  const auto before = ViewerState::Of(Dialog, Windowing);
  Windowing.QueueFileAnswer(std::nullopt);
  Dialog.OpenModel();
  ASSERT_EQ(Windowing.Prompts.size(), 1u);
  const FilePromptRequest& prompt = Windowing.Prompts[0];
  EXPECT_EQ(prompt.Title, "Open File");
  EXPECT_TRUE(prompt.OpenMode);
  EXPECT_TRUE(prompt.Flags & FileMustExist);
  EXPECT_TRUE(prompt.Flags & OverwritePrompt);
  EXPECT_EQ(prompt.InitialName, "*.vtk");
  // The legacy entry first and "All Files" last, one entry per format and "All models" between.
  ASSERT_EQ(prompt.Filters.size(), 8u);
  EXPECT_EQ(prompt.Filters[0].Description, "VTK formated Files");
  EXPECT_EQ(prompt.Filters[0].Pattern, "*.VTK");
  std::string patterns;
  for (std::size_t i = 1; i + 2 < prompt.Filters.size(); ++i)
    patterns += prompt.Filters[i].Pattern + " ";
  EXPECT_EQ(patterns, "*.VTP *.STL *.PLY *.OBJ *.OFF ");
  EXPECT_EQ(prompt.Filters[6].Description, "All models");
  EXPECT_EQ(prompt.Filters[6].Pattern, "*.VTK *.VTP *.STL *.PLY *.OBJ *.OFF");
  EXPECT_EQ(prompt.Filters[7].Description, "All Files");
  EXPECT_EQ(prompt.Filters[7].Pattern, "*.*");
  EXPECT_TRUE(Windowing.Messages.empty());
  before.ExpectEqual(ViewerState::Of(Dialog, Windowing));
}

TEST_F(OpenModelTest, OpeningAModelShowsItAndEnablesTheMenu) {
  ASSERT_TRUE(Open(WriteBox("box.vtk", 10, 4, 2, true)));
  EXPECT_EQ(Dialog.NoModel, 0);
  ASSERT_NE(Dialog.Model(), nullptr);
  EXPECT_EQ(Dialog.Model()->GetNumberOfCells(), 12);
  EXPECT_EQ(Dialog.ModelPoints.Get(), Dialog.Model()->GetPoints());
  EXPECT_EQ(Dialog.CurrentCellPoly->GetPoints(), Dialog.ModelPoints.Get());

  // Cell scalars 0..3 set the mapper's range.
  double range[2];
  Dialog.ModelMapper->GetScalarRange(range);
  EXPECT_EQ(range[0], 0);
  EXPECT_EQ(range[1], 3);

  // Largest extent 10: label scale 10/28 and a pointer radius of 0.002 x 10.
  EXPECT_NEAR(Dialog.PointerRadius, 0.02f, 1e-6);
  EXPECT_NEAR(Dialog.PointingSphere->GetRadius(), 0.02, 1e-6);
  EXPECT_NEAR(Dialog.SetRadiusBox.SphereRadius, 0.02f, 1e-6);
  ASSERT_FALSE(Windowing.RefreshedDialogs.empty());
  EXPECT_EQ(Windowing.RefreshedDialogs.back(), AuxiliaryDialog::SetRadius);

  std::set<int> expected = StartUpMenuItems();
  expected.insert(std::begin(ModelMenuItems), std::end(ModelMenuItems));
  EXPECT_EQ(Windowing.EnabledMenuItems, expected);
  EXPECT_EQ(expected.size(), 22u);
  EXPECT_FALSE(Windowing.EnabledMenuItems.count(CmdClearTransform));

  // The model, its axes and labels, then the pointing sphere and the current cell: no
  // empty selection actor.
  const std::vector<vtkProp*> expectedProps = {
      Dialog.ModelActor, Dialog.AxesActor, Dialog.OriginLabel,         Dialog.XLabel,
      Dialog.YLabel,     Dialog.ZLabel,    Dialog.PointingSphereActor, Dialog.CurrentCellActor};
  EXPECT_EQ(PropsOf(Dialog.Renderer), expectedProps);
}

TEST_F(OpenModelTest, ReopeningTheSameFileKeepsTheModelAndEmptiesSelections) {
  const std::string path = WriteBox("box.vtk", 1, 1, 1, false);
  ASSERT_TRUE(Open(path));
  vtkPolyData* model = Dialog.Model();
  vtkPoints* points = Dialog.ModelPoints;
  const auto readTime = Dialog.ModelReader->GetOutput()->GetMTime();
  SelectCell(3);
  SelectCell(7);
  Dialog.ClearSelectedPoints();

  ASSERT_TRUE(Open(path));
  EXPECT_EQ(Dialog.Model(), model);
  EXPECT_EQ(Dialog.ModelPoints.Get(), points);
  EXPECT_EQ(Dialog.ModelReader->GetOutput()->GetMTime(), readTime);
  EXPECT_EQ(Dialog.SelectedCells().Ids()->GetNumberOfIds(), 0);
  EXPECT_EQ(Dialog.SelectedCells().CellsSource()->GetNumberOfSelectedCells(), 0);
  EXPECT_TRUE(Windowing.ListBoxes[SelectedCellsList].empty());
}

TEST_F(OpenModelTest, SecondModelReplacesTheFirstAndKeepsTheScalarRangeWithoutScalars) {
  ASSERT_TRUE(Open(WriteBox("first.vtk", 10, 4, 2, true)));
  SelectCell(5);
  ASSERT_TRUE(Open(WriteBox("second.vtk", 3, 50, 1, false)));
  EXPECT_EQ(Dialog.SelectedCells().Ids()->GetNumberOfIds(), 0);
  EXPECT_TRUE(Windowing.ListBoxes[SelectedCellsList].empty());
  double bounds[6];
  Dialog.ModelPoints->GetBounds(bounds);
  EXPECT_EQ(bounds[3], 50);
  double range[2];
  Dialog.ModelMapper->GetScalarRange(range);
  EXPECT_EQ(range[1], 3); // the second model has no cell scalars
  EXPECT_NEAR(Dialog.PointerRadius, 0.1f, 1e-6);
  // The mapper draws the new model.
  Dialog.ModelMapper->Update();
  EXPECT_EQ(Dialog.ModelMapper->GetInput()->GetNumberOfPoints(), 8);
  EXPECT_EQ(Dialog.ModelMapper->GetInput()->GetPoints()->GetPoint(7)[1], 50);
}

// What the renderer holds when it draws its first frame after a moment of the test.
struct FirstFrame {
  bool Seen = false;
  std::vector<vtkProp*> Props;
  double Bounds[6] = {};

  void Watch(vtkRenderer* renderer) {
    Seen = false;
    auto callback = vtkSmartPointer<vtkCallbackCommand>::New();
    callback->SetClientData(this);
    callback->SetCallback([](vtkObject* caller, unsigned long, void* data, void*) {
      auto* frame = static_cast<FirstFrame*>(data);
      auto* drawn = static_cast<vtkRenderer*>(caller);
      if (frame->Seen)
        return;
      frame->Seen = true;
      frame->Props = PropsOf(drawn);
      drawn->ComputeVisiblePropBounds(frame->Bounds);
    });
    renderer->AddObserver(vtkCommand::StartEvent, callback);
  }
};

TEST_F(OpenModelTest, SecondModelIsFramedAsOnAFreshStartWithoutTheOldAxes) {
  // A small grid at the origin, then a model hundreds of units across, far from it.
  ASSERT_TRUE(Open(WriteBox("grid.vtk", 6, 6, 0, false)));
  const std::string large = Dir.File("large.vtk");
  ASSERT_TRUE(WriteLegacyModel(MakeBoxModel(1000, 2000, -500, 1400, 2300, -300, false), large));
  const vtkSmartPointer<vtkProp> oldAxes = Dialog.AxesActor.Get();
  const vtkSmartPointer<vtkProp> oldLabel = Dialog.XLabel.Get();
  FirstFrame frame;
  frame.Watch(Dialog.Renderer);
  ASSERT_TRUE(Open(large));

  ASSERT_TRUE(frame.Seen);
  for (vtkProp* old : {oldAxes.Get(), oldLabel.Get()})
    EXPECT_EQ(std::count(frame.Props.begin(), frame.Props.end(), old), 0);
  // Only the new model (and the pointing sphere and current cell on it) is in view.
  const double expected[6] = {1000, 1400, 2000, 2300, -500, -300};
  for (int i = 0; i < 6; ++i)
    EXPECT_NEAR(frame.Bounds[i], expected[i], 1.0) << "bound " << i;

  FakeWindowing freshWindowing;
  MainDialog fresh(freshWindowing);
  fresh.InitializeView();
  freshWindowing.QueueFileAnswer(large);
  fresh.OpenModel();
  vtkCamera* camera = Dialog.Renderer->GetActiveCamera();
  vtkCamera* freshCamera = fresh.Renderer->GetActiveCamera();
  // Within the pointing sphere, which still has the previous model's radius at the reset.
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(camera->GetPosition()[i], freshCamera->GetPosition()[i], 0.5);
    EXPECT_NEAR(camera->GetFocalPoint()[i], freshCamera->GetFocalPoint()[i], 0.5);
  }
  // The new axes and labels are in the scene for the next frame.
  const auto props = PropsOf(Dialog.Renderer);
  EXPECT_NE(Dialog.AxesActor.Get(), oldAxes.Get());
  EXPECT_EQ(std::count(props.begin(), props.end(), Dialog.AxesActor.Get()), 1);
  EXPECT_EQ(std::count(props.begin(), props.end(), Dialog.XLabel.Get()), 1);
}

TEST_F(OpenModelTest, RefusedFilesLeaveEverythingAsItWas) {
  const std::string good = WriteBox("good.vtk", 2, 2, 2, true);
  const std::string header = "# vtk DataFile Version 4.2\nbad\nASCII\nDATASET POLYDATA\n";
  const struct {
    const char* Name;
    std::string Text;
  } bad[] = {
      {"empty.vtk", ""},
      {"text.vtk", "hello, this is not a model\n"},
      {"grid.vtk", "# vtk DataFile Version 4.2\ng\nASCII\nDATASET STRUCTURED_POINTS\n"
                   "DIMENSIONS 2 2 2\nSPACING 1 1 1\nORIGIN 0 0 0\n"},
      {"short.vtk", header + "POINTS 3 float\n0 0 0 1 0 0 0 1 0\nPOLYGONS 2 8\n3 0 1 2\n"},
      {"range.vtk", header + "POINTS 3 float\n0 0 0 1 0 0 0 1 0\nPOLYGONS 1 4\n3 0 1 9\n"},
      {"nopoints.vtk", header + "POINTS 0 float\n"},
  };
  for (bool modelLoaded : {false, true}) {
    if (modelLoaded) {
      ASSERT_TRUE(Open(good));
    }
    SelectCell(1);
    for (const auto& file : bad) {
      SCOPED_TRACE(std::string(file.Name) + (modelLoaded ? " after a model" : " first"));
      const std::string path = Dir.File(file.Name);
      WriteTextFile(path, file.Text);
      const auto before = ViewerState::Of(Dialog, Windowing);
      EXPECT_FALSE(Open(path));
      ASSERT_FALSE(Windowing.Messages.empty());
      EXPECT_NE(Windowing.Messages.back().find(path), std::string::npos)
          << Windowing.Messages.back();
      before.ExpectEqual(ViewerState::Of(Dialog, Windowing));
    }
    Dialog.ClearSelectedCells();
  }
}

TEST_F(OpenModelTest, ModelsOfOtherFormatsOpenAsLegacyOnesDoAndDamagedOnesAreRefused) {
  // One unit square of two triangles in each format; the OBJ file has a line as well.
  const struct {
    const char* Name;
    std::string Text;
    vtkIdType Points, Cells;
  } files[] = {
      {"square.OBJ", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\nl 1 3\n", 4, 3},
      {"square.off", "OFF\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n", 4, 2},
      {"square.ply",
       "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\n"
       "property float y\nproperty float z\nelement face 2\n"
       "property list uchar int vertex_indices\nend_header\n"
       "0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n",
       4, 2},
      {"square.stl",
       "solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
       "vertex 1 1 0\nendloop\nendfacet\nfacet normal 0 0 1\nouter loop\n"
       "vertex 0 0 0\nvertex 1 1 0\nvertex 0 1 0\nendloop\nendfacet\n"
       "endsolid s\n",
       6, 2},
  };
  std::set<int> expectedMenu = StartUpMenuItems();
  expectedMenu.insert(std::begin(ModelMenuItems), std::end(ModelMenuItems));
  for (const auto& file : files) {
    SCOPED_TRACE(file.Name);
    const std::string path = Dir.File(file.Name);
    WriteTextFile(path, file.Text);
    SelectCell(0);
    ASSERT_TRUE(Open(path)) << Windowing.Messages.back();
    EXPECT_EQ(Dialog.NoModel, 0);
    EXPECT_EQ(Dialog.Model()->GetNumberOfPoints(), file.Points);
    EXPECT_EQ(Dialog.Model()->GetNumberOfCells(), file.Cells);
    EXPECT_EQ(Dialog.ModelPoints.Get(), Dialog.Model()->GetPoints());
    EXPECT_EQ(Dialog.SelectedCells().Ids()->GetNumberOfIds(), 0);
    EXPECT_EQ(Dialog.CurrentCell, 0);
    EXPECT_EQ(Windowing.EnabledMenuItems, expectedMenu);
    EXPECT_NEAR(Dialog.PointerRadius, 0.002f, 1e-6);
  }

  // A damaged file of another format is refused like a damaged legacy file: the message names
  // the file and the reason, and the model shown stays.
  for (const auto& [name, text, reason] : std::vector<std::array<std::string, 3>>{
           {"cut.stl", std::string(84, 's') + std::string(40, '\0'), "cut mid-record"},
           {"range.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", "line 4"},
           {"model.xyz", "whatever", "known: .vtk .vtp .stl .ply .obj .off"}}) {
    SCOPED_TRACE(name);
    const std::string path = Dir.File(name);
    WriteTextFile(path, text);
    const auto before = ViewerState::Of(Dialog, Windowing);
    EXPECT_FALSE(Open(path));
    EXPECT_EQ(Windowing.Messages.back().rfind("Cannot open model \"" + path + "\": ", 0), 0u)
        << Windowing.Messages.back();
    EXPECT_NE(Windowing.Messages.back().find(reason), std::string::npos)
        << Windowing.Messages.back();
    before.ExpectEqual(ViewerState::Of(Dialog, Windowing));
  }
}

TEST_F(OpenModelTest, ClearingSelectedPointsResetsCurrentAndHighlightedPoint) {
  ASSERT_TRUE(Open(WriteBox("box.vtk", 1, 1, 1, false)));
  Dialog.SetCurrentPoint(4);
  Dialog.ToggleCurrentPoint();
  ASSERT_EQ(Dialog.SelectedPoints().HighlightedPoint(), 4);
  ASSERT_EQ(Windowing.ListSelection[SelectedPointsList], 0);
  Dialog.ClearSelectedPoints();
  EXPECT_EQ(Dialog.CurrentPoint, -1);
  EXPECT_EQ(Dialog.SelectedPoints().HighlightedPoint(), -1);
  EXPECT_EQ(Dialog.SelectedPoints().Ids()->GetNumberOfIds(), 0);
  EXPECT_TRUE(Dialog.SelectedPoints().Markers().empty());
  EXPECT_EQ(Dialog.SelectedPoints().MarkersSource()->GetNumberOfMarkers(), 0);
  EXPECT_EQ(Dialog.SelectedPoints().HighlightSource()->GetNumberOfMarkers(), 0);
  EXPECT_TRUE(Windowing.ListBoxes[SelectedPointsList].empty());
  EXPECT_EQ(Windowing.ListSelection[SelectedPointsList], -1);
}

TEST(FilePromptTest, InitialNameTakesThePathUpToItsLastDotAndTheExtension) {
  EXPECT_EQ(InitialFileName("*.pid", ".pid"), "*.pid");
  EXPECT_EQ(InitialFileName("", ".ptt"), ".ptt");
  EXPECT_EQ(InitialFileName("model", ".vtk"), ".vtk");
  EXPECT_EQ(InitialFileName("/data/run.2/model.old.vtk", ".cid"), "/data/run.2/model.old.cid");
}

TEST(FilePromptTest, CancelledPromptLeavesTheInitialNameAndLongPathsComeBackWhole) {
  FakeWindowing windowing;
  MainDialog dialog(windowing);
  std::string path = "*.cid";
  windowing.QueueFileAnswer(std::nullopt);
  EXPECT_FALSE(dialog.PromptFileName(path, "Export Cells IDs", HideReadOnly,
                                     {{"Cells IDs Files", "*.CID"}}, ".cid", false));
  EXPECT_EQ(path, "*.cid");
  EXPECT_FALSE(windowing.Prompts.back().OpenMode);
  EXPECT_TRUE(windowing.Prompts.back().Flags & OverwritePrompt);

  const std::string longPath = "/tmp/" + std::string(400, 'a') + ".cid";
  windowing.QueueFileAnswer(longPath);
  EXPECT_TRUE(dialog.PromptFileName(path, "Export Cells IDs", HideReadOnly,
                                    {{"Cells IDs Files", "*.CID"}}, ".cid", false));
  EXPECT_EQ(path, longPath);
}

} // namespace
