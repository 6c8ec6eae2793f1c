#include "XDisplayConnection.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

namespace selvane::test {

XDisplayConnection::XDisplayConnection() {
  const char* name = std::getenv("DISPLAY");
  const std::string shown = name ? name : "(DISPLAY unset)";
  auto wait = std::chrono::milliseconds(50);
  constexpr int Attempts = 8; // about six seconds in all
  for (int attempt = 1; attempt <= Attempts; ++attempt) {
    Connection = XOpenDisplay(nullptr);
    if (Connection)
      return;
    if (attempt == Attempts)
      break;
    // Said on stderr so that a run which needed it shows it.
    std::fprintf(stderr, "cannot connect to the X display %s (attempt %d); trying again\n",
                 shown.c_str(), attempt);
    std::this_thread::sleep_for(wait);
    wait *= 2;
  }
  throw std::runtime_error("cannot connect to the X display " + shown);
}

XDisplayConnection::~XDisplayConnection() {
  XCloseDisplay(static_cast<Display*>(Connection));
}

} // namespace selvane::test
