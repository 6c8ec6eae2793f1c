#include "AxesLayout.h"

#include "NumberText.h"

#include <algorithm>

namespace selvane {

AxesLayout ComputeAxesLayout(const double b[6]) {
  AxesLayout L;
  const double xmin = b[0], xmax = b[1], ymin = b[2], ymax = b[3], zmin = b[4], zmax = b[5];
  const double dx = xmax - xmin, dy = ymax - ymin, dz = zmax - zmin;
  L.Origin = {xmin, ymin, zmin};
  L.ScaleFactor = {dx, dy, dz};
  L.LargestExtent = std::max(dx, std::max(dy, dz));
  const double s = L.LargestExtent / 28.0;
  L.LabelScale = s;

  L.Labels[AxesLayout::OriginLabel] = {formats::Fixed6(xmin) + " " + formats::Fixed6(ymin) + " " +
                                           formats::Fixed6(zmin),
                                       {xmin - s, ymin - s, zmin - s},
                                       {1.0, 1.0, 1.0}};
  L.Labels[AxesLayout::XLabel] = {
      "x " + formats::Fixed6(xmax), {xmax - s, ymin - s, zmin - s}, {1.0, 0.0, 0.0}};
  L.Labels[AxesLayout::YLabel] = {
      "y " + formats::Fixed6(ymax), {xmin - s, ymax - s, zmin - s}, {0.0, 0.0, 1.0}};
  L.Labels[AxesLayout::ZLabel] = {
      "z " + formats::Fixed6(zmax), {xmin - s, ymin - s, zmax - s}, {0.0, 1.0, 0.0}};
  return L;
}

} // namespace selvane
