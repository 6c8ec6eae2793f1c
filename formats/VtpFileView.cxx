#include "VtpFileView.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <locale>

#include <sys/mman.h>
#include <unistd.h>

namespace selvane::formats {

namespace {

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// How many leading bytes VTK's XML parser reads of a file whose first bytes are `head`: up to
// the first character of the appended data, found as it finds it (the first "<AppendedData",
// the next '>', white space, then one character); 0 when `head` does not reach that far.
std::uint64_t ParsedLength(std::string_view head) {
  const std::size_t tag = head.find("<AppendedData");
  if (tag == std::string_view::npos) {
    return 0;
  }
  std::size_t at = head.find('>', tag);
  if (at == std::string_view::npos) {
    return 0;
  }
  ++at;
  while (at < head.size() && IsXmlSpace(head[at])) {
    ++at;
  }
  return at < head.size() ? at + 1 : 0;
}

Result ReadFailure(std::string reason) {
  return Result::Failure(ErrorCode::Unreadable, std::move(reason));
}

} // namespace

VtpFileView::~VtpFileView() {
  if (this->Image) {
    ::munmap(this->Image, static_cast<std::size_t>(this->Size));
  }
  if (this->Fd >= 0) {
    ::close(this->Fd);
  }
}

Result VtpFileView::Open(const std::string& path, std::uint64_t firstBytes) {
  Result opened = OpenRegularFile(path, this->Fd, this->Size);
  if (!opened.Ok()) {
    return opened;
  }
  if (this->Size > 0) {
    // Pages are committed only where bytes are loaded.
    void* image = ::mmap(nullptr, static_cast<std::size_t>(this->Size), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (image == MAP_FAILED) {
      return Result::Failure(ErrorCode::OutOfMemory, "not enough memory to hold the file (" +
                                                         std::to_string(this->Size) + " bytes)");
    }
    this->Image = static_cast<char*>(image);
  }
  firstBytes = std::max<std::uint64_t>(firstBytes, 1);
  this->LoadHead(firstBytes);
  this->LoadTail(firstBytes);
  return this->Problem;
}

void VtpFileView::LoadHead(std::uint64_t firstBytes) {
  for (std::uint64_t want = firstBytes;; want *= 4) {
    this->Load(0, want);
    if (!this->Problem.Ok() || want >= this->Size ||
        ParsedLength(this->Bytes().substr(0, static_cast<std::size_t>(want))) > 0) {
      return;
    }
  }
}

// The check looks for the last "</AppendedData>": when the end of the file does not hold one,
// the whole file is loaded so that it finds the same one.
void VtpFileView::LoadTail(std::uint64_t lastBytes) {
  const std::uint64_t start = this->Size - std::min(this->Size, lastBytes);
  this->Load(start, this->Size - start);
  if (this->Bytes().substr(static_cast<std::size_t>(start)).find("</AppendedData>") ==
      std::string_view::npos) {
    this->LoadAll();
  }
}

bool VtpFileView::ReadFile(std::uint64_t offset, char* out, std::size_t count) {
  std::size_t have = 0;
  while (have < count) {
    const ssize_t got =
        ::pread(this->Fd, out + have, count - have, static_cast<off_t>(offset + have));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      if (this->Problem.Ok()) {
        this->Problem =
            ReadFailure(got < 0 ? std::string("cannot read the file: ") + std::strerror(errno)
                                : "the file became shorter while it was read");
      }
      return false;
    }
    have += static_cast<std::size_t>(got);
  }
  return true;
}

void VtpFileView::Load(std::uint64_t offset, std::uint64_t count) {
  const std::uint64_t begin = std::min(offset, this->Size);
  const std::uint64_t end = begin + std::min(count, this->Size - begin);
  if (begin == end) {
    return;
  }
  // Fill the gaps between the ranges already loaded, then merge them into one.
  std::uint64_t at = begin;
  auto first = std::lower_bound(this->Loaded.begin(), this->Loaded.end(), begin,
                                [](const std::pair<std::uint64_t, std::uint64_t>& r,
                                   std::uint64_t v) { return r.second < v; });
  auto last = first;
  for (; last != this->Loaded.end() && last->first <= end; ++last) {
    if (last->first > at &&
        !this->ReadFile(at, this->Image + at, static_cast<std::size_t>(last->first - at))) {
      return;
    }
    at = std::max(at, last->second);
  }
  if (at < end && !this->ReadFile(at, this->Image + at, static_cast<std::size_t>(end - at))) {
    return;
  }
  std::pair<std::uint64_t, std::uint64_t> merged{begin, end};
  if (first != last) {
    merged.first = std::min(begin, first->first);
    merged.second = std::max(end, std::prev(last)->second);
  }
  const auto place = this->Loaded.erase(first, last);
  this->Loaded.insert(place, merged);
}

bool VtpFileView::Holds(std::uint64_t offset, std::uint64_t count) const {
  if (count == 0) {
    return true;
  }
  auto range = std::lower_bound(this->Loaded.begin(), this->Loaded.end(), offset,
                                [](const std::pair<std::uint64_t, std::uint64_t>& r,
                                   std::uint64_t v) { return r.second <= v; });
  return range != this->Loaded.end() && range->first <= offset && count <= range->second - offset;
}

std::size_t VtpFileView::ReadAt(std::uint64_t offset, char* out, std::size_t count) {
  const std::uint64_t begin = std::min(offset, this->Size);
  const std::uint64_t end = begin + std::min<std::uint64_t>(count, this->Size - begin);
  auto range = std::lower_bound(this->Loaded.begin(), this->Loaded.end(), begin,
                                [](const std::pair<std::uint64_t, std::uint64_t>& r,
                                   std::uint64_t v) { return r.second <= v; });
  std::uint64_t at = begin;
  while (at < end) {
    const bool loaded = range != this->Loaded.end() && range->first <= at;
    const std::uint64_t stop =
        loaded ? std::min(end, range->second)
               : std::min(end, range != this->Loaded.end() ? range->first : end);
    char* to = out + (at - begin);
    if (loaded) {
      std::memcpy(to, this->Image + at, static_cast<std::size_t>(stop - at));
      ++range;
    } else if (!this->ReadFile(at, to, static_cast<std::size_t>(stop - at))) {
      return static_cast<std::size_t>(at - begin);
    }
    at = stop;
  }
  return static_cast<std::size_t>(end - begin);
}

VtpFileStreamBuffer::VtpFileStreamBuffer(VtpFileView& view) : View(view), Buffer(64 * 1024) {
  this->setg(this->Buffer.data(), this->Buffer.data(), this->Buffer.data());
}

VtpFileStreamBuffer::int_type VtpFileStreamBuffer::underflow() {
  if (this->gptr() < this->egptr()) {
    return traits_type::to_int_type(*this->gptr());
  }
  this->BufferStart = this->Position();
  const std::size_t got =
      this->View.ReadAt(this->BufferStart, this->Buffer.data(), this->Buffer.size());
  this->setg(this->Buffer.data(), this->Buffer.data(), this->Buffer.data() + got);
  return got > 0 ? traits_type::to_int_type(*this->gptr()) : traits_type::eof();
}

std::streamsize VtpFileStreamBuffer::xsgetn(char* out, std::streamsize count) {
  std::streamsize done = std::min<std::streamsize>(count, this->egptr() - this->gptr());
  std::memcpy(out, this->gptr(), static_cast<std::size_t>(done));
  this->gbump(static_cast<int>(done));
  this->GiveOut(this->Position() - static_cast<std::uint64_t>(done), out, done);
  if (done == count) {
    return done;
  }
  if (count - done >= static_cast<std::streamsize>(this->Buffer.size())) {
    // Large reads (array values) go from the file to the reader's memory directly, in pieces
    // that the watch looks at while they are in cache.
    constexpr std::streamsize Piece = 256 * 1024;
    std::uint64_t at = this->Position();
    while (done < count) {
      const std::size_t want = static_cast<std::size_t>(std::min(count - done, Piece));
      const std::size_t got = this->View.ReadAt(at, out + done, want);
      this->GiveOut(at, out + done, static_cast<std::streamsize>(got));
      at += got;
      done += static_cast<std::streamsize>(got);
      if (got < want) {
        break;
      }
    }
    this->BufferStart = at;
    this->setg(this->Buffer.data(), this->Buffer.data(), this->Buffer.data());
    return done;
  }
  if (traits_type::eq_int_type(this->underflow(), traits_type::eof())) {
    return done;
  }
  const std::streamsize more =
      std::min<std::streamsize>(count - done, this->egptr() - this->gptr());
  std::memcpy(out + done, this->gptr(), static_cast<std::size_t>(more));
  this->GiveOut(this->Position(), out + done, more);
  this->gbump(static_cast<int>(more));
  return done + more;
}

VtpFileStreamBuffer::pos_type VtpFileStreamBuffer::seekoff(off_type offset,
                                                           std::ios_base::seekdir dir,
                                                           std::ios_base::openmode which) {
  if (!(which & std::ios_base::in)) {
    return pos_type(off_type(-1));
  }
  const off_type size = static_cast<off_type>(this->View.FileSize());
  const off_type base = dir == std::ios_base::beg   ? 0
                        : dir == std::ios_base::cur ? static_cast<off_type>(this->Position())
                                                    : size;
  const off_type at = base + offset;
  if (at < 0 || at > size) {
    return pos_type(off_type(-1));
  }
  const auto target = static_cast<std::uint64_t>(at);
  const std::uint64_t buffered = static_cast<std::uint64_t>(this->egptr() - this->eback());
  if (target >= this->BufferStart && target - this->BufferStart <= buffered) {
    this->setg(this->eback(), this->eback() + (target - this->BufferStart), this->egptr());
  } else {
    this->BufferStart = target;
    this->setg(this->Buffer.data(), this->Buffer.data(), this->Buffer.data());
  }
  return pos_type(at);
}

VtpFileStreamBuffer::pos_type VtpFileStreamBuffer::seekpos(pos_type position,
                                                           std::ios_base::openmode which) {
  return this->seekoff(off_type(position), std::ios_base::beg, which);
}

int VtpFileStreamBuffer::sync() {
  this->BufferStart = this->Position();
  this->setg(this->Buffer.data(), this->Buffer.data(), this->Buffer.data());
  return 0;
}

VtpFileStream::VtpFileStream(VtpFileView& view) : std::istream(nullptr), Buffer(view) {
  this->rdbuf(&this->Buffer);
  this->imbue(std::locale::classic());
}

} // namespace selvane::formats
