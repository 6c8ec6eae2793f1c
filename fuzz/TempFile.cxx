#include "TempFile.h"

#include "TempFolder.h"

namespace selvane::fuzz {

std::string WriteScratchFile(const std::uint8_t* data, std::size_t size, const char* suffix) {
  // One folder per process, removed when it ends normally; one file per suffix in it.
  static const TempDir folder;
  return folder.Write(std::string("scratch") + suffix,
                      std::string(reinterpret_cast<const char*>(data), size));
}

} // namespace selvane::fuzz
