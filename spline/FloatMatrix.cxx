#include "FloatMatrix.h"

#include "SelvaneError.h"

#include <new>

namespace selvane {

FloatMatrix::FloatMatrix(int nrl, int nrh, int ncl, int nch)
    : Nrl(nrl), Nrh(nrh), Ncl(ncl), Nch(nch) {
  const long long rows = static_cast<long long>(nrh) - nrl + 1;
  const long long cols = static_cast<long long>(nch) - ncl + 1;
  try {
    Rows.reset(new float*[rows > 0 ? rows : 0]);
  } catch (const std::bad_alloc&) {
    throw SelvaneError("allocation faliture for the matrix in allocate_matrix");
  }
  if (rows <= 0) {
    return;
  }
  const long long width = cols > 0 ? cols : 0;
  try {
    Storage.reset(new float[rows * width]);
  } catch (const std::bad_alloc&) {
    throw SelvaneError("allocation faliture for the rows of matrix in allocate_matrix");
  }
  for (long long r = 0; r < rows; ++r) {
    // Offset so that Rows[r][ncl] is the first element of the row.
    Rows[r] = Storage.get() + r * width - ncl;
  }
}

} // namespace selvane
