#pragma once

// Control and command numbers of the main window. The viewer logic names controls by
// these numbers, so the windowing layer can map them onto its own widgets.
namespace selvane {

enum ControlId : int {
  SelectedCellsList = 1000,
  CellPointsList = 1001,
  SelectedPointsList = 1002,
  CellNeighborsList = 1003,
  RenderHostControl = 1004,
  PointCellsList = 1010,
  CurrentXField = 1015,
  CurrentYField = 1016,
  CurrentZField = 1017,
  TargetXField = 1018,
  TargetYField = 1019,
  TargetZField = 1020,
};

enum CommandId : int {
  CmdOpenModel = 32771,
  CmdSaveModelAs = 32772,
  CmdExit = 32776,
  CmdOptions = 32778,
  CmdExportCellsVtk = 32781,
  CmdExportCellIds = 32782,
  CmdExportPointIds = 32783,
  CmdExportPoints = 32784,
  CmdExportCellPointIds = 32785,
  CmdExportPointTransformations = 32786,
  CmdImportCellIds = 32787,
  CmdImportPointIds = 32788,
  CmdImportPointsFromTransformations = 32789,
  CmdSelectCell = 32791,
  CmdSelectPoint = 32792,
  CmdSelectCellsPoints = 32793,
  CmdSelectPointsCells = 32794,
  CmdHelp = 32795,
  CmdAbout = 32796,
  CmdWireframeSolid = 32797,
  CmdTransform = 32798,
  CmdScreenShot = 32800,
  CmdSetPointer = 32803,
  CmdImportTransformations = 32804,
  CmdImportPointsFromCoordinates = 32805,
  CmdClearTransform = 32806,
  CmdClearSelectedPoints = 32807,
  // Commands of this version beyond the original menu.
  CmdResetCamera = 32810,
  CmdViewFromPlusX = 32811,
  CmdViewFromMinusX = 32812,
  CmdViewFromPlusY = 32813,
  CmdViewFromMinusY = 32814,
  CmdViewFromPlusZ = 32815,
  CmdViewFromMinusZ = 32816,
  CmdKeysAndMouse = 32817,
  CmdTransformSelectedPoints = 32818,
  CmdImportLandmarks = 32819,
  CmdExportLandmarks = 32820,
  CmdUndo = 32840,
  CmdRedo = 32841,
  CmdLandmarkTable = 32842,
  CmdColourByDisplacement = 32821,
  CmdNextFoldedCell = 32822,
  CmdExportAnimation = 32823,
};

// The menu items a successful Open Model enables, in the order it enables them.
inline constexpr int ModelMenuItems[] = {CmdSaveModelAs,
                                         CmdTransform,
                                         CmdScreenShot,
                                         CmdExportCellsVtk,
                                         CmdExportCellIds,
                                         CmdExportPointIds,
                                         CmdExportPoints,
                                         CmdExportCellPointIds,
                                         CmdExportPointTransformations,
                                         CmdImportCellIds,
                                         CmdImportPointIds,
                                         CmdImportPointsFromTransformations,
                                         CmdImportTransformations,
                                         CmdImportPointsFromCoordinates,
                                         CmdWireframeSolid,
                                         CmdSelectCell,
                                         CmdSelectPoint};

} // namespace selvane
