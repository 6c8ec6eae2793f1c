#include "ToolSupport.h"

#include "vtkMatrixSolver.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace selvane::tools {

const char* Version() {
  return SELVANE_VERSION;
}

SilencedStdout::SilencedStdout() {
  std::cout.flush();
  std::fflush(stdout);
  const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  Saved = sink < 0 ? -1 : ::dup(STDOUT_FILENO);
  if (Saved >= 0 && ::dup2(sink, STDOUT_FILENO) < 0) {
    ::close(Saved);
    Saved = -1;
  }
  if (sink >= 0)
    ::close(sink);
}

SilencedStdout::~SilencedStdout() {
  std::cout.flush();
  std::fflush(stdout);
  if (Saved >= 0) {
    ::dup2(Saved, STDOUT_FILENO);
    ::close(Saved);
  }
}

const char* SolverPathName(int path) {
  return path == vtkMatrixSolver::SparsePath ? "sparse" : "envelope";
}

std::string FinishStdout() {
  std::cout.flush();
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout)
    return errno != 0 ? std::strerror(errno) : "a write failed";
  return {};
}

void ToolReport::Line(const std::string& text) const {
  if (this->Terminal())
    std::printf("%s\n", text.c_str());
}

void ToolReport::Warning(const std::string& text) {
  if (this->Json)
    this->Warnings.push_back(text);
  else if (this->Quiet)
    std::fprintf(stderr, "%s\n", text.c_str());
  else
    std::printf("%s\n", text.c_str());
}

} // namespace selvane::tools
