#include "OffModelReader.h"

#include "ModelReaderSupport.h"
#include "ModelTextLines.h"

#include <vtkDoubleArray.h>
#include <vtkPolyData.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

namespace selvane {

namespace {

// What the header keyword says each vertex line carries after x y z.
struct OffVariant {
  bool Texture = false; // ST: u v
  bool Colour = false;  // C: r g b [a]
  bool Normal = false;  // N: nx ny nz
};

// Reads "[ST][C][N]OFF"; false when the word is not such a keyword.
bool ParseKeyword(std::string_view word, OffVariant& variant, std::string& refusal) {
  if (word.size() < 3 || word.substr(word.size() - 3) != "OFF") {
    return false;
  }
  std::string_view prefix = word.substr(0, word.size() - 3);
  if (prefix.substr(0, 2) == "ST") {
    variant.Texture = true;
    prefix.remove_prefix(2);
  }
  if (!prefix.empty() && prefix.front() == 'C') {
    variant.Colour = true;
    prefix.remove_prefix(1);
  }
  if (!prefix.empty() && prefix.front() == 'N') {
    variant.Normal = true;
    prefix.remove_prefix(1);
  }
  if (!prefix.empty() && (prefix.front() == '4' || prefix.front() == 'n')) {
    refusal = "4-dimensional and n-dimensional OFF files are not supported";
    return true;
  }
  if (!prefix.empty()) {
    return false;
  }
  return true;
}

class OffReader {
public:
  explicit OffReader(std::string_view text) : In(text) {}

  Result Read(vtkPolyData* output) {
    if (!this->In.NextLine()) {
      return Result::Failure(ErrorCode::Malformed, "the file is empty");
    }
    std::string_view word = this->In.NextWord();
    std::string refusal;
    std::int64_t first = 0;
    if (ParseKeyword(word, this->Variant, refusal)) {
      if (!refusal.empty()) {
        return Result::Failure(ErrorCode::Unsupported, refusal);
      }
      word = this->In.NextWord();
      if (word == "BINARY") {
        return Result::Failure(ErrorCode::Unsupported, "binary OFF files are not supported");
      }
      if (word.empty()) {
        // The counts stand on the next line.
        if (!this->In.NextLine()) {
          return Result::Failure(ErrorCode::Truncated,
                                 "the file ends before the vertex and face counts");
        }
        word = this->In.NextWord();
      }
    } else if (!formats::ParseInteger(word, first)) {
      return Result::Failure(ErrorCode::Malformed, "not an OFF file: it starts with " +
                                                       formats::QuoteToken(word) + ", not \"OFF\"");
    }
    if (Result counts = this->Counts(word); !counts.Ok()) {
      return counts;
    }
    auto xyz = vtkSmartPointer<vtkDoubleArray>::New();
    xyz->SetNumberOfComponents(3);
    xyz->SetNumberOfTuples(this->Vertices);
    double* coordinates = xyz->GetPointer(0);
    for (vtkIdType v = 0; v < this->Vertices; ++v) {
      if (Result vertex = this->Vertex(v, coordinates + 3 * v); !vertex.Ok()) {
        return vertex;
      }
    }
    auto offsets = vtkSmartPointer<vtkIdTypeArray>::New();
    offsets->SetNumberOfValues(this->Faces + 1);
    vtkIdType* offset = offsets->GetPointer(0);
    offset[0] = 0;
    auto connectivity = vtkSmartPointer<vtkIdTypeArray>::New();
    formats::ArrayFiller<vtkIdTypeArray, vtkIdType> ids(
        connectivity,
        std::min<vtkIdType>(3 * this->Faces, static_cast<vtkIdType>(this->In.Remaining() / 2 + 1)));
    for (vtkIdType f = 0; f < this->Faces; ++f) {
      if (Result face = this->Face(f, ids); !face.Ok()) {
        return face;
      }
      offset[f + 1] = ids.Count();
    }
    ids.Finish();
    if (this->In.NextLine()) {
      return this->Fail(ErrorCode::Malformed,
                        "more lines than the " + std::to_string(this->Vertices) + " vertices and " +
                            std::to_string(this->Faces) + " faces the file declares");
    }
    formats::SetModelPoints(output, xyz);
    output->SetPolys(formats::MakeCells(offsets, connectivity));
    return Result::Success();
  }

private:
  Result Fail(ErrorCode problem, const std::string& what) {
    return Result::Failure(problem, "line " + std::to_string(this->In.LineNumber()) + ": " + what);
  }

  Result Counts(std::string_view word) {
    std::int64_t values[3] = {0, 0, 0};
    int n = 0;
    for (; !word.empty(); word = this->In.NextWord(), ++n) {
      if (n == 3 || !formats::ParseInteger(word, values[n]) || values[n] < 0) {
        return this->Fail(ErrorCode::Malformed,
                          "\"VERTICES FACES EDGES\" expected, found " + formats::QuoteToken(word));
      }
    }
    if (n < 2) {
      return this->Fail(ErrorCode::Malformed, "the vertex and face counts are missing");
    }
    if (values[0] == 0 || values[1] == 0) {
      return Result::Failure(ErrorCode::NoGeometry, "the file declares no vertices or no faces");
    }
    // A vertex line takes at least 6 bytes ("0 0 0\n"), a face line at least 8 ("3 0 1 2\n").
    const std::uint64_t room = this->In.Remaining();
    if (static_cast<std::uint64_t>(values[0]) > room / 6 + 1 ||
        static_cast<std::uint64_t>(values[1]) > room / 8 + 1 ||
        static_cast<std::uint64_t>(values[0]) * 6 + static_cast<std::uint64_t>(values[1]) * 8 >
            room + 14) {
      return Result::Failure(ErrorCode::Truncated,
                             std::to_string(values[0]) + " vertices and " +
                                 std::to_string(values[1]) + " faces declared, more than the " +
                                 std::to_string(room) + " bytes that follow can hold");
    }
    this->Vertices = static_cast<vtkIdType>(values[0]);
    this->Faces = static_cast<vtkIdType>(values[1]);
    return Result::Success();
  }

  bool TailAllowed(int extra) const {
    if (!this->Variant.Texture && !this->Variant.Colour && !this->Variant.Normal) {
      // Plain OFF files in the wild carry normals or colours without saying so.
      return extra == 0 || extra == 3 || extra == 4;
    }
    const int fixed = (this->Variant.Normal ? 3 : 0) + (this->Variant.Texture ? 2 : 0);
    if (this->Variant.Colour) {
      return extra == fixed + 3 || extra == fixed + 4 || extra == fixed + 1;
    }
    return extra == fixed;
  }

  Result Vertex(vtkIdType v, double* xyz) {
    if (!this->In.NextLine()) {
      return Result::Failure(ErrorCode::Truncated, "the file ends at vertex " + std::to_string(v) +
                                                       " of " + std::to_string(this->Vertices));
    }
    int count = 0;
    for (std::string_view word = this->In.NextWord(); !word.empty();
         word = this->In.NextWord(), ++count) {
      double value = 0;
      if (!formats::ParseReal(word, value)) {
        return this->Fail(ErrorCode::Malformed, "vertex " + std::to_string(v) + ": " +
                                                    formats::QuoteToken(word) + " is not a number");
      }
      if (count < 3) {
        if (!(std::fabs(value) <= static_cast<double>(std::numeric_limits<float>::max()))) {
          return this->Fail(ErrorCode::BadCoordinate,
                            "vertex " + std::to_string(v) + ": the coordinate " +
                                formats::QuoteToken(word) +
                                " is not a finite number in single-precision range");
        }
        xyz[count] = value;
      }
    }
    if (count < 3) {
      return this->Fail(ErrorCode::Malformed, "vertex " + std::to_string(v) + " has " +
                                                  std::to_string(count) +
                                                  " numbers; x y z expected");
    }
    if (!this->TailAllowed(count - 3)) {
      return this->Fail(ErrorCode::Malformed, "vertex " + std::to_string(v) + " has " +
                                                  std::to_string(count) +
                                                  " numbers, which this OFF variant does not have");
    }
    return Result::Success();
  }

  Result Face(vtkIdType f, formats::ArrayFiller<vtkIdTypeArray, vtkIdType>& ids) {
    if (!this->In.NextLine()) {
      return Result::Failure(ErrorCode::Truncated, "the file ends at face " + std::to_string(f) +
                                                       " of " + std::to_string(this->Faces));
    }
    const std::string_view sizeWord = this->In.NextWord();
    std::int64_t size = 0;
    if (!formats::ParseInteger(sizeWord, size)) {
      return this->Fail(ErrorCode::Malformed, "face " + std::to_string(f) + ": " +
                                                  formats::QuoteToken(sizeWord) +
                                                  " is not a vertex count");
    }
    if (size < 3) {
      return this->Fail(ErrorCode::BadCell, "face " + std::to_string(f) + " has " +
                                                std::to_string(size) +
                                                " vertices; a face needs at least 3");
    }
    for (std::int64_t k = 0; k < size; ++k) {
      const std::string_view word = this->In.NextWord();
      std::int64_t index = 0;
      if (word.empty()) {
        return this->Fail(ErrorCode::Truncated, "face " + std::to_string(f) + " declares " +
                                                    std::to_string(size) + " vertices but lists " +
                                                    std::to_string(k));
      }
      if (!formats::ParseInteger(word, index)) {
        return this->Fail(ErrorCode::Malformed, "face " + std::to_string(f) + ": " +
                                                    formats::QuoteToken(word) +
                                                    " is not a vertex index");
      }
      if (index < 0 || index >= this->Vertices) {
        return this->Fail(ErrorCode::IdOutOfRange,
                          "face " + std::to_string(f) + " names vertex " + std::to_string(index) +
                              ", but there are " + std::to_string(this->Vertices) + " vertices");
      }
      ids.Push(static_cast<vtkIdType>(index));
    }
    // A colour may follow: a colour-map index, or 3 or 4 components.
    int extra = 0;
    for (std::string_view word = this->In.NextWord(); !word.empty();
         word = this->In.NextWord(), ++extra) {
      double value = 0;
      if (!formats::ParseReal(word, value) || extra == 4) {
        return this->Fail(ErrorCode::Malformed, "face " + std::to_string(f) +
                                                    " has more than its " + std::to_string(size) +
                                                    " indices and a colour");
      }
    }
    return Result::Success();
  }

  formats::ModelTextLines In;
  OffVariant Variant;
  vtkIdType Vertices = 0;
  vtkIdType Faces = 0;
};

} // namespace

Result ReadOffModelBytes(const char* data, std::size_t size, vtkPolyData* output) {
  output->Initialize();
  Result read = OffReader(std::string_view(data, size)).Read(output);
  if (!read.Ok()) {
    output->Initialize();
  }
  return read;
}

Result ReadOffModel(const std::string& path, vtkPolyData* output) {
  formats::ModelFileBytes bytes;
  if (Result read = formats::ReadModelBytes(path, bytes); !read.Ok()) {
    output->Initialize();
    return read;
  }
  return ReadOffModelBytes(bytes.Data(), bytes.Size(), output);
}

} // namespace selvane
