#pragma once

#include <vtkFloatArray.h>
#include <vtkIntArray.h>
#include <vtkObject.h>
#include <vtkPoints.h>
#include <vtkSmartPointer.h>

#include <cstdint>
#include <string>
#include <vector>

namespace selvane {

class vtkDatReader;
struct CentreSpan;
struct RadialNeighbours;

/**
 * @class vtkMatrixSolver
 * @brief Fits the spline displacement field to the correspondences.
 *
 * Fits, for each axis, an interpolating spline of compactly
 * supported radial functions phi(r) = (1 - r/R)^2 (r < R) plus a linear polynomial to the
 * differences source - target, by Cholesky factorisation of the radial matrix and
 * elimination of the polynomial part through a 4x4 system. Two paths: the envelope
 * factorisation in single precision in the reader's neighbourhood order (fast while the
 * envelope stays narrow), and a supernodal sparse factorisation in double with a
 * fill-reducing ordering (SparseRadialFit) for larger systems. After every solve the residual
 * at the sources is checked; when it exceeds ResidualTolerance times the extent of the
 * centres the automatic choice solves again in double, and what still misses is reported in
 * WarningMessage naming the worst pair.
 *
 * Outputs are reference-counted VTK objects that outlive the solver: SplineCoeffX/Y/Z
 * (n + 4 floats: radial weights by position, then d0 d1 d2 d3 of d0 + d1 x + d2 y + d3 z) and
 * the centres in position order. Solve refuses (returns 0, Status != Ok, StatusMessage naming
 * the cause) instead of producing meaningless coefficients.
 */
class vtkMatrixSolver : public vtkObject {
public:
  static vtkMatrixSolver* New();
  vtkTypeMacro(vtkMatrixSolver, vtkObject);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  enum StatusCode {
    NotSolved = -1,
    Ok = 0,
    MissingInput,        // an input is not set or has the wrong size
    TooFewCentres,       // fewer than three distinct centres
    CollinearCentres,    // the centres lie on one line
    NotPositiveDefinite, // the envelope factorisation met a pivot that is not positive
    SingularPolynomial,  // the 4x4 system of the polynomial part is singular
    NotFinite,           // a coefficient came out infinite or not a number
    TooLarge,            // the factor would not fit in the memory there is
    CoordinateTooLarge   // a coordinate beyond what the arithmetic can square
  };

  enum PathChoice {
    AutomaticPath = 0, // the envelope while its work stays under EnvelopeWorkCrossover
    EnvelopePath = 1,
    SparsePath = 2
  };

  // Borrows every input from a reader that has read its file: centres, order, Max and the
  // differences (not the radius).
  void SetInputsFromReader(vtkDatReader* reader);

  // The centres by point id (the reader's PointArray).
  vtkSetSmartPointerMacro(PointArray, vtkPoints);
  vtkGetSmartPointerMacro(PointArray, vtkPoints);
  vtkSetSmartPointerMacro(SplineCoeffX, vtkFloatArray);
  vtkGetSmartPointerMacro(SplineCoeffX, vtkFloatArray);
  vtkSetSmartPointerMacro(SplineCoeffY, vtkFloatArray);
  vtkGetSmartPointerMacro(SplineCoeffY, vtkFloatArray);
  vtkSetSmartPointerMacro(SplineCoeffZ, vtkFloatArray);
  vtkGetSmartPointerMacro(SplineCoeffZ, vtkFloatArray);
  // Position -> point id (the reader's List).
  vtkSetSmartPointerMacro(List, vtkIntArray);
  vtkGetSmartPointerMacro(List, vtkIntArray);
  // Differences by position (the reader's BX, BY, BZ). Solve reads them and leaves them as
  // they are.
  vtkSetSmartPointerMacro(BX, vtkFloatArray);
  vtkGetSmartPointerMacro(BX, vtkFloatArray);
  vtkSetSmartPointerMacro(BY, vtkFloatArray);
  vtkGetSmartPointerMacro(BY, vtkFloatArray);
  vtkSetSmartPointerMacro(BZ, vtkFloatArray);
  vtkGetSmartPointerMacro(BZ, vtkFloatArray);
  vtkSetMacro(Radius, float);
  vtkGetMacro(Radius, float);
  // The reader's largest position offset: the assembly looks Max positions back.
  vtkSetMacro(Max, int);
  vtkGetMacro(Max, int);

  // Which path Solve takes; Automatic by default.
  vtkSetClampMacro(Path, int, AutomaticPath, SparsePath);
  vtkGetMacro(Path, int);
  // The automatic choice takes the envelope while the sum of its squared row bandwidths stays
  // at or below this (measured on this machine with bench_spline).
  vtkSetMacro(EnvelopeWorkCrossover, double);
  vtkGetMacro(EnvelopeWorkCrossover, double);
  // Bytes the factor may take; 0 (the default): the memory available on the machine.
  vtkSetMacro(MemoryLimit, double);
  vtkGetMacro(MemoryLimit, double);
  // A residual at the sources above this times the diagonal of the centres' bounding box
  // counts as imprecise.
  vtkSetMacro(ResidualTolerance, double);
  vtkGetMacro(ResidualTolerance, double);

  // 1 when SplineCoeffX/Y/Z hold the fit, 0 when the fit was refused (see Status). Writes the
  // report lines to standard output. Allocation failures throw SelvaneError.
  int Solve();

  int GetStatus() const { return this->Status; }
  // The path that produced the coefficients of the last successful Solve.
  int GetPathUsed() const { return this->PathUsed; }
  // "" or one line: the fit misses its sources by more than the tolerance.
  const std::string& GetWarningMessage() const { return this->WarningMessage; }
  // Largest |s(source) - (source - target)| of the last fit, and its tolerance.
  double GetSourceResidual() const { return this->SourceResidual; }
  double GetResidualLimit() const { return this->ResidualLimit; }
  const std::string& GetStatusMessage() const { return this->StatusMessage; }

  // Made by Solve: the centres in position order (centre k = point List[k]).
  vtkGetSmartPointerMacro(Centres, vtkPoints);
  // Directions spanned by the centres (3, or 2 for centres in one plane).
  int GetPolynomialRank() const { return this->PolynomialRank; }
  // Figures of the last Solve.
  double GetConstructionTime() const { return this->ConstructionTime; }
  double GetSolvingTime() const { return this->SolvingTime; }
  std::int64_t GetEnvelopeSize() const { return this->EnvelopeSize; }

protected:
  vtkMatrixSolver();
  ~vtkMatrixSolver() override;

  int Refuse(int status, const std::string& message);
  // The two paths: 1 and the coefficients in out, or 0 after Refuse.
  std::uint64_t MemoryForFactor() const;
  int SolveByEnvelope(const std::vector<double>& x, const CentreSpan& span,
                      vtkSmartPointer<vtkFloatArray> out[3]);
  int SolveBySparse(const std::vector<double>& x, const CentreSpan& span,
                    const RadialNeighbours& neighbours, vtkSmartPointer<vtkFloatArray> out[3]);

  vtkSmartPointer<vtkPoints> PointArray;
  vtkSmartPointer<vtkFloatArray> SplineCoeffX;
  vtkSmartPointer<vtkFloatArray> SplineCoeffY;
  vtkSmartPointer<vtkFloatArray> SplineCoeffZ;
  vtkSmartPointer<vtkIntArray> List;
  vtkSmartPointer<vtkFloatArray> BX;
  vtkSmartPointer<vtkFloatArray> BY;
  vtkSmartPointer<vtkFloatArray> BZ;
  float Radius = 0.0f;
  int Max = 0;

  vtkSmartPointer<vtkPoints> Centres;
  int Status = NotSolved;
  std::string StatusMessage;
  int PolynomialRank = 0;
  double ConstructionTime = 0.0;
  double SolvingTime = 0.0;
  std::int64_t EnvelopeSize = 0;
  int Path = AutomaticPath;
  int PathUsed = AutomaticPath;
  double EnvelopeWorkCrossover = 3.0e8;
  double ResidualTolerance = 1.0e-5;
  double MemoryLimit = 0.0;
  double SourceResidual = 0.0;
  double ResidualLimit = 0.0;
  std::string WarningMessage;

private:
  vtkMatrixSolver(const vtkMatrixSolver&) = delete;
  void operator=(const vtkMatrixSolver&) = delete;
};

} // namespace selvane

