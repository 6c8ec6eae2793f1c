// Point coordinate (.pts) and point transformation (.ptt) files: export of the selected points
// with their targets, import of positions that select the model points lying on them.
#include "FileCommands.h"

#include "CommandSupport.h"
#include "CommandTable.h"
#include "ControlIds.h"
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

// Replaces the selected points by the model points at the sources. Each gets the target of the
// same index when the file gave one per source, else the file's position itself. Sources that
// match no model point are added to the report, except the corners of a bounds block. False
// (the lists untouched) when no entry line was usable.
bool ApplyCorrespondences(MainDialog& dialog, const std::string& path,
                          formats::PointFileContent& content, const std::string& stepName) {
  const ModelPointMatcher matcher(dialog.ModelPoints);
  const bool withTargets = content.Targets.size() == content.Sources.size();
  std::vector<vtkIdType> points;
  std::vector<std::array<float, 3>> targets;
  points.reserve(content.Sources.size());
  targets.reserve(content.Sources.size());
  for (std::size_t c = 0; c < content.Sources.size(); ++c) {
    const auto& source = content.Sources[c];
    const vtkIdType match = matcher.Find(source.data());
    if (match < 0) {
      if (!content.InBoundsBlock(content.SourceLines[c]))
        content.Report.Skipped.push_back(
            {content.SourceLines[c], formats::SkipReason::NoModelPoint});
      continue;
    }
    points.push_back(match);
    targets.push_back(withTargets ? content.Targets[c] : source);
  }
  if (KeepListsWhenNothingIsUsable(dialog, path, content.Report, "selected points"))
    return false;
  dialog.ReplaceSelectedPoints(points, targets, stepName);
  dialog.MarkPointSelectionSaved(); // the list is what the file says
  dialog.Render();
  return true;
}

void ImportPoints(MainDialog& dialog, const FilePrompt& prompt, PointImport mode,
                  const std::string& stepName) {
  if (!dialog.Model())
    return;
  std::string path;
  formats::PointFileContent content;
  if (!AskPath(dialog, prompt, path) ||
      !ReadAndParse(
          dialog, path,
          [mode](std::string_view text) { return formats::ParsePointFile(text, mode); }, content))
    return;
  if (ApplyCorrespondences(dialog, path, content, stepName))
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
  if (!formats::FormatPointsFile(text, formats::EntriesOf(dialog.SelectedPoints().Ids()),
                                 dialog.ModelPoints)) {
    ShowSelectionOutsideModel(dialog, path);
    return;
  }
  if (ExportText(dialog, path, text, CountOf(dialog.SelectedPoints().Size(), "point", "points")))
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
  if (ExportText(
          dialog, path, text,
          CountOf(dialog.SelectedPoints().Size(), "point transformation", "point transformations")))
    dialog.MarkPointSelectionSaved();
}

void OnImportPointsFromCoordinates(MainDialog& dialog) {
  ImportPoints(dialog, ImportPointsPrompt, PointImport::Coordinates,
               CommandStepName(CmdImportPointsFromCoordinates));
}

void OnImportPointsFromTransformations(MainDialog& dialog) {
  ImportPoints(dialog, ImportTransformationsPrompt, PointImport::PointsFromTransformations,
               CommandStepName(CmdImportPointsFromTransformations));
}

void OnImportTransformations(MainDialog& dialog) {
  ImportPoints(dialog, ImportTransformationsPrompt, PointImport::Transformations,
               CommandStepName(CmdImportTransformations));
}

} // namespace selvane
