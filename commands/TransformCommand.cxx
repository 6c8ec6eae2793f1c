#include "TransformCommand.h"

#include "CommandTable.h"
#include "ControlIds.h"
#include "DeformationInsight.h"
#include "MainDialog.h"
#include "RadiusCheck.h"
#include "ShapeFit.h"
#include "vtkShapeTransform.h"

#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <array>
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
  dialog.ShowMakeTransform(false);
}

void OnTransformSelectedPoints(MainDialog& dialog) {
  if (!dialog.Model())
    return;
  // The selected points are few and at hand: their spacing suggests a radius at once.
  std::string text;
  if (dialog.ModelPoints && dialog.FormatSelectedPointTransformations(text)) {
    double bounds[6];
    dialog.ModelPoints->GetBounds(bounds);
    const RadiusCheck check =
        CheckRadiusForPairs(text, dialog.MakeTransformBox.SupportRadius, bounds);
    if (check.Spacing.Centres >= 2)
      dialog.SuggestSupportRadius(static_cast<float>(check.Suggested),
                                  "from the centre spacing of the selected points");
  }
  dialog.ShowMakeTransform(true);
}

namespace {

// One fit as the user asked for it.
struct FitRequest {
  bool FromSelection = false;
  std::string Path, Text, Source;
  float Radius = 0.0f;
  int Frames = 0, Cycles = 0;
};

void StartFit(MainDialog& dialog, const FitRequest& request, bool checkRadius);

} // namespace

void RunTransform(MainDialog& dialog) {
  FitRequest request;
  request.Radius = dialog.MakeTransformBox.SupportRadius;
  request.Frames = dialog.MakeTransformBox.FrameCount;
  request.Cycles = dialog.MakeTransformBox.CycleCount;
  if (const std::string refusal =
          CheckTransformValues(request.Radius, request.Frames, request.Cycles);
      !refusal.empty()) {
    dialog.Windowing.ShowMessage(refusal);
    return;
  }

  // The pairs come from a file, or from the selected points as exported to one: the same
  // text, so the same fit bit for bit.
  request.FromSelection = dialog.MakeTransformBox.FromSelectedPoints;
  if (request.FromSelection) {
    if (!dialog.Model())
      return;
    if (!dialog.FormatSelectedPointTransformations(request.Text)) {
      dialog.Windowing.ShowMessage(
          "Cannot compute a transformation from the selected points: a selected point is not "
          "in the model.");
      return;
    }
    request.Source = "the selected points";
  } else {
    if (!dialog.PromptFileName(request.Path, "Open Data File", HideReadOnly, CorrespondenceFilters,
                               ".ptt", true))
      return;
    request.Source = Quoted(request.Path);
  }
  StartFit(dialog, request, true);
}

namespace {

void StartFit(MainDialog& dialog, const FitRequest& request, bool checkRadius) {
  // The fit and the first evaluation of the model's points run off the window's thread, into
  // a transform of their own: the model, the shown transform and its Fraction stay as they are
  // until the work has completed, and stay so for good when it is cancelled.
  struct Outcome {
    ShapeFitResult Fit;
    vtkSmartPointer<vtkShapeTransform> Transform = vtkSmartPointer<vtkShapeTransform>::New();
    RadiusCheck Check;
    bool Checked = false;
    std::vector<vtkIdType> Folds;
  };
  auto outcome = std::make_shared<Outcome>();
  vtkSmartPointer<vtkPoints> modelPoints = dialog.ModelPoints;
  vtkSmartPointer<vtkPolyData> model = dialog.Model();
  std::array<double, 6> bounds = {0, 0, 0, 0, 0, 0};
  if (modelPoints)
    modelPoints->GetBounds(bounds.data());
  BackgroundJob job;
  job.Title = "Transform";
  job.Work = [outcome, request, checkRadius, modelPoints, model, bounds](WorkProgress& progress) {
    // Before any solve: a radius that couples no centres, or all of them, is worth a question.
    if (checkRadius) {
      outcome->Check = request.FromSelection
                           ? CheckRadiusForPairs(request.Text, request.Radius, bounds.data())
                           : CheckRadiusForFile(request.Path, request.Radius, bounds.data());
      outcome->Checked = true;
      if (!outcome->Check.Warnings.empty())
        return;
    }
    const FitStages stages = [&progress](const char* stage) {
      progress.Stage(stage);
      return !progress.CancelRequested();
    };
    outcome->Fit =
        request.FromSelection
            ? FitShapeTransformToText(request.Text, request.Radius, outcome->Transform, stages)
            : FitShapeTransform(request.Path, request.Radius, outcome->Transform, stages);
    if (!outcome->Fit.Ok() || !modelPoints)
      return;
    progress.Stage("Evaluating");
    if (progress.CancelRequested())
      return;
    // Fills the displacement cache for the model's points (read only here).
    auto deformed = vtkSmartPointer<vtkPoints>::New();
    outcome->Transform->TransformPoints(modelPoints, deformed);
    // The full deformation from the cache, checked for cells it turns over.
    outcome->Transform->SetFraction(1.0f);
    auto full = vtkSmartPointer<vtkPoints>::New();
    outcome->Transform->TransformPoints(modelPoints, full);
    outcome->Folds = FindFoldedCells(model, modelPoints, full);
  };
  // The warning goes to standard output under the file's name, as the reader's report does.
  job.Done = [&dialog, outcome, request](bool completed) {
    if (outcome->Checked && outcome->Check.Spacing.Centres >= 2)
      dialog.SuggestSupportRadius(static_cast<float>(outcome->Check.Suggested),
                                  "from the centre spacing of " + request.Source);
    if (!completed || outcome->Fit.Code == ErrorCode::Cancelled)
      return;
    if (outcome->Checked && !outcome->Check.Warnings.empty()) {
      std::string question;
      for (const std::string& warning : outcome->Check.Warnings)
        question += warning + "\n";
      question += "Compute the transformation from " + request.Source + " anyway?";
      if (dialog.Windowing.Confirm(question))
        StartFit(dialog, request, false);
      return;
    }
    const ShapeFitResult& fit = outcome->Fit;
    if (!fit.Ok()) {
      dialog.Windowing.ShowMessage(FailureMessage(fit, request.Source));
      return;
    }
    const std::string printed = request.FromSelection ? request.Source : request.Path;
    if (!fit.Warning.empty())
      std::printf("%s: %s\n", printed.c_str(), fit.Warning.c_str());
    if (!fit.SolverWarning.empty()) {
      std::printf("%s: %s\n", printed.c_str(), fit.SolverWarning.c_str());
      dialog.Windowing.ShowMessage("The transformation from " + request.Source +
                                   " is imprecise: " + fit.SolverWarning + ".");
    }

    dialog.Windowing.EnableMenuItem(CmdClearTransform);
    // One undo step, named by the menu command: undo shows the fit and fraction before it.
    dialog.TakeFit(
        outcome->Transform,
        CommandStepName(request.FromSelection ? CmdTransformSelectedPoints : CmdTransform));
    dialog.RememberAnimation(request.Frames, request.Cycles);
    // Said in the status bar, not in a box: a fold is worth seeing, not worth stopping for.
    dialog.SetFoldedCells(std::move(outcome->Folds),
                          "of the full deformation from " + request.Source);
    const int frames = request.Frames;
    const long long frameCount = static_cast<long long>(frames) * request.Cycles;
    dialog.Windowing.PlayFrames(
        frameCount,
        [&dialog, frames](long long k) { dialog.ShowAnimationFrame(AnimationFraction(k, frames)); },
        nullptr);
  };
  dialog.Windowing.RunInBackground(std::move(job));
}

} // namespace

void OnClearTransform(MainDialog& dialog) {
  dialog.ClearTransform(CommandStepName(CmdClearTransform));
}

void AddTransformCommands(CommandTable& commands) {
  AddCommandHandlers(commands, CommandGroup::Transform);
}

} // namespace selvane
