// The mesh formats Selvane writes with its own code, because VTK's writers store points in
// single precision (PLY) or print them with too few digits (OBJ): binary STL, binary
// little-endian PLY and OBJ text. Each hands a whole file to a sink in large pieces; the caller
// (ModelFileWriter) checks the coordinates beforehand and the sink's errors.
#ifndef SELVANE_PLAIN_MESH_WRITERS_H
#define SELVANE_PLAIN_MESH_WRITERS_H

#include "Result.h"

#include <functional>
#include <string>
#include <string_view>

class vtkPolyData;

namespace selvane::formats {

// Takes the next bytes of the file; false when they could not be kept (the writer then stops
// handing bytes over).
using ByteSink = std::function<bool(std::string_view bytes)>;

// Each succeeds when the model was written; else it is Refused with why the format cannot hold
// it (the file then holds a part of it and must be discarded).

// 80-byte header (header, cut or padded with spaces), the triangle count, then per triangle
// its unit normal, three corners and a zero attribute word. Polygons and strips are
// triangulated; vertex and line cells are refused.
Result WriteBinaryStl(vtkPolyData* data, const ByteSink& out, const std::string& header);

// Points as float or double as the model stores them; polygons and strips (as triangles).
// Vertex and line cells are refused.
Result WriteBinaryPly(vtkPolyData* data, const ByteSink& out, const std::string& comment);

// "v x y z" per point, then "p", "l" and "f" lines (1-based indices; strips as triangles).
Result WriteObjText(vtkPolyData* data, const ByteSink& out, const std::string& comment);

} // namespace selvane::formats

#endif
