// Fuzz target: the reader of MeshLab's picked points XML (.pp).
//
// Every input is read; what is read must hold to the checks of LandmarkChecks.h, and written
// again by the same format it must read back the same.
#include "FuzzTarget.h"
#include "LandmarkChecks.h"
#include "PickedPoints.h"

#include <string_view>

namespace fmt = selvane::formats;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parse = [](std::string_view bytes) { return fmt::ParsePickedPoints(bytes); };
  const fmt::LandmarkFile file = parse(text);
  selvane::fuzz::CheckLandmarkFile(file, false);
  selvane::fuzz::CheckRewrite(file, fmt::LandmarkFormat::PickedPoints, parse);
  // libxml2 weighs a byte-order mark against the declared encoding: no check of it here.
  return 0;
}
