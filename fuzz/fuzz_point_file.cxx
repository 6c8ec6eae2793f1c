// Fuzz target: the point coordinate (.pts) and point transformation (.ptt) file parsers.
//
// The first byte picks what the import takes from each line; the rest is the file. The string
// and stream forms must agree, every returned value must be a finite single-precision number,
// targets must pair with sources, every line must be accounted for exactly once, and a
// byte-order mark in front must change nothing.
#include "Check.h"
#include "FuzzTarget.h"
#include "InputFile.h"
#include "SelectionFiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>

namespace fmt = selvane::formats;

namespace {

bool SameValues(const std::vector<std::array<float, 3>>& a,
                const std::vector<std::array<float, 3>>& b) {
  // Bitwise: the two forms must read the very same floats.
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](const std::array<float, 3>& x, const std::array<float, 3>& y) {
                      return std::memcmp(x.data(), y.data(), sizeof(float) * 3) == 0;
                    });
}

bool AllFinite(const std::vector<std::array<float, 3>>& values) {
  return std::all_of(values.begin(), values.end(), [](const std::array<float, 3>& p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
  });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fmt::PointImport Modes[] = {fmt::PointImport::Coordinates,
                                           fmt::PointImport::PointsFromTransformations,
                                           fmt::PointImport::Transformations};
  const fmt::PointImport mode = size > 0 ? Modes[data[0] % 3] : Modes[0];
  const std::string_view text =
      size > 0 ? std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)
               : std::string_view();

  const fmt::PointFileContent parsed = fmt::ParsePointFile(text, mode);
  SELVANE_FUZZ_CHECK(AllFinite(parsed.Sources) && AllFinite(parsed.Targets));
  SELVANE_FUZZ_CHECK(mode == fmt::PointImport::Transformations
                         ? parsed.Targets.size() == parsed.Sources.size()
                         : parsed.Targets.empty());
  const fmt::ParseReport& report = parsed.Report;
  SELVANE_FUZZ_CHECK(report.Lines == report.CommentLines + report.BlankLines +
                                         report.Skipped.size() + parsed.Sources.size());
  for (std::size_t i = 0; i < report.Skipped.size(); ++i) {
    SELVANE_FUZZ_CHECK(report.Skipped[i].Line >= 1 && report.Skipped[i].Line <= report.Lines);
    SELVANE_FUZZ_CHECK(i == 0 || report.Skipped[i - 1].Line < report.Skipped[i].Line);
  }
  (void)fmt::SummarizeSkipped(report);

  SELVANE_FUZZ_CHECK(report.TooLongLine == 0 || parsed.Sources.empty());
  if (fmt::Utf8BomLength(text) == 0) {
    // A byte-order mark in front changes nothing.
    const fmt::PointFileContent marked =
        fmt::ParsePointFile("\xEF\xBB\xBF" + std::string(text), mode);
    SELVANE_FUZZ_CHECK(SameValues(marked.Sources, parsed.Sources));
    SELVANE_FUZZ_CHECK(SameValues(marked.Targets, parsed.Targets));
    SELVANE_FUZZ_CHECK(marked.SourceLines == parsed.SourceLines &&
                       marked.BoundsBlockBegin == parsed.BoundsBlockBegin &&
                       marked.BoundsBlockEnd == parsed.BoundsBlockEnd);
  }

  std::istringstream stream{std::string(text)};
  const fmt::PointFileContent streamed = fmt::ParsePointFile(stream, mode);
  SELVANE_FUZZ_CHECK(SameValues(streamed.Sources, parsed.Sources));
  SELVANE_FUZZ_CHECK(SameValues(streamed.Targets, parsed.Targets));
  SELVANE_FUZZ_CHECK(streamed.Report.Lines == report.Lines &&
                     streamed.Report.Skipped.size() == report.Skipped.size());
  return 0;
}
