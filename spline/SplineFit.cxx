#include "SplineFit.h"

#include "SplineField.h"
#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"

#include <vtkSMPThreadLocal.h>
#include <vtkSMPTools.h>

#include <algorithm>
#include <cmath>

namespace selvane {

SplineFit MakeSplineFit(vtkDatReader* reader, vtkMatrixSolver* solver) {
  SplineFit fit;
  fit.Radius = solver->GetRadius();
  fit.Centres = reader->GetPointArray();
  fit.OrderedCentres = solver->GetCentres();
  fit.Locator = reader->GetTree();
  fit.List = reader->GetList();
  fit.UnList = reader->GetUnList();
  fit.CoeffX = solver->GetSplineCoeffX();
  fit.CoeffY = solver->GetSplineCoeffY();
  fit.CoeffZ = solver->GetSplineCoeffZ();
  return fit;
}

void EvaluateSpline(const SplineFit& fit, const double p[3], double d[3], vtkIdList* scratch) {
  d[0] = d[1] = d[2] = 0.0;
  vtkSmartPointer<vtkIdList> own;
  if (!scratch) {
    own = vtkSmartPointer<vtkIdList>::New();
    scratch = own;
  }
  scratch->Reset();
  fit.Locator->FindPointsWithinRadius(fit.Radius, p, scratch);
  const vtkIdType found = scratch->GetNumberOfIds();
  if (found == 0) {
    return;
  }
  const int n = static_cast<int>(fit.Centres->GetNumberOfPoints());
  const float* cx = fit.CoeffX->GetPointer(0);
  const float* cy = fit.CoeffY->GetPointer(0);
  const float* cz = fit.CoeffZ->GetPointer(0);
  const double radius = fit.Radius;
  for (vtkIdType k = 0; k < found; ++k) {
    const vtkIdType j = scratch->GetId(k);
    double c[3];
    fit.Centres->GetPoint(j, c);
    const double r = std::sqrt((c[0] - p[0]) * (c[0] - p[0]) + (c[1] - p[1]) * (c[1] - p[1]) +
                               (c[2] - p[2]) * (c[2] - p[2]));
    if (r >= radius) {
      continue; // phi vanishes at and beyond R
    }
    const double w = (1.0 - r / radius) * (1.0 - r / radius);
    const int row = fit.UnList->GetValue(j);
    d[0] += w * cx[row];
    d[1] += w * cy[row];
    d[2] += w * cz[row];
  }
  d[0] += cx[n] + cx[n + 1] * p[0] + cx[n + 2] * p[1] + cx[n + 3] * p[2];
  d[1] += cy[n] + cy[n + 1] * p[0] + cy[n + 2] * p[1] + cy[n + 3] * p[2];
  d[2] += cz[n] + cz[n + 1] * p[0] + cz[n + 2] * p[1] + cz[n + 3] * p[2];
}

double FitResidual(const SplineFit& fit, vtkPoints* targets) {
  const vtkIdType n = fit.Centres->GetNumberOfPoints();
  // The transform's own field (a grid of cells, safe to read from several threads) evaluates
  // the sources over every core; the locator's sums stay for fits it refuses.
  SplineField field;
  if (field.Build(fit.Radius, fit.Centres, fit.CoeffX, fit.CoeffY, fit.CoeffZ, fit.UnList)) {
    vtkSMPThreadLocal<double> worst(0.0);
    vtkSMPTools::For(0, n, 4096, [&](vtkIdType first, vtkIdType last) {
      double& local = worst.Local();
      for (vtkIdType id = first; id < last; ++id) {
        double s[3], t[3], d[3];
        fit.Centres->GetPoint(id, s);
        targets->GetPoint(id, t);
        field.Evaluate(s, d);
        double e2 = 0.0;
        for (int a = 0; a < 3; ++a) {
          const double want = s[a] - t[a];
          e2 += (d[a] - want) * (d[a] - want);
        }
        const double e = std::sqrt(e2);
        if (!(e <= local)) {
          local = e;
        }
      }
    });
    double result = 0.0;
    for (double w : worst) {
      if (!(w <= result)) {
        result = w;
      }
    }
    return result;
  }
  auto scratch = vtkSmartPointer<vtkIdList>::New();
  double worst = 0.0;
  for (vtkIdType id = 0; id < n; ++id) {
    double s[3], t[3], d[3];
    fit.Centres->GetPoint(id, s);
    targets->GetPoint(id, t);
    EvaluateSpline(fit, s, d, scratch);
    double e2 = 0.0;
    for (int a = 0; a < 3; ++a) {
      const double want = s[a] - t[a];
      e2 += (d[a] - want) * (d[a] - want);
    }
    worst = std::max(worst, std::sqrt(e2));
  }
  return worst;
}

} // namespace selvane
