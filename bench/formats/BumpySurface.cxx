#include "BumpySurface.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkPoints.h>

#include <cmath>
#include <random>

namespace selvane::bench {

// A sphere with bumps of several sizes and a little noise on every point, poles closed by
// triangle fans.
vtkSmartPointer<vtkPolyData> BumpySurface(int around, int rings) {
  auto model = vtkSmartPointer<vtkPolyData>::New();
  vtkNew<vtkPoints> points;
  points->SetNumberOfPoints(static_cast<vtkIdType>(around) * rings + 2);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-0.0005, 0.0005);
  const double pi = 3.14159265358979323846;
  auto radius = [&](double theta, double phi) {
    return 80.0 * (1.0 + 0.08 * std::sin(7 * theta) * std::cos(5 * phi) +
                   0.02 * std::sin(23 * theta + 1.3) * std::sin(17 * phi) + noise(random));
  };
  vtkIdType p = 0;
  for (int k = 1; k <= rings; ++k) {
    const double theta = pi * k / (rings + 1);
    for (int i = 0; i < around; ++i) {
      const double phi = 2 * pi * i / around;
      const double r = radius(theta, phi);
      points->SetPoint(p++, r * std::sin(theta) * std::cos(phi) + 12.5,
                       r * std::sin(theta) * std::sin(phi) - 3.25, r * std::cos(theta) + 40.0);
    }
  }
  const vtkIdType north = p, south = p + 1;
  points->SetPoint(north, 12.5, -3.25, 40.0 + radius(0, 0));
  points->SetPoint(south, 12.5, -3.25, 40.0 - radius(pi, 0));
  const vtkIdType triangles = 2 * static_cast<vtkIdType>(around) * (rings);
  vtkNew<vtkCellArray> polys;
  polys->AllocateExact(triangles, 3 * triangles);
  auto at = [&](int ring, int i) { return static_cast<vtkIdType>(ring) * around + (i % around); };
  for (int i = 0; i < around; ++i) {
    const vtkIdType t[3] = {north, at(0, i), at(0, i + 1)};
    polys->InsertNextCell(3, t);
  }
  for (int k = 0; k + 1 < rings; ++k) {
    for (int i = 0; i < around; ++i) {
      const vtkIdType t1[3] = {at(k, i), at(k + 1, i), at(k + 1, i + 1)};
      const vtkIdType t2[3] = {at(k, i), at(k + 1, i + 1), at(k, i + 1)};
      polys->InsertNextCell(3, t1);
      polys->InsertNextCell(3, t2);
    }
  }
  for (int i = 0; i < around; ++i) {
    const vtkIdType t[3] = {south, at(rings - 1, i + 1), at(rings - 1, i)};
    polys->InsertNextCell(3, t);
  }
  vtkNew<vtkFloatArray> regions;
  regions->SetName("region");
  regions->SetNumberOfValues(polys->GetNumberOfCells());
  for (vtkIdType c = 0; c < regions->GetNumberOfValues(); ++c) {
    regions->SetValue(c, static_cast<float>((c / 5000) % 6));
  }
  model->SetPoints(points);
  model->SetPolys(polys);
  model->GetCellData()->SetScalars(regions);
  return model;
}

} // namespace selvane::bench
