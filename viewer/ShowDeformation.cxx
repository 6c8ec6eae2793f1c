#include "ModelScene.h"

#include "vtkShapeTransform.h"

#include <algorithm>

namespace selvane {

void ModelScene::ShowDeformation(float fraction) {
  if (!ShapeTransform->GetParametersSet() || !(fraction == fraction))
    return;
  ShapeTransform->SetFraction(std::clamp(fraction, 0.0f, 1.0f));
  Render();
  // The render brought the shown shape up to date.
  CheckFolds();
}

void ModelScene::ShowFraction(float fraction) {
  ShapeTransform->SetFraction(fraction);
  Render();
}

void ModelScene::ShowUndeformed() {
  ShapeTransform->SetFraction(0.0f);
  ShapeTransform->Modified();
}

void ModelScene::TakeFit(vtkShapeTransform* fit, UndoStep& step) {
  step.FitChanged = true;
  step.OtherFit = vtkSmartPointer<vtkShapeTransform>::New();
  step.OtherFit->TakeFit(ShapeTransform);
  step.OtherFraction = ShapeTransform->GetFraction();
  ShapeTransform->TakeFit(fit);
  ShapeTransform->SetFraction(0.0f);
  ShapeTransform->Modified();
}

void ModelScene::SwapTransform(UndoStep& step) {
  if (!step.FitChanged && !step.FractionChanged)
    return;
  if (step.FitChanged) {
    // The fits change places with their cached displacements: nothing is evaluated again.
    auto shown = vtkSmartPointer<vtkShapeTransform>::New();
    shown->TakeFit(ShapeTransform);
    ShapeTransform->TakeFit(step.OtherFit);
    step.OtherFit = shown;
  }
  const float fraction = ShapeTransform->GetFraction();
  ShapeTransform->SetFraction(step.OtherFraction);
  step.OtherFraction = fraction;
  ShapeTransform->Modified();
}

void ModelScene::RememberAnimation(int frames, int cycles) {
  AnimationFrames = frames;
  AnimationCycles = cycles;
}

} // namespace selvane
