#include "ObjModelReader.h"

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

using IdFiller = formats::ArrayFiller<vtkIdTypeArray, vtkIdType>;

// Cells of one kind: offsets and connectivity grown as the file is read.
struct ObjCells {
  vtkSmartPointer<vtkIdTypeArray> Offsets = vtkSmartPointer<vtkIdTypeArray>::New();
  vtkSmartPointer<vtkIdTypeArray> Connectivity = vtkSmartPointer<vtkIdTypeArray>::New();
  IdFiller OffsetFill{Offsets, 1024};
  IdFiller Ids{Connectivity, 4096};
  ObjCells() { this->OffsetFill.Push(0); }
  void EndCell() { this->OffsetFill.Push(this->Ids.Count()); }
  vtkSmartPointer<vtkCellArray> Finish() {
    this->OffsetFill.Finish();
    this->Ids.Finish();
    if (this->OffsetFill.Count() == 1) {
      return nullptr;
    }
    return formats::MakeCells(this->Offsets, this->Connectivity);
  }
};

// Statements read and ignored: texture coordinates, normals, parameter-space vertices,
// grouping, display and material statements.
bool Ignored(std::string_view keyword) {
  static const char* const ignored[] = {"vt",         "vn",       "vp",     "g",        "o",
                                        "s",          "mg",       "usemtl", "mtllib",   "usemap",
                                        "maplib",     "lod",      "bevel",  "c_interp", "d_interp",
                                        "shadow_obj", "trace_obj"};
  for (const char* name : ignored) {
    if (keyword == name) {
      return true;
    }
  }
  return false;
}

bool FreeForm(std::string_view keyword) {
  static const char* const freeForm[] = {"cstype", "deg",  "bmat",  "step", "curv", "curv2",
                                         "surf",   "parm", "trim",  "hole", "scrv", "sp",
                                         "end",    "con",  "ctech", "stech"};
  for (const char* name : freeForm) {
    if (keyword == name) {
      return true;
    }
  }
  return false;
}

class ObjReader {
public:
  explicit ObjReader(std::string_view text) : In(text) {}

  Result Read(vtkPolyData* output) {
    auto xyz = vtkSmartPointer<vtkDoubleArray>::New();
    xyz->SetNumberOfComponents(3);
    formats::ArrayFiller<vtkDoubleArray, double> coordinates(xyz, 3 * 4096);
    ObjCells verts, lines, polys;
    while (this->In.NextLine()) {
      const std::string_view keyword = this->In.NextWord();
      Result step;
      if (keyword == "v") {
        step = this->Vertex(coordinates);
      } else if (keyword == "f") {
        step = this->Cell(polys, 3, "a face");
      } else if (keyword == "l") {
        step = this->Cell(lines, 2, "a line");
      } else if (keyword == "p") {
        step = this->Cell(verts, 1, "a point statement");
      } else if (keyword == "vt") {
        ++this->TextureCoordinates;
      } else if (keyword == "vn") {
        ++this->Normals;
      } else if (Ignored(keyword)) {
        continue;
      } else if (FreeForm(keyword)) {
        step = this->Fail(ErrorCode::Unsupported, "free-form geometry (" +
                                                      formats::QuoteToken(keyword) +
                                                      ") is not supported");
      } else {
        step =
            this->Fail(ErrorCode::Malformed, "unknown statement " + formats::QuoteToken(keyword));
      }
      if (!step.Ok()) {
        return step;
      }
    }
    if (this->Vertices == 0) {
      return Result::Failure(ErrorCode::NoGeometry, "the file has no vertices");
    }
    coordinates.Finish();
    formats::SetModelPoints(output, xyz);
    vtkSmartPointer<vtkCellArray> v = verts.Finish(), l = lines.Finish(), p = polys.Finish();
    if (!v && !l && !p) {
      return Result::Failure(ErrorCode::NoGeometry,
                             "the file has no faces, lines or points, only vertices");
    }
    if (v) {
      output->SetVerts(v);
    }
    if (l) {
      output->SetLines(l);
    }
    if (p) {
      output->SetPolys(p);
    }
    return Result::Success();
  }

private:
  Result Fail(ErrorCode problem, const std::string& what) {
    return Result::Failure(problem, "line " + std::to_string(this->In.LineNumber()) + ": " + what);
  }

  Result Vertex(formats::ArrayFiller<vtkDoubleArray, double>& coordinates) {
    int count = 0;
    for (std::string_view word = this->In.NextWord(); !word.empty();
         word = this->In.NextWord(), ++count) {
      double value = 0;
      if (!formats::ParseReal(word, value)) {
        return this->Fail(ErrorCode::Malformed, "vertex " + std::to_string(this->Vertices + 1) +
                                                    ": " + formats::QuoteToken(word) +
                                                    " is not a number");
      }
      if (count < 3) {
        if (!(std::fabs(value) <= static_cast<double>(std::numeric_limits<float>::max()))) {
          return this->Fail(ErrorCode::BadCoordinate,
                            "vertex " + std::to_string(this->Vertices + 1) + ": the coordinate " +
                                formats::QuoteToken(word) +
                                " is not a finite number in single-precision range");
        }
        coordinates.Push(value);
      }
    }
    // x y z, then w, or r g b (colours), or w r g b.
    if (count != 3 && count != 4 && count != 6 && count != 7) {
      return this->Fail(count < 3 ? ErrorCode::Truncated : ErrorCode::Malformed,
                        "vertex " + std::to_string(this->Vertices + 1) + " has " +
                            std::to_string(count) +
                            " numbers; x y z, with an optional w and colour, expected");
    }
    ++this->Vertices;
    return Result::Success();
  }

  // An index of the file (from 1, or negative from the last one read) as an ID from 0.
  bool Resolve(std::string_view word, vtkIdType count, vtkIdType& id) const {
    std::int64_t index = 0;
    if (!formats::ParseInteger(word, index) || index == 0) {
      return false;
    }
    id = index > 0 ? static_cast<vtkIdType>(index - 1) : count + static_cast<vtkIdType>(index);
    return id >= 0 && id < count;
  }

  Result Cell(ObjCells& cells, int fewest, const char* what) {
    int n = 0;
    for (std::string_view word = this->In.NextWord(); !word.empty();
         word = this->In.NextWord(), ++n) {
      // v, v/vt, v//vn or v/vt/vn
      const std::size_t slash = word.find('/');
      const std::string_view vertex = word.substr(0, slash);
      vtkIdType id = 0;
      if (!this->Resolve(vertex, this->Vertices, id)) {
        std::int64_t index = 0;
        const bool number = formats::ParseInteger(vertex, index);
        return this->Fail(number ? ErrorCode::IdOutOfRange : ErrorCode::Malformed,
                          std::string(what) + " names vertex " + formats::QuoteToken(vertex) +
                              (number ? ", but " + std::to_string(this->Vertices) +
                                            " vertices are defined before it"
                                      : ", which is not an index"));
      }
      if (slash != std::string_view::npos) {
        const std::string_view rest = word.substr(slash + 1);
        const std::size_t second = rest.find('/');
        const std::string_view texture = rest.substr(0, second);
        vtkIdType unused = 0;
        if (!texture.empty() && !this->Resolve(texture, this->TextureCoordinates, unused)) {
          return this->Fail(
              ErrorCode::IdOutOfRange,
              std::string(what) + " names texture coordinate " + formats::QuoteToken(texture) +
                  ", but " + std::to_string(this->TextureCoordinates) + " are defined before it");
        }
        if (second != std::string_view::npos) {
          const std::string_view normal = rest.substr(second + 1);
          if (!this->Resolve(normal, this->Normals, unused)) {
            return this->Fail(ErrorCode::IdOutOfRange, std::string(what) + " names normal " +
                                                           formats::QuoteToken(normal) + ", but " +
                                                           std::to_string(this->Normals) +
                                                           " are defined before it");
          }
        } else if (texture.empty()) {
          return this->Fail(ErrorCode::Malformed, std::string(what) + " has the vertex " +
                                                      formats::QuoteToken(word) +
                                                      ", which is not v, v/vt, v//vn or v/vt/vn");
        }
      }
      cells.Ids.Push(id);
    }
    if (n < fewest) {
      return this->Fail(fewest == 3 ? ErrorCode::BadCell : ErrorCode::BadCell,
                        std::string(what) + " with " + std::to_string(n) + " vertices; at least " +
                            std::to_string(fewest) + " expected");
    }
    cells.EndCell();
    return Result::Success();
  }

  formats::ModelTextLines In;
  vtkIdType Vertices = 0;
  vtkIdType TextureCoordinates = 0;
  vtkIdType Normals = 0;
};

} // namespace

Result ReadObjModelBytes(const char* data, std::size_t size, vtkPolyData* output) {
  output->Initialize();
  if (size == 0) {
    return Result::Failure(ErrorCode::Malformed, "the file is empty");
  }
  Result read = ObjReader(std::string_view(data, size)).Read(output);
  if (!read.Ok()) {
    output->Initialize();
  }
  return read;
}

Result ReadObjModel(const std::string& path, vtkPolyData* output) {
  formats::ModelFileBytes bytes;
  if (Result read = formats::ReadModelBytes(path, bytes); !read.Ok()) {
    output->Initialize();
    return read;
  }
  return ReadObjModelBytes(bytes.Data(), bytes.Size(), output);
}

} // namespace selvane
