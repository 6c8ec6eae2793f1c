#include "SurfaceSamples.h"

#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSphereSource.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace selvane::bench {

namespace {
struct Wave {
  double Direction[3];
  double Frequency, Phase, Amplitude;
};

// Five octaves of three plane waves each over the unit direction u.
std::vector<Wave> MakeNoise(std::mt19937& rng) {
  std::normal_distribution<double> g(0.0, 1.0);
  std::uniform_real_distribution<double> phase(0.0, 2.0 * M_PI);
  std::vector<Wave> waves;
  for (int octave = 0; octave < 5; ++octave) {
    for (int k = 0; k < 3; ++k) {
      Wave w;
      double len = 0.0;
      for (double& d : w.Direction) {
        d = g(rng);
        len += d * d;
      }
      for (double& d : w.Direction) {
        d /= std::sqrt(len);
      }
      w.Frequency = 2.5 * std::pow(2.0, octave);
      w.Phase = phase(rng);
      w.Amplitude = 0.12 / std::pow(1.8, octave);
      waves.push_back(w);
    }
  }
  return waves;
}

double Displacement(const std::vector<Wave>& waves, const double u[3]) {
  double s = 0.0;
  for (const Wave& w : waves) {
    const double t = w.Direction[0] * u[0] + w.Direction[1] * u[1] + w.Direction[2] * u[2];
    s += w.Amplitude * std::sin(w.Frequency * t + w.Phase);
  }
  return s;
}

// Mean number of other sources within r of 2,000 sampled sources.
double MeanNeighbours(vtkPointLocator* locator, vtkPoints* points, double r) {
  vtkNew<vtkIdList> ids;
  const vtkIdType n = points->GetNumberOfPoints();
  const vtkIdType step = n > 2000 ? n / 2000 : 1;
  double sum = 0.0;
  int count = 0;
  for (vtkIdType k = 0; k < n; k += step) {
    double p[3];
    points->GetPoint(k, p);
    locator->FindPointsWithinRadius(r, p, ids);
    sum += static_cast<double>(ids->GetNumberOfIds() - 1);
    ++count;
  }
  return sum / count;
}
} // namespace

SampledPairs MakeSampledPairs(const std::string& kind, int n, unsigned seed) {
  SampledPairs pairs;
  std::mt19937 rng(seed);
  std::normal_distribution<double> g(0.0, 1.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const bool surface = kind == "surface";
  const std::vector<Wave> noise = MakeNoise(rng);
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  const double jitter = 0.2 / std::sqrt(static_cast<double>(n));
  pairs.Source.reserve(3 * static_cast<size_t>(n));
  pairs.Target.reserve(3 * static_cast<size_t>(n));
  for (int i = 0; i < n;) {
    double p[3];
    if (surface) {
      double u[3], len = 0.0;
      for (double& c : u) {
        c = g(rng);
        len += c * c;
      }
      for (double& c : u) {
        c /= std::sqrt(len);
      }
      // Denser where a scanner sees more: threefold over the surface.
      if (unit(rng) > (1.0 + 2.0 * (0.5 + 0.5 * std::sin(3.0 * u[0] + 2.0 * u[2]))) / 3.0) {
        continue;
      }
      const double r = 1.0 + Displacement(noise, u);
      for (int a = 0; a < 3; ++a) {
        p[a] = r * u[a];
      }
    } else {
      const double z = 1.0 - 2.0 * (i + 0.5) / n;
      const double r = std::sqrt(1.0 - z * z);
      p[0] = r * std::cos(golden * i) + jitter * (2.0 * unit(rng) - 1.0);
      p[1] = r * std::sin(golden * i) + jitter * (2.0 * unit(rng) - 1.0);
      p[2] = z + jitter * (2.0 * unit(rng) - 1.0);
    }
    pairs.Source.insert(pairs.Source.end(), {p[0], p[1], p[2]});
    pairs.Target.insert(pairs.Target.end(),
                        {p[0] + 0.05 * std::sin(3 * p[1]), p[1] + 0.05 * std::cos(2 * p[2]),
                         p[2] + 0.03 * p[0] * p[1]});
    ++i;
  }
  // The radius for about 30 neighbours, measured on the points themselves.
  vtkNew<vtkPoints> points;
  points->SetNumberOfPoints(n);
  for (int i = 0; i < n; ++i) {
    points->SetPoint(i, &pairs.Source[3 * static_cast<size_t>(i)]);
  }
  vtkNew<vtkPolyData> cloud;
  cloud->SetPoints(points);
  vtkNew<vtkPointLocator> locator;
  locator->SetDataSet(cloud);
  locator->BuildLocator();
  double r = std::sqrt(4.0 * 30.0 / n);
  for (int pass = 0; pass < 3; ++pass) {
    const double m = MeanNeighbours(locator, points, r);
    r *= std::sqrt(30.0 / std::max(m, 1.0));
  }
  pairs.Radius = r;
  pairs.MeanNeighbours = MeanNeighbours(locator, points, r);
  return pairs;
}

vtkSmartPointer<vtkPolyData> MakeScannedSurface(int resolution, unsigned seed) {
  // The pairs draw their noise first from a generator seeded alike: the same waves.
  std::mt19937 rng(seed);
  const std::vector<Wave> noise = MakeNoise(rng);
  vtkNew<vtkSphereSource> sphere;
  sphere->SetRadius(1.0);
  sphere->SetThetaResolution(resolution);
  sphere->SetPhiResolution(resolution);
  sphere->Update();
  auto surface = vtkSmartPointer<vtkPolyData>::New();
  surface->ShallowCopy(sphere->GetOutput());
  surface->GetPointData()->Initialize();
  vtkPoints* points = surface->GetPoints();
  for (vtkIdType i = 0; i < points->GetNumberOfPoints(); ++i) {
    double u[3];
    points->GetPoint(i, u);
    const double len = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    for (double& c : u)
      c /= len;
    const double r = 1.0 + Displacement(noise, u);
    points->SetPoint(i, r * u[0], r * u[1], r * u[2]);
  }
  return surface;
}

bool WriteSampledPairs(const SampledPairs& pairs, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) {
    return false;
  }
  std::fprintf(f, "# Points Transformations\n");
  for (size_t k = 0; k < pairs.Source.size(); k += 3) {
    std::fprintf(f, "%.7f %.7f %.7f %.7f %.7f %.7f\n", pairs.Source[k], pairs.Source[k + 1],
                 pairs.Source[k + 2], pairs.Target[k], pairs.Target[k + 1], pairs.Target[k + 2]);
  }
  return std::fclose(f) == 0;
}

} // namespace selvane::bench
