#pragma once

#include <vector>

namespace selvane {

// One entry of the main window's menu bar: a command item, a separator, or a sub-menu
// opening (Depth rises) and closing (Depth falls) are written as flat rows.
struct MenuRow {
  enum Kind { Item, Separator, SubMenu, EndSubMenu } RowKind;
  int Command;      // Item only
  const char* Text; // Item and SubMenu
  bool Greyed;      // Item only: greyed at start-up
};

// The menu bar, top to bottom and left to right, as the command table lays it out; an item's
// text carries its accelerator after a tab.
const std::vector<MenuRow>& MainMenuLayout();

} // namespace selvane
