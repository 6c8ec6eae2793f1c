// Legacy VTK files written for Save Model As and Export Cells: version 4.2, exact coordinates,
// cell types kept, and failures that leave the old file alone.
#include "FileSizeLimit.h"
#include "LegacyModelWriter.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSmartPointer.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace selvane::formats;

namespace {

// Coordinates that VTK's float output (six significant digits) would change.
vtkSmartPointer<vtkPolyData> Triangles() {
  vtkNew<vtkPoints> points; // float
  points->InsertNextPoint(1234.56787, -0.000123456, 42.5);
  points->InsertNextPoint(-7.25, 3.14159274, 1e-3);
  points->InsertNextPoint(98765.4321, 0.1, 0.2);
  points->InsertNextPoint(1.0 / 3.0, 2.0 / 3.0, -1.0 / 7.0);
  vtkNew<vtkCellArray> polys;
  const vtkIdType a[3] = {0, 1, 2}, b[3] = {1, 2, 3};
  polys->InsertNextCell(3, a);
  polys->InsertNextCell(3, b);
  auto data = vtkSmartPointer<vtkPolyData>::New();
  data->SetPoints(points);
  data->SetPolys(polys);
  vtkNew<vtkFloatArray> scalars;
  scalars->InsertNextValue(2);
  scalars->InsertNextValue(3);
  data->GetCellData()->SetScalars(scalars);
  return data;
}

vtkSmartPointer<vtkPolyData> ReadBack(const std::string& text) {
  auto reader = vtkSmartPointer<vtkPolyDataReader>::New();
  reader->ReadFromInputStringOn();
  reader->SetInputString(text);
  reader->Update();
  return reader->GetOutput();
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

} // namespace

TEST(LegacyModelWriter, Version42AsciiWithExactCoordinates) {
  auto data = Triangles();
  std::string text, reason;
  ASSERT_TRUE(FormatLegacyPolyData(data, text, reason)) << reason;
  EXPECT_EQ(text.rfind("# vtk DataFile Version 4.2\n", 0), 0u) << text.substr(0, 40);
  EXPECT_NE(text.find("\nASCII\n"), std::string::npos);
  EXPECT_EQ(text.find("OFFSETS"), std::string::npos); // the 5.1 cell layout is not used

  auto back = ReadBack(text);
  ASSERT_EQ(back->GetNumberOfPoints(), 4);
  for (vtkIdType i = 0; i < 4; ++i) {
    double was[3], now[3];
    data->GetPoint(i, was);
    back->GetPoint(i, now);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(static_cast<float>(now[c]), static_cast<float>(was[c])) << i << " " << c;
  }
  ASSERT_EQ(back->GetNumberOfPolys(), 2);
  ASSERT_NE(back->GetCellData()->GetScalars(), nullptr);
  EXPECT_EQ(back->GetCellData()->GetScalars()->GetTuple1(1), 3);
  // The caller's data keeps its float points.
  EXPECT_EQ(data->GetPoints()->GetDataType(), VTK_FLOAT);
}

TEST(LegacyModelWriter, FailuresKeepTheOldFile) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("selvane-legacy-writer-test-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "folder.vtk");
  const std::string target = (dir / "old.vtk").string();
  std::ofstream(target) << "precious\n";

  std::string reason;
  EXPECT_FALSE(WriteLegacyPolyDataFile(nullptr, target, reason));
  EXPECT_NE(reason.find(target), std::string::npos) << reason;
  EXPECT_EQ(Slurp(target), "precious\n");

  auto data = Triangles();
  EXPECT_FALSE(WriteLegacyPolyDataFile(data, (dir / "folder.vtk").string(), reason));
  EXPECT_NE(reason.find("folder"), std::string::npos) << reason;
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.vtk"));

  ASSERT_TRUE(WriteLegacyPolyDataFile(data, target, reason)) << reason;
  EXPECT_EQ(ReadBack(Slurp(target))->GetNumberOfPolys(), 2);
  std::filesystem::remove_all(dir);
}

TEST(LegacyModelWriter, AFileThatCannotBeWrittenToItsEndKeepsTheOldFile) {
  // The kernel refuses to grow a file past RLIMIT_FSIZE, as a full disk would. A model this
  // small reaches the file only in the writer's last write, when its stream is closed.
  auto data = Triangles();
  std::string text, reason;
  ASSERT_TRUE(FormatLegacyPolyData(data, text, reason)) << reason;
  const auto dir = std::filesystem::temp_directory_path() /
                   ("selvane-legacy-writer-limit-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string target = (dir / "model.vtk").string();
  std::ofstream(target) << "precious\n";
  EXPECT_TRUE(selvane::test::FailsPastFileSizeLimit(text.size() - 10, [&](std::string& why) {
    return WriteLegacyPolyDataFile(data, target, why);
  }));
  EXPECT_EQ(Slurp(target), "precious\n");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                          std::filesystem::directory_iterator()),
            1);
  // Without the limit the same write goes through and reads back.
  ASSERT_TRUE(WriteLegacyPolyDataFile(data, target, reason)) << reason;
  EXPECT_EQ(Slurp(target), text);
  std::filesystem::remove_all(dir);
}
