#include "CommandTable.h"

#include "AnimationExport.h"
#include "ControlIds.h"
#include "FileCommands.h"
#include "LandmarkFileCommands.h"
#include "MainDialog.h"
#include "TransformCommand.h"

#include <cctype>

namespace selvane {

namespace {

using R = CommandRow;
using Handler = std::function<void(MainDialog&)>;

CommandRow Row(R::Kind kind, const char* text = nullptr) {
  CommandRow row;
  row.RowKind = kind;
  row.Text = text;
  return row;
}

CommandRow SubMenu(const char* text) {
  return Row(R::SubMenu, text);
}

CommandRow End() {
  return Row(R::EndSubMenu);
}

CommandRow Separator() {
  return Row(R::Separator);
}

CommandRow Item(int command, const char* text, const char* accelerator, Enabling enabledBy,
                Handler handler, bool runsWhileBusy = false) {
  CommandRow row = Row(R::Item, text);
  row.Command = command;
  row.Accelerator = accelerator;
  row.EnabledBy = enabledBy;
  row.RunsWhileBusy = runsWhileBusy;
  row.Handler = std::move(handler);
  return row;
}

CommandRow InGroup(CommandRow row, CommandGroup group) {
  row.Group = group;
  return row;
}

CommandRow InFile(CommandRow row) {
  return InGroup(std::move(row), CommandGroup::File);
}

CommandRow InTransform(CommandRow row) {
  return InGroup(std::move(row), CommandGroup::Transform);
}

CommandRow InLandmarkFile(CommandRow row) {
  return InGroup(std::move(row), CommandGroup::LandmarkFile);
}

CommandRow ItemWith(int command, const char* text, int companion, Handler handler) {
  CommandRow row = Item(command, text, nullptr, Enabling::WithCommand, std::move(handler));
  row.EnabledWith = companion;
  return row;
}

CommandRow WithAccelerator(CommandRow row, const char* accelerator) {
  row.Accelerator = accelerator;
  return row;
}

// A view command: turns the camera only.
CommandRow ViewItem(int command, const char* text, const char* accelerator, Handler handler) {
  return Item(command, text, accelerator, Enabling::Always, std::move(handler), true);
}

CommandRow ViewAlongItem(int command, const char* text, int axis, int sign) {
  return ViewItem(command, text, nullptr,
                  [axis, sign](MainDialog& dialog) { dialog.ViewAlong(axis, sign); });
}

std::vector<CommandRow> BuildRows() {
  constexpr Enabling Always = Enabling::Always, ByViewer = Enabling::ByViewer,
                     Never = Enabling::Never;
  return {
      SubMenu("&File"),
      // The axes and labels of a new model are built after its first render: one more render
      // shows them at once rather than at the next camera move.
      Item(CmdOpenModel, "&Open Model...", "Ctrl-O", Always,
           [](MainDialog& dialog) {
             dialog.OpenModel();
             dialog.Render();
           }),
      InFile(Item(CmdSaveModelAs, "&Save Model As...", "Ctrl-S", ByViewer, OnSaveModelAs)),
      Separator(),
      SubMenu("Import"),
      InFile(Item(CmdImportCellIds, "&Cells from IDs...", nullptr, ByViewer, OnImportCellIds)),
      Separator(),
      InFile(Item(CmdImportPointIds, "&Points from IDs...", nullptr, ByViewer, OnImportPointIds)),
      InFile(Item(CmdImportPointsFromCoordinates, "Points from point  coordinates...", nullptr,
                  ByViewer, OnImportPointsFromCoordinates)),
      InFile(Item(CmdImportPointsFromTransformations, "Points from &transformations...", nullptr,
                  ByViewer, OnImportPointsFromTransformations)),
      InFile(Item(CmdImportTransformations, "Transformations from transformations...", nullptr,
                  ByViewer, OnImportTransformations)),
      Separator(),
      InLandmarkFile(ItemWith(CmdImportLandmarks, "&Landmarks (CSV, Slicer, MeshLab)...",
                              CmdImportPointsFromCoordinates, OnImportLandmarks)),
      End(),
      SubMenu("Export"),
      InFile(Item(CmdExportCellsVtk, "&Cells (VTK)...", nullptr, ByViewer, OnExportCellsVtk)),
      InFile(Item(CmdExportCellIds, "Cells &IDs...", nullptr, ByViewer, OnExportCellIds)),
      InFile(Item(CmdExportCellPointIds, "Cells p&oints IDs...", nullptr, ByViewer,
                  OnExportCellPointIds)),
      Separator(),
      InFile(Item(CmdExportPoints, "&Points coordinates...", nullptr, ByViewer, OnExportPoints)),
      InFile(Item(CmdExportPointIds, "Po&ints IDs...", nullptr, ByViewer, OnExportPointIds)),
      InFile(Item(CmdExportPointTransformations, "Points &transformations...", nullptr, ByViewer,
                  OnExportPointTransformations)),
      Separator(),
      InLandmarkFile(ItemWith(CmdExportLandmarks, "&Landmarks (CSV, Slicer, MeshLab)...",
                              CmdExportPoints, OnExportLandmarks)),
      End(),
      Separator(),
      InTransform(Item(CmdTransform, "Transform", nullptr, ByViewer, OnTransform)),
      InTransform(ItemWith(CmdTransformSelectedPoints, "Transform Selected Points...", CmdTransform,
                           OnTransformSelectedPoints)),
      InTransform(Item(CmdClearTransform, "Clear Transform", nullptr, ByViewer, OnClearTransform)),
      // Offered once a Transform has made a deformation to show or share.
      ItemWith(CmdExportAnimation, "Export Animation...", CmdClearTransform, OnExportAnimation),
      Item(CmdExit, "E&xit", "Alt-F4", Always, nullptr, true),
      End(),

      SubMenu("&Edit"),
      // The selection commands render at once, so the change shows without another event.
      Item(CmdSelectCell, "Select cell", "Space", ByViewer,
           [](MainDialog& dialog) {
             dialog.ToggleCurrentCell();
             dialog.Render();
           }),
      Item(CmdSelectPoint, "Select point", "Ctrl-Space", ByViewer,
           [](MainDialog& dialog) {
             dialog.ToggleCurrentPoint();
             dialog.Render();
           }),
      Separator(),
      Item(CmdSelectCellsPoints, "Select cells points", nullptr, Never, nullptr),
      Item(CmdSelectPointsCells, "Select points cells", nullptr, Never, nullptr),
      Item(CmdClearSelectedPoints, "Clear Selected Points List", nullptr, Always,
           [](MainDialog& dialog) { dialog.OnClearSelectedPoints(); }),
      Separator(),
      // The window names the step beside Undo and Redo, and greys them with nothing to act on.
      Item(CmdUndo, "&Undo", "Ctrl-Z", Enabling::ByHistory,
           [](MainDialog& dialog) {
             dialog.Undo();
             dialog.Render();
           }),
      Item(CmdRedo, "&Redo", "Ctrl-Shift-Z", Enabling::ByHistory,
           [](MainDialog& dialog) {
             dialog.Redo();
             dialog.Render();
           }),
      End(),

      SubMenu("&View"),
      Item(CmdOptions, "&Options...", nullptr, Never, nullptr),
      Item(
          CmdWireframeSolid, "wireframe/solid", nullptr, ByViewer,
          [](MainDialog& dialog) { dialog.OnWireframeSolid(); }, true),
      Item(
          CmdScreenShot, "ScreenShot", nullptr, ByViewer,
          [](MainDialog& dialog) { dialog.OnScreenShot(); }, true),
      ViewItem(CmdSetPointer, "Set pointer", nullptr,
               [](MainDialog& dialog) { dialog.OnSetPointer(); }),
      // The window shows its landmark table itself.
      Item(CmdLandmarkTable, "&Landmark Table", nullptr, Always, nullptr, true),
      Separator(),
      ViewItem(CmdResetCamera, "Reset Camera", "R",
               [](MainDialog& dialog) { dialog.ResetCamera(); }),
      ViewAlongItem(CmdViewFromPlusX, "View from +X", 0, 1),
      ViewAlongItem(CmdViewFromMinusX, "View from -X", 0, -1),
      ViewAlongItem(CmdViewFromPlusY, "View from +Y", 1, 1),
      ViewAlongItem(CmdViewFromMinusY, "View from -Y", 1, -1),
      ViewAlongItem(CmdViewFromPlusZ, "View from +Z", 2, 1),
      ViewAlongItem(CmdViewFromMinusZ, "View from -Z", 2, -1),
      Separator(),
      ItemWith(CmdColourByDisplacement, "Colour by displacement", CmdClearTransform,
               [](MainDialog& dialog) {
                 dialog.SetDisplacementColours(!dialog.DisplacementColoursShown());
               }),
      WithAccelerator(ItemWith(CmdNextFoldedCell, "Next folded cell", CmdClearTransform,
                               [](MainDialog& dialog) { dialog.NextFoldedCell(); }),
                      "Ctrl-F"),
      End(),

      SubMenu("&Help"),
      Item(CmdHelp, "&Help", "F1", Never, nullptr),
      Item(CmdKeysAndMouse, "&Keys and mouse...", nullptr, Always, nullptr, true),
      Item(
          CmdAbout, "&About...", nullptr, Always,
          [](MainDialog& dialog) { dialog.Windowing.ShowDialog(AuxiliaryDialog::About); }, true),
      End(),
  };
}

} // namespace

const std::vector<CommandRow>& CommandRows() {
  static const std::vector<CommandRow> rows = BuildRows();
  return rows;
}

const CommandRow* FindCommandRow(int command) {
  for (const CommandRow& row : CommandRows())
    if (row.RowKind == CommandRow::Item && row.Command == command)
      return &row;
  return nullptr;
}

std::string CommandStepName(int command) {
  const char* menu = nullptr;
  const char* text = nullptr;
  for (const CommandRow& row : CommandRows()) {
    if (row.RowKind == CommandRow::SubMenu)
      menu = row.Text;
    else if (row.RowKind == CommandRow::Item && row.Command == command)
      text = row.Text;
    if (text)
      break;
  }
  if (!text)
    return "";
  std::string name;
  for (const char* c = text; *c; ++c)
    if (*c != '&' && !(*c == ' ' && !name.empty() && name.back() == ' '))
      name += *c;
  while (!name.empty() && name.back() == '.')
    name.pop_back();
  if (menu && std::string(menu) == "Import" && !name.empty()) {
    name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    name = "Import " + name;
  }
  return name;
}

void AddCommandHandlers(CommandTable& table) {
  for (const CommandRow& row : CommandRows())
    if (row.RowKind == CommandRow::Item && row.Handler)
      table[row.Command] = row.Handler;
}

void AddCommandHandlers(CommandTable& table, CommandGroup group) {
  for (const CommandRow& row : CommandRows())
    if (row.RowKind == CommandRow::Item && row.Handler && row.Group == group)
      table[row.Command] = row.Handler;
}

} // namespace selvane
