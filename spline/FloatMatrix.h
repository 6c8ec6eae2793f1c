// A float matrix with explicit, inclusive index ranges (allocate_matrix / free_matrix),
// owned RAII-style. m[r][c] is valid for nrl <= r <= nrh, ncl <= c <= nch,
// so FloatMatrix(0, 4, 0, n) has 5 rows of n + 1 floats. Element values are not initialised.
#pragma once

#include <memory>

namespace selvane {

class FloatMatrix {
public:
  FloatMatrix() = default;
  // Throws SelvaneError("allocation faliture for the matrix in allocate_matrix") when the
  // row table cannot be allocated and "allocation faliture for the rows of matrix in
  // allocate_matrix" when the rows cannot.
  FloatMatrix(int nrl, int nrh, int ncl, int nch);
  FloatMatrix(FloatMatrix&&) noexcept = default;
  FloatMatrix& operator=(FloatMatrix&&) noexcept = default;
  FloatMatrix(const FloatMatrix&) = delete;
  FloatMatrix& operator=(const FloatMatrix&) = delete;
  ~FloatMatrix() = default;

  float* operator[](int r) { return Rows[r - Nrl]; }
  const float* operator[](int r) const { return Rows[r - Nrl]; }

  int RowLow() const { return Nrl; }
  int RowHigh() const { return Nrh; }
  int ColLow() const { return Ncl; }
  int ColHigh() const { return Nch; }
  bool Empty() const { return Nrl > Nrh; }

private:
  int Nrl = 0, Nrh = -1, Ncl = 0, Nch = -1;
  std::unique_ptr<float[]> Storage; // all rows, one block
  std::unique_ptr<float*[]> Rows;   // Rows[r - Nrl] points at element (r, 0)
};

} // namespace selvane
