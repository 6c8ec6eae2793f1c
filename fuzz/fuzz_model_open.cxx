// Fuzz target: the model-opening path of Open Model (the file read once into memory, our
// scanner on those bytes, then VTK's legacy reader on the same bytes and our validation of its
// output), on a file holding the input.
//
// Besides not crashing: the scan of the file (read in pieces, the size of which the first byte
// picks, so that tokens and binary blocks straddle piece boundaries) must agree with the scan
// of the same bytes in memory, and so must the scan that reads along while the file is copied
// into memory; the open must agree with the scan of the bytes after any UTF-8
// byte-order mark; a refused file leaves the reader without a file name and an empty model
// behind; and an opened model holds only IDs in range, finite coordinates in single-precision
// range and finite cell scalars (which the reader checks again only in ASCII files).
#include "Check.h"
#include "FuzzTarget.h"
#include "TempFile.h"

#include "InputFile.h"
#include "LegacyVtkScanner.h"
#include "ModelFileReader.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSmartPointer.h>

#include <cmath>
#include <limits>

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

  const std::size_t bom = selvane::formats::Utf8BomLength(std::string_view(body, bodySize));
  const selvane::LegacyVtkScanResult opened =
      bom == 0 ? inMemory : selvane::ScanLegacyVtkBuffer(body + bom, bodySize - bom);

  // The scan that reads along while the file is copied finds the same.
  selvane::LegacyVtkScanResult alongTheCopy;
  selvane::formats::SealedFileCopy copy;
  const selvane::Result copied = selvane::formats::CopyRegularFileSealed(
      path, copy, true, selvane::formats::NoSizeLimit,
      [&](const char* data, std::size_t size, selvane::formats::CopyProgress& progress) {
        alongTheCopy = selvane::ScanLegacyVtkBuffer(data, size, progress);
        return true;
      });
  SELVANE_FUZZ_CHECK(copied.Ok());
  SELVANE_FUZZ_CHECK(copy.Bytes() == std::string_view(body + bom, bodySize - bom));
  SELVANE_FUZZ_CHECK(alongTheCopy.Problem == opened.Problem);
  SELVANE_FUZZ_CHECK(alongTheCopy.Reason == opened.Reason);

  auto reader = vtkSmartPointer<vtkPolyDataReader>::New();
  const selvane::Result read = selvane::ReadModelFile(path, reader);
  SELVANE_FUZZ_CHECK(read.Ok() == read.Reason.empty());
  SELVANE_FUZZ_CHECK(read.Ok() || opened.Ok() || read.Code == opened.Problem);
  SELVANE_FUZZ_CHECK(read.Ok() || reader->GetFileName() == nullptr);
  if (read.Ok()) {
    SELVANE_FUZZ_CHECK(opened.Ok());
    vtkPolyData* model = reader->GetOutput();
    SELVANE_FUZZ_CHECK(model->GetNumberOfPoints() == opened.NumberOfPoints);
    SELVANE_FUZZ_CHECK(model->GetNumberOfCells() == opened.NumberOfCells());
    SELVANE_FUZZ_CHECK(ValuesInRange(model));
  } else {
    SELVANE_FUZZ_CHECK(reader->GetOutput()->GetNumberOfPoints() == 0);
  }
  return 0;
}
