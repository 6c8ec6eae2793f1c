#include "DeformOptions.h"

#include "ModelFileWriter.h"
#include "SolverPathOption.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sys/stat.h>

namespace selvane::tools {

const char* const DeformUsage =
    "usage: selvane-deform MODEL.vtk PAIRS.ptt --radius R [--fraction F] "
    "[--solver auto|envelope|sparse] -o OUT.vtk\n"
    "       selvane-deform --fit FIT.json MODEL.vtk... [--fraction F] -o OUT.vtk | -o DIR/ "
    "[--format EXT]\n"
    "       selvane-deform MODEL.vtk (PAIRS.ptt --radius R | --fit FIT.json) --frames F "
    "[--cycles K] --series OUT.pvd\n"
    "       options: --displacement --quiet --json --version --help\n";

const char* const DeformHelp = R"(
Deforms models by the spline that carries the source points of a correspondence file to their
targets, as Transform shows it in the window, and writes the deformed models.

MODEL           a model file, read by its extension: .vtk (legacy), .vtp, .stl, .ply, .obj, .off.
PAIRS.ptt       one correspondence per line, six numbers: source x y z, then target x y z (as
                File > Export Point Transformations writes them). Lines starting with '#' and
                lines of other content are skipped; a source given twice keeps its last target.
--radius R      the radius of support, in model units: each correspondence moves the space
                within R of its source and nothing beyond; points farther than R from every
                source stay where they are. Choose R larger than the spacing of the sources
                (so that neighbouring moves blend) and larger than the moves themselves (or the
                surface may fold), but well below the model's size: the work grows quickly
                with the number of sources within R of each other.
--fraction F    the share of the deformation applied: 0 leaves the model as read, 1 (the
                default) carries every source to its target, 0.5 goes half way. Values outside
                [0, 1] are allowed with a warning.
--solver        auto (default), envelope or sparse: how the linear system is solved.
--fit FIT.json  deforms by a fit kept by selvane-fit --save instead of solving again: every
                MODEL given is deformed by it (fit once, deform a cohort).
-o OUT          the output file; its extension chooses the format: .vtk (legacy, ASCII),
                .vtp (VTK XML, compressed), .stl (binary, triangles), .ply (binary), .obj.
                Any other extension is refused and nothing is written.
-o DIR/         (ends with '/') each model is written into the existing folder DIR under its
                own file name; --format vtp (or stl, ply, obj, vtk) changes the extension.
--displacement  adds the point array "displacement" to the output: the vector, in model units,
                by which each point moved (deformed position minus position as read). Its length
                is the distance moved. Formats without point arrays (.stl, .ply, .obj) drop it.
--series OUT.pvd  writes the morph as in the window's animation: frames k = 0 .. F*K-1 of
                F frames per half cycle and K cycles (--frames F, --cycles K, default 1), each
                a compressed .vtp file beside OUT.pvd, and the collection OUT.pvd (time = frame
                index) that ParaView opens and plays.
--quiet         prints nothing but errors (warnings go to standard error).
--json          prints one JSON object instead of the report: the fit (pairs, radius, solver
                path, residual), each model's points, cells, points no source reaches,
                folded cells and output, warnings and times in seconds.
--version       prints the version.
)";

namespace {

// A number too large even for a double is kept as infinite, so that it is refused for its
// size like any number beyond single precision; "inf" and "nan" written out are not numbers.
bool ParseNumber(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  if (end == text || *end != '\0' || std::isnan(value))
    return false;
  return std::isfinite(value) || errno == ERANGE;
}

bool ParseCount(const char* text, int lowest, int& value) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lowest || v > 1000000)
    return false;
  value = static_cast<int>(v);
  return true;
}

// "" when the arguments are complete, else the reason.
std::string Parse(int argc, char** argv, DeformOptions& options) {
  std::vector<std::string> positional;
  bool haveSolver = false, haveFrames = false, haveCycles = false;
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
      haveSolver = true;
      ++k;
    } else if (arg == "-o" || arg == "--fit" || arg == "--series" || arg == "--format") {
      if (!hasValue || argv[k + 1][0] == '\0')
        return arg + (arg == "--format" ? " needs an extension" : " needs a file name");
      std::string& into = arg == "-o"         ? options.Output
                          : arg == "--fit"    ? options.FitFile
                          : arg == "--series" ? options.Series
                                              : options.Format;
      into = argv[++k];
    } else if (arg == "--frames" || arg == "--cycles") {
      const bool frames = arg == "--frames";
      if (!hasValue ||
          !ParseCount(argv[k + 1], frames ? 2 : 1, frames ? options.Frames : options.Cycles))
        return arg + (frames ? " needs a whole number from 2 to 1000000"
                             : " needs a whole number from 1 to 1000000");
      (frames ? haveFrames : haveCycles) = true;
      ++k;
    } else if (arg == "--displacement") {
      options.Displacement = true;
    } else if (arg == "--quiet" || arg == "-q") {
      options.Quiet = true;
    } else if (arg == "--json") {
      options.Json = true;
    } else if (!arg.empty() && arg[0] != '-') {
      positional.push_back(arg);
    } else {
      return "unexpected argument '" + arg + "'";
    }
  }

  if (!options.FitFile.empty()) {
    if (options.HaveRadius || haveSolver)
      return "--radius and --solver do not go with --fit: the fit file holds the fit";
    options.Models = positional;
    if (options.Models.empty())
      return "no model given";
  } else {
    if (positional.size() > 2)
      return "unexpected argument '" + positional[2] + "'";
    if (positional.size() < 2)
      return "a model and a correspondence file are needed";
    options.Models = {positional[0]};
    options.Pairs = positional[1];
    if (!options.HaveRadius)
      return "no radius given (--radius R)";
  }
  if (!options.Series.empty()) {
    if (!haveFrames)
      return "--series needs the number of frames (--frames F)";
    if (options.Models.size() != 1)
      return "--series makes the frames of one model";
  } else if (haveFrames || haveCycles) {
    return "--frames and --cycles go with --series OUT.pvd";
  }
  if (options.Output.empty() && options.Series.empty())
    return "no output file given (-o OUT.vtk)";
  if (!options.Format.empty()) {
    if (options.Format[0] != '.')
      options.Format.insert(0, ".");
    if (options.Output.empty() || options.Output.back() != '/')
      return "--format goes with an output folder (-o DIR/)";
  }
  return "";
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithExtension(const std::string& name, const std::string& extension) {
  const std::size_t dot = name.rfind('.');
  return (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + extension;
}

} // namespace

ParseOutcome ParseDeformArguments(int argc, char** argv, DeformOptions& options) {
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "-h" || arg == "--help")
      return ParseOutcome::Help;
    if (arg == "--version")
      return ParseOutcome::Version;
  }
  options.Refusal = Parse(argc, argv, options);
  return options.Refusal.empty() ? ParseOutcome::Run : ParseOutcome::Refused;
}

std::pair<std::string, std::string> PlanOutputs(const DeformOptions& options,
                                                std::vector<std::string>& outputs) {
  outputs.clear();
  if (!options.Series.empty()) {
    const std::string ext =
        options.Series.size() >= 4 ? options.Series.substr(options.Series.size() - 4) : "";
    if (ext != ".pvd" && ext != ".PVD")
      return {options.Series, "a series is written as a .pvd collection (OUT.pvd); nothing was "
                              "written"};
  }
  if (options.Output.empty())
    return {};
  const bool folder = options.Output.back() == '/';
  if (!folder && options.Models.size() > 1)
    return {options.Output, "several models are written into a folder: give it as -o DIR/"};
  if (folder) {
    struct stat st;
    if (::stat(options.Output.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return {options.Output, "is not an existing folder"};
  }
  std::set<std::string> taken;
  for (const std::string& model : options.Models) {
    std::string out = options.Output;
    if (folder) {
      const std::string name = BaseName(model);
      out += options.Format.empty() ? name : WithExtension(name, options.Format);
    }
    if (const std::string why = formats::UnknownModelExtensionReason(out); !why.empty())
      return {out, why + "; nothing was written"};
    if (!taken.insert(out).second)
      return {out, "two models would be written to this file; nothing was written"};
    outputs.push_back(out);
  }
  return {};
}

} // namespace selvane::tools
