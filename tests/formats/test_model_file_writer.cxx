// Models saved by extension: each format reads back with the same points (exactly, in the
// precision the format stores), the same cells and, in VTP, the same cell scalars; models a
// format cannot hold and unknown extensions are refused with nothing written; a write cut
// short keeps the old file and leaves no temporary file. STL, PLY and OBJ are read back as
// Open Model reads them; VTP, which Open Model does not read yet, with VTK's reader.
#include "FileSizeLimit.h"
#include "ModelFileWriter.h"
#include "ModelFormats.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkXMLPolyDataReader.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace selvane::formats;

namespace {

namespace fs = std::filesystem;

// A folder of its own, removed at the end of each test.
struct Folder {
  Folder()
      : Path(fs::temp_directory_path() / ("selvane-model-writer-" + std::to_string(::getpid()))) {
    fs::remove_all(Path);
    fs::create_directories(Path);
  }
  ~Folder() { fs::remove_all(Path); }
  std::string File(const std::string& name) const { return (Path / name).string(); }
  std::size_t Entries() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(Path), fs::directory_iterator()));
  }
  fs::path Path;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Coordinates that six or eleven significant digits would change; a triangle, a quad and a
// strip of two triangles; cell scalars 0..2.
vtkSmartPointer<vtkPolyData> Surface(int pointType) {
  vtkNew<vtkPoints> points;
  points->SetDataType(pointType);
  const double xyz[6][3] = {{1234.56787, -0.000123456, 42.5},
                            {-7.25, 3.14159274, 1e-3},
                            {98765.4321, 0.1, 0.2},
                            {1.0 / 3.0, 2.0 / 3.0, -1.0 / 7.0},
                            {0.1 + 1e-12, 5.0 / 7.0, 1.0 / 11.0},
                            {-2.0 / 3.0, 0.3, 1e-30}};
  for (const auto& p : xyz)
    points->InsertNextPoint(p);
  auto data = vtkSmartPointer<vtkPolyData>::New();
  data->SetPoints(points);
  vtkNew<vtkCellArray> polys, strips;
  const vtkIdType tri[3] = {0, 1, 2}, quad[4] = {1, 2, 3, 4}, strip[4] = {2, 3, 4, 5};
  polys->InsertNextCell(3, tri);
  polys->InsertNextCell(4, quad);
  strips->InsertNextCell(4, strip);
  data->SetPolys(polys);
  data->SetStrips(strips);
  vtkNew<vtkFloatArray> scalars;
  for (float s : {0.0f, 1.0f, 2.0f})
    scalars->InsertNextValue(s);
  data->GetCellData()->SetScalars(scalars);
  return data;
}

// Every coordinate of a equals b's after a conversion to the stored type T.
template <typename T> void ExpectSamePoints(vtkPolyData* a, vtkPolyData* b) {
  ASSERT_EQ(a->GetNumberOfPoints(), b->GetNumberOfPoints());
  for (vtkIdType i = 0; i < a->GetNumberOfPoints(); ++i) {
    double p[3], q[3];
    a->GetPoint(i, p);
    b->GetPoint(i, q);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(static_cast<T>(p[c]), static_cast<T>(q[c])) << "point " << i << " axis " << c;
  }
}

std::vector<std::vector<vtkIdType>> CellsOf(vtkCellArray* cells) {
  std::vector<std::vector<vtkIdType>> out;
  vtkNew<vtkIdList> ids;
  for (cells->InitTraversal(); cells->GetNextCell(ids);)
    out.emplace_back(ids->begin(), ids->end());
  return out;
}

// The polygons as written where strips become triangles: tri, quad, then the strip's two.
const std::vector<std::vector<vtkIdType>> FacesWithStripSplit = {
    {0, 1, 2}, {1, 2, 3, 4}, {2, 3, 4}, {4, 3, 5}};

// The model as Open Model reads it.
vtkSmartPointer<vtkPolyData> ReadBack(const std::string& path) {
  auto model = vtkSmartPointer<vtkPolyData>::New();
  const selvane::Result read = selvane::ReadModel(path, model);
  EXPECT_TRUE(read.Ok()) << path << ": " << read.Reason;
  return model;
}

template <typename Reader> vtkSmartPointer<vtkPolyData> ReadWith(const std::string& path) {
  vtkNew<Reader> reader;
  reader->SetFileName(path.c_str());
  reader->Update();
  return reader->GetOutput();
}

} // namespace

TEST(ModelFileWriter, VtpKeepsPointsCellsAndCellScalarsExactly) {
  Folder dir;
  for (int type : {VTK_FLOAT, VTK_DOUBLE}) {
    auto model = Surface(type);
    std::string reason;
    reason = WriteModelFile(model, dir.File("m.VTP")).Reason;
    ASSERT_TRUE(reason.empty()) << reason;
    EXPECT_NE(Slurp(dir.File("m.VTP")).find("vtkZLibDataCompressor"), std::string::npos);
    auto back = ReadWith<vtkXMLPolyDataReader>(dir.File("m.VTP"));
    EXPECT_EQ(back->GetPoints()->GetDataType(), type);
    ExpectSamePoints<double>(model, back);
    EXPECT_EQ(CellsOf(back->GetPolys()), CellsOf(model->GetPolys()));
    EXPECT_EQ(CellsOf(back->GetStrips()), CellsOf(model->GetStrips()));
    ASSERT_NE(back->GetCellData()->GetScalars(), nullptr);
    for (vtkIdType c = 0; c < 3; ++c)
      EXPECT_EQ(back->GetCellData()->GetScalars()->GetTuple1(c), c);
  }
}

TEST(ModelFileWriter, StlHoldsTrianglesInSinglePrecision) {
  Folder dir;
  auto model = Surface(VTK_DOUBLE);
  std::string reason;
  reason = WriteModelFile(model, dir.File("m.stl"), "solid looking title").Reason;
  ASSERT_TRUE(reason.empty()) << reason;
  const std::string bytes = Slurp(dir.File("m.stl"));
  // Triangle, quad as two, strip as two: 5 records of 50 bytes after the 84-byte head.
  ASSERT_EQ(bytes.size(), 84u + 5u * 50u);
  EXPECT_NE(bytes.rfind("solid", 0), 0u) << "an ASCII-looking header";
  auto back = ReadBack(dir.File("m.stl"));
  ASSERT_EQ(back->GetNumberOfPolys(), 5);
  // Triangle t holds points 3t .. 3t+2: the first is points 0, 1, 2 as floats, the last the
  // strip's second triangle.
  const vtkIdType corners[5][3] = {{0, 1, 2}, {}, {}, {2, 3, 4}, {4, 3, 5}};
  for (int t : {0, 3, 4})
    for (int k = 0; k < 3; ++k)
      for (int c = 0; c < 3; ++c)
        EXPECT_EQ(back->GetPoint(3 * t + k)[c],
                  static_cast<float>(model->GetPoint(corners[t][k])[c]))
            << "triangle " << t << " corner " << k;

  // Lines have no place in STL or PLY: refused, naming them, nothing written.
  vtkNew<vtkCellArray> lines;
  const vtkIdType line[2] = {0, 5};
  lines->InsertNextCell(2, line);
  model->SetLines(lines);
  for (const char* name : {"lines.stl", "lines.ply"}) {
    reason = WriteModelFile(model, dir.File(name)).Reason;
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(reason.find("1 line cells"), std::string::npos) << reason;
    EXPECT_NE(reason.find(dir.File(name)), std::string::npos) << reason;
  }
  EXPECT_EQ(dir.Entries(), 1u);
  // A coordinate beyond single precision does not go into STL.
  model->SetLines(nullptr);
  model->GetPoints()->SetPoint(3, 1e39, 0, 0);
  reason = WriteModelFile(model, dir.File("far.stl")).Reason;
  EXPECT_FALSE(reason.empty());
  EXPECT_NE(reason.find("point 3 has the coordinate 1e+39"), std::string::npos) << reason;
  EXPECT_FALSE(fs::exists(dir.File("far.stl")));
}

TEST(ModelFileWriter, PlyAndObjReadBackExactlyInThePointType) {
  Folder dir;
  for (int type : {VTK_FLOAT, VTK_DOUBLE})
    for (const char* name : {"m.ply", "m.OBJ"}) {
      SCOPED_TRACE(std::string(name) + (type == VTK_FLOAT ? " float" : " double"));
      auto model = Surface(type);
      vtkNew<vtkCellArray> lines;
      const vtkIdType line[3] = {0, 5, 1};
      lines->InsertNextCell(3, line);
      const bool obj = std::string(name) == "m.OBJ";
      if (obj) // PLY holds surfaces only
        model->SetLines(lines);
      std::string reason;
      reason = WriteModelFile(model, dir.File(name), "model\nsecond line").Reason;
      ASSERT_TRUE(reason.empty()) << reason;
      auto back = ReadBack(dir.File(name));
      // Floats are stored as floats; doubles as doubles in PLY and as text that reads back as
      // the same double in OBJ.
      if (type == VTK_FLOAT)
        ExpectSamePoints<float>(model, back);
      else
        ExpectSamePoints<double>(model, back);
      EXPECT_EQ(CellsOf(back->GetPolys()), FacesWithStripSplit);
      if (obj) {
        EXPECT_EQ(CellsOf(back->GetLines()), CellsOf(lines));
      }
    }
  const std::string header = Slurp(dir.File("m.ply")).substr(0, 200);
  EXPECT_NE(header.find("format binary_little_endian 1.0\ncomment model second line\n"),
            std::string::npos)
      << header;
  EXPECT_NE(header.find("element vertex 6\nproperty double x\n"), std::string::npos) << header;
}

TEST(ModelFileWriter, RefusalsAndFailuresKeepTheOldFile) {
  Folder dir;
  auto model = Surface(VTK_FLOAT);
  const std::string old = dir.File("old.vtp");
  std::ofstream(old) << "precious\n";
  std::string reason;

  // An unknown extension names the known ones and writes nothing.
  reason = WriteModelFile(model, dir.File("model.off")).Reason;
  EXPECT_FALSE(reason.empty());
  EXPECT_NE(reason.find("'.off'"), std::string::npos) << reason;
  EXPECT_NE(reason.find(".vtk, .vtp, .stl, .ply, .obj"), std::string::npos) << reason;
  reason = WriteModelFile(model, dir.File("noextension")).Reason;
  EXPECT_FALSE(reason.empty());
  EXPECT_NE(reason.find("no extension"), std::string::npos) << reason;

  // A coordinate that is not finite is never written.
  auto broken = Surface(VTK_DOUBLE);
  broken->GetPoints()->SetPoint(4, 0, std::nan(""), 0);
  reason = WriteModelFile(broken, old).Reason;
  EXPECT_FALSE(reason.empty());
  EXPECT_NE(reason.find("point 4"), std::string::npos) << reason;

  // Every format, cut short by a file size limit, reports it and keeps the old file.
  for (const char* name : {"old.vtp", "old.stl", "old.ply", "old.obj"}) {
    const std::string target = dir.File(name);
    std::ofstream(target) << "precious\n";
    EXPECT_TRUE(selvane::test::FailsPastFileSizeLimit(40, [&](std::string& why) {
      why = WriteModelFile(model, target).Reason;
      return why.empty();
    })) << name;
    EXPECT_EQ(Slurp(target), "precious\n") << name;
  }
  EXPECT_EQ(dir.Entries(), 4u); // the four old files and no temporary one
}
