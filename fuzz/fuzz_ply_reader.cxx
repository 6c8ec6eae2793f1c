// Fuzz target: our reader of PLY (ascii and both binary encodings) files on any bytes, held to the
// invariants of ModelReaderInvariants.h.
#include "FuzzTarget.h"
#include "ModelReaderInvariants.h"

#include "PlyModelReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  selvane::fuzz::CheckModelReader(selvane::ReadPlyModelBytes, data, size);
  return 0;
}
