// The data a deformation transform keeps from one fit, held by counted
// references so that it stays valid after the reader and the solver are deleted, and the
// evaluation of the displacement field d(p).
#pragma once

#include <vtkFloatArray.h>
#include <vtkIdList.h>
#include <vtkIntArray.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkSmartPointer.h>

namespace selvane {

class vtkDatReader;
class vtkMatrixSolver;

struct SplineFit {
  float Radius = 0.0f;
  vtkSmartPointer<vtkPoints> Centres;                    // by point id (the reader's PointArray)
  vtkSmartPointer<vtkPoints> OrderedCentres;             // by position (centre k = point List[k])
  vtkSmartPointer<vtkPointLocator> Locator;              // over Centres; ids are point ids
  vtkSmartPointer<vtkIntArray> List;                     // position -> point id
  vtkSmartPointer<vtkIntArray> UnList;                   // point id -> position (row index)
  vtkSmartPointer<vtkFloatArray> CoeffX, CoeffY, CoeffZ; // n + 4 each

  bool Valid() const { return Centres && Locator && UnList && CoeffX && CoeffY && CoeffZ; }
};

// Collects the results of a successful ReadDatFile and Solve.
SplineFit MakeSplineFit(vtkDatReader* reader, vtkMatrixSolver* solver);

// d(p): the radial sum over the centres within Radius of p plus the linear part; (0, 0, 0)
// when no centre lies within Radius. scratch may be null.
void EvaluateSpline(const SplineFit& fit, const double p[3], double d[3],
                    vtkIdList* scratch = nullptr);

// Largest |d(source) - (source - target)| over the centres, targets by point id.
double FitResidual(const SplineFit& fit, vtkPoints* targets);

} // namespace selvane

