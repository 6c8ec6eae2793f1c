#pragma once

#include <functional>
#include <map>

namespace selvane {

class MainDialog;

// Menu command handlers by command number. Each subsystem adds its own; the window system
// runs them when an item is chosen.
using CommandTable = std::map<int, std::function<void(MainDialog&)>>;

} // namespace selvane
