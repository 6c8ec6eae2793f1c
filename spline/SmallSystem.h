// Dense solver for the fixed 4x4 system of the polynomial part: orthogonal
// triangularisation by rows (Householder reflections), then two substitutions. The state is
// an object owned by its caller.
#pragma once

namespace selvane {

class SmallSystemSolver {
public:
  static constexpr int Order = 4;
  float M[Order * Order] = {}; // M(r, c) at 4 * r + c; left holding the factor
  float b[Order] = {};         // right side; replaced by the solution
  float q[Order] = {};         // leading components of the reflections

  // M * x = b: HouseholderRows, LowerTriangularSolve, ApplyReflections.
  void SolveSmallSystem();
  void HouseholderRows();
  void LowerTriangularSolve();
  void ApplyReflections();

  // Smallest |L(i, i)| divided by the largest, after HouseholderRows (0 for a singular M).
  float DiagonalRatio() const;
};

} // namespace selvane
