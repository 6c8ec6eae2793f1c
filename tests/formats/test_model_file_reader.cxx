// Open Model's safe reading of legacy VTK files: a damaged-model corpus generated here, one
// case per kind of damage, each refused with a reason of the right kind before VTK's reader
// sees it; and valid variants (versions, BINARY, CRLF, scalars, lookup tables, files written
// by vtkPolyDataWriter) that open with the right counts.
#include "LegacyVtkScanner.h"
#include "ModelFileReader.h"
#include "ModelFiles.h"
#include "ModelFormats.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkFieldData.h>
#include <vtkFloatArray.h>
#include <vtkIntArray.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkOutputWindow.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkPolyDataWriter.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <thread>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace modelcheck;
using selvane::ErrorCode;
namespace fs = std::filesystem;

namespace {

// A folder of its own, removed at the end of the tests.
const selvane::TempDir& Folder() {
  static const selvane::TempDir folder;
  return folder;
}

struct DamagedCase {
  const char* Name;
  std::string Bytes;
  ErrorCode Expected; // None: any refusal will do (random damage)
};

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string s(n, '\0');
  for (char& c : s) {
    c = static_cast<char>(random() & 0xff);
  }
  return s;
}

std::string Replace(std::string s, const std::string& what, const std::string& with) {
  std::size_t at = s.find(what);
  if (at == std::string::npos) {
    throw std::runtime_error("test fixture: '" + what + "' not found");
  }
  return s.replace(at, what.size(), with);
}

// The tetrahedron as BINARY 5.1 with offsets 0, about 2^63, about -2^63, 9, 12.
std::string OverflowingOffsetsBinary() {
  const std::string whole = TetraBinary51();
  Bytes offsets;
  for (std::int64_t v : {std::int64_t(0), std::int64_t(8463400594852282431),
                         std::int64_t(-9223371761976868800), std::int64_t(9), std::int64_t(12)}) {
    offsets.I64(v);
  }
  std::string bytes = whole;
  const std::size_t at = whole.find("OFFSETS vtktypeint64\n") + 21;
  return bytes.replace(at, offsets.Data.size(), offsets.Data);
}

std::vector<DamagedCase> DamagedCorpus() {
  using P = ErrorCode;
  const std::string head = Header("4.2");
  const std::string points = TetraPoints();
  std::vector<DamagedCase> c;
  // Not a legacy VTK file at all.
  c.push_back({"empty", "", P::NotLegacyVtk});
  c.push_back({"header_line_only", "# vtk DataFile Version 4.2\n", P::Truncated});
  c.push_back({"header_without_newline", "# vtk DataFile Version 4.2", P::Truncated});
  c.push_back({"header_no_geometry", head, P::NoGeometry});
  c.push_back({"header_points_no_cells", head + points, P::NoGeometry});
  c.push_back(
      {"stl_file", "solid cube\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n", P::NotLegacyVtk});
  c.push_back(
      {"ply_file", "ply\nformat ascii 1.0\nelement vertex 3\nend_header\n", P::NotLegacyVtk});
  c.push_back(
      {"xml_vtk_file", "<?xml version=\"1.0\"?>\n<VTKFile type=\"PolyData\">\n", P::NotLegacyVtk});
  c.push_back({"random_bytes", RandomBytes(4096, 1), P::NotLegacyVtk});
  c.push_back({"random_after_header", head + RandomBytes(4096, 2), P::None});
  c.push_back({"random_after_points", head + points + RandomBytes(4096, 3), P::None});
  c.push_back({"random_binary_after_points",
               Header("4.2", "BINARY") + "POINTS 4 float\n" + RandomBytes(4096, 4), P::None});
  c.push_back({"version_1_0", Replace(Tetra42(), "4.2", "1.0"), P::UnsupportedVersion});
  c.push_back({"version_5_2", Replace(Tetra51(), "5.1", "5.2"), P::UnsupportedVersion});
  c.push_back({"version_missing", Replace(Tetra42(), "Version 4.2", "Version x"), P::NotLegacyVtk});
  c.push_back({"neither_ascii_nor_binary", Replace(Tetra42(), "ASCII", "TEXT"), P::Malformed});
  // Other datasets.
  c.push_back(
      {"structured_points", Replace(Tetra42(), "POLYDATA", "STRUCTURED_POINTS"), P::NotPolyData});
  c.push_back(
      {"unstructured_grid",
       "# vtk DataFile Version 4.2\ngrid\nASCII\nDATASET UNSTRUCTURED_GRID\nPOINTS 3 float\n"
       "0 0 0 1 0 0 0 1 0\nCELLS 1 4\n3 0 1 2\nCELL_TYPES 1\n5\n",
       P::NotPolyData});
  c.push_back(
      {"no_dataset_line", head.substr(0, head.find("DATASET")) + "POINT_DATA 4\n", P::NotPolyData});
  // The kinds of damage that crash VTK 9.1's reader inside Update().
  c.push_back({"cells_end_early", Tetra42(points, "POLYGONS 4 16\n3 0 1 2\n3 0 1 3\n3 0 2 3\n"),
               P::Truncated});
  c.push_back({"cells_end_early_at_eof",
               Tetra42(points, "POLYGONS 4 16\n3 0 1 2\n3 0 1 3\n3 0 2 3\n", ""), P::Truncated});
  c.push_back({"cells_declare_more_data", Tetra42(points, Replace(TetraPolys4(), "4 16", "4 20")),
               P::Truncated});
  c.push_back({"cell_count_larger_than_data",
               Tetra42(points, Replace(TetraPolys4(), "4 16", "6 24"), ""), P::Truncated});
  c.push_back({"non_numeric_point_id",
               Tetra42(points, Replace(TetraPolys4(), "3 0 1 3", "3 0 x 3")), P::Malformed});
  c.push_back({"huge_point_id",
               Tetra42(points, Replace(TetraPolys4(), "3 0 1 3", "3 0 99999999999 3")),
               P::IdOutOfRange});
  c.push_back({"body_5_1_under_header_4_2", Tetra42(points, TetraPolys5()), P::Malformed});
  c.push_back({"body_4_2_under_header_5_1", Tetra51(points, TetraPolys4()), P::Malformed});
  c.push_back({"binary_negative_points", TetraBinary42(0.0f, 3, -4), P::Malformed});
  c.push_back({"field_unsupported_type",
               head + "FIELD FieldData 1\nfa 1 1 foo\n1\n" + points + TetraPolys4(),
               P::Unsupported});
  c.push_back({"field_string_type",
               head + "FIELD FieldData 1\nfa 1 1 string\nabc\n" + points + TetraPolys4(),
               P::Unsupported});
  c.push_back({"field_variant_type",
               Tetra42(points, TetraPolys4(), "CELL_DATA 4\nFIELD f 1\nfa 1 4 variant\n0 1 2 3\n"),
               P::Unsupported});
  // IDs, cells and coordinates.
  c.push_back({"id_out_of_range", Tetra42(points, Replace(TetraPolys4(), "3 1 2 3", "3 1 2 4")),
               P::IdOutOfRange});
  c.push_back({"id_negative", Tetra42(points, Replace(TetraPolys4(), "3 1 2 3", "3 1 2 -1")),
               P::IdOutOfRange});
  c.push_back({"id_out_of_range_5_1", Tetra51(points, Replace(TetraPolys5(), "1 2 3\n", "1 2 4\n")),
               P::IdOutOfRange});
  c.push_back({"id_out_of_range_binary", TetraBinary42(0.0f, 4), P::IdOutOfRange});
  c.push_back({"id_negative_binary_5_1", TetraBinary51(0, -1), P::IdOutOfRange});
  c.push_back({"polygon_of_two_ids",
               Tetra42(points, "POLYGONS 4 15\n3 0 1 2\n2 0 1\n3 0 2 3\n3 1 2 3\n"), P::BadCell});
  c.push_back({"polygon_of_two_ids_5_1",
               Tetra51(points, Replace(TetraPolys5(), "0 3 6 9 12\n", "0 3 5 9 12\n")),
               P::BadCell});
  c.push_back({"line_of_one_id", Tetra42(points, "LINES 1 2\n1 0\n", ""), P::BadCell});
  c.push_back(
      {"polygon_of_zero_ids", Tetra42(points, "POLYGONS 2 4\n0\n3 0 1 2\n", ""), P::BadCell});
  c.push_back({"cell_sizes_exceed_list", Tetra42(points, Replace(TetraPolys4(), "4 16", "4 15")),
               P::BadCell});
  c.push_back({"offsets_not_from_zero", TetraBinary51(1), P::BadCell});
  c.push_back({"offsets_decrease",
               Tetra51(points, Replace(TetraPolys5(), "0 3 6 9 12\n", "0 6 3 9 12\n")),
               P::BadCell});
  c.push_back({"offsets_end_short",
               Tetra51(points, Replace(TetraPolys5(), "0 3 6 9 12\n", "0 3 6 9 11\n")),
               P::BadCell});
  c.push_back({"no_cells_declared", Tetra42(points, "POLYGONS 0 0\n", ""), P::BadCell});
  // Overflow: offsets near 2^63 whose differences once wrapped around into valid cell sizes,
  // and counts whose products exceed 64 bits.
  c.push_back({"offsets_near_2_63",
               Tetra51(points, Replace(TetraPolys5(), "0 3 6 9 12\n",
                                       "0 8463400594852282431 -9223371761976868800 9 12\n")),
               P::BadCell});
  c.push_back({"offsets_near_2_63_binary", OverflowingOffsetsBinary(), P::BadCell});
  c.push_back(
      {"offset_largest_int64",
       Tetra51(points, Replace(TetraPolys5(), "0 3 6 9 12\n", "0 9223372036854775807 6 9 12\n")),
       P::BadCell});
  c.push_back({"field_components_times_tuples",
               Tetra42(points, TetraPolys4(), "FIELD f 1\nbig 2147483647 2147483647 float\n0\n"),
               P::TooLarge});
  c.push_back({"cells_times_ids_4_x", Tetra42(points, "POLYGONS 2147483647 2147483647\n3 0 1 2\n"),
               P::BadCell});
  c.push_back({"lookup_table_of_2_31_entries",
               Tetra42(points, TetraPolys4(),
                       TetraCellScalars() + "LOOKUP_TABLE default 2147483647\n0 0 0 1\n"),
               P::TooLarge});
  c.push_back(
      {"coordinate_nan", Tetra42(Replace(points, "0 0 1\n", "0 nan 1\n")), P::BadCoordinate});
  c.push_back(
      {"coordinate_inf", Tetra42(Replace(points, "0 0 1\n", "0 -inf 1\n")), P::BadCoordinate});
  c.push_back(
      {"coordinate_1e39", Tetra42(Replace(points, "0 0 1\n", "0 1e39 1\n")), P::BadCoordinate});
  c.push_back({"coordinate_1e39_double",
               Tetra42(Replace(Replace(points, "float", "double"), "0 0 1\n", "0 1e39 1\n")),
               P::BadCoordinate});
  c.push_back({"coordinate_nan_binary", TetraBinary42(std::nanf("")), P::BadCoordinate});
  c.push_back({"coordinate_inf_binary", TetraBinary42(INFINITY), P::BadCoordinate});
  c.push_back({"coordinate_not_a_number", Tetra42(Replace(points, "0 0 1\n", "0 0x1p3 1\n")),
               P::Malformed});
  c.push_back({"scalars_nan",
               Tetra42(points, TetraPolys4(),
                       "CELL_DATA 4\nSCALARS cs float 1\nLOOKUP_TABLE default\n0 1 nan 3\n"),
               P::BadCoordinate});
  // Declared counts.
  c.push_back(
      {"points_more_than_data", Tetra42(Replace(points, "POINTS 4", "POINTS 6")), P::Truncated});
  c.push_back({"points_huge_in_tiny_file",
               Tetra42(Replace(points, "POINTS 4", "POINTS 1000000000")), P::TooLarge});
  c.push_back({"points_beyond_32_bits", Tetra42(Replace(points, "POINTS 4", "POINTS 99999999999")),
               P::TooLarge});
  c.push_back({"cells_huge_in_tiny_file",
               Tetra42(points, Replace(TetraPolys4(), "4 16", "100000000 400000000")),
               P::TooLarge});
  c.push_back({"connectivity_huge_5_1",
               Tetra51(points, Replace(TetraPolys5(), "5 12", "5 1200000000")), P::TooLarge});
  c.push_back({"lookup_table_huge",
               Tetra42(points, TetraPolys4(), "CELL_DATA 4\nLOOKUP_TABLE t 500000000\n0 0 0 1\n"),
               P::TooLarge});
  c.push_back({"field_huge",
               head + "FIELD FieldData 1\nfa 3 2000000000 float\n1 2 3\n" + points + TetraPolys4(),
               P::TooLarge});
  c.push_back({"binary_points_huge", Replace(TetraBinary42(), "POINTS 4", "POINTS 900000000"),
               P::TooLarge});
  c.push_back(
      {"cell_data_count_mismatch",
       Tetra42(points, TetraPolys4(), Replace(TetraCellScalars(), "CELL_DATA 4", "CELL_DATA 5")),
       P::Malformed});
  c.push_back({"point_data_count_mismatch",
               Tetra42(points, TetraPolys4(), "POINT_DATA 3\nNORMALS n float\n0 0 1 0 0 1 0 0 1\n"),
               P::Malformed});
  // Structure.
  c.push_back(
      {"two_polygons_blocks", Tetra42(points, TetraPolys4() + TetraPolys4(), ""), P::Malformed});
  c.push_back({"two_points_blocks", Tetra42(points + points), P::Malformed});
  c.push_back({"cells_before_points", head + TetraPolys4() + points, P::Malformed});
  c.push_back(
      {"unknown_section", Tetra42(points, TetraPolys4(), "CELLS 1 4\n3 0 1 2\n"), P::Unsupported});
  c.push_back({"unsupported_attribute",
               Tetra42(points, TetraPolys4(), "POINT_DATA 4\nGLOBAL_IDS g vtkIdType\n0 1 2 3\n"),
               P::Unsupported});
  c.push_back({"scalars_without_lookup_table",
               Tetra42(points, TetraPolys4(), "CELL_DATA 4\nSCALARS cs float\n0 1 2 3\n"),
               P::Malformed});
  c.push_back({"scalars_not_integer",
               Tetra42(points, TetraPolys4(), Replace(TetraCellScalars(), "0 1 2 3", "0 1 2.5 3")),
               P::Malformed});
  c.push_back({"lookup_table_colour_above_one",
               Tetra42(points, TetraPolys4(), TetraCellScalars() + "LOOKUP_TABLE t 1\n0 0 2 1\n"),
               P::BadCoordinate});
  c.push_back(
      {"title_too_long", Replace(Tetra42(), "tetrahedron", std::string(300, 't')), P::Malformed});
  c.push_back({"keyword_too_long", Tetra42(points, TetraPolys4(), std::string(300, 'K') + "\n"),
               P::Malformed});
  c.push_back({"binary_long_type", Replace(TetraBinary42(), "SCALARS cs int", "SCALARS cs long"),
               P::Unsupported});
  c.push_back({"binary_text_after_header_line",
               Replace(TetraBinary42(), "POINTS 4 float\n", "POINTS 4 float junk\n"),
               P::Malformed});
  c.push_back({"metadata_unknown_key",
               Tetra42(points +
                       "\nMETADATA\nINFORMATION 1\nNAME FOO LOCATION vtkDataArray\nDATA 2 0 1\n\n"),
               P::Unsupported});
  c.push_back(
      {"metadata_huge_data",
       Tetra42(points + "\nMETADATA\nINFORMATION 1\nNAME L2_NORM_RANGE LOCATION vtkDataArray\n"
                        "DATA 1000000000 0 1\n\n"),
       P::Unsupported});
  // Truncated binary files: cut inside the points, the cells and the scalars.
  const std::string bin = TetraBinary42();
  c.push_back({"binary_cut_in_points", bin.substr(0, bin.find("POINTS") + 30), P::Truncated});
  c.push_back({"binary_cut_in_cells", bin.substr(0, bin.find("POLYGONS") + 40), P::Truncated});
  c.push_back({"binary_cut_in_scalars", bin.substr(0, bin.size() - 6), P::Truncated});
  const std::string bin51 = TetraBinary51();
  c.push_back(
      {"binary_5_1_cut_in_offsets", bin51.substr(0, bin51.find("OFFSETS") + 40), P::Truncated});
  c.push_back({"binary_5_1_cut_in_lookup_table", bin51.substr(0, bin51.size() - 5), P::Truncated});
  return c;
}

class DamagedModel : public ::testing::TestWithParam<DamagedCase> {};

std::string CaseName(const ::testing::TestParamInfo<DamagedCase>& info) {
  return info.param.Name;
}

TEST_P(DamagedModel, IsRefusedBeforeVtkWithAReasonOfTheRightKind) {
  const DamagedCase& damaged = GetParam();
  const std::string path = Folder().Write(std::string(damaged.Name) + ".vtk", damaged.Bytes);

  vtkNew<vtkPolyDataReader> reader;
  const selvane::Result result = selvane::ReadModelFile(path, reader);

  EXPECT_FALSE(result.Ok());
  if (damaged.Expected != ErrorCode::None) {
    EXPECT_EQ(selvane::ErrorCodeName(damaged.Expected),
              std::string(selvane::ErrorCodeName(result.Code)))
        << "reason: " << result.Reason;
  }
  EXPECT_FALSE(result.Reason.empty());
  EXPECT_EQ(std::string::npos, result.Reason.find('\n')) << result.Reason;
  EXPECT_EQ(std::string::npos, result.Reason.find(path)) << result.Reason;
  // The scanner refused the file: VTK's reader was never given it.
  EXPECT_EQ(nullptr, reader->GetFileName());
  EXPECT_EQ(nullptr, reader->GetInputArray());
  EXPECT_EQ(result.Reason, selvane::ReadModelFile(path, vtkNew<vtkPolyDataReader>()).Reason);
  // Open Model's way in, which reads plain BINARY files without VTK's reader, says the same
  // and leaves no half-read model.
  vtkNew<vtkPolyData> model;
  const selvane::Result opened = selvane::ReadModel(path, model);
  EXPECT_EQ(result.Reason, opened.Reason);
  EXPECT_EQ(result.Code, opened.Code);
  EXPECT_EQ(0, model->GetNumberOfPoints());
}

INSTANTIATE_TEST_SUITE_P(Corpus, DamagedModel, ::testing::ValuesIn(DamagedCorpus()), CaseName);

// Every prefix of valid files (ASCII and BINARY, both layouts) is refused or, where the cut
// falls after the last block, opened whole; nothing reaches VTK half-written.
TEST(DamagedModelPrefixes, EveryTruncationIsRefusedOrComplete) {
  for (const std::string& whole : {Tetra42(), Tetra51(), TetraBinary42(), TetraBinary51()}) {
    for (std::size_t n = 0; n < whole.size(); ++n) {
      const selvane::LegacyVtkScanResult scan = selvane::ScanLegacyVtkBuffer(whole.data(), n);
      if (scan.Ok()) {
        // Only cuts inside the trailing cell data or its last line can leave a valid model,
        // and then without the scalars or with all of them.
        EXPECT_EQ(4, scan.NumberOfPoints);
        EXPECT_EQ(4, scan.NumberOfPolys);
        EXPECT_GE(n + 1, whole.find("CELL_DATA")) << "cut at " << n;
      }
    }
  }
}

// ---- files that are not regular files, and files that change -------------------------------

TEST(NonRegularFiles, AreRefusedWithWhatTheyAreWithoutBlocking) {
  const std::string fifo = Folder().File("pipe.vtk");
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  const std::string missing = Folder().File("no-such-model.vtk");
  const struct {
    std::string Path;
    const char* Expected;
  } cases[] = {{missing, "cannot open the file"},
               {Folder().Path(), "a folder"},
               {fifo, "a pipe (FIFO)"},
               {"/dev/zero", "a character device"}};
  for (const auto& c : cases) {
    // A FIFO without a writer must not make the open wait: run it aside and give it a moment.
    auto read = std::async(std::launch::async, [&] {
      vtkNew<vtkPolyDataReader> reader;
      selvane::Result result = selvane::ReadModelFile(c.Path, reader);
      EXPECT_EQ(nullptr, reader->GetFileName());
      EXPECT_EQ(nullptr, reader->GetInputArray());
      return result;
    });
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << c.Path << ": the open blocked";
      std::ofstream unblock(c.Path); // lets the waiting open go on
      read.wait();
      continue;
    }
    const selvane::Result result = read.get();
    EXPECT_EQ(ErrorCode::CannotOpen, result.Code) << c.Path;
    EXPECT_NE(std::string::npos, result.Reason.find(c.Expected)) << result.Reason;
  }
}

std::size_t OpenDescriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++n;
  }
  return n;
}

// VTK's reader reads the checked bytes from a sealed memory file and never the user's file: a
// file rewritten after the check (here with a damaged model, between the open and a second run
// of the reader) cannot reach it; the copy can be neither written nor resized, and it lives as
// long as the reader and no longer.
TEST(ChangingFiles, VtkReadsTheBytesThatWereChecked) {
  const std::string path = Folder().Write("changing.vtk", "\xEF\xBB\xBF" + Tetra42());
  auto reader = vtkSmartPointer<vtkPolyDataReader>::New();
  ASSERT_EQ("", selvane::ReadModelFile(path, reader).Reason);
  ASSERT_NE(nullptr, reader->GetFileName());
  const std::string copy = reader->GetFileName();
  ASSERT_EQ(0u, copy.rfind("/proc/self/fd/", 0)) << copy;
  const int fd = std::atoi(copy.c_str() + 14);
  const int seals = ::fcntl(fd, F_GET_SEALS);
  EXPECT_EQ(F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL, seals);
  EXPECT_EQ(-1, ::write(fd, "x", 1));
  EXPECT_EQ(-1, ::ftruncate(fd, 0));
  {
    std::ifstream in(copy, std::ios::binary);
    EXPECT_EQ(Tetra42(), std::string(std::istreambuf_iterator<char>(in), {})); // without the mark
  }

  Folder().Write("changing.vtk", Header("4.2") + TetraPoints() + "POLYGONS 1 4\n3 0 1 999999\n");
  reader->Modified();
  reader->Update();
  EXPECT_EQ(4, reader->GetOutput()->GetNumberOfPolys());
  EXPECT_EQ(4, reader->GetOutput()->GetNumberOfPoints());

  // Reading another file with the same reader lets the first copy go, and so does the reader's
  // end.
  const std::string other = Folder().Write("other.vtk", Tetra42());
  ASSERT_EQ("", selvane::ReadModelFile(other, reader).Reason);
  const std::size_t open = OpenDescriptors();
  reader = nullptr;
  EXPECT_EQ(open - 1, OpenDescriptors());
  EXPECT_EQ(-1, ::fcntl(fd, F_GET_SEALS));
}

// A file size limit applies to memory files too (and going past it raises SIGXFSZ, which ends
// the program): under a limit smaller than the file, the checked bytes reach VTK from memory.
TEST(ChangingFiles, UnderAFileSizeLimitTheCheckedBytesReachVtkFromMemory) {
  const std::string path = Folder().Write("limited.vtk", Tetra42());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{16, 16};
    vtkNew<vtkPolyDataReader> reader;
    const bool ok = ::setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                    selvane::ReadModelFile(path, reader).Ok() && reader->GetFileName() == nullptr &&
                    reader->GetInputArray() != nullptr &&
                    reader->GetOutput()->GetNumberOfPolys() == 4;
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(child, ::waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(0, WEXITSTATUS(status));
}

// A file rewritten in place over and over while it is opened: a valid model, then the same
// model with a lookup table VTK reads without complaint but the scanner refuses (a colour
// component of 7.5). Every open either gives the valid model or refuses the file; were VTK to
// read the file by name after the check, the unchecked table would slip through.
TEST(ChangingFiles, ARewriteDuringTheOpenNeverReachesVtk) {
  const std::string damaged =
      Tetra42(TetraPoints(), TetraPolys4(),
              TetraCellScalars() + "LOOKUP_TABLE default 2\n7.5 0 0 1\n0 0 0 1\n");
  // Blank lines at the end make both the same length, so the file is never empty or short.
  std::string valid = Tetra42();
  valid.append(damaged.size() - valid.size(), '\n');
  ASSERT_EQ(ErrorCode::BadCoordinate,
            selvane::ScanLegacyVtkBuffer(damaged.data(), damaged.size()).Problem);
  {
    vtkNew<vtkPolyDataReader> bare;
    bare->ReadFromInputStringOn();
    bare->SetInputString(damaged);
    bare->Update();
    ASSERT_NE(nullptr, bare->GetOutput()->GetCellData()->GetScalars()->GetLookupTable());
  }
  const std::string path = Folder().Write("rewritten.vtk", valid);
  std::atomic<bool> done{false};
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::thread writer([&] {
    for (bool flip = false; !done; flip = !flip) {
      const std::string& bytes = flip ? damaged : valid; // the same file, new content
      if (::pwrite(fd, bytes.data(), bytes.size(), 0) < 0) {
        break;
      }
    }
  });
  int unchecked = 0;
  for (int i = 0; i < 1000 && unchecked == 0; ++i) {
    vtkNew<vtkPolyDataReader> reader;
    const selvane::Result result = selvane::ReadModelFile(path, reader);
    vtkPolyData* model = reader->GetOutput();
    if (result.Ok()) {
      unchecked += model->GetNumberOfPolys() != 4 ||
                   model->GetCellData()->GetScalars()->GetLookupTable() != nullptr;
    } else {
      unchecked += model->GetNumberOfPoints() != 0;
    }
  }
  done = true;
  writer.join();
  EXPECT_EQ(0, unchecked);
  ::close(fd);
}

// ---- valid files ------------------------------------------------------------------------

struct ValidCase {
  const char* Name;
  std::string Bytes;
  vtkIdType Points;
  vtkIdType Polys;
  vtkIdType OtherCells; // verts + lines + strips
  bool CellScalars;
};

std::vector<ValidCase> ValidCorpus() {
  const std::string points = TetraPoints();
  std::vector<ValidCase> c;
  c.push_back({"version_2_0", Replace(Tetra42(), "4.2", "2.0"), 4, 4, 0, true});
  c.push_back({"version_3_0", Replace(Tetra42(), "4.2", "3.0"), 4, 4, 0, true});
  c.push_back({"version_4_2", Tetra42(), 4, 4, 0, true});
  c.push_back({"version_5_1", Tetra51(), 4, 4, 0, true});
  c.push_back({"no_cell_data", Tetra42(points, TetraPolys4(), ""), 4, 4, 0, false});
  c.push_back({"binary_4_2", TetraBinary42(), 4, 4, 0, true});
  c.push_back({"binary_5_1_double_points_lookup_table", TetraBinary51(), 4, 4, 0, true});
  c.push_back({"crlf_4_2", ToCrlf(Tetra42()), 4, 4, 0, true});
  c.push_back({"crlf_5_1", ToCrlf(Tetra51()), 4, 4, 0, true});
  // A UTF-8 byte-order mark before the header, as some editors write it.
  c.push_back({"utf8_bom_4_2", "\xEF\xBB\xBF" + Tetra42(), 4, 4, 0, true});
  c.push_back({"utf8_bom_crlf_5_1", "\xEF\xBB\xBF" + ToCrlf(Tetra51()), 4, 4, 0, true});
  c.push_back({"utf8_bom_binary_5_1", "\xEF\xBB\xBF" + TetraBinary51(), 4, 4, 0, true});
  c.push_back({"metadata_information_0",
               Tetra42(points, TetraPolys4(), TetraCellScalars() + "METADATA\nINFORMATION 0\n\n"),
               4, 4, 0, true});
  c.push_back(
      {"lower_case_keywords",
       "# vtk DataFile Version 4.2\nt\nascii\ndataset polydata\n"
       "points 4 float\n0 0 0 1 0 0 0 1 0 0 0 1\npolygons 4 16\n3 0 1 2 3 0 1 3 3 0 2 3 3 1 2 3\n",
       4, 4, 0, false});
  c.push_back({"scalars_with_lookup_table_block",
               Tetra42(points, TetraPolys4(),
                       TetraCellScalars() + "LOOKUP_TABLE default 4\n0.8 0.8 0.8 1\n0.7 0.9 0.9 1\n"
                                            "0.8 0.8 0.8 1\n1 0.7 0.75 1\n"),
               4, 4, 0, true});
  c.push_back({"point_and_cell_data",
               Tetra42(points, TetraPolys4(),
                       "POINT_DATA 4\nNORMALS n float\n0 0 1 0 0 1 0 0 1 0 0 1\n"
                       "TEXTURE_COORDINATES tc 2 float\n0 0 1 0 0 1 1 1\n"
                       "COLOR_SCALARS rgb 3\n1 0 0 0 1 0 0 0 1 0.5 0.5 0.5\n"
                       "FIELD extra 1\nweights 1 4 double\n1 2 3 4\n" +
                           TetraCellScalars() + "VECTORS v float\n1 0 0 0 1 0 0 0 1 1 1 1\n"),
               4, 4, 0, true});
  c.push_back({"all_cell_kinds",
               Header("4.2") + points +
                   "VERTICES 2 4\n1 0\n1 3\nLINES 1 3\n2 0 1\nPOLYGONS 1 5\n4 0 1 2 3\n"
                   "TRIANGLE_STRIPS 1 5\n4 0 1 2 3\nCELL_DATA 5\nSCALARS s unsigned_char\n"
                   "LOOKUP_TABLE default\n0 1 2 3 0\n",
               4, 1, 4, true});
  c.push_back(
      {"metadata_after_points",
       Tetra42(points +
               "\nMETADATA\nINFORMATION 2\nNAME L2_NORM_RANGE LOCATION vtkDataArray\nDATA 2 0 1\n"
               "NAME L2_NORM_FINITE_RANGE LOCATION vtkDataArray\nDATA 2 0 1\n\n"),
       4, 4, 0, true});
  c.push_back({"field_before_points",
               Header("4.2") +
                   "FIELD FieldData 2\nfi 1 1 int\n7\n"
                   "NULL_ARRAY\n" +
                   points + TetraPolys4(),
               4, 4, 0, false});
  return c;
}

// ---- reading in pieces ----------------------------------------------------------------------

// Files whose words, lines and blank runs are longer than anything the scanner keeps at once.
std::vector<std::string> LongPieceCases() {
  const std::string head = Header("4.2");
  return {
      head + "POINTS 4 float\n" + std::string(10000, '7') + " 0 0 1 0 0 0 1 0 0 0 1\n",
      head + "POINTS 4 float\n" + std::string(5000, 'x') + "\n",
      head + std::string(20000, 'Z') + "\n",
      head + "POINTS 4" + std::string(9000, ' ') + "float\n0 0 0 1 0 0 0 1 0 0 0 1\n" +
          TetraPolys4(),
      head + TetraPoints() + std::string(5000, ' ') + "METADATA\n\n" + TetraPolys4(),
      head + TetraPoints() + "METADATA\n" + std::string(6000, 'c') + "\n\n" + TetraPolys4(),
      Tetra42(TetraPoints() + "METADATA\nCOMPONENT_NAMES\na\nb\nc\n\n"),
      "# vtk DataFile Version 4.2" + std::string(8000, ' ') + "\n",
  };
}

// Scanning a file in pieces of any size finds exactly what scanning it in memory finds: the
// same verdict and the same reason at the same place, whatever falls across a piece boundary.
TEST(ScanInPieces, AgreesWithTheScanInMemoryForEveryPieceSize) {
  std::vector<std::string> files;
  for (const DamagedCase& c : DamagedCorpus()) {
    files.push_back(c.Bytes);
  }
  for (const ValidCase& c : ValidCorpus()) {
    files.push_back(c.Bytes);
  }
  for (const std::string& c : LongPieceCases()) {
    files.push_back(c);
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& bytes = files[i];
    const std::string path = Folder().Write("pieces.vtk", bytes);
    const selvane::LegacyVtkScanResult memory =
        selvane::ScanLegacyVtkBuffer(bytes.data(), bytes.size());
    for (std::size_t piece : {1, 2, 3, 7, 64, 4097, 1 << 20}) {
      const selvane::LegacyVtkScanResult file = selvane::ScanLegacyVtkFile(path, piece);
      EXPECT_EQ(memory.Problem, file.Problem) << "file " << i << ", pieces of " << piece;
      EXPECT_EQ(memory.Reason, file.Reason) << "file " << i << ", pieces of " << piece;
      EXPECT_EQ(memory.NumberOfPolys, file.NumberOfPolys) << "file " << i;
    }
  }
}

// Long words and lines are refused with their place, never read past or cut into numbers.
TEST(ScanInPieces, LongWordsAndLinesAreRefusedWhereTheyStand) {
  const std::vector<std::string> cases = LongPieceCases();
  const auto scan = [](const std::string& bytes) {
    return selvane::ScanLegacyVtkBuffer(bytes.data(), bytes.size());
  };
  EXPECT_EQ(ErrorCode::Malformed, scan(cases[0]).Problem) << scan(cases[0]).Reason;
  EXPECT_EQ("line 6: '7777777777777777777777777777777777777777...' is not a number (in POINTS)",
            scan(cases[0]).Reason);
  EXPECT_EQ(ErrorCode::Malformed, scan(cases[1]).Problem);
  EXPECT_EQ(ErrorCode::Malformed, scan(cases[2]).Problem);
  EXPECT_TRUE(scan(cases[3]).Ok()) << scan(cases[3]).Reason;
  EXPECT_EQ(ErrorCode::Unsupported, scan(cases[4]).Problem) << scan(cases[4]).Reason;
  EXPECT_EQ("line 9: a line is longer than 4096 characters (in METADATA of POINTS)",
            scan(cases[5]).Reason);
  EXPECT_TRUE(scan(cases[6]).Ok()) << scan(cases[6]).Reason;
  EXPECT_EQ(ErrorCode::Malformed, scan(cases[7]).Problem);
}

// A file cut short while it is being scanned (another program rewriting it) is refused with a
// reason; it never crashes the program, as a memory-mapped read would with SIGBUS.
TEST(ScanInPieces, AFileThatShrinksWhileScannedIsRefused) {
  std::string big = Header("4.2", "BINARY") + "POINTS 2000000 float\n";
  big.append(24000000, '\0');
  big += "\n";
  const selvane::LegacyVtkScanResult uncut =
      selvane::ScanLegacyVtkFile(Folder().Write("uncut.vtk", big), 4096);
  ASSERT_FALSE(uncut.Ok());

  // On a busy machine the cut may come only after the scan has finished: that scan is the
  // uncut file's, and the cut is tried again.
  bool cutWhileScanned = false;
  for (int attempt = 0; attempt < 20 && !cutWhileScanned; ++attempt) {
    const std::string path = Folder().Write("shrinking.vtk", big);
    std::atomic<bool> done{false};
    std::thread cutter([&] {
      // Cut the file once the scan has it open (its descriptor shows in /proc/self/fd).
      while (!done) {
        for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
          std::error_code error;
          if (fs::read_symlink(entry.path(), error) == fs::path(path)) {
            fs::resize_file(path, 4096);
            return;
          }
        }
      }
    });
    const selvane::LegacyVtkScanResult scan = selvane::ScanLegacyVtkFile(path, 4096);
    done = true;
    cutter.join();
    EXPECT_FALSE(scan.Ok());
    // Cut before the scan measured the file, the data is simply too short.
    cutWhileScanned = scan.Problem == ErrorCode::Unreadable || scan.Problem == ErrorCode::Truncated;
    if (scan.Problem == ErrorCode::Unreadable) {
      EXPECT_EQ("the file became shorter while it was read", scan.Reason);
    } else if (!cutWhileScanned) {
      EXPECT_EQ(uncut.Problem, scan.Problem) << scan.Reason;
      EXPECT_EQ(uncut.Reason, scan.Reason);
    }
  }
  EXPECT_TRUE(cutWhileScanned);
}

class ValidModel : public ::testing::TestWithParam<ValidCase> {};

std::string ValidName(const ::testing::TestParamInfo<ValidCase>& info) {
  return info.param.Name;
}

void ExpectOpens(const std::string& path, vtkIdType points, vtkIdType polys, vtkIdType others,
                 bool cellScalars) {
  vtkNew<vtkPolyDataReader> reader;
  const selvane::Result result = selvane::ReadModelFile(path, reader);
  ASSERT_TRUE(result.Ok()) << selvane::ErrorCodeName(result.Code) << ": " << result.Reason;
  vtkPolyData* model = reader->GetOutput();
  EXPECT_EQ(points, model->GetNumberOfPoints());
  EXPECT_EQ(polys, model->GetNumberOfPolys());
  EXPECT_EQ(polys + others, model->GetNumberOfCells());
  EXPECT_EQ(cellScalars, model->GetCellData()->GetScalars() != nullptr);
}

TEST_P(ValidModel, OpensWithTheRightCounts) {
  const ValidCase& valid = GetParam();
  const std::string path = Folder().Write(std::string(valid.Name) + ".vtk", valid.Bytes);
  ExpectOpens(path, valid.Points, valid.Polys, valid.OtherCells, valid.CellScalars);
}

INSTANTIATE_TEST_SUITE_P(Corpus, ValidModel, ::testing::ValuesIn(ValidCorpus()), ValidName);

TEST(ValidModelValues, CellScalarsAndCoordinatesAreThoseOfTheFile) {
  const std::string path = Folder().Write("values.vtk", TetraBinary51());
  vtkNew<vtkPolyDataReader> reader;
  ASSERT_EQ("", selvane::ReadModelFile(path, reader).Reason);
  double range[2];
  reader->GetOutput()->GetCellData()->GetScalars()->GetRange(range, 0);
  EXPECT_EQ(0.0, range[0]);
  EXPECT_EQ(3.0, range[1]);
  double p[3];
  reader->GetOutput()->GetPoint(3, p);
  EXPECT_EQ(1.0, p[2]);
}

// A model built in memory and written by VTK 9's writer in every version and file type.
vtkSmartPointer<vtkPolyData> WriterModel() {
  auto model = vtkSmartPointer<vtkPolyData>::New();
  vtkNew<vtkPoints> points;
  vtkNew<vtkCellArray> polys;
  const int n = 12;
  for (int j = 0; j <= n; ++j) {
    for (int i = 0; i <= n; ++i) {
      points->InsertNextPoint(i, j, 0.1 * ((i * j) % 5));
    }
  }
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      vtkIdType a = j * (n + 1) + i;
      vtkIdType tri1[3] = {a, a + 1, a + n + 2};
      vtkIdType quad[4] = {a, a + n + 2, a + n + 1, a};
      polys->InsertNextCell(3, tri1);
      polys->InsertNextCell(3, quad); // a second triangle a, a+n+2, a+n+1
    }
  }
  model->SetPoints(points);
  model->SetPolys(polys);
  vtkNew<vtkFloatArray> scalars;
  scalars->SetName("region");
  for (vtkIdType c = 0; c < polys->GetNumberOfCells(); ++c) {
    scalars->InsertNextValue(static_cast<float>(c % 4));
  }
  vtkNew<vtkLookupTable> table;
  table->SetNumberOfTableValues(4);
  table->Build();
  scalars->SetLookupTable(table);
  model->GetCellData()->SetScalars(scalars);
  vtkNew<vtkFloatArray> normals;
  normals->SetName("Normals");
  normals->SetNumberOfComponents(3);
  normals->SetComponentName(0, "nx");
  normals->SetComponentName(1, "n y");
  normals->SetComponentName(2, "nz");
  for (vtkIdType p = 0; p < points->GetNumberOfPoints(); ++p) {
    normals->InsertNextTuple3(0, 0, 1);
  }
  model->GetPointData()->SetNormals(normals);
  vtkNew<vtkIntArray> tag;
  tag->SetName("tag");
  tag->InsertNextValue(7);
  model->GetFieldData()->AddArray(tag);
  // Ranges computed before writing make the writer emit METADATA blocks.
  double range[2];
  points->GetData()->GetRange(range, -1);
  normals->GetRange(range, -1);
  return model;
}

struct WriterCase {
  int Version;
  bool Binary;
};

class WrittenByVtk : public ::testing::TestWithParam<WriterCase> {};

TEST_P(WrittenByVtk, OpensWithTheRightCounts) {
  const WriterCase w = GetParam();
  vtkSmartPointer<vtkPolyData> model = WriterModel();
  const std::string path = Folder().File("written-" + std::to_string(w.Version) +
                                         (w.Binary ? "-binary" : "-ascii") + ".vtk");
  vtkNew<vtkPolyDataWriter> writer;
  writer->SetInputData(model);
  writer->SetFileVersion(w.Version);
  writer->SetFileName(path.c_str());
  writer->SetLookupTableName("regions");
  if (w.Binary) {
    writer->SetFileTypeToBinary();
  }
  ASSERT_EQ(1, writer->Write());
  ExpectOpens(path, model->GetNumberOfPoints(), model->GetNumberOfPolys(), 0, true);
  // Windows line ends on the ASCII ones too.
  if (!w.Binary) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ExpectOpens(Folder().Write("written-crlf-" + std::to_string(w.Version) + ".vtk", ToCrlf(text)),
                model->GetNumberOfPoints(), model->GetNumberOfPolys(), 0, true);
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, WrittenByVtk,
                         ::testing::Values(WriterCase{42, false}, WriterCase{42, true},
                                           WriterCase{51, false}, WriterCase{51, true}),
                         [](const ::testing::TestParamInfo<WriterCase>& info) {
                           return "v" + std::to_string(info.param.Version) +
                                  (info.param.Binary ? "_binary" : "_ascii");
                         });

// ---- VTK's messages and global state ----------------------------------------------------

// A reader that reads the file and then reports a message the way VTK's readers do: a warning
// through the reader (observers), a generic warning (output window only), or an error.
class ComplainingReader : public vtkPolyDataReader {
public:
  static ComplainingReader* New();
  vtkTypeMacro(ComplainingReader, vtkPolyDataReader);
  int Mode = 0;

protected:
  int ReadMeshSimple(const std::string& name, vtkDataObject* output) override {
    const int result = this->Superclass::ReadMeshSimple(name, output);
    if (this->Mode == 0) {
      vtkWarningMacro("Reading truncated line");
    } else if (this->Mode == 1) {
      vtkGenericWarningMacro("Generic trouble with the file");
    } else {
      vtkErrorMacro("Error reading ascii data!");
    }
    return result;
  }
};
vtkStandardNewMacro(ComplainingReader);

TEST(ModelFileReaderCapture, AnyMessageFromVtkRefusesTheModel) {
  const std::string path = Folder().Write("complained-about.vtk", Tetra42());
  const char* expected[3] = {"Reading truncated line", "Generic trouble with the file",
                             "Error reading ascii data!"};
  for (int mode = 0; mode < 3; ++mode) {
    vtkNew<ComplainingReader> reader;
    reader->Mode = mode;
    const selvane::Result result = selvane::ReadModelFile(path, reader);
    EXPECT_EQ(ErrorCode::ReaderReported, result.Code) << result.Reason;
    EXPECT_NE(std::string::npos, result.Reason.find(expected[mode])) << result.Reason;
    EXPECT_EQ(std::string::npos, result.Reason.find(path)) << result.Reason;
    EXPECT_EQ(std::string::npos, result.Reason.find('\n')) << result.Reason;
    EXPECT_EQ(0, reader->GetOutput()->GetNumberOfPoints()) << "a half-read model was kept";
  }
}

TEST(ModelFileReaderCapture, RestoresTheOutputWindowAndWarningDisplay) {
  vtkOutputWindow* before = vtkOutputWindow::GetInstance();
  const int display = vtkObject::GetGlobalWarningDisplay();
  vtkObject::GlobalWarningDisplayOff();
  const std::string path = Folder().Write("capture.vtk", Tetra42());
  vtkNew<vtkPolyDataReader> reader;
  EXPECT_EQ("", selvane::ReadModelFile(path, reader).Reason);
  EXPECT_EQ(before, vtkOutputWindow::GetInstance());
  EXPECT_EQ(0, vtkObject::GetGlobalWarningDisplay());
  vtkObject::SetGlobalWarningDisplay(display);
}

} // namespace
