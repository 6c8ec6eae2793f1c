// The displacement field of one spline fit, d(x) = sum over the centres c within R of x of
// (1 - |x - c| / R)^2 * coeff(c), plus the linear part, which applies only where at least one
// centre lies within R (elsewhere d is 0). The centres sit in a uniform grid of cells of edge
// R (or larger when the centres are spread thinly), stored cell by cell with their
// coefficients, so an evaluation reads a few neighbouring cells of contiguous memory.
#pragma once

#include "Result.h"

#include <string>
#include <vector>

class vtkFloatArray;
class vtkIntArray;
class vtkPoints;

namespace selvane {

class SplineField {
public:
  // Copies the centres (by point id), their coefficients (rows given by unList, then the four
  // linear coefficients at n .. n+3) and the radius. Refused with the reason, leaving the field
  // as it was, when the data do not fit together.
  Result Build(float radius, vtkPoints* centres, vtkFloatArray* coeffX, vtkFloatArray* coeffY,
               vtkFloatArray* coeffZ, vtkIntArray* unList);

  // d(x); false (and d = 0) when no centre lies within the radius. A non-finite x has none.
  bool Evaluate(const double x[3], double d[3]) const;
  // d(x) and its derivative jacobian[i][a] = dd_i/dx_a (0 where d is 0).
  bool EvaluateWithDerivative(const double x[3], double d[3], double jacobian[3][3]) const;

  int GetNumberOfCentres() const { return static_cast<int>(Centres.size()); }
  double GetRadius() const { return Radius; }
  const int* GetDimensions() const { return Dims; }

private:
  struct Centre {
    double X[3];
    double Coeff[3];
  };
  template <bool WithDerivative>
  bool Sum(const double x[3], double d[3], double jacobian[3][3]) const;

  double Radius = 0.0;
  double Radius2 = 0.0;
  double CellSize = 1.0;
  double Lo[3] = {0, 0, 0};
  double Hi[3] = {0, 0, 0};
  int Dims[3] = {0, 0, 0};
  std::vector<Centre> Centres; // cell by cell
  std::vector<int> CellStart;  // Dims product + 1 offsets into Centres
  double Linear[3][4] = {};    // per axis: d0 + d1 x + d2 y + d3 z
};

} // namespace selvane
