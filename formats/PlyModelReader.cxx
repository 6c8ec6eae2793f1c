#include "PlyModelReader.h"

#include "InputFile.h"
#include "ModelReaderSupport.h"

#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkPolyData.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace selvane {

namespace {

enum class PlyType { Int8, Uint8, Int16, Uint16, Int32, Uint32, Float32, Float64 };
enum class PlyEncoding { Ascii, LittleEndian, BigEndian };

struct PlyProperty {
  std::string Name;
  bool List = false;
  PlyType Type = PlyType::Float32; // of the value, or of a list's items
  PlyType CountType = PlyType::Uint8;
};

struct PlyElement {
  std::string Name;
  std::uint64_t Count = 0;
  std::vector<PlyProperty> Properties;
};

struct PlyHeader {
  PlyEncoding Encoding = PlyEncoding::Ascii;
  std::vector<PlyElement> Elements;
  std::size_t DataStart = 0; // bytes of the header
};

std::size_t SizeOf(PlyType type) {
  switch (type) {
  case PlyType::Int8:
  case PlyType::Uint8:
    return 1;
  case PlyType::Int16:
  case PlyType::Uint16:
    return 2;
  case PlyType::Int32:
  case PlyType::Uint32:
  case PlyType::Float32:
    return 4;
  case PlyType::Float64:
    return 8;
  }
  return 0;
}

bool IsInteger(PlyType type) {
  return type != PlyType::Float32 && type != PlyType::Float64;
}

bool ParseType(std::string_view word, PlyType& type) {
  static const struct {
    const char* Name;
    PlyType Type;
  } names[] = {
      {"char", PlyType::Int8},      {"int8", PlyType::Int8},       {"uchar", PlyType::Uint8},
      {"uint8", PlyType::Uint8},    {"short", PlyType::Int16},     {"int16", PlyType::Int16},
      {"ushort", PlyType::Uint16},  {"uint16", PlyType::Uint16},   {"int", PlyType::Int32},
      {"int32", PlyType::Int32},    {"uint", PlyType::Uint32},     {"uint32", PlyType::Uint32},
      {"float", PlyType::Float32},  {"float32", PlyType::Float32}, {"double", PlyType::Float64},
      {"float64", PlyType::Float64}};
  for (const auto& n : names) {
    if (word == n.Name) {
      type = n.Type;
      return true;
    }
  }
  return false;
}

// The whitespace-separated words of one header line.
std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) {
      ++at;
    }
    const std::size_t start = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r') {
      ++at;
    }
    if (at > start) {
      words.push_back(line.substr(start, at - start));
    }
  }
  return words;
}

Result HeaderFailure(std::size_t line, const std::string& what) {
  return Result::Failure(ErrorCode::Malformed, "header line " + std::to_string(line) + ": " + what);
}

Result ParseHeader(std::string_view text, PlyHeader& header) {
  // The longest header any writer makes is a few kilobytes; a file without "end_header" in its
  // first megabyte is not a PLY file.
  constexpr std::size_t LongestHeader = std::size_t(1) << 20;
  std::size_t at = 0;
  std::size_t lineNumber = 0;
  bool haveFormat = false;
  // Names seen, looked up in constant time: a header of tens of thousands of elements is a
  // megabyte, and comparing each with all before took seconds.
  std::unordered_set<std::string_view> elementNames, propertyNames;
  while (true) {
    if (at >= text.size()) {
      return Result::Failure(ErrorCode::Truncated, "the header has no \"end_header\" line");
    }
    if (at > LongestHeader) {
      return Result::Failure(ErrorCode::Malformed,
                             "the header has no \"end_header\" line in its first megabyte");
    }
    const std::size_t newline = text.find('\n', at);
    if (newline == std::string_view::npos) {
      return Result::Failure(ErrorCode::Truncated, "the header has no \"end_header\" line");
    }
    const std::string_view line = text.substr(at, newline - at);
    at = newline + 1;
    ++lineNumber;
    const std::vector<std::string_view> words = SplitWords(line);
    if (lineNumber == 1) {
      if (words.size() != 1 || words[0] != "ply") {
        return Result::Failure(ErrorCode::Malformed,
                               "not a PLY file: it does not start with a \"ply\" line");
      }
      continue;
    }
    if (words.empty()) {
      return HeaderFailure(lineNumber, "an empty line");
    }
    const std::string_view keyword = words[0];
    if (keyword == "comment" || keyword == "obj_info") {
      continue;
    }
    if (keyword == "format") {
      if (haveFormat) {
        return HeaderFailure(lineNumber, "a second \"format\" line");
      }
      if (words.size() != 3 || words[2] != "1.0") {
        return HeaderFailure(lineNumber, "\"format ENCODING 1.0\" expected");
      }
      if (words[1] == "ascii") {
        header.Encoding = PlyEncoding::Ascii;
      } else if (words[1] == "binary_little_endian") {
        header.Encoding = PlyEncoding::LittleEndian;
      } else if (words[1] == "binary_big_endian") {
        header.Encoding = PlyEncoding::BigEndian;
      } else {
        return HeaderFailure(lineNumber, "unknown encoding " + formats::QuoteToken(words[1]));
      }
      haveFormat = true;
      continue;
    }
    if (!haveFormat) {
      return HeaderFailure(lineNumber,
                           "\"format\" expected before " + formats::QuoteToken(keyword));
    }
    if (keyword == "element") {
      std::int64_t count = 0;
      if (words.size() != 3 || !formats::ParseInteger(words[2], count) || count < 0) {
        return HeaderFailure(lineNumber, "\"element NAME COUNT\" expected");
      }
      if (!elementNames.insert(words[1]).second) {
        return HeaderFailure(lineNumber, "a second element " + formats::QuoteToken(words[1]));
      }
      propertyNames.clear();
      PlyElement element;
      element.Name = std::string(words[1]);
      element.Count = static_cast<std::uint64_t>(count);
      header.Elements.push_back(std::move(element));
      continue;
    }
    if (keyword == "property") {
      if (header.Elements.empty()) {
        return HeaderFailure(lineNumber, "a property before any element");
      }
      PlyProperty property;
      if (words.size() == 5 && words[1] == "list") {
        property.List = true;
        if (!ParseType(words[2], property.CountType) || !ParseType(words[3], property.Type)) {
          return HeaderFailure(lineNumber, "unknown type in a list property");
        }
        if (!IsInteger(property.CountType)) {
          return HeaderFailure(lineNumber, "a list's count type must be an integer type");
        }
        property.Name = std::string(words[4]);
      } else if (words.size() == 3 && words[1] != "list") {
        if (!ParseType(words[1], property.Type)) {
          return HeaderFailure(lineNumber, "unknown type " + formats::QuoteToken(words[1]));
        }
        property.Name = std::string(words[2]);
      } else {
        return HeaderFailure(lineNumber, "\"property TYPE NAME\" or \"property list COUNTTYPE "
                                         "TYPE NAME\" expected");
      }
      PlyElement& element = header.Elements.back();
      if (!propertyNames.insert(words.back()).second) {
        return HeaderFailure(lineNumber,
                             "a second property " + formats::QuoteToken(property.Name));
      }
      element.Properties.push_back(std::move(property));
      continue;
    }
    if (keyword == "end_header") {
      if (words.size() != 1) {
        return HeaderFailure(lineNumber, "text after \"end_header\"");
      }
      header.DataStart = at;
      if (!haveFormat) {
        return HeaderFailure(lineNumber, "no \"format\" line");
      }
      return Result::Success();
    }
    return HeaderFailure(lineNumber, "unknown keyword " + formats::QuoteToken(keyword));
  }
}

// Where the model's parts are in the header.
struct PlyLayout {
  std::size_t VertexElement = 0;
  std::size_t Coordinate[3] = {0, 0, 0}; // property indices of x, y, z
  std::size_t FaceElement = 0;
  std::size_t FaceIndices = 0;
  bool DoublePoints = false;
};

Result FindLayout(const PlyHeader& header, PlyLayout& layout) {
  bool vertex = false;
  bool face = false;
  for (std::size_t e = 0; e < header.Elements.size(); ++e) {
    const PlyElement& element = header.Elements[e];
    if (element.Name == "vertex") {
      vertex = true;
      layout.VertexElement = e;
      static const char* const axes[3] = {"x", "y", "z"};
      for (int k = 0; k < 3; ++k) {
        bool found = false;
        for (std::size_t p = 0; p < element.Properties.size(); ++p) {
          const PlyProperty& property = element.Properties[p];
          if (property.Name == axes[k]) {
            if (property.List) {
              return Result::Failure(ErrorCode::Unsupported,
                                     std::string("the vertex property ") + axes[k] + " is a list");
            }
            layout.Coordinate[k] = p;
            layout.DoublePoints |= property.Type == PlyType::Float64 ||
                                   property.Type == PlyType::Int32 ||
                                   property.Type == PlyType::Uint32;
            found = true;
          }
        }
        if (!found) {
          return Result::Failure(ErrorCode::Malformed,
                                 std::string("the vertex element has no property ") + axes[k]);
        }
      }
    } else if (element.Name == "face") {
      face = true;
      layout.FaceElement = e;
      bool found = false;
      for (std::size_t p = 0; p < element.Properties.size(); ++p) {
        const PlyProperty& property = element.Properties[p];
        if (property.Name == "vertex_indices" || property.Name == "vertex_index") {
          if (found) {
            return Result::Failure(ErrorCode::Malformed,
                                   "the face element has both vertex_indices and vertex_index");
          }
          if (!property.List || !IsInteger(property.Type)) {
            return Result::Failure(ErrorCode::Malformed, "the face property " + property.Name +
                                                             " is not a list of integers");
          }
          layout.FaceIndices = p;
          found = true;
        }
      }
      if (!found) {
        return Result::Failure(ErrorCode::Malformed, "the face element has no vertex_indices list");
      }
    }
  }
  if (!vertex) {
    return Result::Failure(ErrorCode::NoGeometry, "the file has no vertex element");
  }
  if (!face) {
    return Result::Failure(ErrorCode::NoGeometry, "the file has no face element");
  }
  if (header.Elements[layout.VertexElement].Count == 0 ||
      header.Elements[layout.FaceElement].Count == 0) {
    return Result::Failure(ErrorCode::NoGeometry, "the file declares no vertices or no faces");
  }
  if (header.Elements[layout.VertexElement].Count >
      static_cast<std::uint64_t>(std::numeric_limits<vtkIdType>::max() / 4)) {
    return Result::Failure(ErrorCode::TooLarge, "the file declares too many vertices");
  }
  return Result::Success();
}

// What a reader of element rows fills in: the coordinates and the faces.
class PlyModel {
public:
  PlyModel(const PlyHeader& header, const PlyLayout& layout)
      : Header(header), Layout(layout),
        Vertices(static_cast<vtkIdType>(header.Elements[layout.VertexElement].Count)) {}

  const PlyHeader& Header;
  const PlyLayout& Layout;
  const vtkIdType Vertices;
  vtkSmartPointer<vtkDataArray> Coordinates;
  vtkSmartPointer<vtkIdTypeArray> Offsets;
  vtkSmartPointer<vtkIdTypeArray> Connectivity;

  void AllocateCoordinates() {
    if (this->Layout.DoublePoints) {
      this->Coordinates = vtkSmartPointer<vtkDoubleArray>::New();
    } else {
      this->Coordinates = vtkSmartPointer<vtkFloatArray>::New();
    }
    this->Coordinates->SetNumberOfComponents(3);
    this->Coordinates->SetNumberOfTuples(this->Vertices);
  }

  Result Build(vtkPolyData* output) {
    formats::SetModelPoints(output, this->Coordinates);
    output->SetPolys(formats::MakeCells(this->Offsets, this->Connectivity));
    return Result::Success();
  }
};

bool CoordinateOk(double v) {
  return std::fabs(v) <= static_cast<double>(std::numeric_limits<float>::max());
}

Result BadCoordinate(vtkIdType vertex) {
  return Result::Failure(ErrorCode::BadCoordinate,
                         "vertex " + std::to_string(vertex) +
                             " has a coordinate that is not a finite number in single-precision "
                             "range");
}

Result BadFaceSize(vtkIdType face, std::int64_t size) {
  return Result::Failure(ErrorCode::BadCell, "face " + std::to_string(face) + " has " +
                                                 std::to_string(size) +
                                                 " vertices; a face needs at least 3");
}

Result BadIndex(vtkIdType face, std::int64_t index, vtkIdType vertices) {
  return Result::Failure(ErrorCode::IdOutOfRange,
                         "face " + std::to_string(face) + " names vertex " + std::to_string(index) +
                             ", but there are " + std::to_string(vertices) + " vertices");
}

// ---------------------------------------------------------------------------------------------
// Binary data.

class BinaryData {
public:
  BinaryData(const unsigned char* data, std::size_t size, bool bigEndian)
      : Data(data), Size(size), Swap(bigEndian != (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__)) {}

  std::size_t Remaining() const { return this->Size - this->At; }
  bool Has(std::size_t bytes) const { return bytes <= this->Remaining(); }
  void Skip(std::size_t bytes) { this->At += bytes; }

  // The value of `type` at the cursor (the caller made sure it is there).
  double Real(PlyType type) {
    switch (type) {
    case PlyType::Int8:
      return this->Take<std::int8_t>();
    case PlyType::Uint8:
      return this->Take<std::uint8_t>();
    case PlyType::Int16:
      return this->Take<std::int16_t>();
    case PlyType::Uint16:
      return this->Take<std::uint16_t>();
    case PlyType::Int32:
      return this->Take<std::int32_t>();
    case PlyType::Uint32:
      return this->Take<std::uint32_t>();
    case PlyType::Float32:
      return static_cast<double>(this->Take<float>());
    case PlyType::Float64:
      return this->Take<double>();
    }
    return 0;
  }
  std::int64_t Integer(PlyType type) {
    switch (type) {
    case PlyType::Int8:
      return this->Take<std::int8_t>();
    case PlyType::Uint8:
      return this->Take<std::uint8_t>();
    case PlyType::Int16:
      return this->Take<std::int16_t>();
    case PlyType::Uint16:
      return this->Take<std::uint16_t>();
    case PlyType::Int32:
      return this->Take<std::int32_t>();
    case PlyType::Uint32:
      return this->Take<std::uint32_t>();
    default:
      return -1; // lists of indices and counts are integers: checked in the header
    }
  }

private:
  template <typename T> T Take() {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, this->Data + this->At, sizeof(T));
    if (this->Swap) {
      for (std::size_t i = 0; i < sizeof(T) / 2; ++i) {
        std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
      }
    }
    this->At += sizeof(T);
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }

  const unsigned char* Data;
  std::size_t Size;
  std::size_t At = 0;
  bool Swap;
};

Result Truncated(const PlyElement& element, std::uint64_t row) {
  return Result::Failure(ErrorCode::Truncated, "the data ends in " + element.Name + " " +
                                                   std::to_string(row) + " of " +
                                                   std::to_string(element.Count) + " declared");
}

// Bytes of a row of fixed-size properties, or 0 when the element has a list.
std::size_t FixedRowBytes(const PlyElement& element) {
  std::size_t bytes = 0;
  for (const PlyProperty& p : element.Properties) {
    if (p.List) {
      return 0;
    }
    bytes += SizeOf(p.Type);
  }
  return bytes;
}

// The fewest bytes a row can take: fixed properties whole, lists empty.
std::size_t SmallestRowBytes(const PlyElement& element) {
  std::size_t bytes = 0;
  for (const PlyProperty& p : element.Properties) {
    bytes += p.List ? SizeOf(p.CountType) : SizeOf(p.Type);
  }
  return bytes;
}

template <typename T>
Result BinaryVertices(BinaryData& in, const PlyElement& element, PlyModel& model, T* out) {
  const PlyLayout& layout = model.Layout;
  for (vtkIdType v = 0; v < model.Vertices; ++v) {
    bool ok = true;
    for (std::size_t p = 0; p < element.Properties.size(); ++p) {
      const PlyProperty& property = element.Properties[p];
      const PlyType type = property.Type;
      if (!in.Has(property.List ? SizeOf(property.CountType) : SizeOf(type))) {
        return Truncated(element, static_cast<std::uint64_t>(v));
      }
      if (property.List) {
        const std::int64_t n = in.Integer(property.CountType);
        if (n < 0 || !in.Has(static_cast<std::size_t>(n) * SizeOf(type))) {
          return Truncated(element, static_cast<std::uint64_t>(v));
        }
        in.Skip(static_cast<std::size_t>(n) * SizeOf(type));
        continue;
      }
      int axis = -1;
      for (int k = 0; k < 3; ++k) {
        axis = layout.Coordinate[k] == p ? k : axis;
      }
      if (axis < 0) {
        in.Skip(SizeOf(type));
        continue;
      }
      const double value = in.Real(type);
      ok &= CoordinateOk(value);
      out[3 * v + axis] = static_cast<T>(value);
    }
    if (!ok) {
      return BadCoordinate(v);
    }
  }
  return Result::Success();
}

Result BinaryFaces(BinaryData& in, const PlyElement& element, PlyModel& model) {
  const vtkIdType faces = static_cast<vtkIdType>(element.Count);
  const PlyProperty& indices = element.Properties[model.Layout.FaceIndices];
  model.Offsets = vtkSmartPointer<vtkIdTypeArray>::New();
  model.Offsets->SetNumberOfValues(faces + 1);
  vtkIdType* offsets = model.Offsets->GetPointer(0);
  offsets[0] = 0;
  model.Connectivity = vtkSmartPointer<vtkIdTypeArray>::New();
  // No more indices than the bytes left can hold.
  const vtkIdType room = static_cast<vtkIdType>(in.Remaining() / SizeOf(indices.Type));
  formats::ArrayFiller<vtkIdTypeArray, vtkIdType> ids(model.Connectivity,
                                                      std::min<vtkIdType>(3 * faces, room));
  for (vtkIdType f = 0; f < faces; ++f) {
    for (std::size_t p = 0; p < element.Properties.size(); ++p) {
      const PlyProperty& property = element.Properties[p];
      if (!property.List) {
        if (!in.Has(SizeOf(property.Type))) {
          return Truncated(element, static_cast<std::uint64_t>(f));
        }
        in.Skip(SizeOf(property.Type));
        continue;
      }
      if (!in.Has(SizeOf(property.CountType))) {
        return Truncated(element, static_cast<std::uint64_t>(f));
      }
      const std::int64_t n = in.Integer(property.CountType);
      if (n < 0 || !in.Has(static_cast<std::size_t>(n) * SizeOf(property.Type))) {
        return n < 0 ? Result::Failure(ErrorCode::Malformed,
                                       "face " + std::to_string(f) + " has a negative list size")
                     : Truncated(element, static_cast<std::uint64_t>(f));
      }
      if (p != model.Layout.FaceIndices) {
        in.Skip(static_cast<std::size_t>(n) * SizeOf(property.Type));
        continue;
      }
      if (n < 3) {
        return BadFaceSize(f, n);
      }
      for (std::int64_t k = 0; k < n; ++k) {
        const std::int64_t index = in.Integer(property.Type);
        if (index < 0 || index >= model.Vertices) {
          return BadIndex(f, index, model.Vertices);
        }
        ids.Push(static_cast<vtkIdType>(index));
      }
    }
    offsets[f + 1] = ids.Count();
  }
  ids.Finish();
  return Result::Success();
}

Result ReadBinary(const unsigned char* data, std::size_t size, PlyModel& model) {
  BinaryData in(data, size, model.Header.Encoding == PlyEncoding::BigEndian);
  for (std::size_t e = 0; e < model.Header.Elements.size(); ++e) {
    const PlyElement& element = model.Header.Elements[e];
    // Held against the bytes left before anything is allocated or read.
    const std::size_t smallest = SmallestRowBytes(element);
    if (smallest > 0 && element.Count > in.Remaining() / smallest) {
      return Result::Failure(ErrorCode::Truncated, "the data ends before the " +
                                                       std::to_string(element.Count) + " " +
                                                       element.Name + " rows declared");
    }
    if (e == model.Layout.VertexElement) {
      model.AllocateCoordinates();
      Result read =
          model.Layout.DoublePoints
              ? BinaryVertices(in, element, model,
                               vtkDoubleArray::SafeDownCast(model.Coordinates)->GetPointer(0))
              : BinaryVertices(in, element, model,
                               vtkFloatArray::SafeDownCast(model.Coordinates)->GetPointer(0));
      if (!read.Ok()) {
        return read;
      }
    } else if (e == model.Layout.FaceElement) {
      if (Result read = BinaryFaces(in, element, model); !read.Ok()) {
        return read;
      }
    } else if (const std::size_t fixed = FixedRowBytes(element); fixed > 0 || smallest == 0) {
      in.Skip(fixed * element.Count);
    } else {
      for (std::uint64_t row = 0; row < element.Count; ++row) {
        for (const PlyProperty& p : element.Properties) {
          if (!in.Has(p.List ? SizeOf(p.CountType) : SizeOf(p.Type))) {
            return Truncated(element, row);
          }
          if (!p.List) {
            in.Skip(SizeOf(p.Type));
            continue;
          }
          const std::int64_t n = in.Integer(p.CountType);
          if (n < 0 || !in.Has(static_cast<std::size_t>(n) * SizeOf(p.Type))) {
            return Truncated(element, row);
          }
          in.Skip(static_cast<std::size_t>(n) * SizeOf(p.Type));
        }
      }
    }
  }
  // A line end some writers put after the data is no data.
  const std::string_view rest(reinterpret_cast<const char*>(data) + (size - in.Remaining()),
                              in.Remaining());
  if (rest.find_first_not_of(" \t\r\n") != std::string_view::npos) {
    return Result::Failure(ErrorCode::Malformed,
                           std::to_string(in.Remaining()) +
                               " bytes follow the last element the header declares");
  }
  return Result::Success();
}

// ---------------------------------------------------------------------------------------------
// ASCII data: whitespace-separated values, rows in the order of the header.

class AsciiData {
public:
  explicit AsciiData(std::string_view text) : Text(text) {}

  // The next value, or an empty view at the end of the data.
  std::string_view Next() {
    while (this->At < this->Text.size() && IsSpace(this->Text[this->At])) {
      ++this->At;
    }
    const std::size_t start = this->At;
    while (this->At < this->Text.size() && !IsSpace(this->Text[this->At])) {
      ++this->At;
    }
    return this->Text.substr(start, this->At - start);
  }
  std::size_t Remaining() const { return this->Text.size() - this->At; }

private:
  static bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
  }
  std::string_view Text;
  std::size_t At = 0;
};

bool IntegerFits(PlyType type, std::int64_t v) {
  switch (type) {
  case PlyType::Int8:
    return v >= -128 && v <= 127;
  case PlyType::Uint8:
    return v >= 0 && v <= 255;
  case PlyType::Int16:
    return v >= -32768 && v <= 32767;
  case PlyType::Uint16:
    return v >= 0 && v <= 65535;
  case PlyType::Int32:
    return v >= std::numeric_limits<std::int32_t>::min() &&
           v <= std::numeric_limits<std::int32_t>::max();
  case PlyType::Uint32:
    return v >= 0 && v <= std::numeric_limits<std::uint32_t>::max();
  default:
    return true;
  }
}

class AsciiReader {
public:
  AsciiReader(std::string_view text, PlyModel& model) : In(text), Model(model) {}

  Result Read() {
    for (std::size_t e = 0; e < this->Model.Header.Elements.size(); ++e) {
      const PlyElement& element = this->Model.Header.Elements[e];
      // Every value takes at least one character and one separator.
      const std::size_t smallest = element.Properties.size();
      if (smallest == 0) {
        // Rows without properties take no text, however many are declared.
        continue;
      }
      if (element.Count > (this->In.Remaining() + 1) / (2 * smallest)) {
        return Result::Failure(ErrorCode::Truncated, "the data ends before the " +
                                                         std::to_string(element.Count) + " " +
                                                         element.Name + " rows declared");
      }
      if (e == this->Model.Layout.VertexElement) {
        this->Model.AllocateCoordinates();
      }
      if (e == this->Model.Layout.FaceElement) {
        this->Model.Offsets = vtkSmartPointer<vtkIdTypeArray>::New();
        this->Model.Offsets->SetNumberOfValues(static_cast<vtkIdType>(element.Count) + 1);
        this->Model.Offsets->SetValue(0, 0);
        this->Model.Connectivity = vtkSmartPointer<vtkIdTypeArray>::New();
      }
      formats::ArrayFiller<vtkIdTypeArray, vtkIdType> ids(
          e == this->Model.Layout.FaceElement ? this->Model.Connectivity.Get()
                                              : this->Scratch.Get(),
          e == this->Model.Layout.FaceElement
              ? std::min<vtkIdType>(3 * static_cast<vtkIdType>(element.Count),
                                    static_cast<vtkIdType>(this->In.Remaining() / 2 + 1))
              : 16);
      for (std::uint64_t row = 0; row < element.Count; ++row) {
        if (Result r = this->Row(e, element, static_cast<vtkIdType>(row), ids); !r.Ok()) {
          return r;
        }
      }
      if (e == this->Model.Layout.FaceElement) {
        ids.Finish();
      }
    }
    if (const std::string_view extra = this->In.Next(); !extra.empty()) {
      return Result::Failure(ErrorCode::Malformed,
                             "data follows the last element the header declares: " +
                                 formats::QuoteToken(extra));
    }
    return Result::Success();
  }

private:
  Result Value(const PlyElement& element, vtkIdType row, PlyType type, double& value) {
    const std::string_view word = this->In.Next();
    if (word.empty()) {
      return Truncated(element, static_cast<std::uint64_t>(row));
    }
    if (IsInteger(type)) {
      std::int64_t integer = 0;
      if (!formats::ParseInteger(word, integer)) {
        double real = 0;
        if (!formats::ParseReal(word, real) || std::floor(real) != real || std::fabs(real) > 1e18) {
          return Result::Failure(ErrorCode::Malformed, element.Name + " " + std::to_string(row) +
                                                           ": " + formats::QuoteToken(word) +
                                                           " is not an integer");
        }
        integer = static_cast<std::int64_t>(real);
      }
      if (!IntegerFits(type, integer)) {
        return Result::Failure(ErrorCode::Malformed, element.Name + " " + std::to_string(row) +
                                                         ": " + formats::QuoteToken(word) +
                                                         " is outside its declared type");
      }
      value = static_cast<double>(integer);
      return Result::Success();
    }
    if (!formats::ParseReal(word, value)) {
      return Result::Failure(ErrorCode::Malformed, element.Name + " " + std::to_string(row) + ": " +
                                                       formats::QuoteToken(word) +
                                                       " is not a number");
    }
    return Result::Success();
  }

  Result Row(std::size_t e, const PlyElement& element, vtkIdType row,
             formats::ArrayFiller<vtkIdTypeArray, vtkIdType>& ids) {
    const PlyLayout& layout = this->Model.Layout;
    for (std::size_t p = 0; p < element.Properties.size(); ++p) {
      const PlyProperty& property = element.Properties[p];
      double value = 0;
      if (!property.List) {
        if (Result r = this->Value(element, row, property.Type, value); !r.Ok()) {
          return r;
        }
        if (e == layout.VertexElement) {
          for (int k = 0; k < 3; ++k) {
            if (layout.Coordinate[k] == p) {
              if (!CoordinateOk(value)) {
                return BadCoordinate(row);
              }
              this->Model.Coordinates->SetComponent(row, k, value);
            }
          }
        }
        continue;
      }
      if (Result r = this->Value(element, row, property.CountType, value); !r.Ok()) {
        return r;
      }
      const auto n = static_cast<std::int64_t>(value);
      if (n < 0) {
        return Result::Failure(ErrorCode::Malformed, element.Name + " " + std::to_string(row) +
                                                         " has a negative list size");
      }
      const bool faceIndices = e == layout.FaceElement && p == layout.FaceIndices;
      if (faceIndices && n < 3) {
        return BadFaceSize(row, n);
      }
      if (static_cast<std::uint64_t>(n) > (this->In.Remaining() + 1) / 2) {
        return Truncated(element, static_cast<std::uint64_t>(row));
      }
      for (std::int64_t k = 0; k < n; ++k) {
        if (Result r = this->Value(element, row, property.Type, value); !r.Ok()) {
          return r;
        }
        if (faceIndices) {
          const auto index = static_cast<std::int64_t>(value);
          if (index < 0 || index >= this->Model.Vertices) {
            return BadIndex(row, index, this->Model.Vertices);
          }
          ids.Push(static_cast<vtkIdType>(index));
        }
      }
      if (faceIndices) {
        this->Model.Offsets->SetValue(row + 1, ids.Count());
      }
    }
    return Result::Success();
  }

  AsciiData In;
  PlyModel& Model;
  vtkSmartPointer<vtkIdTypeArray> Scratch = vtkSmartPointer<vtkIdTypeArray>::New();
};

} // namespace

Result ReadPlyModelBytes(const char* data, std::size_t size, vtkPolyData* output) {
  output->Initialize();
  if (size == 0) {
    return Result::Failure(ErrorCode::Malformed, "the file is empty");
  }
  std::string_view text(data, size);
  text.remove_prefix(formats::Utf8BomLength(text));
  PlyHeader header;
  if (Result read = ParseHeader(text, header); !read.Ok()) {
    return read;
  }
  PlyLayout layout;
  if (Result read = FindLayout(header, layout); !read.Ok()) {
    return read;
  }
  PlyModel model(header, layout);
  const std::string_view body = text.substr(header.DataStart);
  Result read =
      header.Encoding == PlyEncoding::Ascii
          ? AsciiReader(body, model).Read()
          : ReadBinary(reinterpret_cast<const unsigned char*>(body.data()), body.size(), model);
  if (read.Ok()) {
    read = model.Build(output);
  }
  if (!read.Ok()) {
    output->Initialize();
  }
  return read;
}

Result ReadPlyModel(const std::string& path, vtkPolyData* output) {
  formats::ModelFileBytes bytes;
  if (Result read = formats::ReadModelBytes(path, bytes); !read.Ok()) {
    output->Initialize();
    return read;
  }
  return ReadPlyModelBytes(bytes.Data(), bytes.Size(), output);
}

} // namespace selvane
