// Splits the text of a file already in memory into lines, the same way for every text reader:
// a leading UTF-8 byte-order mark is skipped (it would otherwise spoil the first line), lines
// end at "\n", a last line without one counts, and an empty remainder after the last "\n" does
// not. A line longer than MaxLineBytes stops the split: no user file has such lines, and a
// reader that took them would hold a runaway line in memory, so the whole file is refused.
#ifndef SELVANE_TEXT_LINES_H
#define SELVANE_TEXT_LINES_H

#include "InputFile.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace selvane::formats {

// 1 MiB: far beyond any line of six numbers, far below what could strain memory.
constexpr std::size_t MaxLineBytes = std::size_t(1) << 20;

class TextLines {
public:
  explicit TextLines(std::string_view text) : Rest(text.substr(Utf8BomLength(text))) {}

  // The next line (without its "\n") and its 1-based number; false at the end of the text or
  // at a line longer than MaxLineBytes (then TooLongLine() names it).
  bool Next(std::string_view& line) {
    if (this->Rest.empty() || this->TooLong > 0)
      return false;
    const std::size_t nl = this->Rest.find('\n');
    const std::size_t length = nl == std::string_view::npos ? this->Rest.size() : nl;
    ++this->Number;
    if (length > MaxLineBytes) {
      this->TooLong = this->Number;
      return false;
    }
    line = this->Rest.substr(0, length);
    this->Rest.remove_prefix(nl == std::string_view::npos ? length : nl + 1);
    return true;
  }

  // The number of the line Next returned last.
  std::size_t LineNumber() const { return this->Number; }
  // The number of the line that was too long, or 0.
  std::size_t TooLongLine() const { return this->TooLong; }

private:
  std::string_view Rest;
  std::size_t Number = 0;
  std::size_t TooLong = 0;
};

// "line N is longer than 1048576 bytes", for messages.
inline std::string DescribeTooLongLine(std::size_t line) {
  return "line " + std::to_string(line) + " is longer than " + std::to_string(MaxLineBytes) +
         " bytes";
}

} // namespace selvane::formats

#endif
