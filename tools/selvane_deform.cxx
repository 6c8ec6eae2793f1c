// selvane-deform MODEL PAIRS.ptt --radius R [--fraction F] [--solver PATH] -o OUT
// selvane-deform --fit FIT.json MODEL... [--fraction F] -o OUT | -o DIR/
// Deforms models by the spline fitted to a correspondence file (or kept in a fit file by
// selvane-fit --save), as the Transform command shows it at the given fraction (default 1:
// every source point carried to its target), and writes each result in the format its
// output name's extension names, with coordinates that read back exactly; --series writes the
// morph's frames as the window plays them. Prints the solver's
// report; on bad input prints one line "selvane-deform: FILE: reason" and exits 1.
#include "AnimationFraction.h"
#include "DeformOptions.h"
#include "DeformationInsight.h"
#include "FitFile.h"
#include "ModelFileWriter.h"
#include "ModelFormats.h"
#include "MorphSeries.h"
#include "ShapeFit.h"
#include "ToolSupport.h"
#include "vtkShapeTransform.h"

#include <nlohmann/json.hpp>

#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkTransformPolyDataFilter.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

using namespace selvane;

namespace {

using selvane::tools::DeformOptions;

int Usage(const std::string& why) {
  std::fprintf(stderr, "selvane-deform: %s\n%s", why.c_str(), selvane::tools::DeformUsage);
  return 2;
}

int Fail(const std::string& file, const std::string& reason) {
  std::fflush(stdout);
  std::fprintf(stderr, "selvane-deform: %s: %s\n", file.c_str(), reason.c_str());
  return 1;
}

// The fit the models are deformed by, and what the summary says of it.
struct FitSource {
  nlohmann::json Summary;
  std::string File; // named in messages
  int Pairs = 0;
};

// Fits the correspondences or loads the fit file into transform; "" or the reason.
std::string MakeFit(const DeformOptions& options, selvane::tools::ToolReport& report,
                    vtkShapeTransform* transform, FitSource& source) {
  const selvane::tools::Stopwatch clock;
  if (!options.FitFile.empty()) {
    source.File = options.FitFile;
    SplineFit fit;
    FitFileSummary saved;
    if (const selvane::Result read = ReadFitFile(options.FitFile, fit, saved); !read.Ok())
      return read.Reason;
    if (!transform->SetParameters(fit.Radius, fit.Centres, fit.CoeffX, fit.CoeffY, fit.CoeffZ,
                                  fit.UnList, fit.Locator))
      return "the fit it holds is incomplete";
    source.Pairs = saved.Pairs;
    source.Summary = {{"fit_file", options.FitFile}, {"pairs", saved.Pairs},
                      {"radius", fit.Radius},        {"solver", saved.SolverPath},
                      {"residual", saved.Residual},  {"seconds", clock.Seconds()}};
    return {};
  }
  source.File = options.Pairs;
  ShapeFitResult fit;
  {
    std::optional<selvane::tools::SilencedStdout> silence;
    if (!report.Terminal())
      silence.emplace();
    fit = FitShapeTransform(options.Pairs, static_cast<float>(options.Radius), transform, {},
                            options.SolverPath);
  }
  if (!fit.Ok())
    return fit.Reason;
  if (!fit.Warning.empty())
    report.Warning(fit.Warning);
  if (!fit.SolverWarning.empty())
    report.Warning(options.Pairs + ": " + fit.SolverWarning);
  source.Pairs = fit.Pairs;
  source.Summary = {
      {"pairs_file", options.Pairs},    {"pairs", fit.Pairs},
      {"radius", options.Radius},       {"solver", selvane::tools::SolverPathName(fit.PathUsed)},
      {"residual", fit.SourceResidual}, {"seconds", clock.Seconds()}};
  return {};
}

// The vector each point moved by (output minus input), as the point array "displacement".
void AddDisplacementArray(vtkPolyData* input, vtkPolyData* output) {
  const vtkIdType n = output->GetNumberOfPoints();
  vtkNew<vtkFloatArray> moved;
  moved->SetName("displacement");
  moved->SetNumberOfComponents(3);
  moved->SetNumberOfTuples(n);
  for (vtkIdType i = 0; i < n; ++i) {
    double from[3], to[3];
    input->GetPoint(i, from);
    output->GetPoint(i, to);
    moved->SetTypedTuple(i, std::array<float, 3>{static_cast<float>(to[0] - from[0]),
                                                 static_cast<float>(to[1] - from[1]),
                                                 static_cast<float>(to[2] - from[2])}
                                .data());
  }
  output->GetPointData()->AddArray(moved);
}

// What the deformation did to one model: points no centre reaches, cells turned over.
void AddInsight(vtkShapeTransform* transform, vtkPolyData* input, vtkPolyData* deformed,
                nlohmann::json& entry) {
  entry["unreached"] = selvane::CountUnreachedPoints(transform, input->GetPoints());
  entry["folds"] = selvane::FindFoldedCells(input, deformed).size();
}

// The morph as the window plays it: frame k at AnimationFraction(k, F), k = 0 .. F*K - 1, as
// .vtp files with a .pvd collection. Returns {true, ""} or {false, the reason}.
std::pair<bool, std::string> WriteSeries(const DeformOptions& options, vtkShapeTransform* transform,
                                         vtkPolyData* model, nlohmann::json& summary) {
  const long long count = static_cast<long long>(options.Frames) * options.Cycles;
  if (count > 100000)
    return {false, "a series of " + std::to_string(count) +
                       " frames is more than 100000; use fewer frames or cycles"};
  const int frames = static_cast<int>(count);
  vtkNew<vtkTransformPolyDataFilter> filter;
  filter->SetTransform(transform);
  filter->SetInputData(model);
  nlohmann::json insight = nlohmann::json::array();
  const selvane::formats::FrameSource source = [&](int k, std::string& reason) -> vtkPolyData* {
    transform->SetFraction(selvane::AnimationFraction(k, options.Frames));
    transform->Modified();
    filter->Update();
    vtkPolyData* frame = filter->GetOutput();
    if (!frame || frame->GetNumberOfPoints() != model->GetNumberOfPoints()) {
      reason = "the deformation produced no model at frame " + std::to_string(k);
      return nullptr;
    }
    if (options.Displacement)
      AddDisplacementArray(model, frame);
    if (options.Json) {
      nlohmann::json entry = {{"frame", k}, {"fraction", transform->GetFraction()}};
      AddInsight(transform, model, frame, entry);
      insight.push_back(entry);
    }
    return frame;
  };
  const selvane::formats::SeriesResult written =
      selvane::formats::WriteMorphSeries(options.Series, frames, source);
  if (!written.Ok())
    return {false, written.Reason.empty() ? "the series was not written" : written.Reason};
  summary = {{"collection", options.Series}, {"frames", frames}, {"files", written.Files}};
  if (options.Json)
    summary["frame_insight"] = insight;
  return {true, ""};
}

} // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write then fails with EFBIG and is reported, instead of the
  // signal ending the process silently with a temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  DeformOptions options;
  switch (selvane::tools::ParseDeformArguments(argc, argv, options)) {
  case selvane::tools::ParseOutcome::Help:
    std::printf("%s%s", selvane::tools::DeformUsage, selvane::tools::DeformHelp);
    return 0;
  case selvane::tools::ParseOutcome::Version:
    std::printf("selvane-deform %s\n", selvane::tools::Version());
    return 0;
  case selvane::tools::ParseOutcome::Refused:
    return Usage(options.Refusal);
  case selvane::tools::ParseOutcome::Run:
    break;
  }
  // Every output is checked before anything is read or solved: an unknown extension is
  // refused with nothing written.
  std::vector<std::string> outputs;
  if (const auto [file, why] = selvane::tools::PlanOutputs(options, outputs); !why.empty())
    return Fail(file, why);
  selvane::tools::ToolReport report{options.Quiet, options.Json, {}};
  if (!(options.Fraction >= 0.0 && options.Fraction <= 1.0)) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "selvane-deform: warning: the fraction %g lies outside [0, 1]: the model moves "
                  "%s",
                  options.Fraction,
                  options.Fraction < 0.0 ? "away from its targets" : "past its targets");
    if (options.Json)
      report.Warnings.push_back(line);
    else
      std::fprintf(stderr, "%s\n", line);
  }
  const selvane::tools::Stopwatch total;

  // A model that cannot be read is named before any solving. Of several models each is read
  // here once to check it and again when its turn comes, so only one is held at a time.
  vtkSmartPointer<vtkPolyData> first;
  for (const std::string& model : options.Models) {
    auto read = vtkSmartPointer<vtkPolyData>::New();
    if (const selvane::Result result = selvane::ReadModel(model, read); !result.Ok())
      return Fail(model, result.Reason);
    if (options.Models.size() == 1)
      first = read;
  }

  vtkNew<vtkShapeTransform> transform;
  FitSource source;
  if (const std::string why = MakeFit(options, report, transform, source); !why.empty())
    return Fail(source.File, why);
  transform->SetFraction(static_cast<float>(options.Fraction));
  transform->Modified();

  nlohmann::json models = nlohmann::json::array();
  for (std::size_t m = 0; m < outputs.size(); ++m) {
    const selvane::tools::Stopwatch clock;
    const std::string& model = options.Models[m];
    vtkSmartPointer<vtkPolyData> input = first;
    if (!input) {
      input = vtkSmartPointer<vtkPolyData>::New();
      if (const selvane::Result result = selvane::ReadModel(model, input); !result.Ok())
        return Fail(model, result.Reason);
    }
    vtkNew<vtkTransformPolyDataFilter> filter;
    filter->SetTransform(transform);
    filter->SetInputData(input);
    filter->Update();
    vtkPolyData* deformed = filter->GetOutput();
    if (!deformed || deformed->GetNumberOfPoints() != input->GetNumberOfPoints())
      return Fail(model, "the deformation produced no model");
    if (options.Displacement)
      AddDisplacementArray(input, deformed);

    if (const selvane::Result written = selvane::formats::WriteModelFile(deformed, outputs[m]);
        !written.Ok())
      return Fail(outputs[m], written.Reason);
    char line[64];
    std::snprintf(line, sizeof line, "%g", options.Fraction);
    report.Line("Deformed " + std::to_string(deformed->GetNumberOfPoints()) + " points by " +
                std::to_string(source.Pairs) + " correspondences at fraction " + line + ": " +
                outputs[m]);
    nlohmann::json entry = {{"model", model},
                            {"output", outputs[m]},
                            {"points", deformed->GetNumberOfPoints()},
                            {"cells", deformed->GetNumberOfCells()}};
    if (options.Json)
      AddInsight(transform, input, deformed, entry);
    entry["seconds"] = clock.Seconds();
    models.push_back(entry);
  }

  nlohmann::json series;
  if (!options.Series.empty()) {
    const selvane::tools::Stopwatch clock;
    const auto [ok, reason] = WriteSeries(options, transform, first, series);
    if (!ok)
      return Fail(options.Series, reason);
    series["seconds"] = clock.Seconds();
    report.Line("Wrote " + std::to_string(series["frames"].get<int>()) +
                " frames of the morph: " + options.Series);
  }

  if (options.Json) {
    const nlohmann::json summary = {{"tool", "selvane-deform"},
                                    {"version", selvane::tools::Version()},
                                    {"fit", source.Summary},
                                    {"fraction", options.Fraction},
                                    {"models", models},
                                    {"series", series},
                                    {"warnings", report.Warnings},
                                    {"seconds", total.Seconds()}};
    std::printf("%s\n", summary.dump(2).c_str());
  }
  // A report that could not be written (a full disk) is a failure, not a success.
  if (const std::string why = selvane::tools::FinishStdout(); !why.empty())
    return Fail("standard output", why);
  return 0;
}
