// A morph as a .vtp series with its .pvd collection: every frame listed and readable again,
// and a cancel or a failure leaves no series behind.
#include "MorphSeries.h"
#include "VtpModelReader.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkXMLDataElement.h>
#include <vtkXMLDataParser.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace selvane::formats;
using selvane::Result;
namespace fs = std::filesystem;

namespace {

class MorphSeriesTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/selvane-series-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    Dir = tmpl;
    vtkNew<vtkPoints> points;
    vtkNew<vtkCellArray> polys;
    for (int i = 0; i < 4; ++i)
      points->InsertNextPoint(i % 2, i / 2, 0.0);
    const vtkIdType quad[4] = {0, 1, 3, 2};
    polys->InsertNextCell(4, quad);
    Model->SetPoints(points);
    Model->SetPolys(polys);
  }
  void TearDown() override { fs::remove_all(Dir); }

  // Frame i: the model lifted by i in z, in one polydata made anew for each frame as a
  // filter's output is (the series must copy it before the next one comes).
  FrameSource Lifted() {
    return [this](int frame, std::string&) -> vtkPolyData* {
      Frame->DeepCopy(Model);
      for (vtkIdType p = 0; p < 4; ++p) {
        double x[3];
        Model->GetPoint(p, x);
        x[2] = frame;
        Frame->GetPoints()->SetPoint(p, x);
      }
      return Frame;
    };
  }
  int FilesInDir() const {
    return static_cast<int>(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()));
  }

  std::string Dir;
  vtkNew<vtkPolyData> Model;
  vtkNew<vtkPolyData> Frame;
};

} // namespace

TEST_F(MorphSeriesTest, CollectionListsEveryFrameAndEachOpensAgain) {
  const std::string pvd = Dir + "/morph & more.pvd";
  int calls = 0;
  const SeriesResult result = WriteMorphSeries(pvd, 12, Lifted(), [&](int done, int total) {
    EXPECT_EQ(done, ++calls);
    EXPECT_EQ(total, 12);
    return true;
  });
  ASSERT_TRUE(result.Ok()) << result.Reason;
  ASSERT_EQ(result.Files.size(), 13u);
  EXPECT_EQ(result.Files.back(), pvd);

  vtkNew<vtkXMLDataParser> parser;
  parser->SetFileName(pvd.c_str());
  ASSERT_EQ(parser->Parse(), 1);
  vtkXMLDataElement* root = parser->GetRootElement();
  ASSERT_STREQ(root->GetName(), "VTKFile");
  EXPECT_STREQ(root->GetAttribute("type"), "Collection");
  vtkXMLDataElement* collection = root->FindNestedElementWithName("Collection");
  ASSERT_NE(collection, nullptr);
  ASSERT_EQ(collection->GetNumberOfNestedElements(), 12);
  for (int i = 0; i < 12; ++i) {
    vtkXMLDataElement* set = collection->GetNestedElement(i);
    EXPECT_STREQ(set->GetName(), "DataSet");
    EXPECT_EQ(std::atoi(set->GetAttribute("timestep")), i);
    char name[32];
    std::snprintf(name, sizeof name, "morph & more_%04d.vtp", i);
    ASSERT_STREQ(set->GetAttribute("file"), name);

    // Opened again as Open Model opens a .vtp, with its checks.
    vtkNew<vtkPolyData> back;
    const Result read = selvane::ReadVtpModel(Dir + "/" + name, back);
    ASSERT_TRUE(read.Ok()) << name << ": " << read.Reason;
    ASSERT_EQ(back->GetNumberOfPoints(), 4) << name;
    ASSERT_EQ(back->GetNumberOfPolys(), 1) << name;
    double x[3];
    back->GetPoint(3, x);
    EXPECT_EQ(x[0], 1.0);
    EXPECT_EQ(x[2], i);
  }
  // Compressed binary: the appended data are not written as text.
  std::ifstream first(Dir + "/morph & more_0000.vtp");
  const std::string head((std::istreambuf_iterator<char>(first)), {});
  EXPECT_NE(head.find("compressor=\"vtkZLibDataCompressor\""), std::string::npos);
  EXPECT_EQ(FilesInDir(), 13);
}

TEST_F(MorphSeriesTest, CancelAndFailureLeaveNoSeriesBehind) {
  const std::string pvd = Dir + "/m.pvd";
  // A frame from an earlier series stays as it was written; the new ones go again.
  {
    std::ofstream old(Dir + "/m_0003.vtp");
    old << "older";
  }
  const SeriesResult cancelled =
      WriteMorphSeries(pvd, 6, Lifted(), [](int done, int) { return done < 2; });
  EXPECT_EQ(cancelled.Result, SeriesResult::Cancelled);
  EXPECT_FALSE(fs::exists(pvd));
  EXPECT_EQ(FilesInDir(), 1);

  // Frame 3 cannot be made: the frames before it go, the reason comes through.
  const FrameSource lifted = Lifted();
  const SeriesResult failed = WriteMorphSeries(pvd, 6, [&](int i, std::string& why) {
    if (i == 3) {
      why = "frame 3 is not finite";
      return vtkSmartPointer<vtkPolyData>();
    }
    return lifted(i, why);
  });
  EXPECT_EQ(failed.Result, SeriesResult::Failed);
  EXPECT_EQ(failed.Reason, "frame 3 is not finite");
  EXPECT_FALSE(fs::exists(pvd));
  EXPECT_EQ(FilesInDir(), 1);

  // A folder that is not there: named in the reason.
  const SeriesResult nowhere = WriteMorphSeries(Dir + "/none/m.pvd", 2, Lifted());
  EXPECT_EQ(nowhere.Result, SeriesResult::Failed);
  EXPECT_NE(nowhere.Reason.find(Dir + "/none/m_0000.vtp"), std::string::npos) << nowhere.Reason;
  EXPECT_EQ(WriteMorphSeries(pvd, 0, Lifted()).Result, SeriesResult::Failed);
  // The many-frame names keep their order when listed by name.
  EXPECT_EQ(fs::path(SeriesFrameName("/a/b.pvd", 7, 20000, ".png")).filename(), "b_00007.png");
}
