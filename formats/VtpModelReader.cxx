#include "VtpModelReader.h"

#include "InputFile.h"
#include "MemoryStream.h"
#include "ModelFileReader.h"
#include "VtkMessageCapture.h"
#include "VtpStructureCheck.h"

#include <vtkObjectFactory.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkXMLPolyDataReader.h>

#include <exception>
#include <memory>
#include <new>

namespace selvane {

namespace {

// vtkXMLPolyDataReader reading bytes in memory through a stream over them: its own string input
// would copy the file twice (into the reader, then into a string stream) before reading it.
class MemoryXMLPolyDataReader : public vtkXMLPolyDataReader {
public:
  static MemoryXMLPolyDataReader* New();
  vtkTypeMacro(MemoryXMLPolyDataReader, vtkXMLPolyDataReader);
  void PrintSelf(ostream& os, vtkIndent indent) override {
    this->Superclass::PrintSelf(os, indent);
    os << indent << "Bytes: " << this->Bytes.size() << "\n";
  }

  // The bytes must outlive every update of the reader.
  void SetBytes(std::string_view bytes) {
    this->Bytes = bytes;
    this->ReadFromInputStringOn(); // no file name is needed
    this->Modified();
  }

protected:
  MemoryXMLPolyDataReader() = default;
  ~MemoryXMLPolyDataReader() override = default;

  int OpenStream() override {
    this->Memory = std::make_unique<formats::MemoryInputStream>(this->Bytes);
    this->Stream = this->Memory.get();
    return 1;
  }
  void CloseStream() override {
    this->Stream = nullptr;
    this->Memory.reset();
  }

private:
  MemoryXMLPolyDataReader(const MemoryXMLPolyDataReader&) = delete;
  void operator=(const MemoryXMLPolyDataReader&) = delete;

  std::string_view Bytes;
  std::unique_ptr<formats::MemoryInputStream> Memory;
};
vtkStandardNewMacro(MemoryXMLPolyDataReader);

Result Failure(ErrorCode problem, const std::string& reason) {
  return Result::Failure(problem, reason);
}

// VTK's output held against what the check found; empty when it passes.
Result CheckOutput(vtkPolyData* model, const formats::VtpCheckResult& check) {
  if (!model || !model->GetPoints()) {
    return Failure(ErrorCode::InvalidOutput, "VTK's reader produced no points");
  }
  const vtkIdType points = model->GetNumberOfPoints();
  if (points != check.NumberOfPoints || model->GetNumberOfVerts() != check.NumberOfVerts ||
      model->GetNumberOfLines() != check.NumberOfLines ||
      model->GetNumberOfPolys() != check.NumberOfPolys ||
      model->GetNumberOfStrips() != check.NumberOfStrips) {
    return Failure(ErrorCode::InvalidOutput,
                   "VTK's reader read other counts of points or cells than the file declares");
  }
  // Then what every reader's model must pass.
  return CheckReadModel(model);
}

} // namespace

Result ReadVtpModel(const std::string& path, vtkPolyData* output) {
  if (!output) {
    return Failure(ErrorCode::CannotOpen, "no model was given to read into");
  }
  std::string bytes;
  const Result input = formats::ReadRegularFile(path, bytes);
  if (!input.Ok()) {
    return Failure(input.Code, input.Reason);
  }
  const formats::VtpCheckResult check = formats::CheckVtpStructure(bytes);
  if (!check.Ok()) {
    return Failure(check.Problem, check.Reason);
  }
  auto reader = vtkSmartPointer<MemoryXMLPolyDataReader>::New();
  formats::MessageLog log;
  try {
    formats::ScopedVtkMessageCapture capture(reader, log);
    reader->SetBytes(bytes);
    reader->Update();
  } catch (const std::bad_alloc&) {
    return Failure(ErrorCode::TooLarge, "not enough memory to read the model");
  } catch (const std::exception& error) {
    return Failure(ErrorCode::ReaderReported, std::string("VTK's reader failed: ") + error.what());
  }
  if (!log.Messages.empty()) {
    return Failure(ErrorCode::ReaderReported,
                   "VTK's reader reported: " +
                       formats::CleanVtkMessage(log.Messages.front(), path));
  }
  vtkPolyData* model = reader->GetOutput();
  Result checked = CheckOutput(model, check);
  if (!checked.Ok()) {
    return checked;
  }
  output->ShallowCopy(model);
  return checked;
}

} // namespace selvane
