#pragma once

#include "SplineField.h"

#include <vtkAbstractTransform.h>
#include <vtkFloatArray.h>
#include <vtkIntArray.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkSmartPointer.h>

#include <vector>

namespace selvane {

/**
 * @class vtkShapeTransform
 * @brief Moves points by a spline displacement field scaled by Fraction.
 *
 * x -> x - Fraction * d(x), where d is the field fitted by vtkMatrixSolver to the
 * correspondences read by vtkDatReader (see SplineField.h for d).
 *
 * The field is evaluated once per parameter set and input: the displacement of every input
 * point is cached, so each further evaluation (an animation frame, a redraw) costs one
 * multiplication and one subtraction per coordinate. The cache belongs to one input point set:
 * when another point set comes in (another model opened), the displacements are computed
 * anew from the kept parameters. The transform keeps its own references to everything
 * SetParameters hands it, so it never depends on the reader or the solver staying alive.
 *
 * States: Identity (no parameters: points copied), Parameterised (the next evaluation fills
 * the cache), Evaluated (the cache holds the displacements of the last input).
 */
class vtkShapeTransform : public vtkAbstractTransform {
public:
  static vtkShapeTransform* New();
  vtkTypeMacro(vtkShapeTransform, vtkAbstractTransform);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  enum StateType { Identity = 0, Parameterised = 1, Evaluated = 2 };

  // Takes a new fit: radius of support, centres by point id, the three coefficient arrays
  // (n + 4 values: radial weights by row, then the linear part), the row of each centre
  // (point id -> row) and the locator over the centres. Discards the cache. Does not call
  // Modified(): SetFraction, which the caller calls next, does. Returns false, and changes
  // nothing, when the
  // arrays do not fit together (the reason is reported through vtkErrorMacro).
  bool SetParameters(float radius, vtkPoints* centres, vtkFloatArray* coeffX, vtkFloatArray* coeffY,
                     vtkFloatArray* coeffZ, vtkIntArray* unList, vtkPointLocator* tree);

  // Takes over other's fit and the displacements it cached (other keeps the fit but loses the
  // cache): a fit made and first evaluated on a worker thread becomes this transform's in one
  // step, without evaluating the field again. Fraction is the caller's, as after
  // SetParameters.
  void TakeFit(vtkShapeTransform* other);

  // Share of the displacement applied; 0 shows the points as they came in. Always marks the
  // transform modified, also when the value stays: after SetParameters or TakeFit the same
  // Fraction stands for another field, and the pipeline must evaluate it.
  void SetFraction(float fraction);
  vtkGetMacro(Fraction, float);

  StateType GetState() const;
  bool GetParametersSet() const { return this->ParametersSet; }
  bool GetDisplacementsValid() const { return this->DisplacementsValid; }
  vtkGetMacro(Radius, float);
  vtkGetSmartPointerMacro(PointArray, vtkPoints);
  vtkGetSmartPointerMacro(Tree, vtkPointLocator);
  // Number of times the displacement field has been evaluated over a whole input.
  vtkGetMacro(CacheFills, int);
  // Cached displacement of input point i (false when i is outside the cache).
  bool GetDisplacement(vtkIdType i, float d[3]) const;
  vtkIdType GetNumberOfDisplacements() const {
    return static_cast<vtkIdType>(this->Displacements.size() / 3);
  }

  void TransformPoints(vtkPoints* inPts, vtkPoints* outPts) override;
  // Points as TransformPoints; normals, vectors and the optional vector arrays are copied
  // unchanged, so the output's point data stay consistent with its points.
  void TransformPointsNormalsVectors(vtkPoints* inPts, vtkPoints* outPts, vtkDataArray* inNms,
                                     vtkDataArray* outNms, vtkDataArray* inVrs,
                                     vtkDataArray* outVrs, int nOptionalVectors = 0,
                                     vtkDataArray** inVrsArr = nullptr,
                                     vtkDataArray** outVrsArr = nullptr) override;

  // The field has no inverse: reported as an error, the transform stays as it is.
  void Inverse() override;

  // Single points are evaluated from the field directly (the cache is for whole inputs).
  void InternalTransformPoint(const float in[3], float out[3]) override;
  void InternalTransformPoint(const double in[3], double out[3]) override;
  void InternalTransformDerivative(const float in[3], float out[3],
                                   float derivative[3][3]) override;
  void InternalTransformDerivative(const double in[3], double out[3],
                                   double derivative[3][3]) override;

  VTK_NEWINSTANCE vtkAbstractTransform* MakeTransform() override;

protected:
  vtkShapeTransform();
  ~vtkShapeTransform() override;

  void InternalDeepCopy(vtkAbstractTransform* transform) override;

  // Makes the cache hold the displacements of inPts; false when it could not be allocated.
  bool FillCache(vtkPoints* inPts);
  bool CacheMatches(vtkPoints* inPts) const;

  float Radius = 0.0f;
  float Fraction = 0.0f;
  bool ParametersSet = false;
  bool DisplacementsValid = false;
  int CacheFills = 0;

  // The fit as handed over, kept alive for the transform's life.
  vtkSmartPointer<vtkPoints> PointArray;
  vtkSmartPointer<vtkFloatArray> SplineCoeffX;
  vtkSmartPointer<vtkFloatArray> SplineCoeffY;
  vtkSmartPointer<vtkFloatArray> SplineCoeffZ;
  vtkSmartPointer<vtkIntArray> UnList;
  vtkSmartPointer<vtkPointLocator> Tree;
  SplineField Field;

  // Displacement of each input point (x y z per point, single precision), and the input it
  // belongs to: the point data array, its number of points and its modification time.
  std::vector<float> Displacements;
  const void* CacheInput = nullptr;
  vtkIdType CacheCount = -1;
  vtkMTimeType CacheTime = 0;

private:
  vtkShapeTransform(const vtkShapeTransform&) = delete;
  void operator=(const vtkShapeTransform&) = delete;
};

} // namespace selvane

