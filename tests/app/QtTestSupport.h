#pragma once

#include <string>

namespace selvane {

// The bundled sample model.
inline const std::string SampleModel = std::string(SELVANE_SOURCE_DIR) + "/data/sample.vtk";

// Lets queued events, paints and focus changes run.
void Settle();

} // namespace selvane
