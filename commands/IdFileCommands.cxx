// Cell and point ID files: export of the two selection lists and of the selected cells'
// points, import into the selection lists.
#include "FileCommands.h"

#include "CommandSupport.h"
#include "MainDialog.h"
#include "SelectionFiles.h"

#include <vtkIdList.h>
#include <vtkPolyData.h>

namespace selvane {

namespace {

using formats::IdFileKind;

const FilePrompt ExportCellIdsPrompt = {"Export Cells IDs", "Cells IDs Files", "*.CID", ".cid",
                                        false};
const FilePrompt ExportPointIdsPrompt = {"Export Points IDs", "Points IDs Files", "*.PID", ".pid",
                                         false};
const FilePrompt ExportCellPointIdsPrompt = {"Export Cell Points IDs", "Points IDs Files", "*.PID",
                                             ".pid", false};
const FilePrompt ImportCellIdsPrompt = {"Import Cell IDs", "Cells IDs Files", "*.CID", ".cid",
                                        true};
const FilePrompt ImportPointIdsPrompt = {"Import Points IDs", "Points IDs Files", "*.PID", ".pid",
                                         true};

// Reads an ID file with the IDs below count; false (after a message) when it cannot be read.
bool ReadIds(MainDialog& dialog, const FilePrompt& prompt, vtkIdType count, std::string& path,
             formats::IdFileContent& content) {
  return AskPath(dialog, prompt, path) &&
         ReadAndParse(
             dialog, path,
             [count](std::string_view text) { return formats::ParseIdFile(text, count); }, content);
}

// The import replaces the selection; every ID toggles, so an ID given twice ends withdrawn.
void ApplyCellIds(MainDialog& dialog, formats::IdFileContent& content) {
  dialog.ClearSelectedCells();
  for (std::size_t i = 0; i < content.Ids.size(); ++i) {
    const int cell = static_cast<int>(content.Ids[i]);
    dialog.SetCurrentCell(cell, 0);
    if (dialog.CurrentCell != cell) {
      // SetCurrentCell refuses a cell without points; toggling would hit another cell.
      content.Report.Skipped.push_back(
          {content.IdLines[i], formats::SkipReason::CellWithoutPoints});
      continue;
    }
    dialog.ToggleCurrentCell();
  }
  dialog.SetCurrentCell(0, 0);
  dialog.MarkCellSelectionSaved(); // the list is what the file says
  // The clear operations leave the emptied markers in the scene; drop them before drawing.
  dialog.RefreshScene();
  dialog.Render();
}

void ApplyPointIds(MainDialog& dialog, const formats::IdFileContent& content) {
  dialog.ClearSelectedPoints();
  // Each point takes its own position as target, through the fields as a user's selection.
  for (vtkIdType id : content.Ids) {
    dialog.SetCurrentPoint(static_cast<int>(id));
    dialog.ToggleCurrentPoint();
  }
  dialog.SetCurrentCell(0, 0);
  dialog.MarkPointSelectionSaved(); // the list is what the file says
  // The clear operations leave the emptied markers in the scene; drop them before drawing.
  dialog.RefreshScene();
  dialog.Render();
}

} // namespace

void OnExportCellIds(MainDialog& dialog) {
  std::string path;
  if (!dialog.Model() || !AskPath(dialog, ExportCellIdsPrompt, path))
    return;
  const formats::Entries cells = formats::EntriesOf(dialog.SelectedCellIds);
  if (ExportText(dialog, path, formats::FormatIdFile(IdFileKind::Cells, cells),
                 CountOf(cells.size(), "cell ID", "cell IDs")))
    dialog.MarkCellSelectionSaved();
}

void OnExportPointIds(MainDialog& dialog) {
  std::string path;
  if (!dialog.Model() || !AskPath(dialog, ExportPointIdsPrompt, path))
    return;
  const formats::Entries points = formats::EntriesOf(dialog.SelectedPointIds);
  if (ExportText(dialog, path, formats::FormatIdFile(IdFileKind::Points, points),
                 CountOf(points.size(), "point ID", "point IDs")))
    dialog.MarkPointSelectionSaved();
}

void OnExportCellPointIds(MainDialog& dialog) {
  std::string path;
  if (!dialog.Model() || !AskPath(dialog, ExportCellPointIdsPrompt, path))
    return;
  const formats::Entries points =
      formats::CellPointEntries(formats::EntriesOf(dialog.SelectedCellIds), dialog.Model());
  if (ExportText(dialog, path, formats::FormatIdFile(IdFileKind::Points, points),
                 CountOf(points.size(), "point ID", "point IDs") + " of the selected cells"))
    dialog.MarkCellSelectionSaved();
}

void OnImportCellIds(MainDialog& dialog) {
  vtkPolyData* model = dialog.Model();
  if (!model)
    return;
  std::string path;
  formats::IdFileContent content;
  if (!ReadIds(dialog, ImportCellIdsPrompt, model->GetNumberOfCells(), path, content))
    return;
  ApplyCellIds(dialog, content);
  ReportSkippedLines(dialog, path, content.Report);
}

void OnImportPointIds(MainDialog& dialog) {
  vtkPolyData* model = dialog.Model();
  if (!model)
    return;
  std::string path;
  formats::IdFileContent content;
  if (!ReadIds(dialog, ImportPointIdsPrompt, model->GetNumberOfPoints(), path, content))
    return;
  ApplyPointIds(dialog, content);
  ReportSkippedLines(dialog, path, content.Report);
}

} // namespace selvane
