// Safe opening of VTK XML PolyData files (.vtp) for Open Model.
//
// The file is read once into memory (InputFile.h: only a regular file, never blocking), those
// bytes are checked whole by VtpStructureCheck.h before VTK's reader sees them, and VTK's
// vtkXMLPolyDataReader then reads the same bytes from memory, never the file by name. The read
// runs with every error and warning VTK reports captured and with its exceptions caught, and its
// output is validated as a legacy file's is (ModelOutputChecks.h): the counts the file declares,
// finite coordinates in float range, every cell's point IDs in range, attribute arrays of the
// right length, finite cell scalars. Cell scalars (the file's active CellData scalars) come
// with the model.
#pragma once

#include "ModelFileReader.h"

#include <string>

class vtkPolyData;

namespace selvane {

// Reads the .vtp file at `path` into `output`. On failure `output` is left as it was and the
// result names the reason in one line without the path.
Result ReadVtpModel(const std::string& path, vtkPolyData* output);

} // namespace selvane
