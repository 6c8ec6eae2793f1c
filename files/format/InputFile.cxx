#include "InputFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace selvane::formats {

namespace {

InputFileResult Problem(InputProblem problem, std::string reason) {
  InputFileResult r;
  r.Problem = problem;
  r.Reason = std::move(reason);
  return r;
}

// Closes the descriptor on every path out.
struct Descriptor {
  int Fd;
  ~Descriptor() {
    if (this->Fd >= 0)
      ::close(this->Fd);
  }
};

// Reads exactly size bytes into data, then makes sure nothing follows.
InputFileResult ReadExactly(int fd, char* data, std::size_t size) {
  std::size_t have = 0;
  while (have < size) {
    const ssize_t got = ::read(fd, data + have, size - have);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return Problem(InputProblem::ReadError,
                     std::string("cannot read the file: ") + std::strerror(errno));
    if (got == 0)
      return Problem(InputProblem::ReadError, "the file became shorter while it was read");
    have += static_cast<std::size_t>(got);
  }
  char extra;
  for (;;) {
    const ssize_t got = ::read(fd, &extra, 1);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return Problem(InputProblem::ReadError,
                     std::string("cannot read the file: ") + std::strerror(errno));
    if (got > 0)
      return Problem(InputProblem::ReadError, "the file grew while it was read");
    return {};
  }
}

char* GrowString(void* context, std::size_t size) {
  auto* s = static_cast<std::string*>(context);
  try {
    s->resize(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;
  }
  return s->data();
}

} // namespace

const char* DescribeFileKind(unsigned mode) {
  if (S_ISDIR(mode))
    return "a folder";
  if (S_ISFIFO(mode))
    return "a pipe (FIFO)";
  if (S_ISCHR(mode))
    return "a character device";
  if (S_ISBLK(mode))
    return "a block device";
  if (S_ISSOCK(mode))
    return "a socket";
  return "not a regular file";
}

InputFileResult ReadRegularFileInto(const std::string& path, InputAllocator allocate, void* context,
                                    std::uint64_t maxBytes) {
  Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  if (file.Fd < 0)
    return Problem(InputProblem::CannotOpen,
                   std::string("cannot open the file: ") + std::strerror(errno));
  struct stat st;
  if (::fstat(file.Fd, &st) != 0)
    return Problem(InputProblem::ReadError,
                   std::string("cannot read the file: ") + std::strerror(errno));
  if (!S_ISREG(st.st_mode))
    return Problem(InputProblem::NotRegular,
                   std::string("it is ") + DescribeFileKind(st.st_mode) + ", not a file");
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (size > maxBytes)
    return Problem(InputProblem::TooLarge, "the file is " + std::to_string(size) +
                                               " bytes long, more than the " +
                                               std::to_string(maxBytes) + " this reader takes");
  if (size > static_cast<std::uint64_t>(PTRDIFF_MAX))
    return Problem(InputProblem::OutOfMemory,
                   "not enough memory to hold the file (" + std::to_string(size) + " bytes)");
  ::posix_fadvise(file.Fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  char* data = allocate(context, static_cast<std::size_t>(size));
  if (!data && size > 0)
    return Problem(InputProblem::OutOfMemory,
                   "not enough memory to hold the file (" + std::to_string(size) + " bytes)");
  return ReadExactly(file.Fd, data, static_cast<std::size_t>(size));
}

InputFileResult ReadRegularFile(const std::string& path, std::string& contents,
                                std::uint64_t maxBytes) {
  contents.clear();
  InputFileResult r = ReadRegularFileInto(path, GrowString, &contents, maxBytes);
  if (!r.Ok()) {
    contents.clear();
    contents.shrink_to_fit();
  }
  return r;
}

} // namespace selvane::formats
