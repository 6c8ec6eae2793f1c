#include "SparseCholesky.h"

#include <cholmod.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

namespace selvane {

namespace {
// Smallest pivot of the factor, relative to the largest, that still counts as positive:
// below it the solution's relative error (about eps / ratio^2) reaches 1e-3.
constexpr double PivotRatioLimit = 3e-7;
// Flops per factor nonzero of the AMD ordering above which METIS is tried as well.
constexpr double MetisFlopsPerNonzero = 2000.0;

// One cholmod_common per factor: started on construction, finished on destruction.
struct Common {
  cholmod_common C;
  Common() {
    cholmod_l_start(&C);
    C.print = 0; // failures are reported through Outcome, not printed
    C.supernodal = CHOLMOD_SUPERNODAL;
    // AMD first: on surface-sampled sets of 100,000 to 1,000,000 pairs it orders in a quarter
    // of METIS's time for about 1.4x the factor's nonzeros, and the supernodal kernels absorb
    // the extra flops; CHOLMOD's default (METIS as well once AMD's flops per nonzero pass
    // 500) spends most of its time in METIS there. See Factor for when METIS is tried.
    C.nmethods = 1;
    C.method[0].ordering = CHOLMOD_AMD;
    C.postorder = 1;
  }
  ~Common() { cholmod_l_finish(&C); }
  Common(const Common&) = delete;
  Common& operator=(const Common&) = delete;
};

struct SparseFree {
  cholmod_common* C;
  void operator()(cholmod_sparse* a) const { cholmod_l_free_sparse(&a, C); }
};
struct FactorFree {
  cholmod_common* C;
  void operator()(cholmod_factor* l) const { cholmod_l_free_factor(&l, C); }
};
struct DenseFree {
  cholmod_common* C;
  void operator()(cholmod_dense* d) const { cholmod_l_free_dense(&d, C); }
};
using SparsePtr = std::unique_ptr<cholmod_sparse, SparseFree>;
using FactorPtr = std::unique_ptr<cholmod_factor, FactorFree>;
using DensePtr = std::unique_ptr<cholmod_dense, DenseFree>;

double Since(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

std::uint64_t MappedBytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}
} // namespace

struct SparseCholesky::State {
  Common Session;
  FactorPtr L{nullptr, FactorFree{nullptr}};
  std::int64_t N = 0;
};

SparseCholesky::SparseCholesky() : S(std::make_unique<State>()) {
  S->L = FactorPtr(nullptr, FactorFree{&S->Session.C});
}

SparseCholesky::~SparseCholesky() = default;

SparseCholesky::Outcome SparseCholesky::Factor(std::int64_t n,
                                               std::vector<std::int64_t>&& columnStart,
                                               std::vector<std::int64_t>&& row,
                                               std::vector<double>&& value,
                                               std::uint64_t availableBytes) {
  cholmod_common* c = &S->Session.C;
  S->L.reset();
  S->N = n;
  Bad = -1;
  const std::int64_t nnz = columnStart[n];
  SparsePtr a(cholmod_l_allocate_sparse(n, n, nnz, 1, 1, 1, CHOLMOD_REAL, c), SparseFree{c});
  if (!a) {
    return c->status == CHOLMOD_OUT_OF_MEMORY ? OutOfMemory : Failed;
  }
  std::memcpy(a->p, columnStart.data(), sizeof(std::int64_t) * (n + 1));
  std::memcpy(a->i, row.data(), sizeof(std::int64_t) * nnz);
  std::memcpy(a->x, value.data(), sizeof(double) * nnz);
  std::vector<std::int64_t>().swap(columnStart);
  std::vector<std::int64_t>().swap(row);
  std::vector<double>().swap(value);

  const auto analyseStart = std::chrono::steady_clock::now();
  FactorPtr l(cholmod_l_analyze(a.get(), c), FactorFree{c});
  if (!l) {
    return c->status == CHOLMOD_OUT_OF_MEMORY ? OutOfMemory : Failed;
  }
  // A dense AMD factor (over 2,000 flops per nonzero: the evenly sampled sphere from 300,000
  // pairs on) pays for METIS's nested dissection; the cheaper of the two is kept.
  if (c->fl > MetisFlopsPerNonzero * c->lnz) {
    const double amdFlops = c->fl, amdNonzeros = c->lnz;
    c->method[0].ordering = CHOLMOD_METIS;
    FactorPtr nested(cholmod_l_analyze(a.get(), c), FactorFree{c});
    c->method[0].ordering = CHOLMOD_AMD;
    if (nested && c->fl < amdFlops) {
      l = std::move(nested);
    } else {
      c->fl = amdFlops;
      c->lnz = amdNonzeros;
    }
  }
  Analyse = Since(analyseStart);
  Nonzeros = c->lnz;
  Flops = c->fl;
  // The supernodal factor's values plus CHOLMOD's workspace, about one more factor column
  // block; the matrix itself is already allocated.
  const double factorBytes =
      l->is_super ? 8.0 * static_cast<double>(l->xsize) + 8.0 * static_cast<double>(l->ssize)
                  : 16.0 * c->lnz;
  const double workspace = 8.0 * static_cast<double>(c->maxrank + 8) * static_cast<double>(n) +
                           8.0 * static_cast<double>(l->maxcsize);
  const double need = factorBytes + workspace;
  Required = need >= static_cast<double>(std::numeric_limits<std::uint64_t>::max())
                 ? std::numeric_limits<std::uint64_t>::max()
                 : static_cast<std::uint64_t>(need);
  if (Required > availableBytes) {
    return TooLarge;
  }
  const auto factoriseStart = std::chrono::steady_clock::now();
  cholmod_l_factorize(a.get(), l.get(), c);
  Factorise = Since(factoriseStart);
  if (c->status == CHOLMOD_NOT_POSDEF) {
    const std::int64_t minor = static_cast<std::int64_t>(l->minor);
    const auto* perm = static_cast<const std::int64_t*>(l->Perm);
    Bad = perm && minor < n ? perm[minor] : minor;
    return NotPositiveDefinite;
  }
  if (c->status == CHOLMOD_OUT_OF_MEMORY) {
    return OutOfMemory;
  }
  if (c->status < CHOLMOD_OK) {
    return Failed;
  }
  // A pivot that rounding left barely positive (duplicated centres) makes a factor whose
  // solutions are noise: refuse it like a negative one, naming the column.
  if (l->is_super) {
    const auto* super = static_cast<const std::int64_t*>(l->super);
    const auto* pi = static_cast<const std::int64_t*>(l->pi);
    const auto* px = static_cast<const std::int64_t*>(l->px);
    const auto* x = static_cast<const double*>(l->x);
    const auto* perm = static_cast<const std::int64_t*>(l->Perm);
    double largest = 0.0, smallest = HUGE_VAL;
    std::int64_t where = -1;
    for (std::int64_t s = 0; s < static_cast<std::int64_t>(l->nsuper); ++s) {
      const std::int64_t rows = pi[s + 1] - pi[s];
      for (std::int64_t k = super[s]; k < super[s + 1]; ++k) {
        const std::int64_t local = k - super[s];
        const double d = x[px[s] + local * rows + local];
        largest = std::max(largest, d);
        if (d < smallest) {
          smallest = d;
          where = perm ? perm[k] : k;
        }
      }
    }
    if (where >= 0 && !(smallest > PivotRatioLimit * largest)) {
      Bad = where;
      return NotPositiveDefinite;
    }
  }
  S->L = std::move(l);
  return Factored;
}

bool SparseCholesky::Solve(double* b, int columns) {
  cholmod_common* c = &S->Session.C;
  if (!S->L || columns <= 0) {
    return false;
  }
  const std::int64_t n = S->N;
  DensePtr rhs(cholmod_l_allocate_dense(n, columns, n, CHOLMOD_REAL, c), DenseFree{c});
  if (!rhs) {
    return false;
  }
  std::memcpy(rhs->x, b, sizeof(double) * n * columns);
  DensePtr x(cholmod_l_solve(CHOLMOD_A, S->L.get(), rhs.get(), c), DenseFree{c});
  if (!x) {
    return false;
  }
  std::memcpy(b, x->x, sizeof(double) * n * columns);
  return true;
}

std::uint64_t AvailableMemoryBytes() {
  std::uint64_t available = 0;
  std::ifstream meminfo("/proc/meminfo");
  for (std::string line; std::getline(meminfo, line);) {
    if (line.rfind("MemAvailable:", 0) == 0) {
      std::istringstream in(line.substr(13));
      std::uint64_t kib = 0;
      in >> kib;
      available = kib * 1024;
      break;
    }
  }
  if (available == 0) {
    available = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  }
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    const std::uint64_t mapped = MappedBytes();
    const std::uint64_t cap = limit.rlim_cur > mapped ? limit.rlim_cur - mapped : 0;
    available = std::min(available, cap);
  }
  return available;
}

} // namespace selvane
