// Cell and point ID files: export of the two selection lists and of the selected cells'
// points, import into the selection lists.
#include "FileCommands.h"

#include "CommandSupport.h"
#include "CommandTable.h"
#include "ControlIds.h"
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
// Cells without points are skipped. False (the lists untouched) when no entry line was usable.
bool ApplyCellIds(MainDialog& dialog, const std::string& path, formats::IdFileContent& content) {
  vtkPolyData* model = dialog.Model();
  std::vector<vtkIdType> cells;
  cells.reserve(content.Ids.size());
  for (std::size_t i = 0; i < content.Ids.size(); ++i) {
    vtkIdType size = 0;
    const vtkIdType* points = nullptr;
    model->GetCellPoints(content.Ids[i], size, points);
    if (size == 0) {
      // No point of it could be made current.
      content.Report.Skipped.push_back(
          {content.IdLines[i], formats::SkipReason::CellWithoutPoints});
      continue;
    }
    cells.push_back(content.Ids[i]);
  }
  if (KeepListsWhenNothingIsUsable(dialog, path, content.Report, "selected cells"))
    return false;
  dialog.ReplaceSelectedCells(cells, CommandStepName(CmdImportCellIds));
  dialog.MarkCellSelectionSaved(); // the list is what the file says
  dialog.Render();
  return true;
}

bool ApplyPointIds(MainDialog& dialog, const std::string& path,
                   const formats::IdFileContent& content) {
  if (KeepListsWhenNothingIsUsable(dialog, path, content.Report, "selected points"))
    return false;
  // Each point takes its own position as target.
  dialog.ReplaceSelectedPoints(content.Ids, {}, CommandStepName(CmdImportPointIds));
  dialog.MarkPointSelectionSaved(); // the list is what the file says
  dialog.Render();
  return true;
}

} // namespace

void OnExportCellIds(MainDialog& dialog) {
  std::string path;
  if (!dialog.Model() || !AskPath(dialog, ExportCellIdsPrompt, path))
    return;
  const formats::Entries cells = formats::EntriesOf(dialog.SelectedCells().Ids());
  if (ExportText(dialog, path, formats::FormatIdFile(IdFileKind::Cells, cells),
                 CountOf(cells.size(), "cell ID", "cell IDs")))
    dialog.MarkCellSelectionSaved();
}

void OnExportPointIds(MainDialog& dialog) {
  std::string path;
  if (!dialog.Model() || !AskPath(dialog, ExportPointIdsPrompt, path))
    return;
  const formats::Entries points = formats::EntriesOf(dialog.SelectedPoints().Ids());
  if (ExportText(dialog, path, formats::FormatIdFile(IdFileKind::Points, points),
                 CountOf(points.size(), "point ID", "point IDs")))
    dialog.MarkPointSelectionSaved();
}

void OnExportCellPointIds(MainDialog& dialog) {
  std::string path;
  if (!dialog.Model() || !AskPath(dialog, ExportCellPointIdsPrompt, path))
    return;
  const formats::Entries points =
      formats::CellPointEntries(formats::EntriesOf(dialog.SelectedCells().Ids()), dialog.Model());
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
  if (ApplyCellIds(dialog, path, content))
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
  if (ApplyPointIds(dialog, path, content))
    ReportSkippedLines(dialog, path, content.Report);
}

} // namespace selvane
