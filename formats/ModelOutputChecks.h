// Checks of the model a VTK reader produced, before it is shown: every reader of model files
// runs them, whatever it checked before the read.
#pragma once

#include <vtkType.h>

class vtkCellArray;
class vtkDataArray;
class vtkDataSetAttributes;
class vtkPoints;

namespace selvane::formats {

// Whether every cell of `cells` (none: true) has at least minIds point IDs, all in
// [0, points), with offsets that start at 0 and end at the connectivity's length. With perValue
// false, only the first and last offsets are checked (for values checked one by one before).
bool CellArrayValid(vtkCellArray* cells, vtkIdType points, int minIds, bool perValue);

// Whether every coordinate is finite and within single-precision range, in 3 components.
bool CoordinatesInFloatRange(vtkPoints* points);

// Whether every array of `attributes` has `tuples` tuples.
bool AttributesHaveLength(vtkDataSetAttributes* attributes, vtkIdType tuples);

// Whether every value of `scalars` is finite.
bool ScalarsFinite(vtkDataArray* scalars);

// The first floating-point array of `attributes` holding a value that is not finite; none:
// nullptr. Integer arrays are always finite.
vtkDataArray* FirstNonFiniteArray(vtkDataSetAttributes* attributes);

} // namespace selvane::formats
