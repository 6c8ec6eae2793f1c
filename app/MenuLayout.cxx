#include "MenuLayout.h"

#include "CommandTable.h"

#include <deque>
#include <string>

namespace selvane {

namespace {

std::vector<MenuRow> BuildLayout(std::deque<std::string>& texts) {
  std::vector<MenuRow> layout;
  for (const CommandRow& row : CommandRows()) {
    switch (row.RowKind) {
    case CommandRow::SubMenu:
      layout.push_back({MenuRow::SubMenu, 0, row.Text, false});
      break;
    case CommandRow::EndSubMenu:
      layout.push_back({MenuRow::EndSubMenu, 0, nullptr, false});
      break;
    case CommandRow::Separator:
      layout.push_back({MenuRow::Separator, 0, nullptr, false});
      break;
    case CommandRow::Item:
      texts.push_back(row.Accelerator ? std::string(row.Text) + '\t' + row.Accelerator
                                      : std::string(row.Text));
      layout.push_back(
          {MenuRow::Item, row.Command, texts.back().c_str(), row.EnabledBy != Enabling::Always});
      break;
    }
  }
  return layout;
}

} // namespace

const std::vector<MenuRow>& MainMenuLayout() {
  // A deque keeps the item texts in place while it grows.
  static std::deque<std::string> texts;
  static const std::vector<MenuRow> layout = BuildLayout(texts);
  return layout;
}

} // namespace selvane
