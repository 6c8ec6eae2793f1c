// Keeps the axis labels readable: before each render of the view, every label is shifted
// beside its anchor to the side facing away from the model's centre on screen, and moved clear
// of the model's extent and of the labels placed before it. The labels keep their positions, scales
// and texts; only the drawn text is offset (through the follower's user transform).
#pragma once

#include <vtkSmartPointer.h>

#include <array>

class vtkFollower;
class vtkRenderer;

namespace selvane {

// Watches `renderer`; returns the observer's tag for RemoveObserver.
unsigned long AttachAxisLabelPlacer(vtkRenderer* renderer,
                                    const std::array<vtkSmartPointer<vtkFollower>, 4>& labels,
                                    const double modelBounds[6]);

} // namespace selvane
