// Helpers shared by the spline tests: random envelope matrices with a dense reference,
// temporary files, and random correspondence sets.
#pragma once

#include "Locales.h"
#include "TempFolder.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace spline_test {

// A symmetric matrix given densely and in envelope form (the solver's storage).
struct EnvelopeMatrix {
  int n = 0;
  std::vector<double> dense; // n * n, row major
  std::vector<float> diag;
  std::vector<std::int64_t> xenv;
  std::vector<float> env;
};

// Random SPD matrix: each row i gets a random bandwidth b(i) <= i (maxBand caps it, -1 = full
// envelope), entries inside the envelope random (some exact zeros), diagonal dominant.
inline EnvelopeMatrix RandomEnvelopeSpd(int n, int maxBand, std::mt19937& rng,
                                        double zeroShare = 0.2) {
  EnvelopeMatrix m;
  m.n = n;
  m.dense.assign(static_cast<size_t>(n) * n, 0.0);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  std::vector<int> band(n);
  for (int i = 0; i < n; ++i) {
    const int cap = maxBand < 0 ? i : std::min(i, maxBand);
    band[i] = cap == 0 ? 0 : std::uniform_int_distribution<int>(0, cap)(rng);
    for (int j = i - band[i]; j < i; ++j) {
      // The first column of the envelope is non-zero (as the assembly makes it).
      const double v = (j > i - band[i] && share(rng) < zeroShare) ? 0.0 : u(rng);
      const float f = static_cast<float>(v);
      m.dense[static_cast<size_t>(i) * n + j] = f;
      m.dense[static_cast<size_t>(j) * n + i] = f;
    }
  }
  for (int i = 0; i < n; ++i) {
    double s = 0.0;
    for (int j = 0; j < n; ++j) {
      if (j != i) {
        s += std::fabs(m.dense[static_cast<size_t>(i) * n + j]);
      }
    }
    m.dense[static_cast<size_t>(i) * n + i] = static_cast<float>(s + 0.5 + share(rng));
  }
  m.xenv.push_back(1);
  for (int i = 0; i < n; ++i) {
    m.diag.push_back(static_cast<float>(m.dense[static_cast<size_t>(i) * n + i]));
    for (int j = i - band[i]; j < i; ++j) {
      m.env.push_back(static_cast<float>(m.dense[static_cast<size_t>(i) * n + j]));
    }
    m.xenv.push_back(static_cast<std::int64_t>(m.env.size()) + 1);
  }
  return m;
}

// Dense Cholesky in double: returns false when a pivot is not positive.
inline bool DenseCholesky(int n, std::vector<double> a, std::vector<double>& l) {
  l.assign(static_cast<size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) {
      double s = a[static_cast<size_t>(i) * n + j];
      for (int k = 0; k < j; ++k) {
        s -= l[static_cast<size_t>(i) * n + k] * l[static_cast<size_t>(j) * n + k];
      }
      if (i == j) {
        if (!(s > 0)) {
          return false;
        }
        l[static_cast<size_t>(i) * n + i] = std::sqrt(s);
      } else {
        l[static_cast<size_t>(i) * n + j] = s / l[static_cast<size_t>(j) * n + j];
      }
    }
  }
  return true;
}

// Dense solve of A x = b by Gaussian elimination with partial pivoting, in double.
inline std::vector<double> DenseSolve(int n, std::vector<double> a, std::vector<double> b) {
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int r = c + 1; r < n; ++r) {
      if (std::fabs(a[r * n + c]) > std::fabs(a[p * n + c])) {
        p = r;
      }
    }
    for (int k = 0; k < n; ++k) {
      std::swap(a[c * n + k], a[p * n + k]);
    }
    std::swap(b[c], b[p]);
    for (int r = c + 1; r < n; ++r) {
      const double f = a[r * n + c] / a[c * n + c];
      for (int k = c; k < n; ++k) {
        a[r * n + k] -= f * a[c * n + k];
      }
      b[r] -= f * b[c];
    }
  }
  std::vector<double> x(n);
  for (int r = n - 1; r >= 0; --r) {
    double s = b[r];
    for (int k = r + 1; k < n; ++k) {
      s -= a[r * n + k] * x[k];
    }
    x[r] = s / a[r * n + r];
  }
  return x;
}

// A folder of this process's own, removed when it ends: a test program and its locale run may
// run at the same time.
inline const std::string& ScratchFolder() {
  static const selvane::TempDir folder;
  return folder.Path();
}

inline std::string TempPath(const std::string& name) {
  return ScratchFolder() + "/" + name;
}

inline std::string WriteFile(const std::string& name, const std::string& content) {
  const std::string path = TempPath(name);
  std::ofstream out(path, std::ios::binary);
  out << content;
  return path;
}

struct Pair {
  double s[3], t[3];
};

// Writes pairs with "%f" (six decimals), as the export does.
inline std::string WritePairs(const std::string& name, const std::vector<Pair>& pairs) {
  std::string text = "# Points Transformations\n";
  const selvane::test::ClassicNumbers classic; // the file's numbers have a decimal point
  char buf[256];
  for (const Pair& p : pairs) {
    std::snprintf(buf, sizeof buf, "%f %f %f %f %f %f\n", p.s[0], p.s[1], p.s[2], p.t[0], p.t[1],
                  p.t[2]);
    text += buf;
  }
  return WriteFile(name, text);
}

// Random sources in a box (or, with flat = true, in the plane z = 0.25), random targets.
inline std::vector<Pair> RandomPairs(int n, std::mt19937& rng, bool flat = false,
                                     double move = 0.1) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::uniform_real_distribution<double> d(-move, move);
  std::vector<Pair> pairs(n);
  for (Pair& p : pairs) {
    for (int a = 0; a < 3; ++a) {
      p.s[a] = u(rng);
      p.t[a] = p.s[a] + d(rng);
    }
    if (flat) {
      p.s[2] = 0.25;
    }
  }
  return pairs;
}

} // namespace spline_test
