#include "MenuLayout.h"

#include "ControlIds.h"

namespace selvane {

const std::vector<MenuRow>& MainMenuLayout() {
  using R = MenuRow;
  static const std::vector<MenuRow> layout = {
      {R::SubMenu, 0, "&File", false},
      {R::Item, CmdOpenModel, "&Open Model...\tCtrl-O", false},
      {R::Item, CmdSaveModelAs, "&Save Model As...\tCtrl-S", true},
      {R::Separator, 0, nullptr, false},
      {R::SubMenu, 0, "Import", false},
      {R::Item, CmdImportCellIds, "&Cells from IDs...", true},
      {R::Separator, 0, nullptr, false},
      {R::Item, CmdImportPointIds, "&Points from IDs...", true},
      {R::Item, CmdImportPointsFromCoordinates, "Points from point  coordinates...", true},
      {R::Item, CmdImportPointsFromTransformations, "Points from &transformations...", true},
      {R::Item, CmdImportTransformations, "Transformations from transformations...", true},
      {R::Separator, 0, nullptr, false},
      {R::Item, CmdImportLandmarks, "&Landmarks (CSV, Slicer, MeshLab)...", true},
      {R::EndSubMenu, 0, nullptr, false},
      {R::SubMenu, 0, "Export", false},
      {R::Item, CmdExportCellsVtk, "&Cells (VTK)...", true},
      {R::Item, CmdExportCellIds, "Cells &IDs...", true},
      {R::Item, CmdExportCellPointIds, "Cells p&oints IDs...", true},
      {R::Separator, 0, nullptr, false},
      {R::Item, CmdExportPoints, "&Points coordinates...", true},
      {R::Item, CmdExportPointIds, "Po&ints IDs...", true},
      {R::Item, CmdExportPointTransformations, "Points &transformations...", true},
      {R::Separator, 0, nullptr, false},
      {R::Item, CmdExportLandmarks, "&Landmarks (CSV, Slicer, MeshLab)...", true},
      {R::EndSubMenu, 0, nullptr, false},
      {R::Separator, 0, nullptr, false},
      {R::Item, CmdTransform, "Transform", true},
      {R::Item, CmdTransformSelectedPoints, "Transform Selected Points...", true},
      {R::Item, CmdClearTransform, "Clear Transform", true},
      {R::Item, CmdExit, "E&xit\tAlt-F4", false},
      {R::EndSubMenu, 0, nullptr, false},
      {R::SubMenu, 0, "&Edit", false},
      {R::Item, CmdSelectCell, "Select cell\tSpace", true},
      {R::Item, CmdSelectPoint, "Select point\tCtrl-Space", true},
      {R::Separator, 0, nullptr, false},
      {R::Item, CmdSelectCellsPoints, "Select cells points", true},
      {R::Item, CmdSelectPointsCells, "Select points cells", true},
      {R::Item, CmdClearSelectedPoints, "Clear Selected Points List", false},
      {R::EndSubMenu, 0, nullptr, false},
      {R::SubMenu, 0, "&View", false},
      {R::Item, CmdOptions, "&Options...", true},
      {R::Item, CmdWireframeSolid, "wireframe/solid", true},
      {R::Item, CmdScreenShot, "ScreenShot", true},
      {R::Item, CmdSetPointer, "Set pointer", false},
      {R::Separator, 0, nullptr, false},
      {R::Item, CmdResetCamera, "Reset Camera\tR", false},
      {R::Item, CmdViewFromPlusX, "View from +X", false},
      {R::Item, CmdViewFromMinusX, "View from -X", false},
      {R::Item, CmdViewFromPlusY, "View from +Y", false},
      {R::Item, CmdViewFromMinusY, "View from -Y", false},
      {R::Item, CmdViewFromPlusZ, "View from +Z", false},
      {R::Item, CmdViewFromMinusZ, "View from -Z", false},
      {R::EndSubMenu, 0, nullptr, false},
      {R::SubMenu, 0, "&Help", false},
      {R::Item, CmdHelp, "&Help\tF1", true},
      {R::Item, CmdKeysAndMouse, "&Keys and mouse...", false},
      {R::Item, CmdAbout, "&About...", false},
      {R::EndSubMenu, 0, nullptr, false},
  };
  return layout;
}

} // namespace selvane
