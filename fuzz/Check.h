// Invariant checks inside fuzz targets: a broken invariant aborts, which libFuzzer records as a
// crash with its input, and which fails the regression replay.
#pragma once

#include <cstdio>
#include <cstdlib>

#define SELVANE_FUZZ_CHECK(condition)                                                              \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition);       \
      std::abort();                                                                                \
    }                                                                                              \
  } while (false)
