// Fuzz target: our reader of STL (ASCII and binary) files on any bytes, held to the invariants of
// ModelReaderInvariants.h.
#include "FuzzTarget.h"
#include "ModelReaderInvariants.h"

#include "StlModelReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  selvane::fuzz::CheckModelReader(selvane::ReadStlModelBytes, data, size);
  return 0;
}
