// Fuzz target: our reader of OFF files on any bytes, held to the invariants of
// ModelReaderInvariants.h.
#include "FuzzTarget.h"
#include "ModelReaderInvariants.h"

#include "OffModelReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  selvane::fuzz::CheckModelReader(selvane::ReadOffModelBytes, data, size);
  return 0;
}
