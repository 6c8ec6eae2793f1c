#include "TempFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include <unistd.h>

namespace selvane::fuzz {

namespace {

// Removes the scratch files when the process ends normally.
class ScratchFiles {
public:
  ~ScratchFiles() {
    for (const auto& entry : this->Paths) {
      std::error_code ignored;
      std::filesystem::remove(entry.second, ignored);
    }
  }
  const std::string& PathFor(const char* suffix) {
    auto found = this->Paths.find(suffix);
    if (found == this->Paths.end()) {
      const std::string name = "selvane-fuzz-" + std::to_string(::getpid()) + "-" +
                               std::to_string(this->Paths.size()) + suffix;
      found = this->Paths.emplace(suffix, (std::filesystem::temp_directory_path() / name).string())
                  .first;
    }
    return found->second;
  }

private:
  std::map<std::string, std::string> Paths;
};

ScratchFiles& Files() {
  static ScratchFiles files;
  return files;
}

} // namespace

std::string WriteScratchFile(const std::uint8_t* data, std::size_t size, const char* suffix) {
  const std::string& path = Files().PathFor(suffix);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  return out ? path : std::string();
}

} // namespace selvane::fuzz
