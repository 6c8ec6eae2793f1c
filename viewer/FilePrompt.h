#pragma once

#include <string>

namespace selvane {

// The name a file prompt opens with: the path up to its last dot, then the default
// extension ("*.cid" stays "*.cid"; a path without a dot gives the extension alone).
std::string InitialFileName(const std::string& path, const std::string& defaultExtension);

} // namespace selvane
