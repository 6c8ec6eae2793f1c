// The model the format benchmarks open: a surface as a scan looks.
#pragma once

#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

namespace selvane::bench {

// A closed surface of 2 * around * (rings + 1) triangles: a sphere with bumps of several sizes
// and a little noise on every point, poles closed by triangle fans.
// Region labels 0..5 are the cell scalars.
vtkSmartPointer<vtkPolyData> BumpySurface(int around, int rings);

} // namespace selvane::bench
