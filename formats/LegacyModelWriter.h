// Writing polygonal data as legacy VTK files for Save Model As and Export Cells (VTK).
//
// The files are ASCII, file version 4.2 (readable by tools built on VTK 8 and older, which
// cannot read VTK 9's default 5.1). VTK prints float coordinates with six significant digits
// and double ones with eleven, which would move the points of a saved model; the points are
// written in their own type (float or double) in the shortest form that reads back exactly.
//
// A model with a coordinate that is not finite or lies beyond single-precision range, or a
// floating-point point, cell or field data value that is not finite, is not written at all:
// Open Model would refuse the file. The reason names the first such point or value.
#ifndef SELVANE_LEGACY_MODEL_WRITER_H
#define SELVANE_LEGACY_MODEL_WRITER_H

#include "Result.h"

#include <string>

class vtkPoints;
class vtkPolyData;

namespace selvane::formats {

// The whole file for data: points as double, cells, and the point, cell and field data it
// carries. Fails with Refused (and the first value that is not finite) or CannotWrite (VTK's
// reason).
Result FormatLegacyPolyData(vtkPolyData* data, std::string& out);

// FormatLegacyPolyData, then WriteFileAtomically: the target is replaced only by a complete,
// checked file. On failure the reason names the path (NoData without a model).
// title, when not empty, replaces VTK's title line ("vtk output").
Result WriteLegacyModel(vtkPolyData* data, const std::string& path,
                        const std::string& title = std::string());

// "" or the reason naming the first coordinate a model file cannot take back: not finite, or
// (singlePrecision: legacy files, STL) beyond single-precision range.
std::string FirstUnwritablePoint(vtkPoints* points, bool singlePrecision);

} // namespace selvane::formats

#endif
