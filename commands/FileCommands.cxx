#include "FileCommands.h"

#include "ControlIds.h"

namespace selvane {

void AddFileCommands(CommandTable& table) {
  table[CmdExportCellIds] = &OnExportCellIds;
  table[CmdExportPointIds] = &OnExportPointIds;
  table[CmdExportCellPointIds] = &OnExportCellPointIds;
  table[CmdImportCellIds] = &OnImportCellIds;
  table[CmdImportPointIds] = &OnImportPointIds;
  table[CmdExportPoints] = &OnExportPoints;
  table[CmdExportPointTransformations] = &OnExportPointTransformations;
  table[CmdImportPointsFromCoordinates] = &OnImportPointsFromCoordinates;
  table[CmdImportPointsFromTransformations] = &OnImportPointsFromTransformations;
  table[CmdImportTransformations] = &OnImportTransformations;
  table[CmdSaveModelAs] = &OnSaveModelAs;
  table[CmdExportCellsVtk] = &OnExportCellsVtk;
}

} // namespace selvane
