// Our readers of STL, PLY, OFF and OBJ files and the choice of reader by extension: the valid
// variants of each format open with the right counts and coordinates, and each kind of damage
// is refused with a reason that names it, never a crash or a half-read model.
#include "ModelFormats.h"
#include "ObjModelReader.h"
#include "OffModelReader.h"
#include "PlyModelReader.h"
#include "StlModelReader.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

using selvane::ErrorCode;
using selvane::Result;
namespace fs = std::filesystem;

namespace {

// The tetrahedron every test reads: 4 points, 4 triangles.
const double TetraXyz[4][3] = {{0, 0, 0}, {1.5, 0, 0}, {0, 2.25, 0}, {0, 0, -3}};
const int TetraFaces[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};

// "1.500000", whatever the locale's decimal point.
std::string Fixed(double v) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 6).ptr;
  return std::string(text, end);
}

class Bytes {
public:
  explicit Bytes(bool big = false) : Big(big) {}
  Bytes& Text(const std::string& s) {
    Data += s;
    return *this;
  }
  template <typename T> Bytes& Put(T value) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      Data += static_cast<char>(raw[Big ? sizeof(T) - 1 - i : i]);
    }
    return *this;
  }
  std::string Data;

private:
  bool Big;
};

using Reader = std::function<Result(const std::string&, vtkPolyData*)>;

Result ReadWith(Result (*read)(const char*, std::size_t, vtkPolyData*), const std::string& bytes,
                vtkPolyData* model) {
  return read(bytes.data(), bytes.size(), model);
}

// The point of each cell corner, so that files that store the same surface differently (STL
// without shared points) compare equal.
std::vector<std::vector<double>> Corners(vtkPolyData* model) {
  std::vector<std::vector<double>> corners;
  vtkNew<vtkIdList> ids;
  for (vtkIdType c = 0; c < model->GetNumberOfCells(); ++c) {
    model->GetCellPoints(c, ids);
    std::vector<double> cell;
    for (vtkIdType k = 0; k < ids->GetNumberOfIds(); ++k) {
      double p[3];
      model->GetPoint(ids->GetId(k), p);
      cell.insert(cell.end(), p, p + 3);
    }
    corners.push_back(cell);
  }
  return corners;
}

std::vector<std::vector<double>> TetraCorners() {
  std::vector<std::vector<double>> corners;
  for (const auto& face : TetraFaces) {
    std::vector<double> cell;
    for (int k : face) {
      cell.insert(cell.end(), TetraXyz[k], TetraXyz[k] + 3);
    }
    corners.push_back(cell);
  }
  return corners;
}

// Opens as the tetrahedron, with `points` points.
void ExpectTetra(Result read, vtkPolyData* model, vtkIdType points) {
  ASSERT_TRUE(read.Ok()) << read.Reason;
  EXPECT_TRUE(read.Reason.empty());
  EXPECT_EQ(model->GetNumberOfPoints(), points);
  EXPECT_EQ(model->GetNumberOfPolys(), 4);
  EXPECT_EQ(model->GetNumberOfCells(), 4);
  EXPECT_EQ(Corners(model), TetraCorners());
  EXPECT_TRUE(selvane::CheckReadModel(model).Ok());
}

// Refused with problem and a reason holding `words`, and nothing left in the model.
void ExpectRefused(Result read, vtkPolyData* model, ErrorCode problem, const std::string& words) {
  EXPECT_FALSE(read.Ok());
  EXPECT_EQ(read.Code, problem) << selvane::ErrorCodeName(read.Code) << ": " << read.Reason;
  EXPECT_NE(read.Reason.find(words), std::string::npos) << read.Reason;
  EXPECT_TRUE(std::none_of(read.Reason.begin(), read.Reason.end(), [](unsigned char c) {
    return c < 0x20 || c == 0x7f;
  })) << read.Reason;
  EXPECT_EQ(model->GetNumberOfPoints(), 0);
  EXPECT_EQ(model->GetNumberOfCells(), 0);
}

class TempFolder {
public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "selvane-readers-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) != nullptr) {
      Path = name.data();
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(Path, ignored);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = (Path / name).string();
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  fs::path Path;
};

// ---------------------------------------------------------------------------------------------
// STL

std::string BinaryStl(const std::string& header80, std::uint32_t count,
                      const std::function<float(int, int, int)>& coordinate = nullptr) {
  Bytes b;
  std::string header = header80;
  header.resize(80, ' ');
  b.Text(header).Put<std::uint32_t>(count);
  for (int t = 0; t < 4; ++t) {
    b.Put<float>(0).Put<float>(0).Put<float>(1); // normal, unused
    for (int k = 0; k < 3; ++k) {
      for (int a = 0; a < 3; ++a) {
        const double v = TetraXyz[TetraFaces[t][k]][a];
        b.Put<float>(coordinate ? coordinate(t, k, a) : static_cast<float>(v));
      }
    }
    b.Put<std::uint16_t>(0);
  }
  return b.Data;
}

std::string AsciiStl(const std::string& vertexTail = "") {
  std::string text = "solid tetra\n";
  for (const auto& face : TetraFaces) {
    text += "  facet normal 0 0 1\n    outer loop\n";
    for (int k : face) {
      text += "      vertex " + Fixed(TetraXyz[k][0]) + " " + Fixed(TetraXyz[k][1]) + " " +
              Fixed(TetraXyz[k][2]) + "\n";
    }
    text += vertexTail + "    endloop\n  endfacet\n";
  }
  return text + "endsolid tetra\n";
}

std::string Replace(std::string s, const std::string& what, const std::string& with) {
  const std::size_t at = s.find(what);
  if (at != std::string::npos) {
    s.replace(at, what.size(), with);
  }
  return s;
}

TEST(StlReader, BinaryAndAsciiFilesOpenWithOwnPointsPerTriangle) {
  vtkNew<vtkPolyData> model;
  ExpectTetra(ReadWith(selvane::ReadStlModelBytes, BinaryStl("binary tetra", 4), model), model, 12);
  // IDs as in the file: triangle t holds points 3t, 3t+1, 3t+2.
  vtkNew<vtkIdList> ids;
  model->GetCellPoints(2, ids);
  EXPECT_EQ(ids->GetId(0), 6);
  EXPECT_EQ(ids->GetId(2), 8);
  // A header that starts with "solid" (as many exporters write it) is still binary.
  ExpectTetra(ReadWith(selvane::ReadStlModelBytes, BinaryStl("solid tetra", 4), model), model, 12);
  ExpectTetra(ReadWith(selvane::ReadStlModelBytes, AsciiStl(), model), model, 12);
  std::string upper = AsciiStl();
  for (const char* word : {"solid", "facet", "normal", "outer", "loop", "vertex"}) {
    std::string capital = word;
    for (char& c : capital)
      c = static_cast<char>(c - 'a' + 'A');
    upper = Replace(upper, word, capital);
  }
  std::string crlf;
  for (char c : AsciiStl()) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  ExpectTetra(ReadWith(selvane::ReadStlModelBytes, upper, model), model, 12);
  ExpectTetra(ReadWith(selvane::ReadStlModelBytes, "\xEF\xBB\xBF" + crlf, model), model, 12);
}

TEST(StlReader, DamagedFilesAreRefusedWithTheirReason) {
  vtkNew<vtkPolyData> model;
  const std::string binary = BinaryStl("solid but binary", 4);
  const auto read = [&](const std::string& bytes) {
    return selvane::ReadStlModelBytes(bytes.data(), bytes.size(), model);
  };
  ExpectRefused(read(binary.substr(0, binary.size() - 25)), model, ErrorCode::Truncated,
                "cut mid-record: 4 triangles declared, 3.5 present");
  ExpectRefused(read(BinaryStl("tetra", 1000)), model, ErrorCode::Truncated,
                "1000 triangles declared, 4 present");
  ExpectRefused(read(binary + "xx"), model, ErrorCode::Malformed,
                "4 triangles declared, but the file holds 2 bytes more");
  ExpectRefused(read(BinaryStl("tetra", 0).substr(0, 84)), model, ErrorCode::NoGeometry,
                "no triangles");
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ExpectRefused(read(BinaryStl("tetra", 4, [&](int t, int, int) { return t == 2 ? nan : 1.f; })),
                model, ErrorCode::BadCoordinate, "triangle 2");
  ExpectRefused(read(BinaryStl("tetra", 4,
                               [](int t, int k, int) {
                                 return t == 3 && k == 1 ? std::numeric_limits<float>::infinity()
                                                         : 0.f;
                               })),
                model, ErrorCode::BadCoordinate, "triangle 3");
  ExpectRefused(read(""), model, ErrorCode::Malformed, "the file is empty");
  ExpectRefused(read(std::string("\x01\x02\x03", 3)), model, ErrorCode::Truncated, "too short");

  const std::string ascii = AsciiStl();
  ExpectRefused(read(ascii.substr(0, ascii.rfind("endsolid"))), model, ErrorCode::Truncated,
                "no \"endsolid\"");
  ExpectRefused(read(ascii.substr(0, ascii.find("endloop"))), model, ErrorCode::Truncated,
                "ends inside facet 0");
  ExpectRefused(read(AsciiStl("      vertex 0 0 0\n")), model, ErrorCode::BadCell,
                "more than 3 vertices");
  ExpectRefused(read(Replace(ascii, "vertex 1.500000", "vertex nan")), model,
                ErrorCode::BadCoordinate, "line 5: the coordinate \"nan\"");
  ExpectRefused(read(Replace(ascii, "vertex 1.500000", "vertex 1e39")), model,
                ErrorCode::BadCoordinate, "single-precision range");
  ExpectRefused(read(Replace(ascii, "vertex 1.500000", "vertex 1.5.2")), model,
                ErrorCode::Malformed, "\"1.5.2\" is not a number");
  ExpectRefused(read(Replace(ascii, "outer loop", "outer lop")), model, ErrorCode::Malformed,
                "\"loop\" expected, found \"lop\"");
  ExpectRefused(read("solid empty\nendsolid empty\n"), model, ErrorCode::NoGeometry, "no facets");
  // A stray byte in an ASCII file is named, not taken for a binary file's triangle count.
  for (const std::string& stray : {Replace(ascii, "outer loop", std::string("outer\0loop", 10)),
                                   ascii + "\x1a", ascii + std::string(64, '\0')}) {
    ExpectRefused(read(stray), model, ErrorCode::Malformed,
                  "starts with \"solid\" as an ASCII STL file does, but byte ");
  }
  ExpectRefused(read("hello, this is not a model\n"), model, ErrorCode::Malformed,
                "does not start with \"solid\"");

  // Every cut of either kind of file is refused, whatever byte it falls on.
  for (const std::string* whole : {&binary, &ascii}) {
    const std::size_t end = whole == &ascii ? ascii.rfind("endsolid") : whole->size();
    for (std::size_t size = 0; size < end; ++size) {
      SCOPED_TRACE(size);
      EXPECT_FALSE(read(whole->substr(0, size)).Ok());
      EXPECT_EQ(model->GetNumberOfPoints(), 0);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// PLY

enum class PlyKind { Ascii, Little, Big };

// The tetrahedron as a PLY file. `vertexType` is the type of x, y, z; `extra` adds a vertex
// property and an element between vertex and face; `faceIndex` is the last index of the last
// face; `count` the face count declared.
std::string Ply(PlyKind kind, const std::string& vertexType = "float", bool extra = false,
                int faceIndex = 3, int faces = 4, const std::string& listName = "vertex_indices") {
  const char* format = kind == PlyKind::Ascii    ? "ascii"
                       : kind == PlyKind::Little ? "binary_little_endian"
                                                 : "binary_big_endian";
  std::string header = std::string("ply\nformat ") + format + " 1.0\ncomment made by a test\n";
  header += "element vertex 4\n";
  if (extra) {
    header += "property list uchar float weights\n";
  }
  header += "property " + vertexType + " x\nproperty " + vertexType + " y\nproperty " + vertexType +
            " z\n";
  if (extra) {
    header += "property uchar red\nelement material 2\nproperty list uchar int ids\nproperty "
              "double shine\n";
  }
  header +=
      "element face " + std::to_string(faces) + "\nproperty list uchar int " + listName + "\n";
  if (extra) {
    header += "property ushort tag\n";
  }
  header += "obj_info anything\nend_header\n";
  Bytes b(kind == PlyKind::Big);
  b.Text(header);
  auto value = [&](double v, const std::string& type) {
    if (kind == PlyKind::Ascii) {
      char text[64];
      const auto end = type == "float" || type == "double"
                           ? std::to_chars(text, text + sizeof text, v).ptr
                           : std::to_chars(text, text + sizeof text, static_cast<int>(v)).ptr;
      b.Text(std::string(text, end) + " ");
    } else if (type == "float") {
      b.Put<float>(static_cast<float>(v));
    } else if (type == "double") {
      b.Put<double>(v);
    } else if (type == "uchar") {
      b.Put<std::uint8_t>(static_cast<std::uint8_t>(v));
    } else if (type == "ushort") {
      b.Put<std::uint16_t>(static_cast<std::uint16_t>(v));
    } else {
      b.Put<std::int32_t>(static_cast<std::int32_t>(v));
    }
  };
  auto rowEnd = [&] {
    if (kind == PlyKind::Ascii)
      b.Text("\n");
  };
  for (const auto& p : TetraXyz) {
    if (extra) {
      value(2, "uchar");
      value(0.5, "float");
      value(0.25, "float");
    }
    for (double v : p)
      value(v, vertexType);
    if (extra)
      value(200, "uchar");
    rowEnd();
  }
  if (extra) {
    for (int m = 0; m < 2; ++m) {
      value(3, "uchar");
      for (int k = 0; k < 3; ++k)
        value(k, "int");
      value(0.75, "double");
      rowEnd();
    }
  }
  for (int f = 0; f < 4; ++f) {
    value(3, "uchar");
    for (int k = 0; k < 3; ++k)
      value(f == 3 && k == 2 ? faceIndex : TetraFaces[f][k], "int");
    if (extra)
      value(7, "ushort");
    rowEnd();
  }
  return b.Data;
}

TEST(PlyReader, EveryEncodingAndLayoutOpens) {
  vtkNew<vtkPolyData> model;
  for (PlyKind kind : {PlyKind::Ascii, PlyKind::Little, PlyKind::Big}) {
    for (const char* type : {"float", "double", "int"}) {
      for (bool extra : {false, true}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(kind)) + type + (extra ? " extra" : ""));
        if (std::string(type) == "int") {
          // Integer coordinates: the tetrahedron scaled to whole numbers is not ours; the
          // counts and the values read are.
          const std::string bytes = Ply(kind, "int", extra);
          const Result read = selvane::ReadPlyModelBytes(bytes.data(), bytes.size(), model);
          ASSERT_TRUE(read.Ok()) << read.Reason;
          double p[3];
          model->GetPoint(1, p);
          EXPECT_EQ(p[0], 1.0); // 1.5 written as an int
          EXPECT_EQ(model->GetNumberOfPolys(), 4);
          continue;
        }
        ExpectTetra(ReadWith(selvane::ReadPlyModelBytes, Ply(kind, type, extra), model), model, 4);
        EXPECT_EQ(model->GetPoints()->GetDataType(),
                  std::string(type) == "double" ? VTK_DOUBLE : VTK_FLOAT);
      }
    }
  }
  ExpectTetra(ReadWith(selvane::ReadPlyModelBytes,
                       Ply(PlyKind::Little, "float", false, 3, 4, "vertex_index"), model),
              model, 4);
  // A quad and a pentagon stay one cell each.
  const std::string polygons = "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\n"
                               "property float y\nproperty float z\nelement face 2\n"
                               "property list uchar uint vertex_indices\nend_header\n"
                               "0 0 0\n1 0 0\n1 1 0\n0 1 0\n0 2 0\n4 0 1 2 3\n5 0 1 2 3 4\n";
  ASSERT_TRUE(ReadWith(selvane::ReadPlyModelBytes, polygons, model).Ok());
  EXPECT_EQ(model->GetPolys()->GetNumberOfConnectivityIds(), 9);
}

TEST(PlyReader, DamagedFilesAreRefusedWithTheirReason) {
  vtkNew<vtkPolyData> model;
  const auto read = [&](const std::string& bytes) {
    return selvane::ReadPlyModelBytes(bytes.data(), bytes.size(), model);
  };
  for (PlyKind kind : {PlyKind::Ascii, PlyKind::Little, PlyKind::Big}) {
    SCOPED_TRACE(static_cast<int>(kind));
    ExpectRefused(read(Ply(kind, "float", true, 4)), model, ErrorCode::IdOutOfRange,
                  "face 3 names vertex 4, but there are 4 vertices");
    ExpectRefused(read(Ply(kind, "float", false, -1)), model, ErrorCode::IdOutOfRange,
                  "names vertex -1");
    ExpectRefused(read(Ply(kind, "float", true, 3, 5)), model, ErrorCode::Truncated, "face");
    ExpectRefused(read(Replace(Ply(kind, "double"), "element vertex 4", "element vertex 40")),
                  model, ErrorCode::Truncated, "40 vertex rows declared");
    ExpectRefused(read(Replace(Ply(kind, "double"), "element face 4", "element face 4000000000")),
                  model, ErrorCode::Truncated, "4000000000 face rows declared");
    // Every cut is refused, in the header or in the data.
    const std::string whole = Ply(kind, "float", true);
    const std::size_t end = kind == PlyKind::Ascii ? whole.size() - 8 : whole.size();
    for (std::size_t size = 0; size < end; ++size) {
      SCOPED_TRACE(size);
      EXPECT_FALSE(read(whole.substr(0, size)).Ok());
      EXPECT_EQ(model->GetNumberOfPoints(), 0);
    }
  }
  // A little-endian file labelled big-endian reads as nonsense, and is refused.
  ExpectRefused(read(Replace(Ply(PlyKind::Little), "little", "big")), model,
                ErrorCode::IdOutOfRange, "names vertex 16777216");
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::string withNan = Ply(PlyKind::Little);
  const std::size_t firstZ = withNan.find("end_header\n") + 11 + 8;
  std::memcpy(&withNan[firstZ], &nan, 4);
  ExpectRefused(read(withNan), model, ErrorCode::BadCoordinate, "vertex 0");
  ExpectRefused(read(Replace(Ply(PlyKind::Ascii), "1.5", "nan")), model, ErrorCode::BadCoordinate,
                "vertex 1");
  ExpectRefused(read(Replace(Ply(PlyKind::Ascii), "3 0 1 2", "2 0 1")), model, ErrorCode::BadCell,
                "face 0 has 2 vertices");
  ExpectRefused(read(Replace(Ply(PlyKind::Ascii), "2.25", "2,25")), model, ErrorCode::Malformed,
                "\"2,25\" is not a number");
  ExpectRefused(read(Ply(PlyKind::Ascii) + "7\n"), model, ErrorCode::Malformed,
                "data follows the last element");
  ExpectRefused(read(Ply(PlyKind::Little) + "\nx"), model, ErrorCode::Malformed,
                "2 bytes follow the last element");
  ExpectTetra(read(Ply(PlyKind::Big) + "\r\n"), model, 4);
  ExpectRefused(read(Replace(Ply(PlyKind::Ascii), "property float y", "property float128 y")),
                model, ErrorCode::Malformed, "header line 6: unknown type \"float128\"");
  ExpectRefused(read(Replace(Ply(PlyKind::Ascii), "end_header", "end_heder")), model,
                ErrorCode::Malformed, "unknown keyword \"end_heder\"");
  ExpectRefused(read(Replace(Ply(PlyKind::Ascii), "property float z\n", "")), model,
                ErrorCode::Malformed, "no property z");
  ExpectRefused(read(Replace(Ply(PlyKind::Ascii), "element face", "element edge")), model,
                ErrorCode::NoGeometry, "no face element");
  ExpectRefused(read(Replace(Ply(PlyKind::Ascii), "format ascii 1.0", "format ascii 2.0")), model,
                ErrorCode::Malformed, "\"format ENCODING 1.0\" expected");
  ExpectRefused(read("plyx\n"), model, ErrorCode::Malformed, "not a PLY file");
  ExpectRefused(
      read(Replace(Ply(PlyKind::Ascii), "element face", "element vertex 0\nelement face")), model,
      ErrorCode::Malformed, "a second element \"vertex\"");
  ExpectRefused(read(Replace(Ply(PlyKind::Ascii), "property float z\n",
                             "property float z\nproperty uchar y\n")),
                model, ErrorCode::Malformed, "header line 8: a second property \"y\"");
  // Elements without rows, however many, are read past; a header past a megabyte is refused
  // for its length.
  std::string empties;
  for (int k = 0; k < 20000; ++k) {
    empties += "element e" + std::to_string(k) + " 0\nproperty uchar p\n";
  }
  ExpectTetra(read(Replace(Ply(PlyKind::Little), "element vertex", empties + "element vertex")),
              model, 4);
  ExpectRefused(read(Replace(Ply(PlyKind::Ascii), "end_header",
                             "comment " + std::string(std::size_t(1) << 20, 'c') + "\nend_header")),
                model, ErrorCode::Malformed, "no \"end_header\" line in its first megabyte");
}

// ---------------------------------------------------------------------------------------------
// OFF

std::string Off(const std::string& keyword = "OFF", const std::string& vertexTail = "",
                const std::string& faceTail = "") {
  std::string text = keyword + "\n# a tetrahedron\n4 4 6\n";
  for (const auto& p : TetraXyz) {
    text += Fixed(p[0]) + " " + Fixed(p[1]) + " " + Fixed(p[2]) + vertexTail + "\n";
  }
  for (const auto& f : TetraFaces) {
    text += "3 " + std::to_string(f[0]) + " " + std::to_string(f[1]) + " " + std::to_string(f[2]) +
            faceTail + "  # face\n";
  }
  return text;
}

TEST(OffReader, VariantsOpen) {
  vtkNew<vtkPolyData> model;
  const auto read = [&](const std::string& text) {
    return selvane::ReadOffModelBytes(text.data(), text.size(), model);
  };
  ExpectTetra(read(Off()), model, 4);
  ExpectTetra(read(Off("COFF", " 255 0 0 255", " 0.5 0.5 0.5")), model, 4);
  ExpectTetra(read(Off("NOFF", " 0 0 1")), model, 4);
  ExpectTetra(read(Off("CNOFF", " 0 0 1 1 0 0")), model, 4);
  ExpectTetra(read(Off("STOFF", " 0.5 0.5")), model, 4);
  ExpectTetra(read(Replace(Off(), "OFF\n# a tetrahedron\n4 4 6\n", "OFF 4 4 0\n")), model, 4);
  ExpectTetra(read(Replace(Off(), "OFF\n# a tetrahedron\n", "")), model, 4);
  std::string crlf;
  for (char c : Off())
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  ExpectTetra(read("\xEF\xBB\xBF" + crlf), model, 4);
}

TEST(OffReader, DamagedFilesAreRefusedWithTheirReason) {
  vtkNew<vtkPolyData> model;
  const auto read = [&](const std::string& text) {
    return selvane::ReadOffModelBytes(text.data(), text.size(), model);
  };
  const std::string off = Off();
  ExpectRefused(read(Replace(off, "3 1 2 3", "3 1 2 4")), model, ErrorCode::IdOutOfRange,
                "line 11: face 3 names vertex 4, but there are 4 vertices");
  ExpectRefused(read(Replace(off, "3 1 2 3", "3 1 2 -1")), model, ErrorCode::IdOutOfRange,
                "names vertex -1");
  ExpectRefused(read(Replace(off, "3 0 1 2", "2 0 1")), model, ErrorCode::BadCell,
                "face 0 has 2 vertices");
  ExpectRefused(read(Replace(off, "3 0 1 2", "4 0 1 2")), model, ErrorCode::Truncated,
                "face 0 declares 4 vertices but lists 3");
  ExpectRefused(read(Replace(off, "1.500000", "nan")), model, ErrorCode::BadCoordinate,
                "vertex 1: the coordinate \"nan\"");
  ExpectRefused(read(Replace(off, "1.500000", "-inf")), model, ErrorCode::BadCoordinate,
                "\"-inf\"");
  ExpectRefused(read(Replace(off, "1.500000 0.000000 0.000000", "1.5 0")), model,
                ErrorCode::Malformed, "vertex 1 has 2 numbers");
  ExpectRefused(read(Replace(off, "4 4 6", "4 900000000 6")), model, ErrorCode::Truncated,
                "900000000 faces declared, more than");
  ExpectRefused(read(Replace(off, "4 4 6", "5 4 6")), model, ErrorCode::Malformed,
                "vertex 4 has 4 numbers");
  ExpectRefused(read(Replace(off, "4 4 6", "4 3 6")), model, ErrorCode::Malformed,
                "more lines than");
  ExpectRefused(read(Replace(off, "4 4 6", "4 4 x")), model, ErrorCode::Malformed,
                "\"VERTICES FACES EDGES\" expected");
  ExpectRefused(read(Replace(off, "OFF", "4OFF")), model, ErrorCode::Unsupported, "4-dimensional");
  ExpectRefused(read(Replace(off, "OFF", "OFF BINARY")), model, ErrorCode::Unsupported,
                "binary OFF");
  ExpectRefused(read(Replace(off, "OFF", "PLY")), model, ErrorCode::Malformed, "not an OFF file");
  ExpectRefused(read(Replace(off, "0 1 3  #", "0 1 3 1 2 3 4 5 #")), model, ErrorCode::Malformed,
                "more than its 3 indices and a colour");
  ExpectRefused(read(""), model, ErrorCode::Malformed, "empty");
  // Every cut before the last face's line is refused.
  for (std::size_t size = 0; size < off.rfind("3 1 2 3"); ++size) {
    SCOPED_TRACE(size);
    EXPECT_FALSE(read(off.substr(0, size)).Ok());
  }
}

// ---------------------------------------------------------------------------------------------
// OBJ

std::string Obj(const std::string& faceForm = "%") {
  std::string text = "# a tetrahedron\nmtllib tetra.mtl\no tetra\n";
  for (const auto& p : TetraXyz) {
    text += "v " + Fixed(p[0]) + " " + Fixed(p[1]) + " " + Fixed(p[2]) + "\n";
  }
  text += "vt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\ng side\nusemtl red\ns 1\n";
  for (const auto& f : TetraFaces) {
    text += "f";
    for (int k : f) {
      text += " " + Replace(faceForm, "%", std::to_string(k + 1));
    }
    text += "\n";
  }
  return text;
}

TEST(ObjReader, FacesOfEveryFormLinesAndPointsOpen) {
  vtkNew<vtkPolyData> model;
  const auto read = [&](const std::string& text) {
    return selvane::ReadObjModelBytes(text.data(), text.size(), model);
  };
  for (const char* form : {"%", "%/1", "%//1", "%/2/1"}) {
    SCOPED_TRACE(form);
    ExpectTetra(read(Obj(form)), model, 4);
  }
  // Negative indices count back from the last vertex read; w and colours are ignored.
  std::string relative = "v 0 0 0 1\nv 1.5 0 0 1 0.5 0.5 0.5\nv 0 2.25 0 1\nv 0 0 -3 1 0 0 0\n"
                         "f -4 -3 -2\nf -4 -3 -1\nf 1 3 4\r\nf 2 -2 -1 # last\n";
  ExpectTetra(read(relative), model, 4);
  ASSERT_TRUE(read("v 0 0 0\nv 1 0 0\nv 0 1 0\np 1 2\nl 1 2 3\nf 1 2 3\nl 3 1\n").Ok());
  EXPECT_EQ(model->GetNumberOfVerts(), 1);
  EXPECT_EQ(model->GetNumberOfLines(), 2);
  EXPECT_EQ(model->GetNumberOfPolys(), 1);
  EXPECT_EQ(model->GetNumberOfCells(), 4);
}

TEST(ObjReader, DamagedFilesAreRefusedWithTheirReason) {
  vtkNew<vtkPolyData> model;
  const auto read = [&](const std::string& text) {
    return selvane::ReadObjModelBytes(text.data(), text.size(), model);
  };
  const std::string obj = Obj();
  ExpectRefused(read(Replace(obj, "f 2 3 4", "f 2 3 5")), model, ErrorCode::IdOutOfRange,
                "line 18: a face names vertex \"5\", but 4 vertices are defined before it");
  ExpectRefused(read(Replace(obj, "f 2 3 4", "f 2 3 0")), model, ErrorCode::IdOutOfRange,
                "vertex \"0\"");
  ExpectRefused(read(Replace(obj, "f 2 3 4", "f 2 3 -5")), model, ErrorCode::IdOutOfRange,
                "vertex \"-5\"");
  ExpectRefused(read(Obj("%/4")), model, ErrorCode::IdOutOfRange,
                "texture coordinate \"4\", but 3");
  ExpectRefused(read(Obj("%//2")), model, ErrorCode::IdOutOfRange, "normal \"2\", but 1");
  ExpectRefused(read(Obj("%/")), model, ErrorCode::Malformed, "not v, v/vt, v//vn or v/vt/vn");
  ExpectRefused(read(Replace(obj, "f 2 3 4", "f 2 x 4")), model, ErrorCode::Malformed,
                "which is not an index");
  ExpectRefused(read(Replace(obj, "f 2 3 4", "f 2 3")), model, ErrorCode::BadCell,
                "a face with 2 vertices");
  ExpectRefused(read(Replace(obj, "v 1.500000", "v nan")), model, ErrorCode::BadCoordinate,
                "vertex 2: the coordinate \"nan\"");
  ExpectRefused(read(Replace(obj, "v 1.500000", "v inf")), model, ErrorCode::BadCoordinate,
                "\"inf\"");
  ExpectRefused(read(Replace(obj, "v 1.500000", "v 1,5")), model, ErrorCode::Malformed,
                "\"1,5\" is not a number");
  // Past a double's range a number is still one: too large for single precision, or zero.
  ExpectRefused(read(Replace(obj, "v 1.500000", "v -1e400")), model, ErrorCode::BadCoordinate,
                "the coordinate \"-1e400\" is not a finite number in single-precision range");
  ExpectRefused(read(Replace(obj, "v 1.500000", "v 1" + std::string(400, '0'))), model,
                ErrorCode::BadCoordinate, "single-precision range");
  for (const std::string tiny : {"1e-400", "-0.0000000000000000000000000000000000000000000000000"
                                           "0000000000000000000000000000000000000000000000000000"
                                           "0000000000000000000000000000000000000000000000000000"
                                           "0000000000000000000000000000000000000000000000000000"
                                           "0000000000000000000000000000000000000000000000000000"
                                           "0000000000000000000000000000000000000000000000000000"
                                           "00000000000000000000000001"}) {
    ASSERT_TRUE(read(Replace(obj, "v 1.500000", "v " + tiny)).Ok()) << tiny;
    EXPECT_EQ(model->GetPoint(1)[0], 0.0) << tiny;
  }
  ExpectRefused(read(Replace(obj, "s 1", "curv 0 1 1 2")), model, ErrorCode::Unsupported,
                "free-form geometry");
  ExpectRefused(read(Replace(obj, "s 1", "bogus 1")), model, ErrorCode::Malformed,
                "unknown statement \"bogus\"");
  ExpectRefused(read("v 0 0 0\nv 1 0 0\n"), model, ErrorCode::NoGeometry, "only vertices");
  ExpectRefused(read("# nothing\n"), model, ErrorCode::NoGeometry, "no vertices");
  // A file cut mid-vertex.
  const std::string cut = obj.substr(0, obj.find("v 0.000000 2.250000") + 12);
  ExpectRefused(read(cut), model, ErrorCode::Truncated, "vertex 3 has 2 numbers");
  // Every cut either is refused or opens a model that passes the check.
  for (std::size_t size = 0; size < obj.size(); ++size) {
    if (read(obj.substr(0, size)).Ok()) {
      EXPECT_TRUE(selvane::CheckReadModel(model).Ok()) << size;
    } else {
      EXPECT_EQ(model->GetNumberOfPoints(), 0) << size;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The choice by extension, and the check every model passes.

TEST(ModelFormats, TheExtensionChoosesTheReader) {
  TempFolder folder;
  vtkNew<vtkPolyData> model;
  ExpectTetra(selvane::ReadModel(folder.Write("tetra.STL", BinaryStl("solid", 4)), model), model,
              12);
  ExpectTetra(selvane::ReadModel(folder.Write("tetra.Ply", Ply(PlyKind::Big)), model), model, 4);
  ExpectTetra(selvane::ReadModel(folder.Write("tetra.off", Off()), model), model, 4);
  ExpectTetra(selvane::ReadModel(folder.Write("tetra.OBJ", Obj()), model), model, 4);
  // An OBJ file named .stl is read as STL, and refused as one.
  ExpectRefused(selvane::ReadModel(folder.Write("obj.stl", Obj()), model), model,
                ErrorCode::Malformed, "does not start with \"solid\"");
  ExpectRefused(selvane::ReadModel(folder.Write("tetra.xyz", Obj()), model), model,
                ErrorCode::Unsupported,
                "\".xyz\" is not a model format Selvane opens (known: .vtk .vtp .stl .ply .obj "
                ".off)");
  // An extension is quoted as a file's text is: a line break or an escape sequence in a name
  // stays out of the message, and a long one is cut.
  ExpectRefused(selvane::ReadModel(folder.Write("tetra.st\nl", Obj()), model), model,
                ErrorCode::Unsupported, "\".st?l\" is not a model format");
  ExpectRefused(selvane::ReadModel(folder.Write("tetra.\x1b[31mred", Obj()), model), model,
                ErrorCode::Unsupported, "\".?[31mred\" is not");
  ExpectRefused(selvane::ReadModel(folder.Write("tetra." + std::string(200, 'e'), Obj()), model),
                model, ErrorCode::Unsupported, "eee...\" is not");
  ExpectRefused(selvane::ReadModel((folder.Path / "missing.ply").string(), model), model,
                ErrorCode::CannotOpen, "cannot open the file");
  ExpectRefused(selvane::ReadModel(folder.Path.string() + "/", model), model, ErrorCode::CannotOpen,
                "folder");
  EXPECT_EQ(selvane::ModelFormatOfPath("dir.with.dots/model"), selvane::ModelFormat::LegacyVtk);
  EXPECT_EQ(selvane::ModelFormatOfPath("a/b.VTP"), selvane::ModelFormat::Vtp);

  // Legacy files keep their own path: cell scalars come with the model.
  const std::string legacy = "# vtk DataFile Version 4.2\nt\nASCII\nDATASET POLYDATA\n"
                             "POINTS 4 float\n0 0 0 1.5 0 0 0 2.25 0 0 0 -3\n"
                             "POLYGONS 4 16\n3 0 1 2\n3 0 1 3\n3 0 2 3\n3 1 2 3\n"
                             "CELL_DATA 4\nSCALARS cs int 1\nLOOKUP_TABLE default\n0 1 2 3\n";
  ExpectTetra(selvane::ReadModel(folder.Write("tetra.vtk", legacy), model), model, 4);
  ASSERT_NE(model->GetCellData()->GetScalars(), nullptr);
  EXPECT_EQ(model->GetCellData()->GetScalars()->GetTuple1(3), 3);
  ExpectRefused(
      selvane::ReadModel(folder.Write("no-points.vtk",
                                      "# vtk DataFile Version 4.2\nt\nASCII\nDATASET "
                                      "POLYDATA\nPOINTS 0 float\nPOLYGONS 1 4\n3 0 1 2\n"),
                         model),
      model, ErrorCode::IdOutOfRange, "uses point ID 0, but the model has no points");
  // Data past what a block declares is named as such, not taken for an unknown section.
  std::string fewer = legacy;
  fewer.replace(fewer.find("POINTS 4 float\n"), 45,
                "POINTS 3 float\n0 0 0\n1.5 0 0\n0 2.25 0\n0 0 -3\n");
  ExpectRefused(selvane::ReadModel(folder.Write("fewer.vtk", fewer), model), model,
                ErrorCode::Malformed,
                "'0' where a section keyword is expected: POINTS holds more data than it declares");
  // A thousand arrays on the points open; VTK took seconds for each further ten thousand, and
  // one more is refused.
  std::string field = "POINT_DATA 4\nFIELD f 1000\n";
  for (int k = 0; k < 1000; ++k) {
    field += "a" + std::to_string(k) + " 1 4 float\n0 1 2 3\n";
  }
  ExpectTetra(selvane::ReadModel(folder.Write("arrays.vtk", legacy + field), model), model, 4);
  EXPECT_EQ(model->GetPointData()->GetNumberOfArrays(), 1000);
  ExpectRefused(selvane::ReadModel(
                    folder.Write("more-arrays.vtk",
                                 legacy + field + "NORMALS n float\n0 0 1 0 0 1 0 0 1 0 0 1\n"),
                    model),
                model, ErrorCode::TooLarge, "POINT_DATA holds more than 1000 arrays");
  ExpectRefused(
      selvane::ReadModel(folder.Write("bad.vtk", Replace(legacy, "3 1 2 3", "3 1 2 9")), model),
      model, ErrorCode::IdOutOfRange, "");
}

TEST(ModelFormats, TheCheckAfterReadingRefusesWhatNoModelMayHold) {
  auto tetra = [] {
    auto model = vtkSmartPointer<vtkPolyData>::New();
    vtkNew<vtkPoints> points;
    for (const auto& p : TetraXyz)
      points->InsertNextPoint(p);
    vtkNew<vtkCellArray> polys;
    for (const auto& f : TetraFaces) {
      const vtkIdType ids[3] = {f[0], f[1], f[2]};
      polys->InsertNextCell(3, ids);
    }
    model->SetPoints(points);
    model->SetPolys(polys);
    return model;
  };
  EXPECT_TRUE(selvane::CheckReadModel(tetra()).Ok());
  auto far = tetra();
  far->GetPoints()->SetPoint(2, 0, 1e300, 0);
  EXPECT_EQ(selvane::CheckReadModel(far).Code, ErrorCode::BadCoordinate);
  auto outside = tetra();
  outside->GetPolys()->ReplaceCellAtId(1, {0, 1, 4});
  EXPECT_EQ(selvane::CheckReadModel(outside).Code, ErrorCode::InvalidOutput);
  auto thin = tetra();
  vtkNew<vtkCellArray> two;
  const vtkIdType pair[2] = {0, 1};
  two->InsertNextCell(2, pair);
  thin->SetPolys(two);
  EXPECT_EQ(selvane::CheckReadModel(thin).Code, ErrorCode::InvalidOutput);
  auto scalars = tetra();
  vtkNew<vtkFloatArray> short_;
  short_->SetNumberOfValues(3);
  scalars->GetCellData()->SetScalars(short_);
  EXPECT_EQ(selvane::CheckReadModel(scalars).Code, ErrorCode::InvalidOutput);
  EXPECT_EQ(selvane::CheckReadModel(vtkNew<vtkPolyData>()).Code, ErrorCode::NoGeometry);
}

} // namespace
