// selvane-fit PAIRS.ptt --radius R [--solver auto|envelope|sparse] [--save FIT] [--quiet|--json]
// Reads a correspondence file, fits the spline, prints the solver's report
// lines, any warning, and the residual of the fit: the largest |s(source) - (source - target)|
// over the sources. --save keeps the fit in a JSON file (FitFile.h) for selvane-deform --fit.
// Exits with 1 and one line "selvane-fit: FILE: reason" on bad input.
#include "FitFile.h"
#include "SelvaneError.h"
#include "SolverPathOption.h"
#include "SplineFit.h"
#include "ToolSupport.h"
#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"

#include <nlohmann/json.hpp>

#include <vtkNew.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace selvane;

namespace {

const char* const UsageText =
    "usage: selvane-fit PAIRS.ptt --radius R [--solver auto|envelope|sparse] [--save FIT.json] "
    "[--quiet | --json]\n";

const char* const HelpText = R"(
Fits the deformation that carries every source point of a correspondence file to its target,
and reports how closely it does: the residual is the largest distance, in model units, between
a source moved by the fit and its target.

PAIRS.ptt   one correspondence per line, six numbers: source x y z, then target x y z (as
            File > Export Point Transformations writes them). Lines starting with '#' and lines
            of other content are skipped; a source given twice keeps its last target.
--radius R  the radius of support, in model units: each correspondence moves the space within
            R of its source and nothing beyond. Choose R larger than the spacing of the sources
            (so that neighbouring moves blend) and larger than the moves themselves (or the
            surface may fold), but well below the model's size: the work grows quickly with the
            number of sources within R of each other.
--solver    auto (default), envelope or sparse: how the linear system is solved.
--save FIT  writes the fit (centres, coefficients, radius, linear part) to a JSON file that
            selvane-deform --fit applies to models without solving again. README.md describes
            its layout.
--quiet     prints nothing but errors (warnings go to standard error).
--json      prints one JSON object instead of the report: pairs, radius, solver path,
            residual, warnings, times in seconds and the saved file. Warnings go to it, not to
            the terminal.
--version   prints the version.

The deformation applies at a fraction: 0 leaves the model as read, 1 carries every source to
its target (selvane-deform --fraction).
)";

int Usage(const char* why) {
  std::fprintf(stderr, "selvane-fit: %s\n%s", why, UsageText);
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

struct Options {
  std::string File, Save;
  double Radius = 0.0;
  bool HaveRadius = false;
  int SolverPath = vtkMatrixSolver::AutomaticPath;
  bool Quiet = false, Json = false;
};

} // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write then fails with EFBIG and is reported, instead of the
  // signal ending the process silently.
  std::signal(SIGXFSZ, SIG_IGN);
  Options options;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--radius" || arg == "-r") {
      if (k + 1 >= argc) {
        return Usage("--radius needs a value");
      }
      if (const std::string why = ParseRadius(argv[++k], options.Radius); !why.empty())
        return Usage(why.c_str());
      options.HaveRadius = true;
    } else if (arg.rfind("--radius=", 0) == 0) {
      if (const std::string why = ParseRadius(arg.c_str() + 9, options.Radius); !why.empty())
        return Usage(why.c_str());
      options.HaveRadius = true;
    } else if (arg == "--solver") {
      if (k + 1 >= argc || !selvane::ParseSolverPath(argv[++k], options.SolverPath)) {
        return Usage((std::string("--solver needs ") + selvane::SolverPathValues).c_str());
      }
    } else if (arg == "--save") {
      if (k + 1 >= argc || argv[k + 1][0] == '\0')
        return Usage("--save needs a file name");
      options.Save = argv[++k];
    } else if (arg == "--quiet" || arg == "-q") {
      options.Quiet = true;
    } else if (arg == "--json") {
      options.Json = true;
    } else if (arg == "--version") {
      std::printf("selvane-fit %s\n", selvane::tools::Version());
      return 0;
    } else if (arg == "-h" || arg == "--help") {
      std::printf("%s%s", UsageText, HelpText);
      return 0;
    } else if (options.File.empty() && (arg.empty() || arg[0] != '-')) {
      options.File = arg;
    } else {
      return Usage(("unexpected argument '" + arg + "'").c_str());
    }
  }
  if (options.File.empty()) {
    return Usage("no correspondence file given");
  }
  if (!options.HaveRadius) {
    return Usage("no radius given (--radius R)");
  }
  const std::string& file = options.File;
  const double radius = options.Radius;
  selvane::tools::ToolReport report{options.Quiet, options.Json, {}};
  const selvane::tools::Stopwatch total;
  nlohmann::json summary;

  try {
    // The reader and the solver print their own report lines; --quiet and --json keep them
    // off standard output.
    std::optional<selvane::tools::SilencedStdout> silence;
    if (options.Quiet || options.Json)
      silence.emplace();
    const selvane::tools::Stopwatch reading;
    vtkNew<vtkDatReader> reader;
    reader->SetFileName(file.c_str());
    reader->SetRadius(static_cast<float>(radius));
    if (reader->ReadDatFile() != 0) {
      return Fail(file,
                  reader->GetErrorMessage().empty() ? "cannot be read" : reader->GetErrorMessage());
    }
    const double readSeconds = reading.Seconds();
    silence.reset();
    if (!reader->GetWarningMessage().empty()) {
      report.Warning(reader->GetWarningMessage());
    }
    const int n = static_cast<int>(reader->GetPointArray()->GetNumberOfPoints());
    if (n == 0) {
      return Fail(file, "no correspondence lines (six numbers per line) found");
    }
    char line[128];
    std::snprintf(line, sizeof line, "Pairs: %d, radius: %g, Max: %d", n, radius, reader->GetMax());
    report.Line(line);
    std::fflush(stdout);

    if (options.Quiet || options.Json)
      silence.emplace();
    const selvane::tools::Stopwatch solving;
    vtkNew<vtkMatrixSolver> solver;
    solver->SetRadius(static_cast<float>(radius));
    solver->SetInputsFromReader(reader);
    solver->SetPath(options.SolverPath);
    if (solver->Solve() != 1) {
      return Fail(file, "fit refused: " + solver->GetStatusMessage());
    }
    const double solveSeconds = solving.Seconds();
    silence.reset();
    if (solver->GetPolynomialRank() == 2) {
      report.Warning("note: the sources lie in one plane; the linear part has no component "
                     "across it");
    }
    if (!solver->GetWarningMessage().empty()) {
      report.Warning(solver->GetWarningMessage());
    }
    const SplineFit fit = MakeSplineFit(reader, solver);
    const double residual = FitResidual(fit, reader->GetPointArrayN());
    std::snprintf(line, sizeof line, "Residual: %.9g", residual);
    report.Line(line);

    const char* path = selvane::tools::SolverPathName(solver->GetPathUsed());
    if (!options.Save.empty()) {
      if (const selvane::Result written = WriteFitFile(options.Save, fit, {n, path, residual});
          !written.Ok())
        return Fail(options.Save, written.Reason);
      report.Line("Saved the fit to " + options.Save);
    }
    summary = {{"tool", "selvane-fit"},
               {"version", selvane::tools::Version()},
               {"pairs_file", file},
               {"pairs", n},
               {"radius", radius},
               {"solver", path},
               {"planar", solver->GetPolynomialRank() == 2},
               {"residual", residual},
               {"residual_tolerance", solver->GetResidualLimit()},
               {"warnings", report.Warnings},
               {"saved", options.Save.empty() ? nlohmann::json() : nlohmann::json(options.Save)},
               {"times",
                {{"read", readSeconds},
                 {"assemble", solver->GetConstructionTime()},
                 {"solve", solveSeconds},
                 {"total", total.Seconds()}}}};
  } catch (const SelvaneError& e) {
    return Fail(file, e.what());
  } catch (const std::exception& e) {
    return Fail(file, e.what());
  }
  if (options.Json)
    std::printf("%s\n", summary.dump(2).c_str());
  // A report that could not be written (a full disk) is a failure, not a success.
  if (const std::string why = selvane::tools::FinishStdout(); !why.empty())
    return Fail("standard output", why);
  return 0;
}
