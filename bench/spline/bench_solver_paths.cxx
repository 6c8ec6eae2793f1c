// bench_solver_paths --set surface|sphere --n N [--modes envelope,sparse,auto,cholmod,cholmod-amd]
//                    [--dir D]
// bench_solver_paths --set surface|sphere --n N --write FILE.ptt
// Times, in one process, the spline solve of one correspondence set by each requested path of
// vtkMatrixSolver (neighbours, assembly, factor, solves and residual check; the file read
// apart) and by a bare CHOLMOD driver on the same matrix (analyze + factorize + 7 solves,
// CHOLMOD's defaults; cholmod-amd: with AMD alone, as our path orders), and prints the ratios
// against the bare driver with the defaults. --write only writes the
// set (for an end-to-end run of selvane-fit) and prints its radius.
#include "RadialNeighbours.h"
#include "SurfaceSamples.h"
#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"

#include <vtkNew.h>

#include <cholmod.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using namespace selvane;

namespace {
using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

double PeakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// The bare driver: the upper triangle of the same matrix, in the reader's order.
double RunCholmod(vtkDatReader* reader, double radius, bool amdOnly, double& factorNonzeros) {
  const int n = static_cast<int>(reader->GetPointArray()->GetNumberOfPoints());
  std::vector<double> x(3 * static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    double p[3];
    reader->GetPointArray()->GetPoint(reader->GetList()->GetValue(k), p);
    for (int a = 0; a < 3; ++a) {
      x[3 * static_cast<size_t>(k) + a] = static_cast<float>(p[a]);
    }
  }
  selvane::RadialNeighbours nb;
  selvane::FindRadialNeighbours(x, radius, reader->GetMax(), nb);
  cholmod_common c;
  cholmod_l_start(&c);
  if (amdOnly) {
    c.nmethods = 1;
    c.method[0].ordering = CHOLMOD_AMD;
  }
  const std::int64_t nnz = nb.Couplings() + n;
  cholmod_sparse* a = cholmod_l_allocate_sparse(n, n, nnz, 1, 1, 1, CHOLMOD_REAL, &c);
  auto* ap = static_cast<std::int64_t*>(a->p);
  auto* ai = static_cast<std::int64_t*>(a->i);
  auto* ax = static_cast<double*>(a->x);
  std::int64_t at = 0;
  for (int i = 0; i < n; ++i) {
    ap[i] = at;
    for (std::int64_t k = nb.Start[i]; k < nb.Start[i + 1]; ++k) {
      const std::int64_t j = nb.Index[k];
      ai[at] = j;
      ax[at++] = selvane::RadialWeight(selvane::SquaredDistance(&x[3 * i], &x[3 * j]), radius);
    }
    ai[at] = i;
    ax[at++] = 1.0;
  }
  ap[n] = at;
  cholmod_dense* b = cholmod_l_ones(n, 7, CHOLMOD_REAL, &c);
  const auto t0 = Clock::now();
  cholmod_factor* l = cholmod_l_analyze(a, &c);
  cholmod_l_factorize(a, l, &c);
  cholmod_dense* sol = cholmod_l_solve(CHOLMOD_A, l, b, &c);
  const double seconds = Since(t0);
  factorNonzeros = c.lnz;
  if (c.status != CHOLMOD_OK) {
    std::fprintf(stderr, "bench_solver_paths: CHOLMOD status %d\n", c.status);
  }
  cholmod_l_free_dense(&sol, &c);
  cholmod_l_free_dense(&b, &c);
  cholmod_l_free_factor(&l, &c);
  cholmod_l_free_sparse(&a, &c);
  cholmod_l_finish(&c);
  return seconds;
}
} // namespace

int main(int argc, char** argv) {
  std::string set = "surface", modes = "envelope,sparse,cholmod", dir = "/tmp", write;
  int n = 10000;
  for (int k = 1; k + 1 < argc; k += 2) {
    const std::string a = argv[k];
    if (a == "--set") {
      set = argv[k + 1];
    } else if (a == "--n") {
      n = std::atoi(argv[k + 1]);
    } else if (a == "--modes") {
      modes = argv[k + 1];
    } else if (a == "--dir") {
      dir = argv[k + 1];
    } else if (a == "--write") {
      write = argv[k + 1];
    } else {
      std::fprintf(stderr, "usage: bench_solver_paths --set surface|sphere --n N "
                           "[--modes envelope,sparse,auto,cholmod] [--dir D] [--write FILE]\n");
      return 2;
    }
  }
  if ((set != "surface" && set != "sphere") || n < 10) {
    std::fprintf(stderr, "bench_solver_paths: --set surface|sphere, --n at least 10\n");
    return 2;
  }
  const selvane::bench::SampledPairs pairs = selvane::bench::MakeSampledPairs(set, n, 4242u + n);
  const std::string path = write.empty() ? dir + "/bench_solver_paths_" + set + ".ptt" : write;
  if (!selvane::bench::WriteSampledPairs(pairs, path)) {
    std::fprintf(stderr, "bench_solver_paths: cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("set %s, n %d, R %.6g, mean neighbours %.1f\n", set.c_str(), n, pairs.Radius,
              pairs.MeanNeighbours);
  if (!write.empty()) {
    return 0;
  }
  const auto readStart = Clock::now();
  vtkNew<vtkDatReader> reader;
  reader->SetFileName(path.c_str());
  reader->SetRadius(static_cast<float>(pairs.Radius));
  if (reader->ReadDatFile() != 0) {
    std::fprintf(stderr, "bench_solver_paths: cannot read %s\n", path.c_str());
    return 1;
  }
  std::printf("read + order: %.3f s, Max %d\n", Since(readStart), reader->GetMax());
  std::remove(path.c_str());

  struct Result {
    std::string mode;
    double seconds, peak;
    std::string note;
  };
  std::vector<Result> results;
  double bare = -1.0;
  std::istringstream list(modes);
  for (std::string mode; std::getline(list, mode, ',');) {
    if (mode == "cholmod" || mode == "cholmod-amd") {
      double lnz = 0.0;
      const double seconds =
          RunCholmod(reader, static_cast<float>(pairs.Radius), mode == "cholmod-amd", lnz);
      if (mode == "cholmod") {
        bare = seconds;
      }
      results.push_back({mode, seconds, PeakMiB(), "factor nnz " + std::to_string(lnz)});
      continue;
    }
    vtkNew<vtkMatrixSolver> solver;
    solver->SetRadius(static_cast<float>(pairs.Radius));
    solver->SetInputsFromReader(reader);
    solver->SetPath(mode == "envelope" ? vtkMatrixSolver::EnvelopePath
                    : mode == "sparse" ? vtkMatrixSolver::SparsePath
                                       : vtkMatrixSolver::AutomaticPath);
    std::cout << "-- " << mode << std::endl;
    const auto t0 = Clock::now();
    const int ok = solver->Solve();
    const double seconds = Since(t0);
    std::ostringstream note;
    if (ok) {
      note << "path "
           << (solver->GetPathUsed() == vtkMatrixSolver::SparsePath ? "sparse" : "envelope")
           << ", residual " << solver->GetSourceResidual() << ", envelope entries "
           << solver->GetEnvelopeSize();
    } else {
      note << "refused: " << solver->GetStatusMessage();
    }
    results.push_back({mode, seconds, PeakMiB(), note.str()});
  }
  std::printf("\n%-9s %10s %9s %12s  %s\n", "mode", "seconds", "/cholmod", "peak MiB", "note");
  for (const Result& r : results) {
    char ratio[32] = "-";
    if (bare > 0) {
      std::snprintf(ratio, sizeof ratio, "%.2f", r.seconds / bare);
    }
    std::printf("%-9s %10.3f %9s %12.0f  %s\n", r.mode.c_str(), r.seconds, ratio, r.peak,
                r.note.c_str());
  }
  return 0;
}
