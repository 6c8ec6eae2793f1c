// Safe opening of legacy VTK polygonal data files for Open Model.
//
// The file is scanned by our strict scanner first (LegacyVtkScanner.h); only a file that
// passed is given to VTK's reader. The read runs with every error and warning VTK reports
// captured (observers on the reader and a scoped replacement of vtkOutputWindow), and its
// output is validated again: a model with points and cells, finite coordinates in float
// range, every cell's point IDs in range, polygons of at least 3 IDs.
#pragma once

#include "LegacyVtkScanner.h"

#include <string>

class vtkPolyDataReader;

namespace selvane
{

struct ModelFileReadResult
{
  ModelFileProblem Problem = ModelFileProblem::None;
  std::string Reason; // one line without the path; empty on success
  bool Ok() const { return this->Problem == ModelFileProblem::None; }
};

// Reads `path` into `reader` (a fresh reader per attempt). On failure the reader's output is
// emptied and must not be used.
ModelFileReadResult ReadModelFileChecked(const std::string& path, vtkPolyDataReader* reader);

// Same, returning "" on success or the one-line reason (the caller adds the file name).
std::string ReadModelFile(const std::string& path, vtkPolyDataReader* reader);

} // namespace selvane
