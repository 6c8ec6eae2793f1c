// The radius of a Transform checked against the centres it is about to fit, before the solve:
// the spacing of the correspondence sources, the radius it suggests for them and the model,
// and the warnings the chosen radius earns (DeformationInsight.h).
#pragma once

#include "DeformationInsight.h"

#include <string>
#include <vector>

namespace selvane {

struct RadiusCheck {
  CentreSpacing Spacing;
  double Suggested = 0.0;
  std::vector<std::string> Warnings;
};

// The pairs as a correspondence file's text (sources repeated in later lines count once, as
// the reader merges them). modelBounds: the model's bounds, widened to the centres.
RadiusCheck CheckRadiusForPairs(const std::string& pairsText, double radius,
                                const double modelBounds[6]);
// The same for a file; nothing to say (no warnings, no centres) when it cannot be read: the
// fit then reports why.
RadiusCheck CheckRadiusForFile(const std::string& path, double radius, const double modelBounds[6]);

} // namespace selvane
