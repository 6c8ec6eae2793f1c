#include "VtpModelReader.h"

#include "InputFile.h"
#include "ModelOutputChecks.h"
#include "VtkMessageCapture.h"
#include "VtpStructureCheck.h"

#include <vtkCellData.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkXMLPolyDataReader.h>

#include <exception>
#include <new>

namespace selvane {

namespace {

ModelFileReadResult Failure(ModelFileProblem problem, const std::string& reason) {
  ModelFileReadResult r;
  r.Problem = problem;
  r.Reason = reason;
  return r;
}

// VTK's output held against what the check found; empty when it passes.
ModelFileReadResult CheckOutput(vtkPolyData* model, const formats::VtpCheckResult& check) {
  if (!model || !model->GetPoints()) {
    return Failure(ModelFileProblem::InvalidOutput, "VTK's reader produced no points");
  }
  const vtkIdType points = model->GetNumberOfPoints();
  if (points != check.NumberOfPoints || model->GetNumberOfVerts() != check.NumberOfVerts ||
      model->GetNumberOfLines() != check.NumberOfLines ||
      model->GetNumberOfPolys() != check.NumberOfPolys ||
      model->GetNumberOfStrips() != check.NumberOfStrips) {
    return Failure(ModelFileProblem::InvalidOutput,
                   "VTK's reader read other counts of points or cells than the file declares");
  }
  if (points == 0 || model->GetNumberOfCells() == 0) {
    return Failure(ModelFileProblem::NoGeometry, "the model has no points or no cells");
  }
  if (!formats::CoordinatesInFloatRange(model->GetPoints())) {
    return Failure(ModelFileProblem::BadCoordinate,
                   "the model has a coordinate that is not finite or outside single-precision "
                   "range");
  }
  if (!formats::CellArrayValid(model->GetVerts(), points, 1, true) ||
      !formats::CellArrayValid(model->GetLines(), points, 2, true) ||
      !formats::CellArrayValid(model->GetPolys(), points, 3, true) ||
      !formats::CellArrayValid(model->GetStrips(), points, 3, true)) {
    return Failure(ModelFileProblem::InvalidOutput,
                   "the model has a cell with a point ID out of range or too few points");
  }
  if (!formats::AttributesHaveLength(model->GetPointData(), points) ||
      !formats::AttributesHaveLength(model->GetCellData(), model->GetNumberOfCells())) {
    return Failure(ModelFileProblem::InvalidOutput,
                   "the model has point or cell data of the wrong length");
  }
  if (vtkDataArray* scalars = model->GetCellData()->GetScalars()) {
    if (!formats::ScalarsFinite(scalars)) {
      return Failure(ModelFileProblem::BadCoordinate, "the cell scalars are not finite");
    }
  }
  return ModelFileReadResult();
}

} // namespace

ModelFileReadResult ReadVtpModel(const std::string& path, vtkPolyData* output) {
  if (!output) {
    return Failure(ModelFileProblem::CannotRead, "no model was given to read into");
  }
  std::string bytes;
  const formats::InputFileResult input = formats::ReadRegularFile(path, bytes);
  if (!input.Ok()) {
    return Failure(ModelFileProblem::CannotRead, input.Reason);
  }
  const formats::VtpCheckResult check = formats::CheckVtpStructure(bytes);
  if (!check.Ok()) {
    return Failure(check.Problem, check.Reason);
  }
  auto reader = vtkSmartPointer<vtkXMLPolyDataReader>::New();
  formats::MessageLog log;
  try {
    formats::ScopedVtkMessageCapture capture(reader, log);
    reader->ReadFromInputStringOn();
    reader->SetInputString(bytes);
    std::string().swap(bytes); // the reader holds its own copy
    reader->Update();
  } catch (const std::bad_alloc&) {
    return Failure(ModelFileProblem::TooLarge, "not enough memory to read the model");
  } catch (const std::exception& error) {
    return Failure(ModelFileProblem::ReaderReported,
                   std::string("VTK's reader failed: ") + error.what());
  }
  if (!log.Messages.empty()) {
    return Failure(ModelFileProblem::ReaderReported,
                   "VTK's reader reported: " +
                       formats::CleanVtkMessage(log.Messages.front(), path));
  }
  vtkPolyData* model = reader->GetOutput();
  ModelFileReadResult checked = CheckOutput(model, check);
  if (!checked.Ok()) {
    return checked;
  }
  output->ShallowCopy(model);
  return checked;
}

} // namespace selvane
