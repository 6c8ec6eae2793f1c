#include "InputFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace selvane::formats {

namespace {

Result Problem(ErrorCode problem, std::string reason) {
  return Result::Failure(problem, std::move(reason));
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
Result ReadExactly(int fd, char* data, std::size_t size) {
  std::size_t have = 0;
  while (have < size) {
    const ssize_t got = ::read(fd, data + have, size - have);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return Problem(ErrorCode::Unreadable,
                     std::string("cannot read the file: ") + std::strerror(errno));
    if (got == 0)
      return Problem(ErrorCode::Unreadable, "the file became shorter while it was read");
    have += static_cast<std::size_t>(got);
  }
  char extra;
  for (;;) {
    const ssize_t got = ::read(fd, &extra, 1);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return Problem(ErrorCode::Unreadable,
                     std::string("cannot read the file: ") + std::strerror(errno));
    if (got > 0)
      return Problem(ErrorCode::Unreadable, "the file grew while it was read");
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

namespace {

// Opens path without blocking and checks it is a regular file of at most maxBytes; its size in
// size.
Result OpenRegular(const std::string& path, std::uint64_t maxBytes, Descriptor& file,
                   std::uint64_t& size) {
  file.Fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (file.Fd < 0) {
    const int error = errno;
    // A socket cannot be opened at all: say what it is rather than the system's reason.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      return Problem(ErrorCode::CannotOpen,
                     std::string("it is ") + DescribeFileKind(st.st_mode) + ", not a file");
    return Problem(ErrorCode::CannotOpen,
                   std::string("cannot open the file: ") + std::strerror(error));
  }
  struct stat st;
  if (::fstat(file.Fd, &st) != 0)
    return Problem(ErrorCode::Unreadable,
                   std::string("cannot read the file: ") + std::strerror(errno));
  if (!S_ISREG(st.st_mode))
    return Problem(ErrorCode::CannotOpen,
                   std::string("it is ") + DescribeFileKind(st.st_mode) + ", not a file");
  size = static_cast<std::uint64_t>(st.st_size);
  if (size > maxBytes)
    return Problem(ErrorCode::TooLarge, "the file is " + std::to_string(size) +
                                            " bytes long, more than the " +
                                            std::to_string(maxBytes) + " this reader takes");
  if (size > static_cast<std::uint64_t>(PTRDIFF_MAX))
    return Problem(ErrorCode::OutOfMemory,
                   "not enough memory to hold the file (" + std::to_string(size) + " bytes)");
  ::posix_fadvise(file.Fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return {};
}

Result ReadFailure(int error) {
  return Problem(ErrorCode::Unreadable,
                 std::string("cannot read the file: ") + std::strerror(error));
}

// Copies size bytes of from, starting at offset, to the end of to; then makes sure nothing
// follows. sendfile copies in the kernel; where it cannot (an old kernel or an odd file
// system), read and write do.
Result CopyExactly(int from, int to, off_t offset, std::uint64_t size,
                   const std::function<bool(std::uint64_t)>& copied) {
  std::uint64_t have = 0;
  bool kernelCopy = true;
  std::vector<char> buffer;
  while (have < size) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(size - have, std::uint64_t(2) << 20));
    ssize_t got = -1;
    if (kernelCopy) {
      off_t at = offset + static_cast<off_t>(have);
      got = ::sendfile(to, from, &at, want);
      if (got < 0 && (errno == EINVAL || errno == ENOSYS) && have == 0) {
        kernelCopy = false;
        buffer.resize(std::size_t(1) << 20);
        continue;
      }
    } else {
      got = ::pread(from, buffer.data(), std::min(want, buffer.size()),
                    offset + static_cast<off_t>(have));
      if (got > 0) {
        for (ssize_t put = 0; put < got;) {
          const ssize_t wrote =
              ::write(to, buffer.data() + put, static_cast<std::size_t>(got - put));
          if (wrote < 0 && errno == EINTR)
            continue;
          if (wrote < 0)
            return ReadFailure(errno);
          put += wrote;
        }
      }
    }
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return errno == ENOMEM || errno == ENOSPC
                 ? Problem(ErrorCode::OutOfMemory, "not enough memory to hold the file (" +
                                                       std::to_string(size) + " bytes)")
                 : ReadFailure(errno);
    if (got == 0)
      return Problem(ErrorCode::Unreadable, "the file became shorter while it was read");
    have += static_cast<std::uint64_t>(got);
    if (!copied(have))
      return {};
  }
  char extra;
  for (;;) {
    const ssize_t got = ::pread(from, &extra, 1, offset + static_cast<off_t>(size));
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return ReadFailure(errno);
    if (got > 0)
      return Problem(ErrorCode::Unreadable, "the file grew while it was read");
    return {};
  }
}

} // namespace

Result OpenRegularFile(const std::string& path, int& fd, std::uint64_t& size,
                       std::uint64_t maxBytes) {
  Descriptor file{-1};
  Result opened = OpenRegular(path, maxBytes, file, size);
  if (opened.Ok()) {
    fd = file.Fd;
    file.Fd = -1;
  }
  return opened;
}

Result ReadRegularFileInto(const std::string& path, InputAllocator allocate, void* context,
                           std::uint64_t maxBytes) {
  Descriptor file{-1};
  std::uint64_t size = 0;
  if (Result opened = OpenRegular(path, maxBytes, file, size); !opened.Ok())
    return opened;
  char* data = allocate(context, static_cast<std::size_t>(size));
  if (!data && size > 0)
    return Problem(ErrorCode::OutOfMemory,
                   "not enough memory to hold the file (" + std::to_string(size) + " bytes)");
  return ReadExactly(file.Fd, data, static_cast<std::size_t>(size));
}

std::uint64_t CopyProgress::WaitFor(std::uint64_t n) {
  std::unique_lock<std::mutex> hold(this->Lock);
  this->Changed.wait(hold, [&] { return this->Done >= n || this->Stopped; });
  return this->Done;
}

void CopyProgress::Publish(std::uint64_t done, bool stopped) {
  {
    std::lock_guard<std::mutex> hold(this->Lock);
    this->Done = std::max(this->Done, done);
    this->Stopped = this->Stopped || stopped;
  }
  this->Changed.notify_all();
}

SealedFileCopy::~SealedFileCopy() {
  this->Reset();
}

SealedFileCopy::SealedFileCopy(SealedFileCopy&& other) noexcept
    : Fd(std::exchange(other.Fd, -1)), Map(std::exchange(other.Map, nullptr)),
      Size(std::exchange(other.Size, 0)) {}

SealedFileCopy& SealedFileCopy::operator=(SealedFileCopy&& other) noexcept {
  if (this != &other) {
    this->Reset();
    this->Fd = std::exchange(other.Fd, -1);
    this->Map = std::exchange(other.Map, nullptr);
    this->Size = std::exchange(other.Size, 0);
  }
  return *this;
}

void SealedFileCopy::Reset() {
  if (this->Map)
    ::munmap(this->Map, this->Size);
  if (this->Fd >= 0)
    ::close(this->Fd);
  this->Fd = -1;
  this->Map = nullptr;
  this->Size = 0;
}

std::string SealedFileCopy::ProcPath() const {
  return "/proc/self/fd/" + std::to_string(this->Fd);
}

Result CopyRegularFileSealed(const std::string& path, SealedFileCopy& copy, bool skipUtf8Bom,
                             std::uint64_t maxBytes, const CopyConsumer& consume) {
  copy.Reset();
  Descriptor file{-1};
  std::uint64_t size = 0;
  if (Result opened = OpenRegular(path, maxBytes, file, size); !opened.Ok())
    return opened;
  // Whether the file starts with a mark is decided on bytes read before the copy; the file may
  // change meanwhile, but only the copy is ever checked and read, so that changes nothing but
  // which bytes are refused.
  off_t start = 0;
  if (skipUtf8Bom && size >= 3) {
    char head[3];
    ssize_t got;
    do
      got = ::pread(file.Fd, head, 3, 0);
    while (got < 0 && errno == EINTR);
    if (got < 0)
      return ReadFailure(errno);
    if (got == 3 && Utf8BomLength(std::string_view(head, 3)) == 3) {
      start = 3;
      size -= 3;
    }
  }
  // A file size limit applies to memory files too, and going past it raises SIGXFSZ.
  struct rlimit limit;
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      size > static_cast<std::uint64_t>(limit.rlim_cur))
    return Problem(ErrorCode::NoMemoryFile,
                   "the file size limit leaves no room for a copy of the file in memory");
  SealedFileCopy made;
  made.Fd = ::memfd_create("selvane-input", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (made.Fd < 0)
    return Problem(errno == ENOSYS || errno == EINVAL ? ErrorCode::NoMemoryFile
                                                      : ErrorCode::OutOfMemory,
                   std::string("cannot make room for the file: ") + std::strerror(errno));
  // The copy gets its final size first, so that it can be mapped and read while it fills.
  if (size > 0) {
    if (size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
        ::ftruncate(made.Fd, static_cast<off_t>(size)) != 0)
      return Problem(ErrorCode::OutOfMemory,
                     "not enough memory to hold the file (" + std::to_string(size) + " bytes)");
    made.Size = static_cast<std::size_t>(size);
    // Private and read-only: it still shows the file's pages as they fill, and a shared mapping
    // of a writable descriptor would forbid the write seal.
    void* map = ::mmap(nullptr, made.Size, PROT_READ, MAP_PRIVATE, made.Fd, 0);
    if (map == MAP_FAILED) {
      made.Size = 0;
      return Problem(ErrorCode::OutOfMemory,
                     std::string("cannot map the file into memory: ") + std::strerror(errno));
    }
    made.Map = map;
  }
  Result copied;
  bool complete = true;
  CopyProgress progress;
  std::atomic<bool> givenUp{false};
  auto copyAll = [&] {
    copied = CopyExactly(file.Fd, made.Fd, start, size, [&](std::uint64_t done) {
      progress.Publish(done, false);
      return !givenUp.load(std::memory_order_relaxed);
    });
    progress.Publish(0, true);
  };
  std::thread copier;
  if (consume) {
    try {
      // The copy is made on another thread while consume reads on this one, each on its own
      // core.
      copier = std::thread(copyAll);
    } catch (const std::system_error&) {
      copyAll(); // no thread to be had: one after the other
    }
  } else {
    copyAll();
  }
  if (consume) {
    // Joined on every path out; given up unless consume asked for the rest (an exception too).
    struct Join {
      std::thread& Thread;
      std::atomic<bool>& GivenUp;
      bool Keep = false;
      ~Join() {
        if (!this->Keep)
          this->GivenUp = true;
        if (this->Thread.joinable())
          this->Thread.join();
      }
    } join{copier, givenUp};
    join.Keep =
        consume(made.Size > 0 ? static_cast<const char*>(made.Map) : "", made.Size, progress);
    complete = join.Keep;
  }
  if (!copied.Ok())
    return copied;
  if (::fcntl(made.Fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0)
    return ReadFailure(errno);
  if (complete)
    copy = std::move(made);
  return {};
}

Result ReadRegularFile(const std::string& path, std::string& contents, std::uint64_t maxBytes) {
  contents.clear();
  Result r = ReadRegularFileInto(path, GrowString, &contents, maxBytes);
  if (!r.Ok()) {
    contents.clear();
    contents.shrink_to_fit();
  }
  return r;
}

} // namespace selvane::formats
