// Pure layout of the model's axes and their four labels:
// what Open Model gives vtkScaledAxes and the four vtkVectorText/vtkFollower labels, computed
// from the bounds of the model's points. No VTK objects are created here.
#ifndef SELVANE_AXES_LAYOUT_H
#define SELVANE_AXES_LAYOUT_H

#include <array>
#include <string>

namespace selvane {

struct AxisLabel {
  std::string Text;               // "%f %f %f" / "x %f" / "y %f" / "z %f", C numeric locale
  std::array<double, 3> Position; // follower position
  std::array<double, 3> Color;    // follower colour (RGB, 0..1)
};

struct AxesLayout {
  std::array<double, 3> Origin;      // vtkScaledAxes::SetOrigin: (xmin, ymin, zmin)
  std::array<double, 3> ScaleFactor; // vtkScaledAxes::SetScaleFactor: (dx, dy, dz)
  double LargestExtent;              // m = max(dx, dy, dz)
  double LabelScale;                 // s = m / 28, the followers' scale (s, s, s)
  // In the order RebuildScene adds them after the axes actor.
  enum LabelIndex { OriginLabel = 0, XLabel = 1, YLabel = 2, ZLabel = 3 };
  std::array<AxisLabel, 4> Labels;
};

// bounds = (xmin, xmax, ymin, ymax, zmin, zmax), as vtkPoints::GetBounds gives them.
AxesLayout ComputeAxesLayout(const double bounds[6]);

} // namespace selvane

#endif
