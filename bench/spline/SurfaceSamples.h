// Correspondences as users make them: sources sampled on a scanned-like surface (a sphere
// displaced by several octaves of smooth noise, bumpy and not convex, sampled with a density
// that varies threefold over the surface), targets moved by a smooth field; and, beside it, the
// evenly jittered unit sphere. The radius gives about 30 neighbours per centre.
#pragma once

#include <vtkSmartPointer.h>

#include <string>
#include <vector>

class vtkPolyData;

namespace selvane::bench {

struct SampledPairs {
  std::vector<double> Source, Target; // 3 per pair
  double Radius = 0.0;
  double MeanNeighbours = 0.0;
};

// kind: "surface" or "sphere".
SampledPairs MakeSampledPairs(const std::string& kind, int n, unsigned seed);

// Writes "# Points Transformations" and one line per pair; false when the file cannot be
// written.
bool WriteSampledPairs(const SampledPairs& pairs, const std::string& path);

// The surface MakeSampledPairs("surface", n, seed) samples, as a triangle mesh: a sphere of
// resolution x resolution facets (about resolution^2 points and twice as many triangles) moved
// radially by the same noise.
vtkSmartPointer<vtkPolyData> MakeScannedSurface(int resolution, unsigned seed);

} // namespace selvane::bench
