// The one way Selvane reads a user's file: one open() of a regular file, an fstat() on that
// descriptor, and the whole content read into memory from it. Everything that checks or parses
// the file then works on those bytes, so nothing can change between a check and a read.
//
// The open never blocks (O_NONBLOCK: a FIFO with no writer would wait for ever), and anything
// that is not a regular file (a folder, a device such as /dev/zero or /dev/urandom, a pipe, a
// socket) is refused with what it is, before a byte is read.
#ifndef SELVANE_INPUT_FILE_H
#define SELVANE_INPUT_FILE_H

#include "Result.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace selvane::formats {

// Every function below reports with a Result whose reason is one line naming the cause
// without the path (e.g. "it is a folder, not a file" or "cannot open the file: No such file or
// directory"): CannotOpen for a file that is missing, not permitted, a dangling link, a folder,
// a device, a pipe or a socket; Unreadable when read() failed or the file changed size while it
// was read; TooLarge over the reader's limit; OutOfMemory when the content could not be held in
// memory; NoMemoryFile (CopyRegularFileSealed only) when no memory file can be made here (a file
// size limit, a kernel without memfd) and nothing was read.

// What a file of this st_mode is, for messages: "a folder", "a pipe (FIFO)", "a character
// device", "a block device", "a socket", "not a regular file".
const char* DescribeFileKind(unsigned mode);

// No limit on the size of the file beyond what memory holds.
constexpr std::uint64_t NoSizeLimit = ~std::uint64_t(0);

// Reads the whole regular file at path into contents (cleared first; left empty on failure).
Result ReadRegularFile(const std::string& path, std::string& contents,
                       std::uint64_t maxBytes = NoSizeLimit);

// The same into a buffer the caller provides: allocate(size) is called once with the file's
// size and returns where to put the bytes (nullptr when it cannot allocate: OutOfMemory).
using InputAllocator = char* (*)(void* context, std::size_t size);
Result ReadRegularFileInto(const std::string& path, InputAllocator allocate, void* context,
                           std::uint64_t maxBytes = NoSizeLimit);

// Opens path as ReadRegularFile does (without blocking; a regular file of at most maxBytes) for
// a reader that reads only the parts it needs: on success fd is the open descriptor, which the
// caller closes, and size the file's size.
Result OpenRegularFile(const std::string& path, int& fd, std::uint64_t& size,
                       std::uint64_t maxBytes = NoSizeLimit);

class SealedFileCopy;
class CopyProgress;
// Reads a copy while it is being made: data (size bytes) fills from its start, as progress says.
// Returns whether the copy is still wanted.
using CopyConsumer =
    std::function<bool(const char* data, std::size_t size, CopyProgress& progress)>;
Result CopyRegularFileSealed(const std::string& path, SealedFileCopy& copy, bool skipUtf8Bom,
                             std::uint64_t maxBytes, const CopyConsumer& consume);

// How far a copy being made by another thread has come.
class CopyProgress {
public:
  // Blocks until at least n bytes are in place or the copy stopped (done, failed or given up);
  // returns how many bytes are in place. Those bytes never change afterwards.
  std::uint64_t WaitFor(std::uint64_t n);

private:
  friend Result CopyRegularFileSealed(const std::string&, SealedFileCopy&, bool, std::uint64_t,
                                      const CopyConsumer&);
  void Publish(std::uint64_t done, bool stopped);
  std::mutex Lock;
  std::condition_variable Changed;
  std::uint64_t Done = 0;
  bool Stopped = false;
};

// A private copy of a regular file's content in an anonymous memory file (memfd), sealed
// against every write, shrink and growth once filled: whatever reads it, by its descriptor, by
// its name under /proc/self/fd or through Bytes(), sees the same bytes for as long as it lives,
// whatever happens to the user's file meanwhile. The descriptor and the read-only mapping are
// closed with the object.
class SealedFileCopy {
public:
  SealedFileCopy() = default;
  ~SealedFileCopy();
  SealedFileCopy(SealedFileCopy&& other) noexcept;
  SealedFileCopy& operator=(SealedFileCopy&& other) noexcept;
  SealedFileCopy(const SealedFileCopy&) = delete;
  SealedFileCopy& operator=(const SealedFileCopy&) = delete;

  int Descriptor() const { return this->Fd; }
  // "/proc/self/fd/N": a name any file reader can open to read the copy from its start.
  std::string ProcPath() const;
  std::string_view Bytes() const {
    return std::string_view(static_cast<const char*>(this->Map), this->Size);
  }

private:
  friend Result CopyRegularFileSealed(const std::string&, SealedFileCopy&, bool, std::uint64_t,
                                      const CopyConsumer&);
  void Reset();
  int Fd = -1;
  void* Map = nullptr;
  std::size_t Size = 0;
};

// Copies the regular file at path (opened as ReadRegularFileInto does) into copy, without its
// leading UTF-8 byte-order mark when skipUtf8Bom. The copy is made in the kernel from the
// file's cache, by another thread while consume (when given) reads the bytes already copied on
// this one; when consume no longer wants it, the copy is given up and left empty (no error).
// On failure copy is left empty, and what consume found is not to be trusted.
Result CopyRegularFileSealed(const std::string& path, SealedFileCopy& copy, bool skipUtf8Bom,
                             std::uint64_t maxBytes = NoSizeLimit,
                             const CopyConsumer& consume = nullptr);

// Bytes of a UTF-8 byte-order mark at the start of text (3 or 0). Editors on some systems put
// one before the first line of a text file; every text reader skips it.
inline std::size_t Utf8BomLength(std::string_view text) {
  return text.size() >= 3 && text[0] == '\xEF' && text[1] == '\xBB' && text[2] == '\xBF' ? 3 : 0;
}

} // namespace selvane::formats

#endif
