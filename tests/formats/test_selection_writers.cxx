// Writers of the selection files: byte-exact output.
#include "Locales.h"
#include "SelectionFiles.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkIdList.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <cstdio>
#include <random>
#include <sstream>

using namespace selvane::formats;

namespace {

vtkSmartPointer<vtkPoints> MakePoints(std::initializer_list<Point3> pts) {
  auto points = vtkSmartPointer<vtkPoints>::New(); // float, as the legacy reader gives them
  for (const auto& p : pts)
    points->InsertNextPoint(p.data());
  return points;
}

// Sample model points: x from -1 to 2, y from -0.25 to 1, z from 0 to 3.
vtkSmartPointer<vtkPoints> SamplePoints() {
  return MakePoints({{0, 0.5, 1}, {-1, 0, 0}, {2, 1, 3}, {1.5, -0.25, 2}, {0.5, 0.75, 0}});
}

const char* const kSampleBounds = "# Model Bounds\n"
                                  "-1.000000 -0.250000 0.000000 -1.000000 -0.250000 0.000000\n"
                                  "2.000000 -0.250000 0.000000 2.000000 -0.250000 0.000000\n"
                                  "-1.000000 1.000000 0.000000 -1.000000 1.000000 0.000000\n"
                                  "2.000000 1.000000 0.000000 2.000000 1.000000 0.000000\n"
                                  "-1.000000 -0.250000 3.000000 -1.000000 -0.250000 3.000000\n"
                                  "2.000000 -0.250000 3.000000 2.000000 -0.250000 3.000000\n"
                                  "-1.000000 1.000000 3.000000 -1.000000 1.000000 3.000000\n"
                                  "2.000000 1.000000 3.000000 2.000000 1.000000 3.000000\n"
                                  "# End model Bounds\n";

// A small mesh: cell 0 = points (1, 2, 3), cell 1 = (3, 4, 5), cell 2 = (0, 5, 6, 7).
vtkSmartPointer<vtkPolyData> SmallMesh() {
  auto points = vtkSmartPointer<vtkPoints>::New();
  for (int i = 0; i < 8; ++i)
    points->InsertNextPoint(i, i % 3, 0);
  auto polys = vtkSmartPointer<vtkCellArray>::New();
  const vtkIdType c0[3] = {1, 2, 3}, c1[3] = {3, 4, 5}, c2[4] = {0, 5, 6, 7};
  polys->InsertNextCell(3, c0);
  polys->InsertNextCell(3, c1);
  polys->InsertNextCell(4, c2);
  auto mesh = vtkSmartPointer<vtkPolyData>::New();
  mesh->SetPoints(points);
  mesh->SetPolys(polys);
  return mesh;
}

vtkIdType Withdrawn(vtkIdType id) {
  return -2 - id;
}

} // namespace

// ------------------------------------------------------------------------------ ID files ----

TEST(IdFileWriter, SelectedAndWithdrawnEntries) {
  // The entries 12, -7, 3 give 12, the comment line for 5, and 3.
  EXPECT_EQ(FormatIdFile(IdFileKind::Cells, {12, -7, 3}), "# Cells IDs\n12\n# 5\n3\n");
  // -2 stands for ID 0; large IDs are written in full.
  EXPECT_EQ(FormatIdFile(IdFileKind::Points, {-2, 0, 2147483647, Withdrawn(1000000)}),
            "# Points IDs\n# 0\n0\n2147483647\n# 1000000\n");
}

TEST(IdFileWriter, EntriesOfVtkIdList) {
  auto list = vtkSmartPointer<vtkIdList>::New();
  list->InsertNextId(4);
  list->InsertNextId(-3);
  EXPECT_EQ(EntriesOf(list), (Entries{4, -3}));
  EXPECT_TRUE(EntriesOf(nullptr).empty());
  std::ostringstream os;
  EXPECT_TRUE(WriteIdFile(os, IdFileKind::Cells, EntriesOf(list)));
  EXPECT_EQ(os.str(), "# Cells IDs\n4\n# 1\n");
}

TEST(IdFileWriter, StreamFailureIsReported) {
  std::ostringstream os;
  os.setstate(std::ios::badbit);
  EXPECT_EQ(WriteIdFile(os, IdFileKind::Cells, {1}).Code, selvane::ErrorCode::CannotWrite);
}

TEST(CellPointsExport, SharedPointsAppearOnceAndSelectedStaysSelected) {
  auto mesh = SmallMesh();
  // Cell 2 selected shares 5 with cell 1; withdrawn cell 1 afterwards cannot demote 5 or 3.
  const Entries t = CellPointEntries({2, 0, Withdrawn(1)}, mesh);
  EXPECT_EQ(t, (Entries{0, 5, 6, 7, 1, 2, 3, Withdrawn(4)}));
  // Only withdrawn cells: every point is a comment line, each once.
  EXPECT_EQ(CellPointEntries({Withdrawn(0), Withdrawn(1)}, mesh),
            (Entries{Withdrawn(1), Withdrawn(2), Withdrawn(3), Withdrawn(4), Withdrawn(5)}));
  EXPECT_TRUE(CellPointEntries({}, mesh).empty());
}

TEST(CellPointsExport, CellsOutsideTheModelContributeNothing) {
  auto mesh = SmallMesh();
  EXPECT_EQ(CellPointEntries({3, 0, 99}, mesh), (Entries{1, 2, 3}));
  EXPECT_TRUE(CellPointEntries({0}, static_cast<vtkDataSet*>(nullptr)).empty());
}

TEST(CellPointsExport, ManyCellsInLinearTime) {
  // 200,000 triangles sharing points: a quadratic lookup would take minutes here.
  const vtkIdType n = 200000;
  Entries cells(static_cast<std::size_t>(n));
  for (vtkIdType i = 0; i < n; ++i)
    cells[static_cast<std::size_t>(i)] = (i % 2) ? i : Withdrawn(i);
  const Entries t = CellPointEntries(cells, [](vtkIdType c, std::vector<vtkIdType>& pts) {
    pts.push_back(c);
    pts.push_back(c + 1);
    pts.push_back(c + 2);
  });
  ASSERT_EQ(t.size(), static_cast<std::size_t>(n + 2));
  // Point 0 only in withdrawn cell 0; points 1, 2 promoted by cell 1; all others selected.
  EXPECT_EQ(t[0], Withdrawn(0));
  for (std::size_t i = 1; i < t.size(); ++i)
    ASSERT_EQ(t[i], static_cast<vtkIdType>(i));
}

// ------------------------------------------------------------------------ Points files ----

TEST(PointsWriter, EntryOutsideTheModelFails) {
  auto pts = SamplePoints();
  std::string out;
  EXPECT_FALSE(FormatPointsFile(out, {0, 5}, pts));
  EXPECT_FALSE(FormatPointsFile(out, {Withdrawn(9)}, pts));
  EXPECT_FALSE(FormatPointsFile(out, {0}, nullptr));
  // The refusal names the point that is missing, withdrawn or not.
  const selvane::Result missing = FormatPointsFile(out, {0, Withdrawn(9)}, pts);
  EXPECT_EQ(missing.Code, selvane::ErrorCode::Refused);
  EXPECT_EQ(missing.Reason, "point 9 is not in the model (5 points)");
}

TEST(TransformationsWriter, PointLinesWithTargets) {
  auto pts = SamplePoints();
  std::string out;
  const std::vector<Point3> targets = {{1.5, -0.25, 2.5}, {7, 8, 9}, {0, 0.5, 1}};
  ASSERT_TRUE(FormatPointTransformationsFile(out, {3, Withdrawn(2), 0}, targets, pts));
  EXPECT_EQ(out, std::string("# Points Transformations\n") + kSampleBounds +
                     "1.500000 -0.250000 2.000000 1.500000 -0.250000 2.500000\n"
                     "# 2.000000 1.000000 3.000000 7.000000 8.000000 9.000000\n"
                     "0.000000 0.500000 1.000000 0.000000 0.500000 1.000000\n");
  // A repeated entry (not made by the selection operations) takes the first one's target.
  ASSERT_TRUE(FormatPointTransformationsFile(out, {1, 1}, {{5, 5, 5}, {6, 6, 6}}, pts));
  EXPECT_EQ(out.substr(out.size() - 110),
            "-1.000000 0.000000 0.000000 5.000000 5.000000 5.000000\n"
            "-1.000000 0.000000 0.000000 5.000000 5.000000 5.000000\n");
  // Targets must be parallel to the entries.
  EXPECT_EQ(FormatPointTransformationsFile(out, {3}, {}, pts).Reason, "0 targets for 1 points");
  EXPECT_EQ(FormatPointTransformationsFile(out, {8}, {{0, 0, 0}}, pts).Reason,
            "point 8 is not in the model (5 points)");
}

TEST(TransformationsWriter, ModelWithoutPointsHasZeroBounds) {
  auto pts = vtkSmartPointer<vtkPoints>::New();
  EXPECT_EQ(BoundsOf(pts), (Bounds{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(BoundsOf(nullptr), (Bounds{0, 0, 0, 0, 0, 0}));
}

TEST(TransformationsWriter, StreamForms) {
  auto pts = SamplePoints();
  std::ostringstream a, b;
  EXPECT_TRUE(WritePointsFile(a, {1}, pts));
  EXPECT_EQ(a.str(), "# Points\n-1.000000 0.000000 0.000000\n");
  EXPECT_TRUE(WritePointTransformationsFile(b, {}, {}, pts));
  EXPECT_EQ(b.str(), std::string("# Points Transformations\n") + kSampleBounds);
  std::ostringstream bad;
  bad.setstate(std::ios::badbit);
  EXPECT_EQ(WritePointsFile(bad, {1}, pts).Code, selvane::ErrorCode::CannotWrite);
}

// ------------------------------------------------------------------------------ Numbers ----

TEST(Numbers, SingleNumbersAsPrintfWritesThem) {
  auto str = [](double v) {
    std::string s;
    AppendFixed6(s, v);
    return s;
  };
  EXPECT_EQ(str(1.5), "1.500000");
  EXPECT_EQ(str(-0.25), "-0.250000");
  EXPECT_EQ(str(0.0), "0.000000");
  EXPECT_EQ(str(-0.0), "-0.000000");
  EXPECT_EQ(str(-1e-9), "-0.000000");
  EXPECT_EQ(str(static_cast<float>(1234.56787)), "1234.567871");
  EXPECT_EQ(str(1e20), "100000000000000000000.000000");
  std::string d;
  AppendDecimal(d, -2147483648LL);
  EXPECT_EQ(d, "-2147483648");
}

TEST(Numbers, AgreeWithPrintfInTheCLocaleOnRandomFloats) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-12, 12);
  const selvane::test::ClassicNumbers classic;
  auto expectPrintf = [](double v) {
    char expected[512];
    std::snprintf(expected, sizeof expected, "%f", v);
    std::string got;
    AppendFixed6(got, v);
    EXPECT_EQ(got, expected) << v;
  };
  // Halfway cases, large and tiny values, doubles that are no floats.
  for (double v : {0.0000005, 0.0000015, -1e-7, 123456789.125, 3.4e38, -2.5e-3, 1.0 / 3.0})
    expectPrintf(v);
  for (int i = 0; i < 20000; ++i)
    expectPrintf(std::ldexp(mantissa(rng), exponent(rng) * 2));
}

TEST(Numbers, WritersIgnoreTheUserLocale) {
  selvane::test::GermanLocale german;
  if (!german.Enter())
    GTEST_SKIP() << "no German locale available";
  char printed[64];
  std::snprintf(printed, sizeof printed, "%f", 1.5);
  EXPECT_STREQ(printed, "1,500000"); // the locale is really in effect
  auto pts = SamplePoints();
  std::string out;
  ASSERT_TRUE(FormatPointTransformationsFile(out, {3}, {{1.5, -0.25, 2.5}}, pts));
  EXPECT_EQ(out, std::string("# Points Transformations\n") + kSampleBounds +
                     "1.500000 -0.250000 2.000000 1.500000 -0.250000 2.500000\n");
}
