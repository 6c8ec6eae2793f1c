#include "RadialNeighbours.h"

#include <algorithm>
#include <array>
#include <sstream>

namespace selvane {

namespace {
using Cell = std::array<std::int64_t, 3>;

struct Entry {
  Cell Key;
  std::int64_t Position;
};

bool KeyLess(const Entry& e, const Cell& k) {
  return e.Key < k;
}
bool LessKey(const Cell& k, const Entry& e) {
  return k < e.Key;
}
} // namespace

bool FindRadialNeighbours(const std::vector<double>& coords, double radius, std::int64_t window,
                          RadialNeighbours& out, std::string& reason) {
  const std::int64_t n = static_cast<std::int64_t>(coords.size() / 3);
  out = RadialNeighbours();
  out.Start.assign(n + 1, 0);
  if (n == 0) {
    return true;
  }
  double lo[3] = {coords[0], coords[1], coords[2]};
  double hi[3] = {coords[0], coords[1], coords[2]};
  for (std::int64_t k = 0; k < n; ++k) {
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], coords[3 * k + a]);
      hi[a] = std::max(hi[a], coords[3 * k + a]);
    }
  }
  // Cell indices must stay exact in a double and far from the int64 limits.
  constexpr double MaxCells = 4503599627370496.0; // 2^52
  for (int a = 0; a < 3; ++a) {
    if (!((hi[a] - lo[a]) / radius < MaxCells)) {
      std::ostringstream msg;
      msg << "the centres span " << (hi[a] - lo[a]) << " along axis " << a
          << ", too many radii (R = " << radius << ") to index";
      reason = msg.str();
      return false;
    }
  }
  std::vector<Entry> cells(n);
  for (std::int64_t k = 0; k < n; ++k) {
    for (int a = 0; a < 3; ++a) {
      cells[k].Key[a] = static_cast<std::int64_t>(std::floor((coords[3 * k + a] - lo[a]) / radius));
    }
    cells[k].Position = k;
  }
  std::sort(cells.begin(), cells.end(), [](const Entry& a, const Entry& b) {
    return a.Key < b.Key || (a.Key == b.Key && a.Position < b.Position);
  });

  const double radius2 = radius * radius;
  std::vector<std::int64_t> found;
  out.Index.reserve(static_cast<size_t>(n) * 16);
  for (std::int64_t i = 0; i < n; ++i) {
    const double* p = coords.data() + 3 * i;
    Cell c;
    for (int a = 0; a < 3; ++a) {
      c[a] = static_cast<std::int64_t>(std::floor((p[a] - lo[a]) / radius));
    }
    found.clear();
    for (std::int64_t dx = -1; dx <= 1; ++dx) {
      for (std::int64_t dy = -1; dy <= 1; ++dy) {
        const Cell from = {c[0] + dx, c[1] + dy, c[2] - 1};
        const Cell to = {c[0] + dx, c[1] + dy, c[2] + 1};
        auto first = std::lower_bound(cells.begin(), cells.end(), from, KeyLess);
        auto last = std::upper_bound(first, cells.end(), to, LessKey);
        for (auto e = first; e != last; ++e) {
          const std::int64_t j = e->Position;
          if (j < i && i - j <= window && SquaredDistance(p, coords.data() + 3 * j) < radius2) {
            found.push_back(j);
          }
        }
      }
    }
    std::sort(found.begin(), found.end());
    out.Index.insert(out.Index.end(), found.begin(), found.end());
    out.Start[i + 1] = static_cast<std::int64_t>(out.Index.size());
    const std::int64_t band = found.empty() ? 0 : i - found.front();
    out.EnvelopeEntries += band;
    out.EnvelopeWork += static_cast<double>(band) * static_cast<double>(band);
  }
  return true;
}

} // namespace selvane
