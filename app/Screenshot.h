#pragma once

#include <string>

namespace selvane {

class MainWindow;

// Draws the shown window once and writes it as a PNG through the atomic writer of every
// export; returns "" or the reason it failed. path is used byte for byte, as the user gave it.
// A view that could not be drawn (no OpenGL context, or a blank frame) is a failure: its
// picture would show nothing of the model.
std::string SaveWindowPicture(MainWindow& window, const std::string& path);

} // namespace selvane
