// Our own strict reader of STL files, ASCII and binary.
//
// A file is binary when its size is exactly 84 + 50 * (the triangle count at byte 80), whatever
// its 80-byte header says (many exporters start it with "solid"); otherwise it must be a
// well-formed ASCII file (solid, facets of one outer loop of three vertices, endsolid). A file
// that is neither is refused with what is wrong, e.g. a binary file cut mid-record. Points are
// not merged: every triangle has its own three points, in the order of the file.
#pragma once

#include "ModelFileReader.h"

#include <cstddef>
#include <string>

class vtkPolyData;

namespace selvane {

Result ReadStlModel(const std::string& path, vtkPolyData* output);

// The same on a file already in memory.
Result ReadStlModelBytes(const char* data, std::size_t size, vtkPolyData* output);

} // namespace selvane
