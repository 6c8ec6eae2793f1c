// The timing loop the open benchmarks share: best of N runs with the bare and the checked read
// in alternating order, and the peak memory one read adds, measured in a fresh process.
#pragma once

#include <vtkSmartPointer.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

class vtkPolyData;

namespace selvane::bench {

// What an open benchmark works on, from `PROGRAM [FOLDER] [REPEATS]`: the folder its files go
// to (FOLDER, or a new one under the temporary folder, removed with this object), the repeats
// (default 5) and the 1,000,000-triangle bumpy surface, announced on standard output.
struct OpenBenchmark {
  OpenBenchmark(int argc, char** argv, const std::string& folderPrefix);
  ~OpenBenchmark();
  OpenBenchmark(const OpenBenchmark&) = delete;
  OpenBenchmark& operator=(const OpenBenchmark&) = delete;

  std::filesystem::path Folder;
  bool OwnFolder = false;
  int Repeats = 5;
  vtkSmartPointer<vtkPolyData> Model;
};

double Seconds(const std::chrono::steady_clock::time_point& start);

struct BestTimes {
  double Alone = 1e30; // the check or scan alone, on bytes in memory
  double Bare = 1e30;
  double Ours = 1e30;
};

// Best of `repeats` runs of each; the two reads alternate which goes first, so that neither
// always finds the file cached.
BestTimes TimeBestOf(int repeats, const std::function<void()>& alone,
                     const std::function<void()>& bare, const std::function<void()>& ours);

// One read (mode "bare" or "checked") of path, once, in this process; false when it failed.
using ReadOnceFunction = bool (*)(const std::string& mode, const std::string& path);

// In the fresh process started by PeakMegabytes (a program run as `PROGRAM --peak MODE PATH`):
// reads once and prints the kilobytes the read added to the peak resident memory. Returns the
// process's exit status.
int PrintPeakKilobytes(ReadOnceFunction readOnce, const std::string& mode, const std::string& path);

// Megabytes by which a read of path raises the peak resident memory of a fresh process (self
// run with --peak), so that no memory freed by earlier reads is reused; -1 when it cannot be
// measured.
double PeakMegabytes(const std::string& self, const std::string& mode, const std::string& path);

} // namespace selvane::bench
