// selvane-fit PAIRS.ptt --radius R [--solver auto|envelope|sparse]
// Reads a correspondence file, fits the spline, prints the solver's report
// lines, any warning, and the residual of the fit: the largest |s(source) - (source - target)|
// over the sources. Exits with 1 and one line "selvane-fit: FILE: reason" on bad input.
#include "SelvaneError.h"
#include "SolverPathOption.h"
#include "SplineFit.h"
#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"

#include <vtkNew.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
int Usage(const char* why) {
  std::fprintf(stderr,
               "selvane-fit: %s\nusage: selvane-fit PAIRS.ptt --radius R "
               "[--solver auto|envelope|sparse]\n",
               why);
  return 2;
}

int Fail(const std::string& file, const std::string& reason) {
  std::fflush(stdout);
  std::fprintf(stderr, "selvane-fit: %s: %s\n", file.c_str(), reason.c_str());
  return 1;
}
} // namespace

int main(int argc, char** argv) {
  std::string file;
  double radius = 0.0;
  bool haveRadius = false;
  int solverPath = vtkMatrixSolver::AutomaticPath;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--radius" || arg == "-r") {
      if (k + 1 >= argc) {
        return Usage("--radius needs a value");
      }
      char* end = nullptr;
      errno = 0;
      radius = std::strtod(argv[++k], &end);
      if (errno != 0 || end == argv[k] || *end != '\0' || !(radius > 0.0) ||
          !std::isfinite(radius)) {
        return Usage("the radius must be a positive number");
      }
      haveRadius = true;
    } else if (arg.rfind("--radius=", 0) == 0) {
      char* end = nullptr;
      radius = std::strtod(arg.c_str() + 9, &end);
      if (end == arg.c_str() + 9 || *end != '\0' || !(radius > 0.0) || !std::isfinite(radius)) {
        return Usage("the radius must be a positive number");
      }
      haveRadius = true;
    } else if (arg == "--solver") {
      if (k + 1 >= argc || !selvane::ParseSolverPath(argv[++k], solverPath)) {
        return Usage((std::string("--solver needs ") + selvane::SolverPathValues).c_str());
      }
    } else if (arg == "-h" || arg == "--help") {
      std::printf("usage: selvane-fit PAIRS.ptt --radius R [--solver auto|envelope|sparse]\n");
      return 0;
    } else if (file.empty() && (arg.empty() || arg[0] != '-')) {
      file = arg;
    } else {
      return Usage(("unexpected argument '" + arg + "'").c_str());
    }
  }
  if (file.empty()) {
    return Usage("no correspondence file given");
  }
  if (!haveRadius) {
    return Usage("no radius given (--radius R)");
  }

  try {
    vtkNew<vtkDatReader> reader;
    reader->SetFileName(file.c_str());
    reader->SetRadius(static_cast<float>(radius));
    if (reader->ReadDatFile() != 0) {
      return Fail(file,
                  reader->GetErrorMessage().empty() ? "cannot be read" : reader->GetErrorMessage());
    }
    if (!reader->GetWarningMessage().empty()) {
      std::printf("%s\n", reader->GetWarningMessage().c_str());
    }
    const int n = static_cast<int>(reader->GetPointArray()->GetNumberOfPoints());
    if (n == 0) {
      return Fail(file, "no correspondence lines (six numbers per line) found");
    }
    std::printf("Pairs: %d, radius: %g, Max: %d\n", n, radius, reader->GetMax());
    std::fflush(stdout);

    vtkNew<vtkMatrixSolver> solver;
    solver->SetRadius(static_cast<float>(radius));
    solver->SetInputsFromReader(reader);
    solver->SetPath(solverPath);
    if (solver->Solve() != 1) {
      return Fail(file, "fit refused: " + solver->GetStatusMessage());
    }
    if (solver->GetPolynomialRank() == 2) {
      std::printf("note: the sources lie in one plane; the linear part has no component "
                  "across it\n");
    }
    if (!solver->GetWarningMessage().empty()) {
      std::printf("%s\n", solver->GetWarningMessage().c_str());
    }
    const SplineFit fit = MakeSplineFit(reader, solver);
    const double residual = FitResidual(fit, reader->GetPointArrayN());
    std::printf("Residual: %.9g\n", residual);
  } catch (const SelvaneError& e) {
    return Fail(file, e.what());
  } catch (const std::exception& e) {
    return Fail(file, e.what());
  }
  return 0;
}
