// Fuzz target: Open Model's .vtp path (the file read once into memory, the structure check on
// those bytes, VTK's XML reader on the same bytes, the validation of its output), on a file
// holding the input.
//
// Besides not crashing, hanging or allocating without bound: a refused file leaves the model
// given to the reader as it was; an opened model holds the counts the check found, only IDs in
// range, finite coordinates in single-precision range and finite cell scalars; and the check
// alone refuses whatever the whole open refuses for a reason the check is meant to find (the
// root, the counts, the offsets, the encodings).
#include "Check.h"
#include "FuzzTarget.h"
#include "TempFile.h"

#include "VtpModelReader.h"
#include "VtpStructureCheck.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <cmath>
#include <limits>
#include <string_view>

namespace {

bool ValuesInRange(vtkPolyData* model) {
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = selvane::fuzz::WriteScratchFile(data, size, ".vtp");
  if (path.empty()) {
    return 0;
  }
  const selvane::formats::VtpCheckResult check = selvane::formats::CheckVtpStructure(
      std::string_view(reinterpret_cast<const char*>(data), size));
  SELVANE_FUZZ_CHECK(check.Ok() == check.Reason.empty());

  auto model = vtkSmartPointer<vtkPolyData>::New();
  const selvane::Result read = selvane::ReadVtpModel(path, model);
  SELVANE_FUZZ_CHECK(read.Ok() == read.Reason.empty());
  if (!check.Ok()) {
    SELVANE_FUZZ_CHECK(!read.Ok() && read.Code == check.Problem);
  }
  if (read.Ok()) {
    SELVANE_FUZZ_CHECK(model->GetNumberOfPoints() == check.NumberOfPoints);
    SELVANE_FUZZ_CHECK(model->GetNumberOfPolys() == check.NumberOfPolys);
    SELVANE_FUZZ_CHECK(model->GetNumberOfCells() == check.NumberOfVerts + check.NumberOfLines +
                                                        check.NumberOfStrips + check.NumberOfPolys);
    SELVANE_FUZZ_CHECK(ValuesInRange(model));
  } else {
    SELVANE_FUZZ_CHECK(model->GetNumberOfPoints() == 0);
  }
  return 0;
}
