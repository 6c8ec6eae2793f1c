#include "VtpModelReader.h"

#include "ModelFileReader.h"
#include "VtkMessageCapture.h"
#include "VtpFileView.h"
#include "VtpStructureCheck.h"
#include "VtpValueWatch.h"
#include "vtkNestingLimitedXMLDataParser.h"

#include <vtkCallbackCommand.h>
#include <vtkDataCompressor.h>
#include <vtkExecutive.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkXMLPolyDataReader.h>

#include <exception>
#include <memory>
#include <new>

namespace selvane {

namespace {

// VTK's XML parser that checks the file's structure on the tree it has just built, before the
// reader interprets any of it: a file refused there fails to parse. A large file with inline
// data is then parsed once instead of twice. Its own messages and those of the decompressor it
// is given go to a command of the reader's.
class CheckingXMLDataParser : public vtkNestingLimitedXMLDataParser {
public:
  static CheckingXMLDataParser* New();
  vtkTypeMacro(CheckingXMLDataParser, vtkNestingLimitedXMLDataParser);
  void PrintSelf(ostream& os, vtkIndent indent) override {
    this->Superclass::PrintSelf(os, indent);
    os << indent << "Checked: " << (this->Check ? "yes" : "no") << "\n";
  }

  // The view holds the bytes the parse reads; the result is written where `check` points, and
  // the raw values it lists are given to `watch` (none: not watched). All must outlive the parse.
  void SetCheck(formats::VtpFileView* view, formats::VtpCheckResult* check,
                formats::VtpValueWatch* watch) {
    this->View = view;
    this->Check = check;
    this->Watch = watch;
  }

  // Observes this parser's errors and warnings, and those of every decompressor it is given.
  void SetMessageObserver(vtkCommand* observer) {
    this->MessageObserver = observer;
    this->AddObserver(vtkCommand::ErrorEvent, observer);
    this->AddObserver(vtkCommand::WarningEvent, observer);
  }

  void SetCompressor(vtkDataCompressor* compressor) override {
    this->Superclass::SetCompressor(compressor);
    if (compressor && this->MessageObserver) {
      compressor->AddObserver(vtkCommand::ErrorEvent, this->MessageObserver);
      compressor->AddObserver(vtkCommand::WarningEvent, this->MessageObserver);
    }
  }

  int Parse() override {
    if (!this->Check) {
      return this->Superclass::Parse();
    }
    if (!this->View || !this->Superclass::Parse()) {
      return 0;
    }
    *this->Check = formats::CheckParsedVtpStructure(this, this->View->Bytes(), *this->View);
    if (this->Watch) {
      this->Watch->Watch(this->Check->RawValues);
    }
    // What the stream read ahead during the parse may predate bytes the check has loaded since:
    // drop it, so that the reader sees the bytes the check saw.
    if (this->GetStream()) {
      this->GetStream()->rdbuf()->pubsync();
    }
    return this->Check->Ok() ? 1 : 0;
  }

protected:
  CheckingXMLDataParser() = default;
  ~CheckingXMLDataParser() override = default;

private:
  CheckingXMLDataParser(const CheckingXMLDataParser&) = delete;
  void operator=(const CheckingXMLDataParser&) = delete;

  formats::VtpFileView* View = nullptr;
  formats::VtpCheckResult* Check = nullptr;
  formats::VtpValueWatch* Watch = nullptr;
  vtkCommand* MessageObserver = nullptr;
};
vtkStandardNewMacro(CheckingXMLDataParser);

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

  // Has the structure checked as the file is parsed, with the result written to `check`, and
  // the raw values it lists checked as they are read by `watch`; both must outlive every
  // update. Without it the file must have been checked before.
  void CheckWhileParsing(formats::VtpCheckResult* check, formats::VtpValueWatch* watch) {
    this->ParseCheck = check;
    this->Watch = watch;
    this->Modified();
  }

protected:
  ViewXMLPolyDataReader() {
    this->ForwardToReader->SetClientData(this);
    this->ForwardToReader->SetCallback(
        [](vtkObject*, unsigned long event, void* reader, void* message) {
          static_cast<vtkObject*>(reader)->InvokeEvent(event, message);
        });
  }
  ~ViewXMLPolyDataReader() override = default;

  void CreateXMLParser() override {
    this->Superclass::CreateXMLParser();
    auto* parser = CheckingXMLDataParser::New();
    if (this->ParseCheck) {
      parser->SetCheck(this->View, this->ParseCheck, this->Watch);
    }
    // The parser's messages and its decompressor's are the reader's, for whoever observes it.
    parser->SetMessageObserver(this->ForwardToReader);
    parser->AddObserver(vtkCommand::ProgressEvent, this->DataProgressObserver);
    this->XMLParser->Delete();
    this->XMLParser = parser;
  }

  int OpenStream() override {
    if (!this->View) {
      return 0;
    }
    this->Memory = std::make_unique<formats::VtpFileStream>(*this->View);
    this->Memory->SetWatch(this->Watch);
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
  formats::VtpCheckResult* ParseCheck = nullptr;
  formats::VtpValueWatch* Watch = nullptr;
  std::unique_ptr<formats::VtpFileStream> Memory;
  vtkNew<vtkCallbackCommand> ForwardToReader;
};
vtkStandardNewMacro(ViewXMLPolyDataReader);

Result Failure(ErrorCode problem, const std::string& reason) {
  return Result::Failure(problem, reason);
}

// VTK's output held against what the check found; empty when it passes.
Result CheckOutput(vtkPolyData* model, const formats::VtpCheckResult& check,
                   const ValuesCheckedAsRead& checked) {
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
  return CheckReadModel(model, checked);
}

// VTK reading the view, with the structure checked before the reader (checkWhileParsing false:
// `check` holds the check's result already) or on the parse it makes itself.
Result ReadView(formats::VtpFileView& view, formats::VtpCheckResult& check, bool checkWhileParsing,
                const std::string& path, vtkSmartPointer<vtkPolyData>& model) {
  auto reader = vtkSmartPointer<ViewXMLPolyDataReader>::New();
  formats::VtpValueWatch watch;
  formats::MessageLog log;
  try {
    formats::ScopedVtkMessageCapture capture(reader, log);
    capture.Also(reader->GetExecutive());
    reader->SetView(&view);
    if (checkWhileParsing) {
      reader->CheckWhileParsing(&check, &watch);
    }
    reader->Update();
  } catch (const std::bad_alloc&) {
    return Failure(ErrorCode::TooLarge, "not enough memory to read the model");
  } catch (const std::exception& error) {
    return Failure(ErrorCode::ReaderReported, std::string("VTK's reader failed: ") + error.what());
  }
  if (!view.ReadProblem().Ok()) {
    return Failure(view.ReadProblem().Code, view.ReadProblem().Reason);
  }
  if (!check.Ok()) {
    return Failure(check.Problem, check.Reason);
  }
  if (!log.Messages.empty()) {
    return Failure(ErrorCode::ReaderReported,
                   "VTK's reader reported: " +
                       formats::CleanVtkMessage(log.Messages.front(), path));
  }
  model = reader->GetOutput();
  ValuesCheckedAsRead checked;
  if (watch.AllSound()) {
    checked.Coordinates = check.RawCoordinates;
    checked.Verts = check.RawCells[0];
    checked.Lines = check.RawCells[1];
    checked.Strips = check.RawCells[2];
    checked.Polys = check.RawCells[3];
    checked.CellArrays = check.RawCellFloats;
  }
  return CheckOutput(model, check, checked);
}

// The structure checked on a parse of its own before VTK's reader sees the file: what it
// refuses, it refuses with the whole file's reason.
Result ReadCheckedFirst(const std::string& path, std::uint64_t firstBytes,
                        vtkSmartPointer<vtkPolyData>& model) {
  formats::VtpFileView view;
  const Result input = view.Open(path, firstBytes);
  if (!input.Ok()) {
    return input;
  }
  formats::VtpCheckResult check = formats::CheckVtpStructure(view.Bytes(), view);
  if (!view.ReadProblem().Ok()) {
    return Failure(view.ReadProblem().Code, view.ReadProblem().Reason);
  }
  if (!check.Ok()) {
    return Failure(check.Problem, check.Reason);
  }
  return ReadView(view, check, false, path, model);
}

} // namespace

Result ReadVtpModel(const std::string& path, vtkPolyData* output) {
  return ReadVtpModel(path, output, formats::VtpFileView::DefaultFirstBytes);
}

Result ReadVtpModelInOneParse(const std::string& path, vtkPolyData* output,
                              std::uint64_t firstBytes) {
  if (!output) {
    return Failure(ErrorCode::CannotOpen, "no model was given to read into");
  }
  formats::VtpFileView view;
  const Result input = view.Open(path, firstBytes);
  if (!input.Ok()) {
    return input;
  }
  formats::VtpCheckResult check;
  check.Problem = ErrorCode::Malformed; // until the parse has checked it
  check.Reason = "the file was not parsed";
  vtkSmartPointer<vtkPolyData> model;
  const Result read = ReadView(view, check, true, path, model);
  if (read.Ok()) {
    output->ShallowCopy(model);
  }
  return read;
}

Result ReadVtpModel(const std::string& path, vtkPolyData* output, std::uint64_t firstBytes) {
  if (!output) {
    return Failure(ErrorCode::CannotOpen, "no model was given to read into");
  }
  const Result once = ReadVtpModelInOneParse(path, output, firstBytes);
  if (once.Ok() || once.Code == ErrorCode::CannotOpen) {
    return once;
  }
  vtkSmartPointer<vtkPolyData> model;
  const Result read = ReadCheckedFirst(path, firstBytes, model);
  if (read.Ok()) {
    output->ShallowCopy(model);
  }
  return read;
}

} // namespace selvane
