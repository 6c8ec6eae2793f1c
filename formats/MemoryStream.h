// A read-only input stream over bytes in memory, so that VTK's XML parser and readers read a
// file's checked bytes without a copy. Numbers are read in the classic locale, whatever the
// user's.
#pragma once

#include <istream>
#include <locale>
#include <streambuf>
#include <string_view>

namespace selvane::formats {

// The stream buffer: the get area is the bytes, seeking moves within them.
class MemoryStreamBuffer : public std::streambuf {
public:
  MemoryStreamBuffer(const char* data, std::size_t size) {
    char* begin = const_cast<char*>(data); // never written: only get-area functions are used
    this->setg(begin, begin, begin + size);
  }

protected:
  pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override {
    if (!(which & std::ios_base::in)) {
      return pos_type(off_type(-1));
    }
    const off_type size = this->egptr() - this->eback();
    const off_type base = dir == std::ios_base::beg   ? 0
                          : dir == std::ios_base::cur ? this->gptr() - this->eback()
                                                      : size;
    const off_type at = base + offset;
    if (at < 0 || at > size) {
      return pos_type(off_type(-1));
    }
    this->setg(this->eback(), this->eback() + at, this->egptr());
    return pos_type(at);
  }
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    return this->seekoff(off_type(position), std::ios_base::beg, which);
  }
};

// The bytes must outlive the stream.
class MemoryInputStream : public std::istream {
public:
  explicit MemoryInputStream(std::string_view bytes)
      : std::istream(nullptr), Buffer(bytes.data(), bytes.size()) {
    this->rdbuf(&this->Buffer);
    this->imbue(std::locale::classic());
  }

private:
  MemoryStreamBuffer Buffer;
};

} // namespace selvane::formats
