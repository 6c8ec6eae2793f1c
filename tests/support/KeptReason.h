// For tests that check the reason of a Result after checking whether it succeeded.
#ifndef SELVANE_TEST_KEPT_REASON_H
#define SELVANE_TEST_KEPT_REASON_H

#include "Result.h"

#include <string>

namespace selvane::test {

// Keeps the reason of result (empty after a success) in reason; true on success.
inline bool Kept(const Result& result, std::string& reason) {
  reason = result.Reason;
  return result.Ok();
}

} // namespace selvane::test

#endif
