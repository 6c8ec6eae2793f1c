#include "TransformCommand.h"

#include "CommandTable.h"
#include "ControlIds.h"
#include "MainDialog.h"
#include "ShapeFit.h"
#include "vtkShapeTransform.h"

#include <vtkPoints.h>
#include <vtkSmartPointer.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace selvane {

namespace {

const std::vector<FileFilter> CorrespondenceFilters = {
    {"PTT formated Files", "*.PTT"}, {"DAT formated Files", "*.DAT"}, {"All Files", "*.*"}};

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// The one message for a failed fit; source is the quoted file name or "the selected points".
std::string FailureMessage(const ShapeFitResult& fit, const std::string& source) {
  switch (fit.Code) {
  case ErrorCode::CannotOpen:
    return "Cannot open PTT file for reading!\nCannot read " + source + ": " + fit.Reason + ".";
  case ErrorCode::Unreadable:
    return "Cannot read PTT file " + source + ": " + fit.Reason + ".";
  case ErrorCode::NoData:
    return "The file " + source + " " + fit.Reason + ".";
  case ErrorCode::OutOfMemory:
    return "Not enough memory to compute a transformation from " + source + " (" + fit.Reason +
           ").";
  default:
    return "Cannot compute a transformation from " + source + ": " + fit.Reason + ".";
  }
}

} // namespace

std::string CheckTransformValues(float radius, int frames, int cycles) {
  if (!(radius > 0.0f) || !std::isfinite(radius))
    return "The radius of support must be a positive number.";
  if (frames < 0 || cycles < 0)
    return "The number of frames and the number of cycles must not be negative.";
  if (frames == 1 && cycles >= 2)
    return "With more than one cycle the number of frames must be at least 2.";
  return "";
}

void OnTransform(MainDialog& dialog) {
  dialog.MakeTransformBox.FromSelectedPoints = false;
  dialog.Windowing.ShowDialog(AuxiliaryDialog::MakeTransform);
}

void OnTransformSelectedPoints(MainDialog& dialog) {
  if (!dialog.Model())
    return;
  dialog.MakeTransformBox.FromSelectedPoints = true;
  dialog.Windowing.ShowDialog(AuxiliaryDialog::MakeTransform);
}

void RunTransform(MainDialog& dialog) {
  const float radius = dialog.MakeTransformBox.SupportRadius;
  const int frames = dialog.MakeTransformBox.FrameCount;
  const int cycles = dialog.MakeTransformBox.CycleCount;
  if (const std::string refusal = CheckTransformValues(radius, frames, cycles); !refusal.empty()) {
    dialog.Windowing.ShowMessage(refusal);
    return;
  }

  // The pairs come from a file, or from the selected points as exported to one: the same
  // text, so the same fit bit for bit.
  const bool fromSelection = dialog.MakeTransformBox.FromSelectedPoints;
  std::string path, text, source;
  if (fromSelection) {
    if (!dialog.Model())
      return;
    if (!dialog.FormatSelectedPointTransformations(text)) {
      dialog.Windowing.ShowMessage(
          "Cannot compute a transformation from the selected points: a selected point is not "
          "in the model.");
      return;
    }
    source = "the selected points";
  } else {
    if (!dialog.PromptFileName(path, "Open Data File", HideReadOnly, CorrespondenceFilters, ".ptt",
                               true))
      return;
    source = Quoted(path);
  }

  // The fit and the first evaluation of the model's points run off the window's thread, into
  // a transform of their own: the model, the shown transform and its Fraction stay as they are
  // until the work has completed, and stay so for good when it is cancelled.
  struct Outcome {
    ShapeFitResult Fit;
    vtkSmartPointer<vtkShapeTransform> Transform = vtkSmartPointer<vtkShapeTransform>::New();
  };
  auto outcome = std::make_shared<Outcome>();
  vtkSmartPointer<vtkPoints> modelPoints = dialog.ModelPoints;
  BackgroundJob job;
  job.Title = "Transform";
  job.Work = [outcome, fromSelection, path, text, radius, modelPoints](WorkProgress& progress) {
    const FitStages stages = [&progress](const char* stage) {
      progress.Stage(stage);
      return !progress.CancelRequested();
    };
    outcome->Fit = fromSelection ? FitShapeTransformToText(text, radius, outcome->Transform, stages)
                                 : FitShapeTransform(path, radius, outcome->Transform, stages);
    if (!outcome->Fit.Ok() || !modelPoints)
      return;
    progress.Stage("Evaluating");
    if (progress.CancelRequested())
      return;
    // Fills the displacement cache for the model's points (read only here).
    auto deformed = vtkSmartPointer<vtkPoints>::New();
    outcome->Transform->TransformPoints(modelPoints, deformed);
  };
  // The warning goes to standard output under the file's name, as the reader's report does.
  const std::string printed = fromSelection ? source : path;
  job.Done = [&dialog, outcome, printed, source, frames, cycles, fromSelection](bool completed) {
    if (!completed || outcome->Fit.Code == ErrorCode::Cancelled)
      return;
    const ShapeFitResult& fit = outcome->Fit;
    if (!fit.Ok()) {
      dialog.Windowing.ShowMessage(FailureMessage(fit, source));
      return;
    }
    if (!fit.Warning.empty())
      std::printf("%s: %s\n", printed.c_str(), fit.Warning.c_str());
    if (!fit.SolverWarning.empty()) {
      std::printf("%s: %s\n", printed.c_str(), fit.SolverWarning.c_str());
      dialog.Windowing.ShowMessage("The transformation from " + source +
                                   " is imprecise: " + fit.SolverWarning + ".");
    }

    dialog.Windowing.EnableMenuItem(CmdClearTransform);
    // One undo step, named by the menu command: undo shows the fit and fraction before it.
    dialog.TakeFit(outcome->Transform,
                   CommandStepName(fromSelection ? CmdTransformSelectedPoints : CmdTransform));
    const long long frameCount = static_cast<long long>(frames) * cycles;
    dialog.Windowing.PlayFrames(
        frameCount,
        [&dialog, frames](long long k) {
          dialog.ShapeTransform->SetFraction(AnimationFraction(k, frames));
          dialog.Render();
        },
        nullptr);
  };
  dialog.Windowing.RunInBackground(std::move(job));
}

void OnClearTransform(MainDialog& dialog) {
  dialog.ClearTransform(CommandStepName(CmdClearTransform));
}

void AddTransformCommands(CommandTable& commands) {
  AddCommandHandlers(commands, CommandGroup::Transform);
}

} // namespace selvane
