#include "CorrespondenceLine.h"

#include <clocale>
#include <cstdio>
#include <locale.h>

namespace {

// The numbers of a correspondence file always have a decimal point, whatever the user's
// locale; they are read in the "C" locale, made once and never changed.
locale_t NumbersLocale() {
  static const locale_t numbers = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return numbers;
}

} // namespace

bool ParseCorrespondenceLine(const char* line, float values[6]) {
  const locale_t previous = uselocale(NumbersLocale());
  const int read = std::sscanf(line, "%f %f %f %f %f %f", &values[0], &values[1], &values[2],
                               &values[3], &values[4], &values[5]);
  uselocale(previous);
  return read == 6;
}
