#include "RadiusCheck.h"

#include "AtomicFile.h"
#include "CorrespondenceLine.h"
#include "TextLines.h"

#include <vtkNew.h>
#include <vtkPoints.h>

#include <algorithm>
#include <array>

namespace selvane {

RadiusCheck CheckRadiusForPairs(const std::string& pairsText, double radius,
                                const double modelBounds[6]) {
  std::vector<std::array<float, 3>> sources;
  formats::TextLines lines(pairsText);
  std::string_view line;
  std::string copy;
  while (lines.Next(line)) {
    copy.assign(line);
    float values[6];
    if (ParseCorrespondenceLine(copy.c_str(), values))
      sources.push_back({values[0], values[1], values[2]});
  }
  std::sort(sources.begin(), sources.end());
  sources.erase(std::unique(sources.begin(), sources.end()), sources.end());

  RadiusCheck check;
  vtkNew<vtkPoints> centres;
  centres->SetNumberOfPoints(static_cast<vtkIdType>(sources.size()));
  double bounds[6] = {modelBounds[0], modelBounds[1], modelBounds[2],
                      modelBounds[3], modelBounds[4], modelBounds[5]};
  for (size_t k = 0; k < sources.size(); ++k) {
    centres->SetPoint(static_cast<vtkIdType>(k), sources[k][0], sources[k][1], sources[k][2]);
    for (int a = 0; a < 3; ++a) {
      bounds[2 * a] = std::min<double>(bounds[2 * a], sources[k][a]);
      bounds[2 * a + 1] = std::max<double>(bounds[2 * a + 1], sources[k][a]);
    }
  }
  check.Spacing = MeasureCentreSpacing(centres);
  check.Suggested = SuggestRadius(check.Spacing, bounds);
  check.Warnings = CheckRadius(radius, check.Spacing, bounds);
  return check;
}

RadiusCheck CheckRadiusForFile(const std::string& path, double radius,
                               const double modelBounds[6]) {
  std::string text;
  if (!formats::ReadFileContents(path, text))
    return {};
  return CheckRadiusForPairs(text, radius, modelBounds);
}

} // namespace selvane
