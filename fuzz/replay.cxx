// Runs a fuzz target's entry point once over each file of the folders (or files) given, so the
// normal test suite replays the regression inputs and seeds without libFuzzer. A crash, a
// sanitizer report or a failed invariant of the target fails the test.
#include "FuzzTarget.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool Replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
    return false;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return true;
}

} // namespace

int main(int argc, char** argv) {
  // Under the environment's locale, so that a run with a comma as decimal point replays too.
  if (!std::setlocale(LC_ALL, "")) {
    std::fprintf(stderr, "The locale named by the environment is not installed.\n");
    return 1;
  }
  int replayed = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const fs::path where(argv[i]);
    std::error_code error;
    if (fs::is_regular_file(where, error)) {
      ok &= Replay(where);
      ++replayed;
      continue;
    }
    if (!fs::is_directory(where, error)) {
      std::fprintf(stderr, "%s: no such file or folder\n", argv[i]);
      ok = false;
      continue;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(where)) {
      // Dot files (.gitkeep) only keep empty folders in the repository.
      if (entry.is_regular_file() && entry.path().filename().string().front() != '.') {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      ok &= Replay(file);
      ++replayed;
    }
  }
  std::printf("replayed %d inputs\n", replayed);
  return ok ? 0 : 1;
}
