// The one temporary folder of the tests, the benchmarks and the fuzz targets: made under the
// system's temporary folder with a unique name, removed with everything in it when it goes.
#ifndef SELVANE_TEST_TEMP_FOLDER_H
#define SELVANE_TEST_TEMP_FOLDER_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace selvane {

class TempDir {
public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "selvane-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      throw std::runtime_error("cannot make a temporary folder");
    this->Root = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(this->Root, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return this->Root; }
  std::string File(const std::string& name) const { return this->Root + "/" + name; }
  // Writes bytes to the file name in the folder as they stand; returns its path, or "" when
  // it could not be written.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = this->File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return out ? path : std::string();
  }

private:
  std::string Root;
};

} // namespace selvane

#endif
