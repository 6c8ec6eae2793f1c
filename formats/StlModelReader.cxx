#include "StlModelReader.h"

#include "InputFile.h"
#include "ModelReaderSupport.h"
#include "TextLines.h"

#include <vtkFloatArray.h>
#include <vtkPolyData.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

namespace selvane {

namespace {

constexpr std::size_t HeaderBytes = 84;
constexpr std::size_t TriangleBytes = 50;

std::uint32_t LittleUint32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

[[maybe_unused]] float LittleFloat(const unsigned char* p) {
  const std::uint32_t bits = LittleUint32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool InFloatRange(float v) {
  return v >= -std::numeric_limits<float>::max() && v <= std::numeric_limits<float>::max();
}

// The model of triangles * 3 points with coordinates `xyz`, each triangle its own points.
void BuildTriangles(vtkFloatArray* xyz, vtkIdType triangles, vtkPolyData* output) {
  formats::SetModelPoints(output, xyz);
  output->SetPolys(formats::SequentialCells(triangles, 3));
}

Result ReadBinary(const unsigned char* data, std::uint32_t count, vtkPolyData* output) {
  if (count == 0) {
    return Result::Failure(ErrorCode::NoGeometry, "the binary STL file holds no triangles");
  }
  const vtkIdType triangles = count;
  auto xyz = vtkSmartPointer<vtkFloatArray>::New();
  xyz->SetNumberOfComponents(3);
  xyz->SetNumberOfTuples(3 * triangles);
  float* out = xyz->GetPointer(0);
  const unsigned char* record = data + HeaderBytes;
  bool finite = true;
  for (vtkIdType t = 0; t < triangles; ++t, record += TriangleBytes) {
    // The normal (12 bytes) and the attribute count (2 bytes) are not used.
    if constexpr (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) {
      std::memcpy(out, record + 12, 36);
    } else {
      for (int k = 0; k < 9; ++k) {
        out[k] = LittleFloat(record + 12 + 4 * k);
      }
    }
    for (int k = 0; k < 9; ++k) {
      finite &= InFloatRange(out[k]);
    }
    out += 9;
  }
  if (!finite) {
    // Found again only on the way out: the loop above stays branch-free.
    const float* v = xyz->GetPointer(0);
    for (vtkIdType i = 0; i < 9 * triangles; ++i) {
      if (!InFloatRange(v[i])) {
        return Result::Failure(ErrorCode::BadCoordinate,
                               "triangle " + std::to_string(i / 9) +
                                   " has a coordinate that is not a finite number");
      }
    }
  }
  BuildTriangles(xyz, triangles, output);
  return Result::Success();
}

// Words of an ASCII STL file, with the number of the line each is on.
class Words {
public:
  explicit Words(std::string_view text) : Text(text) {}
  // The next word, or an empty view at the end.
  std::string_view Next() {
    while (this->At < this->Text.size()) {
      const char c = this->Text[this->At];
      if (c == '\n') {
        ++this->Line;
      } else if (c != ' ' && c != '\t' && c != '\r' && c != '\f' && c != '\v') {
        break;
      }
      ++this->At;
    }
    const std::size_t start = this->At;
    while (this->At < this->Text.size()) {
      const char c = this->Text[this->At];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        break;
      }
      ++this->At;
    }
    return this->Text.substr(start, this->At - start);
  }
  // Skips the rest of the current line (a solid's name).
  void SkipLine() {
    while (this->At < this->Text.size() && this->Text[this->At] != '\n') {
      ++this->At;
    }
  }
  std::size_t LineNumber() const { return this->Line; }

private:
  std::string_view Text;
  std::size_t At = 0;
  std::size_t Line = 1;
};

bool SameWord(std::string_view word, std::string_view keyword) {
  return word.size() == keyword.size() &&
         std::equal(word.begin(), word.end(), keyword.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

class AsciiStl {
public:
  explicit AsciiStl(std::string_view text) : In(text) {}

  Result Read(vtkPolyData* output) {
    auto xyz = vtkSmartPointer<vtkFloatArray>::New();
    xyz->SetNumberOfComponents(3);
    formats::ArrayFiller<vtkFloatArray, float> coordinates(xyz, 4096);
    bool solid = false;
    for (std::string_view word = this->In.Next(); !word.empty(); word = this->In.Next()) {
      if (!solid) {
        if (!SameWord(word, "solid")) {
          return this->Fail(ErrorCode::Malformed,
                            "\"solid\" expected, found " + formats::QuoteToken(word));
        }
        this->In.SkipLine();
        solid = true;
        ++this->Solids;
        continue;
      }
      if (SameWord(word, "endsolid")) {
        this->In.SkipLine();
        solid = false;
        continue;
      }
      if (!SameWord(word, "facet")) {
        return this->Fail(ErrorCode::Malformed,
                          "\"facet\" or \"endsolid\" expected, found " + formats::QuoteToken(word));
      }
      if (Result facet = this->Facet(coordinates); !facet.Ok()) {
        return facet;
      }
    }
    if (this->Solids == 0) {
      return Result::Failure(ErrorCode::Malformed, "the file is empty");
    }
    if (solid) {
      return Result::Failure(ErrorCode::Truncated, "the file ends inside a solid, after " +
                                                       std::to_string(this->Facets) +
                                                       " facets (no \"endsolid\")");
    }
    if (this->Facets == 0) {
      return Result::Failure(ErrorCode::NoGeometry, "the ASCII STL file holds no facets");
    }
    coordinates.Finish();
    BuildTriangles(xyz, this->Facets, output);
    return Result::Success();
  }

private:
  Result Fail(ErrorCode problem, const std::string& what) {
    return Result::Failure(problem, "line " + std::to_string(this->In.LineNumber()) + ": " + what);
  }

  // "word", or a refusal naming what came instead (the end of the file: truncated).
  Result Expect(std::string_view keyword) {
    const std::string_view word = this->In.Next();
    if (word.empty()) {
      return this->Fail(ErrorCode::Truncated,
                        "the file ends inside facet " + std::to_string(this->Facets));
    }
    if (!SameWord(word, keyword)) {
      return this->Fail(ErrorCode::Malformed, "\"" + std::string(keyword) + "\" expected, found " +
                                                  formats::QuoteToken(word));
    }
    return Result::Success();
  }

  // Three numbers; coordinates must be finite, a normal (unused) may be anything numeric.
  Result Numbers(double xyz[3], bool coordinate) {
    for (int k = 0; k < 3; ++k) {
      const std::string_view word = this->In.Next();
      if (word.empty()) {
        return this->Fail(ErrorCode::Truncated,
                          "the file ends inside facet " + std::to_string(this->Facets));
      }
      if (!formats::ParseReal(word, xyz[k])) {
        return this->Fail(ErrorCode::Malformed, formats::QuoteToken(word) + " is not a number");
      }
      if (coordinate &&
          !(std::fabs(xyz[k]) <= static_cast<double>(std::numeric_limits<float>::max()))) {
        return this->Fail(ErrorCode::BadCoordinate,
                          "the coordinate " + formats::QuoteToken(word) +
                              " is not a finite number in single-precision range");
      }
    }
    return Result::Success();
  }

  Result Facet(formats::ArrayFiller<vtkFloatArray, float>& coordinates) {
    double values[3];
    Result step = this->Expect("normal");
    if (step.Ok())
      step = this->Numbers(values, false);
    if (step.Ok())
      step = this->Expect("outer");
    if (step.Ok())
      step = this->Expect("loop");
    for (int v = 0; step.Ok() && v < 3; ++v) {
      step = this->Expect("vertex");
      if (step.Ok())
        step = this->Numbers(values, true);
      if (step.Ok()) {
        for (double x : values) {
          coordinates.Push(static_cast<float>(x));
        }
      }
    }
    if (step.Ok()) {
      const std::string_view word = this->In.Next();
      if (SameWord(word, "vertex")) {
        return this->Fail(ErrorCode::BadCell,
                          "facet " + std::to_string(this->Facets) +
                              " has more than 3 vertices; STL facets are triangles");
      }
      if (word.empty()) {
        return this->Fail(ErrorCode::Truncated,
                          "the file ends inside facet " + std::to_string(this->Facets));
      }
      if (!SameWord(word, "endloop")) {
        return this->Fail(ErrorCode::Malformed,
                          "\"endloop\" expected, found " + formats::QuoteToken(word));
      }
      step = this->Expect("endfacet");
    }
    if (step.Ok()) {
      ++this->Facets;
    }
    return step;
  }

  Words In;
  vtkIdType Facets = 0;
  int Solids = 0;
};

// Where the first byte that is not text lies (a control byte other than whitespace); size when
// there is none.
std::size_t FirstNonTextByte(const unsigned char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char c = data[i];
    if (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f' && c != '\v') {
      return i;
    }
  }
  return size;
}

bool LooksLikeText(const unsigned char* data, std::size_t size) {
  return FirstNonTextByte(data, size) == size;
}

bool StartsWithSolid(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  return start != std::string_view::npos && text.size() - start >= 5 &&
         SameWord(text.substr(start, 5), "solid");
}

} // namespace

Result ReadStlModelBytes(const char* data, std::size_t size, vtkPolyData* output) {
  output->Initialize();
  if (size == 0) {
    return Result::Failure(ErrorCode::Malformed, "the file is empty");
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  if (size >= HeaderBytes) {
    const std::uint64_t count = LittleUint32(bytes + 80);
    if (size == HeaderBytes + TriangleBytes * count) {
      Result read = ReadBinary(bytes, static_cast<std::uint32_t>(count), output);
      if (!read.Ok()) {
        output->Initialize();
      }
      return read;
    }
  }
  const std::string_view text =
      std::string_view(data, size).substr(formats::Utf8BomLength(std::string_view(data, size)));
  const std::size_t firstNonText = FirstNonTextByte(bytes, size);
  const bool allText = firstNonText == size;
  if (StartsWithSolid(text) && allText) {
    Result read = AsciiStl(text).Read(output);
    if (!read.Ok()) {
      output->Initialize();
    }
    return read;
  }
  if (allText) {
    return Result::Failure(ErrorCode::Malformed,
                           "not an STL file: text that does not start with \"solid\"");
  }
  // A binary header's triangle count has a zero top byte below 16 million triangles; four text
  // bytes there are the words of an ASCII file with a stray byte further on.
  const bool countIsText = size >= HeaderBytes && LooksLikeText(bytes + 80, 4);
  if (StartsWithSolid(text) && countIsText) {
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", bytes[firstNonText]);
    return Result::Failure(ErrorCode::Malformed,
                           "it starts with \"solid\" as an ASCII STL file does, but byte " +
                               std::to_string(firstNonText) + " (" + byte +
                               ") is not text, and it is no binary STL file either: its size "
                               "does not fit the triangle count of a binary header");
  }
  if (size < HeaderBytes) {
    return Result::Failure(ErrorCode::Truncated,
                           "the file has " + std::to_string(size) +
                               " bytes: too short for a binary STL file (at least 84)");
  }
  const std::uint64_t count = LittleUint32(bytes + 80);
  const std::uint64_t need = HeaderBytes + TriangleBytes * count;
  const double present = static_cast<double>(size - HeaderBytes) / TriangleBytes;
  if (size < need) {
    return Result::Failure(ErrorCode::Truncated, "cut mid-record: " + std::to_string(count) +
                                                     " triangles declared, " +
                                                     formats::DecimalFigure(present) + " present");
  }
  return Result::Failure(ErrorCode::Malformed, "not a binary STL file: " + std::to_string(count) +
                                                   " triangles declared, but the file holds " +
                                                   std::to_string(size - need) +
                                                   " bytes more than they take");
}

Result ReadStlModel(const std::string& path, vtkPolyData* output) {
  formats::ModelFileBytes bytes;
  if (Result read = formats::ReadModelBytes(path, bytes); !read.Ok()) {
    output->Initialize();
    return read;
  }
  return ReadStlModelBytes(bytes.Data(), bytes.Size(), output);
}

} // namespace selvane
