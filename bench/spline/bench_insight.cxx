// Seeing and sharing a deformation on large scanned-like models (a bumpy sphere, the surface
// the correspondences are sampled on; bench/spline/SurfaceSamples):
// - colour by displacement on 1,000,000 points (displacement lengths from the shown points,
//   and those lengths mapped through a lookup table) against one cached frame of the same
//   transform in the pipeline (target: within 2x);
// - the fold-over check on 2,000,000 triangles (target: under 0.5 s);
// - 50 frames of a 1,000,000-triangle model as a compressed .vtp series (target: under 30 s).
//
// bench_insight [--resolution N] [--export-resolution M] [--frames F] [--pairs n] [--dir D]
#include "DeformationInsight.h"
#include "MorphSeries.h"
#include "ShapeFit.h"
#include "SurfaceSamples.h"
#include "vtkShapeTransform.h"

#include <vtkFloatArray.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSMPTools.h>
#include <vtkTransformPolyDataFilter.h>
#include <vtkUnsignedCharArray.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using namespace selvane;

namespace {

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename F> double Median(int runs, F&& f) {
  // Several runs of one piece of work; the middle time.
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    const auto start = std::chrono::steady_clock::now();
    f();
    times.push_back(Seconds(start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

bool Fit(const bench::SampledPairs& pairs, vtkShapeTransform* transform) {
  std::ostringstream text;
  text.precision(9);
  for (size_t k = 0; k < pairs.Source.size(); k += 3)
    text << pairs.Source[k] << " " << pairs.Source[k + 1] << " " << pairs.Source[k + 2] << " "
         << pairs.Target[k] << " " << pairs.Target[k + 1] << " " << pairs.Target[k + 2] << "\n";
  const ShapeFitResult fit =
      FitShapeTransformToText(text.str(), static_cast<float>(pairs.Radius), transform);
  if (!fit.Ok())
    std::fprintf(stderr, "bench_insight: fit refused: %s\n", fit.Reason.c_str());
  return fit.Ok();
}

} // namespace

int main(int argc, char** argv) {
  int resolution = 1000, exportResolution = 708, frames = 50, pairCount = 5000;
  std::string dir = "/tmp";
  for (int k = 1; k + 1 < argc; k += 2) {
    if (std::strcmp(argv[k], "--resolution") == 0)
      resolution = std::atoi(argv[k + 1]);
    else if (std::strcmp(argv[k], "--export-resolution") == 0)
      exportResolution = std::atoi(argv[k + 1]);
    else if (std::strcmp(argv[k], "--frames") == 0)
      frames = std::atoi(argv[k + 1]);
    else if (std::strcmp(argv[k], "--pairs") == 0)
      pairCount = std::atoi(argv[k + 1]);
    else if (std::strcmp(argv[k], "--dir") == 0)
      dir = argv[k + 1];
  }
  const unsigned seed = 7;
  const bench::SampledPairs pairs = bench::MakeSampledPairs("surface", pairCount, seed);
  auto model = bench::MakeScannedSurface(resolution, seed);
  std::printf("%s backend, %d threads\n", vtkSMPTools::GetBackend(),
              vtkSMPTools::GetEstimatedNumberOfThreads());
  std::printf("Model: %lld points, %lld triangles; %d pairs on the same surface, radius %.4f\n",
              static_cast<long long>(model->GetNumberOfPoints()),
              static_cast<long long>(model->GetNumberOfPolys()), pairCount, pairs.Radius);

  vtkNew<vtkShapeTransform> shape;
  if (!Fit(pairs, shape))
    return 1;
  vtkNew<vtkTransformPolyDataFilter> filter;
  filter->SetTransform(shape);
  filter->SetInputData(model);
  shape->SetFraction(0.5f);
  filter->Update(); // fills the cache

  // The baseline, one cached frame in the pipeline as the Deformation slider shows it, and the
  // colour work after it, timed in turns so that both see the same load on the machine.
  vtkPolyData* shown = filter->GetOutput();
  vtkNew<vtkFloatArray> lengths;
  vtkNew<vtkLookupTable> table;
  table->SetHueRange(0.667, 0.0);
  table->SetNumberOfTableValues(256);
  table->Build();
  vtkNew<vtkUnsignedCharArray> colours;
  colours->SetNumberOfComponents(4);
  colours->SetNumberOfTuples(model->GetNumberOfPoints());
  std::vector<double> frameTimes, pointTimes, cacheTimes, colourTimes;
  float fraction = 0.5f;
  const auto time = [](std::vector<double>& times, auto&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    times.push_back(Seconds(start));
  };
  for (int run = 0; run < 15; ++run) {
    fraction = fraction == 0.5f ? 0.6f : 0.5f;
    time(frameTimes, [&] {
      shape->SetFraction(fraction);
      shape->Modified();
      filter->Update();
    });
    time(pointTimes, [&] { DisplacementLengths(model->GetPoints(), shown->GetPoints(), lengths); });
    time(cacheTimes,
         [&] { CachedDisplacementLengths(shape, model->GetNumberOfPoints(), fraction, lengths); });
    table->SetRange(0.0, lengths->GetRange()[1]);
    time(colourTimes, [&] {
      DisplacementLengths(model->GetPoints(), shown->GetPoints(), lengths);
      table->MapScalarsThroughTable(lengths, colours->GetPointer(0), VTK_RGBA);
    });
  }
  const auto median = [](std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
  };
  const double frame = median(frameTimes), fromPoints = median(pointTimes),
               fromCache = median(cacheTimes), colour = median(colourTimes);
  const auto unreachedStart = std::chrono::steady_clock::now();
  const vtkIdType unreached = CountUnreachedPoints(shape, model->GetPoints());
  const double unreachedTime = Seconds(unreachedStart);

  // Fold check: the model as read against the full deformation.
  shape->SetFraction(1.0f);
  shape->Modified();
  filter->Update();
  size_t folds = 0;
  const double foldTime = Median(5, [&] { folds = FindFoldedCells(model, shown).size(); });

  std::printf("cached frame (pipeline)          %9.2f ms  (baseline, median of 15)\n", frame * 1e3);
  std::printf("lengths from the shown points    %9.2f ms  %.2fx the cached frame\n",
              fromPoints * 1e3, fromPoints / frame);
  std::printf("lengths from the cache           %9.2f ms  %.2fx the cached frame\n",
              fromCache * 1e3, fromCache / frame);
  std::printf("lengths + colours (lookup table)  %9.2f ms  %.2fx the cached frame (target <= 2x)\n",
              colour * 1e3, colour / frame);
  std::printf("unreached points (%lld)          %9.2f ms  %.2fx the cached frame\n",
              static_cast<long long>(unreached), unreachedTime * 1e3, unreachedTime / frame);
  std::printf("fold check, %lld triangles    %9.2f ms  (%zu folded; target < 500 ms)\n",
              static_cast<long long>(model->GetNumberOfPolys()), foldTime * 1e3, folds);

  // The series export on a model of about 1,000,000 triangles.
  auto exportModel = bench::MakeScannedSurface(exportResolution, seed);
  vtkNew<vtkShapeTransform> exportShape;
  if (!Fit(pairs, exportShape))
    return 1;
  vtkNew<vtkTransformPolyDataFilter> exportFilter;
  exportFilter->SetTransform(exportShape);
  exportFilter->SetInputData(exportModel);
  exportShape->SetFraction(0.0f);
  exportFilter->Update();
  const std::string folder = dir + "/bench_insight_series";
  std::filesystem::create_directories(folder);
  const auto exportStart = std::chrono::steady_clock::now();
  const formats::SeriesResult series =
      formats::WriteMorphSeries(folder + "/morph.pvd", frames, [&](int k, std::string&) {
        exportShape->SetFraction(static_cast<float>(k) / frames);
        exportShape->Modified();
        exportFilter->Update();
        auto frame = vtkSmartPointer<vtkPolyData>::New();
        frame->DeepCopy(exportFilter->GetOutput());
        return frame;
      });
  const double exportTime = Seconds(exportStart);
  std::uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    bytes += entry.file_size();
  std::filesystem::remove_all(folder);
  if (!series.Ok()) {
    std::fprintf(stderr, "bench_insight: %s\n", series.Reason.c_str());
    return 1;
  }
  std::printf("export %d frames, %lld triangles   %9.2f s  (%.1f MiB written; target < 30 s)\n",
              frames, static_cast<long long>(exportModel->GetNumberOfPolys()), exportTime,
              bytes / 1048576.0);
  return 0;
}
