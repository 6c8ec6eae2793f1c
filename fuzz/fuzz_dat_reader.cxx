// Fuzz target: the correspondence reader (vtkDatReader::ReadDatFile), which reads from a path.
//
// The input is written to a scratch file and read by a fresh reader. Whatever the bytes, the
// read ends with 0 or -1; on success the results are consistent: as many targets as sources,
// List and UnList inverse permutations of the points, one difference per point and axis.
#include "Check.h"
#include "FuzzTarget.h"
#include "TempFile.h"

#include "SelvaneError.h"
#include "vtkDatReader.h"

#include <new>
#include <vector>

using namespace selvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = selvane::fuzz::WriteScratchFile(data, size, ".dat");
  if (path.empty()) {
    return 0;
  }
  auto reader = vtkSmartPointer<vtkDatReader>::New();
  reader->SetFileName(path.c_str());
  int status = -1;
  try {
    status = reader->ReadDatFile();
  } catch (const SelvaneError&) {
    return 0; // the reader's own, reported failure
  }
  SELVANE_FUZZ_CHECK(status == 0 || status == -1);
  if (status != 0) {
    SELVANE_FUZZ_CHECK(!reader->GetErrorMessage().empty());
    return 0;
  }
  const vtkIdType n = reader->GetPointArray()->GetNumberOfPoints();
  SELVANE_FUZZ_CHECK(reader->GetPointArrayN()->GetNumberOfPoints() == n);
  SELVANE_FUZZ_CHECK(reader->GetList()->GetNumberOfValues() == n);
  SELVANE_FUZZ_CHECK(reader->GetUnList()->GetNumberOfValues() == n);
  std::vector<bool> seen(static_cast<std::size_t>(n), false);
  for (vtkIdType i = 0; i < n; ++i) {
    const int id = reader->GetList()->GetValue(i);
    SELVANE_FUZZ_CHECK(id >= 0 && id < n && !seen[static_cast<std::size_t>(id)]);
    seen[static_cast<std::size_t>(id)] = true;
    SELVANE_FUZZ_CHECK(reader->GetUnList()->GetValue(id) == i);
  }
  for (vtkFloatArray* b : {reader->GetBX(), reader->GetBY(), reader->GetBZ()}) {
    SELVANE_FUZZ_CHECK(b && b->GetNumberOfValues() == n);
  }
  return 0;
}
