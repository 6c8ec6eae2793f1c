#include "MainDialog.h"

#include "ControlIds.h"

namespace selvane {

MainDialog::MainDialog(WindowingLayer& windowing)
    : Windowing(windowing), Cells(SelectionList::Kind::Cells, windowing, SelectedCellsList),
      Points(SelectionList::Kind::Points, windowing, SelectedPointsList),
      Scene(windowing, Cells, Points), Walk(windowing, Scene, Points) {
  MakeTransformBox.Owner = this;
  SetRadiusBox.Owner = this;
  AboutBox.Owner = this;
}

MainDialog::~MainDialog() = default;

void MainDialog::OnSetPointer() {
  Windowing.ShowDialog(AuxiliaryDialog::SetRadius);
}

void MainDialog::ApplyPointerRadius() {
  Scene.SetPointerRadius(SetRadiusBox.SphereRadius);
  Render();
}

void MainDialog::ShowMakeTransform(bool fromSelectedPoints) {
  MakeTransformBox.FromSelectedPoints = fromSelectedPoints;
  Windowing.ShowDialog(AuxiliaryDialog::MakeTransform);
}

void MainDialog::SuggestSupportRadius(float radius, const std::string& note) {
  MakeTransformBox.SuggestedRadius = radius;
  MakeTransformBox.SuggestionNote = note;
  Windowing.RefreshDialog(AuxiliaryDialog::MakeTransform);
}

void MainDialog::NextFoldedCell() {
  std::string status;
  const vtkIdType cell = Scene.TakeNextFold(status);
  if (cell >= 0)
    Walk.SetCurrentCell(static_cast<int>(cell), 0);
  Windowing.ShowStatus(status);
  if (cell >= 0)
    Render();
}

} // namespace selvane
