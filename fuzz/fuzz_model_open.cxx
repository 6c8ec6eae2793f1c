// Fuzz target: the model-opening path of Open Model (our scanner, then VTK's legacy reader and
// our validation of its output), on a file holding the input.
//
// Besides not crashing: the scan of the file (read in pieces, the size of which the first byte
// picks, so that tokens and binary blocks straddle piece boundaries) must agree with the scan
// of the same bytes in memory, and a refused file must leave an empty model behind.
#include "Check.h"
#include "FuzzTarget.h"
#include "TempFile.h"

#include "LegacyVtkScanner.h"
#include "ModelFileReader.h"

#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSmartPointer.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t piece = 1 + data[0] % 64;
  const char* body = reinterpret_cast<const char*>(data) + 1;
  const std::size_t bodySize = size - 1;
  const std::string path = selvane::fuzz::WriteScratchFile(data + 1, bodySize, ".vtk");
  if (path.empty()) {
    return 0;
  }

  const selvane::LegacyVtkScanResult inMemory = selvane::ScanLegacyVtkBuffer(body, bodySize);
  const selvane::LegacyVtkScanResult inPieces = selvane::ScanLegacyVtkFile(path, piece);
  SELVANE_FUZZ_CHECK(inMemory.Problem == inPieces.Problem);
  SELVANE_FUZZ_CHECK(inMemory.Reason == inPieces.Reason);
  SELVANE_FUZZ_CHECK(inMemory.Ok() == inMemory.Reason.empty());

  auto reader = vtkSmartPointer<vtkPolyDataReader>::New();
  const selvane::ModelFileReadResult read = selvane::ReadModelFileChecked(path, reader);
  SELVANE_FUZZ_CHECK(read.Ok() == read.Reason.empty());
  SELVANE_FUZZ_CHECK(read.Ok() || inMemory.Ok() || read.Problem == inMemory.Problem);
  if (read.Ok()) {
    SELVANE_FUZZ_CHECK(inMemory.Ok());
    vtkPolyData* model = reader->GetOutput();
    SELVANE_FUZZ_CHECK(model->GetNumberOfPoints() == inMemory.NumberOfPoints);
    SELVANE_FUZZ_CHECK(model->GetNumberOfCells() == inMemory.NumberOfCells());
  } else {
    SELVANE_FUZZ_CHECK(reader->GetOutput()->GetNumberOfPoints() == 0);
  }
  return 0;
}
