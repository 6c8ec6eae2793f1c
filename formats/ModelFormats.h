// Open Model for every model format Selvane reads: the reader is chosen by the file name's
// extension (case-insensitive), and whatever the reader, the model it read passes the same check
// as a legacy file's (finite coordinates in float range, point IDs in range, polygons of at
// least 3 IDs, data arrays of the right length) before anyone sees it.
#pragma once

#include "ModelFileReader.h"

#include <string>

class vtkPolyData;

namespace selvane {

enum class ModelFormat { Unknown, LegacyVtk, Vtp, Stl, Ply, Obj, Off };

// The format a file name asks for. A name without an extension is read as a legacy file, as
// Open Model always did.
ModelFormat ModelFormatOfPath(const std::string& path);

// ".vtk .vtp .stl .ply .obj .off", for messages.
const char* KnownModelExtensions();

// Reads the model at `path` into `output`. On failure `output` is emptied and the result's reason
// is one line without the path (the caller names the file).
Result ReadModel(const std::string& path, vtkPolyData* output);

} // namespace selvane
