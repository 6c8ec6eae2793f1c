#include "ShapeFit.h"

#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"
#include "vtkShapeTransform.h"

#include <vtkNew.h>
#include <vtkPoints.h>

#include <exception>
#include <fstream>
#include <new>

namespace {

ShapeFitResult Fail(ShapeFitResult::Outcome outcome, const std::string& reason) {
  ShapeFitResult result;
  result.Result = outcome;
  result.Reason = reason;
  return result;
}

ShapeFitResult Fit(const std::string& path, float radius, vtkShapeTransform* transform,
                   int solverPath) {
  vtkNew<vtkDatReader> reader;
  reader->SetFileName(path.c_str());
  reader->SetRadius(radius);
  if (reader->ReadDatFile() != 0) {
    if (!std::ifstream(path).is_open() || reader->GetErrorMessage().empty())
      return Fail(ShapeFitResult::CannotOpen, "cannot be opened for reading");
    return Fail(ShapeFitResult::Unreadable, reader->GetErrorMessage());
  }
  ShapeFitResult result;
  result.Warning = reader->GetWarningMessage();
  result.Pairs = static_cast<int>(reader->GetPointArray()->GetNumberOfPoints());
  if (result.Pairs == 0)
    return Fail(ShapeFitResult::NoPairs,
                "holds no correspondences (lines of six numbers: source x y z, target x y z)");

  vtkNew<vtkMatrixSolver> solver;
  solver->SetRadius(radius);
  solver->SetInputsFromReader(reader);
  solver->SetPath(solverPath);
  if (solver->Solve() != 1)
    return Fail(ShapeFitResult::Refused, solver->GetStatusMessage());
  result.SolverWarning = solver->GetWarningMessage();

  // The transform keeps its own references; the reader and the solver go when this returns.
  if (!transform->SetParameters(reader->GetRadius(), reader->GetPointArray(),
                                solver->GetSplineCoeffX(), solver->GetSplineCoeffY(),
                                solver->GetSplineCoeffZ(), reader->GetUnList(), reader->GetTree()))
    return Fail(ShapeFitResult::Refused, "the fit is incomplete");
  result.Result = ShapeFitResult::Fitted;
  return result;
}

} // namespace

ShapeFitResult FitShapeTransform(const std::string& path, float radius,
                                 vtkShapeTransform* transform, int solverPath) {
  try {
    return Fit(path, radius, transform, solverPath);
  } catch (const std::bad_alloc&) {
    return Fail(ShapeFitResult::OutOfMemory, "not enough memory");
  } catch (const std::exception& e) {
    // The numerical code raises its allocation failures with their message.
    return Fail(ShapeFitResult::OutOfMemory, e.what());
  }
}
