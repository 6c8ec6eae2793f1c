// One fit from a correspondence file into a shape transform: read the pairs (vtkDatReader),
// solve the spline system (vtkMatrixSolver), hand the result over. Shared by the Transform
// command and selvane-deform, so both deform by the same field.
#pragma once

#include "Result.h"

#include <functional>
#include <string>

namespace selvane {

class vtkShapeTransform;

// Code: CannotOpen (the file cannot be opened, or is not a regular file), Unreadable (opened,
// but reading failed or its content was refused), NoData (no line of six numbers), Refused
// (the solver refused the correspondences), OutOfMemory, Cancelled (the caller stopped the
// fit between two stages). Reason: the cause, one line without the file name.
struct ShapeFitResult : Result {
  // Not fitted until the fit says so.
  ShapeFitResult() { this->Code = ErrorCode::Refused; }
  std::string Warning; // the reader's warning, if any (the fit still happened)
  int Pairs = 0;       // distinct correspondences read
  // "" or the solver's warning: the fit misses its sources beyond the tolerance.
  std::string SolverWarning;
  // The vtkMatrixSolver path that produced the fit, and its residual at the sources.
  int PathUsed = 0;
  double SourceResidual = 0.0;
};

// Called as each stage of a fit starts, with its name ("Reading", "Ordering", "Assembling",
// "Factoring"); returning false stops the fit when the running call returns, with the outcome
// Cancelled.
using FitStages = std::function<bool(const char* stage)>;

// Reads path with the given radius of support, solves, and on success gives the fit to
// transform (SetParameters; Fraction is the caller's, and SetFraction marks it modified). On any
// failure the transform is left as it was. The solver's report goes to standard output. solverPath:
// a vtkMatrixSolver path (0 = the automatic choice).
ShapeFitResult FitShapeTransform(const std::string& path, float radius,
                                 vtkShapeTransform* transform, const FitStages& stages = {},
                                 int solverPath = 0);
// The same fit from pairs given as the text of a correspondence file.
ShapeFitResult FitShapeTransformToText(const std::string& text, float radius,
                                       vtkShapeTransform* transform, const FitStages& stages = {},
                                       int solverPath = 0);

} // namespace selvane

