// Fuzz target: our reader of Wavefront OBJ files on any bytes, held to the invariants of
// ModelReaderInvariants.h.
#include "FuzzTarget.h"
#include "ModelReaderInvariants.h"

#include "ObjModelReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  selvane::fuzz::CheckModelReader(selvane::ReadObjModelBytes, data, size);
  return 0;
}
