#include "vtkShapeTransform.h"

#include <vtkDataArray.h>
#include <vtkFloatArray.h>
#include <vtkIntArray.h>
#include <vtkObjectFactory.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkSMPTools.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace selvane {

vtkObjectFactoryNewMacro(vtkShapeTransform);

namespace {

// Raw coordinates when the points are stored as contiguous floats.
float* FloatCoordinates(vtkPoints* points) {
  auto* data = vtkFloatArray::FastDownCast(points->GetData());
  return data ? data->GetPointer(0) : nullptr;
}

// Appends n points to out and returns the index of the first.
vtkIdType Extend(vtkPoints* out, vtkIdType n) {
  const vtkIdType start = out->GetNumberOfPoints();
  out->SetNumberOfPoints(start + n);
  return start;
}

void CopyArray(vtkDataArray* in, vtkDataArray* out) {
  if (in && out && in != out)
    out->DeepCopy(in);
}

} // namespace

vtkShapeTransform::vtkShapeTransform() = default;

vtkShapeTransform::~vtkShapeTransform() = default;

void vtkShapeTransform::PrintSelf(ostream& os, vtkIndent indent) {
  this->Superclass::PrintSelf(os, indent);
  static const char* const states[] = {"Identity", "Parameterised", "Evaluated"};
  os << indent << "State: " << states[this->GetState()] << "\n";
  os << indent << "Radius: " << this->Radius << "\n";
  os << indent << "Fraction: " << this->Fraction << "\n";
  os << indent << "Centres: " << this->Field.GetNumberOfCentres() << "\n";
  os << indent << "Cached displacements: " << this->GetNumberOfDisplacements() << "\n";
  os << indent << "CacheFills: " << this->CacheFills << "\n";
  os << indent << "Tree: " << this->Tree.GetPointer() << "\n";
}

void vtkShapeTransform::SetFraction(float fraction) {
  this->Fraction = fraction;
  this->Modified();
}

vtkShapeTransform::StateType vtkShapeTransform::GetState() const {
  if (!this->ParametersSet)
    return Identity;
  return this->DisplacementsValid ? Evaluated : Parameterised;
}

bool vtkShapeTransform::SetParameters(float radius, vtkPoints* centres, vtkFloatArray* coeffX,
                                      vtkFloatArray* coeffY, vtkFloatArray* coeffZ,
                                      vtkIntArray* unList, vtkPointLocator* tree) {
  SplineField field;
  try {
    if (const Result built = field.Build(radius, centres, coeffX, coeffY, coeffZ, unList); !built) {
      vtkErrorMacro("Parameters refused: " << built.Reason);
      return false;
    }
  } catch (const std::bad_alloc&) {
    vtkErrorMacro("Parameters refused: not enough memory for the centres");
    return false;
  }
  this->Radius = radius;
  this->PointArray = centres;
  this->SplineCoeffX = coeffX;
  this->SplineCoeffY = coeffY;
  this->SplineCoeffZ = coeffZ;
  this->UnList = unList;
  this->Tree = tree;
  this->Field = std::move(field);
  this->ParametersSet = true;
  this->DisplacementsValid = false;
  std::vector<float>().swap(this->Displacements);
  this->CacheInput = nullptr;
  this->CacheCount = -1;
  this->CacheTime = 0;
  return true;
}

bool vtkShapeTransform::GetDisplacement(vtkIdType i, float d[3]) const {
  if (i < 0 || i >= this->GetNumberOfDisplacements())
    return false;
  std::copy_n(this->Displacements.data() + 3 * i, 3, d);
  return true;
}

bool vtkShapeTransform::CacheMatches(vtkPoints* inPts) const {
  return this->DisplacementsValid && this->CacheInput == inPts->GetData() &&
         this->CacheCount == inPts->GetNumberOfPoints() && this->CacheTime == inPts->GetMTime();
}

bool vtkShapeTransform::FillCache(vtkPoints* inPts) {
  const vtkIdType n = inPts->GetNumberOfPoints();
  this->DisplacementsValid = false;
  try {
    this->Displacements.assign(static_cast<size_t>(3 * n), 0.0f);
  } catch (const std::bad_alloc&) {
    std::vector<float>().swap(this->Displacements);
    vtkErrorMacro("Not enough memory for the displacements of " << n << " points");
    return false;
  }
  float* d = this->Displacements.data();
  const float* in = FloatCoordinates(inPts);
  // Points are independent: the first evaluation of a large model uses every core.
  vtkSMPTools::For(0, n, 4096, [&](vtkIdType first, vtkIdType last) {
    for (vtkIdType i = first; i < last; ++i) {
      double x[3], di[3];
      if (in) {
        x[0] = in[3 * i];
        x[1] = in[3 * i + 1];
        x[2] = in[3 * i + 2];
      } else {
        inPts->GetPoint(i, x);
      }
      if (this->Field.Evaluate(x, di)) {
        d[3 * i] = static_cast<float>(di[0]);
        d[3 * i + 1] = static_cast<float>(di[1]);
        d[3 * i + 2] = static_cast<float>(di[2]);
      }
    }
  });
  this->CacheInput = inPts->GetData();
  this->CacheCount = n;
  this->CacheTime = inPts->GetMTime();
  this->DisplacementsValid = true;
  ++this->CacheFills;
  return true;
}

void vtkShapeTransform::TransformPoints(vtkPoints* inPts, vtkPoints* outPts) {
  this->Update();
  const vtkIdType n = inPts->GetNumberOfPoints();
  const bool deform = this->ParametersSet && (this->CacheMatches(inPts) || this->FillCache(inPts));
  const vtkIdType start = Extend(outPts, n);
  const float* in = FloatCoordinates(inPts);
  float* out = FloatCoordinates(outPts);
  if (out)
    out += 3 * start;

  // Fraction 0 copies, so the points come out bit for bit (signed zeros included).
  if (!deform || this->Fraction == 0.0f) {
    if (in && out) {
      std::memcpy(out, in, static_cast<size_t>(3 * n) * sizeof(float));
    } else {
      double x[3];
      for (vtkIdType i = 0; i < n; ++i) {
        inPts->GetPoint(i, x);
        outPts->SetPoint(start + i, x);
      }
    }
    return;
  }

  // x - Fraction * d in single precision, the same arithmetic in every frame, so a frame
  // shows the same shape whether the cache was filled in it or before.
  const float f = this->Fraction;
  const float* d = this->Displacements.data();
  if (in && out) {
    for (vtkIdType k = 0; k < 3 * n; ++k)
      out[k] = in[k] - f * d[k];
    return;
  }
  double x[3];
  for (vtkIdType i = 0; i < n; ++i) {
    inPts->GetPoint(i, x);
    for (int a = 0; a < 3; ++a)
      x[a] = static_cast<float>(x[a]) - f * d[3 * i + a];
    outPts->SetPoint(start + i, x);
  }
}

void vtkShapeTransform::TransformPointsNormalsVectors(vtkPoints* inPts, vtkPoints* outPts,
                                                      vtkDataArray* inNms, vtkDataArray* outNms,
                                                      vtkDataArray* inVrs, vtkDataArray* outVrs,
                                                      int nOptionalVectors, vtkDataArray** inVrsArr,
                                                      vtkDataArray** outVrsArr) {
  this->TransformPoints(inPts, outPts);
  CopyArray(inNms, outNms);
  CopyArray(inVrs, outVrs);
  for (int k = 0; inVrsArr && outVrsArr && k < nOptionalVectors; ++k)
    CopyArray(inVrsArr[k], outVrsArr[k]);
}

void vtkShapeTransform::Inverse() {
  vtkErrorMacro("A shape transform has no inverse; it is left as it is.");
}

void vtkShapeTransform::InternalTransformPoint(const float in[3], float out[3]) {
  double x[3] = {in[0], in[1], in[2]}, y[3];
  this->InternalTransformPoint(x, y);
  for (int a = 0; a < 3; ++a)
    out[a] = static_cast<float>(y[a]);
}

void vtkShapeTransform::InternalTransformPoint(const double in[3], double out[3]) {
  double d[3] = {0, 0, 0};
  if (this->ParametersSet)
    this->Field.Evaluate(in, d);
  for (int a = 0; a < 3; ++a)
    out[a] = in[a] - this->Fraction * d[a];
}

void vtkShapeTransform::InternalTransformDerivative(const float in[3], float out[3],
                                                    float derivative[3][3]) {
  double x[3] = {in[0], in[1], in[2]}, y[3], j[3][3];
  this->InternalTransformDerivative(x, y, j);
  for (int a = 0; a < 3; ++a) {
    out[a] = static_cast<float>(y[a]);
    for (int b = 0; b < 3; ++b)
      derivative[a][b] = static_cast<float>(j[a][b]);
  }
}

void vtkShapeTransform::InternalTransformDerivative(const double in[3], double out[3],
                                                    double derivative[3][3]) {
  double d[3] = {0, 0, 0}, jd[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  if (this->ParametersSet)
    this->Field.EvaluateWithDerivative(in, d, jd);
  for (int a = 0; a < 3; ++a) {
    out[a] = in[a] - this->Fraction * d[a];
    for (int b = 0; b < 3; ++b)
      derivative[a][b] = (a == b ? 1.0 : 0.0) - this->Fraction * jd[a][b];
  }
}

vtkAbstractTransform* vtkShapeTransform::MakeTransform() {
  return vtkShapeTransform::New();
}

void vtkShapeTransform::TakeFit(vtkShapeTransform* other) {
  if (!other || other == this)
    return;
  const float fraction = this->Fraction;
  this->InternalDeepCopy(other);
  this->Fraction = fraction;
  this->Displacements.swap(other->Displacements);
  this->DisplacementsValid = other->DisplacementsValid;
  this->CacheInput = other->CacheInput;
  this->CacheCount = other->CacheCount;
  this->CacheTime = other->CacheTime;
  this->CacheFills += other->CacheFills;
  other->DisplacementsValid = false;
  other->CacheInput = nullptr;
  other->CacheCount = -1;
  other->CacheTime = 0;
}

void vtkShapeTransform::InternalDeepCopy(vtkAbstractTransform* transform) {
  auto* other = vtkShapeTransform::SafeDownCast(transform);
  if (!other || other == this)
    return;
  this->Radius = other->Radius;
  this->Fraction = other->Fraction;
  this->ParametersSet = other->ParametersSet;
  this->PointArray = other->PointArray;
  this->SplineCoeffX = other->SplineCoeffX;
  this->SplineCoeffY = other->SplineCoeffY;
  this->SplineCoeffZ = other->SplineCoeffZ;
  this->UnList = other->UnList;
  this->Tree = other->Tree;
  this->Field = other->Field;
  // The copy evaluates its own inputs afresh.
  this->DisplacementsValid = false;
  std::vector<float>().swap(this->Displacements);
  this->CacheInput = nullptr;
  this->CacheCount = -1;
  this->CacheTime = 0;
}

} // namespace selvane
