#include "ModelOutputChecks.h"

#include <vtkCellArray.h>
#include <vtkDataArray.h>
#include <vtkDataSetAttributes.h>
#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkPoints.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace selvane::formats {

namespace {

// With perValue false, only the first and last offsets are checked.
template <typename ArrayT>
bool CellsOk(ArrayT* offsets, ArrayT* connectivity, vtkIdType points, int minIds, bool perValue) {
  const vtkIdType nOffsets = offsets->GetNumberOfValues();
  const vtkIdType nConn = connectivity->GetNumberOfValues();
  if (nOffsets == 0) {
    return nConn == 0;
  }
  const auto* o = offsets->GetPointer(0);
  if (o[0] != 0 || o[nOffsets - 1] != nConn) {
    return false;
  }
  if (!perValue) {
    return true;
  }
  // One pass over the offsets and one over the IDs, without early exits, so that they run at
  // the speed of memory. The differences are taken unsigned: a decreasing offset wraps to more
  // than nConn, as does any offset outside [0, nConn].
  using Unsigned = std::make_unsigned_t<std::decay_t<decltype(o[0])>>;
  const auto last = static_cast<Unsigned>(nConn);
  const auto least = static_cast<Unsigned>(minIds);
  bool bad = false;
  for (vtkIdType i = 1; i < nOffsets; ++i) {
    const auto here = static_cast<Unsigned>(o[i]);
    const auto step = static_cast<Unsigned>(here - static_cast<Unsigned>(o[i - 1]));
    bad |= (here > last) | (step > last) | (step < least);
  }
  const auto* c = nConn > 0 ? connectivity->GetPointer(0) : nullptr;
  for (vtkIdType i = 0; i < nConn; ++i) {
    bad |= static_cast<std::uint64_t>(c[i]) >= static_cast<std::uint64_t>(points);
  }
  return !bad;
}

} // namespace

bool CellArrayValid(vtkCellArray* cells, vtkIdType points, int minIds, bool perValue) {
  if (!cells) {
    return true;
  }
  if (cells->IsStorage64Bit()) {
    return CellsOk(cells->GetOffsetsArray64(), cells->GetConnectivityArray64(), points, minIds,
                   perValue);
  }
  return CellsOk(cells->GetOffsetsArray32(), cells->GetConnectivityArray32(), points, minIds,
                 perValue);
}

namespace {

template <typename T> bool FiniteFloatRange(const T* v, vtkIdType n) {
  const double limit = static_cast<double>(std::numeric_limits<float>::max());
  bool ok = true;
  for (vtkIdType i = 0; i < n; ++i) {
    const double x = static_cast<double>(v[i]);
    ok &= (x >= -limit && x <= limit); // false for NaN too
  }
  return ok;
}

} // namespace

bool CoordinatesInFloatRange(vtkPoints* points) {
  vtkDataArray* data = points->GetData();
  if (!data || data->GetNumberOfComponents() != 3) {
    return false;
  }
  const vtkIdType n = data->GetNumberOfValues();
  if (auto* f = vtkFloatArray::FastDownCast(data)) {
    return n == 0 || FiniteFloatRange(f->GetPointer(0), n);
  }
  if (auto* d = vtkDoubleArray::FastDownCast(data)) {
    return n == 0 || FiniteFloatRange(d->GetPointer(0), n);
  }
  for (vtkIdType i = 0; i < data->GetNumberOfTuples(); ++i) {
    for (int c = 0; c < 3; ++c) {
      const double x = data->GetComponent(i, c);
      if (!(std::fabs(x) <= static_cast<double>(std::numeric_limits<float>::max()))) {
        return false;
      }
    }
  }
  return true;
}

namespace {

template <typename T> bool AllFinite(const T* v, vtkIdType n) {
  bool ok = true;
  for (vtkIdType i = 0; i < n; ++i) {
    ok &= std::isfinite(v[i]);
  }
  return ok;
}

} // namespace

// Floating-point scalars are checked directly (a range would be computed and cached for
// nothing); integer scalars are always finite.
bool ScalarsFinite(vtkDataArray* scalars) {
  const vtkIdType n = scalars->GetNumberOfValues();
  if (n == 0) {
    return true;
  }
  if (auto* f = vtkFloatArray::FastDownCast(scalars)) {
    return AllFinite(f->GetPointer(0), n);
  }
  if (auto* d = vtkDoubleArray::FastDownCast(scalars)) {
    return AllFinite(d->GetPointer(0), n);
  }
  double range[2];
  scalars->GetRange(range, 0);
  return std::isfinite(range[0]) && std::isfinite(range[1]);
}

vtkDataArray* FirstNonFiniteArray(vtkDataSetAttributes* attributes) {
  for (int i = 0; i < attributes->GetNumberOfArrays(); ++i) {
    vtkDataArray* array = attributes->GetArray(i);
    const bool floating = vtkFloatArray::FastDownCast(array) || vtkDoubleArray::FastDownCast(array);
    if (floating && !ScalarsFinite(array)) {
      return array;
    }
  }
  return nullptr;
}

bool AttributesHaveLength(vtkDataSetAttributes* attributes, vtkIdType tuples) {
  for (int i = 0; i < attributes->GetNumberOfArrays(); ++i) {
    vtkAbstractArray* array = attributes->GetAbstractArray(i);
    if (!array || array->GetNumberOfTuples() != tuples) {
      return false;
    }
  }
  return true;
}

} // namespace selvane::formats
