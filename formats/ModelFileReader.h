// Safe opening of legacy VTK polygonal data files for Open Model.
//
// The file is read once into memory (InputFile.h: only a regular file, never blocking; a
// leading UTF-8 byte-order mark is dropped), those bytes are scanned by our strict scanner
// (LegacyVtkScanner.h), and only bytes that passed are given to VTK's reader, from memory: the
// reader never opens the file itself, so nothing it reads was left unchecked. The read runs with
// every error and warning VTK reports captured (observers on the reader and a scoped replacement of
// vtkOutputWindow), and its output is validated again: a model with points and cells, finite
// coordinates in float range, every cell's point IDs in range, polygons of at least 3 IDs.
#pragma once

#include "LegacyVtkScanner.h"
#include "Result.h"

#include <string>

class vtkPolyData;
class vtkPolyDataReader;

namespace selvane {

// Reads `path` into `reader` (a fresh reader per attempt). On failure the reader's output is
// emptied and must not be used, and the result's reason is one line without the path (the
// caller names the file): CannotOpen for a file that cannot be opened or is not a regular file,
// Unreadable or OutOfMemory when its bytes could not be read, else what the scanner, VTK's
// reader or the check of its output found.
Result ReadModelFile(const std::string& path, vtkPolyDataReader* reader);

// The check every model passes after it was read, whatever its format: points and cells, finite
// coordinates in float range, every cell's point IDs in range, lines of at least 2 and polygons
// and strips of at least 3 IDs, point and cell data of the right length, finite values in every
// floating-point array of them.
Result CheckReadModel(vtkPolyData* model);

// Which of a model's values were checked one by one as they were read, so that the check above
// need not look at each again (it still checks every count, length and cell array's ends).
struct ValuesCheckedAsRead {
  bool Coordinates = false;
  bool Verts = false;
  bool Lines = false;
  bool Strips = false;
  bool Polys = false;
  bool CellArrays = false;  // every floating-point array of the cell data
  bool PointArrays = false; // every floating-point array of the point data
};
Result CheckReadModel(vtkPolyData* model, const ValuesCheckedAsRead& checked);

} // namespace selvane
