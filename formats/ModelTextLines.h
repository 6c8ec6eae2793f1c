// The lines of a text model file (OBJ, OFF) split into words, in place: a leading UTF-8
// byte-order mark is skipped, lines end at "\n" (a "\r" before it is a separator like any other
// whitespace), and a comment runs from '#' to the end of its line.
#pragma once

#include <cstddef>
#include <string_view>

namespace selvane::formats {

class ModelTextLines {
public:
  explicit ModelTextLines(std::string_view text);

  // Moves to the next line that holds a word; false at the end of the text.
  bool NextLine();
  // The next word of the current line, or an empty view at its end.
  std::string_view NextWord();
  // The 1-based number of the current line.
  std::size_t LineNumber() const { return this->Number; }
  // Bytes not yet read.
  std::size_t Remaining() const { return this->Text.size() - this->At; }

private:
  std::string_view Text;
  std::size_t At = 0;      // in the current line, or at the start of the next
  std::size_t LineEnd = 0; // where the current line's words end (its '\n' or '#')
  std::size_t Next = 0;    // the start of the following line
  std::size_t Number = 0;
};

} // namespace selvane::formats
