#include "ModelTextLines.h"

#include "InputFile.h"

#include <cstring>

namespace selvane::formats {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

ModelTextLines::ModelTextLines(std::string_view text)
    : Text(text), At(Utf8BomLength(text)), LineEnd(At), Next(At) {}

bool ModelTextLines::NextLine() {
  while (this->Next < this->Text.size()) {
    const std::size_t start = this->Next;
    const void* newline = std::memchr(this->Text.data() + start, '\n', this->Text.size() - start);
    const std::size_t end =
        newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - this->Text.data())
                : this->Text.size();
    this->Next = newline ? end + 1 : end;
    ++this->Number;
    std::size_t words = start;
    while (words < end && IsSpace(this->Text[words])) {
      ++words;
    }
    if (words == end || this->Text[words] == '#') {
      continue;
    }
    const void* hash = std::memchr(this->Text.data() + words, '#', end - words);
    this->At = words;
    this->LineEnd =
        hash ? static_cast<std::size_t>(static_cast<const char*>(hash) - this->Text.data()) : end;
    return true;
  }
  this->At = this->LineEnd = this->Next;
  return false;
}

std::string_view ModelTextLines::NextWord() {
  while (this->At < this->LineEnd && IsSpace(this->Text[this->At])) {
    ++this->At;
  }
  const std::size_t start = this->At;
  while (this->At < this->LineEnd && !IsSpace(this->Text[this->At])) {
    ++this->At;
  }
  return this->Text.substr(start, this->At - start);
}

} // namespace selvane::formats
