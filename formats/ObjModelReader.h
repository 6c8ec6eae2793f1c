// Our own strict reader of Wavefront OBJ files: vertices ("v x y z", an optional w and vertex
// colours ignored), faces ("f" with v, v/vt, v//vn or v/vt/vn, indices from 1 or negative from
// the last vertex read), lines ("l") and points ("p") kept as cells. Texture coordinates,
// normals, groups, objects, smoothing groups and materials are ignored; their indices in faces
// must still name one. Every index must be in range and every coordinate finite; anything
// else (free-form geometry, unknown statements, a line cut short) is refused with its line.
// Points are not merged. Cells are vertices first, then lines, then polygons, each in file order.
#pragma once

#include "ModelFileReader.h"

#include <cstddef>
#include <string>

class vtkPolyData;

namespace selvane {

Result ReadObjModel(const std::string& path, vtkPolyData* output);

// The same on a file already in memory.
Result ReadObjModelBytes(const char* data, std::size_t size, vtkPolyData* output);

} // namespace selvane
