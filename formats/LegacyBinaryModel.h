// Open Model's fast way through the common BINARY legacy file: points, cells and plain scalars.
//
// VTK's reader, behind the scanner, needs the file twice in memory (the checked copy, then its
// arrays) and the scanner reads every value once more. For a BINARY file of the plain layout
// (formats::SkimLegacyVtkBinary) the text between the arrays is checked first, then each
// array is read straight from the file into the model's own array and every value is checked
// (IDs in range, cell sizes, offsets, finite coordinates and scalars) in the pass that turns it
// from big-endian, while it is still in the cache. The model is what VTK's reader makes of the
// same file.
#pragma once

#include <string>

class vtkPolyData;

namespace selvane::formats {

// Reads the model into output when the file at path is a BINARY legacy file of the plain
// layout whose values all pass; returns false, with output untouched, for any other file
// (including a damaged one): the general path then reads it or says what is wrong with it.
bool ReadPlainBinaryLegacyModel(const std::string& path, vtkPolyData* output);

} // namespace selvane::formats
