// The --solver option of selvane-fit and selvane-deform: auto, envelope or sparse, as a
// vtkMatrixSolver path.
#pragma once

#include "vtkMatrixSolver.h"

#include <string>

namespace selvane {

inline bool ParseSolverPath(const std::string& text, int& path) {
  if (text == "auto") {
    path = vtkMatrixSolver::AutomaticPath;
  } else if (text == "envelope") {
    path = vtkMatrixSolver::EnvelopePath;
  } else if (text == "sparse") {
    path = vtkMatrixSolver::SparsePath;
  } else {
    return false;
  }
  return true;
}

constexpr const char* SolverPathValues = "auto, envelope or sparse";

} // namespace selvane
