// Open Model's own read of plain BINARY legacy files: it must give the model VTK's reader
// gives for the same file, leave every other layout to the general path, and turn away every
// damaged value with the general path's reason.
#include "LegacyBinaryModel.h"
#include "ModelFileReader.h"
#include "ModelFiles.h"
#include "ModelFormats.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkDoubleArray.h>
#include <vtkFieldData.h>
#include <vtkFloatArray.h>
#include <vtkIntArray.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkPolyDataWriter.h>
#include <vtkUnsignedCharArray.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace modelcheck;

namespace {

const selvane::TempDir& Folder() {
  static const selvane::TempDir folder;
  return folder;
}

// Every kind of cell, both point types, scalars of several types on points and cells.
vtkSmartPointer<vtkPolyData> MixedModel(bool doublePoints) {
  auto model = vtkSmartPointer<vtkPolyData>::New();
  vtkNew<vtkPoints> points;
  points->SetDataType(doublePoints ? VTK_DOUBLE : VTK_FLOAT);
  for (int i = 0; i < 40; ++i) {
    points->InsertNextPoint(0.1 * i + 1.0 / 3.0, std::sin(i) * 1e-3, -12345.678901234567 + i);
  }
  vtkNew<vtkCellArray> verts, lines, polys, strips;
  verts->InsertNextCell({0});
  verts->InsertNextCell({5, 6, 7}); // a poly-vertex
  lines->InsertNextCell({1, 2});
  lines->InsertNextCell({3, 4, 8, 9, 10});
  for (vtkIdType i = 0; i + 3 < 30; ++i) {
    polys->InsertNextCell({i, i + 1, i + 2});
  }
  polys->InsertNextCell({30, 31, 32, 33, 34, 35}); // a hexagon
  strips->InsertNextCell({34, 35, 36, 37, 38, 39});
  model->SetPoints(points);
  model->SetVerts(verts);
  model->SetLines(lines);
  model->SetPolys(polys);
  model->SetStrips(strips);
  vtkNew<vtkUnsignedCharArray> colours;
  colours->SetName("colour");
  colours->SetNumberOfComponents(3);
  for (vtkIdType p = 0; p < points->GetNumberOfPoints(); ++p) {
    colours->InsertNextTuple3(p % 256, (7 * p) % 256, 255 - p);
  }
  model->GetPointData()->SetScalars(colours);
  vtkNew<vtkIntArray> region;
  region->SetName("region");
  for (vtkIdType c = 0; c < model->GetNumberOfCells(); ++c) {
    region->InsertNextValue(static_cast<int>(c % 5) - 2);
  }
  model->GetCellData()->SetScalars(region);
  return model;
}

void ExpectSameArray(vtkDataArray* expected, vtkDataArray* actual, const std::string& what) {
  ASSERT_EQ(expected == nullptr, actual == nullptr) << what;
  if (!expected) {
    return;
  }
  EXPECT_STREQ(expected->GetClassName(), actual->GetClassName()) << what;
  EXPECT_EQ(expected->GetName() ? std::string(expected->GetName()) : std::string(),
            actual->GetName() ? std::string(actual->GetName()) : std::string())
      << what;
  ASSERT_EQ(expected->GetNumberOfComponents(), actual->GetNumberOfComponents()) << what;
  ASSERT_EQ(expected->GetNumberOfTuples(), actual->GetNumberOfTuples()) << what;
  EXPECT_EQ(expected->GetLookupTable() == nullptr, actual->GetLookupTable() == nullptr) << what;
  for (vtkIdType i = 0; i < expected->GetNumberOfValues(); ++i) {
    ASSERT_EQ(expected->GetVariantValue(i), actual->GetVariantValue(i)) << what << " value " << i;
  }
}

void ExpectSameCells(vtkCellArray* expected, vtkCellArray* actual, const std::string& what) {
  ASSERT_EQ(expected->GetNumberOfCells(), actual->GetNumberOfCells()) << what;
  EXPECT_EQ(expected->IsStorage64Bit(), actual->IsStorage64Bit()) << what;
  ExpectSameArray(expected->GetOffsetsArray(), actual->GetOffsetsArray(), what + " offsets");
  ExpectSameArray(expected->GetConnectivityArray(), actual->GetConnectivityArray(),
                  what + " connectivity");
}

void ExpectSameData(vtkDataSetAttributes* expected, vtkDataSetAttributes* actual,
                    const std::string& what) {
  ASSERT_EQ(expected->GetNumberOfArrays(), actual->GetNumberOfArrays()) << what;
  for (int i = 0; i < expected->GetNumberOfArrays(); ++i) {
    ExpectSameArray(expected->GetArray(i), actual->GetArray(i), what);
  }
  ExpectSameArray(expected->GetScalars(), actual->GetScalars(), what + " scalars");
}

// The model VTK's reader makes of the file and ours, side by side.
void ExpectReadAsVtkReadsIt(const std::string& path) {
  vtkNew<vtkPolyDataReader> reader;
  reader->SetFileName(path.c_str());
  reader->Update();
  vtkPolyData* expected = reader->GetOutput();
  vtkNew<vtkPolyData> actual;
  ASSERT_TRUE(selvane::formats::ReadPlainBinaryLegacyModel(path, actual)) << path;
  ASSERT_GT(expected->GetNumberOfPoints(), 0);
  ExpectSameArray(expected->GetPoints()->GetData(), actual->GetPoints()->GetData(), "points");
  ExpectSameCells(expected->GetVerts(), actual->GetVerts(), "vertices");
  ExpectSameCells(expected->GetLines(), actual->GetLines(), "lines");
  ExpectSameCells(expected->GetPolys(), actual->GetPolys(), "polygons");
  ExpectSameCells(expected->GetStrips(), actual->GetStrips(), "strips");
  ExpectSameData(expected->GetPointData(), actual->GetPointData(), "point data");
  ExpectSameData(expected->GetCellData(), actual->GetCellData(), "cell data");
  EXPECT_EQ(expected->GetFieldData()->GetNumberOfArrays(),
            actual->GetFieldData()->GetNumberOfArrays());
}

std::string WriteBinary(vtkPolyData* model, int version, const std::string& name) {
  const std::string path = Folder().File(name);
  vtkNew<vtkPolyDataWriter> writer;
  writer->SetInputData(model);
  writer->SetFileVersion(version);
  writer->SetFileTypeToBinary();
  writer->SetFileName(path.c_str());
  EXPECT_EQ(1, writer->Write());
  return path;
}

TEST(PlainBinaryFiles, AreReadIntoTheModelVtksReaderMakesOfThem) {
  for (int version : {42, 51}) {
    for (bool doublePoints : {false, true}) {
      const std::string name =
          "mixed-" + std::to_string(version) + (doublePoints ? "-double" : "-float") + ".vtk";
      ExpectReadAsVtkReadsIt(WriteBinary(MixedModel(doublePoints), version, name));
    }
  }
  // The hand-made 4.2 tetrahedron, with its int cell scalars.
  ExpectReadAsVtkReadsIt(Folder().Write("tetra.vtk", TetraBinary42()));
}

TEST(PlainBinaryFiles, OtherLayoutsAreLeftToTheGeneralPath) {
  vtkSmartPointer<vtkPolyData> withField = MixedModel(false);
  vtkNew<vtkIntArray> tag;
  tag->SetName("tag");
  tag->InsertNextValue(7);
  withField->GetFieldData()->AddArray(tag);
  vtkSmartPointer<vtkPolyData> withNormals = MixedModel(false);
  vtkNew<vtkFloatArray> normals;
  normals->SetNumberOfComponents(3);
  normals->SetNumberOfTuples(withNormals->GetNumberOfPoints());
  normals->Fill(0.5);
  withNormals->GetPointData()->SetNormals(normals);
  vtkSmartPointer<vtkPolyData> ascii = MixedModel(false);
  const std::string asciiPath = Folder().File("ascii.vtk");
  {
    vtkNew<vtkPolyDataWriter> writer;
    writer->SetInputData(ascii);
    writer->SetFileName(asciiPath.c_str());
    ASSERT_EQ(1, writer->Write());
  }
  const std::vector<std::string> paths = {
      WriteBinary(withField, 51, "field.vtk"),
      WriteBinary(withNormals, 42, "normals.vtk"),
      asciiPath,
      Folder().Write("named-table.vtk", TetraBinary51()), // a table of its own
      Folder().Write("bom.vtk", "\xEF\xBB\xBF" + TetraBinary42()),
      Folder().Write("two-scalars.vtk", TetraBinary42() +
                                            "SCALARS more int 1\nLOOKUP_TABLE default\n" +
                                            std::string(16, '\0') + "\n"),
  };
  for (const std::string& path : paths) {
    vtkNew<vtkPolyData> model;
    EXPECT_FALSE(selvane::formats::ReadPlainBinaryLegacyModel(path, model)) << path;
    EXPECT_EQ(0, model->GetNumberOfPoints()) << path;
    const selvane::Result read = selvane::ReadModel(path, model);
    EXPECT_TRUE(read.Ok()) << path << ": " << read.Reason;
    EXPECT_GT(model->GetNumberOfCells(), 0) << path;
  }
}

// The tetrahedron as a plain 5.1 file: float points, 64-bit cells, float cell scalars.
std::string PlainTetra51(const std::vector<std::int64_t>& offsets,
                         const std::vector<std::int64_t>& ids, float x0 = 0, float scalar0 = 0) {
  Bytes b;
  b.Text(Header("5.1", "BINARY")).Text("POINTS 4 float\n");
  for (float v : {x0, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f}) {
    b.F32(v);
  }
  b.Text("\nPOLYGONS " + std::to_string(offsets.size()) + " " + std::to_string(ids.size()) +
         "\nOFFSETS vtktypeint64\n");
  for (std::int64_t v : offsets) {
    b.I64(v);
  }
  b.Text("\nCONNECTIVITY vtktypeint64\n");
  for (std::int64_t v : ids) {
    b.I64(v);
  }
  b.Text("\nCELL_DATA " + std::to_string(offsets.size() - 1) +
         "\nSCALARS cs float 1\nLOOKUP_TABLE default\n");
  b.F32(scalar0);
  for (std::size_t c = 2; c < offsets.size(); ++c) {
    b.F32(static_cast<float>(c));
  }
  b.Text("\n");
  return b.Data;
}

// The tetrahedron as a plain 4.2 file with the given cell list.
std::string PlainTetra42(const std::vector<std::int32_t>& list, int cells, double x0 = 0) {
  Bytes b;
  b.Text(Header("4.2", "BINARY")).Text("POINTS 4 double\n");
  for (double v : {x0, 0., 0., 1., 0., 0., 0., 1., 0., 0., 0., 1.}) {
    b.F64(v);
  }
  b.Text("\nPOLYGONS " + std::to_string(cells) + " " + std::to_string(list.size()) + "\n");
  for (std::int32_t v : list) {
    b.I32(v);
  }
  b.Text("\n");
  return b.Data;
}

TEST(PlainBinaryFiles, EveryDamagedValueGetsTheGeneralPathsReason) {
  const std::vector<std::int64_t> offsets = {0, 3, 6, 9, 12};
  const std::vector<std::int64_t> ids = {0, 1, 2, 0, 1, 3, 0, 2, 3, 1, 2, 3};
  const std::vector<std::int32_t> list = {3, 0, 1, 2, 3, 0, 1, 3, 3, 0, 2, 3, 3, 1, 2, 3};
  auto with = [](auto v, std::size_t at, auto value) {
    v[at] = value;
    return v;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* Name;
    std::string Bytes;
  } cases[] = {
      {"offsets_not_from_zero", PlainTetra51(with(offsets, 0, 1), ids)},
      {"offsets_decreasing", PlainTetra51(with(offsets, 2, 2), ids)},
      {"offsets_past_the_end", PlainTetra51(with(offsets, 3, 13), ids)},
      {"offsets_ending_short", PlainTetra51(with(offsets, 4, 11), ids)},
      {"offsets_near_2_63", PlainTetra51(with(offsets, 2, std::int64_t(1) << 62), ids)},
      {"offset_most_negative",
       PlainTetra51(with(offsets, 2, std::numeric_limits<std::int64_t>::min()), ids)},
      {"id_out_of_range_5_1", PlainTetra51(offsets, with(ids, 5, 4))},
      {"id_negative_5_1", PlainTetra51(offsets, with(ids, 0, -1))},
      {"point_nan_5_1", PlainTetra51(offsets, ids, nan)},
      {"scalar_infinite", PlainTetra51(offsets, ids, 0, std::numeric_limits<float>::infinity())},
      {"cell_too_small_4_2", PlainTetra42(with(list, 4, 2), 4)},
      {"cell_past_the_list_4_2", PlainTetra42(with(list, 12, 9), 4)},
      {"cell_size_negative_4_2", PlainTetra42(with(list, 0, -3), 4)},
      {"fewer_cells_than_declared_4_2", PlainTetra42(with(list, 12, 4), 4)},
      {"id_out_of_range_4_2", PlainTetra42(with(list, 7, 4), 4)},
      {"point_beyond_float_4_2", PlainTetra42(list, 4, 1e39)},
      {"point_infinite_4_2", PlainTetra42(list, 4, std::numeric_limits<double>::infinity())},
  };
  // The undamaged files are read straight.
  vtkNew<vtkPolyData> good;
  ASSERT_TRUE(selvane::formats::ReadPlainBinaryLegacyModel(
      Folder().Write("good51.vtk", PlainTetra51(offsets, ids)), good));
  EXPECT_EQ(4, good->GetNumberOfPolys());
  ASSERT_TRUE(selvane::formats::ReadPlainBinaryLegacyModel(
      Folder().Write("good42.vtk", PlainTetra42(list, 4)), good));
  EXPECT_EQ(4, good->GetNumberOfPolys());
  for (const auto& c : cases) {
    const std::string path = Folder().Write(std::string(c.Name) + ".vtk", c.Bytes);
    vtkNew<vtkPolyData> model;
    model->SetPoints(vtkNew<vtkPoints>());
    model->GetPoints()->InsertNextPoint(1, 2, 3);
    EXPECT_FALSE(selvane::formats::ReadPlainBinaryLegacyModel(path, model)) << c.Name;
    EXPECT_EQ(1, model->GetNumberOfPoints()) << c.Name << ": the model was changed";
    const selvane::Result opened = selvane::ReadModel(path, model);
    const selvane::Result general = selvane::ReadModelFile(path, vtkNew<vtkPolyDataReader>());
    EXPECT_FALSE(opened.Ok()) << c.Name;
    EXPECT_FALSE(opened.Reason.empty()) << c.Name;
    EXPECT_EQ(general.Reason, opened.Reason) << c.Name;
    EXPECT_EQ(0, model->GetNumberOfPoints()) << c.Name << ": a half-read model";
  }
}

// A file rewritten in place over and over while it is opened, between a valid model and one
// with a point ID out of range (the same length): every open gives the valid model or refuses
// the file, never a model holding the unchecked ID.
TEST(PlainBinaryFiles, ARewriteDuringTheOpenNeverGivesAnUncheckedModel) {
  const std::vector<std::int64_t> offsets = {0, 3, 6, 9, 12};
  const std::string valid = PlainTetra51(offsets, {0, 1, 2, 0, 1, 3, 0, 2, 3, 1, 2, 3});
  const std::string damaged = PlainTetra51(offsets, {0, 1, 2, 0, 1, 3, 0, 2, 3, 1, 2, 9});
  ASSERT_EQ(valid.size(), damaged.size());
  const std::string path = Folder().Write("rewritten.vtk", valid);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (bool flip = false; !done; flip = !flip) {
      const std::string& bytes = flip ? damaged : valid;
      if (::pwrite(fd, bytes.data(), bytes.size(), 0) < 0) {
        break;
      }
    }
  });
  int unchecked = 0;
  for (int i = 0; i < 500; ++i) {
    vtkNew<vtkPolyData> model;
    if (selvane::ReadModel(path, model).Ok()) {
      vtkDataArray* ids = model->GetPolys()->GetConnectivityArray();
      for (vtkIdType k = 0; k < ids->GetNumberOfValues(); ++k) {
        unchecked += ids->GetTuple1(k) >= 4;
      }
    } else {
      unchecked += model->GetNumberOfPoints() != 0;
    }
  }
  done = true;
  writer.join();
  ::close(fd);
  EXPECT_EQ(0, unchecked);
}

} // namespace
