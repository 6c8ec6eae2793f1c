// Puts the process into a locale whose decimal point is a comma (de_DE.UTF-8), to show that the
// file formats ignore the user's locale. When the locale is not installed but glibc's locale
// sources are (Debian's "locales" package), it is compiled once into a temporary folder with
// localedef and found through LOCPATH. Returns false when neither works (the test then skips).
#ifndef SELVANE_TEST_GERMAN_LOCALE_H
#define SELVANE_TEST_GERMAN_LOCALE_H

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace selvane::test {

inline bool HasCommaDecimalPoint() {
  const std::lconv* lc = std::localeconv();
  return lc && std::strcmp(lc->decimal_point, ",") == 0;
}

class GermanLocale {
public:
  GermanLocale() : Previous(std::setlocale(LC_ALL, nullptr)) {}
  ~GermanLocale() { std::setlocale(LC_ALL, Previous.c_str()); }

  bool Enter() {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") && HasCommaDecimalPoint())
      return true;
    static std::string folder; // compiled once per process
    static bool tried = false;
    if (!tried) {
      tried = true;
      if (::access("/usr/share/i18n/locales/de_DE", R_OK) != 0)
        return false;
      char tmpl[] = "/tmp/selvane-locale-XXXXXX";
      if (!::mkdtemp(tmpl))
        return false;
      folder = tmpl;
      const std::string cmd =
          "localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 >/dev/null 2>&1";
      if (std::system(cmd.c_str()) != 0)
        return false;
      ::setenv("LOCPATH", folder.c_str(), 1);
      std::atexit([] {
        if (std::system(("rm -rf " + folder).c_str()) != 0) {
        }
      });
    }
    return std::setlocale(LC_ALL, "de_DE.UTF-8") && HasCommaDecimalPoint();
  }

private:
  std::string Previous;
};

} // namespace selvane::test

#endif
