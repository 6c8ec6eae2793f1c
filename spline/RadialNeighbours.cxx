#include "RadialNeighbours.h"

#include <algorithm>

namespace selvane {

namespace {
// A uniform grid over the centres, cells of edge at least R so that every neighbour of a
// centre lies in the 27 cells around its own; the edge grows when the centres are spread so
// thinly that the grid would have more than about two cells per centre. Centres are stored
// cell by cell in ascending position.
struct Grid {
  double Lo[3] = {0, 0, 0};
  double Edge = 1.0;
  std::int64_t Dims[3] = {1, 1, 1};
  std::vector<std::int64_t> CellStart; // cells + 1 offsets into Members
  std::vector<std::int64_t> Members;

  std::int64_t Coordinate(double v, int a) const {
    const double t = (v - Lo[a]) / Edge;
    if (!(t > 0.0)) {
      return 0;
    }
    return t >= static_cast<double>(Dims[a] - 1) ? Dims[a] - 1 : static_cast<std::int64_t>(t);
  }
};

Grid MakeGrid(const std::vector<double>& coords, double radius) {
  Grid g;
  const std::int64_t n = static_cast<std::int64_t>(coords.size() / 3);
  double hi[3] = {coords[0], coords[1], coords[2]};
  for (int a = 0; a < 3; ++a) {
    g.Lo[a] = coords[a];
  }
  for (std::int64_t k = 0; k < n; ++k) {
    for (int a = 0; a < 3; ++a) {
      g.Lo[a] = std::min(g.Lo[a], coords[3 * k + a]);
      hi[a] = std::max(hi[a], coords[3 * k + a]);
    }
  }
  const double limit = 2.0 * static_cast<double>(n) + 1000.0;
  g.Edge = radius;
  for (;;) {
    double cells = 1.0;
    for (int a = 0; a < 3; ++a) {
      cells *= std::floor((hi[a] - g.Lo[a]) / g.Edge) + 1.0;
    }
    if (cells <= limit) {
      break;
    }
    g.Edge *= 1.5;
  }
  for (int a = 0; a < 3; ++a) {
    g.Dims[a] = static_cast<std::int64_t>(std::floor((hi[a] - g.Lo[a]) / g.Edge)) + 1;
  }
  const std::int64_t cells = g.Dims[0] * g.Dims[1] * g.Dims[2];
  std::vector<std::int64_t> cellOf(n);
  g.CellStart.assign(cells + 1, 0);
  for (std::int64_t k = 0; k < n; ++k) {
    const double* p = &coords[3 * k];
    cellOf[k] = g.Coordinate(p[0], 0) +
                g.Dims[0] * (g.Coordinate(p[1], 1) + g.Dims[1] * g.Coordinate(p[2], 2));
    ++g.CellStart[cellOf[k] + 1];
  }
  for (std::int64_t c = 0; c < cells; ++c) {
    g.CellStart[c + 1] += g.CellStart[c];
  }
  g.Members.resize(n);
  std::vector<std::int64_t> fill(g.CellStart.begin(), g.CellStart.end() - 1);
  for (std::int64_t k = 0; k < n; ++k) {
    g.Members[fill[cellOf[k]]++] = k;
  }
  return g;
}
} // namespace

void FindRadialNeighbours(const std::vector<double>& coords, double radius, std::int64_t window,
                          RadialNeighbours& out) {
  const std::int64_t n = static_cast<std::int64_t>(coords.size() / 3);
  out = RadialNeighbours();
  out.Start.assign(n + 1, 0);
  if (n == 0) {
    return;
  }
  const Grid grid = MakeGrid(coords, radius);
  const double radius2 = radius * radius;
  std::vector<std::int64_t> found;
  out.Index.reserve(static_cast<size_t>(n) * 16);
  for (std::int64_t i = 0; i < n; ++i) {
    const double* p = coords.data() + 3 * i;
    std::int64_t c[3];
    for (int a = 0; a < 3; ++a) {
      c[a] = grid.Coordinate(p[a], a);
    }
    found.clear();
    for (std::int64_t z = std::max<std::int64_t>(c[2] - 1, 0);
         z <= std::min(c[2] + 1, grid.Dims[2] - 1); ++z) {
      for (std::int64_t y = std::max<std::int64_t>(c[1] - 1, 0);
           y <= std::min(c[1] + 1, grid.Dims[1] - 1); ++y) {
        for (std::int64_t x = std::max<std::int64_t>(c[0] - 1, 0);
             x <= std::min(c[0] + 1, grid.Dims[0] - 1); ++x) {
          const std::int64_t cell = x + grid.Dims[0] * (y + grid.Dims[1] * z);
          for (std::int64_t m = grid.CellStart[cell]; m < grid.CellStart[cell + 1]; ++m) {
            const std::int64_t j = grid.Members[m];
            if (j >= i) {
              break; // members ascend: the rest come later in the order
            }
            if (i - j <= window && SquaredDistance(p, coords.data() + 3 * j) < radius2) {
              found.push_back(j);
            }
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
}

} // namespace selvane
