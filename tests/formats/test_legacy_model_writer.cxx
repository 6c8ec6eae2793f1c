// Legacy VTK files written for Save Model As and Export Cells: version 4.2, exact coordinates,
// cell types kept, and failures that leave the old file alone. Grouped by fault class: round
// trip of saved models (every attribute kind opens again in Open Model with the same data,
// coordinates exactly), and non-finite values (never written).
#include "FileSizeLimit.h"
#include "KeptReason.h"
#include "LegacyModelWriter.h"
#include "ModelFileReader.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkDoubleArray.h>
#include <vtkFieldData.h>
#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkIntArray.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkPolyDataWriter.h>
#include <vtkSmartPointer.h>
#include <vtkUnsignedCharArray.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <unistd.h>

using namespace selvane::formats;
using selvane::test::Kept;

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
  ASSERT_TRUE(Kept(FormatLegacyPolyData(data, text), reason)) << reason;
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
  const selvane::TempDir folder;
  const std::filesystem::path dir = folder.Path();
  std::filesystem::create_directories(dir / "folder.vtk");
  const std::string target = (dir / "old.vtk").string();
  std::ofstream(target) << "precious\n";

  std::string reason;
  EXPECT_FALSE(Kept(WriteLegacyModel(nullptr, target), reason));
  EXPECT_NE(reason.find(target), std::string::npos) << reason;
  EXPECT_EQ(Slurp(target), "precious\n");

  auto data = Triangles();
  EXPECT_FALSE(Kept(WriteLegacyModel(data, (dir / "folder.vtk").string()), reason));
  EXPECT_NE(reason.find("folder"), std::string::npos) << reason;
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.vtk"));

  ASSERT_TRUE(Kept(WriteLegacyModel(data, target), reason)) << reason;
  EXPECT_EQ(ReadBack(Slurp(target))->GetNumberOfPolys(), 2);
}

TEST(LegacyModelWriter, AFileThatCannotBeWrittenToItsEndKeepsTheOldFile) {
  // The kernel refuses to grow a file past RLIMIT_FSIZE, as a full disk would. A model this
  // small reaches the file only in the writer's last write, when its stream is closed.
  auto data = Triangles();
  std::string text, reason;
  ASSERT_TRUE(Kept(FormatLegacyPolyData(data, text), reason)) << reason;
  const selvane::TempDir folder;
  const std::filesystem::path dir = folder.Path();
  const std::string target = (dir / "model.vtk").string();
  std::ofstream(target) << "precious\n";
  EXPECT_TRUE(selvane::test::FailsPastFileSizeLimit(text.size() - 10, [&](std::string& why) {
    return Kept(WriteLegacyModel(data, target), why);
  }));
  EXPECT_EQ(Slurp(target), "precious\n");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                          std::filesystem::directory_iterator()),
            1);
  // Without the limit the same write goes through and reads back.
  ASSERT_TRUE(Kept(WriteLegacyModel(data, target), reason)) << reason;
  EXPECT_EQ(Slurp(target), text);
}

// ---- round trip of saved models ----------------------------------------------------------

namespace {

// A folder of its own, removed when the tests end.
std::filesystem::path TestFolder() {
  static const selvane::TempDir folder;
  return folder.Path();
}

// A 6 x 6 grid of triangles with the given points.
vtkSmartPointer<vtkPolyData> Grid(vtkPoints* points) {
  const int n = 6;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i)
      points->InsertNextPoint(i, j, 0.25 * ((i * j) % 3));
  vtkNew<vtkCellArray> polys;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const vtkIdType a = j * (n + 1) + i;
      const vtkIdType t1[3] = {a, a + 1, a + n + 2}, t2[3] = {a, a + n + 2, a + n + 1};
      polys->InsertNextCell(3, t1);
      polys->InsertNextCell(3, t2);
    }
  auto data = vtkSmartPointer<vtkPolyData>::New();
  data->SetPoints(points);
  data->SetPolys(polys);
  return data;
}

// An array of the given type, values that every writer prints exactly (VTK prints float
// attribute values with six significant digits).
vtkSmartPointer<vtkDataArray> Values(int type, const char* name, int components, vtkIdType tuples,
                                     int seed, bool unit = false) {
  vtkSmartPointer<vtkDataArray> array =
      vtkSmartPointer<vtkDataArray>::Take(vtkDataArray::CreateDataArray(type));
  array->SetName(name);
  array->SetNumberOfComponents(components);
  array->SetNumberOfTuples(tuples);
  for (vtkIdType t = 0; t < tuples; ++t)
    for (int c = 0; c < components; ++c) {
      const int k = static_cast<int>((t * 7 + c * 3 + seed) % 23);
      const bool real = type == VTK_FLOAT || type == VTK_DOUBLE;
      array->SetComponent(t, c, unit ? k / 22.0 * (real ? 1 : 255) : (real ? k * 0.25 - 2 : k));
    }
  return array;
}

// Every attribute kind the checker accepts, with the metadata VTK writes for them: a range
// computed on the scalars (INFORMATION 0), an L2 norm range (an INFORMATION key), component
// names.
vtkSmartPointer<vtkPolyData> AttributeModel(int scalarType, bool lookupTable) {
  vtkNew<vtkPoints> points;
  auto data = Grid(points);
  const vtkIdType np = data->GetNumberOfPoints(), nc = data->GetNumberOfCells();
  const bool colours = scalarType == VTK_UNSIGNED_CHAR && !lookupTable; // COLOR_SCALARS
  for (vtkDataSetAttributes* attributes :
       {static_cast<vtkDataSetAttributes*>(data->GetPointData()),
        static_cast<vtkDataSetAttributes*>(data->GetCellData())}) {
    const vtkIdType n = attributes == data->GetPointData() ? np : nc;
    auto scalars = Values(scalarType, "scalars", colours ? 3 : 1, n, 1, colours);
    if (lookupTable) {
      vtkNew<vtkLookupTable> table;
      table->SetNumberOfTableValues(4);
      for (int i = 0; i < 4; ++i)
        table->SetTableValue(i, i * 0.25, 1 - i * 0.25, 0.5, 1);
      scalars->SetLookupTable(table);
    }
    double range[2];
    scalars->GetRange(range, 0);
    attributes->SetScalars(scalars);
    auto vectors = Values(VTK_FLOAT, "vectors", 3, n, 2);
    vectors->GetRange(range, -1);
    attributes->SetVectors(vectors);
    auto normals = Values(VTK_DOUBLE, "normals", 3, n, 3);
    normals->SetComponentName(0, "nx");
    normals->SetComponentName(1, "ny");
    normals->SetComponentName(2, "nz");
    attributes->SetNormals(normals);
    attributes->SetTensors(Values(VTK_FLOAT, "tensors", 9, n, 4));
    attributes->SetTCoords(Values(VTK_FLOAT, "tcoords", 2, n, 5));
    attributes->AddArray(Values(VTK_INT, "labels", 1, n, 6));
    attributes->AddArray(Values(VTK_DOUBLE, "weights", 2, n, 7));
  }
  data->GetFieldData()->AddArray(Values(VTK_INT, "tag", 1, 3, 8));
  return data;
}

void ExpectSameArray(vtkDataArray* was, vtkDataArray* now, const std::string& where) {
  ASSERT_NE(now, nullptr) << where;
  EXPECT_EQ(was->GetDataType(), now->GetDataType()) << where;
  ASSERT_EQ(was->GetNumberOfComponents(), now->GetNumberOfComponents()) << where;
  ASSERT_EQ(was->GetNumberOfTuples(), now->GetNumberOfTuples()) << where;
  for (vtkIdType t = 0; t < was->GetNumberOfTuples(); ++t)
    for (int c = 0; c < was->GetNumberOfComponents(); ++c)
      ASSERT_EQ(was->GetComponent(t, c), now->GetComponent(t, c)) << where << " " << t << " " << c;
}

void ExpectSameAttributes(vtkDataSetAttributes* was, vtkDataSetAttributes* now,
                          const std::string& where) {
  ASSERT_EQ(was->GetNumberOfArrays(), now->GetNumberOfArrays()) << where;
  for (int a = 0; a < was->GetNumberOfArrays(); ++a) {
    vtkDataArray* array = was->GetArray(a);
    const std::string name = where + " " + array->GetName();
    // Attribute roles survive: the reader gives each array the same role again.
    const int role = was->IsArrayAnAttribute(a);
    if (role >= 0) {
      ExpectSameArray(array, now->GetAttribute(role), name);
    } else {
      ExpectSameArray(array, now->GetArray(array->GetName()), name);
    }
  }
  if (vtkDataArray* scalars = was->GetScalars(); scalars && scalars->GetLookupTable()) {
    vtkLookupTable* table = now->GetScalars()->GetLookupTable();
    ASSERT_NE(table, nullptr) << where;
    ASSERT_EQ(4, table->GetNumberOfTableValues()) << where;
    for (int i = 0; i < 4; ++i) {
      double a[4], b[4];
      scalars->GetLookupTable()->GetTableValue(i, a);
      table->GetTableValue(i, b);
      for (int c = 0; c < 4; ++c) // BINARY files hold the table as bytes
        EXPECT_NEAR(a[c], b[c], 0.5 / 255 + 1e-9) << where << " table " << i;
    }
  }
}

struct Writer {
  const char* Name;
  // Writes data to path; false with the reason on failure.
  bool (*Write)(vtkPolyData* data, const std::string& path, std::string& reason);
};

bool OurWriter(vtkPolyData* data, const std::string& path, std::string& reason) {
  return Kept(WriteLegacyModel(data, path), reason);
}

template <int Version, bool Binary>
bool VtkWriter(vtkPolyData* data, const std::string& path, std::string& reason) {
  vtkNew<vtkPolyDataWriter> writer;
  writer->SetInputData(data);
  writer->SetFileVersion(Version);
  if (Binary)
    writer->SetFileTypeToBinary();
  writer->SetFileName(path.c_str());
  reason = "vtkPolyDataWriter failed";
  return writer->Write() == 1;
}

} // namespace

// Every file Selvane writes (and VTK's own writer, ASCII and BINARY, 4.2 and 5.1) opens again
// through Open Model's checked read with the same points, cells and data.
TEST(RoundTripOfSavedModels, EveryAttributeKindOpensAgainWithTheSameData) {
  const Writer writers[] = {{"ours", OurWriter},
                            {"vtk-4.2-binary", VtkWriter<42, true>},
                            {"vtk-5.1-ascii", VtkWriter<51, false>},
                            {"vtk-5.1-binary", VtkWriter<51, true>}};
  const int types[] = {VTK_FLOAT,         VTK_DOUBLE, VTK_INT,          VTK_SHORT,
                       VTK_UNSIGNED_CHAR, VTK_CHAR,   VTK_UNSIGNED_INT, VTK_UNSIGNED_SHORT};
  for (const Writer& writer : writers)
    for (int type : types)
      for (bool table : {false, true}) {
        auto data = AttributeModel(type, table);
        const std::string name = std::string(writer.Name) + "-" +
                                 vtkImageScalarTypeNameMacro(type) + (table ? "-table" : "");
        const std::string path = (TestFolder() / (name + ".vtk")).string();
        std::string reason;
        ASSERT_TRUE(writer.Write(data, path, reason)) << name << ": " << reason;
        vtkNew<vtkPolyDataReader> reader;
        const selvane::Result read = selvane::ReadModelFile(path, reader);
        ASSERT_TRUE(read.Ok()) << name << ": " << read.Reason;
        vtkPolyData* back = reader->GetOutput();
        ASSERT_EQ(data->GetNumberOfPoints(), back->GetNumberOfPoints()) << name;
        ASSERT_EQ(data->GetNumberOfPolys(), back->GetNumberOfPolys()) << name;
        ExpectSameArray(data->GetPoints()->GetData(), back->GetPoints()->GetData(),
                        name + " points");
        for (vtkIdType c = 0; c < data->GetNumberOfCells(); ++c) {
          vtkNew<vtkIdList> a, b;
          data->GetCellPoints(c, a);
          back->GetCellPoints(c, b);
          ASSERT_EQ(a->GetNumberOfIds(), b->GetNumberOfIds()) << name;
          for (vtkIdType i = 0; i < a->GetNumberOfIds(); ++i)
            ASSERT_EQ(a->GetId(i), b->GetId(i)) << name << " cell " << c;
        }
        ExpectSameAttributes(data->GetPointData(), back->GetPointData(), name + " point data");
        ExpectSameAttributes(data->GetCellData(), back->GetCellData(), name + " cell data");
        ExpectSameArray(data->GetFieldData()->GetArray("tag"),
                        back->GetFieldData()->GetArray("tag"), name + " field data");
      }
}

// Coordinates read back bit for bit, in their own type: float and double values that need all
// their significant digits (9 and 17).
TEST(RoundTripOfSavedModels, PointsReadBackExactlyInTheirType) {
  for (int type : {VTK_FLOAT, VTK_DOUBLE}) {
    vtkNew<vtkPoints> points;
    points->SetDataType(type);
    auto data = Grid(points);
    const double awkward[] = {1.0 / 3.0,
                              -2.0 / 3.0,
                              0.1 + 0.2,
                              std::nextafter(1.0, 2.0),
                              3.4028234e38,
                              1.1754943508222875e-38,
                              123456789.123456789,
                              -0.0,
                              1e-300};
    for (vtkIdType p = 0; p < data->GetNumberOfPoints(); ++p)
      for (int c = 0; c < 3; ++c) {
        const double v = awkward[(p * 3 + c) % 9] * (1 + p);
        points->GetData()->SetComponent(p, c, std::fabs(v) > 3.4e38 ? awkward[0] : v);
      }
    const std::string path = (TestFolder() / ("exact-" + std::to_string(type) + ".vtk")).string();
    std::string reason;
    ASSERT_TRUE(Kept(WriteLegacyModel(data, path), reason)) << reason;
    vtkNew<vtkPolyDataReader> reader;
    const selvane::Result read = selvane::ReadModelFile(path, reader);
    ASSERT_TRUE(read.Ok()) << read.Reason;
    vtkDataArray* now = reader->GetOutput()->GetPoints()->GetData();
    ASSERT_EQ(type, now->GetDataType());
    for (vtkIdType p = 0; p < data->GetNumberOfPoints(); ++p)
      for (int c = 0; c < 3; ++c) {
        const double was = points->GetData()->GetComponent(p, c);
        const double got = now->GetComponent(p, c);
        ASSERT_TRUE(was == got && std::signbit(was) == std::signbit(got))
            << "type " << type << " point " << p << ": " << was << " read back as " << got;
      }
  }
}

// ---- non-finite values ------------------------------------------------------------------

// A coordinate that is infinite, NaN or beyond float range (a deformation pushed it there), or
// a non-finite data value, is refused with the first such point or value named; the old file
// stays as it was and nothing is left beside it.
TEST(NonFiniteValues, AreNeverWrittenAndTheOldFileStays) {
  const auto dir = TestFolder() / "non-finite";
  std::filesystem::create_directories(dir);
  const std::string target = (dir / "model.vtk").string();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    int Type;
    vtkIdType Point;
    double Value;
    const char* Expected;
  } cases[] = {{VTK_FLOAT, 5, inf, "point 5 has the coordinate inf"},
               {VTK_FLOAT, 7, -inf, "point 7 has the coordinate -inf"},
               {VTK_DOUBLE, 3, std::nan(""), "point 3 has the coordinate nan"},
               {VTK_DOUBLE, 9, 1e39, "point 9 has the coordinate 1e+39, outside single-precision"}};
  for (const Case& c : cases) {
    std::ofstream(target) << "precious\n";
    vtkNew<vtkPoints> points;
    points->SetDataType(c.Type);
    auto data = Grid(points);
    points->GetData()->SetComponent(c.Point, 1, c.Value);
    points->GetData()->SetComponent(c.Point + 2, 0, c.Value); // only the first is named
    std::string reason;
    EXPECT_FALSE(Kept(WriteLegacyModel(data, target), reason));
    EXPECT_NE(reason.find(target), std::string::npos) << reason;
    EXPECT_NE(reason.find(c.Expected), std::string::npos) << reason;
    EXPECT_EQ(Slurp(target), "precious\n");
    std::string text;
    EXPECT_FALSE(Kept(FormatLegacyPolyData(data, text), reason));
    EXPECT_NE(reason.find(c.Expected), std::string::npos) << reason;
  }
  // Normals a deformation turned into NaN: the array and the tuple are named.
  vtkNew<vtkPoints> points;
  auto data = Grid(points);
  auto normals = Values(VTK_FLOAT, "Normals", 3, data->GetNumberOfPoints(), 0);
  normals->SetComponent(4, 2, std::nan(""));
  data->GetPointData()->SetNormals(normals);
  std::string reason;
  EXPECT_FALSE(Kept(WriteLegacyModel(data, target), reason));
  EXPECT_NE(reason.find("point data array 'Normals' has the value nan at tuple 4"),
            std::string::npos)
      << reason;
  EXPECT_EQ(Slurp(target), "precious\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                          std::filesystem::directory_iterator()),
            1);
}
