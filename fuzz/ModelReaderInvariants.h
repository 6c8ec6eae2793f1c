// What every reader of ours must hold to on any input: a result whose reason is empty exactly
// when it succeeded; a refusal leaves an empty model; an opened model has points and cells
// and passes the check every opened model passes (IDs in range, finite coordinates in float
// range, cells with enough IDs).
#pragma once

#include "Check.h"

#include "ModelFileReader.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace selvane::fuzz {

// An opened model's values, looked at independently of the readers' own checks: every ID names
// a point, coordinates are finite and in single-precision range, cell scalars are finite.
inline bool ValuesInRange(vtkPolyData* model) {
  const double points = static_cast<double>(model->GetNumberOfPoints());
  for (vtkCellArray* cells :
       {model->GetVerts(), model->GetLines(), model->GetPolys(), model->GetStrips()}) {
    vtkDataArray* ids = cells ? cells->GetConnectivityArray() : nullptr;
    for (vtkIdType i = 0; ids && i < ids->GetNumberOfTuples(); ++i) {
      const double id = ids->GetTuple1(i);
      if (!(id >= 0 && id < points)) {
        return false;
      }
    }
  }
  vtkDataArray* xyz = model->GetPoints()->GetData();
  for (vtkIdType i = 0; i < xyz->GetNumberOfTuples(); ++i) {
    for (int c = 0; c < xyz->GetNumberOfComponents(); ++c) {
      if (!(std::fabs(xyz->GetComponent(i, c)) <= std::numeric_limits<float>::max())) {
        return false;
      }
    }
  }
  if (vtkDataArray* scalars = model->GetCellData()->GetScalars()) {
    for (vtkIdType i = 0; i < scalars->GetNumberOfTuples(); ++i) {
      for (int c = 0; c < scalars->GetNumberOfComponents(); ++c) {
        if (!std::isfinite(scalars->GetComponent(i, c))) {
          return false;
        }
      }
    }
  }
  return true;
}

using ModelBytesReader = Result (*)(const char*, std::size_t, vtkPolyData*);

inline void CheckModelReader(ModelBytesReader read, const std::uint8_t* data, std::size_t size) {
  auto model = vtkSmartPointer<vtkPolyData>::New();
  const Result result = read(reinterpret_cast<const char*>(data), size, model);
  SELVANE_FUZZ_CHECK(result.Ok() == result.Reason.empty());
  SELVANE_FUZZ_CHECK(result.Reason.find('\n') == std::string::npos);
  if (!result.Ok()) {
    SELVANE_FUZZ_CHECK(model->GetNumberOfPoints() == 0 && model->GetNumberOfCells() == 0);
    return;
  }
  SELVANE_FUZZ_CHECK(model->GetNumberOfPoints() > 0 && model->GetNumberOfCells() > 0);
  SELVANE_FUZZ_CHECK(CheckReadModel(model).Ok());
}

} // namespace selvane::fuzz
