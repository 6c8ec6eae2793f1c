// Safe file output for every export, and checked whole-file input for the imports.
//
// WriteFileAtomically writes to a new temporary file in the target's folder, checks every write,
// the fsync and the close, and only then renames the temporary file over the target. On any
// failure the temporary file is removed, the old target is left untouched, and the reason is
// returned. So no failure is reported as success and no existing file is lost, even when the
// disk fills halfway through.
//
// Targets:
// - a folder, or anything else that is not a regular file (a device such as /dev/null, a FIFO,
//   a socket), is refused: renaming over it would replace it;
// - a symbolic link is written through: its final target (all links resolved) is replaced, the
//   temporary file is made in that file's folder, and the link itself stays as it is. A link
//   that leads nowhere (dangling, or a loop) is refused, so nothing is created at a place the
//   user did not see;
// - an existing target keeps its permission bits (and, when running as root, its owner); a new
//   one gets 0666 less the umask, as fopen would give it;
// - an existing target that the process may not write (access(W_OK)) is refused, as fopen
//   "w" would refuse it, although the folder would allow the rename;
// - hard links to an existing target are not kept (the rename gives the name a new file).
#ifndef SELVANE_ATOMIC_FILE_H
#define SELVANE_ATOMIC_FILE_H

#include "Result.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace selvane::formats {

// The system calls used on the temporary file; tests inject failures through them.
struct FileOps {
  ssize_t (*Write)(int fd, const void* data, std::size_t size);
  int (*Fsync)(int fd);
  int (*Close)(int fd);
};
// write(2), fsync(2), close(2).
const FileOps& PosixFileOps();

// Writes contents to target as described above. On failure the code is CannotWrite and the
// reason a sentence naming the path and the cause, e.g.
// "Cannot write '/home/u/a.pts': No space left on device".
Result WriteFileAtomically(const std::string& target, std::string_view contents,
                           const FileOps& ops = PosixFileOps());

// For writers that need a path of their own (the VTK writers): writeTemp is called with the path
// of the new, empty temporary file and must write the whole file there, or fail with its
// reason. The file is then checked (it must still be a regular file), synced and renamed over
// the target; any failure removes it and leaves the target untouched.
using TempFileWriter = std::function<Result(const std::string& tempPath)>;
Result WriteFileAtomicallyWith(const std::string& target, const TempFileWriter& writeTemp,
                               const FileOps& ops = PosixFileOps());

// Reads a whole regular file (InputFile.h: anything else is refused without blocking) and
// reports read errors, which std::ifstream would give as an empty or short file. On failure
// the reason names the path ("Cannot read '<path>': <cause>"); the code is CannotOpen for a
// file that cannot be opened or is no regular file, else Unreadable or OutOfMemory.
Result ReadFileContents(const std::string& path, std::string& contents);

} // namespace selvane::formats

#endif
