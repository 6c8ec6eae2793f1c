// Fuzz target: the cell and point ID file parser.
//
// The first byte picks the model's ID count (so that both empty and huge models are reached);
// the rest is the file. The string and the stream forms must agree, every ID returned must be
// in the model, every line must be accounted for exactly once, and a byte-order mark in front
// must change nothing.
#include "Check.h"
#include "FuzzTarget.h"
#include "InputFile.h"
#include "SelectionFiles.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <string_view>

namespace fmt = selvane::formats;

namespace {

bool SameReport(const fmt::ParseReport& a, const fmt::ParseReport& b) {
  return a.Lines == b.Lines && a.CommentLines == b.CommentLines && a.BlankLines == b.BlankLines &&
         std::equal(a.Skipped.begin(), a.Skipped.end(), b.Skipped.begin(), b.Skipped.end(),
                    [](const fmt::SkippedLine& x, const fmt::SkippedLine& y) {
                      return x.Line == y.Line && x.Reason == y.Reason;
                    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const vtkIdType Counts[] = {0, 1, 7, 1000, 2147483647};
  const vtkIdType idCount = size > 0 ? Counts[data[0] % 5] : 0;
  const std::string_view text =
      size > 0 ? std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)
               : std::string_view();

  const fmt::IdFileContent parsed = fmt::ParseIdFile(text, idCount);
  for (vtkIdType id : parsed.Ids) {
    SELVANE_FUZZ_CHECK(id >= 0 && id < idCount);
  }
  const fmt::ParseReport& report = parsed.Report;
  SELVANE_FUZZ_CHECK(report.Lines == report.CommentLines + report.BlankLines +
                                         report.Skipped.size() + parsed.Ids.size());
  for (std::size_t i = 0; i < report.Skipped.size(); ++i) {
    SELVANE_FUZZ_CHECK(report.Skipped[i].Line >= 1 && report.Skipped[i].Line <= report.Lines);
    SELVANE_FUZZ_CHECK(i == 0 || report.Skipped[i - 1].Line < report.Skipped[i].Line);
  }
  SELVANE_FUZZ_CHECK(!report.ReadError);
  (void)fmt::SummarizeSkipped(report);

  SELVANE_FUZZ_CHECK(report.TooLongLine == 0 || parsed.Ids.empty());
  if (fmt::Utf8BomLength(text) == 0) {
    // A byte-order mark in front changes nothing.
    const fmt::IdFileContent marked = fmt::ParseIdFile("\xEF\xBB\xBF" + std::string(text), idCount);
    SELVANE_FUZZ_CHECK(marked.Ids == parsed.Ids && marked.IdLines == parsed.IdLines);
    SELVANE_FUZZ_CHECK(SameReport(marked.Report, parsed.Report));
  }

  std::istringstream stream{std::string(text)};
  const fmt::IdFileContent streamed = fmt::ParseIdFile(stream, idCount);
  SELVANE_FUZZ_CHECK(streamed.Ids == parsed.Ids);
  SELVANE_FUZZ_CHECK(SameReport(streamed.Report, parsed.Report));
  SELVANE_FUZZ_CHECK(!streamed.Report.ReadError);
  return 0;
}
