// ReadVtpModel: every encoding vtkXMLPolyDataWriter writes opens with the file's points, cells
// and cell scalars; each class of damage is refused with a reason of its kind, before VTK reads
// anything it could misread, and leaves the model given to the reader as it was.
#include "VtpModelReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkIntArray.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkXMLPolyDataWriter.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using selvane::ErrorCode;

namespace {

struct TempFolder {
  fs::path Path;
  TempFolder() {
    Path = fs::temp_directory_path() / ("selvane-vtp-" + std::to_string(::getpid()));
    fs::create_directories(Path);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(Path, ignored);
  }
};

const TempFolder& Folder() {
  static const TempFolder folder;
  return folder;
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = (Folder().Path / name).string();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Double coordinates with all their digits, all four cell kinds, cell scalars and point data.
vtkSmartPointer<vtkPolyData> SampleModel(int gridSide = 6) {
  auto model = vtkSmartPointer<vtkPolyData>::New();
  vtkNew<vtkPoints> points;
  points->SetDataTypeToDouble();
  for (int j = 0; j < gridSide; ++j) {
    for (int i = 0; i < gridSide; ++i) {
      points->InsertNextPoint(i * 0.1234567890123457, j * 1.0000000000000002,
                              std::sin(i + 0.5 * j) * 3.3);
    }
  }
  vtkNew<vtkCellArray> polys, strips, lines, verts;
  for (int j = 0; j + 1 < gridSide; ++j) {
    for (int i = 0; i + 1 < gridSide; ++i) {
      const vtkIdType a = j * gridSide + i;
      const vtkIdType t1[3] = {a, a + 1, a + gridSide + 1};
      const vtkIdType q[4] = {a, a + gridSide + 1, a + gridSide, a};
      polys->InsertNextCell(3, t1);
      polys->InsertNextCell(3, q); // a quad-sized polygon: cells of other sizes than 3
    }
  }
  const vtkIdType strip[5] = {0, gridSide, 1, gridSide + 1, 2};
  strips->InsertNextCell(5, strip);
  const vtkIdType line[2] = {3, 4};
  lines->InsertNextCell(2, line);
  const vtkIdType vert[1] = {5};
  verts->InsertNextCell(1, vert);
  model->SetPoints(points);
  model->SetPolys(polys);
  model->SetStrips(strips);
  model->SetLines(lines);
  model->SetVerts(verts);
  vtkNew<vtkFloatArray> regions;
  regions->SetName("region");
  for (vtkIdType c = 0; c < model->GetNumberOfCells(); ++c) {
    regions->InsertNextValue(static_cast<float>(c % 5));
  }
  model->GetCellData()->SetScalars(regions);
  vtkNew<vtkIntArray> labels;
  labels->SetName("label");
  labels->SetNumberOfComponents(2);
  for (vtkIdType p = 0; p < model->GetNumberOfPoints(); ++p) {
    labels->InsertNextTuple2(static_cast<double>(p), static_cast<double>(-p));
  }
  model->GetPointData()->AddArray(labels);
  return model;
}

enum class Mode { Ascii, Inline, AppendedRaw, AppendedBase64 };
enum class Packing { None, ZLib, LZ4, LZMA };

struct Encoding {
  Mode DataMode;
  Packing Compressor;
  bool Header64;
};

std::string Name(const Encoding& e) {
  const char* modes[] = {"ascii", "inline", "raw", "base64"};
  const char* packs[] = {"plain", "zlib", "lz4", "lzma"};
  return std::string(modes[static_cast<int>(e.DataMode)]) + "_" +
         packs[static_cast<int>(e.Compressor)] + (e.Header64 ? "_h64" : "_h32");
}

std::string WriteVtp(vtkPolyData* model, const Encoding& e, const std::string& name) {
  const std::string path = (Folder().Path / name).string();
  vtkNew<vtkXMLPolyDataWriter> writer;
  writer->SetInputData(model);
  writer->SetFileName(path.c_str());
  switch (e.DataMode) {
  case Mode::Ascii:
    writer->SetDataModeToAscii();
    break;
  case Mode::Inline:
    writer->SetDataModeToBinary();
    break;
  case Mode::AppendedRaw:
    writer->SetDataModeToAppended();
    writer->EncodeAppendedDataOff();
    break;
  case Mode::AppendedBase64:
    writer->SetDataModeToAppended();
    writer->EncodeAppendedDataOn();
    break;
  }
  switch (e.Compressor) {
  case Packing::None:
    writer->SetCompressorTypeToNone();
    break;
  case Packing::ZLib:
    writer->SetCompressorTypeToZLib();
    break;
  case Packing::LZ4:
    writer->SetCompressorTypeToLZ4();
    break;
  case Packing::LZMA:
    writer->SetCompressorTypeToLZMA();
    break;
  }
  // Small blocks, so that arrays span several compressed blocks.
  writer->SetBlockSize(64);
  if (e.Header64) {
    writer->SetHeaderTypeToUInt64();
  } else {
    writer->SetHeaderTypeToUInt32();
  }
  EXPECT_EQ(1, writer->Write());
  return path;
}

std::vector<Encoding> AllEncodings() {
  std::vector<Encoding> all;
  for (Mode m : {Mode::Ascii, Mode::Inline, Mode::AppendedRaw, Mode::AppendedBase64}) {
    for (Packing p : {Packing::None, Packing::ZLib, Packing::LZ4, Packing::LZMA}) {
      if (m == Mode::Ascii && p != Packing::None) {
        continue; // ascii data are never compressed
      }
      for (bool h64 : {false, true}) {
        all.push_back({m, p, h64});
      }
    }
  }
  return all;
}

void ExpectSameModel(vtkPolyData* expected, vtkPolyData* read) {
  ASSERT_EQ(expected->GetNumberOfPoints(), read->GetNumberOfPoints());
  for (vtkIdType p = 0; p < expected->GetNumberOfPoints(); ++p) {
    double a[3], b[3];
    expected->GetPoint(p, a);
    read->GetPoint(p, b);
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(a[c], b[c]) << "point " << p;
    }
  }
  ASSERT_EQ(expected->GetNumberOfCells(), read->GetNumberOfCells());
  for (vtkIdType c = 0; c < expected->GetNumberOfCells(); ++c) {
    vtkNew<vtkIdList> a, b;
    expected->GetCellPoints(c, a);
    read->GetCellPoints(c, b);
    ASSERT_EQ(a->GetNumberOfIds(), b->GetNumberOfIds()) << "cell " << c;
    for (vtkIdType i = 0; i < a->GetNumberOfIds(); ++i) {
      EXPECT_EQ(a->GetId(i), b->GetId(i)) << "cell " << c;
    }
  }
  vtkDataArray* scalars = read->GetCellData()->GetScalars();
  ASSERT_NE(nullptr, scalars);
  EXPECT_STREQ("region", scalars->GetName());
  vtkDataArray* want = expected->GetCellData()->GetScalars();
  for (vtkIdType c = 0; c < want->GetNumberOfTuples(); ++c) {
    EXPECT_EQ(want->GetTuple1(c), scalars->GetTuple1(c));
  }
  vtkDataArray* labels = read->GetPointData()->GetArray("label");
  ASSERT_NE(nullptr, labels);
  EXPECT_EQ(2, labels->GetNumberOfComponents());
  EXPECT_EQ(-7.0, labels->GetComponent(7, 1));
}

class WrittenByVtk : public ::testing::TestWithParam<Encoding> {};

TEST_P(WrittenByVtk, OpensWithThePointsCellsAndScalarsOfTheFile) {
  vtkSmartPointer<vtkPolyData> model = SampleModel();
  const std::string path = WriteVtp(model, GetParam(), Name(GetParam()) + ".vtp");
  vtkNew<vtkPolyData> read;
  const selvane::Result result = selvane::ReadVtpModel(path, read);
  ASSERT_TRUE(result.Ok()) << result.Reason;
  ExpectSameModel(model, read);
  // Held in part, as a large file is: the same model.
  vtkNew<vtkPolyData> inPart;
  const selvane::Result partial = selvane::ReadVtpModel(path, inPart, 16);
  ASSERT_TRUE(partial.Ok()) << partial.Reason;
  ExpectSameModel(model, inPart);
  // Opened as ReadVtpModel opens it first, checked on VTK's own parse: the same model, not a
  // refusal that the check made on a parse of its own would then overrule.
  for (std::uint64_t firstBytes : {std::uint64_t(1) << 16, std::uint64_t(16)}) {
    vtkNew<vtkPolyData> once;
    const selvane::Result result = selvane::ReadVtpModelInOneParse(path, once, firstBytes);
    ASSERT_TRUE(result.Ok()) << result.Reason;
    ExpectSameModel(model, once);
  }
}

INSTANTIATE_TEST_SUITE_P(Encodings, WrittenByVtk, ::testing::ValuesIn(AllEncodings()),
                         [](const auto& info) { return Name(info.param); });

// A file written by hand with big-endian raw appended data, 64-bit headers and Float32 points.
TEST(HandWritten, BigEndianAppendedDataOpen) {
  auto big = [](std::uint64_t v, int n) {
    std::string s;
    for (int i = n - 1; i >= 0; --i) {
      s += static_cast<char>((v >> (8 * i)) & 0xff);
    }
    return s;
  };
  auto f32 = [&](float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return big(u, 4);
  };
  std::string points = big(36, 8);
  for (float v : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 2.5f, 0.f}) {
    points += f32(v);
  }
  const std::string connectivity = big(12, 8) + big(0, 4) + big(1, 4) + big(2, 4);
  const std::string offsets = big(4, 8) + big(3, 4);
  const std::string file =
      "<?xml version=\"1.0\"?>\n<VTKFile type=\"PolyData\" version=\"1.0\" "
      "byte_order=\"BigEndian\" header_type=\"UInt64\">\n<PolyData>\n"
      "<Piece NumberOfPoints=\"3\" NumberOfPolys=\"1\">\n"
      "<Points><DataArray type=\"Float32\" NumberOfComponents=\"3\" format=\"appended\" "
      "offset=\"0\"/></Points>\n<Polys>\n"
      "<DataArray type=\"Int32\" Name=\"connectivity\" format=\"appended\" offset=\"" +
      std::to_string(points.size()) +
      "\"/>\n<DataArray type=\"Int32\" Name=\"offsets\" format=\"appended\" offset=\"" +
      std::to_string(points.size() + connectivity.size()) +
      "\"/>\n</Polys>\n</Piece>\n</PolyData>\n<AppendedData encoding=\"raw\">\n_" + points +
      connectivity + offsets + "\n</AppendedData>\n</VTKFile>\n";
  vtkNew<vtkPolyData> read;
  const selvane::Result result = selvane::ReadVtpModel(WriteFile("big-endian.vtp", file), read);
  ASSERT_TRUE(result.Ok()) << result.Reason;
  EXPECT_EQ(3, read->GetNumberOfPoints());
  EXPECT_EQ(1, read->GetNumberOfPolys());
  EXPECT_EQ(2.5, read->GetPoint(2)[1]);
}

// Refused: the kind of problem, and the model given to the reader untouched.
void ExpectRefused(const std::string& path, ErrorCode kind, const std::string& words = "") {
  vtkSmartPointer<vtkPolyData> loaded = SampleModel(3);
  const vtkIdType before = loaded->GetNumberOfPoints();
  const selvane::Result result = selvane::ReadVtpModel(path, loaded);
  EXPECT_FALSE(result.Ok()) << path;
  EXPECT_EQ(selvane::ErrorCodeName(kind), selvane::ErrorCodeName(result.Code))
      << path << ": " << result.Reason;
  EXPECT_FALSE(result.Reason.empty());
  EXPECT_TRUE(std::none_of(result.Reason.begin(), result.Reason.end(), [](unsigned char c) {
    return c < 0x20 || c == 0x7f;
  })) << result.Reason;
  EXPECT_EQ(std::string::npos, result.Reason.find(path)) << result.Reason;
  if (!words.empty()) {
    EXPECT_NE(std::string::npos, result.Reason.find(words)) << result.Reason;
  }
  EXPECT_EQ(before, loaded->GetNumberOfPoints());
  // The read on VTK's own parse refuses it too, whatever its reason, and leaves the model.
  for (std::uint64_t firstBytes : {std::uint64_t(1) << 16, std::uint64_t(16)}) {
    const selvane::Result once = selvane::ReadVtpModelInOneParse(path, loaded, firstBytes);
    EXPECT_FALSE(once.Ok()) << path;
    EXPECT_EQ(before, loaded->GetNumberOfPoints());
  }
}

std::string Replace(std::string s, const std::string& what, const std::string& with) {
  const std::size_t at = s.find(what);
  EXPECT_NE(std::string::npos, at) << what;
  if (at != std::string::npos) {
    s.replace(at, what.size(), with);
  }
  return s;
}

std::string Written(const Encoding& e) {
  return ReadFile(WriteVtp(SampleModel(), e, "source-" + Name(e) + ".vtp"));
}

TEST(DamagedStructure, IsRefusedBeforeVtkReadsIt) {
  const std::string raw = Written({Mode::AppendedRaw, Packing::None, false});
  ExpectRefused(
      WriteFile("grid.vtp", Replace(raw, "type=\"PolyData\"", "type=\"UnstructuredGrid\"")),
      ErrorCode::NotPolyData, "UnstructuredGrid");
  // Reasons quote the file's attribute values; their line breaks and control characters stay out.
  ExpectRefused(
      WriteFile("type-break.vtp", Replace(raw, "type=\"PolyData\"", "type=\"Poly&#10;Data\"")),
      ErrorCode::NotPolyData, "\"Poly?Data\"");
  ExpectRefused(WriteFile("count-break.vtp", Replace(raw, "NumberOfPoints=\"36\"",
                                                     "NumberOfPoints=\"3&#13;6&#127;\"")),
                ErrorCode::Malformed, "\"3?6?\", not a non-negative integer");
  ExpectRefused(WriteFile("legacy.vtp", "# vtk DataFile Version 4.2\nx\nASCII\n"),
                ErrorCode::Malformed);
  ExpectRefused(WriteFile("empty.vtp", ""), ErrorCode::Malformed);
  ExpectRefused(WriteFile("two-pieces.vtp",
                          Replace(raw, "</PolyData>", "<Piece NumberOfPoints=\"0\"/></PolyData>")),
                ErrorCode::Unsupported, "Piece");
  ExpectRefused(
      WriteFile("count.vtp", Replace(raw, "NumberOfPoints=\"36\"", "NumberOfPoints=\"-36\"")),
      ErrorCode::Malformed, "NumberOfPoints");
  ExpectRefused(WriteFile("string.vtp", Replace(raw, "type=\"Float32\" Name=\"region\"",
                                                "type=\"String\" Name=\"region\"")),
                ErrorCode::Unsupported, "String");
  ExpectRefused(WriteFile("packer.vtp", Replace(Written({Mode::AppendedRaw, Packing::ZLib, false}),
                                                "vtkZLibDataCompressor", "vtkOwnCompressor")),
                ErrorCode::Unsupported, "vtkOwnCompressor");
  // VTK fills information vectors of the declared length at the index each value names.
  auto withKey = [&](const std::string& length, const std::string& lastIndex) {
    const std::string key =
        "<InformationKey name=\"L2_NORM_RANGE\" location=\"vtkDataArray\" length=\"" + length +
        "\"><Value index=\"0\">1</Value><Value index=\"" + lastIndex +
        "\">2</Value></InformationKey>";
    std::string file = raw;
    const std::size_t end = file.find('>', file.find("<DataArray"));
    if (file[end - 1] == '/') {
      file.replace(end - 1, 2, ">" + key + "</DataArray>");
    } else {
      file.insert(end + 1, key);
    }
    return file;
  };
  ExpectRefused(WriteFile("information.vtp", withKey("100000000000", "1")), ErrorCode::Malformed,
                "information");
  ExpectRefused(WriteFile("index.vtp", withKey("2", "7")), ErrorCode::Malformed, "information");
  vtkNew<vtkPolyData> read;
  const selvane::Result sound =
      selvane::ReadVtpModel(WriteFile("key.vtp", withKey("2", "1")), read);
  EXPECT_TRUE(sound.Ok()) << sound.Reason;
  ExpectRefused(Folder().Path.string(), ErrorCode::CannotOpen, "folder");
  // A field array (VTK's reader treats "TimeValue" as the time of the data) that declares more
  // tuples than the file holds.
  const std::string timeValue =
      "<FieldData><DataArray type=\"Float64\" Name=\"TimeValue\" NumberOfTuples=\"" +
      std::string("1000000000000") + "\" format=\"appended\" offset=\"0\"/></FieldData>";
  ExpectRefused(WriteFile("time.vtp", Replace(raw, "<Piece", timeValue + "<Piece")),
                ErrorCode::Truncated, "TimeValue");
}

// VTK frees a parsed tree one call per level: a megabyte of nested elements once overflowed the
// stack.
TEST(DamagedStructure, ElementsNestedHundredsOfThousandsDeepAreRefused) {
  auto nested = [](int levels) {
    std::string open, close;
    for (int k = 0; k < levels; ++k) {
      open += "<a>";
      close += "</a>";
    }
    return open + close;
  };
  const std::string raw = Written({Mode::AppendedRaw, Packing::None, false});
  ExpectRefused(WriteFile("deep.vtp", Replace(raw, "<Piece", nested(300000) + "<Piece")),
                ErrorCode::Malformed, "nest more than 256 levels");
  ExpectRefused(WriteFile("deep-root.vtp", "<?xml version=\"1.0\"?>\n" + nested(140000)),
                ErrorCode::Malformed, "nest more than 256 levels");
  ExpectRefused(WriteFile("one-too-deep.vtp", Replace(raw, "<Piece", nested(255) + "<Piece")),
                ErrorCode::Malformed, "nest more than 256 levels");
  // One level less is within the limit, and refused for what it is.
  ExpectRefused(WriteFile("deep-enough.vtp", Replace(raw, "<Piece", nested(254) + "<Piece")),
                ErrorCode::Unsupported, "<a> element, which is not read");
}

// VTK finds an array by comparing its name with all before it: tens of thousands took seconds.
TEST(DamagedStructure, MoreThanAThousandArraysOfADataAreRefused) {
  vtkSmartPointer<vtkPolyData> model = SampleModel(3);
  for (int k = 0; k < 1000; ++k) {
    vtkNew<vtkFloatArray> values;
    values->SetName(("a" + std::to_string(k)).c_str());
    values->SetNumberOfTuples(model->GetNumberOfCells());
    values->FillValue(k);
    model->GetCellData()->AddArray(values);
  }
  const Encoding raw{Mode::AppendedRaw, Packing::None, false};
  // The sample's own cell array makes one more than a thousand.
  ExpectRefused(WriteVtp(model, raw, "arrays.vtp"), ErrorCode::TooLarge,
                "cell data holds 1001 arrays; Selvane opens at most 1000");
  model->GetCellData()->RemoveArray("a999");
  vtkNew<vtkPolyData> read;
  const selvane::Result opened = selvane::ReadVtpModel(WriteVtp(model, raw, "fewer.vtp"), read);
  ASSERT_TRUE(opened.Ok()) << opened.Reason;
  EXPECT_EQ(1000, read->GetCellData()->GetNumberOfArrays());
  EXPECT_EQ(998, read->GetCellData()->GetArray("a998")->GetTuple1(0));
}

// Every floating-point array is checked as a legacy file's are, whether VTK or the watch of raw
// values read it.
TEST(DamagedValues, ANonFiniteValueInAnyFloatingPointArrayIsRefused) {
  for (const Encoding& e : {Encoding{Mode::Ascii, Packing::None, false},
                            Encoding{Mode::AppendedRaw, Packing::None, false},
                            Encoding{Mode::Inline, Packing::ZLib, true}}) {
    SCOPED_TRACE(Name(e));
    vtkSmartPointer<vtkPolyData> model = SampleModel(3);
    vtkNew<vtkFloatArray> temperature;
    temperature->SetName("temperature");
    temperature->SetNumberOfTuples(model->GetNumberOfPoints());
    temperature->FillValue(20);
    temperature->SetValue(2, std::numeric_limits<float>::quiet_NaN());
    model->GetPointData()->AddArray(temperature);
    ExpectRefused(WriteVtp(model, e, "nan-point.vtp"), ErrorCode::BadCoordinate,
                  "the point data array \"temperature\" holds a value that is not finite");

    model = SampleModel(3);
    vtkNew<vtkDoubleArray> pressure;
    pressure->SetName("pressure");
    pressure->SetNumberOfComponents(2);
    pressure->SetNumberOfTuples(model->GetNumberOfCells());
    pressure->Fill(1);
    // A NaN: VTK's writer would note an infinite value's norm as text its reader refuses.
    pressure->SetComponent(model->GetNumberOfCells() - 1, 1, std::nan(""));
    model->GetCellData()->AddArray(pressure);
    ExpectRefused(WriteVtp(model, e, "inf-cell.vtp"), ErrorCode::BadCoordinate,
                  "the cell data array \"pressure\" holds a value that is not finite");
  }
}

// VTK prints what nobody observes to the terminal: a refusal is the message, nothing besides.
TEST(DamagedStructure, IsRefusedWithoutPrintingToTheTerminal) {
  const std::string raw = Written({Mode::AppendedRaw, Packing::None, false});
  std::vector<std::string> refused = {
      Replace(raw, "NumberOfPoints=\"36\"", "NumberOfPoints=\"-36\""),
      raw.substr(0, raw.find("<Points>") + 12), Replace(raw, "<Polys>", "<Polys><Polys>")};
  // Compressed data garbled in the middle and near the end: mostly blocks that do not expand,
  // which VTK's decompressors and ours would report; a garbled block may also expand to other
  // sound values.
  std::vector<std::string> garbled;
  for (Packing packing : {Packing::ZLib, Packing::LZ4}) {
    const std::string packed = Written({Mode::AppendedRaw, packing, false});
    const std::size_t data = packed.find('_', packed.find("<AppendedData")) + 1;
    const std::size_t end = packed.rfind("</AppendedData>");
    for (double at : {0.5, 0.9}) {
      std::string file = packed;
      const std::size_t from = data + static_cast<std::size_t>(at * (end - data));
      for (std::size_t i = from; i < from + 12 && i < end; ++i) {
        file[i] = static_cast<char>(~file[i]);
      }
      garbled.push_back(file);
    }
  }
  auto quietly = [](const std::string& file) {
    const std::string path = WriteFile("quiet.vtp", file);
    testing::internal::CaptureStderr();
    vtkNew<vtkPolyData> read;
    const selvane::Result result = selvane::ReadVtpModel(path, read);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ("", printed) << result.Reason;
    return result.Ok();
  };
  for (const std::string& file : refused) {
    EXPECT_FALSE(quietly(file));
  }
  int opened = 0;
  for (const std::string& file : garbled) {
    opened += quietly(file) ? 1 : 0;
  }
  EXPECT_LE(opened, 2); // most garbled blocks do not expand
}

TEST(DamagedAppendedData, OffsetsOutsideTheBlockAreRefused) {
  for (const Encoding& e : {Encoding{Mode::AppendedRaw, Packing::None, false},
                            Encoding{Mode::AppendedBase64, Packing::ZLib, true}}) {
    const std::string file = Written(e);
    const std::string firstOffset = "offset=\"0\"";
    ExpectRefused(WriteFile("negative.vtp", Replace(file, firstOffset, "offset=\"-8\"")),
                  ErrorCode::Malformed, "-8");
    ExpectRefused(WriteFile("far.vtp", Replace(file, firstOffset, "offset=\"99999999\"")),
                  ErrorCode::Malformed, "99999999");
    ExpectRefused(WriteFile("word.vtp", Replace(file, firstOffset, "offset=\"zero\"")),
                  ErrorCode::Malformed);
  }
}

TEST(DamagedAppendedData, BadBase64IsRefused) {
  std::string file = Written({Mode::AppendedBase64, Packing::None, false});
  const std::size_t data = file.find('_', file.find("<AppendedData")) + 1;
  file[data + 5] = '!';
  ExpectRefused(WriteFile("bad64.vtp", file), ErrorCode::Malformed, "base64");
  std::string inlined = Written({Mode::Inline, Packing::ZLib, false});
  const std::size_t at = inlined.find("format=\"binary\"");
  inlined[inlined.find('>', at) + 20] = '*';
  ExpectRefused(WriteFile("bad-inline64.vtp", inlined), ErrorCode::Malformed, "base64");
}

TEST(DamagedCounts, CountsBeyondWhatTheDataHoldAreRefusedWithoutAllocating) {
  for (const Encoding& e : AllEncodings()) {
    const std::string file = Written(e);
    for (const char* count : {"37", "1000000000000", "4611686018427387904"}) {
      ExpectRefused(WriteFile("points-" + Name(e) + ".vtp",
                              Replace(file, "NumberOfPoints=\"36\"",
                                      std::string("NumberOfPoints=\"") + count + "\"")),
                    count[0] == '4' && count[1] == '6' ? ErrorCode::TooLarge
                                                       : ErrorCode::Truncated);
    }
  }
}

// Compressed headers: a block count, block size or last block size that the data cannot back.
TEST(DamagedCompression, InconsistentHeadersAreRefused) {
  std::string file = Written({Mode::AppendedRaw, Packing::ZLib, false});
  const std::size_t data = file.find('_', file.find("<AppendedData")) + 1;
  auto withWord = [&](std::size_t word, std::uint32_t value) {
    std::string damaged = file;
    for (int i = 0; i < 4; ++i) {
      damaged[data + 4 * word + i] = static_cast<char>((value >> (8 * i)) & 0xff);
    }
    return damaged;
  };
  // The first array is the point labels, in 64-byte blocks.
  const std::uint32_t blocks = static_cast<unsigned char>(file[data]);
  ASSERT_GT(blocks, 1u);
  ExpectRefused(WriteFile("blocks.vtp", withWord(0, 0x7fffffff)), ErrorCode::Truncated, "blocks");
  ExpectRefused(WriteFile("size.vtp", withWord(1, 0x7fffff00)), ErrorCode::TooLarge);
  ExpectRefused(WriteFile("last.vtp", withWord(2, 65)), ErrorCode::Malformed);
  ExpectRefused(WriteFile("zero.vtp", withWord(1, 0)), ErrorCode::Malformed);
  // Compressed bytes that do not expand to the block: VTK's own decompressor refuses them.
  std::string garbled = file;
  for (std::size_t i = 0; i < 6; ++i) {
    garbled[data + 4 * (3 + blocks) + 2 + i] ^= 0x5a;
  }
  vtkNew<vtkPolyData> read;
  EXPECT_FALSE(selvane::ReadVtpModel(WriteFile("garbled.vtp", garbled), read).Ok());
}

TEST(DamagedCells, ConnectivityAndIdsThatDoNotAgreeAreRefused) {
  // An ascii file: the last offset says more IDs than the connectivity holds.
  const std::string ascii = Written({Mode::Ascii, Packing::None, false});
  const std::size_t polys = ascii.find("<Polys>");
  const std::size_t offsets = ascii.find("Name=\"offsets\"", polys);
  const std::size_t values = ascii.find('>', offsets) + 1;
  const std::size_t end = ascii.find('<', values);
  std::string text = ascii.substr(values, end - values);
  const std::size_t last = text.find_last_not_of(" \n");
  const std::size_t lastStart = text.find_last_of(" \n", last) + 1;
  std::string tooMany = ascii;
  tooMany.replace(values + lastStart, last + 1 - lastStart, "1000000000000000");
  ExpectRefused(WriteFile("last-offset.vtp", tooMany), ErrorCode::Truncated, "connectivity");
  std::string negative = ascii;
  negative.replace(values + lastStart, last + 1 - lastStart, "-4");
  ExpectRefused(WriteFile("negative-offset.vtp", negative), ErrorCode::BadCell);
  // A point ID out of range in otherwise sound data.
  const std::size_t connectivity = ascii.find("Name=\"connectivity\"", polys);
  const std::size_t ids = ascii.find('>', connectivity) + 1;
  std::string outside = ascii;
  outside.replace(ascii.find_first_not_of(" \n", ids), 1, "99");
  ExpectRefused(WriteFile("id.vtp", outside), ErrorCode::InvalidOutput);
  // A coordinate that is not a number.
  const std::size_t points = ascii.find("<Points>");
  const std::size_t coordinates = ascii.find('>', ascii.find("<DataArray", points)) + 1;
  std::string nan = ascii;
  nan.replace(ascii.find_first_not_of(" \n", coordinates), 1, "nan");
  vtkNew<vtkPolyData> read;
  EXPECT_FALSE(selvane::ReadVtpModel(WriteFile("nan.vtp", nan), read).Ok());
}

// Where the raw appended values of the array named `name` after `section` start in `file`.
std::size_t RawValuesAt(const std::string& file, const std::string& section,
                        const std::string& name) {
  const std::size_t array = file.find("Name=\"" + name + "\"", file.find(section));
  const std::size_t offset = file.find("offset=\"", array) + 8;
  const std::size_t appended = file.find('_', file.find("<AppendedData")) + 1;
  return appended + std::stoul(file.substr(offset, file.find('"', offset) - offset)) +
         4; // the UInt32 size before the values
}

// A model larger than the parts of the file held in memory for the check: raw array values
// come from the file itself, and what VTK reads there is still checked, as it is read or on
// VTK's output.
TEST(LargeRawFile, ValuesReadFromTheFileAreChecked) {
  vtkSmartPointer<vtkPolyData> model = SampleModel(150);
  for (Packing p : {Packing::None, Packing::LZ4}) {
    const std::string path = WriteVtp(model, {Mode::AppendedRaw, p, false}, "large.vtp");
    vtkNew<vtkPolyData> read;
    const selvane::Result result = selvane::ReadVtpModel(path, read);
    ASSERT_TRUE(result.Ok()) << result.Reason;
    ExpectSameModel(model, read);
  }
  const std::string file =
      ReadFile(WriteVtp(model, {Mode::AppendedRaw, Packing::None, false}, "large.vtp"));
  ASSERT_GT(file.size(), 400000u);
  // A point ID out of range in the middle of the connectivity.
  const std::size_t ids = RawValuesAt(file, "<Polys>", "connectivity");
  std::string outside = file;
  const std::int64_t far = 1000000000;
  std::memcpy(&outside[ids + 8 * 40000], &far, sizeof far);
  ExpectRefused(WriteFile("large-id.vtp", outside), ErrorCode::InvalidOutput);
  // Offsets that decrease in the middle, with their first and last ones sound: VTK's reader
  // itself refuses them.
  const std::size_t ends = RawValuesAt(file, "<Polys>", "offsets");
  std::string decreasing = file;
  const std::int64_t back = 3;
  std::memcpy(&decreasing[ends + 8 * 20000], &back, sizeof back);
  ExpectRefused(WriteFile("large-offsets.vtp", decreasing), ErrorCode::ReaderReported, "offsets");
  // A coordinate that is not a number.
  const std::size_t xyz = RawValuesAt(file, "<Points>", "Points");
  std::string nan = file;
  const double notANumber = std::nan("");
  std::memcpy(&nan[xyz + 8 * 30000], &notANumber, sizeof notANumber);
  ExpectRefused(WriteFile("large-nan.vtp", nan), ErrorCode::BadCoordinate);
  // A cell scalar that is not a number.
  const std::size_t regions = RawValuesAt(file, "<CellData", "region");
  std::string nanRegion = file;
  const float notANumberSingle = std::nanf("");
  std::memcpy(&nanRegion[regions + 4 * 12345], &notANumberSingle, sizeof notANumberSingle);
  ExpectRefused(WriteFile("large-nan-region.vtp", nanRegion), ErrorCode::BadCoordinate,
                "cell scalars");
  // XML longer than the first bytes looked at, and closing tags far from the end: the same file.
  std::string padded = file;
  padded.insert(padded.find("<PolyData"), "<!--" + std::string(100000, 'a') + "-->\n");
  padded.insert(padded.find('_', padded.find("<AppendedData")) - 1, std::string(70000, ' '));
  padded.append(std::string(70000, '\n'));
  vtkNew<vtkPolyData> read;
  const selvane::Result result = selvane::ReadVtpModel(WriteFile("large-padded.vtp", padded), read);
  ASSERT_TRUE(result.Ok()) << result.Reason;
  ExpectSameModel(model, read);
}

// Every prefix of a small file in each appended and inline encoding is refused or holds the
// whole model (appended data may lose their closing tags): a cut file never opens as part of
// the model.
TEST(DamagedPrefixes, ACutFileIsRefusedOrWhole) {
  for (const Encoding& e : {Encoding{Mode::AppendedRaw, Packing::ZLib, false},
                            Encoding{Mode::AppendedBase64, Packing::None, true},
                            Encoding{Mode::Inline, Packing::LZ4, false}}) {
    vtkSmartPointer<vtkPolyData> model = SampleModel(3);
    const std::string file = ReadFile(WriteVtp(model, e, "cut-source.vtp"));
    const std::size_t closing = file.rfind("</");
    for (std::size_t size = 0; size < closing; size += 7) {
      const std::string path = WriteFile("cut.vtp", file.substr(0, size));
      for (std::uint64_t firstBytes : {std::uint64_t(1) << 16, std::uint64_t(16)}) {
        vtkNew<vtkPolyData> read;
        const selvane::Result result = selvane::ReadVtpModel(path, read, firstBytes);
        if (result.Ok()) {
          ExpectSameModel(model, read);
        } else {
          EXPECT_EQ(0, read->GetNumberOfPoints()) << Name(e) << " cut at " << size;
        }
      }
    }
  }
}

} // namespace
