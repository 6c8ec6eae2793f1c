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
// range and finite cell scalars (which the reader checks again only in ASCII files). Open
// Model's own read of plain BINARY files accepts only what that path accepts, and makes the
// same model of it.
#include "Check.h"
#include "FuzzTarget.h"
#include "ModelReaderInvariants.h"
#include "TempFile.h"

#include "InputFile.h"
#include "LegacyBinaryModel.h"
#include "LegacyVtkScanner.h"
#include "ModelFileReader.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSmartPointer.h>

namespace {

bool SameValues(vtkDataArray* a, vtkDataArray* b) {
  if (!a || !b) {
    return a == b;
  }
  if (a->GetNumberOfValues() != b->GetNumberOfValues() ||
      a->GetNumberOfComponents() != b->GetNumberOfComponents()) {
    return false;
  }
  for (vtkIdType i = 0; i < a->GetNumberOfValues(); ++i) {
    if (a->GetVariantValue(i) != b->GetVariantValue(i)) {
      return false;
    }
  }
  return true;
}

bool SameModel(vtkPolyData* a, vtkPolyData* b) {
  vtkCellArray* cellsA[4] = {a->GetVerts(), a->GetLines(), a->GetPolys(), a->GetStrips()};
  vtkCellArray* cellsB[4] = {b->GetVerts(), b->GetLines(), b->GetPolys(), b->GetStrips()};
  for (int k = 0; k < 4; ++k) {
    if (!SameValues(cellsA[k]->GetOffsetsArray(), cellsB[k]->GetOffsetsArray()) ||
        !SameValues(cellsA[k]->GetConnectivityArray(), cellsB[k]->GetConnectivityArray())) {
      return false;
    }
  }
  return SameValues(a->GetPoints()->GetData(), b->GetPoints()->GetData()) &&
         SameValues(a->GetPointData()->GetScalars(), b->GetPointData()->GetScalars()) &&
         SameValues(a->GetCellData()->GetScalars(), b->GetCellData()->GetScalars());
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
    SELVANE_FUZZ_CHECK(selvane::fuzz::ValuesInRange(model));
  } else {
    SELVANE_FUZZ_CHECK(reader->GetOutput()->GetNumberOfPoints() == 0);
  }

  // Open Model's own read of plain BINARY files takes only what the general path accepts, and
  // makes the same model of it.
  auto fast = vtkSmartPointer<vtkPolyData>::New();
  if (selvane::formats::ReadPlainBinaryLegacyModel(path, fast)) {
    SELVANE_FUZZ_CHECK(read.Ok());
    SELVANE_FUZZ_CHECK(SameModel(fast, reader->GetOutput()));
  } else {
    SELVANE_FUZZ_CHECK(fast->GetNumberOfPoints() == 0);
  }
  return 0;
}
