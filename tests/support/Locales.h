// The locales of the tests: the one the environment names (the suite runs twice, once under
// de_DE.UTF-8), the "C" numbers for expected texts, and a German locale entered on purpose to
// show that the file formats ignore the user's locale.
#ifndef SELVANE_TEST_LOCALES_H
#define SELVANE_TEST_LOCALES_H

#include "TempFolder.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>
#include <unistd.h>

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

inline bool HasCommaDecimalPoint() {
  const std::lconv* lc = std::localeconv();
  return lc && std::strcmp(lc->decimal_point, ",") == 0;
}

// While it lives, the process may be put into a locale whose decimal point is a comma
// (de_DE.UTF-8) by Enter; the previous locale comes back when it goes. When the locale is not
// installed but glibc's locale sources are (Debian's "locales" package), it is compiled once
// into a temporary folder with localedef and found through LOCPATH. Enter returns false when
// neither works (the test then skips).
class GermanLocale {
public:
  GermanLocale() : Previous(std::setlocale(LC_ALL, nullptr)) {}
  ~GermanLocale() { std::setlocale(LC_ALL, Previous.c_str()); }
  GermanLocale(const GermanLocale&) = delete;
  GermanLocale& operator=(const GermanLocale&) = delete;

  bool Enter() {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") && HasCommaDecimalPoint())
      return true;
    static const bool compiled = [] {
      if (::access("/usr/share/i18n/locales/de_DE", R_OK) != 0)
        return false;
      static const TempDir folder; // compiled once per process
      const std::string cmd =
          "localedef -i de_DE -f UTF-8 " + folder.File("de_DE.UTF-8") + " >/dev/null 2>&1";
      if (std::system(cmd.c_str()) != 0)
        return false;
      ::setenv("LOCPATH", folder.Path().c_str(), 1);
      return true;
    }();
    return compiled && std::setlocale(LC_ALL, "de_DE.UTF-8") && HasCommaDecimalPoint();
  }

private:
  std::string Previous;
};

} // namespace selvane::test

#endif
