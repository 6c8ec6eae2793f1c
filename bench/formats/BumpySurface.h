// The model the file-opening benchmarks read: a closed, bumpy surface with a little noise on
// every point (as a scanned surface looks: coordinates with all their digits) and region labels
// on its cells as cell scalars.
#pragma once

#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

namespace selvane::bench {

// 2 * around * rings triangles on around * rings + 2 points.
vtkSmartPointer<vtkPolyData> BumpySurface(int around, int rings);

} // namespace selvane::bench
