// A per-process scratch file for targets whose parser only reads from a path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace selvane::fuzz {

// Replaces the content of this process's scratch file by the given bytes and returns its path
// (empty when it cannot be written). The file is removed at exit.
std::string WriteScratchFile(const std::uint8_t* data, std::size_t size, const char* suffix);

} // namespace selvane::fuzz
