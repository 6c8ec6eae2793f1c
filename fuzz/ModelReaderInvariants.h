// What every reader of ours must hold to on any input: a result whose reason is empty exactly
// when it succeeded; a refusal leaves an empty model; an opened model has points and cells
// and passes the check every opened model passes (IDs in range, finite coordinates in float
// range, cells with enough IDs).
#pragma once

#include "Check.h"

#include "ModelFileReader.h"

#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <cstddef>
#include <cstdint>

namespace selvane::fuzz {

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
