// bench_spline [--max-n N] [--tps-max N] [--dir DIR]
// Generates correspondence sets with centres on a closed surface (a sphere, R chosen for about
// 30 neighbours per centre), and times in one process: our read + order + assemble + factor +
// 7 solves; Eigen's SimplicialLLT (AMD ordering) and CHOLMOD's default factorisation of the
// same matrix with 7 right sides; vtkThinPlateSplineTransform fitted to the same pairs
// (n = 300 and 1,000 only). Prints a ratio table and the envelope size against the nonzeros
// of the other factors.
#include "SplineFit.h"
#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"

#include <vtkNew.h>
#include <vtkThinPlateSplineTransform.h>

#ifdef SELVANE_HAVE_EIGEN
#include <Eigen/OrderingMethods>
#include <Eigen/SparseCholesky>
#endif
#ifdef SELVANE_HAVE_CHOLMOD
#include <cholmod.h>
#endif

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace selvane;

namespace {
using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

struct Pairs {
  std::vector<double> source, target; // 3 per pair
};

// Fibonacci points on the unit sphere, jittered; targets moved by a smooth field.
Pairs MakePairs(int n, unsigned seed) {
  Pairs p;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  const double jitter = 0.2 / std::sqrt(static_cast<double>(n));
  for (int i = 0; i < n; ++i) {
    const double z = 1.0 - 2.0 * (i + 0.5) / n;
    const double r = std::sqrt(1.0 - z * z);
    double x = r * std::cos(golden * i) + jitter * u(rng);
    double y = r * std::sin(golden * i) + jitter * u(rng);
    const double zz = z + jitter * u(rng);
    p.source.insert(p.source.end(), {x, y, zz});
    p.target.insert(p.target.end(),
                    {x + 0.05 * std::sin(3 * y), y + 0.05 * std::cos(2 * zz), zz + 0.03 * x * y});
  }
  return p;
}

double RadiusFor(int n) {
  return std::sqrt(4.0 * 30.0 / n);
} // pi R^2 n / (4 pi) = 30

std::string WritePairs(const Pairs& p, const std::string& dir, int n) {
  const std::string path = dir + "/bench_spline_" + std::to_string(n) + ".ptt";
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) {
    std::fprintf(stderr, "bench_spline: cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fprintf(f, "# Points Transformations\n");
  for (size_t k = 0; k < p.source.size(); k += 3) {
    std::fprintf(f, "%f %f %f %f %f %f\n", p.source[k], p.source[k + 1], p.source[k + 2],
                 p.target[k], p.target[k + 1], p.target[k + 2]);
  }
  std::fclose(f);
  return path;
}

struct Row {
  int n = 0;
  double radius = 0;
  int max = 0;
  double read = 0, assemble = 0, solve = 0, ours = 0, residual = 0;
  long long envelope = 0;
  double eigen = -1, cholmod = -1, tps = -1;
  double eigenNnz = -1, cholmodNnz = -1;
  double eigenErr = -1, cholmodErr = -1;
};

struct Triplet {
  int r, c;
  double v;
};

// The radial matrix in the reader's order, every pair closer than R (lower triangle).
std::vector<Triplet> Matrix(vtkDatReader* reader, double radius) {
  std::vector<Triplet> t;
  vtkPoints* pts = reader->GetPointArray();
  vtkIntArray* unlist = reader->GetUnList();
  vtkIntArray* list = reader->GetList();
  const int n = static_cast<int>(pts->GetNumberOfPoints());
  auto ids = vtkSmartPointer<vtkIdList>::New();
  for (int i = 0; i < n; ++i) {
    double p[3];
    pts->GetPoint(list->GetValue(i), p);
    t.push_back({i, i, 1.0});
    ids->Reset();
    reader->GetTree()->FindPointsWithinRadius(radius, p, ids);
    for (vtkIdType k = 0; k < ids->GetNumberOfIds(); ++k) {
      const int j = unlist->GetValue(ids->GetId(k));
      if (j >= i) {
        continue;
      }
      double q[3];
      pts->GetPoint(ids->GetId(k), q);
      double d2 = 0;
      for (int a = 0; a < 3; ++a) {
        const double d = static_cast<double>(static_cast<float>(p[a])) - static_cast<float>(q[a]);
        d2 += d * d;
      }
      if (d2 < radius * radius) {
        const double w = 1.0 - std::sqrt(d2) / radius;
        t.push_back({i, j, w * w});
      }
    }
  }
  return t;
}

// Seven right sides: the four polynomial columns and the three differences.
std::vector<double> RightSides(vtkDatReader* reader) {
  const int n = static_cast<int>(reader->GetPointArray()->GetNumberOfPoints());
  std::vector<double> b(7 * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    double p[3];
    reader->GetPointArray()->GetPoint(reader->GetList()->GetValue(i), p);
    b[i] = 1.0;
    b[n + i] = p[0];
    b[2 * n + i] = p[1];
    b[3 * n + i] = p[2];
    b[4 * n + i] = reader->GetBX()->GetValue(i);
    b[5 * n + i] = reader->GetBY()->GetValue(i);
    b[6 * n + i] = reader->GetBZ()->GetValue(i);
  }
  return b;
}

double Residual(const std::vector<Triplet>& a, const std::vector<double>& x,
                const std::vector<double>& b, int n) {
  double worst = 0;
  for (int col = 0; col < 7; ++col) {
    std::vector<double> r(b.begin() + col * n, b.begin() + (col + 1) * n);
    for (const Triplet& t : a) {
      r[t.r] -= t.v * x[col * n + t.c];
      if (t.r != t.c) {
        r[t.c] -= t.v * x[col * n + t.r];
      }
    }
    for (double v : r) {
      worst = std::max(worst, std::fabs(v));
    }
  }
  return worst;
}

void RunOurs(Row& row, const std::string& path, vtkSmartPointer<vtkDatReader>& keep) {
  const auto t0 = Clock::now();
  auto reader = vtkSmartPointer<vtkDatReader>::New();
  reader->SetFileName(path.c_str());
  reader->SetRadius(static_cast<float>(row.radius));
  if (reader->ReadDatFile() != 0) {
    std::fprintf(stderr, "bench_spline: cannot read %s\n", path.c_str());
    std::exit(1);
  }
  row.read = Since(t0);
  vtkNew<vtkMatrixSolver> solver;
  solver->SetRadius(static_cast<float>(row.radius));
  solver->SetInputsFromReader(reader);
  if (solver->Solve() != 1) {
    std::fprintf(stderr, "bench_spline: fit refused: %s\n", solver->GetStatusMessage().c_str());
    std::exit(1);
  }
  row.ours = Since(t0);
  row.assemble = solver->GetConstructionTime();
  row.solve = solver->GetSolvingTime();
  row.envelope = solver->GetEnvelopeSize() + row.n;
  row.max = reader->GetMax();
  const SplineFit fit = MakeSplineFit(reader, solver);
  row.residual = FitResidual(fit, reader->GetPointArrayN());
  keep = reader;
}

#ifdef SELVANE_HAVE_EIGEN
void RunEigen(Row& row, const std::vector<Triplet>& a, const std::vector<double>& b) {
  const int n = row.n;
  std::vector<Eigen::Triplet<double>> trips;
  trips.reserve(a.size());
  for (const Triplet& t : a) {
    trips.emplace_back(t.r, t.c, t.v);
  }
  Eigen::SparseMatrix<double> m(n, n);
  m.setFromTriplets(trips.begin(), trips.end());
  const auto t0 = Clock::now();
  Eigen::SimplicialLLT<Eigen::SparseMatrix<double>, Eigen::Lower, Eigen::AMDOrdering<int>> llt;
  llt.compute(m);
  if (llt.info() != Eigen::Success) {
    std::fprintf(stderr, "bench_spline: Eigen factorisation failed at n = %d\n", n);
    return;
  }
  std::vector<double> x(b.size());
  for (int col = 0; col < 7; ++col) {
    Eigen::Map<const Eigen::VectorXd> rhs(b.data() + col * n, n);
    Eigen::Map<Eigen::VectorXd>(x.data() + col * n, n) = llt.solve(rhs);
  }
  row.eigen = Since(t0);
  row.eigenNnz = static_cast<double>(llt.matrixL().nestedExpression().nonZeros());
  row.eigenErr = Residual(a, x, b, n);
}
#endif

#ifdef SELVANE_HAVE_CHOLMOD
void RunCholmod(Row& row, const std::vector<Triplet>& a, const std::vector<double>& b) {
  const int n = row.n;
  cholmod_common c;
  cholmod_start(&c);
  cholmod_triplet* t = cholmod_allocate_triplet(n, n, a.size(), -1, CHOLMOD_REAL, &c);
  int* ti = static_cast<int*>(t->i);
  int* tj = static_cast<int*>(t->j);
  double* tx = static_cast<double*>(t->x);
  for (size_t k = 0; k < a.size(); ++k) {
    ti[k] = a[k].r;
    tj[k] = a[k].c;
    tx[k] = a[k].v;
  }
  t->nnz = a.size();
  cholmod_sparse* m = cholmod_triplet_to_sparse(t, a.size(), &c);
  cholmod_dense* rhs = cholmod_allocate_dense(n, 7, n, CHOLMOD_REAL, &c);
  std::memcpy(rhs->x, b.data(), b.size() * sizeof(double));
  const auto t0 = Clock::now();
  cholmod_factor* l = cholmod_analyze(m, &c);
  cholmod_factorize(m, l, &c);
  cholmod_dense* x = cholmod_solve(CHOLMOD_A, l, rhs, &c);
  row.cholmod = Since(t0);
  row.cholmodNnz = c.lnz;
  std::vector<double> xs(static_cast<double*>(x->x), static_cast<double*>(x->x) + b.size());
  row.cholmodErr = c.status == CHOLMOD_OK ? Residual(a, xs, b, n) : -1;
  cholmod_free_dense(&x, &c);
  cholmod_free_dense(&rhs, &c);
  cholmod_free_factor(&l, &c);
  cholmod_free_sparse(&m, &c);
  cholmod_free_triplet(&t, &c);
  cholmod_finish(&c);
}
#endif

void RunThinPlate(Row& row, const Pairs& p) {
  vtkNew<vtkPoints> s, t;
  for (size_t k = 0; k < p.source.size(); k += 3) {
    s->InsertNextPoint(p.source[k], p.source[k + 1], p.source[k + 2]);
    t->InsertNextPoint(p.target[k], p.target[k + 1], p.target[k + 2]);
  }
  const auto t0 = Clock::now();
  vtkNew<vtkThinPlateSplineTransform> tps;
  tps->SetSourceLandmarks(s);
  tps->SetTargetLandmarks(t);
  tps->SetBasisToR();
  tps->Update();
  row.tps = Since(t0);
}

std::string Fmt(double v, const char* f = "%.3f") {
  if (v < 0) {
    return "-";
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}
} // namespace

int main(int argc, char** argv) {
  int maxN = 100000;
  int tpsMax = 1000;
  std::string dir = "/tmp";
  for (int k = 1; k < argc; ++k) {
    const std::string a = argv[k];
    if (a == "--max-n" && k + 1 < argc) {
      maxN = std::atoi(argv[++k]);
    } else if (a == "--tps-max" && k + 1 < argc) {
      tpsMax = std::atoi(argv[++k]);
    } else if (a == "--dir" && k + 1 < argc) {
      dir = argv[++k];
    } else {
      std::fprintf(stderr, "usage: bench_spline [--max-n N] [--tps-max N] [--dir DIR]\n");
      return 2;
    }
  }
  std::vector<int> sizes;
  for (int n : {300, 1000, 10000, 50000, 100000}) {
    if (n <= maxN) {
      sizes.push_back(n);
    }
  }
  std::vector<Row> rows;
  for (int n : sizes) {
    Row row;
    row.n = n;
    row.radius = RadiusFor(n);
    const Pairs pairs = MakePairs(n, 12345u + n);
    const std::string path = WritePairs(pairs, dir, n);
    std::cout << "== n = " << n << ", R = " << row.radius << std::endl;
    vtkSmartPointer<vtkDatReader> reader;
    RunOurs(row, path, reader);
    const std::vector<Triplet> a = Matrix(reader, row.radius);
    const std::vector<double> b = RightSides(reader);
    std::cout << "   matrix nonzeros (lower): " << a.size()
              << ", mean neighbours: " << 2.0 * (a.size() - n) / n << std::endl;
#ifdef SELVANE_HAVE_EIGEN
    RunEigen(row, a, b);
#endif
#ifdef SELVANE_HAVE_CHOLMOD
    RunCholmod(row, a, b);
#endif
    if (n <= tpsMax && (n == 300 || n == 1000)) {
      RunThinPlate(row, pairs);
    }
    std::remove(path.c_str());
    rows.push_back(row);
  }

  std::printf("\nTimes in seconds. ours = read + order + assemble + factor + 7 solves "
              "(float envelope);\neigen = SimplicialLLT<AMD> factor + 7 solves, cholmod = "
              "analyze + factorize + 7 solves (double, matrix given);\ntps = "
              "vtkThinPlateSplineTransform fit (Update).\n\n");
  std::printf("%7s %5s %8s %8s %9s %8s %8s %8s %9s %8s %10s %10s\n", "n", "Max", "read", "assemble",
              "fact+solv", "ours", "eigen", "cholmod", "tps", "ours/chm", "ours/eigen", "tps/ours");
  for (const Row& r : rows) {
    std::printf("%7d %5d %8.3f %8.3f %9.3f %8.3f %8s %8s %9s %8s %10s %10s\n", r.n, r.max, r.read,
                r.assemble, r.solve, r.ours, Fmt(r.eigen).c_str(), Fmt(r.cholmod).c_str(),
                Fmt(r.tps).c_str(), Fmt(r.cholmod > 0 ? r.ours / r.cholmod : -1, "%.2f").c_str(),
                Fmt(r.eigen > 0 ? r.ours / r.eigen : -1, "%.2f").c_str(),
                Fmt(r.tps > 0 ? r.tps / r.ours : -1, "%.0f").c_str());
  }
  std::printf("\nFactor sizes (entries of L, diagonal included) and accuracy:\n");
  std::printf("%7s %12s %12s %12s %9s %9s %11s %11s %11s\n", "n", "envelope", "eigen nnz",
              "cholmod nnz", "env/eig", "env/chm", "fit resid", "eigen |Ax-b|", "chm |Ax-b|");
  for (const Row& r : rows) {
    std::printf("%7d %12lld %12s %12s %9s %9s %11.3g %11s %11s\n", r.n, r.envelope,
                Fmt(r.eigenNnz, "%.0f").c_str(), Fmt(r.cholmodNnz, "%.0f").c_str(),
                Fmt(r.eigenNnz > 0 ? r.envelope / r.eigenNnz : -1, "%.2f").c_str(),
                Fmt(r.cholmodNnz > 0 ? r.envelope / r.cholmodNnz : -1, "%.2f").c_str(), r.residual,
                Fmt(r.eigenErr, "%.2g").c_str(), Fmt(r.cholmodErr, "%.2g").c_str());
  }
  return 0;
}
