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
#include <cfloat>
#include <cmath>
#include <csignal>
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

// "" when text is a radius the single-precision spline can use, else the reason.
std::string ParseRadius(const char* text, double& radius) {
  char* end = nullptr;
  errno = 0;
  radius = std::strtod(text, &end);
  const std::string positive = "the radius must be a positive number";
  if (end == text || *end != '\0' || !(radius > 0.0))
    return positive;
  if (radius > FLT_MAX)
    return positive + ": " + text + " is larger than single precision holds (3.4e38)";
  if (static_cast<float>(radius) == 0.0f)
    return positive + ": " + text + " is smaller than single precision holds (1.4e-45)";
  return "";
}
} // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write then fails with EFBIG and is reported, instead of the
  // signal ending the process silently.
  std::signal(SIGXFSZ, SIG_IGN);
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
      if (const std::string why = ParseRadius(argv[++k], radius); !why.empty())
        return Usage(why.c_str());
      haveRadius = true;
    } else if (arg.rfind("--radius=", 0) == 0) {
      if (const std::string why = ParseRadius(arg.c_str() + 9, radius); !why.empty())
        return Usage(why.c_str());
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
  // A report that could not be written (a full disk) is a failure, not a success.
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    return Fail("standard output", errno != 0 ? std::strerror(errno) : "a write failed");
  return 0;
}
