// The exception type of the shape-transformation code: its value is a message text.
// Allocation failures raise it with fixed texts that must stay exactly as they are
// (spelling included, e.g. "allocation faliture for the matrix in allocate_matrix").
#pragma once

#include <stdexcept>
#include <string>

namespace selvane {

class SelvaneError : public std::runtime_error {
public:
  explicit SelvaneError(const std::string& message) : std::runtime_error(message) {}
  explicit SelvaneError(const char* message) : std::runtime_error(message) {}
};

} // namespace selvane

