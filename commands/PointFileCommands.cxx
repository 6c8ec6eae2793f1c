// Point coordinate (.pts) and point transformation (.ptt) files: export of the selected points
// with their targets, import of positions that select the model points lying on them.
#include "FileCommands.h"

#include "CommandSupport.h"
#include "MainDialog.h"
#include "ModelPointMatcher.h"
#include "SelectionFiles.h"

#include <vtkCollection.h>
#include <vtkIdList.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

namespace selvane {

namespace {

using formats::PointImport;

const FilePrompt ExportPointsPrompt = {"Export Points", "Points Files", "*.PTS", ".pts", false};
const FilePrompt ExportTransformationsPrompt = {
    "Export Points Transformations", "Points Transformations Files", "*.PTT", ".ptt", false};
const FilePrompt ImportPointsPrompt = {"Import Points", "Points Files", "*.PTS", ".pts", true};
const FilePrompt ImportTransformationsPrompt = {
    "Import Points Transformations", "Points Transformations Files", "*.PTT", ".ptt", true};

// Restores ReadTargetFromFields when the import ends, however it ends.
class TargetsFromImport {
public:
  explicit TargetsFromImport(MainDialog& dialog)
      : Dialog(dialog), Previous(dialog.ReadTargetFromFields) {
    Dialog.ReadTargetFromFields = 0;
  }
  ~TargetsFromImport() { Dialog.ReadTargetFromFields = Previous; }
  TargetsFromImport(const TargetsFromImport&) = delete;
  TargetsFromImport& operator=(const TargetsFromImport&) = delete;

private:
  MainDialog& Dialog;
  int Previous;
};

// Replaces the selected points by the model points at the sources. Each gets the target of the
// same index when the file gave one per source, else the file's position itself. Sources that
// match no model point are added to the report, except the corners of a bounds block.
void ApplyCorrespondences(MainDialog& dialog, formats::PointFileContent& content) {
  dialog.ClearSelectedPoints();
  const ModelPointMatcher matcher(dialog.ModelPoints);
  const bool withTargets = content.Targets.size() == content.Sources.size();
  {
    const TargetsFromImport guard(dialog);
    for (std::size_t c = 0; c < content.Sources.size(); ++c) {
      const auto& source = content.Sources[c];
      const vtkIdType match = matcher.Find(source.data());
      if (match < 0) {
        if (!content.InBoundsBlock(content.SourceLines[c]))
          content.Report.Skipped.push_back(
              {content.SourceLines[c], formats::SkipReason::NoModelPoint});
        continue;
      }
      dialog.SetCurrentPoint(static_cast<int>(match));
      const auto& target = withTargets ? content.Targets[c] : source;
      for (int k = 0; k < 3; ++k)
        dialog.TargetPosition[k] = target[k];
      dialog.ToggleCurrentPoint();
    }
  }
  dialog.SetCurrentCell(0, 0);
  dialog.MarkPointSelectionSaved(); // the list is what the file says
  // The clear operations leave the emptied markers in the scene; drop them before drawing.
  dialog.RefreshScene();
  dialog.Render();
}

void ImportPoints(MainDialog& dialog, const FilePrompt& prompt, PointImport mode) {
  if (!dialog.Model())
    return;
  std::string path;
  formats::PointFileContent content;
  if (!AskPath(dialog, prompt, path) ||
      !ReadAndParse(
          dialog, path,
          [mode](std::string_view text) { return formats::ParsePointFile(text, mode); }, content))
    return;
  ApplyCorrespondences(dialog, content);
  ReportSkippedLines(dialog, path, content.Report);
}

void ShowSelectionOutsideModel(MainDialog& dialog, const std::string& path) {
  dialog.Windowing.ShowMessage("Cannot oper file for write!\nCannot write '" + path +
                               "': a selected point is not in the model.");
}

} // namespace

void OnExportPoints(MainDialog& dialog) {
  std::string path;
  if (!dialog.Model() || !AskPath(dialog, ExportPointsPrompt, path))
    return;
  std::string text;
  if (!formats::FormatPointsFile(text, formats::EntriesOf(dialog.SelectedPointIds),
                                 dialog.ModelPoints)) {
    ShowSelectionOutsideModel(dialog, path);
    return;
  }
  if (ExportText(dialog, path, text,
                 CountOf(dialog.SelectedPointIds->GetNumberOfIds(), "point", "points")))
    dialog.MarkPointSelectionSaved();
}

void OnExportPointTransformations(MainDialog& dialog) {
  std::string path;
  if (!dialog.Model() || !AskPath(dialog, ExportTransformationsPrompt, path))
    return;
  std::string text;
  if (!dialog.FormatSelectedPointTransformations(text)) {
    ShowSelectionOutsideModel(dialog, path);
    return;
  }
  if (ExportText(dialog, path, text,
                 CountOf(dialog.SelectedPointIds->GetNumberOfIds(), "point transformation",
                         "point transformations")))
    dialog.MarkPointSelectionSaved();
}

void OnImportPointsFromCoordinates(MainDialog& dialog) {
  ImportPoints(dialog, ImportPointsPrompt, PointImport::Coordinates);
}

void OnImportPointsFromTransformations(MainDialog& dialog) {
  ImportPoints(dialog, ImportTransformationsPrompt, PointImport::PointsFromTransformations);
}

void OnImportTransformations(MainDialog& dialog) {
  ImportPoints(dialog, ImportTransformationsPrompt, PointImport::Transformations);
}

} // namespace selvane
