#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace selvane {

class MainDialog;

// Menu command handlers by command number; the window system runs them when an item is chosen.
using CommandTable = std::map<int, std::function<void(MainDialog&)>>;

// Who enables a menu item.
enum class Enabling {
  Always,      // enabled from start-up on
  ByViewer,    // greyed until the viewer enables it (a model opens, a fit is made)
  WithCommand, // follows the item named by EnabledWith
  ByHistory,   // greyed while the viewer's undo history has no step for it (Undo, Redo)
  Never,       // shown greyed, kept for the menu's familiar shape
};

// The subsystem a command belongs to, for callers that register one subsystem's commands.
enum class CommandGroup { Viewer, File, Transform, LandmarkFile };

// One row of the menu bar, top to bottom: a command item, a separator, or a sub-menu opening
// and closing. An item carries everything about its command, so adding a command is one row.
struct CommandRow {
  enum Kind { Item, Separator, SubMenu, EndSubMenu } RowKind = Item;
  int Command = 0;
  const char* Text = nullptr;        // item or sub-menu text
  const char* Accelerator = nullptr; // the key shown beside the item, or null
  Enabling EnabledBy = Enabling::Always;
  int EnabledWith = 0;        // Enabling::WithCommand: the item this one follows
  bool RunsWhileBusy = false; // changes neither the model nor the selections
  CommandGroup Group = CommandGroup::Viewer;
  // Empty for the few items the window itself carries out (Exit, the key help).
  std::function<void(MainDialog&)> Handler;
};

// The menu bar's rows, in menu order.
const std::vector<CommandRow>& CommandRows();

// The item with this command number, or null.
const CommandRow* FindCommandRow(int command);

// The name of the undo step a command makes: its menu text without the mnemonic, the dots and
// doubled blanks, and an Import item named with its sub-menu ("Import points from IDs").
std::string CommandStepName(int command);

// Registers the handler of every row that has one.
void AddCommandHandlers(CommandTable& table);
// Registers the handlers of one group's rows.
void AddCommandHandlers(CommandTable& table, CommandGroup group);

} // namespace selvane
