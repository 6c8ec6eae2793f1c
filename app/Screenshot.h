#pragma once

#include <QString>

namespace selvane {

class MainWindow;

// Draws the shown window once and writes it as a PNG; returns "" or the reason it failed.
QString SaveWindowPicture(MainWindow& window, const QString& path);

} // namespace selvane
