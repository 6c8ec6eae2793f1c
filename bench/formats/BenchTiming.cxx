#include "BenchTiming.h"

#include "BumpySurface.h"

#include <vtkPolyData.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace selvane::bench {

namespace {

// Kilobytes of a line "Key:   123 kB" of /proc/self/status.
long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(status, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) {
      return std::atol(line.c_str() + prefix.size());
    }
  }
  return -1;
}

} // namespace

OpenBenchmark::OpenBenchmark(int argc, char** argv, const std::string& folderPrefix) {
  this->OwnFolder = argc < 2;
  this->Folder = this->OwnFolder ? std::filesystem::temp_directory_path() /
                                       (folderPrefix + std::to_string(::getpid()))
                                 : std::filesystem::path(argv[1]);
  this->Repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::filesystem::create_directories(this->Folder);
  this->Model = BumpySurface(1000, 500);
  std::printf("model: bumpy closed surface, %lld points, %lld triangles; best of %d runs\n",
              static_cast<long long>(this->Model->GetNumberOfPoints()),
              static_cast<long long>(this->Model->GetNumberOfPolys()), this->Repeats);
}

OpenBenchmark::~OpenBenchmark() {
  if (this->OwnFolder) {
    std::error_code ignored;
    std::filesystem::remove_all(this->Folder, ignored);
  }
}

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

BestTimes TimeBestOf(int repeats, const std::function<void()>& alone,
                     const std::function<void()>& bare, const std::function<void()>& ours) {
  BestTimes best;
  for (int r = 0; r < repeats; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    alone();
    best.Alone = std::min(best.Alone, Seconds(t0));
    for (int k = 0; k < 2; ++k) {
      t0 = std::chrono::steady_clock::now();
      if ((k + r) % 2 == 0) {
        bare();
        best.Bare = std::min(best.Bare, Seconds(t0));
      } else {
        ours();
        best.Ours = std::min(best.Ours, Seconds(t0));
      }
    }
  }
  return best;
}

int PrintPeakKilobytes(ReadOnceFunction readOnce, const std::string& mode,
                       const std::string& path) {
  const long before = StatusKb("VmRSS");
  if (!readOnce(mode, path)) {
    return 1;
  }
  std::printf("%ld\n", StatusKb("VmHWM") - before);
  return 0;
}

double PeakMegabytes(const std::string& self, const std::string& mode, const std::string& path) {
  const std::string command = "'" + self + "' --peak " + mode + " '" + path + "'";
  FILE* child = ::popen(command.c_str(), "r");
  if (!child) {
    return -1;
  }
  long kb = -1;
  if (std::fscanf(child, "%ld", &kb) != 1) {
    kb = -1;
  }
  const int status = ::pclose(child);
  return status == 0 && kb >= 0 ? static_cast<double>(kb) / 1024.0 : -1;
}

} // namespace selvane::bench
