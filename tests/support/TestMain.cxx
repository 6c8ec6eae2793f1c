// The main of the test programs: GoogleTest, run under the locale of the environment.
#include "Locales.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (!selvane::test::AdoptEnvironmentLocale())
    return 1;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
