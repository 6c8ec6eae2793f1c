// The File menu's commands that move selections to and from files and export the model:
// cell and point ID files, point coordinate and transformation files, and VTK files.
// Each handler asks for its path, reads or writes the file, and applies the result through
// the viewer's operations; failures are shown as messages that name the file and the reason.
#ifndef SELVANE_FILE_COMMANDS_H
#define SELVANE_FILE_COMMANDS_H

#include "CommandTable.h"

namespace selvane {

class MainDialog;

// ID files (.cid, .pid).
void OnExportCellIds(MainDialog& dialog);
void OnExportPointIds(MainDialog& dialog);
void OnExportCellPointIds(MainDialog& dialog);
void OnImportCellIds(MainDialog& dialog);
void OnImportPointIds(MainDialog& dialog);

// Point coordinate (.pts) and point transformation (.ptt) files.
void OnExportPoints(MainDialog& dialog);
void OnExportPointTransformations(MainDialog& dialog);
void OnImportPointsFromCoordinates(MainDialog& dialog);
void OnImportPointsFromTransformations(MainDialog& dialog);
void OnImportTransformations(MainDialog& dialog);

// VTK files.
void OnSaveModelAs(MainDialog& dialog);
void OnExportCellsVtk(MainDialog& dialog);

// Registers the twelve handlers above under their command numbers, from the command table.
void AddFileCommands(CommandTable& table);

} // namespace selvane

#endif
