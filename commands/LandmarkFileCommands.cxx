#include "LandmarkFileCommands.h"

#include "CommandSupport.h"
#include "LandmarkFiles.h"
#include "MainDialog.h"
#include "ModelPointMatcher.h"
#include "PointMarker.h"
#include "SelectionList.h"

#include <vtkIdList.h>
#include <vtkPoints.h>

#include <array>
#include <new>
#include <unordered_map>

namespace selvane {

namespace {

using formats::Landmark;
using formats::LandmarkFile;
using formats::LandmarkFormat;
using formats::SkippedLandmark;

const char* const LandmarkPatterns = "*.csv *.tsv *.txt *.fcsv *.json *.pp";
const char* const KnownExtensions = ".csv, .tsv, .txt, .fcsv, .mrk.json or .pp";

// The extension that names the format: ".mrk.json" whole, else from the last dot.
std::string ExtensionOf(const std::string& path) {
  const std::string markups = ".mrk.json";
  if (path.size() > markups.size() &&
      formats::LandmarkFormatOf(path) == LandmarkFormat::SlicerJson &&
      path.compare(path.size() - markups.size(), markups.size(), markups) == 0)
    return markups;
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? std::string()
                                                                                 : path.substr(dot);
}

// A landmark file prompt opening with initial (its folder and name, or "*" and an extension).
bool AskLandmarkPath(MainDialog& dialog, const std::string& title, bool open,
                     const std::string& initial, std::string& path) {
  path = initial;
  const std::string extension = initial.substr(std::min(initial.rfind('.'), initial.size()));
  const unsigned flags = open ? (FileMustExist | HideReadOnly) : HideReadOnly;
  return dialog.PromptFileName(path, title, flags,
                               {{"Landmark Files", LandmarkPatterns}, {"All Files", "*.*"}},
                               extension, open);
}

// Reads and parses one landmark file; false after a message naming the file and the reason.
bool ReadLandmarkFile(MainDialog& dialog, const std::string& path, LandmarkFile& file) {
  const auto format = formats::LandmarkFormatOf(path);
  if (!format) {
    ShowReadFailure(dialog, path,
                    std::string("its extension names no landmark format (") + KnownExtensions +
                        ")");
    return false;
  }
  try {
    std::string text;
    if (!ReadImport(dialog, path, text))
      return false;
    file = formats::ParseLandmarks(*format, text);
  } catch (const std::bad_alloc&) {
    ShowReadFailure(dialog, path, "not enough memory to read the file");
    return false;
  }
  if (!file.Refusal.empty()) {
    ShowReadFailure(dialog, path, file.Refusal);
    return false;
  }
  return true;
}

// Moves switched-off landmarks out of file into its skipped ones.
void SkipInactive(LandmarkFile& file) {
  std::vector<Landmark> active;
  for (Landmark& landmark : file.Landmarks) {
    if (landmark.Active)
      active.push_back(std::move(landmark));
    else
      file.Skipped.push_back({landmark.Where, "it is switched off (active=\"0\")"});
  }
  file.Landmarks = std::move(active);
}

// Gives each source the position of its partner in targets as its target; sources without one
// are skipped. Returns lines for the message about what did not pair.
std::string PairTargets(LandmarkFile& sources, const LandmarkFile& targets,
                        const std::string& sourcesPath, const std::string& targetsPath) {
  const formats::LandmarkPairing pairing =
      formats::PairLandmarks(sources.Landmarks, targets.Landmarks);
  std::vector<Landmark> paired;
  for (const auto& [s, t] : pairing.Pairs) {
    paired.push_back(sources.Landmarks[s]);
    paired.back().Target = targets.Landmarks[t].Position;
  }
  for (std::size_t s : pairing.UnpairedSources)
    sources.Skipped.push_back(
        {sources.Landmarks[s].Where, "its label has no target in '" + targetsPath + "'"});
  std::string notes;
  if (!pairing.UnpairedSources.empty())
    notes += "Without a target in '" + targetsPath +
             "': " + formats::ListLabels(sources.Landmarks, pairing.UnpairedSources) + ".\n";
  if (!pairing.UnpairedTargets.empty())
    notes += "Without a source in '" + sourcesPath +
             "': " + formats::ListLabels(targets.Landmarks, pairing.UnpairedTargets) + ".\n";
  if (pairing.ByOrder)
    notes += "The two files share no label; their landmarks were paired in order.\n";
  sources.Landmarks = std::move(paired);
  sources.HasTargets = true;
  return notes;
}

struct PointWithTarget {
  vtkIdType Point;
  float Target[3];
};

// The model points the landmarks lie on, each once; the others are added to file's skipped.
std::vector<PointWithTarget> MatchModelPoints(MainDialog& dialog, LandmarkFile& file) {
  const ModelPointMatcher matcher(dialog.ModelPoints);
  std::unordered_map<vtkIdType, std::string> firstAt;
  std::vector<PointWithTarget> matched;
  for (const Landmark& landmark : file.Landmarks) {
    const vtkIdType point = matcher.Find(landmark.Position.data());
    if (point < 0) {
      file.Skipped.push_back({landmark.Where, "its position matches no model point"});
      continue;
    }
    const auto [where, first] = firstAt.emplace(point, landmark.Where);
    if (!first) {
      // A second toggle would withdraw the point the first one selected.
      file.Skipped.push_back({landmark.Where, "it lies on model point " + std::to_string(point) +
                                                  ", as " + where->second + " does"});
      continue;
    }
    const formats::Point3& target = landmark.Target ? *landmark.Target : landmark.Position;
    matched.push_back({point,
                       {static_cast<float>(target[0]), static_cast<float>(target[1]),
                        static_cast<float>(target[2])}});
  }
  return matched;
}

// Replaces the selected points as one undo step, as the point file imports do.
void ReplaceSelectedPoints(MainDialog& dialog, const std::vector<PointWithTarget>& points) {
  std::vector<vtkIdType> ids;
  std::vector<std::array<float, 3>> targets;
  ids.reserve(points.size());
  targets.reserve(points.size());
  for (const PointWithTarget& p : points) {
    ids.push_back(p.Point);
    targets.push_back({p.Target[0], p.Target[1], p.Target[2]});
  }
  dialog.ReplaceSelectedPoints(ids, targets, "Import landmarks");
  dialog.MarkPointSelectionSaved(); // the list is what the file says
  dialog.Render();
}

} // namespace

void OnImportLandmarks(MainDialog& dialog) {
  if (!dialog.Model())
    return;
  std::string path;
  LandmarkFile sources;
  if (!AskLandmarkPath(dialog, "Import Landmarks", true, "*.csv", path) ||
      !ReadLandmarkFile(dialog, path, sources))
    return;
  const std::size_t entries = sources.Entries();
  SkipInactive(sources);

  std::string notes;
  std::string targetsPath;
  if (!sources.HasTargets && entries > 0) {
    LandmarkFile targets;
    if (AskLandmarkPath(dialog, "Import Landmark Targets (Cancel: each landmark is its own target)",
                        true, "*" + ExtensionOf(path), targetsPath)) {
      if (!ReadLandmarkFile(dialog, targetsPath, targets))
        return;
      if (!targets.Skipped.empty())
        notes += "In '" + targetsPath + "', " + formats::SummarizeSkippedLandmarks(targets) + "\n";
      SkipInactive(targets);
      notes += PairTargets(sources, targets, path, targetsPath);
    }
  }

  const std::vector<PointWithTarget> matched = MatchModelPoints(dialog, sources);
  // The landmarks taken are the matched ones; what was skipped is counted against all entries.
  LandmarkFile outcome;
  outcome.Skipped = sources.Skipped;
  outcome.Landmarks.resize(entries - std::min(entries, outcome.Skipped.size()));
  const std::string skipped = formats::SummarizeSkippedLandmarks(outcome);
  if (entries > 0 && matched.empty()) {
    dialog.Windowing.ShowMessage("No landmark of '" + path +
                                 "' was imported; the selected points are as they were.\n" +
                                 skipped + (notes.empty() ? "" : "\n") + notes);
    return;
  }
  ReplaceSelectedPoints(dialog, matched);
  if (!skipped.empty() || !notes.empty())
    dialog.Windowing.ShowMessage(
        (skipped.empty() ? std::string()
                         : "In '" + path + "', " + skipped + (notes.empty() ? "" : "\n")) +
        notes);
  dialog.Windowing.ShowStatus("Imported " + std::to_string(matched.size()) + " of " +
                              std::to_string(entries) + " landmarks from " + path +
                              (targetsPath.empty() ? "" : " with targets from " + targetsPath));
}

void OnExportLandmarks(MainDialog& dialog) {
  if (!dialog.Model())
    return;
  std::string path;
  if (!AskLandmarkPath(dialog, "Export Landmarks", false, "*.csv", path))
    return;
  const auto format = formats::LandmarkFormatOf(path);
  if (!format) {
    dialog.Windowing.ShowMessage("Cannot oper file for write!\nCannot write '" + path +
                                 "': its extension names no landmark format (" + KnownExtensions +
                                 ")");
    return;
  }
  std::vector<Landmark> sources;
  std::size_t withdrawn = 0;
  const SelectionList& selected = dialog.SelectedPoints();
  const vtkIdType count = selected.Size();
  for (vtkIdType i = 0; i < count; ++i) {
    const vtkIdType point = selected.Entry(i);
    if (point < 0) {
      ++withdrawn;
      continue;
    }
    if (point >= dialog.ModelPoints->GetNumberOfPoints()) {
      dialog.Windowing.ShowMessage("Cannot oper file for write!\nCannot write '" + path +
                                   "': a selected point is not in the model.");
      return;
    }
    Landmark landmark;
    landmark.Label = std::to_string(point);
    dialog.ModelPoints->GetPoint(point, landmark.Position.data());
    const float* target = selected.Markers()[static_cast<std::size_t>(i)].Target;
    landmark.Target = formats::Point3{target[0], target[1], target[2]};
    sources.push_back(std::move(landmark));
  }
  const std::string what =
      CountOf(sources.size(), "landmark", "landmarks") +
      (withdrawn > 0
           ? " (" + CountOf(withdrawn, "withdrawn point", "withdrawn points") + " left out)"
           : "");
  const std::string modelName = dialog.ModelFileName.substr(dialog.ModelFileName.rfind('/') + 1);
  if (formats::StoresTargets(*format)) {
    if (ExportText(dialog, path, formats::FormatLandmarks(*format, sources, modelName), what))
      dialog.MarkPointSelectionSaved();
    return;
  }
  // One file of sources, and the targets under the same labels in a second one.
  const std::string extension = ExtensionOf(path);
  std::string targetsPath;
  const bool withTargets = AskLandmarkPath(
      dialog, "Export Landmark Targets (Cancel: the landmarks alone)", false,
      path.substr(0, path.size() - extension.size()) + "-targets" + extension, targetsPath);
  if (withTargets && targetsPath == path) {
    dialog.Windowing.ShowMessage("Cannot oper file for write!\nCannot write '" + path +
                                 "': the landmarks and their targets need two files.");
    return;
  }
  const auto targetsFormat = withTargets ? formats::LandmarkFormatOf(targetsPath) : format;
  if (!targetsFormat) {
    dialog.Windowing.ShowMessage("Cannot oper file for write!\nCannot write '" + targetsPath +
                                 "': its extension names no landmark format (" + KnownExtensions +
                                 ")");
    return;
  }
  if (!ExportText(dialog, path, formats::FormatLandmarks(*format, sources, modelName), what) ||
      !withTargets)
    return;
  std::vector<Landmark> targets = sources;
  for (Landmark& landmark : targets) {
    landmark.Position = *landmark.Target;
    landmark.Target.reset();
  }
  if (ExportText(dialog, targetsPath, formats::FormatLandmarks(*targetsFormat, targets, modelName),
                 CountOf(targets.size(), "landmark target", "landmark targets")))
    dialog.MarkPointSelectionSaved();
}

} // namespace selvane
