// Fuzz target: the reader of Slicer's markups JSON (.mrk.json).
//
// Every input is read; what is read must hold to the checks of LandmarkChecks.h, and written
// again by the same format it must read back the same.
#include "FuzzTarget.h"
#include "LandmarkChecks.h"
#include "SlicerMarkups.h"

#include <string_view>

namespace fmt = selvane::formats;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parse = [](std::string_view bytes) {
    return fmt::ParseSlicerMarkupsJson(bytes, fmt::AnatomicalFrame::LPS);
  };
  const fmt::LandmarkFile file = parse(text);
  selvane::fuzz::CheckLandmarkFile(file, false);
  selvane::fuzz::CheckRewrite(file, fmt::LandmarkFormat::SlicerJson, parse);
  selvane::fuzz::CheckByteOrderMark(file, text, parse);
  return 0;
}
