#include "VtpModelReader.h"

#include "ModelFileReader.h"
#include "VtkMessageCapture.h"
#include "VtpFileView.h"
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

// vtkXMLPolyDataReader reading a checked file view through a stream over it: the bytes the check
// saw from memory, the rest from the file straight into the reader's arrays.
class ViewXMLPolyDataReader : public vtkXMLPolyDataReader {
public:
  static ViewXMLPolyDataReader* New();
  vtkTypeMacro(ViewXMLPolyDataReader, vtkXMLPolyDataReader);
  void PrintSelf(ostream& os, vtkIndent indent) override {
    this->Superclass::PrintSelf(os, indent);
    os << indent << "Bytes: " << (this->View ? this->View->FileSize() : 0) << "\n";
  }

  // The view must outlive every update of the reader.
  void SetView(formats::VtpFileView* view) {
    this->View = view;
    this->ReadFromInputStringOn(); // no file name is needed
    this->Modified();
  }

protected:
  ViewXMLPolyDataReader() = default;
  ~ViewXMLPolyDataReader() override = default;

  int OpenStream() override {
    if (!this->View) {
      return 0;
    }
    this->Memory = std::make_unique<formats::VtpFileStream>(*this->View);
    this->Stream = this->Memory.get();
    return 1;
  }
  void CloseStream() override {
    this->Stream = nullptr;
    this->Memory.reset();
  }

private:
  ViewXMLPolyDataReader(const ViewXMLPolyDataReader&) = delete;
  void operator=(const ViewXMLPolyDataReader&) = delete;

  formats::VtpFileView* View = nullptr;
  std::unique_ptr<formats::VtpFileStream> Memory;
};
vtkStandardNewMacro(ViewXMLPolyDataReader);

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
  return ReadVtpModel(path, output, formats::VtpFileView::DefaultFirstBytes);
}

Result ReadVtpModel(const std::string& path, vtkPolyData* output, std::uint64_t firstBytes) {
  if (!output) {
    return Failure(ErrorCode::CannotOpen, "no model was given to read into");
  }
  formats::VtpFileView view;
  const Result input = view.Open(path, firstBytes);
  if (!input.Ok()) {
    return Failure(input.Code, input.Reason);
  }
  const formats::VtpCheckResult check = formats::CheckVtpStructure(view.Bytes(), view);
  if (!view.ReadProblem().Ok()) {
    return Failure(view.ReadProblem().Code, view.ReadProblem().Reason);
  }
  if (!check.Ok()) {
    return Failure(check.Problem, check.Reason);
  }
  auto reader = vtkSmartPointer<ViewXMLPolyDataReader>::New();
  formats::MessageLog log;
  try {
    formats::ScopedVtkMessageCapture capture(reader, log);
    reader->SetView(&view);
    reader->Update();
  } catch (const std::bad_alloc&) {
    return Failure(ErrorCode::TooLarge, "not enough memory to read the model");
  } catch (const std::exception& error) {
    return Failure(ErrorCode::ReaderReported, std::string("VTK's reader failed: ") + error.what());
  }
  if (!view.ReadProblem().Ok()) {
    return Failure(view.ReadProblem().Code, view.ReadProblem().Reason);
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
