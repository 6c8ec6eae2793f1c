// What selvane-fit and selvane-deform share: the version, a quiet standard output while the
// solver reports, elapsed time, the solver path's name and the final check of standard output.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace selvane::tools {

// The project's version, as CMake knows it.
const char* Version();

// While alive, standard output (C and C++ streams alike) goes to /dev/null: the solver writes
// its report lines there, which --quiet and --json keep off the terminal and the JSON.
class SilencedStdout {
public:
  SilencedStdout();
  ~SilencedStdout();
  SilencedStdout(const SilencedStdout&) = delete;
  SilencedStdout& operator=(const SilencedStdout&) = delete;

private:
  int Saved = -1;
};

class Stopwatch {
public:
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
  }

private:
  std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
};

// "envelope" or "sparse" for a vtkMatrixSolver path.
const char* SolverPathName(int path);

// Where report lines and warnings go: the terminal as before, standard error (quiet) or the
// JSON summary (json), which takes Warnings.
struct ToolReport {
  bool Quiet = false;
  bool Json = false;
  std::vector<std::string> Warnings;

  bool Terminal() const { return !this->Quiet && !this->Json; }
  void Line(const std::string& text) const;
  void Warning(const std::string& text);
};

// "" when everything written to standard output reached it, else the reason (a full disk).
std::string FinishStdout();

} // namespace selvane::tools
