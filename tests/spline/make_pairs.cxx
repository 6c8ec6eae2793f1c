// make_pairs OUT.ptt N: writes a point-transformation file like the export's (header, the
// eight bounding-box pins, then N pairs with sources on a sphere of radius 10 centred at
// (100, -50, 20), moved by a smooth field). Used by the selvane-fit tests.
#include <cmath>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_pairs OUT.ptt N\n");
    return 2;
  }
  const int n = std::atoi(argv[2]);
  FILE* f = std::fopen(argv[1], "w");
  if (!f || n < 1) {
    return 1;
  }
  const double c[3] = {100.0, -50.0, 20.0}, r = 10.0;
  std::fprintf(f, "# Points Transformations\n# Model Bounds\n");
  for (int k = 0; k < 8; ++k) {
    const double x = c[0] + (k & 1 ? r : -r), y = c[1] + (k & 2 ? r : -r),
                 z = c[2] + (k & 4 ? r : -r);
    std::fprintf(f, "%f %f %f %f %f %f\n", x, y, z, x, y, z);
  }
  std::fprintf(f, "# End model Bounds\n");
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  for (int i = 0; i < n; ++i) {
    const double z = 1.0 - 2.0 * (i + 0.5) / n, s = std::sqrt(1.0 - z * z);
    const double p[3] = {c[0] + r * s * std::cos(golden * i), c[1] + r * s * std::sin(golden * i),
                         c[2] + r * z};
    std::fprintf(f, "%f %f %f %f %f %f\n", p[0], p[1], p[2], p[0] + 0.3 * std::sin(p[1]),
                 p[1] + 0.2 * std::cos(p[2]), p[2] - 0.1);
  }
  std::fclose(f);
  return 0;
}
