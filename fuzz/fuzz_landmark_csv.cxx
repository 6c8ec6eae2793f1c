// Fuzz target: the reader of a table of comma-, semicolon- or tab-separated values (.csv).
//
// Every input is read; what is read must hold to the checks of LandmarkChecks.h, and written
// again by the same format it must read back the same.
#include "FuzzTarget.h"
#include "LandmarkChecks.h"
#include "LandmarkCsv.h"

#include <string_view>

namespace fmt = selvane::formats;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parse = [](std::string_view bytes) { return fmt::ParseLandmarkCsv(bytes); };
  const fmt::LandmarkFile file = parse(text);
  selvane::fuzz::CheckLandmarkFile(file, true);
  selvane::fuzz::CheckRewrite(file, fmt::LandmarkFormat::Csv, parse);
  selvane::fuzz::CheckByteOrderMark(file, text, parse);
  return 0;
}
