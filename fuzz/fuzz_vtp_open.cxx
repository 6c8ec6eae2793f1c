// Fuzz target: Open Model's .vtp path (the structure check on VTK's own parse of the bytes it
// loads of the file, or on a parse of its own; VTK's XML reader on those bytes and the rest of
// the file; raw values checked as they are read; the validation of its output), on a file
// holding the input.
//
// Besides not crashing, hanging or allocating without bound: the check of the file held only
// where it looks agrees with the check of all its bytes; a refused file leaves the model given
// to the reader as it was; an opened model holds the counts the check found, only IDs in range,
// finite coordinates in single-precision range and finite cell scalars, whether they were
// checked as read or on the output; and the check alone
// refuses whatever the whole open refuses for a reason the check is meant to find (the root,
// the counts, the offsets, the encodings).
#include "Check.h"
#include "FuzzTarget.h"
#include "ModelReaderInvariants.h"
#include "TempFile.h"

#include "VtpFileView.h"
#include "VtpModelReader.h"
#include "VtpStructureCheck.h"

#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <string_view>

namespace {

// Few, so that the inputs, small as they are, are read in part as large files are.
constexpr std::uint64_t FirstBytes = 16;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = selvane::fuzz::WriteScratchFile(data, size, ".vtp");
  if (path.empty()) {
    return 0;
  }
  const selvane::formats::VtpCheckResult check = selvane::formats::CheckVtpStructure(
      std::string_view(reinterpret_cast<const char*>(data), size));
  SELVANE_FUZZ_CHECK(check.Ok() == check.Reason.empty());
  {
    selvane::formats::VtpFileView view;
    SELVANE_FUZZ_CHECK(view.Open(path, FirstBytes).Ok());
    const selvane::formats::VtpCheckResult partial =
        selvane::formats::CheckVtpStructure(view.Bytes(), view);
    SELVANE_FUZZ_CHECK(view.ReadProblem().Ok());
    SELVANE_FUZZ_CHECK(partial.Problem == check.Problem && partial.Reason == check.Reason);
    SELVANE_FUZZ_CHECK(partial.NumberOfPoints == check.NumberOfPoints &&
                       partial.NumberOfPolys == check.NumberOfPolys &&
                       partial.NumberOfVerts == check.NumberOfVerts &&
                       partial.NumberOfLines == check.NumberOfLines &&
                       partial.NumberOfStrips == check.NumberOfStrips);
  }

  auto model = vtkSmartPointer<vtkPolyData>::New();
  const selvane::Result read = selvane::ReadVtpModel(path, model, FirstBytes);
  SELVANE_FUZZ_CHECK(read.Ok() == read.Reason.empty());
  if (!check.Ok()) {
    SELVANE_FUZZ_CHECK(!read.Ok() && read.Code == check.Problem);
  }
  if (read.Ok()) {
    SELVANE_FUZZ_CHECK(model->GetNumberOfPoints() == check.NumberOfPoints);
    SELVANE_FUZZ_CHECK(model->GetNumberOfPolys() == check.NumberOfPolys);
    SELVANE_FUZZ_CHECK(model->GetNumberOfCells() == check.NumberOfVerts + check.NumberOfLines +
                                                        check.NumberOfStrips + check.NumberOfPolys);
    SELVANE_FUZZ_CHECK(selvane::fuzz::ValuesInRange(model));
  } else {
    SELVANE_FUZZ_CHECK(model->GetNumberOfPoints() == 0);
  }
  return 0;
}
