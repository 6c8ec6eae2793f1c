#include "FileCommands.h"

namespace selvane {

void AddFileCommands(CommandTable& table) {
  AddCommandHandlers(table, CommandGroup::File);
}

} // namespace selvane
