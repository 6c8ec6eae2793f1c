#include "TransformCommand.h"

#include "ControlIds.h"
#include "MainDialog.h"
#include "ShapeFit.h"
#include "vtkShapeTransform.h"

#include <cmath>
#include <cstdio>

namespace selvane {

namespace {

const std::vector<FileFilter> CorrespondenceFilters = {
    {"PTT formated Files", "*.PTT"}, {"DAT formated Files", "*.DAT"}, {"All Files", "*.*"}};

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// The one message for a failed fit.
std::string FailureMessage(const ShapeFitResult& fit, const std::string& path) {
  switch (fit.Result) {
  case ShapeFitResult::CannotOpen:
    return "Cannot open PTT file for reading!";
  case ShapeFitResult::Unreadable:
    return "Cannot read PTT file " + Quoted(path) + ": " + fit.Reason + ".";
  case ShapeFitResult::NoPairs:
    return "The file " + Quoted(path) + " " + fit.Reason + ".";
  case ShapeFitResult::OutOfMemory:
    return "Not enough memory to compute a transformation from " + Quoted(path) + " (" +
           fit.Reason + ").";
  default:
    return "Cannot compute a transformation from " + Quoted(path) + ": " + fit.Reason + ".";
  }
}

} // namespace

float AnimationFraction(long long k, int frames) {
  const long long p = frames - 1;
  const long long q = k / p, r = k % p, s = q % 2;
  return static_cast<float>((s ? -r : r) + s * p) / static_cast<float>(frames);
}

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

  std::string path;
  if (!dialog.PromptFileName(path, "Open Data File", HideReadOnly, CorrespondenceFilters, ".ptt",
                             true))
    return;

  const ShapeFitResult fit = FitShapeTransform(path, radius, dialog.ShapeTransform);
  if (!fit.Ok()) {
    dialog.Windowing.ShowMessage(FailureMessage(fit, path));
    return;
  }
  if (!fit.Warning.empty())
    std::printf("%s: %s\n", path.c_str(), fit.Warning.c_str());
  if (!fit.SolverWarning.empty()) {
    std::printf("%s: %s\n", path.c_str(), fit.SolverWarning.c_str());
    dialog.Windowing.ShowMessage("The transformation from " + Quoted(path) +
                                 " is imprecise: " + fit.SolverWarning + ".");
  }

  dialog.Windowing.EnableMenuItem(CmdClearTransform);
  vtkShapeTransform* transform = dialog.ShapeTransform;
  transform->SetFraction(0.0f);
  transform->Modified();

  const long long frameCount = static_cast<long long>(frames) * cycles;
  for (long long k = 1; k < frameCount; ++k) {
    transform->SetFraction(AnimationFraction(k, frames));
    transform->Modified();
    dialog.Render();
    dialog.Windowing.PresentFrame();
  }
}

void OnClearTransform(MainDialog& dialog) {
  dialog.ShapeTransform->SetFraction(0.0f);
  dialog.ShapeTransform->Modified();
  dialog.Render();
}

void AddTransformCommands(CommandTable& commands) {
  commands[CmdTransform] = OnTransform;
  commands[CmdClearTransform] = OnClearTransform;
}

} // namespace selvane
