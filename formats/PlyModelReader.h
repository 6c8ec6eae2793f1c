// Our own strict reader of PLY files: ascii, binary_little_endian and binary_big_endian.
//
// The header is read whole first; the model is the "vertex" element's x, y, z (any numeric
// type) and the "face" element's list of vertex_indices (or vertex_index). Every other element
// and property, wherever it stands, is skipped by its declared type. Counts are held against
// the size of the data before anything is allocated, every index must name a vertex, and every
// coordinate must be finite. Points are not merged.
#pragma once

#include "ModelFileReader.h"

#include <cstddef>
#include <string>

class vtkPolyData;

namespace selvane {

Result ReadPlyModel(const std::string& path, vtkPolyData* output);

// The same on a file already in memory.
Result ReadPlyModelBytes(const char* data, std::size_t size, vtkPolyData* output);

} // namespace selvane
