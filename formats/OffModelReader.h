// Our own strict reader of OFF files (VTK has none): the OFF header with its C, N and ST
// variants (COFF, NOFF, CNOFF, STOFF, ...), '#' comments, the vertex and face counts (the edge
// count is not used), one vertex per line (x y z, then normals, colours or texture coordinates,
// which are ignored) and one face per line ("n i1 ... in", then an optional colour, ignored).
// Counts are held against the file's size, every index must name a vertex, every coordinate
// must be finite. Binary and 4-dimensional OFF files are refused.
#pragma once

#include "ModelFileReader.h"

#include <cstddef>
#include <string>

class vtkPolyData;

namespace selvane {

Result ReadOffModel(const std::string& path, vtkPolyData* output);

// The same on a file already in memory.
Result ReadOffModelBytes(const char* data, std::size_t size, vtkPolyData* output);

} // namespace selvane
