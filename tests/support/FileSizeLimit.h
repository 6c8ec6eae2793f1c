// A write that the kernel cuts short: the file may not grow past a limit (RLIMIT_FSIZE), as on
// a full disk. The write runs in a child process, so the limit never reaches the test itself.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace selvane::test {

// Success when write(reason) returns false with a reason that names EFBIG.
inline testing::AssertionResult
FailsPastFileSizeLimit(rlim_t limit, const std::function<bool(std::string& reason)>& write) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0)
    return testing::AssertionFailure() << "fork failed";
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim = {limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &lim) != 0)
      ::_exit(3);
    std::string reason;
    if (write(reason))
      ::_exit(1);
    ::_exit(reason.find(std::strerror(EFBIG)) != std::string::npos ? 0 : 2);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
    return testing::AssertionFailure() << "the writing process did not end normally";
  switch (WEXITSTATUS(status)) {
  case 0:
    return testing::AssertionSuccess();
  case 1:
    return testing::AssertionFailure() << "the cut-short write was reported as done";
  case 2:
    return testing::AssertionFailure() << "the reason does not name " << std::strerror(EFBIG);
  default:
    return testing::AssertionFailure() << "the file size limit could not be set";
  }
}

} // namespace selvane::test
