#include "ModelFileReader.h"

#include "InputFile.h"
#include "ModelOutputChecks.h"
#include "ModelReaderSupport.h"
#include "VtkMessageCapture.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkCharArray.h>
#include <vtkCommand.h>
#include <vtkDataArray.h>
#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSmartPointer.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace selvane {

namespace {

Result Failure(ErrorCode problem, const std::string& reason) {
  return Result::Failure(problem, reason);
}

// Gives the file's bytes a home in the character array VTK's reader reads from.
char* AllocateInCharArray(void* context, std::size_t size) {
  auto* array = static_cast<vtkCharArray*>(context);
  if (size > static_cast<std::size_t>(std::numeric_limits<vtkIdType>::max()) ||
      !array->SetNumberOfValues(static_cast<vtkIdType>(size))) {
    return nullptr;
  }
  return size == 0 ? nullptr : array->GetPointer(0);
}

// The whole file in a character array, without a leading UTF-8 byte-order mark.
Result ReadIntoCharArray(const std::string& path, vtkCharArray* bytes) {
  // An allocation that fails is reported by VTK too; that report is ours to give.
  const int display = vtkObject::GetGlobalWarningDisplay();
  vtkObject::GlobalWarningDisplayOff();
  Result read = formats::ReadRegularFileInto(path, AllocateInCharArray, bytes);
  vtkObject::SetGlobalWarningDisplay(display);
  if (!read.Ok()) {
    bytes->Initialize();
    return read;
  }
  const vtkIdType size = bytes->GetNumberOfValues();
  const std::size_t bom = size == 0 ? 0
                                    : formats::Utf8BomLength(std::string_view(
                                          bytes->GetPointer(0), static_cast<std::size_t>(size)));
  if (bom > 0) {
    char* data = bytes->GetPointer(0);
    std::memmove(data, data + bom, static_cast<std::size_t>(size) - bom);
    bytes->SetNumberOfValues(size - static_cast<vtkIdType>(bom));
  }
  return read;
}

// Keeps the sealed copy a reader reads by name for as long as that reader lives: the
// pipeline may run the reader again at any time, and its file name must then still lead to the
// checked bytes, never to a closed (and perhaps reused) descriptor. It is an observer of an
// event nothing sends, because observers are owned by the object they observe.
class SealedCopyKeeper : public vtkCommand {
public:
  static SealedCopyKeeper* New() { return new SealedCopyKeeper; }
  vtkTypeMacro(SealedCopyKeeper, vtkCommand);
  void Execute(vtkObject*, unsigned long, void*) override {}
  formats::SealedFileCopy Copy;
};
constexpr unsigned long KeepSealedCopyEvent = vtkCommand::UserEvent + 0x5e1;

// Points the reader at the sealed copy by name, and ties the copy's life to the reader's.
void ReadFromSealedCopy(vtkPolyDataReader* reader, formats::SealedFileCopy copy) {
  auto keeper = vtkSmartPointer<SealedCopyKeeper>::New();
  keeper->Copy = std::move(copy);
  reader->SetInputArray(nullptr);
  reader->ReadFromInputStringOff();
  reader->SetFileName(keeper->Copy.ProcPath().c_str());
  reader->RemoveObservers(KeepSealedCopyEvent);
  reader->AddObserver(KeepSealedCopyEvent, keeper);
}

// The reader reads nothing any more, and lets go of a copy it kept.
void Detach(vtkPolyDataReader* reader) {
  reader->SetFileName(nullptr);
  reader->SetInputArray(nullptr);
  reader->RemoveObservers(KeepSealedCopyEvent);
}

// VTK's output held against what the scanner found.
Result CheckOutput(vtkPolyDataReader* reader, const LegacyVtkScanResult& scan,
                   const formats::MessageLog& log, const std::string& path) {
  vtkPolyData* output = reader->GetOutput();
  auto fail = [output, reader](ErrorCode problem, const std::string& reason) {
    Detach(reader);
    if (output) {
      output->Initialize(); // never leave a half-read model behind
    }
    return Failure(problem, reason);
  };
  if (!log.Messages.empty()) {
    return fail(ErrorCode::ReaderReported,
                "VTK's reader reported: " + formats::CleanVtkMessage(log.Messages.front(), path));
  }
  if (reader->GetErrorCode() != 0) {
    return fail(ErrorCode::ReaderReported, "VTK's reader failed to read the file");
  }
  if (!output || !output->GetPoints()) {
    return fail(ErrorCode::InvalidOutput, "VTK's reader produced no points");
  }
  const vtkIdType points = output->GetNumberOfPoints();
  if (points != scan.NumberOfPoints || output->GetNumberOfVerts() != scan.NumberOfVerts ||
      output->GetNumberOfLines() != scan.NumberOfLines ||
      output->GetNumberOfPolys() != scan.NumberOfPolys ||
      output->GetNumberOfStrips() != scan.NumberOfStrips) {
    return fail(ErrorCode::InvalidOutput,
                "VTK's reader read other counts of points or cells than the file declares");
  }
  // In a BINARY file, VTK's values are the very bytes the scanner checked one by one (IDs in
  // range, cell sizes, finite coordinates and scalars), at the places the counts above confirm:
  // going through them all again would cost a sizeable share of the read (the fuzzer checks
  // that this holds). In an ASCII file VTK parses the numbers itself, which may differ from our
  // parsing, so every value is checked again.
  const bool checkedAsRead = scan.Binary;
  const Result checked = CheckReadModel(
      output, ValuesCheckedAsRead{checkedAsRead, checkedAsRead, checkedAsRead, checkedAsRead,
                                  checkedAsRead, checkedAsRead, checkedAsRead});
  if (!checked.Ok()) {
    return fail(checked.Code, checked.Reason);
  }
  return Result::Success();
}

// Where no memory file can be made: the file read into an array once, and VTK given that
// array (which it copies twice before reading). The reader keeps the array: should the
// pipeline run it again, it reads the checked bytes again.
Result ReadThroughMemory(const std::string& path, vtkPolyDataReader* reader) {
  auto bytes = vtkSmartPointer<vtkCharArray>::New();
  const Result input = ReadIntoCharArray(path, bytes);
  if (!input.Ok()) {
    return Failure(input.Code, input.Reason);
  }
  const vtkIdType size = bytes->GetNumberOfValues();
  const LegacyVtkScanResult scan =
      ScanLegacyVtkBuffer(size > 0 ? bytes->GetPointer(0) : "", static_cast<std::size_t>(size));
  if (!scan.Ok()) {
    return Failure(scan.Problem, scan.Reason);
  }
  formats::MessageLog log;
  {
    formats::ScopedVtkMessageCapture capture(reader, log);
    reader->SetInputArray(bytes);
    reader->ReadFromInputStringOn();
    reader->Update();
  }
  return CheckOutput(reader, scan, log, path);
}

} // namespace

Result ReadModelFile(const std::string& path, vtkPolyDataReader* reader) {
  if (!reader) {
    return Failure(ErrorCode::CannotOpen, "no reader was given");
  }
  // The file is copied once into a sealed memory file; the scanner checks those bytes and VTK's
  // reader reads that same file by name, so a file replaced or rewritten meanwhile cannot slip
  // anything past the check. Reading by name spares the two copies VTK makes of an in-memory
  // input.
  Detach(reader);
  // The scanner reads along while the copy is made.
  formats::SealedFileCopy copy;
  LegacyVtkScanResult scan;
  const Result input = formats::CopyRegularFileSealed(
      path, copy, true, formats::NoSizeLimit,
      [&scan](const char* data, std::size_t size, formats::CopyProgress& progress) {
        scan = ScanLegacyVtkBuffer(data, size, progress);
        return scan.Ok();
      });
  if (input.Code == ErrorCode::NoMemoryFile) {
    return ReadThroughMemory(path, reader);
  }
  if (!input.Ok()) {
    return Failure(input.Code, input.Reason);
  }
  if (!scan.Ok()) {
    return Failure(scan.Problem, scan.Reason);
  }

  const std::string copyPath = copy.ProcPath();
  formats::MessageLog log;
  {
    formats::ScopedVtkMessageCapture capture(reader, log);
    ReadFromSealedCopy(reader, std::move(copy));
    reader->Update();
  }
  return CheckOutput(reader, scan, log, copyPath);
}

Result CheckReadModel(vtkPolyData* model) {
  return CheckReadModel(model, ValuesCheckedAsRead{});
}

Result CheckReadModel(vtkPolyData* model, const ValuesCheckedAsRead& checked) {
  if (!model || !model->GetPoints() || model->GetNumberOfPoints() == 0 ||
      model->GetNumberOfCells() == 0) {
    return Failure(ErrorCode::NoGeometry, "the model has no points or no cells");
  }
  const vtkIdType points = model->GetNumberOfPoints();
  if (!checked.Coordinates && !formats::CoordinatesInFloatRange(model->GetPoints())) {
    return Failure(ErrorCode::BadCoordinate,
                   "the model has a coordinate that is not finite or outside single-precision "
                   "range");
  }
  if (!formats::CellArrayValid(model->GetVerts(), points, 1, !checked.Verts) ||
      !formats::CellArrayValid(model->GetLines(), points, 2, !checked.Lines) ||
      !formats::CellArrayValid(model->GetPolys(), points, 3, !checked.Polys) ||
      !formats::CellArrayValid(model->GetStrips(), points, 3, !checked.Strips)) {
    return Failure(ErrorCode::InvalidOutput,
                   "the model has a cell with a point ID out of range or too few points");
  }
  if (!formats::AttributesHaveLength(model->GetPointData(), points) ||
      !formats::AttributesHaveLength(model->GetCellData(), model->GetNumberOfCells())) {
    return Failure(ErrorCode::InvalidOutput,
                   "the model has point or cell data of the wrong length");
  }
  if (!checked.CellArrays) {
    if (vtkDataArray* scalars = model->GetCellData()->GetScalars()) {
      if (!formats::ScalarsFinite(scalars)) {
        return Failure(ErrorCode::BadCoordinate, "the cell scalars are not finite");
      }
    }
  }
  // Every format's other arrays pass what a legacy file's scan checks of them.
  for (const bool onPoints : {true, false}) {
    if (onPoints ? checked.PointArrays : checked.CellArrays) {
      continue;
    }
    vtkDataSetAttributes* data =
        onPoints ? static_cast<vtkDataSetAttributes*>(model->GetPointData()) : model->GetCellData();
    if (vtkDataArray* array = formats::FirstNonFiniteArray(data)) {
      return Failure(ErrorCode::BadCoordinate,
                     std::string(onPoints ? "the point data array " : "the cell data array ") +
                         formats::QuoteToken(array->GetName() ? array->GetName() : "") +
                         " holds a value that is not finite");
    }
  }
  return Result::Success();
}

} // namespace selvane
