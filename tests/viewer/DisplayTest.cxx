// The axes and labels of the loaded model, and the three display commands.
#include "ControlIds.h"
#include "FakeWindowing.h"
#include "MainDialog.h"
#include "TestMeshes.h"
#include "vtkPointMarkerSource.h"
#include "vtkScaledAxes.h"
#include "vtkSelectedCellsSource.h"

#include <gtest/gtest.h>

#include <vtkActor.h>
#include <vtkCallbackCommand.h>
#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkFollower.h>
#include <vtkMatrix4x4.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkPropCollection.h>
#include <vtkProperty.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkSphereSource.h>
#include <vtkVectorText.h>

#include <algorithm>
#include <array>
#include <cmath>

using namespace selvane;

namespace {

std::string LabelText(vtkFollower* label) {
  auto* mapper = vtkPolyDataMapper::SafeDownCast(label->GetMapper());
  auto* text = vtkVectorText::SafeDownCast(mapper->GetInputAlgorithm());
  return text ? text->GetText() : "";
}

// The radius of a marker's sphere: distance of its first point from its target.
// The radius of the k-th marker as drawn: from its first sphere point to its target, its last
// point.
double DrawnMarkerRadius(vtkPointMarkerSource* markers, vtkIdType k) {
  markers->Update();
  vtkPolyData* drawn = markers->GetOutput();
  const vtkIdType each = drawn->GetNumberOfPoints() / markers->GetNumberOfMarkers();
  double first[3], target[3];
  drawn->GetPoint(k * each, first);
  drawn->GetPoint(k * each + each - 1, target);
  return std::sqrt(vtkMath::Distance2BetweenPoints(first, target));
}

class DisplayTest : public ::testing::Test {
protected:
  DisplayTest() : Dialog(Windowing) { Dialog.InitializeView(); }

  void OpenBox(double x1, double y1, double z1) {
    const std::string path = Dir.File("box" + std::to_string(++Files) + ".vtk");
    ASSERT_TRUE(WriteLegacyModel(MakeBoxModel(0, 0, 0, x1, y1, z1, false), path));
    Windowing.QueueFileAnswer(path);
    Dialog.OpenModel();
    ASSERT_TRUE(Windowing.Messages.empty());
  }
  std::vector<vtkProp*> SceneWithAxes(std::vector<vtkProp*> selections) {
    std::vector<vtkProp*> props = {Dialog.ModelActor, Dialog.AxesActor, Dialog.OriginLabel,
                                   Dialog.XLabel,     Dialog.YLabel,    Dialog.ZLabel};
    props.insert(props.end(), selections.begin(), selections.end());
    props.push_back(Dialog.PointingSphereActor);
    props.push_back(Dialog.CurrentCellActor);
    return props;
  }

  TempDir Dir;
  int Files = 0;
  FakeWindowing Windowing;
  MainDialog Dialog;
};

TEST_F(DisplayTest, AxesRunAlongTheBoundingBoxWithFourLabels) {
  OpenBox(5, 2, 1);
  ASSERT_EQ(Dialog.HasAxes, 1);
  float origin[3], scale[3];
  Dialog.Axes->GetOrigin(origin);
  Dialog.Axes->GetScaleFactor(scale);
  EXPECT_EQ(origin[0], 0);
  EXPECT_EQ(scale[0], 5);
  EXPECT_EQ(scale[1], 2);
  EXPECT_EQ(scale[2], 1);

  EXPECT_EQ(LabelText(Dialog.OriginLabel), "0.000000 0.000000 0.000000");
  EXPECT_EQ(LabelText(Dialog.XLabel), "x 5.000000");
  EXPECT_EQ(LabelText(Dialog.YLabel), "y 2.000000");
  EXPECT_EQ(LabelText(Dialog.ZLabel), "z 1.000000");
  const double s = 5.0 / 28;
  const double* x = Dialog.XLabel->GetPosition();
  EXPECT_NEAR(x[0], 5 - s, 1e-9);
  EXPECT_NEAR(x[1], -s, 1e-9);
  EXPECT_NEAR(Dialog.XLabel->GetScale()[0], s, 1e-9);
  const double* z = Dialog.ZLabel->GetPosition();
  EXPECT_NEAR(z[2], 1 - s, 1e-9);
  double red[3];
  Dialog.XLabel->GetProperty()->GetColor(red);
  EXPECT_EQ(red[0], 1);
  EXPECT_EQ(red[1], 0);
  // Labels face the camera as the view turns.
  EXPECT_EQ(Dialog.XLabel->GetCamera(), Dialog.Renderer->GetActiveCamera());

  EXPECT_EQ(PropsOf(Dialog.Renderer), SceneWithAxes({}));
  Dialog.ToggleCurrentCell();
  EXPECT_EQ(PropsOf(Dialog.Renderer), SceneWithAxes({Dialog.SelectedCellsActor}));
}

namespace {

std::array<double, 2> Project(vtkRenderer* renderer, const double world[3]) {
  renderer->SetWorldPoint(world[0], world[1], world[2], 1);
  renderer->WorldToDisplay();
  const double* p = renderer->GetDisplayPoint();
  return {p[0], p[1]};
}

void Grow(std::array<double, 4>& box, const std::array<double, 2>& p) {
  box = {std::min(box[0], p[0]), std::min(box[1], p[1]), std::max(box[2], p[0]),
         std::max(box[3], p[1])};
}

// The screen rectangle of a label's text as drawn: its points through the follower's matrix.
std::array<double, 4> LabelBox(vtkRenderer* renderer, vtkFollower* label) {
  std::array<double, 4> box = {1e300, 1e300, -1e300, -1e300};
  vtkPolyData* text = vtkPolyData::SafeDownCast(label->GetMapper()->GetInput());
  vtkMatrix4x4* matrix = label->GetMatrix();
  for (vtkIdType i = 0; i < text->GetNumberOfPoints(); ++i) {
    double p[4] = {0, 0, 0, 1}, world[4];
    text->GetPoint(i, p);
    matrix->MultiplyPoint(p, world);
    Grow(box, Project(renderer, world));
  }
  return box;
}

// The screen rectangle of the model's bounding box.
std::array<double, 4> ModelBox(vtkRenderer* renderer, vtkProp3D* model) {
  double b[6];
  model->GetBounds(b);
  std::array<double, 4> box = {1e300, 1e300, -1e300, -1e300};
  for (int corner = 0; corner < 8; ++corner) {
    const double p[3] = {b[corner & 1], b[2 + (corner >> 1 & 1)], b[4 + (corner >> 2)]};
    Grow(box, Project(renderer, p));
  }
  return box;
}

bool Overlap(const std::array<double, 4>& a, const std::array<double, 4>& b) {
  return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
}

} // namespace

TEST_F(DisplayTest, AxisLabelsNeitherCoverEachOtherNorTheModelAndStayInView) {
  // A flat wide model: its long origin label and the x label share the bottom edge, and the z
  // label's anchor lies almost on the origin label's.
  OpenBox(5, 2, 1);
  vtkRenderer* renderer = Dialog.Renderer;
  vtkFollower* labels[] = {Dialog.OriginLabel, Dialog.XLabel, Dialog.YLabel, Dialog.ZLabel};
  for (double azimuth : {0.0, 30.0, 60.0}) {
    renderer->GetActiveCamera()->Azimuth(azimuth);
    Dialog.ResetCamera();
    Dialog.Render();
    std::array<double, 4> boxes[4];
    for (int k = 0; k < 4; ++k)
      boxes[k] = LabelBox(renderer, labels[k]);
    const int* size = renderer->GetSize();
    for (int k = 0; k < 4; ++k) {
      EXPECT_GE(boxes[k][0], 0) << k << " at azimuth " << azimuth;
      EXPECT_LE(boxes[k][2], size[0]) << k << " at azimuth " << azimuth;
      for (int j = 0; j < k; ++j)
        EXPECT_FALSE(Overlap(boxes[j], boxes[k])) << j << " and " << k << " at " << azimuth;
    }
    if (azimuth == 0.0) {
      for (int k = 0; k < 4; ++k)
        EXPECT_FALSE(Overlap(boxes[k], ModelBox(renderer, Dialog.ModelActor))) << k;
    }
  }
  // The labels keep their anchors and scale; only the drawn text moved.
  EXPECT_NEAR(Dialog.XLabel->GetPosition()[0], 5 - 5.0 / 28, 1e-9);
  EXPECT_NEAR(Dialog.XLabel->GetScale()[0], 5.0 / 28, 1e-9);
}

TEST_F(DisplayTest, AxesAreReplacedByANewModelAndKeptByACancelledOpen) {
  OpenBox(5, 2, 1);
  vtkScaledAxes* first = Dialog.Axes;
  Windowing.QueueFileAnswer(std::nullopt);
  Dialog.OpenModel();
  EXPECT_EQ(Dialog.HasAxes, 1);
  EXPECT_EQ(Dialog.Axes.Get(), first);
  Dialog.RefreshScene();
  EXPECT_EQ(PropsOf(Dialog.Renderer), SceneWithAxes({}));

  OpenBox(3, 3, 3);
  EXPECT_NE(Dialog.Axes.Get(), first);
  EXPECT_EQ(LabelText(Dialog.XLabel), "x 3.000000");
  EXPECT_EQ(PropsOf(Dialog.Renderer), SceneWithAxes({}));
}

TEST_F(DisplayTest, ScreenShotKeepsOnlyTheModelAndMarkersUntilTheNextRebuild) {
  OpenBox(5, 2, 1);
  Dialog.OnScreenShot();
  EXPECT_EQ(PropsOf(Dialog.Renderer), std::vector<vtkProp*>{Dialog.ModelActor});

  Dialog.ToggleCurrentCell();
  Dialog.SetCtrlDown(true);
  Dialog.ToggleCurrentPoint();
  Dialog.OnScreenShot();
  EXPECT_EQ(PropsOf(Dialog.Renderer),
            (std::vector<vtkProp*>{Dialog.ModelActor, Dialog.SelectedCellsActor,
                                   Dialog.PointMarkersActor, Dialog.HighlightActor}));

  // Making another point current rebuilds the whole scene.
  Dialog.NextPointInCell();
  EXPECT_EQ(PropsOf(Dialog.Renderer),
            SceneWithAxes({Dialog.SelectedCellsActor, Dialog.PointMarkersActor}));
}

TEST_F(DisplayTest, WireframeSolidAlternatesTheFrontRepresentationOnly) {
  OpenBox(1, 1, 1);
  Dialog.OnWireframeSolid();
  EXPECT_EQ(Dialog.ShowSolid, 0);
  EXPECT_EQ(Dialog.ModelActor->GetProperty()->GetRepresentation(), VTK_WIREFRAME);
  EXPECT_EQ(Dialog.ModelActor->GetBackfaceProperty()->GetRepresentation(), VTK_SURFACE);
  Dialog.OnWireframeSolid();
  EXPECT_EQ(Dialog.ShowSolid, 1);
  EXPECT_EQ(Dialog.ModelActor->GetProperty()->GetRepresentation(), VTK_SURFACE);
  EXPECT_TRUE(Dialog.ModelActor->GetVisibility());
}

TEST_F(DisplayTest, SetPointerResizesTheSphereAndOnlyLaterMarkers) {
  OpenBox(10, 4, 2);
  EXPECT_NEAR(Dialog.SetRadiusBox.SphereRadius, 0.02f, 1e-6);
  Dialog.OnSetPointer();
  ASSERT_EQ(Windowing.ShownDialogs.size(), 1u);
  EXPECT_EQ(Windowing.ShownDialogs[0], AuxiliaryDialog::SetRadius);

  Dialog.ToggleCurrentPoint(); // a marker with the model-derived radius
  Dialog.SetRadiusBox.SphereRadius = 0.1f;
  const int renders = Windowing.RenderCount();
  Dialog.ApplyPointerRadius();
  EXPECT_EQ(Windowing.RenderCount(), renders + 1);
  EXPECT_FLOAT_EQ(Dialog.PointerRadius, 0.1f);
  EXPECT_NEAR(Dialog.PointingSphere->GetRadius(), 0.1, 1e-7);
  Dialog.NextPointInCell();
  Dialog.ToggleCurrentPoint();
  EXPECT_FLOAT_EQ(Dialog.SelectedPoints().Markers()[0].Radius, 0.02f);
  EXPECT_NEAR(DrawnMarkerRadius(Dialog.SelectedPoints().MarkersSource(), 0), 0.02, 1e-5);
  EXPECT_NEAR(DrawnMarkerRadius(Dialog.SelectedPoints().MarkersSource(), 1), 0.1, 1e-5);

  // Opening a model replaces the radius with the one derived from its size.
  OpenBox(1, 1, 1);
  EXPECT_NEAR(Dialog.PointerRadius, 0.002f, 1e-7);
}

// VTK's single-letter view keys would change the view behind the menu's back; only 'r' is
// left, and the menu's views look along each axis.
TEST_F(DisplayTest, ViewKeysOtherThanResetDoNothingAndViewsLookAlongEachAxis) {
  OpenBox(2, 4, 8);
  vtkRenderWindowInteractor* interactor = Dialog.Interactor;
  int exits = 0;
  auto countExit = vtkSmartPointer<vtkCallbackCommand>::New();
  countExit->SetClientData(&exits);
  countExit->SetCallback(
      [](vtkObject*, unsigned long, void* count, void*) { ++*static_cast<int*>(count); });
  interactor->AddObserver(vtkCommand::ExitEvent, countExit);
  vtkCamera* camera = Dialog.Renderer->GetActiveCamera();
  camera->Dolly(3.0);
  double before[3];
  camera->GetPosition(before);
  for (char key : std::string("3pPeEqQsSwWjJtTcCaAfFuUmM")) {
    interactor->SetKeyCode(key);
    interactor->InvokeEvent(vtkCommand::CharEvent);
  }
  EXPECT_FALSE(Dialog.RenderWindow->GetStereoRender());
  EXPECT_EQ(Dialog.ModelActor->GetProperty()->GetRepresentation(), VTK_SURFACE);
  EXPECT_EQ(exits, 0);
  double after[3];
  camera->GetPosition(after);
  for (int k = 0; k < 3; ++k)
    EXPECT_DOUBLE_EQ(after[k], before[k]);

  interactor->SetKeyCode('r');
  interactor->InvokeEvent(vtkCommand::CharEvent);
  camera->GetPosition(after);
  EXPECT_GT(std::sqrt(vtkMath::Distance2BetweenPoints(after, before)), 1.0) << "'r' resets";

  const double expected[6][3] = {{-1, 0, 0}, {1, 0, 0},  {0, -1, 0},
                                 {0, 1, 0},  {0, 0, -1}, {0, 0, 1}};
  for (int k = 0; k < 6; ++k) {
    Dialog.ViewAlong(k / 2, k % 2 ? -1 : 1);
    double direction[3];
    camera->GetDirectionOfProjection(direction);
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(direction[c], expected[k][c], 1e-9) << "view " << k;
    // Every corner of the model is inside the view.
    for (int corner = 0; corner < 8; ++corner) {
      Dialog.Renderer->SetWorldPoint(corner & 1 ? 2 : 0, corner & 2 ? 4 : 0, corner & 4 ? 8 : 0, 1);
      Dialog.Renderer->WorldToView();
      const double* v = Dialog.Renderer->GetViewPoint();
      EXPECT_LE(std::fabs(v[0]), 1.0) << "view " << k << ", corner " << corner;
      EXPECT_LE(std::fabs(v[1]), 1.0) << "view " << k << ", corner " << corner;
    }
  }
}

} // namespace
