#include "ShapeFit.h"

#include "StageEvent.h"

#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"
#include "vtkShapeTransform.h"

#include <vtkCallbackCommand.h>
#include <vtkNew.h>
#include <vtkPoints.h>

#include <exception>
#include <new>

namespace selvane {

namespace {

ShapeFitResult Fail(ErrorCode code, const std::string& reason) {
  ShapeFitResult result;
  result.Code = code;
  result.Reason = reason;
  return result;
}

// Reads the pairs from path, or from text when path is null.
ShapeFitResult Fit(const std::string* path, const std::string& text, float radius,
                   vtkShapeTransform* transform, const FitStages& stages, int solverPath) {
  // A stage the reader or the solver starts is passed on; a cancel asked for meanwhile takes
  // effect when that call returns.
  bool cancelled = false;
  auto next = [&stages, &cancelled](const char* stage) {
    cancelled = cancelled || (stages && !stages(stage));
    return !cancelled;
  };
  vtkNew<vtkCallbackCommand> relay;
  relay->SetClientData(&next);
  relay->SetCallback([](vtkObject*, unsigned long, void* client, void* stage) {
    (*static_cast<decltype(next)*>(client))(static_cast<const char*>(stage));
  });
  if (!next("Reading"))
    return Fail(ErrorCode::Cancelled, "cancelled");
  vtkNew<vtkDatReader> reader;
  reader->AddObserver(StageEvent, relay);
  if (path)
    reader->SetFileName(path->c_str());
  else
    reader->SetInputText(text);
  reader->SetRadius(radius);
  const int read = reader->ReadDatFile();
  if (cancelled)
    return Fail(ErrorCode::Cancelled, "cancelled");
  if (read != 0) {
    switch (reader->GetErrorKind()) {
    case vtkDatReader::CannotOpenFile:
      return Fail(ErrorCode::CannotOpen, reader->GetErrorMessage());
    case vtkDatReader::NotEnoughMemory:
      return Fail(ErrorCode::OutOfMemory, reader->GetErrorMessage());
    default:
      return Fail(ErrorCode::Unreadable, reader->GetErrorMessage());
    }
  }
  ShapeFitResult result;
  result.Warning = reader->GetWarningMessage();
  result.Pairs = static_cast<int>(reader->GetPointArray()->GetNumberOfPoints());
  if (result.Pairs == 0)
    return Fail(ErrorCode::NoData,
                "holds no correspondences (lines of six numbers: source x y z, target x y z)");

  if (!next("Assembling"))
    return Fail(ErrorCode::Cancelled, "cancelled");
  vtkNew<vtkMatrixSolver> solver;
  solver->AddObserver(StageEvent, relay);
  solver->SetRadius(radius);
  solver->SetInputsFromReader(reader);
  solver->SetPath(solverPath);
  const int solved = solver->Solve();
  if (cancelled)
    return Fail(ErrorCode::Cancelled, "cancelled");
  if (solved != 1)
    return Fail(ErrorCode::Refused, solver->GetStatusMessage());
  result.SolverWarning = solver->GetWarningMessage();
  result.PathUsed = solver->GetPathUsed();
  result.SourceResidual = solver->GetSourceResidual();

  // The transform keeps its own references; the reader and the solver go when this returns.
  if (!transform->SetParameters(reader->GetRadius(), reader->GetPointArray(),
                                solver->GetSplineCoeffX(), solver->GetSplineCoeffY(),
                                solver->GetSplineCoeffZ(), reader->GetUnList(), reader->GetTree()))
    return Fail(ErrorCode::Refused, "the fit is incomplete");
  result.Code = ErrorCode::None;
  return result;
}

ShapeFitResult FitGuarded(const std::string* path, const std::string& text, float radius,
                          vtkShapeTransform* transform, const FitStages& stages, int solverPath) {
  try {
    return Fit(path, text, radius, transform, stages, solverPath);
  } catch (const std::bad_alloc&) {
    return Fail(ErrorCode::OutOfMemory, "not enough memory");
  } catch (const std::exception& e) {
    // The numerical code raises its allocation failures with their message.
    return Fail(ErrorCode::OutOfMemory, e.what());
  }
}

} // namespace

ShapeFitResult FitShapeTransform(const std::string& path, float radius,
                                 vtkShapeTransform* transform, const FitStages& stages,
                                 int solverPath) {
  return FitGuarded(&path, std::string(), radius, transform, stages, solverPath);
}

ShapeFitResult FitShapeTransformToText(const std::string& text, float radius,
                                       vtkShapeTransform* transform, const FitStages& stages,
                                       int solverPath) {
  return FitGuarded(nullptr, text, radius, transform, stages, solverPath);
}

} // namespace selvane
