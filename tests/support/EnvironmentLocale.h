#pragma once

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace selvane::test {

// Puts the process into the locale its environment names (LC_ALL, LANG, ...), as the program
// is put by Qt at start-up, so that the suite can run under a locale whose decimal point is a
// comma. False, with a message, when the environment names a locale that is not installed: a
// run meant for that locale must not pass quietly in the "C" locale instead.
inline bool AdoptEnvironmentLocale() {
  if (std::setlocale(LC_ALL, ""))
    return true;
  const char* wanted = std::getenv("LC_ALL");
  std::fprintf(stderr, "The locale \"%s\" named by the environment is not installed.\n",
               wanted ? wanted : "");
  return false;
}

// While it lives, this thread formats and reads numbers as the "C" locale does, whatever the
// process locale: for expected texts computed with printf, and for the stand-in of the Qt
// fields, which always use a decimal point.
class ClassicNumbers {
public:
  ClassicNumbers() : Classic(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr))) {
    Previous = uselocale(Classic);
  }
  ~ClassicNumbers() {
    uselocale(Previous);
    freelocale(Classic);
  }
  ClassicNumbers(const ClassicNumbers&) = delete;
  ClassicNumbers& operator=(const ClassicNumbers&) = delete;

private:
  locale_t Classic;
  locale_t Previous = nullptr;
};

} // namespace selvane::test
