// The atomic file writer and the checked reader: success, refusals and failures that must leave
// the old file untouched and no temporary file behind.
#include "AtomicFile.h"
#include "FileSizeLimit.h"
#include "KeptReason.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

using namespace selvane::formats;
using selvane::test::Kept;

namespace {

class AtomicFileTest : public ::testing::Test {
protected:
  std::string Path(const std::string& name) const { return Dir + "/" + name; }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static void Put(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  static std::set<std::string> Entries(const std::string& dir) {
    std::set<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
      return names;
    while (dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..")
        names.insert(n);
    }
    ::closedir(d);
    return names;
  }

  const selvane::TempDir Folder;
  const std::string Dir = Folder.Path();
};

mode_t CurrentUmask() {
  const mode_t m = ::umask(022);
  ::umask(m);
  return m;
}

// Fake system calls: the Nth write fails after writing part of its data, fsync or close fail.
int gWriteCalls = 0;
ssize_t WriteHalfThenFail(int fd, const void* data, std::size_t size) {
  if (++gWriteCalls == 1)
    return ::write(fd, data, size / 2);
  errno = ENOSPC;
  return -1;
}
ssize_t WriteShortChunks(int fd, const void* data, std::size_t size) {
  ++gWriteCalls;
  return ::write(fd, data, size < 3 ? size : 3);
}
ssize_t WriteInterrupted(int fd, const void* data, std::size_t size) {
  if (++gWriteCalls % 2 == 1) {
    errno = EINTR;
    return -1;
  }
  return ::write(fd, data, size);
}
int FsyncFails(int) {
  errno = EIO;
  return -1;
}
int CloseFails(int fd) {
  ::close(fd);
  errno = EIO;
  return -1;
}

} // namespace

TEST_F(AtomicFileTest, CreatesANewFileWithTheUsualPermissions) {
  const std::string target = Path("a.pts");
  std::string reason = "stale";
  ASSERT_TRUE(Kept(WriteFileAtomically(target, "# Points\n1.000000 2.000000 3.000000\n"), reason));
  EXPECT_EQ(reason, "");
  EXPECT_EQ(Read(target), "# Points\n1.000000 2.000000 3.000000\n");
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0666 & ~CurrentUmask());
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"a.pts"}));
}

TEST_F(AtomicFileTest, ReplacesAnExistingFileAndKeepsItsPermissions) {
  const std::string target = Path("b.ptt");
  Put(target, "old contents that are longer than the new ones\n");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(target, "new\n"));
  EXPECT_EQ(Read(target), "new\n");
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"b.ptt"}));
  // An empty file is a valid result too.
  ASSERT_TRUE(WriteFileAtomically(target, ""));
  EXPECT_EQ(Read(target), "");
}

TEST_F(AtomicFileTest, RelativeTargetInTheCurrentFolder) {
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(Dir.c_str()), 0);
  const bool ok = WriteFileAtomically("rel.cid", "# Cells IDs\n").Ok();
  ASSERT_EQ(::chdir(cwd), 0);
  ASSERT_TRUE(ok);
  EXPECT_EQ(Read(Path("rel.cid")), "# Cells IDs\n");
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"rel.cid"}));
}

TEST_F(AtomicFileTest, LongTargetNamesStillGetATemporaryFile) {
  const std::string target = Path(std::string(250, 'n'));
  ASSERT_TRUE(WriteFileAtomically(target, "x\n"));
  EXPECT_EQ(Read(target), "x\n");
  EXPECT_EQ(Entries(Dir).size(), 1u);
}

TEST_F(AtomicFileTest, RefusesAFolder) {
  const std::string target = Path("folder");
  ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
  Put(target + "/inside", "keep\n");
  std::string reason;
  EXPECT_FALSE(Kept(WriteFileAtomically(target, "data\n"), reason));
  EXPECT_NE(reason.find("folder"), std::string::npos) << reason;
  EXPECT_NE(reason.find(target), std::string::npos) << reason;
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(Read(target + "/inside"), "keep\n");
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"folder"}));
  // A name that ends in a slash names a folder too.
  EXPECT_FALSE(Kept(WriteFileAtomically(Path("nofolder/"), "data\n"), reason));
  EXPECT_FALSE(Kept(WriteFileAtomically(Dir + "/.", "data\n"), reason));
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"folder"}));
}

TEST_F(AtomicFileTest, RefusesAPathInAFolderThatDoesNotExist) {
  std::string reason;
  EXPECT_FALSE(Kept(WriteFileAtomically(Path("missing/a.pts"), "data\n"), reason));
  EXPECT_NE(reason.find(std::strerror(ENOENT)), std::string::npos) << reason;
  EXPECT_TRUE(Entries(Dir).empty());
  EXPECT_FALSE(Kept(WriteFileAtomically("", "data\n"), reason));
  EXPECT_FALSE(reason.empty());
}

TEST_F(AtomicFileTest, RefusesAFifo) {
  const std::string fifo = Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  std::string reason;
  EXPECT_FALSE(Kept(WriteFileAtomically(fifo, "data\n"), reason));
  EXPECT_NE(reason.find("not a regular file"), std::string::npos) << reason;
  struct stat st;
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"pipe"}));
}

TEST_F(AtomicFileTest, WritesThroughASymbolicLink) {
  ASSERT_EQ(::mkdir(Path("real").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(Path("links").c_str(), 0755), 0);
  const std::string real = Path("real/model.ptt");
  Put(real, "old\n");
  const std::string link = Path("links/model.ptt");
  ASSERT_EQ(::symlink("../real/model.ptt", link.c_str()), 0);
  ASSERT_TRUE(WriteFileAtomically(link, "new\n"));
  struct stat st;
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)); // the link stays a link
  EXPECT_EQ(Read(real), "new\n");
  EXPECT_EQ(Entries(Path("real")), (std::set<std::string>{"model.ptt"}));
  EXPECT_EQ(Entries(Path("links")), (std::set<std::string>{"model.ptt"}));
}

TEST_F(AtomicFileTest, RefusesADanglingSymbolicLink) {
  const std::string link = Path("dangling.pts");
  ASSERT_EQ(::symlink("nowhere/x.pts", link.c_str()), 0);
  std::string reason;
  EXPECT_FALSE(Kept(WriteFileAtomically(link, "data\n"), reason));
  EXPECT_NE(reason.find("symbolic link"), std::string::npos) << reason;
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"dangling.pts"}));
  // A symbolic link to a folder is a folder.
  ASSERT_EQ(::mkdir(Path("d").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("d", Path("dl").c_str()), 0);
  EXPECT_FALSE(Kept(WriteFileAtomically(Path("dl"), "data\n"), reason));
  EXPECT_NE(reason.find("folder"), std::string::npos) << reason;
  EXPECT_TRUE(Entries(Path("d")).empty());
}

TEST_F(AtomicFileTest, WriteFailingHalfwayKeepsTheOldFile) {
  const std::string target = Path("full.ptt");
  Put(target, "precious\n");
  gWriteCalls = 0;
  const FileOps ops = {&WriteHalfThenFail, PosixFileOps().Fsync, PosixFileOps().Close};
  std::string reason;
  EXPECT_FALSE(Kept(WriteFileAtomically(target, std::string(10000, 'x'), ops), reason));
  EXPECT_EQ(gWriteCalls, 2);
  EXPECT_NE(reason.find(std::strerror(ENOSPC)), std::string::npos) << reason;
  EXPECT_EQ(Read(target), "precious\n");
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"full.ptt"}));
}

TEST_F(AtomicFileTest, ShortAndInterruptedWritesAreCompleted) {
  const std::string target = Path("short.txt");
  const std::string text = "0123456789abcdefghij\n";
  gWriteCalls = 0;
  FileOps ops = {&WriteShortChunks, PosixFileOps().Fsync, PosixFileOps().Close};
  ASSERT_TRUE(WriteFileAtomically(target, text, ops));
  EXPECT_EQ(gWriteCalls, 7); // 21 bytes in pieces of 3
  EXPECT_EQ(Read(target), text);
  gWriteCalls = 0;
  ops.Write = &WriteInterrupted;
  ASSERT_TRUE(WriteFileAtomically(target, text + text, ops));
  EXPECT_EQ(Read(target), text + text);
}

TEST_F(AtomicFileTest, FsyncOrCloseFailureKeepsTheOldFile) {
  const std::string target = Path("sync.pid");
  Put(target, "precious\n");
  std::string reason;
  FileOps ops = PosixFileOps();
  ops.Fsync = &FsyncFails;
  EXPECT_FALSE(Kept(WriteFileAtomically(target, "new\n", ops), reason));
  EXPECT_NE(reason.find(std::strerror(EIO)), std::string::npos) << reason;
  EXPECT_EQ(Read(target), "precious\n");
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"sync.pid"}));

  ops = PosixFileOps();
  ops.Close = &CloseFails;
  EXPECT_FALSE(Kept(WriteFileAtomically(target, "new\n", ops), reason));
  EXPECT_EQ(Read(target), "precious\n");
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"sync.pid"}));
}

TEST_F(AtomicFileTest, FileSizeLimitInAChildProcessKeepsTheOldFile) {
  // A real failing write(2): the kernel refuses to grow a file past RLIMIT_FSIZE (EFBIG) after
  // writing the first part, as a full disk would.
  const std::string target = Path("limited.ptt");
  Put(target, "precious\n");
  EXPECT_TRUE(selvane::test::FailsPastFileSizeLimit(4096, [&](std::string& reason) {
    return Kept(WriteFileAtomically(target, std::string(100000, 'y')), reason);
  }));
  EXPECT_EQ(Read(target), "precious\n");
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"limited.ptt"}));
}

TEST_F(AtomicFileTest, WriterWithItsOwnPath) {
  const std::string target = Path("model.vtk");
  Put(target, "precious\n");
  std::string seenTemp;
  auto good = [&](const std::string& temp) {
    seenTemp = temp;
    std::ofstream out(temp, std::ios::trunc);
    out << "# vtk DataFile Version 4.2\n";
    return out ? selvane::Result::Success()
               : selvane::Result::Failure(selvane::ErrorCode::CannotWrite, "stream failed");
  };
  std::string reason;
  ASSERT_TRUE(Kept(WriteFileAtomicallyWith(target, good), reason)) << reason;
  EXPECT_EQ(Read(target), "# vtk DataFile Version 4.2\n");
  EXPECT_EQ(seenTemp.rfind(Dir + "/", 0), 0u) << seenTemp; // beside the target
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"model.vtk"}));
}

TEST_F(AtomicFileTest, FailingWriterWithItsOwnPathKeepsTheOldFile) {
  const std::string target = Path("model.vtk");
  Put(target, "precious\n");
  std::string reason;

  // The writer writes part of the file, then reports failure.
  auto partial = [](const std::string& temp) {
    std::ofstream(temp) << "# vtk Da";
    return selvane::Result::Failure(selvane::ErrorCode::CannotWrite, "Error writing points");
  };
  EXPECT_FALSE(Kept(WriteFileAtomicallyWith(target, partial), reason));
  EXPECT_NE(reason.find("Error writing points"), std::string::npos) << reason;
  EXPECT_EQ(Read(target), "precious\n");
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"model.vtk"}));

  // The writer removes its file (as vtkPolyDataWriter does on failure) but claims success.
  auto vanishing = [](const std::string& temp) {
    ::unlink(temp.c_str());
    return selvane::Result::Success();
  };
  EXPECT_FALSE(Kept(WriteFileAtomicallyWith(target, vanishing), reason));
  EXPECT_EQ(Read(target), "precious\n");
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"model.vtk"}));

  // The writer throws: the temporary file goes, the exception passes on.
  auto throwing = [](const std::string& temp) -> selvane::Result {
    std::ofstream(temp) << "partial";
    throw std::runtime_error("allocation failure");
  };
  EXPECT_THROW(Kept(WriteFileAtomicallyWith(target, throwing), reason), std::runtime_error);
  EXPECT_EQ(Read(target), "precious\n");
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"model.vtk"}));

  // Fsync failure after a good writer.
  FileOps ops = PosixFileOps();
  ops.Fsync = &FsyncFails;
  auto good = [](const std::string& temp) {
    std::ofstream(temp) << "new";
    return selvane::Result::Success();
  };
  EXPECT_FALSE(Kept(WriteFileAtomicallyWith(target, good, ops), reason));
  EXPECT_EQ(Read(target), "precious\n");
  EXPECT_EQ(Entries(Dir), (std::set<std::string>{"model.vtk"}));

  // The same refusals as the plain form.
  ASSERT_EQ(::mkdir(Path("f").c_str(), 0755), 0);
  EXPECT_FALSE(Kept(WriteFileAtomicallyWith(Path("f"), good), reason));
  EXPECT_FALSE(Kept(WriteFileAtomicallyWith(Path("none/x.vtk"), good), reason));
}

TEST_F(AtomicFileTest, ReadFileContents) {
  const std::string path = Path("in.pid");
  std::string big(200000, 'z');
  Put(path, "# Points IDs\n1\n" + big);
  std::string contents, reason;
  ASSERT_TRUE(Kept(ReadFileContents(path, contents), reason));
  EXPECT_EQ(contents, "# Points IDs\n1\n" + big);
  EXPECT_EQ(reason, "");

  EXPECT_EQ(ReadFileContents(Dir, contents).Code, selvane::ErrorCode::CannotOpen);
  EXPECT_FALSE(Kept(ReadFileContents(Dir, contents), reason));
  EXPECT_NE(reason.find("a folder"), std::string::npos) << reason;
  EXPECT_TRUE(contents.empty());
  EXPECT_EQ(ReadFileContents(Path("missing"), contents).Code, selvane::ErrorCode::CannotOpen);
  EXPECT_FALSE(Kept(ReadFileContents(Path("missing"), contents), reason));
  EXPECT_NE(reason.find(std::strerror(ENOENT)), std::string::npos) << reason;
}
