// Seeing and sharing a deformation in the window (fake window system): colours by
// displacement and back, the fold check after a Transform and on the slider, the radius
// warning before a solve, and Export Animation's .pvd and .vtp frames.
#include "AnimationExport.h"
#include "ControlIds.h"
#include "DeformationInsight.h"
#include "Locales.h"
#include "FakeWindowing.h"
#include "MainDialog.h"
#include "TestMeshes.h"
#include "TransformCommand.h"
#include "vtkShapeTransform.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkFloatArray.h>
#include <vtkImageData.h>
#include <vtkLookupTable.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkRenderWindow.h>
#include <vtkSphereSource.h>
#include <vtkTransformPolyDataFilter.h>
#include <vtkUnsignedCharArray.h>
#include <vtkWindowToImageFilter.h>
#include <vtkXMLDataElement.h>
#include <vtkXMLDataParser.h>
#include <vtkXMLPolyDataReader.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace selvane;

namespace {

// A flat sheet of side x side points over [0, 1]^2 (two triangles per square, facing +z)
// with cell scalars 0..3, so the model has cell-scalar colours to restore.
vtkSmartPointer<vtkPolyData> MakeSheet(int side) {
  vtkNew<vtkPoints> points;
  for (int j = 0; j < side; ++j)
    for (int i = 0; i < side; ++i)
      points->InsertNextPoint(i / (side - 1.0), j / (side - 1.0), 0.0);
  vtkNew<vtkCellArray> polys;
  vtkNew<vtkFloatArray> parts;
  for (int j = 0; j + 1 < side; ++j)
    for (int i = 0; i + 1 < side; ++i) {
      const vtkIdType a = j * side + i, b = a + 1, c = a + side + 1, d = a + side;
      const vtkIdType t1[3] = {a, b, c}, t2[3] = {a, c, d};
      polys->InsertNextCell(3, t1);
      polys->InsertNextCell(3, t2);
      parts->InsertNextValue(static_cast<float>((i / 2) % 4));
      parts->InsertNextValue(static_cast<float>((j / 2) % 4));
    }
  auto sheet = vtkSmartPointer<vtkPolyData>::New();
  sheet->SetPoints(points);
  sheet->SetPolys(polys);
  sheet->GetCellData()->SetScalars(parts);
  return sheet;
}

// Pairs on the sheet: the four corners and the edges' middles stay, and the point (cx, 0.5)
// moves by (dx, 0, dz).
std::string Pairs(double cx, double dx, double dz) {
  const test::ClassicNumbers classic;
  std::string text;
  const double fixed[8][2] = {{0, 0},   {1, 0},   {0, 1},   {1, 1},
                              {0.5, 0}, {0.5, 1}, {0, 0.5}, {1, 0.5}};
  for (const auto& p : fixed)
    text += std::to_string(p[0]) + " " + std::to_string(p[1]) + " 0 " + std::to_string(p[0]) + " " +
            std::to_string(p[1]) + " 0\n";
  // Source minus target is what moves: the target is where the source goes.
  text += std::to_string(cx) + " 0.5 0 " + std::to_string(cx + dx) + " 0.5 " + std::to_string(dz) +
          "\n";
  return text;
}

std::vector<unsigned char> Pixels(vtkRenderWindow* window) {
  window->Render();
  vtkNew<vtkWindowToImageFilter> grab;
  grab->SetInput(window);
  grab->ReadFrontBufferOff();
  grab->Update();
  auto* data = vtkUnsignedCharArray::SafeDownCast(grab->GetOutput()->GetPointData()->GetScalars());
  return std::vector<unsigned char>(data->GetPointer(0),
                                    data->GetPointer(0) + data->GetNumberOfValues());
}

class DeformationViewTest : public ::testing::Test {
protected:
  DeformationViewTest() : Dialog(Windowing) { Dialog.InitializeView(); }

  void Open(vtkPolyData* model) {
    const std::string path = Dir.File("model.vtk");
    ASSERT_TRUE(WriteLegacyModel(model, path));
    Windowing.QueueFileAnswer(path);
    Dialog.OpenModel();
    ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  }
  void Run(const std::string& pairs, float radius, int frames = 4, int cycles = 1) {
    WriteTextFile(Dir.File("pairs.ptt"), pairs);
    Dialog.MakeTransformBox.SupportRadius = radius;
    Dialog.MakeTransformBox.FrameCount = frames;
    Dialog.MakeTransformBox.CycleCount = cycles;
    Windowing.QueueFileAnswer(Dir.File("pairs.ptt"));
    RunTransform(Dialog);
  }
  vtkPolyData* Shown() {
    Dialog.TransformFilter->Update();
    return Dialog.TransformFilter->GetOutput();
  }

  FakeWindowing Windowing;
  MainDialog Dialog;
  TempDir Dir;
};

TEST_F(DeformationViewTest, ColoursFollowTheShareShownAndSwitchBackExactly) {
  Open(MakeSheet(21));
  Dialog.SetDisplacementColours(true); // nothing to colour yet
  EXPECT_FALSE(Dialog.DisplacementColoursShown());
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  Windowing.Messages.clear();

  // Centres only on the sheet's left part: the right edge is beyond their reach.
  std::string pairs;
  {
    const test::ClassicNumbers classic;
    pairs = "0 0 0 0 0 0\n0 1 0 0 1 0\n0 0.5 0 0 0.5 0.2\n0.3 0.5 0 0.3 0.5 0.1\n";
  }
  Run(pairs, 0.45f);
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  Dialog.ShowDeformation(0.5f);

  vtkPolyDataMapper* mapper = Dialog.ModelMapper;
  const int mode = mapper->GetScalarMode();
  vtkScalarsToColors* table = mapper->GetLookupTable();
  double range[2];
  mapper->GetScalarRange(range);
  const std::vector<unsigned char> before = Pixels(Windowing.ViewRenderWindow());

  Dialog.SetDisplacementColours(true);
  ASSERT_TRUE(Dialog.DisplacementColoursShown());
  vtkDataArray* lengths = Shown()->GetPointData()->GetArray("Displacement");
  ASSERT_NE(lengths, nullptr);
  // Against the transform's own output, and grey (below the range) where no centre reaches.
  const auto unreached = UnreachedPointMask(Dialog.ShapeTransform, Dialog.ModelPoints);
  const long long count = std::count(unreached.begin(), unreached.end(), 1);
  EXPECT_GT(count, 20);
  EXPECT_LT(count, 400);
  for (vtkIdType i = 0; i < lengths->GetNumberOfTuples(); ++i) {
    double x[3], y[3];
    Dialog.ModelPoints->GetPoint(i, x);
    Dialog.ShapeTransform->TransformPoint(x, y); // the field afresh, at 0.5
    const double moved = std::sqrt(vtkMath::Distance2BetweenPoints(x, y));
    EXPECT_NEAR(lengths->GetComponent(i, 0), unreached[i] ? -1.0 : moved, 1e-5) << i;
  }
  EXPECT_NE(Windowing.Statuses.back().find(std::to_string(count) + " points no centre reaches"),
            std::string::npos)
      << Windowing.Statuses.back();
  EXPECT_NE(Pixels(Windowing.ViewRenderWindow()), before);

  // The slider moves: the lengths follow.
  Dialog.ShowDeformation(1.0f);
  lengths = Shown()->GetPointData()->GetArray("Displacement");
  ASSERT_NE(lengths, nullptr);
  for (vtkIdType i = 0; i < lengths->GetNumberOfTuples(); i += 37) {
    float d[3];
    ASSERT_TRUE(Dialog.ShapeTransform->GetDisplacement(i, d));
    const double full = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    EXPECT_NEAR(lengths->GetComponent(i, 0), unreached[i] ? -1.0 : full, 1e-5) << i;
  }

  Dialog.ShowDeformation(0.5f);
  Dialog.SetDisplacementColours(false);
  EXPECT_EQ(mapper->GetScalarMode(), mode);
  EXPECT_EQ(mapper->GetLookupTable(), table);
  double after[2];
  mapper->GetScalarRange(after);
  EXPECT_EQ(after[0], range[0]);
  EXPECT_EQ(after[1], range[1]);
  EXPECT_EQ(Shown()->GetPointData()->GetArray("Displacement"), nullptr);
  EXPECT_EQ(Pixels(Windowing.ViewRenderWindow()), before);
}

TEST_F(DeformationViewTest, FoldsAreCountedAndSteppedThroughRigidMovesHaveNone) {
  Open(MakeSheet(21));
  // A shift of the whole sheet: nothing turns over.
  {
    const test::ClassicNumbers classic;
    std::string shift;
    for (const char* p : {"0 0", "1 0", "0 1", "1 1", "0.5 0.5"})
      shift += std::string(p) + " 0 " + p + " 0.3\n"; // every source one place: a lift by 0.3
    Run(shift, 3.0f);
  }
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  EXPECT_TRUE(Dialog.FoldedCells().empty());
  EXPECT_NE(Windowing.Statuses.back().find("no cell is turned over"), std::string::npos);

  // One point dragged far across its neighbours with a small radius: the warp folds.
  Run(Pairs(0.5, 0.4, 0.0), 0.3f);
  ASSERT_FALSE(Dialog.FoldedCells().empty());
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  EXPECT_NE(Windowing.Statuses.back().find(std::to_string(Dialog.FoldedCells().size()) +
                                           " cells are turned over"),
            std::string::npos)
      << Windowing.Statuses.back();
  // The folds found are those of the full deformation.
  Dialog.ShowDeformation(1.0f);
  const std::vector<vtkIdType> atFull = FindFoldedCells(Dialog.Model(), Shown());
  EXPECT_EQ(Dialog.FoldedCells(), atFull);
  // Stepping makes each folded cell current in turn, then starts again.
  for (size_t k = 0; k <= atFull.size(); ++k) {
    Dialog.NextFoldedCell();
    EXPECT_EQ(Dialog.CurrentCell, atFull[k % atFull.size()]);
  }
  // At a small share the fold has not happened yet.
  Dialog.ShowDeformation(0.05f);
  EXPECT_TRUE(Dialog.FoldedCells().empty());
}

TEST_F(DeformationViewTest, RadiusBelowTheCentreSpacingIsAskedAboutBeforeSolving) {
  Open(MakeSheet(11));
  // The pairs' closest sources are 0.3 apart; a radius of 0.2 couples none of them.
  WriteTextFile(Dir.File("pairs.ptt"), Pairs(0.2, 0.05, 0.0));
  Dialog.MakeTransformBox.SupportRadius = 0.1f;
  Windowing.QueueFileAnswer(Dir.File("pairs.ptt"));
  RunTransform(Dialog);
  // The fake answers Yes, so the fit goes on after the warning; the suggestion is kept.
  EXPECT_TRUE(Dialog.ShapeTransform->GetParametersSet());
  EXPECT_GT(Dialog.MakeTransformBox.SuggestedRadius, 0.2f);
  EXPECT_LE(Dialog.MakeTransformBox.SuggestedRadius, 0.75f); // half the model's diagonal
  EXPECT_NE(Dialog.MakeTransformBox.SuggestionNote.find("pairs.ptt"), std::string::npos);
}

TEST_F(DeformationViewTest, ExportAnimationWritesEveryFrameAsPngAndVtp) {
  Open(MakeSheet(11));
  Run(Pairs(0.5, 0.0, 0.2), 0.6f, 4, 2);
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  Dialog.ShowDeformation(0.3f);
  const std::string pvd = Dir.File("morph.pvd");
  Windowing.QueueFileAnswer(pvd);
  OnExportAnimation(Dialog);
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  EXPECT_FLOAT_EQ(Dialog.ShapeTransform->GetFraction(), 0.3f) << "the share shown comes back";

  const std::vector<float> fractions = AnimationFractions(4, 2);
  ASSERT_EQ(fractions.size(), 8u);
  vtkNew<vtkXMLDataParser> parser;
  parser->SetFileName(pvd.c_str());
  ASSERT_EQ(parser->Parse(), 1);
  vtkXMLDataElement* collection = parser->GetRootElement()->FindNestedElementWithName("Collection");
  ASSERT_NE(collection, nullptr);
  ASSERT_EQ(collection->GetNumberOfNestedElements(), 8);
  for (int k = 0; k < 8; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "morph_%04d", k);
    EXPECT_STREQ(collection->GetNestedElement(k)->GetAttribute("file"),
                 (std::string(name) + ".vtp").c_str());
    EXPECT_TRUE(std::filesystem::is_regular_file(Dir.File(std::string(name) + ".png"))) << name;
    vtkNew<vtkXMLPolyDataReader> reader;
    reader->SetFileName(Dir.File(std::string(name) + ".vtp").c_str());
    reader->Update();
    vtkPolyData* frame = reader->GetOutput();
    ASSERT_EQ(frame->GetNumberOfPoints(), Dialog.ModelPoints->GetNumberOfPoints()) << name;
    ASSERT_EQ(frame->GetNumberOfPolys(), Dialog.Model()->GetNumberOfPolys());
    // The shape the view shows at the frame's share.
    Dialog.ShowDeformation(fractions[static_cast<size_t>(k)]);
    vtkPoints* shown = Shown()->GetPoints();
    for (vtkIdType i = 0; i < shown->GetNumberOfPoints(); ++i)
      for (int a = 0; a < 3; ++a)
        ASSERT_EQ(frame->GetPoint(i)[a], shown->GetPoint(i)[a]) << name << " point " << i;
  }
  // A frame opens again as a model, with the cell scalars of the model as read.
  MainDialog again(Windowing);
  ASSERT_TRUE(again.OpenModelFile(Dir.File("morph_0003.vtp"))) << Windowing.Messages.back();
  ASSERT_NE(again.Model()->GetCellData()->GetScalars(), nullptr);
  EXPECT_EQ(again.Model()->GetCellData()->GetScalars()->GetRange()[1],
            Dialog.Model()->GetCellData()->GetScalars()->GetRange()[1]);

  // With no Transform there is nothing to export.
  MainDialog fresh(Windowing);
  Windowing.Messages.clear();
  OnExportAnimation(fresh);
  EXPECT_EQ(Windowing.Messages.size(), 1u);
}

} // namespace
