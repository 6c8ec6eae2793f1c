#include "PlainMeshWriters.h"

#include <vtkCellArray.h>
#include <vtkCellArrayIterator.h>
#include <vtkDataArray.h>
#include <vtkDoubleArray.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkTriangleFilter.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace selvane::formats {

namespace {

constexpr bool BigEndianMachine = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

// Collects output and hands it to the stream in large pieces.
class Output {
public:
  explicit Output(const ByteSink& out) : Out(out) { Buffer.reserve(Capacity); }
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Text(std::string_view text) {
    Buffer.append(text);
    Check();
  }
  // v as little-endian bytes, whatever the machine's order.
  template <typename T> void Little(T v) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    if constexpr (BigEndianMachine)
      for (std::size_t i = 0; i < sizeof(T) / 2; ++i)
        std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
    Buffer.append(reinterpret_cast<const char*>(bytes), sizeof(T));
    Check();
  }
  // The shortest text that reads back as exactly v.
  template <typename T> void Exact(T v) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    Buffer.append(text, static_cast<std::size_t>(r.ptr - text));
    Check();
  }
  void Flush() {
    if (!Buffer.empty() && !Failed)
      Failed = !Out(Buffer);
    Buffer.clear();
  }

private:
  void Check() {
    if (Buffer.size() >= Capacity)
      Flush();
  }
  static constexpr std::size_t Capacity = 1 << 20;
  const ByteSink& Out;
  bool Failed = false;
  std::string Buffer;
};

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r')
      c = ' ';
  return text;
}

// "" or the reason a format of polygons only cannot hold data's vertex and line cells.
std::string PolygonsOnly(vtkPolyData* data, const char* format) {
  const vtkIdType verts = data->GetNumberOfVerts(), lines = data->GetNumberOfLines();
  if (verts == 0 && lines == 0)
    return {};
  return std::string(format) + " holds only surfaces, and the model has " + std::to_string(verts) +
         " vertex and " + std::to_string(lines) + " line cells; save it as .vtk, .vtp or .obj";
}

// Calls emit(ids, count) for each polygon, then for each triangle of each strip (every other
// triangle turned so that all face the same way).
template <typename Emit> void ForEachFace(vtkPolyData* data, Emit&& emit) {
  const vtkIdType* ids = nullptr;
  vtkIdType count = 0;
  auto polys = vtk::TakeSmartPointer(data->GetPolys()->NewIterator());
  for (polys->GoToFirstCell(); !polys->IsDoneWithTraversal(); polys->GoToNextCell()) {
    polys->GetCurrentCell(count, ids);
    emit(ids, count);
  }
  auto strips = vtk::TakeSmartPointer(data->GetStrips()->NewIterator());
  for (strips->GoToFirstCell(); !strips->IsDoneWithTraversal(); strips->GoToNextCell()) {
    strips->GetCurrentCell(count, ids);
    for (vtkIdType k = 0; k + 2 < count; ++k) {
      const vtkIdType triangle[3] = {ids[k + (k % 2)], ids[k + 1 - (k % 2)], ids[k + 2]};
      emit(triangle, 3);
    }
  }
}

bool IsDouble(vtkPoints* points) {
  return points && points->GetDataType() == VTK_DOUBLE;
}

} // namespace

Result WriteBinaryStl(vtkPolyData* data, const ByteSink& out, const std::string& header) {
  if (std::string why = PolygonsOnly(data, "STL"); !why.empty())
    return Result::Failure(ErrorCode::Refused, why);
  // Only triangles: polygons of more corners and strips go through VTK's triangulation.
  vtkSmartPointer<vtkPolyData> triangles = data;
  bool onlyTriangles = data->GetNumberOfStrips() == 0;
  auto polys = vtk::TakeSmartPointer(data->GetPolys()->NewIterator());
  for (polys->GoToFirstCell(); onlyTriangles && !polys->IsDoneWithTraversal();
       polys->GoToNextCell())
    onlyTriangles = polys->GetCurrentCell()->GetNumberOfIds() == 3;
  if (!onlyTriangles) {
    vtkNew<vtkTriangleFilter> triangulate;
    triangulate->SetInputData(data);
    triangulate->PassVertsOff();
    triangulate->PassLinesOff();
    triangulate->Update();
    triangles = triangulate->GetOutput();
  }
  const vtkIdType count = triangles->GetNumberOfPolys();
  if (count > static_cast<vtkIdType>(std::numeric_limits<std::uint32_t>::max()))
    return Result::Failure(ErrorCode::Refused,
                           "STL counts triangles in 32 bits, and the model has " +
                               std::to_string(count));

  Output o(out);
  std::string head = OneLine(header).substr(0, 80);
  // A header starting with "solid" makes some programs take the file for ASCII STL.
  if (head.rfind("solid", 0) == 0)
    head.insert(0, "Selvane ");
  head.resize(80, ' ');
  o.Text(head);
  o.Little(static_cast<std::uint32_t>(count));
  vtkPoints* points = triangles->GetPoints();
  std::string refused;
  ForEachFace(triangles, [&](const vtkIdType* ids, vtkIdType n) {
    if (n != 3) {
      refused = "the triangulation left a cell of " + std::to_string(n) + " points";
      return;
    }
    float corner[3][3];
    for (int k = 0; k < 3; ++k) {
      double p[3];
      points->GetPoint(ids[k], p);
      for (int a = 0; a < 3; ++a)
        corner[k][a] = static_cast<float>(p[a]);
    }
    float u[3], v[3], normal[3];
    for (int a = 0; a < 3; ++a) {
      u[a] = corner[1][a] - corner[0][a];
      v[a] = corner[2][a] - corner[0][a];
    }
    normal[0] = u[1] * v[2] - u[2] * v[1];
    normal[1] = u[2] * v[0] - u[0] * v[2];
    normal[2] = u[0] * v[1] - u[1] * v[0];
    const float length =
        std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
    for (float& c : normal) {
      c = length > 0.0f && std::isfinite(length) ? c / length : 0.0f;
      o.Little(c);
    }
    for (const auto& c : corner)
      for (float x : c)
        o.Little(x);
    o.Little(static_cast<std::uint16_t>(0));
  });
  return refused.empty() ? Result::Success() : Result::Failure(ErrorCode::Refused, refused);
}

Result WriteBinaryPly(vtkPolyData* data, const ByteSink& out, const std::string& comment) {
  if (std::string why = PolygonsOnly(data, "PLY"); !why.empty())
    return Result::Failure(ErrorCode::Refused, why);
  const vtkIdType n = data->GetNumberOfPoints();
  if (n > std::numeric_limits<std::int32_t>::max())
    return Result::Failure(ErrorCode::Refused,
                           "PLY indices are 32-bit integers, and the model has " +
                               std::to_string(n) + " points");
  vtkIdType faces = 0, largest = 0;
  ForEachFace(data, [&](const vtkIdType*, vtkIdType count) {
    ++faces;
    largest = std::max(largest, count);
  });
  const bool wide = largest > 255;
  const bool isDouble = IsDouble(data->GetPoints());
  const char* type = isDouble ? "double" : "float";

  Output o(out);
  o.Text("ply\nformat binary_little_endian 1.0\n");
  if (!comment.empty())
    o.Text("comment " + OneLine(comment) + "\n");
  o.Text("element vertex " + std::to_string(n) + "\n");
  for (const char* axis : {"x", "y", "z"})
    o.Text(std::string("property ") + type + " " + axis + "\n");
  o.Text("element face " + std::to_string(faces) + "\n");
  o.Text(wide ? "property list int int vertex_indices\n"
              : "property list uchar int vertex_indices\n");
  o.Text("end_header\n");
  for (vtkIdType i = 0; i < n; ++i) {
    double p[3];
    data->GetPoint(i, p);
    for (double x : p)
      isDouble ? o.Little(x) : o.Little(static_cast<float>(x));
  }
  ForEachFace(data, [&](const vtkIdType* ids, vtkIdType count) {
    wide ? o.Little(static_cast<std::int32_t>(count)) : o.Little(static_cast<std::uint8_t>(count));
    for (vtkIdType k = 0; k < count; ++k)
      o.Little(static_cast<std::int32_t>(ids[k]));
  });
  return Result::Success();
}

Result WriteObjText(vtkPolyData* data, const ByteSink& out, const std::string& comment) {
  Output o(out);
  if (!comment.empty())
    o.Text("# " + OneLine(comment) + "\n");
  const bool isDouble = IsDouble(data->GetPoints());
  const vtkIdType n = data->GetNumberOfPoints();
  for (vtkIdType i = 0; i < n; ++i) {
    double p[3];
    data->GetPoint(i, p);
    o.Text("v");
    for (double x : p) {
      o.Text(" ");
      isDouble ? o.Exact(x) : o.Exact(static_cast<float>(x));
    }
    o.Text("\n");
  }
  const auto cell = [&o](const char* tag, const vtkIdType* ids, vtkIdType count) {
    o.Text(tag);
    for (vtkIdType k = 0; k < count; ++k) {
      o.Text(" ");
      o.Exact(static_cast<long long>(ids[k]) + 1);
    }
    o.Text("\n");
  };
  const vtkIdType* ids = nullptr;
  vtkIdType count = 0;
  vtkCellArray* kinds[2] = {data->GetVerts(), data->GetLines()};
  const char* tags[2] = {"p", "l"};
  for (int k = 0; k < 2; ++k) {
    auto it = vtk::TakeSmartPointer(kinds[k]->NewIterator());
    for (it->GoToFirstCell(); !it->IsDoneWithTraversal(); it->GoToNextCell()) {
      it->GetCurrentCell(count, ids);
      cell(tags[k], ids, count);
    }
  }
  ForEachFace(data, [&](const vtkIdType* face, vtkIdType size) { cell("f", face, size); });
  return Result::Success();
}

} // namespace selvane::formats
