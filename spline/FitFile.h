// A fitted spline kept in a JSON file, so that one fit (selvane-fit --save) deforms many models
// (selvane-deform --fit) without solving again, and a loaded fit moves every point bit for bit
// as the fresh one does.
//
// Layout (README.md, "The fit file"):
//   {
//     "format": "selvane-fit", "version": 1,
//     "radius": R,                      // support radius, model units
//     "pairs": n, "solver": "envelope" | "sparse", "residual": worst miss at the sources,
//     "centres": [[x, y, z], ...],      // the n sources, in the order of the pairs file
//     "weights": [[wx, wy, wz], ...],   // the radial coefficient of each centre
//     "linear":  [[a0, ax, ay, az],     // x part: a0 + ax x + ay y + az z
//                 [...], [...]]         // y and z parts
//   }
// d(p) = sum over centres c with |p - c| < R of (1 - |p - c| / R)^2 * w(c) + linear(p), and
// d = 0 where no centre lies within R; a point p is shown at p - fraction * d(p). Every value
// is the single-precision number the fit computes with, written in full (as a double) so that
// it reads back unchanged.
#pragma once

#include "Result.h"
#include "SplineFit.h"

#include <string>

namespace selvane {

struct FitFileSummary {
  int Pairs = 0;
  std::string SolverPath; // "envelope" or "sparse"
  double Residual = 0.0;
};

// The file's text for fit (centres by point id, coefficient rows through UnList).
std::string FormatFitFile(const SplineFit& fit, const FitFileSummary& summary);

// FormatFitFile, written through the atomic writer. A failure's reason names the path; the
// old file then stays as it was.
Result WriteFitFile(const std::string& path, const SplineFit& fit, const FitFileSummary& summary);

// Reads a fit file into fit (centres by point id with their coefficients in the same rows, a
// locator over them). A failure's reason (without the path) says why the file cannot be read
// or is not a complete fit; fit is then left as it was.
Result ReadFitFile(const std::string& path, SplineFit& fit, FitFileSummary& summary);
// The same from the file's text.
Result ParseFitFile(const std::string& text, SplineFit& fit, FitFileSummary& summary);

} // namespace selvane
