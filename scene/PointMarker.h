#pragma once

namespace selvane {

// What is kept of a selected point's marker: the point, its target, and the radius of the
// sphere drawn at the target (the pointer radius when the marker was made). Drawn as that
// sphere's triangles, then the point and the target, joined by a line: the target is always
// the marker's last point.
struct PointMarker {
  float Position[3] = {0, 0, 0};
  float Target[3] = {0, 0, 0};
  float Radius = 0;
};

} // namespace selvane
