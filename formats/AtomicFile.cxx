#include "AtomicFile.h"

#include "InputFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace selvane::formats {

namespace {

ssize_t PosixWrite(int fd, const void* data, std::size_t size) {
  return ::write(fd, data, size);
}
int PosixFsync(int fd) {
  return ::fsync(fd);
}
int PosixClose(int fd) {
  return ::close(fd);
}

std::string Quote(const std::string& path) {
  return "'" + path + "'";
}

// Where and how to write: the file that the rename will replace.
struct Destination {
  std::string Final;  // the path renamed over: the target, or its link's final target
  std::string Folder; // Final's folder
  std::string Name;   // Final's last component
  bool Exists = false;
  struct stat Stat = {};
};

bool Fail(std::string& reason, const std::string& target, const std::string& cause) {
  reason = "Cannot write " + Quote(target) + ": " + cause;
  return false;
}

bool ResolveDestination(const std::string& target, Destination& d, std::string& reason) {
  if (target.empty()) {
    reason = "Cannot write: no file name was given";
    return false;
  }
  std::string path = target;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) {
      char* real = ::realpath(path.c_str(), nullptr);
      if (!real) {
        return Fail(reason, target,
                    std::string("it is a symbolic link that leads to no file (") +
                        std::strerror(errno) + ")");
      }
      path = real;
      std::free(real);
      if (::stat(path.c_str(), &st) != 0)
        return Fail(reason, target, std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode))
      return Fail(reason, target, "it is a folder");
    if (!S_ISREG(st.st_mode))
      return Fail(reason, target, "it is not a regular file");
    if (::access(path.c_str(), W_OK) != 0)
      return Fail(reason, target, std::strerror(errno));
    d.Exists = true;
    d.Stat = st;
  } else if (errno != ENOENT) {
    return Fail(reason, target, std::strerror(errno));
  }
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    d.Folder = ".";
    d.Name = path;
  } else {
    d.Folder = slash == 0 ? "/" : path.substr(0, slash);
    d.Name = path.substr(slash + 1);
  }
  if (d.Name.empty() || d.Name == "." || d.Name == "..")
    return Fail(reason, target, "it names a folder");
  d.Final = path;
  return true;
}

// Creates a new empty temporary file beside the destination, with the destination's
// permissions when it exists. Returns the open descriptor, or -1 with a reason.
int CreateTemporary(const Destination& d, const std::string& target, std::string& tempPath,
                    std::string& reason) {
  static unsigned long counter = 0;
  // Keep the temporary name within NAME_MAX whatever the target's name.
  const std::string stem = d.Name.substr(0, 180);
  const std::string folder = d.Folder == "/" ? std::string() : d.Folder;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    tempPath = folder + "/." + stem + "." + std::to_string(::getpid()) + "." +
               std::to_string(++counter) + ".tmp";
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      if (d.Exists) {
        // Keep the user's permissions (and owner, where allowed); failures are not fatal.
        (void)::fchmod(fd, d.Stat.st_mode & 07777);
        if (::geteuid() == 0)
          (void)::fchown(fd, d.Stat.st_uid, d.Stat.st_gid);
      }
      return fd;
    }
    if (errno != EEXIST) {
      const int e = errno;
      Fail(reason, target,
           "cannot create a temporary file in the folder " + Quote(d.Folder) + " (" +
               std::strerror(e) + ")");
      tempPath.clear();
      return -1;
    }
  }
  Fail(reason, target, "cannot find a free temporary file name");
  tempPath.clear();
  return -1;
}

bool WriteAll(int fd, std::string_view data, const FileOps& ops, int& error) {
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    const ssize_t n = ops.Write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      error = errno;
      return false;
    }
    if (n == 0) {
      error = ENOSPC;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// Flushes the folder's entry for the renamed file; best effort (the rename has happened).
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    (void)::fsync(fd);
    ::close(fd);
  }
}

bool Finish(const std::string& tempPath, const Destination& d, const std::string& target,
            std::string& reason) {
  if (::rename(tempPath.c_str(), d.Final.c_str()) != 0) {
    const int e = errno;
    ::unlink(tempPath.c_str());
    return Fail(reason, target, std::strerror(e));
  }
  SyncFolder(d.Folder);
  return true;
}

Result Report(bool ok, const std::string& why) {
  return ok ? Result::Success() : Result::Failure(ErrorCode::CannotWrite, why);
}

} // namespace

const FileOps& PosixFileOps() {
  static const FileOps ops = {&PosixWrite, &PosixFsync, &PosixClose};
  return ops;
}

Result WriteFileAtomically(const std::string& target, std::string_view contents,
                           const FileOps& ops) {
  std::string why;
  Destination d;
  if (!ResolveDestination(target, d, why))
    return Report(false, why);
  std::string tempPath;
  const int fd = CreateTemporary(d, target, tempPath, why);
  if (fd < 0)
    return Report(false, why);

  int error = 0;
  if (!WriteAll(fd, contents, ops, error)) {
    ::close(fd);
    ::unlink(tempPath.c_str());
    Fail(why, target, std::strerror(error));
    return Report(false, why);
  }
  if (ops.Fsync(fd) != 0) {
    error = errno;
    ::close(fd);
    ::unlink(tempPath.c_str());
    Fail(why, target, std::strerror(error));
    return Report(false, why);
  }
  // close(2) releases the descriptor even when it reports an error: never close twice.
  if (ops.Close(fd) != 0) {
    error = errno;
    ::unlink(tempPath.c_str());
    Fail(why, target, std::strerror(error));
    return Report(false, why);
  }
  return Report(Finish(tempPath, d, target, why), why);
}

Result WriteFileAtomicallyWith(const std::string& target, const TempFileWriter& writeTemp,
                               const FileOps& ops) {
  std::string why;
  Destination d;
  if (!ResolveDestination(target, d, why))
    return Report(false, why);
  std::string tempPath;
  int fd = CreateTemporary(d, target, tempPath, why);
  if (fd < 0)
    return Report(false, why);
  if (::close(fd) != 0) {
    const int e = errno;
    ::unlink(tempPath.c_str());
    Fail(why, target, std::strerror(e));
    return Report(false, why);
  }

  Result written = Result::Failure(ErrorCode::CannotWrite, "");
  try {
    if (writeTemp)
      written = writeTemp(tempPath);
  } catch (...) {
    ::unlink(tempPath.c_str());
    throw;
  }
  if (!written) {
    ::unlink(tempPath.c_str());
    Fail(why, target, written.Reason.empty() ? std::string("the writer failed") : written.Reason);
    return Report(false, why);
  }

  // The writer must have left a regular file at the temporary path (VTK's writer removes its
  // file on some failures); sync and close it through the checked operations.
  fd = ::open(tempPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int e = fd < 0 ? errno : EINVAL;
    if (fd >= 0)
      ::close(fd);
    ::unlink(tempPath.c_str());
    Fail(why, target, std::string("the written file is missing (") + std::strerror(e) + ")");
    return Report(false, why);
  }
  if (ops.Fsync(fd) != 0) {
    const int e = errno;
    ::close(fd);
    ::unlink(tempPath.c_str());
    Fail(why, target, std::strerror(e));
    return Report(false, why);
  }
  if (ops.Close(fd) != 0) {
    const int e = errno;
    ::unlink(tempPath.c_str());
    Fail(why, target, std::strerror(e));
    return Report(false, why);
  }
  return Report(Finish(tempPath, d, target, why), why);
}

Result ReadFileContents(const std::string& path, std::string& contents) {
  const Result read = ReadRegularFile(path, contents);
  if (read.Ok())
    return Result::Success();
  return Result::Failure(read.Code, "Cannot read " + Quote(path) + ": " + read.Reason);
}

} // namespace selvane::formats
