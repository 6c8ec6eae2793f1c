#include "ModelFileReader.h"

#include "InputFile.h"

#include <vtkCallbackCommand.h>
#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkCharArray.h>
#include <vtkCommand.h>
#include <vtkDataArray.h>
#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkObjectFactory.h>
#include <vtkOutputWindow.h>
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

// Collects every message VTK reports while a read runs.
struct MessageLog {
  std::vector<std::string> Messages;
};

// An output window that keeps what VTK would print (errors, warnings, generic warnings).
class CapturingOutputWindow : public vtkOutputWindow {
public:
  static CapturingOutputWindow* New();
  vtkTypeMacro(CapturingOutputWindow, vtkOutputWindow);

  MessageLog* Log = nullptr;

  void DisplayText(const char* text) override { this->Keep(text); }
  void DisplayErrorText(const char* text) override { this->Keep(text); }
  void DisplayWarningText(const char* text) override { this->Keep(text); }
  void DisplayGenericWarningText(const char* text) override { this->Keep(text); }
  void DisplayDebugText(const char*) override {}

private:
  void Keep(const char* text) {
    if (this->Log) {
      this->Log->Messages.emplace_back(text ? text : "");
    }
  }
};
vtkStandardNewMacro(CapturingOutputWindow);

void OnReaderMessage(vtkObject*, unsigned long, void* clientData, void* callData) {
  static_cast<MessageLog*>(clientData)
      ->Messages.emplace_back(callData ? static_cast<const char*>(callData) : "");
}

// While alive: VTK's output window is ours, warnings are displayed (so they reach us), and the
// reader's ErrorEvent and WarningEvent come to the log. Everything is put back at the end.
class ScopedVtkMessageCapture {
public:
  ScopedVtkMessageCapture(vtkObject* watched, MessageLog& log) : Watched(watched) {
    this->Previous = vtkOutputWindow::GetInstance();
    this->Window->Log = &log;
    vtkOutputWindow::SetInstance(this->Window);
    this->PreviousWarningDisplay = vtkObject::GetGlobalWarningDisplay();
    vtkObject::GlobalWarningDisplayOn();
    this->Callback->SetCallback(OnReaderMessage);
    this->Callback->SetClientData(&log);
    this->ErrorTag = watched->AddObserver(vtkCommand::ErrorEvent, this->Callback);
    this->WarningTag = watched->AddObserver(vtkCommand::WarningEvent, this->Callback);
  }
  ~ScopedVtkMessageCapture() {
    this->Watched->RemoveObserver(this->ErrorTag);
    this->Watched->RemoveObserver(this->WarningTag);
    vtkObject::SetGlobalWarningDisplay(this->PreviousWarningDisplay);
    vtkOutputWindow::SetInstance(this->Previous);
    this->Window->Log = nullptr;
  }
  ScopedVtkMessageCapture(const ScopedVtkMessageCapture&) = delete;
  ScopedVtkMessageCapture& operator=(const ScopedVtkMessageCapture&) = delete;

private:
  vtkObject* Watched;
  vtkSmartPointer<vtkOutputWindow> Previous;
  vtkSmartPointer<CapturingOutputWindow> Window = vtkSmartPointer<CapturingOutputWindow>::New();
  vtkSmartPointer<vtkCallbackCommand> Callback = vtkSmartPointer<vtkCallbackCommand>::New();
  int PreviousWarningDisplay = 1;
  unsigned long ErrorTag = 0;
  unsigned long WarningTag = 0;
};

void ReplaceAll(std::string& s, const std::string& what, const std::string& with) {
  if (what.empty()) {
    return;
  }
  for (std::size_t at = s.find(what); at != std::string::npos;
       at = s.find(what, at + with.size())) {
    s.replace(at, what.size(), with);
  }
}

// The readable part of a VTK message, on one line and without the path:
// "ERROR: In .../vtkDataReader.cxx, line 2329\nvtkPolyDataReader (0x...): Text for file: X".
std::string CleanVtkMessage(std::string text, const std::string& path) {
  ReplaceAll(text, path, "the file");
  std::string best;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    std::string line =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? text.size() + 1 : end + 1;
    bool location =
        line.find(": In ") != std::string::npos && line.find(", line ") != std::string::npos;
    if (line.find_first_not_of(" \t\r") == std::string::npos || location) {
      continue;
    }
    best = line;
    break;
  }
  std::size_t object = best.find(" (0x");
  std::size_t colon = object == std::string::npos ? std::string::npos : best.find("): ", object);
  if (colon != std::string::npos) {
    best = best.substr(colon + 3);
  }
  std::size_t forFile = best.find(" for file");
  if (forFile != std::string::npos) {
    best.erase(forFile);
  }
  while (!best.empty() && (best.back() == ' ' || best.back() == '\r' || best.back() == '\t')) {
    best.pop_back();
  }
  if (best.size() > 200) {
    best = best.substr(0, 200) + "...";
  }
  return best.empty() ? "an unspecified problem" : best;
}

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
  // Every offset in [0, nConn] first, so that the differences below cannot overflow; no early
  // exit, so that the loops vectorise.
  bool outside = false;
  for (vtkIdType i = 1; i < nOffsets; ++i) {
    outside |= static_cast<unsigned long long>(o[i]) > static_cast<unsigned long long>(nConn);
  }
  if (outside) {
    return false;
  }
  bool tooFew = false;
  for (vtkIdType i = 1; i < nOffsets; ++i) {
    tooFew |= o[i] - o[i - 1] < minIds;
  }
  if (tooFew) {
    return false;
  }
  const auto* c = nConn > 0 ? connectivity->GetPointer(0) : nullptr;
  bool ok = true;
  for (vtkIdType i = 0; i < nConn; ++i) {
    ok &= static_cast<unsigned long long>(c[i]) < static_cast<unsigned long long>(points);
  }
  return ok;
}

bool CellArrayOk(vtkCellArray* cells, vtkIdType points, int minIds, bool perValue) {
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

template <typename T> bool FiniteFloatRange(const T* v, vtkIdType n) {
  const double limit = static_cast<double>(std::numeric_limits<float>::max());
  bool ok = true;
  for (vtkIdType i = 0; i < n; ++i) {
    const double x = static_cast<double>(v[i]);
    ok &= (x >= -limit && x <= limit); // false for NaN too
  }
  return ok;
}

bool CoordinatesOk(vtkPoints* points) {
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

template <typename T> bool AllFinite(const T* v, vtkIdType n) {
  bool ok = true;
  for (vtkIdType i = 0; i < n; ++i) {
    ok &= std::isfinite(v[i]);
  }
  return ok;
}

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

bool AttributesOk(vtkDataSetAttributes* attributes, vtkIdType tuples) {
  for (int i = 0; i < attributes->GetNumberOfArrays(); ++i) {
    vtkAbstractArray* array = attributes->GetAbstractArray(i);
    if (!array || array->GetNumberOfTuples() != tuples) {
      return false;
    }
  }
  return true;
}

ModelFileReadResult Failure(ModelFileProblem problem, const std::string& reason) {
  ModelFileReadResult r;
  r.Problem = problem;
  r.Reason = reason;
  return r;
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
formats::InputFileResult ReadIntoCharArray(const std::string& path, vtkCharArray* bytes) {
  // An allocation that fails is reported by VTK too; that report is ours to give.
  const int display = vtkObject::GetGlobalWarningDisplay();
  vtkObject::GlobalWarningDisplayOff();
  formats::InputFileResult read = formats::ReadRegularFileInto(path, AllocateInCharArray, bytes);
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
ModelFileReadResult CheckOutput(vtkPolyDataReader* reader, const LegacyVtkScanResult& scan,
                                const MessageLog& log, const std::string& path) {
  vtkPolyData* output = reader->GetOutput();
  auto fail = [output, reader](ModelFileProblem problem, const std::string& reason) {
    Detach(reader);
    if (output) {
      output->Initialize(); // never leave a half-read model behind
    }
    return Failure(problem, reason);
  };
  if (!log.Messages.empty()) {
    return fail(ModelFileProblem::ReaderReported,
                "VTK's reader reported: " + CleanVtkMessage(log.Messages.front(), path));
  }
  if (reader->GetErrorCode() != 0) {
    return fail(ModelFileProblem::ReaderReported, "VTK's reader failed to read the file");
  }
  if (!output || !output->GetPoints()) {
    return fail(ModelFileProblem::InvalidOutput, "VTK's reader produced no points");
  }
  const vtkIdType points = output->GetNumberOfPoints();
  if (points != scan.NumberOfPoints || output->GetNumberOfVerts() != scan.NumberOfVerts ||
      output->GetNumberOfLines() != scan.NumberOfLines ||
      output->GetNumberOfPolys() != scan.NumberOfPolys ||
      output->GetNumberOfStrips() != scan.NumberOfStrips) {
    return fail(ModelFileProblem::InvalidOutput,
                "VTK's reader read other counts of points or cells than the file declares");
  }
  if (points == 0 || output->GetNumberOfCells() == 0) {
    return fail(ModelFileProblem::NoGeometry, "the model has no points or no cells");
  }
  // In a BINARY file, VTK's values are the very bytes the scanner checked one by one (IDs in
  // range, cell sizes, finite coordinates and scalars), at the places the counts above confirm:
  // going through them all again would cost a sizeable share of the read (the fuzzer checks
  // that this holds). In an ASCII file VTK parses the numbers itself, which may differ from our
  // parsing, so every value is checked again.
  const bool perValue = !scan.Binary;
  if (perValue && !CoordinatesOk(output->GetPoints())) {
    return fail(ModelFileProblem::BadCoordinate,
                "the model has a coordinate that is not finite or outside single-precision range");
  }
  if (!CellArrayOk(output->GetVerts(), points, 1, perValue) ||
      !CellArrayOk(output->GetLines(), points, 2, perValue) ||
      !CellArrayOk(output->GetPolys(), points, 3, perValue) ||
      !CellArrayOk(output->GetStrips(), points, 3, perValue)) {
    return fail(ModelFileProblem::InvalidOutput,
                "the model has a cell with a point ID out of range or too few points");
  }
  if (!AttributesOk(output->GetPointData(), points) ||
      !AttributesOk(output->GetCellData(), output->GetNumberOfCells())) {
    return fail(ModelFileProblem::InvalidOutput,
                "the model has point or cell data of the wrong length");
  }
  if (vtkDataArray* scalars = perValue ? output->GetCellData()->GetScalars() : nullptr) {
    if (!ScalarsFinite(scalars)) {
      return fail(ModelFileProblem::BadCoordinate, "the cell scalars are not finite");
    }
  }
  return ModelFileReadResult();
}

// Where no memory file can be made: the file read into an array once, and VTK given that
// array (which it copies twice before reading). The reader keeps the array: should the
// pipeline run it again, it reads the checked bytes again.
ModelFileReadResult ReadThroughMemory(const std::string& path, vtkPolyDataReader* reader) {
  auto bytes = vtkSmartPointer<vtkCharArray>::New();
  const formats::InputFileResult input = ReadIntoCharArray(path, bytes);
  if (!input.Ok()) {
    return Failure(ModelFileProblem::CannotRead, input.Reason);
  }
  const vtkIdType size = bytes->GetNumberOfValues();
  const LegacyVtkScanResult scan =
      ScanLegacyVtkBuffer(size > 0 ? bytes->GetPointer(0) : "", static_cast<std::size_t>(size));
  if (!scan.Ok()) {
    return Failure(scan.Problem, scan.Reason);
  }
  MessageLog log;
  {
    ScopedVtkMessageCapture capture(reader, log);
    reader->SetInputArray(bytes);
    reader->ReadFromInputStringOn();
    reader->Update();
  }
  return CheckOutput(reader, scan, log, path);
}

} // namespace

ModelFileReadResult ReadModelFileChecked(const std::string& path, vtkPolyDataReader* reader) {
  if (!reader) {
    return Failure(ModelFileProblem::CannotRead, "no reader was given");
  }
  // The file is copied once into a sealed memory file; the scanner checks those bytes and VTK's
  // reader reads that same file by name, so a file replaced or rewritten meanwhile cannot slip
  // anything past the check. Reading by name spares the two copies VTK makes of an in-memory
  // input.
  Detach(reader);
  // The scanner reads along while the copy is made.
  formats::SealedFileCopy copy;
  LegacyVtkScanResult scan;
  const formats::InputFileResult input = formats::CopyRegularFileSealed(
      path, copy, true, formats::NoSizeLimit,
      [&scan](const char* data, std::size_t size, formats::CopyProgress& progress) {
        scan = ScanLegacyVtkBuffer(data, size, progress);
        return scan.Ok();
      });
  if (input.Problem == formats::InputProblem::NoMemoryFile) {
    return ReadThroughMemory(path, reader);
  }
  if (!input.Ok()) {
    return Failure(ModelFileProblem::CannotRead, input.Reason);
  }
  if (!scan.Ok()) {
    return Failure(scan.Problem, scan.Reason);
  }

  const std::string copyPath = copy.ProcPath();
  MessageLog log;
  {
    ScopedVtkMessageCapture capture(reader, log);
    ReadFromSealedCopy(reader, std::move(copy));
    reader->Update();
  }
  return CheckOutput(reader, scan, log, copyPath);
}

std::string ReadModelFile(const std::string& path, vtkPolyDataReader* reader) {
  return ReadModelFileChecked(path, reader).Reason;
}

ModelFileReadResult CheckReadModel(vtkPolyData* model) {
  if (!model || !model->GetPoints() || model->GetNumberOfPoints() == 0 ||
      model->GetNumberOfCells() == 0) {
    return Failure(ModelFileProblem::NoGeometry, "the model has no points or no cells");
  }
  const vtkIdType points = model->GetNumberOfPoints();
  if (!CoordinatesOk(model->GetPoints())) {
    return Failure(ModelFileProblem::BadCoordinate,
                   "the model has a coordinate that is not finite or outside single-precision "
                   "range");
  }
  if (!CellArrayOk(model->GetVerts(), points, 1, true) ||
      !CellArrayOk(model->GetLines(), points, 2, true) ||
      !CellArrayOk(model->GetPolys(), points, 3, true) ||
      !CellArrayOk(model->GetStrips(), points, 3, true)) {
    return Failure(ModelFileProblem::InvalidOutput,
                   "the model has a cell with a point ID out of range or too few points");
  }
  if (!AttributesOk(model->GetPointData(), points) ||
      !AttributesOk(model->GetCellData(), model->GetNumberOfCells())) {
    return Failure(ModelFileProblem::InvalidOutput,
                   "the model has point or cell data of the wrong length");
  }
  if (vtkDataArray* scalars = model->GetCellData()->GetScalars()) {
    if (!ScalarsFinite(scalars)) {
      return Failure(ModelFileProblem::BadCoordinate, "the cell scalars are not finite");
    }
  }
  return ModelFileReadResult();
}

} // namespace selvane
