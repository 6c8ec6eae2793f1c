// selvane-deform MODEL.vtk PAIRS.ptt --radius R [--fraction F] [--solver PATH] -o OUT.vtk
// Deforms a model by the spline fitted to a correspondence file, as the Transform command
// shows it at the given fraction (default 1: every source point carried to its target), and
// writes the result as a legacy VTK file whose coordinates read back exactly. Prints the
// solver's report; on bad input prints one line "selvane-deform: FILE: reason" and exits 1.
#include "LegacyModelWriter.h"
#include "ModelFormats.h"
#include "ShapeFit.h"
#include "SolverPathOption.h"
#include "vtkShapeTransform.h"

#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkTransformPolyDataFilter.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const UsageLine = "usage: selvane-deform MODEL.vtk PAIRS.ptt --radius R [--fraction F] "
                              "[--solver auto|envelope|sparse] -o OUT.vtk";

int Usage(const std::string& why) {
  std::fprintf(stderr, "selvane-deform: %s\n%s\n", why.c_str(), UsageLine);
  return 2;
}

int Fail(const std::string& file, const std::string& reason) {
  std::fflush(stdout);
  std::fprintf(stderr, "selvane-deform: %s: %s\n", file.c_str(), reason.c_str());
  return 1;
}

bool ParseNumber(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return errno == 0 && end != text && *end == '\0' && std::isfinite(value);
}

struct Options {
  std::string Model, Pairs, Output;
  double Radius = 0.0, Fraction = 1.0;
  bool HaveRadius = false;
  int SolverPath = 0;
};

// "" when the arguments are complete, else the reason.
std::string ParseArguments(int argc, char** argv, Options& options) {
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    const bool hasValue = k + 1 < argc;
    if (arg == "--radius" || arg == "--fraction") {
      double value = 0.0;
      if (!hasValue || !ParseNumber(argv[k + 1], value))
        return arg + " needs a number";
      ++k;
      // The spline works in single precision: a number it cannot hold is refused here.
      if (arg == "--radius") {
        if (!(value > 0.0))
          return "the radius must be a positive number";
        if (value > FLT_MAX)
          return "the radius must be a positive number: " + std::string(argv[k]) +
                 " is larger than single precision holds (3.4e38)";
        if (static_cast<float>(value) == 0.0f)
          return "the radius must be a positive number: " + std::string(argv[k]) +
                 " is smaller than single precision holds (1.4e-45)";
        options.Radius = value;
        options.HaveRadius = true;
      } else {
        if (std::fabs(value) > FLT_MAX)
          return "the fraction " + std::string(argv[k]) +
                 " is larger than single precision holds (3.4e38)";
        options.Fraction = value;
      }
    } else if (arg == "--solver") {
      if (!hasValue || !selvane::ParseSolverPath(argv[k + 1], options.SolverPath))
        return std::string("--solver needs ") + selvane::SolverPathValues;
      ++k;
    } else if (arg == "-o") {
      if (!hasValue)
        return "-o needs a file name";
      options.Output = argv[++k];
    } else if (!arg.empty() && arg[0] != '-' && options.Model.empty()) {
      options.Model = arg;
    } else if (!arg.empty() && arg[0] != '-' && options.Pairs.empty()) {
      options.Pairs = arg;
    } else {
      return "unexpected argument '" + arg + "'";
    }
  }
  if (options.Model.empty() || options.Pairs.empty())
    return "a model and a correspondence file are needed";
  if (!options.HaveRadius)
    return "no radius given (--radius R)";
  if (options.Output.empty())
    return "no output file given (-o OUT.vtk)";
  return "";
}

} // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write then fails with EFBIG and is reported, instead of the
  // signal ending the process silently with a temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  for (int k = 1; k < argc; ++k)
    if (std::string(argv[k]) == "-h" || std::string(argv[k]) == "--help") {
      std::printf("%s\n", UsageLine);
      return 0;
    }
  Options options;
  if (const std::string why = ParseArguments(argc, argv, options); !why.empty())
    return Usage(why);
  if (!(options.Fraction >= 0.0 && options.Fraction <= 1.0))
    std::fprintf(stderr,
                 "selvane-deform: warning: the fraction %g lies outside [0, 1]: the model moves "
                 "%s\n",
                 options.Fraction,
                 options.Fraction < 0.0 ? "away from its targets" : "past its targets");

  vtkNew<vtkPolyData> model;
  if (const selvane::ModelFileReadResult read = selvane::ReadModel(options.Model, model);
      !read.Ok())
    return Fail(options.Model, read.Reason);

  vtkNew<vtkShapeTransform> transform;
  const ShapeFitResult fit = FitShapeTransform(options.Pairs, static_cast<float>(options.Radius),
                                               transform, {}, options.SolverPath);
  if (!fit.Ok())
    return Fail(options.Pairs, fit.Reason);
  if (!fit.Warning.empty())
    std::printf("%s\n", fit.Warning.c_str());
  if (!fit.SolverWarning.empty())
    std::printf("%s: %s\n", options.Pairs.c_str(), fit.SolverWarning.c_str());
  transform->SetFraction(static_cast<float>(options.Fraction));
  transform->Modified();

  vtkNew<vtkTransformPolyDataFilter> filter;
  filter->SetTransform(transform);
  filter->SetInputData(model);
  filter->Update();
  vtkPolyData* deformed = filter->GetOutput();
  if (!deformed || deformed->GetNumberOfPoints() != model->GetNumberOfPoints())
    return Fail(options.Model, "the deformation produced no model");

  std::string reason;
  if (!selvane::formats::WriteLegacyPolyDataFile(deformed, options.Output, reason))
    return Fail(options.Output, reason);
  std::printf("Deformed %lld points by %d correspondences at fraction %g: %s\n",
              static_cast<long long>(deformed->GetNumberOfPoints()), fit.Pairs, options.Fraction,
              options.Output.c_str());
  // A report that could not be written (a full disk) is a failure, not a success.
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    return Fail("standard output", errno != 0 ? std::strerror(errno) : "a write failed");
  return 0;
}
