#include "FileCommands.h"

namespace selvane {

void AddFileCommands(CommandTable& table) {
  AddCommandHandlers(table);
}

} // namespace selvane
