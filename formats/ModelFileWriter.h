// Save Model As and the command-line tools: a model written in the format its file name's
// extension names (case-insensitive).
//
//   .vtk  legacy VTK, ASCII, file version 4.2, exact coordinates (LegacyModelWriter.h)
//   .vtp  VTK XML PolyData, binary, appended raw and zlib-compressed; points in their own type,
//         point, cell and field data kept
//   .stl  binary STL: triangles only (polygons and strips are triangulated; a model with line
//         or vertex cells is refused), single-precision coordinates as the format stores them
//   .ply  binary little-endian PLY: points in their own type (float or double), polygons
//   .obj  Wavefront OBJ text: each coordinate in the shortest form that reads back as the same
//         value of its type; vertices as "p", lines as "l", polygons as "f"
//
// Every file is written through WriteFileAtomicallyWith: the target is replaced only by a
// complete file, and on any failure no temporary file stays behind. A model with a coordinate
// that is not finite is not written at all; neither is one beyond single-precision range in
// a format that stores single precision. An unknown extension is refused naming the known ones.
#ifndef SELVANE_MODEL_FILE_WRITER_H
#define SELVANE_MODEL_FILE_WRITER_H

#include "Result.h"

#include <string>

class vtkPolyData;

namespace selvane::formats {

enum class ModelFileFormat { Unknown, LegacyVtk, XmlPolyData, Stl, Ply, Obj };

// The format named by path's extension; Unknown when none of the above.
ModelFileFormat ModelFileFormatOf(const std::string& path);

// ".vtk, .vtp, .stl, .ply, .obj": the extensions WriteModelFile knows, for messages.
const char* WritableModelExtensions();

// "" when path names a format WriteModelFile writes, else the reason (naming the known ones).
std::string UnknownModelExtensionReason(const std::string& path);

// Writes data to path in the format its extension names. A failure's reason is a sentence
// naming the path ("Cannot write '<path>': <cause>"); the old file stays as it was. title,
// when not empty, goes to the legacy title line, the PLY and OBJ comments and the STL header.
Result WriteModelFile(vtkPolyData* data, const std::string& path,
                      const std::string& title = std::string());

} // namespace selvane::formats

#endif
