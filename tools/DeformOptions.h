// The command line of selvane-deform: its usage and help texts, the parsed options and the
// output file of each model.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace selvane::tools {

extern const char* const DeformUsage;
extern const char* const DeformHelp;

struct DeformOptions {
  std::vector<std::string> Models;
  std::string Pairs;   // correspondences to fit, or
  std::string FitFile; // a fit kept by selvane-fit --save
  std::string Output;  // a file, or a folder ending in '/'
  std::string Format;  // with an output folder: the extension the outputs get (".vtp"), or ""
  std::string Series;  // a .pvd collection of the morph's frames, or ""
  double Radius = 0.0, Fraction = 1.0;
  bool HaveRadius = false;
  int SolverPath = 0;
  int Frames = 0, Cycles = 1;
  bool Displacement = false, Quiet = false, Json = false;
  std::string Refusal; // why the arguments were refused
};

enum class ParseOutcome { Run, Help, Version, Refused };

// Reads the arguments; on Refused, options.Refusal says why.
ParseOutcome ParseDeformArguments(int argc, char** argv, DeformOptions& options);

// The output file of each model (none for a series alone). Returns {"", ""} when every output
// can be written, else the file to name and the reason: an unknown extension, two models
// that would write the same file, several models without an output folder.
std::pair<std::string, std::string> PlanOutputs(const DeformOptions& options,
                                                std::vector<std::string>& outputs);

} // namespace selvane::tools
